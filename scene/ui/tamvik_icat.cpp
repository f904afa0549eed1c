// The eyecatch: its window and menu, the menu input, the sub-screens (save menu and trust panel)
// and the task's steps.

#include "scene/ui/tamvik_icat.h"

#include <cstdio>
#include <new>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/text/text_big5.h"
#include "engine/gfx/window/window.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"
#include "scene/ui/tamvik_trust.h"

namespace {

// The task's 16-byte block: byte 1 the step.
struct IcatWork {
  uint8_t form;
  uint8_t step;
  uint8_t unused[14];
};
static_assert(sizeof(IcatWork) == 16);

inline constexpr StepTaskKind<IcatWork> kIcatSvCnt{CTamvikIcat::kTaskName,
                                                   &CTamvikIcat::Icat_SvCnt};

constexpr int kFadeMs = 1000;
constexpr int kTurnFrames = 9;
constexpr int kTurnStep = 11;
constexpr int kOpenStep = 12;
constexpr uint32_t kAnimeInterval = 33;
constexpr uint32_t kCrossFadeTime = 62;
constexpr int kBgmFadeFrames = 60;
constexpr int kWindowTurnMode = 2;
constexpr int kWindowOpenMode = 1;
// Bit 1 of system-data word 76: the eyecatch's save entry is refused.
constexpr uint16_t kSaveLockBit = 0x0002;

// The menu: save, members' status, back to the game.
constexpr const char* kMenuTexts[CTamvikIcat::kEntries] = {" 　存 檔 　", "隊 員 狀 況",
                                                          "重 開 遊 戲"};

// The game flow's save menu, by its own names, through GameSequences.
void StartAdvSaveMenu(GameTaskRec* owner, int mode) { Game().sequences.save_menu.Start(owner, mode); }
bool IsAdvSaveMenuEnd() { return !Game().sequences.save_menu.IsRunning(); }

}  // namespace

CTamvikIcat::CTamvikIcat() {
  for (int i = 0; i < kEntries; ++i) {
    texts_[static_cast<size_t>(i)] = Big5FromUtf8(kMenuTexts[i]).value_or(std::string());
  }
}

CTamvikIcat::~CTamvikIcat() = default;

GameTaskRec* CTamvikIcat::StartIcat_SvCnt() {
  CDdrawFunc& ddraw = Ctx().ddraw;
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC, SURFACE_TEXT}) ddraw.SetVisible(id, 0);
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) {
    if (LayerRec* layer = ddraw.GetLayer(id)) {
      layer->screen_x = 0;
      layer->screen_y = 0;
      layer->scroll_x = 0;
      layer->scroll_y = 0;
      layer->view_width = kScreenWidth;
      layer->view_height = kScreenHeight;
    }
  }
  ddraw.ClearSurface(SURFACE_BG, 1);
  ddraw.ClearSurface(SURFACE_TEXT, 1);
  TamvikFunc::CloseMessageWindow();
  if (ddraw.GetLayerIndex(SURFACE_BG) > ddraw.GetLayerIndex(SURFACE_FG)) {
    ddraw.SwapLayers(SURFACE_BG, SURFACE_FG);
  }
  ddraw.SetVisible(SURFACE_TEXT, 1);
  IcatWork* work = kIcatSvCnt.Start(Ctx().game_task, nullptr);
  if (work == nullptr) return nullptr;
  // The record that holds the new block: the last one appended.
  for (GameTaskRec* t = Ctx().game_task.root()->next; t != nullptr; t = t->next) {
    if (t->work == work) return t;
  }
  return nullptr;
}

bool CTamvikIcat::IsIcat_SvCnt() { return kIcatSvCnt.IsRunning(Ctx().game_task); }

void CTamvikIcat::Icat_SvCnt(GameTaskRec* task) { Scene().icat.Step(task); }

bool CTamvikIcat::HoldsAnything() const {
  return face_file_ != nullptr || timer_ != nullptr || window_anime_ != nullptr ||
         window_ != nullptr;
}

// ---- Routines ----

