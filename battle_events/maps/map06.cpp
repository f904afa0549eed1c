#include "battle_events/maps/map06.h"

#include <array>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_sound.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_steps.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/commander_scenes.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/generic_rows.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "battle_events/runtime/event_walks.h"
#include "engine/core/debug_trace.h"

Map06Words& Map06State() { return Battle().Extension<Map06Words>(); }

namespace {

namespace S = EventSeq;

// The load address of the event data files and of the bombardment's map part.
constexpr uint32_t kOpeningBinAddress = 0x60cd000;
constexpr uint32_t kSceneBinAddress = 0x60d0000;
constexpr uint32_t kMapPartAddress = 0x60c0000;
constexpr const char* kSeBank = "SEBE04.ALL";
constexpr const char* kMapPart = "MPK06_01.BIN";
// The show flag of a unit (EventSetKindFlag / EventClearKindFlag).
constexpr uint32_t kShowFlag = 0x80;
// The walking heroine of the opening and the victory, and her companion.
constexpr int32_t kHeroine4 = 4;
constexpr int32_t kHeroine1 = 1;
// The commander: kind 24 of group 2.
constexpr int32_t kCommanderKind = 24;
// The enemy's soldiers: kind 14 numbers 1-9, kind 16 numbers 10-13, kind 15 number 14 (x 256).
constexpr int32_t kSoldierKind = 14;
// The group whose units fall in the victory, and its frame limit.
constexpr int32_t kEnemyGroup = 1;
constexpr int32_t kEnemyWaitFrames = 300;
// The flag the commander's exit sets once its fall has played.
constexpr int32_t kCommanderDownFlag = 198;

void DeployKinds(int32_t first, int32_t last) {
  for (int32_t k = first; k <= last; ++k) EventDeployKind(k);
}
void UndeployKinds(int32_t first, int32_t last) {
  for (int32_t k = first; k <= last; ++k) EventUndeployKind(k);
}

// The first live unit of the kind / the player's live unit of the character.
SlgUnit* LiveKind(int32_t kind) {
  BattleContext& b = Battle();
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = b.state.units[i];
    if (unit.kind == kind && SlgUnitLive(unit)) return &unit;
  }
  return nullptr;
}
SlgUnit* LiveChara(int32_t character) {
  BattleContext& b = Battle();
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = b.state.units[i];
    if (unit.side == 0 && unit.character == character && SlgUnitLive(unit)) return &unit;
  }
  return nullptr;
}
SlgUnit* LiveKindNo(int32_t kind, int32_t number) {
  SlgUnit* unit = FindUnitByIndex(kind, number * 256);
  return unit != nullptr && SlgUnitLive(*unit) ? unit : nullptr;
}

// Route work areas made every frame until all exist (an allocation may be refused for a while).
template <size_t N>
int AllocRoutes(std::array<RouteWork*, N>& routes) {
  bool all = true;
  for (RouteWork*& r : routes) {
    if (r == nullptr) r = RouteWorkAlloc();
    all = all && r != nullptr;
  }
  return all ? 1 : 0;
}
template <size_t N>
void FreeRoutes(std::array<RouteWork*, N>& routes) {
  for (RouteWork*& r : routes) {
    RouteWorkFree(r);
    r = nullptr;
  }
}

// A walk of the player's character on route 1-6 of the opening.
template <int Route, int Character, int X, int Y, int Fast>
int Walk() {
  return EventWalkUnit(Map06State().routes[Route - 1], 0, Character, X, Y, Fast);
}

// ---- 6105: the opening ----

constexpr std::array<int32_t, 7> kParty = {0, 1, 2, 3, 4, 5, 6};
// The characters who gather in the opening (all but heroine 4).
constexpr std::array<int32_t, 6> kGathering = {0, 1, 2, 3, 5, 6};

