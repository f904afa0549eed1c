#include "battle_events/maps/map03.h"

#include <array>
#include <cmath>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_commands.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_hits.h"
#include "battle/slg_map.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_stage_table.h"
#include "battle/slg_start.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_steps.h"
#include "battle_events/event_units.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/generic_rows.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "battle_events/runtime/event_script_helpers.h"
#include "battle_events/runtime/event_walks.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

Map03Words& Map03State() { return Battle().Extension<Map03Words>(); }

namespace {

namespace S = EventSeq;

// ---- The map words as the holds read them ----

int32_t& Signal1() { return Map03State().signal1; }
int32_t& Signal2() { return Map03State().signal2; }
int32_t& FanfareWord() { return Map03State().fanfare; }
int32_t& DoneWord() { return Map03State().done; }

constexpr const char* kSeBank = "SEBE03.ALL";
// The party's kinds, hidden through the openings.
constexpr std::array<int32_t, 6> kPartyKinds = {0, 1, 2, 3, 5, 6};
// The two guides who walk through the opening (kind 14, placement numbers 1 and 2, x 256).
constexpr int32_t kGuideKind = 14;
constexpr int32_t kFirstGuide = 256;
constexpr int32_t kSecondGuide = 512;
// The boss: group 2, character 9, kind 23.
constexpr int32_t kBossGroup = 2;
constexpr int32_t kBossCharacter = 9;
constexpr int32_t kBossKind = 23;
// The battle flag word's bit held through the victory's white-out.
constexpr uint16_t kWhiteOutBit = 0x40;

// The player's unit of that character that is on the map (a record being removed is not).
SlgUnit* LiveChara(int32_t character) {
  BattleContext& b = Battle();
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = b.state.units[i];
    if (unit.side == 0 && unit.character == character && unit.step != kSlgDeadStep) return &unit;
  }
  return nullptr;
}

SlgUnit* Boss() {
  SlgUnit* boss = FindUnitByGroupKind(kBossGroup, kBossCharacter);
  return boss != nullptr && boss->step != kSlgDeadStep ? boss : nullptr;
}

int FadeEnded() { return SlgIsFadeEnd() != 0 ? 1 : 0; }
int Ready() { return EventReady(); }

// ---- 3100: the opening in the town ----

void Opening3100Start() {
  SlgFadeIn(64);
  Map03Words& w = Map03State();
  w.signal1 = 0;
  w.signal2 = 0;
  w.guide_walk = RouteWork{};
  for (int32_t kind : kPartyKinds) EventClearKindFlag(kind, kShowFlag);
  EventNopData(kNopDataAddress, 0);
}
void Opening3100Deploy() {
  EventLoadBin("EVS03100.BIN", kEventBinAddress);
  DeployKinds(80, 83);
  DeployKinds(86, 89);
  EventDeployKind(103);
  NopKinds(80, 89);
}
void PeopleFleeing() {
  EventLoadPcm("PEOPLE2.PCM");
  EventSePlay(310);
}
// A guide walks to the cell point of (x, y) with its height.
int GuideWalk(int32_t number, int32_t x, int32_t y) {
  const SlgPoint to = CellToPosHeight(x, y);
  return EventWalkKindNo(&Map03State().guide_walk, kGuideKind, number, to.x, to.y, 0);
}
int GuideWalk1() { return GuideWalk(kFirstGuide, 1098, 1704); }
int GuideWalk2() { return GuideWalk(kSecondGuide, 1244, 1154); }
void SecondCrowd() {
  UndeployKinds(80, 83);
  DeployKinds(84, 85);
}
void LoadPeople1() { EventLoadPcm("PEOPLE1.PCM"); }
void UndeploySecondCrowd() { UndeployKinds(84, 85); }
void ShowBg203() { EventShowBG(203); }
void FreeBgAndNopProps() {
  EventFreeBG();
  NopKinds(86, 89);
  EventLoadSeBank(kSeBank);
}
void FirstBlast() {
  EventLoadSeBank(kSeBank);
  SlgSePlay(228);
  Map03State().signal2 = 1;
}
void PropsFall() {
  SlgSePlay(230);
  Map03State().signal1 = 1;
}
void PropsFallen() {
  SePlay(230, 2);
  Map03State().signal2 = 3;
}
void PropsGone() {
  UndeployKinds(86, 89);
  EventShowBG(203);
}
void FreeBg() { EventFreeBG(); }
// The battle's camera step stays still until the camera tour.
void LockCamera() { Battle().camera.lock = 1; }

