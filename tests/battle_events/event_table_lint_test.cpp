// The event-table lint over every map's set-up row (and the toolkit's own test map meanwhile), and
// planted tables with each fault it exists to catch.

#include <gtest/gtest.h>

#include <algorithm>
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


// ---- The shape of the real tables ----

namespace shape {

using testsupport::CheckMapSetupShape;
using testsupport::MapSetupShape;

MapSetupShape Row(MapBgm bgm, bool anm, bool deferred,
                  std::vector<MapSetupShape::Task> tasks = {}) {
  return {bgm, anm, deferred, std::move(tasks)};
}

// What each map's set-up installs, map 1 to 27.
std::vector<MapSetupShape> MapShapes() {
  using B = MapBgm;
  return {
      Row(B::Play(6), true, false),   Row(B::Play(6), true, true),    Row(B::Play(6), true, false),
      Row(B::None(), true, true),     Row(B::Play(16), true, true),   Row(B::Play(6), true, false),
      Row(B::Play(6), true, false),   Row(B::Play(16), true, false),  Row(B::Play(5), true, true),
      Row(B::Play(6), true, true,
          {{"Slg::Map10::lips_exeflag_cntrl", MapTaskOrder::kAfterDeferred}}),
      Row(B::Play(30), true, true),   Row(B::Play(29), true, true),
      Row(B::Play(14), false, false),
      Row(B::Play(27), true, false),  Row(B::Play(29), true, false),
      Row(B::Play(14), false, true, {{"Slg::Map16:CheckKouma", MapTaskOrder::kBeforeDeferred}}),
      Row(B::Play(22), true, false),  Row(B::Play(14), true, false),
      Row(B::ByStoryFlag(), true, true),
      Row(B::Play(15), true, false),  Row(B::Play(12), true, false),  Row(B::None(), true, false),
      Row(B::None(), true, true),     Row(B::None(), true, true),     Row(B::None(), true, false),
      Row(B::Play(26), true, false),  Row(B::Play(13), true, false),
  };
}

TEST(EventTableShape, EveryMapsSetUpInstallsWhatItsMapNeeds) {
  const std::vector<MapSetupShape> shapes = MapShapes();
  ASSERT_EQ(shapes.size(), kMapEventSetupTable.size());
  for (size_t stage = 0; stage < shapes.size(); ++stage) {
    SCOPED_TRACE("map " + std::to_string(stage + 1));
    ASSERT_NE(kMapEventSetupTable[stage], nullptr);
    EXPECT_EQ(Texts(CheckMapSetupShape(static_cast<int>(stage), *kMapEventSetupTable[stage],
                                       shapes[stage])),
              "");
  }
}

TEST(EventTableShape, ASetUpThatDiffersIsNamedByField) {
  const MapSetup& map10 = *kMapEventSetupTable[9];
  const MapTaskSpec kEarly[] = {
      {map10.tasks[0].body, "Slg::Map10::lips_exeflag_cntrl", MapTaskOrder::kBeforeDeferred}};
  const MapSetupShape wanted = MapShapes()[9];
  struct Case {
    const char* name;
    MapSetup setup;
    std::string faults;
  } cases[] = {
      {"the real set-up", map10, ""},
      {"other music and no animation table",
       MapSetup{.bgm = MapBgm::Play(7), .table = map10.table, .deferred = map10.deferred,
                .tasks = map10.tasks},
       "map 10 set-up music: BGM 7, not BGM 6\n"
       "map 10 set-up anm table: none, not installed\n"},
      {"the task made before the deferred call, which is missing",
       MapSetup{.bgm = map10.bgm, .table = map10.table, .anm_table = map10.anm_table,
                .tasks = kEarly},
       "map 10 set-up deferred set-up: none, not given\n"
       "map 10 set-up map tasks: \"Slg::Map10::lips_exeflag_cntrl\" before the deferred call, not "
       "\"Slg::Map10::lips_exeflag_cntrl\" after the deferred call\n"},
      {"no task",
       MapSetup{.bgm = map10.bgm, .table = map10.table, .anm_table = map10.anm_table,
                .deferred = map10.deferred},
       "map 10 set-up map tasks: none, not \"Slg::Map10::lips_exeflag_cntrl\" after the deferred "
       "call\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Texts(CheckMapSetupShape(9, c.setup, wanted)), c.faults);
  }
  // Map 19's music rule is its own: a fixed music in its place is a difference.
  EXPECT_EQ(Texts(CheckMapSetupShape(18, *kMapEventSetupTable[18],
                                     Row(MapBgm::Play(28), true, true))),
            "map 19 set-up music: by the story flag, not BGM 28\n");
}

// A real table's rows up to its end row.
std::vector<SlgEventEntry> CopyRows(const SlgEventEntry* table) {
  std::vector<SlgEventEntry> rows;
  for (int n = 0; table[n].handler != nullptr; ++n) rows.push_back(table[n]);
  return rows;
}

int FirstRowOf(const std::vector<SlgEventEntry>& rows, SlgEventHandler handler, int from = 0) {
  for (int n = from; n < static_cast<int>(rows.size()); ++n) {
    if (rows[static_cast<size_t>(n)].handler == handler) return n;
  }
  return -1;
}

TEST(EventTableShape, FaultsPlantedInACopyOfARealTableAreNamedWithMapRowAndField) {
  const MapSetup& real = *kMapEventSetupTable[3];  // map 4
  std::vector<SlgEventEntry> rows = CopyRows(real.table);
  const int generic = FirstRowOf(rows, &UnitDownRow);
  const int seq1 = FirstRowOf(rows, &SeqRow);
  const int seq2 = FirstRowOf(rows, &SeqRow, seq1 + 1);
  ASSERT_GE(generic, 0);
  ASSERT_GE(seq1, 0);
  ASSERT_GE(seq2, 0);
  const int timed = generic == 0 ? 1 : 0;
  const int never = static_cast<int>(rows.size()) - 1;
  ASSERT_TRUE(never != generic && never != seq1 && never != seq2 && never != timed);

  const int32_t beyond = 80 + static_cast<int32_t>(real.anm_table.size());
  static std::vector<EventSeq::Op> deploy;
  deploy = {EventSeq::DeployKind(80), EventSeq::DeployKindNo(beyond, 1), EventSeq::End()};
  static const std::vector<EventSeq::Op> kNoEnd = {EventSeq::Wait(1), EventSeq::Se(21)};
  static SeqArgs deploy_args;
  deploy_args = SeqArgs{deploy};
  static const SeqArgs kNoEndArgs{kNoEnd};

  auto at = [&](int n) -> SlgEventEntry& { return rows[static_cast<size_t>(n)]; };
  auto name = [&](int n) {
    return "map 4 row " + std::to_string(n) + " (id " + std::to_string(at(n).id) + ") ";
  };
  at(timed).timing = 0x0040;
  at(never).timing = 0;
  at(generic).arg = nullptr;
  at(seq1).arg = &deploy_args;
  at(seq2).arg = &kNoEndArgs;
  rows.push_back(kEventTableEnd);

  MapSetup copy = real;
  copy.table = rows.data();
  std::vector<std::string> got;
  for (const TableFault& f : LintMapSetup(3, copy)) got.push_back(f.Text());
  std::vector<std::string> wanted = {
      name(timed) + "timing: 0x0040 holds bits the battle never sets (0x0040)",
      name(generic) + "argument block: a shared handler's row without its arguments",
      name(seq1) + "deploy: kind " + std::to_string(beyond) +
          " lies beyond the event-animation table (" + std::to_string(real.anm_table.size()) +
          " entries)",
      name(seq2) + "program: no End",
      name(never) + "timing: 0: the row never starts",
  };
  std::sort(got.begin(), got.end());
  std::sort(wanted.begin(), wanted.end());
  EXPECT_EQ(got, wanted);
  // The same rows unchanged have none.
  EXPECT_EQ(Texts(LintMapSetup(3, real)), "");
}

}  // namespace shape

}  // namespace