void HideParty() {
  for (int32_t k : kParty) EventClearKindFlag(k, kShowFlag);
  if (SlgUnit* h = LiveKind(kHeroine4); h != nullptr) EventLoadUnitExtraAnm(h);
}
void DeployMechanism() {
  EventLoadBin("EVS06105.BIN", kOpeningBinAddress);
  CommanderSceneWords& w = CommanderScenes();
  w.mechanism = 0;
  w.drop = 0;
  DeployKinds(101, 104);
  AddFixedSprite(kMap06FixedBefore, kMap06FixedX, kMap06FixedY);
  EventLoadPcm("PEOPLE2.PCM");
}
int AllocOpeningRoutes() { return AllocRoutes(Map06State().routes); }
void StartFadeIn() {
  EventLoadPcm("PEOPLE2.PCM");
  EventFadeIn();
}
void Crowd() {
  DeployKinds(80, 94);
  SlgSePlay(22);
  EventSePlay(310);
  EventLoadSeBank(kSeBank);
}
void LoadSeBank() { EventLoadSeBank(kSeBank); }
void CrowdGone() {
  UndeployKinds(80, 94);
  EventShowBG(204);
}
void FreeBg() { EventFreeBG(); }

int32_t& MechanismStage() { return CommanderScenes().mechanism; }
int32_t& DropSignal() { return CommanderScenes().drop; }
void Grow() {
  CommanderScenes().mechanism = 1;
  SlgSePlay(234);
}
void Drop() {
  SlgSePlay(235);
  CommanderScenes().drop = 1;
}
void Shrink() { CommanderScenes().mechanism = 3; }
void MechanismGone() {
  SePlay(235, 2);
  UndeployKinds(101, 104);
}
void ShowHeroine4() { EventSetKindFlag(kHeroine4, kShowFlag); }

// Heroine 4 acts on the targets the keys name, looked up on each call: the event objects freed
// in the waits before move the records. Without her unit the action is skipped.
int ScriptedAction(std::span<SlgUnit* const> targets, int32_t count) {
  SlgUnit* actor = LiveKind(kHeroine4);
  if (actor == nullptr && EventRuntimeState().action_phase == 0) {
    DebugPrint("map 6: no unit of kind %d: its scripted action is skipped\n", kHeroine4);
    return 1;
  }
  return EventScriptedAction(actor, targets.data(), count);
}
int StrikeCommander() {
  const std::array<SlgUnit*, 3> targets = {LiveKind(kCommanderKind), LiveKindNo(kSoldierKind, 1),
                                           LiveKindNo(kSoldierKind, 2)};
  return ScriptedAction(targets, 1);
}
int StrikeParty() {
  const std::array<SlgUnit*, 3> targets = {LiveKind(2), LiveKind(5), LiveKind(6)};
  return ScriptedAction(targets, 3);
}
void ActingModeOn() { Battle().event_words.acting_mode[0] = 1; }
void ActingModeOff() { Battle().event_words.acting_mode[0] = 0; }

void TurnHeroine4Away() { EventSetCharaDir(kHeroine4, 2); }
template <int X, int Y>
int WalkFocused() {
  EventFocusUnit(0, kHeroine4);
  return Walk<1, kHeroine4, X, Y, 0>();
}
void HideOthers() {
  for (int32_t k : kGathering) EventClearKindFlag(k, kShowFlag);
}
void Arrival() {
  SlgSePlay(134);
  DeployKinds(95, 100);
  BGMPlayStart(5);
}
void PartyAppears() {
  for (int32_t c : kGathering) {
    EventSetKindFlag(c, kShowFlag);
    if (SlgUnit* u = LiveChara(c); u != nullptr) SetUnitState(*u, 0);
  }
}
void ArrivalGone() { UndeployKinds(95, 100); }
void LoadAura() { EventLoadPcm("AURA.PCM"); }

