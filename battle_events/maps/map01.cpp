#include "battle_events/maps/map01.h"

#include <algorithm>
#include <array>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_commands.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_player.h"
#include "battle/slg_sound.h"
#include "battle/slg_start.h"
#include "battle/slg_tables.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_check.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"
#include "scene/ui/tamvik_func.h"

Map01State& Map01() { return Battle().Extension<Map01State>(); }

namespace {

namespace S = EventSeq;

// ---- Small operations of the scripts ----

void SetFirstOfKinds(std::initializer_list<int> kinds, bool show) {
  for (int kind : kinds) {
    if (show) {
      EventSetKindFlag(kind, 0x80);
    } else {
      EventClearKindFlag(kind, 0x80);
    }
  }
}
void ForKinds(int first, int last, void (*op)(int32_t)) {
  for (int kind = first; kind <= last; ++kind) op(kind);
}

void HideParty() { SetFirstOfKinds({0, 1, 2, 3, 20}, false); }
void ShowParty() { SetFirstOfKinds({0, 1, 2, 3}, true); }
void ShowBoss() { EventSetKindFlag(20, 0x80); }

void LoadOpening() {
  EventLoadBin("EVS01.BIN", 0);
  ForKinds(80, 104, &EventLoadKindEventAnm);
  EventLoadPcm("PEOPLE1.PCM");
}
void DeployCrowd() { ForKinds(80, 95, &EventDeployKind); }
void FirstGuideAtPost() { EventSetKindNoState(14, 768, 5); }
void SecondGuideAtPost() { EventSetKindNoState(14, 1280, 5); }
void ClearMoveBackup() { Slg::ClearMoveBackup(); }
void UndeploySubstitute(int32_t character) { EventUndeployKindChara(100, character); }
void LoadCrowd() {
  EventLoadBin("EVS01001.BIN", 0);
  ForKinds(96, 109, &EventLoadKindEventAnm);
  EventLoadBin("EVS01002.BIN", 0);
}
void DeployLateCrowd() { ForKinds(105, 108, &EventDeployKind); }
void ShowBg(int32_t n) { EventShowBG(n); }
void FreeBg() { EventFreeBG(); }
void DeployFirstWave() { ForKinds(96, 99, &EventDeployKind); }
void DeploySecondWave() { ForKinds(101, 104, &EventDeployKind); }
void UndeployFirstWave() { ForKinds(96, 99, &EventUndeployKind); }
void UndeploySecondWave() { ForKinds(101, 104, &EventUndeployKind); }
void LoadSeBank() { EventLoadSeBank("SEBE01.ALL"); }
void PlayBgm(int32_t n) { BGMPlayStart(n); }
void ResumeSecondWave() { ForKinds(101, 104, &EventResumeKindAnm); }
void LoadStrike() { EventLoadBin("EVS01003.BIN", 0); }
void SendCrowdAway() { Map01().trigger = kMap01CrowdLeave; }
// The opening's last objects taken off; the crowd's second sprite is not needed any more.
void ClearOpening() {
  for (int kind : {111, 110, 105, 106, 107, 108}) EventUndeployKind(kind);
  ReleaseEventAnm(&Map01().shadow_anm);
}

constexpr bool IsCrowdKind(int kind) { return (kind >= 80 && kind <= 95) || (kind >= 105 && kind <= 109); }

// Whether a crowd object other than `self` is still on the map (deploy state 1 or 2, live).
bool CrowdDeployed(const SlgUnit* self = nullptr) {
  const SlgBattleState& state = Battle().state;
  for (uint32_t slot = 0; slot < state.unit_count && slot < state.units.size(); ++slot) {
    const SlgUnit& unit = state.units[slot];
    if (&unit == self || !SlgUnitLive(unit) || !IsCrowdKind(unit.kind)) continue;
    if (unit.deploy_state == kEventObjDeployed || unit.deploy_state == kEventObjRunning) return true;
  }
  return false;
}
// The opening's hold: the crowd has answered, or there is no crowd to answer.
bool CrowdAnswered() { return Map01().trigger == 0 || !CrowdDeployed(); }

// 117: every live unit of the enemy side falls (state 15); whether any did is kept for the wait.
void SoldiersFall() {
  int fallen = 0;
  SlgBattleState& state = Battle().state;
  for (uint32_t slot = 0; SlgSlotInUse(slot); ++slot) {
    SlgUnit& unit = state.units[slot];
    if (unit.side != 1 || !SlgUnitLive(unit)) continue;
    SetUnitState(unit, 15);
    ++fallen;
  }
  Map01().none_fell = fallen == 0;
}
bool NoneFell() { return Map01().none_fell; }
void HoldCamera() { Battle().camera.lock = 1; }

int SlideInVictoryBg() { return EventBgSlideIn(101); }

// ---- Event 101: the opening ----

constexpr auto kBgTalk = TalkList({{274, 182}, {278, 183}, {284, 184}, {262, 185}});
constexpr auto kSituation = TalkList({{29, 3000}});
constexpr auto kSoldiersComing = TalkList({{271, 3001}, {281, 3002}, {260, 3003}, {29, 3004}});
constexpr auto kAttack = TalkList({{273, 3005}, {262, 3006}, {278, 3007}});

constexpr S::Op kOpening[] = {
    // 1-3: the party hidden, the crowd's data, the crowd on the map.
    S::Do(&HideParty), S::Do(&LoadOpening), S::DeployKind(112), S::DeployKind(113),
    S::Do(&DeployCrowd), S::EventSe(309),
    // 4
    S::ScrollPx(360, 342, 16), S::FadeIn(),
    // 5: the first guide to its post, replaced by its figure.
    S::Do(&ClearMoveBackup), S::WalkKindNo(0, 14, 768, 720, 500, 0), S::ScrollPx(400, 260, 4),
    S::Do(&FirstGuideAtPost), S::Wait(45), S::DeployKindNo(100, 0), S::Se(135), S::Wait(30),
    S::UndeployKind(112), S::Wait(60), S::Do(&UndeploySubstitute, 0),
    // 6: the second.
    S::WalkKindNo(0, 14, 1280, 624, 600, 0), S::ScrollPx(304, 360, 4), S::Do(&SecondGuideAtPost),
    S::Wait(45), S::DeployKindNo(100, 1), S::Se(135), S::Wait(30), S::UndeployKind(113),
    S::Wait(60), S::Do(&UndeploySubstitute, 1),
    // 7
    S::Do(&LoadCrowd), S::Do(&DeployLateCrowd),
    // 8: the picture of the situation.
    S::ScrollPx(360, 32, 4), S::Do(&ShowBg, 1), S::Messages(kBgTalk), S::Do(&FreeBg),
    S::Messages(kSituation),
    // 9: the two waves.
    S::ScrollPx(672, 32, 8), S::Wait(15), S::Se(134), S::Do(&DeployFirstWave), S::Wait(15),
    S::Do(&DeploySecondWave), S::Wait(75), S::Do(&UndeployFirstWave),
    // 10
    S::Do(&LoadSeBank), S::Messages(kSoldiersComing),
    // 11
    S::Do(&PlayBgm, 1), S::Se(130), S::Do(&ResumeSecondWave), S::Wait(90), S::Messages(kAttack),
    // 12: three strikes.
    S::ScrollPx(360, 32, 4), S::Se(211), S::Wait(15), S::Se(211), S::Wait(6), S::Se(211),
    S::Wait(60),
    // 13: the crowd flees.
    S::ScrollPx(0, 0, 4), S::Do(&UndeploySecondWave), S::Do(&LoadStrike), S::DeployKind(111),
    S::Wait(180), S::Se(211), S::Wait(60), S::Message(261, 3008), S::Do(&SendCrowdAway),
    S::HoldUntil(&CrowdAnswered, {}),
    // 14
    S::Do(&PlayBgm, 13), S::Se(213), S::DeployKind(110), S::Wait(90),
    // 15-16: the party shown.
    S::Do(&ShowParty), S::FocusUnit(0, 1), S::Do(&ClearOpening), S::Do(&ShowBoss), S::End(),
};
static_assert(S::Valid(kOpening));
constexpr SeqArgs kOpeningArgs{kOpening};

// ---- Event 102: the guided demonstration ----

void DemoOn() {
  BattleContext& b = Battle();
  b.event_words.demo_cursor = 1;
  b.pointer_mode = 1;
  b.control.turn_hold = 0;
  TamvikFunc::SetVirtualKeyMode();
  TamvikFunc::PressVirtualKey(0);
  Map01().press_pending = true;
}
// Virtual commands play: the turn runs.
void ModeOn() {
  Battle().control.turn_hold = 0;
  TamvikFunc::SetVirtualKeyMode();
}
// A message list shows: the turn holds.
void ModeOff() {
  Map01ClearPress();
  TamvikFunc::ResetVirtualKeyMode();
  Battle().control.turn_hold = 1;
}
void DemoOff() {
  BattleContext& b = Battle();
  Map01ClearPress();
  b.control.turn_hold = 1;
  b.event_words.demo_cursor = 0;
  b.pointer_mode = 0;
  TamvikFunc::ResetVirtualKeyMode();
  Map01().tutorial_phase = 0;
  Map01().tutorial_count = 0;
}

// The cursor helpers as custom steps, all on one phase (they never run side by side).
constexpr uint8_t kTutorialPhase = 1;
template <int32_t X, int32_t Y>
constexpr S::Op TClickAt() {
  return S::Custom(+[] { return TutorialClickAt(X, Y); }, kTutorialPhase);
}
template <int32_t K>
constexpr S::Op TClickUnit() {
  return S::Custom(+[] { return TutorialClickUnit(K); }, kTutorialPhase);
}
template <int32_t N>
constexpr S::Op TWait() {
  return S::Custom(+[] { return TutorialWait(N); }, kTutorialPhase);
}
template <int32_t K>
constexpr S::Op TUnitIdle() {
  return S::Custom(+[] { return TutorialUnitIdle(K); }, kTutorialPhase);
}
template <int32_t K>
constexpr S::Op TPhaseReady() {
  return S::Custom(+[] { return TutorialPhaseReady(K); }, kTutorialPhase);
}
template <int32_t G, int32_t K>
constexpr S::Op TTurnPassed() {
  return S::Custom(+[] { return TutorialTurnPassed(G, K); }, kTutorialPhase);
}

constexpr auto kOffer = TalkList({{29, 10007}, {74, 10008}, {110, 20000}, {110, 10009}});
constexpr auto kGrudging = TalkList({{112, 20015}, {112, 20016}});
constexpr auto kDeclined = TalkList({{111, 20010}});
constexpr auto kBegin = TalkList({{110, 10010}});
constexpr auto kAfterMove = TalkList({{110, 10014}, {110, 10015}, {29, 10016}});
constexpr auto kAfterHeroine1 = TalkList({{110, 10018}, {110, 20017}, {110, 20020}});
constexpr auto kAfterHeroine3 = TalkList({{110, 20025}, {110, 20035}, {110, 20030}});
constexpr auto kAfterEnemy =
    TalkList({{74, 10021}, {74, 10022}, {110, 20040}, {74, 20045}, {31, 20050}});
constexpr auto kClosing =
    TalkList({{110, 10039}, {110, 10040}, {110, 20055}, {110, 20060}, {110, 20065}, {110, 20070},
              {110, 20075}, {110, 20080}, {110, 20085}, {110, 10060}, {110, 10100}});

enum DemoLabel : int32_t { kGrudge = 1, kPlay, kSkip, kFinish };

constexpr S::Op kDemonstration[] = {
    // 1-3: the preparation and the offer.
    S::Do(&Map01PrepareTutorial), S::Messages(kOffer), S::TimedChoice(20005, 600),
    S::Branch({{1, kPlay}, {2, kGrudge}}, kSkip),
    S::Label(kGrudge), S::Messages(kGrudging), S::AddHeroineParam(3, -5), S::Goto(kPlay),
    S::Label(kSkip), S::Se(21), S::Messages(kDeclined), S::Goto(kFinish),
    // 4
    S::Label(kPlay), S::Messages(kBegin), S::FocusUnit(0, 1), S::Do(&DemoOn),
    // 5: heroine of kind 1 moves, then attacks.
    TWait<30>(), TClickUnit<1>(), TClickAt<456, 152>(), TUnitIdle<1>(), TClickAt<456, 152>(),
    S::Do(&ModeOff), S::Messages(kAfterMove), S::Do(&ModeOn), TPhaseReady<1>(), TWait<30>(),
    TClickUnit<1>(), TClickAt<432, 164>(), TWait<30>(), TClickAt<432, 164>(),
    TTurnPassed<0, 1>(), S::Do(&ModeOff), S::Messages(kAfterHeroine1),
    // 6: heroine of kind 3.
    S::Do(&ModeOn), TPhaseReady<3>(), TWait<30>(), TClickUnit<3>(), TClickAt<487, 188>(),
    TClickAt<487, 188>(), TPhaseReady<3>(), TWait<30>(), TClickUnit<3>(), TTurnPassed<0, 3>(),
    S::Do(&ModeOff), TWait<60>(), S::Messages(kAfterHeroine3),
    // 7: the enemy moves.
    S::Do(&ModeOn), TTurnPassed<1, 14>(), S::FocusUnit(0, 2), TWait<30>(), S::Do(&ModeOff),
    S::Messages(kAfterEnemy),
    // 8: heroine of kind 2.
    S::Do(&ModeOn), TPhaseReady<2>(), TWait<30>(), TClickUnit<2>(), TClickAt<476, 160>(),
    TUnitIdle<2>(), TClickAt<476, 160>(), TPhaseReady<2>(), TWait<30>(), TClickUnit<2>(),
    TClickAt<456, 152>(), TTurnPassed<0, 2>(), S::Do(&ModeOff),
    // 9
    S::Messages(kClosing),
    // 10
    S::Label(kFinish), S::Do(&DemoOff), S::End(),
};
static_assert(S::Valid(kDemonstration));
constexpr SeqArgs kDemonstrationArgs{kDemonstration};

// The demonstration's row: a virtual press of the last frame is cleared before the program runs.
void DemonstrationRow(const SlgEventEntry& row) {
  Map01ClearPress();
  SeqRow(row);
}

// ---- 116-118: the battle's end ----

constexpr S::Op kSoldiersGone[] = {
    S::Do(&PlayBgm, 16), S::Wait(240), S::Message(262, 3009), S::Do(&ShowBg, 201),
    S::Message(260, 3010), S::Do(&FreeBg), S::End(),
};
static_assert(S::Valid(kSoldiersGone));
constexpr SeqArgs kSoldiersGoneArgs{kSoldiersGone};

constexpr auto kBossDownTalk = TalkList({{12, 30000}, {30, 30001}, {15, 30002}});
enum BossLabel : int32_t { kAfterFall = 1 };
constexpr S::Op kBossDown[] = {
    S::HoldUntil("NG(2);", {}), S::Do(&SoldiersFall), S::If(&NoneFell, kAfterFall), S::Wait(180),
    S::Label(kAfterFall), S::Message(262, 3012), S::Wait(120), S::Messages(kBossDownTalk),
    S::Do(&HoldCamera), S::End(),
};
static_assert(S::Valid(kBossDown));
constexpr SeqArgs kBossDownArgs{kBossDown};

constexpr S::Op kVictory[] = {
    S::Do(&PlayBgm, 18), S::Wait(240), S::Message(30, 186), S::Custom(&SlideInVictoryBg),
    S::Message(30, 187), S::StartGameWin(), S::End(),
};
static_assert(S::Valid(kVictory));
constexpr SeqArgs kVictoryArgs{kVictory};

// ---- 119, 120: the guide on MAD ----

constexpr auto kGuideBefore = TalkList({{110, 10100}});
constexpr auto kGuideAfter = TalkList({{110, 10200}});
constexpr TalkListArgs kGuideBeforeArgs{kGuideBefore};
constexpr TalkListArgs kGuideAfterArgs{kGuideAfter};

// ---- 1400: heroine 1's talk ----

constexpr auto kTalkOpen = TalkList({{30, 60000}, {15, 60010}, {30, 60020}});
constexpr auto kAnswer1 = TalkList({{11, 60040}});
constexpr auto kAnswer1b = TalkList({{29, 60050}});
constexpr auto kAnswer2 = TalkList({{12, 60060}});
constexpr auto kAnswer2b = TalkList({{30, 60070}});
constexpr auto kAnswer3 = TalkList({{12, 60080}});
constexpr auto kAnswer3b = TalkList({{31, 60090}});
constexpr auto kNoAnswer = TalkList({{11, 60100}});
constexpr auto kNoAnswerB = TalkList({{29, 60110}});

enum TalkLabel : int32_t { kLine1 = 1, kLine2, kLine3, kNone, kTalkEnd };
constexpr S::Op kHeroine1Talk[] = {
    S::FocusUnit(0, 1), S::Wait(30), S::Messages(kTalkOpen), S::TimedChoice(60030, 240),
    S::Branch({{1, kLine1}, {2, kLine2}, {3, kLine3}}, kNone),
    S::Label(kLine1), S::Messages(kAnswer1), S::AddHeroineParam(1, -2), S::Se(21),
    S::Messages(kAnswer1b), S::Goto(kTalkEnd),
    S::Label(kLine2), S::Messages(kAnswer2), S::AddHeroineParam(1, 5), S::Se(20),
    S::Messages(kAnswer2b), S::Goto(kTalkEnd),
    S::Label(kLine3), S::Messages(kAnswer3), S::Messages(kAnswer3b), S::Goto(kTalkEnd),
    S::Label(kNone), S::Messages(kNoAnswer), S::AddHeroineParam(1, -2), S::Se(21),
    S::Messages(kNoAnswerB),
    S::Label(kTalkEnd), S::End(),
};
static_assert(S::Valid(kHeroine1Talk));
constexpr SeqArgs kHeroine1TalkArgs{kHeroine1Talk};

// ---- The table ----

constexpr auto kStory = std::to_array<SlgEventEntry>({
    {.id = kMap01Opening, .timing = 0x8000, .guard = {101, 0}, .set = {101, 0},
     .handler = &SeqRow, .arg = &kOpeningArgs},
    {.id = kMap01Demonstration, .timing = 0x8000, .a = "F(101);", .guard = {102, 0},
     .set = {102, 0}, .handler = &DemonstrationRow, .arg = &kDemonstrationArgs},
    {.id = kMap01SoldiersGone, .timing = 0x8000, .a = "F(101);", .b = "NG(GZA)|F(199);",
     .guard = {116, 0}, .set = {116, 0}, .handler = &SeqRow, .arg = &kSoldiersGoneArgs},
    {.id = kMap01BossDown, .timing = 0x8000, .a = "F(116);", .b = "HGU(GBO,UKM,0);",
     .guard = {117, 0}, .set = {117, 0}, .handler = &SeqRow, .arg = &kBossDownArgs},
    {.id = kMap01Victory, .timing = 0x8000, .a = "F(117);", .guard = {118, 0}, .set = {118, 0},
     .handler = &SeqRow, .arg = &kVictoryArgs},
    {.id = 119, .timing = 0x2, .b = "M(MAD);", .guard = {116, 0}, .handler = &TalkListRow,
     .arg = &kGuideBeforeArgs},
    {.id = 120, .timing = 0x2, .a = "F(116);", .b = "M(MAD);", .handler = &TalkListRow,
     .arg = &kGuideAfterArgs},
    {.id = kMap01Heroine1Talk, .timing = 0x8, .b = "PP(ITV)&(T()>=5);", .guard = {400, 0},
     .set = {400, 0}, .handler = &SeqRow, .arg = &kHeroine1TalkArgs},
});

constexpr auto kTable = JoinRows(kStory, GenericRows<kMap01Generic>());
static_assert(kTable.size() == 24, "23 rows and the end row");

// ---- The event objects ----

// Crowd object phases (the unit's state byte).
constexpr uint8_t kCrowdFirst = 0;
constexpr uint8_t kCrowdWatching = 1;
constexpr uint8_t kCrowdLeaving = 3;

uint32_t Clock() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }

