// The town map's label file, as the scene start and end and the map set-up use it.

#include "scene/ui/tamvik_map.h"

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
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
  // The top floor's overlay plays from the label file.
  if (map.overlay != nullptr) Scene().tamvik_spr.ReleaseAnm(&map.overlay);
  if (map.label_file != nullptr) TamvikFunc::ReleaseAnmFile(map.label_file);
}
