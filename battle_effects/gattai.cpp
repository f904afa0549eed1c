// The combination attack's driver, its openings and closing, the letterbox window and the frame
// the heroine routines run on (battle_effects/gattai.h).

#include "battle_effects/gattai.h"

#include <algorithm>
#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_attack.h"
#include "battle/slg_attack_anm.h"
#include "battle/slg_draw.h"
#include "battle/slg_map.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/effect_family.h"
#include "battle_effects/step_timeline.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"

namespace {

constexpr int32_t kPx = 65536;
constexpr uint8_t kStateAfterAttack = 7;

// SlgFlags (16 bits).
constexpr uint16_t kFlagUnitsShown = 0x6;   // bits 1 and 2
constexpr uint16_t kFlagScene = 0x20;       // bit 5
constexpr uint16_t kFlagStill = 0x40;       // bit 6: the still is up
constexpr uint16_t kFlagFrozen = 0x80;      // bit 7: a special scene holds the battle
constexpr uint16_t kMaskNoUnits = 0xFFF9;
constexpr uint16_t kMaskNoStill = 0xFFBF;
constexpr uint16_t kMaskThawed = 0xFF5F;    // bits 5 and 7 cleared

// The driver's steps (the unit's step counter).
constexpr uint32_t kStepContext = 0;
constexpr uint32_t kStepSetup = 1;
constexpr uint32_t kStepWaitBody = 2;
constexpr uint32_t kStepWaitFade = 3;
constexpr uint32_t kStepCharacter = 5;
constexpr uint32_t kStepAfterFade = 7;
constexpr uint32_t kStepClosing = 8;
constexpr uint32_t kStepFlash = 9;
constexpr uint32_t kStepFinish = 100;

// Opening B by character byte; 1 selects it.
constexpr std::array<uint8_t, 8> kOpeningB = {0, 0, 0, 1, 0, 0, 1, 0};

constexpr int32_t kXOffset = -64 * kPx;
constexpr int kBodyAnimation = 1;
constexpr int16_t kObj0Depth = -24;
constexpr int16_t kObj1Depth = -25;

constexpr int32_t kSparkleInterval = 8;
constexpr int32_t kDonut2Frames = 15;
constexpr int32_t kRingFull = 0x40000;      // 4.0
constexpr int32_t kFlashStart = 0x8000;     // 0.5
constexpr int32_t kFlashGrowth = 3276;      // 0.05 a frame
constexpr int32_t kFlashFull = 0x60000;     // 6.0
constexpr BlendWord kFlashBlend = 0x90000;
// 64000 in the 16-bit depth field: read back as -1536, the very front.
constexpr int16_t kFlashDepth = static_cast<int16_t>(64000 - 65536);
constexpr int kStillDepth = 511;
constexpr int kFadeFrames = 48;
constexpr int32_t kAfterFadeFrames = 5;

constexpr int kScreenW = 640;
constexpr int kScreenH = 480;

// ---- Small pieces ----

int16_t UnitDepth(const SlgUnit* unit) {
  return unit != nullptr && unit->anm != nullptr ? unit->anm->depth : 0;
}

uint8_t CharacterByte(const SlgUnit& unit) { return unit.stats.action_bytes[2]; }

void SetFlags(uint16_t value) { Battle().flags = value; }
uint16_t Flags() { return Battle().flags; }

int32_t Frames() { return TimelineFrames(Gattai().start_ms); }
void RestartClock() { Gattai().start_ms = TimelineNow(); }

// Plays animation n of the attack's effect set on the part's object at its position and depth;
// the part holds a reference of the set until its end, so the attack's end never frees a set an
// effect still plays from.
void PlayEffect(EffectWork& w, uint32_t n, uint8_t mode) {
  const SlgAttackCtx* ctx = Gattai().ctx;
  GattaiPlay(w, ctx != nullptr ? ctx->effect_anims : nullptr, n, mode);
}

void SetZoom(EffectWork& w, int32_t zoom) {
  w.zoom = zoom;
  SlgSprSetZoom(w.obj.handle, {zoom, zoom});
}

// A closing or sparkle effect under the manager at `at` with the unit sprite's depth; null when
// its task or work area cannot be made (it is then not started).
SlgEffectTask* GattaiSpawn(SlgBody body, const SlgPair& at, const char* name) {
  SlgEffectTask* t = EffectCreate(nullptr, body, name, at);
  if (EffectWork* w = EffectWorkOf(t)) w->depth = UnitDepth(Gattai().unit);
  return t;
}

// ---- The effects of the openings ----

// "Gattai::KiraKira%d": animation 2 once, somewhere around the midpoint and above it.
void Sparkle(SlgEffectTask* t) {
  EffectWork* w = EffectWorkOf(t);
  if (w == nullptr || t->phase > 1) {
    EffectEnd(t);
    return;
  }
  if (t->phase == 0) {
    w->depth = static_cast<int16_t>(w->depth - 1);
    w->pos.x += ((SlgRand() & 0x7F00) - 0x4000) << 8;
    w->pos.y -= (SlgRand() & 0x3F00) << 8;
    PlayEffect(*w, 2, kSlgAnmOnce);
    t->phase = 1;
    return;
  }
  // The engine clears the handle when the animation ends; the part ends on the next frame.
  if (w->obj.handle == nullptr) t->phase = 2;
}

// "Gattai::Donuts1" (index 0) and "Gattai::Donut2" (index 1): a ring growing by 0.5 a frame up
// to 4.0, held there until both rings are full; both then end on the same frame.
void Ring(SlgEffectTask* t) {
  EffectWork* w = EffectWorkOf(t);
  GattaiWork& g = Gattai();
  if (w == nullptr || t->phase > 1) {
    EffectEnd(t);
    return;
  }
  if (t->phase == 0) {
    w->depth = static_cast<int16_t>(w->depth + (t->index == 0 ? 2 : 1));
    PlayEffect(*w, 1, 0);
    SetZoom(*w, kPx);
    EffectRestart(t, *w);
    t->phase = 1;
    return;
  }
  if (w->state == 1) {  // full size
    if (g.rings_done >= 2) EffectEnd(t);
    return;
  }
  const int32_t zoom = std::min((EffectFrames(t, *w) + 2) << 15, kRingFull);
  SetZoom(*w, zoom);
  if (zoom >= kRingFull) {
    ++g.rings_done;
    w->state = 1;
  }
}

// "Gattai::Akira": the flash over everything, 0.5 growing by 0.05 a frame to 6.0. However it
// ends (its time, a stop from outside), flashDone is set, so the driver never waits on it.
void Flash(SlgEffectTask* t) {
  EffectWork* w = EffectWorkOf(t);
  if (w == nullptr || t->phase > 1) {
    Gattai().flash_done = 1;
    EffectEnd(t);
    return;
  }
  if (t->phase == 0) {
    w->depth = kFlashDepth;
    PlayEffect(*w, 0, 0);
    SlgSprSetAlpha(&w->obj, kFlashBlend);
    EffectRestart(t, *w);
    SetZoom(*w, kFlashStart);
    t->phase = 1;
    return;
  }
  const int64_t zoom = int64_t{EffectFrames(t, *w)} * kFlashGrowth + kFlashStart;
  SetZoom(*w, static_cast<int32_t>(std::min<int64_t>(zoom, kFlashFull)));
  if (zoom >= kFlashFull) t->phase = 2;  // ends on the next frame
}

// ---- The driver's pieces ----

SlgAttackCtx& AttackCtx() { return *Gattai().ctx; }

// Object 0 at pos, object 1 at pos + xOffset, the midpoint between them.
void PlaceObjects(const SlgPair& pos) {
  GattaiWork& g = Gattai();
  const SlgPair at1{pos.x + g.x_offset, pos.y};
  const SlgPair at[2] = {pos, at1};
  for (int i = 0; i < 2; ++i) {
    SlgAnmObj* obj = AttackCtx().objects[static_cast<size_t>(i)];
    if (obj == nullptr) continue;
    obj->x = at[i].x;
    obj->y = at[i].y;
    SlgSprSetPos(obj->handle, at[i]);
  }
  g.midpoint = {(pos.x + at1.x) >> 1, (pos.y + at1.y) >> 1};
}

bool ObjectsEnded() {
  for (int i = 0; i < 2; ++i) {
    if (SlgAnmObjIsEnd(AttackCtx().objects[static_cast<size_t>(i)]) == 0) return false;
  }
  return true;
}

// 1 when the set-up succeeded; 0 when the objects could not be made (traced).
int GattaiSetup(SlgUnit& unit, const SlgPair& pos) {
  BattleContext& b = Battle();
  GattaiWork& g = Gattai();
  b.attacker = &unit;
  DamageMember();
  g.unit = &unit;
  g.each_done = 0;
  SlgAttackCtx& ctx = AttackCtx();
  ctx.object_count = 2;
  if (AllocAnimeObjs(ctx.objects.data(), unit.anm, 2) == 0) {
    DebugPrint("GattaiAction: no animation objects (unit %d): the attack ends\n", unit.slot);
    return 0;
  }
  const int16_t depth = UnitDepth(&unit);
  const int16_t depths[2] = {kObj0Depth, kObj1Depth};
  for (int i = 0; i < 2; ++i) {
    SlgAnmObj* obj = ctx.objects[static_cast<size_t>(i)];
    obj->mode = kSlgAnmOnce;
    obj->depth = static_cast<int16_t>(depth + depths[i]);
    obj->frame = 0;
  }
  SlgAnmObj* body = ctx.objects[1];
  body->x = pos.x + kXOffset;
  body->y = pos.y;
  SlgPlayAnm(ctx.body_anims, kBodyAnimation, body, SURFACE_ROOT);
  if (body->handle != nullptr) SlgAnmPlayOnce(&body->handle);
  g.x_offset = kXOffset;
  ctx.counter_a = 0;
  ctx.counter_b = 0;
  return 1;
}

// The heroine routine of the character as "Gattai::EachCharacter"; a character byte with no
// routine (7 or more), or a routine that cannot start, has no part: eachDone at once.
void StartCharacter(uint8_t character) {
  GattaiWork& g = Gattai();
  g.character_task = nullptr;
  g.character_id = 0;
  if (character >= kGattaiCharacters || g.table[character] == nullptr) {
    DebugPrint("GattaiAction: character %d has no combination part\n", character);
    g.each_done = 1;
    return;
  }
  SlgEffectTask* t = EffectCreate(nullptr, g.table[character], "Gattai::EachCharacter");
  if (t == nullptr) {
    DebugPrint("GattaiAction: Gattai::EachCharacter refused\n");
    g.each_done = 1;
    return;
  }
  g.character_task = t;
  g.character_id = EffectWorkOf(t)->id;
}

// The closing: one start a call; true once the flash has started (or counts as ended).
bool Closing() {
  GattaiWork& g = Gattai();
  // A ring that cannot start never reaches full size: it counts as full at once, so the flash
  // never waits for it.
  if (g.ring_count == 0) {
    if (GattaiSpawn(&Ring, g.midpoint, "Gattai::Donuts1") == nullptr) ++g.rings_done;
    g.ring_count = 1;
  } else if (Frames() >= kDonut2Frames && g.ring_count == 1) {
    if (SlgEffectTask* t = GattaiSpawn(&Ring, g.midpoint, "Gattai::Donut2")) {
      t->index = 1;
    } else {
      ++g.rings_done;
    }
    g.ring_count = 2;
  } else if (g.rings_done >= 2) {
    g.flash_done = 0;
    if (GattaiSpawn(&Flash, g.midpoint, "Gattai::Akira") == nullptr) g.flash_done = 1;
    return true;
  }
  return false;
}

// Steps 8 and 9 of both openings: the closing's starts, then the wait for the flash; true at
// step 9 once the flash has ended.
bool ClosingStep(SlgUnit& unit) {
  ++AttackCtx().counter_a;
  if (unit.step == kStepClosing) {
    if (Closing()) unit.step = kStepFlash;
    return false;
  }
  return Gattai().flash_done == 1;
}

// The map's tone change over 1 frame and the screen cleared of any fade, before the closing.
void MapBack() {
  SlgMap::ToneChangeStart(1);
  SlgFadeIn(0);
}

void StartClosingClock() {
  GattaiWork& g = Gattai();
  AttackCtx().counter_a = 0;
  g.ring_count = 0;
  g.rings_done = 0;
  RestartClock();
}

void OpeningA(SlgUnit& unit, SlgPair& pos) {
  BattleContext& b = Battle();
  GattaiWork& g = Gattai();
  switch (unit.step) {
    case kStepWaitBody: {
      if (!ObjectsEnded()) break;
      CDdrawFunc& dd = Ctx().ddraw;
      // Every layer as the screen shows it, into the scratch surface, cut as the still.
      dd.CaptureLayers(SURFACE_ALL_LAYERS, SURFACE_SCRATCH);
      g.still_spr =
          Ctx().ddraw_spr.CreateSprite(0, 0, SURFACE_SCRATCH, 0, 0, kScreenW, kScreenH);
      g.still_entry = g.still_spr != nullptr
                          ? SlgSprCreate(CDdrawSpr::kBuffered, g.still_spr, 0, 0, SURFACE_ROOT,
                                         0, kStillDepth, 0)
                          : nullptr;
      g.saved_clear_flag = dd.GetClearFlag();
      dd.SetClearFlag(0);
      HideTargets(b.target_count);
      SetFlags(static_cast<uint16_t>((Flags() & kMaskNoUnits) | kFlagScene | kFlagStill));
      AttackCtx().counter_a = 0;
      StartCharacter(CharacterByte(unit));
      g.sparkle_count = 0;
      RestartClock();
      unit.step = kStepCharacter;
      break;
    }
    case kStepCharacter: {
      const int32_t n = Frames() / kSparkleInterval;
      if (n > g.sparkle_count) {
        g.sparkle_count = n;
        char name[32];
        std::snprintf(name, sizeof(name), "Gattai::KiraKira%d", n);
        GattaiSpawn(&Sparkle, g.midpoint, name);
      }
      if (g.each_done == 1) {
        StartClosingClock();
        MapBack();
        unit.step = kStepClosing;
      }
      break;
    }
    case kStepClosing:
    case kStepFlash:
      if (!ClosingStep(unit)) break;
      SetFlags(Flags() & kMaskNoStill);
      Ctx().ddraw_spr.DeleteBuffer(&g.still_entry);
      Ctx().ddraw_spr.DeleteSprite(&g.still_spr);
      g.still_entry = nullptr;
      g.still_spr = nullptr;
      Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
      ShowTargets(b.target_count);
      Ctx().ddraw.SetClearFlag(g.saved_clear_flag);
      unit.step = kStepFinish;
      break;
    default:
      break;
  }
  PlaceObjects(pos);
}

void OpeningB(SlgUnit& unit, SlgPair& pos) {
  BattleContext& b = Battle();
  GattaiWork& g = Gattai();
  const bool at_character = unit.step == kStepCharacter;
  switch (unit.step) {
    case kStepWaitBody:
      if (!ObjectsEnded()) break;
      AttackCtx().counter_a = 0;
      SlgFadeOut(kFadeFrames);
      unit.step = kStepWaitFade;
      break;
    case kStepWaitFade:
      if (SlgIsFadeEnd() == 0) break;
      HideTargets(b.target_count);
      SetFlags(static_cast<uint16_t>((Flags() & kMaskNoUnits) | kFlagScene));
      StartCharacter(CharacterByte(unit));
      RestartClock();
      unit.step = kStepCharacter;
      break;
    case kStepCharacter:
      if (g.each_done != 1) break;
      StartClosingClock();
      unit.step = kStepAfterFade;
      break;
    case kStepAfterFade:
      if (Frames() < kAfterFadeFrames) break;
      AttackCtx().counter_a = 0;
      RestartClock();
      ShowFlaggedUnits();
      ShowTargets(b.target_count);
      SetFlags(Flags() | kFlagUnitsShown);
      MapBack();
      unit.step = kStepClosing;
      break;
    case kStepClosing:
    case kStepFlash:
      if (ClosingStep(unit)) unit.step = kStepFinish;
      break;
    default:
      break;
  }
  if (!at_character) PlaceObjects(pos);
}

void RunOpening(SlgUnit& unit, SlgPair& pos) {
  if (GattaiOpeningB(CharacterByte(unit))) {
    OpeningB(unit, pos);
  } else {
    OpeningA(unit, pos);
  }
}

void Finish(SlgUnit& unit) {
  BattleContext& b = Battle();
  GattaiWork& g = Gattai();
  if (g.ctx != nullptr) {
    FreeAnimeObjs(g.ctx->objects.data(), 2);
    FreeAttackCtx(g.ctx);
    g.ctx = nullptr;
  }
  SetFlags(Flags() | kFlagUnitsShown);
  ShowFlaggedUnits();
  SetFlags(Flags() & kMaskThawed);
  b.cmd_busy = g.saved_busy;
  SlgBgmVolumeUp();
  SetUnitState(unit, kStateAfterAttack);
}

// ---- The heroine routines not built yet: a frame with nothing to play ----

bool NoStates(SlgEffectTask*, EffectWork&, GattaiFrame&) { return true; }

template <int Character>
void PendingCharacter(SlgEffectTask* task) {
  static constexpr GattaiCharacter kRoutine{.name = "Gattai (not built yet)",
                                            .family = Character,
                                            .window = nullptr,
                                            .slots = {-1, -1, -1, -1},
                                            .pictures = 0,
                                            .picture_surface = SURFACE_SCRATCH,
                                            .layer_on = false,
                                            .voice_at_setup = false,
                                            .start = nullptr,
                                            .states = &NoStates,
                                            .release = nullptr};
  GattaiCharacterStep(task, kRoutine);
}

}  // namespace

