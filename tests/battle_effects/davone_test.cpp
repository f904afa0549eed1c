// The DAVONE heroine unit's special (kind 2, type 1) on the attack rig: the 48 black tiles that
// cover the screen, fall during the cycling backgrounds and are gone when the scene ends; the
// rocks every 8-15 frames; the four arms of 8 fire poles, one a frame, whose looping animations
// end off the screen; the end after the last pole; a tile's fall by kind; missing sets and
// pictures; a frame of the tiles.

#include "battle_effects/davone.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_task.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackCase;
using testsupport::AttackCheckpoint;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;

constexpr int kKind = 2;
constexpr uint8_t kStateAfterAttack = 7;
constexpr int32_t kPx = 65536;

DavoneSpecial& Special() { return DavoneAttackWork().special; }

AttackCase Row(const std::string& name,
               const std::function<void(AttackFixtures&)>& sets = &HeroineSets) {
  AttackCase row{.name = "davone_" + name, .kind = kKind, .type = 1,
                 .routine = "Davone::SpecialAttack", .prefixes = {"Davone"},
                 .leaves = testsupport::kLeavesCamera};
  row.fixtures = sets;
  return row;
}

bool Starts(const std::string& name, const char* prefix) { return name.rfind(prefix, 0) == 0; }

// What the special did, frame by frame.
struct Scene {
  std::set<std::pair<int, int>> tile_cells;  // (x, y) pixels of each tile as it stood
  int tiles_at_first = 0;
  int falling_at_stage3 = 0;  // live tiles two frames into the fall
  int tiles_at_mode1 = -1;    // live tile tasks the frame after the tiles' end
  std::vector<uint32_t> rocks;  // game clock of each rock's start
  std::map<int, int> poles_by_frame;  // frames from the arms' start -> poles made then
  int last_pole_end = -1;       // rig frame of the last pole's end
  int state7 = -1;
  std::vector<std::string> failures;
};

Scene Watch(const AttackCase& row) {
  AttackRig r(row);
  r.Start();
  Scene out;
  std::set<std::string> seen;
  uint32_t fall_ms = 0;
  const auto live = [](const char* prefix) {
    int n = 0;
    for (const std::string& name : AttackRig::LiveTaskNames()) n += Starts(name, prefix) ? 1 : 0;
    return n;
  };
  while (r.attacker().state != kStateAfterAttack && r.frames() < row.frame_limit) {
    r.Step();
    const DavoneSpecial& s = Special();
    for (const std::string& name : AttackRig::LiveTaskNames()) {
      if (seen.contains(name)) continue;
      seen.insert(name);
      const auto* task =
          static_cast<const SlgEffectTask*>(Ctx().game_task.FindTask(name.c_str())->work);
      if (Starts(name, "Davone::Blackpoly")) {
        const auto& tile = *static_cast<const DavoneTile*>(task->owned[0]);
        out.tile_cells.insert({tile.pos.x / kPx, tile.pos.y / kPx});
        EXPECT_EQ(tile.kind, kDavoneTiles[tile.row][tile.column]);
        EXPECT_NE(tile.entry, nullptr);
      } else if (Starts(name, "Davone::Rock")) {
        out.rocks.push_back(task->start);
      } else if (Starts(name, "Davone::actFirePole")) {
        ++out.poles_by_frame[FramesBetween(s.arm_start, task->start)];
      }
    }
    if (out.tiles_at_first == 0) out.tiles_at_first = live("Davone::Blackpoly");
    if (s.tile_mode == kTilesFall && fall_ms == 0) fall_ms = TimelineNow();
    if (fall_ms != 0 && out.falling_at_stage3 == 0 && FramesBetween(fall_ms, TimelineNow()) >= 2) {
      out.falling_at_stage3 = live("Davone::Blackpoly");
    }
    if (s.tile_mode == kTilesEnd && out.tiles_at_mode1 < 0 && r.attacker().step == 5) {
      out.tiles_at_mode1 = live("Davone::Blackpoly");
    }
    if (live("Davone::actFirePole") > 0) out.last_pole_end = r.frames() + 1;
  }
  out.state7 = r.frames();
  if (r.attacker().state != kStateAfterAttack) out.failures.push_back("state 7 not reached");
  for (int n = 0; !r.Ended() && n < AttackRig::kEndLimit; ++n) r.Step();
  for (int i = 0; i < row.outlive; ++i) r.Step();
  r.CheckEnd(row, out.failures);
  return out;
}

