#pragma once
// The generic rows maps 12 and 13 share: the heroines' falls (500-505), their remarks on a
// defeat (520-525) and on a joint action (530-535), each remark guarded by its own id, the
// favourite's row (610) and the turn talks (611-616, numbered by heroine), with the faces of
// these two maps.

#include <array>
#include <cstddef>
#include <utility>

#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/generic_rows.h"

// The heroines' lines of maps 12 and 13 (their own faces), by slot ITV IDV ILN IYS IBS ITZ.
inline constexpr GenericTalkSet kMap12Talks{
    .falls = {{{1, {{{63, 2029}, {63, 2027}, {58, 2028}}}},
               {2, {{{72, 2051}, {72, 2049}, {67, 2050}}}},
               {3, {{{108, 2073}, {108, 2071}, {103, 2072}}}},
               {4, {{{153, 2097}, {153, 2095}, {153, 2096}}}},
               {6, {{{135, 2142}, {135, 2140}, {135, 2141}}}},
               {5, {{{207, 2119}, {207, 2117}, {207, 2118}}}}}},
    .ref_talks = {{{57, 3338}, {66, 3339}, {102, 3340}, {147, 3342}, {129, 2414}, {201, 3341}}},
    .ref_talks2 = {{{57, 2024}, {66, 2046}, {102, 2068}, {147, 2092}, {129, 2137}, {201, 2114}}},
    .char_talks = {{{1, {{{63, 2023}, {57, 2022}, {56, 2019}, {56, 2020}, {56, 2021}}}},
                    {2, {{{72, 2045}, {66, 2044}, {65, 2041}, {66, 2042}, {65, 2043}}}},
                    {3, {{{108, 2067}, {102, 2066}, {101, 2063}, {101, 2064}, {101, 2065}}}},
                    {4, {{{150, 2091}, {147, 2090}, {146, 2087}, {146, 2088}, {146, 2089}}}},
                    {6, {{{135, 2136}, {129, 2134}, {128, 2132}, {128, 2133}, {128, 2134}}}},
                    {5, {{{207, 2113}, {201, 2112}, {200, 2109}, {200, 2110}, {200, 2111}}}}}},
    .favourite = {{{{65535, 0},
                    {65535, 0},
                    {57, 2025},
                    {57, 2026},
                    {66, 2047},
                    {66, 2048},
                    {102, 2069},
                    {102, 2070},
                    {147, 2093},
                    {147, 2094},
                    {201, 2115},
                    {201, 2116},
                    {129, 2138},
                    {129, 2139}}}}};

constexpr uint8_t kMap12All = kITV | kIDV | kILN | kIYS | kIBS | kITZ;
inline constexpr GenericDesc kMap12Generic{.talks = &kMap12Talks,
                               .falls = {.base = 500, .members = kMap12All},
                               .ref_talks = {.base = 520, .members = kMap12All},
                               .ref_talks2 = {.base = 530, .members = kMap12All},
                               .char_talks = {.base = 610, .members = kMap12All},
                               .favourite_chance = 10,
                               .favourite_c = "NP(IMR());"};

// The remarks (520-535) are each guarded by their own id; the turn talks are numbered by heroine.
constexpr auto Map12GenericRows() {
  return TurnTalksByHeroine(GuardedByOwnId(GenericRows<kMap12Generic>(), 520, 535));
}