// ---- The block ----

GattaiWork& Gattai() { return Battle().Extension<GattaiWork>(); }

std::array<SlgBody, kGattaiCharacters> GattaiWork::DefaultTable() {
  return {&GattaiTamvik,        &GattaiTamvik,        &GattaiDavone,       &GattaiLunet,
          &GattaiYsol,          &PendingCharacter<4>, &PendingCharacter<5>};
}

bool GattaiOpeningB(int character) {
  return character >= 0 && character < static_cast<int>(kOpeningB.size()) &&
         kOpeningB[static_cast<size_t>(character)] != 0;
}

// ---- The driver ----

void GattaiAction(SlgUnit& unit, SlgPair& pos) {
  BattleContext& b = Battle();
  GattaiWork& g = Gattai();
  switch (unit.step) {
    case kStepContext: {
      const auto table = g.table;
      const auto stop = g.stop;
      g = GattaiWork{};
      g.table = table;
      g.stop = stop;
      g.ctx = CreateAttackCtx(unit);
      if (g.ctx == nullptr) return;  // the attack has ended
      unit.step = kStepSetup;
      return;
    }
    case kStepSetup: {
      if (unit.anm != nullptr) SlgAnmHide(unit.anm->handle);
      unit.stats.action_bytes[2] = unit.character;
      g.still_spr = nullptr;
      g.still_entry = nullptr;
      const int ready = GattaiSetup(unit, pos);
      SetFlags(static_cast<uint16_t>((Flags() & ~0x4u) | kFlagFrozen));
      SlgBgmVolumeDown();
      g.saved_busy = b.cmd_busy;
      b.cmd_busy = 1;
      if (ready == 0) {
        unit.step = kStepFinish;
        Finish(unit);
        return;
      }
      unit.step = kStepWaitBody;
      RunOpening(unit, pos);
      return;
    }
    case kStepFinish:
      Finish(unit);
      return;
    default:
      if (g.ctx == nullptr) {  // no context: nothing to play, the attack ends
        Finish(unit);
        return;
      }
      RunOpening(unit, pos);
      return;
  }
}

