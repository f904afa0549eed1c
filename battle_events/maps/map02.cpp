#include "battle_events/maps/map02.h"

#include <array>
#include <span>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_start.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/core/route_search.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_steps.h"
#include "battle_events/event_units.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/generic_rows.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/maps/kit/replay_motion.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "battle_events/runtime/event_script_helpers.h"
#include "battle_events/runtime/event_tone.h"
#include "battle_events/runtime/event_walks.h"
#include "battle_events/runtime/generic_scenes.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

Map02Words& Map02State() { return Battle().Extension<Map02Words>(); }

namespace {

namespace S = EventSeq;

// ---- The map words as the holds read them ----

int32_t& StretchWord() { return Map02State().stretch; }
int32_t& GrowWord() { return Map02State().grow; }
int32_t& DropWord() { return Map02State().drop; }

constexpr const char* kSeBank = "SEBE02.ALL";
// The party's kinds hidden during the first opening and shown at the end of the second.
constexpr std::array<int32_t, 6> kPartyKinds = {0, 1, 2, 3, 5, 20};
// The guide that walks off in the first opening and the two guides removed in the second
// (placement number x 256).
constexpr int32_t kGuideKind = 14;
constexpr int32_t kWalkingGuide = 256;
constexpr int32_t kOtherGuide = 768;
// The companion, who stands at the point scene's point and falls with the boss.
constexpr int32_t kCompanionKind = 21;

// The nearest free cell to map pixel (x, y) taking its height into account: the point lifted by
// its cell's height, moved to the nearest free cell and brought back down.
SlgPoint FreeCellPointNear(int32_t x, int32_t y) {
  const SlgPoint lifted = CellPosLift(x, y);
  SlgPoint free{};
  FindFreeCellNear(free, lifted.x, lifted.y);
  return CellPosDrop(free.x, free.y);
}

// ---- 2100: the opening with the townspeople and the props ----

void Opening2100Start() {
  Map02Words& w = Map02State();
  w.stretch = 0;
  w.grow = 0;
  w.drop = 0;
  for (int32_t kind : kPartyKinds) EventClearKindFlag(kind, kShowFlag);
  EventLoadBin("EVS02100.BIN", kEventBinAddress);
}

int Opening2100Loads() {
  EventLoadBin("EVS02100.BIN", kEventBinAddress);
  EventLoadPcm("PEOPLE2.PCM");
  EventLoadSeBank(kSeBank);
  return 1;
}

void Opening2100Deploy() {
  EventNopData(kNopDataAddress, 0);
  for (int32_t k = 80; k <= 91; ++k) EventDeployKind(k);
  EventSePlay(310);
}

// The guide of kind 14 number 256 walks to the cell point of (1344, 772) with its height, on the
// sequences' first walk area.
int Opening2100Walk() {
  const SlgPoint to = CellToPosHeight(1344, 772);
  RouteWork& work = Battle().Extension<EventSeqState>().walks[0];
  return EventWalkKindNo(&work, kGuideKind, kWalkingGuide, to.x, to.y, 0);
}

void UndeployTownspeople() { UndeployKinds(80, 86); }
void ShowBg202() { EventShowBG(202); }
void FreeBgAndNopProps() {
  EventFreeBG();
  for (int32_t k = 87; k <= 91; ++k) EventNopKind(k);
}
void GrowStart() { Map02State().grow = 1; }
void DropStart() { Map02State().drop = 1; }
void ShrinkStart() { Map02State().grow = 3; }
void StopSe221AndUndeployProps() {
  SePlay(221, 2);
  UndeployKinds(88, 91);
}
void ShowBg2AndStopBgm() {
  EventShowBG(2);
  EventStopBgm();
}
void FreeBgAndNop87() {
  EventFreeBG();
  EventNopKind(87);
}

constexpr auto k3013 = TalkList({{254, 3013}});
constexpr auto k3014 = TalkList({{256, 3014}});
constexpr auto k3015 = TalkList({{209, 3015}});

constexpr S::Op kOpening2100[] = {
    S::Do(&Opening2100Start),
    S::ScrollPx(910, 528, 16),
    S::Custom(&Opening2100Loads),
    S::Do(&Opening2100Deploy),
    S::FadeIn(),
    S::Custom(&Opening2100Walk),
    S::ScrollPx(400, 600, 4),
    S::Wait(60),
    S::Do(&UndeployTownspeople),
    S::Do(&ShowBg202),
    S::Wait(30),
    S::Messages(k3013),
    S::Do(&FreeBgAndNopProps),
    S::Wait(60),
    S::Do(&GrowStart),
    S::Se(217),
    S::HoldUntil(&GrowWord, 2, {90}),
    S::Do(&DropStart),
    S::Se(221),
    S::HoldUntil(&DropWord, 0, {88, 89}),
    S::Do(&ShrinkStart),
    S::HoldUntil(&GrowWord, 4, {90}),
    S::Do(&StopSe221AndUndeployProps),
    S::Wait(30),
    S::Messages(k3014),
    S::Do(&ShowBg2AndStopBgm),
    S::Messages(k3015),
    S::Do(&FreeBgAndNop87),
    S::End(),
};
static_assert(S::Valid(kOpening2100));
constexpr SeqArgs kOpening2100Args{kOpening2100};

// ---- 2101: the enemy's arrival ----

void Opening2101Start() {
  EventNopData(kNopDataAddress, 0);
  EventLoadBin("EVS02101.BIN", kEventBinAddress);
}
void LoadSeBank() { EventLoadSeBank(kSeBank); }
void FirstWave() {
  EventLoadSeBank(kSeBank);
  SlgSePlay(134);
  for (int32_t k = 92; k <= 96; ++k) EventDeployKind(k);
}
void SecondWave() {
  for (int32_t k = 97; k <= 101; ++k) EventDeployKind(k);
}
void UndeployFirstWave() { UndeployKinds(92, 96); }
void ArrivalMusic() {
  BGMPlayStart(13);
  SlgSePlay(131);
  for (int32_t k = 97; k <= 101; ++k) EventResumeKindAnm(k);
}
void LiftOff() { Map02State().stretch = 1; }
void SetDown() { Map02State().stretch = 3; }
void Opening2101End() {
  UndeployKinds(97, 101);
  EventRemoveKindNo(kGuideKind, kWalkingGuide);
  EventRemoveKindNo(kGuideKind, kOtherGuide);
  for (int32_t kind : kPartyKinds) EventSetKindFlag(kind, kShowFlag);
}

constexpr auto k3016 = TalkList({{29, 3016}});
constexpr auto k3017 = TalkList({{255, 3017}});
constexpr auto k20042 = TalkList({{255, 20042}});

constexpr S::Op kOpening2101[] = {
    S::Do(&Opening2101Start),
    S::Do(&LoadSeBank),
    S::ScrollPx(1264, 1322, 16),
    S::Wait(15),
    S::Do(&FirstWave),
    S::Wait(15),
    S::Do(&SecondWave),
    S::Wait(75),
    S::Do(&UndeployFirstWave),
    S::Messages(k3016),
    S::Do(&ArrivalMusic),
    S::Wait(90),
    S::Messages(k3017),
    S::ScrollPx(448, 622, 8),
    S::Wait(30),
    S::Do(&LiftOff),
    S::Se(215),
    S::HoldUntil(&StretchWord, 2, {87}),
    S::Wait(30),
    S::ScrollPx(172, -80, 8),
    S::Wait(30),
    S::Do(&SetDown),
    S::HoldUntil(&StretchWord, 4, {87}),
    S::Wait(30),
    S::Messages(k20042),
    S::Wait(30),
    S::FocusUnit(0, 3),
    S::Do(&Opening2101End),
    S::End(),
};
static_assert(S::Valid(kOpening2101));
constexpr SeqArgs kOpening2101Args{kOpening2101};

// ---- 2102: the camera tour ----

constexpr auto kTour1 = TalkList({{110, 20000}, {213, 20041}, {11, 20001}, {110, 20115}});
constexpr auto kTour2 = TalkList({{110, 20116}});
constexpr auto kTour3 = TalkList({{110, 20117}});
constexpr auto kTour4 = TalkList({{11, 20118}});

constexpr S::Op kOpening2102[] = {
    S::Messages(kTour1), S::Wait(30), S::ScrollPx(1024, 690, 8), S::Wait(30),
    S::Messages(kTour2), S::Wait(30), S::ScrollPx(1120, 594, 8), S::Wait(30),
    S::Messages(kTour3), S::Wait(30), S::FocusUnit(0, 0),        S::Wait(30),
    S::Messages(kTour4), S::End(),
};
static_assert(S::Valid(kOpening2102));
constexpr SeqArgs kOpening2102Args{kOpening2102};

// ---- 2103: the point scene, once the soldiers are gone ----

int32_t& PulseWord() { return Map02State().pulse; }

constexpr int32_t kScenePropKind = 102;
constexpr int32_t kFigureKind = 103;

void PointSceneStart() {
  EventNopData(kNopDataAddress, 0);
  Map02Words& w = Map02State();
  w.pulse = 0;
  w.hold = 0;
  w.arrival = 0;
  w.scene_point = FreeCellPointNear(768, 862);
  EventSetKindPlaceCell(kCompanionKind, w.scene_point.x, w.scene_point.y);
}
void Nop87() { EventNopKind(87); }
void LoadPointSceneBin() { EventLoadBin("EVS02103.BIN", kEventBinAddress); }
void PointSceneMusic() { BGMPlayStart(30); }
void PulseStart() {
  EventDeployKind(kScenePropKind);
  Map02State().pulse = 1;
  EventNopValue(5);
  EventSetTone(24);
  SlgSePlay(222);
}
// The holds of the growing props keep the tone at 24 on every frame.
bool PulseGrown() {
  EventSetTone(24);
  return Map02State().pulse == 2;
}
bool HoldGrown() {
  EventSetTone(24);
  return Map02State().hold == 2;
}
void HoldStart() { Map02State().hold = 1; }
void PulseShrink() { Map02State().pulse = 3; }
void StretchTone() {
  Map02State().stretch = 5;
  EventSetTone(0);
}
void UndeployLiftedProp() {
  EventUndeployKind(87);
  EventSetTone(24);
}
int ScrollToScenePoint() {
  const SlgPoint p = Map02State().scene_point;
  return EventScroll((p.x - 320) * 65536, (p.y - 240) * 65536, 4 * 65536);
}
void FirstFigures() {
  EventDeployKindNo(kFigureKind, 1);
  EventDeployKindNo(kFigureKind, 2);
  SlgSePlay(218);
}
void LastFigures() {
  EventDeployKindNo(kFigureKind, 3);
  EventDeployKindNo(kFigureKind, 4);
}
constexpr int32_t kFirstArrivals = (1 << 1) | (1 << 2);
constexpr int32_t kLastArrivals = (1 << 3) | (1 << 4);
bool FirstArrived() { return (Map02State().arrival & kFirstArrivals) == kFirstArrivals; }
bool LastArrived() { return (Map02State().arrival & kLastArrivals) == kLastArrivals; }
void FirstFlash() {
  EventSetTone(12);
  SlgWhiteIn(32);
}
bool FadeEnded() { return SlgIsFadeEnd() != 0; }
void CompanionAtPoint() {
  EventSetTone(12);
  EventUndeployKind(kScenePropKind);
  for (int32_t n = 1; n <= 4; ++n) EventUndeployKindChara(kFigureKind, n);
  EventRedeployKind(kCompanionKind);
  SlgSePlay(222);
}
void WhiteIn32() { SlgWhiteIn(32); }
void PointSceneBgm() {
  BGMPlayStart(16);
  EventNop0();
}

constexpr auto k3018 = TalkList({{12, 3018}, {114, 3019}});
constexpr auto k3020 = TalkList({{78, 3020}});
constexpr auto k3021 = TalkList({{256, 3021}});
constexpr auto k3022 =
    TalkList({{13, 3022}, {254, 3023}, {13, 3024}, {254, 3025}, {254, 3026}});
constexpr auto k3027 = TalkList({{254, 3027}});
constexpr auto k20002 = TalkList({{15, 20002}});
constexpr auto k20003 = std::to_array<EventMessageRef>({{110, 20003}, {361, 20040}});

constexpr S::Op kPointScene2103[] = {
    S::FadeOutMusic(),
    S::Do(&PointSceneStart),
    S::FocusActing(),
    S::Do(&Nop87),
    S::Do(&LoadPointSceneBin),
    S::Messages(k3018),
    S::Wait(30),
    S::TurnPlayersTo(246, 80),
    S::Wait(30),
    S::Messages(k3020),
    S::Do(&LoadSeBank),
    S::ScrollPx(172, -80, 4),
    S::Do(&PointSceneMusic),
    S::Wait(30),
    S::Do(&LoadSeBank),
    S::Do(&ShowBg202),
    S::Messages(k3021),
    S::Do(&FreeBgAndNop87),
    S::Messages(k3022),
    S::ScrollPx(448, 622, 4),
    S::Wait(30),
    S::Do(&PulseStart),
    S::HoldUntil(&PulseGrown, {kScenePropKind}),
    S::Do(&HoldStart),
    S::HoldUntil(&HoldGrown, {kScenePropKind}),
    S::Do(&PulseShrink),
    S::HoldUntil(&PulseWord, 4, {kScenePropKind}),
    S::Wait(30),
    S::ScrollPx(172, -80, 4),
    S::Wait(30),
    S::Messages(k3027),
    S::Do(&StretchTone),
    S::ToneChange(0, 31, 1),
    S::Do(&UndeployLiftedProp),
    S::Wait(30),
    S::Custom(&ScrollToScenePoint),
    S::Do(&FirstFigures),
    S::HoldUntil(&FirstArrived, {kFigureKind}),
    S::Do(&FirstFlash),
    S::HoldUntil(&FadeEnded, {}),
    S::Do(&LastFigures),
    S::HoldUntil(&LastArrived, {kFigureKind}),
    S::Do(&CompanionAtPoint),
    S::Do(&WhiteIn32),
    S::HoldUntil(&FadeEnded, {}),
    S::Do(&PointSceneBgm),
    S::Wait(30),
    S::Messages(k20002),
    S::MessageIfPresent(3, k20003),
    S::End(),
};
static_assert(S::Valid(kPointScene2103));
constexpr SeqArgs kPointScene2103Args{kPointScene2103};

// ---- 2104: a remark, answered while character 1 is on the map ----

constexpr S::Op kRemark2104[] = {
    S::Wait(30),
    S::Message(361, 20004),
    S::If("NP(ITV);", 1),
    S::Message(33, 20005),
    S::Label(1),
    S::End(),
};
static_assert(S::Valid(kRemark2104));
constexpr SeqArgs kRemark2104Args{kRemark2104};

// ---- 2105: heroine 5's meeting ----

constexpr auto k20130 = TalkList({{209, 20130}});
constexpr auto k20131 = TalkList({{15, 20131}});
constexpr auto k20132 = TalkList({{209, 20132}});
constexpr auto k20006 = TalkList({{210, 20006}});

constexpr S::Op kMeeting2105[] = {
    S::Messages(k20130), S::Wait(30), S::ScrollPx(1024, 690, 8), S::Wait(30),
    S::FocusUnit(0, 0),  S::Wait(30), S::Messages(k20131),       S::Wait(30),
    S::FocusUnit(0, 5),  S::Wait(30), S::Messages(k20132),       S::Wait(60),
    S::Messages(k20006), S::End(),
};
static_assert(S::Valid(kMeeting2105));
constexpr SeqArgs kMeeting2105Args{kMeeting2105};

// ---- 2107: the boss's arrival ----

constexpr int32_t kBossKind = 22;
constexpr int32_t kBossFlashKind = 104;

void BossPlace() {
  EventNopData(kNopDataAddress, 0);
  Map02Words& w = Map02State();
  w.boss_point = FreeCellPointNear(1722, 1540);
  EventSetKindPlaceCell(kBossKind, w.boss_point.x, w.boss_point.y);
  EventSetKindPlaceCell(kBossFlashKind, w.boss_point.x, w.boss_point.y + 1);
  EventLoadBin("EVS02107.BIN", kEventBinAddress);
  EventRedeployKind(kBossKind);
  // A boss missing from the stage loads nothing.
  if (SlgUnit* boss = FindUnitByKind(kBossKind); boss != nullptr) LoadUnitAnms(*boss);
  EventClearKindFlag(kBossKind, kShowFlag);
}
void LoadBossBin() { EventLoadBin("EVS02107.BIN", kEventBinAddress); }
int ScrollToBoss() {
  const SlgPoint p = Map02State().boss_point;
  return EventScroll((p.x - 320) * 65536, (p.y - 240) * 65536, 8 * 65536);
}
void ShowBoss() { EventSetKindFlag(kBossKind, kShowFlag); }

// No unit acts any more: the unit chosen when the boss arrived loses its turn. The battle goes
// on with the next unit of the order that may act, or, when none is left, the order position
// passes the end so that the next frame starts a round.
void EndActingUnit() { Slg::PassTurn(Battle().control.main_work); }

constexpr auto kBoss1 = TalkList({{13, 20007}, {361, 20012}});
constexpr auto kBoss2 = TalkList({{361, 20013}, {15, 20014}});

constexpr S::Op kBoss2107[] = {
    S::Do(&BossPlace),
    S::Wait(30),
    S::Messages(kBoss1),
    S::Do(&LoadBossBin),
    S::Custom(&ScrollToBoss),
    S::DeployKind(kBossFlashKind),
    S::Se(135),
    S::Wait(15),
    S::Do(&ShowBoss),
    S::Wait(60),
    S::UndeployKind(kBossFlashKind),
    S::Messages(kBoss2),
    S::Wait(30),
    S::FocusActing(),
    S::Do(&EndActingUnit),
    S::End(),
};
static_assert(S::Valid(kBoss2107));
constexpr SeqArgs kBoss2107Args{kBoss2107};

// ---- 2108: victory ----

// The companion of kind 21 falls with the boss (unless it is missing or already gone).
void CompanionFalls() {
  SetEventFlag(196);
  SlgUnit* companion = FindUnitByKind(kCompanionKind);
  if (companion != nullptr && companion->step != kSlgDeadStep) SetUnitState(*companion, 15);
}
void VictoryMusic() { BGMPlayStart(18); }
int SlideIn102() { return EventBgSlideIn(102); }

constexpr auto kVictory = TalkList({{12, 20015}, {75, 20016}, {361, 20017}, {11, 20018}});

constexpr S::Op kVictory2108[] = {
    S::StopBgm(),
    S::HoldUntil("NU(UHW);", {}),
    S::FocusUnit(2, 24),
    S::Wait(30),
    S::Do(&CompanionFalls),
    S::Wait(180),
    S::FocusUnit(0, 0),
    S::Do(&VictoryMusic),
    S::Wait(60),
    S::Messages(kVictory),
    S::FocusUnit(0, 5),
    S::Wait(60),
    S::MessageNoWait(210, 301),
    S::Custom(&SlideIn102),
    S::Message(210, 302),
    S::StartGameWin(),
    S::End(),
};
static_assert(S::Valid(kVictory2108));
constexpr SeqArgs kVictory2108Args{kVictory2108};

// ---- 2109: defeat ----

constexpr auto kDefeat = TalkList({{18, 20019}, {216, 20020}, {361, 20021}});

constexpr S::Op kDefeat2109[] = {
    S::StopBgm(), S::Wait(30),  S::Messages(kDefeat),    S::WhiteOut(),
    S::Wait(30),  S::WhiteIn(), S::RequestGameOver(),   S::End(),
};
static_assert(S::Valid(kDefeat2109));
constexpr SeqArgs kDefeat2109Args{kDefeat2109};

// ---- 2110-2114: the boss's remarks ----

constexpr auto kRemark2110 = std::to_array<EventMessageRef>({{209, 20022}, {11, 20023}});
constexpr auto kRemark2111 = TalkList({{11, 20024}, {361, 20025}, {15, 20026}});
constexpr auto kRemark2112 = std::to_array<EventMessageRef>({{213, 20027}, {15, 20028}});
constexpr auto kRemark2113 = std::to_array<EventMessageRef>({{74, 20029}, {13, 20030}});
constexpr auto kRemark2114 = std::to_array<EventMessageRef>({{110, 20032}, {11, 20033}});

constexpr S::Op kBossRemark2110[] = {S::Wait(2), S::MessageIfPresent(5, kRemark2110), S::End()};
constexpr S::Op kBossRemark2111[] = {S::Wait(2), S::Messages(kRemark2111), S::End()};
constexpr S::Op kBossRemark2112[] = {S::Wait(2), S::MessageIfPresent(5, kRemark2112), S::End()};
constexpr S::Op kBossRemark2113[] = {S::Wait(2), S::MessageIfPresent(2, kRemark2113), S::End()};
constexpr S::Op kBossRemark2114[] = {S::Wait(2), S::MessageIfPresent(3, kRemark2114), S::End()};
constexpr SeqArgs kBossRemark2110Args{kBossRemark2110};
constexpr SeqArgs kBossRemark2111Args{kBossRemark2111};
constexpr SeqArgs kBossRemark2112Args{kBossRemark2112};
constexpr SeqArgs kBossRemark2113Args{kBossRemark2113};
constexpr SeqArgs kBossRemark2114Args{kBossRemark2114};

// ---- 2118: heroine 5's remark on a defeat ----

constexpr auto k2118 = TalkList({{210, 20038}, {12, 20039}});

// Keeps turn control running while the main task waits for the units of its action (its state
// 16), then holds the turn for the list, which ends the event itself.
void Heroine5Defeat(const SlgEventEntry& row) {
  BattleContext& b = Battle();
  b.control.turn_hold = 0;
  if (b.control.main_work != nullptr && b.control.main_work->step == kSlgPhaseAgain) return;
  b.control.turn_hold = 1;
  EventWaitTalkList(row, k2118);
  b.event_unit_ref[0] = kSlgNoUnit;
}

// ---- 2099 and 2120: the choice talks ----

int Ready() { return EventReady(); }

constexpr auto k20100 = TalkList({{209, 20100}});
constexpr auto k2099a = TalkList({{211, 20102}, {211, 20103}});
constexpr auto k2099b = TalkList({{210, 20105}, {210, 20106}});
constexpr auto k2099c = TalkList({{213, 20107}, {211, 20108}, {211, 20109}, {211, 20110}});
constexpr auto k2099d = TalkList({{212, 20111}, {212, 20112}, {209, 20113}});

constexpr S::Op kChoice2099[] = {
    S::Custom(&Ready),
    S::FocusUnit(0, 5),
    S::Wait(30),
    S::Messages(k20100),
    S::Custom(&Ready),
    S::TimedChoice(20101, 600),
    S::Branch({{1, 1}, {2, 2}, {3, 3}}, 4),
    S::Label(1), S::Se(21), S::AddHeroineParam(5, -2), S::Messages(k2099a), S::Goto(9),
    S::Label(2), S::Se(20), S::AddHeroineParam(5, 5), S::Messages(k2099b), S::Goto(9),
    S::Label(3), S::Se(21), S::AddHeroineParam(5, -2), S::Messages(k2099c), S::Goto(9),
    S::Label(4), S::Messages(k2099d),
    S::Label(9), S::End(),
};
static_assert(S::Valid(kChoice2099));
constexpr SeqArgs kChoice2099Args{kChoice2099};

constexpr auto k2120 = TalkList({{29, 20120}, {29, 20121}});
constexpr auto k2120a = TalkList({{31, 20123}});
constexpr auto k2120b = TalkList({{29, 20124}, {30, 20125}});
constexpr auto k2120c = TalkList({{31, 20126}, {32, 20127}});
constexpr auto k2120d = TalkList({{29, 20124}, {30, 20128}, {29, 20129}});

constexpr S::Op kChoice2120[] = {
    S::Custom(&Ready),
    S::Messages(k2120),
    S::Custom(&Ready),
    S::TimedChoice(20122, 600),
    S::Branch({{1, 1}, {2, 2}, {3, 3}}, 4),
    S::Label(1), S::Messages(k2120a), S::AddHeroineParam(1, -3), S::Se(21), S::Wait(60), S::Goto(9),
    S::Label(2), S::Messages(k2120b), S::Goto(9),
    S::Label(3), S::Messages(k2120c), S::AddHeroineParam(1, -2), S::Se(21), S::Wait(60), S::Goto(9),
    S::Label(4), S::Messages(k2120d), S::AddHeroineParam(1, 1), S::Se(20), S::Wait(60),
    S::Label(9), S::End(),
};
static_assert(S::Valid(kChoice2120));
constexpr SeqArgs kChoice2120Args{kChoice2120};

// ---- The plain talks ----

constexpr auto k2098 = TalkList({{361, 15000}, {209, 15001}, {361, 15002}});
constexpr auto k2115 = TalkList({{110, 20035}});
constexpr auto k2116 = TalkList({{110, 20036}});
constexpr auto k2117 = TalkList({{110, 20037}});
constexpr TalkListArgs k2098Args{k2098};
constexpr TalkListArgs k2115Args{k2115};
constexpr TalkListArgs k2116Args{k2116};
constexpr TalkListArgs k2117Args{k2117};

constexpr S::Op kEndAtOnce[] = {S::End()};
static_assert(S::Valid(kEndAtOnce));
constexpr SeqArgs kEndAtOnceArgs{kEndAtOnce};

// ---- The table ----

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 2097, .timing = 0x8000, .b = "RI(ITZ)<25;", .guard = {97, 98}, .set = {97, 98},
     .handler = &SeqRow, .arg = &kEndAtOnceArgs},
    {.id = 2098, .timing = 0x2, .b = "M(MAD)&(RI(ITZ)>=25);", .guard = {103, 98}, .set = {98, 0},
     .handler = &TalkListRow, .arg = &k2098Args},
    {.id = 2099, .timing = 0x8, .a = "F(105);", .b = "PP(ITZ);", .guard = {99, 0},
     .set = {99, 0}, .handler = &SeqRow, .arg = &kChoice2099Args},
    {.id = 2100, .timing = 0x8000, .guard = {100, 0}, .set = {100, 0}, .handler = &SeqRow,
     .arg = &kOpening2100Args},
    {.id = 2101, .timing = 0x8000, .a = "F(100);", .guard = {101, 0}, .set = {101, 0},
     .handler = &SeqRow, .arg = &kOpening2101Args},
    {.id = 2102, .timing = 0x8000, .a = "F(101);", .guard = {102, 0}, .set = {102, 0},
     .handler = &SeqRow, .arg = &kOpening2102Args},
    {.id = 2103, .timing = 0x8000, .b = "NG(GZA);", .guard = {103, 0}, .set = {103, 0},
     .handler = &SeqRow, .arg = &kPointScene2103Args},
    {.id = 2104, .timing = 0x4, .a = "F(103)&F(197);", .guard = {104, 0}, .set = {104, 0},
     .handler = &SeqRow, .arg = &kRemark2104Args},
    {.id = 2105, .timing = 0x8, .b = "PP(ITZ);", .guard = {105, 0}, .c = "NU(UJD);",
     .set = {105, 0}, .handler = &SeqRow, .arg = &kMeeting2105Args},
    {.id = 2107, .timing = 0x4, .a = "F(199);", .guard = {107, 0}, .set = {107, 0},
     .handler = &SeqRow, .arg = &kBoss2107Args},
    {.id = 2108, .timing = 0x8000, .a = "F(107);", .b = "HGU(GBO,UHW,0);", .guard = {108, 0},
     .set = {108, 0}, .handler = &SeqRow, .arg = &kVictory2108Args},
    {.id = 2109, .timing = 0x8000, .a = "F(198);", .guard = {109, 0}, .set = {109, 0},
     .handler = &SeqRow, .arg = &kDefeat2109Args},
    {.id = 2110, .timing = 0x4, .a = "F(107);", .b = "FGU(GBO,UHW);", .guard = {110, 0},
     .set = {110, 0}, .handler = &SeqRow, .arg = &kBossRemark2110Args},
    {.id = 2111, .timing = 0x4, .a = "F(110);", .b = "FGU(GBO,UHW);", .guard = {111, 0},
     .set = {111, 0}, .handler = &SeqRow, .arg = &kBossRemark2111Args},
    {.id = 2112, .timing = 0x4, .a = "F(111);", .b = "FGU(GBO,UHW);", .guard = {112, 0},
     .set = {112, 0}, .handler = &SeqRow, .arg = &kBossRemark2112Args},
    {.id = 2113, .timing = 0x4, .a = "F(112);", .b = "FGU(GBO,UHW);", .guard = {113, 0},
     .set = {113, 0}, .handler = &SeqRow, .arg = &kBossRemark2113Args},
    {.id = 2114, .timing = 0x4, .a = "F(113);", .b = "FGU(GBO,UHW);", .guard = {114, 0},
     .set = {114, 0}, .handler = &SeqRow, .arg = &kBossRemark2114Args},
    {.id = 2115, .timing = 0x2, .b = "M(MAD);", .guard = {103, 0}, .handler = &TalkListRow,
     .arg = &k2115Args},
    {.id = 2116, .timing = 0x2, .a = "F(103);", .b = "M(MAD);", .guard = {107, 0},
     .handler = &TalkListRow, .arg = &k2116Args},
    {.id = 2117, .timing = 0x2, .a = "F(107);", .b = "M(MAD);", .handler = &TalkListRow,
     .arg = &k2117Args},
    {.id = 2118, .timing = 0x4, .b = "KP(ITZ);", .guard = {118, 0}, .set = {118, 0},
     .handler = &Heroine5Defeat},
    {.id = 2120, .timing = 0x8, .a = "F(102);", .b = "FAD(17)=1;", .guard = {120, 0},
     .set = {120, 0}, .handler = &SeqRow, .arg = &kChoice2120Args},
});

