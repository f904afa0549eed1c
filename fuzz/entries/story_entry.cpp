// The story state a battle with events meets: the script variables P[0-99] as a save file brings
// them and the battle flags the core and the events keep, given by the input, then the two-map
// test story (testsupport/story_map.h) played from the mode manager for a bounded number of
// frames. Every value of the trust words, the round and lost-battle words and the variables the
// conditions read (FAD) reaches the event table's rows.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_geometry.h"
#include "battle/slg_search.h"
#include "battle/slg_stage_table.h"
#include "battle/slg_start.h"
#include "battle/slg_turn.h"
#include "battle_events/core/route_search.h"
#include "battle_events/event_npc.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/event_units.h"
#include "battle_events/map_setup.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "flow/tamvik_general.h"
#include "fuzz/entries/entry_support.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_seeds.h"
#include "engine/input/dinput.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_rig.h"
#include "testsupport/battle_script.h"
#include "testsupport/event_tables.h"
#include "testsupport/headless_records.h"
#include "testsupport/map_run_stories.h"
#include "testsupport/map_stages.h"
#include "testsupport/script_writer.h"
#include "testsupport/stage_writer.h"
#include "testsupport/story_map.h"

namespace fuzz {

using detail::ByteAt;
using detail::Check;

namespace {

constexpr const char* kName = "story_state";
// Frames an input plays: the opening, a choice and some turns of the story.
constexpr int kFrameBound = 700;
constexpr int kVariables = 100;
constexpr size_t kMaxFlags = 32;

// Whether every unit of the battle is one a stage may create: at most 64, each of a kind of the
// unit table with a category at most 4, or an event object (kind 80-143 of category 3).
bool UnitsSound() {
  const SlgBattleState& s = Battle().state;
  if (s.unit_count > kSlgMaxUnits) return false;
  for (uint32_t i = 0; i < s.unit_count; ++i) {
    const SlgUnit& u = s.units[i];
    const bool object = u.kind >= 80 && u.kind <= 143 && u.category == 3;
    if (!object && (u.kind >= kSlgUnitKinds || u.category >= kSlgCategories)) return false;
  }
  return true;
}

// ---- A real map's script ----

// The selector byte: 0 the entry's own test map, 1-27 the real map of that number (values wrap).
int SelectedMap(const Bytes& control, size_t at) {
  return ByteAt(control, at) % (kMapSetupRows + 1);
}

// Frames a real map plays after its battle starts: its opening and some rounds of moments.
constexpr int kMapFrameBound = 480;
// A moment every this many frames.
constexpr int kMomentFrames = 24;
// The frames a timed choice's window is given to open before its answer is keyed.
constexpr int kChoiceSettle = 40;

// The rules of a real map's frame besides the units': at most 64 fixed sprites, and no event
// object running (deploy state 1 or 2) of a kind beyond the event-animation table.
void CheckMapFrame(const char* name) {
  Check(Battle().fix_tasks.count <= kFixTaskMax, name, "more than 64 fixed sprites");
  const SlgBattleState& s = Battle().state;
  for (uint32_t i = 0; i < s.unit_count && i < kSlgMaxUnits; ++i) {
    const SlgUnit& u = s.units[i];
    if (u.category != 3 || (u.deploy_state != kEventObjDeployed &&
                            u.deploy_state != kEventObjRunning)) {
      continue;
    }
    Check(!EventKindBeyondTable(u.kind), name, "an event object beyond the animation table");
  }
}

// A real map's set-up (its row of the map set-up table) on the rig's battle of stage map - 1,
// the map's small stage (its cast, event objects, backgrounds and messages), played as a map's
// test plays it: messages that wait are answered, a timed choice is answered once its window has
// settled (with the next of the queued `answers`, each line 1-3 by its value, then with the line
// the moment byte due names), and every 24 frames a moment from the next byte of `moments`
// reaches turn control's slot: bit 0 a new round, bit 1 a chosen command (the byte's top three
// bits the choice), bit 2 the acting unit chosen, bit 3 a cover, bit 4 the same unit acting on.
// The battle's own rules (units, fixed sprites, the animation table) are checked every frame;
// the run ends at its frame bound (a map that ends its battle idles on there).
class RealMapPlay {
 public:
  RealMapPlay(testsupport::BattleRig& rig, int map, Bytes moments, Bytes answers)
      : rig_(rig), moments_(std::move(moments)), answers_(std::move(answers)),
        events_(*kMapEventSetupTable[static_cast<size_t>(map - 1)], &rig.driver()) {
    if (const testsupport::MapStage* stage = testsupport::FindMapStage(map)) {
      stub_kinds_ = stage->stub_kinds;
    }
    GetSystemData()->setBattleMap(static_cast<uint32_t>(map - 1));
    GetSystemData()->setVoiceOff(1);
    rig.driver().host_window().waits_for_other_threads = false;
    events_.InstallOn(rig.battle());
    rig.StubPhases([this](SlgMainWork*) { ApplyMoment(); });
  }

