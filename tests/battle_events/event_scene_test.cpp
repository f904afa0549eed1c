// A story handler made of event steps in a running battle: the builder's battle (map 0 and its
// message file) with a one-row event table whose handler fades out and in, plays a message list,
// waits, scrolls and focuses the enemy, then ends; the event check calls it once a frame and the
// driver's input rows answer the messages.

#include <gtest/gtest.h>

#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_start.h"
#include "battle_events/core/event_check.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_steps.h"
#include "engine/input/dinput.h"
#include "game/system_data.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_rig.h"
#include "testsupport/event_tables.h"

namespace {

using testsupport::BattleInstall;
using testsupport::BattleRig;

constexpr EventMessageRef kTalk[] = {{1, BattleInstall::kMessageIds[0]},
                                     {2, BattleInstall::kMessageIds[1]},
                                     kEventMessageListEndRef};
static_assert(EventMessageListEnded(kTalk));

BattleRig* g_rig = nullptr;
// The driver frame each handler step was first called in.
std::vector<int> g_step_frames;

void Scene(const SlgEventEntry& /*row*/) {
  int& step = EventStep();
  if (static_cast<size_t>(step) >= g_step_frames.size()) g_step_frames.push_back(g_rig->frame());
  switch (step) {
    case 0:
      if (EventFadeOut() != 0) ++step;
      return;
    case 1:
      if (EventFadeIn() != 0) ++step;
      return;
    case 2:
      if (EventMessageList(kTalk) != 0) ++step;
      return;
    case 3:
      if (EventWait(10) != 0) ++step;
      return;
    case 4:
      if (EventScroll(0, 0, 0x40000) != 0) ++step;
      return;
    case 5:
      if (EventFocusUnit(1, 20) != 0) ++step;
      return;
    default:
      EventEnd();
  }
}

constexpr SlgEventEntry kTable[] = {
    {.id = 1, .timing = 0x8000, .guard = {1, 0}, .set = {1, 0}, .handler = &Scene},
    kEventTableEnd};

TEST(EventScene, AHandlerOfStepsRunsEachStepToItsEndInTurn) {
  BattleRig rig;
  g_rig = &rig;
  g_step_frames.clear();
  BattleInstall().Lay(rig.driver().tree);
  GetSystemData()->setBattleMap(0);
  GetSystemData()->setVoiceOff(1);
  rig.InstallEventTable(kTable);
  rig.StubPhases();
  Slg::StartStage();
  bool finished = false;
  for (int f = 0; f < 1200 && !finished; ++f) {
    const bool waiting = Battle().message.wait_state == 1;
    if (waiting) rig.Schedule({testsupport::GameKeyDown(rig.frame(), kGameKey0)});
    rig.Step();
    if (waiting) rig.Schedule({testsupport::GameKeyUp(rig.frame(), kGameKey0)});
    finished = !testsupport::NoteFrames(rig.event_notes(), 1, SlgEventMoment::kFinished).empty();
  }
  g_rig = nullptr;
  ASSERT_TRUE(finished);
  ASSERT_EQ(g_step_frames.size(), 7u);
  // Each step took its time: the fades 64 frames, the two messages at least two frames each,
  // the wait 10.
  EXPECT_GE(g_step_frames[1] - g_step_frames[0], 64);
  EXPECT_GE(g_step_frames[2] - g_step_frames[1], 64);
  EXPECT_GE(g_step_frames[3] - g_step_frames[2], 4);
  EXPECT_GE(g_step_frames[4] - g_step_frames[3], 10);
  EXPECT_LE(g_step_frames[4] - g_step_frames[3], 11);
  EXPECT_GE(g_step_frames[5] - g_step_frames[4], 1);
  EXPECT_EQ(Battle().face.current, 2) << "the list's last face";
  EXPECT_EQ(Battle().state.scroll_x, 0);
  EXPECT_EQ(Battle().state.scroll_y, 0);
  const SlgEventRuntimeState& s = Battle().Extension<SlgEventRuntimeState>();
  EXPECT_EQ(s.fade_phase + s.message_phase + s.list_phase + s.wait_phase + s.scroll_phase +
                s.focus_phase,
            0)
      << "every step put its phase back";
}

}  // namespace
