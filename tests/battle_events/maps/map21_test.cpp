// Map 21's event script in real battles on the event harness: the table, the two openings by
// P[80], the lines of the units next to character 4, the decisive scene's turning frame by frame,
// its choices (the movie and the switch to stage 26, the penalty once, the silence) and a missing
// movie.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/event_units.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/map21.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "game/system_data.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::EventHarness;

constexpr int kStage = 20;
constexpr int kMad = 18;
// R(25) fails with this draw and passes with 0.
constexpr int32_t kNoChance = 0xFFFF;
constexpr const char* kSwitch = "task Slg::_exchangeStageNofade";

// The cast: the hero, character 1 and character 4.
constexpr int kHero = 0;
constexpr int kOne = 1;
constexpr int kFour = 4;

struct BattleOptions {
  // The openings run and make the cast; else flags 105 and 106 are set at the install and the
  // cast stands on the map from the start.
  bool openings = false;
  std::vector<int> flags{};  // more flags set at the install
};

// Map 21's battle on its small stage (stage 20): the hero and characters 1 and 4 (kinds 0, 1, 4),
// two enemies, the event objects 80-96; the attacks stubbed, R(25) failing.
std::unique_ptr<EventHarness> MakeBattle(const BattleOptions& o = {}) {
  testsupport::MapStage stage = *testsupport::FindMapStage(21);
  stage.hero_present = !o.openings;
  for (testsupport::MapStageUnit& u : stage.units) {
    if (u.side == 0) u.present = !o.openings;
  }
  auto h = testsupport::MakeMapHarness(kMap21Setup, stage);
  h->SetRandom({kNoChance});
  if (!o.openings) {
    h->SetFlagAtInstall(105);
    h->SetFlagAtInstall(106);
  }
  for (int f : o.flags) h->SetFlagAtInstall(f);
  return h;
}

size_t Count(const EventHarness& h, const std::string& what) {
  const auto r = h.Records(what);
  return static_cast<size_t>(std::count(r.begin(), r.end(), what));
}
int LastFrameOf(const EventHarness& h, const std::string& what) {
  int frame = -1;
  for (const auto& r : h.records()) {
    if (r.what == what) frame = r.frame;
  }
  return frame;
}
// The frames of the records that start with `prefix`, in order.
std::vector<int> FramesOf(const EventHarness& h, const std::string& prefix) {
  std::vector<int> frames;
  for (const auto& r : h.records()) {
    if (r.what.rfind(prefix, 0) == 0) frames.push_back(r.frame);
  }
  return frames;
}

// Character 4's cell, and the cell next to a point in direction d (the codes of the facing).
SlgPoint FourAt() { return SnapPosToCell(624, 600); }
SlgPoint Beside(SlgPoint p, int d) {
  static constexpr int kDx[4] = {48, 48, -48, -48};
  static constexpr int kDy[4] = {-24, 24, 24, -24};
  return {p.x + kDx[d], p.y + kDy[d]};
}
// The cast on the map: character 4 on her cell, the others next to her in directions `hero` and
// `one` from her (-1: far away).
void Place(EventHarness& h, int hero, int one) {
  const SlgPoint p = FourAt();
  h.MoveTo(0, kFour, p.x, p.y);
  const SlgPoint hero_at = hero < 0 ? SnapPosToCell(200, 1000) : Beside(p, hero);
  const SlgPoint one_at = one < 0 ? SnapPosToCell(300, 1100) : Beside(p, one);
  h.MoveTo(0, kHero, hero_at.x, hero_at.y);
  h.MoveTo(0, kOne, one_at.x, one_at.y);
}
// The hero and character 1 on opposite sides of character 4, the hero's direction toward her
// `a` (so character 1's is a + 2).
void PlaceOpposite(EventHarness& h, int a) { Place(h, (a + 2) % 4, a); }

// ---- The table ----

