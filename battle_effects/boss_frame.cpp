#include "battle_effects/boss_frame.h"

#include <algorithm>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_strip_wave.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

constexpr uint16_t kUnitsShown = 0x6;  // SlgFlags bits 1-2
constexpr uint8_t kStateAfterAttack = 7;

}  // namespace

// ---- Work and step ----

uint8_t* BossStep(SlgUnit& unit) { return unit.anm != nullptr ? &unit.anm->state : nullptr; }

void BossNoStep(SlgUnit& unit) {
  DebugPrint("Boss attack: kind %d has no body object (unit %d): the attack ends\n", unit.kind,
             unit.slot);
  EndAttack(unit);
}

// ---- Taking and giving back ----

bool BossTakeAnms(BossBase& w, BossAttack attack) {
  const bool special = attack == BossAttack::kSpecial;
  const int kind = w.unit->kind;
  w.anms.body = GetUnitAnm(kind, special ? kAnmSpecialBody : kAnmAttackBody);
  w.anms.effect = GetUnitAnm(kind, special ? kAnmSpecialEffect : kAnmAttackEffect);
  if (w.anms.body != nullptr && w.anms.effect != nullptr) return true;
  BossReleaseAnms(w.anms);
  EndAttack(*w.unit);
  return false;
}

void BossReleaseAnms(BossAnms& anms) {
  if (anms.body != nullptr) ReleaseUnitAnm(&anms.body);
  if (anms.effect != nullptr) ReleaseUnitAnm(&anms.effect);
  anms = {};
}

bool BossAllocObjs(BossBase& w, std::span<const BossObjList> lists) {
  for (size_t i = 0; i < lists.size(); ++i) {
    if (AllocAnimeObjs(lists[i].objs, nullptr, lists[i].count) != 0) continue;
    BossFreeObjs(lists.first(i));
    BossReleaseAnms(w.anms);
    EndAttack(*w.unit);
    return false;
  }
  return true;
}

bool BossAllocObjs(BossBase& w, std::initializer_list<BossObjList> lists) {
  return BossAllocObjs(w, std::span<const BossObjList>(lists.begin(), lists.size()));
}

void BossFreeObjs(std::span<const BossObjList> lists) {
  for (const BossObjList& list : lists) {
    if (list.objs == nullptr || list.count <= 0) continue;
    FreeAnimeObjs(list.objs, list.count);
    std::fill(list.objs, list.objs + list.count, nullptr);
  }
}

void BossFreeObjs(std::initializer_list<BossObjList> lists) {
  BossFreeObjs(std::span<const BossObjList>(lists.begin(), lists.size()));
}

void BossFinish(BossBase& w, uint32_t event_flag) {
  BossReleaseAnms(w.anms);
  if (event_flag != 0) SetEventFlag(event_flag);
  SetUnitState(*w.unit, kStateAfterAttack);
}

// ---- Playing and placing ----

int16_t BossUnitDepth(const SlgUnit& unit) {
  if (unit.anm != nullptr) return unit.anm->depth;
  return static_cast<int16_t>(SlgCalcDepth(unit.x >> 16, unit.y >> 16));
}

uint16_t BossUnitAttr(const SlgUnit& unit) { return unit.anm != nullptr ? unit.anm->attr : 0; }

SlgPair BossUnitScreen(const SlgUnit& unit) { return Slg::PosToScreen({unit.x, unit.y}); }

const SlgUnit& BossAttackedUnit(const SlgUnit& acting) {
  BattleContext& b = Battle();
  const uint8_t slot = acting.stats.action_bytes[0];
  if (SlgSlotInUse(slot) && FindTargetSlot(slot) >= 0) return b.state.units[slot];
  if (b.target_count > 0 && b.targets[0] >= 0) {
    return b.state.units[static_cast<size_t>(b.targets[0])];
  }
  return acting;
}

int BossListedTargets() {
  const BattleContext& b = Battle();
  int n = 0;
  while (n < std::min<int>(b.target_count, kSlgMaxUnits) && b.targets[static_cast<size_t>(n)] >= 0)
    ++n;
  return n;
}

SlgPair BossRandomScreenPoint() {
  const int32_t x = SlgRand() % 640 - 320;
  const int32_t y = SlgRand() % 480 - 240;
  return {x * 0x10000, y * 0x10000};
}

AnimeHandle BossPlay(SlgAnmObj* obj, SprAnm* set, uint32_t n, const SlgPair& at, int depth,
                     uint16_t attr, uint8_t mode) {
  if (obj == nullptr) return nullptr;
  obj->x = at.x;
  obj->y = at.y;
  obj->depth = static_cast<int16_t>(depth);
  obj->mode = mode;
  return SlgPlayAnmAttr(set, n, obj, SURFACE_ROOT, attr);
}

AnimeHandle BossPlayDir(SlgAnmObj* obj, SprAnm* set, const BossDirAnm& row, const BossBase& w,
                        uint8_t mode) {
  const SlgUnit& u = *w.unit;
  return BossPlay(obj, set, row.anm[u.dir & 3], w.pos, BossUnitDepth(u) + row.depth,
                  BossUnitAttr(u), mode);
}

