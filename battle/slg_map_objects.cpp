#include "battle/slg_map_objects.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_attack.h"
#include "battle/slg_death.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_sound.h"
#include "battle/slg_spawn.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_turn_order.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"

namespace {

constexpr int32_t kPx = 0x10000;
constexpr uint8_t kStateStand = 0;
constexpr uint8_t kStateWalk = 1;
constexpr uint8_t kStateAttack = 6;
constexpr uint8_t kStateAttackEnd = 7;
constexpr uint8_t kStateDefeated = 15;
constexpr uint8_t kLoop = 0;
// The map-drawing bit of SlgFlags the rolling ball sets.
constexpr uint16_t kFlagDrawMap = 0x2;
// A cell the ball cannot roll into.
constexpr uint32_t kCellBlocked = 0x400;
// The unit kind whose BASE_EFFECT the fake wakiji plays as its attack.
constexpr uint8_t kFakeAttackKind = 34;
// Body patterns: the jokidama's stand, roll and burst; the factory's production and close.
constexpr uint8_t kJokidamaStand = 3;
constexpr uint8_t kJokidamaRoll = 2;
constexpr uint8_t kJokidamaBurst = 0;
constexpr uint8_t kBallPattern = 1;
constexpr uint8_t kExplosionPattern = 0;
constexpr uint8_t kFactoryProduce = 1;
constexpr uint8_t kFactoryClose = 2;
// The Elebox's second object and its effect objects (BASE_EFFECT patterns).
constexpr uint8_t kEleboxSpark = 2;
constexpr uint8_t kEleboxActorEffect = 1;
constexpr uint8_t kEleboxTargetEffect = 0;
// The factory's part objects: BASE_EFFECT patterns 0-2 at these pixel offsets from the body.
constexpr std::array<std::array<int32_t, 2>, kSlgFactoryParts> kFactoryPartOffset = {
    {{-48, -24}, {48, -24}, {0, -48}}};
// The factory's status byte after steps 0, 1, 3 and 4 of a production.
constexpr uint8_t kStatusMade = 1;
constexpr uint8_t kStatusProducing = 2;
constexpr uint8_t kStatusOut = 1;
constexpr uint8_t kStatusIdle = 0;

// The lead-in and end patterns: the jokidama always faces direction 2 and stands in pattern 3;
// the Elebox has its one body pattern 0.
constexpr SlgPatternTable kJokidamaPatterns = {{{3, 0}, {3, 0}, {3, 0}, {3, 0}}};
constexpr SlgPatternTable kEleboxPatterns = {{{0, 0}, {0, 0}, {0, 0}, {0, 0}}};

// The four diagonal neighbours of a cell, in snapped pixels.
constexpr std::array<std::array<int32_t, 2>, 4> kNeighbour = {
    {{48, -24}, {48, 24}, {-48, 24}, {-48, -24}}};

uint32_t Now() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }
int32_t FramesSince(uint32_t start) {
  const int64_t ms = static_cast<int32_t>(Now() - start);
  return static_cast<int32_t>(ms * 60 / 1000);
}

SlgMapObjectsState& Objects() { return Battle().map_objects; }
SlgMapObjRecord& RecordOf(const SlgUnit& unit) {
  return Objects().records[unit.entry % kSlgMaxUnits];
}

// The stage entry's variant byte (byte 10).
uint8_t VariantOf(const SlgUnit& unit) {
  const BattleContext& b = Battle();
  return b.stage ? b.stage->unit(unit.entry).think_row : 0;
}

void KeepOnPos(SlgAnmObj* obj, const SlgPair& pos) {
  if (obj == nullptr) return;
  SetAnmPos(obj, pos);
  if (obj->handle != nullptr) {
    SlgSprSetPos(obj->handle, pos);
    SlgSprSetPri(obj->handle, obj->depth);
  }
}

// Plays the object's pattern of `list` with the play mode given.
void Play(SlgAnmObj* obj, SprAnm* list, uint8_t pattern, uint8_t mode) {
  if (obj == nullptr) return;
  obj->pattern = pattern;
  obj->mode = mode;
  obj->frame = 0;
  if (list != nullptr) SlgPlayAnm(list, pattern, obj, SURFACE_ROOT);
}

void Hide(SlgAnmObj* obj) {
  if (obj != nullptr && obj->handle != nullptr) SlgAnmHide(obj->handle);
}

void FreeObj(SlgAnmObj*& obj) {
  FreeAnmObj(obj);
  obj = nullptr;
}

