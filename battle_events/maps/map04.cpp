#include "battle_events/maps/map04.h"

#include <algorithm>
#include <array>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_commands.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_hits.h"
#include "battle/slg_map.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_search.h"
#include "battle/slg_sound.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_steps.h"
#include "battle_events/event_units.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/generic_rows.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/maps/kit/replay_motion.h"
#include "battle_events/runtime/effect_objects.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "battle_events/runtime/event_script_helpers.h"
#include "battle_events/runtime/event_tone.h"
#include "battle_events/runtime/event_walks.h"
#include "engine/core/debug_trace.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

Map04Words& Map04State() { return Battle().Extension<Map04Words>(); }

namespace {

namespace S = EventSeq;

// ---- The map words as the holds read them ----

int32_t& CarrierSignal1() { return Map04State().carrier1; }
int32_t& CarrierSignal2() { return Map04State().carrier2; }

constexpr const char* kSeBank = "SEBE03.ALL";
// The party's kinds hidden through the openings (heroine 3 walks ahead alone).
constexpr std::array<int32_t, 5> kPartyKinds = {0, 1, 2, 5, 6};
// The heroine who walks ahead: character 3 of the player's group.
constexpr int32_t kScout = 3;
// The soldiers of the opening: kind 14, placement numbers 1-6 (x 256).
constexpr int32_t kSoldierKind = 14;
constexpr int32_t kNumber = 256;
// The opponent the scout strikes: group 2, character 9; the commander's kind 23.
constexpr int32_t kOpponentGroup = 2;
constexpr int32_t kOpponentCharacter = 9;
constexpr int32_t kCommanderKind = 23;
// The opponent's life after the scout's strike.
constexpr int32_t kStruckLife = 10;
// The unit states the opening sets: the attack's lead-in, a fall.
constexpr uint8_t kStateLeadIn = 5;
constexpr uint8_t kStateFall = 15;
// The blocked bit of a cell word (both grids) and the cell the opening blocks.
constexpr uint32_t kCellBlocked = 0x400;
constexpr SlgPoint kBlockedPoint = {1100, 504};
// A fade's levels and its delay before the first step (frames).
constexpr int32_t kFadeFrom = 31;
constexpr int32_t kFadeDelay = 3;

// The face tables of the two lists that name the leading heroine (by character 0-6), and the
// face that characters 3 and 4 take there (character 1's).
constexpr std::array<uint16_t, 7> kArrivalFaces = {0, 29, 74, 0, 0, 209, 137};
constexpr std::array<uint16_t, 7> kFarewellFaces = {0, 33, 78, 0, 0, 213, 141};
constexpr int32_t kStandInHeroine = 1;
// The lines of the goal area and of the goal cell, by the character that reached it (0-6).
constexpr std::array<EventMessageRef, 7> kGoalAreaLines = {
    {{15, 40011}, {33, 40012}, {78, 40013}, {0, 0}, {0, 0}, {213, 40015}, {141, 40014}}};
constexpr std::array<EventMessageRef, 7> kGoalCellLines = {
    {{15, 40017}, {33, 40018}, {78, 40019}, {0, 0}, {0, 0}, {213, 40021}, {141, 40020}}};
// Where the party stands for the closing scene (map points by character 0-6; 3 and 4 have none).
struct ClosingCell {
  int32_t character;
  SlgPoint at;
};
constexpr std::array<ClosingCell, 5> kClosingCells = {
    {{0, {1008, 504}}, {1, {1106, 554}}, {2, {1104, 604}}, {5, {910, 504}}, {6, {1004, 556}}}};
// The heroines the victory brings back when they are not on the map.
constexpr std::array<int32_t, 4> kBroughtBack = {1, 2, 5, 6};

SlgUnit* Live(SlgUnit* unit) { return unit != nullptr && SlgUnitLive(*unit) ? unit : nullptr; }
SlgUnit* Soldier(int32_t number) { return LiveUnitByIndex(kSoldierKind, number * kNumber); }
SlgUnit* Opponent() { return Live(FindUnitByGroupKind(kOpponentGroup, kOpponentCharacter)); }
SlgUnit* Scout() { return Live(FindUnitByGroupKind(0, kScout)); }

// The leading heroine by her second variable, characters 3 and 4 counting as character 1.
int32_t LeadingHeroine() {
  const int32_t top = GetTopHeroineVar2();
  return top == 3 || top == 4 ? kStandInHeroine : top;
}
void FillLeaderList(std::array<EventMessageRef, 2>& list, const std::array<uint16_t, 7>& faces,
                    uint16_t message) {
  list = {{{faces[static_cast<size_t>(LeadingHeroine())], message}, kEventMessageListEndRef}};
}

// Whether the player's unit of `c` stands on the cell of map point `p` (the goal rows' test).
bool StandsOn(int32_t c, const std::array<int32_t, 2>& p) {
  return CondXGU(0, c) == CondXF(p[0], p[1]) && CondYGU(0, c) == CondYF(p[0], p[1]);
}

void LoadSeBank() { EventLoadSeBank(kSeBank); }

// ---- 4099: the scout's opening ----

void Opening4099Start() {
  EventLoadCharaExtraAnm(0, kScout);
  EventLoadCharaExtraAnm(kOpponentGroup, kOpponentCharacter);
  EventBgmPlay(30);
}
void HideTheField() {
  SlgFadeIn(64);
  for (int32_t kind : kPartyKinds) EventClearKindFlag(kind, kShowFlag);
  for (int32_t n = 3; n <= 6; ++n) EventClearUnitFlag(Soldier(n), kShowFlag);
  EventClearKindFlag(kCommanderKind, kShowFlag);
  Battle().event_words.acting_mode[0] = 1;
}
void Opening4099Load() { EventLoadBin("EVS04099.BIN", kEventBinAddress); }
void ReadyTheWalk() {
  Map04Words& w = Map04State();
  w.opening_walk = RouteWork{};
  w.walk_done = 0;
  Slg::ClearMoveBackup();
}

// The scout walks to the cell of map point (x, y) with the camera on her; the step completes on a
// frame where her walk has arrived and the camera is on her.
int ScoutWalkInView(int32_t x, int32_t y) {
  Map04Words& w = Map04State();
  const SlgPoint to = CellToPosHeight(x, y);
  if (w.walk_done == 0 && EventWalkUnit(&w.opening_walk, 0, kScout, to.x, to.y, 0) != 0) {
    w.walk_done = 1;
  }
  if (EventFocusUnit(0, kScout) == 0 || w.walk_done == 0) return 0;
  w.walk_done = 0;
  return 1;
}
int ScoutToFirstSoldier() { return ScoutWalkInView(624, 746); }
int ScoutToSecondSoldier() { return ScoutWalkInView(860, 626); }
int ScoutWalk(int32_t x, int32_t y) {
  const SlgPoint to = CellToPosHeight(x, y);
  return EventWalkUnit(&Map04State().opening_walk, 0, kScout, to.x, to.y, 0);
}
int ScoutToBridge() { return ScoutWalk(1004, 554); }
int ScoutToGate() { return ScoutWalk(1100, 504); }

int SoldierWalk(int32_t number, int32_t x, int32_t y) {
  const SlgPoint to = CellToPosHeight(x, y);
  return EventWalkKindNo(&Map04State().opening_walk, kSoldierKind, number * kNumber, to.x, to.y, 1);
}
int FirstSoldierComes() { return SoldierWalk(1, 720, 698); }
int SecondSoldierComes() { return SoldierWalk(2, 958, 576); }
void FaceSoldier(int32_t number) {
  if (SlgUnit* soldier = Soldier(number)) Slg::SetUnitDir(*soldier, 2);
}
void ScoutStrikes() {
  EventLoadCharaExtraAnm(0, kScout);
  if (SlgUnit* scout = Scout()) SetUnitState(*scout, kStateLeadIn);
}
void SoldierFalls(int32_t number) {
  EventSetKindNoState(kSoldierKind, number * kNumber, kStateFall);
}
void SecondStretch() {
  Slg::ClearMoveBackup();
  EventLoadCharaExtraAnm(0, kScout);
}

// An apparition fade: on its first call the apparition signal 0 and the tone level 31; from 3
// frames after its start the level falls by 1 a call; once it would fall below 0 the fade has
// ended, and the next call sets the signal and completes. The level is applied on each call.
int ApparitionFade(Map04Fade& f) {
  Map04Words& w = Map04State();
  switch (f.phase) {
    case 0:
      w.apparition = 0;
      f.level = kFadeFrom;
      f.start = EffectNow();
      f.phase = 1;
      break;
    case 1:
      if (EffectFrames(f.start) >= kFadeDelay) {
        if (f.level == 0) {
          f.phase = 2;
        } else {
          --f.level;
        }
      }
      break;
    default:
      w.apparition = 1;
      f.phase = 0;
      return 1;
  }
  EventSetTone(f.level);
  return 0;
}
// A fade reset and started on the frame its apparitions come, so they find the signal at 0.
void StartFade(Map04Fade& f) {
  f = Map04Fade{};
  ApparitionFade(f);
}
int FadeA() { return ApparitionFade(Map04State().fades[0]); }
int FadeB() { return ApparitionFade(Map04State().fades[1]); }

void FirstApparitions() {
  EventLoadSeBank(kSeBank);
  DeployKinds(80, 83);
  StartFade(Map04State().fades[0]);
  Slg::ClearMoveBackup();
  EventLoadCharaExtraAnm(kOpponentGroup, kOpponentCharacter);
  SlgSePlay(231);
}
// The steps after a fade start on the frame after it has ended (steps that complete at once), so
// the apparitions see its signal for a frame.
int LastApparition() {
  EventLoadSeBank(kSeBank);
  EventDeployKind(84);
  StartFade(Map04State().fades[1]);
  SlgSePlay(231);
  return 1;
}
int ApparitionsGo() {
  UndeployKinds(80, 84);
  for (int32_t n = 3; n <= 6; ++n) EventSetUnitFlag(Soldier(n), kShowFlag);
  EventSetKindFlag(kCommanderKind, kShowFlag);
  return 1;
}

// The scout's strike on the opponent through the battle's attack frame. Without either of them
// there is no strike (traced), and the wait after it completes at once.
void ScoutAttacks() {
  EventLoadCharaExtraAnm(kOpponentGroup, kOpponentCharacter);
  SlgUnit* scout = Scout();
  SlgUnit* opponent = Opponent();
  if (scout == nullptr || opponent == nullptr) {
    DebugPrint("map 4 opening: no %s for the scout's strike\n",
               scout == nullptr ? "scout" : "opponent");
    return;
  }
  EventAttackPrepare(scout, opponent, 0);
  EventAttackStart(scout, opponent);
}
// Once the scout is back in state 0 or 8 (or gone) the opponent is left at life 10 and the hit
// marked. The scene's acting mode stays until the opening ends.
int StrikeEnded() {
  SlgUnit* scout = Scout();
  if (scout != nullptr && scout->state != 0 && scout->state != 8) return 0;
  SlgUnit* opponent = Opponent();
  if (opponent != nullptr) opponent->stats.life = kStruckLife;
  Slg::MarkFlaggedUnits();
  if (opponent != nullptr) opponent->flags &= ~kUnitInDamageList;
  return 1;
}
// The effect on the scout is shown only while she is on the map.
void EffectOnScout() {
  if (Scout() != nullptr) EventDeployKind(100);
}
void ScoutFalls() {
  if (SlgUnit* scout = Scout()) SetUnitState(*scout, kStateFall);
}
void Opening4099FadeOut() {
  SlgFadeOut(64);
  Eve::StartFadeOutMusic();
}
// The cell under map point p gets the blocked bit in both grids: the player's move search reads
// the first, the scripted walks and the placement the second.
void BlockCell(SlgPoint p) {
  const SlgPoint snap = SnapPosToCell(p.x, p.y);
  int index = 0;
  if (!SlgSearchCellIndex(snap.x, snap.y, &index)) return;
  const auto i = static_cast<size_t>(index);
  Battle().cell_grid[i] |= kCellBlocked;
  Battle().cell_grid2[i] |= kCellBlocked;
}
void Opening4099End() {
  Map04State().opening_walk = RouteWork{};
  for (int32_t n = 3; n <= 6; ++n) EventRemoveKindNo(kSoldierKind, n * kNumber);
  EventRemoveChara(kOpponentGroup, kOpponentCharacter);
  EventDeployKind(96);
  BlockCell(kBlockedPoint);
  Battle().event_words.acting_mode = {};
}

constexpr auto k40000 = TalkList({{103, 40000}});
constexpr auto k40001 = TalkList({{103, 40001}});
constexpr auto k40002 = TalkList({{278, 40002}});
constexpr auto k40041 = TalkList({{279, 40041}});
constexpr auto k40003 = TalkList({{105, 40003}});

constexpr S::Op kOpening4099[] = {
    S::Do(&Opening4099Start),
    S::Do(&HideTheField),
    S::Do(&Opening4099Load),
    S::Do(&ReadyTheWalk),
    S::Custom(&ScoutToFirstSoldier),
    S::Messages(k40000),
    S::Custom(&FirstSoldierComes),
    S::Do(&FaceSoldier, 1),
    S::Wait(60),
    S::Do(&ScoutStrikes),
    S::Wait(60),
    S::Do(&SoldierFalls, 1),
    S::Wait(120),
    S::Do(&SecondStretch),
    S::Custom(&ScoutToSecondSoldier),
    S::Messages(k40001),
    S::Custom(&SecondSoldierComes),
    S::Do(&FaceSoldier, 2),
    S::Wait(60),
    S::Do(&ScoutStrikes),
    S::Wait(60),
    S::Do(&SoldierFalls, 2),
    S::Wait(120),
    S::Do(&LoadSeBank),
    S::Custom(&ScoutToBridge),
    S::Custom(&ScoutToGate),
    S::Messages(k40002),
    S::ScrollPx(828, 240, 8),
    S::Wait(15),
    S::Do(&FirstApparitions),
    S::Custom(&FadeA),
    S::Custom(&LastApparition),
    S::Custom(&FadeB),
    S::Custom(&ApparitionsGo),
    S::Messages(k40041),
    S::Do(&ScoutAttacks),
    S::Custom(&StrikeEnded),
    S::Messages(k40003),
    S::Do(&EffectOnScout),
    S::Wait(60),
    S::Do(&ScoutFalls),
    S::Wait(90),
    S::Do(&Opening4099FadeOut),
    S::Custom(&FadeEnded),
    S::Do(&Opening4099End),
    S::End(),
};
static_assert(S::Valid(kOpening4099));
constexpr SeqArgs kOpening4099Args{kOpening4099};

// ---- 4100: the enemy's arrival ----

void Opening4100Start() {
  EventLoadBin("EVS04100.BIN", kEventBinAddress);
  EventLoadSeBank(kSeBank);
  for (int32_t n = 7; n <= 27; ++n) {
    for (int32_t kind = 14; kind <= 16; ++kind) EventRedeployKindNo(kind, n * kNumber);
  }
}
void Opening4100FadeIn() {
  EventLoadSeBank(kSeBank);
  SlgFadeIn(64);
}
void FirstWave() {
  EventLoadSeBank(kSeBank);
  SlgSePlay(134);
  DeployKinds(85, 89);
}
void SecondWave() { DeployKinds(90, 94); }
void FirstWaveGone() { UndeployKinds(85, 89); }
void WaveMoves() {
  SlgSePlay(131);
  for (int32_t k = 90; k <= 94; ++k) EventResumeKindAnm(k);
}
void ArrivalMusic() { BGMPlayStart(12); }
void FillArrivalList() { FillLeaderList(Map04State().arrival_list, kArrivalFaces, 40007); }
int PlayArrivalList() { return EventMessageList(Map04State().arrival_list); }
// The battle goes on: its music, the party shown again, the camera on the unit whose turn it is.
void Opening4100End() {
  BGMPlayStart(27);
  UndeployKinds(90, 94);
  for (int32_t kind : kPartyKinds) EventSetKindFlag(kind, kShowFlag);
  Slg::ResetCurrentUnit();
}

constexpr auto k3337 = TalkList({{137, 3337}});
constexpr auto k40004 = TalkList({{33, 40004}});
constexpr auto k40005 = TalkList({{15, 40005}});
constexpr auto k40040 = TalkList({{239, 40040}, {15, 40006}});

constexpr S::Op kOpening4100[] = {
    S::Do(&Opening4100Start),
    S::ScrollPx(420, 1546, 40),
    S::Do(&Opening4100FadeIn),
    S::Custom(&FadeEnded),
    S::Wait(30),
    S::Do(&FirstWave),
    S::Wait(15),
    S::Do(&SecondWave),
    S::Wait(75),
    S::Do(&FirstWaveGone),
    S::Messages(k3337),
    S::Do(&WaveMoves),
    S::Wait(90),
    S::Do(&ArrivalMusic),
    S::Messages(k40004),
    S::ScrollPx(780, 264, 8),
    S::Messages(k40005),
    S::ScrollPx(420, 1546, 8),
    S::Messages(k40040),
    S::Do(&FillArrivalList),
    S::Custom(&PlayArrivalList),
    S::FadeOutMusic(),
    S::Do(&Opening4100End),
    S::End(),
};
static_assert(S::Valid(kOpening4100));
constexpr SeqArgs kOpening4100Args{kOpening4100};

// ---- 4104: the goal area reached ----

// The first of the goal rows' characters standing on one of `cells`; 0 when none.
template <size_t N>
int32_t FindGoalCharacter(const std::array<std::array<int32_t, 2>, N>& cells) {
  for (int32_t c : kMap04GoalCharacters) {
    for (const auto& p : cells) {
      if (StandsOn(c, p)) return c;
    }
  }
  return 0;
}
void GoalAreaStart() {
  Map04State().goal_character = FindGoalCharacter(kMap04GoalArea);
  Eve::StartFadeOutMusic();
  EventLoadSeBank(kSeBank);
  EventLoadBin("EVS04104.BIN", kEventBinAddress);
}
int GoalLine(const std::array<EventMessageRef, 7>& lines) {
  const EventMessageRef& line = lines[static_cast<size_t>(Map04State().goal_character)];
  return EventMessage(line.face, line.message);
}
int GoalAreaLine() { return GoalLine(kGoalAreaLines); }
void Marker() {
  EventLoadSeBank(kSeBank);
  EventDeployKind(95);
  SlgSePlay(227);
}

constexpr S::Op kGoalArea4104[] = {
    S::Do(&GoalAreaStart),
    S::ScrollPx(780, 264, 8),
    S::Custom(&GoalAreaLine),
    S::Do(&Marker),
    S::Wait(60),
    S::End(),
};
static_assert(S::Valid(kGoalArea4104));
constexpr SeqArgs kGoalArea4104Args{kGoalArea4104};

// ---- 4106: victory ----

constexpr int32_t kFirstSoldierKind = 14;
constexpr int32_t kLastSoldierKind = 16;

void VictoryStart() {
  Map04Words& w = Map04State();
  w.goal_character = FindGoalCharacter(std::array<std::array<int32_t, 2>, 1>{kMap04GoalCell});
  w.victory_walk = RouteWork{};
}
// The soldiers fade out under tone control (their body's shade word written each frame, so no
// cell shade the core writes meanwhile takes them out of it).
int SoldiersFadeOut() {
  BattleContext& b = Battle();
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = b.state.units[i];
    if (unit.kind >= kFirstSoldierKind && unit.kind <= kLastSoldierKind && unit.anm != nullptr &&
        SlgUnitLive(unit)) {
      unit.anm->shade = kToneShade;
    }
  }
  return EventToneChange(0, kToneInvisible, 2);
}
void SoldiersGone() { RemoveUnitsOfKinds(kFirstSoldierKind, kLastSoldierKind); }
void GoalPicture() {
  EventUndeployKind(95);
  EventShowBG(4);
}
int GoalCellLine() { return GoalLine(kGoalCellLines); }
void GoalPictureGone() {
  EventFreeBG();
  BGMPlayStart(30);
}
void BringBackTheAbsent() {
  EventShowBG(3);
  for (int32_t c : kBroughtBack) {
    if (UnitAbsent(0, c) != 0) BringBackPartyMember(c, "map 4 victory");
  }
}
void PartyOnClosingCells() {
  for (const ClosingCell& cell : kClosingCells) {
    SlgUnit* unit = LivePartyUnit(cell.character);
    if (unit == nullptr) continue;
    ClearUnitCell(*unit);
    Slg::SetUnitDir(*unit, 0);
    SetUnitState(*unit, 0);
    const SlgPoint at = CellToPosHeight(cell.at.x, cell.at.y);
    unit->x = at.x * 65536;
    unit->y = at.y * 65536;
    EventObjPlace(*unit);
    SetUnitCell(*unit);
  }
}
void FreeBg() { EventFreeBG(); }
void CarrierScene() {
  EventLoadBin("EVS04106.BIN", kEventBinAddress);
  EventLoadSeBank(kSeBank);
}
int HeroWalk(int32_t x, int32_t y) {
  const SlgPoint to = CellToPosHeight(x, y);
  return EventWalkUnit(&Map04State().victory_walk, 0, 0, to.x, to.y, 1);
}
int HeroToTheEdge() { return HeroWalk(1152, 432); }
int HeroToTheCarrier() { return HeroWalk(1248, 384); }
// Without a jump (no kind-98 entry on the stage) the hero counts as aboard at once, so the
// carrier leaves and the victory goes on.
void HeroJumps() {
  EventDeployKind(98);
  if (LiveUnitOfKind(98) == nullptr) {
    DebugPrint("map 4 victory: no jump object; the carrier leaves\n");
    Map04State().hero_aboard = 1;
  }
  FillLeaderList(Map04State().farewell_list, kFarewellFaces, 40038);
}
int PlayFarewellList() { return EventMessageList(Map04State().farewell_list); }
void VictoryEnd() { Map04State().victory_walk = RouteWork{}; }

