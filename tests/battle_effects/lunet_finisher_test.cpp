// The LUNET heroine unit's special attack (kind 3, type 1) on the attack rig: the steps' starts
// against the game clock with fixture animations of known lengths, the scene's scroll, fades,
// blend, picture and flakes, the return to the map, the pillar's stages and the closing hits;
// the pure pieces (the blend, the picture's fly-on, a flake's path, the pillar's zooms); the edge
// cases; the family's smoke rows with the scene's frames for people.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_draw.h"
#include "battle/slg_screen.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_effects/attack_dispatch.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/lunet.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "testsupport/attack_rig.h"
#include "testsupport/battle_board.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;
using testsupport::AttackRoad;

constexpr int kKind = 3;
constexpr int32_t kPx = 0x10000;
constexpr uint8_t kStateAttack = 6;
constexpr uint8_t kStateAfterAttack = 7;

// The fixture's lengths in frames (one tick each).
constexpr int kBodyEnter = 30;   // SPECIAL_BODY 1
constexpr int kBodyFinish = 30;  // SPECIAL_BODY 0
constexpr int kRear1Enter = 40;  // SPECIAL_EFFECT 1
constexpr int kRear2Enter = 90;  // SPECIAL_EFFECT 3
constexpr int kHit = 12;         // SPECIAL_EFFECT 6
constexpr int kPieceFall = 20;   // SPECIAL_EFFECT 7
constexpr int kPieceRise = 16;   // SPECIAL_EFFECT 8

// SPECIAL_BODY 0-4 and SPECIAL_EFFECT 0-11 of known lengths, 12-64 fillers and the flakes'
// frames 65-67; SPECIAL_BG picture 0 at 1024 x 512 and picture 1 at 640 x 480.
void LunetSpecialSets(AttackFixtures& f) {
  std::vector<AttackAnim> body(5, AttackAnim{.frames = 8, .ticks = 1});
  body[0].frames = kBodyFinish;
  body[1].frames = kBodyEnter;
  f.Slot(kAnmSpecialBody, body);
  std::vector<AttackAnim> effect(68, AttackAnim{.frames = 10, .ticks = 1});
  effect[1].frames = kRear1Enter;
  effect[3].frames = kRear2Enter;
  effect[6].frames = kHit;
  effect[7].frames = kPieceFall;
  effect[8].frames = kPieceRise;
  for (size_t n = 12; n < 65; ++n) effect[n] = {.frames = 1, .ticks = 1, .side = 4};
  for (size_t n = 65; n < 68; ++n) effect[n].side = 8;
  f.Slot(kAnmSpecialEffect, effect);
  f.Pictures(kAnmSpecialBg, {{1024, 512}, {640, 480}});
}

AttackCase SpecialRow(std::string name, int dir, AttackLayout layout) {
  return {.name = std::move(name),
          .kind = kKind,
          .type = 1,
          .dir = dir,
          .layout = layout,
          .routine = "LunetSpecialAttack",
          .frame_limit = 1500,
          .sounds = {"voice " +
                     std::to_string(AttackFixtures::VoiceNumber(kKind, kSlgVoiceSpecial))},
          .fixtures = &LunetSpecialSets};
}

LunetSpecialWork& Work() { return Battle().Extension<LunetSpecialRecord>().work; }
uint8_t StepOf(const SlgUnit& u) { return u.anm != nullptr ? u.anm->state : 0; }
int Stage(const LunetSpecialWork& w) { return w.pillar[0] != nullptr ? w.pillar[0]->state : -1; }
int FramesBetween(uint32_t from, uint32_t to) {
  return static_cast<int>(int64_t{static_cast<int32_t>(to - from)} * 60 / 1000);
}

// What a frame showed, after it.
struct View {
  uint32_t ms = 0;
  uint8_t state = 0;
  int step = -1;
  int stage = -1;
  int flakes = 0;
  int pieces = 0;
  SlgPair picture{};
  bool entry = false;
  bool scrolling = false;  // a layer-scroll animation lives
  bool fading = false;
  BlendWord alpha = 0;  // the body's
  int hits_live = 0;
};

struct Play {
  std::vector<View> frames;  // by rig frame; frame 0 before the start
  std::vector<int> step_set = std::vector<int>(13, -1);   // step -> the first frame showing it
  std::vector<int> stage_set = std::vector<int>(8, -1);   // pillar stage -> first frame
  int state7 = -1;
  std::vector<std::string> failures;
  LayerState layers_before{}, layers_back{};
  uint16_t flags_before = 0, flags_back = 0;
  std::vector<uint32_t> target_flags_before, target_flags_back;

  int Between(int a, int b) const {
    return FramesBetween(frames[static_cast<size_t>(a)].ms, frames[static_cast<size_t>(b)].ms);
  }
  // The first frame after `from` lying n frames after it on the game clock.
  int After(int from, int n) const {
    for (int f = from + 1; f < static_cast<int>(frames.size()); ++f) {
      if (Between(from, f) >= n) return f;
    }
    return -1;
  }
};

