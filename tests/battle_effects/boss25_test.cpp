// Kujyaku's attacks (kind 25): the card, pillar, picture and bubble tables, and the two routines
// on the attack rig (the smoke rows over types, directions and layouts, the missing sets).

#include "battle_effects/boss25.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_units.h"
#include "battle_effects/boss_frame.h"
#include "testsupport/battle_board.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/boss_play.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackOutcome;
using testsupport::AttackRig;
using boss_play::ShadowOn;

constexpr int kKind = 25;

// ---- The tables ----

TEST(Boss25Cards, AngleFaceAndAnimationsByFrame) {
  struct Case {
    int32_t n;
    int32_t angle;
    Boss25::CardFace face;
  };
  const Case cases[] = {
      {0, 0, Boss25::CardFace::kFront},     {15, 120, Boss25::CardFace::kFront},
      {16, 128, Boss25::CardFace::kBack},   {31, 248, Boss25::CardFace::kBack},
      {32, 256, Boss25::CardFace::kFinished}, {40, 320, Boss25::CardFace::kFinished},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("n " + std::to_string(c.n));
    EXPECT_EQ(Boss25::CardAngle(c.n), c.angle);
    EXPECT_EQ(Boss25::CardFaceAt(Boss25::CardAngle(c.n)), c.face);
  }
  // Front then back by card; the finished card shows its back.
  const std::pair<int, int> faces[] = {{3, 6}, {4, 5}, {5, 4}, {6, 3}};
  for (int k = 0; k < Boss25::kCards; ++k) {
    SCOPED_TRACE("card " + std::to_string(k));
    EXPECT_EQ(Boss25::CardFaceAnm(k, Boss25::CardFace::kFront), faces[k].first);
    EXPECT_EQ(Boss25::CardFaceAnm(k, Boss25::CardFace::kBack), faces[k].second);
    EXPECT_EQ(Boss25::CardFaceAnm(k, Boss25::CardFace::kFinished), faces[k].second);
  }
  EXPECT_EQ(Boss25::kCardTurnWidth, 160);
  EXPECT_EQ(Boss25::kCardPerspective, 640);
  EXPECT_EQ(Boss25::kCardInterval, 32);
}

TEST(Boss25Tables, PictureAlphaReplayAnimationAndPillars) {
  const std::pair<int32_t, int32_t> alpha[] = {{0, 0}, {15, 123}, {29, 239}, {30, 256}, {45, 256}};
  for (const auto& [n, a] : alpha) EXPECT_EQ(Boss25::PictureAlpha(n), a) << "n " << n;
  EXPECT_EQ(Boss25::EffectReplayAnm(10), 7u);
  EXPECT_EQ(Boss25::EffectReplayAnm(11), 10u);
  EXPECT_EQ(Boss25::EffectReplayAnm(0), 7u);
  // Zoom 2.0 on the last two pillars only.
  EXPECT_FALSE(Boss25::kPillarRows[0].zoom2);
  EXPECT_FALSE(Boss25::kPillarRows[1].zoom2);
  EXPECT_TRUE(Boss25::kPillarRows[2].zoom2);
  EXPECT_TRUE(Boss25::kPillarRows[3].zoom2);
}

TEST(Boss25Tables, BubbleOffsetsByDirectionAndAge) {
  struct Case {
    int dir;
    int32_t age;
    int32_t x, y;
  };
  const Case cases[] = {
      {0, 0, 48, -72},   {0, 16, 16, 0},   {0, 31, -14, 14},  {0, 40, -14, 14},
      {1, 0, 0, -48},    {1, 16, -32, -52}, {1, 31, -62, -44},
      {2, 16, 32, -52},  {3, 0, -48, -72},  {3, 31, 14, 14},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("dir " + std::to_string(c.dir) + " age " + std::to_string(c.age));
    const SlgPoint p = Boss25::BubbleOffset(c.dir, c.age);
    EXPECT_EQ(p.x, c.x);
    EXPECT_EQ(p.y, c.y);
  }
}

// ---- Fixtures ----