// The second sprite: EventAnm 109 on the unit's second object, in front of the map's units, with
// the body's alpha and a zoom that shrinks as the object walks off.
void ShowSecondSprite(SlgUnit& unit, const SlgPair& position, int32_t elapsed) {
  Map01State& map = Map01();
  if (unit.anm2 == nullptr) {
    if (map.shadow_anm == nullptr) map.shadow_anm = GetEventAnm(kMap01CrowdShadowAnm);
    if (map.shadow_anm == nullptr) return;
    unit.anm2 = CreateAnmObj(0, 0);
    if (unit.anm2 == nullptr) return;
    SlgPlayAnm(map.shadow_anm, 0, unit.anm2, SURFACE_ROOT);
  }
  SlgAnmObj* second = unit.anm2;
  second->depth = kMap01CrowdShadowDepth;
  SetAnmPos(second, position);
  SlgSprSetPos(second->handle, position);
  SlgSprSetPri(second->handle, second->depth);
  SlgSprSetAlpha(second, SlgSprGetAlpha(unit.anm));
  const int32_t left = std::max(0, kMap01CrowdLeaveFrames - elapsed);
  const int32_t zoom = 0x8000 + 0x8000 * left / kMap01CrowdLeaveFrames;
  SlgSprSetZoom(second->handle, {zoom, zoom});
}

