#include "battle_events/maps/map07.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_geometry.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_task.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_steps.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/commander_scenes.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/generic_rows.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "battle_events/runtime/event_script_helpers.h"
#include "battle_events/runtime/event_tone.h"
#include "battle_events/runtime/event_walks.h"
#include "engine/core/debug_trace.h"

Map07Words& Map07State() { return Battle().Extension<Map07Words>(); }

int32_t Map07LeaderFlag(int32_t trust2, int32_t trust6) {
  if (trust2 >= 25 && (trust6 < 25 || trust6 <= trust2)) return 120;
  if (trust6 >= 25 && (trust2 < 25 || trust6 > trust2)) return 125;
  return 0;
}

uint8_t Map07ShiftStat(uint8_t value, int32_t delta) {
  return static_cast<uint8_t>(std::clamp(int32_t{value} + delta, 0, 255));
}

int Map07AdvancePath() {
  Map07Words& w = Map07State();
  const auto count = static_cast<int32_t>(w.path.size());
  if (w.path_at >= count) return 1;
  if (w.path_frames < w.path_delay) {
    ++w.path_frames;
    return 0;
  }
  const Map07PathPoint& p = w.path[static_cast<size_t>(w.path_at)];
  if (w.path_moving == 0) {
    const SlgPair pos{p.x * 65536, p.y * 65536};
    // A point already inside the central box gives no move: it counts as reached.
    const SlgPair screen = Slg::PosToScreen(pos);
    const int32_t sx = screen.x >> 16;
    const int32_t sy = screen.y >> 16;
    if (sx >= -199 && sx <= 199 && sy >= -49 && sy <= 99) {
      ++w.path_at;
      return w.path_at >= count ? 1 : 0;
    }
    Slg::ScrollToPosSpeed(pos, p.speed);
    w.path_moving = 1;
  }
  if (Slg::ScrollStep() != 0) {
    w.path_moving = 0;
    ++w.path_at;
  }
  return w.path_at >= count ? 1 : 0;
}