constexpr auto k3345 = TalkList({{276, 3345}});
constexpr auto k30000 = TalkList({{278, 30000}});

constexpr S::Op kOpening3100[] = {
    S::Do(&Opening3100Start),
    S::Do(&Opening3100Deploy),
    S::Do(&PeopleFleeing),
    S::Custom(&GuideWalk1),
    S::Wait(60),
    S::Do(&SecondCrowd),
    S::Do(&LoadPeople1),
    S::Scroll(0x3120000, 0x3320000, 0x80000),
    S::EventSe(309),
    S::Custom(&GuideWalk2),
    S::Scroll(0x3120000, 0x1000000, 0x20000),
    S::Do(&UndeploySecondCrowd),
    S::Wait(60),
    S::Do(&ShowBg203),
    S::Messages(k3345),
    S::Do(&FreeBgAndNopProps),
    S::Wait(60),
    S::Do(&FirstBlast),
    S::HoldUntil(&Signal2, 2, {88}),
    S::Do(&PropsFall),
    S::HoldUntil(&Signal1, 0, {86, 87}),
    S::Do(&PropsFallen),
    S::HoldUntil(&Signal2, 4, {88}),
    S::Do(&PropsGone),
    S::Messages(k30000),
    S::Do(&FreeBg),
    S::Do(&LockCamera),
    S::End(),
};
static_assert(S::Valid(kOpening3100));
constexpr SeqArgs kOpening3100Args{kOpening3100};

// ---- 3101: the enemy's arrival ----

void Opening3101Start() {
  EventNopData(kNopDataAddress, 0);
  EventLoadBin("EVS03101.BIN", kEventBinAddress);
  EventLoadSeBank(kSeBank);
  EventStopBgm();
}
void LoadSeBank() { EventLoadSeBank(kSeBank); }
void FirstWave() {
  SlgSePlay(134);
  DeployKinds(90, 95);
}
void SecondWave() { DeployKinds(96, 101); }
void UndeployFirstWave() { UndeployKinds(90, 95); }
void ArrivalMusic() {
  BGMPlayStart(13);
  SlgSePlay(131);
  for (int32_t k = 96; k <= 101; ++k) EventResumeKindAnm(k);
}
void Opening3101End() {
  UndeployKinds(96, 101);
  for (int32_t kind : kPartyKinds) EventSetKindFlag(kind, kShowFlag);
}

constexpr auto k3030 = TalkList({{11, 3030}});
constexpr auto k3031 = TalkList({{110, 3031}});
constexpr auto k3032 = TalkList({{276, 3032}, {278, 3033}, {278, 3034}, {279, 30002}});

constexpr S::Op kOpening3101[] = {
    S::Do(&Opening3101Start),
    S::Messages(k3030),
    S::Do(&LoadSeBank),
    S::Scroll(0x1f00000, 0x5e80000, 0x100000),
    S::Wait(15),
    S::Do(&FirstWave),
    S::Wait(15),
    S::Do(&SecondWave),
    S::Wait(75),
    S::Do(&UndeployFirstWave),
    S::Messages(k3031),
    S::Do(&ArrivalMusic),
    S::Wait(90),
    S::Messages(k3032),
    S::Wait(30),
    S::Do(&Opening3101End),
    S::End(),
};
static_assert(S::Valid(kOpening3101));
constexpr SeqArgs kOpening3101Args{kOpening3101};

// ---- 3097: the camera tour ----

// The camera moves with the battle again, back on the unit whose turn it is.
void UnlockCamera() {
  Battle().camera.lock = 0;
  Slg::ResetCurrentUnit();
}

constexpr auto k30115 = TalkList({{239, 30115}});
constexpr auto k30116 = TalkList({{239, 30116}, {11, 30117}});

constexpr S::Op kTour3097[] = {
    S::Scroll(0x3120000, 0x1000000, 0x100000),
    S::Messages(k30115),
    S::Scroll(0x1f00000, 0x5e80000, 0x100000),
    S::Messages(k30116),
    S::Do(&UnlockCamera),
    S::End(),
};
static_assert(S::Valid(kTour3097));
constexpr SeqArgs kTour3097Args{kTour3097};

