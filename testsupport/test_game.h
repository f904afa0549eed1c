#pragma once
// A fresh game for one test: a fresh engine (TestEngine) and a game context built beside it, both
// current for the object's lifetime. Sequence entries start empty; a test fills the ones it needs
// with fakes (or with the real ones through WireGameSequences).

#include "game/game_context.h"
#include "testsupport/test_engine.h"

namespace testsupport {

class TestGame {
 public:
  TestGame() : scope_(game_) {}

  TestEngine engine;
  GameContext& game() { return game_; }
  GameSequences& sequences() { return game_.sequences; }

 private:
  GameContext game_;
  GameScope scope_;
};

}  // namespace testsupport
