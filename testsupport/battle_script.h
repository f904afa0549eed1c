#pragma once
// The battle's input script for whole-program tests and the fuzz entries: a player that looks at
// the running battle before a frame and answers through the program driver's input rows, as a
// person at the keys would. One key is pressed at a time (down in the next frame, up in the one
// after; Ready() is false until it is up); the arrow keys are held while the map cursor travels.
//
//   testsupport::BattleScript player(rig.driver());
//   for (...) {
//     if (player.Ready()) player.EndHeroTurn();
//     rig.Step();
//   }
//
// Until the kinds' attack effects exist, InstallAttackStubs puts a routine that ends the attack
// on its first frame in the attack table rows of the kinds it is given. Until the map scripts
// exist, whole battles are won by the victory table of testsupport/event_tables.h, which a test
// installs before the battle starts:
//
//   testsupport::ScopedEventTable victory(testsupport::kVictoryEvents);

#include <cstdint>
#include <initializer_list>

#include "battle/slg_geometry.h"
#include "engine/input/dinput.h"

struct SlgUnit;

namespace testsupport {

class ProgramDriver;

class BattleScript {
 public:
  explicit BattleScript(ProgramDriver& driver) : driver_(driver) {}

  // Whether the last key pressed is up again (the script may press the next).
  bool Ready() const;
  // A game key pressed in the next frame and let go in the one after.
  void Press(GameKeyBits key);
  // Holds exactly these arrow keys from the next frame; the others go up.
  void HoldArrows(GameKeyBits keys);

  // The hero's turn ended: from the free cursor OK opens the command window, whose selection
  // steps right until OK chooses the end of the turn. Whether it pressed.
  bool EndHeroTurn();
  // On the turn of a player unit (the hero or a heroine: the player phase's): a walk to `to` (the
  // command window's walk, the map cursor steered there by the arrow keys, OK, OK once it
  // stands), unless it stands there, then an attack (the window's attack, OK on the unit the
  // cursor is put on, OK on its area). Whether it acted.
  bool HeroWalksAndAttacks(SlgCell to);
  // The game-over menu's answer once it shows: OK continues (the item it opens on); giving up
  // moves to item 0 first. Whether it pressed.
  bool AnswerGameOver(bool give_up);

  // The acting unit, null when none.
  static const SlgUnit* ActingUnit();
  // The point the map cursor takes on a cell.
  static SlgPoint CellCentre(SlgCell c);
  // The attack table rows of these kinds end the attack on its first frame.
  static void InstallAttackStubs(std::initializer_list<int> kinds);

 private:
  ProgramDriver& driver_;
  int next_press_ = 0;
  GameKeyBits held_ = 0;
};

}  // namespace testsupport