// Kinds 80-95 and 105-109: stand and loop their walk until the trigger word says 5, then walk off
// up and to the left on their own clock; once gone the object takes itself off the map, and the
// last one to go puts the word back to 0.
int CrowdHandler(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr) return 0;
  Map01State& map = Map01();
  if (unit.state == kCrowdFirst) {
    EventObjPlace(unit);
    position = EventObjScreenPos(unit);
    SetAnmPattern(body, 0);
    ChangeUnitAnm(unit, 4);
    SetUnitState(unit, kCrowdWatching);
  }
  int32_t elapsed = 0;
  if (unit.state == kCrowdWatching && map.trigger == kMap01CrowdLeave) {
    body->start_time = Clock();
    unit.walk_state[1] = unit.x;
    unit.walk_state[2] = unit.y;
    SetAnmPattern(body, 1);
    ChangeUnitAnm(unit, 4);
    SetUnitState(unit, kCrowdLeaving);
  }
  if (unit.state == kCrowdLeaving) {
    elapsed = static_cast<int32_t>((Clock() - body->start_time) * 60 / 1000);
    const int32_t moved = std::min(elapsed, kMap01CrowdLeaveFrames) * kMap01CrowdPace;
    unit.x = unit.walk_state[1] - (moved << 16);
    unit.y = unit.walk_state[2] - ((moved / 2) << 16);
    position = EventObjScreenPos(unit);
  }
  SetAnmPos(body, position);
  SlgSprSetPos(body->handle, position);
  SlgSprSetPri(body->handle, body->depth);
  ShowSecondSprite(unit, position, elapsed);
  if (unit.state == kCrowdLeaving && elapsed >= kMap01CrowdLeaveFrames) {
    if (unit.anm2 != nullptr) {
      FreeAnmObj(unit.anm2);
      unit.anm2 = nullptr;
    }
    unit.deploy_state = kEventObjLeaving;
    if (!CrowdDeployed(&unit)) {
      map.trigger = 0;
      ReleaseEventAnm(&map.shadow_anm);
    }
  }
  return 0;
}