// Heroines 5, 6 and 2 walk together (routes 2-4); done in the frame all three have arrived.
int Gather() {
  struct Leg {
    int32_t character;
    SlgPoint to;
  };
  static constexpr std::array<Leg, 3> kLegs = {{{5, {200, 1056}}, {6, {192, 1008}},
                                                {2, {288, 1048}}}};
  Map06Words& w = Map06State();
  for (size_t n = 0; n < kLegs.size(); ++n) {
    const int32_t bit = 1 << n;
    if ((w.arrived & bit) != 0) continue;
    const Leg& leg = kLegs[n];
    if (EventWalkUnit(w.routes[n + 1], 0, leg.character, leg.to.x, leg.to.y, 1) != 0) {
      w.arrived |= bit;
    }
  }
  if (w.arrived != 7) return 0;
  w.arrived = 0;
  return 1;
}
void FaceGathered() {
  EventSetCharaDir(6, 1);
  EventSetCharaDir(2, 3);
}
void Aura() {
  EventLoadPcm("AURA.PCM");
  EventSePlay(306);
  EventDeployKind(110);
}
void AuraGone() { EventUndeployKind(110); }
void FaceHeroine4Forward() { EventSetCharaDir(kHeroine4, 1); }
int Ready() { return EventReady(); }

// A character leaves the battle: off the player's side for good (its record then dead).
void Leave(int32_t character) {
  SlgUnit* unit = LiveChara(character);
  if (unit == nullptr) {
    DebugPrint("map 6: character %d is not on the map: cannot leave\n", character);
    return;
  }
  unit->flags &= ~(kUnitShown | kUnitInOrder);
  unit->stats.life = 0;
  EventRemoveChara(0, character);
  Slg::ResetCurrentUnit();
  unit->side = 3;
}
void Heroine4Leaves() { Leave(kHeroine4); }
void Heroine1Leaves() { Leave(kHeroine1); }
void FreeOpeningRoutes() { FreeRoutes(Map06State().routes); }

constexpr auto k3037 = TalkList({{284, 3037}});
constexpr auto k10015 = TalkList({{210, 10015}, {75, 10020}, {138, 10025}});
constexpr auto k10030 = TalkList({{74, 10030}, {209, 10035}, {138, 10040}, {153, 10045}});
constexpr auto k10070 = TalkList(
    {{11, 10070}, {213, 10075}, {114, 10080}, {11, 10085}, {11, 10090}, {149, 10095}});
constexpr auto k10105 = TalkList({{11, 10105}, {213, 10110}, {114, 10115}, {29, 10120}});
constexpr auto k10132 = TalkList({{11, 10132}, {114, 10115}, {29, 10120}});

