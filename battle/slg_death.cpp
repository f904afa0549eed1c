#include "battle/slg_death.h"

#include <cstddef>
#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr uint32_t kStepStart = 0;
constexpr uint32_t kStepFirstWait = 1;
constexpr uint32_t kStepSecondWait = 2;
constexpr uint32_t kStepFinal = 3;

constexpr int32_t kBlinkPeriod = 2;
constexpr uint32_t kMenuKey = 2;
constexpr uint16_t kKoumaHurriedWait = 15;
constexpr uint16_t kMirrored = 16;
constexpr int32_t kWakijiMirrorFrames = 50;
constexpr int32_t kZoomOne = 0x10000;
constexpr int32_t kColumnHeight = 2 * kZoomOne;
constexpr uint8_t kHeroCharacter = 0;

CTamvikSpr& Units() { return Scene().tamvik_spr; }
uint32_t Now() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }

int32_t FramesSince(uint32_t start) {
  const int64_t ms = static_cast<int32_t>(Now() - start);
  return static_cast<int32_t>(ms * 60 / 1000);
}

// What the body does when the first wait is over.
enum class BodyChange { kNone, kBlink, kRelease };

struct DeathForm {
  const char* name;
  SlgBody effect;
  int objects;
  uint8_t SlgDeathState::*counter;
  BodyChange change;
  uint16_t second_wait;  // 0: the first wait leads to the final step
  bool fail_to_wait;     // a failed start waits (the step before the final) instead of ending
  bool loses_battle;     // the hero's death loses the battle
};

// ---- The effect tasks ----

SlgDeathRecord* RecordOf(SlgEffectTask* task) {
  return static_cast<SlgDeathRecord*>(task->owned[0]);
}

// The record's map position on the screen: minus the scroll, offset (320, 216), raised by the
// lift.
SlgPair DrawPos(const SlgDeathRecord& rec) {
  const SlgBattleState& s = Battle().state;
  return {rec.x - (s.scroll_x + 320) * 65536, rec.y - (s.scroll_y + 216) * 65536 - rec.lift};
}

void Place(SlgAnmObj* obj, const SlgPair& pos) {
  if (obj == nullptr) return;
  SetAnmPos(obj, pos);
  if (obj->handle != nullptr) SlgSprSetPos(obj->handle, pos);
}

void PlaceAll(SlgDeathRecord& rec) {
  const SlgPair pos = DrawPos(rec);
  for (SlgAnmObj* obj : rec.objs) Place(obj, pos);
}

void Play(SlgDeathRecord& rec, int i) {
  SlgAnmObj* obj = rec.objs[i];
  rec.played[i] = 1;
  if (obj != nullptr) SlgPlayAnm(rec.anims, obj->pattern, obj, SURFACE_ROOT);
}

// An object that is missing, or whose animation has ended or never started, has ended.
bool Ended(const SlgDeathRecord& rec, int i) {
  return rec.objs[i] == nullptr || SlgAnmObjIsEnd(rec.objs[i]) != 0;
}

// Gives back the objects and the DEAD_EFFECT reference and ends the task (the record with it).
void Finish(SlgEffectTask* task, SlgDeathRecord& rec) {
  for (SlgAnmObj*& obj : rec.objs) {
    FreeAnmObj(obj);
    obj = nullptr;
  }
  ReleaseUnitAnm(&rec.anims);
  SlgTaskEnd(task);
}

// Null after the task has been finished (the caller returns at once).
SlgDeathRecord* Enter(SlgEffectTask* task) {
  SlgDeathRecord* rec = RecordOf(task);
  if (rec == nullptr) {
    SlgTaskEnd(task);
    return nullptr;
  }
  if (task->phase == kSlgPhaseStop) {
    Finish(task, *rec);
    return nullptr;
  }
  return rec;
}

void PlayerDeadEffect(SlgEffectTask* task) {
  SlgDeathRecord* rec = Enter(task);
  if (rec == nullptr) return;
  PlaceAll(*rec);
  for (int i = 0; i < 2; ++i) {
    if (rec->played[i] == 0) Play(*rec, i);
  }
  if (Ended(*rec, 0) && Ended(*rec, 1)) Finish(task, *rec);
}

