#include "battle_events/maps/map16.h"

#include <array>
#include <cstdio>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_attack.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_sound.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/core/route_search.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_steps.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/generic_rows.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/maps/kit/standard_talks.h"
#include "battle_events/runtime/event_tone.h"
#include "battle_events/runtime/generic_scenes.h"
#include "engine/core/debug_trace.h"

Map16Words& Map16State() { return Battle().Extension<Map16Words>(); }

namespace {

namespace S = EventSeq;

constexpr int32_t kKoumaFirst = 17;
constexpr int32_t kKoumaLast = 19;
constexpr int32_t kBossKind = 29;
constexpr uint16_t kShadeTone = 24576;
constexpr uint16_t kShadeNormal = 8192;
constexpr uint16_t kShadowBit = 0x40;
constexpr int kPurgeLimit = 100;
// The fixed sprites of the bursts: the emitter and its particles.
constexpr uint32_t kBurstId = 13;
constexpr uint32_t kBurstAnm = 82;

Map16UnitKey KeyOf(const SlgUnit& unit) {
  return {unit.slot, unit.kind, unit.side, unit.entry};
}

// The unit a key names, while its slot still holds that unit and it lives; else null.
SlgUnit* UnitOfKey(const Map16UnitKey& key) {
  if (key.slot < 0 || !SlgSlotInUse(static_cast<uint32_t>(key.slot))) return nullptr;
  SlgUnit& unit = Battle().state.units[static_cast<size_t>(key.slot)];
  if (unit.kind != key.kind || unit.side != key.side || unit.entry != key.entry ||
      !SlgUnitLive(unit)) {
    return nullptr;
  }
  return &unit;
}

// ---- The map task: the gates ----

void CheckKouma(SlgEffectTask* /*task*/) {
  BattleContext& b = Battle();
  for (const SlgPoint& gate : kMap16Gates) {
    const SlgPoint snap = SnapPosToCell(gate.x, gate.y);
    const SlgCell cell = PosToCell(snap.x, snap.y);
    for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
      SlgUnit& unit = b.state.units[i];
      if (unit.category != 1 || !SlgUnitLive(unit)) continue;
      if (unit.state != 0 && unit.state != 8) continue;
      const SlgCell at = PosToCell(unit.x >> 16, unit.y >> 16);
      if (at.column != cell.column || at.row != cell.row) continue;
      SetEventFlag(kMap16GateFlag);
      if (unit.kind >= kKoumaFirst && unit.kind <= kKoumaLast) {
        SetEventFlag(static_cast<uint32_t>(kMap16KoumaFlag + unit.kind - kKoumaFirst));
        Map16State().gate = KeyOf(unit);
        break;
      }
    }
  }
}

// ---- The bursts ----

Map16Burst* BurstOf(FixTaskWork& work) {
  const uint32_t n = work.step_words[0];
  if (n >= static_cast<uint32_t>(kMap16Bursts)) return nullptr;
  return &Map16State().bursts[n];
}

// A particle: placed and played once on its first frame, then follows the camera; it removes
// itself when its animation has ended (at once when it has nothing to play).
void BurstParticle(SlgEffectTask* task) {
  FixTaskWork* work = FixTaskWorkOf(task);
  if (work == nullptr) return;
  SlgAnmObj* obj = work->obj;
  const bool playing = work->step_words[1] != 0;
  if (!playing) {
    work->step_words[1] = 1;
    if (obj != nullptr && work->anm != nullptr) {
      obj->mode = kSlgAnmOnce;
      SlgPlayAnm(work->anm, obj->pattern, obj, 4);
    }
  }
  const bool ended = obj == nullptr || work->anm == nullptr || obj->handle == nullptr ||
                     (playing && SlgAnmObjIsEnd(obj) != 0);
  if (ended) {
    if (Map16Burst* burst = BurstOf(*work); burst != nullptr && burst->live > 0) --burst->live;
    FixTaskRemove(task);
    return;
  }
  const SlgBattleState& s = Battle().state;
  SlgSprSetPos(obj->handle, {work->x - (s.scroll_x + s.scroll_offset_x + 320) * 65536,
                             work->y - (s.scroll_y + s.scroll_offset_y + 240) * 65536});
}

