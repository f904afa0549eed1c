// Unit tone in story scenes on the battle rig: the tone level on tone-controlled bodies only, the
// timed tone change, the reveal of a list one unit after another (camera, sound, fade) and the
// vanish, with missing and removed units.

#include "battle_events/runtime/event_tone.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "battle/battle_context.h"
#include "battle/battle_extension.h"
#include "battle/slg_draw.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/event_steps.h"
#include "battle_events/events_install.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/unit_sets.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::BoardUnit;
using testsupport::OnCell;

// The battle events installed and the unit sets of kinds 0 and 14 on a rig with a map of
// 2112 x 2112 pixels; units are placed with their bodies playing. The unit pass is not run.
class ToneRig {
 public:
  ToneRig() : board(rig.battle()) {
    testsupport::LoadUnitSets(rig.driver().tree, {0, 14});
    board.SetMapSize(2112, 2112);
  }
  uint8_t Add(const BoardUnit& u) {
    const uint8_t slot = board.AddUnit(u);
    Slg::PlaceUnit(U(slot));
    Slg::SetUnitDir(U(slot), U(slot).dir);  // its body's animation playing
    return slot;
  }
  static SlgUnit& U(uint8_t slot) { return Battle().state.units[slot]; }
  static BlendWord Alpha(uint8_t slot) { return SlgSprGetAlpha(U(slot).anm); }
  // BattleRig::StepsUntilDone with an `each` that needs no step count.
  int StepsUntilDone(const std::function<int()>& step, int limit = 400,
                     const std::function<void()>& each = {}) {
    return rig.StepsUntilDone(step, limit, [&each](int) {
      if (each) each();
    });
  }

  const ScopedBattleInstaller installer{&InstallBattleEvents};
  BattleRig rig;
  BattleBoard board;
};

BlendWord AlphaOf(int level) { return static_cast<BlendWord>((31 - level) * 256 / 31); }

