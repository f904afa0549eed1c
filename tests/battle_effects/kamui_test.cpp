// Kamui's attacks (kinds 20, 31, 32) on the attack rig: the tables (strokes, fade, rain sizes,
// zoom growth); the normal attack's objects by type and direction and its end; the special's
// timeline against the game clock, its strokes, background fade, rain and hit effects (which
// outlive the routine from a set that stays loaded); missing pictures and sets; the smoke rows.
//
// Frame counts are checked against the game clock the rig records: a wait of n frames from frame
// S ends at the first frame F with (clock(F) - clock(S)) x 60 / 1000 >= n.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_attack_state.h"
#include "battle/slg_geometry.h"
#include "battle/slg_spawn.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle_effects/kamui.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/attack_rig.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackCheckpoint;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;

constexpr int32_t kPx = 0x10000;
constexpr uint8_t kStateAttack = 6;

// ---- The tables ----

TEST(KamuiTables, StrokesGrowTowardTheNextRowAndCloseTheStar) {
  // Stroke 1 at frame 10: the outer corner halfway from row 1 to row 2, -103.5 truncated to -103.
  std::array<PolygonPoint, 4> s = KamuiStrokeAt(1, 10);
  EXPECT_EQ(s[1].x, 31);
  EXPECT_EQ(s[1].y, 47);
  EXPECT_EQ(s[2].x, (-66 + 108) / 2);
  EXPECT_EQ(s[2].y, 90 + (-38 - 90) * 10 / 20);
  // The fixed corners stay on row 1.
  EXPECT_EQ(s[0].x, -110);
  EXPECT_EQ(s[0].y, 150);
  EXPECT_EQ(s[3].x, -66);
  EXPECT_EQ(s[3].y, 90);
  // From 20 frames on (also a clock that jumped past it), exactly on the next row.
  for (int32_t frames : {20, 21, 90}) {
    s = KamuiStrokeAt(1, frames);
    EXPECT_EQ(s[1].x, 172);
    EXPECT_EQ(s[1].y, -57);
    EXPECT_EQ(s[2].x, 108);
    EXPECT_EQ(s[2].y, -38);
  }
  // Stroke 4 closes at row 0; stroke 0 starts as a line.
  s = KamuiStrokeAt(4, 20);
  EXPECT_EQ(s[1].x, 0);
  EXPECT_EQ(s[1].y, -186);
  EXPECT_EQ(s[2].y, -109);
  s = KamuiStrokeAt(0, 0);
  EXPECT_EQ(s[1].y, -186);
  EXPECT_EQ(s[2].y, -109);
}

TEST(KamuiTables, FadeAlphaRainSizesAndZoomGrowth) {
  const std::pair<int32_t, BlendWord> alpha[] = {{0, 0}, {1, 8}, {15, 123}, {30, 247}, {31, 256}};
  for (const auto& [n, want] : alpha) EXPECT_EQ(KamuiFadeAlpha(n), want) << "step " << n;

  struct Size {
    int32_t vx, vy, zoom;
  };
  const Size big{-15, 30, 2 * kPx}, large{-12, 24, kPx}, mid{-9, 16, kPx / 2},
      small{-6, 12, kPx / 4};
  const std::array<Size, 8> want{big, large, mid, small, mid, small, small, large};
  for (int32_t r = 0; r < 16; ++r) {
    SCOPED_TRACE("third value " + std::to_string(r));
    const KamuiRainClass c = KamuiRainClassOf(r | 0x1230);  // only the low three bits count
    const Size& w = want[static_cast<size_t>(r & 7)];
    EXPECT_EQ(c.velocity.x, w.vx * kPx);
    EXPECT_EQ(c.velocity.y, w.vy * kPx);
    EXPECT_EQ(c.zoom, w.zoom);
  }

  // Calls on frames 0, 1, 50, 100, 101 of the growth (ms on the 60 Hz count, toward zero).
  KamuiZoom z{};
  const uint32_t t0 = 5000;
  const std::pair<int32_t, int32_t> calls[] = {
      {0, 655}, {1, 655}, {50, 32750}, {100, 65500}, {101, 65536}, {102, 65536}};
  for (const auto& [frame, value] : calls) {
    KamuiZoomStep(z, t0 + static_cast<uint32_t>((frame * 1000 + 59) / 60));
    EXPECT_EQ(z.value, value) << "frame " << frame;
  }
  EXPECT_EQ(z.state, 2);
}

