// The picture commands: backgrounds (BG, BGON, BGOFF, BGPRI), the wall, the character and the
// face, with the cross-fade convention they share.

#include <algorithm>
#include <cstdio>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/macro_tasks.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"

void PictureCapture(SurfaceId up_to) { Ctx().ddraw.CaptureLayers(up_to, SURFACE_XFADE); }

bool PictureCrossFade(SurfaceId layer, uint32_t phase_time, const Rect* rect) {
  const CTamvikMacro& macro = Scene().macro;
  if (macro.cancel_lock == 1 || macro.faded_out != 0) {
    Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
    return false;
  }
  const int started =
      rect == nullptr
          ? TamvikFunc::StartCrossFade(layer, phase_time)
          : TamvikFunc::StartCrossFadeRect(layer, phase_time, rect->left, rect->top, rect->right,
                                           rect->bottom);
  if (started == 0) Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
  return started != 0;
}

namespace {

// Operands and step of a picture command: form, step, then up to four operands.
struct PictureWork {
  uint8_t form;
  uint8_t step;
  uint16_t op[4];
  uint8_t flag;
  uint8_t rest[5];
};
static_assert(sizeof(PictureWork) == sizeof(TaskWork));

// Ends the command with the continue flag set.
void Finish(GameTaskRec* task) {
  EndCommand(task);
  Scene().macro.continue_flag = 1;
}

// The common head of a picture command: ends it when its owner is gone (false) and otherwise
// holds the continue flag at 0.
bool Enter(StepTask<PictureWork>& step, GameTaskRec* task) {
  if (EndedWithOwner(step, task)) return false;
  Scene().macro.continue_flag = 0;
  return true;
}

// Reads `count` operands into the work block on the first run; a decode error ends the command
// with decoding stopped (false).
bool ReadOperands(StepTask<PictureWork>& step, GameTaskRec* task, int count) {
  for (int i = 0; i < count; ++i) {
    if (!Scene().macro.GetOperand(&step.work().op[i])) {
      EndCommand(task);
      return false;
    }
  }
  return true;
}

void ShowBackgroundLayers(int flag) {
  CDdrawFunc& ddraw = Ctx().ddraw;
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) ddraw.SetVisible(id, flag);
  ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
}

bool Layer5OnTop() {
  const CDdrawFunc& ddraw = Ctx().ddraw;
  return ddraw.GetLayerIndex(SURFACE_BG) > ddraw.GetLayerIndex(SURFACE_FG);
}

// The compose order at once: layer 6 on top (ADV bytes 8, 9 := 2, 3) or layer 5 (3, 2).
void SetBackgroundOrder(bool fg_on_top) {
  AdvState& adv = *GetAdvState();
  adv.setLayer5Position(fg_on_top ? 2 : 3);
  adv.setLayer6Position(fg_on_top ? 3 : 2);
  if (Layer5OnTop() == fg_on_top) Ctx().ddraw.SwapLayers(SURFACE_BG, SURFACE_FG);
}

// The layer's scroll (2x, 2y), lowered so that scroll + view stays inside the surface, and never
// below 0 (a surface smaller than the view shows from its corner).
void SetBackgroundScroll(SurfaceId layer, int x, int y) {
  LayerRec* rec = Ctx().ddraw.GetLayer(layer);
  if (rec == nullptr) return;
  auto fit = [](int scroll, int view, int size) {
    return std::clamp(scroll, 0, std::max(0, size - view));
  };
  rec->scroll_x = fit(2 * x, rec->view_width, rec->surface_width);
  rec->scroll_y = fit(2 * y, rec->view_height, rec->surface_height);
}

}  // namespace

