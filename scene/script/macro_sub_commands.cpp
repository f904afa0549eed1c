// SPECIAL (opcode 0x11): one sub-command word selecting a screen fade, a background tone, a view
// slide, a map level, an extras feature, the background line scroll, a message that goes on by
// itself, a random number or the cancel lock. The arguments come in A[0..3].

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/app/doors.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/save_files.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/macro_tasks.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"
#include "scene/ui/tamvik_map.h"

namespace {

// The work block of the SPECIAL tasks: byte 0 the stop request (line scroll, fade control),
// byte 1 the step, then the task's own values.
struct SpecialWork {
  uint8_t stop;
  uint8_t step;
  uint16_t target;   // tone tasks: the tone asked for
  uint16_t current;  // tone tasks: the tone shown
  uint16_t count;    // slides: swings done
  uint8_t rest[4];
  uint8_t mode;      // line scroll: 0 none, 1 raster and fade, 2 raster (byte 12)
  uint8_t rest2[3];
};
static_assert(sizeof(SpecialWork) == sizeof(TaskWork));

constexpr const char* kLineScrollName = "CTamvikMacro::DecodeLineScroll";
constexpr const char* kFadeControlName = "CTamvikMacro::DecodeFadeControl";
constexpr std::array<const char*, 2> kToneNames = {"CTamvikMacro::Bg0Tone",
                                                   "CTamvikMacro::Bg1Tone"};
constexpr std::array<SurfaceId, 2> kToneLayers = {SURFACE_BG, SURFACE_FG};

CTamvikMacro& Macro() { return Scene().macro; }

void Finish(GameTaskRec* task) {
  EndCommand(task);
  Macro().continue_flag = 1;
}

// The interpreter's timer, started afresh / ended.
void StartTimer() {
  CTamvikMacro& macro = Macro();
  if (macro.wait_timer != nullptr) Ctx().anime.GetTimer(macro.wait_timer, 0, 1);
  macro.wait_timer = Ctx().anime.CreateTimer();
}
void EndTimer() {
  CTamvikMacro& macro = Macro();
  if (macro.wait_timer != nullptr) {
    Ctx().anime.GetTimer(macro.wait_timer, 0, 1);
    macro.wait_timer = nullptr;
  }
}
// The common head: a task whose owner is gone ends at once; otherwise decoding is held.
bool Enter(StepTask<SpecialWork>& step, GameTaskRec* task) {
  if (step.OwnerGone()) {
    EndTimer();  // the interpreter's timer, which a slide or NoWaitPrint may hold
    EndCommand(task);
    return false;
  }
  Macro().continue_flag = 0;
  return true;
}

// A live task of that name (one that ended this frame does not count).
GameTaskRec* FindLive(const char* name) {
  for (GameTaskRec* t = Ctx().game_task.root(); t != nullptr; t = t->next) {
    if (!t->deleted && t->function != nullptr && t->name == name) return t;
  }
  return nullptr;
}

// Milliseconds since the timer started; a missing timer reads as long past any wait.
int32_t TimerMs() {
  const AnimeHandle timer = Macro().wait_timer;
  return timer == nullptr ? INT32_MAX : Ctx().anime.GetTimer(Macro().wait_timer, 1, 0);
}

// The screen fade of the SPECIAL commands, in the scene's fade handle (cleared when it ends).
void StartFade(int from, int to, int frames, int type) {
  SceneContext& scene = Scene();
  CDdrawAnime& anime = Ctx().anime;
  if (scene.screen_fade_handle != nullptr) anime.DeleteRef(&scene.screen_fade_handle);
  scene.screen_fade_handle = anime.CreateFade(from, to, frames, type);
  if (scene.screen_fade_handle != nullptr) anime.SetAutoClear(&scene.screen_fade_handle);
}

// ---- Tones ----

// Detaches and releases the tone copy of a layer; its tone is 100 again.
void ReleaseToneSurface(int plane) {
  CTamvikMacro& macro = Macro();
  int32_t& number = macro.tone_surface[static_cast<size_t>(plane)];
  if (number != -1) Ctx().ddraw.DeleteUserSurface(number);
  number = -1;
  if (LayerRec* rec = Ctx().ddraw.GetLayer(kToneLayers[static_cast<size_t>(plane)])) rec->tone = 100;
}

// Makes the tone copy of the layer's picture when none is held. False when it cannot be made.
bool HoldToneSurface(int plane) {
  CTamvikMacro& macro = Macro();
  int32_t& number = macro.tone_surface[static_cast<size_t>(plane)];
  if (number != -1) return true;
  CDdrawFunc& ddraw = Ctx().ddraw;
  const SurfaceId layer = kToneLayers[static_cast<size_t>(plane)];
  const LayerRec* rec = ddraw.GetLayer(layer);
  if (rec == nullptr) return false;
  const UserSurface made = ddraw.CreateUserSurface(rec->surface_width, rec->surface_height);
  platform::Surface* copy = made < 0 ? nullptr : ddraw.GetUserSurface(made);
  if (copy == nullptr) return false;
  const Rect whole{0, 0, rec->surface_width, rec->surface_height};
  ddraw.BltToSurface(layer, whole, copy, whole, 0);
  number = made;
  return true;
}

// The layer's picture at `tone` percent over black (alpha tone x 256 / 100).
void DrawTone(int plane, int tone) {
  CDdrawFunc& ddraw = Ctx().ddraw;
  const SurfaceId layer = kToneLayers[static_cast<size_t>(plane)];
  const LayerRec* rec = ddraw.GetLayer(layer);
  platform::Surface* copy = ddraw.GetUserSurface(Macro().tone_surface[static_cast<size_t>(plane)]);
  if (rec == nullptr || copy == nullptr) return;
  const Rect whole{0, 0, rec->surface_width, rec->surface_height};
  ddraw.FillSurfaceRect(layer, 0, 0, rec->surface_width, rec->surface_height, 0);
  ddraw.BltAlpha(copy, whole, ddraw.GetSurface(layer), whole, 1,
                 static_cast<BlendWord>(tone * 256 / 100));
}

// The tone task of a plane: redraws the layer whenever the target changes; ends once the target
// is reached at 99 or above, giving the layer its own picture back.
void ToneTask(GameTaskRec* task, int plane) {
  StepTask<SpecialWork> step(Ctx().game_task, task);
  SpecialWork& work = step.work();
  auto finish = [&] {
    ReleaseToneSurface(plane);
    Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
    EndCommand(task);
  };
  if (step.OwnerGone()) {
    finish();
    return;
  }
  if (step.step() == 0) {
    if (work.target != work.current) {
      if (plane == 0) DebugPrint("Bg0tone tone=%d\n", work.target);
      if (!HoldToneSurface(plane)) {
        // The layer keeps the tone it shows.
        DebugPrint(plane == 0 ? "Bg0Tone CreateUserSurface Failed\n"
                              : "Bg1Tone CreateUserSurface Failed\n");
        EndCommand(task);
        return;
      }
      step.GoTo(1);
    } else if (work.target >= 99) {
      finish();
      return;
    } else {
      return;
    }
  }
  DrawTone(plane, work.target);
  if (Macro().faded_out == 0) Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
  work.current = work.target;
  if (LayerRec* rec = Ctx().ddraw.GetLayer(kToneLayers[static_cast<size_t>(plane)])) {
    rec->tone = work.target;
  }
  step.GoTo(0);
}

void Bg0Tone(GameTaskRec* task) { ToneTask(task, 0); }
void Bg1Tone(GameTaskRec* task) { ToneTask(task, 1); }

// A tone in percent; above 100 it would blend brighter than the picture itself.
uint16_t ClampTone(uint16_t tone) { return std::min<uint16_t>(tone, 100); }

}  // namespace

