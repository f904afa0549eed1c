// The battle's test hooks: every effect task made and ended is told (with its name and owner,
// also a task made and ended within one frame), every call of the battle's sound layer is told,
// and nothing is told once the hooks are unset.

#include "battle/slg_test_hooks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_sound.h"
#include "battle/slg_task.h"
#include "engine/core/game_task.h"
#include "testsupport/battle_rig.h"

namespace {

using testsupport::BattleRig;

std::vector<std::string> g_told;

void OnTask(void* user, SlgTaskEvent event, const SlgEffectTask& task) {
  g_told.push_back(std::string(static_cast<const char*>(user)) +
                   (event == SlgTaskEvent::kCreated ? " made " : " ended ") + task.name +
                   (event == SlgTaskEvent::kCreated ? " under " + task.owner->name : ""));
}
void OnSound(void* /*user*/, SlgSoundCall call, int value, int frames) {
  const char* names[] = {"effect", "effect stop", "voice", "music volume"};
  g_told.push_back(std::string(names[static_cast<int>(call)]) + " " + std::to_string(value) +
                   " " + std::to_string(frames));
}

// Makes a child that ends itself in the same pass, then ends itself.
void Brief(SlgEffectTask* t) { SlgTaskEnd(t); }
void Parent(SlgEffectTask* t) {
  SlgTaskCreate(SlgTaskOwner(), &Brief, "Hooks::Child");
  SlgTaskEnd(t);
}

TEST(SlgTestHooks, EveryTaskMadeAndEndedIsToldAndNothingOnceUnset) {
  BattleRig rig;
  g_told.clear();
  static char user[] = "hook";
  rig.battle().test_hooks = {user, &OnTask, nullptr, nullptr};
  SlgTaskCreate(SlgTaskOwner(), &Parent, "Hooks::Parent");
  rig.Step();
  rig.Step();
  EXPECT_EQ(g_told, (std::vector<std::string>{
                        "hook made Hooks::Parent under CTamvikGeneral::GeneralManeger",
                        "hook made Hooks::Child under CTamvikGeneral::GeneralManeger",
                        "hook ended Hooks::Parent", "hook ended Hooks::Child"}));
  // A task refused at its name copy is not told; one that no live task carries ends untold.
  rig.battle().alloc.refuse = [](uint32_t, size_t) { return true; };
  EXPECT_EQ(SlgTaskCreate(SlgTaskOwner(), &Parent, "Hooks::Refused"), nullptr);
  rig.battle().alloc.refuse = nullptr;
  SlgTaskEnd(nullptr);
  EXPECT_EQ(g_told.size(), 4u);

  rig.battle().test_hooks = {};
  SlgTaskCreate(SlgTaskOwner(), &Parent, "Hooks::Untold");
  rig.Step();
  EXPECT_EQ(g_told.size(), 4u);
}

TEST(SlgTestHooks, TheSoundLayersCallsAreToldAsMade) {
  BattleRig rig;
  g_told.clear();
  rig.battle().test_hooks = {nullptr, nullptr, &OnSound, nullptr};
  SlgSePlay(12);
  SePlay(12, 2);
  SePlay(12, 3);  // no call of the sound layer
  SePlay(600, 1);  // outside the table: told as asked, then refused
  VoicePlay(7);
  SlgBgmVolumeDip();
  SlgBgmVolumeBack();
  SlgBgmVolumeDown();
  SlgBgmVolumeUp();
  EXPECT_EQ(g_told, (std::vector<std::string>{"effect 12 0", "effect stop 12 0", "effect 600 0",
                                              "voice 7 0", "music volume 87 30",
                                              "music volume 100 30", "music volume 50 200",
                                              "music volume 100 128"}));
}

}  // namespace
