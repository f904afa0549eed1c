#pragma once
// Map 1 (battle map 0), the first battle: the town under attack. Its set-up plays battle music 6,
// installs the event table below and the event-animation table of kinds 80-114.
//
// Rows, in table order: 101 the opening, 102 the guided demonstration, 116 the common soldiers
// gone, 117 the boss down, 118 the victory, 119 / 120 the guide's remark on the command MAD
// (before / after 116), 1400 heroine 1's talk with a choice (from turn 5), then the generic rows
// 1500-1603.
//
// The opening's crowd (kinds 80-95 and 105-109) watches the map's object-trigger word: at 5 every
// crowd object leaves the map, and the last one to go puts the word back to 0, which ends the
// opening's hold (the hold also ends when no crowd object is deployed).
//
// The demonstration (event 102) plays the first turns itself on virtual keys and a gliding
// cursor: the acting order is rearranged from the tutorial table (heroines 1 and 3, the enemy's
// soldiers, heroine 2), and each click glides the battle pointer to a map point and presses OK
// for one frame.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle_events/map_setup.h"
#include "battle_events/maps/kit/generic_rows.h"

extern const MapSetup kMap01;

// The generic rows' description (rows 1500-1603) and its message pairs.
inline constexpr GenericTalkSet kMap01Talks{
    .falls = {{{1, {{{36, 2029}, {36, 2027}, {31, 2028}}}},
               {2, {{{81, 2051}, {81, 2049}, {81, 2050}}}},
               {3, {{{117, 2073}, {117, 2071}, {112, 2072}}}}}},
    .ref_talks = {{{30, 3338}, {75, 3339}, {111, 3340}, {}, {}, {210, 3341}}},
    .ref_talks2 = {{{30, 2024}, {75, 2046}, {110, 2068}, {}, {}, {210, 2114}}},
    .char_talks = {{{1, {{{36, 2023}, {30, 2022}, {29, 2019}, {29, 2020}, {29, 2021}}}},
                    {2, {{{81, 2045}, {75, 2044}, {74, 2041}, {75, 2042}, {74, 2043}}}},
                    {3, {{{117, 2067}, {111, 2066}, {110, 2063}, {110, 2064}, {110, 2065}}}}}},
    .favourite = {{{{0, 0}, {0, 0}, {30, 2025}, {30, 2026}, {75, 2047}, {75, 2048}, {111, 2069},
                    {111, 2070}, {156, 2093}, {156, 2094}, {210, 2115}, {210, 2116}, {138, 2138},
                    {138, 2139}}}}};
inline constexpr GenericDesc kMap01Generic{
    .talks = &kMap01Talks,
    .falls = {.base = 1500, .members = kITV | kIDV | kILN},
    .ref_talks = {.base = 1520, .members = kITV | kIDV | kILN | kITZ},
    .ref_talks2 = {.base = 1530, .members = kITV | kIDV | kILN | kITZ},
    .char_talks = {.base = 1600, .members = kITV | kIDV | kILN},
    .talk_c = "HGU(GBO,UKM,0)|HP(IKD,0);",
    .favourite_c = "NP(IMR())|HGU(GBO,UKM,0)|HP(IKD,0);"};


// Ids of the story rows.
constexpr uint16_t kMap01Opening = 101;
constexpr uint16_t kMap01Demonstration = 102;
constexpr uint16_t kMap01SoldiersGone = 116;
constexpr uint16_t kMap01BossDown = 117;
constexpr uint16_t kMap01Victory = 118;
constexpr uint16_t kMap01Heroine1Talk = 1400;

// The object-trigger word's value that sends the crowd away.
constexpr int32_t kMap01CrowdLeave = 5;
// Frames a crowd object takes to walk off, and its pace in pixels a frame.
constexpr int32_t kMap01CrowdLeaveFrames = 60;
constexpr int32_t kMap01CrowdPace = 2;
// The EventAnm of the crowd's second sprite, and its depth.
constexpr int kMap01CrowdShadowAnm = 109;
constexpr int16_t kMap01CrowdShadowDepth = -1100;

// The tutorial table: the acting order the demonstration puts first, as (group, kind): the first
// live unit of that side and kind.
struct Map01TutorialUnit {
  int group;
  int kind;
};
inline constexpr std::array<Map01TutorialUnit, 4> kMap01TutorialOrder = {
    {{0, 1}, {0, 3}, {1, 14}, {0, 2}}};
// TutorialClickUnit's point: this far right of and above the unit's screen position (pixels).
constexpr int kMap01ClickUnitDx = 0;
constexpr int kMap01ClickUnitDy = -16;
// Frames of a cursor glide.
constexpr int kMap01GlideFrames = 20;
// Frames a demonstration wait gives the player phase to reach what it waits for (a click that
// found no cell to move to, a command left waiting for a target). Then the wait ends the acting
// heroine's actions itself: a virtual Cancel every other frame backs her out of an open command
// and the command window, and from the free cursor her actions end as the window's end entry
// ends them; the demonstration goes on with the next unit. After twice this many frames the wait
// completes whatever the phase does.
constexpr int kMap01TutorialPatience = 240;

// Map 1's state in a battle (Battle().Extension<Map01State>()), made afresh for each stage.
struct Map01State {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  // The object-trigger word.
  int32_t trigger = 0;
  // The crowd's second sprite's animation list (EventAnm 109), taken by the first crowd object.
  struct SprAnm* shadow_anm = nullptr;
  // The demonstration's helpers: the step's phase, a frame count, the glide's start and target
  // (16.16 about the screen centre) and whether a virtual press waits to be cleared.
  int32_t tutorial_phase = 0;
  int32_t tutorial_count = 0;
  int32_t glide_from_x = 0;
  int32_t glide_from_y = 0;
  int32_t glide_to_x = 0;
  int32_t glide_to_y = 0;
  bool press_pending = false;
  // The boss-down event found no soldier left to fall (it skips the wait).
  bool none_fell = false;
};
Map01State& Map01();

// The demonstration's cursor helpers (each an event step: 1 once done).
// Glides the battle pointer to map point (2x, 2y) less the scroll, presses OK virtually and waits
// 60 frames.
int TutorialClickAt(int32_t x, int32_t y);
// Glides the pointer to the first unit of the kind (its screen position plus the click offset,
// clamped to the screen), waits 30 frames and presses OK. A missing unit: 1 at once.
int TutorialClickUnit(int32_t kind);
int TutorialWait(int32_t frames);
// The three waits below end as kMap01TutorialPatience says when they are not reached.
// Until the first unit of the kind is in unit state 0 or 8 (a missing unit: 1).
int TutorialUnitIdle(int32_t kind);
// That, and the player phase in its command state (17).
int TutorialPhaseReady(int32_t kind);
// Until the first unit of (group, kind) is idle, not the acting unit and the player phase not in
// its state 16.
int TutorialTurnPassed(int32_t group, int32_t kind);
// The demonstration's preparation: the acting order rearranged from the tutorial table (units
// missing from the map left out), the first made the acting unit, the player phase back to its
// free state, the move backup cleared.
void Map01PrepareTutorial();
// Clears a virtual press made on an earlier frame (called once a frame by the demonstration).
void Map01ClearPress();