// ---- Observing ----

// A polygon entry of surface 4, in the buffer's drawing order.
struct Poly {
  int priority;
  std::array<PolygonPoint, 4> c;
};
std::vector<Poly> Polys() {
  std::vector<Poly> out;
  const SprBuffer* buffer = Ctx().ddraw_spr.FindBuffer(SURFACE_ROOT, nullptr);
  if (buffer == nullptr) return out;
  for (int p = SprBuffer::kPriorityCount - 1; p >= 0; --p) {
    const SprLink* tail = &buffer->tail[static_cast<size_t>(p)];
    for (const SprLink* l = buffer->head[static_cast<size_t>(p)].next; l != nullptr && l != tail;
         l = l->next) {
      const auto* e = static_cast<const SprBufferEntry*>(l);
      if (e->type != kSprEntryPolygon) continue;
      const PolygonBlock& pb = e->polygon;
      out.push_back({e->priority, {pb.corner[0], pb.corner[1], pb.corner[2], pb.corner[3]}});
    }
  }
  return out;
}

// An effect task's object (the first word of its work area); null when it does not run.
SlgAnmObj* TaskObj(const std::string& name) {
  GameTaskRec* rec = Ctx().game_task.FindTask(name.c_str());
  if (rec == nullptr || rec->work == nullptr) return nullptr;
  auto* t = static_cast<SlgEffectTask*>(rec->work);
  return t->owned[0] != nullptr ? SlgWorkAnmObj(t->owned[0]) : nullptr;
}

bool SetLoaded(const SprAnm* set) {
  for (const SprAnm* a = Scene().tamvik_spr.anms(); a != nullptr; a = a->next) {
    if (a == set) return true;
  }
  return false;
}

struct View {
  uint32_t ms = 0;
  uint8_t state = 0;
  uint32_t step = 0;
  uint16_t flags = 0;
  bool fading = false;
  BlendWord bg_alpha = 0;
  bool bg_sprite = false;
  KamuiStage stage = KamuiStage::kStrokes;
  std::vector<Poly> polys;
  std::map<std::string, SlgAnmObj> effects;  // live rain and damage objects, copied
};

struct Play {
  std::vector<View> frames;     // by rig frame (0: the start)
  std::map<uint32_t, int> step_set;  // step -> the frame whose call set it
  int state7 = -1;
  std::vector<std::string> tasks;  // the family's "task+" / "task-" lines
  std::vector<std::string> failures;
  std::vector<uint8_t> targets;

  int Between(int a, int b) const {
    return static_cast<int>(int64_t{frames[static_cast<size_t>(b)].ms -
                                    frames[static_cast<size_t>(a)].ms} *
                            60 / 1000);
  }
  int After(int from, int n) const {
    for (int f = from + 1; f < static_cast<int>(frames.size()); ++f) {
      if (Between(from, f) >= n) return f;
    }
    return -1;
  }
};