  // The rig's options: the battle started on its own (Slg::StartStage, as a map's test does), not
  // by the mode manager, whose battle start picks the map from the story's scene.
  static testsupport::BattleRig::Options Options(testsupport::BattleRig::Options options) {
    options.manager_mode = -1;
    return options;
  }

  // The install of stage map - 1 dressed with the map's small stage, its messages into
  // `messages`, every event face opening internal face 0.
  static testsupport::BattleInstall Install(int map, testsupport::MessageTableWriter& messages) {
    testsupport::BattleInstall install;
    install.stage.map = map - 1;
    if (const testsupport::MapStage* stage = testsupport::FindMapStage(map)) {
      testsupport::DressMapStage(*stage, install, messages);
    }
    install.stage.face_conv.fill(1);
    return install;
  }

  // Lays the install, the battle message file and the face files.
  static void Lay(const testsupport::BattleInstall& install,
                  const testsupport::MessageTableWriter& messages, testsupport::GameTree& tree) {
    install.Lay(tree);
    tree.Write(testsupport::SlgMessageRel(install.stage.map), messages.Bytes());
    testsupport::LayEventFaces(tree);
  }

  // `on_battle` runs once, on the first frame the battle exists.
  void Play(const char* name, const std::function<void()>& on_battle = {}) {
    bool started = false;
    Slg::StartStage();
    for (int f = 0; f < kMapFrameBound; ++f) {
      if (HasBattle()) {
        if (!started && on_battle) on_battle();
        started = true;
        Check(UnitsSound(), name, "a unit a stage may not create, or more than 64");
        CheckMapFrame(name);
        Answer(f);
        if (f % kMomentFrames == 0) due_ = ByteAt(moments_, next_++) | 0x100;
        for (const int kind : stub_kinds_) testsupport::BattleScript::InstallAttackStubs({kind});
      }
      if (!rig_.Step()) {
        Check(false, name, "the program stopped");
        break;
      }
    }
  }

 private:
  void Answer(int f) {
    if (Battle().message.wait_state == 1) {
      rig_.Schedule(
          {testsupport::GameKeyDown(f, kGameKey0), testsupport::GameKeyUp(f + 1, kGameKey0)});
    }
    const SlgEventRuntimeState& rt = Battle().Extension<SlgEventRuntimeState>();
    if (rt.choice_phase != 1) {
      choice_opened_ = -1;
      return;
    }
    if (choice_opened_ < 0) choice_opened_ = f;
    if (f != choice_opened_ + kChoiceSettle) return;
    const int line = next_answer_ < answers_.size()
                         ? 1 + (answers_[next_answer_++] + 2) % 3
                         : 1 + ByteAt(moments_, next_) % 3;
    int at = f + 1;
    for (int i = 1; i < line; ++i, at += 2) {
      rig_.Schedule({testsupport::GameKeyDown(at, kGameKeyDown),
                     testsupport::GameKeyUp(at + 1, kGameKeyDown)});
    }
    rig_.Schedule(
        {testsupport::GameKeyDown(at, kGameKey0), testsupport::GameKeyUp(at + 1, kGameKey0)});
  }