constexpr auto k40022 = TalkList({{13, 40022}, {278, 40023}, {15, 40024}});
constexpr auto k40025 = TalkList({{278, 40025}, {276, 40026}});
constexpr auto k40027 = TalkList({{139, 40027}, {78, 40028}});
constexpr auto k40029 = TalkList({{74, 40029}, {29, 40030}, {139, 40031}, {13, 40032},
                                  {33, 40033}, {13, 40034}, {11, 40035}, {213, 40036},
                                  {11, 40037}});

constexpr S::Op kVictory4106[] = {
    S::Do(&VictoryStart),
    S::ScrollPx(780, 264, 8),
    S::Custom(&SoldiersFadeOut),
    S::Do(&SoldiersGone),
    S::Do(&GoalPicture),
    S::Custom(&GoalCellLine),
    S::Do(&GoalPictureGone),
    S::Messages(k40022),
    S::Do(&BringBackTheAbsent),
    S::Do(&PartyOnClosingCells),
    S::Messages(k40025),
    S::Do(&FreeBg),
    S::Do(&CarrierScene),
    S::Messages(k40027),
    S::DeployKind(97),
    S::ScrollPx(1016, 142, 4),
    S::HoldUntil(&CarrierSignal1, 1, {97}),
    S::Messages(k40029),
    S::Custom(&HeroToTheEdge),
    S::Custom(&HeroToTheCarrier),
    S::Do(&HeroJumps),
    S::HoldUntil(&CarrierSignal2, 1, {97}),
    S::Custom(&PlayFarewellList),
    S::Do(&VictoryEnd),
    S::StartGameWin(),
    S::End(),
};
static_assert(S::Valid(kVictory4106));
constexpr SeqArgs kVictory4106Args{kVictory4106};