// Plays the row to its end and the outlive frames, observing every frame; `each` runs after
// every frame with the rig.
Play PlayObserved(const AttackCase& row,
                  const std::function<void(AttackRig&, const Play&)>& each = {}) {
  Play play;
  AttackRig r(row);
  r.Start();
  View first;
  first.ms = r.rig().Now();
  play.frames.push_back(first);
  bool started = false;
  int left = -1;
  while (r.frames() < 3000 && left != 0) {
    r.Step();
    const SlgUnit& a = r.attacker();
    const KamuiWork& k = KamuiFamilyWork();
    View v;
    v.ms = r.rig().Now();
    v.state = a.state;
    v.step = a.step;
    v.flags = Battle().flags;
    v.fading = Battle().fade_handle != nullptr;
    v.bg_sprite = k.attack.background.sprite != nullptr;
    v.bg_alpha = v.bg_sprite ? k.attack.background.sprite->alpha : 0;
    v.stage = k.stage;
    v.polys = Polys();
    for (int i = 0; i < 64; ++i) {
      for (const char* base : {"Kamui::Rain", "Kamui::Damage"}) {
        const std::string name = base + std::to_string(i);
        if (const SlgAnmObj* o = TaskObj(name)) v.effects[name] = *o;
      }
    }
    play.frames.push_back(v);
    const int f = r.frames();
    if (a.state == kStateAttack) started = true;
    if (started && play.state7 < 0) {
      if (a.state == kStateAttack && play.step_set.count(v.step) == 0) play.step_set[v.step] = f;
      if (a.state != kStateAttack) {
        play.state7 = f;
        left = row.outlive;
      }
    }
    if (left > 0) --left;
    if (each) each(r, play);
  }
  for (int n = 0; !r.Ended() && n < AttackRig::kEndLimit; ++n) r.Step();
  r.CheckEnd(row, play.failures);
  play.targets = r.targets();
  for (const std::string& t : r.trace().Filter({"task"})) {
    if (t.find("Kamui") != std::string::npos) play.tasks.push_back(t);
  }
  return play;
}

int CountLines(const std::vector<std::string>& lines, const std::string& prefix) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.rfind(prefix, 0) == 0;
  }));
}

// ---- The normal attack ----

// ATTACK_BODY 0-1 and ATTACK_EFFECT 0-3 of 8 frames (4 x 2 ticks); BASE_BODY the default.
void NormalSets(AttackFixtures& f) { f.Slot(kAnmAttackEffect, 4); }

TEST(KamuiNormal, ObjectsByTypeAndDirectionThenStateSevenAfter48Frames) {
  struct Want {
    uint8_t body, swing, flash;
    uint16_t attr;
  };
  const std::array<Want, 4> by_dir{{{1, 1, 3, 0}, {0, 0, 2, 0}, {0, 0, 2, 16}, {1, 1, 3, 16}}};
  for (int type : {0, 2, 3}) {
    for (int dir = 0; dir < 4; ++dir) {
      SCOPED_TRACE("type " + std::to_string(type) + " dir " + std::to_string(dir));
      const int objects = type == 3 ? 2 : 3;
      std::vector<SlgAnmObj> seen;
      int16_t unit_depth = 0;
      const Play play = PlayObserved(
          {.kind = 20, .type = type, .dir = dir, .fixtures = &NormalSets},
          [&](AttackRig& r, const Play&) {
            const KamuiAttack& k = KamuiFamilyWork().attack;
            if (!seen.empty() || k.ctx == nullptr || r.attacker().step < 2) return;
            EXPECT_EQ(k.ctx->object_count, objects);
            unit_depth = r.attacker().anm->depth;
            for (int i = 0; i < objects; ++i) seen.push_back(*k.ctx->objects[static_cast<size_t>(i)]);
          });
      EXPECT_TRUE(play.failures.empty()) << ::testing::PrintToString(play.failures);
      ASSERT_EQ(seen.size(), static_cast<size_t>(objects));
      const Want& w = by_dir[static_cast<size_t>(dir)];
      EXPECT_EQ(seen[0].pattern, w.body);
      EXPECT_EQ(seen[1].pattern, w.swing);
      EXPECT_EQ(seen[0].attr, w.attr);
      EXPECT_EQ(seen[1].attr, w.attr);
      EXPECT_EQ(seen[0].depth, unit_depth);
      EXPECT_EQ(seen[1].depth, unit_depth - 1);
      EXPECT_EQ(seen[0].x, seen[1].x);
      EXPECT_EQ(seen[0].y, seen[1].y);
      if (objects == 3) {
        EXPECT_EQ(seen[2].pattern, w.flash);
        EXPECT_EQ(seen[2].depth, -1084);
        EXPECT_EQ(seen[2].attr, w.attr);
      }
      // 48 frames from the call of step 2, which goes on to step 3 in the same call; the
      // animations are shorter, so step 4 and step 5 take one call each.
      ASSERT_TRUE(play.step_set.count(3));
      const int step2_call = play.step_set.at(3);
      EXPECT_EQ(play.step_set.at(4), play.After(step2_call, 48));
      EXPECT_EQ(play.state7, play.step_set.at(4) + 2);
    }
  }
}

