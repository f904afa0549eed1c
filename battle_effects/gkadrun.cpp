// Player kind 7's attacks (battle_effects/gkadrun.h).

#include "battle_effects/gkadrun.h"

#include <algorithm>
#include <iterator>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/effect_position.h"
#include "battle_effects/heroine_scene.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"

namespace {

constexpr int32_t kPx = 65536;
constexpr uint8_t kStateAfterAttack = 7;
constexpr int kStripWidth = 256;
constexpr int kStripTile = 512;
constexpr int kStripHome = 316;
constexpr int kStripSpeed = 32;  // pixels a frame
constexpr BlendWord kStripAlpha = 0x10100;
constexpr ColorRef kWhite = 0x00FFFFFF;
constexpr int16_t kPictureDepth = -1536;
constexpr int16_t kStripDepth = -1535;

GkadrunSpecial& Special() { return GkadrunAttackWork().special; }

// ---- The normal attack ----

constexpr SlgAttackRow kType0[] = {
    {{0, 1}, 0, 0}, {{0, 1}, 0, 0}, {{5, 9}, 0, 0}, {{6, 10}, 0, 0}, {{7, 11}, 0, 0}};
constexpr SlgAttackRow kType2[] = {{{2, 3}, 0, 0},  {{2, 3}, 0, 0},  {{5, 9}, 0, 0},
                                   {{6, 10}, 0, 0}, {{7, 11}, 0, 0}, {{8, 12}, 0, 0},
                                   {{1, 4}, 0, 0}};
constexpr PlayerNormalForms kNormalForms{
    PlayerHeldNormalForm(kType0), PlayerHeldNormalForm(kType2, {7, 6, 6, 7}),
    PlayerHeldNormalForm(std::span(kType0).first(2))};

// ---- Shared pieces ----

SlgAnmObj* Obj(const GkadrunSpecial& w, int i) {
  if (w.ctx == nullptr || i >= w.ctx->object_count) return nullptr;
  return w.ctx->objects[static_cast<size_t>(i)];
}
SlgAnmObj* Object2(GkadrunSpecial& w) { return Obj(w, 2); }

void DeletePictures(GkadrunSpecial& w) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  sprites.DeleteBuffer(&w.strip_entry);
  sprites.DeleteBuffer(&w.picture_entry);
  sprites.DeleteBuffer(&w.white_entry);
  sprites.DeleteSprite(&w.strip);
  sprites.DeleteSprite(&w.picture);
  sprites.DeleteSprite(&w.white);
  Ctx().anime.DeleteRef(&w.scroll_move);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

void GiveBackSpecial(GkadrunSpecial& w) {
  FreeSceneCtx(w.ctx);
  DeletePictures(w);
}

void LoadPictures(GkadrunSpecial& w) {
  const SlgUnit& unit = *w.unit;
  CDdrawFunc& ddraw = Ctx().ddraw;
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  // The strip: picture 1 tiled twice down the layer's surface, cut out whole; the layer then
  // gets its own surface back, cleared.
  if (LoadAttackBgTiled(unit, 1, SURFACE_ROOT, kStripWidth, kStripTile, 1, 2) != 0) {
    w.strip = sprites.CreateSprite(kStripHome, 0, SURFACE_ROOT, 0, 0, kStripWidth, 2 * kStripTile);
    sprites.SetSpriteAlpha(w.strip, kStripAlpha);
    ddraw.GiveBackLayerSurface(SURFACE_ROOT, 0);
  }
  SlgClearLayer(SURFACE_ROOT);
  w.picture = CutSpecialPicture(unit, 0, 0, 0);
  if (w.picture != nullptr) {
    ddraw.DrawBox(SURFACE_SCRATCH, kWhite, 0, 0, w.picture->width, w.picture->height, 0);
    w.white = CutWorkBox(w.picture->width, w.picture->height);
  }
}

// ---- The scene ----

int SceneFadeIn(GkadrunSpecial& /*w*/) {
  EnterSpecialScene(30);
  return kTimelineNextRow;
}

int32_t Advanced(GkadrunSpecial& w) { return w.advanced; }
int32_t ScrollStarted(GkadrunSpecial& w) { return w.scroll_start; }

SprBufferEntry* PutPicture(SprRec* sprite, int16_t depth) {
  return SlgSprCreate(CDdrawSpr::kBuffered, sprite, 0, 0, SURFACE_ROOT, 0, depth, 0);
}

int FlashWhite(GkadrunSpecial& w) {
  w.white_entry = PutPicture(w.white, kPictureDepth);
  return kTimelineNextRow;
}

int FlashPicture(GkadrunSpecial& w) {
  Ctx().ddraw_spr.DeleteBuffer(&w.white_entry);
  w.picture_entry = PutPicture(w.picture, kPictureDepth);
  return kTimelineNextRow;
}

int FlashGone(GkadrunSpecial& w) {
  Ctx().ddraw_spr.DeleteBuffer(&w.picture_entry);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
  return kTimelineNextRow;
}

int StartScroll(GkadrunSpecial& w) {
  w.scroll = {};
  w.scroll_speed = {0, kStripSpeed};
  w.scroll_move = Ctx().anime.CreatePointMove(&w.scroll, &w.scroll_speed, nullptr, 0);
  return kTimelineNextRow;
}

void DrawStrip(GkadrunSpecial& w) {
  if (w.strip == nullptr) return;
  const int x = w.scroll.x;
  const int y = GkadrunStripY(w.scroll.y);
  if (w.strip_entry == nullptr) {
    w.strip_entry = SlgSprCreate(CDdrawSpr::kBuffered, w.strip, x, y, SURFACE_ROOT, 0,
                                 kStripDepth, 0);
  }
  Ctx().ddraw_spr.SetBufferPos(w.strip_entry, x, y);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

int WhiteOut(GkadrunSpecial& /*w*/) {
  SlgWhiteOut(60);
  return kTimelineNextRow;
}

int UnitsBack(GkadrunSpecial& /*w*/) {
  LeaveSpecialScene();
  SlgWhiteIn(0);
  return kTimelineNextRow;
}

using SWait = TimelineWait<GkadrunSpecial>;
constexpr TimelineRow<GkadrunSpecial> kScene[] = {
    {SWait::AtOnce(), &SceneFadeIn},
    {SWait::FadeEnd()},
    {SWait::Counter(&Advanced, 1)},
    {SWait::Frames(5), &FlashWhite},
    {SWait::Frames(4), &FlashPicture},
    {SWait::Frames(8), &FlashGone},
    {SWait::Counter(&ScrollStarted, 1), &StartScroll},
    {SWait::Frames(60), &WhiteOut, kTimelineNextRow, 0, &DrawStrip},
    {SWait::FadeEnd(), &UnitsBack, kTimelineNextRow, 0, &DrawStrip},
};
static_assert(std::size(kScene) == kGkadrunSceneEnd);
constexpr PresentationScript<GkadrunSpecial> kSceneScript{
    .stages = kScene,
    .reports = (1u << kGkadrunFadeEnd) | (1u << kGkadrunPicture) | (1u << kGkadrunWhiteOut)};

int StepScene(GkadrunSpecial& w) { return StepPresentation(kSceneScript, w.scene, w); }
void KeepScene(GkadrunSpecial& w) { StepScene(w); }

// The report of the scene's last stage only: the flash reports too, and a step 4 that ends
// before it would otherwise hand that report to step 5, ending the attack before the strip and
// the white-out (with the map's units still hidden).
int SceneOver(GkadrunSpecial& w) {
  return StepScene(w) == 1 && w.scene.stage == kGkadrunSceneEnd ? 1 : 0;
}

// ---- Bursts ----

int32_t RandomSign(int32_t v) { return (SlgRand() & 1) != 0 ? v : -v; }

void Burst(GkadrunSpecial& w) {
  const SlgAnmObj* body = Obj(w, 0);
  if (body == nullptr) return;
  const int32_t dx = RandomSign((SlgRand() % 150) * 2);
  const int32_t dy = RandomSign((SlgRand() % 48) * 2);
  const auto depth = static_cast<int16_t>(body->depth - dy / 8);
  const uint16_t attr = (SlgRand() & 1) != 0 ? 16 : 0;
  AutoPtnChg2Unit(1, {body->x + dx * kPx, body->y + dy * kPx}, depth, attr, *w.unit,
                  kAnmSpecialEffect, SURFACE_ROOT);
  ++w.bursts;
}

// While object 1's first animation runs: a burst once its wait has passed, the next wait a
// random 5-12 frames.
void Bursts(GkadrunSpecial& w) {
  StepScene(w);
  if (SlgAnmObjIsEnd(Obj(w, 1)) != 0) return;
  const int32_t f = TimelineFrames(w.burst_start);
  if (f < w.burst_next) return;
  Burst(w);
  w.burst_next = f + 5 + SlgRand() % 8;
}

// ---- The special's steps ----

int Setup(GkadrunSpecial& w) { return SceneSetup(w, &LoadPictures); }

int Begin(GkadrunSpecial& w) {
  SlgUnit& unit = *w.unit;
  SlgAttackCtx& ctx = *w.ctx;
  if (!StartSceneObjects(ctx, unit, 4)) {
    GiveBackSpecial(w);
    SlgLayerRestore();
    EndAttack(unit);
    return kTimelineStop;
  }
  if (const SlgUnit* target = ListedTarget(0)) {
    w.has_targets = true;
    const SlgPair raised = Slg::RaiseByCellHeight({target->x, target->y});
    Slg::ScrollJumpTo({raised.x - 128 * kPx, raised.y - 112 * kPx});
  }
  SlgAnmObj* body = ctx.objects[0];
  body->y = 80 * kPx;
  PlaceObj(body);
  for (int i = 1; i <= 2; ++i) {
    SlgAnmObj* obj = ctx.objects[static_cast<size_t>(i)];
    obj->x = body->x;
    obj->y = body->y;
    obj->depth = static_cast<int16_t>(body->depth + 1);
  }
  StepScene(w);
  return kTimelineNextRow;
}

int BodyRuns(GkadrunSpecial& w) {
  SlgAttackCtx& ctx = *w.ctx;
  Ctx().anime.SetStop(ctx.objects[0]->handle, 0);
  SlgPlayAnm(ctx.effect_anims, 0, ctx.objects[1], SURFACE_ROOT);
  SlgPlayAnm(ctx.effect_anims, 3, ctx.objects[2], SURFACE_ROOT);
  w.burst_start = TimelineNow();
  w.burst_next = 1;
  return kTimelineNextRow;
}

int FirstThreeEnded(GkadrunSpecial& w) {
  for (int i = 0; i < 3; ++i) {
    if (SlgAnmObjIsEnd(Obj(w, i)) == 0) return 0;
  }
  return 1;
}

void Place(SlgAnmObj* obj, int x, int y, int16_t depth) {
  obj->x = x * kPx;
  obj->y = y * kPx;
  obj->depth = depth;
}

// The second formation, and the scene on to its flash.
int Strike(GkadrunSpecial& w) {
  SlgAttackCtx& ctx = *w.ctx;
  for (int i = 0; i < 3; ++i) ReleaseObjAnm(ctx.objects[static_cast<size_t>(i)]);
  Place(ctx.objects[0], 32, 112, -1099);
  Place(ctx.objects[1], 32, 112, -1098);
  Place(ctx.objects[2], 32, 112, -1098);
  Place(ctx.objects[3], 128, 144, -1098);
  SlgPlayAnm(ctx.body_anims, 1, ctx.objects[0], SURFACE_ROOT);
  constexpr uint32_t kEffects[] = {5, 6, 2};
  for (int i = 1; i <= 3; ++i) {
    SlgAnmObj* obj = ctx.objects[static_cast<size_t>(i)];
    obj->mode = kSlgAnmOnce;
    SlgPlayAnm(ctx.effect_anims, kEffects[i - 1], obj, SURFACE_ROOT);
    SlgAnmPlayOnce(&obj->handle);
  }
  w.advanced = 1;
  return kTimelineNextRow;
}

int ScrollOn(GkadrunSpecial& w) {
  SlgAnmObj* obj = w.ctx->objects[2];
  Place(obj, 112, 176, kPictureDepth);
  SlgPlayAnm(w.ctx->effect_anims, 4, obj, SURFACE_ROOT);
  Ctx().anime.SetStop(obj->handle, 1);
  w.scroll_start = 1;
  return kTimelineNextRow;
}

int Finish(GkadrunSpecial& w) {
  SlgUnit& unit = *w.unit;
  DeletePictures(w);
  if (w.has_targets) {
    Slg::ScrollToCellPos({unit.x, unit.y});
    for (int i = 0; i < 16; ++i) Slg::ScrollStep();
  }
  FreeSceneCtx(w.ctx);
  SetUnitState(unit, kStateAfterAttack);
  SlgLayerRestore();
  return kTimelineStop;
}

using Wait = TimelineWait<GkadrunSpecial>;
constexpr TimelineRow<GkadrunSpecial> kSpecialSteps[] = {
    {Wait::AtOnce(), &Setup},
    {Wait::AtOnce(), &Begin},
    {Wait::SubDone(&StepScene), &BodyRuns},
    {Wait::SubDone(&FirstThreeEnded), &Strike, kTimelineNextRow, 0, &Bursts},
    {Wait::AnmEnd(&Object2), &ScrollOn, kTimelineNextRow, 0, &KeepScene},
    {Wait::SubDone(&SceneOver), &Finish, kTimelineStop},
};

}  // namespace

GkadrunWork& GkadrunAttackWork() { return Battle().Extension<GkadrunWork>(); }

GkadrunWork::~GkadrunWork() {
  if (HasCtx()) DeletePictures(special);
}

int32_t GkadrunStripY(int32_t scroll_y) {
  return -static_cast<int32_t>(static_cast<uint32_t>(scroll_y) % kStripTile);
}

namespace Gkadrun {

void NormalAttack(SlgUnit& unit, SlgPair& pos) {
  RunPlayerNormal(GkadrunAttackWork().normal, kNormalForms, unit, pos);
}

void SpecialAttack(SlgUnit& unit, SlgPair& pos) {
  GkadrunSpecial& w = Special();
  if (unit.step == 0) {
    GiveBackSpecial(w);  // an attack cut short by a stage switch
    w = GkadrunSpecial{};
  }
  w.unit = &unit;
  w.pos = pos;
  RunTimeline(kSpecialSteps, unit.step, w.clock, w);
}

}  // namespace Gkadrun
