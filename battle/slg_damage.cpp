#include "battle/slg_damage.h"

#include <cstddef>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_attack.h"
#include "battle/slg_damage_state.h"
#include "battle/slg_draw.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/core/debug_trace.h"

const SlgHitTables kSlgHitDefault = {{{{13, 0}, {12, 0}, {12, 16}, {13, 16}}},
                                     {{{11, 0}, {10, 0}, {10, 16}, {11, 16}}}};
const SlgHitTables kSlgHitAmateras = {{{{7, 0}, {6, 0}, {6, 16}, {7, 16}}},
                                      {{{5, 0}, {4, 0}, {4, 16}, {5, 16}}}};
const SlgHitTables kSlgHitKujyaku = {{{{4, 0}, {2, 0}, {2, 16}, {4, 16}}},
                                     {{{5, 0}, {3, 0}, {3, 16}, {5, 16}}}};
const SlgHitTables kSlgHitKamui = {{{{11, 0}, {10, 0}, {10, 16}, {11, 16}}},
                                   {{{11, 0}, {10, 0}, {10, 16}, {11, 16}}}};
const SlgHitTables kSlgHitKouma = {{{{8, 0}, {6, 0}, {6, 16}, {8, 16}}},
                                   {{{9, 0}, {7, 0}, {7, 16}, {9, 16}}}};

namespace {

constexpr uint8_t kAttackSpecial = 1;
constexpr uint8_t kAttackCritical = 2;
// An attacker of this character plays even its special attack as an ordinary hit.
constexpr uint8_t kPlainSpecialCharacter = 15;
constexpr uint8_t kHeroCharacter = 0;
constexpr uint8_t kStateStand = 0;
constexpr uint8_t kStateLeadIn = 5;
constexpr uint8_t kZoomCategory = 4;
constexpr uint8_t kZoomFirstCharacter = 22;
constexpr uint8_t kZoomLastCharacter = 25;
constexpr uint16_t kZoomAttr = 16;

constexpr uint32_t kStepStart = 0;
constexpr uint32_t kStepReact = 1;

// The live unit in `slot`, or null (beyond the unit count, or a dead record).
const SlgUnit* LiveUnit(uint32_t slot) {
  const SlgBattleState& s = Battle().state;
  if (slot >= s.unit_count || slot >= kSlgMaxUnits) return nullptr;
  const SlgUnit& u = s.units[slot];
  return u.step == kSlgDeadStep ? nullptr : &u;
}

// Plays the record's object from its first frame with play-mode byte `mode` (2 stopped, 1 once).
void Replay(SlgUnit& unit, SlgHitRecord& rec, uint8_t mode) {
  if (rec.obj == nullptr) return;
  if (rec.zoom == 0) {
    ChangeUnitAnm(unit, mode);
    return;
  }
  rec.obj->mode = mode;
  SlgPlayAnm(rec.zoom_anims, 0, rec.obj, SURFACE_ROOT);
}

void Follow(SlgHitRecord& rec, const SlgPair& pos) {
  if (rec.obj == nullptr) return;
  if (rec.set_pos != nullptr) rec.set_pos(rec.obj, pos);
  if (rec.obj->handle != nullptr) SlgSprSetPos(rec.obj->handle, pos);
}

// The failure road of a special attack: the target is hidden and stands again at once.
void HideAndStand(SlgUnit& unit) {
  Slg::HideUnit(unit);
  unit.flags &= ~kUnitShown;
  SetUnitState(unit, kStateStand);
}

bool ZoomShown(const SlgUnit& unit) {
  if (unit.category <= 2) return true;
  return unit.category == kZoomCategory && unit.character >= kZoomFirstCharacter &&
         unit.character <= kZoomLastCharacter;
}

// Takes a pool object and the unit's ZOOM_BODY set for the record; false (nothing kept) when
// either is missing.
bool TakeZoomBody(SlgUnit& unit, SlgHitRecord& rec) {
  SprAnm* anims = GetUnitAnm(unit.kind, kUnitAnmZoomBody);
  if (anims == nullptr) return false;
  SlgAnmObj* obj = alloc_anime();
  if (obj == nullptr) {
    ReleaseUnitAnm(&anims);
    return false;
  }
  if (unit.anm != nullptr) {
    obj->shade = unit.anm->shade;
    obj->depth = unit.anm->depth;
    obj->attr2 = unit.anm->attr2;
    obj->start_time = unit.anm->start_time;
    obj->now = unit.anm->now;
    obj->frames = unit.anm->frames;
  }
  rec.zoom_anims = anims;
  rec.obj = obj;
  rec.zoom = 1;
  obj->mode = kSlgAnmStartStopped;
  SlgPlayAnmAttr(anims, 0, obj, SURFACE_ROOT, kZoomAttr);
  return true;
}

// Step 0. False while the reaction has not started (it waits, or it has ended at once).
bool StartReaction(SlgUnit& unit, SlgHitRecord& rec, const SlgPatternTable& ordinary,
                   const SlgPatternTable& critical) {
  const SlgUnit* attacker = LiveUnit(unit.stats.attack_type);
  const uint8_t type = attacker != nullptr ? attacker->stats.attack_type : 0;
  if (type != kAttackSpecial || attacker->character == kPlainSpecialCharacter) {
    const SlgPatternTable& table = type == kAttackCritical ? critical : ordinary;
    if (unit.anm != nullptr && unit.dir <= 3) {
      SetAnmPattern(unit.anm, table[unit.dir].pattern);
      unit.anm->attr = table[unit.dir].attr;
    }
    rec.obj = unit.anm;
    rec.zoom = 0;
    ChangeUnitAnm(unit, kSlgAnmStartStopped);
    return true;
  }
  if (attacker->character != kHeroCharacter) {
    // Special attacks draw their targets themselves.
    unit.flags &= ~kUnitShown;
    SetUnitState(unit, kStateStand);
    return false;
  }
  if (attacker->state == kStateLeadIn) return false;
  if (!ZoomShown(unit) || !TakeZoomBody(unit, rec)) {
    HideAndStand(unit);
    return false;
  }
  return true;
}

}  // namespace