// Kinds 101-104: drawn at their screen position with the unit shadow under them. The body's
// animation starts held on its first frame (shown, not moving) until the opening resumes it
// (EventResumeKindAnm); without a start the object would have nothing to draw.
int ShadowedHandler(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr) return 0;
  if (unit.state == 0) {
    EventObjPlace(unit);
    SetAnmPattern(body, 0);
    EventAnmReplay(unit, kSlgAnmStartStopped);
    SetUnitState(unit, 1);
  }
  position = EventObjScreenPos(unit);
  SetAnmPos(body, position);
  SlgSprSetPos(body->handle, position);
  SlgSprSetPri(body->handle, body->depth);
  Slg::DrawUnitShadow(position);
  return 0;
}

// Kind 114: drawn where it stands (it has no story of its own on this map).
int StandingHandler(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr) return 0;
  SetAnmPos(body, position);
  SlgSprSetPos(body->handle, position);
  SlgSprSetPri(body->handle, body->depth);
  return 0;
}

constexpr std::array<SlgEventAnmHandler, 35> MakeAnmTable() {
  std::array<SlgEventAnmHandler, 35> t{};
  for (int kind = 80; kind <= 114; ++kind) {
    SlgEventAnmHandler h = nullptr;
    if (IsCrowdKind(kind)) {
      h = &CrowdHandler;
    } else if (kind <= 100) {
      h = EventAnmOnce;
    } else if (kind <= 104) {
      h = &ShadowedHandler;
    } else if (kind <= 111) {
      h = EventAnmHold;
    } else if (kind <= 113) {
      h = EventAnmPattern0;
    } else {
      h = &StandingHandler;
    }
    t[static_cast<size_t>(kind - 80)] = h;
  }
  return t;
}
constexpr auto kAnm = MakeAnmTable();

