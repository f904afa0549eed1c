#include "battle_events/maps/map08.h"

#include <array>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_commands.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_geometry.h"
#include "battle/slg_hits.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_steps.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/generic_rows.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "battle_events/runtime/event_script_helpers.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

Map08Words& Map08State() { return Battle().Extension<Map08Words>(); }

namespace {

namespace S = EventSeq;

// The load address of the event data files.
constexpr uint32_t kEventBinAddress = 0x60c0000;
// The enemy soldiers (kind 34); number 1 strikes in the opening.
constexpr int32_t kSoldierKind = 34;
constexpr int32_t kFirstSoldier = 256;
// The commander.
constexpr int32_t kCommanderKind = 25;
// The soldiers' and the commander's falling state.
constexpr uint8_t kFallState = 15;
// The opening's weakening: P[81] chooses the factor.
constexpr int kWeakeningVar = 81;
// Heroine 1's trust below this at the opening: flag 130.
constexpr int32_t kLowTrust = 25;
// The battle flag word's bit that holds the barriers' pulse.
constexpr uint16_t kPulseHoldBit = 0x20;
// The cell bit that blocks a move.
constexpr uint32_t kCellBlocked = 0x400;

// The player's unit of that character that is on the map (a record being removed is not).
SlgUnit* LiveChara(int32_t character) {
  BattleContext& b = Battle();
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = b.state.units[i];
    if (unit.side == 0 && unit.character == character && unit.step != kSlgDeadStep) return &unit;
  }
  return nullptr;
}

// The first unit of the kind that has not left the map.
SlgUnit* LiveKind(int32_t kind) {
  BattleContext& b = Battle();
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = b.state.units[i];
    if (unit.kind == kind && unit.step != kSlgDeadStep) return &unit;
  }
  return nullptr;
}

// The camera's top-left moved to the unit's position less (320, 240) at `speed` pixels a frame;
// a missing unit ends the step at once.
int ScrollToUnit(const SlgUnit* unit, int32_t speed, const char* who) {
  if (unit == nullptr) {
    DebugPrint("map 8: no %s to scroll to\n", who);
    return 1;
  }
  return EventScroll(unit->x - 320 * 65536, unit->y - 240 * 65536, speed * 65536);
}
template <int32_t kCharacter, int32_t kSpeed>
int ScrollToChara() {
  return ScrollToUnit(LiveChara(kCharacter), kSpeed, "party member");
}
int ScrollToCommander() { return ScrollToUnit(LiveKind(kCommanderKind), 16, "commander"); }
// Heroine 1 when she is on the map, else the hero.
int ScrollToHeroineOrHero() {
  SlgUnit* unit = LiveChara(1);
  return ScrollToUnit(unit != nullptr ? unit : LiveChara(0), 8, "heroine 1 or hero");
}

int FadeEnded() { return SlgIsFadeEnd() != 0 ? 1 : 0; }
int Ready() { return EventReady(); }

void LockCamera() { Battle().camera.lock = 1; }

// ---- 8101: the first opening ----

void LoadOpeningAnms() {
  EventLoadKindNoExtraAnm(kSoldierKind, kFirstSoldier);
  EventLoadCharaExtraAnm(0, 3);
}

// Heroines 2-6 start the battle weakened: life := maximum x factor / 65536 (16.16), no kiai.
void WeakenHeroines() {
  const int32_t factor = SlgGetMacroP(kWeakeningVar) != 0 ? kMap08WeakFactor : kMap08HalfFactor;
  for (int32_t c = 2; c <= 6; ++c) {
    SlgUnit* unit = LiveChara(c);
    if (unit == nullptr) continue;
    unit->stats.life = static_cast<int16_t>((unit->stats.max_life * factor) >> 16);
    unit->stats.kiai = 0;
  }
}

void Opening8101() {
  SlgFadeIn(64);
  if (GetTrustVar(1) < kLowTrust) SetEventFlag(130);
  Map08Words& w = Map08State();
  w.signal1 = {};
  for (int32_t kind = 83; kind <= 87; ++kind) EventDeployKind(kind);
  WeakenHeroines();
  SetEventFlag(401);
}

constexpr S::Op kOpening8101[] = {
    S::Do(&LoadOpeningAnms),
    S::Do(&Opening8101),
    S::Custom(&FadeEnded),
    S::Do(&LockCamera),
    S::End(),
};
static_assert(S::Valid(kOpening8101));
constexpr SeqArgs kOpening8101Args{kOpening8101};

