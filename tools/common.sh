# Shared by the tools: the packages the project needs and how to get them on Debian.
# Sourced, not run.

TAMVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Everything the build, the tests, the benchmarks and the program need.
TAMVIK_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev
  libhwy-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
)
# ---- The sample install directory's glyph fonts (tools/make_sample_data rasterises them) ----
TAMVIK_PACKAGES+=(libfreetype-dev fonts-arphic-ukai)
# ---- end of the sample install directory ----

# Only tools/fuzz needs these (clang and its libFuzzer runtime); the build, the tests and CI do not.
TAMVIK_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# Installs the packages that dpkg does not report as installed (the given ones, else
# TAMVIK_PACKAGES); apt-get update runs only when something is missing.
tamvik_install_missing() {
  local wanted=("$@")
  if [ ${#wanted[@]} -eq 0 ]; then
    wanted=("${TAMVIK_PACKAGES[@]}")
  fi
  local missing=()
  local p
  for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  echo "Installing: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

tamvik_jobs() {
  nproc 2>/dev/null || echo 2
}