TEST(KamuiNormal, ALongBodyHoldsTheEndUntilItHasPlayed) {
  // Body 1 of 100 frames: state 7 once it has ended, well after the 48 frames.
  const Play play = PlayObserved({.kind = 31,
                                  .type = 0,
                                  .dir = 0,
                                  .fixtures = [](AttackFixtures& f) {
                                    f.Slot(kAnmAttackEffect, 4);
                                    f.Slot(kAnmAttackBody,
                                           {AttackAnim{}, AttackAnim{.frames = 50, .ticks = 2}});
                                  }});
  EXPECT_TRUE(play.failures.empty()) << ::testing::PrintToString(play.failures);
  const int step1 = play.step_set.at(1);
  EXPECT_GE(play.Between(step1, play.state7), 100);
  EXPECT_LE(play.Between(step1, play.state7), 103);
  EXPECT_EQ(play.step_set.at(4), play.After(play.step_set.at(3), 48));
}

// ---- The special attack ----

// SPECIAL_BODY 0 of 30 frames and 1 of 40; SPECIAL_EFFECT 0-12 of 8 frames (9 and 11 as given);
// SPECIAL_BG pictures 0 and 1 at 640 x 480.
void SpecialSets(AttackFixtures& f, int anim9_11_frames = 4) {
  f.Slot(kAnmSpecialBody, {AttackAnim{.frames = 15, .ticks = 2}, AttackAnim{.frames = 20, .ticks = 2},
                           AttackAnim{}});
  std::vector<AttackAnim> effect(13, AttackAnim{});
  effect[9].frames = effect[11].frames = anim9_11_frames;
  f.Slot(kAnmSpecialEffect, effect);
  f.Pictures(kAnmSpecialBg, {{640, 480}, {640, 480}});
}

AttackCase SpecialRow(int kind, AttackLayout layout) {
  return {.name = "special",
          .kind = kind,
          .type = 1,
          .dir = 1,
          .layout = layout,
          .frame_limit = 1500,
          .outlive = 120,
          .fixtures = [](AttackFixtures& f) { SpecialSets(f); }};
}

// The step starts of a special against the table: each wait n from the step that stored it.
void ExpectTimeline(const Play& play) {
  const auto& s = play.step_set;
  for (uint32_t step = 0; step <= 18; ++step) ASSERT_TRUE(s.count(step)) << "step " << step;
  const std::pair<uint32_t, int> waits[] = {{2, 1},  {3, 60}, {5, 20},  {6, 20},  {7, 20},
                                            {8, 20}, {9, 20}, {10, 10}, {11, 93}, {12, 50},
                                            {13, 93}, {14, 60}, {16, 35}, {17, 240}};
  for (const auto& [step, n] : waits) {
    EXPECT_EQ(s.at(step + 1), play.After(s.at(step), n)) << "step " << step + 1;
  }
  EXPECT_EQ(play.state7, play.After(s.at(18), 160));
  // The first body (30 frames) has ended within the 61 frames: step 4 takes one call. The
  // second (40 frames) holds step 15.
  EXPECT_EQ(s.at(5), s.at(4) + 1);
  const int body2 = play.Between(s.at(15), s.at(16));
  EXPECT_GE(body2, 40);
  EXPECT_LE(body2, 42);
}