std::vector<uint32_t> TargetFlags(const AttackRig& r) {
  std::vector<uint32_t> out;
  for (const uint8_t t : r.targets()) out.push_back(Battle().state.units[t].flags & kUnitShown);
  return out;
}

// Plays the row to state 7 watching every frame (`each` runs after each frame's view, on the
// rig), then the attack's end, the outlive frames and the harness's end check.
Play PlayWatched(const AttackCase& row,
                 const std::function<void(AttackRig&, const Play&)>& each = {}) {
  Play p;
  AttackRig r(row);
  SlgSaveLayers(&p.layers_before);
  p.flags_before = Battle().flags;
  r.Start();
  p.target_flags_before = TargetFlags(r);
  p.frames.push_back({.ms = r.rig().Now()});
  while (r.frames() < row.frame_limit) {
    r.Step();
    const SlgUnit& a = r.attacker();
    const LunetSpecialWork& w = Work();
    View v{.ms = r.rig().Now(), .state = a.state};
    if (a.state == kStateAttack) {
      v.step = StepOf(a);
      v.stage = v.step >= 10 ? Stage(w) : -1;
      v.flakes = w.flake_spawner.started;
      v.pieces = w.piece_count;
      v.picture = w.picture.pos;
      v.entry = w.picture.shown.entry != nullptr;
      v.alpha = SlgSprGetAlpha(w.body);
      for (int i = 0; i < w.target_count; ++i) {
        v.hits_live += w.hits[static_cast<size_t>(i)] != nullptr &&
                       w.hits[static_cast<size_t>(i)]->handle != nullptr;
      }
    }
    v.scrolling = !Ctx().anime.Records(kAnimeLayerScroll).empty();
    v.fading = Battle().fade_handle != nullptr;
    p.frames.push_back(v);
    const int f = r.frames();
    if (v.step >= 0 && p.step_set[static_cast<size_t>(v.step)] < 0) {
      p.step_set[static_cast<size_t>(v.step)] = f;
      if (v.step == 9) {
        SlgSaveLayers(&p.layers_back);
        p.flags_back = Battle().flags;
        p.target_flags_back = TargetFlags(r);
      }
    }
    if (v.stage >= 0 && p.stage_set[static_cast<size_t>(v.stage)] < 0) {
      p.stage_set[static_cast<size_t>(v.stage)] = f;
    }
    if (each) each(r, p);
    if (a.state == kStateAfterAttack) {
      p.state7 = f;
      break;
    }
  }
  for (int n = 0; !r.Ended() && n < AttackRig::kEndLimit; ++n) r.Step();
  if (!r.Ended()) p.failures.push_back("the attack's end did not come");
  for (int n = 0; n < row.outlive; ++n) r.Step();
  r.CheckEnd(row, p.failures);
  return p;
}

bool SameLayers(const LayerState& a, const LayerState& b) {
  return std::equal(std::begin(a.visible), std::end(a.visible), std::begin(b.visible)) &&
         std::equal(std::begin(a.copy), std::end(a.copy), std::begin(b.copy)) &&
         a.clear_flag == b.clear_flag;
}

// ---- The pure pieces ----

TEST(LunetSpecialParts, BodyBlendInAndOut) {
  struct Case {
    LunetBlend blend;
    int32_t frames;
    BlendWord alpha;
  };
  const Case cases[] = {
      {LunetBlend::kIn, 0, 0x60000},   {LunetBlend::kIn, 32, 0x60040},
      {LunetBlend::kIn, 63, 0x6007E},  {LunetBlend::kIn, 64, 0x60080},
      {LunetBlend::kIn, 500, 0x60080}, {LunetBlend::kOut, 0, 0x60080},
      {LunetBlend::kOut, 1, 0x60060},  {LunetBlend::kOut, 3, 0x60020},
      {LunetBlend::kOut, 4, 256},      {LunetBlend::kOut, 500, 256},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LunetBlendAlpha(c.blend, c.frames), c.alpha)
        << "blend " << static_cast<int>(c.blend) << " frame " << c.frames;
  }
}

