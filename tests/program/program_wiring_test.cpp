// The composition root's wiring of the battle's extending libraries: both installers registered,
// once however often the root registers them.

#include <gtest/gtest.h>

#include "battle/battle_extension.h"
#include "battle_effects/effects_install.h"
#include "battle_events/events_install.h"
#include "program/game_wiring.h"

namespace {

TEST(ProgramWiring, RegistersTheAttackEffectsAndTheBattleEventsOnce) {
  ASSERT_FALSE(IsBattleInstallerRegistered(&InstallBattleEffects));
  ASSERT_FALSE(IsBattleInstallerRegistered(&InstallBattleEvents));
  RegisterBattleExtensions();
  RegisterBattleExtensions();
  EXPECT_TRUE(UnregisterBattleInstaller(&InstallBattleEffects));
  EXPECT_TRUE(UnregisterBattleInstaller(&InstallBattleEvents));
  // Registered once: removing each once leaves none.
  EXPECT_FALSE(IsBattleInstallerRegistered(&InstallBattleEffects));
  EXPECT_FALSE(IsBattleInstallerRegistered(&InstallBattleEvents));
}

}  // namespace
