#include "battle_events/maps/map22.h"

#include <algorithm>
#include <array>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_stage_table.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_movie.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_steps.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/generic_rows.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/maps/kit/standard_talks.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "battle_events/runtime/event_tone.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

Map22Words& Map22State() { return Battle().Extension<Map22Words>(); }

Map22Order Map22BuildOrder(const std::array<bool, 7>& joined, const Map22Trusts& trust) {
  Map22Order order{};
  int front = 0;
  int back = 5;
  for (int8_t c = 1; c <= 6; ++c) {
    if (joined[static_cast<size_t>(c)]) {
      order[static_cast<size_t>(front++)] = c;
    } else {
      order[static_cast<size_t>(back--)] = c;
    }
  }
  auto by_trust = [&](int8_t a, int8_t b) {
    return trust[static_cast<size_t>(a)] > trust[static_cast<size_t>(b)];
  };
  std::stable_sort(order.begin(), order.begin() + front, by_trust);
  std::stable_sort(order.begin() + front, order.end(), by_trust);
  return order;
}

int32_t Map22Speaker(const Map22Order& order, const std::array<bool, 7>& present,
                     const Map22Trusts& trust) {
  int32_t speaker = 0;
  for (int8_t c : order) {
    if (c < 1 || c > 6 || !present[static_cast<size_t>(c)]) continue;
    if (speaker == 0 || trust[static_cast<size_t>(c)] > trust[static_cast<size_t>(speaker)]) {
      speaker = c;
    }
  }
  return speaker;
}

Map22Order Map22Resort(Map22Order order, const Map22Trusts& trust) {
  auto t = [&](size_t place) { return trust[static_cast<size_t>(order[place])]; };
  for (size_t i = 0; i + 1 < order.size(); ++i) {
    size_t best = i + 1;
    for (size_t j = i + 2; j < order.size(); ++j) {
      if (t(j) > t(best)) best = j;
    }
    if (t(best) > t(i)) std::swap(order[i], order[best]);
  }
  return order;
}

namespace {

// The twinkle's keys: (1.0, 0.164) for a frame, to (0.164, 1.0) over 6 frames and back over 6.
constexpr SlgMotionKey kTwinkleKeys[] = {{128, 21, 1}, {21, 128, 6}, {128, 21, 6}, {0, 0, 0}};
constexpr int16_t kTwinkleDivisor = 128;

void TwinkleRun(SlgMotion& m, int32_t frames) {
  SlgMotionInit(m, kTwinkleKeys, kTwinkleDivisor, kTwinkleDivisor);
  for (int32_t n = 0; n < frames; ++n) {
    if (SlgMotionStep(m) == 0) SlgMotionInit(m, kTwinkleKeys, kTwinkleDivisor, kTwinkleDivisor);
  }
}

}  // namespace

SlgPair Map22Twinkle(int32_t frames) {
  SlgMotion m{};
  TwinkleRun(m, frames);
  return {m.x, m.y};
}