// The body of a map object: a pool object of `pattern` from `list` on pos, at the depth of the
// unit's map position and the shade of its cell, entered in the occupancy grid.
void MakeBody(SlgUnit& unit, const SlgPair& pos, SprAnm* list, uint8_t pattern, uint16_t attr,
              uint8_t mode) {
  if (unit.anm == nullptr) unit.anm = CreateAnmObj(pattern, attr);
  SlgAnmObj* body = unit.anm;
  SetUnitCell(unit);
  if (body == nullptr) return;
  SetAnmPos(body, pos);
  SetAnmPriByPos(body, {unit.x, unit.y});
  SetUnitCellShade(unit);
  Play(body, list, pattern, mode);
}

// The second object: `pattern` of the unit's BASE_EFFECT on pos, hidden.
void MakeHiddenSecond(SlgUnit& unit, const SlgPair& pos, uint8_t pattern) {
  if (unit.anm2 == nullptr) unit.anm2 = CreateAnmObj(pattern, 0);
  SlgAnmObj* obj = unit.anm2;
  if (obj == nullptr) return;
  SetAnmPos(obj, pos);
  obj->depth = unit.anm != nullptr ? static_cast<int16_t>(unit.anm->depth - 1) : 0;
  Play(obj, unit.anims[kUnitAnmBaseEffect], pattern, kLoop);
  Hide(obj);
}

// Whether this is the unit's first frame (flag 0x400, cleared here).
bool FirstFrame(SlgUnit& unit) {
  if ((unit.flags & kUnitStateStart) == 0) return false;
  unit.flags &= ~kUnitStateStart;
  return true;
}

void RunTable(const std::array<SlgStateHandler, kSlgKindStates>& table, SlgUnit& unit,
              const SlgPair& screen) {
  SlgPair pos = screen;
  if (unit.state >= kSlgKindStates) return;
  if (const SlgStateHandler h = table[unit.state]; h != nullptr) h(unit, pos);
}

// A map object's death: ActMapObjDead; once the slot is dead, the record's extra object freed.
// True on the frame the slot became dead.
bool Dead(SlgUnit& unit, SlgPair& pos) {
  ActMapObjDead(unit, pos);
  if (unit.step != kSlgDeadStep) return false;
  FreeObj(RecordOf(unit).extra);
  return true;
}
void MapObjDead(SlgUnit& unit, SlgPair& pos) { Dead(unit, pos); }

// A kind's table: `keep` in slots 0-14, MapObjDead in 15, then the listed exceptions.
struct Slot {
  uint8_t state;
  SlgStateHandler handler;
};
std::array<SlgStateHandler, kSlgKindStates> Table(SlgStateHandler keep,
                                                  std::initializer_list<Slot> slots) {
  std::array<SlgStateHandler, kSlgKindStates> t{};
  t.fill(keep);
  t[kStateDefeated] = &MapObjDead;
  for (const Slot& s : slots) t[s.state] = s.handler;
  return t;
}

const std::array<SlgStateHandler, kSlgKindStates> kMapObjTable = Table(&MapObjKeep, {});
const std::array<SlgStateHandler, kSlgKindStates> kJokidamaTable =
    Table(&MapObjKeep, {{5, &JokidamaLeadIn}, {6, &JokidamaRoll}, {7, &JokidamaEnd}});
const std::array<SlgStateHandler, kSlgKindStates> kFakeWakijiTable =
    Table(&MapObjKeep, {{6, &FakeWakijiAttack}});
const std::array<SlgStateHandler, kSlgKindStates> kFactoryTable =
    Table(&FactoryIdle, {{6, &FactoryProduce}, {15, &FactoryDead}});
const std::array<SlgStateHandler, kSlgKindStates> kGeneratorTable =
    Table(&MapObjKeep, {{6, &GeneratorProduce}, {15, &GeneratorDead}});
const std::array<SlgStateHandler, kSlgKindStates> kEleboxTable =
    Table(&MapObjKeep, {{5, &EleboxLeadIn}, {6, &EleboxAttack}, {7, &EleboxEnd}});
const std::array<SlgStateHandler, kSlgKindStates> kJokiStandTable = Table(&JokiStandKeep, {});

const std::array<SlgStateHandler, kSlgKindStates>* TableOf(uint32_t kind) {
  switch (kind) {
    case kSlgKindJokidama: return &kJokidamaTable;
    case 39: case 40: case 41: case 46: case 47: return &kMapObjTable;
    case kSlgKindFakeWakiji: return &kFakeWakijiTable;
    case kSlgKindFactory: return &kFactoryTable;
    case kSlgKindGenerator: return &kGeneratorTable;
    case kSlgKindElebox: return &kEleboxTable;
    case kSlgKindJokiStand: return &kJokiStandTable;
    default: return nullptr;
  }
}

