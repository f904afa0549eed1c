#include "testsupport/map_stages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_unit.h"
#include "testsupport/lips_files.h"

namespace testsupport {
namespace {

std::vector<MapStageUnit> Party(std::initializer_list<int> heroines, int x0, int dx, int y0,
                                int dy) {
  std::vector<MapStageUnit> units;
  for (int c : heroines) {
    units.push_back({.side = 0, .character = c, .kind = c, .category = 0, .x = x0 + dx * c,
                     .y = y0 + dy * c});
  }
  return units;
}

// The same units, made later by the map's rows rather than at the start.
std::vector<MapStageUnit> Later(std::vector<MapStageUnit> units) {
  for (MapStageUnit& u : units) u.present = false;
  return units;
}

std::vector<MapStageObject> Objects(int first, int last, int x, int y) {
  std::vector<MapStageObject> objects;
  for (int kind = first; kind <= last; ++kind) objects.push_back({kind, 0, x, y});
  return objects;
}

template <typename T>
std::vector<T> Join(std::vector<T> a, const std::vector<T>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<MapStageMessages> Singles(std::initializer_list<int> ids) {
  std::vector<MapStageMessages> out;
  for (int id : ids) out.push_back({id, id});
  return out;
}

// Map 2 (stage 1): heroines 1, 2, 3, 5; the guides (kind 14 numbers 1 and 3), the companion
// (kind 21), a kind-38 unit, all of group 1; the boss (kind 22, group 2); the fixed sprite's
// animation (kind 105).
MapStage Map02() {
  MapStage s{.map = 2, .stage = 1};
  s.units = Party({1, 2, 3, 5}, 96, 48, 288, 0);
  s.units.push_back({1, 10, 14, 1, 480, 336, 1});
  s.units.push_back({1, 11, 14, 1, 528, 360, 3});
  s.units.push_back({1, 21, 21, 1, 432, 192});
  s.units.push_back({2, 24, 22, 1, 528, 192});
  s.units.push_back({1, 38, 38, 1, 576, 240});
  s.objects = {{105, 0, 496, 312}};
  s.messages = Join({{2000, 2140}, {3013, 3027}, {20000, 20140, {20101, 20122}, 3}},
                    Singles({301, 302, 3338, 3339, 3340, 3341, 15000, 15001, 15002}));
  s.stub_kinds = {21, 22, 38};
  return s;
}

// Map 3 (stage 2): the hero at (1100, 1000) and heroines 1, 2, 3, 5, 6 on the near side of the
// victory line; the two guides (kind 14 numbers 1 and 2), soldiers of kinds 15 and 16, the boss
// (kind 23, group 2, character 9); the event objects 80-108 (character bytes kind & 3).
MapStage Map03() {
  MapStage s{.map = 3, .stage = 2, .hero_x = 1100, .hero_y = 1000};
  s.units = Party({1, 2, 3, 5, 6}, 1100, 48, 1000, 0);
  s.units.push_back({1, 10, 14, 1, 912, 1680, 1});
  s.units.push_back({1, 11, 14, 1, 1056, 1176, 2});
  s.units.push_back({1, 12, 15, 1, 432, 192});
  s.units.push_back({1, 13, 16, 1, 576, 240});
  s.units.push_back({2, 9, 23, 1, 528, 192});
  for (int kind = 80; kind <= 108; ++kind) s.objects.push_back({kind, kind & 3, 320, 120});
  s.messages = Join({{2000, 2160}, {30000, 30100, {30020}, 2}, {30101, 30101, {30101}, 4}, {30102, 30120}},
                    Singles({2414, 3030, 3031, 3032, 3033, 3034, 3338, 3339, 3340, 3341, 3345}));
  s.stub_kinds = {14, 15, 16, 23};
  return s;
}

// Map 5 (stage 4): heroines 1, 2, 3, 5, 6; the opponent (group 2, character 9), the boss (kind
// 23, group 2, character 10), two soldiers; the event objects 80-96.
MapStage Map05() {
  MapStage s{.map = 5, .stage = 4};
  s.units = Party({1, 2, 3, 5, 6}, 400, 48, 600, 0);
  s.units.push_back({2, 9, 15, 1, 700, 760});
  s.units.push_back({2, 10, 23, 1, 900, 500});
  s.units.push_back({1, 11, 14, 1, 600, 400});
  s.units.push_back({1, 12, 14, 1, 648, 424});
  s.objects = Objects(80, 96, 320, 120);
  s.messages = Join({{2000, 2160}, {50000, 50015}},
                    Singles({439, 440, 2414, 3338, 3339, 3340, 3341, 3342, 35000, 35001, 35002,
                             60020}));
  s.stub_kinds = {14, 15, 23};
  return s;
}

// Map 6 (stage 5): heroines 1-6; kind-14 soldiers numbers 1-9, kind 16 numbers 10-13, kind 15
// number 14, the commander (kind 24, group 2); the event objects 80-114 (odd kinds character
// byte 1; the falling parts 101 and 102 above where they land).
MapStage Map06() {
  MapStage s{.map = 6, .stage = 5, .hero_x = 384, .hero_y = 768};
  s.units = Party({1, 2, 3, 4, 5, 6}, 192, 48, 864, 0);
  for (int n = 1; n <= 9; ++n) s.units.push_back({1, 30 + n, 14, 1, 1200 + 48 * (n % 3), 400 + 48 * (n / 3), n});
  for (int n = 10; n <= 13; ++n) s.units.push_back({1, 30 + n, 16, 1, 1500, 300 + 48 * (n - 10), n});
  s.units.push_back({1, 44, 15, 1, 1600, 300, 14});
  s.units.push_back({2, 24, 24, 1, 1400, 200});
  for (int kind = 80; kind <= 114; ++kind) {
    s.objects.push_back({kind, kind & 1, 1300, kind == 101 || kind == 102 ? 600 : 300});
  }
  s.messages = Join({{2000, 2160}, {10000, 10340, {10060}, 2},
                     {60000, 60280, {60130, 60131, 60132}, 3}},
                    Singles({2414, 3037, 3038, 3339, 3340, 3341, 3346}));
  s.stub_kinds = {0, 1, 2, 3, 4, 5, 6, 14, 15, 16, 24};
  return s;
}

// Map 10 (stage 9): the hero and heroines 1-6 in a row going down to the left; the figures of
// kinds 80-94 above the hero.
MapStage Map10() {
  MapStage s{.map = 10, .stage = 9, .hero_x = 1100, .hero_y = 1000};
  s.units = Party({1, 2, 3, 4, 5, 6}, 1100, -48, 1000, 24);
  s.objects = Objects(80, 94, 1100, 904);
  s.messages = Join({{10000, 10070}, {20000, 20005, {20000, 20001, 20002, 20003, 20004, 20005}, 3}},
                    Singles({3000, 3088, 3090, 3095, 3096, 3097, 3098, 3099, 3100}));
  return s;
}

// Map 9 (stage 8): heroines 1-6; the soldiers of kind 14 (group 1, placement numbers 1-28: the
// install's own enemy is the first), the newcomer (80), the shells (81, bytes 1-10), the arrivals
// (82, 83) and the particles' animations (84, 85); the bombardment's background picture 8.
MapStage Map09() {
  MapStage s{.map = 9, .stage = 8};
  s.units = Party({1, 2, 3, 4, 5, 6}, 400, 48, 600, 0);
  s.install_enemy_number = 1;
  for (int n = 2; n <= 28; ++n) {
    s.units.push_back({1, 10 + n, 14, 1, 480 + 48 * (n % 7), 200 + 24 * (n / 7), n});
  }
  s.objects = {{80, 0, 560, 400}};
  for (int n = 1; n <= 10; ++n) s.objects.push_back({81, n, 480 + 48 * (n % 7), 200 + 24 * (n / 7)});
  for (int kind = 82; kind <= 85; ++kind) s.objects.push_back({kind, 0, 600, 420});
  s.messages = {{3068, 3089}, {10000, 10035}, {10110, 10110, {10110}, 3}};
  s.stub_kinds = {14};
  s.backgrounds = {8};
  return s;
}

// Map 12 (stage 11): the hero at (1100, 600), heroines 1-6, four guards of kind 17 (characters
// 10-13) on the player's side, one enemy; the event objects 80-94 (the vanishing figures 87-90
// with character bytes 0-3).
MapStage Map12() {
  MapStage s{.map = 12, .stage = 11, .hero_x = 1100, .hero_y = 600};
  s.units = Party({1, 2, 3, 4, 5, 6}, 600, 48, 600, 0);
  for (int g = 0; g < 4; ++g) s.units.push_back({0, 10 + g, 17, 0, 700 + 48 * g, 800});
  s.units.push_back({1, 20, 14, 1, 300, 300});
  for (int kind = 80; kind <= 94; ++kind) {
    s.objects.push_back({kind, kind >= 87 && kind <= 90 ? kind - 87 : 0, 900 + 16 * (kind - 80), 500});
  }
  s.messages = Join({{2000, 2160}, {10000, 10050}, {15000, 15005}},
                    Singles({2414, 3146, 3147, 3148, 3149, 3338, 3339, 3340, 3341, 3342}));
  s.stub_kinds = {0, 1, 2, 3, 4, 5, 6, 17, 14};
  return s;
}

// Map 16 (stage 15): the hero at (600, 600) and heroines 1-6 in a row going down to the left; the
// gate-breakers (kinds 17, 18, 19 of group 1, characters 40-42) away from the gates; the boss
// (kind 29, group 2, character 18); the opening's and the gates' pictures. The stage holds no
// NPC files.
MapStage Map16() {
  MapStage s{.map = 16, .stage = 15, .hero_x = 600, .hero_y = 600};
  s.units = Party({1, 2, 3, 4, 5, 6}, 600, -48, 600, 24);
  for (int i = 0; i < 3; ++i) s.units.push_back({1, 40 + i, 17 + i, 1, 200 + 96 * i, 300});
  s.units.push_back({2, 18, 29, 1, 1300, 400});
  s.messages = Join({{10000, 10084}, {60010, 60010, {60010}, 3}},
                    Singles({186, 672, 2024, 2046, 2068, 2092, 2114, 2137, 2414, 3171, 3338, 3339,
                             3340, 3341, 3342, 20000, 20010, 20015, 20020, 60000, 60020, 60030,
                             60040, 60050, 60060, 60070, 60080, 60090}));
  s.stub_kinds = {17, 18, 19, 20, 29};
  s.backgrounds = {108, 244, 245, 246, 247, 248, 249};
  s.expected_traces = {"NPCID:"};
  return s;
}

// Map 21 (stage 20): the hero and characters 1 and 4 (kinds 0, 1, 4), whom the openings make;
// a second enemy (a battle of one unit is lost at once); the event objects 80-96 with a character
// byte apart from the cast's.
MapStage Map21() {
  MapStage s{.map = 21, .stage = 20, .hero_x = 200, .hero_y = 900, .hero_present = false};
  for (int c : {1, 4}) {
    s.units.push_back({.side = 0, .character = c, .kind = c, .category = 0, .x = 200 + 100 * c,
                       .y = 900, .present = false});
  }
  s.units.push_back({1, 31, 14, 1, 1000, 1200});
  for (int kind = 80; kind <= 96; ++kind) s.objects.push_back({kind, 20, 700, 300});
  s.messages = {{10000, 10300, {10135, 10225}, 3}};
  s.stub_kinds = {0, 1, 4, 14};
  return s;
}

// Map 19 (stage 18): the hero and heroines 1-6 as kinds 8-13; the second boss's guard (kinds
// 48-50, group 1), the kind-31 boss (group 2, character 16) and the kind-32 boss (group 2,
// character 11), none made at the start; the event objects 80-111 and the fixed sprites'
// animations 112-114. The stage has no file for the event pictures the map asks for.
MapStage Map19() {
  MapStage s{.map = 19, .stage = 18, .hero_x = 520, .hero_y = 1080};
  for (int c = 1; c <= 6; ++c) s.units.push_back({0, c, c + 7, 0, 400 + 48 * c, 1000});
  for (int kind = 48; kind <= 50; ++kind) {
    s.units.push_back({.side = 1, .character = kind, .kind = kind, .category = 1,
                       .x = 900 + 48 * (kind - 48), .y = 700, .present = false});
  }
  s.units.push_back({.side = 2, .character = 16, .kind = 31, .category = 1, .x = 600, .y = 1200,
                     .present = false});
  s.units.push_back({.side = 2, .character = 11, .kind = 32, .category = 1, .x = 800, .y = 1200,
                     .present = false});
  s.objects = Objects(80, 111, 700, 1100);
  s.anm_kinds = {112, 113, 114};
  s.messages = {{1398, 1406}, {2000, 2160}, {20000, 20015}};
  for (int id = 10010; id <= 10870; id += 10) {
    const bool choice = id == 10020 || id == 10200 || id == 10370;
    s.messages.push_back({id, id, choice ? std::vector<int>{id} : std::vector<int>{}, 3});
  }
  for (int id = 12100; id <= 12450; id += 10) s.messages.push_back({id, id});
  s.messages = Join(s.messages,
                    Singles({2414, 3272, 3273, 3274, 3275, 3276, 3277, 3338, 3339, 3340, 3341,
                             3342, 3348, 1467, 1468, 1469, 1470, 1471, 3278, 3279, 3281, 3282,
                             3283, 3285, 3292, 3293, 3294, 3295, 3296, 3300, 3302, 3303, 3304,
                             3305, 3306, 3307, 3309, 3311, 3312, 3316, 3349, 12000, 12010, 12020,
                             12030, 12040, 12050, 12070, 12081, 12082, 12083, 12084, 12085, 12086,
                             12126, 12151, 12152, 12153, 12154, 12155, 13000, 13010, 14000, 14010,
                             14020, 14030, 14050}));
  s.messages.push_back({12090, 12090, {12090}, 3});
  s.messages.push_back({14040, 14040, {14040}, 3});
  s.stub_kinds = {0, 8, 9, 10, 11, 12, 13, 31, 32, 48, 49, 50};
  s.expected_traces = {"File Not Found"};
  return s;
}

// Map 27 (stage 26): the hero at (384, 768) and heroines 1-6, soldiers of side 1 (characters
// 31-36, kind 14), the boss (kind 24, group 2, character 24); the event objects 80-95.
MapStage Map27() {
  MapStage s{.map = 27, .stage = 26, .hero_x = 384, .hero_y = 768};
  s.units = Party({1, 2, 3, 4, 5, 6}, 192, 48, 864, 0);
  for (int n = 1; n <= 6; ++n) s.units.push_back({1, 30 + n, 14, 1, 1200 + 48 * (n % 3), 400 + 48 * (n / 3)});
  s.units.push_back({2, 24, 24, 1, 1400, 200});
  s.objects = Objects(80, 95, 1300, 300);
  s.messages = Join({{2000, 2160}, {10130, 10340}, {60000, 60280, {60130, 60131, 60132}, 3}},
                    Singles({586, 587, 2414, 3004, 3038, 3338, 3339, 3340, 3341, 3342, 35000,
                             35001, 35002, 35004, 40000}));
  s.stub_kinds = {0, 1, 2, 3, 4, 5, 6, 14, 24};
  return s;
}

// Map 18 (stage 17): the hero and heroines 1-6 as kinds 8-13; one enemy of group 1 (kind 14);
// the boss (kind 28, group 2, character 17) placed later; the event objects 80-91 (88 and 90
// with character bytes 0-2). The stage has no file for the event pictures the map asks for.
MapStage Map18() {
  MapStage s{.map = 18, .stage = 17, .hero_x = 1000, .hero_y = 800};
  for (int c = 1; c <= 6; ++c) s.units.push_back({0, c, c + 7, 0, 900 + 48 * c, 900});
  s.units.push_back({1, 20, 14, 1, 300, 300});
  s.units.push_back({.side = 2, .character = 17, .kind = 28, .category = 1, .x = 1200, .y = 700,
                     .present = false});
  for (int kind = 80; kind <= 91; ++kind) {
    const int copies = kind == 88 || kind == 90 ? 3 : 1;
    for (int n = 0; n < copies; ++n) s.objects.push_back({kind, n, 1300 + 16 * n, 600});
  }
  s.messages = Join({{2000, 2160}, {10000, 10180}, {20000, 20065}},
                    Singles({1377, 1378, 1379, 1380, 2414, 3193, 3194, 3195, 3196, 3197, 3198,
                             3200, 3338, 3339, 3340, 3341, 3342, 5000, 30000}));
  s.stub_kinds = {0, 8, 9, 10, 11, 12, 13, 14, 28};
  s.expected_traces = {"File Not Found"};
  return s;
}

// The final battle's maps (23-26): the hero at (hero_x, hero_y) and heroines 1-6 as kinds 8-13
// in a row at y = heroines_y.
MapStage FinalMap(int map, int hero_x, int hero_y, int heroines_y) {
  MapStage s{.map = map, .stage = map - 1, .hero_x = hero_x, .hero_y = hero_y};
  for (int c = 1; c <= 6; ++c) s.units.push_back({0, c, c + 7, 0, 300 + 48 * c, heroines_y});
  s.stub_kinds = {0, 8, 9, 10, 11, 12, 13};
  return s;
}

// Map 23 (stage 22): the guard (kind 29, group 1) placed later, the group-2 walker (character
// 48, kind 31), the event objects 80-91 (80 and 86 with sub-numbers 0-2, 82 and 88 with 0-1) and
// the drift's animation row (92); the pictures 238, 239 and 300.
MapStage Map23() {
  MapStage s = FinalMap(23, 400, 600, 700);
  s.units.push_back({.side = 1, .character = 20, .kind = 29, .category = 1, .x = 900, .y = 420,
                     .present = false});
  s.units.push_back({2, 48, 31, 1, 1100, 500});
  for (int kind = 80; kind <= 91; ++kind) {
    const int copies = kind == 80 || kind == 86 ? 3 : kind == 82 || kind == 88 ? 2 : 1;
    for (int n = 0; n < copies; ++n) s.objects.push_back({kind, n, 900 + 48 * (kind - 80), 400 + 16 * n});
  }
  s.objects.push_back({92, 0, 320, 120});
  s.backgrounds = {238, 239, 300};
  s.messages = Join({{3200, 3224}}, Singles({10000, 10010, 10020, 10030, 10040, 10050, 20000,
                                             20010, 20020, 40100, 40200}));
  s.stub_kinds.insert(s.stub_kinds.end(), {29, 31});
  return s;
}

// Map 24 (stage 23): the three attackers (group 1, characters 0-2, kinds 17, 19, 18) placed
// later; the event objects 80-88 at the aim point and the fixed sprites' row (89); the pictures
// 238, 241 and 300.
MapStage Map24() {
  MapStage s = FinalMap(24, 400, 600, 700);
  const int groups[3][3] = {{17, 644, 588}, {19, 548, 588}, {18, 548, 492}};
  for (int c = 0; c < 3; ++c) {
    s.units.push_back({.side = 1, .character = c, .kind = groups[c][0], .category = 1,
                       .x = groups[c][1], .y = groups[c][2], .present = false});
  }
  s.objects = Objects(80, 88, 740, 468);
  s.objects.push_back({89, 0, 320, 120});
  s.backgrounds = {238, 241, 300};
  s.messages = Singles({3000, 3005, 3197, 3200, 3208, 3209, 3210, 3211, 40000, 40001, 40100,
                        40200});
  s.messages.push_back({3224, 3237});
  for (int id = 10000; id <= 10160; id += 5) s.messages.push_back({id, id});
  for (int id = 20000; id <= 20100; id += 10) s.messages.push_back({id, id});
  s.stub_kinds.insert(s.stub_kinds.end(), {17, 18, 19});
  return s;
}

// Map 25 (stage 24): the boss (kind 30, group 1) placed later; the event objects 80-83; the
// pictures 238, 240 and 300.
MapStage Map25() {
  MapStage s = FinalMap(25, 400, 700, 760);
  s.units.push_back({.side = 1, .character = 20, .kind = 30, .category = 1, .x = 1000, .y = 420,
                     .present = false});
  for (int kind = 80; kind <= 83; ++kind) s.objects.push_back({kind, 0, 1000 + 48 * (kind - 80), 400});
  s.backgrounds = {238, 240, 300};
  s.messages = Singles({3200, 3208, 3209, 3211, 3239, 3240, 3241, 3243, 3244, 3253, 3254, 10000,
                        10002, 10010, 10020, 10030, 10035, 10036, 10040, 10050, 10060, 20000,
                        20010, 20020, 40020, 40030, 40040, 40050, 40060, 40070, 40080, 40200,
                        45000, 45020});
  s.stub_kinds.push_back(30);
  return s;
}

// Map 26 (stage 25): the boss (kind 30, group 1) placed later, the escort (group 2, character
// 48, kind 31); the event objects 80-84; the pictures 238, 243 and 300.
MapStage Map26() {
  MapStage s = FinalMap(26, 400, 600, 700);
  s.units.push_back({.side = 1, .character = 20, .kind = 30, .category = 1, .x = 1000, .y = 360,
                     .present = false});
  s.units.push_back({2, 48, 31, 1, 1100, 500});
  for (int kind = 80; kind <= 84; ++kind) s.objects.push_back({kind, 0, 900 + 48 * (kind - 80), 400});
  s.backgrounds = {238, 243, 300};
  s.messages = Singles({3209, 3223, 3226, 3240, 3245, 3246, 3247, 3253, 3254, 10000, 10010, 10020,
                        10030, 10040, 10050, 10060, 10070, 10080, 20000, 30000, 30010, 30020,
                        30030, 30040, 30050, 30060, 45110, 45120, 45140, 45150});
  s.stub_kinds.insert(s.stub_kinds.end(), {30, 31});
  return s;
}

// Map 1 (stage 0): the hero and the install's soldier (kind 14, number 1); heroines 1-3 and 5,
// four more of kind 14 (numbers 2-5: the guides are 3 and 5), the boss (kind 20, group 2); one
// event object of each of the opening's roles (two substitutes of kind 100); the offer of the
// demonstration and heroine 1's question as choices of three lines.
MapStage Map01() {
  MapStage s{.map = 1, .stage = 0};
  for (int c = 1; c <= 3; ++c) s.units.push_back({0, c, c, 0, 160 + 32 * c, 320});
  s.units.push_back({0, 5, 5, 0, 160, 352});
  for (int n = 0; n < 4; ++n) s.units.push_back({1, 21 + n, 14, 1, 448 + 32 * n, 160 + 32 * (n % 2)});
  s.units.push_back({2, 20, 20, 1, 576, 224});
  for (int kind : {81, 80, 96, 100, 101, 105, 110, 111, 112, 113}) {
    s.objects.push_back({kind, 0, 64 + 12 * (kind - 80), 96});
    if (kind == 100) s.objects.push_back({kind, 1, 96, 128});
  }
  s.messages = {{20005, 20005, {20005}, 3}, {60030, 60030, {60030}, 3}};
  s.stub_kinds = {0, 1, 2, 3, 5, 14, 20};
  return s;
}

// Map 14 (stage 13): heroines 1-6 as kinds 8-13, the boss (kind 28, group 2, character 30), one
// enemy of group 1; the event objects 80-95 (95 with character byte 1).
MapStage Map14() {
  MapStage s{.map = 14, .stage = 13};
  for (int c = 1; c <= 6; ++c) s.units.push_back({0, c, c + 7, 0, 600 + 48 * c, 600});
  s.units.push_back({2, 30, 28, 1, 1200, 400});
  s.units.push_back({1, 20, 14, 1, 300, 300});
  for (int kind = 80; kind <= 95; ++kind) s.objects.push_back({kind, kind == 95 ? 1 : 0, 900, 500});
  s.messages = Join({{2000, 2160}, {3150, 3170}, {10000, 10030}, {15000, 15005},
                     {60010, 60010, {60010}, 3}},
                    Singles({1169, 1170, 2414, 3338, 3339, 3340, 3341, 3342, 60000, 60020, 60030,
                             60040, 60050, 60060, 60070, 60080, 60090}));
  s.stub_kinds = {0, 8, 9, 10, 11, 12, 13, 28, 14};
  s.expected_traces = {"map 14"};
  return s;
}

// Map 4 (stage 3): the hero at (500, 1000), heroines 1, 2, 5, 6 beside him and the scout
// (heroine 3) near the start of her walk; soldiers of kind 14 numbers 1-6 along her way, the
// reinforcements (numbers 7, 27 of kind 14, 8 of kind 15, 12 of kind 16) not present at the
// start, the opponent (group 2, character 9, kind 17), the commander (kind 23); the event
// objects 80-100 and the animations of the particles and the wind (101, 102).
MapStage Map04() {
  MapStage s{.map = 4, .stage = 3, .hero_x = 500, .hero_y = 1000};
  for (int c : {1, 2, 5, 6}) s.units.push_back({0, c, c, 0, 500 + 96 * c, 1000});
  s.units.push_back({0, 3, 3, 0, 528, 792});
  const int soldiers[6][2] = {{816, 648}, {1056, 528}, {1296, 432}, {1392, 432}, {1296, 480}, {1392, 480}};
  for (int n = 0; n < 6; ++n) s.units.push_back({1, 10 + n, 14, 1, soldiers[n][0], soldiers[n][1], n + 1});
  const int later[4][4] = {{14, 7, 384, 1488}, {14, 27, 480, 1488}, {15, 8, 384, 1536}, {16, 12, 480, 1536}};
  for (const auto& l : later) s.units.push_back({1, 20 + l[1], l[0], 1, l[2], l[3], l[1], false});
  s.units.push_back({2, 9, 17, 1, 1200, 456});
  s.units.push_back({1, 30, 23, 1, 1488, 384});
  s.objects = Objects(80, 102, 320, 120);
  s.messages = Join({{2000, 2160}, {40000, 40041}}, Singles({2414, 3337, 3338, 3339, 3341}));
  s.stub_kinds = {3, 14, 15, 16, 17, 23};
  return s;
}

// Map 7 (stage 6): the hero at (152, 960), the install's soldier (kind 14, number 1) at (336,
// 528), heroines 1-6 below both lines, soldiers 2 and 3 of kind 14, the hidden kind-34 soldiers
// 17-26 (17 and 18 on the map), the commander (kind 25, group 2, character 8) on the map; the
// event objects 80-92 (the falling parts 80 and 81 above where they land).
MapStage Map07() {
  MapStage s{.map = 7, .stage = 6, .hero_x = 152, .hero_y = 960};
  s.install_enemy_number = 1;
  s.install_enemy_x = 336;
  s.install_enemy_y = 528;
  for (int c = 1; c <= 6; ++c) s.units.push_back({0, c, c, 0, 152 + 48 * c, 960 + 24 * (c % 2)});
  s.units.push_back({1, 22, 14, 1, 240, 720, 2});
  s.units.push_back({1, 23, 14, 1, 432, 720, 3});
  for (int n = 17; n <= 26; ++n) s.units.push_back({1, 20 + n, 34, 1, 1200 + 48 * (n % 4), 1400, n, n <= 18});
  s.units.push_back({2, 8, 25, 1, 1000, 300});
  for (int kind = 80; kind <= 92; ++kind) s.objects.push_back({kind, 0, 812, kind <= 81 ? 400 : 408});
  s.messages = Join({{2000, 2160}, {3030, 3350}, {10000, 10120, {10047}, 2}, {35000, 35007}},
                    Singles({670, 671, 672, 2414, 60000, 60010}));
  s.stub_kinds = {0, 1, 2, 3, 4, 5, 6, 14, 34, 25};
  s.expected_traces = {"map 7: long move"};
  return s;
}

// Map 8 (stage 7): the hero at (240, 1296) and heroines 1-6 apart along the row, none on a
// switch; soldiers of kind 34 numbers 1-4, the commander (kind 25, group 2, character 9); the
// event objects 80-87.
MapStage Map08() {
  MapStage s{.map = 8, .stage = 7, .hero_x = 240, .hero_y = 1296};
  s.units = Party({1, 2, 3, 4, 5, 6}, 240, 192, 1296, 0);
  for (int n = 1; n <= 4; ++n) s.units.push_back({1, 10 + n, 34, 1, 240 + 192 * n, 1584, n});
  s.units.push_back({2, 9, 25, 1, 1200, 1584});
  s.objects = Objects(80, 87, 320, 120);
  s.messages = Join({{2000, 2160}, {3000, 3070}, {10000, 10050}, {10110, 10110, {10110}, 3}},
                    Singles({186, 672, 2414, 3338, 3339, 3340, 3341, 3342, 10200, 15000, 15001,
                             15002, 60000, 60010, 60020, 60030}));
  s.stub_kinds = {0, 1, 2, 3, 4, 5, 6, 34, 25};
  return s;
}

// Map 11 (stage 10): the hero at (1200, 600); heroines 1-6 whose entries the placement makes;
// entries up to 12 of kind 14 not made at the start (the factories produce from 10-12), one
// kind-15 soldier, three factories (kind 43, category 4, variants 0-2 by thinking row); the
// event objects 80-94.
MapStage Map11() {
  MapStage s{.map = 11, .stage = 10, .hero_x = 1200, .hero_y = 600};
  s.units = Later(Party({1, 2, 3, 4, 5, 6}, 200, 48, 900, 0));
  for (int n = 8; n < 13; ++n) {
    s.units.push_back({.side = 1, .character = 20, .kind = 14, .category = 1, .x = 400, .y = 500,
                       .present = false});
  }
  s.units.push_back({1, 21, 15, 1, 480, 400});
  for (int v = 0; v < 3; ++v) {
    s.units.push_back({.side = 1, .character = 30 + v, .kind = 43, .category = 4,
                       .x = 600 + 96 * v, .y = 300, .think_row = v});
  }
  s.objects = Objects(80, 94, 1000, 700);
  s.messages = Join({{2000, 2160}, {10000, 10070}},
                    Singles({2414, 3094, 3338, 3339, 3340, 3341, 3342, 20000}));
  s.stub_kinds = {0, 1, 2, 3, 4, 5, 6, 14, 15, 43};
  s.expected_traces = {"no placement cell"};
  return s;
}

// Map 15 (stage 14): heroines 1-6 as kinds 8-13, the boss (kind 18, group 2, character 18); the
// event objects 80-86 (character bytes 0-6).
MapStage Map15() {
  MapStage s{.map = 15, .stage = 14};
  for (int c = 1; c <= 6; ++c) s.units.push_back({0, c, c + 7, 0, 600 + 48 * c, 600});
  s.units.push_back({2, 18, 18, 1, 1100, 500});
  for (int kind = 80; kind <= 86; ++kind) s.objects.push_back({kind, kind - 80, 900, 500});
  s.messages = Join({{2000, 2160}, {3150, 3170}, {10000, 10030}, {15000, 15005},
                     {60010, 60010, {60010}, 3}},
                    Singles({1169, 1170, 2414, 3338, 3339, 3340, 3341, 3342, 60000, 60020, 60030,
                             60040, 60050, 60060, 60070, 60080, 60090}));
  return s;
}

// Map 17 (stage 16): the hero at (384, 768) and heroines 1-6 as kinds 8-13, the boss (kind 30,
// group 2, character 30); the event objects 80-109.
MapStage Map17() {
  MapStage s{.map = 17, .stage = 16, .hero_x = 384, .hero_y = 768};
  for (int c = 1; c <= 6; ++c) s.units.push_back({0, c, c + 7, 0, 192 + 48 * c, 864});
  s.units.push_back({2, 30, 30, 1, 1400, 200});
  s.objects = Objects(80, 109, 1300, 300);
  s.messages = Join({{60010, 60010, {60010}, 3}},
                    Singles({3163, 3173, 3175, 3177, 3179, 3180, 3182, 3183, 3184, 3185, 3186,
                             3187, 10000, 10001, 10002, 10003, 10004, 10006, 10007, 10009, 10010,
                             10011, 10012, 10013, 10014, 10015, 60000, 60020, 60030, 60040,
                             60050}));
  s.stub_kinds = {7, 8, 9, 10, 11, 12, 13, 30};
  return s;
}

// Map 20 (stage 19): the hero at (1000, 800) and heroines 1-6 as kinds 8-13, the boss (kind 33,
// group 2, character 15), the two summoned units (kinds 48 and 49, group 2); the event objects
// 80-94 and the boss tasks' animations 95-100. The stage has no file for the event pictures the
// map asks for.
MapStage Map20() {
  MapStage s{.map = 20, .stage = 19, .hero_x = 1000, .hero_y = 800};
  for (int c = 1; c <= 6; ++c) s.units.push_back({0, c, c + 7, 0, 900 + 48 * c, 900});
  s.units.push_back({2, 15, 33, 1, 1500, 400});
  s.units.push_back({2, 30, 48, 1, 1300, 300});
  s.units.push_back({2, 31, 49, 1, 1350, 300});
  for (int kind = 80; kind <= 100; ++kind) {
    s.objects.push_back({kind, kind >= 87 && kind <= 93 ? kind - 87 : 0, 1300 + 8 * (kind - 80), 600});
  }
  s.messages = Join({{2000, 2160}, {3352, 3362}},
                    Singles({2414, 3163, 3338, 3339, 3340, 3341, 3342, 40000, 40010, 10010, 10020,
                             10030, 10040, 10050, 10060, 10070, 10080}));
  s.stub_kinds = {0, 8, 9, 10, 11, 12, 13, 33, 48, 49};
  s.expected_traces = {"File Not Found"};
  return s;
}

// Map 22 (stage 21): the hero at (768, 480), heroines 1-6 whose entries the scenes make, the
// first boss (kind 26, group 2), the second (kind 27, group 2, character 27) and kind 35 numbers
// 17-24 (group 1) made by the second wave, one enemy of group 1, the unit the merging object
// flies to (group 2, character 7); the event objects 80-104 (the figures 97-103 with direction
// bytes 0-6, the victory figure 104 with 1).
MapStage Map22() {
  MapStage s{.map = 22, .stage = 21, .hero_x = 768, .hero_y = 480};
  s.units = Later(Party({1, 2, 3, 4, 5, 6}, 192, 48, 900, 0));
  s.units.push_back({2, 26, 26, 1, 1400, 200});
  s.units.push_back({.side = 2, .character = 27, .kind = 27, .category = 1, .x = 1300, .y = 300,
                     .present = false});
  for (int n = 17; n <= 24; ++n) s.units.push_back({1, 40 + n, 35, 1, 900 + 24 * n, 200, n, false});
  s.units.push_back({1, 40, 14, 1, 1500, 700});
  s.units.push_back({2, 7, 14, 1, 1000, 360});
  for (int kind = 80; kind <= 104; ++kind) {
    const int facing = kind >= 97 && kind <= 103 ? kind - 97 : kind == 104 ? 1 : -1;
    s.objects.push_back({kind, 0, 1200, 300, facing});
  }
  s.messages = Join({{3101, 3145}, {10000, 10023}},
                    Singles({10100, 2143, 2144, 2147, 2246, 2414, 3027, 3338, 3339, 3340, 3341,
                             3342}));
  s.stub_kinds = {0, 1, 2, 3, 4, 5, 6, 14, 26, 27, 35};
  s.expected_traces = {"no placement entry"};
  return s;
}

// Map 13 (stage 12): the hero at (1100, 600), heroines 1-6, one enemy of group 1 (kind 14).
MapStage Map13() {
  MapStage s{.map = 13, .stage = 12, .hero_x = 1100, .hero_y = 600};
  s.units = Party({1, 2, 3, 4, 5, 6}, 600, 48, 600, 0);
  s.units.push_back({1, 20, 14, 1, 300, 300});
  s.messages = Join({{2000, 2160}, {10000, 10050}, {15000, 15005}},
                    Singles({2414, 3146, 3147, 3148, 3149, 3338, 3339, 3340, 3341, 3342}));
  s.stub_kinds = {0, 1, 2, 3, 4, 5, 6, 14};
  return s;
}

const std::vector<MapStage>& Stages() {
  static const std::vector<MapStage> stages = {Map02(), Map03(), Map05(), Map06(), Map09(), Map10(),
                                               Map12(), Map16(), Map18(), Map19(), Map21(), Map23(),
                                               Map24(),
                                               Map25(), Map26(), Map27(), Map01(), Map14(),
                                               Map04(), Map07(), Map08(), Map11(), Map15(),
                                               Map17(), Map20(), Map22(), Map13()};
  return stages;
}

}  // namespace

const MapStage* FindMapStage(int map) {
  for (const MapStage& s : Stages()) {
    if (s.map == map) return &s;
  }
  return nullptr;
}

std::vector<int> DescribedMaps() {
  std::vector<int> maps;
  for (const MapStage& s : Stages()) maps.push_back(s.map);
  std::sort(maps.begin(), maps.end());
  return maps;
}

std::unique_ptr<EventHarness> MakeMapHarness(const MapSetup& setup, const MapStage& stage,
                                             EventHarness::Options options) {
  options.stage = stage.stage;
  auto h = std::make_unique<EventHarness>(setup, options);
  LayMapStage(*h, stage);
  return h;
}

void LayMapStage(EventHarness& h, const MapStage& stage) {
  DressMapStage(stage, h.install, h.messages);
  h.ExpectTrace("UID:");  // the dressed install has sprite rows for the hero's kind only
  for (const char* trace : stage.expected_traces) h.ExpectTrace(trace);
  for (int kind : stage.stub_kinds) h.StubAttacks({kind});
}

int StageEntryOf(const EventHarness& h, int side, int character) {
  const StageWriter& s = h.install.stage;
  for (int n = 0; n < s.header.num_unit; ++n) {
    const StageUnitEntry& e = s.units[static_cast<size_t>(n)];
    if (s.classes[e.class_index].category != 3 && e.side == side && e.character == character) {
      return n;
    }
  }
  return -1;
}

void DressMapStage(const MapStage& stage, BattleInstall& install, MessageTableWriter& messages) {
  for (const MapStageMessages& m : stage.messages) {
    for (int id = m.first; id <= m.last; ++id) {
      const bool choice = std::find(m.choices.begin(), m.choices.end(), id) != m.choices.end();
      messages.Add({.id = static_cast<uint16_t>(id),
                    .voice_word = 0,
                    .lip = "",
                    .text = choice ? ChoiceText(m.choice_lines, 4) : std::string("AB")});
    }
  }
  install.stage.map = stage.stage;
  if (stage.hero_x >= 0) {
    install.stage.units[0].x = static_cast<int16_t>(stage.hero_x);
    install.stage.units[0].y = static_cast<int16_t>(stage.hero_y);
  }
  install.stage.units[0].present = stage.hero_present ? 1 : 0;
  install.more_backgrounds = stage.backgrounds;
  if (stage.install_enemy_number != 0) {
    install.stage.units[1].placement_number = static_cast<uint8_t>(stage.install_enemy_number);
  }
  if (stage.install_enemy_x >= 0) {
    install.stage.units[1].x = static_cast<int16_t>(stage.install_enemy_x);
    install.stage.units[1].y = static_cast<int16_t>(stage.install_enemy_y);
  }
  for (const MapStageUnit& u : stage.units) {
    const int e = install.AddUnit(u.side, u.character, u.kind, u.category, u.x, u.y);
    install.stage.units[static_cast<size_t>(e)].present = u.present ? 1 : 0;
    if (u.number != 0) {
      install.stage.units[static_cast<size_t>(e)].placement_number =
          static_cast<uint8_t>(u.number);
    }
    if (u.think_row >= 0) {
      install.stage.units[static_cast<size_t>(e)].think_row = static_cast<uint8_t>(u.think_row);
    }
  }
  for (const MapStageObject& o : stage.objects) {
    const int e = install.AddObject(o.kind, o.character, o.x, o.y);
    if (o.facing >= 0) {
      install.stage.units[static_cast<size_t>(e)].facing = static_cast<uint8_t>(o.facing);
    }
  }
  for (int kind : stage.anm_kinds) install.object_kinds.push_back(kind);
}

std::unique_ptr<EventHarness> MakeMapChainHarness(const std::vector<int>& maps,
                                                  const BattleRig::Options& rig) {
  const MapStage* first = maps.empty() ? nullptr : FindMapStage(maps[0]);
  if (first == nullptr) {
    ADD_FAILURE() << "a chain must start on a described map";
    return nullptr;
  }
  EventHarness::Options options;
  options.rig = rig;
  auto h = MakeMapHarness(*kMapEventSetupTable[static_cast<size_t>(maps[0] - 1)], *first, options);
  for (size_t i = 1; i < maps.size(); ++i) {
    const MapStage* stage = FindMapStage(maps[i]);
    const MapSetup* setup = kMapEventSetupTable[static_cast<size_t>(maps[i] - 1)];
    if (stage == nullptr || setup == nullptr) {
      ADD_FAILURE() << "map " << maps[i] << " has no stage or set-up to chain";
      continue;
    }
    BattleInstall install;
    MessageTableWriter messages;
    DressMapStage(*stage, install, messages);
    h->AddChainStage(*setup, install, messages);
    for (const char* trace : stage->expected_traces) h->ExpectTrace(trace);
    for (int kind : stage->stub_kinds) h->StubAttacks({kind});
  }
  return h;
}

void RemoveLiveUnitsOfSide(int side) {
  SlgBattleState& s = Battle().state;
  for (int i = 0; i < s.unit_count && i < kSlgMaxUnits; ++i) {
    SlgUnit& u = s.units[static_cast<size_t>(i)];
    if (u.side == side && SlgUnitLive(u)) EventRemoveUnit(&u);
  }
}

}  // namespace testsupport
