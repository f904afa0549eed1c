#include "testsupport/map_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_objects_state.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/event_units.h"
#include "engine/input/dinput.h"
#include "program/game_wiring.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_rig.h"
#include "testsupport/map_stages.h"
#include "testsupport/script_writer.h"
#include "testsupport/story_map.h"
#include "testsupport/temp_tree.h"

namespace testsupport {
namespace {

ProgramMapEvents* g_current = nullptr;

// The lines of a table's text (each ended by CR LF).
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find("\r\n", at);
    lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 2;
  }
  return lines;
}

}  // namespace

void LayMapStages(GameTree& tree, std::initializer_list<int> maps) {
  SlgTableWriter tables;
  std::vector<std::string> seen[SlgTableWriter::kTableCount];
  for (const int map : maps) {
    const MapStage* stage = FindMapStage(map);
    if (stage == nullptr) {
      ADD_FAILURE() << "map " << map << " has no stage description";
      continue;
    }
    BattleInstall install;
    MessageTableWriter messages;
    DressMapStage(*stage, install, messages);
    for (const MapStageUnit& u : stage->units) {
      auto& kinds = install.sprite_kinds;
      if (std::find(kinds.begin(), kinds.end(), u.kind) == kinds.end()) kinds.push_back(u.kind);
    }
    install.stage.face_conv.fill(1);  // every event face opens internal face 0
    install.Lay(tree);
    tree.Write(SlgMessageRel(install.stage.map), messages.Bytes());
    const SlgTableWriter own = install.Tables();
    for (int t = 0; t < SlgTableWriter::kTableCount; ++t) {
      const auto table = static_cast<SlgTableWriter::Table>(t);
      for (const std::string& line : Lines(own.Text(table))) {
        std::vector<std::string>& lines = seen[t];
        if (std::find(lines.begin(), lines.end(), line) != lines.end()) continue;
        lines.push_back(line);
        tables.Raw(table, line);
      }
    }
  }
  tables.Lay(tree);
  LayEventFaces(tree);
}

ProgramMapEvents::ProgramMapEvents(BattleRig& rig) : rig_(rig), recorder_(rig.driver()) {
  if (g_current != nullptr) ADD_FAILURE() << "two program map event scopes at once";
  g_current = this;
  for (const BattleInstaller installer : BattleExtensionInstallers()) {
    installers_.push_back(std::make_unique<ScopedBattleInstaller>(installer));
  }
  installers_.push_back(std::make_unique<ScopedBattleInstaller>(&Observe));
  recorder_.Attach(rig_.battle());
}

ProgramMapEvents::~ProgramMapEvents() {
  recorder_.Detach(rig_.battle());
  rig_.battle().Extension<SlgEventCheckState>().observer = nullptr;
  installers_.clear();
  g_current = nullptr;
}

void ProgramMapEvents::Observe(BattleContext& battle) {
  battle.Extension<SlgEventCheckState>().observer = [](const SlgEventEntry& row,
                                                       SlgEventMoment moment) {
    if (g_current == nullptr) return;
    g_current->notes_.push_back({row.id, moment, g_current->rig_.frame()});
  };
}

void MapProgramPlayer::BeforeFrame() {
  if (!HasBattle() || !script_.Ready()) return;
  if (Battle().message.wait_state == 1) {
    script_.Press(kGameKey0);
  } else if (!script_.AnswerGameOver(give_up)) {
    script_.EndHeroTurn();
  }
}

bool HerosTurn() {
  const SlgUnit* acting = BattleScript::ActingUnit();
  return acting != nullptr && acting->kind == 0 && Battle().state.round >= 1;
}

}  // namespace testsupport
