// Dododi's attacks (kind 29) on the attack rig, and the boss kits they stand on: the card turn's
// poses and drawing, the two fades, the cell strikes and the attacked unit on a board; the
// special attack's steps, spawns, risers, icicles, shadow switch and end; the normal attack's
// body, swings and hit groups over the four directions; the edge cases; the smoke rows.
//
// Frame counts are checked against the game clock the rig records (a wait of n frames from a
// frame S ends at the first frame F with (clock(F) - clock(S)) x 60 / 1000 >= n), so the rig's
// 16 / 17 ms steps never blur a check.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_strip_wave.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/card_turn.h"
#include "battle_effects/cell_strikes.h"
#include "battle_effects/scene_fades.h"
#include "battle_effects/step_timeline.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/attack_rig.h"
#include "testsupport/battle_board.h"
#include "tests/battle_effects/boss_play.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackCheckpoint;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackOutcome;
using testsupport::AttackRig;
using testsupport::AttackRoad;
using testsupport::BattleBoard;
using testsupport::CellWord;
using testsupport::OnCell;

constexpr int kKind = 29;
constexpr int32_t kPx = 0x10000;
using boss_play::Anim;
using boss_play::FrameView;
using boss_play::Play;
using boss_play::Poly;
using boss_play::kStateAttack;
using boss_play::OfAnm;
using boss_play::PinAttacked;
using boss_play::Polys;
using boss_play::SameCorners;
using boss_play::ShadowOn;
using boss_play::StepOf;

std::vector<Anim> Anims(int slot) { return boss_play::Anims(kKind, slot); }

// Plays a row of kind 29, watching event flag 903 and the "Dododi" tasks.
Play PlayObserved(const AttackCase& row, int after = 0,
                  const std::function<void(AttackRig&, const Play&)>& between = {}) {
  return boss_play::PlayObserved(row, 903, "Dododi", after, between);
}

// ---- Observing the engine ----

// ---- Fixtures and plays ----

// Slot 8 with its twelve animations of known lengths (frames x 2 ticks), slot 6 with the hits'
// lengths, the two backgrounds (1 at 640 x 448 for the line scroll's band).
void DododiSets(AttackFixtures& f) {
  std::vector<AttackAnim> effect(12, AttackAnim{.frames = 4});
  effect[0].frames = 10;  // the aura's first: 20 frames
  effect[3].frames = 6;   // the aura's last: 12 frames
  effect[9].frames = 5;   // a target's hit: 10 frames a loop
  f.Slot(kAnmSpecialEffect, effect);
  std::vector<AttackAnim> normal(8, AttackAnim{.frames = 4});
  normal[1].frames = normal[0].frames = 6;  // the first swing: 12 frames
  normal[3].frames = normal[2].frames = 5;  // the second: 10
  normal[4].frames = 4;                     // the hits: 8, 12 and 16 frames
  normal[5].frames = 6;
  normal[6].frames = 8;
  f.Slot(kAnmAttackEffect, normal);
  f.Pictures(kAnmSpecialBg, {{320, 200}, {640, 448}});
}

AttackCase SpecialRow(int dir, AttackLayout layout) {
  return {.name = "special",
          .kind = kKind,
          .type = 1,
          .dir = dir,
          .layout = layout,
          .frame_limit = 1500,
          .fixtures = &DododiSets,
          .before = &ShadowOn};
}

// ---- The kits ----

TEST(CardTurn, PosesShrinkTurnTwiceAndShowTheBackBetween128And384) {
  struct Case {
    int32_t n;
    int32_t zoom;
    int32_t angle;
    bool back;
  };
  const Case cases[] = {
      {0, 5 * kPx, 0, false},
      {8, 4 * kPx + kPx / 2, 128, false},
      {9, 4 * kPx + 7 * kPx / 16, 144, true},
      {23, 3 * kPx + 9 * kPx / 16, 368, true},
      {24, 3 * kPx + kPx / 2, 384, false},
      {63, kPx + kPx / 16, 496, false},
      {64, kPx, 0, false},
      {80, kPx, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("n " + std::to_string(c.n));
    const CardPose p = CardPoseAt(c.n);
    EXPECT_EQ(p.zoom, c.zoom);
    EXPECT_EQ(p.angle, c.angle);
    EXPECT_EQ(p.back, c.back);
  }
  // Two whole turns: the back shows in two runs of 15 frames.
  int back_frames = 0;
  for (int32_t n = 0; n <= kCardFrames; ++n) back_frames += CardPoseAt(n).back ? 1 : 0;
  EXPECT_EQ(back_frames, 30);
}

TEST(CardTurn, DrawsTheBackPolygonOrTheTurnedAnimationAsThePoseSays) {
  AttackRig r({.kind = kKind, .fixtures = &DododiSets});
  SprAnm* set = GetUnitAnm(kKind, kAnmSpecialEffect);
  ASSERT_NE(set, nullptr);
  SlgAnmObj* obj = nullptr;
  ASSERT_EQ(AllocAnimeObjs(&obj, nullptr, 1), 1);
  constexpr CardLook kLook{11, 0x9409, {{{-88, -136}, {86, -136}, {86, 134}, {-88, 134}}}};
  CardTurn card{};
  CardTurnStart(card, obj, set, kLook, -100);
  const std::vector<Anim> first = OfAnm(Anims(kAnmSpecialEffect), 11);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].zoom, 5 * kPx);
  EXPECT_EQ(first[0].priority, -100 + 1536);
  int stopped_frame = -1;
  bool was_back = false;
  int done_at = -1;
  for (int i = 0; i < 90; ++i) {
    r.Step();
    const int done = CardTurnStep(card);
    const CardPose& pose = card.pose;
    SCOPED_TRACE("angle " + std::to_string(pose.angle));
    const std::vector<Anim> anims = OfAnm(Anims(kAnmSpecialEffect), 11);
    const std::vector<Poly> polys = Polys();
    ASSERT_EQ(anims.size(), 1u);
    if (pose.back) {
      ASSERT_EQ(polys.size(), 1u);
      EXPECT_FALSE(anims[0].drawn) << "the card is hidden while its back shows";
      EXPECT_EQ(polys[0].alpha, kCardBackAttr);
      EXPECT_EQ(polys[0].angle2, SlgAngleToEngine(pose.angle));
      EXPECT_EQ(polys[0].zoom, pose.zoom);
      EXPECT_EQ(polys[0].priority, -101 + 1536) << "one depth in front of the card";
      EXPECT_TRUE(SameCorners(polys[0].c, kLook.corners));
      EXPECT_EQ(card.back.colour, 0x9409);
      if (stopped_frame < 0) stopped_frame = anims[0].frame;
    } else {
      EXPECT_TRUE(polys.empty());
      EXPECT_TRUE(anims[0].drawn);
      EXPECT_EQ(anims[0].zoom, pose.zoom);
    }
    // Once stopped on its back the card stays on that frame.
    if (stopped_frame >= 0) {
      EXPECT_EQ(anims[0].frame, stopped_frame);
    }
    was_back = was_back || pose.back;
    if (done == 1 && done_at < 0) {
      done_at = i;
      EXPECT_EQ(pose.zoom, kPx);
      EXPECT_EQ(pose.angle, 0);
    }
  }
  EXPECT_TRUE(was_back);
  EXPECT_GE(done_at, 62);
  EXPECT_LE(done_at, 64);
  EXPECT_EQ(card.pose.zoom, kPx);
  CardTurnFree(card);
  EXPECT_TRUE(Polys().empty());
  FreeAnimeObjs(&obj, 1);
  ReleaseUnitAnm(&set);
}