constexpr uint8_t kMembers = kITV | kIDV | kILN | kITZ;
constexpr GenericTalkSet kTalks = CommonTalks(kMembers);
constexpr GenericDesc kGeneric{
    .talks = &kTalks,
    .falls = {.base = 2500, .members = kMembers},
    .ref_talks = {.base = 2520, .members = kMembers},
    .ref_talks2 = {.base = 2530, .members = kMembers},
    .char_talks = {.base = 2600, .members = kMembers},
    .talk_c = "!NU(UHW)&HGU(GBO,UHW,0)|HP(IKD,0);",
    .favourite_c = "NP(IMR())|(!NU(UHW)&HGU(GBO,UHW,0))|HP(IKD,0);"};

constexpr auto kTable = JoinRows(kStoryRows, GenericRows<kGeneric>());
static_assert(kTable.size() == 39 + 1);

// ---- The map's objects ----

void Draw(SlgUnit& unit, const SlgPair& position) {
  SlgSprSetPos(unit.anm->handle, position);
  SlgSprSetPri(unit.anm->handle, unit.anm->depth);
}

// The townspeople's velocity (pixels a frame) by character byte.
constexpr std::array<SlgPoint, 7> kTownsVelocity = {
    {{-2, -1}, {-2, 1}, {-2, 1}, {-2, -1}, {2, -1}, {2, 1}, {2, 1}}};
