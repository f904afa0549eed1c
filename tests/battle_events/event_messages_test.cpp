// The message steps of the event runtime on the battle rig: the battle message file (written by
// the message-table writer, voices 0, 0xFFFF and n, a two-line choice text), a face file, the
// system sprites, the choice window's files and a board with the characters, the battle events
// installed. The steps run inside the frame (a battle task calls them once a frame, as the event
// check calls a handler); the driver's input rows answer the messages and choices.

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_face.h"
#include "battle/slg_objects_state.h"
#include "battle/slg_screen.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/events_install.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/input/dinput.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_lips.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/lips_files.h"
#include "testsupport/portrait_writer.h"
#include "testsupport/script_writer.h"
#include "testsupport/system_sprites.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::SystemSpriteSet;
using testsupport::TraceCapture;

// Messages 1-3 (voice words 0, 0xFFFF and 7), the choice text 20; 99 is not in the file.
constexpr int kChoice = 20;
constexpr int kMissing = 99;
// Event faces 5 and 6 (internal faces 4 and 5).
constexpr int kFaceA = 5;
constexpr int kFaceB = 6;

// The step the battle task calls each frame and what it answered.
std::function<int()> g_step;
std::vector<int> g_answers;
void CallStep(SlgEffectTask* /*task*/) {
  if (g_step) g_answers.push_back(g_step());
}

class MessageRig {
 public:
  MessageRig() : board(rig.battle()) {
    InstallBattleEvents(rig.battle());
    testsupport::GameTree& tree = rig.driver().tree;
    SystemSpriteSet().Lay(tree);
    LoadSystemSprites();
    testsupport::MessageTableWriter table;
    table.Add({.id = 1, .voice_word = 0, .lip = "", .text = "AB"});
    table.Add({.id = 2, .voice_word = 0xFFFF, .lip = "aa", .text = "CD"});
    table.Add({.id = 3, .voice_word = 7, .lip = "bb", .text = "EF"});
    table.Add({.id = kChoice, .voice_word = 0, .lip = "", .text = testsupport::ChoiceText(2, 4)});
    tree.Write(testsupport::SlgMessageRel(0), table.Bytes());
    testsupport::FaceFileContents faces;
    faces.records = {{4, 1, 32}, {5, 1, 32}};
    faces.images = 6;
    tree.Write("install/tamvik2/system/kaoslg.spr", testsupport::FaceFile(faces));
    testsupport::LayLipsFiles(tree);
    Scene().macro.LoadSlgMessage(0);
    GetSystemData()->setVoiceOff(1);
    BattleContext& b = Battle();
    b.face_conv = std::make_unique<std::array<uint8_t, kFaceConvBytes>>();
    (*b.face_conv)[kFaceA] = 4 + 1;
    (*b.face_conv)[kFaceB] = 5 + 1;
    for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
    SlgSetLayer(SURFACE_ROOT, 1);
    board.AddUnit({.side = 0, .character = 0, .kind = 0, .x = 192, .y = 240});
    board.AddUnit({.side = 0, .character = 1, .kind = 1, .x = 288, .y = 240});
    g_answers.clear();
    task_ = SlgTaskCreate(SlgTaskOwner(), &CallStep, "test: event step");
  }
  ~MessageRig() {
    g_step = nullptr;
    SlgTaskEnd(task_);
    Scene().lips.EndLips();
    TamvikFunc::ReleaseBlinkAnm();
    FreeSystemSprites();
  }

  // Runs `step` once a frame until it answers 1, at most `limit` frames; OK is pressed for a
  // frame whenever a message waits for its key (when `keys`), and `each` runs after each frame.
  // The calls it took (-1: it never answered 1).
  int Run(std::function<int()> step, bool keys = true, int limit = 300,
          const std::function<void()>& each = {}) {
    g_step = std::move(step);
    g_answers.clear();
    for (int f = 0; f < limit; ++f) {
      const bool waiting = keys && Battle().message.wait_state == 1;
      if (waiting) rig.Schedule({testsupport::GameKeyDown(rig.frame(), kGameKey0)});
      rig.Step();
      if (waiting) rig.Schedule({testsupport::GameKeyUp(rig.frame(), kGameKey0)});
      if (each) each();
      if (!g_answers.empty() && g_answers.back() != 0) break;
    }
    g_step = nullptr;
    if (g_answers.empty() || g_answers.back() == 0) return -1;
    return static_cast<int>(g_answers.size());
  }
  // Runs `step` for `frames` frames without keys; whether it stayed busy.
  bool StaysBusy(std::function<int()> step, int frames) {
    return Run(std::move(step), false, frames) < 0;
  }
  static bool WindowShown() { return Ctx().ddraw.IsVisible(SURFACE_TEXT) != 0; }
  SlgEventRuntimeState& State() { return Battle().Extension<SlgEventRuntimeState>(); }
  // Whether the latest frame shows frame `digit` of the battle digits within 24 pixels of (x, y).
  bool ShowsDigit(int digit, int x, int y) {
    const uint32_t want = SystemSpriteSet::ColourRef(kSysMojiBDigit, digit) & 0xF8F8F8;
    for (int py = y - 8; py < y + 24; ++py) {
      for (int px = x - 8; px < x + 24; ++px) {
        if ((rig.PixelAt(px, py) & 0xF8F8F8) == want) return true;
      }
    }
    return false;
  }