TEST(LunetSpecialParts, ThePictureFliesOnWithBothClampsReached) {
  // From the slide's stop: (-320, -320) pixels, taking (-4, -2) off each frame. Each frame of
  // the fly-on takes 0.375 and 0.1875 more, held at -12 and -6 from its 22nd frame.
  const SlgPair start{-320 * kPx, -320 * kPx};
  const SlgPair vel{-4 * kPx, -2 * kPx};
  struct Case {
    int32_t frames;
    double x, y, vx, vy;
  };
  const Case cases[] = {
      {0, -320, -320, -4, -2},
      // 4 x 10 + 0.375 x 55 and 2 x 10 + 0.1875 x 55
      {10, -259.375, -289.6875, -7.75, -3.875},
      // the first 21 frames, then 9 at the limits
      {30, -41.375, -180.6875, -12, -6},
  };
  for (const Case& c : cases) {
    SlgPair v{};
    const SlgPair at = LunetPictureFlyOn(start, vel, c.frames, &v);
    EXPECT_EQ(at.x, static_cast<int32_t>(c.x * kPx)) << "frame " << c.frames;
    EXPECT_EQ(at.y, static_cast<int32_t>(c.y * kPx)) << "frame " << c.frames;
    EXPECT_EQ(v.x, static_cast<int32_t>(c.vx * kPx)) << "frame " << c.frames;
    EXPECT_EQ(v.y, static_cast<int32_t>(c.vy * kPx)) << "frame " << c.frames;
  }
}

TEST(LunetSpecialParts, AFlakesPathSwaysDriftsAndSplitsAtTheLine) {
  const LunetDrift wind_split{{4 * kPx, 0}, {4 * kPx, 4 * kPx}};
  struct Case {
    const char* name;
    LunetFlake flake;
    LunetDrift drift;
    int32_t frames;
    SlgPair at;
    int32_t phase;
  };
  const Case cases[] = {
      // Below the line 7x/10 = y: pushed left and down; above it: right and up.
      {"below the line", {.velocity = {0, 2 * kPx}, .base = {-100 * kPx, 0}}, wind_split, 1,
       {-100 * kPx, 6 * kPx}, 0},
      {"above the line", {.velocity = {0, 2 * kPx}, .base = {100 * kPx, 0}}, wind_split, 1,
       {108 * kPx, -2 * kPx}, 0},
      // 7 x (-1) / 10 is 0 toward zero: not below y = 0.
      {"the division truncates", {.base = {-1, 0}}, {{}, {4 * kPx, 4 * kPx}}, 1,
       {-1 + 4 * kPx, -4 * kPx}, 0},
      // Phase steps of 128: sin 1, 0, -1, 0 times the sway of 2 pixels.
      {"sway", {.velocity = {0, kPx}, .step = 128, .amp = 2}, {}, 4, {0, 4 * kPx}, 0},
      {"sway", {.velocity = {0, kPx}, .step = 128, .amp = 2}, {}, 1, {2 * kPx, kPx}, 128},
      // From a re-based phase: 384 + 128 wraps to 0.
      {"re-based phase", {.step = 128, .phase0 = 384, .amp = 4, .base = {kPx, kPx}}, {}, 1,
       {kPx, kPx}, 0},
  };
  for (const Case& c : cases) {
    int32_t phase = -1;
    const SlgPair at = LunetFlakePath(c.flake, c.drift, c.frames, &phase);
    EXPECT_EQ(at.x, c.at.x) << c.name;
    EXPECT_EQ(at.y, c.at.y) << c.name;
    EXPECT_EQ(phase, c.phase) << c.name;
  }
}

TEST(LunetSpecialParts, PillarZooms) {
  EXPECT_EQ(LunetPillarZoomY(0), kPx);
  EXPECT_EQ(LunetPillarZoomY(32), 4 * kPx);
  EXPECT_EQ(LunetPillarZoomY(53), static_cast<int32_t>(5.96875 * kPx));
  EXPECT_EQ(LunetPillarZoomY(54), 6 * kPx);
  EXPECT_EQ(LunetPillarZoomY(100), 6 * kPx);
  EXPECT_EQ(LunetPillarZoomX(0), kPx);
  EXPECT_EQ(LunetPillarZoomX(16), kPx / 2);
  EXPECT_EQ(LunetPillarZoomX(31), kPx / 32);
  EXPECT_EQ(LunetPillarZoomX(32), 0);
  EXPECT_EQ(LunetPillarZoomX(40), 0);
}

// ---- The play ----

class LunetSpecialPlay : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    play_ = new Play(PlayWatched(SpecialRow("special", 1, AttackLayout::kThree)));
  }
  static void TearDownTestSuite() {
    delete play_;
    play_ = nullptr;
  }
  static const Play& P() { return *play_; }
  static int Set(int step) { return P().step_set[static_cast<size_t>(step)]; }
  static int StageSet(int stage) { return P().stage_set[static_cast<size_t>(stage)]; }
  static Play* play_;
};
Play* LunetSpecialPlay::play_ = nullptr;