constexpr int32_t kTownsStartDelay = 30;
constexpr uint8_t kTownsHeld = 1;
constexpr uint8_t kTownsWalking = 2;
constexpr uint8_t kTownsGone = 3;

// A townsperson: held for 30 frames on its cell (lifted by the cell's height), then walks by its
// character byte's velocity until it stands on a cell of height 0, where its animation is
// released. Its walk start is kept in its walk record. A character byte outside the table has no
// velocity: such a person stands still until the script undeploys it.
int Townsperson(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr || unit.state >= kTownsGone) return 0;
  if (unit.state == 0) {
    ChangeUnitAnm(unit, 4);
    body->wait = kTownsStartDelay;
    body->mode = static_cast<uint8_t>(body->mode & ~kSlgAnmStartStopped);
    if (body->handle != nullptr) Ctx().anime.SetStop(body->handle, 1);
    const int32_t px = unit.x >> 16;
    const int32_t py = unit.y >> 16;
    const int32_t lift = CellToPosHeight(px, py).y - SnapPosToCell(px, py).y;
    unit.y += lift * 65536;
    EventObjPlace(unit);
    position = EventObjScreenPos(unit);
    body->start_time = body->now;
    body->frames = 0;
    SetUnitState(unit, kTownsHeld);
  }
  if (unit.state == kTownsHeld) {
    Draw(unit, position);
    EventObjPlace(unit);
    if (body->frames >= kTownsStartDelay) {
      if (body->handle != nullptr) Ctx().anime.SetStop(body->handle, 0);
      unit.walk_state[1] = unit.x;
      unit.walk_state[2] = unit.y;
      body->start_time = body->now;
      body->frames = 0;
      SetUnitState(unit, kTownsWalking);
    }
    return 0;
  }
  Draw(unit, position);
  if (unit.character >= kTownsVelocity.size()) return 0;
  const SlgPoint v = kTownsVelocity[unit.character];
  unit.x = unit.walk_state[1] + v.x * body->frames * 65536;
  unit.y = unit.walk_state[2] + v.y * body->frames * 65536;
  EventObjPlace(unit);
  const int32_t px = unit.x >> 16;
  const int32_t py = unit.y >> 16;
  if (CellPosLift(px, py).y == py) {
    if (HasScene()) Scene().tamvik_spr.ReleaseAnm(&body->handle);
    SetUnitState(unit, kTownsGone);
  }
  return 0;
}

