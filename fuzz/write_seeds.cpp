// Writes the seed corpus of each fuzz target: fuzz_write_seeds <dir> [target...] puts the seeds
// of every named target (all when none is named) into <dir>/<target>/seed-<n>, and the seeds of
// a test table's rows into <dir>/<target>/row-<row name>.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/entries/fuzz_entries.h"

namespace {

bool WriteSeeds(const std::filesystem::path& dir, const fuzz::Target& target) {
  const std::filesystem::path out = dir / target.name;
  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  if (ec) {
    std::fprintf(stderr, "cannot make %s: %s\n", out.c_str(), ec.message().c_str());
    return false;
  }
  int n = 0;
  const auto write = [&out, &n](const std::string& name, const fuzz::Bytes& seed) {
    const std::filesystem::path file = out / name;
    std::ofstream f(file, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
    if (!f) {
      std::fprintf(stderr, "cannot write %s\n", file.c_str());
      return false;
    }
    ++n;
    return true;
  };
  for (const fuzz::Bytes& seed : target.seeds()) {
    if (!write("seed-" + std::to_string(n), seed)) return false;
  }
  if (target.row_seeds != nullptr) {
    for (const fuzz::RowSeed& seed : target.row_seeds()) {
      if (!write("row-" + seed.name, seed.bytes)) return false;
    }
  }
  std::printf("%s: %d seeds\n", target.name, n);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <dir> [target...]\n", argv[0]);
    return 2;
  }
  bool ok = true;
  if (argc == 2) {
    for (const fuzz::Target& t : fuzz::Targets()) ok = WriteSeeds(argv[1], t) && ok;
  }
  for (int i = 2; i < argc; ++i) {
    const fuzz::Target* t = fuzz::FindTarget(argv[i]);
    if (t == nullptr) {
      std::fprintf(stderr, "no target %s\n", argv[i]);
      ok = false;
      continue;
    }
    ok = WriteSeeds(argv[1], *t) && ok;
  }
  return ok ? 0 : 1;
}