namespace {

namespace S = EventSeq;

constexpr int32_t kPx = 65536;
constexpr const char* kSeBank = "SEBE07.ALL";
constexpr uint32_t kBinAddress = 0x60c0000;
constexpr uint32_t kOpeningBinAddress = 0x6080000;
// The battle flag word's bits: the mouse cursor (0x08) and the one the long scenes hold (0x40).
constexpr uint16_t kCursorBit = 0x08;
constexpr uint16_t kSceneBit = 0x40;
constexpr int32_t kFirstBoss = 26;
constexpr int32_t kSecondBoss = 27;
constexpr int32_t kWaveKind = 35;
// The flag the first boss's exit sequence sets.
constexpr int kBossLeftFlag = 198;
// The mirrored attribute word of a body facing 2 or 3.
constexpr uint16_t kMirrored = 16;

// ---- The map's units ----

// The live unit of that group and character (event objects, which carry character bytes of
// their own, are not); null when none.
SlgUnit* UnitOf(int32_t group, int32_t character) {
  SlgBattleState& s = Battle().state;
  for (uint32_t i = 0; i < s.unit_count && i < s.units.size(); ++i) {
    SlgUnit& u = s.units[i];
    if (SlgUnitLive(u) && u.side == group && u.character == character && u.kind < 80) return &u;
  }
  return nullptr;
}
bool Present(int32_t character) { return UnitOf(0, character) != nullptr; }

// Whether the stage has a placement entry of the kind.
bool KindHasEntry(int32_t kind) {
  const StageTable* stage = Battle().stage.get();
  if (stage == nullptr) return false;
  for (int n = 0; n < stage->unit_count(); ++n) {
    if (stage->class_entry(stage->unit(n).class_index).kind == kind) return true;
  }
  return false;
}

// Whether a unit of the kind is on the map (deployed or running, not removed).
bool KindDeployed(int32_t kind) {
  const SlgBattleState& s = Battle().state;
  for (uint32_t i = 0; i < s.unit_count && i < s.units.size(); ++i) {
    const SlgUnit& u = s.units[i];
    if (SlgUnitLive(u) && u.kind == kind && (u.deploy_state == 1 || u.deploy_state == 2)) {
      return true;
    }
  }
  return false;
}

// A unit's direction, its body's mirror word and state 0 (the walking pattern is left alone).
void Face(SlgUnit& unit, uint32_t dir) {
  unit.dir = static_cast<uint8_t>(dir);
  if (unit.anm != nullptr) unit.anm->attr = dir == 2 || dir == 3 ? kMirrored : 0;
  SetUnitState(unit, 0);
}

// The unit (group, character) taken off its cell, turned to `dir` and put on the cell of the
// halved point (x, y) with its height; nothing when it is not on the map.
void MoveUnit(int32_t group, int32_t character, int32_t x, int32_t y, uint32_t dir) {
  SlgUnit* unit = UnitOf(group, character);
  if (unit == nullptr) return;
  ClearUnitCell(*unit);
  Face(*unit, dir);
  const SlgPoint at = CellToPosHeight(2 * x, 2 * y);
  unit->x = at.x * kPx;
  unit->y = at.y * kPx;
  EventObjPlace(*unit);
  SetUnitCell(*unit);
}

// A present character turned to `dir`.
void TurnChara(int32_t character, uint32_t dir) {
  if (SlgUnit* unit = UnitOf(0, character); unit != nullptr) Face(*unit, dir);
}

// A heroine placed at the halved point (x, y). Mode 1: her kind's placement entry moved there,
// the unit made again and her participation flag set (nothing at all without an entry of her
// kind). Mode 0: moved there facing 0 when present.
void PlaceHeroine(int32_t character, int32_t x, int32_t y, int mode) {
  if (character < 1 || character > 6) return;
  if (mode == 0) {
    MoveUnit(0, character, x, y, 0);
    return;
  }
  if (!KindHasEntry(character)) {
    DebugPrint("map 22: no placement entry of kind %d: heroine %d not placed\n", character,
               character);
    return;
  }
  EventSetKindPlaceCell(character, 2 * x, 2 * y);
  EventRedeployKind(character);
  SetEventFlag(static_cast<uint32_t>(kMap22ParticipationFlags[static_cast<size_t>(character)]));
}

Map22Trusts Trusts() {
  Map22Trusts t{};
  for (int c = 1; c <= 6; ++c) t[static_cast<size_t>(c)] = GetTrustVar(c);
  return t;
}

// The opening's trust order from the joining variables and the trusts.
void BuildOrder() {
  std::array<bool, 7> joined{};
  for (size_t c = 1; c <= 6; ++c) joined[c] = SlgGetMacroP(kMap22JoinedVars[c]) != 0;
  Map22State().order = Map22BuildOrder(joined, Trusts());
}

// The character at place n (1-6) of the trust order. An order the opening never built (the map's
// state is made afresh for each stage, the story flags are not) is built first, so the later
// scenes never send a kind their objects do not answer.
int32_t Place(int n) {
  Map22Words& w = Map22State();
  if (w.order[0] == 0) BuildOrder();
  return w.order[static_cast<size_t>(n - 1)];
}

void Recalc(SlgUnit* unit) {
  if (unit != nullptr) Slg::RecalcUnitStats(*unit);
}

void ClearCursorBit() { Battle().flags = static_cast<uint16_t>(Battle().flags & ~kCursorBit); }
void LoadSeBank() { EventLoadSeBank(kSeBank); }
void ResetCurrentUnit() { Slg::ResetCurrentUnit(); }
void BgmStart(int32_t n) { BGMPlayStart(n); }

// A line by character 1-6 (index 0 unused), shown with EventMessage.
using LineTable = std::array<EventMessageRef, 7>;
int SayLine(const LineTable& lines, int32_t character) {
  if (character < 1 || character > 6) return 1;
  const EventMessageRef& m = lines[static_cast<size_t>(character)];
  return EventMessage(m.face, m.message);
}

int32_t& HByte() { return Map22State().h; }

// ---- 22110: the opening ----

constexpr std::array<SlgPoint, 3> kOpeningPoints = {{{432, 268}, {360, 256}, {432, 292}}};

void Opening() {
  for (size_t c = 1; c <= 6; ++c) ClearEventFlag(static_cast<uint32_t>(kMap22ParticipationFlags[c]));
  BuildOrder();
  for (int n = 1; n <= 3; ++n) {
    const SlgPoint p = kOpeningPoints[static_cast<size_t>(n - 1)];
    PlaceHeroine(Place(n), p.x, p.y, 1);
  }
  EventClearKindFlag(kFirstBoss, kShowFlag);
  EventLoadBin("EVS22110.BIN", kOpeningBinAddress);
  EventDeployKind(80);
  EventLoadSeBank(kSeBank);
}
// The first four of the order that are present get their values worked out again.
void RecalcFirstFour() {
  for (int n = 1; n <= 4; ++n) Recalc(UnitOf(0, Place(n)));
}

constexpr S::Op kOpeningOps[] = {
    S::Do(&Opening),
    S::FadeIn(),
    S::Do(&RecalcFirstFour),
    S::Do(&LoadSeBank),
    S::End(),
};
static_assert(S::Valid(kOpeningOps));
constexpr SeqArgs kOpeningArgs{kOpeningOps};

// ---- 22120: the first scene ----

int BgIn() { return EventBgFadeIn(207, 31, 100); }
int BgOut() { return EventBgFadeOut(31, 100); }
void RiseStarts() {
  EventDeployKind(81);
  Map22State().rise = 1;
}
void BossShows() { EventSetKindFlag(kFirstBoss, kShowFlag); }

constexpr auto k3101 = TalkList({{256, 3101}});
constexpr auto k10000 = TalkList({{11, 10000}, {11, 10001}, {11, 10002}});
constexpr auto k2147 = TalkList({{256, 2147}, {256, 2143}, {256, 2144}});
constexpr auto k3027 = TalkList({{255, 3027}});

constexpr S::Op kFirstScene[] = {
    S::ScrollPx(768, 136, 4),
    S::Wait(60),
    S::Messages(k3101),
    S::Wait(60),
    S::Messages(k10000),
    S::Custom(&BgIn),
    S::Messages(k2147),
    S::Custom(&BgOut),
    S::Wait(30),
    S::Do(&RiseStarts),
    S::Wait(306),
    S::UndeployKind(80),
    S::HoldUntil(&HByte, 1, {81}),
    S::UndeployKind(81),
    S::Do(&BossShows),
    S::Bgm(16),
    S::Wait(60),
    S::Messages(k3027),
    S::Do(&ResetCurrentUnit),
    S::Wait(60),
    S::FocusActing(),
    S::End(),
};
static_assert(S::Valid(kFirstScene));
constexpr SeqArgs kFirstSceneArgs{kFirstScene};

// ---- 22130: the first boss down ----

constexpr LineTable kBossDownLines = {{{0, 0},
                                       {30, 3338},
                                       {75, 3339},
                                       {111, 3340},
                                       {156, 3342},
                                       {210, 3341},
                                       {138, 2414}}};
int SpeakerLine() {
  std::array<bool, 7> present{};
  for (int c = 1; c <= 6; ++c) present[static_cast<size_t>(c)] = Present(c);
  Place(1);
  return SayLine(kBossDownLines, Map22Speaker(Map22State().order, present, Trusts()));
}

constexpr S::Op kBossDown[] = {
    S::Do(&ClearCursorBit),
    S::FadeOutMusic(),
    S::HoldUntil("F(198);", {}),
    S::Do(&LoadSeBank),
    S::Wait(60),
    S::Custom(&SpeakerLine),
    S::End(),
};
static_assert(S::Valid(kBossDown));
constexpr SeqArgs kBossDownArgs{kBossDown};

// ---- 22140: the regrouping ----

constexpr std::array<SlgPoint, 4> kRegroupPoints = {{{408, 216}, {456, 272}, {360, 248}, {456, 296}}};

void LoadRegroupBin() { EventLoadBin("EVS22150.BIN", kBinAddress); }
void Regroup() {
  for (int n = 1; n <= 4; ++n) {
    const SlgPoint p = kRegroupPoints[static_cast<size_t>(n - 1)];
    PlaceHeroine(Place(n), p.x, p.y, 0);
  }
}

constexpr S::Op kRegroup[] = {
    S::Do(&LoadRegroupBin),
    S::FadeOut(),
    S::Do(&Regroup),
    S::ScrollPx(528, 280, 20),
    S::FadeIn(),
    S::End(),
};
static_assert(S::Valid(kRegroup));
constexpr SeqArgs kRegroupArgs{kRegroup};

// ---- 22150: the second wave ----

bool Present1() { return Present(1); }
bool Present3() { return Present(3); }
bool Present4() { return Present(4); }
// Kind 83 answers H = 1 once it has faded in and kind 82 then H = 2. Without kind 83 the wait
// ends at once; without kind 82 it ends on kind 83's H = 1 (which would otherwise overwrite the
// scene's next H = 4 and hold kind 83 for ever).
bool SecondSignal() {
  const int32_t h = Map22State().h;
  return h == 2 || !KindDeployed(83) || (h == 1 && !KindDeployed(82));
}
void SendFadeOut() { Map22State().h = 4; }
void SecondBoss() { EventRedeployKind(kSecondBoss); }
// Kind 35 numbers 17-24 made again, each marked (number in the high byte) to be revealed.
void Wave() {
  for (int32_t n = 17; n <= 24; ++n) {
    EventRedeployKindNo(kWaveKind, n << 8);
    EventMarkKindNo(kWaveKind, n << 8);
  }
}
constexpr std::array<uint8_t, 16> kWaveList = {35, 17, 35, 18, 35, 19, 35, 20,
                                               35, 21, 35, 22, 35, 23, 35, 24};
int Reveal() { return EventRevealUnits(kWaveList.data(), 8); }

constexpr auto k10003 = TalkList({{11, 10003}});
constexpr auto k3115 = TalkList({{256, 3115}});
constexpr auto k3116 = TalkList({{33, 3116}});
constexpr auto k10004 = TalkList({{15, 10004}});
constexpr auto k3117 = TalkList({{254, 3117}, {254, 3118}});
constexpr auto k3119 = TalkList({{254, 3119}});
constexpr auto k3120 = TalkList({{114, 3120}});
constexpr auto k3121 = TalkList({{159, 3121}});
constexpr auto k10005 = TalkList({{15, 10005}});

constexpr S::Op kSecondWave[] = {
    S::Wait(60),
    S::Messages(k10003),
    S::Wait(180),
    S::Messages(k3115),
    S::Wait(30),
    S::If(&Present1, 1),
    S::Goto(2),
    S::Label(1),
    S::Messages(k3116),
    S::Label(2),
    S::Wait(60),
    S::Messages(k10004),
    S::Wait(60),
    S::Messages(k3117),
    S::ScrollPx(640, 208, 8),
    S::DeployKind(82),
    S::DeployKind(83),
    S::HoldUntil(&SecondSignal, {}),
    S::Messages(k3119),
    S::Do(&SendFadeOut),
    S::UndeployKind(82),
    S::Do(&SecondBoss),
    S::Do(&BgmStart, 27),
    S::HoldUntil(&HByte, 3, {83}),
    S::UndeployKind(83),
    S::Do(&Wave),
    S::If(&Present3, 3),
    S::Goto(4),
    S::Label(3),
    S::Messages(k3120),
    S::Label(4),
    S::Wait(30),
    S::If(&Present4, 5),
    S::Goto(6),
    S::Label(5),
    S::Messages(k3121),
    S::Label(6),
    S::Messages(k10005),
    S::Custom(&Reveal),
    S::ScrollPx(640, 208, 8),
    S::End(),
};
static_assert(S::Valid(kSecondWave));
constexpr SeqArgs kSecondWaveArgs{kSecondWave};

// ---- 22160: the gathering ----

constexpr std::array<SlgPoint, 3> kGatherPoints = {{{384, 284}, {336, 264}, {384, 308}}};
constexpr LineTable kGatherLines = {{{0, 0},
                                     {29, 3105},
                                     {74, 3106},
                                     {110, 3107},
                                     {155, 3108},
                                     {209, 3109},
                                     {137, 3110}}};
constexpr LineTable kGatheredLines = {{{0, 0},
                                       {29, 10007},
                                       {74, 10008},
                                       {110, 10009},
                                       {155, 10010},
                                       {209, 10011},
                                       {137, 10012}}};

void GatherStart() {
  for (int n = 4; n <= 6; ++n) PlaceHeroine(Place(n), 0, 0, 1);
  EventLoadBin("EVS22160.BIN", kBinAddress);
  Map22State().turn_frames = 0;
}
int FourthLine() { return SayLine(kGatherLines, Place(4)); }
void HeroTurns() { TurnChara(0, 2); }
// During the scroll: o[1], o[2] and o[3] turned to 2, the first at once, the others 5 frames
// apart.
int TurnsDuringScroll() {
  Map22Words& w = Map22State();
  const int32_t f = w.turn_frames++;
  if (f % 5 == 0 && f / 5 < 3) TurnChara(Place(f / 5 + 1), 2);
  return f >= 10 ? 1 : 0;
}
// The arrival objects (kind 83 + character) of o[4]-o[6] at their points.
void Arrivals() {
  for (int n = 4; n <= 6; ++n) {
    const int32_t kind = 83 + Place(n);
    const SlgPoint p = kGatherPoints[static_cast<size_t>(n - 4)];
    EventSetKindPlaceCell(kind, 2 * p.x, 2 * p.y);
    EventDeployKind(kind);
  }
}
void ArrivedHeroines() {
  for (int n = 4; n <= 6; ++n) {
    const SlgPoint p = kGatherPoints[static_cast<size_t>(n - 4)];
    PlaceHeroine(Place(n), p.x, p.y, 0);
  }
}
void ArrivalsGone() {
  for (int n = 4; n <= 6; ++n) EventUndeployKind(83 + Place(n));
}
int GatheredLine() { return SayLine(kGatheredLines, Place(4)); }
void WhiteOut64() { SlgWhiteOut(64); }
void Gathered() {
  TurnChara(0, 0);
  for (int n = 1; n <= 3; ++n) TurnChara(Place(n), 0);
  Recalc(UnitOf(0, 0));
  for (int n = 1; n <= 6; ++n) Recalc(UnitOf(0, Place(n)));
  SlgWhiteIn(16);
}

constexpr auto k3122 = TalkList({{257, 3122}});
constexpr auto k10018 = TalkList({{15, 10018}});
constexpr auto k3123 = TalkList({{255, 3123}});
constexpr auto k10006 = TalkList({{11, 10006}});
constexpr auto k2246 = TalkList({{257, 2147}, {257, 2246}, {257, 2144}});

constexpr S::Op kGathering[] = {
    S::Do(&GatherStart),
    S::Wait(60),
    S::Messages(k3122),
    S::Wait(60),
    S::Messages(k10018),
    S::Wait(60),
    S::Messages(k3123),
    S::Wait(60),
    S::Custom(&FourthLine),
    S::Do(&HeroTurns),
    S::FadeOutMusic(),
    S::Pair(S::ScrollPx(464, 352, 8), S::Custom(&TurnsDuringScroll)),
    S::Wait(60),
    S::Do(&Arrivals),
    S::Se(134),
    S::Wait(15),
    S::Do(&ArrivedHeroines),
    S::Wait(75),
    S::Do(&ArrivalsGone),
    S::Wait(60),
    S::Messages(k10006),
    S::Do(&BgmStart, 13),
    S::Custom(&GatheredLine),
    S::Do(&WhiteOut64),
    S::Wait(90),
    S::Do(&Gathered),
    S::ScrollPx(640, 208, 8),
    S::Wait(60),
    S::Messages(k2246),
    S::Wait(60),
    S::Do(&ResetCurrentUnit),
    S::End(),
};
static_assert(S::Valid(kGathering));
constexpr SeqArgs kGatheringArgs{kGathering};

// ---- 22170: the second boss down ----

// The points of the party after the scene, by character 0-6 (halved).
constexpr std::array<SlgPoint, 7> kClosingPoints = {
    {{384, 240}, {336, 216}, {456, 228}, {312, 252}, {432, 264}, {360, 276}, {408, 204}}};
// The unit the merging object flies to, and where it stands for the scene.
constexpr int32_t kFlightGroup = 2;
constexpr int32_t kFlightCharacter = 7;
constexpr int32_t kMergeKind = 90;

void SetSceneBit(bool on) {
  Battle().flags = static_cast<uint16_t>(on ? Battle().flags | kSceneBit : Battle().flags & ~kSceneBit);
}

void MergeStart() {
  SlgFadeIn(0);
  SlgBgmVolumeDown();
  ClearCursorBit();
  EventLoadBin("EVS22170.BIN", kBinAddress);
  Place(1);
  Map22Words& w = Map22State();
  w.order = Map22Resort(w.order, Trusts());
}
// The camera centred on the hero's point raised by its cell height.
int ScrollToHero() {
  const SlgUnit* hero = UnitOf(0, 0);
  if (hero == nullptr) {
    DebugPrint("map 22 merge: no hero to scroll to\n");
    return 1;
  }
  const SlgPair at = Slg::RaiseByCellHeight({hero->x, hero->y});
  return EventScroll(at.x - 320 * kPx, at.y - 240 * kPx, 4 * kPx);
}
void Swell() {
  SlgWhiteOut(64);
  SetSceneBit(true);
  Map22State().d = 2;
  BGMPlayStart(1);
}
// The figures out, the enemies gone, the party hidden, the unit the object flies to placed.
void FiguresOut() {
  SlgWhiteIn(16);
  SetSceneBit(false);
  DeployKinds(97, 103);
  SlgBattleState& s = Battle().state;
  for (uint32_t i = 0; i < s.unit_count && i < s.units.size(); ++i) {
    if (SlgUnitLive(s.units[i]) && s.units[i].side == 1) EventRemoveUnit(&s.units[i]);
  }
  for (int32_t k = 0; k <= 6; ++k) EventClearKindFlag(k, kShowFlag);
  MoveUnit(kFlightGroup, kFlightCharacter, 504, 180, 2);
}

constexpr LineTable kPassLines = {{{0, 0},
                                   {29, 3139},
                                   {74, 3135},
                                   {110, 3131},
                                   {156, 3129},
                                   {209, 3133},
                                   {137, 3137}}};
constexpr LineTable kFirstPlaceLines = {{{0, 0},
                                         {29, 3140},
                                         {74, 3136},
                                         {110, 3132},
                                         {155, 3130},
                                         {209, 3134},
                                         {137, 3138}}};

// The passes over o[2]-o[6] (pass = place 2-6), then o[1].
void PassesStart() { Map22State().pass = 2; }
int PassLine() { return SayLine(kPassLines, Place(Map22State().pass)); }
int PassScroll() {
  const int32_t c = Place(Map22State().pass);
  if (c < 1 || c > 6) return 1;
  const SlgPoint p = kClosingPoints[static_cast<size_t>(c)];
  return EventScroll((p.x - 160) * 2 * kPx, (p.y - 120) * 2 * kPx, 8 * kPx);
}
void PassDeploy() { EventDeployKind(kMergeKind + Place(Map22State().pass)); }
bool NextPass() { return ++Map22State().pass <= 6; }
int FirstPlaceLine() { return SayLine(kFirstPlaceLines, Place(1)); }
void FirstPlaceDeploy() { EventDeployKind(kMergeKind + Place(1)); }

// The joining loop over o[1]-o[6] (pass = place 1-6): K names her object, D := 3 sends it.
void JoinStart() {
  Map22State().pass = 1;
  SetSceneBit(true);
}
void JoinSend() {
  Map22Words& w = Map22State();
  w.k = kMergeKind + Place(w.pass);
  w.d = 3;
}
// D = 1 from the object K names, or that object not on the map (a kind without a placement
// entry, or one freed) so the scene cannot hold.
bool Arrived() {
  const Map22Words& w = Map22State();
  return w.d == 1 || !KindDeployed(w.k);
}
void WhiteIn8() { SlgWhiteIn(8); }
bool NextJoin() { return ++Map22State().pass <= 6; }
void JoinEnd() { SetSceneBit(false); }
void MergeLeaves() {
  Map22Words& w = Map22State();
  w.k = kMergeKind;
  w.d = 3;
}
void ClosingWhite() {
  SetSceneBit(true);
  SlgWhiteOut(64);
  SlgSePlay400(1);
}
void PartyBack() {
  for (int32_t c = 0; c <= 6; ++c) {
    const SlgPoint p = kClosingPoints[static_cast<size_t>(c)];
    MoveUnit(0, c, p.x, p.y, 0);
  }
  UndeployKinds(97, 103);
  for (int32_t k = 0; k <= 6; ++k) EventSetKindFlag(k, kShowFlag);
  SlgFadeIn(16);
  SetSceneBit(false);
}
void MergeObjectsGone() { UndeployKinds(90, 96); }

constexpr auto k10100 = TalkList({{258, 10100}});
constexpr auto k10020 = TalkList({{13, 10020}});
constexpr auto k10021 = TalkList({{13, 10020}, {13, 10021}, {13, 10022}});
constexpr auto k10023 = TalkList({{13, 10023}});

constexpr S::Op kSecondBossDown[] = {
    S::Do(&MergeStart),
    S::Do(&LoadSeBank),
    S::Messages(k10100),
    S::Wait(30),
    S::Custom(&ScrollToHero),
    S::Messages(k10020),
    S::DeployKind(kMergeKind),
    S::Messages(k10021),
    S::Do(&Swell),
    S::Wait(90),
    S::Do(&FiguresOut),
    S::ScrollPx(448, 240, 4),
    S::Do(&PassesStart),
    S::Label(1),
    S::Custom(&PassLine),
    S::Custom(&PassScroll),
    S::Do(&PassDeploy),
    S::Wait(60),
    S::If(&NextPass, 1),
    S::Custom(&FirstPlaceLine),
    S::Do(&FirstPlaceDeploy),
    S::ScrollPx(576, 112, 8),
    S::Wait(60),
    S::Do(&JoinStart),
    S::Label(2),
    S::Do(&JoinSend),
    S::HoldUntil(&Arrived, {}),
    S::Se(262),
    S::Do(&WhiteIn8),
    S::If(&NextJoin, 2),
    S::Do(&JoinEnd),
    S::Wait(30),
    S::Messages(k10023),
    S::Do(&MergeLeaves),
    S::HoldUntil(&Arrived, {}),
    S::Do(&ClosingWhite),
    S::Wait(90),
    S::Custom(&SeStopped<22>),
    S::Do(&PartyBack),
    S::Wait(30),
    S::Do(&MergeObjectsGone),
    S::End(),
};
static_assert(S::Valid(kSecondBossDown));
constexpr SeqArgs kSecondBossDownArgs{kSecondBossDown};

// ---- 22180: the victory ----

void VictoryStart() {
  Eve::StartFadeOutMusic();
  EventDeployKind(104);
}
void ResumeFigure() { EventResumeKindAnm(104); }
void WhiteIn() { SlgWhiteIn(16); }
void PartyAndBossHidden() {
  EventUndeployKind(104);
  EventClearKindFlag(kSecondBoss, kShowFlag);
  for (int32_t k = 0; k <= 6; ++k) EventClearKindFlag(k, kShowFlag);
  SlgSetClearFlag(1);
  SlgWhiteIn(16);
}
int Movie() { return EventMoviePlay(0, 21); }

constexpr auto k3143 = TalkList({{258, 3143}, {258, 3144}, {258, 3145}, {258, 3141}});

constexpr S::Op kVictory[] = {
    S::Do(&VictoryStart),
    S::Wait(90),
    S::ScrollPx(688, 120, 4),
    S::Messages(k3143),
    S::Do(&ResumeFigure),
    // The white flicker: six flashes from full white.
    S::Wait(59),
    S::Do(&WhiteIn),
    S::Wait(29),
    S::Do(&WhiteIn),
    S::Wait(59),
    S::Do(&WhiteIn),
    S::Wait(19),
    S::Do(&WhiteIn),
    S::Wait(29),
    S::Do(&WhiteIn),
    S::Wait(59),
    S::Do(&WhiteIn),
    S::Wait(69),
    S::Do(&WhiteOut64),
    S::Wait(90),
    S::Custom(&FadeEnded),
    S::Do(&PartyAndBossHidden),
    S::Custom(&FadeEnded),
    S::Wait(30),
    S::StopBgm(),
    S::Custom(&Movie),
    S::StartGameWin(),
    S::End(),
};
static_assert(S::Valid(kVictory));
constexpr SeqArgs kVictoryArgs{kVictory};

// ---- 22410: the second boss at 30 % ----

void SecondBossRecalc() { Recalc(UnitOf(2, 27)); }

constexpr auto k3124 = TalkList({{255, 3124}, {255, 3125}});

constexpr S::Op kBossWeak[] = {
    S::Wait(30),
    S::Messages(k3124),
    S::Do(&SecondBossRecalc),
    S::Se(30),
    S::Wait(30),
    S::End(),
};
static_assert(S::Valid(kBossWeak));
constexpr SeqArgs kBossWeakArgs{kBossWeak};

// ---- The table ----

constexpr auto k10014 = TalkList({{239, 10014}});
constexpr auto k10015 = TalkList({{239, 10015}});
constexpr auto k10016 = TalkList({{239, 10016}});
constexpr auto k10017 = TalkList({{239, 10017}});
constexpr TalkListArgs k10014Args{k10014};
constexpr TalkListArgs k10015Args{k10015};
constexpr TalkListArgs k10016Args{k10016};
constexpr TalkListArgs k10017Args{k10017};

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 22110, .timing = 0x8000, .guard = {110, 0}, .set = {110, 0}, .handler = &SeqRow,
     .arg = &kOpeningArgs},
    {.id = 22120, .timing = 0x8000, .a = "F(110);", .guard = {120, 0}, .set = {120, 0},
     .handler = &SeqRow, .arg = &kFirstSceneArgs},
    {.id = 22130, .timing = 0x8000, .a = "F(120);", .b = "HGU(GBO,UAM,0);", .guard = {130, 0},
     .set = {130, 0}, .handler = &SeqRow, .arg = &kBossDownArgs},
    {.id = 22140, .timing = 0x8000, .a = "F(130);", .guard = {140, 0}, .set = {140, 0},
     .handler = &SeqRow, .arg = &kRegroupArgs},
    {.id = 22150, .timing = 0x8000, .a = "F(140);", .guard = {150, 0}, .set = {150, 0},
     .handler = &SeqRow, .arg = &kSecondWaveArgs},
    {.id = 22160, .timing = 0x8000, .a = "F(150);", .guard = {160, 0}, .set = {160, 0},
     .clear = {kBossLeftFlag, 0}, .handler = &SeqRow, .arg = &kGatheringArgs},
    {.id = 22170, .timing = 0x8000, .a = "F(160);", .b = "HGU(GBO,UAT,0);", .guard = {170, 0},
     .set = {170, 0}, .handler = &SeqRow, .arg = &kSecondBossDownArgs},
    {.id = 22180, .timing = 0x8000, .a = "F(170);", .guard = {180, 0}, .set = {180, 0},
     .handler = &SeqRow, .arg = &kVictoryArgs},
    {.id = 22190, .timing = 0x2, .a = "F(160);", .b = "M(MAD);", .guard = {190, 0},
     .set = {190, 0}, .clear = {210, 0}, .handler = &WaitTalkListRow, .arg = &k10014Args},
    {.id = 22210, .timing = 0x2, .a = "F(160);", .b = "M(MAD);", .guard = {210, 0},
     .set = {210, 0}, .clear = {190, 0}, .handler = &WaitTalkListRow, .arg = &k10015Args},
    {.id = 22211, .timing = 0x2, .b = "M(MAD);", .guard = {211, 130}, .set = {211, 0},
     .clear = {212, 0}, .handler = &WaitTalkListRow, .arg = &k10016Args},
    {.id = 22212, .timing = 0x2, .b = "M(MAD);", .guard = {212, 130}, .set = {212, 0},
     .clear = {211, 0}, .handler = &WaitTalkListRow, .arg = &k10017Args},
    {.id = 22410, .timing = 0x4, .a = "F(160);", .b = "HGU(GBO,UAT,30);", .guard = {410, 170},
     .set = {410, 0}, .handler = &SeqRow, .arg = &kBossWeakArgs},
});