TEST_F(LunetSpecialPlay, EachStepBeginsWhenItsWaitIsOver) {
  const Play& p = P();
  EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
  // Steps 1 and 8 run on into the next step in the same frame: each shows for one frame only.
  ASSERT_GT(Set(1), 0);
  EXPECT_EQ(Set(2), Set(1) + 1);
  EXPECT_EQ(Set(9), Set(8) + 1);
  for (int step = 2; step <= 11; ++step) ASSERT_GT(Set(step), Set(step - 1)) << step;
  // Fades of 32 frames (the fade-in, the white-out, the white-in): the engine ends them within
  // a few frames of their length.
  for (const auto& [step, from] : {std::pair{3, 2}, {8, 7}, {10, 8}}) {
    SCOPED_TRACE("fade from the frame showing step " + std::to_string(from));
    EXPECT_GE(Set(step), p.After(Set(from), 32));
    EXPECT_LE(Set(step), p.After(Set(from), 32) + 3);
  }
  // Animation ends are seen on the frame after the animation's last at most.
  struct Wait {
    int step, frames;
    const char* what;
  };
  const Wait waits[] = {{3, std::max(kBodyEnter, kRear1Enter), "the entries of body and rear 1"},
                        {4, kRear2Enter, "rear 2's entry"},
                        {6, kBodyFinish, "the body's finish"}};
  for (const Wait& w : waits) {
    SCOPED_TRACE(w.what);
    EXPECT_GE(Set(w.step + 1), p.After(Set(w.step), w.frames));
    EXPECT_LE(Set(w.step + 1), p.After(Set(w.step), w.frames) + 2);
  }
  // The slide: 80 frames exactly.
  EXPECT_EQ(Set(6), p.After(Set(5), 80));
}

TEST_F(LunetSpecialPlay, ThePictureSlidesThenFliesOn) {
  const Play& p = P();
  const auto at = [&](int frame) { return p.frames[static_cast<size_t>(frame)].picture; };
  // The slide: (4, 2) pixels a frame from (-640, -480), each frame from its start; it stops on
  // the first frame at x -320 or beyond, frame 80 (81 when the rig's 17, 17, 16 ms steps skip
  // frame 80 of a clock started mid-step).
  EXPECT_EQ(at(Set(5)).x, -640 * kPx);
  EXPECT_EQ(at(Set(5)).y, -480 * kPx);
  for (int f = Set(5) + 1; f <= Set(6); ++f) {
    const int n = p.Between(Set(5), f);
    EXPECT_EQ(at(f).x, (-640 + 4 * n) * kPx) << "frame " << n;
    EXPECT_EQ(at(f).y, (-480 + 2 * n) * kPx) << "frame " << n;
    EXPECT_EQ(at(f).x >= -320 * kPx, f == Set(6)) << "frame " << n;
  }
  EXPECT_EQ(p.Between(Set(5), p.After(Set(5), 40)), 40);
  EXPECT_EQ(at(p.After(Set(5), 40)).x, -480 * kPx);
  EXPECT_EQ(at(p.After(Set(5), 40)).y, -400 * kPx);
  // The fly-on from where the slide stopped, through the white-out.
  for (int f = Set(6) + 1; f < Set(8); ++f) {
    const SlgPair want =
        LunetPictureFlyOn(at(Set(6)), {-4 * kPx, -2 * kPx}, p.Between(Set(6), f));
    EXPECT_EQ(at(f).x, want.x) << "frame " << f;
    EXPECT_EQ(at(f).y, want.y) << "frame " << f;
  }
  // Shown from the slide's first frame until the white-out has ended.
  for (int f = Set(5); f <= Set(9); ++f) {
    EXPECT_EQ(p.frames[static_cast<size_t>(f)].entry, f > Set(5) && f < Set(8)) << "frame " << f;
  }
}

TEST_F(LunetSpecialPlay, TheBodyBlendsInAndOut) {
  const Play& p = P();
  // The blend-in from step 3's end (the frame showing step 4), through steps 4 and 5; the
  // blend-out from step 5's end through step 6.
  bool full = false;
  for (int f = Set(4) + 1; f < Set(6); ++f) {
    const BlendWord alpha = p.frames[static_cast<size_t>(f)].alpha;
    EXPECT_EQ(alpha, LunetBlendAlpha(LunetBlend::kIn, p.Between(Set(4), f))) << "frame " << f;
    full = full || alpha == 0x60080u;
  }
  EXPECT_TRUE(full);
  for (int f = Set(6) + 1; f <= Set(7); ++f) {
    EXPECT_EQ(p.frames[static_cast<size_t>(f)].alpha,
              LunetBlendAlpha(LunetBlend::kOut, p.Between(Set(6), f)))
        << "frame " << f;
  }
  EXPECT_EQ(p.frames[static_cast<size_t>(p.After(Set(6), 4))].alpha, 256u);
}

TEST_F(LunetSpecialPlay, TheLayerScrollsFromStep1UntilStep7) {
  const Play& p = P();
  for (int f = 1; f < static_cast<int>(p.frames.size()); ++f) {
    const View& v = p.frames[static_cast<size_t>(f)];
    const bool scene = v.step >= 2 && v.step <= 7;
    EXPECT_EQ(v.scrolling, scene) << "frame " << f << " step " << v.step;
  }
}