TEST(Map21Table, ItsRowsAreCleanAndInTheMapsOrder) {
  EXPECT_TRUE(testsupport::LintMapSetup(kStage, kMap21Setup).empty());
  EXPECT_EQ(kMapEventSetupTable[kStage], &kMap21Setup);
  EXPECT_EQ(kMap21Setup.bgm, MapBgm::Play(12));
  std::vector<int> ids;
  for (const SlgEventEntry* row = kMap21Setup.table; row->handler != nullptr; ++row) {
    ids.push_back(row->id);
  }
  EXPECT_EQ(ids, (std::vector<int>{21105, 21106, 21110, 21115, 21125, 21127, 21128, 21130, 21135,
                                   21136, 21107}));
  const SlgEventEntry* t = kMap21Setup.table;
  EXPECT_STREQ(t[7].b,
               "(((UAJ(GPL,UKD,GPL,UYS)=0)&(UAJ(GPL,UTV,GPL,UYS)=2))|"
               "((UAJ(GPL,UKD,GPL,UYS)=1)&(UAJ(GPL,UTV,GPL,UYS)=3))|"
               "((UAJ(GPL,UKD,GPL,UYS)=2)&(UAJ(GPL,UTV,GPL,UYS)=0))|"
               "((UAJ(GPL,UKD,GPL,UYS)=3)&(UAJ(GPL,UTV,GPL,UYS)=1)));");
  EXPECT_STREQ(t[10].a, "(F(106)|F(105))&R(25);");
  EXPECT_STREQ(t[4].c, "F(125);");
  // The objects: 80-89 held on their cells, 90-91 behind at 258, 92 in front, 93-96 at 259.
  ASSERT_EQ(kMap21Setup.anm_table.size(), 17u);
  for (int k = 80; k <= 96; ++k) {
    const SlgEventAnmHandler want = k <= 89   ? EventAnmHoldSnap
                                    : k <= 91 ? EventAnmFixedDepth258
                                    : k == 92 ? EventAnmFixedDepth
                                              : EventAnmFixedDepth259;
    EXPECT_EQ(kMap21Setup.anm_table[static_cast<size_t>(k - 80)], want) << k;
  }
}

// ---- The openings ----