void DecodeBgtone(GameTaskRec* task) {
  StepTask<SpecialWork> step(Ctx().game_task, task);
  if (!Enter(step, task)) return;
  if (step.step() != 0) {
    EndTimer();
    Finish(task);
    return;
  }
  const int plane = GetMacroA(0) != 0 ? 1 : 0;
  const uint16_t tone = ClampTone(GetMacroA(1));
  StartTimer();
  if (GameTaskRec* running = FindLive(kToneNames[static_cast<size_t>(plane)])) {
    TaskWorkAs<SpecialWork>(running)->target = tone;
    step.GoTo(1);
    return;
  }
  LayerRec* rec = Ctx().ddraw.GetLayer(kToneLayers[static_cast<size_t>(plane)]);
  const int32_t layer_tone = rec != nullptr ? rec->tone : 100;
  if (Macro().tone_surface[static_cast<size_t>(plane)] != -1) {
    DebugPrint("DecodeBgTone There is other swapsurface\n");
    if (layer_tone == 100) {
      EndTimer();
      Finish(task);
      return;
    }
    ReleaseToneSurface(plane);
    DebugPrint("DecodeBgTone DeleteUserSurface\n");
  }
  auto* work = TaskNewBlock<SpecialWork>();
  work->target = tone;
  work->current = static_cast<uint16_t>(rec != nullptr ? rec->tone : 100);
  CTamvikMacro::SetDecodeTask(task->owner, plane == 0 ? &Bg0Tone : &Bg1Tone,
                              kToneNames[static_cast<size_t>(plane)], work);
  step.GoTo(1);
}

