#pragma once
// The map-script toolkit's own test map, written as a map script is: an opening as a step
// sequence and a heroine's fall from the generic-row builder, joined into one table, with an
// event-animation table for the opening's prop (kind 80). The event harness runs it from the
// battle's start to idle (tests/battle_events/map_kit_harness_test.cpp), and the table lint checks
// it with the maps' own rows.
//
// Its battle needs the messages AddKitTestMessages writes and a placement entry of kind 80
// (EventHarness::AddObject).

#include <cstdint>

#include "battle_events/map_setup.h"

namespace testsupport {

class MessageTableWriter;

constexpr uint16_t kKitOpeningId = 101;
constexpr uint16_t kKitFallId = 1500;
// The opening's sound effect and music, and its prop's kind.
constexpr int kKitOpeningSe = 40;
constexpr int kKitOpeningBgm = 3;
constexpr int kKitPropKind = 80;

extern const MapSetup kKitTestMap;

// The messages its rows show.
void AddKitTestMessages(MessageTableWriter& messages);

}  // namespace testsupport