// ---- Production (factory and generator) ----

// Creates the unit of stage entry variant + 10: its slot, or kSlgCreateRefused (traced) with
// 64 units, without that entry, or when the producer's stage is missing.
uint8_t Produce(const SlgUnit& producer) {
  const BattleContext& b = Battle();
  const int n = VariantOf(producer) + kSlgProducedEntryBase;
  if (!b.stage || n >= b.stage->unit_count() || b.state.unit_count >= kSlgMaxUnits) {
    DebugPrint("MapObj: unit %d (kind %d) makes nothing: entry %d of %d, %d units\n",
               producer.slot, producer.kind, n, b.stage ? b.stage->unit_count() : 0,
               b.state.unit_count);
    return kSlgCreateRefused;
  }
  return Slg::CreateUnit(*b.stage, n);
}

// The produced unit of the record when it is still that unit.
SlgUnit* ProducedOf(const SlgUnit& producer) {
  SlgBattleState& s = Battle().state;
  const uint8_t slot = RecordOf(producer).produced;
  if (slot >= s.unit_count) return nullptr;
  SlgUnit& u = s.units[slot];
  if (u.step == kSlgDeadStep || u.entry != VariantOf(producer) + kSlgProducedEntryBase)
    return nullptr;
  return &u;
}

// The snapped ground position of a unit (its position less its lift).
SlgPoint GroundSnap(const SlgUnit& unit) {
  return SnapPosToCell(unit.x >> 16, (unit.y - unit.lift) >> 16);
}

// The cell of a snapped pixel when it is one of the map's 22 x 88 cells.
bool CellOfSnap(int32_t x, int32_t y, SlgCell& cell) {
  if (x < 0 || y < -24 || x % 48 != 0 || (y + 24) % 24 != 0) return false;
  const int32_t row = (y + 24) / 24;
  const int32_t twice = x / 48 - (row & 1);
  if (row >= kSlgGridRows || twice < 0 || twice % 2 != 0 || twice / 2 >= kSlgGridColumns)
    return false;
  cell = {static_cast<int16_t>(twice / 2), static_cast<int16_t>(row)};
  return true;
}

// The status byte of the factory's variant (a variant beyond the three has none).
void SetFactoryStatus(const SlgUnit& unit, uint8_t status) {
  const uint8_t v = VariantOf(unit);
  if (v < kSlgFactoryVariants) Objects().factory_status[v] = status;
}

SlgAnmObj** PartsOf(const SlgUnit& unit) {
  const uint8_t v = VariantOf(unit);
  return v < kSlgFactoryVariants ? Objects().factory_parts[v].data() : nullptr;
}

void PlaceParts(SlgUnit& unit, const SlgPair& pos) {
  SlgAnmObj** parts = PartsOf(unit);
  if (parts == nullptr) return;
  for (int k = 0; k < kSlgFactoryParts; ++k) {
    SlgAnmObj*& part = parts[k];
    const SlgPair at{pos.x + kFactoryPartOffset[k][0] * kPx,
                     pos.y + kFactoryPartOffset[k][1] * kPx};
    if (part == nullptr) {
      part = CreateAnmObj(static_cast<uint8_t>(k), 0);
      if (part == nullptr) continue;  // a full pool: tried again next frame
      SetAnmPos(part, at);
      part->depth = unit.anm != nullptr ? static_cast<int16_t>(unit.anm->depth - 1) : 0;
      Play(part, unit.anims[kUnitAnmBaseEffect], static_cast<uint8_t>(k), kLoop);
    }
    KeepOnPos(part, at);
  }
}

void SetAnimStop(SlgAnmObj* obj, uint32_t stop) {
  if (obj != nullptr && obj->handle != nullptr) Ctx().anime.SetStop(obj->handle, stop);
}

void FactoryStop(SlgUnit& unit, uint32_t stop) {
  if (unit.step == kSlgDeadStep) return;
  SetAnimStop(unit.anm, stop);
  if (SlgAnmObj** parts = PartsOf(unit); parts != nullptr) {
    for (int k = 0; k < kSlgFactoryParts; ++k) SetAnimStop(parts[k], stop);
  }
}

// ---- The ball ----

// Legs between two snapped positions: a leg moves 48 px across and 24 px down or up, so it is the
// larger of the two counts. Ties go to the smaller sum, the straighter way.
int32_t Distance(const SlgPair& a, const SlgPair& b) {
  const int32_t across = std::abs((a.x - b.x) >> 16) / 48;
  const int32_t rows = std::abs((a.y - b.y) >> 16) / 24;
  return std::max(across, rows) * 1024 + across + rows;
}