constexpr S::Op kOpening6105[] = {
    S::Do(&HideParty),
    S::Do(&DeployMechanism),
    S::Custom(&AllocOpeningRoutes),
    S::Do(&StartFadeIn),
    S::Do(&Crowd),
    S::Wait(120),
    S::FadeIn(),
    S::Do(&LoadSeBank),
    S::ScrollPx(1288, 88, 8),
    S::Do(&CrowdGone),
    S::Messages(k3037),
    S::Message(281, 3346),
    S::Do(&FreeBg),
    S::Wait(30),
    S::Do(&Grow),
    S::HoldUntil(&MechanismStage, 2, {103}),
    S::Do(&Drop),
    S::HoldUntil(&DropSignal, 0, {101, 102}),
    S::Do(&Shrink),
    S::HoldUntil(&MechanismStage, 4, {103}),
    S::Do(&MechanismGone),
    S::Wait(60),
    S::Do(&ShowHeroine4),
    S::Custom(&Walk<1, kHeroine4, 1448, 424, 0>),
    S::Wait(60),
    S::Message(148, 10005),
    S::Do(&ActingModeOn),
    S::Custom(&StrikeCommander),
    S::Wait(120),
    S::ClearFlag(199),
    S::Message(281, 10010),
    S::Do(&TurnHeroine4Away),
    S::Custom(&WalkFocused<1208, 544>),
    S::Custom(&WalkFocused<872, 712>),
    S::Do(&HideOthers),
    S::Custom(&WalkFocused<584, 856>),
    S::ScrollPx(0, 768, 8),
    S::Do(&Arrival),
    S::Wait(15),
    S::Do(&PartyAppears),
    S::Wait(75),
    S::Do(&ArrivalGone),
    S::Messages(k10015),
    S::Do(&LoadAura),
    S::Custom(&Walk<1, kHeroine4, 250, 1024, 0>),
    S::Wait(30),
    S::Custom(&Gather),
    S::Do(&FaceGathered),
    S::Messages(k10030),
    S::Do(&Aura),
    S::Wait(150),
    S::Do(&AuraGone),
    S::Custom(&StrikeParty),
    S::Message(78, 10050),
    S::Do(&ActingModeOff),
    S::Pair(S::ScrollPx(0, 680, 8), S::Custom(&Walk<1, kHeroine4, 384, 768, 0>)),
    S::Do(&FaceHeroine4Forward),
    S::ScrollPx(0, 680, 8),
    S::Message(114, 10055),
    S::Custom(&Ready),
    S::TimedChoice(10060, 120),
    S::SetFlag(407),
    S::SetP(71, 1),
    S::Branch({{1, 1}, {2, 2}}, 3),
    // She stays: the battle goes on at once on stage 20.
    S::Label(1),
    S::ClearFlag(407),
    S::SetP(71, 0),
    S::Messages(k10070),
    S::Se(20),
    S::AddHeroineParam(kHeroine4, 5),
    S::Custom(&Walk<1, kHeroine4, 96, 624, 0>),
    S::Custom(&Walk<5, 0, 384, 768, 1>),
    S::Custom(&Walk<5, 0, 144, 648, 1>),
    S::Message(29, 10100),
    S::Custom(&Walk<6, kHeroine1, 384, 768, 1>),
    S::Custom(&Walk<6, kHeroine1, 192, 672, 1>),
    S::FadeOutMusic(),
    S::FadeOut(),
    S::SwitchStage(20),
    S::Goto(9),
    // She parts from the party, and heroine 1 with her.
    S::Label(2),
    S::Messages(k10105),
    S::Goto(4),
    S::Label(3),
    S::Messages(k10132),
    S::Label(4),
    S::AddHeroineParam(kHeroine4, -5),
    S::Se(21),
    S::Message(149, 10125),
    S::Custom(&Walk<1, kHeroine4, 96, 624, 0>),
    S::Message(29, 10130),
    S::Custom(&Walk<6, kHeroine1, 384, 768, 1>),
    S::Custom(&Walk<6, kHeroine1, 192, 672, 1>),
    S::Do(&Heroine4Leaves),
    S::Do(&Heroine1Leaves),
    S::Label(9),
    S::Do(&FreeOpeningRoutes),
    S::End(),
};
static_assert(S::Valid(kOpening6105));
constexpr SeqArgs kOpening6105Args{kOpening6105};

// ---- 6151: the commander's menu ----

constexpr auto k60090 = TalkList(
    {{282, 60090}, {282, 60100}, {282, 60110}, {282, 60120}, {282, 60125}});
constexpr auto kAnswerA = TalkList({{13, 60210}, {283, 60244}});
constexpr auto k60220 = TalkList({{13, 60220}});
constexpr auto k60221 = TalkList({{75, 60221}, {283, 60222}});
constexpr auto k60230 = TalkList({{13, 60230}});
constexpr auto k60231 = TalkList({{111, 60231}, {283, 60232}});
constexpr auto kAnswerB = TalkList({{13, 60243}, {283, 60244}});
constexpr auto k60250 = TalkList({{13, 60250}});
constexpr auto k60251 = TalkList({{210, 60251}, {283, 60252}});
constexpr auto k60260 = TalkList({{13, 60260}});
constexpr auto k60261 = TalkList({{138, 60261}, {283, 60262}});
constexpr auto kAnswerNone = TalkList({{13, 60270}, {284, 60271}});

