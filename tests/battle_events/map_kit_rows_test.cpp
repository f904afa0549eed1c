// The map-script toolkit's data side: the generic-row builder against map 1's written-out table,
// the message-list form and the joining of row blocks, and the faults a step program is refused
// for.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/generic_rows.h"

namespace {

// ---- Map 1's generic rows ----

constexpr GenericTalkSet kMap01Talks{
    .falls = {{{1, {{{36, 2029}, {36, 2027}, {31, 2028}}}},
               {2, {{{81, 2051}, {81, 2049}, {81, 2050}}}},
               {3, {{{117, 2073}, {117, 2071}, {112, 2072}}}}}},
    .ref_talks = {{{30, 3338}, {75, 3339}, {111, 3340}, {}, {}, {210, 3341}}},
    .ref_talks2 = {{{30, 2024}, {75, 2046}, {110, 2068}, {}, {}, {210, 2114}}},
    .char_talks = {{{1, {{{36, 2023}, {30, 2022}, {29, 2019}, {29, 2020}, {29, 2021}}}},
                    {2, {{{81, 2045}, {75, 2044}, {74, 2041}, {75, 2042}, {74, 2043}}}},
                    {3, {{{117, 2067}, {111, 2066}, {110, 2063}, {110, 2064}, {110, 2065}}}}}},
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

constexpr GenericDesc kMap01Generic{
    .talks = &kMap01Talks,
    .falls = {.base = 1500, .members = kITV | kIDV | kILN},
    .ref_talks = {.base = 1520, .members = kITV | kIDV | kILN | kITZ},
    .ref_talks2 = {.base = 1530, .members = kITV | kIDV | kILN | kITZ},
    .char_talks = {.base = 1600, .members = kITV | kIDV | kILN},
    .talk_c = "HGU(GBO,UKM,0)|HP(IKD,0);",
    .favourite_c = "NP(IMR())|HGU(GBO,UKM,0)|HP(IKD,0);"};

constexpr auto kMap01GenericRows = GenericRows<kMap01Generic>();

// One row as map 1's table writes it; the argument is compared by its contents.
struct WantRow {
  uint16_t id;
  uint16_t timing;
  const char* b;
  int16_t guard;
  const char* c;
  int16_t set;
  SlgEventHandler handler;
  std::vector<EventMessageRef> refs;  // the argument block's references, in order
  int32_t character = 0;              // falls and turn remarks
};

std::vector<EventMessageRef> RefsOf(const SlgEventEntry& row, int32_t* character) {
  *character = 0;
  if (row.handler == &UnitDownRow) {
    const auto& a = *static_cast<const UnitDownArgs*>(row.arg);
    *character = a.character;
    return {a.references.begin(), a.references.end()};
  }
  if (row.handler == &CharTalkRow) {
    const auto& a = *static_cast<const CharTalkArgs*>(row.arg);
    *character = a.character;
    return {a.references.begin(), a.references.end()};
  }
  if (row.handler == &FavouriteRow) {
    const auto& a = *static_cast<const FavouriteArgs*>(row.arg);
    return {a.references.begin(), a.references.end()};
  }
  const auto& a = *static_cast<const RefTalkArgs*>(row.arg);
  return {{a.face, a.message}};
}

TEST(GenericRows, MapOnesDescriptionYieldsExactlyItsFifteenGenericRows) {
  const char* kHp = "HP(IKD,0);";
  const char* kTalkC = "HGU(GBO,UKM,0)|HP(IKD,0);";
  const std::vector<WantRow> want = {
      {1500, 0x8000, "NP(ITV);", 500, kHp, 500, &UnitDownRow, {{36, 2029}, {36, 2027}, {31, 2028}}, 1},
      {1501, 0x8000, "NP(IDV);", 501, kHp, 501, &UnitDownRow, {{81, 2051}, {81, 2049}, {81, 2050}}, 2},
      {1502, 0x8000, "NP(ILN);", 502, kHp, 502, &UnitDownRow,
       {{117, 2073}, {117, 2071}, {112, 2072}}, 3},
      {1520, 0x4, "KP(ITV);", 0, "", 0, &RefTalkRow, {{30, 3338}}},
      {1521, 0x4, "KP(IDV);", 0, "", 0, &RefTalkRow, {{75, 3339}}},
      {1522, 0x4, "KP(ILN);", 0, "", 0, &RefTalkRow, {{111, 3340}}},
      {1525, 0x4, "KP(ITZ);", 0, "", 0, &RefTalkRow, {{210, 3341}}},
      {1530, 0x10, "CP(ITV);", 0, "", 0, &RefTalk2Row, {{30, 2024}}},
      {1531, 0x10, "CP(IDV);", 0, "", 0, &RefTalk2Row, {{75, 2046}}},
      {1532, 0x10, "CP(ILN);", 0, "", 0, &RefTalk2Row, {{110, 2068}}},
      {1535, 0x10, "CP(ITZ);", 0, "", 0, &RefTalk2Row, {{210, 2114}}},
      {1600, 0x8, "PP(IKD)&R(20);", 0, "NP(IMR())|HGU(GBO,UKM,0)|HP(IKD,0);", 0, &FavouriteRow,
       {{0, 0}, {0, 0}, {30, 2025}, {30, 2026}, {75, 2047}, {75, 2048}, {111, 2069},
        {111, 2070}, {156, 2093}, {156, 2094}, {210, 2115}, {210, 2116}, {138, 2138},
        {138, 2139}}},
      {1601, 0x8, "PP(ITV)&R(20);", 0, kTalkC, 0, &CharTalkRow,
       {{36, 2023}, {30, 2022}, {29, 2019}, {29, 2020}, {29, 2021}}, 1},
      {1602, 0x8, "PP(IDV)&R(20);", 0, kTalkC, 0, &CharTalkRow,
       {{81, 2045}, {75, 2044}, {74, 2041}, {75, 2042}, {74, 2043}}, 2},
      {1603, 0x8, "PP(ILN)&R(20);", 0, kTalkC, 0, &CharTalkRow,
       {{117, 2067}, {111, 2066}, {110, 2063}, {110, 2064}, {110, 2065}}, 3},
  };
  ASSERT_EQ(kMap01GenericRows.size(), want.size());
  for (size_t n = 0; n < want.size(); ++n) {
    const SlgEventEntry& row = kMap01GenericRows[n];
    const WantRow& w = want[n];
    SCOPED_TRACE(testing::Message() << "row " << n << " id " << w.id);
    EXPECT_EQ(row.id, w.id);
    EXPECT_EQ(row.timing, w.timing);
    EXPECT_STREQ(row.a, "");
    EXPECT_STREQ(row.b, w.b);
    EXPECT_EQ(row.guard, (std::array<int16_t, 2>{w.guard, 0}));
    EXPECT_STREQ(row.c, w.c);
    EXPECT_EQ(row.set, (std::array<int16_t, 2>{w.set, 0}));
    EXPECT_EQ(row.clear, (std::array<int16_t, 2>{0, 0}));
    EXPECT_EQ(row.handler, w.handler);
    int32_t character = -1;
    EXPECT_EQ(RefsOf(row, &character), w.refs);
    EXPECT_EQ(character, w.character);
  }
}

TEST(GenericRows, FamilyKnobsReachEveryRowOfTheirFamily) {
  static constexpr GenericTalkSet kTalks{};
  static constexpr GenericDesc kDesc{
      .talks = &kTalks,
      .falls = {.base = 22500,
                .members = kITV | kITZ,
                .a = "F(18);",
                .extra_guard = 198,
                .b = {"F(441)&NP(ITV);"}},
      .char_talks = {.base = 600, .members = kIBS, .extra_guard = 198},
      .favourite_chance = 10,
      .talk_chance = 10,
      .favourite_c = "NP(IMR());"};
  constexpr auto rows = GenericRows<kDesc>();
  ASSERT_EQ(rows.size(), 4u);
  // Falls: ids from the map's base, flags 500-505 whatever the base.
  EXPECT_EQ(rows[0].id, 22500);
  EXPECT_STREQ(rows[0].a, "F(18);");
  EXPECT_STREQ(rows[0].b, "F(441)&NP(ITV);");
  EXPECT_EQ(rows[0].guard, (std::array<int16_t, 2>{500, 198}));
  EXPECT_EQ(rows[1].id, 22505);
  EXPECT_STREQ(rows[1].b, "NP(ITZ);");
  EXPECT_EQ(rows[1].guard, (std::array<int16_t, 2>{505, 198}));
  EXPECT_EQ(rows[1].set, (std::array<int16_t, 2>{505, 0}));
  EXPECT_EQ(static_cast<const UnitDownArgs*>(rows[1].arg), &kTalks.falls[5]);
  // The favourite and the turn remarks: the extra guard in the first free slot, the chances.
  EXPECT_EQ(rows[2].id, 600);
  EXPECT_STREQ(rows[2].b, "PP(IKD)&R(10);");
  EXPECT_STREQ(rows[2].c, "NP(IMR());");
  EXPECT_EQ(rows[2].guard, (std::array<int16_t, 2>{198, 0}));
  EXPECT_EQ(rows[3].id, 605);
  EXPECT_STREQ(rows[3].b, "PP(IBS)&R(10);");
  EXPECT_EQ(static_cast<const CharTalkArgs*>(rows[3].arg), &kTalks.char_talks[4]);
}

// ---- Message lists and joined tables ----

constexpr auto kTwo = TalkList({{11, 10000}, {74, 3068}});
static_assert(kTwo.size() == 3 && EventMessageListEnded(kTwo) && kTwo[1].message == 3068);

void StoryHandler(const SlgEventEntry&) {}

TEST(EventRows, JoinedBlocksKeepTheirOrderAndEndInOneEndRow) {
  static constexpr auto kStory = std::to_array<SlgEventEntry>(
      {{.id = 101, .timing = 0x8000, .handler = &StoryHandler},
       {.id = 102, .timing = 0x8000, .handler = &StoryHandler}});
  static constexpr auto kJoined = JoinRows(kStory, kMap01GenericRows, kStory);
  std::vector<uint16_t> ids;
  for (const SlgEventEntry& row : kJoined) {
    if (row.handler == nullptr) break;
    ids.push_back(row.id);
  }
  ASSERT_EQ(ids.size(), 19u);
  EXPECT_EQ(ids.front(), 101);
  EXPECT_EQ(ids[2], 1500);
  EXPECT_EQ(ids[16], 1603);
  EXPECT_EQ(ids.back(), 102);
  EXPECT_EQ(kJoined.back().handler, nullptr);
}

// ---- Programs that cannot run ----

constexpr EventSeq::Op kGood[] = {EventSeq::Wait(1), EventSeq::Label(1), EventSeq::Se(3),
                                  EventSeq::End()};
static_assert(EventSeq::Valid(kGood));
// Two walks on their own work areas pair; two scrolls cannot (see the runtime case below for the
// refusal of a pair made at run time; a constant one does not compile).
static_assert(EventSeq::Pair(EventSeq::WalkUnit(0, 0, 1, 0, 0, 0),
                             EventSeq::WalkUnit(1, 0, 2, 0, 0, 0))
                  .kind == EventSeq::OpKind::kPair);

TEST(EventSeqFaults, BrokenProgramsAreNamedByTheirFault) {
  using namespace EventSeq;
  const Op wait_a = Wait(3);
  const Op wait_b = Wait(5);
  const Op refused = Pair(wait_a, wait_b);  // made at run time: marked, refused at its first run
  EXPECT_EQ(refused.kind, OpKind::kRefused);
  const Op same_area = Pair(WalkUnit(2, 0, 1, 0, 0, 0), WalkUnit(2, 0, 2, 0, 0, 0));
  const Op scroll_walk = Pair(ScrollPx(0, 0, 4), WalkUnit(0, 0, 1, 0, 0, 0));
  struct Case {
    const char* name;
    std::vector<Op> ops;
    std::string fault;
  } cases[] = {
      {"good", {Wait(1), Goto(1), Label(1), End()}, ""},
      {"ends in a goto", {Label(1), Wait(1), If("F(3);", 2), Goto(1), Label(2), End()}, ""},
      {"a scroll and a walk", {scroll_walk, End()}, ""},
      {"empty", {}, "an empty program"},
      {"no End", {Wait(1), Goto(1), Label(1)}, "no End"},
      {"two Ends", {End(), End()}, "more than one End"},
      {"runs off", {End(), Label(1), Wait(1)}, "ops after the last End or Goto"},
      {"missing label", {Goto(7), End()}, "a jump to a missing label"},
      {"branch to nowhere", {Branch({{1, 2}}, 3), Label(3), End()}, "a jump to a missing label"},
      {"label twice", {Label(1), Label(1), End()}, "a label twice"},
      {"two waits paired", {refused, End()}, "a pair of two steps of one kind"},
      {"one walk area twice", {same_area, End()}, "a pair of two steps of one kind"},
      {"repeat 0", {Label(1), Repeat(0, 1), End()}, "a repeat count outside 1-255"},
      {"a null custom step (it completes at once)", {Custom(nullptr), End()}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(std::string(Fault(c.ops)), c.fault);
  }
}

}  // namespace