TEST(SceneFades, PictureAlphaAndLineScrollBlendByStep) {
  const std::pair<int32_t, BlendWord> alpha[] = {
      {0, 0x10100}, {1, 0x100F0}, {8, 0x10080}, {16, 0x10000}, {20, 0x10000}};
  for (const auto& [n, want] : alpha) EXPECT_EQ(PictureFadeAlpha(n), want) << "step " << n;
  const std::pair<int32_t, BlendWord> blend[] = {
      {0, 0x20000}, {1, 0x20008}, {30, 0x200F7}, {31, 256}, {40, 256}};
  for (const auto& [n, want] : blend) EXPECT_EQ(LineScrollFadeBlend(n), want) << "step " << n;
}

TEST(SceneFades, StepEveryTwoFramesOnTheirOwnClocks) {
  AttackRig r({.kind = kKind, .fixtures = &DododiSets});
  SprAnm* set = GetUnitAnm(kKind, kAnmSpecialEffect);
  ASSERT_NE(set, nullptr);
  std::vector<SprRec*> sprites;
  Scene().tamvik_spr.GetAnmFrameSprites(set, 10, 0, &sprites);
  ASSERT_FALSE(sprites.empty());
  SlgEffectTask* wave = SlgLineScrollStart("Test::LineScroll", SURFACE_SCRATCH, 0, 0, 64, 16, 2,
                                           SURFACE_ROOT, 0, 511);
  ASSERT_NE(wave, nullptr);
  PictureFade picture{};
  LineScrollFade scroll{};
  PictureFadeStart(picture, set, 10);
  LineScrollFadeStart(scroll);
  const uint32_t t0 = r.rig().Now();
  int picture_done = -1, scroll_done = -1;
  int picture_due = -1, scroll_due = -1;  // the first frame count at 32 and at 62 or more
  for (int i = 0; i < 70; ++i) {
    const int frames = static_cast<int>(int64_t{r.rig().Now() - t0} * 60 / 1000);
    if (frames >= 32 && picture_due < 0) picture_due = frames;
    if (frames >= 62 && scroll_due < 0) scroll_due = frames;
    const int p = PictureFadeStep(picture);
    const int s = LineScrollFadeStep(scroll, wave);
    EXPECT_EQ(picture.n, std::min(frames / 2, 16));
    EXPECT_EQ(sprites[0]->alpha, PictureFadeAlpha(picture.n));
    EXPECT_EQ(scroll.n, std::min(frames / 2, 31));
    EXPECT_EQ(SlgLineScrollWork(wave)->blend, LineScrollFadeBlend(scroll.n));
    if (p == 1 && picture_done < 0) picture_done = frames;
    if (s == 1 && scroll_done < 0) scroll_done = frames;
    r.Step();
  }
  EXPECT_EQ(picture_done, picture_due);
  EXPECT_EQ(scroll_done, scroll_due);
  EXPECT_EQ(LineScrollFadeStep(scroll, nullptr), 1) << "no line scroll: the fade still runs out";
  SlgTaskStop(wave);
  r.Step();  // the wave ends itself, its strips with it
  ReleaseUnitAnm(&set);
}

// A board for the cell strikes: targets on chosen cells, one cell raised.
struct StrikeBoard {
  StrikeBoard() {
    board.SetMapSize(1280, 1280);
    acting = board.AddUnit(OnCell(4, 20, {.side = 1, .kind = 29, .category = 1}));
  }
  uint8_t Target(int column, int row) {
    const uint8_t slot = board.AddUnit(OnCell(column, row, {.kind = 14, .category = 1}));
    SlgUnit& u = Battle().state.units[slot];
    Slg::PlaceUnit(u);
    u.flags |= kUnitInDamageList;
    return slot;
  }
  void List() {
    Battle().attacker = &Battle().state.units[acting];
    DamageMember();
  }
  BattleBoard board;
  uint8_t acting = 0;
};

SlgPair MapOf(uint8_t slot) {
  const SlgUnit& u = Battle().state.units[slot];
  return {u.x, u.y};
}

