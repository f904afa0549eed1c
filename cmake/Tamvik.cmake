# Shared build rules of the project: warnings, sanitizers and the helpers that turn a folder into
# a library or a test program. Folders are globbed so that adding a file never needs a CMake edit.

add_library(tamvik_options INTERFACE)
target_compile_options(tamvik_options INTERFACE -Wall -Wextra)
target_include_directories(tamvik_options INTERFACE ${PROJECT_SOURCE_DIR})
if(TAMVIK_WERROR)
  target_compile_options(tamvik_options INTERFACE -Werror)
endif()
if(TAMVIK_SANITIZE)
  target_compile_options(tamvik_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(tamvik_options INTERFACE -fsanitize=address,undefined)
endif()
if(TAMVIK_TSAN)
  if(TAMVIK_SANITIZE)
    message(FATAL_ERROR "TAMVIK_TSAN and TAMVIK_SANITIZE cannot be combined")
  endif()
  target_compile_options(tamvik_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(tamvik_options INTERFACE -fsanitize=thread)
endif()
if(TAMVIK_FUZZ)
  # Coverage for libFuzzer in every library but the per-pixel arithmetic of
  # fuzz/coverage_ignore.txt; the fuzz targets link the fuzzer itself.
  # The compiler's dependency files do not name the list: its digest on the command line makes a
  # changed list rebuild every object. (The compiler cache hashes the list's contents only when
  # told: tools/fuzz names it in CCACHE_EXTRAFILES.)
  set(coverage_ignore ${PROJECT_SOURCE_DIR}/fuzz/coverage_ignore.txt)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${coverage_ignore})
  file(MD5 ${coverage_ignore} coverage_ignore_md5)
  target_compile_options(tamvik_options INTERFACE -fsanitize=fuzzer-no-link
    -fsanitize-coverage-ignorelist=${coverage_ignore})
  target_compile_definitions(tamvik_options INTERFACE
    TAMVIK_COVERAGE_IGNORE_MD5=${coverage_ignore_md5})
endif()

# tamvik_library(<name> [DIRS <dir>...] [DEPS <target>...])
# One static library from every .cpp in the given folders (default: the current folder).
function(tamvik_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;DEPS" ${ARGN})
  if(NOT ARG_DIRS)
    set(ARG_DIRS ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  set(sources "")
  foreach(dir IN LISTS ARG_DIRS)
    file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC tamvik_options ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE tamvik_options ${ARG_DEPS})
  endif()
endfunction()

# tamvik_test(<name> DIRS <dir>... DEPS <target>...)
# One GoogleTest program from every .cpp in the given folders; each test case becomes a CTest test.
function(tamvik_test name)
  cmake_parse_arguments(ARG "" "" "DIRS;DEPS" ${ARGN})
  set(sources "")
  foreach(dir IN LISTS ARG_DIRS)
    file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE tamvik_options ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(TAMVIK_SANITIZE)
    # The test bodies (assertion macros, fixtures) are most of the sanitizer build's compile time
    # and gain nothing from the optimiser; the code under test keeps the build type's level.
    target_compile_options(${name} PRIVATE -O0)
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 120)
endfunction()