TEST_F(LunetSpecialPlay, TheMapComesBackAsItWasAtStep8) {
  const Play& p = P();
  EXPECT_TRUE(SameLayers(p.layers_back, p.layers_before));
  EXPECT_EQ(p.flags_back & 6, p.flags_before & 6);
  EXPECT_EQ(p.flags_back & 6, 6);
  ASSERT_EQ(p.target_flags_back.size(), 3u);
  EXPECT_EQ(p.target_flags_back, p.target_flags_before);
}

TEST_F(LunetSpecialPlay, OneFlakeEveryFourFramesUpToSixtyFour) {
  const Play& p = P();
  // The flakes' clock starts with step 1, in the frame that shows step 2 first.
  int most = 0;
  for (int f = Set(2); f < Set(7); ++f) {
    const View& v = p.frames[static_cast<size_t>(f)];
    EXPECT_EQ(v.flakes, std::min(64, p.Between(Set(2), f) / 4)) << "frame " << f;
    most = std::max(most, v.flakes);
  }
  EXPECT_EQ(most, 64) << "the scene lasts long enough for all";
}

TEST_F(LunetSpecialPlay, ThePillarsStages) {
  const Play& p = P();
  // Set up at step 9's end; stage 0 runs on into stage 1 at the next call.
  EXPECT_EQ(StageSet(0), Set(10));
  EXPECT_EQ(StageSet(1), Set(10) + 1);
  EXPECT_EQ(StageSet(2), p.After(StageSet(1), 64));
  // Stage 2 waits for the last risen piece: started at frame 64 of stage 1.
  EXPECT_GE(StageSet(3), p.After(StageSet(2), kPieceRise - 1));
  EXPECT_LE(StageSet(3), p.After(StageSet(2), kPieceRise) + 1);
  EXPECT_EQ(StageSet(4), p.After(StageSet(3), 54));
  EXPECT_EQ(StageSet(5), p.After(StageSet(4), 32));
  // Stage 5 waits for the last one-shot fall; stage 6 reports done the call after.
  ASSERT_GT(StageSet(6), StageSet(5));
  EXPECT_EQ(Set(11), StageSet(6) + 1);
  // A piece on the first frame 8 frames after the last in stage 1.
  int last = StageSet(1), count = p.frames[static_cast<size_t>(StageSet(1))].pieces;
  EXPECT_EQ(count, 1);
  for (int f = StageSet(1) + 1; f <= StageSet(2); ++f) {
    const int now = p.frames[static_cast<size_t>(f)].pieces;
    if (now == count) continue;
    EXPECT_EQ(now, count + 1);
    EXPECT_EQ(f, p.After(last, 8)) << "piece " << now;
    last = f;
    count = now;
  }
  EXPECT_GE(count, 8);
}

TEST_F(LunetSpecialPlay, TheHitsStartTogetherAndTheLastEndsTheAttack) {
  const Play& p = P();
  EXPECT_EQ(p.frames[static_cast<size_t>(Set(11))].hits_live, 3);
  ASSERT_GT(p.state7, 0);
  // State 7 on the call after the frame whose animations cleared the last handle.
  EXPECT_EQ(p.frames[static_cast<size_t>(p.state7 - 1)].hits_live, 0);
  EXPECT_GT(p.frames[static_cast<size_t>(p.state7 - 2)].hits_live, 0);
  EXPECT_GE(p.state7, p.After(Set(11), kHit));
}

// ---- The flakes frame by frame ----

// The draws SlgRand answers from the scene on: r = 2 x (n mod 16000) + 1 for the n-th, each an
// odd number (every sway re-pick gives 4 pixels).
int32_t ScriptedDraw(uint32_t n) { return static_cast<int32_t>(2 * (n % 16000) + 1) << 16; }

