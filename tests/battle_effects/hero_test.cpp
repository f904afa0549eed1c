// The hero's attacks (kind 0) on the attack harness: the normal and critical layers by type and
// direction and their 20-frame end, the special's dash, lightnings and hit marks at 60 frames a
// second and on a slow clock, no targets, set-ups that fail, missing pictures, and a battle that
// ends while the hero attacks.

#include "battle_effects/hero.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_screen.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle_effects/attack_dispatch.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/effect_position.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/hero_fixtures.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackOutcome;
using testsupport::AttackRig;
using testsupport::AttackTraceLine;
using testsupport::HitSignal;

constexpr int32_t kPx = 65536;

int32_t FramesBetween(uint32_t from, uint32_t to) {
  return static_cast<int32_t>(int64_t{static_cast<int32_t>(to - from)} * 60 / 1000);
}

// ---- The special, step by step ----

// One rig step of the special.
struct SpecialStep {
  int frame = 0;
  uint32_t ms = 0;
  int dash_phase = -1;  // the dash task's own phase; -1 while it does not run
  int32_t body_frame = -1;
  SlgPair dash{};
  uint32_t dash_start = 0;
  bool flash = false;
  uint16_t flags = 0;
  int16_t scroll_x = 0, scroll_y = 0;
  int layer_x = 0, layer_y = 0;
  uint8_t state = 0;
};

struct SpecialRun {
  std::vector<SpecialStep> steps;
  std::vector<AttackTraceLine> lines;
  std::set<int> hit;
  std::vector<uint8_t> targets;
  SlgPair anchor{};  // the first target's (or, without targets, the hero's) x and y - lift
  int16_t scroll_x = 0, scroll_y = 0;
  uint32_t flash_sprites = 0;
};

SpecialRun RunSpecial(AttackCase row) {
  SpecialRun run;
  AttackRig r(row);
  const SlgBattleState& s = r.rig().battle().state;
  const SlgUnit& first =
      r.targets().empty() ? r.attacker() : s.units[r.targets()[0]];
  run.anchor = {first.x, first.y - first.lift};
  run.scroll_x = s.scroll_x;
  run.scroll_y = s.scroll_y;
  run.targets = r.targets();
  r.Start();
  for (int n = 0; n < 400 && r.attacker().state != 7; ++n) {
    r.Step();
    SpecialStep st;
    st.frame = r.frames();
    st.ms = TimelineNow();
    if (GameTaskRec* t = Ctx().game_task.FindTask("Kadrun:HissatsuHontai")) {
      auto* rec = static_cast<SlgEffectTask*>(t->work);
      if (rec->owned[0] != nullptr && rec->owned[1] != nullptr) {
        const auto* obj = static_cast<const SlgAnmObj*>(rec->owned[0]);
        st.dash_phase = static_cast<const KadrunTaskWork*>(rec->owned[1])->phase;
        st.body_frame = SlgAnmObjIsEnd(obj) != 0 ? 99 : AnmFrameOf(obj);
        st.dash = {obj->x, obj->y};
      }
    }
    const KadrunAttackWork& w = KadrunWork();
    st.dash_start = w.start_ms;
    st.flash = w.flash_entry != nullptr;
    run.flash_sprites += w.flash_spr != nullptr ? 1 : 0;
    st.flags = r.rig().battle().flags;
    st.scroll_x = s.scroll_x;
    st.scroll_y = s.scroll_y;
    Ctx().ddraw.GetLayerScroll(SURFACE_ROOT, &st.layer_x, &st.layer_y);
    st.state = r.attacker().state;
    run.steps.push_back(st);
  }
  run.lines = r.trace().lines();
  run.hit = r.trace().hit_signalled();
  return run;
}

// The steps (indexes) whose frames hold trace lines starting with `prefix`, in order.
std::vector<size_t> StepsOf(const SpecialRun& run, const std::string& prefix) {
  std::vector<size_t> out;
  for (const AttackTraceLine& l : run.lines) {
    if (l.text.rfind(prefix, 0) != 0) continue;
    for (size_t i = 0; i < run.steps.size(); ++i) {
      if (run.steps[i].frame == l.frame) out.push_back(i);
    }
  }
  return out;
}

// The names of the tasks made whose names start with `prefix`, in order.
std::vector<std::string> Starts(const SpecialRun& run, const std::string& prefix) {
  std::vector<std::string> names;
  for (const AttackTraceLine& l : run.lines) {
    if (l.text.rfind("task+ " + prefix, 0) == 0) {
      names.push_back(l.text.substr(6, l.text.find(' ', 6) - 6));
    }
  }
  return names;
}