// ---- 8102: the second opening ----

void Opening8102Start() {
  Battle().event_words.acting_mode[0] = 1;
  Slg::ClearMoveBackup();
  Map08State().strike = 0;
  EventLoadKindNoExtraAnm(kSoldierKind, kFirstSoldier);
}

// Soldier number 1 strikes heroine 5 through the battle's attack frame; the step ends once the
// soldier is back in state 0 or 8. Without the soldier or heroine 5 there is no strike. The
// camera hold is let go for the strike: the attack's end shows the damage with the camera on the
// target and waits for the camera, which a held camera never brings there.
int Strike() {
  Map08Words& w = Map08State();
  SlgUnit* soldier = FindUnitByIndex(kSoldierKind, kFirstSoldier);
  if (soldier != nullptr && soldier->step == kSlgDeadStep) soldier = nullptr;
  SlgUnit* target = LiveChara(5);
  if (w.strike == 0) {
    if (soldier == nullptr || target == nullptr) {
      DebugPrint("map 8 opening: no %s for the soldier's strike\n",
                 soldier == nullptr ? "soldier" : "heroine 5");
      w.strike = 2;
      return 1;
    }
    EventAttackPrepare(soldier, target, 0);
    EventAttackStart(soldier, target);
    w.held_camera = Battle().camera.lock;
    Battle().camera.lock = 0;
    w.strike = 1;
    return 0;
  }
  if (soldier != nullptr && soldier->state != 0 && soldier->state != 8) return 0;
  if (soldier != nullptr && target != nullptr) {
    EventAttackFinish(soldier, target);
  } else {
    // One of them went during the strike: it is finished here without it.
    Slg::MarkFlaggedUnits();
    if (target != nullptr) target->flags &= ~1u;
  }
  // The scene still drives units until its end, with the camera held again.
  Battle().event_words.acting_mode[0] = 1;
  Battle().camera.lock = w.held_camera;
  w.strike = 2;
  return 1;
}

void Struck() {
  EventDeployKind(82);
  SlgSePlay(135);
}

void Counter() {
  Slg::ClearMoveBackup();
  EventLoadCharaExtraAnm(0, 3);
  if (SlgUnit* heroine3 = LiveChara(3); heroine3 != nullptr) SetUnitState(*heroine3, 5);
}
void SoldierFalls() { EventSetKindNoState(kSoldierKind, kFirstSoldier, kFallState); }
void ShowBg205() { EventShowBG(205); }
void FreeBgWithSe() {
  EventFreeBG();
  SlgSePlay(134);
}
void Opening8102End() {
  Battle().camera.lock = 0;
  Battle().event_words.acting_mode[0] = 0;
  Slg::ResetCurrentUnit();
}

constexpr auto k3047 = TalkList({{216, 3047}});
constexpr auto k3048 = TalkList({{110, 3048}});
constexpr auto k3049 = TalkList({{271, 3049}, {274, 2151}});
constexpr auto k3050 = TalkList({{29, 3000}, {271, 3050}});
constexpr auto k3051 = TalkList({{110, 3051}, {156, 3052}, {138, 3053}, {210, 3054}, {74, 3055}});
constexpr auto k10027 = TalkList({{11, 10027}, {29, 3057}});
constexpr auto k3058 = TalkList({{274, 2151}, {271, 3058}});

constexpr S::Op kOpening8102[] = {
    S::Do(&Opening8102Start),
    S::Custom(&Strike),
    S::Do(&Struck),
    S::Wait(60),
    S::Messages(k3047),
    S::Do(&Counter),
    S::Wait(60),
    S::Do(&SoldierFalls),
    S::Wait(60),
    S::Messages(k3048),
    S::ScrollPx(880, 200, 8),
    S::Do(&ShowBg205),
    S::Messages(k3049),
    S::Do(&FreeBgWithSe),
    S::Wait(60),
    S::StopBgm(),
    S::Messages(k3050),
    S::Bgm(13),
    S::ScrollPx(496, 1136, 16),
    S::Wait(30),
    S::ScrollPx(472, 640, 16),
    S::Messages(k3051),
    S::ScrollPx(496, 1136, 16),
    S::Messages(k10027),
    S::ScrollPx(880, 200, 8),
    S::Messages(k3058),
    S::Do(&Opening8102End),
    S::End(),
};
static_assert(S::Valid(kOpening8102));
constexpr SeqArgs kOpening8102Args{kOpening8102};