// The emitter: while its duration lasts it keeps up to the burst's count of particles alive, each
// at a random offset within the spread; then it removes itself.
void BurstEmitter(SlgEffectTask* task) {
  FixTaskWork* work = FixTaskWorkOf(task);
  if (work == nullptr) return;
  Map16Burst* burst = BurstOf(*work);
  if (burst == nullptr || burst->duration <= 0) {
    if (burst != nullptr) burst->emitter = 0;
    FixTaskRemove(task);
    return;
  }
  --burst->duration;
  const int32_t width = burst->spread * 2 + 1;
  while (burst->live < burst->count) {
    const int32_t dx = SlgRand() % width - burst->spread;
    const int32_t dy = SlgRand() % width - burst->spread;
    SlgEffectTask* particle = FixTaskAdd(kBurstId, kBurstAnm, &BurstParticle,
                                         (burst->x + dx) * 65536, (burst->y + dy) * 65536);
    FixTaskWork* p = FixTaskWorkOf(particle);
    if (p == nullptr) break;  // the list is full: fewer particles this frame
    p->step_words[0] = work->step_words[0];
    ++burst->live;
  }
}

// ---- The scenes' small steps ----

void Bgm(int32_t n) { BGMPlayStart(n); }
void SetShadowBit() { Battle().flags = static_cast<uint16_t>(Battle().flags | kShadowBit); }
void ClearShadowBit() { Battle().flags = static_cast<uint16_t>(Battle().flags & ~kShadowBit); }
void LoadSe() { EventLoadSeBank("SEBE09.ALL"); }
void ClearKoumaFlags() {
  for (int f = 0; f < 3; ++f) ClearEventFlag(static_cast<uint32_t>(kMap16KoumaFlag + f));
}

// The gate unit taken off the map, when its slot still holds it.
void RemoveGateUnit() {
  Map16Words& w = Map16State();
  if (SlgUnit* unit = UnitOfKey(w.gate); unit != nullptr) {
    EventRemoveUnit(unit);
  } else if (w.gate.slot >= 0) {
    DebugPrint("map 16: the gate unit (slot %d) is no longer on the map: not removed\n",
               w.gate.slot);
  }
  w.gate = {};
}

// The gate face F by the kind flag: 0 for 401, 1 for 402, 2 for 403 (401 when none is set).
int32_t GateKindIndex() {
  for (int f = 0; f < 3; ++f) {
    if (CheckEventFlag(static_cast<uint32_t>(kMap16KoumaFlag + f)) != 0) return f;
  }
  return 0;
}
constexpr std::array<uint16_t, 3> kGateFace = {339, 506, 507};

// ---- 16110: the fade-in and the allowance ----

void Allowance() {
  const uint16_t p = SlgGetMacroP(82);
  SetEventFlag(p == 1 ? 191 : p == 2 ? 192 : 193);
}

constexpr S::Op kStart[] = {
    S::Wait(10),
    S::FadeIn(),
    S::Do(&Allowance),
    S::End(),
};
static_assert(S::Valid(kStart));
constexpr SeqArgs kStartArgs{kStart};

// ---- 16120: the opening ----

void OpeningBursts() {
  StartMap16Burst(60, 1, 1, 408, 440);
  StartMap16Burst(60, 1, 1, 560, 440);
  SlgSePlay(135);
}
void StandingGone() {
  Map16Words& w = Map16State();
  for (SlgEffectTask*& task : w.standing) {
    if (task != nullptr) FixTaskRemove(task);
    task = nullptr;
  }
}
bool NoBurst() { return !Map16BurstActive(); }