// The still prop: pattern 2, drawn one depth step in front of its position with shade mode 3.
int StillProp(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr) return 0;
  if (unit.state == 0) {
    SetAnmPattern(body, 2);
    ChangeUnitAnm(unit, 4);
    SetUnitState(unit, 1);
  }
  SetAnmPriByPos(body, {unit.x, unit.y});
  body->depth = static_cast<int16_t>(body->depth - 1);
  body->shade = 3;
  Draw(unit, position);
  return 0;
}

// ---- The props that answer the signal words ----

constexpr int32_t kFullZoom = 65536;
// The shade word of the props the tone steps control.
constexpr uint16_t kToneShadeMode = 24576;
// Where the lifted prop is set down (map pixels).
constexpr SlgPoint kSetDownPoint{492, 160};

// A prop's motion record. Unit records move when others are removed, so the unit keeps the
// number of its record (walk word 0, 1-based): its first phase takes a new record, later phases
// find it (a unit without one gets one).
Map02Prop& PropOf(SlgUnit& unit) {
  std::vector<Map02Prop>& props = Map02State().props;
  const int32_t n = unit.walk_state[0];
  if (unit.state != 0 && n >= 1 && static_cast<size_t>(n) <= props.size()) {
    return props[static_cast<size_t>(n - 1)];
  }
  props.emplace_back();
  unit.walk_state[0] = static_cast<int32_t>(props.size());
  return props.back();
}