// Answers: 0 none, 1 A, 2 heroine 2, 3 heroine 3, 4 B, 5 heroine 5, 6 heroine 6.
constexpr CommanderMenuDesc kMenu{
    .scroll = {1288, 88},
    .scroll_speed = 12,
    .intro = k60090,
    .choices = {60130, 60131, 60132},
    .limit = 240,
    .lines = {{{1, 2, kCommanderNextLevel}, {3, 4, kCommanderNextLevel}, {5, 6, 0}}},
    .answers = {{{kAnswerNone, 430, 0, {}},
                 {kAnswerA, 430, 0, {}},
                 {k60220, 432, 2, k60221},
                 {k60230, 433, 3, k60231},
                 {kAnswerB, 430, 0, {}},
                 {k60250, 435, 5, k60251},
                 {k60260, 436, 6, k60261},
                 {}}},
    .none = 0};
constexpr auto kMenuOps = CommanderMenuOps<kMenu>();
static_assert(S::Valid(kMenuOps));
constexpr SeqArgs kMenuArgs{kMenuOps};

// ---- 6156: the bombardment ----

void Bombardment1() {
  EventLoadBin("EVS27155.BIN", kSceneBinAddress);
  EventShowBG(2);
  CommanderScenes().volley = 0;
  CommanderScenes().volley_frames = 0;
  EventLoadPcm("HOUGEKI.PCM");
}
void Shell() {
  EventLoadPcm("HOUGEKI.PCM");
  EventDeployKind(111);
  EventSePlay(308);
  EventLoadBin(kMapPart, kMapPartAddress);
}
int FollowShell() { return ScrollWhileKindPlays(660, 384, 6, 112); }
void ShellGone() { EventUndeployKind(112); }
constexpr VolleyDesc kVolley{.first_kind = 105};
int Volley() {
  EventScroll(660 * 65536, 384 * 65536, 8 * 65536);
  return VolleyStep(kVolley);
}
void Ruins() {
  EventLoadBin(kMapPart, kMapPartAddress);
  ExchangeFixedSprite(kMap06FixedAfter, kMap06FixedX, kMap06FixedY);
}
void OpenTheWay() {
  UndeployKinds(105, 109);
  OpenCells(kMap06OpenedCells);
}

constexpr auto k10205 = TalkList({{239, 10205}, {239, 10210}});

constexpr S::Op kBombardment6156[] = {
    S::Do(&Bombardment1),
    S::Wait(1),
    S::Messages(k10205),
    S::Do(&FreeBg),
    S::ScrollPx(1212, 554, 8),
    S::Do(&Shell),
    S::Wait(60),
    S::DeployKind(112),
    S::Custom(&FollowShell),
    S::Do(&ShellGone),
    S::Custom(&Volley),
    S::WhiteOut(),
    S::ScrollPx(660, 384, 8),
    S::Do(&Ruins),
    S::Do(&OpenTheWay),
    S::WhiteIn(),
    S::Message(11, 10180),
    S::End(),
};
static_assert(S::Valid(kBombardment6156));
constexpr SeqArgs kBombardment6156Args{kBombardment6156};

// ---- 6157: after the bombardment ----

void Bgm16() { BGMPlayStart(16); }
constexpr S::Op kAfter6157[] = {
    S::Message(282, 3038),
    S::Wait(30),
    S::Do(&Bgm16),
    S::End(),
};
static_assert(S::Valid(kAfter6157));
constexpr SeqArgs kAfter6157Args{kAfter6157};

// ---- 6190: the victory ----

int EnemiesFall() { return FellGroupWhenFlag(kCommanderDownFlag, kEnemyGroup); }
int EnemiesGone() { return WaitGroupGone(kEnemyGroup, kEnemyWaitFrames); }
void VictoryLoad() {
  EventStopBgm();
  EventLoadBin("EVS06154.BIN", kSceneBinAddress);
}

// Heroine c made again from her placement entries (unless she is still on the map) and put on
// (x, y).
SlgUnit* BringBack(int32_t character, int32_t x, int32_t y) {
  if (LiveChara(character) == nullptr) EventRedeployKind(character);
  SlgUnit* unit = LiveChara(character);
  if (unit == nullptr) {
    DebugPrint("map 6 victory: character %d could not be placed again\n", character);
    return nullptr;
  }
  EventPlaceUnitAt(unit, x, y, 0);
  return unit;
}