TEST(Map21Opening, PEightyChoosesTheOpeningItsLightsAndItsSprites) {
  struct Case {
    uint16_t p80;
    int id, other;
    int first_lit;
    std::array<uint32_t, 2> sprites_at_end;
    std::vector<int> k1;  // the first objects deployed, in order
  } cases[] = {
      {0, 21106, 21105, 85, {93, 94}, {91}},
      {1, 21105, 21106, 80, {93, 94}, {90, 91}},
      {65535, 21105, 21106, 80, {93, 94}, {90, 91}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.p80);
    auto h = MakeBattle({.openings = true});
    h->SetP(80, c.p80);
    h->Start();
    // The camera's scroll position while the first list plays.
    int scroll_x = -1;
    int scroll_y = -1;
    const std::string end = "end " + std::to_string(c.id);
    ASSERT_TRUE(h->RunUntil(end, [&] {
      if (scroll_x < 0 && h->FrameOf("message 11:10005") >= 0) {
        scroll_x = Battle().state.scroll_x;
        scroll_y = Battle().state.scroll_y;
      }
      return h->FrameOf(end) >= 0;
    }, 3000));
    h->RunFrames(2);
    EXPECT_EQ(Count(*h, "start " + std::to_string(c.other)), 0u);
    EXPECT_EQ(Count(*h, "start " + std::to_string(c.id)), 1u);
    EXPECT_EQ(h->Records("message"),
              (std::vector<std::string>{"message 11:10005", "message 148:10010",
                                        "message 11:10015", "message 29:10020"}));
    // The cast made by the opening.
    for (int ch : {kHero, kOne, kFour}) EXPECT_NE(FindUnitByGroupKind(0, ch), nullptr) << ch;
    if (c.p80 == 0) {
      const struct {
        int character, x, y, dir;
      } placed[] = {{kHero, 520, 408, 3}, {kOne, 592, 424, 3}, {kFour, 432, 304, 1}};
      for (const auto& p : placed) {
        const SlgUnit* u = h->Unit(0, p.character);
        ASSERT_NE(u, nullptr);
        const SlgPoint cell = SnapPosToCell(p.x, p.y);
        EXPECT_EQ(SnapPosToCell(u->x >> 16, u->y >> 16).x, cell.x) << p.character;
        EXPECT_EQ(SnapPosToCell(u->x >> 16, u->y >> 16).y, cell.y) << p.character;
        EXPECT_EQ(u->dir, p.dir) << p.character;
      }
      EXPECT_EQ(scroll_x, 20);
      EXPECT_EQ(scroll_y, 98);
      EXPECT_GE(h->FrameOf("se 307"), 0);
    } else {
      EXPECT_LT(h->FrameOf("se 307"), 0);
    }
    // The first objects: K1 (for 21105 replaced by 91 after the lights).
    std::vector<int> k1;
    for (const std::string& r : h->Records("deploy 9")) {
      const int kind = std::stoi(r.substr(7));
      if (kind == 90 || kind == 91) k1.push_back(kind);
    }
    EXPECT_EQ(k1, c.k1);
    // The aura for 180 frames with SE 306, then a light every 8 frames, each with SE 135.
    const std::vector<int> aura = FramesOf(*h, "deploy 92 ");
    ASSERT_EQ(aura.size(), 1u);
    EXPECT_GE(h->FrameOf("se 306"), 0);
    std::vector<int> lights;
    for (int k = c.first_lit; k < c.first_lit + 5; ++k) {
      const std::vector<int> f = FramesOf(*h, "deploy " + std::to_string(k) + " ");
      ASSERT_EQ(f.size(), 1u) << k;
      lights.push_back(f[0]);
    }
    // Frames are counted on the game clock (whole 60 Hz frames of its milliseconds), so a light
    // may come a frame early or late against the frame count, never drifting further.
    EXPECT_NEAR(lights[0] - aura[0], 180 + 2 + 8, 1);
    for (size_t n = 1; n < lights.size(); ++n) {
      EXPECT_NEAR(lights[n] - lights[0], 8 * static_cast<int>(n), 1) << n;
    }
    EXPECT_EQ(Count(*h, "se 135"), 5u);
    if (c.k1.size() == 2) {
      // 90 gives way to 91 after the lights.
      EXPECT_EQ(FramesOf(*h, "remove 90 ").size(), 1u);
      EXPECT_EQ(FramesOf(*h, "deploy 91 ").at(0), lights.back());
    }
    // Every lit kind and the aura taken off again; the other opening's kinds never lit.
    for (int k = c.first_lit; k < c.first_lit + 5; ++k) {
      EXPECT_EQ(FramesOf(*h, "remove " + std::to_string(k) + " ").size(), 1u) << k;
    }
    const int other_first = c.first_lit == 80 ? 85 : 80;
    EXPECT_TRUE(FramesOf(*h, "deploy " + std::to_string(other_first) + " ").empty());
    // Two fixed sprites stay, A showing 93 and B 94, in their places.
    ASSERT_EQ(Battle().fix_tasks.count, 2);
    EXPECT_EQ(Map21State().sprite_anm, c.sprites_at_end);
    const FixTaskWork* a = FixTaskWorkOf(Map21State().sprites[0]);
    const FixTaskWork* b = FixTaskWorkOf(Map21State().sprites[1]);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->x, 256 * 65536);
    EXPECT_EQ(a->y, 0);
    EXPECT_EQ(b->x, 240 * 65536);
    EXPECT_EQ(b->y, 480 * 65536);
  }
}

// ---- The lines next to character 4 ----

