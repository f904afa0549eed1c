#pragma once
// The story each row of the map scripts' run table (tests/battle_events/all_maps_run_test.cpp)
// gives its harness before the battle starts: the story variables, the heroines' trust, the flags
// the battle core would have set and the queued choice answers. The run table checks that its
// rows give exactly these; the story fuzz targets take them as seeds.

#include <string>
#include <vector>

#include "testsupport/event_harness.h"

namespace testsupport {

struct MapRunStory {
  std::string name;  // the run row's name
  int map = 0;       // 1-27
  EventHarness::Inputs inputs;
};

// One entry per run row, in the table's order.
const std::vector<MapRunStory>& MapRunStories();
// The entry of that row; null when none.
const MapRunStory* FindMapRunStory(const std::string& name);

}  // namespace testsupport
