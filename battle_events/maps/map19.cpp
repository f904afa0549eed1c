#include "battle_events/maps/map19.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_commands.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_hits.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_messages.h"
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
#include "battle_events/runtime/event_script_helpers.h"
#include "battle_events/runtime/event_tone.h"
#include "engine/core/debug_trace.h"

Map19Words& Map19State() { return Battle().Extension<Map19Words>(); }

int32_t Map19Partner() { return EventPartnerChara(); }

namespace {

namespace S = EventSeq;

constexpr int32_t kPx = 65536;
constexpr const char* kSeBank = "SEBE09.ALL";
// The first boss (UAK) and the boss that strikes the hero (group 2, character 16).
constexpr int32_t kFirstBossKind = 31;
constexpr int32_t kStrikerGroup = 2;
constexpr int32_t kStrikerChara = 16;
// The battle flag word's white-out bit.
constexpr uint16_t kWhiteOutBit = 0x40;
// A strike whose attacker never comes back to rest ends after this many frames (traced).
constexpr int32_t kStrikeLimit = 1200;
constexpr uint8_t kStateAttackLeadIn = 5;
constexpr uint8_t kStateHit = 9;

// The down flag of each heroine's fall row (500-505 in the table's slot order, so heroines 5 and
// 6 have each other's row numbers).
constexpr std::array<uint32_t, 7> kDownFlag = {0, 500, 501, 502, 503, 505, 504};

SlgUnit* Live(SlgUnit* unit) {
  return unit != nullptr && unit->step != kSlgDeadStep ? unit : nullptr;
}
SlgUnit* Hero() { return Live(FindUnitByGroupKind(0, 0)); }
SlgUnit* Striker() { return Live(FindUnitByGroupKind(kStrikerGroup, kStrikerChara)); }
int32_t Partner() { return std::clamp(Map19State().partner, 1, 6); }

void ReadPartner() { Map19State().partner = Map19Partner(); }

// ---- Map operations ----

// Puts the unit (g, c) on the cell of pixel (x, y) with its height, facing d, standing.
void Place(int32_t group, int32_t character, int32_t x, int32_t y, uint32_t dir) {
  SlgUnit* unit = Live(FindUnitByGroupKind(group, character));
  if (unit == nullptr) {
    DebugPrint("map 19: no unit (%d, %d) to place\n", group, character);
    return;
  }
  ClearUnitCell(*unit);
  Slg::SetUnitDir(*unit, dir);
  SetUnitState(*unit, 0);
  const SlgPoint p = CellToPosHeight(x, y);
  unit->x = static_cast<int32_t>(static_cast<uint32_t>(p.x) << 16);
  unit->y = static_cast<int32_t>(static_cast<uint32_t>(p.y) << 16);
  EventObjPlace(*unit);
  SetUnitCell(*unit);
}

void SetHeroLife(int32_t fraction) {
  if (SlgUnit* hero = Hero(); hero != nullptr) {
    hero->stats.life = static_cast<int16_t>((int64_t{hero->stats.max_life} * fraction) >> 16);
  }
}

// The strike to f: the striker attacks the hero through the core's attack frame; once it is back
// at rest the hit is taken and the hero's life set to max x f / 65536 (the attack itself takes
// none). A missing striker or hero: only the life is set.
template <int32_t kFraction>
int Strike() {
  Map19Words& w = Map19State();
  SlgUnit* hero = Hero();
  SlgUnit* striker = Striker();
  if (w.strike_phase == 0) {
    if (kFraction != 0x10000) Slg::ClearMoveBackup();
    if (hero == nullptr || striker == nullptr) {
      DebugPrint("map 19 strike: no hero or no striker: the life alone is set\n");
      SetHeroLife(kFraction);
      return 1;
    }
    EventLoadUnitExtraAnm(striker);
    striker->stats.attack_type = 0;
    striker->stats.action_bytes[0] = hero->slot;
    striker->stats.action_bytes[1] = 0;
    // The hit reaction reads the attacker from the target's attack-type byte; the attack's end
    // marks the units on the last range search's cells, which must hit nobody else.
    EventMarkScriptedTarget(*striker, *hero);
    Battle().search.range_count = 0;
    Slg::FreezeAllUnits();
    SetUnitState(*striker, kStateAttackLeadIn);
    SetUnitState(*hero, kStateHit);
    w.strike_phase = 1;
    w.strike_wait = 0;
    return 0;
  }
  const bool at_rest = striker == nullptr || striker->state == 0 || striker->state == 8;
  if (!at_rest && ++w.strike_wait < kStrikeLimit) return 0;
  if (!at_rest) DebugPrint("map 19 strike: the striker did not come back to rest\n");
  Slg::MarkFlaggedUnits();
  if (hero != nullptr) hero->flags &= ~kUnitInDamageList;
  SetHeroLife(kFraction);
  w.strike_phase = 0;
  return 1;
}

// A partner message: the (face, message) pair of the partner heroine 1-6.
using PartnerLines = std::array<EventMessageRef, 6>;
template <const PartnerLines& kLines>
int PartnerSays() {
  const EventMessageRef& r = kLines[static_cast<size_t>(Partner() - 1)];
  return EventMessage(r.face, r.message);
}

void LoadBin(int32_t n) {
  char name[16];
  std::snprintf(name, sizeof name, "EVS%d.BIN", static_cast<int>(n));
  EventLoadBin(name, kEventBinAddress);
}

// The closing of every scene: the scripted-scene words cleared, the current unit back.
void SceneWordsClear() { Battle().event_words.acting_mode = {0, 0}; }

// ---- 19110: the opening ----

void OpeningBoss() {
  EventRedeployKind(kFirstBossKind);
  EventLoadUnitExtraAnm(LiveUnitOfKind(kFirstBossKind));
  EventClearKindFlag(kFirstBossKind, kShowFlag);
}
// Only the hero and the partner stay; the removed heroines' falls can no longer play.
void OpeningParty() {
  SlgFadeIn(64);
  ReadPartner();
  const int32_t partner = Partner();
  for (int32_t c = 1; c <= 6; ++c) {
    if (c == partner) continue;
    EventRemoveUnit(Live(FindUnitByGroupKind(0, c)));
    SetEventFlag(kDownFlag[static_cast<size_t>(c)]);
  }
  Slg::PurgeDeadUnits();
  Map19Words& w = Map19State();
  w.phase_a = 0;
  w.end_a2 = 0;
  w.tone_result = 0;
  w.object82 = 0;
  w.beam = {};
  EventDeployKind(80);
  Battle().event_words.acting_mode[0] = 1;
  EventLoadSeBank(kSeBank);
}
int ToneIn() {
  const int r = EventToneChange(kToneInvisible, 0, 3);
  if (r != 0) Map19State().tone_result = r;
  return r;
}
void BeamStarts() {
  EventLoadSeBank(kSeBank);
  SlgSePlay(279);
  Map19State().phase_a = 1;
}
int32_t& EndA2() { return Map19State().end_a2; }
int32_t& Object82() { return Map19State().object82; }
void FiguresGone() {
  EventUndeployKind(80);
  EventUndeployKind(82);
  EventUndeployKind(81);
  EventSetKindFlag(kFirstBossKind, kShowFlag);
}
bool P84Set() { return SlgGetMacroP(84) > 0; }

int BgIn() { return EventBgFadeIn(218, 31, 100); }
int BgOut() { return EventBgFadeOut(31, 100); }

void WhiteOutStarts() {
  SlgWhiteOut(128);
  Battle().flags |= kWhiteOutBit;
  Battle().event_words.acting_mode[1] = 1;
  EventStopBgm();
  Slg::ClearMoveBackup();
  EventLoadCharaExtraAnm(kStrikerGroup, kStrikerChara);
}
// The hero stands at full life; the partner is taken away and her figure stays.
void PartnerTaken() {
  Place(0, 0, 480, 1112, 0);
  SetHeroLife(0x10000);
  const int32_t partner = Partner();
  Place(0, partner, 0, 0, 0);
  EventClearKindFlag(partner + 7, 0x1180);
  EventRemoveUnit(Live(FindUnitByGroupKind(0, partner)));
  SetEventFlag(kDownFlag[static_cast<size_t>(partner)]);
  EventDeployKind(partner + 105);
}
void WhiteInStarts() {
  SlgWhiteIn(128);
  Battle().flags &= static_cast<uint16_t>(~kWhiteOutBit);
  SlgSePlay(54);
  BGMPlayStart(26);
}
// SE 404, then its end (nothing to wait for when it did not start).
int SeToEnd() {
  Map19Words& w = Map19State();
  if (w.se_wait == 0) {
    if (SlgSePlay400(4) == 0) return 1;
    w.se_wait = 1;
    return 0;
  }
  if (SlgIsSeStop() == 0) return 0;
  w.se_wait = 0;
  return 1;
}
void FiguresAway() {
  EventUndeployKind(Partner() + 105);
  EventUndeployKind(86);
  SlgFadeIn(64);
  BGMPlayStart(17);
}
void OpeningEnds() {
  SceneWordsClear();
  Slg::ResetCurrentUnit();
}

constexpr auto k10010 = TalkList({{287, 10010}});
constexpr auto k12Result1 = TalkList({{14, 10030}, {289, 10040}});
constexpr auto k12Result1P84 = TalkList({{14, 10030}, {289, 10050}});
constexpr auto k12Result2 = TalkList({{11, 10060}, {289, 10070}, {290, 10080}});
constexpr auto k12Result0 = TalkList({{14, 10090}, {289, 10100}});
constexpr auto k10110 = TalkList({{18, 10110}});
constexpr PartnerLines k10120{{{29, 10120}, {74, 10130}, {110, 10140},
                               {155, 10170}, {209, 10160}, {137, 10150}}};
constexpr auto k10180 = TalkList({{18, 10180}, {289, 10190}});
constexpr auto k19Result0 = TalkList({{14, 10280}, {287, 10290}});
constexpr auto k19Result1 = TalkList({{11, 10210}, {287, 10220}});
constexpr auto k19Result2 =
    TalkList({{13, 10230}, {11, 10240}, {289, 10250}, {289, 10260}, {288, 10270}});
constexpr auto k10300 = TalkList({{18, 10300}});
constexpr PartnerLines k10310{{{32, 10310}, {77, 10320}, {113, 10330},
                               {158, 10360}, {212, 10340}, {140, 10350}}};
constexpr auto k21Result0 = TalkList({{14, 10430}, {289, 10440}});
constexpr auto k21Result1 = TalkList({{14, 10380}, {289, 10390}});
constexpr auto k21Result2 = TalkList({{14, 10400}, {287, 10410}, {287, 10420}});
constexpr auto k10450 = TalkList({{18, 10450}});
constexpr auto k1400 = TalkList({{287, 1400}, {287, 1401}, {287, 1402}});
constexpr PartnerLines k10500{{{36, 10500}, {81, 10510}, {117, 10520},
                               {162, 10550}, {216, 10530}, {144, 10540}}};
constexpr auto k1403 = TalkList({{287, 1403}});
constexpr auto k1405 = TalkList({{287, 1405}, {287, 1406}});
constexpr auto k10580 = TalkList({{11, 10580}, {289, 3348}});
constexpr auto k10600 = TalkList({{15, 10600}});
constexpr PartnerLines k3272{{{36, 3272}, {81, 3273}, {117, 3274},
                              {162, 3276}, {216, 3275}, {144, 3277}}};
constexpr PartnerLines k10610{{{14, 10610}, {14, 10620}, {14, 10630},
                               {14, 10660}, {14, 10640}, {14, 10650}}};
constexpr auto k10670 = TalkList({{287, 10670}, {287, 10680}});
constexpr auto k10690 = TalkList({{287, 10690}, {14, 10700}, {14, 10710}, {14, 10720},
                                  {11, 10730}, {11, 10740}, {13, 10750}});
constexpr PartnerLines k10760{{{13, 10760}, {13, 10770}, {13, 10780},
                               {13, 10810}, {13, 10790}, {13, 10800}}};
constexpr PartnerLines k10820{{{32, 10820}, {77, 10830}, {113, 10840},
                               {158, 10870}, {212, 10850}, {140, 10860}}};

// The strikes share one phase; the partner messages another.
constexpr uint8_t kStrikePhase = 1;
constexpr uint8_t kSeWaitPhase = 2;

// The timed choices' unlisted results (a third line, a time-out) take the result-0 branch.
constexpr S::Op kOpening[] = {
    // Steps 1-4: the boss hidden, the party cut to the hero and the partner, the beam figure.
    S::Do(&OpeningBoss),
    S::Do(&OpeningParty),
    S::Do(&LoadBin, 19110),
    S::Custom(&FadeEnded),
    // 5-9: the figures, the tone change, the beam.
    S::DeployKind(81),
    S::Custom(&ToneIn),
    S::Do(&BeamStarts),
    S::HoldUntil(&EndA2, 1, {80}),
    S::Se(280),
    S::DeployKind(82),
    S::Se(281),
    S::HoldUntil(&Object82, 1, {82}),
    S::Do(&FiguresGone),
    // 10-11.
    S::Wait(15),
    S::Messages(k10010),
    S::WalkUnit(0, 0, 0, 528, 1088, 1),
    // 12-16: the first choice.
    S::TimedChoice(10020, 300),
    S::Branch({{1, 13}, {2, 15}}, 16),
    S::Label(13),
    S::If(&P84Set, 14),
    S::Messages(k12Result1),
    S::Goto(17),
    S::Label(14),
    S::Messages(k12Result1P84),
    S::Goto(17),
    S::Label(15),
    S::Messages(k12Result2),
    S::Goto(17),
    S::Label(16),
    S::Messages(k12Result0),
    // 17-18.
    S::Label(17),
    S::Custom(&Strike<52428>, kStrikePhase),
    S::Messages(k10110),
    S::Custom(&PartnerSays<k10120>),
    S::Messages(k10180),
    // 19: the second choice.
    S::TimedChoice(10200, 300),
    S::Branch({{1, 191}, {2, 192}}, 190),
    S::Label(190),
    S::Messages(k19Result0),
    S::Goto(20),
    S::Label(191),
    S::Messages(k19Result1),
    S::Goto(20),
    S::Label(192),
    S::Messages(k19Result2),
    // 20.
    S::Label(20),
    S::Custom(&Strike<39321>, kStrikePhase),
    S::Messages(k10300),
    S::Custom(&PartnerSays<k10310>),
    // 21: the third choice.
    S::TimedChoice(10370, 300),
    S::Branch({{1, 211}, {2, 212}}, 210),
    S::Label(210),
    S::Messages(k21Result0),
    S::Goto(22),
    S::Label(211),
    S::Messages(k21Result1),
    S::Goto(22),
    S::Label(212),
    S::Messages(k21Result2),
    // 22-24.
    S::Label(22),
    S::Custom(&Strike<26214>, kStrikePhase),
    S::Messages(k10450),
    S::Messages(k1400),
    S::Custom(&Strike<6553>, kStrikePhase),
    S::Wait(60),
    S::Custom(&PartnerSays<k10500>),
    S::Messages(k1403),
    S::ScrollPx(1392, 192, 16),
    S::Custom(&BgIn),
    S::Messages(k1405),
    S::Custom(&BgOut),
    S::ScrollPx(192, 792, 16),
    S::Messages(k10580),
    // 25-28: under the white-out the last strike, the partner taken away.
    S::Do(&WhiteOutStarts),
    S::Custom(&Strike<0x10000>, kStrikePhase),
    S::Do(&LoadBin, 19112),
    S::Do(&PartnerTaken),
    S::Do(&WhiteInStarts),
    S::Custom(&FadeEnded),
    // 29-31.
    S::Messages(k10600),
    S::Custom(&PartnerSays<k3272>),
    S::Custom(&PartnerSays<k10610>),
    S::Messages(k10670),
    S::Wait(120),
    S::DeployKind(86),
    S::Custom(&SeToEnd, kSeWaitPhase),
    S::Messages(k10690),
    S::Custom(&PartnerSays<k10760>),
    S::Custom(&PartnerSays<k10820>),
    // 32-33.
    S::FadeOut(),
    S::Do(&FiguresAway),
    S::Custom(&FadeEnded),
    S::Do(&OpeningEnds),
    S::End(),
};
static_assert(S::Valid(kOpening));
constexpr SeqArgs kOpeningArgs{kOpening};

// ---- 19115: the boss at half life ----

// The camera to the first kind-31 unit's position less (320, 240); at once without one.
int ScrollToFirstBoss() {
  const SlgUnit* boss = LiveUnitOfKind(kFirstBossKind);
  if (boss == nullptr) {
    DebugPrint("map 19: no unit of kind %d to look at\n", kFirstBossKind);
    return 1;
  }
  return EventScroll(boss->x - 320 * kPx, boss->y - 240 * kPx, 16 * kPx);
}

constexpr auto k1398 = TalkList({{289, 1398}, {289, 1399}});
constexpr S::Op kHalfLife[] = {
    S::Custom(&ScrollToFirstBoss),
    S::Wait(30),
    S::Messages(k1398),
    S::End(),
};
static_assert(S::Valid(kHalfLife));
constexpr SeqArgs kHalfLifeArgs{kHalfLife};

// ---- 19150 and 19160: the partner's lines ----

constexpr PartnerLines k20000{{{29, 20000}, {74, 20001}, {110, 20002},
                               {155, 20004}, {209, 20003}, {137, 20005}}};
constexpr PartnerLines k20010{{{31, 20010}, {76, 20011}, {112, 20012},
                               {157, 20014}, {211, 20013}, {139, 20015}}};
constexpr S::Op kLineA[] = {S::Do(&ReadPartner), S::Custom(&PartnerSays<k20000>), S::End()};
constexpr S::Op kLineB[] = {S::Do(&ReadPartner), S::Custom(&PartnerSays<k20010>), S::End()};
static_assert(S::Valid(kLineA));
static_assert(S::Valid(kLineB));
constexpr SeqArgs kLineAArgs{kLineA};
constexpr SeqArgs kLineBArgs{kLineB};

// ---- Scenes still to come: each ends at once ----

constexpr S::Op kPending[] = {S::End()};
constexpr SeqArgs kPendingArgs{kPending};

// ---- The table ----

constexpr const char* kFirstVisit = "1=FAD(73);";

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 19110, .timing = 0x8000, .guard = {110, 0}, .c = kFirstVisit, .set = {110, 0},
     .handler = &SeqRow, .arg = &kOpeningArgs},
    {.id = 19115, .timing = 0x8000, .b = "HGU(GBO,UAK,50);", .guard = {115, 198},
     .c = kFirstVisit, .set = {115, 0}, .handler = &SeqRow, .arg = &kHalfLifeArgs},
    {.id = 19120, .timing = 0x8000, .b = "HGU(GBO,UAK,0);", .guard = {120, 0}, .c = kFirstVisit,
     .set = {120, 0}, .handler = &SeqRow, .arg = &kPendingArgs},
    {.id = 19121, .timing = 0x8000, .a = "F(120);", .guard = {121, 0}, .c = kFirstVisit,
     .set = {121, 0}, .handler = &SeqRow, .arg = &kPendingArgs},
    {.id = 19130, .timing = 0x8000, .a = "F(121);", .b = "HGU(GBO,UKT,0);", .guard = {130, 0},
     .c = kFirstVisit, .set = {130, 0}, .handler = &SeqRow, .arg = &kPendingArgs},
    // The return visit plays for P[73] = 1 only (a damaged save's 2 or more plays the first).
    {.id = 19140, .timing = 0x8000, .guard = {140, 0}, .c = "1!=FAD(73);", .set = {140, 0},
     .handler = &SeqRow, .arg = &kPendingArgs},
    {.id = 19150, .timing = 0x2, .b = "M(MAD);", .guard = {120, 0}, .c = "FAD(73)=1;",
     .handler = &SeqRow, .arg = &kLineAArgs},
    {.id = 19160, .timing = 0x2, .a = "F(120);", .b = "M(MAD);", .guard = {130, 0},
     .c = "FAD(73)=1;", .handler = &SeqRow, .arg = &kLineBArgs},
});

