#include "testsupport/battle_install.h"

#include <cstdio>

#include "battle/slg_tables.h"
#include "testsupport/game_over_pictures.h"
#include "testsupport/script_writer.h"
#include "testsupport/spr_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/unit_anm_writer.h"

namespace testsupport {

namespace {

constexpr int kAttackBody = 5;
constexpr int kAttackEffect = 6;
constexpr int kDeadEffect = 21;
constexpr int kAbilityEffect = 22;
constexpr const char* kOkFile = "ok.wav";
constexpr const char* kStreamedFile = "hit.wav";
constexpr const char* kVoiceFile = "v001.wav";
constexpr const char* kEventFile = "event0.spr";
constexpr int kInstallKinds[] = {0, 14};

// The sprite sets of the two kinds in play: base (body, effect) and attack (body, effect).
std::vector<UnitAnmWriter> UnitSets() {
  std::vector<UnitAnmWriter> sets;
  for (const int kind : kInstallKinds) {
    UnitAnmWriter set(kind);
    set.Slot(kAttackBody).Slot(kAttackEffect).Slot(kDeadEffect).Slot(kAbilityEffect);
    sets.push_back(set);
  }
  return sets;
}

}  // namespace

BattleInstall::BattleInstall(Form form) : form(form), stage(MinimalStage()) {}

void BattleInstall::HeroineInsteadOfEnemy() {
  StageUnitEntry& u = stage.units[1];
  u.side = 0;
  u.character = 1;
  stage.classes[u.class_index] = {1, 0, 0, 0};
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
  const std::vector<UnitAnmWriter> sets = UnitSets();
  for (size_t i = 0; i < sets.size(); ++i) {
    const auto kind = static_cast<size_t>(kInstallKinds[i]);
    for (const int slot : {0, 4, kAttackBody, kAttackEffect, kDeadEffect, kAbilityEffect}) {
      tables.UnitAnm(kSlgUnitIdNames[kind], kSlgAnmSlotNames[static_cast<size_t>(slot)],
                     sets[i].FileName(slot));
    }
  }
  tables.EventAnm(stage.map, kEventNpc, kEventFile);
  return tables;
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
  for (const UnitAnmWriter& set : UnitSets()) set.Lay(tree, unused);
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
