#include "battle/slg_action.h"

#include <array>
#include <memory>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "engine/app/context.h"
#include "engine/app/doors.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

// The task's block: nothing but the step byte (the state lives in Battle().action).
struct SlgActionWork {
  uint8_t form;
  uint8_t step;
};
constexpr StepTaskKind<SlgActionWork> kSlgActionTask{kSlgActionTaskName, &BattleActionTask};

constexpr int32_t kPx = 0x10000;
constexpr int kMapX = 320;
constexpr int kMapY = 240;
// The target's offset from the attacker, in steps of (96, 48) pixels, by direction.
constexpr std::array<int, 4> kTargetStepX{1, 1, -1, -1};
constexpr std::array<int, 4> kTargetStepY{-1, 1, 1, -1};
constexpr uint16_t kMirrored = 16;

// The stage the task plays on: an empty 640 x 480 map without units, so the camera never
// scrolls.
std::unique_ptr<StageTable> BuiltInStage() {
  const uint8_t header[4] = {640 & 0xFF, 640 >> 8, 480 & 0xFF, 480 >> 8};
  auto stage = std::make_unique<StageTable>();
  stage->Assign(header, sizeof(header), "built-in stage");
  return stage;
}

void Prepare(BattleContext& b) {
  b.stage = BuiltInStage();
  // The static-effect word (SlgRunning) is 0 here, a running battle being refused, so the table
  // load also loads the static effects.
  LoadSlgTables();
  if (HasScene()) {
    if (SpxAnimeKind* spx = Scene().tamvik_spr.spx()) spx->SetSoundHook(&AttackVoice);
  }
  b.action.prepared = 1;
}

void FreeBody(SlgAnmObj*& obj) {
  if (obj == nullptr) return;
  // (Without the engine its animations are gone with it.)
  if (HasCtx() && HasScene()) Scene().tamvik_spr.ReleaseAnm(&obj->handle);
  SlgFree(obj);
  obj = nullptr;
}

}  // namespace

SlgAttackRoutine BattleActionRow(int kind) {
  if (kind < 0 || kind >= kSlgActionRows) return nullptr;
  const BattleContext& b = Battle();
  return kind == kSlgSatanKind ? b.satan_action : b.action_table[static_cast<size_t>(kind)];
}

SlgAttackRoutine GattaiActionRow(int kind) {
  if (kind < 0 || kind >= kSlgGattaiRows) return nullptr;
  return Battle().gattai_table[static_cast<size_t>(kind)];
}

void FreeSlgActionBodies() {
  SlgActionTaskState& a = Battle().action;
  FreeBody(a.attacker_body);
  FreeBody(a.target_body);
}