// Slot 5 with bodies of 30 frames (15 two-tick frames), slot 6 and slot 8 with animations of known
// lengths (slot 8 with 11 animations, or 10 for `short_effect`), background 0.
void Boss25Sets(AttackFixtures& f, bool short_effect, int body_frames) {
  f.Slot(kAnmAttackBody, std::vector<AttackAnim>(2, AttackAnim{.frames = body_frames}));
  f.Slot(kAnmAttackEffect, std::vector<AttackAnim>(11, AttackAnim{.frames = 4}));
  f.Slot(kAnmSpecialBody, std::vector<AttackAnim>(3, AttackAnim{.frames = 4}));
  std::vector<AttackAnim> effect(short_effect ? 10 : 11, AttackAnim{.frames = 4});
  effect[0].frames = 20;  // the opening effect: 40 frames, past its frame 22
  f.Slot(kAnmSpecialEffect, effect);
  f.Pictures(kAnmSpecialBg, {{640, 480}});
}

AttackCase SmokeRow(std::string name, int type, int dir, AttackLayout layout,
                    bool short_effect = false) {
  AttackCase row{.name = std::move(name),
                 .kind = kKind,
                 .type = type,
                 .dir = dir,
                 .layout = layout,
                 .routine = type == 1 ? "Boss25::SpecialAttack" : "Boss25::NormalAttack",
                 .frame_limit = 1500,
                 .prefixes = {"Boss25::"},
                 .before = &ShadowOn};
  row.fixtures = [short_effect](AttackFixtures& f) { Boss25Sets(f, short_effect, 15); };
  if (type == 1) {
    row.sounds = {"voice " + std::to_string(AttackFixtures::VoiceNumber(kKind, kSlgVoiceSpecial))};
  }
  return row;
}

constexpr std::pair<int, AttackLayout> kSmokeLayouts[] = {{0, AttackLayout::kNone},
                                                          {1, AttackLayout::kFront},
                                                          {2, AttackLayout::kThree},
                                                          {3, AttackLayout::kRaised}};

// ---- Smoke rows ----

TEST(Boss25Smoke, NormalTypesOverDirectionsAndLayouts) {
  for (int type : {0, 2, 3}) {
    for (const auto& [dir, layout] : kSmokeLayouts) {
      testsupport::ExpectAttackCase(SmokeRow(
          "boss25_type" + std::to_string(type) + "_dir" + std::to_string(dir), type, dir, layout));
    }
  }
}

TEST(Boss25Smoke, SpecialOverDirectionsAndLayouts) {
  for (const auto& [dir, layout] : kSmokeLayouts) {
    testsupport::ExpectAttackCase(
        SmokeRow("boss25_special_dir" + std::to_string(dir), 1, dir, layout, dir % 2 == 0));
  }
}

TEST(Boss25Edges, ABodyEndingBeforeItsThresholdStillStartsTheBubbles) {
  // Direction 1 waits for body frame 23; a body of 10 frames ends before it.
  AttackCase row = SmokeRow("boss25_short_body", 0, 1, AttackLayout::kFront);
  row.fixtures = [](AttackFixtures& f) { Boss25Sets(f, false, 5); };
  testsupport::ExpectAttackCase(row);
}

TEST(Boss25Edges, MissingSetsAndRefusedObjectsEndOnTheFirstCall) {
  struct Case {
    const char* name;
    int type;
    int omit;        // a slot left out (-1 none)
    int refuse_obj;  // the routine's n-th object refused (-1 none)
  };
  const Case cases[] = {
      {"normal without slot 5", 0, kAnmAttackBody, -1},
      {"normal without slot 6", 0, kAnmAttackEffect, -1},
      {"special without slot 7", 1, kAnmSpecialBody, -1},
      {"special without slot 8", 1, kAnmSpecialEffect, -1},
      {"normal: its first object refused", 0, -1, 0},
      {"normal: the last target hit refused", 0, -1, 18},
      {"special: its first object refused", 1, -1, 0},
      {"special: a pillar refused", 1, -1, 7},
      {"special: the last strike hit refused", 1, -1, 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AttackCase row{.name = "edge",
                   .kind = kKind,
                   .type = c.type,
                   .layout = AttackLayout::kThree,
                   .frame_limit = 1500,
                   .fixtures = [](AttackFixtures& f) { Boss25Sets(f, false, 15); },
                   .before = &ShadowOn};
    row = boss_play::SetUpFailureRow(row, c.omit, c.refuse_obj);
    const AttackOutcome out = testsupport::PlayAttackCase(row);
    EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
    EXPECT_EQ(AttackFrames(out), 1) << "EndAttack on the first call";
  }
}

TEST(Boss25Edges, AMissingBackgroundLeavesTheScenePlaying) {
  AttackCase row = SmokeRow("boss25_no_bg", 1, 2, AttackLayout::kFront);
  row.fixtures = [](AttackFixtures& f) {
    Boss25Sets(f, false, 15);
    f.Omit(kAnmSpecialBg);
  };
  testsupport::ExpectAttackCase(row);
}

}  // namespace