void DecodeBgFadetone(GameTaskRec* task) {
  StepTask<SpecialWork> step(Ctx().game_task, task);
  if (!Enter(step, task)) return;
  CDdrawFunc& ddraw = Ctx().ddraw;
  const uint16_t bg = GetMacroA(0);
  const uint16_t from = ClampTone(GetMacroA(1));
  const uint16_t to = ClampTone(GetMacroA(2));
  const uint16_t speed = GetMacroA(3);
  auto selected = [bg](int plane) { return (((bg + 1) >> plane) & 1) != 0; };
  switch (step.step()) {
    case 0: {
      DebugPrint("BgFadeTone bg=%d tone=%d->%d speed=%d\n", bg, from, to, speed);
      if (to == from || bg >= 4) {
        Finish(task);
        return;
      }
      ddraw.ClearSurface(SURFACE_XFADE, 1);
      for (int plane = 0; plane < 2; ++plane) {
        if (!selected(plane)) continue;
        ddraw.CaptureLayer(kToneLayers[static_cast<size_t>(plane)], SURFACE_XFADE, 1);
        if (!HoldToneSurface(plane)) {
          DebugPrint("BgFadeTone CreateUserSurface Failed\n");
          Finish(task);
          return;
        }
        DrawTone(plane, to);
      }
      const SurfaceId upper =
          ddraw.GetLayerIndex(SURFACE_BG) > ddraw.GetLayerIndex(SURFACE_FG) ? SURFACE_BG
                                                                           : SURFACE_FG;
      const LayerRec* rec = ddraw.GetLayer(upper);
      const Rect view = rec != nullptr ? Rect{rec->screen_x, rec->screen_y,
                                              rec->screen_x + rec->view_width,
                                              rec->screen_y + rec->view_height}
                                       : kPictureArea;
      PictureCrossFade(upper, static_cast<uint32_t>(speed) * 1000 / 960, &view);
      step.GoTo(1);
      return;
    }
    case 1:
      if (!IsScreenFadeDone()) return;
      for (int plane = 0; plane < 2; ++plane) {
        if (!selected(plane)) continue;
        if (LayerRec* rec = ddraw.GetLayer(kToneLayers[static_cast<size_t>(plane)])) rec->tone = to;
      }
      if (to < 100) {
        Finish(task);
        return;
      }
      step.GoTo(2);
      return;
    default:
      for (int plane = 0; plane < 2; ++plane) {
        if (selected(plane)) ReleaseToneSurface(plane);
      }
      Finish(task);
      return;
  }
}

// ---- Fades ----

namespace {

void FadeTask(GameTaskRec* task, bool out, int type) {
  StepTask<SpecialWork> step(Ctx().game_task, task);
  if (!Enter(step, task)) return;
  switch (step.step()) {
    case 0:
      Macro().faded_out = out ? 1 : 0;
      StartFade(out ? 0 : 256, out ? 256 : 0, GetMacroA(0) & 255, type);
      step.GoTo(1);
      return;
    case 1:
      if (Scene().screen_fade_handle != nullptr) return;
      step.GoTo(2);
      return;
    default:
      Finish(task);
      return;
  }
}

}  // namespace

void DecodeFadeout(GameTaskRec* task) { FadeTask(task, true, 0); }
void DecodeFadein(GameTaskRec* task) { FadeTask(task, false, 0); }
void DecodeWhiteout(GameTaskRec* task) { FadeTask(task, true, 1); }
void DecodeWhitein(GameTaskRec* task) { FadeTask(task, false, 1); }