void CTamvikSlgAct::Action(uint32_t packed) {
  BattleContext& b = Battle();
  // Slot 0 of the units becomes the target: a running battle's unit would be overwritten.
  if (b.running != 0) {
    DebugPrint("CTamvikSlgAct::Action: refused while a battle runs\n");
    return;
  }
  if (b.action.prepared == 0) Prepare(b);
  if (kSlgActionTask.IsRunning(Ctx().game_task)) {
    DebugPrint("Already Executing Battle Action Task. Please Wait to end.\n");
    return;
  }

  int kind = static_cast<int>(packed & 0xFFFFu);
  const uint8_t type = static_cast<uint8_t>((packed >> 16) & 0xFFu);
  const uint8_t dir = static_cast<uint8_t>((packed >> 24) & 3u);
  const bool gattai = type == 5;
  if (kind >= (gattai ? kSlgGattaiRows : kSlgActionRows)) {
    DebugPrint("CTamvikSlgAct::Action: kind %d has no row (attack type %d)\n", kind, type);
    return;
  }
  if (kind == 33 || kind == 36 || kind == 37) {
    b.attack.attack_kind = static_cast<uint16_t>(kind == 33 ? 1 : kind == 36 ? 2 : 3);
    kind = kSlgSatanKind;
  }
  const SlgActionRowFn table = gattai ? &GattaiActionRow : &BattleActionRow;
  if (table(kind) == nullptr) return;

  // The previous call's objects go before new ones are made.
  SlgActionTaskState& a = b.action;
  FreeSlgActionBodies();
  a.attacker_body = static_cast<SlgAnmObj*>(SlgAlloc(sizeof(SlgAnmObj)));
  a.target_body = static_cast<SlgAnmObj*>(SlgAlloc(sizeof(SlgAnmObj)));
  if (a.attacker_body == nullptr || a.target_body == nullptr) {
    FreeSlgActionBodies();
    DebugPrint("CTamvikSlgAct::Action: no memory for the body objects\n");
    return;
  }
  a.table = table;
  a.row = static_cast<uint16_t>(kind);

  // The attacker, at the screen centre.
  a.attacker = SlgUnit{};
  a.attacker_pos = {};
  SlgUnit& attacker = a.attacker;
  attacker.state = 6;
  attacker.step = 0;
  attacker.x = kMapX * kPx;
  attacker.y = kMapY * kPx;
  attacker.stats.attack_type = type;
  SlgAnmObj& body = *a.attacker_body;
  body.depth = 0;
  body.x = a.attacker_pos.x;
  body.y = a.attacker_pos.y;
  if (dir >= 2) body.attr = kMirrored;
  attacker.anm = &body;
  attacker.character = static_cast<uint8_t>(GetKindVoiceChara(kind));
  attacker.kind = static_cast<uint8_t>(kind);
  attacker.dir = dir;
  b.attack.kind5_variant = kind == 5 && (GetRandom() & 0x10) != 0 ? 1 : 0;

  // The target beside it, on the map and on the screen.
  const int sx = kTargetStepX[dir];
  const int sy = kTargetStepY[dir];
  const int target_x = kMapX + 96 * sx;
  const int target_y = kMapY + 48 * sy;
  const SlgPair target_pos{a.attacker_pos.x + 96 * sx * kPx, a.attacker_pos.y + 48 * sy * kPx};
  b.target_count = 1;
  b.targets = BattleContext::MakeEmptyTargets();
  b.targets[0] = 0;
  b.state.scroll_x = 0;
  b.state.scroll_y = 0;
  b.state.cursor_point = {static_cast<int16_t>(target_x), static_cast<int16_t>(target_y)};

  SlgUnit& target = b.state.units[0];
  target = attacker;
  target.x = target_x * kPx;
  target.y = target_y * kPx;
  target.flags |= kUnitInDamageList | kUnitOnGrid;
  target.side = 1;
  // The attacker's object has no animation yet: the copy shares nothing with it.
  *a.target_body = body;
  a.target_body->x = target_pos.x;
  a.target_body->y = target_pos.y;
  target.anm = a.target_body;

  if (type == 1 && kind != kSlgSatanKind) SlgFadeOut(0);

  if (kSlgActionTask.Start(Ctx().game_task, SlgTaskOwner()) == nullptr) {
    DebugPrint("CTamvikSlgAct::Action: the task did not start\n");
  }
}

void EndSlgActionTask() {
  if (GameTaskRec* record = kSlgActionTask.Find(Ctx().game_task)) Ctx().game_task.DelTask(record);
}

void BattleActionTask(GameTaskRec* record) {
  StepTask<SlgActionWork> task(Ctx().game_task, record);
  if (task.EndIfOwnerGone()) return;
  BattleContext& b = Battle();
  SlgActionTaskState& a = b.action;
  if (a.attacker.state == 6) {
    b.attacker = &a.attacker;
    if (a.table != nullptr) {
      if (SlgAttackRoutine routine = a.table(a.row)) routine(a.attacker, a.attacker_pos);
    }
    return;
  }
  task.End();
  DebugPrint("Battle Action Task End.\n\n");
}