namespace {

using boss_play::Anim;
using boss_play::FrameView;
using boss_play::Play;
using boss_play::OfAnm;

// The picture's entries on surface 4 (the background's 640 x 480 sprite): priority and alpha.
struct PictureEntry {
  int priority;
  BlendWord alpha;
};
std::vector<PictureEntry> PictureEntries() {
  std::vector<PictureEntry> out;
  const SprBuffer* buffer = Ctx().ddraw_spr.FindBuffer(SURFACE_ROOT, nullptr);
  if (buffer == nullptr) return out;
  for (size_t p = 0; p < SprBuffer::kPriorityCount; ++p) {
    for (const SprLink* l = buffer->head[p].next; l != nullptr && l != &buffer->tail[p];
         l = l->next) {
      const auto* e = static_cast<const SprBufferEntry*>(l);
      if (e->type != kSprEntrySprite || e->sprite == nullptr) continue;
      if (e->sprite->width == 640 && e->sprite->height == 480) {
        out.push_back({e->priority, e->sprite->alpha});
      }
    }
  }
  return out;
}

// The special on the unit in front (direction 1), with the picture observed each frame.
struct SpecialPlay {
  Play play;
  std::map<int, std::vector<PictureEntry>> picture;  // by frame
  std::map<int, std::vector<AnimeHandle>> running;      // by frame: slot-8 animations not stopped
  // By frame: the corner factors of the slot-8 animations that have them (turned ones).
  std::map<int, std::vector<std::pair<AnimeHandle, std::array<int32_t, 4>>>> corners;
};

SpecialPlay PlaySpecial(bool short_effect) {
  SpecialPlay s;
  s.play = boss_play::PlayObserved(
      SmokeRow("boss25_special_timeline", 1, 1, AttackLayout::kFront, short_effect), 0,
      "Boss25", 2, [&](AttackRig& /*r*/, const Play& p) {
        if (p.state7 >= 0) return;
        const int f = static_cast<int>(p.frames.size()) - 1;
        s.picture[f] = PictureEntries();
        for (const Anim& a : p.frames.back().effect) {
          const AnimeRec* rec = Ctx().anime.RecordOf(a.handle);
          if (rec != nullptr && rec->stop == 0) s.running[f].push_back(a.handle);
        }
        s.running[f];
        SpxAnimeKind* spx = Scene().tamvik_spr.spx();
        for (const Anim& a : p.frames.back().effect) {
          const SpxAnimeBlock* b = spx->Block(a.handle);
          if (b != nullptr && b->corners) s.corners[f].emplace_back(a.handle, *b->corners);
        }
      });
  return s;
}

class Boss25SpecialPlay : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    play_ = new SpecialPlay(PlaySpecial(false));
    short_ = new SpecialPlay(PlaySpecial(true));
  }
  static void TearDownTestSuite() {
    delete play_;
    delete short_;
    play_ = short_ = nullptr;
  }
  static int Set(const Play& p, int step) {
    const auto it = p.step_set.find(step);
    return it != p.step_set.end() ? it->second : -1;
  }
  static const FrameView& At(const Play& p, int f) { return p.frames[static_cast<size_t>(f)]; }
  static bool Has(const std::vector<AnimeHandle>& v, AnimeHandle h) {
    return std::find(v.begin(), v.end(), h) != v.end();
  }
  // The first frame from `from` on at which a slot-8 animation `anm` at screen x runs (is no
  // longer stopped).
  static int FirstRunning(const SpecialPlay& s, uint32_t anm, int x, int from) {
    for (int f = from; f < static_cast<int>(s.play.frames.size()); ++f) {
      for (const Anim& a : At(s.play, f).effect) {
        if (a.anm == anm && a.x == x && Has(s.running.at(f), a.handle)) return f;
      }
    }
    return -1;
  }
  static SpecialPlay* play_;
  static SpecialPlay* short_;
};
SpecialPlay* Boss25SpecialPlay::play_ = nullptr;
SpecialPlay* Boss25SpecialPlay::short_ = nullptr;