TEST(CellStrikes, RoundAPositionAndAlongADirectionFindTheTargetsStandingThere) {
  StrikeBoard s;
  const uint8_t centre = s.Target(8, 20);
  const uint8_t raised = s.Target(7, 21);  // (-48, +24) from the centre's point
  s.board.SetCell(7, 21, CellWord(2));
  Slg::PlaceUnit(Battle().state.units[raised]);
  s.List();
  ASSERT_EQ(Battle().target_count, 2);
  const std::array<SlgPoint, 5> offsets{{{0, 0}, {-48, 24}, {-48, -24}, {48, -24}, {48, 24}}};
  std::array<CellStrike, 5> round{};
  CellStrikesAround(MapOf(centre), offsets, round);
  EXPECT_EQ(round[0].target, centre);
  EXPECT_EQ(round[1].target, raised) << "the raised target is found by its ground cell";
  EXPECT_EQ(round[2].target, kSlgNoUnit);
  EXPECT_EQ(round[3].target, kSlgNoUnit);
  EXPECT_EQ(round[4].target, kSlgNoUnit);
  // The raised cell draws 96 pixels higher than its ground point; the screen position is the
  // raised point's.
  EXPECT_EQ(round[1].cell.ground.y - round[1].cell.raised.y, 96 * kPx);
  EXPECT_EQ(round[1].screen.y, Slg::PosToScreen(round[1].cell.ground).y);
  EXPECT_EQ(round[1].screen.y, round[0].screen.y + 24 * kPx - 96 * kPx);
  // Along direction 2 ((-48, 24) a step) from the centre: the raised cell, then the next.
  std::array<CellStrike, 2> along{};
  CellStrikesAlong(MapOf(centre), 2, along);
  EXPECT_EQ(along[0].target, raised);
  EXPECT_EQ(along[1].cell.ground.x, round[1].cell.ground.x - 48 * kPx);
  EXPECT_EQ(along[1].cell.ground.y, round[1].cell.ground.y + 24 * kPx);
  // The branches: targets with their unit, the empty cells with their index.
  std::vector<int> hit, empty;
  ForEachCellStrike(
      round, [&](int i, const CellStrike&, const SlgUnit& t) { hit.push_back(i * 100 + t.slot); },
      [&](int i, const CellStrike&) { empty.push_back(i); });
  EXPECT_EQ(hit, (std::vector<int>{centre, 100 + raised}));
  EXPECT_EQ(empty, (std::vector<int>{2, 3, 4}));
}

TEST(BossAttackedUnit, TheByteWhenItNamesATargetElseTheFirstTargetElseTheActingUnit) {
  StrikeBoard s;
  SlgUnit& acting = Battle().state.units[s.acting];
  const uint8_t near = s.Target(5, 20);
  const uint8_t far = s.Target(9, 24);
  const uint8_t bystander = s.board.AddUnit(OnCell(12, 30, {.kind = 14, .category = 1}));
  struct Case {
    const char* name;
    uint8_t byte;
    bool listed;
    uint8_t want;
  };
  const Case cases[] = {
      {"a target", far, true, far},
      {"a free slot", 60, true, near},
      {"a unit that is no target", bystander, true, near},
      {"the power byte past the units", 200, true, near},
      {"no target at all", far, false, s.acting},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (uint8_t t : {near, far}) {
      SlgUnit& u = Battle().state.units[t];
      u.flags = c.listed ? (u.flags | kUnitInDamageList) : (u.flags & ~kUnitInDamageList);
    }
    s.List();
    acting.stats.action_bytes[0] = c.byte;
    EXPECT_EQ(BossAttackedUnit(acting).slot, c.want);
  }
}

// ---- The special attack ----

// The special on three targets (direction 1): its steps, the scene's waits and effects, the
// shadow switch and the end.
class DododiSpecialPlay : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    play_ = new Play(PlayObserved(SpecialRow(1, AttackLayout::kThree), 4));
  }
  static void TearDownTestSuite() {
    delete play_;
    play_ = nullptr;
  }
  static const Play& P() { return *play_; }
  static int Set(int step) {
    const auto it = P().step_set.find(step);
    return it != P().step_set.end() ? it->second : -1;
  }
  static Play* play_;
};
Play* DododiSpecialPlay::play_ = nullptr;

TEST_F(DododiSpecialPlay, EachStepBeginsWhenItsWaitIsOver) {
  const Play& p = P();
  ASSERT_GE(p.first_call, 0);
  ASSERT_EQ(p.step_set.size(), 18u) << "steps 1-18";
  EXPECT_EQ(Set(1), p.first_call);
  // Steps that end at once take one call each.
  for (int step : {2, 5, 8, 10, 16}) EXPECT_EQ(Set(step), Set(step - 1) + 1) << "step " << step;
  // Waits on frames, counted from the call that began them.
  struct Wait {
    int step;  // the step that waits
    int frames;
    const char* what;
  };
  const Wait waits[] = {
      {2, 64, "the card's zoom reaches 1.0 (from step 1's call)"},
      {6, 32, "the picture fade's 16 steps of 2 frames"},
      {8, 2, "two frames"},
      {10, 20, "the aura's first animation (from step 7's call)"},
      {11, 32, "32 frames"},
      {13, 12, "the aura's last animation"},
      {17, 128, "128 frames"},
  };
  for (const Wait& w : waits) {
    SCOPED_TRACE(w.what);
    const int from = w.step == 2 ? Set(2) : w.step == 10 ? Set(8) : Set(w.step);
    const int want = p.After(from, w.frames);
    // An animation's end is seen on the frame after its last one at most.
    EXPECT_GE(Set(w.step + 1), want);
    EXPECT_LE(Set(w.step + 1), want + (w.step == 10 || w.step == 13 ? 2 : 0));
  }
  // Waits on fades: their length, and the frames the engine takes to end them.
  for (const auto& [step, frames] : {std::pair{3, 32}, {5, 32}, {14, 64}, {16, 32}}) {
    SCOPED_TRACE("fade of step " + std::to_string(step));
    const int want = p.After(Set(step), frames);
    EXPECT_GE(Set(step + 1), want);
    EXPECT_LE(Set(step + 1), want + 3);
  }
}