// ---- The demonstration's helpers ----

BattleContext& B() { return Battle(); }

int PhaseByte() {
  const SlgMainWork* work = B().control.main_work;
  return work != nullptr ? work->step : -1;
}

SlgUnit* FirstOf(int group, int kind) {
  SlgBattleState& state = B().state;
  for (uint32_t slot = 0; SlgSlotInUse(slot); ++slot) {
    SlgUnit& unit = state.units[slot];
    if (unit.side == group && unit.kind == kind && SlgUnitLive(unit)) return &unit;
  }
  return nullptr;
}

bool Idle(const SlgUnit& unit) { return unit.state == 0 || unit.state == 8; }

void Press() {
  TamvikFunc::PressVirtualKey(0);
  Map01().press_pending = true;
}

// The glide toward the target; 1 on the frame it arrives.
int Glide() {
  Map01State& m = Map01();
  ++m.tutorial_count;
  const int32_t t = std::min(m.tutorial_count, kMap01GlideFrames);
  SlgPair& p = B().state.pointer;
  p.x = m.glide_from_x + static_cast<int32_t>(
                             (static_cast<int64_t>(m.glide_to_x) - m.glide_from_x) * t /
                             kMap01GlideFrames);
  p.y = m.glide_from_y + static_cast<int32_t>(
                             (static_cast<int64_t>(m.glide_to_y) - m.glide_from_y) * t /
                             kMap01GlideFrames);
  return t == kMap01GlideFrames ? 1 : 0;
}
void StartGlide(int32_t screen_x, int32_t screen_y) {
  Map01State& m = Map01();
  const SlgPair& p = B().state.pointer;
  m.glide_from_x = p.x;
  m.glide_from_y = p.y;
  m.glide_to_x = std::clamp(screen_x, -320, 319) * 65536;
  m.glide_to_y = std::clamp(screen_y, -240, 239) * 65536;
  m.tutorial_count = 0;
  m.tutorial_phase = 1;
}
int Finish() {
  Map01().tutorial_phase = 0;
  Map01().tutorial_count = 0;
  return 1;
}