constexpr auto kOpening1 = TalkList({{141, 10000}, {213, 10001}, {78, 10002}, {13, 10003}});
constexpr auto kOpening2 = TalkList({{300, 20000}});
constexpr auto kOpening3 = TalkList({{11, 10004}, {11, 10005}});
constexpr auto kOpening4 = TalkList({{297, 10006}});

constexpr S::Op kOpening[] = {
    S::Messages(kOpening1),
    S::ScrollPx(1368, 96, 8),
    S::Messages(kOpening2),
    S::ScrollPx(648, 648, 8),
    S::Do(&OpeningBursts),
    S::Wait(30),
    S::Do(&StandingGone),
    S::HoldUntil(&NoBurst, {}),
    S::Messages(kOpening3),
    S::ScrollPx(1368, 96, 8),
    S::Messages(kOpening4),
    S::FocusActing(),
    S::End(),
};
static_assert(S::Valid(kOpening));
constexpr SeqArgs kOpeningArgs{kOpening};

// ---- 520-525: the KP talks that note their talker ----

void TalkerRefRow(const SlgEventEntry& row) {
  if (EventStep() == 0) Map16State().talker = GetEventUnitChara();
  RefTalkRow(row);
}

// ---- 16140-16170: the talker's lines ----

// Line n (0-3) by T = 1-6 (index T - 1) and for any other T (index 6).
constexpr std::array<uint16_t, 7> kLineFace = {29, 74, 110, 155, 209, 137, 11};
constexpr uint16_t kLineFirst = 10007;

void PickLine(int32_t n) { Map16State().line = n; }
int TalkerLine() {
  const Map16Words& w = Map16State();
  const int32_t t = w.talker;
  const int32_t column = t >= 1 && t <= 6 ? t - 1 : 6;
  return EventMessage(kLineFace[static_cast<size_t>(column)],
                      kLineFirst + w.line * 7 + column);
}

constexpr std::array<S::Op, 3> LineProgram(int32_t n) {
  return {S::Do(&PickLine, n), S::Custom(&TalkerLine), S::End()};
}
constexpr std::array<std::array<S::Op, 3>, 4> kLines = {LineProgram(0), LineProgram(1),
                                                        LineProgram(2), LineProgram(3)};
static_assert(S::Valid(kLines[0]) && S::Valid(kLines[3]));
constexpr std::array<SeqArgs, 4> kLineArgs = {SeqArgs{kLines[0]}, SeqArgs{kLines[1]},
                                              SeqArgs{kLines[2]}, SeqArgs{kLines[3]}};

// ---- 16180: the boss teleport ----

// Every boss in the tone's shade; the last one kept.
void ShadeBosses() {
  Map16Words& w = Map16State();
  w.boss = {};
  BattleContext& b = Battle();
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = b.state.units[i];
    if (unit.kind != kBossKind || !SlgUnitLive(unit)) continue;
    if (unit.anm != nullptr) unit.anm->shade = kShadeTone;
    w.boss = KeyOf(unit);
  }
  if (w.boss.slot < 0) DebugPrint("map 16 teleport: no unit of kind %d: only the tone runs\n", kBossKind);
}
bool NoBoss() { return UnitOfKey(Map16State().boss) == nullptr; }

void FindLanding() {
  Map16Words& w = Map16State();
  SlgPoint out{};
  FindFreeCellNear(out, kMap16Landing.x, kMap16Landing.y);
  w.landing = out;
}
int ScrollToLanding() {
  const SlgPoint p = Map16State().landing;
  return EventScroll((p.x - 320) * 65536, (p.y - 240) * 65536, 8 * 65536);
}
void MoveBoss() {
  Map16Words& w = Map16State();
  SlgUnit* unit = UnitOfKey(w.boss);
  if (unit == nullptr) {
    DebugPrint("map 16 teleport: the kept boss is no longer on the map: not moved\n");
    return;
  }
  ClearUnitCell(*unit);
  Slg::SetUnitDir(*unit, 2);
  SetUnitState(*unit, 0);
  const SlgPoint at = CellToPosHeight(w.landing.x, w.landing.y);
  unit->x = at.x * 65536;
  unit->y = at.y * 65536;
  EventObjPlace(*unit);
  SetUnitCell(*unit);
  if (unit->anm != nullptr) unit->anm->shade = kShadeTone;
}
void ShadeNormal() {
  if (SlgUnit* unit = UnitOfKey(Map16State().boss); unit != nullptr && unit->anm != nullptr) {
    unit->anm->shade = kShadeNormal;
  }
}

