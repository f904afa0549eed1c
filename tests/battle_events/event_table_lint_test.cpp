// The event-table lint over every map's set-up row (and the toolkit's own test map meanwhile), and
// planted tables with each fault it exists to catch.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "battle_events/event_npc.h"
#include "battle_events/map_setup.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/event_tables.h"
#include "testsupport/kit_test_map.h"

namespace {

using testsupport::LintMapSetup;
using testsupport::LintMapSetups;
using testsupport::TableFault;

std::string Texts(const std::vector<TableFault>& faults) {
  std::string out;
  for (const TableFault& f : faults) out += f.Text() + "\n";
  return out;
}

TEST(EventTableLint, EveryMapSetupRowAndTheToolkitsTestMapPass) {
  EXPECT_EQ(Texts(LintMapSetups(kMapEventSetupTable)), "");
  EXPECT_EQ(Texts(LintMapSetup(0, testsupport::kKitTestMap)), "");
  EXPECT_EQ(Texts(LintMapSetup(0, MapSetup{.table = testsupport::kVictoryEvents})), "");
}

// ---- Planted faults ----

constexpr EventMessageRef kUnended[] = {{11, 10000}, {74, 10001}};
constexpr TalkListArgs kUnendedArgs{kUnended};
constexpr EventSeq::Op kUnendedOps[] = {EventSeq::Wait(1), EventSeq::Messages(kUnended),
                                        EventSeq::End()};
constexpr SeqArgs kUnendedSeq{kUnendedOps};
constexpr SlgEventAnmHandler kAnm[] = {nullptr};

TEST(EventTableLint, EachPlantedFaultIsNamedWithItsMapRowAndField) {
  using testsupport::EventEndAtOnce;
  struct Case {
    const char* name;
    std::vector<SlgEventEntry> rows;  // the end row follows
    std::vector<std::string> faults;
  } cases[] = {
      {"a condition without its \";\"",
       {{.id = 10, .timing = 1, .handler = &EventEndAtOnce},
        {.id = 10140, .timing = 0x8000, .a = "F(420)", .handler = &EventEndAtOnce}},
       {"map 3 row 1 (id 10140) condition A: \"F(420)\" lacks its \";\""}},
      {"a syntax error",
       {{.id = 11, .timing = 1, .b = "NP(ITV;", .handler = &EventEndAtOnce}},
       {"map 3 row 0 (id 11) condition B: \"NP(ITV;\" has a syntax error"}},
      {"a null handler mid-table",
       {{.id = 12, .timing = 1, .handler = &EventEndAtOnce},
        {.id = 13, .timing = 0x8000, .guard = {13, 0}},
        {.id = 14, .timing = 1, .handler = &EventEndAtOnce}},
       {"map 3 row 1 (id 13) handler: null before the end row (the table would end here)"}},
      {"flag 2048 and a negative one",
       {{.id = 15, .timing = 1, .guard = {2048, 0}, .clear = {0, -3}, .handler = &EventEndAtOnce}},
       {"map 3 row 0 (id 15) guard flag 1: flag 2048 lies outside 1-2047",
        "map 3 row 0 (id 15) clear flag 2: flag -3 lies outside 1-2047"}},
      {"lists without their end marker",
       {{.id = 16, .timing = 1, .handler = &TalkListRow, .arg = &kUnendedArgs},
        {.id = 17, .timing = 1, .handler = &SeqRow, .arg = &kUnendedSeq}},
       {"map 3 row 0 (id 16) message list: a list without its end marker (face 65535)",
        "map 3 row 1 (id 17) message list: a list without its end marker (face 65535)"}},
      {"good rows", {{.id = 18, .timing = 1, .c = "HP(IKD,0);", .handler = &EventEndAtOnce}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<SlgEventEntry> table = c.rows;
    table.push_back(kEventTableEnd);
    std::vector<std::string> got;
    for (const TableFault& f : LintMapSetup(2, MapSetup{.table = table.data()})) {
      got.push_back(f.Text());
    }
    EXPECT_EQ(got, c.faults);
  }
  // An event-animation table without its length.
  const MapSetup no_length{.table = testsupport::kVictoryEvents,
                           .anm_table = std::span<const SlgEventAnmHandler>(kAnm, 0)};
  EXPECT_EQ(Texts(LintMapSetup(4, no_length)),
            "map 5 set-up anm table: an event-animation table without its length\n");
}

TEST(EventTableLint, AllSetUpRowsAreWalkedAndARefusedProgramIsNamed) {
  static const std::vector<EventSeq::Op> kTwoEnds = {EventSeq::End(), EventSeq::End()};
  static const SeqArgs kArgs{kTwoEnds};
  static const SlgEventEntry kRows[] = {
      {.id = 20, .timing = 1, .handler = &SeqRow, .arg = &kArgs}, kEventTableEnd};
  static const MapSetup kBroken{.table = kRows};
  std::array<const MapSetup*, kMapSetupRows> rows{};
  rows[6] = &kBroken;
  rows[9] = &testsupport::kKitTestMap;
  EXPECT_EQ(Texts(LintMapSetups(rows)), "map 7 row 0 (id 20) program: more than one End\n");
}

}  // namespace