// A wait out of patience: the acting heroine backed out to the free cursor by virtual Cancel
// presses (one frame in two, so each is seen once), then her actions ended there; 1 once ended,
// or when there is no heroine's phase to end or the second patience has run out.
int EndActingTurn() {
  Map01State& m = Map01();
  SlgMainWork* work = B().control.main_work;
  const SlgUnit* actor = SlgActingUnit();
  if (work == nullptr || actor == nullptr || actor->side != 0 ||
      m.tutorial_count >= 2 * kMap01TutorialPatience) {
    DebugPrint("Tutorial: the demonstration goes on without its wait\n");
    return Finish();
  }
  switch (work->step) {
    case kSlgPlayerFree:
      DebugPrint("Tutorial: the acting unit's actions end\n");
      Slg::SetPhaseState(work, kSlgPlayerEndTurn);
      return Finish();
    case kSlgPlayerMove:
    case kSlgPlayerAttack:
    case kSlgPlayerCommand:
      if (m.tutorial_count % 2 == 0) {
        TamvikFunc::PressVirtualKey(1);
        m.press_pending = true;
      }
      return 0;
    default:
      return 0;
  }
}

// A wait: 1 once reached; out of patience, the acting heroine's actions are ended.
int Patient(bool reached) {
  Map01State& m = Map01();
  if (reached) return Finish();
  if (++m.tutorial_count < kMap01TutorialPatience) return 0;
  return EndActingTurn();
}

}  // namespace

