#include "testsupport/slg_table_writer.h"

#include <cctype>
#include <string>

#include "testsupport/temp_tree.h"
#include "testsupport/wav_writer.h"

namespace testsupport {

namespace {

// The tables' names in mixed case, in the order of SlgTableWriter::Table.
constexpr const char* kTreeNames[SlgTableWriter::kTableCount] = {
    "install/TaMvIk2/sE.tAb", "install/TaMvIk2/VoIcE.TaB", "install/TaMvIk2/uNITaNM.tab",
    "install/TaMvIk2/EVENTanm.TAB"};

}  // namespace

SlgTableWriter& SlgTableWriter::Se(int number, const std::string& file, const std::string& mode) {
  std::string line = std::to_string(number) + " " + file;
  if (!mode.empty()) line += " " + mode;
  return Raw(kSe, line);
}

SlgTableWriter& SlgTableWriter::VoiceFile(int number, const std::string& file) {
  return Raw(kVoice, std::to_string(number) + " " + file);
}

SlgTableWriter& SlgTableWriter::UnitVoices(const std::string& unit, const std::string& situation,
                                           const std::vector<int>& voices) {
  std::string line = unit + " " + situation;
  for (int v : voices) line += " " + std::to_string(v);
  return Raw(kVoice, line);
}

SlgTableWriter& SlgTableWriter::UnitAnm(const std::string& unit, const std::string& slot,
                                        const std::string& file, const std::string& shade) {
  return Raw(kUnitAnm, unit + "\t" + slot + "\t" + file + " SHADE: " + shade);
}

SlgTableWriter& SlgTableWriter::EventAnm(int map, int npc, const std::string& file,
                                         const std::string& shade) {
  return Raw(kEventAnm, "MAP: " + std::to_string(map) + " NPCID: " + std::to_string(npc) + "  " +
                            file + " SHADE: " + shade);
}

SlgTableWriter& SlgTableWriter::Raw(Table table, const std::string& line) {
  lines_[table].push_back(line);
  return *this;
}

SlgTableWriter& SlgTableWriter::Omit(Table table) {
  omitted_[table] = true;
  return *this;
}

std::string SlgTableWriter::Text(Table table) const {
  std::string text;
  for (const std::string& line : lines_[table]) text += line + "\r\n";
  return text;
}

void SlgTableWriter::Lay(GameTree& tree) const {
  for (int t = 0; t < kTableCount; ++t) {
    if (!omitted_[t]) tree.Write(kTreeNames[t], Text(static_cast<Table>(t)));
  }
}

std::string SlgTableWriter::TreeRel(const std::string& game_path) {
  // The battle data directory keeps the tables' spelling: two directories differing only in case
  // would hide one another from the case-blind search.
  std::string rest = game_path;
  std::string rel = "install/";
  std::string head = rest.substr(0, 8);
  for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (head == "tamvik2\\") {
    rel += "TaMvIk2/";
    rest.erase(0, 8);
  }
  for (char c : rest) rel.push_back(c == '\\' ? '/' : c);
  return rel;
}

void SlgTableWriter::LayWave(GameTree& tree, const std::string& game_path, double seconds) {
  constexpr uint32_t kRate = 8000;
  const auto frames = static_cast<uint32_t>(seconds * kRate);
  const WavFile wav = PcmWav(1, kRate, 16, Tone(1, kRate, frames, 440.0, 8000));
  tree.Write(TreeRel(game_path), wav.Bytes());
}

}  // namespace testsupport