// ---- The taunts ----

constexpr auto k40008 = TalkList({{239, 40008}});
constexpr auto k40009 = TalkList({{239, 40009}});
constexpr auto k40010 = TalkList({{239, 40010}});
constexpr auto k40016 = TalkList({{239, 40016}});
constexpr TalkListArgs k4101Args{k40008};
constexpr TalkListArgs k4102Args{k40009};
constexpr TalkListArgs k4103Args{k40010};
constexpr TalkListArgs k4105Args{k40016};

// ---- The table ----

// A goal-area row: the character stands on one of the goal area's cells while on the map.
constexpr SlgEventEntry GoalAreaRow(const char* on_cell, const char* present) {
  return {.id = 4104, .timing = 0x4, .b = on_cell, .guard = {104, 0}, .c = present,
          .set = {104, 0}, .handler = &SeqRow, .arg = &kGoalArea4104Args};
}
// A victory row: once the goal area was reached, the character stands on the goal cell.
constexpr SlgEventEntry VictoryRow(const char* on_cell, const char* present) {
  return {.id = 4106, .timing = 0x4, .a = "F(104);", .b = on_cell, .guard = {106, 0},
          .c = present, .set = {106, 0}, .handler = &SeqRow, .arg = &kVictory4106Args};
}

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 4099, .timing = 0x8000, .guard = {99, 0}, .set = {99, 0}, .handler = &SeqRow,
     .arg = &kOpening4099Args},
    {.id = 4100, .timing = 0x8000, .a = "F(99);", .guard = {100, 0}, .set = {100, 0},
     .handler = &SeqRow, .arg = &kOpening4100Args},
    {.id = 4101, .timing = 0x2, .b = "M(MAD);", .guard = {101, 104}, .set = {101, 0},
     .clear = {102, 0}, .handler = &TalkListRow, .arg = &k4101Args},
    {.id = 4102, .timing = 0x2, .b = "M(MAD);", .guard = {102, 104}, .set = {102, 0},
     .clear = {103, 0}, .handler = &TalkListRow, .arg = &k4102Args},
    {.id = 4103, .timing = 0x2, .b = "M(MAD);", .guard = {103, 104}, .set = {103, 0},
     .clear = {101, 0}, .handler = &TalkListRow, .arg = &k4103Args},
    GoalAreaRow("XGU(GPL,IKD)=XF(1078,528)&YGU(GPL,IKD)=YF(1078,528);", "NP(IKD);"),
    GoalAreaRow("XGU(GPL,IKD)=XF(1052,480)&YGU(GPL,IKD)=YF(1052,480);", "NP(IKD);"),
    GoalAreaRow("XGU(GPL,IKD)=XF(1148,528)&YGU(GPL,IKD)=YF(1148,528);", "NP(IKD);"),
    GoalAreaRow("XGU(GPL,IKD)=XF(1148,480)&YGU(GPL,IKD)=YF(1148,480);", "NP(IKD);"),
    GoalAreaRow("XGU(GPL,ITV)=XF(1078,528)&YGU(GPL,ITV)=YF(1078,528);", "NP(ITV);"),
    GoalAreaRow("XGU(GPL,ITV)=XF(1052,480)&YGU(GPL,ITV)=YF(1052,480);", "NP(ITV);"),
    GoalAreaRow("XGU(GPL,ITV)=XF(1148,528)&YGU(GPL,ITV)=YF(1148,528);", "NP(ITV);"),
    GoalAreaRow("XGU(GPL,ITV)=XF(1148,480)&YGU(GPL,ITV)=YF(1148,480);", "NP(ITV);"),
    GoalAreaRow("XGU(GPL,IDV)=XF(1078,528)&YGU(GPL,IDV)=YF(1078,528);", "NP(IDV);"),
    GoalAreaRow("XGU(GPL,IDV)=XF(1052,480)&YGU(GPL,IDV)=YF(1052,480);", "NP(IDV);"),
    GoalAreaRow("XGU(GPL,IDV)=XF(1148,528)&YGU(GPL,IDV)=YF(1148,528);", "NP(IDV);"),
    GoalAreaRow("XGU(GPL,IDV)=XF(1148,480)&YGU(GPL,IDV)=YF(1148,480);", "NP(IDV);"),
    GoalAreaRow("XGU(GPL,ITZ)=XF(1078,528)&YGU(GPL,ITZ)=YF(1078,528);", "NP(ITZ);"),
    GoalAreaRow("XGU(GPL,ITZ)=XF(1052,480)&YGU(GPL,ITZ)=YF(1052,480);", "NP(ITZ);"),
    GoalAreaRow("XGU(GPL,ITZ)=XF(1148,528)&YGU(GPL,ITZ)=YF(1148,528);", "NP(ITZ);"),
    GoalAreaRow("XGU(GPL,ITZ)=XF(1148,480)&YGU(GPL,ITZ)=YF(1148,480);", "NP(ITZ);"),
    GoalAreaRow("XGU(GPL,IBS)=XF(1078,528)&YGU(GPL,IBS)=YF(1078,528);", "NP(IBS);"),
    GoalAreaRow("XGU(GPL,IBS)=XF(1052,480)&YGU(GPL,IBS)=YF(1052,480);", "NP(IBS);"),
    GoalAreaRow("XGU(GPL,IBS)=XF(1148,528)&YGU(GPL,IBS)=YF(1148,528);", "NP(IBS);"),
    GoalAreaRow("XGU(GPL,IBS)=XF(1148,480)&YGU(GPL,IBS)=YF(1148,480);", "NP(IBS);"),
    {.id = 4105, .timing = 0x2, .a = "F(104);", .b = "M(MAD);", .handler = &TalkListRow,
     .arg = &k4105Args},
    VictoryRow("XGU(GPL,IKD)=XF(1078,528)&YGU(GPL,IKD)=YF(1078,528);", "NP(IKD);"),
    VictoryRow("XGU(GPL,ITV)=XF(1078,528)&YGU(GPL,ITV)=YF(1078,528);", "NP(ITV);"),
    VictoryRow("XGU(GPL,IDV)=XF(1078,528)&YGU(GPL,IDV)=YF(1078,528);", "NP(IDV);"),
    VictoryRow("XGU(GPL,ITZ)=XF(1078,528)&YGU(GPL,ITZ)=YF(1078,528);", "NP(ITZ);"),
    VictoryRow("XGU(GPL,IBS)=XF(1078,528)&YGU(GPL,IBS)=YF(1078,528);", "NP(IBS);"),
});