void WakijiDeadEffect(SlgEffectTask* task) {
  SlgDeathRecord* rec = Enter(task);
  if (rec == nullptr) return;
  PlaceAll(*rec);
  if (task->phase == 0) {
    for (int i = 0; i < 2; ++i) {
      if (rec->played[i] == 0) Play(*rec, i);
    }
    if (task->frames < kWakijiMirrorFrames) return;
    SpxAnimeKind* spx = Units().spx();
    for (SlgAnmObj* obj : rec->objs) {
      if (obj == nullptr) continue;
      obj->attr = kMirrored;
      if (spx != nullptr && obj->handle != nullptr) spx->SetSpxRev(obj->handle, kMirrored);
    }
    task->start = task->now;
    task->phase = 1;
    return;
  }
  if (task->frames >= kWakijiMirrorFrames) Finish(task, *rec);
}

void KoumaDeadEffect(SlgEffectTask* task) {
  SlgDeathRecord* rec = Enter(task);
  if (rec == nullptr) return;
  if (task->phase == 0) {
    Place(rec->objs[0], DrawPos(*rec));
    if (rec->played[0] == 0) {
      Play(*rec, 0);
      return;
    }
    if (!Ended(*rec, 0)) return;
    PlaceAll(*rec);
    Play(*rec, 0);
    Play(*rec, 1);
    rec->zoom = {kZoomOne, kZoomOne};
    if (rec->objs[1] != nullptr && rec->objs[1]->handle != nullptr)
      SlgSprSetZoom(rec->objs[1]->handle, rec->zoom);
    task->start = task->now;
    task->phase = 1;
    return;
  }
  PlaceAll(*rec);
  SlgAnmObj* column = rec->objs[1];
  if (column != nullptr && column->handle != nullptr) {
    if (rec->zoom.y < kColumnHeight) {
      rec->zoom = KoumaColumnZoom(task->frames);
      SlgSprSetZoom(column->handle, rec->zoom);
    } else {
      Units().ReleaseAnm(&column->handle);
    }
  }
  if (Ended(*rec, 0)) Finish(task, *rec);
}

void MapObjDeadEffect(SlgEffectTask* task) {
  SlgDeathRecord* rec = Enter(task);
  if (rec == nullptr) return;
  PlaceAll(*rec);
  if (rec->played[0] == 0) Play(*rec, 0);
  if (Ended(*rec, 0)) Finish(task, *rec);
}

// ---- The effect objects of each handler ----

struct ObjSetup {
  uint8_t pattern;
  uint16_t attr;
  int16_t depth;  // relative to the body
  uint8_t mode;
};

int16_t BodyDepth(const SlgUnit& unit) {
  if (unit.anm != nullptr) return unit.anm->depth;
  return static_cast<int16_t>(SlgCalcDepth(unit.x >> 16, unit.y >> 16));
}

uint16_t BodyAttr(const SlgUnit& unit) { return unit.anm != nullptr ? unit.anm->attr : 0; }

void Setup(const SlgUnit& unit, SlgAnmObj* obj, const ObjSetup& s) {
  obj->pattern = s.pattern;
  obj->attr = s.attr;
  obj->depth = static_cast<int16_t>(BodyDepth(unit) + s.depth);
  obj->mode = s.mode;
  if (unit.anm != nullptr) obj->shade = unit.anm->shade;
}