TEST_F(Boss25SpecialPlay, EachStepBeginsWhenItsWaitIsOver) {
  for (const SpecialPlay* s : {play_, short_}) {
    const Play& p = s->play;
    EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
    ASSERT_EQ(p.step_set.size(), 9u) << "steps 1-9";
    EXPECT_EQ(Set(p, 1), p.first_call);
    EXPECT_EQ(Set(p, 2), Set(p, 1) + 1);
    EXPECT_EQ(Set(p, 3), p.After(Set(p, 2), 91)) << "the opening's 91 frames";
    // The opening effect (40 frames from the fade's end) has ended within the opening.
    EXPECT_EQ(Set(p, 4), Set(p, 3) + 1);
    EXPECT_EQ(Set(p, 6), p.After(Set(p, 5), 30)) << "the picture's 30 frames";
    for (const auto& [step, from] : {std::pair{7, 6}, {9, 7}}) {
      SCOPED_TRACE("the fade begun by step " + std::to_string(from));
      EXPECT_GE(Set(p, step), p.After(Set(p, from), 32));
      EXPECT_LE(Set(p, step), p.After(Set(p, from), 32) + 3);
    }
    EXPECT_EQ(Set(p, 8), Set(p, 7) + 1);
    EXPECT_GT(p.state7, Set(p, 9));
  }
}

TEST_F(Boss25SpecialPlay, TheEffectReplaysAsTenWithElevenAnimationsElseSeven) {
  for (const auto& [s, replay] : {std::pair{play_, 10u}, {short_, 7u}}) {
    const Play& p = s->play;
    SCOPED_TRACE("replay " + std::to_string(replay));
    const std::vector<Anim> shown = OfAnm(At(p, Set(p, 4)).effect, replay);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].x, 320);
    EXPECT_EQ(shown[0].y, 48 + 240);
    EXPECT_EQ(shown[0].reverse, 16u);
    EXPECT_EQ(shown[0].priority, p.unit_depth - 1 + 1536);
    // The boss is gone once the effect has passed its frame 22 (it ended before step 3's end).
    EXPECT_FALSE(At(p, Set(p, 2)).body.empty());
    EXPECT_TRUE(At(p, Set(p, 4)).body.empty());
  }
}

TEST_F(Boss25SpecialPlay, PillarsRiseAtOneTwentyOneFortyOneAndSixtyOneFrames) {
  const Play& p = play_->play;
  const int risen = Set(p, 4);
  struct Pillar {
    uint32_t anm;
    int x;
    uint32_t reverse;
    int depth;
  };
  const Pillar pillars[] = {{1, 240, 0, -1}, {1, 400, 16, -1}, {8, 240, 0, -2}, {8, 400, 16, -2}};
  int32_t plain_zoom = 0;
  int last = -1;
  for (int k = 0; k < 4; ++k) {
    SCOPED_TRACE("pillar " + std::to_string(k));
    const Pillar& w = pillars[k];
    const int shown = FirstRunning(*play_, w.anm, w.x, risen);
    EXPECT_EQ(shown, p.After(risen, 1 + 20 * k));
    ASSERT_GT(shown, 0);
    last = shown;
    const std::vector<Anim> at = OfAnm(At(p, shown).effect, w.anm);
    const auto it = std::find_if(at.begin(), at.end(), [&](const Anim& a) {
      return a.x == w.x && a.reverse == w.reverse && a.drawn;
    });
    ASSERT_NE(it, at.end());
    EXPECT_EQ(it->y, 240);
    EXPECT_EQ(it->priority, p.unit_depth + w.depth + 1536);
    if (k == 0) plain_zoom = it->zoom;
    if (k >= 2) {
      EXPECT_EQ(it->zoom, 2 * plain_zoom);
      EXPECT_EQ(it->zoom_y, 2 * plain_zoom);
    }
  }
  EXPECT_EQ(Set(p, 5), p.After(last, 85)) << "step 4 ends 85 frames after the last pillar";
}