void BossFollow(SlgAnmObj* obj, const SlgPair& at) {
  if (obj == nullptr) return;
  obj->x = at.x;
  obj->y = at.y;
  if (obj->handle != nullptr) SlgSprSetPos(obj->handle, at);
}

void BossStartObj(SlgAnmObj* obj) {
  if (obj != nullptr) SlgAnmShow(obj->handle);
}

void BossRelease(SlgAnmObj* obj) {
  if (obj != nullptr && obj->handle != nullptr) Scene().tamvik_spr.ReleaseAnm(&obj->handle);
}

int BossObjsEnded(std::span<SlgAnmObj* const> objs) {
  for (const SlgAnmObj* obj : objs) {
    if (SlgAnmObjIsEnd(obj) == 0) return 0;
  }
  return 1;
}

// ---- The special attack's shape ----

bool BossCutPicture(const SlgUnit& unit, int picture, SurfaceId surface, bool centred,
                    BossPicture& out) {
  out = {};
  Rect rect{};
  if (LoadAttackBg(unit, picture, surface, &rect) == 0) {
    DebugPrint("Boss attack: kind %d has no background %d\n", unit.kind, picture);
    return false;
  }
  const int w = rect.right - rect.left;
  const int h = rect.bottom - rect.top;
  out.sprite = Ctx().ddraw_spr.CreateSprite(centred ? -w / 2 : 0, centred ? -h / 2 : 0, surface,
                                            rect.left, rect.top, rect.right, rect.bottom);
  return out.sprite != nullptr;
}

void BossShowPicture(BossPicture& picture, int x, int y, int depth) {
  if (picture.sprite == nullptr) return;
  Ctx().ddraw_spr.DeleteBuffer(&picture.entry);
  picture.entry =
      SlgSprCreate(CDdrawSpr::kBuffered, picture.sprite, x, y, SURFACE_ROOT, 0, depth, 0);
}

void BossDeletePicture(BossPicture& picture) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  if (picture.entry != nullptr) sprites.DeleteBuffer(&picture.entry);
  if (picture.sprite != nullptr) sprites.DeleteSprite(&picture.sprite);
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

SlgEffectTask* BossLineScrollStart(const SlgUnit& unit, int picture, const char* name,
                                   const BossLineScroll& s) {
  if (LoadAttackBg(unit, picture, s.source, nullptr) == 0) {
    DebugPrint("Boss attack: kind %d has no background %d: no %s\n", unit.kind, picture, name);
    return nullptr;
  }
  SlgEffectTask* task = SlgLineScrollStart(name, s.source, s.x_offset, s.top, s.width,
                                           s.band_height, s.strip_height, s.dest, s.mode, s.depth);
  if (task == nullptr) {
    DebugPrint("Boss attack: %s refused\n", name);
    return nullptr;
  }
  SlgLineScrollSetAmp(task, s.amp_start, s.amp_limit, s.amp_growth);
  SlgLineScrollSetStep(task, s.step_strip, s.step_frame);
  if (s.scroll_band != 0)
    SlgLineScrollSetScroll(task, s.scroll_band, s.scroll_wrap, s.scroll_speed);
  SlgLineScrollSetAlpha(task, s.alpha);
  return task;
}

SlgEffectTask* BossWideLineScrollStart(const SlgUnit& unit, int picture, const char* name,
                                       const BossLineScroll& s) {
  CDdrawFunc& ddraw = Ctx().ddraw;
  const int width = s.width + 2 * s.x_offset;
  const int height = s.band_height + std::max(s.top, 0);
  const bool resized = ddraw.ResizeSurface(s.source, 0, width, height) != 0;
  if (!resized) DebugPrint("Boss attack: surface %d not resized for %s: its strips are cut short\n",
                           s.source, name);
  SlgEffectTask* task = BossLineScrollStart(unit, picture, name, s);
  if (resized && ddraw.GiveBackLayerSurface(s.source, 0) == 0) {
    DebugPrint("Boss attack: surface %d not given back after the cut of %s\n", s.source, name);
  }
  return task;
}

void BossSceneOn(const BossBase& w, const BossSpecialShape& shape) {
  SlgLayerOn(SURFACE_ROOT, shape.layer_mode);
  SelectUnitVoice(*w.unit);
  PlayUnitVoice();
}

void BossEnterScene(const BossSpecialShape& shape) {
  BattleContext& b = Battle();
  b.flags = static_cast<uint16_t>(b.flags & ~kUnitsShown);
  HideTargets(b.target_count);
  b.kind_states.boss_shadow = 0;
  SlgFadeIn(shape.enter_fade);
}

void BossReturnToMap(const BossSpecialShape& shape, SlgEffectTask*& line_scroll) {
  BattleContext& b = Battle();
  SlgLayerRestore();
  if (line_scroll != nullptr) SlgTaskStop(line_scroll);
  line_scroll = nullptr;
  ShowFlaggedUnits();
  b.flags = static_cast<uint16_t>(b.flags | kUnitsShown);
  ShowTargets(b.target_count);
  if (shape.return_fade != 0) SlgWhiteIn(shape.return_fade);
}

void BossShadowOn() { Battle().kind_states.boss_shadow = 1; }