TEST(KamuiSpecial, TimelineFlagsFadesAndTargetsAsTheStepsSay) {
  const Play play = PlayObserved(SpecialRow(20, AttackLayout::kThree));
  EXPECT_TRUE(play.failures.empty()) << ::testing::PrintToString(play.failures);
  ExpectTimeline(play);
  const auto& s = play.step_set;
  const View& scene = play.frames[static_cast<size_t>(s.at(2))];
  EXPECT_EQ(scene.flags & 0x6, 0) << "bits 1 and 2 cleared at the set-up";
  EXPECT_TRUE(scene.fading) << "the fade in from black runs";
  EXPECT_EQ(play.frames[static_cast<size_t>(s.at(16)) - 1].flags & 0x6, 0);
  EXPECT_EQ(play.frames[static_cast<size_t>(s.at(17))].flags & 0x6, 0x6);
  // Stage flags as the storm goes.
  EXPECT_EQ(play.frames[static_cast<size_t>(s.at(13))].stage, KamuiStage::kStrokes);
  EXPECT_EQ(play.frames[static_cast<size_t>(s.at(14))].stage, KamuiStage::kBackgroundGone);
  EXPECT_EQ(play.frames[static_cast<size_t>(s.at(18))].stage, KamuiStage::kStormEnds);
  // One line scroll, made at the set-up and gone after the return.
  EXPECT_EQ(CountLines(play.tasks, "task+ Kamui::LineScroll"), 1);
  EXPECT_EQ(CountLines(play.tasks, "task- Kamui::LineScroll"), 1);
}

TEST(KamuiSpecial, StrokesGrowHighestFirstAndGoAtTheBackgroundsFullAlpha) {
  const Play play = PlayObserved(SpecialRow(32, AttackLayout::kFront));
  const auto& s = play.step_set;
  ASSERT_TRUE(s.count(12));
  // Stroke 1 grows in step 6: at its frame 10 the entries are stroke 1, then stroke 0.
  const int f10 = play.After(s.at(6), 10);
  ASSERT_EQ(play.Between(s.at(6), f10), 10);
  const std::vector<Poly>& p = play.frames[static_cast<size_t>(f10)].polys;
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].c[1].x, 31);
  EXPECT_EQ(p[0].c[1].y, 47);
  EXPECT_EQ(p[1].c[1].x, -110) << "stroke 0 ends on row 1";
  EXPECT_EQ(p[1].c[1].y, 150);
  EXPECT_EQ(p[0].priority, p[1].priority);
  // At step 7's start stroke 1 lies on row 2 exactly.
  const std::vector<Poly>& q = play.frames[static_cast<size_t>(s.at(7))].polys;
  ASSERT_GE(q.size(), 2u);
  const Poly& stroke1 = q[q.size() - 2];
  EXPECT_EQ(stroke1.c[1].x, 172);
  EXPECT_EQ(stroke1.c[2].y, -38);
  // All five through steps 10-11, the last closed at row 0; none from step 12 on.
  const std::vector<Poly>& all = play.frames[static_cast<size_t>(s.at(11))].polys;
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(all[0].c[1].x, 0);
  EXPECT_EQ(all[0].c[1].y, -186);
  for (int f = s.at(12); f < static_cast<int>(play.frames.size()); ++f) {
    ASSERT_TRUE(play.frames[static_cast<size_t>(f)].polys.empty()) << "frame " << f;
  }
}