// ---- Slides ----

namespace {

void MoveViews(bool horizontal, int by) {
  CDdrawFunc& ddraw = Ctx().ddraw;
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) {
    LayerRec* rec = ddraw.GetLayer(id);
    if (rec == nullptr) continue;
    (horizontal ? rec->screen_x : rec->screen_y) += by;
  }
  ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
}

void SlideTask(GameTaskRec* task, bool horizontal) {
  StepTask<SpecialWork> step(Ctx().game_task, task);
  const int amplitude = GetMacroA(0) & 255;
  if (step.OwnerGone() && step.step() != 0) {
    // The scene is going: the views go back where they were before the slide (they stand at
    // +amplitude after step 1's move, at -amplitude otherwise).
    MoveViews(horizontal, step.step() == 2 ? -amplitude : amplitude);
  }
  if (!Enter(step, task)) return;
  const int32_t interval = GetMacroA(1) & 255;
  const int swings = GetMacroA(2) & 255;
  SpecialWork& work = step.work();
  switch (step.step()) {
    case 0:
      MoveViews(horizontal, -amplitude);
      StartTimer();
      step.GoTo(1);
      return;
    case 1:
    case 2:
      if (TimerMs() < interval) return;
      MoveViews(horizontal, step.step() == 1 ? 2 * amplitude : -2 * amplitude);
      StartTimer();
      step.Next();
      return;
    case 3:
      ++work.count;
      if (work.count >= swings) {
        EndTimer();
        step.GoTo(4);
      } else {
        step.GoTo(1);
      }
      return;
    default:
      MoveViews(horizontal, amplitude);
      Finish(task);
      return;
  }
}

}  // namespace

void HSlideTask(GameTaskRec* task) { SlideTask(task, true); }
void VSlideTask(GameTaskRec* task) { SlideTask(task, false); }

// ---- NoWaitPrint ----

void NoWaitPrint(GameTaskRec* task) {
  StepTask<SpecialWork> step(Ctx().game_task, task);
  // The scene is going after the message started: it and its voice go with it.
  if (step.OwnerGone() && step.step() >= 2) EndMessageForStop();
  if (!Enter(step, task)) return;
  CTamvikMacro& macro = Macro();
  AdvState& adv = *GetAdvState();
  CDsoundFunc& sound = Ctx().dsound;
  switch (step.step()) {
    case 0:
      step.GoTo(1);
      return;
    case 1: {
      const uint16_t id = GetMacroA(0);
      adv.setMessageWait(GetMacroA(1));
      MessageData message;
      if (macro.GetMessageData(&message, id) == 0 || message.text == nullptr) {
        // Left waiting, the scene would stop for good: the message is passed over.
        DebugPrint("MessageData not Found!:0x%x %d\n", adv.sceneCode(), id);
        adv.setMessageWait(0);
        Finish(task);
        return;
      }
      const char* lip = reinterpret_cast<const char*>(message.lip);
      TamvikFunc::ClearMessageText();
      TamvikFunc::PutMessageText(reinterpret_cast<const char*>(message.text), lip);
      const bool voice_on = GetSystemData()->voiceOff() == 0;
      if (adv.faceId() == adv.bustUpId()) {
        const bool voice_clock = message.voice != -1 && IsKeyTriggered(2) == 0 && voice_on;
        TamvikFunc::SetNcTalk(1, lip, voice_clock ? 1 : 0);
      }
      if (message.voice != -1 && IsKeyHeld(2) == 0 && voice_on) {
        sound.StopVoice();
        sound.PlayVoice(CTamvikMacro::VoiceFileName(message.voice).c_str());
      }
      step.GoTo(2);
      return;
    }
    case 2:
      if (!TamvikFunc::IsMessageDone()) return;
      if (!TamvikFunc::IsVoicePlaying()) TamvikFunc::StopNcTalk();
      StartTimer();
      step.GoTo(3);
      return;
    case 3: {
      const bool held = IsKeyHeld(2) != 0;
      const bool cancel = IsKeyTriggered(1) != 0;
      const bool decide = IsKeyTriggered(0) != 0;
      if (TamvikFunc::IsVoicePlaying() &&
          ((held || cancel) || GetSystemData()->autoMessage() == 1)) {
        sound.StopVoice();
      }
      if (TamvikFunc::IsVoicePlaying()) return;
      TamvikFunc::StopNcTalk();
      if (TimerMs() > adv.messageWait() || decide || cancel || held) {
        EndTimer();
        adv.setMessageWait(0);
        step.GoTo(4);
      }
      return;
    }
    default:
      TamvikFunc::StopNcTalk();
      TamvikFunc::ClearMessageText();
      Finish(task);
      return;
  }
}