TEST(DavoneSpecial, TilesRocksPolesAndTheEnd) {
  const Scene s = Watch(Row("scene"));
  EXPECT_TRUE(s.failures.empty()) << testing::PrintToString(s.failures);
  // 48 tiles of 80 x 80 at (80 c, 80 r): the whole 640 x 480 screen.
  EXPECT_EQ(s.tiles_at_first, 48);
  std::set<std::pair<int, int>> cover;
  for (int r = 0; r < kDavoneTileRows; ++r) {
    for (int c = 0; c < kDavoneTileColumns; ++c) cover.insert({80 * c, 80 * r});
  }
  EXPECT_EQ(s.tile_cells, cover);
  // Falling once the backgrounds cycle; none left when the scene ends.
  EXPECT_EQ(s.falling_at_stage3, 48);
  EXPECT_EQ(s.tiles_at_mode1, 0);
  // A rock every 8-15 frames through the 156 frames of step 3 (the first at once).
  ASSERT_GE(s.rocks.size(), 10u);
  EXPECT_LE(s.rocks.size(), 21u);
  std::set<int> gaps;
  for (size_t i = 1; i < s.rocks.size(); ++i) {
    const int gap = FramesBetween(s.rocks[i - 1], s.rocks[i]);
    EXPECT_GE(gap, 8) << "rock " << i;
    EXPECT_LE(gap, 16) << "rock " << i;
    gaps.insert(gap);
  }
  EXPECT_GT(gaps.size(), 2u) << "the wait varies";
  // Four arms of eight, one more pole on each arm a frame of the arms' clock: never ahead of
  // that (a frame the battle clock skips brings the skipped pole with the next), all by frame 7.
  int made = 0;
  for (const auto& [frame, n] : s.poles_by_frame) {
    made += n;
    EXPECT_GE(frame, 0);
    EXPECT_LE(made, kDavoneArms * (frame + 1)) << "at frame " << frame;
  }
  EXPECT_EQ(made, kDavoneArms * kDavoneArmLength);
  EXPECT_EQ(s.poles_by_frame.rbegin()->first, kDavoneArmLength - 1);
  // The looping poles fly off the screen and end; the attack ends after the last.
  EXPECT_GT(s.last_pole_end, 0);
  EXPECT_GE(s.state7, s.last_pole_end);
}

TEST(DavoneSpecial, ATileFallsByItsKind) {
  const SlgPair at{160 * kPx, 80 * kPx};
  struct Case {
    int kind;
    int frames;
    double x, y;  // pixels
    int angle;
  };
  // Gravity 0.95 a frame: after f frames of fall the drop is 0.95 f (f + 1) / 2 pixels.
  const Case cases[] = {
      {1, 10, 160 - 60, 80 - 160 + 0.95 * 55, 0},
      {2, 10, 160 + 60, 80 - 160 + 0.95 * 55, 0},
      {3, 10, 160 + 30, 80 + 0.95 * 55, 0},
      {4, 10, 160 - 30, 80 + 0.95 * 55, 0},
      {5, 4, 160, 80, 32},   // turning
      {5, 18, 160, 80 + 0.95 * 55, 64},  // turned, then 10 frames of fall
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("kind " + std::to_string(c.kind) + " frame " + std::to_string(c.frames));
    const DavoneFall fall = DavoneTileFall(c.kind, at, c.frames);
    EXPECT_NEAR(fall.pos.x / double{kPx}, c.x, 0.01);
    EXPECT_NEAR(fall.pos.y / double{kPx}, c.y, 0.01);
    EXPECT_EQ(fall.angle, c.angle);
  }
}

TEST(DavoneSpecial, MissingSetsEndAtOnceAndMissingPicturesAreDoneWithout) {
  AttackCase missing = Row("missing_effect", [](AttackFixtures& f) {
    HeroineSets(f);
    f.Omit(kAnmSpecialEffect);
  });
  const testsupport::AttackOutcome out = testsupport::PlayAttackCase(missing);
  EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
  const int frames = FramesInRoutine(out, "Davone::SpecialAttack");
  EXPECT_GE(frames, 0) << "the routine ran";
  EXPECT_LE(frames, 1);
  testsupport::ExpectAttackCase(Row("missing_pictures", [](AttackFixtures& f) {
    HeroineSets(f);
    f.Omit(kAnmSpecialBg);
  }));
}

TEST(DavoneSpecial, TheTilesAndTheBackgroundsOnScreen) {
  // When the fire ring starts the fade is over and the black tiles cover the screen; once the
  // last tiles have fallen away the cycling backgrounds (four copies) fill the corners.
  AttackCase row = Row("tiles");
  row.checkpoints = {
      AttackCheckpoint{"tiles", -1, "task+ Davone::actFireRing",
                       {{4, 4, 0}, {636, 476, 0}, {300, 100, 0}}},
      AttackCheckpoint{"backgrounds", -1, "task- Davone::Blackpoly02",
                       {{4, 4, 0, false}, {636, 476, 0, false}}}};
  testsupport::ExpectAttackCase(row);
}

}  // namespace