TEST(LunetSpecialFlakes, ANewFlakeTakesItsFieldsFromTheNextDrawsInOrder) {
  const AttackCase row = SpecialRow("flakes", 1, AttackLayout::kFront);
  uint32_t first = 0;
  bool checked = false, restarted = false, rebased = false;
  int bottom = -1;  // flake that reached the bottom line, and the frame
  int bottom_frame = -1;
  PlayWatched(row, [&](AttackRig& r, const Play& p) {
    SlgRandSeam& seam = Battle().rand_seam;
    const LunetSpecialWork& w = Work();
    const int f = static_cast<int>(p.frames.size()) - 1;
    const int step = p.frames.back().step;
    if (step == 2 && !seam.script) {
      first = seam.calls;
      seam.script = [] { return ScriptedDraw(Battle().rand_seam.calls - 1); };
    }
    if (!checked && w.flake_spawner.started == 1) {
      checked = true;
      const auto r_ = [&](uint32_t i) { return ScriptedDraw(first + i) >> 16; };
      const LunetFlake& fl = w.flakes[0];
      EXPECT_EQ(w.flake_objs[0]->x, (r_(0) % 960 - 640) * kPx);
      EXPECT_EQ(w.flake_objs[0]->y, -224 * kPx);
      EXPECT_EQ(fl.frame, 65 + r_(1) % 3);
      EXPECT_EQ(fl.velocity.x, 0);
      EXPECT_EQ(fl.velocity.y, 2 * kPx + kPx / 2 * (r_(2) % 8));
      EXPECT_EQ(fl.step, 512 / (15 + r_(3) % 32));
      EXPECT_EQ(fl.amp, 2 + 2 * (r_(4) % 2));
      EXPECT_EQ(fl.repick, 18 + r_(5) % 64);
      EXPECT_EQ(seam.calls - first, 6u);
    }
    // The re-base of step 4's end: each active flake's path starts where it stands.
    if (step == 5 && !rebased) {
      rebased = true;
      for (int i = 0; i < w.flake_spawner.started; ++i) {
        const SlgAnmObj* obj = w.flake_objs[static_cast<size_t>(i)];
        if (obj->state != 1) continue;
        const LunetFlake& fl = w.flakes[static_cast<size_t>(i)];
        EXPECT_EQ(fl.base.x, obj->x) << i;
        EXPECT_EQ(fl.base.y, obj->y) << i;
        EXPECT_EQ(fl.phase0, fl.phase) << i;
        EXPECT_EQ(fl.start, TimelineNow()) << i;
      }
    }
    // A flake past the bottom line starts again at the top on the next frame.
    if (bottom >= 0 && !restarted && f == bottom_frame + 1 && step <= 6) {
      restarted = true;
      EXPECT_EQ(w.flake_objs[static_cast<size_t>(bottom)]->y, -224 * kPx);
      EXPECT_EQ(w.flake_objs[static_cast<size_t>(bottom)]->state, 1);
    }
    if (bottom < 0 && step >= 2 && step <= 5) {
      for (int i = 0; i < w.flake_spawner.started; ++i) {
        if (w.flake_objs[static_cast<size_t>(i)]->y >= 240 * kPx) {
          EXPECT_EQ(w.flake_objs[static_cast<size_t>(i)]->state, 0) << "marked new";
          bottom = i;
          bottom_frame = f;
          break;
        }
      }
    }
    (void)r;
  });
  EXPECT_TRUE(checked);
  EXPECT_TRUE(rebased);
  EXPECT_TRUE(restarted);
}

TEST(LunetSpecialFlakes, AFlakeStandsOnTheSamePixelWhateverTheFrameTiming) {
  // Flake 0, 40 frames after its start (in step 3, before any wind), with every draw scripted
  // odd (a re-pick keeps the sway): stepped frame by frame, then with the clock jumping there.
  const AttackCase row = SpecialRow("flake_timing", 1, AttackLayout::kFront);
  const auto script = [](AttackRig&) {
    Battle().rand_seam.script = [] { return ScriptedDraw(Battle().rand_seam.calls - 1); };
  };
  SlgPair stepped{};
  {
    AttackCase r1 = row;
    r1.before = script;
    bool seen = false;
    PlayWatched(r1, [&](AttackRig&, const Play&) {
      const LunetSpecialWork& w = Work();
      if (!seen && w.flake_spawner.started > 0 && w.flake_objs[0]->state == 1 &&
          TimelineFrames(w.flakes[0].start) == 40) {
        seen = true;
        stepped = {w.flake_objs[0]->x, w.flake_objs[0]->y};
      }
    });
    ASSERT_TRUE(seen);
  }
  AttackCase r2 = row;
  r2.before = script;
  int jumps = 0;
  PlayWatched(r2, [&](AttackRig& r, const Play&) {
    const LunetSpecialWork& w = Work();
    if (jumps > 0 || w.flake_spawner.started == 0 || w.flake_objs[0]->state != 1) return;
    ASSERT_LE(TimelineFrames(w.flakes[0].start), 1);
    // The next step lands 40 frames (667 ms) after the flake's start.
    const uint32_t next = testsupport::BattleRig::StepMs(r.rig().steps() + 1);
    r.rig().driver().host().clock.Advance(667 - (TimelineNow() - w.flakes[0].start) - next);
    r.Step();
    ASSERT_EQ(TimelineFrames(w.flakes[0].start), 40);
    EXPECT_EQ(w.flake_objs[0]->x, stepped.x);
    EXPECT_EQ(w.flake_objs[0]->y, stepped.y);
    jumps = 1;
  });
  EXPECT_EQ(jumps, 1);
}

// ---- Edges ----