// The motion's clock restarted: its frames count from this call.
void RestartClock(SlgAnmObj& body) {
  body.start_time = body.now;
  body.frames = 0;
}

void SetZoom(const SlgUnit& unit, const SlgPair& zoom) { SlgSprSetZoom(unit.anm->handle, zoom); }

void ReleaseBody(SlgAnmObj& body) {
  if (HasScene()) Scene().tamvik_spr.ReleaseAnm(&body.handle);
}

// One frame of a prop growing from a small zoom: the zoom grows by the speed, which then shrinks
// by `slowdown`; true at full size, with the addition that passed it undone.
bool GrowStep(Map02Motion& m, int32_t slowdown) {
  m.zoom.x += m.speed;
  m.zoom.y += m.speed;
  if (m.zoom.x >= kFullZoom) {
    m.zoom.x -= m.speed;
    m.zoom.y -= m.speed;
    return true;
  }
  m.speed -= slowdown;
  return false;
}

// One frame of a prop shrinking away: the zoom falls by the speed, which grows by 256 (at least
// 256); true once the zoom x is below 257.
bool ShrinkStep(Map02Motion& m) {
  m.zoom.x -= m.speed;
  m.zoom.y -= m.speed;
  m.speed += 256;
  if (m.speed < 1) m.speed = 256;
  return m.zoom.x < 257;
}

