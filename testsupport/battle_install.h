#pragma once
// A small battle install for tests, the fuzz seeds and the sample install, made only with the
// battle's fixture writers: the minimal stage's Map01 set (the hero at cell (2, 10), one ASHIGARU
// at (4, 10), its think files) with a Map01.TAB of one ground plane, the four battle text tables
// and System.Tab, the battle message file and the two game-over pictures. The folders are laid in
// mixed case on purpose ("TaMvIk2", "mAp", ...), so that every open goes through the file
// layer's case-blind search.
//
// Two forms:
// - bare: each text table and System.Tab one "#" line, nothing else the tables name;
// - dressed: a few real lines each: a static effect (15, the OK sound) and a streamed one (20),
//   a voice file and ATTACK voices of kinds 0 and 14; base, attack, special, death and ability
//   sprite sets for the kinds in play (0 and 14-16 unless more are added),
//   one event sprite, one event background picture (BBG001.SPR, 16 x 8 of one colour), and the
//   whole system-sprite set (cursors, grid, command and info windows,
//   gauges, digits, shadow, continue and yes/no); the files all laid.
//
// Either form takes more placement entries before it is laid: units (AddUnit), and in the dressed
// form event objects (AddObject: their EventAnm rows and tiny sprite files come with them), or the
// story cast
// (StoryCast: two heroines beside the hero, three ASHIGARU, the third hidden, and two event
// objects).
//
//   testsupport::BattleInstall install;                 // dressed, map 0
//   install.stage.units[0].x = 96;                      // change the stage before laying
//   install.Lay(rig.driver().tree);
//   GetSystemData()->setBattleMap(0);
//   Slg::StartStage();

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "testsupport/slg_map_writer.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/stage_writer.h"
#include "testsupport/system_sprites.h"

namespace testsupport {

class GameTree;

class BattleInstall {
 public:
  enum class Form { kBare, kDressed };

  // The dressed form's sound effects: the static OK sound and a streamed one.
  static constexpr int kOkSe = 15;
  static constexpr int kStreamedSe = 20;
  // Its voice file number (ATTACK voice of kinds 0 and 14).
  static constexpr int kVoice = 1;
  // Its event sprite's NPC entry (read by GetEventAnm(kEventNpc + 80)).
  static constexpr int kEventNpc = 0;
  // The story cast's entries (StoryCast): the heroines of characters 1 and 2, the second and third
  // ASHIGARU (placement numbers 2 and 3; the third placed hidden) and the event objects of kinds 80
  // and 81, and where each stands.
  static constexpr int kHeroine1Entry = 2;
  static constexpr int kHeroine2Entry = 3;
  static constexpr int kHiddenAshigaruEntry = 5;
  static constexpr int kHiddenAshigaruNumber = 3;
  static constexpr int kObjectKinds[2] = {80, 81};
  // Pixels of the cells: the hero (2, 10), heroine 1 (2, 8), heroine 2 (2, 12), the ASHIGARU
  // (4, 10), (4, 8) and (4, 12), the objects (5, 6) and (5, 14).
  static constexpr int kHeroine1X = 192, kHeroine1Y = 192;
  static constexpr int kHiddenAshigaruX = 384, kHiddenAshigaruY = 288;
  // The ground plane's tiles: 64 x 64, 10 x 8 of them (the whole 640 x 480 stage).
  static constexpr int kTile = 64;
  static constexpr int kTileCols = 10;
  static constexpr int kTileRows = 8;
  // The dressed form's event background picture number and its size.
  static constexpr int kBackground = 1;
  static constexpr int kBackgroundWidth = 16;
  static constexpr int kBackgroundHeight = 8;
  // The message ids of the battle message file.
  static constexpr uint16_t kMessageIds[2] = {19990, 19992};

  explicit BattleInstall(Form form = Form::kDressed);

  Form form;
  // Whether the dressed form lays its event background picture (off: a battle whose picture is
  // missing).
  bool background = true;
  // More event background numbers laid with the same picture (a map's own pictures).
  std::vector<int> more_backgrounds;
  // The stage (MinimalStage of map 0 unless changed; its map number places every map file).
  StageWriter stage;

  // The pieces as written (tests and fuzz seeds take their bytes).
  SlgTableWriter Tables() const;
  // The EventAnm.TAB rows of this install's map (its own NPC and its event objects) added to
  // `tables`: several maps' stages laid in one install share one table.
  void AddEventAnmRows(SlgTableWriter& tables) const;
  SystemTabWriter SystemTab() const;
  MapTabWriter MapTab() const;
  // The ground plane's bank file ("ground0.spr" in the map folder).
  static std::string GroundBankName() { return "ground0.spr"; }
  static std::vector<uint8_t> GroundBank();
  // The battle message file (map `stage.map`).
  std::vector<uint8_t> Messages() const;

  // The ASHIGARU's entry made a heroine (side 0, character 1, its class kind 1 of category 0) on
  // its cell: a battle of two player units and no enemy, which the one-unit rule (a round that
  // begins with one unit record left is lost) does not end.
  void HeroineInsteadOfEnemy();

  // A unit's placement entry (made at the start; the hero's entry's flags) of that side,
  // character, kind and category at pixel (x, y). The entry's number. Both adders number the
  // entries of a kind 1, 2, ... (placement numbers).
  int AddUnit(int side, int character, int kind, int category, int x, int y);
  // An event object's placement entry (kind 80 or above, category 3, not made at the start) at
  // pixel (x, y) with that character byte; its EventAnm row and sprite file are laid with the
  // install (kind 80 keeps the install's own row and sprite). The entry's number.
  int AddObject(int kind, int character, int x, int y);
  // The cast of a battle with a story (the dressed form): heroines of characters 1 and 2 beside
  // the hero (kinds 1 and 2, their sprite sets laid), two more ASHIGARU, the third placed hidden
  // (entry flags without 0x80: it shows when revealed), and the event objects of kinds 80 and 81.
  void StoryCast();

  // The unit kinds whose base, attack, special, death and ability sprite sets are laid (dressed
  // form): the hero, the ASHIGARU, the HINAWA and the OOZUTU.
  std::vector<int> sprite_kinds{0, 14, 15, 16};
  // More kinds in play (those laid already stay once).
  void AddSpriteKinds(std::initializer_list<int> kinds);
  // The event-object kinds AddObject placed.
  std::vector<int> object_kinds;

  // Writes every file into the tree's install directory.
  void Lay(GameTree& tree) const;
};

}  // namespace testsupport
