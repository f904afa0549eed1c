#include "battle/slg_game_over.h"

#include "battle/battle_context.h"
#include "battle/slg_comm_win.h"
#include "battle/slg_draw.h"
#include "battle/slg_map.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_sys_spr.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "game/game_state.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr SurfaceId kPictureSurface = SURFACE_SCRATCH;
constexpr const char* kPictureEntryName = "Slg::GameOverPicture";
constexpr int kMenuX = 232;
constexpr int kMenuY = 184;
constexpr MenuRect kMenuItems[2] = {{16, 16, 162, 48}, {16, 64, 162, 96}};
constexpr uint16_t kInputLocked = 0xFF01;
constexpr int kFadeFrames = 32;
// The picture stands behind everything of the battle on its layer.
constexpr int kPictureDepth = 511;
constexpr int kFinalMap = 19;

uint32_t Now() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }

void PlayMenu(int item) {
  SlgSystemSprite& sys = Battle().sys_sprites[kSysContinue];
  if (sys.file == nullptr) return;
  SlgPlayAnm(sys.file, static_cast<uint32_t>(item), &sys.obj, kSlgSysSurface);
}

// Deletes the picture's entry and its sprite (nothing uses either after the sequence).
void DeletePicture() {
  SlgGameOverState& g = Battle().game_over;
  Ctx().ddraw_spr.DeleteBuffer(&g.entry);
  Ctx().ddraw_spr.DeleteSprite(&g.picture);
}

}  // namespace

namespace Slg {

void DrawMapNow() {
  const SlgBattleState& s = Battle().state;
  SlgMap::DrawMap(s.scroll_x + s.scroll_offset_x, s.scroll_y + s.scroll_offset_y);
}

int LoadGameOverPicture() {
  BattleContext& b = Battle();
  b.flags &= static_cast<uint16_t>(~6u);
  DeletePicture();
  const char* name = b.state.units[0].kind != 0 ? "tamvik2\\BG\\GO_Telka.spr"
                                                : "tamvik2\\BG\\GO_Varno.spr";
  if (TamvikFunc::LoadPicture(name, 0, 0, 0, kPictureSurface) != 1) {
    DebugPrint("Slg::LoadGameOverPicture: %s not loaded\n", name);
    return 0;
  }
  Rect rect{};
  TamvikFunc::GetPictureRect(&rect);
  b.game_over.picture = Ctx().ddraw_spr.CreateSprite(0, 0, kPictureSurface, rect.left, rect.top,
                                                     rect.right, rect.bottom);
  return 1;
}

int GameOverSeq(uint8_t* step) {
  if (step == nullptr) return -1;
  BattleContext& b = Battle();
  SlgGameOverState& g = b.game_over;
  if ((g.first_frame & 1) == 0) {
    g.first_frame |= 1;
    g.shown = g.choice;
  }
  const int64_t frames = static_cast<int64_t>(static_cast<int32_t>(Now() - g.wait_start)) * 60 / 1000;
  switch (*step) {
    case 0:
      b.flags = static_cast<uint16_t>((b.flags & 0xFFFB) | 0xA0);
      g.choice = 1;
      SlgFadeOut(kFadeFrames);
      g.input_lock = 0;
      *step = 1;
      break;
    case 1:
      DrawMapNow();
      if (SlgIsFadeEnd() == 0) break;
      g.input_lock = kInputLocked;
      LoadGameOverPicture();
      if (g.picture != nullptr) {
        g.entry = SlgSprCreate(kPictureEntryName, g.picture, 0, 0, kSlgSysSurface, 0, kPictureDepth, 0);
      }
      BGMPlayStart(GetSystemData()->battleMap() != kFinalMap ? 19 : 15);
      SlgFadeIn(kFadeFrames);
      *step = 2;
      break;
    case 2:
      if (SlgIsFadeEnd() == 0) break;
      g.input_lock = 0;
      g.wait = 30;
      g.wait_start = Now();
      *step = 3;
      break;
    case 3:
      if (frames >= g.wait) *step = 4;
      break;
    case 4: {
      g.wait = 3000;
      SlgAnmObj& obj = b.sys_sprites[kSysContinue].obj;
      obj.x = (kMenuX - kSlgCentreX) * 65536;
      obj.y = (kMenuY - kSlgCentreY) * 65536;
      obj.depth = static_cast<int16_t>(kSlgSysTopDepth);
      PlayMenu(g.choice);
      *step = 5;
      break;
    }
    case 5: {
      SyncMouseCursor();
      DrawMouseCursor(kSlgSysSurface);
      if (SlgMouseFlag() != 0) {
        const int hit = MenuHitTest(kMenuX, kMenuY, kMenuItems, 2);
        if (hit >= 0) g.choice = static_cast<uint16_t>(hit);
      } else {
        g.choice = static_cast<uint16_t>(MenuToggle2(g.choice));
      }
      if (g.choice != g.shown) {
        PlayMenu(g.choice);
        g.shown = g.choice;
      }
      Ctx().ddraw.SetUpdate(kSlgSysSurface, 1);
      if (IsKeyTriggered(0) != 0) {
        Scene().tamvik_spr.ReleaseAnm(&b.sys_sprites[kSysContinue].obj.handle);
        SlgSePlay(15);
        g.input_lock = 0;
        SlgFadeOut(kFadeFrames);
        SlgBgmVolumeDown();
        *step = 6;
      }
      break;
    }
    case 6:
      if (SlgIsFadeEnd() == 0) break;
      DeletePicture();
      g.input_lock = kInputLocked;
      *step = 100;
      break;
    case 100:
      return g.choice != 0 ? 1 : 0;
    default:
      break;
  }
  return -1;
}

}  // namespace Slg
