// The program's wiring of the game's sequence entries: every entry gets its real sequence, also
// over entries filled before, and none is left on a stand-in (the stand-ins serve tests only).

#include <gtest/gtest.h>

#include <functional>
#include <typeinfo>
#include <vector>

#include "debug/debug_menu.h"
#include "game/game_sequences.h"
#include "program/game_wiring.h"
#include "testsupport/general_stand_ins.h"
#include "testsupport/test_game.h"

namespace {

// One entry of GameSequences: whether it is filled, and the type of what fills it.
struct Entry {
  const char* name;
  bool filled;
  const std::type_info* type;
};

template <class Signature>
Entry Of(const char* name, const std::function<Signature>& f) {
  return {name, static_cast<bool>(f), &f.target_type()};
}

std::vector<Entry> Entries(const GameSequences& s) {
  return {
      Of("save_menu.start", s.save_menu.start),
      Of("save_menu.is_running", s.save_menu.is_running),
      Of("option_menu.start", s.option_menu.start),
      Of("option_menu.is_running", s.option_menu.is_running),
      Of("extras.start", s.extras.start),
      Of("extras.is_running", s.extras.is_running),
      Of("eyecatch.start", s.eyecatch.start),
      Of("eyecatch.is_running", s.eyecatch.is_running),
      Of("battle.start", s.battle.start),
      Of("battle.is_running", s.battle.is_running),
      Of("minigame.start", s.minigame.start),
      Of("minigame.is_running", s.minigame.is_running),
      Of("minigame_step", s.minigame_step),
      Of("minigame_result", s.minigame_result),
      Of("save_check.start", s.save_check.start),
      Of("save_check.is_running", s.save_check.is_running),
      Of("logo.start", s.logo.start),
      Of("logo.is_running", s.logo.is_running),
      Of("opening.start", s.opening.start),
      Of("opening.is_running", s.opening.is_running),
      Of("title.start", s.title.start),
      Of("title.is_running", s.title.is_running),
      Of("title_result", s.title_result),
      Of("save_offer.start", s.save_offer.start),
      Of("save_offer.is_running", s.save_offer.is_running),
      Of("quit_confirm.start", s.quit_confirm.start),
      Of("quit_confirm.is_running", s.quit_confirm.is_running),
      Of("ending.start", s.ending.start),
      Of("ending.is_running", s.ending.is_running),
      Of("ending_prepare", s.ending_prepare),
      Of("scene.start", s.scene.start),
      Of("scene.is_running", s.scene.is_running),
      Of("scene_end", s.scene_end),
      Of("scene_screen", s.scene_screen),
      Of("scene_minigame", s.scene_minigame),
      Of("set_mode", s.set_mode),
      Of("reset_adv_screen", s.reset_adv_screen),
      Of("start_manager", s.start_manager),
      Of("debug_menu_close", s.debug_menu_close),
      Of("option_return_mode", s.option_return_mode),
      Of("save_menu_loaded", s.save_menu_loaded),
      Of("save_menu_clear_loaded", s.save_menu_clear_loaded),
  };
}

TEST(SequenceWiring, EveryEntryGetsItsRealSequenceAndNoneIsLeftOnAStandIn) {
  testsupport::TestGame game;
  CDebugMenu menu;
  GameSequences stand_ins;
  testsupport::FillManagerStandIns(stand_ins);
  // A fresh set, and one a test has filled with the stand-ins first.
  GameSequences fresh;
  WireGameSequences(fresh, menu);
  GameSequences over;
  testsupport::FillManagerStandIns(over);
  WireGameSequences(over, menu);

  const std::vector<Entry> stand_in = Entries(stand_ins);
  for (const GameSequences* wired : {&fresh, &over}) {
    const std::vector<Entry> entries = Entries(*wired);
    ASSERT_EQ(entries.size(), stand_in.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      SCOPED_TRACE(entries[i].name);
      EXPECT_TRUE(entries[i].filled);
      if (stand_in[i].filled) {
        EXPECT_NE(*entries[i].type, *stand_in[i].type);
      }
    }
  }
}

}  // namespace