void DecodeBg(GameTaskRec* task) {
  StepTask<PictureWork> step(Ctx().game_task, task);
  if (!Enter(step, task) || !ReadOperands(step, task, 4)) return;
  CTamvikMacro& macro = Scene().macro;
  AdvState& adv = *GetAdvState();
  CDdrawFunc& ddraw = Ctx().ddraw;
  const uint16_t n = step.work().op[0];
  const bool fg = step.work().op[1] != 0;
  const SurfaceId layer = fg ? SURFACE_FG : SURFACE_BG;
  const int hit = fg ? CTamvikMacro::kHitFg : CTamvikMacro::kHitBg;
  auto set_word = [&](uint16_t value) {
    if (fg) {
      adv.setBackground2(value);
    } else {
      adv.setBackground1(value);
    }
  };
  bool clear = n == 0;
  if (n != 0) {
    if (macro.hit_map(hit).picture != n) macro.ReleaseHitMap(hit);
    char name[64];
    std::snprintf(name, sizeof name, "tamvik1\\bg\\%d.spr", n);
    if (TamvikFunc::LoadSprToSurfaceFirst(name, layer, 0) != 0) {
      set_word(n);
      SetBackgroundScroll(layer, step.work().op[2], step.work().op[3]);
    } else {
      // A missing picture would stop the scene for good: the layer is left cleared instead.
      DebugPrint("CTamvikMacro::DecodeBg File Not Found %s\n", name);
      clear = true;
    }
  }
  if (clear) {
    macro.ReleaseHitMap(hit);
    set_word(0);
    ddraw.ClearSurface(layer, 1);
  }
  Finish(task);
}

void DecodeBgon(GameTaskRec* task) {
  StepTask<PictureWork> step(Ctx().game_task, task);
  if (!Enter(step, task)) return;
  CTamvikMacro& macro = Scene().macro;
  switch (step.step()) {
    case 0:
      if (macro.backgrounds_shown != 0) {
        Finish(task);
        return;
      }
      if (macro.faded_out != 0) {
        ShowBackgroundLayers(1);
        TamvikFunc::ShowScreenShade(TamvikFunc::kDefaultWindowStyle);
        step.GoTo(3);
        return;
      }
      GetAdvState()->setCursorX(320);
      GetAdvState()->setCursorY(176);
      TamvikFunc::PauseNcAnime();
      step.GoTo(1);
      return;
    case 1:
      PictureCapture(SURFACE_ROOT);
      ShowBackgroundLayers(1);
      TamvikFunc::ShowScreenShade(TamvikFunc::kDefaultWindowStyle);
      PictureCrossFade(SURFACE_FC, kPictureFadeTime, &kPictureShadeArea);
      step.GoTo(2);
      return;
    case 2:
      if (!IsScreenFadeDone()) return;
      TamvikFunc::ResumeNcAnime();
      step.GoTo(3);
      return;
    default:
      macro.backgrounds_shown = 1;
      macro.chara_shown = 1;
      Finish(task);
      return;
  }
}

void DecodeBgoff(GameTaskRec* task) {
  StepTask<PictureWork> step(Ctx().game_task, task);
  if (!Enter(step, task)) return;
  CTamvikMacro& macro = Scene().macro;
  switch (step.step()) {
    case 0:
      if (macro.backgrounds_shown == 0) {
        Finish(task);
        return;
      }
      if (macro.faded_out != 0) {
        ShowBackgroundLayers(0);
        TamvikFunc::ReleaseScreenShade();
        step.GoTo(3);
        return;
      }
      step.GoTo(1);
      return;
    case 1:
      PictureCapture(SURFACE_FC);
      ShowBackgroundLayers(0);
      TamvikFunc::ReleaseScreenShade();
      PictureCrossFade(SURFACE_FC, kPictureFadeTime, &kPictureShadeArea);
      step.GoTo(2);
      return;
    case 2:
      if (IsScreenFadeDone()) step.GoTo(3);
      return;
    default:
      macro.backgrounds_shown = 0;
      macro.chara_shown = 0;
      Finish(task);
      return;
  }
}

