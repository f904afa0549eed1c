#include "battle/slg_attack.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <new>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_gauge.h"
#include "battle/slg_geometry.h"
#include "battle/slg_hits.h"
#include "battle/slg_map.h"
#include "battle/slg_map_objects.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_spawn.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

const SlgPatternTable kSlgLeadInPatterns = {{{3, 0}, {2, 0}, {2, 16}, {3, 16}}};

namespace {

constexpr int32_t kPx = 0x10000;
constexpr uint8_t kStateStand = 0;
constexpr uint8_t kStateAttack = 6;
constexpr uint8_t kStateAfterAttack = 7;
constexpr uint8_t kStateCover = 14;
constexpr uint8_t kAttackSpecial = 1;
constexpr uint8_t kChangeAnmMode = 4;
constexpr int32_t kLeadInFrames = 7;
constexpr int32_t kSpecialFrames = 18;
constexpr int32_t kEndHoldFrames = 30;
constexpr int kToneFrames = 32;
constexpr uint32_t kEventFlagAttackDone = 951;
constexpr uint8_t kEventFlagCharacters = 7;
constexpr uint16_t kFlagSpecialScene = 0x80;
constexpr uint32_t kMenuKey = 2;
constexpr const char* kGaugeTaskName = "TamvikSlgFunc::DamageGage";

// End-step numbers of the attack ends (unit.step).
constexpr uint32_t kEndStart = 0;
constexpr uint32_t kEndGauges = 2;
constexpr uint32_t kEndHold = 3;

uint32_t Now() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }

// Frames at 60 per second since `start` (signed, toward zero).
int32_t FramesSince(uint32_t start) {
  const int64_t ms = static_cast<int32_t>(Now() - start);
  return static_cast<int32_t>(ms * 60 / 1000);
}

size_t UnitsInUse() { return std::min<size_t>(Battle().state.unit_count, kSlgMaxUnits); }

SlgUnit* UnitInSlot(int slot) {
  if (slot < 0 || static_cast<size_t>(slot) >= UnitsInUse()) return nullptr;
  return &Battle().state.units[static_cast<size_t>(slot)];
}

// The body object shows the table's pattern (frame count restarted) and mirror for the unit's
// direction; a direction above 3 keeps what it shows.
void ShowPattern(SlgUnit& unit, const SlgPatternTable& patterns) {
  if (unit.anm == nullptr || unit.dir > 3) return;
  SetAnmPattern(unit.anm, patterns[unit.dir].pattern);
  unit.anm->attr = patterns[unit.dir].attr;
}

// The body object and its sprite at `at`.
void PlaceBody(SlgUnit& unit, const SlgPair& at) {
  if (unit.anm == nullptr) return;
  unit.anm->x = at.x;
  unit.anm->y = at.y;
  if (unit.anm->handle != nullptr) SlgSprSetPos(unit.anm->handle, at);
}

SlgPair Offset(const SlgPair& a, const SlgPair& b) { return {a.x + b.x, a.y + b.y}; }

// step x frames, held at `end` once its size passes end's.
int32_t RecoilAt(int32_t step, int32_t frames, int32_t end) {
  const int64_t v = int64_t{step} * std::max(frames, 0);
  if (std::llabs(v) > std::llabs(int64_t{end})) return end;
  return static_cast<int32_t>(v);
}

void ClearRecoil(SlgAttackTimeline& t) {
  t.recoil = {};
  t.recoil_end = {};
  t.recoil_step = {};
}

// The hero is in his cover move (no hero on the map: he is not).
bool HeroCovering() {
  const SlgUnit* hero = UnitInSlot(Slg::FindUnitByChara(0));
  return hero != nullptr && hero->state == kStateCover;
}

// The start every lead-in shares: the timeline, the attacker and the damage list.
void StartTimeline(SlgUnit& unit, uint16_t wait) {
  BattleContext& b = Battle();
  b.attack.timeline_start = Now();
  if (unit.anm != nullptr) unit.anm->wait = wait;
  b.attacker = &unit;
  DamageMember();
  unit.step = 1;
}

// Takes the command-busy word for the attack, keeping the value to give back at its end.
void TakeCmdBusy() {
  BattleContext& b = Battle();
  b.attack.saved_busy = b.cmd_busy;
  b.cmd_busy = 1;
}