// ---- 3098: heroine 6's choice ----

constexpr auto k30100 = TalkList({{138, 30100}});
constexpr auto k3098Late = TalkList({{140, 30112}, {140, 30113}, {137, 30105}});
constexpr auto k3098a1 = TalkList({{139, 30102}});
constexpr auto k3098a2 = TalkList({{139, 30103}, {137, 30104}, {137, 30105}});
constexpr auto k3098b1 = TalkList({{138, 30106}});
constexpr auto k3098b2 = TalkList({{138, 30107}, {138, 30108}});
constexpr auto k3098c = TalkList({{139, 30109}, {139, 30110}, {139, 30111}});

constexpr S::Op kChoice3098[] = {
    S::Custom(&Ready),
    S::Messages(k30100),
    S::Custom(&Ready),
    S::TimedChoice(30101, 300),
    S::Branch({{1, 1}, {2, 2}, {3, 3}}, 4),
    S::Label(1), S::Messages(k3098a1), S::Se(21), S::AddHeroineParam(6, -2),
    S::Messages(k3098a2), S::Goto(9),
    S::Label(2), S::Messages(k3098b1), S::Se(20), S::AddHeroineParam(6, 5),
    S::Messages(k3098b2), S::Goto(9),
    S::Label(3), S::Messages(k3098c), S::Se(21), S::AddHeroineParam(6, -2), S::Goto(9),
    S::Label(4), S::Messages(k3098Late),
    S::Label(9), S::End(),
};
static_assert(S::Valid(kChoice3098));
constexpr SeqArgs kChoice3098Args{kChoice3098};

// ---- 3107: victory ----

// Where each walker stands after the fade and where it walks to (map pixels).
struct Formation {
  int32_t character;
  SlgPoint from;
  SlgPoint to;
};
constexpr std::array<Formation, kMap03Walkers> kFormation = {{
    {0, {766, 720}, {958, 624}},
    {1, {668, 672}, {860, 576}},
    {3, {574, 720}, {814, 600}},
    {6, {622, 744}, {862, 624}},
    {5, {674, 770}, {914, 650}},
    {2, {526, 794}, {814, 650}},
}};
// The heroines brought back when they have fallen.
constexpr std::array<int32_t, 5> kFallenBack = {1, 2, 3, 5, 6};

void VictoryStart() {
  EventLoadCharaExtraAnm(kBossGroup, kBossCharacter);
  Map03Words& w = Map03State();
  w.walks = {};
  w.arrived = 0;
  w.strike = 0;
  w.white = 0;
  Eve::StartFadeOutMusic();
  SlgFadeOut(64);
}
void VictoryLoad() { EventLoadBin("EVS03107.BIN", kEventBinAddress); }

void RemoveSoldiers() {
  BattleContext& b = Battle();
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = b.state.units[i];
    if (unit.kind >= 14 && unit.kind <= 16 && unit.step != kSlgDeadStep) EventRemoveUnit(&unit);
  }
}

// The first usable placement entry of the player's character; -1 when none.
int PartyEntry(int32_t character) {
  const StageTable& stage = *Battle().stage;
  for (int n = 0; n < stage.unit_count(); ++n) {
    const StageUnitEntry e = stage.unit(n);
    if (e.side == 0 && e.character == character && stage.usable(n)) return n;
  }
  return -1;
}

// A fallen heroine's leftover record goes and she is made again from her placement entry, with
// the trust bonus and totals the battle's initialisation gives a player's unit. One whose entry
// is gone or whose creation is refused stays away.
void BringBackFallen() {
  if (Battle().stage == nullptr) return;
  for (int32_t c : kFallenBack) {
    if (CondNP(c) == 0) continue;
    EventRemoveChara(0, c);
    const int entry = PartyEntry(c);
    if (entry < 0) {
      DebugPrint("map 3 victory: character %d has no placement entry: not brought back\n", c);
      continue;
    }
    const uint8_t slot = Slg::CreateUnit(*Battle().stage, entry);
    if (slot == kSlgCreateRefused) {
      DebugPrint("map 3 victory: character %d: entry %d: no unit made\n", c, entry);
      continue;
    }
    SlgUnit& unit = Battle().state.units[slot];
    Slg::PlaceUnit(unit);
    Slg::RecalcUnitStats(unit);
  }
  Slg::ResetCurrentUnit();
}

