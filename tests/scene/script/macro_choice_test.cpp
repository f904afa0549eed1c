// SELECT and LIPS: the choice started with the message's text, A[0] := its answer, and decoding
// going on after it (also for a message the table does not hold).

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/input/dinput.h"
#include "scene/ui/tamvik_lips.h"
#include "script_rig.h"
#include "testsupport/lips_files.h"
#include "testsupport/trace_capture.h"

namespace scripttest {
namespace {

constexpr uint16_t kChoiceId = 2;

std::vector<uint8_t> ChoiceTable() {
  return testsupport::MessageTableWriter()
      .Add({1, 5, "a", "b"})
      .Add({kChoiceId, 5, "c", testsupport::ChoiceText(3, 4)})
      .Bytes();
}

ScriptWriter& Select(ScriptWriter& w, uint16_t id) { return w.Command(0x17, {Lit(id)}); }
ScriptWriter& Lips(ScriptWriter& w, uint16_t id, uint16_t limit) {
  return w.Command(0x2E, {Lit(id), Lit(limit)});
}

// The choice command, then A[5] = 7 (decoding went on) and a stop.
class ChoiceRig : public ScriptRig {
 public:
  explicit ChoiceRig(const std::function<void(ScriptWriter&)>& command, bool animations = true) {
    testsupport::LayLipsFiles(d.tree, animations);
    SetMacroA(0, 9);
    ScriptWriter w;
    command(w);
    w.Assign(VarA(5), Num(7));
    Stop(w);
    Lay(0x0305, w, ChoiceTable());
    Start(0x0305);
    d.Step();
  }
  CTamvikLips& lips() { return d.scene.lips; }
  int LipsStep() {
    GameTaskRec* task = Ctx().game_task.FindTask(CTamvikLips::kTaskName);
    return task != nullptr ? TaskStep(task) : -1;
  }
  bool ReachInput(int step) {
    return d.RunUntil("choice input", [&](const testsupport::ProgramDriver&) {
      return LipsStep() == step;
    }, 100);
  }
  void Press(uint32_t key) {
    d.Schedule({testsupport::GameKeyDown(d.frame() + 1, key),
                testsupport::GameKeyUp(d.frame() + 2, key)});
    d.Step();
  }
  bool DecodingWentOn(int limit) {
    return d.RunUntil("A[5] = 7", [](const testsupport::ProgramDriver&) {
      return GetMacroA(5) == 7;
    }, limit);
  }
};

TEST(ChoiceCommands, SelectGivesTheLinePicked) {
  ChoiceRig rig([](ScriptWriter& w) { Select(w, kChoiceId); });
  ASSERT_TRUE(rig.ReachInput(10));
  EXPECT_EQ(rig.lips().count(), 3);
  EXPECT_EQ(rig.macro().continue_flag, 0u);
  EXPECT_EQ(GetMacroA(0), 9);  // untouched while the choice runs
  rig.Press(kGameKeyDown);
  rig.Press(kGameKey0);
  ASSERT_TRUE(rig.DecodingWentOn(200));
  EXPECT_EQ(GetMacroA(0), 2);
  EXPECT_TRUE(rig.lips().IsLipsEnd());
  EXPECT_FALSE(rig.macro().HasDecodeError());
}

// The message's text as the choice's lines: 1-4 lines (four give three) and a 300-byte line (cut
// after its last whole character within 255 bytes).
TEST(ChoiceCommands, TheMessageTextIsTheChoicesLines) {
  const struct {
    uint16_t id;
    int count;
    size_t last_bytes;  // bytes of the last line
  } cases[] = {
      {testsupport::kChoiceMessageFirst, 1, 8},
      {testsupport::kChoiceMessageFirst + 1, 2, 8},
      {testsupport::kChoiceMessageFirst + 2, 3, 8},
      {testsupport::kChoiceMessageFirst + 3, 3, 16},
      {testsupport::kChoiceMessageLong, 1, 254},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    ScriptRig rig;
    testsupport::LayLipsFiles(rig.d.tree);
    ScriptWriter w;
    Select(w, c.id);
    Stop(w);
    rig.Lay(0x0305, w, testsupport::ChoiceMessageTable());
    rig.Start(0x0305);
    CTamvikLips& lips = rig.d.scene.lips;
    ASSERT_TRUE(rig.d.RunUntil("the choice starts", [&](const testsupport::ProgramDriver&) {
      return !lips.IsLipsEnd();
    }, 5));
    ASSERT_EQ(lips.count(), c.count);
    EXPECT_EQ(std::strlen(lips.line(c.count - 1)), c.last_bytes);
    EXPECT_EQ(lips.mode(), 1);
  }
}

TEST(ChoiceCommands, LipsTimingOutGivesZero) {
  ChoiceRig rig([](ScriptWriter& w) { Lips(w, kChoiceId, 2); });
  ASSERT_TRUE(rig.ReachInput(3));
  ASSERT_TRUE(rig.DecodingWentOn(400));
  EXPECT_EQ(GetMacroA(0), 0);
  EXPECT_EQ(rig.lips().GetResult(), 0);
}

TEST(ChoiceCommands, AMissingMessageGivesZeroAndDecodingGoesOn) {
  for (const bool timed : {false, true}) {
    SCOPED_TRACE(timed ? "LIPS" : "SELECT");
    testsupport::TraceCapture trace;
    ChoiceRig rig([timed](ScriptWriter& w) {
      if (timed) {
        Lips(w, 99, 60);
      } else {
        Select(w, 99);
      }
    });
    ASSERT_TRUE(rig.DecodingWentOn(2));
    EXPECT_EQ(GetMacroA(0), 0);
    EXPECT_TRUE(rig.lips().IsLipsEnd());
    EXPECT_EQ(rig.lips().window(), nullptr);
    EXPECT_TRUE(trace.Contains("message 99 is not in the table"));
  }
}

TEST(ChoiceCommands, WithoutNeedleAndSteamFilesTheChoiceStillAnswers) {
  ChoiceRig rig([](ScriptWriter& w) { Lips(w, kChoiceId, 600); }, false);
  ASSERT_TRUE(rig.ReachInput(3));
  EXPECT_EQ(rig.lips().needle(), nullptr);
  rig.Press(kGameKeyUp);
  rig.Press(kGameKey0);
  ASSERT_TRUE(rig.DecodingWentOn(200));
  EXPECT_EQ(GetMacroA(0), 3);
}

}  // namespace
}  // namespace scripttest
