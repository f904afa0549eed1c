// PRINT: a line of dialogue typed with its voice and the speaking character's mouth, the wait
// for a key, and the menu key (the option menu, with an item picture taken away and put back).

#include <cstdio>

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
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"

namespace {

struct PrintWork {
  uint8_t form;
  uint8_t step;
  uint8_t item;  // the item number of the picture put back after the menu (8 bits)
  uint8_t rest[13];
};
static_assert(sizeof(PrintWork) == sizeof(TaskWork));

enum PrintStep : uint8_t {
  kPrintStart = 0,
  kPrintLookUp = 1,
  kPrintTyping = 2,
  kPrintWaiting = 3,
  kPrintEnd = 4,
  kPrintMenu = 90,
  kPrintMenuStart = 91,
  kPrintMenuRuns = 92,
  kItemScaleOut = 100,
  kItemScaledOut = 101,
  kItemDelete = 102,
  kItemMenuStart = 103,
  kItemMenuRuns = 104,
  kItemReload = 105,
  kItemEntry = 106,
  kItemScaleIn = 107,
  kItemScaledIn = 108,
  kItemRetype = 109,
};

constexpr SurfaceId kItemSurface = SURFACE_TEXT;
constexpr int kItemPriority = 8;

const char* Text(const uint8_t* text) { return reinterpret_cast<const char*>(text); }

void StartOptionMenu(GameTaskRec* owner) {
  GameSequences& sequences = Game().sequences;
  if (sequences.option_return_mode) sequences.option_return_mode(0);
  sequences.option_menu.Start(owner);
}

bool IsOptionMenuEnd() { return !Game().sequences.option_menu.IsRunning(); }

// The message's text again at once, without the mouth text.
void Retype(const CTamvikMacro& macro) {
  TamvikFunc::PutMessageText(macro.current_message != nullptr ? Text(macro.current_message) : "",
                             0);
}

// The item sprite's scale from `from` to `to` percent by 12 every `interval` ms; the handle
// clears itself at the end.
void ScaleItem(CTamvikMacro& macro, int from, int to, uint32_t interval) {
  CDdrawAnime& anime = Ctx().anime;
  if (macro.item_anime != nullptr) anime.Delete(macro.item_anime);
  macro.item_anime =
      anime.CreateSpriteAnime(macro.item_sprite, from, to, 12, from, to, 12, 1, interval);
  anime.SetAutoClear(&macro.item_anime);
}

// Step 1: the look-up, the typing, the mouth and the voice. False when the message is missing.
bool StartMessage(CTamvikMacro& macro, uint16_t id) {
  if (macro.trace() != 0) DebugPrint("DataNo = %d\n", id);
  MessageData message;
  if (macro.GetMessageData(&message, id) == 0 || message.text == nullptr) {
    DebugPrint("MessageData not Found!:0x%x %d\n", GetAdvState()->sceneCode(), id);
    return false;
  }
  macro.current_message = message.text;
  const char* lip = message.lip != nullptr ? Text(message.lip) : nullptr;
  TamvikFunc::ClearMessageText();
  TamvikFunc::PutMessageText(Text(message.text), lip);
  AdvState& adv = *GetAdvState();
  if (macro.trace() != 0) DebugPrint("FaceID=%d NCID = %d\n", adv.faceId(), adv.bustUpId());
  const bool voice_on = GetSystemData()->voiceOff() == 0;
  if (adv.faceId() == adv.bustUpId()) {
    const bool voice_clock = message.voice != -1 && IsKeyTriggered(2) == 0 && voice_on;
    TamvikFunc::SetNcTalk(1, lip, voice_clock ? 1 : 0);
  }
  if (message.voice != -1 && IsKeyHeld(2) == 0 && voice_on) {
    CDsoundFunc& sound = Ctx().dsound;
    sound.StopVoice();
    const std::string name = CTamvikMacro::VoiceFileName(message.voice);
    if (macro.trace() != 0) DebugPrint("Voice = %s\n", name.c_str());
    sound.PlayVoice(name.c_str());
  }
  return true;
}

// Step 3, one frame of the wait. The next step, or the step itself.
uint8_t Wait(CTamvikMacro& macro) {
  const bool playing = TamvikFunc::IsVoicePlaying();
  if (!playing) {
    CTamvikIcon::ShowWaitIcon();
    if (macro.IsPrintMenuKey()) return kPrintMenu;
  }
  const bool cancel = IsKeyTriggered(1) != 0;
  const bool skip_held = IsKeyHeld(2) != 0;
  const bool scene_skip = GetAdvState()->sceneSkip() != 0;
  const bool decide = IsKeyTriggered(0) != 0;
  if ((skip_held || cancel) && playing) {
    Ctx().dsound.StopVoice();
  } else if (scene_skip) {
    Ctx().dsound.StopVoice();
  } else if (decide) {
    PlaySystemSe(4);
  }
  if ((decide || cancel || skip_held || scene_skip) && !TamvikFunc::IsVoicePlaying()) {
    return kPrintEnd;
  }
  return kPrintWaiting;
}

}  // namespace

void EndMessageForStop() {
  TamvikFunc::StopMessageText();
  Ctx().dsound.StopVoice();
  TamvikFunc::StopNcTalk();
  Scene().macro.current_message = nullptr;
}

bool CTamvikMacro::IsPrintMenuKey() const {
  if (IsKeyTriggered(4) != 0) return true;
  return face_shown != 0 && TamvikFunc::IsFaceBoxClicked();
}