namespace {

namespace S = EventSeq;

constexpr const char* kSeBank = "SEBE05.ALL";
// The commander: kind 25, and the group-2 unit of character 8.
constexpr int32_t kCommanderKind = 25;
constexpr int32_t kCommanderGroup = 2;
constexpr int32_t kCommanderCharacter = 8;
// The hidden soldiers the lines reveal.
constexpr int32_t kHiddenKind = 34;
// The enemy's group, cleared at the victory.
constexpr int32_t kEnemyGroup = 1;
// The kinds the opening hides and shows again.
constexpr std::array<int32_t, 4> kWaiting = {1, 3, 4, 5};

void LoadSeBank() { EventLoadSeBank(kSeBank); }
void ResetCurrentUnit() { Slg::ResetCurrentUnit(); }

// ---- 7097-7099: the silent events ----

void LeaderChoice(const SlgEventEntry&) {
  const int32_t flag = Map07LeaderFlag(GetTrustVar(2), GetTrustVar(6));
  if (flag != 0) SetEventFlag(static_cast<uint32_t>(flag));
  EventEnd();
}

// The ADV variable of each character's stat shift (characters 0-6).
constexpr std::array<int, 7> kShiftVariables = {77, 17, 27, 37, 57, 67, 47};

void StatShifts(const SlgEventEntry&) {
  for (size_t c = 0; c < kShiftVariables.size(); ++c) {
    const uint16_t p = SlgGetMacroP(kShiftVariables[c]);
    if (p != 1 && p != 2) continue;
    SlgUnit* unit = LivePartyUnit(static_cast<int32_t>(c));
    if (unit == nullptr) continue;
    SlgUnitStats& s = unit->stats;
    // The bytes are unsigned: each result is held to 0 .. 255 rather than wrapping.
    s.extra_attack = Map07ShiftStat(s.extra_attack, p == 1 ? 3 : -3);
    s.extra_defence = Map07ShiftStat(s.extra_defence, p == 1 ? -3 : 4);
    Slg::RecalcUnitStats(*unit);
  }
  EventEnd();
}

constexpr std::array<int32_t, 8> kLifeSixteenths = {15, 14, 13, 12, 11, 10, 9, 8};

void LifeCuts(const SlgEventEntry&) {
  for (auto [variable, character] : {std::pair{29, 2}, std::pair{49, 6}}) {
    SlgUnit* unit = LivePartyUnit(character);
    if (unit == nullptr) continue;
    const int32_t max_life = int32_t{unit->stats.max_life} * 2 / 3;
    const size_t at = std::min<size_t>(SlgGetMacroP(variable), kLifeSixteenths.size() - 1);
    unit->stats.max_life = static_cast<int16_t>(max_life);
    unit->stats.life = static_cast<int16_t>(kLifeSixteenths[at] * max_life / 16);
  }
  EventEnd();
}

// ---- The long moves ----

struct LongMove {
  uint8_t mode;  // 0: the group-0 unit of a character; 1: the unit of a kind and number
  int32_t who;   // the character, or the kind
  int32_t number;
  int32_t delay;
  std::span<const SlgPoint> points;
};

constexpr std::array<SlgPoint, 4> kPointsA = {{{334, 598}, {190, 960}, {142, 986}, {382, 1106}}};
constexpr std::array<SlgPoint, 3> kPointsB = {{{380, 622}, {236, 986}, {384, 1056}}};
constexpr std::array<SlgPoint, 4> kPointsC = {{{288, 574}, {142, 938}, {46, 986}, {286, 1104}}};
constexpr std::array<SlgPoint, 1> kPointsD = {{{290, 576}}};
constexpr std::array<SlgPoint, 1> kPointsE = {{{288, 672}}};
constexpr std::array<SlgPoint, 1> kPointsF = {{{382, 624}}};
constexpr std::array<LongMove, 6> kLongMoves = {{
    {0, 0, 0, 20, kPointsA},
    {0, 2, 0, 24, kPointsB},
    {0, 6, 0, 22, kPointsC},
    {1, 14, 1, 38, kPointsD},
    {1, 14, 2, 38, kPointsE},
    {1, 14, 3, 38, kPointsF},
}};
constexpr int32_t kLongMoveWalkFlag = 1;

// The long move's record: index = its descriptor, signal = the next point, owned[0] = its route
// work area. Phase 0 waits for the delay, 1 takes the work area, 2 walks.
void LongMoveTask(SlgEffectTask* t) {
  Map07Words& w = Map07State();
  const LongMove& m = kLongMoves[t->index % kLongMoves.size()];
  auto finish = [&] {
    w.moves_running = std::max(0, w.moves_running - 1);
    SlgTaskEnd(t);  // frees the work area with the record's owned slots
  };
  if (HasEventTable() == 0) {
    finish();
    return;
  }
  switch (t->phase) {
    case 0:
      if (t->frames < m.delay) return;
      t->phase = 1;
      [[fallthrough]];
    case 1:
      t->owned[0] = RouteWorkAlloc();
      if (t->owned[0] == nullptr) return;  // tried again next frame
      t->phase = 2;
      [[fallthrough]];
    default: {
      auto* work = static_cast<RouteWork*>(t->owned[0]);
      SlgUnit* unit = m.mode == 0 ? LivePartyUnit(m.who) : LiveUnitByIndex(m.who, m.number * 256);
      if (unit == nullptr) {
        // A missing unit has no walk to make: its points are done at once.
        DebugPrint("map 7: long move %d: no unit\n", int{t->index});
        finish();
        return;
      }
      const SlgPoint& p = m.points[t->signal];
      const SlgPoint to = CellToPosHeight(p.x, p.y);
      const int done = m.mode == 0
                           ? EventWalkObj(work, unit, to.x, to.y, kLongMoveWalkFlag)
                           : EventWalkKindNo(work, m.who, m.number * 256, to.x, to.y,
                                             kLongMoveWalkFlag);
      if (done != 0 && ++t->signal >= m.points.size()) finish();
      return;
    }
  }
}

void StartLongMoves() {
  Map07Words& w = Map07State();
  for (size_t i = 0; i < kLongMoves.size(); ++i) {
    char name[40];
    std::snprintf(name, sizeof name, kMap07LongMoveName, w.moves_started++);
    SlgEffectTask* t = SlgTaskCreate(SlgTaskOwner(), &LongMoveTask, name);
    if (t == nullptr) {
      DebugPrint("map 7: long move %zu not started\n", i);
      continue;
    }
    t->index = static_cast<uint8_t>(i);
    ++w.moves_running;
  }
}
int MovesDone() { return Map07State().moves_running == 0 ? 1 : 0; }

void StartPath(std::span<const Map07PathPoint> path, int32_t delay) {
  Map07Words& w = Map07State();
  w.path = path;
  w.path_delay = delay;
  w.path_frames = 0;
  w.path_at = 0;
  w.path_moving = 0;
}
int PathEnded() {
  const Map07Words& w = Map07State();
  return w.path_at >= static_cast<int32_t>(w.path.size()) ? 1 : 0;
}

// The openings' rows: the camera path advances every frame beside the step sequence.
void PathSeqRow(const SlgEventEntry& row) {
  Map07AdvancePath();
  SeqRow(row);
}

// ---- 7100: the first opening ----

constexpr std::array<Map07PathPoint, 3> kPath1 = {{{320, 598, 2}, {320, 1106, 2}, {812, 408, 4}}};
constexpr int32_t kPath1Delay = 120;

int32_t& MechanismStage() { return CommanderScenes().mechanism; }
int32_t& ReleaseSignal() { return CommanderScenes().drop; }

void Opening1() {
  Map07Words& w = Map07State();
  CommanderScenes().drop = 0;
  CommanderScenes().mechanism = 0;
  w.moves_running = 0;
  for (int32_t k : kWaiting) EventClearKindFlag(k, kShowFlag);
  EventRedeployKind(kCommanderKind);
  EventLoadBin("EVS07100.BIN", kEventBinAddress);
  DeployKinds(80, 83);
  StartLongMoves();
  StartPath(kPath1, kPath1Delay);
  LoadSeBank();
}
void Grow() {
  CommanderScenes().mechanism = 1;
  SlgSePlay(242);
}
void Release() {
  CommanderScenes().drop = 1;
  SlgSePlay(243);
}
void Shrink() {
  CommanderScenes().mechanism = 3;
  SlgSePlay(242);
}
void MechanismGone() { UndeployKinds(80, 83); }

constexpr auto k10000 = TalkList({{273, 10000}, {271, 10051}});

constexpr S::Op kOpening7100[] = {
    S::Do(&Opening1),
    S::FadeIn(),
    S::Custom(&MovesDone),
    S::Message(273, 10050),
    S::Do(&LoadSeBank),
    S::Custom(&PathEnded),
    S::Do(&Grow),
    S::HoldUntil(&MechanismStage, 2, {82}),
    S::Wait(30),
    S::Do(&Release),
    S::Message(271, 3347),
    S::HoldUntil(&ReleaseSignal, 0, {80, 81}),
    S::Do(&Shrink),
    S::HoldUntil(&MechanismStage, 4, {82}),
    S::Do(&MechanismGone),
    S::Wait(30),
    S::Messages(k10000),
    S::End(),
};
static_assert(S::Valid(kOpening7100));
constexpr SeqArgs kOpening7100Args{kOpening7100};

// ---- 7101: the second opening ----

constexpr std::array<Map07PathPoint, 2> kPath2 = {{{320, 1106, 4}, {238, 1464, 4}}};
constexpr uint8_t kReveal17[] = {kHiddenKind, 17, kHiddenKind, 18};

void Opening2() {
  StartPath(kPath2, 0);
  EventLoadBin("EVS07101.BIN", kEventBinAddress);
}
void Arrival() {
  SlgSePlay(134);
  DeployKinds(84, 87);
}
void ArrivalHold() { DeployKinds(88, 91); }
void ArrivalOnceGone() { UndeployKinds(84, 87); }
void ArrivalResume() {
  SlgSePlay(131);
  for (int32_t k = 88; k <= 91; ++k) EventResumeKindAnm(k);
  BGMPlayStart(13);
}
int Reveal17() { return EventRevealUnits(kReveal17, 2); }
void ArrivalGone() {
  UndeployKinds(88, 91);
  for (int32_t k : kWaiting) EventSetKindFlag(k, kShowFlag);
}
void PartyReady() {
  for (int32_t c : {1, 3, 4, 5}) {
    if (SlgUnit* u = LivePartyUnit(c); u != nullptr) SetUnitState(*u, 0);
  }
}

constexpr auto k10001 = TalkList({{132, 10001}, {67, 10002}, {33, 10003}, {2, 10004}});

constexpr S::Op kOpening7101[] = {
    S::Do(&Opening2),
    S::Custom(&PathEnded),
    S::Wait(15),
    S::Do(&Arrival),
    S::Wait(15),
    S::Do(&ArrivalHold),
    S::Wait(75),
    S::Do(&ArrivalOnceGone),
    S::Message(29, 3040),
    S::Do(&ArrivalResume),
    S::Wait(90),
    S::Message(273, 3041),
    S::Custom(&Reveal17),
    S::Do(&ArrivalGone),
    S::FocusUnit(0, 5),
    S::Messages(k10001),
    S::Do(&PartyReady),
    S::FocusActing(),
    S::End(),
};
static_assert(S::Valid(kOpening7101));
constexpr SeqArgs kOpening7101Args{kOpening7101};

// ---- 7104 and 7108: the lines crossed ----

// A hidden soldier's placement entry moved to the cell of (x, y), the soldier made from it and
// marked (its update hides its body).
void BringHidden(int32_t number, int32_t x, int32_t y) {
  const SlgPoint cell = SnapPosToCell(x, y);
  EventSetKindNoPlaceCell(kHiddenKind, number * 256, cell.x, cell.y);
  EventRedeployKindNo(kHiddenKind, number * 256);
  EventMarkKindNo(kHiddenKind, number * 256);
}

constexpr std::array<SlgPoint, 6> kLine1Cells = {
    {{768, 536}, {568, 576}, {912, 456}, {576, 480}, {960, 376}, {816, 360}}};
constexpr uint8_t kReveal21[] = {kHiddenKind, 21, kHiddenKind, 22, kHiddenKind, 23,
                                 kHiddenKind, 24, kHiddenKind, 25, kHiddenKind, 26};
constexpr uint8_t kReveal19[] = {kHiddenKind, 19, kHiddenKind, 20};

void Line1Scene() {
  EventNopLoad("EVE205.BIN");
}
void Line1Bg() { EventShowBG(205); }
void Line1Soldiers() {
  EventFreeBG();
  for (size_t i = 0; i < kLine1Cells.size(); ++i) {
    BringHidden(21 + static_cast<int32_t>(i), kLine1Cells[i].x, kLine1Cells[i].y);
  }
}
void Line1Music() {
  LoadSeBank();
  BGMPlayStart(16);
}
int Reveal21() { return EventRevealUnits(kReveal21, 6); }
int Reveal19() { return EventRevealUnits(kReveal19, 2); }
// The commander fades out; nothing to fade when it is not on the map.
int VanishCommander() { return EventVanishUnit(LiveUnitOfKind(kCommanderKind)); }

constexpr auto k3042 = TalkList({{273, 3042}, {273, 10009}});
constexpr auto k10105 = TalkList({{239, 10105}, {239, 10106}});

constexpr S::Op kLine7104[] = {
    S::FadeOutMusic(),
    S::Do(&Line1Scene),
    S::FocusUnit(kCommanderGroup, kCommanderCharacter),
    S::Do(&Line1Bg),
    S::Messages(k3042),
    S::Do(&Line1Soldiers),
    S::Do(&Line1Music),
    S::Custom(&Reveal21),
    S::Message(273, 10010),
    S::Custom(&VanishCommander),
    S::RemoveChara(kCommanderGroup, kCommanderCharacter),
    S::Wait(60),
    S::Messages(k10105),
    S::Wait(30),
    S::Do(&ResetCurrentUnit),
    S::End(),
};
static_assert(S::Valid(kLine7104));
constexpr SeqArgs kLine7104Args{kLine7104};

void Line2Soldiers() {
  LoadSeBank();
  BringHidden(19, 1680, 1392);
  BringHidden(20, 1726, 1370);
  LoadSeBank();
}

constexpr S::Op kLine7108[] = {
    S::Do(&Line2Soldiers),
    S::Message(273, 10015),
    S::Wait(30),
    S::Custom(&Reveal19),
    S::Message(273, 10016),
    S::Wait(30),
    S::Do(&ResetCurrentUnit),
    S::End(),
};
static_assert(S::Valid(kLine7108));
constexpr SeqArgs kLine7108Args{kLine7108};

// ---- 7109 and 7110: the meeting of heroines 2 and 6 ----

struct MeetingDesc {
  EventMessageRef opening;
  std::span<const EventMessageRef> list3;
  EventMessageRef closing;
  std::span<const EventMessageRef> list4;
};

constexpr auto kMeetingList1 = TalkList({{68, 10019}, {67, 10020}});
constexpr auto kMeetingList2 = TalkList({{132, 10021}, {130, 10022}});

constexpr std::array<S::Op, 34> MeetingOps(const MeetingDesc& d) {
  return {{
      S::Custom(&EventReady),
      S::Message(d.opening.face, d.opening.message),
      S::Wait(30),
      S::TimedChoice(10047, 120),
      S::Wait(30),
      S::Branch({{1, 1}, {2, 2}}, 3),
      S::Label(1),
      S::Se(20),
      S::Message(129, 10018),
      S::AddHeroineParam(6, 5),
      S::Se(21),
      S::Messages(kMeetingList1),
      S::AddHeroineParam(2, -5),
      S::Goto(9),
      S::Label(2),
      S::Se(21),
      S::Messages(kMeetingList2),
      S::AddHeroineParam(6, -5),
      S::Se(20),
      S::Message(66, 10023),
      S::AddHeroineParam(2, 5),
      S::Goto(9),
      S::Label(3),
      S::Messages(d.list3),
      S::AddHeroineParam(2, 3),
      S::AddHeroineParam(6, 3),
      S::SetFlag(200),
      S::Se(20),
      S::Message(d.closing.face, d.closing.message),
      S::Se(20),
      S::Messages(d.list4),
      S::Label(9),
      S::Wait(30),
      S::End(),
  }};
}

constexpr auto k10024 = TalkList({{128, 10024}, {67, 10025}, {130, 10026}, {4, 10027}, {4, 10028}});
constexpr auto k10030 = TalkList({{65, 10030}, {65, 10031}, {129, 10032}});
constexpr auto k10034 = TalkList({{65, 10034}, {130, 10035}, {67, 10036}, {4, 10027}, {4, 10028}});
constexpr auto k10038 = TalkList({{128, 10038}, {128, 10039}, {66, 10040}});
constexpr MeetingDesc kMeeting2{{130, 10017}, k10024, {132, 10029}, k10030};
constexpr MeetingDesc kMeeting6{{67, 10033}, k10034, {69, 10037}, k10038};
constexpr auto kMeeting7109 = MeetingOps(kMeeting2);
constexpr auto kMeeting7110 = MeetingOps(kMeeting6);
static_assert(S::Valid(kMeeting7109) && S::Valid(kMeeting7110));
constexpr SeqArgs kMeeting7109Args{kMeeting7109};
constexpr SeqArgs kMeeting7110Args{kMeeting7110};

// ---- 7105: the victory ----

constexpr uint16_t kWhiteFlag = 0x40;
// The closing cells of characters 0-6 (half map pixels).
constexpr std::array<SlgPoint, 7> kClosingCells = {
    {{360, 228}, {436, 216}, {480, 216}, {528, 216}, {408, 256}, {456, 252}, {456, 184}}};

void VictoryWhiteOut() {
  SlgWhiteOut(32);
  LoadSeBank();
  Battle().flags = static_cast<uint16_t>(Battle().flags | kWhiteFlag);
}

// Every unit of group 1 taken off the map, the absent heroines made again from their placement
// entries (their stats computed as the battle's initialisation does for the player's side), the
// commander made again.
void VictoryStage() {
  SlgBattleState& s = Battle().state;
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    if (s.units[i].side == kEnemyGroup && SlgUnitLive(s.units[i])) EventRemoveUnit(&s.units[i]);
  }
  Slg::PurgeDeadUnits();
  const StageTable* stage = Battle().stage.get();
  for (int32_t c : {1, 2, 3, 4, 6, 5}) {
    if (LivePartyUnit(c) != nullptr) continue;
    EventRemoveChara(0, c);
    if (stage == nullptr) continue;
    for (int n = 0; n < stage->unit_count(); ++n) {
      if (stage->class_entry(stage->unit(n).class_index).kind != c) continue;
      const uint8_t slot = Slg::CreateUnit(*stage, n);
      if (slot == kSlgCreateRefused) continue;
      SlgUnit& u = s.units[slot];
      Slg::PlaceUnit(u);
      Slg::RecalcUnitStats(u);
    }
  }
  EventRedeployKind(kCommanderKind);
  Eve::StartFadeOutMusic();
}
void VictoryLoad() {
  LoadSeBank();
  EventLoadBin("EVS07105.BIN", kEventBinAddress);
}
void ClosingCells() {
  for (size_t c = 0; c < kClosingCells.size(); ++c) {
    SlgUnit* u = LivePartyUnit(static_cast<int32_t>(c));
    if (u == nullptr) continue;
    EventPlaceUnitAt(u, kClosingCells[c].x * 2, kClosingCells[c].y * 2, 3);
    Slg::SetUnitDir(*u, 3);
    SetUnitState(*u, 0);
  }
  SlgWhiteIn(32);
}
void WhiteFlagOff() { Battle().flags = static_cast<uint16_t>(Battle().flags & ~kWhiteFlag); }
void Bgm18() { BGMPlayStart(18); }
void Epilogue() { EventShowBG(105); }

