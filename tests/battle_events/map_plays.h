#pragma once
// The moments that play maps to their ends on their small stages (testsupport/map_stages.h),
// shared by the run table of single maps and the chain table of maps played in one battle.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_boss_exit.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/maps/map10.h"
#include "battle_events/maps/map12.h"
#include "testsupport/event_harness.h"
#include "testsupport/map_run_stories.h"
#include "testsupport/map_stages.h"

namespace map_plays {

using testsupport::EventHarness;

inline void Flags(EventHarness& h, std::initializer_list<int> flags) {
  for (int f : flags) h.SetFlagAtInstall(f);
}

// Map 10's heroines' second variables (which order the talks).
using testsupport::kMap10SecondVar;
inline std::function<void(EventHarness&)> Map10Before(std::array<int, 6> values,
                                               std::vector<int> answers) {
  return [values, answers](EventHarness& h) {
    for (size_t i = 0; i < values.size(); ++i) {
      h.SetP(kMap10SecondVar[i], static_cast<uint16_t>(32768 + values[i]));
    }
    for (int line : answers) h.AnswerChoice(line);
  };
}
inline std::function<void()> Map10Going(std::vector<int> going) {
  return [going] {
    for (int heroine = 1; heroine <= 6; ++heroine) {
      const bool goes = std::count(going.begin(), going.end(), heroine) == 1;
      EXPECT_EQ(SlgGetMacroP(kMap10GoingVar[static_cast<size_t>(heroine - 1)]), goes ? 1 : 0)
          << "heroine " << heroine;
    }
  };
}

// Map 12's escape: after the opening each of the party is given life 10 + c and kiai 30 + c,
// all cross the line through (1200, 480) and the hero acts.
inline void Map12Escape(EventHarness& h) {
  ASSERT_TRUE(h.RunUntilIdle(6000));
  for (int c = 0; c <= 6; ++c) {
    SlgUnit* u = h.Unit(0, c);
    ASSERT_NE(u, nullptr);
    u->stats.life = static_cast<int16_t>(10 + c);
    u->stats.kiai = static_cast<uint16_t>(30 + c);
    h.MoveTo(0, c, 1500, 420 + 16 * c);
  }
  h.RunFrames(2);
  h.Act(0, 0);
}

// Map 27: after the arrival and the menu the boss acts; heroine 4 on the marked cell acts and
// opens the gate; the boss beaten and the core's flag 198.
inline void Map27Play(EventHarness& h) {
  ASSERT_TRUE(h.RunUntilIdle(3000));
  h.Act(2, 24);
  ASSERT_TRUE(h.RunUntilIdle(4000));
  const SlgPoint mark = CellToPosHeight(1584, 792);
  h.MoveTo(0, 4, mark.x, mark.y);
  h.Act(0, 4);
  ASSERT_TRUE(h.RunUntilIdle(4000));
  h.SetLife(2, 24, 0);
  h.BeginTurn();
  h.RunFrames(2);
  SetEventFlag(kSlgFlagBossGone);
}

// Map 21: both openings (P[80] 0 and 1) make the cast; the talks' flag 125 (both lines heard);
// the cast placed around character 4 (the hero and character 1 on opposite sides) and the hero
// acting starts the scene with `answers` queued. Character 4's trust starts at 20.
inline std::function<void(EventHarness&)> Map21Before(uint16_t p80, std::vector<int> answers) {
  return [p80, answers](EventHarness& h) {
    h.SetP(80, p80);
    h.SetTrust(4, 20);
    h.SetRandom({0xFFFF});  // R(25) fails: no chance lines
    h.AddMovie(0, 14, 0.1);
    for (int a : answers) h.AnswerChoice(a);
  };
}
inline void Map21Scene(EventHarness& h) {
  ASSERT_TRUE(h.RunUntilIdle(3000));
  SetEventFlag(125);
  const SlgPoint four = SnapPosToCell(624, 600);
  h.MoveTo(0, 4, four.x, four.y);
  h.MoveTo(0, 0, four.x - 48, four.y + 24);
  h.MoveTo(0, 1, four.x + 48, four.y - 24);
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.Act(0, 0);
}

// Map 11: heroine 3 sent on by map 10, the rows before the targets done; the three factories
// destroyed by heroine 3 (byte 3), 9 (index 1) and 0 in turn, then the finale. The heroines'
// second variables hold 0 (stored with the sign bit).
inline void Map11Before(EventHarness& h) {
  Flags(h, {130, 140, 150});
  h.SetP(kMap10GoingVar[2], 1);
  for (int var : kMap10SecondVar) h.SetP(var, 32768);
}
inline void Map11Play(EventHarness& h) {
  ASSERT_TRUE(h.RunUntilIdle(600));
  // The row takes the byte when it starts and clears all three flags when it ends.
  const std::pair<int, uint8_t> steps[] = {{427, 3}, {429, 9}, {428, 0}};
  for (const auto& [flag, byte] : steps) {
    Battle().factory_destroyer = byte;
    SetEventFlag(static_cast<uint32_t>(flag));
    ASSERT_TRUE(h.RunUntil("the flags cleared", [] {
      return CheckEventFlag(427) + CheckEventFlag(428) + CheckEventFlag(429) == 0;
    }, 600));
  }
}

// Map 20: the boss's life (maximum 1000) from full to 20 % (the 25 % scene), then 0; the
// victory removes the summons and plays the movie.
inline void Map20BossAt(int percent) {
  SlgUnit* boss = LiveUnitOfKind(33);
  ASSERT_NE(boss, nullptr);
  boss->stats.max_life = 1000;
  boss->stats.life = static_cast<int16_t>(10 * percent);
}
inline void Map20Play(EventHarness& h) {
  Map20BossAt(100);
  ASSERT_TRUE(h.RunUntilIdle(6000));
  Map20BossAt(20);
  ASSERT_TRUE(h.RunUntil("20150", [&] { return h.FrameOf("end 20150") >= 0; }, 6000));
  Map20BossAt(0);
}

// Map 22: trusts 5: 40, 3: 40, 1: 10 (the order 5, 3, 1, 6, 4, 2); the first boss defeated
// leaves through its exit sequence, the second wave and the gathering, then the second boss at
// life 0 and the victory with its movie.
inline void Map22Defeat(EventHarness& h, int character) {
  SlgUnit* boss = h.Unit(2, character);
  ASSERT_NE(boss, nullptr) << character;
  boss->stats.life = 0;
  SetUnitState(*boss, 15);
  h.RunFrames(1);
}
inline void Map22Before(EventHarness& h) {
  h.SetTrust(5, 40);
  h.SetTrust(3, 40);
  h.SetTrust(1, 10);
  h.SetRandom({0xFFFF});
  h.AddMovie(0, 21, 0.5);
}
inline void Map22Play(EventHarness& h) {
  ASSERT_TRUE(h.RunUntilIdle(4000));
  Map22Defeat(h, 26);
  ASSERT_TRUE(h.RunUntil("22160 ended", [&] {
    return CheckEventFlag(160) != 0 && h.FrameOf("end 22160") >= 0;
  }, 8000));
  ASSERT_TRUE(h.RunUntilIdle(2000));
  Map22Defeat(h, 27);
}

// Map 13 on the life and kiai map 12 left (heroines 1 and 5 without life); the party's maxima
// 80 and 50; the first turn restores the party, then every enemy of group 1 is taken off.
// Heroine 4 is the favourite.
inline constexpr std::array<std::array<int, 2>, 7> kMap13Left = {
    {{40, 20}, {0, 9}, {900, 30}, {12, 700}, {5, 5}, {0, 0}, {20, 10}}};
inline void Map13Before(EventHarness& h) {
  for (size_t c = 0; c < kMap13Left.size(); ++c) {
    h.SetP(kMap12LifeVar[c], static_cast<uint16_t>(kMap13Left[c][0]));
    h.SetP(kMap12KiaiVar[c], static_cast<uint16_t>(kMap13Left[c][1]));
  }
  h.SetTrust(4, 90);
}
inline void Map13Play(EventHarness& h) {
  for (int c = 0; c <= 6; ++c) {
    if (SlgUnit* u = FindUnitByGroupKind(0, c); u != nullptr) {
      u->stats.max_life = 80;
      u->stats.max_kiai = 50;
    }
  }
  h.BeginTurn();
  ASSERT_TRUE(h.RunUntilIdle(3000));
  testsupport::RemoveLiveUnitsOfSide(1);
}

}  // namespace map_plays