constexpr auto kTeleportTalk = TalkList({{298, 3171}});

constexpr S::Op kTeleport[] = {
    S::Do(&Bgm, 17),
    S::ScrollPx(1368, 96, 8),
    S::Wait(60),
    S::Messages(kTeleportTalk),
    S::Do(&ShadeBosses),
    S::ToneChange(0, 31, 2),
    S::If(&NoBoss, 1),
    S::Do(&SetShadowBit),
    S::Do(&FindLanding),
    S::Custom(&ScrollToLanding),
    S::Do(&MoveBoss),
    S::Do(&ClearShadowBit),
    S::Label(1),
    S::ToneChange(31, 0, 2),
    S::Do(&ShadeNormal),
    S::End(),
};
static_assert(S::Valid(kTeleport));
constexpr SeqArgs kTeleportArgs{kTeleport};

// ---- 16200, 16210, 16211: an allowed pass ----

struct PassScene {
  std::span<const EventMessageRef> first;  // entry 0's face is F
  uint16_t sound;
  uint16_t second;  // F's message of the second list
  int32_t picture;  // for flag 401; 402 and 403 the next two
  std::span<const EventMessageRef> closing;
};

constexpr auto kPass0First = TalkList({{0, 10035}, {237, 10036}, {114, 10037}, {11, 10038}});
constexpr auto kPass0Closing =
    TalkList({{235, 10042}, {110, 10043}, {14, 10044}, {233, 10045}, {233, 10046}, {137, 10047},
              {14, 10048}, {74, 20010}, {157, 20015}, {209, 10049}});
constexpr auto kPass1First = TalkList({{0, 10054}, {237, 10055}, {114, 10056}, {11, 10057}});
constexpr auto kPass1Closing = TalkList({{11, 10059}, {110, 10060}, {74, 10061}, {11, 10062},
                                         {11, 10063}, {209, 10064}, {233, 10065}});
constexpr auto kPass2First = TalkList({{0, 10066}, {237, 10067}});
constexpr auto kPass2Closing = TalkList({{11, 10069}, {209, 10070}, {233, 10071}});

constexpr std::array<PassScene, 3> kPasses = {{
    {kPass0First, 278, 10039, 244, kPass0Closing},
    {kPass1First, 33, 10058, 247, kPass1Closing},
    {kPass2First, 33, 10068, 247, kPass2Closing},
}};

constexpr auto kDefeatList = TalkList({{0, 10050}, {237, 10051}, {237, 10052}, {18, 10053}});

// The scene's lists copied with F in their first entry.
void BuildLists(std::span<const EventMessageRef> first, uint16_t second) {
  Map16Words& w = Map16State();
  w.first.fill(kEventMessageListEndRef);
  for (size_t i = 0; i < first.size() && i < w.first.size(); ++i) w.first[i] = first[i];
  w.first[0].face = static_cast<uint16_t>(w.face);
  w.second = {EventMessageRef{static_cast<uint16_t>(w.face), second}, kEventMessageListEndRef};
}

