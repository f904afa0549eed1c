#include "battle_events/event_messages.h"

#include "battle/battle_context.h"
#include "battle/slg_face.h"
#include "battle/slg_screen.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_turn.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/event_steps.h"
#include "engine/core/debug_trace.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_lips.h"

namespace {

constexpr int kDebugNumberX = 32;
constexpr int kDebugNumberY = 64;

void DrawDebugMessageNumber(int message) {
  if (Battle().debug_priority == 1) DrawEventDebugNumber(kDebugNumberX, kDebugNumberY, message);
}

bool IsListEnd(std::span<const EventMessageRef> list, int index) {
  return index < 0 || static_cast<size_t>(index) >= list.size() ||
         list[static_cast<size_t>(index)].face == kEventMessageListEnd;
}

// The end of a timed choice: its answer kept, the layers back.
int EndChoice(int32_t result) {
  SlgEventRuntimeState& s = EventRuntimeState();
  s.choice_result = result;
  s.choice_phase = 0;
  SlgLayerRestore();
  return 1;
}

}  // namespace

int EventMessage(int face, int message) {
  uint8_t& phase = EventRuntimeState().message_phase;
  switch (phase) {
    case 0:
      Slg::CloseFaceWindow();
      Slg::FaceMessageOpen(face, message);
      phase = 1;
      [[fallthrough]];
    case 1:
      DrawDebugMessageNumber(message);
      if (Slg::FaceMessageFrame() != 0) phase = 2;
      return 0;
    default:
      Slg::FaceMessageClose();
      phase = 0;
      return 1;
  }
}

int EventMessageList(std::span<const EventMessageRef> list) {
  SlgEventRuntimeState& s = EventRuntimeState();
  if (s.list_phase == 0) {
    s.list_index = 0;
    s.list_phase = 1;
  }
  // The marker is tested before every reference, the first one included (a list that starts
  // with it shows nothing), and again as soon as one has closed (the list ends on that frame).
  bool done = IsListEnd(list, s.list_index);
  if (!done) {
    const EventMessageRef& ref = list[static_cast<size_t>(s.list_index)];
    if (EventMessage(ref.face, ref.message) == 0) return 0;
    ++s.list_index;
    done = IsListEnd(list, s.list_index);
  }
  if (!done) return 0;
  s.list_index = 0;
  s.list_phase = 0;
  return 1;
}

int EventMessageIfPresent(int32_t character, std::span<const EventMessageRef, 2> refs) {
  SlgEventRuntimeState& s = EventRuntimeState();
  if (s.present_phase == 0) {
    s.present_ref = refs[CondNP(character) != 0 ? 1 : 0];
    s.present_phase = 1;
  }
  if (EventMessage(s.present_ref.face, s.present_ref.message) == 0) return 0;
  s.present_phase = 0;
  return 1;
}

int EventTimedChoice(int message, int limit) {
  SlgEventRuntimeState& s = EventRuntimeState();
  if (s.choice_phase == 0) {
    SlgLayerOn(SURFACE_TEXT, 3);
    MessageData data;
    if (Scene().macro.GetMessageData(&data, static_cast<uint16_t>(message)) == 0 ||
        data.text == nullptr) {
      DebugPrint("EventTimedChoice: MessageData not Found!:%d\n", message);
      return EndChoice(0);
    }
    if (Scene().lips.StartLips(reinterpret_cast<const char*>(data.text), limit) == 0) {
      DebugPrint("EventTimedChoice: the choice %d did not start\n", message);
      return EndChoice(0);
    }
    s.choice_phase = 1;
    return 0;
  }
  Slg::SyncMouseCursor();
  Slg::DrawMouseCursor(SURFACE_BACK);
  DrawDebugMessageNumber(message);
  if (!Scene().lips.IsLipsEnd()) return 0;
  return EndChoice(Scene().lips.GetResult());
}

int EventTimedChoice0(int message) { return EventTimedChoice(message, 0); }

int32_t EventChoiceResult() { return EventRuntimeState().choice_result; }

namespace SlgEventMessages {

int MessageNoWait(int face, int message) {
  Battle().message.auto_flag = 1;
  return EventMessage(face, message);
}

}  // namespace SlgEventMessages