constexpr uint8_t kMembers = kITV | kIDV | kIBS | kITZ;
// The shared lines, but for the favourite lines of characters 3 (face 102) and 4 (face 4).
constexpr GenericTalkSet kTalks = [] {
  GenericTalkSet t = CommonTalks(kMembers);
  t.favourite.references[6] = {102, 2069};
  t.favourite.references[7] = {102, 2070};
  t.favourite.references[8] = {4, 2093};
  t.favourite.references[9] = {4, 2094};
  return t;
}();
constexpr GenericDesc kGeneric{.talks = &kTalks,
                               .falls = {.base = 500, .members = kMembers},
                               .ref_talks = {.base = 520, .members = kMembers},
                               .ref_talks2 = {.base = 530, .members = kMembers},
                               .char_talks = {.base = 600, .members = kMembers},
                               .favourite_chance = 10,
                               .favourite_c = "HP(IKD,0)|NP(IMR());"};

constexpr auto kTable = JoinRows(kStoryRows, GenericRows<kGeneric>());
static_assert(kTable.size() == 48 + 1);

// ---- The map's objects ----

// The apparitions (80-84): snapped to their cell on a still pattern 0 with alpha 0, under tone
// control (the fades make them appear) until the apparition signal is 1; then out of it, drawn
// where they stand. walk_state[0]: 1 under tone control, 2 out of it.
constexpr EventAnmDesc kApparitionDesc{.start = EventAnmStart::kStill,
                                       .snap = EventAnmSnap::kObject};
