// The game context: one per test, current for its lifetime, and the sequence entries' defaults.

#include "game/game_context.h"

#include <gtest/gtest.h>

#include "engine/app/doors.h"
#include "testsupport/test_game.h"
#include "testsupport/trace_capture.h"

namespace {

TEST(GameContext, EachTestGameStartsFreshAndRestoresWhatWasCurrent) {
  EXPECT_FALSE(HasGame());
  {
    testsupport::TestGame first;
    ASSERT_EQ(&Game(), &first.game());
    Game().sequences.minigame.start = [](int game, int mode) { return game * 10 + mode; };
    Game().sequences.minigame.is_running = [] { return true; };
    EXPECT_EQ(Game().sequences.minigame.Start(4, 2), 42);
    SeedRandom(7);
    GetRandom();
  }
  EXPECT_FALSE(HasGame());
  EXPECT_FALSE(HasCtx());

  testsupport::TestGame second;
  EXPECT_EQ(&Game(), &second.game());
  // Nothing of the first game is left: its fake entries, nor the engine's generator.
  EXPECT_FALSE(Game().sequences.minigame.start);
  EXPECT_FALSE(Game().sequences.minigame.IsRunning());
  EXPECT_EQ(GetRandom(), 41);  // the first value of a generator never seeded
}

TEST(GameContext, ScopesNestAndUnwind) {
  GameContext outer;
  GameContext inner;
  GameScope outer_scope(outer);
  {
    GameScope inner_scope(inner);
    EXPECT_EQ(&Game(), &inner);
  }
  EXPECT_EQ(&Game(), &outer);
}

TEST(GameSequences, AnEntryNobodyFilledReportsItselfAndGivesNothing) {
  testsupport::TestGame game;
  testsupport::TraceCapture trace;
  GameSequences& s = game.sequences();
  EXPECT_EQ(s.minigame.Start(3, 0), 0);
  s.battle.Start();
  s.save_menu.Start(nullptr, 1);
  EXPECT_TRUE(trace.Contains("GameSequences: minigame is not there"));
  EXPECT_TRUE(trace.Contains("GameSequences: battle is not there"));
  EXPECT_TRUE(trace.Contains("GameSequences: save menu is not there"));
  EXPECT_FALSE(s.battle.IsRunning());

  // A fake receives the caller's arguments.
  GameTaskRec* seen_owner = reinterpret_cast<GameTaskRec*>(1);
  int seen_mode = -1;
  s.save_menu.start = [&](GameTaskRec* owner, int mode) {
    seen_owner = owner;
    seen_mode = mode;
  };
  s.save_menu.Start(nullptr, 2);
  EXPECT_EQ(seen_owner, nullptr);
  EXPECT_EQ(seen_mode, 2);
}

}  // namespace
