#pragma once
// StandardTalkPairs: the heroines' generic message pairs most story maps list alike, for all six
// slots (ITV, IDV, ILN, IYS, IBS, ITZ): a fall's three lines by trust, the remark on a defeat and
// on a joint action, the five turn remarks, and the favourite's two lines by character 0-6. A
// map takes the set and mends the pairs its own table writes otherwise:
//
//   constexpr GenericTalkSet kTalks = [] {
//     GenericTalkSet t = StandardTalkPairs();
//     t.ref_talks[2] = {102, 3340};  // heroine 3's remark with her other face
//     return t;
//   }();
//   constexpr GenericDesc kGeneric{.talks = &kTalks, ...};

#include "battle_events/maps/kit/generic_rows.h"

constexpr GenericTalkSet StandardTalkPairs() {
  return GenericTalkSet{
      .falls = {{{1, {{{36, 2029}, {36, 2027}, {31, 2028}}}},
                 {2, {{{81, 2051}, {81, 2049}, {76, 2050}}}},
                 {3, {{{117, 2073}, {117, 2071}, {112, 2072}}}},
                 {4, {{{162, 2097}, {162, 2095}, {162, 2096}}}},
                 {6, {{{144, 2142}, {144, 2140}, {144, 2141}}}},
                 {5, {{{216, 2119}, {216, 2117}, {216, 2118}}}}}},
      .ref_talks = {{{30, 3338}, {75, 3339}, {111, 3340}, {156, 3342}, {138, 2414}, {210, 3341}}},
      .ref_talks2 = {{{30, 2024}, {75, 2046}, {111, 2068}, {156, 2092}, {138, 2137}, {210, 2114}}},
      .char_talks = {{{1, {{{36, 2023}, {30, 2022}, {29, 2019}, {29, 2020}, {29, 2021}}}},
                      {2, {{{81, 2045}, {75, 2044}, {74, 2041}, {75, 2042}, {74, 2043}}}},
                      {3, {{{117, 2067}, {111, 2066}, {110, 2063}, {110, 2064}, {110, 2065}}}},
                      {4, {{{159, 2091}, {156, 2090}, {155, 2087}, {155, 2088}, {155, 2089}}}},
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
}
