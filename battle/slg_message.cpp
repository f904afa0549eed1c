#include "battle/slg_message.h"

#include "battle/battle_context.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/sound/dsound_func.h"
#include "game/game_state.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"

namespace Slg {

void ShowMessage(int /*a*/, int /*b*/, int /*ignored*/, int n) {
  MessageData message;
  if (Scene().macro.FindMessageData(&message, static_cast<uint16_t>(n)) == 0 ||
      message.text == nullptr) {
    DebugPrint("MessageData not Found!:0x%x %d\n", n, n);
    return;
  }
  const char* lip = message.lip != nullptr ? reinterpret_cast<const char*>(message.lip) : nullptr;
  TamvikFunc::PutMessageText(reinterpret_cast<const char*>(message.text), lip);
  if (message.voice != -1 && GetSystemData()->voiceOff() == 0) VoicePlay(message.voice);
  Battle().message.wait_state = 0;
  Battle().message.auto_flag = 0;
}

int MessageWait() {
  SlgMessageState& m = Battle().message;
  switch (m.wait_state) {
    case 0:
      if (!TamvikFunc::IsMessageDone()) return 0;
      if (m.auto_flag == 1) return 1;
      m.wait_state = 1;
      return 0;
    case 1: {
      CTamvikIcon::ShowWaitIcon();
      const bool ok = IsKeyTriggered(0) != 0;
      const bool cancel = IsKeyTriggered(1) != 0;
      const bool hurry = IsKeyHeld(2) != 0;
      const bool adv_byte = GetAdvState()->bytes()[11] == 1;
      CDsoundFunc& sound = Ctx().dsound;
      if (cancel || hurry) {
        if (TamvikFunc::IsVoicePlaying()) sound.StopVoice();
      } else if (GetSystemData()->autoMessage() == 1 || adv_byte) {
        sound.StopVoice();
      }
      if (!ok && !cancel && !hurry && !adv_byte) return 0;
      if (TamvikFunc::IsVoicePlaying()) return 0;
      SePlay(15, 1);
      CTamvikIcon::HideWaitIcon();
      sound.StopVoice();
      m.wait_state = 2;
      return 0;
    }
    default:
      return 1;
  }
}

void OpenMessageWindow() {
  TamvikFunc::CreateMessageWindow(0);
  SlgLayerOn(SURFACE_TEXT, 3);
}

void CloseMessageWindow() {
  TamvikFunc::CloseMessageWindow();
  SlgLayerRestore();
}

}  // namespace Slg