// ---- Pieces the heroine routines share ----

void GattaiPlay(EffectWork& w, SprAnm* set, uint32_t n, uint8_t mode) {
  if (set == nullptr) return;
  if (w.set == nullptr) w.set = SlgHoldAnmSet(set);
  w.obj.x = w.pos.x;
  w.obj.y = w.pos.y;
  w.obj.depth = w.depth;
  w.obj.mode = mode;
  SlgPlayAnm(set, n, &w.obj, SURFACE_ROOT);
  if (w.obj.handle != nullptr && (mode & kSlgAnmOnce) != 0) SlgAnmPlayOnce(&w.obj.handle);
}

void GattaiPlace(EffectWork& w) {
  w.obj.x = w.pos.x;
  w.obj.y = w.pos.y;
  if (w.obj.handle != nullptr) SlgSprSetPos(w.obj.handle, w.pos);
}

SlgEffectTask* GattaiPart(SlgEffectTask* parent, SlgBody body, const char* base, int number,
                          uint8_t index, const SlgPair& at) {
  char name[96];
  std::snprintf(name, sizeof(name), "%s%d", base, number);
  SlgEffectTask* t = EffectCreate(parent, body, name, at);
  if (t != nullptr) t->index = index;
  return t;
}

int32_t GattaiFramesSince(const SlgEffectTask* task, uint32_t start_ms) {
  return static_cast<int32_t>(int64_t{static_cast<int32_t>(task->now - start_ms)} * 60 / 1000);
}