// The forms of the attack end.
struct EndForm {
  bool special = false;       // music, units shown, SlgFlags bit 7, busy given back
  bool tone = true;           // the tone change back (unless SlgNoTone)
  bool pattern = true;        // pattern and animation change
  bool event_flag = true;     // event flag 951 + character
  bool restore_busy = false;  // SlgCmdBusy := SlgSavedBusy at the end
};

void RunEnd(SlgUnit& unit, SlgPair& pos, const SlgPatternTable& patterns, const EndForm& form) {
  BattleContext& b = Battle();
  SlgAttackTimeline& t = b.attack;
  switch (unit.step) {
    case kEndStart:
      if (form.special) {
        ShowFlaggedUnits();
        SlgBgmVolumeBack();
      }
      if (form.tone && (form.special || t.no_tone == 0)) SlgMap::ToneChangeEnd(kToneFrames);
      if (form.pattern) {
        ShowPattern(unit, patterns);
        ChangeUnitAnm(unit, kChangeAnmMode);
      }
      if (form.special) b.flags = static_cast<uint16_t>(b.flags & ~kFlagSpecialScene);
      ClearRecoil(t);
      if (t.skip_gauge != 0) {
        t.timeline_start = Now();
        unit.step = kEndHold;
      } else {
        StartDamageGage();
        unit.step = kEndGauges;
      }
      return;
    case kEndGauges:
      if (DamageGageAlive() != 0) {
        PlaceBody(unit, pos);
        return;
      }
      t.timeline_start = Now();
      unit.step = kEndHold;
      return;
    case kEndHold:
      if (FramesSince(t.timeline_start) < kEndHoldFrames) return;
      if (form.restore_busy) b.cmd_busy = t.saved_busy;
      // Open until here: the state-7 entry picks the special end on every frame of it.
      if (form.special) t.special_open = 0;
      if (form.event_flag && unit.character < kEventFlagCharacters)
        SetEventFlag(kEventFlagAttackDone + unit.character);
      SetUnitState(unit, kStateStand);
      return;
    default:
      return;
  }
}

// ---- The damage-gauge sequence ----

struct GaugeWork {
  int32_t index;  // the target whose gauge runs
  int32_t slot;   // its gauge slot, -1 none
};

void CameraToAttacker() {
  const SlgUnit* attacker = Battle().attacker;
  if (attacker != nullptr) Slg::ScrollToCellPos({attacker->x, attacker->y});
}

void FocusTarget(int index) {
  Slg::ScrollToUnit(static_cast<uint32_t>(Battle().targets[static_cast<size_t>(index)]));
}

void EndGaugeSequence(SlgEffectTask* task) {
  BattleContext& b = Battle();
  b.attack.gauge_task_alive = 0;
  b.attack.gauge_task = nullptr;
  b.target_count = 0;
  SlgTaskEnd(task);
}

void DamageGageBody(SlgEffectTask* task) {
  BattleContext& b = Battle();
  auto* w = static_cast<GaugeWork*>(task->owned[0]);
  const int count = std::clamp<int>(b.target_count, 0, kSlgMaxUnits);
  switch (task->phase) {
    case 0:
      if (count == 0) {
        CameraToAttacker();
        task->phase = 3;
        return;
      }
      w->index = 0;
      FocusTarget(0);
      task->phase = 1;
      return;
    case 1:
      // The camera is stepped here: the sequence waits on its arrival.
      if (Slg::ScrollStep() == 0) return;
      w->slot = DGaugeCreateForUnit(b.targets[static_cast<size_t>(w->index)], -1,
                                    count == 1 ? 2 : 3, 0);
      task->phase = 2;
      return;
    case 2:
      if (DGaugeRunning(w->slot) != 0) return;
      ++w->index;
      if (w->index < count) {
        FocusTarget(w->index);
        task->phase = 1;
      } else {
        CameraToAttacker();
        task->phase = 3;
      }
      return;
    case 3:
      if (Slg::ScrollStep() == 0) return;
      EndGaugeSequence(task);
      return;
    default:  // asked to stop
      EndGaugeSequence(task);
      return;
  }
}

}  // namespace