TEST(KamuiSpecial, BackgroundFadesInAndOutEveryThreeFrames) {
  const Play play = PlayObserved(SpecialRow(20, AttackLayout::kFront));
  const auto& s = play.step_set;
  ASSERT_TRUE(s.count(14));
  EXPECT_FALSE(play.frames[static_cast<size_t>(s.at(10))].bg_sprite &&
               play.frames[static_cast<size_t>(s.at(10))].bg_alpha != 256)
      << "the sprite is made at the set-up, its alpha untouched until step 10";
  const std::pair<int, BlendWord> in[] = {{0, 0}, {3, 8}, {45, 123}, {93, 256}};
  for (const auto& [n, alpha] : in) {
    const int f = n == 0 ? s.at(11) : play.After(s.at(11), n);
    ASSERT_EQ(play.Between(s.at(11), f), n);
    EXPECT_EQ(play.frames[static_cast<size_t>(f)].bg_alpha, alpha) << "in, frame " << n;
  }
  const std::pair<int, BlendWord> out[] = {{0, 256}, {3, 247}, {45, 132}};
  for (const auto& [n, alpha] : out) {
    const int f = n == 0 ? s.at(13) : play.After(s.at(13), n);
    EXPECT_EQ(play.frames[static_cast<size_t>(f)].bg_alpha, alpha) << "out, frame " << n;
  }
  EXPECT_FALSE(play.frames[static_cast<size_t>(s.at(14))].bg_sprite) << "deleted at 31";
}

TEST(KamuiSpecial, RainRestartsAtTheTopUntilTheStormEndsThenRunsOut) {
  const Play play = PlayObserved(SpecialRow(20, AttackLayout::kNone));
  EXPECT_TRUE(play.failures.empty()) << ::testing::PrintToString(play.failures);
  EXPECT_EQ(CountLines(play.tasks, "task+ Kamui::Rain"), kKamuiRainDrops);
  EXPECT_EQ(CountLines(play.tasks, "task+ Kamui::Damage"), 0) << "no target, no hit";
  const int storm_end = play.step_set.at(18);
  int restarts = 0;
  int last_rain = -1;
  for (size_t f = 1; f < play.frames.size(); ++f) {
    for (const auto& [name, obj] : play.frames[f].effects) {
      if (name.rfind("Kamui::Rain", 0) != 0) continue;
      last_rain = static_cast<int>(f);
      EXPECT_EQ(obj.depth, -1084);
      EXPECT_EQ(obj.pattern, 10);
      const auto before = play.frames[f - 1].effects.find(name);
      if (before == play.frames[f - 1].effects.end() || obj.y >= before->second.y) continue;
      // A restart: the drop had passed 256 px and now falls from -512 px.
      ++restarts;
      EXPECT_GT(before->second.y, 256 * kPx);
      EXPECT_LE(obj.y, -512 * kPx + 30 * kPx);
      EXPECT_LT(static_cast<int>(f), storm_end + 1) << "no restart once the storm ends";
    }
  }
  EXPECT_GT(restarts, 0);
  ASSERT_GT(last_rain, storm_end);
  EXPECT_LE(play.Between(storm_end, last_rain), 64);
}

