#pragma once
// What the map scripts of the story maps share beyond their rows: the addresses their data
// writes and loads name, the unit's show flag, runs of event kinds deployed, undeployed or
// stopped together, and the heroines' generic lines by slot (their falls, their remarks on a
// defeat and on a joint action, their turn remarks and the favourite's lines), which a map takes
// for its members and mends where its own lines differ:
//
//   constexpr GenericTalkSet kTalks = [] {
//     GenericTalkSet t = CommonTalks(kITV | kIDV | kILN | kITZ);
//     t.favourite.references[8] = {4, 2093};
//     return t;
//   }();

#include <cstdint>

#include "battle_events/maps/kit/generic_rows.h"

// The scripts' data block address of the no-op data writes (EventNopData).
inline constexpr uint32_t kNopDataAddress = 0x4f100;
// The load address of the event data files (EventLoadBin).
inline constexpr uint32_t kEventBinAddress = 0x60c0000;
// The show flag of a unit (EventSetKindFlag / EventClearKindFlag).
inline constexpr uint32_t kShowFlag = 0x80;

// Every event kind first..last deployed, undeployed, or its animation stopped (EventNopKind).
void DeployKinds(int32_t first, int32_t last);
void UndeployKinds(int32_t first, int32_t last);
void NopKinds(int32_t first, int32_t last);

// The shared lines of every slot (ITV, IDV, ILN, IYS, IBS, ITZ); IYS has none.
inline constexpr GenericTalkSet kCommonTalks{
    .falls = {{{1, {{{36, 2029}, {36, 2027}, {31, 2028}}}},
               {2, {{{81, 2051}, {81, 2049}, {76, 2050}}}},
               {3, {{{117, 2073}, {117, 2071}, {112, 2072}}}},
               {},
               {6, {{{144, 2142}, {144, 2140}, {144, 2141}}}},
               {5, {{{216, 2119}, {216, 2117}, {216, 2118}}}}}},
    .ref_talks = {{{30, 3338}, {75, 3339}, {111, 3340}, {}, {138, 2414}, {210, 3341}}},
    .ref_talks2 = {{{30, 2024}, {75, 2046}, {110, 2068}, {}, {138, 2137}, {210, 2114}}},
    .char_talks = {{{1, {{{36, 2023}, {30, 2022}, {29, 2019}, {29, 2020}, {29, 2021}}}},
                    {2, {{{81, 2045}, {75, 2044}, {74, 2041}, {75, 2042}, {74, 2043}}}},
                    {3, {{{117, 2067}, {111, 2066}, {110, 2063}, {110, 2064}, {110, 2065}}}},
                    {},
                    {6, {{{144, 2136}, {138, 2135}, {137, 2132}, {137, 2133}, {137, 2134}}}},
                    {5, {{{216, 2113}, {210, 2112}, {209, 2109}, {209, 2110}, {209, 2111}}}}}},
    .favourite = {{{{0, 0},
                    {0, 0},
                    {30, 2025},
                    {30, 2026},
                    {75, 2047},
                    {75, 2048},
                    {111, 2069},
                    {111, 2070},
                    {156, 2093},
                    {156, 2094},
                    {210, 2115},
                    {210, 2116},
                    {138, 2138},
                    {138, 2139}}}}};

// The shared lines of the slots in `members` (kITV | ...); the other slots' falls and remarks
// empty. The favourite's lines stay whole: its row picks them by the favourite's character.
constexpr GenericTalkSet CommonTalks(uint8_t members) {
  GenericTalkSet t = kCommonTalks;
  for (int s = 0; s < kGenericSlots; ++s) {
    if ((members & (1 << s)) != 0) continue;
    const auto i = static_cast<size_t>(s);
    t.falls[i] = {};
    t.ref_talks[i] = {};
    t.ref_talks2[i] = {};
    t.char_talks[i] = {};
  }
  return t;
}
