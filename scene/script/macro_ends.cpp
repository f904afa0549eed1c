// The three scene ends (MACROEND, FIGHT, MINIGAME) with the steps they share: the progress record,
// closing the scene picture, silencing; and releasing the character and the face.

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/macro_tasks.h"
#include "scene/script/tamvik_adv.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"
#include "scene/ui/tamvik_map.h"

namespace {

constexpr uint32_t kSceneFadeTime = 62;
constexpr int kStageFadeMs = 3968;
constexpr int kSilenceFrames = 60;

// Silencing: the BGM faded to 0 over 60 frames (when it plays); once that fade has ended the
// volume goes back to 100 and every channel and static effect stops. `first` starts the fade;
// true when done.
bool Silence(bool first) {
  CDsoundFunc& sound = Ctx().dsound;
  if (first) {
    if (!sound.IsBGMStop()) sound.SetBGMVolume(0, kSilenceFrames);
    return false;
  }
  if (!sound.IsBGMFadeEnd()) return false;
  sound.SetBGMVolume(100, 0);
  sound.StopStaticSE(-1);
  sound.StopBGM();
  sound.StopVoice();
  sound.StopSE();
  return true;
}

// The start of FIGHT and MINIGAME: layers 5-7 cleared, 8 shown, the window closed, a
// cross-fade.
void ClearForEnd(CTamvikMacro& macro, bool minigame) {
  CDdrawFunc& ddraw = Ctx().ddraw;
  ddraw.CaptureLayers(SURFACE_TEXT, SURFACE_XFADE);
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) ddraw.ClearSurface(id, 1);
  ddraw.SetVisible(SURFACE_TEXT, 1);
  if (minigame) {
    TamvikFunc::ReleaseNcSpx();
    TamvikFunc::ReleaseBlinkAnm();
  } else {
    macro.ReleaseChara();
    macro.ReleaseFace();
  }
  TamvikFunc::ClearWindowFaceArea(1);
  TamvikFunc::ClearMessageText();
  TamvikFunc::CloseMessageWindow();
  TamvikFunc::ReleaseScreenShade();
  TamvikFunc::StartCrossFade(SURFACE_TEXT, kSceneFadeTime);
}

// Steps 1-3 of FIGHT and MINIGAME: the fade, then silencing. True once step 4 is reached.
bool FadeThenSilence(StepTask<CommandWork>& step) {
  switch (step.step()) {
    case 1:
      if (!IsScreenFadeDone()) return false;
      Silence(true);
      step.GoTo(2);
      return false;
    case 2:
      if (!Silence(false)) return false;
      step.GoTo(3);
      return false;
    case 3:
      step.GoTo(4);
      return false;
    default:
      return true;
  }
}

}  // namespace

bool SilenceForSceneEnd(bool first) { return Silence(first); }

void CTamvikMacro::RecordProgress() {
  SystemData& system = *GetSystemData();
  uint32_t bits = system.picturesSeen();
  for (int i = 0; i < 10; ++i) {
    const uint16_t value = GetMacroP(i);
    if (value >= 1 && value <= 6) bits |= 1u << (value - 1);
    if (value >= 21 && value <= 27) bits |= 1u << (value - 21 + 16);
  }
  system.setPicturesSeen(bits);
}

void CTamvikMacro::ReleaseChara() {
  TamvikFunc::ReleaseNcSpx();
  shown_chara = 0;
  shown_chara_face = 0;
  GetAdvState()->setBustUpId(0);
  chara_shown = 0;
}

void CTamvikMacro::ReleaseFace() {
  shown_face = 0;
  GetAdvState()->setFaceId(0);
  face_shown = 0;
  TamvikFunc::ReleaseBlinkAnm();
}

void CTamvikMacro::CloseScenePicture() {
  Ctx().ddraw.CaptureLayers(SURFACE_TEXT, SURFACE_XFADE);
  ReleaseChara();
  ReleaseFace();
  TamvikFunc::ClearWindowFaceArea(1);
  TamvikFunc::ClearMessageText();
  TamvikFunc::CloseMessageWindow();
  backgrounds_shown = 0;
  face_shown = 0;
  chara_shown = 0;
  scene_ready = 0;
  // The item picture goes with the scene: left on the text layer it would stay over whatever
  // shows next.
  ReleaseItemPicture();
  item_shown = 0;
  TamvikFunc::ReleaseScreenShade();
  TamvikFunc::StartCrossFade(SURFACE_TEXT, kSceneFadeTime);
}

void CTamvikMacro::ReleaseItemPicture() {
  if (item_anime != nullptr) Ctx().anime.DeleteRef(&item_anime);
  CDdrawSpr& spr = Ctx().ddraw_spr;
  if (item_entry != nullptr) spr.DeleteBuffer(&item_entry);
  if (item_sprite != nullptr) spr.DeleteSprite(&item_sprite);
}