constexpr uint8_t kAll = kITV | kIDV | kILN | kIYS | kIBS | kITZ;
constexpr GenericTalkSet kTalks = StandardTalkPairs();
constexpr GenericDesc kGeneric{
    .talks = &kTalks,
    .falls = {.base = 22500, .members = kAll},
    .ref_talks = {.base = 22520, .members = kAll},
    .ref_talks2 = {.base = 22530, .members = kAll},
    .char_talks = {.base = 22600, .members = kAll},
    .favourite_chance = 10,
    .talk_c = kNoEventCondition,
    .favourite_c = "NP(IMR());"};

// The participation flags of slots 0-5 (characters 1, 2, 3, 4, 6, 5) as condition A.
constexpr std::array<const char*, kGenericSlots> kTakesPart = {"F(18);", "F(28);", "F(38);",
                                                                "F(58);", "F(48);", "F(68);"};
// The falls and the remarks are guarded by the heroine's participation flag.
constexpr auto kGenericRows = [] {
  auto rows = GenericRows<kGeneric>();
  for (SlgEventEntry& row : rows) {
    for (uint16_t base : {22500, 22520, 22530}) {
      if (row.id >= base && row.id < base + kGenericSlots) row.a = kTakesPart[row.id - base];
    }
  }
  return rows;
}();

