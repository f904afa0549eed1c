#include "battle_events/runtime/shared_effects.h"

#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_event_entries.h"
#include "battle/slg_task.h"
#include "battle_events/runtime/effect_objects.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"

void InstallSharedEffects(BattleContext& battle) {
  SlgEventEntries& e = battle.events;
  InstallEventEntry(e, &SlgEventEntries::ctrl_stop_effect, &SharedEffects::CtrlStopEffect,
                    "ctrl_stop_effect");
  InstallEventEntry(e, &SlgEventEntries::ctrl_jump_effect, &SharedEffects::CtrlJumpEffect,
                    "ctrl_jump_effect");
  InstallEventEntry(e, &SlgEventEntries::fall_effect, &SharedEffects::SlgFallEffect,
                    "fall_effect");
  InstallEventEntry(e, &SlgEventEntries::fall_effect2, &SharedEffects::SlgFallEffect2,
                    "fall_effect2");
  InstallEventEntry(e, &SlgEventEntries::flash_effect, &SharedEffects::SlgFlashEffect,
                    "flash_effect");
}

SharedEffectsState::~SharedEffectsState() {
  if (seam == nullptr) return;
  SlgFreeTo(*seam, fall);
  SlgFreeTo(*seam, fall2);
}

// ---- The effects' common pieces ----

uint32_t EffectNow() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }

int32_t EffectFrames(uint32_t start) {
  return static_cast<int32_t>(int64_t{static_cast<int32_t>(EffectNow() - start)} * 60 / 1000);
}

SlgAnmObj* MakeEffectObj(uint8_t pattern, uint16_t attr, uint16_t shade, uint8_t mode,
                         int32_t depth, const SlgPair& pos) {
  SlgAnmObj* obj = CreateAnmObj(pattern, attr);
  if (obj == nullptr) return nullptr;
  obj->shade = shade;
  obj->attr2 = 0;
  obj->mode = mode;
  obj->depth = static_cast<int16_t>(depth);
  SetAnmPos(obj, pos);
  return obj;
}

void PlayEffectObj(SprAnm* list, SlgAnmObj* obj, bool once) {
  if (obj == nullptr) return;
  SlgPlayAnm(list, obj->pattern, obj, SURFACE_ROOT);
  if (once) SlgAnmPlayOnce(&obj->handle);
}

void KeepEffectAt(SlgAnmObj* obj, const SlgPair& pos) {
  if (obj == nullptr) return;
  SetAnmPos(obj, pos);
  if (obj->handle != nullptr) SlgSprSetPos(obj->handle, pos);
}

void SetEffectDepth(SlgAnmObj* obj, int32_t depth) {
  if (obj == nullptr || obj->depth == depth) return;
  obj->depth = static_cast<int16_t>(depth);
  if (obj->handle != nullptr) SlgSprSetPri(obj->handle, depth);
}

void FreeEffectObj(SlgAnmObj*& obj) {
  FreeAnmObj(obj);
  obj = nullptr;
}

int32_t UnitBodyDepth(const SlgUnit& unit) {
  return unit.anm != nullptr ? unit.anm->depth : SlgCalcDepth(unit.x, unit.y);
}

uint16_t UnitShade(const SlgUnit& unit) { return unit.anm != nullptr ? unit.anm->shade : 0; }

bool MakeUnitRef(const SlgUnit& unit, SlgUnitRef& ref) {
  const auto& units = Battle().state.units;
  const auto first = reinterpret_cast<uintptr_t>(units.data());
  const auto at = reinterpret_cast<uintptr_t>(&unit);
  if (at < first || at >= first + sizeof(units)) return false;
  ref = {static_cast<uint8_t>((at - first) / sizeof(SlgUnit)), unit.kind, unit.side,
         unit.character, unit.entry};
  return true;
}

SlgUnit* FindUnitRef(const SlgUnitRef& ref) {
  SlgBattleState& s = Battle().state;
  if (ref.slot >= s.unit_count || ref.slot >= s.units.size()) return nullptr;
  SlgUnit& u = s.units[ref.slot];
  const bool same = u.kind == ref.kind && u.side == ref.side && u.character == ref.character &&
                    u.entry == ref.entry;
  return same && u.step != kSlgDeadStep ? &u : nullptr;
}