constexpr uint8_t kAll = kITV | kIDV | kILN | kIYS | kIBS | kITZ;
constexpr GenericTalkSet kTalks = StandardTalkPairs();
constexpr GenericDesc kGeneric{
    .talks = &kTalks,
    .falls = {.base = 500, .members = kAll, .a = "F(120);"},
    .ref_talks = {.base = 520, .members = kAll, .a = "F(120);"},
    .ref_talks2 = {.base = 530, .members = kAll, .a = "F(120);"},
    .char_talks = {.base = 600, .members = kAll, .a = "F(120);"},
    .favourite_chance = 10,
    .talk_c = "HP(IKD,0)|HGU(GBO,UKT,0);",
    .favourite_c = "HP(IKD,0)|HGU(GBO,UKT,0)|NP(IMR());",
    .ref_talk_c = "HGU(GBO,UKT,0);"};

constexpr auto kTable = JoinRows(kStoryRows, GenericRows<kGeneric>());
static_assert(kTable.size() == 33 + 1);

// ---- The map's objects ----

constexpr EventAnmDesc kFigureLoop{.start = EventAnmStart::kLoop, .snap = EventAnmSnap::kObject};

// Frames on the object's body clock since the beam's run began (a figure without a body runs
// each part to its end at once, so the scene waiting on it goes on).
int32_t BeamFrames(const SlgUnit& unit) { return unit.anm != nullptr ? unit.anm->frames : 0; }
int32_t BeamElapsed(const SlgUnit& unit) {
  if (unit.anm == nullptr) return 1 << 16;
  return std::clamp(unit.anm->frames - Map19State().beam.start, 0, 1 << 16);
}
void BeamRestart(const SlgUnit& unit, Map19BeamPhase next) {
  Map19Beam& b = Map19State().beam;
  b.saved_step = b.step;
  b.start = BeamFrames(unit);
  b.phase = next;
}

