#pragma once
// Writes the battle text tables for tests: SE.TAB, VOICE.TAB, UnitAnm.TAB and EventAnm.TAB, each
// a list of lines made from typed rows (in the tables' own syntax) or given raw for the bad
// cases. Lay() writes them under a game tree's install directory in mixed case ("TaMvIk2\"), so
// that the file layer's case-blind search finds them; an omitted table is not written. LayWave()
// puts a tiny PCM wave file where a game path finds it, for tests that must hear a sound start.
//
//   testsupport::SlgTableWriter tables;
//   tables.Se(1, "a.wav", "STATIC");
//   tables.UnitAnm("KADRUN", "BASE_BODY", "kadrun.spr");
//   tables.Lay(rig.driver().tree);
//   LoadSlgTables();

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

class GameTree;

class SlgTableWriter {
 public:
  enum Table { kSe = 0, kVoice, kUnitAnm, kEventAnm, kTableCount };

  // "<n> <file> <mode>" (an empty mode writes two fields).
  SlgTableWriter& Se(int number, const std::string& file, const std::string& mode = "STATIC");
  // "<n> <file>".
  SlgTableWriter& VoiceFile(int number, const std::string& file);
  // "<unit> <situation> <v1> <v2> ...".
  SlgTableWriter& UnitVoices(const std::string& unit, const std::string& situation,
                             const std::vector<int>& voices);
  // "<unit> <slot> <file> SHADE: <shade>".
  SlgTableWriter& UnitAnm(const std::string& unit, const std::string& slot,
                          const std::string& file, const std::string& shade = "Day");
  // "MAP: <map> NPCID: <npc>  <file> SHADE: <shade>".
  SlgTableWriter& EventAnm(int map, int npc, const std::string& file,
                           const std::string& shade = "Day");
  // A line as given.
  SlgTableWriter& Raw(Table table, const std::string& line);
  // The table is not written by Lay.
  SlgTableWriter& Omit(Table table);

  // The file's text: its lines, each ended by CR LF.
  std::string Text(Table table) const;
  // Writes every table not omitted.
  void Lay(GameTree& tree) const;
  // The tree path (under the install directory) of a game path such as "TAMVIK2\SE\A.WAV"; a
  // path under "tamvik2\" (any case) goes where Lay puts the tables.
  static std::string TreeRel(const std::string& game_path);
  // A PCM wave file (a tone, a quarter second unless asked) at the game path.
  static void LayWave(GameTree& tree, const std::string& game_path, double seconds = 0.25);

 private:
  std::array<std::vector<std::string>, kTableCount> lines_;
  std::array<bool, kTableCount> omitted_{};
};

}  // namespace testsupport