// ---- Extras ----

namespace {

// Which extras test A[0] asks for: 1 movie, 3 picture, anything else the sound test.
int ChosenTest(uint16_t a) { return a == 1 || a == 3 ? a : 2; }

void ClearSceneFlags(CTamvikMacro& macro) {
  AdvState& adv = *GetAdvState();
  macro.face_shown = 0;
  macro.shown_face = 0;
  macro.chara_shown = 0;
  macro.shown_chara = 99;
  adv.setBustUpId(0);
  macro.scene_ready = 0;
  macro.backgrounds_shown = 0;
}

void HideScenePicture(CTamvikMacro& macro) {
  CDdrawFunc& ddraw = Ctx().ddraw;
  macro.ReleaseChara();
  macro.ReleaseFace();
  TamvikFunc::ClearWindowFaceArea(1);
  TamvikFunc::ClearMessageText();
  TamvikFunc::CloseMessageWindow();
  TamvikFunc::ReleaseNcSpx();
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) ddraw.SetVisible(id, 0);
  ddraw.SetVisible(SURFACE_TEXT, 1);
  TamvikFunc::ReleaseScreenShade();
}

}  // namespace

void OM_TestMode(GameTaskRec* task) {
  StepTask<SpecialWork> step(Ctx().game_task, task);
  if (!Enter(step, task)) return;
  CTamvikMacro& macro = Macro();
  CDdrawFunc& ddraw = Ctx().ddraw;
  GameSequences& sequences = Game().sequences;
  switch (step.step()) {
    case 0:
      PictureCapture(SURFACE_TEXT);
      HideScenePicture(macro);
      ddraw.ClearSurface(SURFACE_ROOT, 0);
      for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) ddraw.ClearSurface(id, 1);
      TamvikFunc::StartCrossFade(SURFACE_TEXT, kPictureFadeTime);
      step.GoTo(1);
      return;
    case 1:
      if (!IsScreenFadeDone()) return;
      step.GoTo(2);
      return;
    case 2:
      ClearSceneFlags(macro);
      step.GoTo(3);
      return;
    case 3: case 4: case 5:
      step.Next();
      return;
    case 6:
      sequences.extras.Start(task, ChosenTest(GetMacroA(0)));
      step.GoTo(7);
      return;
    case 7:
      if (sequences.extras.IsRunning()) return;
      step.GoTo(8);
      return;
    case 8:
      step.GoTo(9);
      return;
    case 9:
      PictureCapture(SURFACE_TEXT);
      TamvikFunc::LoadWallPicture(GetAdvState()->sceneCode(), GetAdvState()->wallPicture());
      ddraw.SetVisible(SURFACE_ROOT, 1);
      for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) ddraw.SetVisible(id, 0);
      ddraw.SetVisible(SURFACE_TEXT, 1);
      TamvikFunc::StartCrossFade(SURFACE_TEXT, kPictureFadeTime);
      macro.scene_ready = 0;
      TamvikFunc::ReleaseScreenShade();
      step.GoTo(10);
      return;
    case 10:
      if (!IsScreenFadeDone()) return;
      step.GoTo(11);
      return;
    case 11:
      PictureCapture(SURFACE_TEXT);
      macro.scene_ready = 1;
      ADVShowWindow();
      TamvikFunc::StartCrossFade(SURFACE_TEXT, kCharaFadeTime);
      step.GoTo(12);
      return;
    case 12:
      if (!IsScreenFadeDone()) return;
      step.GoTo(13);
      return;
    default:
      Finish(task);
      return;
  }
}