constexpr auto kTable = JoinRows(kStoryRows, kGenericRows);
static_assert(kTable.size() == 38 + 1);

// ---- The map's objects ----

void Release(SlgUnit& unit) {
  if (unit.anm != nullptr && HasScene()) Scene().tamvik_spr.ReleaseAnm(&unit.anm->handle);
}
void RestartClock(SlgAnmObj& body) {
  body.start_time = body.now;
  body.frames = 0;
}
void Draw(SlgUnit& unit, const SlgPair& position) {
  SlgSprSetPos(unit.anm->handle, position);
  SlgSprSetPri(unit.anm->handle, unit.anm->depth);
}
bool Ended(const SlgUnit& unit) { return SlgAnmObjIsEnd(unit.anm) != 0; }

// Kind 80, the drifting figure: mirrored on its cell, bobbing 2 pixels up and down over 128
// frames, rising 2621 (16.16) a frame once the rise byte is 1.
constexpr int32_t kRisePerFrame = 2621;
int DriftingFigure(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr) return 0;
  Map22Words& w = Map22State();
  body->depth = static_cast<int16_t>(1 - (position.y >> 16));
  if (unit.state == 0) {
    EventObjSnap(unit);
    EventObjPlace(unit);
    body->attr = kMirrored;
    w.bob_base_y = unit.y + kPx;
    w.bob_angle = 0;
    unit.lift = 0;
    body->shade = 0;
    w.rise = 0;
    ChangeUnitAnm(unit, 4);
    SetUnitState(unit, 1);
    return 0;
  }
  if (unit.state >= 2) {
    Release(unit);
    return 0;
  }
  if (w.rise == 0) RestartClock(*body);
  position.y -= unit.lift;
  SetAnmPos(body, position);
  SlgSprSetPos(body->handle, position);
  SlgSprSetPri(body->handle, body->depth);
  if (w.rise == 1) unit.lift = kRisePerFrame * body->frames;
  w.bob_angle = (w.bob_angle - 4) & 511;
  unit.y = w.bob_base_y + 8 * SlgSin(w.bob_angle);
  return 0;
}

