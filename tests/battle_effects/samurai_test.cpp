// The samurai special attack (kinds 21, 22) on the attack rig: the strips and their blends, the
// cross-fade's changes on the clock, the sway, the fireballs, the first target's place, the
// entries of both kinds, the refusals and the smoke rows.
//
// Frame counts are checked against the game clock the rig records (FramesBetween), so the rig's
// 16 / 17 ms steps never blur a check.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack_state.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle_effects/samurai.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "platform/surface.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackOutcome;
using testsupport::AttackRig;
using testsupport::AttackRoad;

constexpr int kKind = 22;
constexpr int32_t kPx = 0x10000;
constexpr uint8_t kStateAttack = 6;

// Body 2 plays 200 frames, so the cross-fade reaches its last array before the fade-out.
void SamuraiSets(AttackFixtures& f) {
  f.Slot(kAnmSpecialBody, {{}, {}, {.frames = 40, .ticks = 5}});
  f.Slot(kAnmSpecialEffect, 6, {.frames = 6, .ticks = 2, .side = 4});
  f.Pictures(kAnmSpecialBg, {{672, 480}, {672, 480}});
}

void NarrowSets(AttackFixtures& f) {
  SamuraiSets(f);
  f.Pictures(kAnmSpecialBg, {{640, 480}, {640, 480}});
}

AttackCase Row(std::string name, int type = 1, AttackLayout layout = AttackLayout::kFront) {
  return {.name = std::move(name),
          .kind = kKind,
          .type = type,
          .layout = layout,
          .routine = type == 1 ? "Samurai::SpecialAttack" : "EnemyNormalAttack",
          .frame_limit = 900,
          .prefixes = {"Samurai::"},
          .fixtures = &SamuraiSets};
}

// The live effect task of that name.
SlgEffectTask* TaskNamed(const std::string& name) {
  for (GameTaskRec* t = Ctx().game_task.root()->next; t != nullptr; t = t->next) {
    if (!t->deleted && t->function == &SlgTaskStep && t->name == name) {
      return static_cast<SlgEffectTask*>(t->work);
    }
  }
  return nullptr;
}

uint32_t StepOf(const SlgUnit& u) { return u.step; }

// Plays the row to its end, calling `each` after every frame of the attack state; then the
// harness's end check. The failures are returned.
std::vector<std::string> Play(const AttackCase& row, const std::function<void(AttackRig&)>& each) {
  AttackRig r(row);
  r.Start();
  bool in = false;
  bool left = false;
  while (r.frames() < row.frame_limit && !left) {
    r.Step();
    if (r.attacker().state == kStateAttack) {
      in = true;
      each(r);
    } else if (in) {
      left = true;
    }
  }
  std::vector<std::string> failures;
  if (!left) failures.push_back("the attack did not end");
  for (int n = 0; !r.Ended() && n < AttackRig::kEndLimit; ++n) r.Step();
  for (int n = 0; n < row.outlive; ++n) r.Step();
  r.CheckEnd(row, failures);
  return failures;
}

// A pixel's channels in its layout's own bits.
struct Channels {
  int r, g, b;
};
Channels Split(uint16_t p, platform::PixelLayout layout) {
  if (layout == platform::PixelLayout::kRgb565) return {p >> 11, (p >> 5) & 63, p & 31};
  return {(p >> 10) & 31, (p >> 5) & 31, p & 31};
}

bool SameTop5(uint32_t a, uint32_t b) { return (a & 0xF8F8F8) == (b & 0xF8F8F8); }

uint16_t StripPixel(SprRec* strip, int x) {
  platform::Surface* s = Ctx().ddraw_spr.GetSpriteSurface(strip);
  return s->Row(0)[x];
}

// ---- The numbers ----