// The lifted prop's phases.
enum : uint8_t {
  kLiftBobbing = 1,
  kLiftingOff = 2,
  kLiftGone = 3,
  kLiftSetDown = 4,
  kLiftSettling = 5,
  kLiftDown = 6,
};

void StartBob(Map02Prop& p, const SlgUnit& unit) {
  p.bob_centre = {unit.x + 65536, unit.y + 65536};
  p.bob_phase = 0;
}

// Lift-off and set-down: the zoom x narrows while the zoom y stretches by the speed.
bool LiftOffStep(Map02Motion& m) {
  m.speed += 512;
  m.zoom.x -= 2 * m.speed;
  m.zoom.y += 16 * m.speed;
  return m.zoom.x <= 8192;
}
bool SetDownStep(Map02Motion& m) {
  m.zoom.x += 2 * m.speed;
  m.zoom.y -= 16 * m.speed;
  m.speed -= 512;
  return m.zoom.x >= kFullZoom;
}

// Drawn stretched: raised by 8 x its zoom y.
void DrawStretched(SlgUnit& unit, SlgPair position, const SlgPair& zoom) {
  position.y += SlgFxMul(zoom.y, -8 * 65536);
  unit.anm->shade = 0;
  SetZoom(unit, zoom);
  Draw(unit, position);
}