void PlaceParty() {
  for (const Formation& f : kFormation) {
    SlgUnit* unit = LiveChara(f.character);
    if (unit == nullptr) continue;
    EventPlaceUnitAt(unit, f.from.x, f.from.y, 0);
    Slg::SetUnitDir(*unit, 0);
    SetUnitState(*unit, 0);
  }
  SlgFadeIn(32);
}

// The six walks side by side; each walker is driven until it has finished once (a missing one at
// once). A heroine made again is looked up among the live records: her fallen record stays in
// its slot, dead, until the next round's purge.
int WalkParty() {
  Map03Words& w = Map03State();
  for (size_t n = 0; n < kFormation.size(); ++n) {
    const int32_t bit = 1 << n;
    if ((w.arrived & bit) != 0) continue;
    const Formation& f = kFormation[n];
    if (EventWalkObj(&w.walks[n], LiveChara(f.character), f.to.x, f.to.y, 1) != 0) {
      w.arrived |= bit;
    }
  }
  return w.arrived == (1 << kFormation.size()) - 1 ? 1 : 0;
}

void Fanfare() {
  EventLoadSeBank(kSeBank);
  Map03State().fanfare = 0;
  EventDeployKind(102);
}

// The character the boss strikes: the hero (answer 1) or character 1 (every other answer).
void AimAtHero() { Map03State().struck = 0; }
void AimAtHeroine() { Map03State().struck = 1; }
bool HeroineAimedAt() { return Map03State().struck == 1; }

// The struck character's substitute figure (kind 105 the hero's, 106 character 1's).
void Substitute() {
  Map03Words& w = Map03State();
  w.done = 0;
  EventDeployKind(105 + w.struck);
}

void PrepareStrike() {
  Slg::ClearMoveBackup();
  Map03State().strike = 0;
}

// The boss's scripted strike on the chosen character through the battle's attack frame: it ends
// once the boss is back in state 0 or 8, the target left at life 10. Without the boss or the
// target there is no strike.
int Strike() {
  Map03Words& w = Map03State();
  SlgUnit* boss = Boss();
  SlgUnit* target = LiveChara(w.struck);
  if (w.strike == 0) {
    if (boss == nullptr || target == nullptr) {
      DebugPrint("map 3 victory: no %s for the boss's strike\n", boss == nullptr ? "boss" : "target");
      return 1;
    }
    EventAttackPrepare(boss, target, 0);
    EventAttackStart(boss, target);
    w.strike = 1;
    return 0;
  }
  if (boss != nullptr && boss->state != 0 && boss->state != 8) return 0;
  if (target != nullptr) target->stats.life = 10;
  if (boss != nullptr) {
    EventAttackFinish(boss, target);
  } else {
    // The boss went during its strike: the finish is made here without it.
    Battle().event_words.acting_mode = {};
    Slg::MarkFlaggedUnits();
    if (target != nullptr) target->flags &= ~1u;
  }
  w.strike = 2;
  return 1;
}

// The strike's flash at the struck character (kind 107 the hero's, 108 character 1's).
void Struck() {
  EventDeployKind(107 + Map03State().struck);
  SlgSePlay(135);
}

// The white flash that takes the boss away: white out with the flag word's bit 0x40 held, the
// boss hidden, white in; the swaying prop settles once the screen is clear.
int WhiteFlash() {
  Map03Words& w = Map03State();
  BattleContext& b = Battle();
  switch (w.white) {
    case 0:
      b.flags = static_cast<uint16_t>(b.flags | kWhiteOutBit);
      SlgWhiteOut(32);
      w.white = 1;
      return 0;
    case 1:
      if (SlgIsFadeEnd() == 0) return 0;
      EventClearKindFlag(kBossKind, kShowFlag);
      SlgWhiteIn(128);
      b.flags = static_cast<uint16_t>(b.flags & ~kWhiteOutBit);
      w.white = 2;
      return 0;
    default:
      if (SlgIsFadeEnd() == 0) return 0;
      w.sway = 1;
      return 1;
  }
}