void VictoryStage() {
  for (int32_t c : {0, 2, 3, 5, 6}) EventRemoveChara(0, c);
  for (int32_t n = 3; n <= 9; ++n) EventRemoveKindNo(kSoldierKind, n * 256);
  for (int32_t n = 10; n <= 13; ++n) EventRemoveKindNo(16, n * 256);
  EventRemoveKindNo(15, 14 * 256);
  SlgUnit* four = BringBack(kHeroine4, 144, 1032);
  SlgUnit* one = BringBack(kHeroine1, 56, 1072);
  for (SlgUnit* u : {four, one}) {
    if (u != nullptr) u->flags &= ~(0x20u | kUnitShown);
  }
  Slg::ResetCurrentUnit();
  for (SlgUnit* u : {four, one}) {
    if (u == nullptr) continue;
    SetUnitState(*u, 0);
    EventSetUnitFlag(u, kShowFlag);
  }
  Map06Words& w = Map06State();
  w.leg = 0;
  w.partner_arrived = 0;
  w.volley_done = 0;
  CommanderScenes().volley = 0;
  CommanderScenes().volley_frames = 0;
}
int AllocVictoryRoutes() { return AllocRoutes(Map06State().victory_routes); }

// Heroine 4's three legs while heroine 1 walks to her place, the camera following heroine 1 from
// the second leg on, and the volley meanwhile; done once both have arrived and the volley is over.
int VictoryWalks() {
  static constexpr std::array<SlgPoint, 3> kLegs = {{{432, 888}, {624, 792}, {912, 648}}};
  static constexpr SlgRect kCameraBox{.left = 200, .top = 420, .right = 508, .bottom = 600};
  Map06Words& w = Map06State();
  if (w.leg < 3) {
    const SlgPoint to = kLegs[static_cast<size_t>(w.leg)];
    if (EventWalkUnit(w.victory_routes[0], 0, kHeroine4, to.x, to.y, 1) != 0) ++w.leg;
  }
  if (w.partner_arrived == 0 &&
      EventWalkUnit(w.victory_routes[1], 0, kHeroine1, 776, 712, 1) != 0) {
    w.partner_arrived = 1;
  }
  if (w.leg >= 1) FollowUnit(LiveChara(kHeroine1), {160, 336}, kCameraBox);
  if (w.volley_done == 0 && VolleyStep(kVolley) != 0) w.volley_done = 1;
  return w.leg == 3 && w.partner_arrived == 1 && w.volley_done == 1 ? 1 : 0;
}
void PairGone() {
  EventRemoveChara(0, kHeroine4);
  EventRemoveChara(0, kHeroine1);
  UndeployKinds(105, 109);
}
void Epilogue() { EventShowBG(235); }
void FreeVictoryRoutes() { FreeRoutes(Map06State().victory_routes); }

constexpr auto k10300 = TalkList({{11, 10300}});
constexpr auto k10185 = TalkList({{29, 10185}, {148, 10190}});
constexpr auto k10305 = TalkList({{11, 10305}, {11, 10310}, {11, 10315}, {11, 10320}});

constexpr S::Op kVictory6190[] = {
    S::Custom(&EnemiesFall),
    S::Custom(&EnemiesGone),
    S::Do(&VictoryLoad),
    S::Messages(k10300),
    S::ScrollPx(200, 600, 16),
    S::Messages(k10185),
    S::Do(&VictoryStage),
    S::Custom(&AllocVictoryRoutes),
    S::Custom(&VictoryWalks),
    S::WhiteOut(),
    S::Do(&PairGone),
    S::Do(&Epilogue),
    S::WhiteIn(),
    S::Bgm(18),
    S::Wait(180),
    S::Messages(k10305),
    S::FadeOut(),
    S::Do(&FreeVictoryRoutes),
    S::StartGameWin(),
    S::End(),
};
static_assert(S::Valid(kVictory6190));
constexpr SeqArgs kVictory6190Args{kVictory6190};