TEST(Map21Talks, TheLinesBesideCharacterFourPlayInTurnUntilBothAreHeard) {
  auto h = MakeBattle();
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(600));
  auto act = [&](int character) {
    h->Act(0, character);
    ASSERT_TRUE(h->RunUntilIdle(1200));
  };
  h->Command(kMad);
  ASSERT_TRUE(h->RunUntilIdle(600));
  // Character 1 beside her, the hero away: her line on each action.
  Place(*h, -1, 1);
  act(kOne);
  act(kOne);
  EXPECT_EQ(Count(*h, "start 21110"), 2u);
  EXPECT_EQ(Count(*h, "start 21125"), 0u);
  // The hero beside her too (not opposite character 1): his line, then both heard.
  Place(*h, 0, 1);
  act(kHero);
  EXPECT_EQ(Count(*h, "start 21115"), 1u);
  EXPECT_EQ(Count(*h, "start 21125"), 1u);
  EXPECT_LE(h->FrameOf("end 21115"), h->FrameOf("start 21125"));
  EXPECT_NE(CheckEventFlag(125), 0);
  // Neither first line again.
  act(kOne);
  act(kHero);
  EXPECT_EQ(Count(*h, "start 21110"), 2u);
  EXPECT_EQ(Count(*h, "start 21115"), 1u);
  EXPECT_EQ(Count(*h, "start 21125"), 1u);
  EXPECT_EQ(Count(*h, "start 21128"), 0u) << "before the hero's line";
  // The hero acting with character 1 away: his line once.
  Place(*h, 0, -1);
  act(kHero);
  act(kHero);
  EXPECT_EQ(Count(*h, "start 21127"), 1u);
  // Character 1 beside her again: her line on every action.
  Place(*h, 0, 1);
  act(kOne);
  act(kOne);
  act(kOne);
  EXPECT_EQ(Count(*h, "start 21128"), 3u);
  // The taunt's line before both were heard and the other after.
  h->Command(kMad);
  ASSERT_TRUE(h->RunUntilIdle(600));
  EXPECT_EQ(Count(*h, "start 21135"), 1u);
  EXPECT_EQ(Count(*h, "start 21136"), 1u);
  EXPECT_LT(h->FrameOf("start 21135"), h->FrameOf("start 21125"));
  EXPECT_GT(h->FrameOf("start 21136"), h->FrameOf("start 21125"));
  EXPECT_EQ(Count(*h, "start 21130"), 0u);
  EXPECT_EQ(Count(*h, "start 21107"), 0u) << "R(25) fails";
  EXPECT_EQ(h->Records("message 239:10295"), (std::vector<std::string>{"message 239:10295"}));
}

TEST(Map21Talks, CharacterFoursLineFollowsEitherOpeningOnTheChance) {
  struct Case {
    uint16_t p80;
    int32_t draw;
    size_t lines;
  } cases[] = {{0, 0, 2}, {1, 0, 2}, {0, kNoChance, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.p80 * 100000 + c.draw);
    auto h = MakeBattle({.openings = true});
    h->SetP(80, c.p80);
    h->SetRandom({c.draw});
    h->Start();
    ASSERT_TRUE(h->RunUntilIdle(3000));
    for (int n = 0; n < 2; ++n) {
      h->Act(0, kFour);
      ASSERT_TRUE(h->RunUntilIdle(600));
    }
    EXPECT_EQ(Count(*h, "start 21107"), c.lines);
    if (c.lines > 0) {
      EXPECT_GT(h->FrameOf("start 21107"), h->FrameOf(c.p80 == 0 ? "end 21106" : "end 21105"));
      EXPECT_EQ(Count(*h, "message 148:10025"), c.lines);
    }
  }
}

// ---- The decisive scene: the turning ----

// The directions a unit facing `from` passes through to face `to`, by the turn table.
const std::vector<int> kPaths[4][4] = {
    {{}, {1}, {1, 2}, {3}},
    {{0}, {}, {2}, {2, 3}},
    {{1, 0}, {1}, {}, {3}},
    {{0}, {0, 1}, {2}, {}},
};

struct TurnSeen {
  int frame;      // counted from the frame the scene was found in
  int character;  // -1: the scene's first list shown
  int dir;
};
std::ostream& operator<<(std::ostream& o, const TurnSeen& t) {
  return o << "{" << t.frame << ", " << t.character << ", " << t.dir << "}";
}

// A unit's part of the turning: who, from which direction to which (-1: its target is not
// next to it, -2: the unit is not on the map).
struct UnitTurn {
  int character, from, to;
};
// One thing the turning shows: the unit and its new direction (-1: the first list), the frames
// since the one before (the scene's start for the first) by the rule, and the waits in them.
struct TurnStep {
  int character, dir;
  int frames, waits;
};
// What the turning shows, by the rule: 4 frames before each turn, 30 once facing, the first
// list on the frame after the turning; the scene's first frame follows the one it was found in.
std::vector<TurnStep> ExpectedTurning(const std::vector<UnitTurn>& parts) {
  std::vector<TurnStep> steps;
  int frames = 1;
  int waits = 0;
  for (const UnitTurn& p : parts) {
    if (p.to == -2) continue;
    if (p.to >= 0) {
      for (int d : kPaths[p.from][p.to]) {
        steps.push_back({p.character, d, frames + 4, waits + 1});
        frames = 0;
        waits = 0;
      }
    }
    frames += 30;
    ++waits;
  }
  steps.push_back({-1, -1, frames + 1, waits});
  return steps;
}
// The turning seen against the rule. The waits count whole frames of the game clock's
// milliseconds, so each may take one frame more than its length: a gap of n frames over w waits
// is met by n to n + w frames.
testing::AssertionResult TurnsAsRuled(const std::vector<TurnSeen>& seen,
                                      const std::vector<TurnStep>& rule) {
  testing::Message all;
  for (const TurnSeen& t : seen) all << t << " ";
  if (seen.size() != rule.size()) {
    return testing::AssertionFailure() << rule.size() << " steps expected, seen " << all;
  }
  int before = 0;
  for (size_t n = 0; n < seen.size(); ++n) {
    const TurnSeen& t = seen[n];
    const TurnStep& r = rule[n];
    const int gap = t.frame - before;
    before = t.frame;
    if (t.character != r.character || t.dir != r.dir || gap < r.frames ||
        gap > r.frames + r.waits) {
      return testing::AssertionFailure()
             << "step " << n << ": expected character " << r.character << " to " << r.dir
             << " after " << r.frames << "-" << r.frames + r.waits << " frames; seen " << all;
    }
  }
  return testing::AssertionSuccess();
}