constexpr BlendWord kHalfBlend = 0x10100;
constexpr BlendWord kOpaque = 256;

// Kind 81: pattern 0 three times half blended, then pattern 1 opaque; H := 1 at its end (H := 0
// on its first frame). Its state counts the runs of pattern 0 (1-3), 4 pattern 1, 5 done.
int WaveFigure(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr || unit.state >= 5) return 0;
  if (unit.state == 0) {
    Map22State().h = 0;
    SetAnmPattern(body, 0);
    EventAnmReplay(unit, kSlgAnmOnce);
    SetUnitState(unit, 1);
  } else if (Ended(unit)) {
    if (unit.state < 3) {
      SetAnmPattern(body, 0);
      EventAnmReplay(unit, kSlgAnmOnce);
      SetUnitState(unit, static_cast<uint8_t>(unit.state + 1));
    } else if (unit.state == 3) {
      SetAnmPattern(body, 1);
      EventAnmReplay(unit, kSlgAnmOnce);
      SetUnitState(unit, 4);
    } else {
      Map22State().h = 1;
      Release(unit);
      SetUnitState(unit, 5);
      return 0;
    }
  }
  SlgSprSetAlpha(body, unit.state == 4 ? kOpaque : kHalfBlend);
  Draw(unit, position);
  return 0;
}