// ---- The heroine-routine frame ----

namespace {

constexpr uint8_t kCharStop = 0;
constexpr uint8_t kCharSetup = 1;
constexpr uint8_t kCharVoice = 2;
constexpr uint8_t kCharStates = 4;
constexpr uint8_t kCharStopWord = 5;
constexpr uint8_t kCharEnd = 7;

uint32_t& StopWord(const GattaiCharacter& routine) {
  return Gattai().stop[static_cast<size_t>(std::clamp(routine.family, 0, kGattaiFamilies - 1))];
}

void PlayVoice() {
  if (const SlgUnit* unit = Gattai().unit) {
    SelectUnitVoice(*unit);
    PlayUnitVoice();
  }
}

// The state's sub-state back to 0 when the state changed, and the clock restarted whenever the
// (state, sub-state) pair changed.
void TrackSubState(const SlgEffectTask* task, EffectWork& w, GattaiFrame& f) {
  bool changed = false;
  if (w.state != w.prev) {
    w.prev = w.state;
    w.sub = 0;
    changed = true;
  }
  if (w.sub != f.prev_sub) {
    f.prev_sub = w.sub;
    changed = true;
  }
  if (changed) EffectRestart(task, w);
}

// Every end: the stop word set (the routine's tasks that end only on it end too), what the set-up
// made given back, the task ended, and both signals to the driver.
void EndCharacter(SlgEffectTask* task, const GattaiCharacter& routine) {
  GattaiWork& g = Gattai();
  StopWord(routine) = 1;
  if (auto* f = static_cast<GattaiFrame*>(task->owned[1])) {
    if (routine.release != nullptr) routine.release(*f);
    for (SprAnm*& anm : f->anms) {
      if (anm != nullptr) ReleaseUnitAnm(&anm);
      anm = nullptr;
    }
    for (BossPicture& picture : f->pictures) {
      if (picture.sprite != nullptr || picture.entry != nullptr) BossDeletePicture(picture);
    }
    if (f->layer_on != 0) SlgLayerRestore();
  }
  EffectEnd(task);
  if (g.character_task == task) g.character_task = nullptr;
  g.window_close = 1;
  g.each_done = 1;
}

// Step 1: false when the routine cannot play (its record, or one of its slots, missing).
bool SetUpCharacter(SlgEffectTask* task, EffectWork& w, const GattaiCharacter& routine) {
  auto* f = static_cast<GattaiFrame*>(SlgAlloc(sizeof(GattaiFrame)));
  if (f == nullptr) return false;
  task->owned[1] = f;
  if (routine.window != nullptr) f->window = EffectCreate(task, &GattaiWindow, routine.window);
  if (routine.start != nullptr) routine.start(task, w, *f);
  const SlgUnit* unit = Gattai().unit;
  if (unit == nullptr) return false;
  bool complete = true;
  for (size_t i = 0; i < routine.slots.size(); ++i) {
    if (routine.slots[i] < 0) continue;
    f->anms[i] = GetUnitAnm(unit->kind, routine.slots[i]);
    if (f->anms[i] == nullptr) {
      DebugPrint("%s: kind %d has no slot %d\n", routine.name, unit->kind, routine.slots[i]);
      complete = false;
    }
  }
  for (int i = 0; i < std::min(routine.pictures, kGattaiPictures); ++i) {
    BossCutPicture(*unit, i, routine.picture_surface, false, f->pictures[static_cast<size_t>(i)]);
  }
  if (routine.layer_on) {
    SlgLayerOn(SURFACE_ROOT, 2);
    f->layer_on = 1;
  }
  return complete;
}

}  // namespace

