#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "engine/app/context.h"
#include "engine/files/file_io.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"
#include "testsupport/trace_capture.h"

namespace {

// A directory whose path is exactly `length` bytes long, made under the tree.
std::string DirectoryOfLength(testsupport::TempTree& tree, size_t length) {
  size_t need = length - tree.root().size();  // each part costs its separator and its name
  std::string rel;
  while (need > 0) {
    size_t take = std::min<size_t>(need - 1, 100);
    if (need - 1 - take == 1) --take;  // never leave room for a separator alone
    rel += (rel.empty() ? "" : "/") + std::string(take, 'd');
    need -= take + 1;
  }
  return tree.MakeDir(rel);
}

TEST(InstallSettings, DirectoryIsReadWithABackslashOrRefusedWithItsCause) {
  testsupport::TempTree tree;
  const std::string dir = tree.MakeDir("Games/Tamvik");
  const std::string file = tree.Write("file", "x");
  const std::string longest = DirectoryOfLength(tree, TamvikFunc::kInstallDirectoryMax);
  const std::string one_more = DirectoryOfLength(tree, TamvikFunc::kInstallDirectoryMax + 1);
  ASSERT_EQ(longest.size(), 220u);
  ASSERT_EQ(one_more.size(), 221u);
  const struct {
    const char* name;
    bool present;
    std::optional<std::string> value;
    int result;
    std::string directory;  // expected output when found
    std::string cause;      // expected cause (and trace) when refused
  } cases[] = {
      {"no settings file", false, std::nullopt, 0, "", "no settings"},
      {"no value", true, std::nullopt, 0, "", "no value \"Install Directory\" in the settings"},
      {"empty value", true, "", 0, "", "no value \"Install Directory\" in the settings"},
      {"a directory", true, dir, 1, dir + "\\", ""},
      {"a directory, trailing separator", true, dir + "/", 1, dir + "/\\", ""},
      {"the longest that holds every game file", true, longest, 1, longest + "\\", ""},
      {"one byte more", true, one_more, 0, "",
       "the install directory is too long (221 bytes; at most 220 leave room for the game's file "
       "names)"},
      {"far too long", true, std::string(4000, 'x'), 0, "",
       "the install directory is too long (4000 bytes; at most 220 leave room for the game's "
       "file names)"},
      {"missing", true, tree.Path("nowhere"), 0, "",
       "the install directory " + tree.Path("nowhere") + " does not exist"},
      {"a file", true, file, 0, "", "the install directory " + file + " is not a directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::TestEngine engine;
    testsupport::TraceCapture trace;
    if (c.present) engine.host.config.Set("Other", "1");
    if (c.value) engine.host.config.Set("Install Directory", *c.value);
    std::string out = "untouched";
    std::string cause;
    EXPECT_EQ(TamvikFunc::GetInstallDirectory(out, &cause), c.result);
    EXPECT_EQ(out, c.result ? c.directory : "untouched");
    EXPECT_EQ(cause, c.cause);
    if (!c.cause.empty()) {
      EXPECT_TRUE(trace.Contains(c.cause));
    }
  }
}

TEST(InstallSettings, StyleIsANumberOrZero) {
  const struct {
    std::optional<std::string> value;
    uint32_t style;
  } cases[] = {{std::nullopt, 0}, {"0", 0},    {"1", 1},    {"2", 2},  {"02", 2},
               {"0x2", 0},        {"disc", 0}, {"", 0},     {"-1", 0xFFFFFFFFu}};
  for (const auto& c : cases) {
    testsupport::TestEngine engine;
    engine.host.config.Set("Install Directory", "/g");
    if (c.value) engine.host.config.Set("Install Style", *c.value);
    EXPECT_EQ(TamvikFunc::GetInstallStyle(), c.style) << c.value.value_or("(none)");
  }
  testsupport::TestEngine absent;
  EXPECT_EQ(TamvikFunc::GetInstallStyle(), 0u);
}

TEST(InstallSettings, SetInstallPathsHandsBothToTheFileLayer) {
  {
    testsupport::TempTree tree;
    testsupport::TestEngine engine;
    engine.host.config.Set("Install Directory", tree.root());
    engine.host.config.Set("Install Style", "1");
    EXPECT_EQ(TamvikFunc::SetInstallPaths(), 1);
    ASSERT_NE(Ctx().file_io.GetInstallDir(), nullptr);
    EXPECT_EQ(std::string(Ctx().file_io.GetInstallDir()), tree.root() + "\\");
    EXPECT_EQ(Ctx().file_io.GetInstallStyle(), 1u);
  }
  {
    // Without a directory the style is still handed over; the directory stays unset.
    testsupport::TestEngine engine;
    engine.host.config.Set("Install Style", "2");
    EXPECT_EQ(TamvikFunc::SetInstallPaths(), 0);
    EXPECT_EQ(Ctx().file_io.GetInstallDir(), nullptr);
    EXPECT_EQ(Ctx().file_io.GetInstallStyle(), 2u);
  }
}

}  // namespace