TEST(KamuiSpecial, OneHitPerTargetInItsPhasesAtTheRaisedCellsPlace) {
  for (AttackLayout layout : {AttackLayout::kFront, AttackLayout::kThree, AttackLayout::kRaised}) {
    SCOPED_TRACE(static_cast<int>(layout));
    std::map<std::string, SlgPair> expected_at;
    int32_t ground_y = 0;  // where Slg::PosToScreen would draw the first target
    const Play play = PlayObserved(SpecialRow(31, layout), [&](AttackRig& r, const Play&) {
      const BattleContext& b = Battle();
      for (int i = 0; i < b.target_count; ++i) {
        const std::string name = "Kamui::Damage" + std::to_string(i);
        if (expected_at.count(name) || TaskObj(name) == nullptr) continue;
        const SlgUnit& t = b.state.units[static_cast<size_t>(b.targets[static_cast<size_t>(i)])];
        const SlgBattleState& st = b.state;
        expected_at[name] = {t.x - (st.scroll_x + 320) * kPx, t.y - (st.scroll_y + 216) * kPx - t.lift};
        if (i == 0) ground_y = Slg::PosToScreen({t.x, t.y}).y;
      }
      (void)r;
    });
    EXPECT_TRUE(play.failures.empty()) << ::testing::PrintToString(play.failures);
    const size_t targets = play.targets.size();
    EXPECT_EQ(CountLines(play.tasks, "task+ Kamui::Damage"), static_cast<int>(targets));
    EXPECT_EQ(CountLines(play.tasks, "task- Kamui::Damage"), static_cast<int>(targets));
    EXPECT_EQ(expected_at.size(), targets);
    if (layout == AttackLayout::kRaised) {
      // The hit stands where the unit is drawn (its lift), not on the cell's ground point.
      ASSERT_TRUE(expected_at.count("Kamui::Damage0"));
      EXPECT_NE(expected_at["Kamui::Damage0"].y, ground_y);
    }
    for (const auto& [name, at] : expected_at) {
      std::vector<uint8_t> patterns;
      for (const View& v : play.frames) {
        const auto it = v.effects.find(name);
        if (it == v.effects.end() || it->second.handle == nullptr) continue;
        EXPECT_EQ(it->second.x, at.x);
        EXPECT_EQ(it->second.y, at.y);
        if (patterns.empty() || patterns.back() != it->second.pattern) {
          patterns.push_back(it->second.pattern);
        }
      }
      EXPECT_EQ(patterns, (std::vector<uint8_t>{7, 8, 9, 11})) << name;
    }
  }
}

TEST(KamuiSpecial, HitsOutliveTheRoutineFromASetThatStaysLoaded) {
  // Animations 9 and 11 of 120 frames each: the hits run past state 7 and step 18's
  // FreeAttackCtx; their set must stay loaded until they end by themselves.
  AttackCase row = SpecialRow(20, AttackLayout::kThree);
  row.fixtures = [](AttackFixtures& f) { SpecialSets(f, 60); };
  row.outlive = 300;
  bool seen_after = false;
  const Play play = PlayObserved(row, [&](AttackRig& r, const Play& p) {
    if (p.state7 < 0 || r.frames() != p.state7 + 5) return;
    for (int i = 0; i < 3; ++i) {
      const SlgAnmObj* o = TaskObj("Kamui::Damage" + std::to_string(i));
      ASSERT_NE(o, nullptr) << "hit " << i << " still runs after state 7";
      EXPECT_NE(o->handle, nullptr);
      EXPECT_TRUE(SetLoaded(o->anims));
    }
    seen_after = true;
  });
  EXPECT_TRUE(seen_after);
  EXPECT_TRUE(play.failures.empty()) << ::testing::PrintToString(play.failures);
  EXPECT_EQ(CountLines(play.tasks, "task- Kamui::Damage"), 3);
}