void DecodeMacroend(GameTaskRec* task) {
  StepTask<CommandWork> step(Ctx().game_task, task);
  if (EndedWithOwner(step, task)) return;
  CTamvikMacro& macro = Scene().macro;
  CDdrawFunc& ddraw = Ctx().ddraw;
  switch (step.step()) {
    case 0: {
      if (GetAdvState()->minigameMode() != 0) {
        // The extras scene: what the player saw there goes back into the system data.
        SystemData& system = *GetSystemData();
        uint8_t heroines = system.heroineFlags();
        for (int k = 0; k < 7; ++k) {
          if (GetMacroP(81 + k) == 2) heroines = static_cast<uint8_t>(heroines | 1u << k);
        }
        system.setHeroineFlags(heroines);
        if (GetMacroP(88) == 1) {
          system.setMinigamesSeen(static_cast<uint8_t>(system.minigamesSeen() | 0x80));
        }
      } else {
        CTamvikMacro::RecordProgress();
      }
      ddraw.CaptureLayers(SURFACE_TEXT, SURFACE_XFADE);
      macro.ReleaseChara();
      macro.ReleaseFace();
      TamvikFunc::ClearWindowFaceArea(1);
      TamvikFunc::ClearMessageText();
      TamvikFunc::CloseMessageWindow();
      TamvikFunc::ReleaseScreenShade();
      macro.scene_ready = 0;
      macro.backgrounds_shown = 0;
      ddraw.SetVisible(SURFACE_TEXT, 0);
      CTamvikIcon::ReleaseIcon();
      CTamvikMap::FreeMapAnm();
      CTamvikMacro::ReleaseSceneBgAnime();
      TamvikFunc::StartCrossFade(SURFACE_TEXT, kSceneFadeTime);
      step.GoTo(1);
      break;
    }
    case 1:
      if (!IsScreenFadeDone()) return;
      StartScreenFade(0, 256, kStageFadeMs);
      step.GoTo(2);
      break;
    case 2: {
      if (!TamvikFunc::IsFadeDone()) return;
      const GameSequences& sequences = Game().sequences;
      if (sequences.reset_adv_screen) {
        sequences.reset_adv_screen();
      } else {
        DebugPrint("GameSequences: reset ADV screen is not there\n");
      }
      step.GoTo(3);
      break;
    }
    case 3: {
      ddraw.ClearSurface(SURFACE_ROOT, 0);
      StartScreenFade(256, 0, 0);
      uint16_t unused = 0;
      // The operand is not used; a scene skip's MACROEND has none, and a word it cannot read is
      // only traced as a decode error.
      macro.GetOperand(&unused);
      CTamvikAdv::SetEndCode(5);
      EndCommand(task);
      CTamvikAdv::StopMacro();  // ends this task with the interpreter
      break;
    }
    default:
      EndCommand(task);
      break;
  }
}

void DecodeFight(GameTaskRec* task) {
  StepTask<CommandWork> step(Ctx().game_task, task);
  if (EndedWithOwner(step, task)) return;
  CTamvikMacro& macro = Scene().macro;
  if (step.step() == 0) {
    CTamvikMacro::RecordProgress();
    ClearForEnd(macro, false);
    step.GoTo(1);
    return;
  }
  if (!FadeThenSilence(step)) return;
  if (step.step() != 4) {
    EndCommand(task);
    return;
  }
  uint16_t unused = 0;
  macro.GetOperand(&unused);
  CTamvikAdv::SetEndCode(6);
  EndCommand(task);
  CTamvikAdv::StopMacro();
}

void DecodeMinigame(GameTaskRec* task) {
  StepTask<CommandWork> step(Ctx().game_task, task);
  if (EndedWithOwner(step, task)) return;
  CTamvikMacro& macro = Scene().macro;
  if (step.step() == 0) {
    ClearForEnd(macro, true);
    step.GoTo(1);
    return;
  }
  if (!FadeThenSilence(step)) return;
  if (step.step() != 4) {
    EndCommand(task);
    return;
  }
  uint16_t n = 0;
  if (!macro.GetOperand(&n)) {  // a decode error: the scene stays stopped where it is
    EndCommand(task);
    return;
  }
  AdvState& adv = *GetAdvState();
  CTamvikAdv::SetMiniGameNo(n);
  GetSystemData()->setMinigameFromTest(adv.minigameMode() != 0 ? 1 : 0);
  CTamvikAdv::SetEndCode(2);
  // The scene goes on at the word after the operand when the minigame is over.
  adv.setResumePosition(macro.position());
  adv.setResumeInScript(1);
  EndCommand(task);
  CTamvikAdv::StopMacro();
}