  BattleRig rig;
  BattleBoard board;

 private:
  SlgEffectTask* task_ = nullptr;
};

// The event faces InitFace was given, in order.
std::vector<int> FacesOpened(const TraceCapture& trace) {
  std::vector<int> faces;
  const std::string key = "InitFace: No";
  for (const DebugTraceLine& line : trace.lines()) {
    const size_t at = line.text.find(key);
    if (at != std::string::npos) faces.push_back(std::atoi(line.text.c_str() + at + key.size()));
  }
  return faces;
}

// ---- One message ----

TEST(EventMessageSteps, OpenWaitForTheKeyAndCloseOnTheFrameItReportsOne) {
  for (int message : {1, 2, 3}) {
    SCOPED_TRACE(message);
    MessageRig m;
    TraceCapture trace;
    std::vector<bool> shown;
    const int calls = m.Run([message] { return EventMessage(kFaceA, message); }, true, 300,
                            [&] { shown.push_back(MessageRig::WindowShown()); });
    ASSERT_GE(calls, 3) << "open, the key, the close";
    EXPECT_EQ(Battle().face.current, kFaceA);
    EXPECT_EQ(FacesOpened(trace), std::vector<int>{kFaceA});
    EXPECT_TRUE(trace.Contains("InitFace: No5, InternalNo4"));
    // The window is up on every frame but the last, whose call closed it.
    EXPECT_EQ(std::vector<bool>(shown.begin(), shown.end() - 1),
              std::vector<bool>(static_cast<size_t>(calls - 1), true));
    EXPECT_FALSE(shown.back());
    EXPECT_EQ(TamvikFunc::GetBlinkSprTable()[3], nullptr) << "the blink released";
    EXPECT_EQ(m.State().message_phase, 0);
  }
}

TEST(EventMessageSteps, AMessageTheFileLacksIsTracedAndStillEnds) {
  MessageRig m;
  TraceCapture trace;
  EXPECT_GE(m.Run([] { return EventMessage(kFaceB, kMissing); }), 2);
  EXPECT_TRUE(trace.Contains("MessageData not Found!"));
  EXPECT_FALSE(MessageRig::WindowShown());
}

TEST(EventMessageSteps, NoWaitEndsWithoutAKeyOnlyWhenCalledEveryFrame) {
  MessageRig m;
  // Every frame: the flag set again after the open cleared it; no key needed.
  EXPECT_GE(m.Run([] { return SlgEventMessages::MessageNoWait(kFaceA, 1); }, false, 120), 2);
  EXPECT_FALSE(MessageRig::WindowShown());
  // Through the core's name (the event entry): the same.
  EXPECT_GE(m.Run([] { return EventMessageNoWait(kFaceB, 2); }, false, 120), 2);
  EXPECT_EQ(Battle().face.current, kFaceB);

  // Only on the first frame: the open clears the flag, so the message waits for its key.
  bool first = true;
  const auto once_then_plain = [&first] {
    const bool was_first = first;
    first = false;
    return was_first ? EventMessageNoWait(kFaceA, 3) : EventMessage(kFaceA, 3);
  };
  EXPECT_TRUE(m.StaysBusy(once_then_plain, 120));
  EXPECT_EQ(Battle().message.wait_state, 1u);
  EXPECT_GE(m.Run(once_then_plain), 1) << "ends with the key";
}

TEST(EventMessageSteps, TheDebugWordDrawsTheMessageNumber) {
  for (uint32_t debug : {0u, 1u}) {
    SCOPED_TRACE(debug);
    MessageRig m;
    Battle().debug_priority = debug;
    ASSERT_TRUE(m.StaysBusy([] { return EventMessage(kFaceA, 3); }, 4));
    EXPECT_EQ(m.ShowsDigit(3, 32, 64), debug == 1);
  }
}

// ---- Lists and the present test ----