void BeginPass(int32_t n) {
  Map16Words& w = Map16State();
  w.scene = n;
  const PassScene& p = kPasses[static_cast<size_t>(n)];
  const int32_t k = GateKindIndex();
  w.face = kGateFace[static_cast<size_t>(k)];
  RemoveGateUnit();
  BuildLists(p.first, p.second);
  char file[16];
  std::snprintf(file, sizeof file, "BBG%03d.BIN", p.picture + k);
  LoadSe();
  EventLoadBin(file, kEventBinAddress);
  SlgSePlay(286);
}
int FirstList() { return EventMessageList(Map16State().first); }
int SecondList() { return EventMessageList(Map16State().second); }
void PassPicture() {
  const Map16Words& w = Map16State();
  const PassScene& p = kPasses[static_cast<size_t>(w.scene)];
  EventShowBG(p.picture + GateKindIndex());
  SlgSePlay(p.sound);
}
void FreeBg() { EventFreeBG(); }
int ClosingList() { return EventMessageList(kPasses[static_cast<size_t>(Map16State().scene)].closing); }

constexpr std::array<S::Op, 9> PassProgram(int32_t n) {
  return {
      S::Do(&BeginPass, n),
      S::Custom(&FirstList),
      S::Do(&PassPicture),
      S::Custom(&SecondList),
      S::Do(&FreeBg),
      S::Wait(60),
      S::Custom(&ClosingList),
      S::Do(&ClearKoumaFlags),
      S::End(),
  };
}
constexpr std::array<std::array<S::Op, 9>, 3> kPassPrograms = {PassProgram(0), PassProgram(1),
                                                               PassProgram(2)};
static_assert(S::Valid(kPassPrograms[0]) && S::Valid(kPassPrograms[2]));
constexpr std::array<SeqArgs, 3> kPassArgs = {
    SeqArgs{kPassPrograms[0]}, SeqArgs{kPassPrograms[1]}, SeqArgs{kPassPrograms[2]}};

// ---- 16201, 16212, 16220: the defeat ----

void BeginDefeat() {
  Map16Words& w = Map16State();
  w.face = kGateFace[static_cast<size_t>(GateKindIndex())];
  RemoveGateUnit();
  BuildLists(kDefeatList, 0);
  LoadSe();
  SlgSePlay(286);
}
void DefeatBurst() {
  StartMap16Burst(300, 416, 16, 512, 256);
  SlgSePlay(135);
}

bool SideOneRemains() {
  BattleContext& b = Battle();
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    if (b.state.units[i].side == 1) return true;
  }
  return false;
}

// Every unit hidden, the kouma family gone and the records purged.
void ClearField() {
  BattleContext& b = Battle();
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = b.state.units[i];
    unit.flags &= ~kShowFlag;
    Slg::HideUnit(unit);
  }
  b.flags = static_cast<uint16_t>((b.flags & ~0x02) | 0x20);
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = b.state.units[i];
    if (unit.kind >= kKoumaFirst && unit.kind <= kKoumaLast) unit.step = kSlgDeadStep;
  }
  for (int n = 0; n < kPurgeLimit && SideOneRemains(); ++n) Slg::PurgeDeadUnits();
}
void DefeatFlags() {
  BattleContext& b = Battle();
  b.flags = static_cast<uint16_t>((b.flags & ~0x08) | 0xA0);
}

constexpr S::Op kDefeat[] = {
    S::Do(&BeginDefeat),
    S::Custom(&FirstList),
    S::Do(&DefeatBurst),
    S::Wait(180),
    S::Do(&SetShadowBit),
    S::WhiteOut(),
    S::HoldUntil(&NoBurst, {}),
    S::Do(&ClearField),
    S::Do(&DefeatFlags),
    S::WhiteIn(),
    S::Do(&ClearKoumaFlags),
    S::RequestGameOver(),
    S::End(),
};
static_assert(S::Valid(kDefeat));
constexpr SeqArgs kDefeatArgs{kDefeat};

// ---- 16225 and 16410: the boss's stats ----

