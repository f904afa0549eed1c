#pragma once
// Event-object sprite files for tests: one tiny sprite file per event-object kind (80-143),
// written with the sprite-file writer, and the EventAnm.TAB rows naming them.
//
// Every file has two patterns of known length, so that a test knows when a played pattern has
// ended: pattern p shows kFrames[p] frames of kWait ticks (1/60 s) each, every frame a kSide x
// kSide square of the kind's own colour for that pattern (Colour(kind, p)).
//
//   testsupport::SlgTableWriter tables;
//   testsupport::EventAnmWriter::Lay(rig.driver().tree, tables, 0, {80, 81});
//   tables.Lay(rig.driver().tree);
//   LoadSlgTables();  // GetEventAnm(80) and GetEventAnm(81) load them

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "testsupport/spr_writer.h"

namespace testsupport {

class GameTree;
class SlgTableWriter;

class EventAnmWriter {
 public:
  static constexpr int kPatterns = 2;
  static constexpr std::array<int, kPatterns> kFrames = {2, 3};
  static constexpr uint16_t kWait = 4;
  static constexpr int kSide = 8;

  // Pattern p's length in ticks.
  static constexpr int Ticks(int pattern) { return kFrames[static_cast<size_t>(pattern)] * kWait; }
  // The colour of pattern p of a kind's file (distinct for every kind and pattern).
  static SprRgb Colour(int kind, int pattern);
  // "npc<kind>.spr" and its bytes.
  static std::string FileName(int kind);
  static std::vector<uint8_t> File(int kind);
  // The kind's file written under the install directory's "tamvik2\"; its EventAnm.TAB row for
  // battle map `map` (NPC id kind - 80) added to `tables`.
  static void LayFile(GameTree& tree, int kind);
  static void Row(SlgTableWriter& tables, int map, int kind);
  // Writes each kind's file under the install directory's "tamvik2\" and adds its EventAnm.TAB
  // row for battle map `map` (NPC id kind - 80) to `tables` (the caller lays the tables).
  static void Lay(GameTree& tree, SlgTableWriter& tables, int map, const std::vector<int>& kinds);
};

}  // namespace testsupport