// A unit of side 0 stands on the ball's cell.
bool PlayerOnCell(const SlgCell& cell) {
  const SlgBattleState& s = Battle().state;
  const uint16_t slot = GetUnitAtCell(cell.column, cell.row);
  return slot < s.unit_count && s.units[slot].step != kSlgDeadStep && s.units[slot].side == 0;
}

// The next leg from the ball's cell toward the goal; false when the ball stops here.
bool NextLeg(SlgMapObjRecord& r, const SlgPair& goal) {
  SlgCell here{};
  if (!CellOfSnap(r.ball.x >> 16, r.ball.y >> 16, here)) return false;
  if (PlayerOnCell(here) || (r.ball.x == goal.x && r.ball.y == goal.y)) return false;
  if (r.legs >= kSlgBallMaxLegs) return false;
  const int32_t now = Distance(r.ball, goal);
  int best = -1;
  int32_t best_d = now;
  for (int i = 0; i < 4; ++i) {
    const SlgPair n{r.ball.x + kNeighbour[i][0] * kPx, r.ball.y + kNeighbour[i][1] * kPx};
    const int32_t d = Distance(n, goal);
    if (d < best_d) {
      best = i;
      best_d = d;
    }
  }
  if (best < 0) return false;
  const SlgPair to{r.ball.x + kNeighbour[best][0] * kPx, r.ball.y + kNeighbour[best][1] * kPx};
  SlgCell cell{};
  if (!CellOfSnap(to.x >> 16, to.y >> 16, cell) || !Slg::IsOnMap(to)) return false;  // the edge
  if ((SlgCellWord(cell) & kCellBlocked) != 0) return false;
  r.leg_from = r.ball;
  r.leg_to = to;
  r.start = Now();
  Slg::ScrollToPos(to);
  return true;
}

void PlaceBall(SlgUnit& unit, const SlgMapObjRecord& r) {
  SlgAnmObj* ball = unit.anm2;
  if (ball == nullptr) return;
  SetAnmPriByPos(ball, r.ball);
  KeepOnPos(ball, Slg::PosToScreen(r.ball));
}

// ---- The Elebox's effect tasks ----

struct EleboxEffectWork {
  SlgAnmObj* obj;  // the task's object (SlgTaskCreateAnmWork)
  uint16_t unit;   // the unit it stays on
  uint16_t box;    // the Elebox's slot and stage entry
  uint8_t box_entry;
};

// The drawing position the effect uses: the unit's map position less the scroll, offset
// (320, 216), raised by its lift.
SlgPair EffectPos(const SlgUnit& unit) {
  return Slg::WorldToScreen({unit.x, unit.y - unit.lift});
}

bool BoxAttacking(const EleboxEffectWork& w) {
  const SlgBattleState& s = Battle().state;
  if (w.box >= s.unit_count) return false;
  const SlgUnit& box = s.units[w.box];
  return box.kind == kSlgKindElebox && box.entry == w.box_entry && box.step != kSlgDeadStep &&
         box.state == kStateAttack;
}

SlgEffectTask* StartEffectTask(const SlgUnit& box, const SlgUnit& on, uint8_t pattern,
                               const char* name) {
  SlgEffectTask* task =
      SlgTaskCreateAnmWork(&Elebox::DamageEffect, sizeof(EleboxEffectWork), name);
  if (task == nullptr) return nullptr;
  auto* w = static_cast<EleboxEffectWork*>(task->owned[0]);
  w->unit = on.slot;
  w->box = box.slot;
  w->box_entry = box.entry;
  SlgAnmObj* obj = w->obj;
  SetAnmPos(obj, EffectPos(on));
  obj->depth = static_cast<int16_t>((on.anm != nullptr ? on.anm->depth : 0) - 1);
  Play(obj, box.anims[kUnitAnmBaseEffect], pattern, kLoop);
  return task;
}

}  // namespace

// ---- Update functions ----

SlgStateHandler SlgMapObjStateHandler(uint32_t kind, uint32_t state) {
  const auto* table = TableOf(kind);
  return table != nullptr && state < kSlgKindStates ? (*table)[state] : nullptr;
}

void ActJokidamaUnit(SlgUnit& unit, const SlgPair& screen) {
  if (FirstFrame(unit)) {
    for (int slot : {kUnitAnmBaseBody, kUnitAnmBaseEffect, kUnitAnmDeadEffect})
      LoadUnitAnmSlot(unit, slot);
    unit.dir = 0;
    MakeBody(unit, screen, unit.anims[kUnitAnmBaseBody], kJokidamaStand, 0, kLoop);
    MakeHiddenSecond(unit, screen, kBallPattern);
  }
  RunTable(kJokidamaTable, unit, screen);
  unit.dir = 2;
}