void GattaiCharacterStep(SlgEffectTask* task, const GattaiCharacter& routine) {
  EffectWork* w = EffectWorkOf(task);
  if (w == nullptr) {
    EndCharacter(task, routine);
    return;
  }
  uint32_t& stop = StopWord(routine);
  w->stop_word = &stop;  // the routine's tasks watch its family's word
  switch (task->phase) {
    case kCharStop:
      stop = 0;
      task->phase = kCharSetup;
      return;
    case kCharSetup:
      if (!SetUpCharacter(task, *w, routine)) {
        EndCharacter(task, routine);
        return;
      }
      EffectRestart(task, *w);
      if (routine.voice_at_setup) {
        PlayVoice();
        task->phase = kCharStates;
      } else {
        task->phase = kCharVoice;
      }
      return;
    case kCharVoice:
      PlayVoice();
      EffectRestart(task, *w);
      task->phase = kCharStates;
      return;
    case kCharStates: {
      auto& f = *static_cast<GattaiFrame*>(task->owned[1]);
      TrackSubState(task, *w, f);
      const bool done = routine.states(task, *w, f);
      TrackSubState(task, *w, f);
      if (done) task->phase = kCharStopWord;
      return;
    }
    case kCharStopWord:
      stop = 1;
      task->phase = kCharStopWord + 1;
      return;
    case kCharStopWord + 1:
      task->phase = kCharEnd;
      return;
    default:  // the end, or a stop from outside
      EndCharacter(task, routine);
      return;
  }
}