const MapSetup kMap01{.bgm = MapBgm::Play(6), .table = kTable.data(), .anm_table = kAnm};

void Map01ClearPress() {
  Map01State& m = Map01();
  if (!m.press_pending) return;
  TamvikFunc::ClearVirtualKeys();
  m.press_pending = false;
}

int TutorialClickAt(int32_t x, int32_t y) {
  Map01State& m = Map01();
  switch (m.tutorial_phase) {
    case 0:
      StartGlide(2 * x - B().state.scroll_x - 320, 2 * y - B().state.scroll_y - 240);
      [[fallthrough]];
    case 1:
      if (Glide() == 0) return 0;
      Press();
      m.tutorial_phase = 2;
      m.tutorial_count = 0;
      return 0;
    default:
      if (++m.tutorial_count < 60) return 0;
      return Finish();
  }
}

int TutorialClickUnit(int32_t kind) {
  Map01State& m = Map01();
  switch (m.tutorial_phase) {
    case 0: {
      const SlgUnit* unit = FirstOf(0, kind);
      if (unit == nullptr) return 1;
      const SlgPair at = EventObjScreenPos(*unit);
      StartGlide((at.x >> 16) + kMap01ClickUnitDx, (at.y >> 16) + kMap01ClickUnitDy);
      [[fallthrough]];
    }
    case 1:
      if (Glide() == 0) return 0;
      m.tutorial_phase = 2;
      m.tutorial_count = 0;
      return 0;
    default:
      if (++m.tutorial_count < 30) return 0;
      Press();
      return Finish();
  }
}