SlgPair SlgRecoilOf(int kind) {
  switch (kind) {
    case 1:
    case 13: return {32, 16};
    case 2: return {4, 2};
    case 14:
    case 15:
    case 21:
    case 22: return {16, 8};
    case 34:
    case 35: return {8, 4};
    default: return {0, 0};
  }
}

// ---- Attack context and objects ----

SlgAttackCtx* CreateAttackCtx(SlgUnit& unit) { return CreateAttackCtx(unit, &EndAttack); }

SlgAttackCtx* CreateAttackCtx(SlgUnit& unit, void (*end)(SlgUnit& unit)) {
  void* block = SlgAlloc(sizeof(SlgAttackCtx));
  if (block == nullptr) {
    DebugPrint("CreateAttackCtx: no memory for the context\n");
    end(unit);
    return nullptr;
  }
  // The whole context starts cleared: the routine's words hold no stale values.
  auto* ctx = new (block) SlgAttackCtx{};
  ctx->unit = &unit;
  const int type = unit.stats.attack_type;
  ctx->body_anims = GetUnitAnm(unit.kind, GetAtkBodyUnitAnmfromAtkType(type));
  ctx->effect_anims = GetUnitAnm(unit.kind, GetAtkEffectUnitAnmfromAtkType(type));
  if (ctx->body_anims == nullptr || ctx->effect_anims == nullptr) {
    ReleaseUnitAnm(&ctx->body_anims);
    ReleaseUnitAnm(&ctx->effect_anims);
    SlgFree(ctx);
    end(unit);
    return nullptr;
  }
  ctx->mark_a = ctx->mark_b = -1;
  return ctx;
}

void FreeAttackCtx(SlgAttackCtx* ctx) {
  if (ctx == nullptr) return;
  if (ctx->body_anims != nullptr) ReleaseUnitAnm(&ctx->body_anims);
  if (ctx->effect_anims != nullptr) ReleaseUnitAnm(&ctx->effect_anims);
  SlgFree(ctx);
}

int AllocAnimeObjs(SlgAnmObj** objs, const SlgAnmObj* templ, int n) {
  if (objs == nullptr || n <= 0) return 1;
  for (int i = 0; i < n; ++i) {
    auto* obj = static_cast<SlgAnmObj*>(SlgAlloc(sizeof(SlgAnmObj)));
    if (obj == nullptr) {
      for (int j = 0; j < i; ++j) SlgFree(objs[j]);
      std::fill(objs, objs + n, nullptr);
      DebugPrint("AllocAnimeObjs: no memory for object %d of %d\n", i, n);
      return 0;
    }
    if (templ != nullptr) {
      obj->x = templ->x;
      obj->y = templ->y;
      obj->depth = templ->depth;
    }
    objs[i] = obj;
  }
  return 1;
}

void FreeAnimeObjs(SlgAnmObj** objs, int n) {
  if (objs == nullptr) return;
  for (int i = 0; i < n; ++i) {
    SlgAnmObj* obj = objs[i];
    if (obj == nullptr) continue;
    if (obj->handle != nullptr) Scene().tamvik_spr.ReleaseAnm(&obj->handle);
    SlgFree(obj);
  }
}

// ---- Damage list and visibility ----

int DamageMember() {
  BattleContext& b = Battle();
  const int wanted = CountHitUnits();
  std::array<int8_t, kSlgMaxUnits> list{};
  int count = 0;
  for (int slot = 0; slot < kSlgMaxUnits && count < wanted; ++slot) {
    const uint32_t flags = b.state.units[static_cast<size_t>(slot)].flags;
    if ((flags & kUnitOnGrid) != 0 && (flags & kUnitInDamageList) != 0)
      list[static_cast<size_t>(count++)] = static_cast<int8_t>(slot);
  }
  const SlgUnit* a = b.attacker;
  const int64_t ax = a != nullptr ? a->x : 0;
  const int64_t ay = a != nullptr ? a->y : 0;
  auto distance = [&](int8_t slot) {
    const SlgUnit& u = b.state.units[static_cast<size_t>(slot)];
    return std::llabs(u.x - ax) + std::llabs(u.y - ay);
  };
  // Nearest first; units at the same distance keep their slot order. The slot breaks the tie
  // (the list is in slot order and holds each slot once), so a plain sort gives the stable
  // order without the merge buffer a stable sort allocates in the middle of an attack.
  std::sort(list.begin(), list.begin() + count, [&](int8_t l, int8_t r) {
    const int64_t dl = distance(l);
    const int64_t dr = distance(r);
    return dl != dr ? dl < dr : l < r;
  });
  b.targets.fill(-1);
  std::copy(list.begin(), list.begin() + count, b.targets.begin());
  b.target_count = static_cast<int8_t>(count);
  DebugPrint("DamageMember\n");
  for (int i = 0; i < count; ++i) DebugPrint("%4d ", b.targets[static_cast<size_t>(i)]);
  return count;
}