void ActMapObjUnit(SlgUnit& unit, const SlgPair& screen) {
  if (FirstFrame(unit)) {
    const uint8_t v = VariantOf(unit);
    const int body = v <= 2 ? v : kUnitAnmBaseBody;
    LoadUnitAnmSlot(unit, body);
    MakeBody(unit, screen, unit.anims[static_cast<size_t>(body)], 0, 0, kLoop);
  }
  RunTable(kMapObjTable, unit, screen);
}

void ActFakeWakijiUnit(SlgUnit& unit, const SlgPair& screen) {
  if (FirstFrame(unit)) {
    LoadUnitAnmSlot(unit, kUnitAnmBaseBody);
    LoadUnitAnmSlot(unit, kUnitAnmBaseEffect);
    // The stand pattern of its direction, as the soldiers it copies.
    if (unit.anm == nullptr) CreateUnitAnmObj(unit);
    MakeBody(unit, screen, unit.anims[kUnitAnmBaseBody],
             unit.anm != nullptr ? unit.anm->pattern : 0, unit.anm != nullptr ? unit.anm->attr : 0,
             kLoop);
    MakeHiddenSecond(unit, screen, 0);
  }
  RunTable(kFakeWakijiTable, unit, screen);
}

void ActWakijiFactoryUnit(SlgUnit& unit, const SlgPair& screen) {
  if (FirstFrame(unit)) {
    LoadUnitAnmSlot(unit, kUnitAnmBaseBody);
    LoadUnitAnmSlot(unit, kUnitAnmBaseEffect);
    MakeBody(unit, screen, unit.anims[kUnitAnmBaseBody], 0, 0, kLoop);
  }
  RunTable(kFactoryTable, unit, screen);
}

void ActKoumaGenUnit(SlgUnit& unit, const SlgPair& screen) {
  if (FirstFrame(unit)) {
    LoadUnitAnmSlot(unit, kUnitAnmBaseBody);
    LoadUnitAnmSlot(unit, kUnitAnmBaseEffect);
    MakeBody(unit, screen, unit.anims[kUnitAnmBaseBody], 0, 0, kLoop);
    MakeHiddenSecond(unit, screen, 0);
    SlgAnmObj*& extra = RecordOf(unit).extra;
    FreeObj(extra);
    extra = CreateAnmObj(1, 0);
    if (extra != nullptr) {
      SetAnmPos(extra, screen);
      extra->depth = unit.anm != nullptr ? static_cast<int16_t>(unit.anm->depth - 1) : 0;
      Play(extra, unit.anims[kUnitAnmBaseEffect], 1, kLoop);
      Hide(extra);
    }
  }
  RunTable(kGeneratorTable, unit, screen);
}

void ActDengekiBakoUnit(SlgUnit& unit, const SlgPair& screen) {
  if (FirstFrame(unit)) {
    LoadUnitAnmSlot(unit, kUnitAnmBaseBody);
    LoadUnitAnmSlot(unit, kUnitAnmBaseEffect);
    MakeBody(unit, screen, unit.anims[kUnitAnmBaseBody], 0, 0, kLoop);
  }
  RunTable(kEleboxTable, unit, screen);
}

void ActJokiStandUnit(SlgUnit& unit, const SlgPair& screen) {
  if (FirstFrame(unit)) {
    LoadUnitAnmSlot(unit, kUnitAnmBaseBody);
    MakeBody(unit, screen, unit.anims[kUnitAnmBaseBody], 0, 0, kSlgAnmOnce);
  }
  RunTable(kJokiStandTable, unit, screen);
}

// ---- Handlers ----

void MapObjKeep(SlgUnit& unit, SlgPair& pos) { KeepOnPos(unit.anm, pos); }

void FactoryIdle(SlgUnit& unit, SlgPair& pos) {
  KeepOnPos(unit.anm, pos);
  PlaceParts(unit, pos);
}