TEST(SamuraiNumbers, ArraysBlendsSwayAndFireBallReplay) {
  // Change c leaves 31 - c steps: the array shown.
  for (const auto& [c, array] : {std::pair{0, 0}, {1, 0}, {15, 7}, {30, 14}, {31, 15}}) {
    EXPECT_EQ(SamuraiArrayOf(31 - c), array) << "change " << c;
  }
  for (const auto& [j, alpha] : {std::pair{0, 0}, {1, 17}, {7, 119}, {14, 238}, {15, 256}}) {
    EXPECT_EQ(SamuraiBlendAlpha(j), static_cast<BlendWord>(alpha)) << j;
  }
  // The sway: 12 pixels at the crest, toward zero, the phase wrapping after 64 frames.
  EXPECT_EQ(SamuraiSwayPhase(5), 40);
  EXPECT_EQ(SamuraiSwayPhase(64 + 5), 40);
  EXPECT_EQ(SamuraiSwayPhase(63), 504);
  EXPECT_EQ(SamuraiSwayX(128, 0), 12);   // sin 90 degrees
  EXPECT_EQ(SamuraiSwayX(0, 16), 12);    // strip 16: 128 steps on
  EXPECT_EQ(SamuraiSwayX(0, 48), -12);
  EXPECT_EQ(SamuraiSwayX(0, 1), SlgSin(8) * 12 / 16384);
  EXPECT_EQ(SamuraiSwayX(0, 255), -(SlgSin(8) * 12 / 16384)) << "toward zero both ways";
  // A fireball at angle 0: from 512 pixels right, 64 a frame, both shrinking by 7/8 a frame
  // (exact in 16.16 for five frames); later frames within rounding of 512 x 0.875^n.
  EXPECT_EQ(SamuraiFireBallAt(0, 0).pos.x, 512 * kPx);
  EXPECT_EQ(SamuraiFireBallAt(0, 1).pos.x, 448 * kPx);
  EXPECT_EQ(SamuraiFireBallAt(0, 1).zoom, 7 * kPx / 4);
  EXPECT_EQ(SamuraiFireBallAt(0, 5).pos.x, 16807 * kPx / 64);
  EXPECT_EQ(SamuraiFireBallAt(0, 5).zoom, 2 * 16807 * 2);  // 2 x (7/8)^5 in 16.16
  for (int32_t angle : {0, 100, 160, 300, 511}) {
    for (int32_t n : {1, 5, 10, 26}) {
      const SamuraiFireBall f = SamuraiFireBallAt(angle, n);
      const SamuraiFireBall s = SamuraiFireBallAt(angle, 0);
      const double k = std::pow(0.875, n);
      // Each truncated velocity leaves the fireball a little further out: n x n sixty-five
      // thousandths of a pixel at most.
      EXPECT_NEAR(f.pos.x, s.pos.x * k, n * n + 1.0) << angle << " " << n;
      EXPECT_NEAR(f.pos.y, s.pos.y * k, n * n + 1.0) << angle << " " << n;
      EXPECT_NEAR(f.zoom, 2.0 * kPx * k, n + 1.0);
    }
  }
  // It reaches the centre after 26 frames whatever the angle, not before.
  EXPECT_FALSE(SamuraiFireBallHome(SamuraiFireBallAt(0, 25).pos));
  EXPECT_TRUE(SamuraiFireBallHome(SamuraiFireBallAt(0, 26).pos));
  EXPECT_TRUE(SamuraiFireBallHome(SamuraiFireBallAt(64, 26).pos));
}

// ---- The strips ----