namespace {

template <typename Fn>
void ForTargets(int n, Fn fn) {
  BattleContext& b = Battle();
  const int count = std::clamp(n, 0, kSlgMaxUnits);
  for (int i = 0; i < count; ++i) {
    if (SlgUnit* u = UnitInSlot(b.targets[static_cast<size_t>(i)])) fn(*u);
  }
}

void Hide(SlgUnit& u) {
  u.flags &= ~kUnitShown;
  Slg::HideUnit(u);
}
void Show(SlgUnit& u) {
  u.flags |= kUnitShown;
  Slg::ShowUnit(u);
}

bool Unflagged(const SlgUnit& u) { return u.flags != 255 && (u.flags & kUnitShowFlagged) == 0; }

}  // namespace

void ShowTargets(int n) { ForTargets(n, Show); }
void HideTargets(int n) { ForTargets(n, Hide); }

namespace {

// Every unit the damage list names, up to its first -1 entry.
template <typename Fn>
void ForListedUnits(Fn fn) {
  const BattleContext& b = Battle();
  for (int8_t slot : b.targets) {
    if (slot < 0) break;
    if (SlgUnit* u = UnitInSlot(slot)) fn(*u);
  }
}

}  // namespace

int FindTargetSlot(int slot) {
  const BattleContext& b = Battle();
  for (size_t i = 0; i < b.targets.size(); ++i) {
    if (b.targets[i] < 0) break;
    if (b.targets[i] == slot) return static_cast<int>(i);
  }
  return -1;
}

void MarkTargetsFlag4() {
  ForListedUnits([](SlgUnit& u) { u.flags |= kUnitHitNow; });
}

void HideTargetObjects() {
  ForListedUnits([](SlgUnit& u) {
    if (u.kind >= 38 && u.kind <= 46) Hide(u);
  });
}

void HideUnflaggedUnits() {
  for (size_t i = 0; i < UnitsInUse(); ++i) {
    SlgUnit& u = Battle().state.units[i];
    if (Unflagged(u)) Hide(u);
  }
}

void ShowUnflaggedUnits() {
  for (size_t i = 0; i < UnitsInUse(); ++i) {
    SlgUnit& u = Battle().state.units[i];
    if (Unflagged(u)) Show(u);
  }
}

void HideNonTargets() {
  const SlgUnit* attacker = Battle().attacker;
  for (SlgUnit& u : Battle().state.units) {
    // The attacker stays: the main task updates only units with 0x80, and its state-6 routine
    // (which hides its body itself) must go on running for the attack to end.
    if (&u == attacker) continue;
    if ((u.flags & kUnitShowFlagged) != 0 && (u.flags & kUnitInDamageList) == 0) Hide(u);
  }
}

namespace Slg {

void HideUnit(SlgUnit& unit) {
  if (unit.kind == kSlgKindFactory) {
    HideFactory(unit);
    return;
  }
  if (unit.anm != nullptr && unit.anm->handle != nullptr) SlgAnmHide(unit.anm->handle);
}

void ShowUnit(SlgUnit& unit) {
  if (unit.kind == kSlgKindFactory) {
    ShowFactory(unit);
    return;
  }
  if (unit.anm != nullptr) SlgAnmObjShow(unit.anm);
}

}  // namespace Slg

// ---- Attack ends ----

void EndAttack(SlgUnit& unit) {
  const uint8_t type = unit.stats.attack_type;
  if (type == 0 || type == 2) {
    EndNormalAttack(unit);
  } else {
    EndSpecialAttack(unit);
  }
}

void EndEmptyAttack(SlgUnit& unit, const char* where) {
  DebugPrint("%s: kind %d has no attack routine (unit %d): the attack ends\n", where, unit.kind,
             unit.slot);
  EndAttack(unit);
}

