#include "battle/slg_sys_spr.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_geometry.h"
#include "battle/slg_sound.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"
#include "engine/files/text_file.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

const char* const kSlgSysSpriteIds[kSlgSysSpriteCount] = {
    "Cursor:",        "MouseCursor:",     "Grid:",          "CommandWindow:",
    "InfoWindow:",    "LifeGauge:",       "KiaiGauge:",     "MojiBDigit:",
    "DamageDigit:",   "LargeGauge:",      "OkuriCursor:",   "Shadow:",
    "BougyoEffect:",  "KaifukuEffect:",   "TameEffect:",    "PachiPachiEffect:",
    "Continue:",      "YesNo:",           "StartMenu:",     "AllMap:",
    "NameUnit:",      "NameCharacter:",   "NameSpecialAttack:"};

namespace {

constexpr int kLineMax = 256;
constexpr const char* kTabName = "System.Tab";

int SlotOfId(const char* id) {
  for (int i = 0; i < kSlgSysSpriteCount; ++i) {
    if (std::strcmp(kSlgSysSpriteIds[i], id) == 0) return i;
  }
  return -1;
}

// The sprite of frame n of the slot's file; null (no trace) when the slot is empty or the file
// has no such sprite.
SprRec* FrameSprite(int slot, int frame) {
  SprAnm* file = SlgSysSprite(slot);
  if (file == nullptr || file->unit == nullptr || frame < 0) return nullptr;
  if (static_cast<uint32_t>(frame) >= file->unit->SprNum()) return nullptr;
  return file->unit->sprites[static_cast<size_t>(frame)];
}

SprBufferEntry* PutEntry(int slot, int frame, int x, int y, int32_t depth, SurfaceId surface) {
  SprRec* sprite = FrameSprite(slot, frame);
  if (sprite == nullptr) return nullptr;
  return SlgSprCreate(nullptr, sprite, x, y, surface, 4, depth, 0);
}

// Frames of the game clock at 60 per second.
uint32_t ClockFrames() {
  return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<uint32_t>(Ctx().frame_rate.GetTime())) * 60 / 1000);
}

// Frame of animation 0 of the slot's file shown now: advancing every 8 frames, wrapping at the
// animation's frame count; -1 when the file has no such animation.
int CyclingFrame(int slot) {
  SprAnm* file = SlgSysSprite(slot);
  const uint32_t count = Scene().tamvik_spr.GetAnmFrameNum(file, 0);
  if (count == 0) return -1;
  const SprAnmFrame* frame = Scene().tamvik_spr.GetAnmFrame(file, 0, (ClockFrames() / 8) % count);
  return frame != nullptr ? frame->unit : -1;
}

}  // namespace

SprAnm* SlgSysSprite(int slot) {
  if (slot < 0 || slot >= kSlgSysSpriteCount) return nullptr;
  return Battle().sys_sprites[static_cast<size_t>(slot)].file;
}

int LoadSystemSprites() {
  FreeSystemSprites();
  CTextFile reader(Ctx().file_io);
  if (reader.Open(kSlgSystemTab) == 0) {
    DebugPrint("Error: Can't open %s.\n", kTabName);
    return 0;
  }
  bool defined[kSlgSysSpriteCount] = {};
  int loaded = 0;
  int number = 0;
  char line[kLineMax];
  while (reader.IsEnd() == 0) {
    reader.GetLine(line, kLineMax);
    if (reader.IsEnd() != 0 && line[0] == '\0') break;
    ++number;
    char id[kLineMax] = {};
    char file[kLineMax] = {};
    const int fields = std::sscanf(line, " %255s %255s ", id, file);
    if (fields < 1 || id[0] == '\0' || id[0] == '#') continue;
    const int slot = SlotOfId(id);
    if (slot < 0) {
      DebugPrint("%s:%d: Error: No match ID '%s'.\n", kTabName, number, id);
      break;
    }
    if (defined[slot]) {
      DebugPrint("%s:%d: Error: '%s' is defined multiplily.\n", kTabName, number, id);
      break;
    }
    defined[slot] = true;
    if (fields < 2) {
      DebugPrint("%s:%d: '%s' names no file\n", kTabName, number, id);
      continue;
    }
    for (char* c = file; *c != '\0'; ++c) *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
    const std::string path = std::string("tamvik2\\") + file;
    SprAnm* anm = TamvikFunc::LoadAnmFile(path.c_str());
    if (anm == nullptr) {
      DebugPrint("%s:%d: %s not loaded\n", kTabName, number, path.c_str());
      continue;
    }
    Battle().sys_sprites[static_cast<size_t>(slot)].file = anm;
    ++loaded;
    if (slot == kSysShadow) {
      for (uint32_t n = 0; n < anm->AnmDataNum(); ++n) {
        Scene().tamvik_spr.SetAnmAlpha(anm, n, kSlgShadowAlpha);
      }
    }
  }
  return loaded;
}