TEST(SamuraiStrips, HoldTheirRowsAndBlendByArrayInBothLayouts) {
  for (const platform::PixelLayout layout :
       {platform::PixelLayout::kRgb565, platform::PixelLayout::kRgb555}) {
    for (const bool narrow : {false, true}) {
      SCOPED_TRACE(std::string(layout == platform::PixelLayout::kRgb565 ? "565" : "555") +
                   (narrow ? " 640" : " 672"));
      AttackCase row = Row("strips");
      row.pixels = layout;
      if (narrow) row.fixtures = &NarrowSets;
      bool seen = false;
      const auto failures = Play(row, [&](AttackRig&) {
        const SamuraiScene& s = SamuraiWorkOf().scene;
        if (seen || s.strips == nullptr) return;
        seen = true;
        const int width = narrow ? 640 : 672;
        for (int k : {0, 1, 119, 239}) {
          for (int j = 0; j < kSamuraiStripArrays; ++j) {
            SprRec* strip = s.strips->sprites[static_cast<size_t>(j)][static_cast<size_t>(k)];
            ASSERT_NE(strip, nullptr) << j << " " << k;
            EXPECT_EQ(strip->x, -kSamuraiStripMargin);
            EXPECT_EQ(strip->y, 2 * k);
            EXPECT_EQ(strip->width, width);
            EXPECT_EQ(strip->height, 2);
          }
          // The two pictures, then the blends between them.
          const Channels c0 = Split(StripPixel(s.strips->sprites[0][static_cast<size_t>(k)], 300), layout);
          const Channels c15 = Split(StripPixel(s.strips->sprites[15][static_cast<size_t>(k)], 300), layout);
          const testsupport::SprRgb bg1 = AttackFixtures::Colour(kKind, kAnmSpecialBg, 1);
          const testsupport::SprRgb bg0 = AttackFixtures::Colour(kKind, kAnmSpecialBg, 0);
          EXPECT_EQ(c0.r, bg1.r);
          EXPECT_EQ(c0.b, bg1.b);
          EXPECT_EQ(c15.r, bg0.r);
          EXPECT_EQ(c15.b, bg0.b);
          for (int j : {1, 7, 14}) {
            const Channels c = Split(
                StripPixel(s.strips->sprites[static_cast<size_t>(j)][static_cast<size_t>(k)],
                           (k * 7) % width),
                layout);
            const int a = 256 * j / 15;
            const auto lerp = [a](int u, int o) { return u + (o - u) * a / 256.0; };
            // Within a step of the channel: the engine's blend rounds in its own way.
            EXPECT_NEAR(c.r, lerp(c0.r, c15.r), 1.5) << "array " << j;
            EXPECT_NEAR(c.g, lerp(c0.g, c15.g), 1.5) << "array " << j;
            EXPECT_NEAR(c.b, lerp(c0.b, c15.b), 1.5) << "array " << j;
          }
        }
        // The entries show array 0 behind everything.
        for (SprBufferEntry* e : s.strips->entries) {
          ASSERT_NE(e, nullptr);
          EXPECT_EQ(e->priority, 2047);
          EXPECT_EQ(e->surface_id, SURFACE_ROOT);
        }
        EXPECT_EQ(s.strips->entries[5]->sprite, s.strips->sprites[0][5]);
        EXPECT_EQ(Battle().flags & 0x6, 0);
        const LayerRec* layer = Ctx().ddraw.GetLayer(SURFACE_ROOT);
        EXPECT_EQ(layer->surface_width, 640) << "the layer is given back at its own size";
      });
      EXPECT_TRUE(seen);
      EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
    }
  }
}

// ---- The cross-fade ----

struct Change {
  uint32_t ms;
  int steps_left;
};

// The changes of one play, the clock of CalcChange's first frame, and whether each frame's
// entries showed the array of its steps left.
struct ChangePlay {
  uint32_t start = 0;
  std::vector<Change> changes;
  bool entries_match = true;
  std::vector<std::string> failures;
};

ChangePlay PlayChanges(uint32_t step_ms) {
  ChangePlay p;
  AttackCase row = Row("changes");
  row.step_ms = step_ms;
  int last = -1;
  p.failures = Play(row, [&](AttackRig& r) {
    const SamuraiScene& s = SamuraiWorkOf().scene;
    if (s.change.state == 0 || s.strips == nullptr) return;
    if (last < 0) {
      p.start = s.change.start;
      last = s.change.steps_left;
      return;
    }
    if (s.change.steps_left != last) {
      p.changes.push_back({r.rig().Now(), s.change.steps_left});
      last = s.change.steps_left;
    }
    const int j = SamuraiArrayOf(s.change.steps_left);
    for (size_t k = 0; k < kSamuraiStrips; ++k) {
      if (s.strips->entries[k]->sprite != s.strips->sprites[static_cast<size_t>(j)][k]) {
        p.entries_match = false;
      }
    }
  });
  return p;
}

TEST(SamuraiCrossFade, ThirtyOneChangesEightFramesApartAtAnyFrameRate) {
  for (const uint32_t step_ms : {0u, 50u}) {
    SCOPED_TRACE(step_ms == 0 ? "60 fps" : "3 frames a step");
    const ChangePlay p = PlayChanges(step_ms);
    EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
    EXPECT_TRUE(p.entries_match);
    ASSERT_EQ(p.changes.size(), 31u) << "none after the last";
    const int32_t slack = step_ms == 0 ? 1 : 3;
    for (size_t c = 0; c < p.changes.size(); ++c) {
      const int32_t due = 8 * static_cast<int32_t>(c + 1);
      const int32_t at = FramesBetween(p.start, p.changes[c].ms);
      EXPECT_EQ(p.changes[c].steps_left, 30 - static_cast<int>(c));
      EXPECT_GE(at, due) << "change " << c + 1;
      EXPECT_LT(at, due + slack + 1) << "change " << c + 1;
    }
  }
}