void DecodeBgpri(GameTaskRec* task) {
  StepTask<PictureWork> step(Ctx().game_task, task);
  if (!Enter(step, task)) return;
  CTamvikMacro& macro = Scene().macro;
  PictureWork& work = step.work();
  const bool fg_on_top = work.op[0] != 0;
  switch (step.step()) {
    case 0:
      if (!ReadOperands(step, task, 2)) return;
      if (macro.backgrounds_shown == 0 || work.op[1] == 0) {
        SetBackgroundOrder(work.op[0] != 0);
        if (macro.backgrounds_shown != 0) Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
        step.GoTo(3);
        return;
      }
      step.GoTo(1);
      return;
    case 1:
      if (macro.faded_out != 0) {
        // The change shows at once while the screen is dark (rather than being dropped).
        SetBackgroundOrder(fg_on_top);
        Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
        step.GoTo(3);
        return;
      }
      if (Layer5OnTop() != fg_on_top) {
        SetBackgroundOrder(fg_on_top);  // already in that order: the ADV bytes only
        step.GoTo(3);
        return;
      }
      PictureCapture(fg_on_top ? SURFACE_BG : SURFACE_FG);
      SetBackgroundOrder(fg_on_top);
      PictureCrossFade(fg_on_top ? SURFACE_FG : SURFACE_BG, kPictureFadeTime, &kPictureArea);
      step.GoTo(2);
      return;
    case 2:
      if (IsScreenFadeDone()) step.GoTo(3);
      return;
    default:
      Finish(task);
      return;
  }
}

void DecodeWall(GameTaskRec* task) {
  StepTask<PictureWork> step(Ctx().game_task, task);
  if (!Enter(step, task)) return;
  CDdrawFunc& ddraw = Ctx().ddraw;
  AdvState& adv = *GetAdvState();
  switch (step.step()) {
    case 0:
      if (!ReadOperands(step, task, 1)) return;
      adv.setWallPicture(step.work().op[0] == 0 ? 1 : 0);
      PictureCapture(SURFACE_TEXT);
      for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) ddraw.ClearSurface(id, 1);
      ddraw.SetVisible(SURFACE_TEXT, 1);
      TamvikFunc::ReleaseBlinkAnm();
      TamvikFunc::ClearWindowFaceArea(1);
      TamvikFunc::ClearMessageText();
      TamvikFunc::CloseMessageWindow();
      PictureCrossFade(SURFACE_TEXT, kPictureFadeTime, nullptr);
      step.GoTo(1);
      return;
    case 1:
      if (IsScreenFadeDone()) step.GoTo(2);
      return;
    case 2:
      PictureCapture(SURFACE_TEXT);
      TamvikFunc::LoadWallPicture(adv.sceneCode(), adv.wallPicture());
      ddraw.SetVisible(SURFACE_TEXT, 1);
      PictureCrossFade(SURFACE_TEXT, kPictureFadeTime, nullptr);
      step.GoTo(4);
      return;
    case 4:
      if (!IsScreenFadeDone()) return;
      PictureCapture(SURFACE_TEXT);
      ADVShowWindow();
      PictureCrossFade(SURFACE_TEXT, kCharaFadeTime, nullptr);
      step.GoTo(5);
      return;
    case 5:
      if (IsScreenFadeDone()) step.GoTo(6);
      return;
    default:
      Finish(task);
      return;
  }
}