// The first frame of the attack's routine: the frames before it and the dispatch's calls.
struct EdgeRun {
  Play play;
  uint32_t calls_at_end = 0;
  SlgPair centre{};
  int depth_unit = -1;
  int attacker = -1;
  int first_target = -1;
  SlgPair attacker_screen{}, first_target_screen{};
};

EdgeRun RunEdge(AttackCase row, const std::function<void(AttackRig&)>& at_step0 = {}) {
  EdgeRun out;
  bool primed = false, seen = false;
  out.play = PlayWatched(row, [&](AttackRig& r, const Play& p) {
    const SlgUnit& a = r.attacker();
    // The state is entered at a frame's end; the routine's first call comes in the next frame.
    if (!primed && a.state == kStateAttack && StepOf(a) == 0) {
      primed = true;
      if (at_step0) at_step0(r);
    }
    if (!seen && p.frames.back().step >= 1) {
      seen = true;
      const LunetSpecialWork& w = Work();
      out.centre = w.centre;
      out.depth_unit = w.depth_unit;
      out.attacker = a.slot;
      out.attacker_screen = BossUnitScreen(a);
      if (Battle().target_count > 0) {
        out.first_target = Battle().targets[0];
        out.first_target_screen = BossUnitScreen(Battle().state.units[Battle().targets[0]]);
      }
    }
    if (a.state == kStateAfterAttack) out.calls_at_end = r.dispatch().calls;
  });
  return out;
}

TEST(LunetSpecialEdges, ThePillarsPlaceAndDepthUnitWhateverTheAttackByteSays) {
  // No target: on the attacker, with its depth.
  {
    const EdgeRun e = RunEdge(SpecialRow("no_target", 0, AttackLayout::kNone));
    EXPECT_TRUE(e.play.failures.empty()) << testing::PrintToString(e.play.failures);
    EXPECT_GT(e.play.state7, 0);
    EXPECT_EQ(e.depth_unit, e.attacker);
    EXPECT_EQ(e.centre.x, e.attacker_screen.x);
    EXPECT_EQ(e.centre.y, e.attacker_screen.y);
  }
  // A byte naming a free slot, or no slot at all: the first target.
  for (const uint8_t byte : {uint8_t{60}, uint8_t{200}}) {
    SCOPED_TRACE("byte " + std::to_string(byte));
    const EdgeRun e = RunEdge(SpecialRow("byte", 2, AttackLayout::kThree), [byte](AttackRig& r) {
      ASSERT_FALSE(SlgSlotInUse(byte));
      r.attacker().stats.action_bytes[0] = byte;
    });
    EXPECT_TRUE(e.play.failures.empty()) << testing::PrintToString(e.play.failures);
    ASSERT_GE(e.first_target, 0);
    EXPECT_EQ(e.depth_unit, e.first_target);
    EXPECT_EQ(e.centre.x, e.first_target_screen.x);
    EXPECT_EQ(e.centre.y, e.first_target_screen.y);
  }
}

TEST(LunetSpecialEdges, ATargetAboveTheTopEdgeLeavesTheFallingPiecesARowToLandOn) {
  // A target far up the map, chosen by the attack byte: its drawing position above the screen.
  AttackCase row = SpecialRow("high_target", 1, AttackLayout::kNone);
  auto high = std::make_shared<uint8_t>(0);
  row.before = [high](AttackRig& r) {
    *high = r.board()->AddUnit(testsupport::OnCell(4, 2, {.kind = 1, .category = 0}));
    SlgUnit& u = Battle().state.units[*high];
    Slg::PlaceUnit(u);
    u.stats.life = u.stats.max_life = 999;
    u.flags |= kUnitInDamageList;
    r.Step();
  };
  // Stage 4 places each piece it restarts 240 pixels above the centre (a span of one row).
  int landed = 0;
  SlgPair centre{};
  int depth_unit = -1;
  const Play p = PlayWatched(row, [&](AttackRig& r, const Play& play) {
    if (r.attacker().state == kStateAttack && play.frames.back().step == 0) {
      r.attacker().stats.action_bytes[0] = *high;
    }
    const LunetSpecialWork& w = Work();
    if (play.frames.back().step == 1) {
      centre = w.centre;
      depth_unit = w.depth_unit;
    }
    if (play.frames.back().stage != 4) return;
    for (const SlgAnmObj* piece : w.pieces) landed += piece->y == centre.y - 240 * kPx ? 1 : 0;
  });
  EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
  EXPECT_GT(p.state7, 0);
  EXPECT_EQ(depth_unit, *high);
  EXPECT_LE(centre.y, -240 * kPx) << "the target stands above the top edge";
  EXPECT_GT(landed, 0);
}

