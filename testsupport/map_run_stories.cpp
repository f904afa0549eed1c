#include "testsupport/map_run_stories.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "battle_events/maps/map10.h"
#include "battle_events/maps/map12.h"
#include "battle_events/maps/map20.h"

namespace testsupport {
namespace {

using Inputs = EventHarness::Inputs;

// The values map 10's rows give its heroines' second variables (stored with the sign bit:
// 32768 + value).
Inputs Map10(std::array<int, 6> values, std::vector<int> answers) {
  Inputs in;
  for (size_t i = 0; i < values.size(); ++i) {
    in.p.emplace_back(kMap10SecondVar[i], static_cast<uint16_t>(32768 + values[i]));
  }
  in.answers = std::move(answers);
  return in;
}

Inputs Map11() {
  Inputs in{.flags = {130, 140, 150}};
  in.p.emplace_back(kMap10GoingVar[2], 1);
  for (int var : kMap10SecondVar) in.p.emplace_back(var, 32768);
  return in;
}

// The life and kiai map 12 left for map 13, heroine 4 the favourite.
Inputs Map13() {
  constexpr std::array<std::array<int, 2>, 7> kLeft = {
      {{40, 20}, {0, 9}, {900, 30}, {12, 700}, {5, 5}, {0, 0}, {20, 10}}};
  Inputs in{.trust = {{4, 90}}};
  for (size_t c = 0; c < kLeft.size(); ++c) {
    in.p.emplace_back(kMap12LifeVar[c], static_cast<uint16_t>(kLeft[c][0]));
    in.p.emplace_back(kMap12KiaiVar[c], static_cast<uint16_t>(kLeft[c][1]));
  }
  return in;
}

Inputs Map21(uint16_t p80, std::vector<int> answers) {
  return {.p = {{80, p80}}, .trust = {{4, 20}}, .answers = std::move(answers)};
}

Inputs Map09Favourite() {
  Inputs in{.answers = {2}};
  for (int hero = 1; hero <= 6; ++hero) in.trust.emplace_back(hero, hero == 3 ? 40 : 20);
  return in;
}

std::vector<MapRunStory> Make() {
  const Inputs map05{.trust = {{3, 30}}, .flags = {100, 101, 110, 111, 112, 113, 114}};
  std::vector<MapRunStory> rows = {
      {"Map02Lost", 2, {.flags = {100, 101, 102, 98, 198}}},
      {"Map02Won", 2, {.flags = {100, 101, 102, 98, 103, 107}}},
      {"Map03CrossesTheLine", 3, {.flags = {98, 105, 106}, .answers = {2}}},
      {"Map05WonByHeroine3", 5, map05},
      {"Map05WonByHeroine1", 5, map05},
      {"Map06KeepsHeroine4", 6, {.trust = {{4, 40}}, .answers = {1}}},
      {"Map06PartsHeroines4And1", 6, {.trust = {{4, 40}}, .answers = {2}}},
      {"Map09NoInput", 9, {}},
      {"Map09SecondAnswerRewardsTheFavourite", 9, Map09Favourite()},
      {"Map10FirstAnswersStay", 10, Map10({40, 50, 50, 10, 60, 0}, {1, 1, 1})},
      {"Map10SecondAnswersGo", 10, Map10({40, 50, 50, 10, 60, 0}, {2, 2, 2})},
      {"Map12Escape", 12, {.flags = {99, 102, 103}}},
      {"Map16Allowance1Lost", 16, {.p = {{82, 1}}}},
      {"Map16Allowance2Lost", 16, {.p = {{82, 2}}}},
      {"Map16AllowanceOtherLost", 16, {.p = {{82, 3}}}},
      {"Map16Won", 16, {.p = {{82, 1}}}},
      {"Map21Opening1GoesWithTheHero", 21, Map21(0, {1})},
      {"Map21Opening2GoesWithTheHero", 21, Map21(1, {1})},
      {"Map21ComesRound", 21, Map21(0, {2, 2})},
      {"Map21TurnsBack", 21, Map21(0, {2, 1})},
      {"Map21Silent", 21, Map21(1, {3})},
      {"Map19FirstVisit", 19, {.p = {{83, 2}, {73, 0}}, .answers = {1}}},
      {"Map19ReturnVisit", 19, {.p = {{83, 1}, {73, 1}}}},
      {"Map27ArrivalMenuGateWon", 27, {.answers = {2}}},
      {"Map01OfferTimedOutWon", 1, {}},
      {"Map14OpeningBossMusicWon", 14, {}},
      {"Map04CarrierWon", 4, {.flags = {99, 100, 104}}},
      {"Map08CommanderFallsWon", 8, {.flags = {101, 102}}},
      {"Map11TargetsThenTheFinale", 11, Map11()},
      {"Map15ClosingLinesWithoutPartner2", 15, {.p = {{83, 2}}}},
      {"Map17BossGoneWon", 17, {.flags = {120, 130, 140, 150, 155, 160}}},
      {"Map20BossThresholdsWon", 20, {.p = {{kMap20PartnerVar, 1}}}},
      {"Map22OpeningToTheMovieVictory", 22, {.trust = {{5, 40}, {3, 40}, {1, 10}}}},
      {"Map13RestoredPartyWon", 13, Map13()},
      {"Map07SoldiersGoneWon", 7, {.flags = {97, 98, 99, 100, 101}}},
      {"Map01Answer1DemonstrationWon", 1, {.trust = {{3, 20}}, .answers = {1}}},
      {"Map01Answer2DemonstrationWon", 1, {.trust = {{3, 20}}, .answers = {2}}},
      {"Map01Answer3DeclinedWon", 1, {.trust = {{3, 20}}, .answers = {3}}},
      {"Map01Heroine1TalkTimedOutWon", 1, {.trust = {{1, 20}}, .answers = {3}}},
      {"Map01Heroine1TalkAnswer1Won", 1, {.trust = {{1, 20}}, .answers = {3, 1}}},
      {"Map01Heroine1TalkAnswer2Won", 1, {.trust = {{1, 20}}, .answers = {3, 2}}},
      {"Map01Heroine1TalkAnswer3Won", 1, {.trust = {{1, 20}}, .answers = {3, 3}}},
      {"Map15RouteNone", 15, {.p = {{83, 0}}}},
      {"Map15RouteHeroine1", 15, {.p = {{83, 1}}}},
      {"Map15RouteHeroine3", 15, {.p = {{83, 3}}}},
      {"Map15RouteHeroine4", 15, {.p = {{83, 5}}}},
      {"Map15RouteHeroine5", 15, {.p = {{83, 6}}}},
      {"Map15RouteHeroine6", 15, {.p = {{83, 4}}}},
      {"Map07OpeningsHeroine2LeadsWon", 7, {.trust = {{2, 40}, {6, 20}}}},
      {"Map07OpeningsHeroine6LeadsWon", 7, {.trust = {{2, 20}, {6, 40}}}},
      {"Map07OpeningsNoLeaderWon", 7, {.trust = {{2, 10}, {6, 10}}}},
      {"Map08OpeningsWeakenedLowTrustWon", 8, {.p = {{81, 1}}, .trust = {{1, 24}}}},
      {"Map08OpeningsHalvedWon", 8, {.p = {{81, 0}}, .trust = {{1, 25}}}},
  };
  // The final battle's maps, each route heroine 1-6 by P[83] of her route.
  for (const int map : {18, 23, 24, 25, 26}) {
    for (int route = 1; route <= 6; ++route) {
      rows.push_back({"Map" + std::to_string(map) + "Route" + kRouteNames[static_cast<size_t>(route)], map,
                      {.p = {{83, kP83OfRoute[static_cast<size_t>(route)]}}}});
    }
  }
  return rows;
}

}  // namespace

const std::vector<MapRunStory>& MapRunStories() {
  static const std::vector<MapRunStory> rows = Make();
  return rows;
}

const MapRunStory* FindMapRunStory(const std::string& name) {
  const std::vector<MapRunStory>& rows = MapRunStories();
  const auto it = std::find_if(rows.begin(), rows.end(),
                               [&name](const MapRunStory& r) { return r.name == name; });
  return it == rows.end() ? nullptr : &*it;
}

}  // namespace testsupport