void DecodeChara(GameTaskRec* task) {
  StepTask<PictureWork> step(Ctx().game_task, task);
  if (!Enter(step, task)) return;
  CTamvikMacro& macro = Scene().macro;
  AdvState& adv = *GetAdvState();
  if (step.step() == 0 && !ReadOperands(step, task, 4)) return;
  PictureWork& work = step.work();
  const uint16_t c = work.op[0];
  const uint16_t f = work.op[1];
  const int x = static_cast<int16_t>(work.op[2]);
  auto finish_cleared = [&] {
    DebugPrint("CLS Chara\n");
    macro.shown_chara = 0;
    macro.shown_chara_face = f;
    adv.setBustUpId(0);
    macro.chara_shown = 0;
    Finish(task);
  };
  switch (step.step()) {
    case 0: {
      adv.setBustUp(c);
      if (c == macro.shown_chara && f == macro.shown_chara_face) {
        DebugPrint("CHARA CANCELED\n");
        Finish(task);
        return;
      }
      if (macro.hit_map(CTamvikMacro::kHitChara).picture != c) {
        macro.ReleaseHitMap(CTamvikMacro::kHitChara);
      }
      if (macro.chara_shown != 0 && macro.shown_chara != c && macro.shown_chara != 99 &&
          macro.shown_chara != 0 && macro.cancel_lock == 0) {
        PictureCapture(SURFACE_FC);
        TamvikFunc::ReleaseNcSpx();
        PictureCrossFade(SURFACE_FC, kCharaFadeTime, &kPictureArea);
        DebugPrint("CHARA FADEOUT\n");
        step.GoTo(1);
        return;
      }
      macro.chara_shown = 1;
      if (c != 0) {
        step.GoTo(2);
      } else {
        TamvikFunc::ReleaseNcSpx();
        step.GoTo(12);
      }
      return;
    }
    case 1:
      if (!IsScreenFadeDone()) return;
      step.GoTo(c == 0 ? 12 : 2);
      return;
    case 2: {
      TamvikFunc::ReleaseNcSpx();
      DebugPrint("Remove Bustup\n");
      PictureCapture(SURFACE_FC);
      DebugPrint("LoadNC No:%d Face:%d x:%d\n", c, f, x);
      char name[64];
      std::snprintf(name, sizeof name, "tamvik1\\nc\\%d.spr", c);
      const int lip = TamvikFunc::LoadNcSpx(name, 0, f - 1, x, 0, SURFACE_FC);
      DebugPrint("LoadNC End. NCLip=%d\n", lip);
      if (lip == -1) {
        // A missing picture would stop the scene for good: no character is shown instead.
        DebugPrint("Error! %s Not Found\n", name);
        Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
        finish_cleared();
        return;
      }
      adv.setBustUpId(static_cast<uint8_t>(lip));
      work.flag = 0;
      if (macro.backgrounds_shown != 0 && !(macro.chara_shown != 0 && macro.shown_chara == c)) {
        macro.chara_shown = 1;
        PictureCrossFade(SURFACE_FC, kCharaFadeTime, &kPictureArea);
        DebugPrint("CHARA FADEIN\n");
        TamvikFunc::PauseNcAnime();
        work.flag = 1;
      }
      Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
      DebugPrint("Create Chara End. CrossFadeEnd = %d\n", IsScreenFadeDone() ? 1 : 0);
      step.GoTo(3);
      return;
    }
    case 3:
      if (!IsScreenFadeDone()) return;
      if (macro.backgrounds_shown != 0) TamvikFunc::ResumeNcAnime();
      step.GoTo(4);
      return;
    case 4:
      macro.shown_chara = c;
      macro.shown_chara_face = f;
      Finish(task);
      return;
    case 12:
      finish_cleared();
      return;
    default:
      DebugPrint("default:%d\n", step.step());
      return;
  }
}

void DecodeFace(GameTaskRec* task) {
  StepTask<PictureWork> step(Ctx().game_task, task);
  if (!Enter(step, task)) return;
  if (step.step() == 0 && !ReadOperands(step, task, 1)) return;
  CTamvikMacro& macro = Scene().macro;
  const uint16_t f = step.work().op[0];
  const Rect& box = TamvikFunc::kFaceBox;
  switch (step.step()) {
    case 0:
      if ((macro.face_shown == 0 && f == 0) || f == macro.shown_face) {
        Finish(task);
        return;
      }
      if (macro.face_shown != 0) {
        step.GoTo(1);
      } else {
        macro.face_shown = 1;
        step.GoTo(2);
      }
      return;
    case 1:
      PictureCapture(SURFACE_TEXT);
      TamvikFunc::ReleaseBlinkAnm();
      TamvikFunc::ClearWindowFaceArea(1);
      TamvikFunc::ClearMessageText();
      PictureCrossFade(SURFACE_TEXT, kFaceFadeTime, &box);
      step.GoTo(2);
      return;
    case 2:
      if (!IsScreenFadeDone()) return;
      step.GoTo(f == 0 ? 12 : 3);
      return;
    case 3: {
      macro.shown_face = f;
      PictureCapture(SURFACE_TEXT);
      TamvikFunc::ClearMessageText();
      const int lip = TamvikFunc::PutAdvKao(f);
      DebugPrint("LoadFace No=%d FaceLip=%d\n", f, lip);
      if (lip == -1) {
        // The face stays cleared (none shown) and the script goes on.
        macro.ReleaseFace();
        TamvikFunc::ClearWindowFaceArea(1);
        Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
        step.GoTo(13);
        return;
      }
      GetAdvState()->setFaceId(static_cast<uint8_t>(lip));
      PictureCrossFade(SURFACE_TEXT, kFaceFadeTime, &box);
      step.GoTo(4);
      return;
    }
    case 4:
      if (!IsScreenFadeDone()) return;
      TamvikFunc::CreateBlinkAnmOnWindow({1, 2, 1, 0}, 0, 0, 50);
      step.GoTo(5);
      return;
    case 12:
      macro.ReleaseFace();
      step.GoTo(13);
      return;
    default:
      Finish(task);
      return;
  }
}

