#pragma once
// Small stages for the map scripts: per map, the battle (stage) its set-up runs in, the units its
// rows and look-ups name (the party, the enemy groups and bosses by group and character), the
// event objects of its event-animation table, the messages its lists and choices name and the
// kinds whose attacks are stubbed. Data only; MakeMapHarness lays one on an event harness.
//
//   auto h = testsupport::MakeMapHarness(*kMapEventSetupTable[4], testsupport::MapStageOf(5));
//   h->Start();

#include <memory>
#include <vector>

#include "battle_events/map_setup.h"
#include "testsupport/event_harness.h"

namespace testsupport {

struct MapStageUnit {
  int side = 0;
  int character = 0;
  int kind = 0;
  int category = 0;
  int x = 0;
  int y = 0;
  int number = 0;  // its placement number; 0 keeps the harness's numbering
  bool present = true;  // made at the start (else a row of the map makes it)
  int think_row = -1;  // its thinking row (the factories' variant); -1 keeps the harness's
};

struct MapStageObject {
  int kind = 0;
  int character = 0;
  int x = 0;
  int y = 0;
  int facing = -1;  // its direction byte; -1 keeps the harness's
};

// Messages first..last; those named in `choices` are choice texts of `choice_lines` lines.
struct MapStageMessages {
  int first = 0;
  int last = 0;
  std::vector<int> choices{};
  int choice_lines = 3;
};

struct MapStage {
  int map = 0;    // 1-27
  int stage = 0;  // the battle map the set-up runs in
  int hero_x = -1;  // the hero's place; -1 keeps the install's
  int hero_y = -1;
  bool hero_present = true;
  std::vector<MapStageUnit> units{};
  std::vector<MapStageObject> objects{};
  std::vector<MapStageMessages> messages{};
  std::vector<int> stub_kinds{};
  std::vector<int> backgrounds{};  // background pictures laid besides the install's
  int install_enemy_number = 0;  // the install's own enemy's placement number; 0 keeps it
  int install_enemy_x = -1;  // the install's own enemy's place; -1 keeps the install's
  int install_enemy_y = -1;
  std::vector<int> anm_kinds{};  // event-object kinds with EventAnm rows and sprites only
  std::vector<const char*> expected_traces{};  // traces the stage is known to raise
};

// The description of that map; null when none is written.
const MapStage* FindMapStage(int map);
// The maps that have one, in order.
std::vector<int> DescribedMaps();

// The stage's battle (its stage number, hero, units, event objects, backgrounds and
// event-animation kinds) on `install`, and its messages into `messages`.
void DressMapStage(const MapStage& stage, BattleInstall& install, MessageTableWriter& messages);

// A harness of `setup` on the stage (not started).
std::unique_ptr<EventHarness> MakeMapHarness(const MapSetup& setup, const MapStage& stage);

}  // namespace testsupport