// ---- 8103 and 8104: the switches ----

struct SwitchDesc {
  SlgPoint cell;                       // the switch cell (map pixels)
  SlgPoint view;                       // where the camera goes
  std::array<SlgPoint, 2> barrier;     // the two cells the switch opens
  std::array<EventMessageRef, 7> line; // by character 0-6; face 0: no line
};
constexpr std::array<SwitchDesc, kMap08Switches> kSwitches = {{
    {{1680, 888},
     {720, 888},
     {{{1008, 1136}, {1056, 1104}}},
     {{{11, 10001}, {29, 10000}, {0, 0}, {0, 0}, {155, 10002}, {0, 0}, {0, 0}}}},
    {{632, 656},
     {1144, 672},
     {{{1440, 912}, {1488, 896}}},
     {{{11, 10004}, {29, 10003}, {74, 10007}, {110, 10005}, {155, 10009}, {209, 10006},
       {137, 10008}}}},
}};

// The first of characters 0-6 whose unit stands on the switch cell; 0 when none.
int32_t Switcher(const SwitchDesc& s) {
  const SlgCell on = PosToCell(s.cell.x, s.cell.y);
  for (int32_t c = 0; c <= 6; ++c) {
    const SlgUnit* unit = LiveChara(c);
    if (unit == nullptr) continue;
    const SlgCell at = PosToCell(unit->x >> 16, unit->y >> 16);
    if (at.column == on.column && at.row == on.row) return c;
  }
  return 0;
}

void SwitchStart(int32_t n) {
  Map08Words& w = Map08State();
  w.switcher = Switcher(kSwitches[static_cast<size_t>(n)]);
  EventLoadSeBank("SEBE06.ALL");
  w.signal1[static_cast<size_t>(n)] = 1;
  SlgSePlay(248);
}

// The barrier cells lose their blocked bit in both grids: the move search reads the first, the
// scripted walks the second.
void SwitchOpen(int32_t n) {
  const SwitchDesc& s = kSwitches[static_cast<size_t>(n)];
  SlgSePlay(256);
  Map08State().signal2[static_cast<size_t>(n)] = 1;
  BattleContext& b = Battle();
  for (const SlgPoint& p : s.barrier) {
    const SlgCell c = PosToCell(p.x, p.y);
    const auto i = static_cast<size_t>(c.row * kSlgGridColumns + c.column);
    b.cell_grid[i] &= ~kCellBlocked;
    b.cell_grid2[i] &= ~kCellBlocked;
  }
}

template <int32_t kSwitch>
int SwitchLine() {
  const EventMessageRef& line =
      kSwitches[kSwitch].line[static_cast<size_t>(Map08State().switcher)];
  if (line.face == 0) return 1;
  return EventMessage(line.face, line.message);
}

template <int32_t kSwitch>
constexpr std::array<S::Op, 6> SwitchProgram() {
  const SwitchDesc& s = kSwitches[kSwitch];
  return {
      S::Do(&SwitchStart, kSwitch),
      S::ScrollPx(s.view.x, s.view.y, 16),
      S::Do(&SwitchOpen, kSwitch),
      S::Wait(60),
      S::Custom(&SwitchLine<kSwitch>),
      S::End(),
  };
}
constexpr auto kSwitchA = SwitchProgram<0>();
constexpr auto kSwitchB = SwitchProgram<1>();
static_assert(S::Valid(kSwitchA) && S::Valid(kSwitchB));
constexpr SeqArgs kSwitchAArgs{kSwitchA};
constexpr SeqArgs kSwitchBArgs{kSwitchB};

// ---- 8105: the commander's talk ----

constexpr auto k3059 = TalkList({{273, 2150}, {273, 3059}});
constexpr auto k10026 = TalkList({{273, 10026}});

constexpr S::Op kCommander8105[] = {
    S::FadeOutMusic(),
    S::Custom(&ScrollToCommander),
    S::Messages(k3059),
    S::Bgm(16),
    S::Messages(k10026),
    S::End(),
};
static_assert(S::Valid(kCommander8105));
constexpr SeqArgs kCommander8105Args{kCommander8105};

// ---- 8420: the commander's power-up ----