TEST_F(DododiSpecialPlay, SparklesAndRisersComeEveryFourFramesIconsEveryEight) {
  const Play& p = P();
  // The rig frames at which animations of `anms` first appear, from frame `from` on.
  const auto appearances = [&](const std::set<uint32_t>& anms, int from) {
    std::vector<int> at;
    std::vector<AnimeHandle> known;
    for (int f = from; f < static_cast<int>(p.frames.size()); ++f) {
      for (const Anim& a : p.frames[static_cast<size_t>(f)].effect) {
        if (anms.count(a.anm) == 0 ||
            std::find(known.begin(), known.end(), a.handle) != known.end()) {
          continue;
        }
        known.push_back(a.handle);
        at.push_back(f);
      }
    }
    return at;
  };
  // The spawners start with the call that set step 12; one every 4 frames, the first after 1.
  const std::vector<int> sparkles = appearances({6, 7}, Set(12));
  const std::vector<int> risers = appearances({4}, Set(12));
  ASSERT_EQ(sparkles.size(), 32u);
  ASSERT_EQ(risers.size(), 32u);
  for (int k = 0; k < 32; ++k) {
    EXPECT_EQ(sparkles[static_cast<size_t>(k)], p.After(Set(12), 1 + 4 * k)) << "sparkle " << k;
    EXPECT_EQ(risers[static_cast<size_t>(k)], p.After(Set(12), 1 + 4 * k)) << "riser " << k;
  }
  // The icicles from the return to the map (a restart keeps its animation), one every 8 frames.
  const std::vector<int> icicles = appearances({8}, Set(16));
  ASSERT_EQ(icicles.size(), 32u);
  for (int k = 0; k < 32; ++k) {
    EXPECT_EQ(icicles[static_cast<size_t>(k)], p.After(Set(16), 1 + 8 * k)) << "icicle " << k;
  }
}

TEST_F(DododiSpecialPlay, TheShadowIsOffFromTheSceneUntilTheWhiteInHasEnded) {
  const Play& p = P();
  // Off from step 1's call (the frame that set step 2) to the end of step 16's white-in.
  for (int f = 1; f < static_cast<int>(p.frames.size()); ++f) {
    const bool off = f >= Set(2) && f < Set(17);
    EXPECT_EQ(p.frames[static_cast<size_t>(f)].shadow, off ? 0u : 1u) << "frame " << f;
  }
  // SlgFlags bits 1-2 cleared from the scene's start to the return to the map.
  for (int f = Set(2); f < Set(16); ++f)
    EXPECT_EQ(p.frames[static_cast<size_t>(f)].flags & 6, 0) << f;
  EXPECT_EQ(p.frames[static_cast<size_t>(Set(16))].flags & 6, 6);
}

TEST_F(DododiSpecialPlay, TheLineScrollRunsFromStep11AndIsGoneAfterTheReturn) {
  const Play& p = P();
  EXPECT_EQ(p.tasks,
            (std::vector<std::string>{"task+ Dododi::LineScroll CTamvikGeneral::GeneralManeger",
                                      "task- Dododi::LineScroll"}));
}

TEST_F(DododiSpecialPlay, TheBattleIsLeftAsBefore) {
  EXPECT_TRUE(P().failures.empty()) << testing::PrintToString(P().failures);
}

TEST_F(DododiSpecialPlay, FlagIsSetOnTheLastFrameOnly) {
  const Play& p = P();
  ASSERT_GT(p.state7, 0);
  for (int f = 0; f < p.state7; ++f) EXPECT_FALSE(p.frames[static_cast<size_t>(f)].flag) << f;
  EXPECT_TRUE(p.frames[static_cast<size_t>(p.state7)].flag);
}

TEST_F(DododiSpecialPlay, TargetsLoopTheirHitsUntilStep18) {
  const Play& p = P();
  // One looping hit per target, at its screen position, one depth in front, mirrored as the
  // boss (direction 1: not mirrored).
  const std::vector<Anim> hits = OfAnm(p.frames[static_cast<size_t>(Set(16))].effect, 9);
  ASSERT_EQ(hits.size(), 3u);
  for (const Anim& h : hits) EXPECT_EQ(h.loop, 1u);
  // After step 18 began each ends after its loop: none is left at the end.
  EXPECT_TRUE(OfAnm(p.frames[static_cast<size_t>(p.state7)].effect, 9).empty());
  EXPECT_FALSE(OfAnm(p.frames[static_cast<size_t>(Set(18))].effect, 9).empty());
}

// The random draws scripted from the scene on, every draw 5 mod 16: the sparkles' and risers'
// draws in order, a riser's zoom per call and its climb.
TEST(DododiSpecial, SparklesAndRisersDrawInOrderGrowPerCallAndClimb) {
  // x, y, attribute bit, animation bit of the first sparkle; x, y of the first riser; a zoom.
  static constexpr int32_t kDraws[] = {997, 1477, 21, 37, 741, 885, 5};
  int draws = 0;
  const auto between = [&](AttackRig& /*r*/, const Play& p) {
    if (p.step_set.count(12) != 0 && !Battle().rand_seam.script) {
      Battle().rand_seam.script = [&draws] { return kDraws[draws++ % 7]; };
    }
  };
  const Play p = PlayObserved(SpecialRow(0, AttackLayout::kFront), 2, between);
  const int scene = p.step_set.at(12);
  const int first = p.After(scene, 1);
  const FrameView& v = p.frames[static_cast<size_t>(first)];
  const std::vector<Anim> sparkle = OfAnm(v.effect, 7);
  ASSERT_EQ(sparkle.size(), 1u) << "draw 37: the animation bit set";
  EXPECT_EQ(sparkle[0].x, 997 % 640);
  EXPECT_EQ(sparkle[0].y, 1477 % 480);
  EXPECT_EQ(sparkle[0].reverse, 0x10u) << "draw 21: the attribute bit set, mirrored";
  const std::vector<Anim> riser = OfAnm(v.effect, 4);
  ASSERT_EQ(riser.size(), 1u);
  EXPECT_EQ(riser[0].x, 101);
  EXPECT_EQ(riser[0].y, 405);
  EXPECT_EQ(riser[0].zoom, kPx / 32);
  // The zoom grows by n/32 at every call, n the frames since its start, until it passes 1.0.
  const auto first_riser = [&](int f) -> const Anim* {
    for (const Anim& a : p.frames[static_cast<size_t>(f)].effect) {
      if (a.anm == 4 && a.x == 101) return &a;
    }
    return nullptr;
  };
  int32_t zoom = kPx / 32;
  int f = first + 1;
  for (; f < first + 20; ++f) {
    zoom += p.Between(first, f) * (kPx / 32);
    const Anim* a = first_riser(f);
    ASSERT_NE(a, nullptr);
    if (zoom > kPx) break;
    EXPECT_EQ(a->zoom, zoom) << "frame " << p.Between(first, f);
  }
  ASSERT_LT(f, first + 20);
  // Then 1.0 + (5 mod 16)/16, and the climb from the spawn point: speed 1.0 growing by 0.25 a
  // frame, after n frames n + n(n+1)/8 pixels up; gone once above -352 pixels.
  const int rise = f;
  EXPECT_EQ(first_riser(rise)->zoom, kPx + 5 * kPx / 16);
  int gone = -1;
  for (int g = rise; g < rise + 80 && gone < 0; ++g) {
    const Anim* a = first_riser(g);
    const int32_t n = p.Between(rise, g);
    const int32_t up4 = 4 * n + n * (n + 1) / 2;  // quarter pixels
    const int32_t y = 405 - (up4 + 3) / 4;
    if (y - 240 < -352) {
      gone = n;
      EXPECT_EQ(a, nullptr) << "released above -352 pixels";
      break;
    }
    ASSERT_NE(a, nullptr) << "frame " << n << " of the climb";
    EXPECT_EQ(a->y, y) << "frame " << n << " of the climb";
  }
  EXPECT_GT(gone, 0);
}

