#pragma once
// The unit-animation sets an attack plays, for tests: one sprite file per UnitAnm slot of a unit
// kind, their UnitAnm.TAB lines, the kind's voices and the effects its event frames play, with
// tiny waves for every sound they name.
//
// Every animation n of slot s is a square of its own colour Colour(kind, s, n) hanging from the
// anchor (its bottom centre at the drawing position) with a white strip on its left
// (kMarkerWidth columns: a mirrored draw shows it on the right), so a pixel probe tells which
// animation of which set is drawn. An animation has `frames` frames of `ticks` 1/60 s each and
// event frames before chosen frames (-1 the hit moment, -2 the voice, -3 the signal, -10 and
// below effect -code). Whether an animation loops is the player's choice (SlgPlayAnm's mode), not
// the file's. The picture slots (SPECIAL_BG, GATTAI_BG) hold pictures of chosen sizes, picture i
// filled with Colour(kind, slot, i).
//
//   testsupport::AttackFixtures sets(13);                       // every slot, the defaults
//   sets.Slot(kAnmAttackEffect, {{.frames = 61}, {}, {}});     // three animations
//   sets.Pictures(kAnmSpecialBg, {{640, 480}, {64, 64}});
//   SlgTableWriter tables;
//   sets.Lay(rig.driver().tree, tables);
//   tables.Lay(rig.driver().tree);
//
// Default: BASE_BODY with 16 animations (the unit's walk, stand and reaction patterns, and the rows
// a type-3 attack plays from it), every other animation slot but BASE_EFFECT (whose idle effect
// would come and go at random) with 8, the two picture slots with 4 pictures of 64 x 64; the
// ATTACK, CRITICAL, SPECIAL and GATTAI voices (VoiceNumber).

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "testsupport/spr_writer.h"

namespace testsupport {

class GameTree;
class SlgTableWriter;

struct AttackAnim {
  int frames = 4;
  uint16_t ticks = 2;
  int side = 16;  // square side in pixels
  // (frame, code): an event frame before shown frame `frame` (frames: after the last).
  std::vector<std::pair<int, int16_t>> events = {};
};

struct AttackPicture {
  uint16_t width = 64;
  uint16_t height = 64;
};

class AttackFixtures {
 public:
  static constexpr int kMarkerWidth = 4;
  static constexpr int kBaseAnims = 16;
  static constexpr int kSlotAnims = 8;
  static constexpr int kPictures = 4;

  // The variants a smoke row names: every animation of two frames; the attack type's effect slot
  // left out of UnitAnm.TAB; the picture slots with one picture only; every animation of one
  // frame; every animation with no frame at all (BASE_BODY, the unit's own, keeps its frames in
  // each).
  enum class Variant : uint8_t {
    kFull,
    kTwoFrames,
    kMissingSlot,
    kMissingPicture,
    kOneFrame,
    kNoFrames
  };

  explicit AttackFixtures(int kind);

  // A slot's animations (replacing the default ones).
  AttackFixtures& Slot(int slot, std::vector<AttackAnim> anims);
  AttackFixtures& Slot(int slot, int count, const AttackAnim& anim = {});
  // A picture slot's pictures.
  AttackFixtures& Pictures(int slot, std::vector<AttackPicture> pictures);
  // The slot is not written and not named in UnitAnm.TAB.
  AttackFixtures& Omit(int slot);
  // A smoke row's variant for an attack of `type` (its effect slot for kMissingSlot).
  AttackFixtures& Apply(Variant variant, int type);
  // Every animation but BASE_BODY's a length of 1-300 frames drawn from the game's generator
  // seeded with `seed` (the same seed, the same lengths).
  AttackFixtures& DrawLengths(uint32_t seed);

  int kind() const { return kind_; }
  // The colour of animation (or picture) n of slot s of a kind: distinct for kinds 0-51, slots
  // 0-22 and n 0-15; never black (the key) nor the marker's white.
  static SprRgb Colour(int kind, int slot, int n);
  static uint32_t ColourRef(int kind, int slot, int n) { return SprColourRef(Colour(kind, slot, n)); }
  // The voice number of a kind's situation (kSlgVoiceAttack ...), as VOICE.TAB gives it.
  static int VoiceNumber(int kind, int situation) { return 1000 + kind * 8 + situation; }

  std::string FileName(int slot) const;
  std::vector<uint8_t> File(int slot) const;
  // Writes every slot's file under "tamvik2\", adds its UnitAnm.TAB line, the kind's voices and
  // the effects of the event frames to `tables` (the caller lays the tables), and lays a wave for
  // each voice and effect.
  void Lay(GameTree& tree, SlgTableWriter& tables) const;

 private:
  // Every animation but BASE_BODY's of `frames` frames.
  void EveryFrames(int frames);

  int kind_;
  std::map<int, std::vector<AttackAnim>> anims_;
  std::map<int, std::vector<AttackPicture>> pictures_;
};

}  // namespace testsupport