void OM_WallChange(GameTaskRec* task) {
  StepTask<SpecialWork> step(Ctx().game_task, task);
  if (!Enter(step, task)) return;
  switch (step.step()) {
    case 0:
      StartFade(0, 256, 59, 0);
      step.GoTo(1);
      return;
    case 1:
    case 4:
      if (Scene().screen_fade_handle != nullptr) return;
      step.Next();
      return;
    case 2: {
      const uint16_t wall = GetMacroA(0);
      if (wall < 4) {
        Macro().extras_wall = wall;
        Macro().LoadOmakeWall();
      } else {
        DebugPrint("OM_WallChange: wall %d is not one of 0-3; the wall stays\n", wall);
      }
      TamvikFunc::RedrawMessageWindow();
      step.GoTo(3);
      return;
    }
    case 3:
      StartFade(256, 0, 59, 0);
      step.GoTo(4);
      return;
    default:
      Finish(task);
      return;
  }
}

namespace {

constexpr std::array<const char*, 8> kHighCgPictures = {
    "TAMVIK3\\CG\\SOUJI\\BG_SOUJI.SPR", "TAMVIK3\\CG\\SWIM\\BG_SWIM.SPR",
    "TAMVIK3\\CG\\COOK\\BG_RYORI.SPR",  "TAMVIK3\\CG\\MAIGO\\BG_MAIGO.SPR",
    "TAMVIK3\\CG\\SLOT\\BG_SLOT.SPR",   "TAMVIK3\\CG\\HANA\\BG_HANA.SPR",
    "TAMVIK3\\CG\\SHOT\\BG_SYATE.SPR",  "TAMVIK3\\CG\\KOIKOI\\BG_KOI.SPR",
};
constexpr int kHighCgFadeMs = 992;

}  // namespace

const char* HighCgPictureName(int n) {
  return n >= 1 && n <= 8 ? kHighCgPictures[static_cast<size_t>(n - 1)] : nullptr;
}

void OM_HighCg(GameTaskRec* task) {
  StepTask<SpecialWork> step(Ctx().game_task, task);
  if (!Enter(step, task)) return;
  CTamvikMacro& macro = Macro();
  switch (step.step()) {
    case 0:
    case 7:
      StartScreenFade(0, 256, kHighCgFadeMs);
      step.Next();
      return;
    case 1:
      if (!TamvikFunc::IsFadeDone()) return;
      CTamvikIcon::HideMouseCursor();
      step.GoTo(2);
      return;
    case 2: {
      HideScenePicture(macro);
      macro.scene_ready = 0;
      macro.backgrounds_shown = 0;
      macro.chara_shown = 0;
      // Cleared first, so that a missing picture leaves the layer empty.
      Ctx().ddraw.ClearSurface(SURFACE_TEXT, 1);
      const char* name = HighCgPictureName(GetMacroA(0));
      if (name != nullptr && TamvikFunc::LoadSprToSurfaceFirst(name, SURFACE_TEXT, 1) == 0) {
        DebugPrint("OM_HighCg: %s not loaded\n", name);
      }
      step.GoTo(3);
      return;
    }
    case 3:
    case 10:
      StartScreenFade(256, 0, kHighCgFadeMs);
      step.Next();
      return;
    case 4:
    case 11:
      step.Next();
      return;
    case 5:
      if (!TamvikFunc::IsFadeDone()) return;
      step.GoTo(6);
      return;
    case 6:
      if (IsKeyTriggered(0) == 0) return;
      step.GoTo(7);
      return;
    case 8:
      if (!TamvikFunc::IsFadeDone()) return;
      step.GoTo(9);
      return;
    case 9:
      Ctx().ddraw.ClearSurface(SURFACE_TEXT, 1);
      ADVShowWindow();
      macro.scene_ready = 1;
      step.GoTo(10);
      return;
    case 12:
      if (!TamvikFunc::IsFadeDone()) return;
      CTamvikIcon::ShowMouseCursor();
      step.GoTo(13);
      return;
    default:
      Finish(task);
      return;
  }
}

// ---- Line scroll and fade control ----