// ---- SCROLL ----

namespace {

struct ScrollWork {
  uint8_t form;
  uint8_t step;
  uint8_t layer;
  uint8_t direction;
  uint16_t speed;
  uint16_t interval;  // frames
  uint16_t total;
  uint16_t counter;
  uint8_t wait;
  uint8_t rest[3];
};
static_assert(sizeof(ScrollWork) == sizeof(TaskWork));

// The first scroll step waits for this many frames of the task.
constexpr uint16_t kScrollStartFrame = 10;

}  // namespace

void ScrollDirection(int d, int s, int* x, int* y) {
  static constexpr int kSteps[8][2] = {{0, 1},  {-1, 1}, {-1, 0}, {-1, -1},
                                       {0, -1}, {1, -1}, {1, 0},  {1, 1}};
  if (d < 0 || d > 7) {
    *x = 0;
    *y = 0;
    return;
  }
  *x = kSteps[d][0] * s;
  *y = kSteps[d][1] * s;
}

void DecodeScroll(GameTaskRec* task) {
  StepTask<ScrollWork> step(Ctx().game_task, task);
  if (EndedWithOwner(step, task)) return;
  CTamvikMacro& macro = Scene().macro;
  ScrollWork& work = step.work();
  // With the wait flag 0 the script runs on during the scroll: the flag is left alone.
  if (step.step() != 0 && work.wait != 0) macro.continue_flag = 0;
  switch (step.step()) {
    case 0: {
      uint16_t op[6] = {};
      for (uint16_t& value : op) {
        if (!macro.GetOperand(&value)) {
          EndCommand(task);  // a decode error: decoding stays stopped
          return;
        }
      }
      work.layer = op[0] != 0 ? 1 : 0;
      work.direction = static_cast<uint8_t>(op[1] > 7 ? 8 : op[1]);
      work.speed = op[2];
      work.interval = op[3];
      work.total = op[4];
      work.wait = op[5] != 0 ? 1 : 0;
      if (op[1] > 7) DebugPrint("SCROLL: direction %u is not 0-7; no movement\n", op[1]);
      SetMacroA(1, 0);
      work.counter = 0;
      macro.continue_flag = work.wait != 0 ? 0 : 1;
      step.GoTo(1);
      return;
    }
    case 1: {
      if (++work.counter < kScrollStartFrame) return;
      int x = 0;
      int y = 0;
      ScrollDirection(work.direction, work.speed, &x, &y);
      const uint32_t interval_ms = static_cast<uint32_t>(work.interval) * 1000 / 60;
      AnimeHandle& handle = macro.scroll_handles[work.layer];
      CDdrawAnime& anime = Ctx().anime;
      if (handle != nullptr) anime.DeleteRef(&handle);  // a scroll of the layer still running
      handle = anime.CreateLayerScroll(work.layer != 0 ? SURFACE_FG : SURFACE_BG, 2 * x, 2 * y,
                                       interval_ms, work.total);
      if (handle != nullptr) anime.SetAutoClear(&handle);
      DebugPrint("Scroll x=%d y=%d Interval=%d Total=%d\n", 2 * x, 2 * y,
                 static_cast<int>(interval_ms), work.total);
      step.GoTo(2);
      return;
    }
    case 2:
      if (macro.scroll_handles[work.layer] != nullptr) return;
      DebugPrint(work.layer == 0 ? "Scroll BG end\n" : "Scroll FG end\n");
      step.GoTo(3);
      return;
    default:
      if (work.wait != 0) macro.continue_flag = 1;
      SetMacroA(1, 1);
      EndCommand(task);
      return;
  }
}