// Object 80: waits for phase word A, vanishes as a beam, moves to (576, 944), pauses 30 frames,
// reappears, then runs the tone change 0 -> 31 and writes A2 := 1.
int BeamFigure(SlgUnit& unit, SlgPair& position) {
  Map19Words& w = Map19State();
  Map19Beam& b = w.beam;
  RunEventAnm(kFigureLoop, unit, position);
  switch (b.phase) {
    case Map19BeamPhase::kWaiting:
      if (w.phase_a == 1) {
        b.step = 0;
        BeamRestart(unit, Map19BeamPhase::kVanishing);
      }
      break;
    case Map19BeamPhase::kVanishing:
      b.step = b.saved_step + 512 * BeamElapsed(unit);
      if (Map19BeamZoom(b.step).x < 8193) {
        unit.x = 576 * kPx;
        unit.y = 944 * kPx;
        EventObjPlace(unit);
        BeamRestart(unit, Map19BeamPhase::kPaused);
      }
      break;
    case Map19BeamPhase::kPaused:
      if (BeamElapsed(unit) >= 30) BeamRestart(unit, Map19BeamPhase::kReappearing);
      break;
    case Map19BeamPhase::kReappearing:
      b.step = std::max(b.saved_step - 512 * BeamElapsed(unit), 0);
      if (b.step == 0) b.phase = Map19BeamPhase::kTone;
      break;
    case Map19BeamPhase::kTone:
      if (EventToneChange(0, kToneInvisible, 1) != 0) {
        w.end_a2 = 1;
        b.phase = Map19BeamPhase::kDone;
      }
      break;
    case Map19BeamPhase::kDone:
      break;
  }
  if (unit.anm == nullptr || unit.anm->handle == nullptr) return 0;
  const Map19Zoom zoom = Map19BeamZoom(b.step);
  const SlgPair at{position.x, position.y - SlgFxMul(zoom.y, 8 * kPx)};
  SlgSprSetPos(unit.anm->handle, at);
  SlgSprSetZoom(unit.anm->handle, SlgPair{zoom.x, zoom.y});
  return 0;
}