int Apparition(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr) return 0;
  const bool first = unit.state == kEventAnmFirst;
  RunEventAnm(kApparitionDesc, unit, position);
  if (first) {
    SlgSprSetAlpha(body, 0);
    unit.walk_state[0] = 1;
  }
  if (unit.walk_state[0] == 1) {
    body->shade = kToneShade;
    if (Map04State().apparition == 1) {
      body->shade = 0;
      unit.walk_state[0] = 2;
    }
  }
  return 0;
}

// The marker on the goal area (95): on its cell, its animation restarted looping, drawn in front
// of the map's units.
constexpr EventAnmDesc kMarkerDesc{.start = EventAnmStart::kLoop,
                                   .snap = EventAnmSnap::kCell,
                                   .depth_rule = EventAnmDepth::kFixed,
                                   .depth = -1098};
// The object left at the blocked cell (96): on its cell, its animation restarted.
constexpr EventAnmDesc kCellObjectDesc{.start = EventAnmStart::kLoop, .snap = EventAnmSnap::kCell};

// The effect on the scout (100): at her place one depth in front of her, played once; at its
// end, or at once when she is not on the map, the kind is undeployed.
constexpr EventAnmDesc kScoutEffectDesc{.snap = EventAnmSnap::kObject};
int ScoutEffect(SlgUnit& unit, SlgPair& position) {
  if (unit.state >= kEventAnmEnded) return 0;
  const SlgUnit* scout = Scout();
  SlgAnmObj* body = unit.anm;
  if (body == nullptr || scout == nullptr) {
    SetUnitState(unit, kEventAnmEnded);
    EventUndeployKind(100);
    return 0;
  }
  if (unit.state == kEventAnmFirst) {
    unit.x = scout->x;
    unit.y = scout->y;
    SetAnmPattern(body, 0);
  }
  RunEventAnm(kScoutEffectDesc, unit, position);
  if (scout->anm != nullptr) body->depth = static_cast<int16_t>(scout->anm->depth - 1);
  SlgSprSetPri(body->handle, body->depth);
  if (SlgAnmObjIsEnd(body) != 0) {
    SetUnitState(unit, kEventAnmEnded);
    EventUndeployKind(100);
  }
  return 0;
}

