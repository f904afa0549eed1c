#pragma once
// The real map scripts through the whole program: the stages of one or more maps laid on one
// install tree, and the composition root's battle extensions (the attack effects and the battle
// events, whose map set-up installs each stage's real rows) registered for a test's scope, with
// what the story did recorded frame by frame.
//
//   testsupport::BattleRig rig(options);                 // manager_mode 26
//   testsupport::ProgramMapEvents events(rig);
//   testsupport::LayMapStages(rig.driver().tree, {18, 23, 24, 25, 26});
//   GetAdvState()->setSceneCode(0x0A01);                 // the scene whose battle is map 18
//   testsupport::MapProgramPlayer player(rig.driver());
//   ... each frame: player.BeforeFrame(); rig.Step(); events.AfterFrame();
//   EXPECT_EQ(events.recorder().Records("start"), ...);

#include <initializer_list>
#include <memory>
#include <vector>

#include "battle/battle_extension.h"
#include "testsupport/battle_script.h"
#include "testsupport/event_recorder.h"
#include "testsupport/event_tables.h"

namespace testsupport {

class BattleRig;
class GameTree;

// Lays the stages of these maps (their descriptions, testsupport/map_stages.h) on one tree: each
// map's dressed install (DressMapStage) with every event face opening face 0 and the sprite
// sets of its units' kinds, its battle message file, and the event faces. The text tables the
// maps share are written once with every map's rows (each map's event-animation rows, the union
// of the unit rows), so that a battle switching from one map to the next finds the next one's. A
// map without a description fails the test.
void LayMapStages(GameTree& tree, std::initializer_list<int> maps);

// While it lives: the installers the composition root registers (BattleExtensionInstallers,
// program/game_wiring.h) are registered, and at each build of a stage the event check's observer
// notes the rows started and finished; the rig's battle carries the recorder's hooks. One at a
// time.
class ProgramMapEvents {
 public:
  explicit ProgramMapEvents(BattleRig& rig);
  ~ProgramMapEvents();
  ProgramMapEvents(const ProgramMapEvents&) = delete;
  ProgramMapEvents& operator=(const ProgramMapEvents&) = delete;

  // Feeds the recorder what the frame just run did.
  void AfterFrame() { recorder_.AfterFrame(notes_); }
  const EventRecorder& recorder() const { return recorder_; }

 private:
  static void Observe(BattleContext& battle);

  BattleRig& rig_;
  std::vector<std::unique_ptr<ScopedBattleInstaller>> installers_;
  std::vector<EventNote> notes_;
  EventRecorder recorder_;
};

// The player of a map's battle: before each frame (once the last key is up), OK for a message
// that waits for its key, else the game-over menu answered (giving up when `give_up`, else
// continuing), else the hero's turn ended.
class MapProgramPlayer {
 public:
  explicit MapProgramPlayer(ProgramDriver& driver) : script_(driver) {}
  void BeforeFrame();
  bool give_up = true;

 private:
  BattleScript script_;
};

// Whether the hero (kind 0) is the acting unit in a round: the moment a run plays a move of its
// own (a unit placed, enemies removed) between the battle's turns.
bool HerosTurn();

}  // namespace testsupport