constexpr auto k30008 = TalkList({{11, 30008}, {278, 30009}});
constexpr auto k30010 = TalkList({{33, 30010}, {213, 30011}, {141, 30012}});
constexpr auto k30013 = TalkList({{15, 30013}});
constexpr auto k30014 = TalkList({{278, 30014}});
constexpr auto k30015 = TalkList({{18, 30015}, {279, 30019}});
constexpr auto k30018 = TalkList({{15, 30018}});
constexpr auto k30017 = TalkList({{33, 30017}});
constexpr auto k2027 = TalkList({{36, 2027}});
constexpr auto k30019 = TalkList({{279, 30019}});

// Every answer other than 1 (the second line, a time-out) takes the road of answer 0: the choice
// offers two lines, and an answer without a road would leave the victory unfinished.
constexpr S::Op kVictory3107[] = {
    S::Do(&VictoryStart),
    S::Do(&VictoryLoad),
    S::Scroll(0x33a0000, 0xf20000, 0x200000),
    S::Custom(&FadeEnded),
    S::Do(&RemoveSoldiers),
    S::Do(&BringBackFallen),
    S::Wait(1),
    S::Do(&PlaceParty),
    S::Custom(&FadeEnded),
    S::Custom(&WalkParty),
    S::Messages(k30008),
    S::Do(&Fanfare),
    S::HoldUntil(&FanfareWord, 3, {102}),
    S::Messages(k30010),
    S::Custom(&Ready),
    S::TimedChoice(30020, 120),
    S::Branch({{1, 1}}, 2),
    S::Label(1),
    S::Messages(k30013),
    S::Do(&AimAtHero),
    S::Goto(4),
    S::Label(2),
    S::Messages(k30018),
    S::Messages(k30017),
    S::Do(&AimAtHeroine),
    S::Label(4),
    S::Do(&Substitute),
    S::HoldUntil(&DoneWord, 1, {105, 106}),
    S::FadeOutMusic(),
    S::Messages(k30014),
    S::Do(&PrepareStrike),
    S::Custom(&Strike),
    S::Do(&Struck),
    S::If(&HeroineAimedAt, 5),
    S::Messages(k30015),
    S::SetP(70, 0),
    S::Goto(3),
    S::Label(5),
    S::Messages(k2027),
    S::Messages(k30019),
    S::SetP(70, 1),
    S::Label(3),
    S::Custom(&WhiteFlash),
    S::Wait(120),
    S::StartGameWin(),
    S::End(),
};
static_assert(S::Valid(kVictory3107));
constexpr SeqArgs kVictory3107Args{kVictory3107};

// ---- The talks ----

constexpr auto k30003 = TalkList({{239, 30003}});
constexpr auto k30004 = TalkList({{239, 30004}});
constexpr auto k30005 = TalkList({{239, 30005}});
constexpr auto k30006 = TalkList({{138, 30006}});
constexpr auto k30007 = TalkList({{138, 30007}});
constexpr TalkListArgs k3102Args{k30003};
constexpr TalkListArgs k3103Args{k30004};
constexpr TalkListArgs k3104Args{k30005};
constexpr TalkListArgs k3105Args{k30006};
constexpr TalkListArgs k3106Args{k30007};

// ---- The table ----