void DecodeLineScroll(GameTaskRec* task) {
  StepTask<SpecialWork> step(Ctx().game_task, task);
  if (EndedWithOwner(step, task)) return;
  CTamvikMacro& macro = Macro();
  CDdrawFunc& ddraw = Ctx().ddraw;
  SpecialWork& work = step.work();
  const bool bg_on_top = ddraw.GetLayerIndex(SURFACE_BG) > ddraw.GetLayerIndex(SURFACE_FG);
  switch (step.step()) {
    case 0:
      macro.continue_flag = 0;
      work.mode = 0;
      step.GoTo(1);
      return;
    case 1: {
      macro.continue_flag = 0;
      const uint16_t bg = GetAdvState()->background1();
      if (bg == 2093 || bg == 2238) {
        work.mode = bg == 2093 ? 1 : 2;
        DebugPrint(bg == 2093 ? "Raster & Fade Animation\n" : "Raster Animation\n");
        PictureCapture(SURFACE_FG);
        if (!bg_on_top) ddraw.SwapLayers(SURFACE_BG, SURFACE_FG);
        PictureCrossFade(SURFACE_BG, kPictureFadeTime, &kPictureArea);
      }
      step.GoTo(2);
      return;
    }
    case 2:
      if (work.mode != 0) {
        if (!IsScreenFadeDone()) return;
        AdvRunState& adv = Scene().adv;
        if (adv.bg_file != nullptr) {
          if (adv.bg_anime != nullptr) Scene().tamvik_spr.ReleaseAnm(&adv.bg_anime);
          adv.bg_anime = Scene().tamvik_spr.PlayAnm(adv.bg_file, 0, 0, 0, SURFACE_BG, 1);
        }
      }
      macro.continue_flag = 1;
      step.GoTo(3);
      return;
    case 3:
      if (work.stop == 0) return;
      macro.continue_flag = 0;
      step.GoTo(4);
      return;
    case 4:
      macro.continue_flag = 0;
      if (work.mode == 1) {
        PictureCapture(SURFACE_BG);
        if (bg_on_top) ddraw.SwapLayers(SURFACE_BG, SURFACE_FG);
        PictureCrossFade(SURFACE_FG, kPictureFadeTime, &kPictureArea);
      }
      step.GoTo(5);
      return;
    case 5:
      macro.continue_flag = 0;
      if (work.mode != 0) {
        if (!IsScreenFadeDone()) return;
        CTamvikMacro::ReleaseSceneBgAnime();
      }
      step.GoTo(6);
      return;
    case 6:
      macro.continue_flag = 0;
      step.GoTo(7);
      return;
    default:
      Finish(task);
      return;
  }
}

void DecodeFadeControl(GameTaskRec* task) {
  StepTask<SpecialWork> step(Ctx().game_task, task);
  if (EndedWithOwner(step, task)) return;
  switch (step.step()) {
    case 0: case 1: case 4:
      step.Next();
      return;
    case 2: case 3:
      if (step.work().stop == 1) step.Next();
      return;
    default:
      Finish(task);
      return;
  }
}

// ---- The decoder ----

namespace {

// Sets the stop request of the named task; false when none runs.
bool RequestStop(const char* name) {
  GameTaskRec* running = FindLive(name);
  if (running == nullptr) return false;
  TaskWorkAs<SpecialWork>(running)->stop = 1;
  return true;
}

void StartSpecialTask(GameTaskRec* owner, TaskFunc function, const char* name) {
  if (CTamvikMacro::SetDecodeTask(owner, function, name) == 0) {
    DebugPrint("SPECIAL: %s could not start; decoding goes on\n", name);
    Macro().continue_flag = 1;
  }
}

}  // namespace