void FactoryProduce(SlgUnit& unit, SlgPair& pos) {
  KeepOnPos(unit.anm, pos);
  PlaceParts(unit, pos);
  SlgMapObjRecord& r = RecordOf(unit);
  switch (unit.step) {
    case 0: {
      // The new unit walks out onto the cell below right of the factory: it must be free.
      const SlgPoint at = GroundSnap(unit);
      const SlgPair exit{(at.x + 48) * kPx, (at.y + 24) * kPx};
      SlgCell cell{};
      if (!CellOfSnap(at.x + 48, at.y + 24, cell) || !Slg::IsOnMap(exit) ||
          GetUnitAtCell(cell.column, cell.row) != kSlgNoUnit) {
        DebugPrint("MapObj: factory %d makes nothing: its exit cell is taken or off the map\n",
                   unit.slot);
        SetUnitState(unit, kStateStand);
        return;
      }
      const uint8_t slot = Produce(unit);
      if (slot == kSlgCreateRefused) {
        SetUnitState(unit, kStateStand);
        return;
      }
      SlgUnit& made = Battle().state.units[slot];
      made.x = at.x * kPx;
      made.y = at.y * kPx;
      // It enters the grid when it stands on its own cell.
      const uint32_t on_grid = made.flags & kUnitOnGrid;
      made.flags &= ~kUnitOnGrid;
      Slg::PlaceUnit(made);
      made.flags |= on_grid;
      CalcStatTotals(made.stats);
      Slg::AppendToOrder(slot);
      r.produced = slot;
      SetFactoryStatus(unit, kStatusMade);
      unit.step = 1;
      return;
    }
    case 1:
      Play(unit.anm, unit.anims[kUnitAnmBaseBody], kFactoryProduce, kSlgAnmOnce);
      SlgSePlay(kSlgFactorySe);
      SetFactoryStatus(unit, kStatusProducing);
      unit.step = 2;
      return;
    case 2: {
      if (SlgAnmObjIsEnd(unit.anm) == 0) return;
      SlgUnit* made = ProducedOf(unit);
      if (made == nullptr) {
        SetUnitState(unit, kStateStand);
        SetFactoryStatus(unit, kStatusIdle);
        return;
      }
      SetUnitState(*made, kStateWalk);
      r.leg_from = {made->x, made->y};
      r.frames = 0;
      unit.step = 3;
      return;
    }
    case 3: {
      SlgUnit* made = ProducedOf(unit);
      if (made == nullptr) {
        SetUnitState(unit, kStateStand);
        SetFactoryStatus(unit, kStatusIdle);
        return;
      }
      const int32_t f = ++r.frames;
      made->x = r.leg_from.x + 4 * f * kPx;
      made->y = r.leg_from.y + 2 * f * kPx;
      if (f < kSlgFactoryWalkFrames) return;
      SlgSePlay(kSlgFactorySe);
      SetUnitState(*made, kStateStand);
      const SlgPoint snap = SnapPosToCell(made->x >> 16, (made->y - made->lift) >> 16);
      made->x = snap.x * kPx;
      made->y = snap.y * kPx;
      EventObjPlace(*made);
      made->y += made->lift;
      SetUnitCell(*made);
      Play(unit.anm, unit.anims[kUnitAnmBaseBody], kFactoryClose, kSlgAnmOnce);
      SetFactoryStatus(unit, kStatusOut);
      unit.step = 4;
      return;
    }
    default:
      if (SlgAnmObjIsEnd(unit.anm) == 0) return;
      SetFactoryStatus(unit, kStatusIdle);
      SetUnitState(unit, kStateStand);
      return;
  }
}

void FactoryDead(SlgUnit& unit, SlgPair& pos) {
  if (unit.step == 0) {
    BattleContext& b = Battle();
    b.event_unit_ref[0] = unit.slot;
    const SlgUnit* destroyer = SlgActingUnit();
    b.factory_destroyer = destroyer != nullptr ? destroyer->character : 0;
    SetEventFlag(kSlgFactoryDeadFlag + VariantOf(unit));
  }
  SlgAnmObj** parts = PartsOf(unit);
  if (!Dead(unit, pos) || parts == nullptr) return;
  for (int k = 0; k < kSlgFactoryParts; ++k) FreeObj(parts[k]);
}

void GeneratorProduce(SlgUnit& unit, SlgPair& pos) {
  KeepOnPos(unit.anm, pos);
  SlgMapObjRecord& r = RecordOf(unit);
  SlgAnmObj* effects[2] = {unit.anm2, r.extra};
  if (unit.step == 0) {
    for (SlgAnmObj* e : effects) {
      if (e == nullptr) continue;
      KeepOnPos(e, pos);
      Play(e, unit.anims[kUnitAnmBaseEffect], e->pattern, kSlgAnmOnce);
    }
    unit.step = 1;
    return;
  }
  for (SlgAnmObj* e : effects) {
    KeepOnPos(e, pos);
    if (SlgAnmObjIsEnd(e) == 0) return;
  }
  const uint8_t slot = Produce(unit);
  if (slot != kSlgCreateRefused) {
    SlgUnit& made = Battle().state.units[slot];
    const SlgCell cell = PosToCell(made.x >> 16, made.y >> 16);
    if (GetUnitAtCell(cell.column, cell.row) != kSlgNoUnit) {
      DebugPrint("MapObj: generator %d makes nothing: cell (%d, %d) is taken\n", unit.slot,
                 cell.column, cell.row);
      Slg::RemoveUnit(slot);
    } else {
      Slg::PlaceUnit(made);
      SetUnitCell(made);
      CalcStatTotals(made.stats);
      Slg::AppendToOrder(slot);
    }
  }
  for (SlgAnmObj* e : effects) Hide(e);
  SetUnitState(unit, kStateStand);
}