void PowerUp() {
  SlgUnit* commander = LiveKind(kCommanderKind);
  if (commander == nullptr) {
    DebugPrint("map 8 power-up: no commander\n");
    return;
  }
  commander->stats.attack = 8;
  commander->stats.defence = 10;
  commander->stats.move = 3;
  Slg::RecalcUnitStats(*commander);
}

constexpr auto k60030 = TalkList({{272, 60030}});

constexpr S::Op kPowerUp8420[] = {
    S::Custom(&ScrollToCommander),
    S::Messages(k60030),
    S::Do(&PowerUp),
    S::Se(30),
    S::End(),
};
static_assert(S::Valid(kPowerUp8420));
constexpr SeqArgs kPowerUp8420Args{kPowerUp8420};

// ---- 8106: the commander defeated ----

void SoldiersFall() {
  BattleContext& b = Battle();
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = b.state.units[i];
    if (unit.kind == kSoldierKind && unit.step != kSlgDeadStep) SetUnitState(unit, kFallState);
  }
}

constexpr S::Op kDefeated8106[] = {
    S::Do(&SoldiersFall),
    S::HoldUntil("NU(25);", {}),
    S::Wait(300),
    S::Do(&LockCamera),
    S::End(),
};
static_assert(S::Valid(kDefeated8106));
constexpr SeqArgs kDefeated8106Args{kDefeated8106};

// ---- 8107: the victory ----

// Where the party stands at the end, by character 0-6 (the cell of the map point (2x, 2y)).
constexpr std::array<SlgPoint, 7> kClosingCells = {
    {{552, 296}, {596, 324}, {628, 248}, {576, 268}, {528, 264}, {552, 228}, {624, 292}}};

int BgSlideIn106() { return EventBgSlideIn(106); }
void FadeOut() { SlgFadeOut(64); }

// Each fallen heroine's leftover record goes and every placement entry of her kind is made again
// (EventRedeployKind: created and placed, a refused one traced), her stats then worked out.
void BringBackFallen() {
  EventFreeBG();
  for (int32_t c = 1; c <= 6; ++c) {
    if (CondNP(c) == 0) continue;
    EventRemoveChara(0, c);
    EventRedeployKind(c);
    if (SlgUnit* unit = LiveChara(c); unit != nullptr) Slg::RecalcUnitStats(*unit);
  }
}

void PlaceParty() {
  for (int32_t c = 0; c <= 6; ++c) {
    SlgUnit* unit = LiveChara(c);
    if (unit == nullptr) continue;
    const SlgPoint& p = kClosingCells[static_cast<size_t>(c)];
    EventPlaceUnitAt(unit, 2 * p.x, 2 * p.y, 2);
    Slg::SetUnitDir(*unit, 2);
    SetUnitState(*unit, 0);
  }
}

void FadeInQuiet() {
  EventStopBgm();
  SlgFadeIn(64);
}
void UnlockCamera() { Battle().camera.lock = 0; }

constexpr auto k10010 = TalkList({{30, 10010}});
constexpr auto k186 = TalkList({{30, 186}});
constexpr auto k672 = TalkList({{30, 672}});
constexpr auto k3061 = TalkList({{274, 3061}});
constexpr auto k3062 =
    TalkList({{33, 3062}, {209, 3063}, {274, 3064}, {15, 10028}, {110, 3066}});

constexpr S::Op kVictory8107[] = {
    S::FadeOutMusic(),
    S::Custom(&ScrollToHeroineOrHero),
    S::Messages(k10010),
    S::Bgm(18),
    S::Wait(90),
    S::Messages(k186),
    S::Custom(&BgSlideIn106),
    S::Messages(k672),
    S::Do(&FadeOut),
    S::Custom(&FadeEnded),
    S::Do(&BringBackFallen),
    S::ScrollPx(848, 304, 20),
    S::Do(&PlaceParty),
    S::Do(&FadeInQuiet),
    S::Wait(60),
    S::Messages(k3061),
    S::Custom(&FadeEnded),
    S::Messages(k3062),
    S::Do(&UnlockCamera),
    S::StartGameWin(),
    S::End(),
};
static_assert(S::Valid(kVictory8107));
constexpr SeqArgs kVictory8107Args{kVictory8107};

// ---- 8108: heroine 1 next to the hero ----