void MakeItemSprite(int item) {
  CDdrawSpr& spr = Ctx().ddraw_spr;
  CTamvikMacro& macro = Scene().macro;
  if (macro.item_sprite != nullptr) spr.DeleteSprite(&macro.item_sprite);
  // Cleared first: a missing picture leaves the sprite empty rather than showing what the
  // working surface held.
  Ctx().ddraw.ClearSurface(SURFACE_SCRATCH, 1);
  char name[64];
  std::snprintf(name, sizeof name, "tamvik1\\item\\item%.02d.spr", item);
  if (TamvikFunc::LoadSprToSurfaceFirst(name, SURFACE_SCRATCH, 1) == 0) {
    DebugPrint("Item picture %s not loaded\n", name);
  }
  if (item >= 100) {
    macro.item_sprite = spr.CreateSprite(0, 0, SURFACE_SCRATCH, 0, 0, 640, 480);
  } else {
    macro.item_sprite = spr.CreateSprite(208, 64, SURFACE_SCRATCH, 0, 0, 224, 224);
  }
}

void DecodePrint(GameTaskRec* task) {
  StepTask<PrintWork> step(Ctx().game_task, task);
  if (step.OwnerGone()) {
    // The scene is going: the message it types and its voice go with it.
    if (step.step() != kPrintStart && step.step() != kPrintLookUp) {
      EndMessageForStop();
      CTamvikIcon::HideWaitIcon();
    }
    EndCommand(task);
    return;
  }
  CTamvikMacro& macro = Scene().macro;
  macro.continue_flag = 0;
  AdvState& adv = *GetAdvState();
  CDdrawSpr& spr = Ctx().ddraw_spr;
  switch (step.step()) {
    case kPrintStart:
      step.GoTo(kPrintLookUp);
      break;
    case kPrintLookUp: {
      uint16_t id = 0;
      if (!macro.GetOperand(&id)) {  // a decode error: decoding stays stopped
        EndCommand(task);
        return;
      }
      if (!StartMessage(macro, id)) {
        // A message the table does not hold is passed over: decoding goes on as if it had been
        // read (left waiting, the scene would hang for good).
        EndCommand(task);
        macro.continue_flag = 1;
        return;
      }
      step.GoTo(kPrintTyping);
      break;
    }
    case kPrintTyping:
      if (!TamvikFunc::IsMessageDone()) return;
      if (!TamvikFunc::IsVoicePlaying()) TamvikFunc::StopNcTalk();
      step.GoTo(kPrintWaiting);
      break;
    case kPrintWaiting:
      step.GoTo(Wait(macro));
      break;
    case kPrintEnd:
      CTamvikIcon::HideWaitIcon();
      TamvikFunc::StopNcTalk();
      TamvikFunc::ClearMessageText();
      macro.current_message = nullptr;
      macro.continue_flag = 1;
      EndCommand(task);
      break;
    case kPrintMenu:
      step.GoTo(macro.item_shown != 0 ? kItemScaleOut : kPrintMenuStart);
      break;
    case kPrintMenuStart:
      CTamvikIcon::HideWaitIcon();
      TamvikFunc::ClearMessageText();
      StartOptionMenu(task);
      step.GoTo(kPrintMenuRuns);
      break;
    case kPrintMenuRuns:
      if (!IsOptionMenuEnd()) return;
      Retype(macro);
      step.GoTo(kPrintWaiting);
      break;
    case kItemScaleOut: {
      const uint16_t item = adv.itemPicture();
      if (item < 200) {
        if (item < 100) {
          ScaleItem(macro, 100, 0, 33);
        } else {
          ScaleItem(macro, 100, 300, 16);
        }
        PlaySystemSe(2);
      }
      step.GoTo(kItemScaledOut);
      break;
    }
    case kItemScaledOut:
      if (macro.item_anime != nullptr) return;
      if (macro.item_entry != nullptr) spr.DeleteBuffer(&macro.item_entry);
      step.GoTo(kItemDelete);
      break;
    case kItemDelete:
      if (macro.item_sprite != nullptr) spr.DeleteSprite(&macro.item_sprite);
      step.GoTo(kItemMenuStart);
      break;
    case kItemMenuStart:
      macro.item_shown = 0;
      CTamvikIcon::HideWaitIcon();
      TamvikFunc::ClearMessageText();
      StartOptionMenu(task);
      step.GoTo(kItemMenuRuns);
      break;
    case kItemMenuRuns:
      if (!IsOptionMenuEnd()) return;
      macro.item_shown = 1;
      step.GoTo(kItemReload);
      break;
    case kItemReload:
      step.work().item = static_cast<uint8_t>(adv.itemPicture());
      MakeItemSprite(step.work().item);
      step.GoTo(kItemEntry);
      break;
    case kItemEntry: {
      if (macro.item_entry != nullptr) spr.DeleteBuffer(&macro.item_entry);
      if (macro.item_sprite != nullptr) {
        macro.item_entry = spr.SetBuffer("Buffered", macro.item_sprite, 0, 0, kItemSurface, 1,
                                         kItemPriority);
      }
      if (step.work().item >= 200) {
        Ctx().ddraw.SetUpdate(kItemSurface, 1);
        step.GoTo(kItemScaledIn);
      } else {
        spr.SetSpriteScale(macro.item_sprite, 0, 0);
        Ctx().ddraw.SetUpdate(kItemSurface, 1);
        step.GoTo(kItemScaleIn);
      }
      break;
    }
    case kItemScaleIn:
      ScaleItem(macro, 0, 100, 33);
      PlaySystemSe(1);
      step.GoTo(kItemScaledIn);
      break;
    case kItemScaledIn:
      if (macro.item_anime != nullptr) return;
      step.GoTo(kItemRetype);
      break;
    case kItemRetype:
      Retype(macro);
      step.GoTo(kPrintWaiting);
      break;
    default:
      EndCommand(task);
      break;
  }
}