void EndNormalAttack(SlgUnit& unit) {
  Slg::MarkHitUnits(unit);
  unit.stats.attack_type = 0;
  SetUnitState(unit, kStateAfterAttack);
}

void EndSpecialAttack(SlgUnit& unit) {
  SlgFadeIn(kSpecialFrames);
  ShowTargets(Battle().target_count);
  ShowFlaggedUnits();
  SlgBgmVolumeBack();
  EndNormalAttack(unit);
}

// ---- Lead-ins ----

void AttackLeadIn(SlgUnit& unit, SlgPair& pos, const SlgPatternTable& patterns) {
  BattleContext& b = Battle();
  SlgAttackTimeline& t = b.attack;
  if (unit.step == 0) {
    ShowPattern(unit, patterns);
    ChangeUnitAnm(unit, kChangeAnmMode);
    if (t.no_tone == 0) SlgMap::ToneChangeStart(kToneFrames);
    // The recoil pushes the attacker back from the way it faces.
    static constexpr int32_t kSignX[4] = {-1, -1, 1, 1};
    static constexpr int32_t kSignY[4] = {1, -1, -1, 1};
    if (unit.dir <= 3) {
      const SlgPair r = SlgRecoilOf(unit.kind);
      t.recoil_end = {kSignX[unit.dir] * r.x * kPx, kSignY[unit.dir] * r.y * kPx};
    }
    t.recoil_step = {t.recoil_end.x / 5, t.recoil_end.y / 5};
    t.recoil = {};
    StartTimeline(unit, kLeadInFrames);
  }
  const int32_t frames = FramesSince(t.timeline_start);
  t.recoil = {RecoilAt(t.recoil_step.x, frames, t.recoil_end.x),
              RecoilAt(t.recoil_step.y, frames, t.recoil_end.y)};
  PlaceBody(unit, Offset(pos, t.recoil));
  if (frames < kLeadInFrames) return;
  SetUnitState(unit, kStateAttack);
  if (IsKeyHeld(kMenuKey) != 0 && b.event_busy == 0 && !HeroCovering()) EndNormalAttack(unit);
}

void SpecialLeadIn(SlgUnit& unit, SlgPair& pos, const SlgPatternTable& patterns) {
  BattleContext& b = Battle();
  SlgAttackTimeline& t = b.attack;
  if (unit.step == 0) {
    b.flags |= kFlagSpecialScene;
    t.special_open = 1;
    SlgBgmVolumeDip();
    ShowPattern(unit, patterns);
    ChangeUnitAnm(unit, kChangeAnmMode);
    SlgFadeOut(kSpecialFrames);
    SlgMap::ToneChangeStart(1);
    ClearRecoil(t);
    t.kind5_variant = unit.kind == 5 && (SlgRand() & 48) == 48 ? 1 : 0;
    StartTimeline(unit, kSpecialFrames);
  }
  PlaceBody(unit, pos);
  if (FramesSince(t.timeline_start) < kSpecialFrames) return;
  TakeCmdBusy();
  HideNonTargets();
  b.flags = static_cast<uint16_t>((b.flags & 0xFFF9) | 0x60);
  SetUnitState(unit, kStateAttack);
  if (IsKeyHeld(kMenuKey) != 0 && b.event_busy == 0 && unit.side == 0) EndSpecialAttack(unit);
}

void AttackLeadInPlain(SlgUnit& unit, SlgPair& pos, const SlgPatternTable& patterns) {
  SlgAttackTimeline& t = Battle().attack;
  if (unit.step == 0) {
    ShowPattern(unit, patterns);
    ChangeUnitAnm(unit, kChangeAnmMode);
    ClearRecoil(t);
    StartTimeline(unit, kLeadInFrames);
  }
  PlaceBody(unit, pos);
  if (FramesSince(t.timeline_start) < kLeadInFrames) return;
  SetUnitState(unit, kStateAttack);
}

void AttackLeadInKind(SlgUnit& unit, SlgPair& pos) {
  SlgAttackTimeline& t = Battle().attack;
  if (unit.step == 0) {
    ClearRecoil(t);
    StartTimeline(unit, kLeadInFrames);
  }
  PlaceBody(unit, pos);
  if (FramesSince(t.timeline_start) < kLeadInFrames) return;
  TakeCmdBusy();
  SelectSpecialVoice(unit, int{t.attack_kind} - 1);
  PlayUnitVoice();
  DebugPrint("OrbileAttackKind: %d\n", t.attack_kind);
  SetUnitState(unit, kStateAttack);
}

