// The battle builder (testsupport/battle_install.h): in either form the battle it lays starts on
// the rig and is built without a missing or refused file; the dressed form's tables, sprites,
// map plane and messages are all there to be found, the bare form's tables are empty.

#include "testsupport/battle_install.h"

#include <gtest/gtest.h>

#include <string>

#include "battle/battle_context.h"
#include "battle/slg_map.h"
#include "battle/slg_start.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_tables.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "testsupport/battle_rig.h"

namespace {

using testsupport::BattleInstall;

struct FormCase {
  const char* name;
  BattleInstall::Form form;
};

class BattleInstallForms : public ::testing::TestWithParam<FormCase> {};

TEST_P(BattleInstallForms, BuildsTheBattleWithEveryFileFound) {
  const bool dressed = GetParam().form == BattleInstall::Form::kDressed;
  testsupport::BattleRig rig;
  BattleInstall(GetParam().form).Lay(rig.driver().tree);
  GetSystemData()->setBattleMap(0);
  Game().sequences.set_mode = [](int) { return 1; };
  Slg::StartStage();
  ASSERT_TRUE(rig.RunUntil(testsupport::TraceContains("SLG INIT END"), 60));

  const testsupport::TraceCapture& trace = rig.driver().trace();
  for (const char* missing : {"Can't open", "FILE OPEN ERROR", "Error", "is no file",
                              "Can't use Map Data"}) {
    EXPECT_FALSE(trace.Contains(missing)) << missing;
  }
  // The bare form names no unit sprites; the dressed one every sprite the units ask for.
  EXPECT_EQ(trace.Contains("not described"), !dressed);
  for (const auto& line : trace.lines()) {
    if (dressed && line.text.find("not described") != std::string::npos) ADD_FAILURE() << line.text;
  }
  const BattleContext& b = rig.battle();
  EXPECT_EQ(b.state.unit_count, 2);
  ASSERT_NE(b.map.planes[0], nullptr);  // the ground plane
  EXPECT_EQ(b.map.planes[1], nullptr);

  const SlgTextTables& t = b.tables;
  EXPECT_EQ(t.se[BattleInstall::kOkSe].static_index >= 0, dressed);
  EXPECT_EQ(!t.se[BattleInstall::kStreamedSe].path.empty(), dressed);
  EXPECT_EQ(t.unit_voices[14][0].size(), dressed ? 1u : 0u);
  for (const int kind : {0, 14}) {
    for (const int slot : {0, 4, 5, 6}) {
      EXPECT_EQ(t.unit_anm[static_cast<size_t>(kind * kSlgAnmSlots + slot)] != nullptr, dressed)
          << kind << " " << slot;
    }
  }
  EXPECT_EQ(t.event_anm[BattleInstall::kEventNpc] != nullptr, dressed);
  int sprites = 0;
  for (const SlgSystemSprite& s : b.sys_sprites) sprites += s.file != nullptr ? 1 : 0;
  EXPECT_EQ(sprites, dressed ? kSlgSysSpriteCount : 0);
  // The sprite sets load through their table lines; the message file answers its ids.
  if (dressed) {
    SprAnm* attack = GetUnitAnm(14, 5);
    EXPECT_NE(attack, nullptr);
    ReleaseUnitAnm(&attack);
  }
  for (const uint16_t id : BattleInstall::kMessageIds) {
    MessageData message{};
    EXPECT_NE(Scene().macro.FindMessageData(&message, id), 0) << id;
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, BattleInstallForms,
                         ::testing::Values(FormCase{"bare", BattleInstall::Form::kBare},
                                           FormCase{"dressed", BattleInstall::Form::kDressed}),
                         [](const ::testing::TestParamInfo<FormCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