// Objects 81 and 88: invisible under tone control until the tone change has answered 1, then in
// the plain shade mode.
constexpr uint16_t kPlainShade = 8192;
int ShadedFigure(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr) return 0;
  const bool first = unit.state == kEventAnmFirst;
  RunEventAnm(kFigureLoop, unit, position);
  if (first) {
    body->shade = kToneShade;
    SlgSprSetAlpha(body, 0);
  } else if (Map19State().tone_result == 1 && body->shade == kToneShade) {
    body->shade = kPlainShade;
  }
  return 0;
}

// Objects 82 and 89: pattern 1 played once just in front of their depth; then the object-82
// word := 1 (at once for an object without a body, so nothing waits on it).
int FlashOnce(SlgUnit& unit, SlgPair& position) {
  if (unit.anm == nullptr) {
    Map19State().object82 = 1;
    return 0;
  }
  if (unit.state == kEventAnmFirst) SetAnmPattern(unit.anm, 1);
  RunEventAnm(event_anm::kOnceSnapFore, unit, position);
  if (unit.state == kEventAnmEnded) Map19State().object82 = 1;
  return 0;
}

// Object 86: pattern 0 at the hero's position, one priority step in front of him; without the
// hero it stays where it is.
constexpr EventAnmDesc kFollower{.start = EventAnmStart::kLoop};
int FollowHero(SlgUnit& unit, SlgPair& position) {
  if (unit.anm == nullptr) return 0;
  if (unit.state == kEventAnmFirst) SetAnmPattern(unit.anm, 0);
  const SlgUnit* hero = Hero();
  if (hero != nullptr) {
    unit.x = hero->x;
    unit.y = hero->y;
    unit.lift = hero->lift;
    position = SlgMapToScreen(*hero);
  }
  RunEventAnm(kFollower, unit, position);
  if (hero != nullptr && hero->anm != nullptr && unit.anm != nullptr) {
    unit.anm->depth = static_cast<int16_t>(hero->anm->depth - 1);
    SlgSprSetPri(unit.anm->handle, unit.anm->depth);
  }
  return 0;
}

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap19ObjectKinds> t{};
  auto set = [&](int first, int last, SlgEventAnmHandler h) {
    for (int k = first; k <= last; ++k) t[static_cast<size_t>(k - 80)] = h;
  };
  // The second phase's objects stand on their cells until their own handlers come.
  set(80, 111, EventAnmHoldSnap);
  set(80, 80, &BeamFigure);
  set(81, 81, &ShadedFigure);
  set(88, 88, &ShadedFigure);
  set(82, 82, &FlashOnce);
  set(89, 89, &FlashOnce);
  set(86, 86, &FollowHero);
  return t;
}();

}  // namespace

const MapSetup kMap19Setup{.bgm = MapBgm::ByStoryFlag(), .table = kTable.data(), .anm_table = kAnm};
