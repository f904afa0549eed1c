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

namespace {

TEST(HeroSpecial, TheDashRunsFrom746PixelsLeftOfTheFirstTargetAt12And9PixelsAFrame) {
  const SpecialRun run = RunSpecial(SpecialRow(AttackLayout::kFront, 0));
  size_t s0 = 0;
  while (s0 < run.steps.size() && run.steps[s0].dash_phase < 5) ++s0;
  ASSERT_LT(s0, run.steps.size());
  const SpecialStep& start = run.steps[s0];
  // The camera has put the first target 400 px right of and 360 px below the view's corner.
  EXPECT_EQ(run.anchor.x / kPx - start.scroll_x, 400);
  EXPECT_EQ(run.anchor.y / kPx - start.scroll_y, 360);
  const SlgPair from{(run.anchor.x / kPx - start.scroll_x - 746) * kPx,
                     (run.anchor.y / kPx - start.scroll_y - 560) * kPx};
  EXPECT_EQ(start.dash.x, from.x);
  EXPECT_EQ(start.dash.y, from.y);
  const std::vector<size_t> trigger = StepsOf(run, "task+ Kadrun:HissatsuEffect");
  ASSERT_EQ(trigger.size(), 1u);
  EXPECT_EQ(StepsOf(run, "task+ Kadrun:HissatsuHibana"), trigger);
  for (size_t i = s0; i <= trigger[0]; ++i) {
    const SpecialStep& st = run.steps[i];
    const int32_t f = FramesBetween(start.dash_start, st.ms);
    EXPECT_EQ(st.dash.x, from.x + f * 12 * kPx) << "frame " << f;
    EXPECT_EQ(st.dash.y, from.y + f * 9 * kPx) << "frame " << f;
  }
  // The target is reached (x at 448 px left of it, 298 px on) after 25 frames.
  EXPECT_EQ(FramesBetween(start.dash_start, run.steps[trigger[0]].ms), 25);
  EXPECT_LT(FramesBetween(start.dash_start, run.steps[trigger[0] - 1].ms), 25);
  // An after-image every 4 frames, named by its count.
  const std::vector<std::string> images = Starts(run, "Kadrun:HissatsuZanzou");
  ASSERT_EQ(images.size(), 6u);
  const std::vector<size_t> at = StepsOf(run, "task+ Kadrun:HissatsuZanzou");
  for (size_t k = 0; k < images.size(); ++k) {
    const int32_t n = static_cast<int32_t>(k) + 1;
    EXPECT_EQ(images[k], "Kadrun:HissatsuZanzou" + std::to_string(n));
    EXPECT_GE(FramesBetween(start.dash_start, run.steps[at[k]].ms), 4 * n);
    EXPECT_LT(FramesBetween(start.dash_start, run.steps[at[k] - 1].ms), 4 * n);
  }
}

TEST(HeroSpecial, WithoutTargetsTheCameraStaysAndTheDashRunsUpToTheHero) {
  const SpecialRun run = RunSpecial(SpecialRow(AttackLayout::kNone, 0));
  ASSERT_FALSE(run.steps.empty());
  EXPECT_EQ(run.steps.back().state, 7);
  for (const SpecialStep& st : run.steps) {
    EXPECT_EQ(st.scroll_x, run.scroll_x);
    EXPECT_EQ(st.scroll_y, run.scroll_y);
  }
  size_t s0 = 0;
  while (s0 < run.steps.size() && run.steps[s0].dash_phase < 5) ++s0;
  ASSERT_LT(s0, run.steps.size());
  EXPECT_EQ(run.steps[s0].dash.x, (run.anchor.x / kPx - run.scroll_x - 746) * kPx);
  EXPECT_EQ(run.steps[s0].dash.y, (run.anchor.y / kPx - run.scroll_y - 560) * kPx);
  EXPECT_EQ(Starts(run, "Kadrun:HissatsuHitmark").size(), 2u);
  EXPECT_TRUE(run.hit.empty()) << "the hit marks signal nobody";
  // The end gives back what the special took (the harness's end check).
  AttackCase row = SpecialRow(AttackLayout::kNone, 0);
  row.hits = HitSignal::kNone;
  row.prefixes = {"Kadrun"};
  row.routine = "KadrunSpecial";
  const AttackOutcome out = testsupport::PlayAttackCase(row);
  EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
}

TEST(HeroSpecial, WithoutItsPicturesTheBackgroundStaysAndTheLightningsShowNothing) {
  AttackCase row = SpecialRow(AttackLayout::kFront, 0);
  row.fixtures = [](AttackFixtures& f) {
    HeroSets(f);
    f.Omit(kAnmSpecialBg);
  };
  const SpecialRun run = RunSpecial(row);
  ASSERT_FALSE(run.steps.empty());
  EXPECT_EQ(run.steps.back().state, 7);
  EXPECT_EQ(Starts(run, "Kadrun::HissatsuInazuma").size(), 2u);
  EXPECT_EQ(run.flash_sprites, 0u);
  for (const SpecialStep& st : run.steps) {
    EXPECT_FALSE(st.flash);
    EXPECT_EQ(st.layer_x, run.steps.front().layer_x);
    EXPECT_EQ(st.layer_y, run.steps.front().layer_y);
  }
  row.prefixes = {"Kadrun"};
  row.hits = HitSignal::kFirst;
  const AttackOutcome out = testsupport::PlayAttackCase(row);
  EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
}

TEST(HeroSpecial, TheBackgroundScrollsAndTheLightningsShowTheFlashPicture) {
  const SpecialRun run = RunSpecial(SpecialRow(AttackLayout::kFront, 0));
  EXPECT_GT(run.flash_sprites, 0u);
  std::set<std::pair<int, int>> scrolls;
  for (const SpecialStep& st : run.steps) {
    if (st.dash_phase >= 0) scrolls.insert({st.layer_x, st.layer_y});
  }
  EXPECT_GT(scrolls.size(), 10u) << "the background moves";
}

// ---- Set-ups that fail ----

TEST(HeroSetup, AMissingSetEndsTheAttackOnItsFirstCallWithItsTypesEnd) {
  struct Case {
    const char* name;
    int type;
    int omitted;
    bool special_end;
  } cases[] = {{"special without SPECIAL_EFFECT", 1, kAnmSpecialEffect, true},
               {"special without SPECIAL_BODY", 1, kAnmSpecialBody, true},
               {"normal without ATTACK_BODY", 0, kAnmAttackBody, false},
               {"critical without ATTACK_EFFECT", 2, kAnmAttackEffect, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AttackCase row{.name = "hero_setup", .kind = 0, .type = c.type, .prefixes = {"Kadrun"}};
    row.fixtures = [omitted = c.omitted](AttackFixtures& f) {
      HeroSets(f);
      f.Omit(omitted);
    };
    const AttackOutcome out = testsupport::PlayAttackCase(row);
    // Everything given back and the targets shown again (the harness's end check).
    EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
    int state6 = -1, state7 = -1;
    for (const AttackTraceLine& l : out.lines) {
      if (l.text == "unit 0 state 6" && state6 < 0) state6 = l.frame;
      if (l.text == "unit 0 state 7" && state7 < 0) state7 = l.frame;
      EXPECT_EQ(l.text.find("Kadrun"), std::string::npos) << l.text;
      EXPECT_EQ(l.text.find("routine "), std::string::npos) << "no routine runs";
    }
    ASSERT_GE(state6, 0);
    EXPECT_EQ(state7, state6 + 1);
    // The special end fades in over 18 frames.
    int faded = -1;
    for (const AttackTraceLine& l : out.lines) {
      if (l.frame > state7 && l.text.rfind("fade 0 ", 0) == 0 && faded < 0) faded = l.frame;
    }
    if (c.special_end) {
      EXPECT_GE(faded - state7, 17);
      EXPECT_LE(faded - state7, 19);
    } else {
      EXPECT_EQ(faded, -1) << "no fade";
    }
  }
}

}  // namespace
