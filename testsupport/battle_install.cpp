#include "testsupport/battle_install.h"

#include <algorithm>
#include <cstdio>

#include "battle/slg_tables.h"
#include "testsupport/attack_fixtures.h"
#include "testsupport/event_anm_writer.h"
#include "testsupport/game_over_pictures.h"
#include "testsupport/script_writer.h"
#include "testsupport/spr_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/unit_anm_writer.h"

namespace testsupport {

namespace {

constexpr const char* kOkFile = "ok.wav";
constexpr const char* kStreamedFile = "hit.wav";
constexpr const char* kVoiceFile = "v001.wav";
constexpr const char* kEventFile = "event0.spr";

// The sprite sets of the kinds in play: base (body, effect), death and ability effects, with the
// writer's four patterns; the attack and special sets (bodies and effects) with eight, as many as
// the attacks play from one set.
constexpr int kAttackPatterns = 8;
std::vector<UnitAnmWriter> UnitSets(const std::vector<int>& kinds) {
  std::vector<UnitAnmWriter> sets;
  for (const int kind : kinds) {
    UnitAnmWriter base(kind);
    base.Slot(kAnmDeadEffect).Slot(kAnmAbilityEffect);
    sets.push_back(base);
    UnitAnmWriter attack(kind);
    attack.Slots({kAnmAttackBody, kAnmAttackEffect, kAnmSpecialBody, kAnmSpecialEffect,
                  kAnmSpecialEffect2})
        .ExtraPatterns(kAttackPatterns - 4);
    sets.push_back(attack);
  }
  return sets;
}

// The placement number of a new entry of `kind`: one more than the entries of its kind before it.
uint8_t NextPlacementNumber(const StageWriter& s, int kind) {
  int n = 1;
  for (int i = 0; i < s.header.num_unit; ++i) {
    const StageUnitEntry& e = s.units[static_cast<size_t>(i)];
    if (s.classes[e.class_index].kind == kind) ++n;
  }
  return static_cast<uint8_t>(n);
}

// The event objects whose rows and files the install adds: its own NPC's row already describes
// kind 80 (a second row for it would stop the table's reading there).
std::vector<int> ObjectKindsBeyondOwn(std::vector<int> kinds) {
  std::erase(kinds, kSlgEventNpcBase + BattleInstall::kEventNpc);
  return kinds;
}

}  // namespace

BattleInstall::BattleInstall(Form form) : form(form), stage(MinimalStage()) {}

void BattleInstall::HeroineInsteadOfEnemy() {
  StageUnitEntry& u = stage.units[1];
  u.side = 0;
  u.character = 1;
  stage.classes[u.class_index] = {1, 0, 0, 0};
}

int BattleInstall::AddUnit(int side, int character, int kind, int category, int x, int y) {
  StageWriter& s = stage;
  const int n = s.header.num_unit;
  const auto cls = static_cast<size_t>(n);
  StageUnitEntry& e = s.units[static_cast<size_t>(n)];
  e = s.units[0];  // the hero's entry: a complete unit
  e.side = static_cast<uint8_t>(side);
  e.character = static_cast<uint8_t>(character);
  e.class_index = static_cast<uint8_t>(cls);
  e.x = static_cast<int16_t>(x);
  e.y = static_cast<int16_t>(y);
  e.placement_number = NextPlacementNumber(s, kind);
  s.classes[cls] = {static_cast<uint8_t>(kind), static_cast<uint8_t>(category), 0, 0};
  s.header.num_unit = static_cast<decltype(s.header.num_unit)>(n + 1);
  return n;
}

int BattleInstall::AddObject(int kind, int character, int x, int y) {
  StageWriter& s = stage;
  const int n = s.header.num_unit;
  const auto cls = static_cast<size_t>(n);
  StageUnitEntry& e = s.units[static_cast<size_t>(n)];
  e = {};
  e.class_index = static_cast<uint8_t>(cls);
  e.character = static_cast<uint8_t>(character);
  e.x = static_cast<int16_t>(x);
  e.y = static_cast<int16_t>(y);
  e.flags = 0x80;
  e.placement_number = NextPlacementNumber(s, kind);
  s.classes[cls] = {static_cast<uint8_t>(kind), 3, 0, 0};
  s.header.num_unit = static_cast<decltype(s.header.num_unit)>(n + 1);
  if (std::find(object_kinds.begin(), object_kinds.end(), kind) == object_kinds.end()) {
    object_kinds.push_back(kind);
  }
  return n;
}

void BattleInstall::StoryCast() {
  constexpr int kAshigaru = 14;
  const int hero_x = stage.units[0].x;
  AddUnit(0, 1, 1, 0, kHeroine1X, kHeroine1Y);
  AddUnit(0, 2, 2, 0, hero_x, stage.units[0].y + 48);
  const StageUnitEntry first = stage.units[1];
  for (const int y : {first.y - 48, kHiddenAshigaruY}) {
    const int n = AddUnit(first.side, first.character, kAshigaru, 1, first.x, y);
    stage.units[static_cast<size_t>(n)].facing = first.facing;
  }
  // Present but not shown: the reveal shows it.
  stage.units[kHiddenAshigaruEntry].flags = static_cast<uint16_t>(first.flags & ~0x80);
  AddObject(kObjectKinds[0], 0, 480, 144);
  AddObject(kObjectKinds[1], 0, 480, 336);
  AddSpriteKinds({1, 2});
}

void BattleInstall::AddSpriteKinds(std::initializer_list<int> kinds) {
  for (const int kind : kinds) {
    if (std::find(sprite_kinds.begin(), sprite_kinds.end(), kind) == sprite_kinds.end()) {
      sprite_kinds.push_back(kind);
    }
  }
}

SlgTableWriter BattleInstall::Tables() const {
  SlgTableWriter tables;
  if (form == Form::kBare) {
    for (int t = 0; t < SlgTableWriter::kTableCount; ++t) {
      tables.Raw(static_cast<SlgTableWriter::Table>(t), "#");
    }
    return tables;
  }
  tables.Se(kOkSe, kOkFile, "STATIC").Se(kStreamedSe, kStreamedFile, "STREAMING");
  tables.VoiceFile(kVoice, kVoiceFile)
      .UnitVoices(kSlgUnitIdNames[0], "ATTACK", {kVoice})
      .UnitVoices(kSlgUnitIdNames[14], "ATTACK", {kVoice});
  for (const int kind : sprite_kinds) {
    const UnitAnmWriter names(kind);
    for (const int slot : {kAnmBaseBody, kAnmBaseEffect, kAnmAttackBody, kAnmAttackEffect,
                           kAnmSpecialBody, kAnmSpecialEffect, kAnmSpecialEffect2, kAnmDeadEffect,
                           kAnmSpecialBg, kAnmAbilityEffect}) {
      tables.UnitAnm(kSlgUnitIdNames[static_cast<size_t>(kind)],
                     kSlgAnmSlotNames[static_cast<size_t>(slot)], names.FileName(slot));
    }
  }
  AddEventAnmRows(tables);
  return tables;
}

void BattleInstall::AddEventAnmRows(SlgTableWriter& tables) const {
  tables.EventAnm(stage.map, kEventNpc, kEventFile);
  for (const int kind : ObjectKindsBeyondOwn(object_kinds)) {
    EventAnmWriter::Row(tables, stage.map, kind);
  }
}

SystemTabWriter BattleInstall::SystemTab() const {
  SystemTabWriter tab;
  if (form == Form::kBare) return tab.Raw("#");
  return tab.All();
}

MapTabWriter BattleInstall::MapTab() const {
  MapTabWriter tab;
  tab.Comment("one ground plane over the whole stage");
  tab.File("Ground:", {GroundBankName()});
  return tab;
}

std::vector<uint8_t> BattleInstall::GroundBank() {
  return MapBankFile(GridBank(kTile, kTile, kTileCols, kTileRows, 0));
}

std::vector<uint8_t> BattleInstall::Messages() const {
  MessageTableWriter table;
  table.Add({.id = kMessageIds[0], .voice_word = 0, .lip = "", .text = "Forward!"})
      .Add({.id = kMessageIds[1], .voice_word = 0, .lip = "", .text = "Fall back!"});
  return table.Bytes();
}

void BattleInstall::Lay(GameTree& tree) const {
  stage.Lay(tree);
  MapTab().Lay(tree, stage.map);
  LayMapFile(tree, stage.map, GroundBankName(), GroundBank());
  Tables().Lay(tree);
  tree.Write(SlgMessageRel(stage.map), Messages());
  GameOverPictures::Lay(tree);
  if (form == Form::kBare) {
    SystemTab().Lay(tree);
    return;
  }
  SystemSpriteSet().Lay(tree);
  SlgTableWriter unused;  // the sets' lines are Tables()'s; only their files are laid here
  for (const UnitAnmWriter& set : UnitSets(sprite_kinds)) set.Lay(tree, unused);
  // The special attacks' pictures: the attack fixtures' four pictures of 64 x 64.
  for (const int kind : sprite_kinds) {
    tree.Write(SlgTableWriter::TreeRel("tamvik2\\" + UnitAnmWriter(kind).FileName(kAnmSpecialBg)),
               AttackFixtures(kind).File(kAnmSpecialBg));
  }
  for (const int kind : ObjectKindsBeyondOwn(object_kinds)) EventAnmWriter::LayFile(tree, kind);
  SlgTableWriter::LayWave(tree, std::string("TAMVIK2\\SE\\") + kOkFile);
  SlgTableWriter::LayWave(tree, std::string("TAMVIK2\\SE\\") + kStreamedFile);
  SlgTableWriter::LayWave(tree, std::string("TAMVIK2\\VOICE\\") + kVoiceFile);
  tree.Write(SlgTableWriter::TreeRel(std::string("tamvik2\\") + kEventFile),
             UnitAnmWriter(14).File(0));
  if (!background) return;
  // In the game-over pictures' folder, spelt as they spell it: two spellings of one folder would
  // hide one from the file layer's case-blind search.
  const auto picture =
      PictureFile({{0, 0, 0}, {0, 31, 0}},
                  {{kBackgroundWidth, kBackgroundHeight, kSprDepth8, 0,
                    std::vector<uint8_t>(kBackgroundWidth * kBackgroundHeight, 1)}});
  tree.Write("install/TaMvIk2/Bg/bBg001.Spr", picture);
  for (const int n : more_backgrounds) {
    char name[40];
    std::snprintf(name, sizeof name, "install/TaMvIk2/Bg/bBg%03d.Spr", n);
    tree.Write(name, picture);
  }
}

}  // namespace testsupport