// ---- The talks ----

constexpr auto k60000 = TalkList({{110, 60000}, {209, 60010}, {11, 60020}, {209, 60030},
                                  {209, 60040}, {11, 60081}});
constexpr auto k10255 = TalkList({{284, 10255}, {282, 10260}, {239, 10266}, {11, 10270}});
constexpr auto k10325 = TalkList({{239, 10325}});
constexpr auto k10330 = TalkList({{239, 10330}});
constexpr TalkListArgs k6153Args{k60000};
constexpr TalkListArgs k6165Args{k10255};
constexpr TalkListArgs k6195Args{k10325};
constexpr TalkListArgs k6196Args{k10330};

constexpr ReactionArgs kReactions{
    .first_flag = 400,
    .lines = {{{15, 10220}, {33, 10225}, {78, 10230}, {114, 10235}, {150, 10250}, {213, 10245},
               {141, 10240}}}};

// ---- The table ----

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 6105, .timing = 0x8000, .guard = {105, 0}, .set = {105, 0}, .handler = &SeqRow,
     .arg = &kOpening6105Args},
    {.id = 6151, .timing = 0x8, .b = "PGU(GBO,UGK);", .guard = {151, 0}, .set = {151, 0},
     .handler = &SeqRow, .arg = &kMenuArgs},
    {.id = 6153, .timing = 0x8000, .a = "F(105);", .guard = {153, 0}, .set = {153, 0},
     .handler = &TalkListRow, .arg = &k6153Args},
    {.id = 6156, .timing = 0x8000, .b = "(T()>15)|NG(GZA);", .guard = {159, 0}, .set = {159, 0},
     .handler = &SeqRow, .arg = &kBombardment6156Args},
    {.id = 6157, .timing = 0x8000, .b = "F(159);", .guard = {157, 0}, .set = {157, 0},
     .handler = &SeqRow, .arg = &kAfter6157Args},
    {.id = 6160, .timing = 0x8000, .b = "F(400)|F(402)|F(403)|F(405)|F(406);", .set = {160, 0},
     .handler = &ReactionRow, .arg = &kReactions},
    {.id = 6165, .timing = 0x8000, .b = "F(409);", .guard = {165, 159}, .set = {165, 0},
     .handler = &TalkListRow, .arg = &k6165Args},
    {.id = 6190, .timing = 0x8000, .b = "HGU(GBO,UGK,0);", .set = {190, 0}, .handler = &SeqRow,
     .arg = &kVictory6190Args},
    {.id = 6195, .timing = 0x2, .b = "M(MAD);", .guard = {157, 0}, .handler = &TalkListRow,
     .arg = &k6195Args},
    {.id = 6196, .timing = 0x2, .b = "F(157)&M(MAD);", .handler = &TalkListRow,
     .arg = &k6196Args},
});

// The pairs by the generic tables' slots (1, 2, 3, 4, 6, 5), the turn remarks by the table's
// order (its slot-4 row is character 5's, its slot-5 row character 6's).
constexpr GenericTalkSet kTalks{
    .falls = {{{},
               {2, {{{81, 2051}, {81, 2049}, {76, 2050}}}},
               {3, {{{117, 2073}, {117, 2071}, {112, 2072}}}},
               {},
               {6, {{{144, 2142}, {144, 2140}, {144, 2141}}}},
               {5, {{{216, 2119}, {216, 2117}, {216, 2118}}}}}},
    .ref_talks = {{{}, {75, 3339}, {111, 3340}, {}, {138, 2414}, {210, 3341}}},
    .ref_talks2 = {{{}, {75, 2046}, {111, 2068}, {}, {138, 2137}, {210, 2114}}},
    .char_talks = {{{},
                    {2, {{{81, 2045}, {75, 2044}, {74, 2041}, {75, 2042}, {74, 2043}}}},
                    {3, {{{117, 2067}, {111, 2066}, {110, 2063}, {110, 2064}, {110, 2065}}}},
                    {},
                    {5, {{{216, 2113}, {210, 2112}, {209, 2109}, {209, 2110}, {209, 2111}}}},
                    {6, {{{144, 2136}, {138, 2135}, {137, 2132}, {137, 2133}, {137, 2134}}}}}},
    .favourite = {{{{0, 0},
                    {0, 0},
                    {30, 2025},
                    {30, 2026},
                    {75, 2047},
                    {75, 2048},
                    {111, 2069},
                    {111, 2070},
                    {4, 2093},
                    {4, 2094},
                    {210, 2115},
                    {210, 2116},
                    {138, 2138},
                    {138, 2139}}}}};