// Kind 82: H := 0 on its first frame, hidden until H = 1, then played once; H := 2 at its end.
int SummonFigure(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr || unit.state >= 3) return 0;
  Map22Words& w = Map22State();
  if (unit.state == 0) {
    w.h = 0;
    SlgAnmHide(body->handle);
    SetUnitState(unit, 1);
    return 0;
  }
  if (unit.state == 1) {
    if (w.h != 1) return 0;
    EventAnmReplay(unit, kSlgAnmOnce);
    SlgAnmShow(body->handle);
    SetUnitState(unit, 2);
  } else if (Ended(unit)) {
    w.h = 2;
    Release(unit);
    SetUnitState(unit, 3);
    return 0;
  }
  Draw(unit, position);
  return 0;
}

// Kind 83: fades in over 62 frames (H := 1), waits for H = 4, fades out over 62 frames, is
// released and sets H := 3. State 1 fading in, 2 waiting, 3 fading out, 4 done.
constexpr int32_t kFadeFrames = 62;
int GateFigure(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr || unit.state >= 4) return 0;
  Map22Words& w = Map22State();
  if (unit.state == 0) {
    w.h = 0;
    EventAnmReplay(unit, 0);
    RestartClock(*body);
    SetUnitState(unit, 1);
  }
  const int32_t t = std::min(body->frames, kFadeFrames);
  BlendWord alpha = kOpaque;
  if (unit.state == 1) {
    alpha = static_cast<BlendWord>(t * 256 / kFadeFrames);
    if (t >= kFadeFrames) {
      w.h = 1;
      SetUnitState(unit, 2);
    }
  } else if (unit.state == 2) {
    if (w.h == 4) {
      RestartClock(*body);
      SetUnitState(unit, 3);
    }
  } else {
    alpha = static_cast<BlendWord>((kFadeFrames - t) * 256 / kFadeFrames);
    if (t >= kFadeFrames) {
      Release(unit);
      w.h = 3;
      SetUnitState(unit, 4);
      return 0;
    }
  }
  SlgSprSetAlpha(body, alpha);
  Draw(unit, position);
  return 0;
}