// ---- The sway ----

TEST(SamuraiSway, StripsFollowTheWaveAndItsPhaseWraps) {
  int checked = 0;
  bool wrapped = false;
  int32_t last_phase = -1;
  const auto failures = Play(Row("sway"), [&](AttackRig&) {
    const SamuraiScene& s = SamuraiWorkOf().scene;
    SlgEffectTask* task = TaskNamed("Samurai::Special:LineScroll");
    if (task == nullptr || task->phase != 1 || s.strips == nullptr) return;
    EXPECT_EQ(s.line_phase, (task->frames % 64) * 8);
    if (last_phase >= 0 && s.line_phase < last_phase) wrapped = true;
    last_phase = s.line_phase;
    if (task->frames == 20 || task->frames == 90) {
      ++checked;
      for (int k : {0, 3, 100, 239}) {
        int x = 0, y = 0;
        Ctx().ddraw_spr.GetBufferPos(s.strips->entries[static_cast<size_t>(k)], &x, &y);
        EXPECT_EQ(x, SlgSin(s.line_phase + 8 * k) * 12 / 16384) << k;
        EXPECT_EQ(y, 0);
      }
    }
  });
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  EXPECT_EQ(checked, 2);
  EXPECT_TRUE(wrapped);
}

// ---- The fireballs ----

TEST(SamuraiFireBalls, ThirtyOneOneEveryFourFramesReplayedAndHomeBeforeTheEnd) {
  AttackCase row = Row("fireballs");
  constexpr int32_t kAngle = 160;
  row.before = [](AttackRig&) {
    Battle().rand_seam.script = [] { return kAngle; };
  };
  std::map<int, uint32_t> born;  // number -> clock of its first frame
  uint32_t launched = 0;
  std::map<int, std::vector<std::pair<int32_t, SamuraiFireBall>>> seen;
  std::set<int> alive_at_end;
  bool all_home = true;
  const auto failures = Play(row, [&](AttackRig& r) {
    if (SlgEffectTask* l = TaskNamed("Samurai::Special:FireBall"); l != nullptr && launched == 0) {
      launched = l->start;
    }
    for (int n = 1; n <= 40; ++n) {
      SlgEffectTask* t = TaskNamed("Samurai::Special:ActFireBall" + std::to_string(n));
      if (t == nullptr) continue;
      if (born.count(n) == 0) born[n] = t->start;
      auto& f = *static_cast<SamuraiFireBallTask*>(t->owned[0]);
      if (t->phase == 0) continue;
      EXPECT_EQ(f.angle, kAngle);
      SpxAnimeBlock* b = Scene().tamvik_spr.spx()->Block(f.obj.handle);
      ASSERT_NE(b, nullptr);
      seen[n].push_back({t->frames, {{f.obj.x, f.obj.y}, {}, b->zoom_x}});
      if (t->frames > 0 && SamuraiFireBallHome({f.obj.x, f.obj.y})) all_home = false;
      if (StepOf(r.attacker()) == 7) alive_at_end.insert(n);
    }
  });
  EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  ASSERT_EQ(born.size(), 31u);
  EXPECT_EQ(born.begin()->first, 1);
  EXPECT_EQ(born.rbegin()->first, 31);
  for (const auto& [n, ms] : born) {
    // Started on the launcher's frame 4n (one every four frames), or the next one.
    const int32_t at = FramesBetween(launched, ms);
    EXPECT_GE(at, 4 * n) << n;
    EXPECT_LE(at, 4 * n + 1) << n;
  }
  EXPECT_TRUE(all_home) << "a fireball at the centre has ended";
  EXPECT_TRUE(alive_at_end.empty());
  int checked = 0;
  for (const auto& [n, frames] : seen) {
    for (const auto& [f, at] : frames) {
      if (f != 1 && f != 5 && f != 10) continue;
      const SamuraiFireBall want = SamuraiFireBallAt(kAngle, f);
      EXPECT_EQ(at.pos.x, want.pos.x);
      EXPECT_EQ(at.pos.y, want.pos.y);
      EXPECT_EQ(at.zoom, want.zoom);
      ++checked;
    }
    // It flew until it was home.
    const SamuraiFireBall last = SamuraiFireBallAt(kAngle, frames.back().first + 1);
    EXPECT_TRUE(SamuraiFireBallHome(last.pos) || frames.back().first >= 26) << n;
  }
  EXPECT_GE(checked, 31 * 2);
}