void CTamvikIcat::DrawFace(const State& state) {
  CDdrawWindow& windows = Ctx().ddraw_window;
  if (window_ == nullptr) {
    window_ = windows.Create(SURFACE_TEXT, kFrame, kInner, kInner, kBaseColor, 0);
    if (window_ == nullptr) {
      DebugPrint("CTamvikIcat: the window could not be made\n");
      return;
    }
  }
  if (face_file_ == nullptr) return;
  SprRec* face = Scene().tamvik_spr.GetUnitSprID(face_file_, state.menu_shown != 0 ? 1 : 0);
  if (face == nullptr) return;
  Ctx().ddraw_spr.PutSprite(face, 0, 0, SURFACE_SCRATCH, 0);
  const Rect face_rect{0, 0, kFaceWidth, kFaceHeight};
  windows.BltToPiece(window_, CDdrawWindow::kFrameSprite, face_rect, face_rect, SURFACE_SCRATCH,
                     1);
}

void CTamvikIcat::DrawMenu(const State& state) {
  if (window_ == nullptr) return;
  // The entries go into the window's text sprite, so that they turn, close and go with the
  // window (drawn onto the layer they would stay behind on the sub-screens).
  CDdrawWindow& windows = Ctx().ddraw_window;
  windows.ClearTextPiece(window_, CDdrawWindow::kTextSprite);
  if (state.menu_shown == 0) return;
  for (int i = 0; i < kEntries; ++i) {
    const std::string& text = texts_[static_cast<size_t>(i)];
    if (text.empty()) continue;
    windows.DrawText(window_, CDdrawWindow::kTextSprite, text.c_str(), kEntryX,
                     kEntryY + kEntryPitch * i,
                     i == state.selection ? kSelectedColor : kEntryColor);
  }
}

Rect CTamvikIcat::EntryHitArea(int i) {
  return {kInner.left, kInner.top + 36 + kEntryPitch * i, kInner.right,
          kInner.top + 84 + kEntryPitch * i};
}

int CTamvikIcat::MenuInput(State& state) {
  const int first = state.save_locked != 0 ? 1 : 0;
  const CDinput& input = Ctx().input;
  const int x = input.GetMouseX();
  const int y = input.GetMouseY();
  if (x != input.GetOldMouseX() || y != input.GetOldMouseY()) {
    for (int i = first; i < kEntries; ++i) {
      const Rect r = EntryHitArea(i);
      if (!PointInRect(x, y, r.left, r.top, r.right, r.bottom)) continue;
      // A hit: the keys are not read this frame.
      if (state.selection == i) return 0;
      state.selection = static_cast<uint8_t>(i);
      PlaySystemSe(kSeMove);
      return i + 1;
    }
  }
  const uint8_t before = state.selection;
  int selection = state.selection > 2 ? 2 : state.selection;
  if (IsKeyTriggered(kKeyUp) != 0) {
    selection = selection <= first ? 2 : selection - 1;
  } else if (IsKeyTriggered(kKeyDown) != 0) {
    selection = selection >= 2 ? first : selection + 1;
  }
  state.selection = static_cast<uint8_t>(selection);
  if (state.selection == before) return 0;
  PlaySystemSe(kSeMove);
  return selection + 1;
}

bool CTamvikIcat::OpenSubScreen(State& state, const char* picture) {
  switch (state.sub_step) {
    case 0:
      Ctx().ddraw.CaptureLayers(SURFACE_ROOT, SURFACE_XFADE);
      StartOpen(100, 0);
      state.sub_step = 1;
      return false;
    case 1:
      if (window_anime_ != nullptr) return false;
      if (window_ != nullptr) Ctx().ddraw_window.Delete(&window_);
      UpdateAll();
      state.sub_step = 2;
      return false;
    case 2:
      if (TamvikFunc::LoadPicture(picture, 0, 0, 0, SURFACE_ROOT) == 0) {
        DebugPrint("CTamvikIcat: no picture %s\n", picture);
      }
      TamvikFunc::StartCrossFade(SURFACE_ROOT, kCrossFadeTime);
      state.sub_step = 3;
      return false;
    default:
      return IsScreenFadeDone();
  }
}

bool CTamvikIcat::ReturnFromSubScreen(State& state) {
  switch (state.sub_step) {
    case 0:
      state.sub_step = 1;
      return false;
    case 1:
      Ctx().ddraw.CaptureLayers(SURFACE_TEXT, SURFACE_XFADE);
      TamvikFunc::LoadEyecatchPicture();
      TamvikFunc::StartCrossFade(SURFACE_TEXT, kCrossFadeTime);
      state.sub_step = 2;
      return false;
    default:
      return IsScreenFadeDone();
  }
}

