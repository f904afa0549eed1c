// Kujyaku's attacks (kind 25), on the boss frame (battle_effects/boss_frame.h); the tables are in
// battle_effects/boss25.h.

#include "battle_effects/boss25.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_draw.h"
#include "battle/slg_screen.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/cell_strikes.h"
#include "battle_effects/effect_position.h"
#include "battle_effects/spawner.h"
#include "battle_effects/step_timeline.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

namespace Boss25 {

namespace {

constexpr int32_t kPx = 0x10000;
constexpr uint16_t kMirror = 16;

// The scene's return runs its own white-in (step 6), so the shared return makes none.
constexpr BossSpecialShape kShape{
    .layer_mode = 2, .enter_fade = 32, .return_fade = 0, .event_flag = 0};
constexpr int32_t kOpening = 91;                // frames of the opening (step 2)
constexpr SlgPair kSceneAt{0, 48 * kPx};        // the boss and the effect in the scene
constexpr uint32_t kBossAnm = 0, kEffectAnm = 0, kPictureEffectAnm = 7, kStrikeHighAnm = 2,
                   kStrikeAnm = 9;
constexpr BossDirAnm kEndBody{{2, 1, 1, 2}, 0};
constexpr int kPictureDepth = -1536;  // drawn priority 0: in front of everything
constexpr int kBackgroundDepth = 511;

constexpr SpawnRule kCardRule{
    .interval = kCardInterval, .first = 0, .limit = kCards, .number = SpawnNumber::kRunning};
constexpr SpawnRule kPillarRule{.interval = kPillarInterval,
                                .first = kPillarFirst,
                                .limit = kPillars,
                                .number = SpawnNumber::kRunning};

// ---- Special attack ----

struct Card {
  uint32_t start;  // game clock ms of its own start
  CardFace face;
};

struct SpecialWork : BossBase {
  SlgAnmObj* boss[1];
  SlgAnmObj* effect[1];
  std::array<SlgAnmObj*, kCards> cards;
  std::array<SlgAnmObj*, kPillars> pillars;
  SlgAnmObj* hits[2];