// A victory row: the character's crossing of the line near the goal, while that character is on
// the map.
constexpr SlgEventEntry VictoryRow(const char* crossed, const char* present) {
  return {.id = 3107, .timing = 0x4, .b = crossed, .guard = {107, 0}, .c = present,
          .set = {107, 0}, .handler = &SeqRow, .arg = &kVictory3107Args};
}

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 3100, .timing = 0x8000, .guard = {100, 0}, .set = {100, 0}, .handler = &SeqRow,
     .arg = &kOpening3100Args},
    {.id = 3101, .timing = 0x8000, .a = "F(100);", .guard = {101, 0}, .set = {101, 0},
     .handler = &SeqRow, .arg = &kOpening3101Args},
    {.id = 3097, .timing = 0x8000, .a = "F(101);", .guard = {97, 0}, .set = {97, 104},
     .handler = &SeqRow, .arg = &kTour3097Args},
    {.id = 3102, .timing = 0x2, .a = "F(104);", .b = "M(MAD);", .guard = {102, 0},
     .set = {102, 0}, .clear = {104, 0}, .handler = &TalkListRow, .arg = &k3102Args},
    {.id = 3103, .timing = 0x2, .a = "F(102);", .b = "M(MAD);", .guard = {103, 0},
     .set = {103, 0}, .clear = {102, 0}, .handler = &TalkListRow, .arg = &k3103Args},
    {.id = 3104, .timing = 0x2, .a = "F(103);", .b = "M(MAD);", .guard = {104, 0},
     .set = {104, 0}, .clear = {103, 0}, .handler = &TalkListRow, .arg = &k3104Args},
    {.id = 3105, .timing = 0x8, .b = "PP(IBS);", .guard = {105, 0}, .set = {105, 0},
     .handler = &WaitTalkListRow, .arg = &k3105Args},
    {.id = 3106, .timing = 0x4, .b = "KP(IBS)&PFP(IBS);", .guard = {106, 0}, .set = {106, 0},
     .handler = &WaitTalkListRow, .arg = &k3106Args},
    {.id = 3098, .timing = 0x8, .a = "F(105);", .b = "PP(IBS);", .guard = {98, 0},
     .set = {98, 0}, .handler = &SeqRow, .arg = &kChoice3098Args},
    VictoryRow("0>LP(IKD,-1,768,888);", "NP(IKD);"),
    VictoryRow("0>LP(ITV,-1,768,888);", "NP(ITV);"),
    VictoryRow("0>LP(IDV,-1,768,888);", "NP(IDV);"),
    VictoryRow("0>LP(ILN,-1,768,888);", "NP(ILN);"),
    VictoryRow("0>LP(ITZ,-1,768,888);", "NP(ITZ);"),
    VictoryRow("0>LP(IBS,-1,768,888);", "NP(IBS);"),
});

