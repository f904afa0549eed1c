// The sample install's attack sets: every UnitAnm slot the attacks of its two kinds read (the
// hero, kind 0, and the ASHIGARU, kind 14) is named in UnitAnm.TAB and its file is there, so that
// an attack in the sample plays its effects instead of ending at once.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "battle/slg_tables.h"

namespace {

namespace fs = std::filesystem;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// The regular files under the directory by their lower-case names.
std::map<std::string, fs::path> FilesByName(const fs::path& dir) {
  std::map<std::string, fs::path> out;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.is_regular_file()) out[Lower(entry.path().filename().string())] = entry.path();
  }
  return out;
}

TEST(SampleAttackSets, EveryUnitAnmSlotTheSampleKindsAttacksReadIsNamedAndPresent) {
  // The battle's table folder holds UnitAnm.TAB and the sets' files.
  fs::path tables;
  for (const auto& entry : fs::recursive_directory_iterator(TAMVIK_SAMPLE_DIR)) {
    if (entry.is_regular_file() && Lower(entry.path().filename().string()) == "unitanm.tab") {
      tables = entry.path();
    }
  }
  ASSERT_FALSE(tables.empty()) << "no UnitAnm.TAB in " << TAMVIK_SAMPLE_DIR;
  // (unit, slot) -> file.
  std::map<std::pair<std::string, std::string>, std::string> named;
  std::ifstream in(tables, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string unit, slot, file;
    if (words >> unit >> slot >> file) named[{unit, slot}] = Lower(file);
  }
  const std::map<std::string, fs::path> files = FilesByName(tables.parent_path());
  // Normal and critical: ATTACK_BODY and ATTACK_EFFECT; the special: SPECIAL_BODY and
  // SPECIAL_EFFECT, the hero's also the SPECIAL_BG pictures.
  const std::pair<int, std::vector<int>> kReads[] = {
      {0, {kAnmAttackBody, kAnmAttackEffect, kAnmSpecialBody, kAnmSpecialEffect, kAnmSpecialBg}},
      {14, {kAnmAttackBody, kAnmAttackEffect, kAnmSpecialBody, kAnmSpecialEffect}}};
  for (const auto& [kind, slots] : kReads) {
    for (const int slot : slots) {
      const std::string unit = kSlgUnitIdNames[static_cast<size_t>(kind)];
      const std::string name = kSlgAnmSlotNames[static_cast<size_t>(slot)];
      const auto it = named.find({unit, name});
      ASSERT_NE(it, named.end()) << unit << " " << name << " not named";
      const auto file = files.find(it->second);
      ASSERT_NE(file, files.end()) << unit << " " << name << ": " << it->second << " missing";
      EXPECT_GT(fs::file_size(file->second), 256u) << it->second << " holds nothing";
    }
  }
}

}  // namespace