// ---- TITLE ----

namespace {
// The card stays this many frames unless a key ends it.
constexpr int32_t kTitleFrames = 361;
}  // namespace

void DecodeTitle(GameTaskRec* task) {
  StepTask<PictureWork> step(Ctx().game_task, task);
  if (!Enter(step, task)) {
    CTamvikMacro& macro = Scene().macro;
    if (macro.title_timer != nullptr) {
      Ctx().anime.GetTimer(macro.title_timer, 0, 1);
      macro.title_timer = nullptr;
    }
    return;
  }
  CTamvikMacro& macro = Scene().macro;
  CDdrawFunc& ddraw = Ctx().ddraw;
  PictureWork& work = step.work();
  const int chapter = GetAdvState()->sceneCode() >> 8;
  switch (step.step()) {
    case 0:
      PictureCapture(SURFACE_TEXT);
      macro.ReleaseChara();
      macro.ReleaseFace();
      TamvikFunc::ClearWindowFaceArea(1);
      TamvikFunc::ClearMessageText();
      TamvikFunc::CloseMessageWindow();
      work.flag = macro.scene_ready != 0 ? 1 : 0;  // restored at the end only when it was set
      macro.scene_ready = 0;
      macro.backgrounds_shown = 0;
      macro.chara_shown = 0;
      for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC, SURFACE_TEXT}) {
        ddraw.SetVisible(id, 0);
      }
      TamvikFunc::ReleaseScreenShade();
      PictureCrossFade(SURFACE_TEXT, kPictureFadeTime, nullptr);
      CTamvikIcon::HideMouseCursor();
      step.GoTo(1);
      return;
    case 1:
      if (IsScreenFadeDone()) step.GoTo(2);
      return;
    case 2: {
      PictureCapture(SURFACE_TEXT);
      ddraw.SetVisible(SURFACE_TEXT, 1);
      char name[64];
      std::snprintf(name, sizeof name, "tamvik1\\TITLE\\TITLE%d.spr", chapter);
      if (TamvikFunc::LoadSprToSurfaceFirst(name, SURFACE_TEXT, 0) == 0) {
        DebugPrint("TITLE: %s cannot be shown\n", name);
      }
      PictureCrossFade(SURFACE_TEXT, kPictureFadeTime, nullptr);
      step.GoTo(3);
      return;
    }
    case 3: {
      if (!IsScreenFadeDone()) return;
      const int digit = chapter < 8 ? 1 : chapter == 10 ? 3 : 2;
      char name[64];
      std::snprintf(name, sizeof name, "tamvik1\\system\\SE\\intro%d.wav", digit);
      Ctx().dsound.PlaySE(name);
      if (macro.title_timer != nullptr) Ctx().anime.GetTimer(macro.title_timer, 0, 1);
      macro.title_timer = Ctx().anime.CreateTimer();
      step.GoTo(4);
      return;
    }
    case 4: {
      const bool timed_out = macro.title_timer == nullptr ||
                             Ctx().anime.GetTimer(macro.title_timer, 0, 0) >= kTitleFrames;
      if (!timed_out && IsKeyTriggered(0) == 0 && IsKeyTriggered(1) == 0 && IsKeyHeld(2) == 0) {
        return;
      }
      if (macro.title_timer != nullptr) Ctx().anime.GetTimer(macro.title_timer, 0, 1);
      macro.title_timer = nullptr;
      step.GoTo(6);
      return;
    }
    case 6:
      PictureCapture(SURFACE_TEXT);
      ddraw.ClearSurface(SURFACE_TEXT, 1);
      PictureCrossFade(SURFACE_TEXT, kPictureFadeTime, nullptr);
      step.GoTo(7);
      return;
    case 7:
      if (!IsScreenFadeDone()) return;
      if (work.flag != 0) macro.scene_ready = 1;
      PictureCapture(SURFACE_TEXT);
      ADVShowWindow();
      PictureCrossFade(SURFACE_TEXT, kCharaFadeTime, nullptr);
      step.GoTo(8);
      return;
    case 8:
      if (!IsScreenFadeDone()) return;
      CTamvikIcon::ShowMouseCursor();
      step.GoTo(9);
      return;
    default:
      Finish(task);
      return;
  }
}

