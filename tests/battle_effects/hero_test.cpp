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
#include "tests/battle_effects/effect_test_support.h"

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

// ---- Normal and critical ----

namespace {

// One call of the hero's normal or critical routine, seen from a wrapper in its slot.
struct LayeredCall {
  uint32_t ms = 0;
  uint8_t step_before = 0;
  int32_t running = 0;
  uint8_t state = 0;
  std::array<uint8_t, 5> states{};  // the objects' state bytes after the call
};

struct LayeredObject {
  bool from_body = false;
  uint8_t pattern = 0;
  uint16_t attr = 0;
  uint8_t mode = 0;
  uint8_t state = 0;
  uint32_t loop = 0;
  uint32_t free_at_end = 0;
};

struct LayeredRecord {
  std::vector<LayeredCall> calls;
  std::vector<LayeredObject> objects;
  SlgPair pos{};
  bool made_now = false;  // the objects were made in the current step
};

LayeredRecord* g_layered = nullptr;

void Recording(SlgUnit& unit, SlgPair& pos, SlgAttackRoutine routine) {
  LayeredRecord& rec = *g_layered;
  KadrunAttackWork& w = KadrunWork();
  LayeredCall call;
  call.step_before = w.layered.step;
  routine(unit, pos);
  call.ms = TimelineNow();
  call.running = w.layered.running;
  call.state = unit.state;
  for (int i = 0; i < w.ctx.object_count && i < 5; ++i) {
    call.states[static_cast<size_t>(i)] = w.ctx.objects[static_cast<size_t>(i)]->state;
  }
  if (call.step_before == 0 && w.layered.step == 1) {
    rec.pos = pos;
    rec.made_now = true;
    SpxAnimeKind* spx = Scene().tamvik_spr.spx();
    for (int i = 0; i < w.ctx.object_count; ++i) {
      const SlgAnmObj* obj = w.ctx.objects[static_cast<size_t>(i)];
      const SpxAnimeBlock* block = spx->Block(obj->handle);
      rec.objects.push_back({obj->anims == w.ctx.body_anims, obj->pattern, obj->attr, obj->mode,
                             obj->state, block != nullptr ? block->loop : 99,
                             block != nullptr ? block->free_at_end : 99});
    }
  }
  rec.calls.push_back(call);
}
void RecordingNormal(SlgUnit& u, SlgPair& p) { Recording(u, p, &KadrunNormal); }
void RecordingCritical(SlgUnit& u, SlgPair& p) { Recording(u, p, &KadrunCritical); }

// Effect animation k is a square of side 20 + 4k, so that the largest object of a form shows
// above the others.
int EffectSide(int k) { return 20 + 4 * k; }

bool SameTop5(uint32_t a, uint32_t b) {
  for (int shift : {3, 11, 19}) {
    if (((a >> shift) & 0x1F) != ((b >> shift) & 0x1F)) return false;
  }
  return true;
}

struct Probe {
  int x, y;
  uint32_t want;
};

// Plays the hero's attack of `type` facing `dir` with the recording wrapper; `probes` gives the
// pixels to read in the step the objects are made (from the anchor's screen pixel).
LayeredRecord RunLayered(int type, int dir, const std::function<void(AttackFixtures&)>& extra,
                         std::vector<std::pair<Probe, uint32_t>>* read,
                         const std::function<std::vector<Probe>(const LayeredRecord&, int, int)>&
                             probes = {}) {
  LayeredRecord rec;
  g_layered = &rec;
  AttackCase row{.name = "hero_layered", .kind = 0, .type = type, .dir = dir};
  row.fixtures = [extra](AttackFixtures& f) {
    HeroSets(f);
    std::vector<AttackAnim> effects;
    for (int k = 0; k < 10; ++k) effects.push_back({.side = EffectSide(k)});
    f.Slot(kAnmAttackEffect, effects);
    if (extra) extra(f);
  };
  row.before = [](AttackRig& r) {
    r.dispatch().slots.kinds[0].normal = &RecordingNormal;
    r.dispatch().slots.kinds[0].critical = &RecordingCritical;
  };
  AttackRig r(row);
  r.Start();
  for (int n = 0; n < 300 && r.attacker().state != 7; ++n) {
    r.Step();
    if (!rec.made_now) continue;
    rec.made_now = false;
    if (!probes || read == nullptr) continue;
    const int ax = (rec.pos.x >> 16) + 320;
    const int ay = (rec.pos.y >> 16) + 240;
    for (const Probe& p : probes(rec, ax, ay)) read->push_back({p, r.rig().PixelAt(p.x, p.y)});
  }
  g_layered = nullptr;
  return rec;
}

// The first call that counted every object out, and the call that set state 7.
std::pair<size_t, size_t> CountedAndEnded(const LayeredRecord& rec) {
  size_t counted = 0;
  while (counted < rec.calls.size() &&
         (rec.calls[counted].step_before != 1 || rec.calls[counted].running > 0)) {
    ++counted;
  }
  size_t ended = counted;
  while (ended < rec.calls.size() && rec.calls[ended].state != 7) ++ended;
  return {counted, ended};
}

TEST(HeroLayered, EachTypeAndDirectionPlaysItsRowsAndEnds20FramesAfterTheLastObject) {
  struct Form {
    int type;
    std::vector<std::array<int, 2>> rows;  // animation for directions 1 and 2, for 0 and 3
    std::vector<int> once;
    int marked;
  } forms[] = {
      {0, {{0, 1}, {0, 1}, {6, 7}}, {2}, 1},
      {2, {{2, 3}, {2, 3}, {4, 5}, {8, 9}, {0, 1}}, {3, 4}, 2},
      {3, {{0, 1}, {0, 1}, {6, 7}}, {2}, 1},  // type 3 plays the normal
  };
  for (const Form& form : forms) {
    for (int dir = 0; dir < 4; ++dir) {
      SCOPED_TRACE("type " + std::to_string(form.type) + " direction " + std::to_string(dir));
      const int column = dir == 0 || dir == 3 ? 1 : 0;
      const uint16_t attr = dir >= 2 ? 16 : 0;
      // The largest effect shows above the others: its colour in its middle, its white strip on
      // the left (or, mirrored, the right).
      const auto probes = [&](const LayeredRecord& rec, int ax, int ay) {
        int largest = 0, second = 0, anim = 0;
        for (size_t i = 1; i < rec.objects.size(); ++i) {
          const int side = EffectSide(rec.objects[i].pattern);
          if (side > largest) {
            second = largest;
            largest = side;
            anim = rec.objects[i].pattern;
          } else if (side > second) {
            second = side;
          }
        }
        const uint32_t colour = AttackFixtures::ColourRef(0, kAnmAttackEffect, anim);
        const int y = ay - (largest + second) / 2;
        const int left = ax - largest / 2 + 1;
        const int right = ax + largest / 2 - 2;
        return std::vector<Probe>{{ax, y, colour},
                                  {left, y, attr == 0 ? 0xFFFFFFu : colour},
                                  {right, y, attr == 0 ? colour : 0xFFFFFFu}};
      };
      std::vector<std::pair<Probe, uint32_t>> read;
      const LayeredRecord rec = RunLayered(form.type, dir, {}, &read, probes);
      ASSERT_EQ(rec.objects.size(), form.rows.size());
      for (size_t i = 0; i < form.rows.size(); ++i) {
        SCOPED_TRACE("object " + std::to_string(i));
        const LayeredObject& o = rec.objects[i];
        EXPECT_EQ(o.from_body, i == 0);
        EXPECT_EQ(o.pattern, form.rows[i][static_cast<size_t>(column)]);
        EXPECT_EQ(o.attr, attr);
        EXPECT_EQ(o.mode, kSlgAnmOnce) << "every object plays through";
        EXPECT_EQ(o.loop, 0u);
        const bool once =
            std::find(form.once.begin(), form.once.end(), static_cast<int>(i)) != form.once.end();
        EXPECT_EQ(o.free_at_end, once ? 1u : 0u);
        EXPECT_EQ((o.state & kLayeredMarked) != 0, static_cast<int>(i) == form.marked);
      }
      ASSERT_EQ(read.size(), 3u);
      for (const auto& [probe, pixel] : read) {
        EXPECT_TRUE(SameTop5(pixel, probe.want))
            << "(" << probe.x << ", " << probe.y << ") " << std::hex << pixel << " want "
            << probe.want;
      }
      const auto [counted, ended] = CountedAndEnded(rec);
      ASSERT_LT(ended, rec.calls.size());
      // The first call 20 frames or more after it (the clock's whole milliseconds may jump
      // from 19 frames to 21).
      EXPECT_GE(FramesBetween(rec.calls[counted].ms, rec.calls[ended].ms), 20);
      EXPECT_LT(FramesBetween(rec.calls[counted].ms, rec.calls[ended - 1].ms), 20);
    }
  }
}

TEST(HeroLayered, TheLastObjectCountedOutStartsThe20Frames) {
  // An effect that outlasts the body counts out on the call after its end; a body that outlasts
  // every effect on the call that finds its end.
  struct Case {
    const char* name;
    int slot;
    int anim;
    size_t object;
    bool a_call_later;
  } cases[] = {{"the once effect outlasts the body", kAnmAttackEffect, 6, 2, true},
               {"the body outlasts the effects", kAnmAttackBody, 0, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LayeredRecord rec = RunLayered(0, 1, [&c](AttackFixtures& f) {
      std::vector<AttackAnim> anims(c.slot == kAnmAttackBody ? 8 : 10);
      for (size_t k = 0; k < anims.size(); ++k) {
        anims[k].side = c.slot == kAnmAttackBody ? 16 : EffectSide(static_cast<int>(k));
      }
      anims[static_cast<size_t>(c.anim)].frames = 20;
      f.Slot(c.slot, anims);
    }, nullptr);
    const auto [counted, ended] = CountedAndEnded(rec);
    ASSERT_LT(ended, rec.calls.size());
    ASSERT_GT(counted, 1u);
    const LayeredCall& last = rec.calls[counted];
    const LayeredCall& before = rec.calls[counted - 1];
    EXPECT_NE(last.states[c.object] & kSlgAnmStateEnded, 0);
    EXPECT_EQ(before.running, 1) << "the last object still counted";
    EXPECT_EQ((before.states[c.object] & kSlgAnmStateEnded) != 0, c.a_call_later);
    // 40 frames of the long animation, then the 20.
    EXPECT_GE(FramesBetween(rec.calls.front().ms, last.ms), 40);
    EXPECT_GE(FramesBetween(last.ms, rec.calls[ended].ms), 20);
    EXPECT_LT(FramesBetween(last.ms, rec.calls[ended - 1].ms), 20);
  }
}

// ---- A battle that ends while the hero attacks ----

// Frames until `reached`, at most 300.
void StepUntil(AttackRig& r, const std::function<bool()>& reached) {
  for (int n = 0; n < 300 && !reached(); ++n) r.Step();
  ASSERT_TRUE(reached());
}

TEST(HeroTeardown, WhatTheAttackHoldsGoesBackWithTheBattle) {
  for (int type : {1, 0}) {
    SCOPED_TRACE("type " + std::to_string(type));
    AttackCase row{.name = "hero_teardown", .kind = 0, .type = type};
    row.fixtures = &HeroSets;
    AttackRig r(row);
    BattleContext& b = r.rig().battle();
    const int64_t alloc = b.alloc.live;
    r.Start();
    // The sets the battle holds once the lead-in is over (the targets' reactions take theirs).
    StepUntil(r, [&r] { return r.attacker().state == 6; });
    const int refs = testsupport::AttackTrace::AnimationSetReferences();
    if (type == 1) {
      StepUntil(r, [] { return KadrunWork().flash_entry != nullptr; });
    } else {
      StepUntil(r, [] { return KadrunWork().ctx.object_count > 0; });
    }
    KadrunAttackWork& w = KadrunWork();
    SprRec* flash = w.flash_spr;
    const AnimeHandle scroll = w.bg_scroll;
    EXPECT_EQ(flash != nullptr, type == 1);
    EXPECT_GT(testsupport::AttackTrace::AnimationSetReferences(), refs);
    // What the battle context's end does: its tasks end, then its blocks.
    SlgTaskEndAll();
    KadrunGiveBack(w);
    EXPECT_EQ(b.alloc.live, alloc);
    EXPECT_EQ(testsupport::AttackTrace::AnimationSetReferences(), refs);
    EXPECT_EQ(w.ctx.object_count, 0);
    EXPECT_EQ(w.flash_spr, nullptr);
    EXPECT_EQ(w.flash_entry, nullptr);
    if (type == 1) {
      EXPECT_EQ(Ctx().ddraw_spr.IsSprite(flash), 0);
      EXPECT_EQ(Ctx().anime.SetScrollWrap(scroll, 1024, 512), 0) << "the scroll is gone";
    }
  }
}

TEST(HeroTeardown, ARigDestroyedDuringTheSpecialLeavesNothing) {
  // LeakSanitizer and AddressSanitizer watch the ends of the block and the rig.
  AttackCase row{.name = "hero_teardown", .kind = 0, .type = 1};
  row.fixtures = &HeroSets;
  AttackRig r(row);
  r.Start();
  StepUntil(r, [] { return KadrunWork().hitmark_count > 0; });
}

}  // namespace