void BossStats(int32_t a, int32_t b, int32_t c) {
  SlgUnit* boss = FindUnitByGroupKind(2, 18);
  if (boss == nullptr) {
    DebugPrint("map 16: the boss (group 2, character 18) is not on the map: stats unchanged\n");
    return;
  }
  boss->stats.attack = static_cast<decltype(boss->stats.attack)>(a);
  boss->stats.defence = static_cast<decltype(boss->stats.defence)>(b);
  boss->stats.move = static_cast<decltype(boss->stats.move)>(c);
  CalcStatTotals(boss->stats);
}
void StrongBoss() { BossStats(16, 13, 5); }
void WeakBoss() {
  BossStats(11, 9, 4);
  SetEventFlag(904);
}

constexpr auto kThirty = TalkList({{298, 20020}});
constexpr S::Op kBossThirty[] = {
    S::Messages(kThirty),
    S::Do(&StrongBoss),
    S::End(),
};
static_assert(S::Valid(kBossThirty));
constexpr SeqArgs kBossThirtyArgs{kBossThirty};

constexpr auto kChoiceAsk = TalkList({{300, 60000}});
constexpr auto kChoice1a = TalkList({{18, 60020}, {300, 60030}});
constexpr auto kChoice1b = TalkList({{237, 60040}});
constexpr auto kChoice2a = TalkList({{12, 60050}, {298, 60060}});
constexpr auto kChoice2b = TalkList({{233, 60070}});
constexpr auto kChoice0a = TalkList({{300, 60080}});
constexpr auto kChoice0b = TalkList({{237, 60090}});

constexpr S::Op kChoice[] = {
    S::Messages(kChoiceAsk),
    S::TimedChoice(60010, 120),
    S::Branch({{1, 1}, {2, 2}}, 3),
    S::Label(1),
    S::Messages(kChoice1a),
    S::Se(30),
    S::Do(&StrongBoss),
    S::Messages(kChoice1b),
    S::Goto(5),
    S::Label(2),
    S::Messages(kChoice2a),
    S::Do(&WeakBoss),
    S::Messages(kChoice2b),
    S::Goto(5),
    S::Label(3),
    S::Messages(kChoice0a),
    S::Se(30),
    S::Do(&StrongBoss),
    S::Messages(kChoice0b),
    S::Label(5),
    S::End(),
};
static_assert(S::Valid(kChoice));
constexpr SeqArgs kChoiceArgs{kChoice};

// ---- 16230: the victory ----

void VictoryPrepare() {
  LoadSe();
  Map16Words& w = Map16State();
  const SlgUnit* hero = FindUnitByGroupKind(0, 0);
  w.hero_found = hero != nullptr ? 1 : 0;
  if (hero != nullptr) {
    w.hero = {hero->x >> 16, hero->y >> 16};
  } else {
    DebugPrint("map 16 victory: the hero is not on the map: no scroll\n");
  }
  EventLoadBin("BBG108.BIN", kEventBinAddress);
}
int PlaneFade() { return EventPlaneFadeOut(120); }
bool NoHero() { return Map16State().hero_found == 0; }
int ScrollToHero() {
  const SlgPoint p = Map16State().hero;
  return EventScroll((p.x - 320) * 65536, (p.y - 320) * 65536, 8 * 65536);
}
int SlideIn() { return EventBgSlideIn(108); }

constexpr auto kVictoryTalk = TalkList({{11, 10080}, {12, 10081}, {30, 186}});
constexpr auto kVictoryLast = TalkList({{361, 672}});

constexpr S::Op kVictory[] = {
    S::HoldUntil("F(198);", {}),
    S::Do(&VictoryPrepare),
    S::Wait(120),
    S::Custom(&PlaneFade),
    S::Do(&Bgm, 18),
    S::If(&NoHero, 1),
    S::Custom(&ScrollToHero),
    S::Label(1),
    S::Wait(1),
    S::Messages(kVictoryTalk),
    S::Custom(&SlideIn),
    S::Messages(kVictoryLast),
    S::SetFlag(kMap16VictoryGuard),
    S::StartGameWin(),
    S::End(),
};
static_assert(S::Valid(kVictory));
constexpr SeqArgs kVictoryArgs{kVictory};