constexpr uint8_t kMembers = kIDV | kILN | kIBS | kITZ;
constexpr GenericDesc kGeneric{
    .talks = &kTalks,
    .falls = {.base = 3392, .members = kMembers},
    .ref_talks = {.base = 3408, .members = kMembers},
    .ref_talks2 = {.base = 3416, .members = kMembers},
    .char_talks = {.base = 3464,
                   .members = kMembers,
                   .b = {nullptr, nullptr, nullptr, nullptr, "PP(ITZ)&R(20);", "PP(IBS)&R(20);"}},
    .favourite_c = "HP(IKD,0)|NP(IMR());"};

constexpr auto kTable = JoinRows(kStoryRows, GenericRows<kGeneric>());
static_assert(kTable.size() == 27 + 1);

// ---- The map's objects ----

// A townsperson runs in a straight line from where it was deployed: start + velocity x the
// animation's elapsed frames, the velocity (16.16 pixels a frame) by the character byte's parity.
// walk_state[1] and [2] keep its start.
constexpr std::array<SlgPoint, 2> kCrowdVelocity = {{{-2 * 65536, 65536}, {-4 * 65536, 2 * 65536}}};
constexpr EventAnmDesc kCrowdStart{.start = EventAnmStart::kLoop};
int Townsperson(SlgUnit& unit, SlgPair& position) {
  if (unit.anm == nullptr) return 0;
  if (unit.state == 0) {
    unit.anm->mode = static_cast<uint8_t>(unit.anm->mode & ~kSlgAnmStartStopped);
    EventObjPlace(unit);
    RunEventAnm(kCrowdStart, unit, position);
    unit.walk_state[1] = unit.x;
    unit.walk_state[2] = unit.y;
  }
  const SlgPoint v = kCrowdVelocity[unit.character & 1];
  const int32_t frames = unit.anm->frames;
  unit.x = unit.walk_state[1] + v.x * frames;
  unit.y = unit.walk_state[2] + v.y * frames;
  EventObjPlace(unit);
  position = EventObjScreenPos(unit);
  SlgSprSetPos(unit.anm->handle, position);
  SlgSprSetPri(unit.anm->handle, unit.anm->depth);
  return 0;
}

// Where the falling parts land (map pixel y).
constexpr int32_t kPartsFloor = 664;

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap06ObjectKinds> t{};
  auto set = [&](int first, int last, SlgEventAnmHandler h) {
    for (int k = first; k <= last; ++k) t[static_cast<size_t>(k - 80)] = h;
  };
  set(80, 94, &Townsperson);
  set(95, 100, EventAnmOnce);
  set(101, 102, &FallingPart<kPartsFloor>);
  set(103, 103, &GrowingMechanism);
  set(104, 104, &MechanismDecoration);
  set(105, 110, EventAnmFixedDepth);
  set(111, 111, EventAnmOnceFront);
  set(112, 112, EventAnmOnce);
  set(113, 114, EventAnmFixedDepth259);
  return t;
}();

}  // namespace

const MapSetup kMap06Setup{.bgm = MapBgm::Play(6), .table = kTable.data(), .anm_table = kAnm};