TEST_F(Boss25SpecialPlay, ThePictureComesInFrontAndFadesInOverThirtyFrames) {
  const SpecialPlay& s = *play_;
  const Play& p = s.play;
  // The background at the back from the set-up to the picture's entry.
  for (int f : {Set(p, 2), Set(p, 5) - 1}) {
    ASSERT_EQ(s.picture.at(f).size(), 1u) << f;
    EXPECT_EQ(s.picture.at(f)[0].priority, 2047) << f;
  }
  const std::pair<int, BlendWord> fade[] = {{0, 0}, {15, 123}, {30, 256}};
  for (const auto& [n, alpha] : fade) {
    SCOPED_TRACE("n " + std::to_string(n));
    const int f = n == 0 ? Set(p, 5) : p.After(Set(p, 5), n);
    ASSERT_EQ(s.picture.at(f).size(), 1u);
    EXPECT_EQ(s.picture.at(f)[0].priority, 0);
    EXPECT_EQ(s.picture.at(f)[0].alpha, alpha);
  }
  // The effect plays 7 mirrored with it; effect, cards and pillars are freed for the white-out.
  const std::vector<Anim> seven = OfAnm(At(p, Set(p, 5)).effect, 7);
  ASSERT_EQ(seven.size(), 1u);
  EXPECT_EQ(seven[0].reverse, 16u);
  EXPECT_TRUE(At(p, Set(p, 6)).effect.empty());
  // Deleted on the return to the map.
  EXPECT_TRUE(s.picture.at(Set(p, 8)).empty());
}

TEST_F(Boss25SpecialPlay, CardsTurnEveryThirtyTwoFramesAndEndOnTheirMirroredBacks) {
  const Play& p = play_->play;
  const int set_up = Set(p, 2);
  for (int k = 0; k < Boss25::kCards; ++k) {
    SCOPED_TRACE("card " + std::to_string(k));
    const size_t i = static_cast<size_t>(k);
    const int x = Boss25::kCardX[i] + 320;
    const auto card = [&](int f) {
      std::vector<Anim> out;
      for (const Anim& a : At(p, f).effect) {
        if (a.x == x && a.y == 240 && a.anm >= 3 && a.anm <= 6) out.push_back(a);
      }
      return out;
    };
    const int start = k == 0 ? set_up : p.After(set_up, 32 * k);
    const int back = p.After(start, 16);
    const int done = p.After(start, 32);
    for (const auto& [f, anm, reverse] :
         {std::tuple{start, Boss25::kCardFront[i], 0u}, {back - 1, Boss25::kCardFront[i], 0u},
          {back, Boss25::kCardBack[i], 0u}, {done - 1, Boss25::kCardBack[i], 0u},
          {done, Boss25::kCardBack[i], 16u}}) {
      SCOPED_TRACE("frame " + std::to_string(f - set_up));
      const std::vector<Anim> shown = card(f);
      ASSERT_EQ(shown.size(), 1u);
      EXPECT_EQ(shown[0].anm, anm);
      EXPECT_EQ(shown[0].reverse, reverse);
      EXPECT_EQ(shown[0].priority, p.unit_depth + 2 + 1536);
    }
    // At its frame 8 or 9 (angle 64 or 72; the 16 / 17 ms clock skips a frame count now and
    // then) the engine turns it with width 160 and perspective 640: the corner factors (x, left
    // height, x, right height) of that turn.
    const std::pair<int, std::array<int32_t, 4>> turns[] = {{8, {46352, 59744, 46352, 71327}},
                                                            {9, {41614, 59207, 41614, 71864}}};
    int checked = 0;
    for (const auto& [n, factors] : turns) {
      const int f = p.After(start, n);
      if (p.Between(start, f) != n) continue;
      SCOPED_TRACE("frame " + std::to_string(n));
      const std::vector<Anim> shown = card(f);
      ASSERT_EQ(shown.size(), 1u);
      const auto seen = play_->corners.find(f);
      ASSERT_NE(seen, play_->corners.end());
      const auto& turned = seen->second;
      const auto it = std::find_if(turned.begin(), turned.end(),
                                   [&](const auto& e) { return e.first == shown[0].handle; });
      ASSERT_NE(it, turned.end());
      EXPECT_EQ(it->second, factors);
      ++checked;
    }
    EXPECT_GT(checked, 0);
  }
}