void SetupObjects(const SlgUnit& unit, const DeathForm& form, SlgDeathRecord& rec) {
  const uint8_t dir = unit.dir & 3;
  if (form.effect == &PlayerDeadEffect) {
    static constexpr uint8_t kFirst[4] = {2, 0, 0, 2};
    static constexpr uint16_t kAttr[4] = {16, 0, 16, 0};
    Setup(unit, rec.objs[0], {kFirst[dir], kAttr[dir], -1, kSlgAnmOnce});
    Setup(unit, rec.objs[1],
          {static_cast<uint8_t>(kFirst[dir] + 1), kAttr[dir], 1, kSlgAnmOnce});
  } else if (form.effect == &WakijiDeadEffect) {
    Setup(unit, rec.objs[0], {0, 0, -1, 0});
    Setup(unit, rec.objs[1], {1, 0, 1, 0});
  } else if (form.effect == &KoumaDeadEffect) {
    const uint16_t attr = BodyAttr(unit);
    Setup(unit, rec.objs[0], {0, attr, -2, kSlgAnmOnce});
    Setup(unit, rec.objs[1], {static_cast<uint8_t>(dir == 0 || dir == 3 ? 2 : 1), attr, -1, 0});
  } else {
    uint8_t pattern = 0;
    if (unit.kind == 41 || unit.kind == 46) pattern = 1;
    if (unit.kind == 43) pattern = 2;
    Setup(unit, rec.objs[0], {pattern, 0, -4, kSlgAnmOnce});
  }
}

// ---- The handlers ----

uint16_t MapObjWait(const SlgUnit& unit) {
  return unit.kind == 41 || unit.kind == 46 ? 30 : 40;
}

uint16_t FirstWait(const SlgUnit& unit, const DeathForm& form) {
  if (form.effect == &PlayerDeadEffect) return 80;
  if (form.effect == &MapObjDeadEffect) return MapObjWait(unit);
  return 60;
}

// Step 0: the objects, the record and the task; true when the effect runs.
bool StartEffect(SlgUnit& unit, const DeathForm& form) {
  SlgAnmObj* objs[2] = {nullptr, nullptr};
  bool ok = true;
  for (int i = 0; i < form.objects && ok; ++i) {
    objs[i] = alloc_anime();
    ok = objs[i] != nullptr;
  }
  auto* rec = ok ? static_cast<SlgDeathRecord*>(SlgAlloc(sizeof(SlgDeathRecord))) : nullptr;
  SlgEffectTask* task = nullptr;
  if (rec != nullptr) {
    char name[64];
    std::snprintf(name, sizeof name, "%s:%d:%d", form.name, unit.entry,
                  Battle().death.*form.counter);
    task = SlgTaskCreate(SlgTaskOwner(), form.effect, name);
  }
  if (task == nullptr) {
    for (SlgAnmObj* obj : objs) FreeAnmObj(obj);
    SlgFree(rec);
    return false;
  }
  task->owned[0] = rec;
  rec->objs[0] = objs[0];
  rec->objs[1] = objs[1];
  rec->x = unit.x;
  rec->y = unit.y;
  rec->lift = unit.lift;
  rec->anims = GetUnitAnm(unit.kind, kUnitAnmDeadEffect);
  SetupObjects(unit, form, *rec);
  PlaceAll(*rec);
  return true;
}

void StartWait(size_t slot, uint16_t wait) {
  SlgDeathState& d = Battle().death;
  d.start[slot] = Now();
  d.wait[slot] = wait;
}

void Final(SlgUnit& unit, const DeathForm& form) {
  SlgDeathState& d = Battle().death;
  ++(d.*form.counter);
  const bool hero = unit.character == kHeroCharacter;
  Slg::MakeDeadSlot(unit);
  if (form.loses_battle && hero) Battle().lost = 1;
}