// The lifted prop: bobs on its cell; on stretch 1 it lifts off (stretch 2), on stretch 3 it is
// set down at (492, 160) (stretch 4) and bobs there, tone-controlled while stretch is 5. Placed
// after flag 102 it starts set down. Its speed starts at 0 for the lift-off, and the set-down
// runs on what the lift-off left, so it mirrors it back to full size.
int LiftedProp(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr) return 0;
  Map02Prop& p = PropOf(unit);
  Map02Words& w = Map02State();
  if (unit.state == 0) {
    ChangeUnitAnm(unit, 4);
    p.now.zoom = {kFullZoom, kFullZoom};
    uint8_t next = kLiftBobbing;
    if (CheckEventFlag(102) != 0) {
      unit.x = kSetDownPoint.x * 65536;
      unit.y = kSetDownPoint.y * 65536;
      next = kLiftDown;
    }
    StartBob(p, unit);
    SetUnitState(unit, next);
  }
  switch (unit.state) {
    case kLiftBobbing:
    case kLiftDown: {
      p.bob_phase = (p.bob_phase - 4) & 511;
      unit.y = p.bob_centre.y + 8 * SlgCos(p.bob_phase);
      body->shade = (unit.state == kLiftDown && w.stretch == 5) ? kToneShadeMode : 0;
      SetZoom(unit, p.now.zoom);
      Draw(unit, EventObjScreenPos(unit));
      if (unit.state == kLiftBobbing && w.stretch == 1) {
        p.saved = p.now;
        RestartClock(*body);
        SetUnitState(unit, kLiftingOff);
      }
      return 0;
    }
    case kLiftingOff:
      if (ReplayMotion(p.now, p.saved, body->frames, LiftOffStep)) {
        w.stretch = 2;
        SetUnitState(unit, kLiftGone);
      }
      DrawStretched(unit, position, p.now.zoom);
      return 0;
    case kLiftGone:
      if (w.stretch == 3) SetUnitState(unit, kLiftSetDown);
      if (unit.state != kLiftSetDown) return 0;
      [[fallthrough]];
    case kLiftSetDown:
      unit.x = kSetDownPoint.x * 65536;
      unit.y = kSetDownPoint.y * 65536;
      StartBob(p, unit);
      p.saved = p.now;
      RestartClock(*body);
      SetUnitState(unit, kLiftSettling);
      [[fallthrough]];
    case kLiftSettling:
      if (ReplayMotion(p.now, p.saved, body->frames, SetDownStep)) {
        w.stretch = 4;
        SetUnitState(unit, kLiftDown);
      }
      DrawStretched(unit, EventObjScreenPos(unit), p.now.zoom);
      return 0;
    default:
      return 0;
  }
}

// The dropping props: on drop 1 they fall from 0.25 pixel a frame, 1/512 pixel faster each
// frame up to 0.5 pixel a frame; once past y 1102 the animation is released and the drop signal
// cleared.
constexpr int32_t kDropStartSpeed = 16384;
constexpr int32_t kDropTopSpeed = 32768;
constexpr int32_t kDropEndY = 1102;

bool DropStep(Map02Motion& m) {
  m.speed += 128;
  const bool top = m.speed >= kDropTopSpeed;
  if (top) m.speed = kDropTopSpeed;
  m.pos.y += m.speed;
  return top;
}

int DroppingProp(SlgUnit& unit, SlgPair& /*position*/) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr || unit.state >= 4) return 0;
  Map02Prop& p = PropOf(unit);
  Map02Words& w = Map02State();
  if (unit.state == 0) {
    ChangeUnitAnm(unit, 4);
    w.drop_depth = -((unit.y >> 16) / 2);
    SetUnitState(unit, 1);
  }
  body->depth = static_cast<int16_t>(w.drop_depth);
  if (unit.state == 1) {
    body->shade = 1;
    Draw(unit, EventObjScreenPos(unit));
    if (w.drop != 1) return 0;
    p.now = {.pos = {unit.x, unit.y}, .zoom = {}, .speed = kDropStartSpeed};
    p.saved = p.now;
    RestartClock(*body);
    SetUnitState(unit, 2);
  }
  if (unit.state == 2) {
    if (ReplayMotion(p.now, p.saved, body->frames, DropStep)) {
      p.saved = p.now;
      RestartClock(*body);
      SetUnitState(unit, 3);
    }
  } else {
    p.now.pos.y = p.saved.pos.y + kDropTopSpeed * body->frames;
  }
  unit.y = p.now.pos.y;
  Draw(unit, EventObjScreenPos(unit));
  if ((unit.y >> 16) > kDropEndY) {
    ReleaseBody(*body);
    w.drop = 0;
    SetUnitState(unit, 4);
  }
  return 0;
}

// The growing prop: pattern 1; on grow 1 it grows from zoom 256 (grow 2 at full size), on grow 3
// it shrinks away (grow 4).
int GrowingProp(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr || unit.state >= 5) return 0;
  Map02Prop& p = PropOf(unit);
  Map02Words& w = Map02State();
  if (unit.state == 0) {
    SetAnmPattern(body, 1);
    w.grow_depth = 1 - (unit.y >> 16) / 2;
    SetUnitState(unit, 1);
  }
  if (unit.state == 1) {
    if (w.grow != 1) return 0;
    ChangeUnitAnm(unit, 4);
    p.now = {.pos = {}, .zoom = {256, 256}, .speed = 8192};
    p.saved = p.now;
    RestartClock(*body);
    SetUnitState(unit, 2);
  }
  if (unit.state == 2 &&
      ReplayMotion(p.now, p.saved, body->frames, [](Map02Motion& m) { return GrowStep(m, 256); })) {
    w.grow = 2;
    SetUnitState(unit, 3);
  }
  if (unit.state == 3 && w.grow == 3) {
    p.saved = p.now;
    RestartClock(*body);
    SetUnitState(unit, 4);
  }
  if (unit.state == 4 && ReplayMotion(p.now, p.saved, body->frames, ShrinkStep)) {
    w.grow = 4;
    SetUnitState(unit, 5);
  }
  body->shade = 1;
  body->depth = static_cast<int16_t>(w.grow_depth);
  SetZoom(unit, p.now.zoom);
  Draw(unit, position);
  return 0;
}