TEST(EventMessageSteps, ListsShowEachReferenceInOrderAndEndAtTheMarker) {
  static constexpr EventMessageRef kOne[] = {{kFaceA, 1}, kEventMessageListEndRef};
  static constexpr EventMessageRef kTwo[] = {{kFaceA, 1}, {kFaceB, 3}, {kEventMessageListEnd, 2}};
  static constexpr EventMessageRef kEmpty[] = {kEventMessageListEndRef, {kFaceA, 1}};
  static_assert(EventMessageListEnded(kOne) && EventMessageListEnded(kTwo));
  static_assert(!EventMessageListEnded(kEmpty));
  struct Case {
    const char* name;
    std::span<const EventMessageRef> list;
    std::vector<int> faces;  // the faces opened, in order
  } cases[] = {
      {"one", kOne, {kFaceA}},
      {"two", kTwo, {kFaceA, kFaceB}},
      {"the marker first", kEmpty, {}},
      {"no marker: the span's end", std::span(kTwo).first(2), {kFaceA, kFaceB}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MessageRig m;
    TraceCapture trace;
    bool window_at_end = true;
    const int calls = m.Run([&c] { return EventMessageList(c.list); }, true, 600,
                            [&] { window_at_end = MessageRig::WindowShown(); });
    const std::vector<int> opened = FacesOpened(trace);
    if (c.faces.empty()) {
      EXPECT_EQ(calls, 1) << "ends at once";
      EXPECT_TRUE(opened.empty());
    } else {
      EXPECT_GE(calls, 3 * static_cast<int>(c.faces.size()));
    }
    EXPECT_EQ(opened, c.faces);
    EXPECT_FALSE(window_at_end);
    EXPECT_EQ(m.State().list_phase, 0);
    EXPECT_EQ(m.State().list_index, 0);
  }
}

TEST(EventMessageSteps, IfPresentChoosesOnTheFirstCallAndKeepsItsChoice) {
  static constexpr EventMessageRef kRefs[] = {{kFaceA, 1}, {kFaceB, 2}};
  MessageRig m;
  // Character 1 is on the map: the first reference. She leaves while it shows; it goes on.
  ASSERT_TRUE(m.StaysBusy([] { return EventMessageIfPresent(1, kRefs); }, 3));
  EXPECT_EQ(Battle().face.current, kFaceA);
  Battle().state.units[1].step = kSlgDeadStep;
  EXPECT_GE(m.Run([] { return EventMessageIfPresent(1, kRefs); }), 1);
  EXPECT_EQ(Battle().face.current, kFaceA);
  EXPECT_EQ(m.State().present_phase, 0);
  // Now she is absent: the second.
  EXPECT_GE(m.Run([] { return EventMessageIfPresent(1, kRefs); }), 2);
  EXPECT_EQ(Battle().face.current, kFaceB);
}

// ---- The timed choice ----

TEST(EventTimedChoiceSteps, AnAnswerByKeyATimeOutAndNoLimit) {
  struct Case {
    const char* name;
    int limit;
    int key_frame;  // the frame OK is pressed (-1: never)
    int result;
  } cases[] = {
      {"answered", 600, 40, 1},
      {"timed out", 30, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MessageRig m;
    m.State().choice_result = 7;
    int frame = 0;
    const bool layer_before = MessageRig::WindowShown();
    bool layer_during = false;
    const int calls = m.Run([&c] { return EventTimedChoice(kChoice, c.limit); }, false, 600, [&] {
      if (++frame == c.key_frame) {
        m.rig.Schedule({testsupport::GameKeyDown(m.rig.frame() + 1, kGameKey0),
                        testsupport::GameKeyUp(m.rig.frame() + 2, kGameKey0)});
      }
      if (frame == 10) layer_during = MessageRig::WindowShown();
    });
    ASSERT_GT(calls, 0);
    EXPECT_EQ(EventChoiceResult(), c.result);
    EXPECT_TRUE(layer_during) << "the text layer shown";
    EXPECT_EQ(MessageRig::WindowShown(), layer_before) << "the layers restored";
    EXPECT_TRUE(Scene().lips.IsLipsEnd());
    EXPECT_EQ(m.State().choice_phase, 0);
  }

  // Without a limit it waits past any time, then takes the answer.
  MessageRig m;
  EXPECT_TRUE(m.StaysBusy([] { return EventTimedChoice0(kChoice); }, 400));
  m.rig.Schedule({testsupport::GameKeyDown(m.rig.frame() + 1, kGameKey0),
                  testsupport::GameKeyUp(m.rig.frame() + 2, kGameKey0)});
  EXPECT_GT(m.Run([] { return EventTimedChoice0(kChoice); }), 0);
  EXPECT_EQ(EventChoiceResult(), 1);
}

TEST(EventTimedChoiceSteps, AMissingTextEndsAtOnceAsATimeOutWithTheLayersRestored) {
  MessageRig m;
  Battle().Extension<SlgEventRuntimeState>().choice_result = 2;
  TraceCapture trace;
  EXPECT_EQ(m.Run([] { return EventTimedChoice(kMissing, 600); }), 1);
  EXPECT_EQ(EventChoiceResult(), 0);
  EXPECT_FALSE(MessageRig::WindowShown());
  EXPECT_TRUE(Scene().lips.IsLipsEnd()) << "no choice started";
  EXPECT_TRUE(trace.Contains("EventTimedChoice: MessageData not Found!:99"));
}

}  // namespace