// ---- Ends ----

void AttackEnd(SlgUnit& unit, SlgPair& pos, const SlgPatternTable& patterns) {
  RunEnd(unit, pos, patterns, EndForm{});
}

void SpecialEnd(SlgUnit& unit, SlgPair& pos, const SlgPatternTable& patterns) {
  RunEnd(unit, pos, patterns, EndForm{.special = true, .restore_busy = true});
}

void AttackEndPlain(SlgUnit& unit, SlgPair& pos, const SlgPatternTable& patterns) {
  RunEnd(unit, pos, patterns, EndForm{.tone = false, .event_flag = false});
}

void AttackEndKind(SlgUnit& unit, SlgPair& pos) {
  RunEnd(unit, pos, kSlgLeadInPatterns,
         EndForm{.tone = false, .pattern = false, .event_flag = false, .restore_busy = true});
}

// ---- State entries ----

void AttackStateLeadIn(SlgUnit& unit, SlgPair& pos) {
  AttackStateLeadInT(unit, pos, kSlgLeadInPatterns);
}

void AttackStateLeadInT(SlgUnit& unit, SlgPair& pos, const SlgPatternTable& patterns) {
  Battle().attack.hide_on_start = 1;
  if (unit.stats.attack_type == kAttackSpecial) {
    SpecialLeadIn(unit, pos, patterns);
  } else {
    AttackLeadIn(unit, pos, patterns);
  }
}

void AttackStateEnd(SlgUnit& unit, SlgPair& pos) { AttackStateEndT(unit, pos, kSlgLeadInPatterns); }

void AttackStateEndT(SlgUnit& unit, SlgPair& pos, const SlgPatternTable& patterns) {
  // EndSpecialAttack clears the attack type before state 7: an open special lead-in still ends
  // through the special end (music, SlgFlags bit 7, the command-busy word given back).
  if (unit.stats.attack_type == kAttackSpecial || Battle().attack.special_open != 0) {
    SpecialEnd(unit, pos, patterns);
  } else {
    AttackEnd(unit, pos, patterns);
  }
}

namespace Slg {

void AttackState(SlgUnit& unit, SlgPair& pos) {
  BattleContext& b = Battle();
  SlgAttackTimeline& t = b.attack;
  pos = Offset(pos, t.recoil);
  if (t.hide_on_start != 0 && (unit.step != 0 || (unit.anm != nullptr && unit.anm->state != 0))) {
    if (unit.anm != nullptr && unit.anm->handle != nullptr) SlgAnmHide(unit.anm->handle);
    t.hide_on_start = 0;
  }
  SlgAttackRoutine routine = unit.kind < kSlgActionRows ? b.action_table[unit.kind] : nullptr;
  if (routine != nullptr) {
    routine(unit, pos);
  } else {
    EndEmptyAttack(unit, "Slg::AttackState");
  }
  if (unit.state != kStateAttack) {
    if (unit.anm != nullptr) SlgAnmObjShow(unit.anm);
    PlaceBody(unit, pos);
  }
}

void CombinationState(SlgUnit& unit, SlgPair& pos) {
  const SlgGattaiTable& table = Battle().gattai_table;
  SlgAttackRoutine routine = unit.kind < table.size() ? table[unit.kind] : nullptr;
  if (routine != nullptr) {
    routine(unit, pos);
  } else {
    EndEmptyAttack(unit, "Slg::CombinationState");
  }
}

}  // namespace Slg

// ---- Damage-gauge sequence ----

void StartDamageGage() {
  SlgAttackTimeline& t = Battle().attack;
  SlgEffectTask* task = SlgTaskCreateWork(&DamageGageBody, sizeof(GaugeWork), kGaugeTaskName);
  t.gauge_task = task;
  t.gauge_task_alive = task != nullptr ? 1 : 0;
  if (task != nullptr) static_cast<GaugeWork*>(task->owned[0])->slot = -1;
}

uint32_t DamageGageAlive() { return Battle().attack.gauge_task_alive; }