TEST(EventTone, TheLevelReachesTheToneControlledBodiesOnly) {
  ToneRig r;
  const uint8_t toned = r.Add(OnCell(3, 10));
  const uint8_t toned2 = r.Add(OnCell(5, 10, {.side = 1, .kind = 14, .category = 1}));
  const uint8_t plain = r.Add(OnCell(7, 10));
  const uint8_t shaded = r.Add(OnCell(9, 10));
  ASSERT_NE(r.U(toned).anm, nullptr);
  ASSERT_NE(r.U(toned).anm->handle, nullptr);
  r.U(toned).anm->shade = kToneShade;
  r.U(toned2).anm->shade = kToneShade;
  r.U(shaded).anm->shade = 16384;
  SlgSprSetAlpha(r.U(shaded).anm, 200);
  const struct {
    int32_t level;
    BlendWord alpha;
  } cases[] = {{31, 0}, {0, 256}, {15, 132}, {1, 247}, {-4, 256}, {40, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    EventSetTone(c.level);
    EXPECT_EQ(r.Alpha(toned), c.alpha);
    EXPECT_EQ(r.Alpha(toned2), c.alpha);
    EXPECT_EQ(r.Alpha(plain), 256u);
    EXPECT_EQ(r.Alpha(shaded), 200u);
  }
}

TEST(EventTone, ChangesStepOneLevelWhenMoreThanThePeriodHasPassed) {
  struct Case {
    int32_t from, to, period;
    int steps;                   // rig steps until it answers 1
    std::vector<int> levels;     // the level after each call that answered 0 (at the start)
  };
  const Case cases[] = {
      {31, 0, 0, 31, {31, 30, 29, 28}},
      {0, 31, 0, 31, {0, 1, 2, 3}},
      {5, 5, 0, 1, {5}},
      {0, 3, 2, 9, {0, 0, 0, 1, 1, 1, 2, 2, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to << " period " << c.period);
    ToneRig r;
    const uint8_t slot = r.Add(OnCell(3, 10));
    r.U(slot).anm->shade = kToneShade;
    std::vector<int> levels;
    const int steps = r.StepsUntilDone([&] { return EventToneChange(c.from, c.to, c.period); },
                                       100, [&] {
                                         levels.push_back(EventRuntimeState().tone_level);
                                         EXPECT_EQ(r.Alpha(slot), AlphaOf(levels.back()));
                                       });
    EXPECT_EQ(steps, c.steps);
    levels.resize(c.levels.size());
    EXPECT_EQ(levels, c.levels);
    EXPECT_EQ(r.Alpha(slot), AlphaOf(c.to));
    EXPECT_EQ(EventRuntimeState().tone_phase, 0);
  }
}

TEST(EventReveal, ListedUnitsAppearOneAfterAnotherAndMissingOnesAreSkipped) {
  for (const bool lock : {false, true}) {
    SCOPED_TRACE(lock ? "camera held" : "camera free");
    ToneRig r;
    const uint8_t a = r.Add(OnCell(3, 70, {.side = 1, .kind = 14, .category = 1, .flags = 0xB100,
                                          .number = 0}));
    const uint8_t b = r.Add(OnCell(18, 8, {.side = 1, .kind = 14, .category = 1, .flags = 0xB100,
                                          .number = 2}));
    Battle().camera.lock = lock ? 1 : 0;
    // Kind 14 numbers 0, 1 (not deployed) and 2.
    const uint8_t list[] = {14, 0, 14, 1, 14, 2};
    struct Seen {
      int slot;
      int se;
      BlendWord alpha;
    };
    std::vector<Seen> seen;
    const int steps = r.StepsUntilDone([&] { return EventRevealUnits(list, 3); }, 400, [&] {
      const SlgEventRuntimeState& s = EventRuntimeState();
      const int slot = s.reveal_phase >= 2 ? s.reveal_unit.slot : -1;
      seen.push_back({slot, Battle().last_se, slot >= 0 ? r.Alpha(static_cast<uint8_t>(slot)) : 0});
      Battle().last_se = 0;
    });
    ASSERT_GT(steps, 0);
    int fade_a = 0, fade_b = 0, se_a = 0, se_b = 0;
    int last = -1;
    bool a_before_b = true;
    for (const Seen& s : seen) {
      if (s.slot == a && last == b) a_before_b = false;
      if (s.slot >= 0) last = s.slot;
      if (s.se == kToneUnitSe) ++(s.slot == a ? se_a : se_b);
      if (s.alpha > 0 && s.alpha < 256) ++(s.slot == a ? fade_a : fade_b);
    }
    EXPECT_TRUE(a_before_b);
    EXPECT_EQ(se_a, 1);
    EXPECT_EQ(se_b, 1);
    EXPECT_EQ(fade_a, 30) << "levels 30 .. 1 between the invisible and the normal frame";
    EXPECT_EQ(fade_b, 30);
    for (uint8_t slot : {a, b}) {
      EXPECT_NE(r.U(slot).flags & kUnitShown, 0u);
      EXPECT_EQ(r.U(slot).anm->shade, 0) << "out of tone control";
      EXPECT_EQ(r.Alpha(slot), 256u);
    }
    if (!lock) {
      EXPECT_EQ(Battle().camera.followed, b) << "the camera went to each";
      EXPECT_GT(steps, 2 * 32) << "the camera's moves took frames";
    } else {
      // 31 fade frames and the next-unit frame each; the second fade's start may fall on a
      // clock step that counts a frame late.
      EXPECT_GE(steps, 2 * 32 - 1) << "a held camera counts as arrived";
      EXPECT_LE(steps, 2 * 32);
    }
    EXPECT_EQ(EventRuntimeState().reveal_phase, 0);
  }
}

TEST(EventReveal, AUnitRemovedDuringItsFadeEndsItsPartAndAnEmptyListEndsAtOnce) {
  ToneRig r;
  const uint8_t a = r.Add(OnCell(3, 10, {.side = 1, .kind = 14, .category = 1, .number = 0}));
  r.Add(OnCell(5, 10, {.side = 1, .kind = 14, .category = 1, .number = 1}));
  const uint8_t list[] = {14, 0, 14, 1};
  EXPECT_EQ(EventRevealUnits(list, 0), 1);
  EXPECT_EQ(EventRevealUnits(nullptr, 2), 1);
  const uint8_t missing[] = {14, 7, static_cast<uint8_t>(-3), 0};
  EXPECT_EQ(EventRevealUnits(missing, 2), 1) << "nothing of the list is there";
  int steps = 0;
  for (; steps < 10; ++steps) {
    r.rig.Step();
    EXPECT_EQ(EventRevealUnits(list, 2), 0);
  }
  ASSERT_EQ(EventRuntimeState().reveal_unit.slot, a);
  Slg::RemoveUnit(a);  // b moves down into slot a
  const int rest = r.StepsUntilDone([&] { return EventRevealUnits(list, 2); });
  EXPECT_GT(rest, 31) << "b revealed in full after a's part ended";
  EXPECT_EQ(r.U(a).anm->shade, 0);
  EXPECT_EQ(r.Alpha(a), 256u);
}

TEST(EventVanish, FadesOutOverThirtyOneFramesReleasesTheBodyThenFinishes) {
  ToneRig r;
  const uint8_t slot = r.Add(OnCell(3, 10));
  SlgUnit& u = r.U(slot);
  ASSERT_NE(u.anm->handle, nullptr);
  std::vector<BlendWord> alphas;
  int finished_frame = -1;
  int frame = 0;
  const int steps = r.StepsUntilDone([&] { return EventVanishUnit(&u); }, 100, [&] {
    if (u.anm->handle != nullptr) {
      alphas.push_back(r.Alpha(slot));
    } else if (finished_frame < 0) {
      finished_frame = frame;
    }
    ++frame;
    if (frame == 1) {
      EXPECT_EQ(Battle().last_se, kToneUnitSe);
      EXPECT_EQ(u.anm->shade, kToneShade);
    }
  });
  EXPECT_EQ(steps, 32) << "31 frames of fade, then 1 on the next call";
  EXPECT_EQ(finished_frame, 31);
  ASSERT_EQ(alphas.size(), 31u);
  for (int f = 0; f < 31; ++f) EXPECT_EQ(alphas[static_cast<size_t>(f)], AlphaOf(f)) << f;
  EXPECT_EQ(u.anm->handle, nullptr) << "its animation released";
  EXPECT_EQ(u.anm->shade, 0);
  EXPECT_EQ(u.flags & kUnitShown, 0u);
  EXPECT_EQ(EventRuntimeState().vanish_phase, 0);

  EXPECT_EQ(EventVanishUnit(nullptr), 1);
  // A unit removed during its fade finishes the step.
  const uint8_t other = r.Add(OnCell(6, 10));
  EXPECT_EQ(EventVanishUnit(&r.U(other)), 0);
  r.rig.Step();
  Slg::RemoveUnit(slot);
  EXPECT_EQ(EventVanishUnit(&r.U(0)), 1);
  EXPECT_EQ(EventRuntimeState().vanish_phase, 0);
}

}  // namespace