void RunDeath(SlgUnit& unit, const DeathForm& form) {
  BattleContext& b = Battle();
  const SlgUnit* first = b.state.units.data();
  if (&unit < first || &unit >= first + kSlgMaxUnits) return;
  const size_t slot = static_cast<size_t>(&unit - first);
  SlgDeathState& d = b.death;
  switch (unit.step) {
    case kStepStart:
      if (StartEffect(unit, form)) {
        StartWait(slot, FirstWait(unit, form));
        unit.step = kStepFirstWait;
      } else if (!form.fail_to_wait) {
        unit.step = kStepFinal;
        Final(unit, form);
      } else if (form.second_wait != 0) {
        StartWait(slot, form.second_wait);
        unit.step = kStepSecondWait;
      } else {
        StartWait(slot, FirstWait(unit, form));
        unit.step = kStepFirstWait;
      }
      return;
    case kStepFirstWait:
      if (FramesSince(d.start[slot]) < d.wait[slot]) return;
      if (form.second_wait == 0) {
        unit.step = kStepFinal;
        Final(unit, form);
        return;
      }
      if (form.change == BodyChange::kBlink && unit.anm != nullptr) {
        ChangeUnitAnm(unit, 0);
        SpxAnimeKind* spx = Units().spx();
        if (spx != nullptr && unit.anm->handle != nullptr)
          spx->SetBlink(unit.anm->handle, kBlinkPeriod);
      } else if (form.change == BodyChange::kRelease && unit.anm != nullptr) {
        Units().ReleaseAnm(&unit.anm->handle);
      }
      StartWait(slot, form.second_wait);
      unit.step = kStepSecondWait;
      return;
    case kStepSecondWait: {
      uint16_t wait = d.wait[slot];
      if (form.change == BodyChange::kRelease && IsKeyHeld(kMenuKey) != 0)
        wait = kKoumaHurriedWait;
      if (FramesSince(d.start[slot]) < wait) return;
      unit.step = kStepFinal;
      Final(unit, form);
      return;
    }
    case kStepFinal:
      Final(unit, form);
      return;
    default:
      return;
  }
}

const DeathForm kPlayerDead{"ActPlayerDead", &PlayerDeadEffect, 2, &SlgDeathState::player_deaths,
                            BodyChange::kBlink, 40, false, true};
const DeathForm kWakijiDead{"ActWakijiDead", &WakijiDeadEffect, 2, &SlgDeathState::enemy_deaths,
                            BodyChange::kBlink, 60, true, false};
const DeathForm kKoumaDead{"ActKoumaDead", &KoumaDeadEffect, 2, &SlgDeathState::enemy_deaths,
                           BodyChange::kRelease, 60, false, false};
const DeathForm kMapObjDead{"ActMapObjDead", &MapObjDeadEffect, 1, &SlgDeathState::object_deaths,
                            BodyChange::kNone, 0, true, false};

}  // namespace

SlgPair KoumaColumnZoom(int32_t t) {
  const int64_t n = t < 0 ? 0 : (t > 15 ? 15 : t);
  int64_t p3 = 1, p4 = 1, p8 = 1, p7 = 1;
  for (int64_t i = 0; i < n; ++i) {
    p3 *= 3;
    p4 *= 4;
    p8 *= 8;
    p7 *= 7;
  }
  return {static_cast<int32_t>(int64_t{kZoomOne} * p3 / p4),
          static_cast<int32_t>(int64_t{kZoomOne} * p8 / p7)};
}

void ActPlayerDead(SlgUnit& unit, SlgPair& /*pos*/) { RunDeath(unit, kPlayerDead); }
void ActWakijiDead(SlgUnit& unit, SlgPair& /*pos*/) { RunDeath(unit, kWakijiDead); }
void ActKoumaDead(SlgUnit& unit, SlgPair& /*pos*/) { RunDeath(unit, kKoumaDead); }
void ActMapObjDead(SlgUnit& unit, SlgPair& /*pos*/) { RunDeath(unit, kMapObjDead); }

namespace Slg {

void MakeDeadSlot(SlgUnit& unit) {
  SetUnitState(unit, 0);
  unit.step = kSlgDeadStep;
  unit.flags = 0;
  for (uint16_t& cell : Battle().unit_grid) {
    if (cell == unit.slot) cell = kSlgNoUnit;
  }
  for (SlgAnmObj** ref : {&unit.anm, &unit.anm2}) {
    SlgAnmObj* obj = *ref;
    if (obj == nullptr) continue;
    // A pool object goes back whole; any other only loses its animation.
    if (FreeAnmObj(obj) == 0 && obj->handle != nullptr) Units().ReleaseAnm(&obj->handle);
    *ref = nullptr;
  }
}

}  // namespace Slg