// ---- The table ----

constexpr auto kMad0 = TalkList({{233, 10082}});
constexpr auto kMad1 = TalkList({{233, 10083}});
constexpr auto kMad2 = TalkList({{233, 10084}});
constexpr TalkListArgs kMad0Args{kMad0};
constexpr TalkListArgs kMad1Args{kMad1};
constexpr TalkListArgs kMad2Args{kMad2};

constexpr SlgEventEntry PassRow(uint16_t id, const char* b, int16_t flag, int n) {
  return {.id = id, .timing = 0x4, .a = "F(400);", .b = b, .guard = {flag, 0},
          .set = {flag, 0}, .clear = {kMap16GateFlag, 0}, .handler = &SeqRow,
          .arg = &kPassArgs[static_cast<size_t>(n)]};
}
// The defeat rows share one guard, set when the scene starts, so the defeat plays once.
constexpr SlgEventEntry DefeatRow(uint16_t id, const char* b, bool clears) {
  return {.id = id, .timing = 0x4, .a = "F(400);", .b = b, .guard = {kMap16DefeatGuard, 0},
          .set = {kMap16DefeatGuard, 0},
          .clear = {static_cast<int16_t>(clears ? kMap16GateFlag : 0), 0}, .handler = &SeqRow,
          .arg = &kDefeatArgs};
}
constexpr SlgEventEntry LineRow(uint16_t id, const char* b, int16_t flag, int n) {
  return {.id = id, .timing = 0x8000, .a = "F(131);", .b = b, .guard = {flag, 0},
          .set = {flag, 0}, .clear = {131, 0}, .handler = &SeqRow,
          .arg = &kLineArgs[static_cast<size_t>(n)]};
}

constexpr GenericTalkSet kTalks = StandardTalkPairs();

// Row 16220 is the defeat with any other allowance: "F(193);" with its ";" (a condition without
// it holds whatever the flag).
constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 16110, .timing = 0x8000, .guard = {110, 0}, .set = {110, 0}, .handler = &SeqRow,
     .arg = &kStartArgs},
    {.id = 16120, .timing = 0x8000, .a = "F(110);", .guard = {120, 0}, .set = {120, 0},
     .handler = &SeqRow, .arg = &kOpeningArgs},
    {.id = 16410, .timing = 0x8000, .a = "F(903);", .guard = {410, 0}, .set = {410, 0},
     .handler = &SeqRow, .arg = &kChoiceArgs},
    LineRow(16140, kNoEventCondition, 132, 0),
    LineRow(16150, "F(132);", 133, 1),
    LineRow(16160, "F(133);", 134, 2),
    LineRow(16170, "F(134);", 170, 3),
    {.id = 16180, .timing = 0x8000, .a = "F(170);", .guard = {180, 0}, .set = {180, 0},
     .handler = &SeqRow, .arg = &kTeleportArgs},
    PassRow(16200, "F(191);", 200, 0),
    DefeatRow(16201, "F(191)&F(200);", false),
    PassRow(16210, "F(192);", 210, 1),
    PassRow(16211, "F(192)&F(210);", 211, 2),
    DefeatRow(16212, "F(192)&F(210)&F(211);", true),
    DefeatRow(16220, "F(193);", false),
    {.id = 16225, .timing = 0x8000, .a = "F(180);", .b = "HGU(GBO,UHF,30);", .guard = {225, 0},
     .set = {225, 0}, .handler = &SeqRow, .arg = &kBossThirtyArgs},
    // Guarded by its own flag, set at its end, so it does not start again while the win fades.
    {.id = 16230, .timing = 0x8000, .a = "HGU(GBO,UHF,0);", .guard = {kMap16VictoryGuard, 0},
     .handler = &SeqRow, .arg = &kVictoryArgs},
    {.id = 16240, .timing = 0x2, .a = "M(MAD);", .guard = {240, 180}, .set = {240, 0},
     .clear = {241, 0}, .handler = &TalkListRow, .arg = &kMad0Args},
    {.id = 16241, .timing = 0x2, .a = "M(MAD);", .guard = {241, 180}, .set = {241, 0},
     .clear = {240, 0}, .handler = &TalkListRow, .arg = &kMad1Args},
    {.id = 16242, .timing = 0x2, .a = "M(MAD);", .b = "F(180);", .handler = &TalkListRow,
     .arg = &kMad2Args},
});