// Kind 102 by character byte: 0 the holding prop (grows on hold 1 at the scene point, hold 2 at
// full size), 1 the pulsing prop (grows on pulse 1, pulse 2; shrinks on pulse 3, pulse 4, its
// animation released). Both are tone-controlled. Another byte has no part in the scene and stands
// idle.
int ScenePointProp(SlgUnit& unit, SlgPair& /*position*/) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr || unit.character > 1 || unit.state >= 5) return 0;
  const bool pulsing = unit.character == 1;
  Map02Prop& p = PropOf(unit);
  Map02Words& w = Map02State();
  int32_t& signal = pulsing ? w.pulse : w.hold;
  if (unit.state == 0) {
    unit.x = w.scene_point.x * 65536;
    unit.y = w.scene_point.y * 65536;
    EventObjSnap(unit);
    EventObjPlace(unit);
    if (pulsing) SetAnmPattern(body, 1);
    body->byte = 0;
    SetUnitState(unit, 1);
  }
  if (unit.state == 1) {
    if (signal != 1) return 0;
    p.now = {.pos = {}, .zoom = {256, 256}, .speed = pulsing ? 16384 : 8192};
    p.saved = p.now;
    body->shade = kToneShadeMode;
    ChangeUnitAnm(unit, 4);
    RestartClock(*body);
    SetUnitState(unit, 2);
  }
  const int32_t slowdown = pulsing ? 1024 : 256;
  if (unit.state == 2 && ReplayMotion(p.now, p.saved, body->frames, [slowdown](Map02Motion& m) {
        return GrowStep(m, slowdown);
      })) {
    signal = 2;
    SetUnitState(unit, 3);
  }
  if (unit.state == 3 && pulsing && signal == 3) {
    p.saved = p.now;
    RestartClock(*body);
    SetUnitState(unit, 4);
  }
  bool gone = false;
  if (unit.state == 4 && ReplayMotion(p.now, p.saved, body->frames, ShrinkStep)) {
    signal = 4;
    SetUnitState(unit, 5);
    gone = true;
  }
  body->shade = kToneShadeMode;
  SetZoom(unit, p.now.zoom);
  Draw(unit, EventObjScreenPos(unit));
  if (gone) ReleaseBody(*body);
  return 0;
}

// The flying figures (kind 103, bytes 1-4): from the scene point plus their byte's offset they
// fly to the scene point's cell in 15 truncated steps (the last few units finished by the clamp
// at the target); on arrival the bit of their byte is set and the animation released. Another
// byte has no offset and stands idle.
constexpr std::array<SlgPoint, 4> kFigureOffsets = {{{-312, -208}, {312, 208}, {312, -208}, {-312, 208}}};

int32_t Approach(int32_t value, int32_t velocity, int32_t target) {
  const int32_t next = value + velocity;
  if (velocity < 0) return next < target ? target : next;
  return next > target ? target : next;
}

int FlyingFigure(SlgUnit& unit, SlgPair& /*position*/) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr || unit.character < 1 || unit.character > 4 || unit.state >= 2) return 0;
  Map02Prop& p = PropOf(unit);
  Map02Words& w = Map02State();
  if (unit.state == 0) {
    const SlgPoint cell = SnapPosToCell(w.scene_point.x, w.scene_point.y);
    const SlgPoint offset = kFigureOffsets[unit.character - 1u];
    p.target = {cell.x * 65536, cell.y * 65536};
    const SlgPair start{(w.scene_point.x + offset.x) * 65536, (w.scene_point.y + offset.y) * 65536};
    SetAnmPattern(body, 0);
    body->byte = 0;
    ChangeUnitAnm(unit, 4);
    body->shade = kToneShadeMode;
    body->depth = static_cast<int16_t>(SlgCalcDepth(0, start.y >> 16));
    p.velocity = {(p.target.x - start.x) / 15, (p.target.y - start.y) / 15};
    p.now = {.pos = start, .zoom = {}, .speed = 0};
    p.saved = p.now;
    RestartClock(*body);
    SetUnitState(unit, 1);
  }
  const bool arrived = ReplayMotion(p.now, p.saved, body->frames, [&p](Map02Motion& m) {
    m.pos.x = Approach(m.pos.x, p.velocity.x, p.target.x);
    m.pos.y = Approach(m.pos.y, p.velocity.y, p.target.y);
    return m.pos.x == p.target.x && m.pos.y == p.target.y;
  });
  unit.x = p.now.pos.x;
  unit.y = p.now.pos.y;
  body->shade = kToneShadeMode;
  body->depth = static_cast<int16_t>(-((unit.y >> 16) / 2));
  Draw(unit, EventObjScreenPos(unit));
  if (arrived) {
    w.arrival |= 1 << unit.character;
    ReleaseBody(*body);
    SetUnitState(unit, 2);
  }
  return 0;
}

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap02ObjectKinds> t{};
  for (int k = 80; k <= 86; ++k) t[static_cast<size_t>(k - 80)] = &Townsperson;
  t[87 - 80] = &LiftedProp;
  t[88 - 80] = &DroppingProp;
  t[89 - 80] = &DroppingProp;
  t[90 - 80] = &GrowingProp;
  t[91 - 80] = &StillProp;
  for (int k = 92; k <= 96; ++k) t[static_cast<size_t>(k - 80)] = EventAnmOnceSnapHalfYFore;
  for (int k = 97; k <= 101; ++k) t[static_cast<size_t>(k - 80)] = EventAnmHoldSnapHeldShadow;
  t[104 - 80] = EventAnmOnceCellShade0;
  t[102 - 80] = &ScenePointProp;
  t[103 - 80] = &FlyingFigure;
  t[105 - 80] = EventAnmFixedDepth259;
  return t;
}();

// The map's fixed sprite (shade mode 8192).
constexpr FixTaskRow kFixedSprites[] = {{4, 105, 496, 312}, kFixTaskRowEnd};
void Map02Sprites() { FixTaskAddList(kFixedSprites); }

}  // namespace

const MapSetup kMap02Setup{.bgm = MapBgm::Play(6),
                           .table = kTable.data(),
                           .anm_table = kAnm,
                           .deferred = &Map02Sprites};
