// The wall pictures behind the message window: a scene's own wall by its chapter and variant, and
// the extras walls the player chooses in the extras scene.

#include <array>
#include <cstdio>

#include "engine/core/debug_trace.h"
#include "engine/files/file_io.h"
#include "engine/gfx/gfx_types.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr const char* kWallDirectory = "tamvik1\\WALL\\";
// The extras scene shows the extras walls instead of its own.
constexpr uint16_t kExtrasScene = 0x0109;
constexpr std::array<const char*, 4> kExtrasWalls = {"KABE0100.SPR", "OMAKE01.SPR", "OMAKE02.SPR",
                                                     "OMAKE03.SPR"};

int LoadWall(const char* name) {
  DebugPrint("WallFile = %s\n", name);
  return TamvikFunc::LoadPicture(name, 0, 0, 0, SURFACE_ROOT);
}

}  // namespace

int CTamvikMacro::LoadOmakeWall() {
  if (extras_wall >= kExtrasWalls.size()) {
    // The list has four walls: any other number would read past it.
    DebugPrint("LoadOmakeWall: extras wall %d is not one of 0-3\n", static_cast<int>(extras_wall));
    return 0;
  }
  char name[kPathMax];
  std::snprintf(name, sizeof name, "%s%s", kWallDirectory, kExtrasWalls[extras_wall]);
  return LoadWall(name);
}

int TamvikFunc::LoadWallPicture(uint16_t scene_code, int variant) {
  if (scene_code == kExtrasScene) return Scene().macro.LoadOmakeWall();
  char name[kPathMax];
  std::snprintf(name, sizeof name, "%s%s%.04d%s", kWallDirectory, "Kabe",
                (scene_code >> 8) * 100 + variant, ".spr");
  return LoadWall(name);
}