constexpr auto k3043 = TalkList({{13, 3043}, {273, 3044}});
constexpr auto k3046 =
    TalkList({{273, 3046}, {11, 10011}, {128, 10012}, {129, 670}, {66, 671}});

constexpr S::Op kVictory7105[] = {
    S::Do(&VictoryWhiteOut),
    S::Wait(31),
    S::Do(&VictoryStage),
    S::Do(&VictoryLoad),
    S::FocusUnit(kCommanderGroup, kCommanderCharacter),
    S::Do(&ClosingCells),
    S::Wait(31),
    S::Do(&WhiteFlagOff),
    S::Messages(k3043),
    S::DeployKind(92),
    S::Wait(160),
    S::UndeployKind(92),
    S::Message(29, 3045),
    S::Custom(&VanishCommander),
    S::RemoveChara(kCommanderGroup, kCommanderCharacter),
    S::Do(&Bgm18),
    S::Messages(k3046),
    S::Do(&Epilogue),
    S::Message(12, 672),
    S::StartGameWin(),
    S::End(),
};
static_assert(S::Valid(kVictory7105));
constexpr SeqArgs kVictory7105Args{kVictory7105};

// ---- The lines ----

// "((!NP(c))&((0>=LP(c,-1,x,y))&(0<=LP(c,1,x,y))))" for the seven characters joined by "|" and
// ended by ";": a party member standing between the two diagonals through (x, y).
constexpr std::array<const char*, 7> kLineCharacters = {"IKD", "ITV", "IDV", "ILN",
                                                        "IYS", "ITZ", "IBS"};