constexpr auto k10031 = TalkList({{29, 10031}, {29, 10032}});
constexpr auto k10033 = TalkList({{12, 10033}, {30, 10034}});
constexpr auto k10039 = TalkList({{12, 10039}, {30, 10040}});
constexpr auto k10035 = TalkList({{30, 10035}, {30, 10036}, {11, 10037}, {29, 10038}});
constexpr auto k10041 = TalkList({{12, 10041}, {31, 10042}, {15, 10043}});

// Every answer other than 1 and 2 (a time-out, a third line of the choice text) takes the
// time-out's road, so the talk always ends.
constexpr S::Op kChoice8108[] = {
    S::Custom(&Ready),
    S::Messages(k10031),
    S::Custom(&Ready),
    S::TimedChoice(10110, 300),
    S::Branch({{1, 1}, {2, 2}}, 3),
    S::Label(1), S::Messages(k10033), S::AddHeroineParam(1, 2), S::Se(20), S::Goto(4),
    S::Label(2), S::Messages(k10039), S::AddHeroineParam(1, -5), S::Se(21),
    S::Label(4), S::Messages(k10035), S::Goto(9),
    S::Label(3), S::Messages(k10041),
    S::Label(9), S::End(),
};
static_assert(S::Valid(kChoice8108));
constexpr SeqArgs kChoice8108Args{kChoice8108};

// ---- 8109-8113: heroine 1's other talks ----

constexpr auto k10013 = TalkList({{156, 10013}, {30, 10014}});
constexpr auto k10015 = TalkList({{210, 10015}, {30, 10016}});
constexpr auto k10017 = TalkList({{111, 10017}, {30, 10018}});
constexpr auto k10019 = TalkList({{75, 10019}, {30, 10020}});
constexpr auto k10021 = TalkList({{138, 10021}, {30, 10022}});
constexpr std::array<TalkListArgs, 5> kHeroine1Talks = {
    {{k10013}, {k10015}, {k10017}, {k10019}, {k10021}}};

// ---- 8114: heroine 1 restored ----

void LoadAura() {
  EventLoadBin("EVS08114.BIN", kEventBinAddress);
  EventLoadPcm("AURA.PCM");
}
void Aura() {
  EventLoadPcm("AURA.PCM");
  EventSePlay(306);
  EventDeployKind(81);
  EventDeployKind(80);
}
void Restore() {
  SlgUnit* heroine1 = LiveChara(1);
  if (heroine1 == nullptr) {
    DebugPrint("map 8: heroine 1 is not on the map to be restored\n");
    return;
  }
  heroine1->stats.life = heroine1->stats.max_life;
  heroine1->stats.kiai = static_cast<uint16_t>(heroine1->stats.max_kiai);
}

constexpr auto k10023 = TalkList({{29, 10023}, {31, 10024}});

constexpr S::Op kRestore8114[] = {
    S::Do(&LoadAura),
    S::Custom(&ScrollToChara<1, 8>),
    S::Messages(k10023),
    S::Do(&Aura),
    S::Wait(180),
    S::Do(&Restore),
    S::End(),
};
static_assert(S::Valid(kRestore8114));
constexpr SeqArgs kRestore8114Args{kRestore8114};

// ---- 8115-8117: the taunts ----

constexpr auto k10025 = TalkList({{117, 10025}});
constexpr auto k15000 = TalkList({{30, 15000}, {30, 15001}, {30, 15002}});

// The long taunt once (unless heroine 1's trust was low at the opening), then the short line.
constexpr S::Op kTaunt8115[] = {
    S::If("F(130);", 1),
    S::Messages(k15000),
    S::SetFlag(130),
    S::Goto(9),
    S::Label(1), S::Messages(k10025),
    S::Label(9), S::End(),
};
static_assert(S::Valid(kTaunt8115));
constexpr SeqArgs kTaunt8115Args{kTaunt8115};

constexpr auto k10029 = TalkList({{155, 10029}});
constexpr auto k10200 = TalkList({{209, 10200}});
constexpr TalkListArgs kTaunt8116Args{k10029};
constexpr TalkListArgs kTaunt8117Args{k10200};

// ---- 8400: heroines 4 and 5 ----

constexpr auto k60000 = TalkList({{159, 60000}});
constexpr auto k60010 = TalkList({{210, 60010}, {209, 60020}});