// The icicles with every draw 4 (no offset): the first lands on the attacked unit's cell; its
// flight, clamp and trail frame by frame; its restart on the acting unit's cell; none restarts
// from step 18.
TEST(DododiSpecial, IciclesFlyClampTrailAndRestartUntilStep18) {
  SlgPair target_screen{}, acting_screen{};
  const auto between = [&](AttackRig& r, const Play& p) {
    if (p.step_set.count(15) != 0 && !Battle().rand_seam.script) {
      Battle().rand_seam.script = [] { return 4; };
      const SlgUnit& t = Battle().state.units[r.targets()[0]];
      target_screen = Slg::PosToScreen({t.x, t.y});
      acting_screen = Slg::PosToScreen({r.attacker().x, r.attacker().y});
    }
  };
  const Play p = PlayObserved(SpecialRow(0, AttackLayout::kFront), 2, between);
  const int launch = p.After(p.step_set.at(16), 1);
  constexpr int8_t kHalf[64] = {0, 0, 0, 0, 2, 2, 2, 2, 2, 2, 2, 2, 4, 4, 4, 4, 4, 4, 4, 4, 6, 6,
                                6, 6, 6, 6, 6, 6, 8, 8, 8, 8, 8, 8, 8, 8, 6, 6, 6, 6, 6, 6, 6, 6,
                                4, 4, 4, 4, 4, 4, 4, 4, 2, 2, 2, 2, 2, 2, 2, 2, 0, 0, 0, 0};
  // The corners of an icicle's trail landing at `land` (pixels about the centre) after f frames
  // of flight (direction 0: from (-240, -480) at (7, 14) a frame).
  const auto trail = [&](const SlgPair& land, int f) {
    const int lx = land.x >> 16, ly = land.y >> 16;
    const int sx = lx - 240, sy = ly - 480;
    const int ix = std::min(sx + 7 * f, lx), iy = std::min(sy + 14 * f, ly);
    const int w = kHalf[f];
    return std::array<PolygonPoint, 4>{{{sx + w, sy}, {ix + w, iy}, {ix - w, iy}, {sx - w, sy}}};
  };
  const auto has = [&](int frame, const std::array<PolygonPoint, 4>& c) {
    for (const Poly& q : p.frames[static_cast<size_t>(frame)].polys) {
      if (SameCorners(q.c, c)) return true;
    }
    return false;
  };
  std::set<int> seen;
  int restart = -1;
  for (int g = launch; g < launch + 80; ++g) {
    const int f = p.Between(launch, g);
    if (f >= 64) {
      restart = g;
      break;
    }
    seen.insert(f);
    EXPECT_TRUE(has(g, trail(target_screen, f))) << "flight frame " << f;
  }
  // The half-widths 0, 2, 4, 6, 0 were drawn, and flights before and after the clamp (frame 35
  // on both axes: 7 x 35 > 240, 14 x 35 > 480).
  for (int f : {0, 4, 12, 36, 60}) EXPECT_EQ(seen.count(f), 1u) << "flight frame " << f;
  EXPECT_TRUE(seen.count(33) + seen.count(34) > 0 && seen.count(36) > 0);
  EXPECT_EQ(trail(target_screen, 36)[1].y, target_screen.y >> 16) << "held at the landing point";
  // The restart: a new flight onto the acting unit's cell.
  ASSERT_GT(restart, 0);
  for (int g = restart; g < restart + 20; ++g) {
    EXPECT_TRUE(has(g, trail(acting_screen, p.Between(restart, g)))) << "frame " << g;
  }
  // The trail one depth behind its icicle: the icicle above the boss is drawn behind it.
  const FrameView& at = p.frames[static_cast<size_t>(launch)];
  ASSERT_EQ(OfAnm(at.effect, 8).size(), 1u);
  ASSERT_EQ(at.polys.size(), 1u);
  EXPECT_EQ(at.polys[0].priority, OfAnm(at.effect, 8)[0].priority + 1);
  // From step 18 no flight starts on the acting unit's cell again.
  const int last = p.step_set.at(18);
  for (int g = last + 1; g <= p.state7; ++g) {
    EXPECT_FALSE(has(g, trail(acting_screen, 0))) << "a restart at frame " << g;
  }
  EXPECT_TRUE(p.frames[static_cast<size_t>(p.state7)].polys.empty());
}

// ---- The normal attack ----

AttackCase NormalRow(int type, int dir, AttackLayout layout) {
  return {.name = "normal",
          .kind = kKind,
          .type = type,
          .dir = dir,
          .layout = layout,
          .fixtures = &DododiSets,
          .before = &ShadowOn};
}