// ---- ITEM ----

namespace {

// The item picture's buffer entry: on layer 8, priority 8, colour key on.
constexpr SurfaceId kItemLayer = SURFACE_TEXT;
constexpr int kItemPriority = 8;

void StartItemScale(int from, int to, uint32_t interval) {
  CTamvikMacro& macro = Scene().macro;
  CDdrawAnime& anime = Ctx().anime;
  if (macro.item_anime != nullptr) anime.DeleteRef(&macro.item_anime);
  macro.item_anime = anime.CreateSpriteAnime(macro.item_sprite, from, to, 12, from, to, 12, 1,
                                             interval);
  if (macro.item_anime != nullptr) anime.SetAutoClear(&macro.item_anime);
}

}  // namespace

void DecodeItem(GameTaskRec* task) {
  StepTask<PictureWork> step(Ctx().game_task, task);
  if (!Enter(step, task)) return;
  CTamvikMacro& macro = Scene().macro;
  CDdrawSpr& spr = Ctx().ddraw_spr;
  PictureWork& work = step.work();
  AdvState& adv = *GetAdvState();
  switch (step.step()) {
    case 0:
      if (!ReadOperands(step, task, 2)) return;
      work.op[0] &= 0xFF;  // the item number is kept in 8 bits
      DebugPrint("lpTask->flag = %d\n", work.op[0]);
      if (work.op[0] != 0) {
        adv.setItemPicture(work.op[0]);
        macro.item_shown = 1;
        step.GoTo(1);
      } else if (macro.item_shown == 0) {
        Finish(task);
      } else {
        step.GoTo(5);
      }
      return;
    case 1: {
      // A missing picture leaves the sprite empty: nothing is drawn.
      MakeItemSprite(work.op[0]);
      step.GoTo(2);
      return;
    }
    case 2:
      if (macro.item_entry != nullptr) spr.DeleteBuffer(&macro.item_entry);
      if (macro.item_sprite != nullptr) {
        macro.item_entry = spr.SetBuffer(CDdrawSpr::kBuffered, macro.item_sprite, 0, 0,
                                         kItemLayer, 1, kItemPriority);
      }
      if (work.op[0] >= 200 || macro.item_sprite == nullptr) {
        Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
        step.GoTo(4);
        return;
      }
      spr.SetSpriteScale(macro.item_sprite, 0, 0);
      Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
      step.GoTo(3);
      return;
    case 3:
      StartItemScale(0, 100, 33);
      PlaySystemSe(1);
      step.GoTo(4);
      return;
    case 4:
      if (macro.item_anime == nullptr) step.GoTo(9);
      return;
    case 5: {
      const uint16_t shown = adv.itemPicture();
      if (shown < 200 && macro.item_sprite != nullptr) {
        if (shown < 100) {
          StartItemScale(100, 0, 33);
        } else {
          StartItemScale(100, 300, 16);
        }
        PlaySystemSe(2);
      }
      step.GoTo(6);
      return;
    }
    case 6:
      if (macro.item_anime != nullptr) return;
      if (macro.item_entry != nullptr) spr.DeleteBuffer(&macro.item_entry);
      Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
      macro.item_shown = 0;
      step.GoTo(7);
      return;
    case 7:
      if (macro.item_sprite != nullptr) spr.DeleteSprite(&macro.item_sprite);
      step.GoTo(9);
      return;
    default:
      Finish(task);
      return;
  }
}