constexpr size_t kLineBytes = 640;

struct LineText {
  std::array<char, kLineBytes> text{};
  size_t size = 0;
  constexpr void Add(const char* s) {
    while (*s != '\0') text[size++] = *s++;
  }
  constexpr void Add(int32_t n) {
    char digits[12]{};
    int at = 0;
    do {
      digits[at++] = static_cast<char>('0' + n % 10);
      n /= 10;
    } while (n > 0);
    while (at > 0) text[size++] = digits[--at];
  }
};

constexpr LineText LineCondition(int32_t x, int32_t y) {
  LineText t;
  for (size_t i = 0; i < kLineCharacters.size(); ++i) {
    const char* c = kLineCharacters[i];
    if (i != 0) t.Add("|");
    t.Add("((!NP(");
    t.Add(c);
    t.Add("))&((0>=LP(");
    t.Add(c);
    t.Add(",-1,");
    t.Add(x);
    t.Add(",");
    t.Add(y);
    t.Add("))&(0<=LP(");
    t.Add(c);
    t.Add(",1,");
    t.Add(x);
    t.Add(",");
    t.Add(y);
    t.Add("))))");
  }
  t.Add(";");
  return t;
}
constexpr LineText kLine1 = LineCondition(624, 744);
constexpr LineText kLine2 = LineCondition(910, 1176);
static_assert(kLine1.size < kLineBytes && kLine2.size < kLineBytes);