constexpr S::Op kTalk8400[] = {
    S::Custom(&ScrollToChara<4, 16>),
    S::Messages(k60000),
    S::Custom(&ScrollToChara<5, 16>),
    S::Messages(k60010),
    S::End(),
};
static_assert(S::Valid(kTalk8400));
constexpr SeqArgs kTalk8400Args{kTalk8400};

// ---- The table ----

constexpr SlgEventEntry SwitchRow(uint16_t id, const char* on, const SeqArgs* program) {
  return {.id = id, .timing = 0x4, .b = on, .guard = {static_cast<int16_t>(id - 8000), 0},
          .set = {static_cast<int16_t>(id - 8000), 0}, .handler = &SeqRow, .arg = program};
}

// Heroine 1 diagonally next to another party member (UAJ 4 is not diagonal): her talk.
constexpr SlgEventEntry Heroine1Row(uint16_t id, const char* next_to, SlgEventHandler handler,
                                    const void* arg) {
  return {.id = id, .timing = 0x4, .a = "F(102);", .b = next_to,
          .guard = {static_cast<int16_t>(id - 8000), 105},
          .set = {static_cast<int16_t>(id - 8000), 0}, .handler = handler, .arg = arg};
}

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 8101, .timing = 0x8000, .guard = {101, 0}, .set = {101, 0}, .handler = &SeqRow,
     .arg = &kOpening8101Args},
    {.id = 8102, .timing = 0x8000, .a = "F(101);", .guard = {102, 0}, .set = {102, 0},
     .handler = &SeqRow, .arg = &kOpening8102Args},
    SwitchRow(8103, "XGU(GPL,IKD)=XF(1680,888)&YGU(GPL,IKD)=YF(1680,888);", &kSwitchAArgs),
    SwitchRow(8103, "XGU(GPL,ITV)=XF(1680,888)&YGU(GPL,ITV)=YF(1680,888);", &kSwitchAArgs),
    SwitchRow(8103, "XGU(GPL,IYS)=XF(1680,888)&YGU(GPL,IYS)=YF(1680,888);", &kSwitchAArgs),
    SwitchRow(8104, "XGU(GPL,IKD)=XF(632,656)&YGU(GPL,IKD)=YF(632,656);", &kSwitchBArgs),
    SwitchRow(8104, "XGU(GPL,ITV)=XF(632,656)&YGU(GPL,ITV)=YF(632,656);", &kSwitchBArgs),
    SwitchRow(8104, "XGU(GPL,IDV)=XF(632,656)&YGU(GPL,IDV)=YF(632,656);", &kSwitchBArgs),
    SwitchRow(8104, "XGU(GPL,ILN)=XF(632,656)&YGU(GPL,ILN)=YF(632,656);", &kSwitchBArgs),
    SwitchRow(8104, "XGU(GPL,IYS)=XF(632,656)&YGU(GPL,IYS)=YF(632,656);", &kSwitchBArgs),
    SwitchRow(8104, "XGU(GPL,ITZ)=XF(632,656)&YGU(GPL,ITZ)=YF(632,656);", &kSwitchBArgs),
    SwitchRow(8104, "XGU(GPL,IBS)=XF(632,656)&YGU(GPL,IBS)=YF(632,656);", &kSwitchBArgs),
    {.id = 8105, .timing = 0x8000, .a = "F(102);", .b = "F(104)|F(199);", .guard = {105, 0},
     .set = {105, 0}, .handler = &SeqRow, .arg = &kCommander8105Args},
    {.id = 8420, .timing = 0x8000, .a = "F(102);", .b = "HGU(GBO,UKJ,30);", .guard = {420, 198},
     .c = "HGU(GBO,UKJ,0);", .set = {420, 0}, .handler = &SeqRow, .arg = &kPowerUp8420Args},
    {.id = 8106, .timing = 0x8000, .b = "HGU(GBO,UKJ,0);", .guard = {106, 0}, .set = {106, 0},
     .handler = &SeqRow, .arg = &kDefeated8106Args},
    {.id = 8107, .timing = 0x8000, .a = "F(106);", .guard = {107, 0}, .set = {107, 0},
     .handler = &SeqRow, .arg = &kVictory8107Args},
    Heroine1Row(8108, "UAJ(GPL,UTV,GPL,UKD)!=4;", &SeqRow, &kChoice8108Args),
    Heroine1Row(8109, "UAJ(GPL,UTV,GPL,UYS)!=4;", &WaitTalkListRow, &kHeroine1Talks[0]),
    Heroine1Row(8110, "UAJ(GPL,UTV,GPL,UTZ)!=4;", &WaitTalkListRow, &kHeroine1Talks[1]),
    Heroine1Row(8111, "UAJ(GPL,UTV,GPL,ULN)!=4;", &WaitTalkListRow, &kHeroine1Talks[2]),
    Heroine1Row(8112, "UAJ(GPL,UTV,GPL,UDV)!=4;", &WaitTalkListRow, &kHeroine1Talks[3]),
    Heroine1Row(8113, "UAJ(GPL,UTV,GPL,UBS)!=4;", &WaitTalkListRow, &kHeroine1Talks[4]),
    {.id = 8114, .timing = 0x8000, .a = "F(108)&F(109)&F(110)&F(111)&F(112)&F(113);",
     .guard = {114, 104}, .set = {114, 0}, .handler = &SeqRow, .arg = &kRestore8114Args},
    {.id = 8115, .timing = 0x2, .b = "M(MAD);", .guard = {103, 105}, .handler = &SeqRow,
     .arg = &kTaunt8115Args},
    {.id = 8116, .timing = 0x2, .a = "F(103);", .b = "M(MAD);", .guard = {105, 0},
     .handler = &WaitTalkListRow, .arg = &kTaunt8116Args},
    {.id = 8117, .timing = 0x2, .a = "F(105);", .b = "M(MAD);", .handler = &WaitTalkListRow,
     .arg = &kTaunt8117Args},
    {.id = 8400, .timing = 0x8, .b = "T()>=5&PP(IYS);", .guard = {400, 104},
     .c = "NP(IYS)|NP(ITZ);", .set = {400, 0}, .handler = &SeqRow, .arg = &kTalk8400Args},
});