  std::array<Card, kCards> card;
  uint32_t cards_start;
  Spawner card_spawn;
  uint32_t pillars_start;
  uint32_t pillar_last;  // game clock ms of the last pillar's start
  Spawner pillar_spawn;
  BossPicture picture;
  uint32_t picture_start;
  bool started;        // the boss and the effect run
  bool boss_released;  // the boss has vanished
};

int UnitDepth(const SpecialWork& w) { return BossUnitDepth(*w.unit); }

std::array<BossObjList, 5> SpecialLists(SpecialWork& w) {
  return {{{w.boss, 1},
           {w.effect, 1},
           {w.cards.data(), kCards},
           {w.pillars.data(), kPillars},
           {w.hits, 2}}};
}

int SetUp(SpecialWork& w) {
  if (!BossTakeAnms(w, BossAttack::kSpecial)) return kTimelineStop;
  if (!BossAllocObjs(w, SpecialLists(w))) return kTimelineStop;
  if (BossCutPicture(*w.unit, 0, SURFACE_SCRATCH, false, w.picture)) {
    BossShowPicture(w.picture, 0, 0, kBackgroundDepth);
  }
  BossSceneOn(w, kShape);
  return kTimelineNextRow;
}

void TurnCards(SpecialWork& w);

int EnterScene(SpecialWork& w) {
  const int depth = UnitDepth(w);
  BossPlay(w.boss[0], w.anms.body, kBossAnm, kSceneAt, depth, kMirror, kSlgAnmStartStopped);
  BossPlay(w.effect[0], w.anms.effect, kEffectAnm, kSceneAt, depth - 1, kMirror,
           kSlgAnmStartStopped);
  for (int k = 0; k < kCards; ++k) {
    const size_t i = static_cast<size_t>(k);
    BossPlay(w.cards[i], w.anms.effect, kCardFront[i], {kCardX[i] * kPx, 0}, depth + 2, 0, 0);
    w.card[i] = {0, CardFace::kNotDrawn};
  }
  w.cards_start = TimelineNow();
  w.card_spawn = {};
  TurnCards(w);  // the first card starts turning with the set-up
  BossEnterScene(kShape);
  return kTimelineNextRow;
}

// One frame of the cards: the next one starts when due; each started card turns, plays its new
// face's animation at a change of face, and at a half turn plays its back mirrored and is done.
void TurnCards(SpecialWork& w) {
  const int32_t due = SpawnDue(w.card_spawn, kCardRule, TimelineFrames(w.cards_start));
  if (due >= 0) w.card[static_cast<size_t>(due)].start = TimelineNow();
  for (int k = 0; k < w.card_spawn.started; ++k) {
    const size_t i = static_cast<size_t>(k);
    Card& c = w.card[i];
    SlgAnmObj* obj = w.cards[i];
    if (c.face == CardFace::kFinished || obj == nullptr) continue;
    const int32_t angle = CardAngle(TimelineFrames(c.start));
    const CardFace face = CardFaceAt(angle);
    const SlgPair at{kCardX[i] * kPx, 0};
    if (face == CardFace::kFinished) {
      BossPlay(obj, w.anms.effect, CardFaceAnm(k, face), at, UnitDepth(w) + 2, kMirror, 0);
      c.face = face;
      continue;
    }
    if (face != c.face) {
      BossPlay(obj, w.anms.effect, CardFaceAnm(k, face), at, UnitDepth(w) + 2, 0, 0);
      c.face = face;
    }
    if (obj->handle != nullptr) {
      SlgSprSetTurnY(obj->handle, angle, kCardTurnWidth, kCardPerspective);
    }
  }
}

// Both scene objects run once the fade has ended (and at the latest when the opening ends, so
// that the effect's end can be waited for).
void StartSceneObjects(SpecialWork& w) {
  if (w.started) return;
  w.started = true;
  BossStartObj(w.boss[0]);
  BossStartObj(w.effect[0]);
}

void Opening(SpecialWork& w) {
  TurnCards(w);
  if (SlgIsFadeEnd() != 0) StartSceneObjects(w);
}

int OpeningOver(SpecialWork& w) {
  StartSceneObjects(w);
  return kTimelineNextRow;
}

// The boss vanishes once the effect has passed its frame 22 (or has ended, or has none).
void ReleaseBossWhenPassed(SpecialWork& w) {
  if (w.boss_released) return;
  if (SlgAnmObjIsEnd(w.effect[0]) != 0 || AnmFrameOf(w.effect[0]) > kBossReleaseFrame) {
    BossRelease(w.boss[0]);
    w.boss_released = true;
  }
}

void EffectRuns(SpecialWork& w) {
  TurnCards(w);
  ReleaseBossWhenPassed(w);
}

int PillarsRise(SpecialWork& w) {
  ReleaseBossWhenPassed(w);
  const uint32_t replay =
      EffectReplayAnm(w.anms.effect != nullptr ? w.anms.effect->AnmDataNum() : 0);
  const int depth = UnitDepth(w);
  BossPlay(w.effect[0], w.anms.effect, replay, kSceneAt, depth - 1, kMirror, 0);
  for (int k = 0; k < kPillars; ++k) {
    const PillarRow& p = kPillarRows[static_cast<size_t>(k)];
    SlgAnmObj* obj = w.pillars[static_cast<size_t>(k)];
    const AnimeHandle h = BossPlay(obj, w.anms.effect, p.anm, {p.x * kPx, 0}, depth + p.depth,
                                   p.attr, kSlgAnmStartStopped);
    if (h != nullptr && p.zoom2) SlgSprSetZoom(h, {2 * kPx, 2 * kPx});
  }
  w.pillars_start = TimelineNow();
  w.pillar_spawn = {};
  // The cards show through at half strength from here on.
  if (HasScene()) {
    for (int k = 0; k < kCards; ++k) {
      Scene().tamvik_spr.BakeAnmAlpha(w.anms.effect, kCardFront[static_cast<size_t>(k)], 128);
    }
  }
  return kTimelineNextRow;
}

void Pillars(SpecialWork& w) {
  const int32_t due = SpawnDue(w.pillar_spawn, kPillarRule, TimelineFrames(w.pillars_start));
  if (due < 0) return;
  BossStartObj(w.pillars[static_cast<size_t>(due)]);
  w.pillar_last = TimelineNow();
}

void CardsAndPillars(SpecialWork& w) {
  TurnCards(w);
  Pillars(w);
}

int32_t PillarsHeld(SpecialWork& w) {
  return w.pillar_spawn.started >= kPillars && TimelineFrames(w.pillar_last) > kPillarHold ? 1
                                                                                           : 0;
}

void PictureAlphaTo(SpecialWork& w, int32_t alpha) {
  if (w.picture.sprite == nullptr) return;
  Ctx().ddraw_spr.SetSpriteAlpha(w.picture.sprite, static_cast<BlendWord>(alpha));
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

int PictureComes(SpecialWork& w) {
  BossShowPicture(w.picture, 0, 0, kPictureDepth);
  PictureAlphaTo(w, 0);
  w.picture_start = TimelineNow();
  BossPlay(w.effect[0], w.anms.effect, kPictureEffectAnm, kSceneAt, UnitDepth(w) - 1, kMirror, 0);
  return kTimelineNextRow;
}

void PictureFades(SpecialWork& w) {
  CardsAndPillars(w);
  PictureAlphaTo(w, PictureAlpha(TimelineFrames(w.picture_start)));
}

int SceneEnds(SpecialWork& w) {
  PictureAlphaTo(w, 256);
  BossFreeObjs({{w.effect, 1}, {w.cards.data(), kCards}, {w.pillars.data(), kPillars}});
  SlgWhiteOut(32);
  return kTimelineNextRow;
}

int WhiteIn(SpecialWork& /*w*/) {
  SlgWhiteIn(32);
  return kTimelineNextRow;
}

int ReturnToMap(SpecialWork& w) {
  SlgEffectTask* no_scroll = nullptr;
  BossReturnToMap(kShape, no_scroll);
  BossDeletePicture(w.picture);
  BossPlayDir(w.boss[0], w.anms.body, kEndBody, w, 0);
  return kTimelineNextRow;
}

// The unit in front of the boss is struck: the target standing in the cell in front, else the
// first target; with no target at all nothing is played.
int Strike(SpecialWork& w) {
  BossShadowOn();
  const SlgPoint d = kFrontCell[w.unit->dir & 3u];
  const SlgCellPoint cell = SnapPosToCellHeight(w.unit->x + d.x * kPx, w.unit->y + d.y * kPx);
  const uint16_t slot = TargetAtPos(cell.ground);
  if (slot == kSlgNoUnit) return kTimelineNextRow;
  const SlgUnit& t = Battle().state.units[slot];
  const SlgPair at = BossUnitScreen(t);
  const int depth = BossUnitDepth(t) - 1;
  BossPlay(w.hits[0], w.anms.effect, kStrikeHighAnm, {at.x, at.y - kStrikeRaise * kPx}, depth, 0,
           kSlgAnmOnce);
  BossPlay(w.hits[1], w.anms.effect, kStrikeAnm, at, depth, 0, kSlgAnmOnce);
  return kTimelineNextRow;
}

int32_t HitsEnded(SpecialWork& w) { return BossObjsEnded(w.hits); }

int FinishSpecial(SpecialWork& w) {
  BossDeletePicture(w.picture);
  BossFreeObjs(SpecialLists(w));
  BossFinish(w, kShape.event_flag);
  return kTimelineStop;
}

using SW = TimelineWait<SpecialWork>;
constexpr TimelineRow<SpecialWork> kSpecial[] = {
    {SW::AtOnce(), &SetUp},                                                          // 0
    {SW::AtOnce(), &EnterScene},                                                     // 1
    {SW::Frames(kOpening), &OpeningOver, kTimelineNextRow, 0, &Opening},             // 2
    {SW::AnmEnd([](SpecialWork& w) { return w.effect[0]; }), &PillarsRise, kTimelineNextRow, 0,
     &EffectRuns},                                                                   // 3
    {SW::Counter(&PillarsHeld, 1), &PictureComes, kTimelineNextRow, 0, &CardsAndPillars},  // 4
    {SW::Frames(kPictureFadeFrames), &SceneEnds, kTimelineNextRow, 0, &PictureFades},    // 5
    {SW::FadeEnd(), &WhiteIn},                                                       // 6
    {SW::AtOnce(), &ReturnToMap},                                                    // 7
    {SW::FadeEnd(), &Strike},                                                        // 8
    {SW::Counter(&HitsEnded, 1), &FinishSpecial},                                    // 9
};

// ---- Normal attack ----

struct NormalWork : BossBase {
  SlgAnmObj* body[1];
  SlgAnmObj* swings[3];
  std::array<SlgAnmObj*, kBubbles> bubbles;
  std::array<SlgAnmObj*, kLineCells> cell_hits;
  std::array<SlgAnmObj*, kLineCells> target_hits;
  std::array<uint32_t, kBubbles> bubble_start;
  std::array<bool, kBubbles> bubble_done;
  std::array<SlgPair, kLineCells> cell_at;  // where each cell hit plays
  std::array<int16_t, kLineCells> cell_depth;
  std::array<bool, kLineCells> on_target;
  int32_t bubbles_started;
  int32_t bubbles_done;
  int32_t cells;
  int32_t cells_started;
  bool reached;  // the body has reached its threshold frame (or ended)
};

std::array<BossObjList, 5> NormalLists(NormalWork& w) {
  return {{{w.body, 1},
           {w.swings, 3},
           {w.bubbles.data(), kBubbles},
           {w.cell_hits.data(), kLineCells},
           {w.target_hits.data(), kLineCells}}};
}

size_t Dir(const NormalWork& w) { return w.unit->dir & 3u; }

int NormalSetUp(NormalWork& w) {
  if (!BossTakeAnms(w, BossAttack::kNormal)) return kTimelineStop;
  if (!BossAllocObjs(w, NormalLists(w))) return kTimelineStop;
  return kTimelineNextRow;
}

int Throw(NormalWork& w) {
  const size_t dir = Dir(w);
  const int8_t swing_depth = (dir == 1 || dir == 2) ? -1 : 1;
  BossPlayDir(w.body[0], w.anms.body, {{0, 1, 1, 0}, 0}, w, kSlgAnmOnce);
  BossPlayDir(w.swings[0], w.anms.effect, {{0, 1, 1, 0}, swing_depth}, w, kSlgAnmOnce);
  BossPlayDir(w.swings[1], w.anms.effect, {{7, 6, 6, 7}, swing_depth}, w, kSlgAnmOnce);
  if (dir == 1 || dir == 2) {
    BossPlayDir(w.swings[2], w.anms.effect, {{5, 5, 5, 5}, 1}, w, kSlgAnmOnce);
  }

  const SlgUnit& u = *w.unit;
  w.cells = std::clamp(CountLineCells(u, static_cast<int>(dir), kLineCells), 0, kLineCells);
  std::array<CellStrike, kLineCells> strikes{};
  const std::span<CellStrike> ahead(strikes.data(), static_cast<size_t>(w.cells));
  CellStrikesAlong({u.x, u.y}, static_cast<int>(dir), ahead);
  const int unit_depth = BossUnitDepth(u);
  ForEachCellStrike(
      std::span<const CellStrike>(ahead),
      [&](int k, const CellStrike& /*s*/, const SlgUnit& target) {
        const size_t i = static_cast<size_t>(k);
        const SlgPair at = BossUnitScreen(target);
        const int depth = BossUnitDepth(target);
        w.on_target[i] = true;
        w.cell_at[i] = at;
        w.cell_depth[i] = static_cast<int16_t>(depth + 1);
        BossPlay(w.target_hits[i], w.anms.effect, kTargetHitAnm[dir], at, depth - 1, 0,
                 kSlgAnmOnce);
      },
      [&](int k, const CellStrike& s) {
        const size_t i = static_cast<size_t>(k);
        w.on_target[i] = false;
        w.cell_at[i] = s.screen;
        w.cell_depth[i] = static_cast<int16_t>(unit_depth);
      });
  return kTimelineNextRow;
}

// One frame of the bubbles and cell hits: from the body's threshold frame one more of each starts
// a frame; started bubbles drift along their arc and are released after their last age.
void Bubbles(NormalWork& w) {
  const size_t dir = Dir(w);
  if (!w.reached) {
    w.reached = SlgAnmObjIsEnd(w.body[0]) != 0 || AnmFrameOf(w.body[0]) >= kBodyThreshold[dir];
  }
  const uint16_t attr = BossUnitAttr(*w.unit);
  if (w.reached) {
    if (w.bubbles_started < kBubbles) {
      const size_t i = static_cast<size_t>(w.bubbles_started++);
      w.bubble_start[i] = TimelineNow();
      const SlgPoint off = BubbleOffset(static_cast<int>(dir), 0);
      BossPlay(w.bubbles[i], w.anms.effect, 2, {w.pos.x + off.x * kPx, w.pos.y + off.y * kPx},
               BossUnitDepth(*w.unit) + kBubbleDepth[dir], attr, 0);
    }
    if (w.cells_started < w.cells) {
      const size_t i = static_cast<size_t>(w.cells_started++);
      BossPlay(w.cell_hits[i], w.anms.effect, 4, w.cell_at[i], w.cell_depth[i], attr,
               kSlgAnmOnce);
    }
  }
  for (int k = 0; k < w.bubbles_started; ++k) {
    const size_t i = static_cast<size_t>(k);
    if (w.bubble_done[i]) continue;
    const int32_t age = TimelineFrames(w.bubble_start[i]);
    if (age > kBubbleLife) {
      BossRelease(w.bubbles[i]);
      w.bubble_done[i] = true;
      ++w.bubbles_done;
      continue;
    }
    const SlgPoint off = BubbleOffset(static_cast<int>(dir), age);
    BossFollow(w.bubbles[i], {w.pos.x + off.x * kPx, w.pos.y + off.y * kPx});
  }
}

int32_t NormalDone(NormalWork& w) {
  if (w.bubbles_done < kBubbles || w.cells_started < w.cells) return 0;
  return BossObjsEnded(w.cell_hits) != 0 && BossObjsEnded(w.target_hits) != 0 ? 1 : 0;
}

int FinishNormal(NormalWork& w) {
  BossFreeObjs(NormalLists(w));
  BossFinish(w, 0);
  return kTimelineStop;
}

using NW = TimelineWait<NormalWork>;
constexpr TimelineRow<NormalWork> kNormal[] = {
    {NW::AtOnce(), &NormalSetUp},                                                   // 0
    {NW::AtOnce(), &Throw},                                                         // 1
    {NW::Counter(&NormalDone, 1), &FinishNormal, kTimelineNextRow, 0, &Bubbles},    // 2
};

// The family's battle block: one record per routine.
struct Boss25Work {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  BossRecord<SpecialWork> special;
  BossRecord<NormalWork> normal;
};

}  // namespace

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  RunBossTimeline(kNormal, unit, pos, Battle().Extension<Boss25Work>().normal);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  RunBossTimeline(kSpecial, unit, pos, Battle().Extension<Boss25Work>().special);
}

}  // namespace Boss25
