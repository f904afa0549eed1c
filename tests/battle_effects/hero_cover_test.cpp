// The hero's cover move on the attack harness: an enemy whose attack is a stub attacks a heroine
// the hero covers; the hero leaps into her place (eight after-images in 32 frames), faces the
// attacker, holds while the attacker waits for him and then attacks, replays his pose when hit,
// and goes back once the attack command clears his hold. Kinds 0 and 7 alike.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_effects/attack_dispatch.h"
#include "battle_effects/effect_position.h"
#include "battle_effects/hero.h"
#include "battle_effects/step_timeline.h"
#include "testsupport/attack_rig.h"
#include "testsupport/battle_board.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackCase;
using testsupport::AttackLayout;
using testsupport::AttackRig;
using testsupport::AttackTraceLine;

constexpr int kEnemy = 14;

// The enemy's attack: its first call gives the damage list (the hero, in the heroine's place)
// the hit signal; 30 frames later it ends.
struct StubWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  uint32_t start;
};
void CoverStub(SlgUnit& unit, SlgPair& /*pos*/) {
  StubWork& w = Battle().Extension<StubWork>();
  if (unit.step == 0) {
    w.start = TimelineNow();
    MarkTargetsFlag4();
    unit.step = 1;
  } else if (TimelineFrames(w.start) >= 30) {
    SetUnitState(unit, 7);
  }
}

// The hero (or kind 7) stands beside the attacker, the heroine in front of it is covered, and
// the hero may cover once.
AttackCase CoverRow(int hero_kind, int dir) {
  AttackCase row{.name = "cover_kind" + std::to_string(hero_kind) + "_dir" + std::to_string(dir),
                 .kind = kEnemy,
                 .dir = dir,
                 .layout = AttackLayout::kFront,
                 .prefixes = {"Kadrun"},
                 .more_kinds = {hero_kind}};
  row.before = [hero_kind, dir](AttackRig& r) {
    r.dispatch().slots.kinds[kEnemy].normal = &CoverStub;
    CoverTheFirstTarget(r, hero_kind, dir);
  };
  return row;
}

struct CoverStep {
  int frame = 0;
  uint32_t ms = 0;
  uint8_t state = 0;
  uint8_t hold = 0;
  KadrunPlace place{};
  uint8_t pattern = 0;
  uint16_t attr = 0;
  uint8_t mode = 0;
  int32_t anm_frame = 0;
  AnimeHandle handle;
  uint32_t command_step = 0;
  uint8_t attacker_state = 0;
  uint32_t cover_start = 0;
};

struct CoverRun {
  std::vector<CoverStep> steps;
  std::vector<AttackTraceLine> lines;
  std::set<int> hit;
  KadrunPlace home{}, ally{};
  uint16_t home_attr = 0;
  int hero = -1;
};

CoverRun RunCover(int hero_kind, int dir) {
  CoverRun run;
  AttackRig r(CoverRow(hero_kind, dir));
  SlgBattleState& s = r.rig().battle().state;
  run.hero = Slg::FindUnitByChara(0);
  SlgUnit& hero = s.units[static_cast<size_t>(run.hero)];
  const SlgUnit& ally = s.units[r.targets()[0]];
  run.home = {hero.x, hero.y, hero.lift};
  run.ally = {ally.x, ally.y, ally.lift};
  run.home_attr = hero.anm->attr;
  r.Start();
  for (int n = 0; n < 600 && !(r.Ended() && hero.state == 0 && n > 40); ++n) {
    r.Step();
    CoverStep st;
    st.frame = r.frames();
    st.ms = TimelineNow();
    st.state = hero.state;
    st.hold = hero.cover_hold();
    st.place = {hero.x, hero.y, hero.lift};
    st.pattern = hero.anm->pattern;
    st.attr = hero.anm->attr;
    st.mode = hero.anm->mode;
    st.anm_frame = AnmFrameOf(hero.anm);
    st.handle = hero.anm->handle;
    st.command_step = r.rig().battle().phase_sub;
    st.attacker_state = r.attacker().state;
    st.cover_start = KadrunWork().start_ms;
    run.steps.push_back(st);
  }
  run.lines = r.trace().lines();
  run.hit = r.trace().hit_signalled();
  return run;
}

bool Same(const KadrunPlace& a, const KadrunPlace& b) {
  return a.x == b.x && a.y == b.y && a.lift == b.lift;
}