// Draws the object at its map position: the body placed, the sprite at its screen position and
// depth.
void DrawAt(SlgUnit& unit, SlgPair& position) {
  EventObjPlace(unit);
  position = EventObjScreenPos(unit);
  if (unit.anm == nullptr || unit.anm->handle == nullptr) return;
  SlgSprSetPos(unit.anm->handle, position);
  SlgSprSetPri(unit.anm->handle, unit.anm->depth);
}
void PlayPattern(SlgUnit& unit, uint8_t pattern, uint8_t flags) {
  SetAnmPattern(unit.anm, pattern);
  EventAnmReplay(unit, flags);
}

// ---- The flying carrier (97) ----
// Phases (state byte): 0 set-up, 1 its sound, 2 flying in, 3 slowing, 4 hovering, 5 flying off,
// 6 gone on. walk_state: [0] the bob's frame, [1] and [2] the path's point without the bob,
// [3] the speed (16.16, along (-2, -1) at 1.0).
constexpr SlgPoint kCarrierStart = {1888, 656};
constexpr SlgPoint kCarrierHover = {1408, 416};
constexpr int32_t kCarrierSlowX = 1552;
constexpr int32_t kCarrierGoneX = 1264;
constexpr int32_t kCarrierSe = 226;
// The slowing: the speed 1.0 less 1/144 a frame (the rate that would stop it 144 pixels on, at the
// hover point), never below 1/8, so the hover point is always reached.
constexpr int32_t kCarrierSlowStep = 65536 / 144;
constexpr int32_t kCarrierSlowest = 65536 / 8;
constexpr int32_t kCarrierBobPixels = 8;
constexpr int32_t kCarrierBobRate = 4;  // steps of 512 a frame

constexpr EventAnmDesc kCarrierLoop{.start = EventAnmStart::kLoop};

void CarrierPath(SlgUnit& unit, int32_t dx, int32_t dy) {
  unit.walk_state[1] += dx;
  unit.walk_state[2] += dy;
}
void CarrierDraw(SlgUnit& unit, SlgPair& position, bool bob) {
  unit.x = unit.walk_state[1];
  unit.y = unit.walk_state[2] + (bob ? Map04CarrierBob(unit.walk_state[0]) * 65536 : 0);
  ++unit.walk_state[0];
  DrawAt(unit, position);
  unit.anm->shade = kToneShade;  // after the placing, which writes the cell's shade
}

int Carrier(SlgUnit& unit, SlgPair& position) {
  if (unit.anm == nullptr) return 0;
  Map04Words& w = Map04State();
  switch (unit.state) {
    case 0:
      RunEventAnm(kCarrierLoop, unit, position);
      unit.walk_state = {0, kCarrierStart.x * 65536, kCarrierStart.y * 65536, 65536, 0};
      w.carrier1 = 0;
      w.carrier2 = 0;
      SetUnitState(unit, 1);
      break;
    case 1:
      SlgSePlay(kCarrierSe);
      SetUnitState(unit, 2);
      break;
    case 2:
      CarrierPath(unit, -2 * 65536, -65536);
      if (unit.walk_state[1] <= kCarrierSlowX * 65536) SetUnitState(unit, 3);
      break;
    case 3: {
      int32_t& speed = unit.walk_state[3];
      speed = std::max(speed - kCarrierSlowStep, kCarrierSlowest);
      CarrierPath(unit, -2 * speed, -speed);
      if (unit.walk_state[1] <= kCarrierHover.x * 65536) {
        unit.walk_state = {0, kCarrierHover.x * 65536, kCarrierHover.y * 65536, 0, 0};
        w.carrier1 = 1;
        SetUnitState(unit, 4);
      }
      break;
    }
    case 4:
      if (w.hero_aboard == 1) {
        SlgSePlay(kCarrierSe);
        unit.walk_state = {0, kCarrierHover.x * 65536, kCarrierHover.y * 65536, 65536, 0};
        SetUnitState(unit, 5);
      }
      break;
    default:
      CarrierPath(unit, -2 * 65536, -65536);
      if (unit.state == 5 && unit.walk_state[1] <= kCarrierGoneX * 65536) {
        w.carrier2 = 1;
        SetUnitState(unit, 6);
      }
      break;
  }
  CarrierDraw(unit, position, unit.state <= 4);
  if (unit.state >= 5) unit.anm->depth = static_cast<int16_t>(SlgMap::GetPlaneDepth(3));
  if (unit.anm->handle != nullptr) SlgSprSetPri(unit.anm->handle, unit.anm->depth);
  return 0;
}