// What a hit group should show: its animations at one drawing position with their depths.
struct Group {
  SlgPair at;
  std::vector<std::pair<uint32_t, int>> anms;  // (animation, depth)
};

// The five hit groups round a unit (map position), from the board as it stands.
std::vector<Group> ExpectedGroups(const SlgPair& centre) {
  const std::array<SlgPoint, 5> offsets{{{0, 0}, {-48, 24}, {-48, -24}, {48, -24}, {48, 24}}};
  std::vector<Group> out;
  const BattleContext& b = Battle();
  for (const SlgPoint& o : offsets) {
    const SlgCellPoint cell = SnapPosToCellHeight(centre.x + o.x * kPx, centre.y + o.y * kPx);
    const SlgUnit* on = nullptr;
    for (int i = 0; i < b.target_count && b.targets[static_cast<size_t>(i)] >= 0; ++i) {
      const SlgUnit& t = b.state.units[static_cast<size_t>(b.targets[static_cast<size_t>(i)])];
      if (SamePosCell({t.x, t.y}, cell.ground) != 0) {
        on = &t;
        break;
      }
    }
    if (on != nullptr) {
      const int d = BossUnitDepth(*on);
      out.push_back({Slg::PosToScreen({on->x, on->y}), {{4, d - 1}, {5, d + 1}, {6, d - 2}}});
    } else {
      const int d = SlgCalcDepth(cell.ground.x >> 16, cell.ground.y >> 16);
      out.push_back({Slg::PosToScreen(cell.ground), {{4, d - 1}, {5, d + 1}}});
    }
  }
  return out;
}

// The handles of group g's animations in a frame: slot-6 animations 4-6 at the group's place.
std::vector<Anim> GroupAnims(const FrameView& v, const Group& g) {
  std::vector<Anim> out;
  for (const Anim& a : v.effect) {
    if (a.anm >= 4 && a.anm <= 6 && a.x == (g.at.x >> 16) + 320 && a.y == (g.at.y >> 16) + 240) {
      out.push_back(a);
    }
  }
  return out;
}

// A normal attack played with the attacked unit pinned, and the groups it should show.
struct NormalPlay {
  Play play;
  std::vector<Group> groups;
};

NormalPlay PlayNormal(const AttackCase& row, std::function<uint8_t(AttackRig&)> attacked) {
  NormalPlay n;
  const auto pin = PinAttacked(attacked);
  n.play = PlayObserved(row, 2, [&](AttackRig& r, const Play& p) {
    pin(r, p);
    if (n.groups.empty() && p.step_set.count(3) != 0) {
      const SlgUnit& a = Battle().state.units[r.attacker().stats.action_bytes[0]];
      n.groups = ExpectedGroups({a.x, a.y});
    }
  });
  return n;
}

TEST(DododiNormal, BodySwingsAndFiveHitGroupsInTurnOverTheDirections) {
  constexpr std::array<uint32_t, 4> kBody{1, 0, 0, 1};
  constexpr std::array<uint32_t, 4> kSwing1{1, 0, 0, 1};
  constexpr std::array<uint32_t, 4> kSwing2{3, 2, 2, 3};
  // The second target stands one cell beyond the first: on hit cell 3, 4, 1, 2 by direction.
  constexpr std::array<int, 4> kSecondOn{3, 4, 1, 2};
  for (int dir = 0; dir < 4; ++dir) {
    SCOPED_TRACE("direction " + std::to_string(dir));
    const NormalPlay n = PlayNormal(NormalRow(0, dir, AttackLayout::kThree),
                                    [](AttackRig& r) { return r.targets()[0]; });
    const Play& p = n.play;
    EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
    ASSERT_EQ(n.groups.size(), 5u);
    const uint32_t reverse = p.unit_attr;
    EXPECT_EQ(reverse, dir >= 2 ? 16u : 0u);
    // Body and swings from the second call.
    const int swung = p.step_set.at(2);
    EXPECT_EQ(swung, p.first_call + 1);
    const FrameView& swing = p.frames[static_cast<size_t>(swung)];
    ASSERT_EQ(swing.body.size(), 1u);
    EXPECT_EQ(swing.body[0].anm, kBody[static_cast<size_t>(dir)]);
    EXPECT_EQ(swing.body[0].priority, p.unit_depth + 1536);
    EXPECT_EQ(swing.body[0].reverse, reverse);
    EXPECT_EQ(swing.body[0].x, (swing.unit_screen.x >> 16) + 320);
    EXPECT_EQ(swing.body[0].y, (swing.unit_screen.y >> 16) + 240);
    ASSERT_EQ(swing.effect.size(), 2u);
    const std::map<uint32_t, int> want_swings{{kSwing1[static_cast<size_t>(dir)], -1},
                                              {kSwing2[static_cast<size_t>(dir)], 1}};
    for (const Anim& a : swing.effect) {
      ASSERT_EQ(want_swings.count(a.anm), 1u) << "animation " << a.anm;
      EXPECT_EQ(a.priority, p.unit_depth + want_swings.at(a.anm) + 1536);
      EXPECT_EQ(a.reverse, reverse);
      EXPECT_EQ(a.loop, 0u);
    }
    // The groups, made when both swings have ended (the first: 12 frames).
    const int made = p.step_set.at(3);
    EXPECT_EQ(made, p.After(swung, 12) + 1);
    const FrameView& at = p.frames[static_cast<size_t>(made)];
    for (size_t g = 0; g < 5; ++g) {
      SCOPED_TRACE("group " + std::to_string(g));
      const std::vector<Anim> anims = GroupAnims(at, n.groups[g]);
      ASSERT_EQ(anims.size(), n.groups[g].anms.size());
      EXPECT_EQ(anims.size(),
                g == 0 || static_cast<int>(g) == kSecondOn[static_cast<size_t>(dir)] ? 3u : 2u);
      for (const auto& [anm, depth] : n.groups[g].anms) {
        const auto it =
            std::find_if(anims.begin(), anims.end(), [&](const Anim& a) { return a.anm == anm; });
        ASSERT_NE(it, anims.end());
        EXPECT_EQ(it->priority, depth + 1536);
        EXPECT_EQ(it->reverse, reverse);
        EXPECT_EQ(it->drawn, g == 0) << "the later groups wait hidden";
      }
    }
    // In turn: a group starts the frame after the previous group's first animation has ended.
    int previous_end = -1;
    for (size_t g = 0; g < 5; ++g) {
      int started = -1, first_end = -1, all_end = -1;
      for (int f = made; f < static_cast<int>(p.frames.size()); ++f) {
        const std::vector<Anim> anims = GroupAnims(p.frames[static_cast<size_t>(f)], n.groups[g]);
        if (anims.empty()) break;
        const bool drawn =
            std::any_of(anims.begin(), anims.end(), [](const Anim& a) { return a.drawn; });
        if (drawn && started < 0) started = f;
        for (const Anim& a : anims) {
          if (a.anm == 4 && a.ended && first_end < 0) first_end = f;
        }
        if (std::all_of(anims.begin(), anims.end(), [](const Anim& a) { return a.ended; }) &&
            all_end < 0) {
          all_end = f;
        }
      }
      SCOPED_TRACE("group " + std::to_string(g));
      if (g == 0) {
        EXPECT_EQ(started, made);
      } else {
        EXPECT_EQ(started, previous_end + 1);
      }
      ASSERT_GT(first_end, 0);
      previous_end = first_end;
      if (g == 4) {
        EXPECT_EQ(p.state7, all_end + 1) << "state 7 once the fifth group has ended";
      }
    }
    // No voice, no fade.
    for (const std::string& call : p.sounds)
      EXPECT_EQ(call.rfind("voice", 0), std::string::npos) << call;
    for (int f = p.first_call; f <= p.state7; ++f)
      EXPECT_FALSE(p.frames[static_cast<size_t>(f)].fading);
  }
}