// ---- The first target ----

TEST(SamuraiTarget, StandsAtOneScreenPlaceWhateverTheCameraAndGoesBack) {
  std::vector<SlgPair> maps;
  for (const int16_t scroll : {int16_t{0}, int16_t{96}}) {
    AttackCase row = Row("target");
    SlgPair during{};
    SlgPair screen{};
    uint8_t slot = 0;
    bool set = false;
    const auto failures = Play(row, [&](AttackRig& r) {
      const SlgUnit& a = r.attacker();
      if (!set && StepOf(a) == 1) {
        // The camera somewhere else before the scene is set up.
        set = true;
        Battle().state.scroll_x = scroll;
        Battle().state.scroll_y = static_cast<int16_t>(scroll / 2);
        Slg::InitCamera();
        slot = r.targets().at(0);
      }
      if (StepOf(a) == 3) {
        const SlgUnit& t = Battle().state.units[slot];
        during = {t.x, t.y};
        screen = SlgMapToScreen(t);
      }
    });
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
    maps.push_back(during);
    EXPECT_EQ(screen.x, 128 * kPx);
    EXPECT_EQ(screen.y, 104 * kPx);
  }
  EXPECT_NE(maps[0].x, maps[1].x) << "the camera differed";
}

TEST(SamuraiTarget, IsBackOnItsOwnPlaceAfterStateSeven) {
  AttackRig r(Row("target_back"));
  r.Start();
  SlgPair own{};
  uint8_t slot = 0;
  bool moved = false;
  bool in = false;
  while (r.frames() < 900) {
    r.Step();
    const SlgUnit& a = r.attacker();
    in = in || a.state == kStateAttack;
    if (a.state == kStateAttack && StepOf(a) == 1) {
      slot = r.targets().at(0);
      own = {Battle().state.units[slot].x, Battle().state.units[slot].y};
    }
    if (a.state == kStateAttack && StepOf(a) == 4) {
      moved = Battle().state.units[slot].x != own.x || Battle().state.units[slot].y != own.y;
    }
    if (in && a.state != kStateAttack) break;
  }
  EXPECT_TRUE(moved);
  EXPECT_EQ(Battle().state.units[slot].x, own.x);
  EXPECT_EQ(Battle().state.units[slot].y, own.y);
  EXPECT_NE(Battle().state.units[slot].flags & 0x80u, 0u) << "shown";
}

// ---- Refusals and missing pictures ----