// ---- The talks ----

constexpr auto k35000 = TalkList({{129, 35000}, {129, 35001}, {129, 35002}, {129, 35003}});
constexpr auto k35005 = TalkList({{65, 35005}, {66, 35006}, {65, 35007}});
constexpr auto k10005 = TalkList({{130, 10005}, {67, 10006}});
constexpr auto k10007 = TalkList({{67, 10007}, {130, 10008}});
constexpr auto k10013 = TalkList({{239, 10013}});
constexpr auto k10014 = TalkList({{239, 10014}});
constexpr auto k10041 = TalkList({{239, 10041}});
constexpr auto k10042 = TalkList({{239, 10042}});
constexpr auto k10043 = TalkList({{128, 10043}});
constexpr auto k10044 = TalkList({{128, 10044}});
constexpr auto k10045 = TalkList({{65, 10045}});
constexpr auto k10046 = TalkList({{65, 10046}});
constexpr auto k10100 = TalkList({{210, 10100}});
constexpr auto k10110 = TalkList({{239, 10110}});
constexpr auto k60000 = TalkList({{273, 60000}, {273, 60010}});
constexpr TalkListArgs k7080{k35000}, k7085{k35005}, k7102{k10005}, k7103{k10007},
    k7106{k10013}, k7107{k10014}, k7111{k10041}, k7112{k10042}, k7113{k10043}, k7114{k10044},
    k7115{k10045}, k7116{k10046}, k7117{k10100}, k7120{k10110}, k7400{k60000};

