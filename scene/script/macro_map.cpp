// The town map's commands: DISPMAP (show the map), MOVE (let the player pick a place) and GO
// (walk the puppet and close the map). The map itself runs as the task "CTamvikMap::MapSeq"
// under the decode task (scene/script/tamvik_map_seq.cpp).

#include <cstring>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/macro_tasks.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_map.h"

namespace {

struct MapCommandWork {
  uint8_t form;
  uint8_t step;
  uint16_t node;   // DISPMAP, MOVE: the start node; GO: the target
  uint16_t floor;  // DISPMAP, MOVE: the floor; GO: the flag
  uint8_t rest[10];
};
static_assert(sizeof(MapCommandWork) == sizeof(TaskWork));

constexpr uint16_t kSkipScene = 0x0108;
constexpr uint8_t kMapIdle = 4;
constexpr uint8_t kMapPick = 7;
constexpr uint8_t kMapPicked = 9;
constexpr uint8_t kMapGo = 16;
constexpr uint8_t kMapClosing = 21;

// The command is done: the continue flag back to 1, A[0] := value.
void Answer(GameTaskRec* task, uint16_t value) {
  SetMacroA(0, value);
  Scene().macro.continue_flag = 1;
  EndCommand(task);
}

// No map sequence to wait for (its set-up failed, or it was closed): the script goes on with
// the start node.
void AnswerWithoutMap(GameTaskRec* task, const char* command, uint16_t node) {
  DebugPrint("%s: no map sequence; A[0] := %d and decoding goes on\n", command, node);
  Answer(task, node);
}

// DISPMAP (pick = false) and MOVE (pick = true).
void DecodeMapShow(GameTaskRec* task, bool pick) {
  StepTask<MapCommandWork> step(Ctx().game_task, task);
  if (EndedWithOwner(step, task)) return;
  CTamvikMacro& macro = Scene().macro;
  const char* command = pick ? "MOVE" : "DISPMAP";
  AdvState* adv = GetAdvState();
  if (adv->sceneSkip() != 0 && adv->sceneCode() == kSkipScene) {
    macro.continue_flag = 1;
    EndCommand(task);
    return;
  }
  macro.continue_flag = 0;
  MapCommandWork& work = step.work();
  switch (step.step()) {
    case 0:
      if (!macro.GetOperand(&work.node) || !macro.GetOperand(&work.floor)) {
        EndCommand(task);  // a decode error: decoding stays stopped
        return;
      }
      if (macro.scene_ready != 0) {
        macro.CloseScenePicture();
        for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC, SURFACE_TEXT}) {
          Ctx().ddraw.SetVisible(id, 0);
        }
        macro.scene_ready = 0;
        macro.backgrounds_shown = 0;
        step.GoTo(1);
      } else {
        step.GoTo(2);
      }
      break;
    case 1:
      if (IsScreenFadeDone()) step.GoTo(2);
      break;
    case 2:
      if (macro.chara_shown != 0) {
        macro.shown_chara = 99;
        macro.chara_shown = 0;
        TamvikFunc::ReleaseNcSpx();
        if (pick) adv->setBustUpId(0);
      }
      DebugPrint("Set MapSeq no:%d floor:%d\n", work.node, work.floor);
      if (CTamvikMap::StartMapSeq(step.owner(), work.node, work.floor) == 0) {
        AnswerWithoutMap(task, command, work.node);
        return;
      }
      step.GoTo(3);
      break;
    case 3: {
      const int state = CTamvikMap::GetMapSeqState();
      if (state < 0) {
        AnswerWithoutMap(task, command, work.node);
        return;
      }
      if (state != kMapIdle) return;
      CTamvikMap::SetMapSeqState(pick ? kMapPick : kMapPicked);
      step.GoTo(4);
      break;
    }
    default: {
      const MapSeqWork* map = CTamvikMap::GetMapSeqWork();
      if (map == nullptr) {
        AnswerWithoutMap(task, command, work.node);
        return;
      }
      if (map->state != kMapPicked) return;
      // MOVE answers the node of the pick; DISPMAP, which picks nothing, its start node.
      Answer(task, pick ? map->picked : map->place);
      break;
    }
  }
}

}  // namespace

void DecodeDispmap(GameTaskRec* task) { DecodeMapShow(task, false); }
void DecodeMove(GameTaskRec* task) { DecodeMapShow(task, true); }

void DecodeGo(GameTaskRec* task) {
  StepTask<MapCommandWork> step(Ctx().game_task, task);
  if (EndedWithOwner(step, task)) return;
  CTamvikMacro& macro = Scene().macro;
  macro.continue_flag = 0;
  MapCommandWork& work = step.work();
  switch (step.step()) {
    case 0: {
      if (!macro.GetOperand(&work.node) || !macro.GetOperand(&work.floor)) {
        EndCommand(task);  // a decode error: decoding stays stopped
        return;
      }
      MapSeqWork* map = CTamvikMap::GetMapSeqWork();
      if (map == nullptr) {
        AnswerWithoutMap(task, "GO", Scene().map.current_node);
        return;
      }
      map->go_target = work.node;
      map->go_flag = work.floor;
      DebugPrint("DecodeGo MapTargetNo = %d MapFlag = %d\n", work.node, work.floor);
      map->state = kMapGo;
      step.Next();
      break;
    }
    default: {
      const int state = CTamvikMap::GetMapSeqState();
      if (state < 0) {
        AnswerWithoutMap(task, "GO", Scene().map.current_node);
        return;
      }
      if (state != kMapClosing) return;
      macro.continue_flag = 1;
      CTamvikMap::CloseMapSeq();
      macro.backgrounds_shown = 0;
      macro.chara_shown = 0;
      macro.scene_ready = Ctx().ddraw.IsVisible(SURFACE_TEXT) != 0 ? 1 : 0;
      macro.shown_chara = 99;
      EndCommand(task);
      break;
    }
  }
}

bool StartMapCommandTask(GameTaskRec* owner, const char* name) {
  struct Built {
    const char* name;
    TaskFunc function;
  };
  static constexpr Built kBuilt[] = {
      {"CTamvikMacro::DecodeDispmap", &DecodeDispmap},
      {"CTamvikMacro::DecodeMove", &DecodeMove},
      {"CTamvikMacro::DecodeGo", &DecodeGo},
  };
  for (const Built& built : kBuilt) {
    if (std::strcmp(name, built.name) == 0) {
      CTamvikMacro::SetDecodeTask(owner, built.function, name);
      return true;
    }
  }
  return false;
}