int32_t GattaiSubFrames(const SlgEffectTask* task, const EffectWork& work) {
  return EffectFrames(task, work);
}

// ---- The letterbox window ----

namespace {

constexpr int32_t kWindowOut = -240 * kPx;
constexpr int32_t kWindowIn = -176 * kPx;
constexpr int32_t kWindowGone = -0xEFFFFF;
constexpr int kWindowH = 64;
constexpr int kBarDepth = -1100;

enum : uint8_t { kWindowSlideIn, kWindowOpen, kWindowSlideOut, kWindowDone };

void RemoveBars(GattaiWork& g) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  if (g.bar_top != nullptr) sprites.DeleteBuffer(&g.bar_top);
  if (g.bar_bottom != nullptr) sprites.DeleteBuffer(&g.bar_bottom);
  g.bar_top = nullptr;
  g.bar_bottom = nullptr;
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

void PlaceBars(GattaiWork& g, int32_t offset) {
  RemoveBars(g);
  if (g.window_spr == nullptr) return;
  g.bar_top = SlgSprCreate(CDdrawSpr::kBuffered, g.window_spr, 0, (offset >> 16) + 176,
                           SURFACE_ROOT, 0, kBarDepth, 0);
  g.bar_bottom = SlgSprCreate(CDdrawSpr::kBuffered, g.window_spr, 0, (-offset >> 16) + 240,
                              SURFACE_ROOT, 0, kBarDepth, 0);
}

void CloseWindow(SlgEffectTask* task, GattaiWork& g) {
  RemoveBars(g);
  if (g.window_spr != nullptr) Ctx().ddraw_spr.DeleteSprite(&g.window_spr);
  g.window_spr = nullptr;
  SlgTaskEnd(task);
}

}  // namespace