// Kind 104: one depth step to the front each frame; its direction byte c: 0 plays at once,
// another c shows pattern c held until EventResumeKindAnm, then runs and is released at its end.
int VictoryFigure(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr || unit.state >= 2) return 0;
  body->depth = static_cast<int16_t>(body->depth - 1);
  if (unit.state == 0) {
    EventObjSnap(unit);
    EventObjPlace(unit);
    position = EventObjScreenPos(unit);
    if (unit.dir == 0) {
      ChangeUnitAnm(unit, 4);
    } else {
      SetAnmPattern(body, unit.dir);
      EventAnmReplay(unit, kSlgAnmOnce | kSlgAnmStartStopped);
    }
    SetUnitState(unit, 1);
  }
  if (unit.dir != 0 && (body->mode & kSlgAnmStartStopped) != 0) return 0;
  Draw(unit, position);
  if (unit.dir != 0 && Ended(unit)) {
    Release(unit);
    SetUnitState(unit, 2);
  }
  return 0;
}

// ---- Kinds 90-96: the merging object (90) and the joining objects (91-96) ----

constexpr int32_t kZoomOne = 0x10000;
constexpr int32_t kZoomHalf = 0x8000;
constexpr int32_t kZoomFull = 0x50000;
constexpr int32_t kZoomTiny = 6553;
constexpr int32_t kZoomArrival = 0x4000;
constexpr int32_t kGrowPerFrame = 436;
constexpr int32_t kSwellPerFrame = 4915;
constexpr int32_t kRisePx = 4;
constexpr int32_t kMergeLift = 48 * kPx;
constexpr int32_t kJoinLift = 96 * kPx;
constexpr int32_t kTopLift = 160 * kPx;
constexpr int16_t kFrontDepth = -1099;
constexpr int32_t kDepthStep = 64;

// The object's elapsed frames on its body's clock; an object without a body runs each phase to
// its end at once, so a scene waiting on it goes on.
int32_t Elapsed(const SlgUnit& unit) { return unit.anm != nullptr ? unit.anm->frames : 1 << 16; }
void Restart(SlgUnit& unit) {
  if (unit.anm != nullptr) RestartClock(*unit.anm);
}
Map22Flight& FlightOf(const SlgUnit& unit) {
  return Map22State().flights[static_cast<size_t>(std::clamp<int>(unit.kind - kMergeKind, 0, 6))];
}

// The sprite at the object's screen position and depth, with the zoom pair (and the rotation)
// when given.
void PlaceMerge(SlgUnit& unit, const SlgPair* zoom, const int32_t* rotation) {
  if (unit.anm == nullptr || unit.anm->handle == nullptr) return;
  const SlgPair at = EventObjScreenPos(unit);
  SlgSprSetPos(unit.anm->handle, at);
  SlgSprSetPri(unit.anm->handle, unit.anm->depth);
  if (zoom != nullptr) SlgSprSetZoom(unit.anm->handle, *zoom);
  if (rotation != nullptr) SlgSprSetRot(unit.anm->handle, *rotation);
}

// The twinkle's placing: the rotation from its base, the zoom pair times the motion's factors.
void TwinklePlace(SlgUnit& unit, Map22Words& w) {
  w.rotation = w.rotation_base + 4 * Elapsed(unit);
  const SlgPair zoom{SlgFxMul(w.zoom.x, w.twinkle.x), SlgFxMul(w.zoom.y, w.twinkle.y)};
  PlaceMerge(unit, &zoom, &w.rotation);
}
// The motion run again from its start for the elapsed frames: the value of the next frame.
void TwinkleStep(const SlgUnit& unit, Map22Words& w) { TwinkleRun(w.twinkle, Elapsed(unit)); }

void SwellTest(SlgUnit& unit, Map22Words& w) {
  if (w.d != 2) return;
  w.d = 0;
  w.base_zoom = w.zoom;
  w.rotation_base = w.rotation;
  Restart(unit);
  unit.step = kMap22MergeSwelling;
}

// A flight replayed from its start for the elapsed frames: each frame a 1/divisor of what is
// left to the target point, and of what is left to the lift `lift_to` (16.16, truncated toward
// zero).
void Fly(SlgUnit& unit, const Map22Flight& f, const SlgPair& target, int32_t lift_to,
         int32_t divisor) {
  int32_t x = f.start.x;
  int32_t y = f.start.y;
  int32_t lift = f.start_lift;
  const int32_t frames = std::min(Elapsed(unit), f.duration);
  for (int32_t n = 0; n < frames; ++n) {
    x += (target.x - x) / divisor;
    y += (target.y - y) / divisor;
    lift += (lift_to - lift) / divisor;
  }
  unit.x = x;
  unit.y = y;
  unit.lift = lift;
}

void StartFlight(SlgUnit& unit, int32_t duration) {
  Map22Flight& f = FlightOf(unit);
  f.duration = duration;
  f.start = {unit.x, unit.y};
  f.start_lift = unit.lift;
  Restart(unit);
}

void MergeFirstFrame(SlgUnit& unit, Map22Words& w) {
  w.d = 0;
  w.k = unit.kind;
  if (unit.anm != nullptr) unit.anm->mode = 0;
  if (unit.kind == kMergeKind) {
    w.target = {unit.x, unit.y};
    if (const SlgUnit* hero = UnitOf(0, 0); hero != nullptr) {
      unit.x = hero->x;
      unit.y = hero->y;
    }
    w.zoom = {kZoomTiny, kZoomTiny};
    w.arrival = 0;
    SlgMotionInit(w.twinkle, kTwinkleKeys, kTwinkleDivisor, kTwinkleDivisor);
    EventObjSnap(unit);
    EventObjPlace(unit);
    unit.lift = kMergeLift;
    w.base_zoom = w.zoom;
    w.rotation_base = w.rotation;
    Restart(unit);
    if (unit.anm != nullptr) ChangeUnitAnm(unit, 4);
    PlaceMerge(unit, &w.zoom, nullptr);
    unit.step = kMap22MergeGrowing;
    return;
  }
  EventObjSnap(unit);
  EventObjPlace(unit);
  unit.lift = kJoinLift;
  FlightOf(unit).duration = 20;
  Restart(unit);
  unit.step = kMap22JoinAppearing;
}