TEST(HeroCover, TheHeroLeapsIntoTheCoveredPlaceHoldsThereAndComesBack) {
  constexpr uint8_t kPattern[4] = {12, 13, 13, 12};
  constexpr uint16_t kAttr[4] = {16, 16, 0, 0};
  for (int kind : {0, 7}) {
    for (int dir = 0; dir < 4; ++dir) {
      SCOPED_TRACE("kind " + std::to_string(kind) + ", the attacker facing " + std::to_string(dir));
      const CoverRun run = RunCover(kind, dir);
      ASSERT_FALSE(run.steps.empty());
      size_t c0 = 0;
      while (c0 < run.steps.size() && run.steps[c0].state != 14) ++c0;
      ASSERT_LT(c0, run.steps.size()) << "the hero takes the hit: state 14";
      size_t held = c0;
      while (held < run.steps.size() && run.steps[held].hold == 0) ++held;
      ASSERT_LT(held, run.steps.size());
      const uint32_t start = run.steps[c0].cover_start;
      // Eight after-images, one every 4 frames, then he stands in the heroine's place facing
      // the attacker.
      std::vector<std::string> images;
      for (const AttackTraceLine& l : run.lines) {
        if (l.text.rfind("task+ Kadrun::kabau::zanzou:", 0) == 0) {
          images.push_back(l.text.substr(6, l.text.find(' ', 6) - 6));
          const int32_t n = static_cast<int32_t>(images.size());
          for (size_t i = 0; i < run.steps.size(); ++i) {
            if (run.steps[i].frame != l.frame) continue;
            EXPECT_GE(FramesBetween(start, run.steps[i].ms), 4 * n);
            EXPECT_LT(FramesBetween(start, run.steps[i - 1].ms), 4 * n);
          }
        }
      }
      ASSERT_EQ(images.size(), 8u);
      for (size_t k = 0; k < 8; ++k) {
        EXPECT_EQ(images[k], "Kadrun::kabau::zanzou:" + std::to_string(k + 1));
      }
      EXPECT_GE(FramesBetween(start, run.steps[held].ms), 32);
      EXPECT_LE(FramesBetween(start, run.steps[held].ms), 34);
      const CoverStep& h = run.steps[held];
      EXPECT_TRUE(Same(h.place, run.ally));
      EXPECT_EQ(h.pattern, kPattern[dir]);
      EXPECT_EQ(h.attr, kAttr[dir]);
      // Until then the attacker waits in the command's step 12.
      for (size_t i = c0; i < held; ++i) {
        EXPECT_EQ(run.steps[i].command_step, 12u) << "frame " << run.steps[i].frame;
        EXPECT_EQ(run.steps[i].attacker_state, 0) << "frame " << run.steps[i].frame;
      }
      EXPECT_EQ(run.steps[held + 1].attacker_state, 5) << "then it attacks";
      // The hit signal the attack gives in its first frame replays his pose from its first
      // frame, playing through.
      EXPECT_EQ(run.hit, std::set<int>{run.hero});
      int hit = -1;
      for (const AttackTraceLine& l : run.lines) {
        if (l.text == "routine (other)") hit = l.frame;
      }
      ASSERT_GE(hit, 0);
      size_t replay = held;
      while (replay < run.steps.size() && run.steps[replay].mode != kSlgAnmOnce) ++replay;
      ASSERT_LT(replay, run.steps.size());
      EXPECT_EQ(run.steps[replay].frame, hit);
      EXPECT_EQ(run.steps[replay].hold, 1);
      EXPECT_NE(run.steps[replay].handle, run.steps[replay - 1].handle);
      EXPECT_EQ(run.steps[replay].anm_frame, 0);
      EXPECT_EQ(run.steps[replay].pattern, kPattern[dir]);
      // Once the command has cleared the hold: his own place, lift and mirror, and state 0.
      const CoverStep& last = run.steps.back();
      EXPECT_EQ(last.state, 0);
      EXPECT_EQ(last.hold, 0);
      EXPECT_TRUE(Same(last.place, run.home));
      EXPECT_EQ(last.attr, run.home_attr);
    }
  }
}

TEST(HeroCover, ABattleEndingDuringTheHoldGivesTheAbilitySetBack) {
  AttackRig r(CoverRow(0, 1));
  SlgUnit& hero = r.rig().battle().state.units[Slg::FindUnitByChara(0)];
  const int refs = testsupport::AttackTrace::AnimationSetReferences();
  r.Start();
  for (int n = 0; n < 200 && hero.cover_hold() == 0; ++n) r.Step();
  ASSERT_EQ(hero.cover_hold(), 1);
  EXPECT_NE(KadrunWork().ability_anm, nullptr);
  SlgTaskEndAll();
  KadrunGiveBack(KadrunWork());
  EXPECT_EQ(KadrunWork().ability_anm, nullptr);
  EXPECT_EQ(testsupport::AttackTrace::AnimationSetReferences(), refs);
}

}  // namespace

namespace {

TEST(HeroCover, SmokeRows) {
  testsupport::ExpectAttackCase(CoverRow(0, 1));
  testsupport::ExpectAttackCase(CoverRow(7, 2));
}

}  // namespace
