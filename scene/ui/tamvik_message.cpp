// The ADV message window on the text layer (surface 8): its frame picture, the typing of its
// text, the window shade behind it and the screen shade on the background layer. Pictures are
// assembled on the work surface 12.

#include <cstring>
#include <string>
#include <vector>
#include <string_view>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/text/text_big5.h"
#include "engine/gfx/window/window.h"
#include "scene/scene_context.h"
#include "scene/sprite/portrait_state.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr const char* kWindowDirectory = "tamvik1\\system\\window\\";
constexpr const char* kSprExtension = ".spr";
constexpr const char* kWindowShadeFile = "tamvik1\\system\\window\\shade_wb.spr";
constexpr const char* kScreenShadeFile = "tamvik1\\system\\window\\shade_wa.spr";

constexpr ColorRef kWindowColor = 0xFFFFFF;
constexpr ColorRef kCharColor = 0x0F0F0F;
constexpr int kCharAdvance = 24;
constexpr uint32_t kTwoTextSpeed = 100;

// The frame picture and the window shade: 608 x 128; the shade at 24,346 of its layer.
constexpr int kWindowWidth = 608;
constexpr int kWindowHeight = 128;
constexpr int kWindowShadeX = 24;
constexpr int kWindowShadeY = 346;
// The screen shade: 576 x 320 at 8,8 of surface 5; its drop shadow drawn at 40,24.
constexpr int kScreenShadeWidth = 576;
constexpr int kScreenShadeHeight = 320;
constexpr int kScreenShadeX = 8;
constexpr int kScreenShadeY = 8;
constexpr int kShadowX = 40;
constexpr int kShadowY = 24;
constexpr Rect kShadowHole = {32, 16, 608, 336};

constexpr int kBackMost = 2047;
constexpr int kFrontMost = 0;
constexpr BlendWord kHalf = 127;

bool MergedStyle(int style) { return style >= 2 && style <= 5; }
bool TranslucentStyle(int style) { return style >= 6 && style <= 9; }

// Removes an entry unless it went already with its sprite (its pool record may serve another
// holder then).
void RemoveEntry(CDdrawSpr& spr, SprBufferEntry*& entry, const SprRec* sprite) {
  SprBufferEntry* held = entry;
  entry = nullptr;
  if (held == nullptr || !held->in_use || held->sprite != sprite) return;
  spr.DeleteBufferChecked(&held);
}

// The window shade in a style, assembled on surface 12; null when no sprite can be made.
SprRec* MakeWindowShade(int style) {
  EngineContext& ctx = Ctx();
  CDdrawFunc& ddraw = ctx.ddraw;
  CDdrawSpr& spr = ctx.ddraw_spr;
  ddraw.ClearSurface(SURFACE_SCRATCH, 1);
  if (TamvikFunc::LoadSprToSurface(kWindowShadeFile, 0, 0, 0, SURFACE_SCRATCH, 0) != 1) {
    DebugPrint("TamvikFunc: window shade %s cannot be loaded\n", kWindowShadeFile);
  }
  SprRec* shade = spr.CreateSprite(0, 0, SURFACE_SCRATCH, 0, 0, kWindowWidth, kWindowHeight);
  if (shade == nullptr) return nullptr;
  if (MergedStyle(style)) {
    // The shade merged with the root layer's picture behind it, as one opaque picture.
    ddraw.ClearSurface(SURFACE_SCRATCH, 1);
    ddraw.CopyLayer(SURFACE_ROOT, SURFACE_SCRATCH, 0, 0);
    spr.SetSpriteAlpha(shade, kHalf);
    spr.PutSprite(shade, kWindowShadeX, kWindowShadeY, SURFACE_SCRATCH, 0);
    SprRec* merged =
        spr.CreateSprite(0, 0, SURFACE_SCRATCH, kWindowShadeX, kWindowShadeY,
                         kWindowShadeX + kWindowWidth, kWindowShadeY + kWindowHeight);
    spr.DeleteSprite(&shade);
    return merged;
  }
  spr.SetSpriteAlpha(shade, TranslucentStyle(style) ? kHalf : CDdrawSpr::kOpaque);
  return shade;
}

void ShowWindowShadeOn(SurfaceId surface, int style) {
  PortraitState& state = Scene().portraits;
  if (state.message_window == nullptr) return;
  TamvikFunc::RemoveWindowShade();
  state.window_shade = MakeWindowShade(style);
  if (state.window_shade == nullptr) return;
  // The compose draws a layer's windows before its sprite entries, so a shade meant to lie under
  // the text layer's window (and its face and text) goes to the front of the layer below it; on
  // the root layer it lies at the back of that layer.
  const bool under_text_window = surface == SURFACE_TEXT;
  state.window_shade_entry = Ctx().ddraw_spr.SetBuffer(
      CDdrawSpr::kBuffered, state.window_shade, kWindowShadeX, kWindowShadeY,
      under_text_window ? SURFACE_FC : surface, 1, under_text_window ? kFrontMost : kBackMost);
}

}  // namespace

