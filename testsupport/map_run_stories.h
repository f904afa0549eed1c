#pragma once
// The story each row of the map scripts' run table (tests/battle_events/all_maps_run_test.cpp)
// gives its harness before the battle starts: the story variables, the heroines' trust, the flags
// the battle core would have set and the queued choice answers. The run table checks that its
// rows give exactly these; the story fuzz targets take them as seeds.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "testsupport/event_harness.h"

namespace testsupport {

// P[83] of each route heroine's route (index 1-6; 0 is no route) and the rows' names for them.
inline constexpr std::array<uint16_t, 7> kP83OfRoute = {0, 1, 2, 3, 5, 6, 4};
inline constexpr std::array<const char*, 7> kRouteNames = {"",         "Heroine1", "Heroine2",
                                                           "Heroine3", "Heroine4", "Heroine5",
                                                           "Heroine6"};
// Map 10's heroines' second variables (which order the talks).
inline constexpr std::array<int, 6> kMap10SecondVar = {10, 20, 30, 50, 60, 40};

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