void CTamvikIcat::StartTurn(int from, int to) {
  CDdrawAnime& anime = Ctx().anime;
  if (window_anime_ != nullptr) anime.DeleteRef(&window_anime_);
  window_anime_ = anime.CreateWindowAnime(window_, 0, 0, 0, from, to, kTurnStep, kWindowTurnMode,
                                          kAnimeInterval);
  anime.SetAutoClear(&window_anime_);
}

void CTamvikIcat::StartOpen(int from, int to) {
  CDdrawAnime& anime = Ctx().anime;
  if (window_anime_ != nullptr) anime.DeleteRef(&window_anime_);
  window_anime_ = anime.CreateWindowAnime(window_, from, to, kOpenStep, from, to, kOpenStep,
                                          kWindowOpenMode, kAnimeInterval);
  anime.SetAutoClear(&window_anime_);
}

void CTamvikIcat::UpdateAll() { Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1); }

void CTamvikIcat::StartPointer() {
  if (CTamvikIcon::StartMouseCursorSeq() == 0) CTamvikIcon::ShowMouseCursor();
}

void CTamvikIcat::EndTimer() {
  if (timer_ != nullptr) Ctx().anime.DeleteRef(&timer_);
}

void CTamvikIcat::Finish() {
  DebugPrint("EyeCatch Exit\n");
  if (face_file_ != nullptr) {
    // The closed face stays in the picture the caller cross-fades from.
    if (SprRec* face = Scene().tamvik_spr.GetUnitSprID(face_file_, 0)) {
      Ctx().ddraw_spr.PutSprite(face, kFrame.left, kFrame.top, SURFACE_ROOT, 1);
    }
    TamvikFunc::ReleaseUnitFile(face_file_);
  }
  EndTimer();
  if (window_anime_ != nullptr) Ctx().anime.DeleteRef(&window_anime_);
  if (window_ != nullptr) Ctx().ddraw_window.Delete(&window_);
}

// ---- The task ----