// Runs the scene the hero's action starts until its first list, noting each change of the
// cast's directions. `at_start` runs after the frame the scene was found in.
std::vector<TurnSeen> WatchTurning(EventHarness& h, const std::function<void()>& at_start = {}) {
  const size_t runs = Count(h, "start 21130");
  const size_t lists = Count(h, "message 29:10120");
  std::array<int, 7> last{};
  for (int c : {kHero, kOne, kFour}) last[static_cast<size_t>(c)] = h.Unit(0, c)->dir;
  int start = -1;
  std::vector<TurnSeen> seen;
  h.Act(0, kHero);
  EXPECT_TRUE(h.RunUntil("the scene's first list", [&] {
    const int frame = h.rig().driver().frame();
    if (start < 0) {
      if (Count(h, "start 21130") == runs) return false;
      start = LastFrameOf(h, "start 21130");
      if (at_start) at_start();
    }
    for (int c : {kHero, kOne, kFour}) {
      const SlgUnit* u = FindUnitByGroupKind(0, c);
      if (u == nullptr || !SlgUnitLive(*u) || u->dir == last[static_cast<size_t>(c)]) continue;
      last[static_cast<size_t>(c)] = u->dir;
      seen.push_back({frame - start, c, u->dir});
    }
    if (Count(h, "message 29:10120") == lists) return false;
    seen.push_back({LastFrameOf(h, "message 29:10120") - start, -1, -1});
    return true;
  }, 1200));
  return seen;
}

// The hero and character 1 opposite each other beside character 4 (the hero toward her in
// direction a), all three facing `dir`; the scene's first choice answered 3 (the silent line).
void ReadyToTurn(EventHarness& h, int a, int dir) {
  PlaceOpposite(h, a);
  ASSERT_TRUE(h.RunUntilIdle(600));
  for (int c : {kHero, kOne, kFour}) Slg::SetUnitDir(*h.Unit(0, c), static_cast<uint32_t>(dir));
  h.AnswerChoice(3);
}

TEST(Map21Turning, EachPairOfTheTurnTableTurnsStepByStep) {
  auto h = MakeBattle({.flags = {125}});
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(600));
  // The hero toward her in direction a, character 1 and she herself toward each other in a + 2;
  // all three facing d first: the hero's part covers every pair of the table.
  for (int a = 0; a < 4; ++a) {
    for (int d = 0; d < 4; ++d) {
      SCOPED_TRACE(testing::Message() << "toward " << a << " facing " << d);
      ReadyToTurn(*h, a, d);
      const int b = (a + 2) % 4;
      EXPECT_TRUE(TurnsAsRuled(WatchTurning(*h),
                               ExpectedTurning({{kOne, d, b}, {kFour, d, b}, {kHero, d, a}})));
      ASSERT_TRUE(h->RunUntilIdle(1200));
    }
  }
  EXPECT_EQ(Count(*h, "start 21130"), 16u) << "the scene repeats";
  EXPECT_EQ(Count(*h, "message 148:10290"), 16u);
}