TEST_F(Boss25SpecialPlay, TheShadowIsOffFromTheSceneUntilTheWhiteInHasEnded) {
  const Play& p = play_->play;
  for (int f = 1; f < static_cast<int>(p.frames.size()); ++f) {
    const bool off = f >= Set(p, 2) && f < Set(p, 9);
    EXPECT_EQ(At(p, f).shadow, off ? 0u : 1u) << "frame " << f;
  }
  for (int f = Set(p, 2); f < Set(p, 8); ++f) EXPECT_EQ(At(p, f).flags & 6, 0) << f;
  EXPECT_EQ(At(p, Set(p, 8)).flags & 6, 6);
  EXPECT_FALSE(At(p, p.state7).fading);
}

}  // namespace

namespace {

using boss_play::Anim;
using boss_play::OfAnm;
using boss_play::Play;

// A target of the damage list on a cell of the board's ground.
uint8_t AddTarget(AttackRig& r, int column, int row) {
  const uint8_t slot =
      r.board()->AddUnit(testsupport::OnCell(column, row, {.kind = 1, .category = 0}));
  SlgUnit& u = Battle().state.units[slot];
  Slg::PlaceUnit(u);
  u.stats.life = u.stats.max_life = 999;
  u.flags |= kUnitInDamageList;
  return slot;
}

// A target far from the boss (no cell in front of it).
uint8_t AddFarTarget(AttackRig& r) {
  return AddTarget(r, AttackRig::kColumn - 3, AttackRig::kRow + 12);
}

TEST(Boss25Strike, TheUnitInFrontElseTheFirstTargetIsStruck) {
  struct Case {
    const char* name;
    int dir;
    AttackLayout layout;
    bool far_target;  // a target added away from the boss
    int raised;       // the struck unit's cell height
    bool struck;
  };
  const Case cases[] = {
      {"a target in front", 1, AttackLayout::kFront, false, 0, true},
      {"a target in front, direction 3", 3, AttackLayout::kFront, false, 0, true},
      {"none in front: the first target", 2, AttackLayout::kNone, true, 0, true},
      {"no target at all", 1, AttackLayout::kNone, false, 0, false},
      {"a target on a raised cell in front", 0, AttackLayout::kRaised, false, 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AttackCase row = SmokeRow("boss25_strike", 1, c.dir, c.layout);
    if (c.far_target) {
      row.before = [](AttackRig& r) {
        ShadowOn(r);
        AddFarTarget(r);
        r.Step();
      };
    }
    int slot = -1, depth = 0, raised = -1;
    SlgPair screen{};
    const Play p = boss_play::PlayObserved(row, 0, "Boss25", 2, [&](AttackRig& /*r*/,
                                                                      const Play& play) {
      if (play.first_call >= 0 || Battle().target_count <= 0 || Battle().targets[0] < 0) return;
      // Before the attack: every layout here lists the unit in front, or the far one, first.
      slot = Battle().targets[0];
      const SlgUnit& t = Battle().state.units[static_cast<size_t>(slot)];
      screen = Slg::PosToScreen({t.x, t.y});  // its map position, as the routines place hits
      depth = BossUnitDepth(t);
      raised = SlgCellHeightAt(t.x >> 16, t.y >> 16);
    });
    EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
    ASSERT_TRUE(p.step_set.count(9) != 0);
    const int strike = p.step_set.at(9);
    const std::vector<Anim>& shown = p.frames[static_cast<size_t>(strike)].effect;
    const std::vector<Anim> high = OfAnm(shown, 2);
    const std::vector<Anim> low = OfAnm(shown, 9);
    if (!c.struck) {
      EXPECT_TRUE(high.empty());
      EXPECT_TRUE(low.empty());
      EXPECT_EQ(p.state7, strike + 1) << "step 9 ends at once";
      continue;
    }
    ASSERT_GE(slot, 0);
    EXPECT_EQ(raised, c.raised);
    ASSERT_EQ(high.size(), 1u);
    ASSERT_EQ(low.size(), 1u);
    const int x = (screen.x >> 16) + 320, y = (screen.y >> 16) + 240;
    EXPECT_EQ(high[0].x, x);
    EXPECT_EQ(high[0].y, y - 192);
    EXPECT_EQ(low[0].x, x);
    EXPECT_EQ(low[0].y, y);
    for (const Anim& a : {high[0], low[0]}) {
      EXPECT_EQ(a.priority, depth - 1 + 1536);
      EXPECT_EQ(a.reverse, 0u);
      EXPECT_EQ(a.loop, 0u);
    }
    EXPECT_GT(p.state7, strike + 1) << "state 7 once both hits have ended";
  }
}

}  // namespace

namespace {

using boss_play::Anim;
using boss_play::Play;

// The handles of a slot-6 animation in the order they first showed, with that frame.
std::vector<std::pair<AnimeHandle, int>> FirstShown(const Play& p, uint32_t anm) {
  std::vector<std::pair<AnimeHandle, int>> out;
  for (int f = 0; f < static_cast<int>(p.frames.size()); ++f) {
    for (const Anim& a : OfAnm(p.frames[static_cast<size_t>(f)].effect, anm)) {
      const bool known = std::any_of(out.begin(), out.end(),
                                     [&](const auto& e) { return e.first == a.handle; });
      if (!known) out.emplace_back(a.handle, f);
    }
  }
  return out;
}

const Anim* Find(const Play& p, int f, AnimeHandle h) {
  for (const Anim& a : p.frames[static_cast<size_t>(f)].effect) {
    if (a.handle == h) return &a;
  }
  return nullptr;
}

TEST(Boss25Normal, BubblesAndCellHitsOnTheFreeCellsAhead) {
  // A target stands on cell 2 ahead; a wall on cell 1 or 3 leaves 0 or 2 free cells, none 5.
  struct Bubble {
    int32_t age;
    int x, y;  // pixels from the unit's drawing position (the height table, doubled)
  };
  struct Case {
    const char* name;
    int dir;
    int wall;  // the cell of the wall (0: none)
    int free;
    std::array<Bubble, 3> bubble;
  };
  constexpr std::array<Bubble, 3> kSide{{{0, 48, -72}, {16, 16, 0}, {31, -14, 14}}};
  constexpr std::array<Bubble, 3> kFront{{{0, 0, -48}, {16, -32, -52}, {31, -62, -44}}};
  const Case cases[] = {
      {"a wall in front, direction 0", 0, 1, 0, kSide},
      {"a wall in front, direction 1", 1, 1, 0, kFront},
      {"two free cells, direction 0", 0, 3, 2, kSide},
      {"two free cells, direction 1", 1, 3, 2, kFront},
      {"five free cells, direction 0", 0, 0, 5, kSide},
      {"five free cells, direction 1", 1, 0, 5, kFront},
  };
  constexpr int kThreshold[] = {6, 23};
  constexpr uint32_t kTargetHit[] = {9, 8};
  constexpr SlgPoint kStep[] = {{48, -24}, {48, 24}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AttackCase row = SmokeRow("boss25_line", 0, c.dir, AttackLayout::kNone);
    // Bodies of 60 frames: direction 1's frame 23 comes before the end.
    row.fixtures = [](AttackFixtures& f) { Boss25Sets(f, false, 30); };
    uint8_t target = 0;
    row.before = [c, &target](AttackRig& r) {
      if (c.wall > 0) {
        const auto w = testsupport::CellAlong(AttackRig::kColumn, AttackRig::kRow, c.dir, c.wall);
        r.board()->SetCell(w.first, w.second, testsupport::CellWord(0, 0x400));
      }
      const auto t = testsupport::CellAlong(AttackRig::kColumn, AttackRig::kRow, c.dir, 2);
      target = AddTarget(r, t.first, t.second);
      ShadowOn(r);
    };
    SlgPair target_at{};
    int target_depth = 0;
    const Play p = boss_play::PlayObserved(row, 0, "Boss25", 0, [&](AttackRig&, const Play& play) {
      if (play.step_set.count(2) == 0 ||
          play.step_set.at(2) != static_cast<int>(play.frames.size()) - 1) {
        return;
      }
      const SlgUnit& t = Battle().state.units[target];
      target_at = SlgMapToScreen(t);
      target_depth = BossUnitDepth(t);
    });
    EXPECT_TRUE(p.failures.empty()) << testing::PrintToString(p.failures);
    ASSERT_GT(p.state7, 0);
    const int thrown = p.step_set.at(2);
    const size_t d = static_cast<size_t>(c.dir);

    // The bubbles: the first on the call that sees the body's threshold frame, one a frame after.
    int reached = -1;
    for (int f = thrown; f < p.state7 && reached < 0; ++f) {
      const std::vector<Anim>& body = p.frames[static_cast<size_t>(f)].body;
      if (!body.empty() && body[0].frame >= kThreshold[d]) reached = f;
    }
    ASSERT_GT(reached, thrown);
    const auto bubbles = FirstShown(p, 2);
    ASSERT_EQ(bubbles.size(), 5u);
    const int first = bubbles[0].second;
    EXPECT_EQ(first, reached + 1) << "the call after the body showed frame " << kThreshold[d];
    for (size_t k = 0; k < bubbles.size(); ++k) {
      SCOPED_TRACE("bubble " + std::to_string(k));
      EXPECT_EQ(bubbles[k].second, first + static_cast<int>(k)) << "one a frame";
    }
    // Every bubble along its arc, and gone after its age 31.
    for (const auto& [handle, start] : bubbles) {
      for (const Bubble& b : c.bubble) {
        SCOPED_TRACE("age " + std::to_string(b.age));
        const int f = b.age == 0 ? start : p.After(start, b.age);
        const Anim* a = Find(p, f, handle);
        ASSERT_NE(a, nullptr);
        const SlgPair u = p.frames[static_cast<size_t>(f)].unit_screen;
        EXPECT_EQ(a->x, (u.x >> 16) + 320 + b.x);
        EXPECT_EQ(a->y, (u.y >> 16) + 240 + b.y);
        EXPECT_EQ(a->priority, p.unit_depth + (c.dir == 0 ? -1 : 1) + 1536);
      }
      EXPECT_EQ(Find(p, p.After(start, 32), handle), nullptr) << "released after age 31";
    }

    // The cell hits: one a frame from the first bubble's frame, in order along the line; cell 2
    // at the target, the others at their cells.
    const SlgPair u = p.frames[static_cast<size_t>(thrown)].unit_screen;
    const auto cells = FirstShown(p, 4);
    ASSERT_EQ(cells.size(), static_cast<size_t>(c.free));
    for (size_t k = 0; k < cells.size(); ++k) {
      SCOPED_TRACE("cell " + std::to_string(k + 1));
      const auto& [handle, shown] = cells[k];
      EXPECT_EQ(shown, first + static_cast<int>(k));
      const Anim* a = Find(p, shown, handle);
      ASSERT_NE(a, nullptr);
      const int n = static_cast<int>(k) + 1;
      if (n == 2) {
        EXPECT_EQ(a->x, (target_at.x >> 16) + 320);
        EXPECT_EQ(a->y, (target_at.y >> 16) + 240);
        EXPECT_EQ(a->priority, target_depth + 1 + 1536);
      } else {
        EXPECT_EQ(a->x, (u.x >> 16) + 320 + n * kStep[d].x);
        EXPECT_EQ(a->y, (u.y >> 16) + 240 + n * kStep[d].y);
        EXPECT_EQ(a->priority, p.unit_depth + 1536);
      }
      EXPECT_EQ(a->loop, 0u);
    }

    // The target hit: on the target's cell only, played with the throw.
    const auto hits = FirstShown(p, kTargetHit[d]);
    if (c.free < 2) {
      EXPECT_TRUE(hits.empty());
      continue;
    }
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].second, thrown);
    const Anim* h = Find(p, thrown, hits[0].first);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->x, (target_at.x >> 16) + 320);
    EXPECT_EQ(h->y, (target_at.y >> 16) + 240);
    EXPECT_EQ(h->priority, target_depth - 1 + 1536);
    EXPECT_EQ(h->reverse, 0u);
    EXPECT_EQ(h->loop, 0u);
  }
}

}  // namespace