void GeneratorDead(SlgUnit& unit, SlgPair& pos) {
  if (Dead(unit, pos)) SetEventFlag(kSlgGeneratorDeadFlag);
}

void FakeWakijiAttack(SlgUnit& unit, SlgPair& pos) {
  KeepOnPos(unit.anm, pos);
  SlgAnmObj* effect = unit.anm2;
  if (unit.step == 0) {
    // Kind 34's effect set, kept in the unit's own attack-effect slot (released with its sprites).
    SprAnm*& set = unit.anims[kUnitAnmAttackEffect];
    if (set == nullptr) set = GetUnitAnm(kFakeAttackKind, kUnitAnmBaseEffect);
    KeepOnPos(effect, pos);
    Play(effect, set, 0, kSlgAnmOnce);
    unit.step = 1;
    return;
  }
  KeepOnPos(effect, pos);
  if (SlgAnmObjIsEnd(effect) == 0) return;
  Hide(effect);
  SetUnitState(unit, kStateStand);
}

void JokidamaLeadIn(SlgUnit& unit, SlgPair& pos) {
  AttackStateLeadInT(unit, pos, kJokidamaPatterns);
}
void JokidamaEnd(SlgUnit& unit, SlgPair& pos) { AttackStateEndT(unit, pos, kJokidamaPatterns); }

void JokidamaRoll(SlgUnit& unit, SlgPair& pos) {
  KeepOnPos(unit.anm, pos);
  SlgMapObjRecord& r = RecordOf(unit);
  SlgAnmObj* ball = unit.anm2;
  switch (unit.step) {
    case 0: {
      Play(unit.anm, unit.anims[kUnitAnmBaseBody], kJokidamaRoll, kLoop);
      const SlgPoint at = GroundSnap(unit);
      r.ball = {at.x * kPx, at.y * kPx};
      r.legs = 0;
      FreeObj(r.extra);
      // The goal is the cell EnemyTarget stands on now (a target that moves away later is not
      // followed); with no target the ball bursts where it is.
      const BattleContext& b = Battle();
      const uint16_t target = b.think_search.target;
      r.goal = r.ball;
      if (target < b.state.unit_count && b.state.units[target].step != kSlgDeadStep) {
        const SlgPoint t = GroundSnap(b.state.units[target]);
        r.goal = {t.x * kPx, t.y * kPx};
      }
      Battle().flags |= kFlagDrawMap;
      if (ball != nullptr) {
        Play(ball, unit.anims[kUnitAnmBaseEffect], kBallPattern, kLoop);
        SlgAnmObjShow(ball);
      }
      PlaceBall(unit, r);
      unit.step = NextLeg(r, r.goal) ? 1 : 3;
      if (unit.step == 3) break;
      return;
    }
    case 1: {
      const int32_t f = std::min(FramesSince(r.start), kSlgBallLegFrames);
      r.ball = {r.leg_from.x + (r.leg_to.x - r.leg_from.x) / kSlgBallLegFrames * f,
                r.leg_from.y + (r.leg_to.y - r.leg_from.y) / kSlgBallLegFrames * f};
      Slg::ScrollStep();
      if (f >= kSlgBallLegFrames) {
        r.ball = r.leg_to;
        ++r.legs;
        if (!NextLeg(r, r.goal)) unit.step = 3;
      }
      PlaceBall(unit, r);
      if (unit.step == 3) break;
      return;
    }
    case 2: {
      KeepOnPos(r.extra, Slg::PosToScreen(r.ball));
      SlgAnmObj* body = unit.anm;
      if (body != nullptr && body->pattern != kJokidamaStand && SlgAnmObjIsEnd(body) != 0)
        Play(body, unit.anims[kUnitAnmBaseBody], kJokidamaStand, kLoop);
      if (SlgAnmObjIsEnd(r.extra) == 0) return;
      FreeObj(r.extra);
      SetUnitState(unit, kStateAttackEnd);
      return;
    }
    default:
      break;
  }
  // The burst (step 3, reached from steps 0 and 1 in the frame the ball stops): the ball hidden,
  // the explosion at it, the body's burst pattern.
  Hide(ball);
  FreeObj(r.extra);
  r.extra = CreateAnmObj(kExplosionPattern, 0);
  if (r.extra != nullptr) {
    SetAnmPos(r.extra, Slg::PosToScreen(r.ball));
    r.extra->depth = kSlgExplosionDepth;
    Play(r.extra, unit.anims[kUnitAnmBaseEffect], kExplosionPattern, kSlgAnmOnce);
  }
  Play(unit.anm, unit.anims[kUnitAnmBaseBody], kJokidamaBurst, kSlgAnmOnce);
  unit.step = 2;
}