// ---- The table ----

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 7080, .timing = 0x2, .a = "F(125);", .b = "M(MAD);", .guard = {120, 108},
     .set = {120, 0}, .handler = &WaitTalkListRow, .arg = &k7080},
    {.id = 7085, .timing = 0x2, .a = "F(120);", .b = "M(MAD);", .guard = {125, 108},
     .set = {125, 0}, .handler = &WaitTalkListRow, .arg = &k7085},
    {.id = 7097, .timing = 0x8000, .guard = {97, 0}, .set = {97, 0}, .handler = &LeaderChoice},
    {.id = 7098, .timing = 0x8000, .b = "1=FAD(85);", .guard = {98, 0}, .set = {98, 0},
     .handler = &StatShifts},
    {.id = 7099, .timing = 0x8000, .guard = {99, 0}, .set = {99, 0}, .handler = &LifeCuts},
    {.id = 7100, .timing = 0x8000, .a = "F(99);", .guard = {100, 0}, .set = {100, 0},
     .handler = &PathSeqRow, .arg = &kOpening7100Args},
    {.id = 7101, .timing = 0x8000, .a = "F(100);", .guard = {101, 0}, .set = {101, 0},
     .handler = &PathSeqRow, .arg = &kOpening7101Args},
    {.id = 7102, .timing = 0x4, .b = "(4!=UAJ(GPL,UDV,GPL,UBS))&(PFP(IDV));",
     .guard = {102, 113}, .c = "F(115)|F(110)|F(200);", .set = {102, 0},
     .handler = &WaitTalkListRow, .arg = &k7102},
    {.id = 7103, .timing = 0x4, .b = "(4!=UAJ(GPL,UBS,GPL,UDV))&(PFP(IBS));",
     .guard = {103, 113}, .c = "F(115)|F(109)|F(200);", .set = {103, 0},
     .handler = &WaitTalkListRow, .arg = &k7103},
    {.id = 7104, .timing = 0x4, .b = kLine1.text.data(), .guard = {104, 0}, .set = {104, 0},
     .handler = &SeqRow, .arg = &kLine7104Args},
    {.id = 7105, .timing = 0x8000, .a = "F(104);", .b = "NU(UBE);", .guard = {105, 0},
     .set = {105, 0}, .handler = &SeqRow, .arg = &kVictory7105Args},
    {.id = 7106, .timing = 0x2, .b = "M(MAD);", .guard = {106, 108}, .c = "F(104);",
     .set = {106, 0}, .clear = {107, 0}, .handler = &WaitTalkListRow, .arg = &k7106},
    {.id = 7107, .timing = 0x2, .b = "M(MAD);", .guard = {107, 108}, .c = "F(104);",
     .set = {107, 0}, .clear = {106, 0}, .handler = &WaitTalkListRow, .arg = &k7107},
    {.id = 7108, .timing = 0x4, .b = kLine2.text.data(), .guard = {108, 104}, .set = {108, 0},
     .handler = &SeqRow, .arg = &kLine7108Args},
    {.id = 7109, .timing = 0x8000, .a = "F(102);", .guard = {109, 110}, .set = {109, 0},
     .handler = &SeqRow, .arg = &kMeeting7109Args},
    {.id = 7110, .timing = 0x8000, .a = "F(103);", .guard = {110, 109}, .set = {110, 0},
     .handler = &SeqRow, .arg = &kMeeting7110Args},
    {.id = 7111, .timing = 0x2, .a = "F(108);", .b = "M(MAD);", .guard = {111, 104},
     .set = {111, 0}, .clear = {112, 0}, .handler = &WaitTalkListRow, .arg = &k7111},
    {.id = 7112, .timing = 0x2, .a = "F(108);", .b = "M(MAD);", .guard = {112, 104},
     .set = {112, 0}, .clear = {111, 0}, .handler = &WaitTalkListRow, .arg = &k7112},
    {.id = 7113, .timing = 0x4, .a = "F(200);", .b = "KP(IDV);", .guard = {113, 0},
     .c = "NP(IBS);", .set = {113, 0}, .handler = &WaitTalkListRow, .arg = &k7113},
    {.id = 7114, .timing = 0x4, .a = "F(113);", .b = "KP(IDV);", .guard = {114, 0},
     .c = "NP(IBS);", .set = {114, 0}, .handler = &WaitTalkListRow, .arg = &k7114},
    {.id = 7115, .timing = 0x4, .a = "F(200);", .b = "KP(IBS);", .guard = {115, 0},
     .c = "NP(IDV);", .set = {115, 0}, .handler = &WaitTalkListRow, .arg = &k7115},
    {.id = 7116, .timing = 0x4, .a = "F(115);", .b = "KP(IBS);", .guard = {116, 0},
     .c = "NP(IDV);", .set = {116, 0}, .handler = &WaitTalkListRow, .arg = &k7116},
    {.id = 7117, .timing = 0x8, .a = "F(98);", .b = "PP(ITZ);", .guard = {117, 0},
     .set = {117, 0}, .handler = &WaitTalkListRow, .arg = &k7117},
    {.id = 7120, .timing = 0x2, .a = "F(104);", .b = "M(MAD);", .handler = &WaitTalkListRow,
     .arg = &k7120},
    {.id = 7400, .timing = 0x8, .b = "(5<=T())&PGU(GBO,UKJ);", .guard = {400, 0},
     .set = {400, 0}, .handler = &WaitTalkListRow, .arg = &k7400},
});

