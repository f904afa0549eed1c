#pragma once
// Unit animation sets for tests: for one unit kind, one sprite file per unit-animation slot
// asked (BASE_BODY, BASE_EFFECT, the attack sets, ...), each written through the sprite-file
// writer, and the UnitAnm.TAB lines naming them.
//
// Every file has the patterns the battle plays on a unit: 0 and 1 walking (16 frames each, the
// display times chosen by the test, default 1 tick), 2 and 3 standing (one frame, 8 ticks), and
// further one-frame patterns when asked. Pattern p of slot s is a kWidth x kHeight block of its
// own colour (Colour(s, p)) hanging from the unit's anchor (the anchor at its bottom centre),
// with a white marker strip on its left kMarkerWidth columns, so that a mirrored sprite shows
// the marker on its right.
//
//   testsupport::UnitAnmWriter set(0);  // kind 0: BASE_BODY and BASE_EFFECT
//   SlgTableWriter tables;
//   set.Lay(rig.driver().tree, tables);
//   tables.Lay(rig.driver().tree);
//   LoadSlgTables();

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "testsupport/spr_writer.h"

namespace testsupport {

class GameTree;
class SlgTableWriter;

class UnitAnmWriter {
 public:
  static constexpr int kWidth = 16;
  static constexpr int kHeight = 24;
  static constexpr int kMarkerWidth = 4;
  static constexpr int kWalkFrames = 16;
  static constexpr uint16_t kStandWait = 8;
  static constexpr SprRgb kMarker{31, 31, 31};

  // Display time 1 for every walk frame.
  static std::array<uint16_t, kWalkFrames> WalkWaitsDefault() {
    std::array<uint16_t, kWalkFrames> waits{};
    waits.fill(1);
    return waits;
  }

  // A set for the kind with the slots BASE_BODY (0) and BASE_EFFECT (4).
  explicit UnitAnmWriter(int kind);
  // Further slots (0-22) written and named.
  UnitAnmWriter& Slot(int slot);
  // The slots only these (replacing the default pair).
  UnitAnmWriter& Slots(const std::vector<int>& slots);
  // Display times of the 16 walk frames (patterns 0 and 1); a word with bits 0xF000 is an event
  // frame.
  UnitAnmWriter& WalkWaits(const std::array<uint16_t, kWalkFrames>& waits);
  // One-frame patterns after the four (4, 5, ...).
  UnitAnmWriter& ExtraPatterns(int count);

  // Colour of pattern p in slot s (never black or the marker's white; distinct for s 0-22 and
  // p 0-7).
  static SprRgb Colour(int slot, int pattern);
  static uint32_t ColourRef(int slot, int pattern) { return SprColourRef(Colour(slot, pattern)); }
  // The file name UnitAnm.TAB gives for a slot ("unit<kind>_<slot>.spr") and its bytes.
  std::string FileName(int slot) const;
  std::vector<uint8_t> File(int slot) const;
  // Writes every slot's file under the install directory's "tamvik2\" and adds its UnitAnm.TAB
  // line to `tables` (the caller lays the tables).
  void Lay(GameTree& tree, SlgTableWriter& tables) const;

 private:
  int kind_;
  std::vector<int> slots_;
  std::array<uint16_t, kWalkFrames> walk_waits_;
  int extra_ = 0;
};

}  // namespace testsupport