SlgHitRecord* SlgHitRecordOf(const SlgUnit& unit) {
  BattleContext& b = Battle();
  const SlgUnit* first = b.state.units.data();
  if (&unit < first || &unit >= first + kSlgMaxUnits) return nullptr;
  return &b.hit_records[static_cast<size_t>(&unit - first)];
}

void ReleaseHitRecord(SlgUnit& unit) {
  SlgHitRecord* rec = SlgHitRecordOf(unit);
  if (rec == nullptr) return;
  if (rec->zoom != 0) FreeAnmObj(rec->obj);
  ReleaseUnitAnm(&rec->zoom_anims);
  *rec = SlgHitRecord{};
}

void Damaged(SlgUnit& unit, const SlgPair& pos, const SlgPatternTable& ordinary,
             const SlgPatternTable& critical) {
  SlgHitRecord* rec = SlgHitRecordOf(unit);
  if (rec == nullptr) return;
  if (unit.step == kStepStart) {
    ReleaseHitRecord(unit);
    if (!StartReaction(unit, *rec, ordinary, critical)) return;
    rec->set_pos = &SetAnmPos;
    unit.step = kStepReact;
    Follow(*rec, pos);
    return;
  }
  if (unit.reaction_over() == 1) {
    // SetUnitState gives the record back.
    SetUnitState(unit, kStateStand);
    return;
  }
  if ((unit.flags & kUnitHitNow) != 0) {
    Replay(unit, *rec, kSlgAnmOnce);
    unit.flags &= ~kUnitHitNow;
    DebugPrint("Damaged\n");
  } else if (rec->obj != nullptr && (rec->obj->mode & kSlgAnmOnce) != 0 &&
             SlgAnmObjIsEnd(rec->obj) != 0) {
    Replay(unit, *rec, kSlgAnmStartStopped);
  }
  Follow(*rec, pos);
}

void UnitDamagedDefault(SlgUnit& unit, SlgPair& pos) {
  Damaged(unit, pos, kSlgHitDefault.ordinary, kSlgHitDefault.critical);
}