// The KP talks hold back while flag 131 is set, and note their talker.
constexpr auto kTalkerRows = [] {
  std::array<SlgEventEntry, kGenericSlots> rows{};
  constexpr std::array<const char*, kGenericSlots> kKp = {
      "KP(ITV);", "KP(IDV);", "KP(ILN);", "KP(IYS);", "KP(IBS);", "KP(ITZ);"};
  for (size_t s = 0; s < rows.size(); ++s) {
    rows[s] = {.id = static_cast<uint16_t>(520 + s), .timing = 0x4, .b = kKp[s],
               .guard = {131, 0}, .handler = &TalkerRefRow, .arg = &kTalks.ref_talks[s]};
  }
  return rows;
}();

constexpr uint8_t kAll = kITV | kIDV | kILN | kIYS | kIBS | kITZ;
constexpr GenericDesc kGeneric{.talks = &kTalks,
                               .falls = {.base = 500, .members = kAll},
                               .ref_talks2 = {.base = 530, .members = kAll},
                               .char_talks = {.base = 600, .members = kAll},
                               .favourite_chance = 10,
                               .favourite_c = "NP(IMR());"};

constexpr auto kTable = JoinRows(kStoryRows, kTalkerRows, GenericRows<kGeneric>());

// ---- The map's sprites ----

// The burst records emptied and the two standing figures added.
void Map16Sprites() {
  Map16Words& w = Map16State();
  w.bursts = {};
  w.burst_count = 0;
  w.standing[0] = FixTaskAddOne(9, 80, 879 * 65536, 835 * 65536);
  w.standing[1] = FixTaskAddOne(10, 81, 1167 * 65536, 835 * 65536);
}

constexpr MapTaskSpec kTasks[] = {
    MapTask<&CheckKouma>("Slg::Map16:CheckKouma", MapTaskOrder::kBeforeDeferred)};

}  // namespace

void StartMap16Burst(int32_t duration, int32_t spread, int32_t count, int32_t x, int32_t y) {
  Map16Words& w = Map16State();
  for (size_t n = 0; n < w.bursts.size(); ++n) {
    Map16Burst& burst = w.bursts[n];
    if (burst.emitter != 0 || burst.live != 0) continue;
    burst = {duration, spread < 0 ? 0 : spread, count, x, y, 0, 1};
    SlgEffectTask* task = FixTaskAdd(kBurstId, kBurstAnm, &BurstEmitter, x * 65536, y * 65536);
    FixTaskWork* work = FixTaskWorkOf(task);
    if (work == nullptr) {
      DebugPrint("map 16: the burst at (%d, %d) has no emitter: none\n", x, y);
      burst = {};
      return;
    }
    work->step_words[0] = static_cast<uint32_t>(n);
    ++w.burst_count;
    return;
  }
  DebugPrint("map 16: every burst record is in use: the burst at (%d, %d) is dropped\n", x, y);
}

bool Map16BurstActive() {
  for (const Map16Burst& burst : Map16State().bursts) {
    if (burst.emitter != 0 || burst.live != 0) return true;
  }
  return false;
}

const MapSetup kMap16Setup{.bgm = MapBgm::Play(14),
                           .table = kTable.data(),
                           .deferred = &Map16Sprites,
                           .tasks = kTasks};