int ADVShowWindow() {
  DebugPrint("ADVShowWindow\n");
  if (TamvikFunc::CreateMessageWindow(TamvikFunc::kDefaultWindowStyle) == 0) return 0;
  TamvikFunc::RedrawMessageWindow();
  return 1;
}

int TamvikFunc::CreateMessageWindow(int style) {
  PortraitState& state = Scene().portraits;
  if (state.message_window != nullptr) {
    DebugPrint("MessageWindow already Exsist!\n");
    return 0;
  }
  EngineContext& ctx = Ctx();
  WindowRec* window = ctx.ddraw_window.Create(SURFACE_TEXT, kWindowFrame, kWindowInner,
                                              kWindowText, kWindowColor, style);
  if (window == nullptr) {
    DebugPrint("TamvikFunc::CreateMessageWindow: the window cannot be made\n");
    return 0;
  }
  state.message_window = window;
  ctx.ddraw.ClearSurface(SURFACE_SCRATCH, 1);
  std::string frame_name = std::string(kWindowDirectory) + "window_b" + kSprExtension;
  if (LoadPicture(frame_name.c_str(), 0, 0, 0, SURFACE_SCRATCH) != 1) {
    DebugPrint("TamvikFunc::CreateMessageWindow: frame picture %s cannot be loaded\n",
               frame_name.c_str());
  }
  const Rect whole = {0, 0, kWindowWidth, kWindowHeight};
  ctx.ddraw_window.BltToPiece(window, CDdrawWindow::kTextSprite, whole, whole, SURFACE_SCRATCH, 1);
  ctx.ddraw_window.ClearText(window);
  ctx.ddraw.SetUpdate(SURFACE_TEXT, 1);
  ShowWindowShade(style);
  return 1;
}

void TamvikFunc::RedrawMessageWindow() {
  WindowRec* window = Scene().portraits.message_window;
  if (window == nullptr) return;
  EngineContext& ctx = Ctx();
  ctx.ddraw.ClearSurface(SURFACE_SCRATCH, 1);
  if (!TranslucentStyle(window->style)) {
    ctx.ddraw.DrawBoxEx(SURFACE_SCRATCH, window->base_color, window->inner, window->style,
                        SURFACE_PRIMARY);
  }
  CDdrawSpr& spr = ctx.ddraw_spr;
  spr.DeleteSprite(&window->frame_sprite);
  const Rect& f = window->frame;
  window->frame_sprite =
      spr.CreateSprite(f.left, f.top, SURFACE_SCRATCH, f.left, f.top, f.right, f.bottom);
  ShowWindowShadeOnText();
}

int TamvikFunc::CloseMessageWindow() {
  PortraitState& state = Scene().portraits;
  if (state.message_window == nullptr) return 1;
  CDdrawWindow& windows = Ctx().ddraw_window;
  windows.ClearText(state.message_window);
  RemoveWindowShade();
  windows.Delete(&state.message_window);
  return 1;
}

namespace {

// Types text 1 with text 2 as its mouth text into the message window at `speed` ms a character.
int StartTyping(const char* text, const char* mouth, uint32_t speed) {
  PortraitState& state = Scene().portraits;
  if (state.message_window == nullptr) return 0;
  const std::string_view first = text != nullptr ? text : "";
  const std::string_view second = mouth != nullptr ? mouth : "";
  // Text 1, two zero bytes, text 2, a zero.
  std::vector<uint8_t> block(first.size() + second.size() + 3, 0);
  std::memcpy(block.data(), first.data(), first.size());
  std::memcpy(block.data() + first.size() + 2, second.data(), second.size());
  CDdrawAnime& anime = Ctx().anime;
  // A typing still running would type over the new one and clear its handle when it ends.
  if (state.message_anime != nullptr) anime.DeleteRef(&state.message_anime);
  state.message_anime =
      anime.CreateMessage(state.message_window, 0, 0, std::move(block), speed);
  if (state.message_anime == nullptr) return 0;
  anime.SetAutoClear(&state.message_anime);
  return 1;
}

}  // namespace

int TamvikFunc::PutMessageText(const char* text, const char* mouth) {
  return StartTyping(text, mouth, kTwoTextSpeed);
}

int TamvikFunc::PutMessageText(const char* text, int speed) {
  return StartTyping(text, nullptr, speed > 0 ? static_cast<uint32_t>(speed) : 0);
}

bool TamvikFunc::IsMessageDone() { return Scene().portraits.message_anime == nullptr; }