void EleboxLeadIn(SlgUnit& unit, SlgPair& pos) { AttackStateLeadInT(unit, pos, kEleboxPatterns); }
void EleboxEnd(SlgUnit& unit, SlgPair& pos) { AttackStateEndT(unit, pos, kEleboxPatterns); }

void EleboxAttack(SlgUnit& unit, SlgPair& pos) {
  KeepOnPos(unit.anm, pos);
  BattleContext& b = Battle();
  if (unit.step == 0) {
    const uint16_t acting = b.state.acting_unit;
    const SlgUnit& on = acting < b.state.unit_count ? b.state.units[acting] : unit;
    if (unit.anm2 == nullptr) unit.anm2 = CreateAnmObj(kEleboxSpark, 0);
    if (SlgAnmObj* spark = unit.anm2; spark != nullptr) {
      SetAnmPos(spark, EffectPos(on));
      spark->depth = static_cast<int16_t>((on.anm != nullptr ? on.anm->depth : 0) - 1);
      Play(spark, unit.anims[kUnitAnmBaseEffect], kEleboxSpark, kSlgAnmOnce);
    }
    if (unit.anm != nullptr)
      Play(unit.anm, unit.anims[kUnitAnmBaseBody], unit.anm->pattern, kLoop);
    Elebox::StartDamageEffect(unit);
    Objects().elebox_done = 0;
    unit.step = 1;
    return;
  }
  if (SlgAnmObjIsEnd(unit.anm2) == 0) return;
  Objects().elebox_done = 1;
  SetUnitState(unit, kStateAttackEnd);
  FreeObj(unit.anm2);
}

void JokiStandKeep(SlgUnit& unit, SlgPair& pos) {
  const SlgPoint snap = GroundSnap(unit);
  unit.x = snap.x * kPx;
  unit.y = snap.y * kPx + unit.lift;
  pos = SlgMapToScreen(unit);
  SlgAnmObj* body = unit.anm;
  KeepOnPos(body, pos);
  if (body == nullptr || SlgAnmObjIsEnd(body) == 0) return;
  Play(body, unit.anims[kUnitAnmBaseBody], static_cast<uint8_t>(body->pattern == 0 ? 1 : 0),
       kSlgAnmOnce);
}

namespace Slg {
void HideFactory(SlgUnit& unit) { FactoryStop(unit, 1); }
void ShowFactory(SlgUnit& unit) { FactoryStop(unit, 0); }
}  // namespace Slg

namespace Elebox {

int StartDamageEffect(SlgUnit& box) {
  const BattleContext& b = Battle();
  const uint16_t acting = b.state.acting_unit;
  const SlgUnit& on = acting < b.state.unit_count ? b.state.units[acting] : box;
  SlgEffectTask* task = StartEffectTask(box, on, kEleboxActorEffect, "Elebox::DamageEffect");
  if (task == nullptr) return 0;
  const SlgPair at = EffectPos(on);
  DebugPrint("unitanm%d bank%d pos%d %d\n", box.kind, kUnitAnmBaseEffect, (at.x >> 16) + 320,
             (at.y >> 16) + 240);
  int made = 1;
  const int count = std::min<int>(b.target_count, kSlgMaxUnits);
  for (int k = 0; k < count; ++k) {
    const int slot = b.targets[static_cast<size_t>(k)];
    if (slot < 0) break;
    if (slot >= b.state.unit_count) continue;
    char name[48];
    std::snprintf(name, sizeof name, "Elebox::DamageEffect:%d", k);
    if (StartEffectTask(box, b.state.units[static_cast<size_t>(slot)], kEleboxTargetEffect,
                        name) == nullptr)
      break;
    ++made;
  }
  return made;
}

void DamageEffect(SlgEffectTask* task) {
  auto* w = static_cast<EleboxEffectWork*>(task->owned[0]);
  if (Objects().elebox_done == 1 || !BoxAttacking(*w)) {
    SlgTaskEndAnmWork(task);
    return;
  }
  const SlgBattleState& s = Battle().state;
  if (w->unit < s.unit_count) KeepOnPos(w->obj, EffectPos(s.units[w->unit]));
}

}  // namespace Elebox