constexpr uint8_t kMembers = kITV | kIDV | kILN | kIBS | kITZ;
// The shared lines, but for the favourite lines of character 4 (face 4).
constexpr GenericTalkSet kTalks = [] {
  GenericTalkSet t = CommonTalks(kMembers);
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
static_assert(kTable.size() == 36 + 1);

// ---- The map's objects ----

void Draw(SlgUnit& unit, const SlgPair& position) {
  SlgSprSetPos(unit.anm->handle, position);
  SlgSprSetPri(unit.anm->handle, unit.anm->depth);
}
void Release(SlgUnit& unit) {
  if (HasScene()) Scene().tamvik_spr.ReleaseAnm(&unit.anm->handle);
}
// Whether the body's animation has ended (a body without an animation has).
bool AnmEnded(const SlgUnit& unit) { return SlgAnmObjIsEnd(unit.anm) != 0; }

constexpr EventAnmDesc kPlayOnce{};
constexpr EventAnmDesc kLoop{.start = EventAnmStart::kLoop};
constexpr EventAnmDesc kPlayOnceCell{.snap = EventAnmSnap::kCell};

// The townspeople's velocity (pixels a frame) by character byte (its low two bits).
constexpr std::array<SlgPoint, 4> kTownsVelocity = {{{-2, -1}, {-2, 1}, {2, -1}, {2, 1}}};

// A townsperson walks in a straight line from where it was deployed: start + velocity x frames.
// walk_state[0] counts its frames, [1] and [2] keep its start.
int Townsperson(SlgUnit& unit, SlgPair& position) {
  if (unit.anm == nullptr) return 0;
  if (unit.state == 0) {
    RunEventAnm(kLoop, unit, position);
    unit.walk_state = {0, unit.x, unit.y, 0, 0};
  }
  const SlgPoint v = kTownsVelocity[unit.character & 3];
  const int32_t frames = ++unit.walk_state[0];
  unit.x = unit.walk_state[1] + v.x * frames * 65536;
  unit.y = unit.walk_state[2] + v.y * frames * 65536;
  EventObjPlace(unit);
  position = EventObjScreenPos(unit);
  Draw(unit, position);
  return 0;
}

// The falling props: wait for signal 1, then fall faster each frame (16.16: + 128 up to 32768)
// until they pass y 750, where the animation is released and signal 1 cleared.
constexpr int32_t kFallGain = 128;
constexpr int32_t kFallTop = 32768;
constexpr int32_t kFallEnd = 750;
int FallingProp(SlgUnit& unit, SlgPair& position) {
  if (unit.anm == nullptr || unit.state >= 3) return 0;
  if (unit.state == 0) {
    RunEventAnm(kLoop, unit, position);
    unit.walk_state[0] = 0;
  }
  Map03Words& w = Map03State();
  if (unit.state == 1 && w.signal1 == 1) SetUnitState(unit, 2);
  if (unit.state == 2) {
    unit.walk_state[0] = std::min(unit.walk_state[0] + kFallGain, kFallTop);
    unit.y += unit.walk_state[0];
    EventObjPlace(unit);
    position = EventObjScreenPos(unit);
    if ((unit.y >> 16) > kFallEnd) {
      Release(unit);
      w.signal1 = 0;
      SetUnitState(unit, 3);
      return 0;
    }
  }
  Draw(unit, position);
  return 0;
}

// The zooming prop: grows while signal 2 is 1 (then 2) and shrinks while it is 3 (then 4), a
// stage of 32 frames each.
constexpr int32_t kZoomFrames = 32;
constexpr int32_t kZoomStep = 2048;
int ZoomingProp(SlgUnit& unit, SlgPair& position) {
  if (unit.anm == nullptr) return 0;
  if (unit.state == 0) {
    RunEventAnm(kLoop, unit, position);
    unit.walk_state[0] = 0;
  }
  Map03Words& w = Map03State();
  if (w.signal2 == 1 || w.signal2 == 3) {
    const int32_t n = ++unit.walk_state[0];
    const int32_t grown = w.signal2 == 1 ? n : kZoomFrames - n;
    const int32_t zoom = 65536 + grown * kZoomStep;
    if (unit.anm->handle != nullptr) SlgSprSetZoom(unit.anm->handle, {zoom, zoom});
    if (n >= kZoomFrames) {
      unit.walk_state[0] = 0;
      ++w.signal2;
    }
  }
  Draw(unit, position);
  return 0;
}

// Pattern 2 played once, then pattern 3 looping (walk_state[0]: 1 once on pattern 3).
int TwoPatterns(SlgUnit& unit, SlgPair& position) {
  if (unit.anm == nullptr) return 0;
  const bool second = unit.walk_state[0] == 1;
  if (unit.state == 0 && !second) SetAnmPattern(unit.anm, 2);
  RunEventAnm(second ? kLoop : kPlayOnce, unit, position);
  if (!second && AnmEnded(unit)) {
    SetAnmPattern(unit.anm, 3);
    unit.walk_state[0] = 1;
    SetUnitState(unit, 0);
  }
  return 0;
}

// The victory's fanfare: snapped to its cell, its animation played (1), then SE 225 and pattern
// 1 once (2), then held (3).
int FanfareObject(SlgUnit& unit, SlgPair& position) {
  Map03Words& w = Map03State();
  if (unit.anm == nullptr) {
    w.fanfare = 3;
    return 0;
  }
  if (w.fanfare == 0) w.fanfare = 1;
  if (w.fanfare == 3) {
    Draw(unit, position);
    return 0;
  }
  RunEventAnm(kPlayOnceCell, unit, position);
  if (!AnmEnded(unit)) return 0;
  if (w.fanfare == 1) {
    SlgSePlay(225);
    SetAnmPattern(unit.anm, 1);
    SetUnitState(unit, 0);
    w.fanfare = 2;
  } else {
    w.fanfare = 3;
  }
  return 0;
}

// The swaying prop: x = start + 8 cos(frame / 16) with SE 226 at its start, drawn at the depth of
// map plane 3; once the sway word is 1 it settles back on its start.
int SwayingProp(SlgUnit& unit, SlgPair& position) {
  if (unit.anm == nullptr) return 0;
  if (unit.state == 0) {
    RunEventAnm(kLoop, unit, position);
    unit.walk_state = {0, unit.x, unit.y, 8 * 65536, 0};
    SlgSePlay(226);
  }
  if (Map03State().sway == 1 && unit.walk_state[3] > 0) {
    unit.walk_state[3] = std::max(unit.walk_state[3] - 4096, 0);
  }
  const int32_t n = ++unit.walk_state[0];
  const double swing = std::cos(n / 16.0) * unit.walk_state[3];
  unit.x = unit.walk_state[1] + static_cast<int32_t>(swing);
  EventObjPlace(unit);
  position = EventObjScreenPos(unit);
  unit.anm->depth = static_cast<int16_t>(SlgMap::GetPlaneDepth(3));
  Draw(unit, position);
  return 0;
}

// Played once, then its kind is undeployed.
int FlashOnce(SlgUnit& unit, SlgPair& position) {
  RunEventAnm(event_anm::kOnce, unit, position);
  if (unit.state == kEventAnmEnded) EventUndeployKind(unit.kind);
  return 0;
}

// The substitute figure of character 0 (kind 105) or 1 (kind 106): takes the unit's place and
// hides it, plays pattern 3 with a flash (kind 104), then moves toward the cell point of
// (1066, 510) with pattern 5; there it shows the unit again, leaves and sets the done word.
// walk_state[0] is its stage.
constexpr int32_t kSubstituteSpeed = 4;
int Substitute(SlgUnit& unit, SlgPair& position) {
  Map03Words& w = Map03State();
  const int32_t character = unit.kind - 105;
  auto finish = [&] {
    EventSetUnitFlag(LiveChara(character), kShowFlag);
    EventUndeployKind(unit.kind);
    w.done = 1;
    unit.walk_state[0] = 3;
  };
  if (unit.walk_state[0] == 3) return 0;
  if (unit.state == 0 && unit.walk_state[0] == 0) {
    SlgUnit* stand_in_for = LiveChara(character);
    if (unit.anm == nullptr || stand_in_for == nullptr) {
      finish();
      return 0;
    }
    unit.x = stand_in_for->x;
    unit.y = stand_in_for->y;
    EventClearUnitFlag(stand_in_for, kShowFlag);
    SetAnmPattern(unit.anm, 3);
    EventDeployKind(104);
    unit.walk_state[0] = 1;
  }
  if (unit.walk_state[0] == 1) {
    RunEventAnm(kPlayOnce, unit, position);
    if (AnmEnded(unit)) {
      SetAnmPattern(unit.anm, 5);
      SetUnitState(unit, 0);
      unit.walk_state[0] = 2;
    }
    return 0;
  }
  RunEventAnm(kLoop, unit, position);
  const SlgPoint to = CellToPosHeight(1066, 510);
  const int32_t px = unit.x >> 16;
  const int32_t py = unit.y >> 16;
  auto approach = [](int32_t from, int32_t target) {
    if (from < target) return std::min(from + kSubstituteSpeed, target);
    return std::max(from - kSubstituteSpeed, target);
  };
  unit.x = approach(px, to.x) * 65536;
  unit.y = approach(py, to.y) * 65536;
  EventObjPlace(unit);
  if (unit.x >> 16 == to.x && unit.y >> 16 == to.y) finish();
  return 0;
}

// The strike's flash (kind 107 at the hero, 108 at character 1): played once, its kind
// undeployed, then a still picture of its pattern 0 (a fixed sprite) at the struck unit, held
// while the scene's last lines are read.
int StrikePicture(SlgUnit& unit, SlgPair& position) {
  RunEventAnm(event_anm::kOnce, unit, position);
  if (unit.state != kEventAnmEnded || unit.walk_state[0] != 0) return 0;
  unit.walk_state[0] = 1;
  EventUndeployKind(unit.kind);
  if (const SlgUnit* at = LiveChara(unit.kind - 107); at != nullptr) {
    FixTaskAddOne(0, unit.kind, at->x, at->y);
  }
  return 0;
}

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap03ObjectKinds> t{};
  for (int k = 80; k <= 85; ++k) t[static_cast<size_t>(k - 80)] = &Townsperson;
  t[86 - 80] = &FallingProp;
  t[87 - 80] = &FallingProp;
  t[88 - 80] = &ZoomingProp;
  t[89 - 80] = &TwoPatterns;
  for (int k = 90; k <= 95; ++k) t[static_cast<size_t>(k - 80)] = EventAnmOnceSnapFore;
  for (int k = 96; k <= 101; ++k) t[static_cast<size_t>(k - 80)] = EventAnmHoldSnapHeldShadow;
  t[102 - 80] = &FanfareObject;
  t[103 - 80] = &SwayingProp;
  t[104 - 80] = &FlashOnce;
  t[105 - 80] = &Substitute;
  t[106 - 80] = &Substitute;
  t[107 - 80] = &StrikePicture;
  t[108 - 80] = &StrikePicture;
  return t;
}();

}  // namespace

const MapSetup kMap03Setup{.bgm = MapBgm::Play(6), .table = kTable.data(), .anm_table = kAnm};