int MergeObject(SlgUnit& unit, SlgPair& /*position*/) {
  Map22Words& w = Map22State();
  SlgAnmObj* body = unit.anm;
  if (body != nullptr) body->depth = static_cast<int16_t>(body->depth - kDepthStep);
  const uint32_t phase = unit.step;
  if (body != nullptr &&
      (phase == kMap22MergeGrowing || phase == kMap22MergeSwelling || phase == kMap22MergeSwellingAway)) {
    body->depth = kFrontDepth;
  }
  switch (phase) {
    case kMap22MergeStart:
      MergeFirstFrame(unit, w);
      return 0;
    case kMap22MergeGrowing: {
      const int32_t z = w.base_zoom.x + kGrowPerFrame * Elapsed(unit);
      w.zoom = {z, w.base_zoom.y + kGrowPerFrame * Elapsed(unit)};
      if (w.zoom.x >= kZoomHalf) {
        w.zoom = {kZoomHalf, kZoomHalf};
        unit.step = kMap22MergeHolding;
      }
      SwellTest(unit, w);
      TwinklePlace(unit, w);
      TwinkleStep(unit, w);
      return 0;
    }
    case kMap22MergeHolding:
      SwellTest(unit, w);
      TwinklePlace(unit, w);
      TwinkleStep(unit, w);
      return 0;
    case kMap22MergeSwelling:
      w.zoom = {w.base_zoom.x + kSwellPerFrame * Elapsed(unit),
                w.base_zoom.y + kSwellPerFrame * Elapsed(unit)};
      TwinklePlace(unit, w);
      if (w.zoom.x >= kZoomFull) {
        unit.x = w.target.x;
        unit.y = w.target.y;
        EventObjSnap(unit);
        EventObjPlace(unit);
        w.target = {unit.x, unit.y};
        w.zoom = {kZoomOne, kZoomOne};
        unit.lift = kJoinLift;
        unit.step = kMap22MergeWaiting;
      } else {
        TwinkleStep(unit, w);
      }
      return 0;
    case kMap22MergeWaiting:
      if (w.arrival != 0) {
        w.arrival = 0;
        w.zoom = {w.zoom.x + kZoomArrival, w.zoom.y + kZoomArrival};
      }
      if (w.d == 3 && w.k == kMergeKind) {
        if (const SlgUnit* to = UnitOf(kFlightGroup, kFlightCharacter); to != nullptr) {
          w.target = {to->x, to->y};
        }
        StartFlight(unit, 60);
        w.d = 0;
        unit.step = kMap22MergeFlying;
      }
      PlaceMerge(unit, &w.zoom, nullptr);
      return 0;
    case kMap22MergeFlying:
      if (Elapsed(unit) >= FlightOf(unit).duration) {
        w.d = 1;
        w.base_zoom = w.zoom;
        Restart(unit);
        unit.step = kMap22MergeSwellingAway;
      } else {
        Fly(unit, FlightOf(unit), w.target, kMergeLift, 60);
      }
      PlaceMerge(unit, &w.zoom, nullptr);
      return 0;
    case kMap22MergeSwellingAway:
      w.zoom = {w.base_zoom.x + kSwellPerFrame * Elapsed(unit),
                w.base_zoom.y + kSwellPerFrame * Elapsed(unit)};
      PlaceMerge(unit, &w.zoom, nullptr);
      if (w.zoom.x >= kZoomFull) {
        Release(unit);
        unit.step = kMap22MergeDone;
      }
      return 0;
    case kMap22JoinAppearing:
      if (Elapsed(unit) < FlightOf(unit).duration) return 0;
      SlgSePlay(31);
      Restart(unit);
      if (body != nullptr) {
        ChangeUnitAnm(unit, 4);
        SpxAnimeKind* spx = HasScene() ? Scene().tamvik_spr.spx() : nullptr;
        if (spx != nullptr && body->handle != nullptr) spx->HideSpx(body->handle);
      }
      PlaceMerge(unit, nullptr, nullptr);
      unit.step = kMap22JoinWaiting;
      return 0;
    case kMap22JoinWaiting:
      if (w.d == 3 && w.k == unit.kind) {
        w.d = 0;
        FlightOf(unit).start_lift = unit.lift;
        Restart(unit);
        unit.step = kMap22JoinRising;
      }
      PlaceMerge(unit, nullptr, nullptr);
      return 0;
    case kMap22JoinRising:
      unit.lift = FlightOf(unit).start_lift + kRisePx * kPx * Elapsed(unit);
      if (unit.lift >= kTopLift) {
        unit.lift = kTopLift;
        StartFlight(unit, 20);
        unit.step = kMap22JoinFlying;
      }
      PlaceMerge(unit, nullptr, nullptr);
      return 0;
    case kMap22JoinFlying:
      if (Elapsed(unit) >= FlightOf(unit).duration) {
        w.d = 1;
        w.arrival = 1;
        Release(unit);
        unit.step = kMap22MergeDone;
        return 0;
      }
      Fly(unit, FlightOf(unit), w.target, kJoinLift, 20);
      PlaceMerge(unit, nullptr, nullptr);
      return 0;
    default:
      return 0;
  }
}

// ---- Kinds 97-103: the figures of characters 0-6 (the direction byte) ----

constexpr uint16_t kToneShade = 24576;
constexpr uint32_t kFigureHeld = 1;
constexpr uint32_t kFigureRunning = 2;

int PartyFigure(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr) return 0;
  const int32_t c = unit.dir;
  if (unit.step == 0) {
    EventObjSnap(unit);
    EventObjPlace(unit);
    position = EventObjScreenPos(unit);
    body->attr = static_cast<uint16_t>(c * 64);
    if (c == 0) {
      body->mode = kSlgAnmOnce;
      ChangeUnitAnm(unit, 4);
      body->mode = 0;
      unit.step = kFigureRunning;
    } else {
      if (!Present(c)) body->shade = kToneShade;
      body->mode = kSlgAnmOnce | kSlgAnmStartStopped;
      ChangeUnitAnm(unit, 4);
      if (body->handle != nullptr) Ctx().anime.SetStop(body->handle, 1);
      unit.step = kFigureHeld;
    }
  }
  if (unit.step == kFigureHeld && Map22State().k - kMergeKind == c) {
    body->mode = 0;
    if (body->handle != nullptr) Ctx().anime.SetStop(body->handle, 0);
    ++unit.step;
  }
  body->depth = static_cast<int16_t>(body->depth - 1);
  if (body->handle != nullptr) Draw(unit, position);
  return 0;
}

constexpr EventAnmDesc kArrival{.snap = EventAnmSnap::kObject,
                                .depth_rule = EventAnmDepth::kOffset,
                                .depth = -1,
                                .release_at_end = true};

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap22ObjectKinds> t{};
  auto set = [&](int first, int last, SlgEventAnmHandler h) {
    for (int k = first; k <= last; ++k) t[static_cast<size_t>(k - 80)] = h;
  };
  set(80, 80, &DriftingFigure);
  set(81, 81, &WaveFigure);
  set(82, 82, &SummonFigure);
  set(83, 83, &GateFigure);
  set(84, 89, &EventAnmHandlerOf<kArrival>);
  set(90, 96, &MergeObject);
  set(97, 103, &PartyFigure);
  set(104, 104, &VictoryFigure);
  return t;
}();

}  // namespace

const MapSetup kMap22Setup{.table = kTable.data(), .anm_table = kAnm};