  // Turn control's slot: the due moment's bits into the timing word.
  void ApplyMoment() {
    Battle().player.last_choice = 0;
    if (due_ == 0) return;
    const int byte = due_ & 0xFF;
    due_ = 0;
    SlgBattleState& s = Battle().state;
    if ((byte & 0x01) != 0) {
      ++s.round;
      SlgSetMacroP(kSlgRoundVar, s.round);
      s.turn_counter = s.round;
      rig_.RaiseTiming(kTurnNewRound);
    }
    if ((byte & 0x02) != 0) {
      Battle().player.last_choice = static_cast<uint8_t>(byte >> 5);
      rig_.RaiseTiming(0x0002);
    }
    if ((byte & 0x04) != 0) rig_.RaiseTiming(kTurnActingChosen);
    if ((byte & 0x08) != 0) rig_.RaiseTiming(0x0010);
    if ((byte & 0x10) != 0) rig_.RaiseTiming(kTurnSameUnit);
  }

  testsupport::BattleRig& rig_;
  Bytes moments_;
  size_t next_ = 0;
  Bytes answers_;
  size_t next_answer_ = 0;
  std::vector<int> stub_kinds_;
  int due_ = 0;
  int choice_opened_ = -1;
  testsupport::ScopedEventTable events_;
};

// A real map's queued choice answers: the control block's bytes from 6 on.
Bytes QueuedAnswers(const Bytes& control) {
  return control.size() > 6 ? Bytes(control.begin() + 6, control.end()) : Bytes{};
}

// ---- The stage under an opening of event objects and a walk ----
constexpr const char* kStageName = "story_stage";
constexpr int kStageFrameBound = 360;

// What the input's control block asks of the opening: a third kind deployed (80 + byte, at or
// beyond the event-animation table's two rows), the point FindFreeCellNear starts from.
int32_t g_extra_kind = 82;
SlgPoint g_free_from{};

void DeployExtraKind() { EventDeployKind(g_extra_kind); }
void CheckFreeCell() {
  SlgPoint out;
  if (FindFreeCellNear(out, g_free_from.x, g_free_from.y) == 1) {
    const SlgCell cell = PosToCell(out.x, out.y);
    Check(cell.column >= 0 && cell.column < kSlgGridColumns && cell.row >= 0 &&
              cell.row < kSlgGridRows,
          kStageName, "a free cell off the grid");
  } else {
    Check(out.x == g_free_from.x && out.y == g_free_from.y, kStageName,
          "no free cell, and the point not handed back");
  }
}
// The event objects' animation: nothing to do but stay where they are.
int HoldStill(SlgUnit&, SlgPair&) { return 0; }
constexpr SlgEventAnmHandler kStageAnm[] = {&HoldStill, &HoldStill};

namespace S = EventSeq;
constexpr S::Op kStageOpening[] = {
    S::FadeIn(),
    S::DeployKind(80),
    S::DeployKind(81),
    S::Do(&DeployExtraKind),
    S::Do(&CheckFreeCell),
    S::WalkUnit(0, 0, 0, 288, 240, 2),
    S::Do(&CheckFreeCell),
    S::End(),
};
static_assert(S::Valid(kStageOpening));
constexpr SeqArgs kStageOpeningArgs{kStageOpening};
constexpr SlgEventEntry kStageTable[] = {
    {.id = 1, .timing = 0x8000, .guard = {1, 0}, .set = {1, 0}, .handler = &SeqRow,
     .arg = &kStageOpeningArgs},
    kEventTableEnd};

}  // namespace

// Input: control (byte 0 the choice's answer, 1-3 by its value mod 3; bytes 1-4 the generator's
// seed; byte 5 the map: 0 the test story, 1-27 that real map's script, values wrap; from byte 6
// a real map's queued choice answers), P[0-99] as
// 200 little-endian bytes (missing ones 0), the flags set once the battle is installed (16-bit
// numbers, at most 32), a real map's moments (one byte every 24 frames: RealMapPlay). Rules: the
// run ends within its frame bound (the program never stops on its own), the mode stays a
// battle's (26-28) or one the battle hands back to, at most 64 units of the kinds a stage may
// create; on a real map at most 64 fixed sprites and no event object beyond the animation table;
// no allocation is left behind.
void StoryStateEntry(const uint8_t* data, size_t size) {
  const std::vector<Bytes> parts = SplitParts(data, size, 4);
  const Bytes& control = parts[0];
  testsupport::BattleRig::Options options;
  options.manager_mode = 26;
  options.hash_frames = false;
  options.seed = static_cast<uint32_t>(ByteAt(control, 1) | ByteAt(control, 2) << 8 |
                                       ByteAt(control, 3) << 16 |
                                       static_cast<uint32_t>(ByteAt(control, 4)) << 24);
  const int map = SelectedMap(control, 5);
  testsupport::BattleRig rig(map != 0 ? RealMapPlay::Options(options) : options);
  // No rule reads the driver's frame and sound records (the frame's copy was a large part of an
  // input's time).
  testsupport::HeadlessRecordsOff(rig.driver());
  const auto set_variables = [&parts] {
    for (int p = 0; p < kVariables; ++p) {
      const size_t at = static_cast<size_t>(2 * p);
      SetMacroP(p, static_cast<uint16_t>(ByteAt(parts[1], at) | ByteAt(parts[1], at + 1) << 8));
    }
  };
  const Bytes& flags = parts[2];
  const auto set_flags = [&flags] {
    for (size_t i = 0; i + 1 < flags.size() && i / 2 < kMaxFlags; i += 2) {
      SetEventFlag(static_cast<uint32_t>(flags[i] | flags[i + 1] << 8));
    }
  };
  if (map != 0) {
    testsupport::MessageTableWriter messages;
    RealMapPlay::Lay(RealMapPlay::Install(map, messages), messages, rig.driver().tree);
    RealMapPlay play(rig, map, parts[3], QueuedAnswers(control));
    set_variables();
    play.Play(kName, set_flags);
    return;
  }
  testsupport::LayStoryFiles(rig);
  testsupport::StoryBattle story(rig, 1 + ByteAt(control, 0) % 3);
  set_variables();
  bool flags_set = false;
  for (int f = 0; f < kFrameBound; ++f) {
    const int mode = CTamvikGeneral::GetMode();
    if (f > 0 && (mode < 26 || mode > 28)) {
      Check(mode == 1 || mode == 32 || mode == 0, kName, "the battle handed back to no mode");
      break;
    }
    if (HasBattle()) {
      if (!flags_set) {
        flags_set = true;
        set_flags();
      }
      Check(UnitsSound(), kName, "a unit a stage may not create, or more than 64");
    }
    story.BeforeFrame();
    if (!rig.Step()) {
      Check(false, kName, "the program stopped");
      break;
    }
  }
}

// Input: control (byte 0 the extra kind's offset from 80; bytes 1-4 the free-cell point, x and y
// little-endian; byte 5 the map: 0 the test opening, 1-27 that real map's script, values wrap;
// from byte 6 a real map's queued choice answers),
// the stage table (MapNN.DAT) and the map data (MapNN.bin, both cell grids) of the builder's
// install, a real map's moments (RealMapPlay). The test opening fades in, deploys kinds 80, 81
// and the extra kind, looks for a free cell, walks the hero and looks again. Rules: at most 64
// units of the kinds a stage may create on every frame; a free cell found lies on the grid, none
// hands the point back; on a real map at most 64 fixed sprites and no event object beyond the
// animation table; the run ends within its bound; no allocation is left behind.
void StoryStageEntry(const uint8_t* data, size_t size) {
  const std::vector<Bytes> parts = SplitParts(data, size, 4);
  const Bytes& control = parts[0];
  g_extra_kind = 80 + ByteAt(control, 0);
  g_free_from = {static_cast<int16_t>(ByteAt(control, 1) | ByteAt(control, 2) << 8),
                 static_cast<int16_t>(ByteAt(control, 3) | ByteAt(control, 4) << 8)};
  testsupport::BattleRig::Options options;
  options.manager_mode = 26;
  options.hash_frames = false;
  const int map = SelectedMap(control, 5);
  testsupport::BattleRig rig(map != 0 ? RealMapPlay::Options(options) : options);
  testsupport::HeadlessRecordsOff(rig.driver());
  testsupport::MessageTableWriter messages;
  testsupport::BattleInstall install =
      map != 0 ? RealMapPlay::Install(map, messages) : testsupport::BattleInstall{};
  install.stage.SetRaw(testsupport::StageWriter::kStage, parts[1]);
  install.stage.SetRaw(testsupport::StageWriter::kMapData, parts[2]);
  if (map != 0) {
    RealMapPlay::Lay(install, messages, rig.driver().tree);
    RealMapPlay play(rig, map, parts[3], QueuedAnswers(control));
    play.Play(kStageName);
    return;
  }
  install.Lay(rig.driver().tree);
  testsupport::LayEventFaces(rig.driver().tree);
  rig.InstallEventTable(kStageTable);
  rig.InstallEventAnmTable(kStageAnm);
  for (int f = 0; f < kStageFrameBound; ++f) {
    const int mode = CTamvikGeneral::GetMode();
    if (f > 0 && (mode < 26 || mode > 28)) break;
    if (HasBattle()) Check(UnitsSound(), kStageName, "a unit a stage may not create, or more than 64");
    if (!rig.Step()) break;
  }
}

std::vector<Bytes> StoryStageSeeds() {
  using testsupport::StageWriter;
  StageWriter st = testsupport::MinimalStage();
  // Two event objects of kind 80 and one of 81, none present at the start.
  st.classes[2] = {80, 3, 0, 0};
  st.classes[3] = {81, 3, 0, 0};
  for (int i = 2; i < 5; ++i) {
    StageUnitEntry& e = st.units[static_cast<size_t>(i)];
    e.side = 2;
    e.class_index = static_cast<uint8_t>(i == 4 ? 3 : 2);
    e.x = static_cast<int16_t>(160 + 64 * i);
    e.y = 336;
    e.flags = 0x80;
    e.present = 0;
    e.placement_number = static_cast<uint8_t>(i == 3 ? 2 : 1);
  }
  st.header.num_unit = 5;
  std::vector<Bytes> seeds;
  seeds.push_back(JoinParts(
      {{0, 64, 1, 240, 0}, st.Bytes(StageWriter::kStage), st.Bytes(StageWriter::kMapData)}));
  // Real maps on the same stage: map 4's wind and its deferred set-up, map 19's drifting sprites,
  // map 22's merge, with new rounds, commands and actors as moments.
  for (const uint8_t map : {uint8_t{4}, uint8_t{19}, uint8_t{22}}) {
    StageWriter real = st;
    real.map = map - 1;
    seeds.push_back(JoinParts({{0, 64, 1, 240, 0, map}, real.Bytes(StageWriter::kStage),
                               real.Bytes(StageWriter::kMapData), {0x01, 0x00, 0x05, 0x42, 0x11}}));
  }
  // The walk's way walled, the extra kind far beyond the table, the point off the map.
  StageWriter walled = st;
  for (int row = 0; row < kSlgGridRows; ++row) {
    walled.grid1[static_cast<size_t>(row * kSlgGridColumns + 3)] =
        kSlgCellMoveStop | kSlgCellAttackStop;
  }
  seeds.push_back(JoinParts({{200, 0xFF, 0x7F, 0x00, 0x80}, walled.Bytes(StageWriter::kStage),
                             walled.Bytes(StageWriter::kMapData)}));
  return seeds;
}

namespace {

// P[index] := value in an input's variables part (200 little-endian bytes at most).
void PutWord(Bytes& b, int index, uint16_t value) {
  if (b.size() < static_cast<size_t>(2 * index + 2)) b.resize(static_cast<size_t>(2 * index + 2));
  b[static_cast<size_t>(2 * index)] = static_cast<uint8_t>(value);
  b[static_cast<size_t>(2 * index + 1)] = static_cast<uint8_t>(value >> 8);
}

// A real map's moments in the seeds: a new round, a command, an actor and a cover, the same unit.
const Bytes kMapMoments = {0x01, 0x00, 0x05, 0x42, 0x08, 0x11, 0x00, 0x01};

// A real map's control block: the generator's seed 1, the map, the queued answers.
Bytes MapControl(int map, const std::vector<int>& answers) {
  Bytes control = {0, 1, 0, 0, 0, static_cast<uint8_t>(map)};
  for (const int line : answers) control.push_back(static_cast<uint8_t>(line));
  return control;
}

}  // namespace

std::vector<Bytes> StoryStateSeeds() {
  std::vector<Bytes> seeds;
  // The story road as the test plays it, with no variables.
  seeds.push_back(JoinParts({{0, 11, 0, 0, 0}, {}, {}}));
  // Trust words at both ends and the FAD variables at odd values; the defeat's answer.
  Bytes vars;
  PutWord(vars, 40, 0);
  PutWord(vars, 60, 0xFFFF);
  PutWord(vars, 73, 0x8000);
  PutWord(vars, 83, 0x7FFF);
  PutWord(vars, 99, 1);
  seeds.push_back(JoinParts({{2, 3, 0, 0, 0}, vars, {}}));
  // The story's flags already set after the install: the opening and the choice done, the lost
  // flag, a flag past every row.
  Bytes flags;
  for (const uint16_t f : {uint16_t{101}, uint16_t{102}, uint16_t{120}, uint16_t{0xFFFF}}) {
    flags.push_back(static_cast<uint8_t>(f));
    flags.push_back(static_cast<uint8_t>(f >> 8));
  }
  seeds.push_back(JoinParts({{1, 5, 0, 0, 0}, vars, flags}));
  // Every real map with no variables, a new round, a command, an actor and a cover as moments;
  // then the maps whose story reads the variables most, with the values their tests use (the
  // second visit of map 19, the route heroine, the allowance of map 16).
  const Bytes& moments = kMapMoments;
  for (uint8_t map = 1; map <= kMapSetupRows; ++map) {
    seeds.push_back(JoinParts({{0, 1, 0, 0, 0, map}, {}, {}, moments}));
  }
  Bytes story;
  PutWord(story, 73, 1);
  PutWord(story, 80, 3);
  PutWord(story, 82, 2);
  PutWord(story, 83, 1);
  PutWord(story, 84, 1);
  for (const uint8_t map : {uint8_t{16}, uint8_t{18}, uint8_t{19}, uint8_t{21}, uint8_t{23}}) {
    seeds.push_back(JoinParts({{1, 2, 0, 0, 0, map}, story, flags, moments}));
  }
  return seeds;
}

// Each run row's story as the harness gives it: its P values, then its trust (stored with a bias
// of 32768 in the heroine's trust variable), the flags set once the battle is installed and the
// queued answers, on the row's map with the usual moments.
std::vector<RowSeed> StoryStateRowSeeds() {
  std::vector<RowSeed> seeds;
  for (const testsupport::MapRunStory& row : testsupport::MapRunStories()) {
    const testsupport::EventHarness::Inputs& in = row.inputs;
    Bytes vars;
    for (const auto& [n, value] : in.p) PutWord(vars, n, value);
    for (const auto& [heroine, trust] : in.trust) {
      PutWord(vars, kTrustSaveVars[static_cast<size_t>(heroine - 1)],
              static_cast<uint16_t>(static_cast<uint32_t>(trust) + 32768));
    }
    Bytes flags;
    for (const int f : in.flags) {
      flags.push_back(static_cast<uint8_t>(f));
      flags.push_back(static_cast<uint8_t>(f >> 8));
    }
    seeds.push_back({row.name, JoinParts({MapControl(row.map, in.answers), vars, flags,
                                          kMapMoments})});
  }
  return seeds;
}

// Each map's small stage (the stage table and map data its run rows play on) under its script.
std::vector<RowSeed> StoryStageRowSeeds() {
  using testsupport::StageWriter;
  std::vector<RowSeed> seeds;
  for (const int map : testsupport::DescribedMaps()) {
    testsupport::MessageTableWriter messages;
    const testsupport::BattleInstall install = RealMapPlay::Install(map, messages);
    seeds.push_back({"Map" + std::string(map < 10 ? "0" : "") + std::to_string(map),
                     JoinParts({MapControl(map, {}), install.stage.Bytes(StageWriter::kStage),
                                install.stage.Bytes(StageWriter::kMapData), kMapMoments})});
  }
  return seeds;
}

}  // namespace fuzz