// The standard lines, but for heroine 2's and heroine 6's remarks with faces 66 and 129.
constexpr GenericTalkSet kTalks = [] {
  GenericTalkSet t = StandardTalkPairs();
  t.ref_talks[1].face = 66;
  t.ref_talks[4].face = 129;
  t.ref_talks2[1].face = 66;
  t.ref_talks2[4].face = 129;
  return t;
}();
constexpr uint8_t kMembers = kITV | kIDV | kILN | kIYS | kIBS | kITZ;
constexpr GenericDesc kGeneric{
    .talks = &kTalks,
    .falls = {.base = 7500, .members = kMembers},
    .ref_talks = {.base = 7520, .members = kMembers},
    .ref_talks2 = {.base = 7530, .members = kMembers},
    .char_talks = {.base = 7600, .members = kMembers},
    .favourite_chance = 10,
    .talk_chance = 20,
    .talk_c = kNoEventCondition,
    .favourite_c = "NP(IMR());"};

constexpr auto kTable = JoinRows(kStoryRows, GenericRows<kGeneric>());
static_assert(kTable.size() == 50 + 1);

// ---- The map's objects ----

// Where the falling parts land (map pixel y).
constexpr int32_t kPartsFloor = 440;

// Kind 92: its body and its second object both at its drawing position each frame.
int TwoSprites(SlgUnit& unit, SlgPair& position) {
  if (unit.state == 0) {
    EventObjPlace(unit);
    SetUnitState(unit, 1);
  }
  position = Slg::PosToScreen({unit.x, unit.y});
  for (SlgAnmObj* obj : {unit.anm, unit.anm2}) {
    if (obj == nullptr) continue;
    SetAnmPos(obj, position);
    SlgSprSetPos(obj->handle, position);
  }
  return 0;
}

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap07ObjectKinds> t{};
  auto set = [&](int first, int last, SlgEventAnmHandler h) {
    for (int k = first; k <= last; ++k) t[static_cast<size_t>(k - 80)] = h;
  };
  set(80, 81, &FallingPart<kPartsFloor>);
  set(82, 82, &GrowingMechanism);
  set(83, 83, &MechanismDecoration);
  set(84, 87, EventAnmOnce);
  set(88, 91, EventAnmHoldSnapHeld);
  set(92, 92, &TwoSprites);
  return t;
}();

}  // namespace

const MapSetup kMap07Setup{.bgm = MapBgm::Play(6), .table = kTable.data(), .anm_table = kAnm};