void CTamvikIcat::Step(GameTaskRec* record) {
  StepTask<IcatWork> task(Ctx().game_task, record);
  State* state = static_cast<State*>(record->extra);
  CDdrawAnime& anime = Ctx().anime;
  CDsoundFunc& sound = Ctx().dsound;
  // The steps that read the state; without one (it could not be made) the task ends.
  if (state == nullptr && task.step() != 0 && task.step() < 93) task.GoTo(93);
  switch (task.step()) {
    case 0: {
      if (record->extra != nullptr) {
        TaskFreeBlock(record->extra);
        record->extra = nullptr;
      }
      try {
        state = TaskNewBlock<State>();
      } catch (const std::bad_alloc&) {
        DebugPrint("CTamvikIcat: no memory for the state; the eyecatch ends\n");
        task.GoTo(93);
        break;
      }
      record->extra = state;
      state->selection = kNoSelection;
      state->menu_shown = 0;
      state->sub_step = 0;
      state->save_locked = (GetSystemData()->saveFlags() & kSaveLockBit) != 0 ? 1 : 0;
      StartScreenFade(0, 256, kFadeMs);
      task.GoTo(1);
      break;
    }
    case 1:
      if (!TamvikFunc::IsFadeDone()) break;
      TamvikFunc::LoadEyecatchPicture();
      if (face_file_ == nullptr) face_file_ = TamvikFunc::LoadUnitFile(kFaceFile);
      if (face_file_ == nullptr) DebugPrint("CTamvikIcat: no face file %s\n", kFaceFile);
      DrawFace(*state);
      DrawMenu(*state);
      StartPointer();
      task.GoTo(2);
      break;
    case 2: {
      char name[64];
      std::snprintf(name, sizeof name, "%s%s%s", kBgmDirectory, kBgmName, ".wav");
      sound.PlayBGM(name);
      EndTimer();
      timer_ = anime.CreateTimer();
      StartScreenFade(256, 0, kFadeMs);
      task.GoTo(9);
      break;
    }
    case 9:
      if (TamvikFunc::IsFadeDone()) task.GoTo(10);
      break;
    case 10:
      if (anime.GetTimer(timer_, 0, 0) < kTurnFrames && timer_ != nullptr) break;
      EndTimer();
      DrawFace(*state);
      DrawMenu(*state);
      UpdateAll();
      StartTurn(0, 90);
      task.GoTo(11);
      break;
    case 11:
      if (window_anime_ != nullptr) break;
      if (state->menu_shown == 0) {
        state->menu_shown = 1;
        DrawFace(*state);
        DrawMenu(*state);
        UpdateAll();
        StartTurn(90, 0);
      } else {
        state->selection = state->save_locked != 0 ? 1 : 0;
        DrawFace(*state);
        DrawMenu(*state);
        task.GoTo(12);
      }
      break;
    case 12: {
      const int changed = MenuInput(*state);
      if (IsKeyTriggered(kKeyDecide) != 0) {
        switch (state->selection) {
          case 0:
            if (state->save_locked != 0) {
              PlaySystemSe(kSeRefused);
            } else {
              PlaySystemSe(kSeDecide);
              task.GoTo(20);
            }
            break;
          case 1:
            PlaySystemSe(kSeDecide);
            task.GoTo(30);
            break;
          case 2:
            PlaySystemSe(kSeDecide);
            task.GoTo(90);
            break;
          default:
            break;
        }
      }
      if (changed != 0) {
        DrawMenu(*state);
        UpdateAll();
      }
      break;
    }
    case 20:
    case 30:
      PlaySystemSe(kSeConfirm);
      state->sub_step = 0;
      DebugPrint(task.step() == 20 ? "Select ADV SAVE\n" : "Select VIEW TRUST\n");
      task.GoTo(task.step() + 1);
      [[fallthrough]];
    case 21:
    case 31:
      if (OpenSubScreen(*state, task.step() == 21 ? kSavePicture : kTrustPicture)) {
        task.GoTo(task.step() + 1);
      }
      break;
    case 22:
      StartAdvSaveMenu(record, 1);
      task.GoTo(23);
      break;
    case 32:
      if (CTamvikTrust::StartCheckKaoPanel(record) == 0) {
        DebugPrint("CTamvikIcat: the trust panel could not start\n");
      }
      task.GoTo(33);
      break;
    case 23:
    case 33: {
      // The save menu ends the pointer task while it runs: it is started again every frame.
      if (task.step() == 23) StartPointer();
      const bool ended =
          task.step() == 23 ? IsAdvSaveMenuEnd() : !CTamvikTrust::IsCheckKaoPanelRunning();
      if (!ended) break;
      state->sub_step = 0;
      task.GoTo(task.step() + 2);
      if (ReturnFromSubScreen(*state)) task.GoTo(80);
      break;
    }
    case 25:
    case 35:
      // A pointer task the save menu ended in its last frame is still listed in the frame after
      // (and refuses a new start then): the pointer is asked for again while the picture returns.
      if (task.step() == 25) StartPointer();
      if (ReturnFromSubScreen(*state)) task.GoTo(80);
      break;
    case 80:
      PlaySystemSe(kSeReopen);
      DrawFace(*state);
      DrawMenu(*state);
      StartOpen(0, 100);
      task.GoTo(81);
      if (window_anime_ == nullptr) {
        UpdateAll();
        task.GoTo(12);
      }
      break;
    case 81:
      if (window_anime_ != nullptr) break;
      UpdateAll();
      task.GoTo(12);
      break;
    case 90:
      StartTurn(0, 90);
      task.GoTo(91);
      [[fallthrough]];
    case 91:
      if (window_anime_ != nullptr) break;
      if (state->menu_shown != 0) {
        state->menu_shown = 0;
        DrawFace(*state);
        DrawMenu(*state);
        UpdateAll();
        StartTurn(90, 0);
      } else {
        DrawFace(*state);
        DrawMenu(*state);
        task.GoTo(92);
      }
      break;
    case 92:
      sound.SetBGMVolume(0, kBgmFadeFrames);
      task.GoTo(93);
      break;
    case 93:
      if (!sound.IsBGMFadeEnd()) break;
      sound.SetBGMVolume(100, 0);
      sound.StopBGM();
      task.GoTo(94);
      break;
    case 94:
      Finish();
      task.End();
      break;
    default:
      DebugPrint("CTamvikIcat::Icat_SvCnt: no step %d\n", task.step());
      Finish();
      task.End();
      break;
  }
}