// ---- The hero's jump (98) ----
// Phases: 0 set-up, 1 the run-up at the hero's place, 2 the arc, 3 riding until the jump effect
// ends, 4 a frame in pattern 1, 5 aboard. walk_state: [0] the arc's frame, [1] and [2] its start
// (16.16).
constexpr int32_t kJumpVx = 4 * 65536;
constexpr int32_t kJumpVy = -6 * 65536;
constexpr int32_t kJumpGravity = 65536 / 4;
constexpr int32_t kRideDx = -24;
constexpr int32_t kRideDy = -80;

SlgUnit* Carrier() { return LiveUnitOfKind(97); }
// Where the hero rides: (carrier x - 24, carrier y - 80).
SlgPair RidePoint(const SlgUnit& carrier) {
  return {carrier.x + kRideDx * 65536, carrier.y + kRideDy * 65536};
}

struct JumpArc {
  int32_t x, y, vy;
};
// The arc `frames` frames from its start; x held at the ride point's x, and y at its y once it
// falls. True once it has landed there.
bool JumpArcAt(const SlgUnit& unit, const SlgPair& ride, int32_t frames, JumpArc& arc) {
  bool landed = false;
  ReplayMotion(arc, JumpArc{unit.walk_state[1], unit.walk_state[2], kJumpVy}, frames,
               [&](JumpArc& a) {
                 a.x = std::min(a.x + kJumpVx, ride.x);
                 a.y += a.vy;
                 a.vy += kJumpGravity;
                 if (a.vy > 0 && a.y >= ride.y) {
                   a.y = ride.y;
                   landed = a.x == ride.x;
                 }
                 return landed;
               });
  return landed;
}

void JumpLands(SlgUnit& unit) {
  Map04State().jump = 1;
  PlayPattern(unit, 5, kSlgAnmOnce);
  SetUnitState(unit, 3);
}

int HeroJump(SlgUnit& unit, SlgPair& position) {
  if (unit.anm == nullptr) return 0;
  Map04Words& w = Map04State();
  SlgUnit* carrier = Carrier();
  if (unit.state == 0) {
    if (const SlgUnit* hero = LivePartyUnit(0)) {
      unit.x = hero->x;
      unit.y = hero->y;
    }
    unit.walk_state = {0, unit.x, unit.y, 0, 0};
    PlayPattern(unit, 3, kSlgAnmOnce);
    EventClearKindFlag(0, kShowFlag);
    w.hero_aboard = 0;
    EventDeployKind(99);
    if (LiveUnitOfKind(99) == nullptr) {
      DebugPrint("map 4 jump: no jump effect\n");
      w.jump_effect_end = 1;
    }
    SetUnitState(unit, 1);
  }
  switch (unit.state) {
    case 1:
      if (SlgAnmObjIsEnd(unit.anm) != 0) SetUnitState(unit, 2);
      break;
    case 2: {
      if (carrier == nullptr) {
        DebugPrint("map 4 jump: no carrier; the hero lands where it stands\n");
        JumpLands(unit);
        break;
      }
      JumpArc arc{};
      const bool landed = JumpArcAt(unit, RidePoint(*carrier), ++unit.walk_state[0], arc);
      unit.x = arc.x;
      unit.y = arc.y;
      if (landed) JumpLands(unit);
      break;
    }
    case 3:
      if (w.jump_effect_end == 1) {
        PlayPattern(unit, 1, 0);
        SetUnitState(unit, 4);
      }
      break;
    case 4:
      SetUnitState(unit, 5);
      break;
    default:
      w.hero_aboard = 1;
      break;
  }
  if (unit.state >= 3 && carrier != nullptr) {
    const SlgPair ride = RidePoint(*carrier);
    unit.x = ride.x;
    unit.y = ride.y;
  }
  DrawAt(unit, position);
  if (unit.state == 5) unit.anm->shade = kToneShade;  // riding along under the map's tone
  if (carrier != nullptr && carrier->anm != nullptr) {
    unit.anm->depth = static_cast<int16_t>(carrier->anm->depth - 1);
  }
  if (unit.anm->handle != nullptr) SlgSprSetPri(unit.anm->handle, unit.anm->depth);
  return 0;
}