void FreeSystemSprites() {
  for (SlgSystemSprite& s : Battle().sys_sprites) {
    Scene().tamvik_spr.ReleaseAnm(&s.obj.handle);
    TamvikFunc::ReleaseAnmFile(s.file);
  }
}

int SlgSysSprPut(int slot, int frame, int x, int y, int32_t depth) {
  return PutEntry(slot, frame, x, y, depth, kSlgSysSurface) != nullptr ? 1 : 0;
}

int SlgSysSprPutTop(int slot, int frame, int x, int y) {
  return SlgSysSprPut(slot, frame, x, y, kSlgSysTopDepth);
}

int SlgSysSprPutSized(int slot, int frame, int x, int y, int width, int height) {
  SprRec* sprite = FrameSprite(slot, frame);
  if (sprite == nullptr || sprite->width <= 0 || sprite->height <= 0) return 0;
  SprBufferEntry* entry = PutEntry(slot, frame, x, y, kSlgSysTopDepth, kSlgSysSurface);
  if (entry == nullptr) return 0;
  const int64_t w = width < 0 ? 0 : width;
  const int64_t h = height < 0 ? 0 : height;
  Ctx().ddraw_spr.SetBufferZoom(entry, static_cast<int32_t>(w * 65536 / sprite->width),
                                static_cast<int32_t>(h * 65536 / sprite->height));
  return 1;
}

int SlgSysSprPutRect(int slot, int frame, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  if (x1 <= x0 || y1 <= y0) return 0;
  const int64_t width = (int64_t{x1} - x0) >> 16;
  const int64_t height = (int64_t{y1} - y0) >> 16;
  return SlgSysSprPutSized(slot, frame, x0 >> 16, y0 >> 16, static_cast<int>(width),
                           static_cast<int>(height));
}

void DrawDigitString(const char* text, int slot, int x, int y) {
  if (text == nullptr) return;
  for (int i = 0; text[i] != '\0'; ++i) {
    const char c = text[i];
    int frame = -1;
    if (c >= '0' && c <= '9') frame = c - '0';
    if (c == '/') frame = 11;
    if (frame >= 0) SlgSysSprPutTop(slot, frame, x + 16 * i, y);
  }
}

void DrawDigitStringB(const char* text, int slot, int x, int y) {
  if (text == nullptr) return;
  for (int i = 0; text[i] != '\0'; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == ' ') continue;
    SlgSysSprPutTop(slot, static_cast<int>(c) - 35, x + 16 * i, y);
  }
}

namespace Slg {

void DrawMapCursor() {
  const int frame = CyclingFrame(kSysCursor);
  if (frame < 0) return;
  const SlgBattleState& s = Battle().state;
  const SlgPoint snap = SnapPosToCell(s.cursor_point[0], s.cursor_point[1]);
  const SlgPair screen = PosToScreen({snap.x * 65536, snap.y * 65536});
  SlgSysSprPutTop(kSysCursor, frame, SlgScreenX(screen.x), SlgScreenY(screen.y));
}

void SyncMouseCursor() {
  // A demonstration drives the pointer itself: the mouse moves nothing then.
  if (Battle().event_words.demo_cursor == 1) return;
  int32_t x = 0, y = 0;
  SlgPointerPos(&x, &y);
  Battle().state.pointer = {x * 65536, y * 65536};
}

void DrawMouseCursor(SurfaceId surface) {
  const SlgPair pointer = Battle().state.pointer;
  // While a demonstration drives the cursor SlgMouseFlag reports no movement (outside pointer
  // mode), so the mouse is not asked and the cursor is drawn where the pointer pair says.
  if (SlgMouseFlag() != 0 || (Battle().flags & 1) == 0) {
    SlgSetMouse(pointer.x >> 16, pointer.y >> 16);
  }
  const int frame = CyclingFrame(kSysMouseCursor);
  if (frame < 0) return;
  PutEntry(kSysMouseCursor, frame, SlgScreenX(pointer.x), SlgScreenY(pointer.y),
           kSlgMouseCursorDepth, surface);
}

}  // namespace Slg