void TamvikFunc::StopMessageText() {
  PortraitState& state = Scene().portraits;
  if (state.message_anime != nullptr) Ctx().anime.DeleteRef(&state.message_anime);
}

void TamvikFunc::ClearMessageText() {
  WindowRec* window = Scene().portraits.message_window;
  if (window != nullptr) Ctx().ddraw_window.ClearTextPiece(window, CDdrawWindow::kTextSprite);
}

int TamvikFunc::DrawWindowChars(WindowRec* window, const char* text, int x, int y) {
  if (window == nullptr || text == nullptr) return 1;
  CDdrawWindow& windows = Ctx().ddraw_window;
  const size_t length = std::strlen(text);
  int pen = x;
  for (size_t i = 0; i < length;) {
    const size_t bytes = Big5CharBytes(text, length, i);
    // A lead byte that ends the text stands for no character.
    if (IsLoneBig5Lead(text, length, i)) break;
    const char one[3] = {text[i], bytes == 2 ? text[i + 1] : '\0', '\0'};
    windows.DrawText(window, CDdrawWindow::kTextSprite, one, pen, y, kCharColor);
    pen += bytes == 2 ? kCharAdvance : kCharAdvance / 2;
    i += bytes;
  }
  return 1;
}

void TamvikFunc::ShowWindowShade(int style) { ShowWindowShadeOn(SURFACE_TEXT, style); }

void TamvikFunc::ShowWindowShadeOnRoot() {
  const WindowRec* window = Scene().portraits.message_window;
  if (window != nullptr) ShowWindowShadeOn(SURFACE_ROOT, window->style);
}

void TamvikFunc::ShowWindowShadeOnText() {
  const WindowRec* window = Scene().portraits.message_window;
  if (window != nullptr) ShowWindowShadeOn(SURFACE_TEXT, window->style);
}

void TamvikFunc::RemoveWindowShade() {
  PortraitState& state = Scene().portraits;
  CDdrawSpr& spr = Ctx().ddraw_spr;
  RemoveEntry(spr, state.window_shade_entry, state.window_shade);
  spr.DeleteSprite(&state.window_shade);
}

int TamvikFunc::ShowScreenShade(int style) {
  ReleaseScreenShade();
  EngineContext& ctx = Ctx();
  CDdrawFunc& ddraw = ctx.ddraw;
  CDdrawSpr& spr = ctx.ddraw_spr;
  ddraw.ClearSurface(SURFACE_SCRATCH, 1);
  if (LoadSprToSurface(kScreenShadeFile, 0, 0, 0, SURFACE_SCRATCH, 0) != 1) {
    DebugPrint("TamvikFunc::ShowScreenShade: %s cannot be loaded\n", kScreenShadeFile);
    return 0;
  }
  SprRec* shade =
      spr.CreateSprite(0, 0, SURFACE_SCRATCH, 0, 0, kScreenShadeWidth, kScreenShadeHeight);
  if (shade == nullptr) return 0;
  if (MergedStyle(style)) {
    // A drop shadow: the shade over the root picture, its inside cut out again.
    ddraw.ClearSurface(SURFACE_SCRATCH, 1);
    ddraw.CopyLayer(SURFACE_ROOT, SURFACE_SCRATCH, 0, 0);
    spr.SetSpriteAlpha(shade, kHalf);
    spr.PutSprite(shade, kShadowX, kShadowY, SURFACE_SCRATCH, 1);
    ddraw.FillSurfaceRect(SURFACE_SCRATCH, kShadowHole.left, kShadowHole.top, kShadowHole.right,
                          kShadowHole.bottom, 1);
    SprRec* shadow = spr.CreateSprite(0, 0, SURFACE_SCRATCH, kShadowX, kShadowY,
                                      kShadowX + kScreenShadeWidth, kShadowY + kScreenShadeHeight);
    spr.DeleteSprite(&shade);
    shade = shadow;
    if (shade == nullptr) return 0;
  } else {
    spr.SetSpriteAlpha(shade, TranslucentStyle(style) ? kHalf : CDdrawSpr::kOpaque);
  }
  PortraitState& state = Scene().portraits;
  state.screen_shade = shade;
  state.screen_shade_entry = spr.SetBuffer(CDdrawSpr::kBuffered, shade, kScreenShadeX,
                                           kScreenShadeY, SURFACE_BG, 1, kFrontMost);
  ddraw.SetUpdate(SURFACE_BG, 1);
  return 1;
}

void TamvikFunc::ReleaseScreenShade() {
  PortraitState& state = Scene().portraits;
  CDdrawSpr& spr = Ctx().ddraw_spr;
  RemoveEntry(spr, state.screen_shade_entry, state.screen_shade);
  spr.DeleteSprite(&state.screen_shade);
}
