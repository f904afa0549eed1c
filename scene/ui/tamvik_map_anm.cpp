// The town map's label file and the map sequence's close, as the scene start and end use them.

#include "scene/ui/tamvik_map.h"

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/game_task.h"
#include "engine/gfx/sprite/sprite.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/ui/tamvik_func.h"

int CTamvikMap::LoadMapAnm() {
  FreeMapAnm();
  const bool theatre = GetAdvState()->mapLevelSet() == 0;
  SprAnm* file = TamvikFunc::LoadAnmFile(theatre ? kTheatreLabels : kHauntedLabels);
  if (file == nullptr) {
    DebugPrint("CTamvikMap::LoadMapAnm: %s not loaded\n", theatre ? kTheatreLabels : kHauntedLabels);
    return 0;
  }
  Scene().map.label_file = file;
  if (theatre) {
    for (unsigned unit : kTranslucentUnits) {
      if (SprRec* sprite = Scene().tamvik_spr.GetAnmUnitSprID(file, unit)) {
        Ctx().ddraw_spr.SetSpriteAlpha(sprite, 128);
      }
    }
  }
  return 1;
}

void CTamvikMap::FreeMapAnm() {
  CTamvikMap& map = Scene().map;
  if (map.label_file != nullptr) TamvikFunc::ReleaseAnmFile(map.label_file);
}

void CTamvikMap::CloseMapSeq() {
  if (GameTaskRec* task = Ctx().game_task.FindTask(kMapSeqTaskName)) {
    // The map sequence is the map's own; until it exists nothing runs under this name.
    DebugPrint("CloseMapSeq: the map sequence is not built; its task is ended\n");
    Ctx().game_task.DelTask(task);
  }
  TamvikFunc::SetKeyMouse(0);
}