void GattaiWindow(SlgEffectTask* task) {
  EffectWork* w = EffectWorkOf(task);
  GattaiWork& g = Gattai();
  if (w == nullptr || task->phase == kSlgPhaseStop) {
    CloseWindow(task, g);
    return;
  }
  int32_t& offset = w->pos.x;
  int32_t& start = w->start.x;
  if (task->phase == 0) {
    offset = kWindowOut;
    start = kWindowOut;
    EffectRestart(task, *w);
    Ctx().ddraw.ClearSurface(SURFACE_SCRATCH, 0);
    RemoveBars(g);
    if (g.window_spr != nullptr) Ctx().ddraw_spr.DeleteSprite(&g.window_spr);
    g.window_spr = Ctx().ddraw_spr.CreateSprite(0, 0, SURFACE_SCRATCH, 0, 0, kScreenW, kWindowH);
    // A close request already made by a routine that has ended stands: clearing it would leave
    // the bars on the screen for the rest of the battle.
    if (EffectParent(*w) != nullptr) g.window_close = 0;
    w->state = kWindowSlideIn;
    task->phase = 1;
  }
  const int32_t frames = EffectFrames(task, *w);
  switch (w->state) {
    case kWindowSlideIn:
      offset = start + frames * 2 * kPx;
      if (offset >= kWindowIn) {
        offset = kWindowIn;
        w->state = kWindowOpen;
      }
      break;
    case kWindowOpen:
      if (g.window_close == 1) {
        start = offset;
        EffectRestart(task, *w);
        w->state = kWindowSlideOut;
      }
      break;
    case kWindowSlideOut:
      offset = start - frames * 2 * kPx;
      if (offset < kWindowGone) {
        offset = kWindowOut;
        g.window_close = 0;
        w->state = kWindowDone;
      }
      break;
    default:
      CloseWindow(task, g);
      return;
  }
  PlaceBars(g, offset);
}