TEST(Map21Turning, ATargetNoLongerBesideOrAUnitGoneTurnsNobody) {
  const struct Case {
    const char* what;
    int facing;
    std::function<void(EventHarness&)> at_start;  // after the frame the scene was found in
    std::vector<UnitTurn> parts;
    const char* trace;
  } cases[] = {
      // Every target out of reach (UAJ 4): each unit only waits its 30 frames.
      {"character 4 moved away",
       2,
       [](EventHarness& h) {
         const SlgPoint far = SnapPosToCell(900, 1200);
         SlgUnit* four = h.Unit(0, kFour);
         EventPlaceUnitAt(four, far.x, far.y, four->dir);
       },
       {{kOne, 2, -1}, {kFour, 2, -1}, {kHero, 2, -1}},
       ""},
      // Character 1 passed over, the other two turn as ever.
      {"character 1 gone",
       0,
       [](EventHarness& h) { EventRemoveUnit(h.Unit(0, kOne)); },
       {{kOne, 0, -2}, {kFour, 0, 3}, {kHero, 0, 1}},
       "map 21: character 1 is not on the map"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto h = MakeBattle({.flags = {125}});
    h->Start();
    ASSERT_TRUE(h->RunUntilIdle(600));
    ReadyToTurn(*h, 1, c.facing);
    testsupport::TraceCapture trace;
    const auto seen = WatchTurning(*h, [&] { c.at_start(*h); });
    EXPECT_TRUE(TurnsAsRuled(seen, ExpectedTurning(c.parts)));
    if (c.trace[0] != '\0') {
      EXPECT_TRUE(trace.Contains(c.trace));
    }
    ASSERT_TRUE(h->RunUntilIdle(1200));
    EXPECT_EQ(Count(*h, "end 21130"), 1u);
  }
}

TEST(Map21Turning, TheNextFacingOfADirectionOutsideTheTableIsNoTurn) {
  // The table itself is checked through the scene above; beyond it the unit stays as it is.
  for (int facing = 0; facing < 4; ++facing) EXPECT_EQ(Map21NextFacing(facing, 4), facing);
  EXPECT_EQ(Map21NextFacing(7, 2), 7);
  EXPECT_EQ(Map21NextFacing(-1, 0), -1);
}

// ---- The decisive scene: the choices ----

struct SceneBattle {
  std::unique_ptr<EventHarness> h;
  int32_t trust = 0;  // heroine 4's trust and second variable at the start
  int32_t var2 = 0;
};
// A battle where both lines have been heard; heroine 4's trust and second variable 20.
SceneBattle MakeSceneBattle(uint16_t p80 = 0, bool movie = true) {
  SceneBattle s{MakeBattle({.flags = {125}})};
  s.h->SetP(80, p80);
  s.h->SetTrust(4, 20);
  if (movie) s.h->AddMovie(0, 14, 0.1);
  s.h->Start();
  EXPECT_TRUE(s.h->RunUntilIdle(600));
  SetHeroineVar2(4, 20);
  s.trust = GetTrustVar(4);
  s.var2 = GetHeroineVar2(4);
  return s;
}
// The scene started with the answers queued (fewer than its choices: the others time out).
void StartScene(EventHarness& h, std::initializer_list<int> answers) {
  PlaceOpposite(h, 0);
  EXPECT_TRUE(h.RunUntilIdle(600));
  for (int a : answers) h.AnswerChoice(a);
  h.Act(0, kHero);
}
bool RunToSwitch(EventHarness& h) {
  return h.RunUntil("the switch", [&] { return h.FrameOf(kSwitch) >= 0; }, 6000);
}

TEST(Map21Choice, GoingWithTheHeroRaisesHerTwiceAndPlaysTheMovieIntoStageTwentySix) {
  for (uint16_t p80 : {0, 1}) {
    SCOPED_TRACE(p80);
    SceneBattle s = MakeSceneBattle(p80);
    EventHarness& h = *s.h;
    StartScene(h, {1});
    int32_t between = 0;
    ASSERT_TRUE(h.RunUntil("the switch", [&] {
      if (between == 0 && h.FrameOf("message 12:10185") >= 0) between = GetTrustVar(4);
      return h.FrameOf(kSwitch) >= 0;
    }, 6000));
    EXPECT_EQ(between, s.trust + 6);
    EXPECT_EQ(GetTrustVar(4), s.trust + 40);
    EXPECT_EQ(GetHeroineVar2(4), s.var2 + 40);
    EXPECT_EQ(Count(h, "se 20"), 2u);
    const std::string said = p80 > 0 ? "message 11:10165" : "message 11:10170";
    const std::string unsaid = p80 > 0 ? "message 11:10170" : "message 11:10165";
    EXPECT_GE(h.FrameOf(said), 0);
    EXPECT_LT(h.FrameOf(unsaid), 0);
    EXPECT_GE(h.FrameOf("task Eve::fadeOutMusic"), 0);
    EXPECT_LT(h.FrameOf("message 12:10195"), h.FrameOf("stop se 11"));
    EXPECT_LT(h.FrameOf("stop se 11"), h.FrameOf("movie Movie\\Movie014.mpg"));
    EXPECT_LE(h.FrameOf("movie end"), h.FrameOf(kSwitch));
    EXPECT_EQ(Count(h, kSwitch), 1u);
    EXPECT_EQ(GetSystemData()->battleMap(), 26u);
  }
}

TEST(Map21Choice, TurningBackCostsHerFiveOnlyTheFirstTime) {
  SceneBattle s = MakeSceneBattle();
  EventHarness& h = *s.h;
  for (int run = 0; run < 2; ++run) {
    StartScene(h, {2, 1});
    ASSERT_TRUE(h.RunUntilIdle(3000));
  }
  EXPECT_EQ(Count(h, "message 15:10250"), 2u);
  EXPECT_EQ(Count(h, "message 148:10245"), 2u);
  EXPECT_EQ(GetTrustVar(4), s.trust - 5);
  EXPECT_EQ(GetHeroineVar2(4), s.var2 - 5);
  EXPECT_EQ(Count(h, "se 21"), 1u);
  EXPECT_LT(h.FrameOf("movie Movie\\Movie014.mpg"), 0);
  EXPECT_LT(h.FrameOf(kSwitch), 0);
  EXPECT_EQ(Count(h, "end 21130"), 2u);
}

TEST(Map21Choice, ComingRoundGivesFortyAndTheMovie) {
  SceneBattle s = MakeSceneBattle();
  EventHarness& h = *s.h;
  StartScene(h, {2, 2});
  ASSERT_TRUE(RunToSwitch(h));
  EXPECT_EQ(GetTrustVar(4), s.trust + 40);
  EXPECT_EQ(Count(h, "se 20"), 1u);
  EXPECT_LT(h.FrameOf("message 147:10280"), h.FrameOf("message 12:10285"));
  EXPECT_LT(h.FrameOf("message 12:10285"), h.FrameOf("stop se 11"));
  EXPECT_GE(h.FrameOf("movie Movie\\Movie014.mpg"), 0);
  EXPECT_EQ(GetSystemData()->battleMap(), 26u);
}

TEST(Map21Choice, AnyOtherAnswerOrATimeOutEndsWithTheSilentLine) {
  const std::vector<int> cases[] = {{3}, {}, {2, 3}, {2}};
  for (const std::vector<int>& answers : cases) {
    SCOPED_TRACE(testing::PrintToString(answers));
    SceneBattle s = MakeSceneBattle();
    EventHarness& h = *s.h;
    PlaceOpposite(h, 0);
    ASSERT_TRUE(h.RunUntilIdle(600));
    for (int a : answers) h.AnswerChoice(a);
    h.Act(0, kHero);
    ASSERT_TRUE(h.RunUntilIdle(3000));
    EXPECT_EQ(Count(h, "message 148:10290"), 1u);
    EXPECT_EQ(h.Records("message").back(), "message 148:10290");
    EXPECT_EQ(Count(h, "end 21130"), 1u);
    EXPECT_EQ(GetTrustVar(4), s.trust);
    EXPECT_LT(h.FrameOf(kSwitch), 0);
  }
}

TEST(Map21Choice, AMissingMovieIsTracedAndTheStageStillSwitches) {
  testsupport::TraceCapture trace;
  SceneBattle s = MakeSceneBattle(0, false);
  EventHarness& h = *s.h;
  StartScene(h, {1});
  ASSERT_TRUE(RunToSwitch(h));
  EXPECT_TRUE(trace.Contains("Can't Play Movie"));
  EXPECT_TRUE(trace.Contains("Movie014"));
  EXPECT_EQ(Count(h, kSwitch), 1u);
  EXPECT_EQ(GetSystemData()->battleMap(), 26u);
}

}  // namespace