TEST(SamuraiEdges, RefusalsEndTheAttackAndMissingPicturesPlayOn) {
  struct Case {
    const char* name;
    size_t bytes;  // the size of the allocation refused at the step (0: none)
    uint32_t step;
    std::vector<testsupport::AttackPicture> pictures;
  };
  const std::vector<Case> cases = {
      {"the context", sizeof(SlgAttackCtx), 0, {{672, 480}, {672, 480}}},
      {"the strip block", sizeof(SamuraiStrips), 0, {{672, 480}, {672, 480}}},
      {"an object", sizeof(SlgAnmObj), 1, {{672, 480}, {672, 480}}},
      {"background 1 missing", 0, 0, {{672, 480}}},
      {"no background", 0, 0, {}},
      {"small pictures", 0, 0, {{64, 32}, {600, 500}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AttackCase row = Row("edge", 1, AttackLayout::kThree);
    row.fixtures = [c](AttackFixtures& f) {
      SamuraiSets(f);
      f.Pictures(kAnmSpecialBg, c.pictures);
    };
    if (c.bytes != 0) {
      row.before = [c](AttackRig& r) {
        Battle().alloc.refuse = [&r, c](uint32_t, size_t bytes) {
          const SlgUnit& a = r.attacker();
          return a.state == kStateAttack && StepOf(a) == c.step && bytes == c.bytes;
        };
      };
    }
    const AttackOutcome out = testsupport::PlayAttackCase(row);
    EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
    const bool refused = c.bytes != 0;
    bool scene = false;
    for (const auto& line : out.lines) {
      if (line.text.find("task+ Samurai::Special:CalcChange") == 0) scene = true;
    }
    EXPECT_EQ(scene, !refused);
  }
}

// ---- A frame for people ----

TEST(SamuraiFrames, ASwayingStripOfANarrowPictureInBothLayouts) {
  for (const platform::PixelLayout layout :
       {platform::PixelLayout::kRgb565, platform::PixelLayout::kRgb555}) {
    const bool rgb565 = layout == platform::PixelLayout::kRgb565;
    AttackCase row = Row(std::string("samurai_sway_") + (rgb565 ? "565" : "555"));
    row.pixels = layout;
    row.fixtures = &NarrowSets;
    row.before = [](AttackRig&) {
      Battle().rand_seam.script = [] { return 0; };  // fireballs along the middle line
    };
    int probed = 0;
    const auto failures = Play(row, [&](AttackRig& r) {
      SlgEffectTask* task = TaskNamed("Samurai::Special:LineScroll");
      const SamuraiScene& s = SamuraiWorkOf().scene;
      if (task == nullptr || task->frames < 40 || probed > 0 || s.strips == nullptr) return;
      ++probed;
      constexpr int k = 5;
      int x = 0, y = 0;
      Ctx().ddraw_spr.GetBufferPos(s.strips->entries[k], &x, &y);
      r.rig().SaveFrame(row.name);
      // The strip's right end: 640 columns from -16, moved by its sway (which moves by about
      // a pixel a frame: the probes stand two pixels off the end).
      const int end = 640 - kSamuraiStripMargin + x;
      EXPECT_TRUE(SameTop5(r.rig().PixelAt(300, 2 * k), r.rig().PixelAt(end - 2, 2 * k)));
      EXPECT_NE(r.rig().PixelAt(end - 2, 2 * k), 0u) << x;
      EXPECT_EQ(r.rig().PixelAt(end + 2, 2 * k), 0u) << x;
    });
    EXPECT_EQ(probed, 1);
    EXPECT_TRUE(failures.empty()) << testing::PrintToString(failures);
  }
}

// ---- The smoke rows ----

constexpr std::pair<int, AttackLayout> kLayouts[] = {{0, AttackLayout::kNone},
                                                     {1, AttackLayout::kFront},
                                                     {2, AttackLayout::kThree},
                                                     {3, AttackLayout::kRaised}};

TEST(SamuraiSmoke, Kind21EveryTypeOnTheBoard) {
  for (int type : {0, 1, 2, 3}) {
    for (const auto& [dir, layout] : kLayouts) {
      if (type != 1 && (type + dir) % 2 != 0) continue;
      AttackCase row = Row("kage_type" + std::to_string(type) + "_dir" + std::to_string(dir),
                           type, layout);
      row.kind = 21;
      row.dir = dir;
      testsupport::ExpectAttackCase(row);
    }
  }
}

TEST(SamuraiSmoke, Kind22EveryTypeOnTheBoard) {
  for (int type : {0, 1, 2, 3}) {
    for (const auto& [dir, layout] : kLayouts) {
      if (type != 1 && (type + dir) % 2 == 0) continue;
      AttackCase row = Row("samurai_type" + std::to_string(type) + "_dir" + std::to_string(dir),
                           type, layout);
      row.dir = dir;
      testsupport::ExpectAttackCase(row);
    }
  }
}

TEST(SamuraiSmoke, TheActionTaskAndSkippedFrames) {
  for (int kind : {21, 22}) {
    for (int type : {0, 1, 2, 3}) {
      AttackCase action = Row("samurai_action", type);
      action.kind = kind;
      action.road = AttackRoad::kAction;
      testsupport::ExpectAttackCase(action);
    }
  }
  AttackCase skipped = Row("samurai_skipped");
  skipped.step_ms = 50;
  testsupport::ExpectAttackCase(skipped);
  AttackCase narrow = Row("samurai_narrow", 1, AttackLayout::kNone);
  narrow.fixtures = &NarrowSets;
  testsupport::ExpectAttackCase(narrow);
}

}  // namespace