// The heroines' shared pairs (falls, remarks, turn remarks, the favourite's lines), as the other
// maps without pairs of their own use them.
constexpr GenericTalkSet kTalks{
    .falls = {{{1, {{{36, 2029}, {36, 2027}, {31, 2028}}}},
               {2, {{{81, 2051}, {81, 2049}, {76, 2050}}}},
               {3, {{{117, 2073}, {117, 2071}, {112, 2072}}}},
               {4, {{{162, 2097}, {162, 2095}, {162, 2096}}}},
               {6, {{{144, 2142}, {144, 2140}, {144, 2141}}}},
               {5, {{{216, 2119}, {216, 2117}, {216, 2118}}}}}},
    .ref_talks = {{{30, 3338}, {75, 3339}, {111, 3340}, {156, 3342}, {138, 2414}, {210, 3341}}},
    .ref_talks2 = {{{30, 2024}, {75, 2046}, {111, 2068}, {156, 2092}, {138, 2137}, {210, 2114}}},
    .char_talks = {{{1, {{{36, 2023}, {30, 2022}, {29, 2019}, {29, 2020}, {29, 2021}}}},
                    {2, {{{81, 2045}, {75, 2044}, {74, 2041}, {75, 2042}, {74, 2043}}}},
                    {3, {{{117, 2067}, {111, 2066}, {110, 2063}, {110, 2064}, {110, 2065}}}},
                    {4, {{{159, 2091}, {156, 2090}, {155, 2087}, {155, 2088}, {155, 2089}}}},
                    {6, {{{144, 2136}, {138, 2135}, {137, 2132}, {137, 2133}, {137, 2134}}}},
                    {5, {{{216, 2113}, {210, 2112}, {209, 2109}, {209, 2110}, {209, 2111}}}}}},
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
constexpr uint8_t kMembers = kITV | kIDV | kILN | kIYS | kIBS | kITZ;
constexpr GenericDesc kGeneric{.talks = &kTalks,
                               .falls = {.base = 500, .members = kMembers},
                               .ref_talks = {.base = 520, .members = kMembers},
                               .ref_talks2 = {.base = 530, .members = kMembers},
                               .char_talks = {.base = 600, .members = kMembers},
                               .favourite_chance = 10,
                               .talk_c = "HP(IKD,0)|HGU(GBO,UKJ,0);",
                               .favourite_c = "HP(IKD,0)|HGU(GBO,UKJ,0)|NP(IMR());"};

// The remarks on a defeat are silent once the commander has fallen (their condition C, which the
// generic families do not give).
constexpr auto GenericBlock() {
  auto rows = GenericRows<kGeneric>();
  for (SlgEventEntry& row : rows) {
    if (row.id >= 520 && row.id <= 525) row.c = "HGU(GBO,UKJ,0);";
  }
  return rows;
}

constexpr auto kTable = JoinRows(kStoryRows, GenericBlock());
static_assert(kTable.size() == 52 + 1);

// ---- The map's objects ----

// An effect played once in front of the party member it stands on, then its kind undeployed; at
// once without that member.
constexpr EventAnmDesc kEffectOnce{.depth_rule = EventAnmDepth::kOffset, .depth = -1,
                                   .release_at_end = true};
template <int32_t kCharacter, uint8_t kPattern>
int EffectOn(SlgUnit& unit, SlgPair& position) {
  if (unit.state == kEventAnmFirst) {
    const SlgUnit* on = LiveChara(kCharacter);
    if (on == nullptr || unit.anm == nullptr) {
      EventUndeployKind(unit.kind);
      return 0;
    }
    unit.x = on->x;
    unit.y = on->y;
    EventObjPlace(unit);
    position = EventObjScreenPos(unit);
    SetAnmPattern(unit.anm, kPattern);
  }
  RunEventAnm(kEffectOnce, unit, position);
  if (unit.state == kEventAnmEnded) EventUndeployKind(unit.kind);
  return 0;
}

// A barrier: until its switch's signal 1 it is drawn with its alpha pulsing from 256 down to 0
// over 64 frames and back up over 64 (the pulse holds while the flag word's bit 0x20 is set);
// then it lets go of its animation. walk_state[0] counts the pulse's frames. Its animation
// loops: played once it would be let go at its end, the barrier gone while its cells still
// block the way.
constexpr int32_t kPulseFrames = 64;
constexpr EventAnmDesc kBarrierLoop{.start = EventAnmStart::kLoop};
template <int32_t kSwitch>
int Barrier(SlgUnit& unit, SlgPair& position) {
  if (unit.anm == nullptr || unit.state >= kEventAnmEnded) return 0;
  if (Map08State().signal1[kSwitch] != 0) {
    if (HasScene()) Scene().tamvik_spr.ReleaseAnm(&unit.anm->handle);
    SetUnitState(unit, kEventAnmEnded);
    return 0;
  }
  if (unit.state == kEventAnmFirst) unit.walk_state[0] = 0;
  RunEventAnm(kBarrierLoop, unit, position);
  if ((Battle().flags & kPulseHoldBit) == 0) {
    unit.walk_state[0] = (unit.walk_state[0] + 1) % (2 * kPulseFrames);
  }
  const int32_t n = unit.walk_state[0];
  const int32_t alpha = n < kPulseFrames ? 256 - 4 * n : 4 * (n - kPulseFrames);
  SlgSprSetAlpha(unit.anm, static_cast<BlendWord>(alpha));
  return 0;
}

// A switch: pattern 1 held on its first frame with shade 0; its signal 2 cleared when it starts.
// On signal 2 = 1 it plays once, then lets go of its animation.
constexpr EventAnmDesc kSwitchHeld{.held_start = true, .shade0 = true, .release_at_end = true};
template <int32_t kSwitch>
int SwitchObject(SlgUnit& unit, SlgPair& position) {
  if (unit.anm == nullptr) return 0;
  Map08Words& w = Map08State();
  if (unit.state == kEventAnmFirst) {
    SetAnmPattern(unit.anm, 1);
    w.signal2[kSwitch] = 0;
  }
  if (unit.state != kEventAnmEnded && w.signal2[kSwitch] == 1 &&
      (unit.anm->mode & kSlgAnmStartStopped) != 0) {
    unit.anm->mode &= static_cast<uint8_t>(~kSlgAnmStartStopped);
    SlgAnmShow(unit.anm->handle);
  }
  RunEventAnm(kSwitchHeld, unit, position);
  return 0;
}

int NoAction(SlgUnit&, SlgPair&) { return 0; }

constexpr std::array<SlgEventAnmHandler, kMap08ObjectKinds> kAnm = {
    &EffectOn<1, 1>, &EffectOn<1, 0>, &EffectOn<5, 0>, &Barrier<0>,
    &Barrier<1>,     &SwitchObject<0>, &SwitchObject<1>, &NoAction,
};

}  // namespace

const MapSetup kMap08Setup{.bgm = MapBgm::Play(16), .table = kTable.data(), .anm_table = kAnm};