void CTamvikMacro::DecodeSpecial(GameTaskRec* task) {
  continue_flag = 0;
  uint16_t word = 0;
  if (!GetOperand(&word)) return;  // a decode error: decoding stays stopped
  auto go_on = [this] { continue_flag = 1; };
  auto start = [&](const char* trace, TaskFunc function, const char* name) {
    if (trace != nullptr) DebugPrint("%s", trace);
    StartSpecialTask(task, function, name);
  };
  AdvState& adv = *GetAdvState();
  switch (word) {
    case 1: start("FADEOUT\n", &DecodeFadeout, "CTamvikMacro::DecodeFadeout"); break;
    case 2: start("FADEIN\n", &DecodeFadein, "CTamvikMacro::DecodeFadein"); break;
    case 3: start("WHITEOUT\n", &DecodeWhiteout, "CTamvikMacro::DecodeWhiteout"); break;
    case 4: start("WHITEIN\n", &DecodeWhitein, "CTamvikMacro::DecodeWhitein"); break;
    case 6: start("BGTONE\n", &DecodeBgtone, "CTamvikMacro::DecodeBgtone"); break;
    case 7: {
      const uint16_t a = GetMacroA(0);
      DebugPrint("DecodeSEVolume %d\n", a);
      Ctx().dsound.SetSEVolume(a == 0 ? 0 : a * 50 / 127 + 50, 0);
      go_on();
      break;
    }
    case 8: start("HSlide\n", &HSlideTask, "CTamvikMacro::HSlideTask"); break;
    case 9: start("HSlide\n", &VSlideTask, "CTamvikMacro::VSlideTask"); break;
    case 10: case 11: case 12: case 13:
      DebugPrint("SPECIAL haunted house map level %d\n", word - 9);
      adv.setMapLevelSet(1);
      adv.setMapLevel(static_cast<uint8_t>(word - 9));
      CTamvikMap::LoadMapAnm();
      go_on();
      break;
    case 14: case 15:
      DebugPrint("SPECIAL theatre map level %d\n", word - 12);
      adv.setSpecialValue(static_cast<uint8_t>(word - 13));
      go_on();
      break;
    case 16: start("OMAKE TEST MODE\n", &OM_TestMode, "CTamvikMacro::OM_TestMode"); break;
    case 17: start("OMAKE WALL CHANGE\n", &OM_WallChange, "CTamvikMacro::OM_WallChange"); break;
    case 18: start("OMAKE HIGH CG\n", &OM_HighCg, "CTamvikMacro::OM_HighCg"); break;
    case 19: start("LINESCROLL\n", &DecodeLineScroll, kLineScrollName); break;
    case 20:
      DebugPrint("LINESCROLL STOP\n");
      // The line-scroll task lets decoding go on when it ends; without one nothing would.
      if (!RequestStop(kLineScrollName)) {
        DebugPrint("SPECIAL 20: no line scroll runs; decoding goes on\n");
        go_on();
      }
      break;
    case 21:
      DebugPrint("FADECONTROL\n");
      StartSpecialTask(task, &DecodeFadeControl, kFadeControlName);
      go_on();
      break;
    case 22:
      DebugPrint("FADECONTROL STOP\n");
      if (!RequestStop(kFadeControlName)) {
        DebugPrint("SPECIAL 22: no fade control runs; decoding goes on\n");
        go_on();
      }
      break;
    case 24: start("NoWaitPrint\n", &NoWaitPrint, "CTamvikMacro::NoWaitPrint"); break;
    case 25: {
      const uint32_t range = static_cast<uint32_t>(GetMacroA(0)) + 1;
      const uint32_t value = (static_cast<uint32_t>(GetRandom()) >> 2) % range;
      SetMacroA(0, static_cast<uint16_t>(value));
      DebugPrint("Randam %d\n", GetMacroA(0));
      go_on();
      break;
    }
    case 90:
      for (size_t i = 0; i < kMacroACount; ++i) {
        SetMacroVar(static_cast<int>(kMacroVarWords + i), GetMacroA(static_cast<int>(i)));
      }
      go_on();
      break;
    case 91:
      for (size_t i = 0; i < kMacroACount; ++i) {
        SetMacroA(static_cast<int>(i), GetMacroVar(static_cast<int>(kMacroVarWords + i)));
      }
      go_on();
      break;
    case 96: start("BGFADETONE\n", &DecodeBgFadetone, "CTamvikMacro::DecodeBgFadetone"); break;
    case 97:
    case 98: {
      const int scene = (GetMacroA(1) << 8) + GetMacroA(0);
      if (word == 97) {
        DebugPrint("SPECIAL ALBUM START\n");
        AlbumModeStart(scene);
      } else {
        DebugPrint("SPECIAL ALBUM END\n");
        AlbumModeEnd(scene);
      }
      go_on();
      break;
    }
    case 99:
      cancel_lock = GetMacroA(0) != 0 ? 1 : 0;
      DebugPrint(cancel_lock != 0 ? "SPECIAL CancelLock ON\n" : "SPECIAL CancelLock OFF\n");
      go_on();
      break;
    case 5:
      DebugPrint("DecodeFlash is not Installed\n");
      go_on();
      break;
    case 23:
      DebugPrint("ReadBg2095 is not Installed\n");
      go_on();
      break;
    default:
      // The arguments live in A[0..3], so nothing of the script is misread by going on.
      DebugPrint("SPECIAL %u: no such sub-command; decoding goes on\n", word);
      go_on();
      break;
  }
}