TEST(DododiNormal, TypesZeroTwoAndThreePlayTheSameAttack) {
  // What the attack showed, frame by frame from its first call.
  const auto shown = [](const Play& p) {
    std::vector<std::tuple<int, int, uint32_t, int, int, int, uint32_t, bool>> out;
    for (int f = p.first_call; f <= p.state7; ++f) {
      const FrameView& v = p.frames[static_cast<size_t>(f)];
      for (const std::vector<Anim>* list : {&v.body, &v.effect}) {
        for (const Anim& a : *list) {
          out.emplace_back(f - p.first_call, a.slot, a.anm, a.x, a.y, a.priority, a.reverse,
                           a.drawn);
        }
      }
    }
    return out;
  };
  const auto first = [](AttackRig& r) { return r.targets()[0]; };
  const Play zero = PlayNormal(NormalRow(0, 2, AttackLayout::kThree), first).play;
  ASSERT_GT(zero.state7, 0);
  for (int type : {2, 3}) {
    const Play other = PlayNormal(NormalRow(type, 2, AttackLayout::kThree), first).play;
    EXPECT_EQ(shown(other), shown(zero)) << "type " << type;
  }
}

// ---- Edge cases ----

TEST(DododiNormal, TheAttackedUnitCentresTheHitCells) {
  struct Case {
    const char* name;
    AttackLayout layout;
    std::function<uint8_t(AttackRig&)> byte;
    std::function<uint8_t(AttackRig&)> centre;
  };
  const auto target = [](int i) {
    return [i](AttackRig& r) { return r.targets()[static_cast<size_t>(i)]; };
  };
  const Case cases[] = {
      {"the byte names the third target", AttackLayout::kThree, target(2), target(2)},
      {"the byte names a free slot", AttackLayout::kThree, [](AttackRig&) { return uint8_t{60}; },
       target(0)},
      {"the byte names the attacker itself", AttackLayout::kThree,
       [](AttackRig& r) { return r.attacker().slot; }, target(0)},
      {"a target on a raised cell", AttackLayout::kRaised, target(0), target(0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SlgPair centre_screen{};
    int raised = 0;
    const auto pin = PinAttacked(c.byte);
    const Play p = PlayObserved(NormalRow(0, 1, c.layout), 2, [&](AttackRig& r, const Play& play) {
      pin(r, play);
      if (play.first_call < 0) {
        const SlgUnit& u = Battle().state.units[c.centre(r)];
        centre_screen = Slg::PosToScreen({u.x, u.y});
        raised = SlgCellHeightAt(u.x >> 16, u.y >> 16);
      }
    });
    ASSERT_GT(p.state7, 0);
    const FrameView& at = p.frames[static_cast<size_t>(p.step_set.at(3))];
    // Group 0 plays its three animations at the centre target, drawn.
    int found = 0;
    for (const Anim& a : at.effect) {
      if (a.drawn && a.anm >= 4 && a.anm <= 6 && a.x == (centre_screen.x >> 16) + 320 &&
          a.y == (centre_screen.y >> 16) + 240) {
        ++found;
      }
    }
    EXPECT_EQ(found, 3);
    if (c.layout == AttackLayout::kRaised) {
      EXPECT_EQ(raised, 2);
    }
  }
}

TEST(DododiEdges, MissingSetsAndRefusedObjectsEndOnTheFirstCall) {
  struct Case {
    const char* name;
    int type;
    int omit;        // a slot left out (-1 none)
    int refuse_obj;  // the routine's n-th object refused (-1 none)
  };
  const Case cases[] = {
      {"normal without slot 6", 0, kAnmAttackEffect, -1},
      {"special without slot 7", 1, kAnmSpecialBody, -1},
      {"special without slot 8", 1, kAnmSpecialEffect, -1},
      {"normal: its first object refused", 0, -1, 0},
      {"normal: a hit object refused", 0, -1, 10},
      {"special: its first object refused", 1, -1, 0},
      {"special: an icicle refused", 1, -1, 90},
      {"special: a target's object refused", 1, -1, 101},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AttackCase row{.name = "edge",
                   .kind = kKind,
                   .type = c.type,
                   .layout = AttackLayout::kThree,
                   .frame_limit = 1500,
                   .fixtures = &DododiSets,
                   .before = &ShadowOn};
    row = boss_play::SetUpFailureRow(row, c.omit, c.refuse_obj);
    const AttackOutcome out = testsupport::PlayAttackCase(row);
    EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
    EXPECT_EQ(AttackFrames(out), 1) << "EndAttack on the first call";
  }
}

TEST(DododiEdges, WithoutATargetStep18WaitsForTheIciclesAlone) {
  const Play p = PlayObserved(SpecialRow(3, AttackLayout::kNone), 2);
  EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
  ASSERT_GT(p.state7, 0);
  int last_icicle = -1;
  for (int f = p.first_call; f < p.state7; ++f) {
    EXPECT_TRUE(OfAnm(p.frames[static_cast<size_t>(f)].effect, 9).empty());
    if (!OfAnm(p.frames[static_cast<size_t>(f)].effect, 8).empty()) last_icicle = f;
  }
  EXPECT_EQ(p.state7, last_icicle + 1);
}

TEST(DododiEdges, ThirtyTargetsGetThirtyLoopingHits) {
  AttackCase row = SpecialRow(1, AttackLayout::kNone);
  row.before = [](AttackRig& r) {
    ShadowOn(r);
    // Thirty gauges would outlast the harness's end limit: they are the core's, not the
    // routine's.
    Battle().attack.skip_gauge = 1;
    for (int i = 0; i < 30; ++i) {
      const uint8_t slot =
          r.board()->AddUnit(OnCell(2 + i % 6, 30 + 2 * (i / 6), {.kind = 1, .category = 0}));
      SlgUnit& u = Battle().state.units[slot];
      Slg::PlaceUnit(u);
      u.stats.life = u.stats.max_life = 999;
      u.flags |= kUnitInDamageList;
    }
    r.Step();  // their bodies drawn before the attack starts
  };
  const Play p = PlayObserved(row, 2);
  EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
  ASSERT_GT(p.state7, 0);
  EXPECT_EQ(OfAnm(p.frames[static_cast<size_t>(p.step_set.at(16))].effect, 9).size(), 30u);
}

TEST(DododiEdges, AMissingBackgroundLeavesItsPartOutAndTheScenePlaysOn) {
  // Background 1 missing: no line scroll; neither background: no picture either.
  for (const std::vector<testsupport::AttackPicture>& pictures :
       {std::vector<testsupport::AttackPicture>{{320, 200}},
        std::vector<testsupport::AttackPicture>{}}) {
    SCOPED_TRACE(std::to_string(pictures.size()) + " backgrounds");
    AttackCase row = SpecialRow(2, AttackLayout::kFront);
    row.fixtures = [pictures](AttackFixtures& f) {
      DododiSets(f);
      f.Pictures(kAnmSpecialBg, pictures);
    };
    const Play p = PlayObserved(row, 2);
    EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
    EXPECT_GT(p.state7, 0);
    EXPECT_TRUE(p.tasks.empty()) << testing::PrintToString(p.tasks);
    EXPECT_EQ(p.step_set.size(), 18u);
  }
}

// ---- The smoke rows ----

// A smoke row of kind 29 (the family's task prefix, the frame limit of the special).
AttackCase SmokeRow(std::string name, int type, int dir, AttackLayout layout) {
  AttackCase row{.name = std::move(name),
                 .kind = kKind,
                 .type = type,
                 .dir = dir,
                 .layout = layout,
                 .routine = type == 1 ? "Dododi::SpecialAttack" : "Dododi::NormalAttack",
                 .frame_limit = 1500,
                 .prefixes = {"Dododi::"},
                 .fixtures = &DododiSets,
                 .before = &ShadowOn};
  if (type == 1) {
    row.sounds = {"voice " + std::to_string(AttackFixtures::VoiceNumber(kKind, kSlgVoiceSpecial))};
  }
  return row;
}

constexpr std::pair<int, AttackLayout> kSmokeLayouts[] = {{0, AttackLayout::kNone},
                                                          {1, AttackLayout::kFront},
                                                          {2, AttackLayout::kThree},
                                                          {3, AttackLayout::kRaised}};

TEST(DododiSmoke, NormalTypesOverDirectionsAndLayouts) {
  for (int type : {0, 2, 3}) {
    for (const auto& [dir, layout] : kSmokeLayouts) {
      if ((type + dir) % 2 != 0) continue;  // half the rows of each type
      testsupport::ExpectAttackCase(SmokeRow(
          "dododi_type" + std::to_string(type) + "_dir" + std::to_string(dir), type, dir, layout));
    }
  }
}

TEST(DododiSmoke, SpecialOverDirectionsAndLayouts) {
  for (const auto& [dir, layout] : kSmokeLayouts) {
    testsupport::ExpectAttackCase(
        SmokeRow("dododi_special_dir" + std::to_string(dir), 1, dir, layout));
  }
}

TEST(DododiSmoke, SpecialFramesForPeopleTheActionTaskAndSkippedFrames) {
  // The card's back (its colour at the centre) and the icicles, in both pixel layouts.
  for (const platform::PixelLayout pixels :
       {platform::PixelLayout::kRgb565, platform::PixelLayout::kRgb555}) {
    AttackCase row = SmokeRow(
        std::string("dododi_frames_") + (pixels == platform::PixelLayout::kRgb565 ? "565" : "555"),
        1, 2, AttackLayout::kThree);
    row.pixels = pixels;
    const uint32_t back = SlgColorRef(0x9409);
    row.checkpoints = {{"card_back", -1, "polygons 1", {{320, 240, back}, {40, 240, back, false}}},
                       {"icicles", -1, "polygons 12", {}}};
    testsupport::ExpectAttackCase(row);
  }
  AttackCase action = SmokeRow("dododi_action", 1, 1, AttackLayout::kFront);
  action.road = AttackRoad::kAction;
  testsupport::ExpectAttackCase(action);
  AttackCase skipped = SmokeRow("dododi_skipped", 1, 0, AttackLayout::kFront);
  skipped.step_ms = 50;
  testsupport::ExpectAttackCase(skipped);
}

}  // namespace