// ---- The jump effect (99) ----
// Phases: 0 set-up, 1 waiting for the jump signal, 2 following the jump until its animation
// ends, 3 ended (its end signal set, the kind undeployed).
int JumpEffect(SlgUnit& unit, SlgPair& position) {
  Map04Words& w = Map04State();
  if (unit.state >= 3) return 0;
  SlgUnit* jump = LiveUnitOfKind(98);
  auto end = [&] {
    if (unit.anm != nullptr && HasScene()) Scene().tamvik_spr.ReleaseAnm(&unit.anm->handle);
    w.jump_effect_end = 1;
    SetUnitState(unit, 3);
    EventUndeployKind(99);
  };
  if (unit.anm == nullptr) {
    end();
    return 0;
  }
  if (unit.state == 0) {
    if (jump != nullptr) {
      unit.x = jump->x;
      unit.y = jump->y;
    }
    SetAnmPattern(unit.anm, unit.anm->pattern);
    EventAnmReplay(unit, kSlgAnmOnce | 0x02);
    w.jump = 0;
    w.jump_effect_end = 0;
    SetUnitState(unit, 1);
  }
  if (unit.state == 1 && w.jump == 1) {
    EventAnmReplay(unit, kSlgAnmOnce);
    SetUnitState(unit, 2);
  }
  if (jump == nullptr && unit.state == 2) {
    end();
    return 0;
  }
  if (jump != nullptr) {
    unit.x = jump->x;
    unit.y = jump->y;
  }
  DrawAt(unit, position);
  if (jump != nullptr && jump->anm != nullptr) {
    unit.anm->depth = static_cast<int16_t>(jump->anm->depth - 1);
  }
  if (unit.anm->handle != nullptr) SlgSprSetPri(unit.anm->handle, unit.anm->depth);
  if (unit.state == 2 && SlgAnmObjIsEnd(unit.anm) != 0) end();
  return 0;
}

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap04ObjectKinds> t{};
  for (int k = 80; k <= 84; ++k) t[static_cast<size_t>(k - 80)] = &Apparition;
  for (int k = 85; k <= 89; ++k) t[static_cast<size_t>(k - 80)] = EventAnmOnceSnapFore;
  for (int k = 90; k <= 94; ++k) t[static_cast<size_t>(k - 80)] = EventAnmHoldSnapHeldShadow;
  t[95 - 80] = &EventAnmHandlerOf<kMarkerDesc>;
  t[96 - 80] = &EventAnmHandlerOf<kCellObjectDesc>;
  t[97 - 80] = &Carrier;
  t[98 - 80] = &HeroJump;
  t[99 - 80] = &JumpEffect;
  t[100 - 80] = &ScoutEffect;
  return t;
}();

// ---- The wind-driven particles (fixed sprites) ----

constexpr uint32_t kWindId = 9;
constexpr uint32_t kWindAnm = 102;
constexpr uint32_t kParticleId = 8;
constexpr uint32_t kParticleAnm = 101;
constexpr int32_t kParticleBlink = 2;

// The visible area's top-left corner in map pixels, as the fixed sprites place themselves.
SlgPoint VisibleCorner() {
  const SlgBattleState& s = Battle().state;
  return {s.scroll_x + s.scroll_offset_x, s.scroll_y + s.scroll_offset_y};
}

// The frame number of the game clock (frames since its zero).
int32_t ClockFrame() { return EffectFrames(0); }

// The wind steps once for each frame of the game clock since its first call, so a late frame
// lands on the values the frame-by-frame run has.
void WindController(SlgEffectTask* /*task*/) {
  Map04Words& w = Map04State();
  if (w.wind_frames < 0) {
    w.wind_start = ClockFrame();
    w.wind_frames = 0;
  }
  for (const int32_t now = ClockFrame() - w.wind_start; w.wind_frames < now; ++w.wind_frames) {
    StepDrift(w.wind);
  }
}

// A particle; its index (0-45) is the task's first work word. On a (re)start: its point in the
// field about the visible area, its height and its fall speed from the generator in that order;
// each frame its path replayed from there over its age on the wind's count: x by -2.0 less the
// wind of each frame, y falling from `height` above its point by its speed; a restart when its
// animation has ended.
void Particle(SlgEffectTask* task) {
  FixTaskWork* work = FixTaskWorkOf(task);
  if (work == nullptr || FixTaskIsShown(*work) == 0) return;
  SlgAnmObj* obj = work->obj;
  if (obj == nullptr) return;
  Map04Words& w = Map04State();
  Map04Particle& p = w.particles[work->step_words[0] % kMap04Particles];
  const SlgPoint corner = VisibleCorner();
  if (p.running != 0 && work->anm != nullptr && obj->handle != nullptr &&
      SlgAnmObjIsEnd(obj) != 0) {
    if (HasScene()) Scene().tamvik_spr.ReleaseAnm(&obj->handle);
    p.running = 0;
  }
  if (p.running == 0) {
    p.history.Clear();
    p.start_x = (corner.x - kMap04FieldMargin + SlgRand() % kMap04FieldWidth) * 65536;
    p.start_y = (corner.y - kMap04FieldMargin + SlgRand() % kMap04FieldHeight) * 65536;
    p.height = SlgRand() % (p.started == 0 ? kMap04FirstHeight : kMap04Height);
    p.speed = 2 * 65536 - SlgRand() % (65536 / 2);
    p.start_frame = w.wind_frames;
    p.age = 0;
    p.running = 1;
    p.started = 1;
    if (work->anm != nullptr) {
      obj->mode = kSlgAnmOnce;  // its life is one play of its animation
      SlgPlayAnm(work->anm, obj->pattern, obj, 4);
      if (HasScene() && obj->handle != nullptr) {
        if (SpxAnimeKind* spx = Scene().tamvik_spr.spx()) spx->SetBlink(obj->handle, kParticleBlink);
      }
    }
  } else {
    p.age = std::max(w.wind_frames - p.start_frame, 0);
  }
  work->x = p.start_x + Map04ParticleDrift(p, w.wind.value);
  work->y = p.start_y - p.height * 65536 + static_cast<int32_t>(int64_t{p.speed} * p.age);
  if (obj->handle == nullptr) return;
  SlgSprSetPos(obj->handle, {work->x - (corner.x + 320) * 65536,
                             work->y - (corner.y + 240) * 65536});
}

// The deferred sprite set-up, handed to the battle one frame after the install: the wind
// controller, then the 46 particles.
void WindParticles() {
  FixTaskAdd(kWindId, kWindAnm, &WindController, 0, 0);
  for (uint32_t i = 0; i < kMap04Particles; ++i) {
    SlgEffectTask* task = FixTaskAdd(kParticleId, kParticleAnm, &Particle, 0, 0);
    if (FixTaskWork* work = FixTaskWorkOf(task)) work->step_words[0] = i;
  }
}

}  // namespace

int32_t Map04ParticleDrift(Map04Particle& p, int32_t wind) {
  return p.history.ReplayLong(p.age, -2 * 65536, wind);
}

int32_t Map04CarrierBob(int32_t n) {
  return SlgCos(n * kCarrierBobRate - 128) * kCarrierBobPixels / 16384;
}

const MapSetup kMap04Setup{.bgm = MapBgm::None(),
                           .table = kTable.data(),
                           .anm_table = kAnm,
                           .deferred = &WindParticles};
