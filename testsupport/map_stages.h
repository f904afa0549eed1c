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

// A harness of `setup` on the stage (not started); `options` give the rest (the stage's battle
// map replaces theirs).
std::unique_ptr<EventHarness> MakeMapHarness(const MapSetup& setup, const MapStage& stage,
                                             EventHarness::Options options = {});

// Lays the stage on a harness made for its battle map (before the start): DressMapStage on its
// install and messages, the stage's known traces expected and its kinds' attacks stubbed.
void LayMapStage(EventHarness& h, const MapStage& stage);

// The install's entry of the first unit (not an event object) of that side and character; -1
// when there is none. Tests change an entry (its presence, its place) before the start.
int StageEntryOf(const EventHarness& h, int side, int character);

// The stage written into an install (its battle map, placement entries, event objects and
// pictures) and its messages into a battle message file.
void DressMapStage(const MapStage& stage, BattleInstall& install, MessageTableWriter& messages);

// A chain of maps played in one battle through the real stage switch: a harness of the first
// map's real set-up on its stage (as MakeMapHarness), with each later map's stage laid in the same
// install and its real set-up in its stage's row (EventHarness::AddChainStage); every stage's
// known traces expected and its kinds' attacks stubbed; `rig` the battle rig's options. Null (the
// test failed) when a map has no description.
//
//   auto h = testsupport::MakeMapChainHarness({12, 13});
//   h->Start();  // map 12's stage; its switch to stage 12 starts map 13's set-up on it
std::unique_ptr<EventHarness> MakeMapChainHarness(const std::vector<int>& maps,
                                                  const BattleRig::Options& rig = {});

// Every live unit of that side removed, as a map's rows remove units.
void RemoveLiveUnitsOfSide(int side);

}  // namespace testsupport