int TutorialWait(int32_t frames) {
  Map01State& m = Map01();
  if (++m.tutorial_count < frames) return 0;
  return Finish();
}

int TutorialUnitIdle(int32_t kind) {
  const SlgUnit* unit = FirstOf(0, kind);
  return Patient(unit == nullptr || Idle(*unit));
}

int TutorialPhaseReady(int32_t kind) {
  const SlgUnit* unit = FirstOf(0, kind);
  return Patient(unit == nullptr || (Idle(*unit) && PhaseByte() == kSlgPlayerCommand));
}

int TutorialTurnPassed(int32_t group, int32_t kind) {
  const SlgUnit* unit = FirstOf(group, kind);
  return Patient(unit == nullptr || (Idle(*unit) && B().state.acting_unit != unit->slot &&
                                     PhaseByte() != kSlgPhaseAgain));
}

void Map01PrepareTutorial() {
  BattleContext& b = B();
  SlgOrder& order = b.order;
  std::vector<SlgOrder::Entry> entries(order.entries.begin(),
                                       order.entries.begin() + std::max<int16_t>(order.count, 0));
  std::vector<SlgOrder::Entry> first;
  for (const Map01TutorialUnit& want : kMap01TutorialOrder) {
    const SlgUnit* unit = FirstOf(want.group, want.kind);
    if (unit == nullptr) continue;
    auto it = std::find_if(entries.begin(), entries.end(),
                           [unit](const SlgOrder::Entry& e) { return e.slot == unit->slot; });
    if (it == entries.end()) continue;
    first.push_back(*it);
    entries.erase(it);
  }
  first.insert(first.end(), entries.begin(), entries.end());
  std::copy(first.begin(), first.end(), order.entries.begin());
  if (order.count > 0) Slg::SetActingUnit(0);
  if (b.control.main_work != nullptr) Slg::SetPhaseState(b.control.main_work, kSlgPhaseFree);
  Slg::ClearMoveBackup();
}
