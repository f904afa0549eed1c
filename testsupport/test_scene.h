#pragma once
// A fresh scene for one test: a TestGame (engine and game context) and a scene context built
// beside it, all current for the object's lifetime.

#include "scene/scene_context.h"
#include "testsupport/test_game.h"

namespace testsupport {

class TestScene {
 public:
  TestScene() : scope_(scene_) {}

  TestGame game;
  TestEngine& engine() { return game.engine; }
  SceneContext& scene() { return scene_; }

 private:
  SceneContext scene_;
  SceneScope scope_;
};

}  // namespace testsupport