AttackCase SpecialRow(AttackLayout layout, uint32_t step_ms) {
  AttackCase row{.name = "hero_special", .kind = 0, .type = 1, .dir = 1, .layout = layout,
                 .step_ms = step_ms};
  row.fixtures = &HeroSets;
  return row;
}

TEST(HeroSpecial, TwoLightningsAndTwoHitMarksAtTheirBodyFramesHoweverFramesArrive) {
  for (uint32_t step_ms : {0u, 50u}) {
    SCOPED_TRACE("step " + std::to_string(step_ms) + " ms");
    const SpecialRun run = RunSpecial(SpecialRow(AttackLayout::kThree, step_ms));
    ASSERT_FALSE(run.steps.empty());
    EXPECT_EQ(run.steps.back().state, 7);
    // The cues in their order, each once, each when the body's frame has reached its own.
    const std::vector<std::pair<std::string, int32_t>> cues = {
        {"Kadrun::HissatsuInazuma", 12},
        {"Kadrun:HissatsuHitmark", 15},
        {"Kadrun::HissatsuInazuma", 29},
        {"Kadrun:HissatsuHitmark2", 31}};
    EXPECT_EQ(Starts(run, "Kadrun::HissatsuInazuma"),
              std::vector<std::string>(2, "Kadrun::HissatsuInazuma"));
    EXPECT_EQ(Starts(run, "Kadrun:HissatsuHitmark"),
              (std::vector<std::string>{"Kadrun:HissatsuHitmark", "Kadrun:HissatsuHitmark2"}));
    // The frame the dash saw is the one the step before found (the animation steps after the
    // tasks); each start comes in its own step, in the cues' order.
    const std::vector<size_t> lightnings = StepsOf(run, "task+ Kadrun::HissatsuInazuma");
    const std::vector<size_t> marks = StepsOf(run, "task+ Kadrun:HissatsuHitmark");
    ASSERT_EQ(lightnings.size(), 2u);
    ASSERT_EQ(marks.size(), 2u);
    const size_t at[] = {lightnings[0], marks[0], lightnings[1], marks[1]};
    for (size_t c = 0; c < cues.size(); ++c) {
      SCOPED_TRACE(cues[c].first);
      ASSERT_GT(at[c], 0u);
      if (c > 0) {
        EXPECT_LT(at[c - 1], at[c]);
      }
      const int32_t seen = run.steps[at[c] - 1].body_frame;
      EXPECT_GE(seen, cues[c].second);
      if (step_ms == 0) {
        EXPECT_EQ(seen, cues[c].second) << "at 60 frames a second, at its frame";
      }
    }
    // No name is alive twice at once.
    std::set<std::string> live;
    for (const AttackTraceLine& l : run.lines) {
      const bool made = l.text.rfind("task+ ", 0) == 0;
      if (!made && l.text.rfind("task- ", 0) != 0) continue;
      const std::string name = l.text.substr(6, l.text.find(' ', 6) - 6);
      if (made) {
        EXPECT_TRUE(live.insert(name).second) << name << " twice at frame " << l.frame;
      } else {
        live.erase(name);
      }
    }
    // The hit marks signal the first target only.
    EXPECT_EQ(run.hit, std::set<int>{run.targets[0]});
    // The flash shows twice, 8 frames each time.
    std::vector<std::pair<size_t, size_t>> flashes;
    for (size_t i = 0; i < run.steps.size(); ++i) {
      if (!run.steps[i].flash) continue;
      if (flashes.empty() || flashes.back().second != i) flashes.push_back({i, i});
      flashes.back().second = i + 1;
    }
    ASSERT_EQ(flashes.size(), 2u);
    for (const auto& [on, off] : flashes) {
      ASSERT_LT(off, run.steps.size());
      EXPECT_GE(FramesBetween(run.steps[on].ms, run.steps[off].ms), 8);
      EXPECT_LT(FramesBetween(run.steps[on].ms, run.steps[off - 1].ms), 8);
    }
    // SlgFlags bits 1 and 2 are clear while the routine runs and set at its end.
    for (const SpecialStep& st : run.steps) {
      if (st.dash_phase >= 0) {
        EXPECT_EQ(st.flags & 0x6, 0) << "frame " << st.frame;
      }
    }
    EXPECT_EQ(run.steps.back().flags & 0x6, 0x6);
    // Camera and fade back.
    EXPECT_EQ(run.steps.back().scroll_x, run.scroll_x);
    EXPECT_EQ(run.steps.back().scroll_y, run.scroll_y);
  }
}

}  // namespace