TEST(KamuiSpecial, MissingPicturesLeaveTheirPartOutAndMissingEffectsEndAtOnce) {
  const Play full = PlayObserved(SpecialRow(20, AttackLayout::kFront));
  // No pictures: no sprite and no line scroll, the same timeline.
  AttackCase none = SpecialRow(20, AttackLayout::kFront);
  none.fixtures = [](AttackFixtures& f) {
    SpecialSets(f);
    f.Pictures(kAnmSpecialBg, {});
  };
  const Play bare = PlayObserved(none);
  EXPECT_TRUE(bare.failures.empty()) << ::testing::PrintToString(bare.failures);
  ExpectTimeline(bare);
  for (uint32_t step = 0; step <= 18; ++step) {
    EXPECT_EQ(bare.Between(bare.step_set.at(0), bare.step_set.at(step)),
              full.Between(full.step_set.at(0), full.step_set.at(step)))
        << "step " << step;
  }
  for (const View& v : bare.frames) EXPECT_FALSE(v.bg_sprite);
  EXPECT_EQ(CountLines(bare.tasks, "task+ Kamui::LineScroll"), 0);
  // Picture 1 missing: the background fades, no line scroll (its phase and stop act on none).
  AttackCase one = SpecialRow(20, AttackLayout::kFront);
  one.fixtures = [](AttackFixtures& f) {
    SpecialSets(f);
    f.Pictures(kAnmSpecialBg, {{640, 480}});
  };
  const Play half = PlayObserved(one);
  EXPECT_TRUE(half.failures.empty()) << ::testing::PrintToString(half.failures);
  EXPECT_EQ(CountLines(half.tasks, "task+ Kamui::LineScroll"), 0);
  EXPECT_TRUE(half.frames[static_cast<size_t>(half.step_set.at(12))].bg_sprite);
  // SPECIAL_EFFECT missing: the context is refused, the attack ends on its first call.
  AttackCase missing = SpecialRow(20, AttackLayout::kFront);
  missing.fixtures = [](AttackFixtures& f) {
    SpecialSets(f);
    f.Omit(kAnmSpecialEffect);
  };
  const Play cut = PlayObserved(missing);
  EXPECT_TRUE(cut.failures.empty()) << ::testing::PrintToString(cut.failures);
  EXPECT_EQ(cut.step_set.size(), 1u) << "only step 0 was seen";
  EXPECT_TRUE(cut.tasks.empty());
}

// ---- The smoke rows ----

// Types 0-3 of one kind, directions and layouts (none, one in front, three) varying by row.
void ExpectKindRows(int kind) {
  const std::vector<std::string> special_music = {"bgm-volume 87 30", "bgm-volume 100 30"};
  const AttackLayout layouts[] = {AttackLayout::kNone, AttackLayout::kFront, AttackLayout::kThree};
  for (int type = 0; type < 4; ++type) {
    const int n = kind + type;
    AttackCase row{.name = "kamui" + std::to_string(kind) + "_type" + std::to_string(type),
                   .kind = kind,
                   .type = type,
                   .dir = n % 4,
                   .layout = layouts[n % 3],
                   .routine = type == 1 ? "Kamui::SpecialAttack" : "Kamui::NormalAttack",
                   .frame_limit = 1500,
                   .outlive = 120,
                   .sounds = type == 1 ? special_music : std::vector<std::string>{},
                   .prefixes = {"Kamui::"},
                   .fixtures = [](AttackFixtures& f) { SpecialSets(f); }};
    testsupport::ExpectAttackCase(row);
  }
}

TEST(KamuiSmoke, Kind20) { ExpectKindRows(20); }
TEST(KamuiSmoke, Kind31) { ExpectKindRows(31); }
TEST(KamuiSmoke, Kind32) { ExpectKindRows(32); }

// Three strokes drawn on the black scene: a pixel inside stroke 0's band is the stroke's red.
void ExpectPentagram(platform::PixelLayout pixels, const char* name) {
  const uint32_t red = 0x004100FF;  // 0x7C08: red 31, blue 8
  AttackCase row = SpecialRow(20, AttackLayout::kFront);
  row.name = name;
  row.pixels = pixels;
  row.prefixes = {"Kamui::"};
  row.routine = "Kamui::SpecialAttack";
  row.checkpoints = {AttackCheckpoint{"strokes", -1, "polygons 3",
                                      {{320 - 44, 240 - 14, red}, {320 + 300, 240 + 200, red, false}}}};
  testsupport::ExpectAttackCase(row);
}

TEST(KamuiSmoke, HalfDrawnPentagram565) {
  ExpectPentagram(platform::PixelLayout::kRgb565, "kamui_pentagram_565");
}
TEST(KamuiSmoke, HalfDrawnPentagram555) {
  ExpectPentagram(platform::PixelLayout::kRgb555, "kamui_pentagram_555");
}

}  // namespace