TEST(LunetSpecialEdges, ShortLongAndMissingPiecesOfTheSetsStillEndTheAttack) {
  struct Case {
    const char* name;
    std::function<void(AttackFixtures&)> sets;
    bool one_call;  // EndAttack on the first call
  };
  const Case cases[] = {
      {"a falling piece of 48 frames",
       [](AttackFixtures& f) {
         LunetSpecialSets(f);
         std::vector<AttackAnim> effect(68, AttackAnim{.frames = 10, .ticks = 1});
         effect[7].frames = 48;
         f.Slot(kAnmSpecialEffect, effect);
       },
       false},
      {"no picture 1",
       [](AttackFixtures& f) {
         LunetSpecialSets(f);
         f.Pictures(kAnmSpecialBg, {{1024, 512}});
       },
       false},
      {"no backgrounds", [](AttackFixtures& f) {
         LunetSpecialSets(f);
         f.Pictures(kAnmSpecialBg, {});
       },
       false},
      {"no SPECIAL_EFFECT", [](AttackFixtures& f) {
         LunetSpecialSets(f);
         f.Omit(kAnmSpecialEffect);
       },
       true},
      {"no SPECIAL_BODY", [](AttackFixtures& f) {
         LunetSpecialSets(f);
         f.Omit(kAnmSpecialBody);
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AttackCase row = SpecialRow("edge", 1, AttackLayout::kThree);
    row.fixtures = c.sets;
    if (c.one_call) row.sounds.clear();
    const EdgeRun e = RunEdge(row);
    EXPECT_TRUE(e.play.failures.empty()) << testing::PrintToString(e.play.failures);
    EXPECT_GT(e.play.state7, 0);
    if (c.one_call) {
      EXPECT_EQ(e.calls_at_end, 1u);
      continue;
    }
    // Without a picture the slide keeps its clock and shows nothing.
    const Play& p = e.play;
    EXPECT_EQ(p.step_set[6], p.After(p.step_set[5], 80));
    if (std::string(c.name).starts_with("no")) {
      for (const View& v : p.frames) EXPECT_FALSE(v.entry);
    }
  }
}

TEST(LunetSpecialEdges, ARefusedObjectAtTheSetUpGivesEverythingBack) {
  // The set-up takes 1 + 3 + 64 + 1 + 3 + 32 objects and one per target.
  for (const int refused : {0, 50, 103, 106}) {
    SCOPED_TRACE("object " + std::to_string(refused));
    AttackCase row = SpecialRow("refused", 1, AttackLayout::kThree);
    row.sounds.clear();
    row.before = [refused](AttackRig& r) {
      auto objects = std::make_shared<int>(0);
      Battle().alloc.refuse = [&r, refused, objects](uint32_t, size_t bytes) {
        const SlgUnit& a = r.attacker();
        if (a.state != kStateAttack || StepOf(a) != 0 || bytes != sizeof(SlgAnmObj)) return false;
        return (*objects)++ == refused;
      };
    };
    const EdgeRun e = RunEdge(row);
    EXPECT_TRUE(e.play.failures.empty()) << testing::PrintToString(e.play.failures);
    EXPECT_EQ(e.calls_at_end, 1u) << "EndAttack on the first call";
  }
}

// ---- The smoke rows ----

TEST(AttackSmoke, LunetSpecialOverDirectionsAndLayouts) {
  const std::pair<int, AttackLayout> layouts[] = {{0, AttackLayout::kNone},
                                                  {1, AttackLayout::kFront},
                                                  {2, AttackLayout::kThree},
                                                  {3, AttackLayout::kFront}};
  for (const auto& [dir, layout] : layouts) {
    testsupport::ExpectAttackCase(
        SpecialRow("lunet_special_dir" + std::to_string(dir), dir, layout));
  }
}

TEST(AttackSmoke, LunetSpecialFramesTheActionTaskAndSkippedFrames) {
  const uint32_t tiles = AttackFixtures::ColourRef(kKind, kAnmSpecialBg, 0);
  for (const platform::PixelLayout pixels :
       {platform::PixelLayout::kRgb565, platform::PixelLayout::kRgb555}) {
    AttackCase row = SpecialRow(
        std::string("lunet_special_") + (pixels == platform::PixelLayout::kRgb565 ? "565" : "555"),
        2, AttackLayout::kThree);
    row.pixels = pixels;
    // The frame of the slide's stop: the picture over the screen's top-left, the tiles elsewhere.
    const int stop = PlayWatched(row).step_set[6];
    row.checkpoints = {{"scene", stop, "", {{600, 440, tiles}, {40, 40, tiles, false}}}};
    testsupport::ExpectAttackCase(row);
  }
  AttackCase action = SpecialRow("lunet_special_action", 1, AttackLayout::kFront);
  action.road = AttackRoad::kAction;
  testsupport::ExpectAttackCase(action);
  AttackCase skipped = SpecialRow("lunet_special_skipped", 0, AttackLayout::kThree);
  skipped.step_ms = 50;
  testsupport::ExpectAttackCase(skipped);
}

}  // namespace
