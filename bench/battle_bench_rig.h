// The set-up the battle benchmarks share: a fresh scene on the headless backend with its display
// open (no row padding), a battle context made current, and a scratch directory as the working
// directory for the files a benchmark writes.

#pragma once

#include "battle/battle_context.h"
#include "engine/app/context.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_scene.h"

struct BattleBenchRig {
  testsupport::TempTree tree;
  testsupport::TestScene scene;
  BattleContext battle;
  BattleScope battle_scope{battle};

  // Opens the display; false (the benchmark should skip) when it does not open.
  bool Open() {
    scene.engine().host.files.SetWorkingDirectory(tree.root());
    scene.engine().host.display.pitch_padding = 0;
    return scene.engine().ctx().ddraw.InitDirectDraw() == 1;
  }
  // The game tree's root as the working directory and its install directory as the game's.
  void UseTree(testsupport::GameTree& game) {
    scene.engine().host.files.SetWorkingDirectory(game.root());
    scene.engine().ctx().file_io.SetInstallDir(game.install().c_str());
  }
};
