#include "battle_events/maps/map19.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_attack.h"
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
#include "battle_events/core/event_heroines.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_bg.h"
#include "battle_events/fix_task.h"
#include "battle_events/event_movie.h"
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

Map19Point Map19DriftPos(const Map19Drift& d, int32_t t) {
  constexpr int64_t kRoot2 = 0x16A09;  // 1.41421 in 16.16
  int64_t x = int64_t{d.x0} - int64_t{d.speed} * t;
  int64_t y = int64_t{d.y0} + (int64_t{d.height} << 32) / kRoot2;
  if ((t & 1) != 0) {
    x += int64_t{d.jitter_x} << 16;
    y += int64_t{d.jitter_y} << 16;
  }
  const int32_t angle = (d.angle + 4 * t) & 511;
  // SlgCos gives 16384 for 1.0: W pixels x the value, in 16.16.
  y += int64_t{d.wave} * SlgCos(angle) * 4;
  return {static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

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

// `attacker` attacks `target` through the core's attack frame (attack type 0, the target's slot
// as its target; the target in the damage list with the attacker's slot in its attack-type byte,
// which its hit reaction reads; the last range search emptied, since the attack's end marks the
// units on its cells; every unit frozen; attacker state 5, target state 9). Once the attacker is
// back in state 0 or 8 (or gone): Slg::MarkFlaggedUnits and the target's bit 0 cleared; 1. A
// missing attacker or target: 1 at once.
int ScriptedAttack(SlgUnit* attacker, SlgUnit* target) {
  Map19Words& w = Map19State();
  if (w.strike_phase == 0) {
    if (attacker == nullptr || target == nullptr) {
      DebugPrint("map 19: no attacker or no target: the attack is left out\n");
      return 1;
    }
    EventLoadUnitExtraAnm(attacker);
    attacker->stats.attack_type = 0;
    attacker->stats.action_bytes[0] = target->slot;
    attacker->stats.action_bytes[1] = 0;
    EventMarkScriptedTarget(*attacker, *target);
    Battle().search.range_count = 0;
    Slg::FreezeAllUnits();
    SetUnitState(*attacker, kStateAttackLeadIn);
    SetUnitState(*target, kStateHit);
    w.strike_phase = 1;
    w.strike_wait = 0;
    return 0;
  }
  const bool at_rest = attacker == nullptr || attacker->state == 0 || attacker->state == 8;
  if (!at_rest && ++w.strike_wait < kStrikeLimit) return 0;
  if (!at_rest) DebugPrint("map 19: the attacker did not come back to rest\n");
  Slg::MarkFlaggedUnits();
  if (target != nullptr) target->flags &= ~kUnitInDamageList;
  w.strike_phase = 0;
  return 1;
}

// The strike to f: the striker attacks the hero; then the hero's life := max x f / 65536 (the
// attack itself takes none). Unless f is 0x10000 the move backup is cleared first.
template <int32_t kFraction>
int Strike() {
  if (Map19State().strike_phase == 0 && kFraction != 0x10000) Slg::ClearMoveBackup();
  if (ScriptedAttack(Striker(), Hero()) == 0) return 0;
  SetHeroLife(kFraction);
  return 1;
}

// A partner message: the (face, message) pair of the partner heroine 1-6.
using PartnerLines = std::array<EventMessageRef, 6>;
template <const PartnerLines& kLines>
int PartnerSays() {
  const EventMessageRef& r = kLines[static_cast<size_t>(Partner() - 1)];
  return EventMessage(r.face, r.message);
}

void PlayBgm(int32_t n) { BGMPlayStart(n); }
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
  w.beam_phase = Map19BeamPhase::kWaiting;
  EventDeployKind(80);
  Battle().event_words.acting_mode[0] = 1;
  EventLoadSeBank(kSeBank);
}
template <int32_t kPeriod>
int ToneIn() {
  const int r = EventToneChange(kToneInvisible, 0, kPeriod);
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
  if (SeStoppedOrLimit(19) == 0) return 0;
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
constexpr uint8_t kSubPhase = 3;

// The timed choices' unlisted results (a third line, a time-out) take the result-0 branch.
constexpr S::Op kOpening[] = {
    // Steps 1-4: the boss hidden, the party cut to the hero and the partner, the beam figure.
    S::Do(&OpeningBoss),
    S::Do(&OpeningParty),
    S::Do(&LoadBin, 19110),
    S::Custom(&FadeEnded),
    // 5-9: the figures, the tone change, the beam.
    S::DeployKind(81),
    S::Custom(&ToneIn<3>),
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

// ---- 19120: the second scene ----

constexpr int32_t kSecondBossKind = 32;

void SecondBoss() {
  EventRedeployKind(kSecondBossKind);
  EventClearKindFlag(kSecondBossKind, kShowFlag);
}
void SecondSceneStarts() {
  ReadPartner();
  Battle().event_words.acting_mode[0] = 1;
  SlgFadeOut(64);
}
// The partner comes back from her placement entry when she is off the field; her fall row can
// play again.
void PartnerBack() {
  EventLoadCharaExtraAnm(0, 0);
  const int32_t partner = Partner();
  if (UnitAbsent(0, partner) != 0) BringBackPartyMember(partner, "map 19 second scene");
  ClearEventFlag(kDownFlag[static_cast<size_t>(partner)]);
}
void SecondScenePlaced() {
  Place(kStrikerGroup, kStrikerChara, 440, 1040, 1);
  Place(0, 0, 440, 1136, 0);
  const int32_t partner = Partner();
  Place(0, partner, 392, 1112, 0);
  EventSetKindFlag(partner + 7, 0x3580);
  EventDeployKind(87);
  SlgFadeIn(64);
}
void LoadHeroAnm() { EventLoadCharaExtraAnm(0, 0); }
int HeroStrikesBoss() { return ScriptedAttack(Hero(), Striker()); }
// The first boss leaves through its exit sequence (state 15) when it still stands.
void BossLeaves() {
  if (SlgUnit* boss = Striker(); boss != nullptr) SetUnitState(*boss, 15);
}
void BossRemoved() {
  EventRemoveUnit(Striker());
  Slg::PurgeDeadUnits();
}
void HeroStands() {
  if (SlgUnit* hero = Hero(); hero != nullptr) {
    Slg::SetUnitDir(*hero, 0);
    SetUnitState(*hero, 0);
  }
}
void PartnerTrust() { ::AddHeroineParam(Partner(), 5); }
void LoadKamuiSe() { EventLoadSeBank("KAMUI.SE"); }

// The boss taken away, with the camera sent to (192, 792) at 8 every frame: 20 frames, the
// white-out, the line without a key, the fade's end, the music stopped, SE 146 and the boss
// placed before the hero.
int TakenAway() {
  Map19Words& w = Map19State();
  EventScroll(192 * kPx, 792 * kPx, 8 * kPx);
  switch (w.sub) {
    case 0:
      if (++w.sub_frames < 20) return 0;
      SlgWhiteOut(64);
      Battle().flags |= kWhiteOutBit;
      w.sub = 1;
      return 0;
    case 1:
      if (EventMessageNoWait(15, 12240) == 0) return 0;
      w.sub = 2;
      return 0;
    default:
      if (SlgIsFadeEnd() == 0) return 0;
      EventStopBgm();
      SlgSePlay(146);
      Place(kStrikerGroup, kStrikerChara, 536, 1088, 0);
      w.sub = 0;
      w.sub_frames = 0;
      return 1;
  }
}
void WhiteInAfterBoss() {
  BossLeaves();
  EventUndeployKind(91);
  SlgWhiteIn(128);
  Battle().flags &= static_cast<uint16_t>(~kWhiteOutBit);
}
// The camera rests where the scene left it until 19121 clears the hold.
void SecondSceneEnds() {
  BGMPlayStart(17);
  Battle().event_words.acting_mode[0] = 0;
  Battle().camera.lock = 1;
  Slg::ResetCurrentUnit();
}

constexpr PartnerLines k12000{{{29, 12000}, {74, 12010}, {110, 12020},
                               {155, 12050}, {209, 12040}, {137, 12030}}};
constexpr auto k3349 = TalkList({{291, 3349}, {18, 12070}});
constexpr PartnerLines k12081{{{32, 12081}, {77, 12082}, {113, 12083},
                               {158, 12086}, {212, 12084}, {140, 12085}}};
constexpr auto k12100 = TalkList({{14, 12100}, {262, 12110}});
constexpr auto k12120 = TalkList({{13, 12120}, {263, 12130}, {261, 12140}});
constexpr auto k12150 = TalkList({{14, 12150}});
constexpr PartnerLines k12151{{{29, 12151}, {74, 12152}, {110, 12153},
                               {155, 12126}, {209, 12154}, {137, 12155}}};
constexpr auto k12160 = TalkList({{288, 12160}, {14, 12170}, {14, 12180}, {287, 12190}});
constexpr auto k12200 = TalkList({{261, 12200}});
constexpr auto k12210 = TalkList({{13, 12210}, {287, 12220}, {261, 12230}});
constexpr auto k12250 = TalkList({{15, 12250}, {289, 12260}});
constexpr auto k12270 =
    TalkList({{15, 12270}, {262, 12280}, {13, 12290}, {263, 12300}, {261, 12310}});
constexpr PartnerLines k12320{{{31, 12320}, {76, 12340}, {112, 12360},
                               {157, 12420}, {211, 12400}, {139, 12380}}};
constexpr PartnerLines k12330{{{13, 12330}, {13, 12350}, {13, 12370},
                               {13, 12430}, {13, 12410}, {13, 12390}}};
constexpr auto k12440 = TalkList({{262, 12440}, {263, 12450}});

// The choice: line 1 the hero finishes the boss; any other result (a time-out included) the
// boss is taken away.
constexpr S::Op kSecondScene[] = {
    S::Do(&SecondBoss),
    S::Do(&SecondSceneStarts),
    S::FadeOutMusic(),
    S::Custom(&FadeEnded),
    S::Do(&PartnerBack),
    S::ScrollPx(192, 792, 32),
    S::Do(&SecondScenePlaced),
    S::Custom(&FadeEnded),
    S::Custom(&PartnerSays<k12000>),
    S::Messages(k3349),
    S::Custom(&PartnerSays<k12081>),
    S::TimedChoice(12090, 600),
    S::Branch({{1, 8}}, 9),
    // 8: the hero finishes the boss.
    S::Label(8),
    S::WalkUnit(0, 0, 0, 488, 1064, 0),
    S::Do(&LoadHeroAnm),
    S::Custom(&HeroStrikesBoss, kStrikePhase),
    S::Do(&BossLeaves),
    S::SetFlag(197),
    S::HoldUntil("NU(31);", {}),
    S::Do(&BossRemoved),
    S::Messages(k12100),
    S::Do(&PlayBgm, 17),
    S::ScrollPx(812, 480, 16),
    S::Do(&HeroStands),
    S::Messages(k12120),
    S::ScrollPx(192, 792, 16),
    S::Goto(10),
    // 9: the boss is taken away.
    S::Label(9),
    S::Do(&PlayBgm, 26),
    S::Messages(k12150),
    S::Custom(&PartnerSays<k12151>),
    S::Do(&PartnerTrust),
    S::Messages(k12160),
    S::Do(&LoadBin, 19120),
    S::Do(&PlayBgm, 17),
    S::Messages(k12200),
    S::ScrollPx(812, 480, 16),
    S::Messages(k12210),
    S::Do(&LoadKamuiSe),
    S::DeployKind(90),
    S::Se(144),
    S::Wait(10),
    S::DeployKind(91),
    S::Custom(&TakenAway, kSubPhase),
    S::ScrollPx(192, 792, 16),
    S::Do(&WhiteInAfterBoss),
    S::Custom(&FadeEnded),
    S::Do(&PlayBgm, 19),
    S::Wait(120),
    S::Messages(k12250),
    S::Wait(120),
    S::SetFlag(197),
    S::HoldUntil("NU(31);", {}),
    S::Do(&BossRemoved),
    S::Messages(k12270),
    S::Do(&PlayBgm, 17),
    // 10-12: the partner's closing lines.
    S::Label(10),
    S::Wait(60),
    S::Custom(&PartnerSays<k12320>),
    S::Custom(&PartnerSays<k12330>),
    S::ScrollPx(812, 480, 16),
    S::Messages(k12440),
    S::Do(&SecondSceneEnds),
    S::End(),
};
static_assert(S::Valid(kSecondScene));
constexpr SeqArgs kSecondSceneArgs{kSecondScene};

// ---- 19121: the second boss arrives ----

int32_t& PhaseB() { return Map19State().phase_b; }
template <int32_t kValue>
void SetB() {
  Map19State().phase_b = kValue;
}
int LoadSeBankStep() { return EventLoadSeBank(kSeBank) != 0 ? 1 : 0; }
void ArrivalFigure() {
  EventLoadBin("EVS19121.BIN", kEventBinAddress);
  // The opening's tone result is still 1: the new figure waits for this tone change's own.
  Map19State().tone_result = 0;
  EventDeployKind(88);
}
void ArrivalFlash() {
  EventDeployKind(89);
  SlgSePlay(281);
  Map19State().object82 = 0;
}
void ArrivalDone() {
  EventUndeployKind(88);
  EventUndeployKind(89);
  EventSetKindFlag(kSecondBossKind, kShowFlag);
}
// Under the white flash the second boss's guard (kinds 48-50) arrives; the hero and the partner
// are restored.
void Reinforced() {
  for (int32_t kind = 48; kind <= 50; ++kind) EventRedeployKind(kind);
  for (SlgUnit* unit : {Hero(), Live(FindUnitByGroupKind(0, Partner()))}) {
    if (unit == nullptr) continue;
    unit->stats.life = unit->stats.max_life;
    unit->stats.kiai = static_cast<uint16_t>(unit->stats.max_kiai);
    unit->stats.byte34 = 2;
  }
}
void WhiteOut32() { SlgWhiteOut(32); }
void WhiteIn32() { SlgWhiteIn(32); }
void ArrivalEnds() {
  Battle().camera.lock = 0;
  Slg::ResetCurrentUnit();
}

constexpr S::Op kArrival[] = {
    S::Do(&ReadPartner),
    S::Custom(&LoadSeBankStep),
    S::Se(279),
    S::Do(&SetB<kMap19BVanish>),
    S::HoldUntil(&PhaseB, kMap19BVanished, {87}),
    S::ScrollPx(192, 792, 16),
    S::Do(&SetB<kMap19BAppear>),
    S::HoldUntil(&PhaseB, kMap19BAppeared, {87}),
    S::Se(280),
    S::Do(&ArrivalFigure),
    S::Custom(&ToneIn<1>),
    S::Message(261, 3311),
    S::Se(279),
    S::Do(&SetB<kMap19BMove>),
    S::HoldUntil(&PhaseB, kMap19BMoved, {87}),
    S::Se(280),
    S::Do(&ArrivalFlash),
    S::HoldUntil(&Object82, 1, {89}),
    S::Do(&ArrivalDone),
    S::Do(&WhiteOut32),
    S::Custom(&FadeEnded),
    S::Do(&Reinforced),
    S::Do(&WhiteIn32),
    S::Custom(&FadeEnded),
    S::Wait(30),
    S::Message(261, 3312),
    S::Do(&ArrivalEnds),
    S::End(),
};
static_assert(S::Valid(kArrival));
constexpr SeqArgs kArrivalArgs{kArrival};

// ---- 19130: the victory ----

void VictoryStarts() {
  if (SlgUnit* unit = Live(FindUnitByGroupKind(2, 11)); unit != nullptr) SetUnitState(*unit, 15);
  ReadPartner();
  EventStopBgm();
}
int ScrollToSecondBoss() {
  const SlgUnit* boss = LiveUnitOfKind(kSecondBossKind);
  if (boss == nullptr) {
    DebugPrint("map 19: no unit of kind %d to look at\n", kSecondBossKind);
    return 1;
  }
  return EventScroll(boss->x - 320 * kPx, boss->y - 240 * kPx, 16 * kPx);
}
void GuardLeaves() {
  for (size_t i = 0; SlgSlotInUse(static_cast<uint32_t>(i)); ++i) {
    SlgUnit& unit = Battle().state.units[i];
    if (unit.step != kSlgDeadStep && unit.kind >= 48 && unit.kind <= 50) SetUnitState(unit, 15);
  }
  SetEventFlag(195);
}
void FigureLeaves() {
  EventLoadSeBank("SEBE10.ALL");
  SlgSePlay(293);
  Map19State().phase_b = kMap19BLeave;
}
void ShowBg236() { EventShowBG(236); }

constexpr auto k3278 = TalkList({{264, 3278}, {264, 3279}});
constexpr auto k13000 = TalkList(
    {{13, 13000}, {262, 3281}, {262, 3282}, {261, 3283}, {15, 13010}, {263, 3285}});

constexpr S::Op kVictory[] = {
    S::Do(&VictoryStarts),
    S::Custom(&ScrollToSecondBoss),
    S::Do(&GuardLeaves),
    S::HoldUntil("NU(32);", {}),
    S::Wait(60),
    S::ScrollPx(928, 448, 16),
    S::Do(&FigureLeaves),
    S::HoldUntil(&PhaseB, kMap19BLeft, {87}),
    S::Messages(k3278),
    S::Do(&ShowBg236),
    S::Messages(k13000),
    S::UndeployKind(87),
    S::SetP(73, 1),
    S::StartGameWin(),
    S::End(),
};
static_assert(S::Valid(kVictory));
constexpr SeqArgs kVictoryArgs{kVictory};

// ---- 19140: the return visit ----

struct VisitPlace {
  int16_t x, y;
  uint8_t dir;
};
constexpr std::array<VisitPlace, 7> kVisitPlaces{{{520, 1080, 0}, {576, 1104, 0}, {432, 1128, 0},
                                                  {440, 984, 1}, {576, 960, 1}, {728, 1128, 3},
                                                  {672, 1008, 2}}};

// The party gathers: the partner on character 1's place, character 1 on hers; only the hero and
// the partner are shown.
void VisitPlaced() {
  for (int32_t c = 0; c <= 6; ++c) EventSetKindFlag(c + 7, kShowFlag);
  SlgFadeIn(64);
  Map19Words& w = Map19State();
  w.done.fill(0);
  ReadPartner();
  const int32_t partner = Partner();
  for (int32_t c = 0; c <= 6; ++c) {
    int32_t row = c;
    if (c == partner) {
      row = 1;
    } else if (c == 1) {
      row = partner;
    }
    const VisitPlace& at = kVisitPlaces[static_cast<size_t>(row)];
    Place(0, c, at.x, at.y, at.dir);
  }
  for (int32_t c = 0; c <= 6; ++c) {
    if (c != partner) EventClearKindFlag(c + 7, kShowFlag);
  }
  EventSetKindFlag(7, kShowFlag);
}
void VisitLoad() { EventLoadBin("EVS19140.BIN", kEventBinAddress); }
void HeroinesArrive() {
  for (int32_t c = 1; c <= 6; ++c) {
    if (c != Partner()) EventDeployKind(92 + c);
  }
  SlgSePlay(134);
}
void HeroinesShown() {
  for (int32_t c = 1; c <= 6; ++c) {
    if (c != Partner()) EventSetKindFlag(c + 7, kShowFlag);
  }
}
template <int32_t kCharacter>
bool PartnerIs() {
  return Partner() == kCharacter;
}
void VisitMusic() {
  EventLoadBin("EVS19141.BIN", kEventBinAddress);
  EventLoadSeBank("SEBE10.ALL");
  BGMPlayStart(5);
}
template <size_t kWord>
int32_t& Done() {
  return Map19State().done[kWord];
}
// The field closes for the movie: sound stopped, the fixed sprites hidden, the flag word's bit 1
// cleared, the units not flagged hidden.
void VisitCloses() {
  EventStopBgm();
  SlgStopSound();
  Battle().flags |= 0x20;
  Battle().flags &= static_cast<uint16_t>(~0x02);
  HideUnflaggedUnits();
  SlgFadeIn(256);
}
int VisitMovie() { return EventMoviePlayFull(1, 19); }

constexpr PartnerLines k3300{{{29, 3300}, {74, 3303}, {110, 3304},
                              {155, 3307}, {209, 3305}, {137, 3306}}};
constexpr auto k14020 = TalkList({{11, 14020}, {13, 14030}});
constexpr PartnerLines k3309{{{29, 3309}, {74, 3309}, {110, 3309},
                              {155, 3309}, {209, 3309}, {137, 3309}}};

// Every result of the choice goes on.
constexpr S::Op kVisit[] = {
    S::Do(&VisitPlaced),
    S::ScrollPx(240, 800, 32),
    S::Do(&VisitLoad),
    S::Custom(&FadeEnded),
    S::Wait(60),
    S::Do(&HeroinesArrive),
    S::Wait(15),
    S::Do(&HeroinesShown),
    S::Wait(75),
    S::Message(15, 14000),
    // Each heroine's line but the partner's, in the order 3, 6, 2, 5, 4, 1.
    S::If(&PartnerIs<3>, 43), S::Message(111, 3292), S::Label(43),
    S::If(&PartnerIs<6>, 46), S::Message(138, 3293), S::Label(46),
    S::If(&PartnerIs<2>, 42), S::Message(75, 3294), S::Label(42),
    S::If(&PartnerIs<5>, 45), S::Message(210, 3295), S::Label(45),
    S::If(&PartnerIs<4>, 44), S::Message(156, 3296), S::Label(44),
    S::If(&PartnerIs<1>, 41), S::Message(30, 3302), S::Label(41),
    S::Message(12, 14010),
    S::Custom(&PartnerSays<k3300>),
    S::Messages(k14020),
    S::TimedChoice(14040, 300),
    S::Message(13, 14050),
    S::Custom(&PartnerSays<k3309>),
    S::Do(&VisitMusic),
    S::Wait(180),
    // The seven appearances.
    S::Message(209, 1467), S::DeployKind(104), S::HoldUntil(&Done<5>, 1, {104}),
    S::Message(110, 1468), S::DeployKind(102), S::HoldUntil(&Done<3>, 1, {102}),
    S::Message(137, 1469), S::DeployKind(105), S::HoldUntil(&Done<6>, 1, {105}),
    S::Message(74, 1470), S::DeployKind(101), S::HoldUntil(&Done<2>, 1, {101}),
    S::Message(29, 3316), S::DeployKind(100), S::HoldUntil(&Done<1>, 1, {100}),
    S::Message(155, 1471), S::DeployKind(103), S::HoldUntil(&Done<4>, 1, {103}),
    S::DeployKind(99), S::HoldUntil(&Done<0>, 1, {99}),
    S::FadeOut(),
    S::Do(&VisitCloses),
    S::Custom(&VisitMovie),
    S::SwitchStage(19),
    S::End(),
};
static_assert(S::Valid(kVisit));
constexpr SeqArgs kVisitArgs{kVisit};

// ---- The table ----

constexpr const char* kFirstVisit = "1=FAD(73);";

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 19110, .timing = 0x8000, .guard = {110, 0}, .c = kFirstVisit, .set = {110, 0},
     .handler = &SeqRow, .arg = &kOpeningArgs},
    {.id = 19115, .timing = 0x8000, .b = "HGU(GBO,UAK,50);", .guard = {115, 198},
     .c = kFirstVisit, .set = {115, 0}, .handler = &SeqRow, .arg = &kHalfLifeArgs},
    {.id = 19120, .timing = 0x8000, .b = "HGU(GBO,UAK,0);", .guard = {120, 0}, .c = kFirstVisit,
     .set = {120, 0}, .handler = &SeqRow, .arg = &kSecondSceneArgs},
    {.id = 19121, .timing = 0x8000, .a = "F(120);", .guard = {121, 0}, .c = kFirstVisit,
     .set = {121, 0}, .handler = &SeqRow, .arg = &kArrivalArgs},
    {.id = 19130, .timing = 0x8000, .a = "F(121);", .b = "HGU(GBO,UKT,0);", .guard = {130, 0},
     .c = kFirstVisit, .set = {130, 0}, .handler = &SeqRow, .arg = &kVictoryArgs},
    // The return visit plays for P[73] = 1 only (a damaged save's 2 or more plays the first).
    {.id = 19140, .timing = 0x8000, .guard = {140, 0}, .c = "1!=FAD(73);", .set = {140, 0},
     .handler = &SeqRow, .arg = &kVisitArgs},
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

// Frames on the object's body clock since the run began (a figure without a body runs each part
// to its end at once, so the scene waiting on it goes on).
int32_t BodyFrames(const SlgUnit& unit) { return unit.anm != nullptr ? unit.anm->frames : 0; }
int32_t BeamElapsed(const SlgUnit& unit, const Map19Beam& b) {
  if (unit.anm == nullptr) return 1 << 16;
  return std::clamp(unit.anm->frames - b.start, 0, 1 << 16);
}
void BeamRestart(const SlgUnit& unit, Map19Beam& b) {
  b.saved_step = b.step;
  b.start = BodyFrames(unit);
}
// The vanish: s grows by 512 a frame; true once zoom x is below 8193.
bool BeamVanish(const SlgUnit& unit, Map19Beam& b) {
  b.step = b.saved_step + 512 * BeamElapsed(unit, b);
  return Map19BeamZoom(b.step).x < 8193;
}
// The reappearance: s falls by 512 a frame; true once it is back at 0 (zoom 1.0).
bool BeamReappear(const SlgUnit& unit, Map19Beam& b) {
  b.step = std::max(b.saved_step - 512 * BeamElapsed(unit, b), 0);
  return b.step == 0;
}
void BeamMoveTo(SlgUnit& unit, int32_t x, int32_t y) {
  unit.x = x * kPx;
  unit.y = y * kPx;
  EventObjPlace(unit);
}
// The figure drawn with the run's zoom pair, raised by 8 x zoom y.
void BeamDraw(const SlgUnit& unit, const SlgPair& position, const Map19Beam& b) {
  if (unit.anm == nullptr || unit.anm->handle == nullptr) return;
  const Map19Zoom zoom = Map19BeamZoom(b.step);
  const SlgPair at{position.x, position.y - SlgFxMul(zoom.y, 8 * kPx)};
  SlgSprSetPos(unit.anm->handle, at);
  SlgSprSetZoom(unit.anm->handle, SlgPair{zoom.x, zoom.y});
}

// Object 80: waits for phase word A, vanishes as a beam, moves to (576, 944), pauses 30 frames,
// reappears, then runs the tone change 0 -> 31 and writes A2 := 1.
int BeamFigure(SlgUnit& unit, SlgPair& position) {
  Map19Words& w = Map19State();
  Map19Beam& b = w.beam;
  RunEventAnm(kFigureLoop, unit, position);
  switch (w.beam_phase) {
    case Map19BeamPhase::kWaiting:
      if (w.phase_a == 1) {
        b.step = 0;
        BeamRestart(unit, b);
        w.beam_phase = Map19BeamPhase::kVanishing;
      }
      break;
    case Map19BeamPhase::kVanishing:
      if (BeamVanish(unit, b)) {
        BeamMoveTo(unit, 576, 944);
        BeamRestart(unit, b);
        w.beam_phase = Map19BeamPhase::kPaused;
      }
      break;
    case Map19BeamPhase::kPaused:
      if (BeamElapsed(unit, b) >= 30) {
        BeamRestart(unit, b);
        w.beam_phase = Map19BeamPhase::kReappearing;
      }
      break;
    case Map19BeamPhase::kReappearing:
      if (BeamReappear(unit, b)) w.beam_phase = Map19BeamPhase::kTone;
      break;
    case Map19BeamPhase::kTone:
      if (EventToneChange(0, kToneInvisible, 1) != 0) {
        w.end_a2 = 1;
        w.beam_phase = Map19BeamPhase::kDone;
      }
      break;
    case Map19BeamPhase::kDone:
      break;
  }
  BeamDraw(unit, position, b);
  return 0;
}

// Object 87, driven by phase word B: it answers 1 with the vanish (2), 3 with the reappearance
// at (576, 1048) (4), 5 with a vanish, 30 frames, the reappearance at (632, 912) and the tone
// change 0 -> 31 (6), and 7 with the move to (1248, 728) and a reappearance (8).
enum FigurePhase : int32_t {
  kFigureFirst,
  kFigureAwaits1,
  kFigureVanish1,
  kFigureAwaits3,
  kFigureAppear3,
  kFigureAwaits5,
  kFigureVanish5,
  kFigurePause5,
  kFigureAppear5,
  kFigureTone5,
  kFigureAwaits7,
  kFigureAppear7,
  kFigureDone,
};
int SecondFigure(SlgUnit& unit, SlgPair& position) {
  Map19Words& w = Map19State();
  Map19Beam& b = w.figure;
  RunEventAnm(kFigureLoop, unit, position);
  // Waits for B = value, then starts the next run (moved to (x, y) first when x is given).
  auto await = [&](int32_t value, int32_t next, int32_t x = -1, int32_t y = -1) {
    if (w.phase_b != value) return;
    if (x >= 0) BeamMoveTo(unit, x, y);
    BeamRestart(unit, b);
    w.figure_phase = next;
  };
  switch (w.figure_phase) {
    case kFigureFirst:
      w.phase_b = 0;
      b = {};
      w.figure_phase = kFigureAwaits1;
      break;
    case kFigureAwaits1:
      await(kMap19BVanish, kFigureVanish1);
      break;
    case kFigureVanish1:
      if (BeamVanish(unit, b)) {
        w.phase_b = kMap19BVanished;
        w.figure_phase = kFigureAwaits3;
      }
      break;
    case kFigureAwaits3:
      await(kMap19BAppear, kFigureAppear3, 576, 1048);
      break;
    case kFigureAppear3:
      if (BeamReappear(unit, b)) {
        w.phase_b = kMap19BAppeared;
        w.figure_phase = kFigureAwaits5;
      }
      break;
    case kFigureAwaits5:
      await(kMap19BMove, kFigureVanish5);
      break;
    case kFigureVanish5:
      if (BeamVanish(unit, b)) {
        BeamRestart(unit, b);
        w.figure_phase = kFigurePause5;
      }
      break;
    case kFigurePause5:
      if (BeamElapsed(unit, b) >= 30) {
        BeamMoveTo(unit, 632, 912);
        BeamRestart(unit, b);
        w.figure_phase = kFigureAppear5;
      }
      break;
    case kFigureAppear5:
      if (BeamReappear(unit, b)) w.figure_phase = kFigureTone5;
      break;
    case kFigureTone5:
      if (EventToneChange(0, kToneInvisible, 1) != 0) {
        w.phase_b = kMap19BMoved;
        w.figure_phase = kFigureAwaits7;
      }
      break;
    case kFigureAwaits7:
      await(kMap19BLeave, kFigureAppear7, 1248, 728);
      break;
    case kFigureAppear7:
      if (BeamReappear(unit, b)) {
        w.phase_b = kMap19BLeft;
        w.figure_phase = kFigureDone;
      }
      break;
    default:
      break;
  }
  BeamDraw(unit, position, b);
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

// Plays pattern `pattern` once with the given depth rule, then undeploys its own kind (at once
// without a body).
template <uint8_t kPattern, const EventAnmDesc& kDesc>
int OnceThenGone(SlgUnit& unit, SlgPair& position) {
  if (unit.anm == nullptr) {
    EventUndeployKind(unit.kind);
    return 0;
  }
  if (unit.state == kEventAnmFirst) SetAnmPattern(unit.anm, kPattern);
  RunEventAnm(kDesc, unit, position);
  if (unit.state == kEventAnmEnded) EventUndeployKind(unit.kind);
  return 0;
}
constexpr EventAnmDesc kOnceBehind{.snap = EventAnmSnap::kObject,
                                   .depth_rule = EventAnmDepth::kOffset, .depth = 1,
                                   .release_at_end = true};
constexpr EventAnmDesc kOnceInFront{.snap = EventAnmSnap::kObject,
                                    .depth_rule = EventAnmDepth::kOffset, .depth = -1,
                                    .release_at_end = true};
constexpr int16_t kFlashDepth = -1098;
constexpr EventAnmDesc kOnceAtFlash{.snap = EventAnmSnap::kObject,
                                    .depth_rule = EventAnmDepth::kFixed, .depth = kFlashDepth,
                                    .release_at_end = true};

// Object 91: pattern 1 at depth -1098, moving 8 pixels left and 4 down a frame from where it
// started (walk_state 1 and 2); released at its end.
int Sweep(SlgUnit& unit, SlgPair& position) {
  if (unit.anm == nullptr) return 0;
  if (unit.state == kEventAnmFirst) {
    SetAnmPattern(unit.anm, 1);
    EventObjSnap(unit);
    unit.walk_state[1] = unit.x;
    unit.walk_state[2] = unit.y;
  } else if (unit.state == kEventAnmRunning) {
    // An animation that runs long stops the sweep far past any map's edge, before the
    // 32-bit pixel offset could overflow (8 px x 65536 x 4096 frames already would).
    const int32_t t = std::clamp(unit.anm->frames, 0, 1 << 11);
    unit.x = unit.walk_state[1] - 8 * kPx * t;
    unit.y = unit.walk_state[2] + 4 * kPx * t;
    EventObjPlace(unit);
    position = EventObjScreenPos(unit);
  }
  RunEventAnm(kOnceAtFlash, unit, position);
  return 0;
}

// Objects 92-105 stand on a player unit: 92-98 on the one of their character byte, one priority
// behind it; 99-105 on character kind - 99, one in front, then its done word := 1. Each plays
// once and undeploys its kind. Without its unit or its body an appearance ends at once (its done
// word set), so the scene waiting on it goes on.
constexpr EventAnmDesc kOnceOnUnit{.release_at_end = true};
template <bool kAppearance>
int OnPlayerUnit(SlgUnit& unit, SlgPair& position) {
  const int32_t character = kAppearance ? unit.kind - 99 : unit.character;
  const SlgUnit* at = LivePartyUnit(character);
  auto finish = [&] {
    if (kAppearance) Map19State().done[static_cast<size_t>(character)] = 1;
    EventUndeployKind(unit.kind);
  };
  if (unit.anm == nullptr || (kAppearance && at == nullptr)) {
    finish();
    return 0;
  }
  if (at != nullptr) {
    unit.x = at->x;
    unit.y = at->y;
    unit.lift = at->lift;
    position = SlgMapToScreen(*at);
  }
  RunEventAnm(kOnceOnUnit, unit, position);
  if (at != nullptr && at->anm != nullptr && unit.anm != nullptr) {
    unit.anm->depth = static_cast<int16_t>(at->anm->depth + (kAppearance ? -1 : 1));
    SlgSprSetPri(unit.anm->handle, unit.anm->depth);
  }
  if (unit.state == kEventAnmEnded) finish();
  return 0;
}

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap19ObjectKinds> t{};
  auto set = [&](int first, int last, SlgEventAnmHandler h) {
    for (int k = first; k <= last; ++k) t[static_cast<size_t>(k - 80)] = h;
  };
  set(80, 80, &BeamFigure);
  set(81, 81, &ShadedFigure);
  set(82, 82, &FlashOnce);
  set(83, 83, EventAnmHoldSnap);
  set(84, 84, &OnceThenGone<0, kOnceBehind>);
  set(85, 85, &OnceThenGone<1, kOnceInFront>);
  set(86, 86, &FollowHero);
  set(87, 87, &SecondFigure);
  set(88, 88, &ShadedFigure);
  set(89, 89, &FlashOnce);
  set(90, 90, &OnceThenGone<0, kOnceAtFlash>);
  set(91, 91, &Sweep);
  set(92, 98, &OnPlayerUnit<false>);
  set(99, 105, &OnPlayerUnit<true>);
  set(106, 111, EventAnmHoldSnap);
  return t;
}();

// ---- The fixed sprites ----

// The repeating one-shot: while shown, phase 0 plays the animation from its first frame; phase 1
// keeps it at its cell until it has played, then releases it, and phase 2 goes back to phase 0
// at once, so it plays again on the next frame.
void RepeatingOneShot(SlgEffectTask* task) {
  FixTaskWork* work = FixTaskWorkOf(task);
  if (work == nullptr || FixTaskIsShown(*work) == 0 || work->obj == nullptr) return;
  switch (task->phase) {
    case 0:
      FixTaskPlay(*work, true);
      task->phase = 1;
      [[fallthrough]];
    case 1:
      FixTaskUpdatePos(*work);
      FixTaskScreenPos(*work);
      if (SlgAnmObjIsEnd(work->obj) == 0) return;
      FixTaskRelease(*work);
      task->phase = 2;
      [[fallthrough]];
    default:
      task->phase = 0;
      return;
  }
}

constexpr int32_t kDriftLife = 1200;
constexpr int16_t kDriftDepth = static_cast<int16_t>(64446 - 65536);
constexpr int32_t kDriftMarginX = 64;
constexpr int32_t kDriftMarginY = 0;

int32_t Random(int32_t n) { return SlgRand() % n; }

// The drifting sprite: a start inside the view box (phase 1), then each frame its place on the
// drift (phase 2) until its lifetime is over or it leaves the box.
void DriftingSprite(SlgEffectTask* task) {
  FixTaskWork* work = FixTaskWorkOf(task);
  if (work == nullptr || FixTaskIsShown(*work) == 0) return;
  Map19Drift& d = Map19State().drifts[work->step_words[0] % kMap19Drifts];
  const SlgRect box = FixTaskViewBox(kDriftMarginX, kDriftMarginY);
  if (task->phase != 2) {
    const int32_t x = box.left + Random(704);
    const int32_t y = box.top + Random(480);
    d.x0 = x * kPx;
    d.y0 = y * kPx;
    d.height = 32 + Random(64);
    d.speed = 32768 + (SlgRand() & 0xFFFF);
    d.life = kDriftLife;
    d.jitter_x = Random(256);
    if (x - box.left > 320) d.jitter_x = -d.jitter_x;
    d.jitter_y = Random(256);
    if (y - box.top > 240) d.jitter_y = -d.jitter_y;
    d.angle = Random(512);
    d.wave = Random(64);
    FixTaskPlay(*work, false);
    d.start = task->frames;
    task->phase = 2;
  }
  const int32_t t = task->frames - d.start;
  const Map19Point p = Map19DriftPos(d, t);
  if (t >= d.life || PointInRect(box, p.x >> 16, p.y >> 16) == 0) {
    task->phase = 1;
    return;
  }
  work->x = p.x;
  work->y = p.y;
  if (work->obj != nullptr) {
    work->obj->depth = kDriftDepth;
    SlgSprSetPri(work->obj->handle, work->obj->depth);
  }
  FixTaskScreenPos(*work);
}

constexpr FixTaskRow20 kOneShots[] = {
    {1, 112, &RepeatingOneShot, 789, 358},   {1, 112, &RepeatingOneShot, 1400, 780},
    {1, 112, &RepeatingOneShot, 1176, 474},  {2, 113, &RepeatingOneShot, 1884, 588},
    {2, 112, &RepeatingOneShot, 1418, 650},  kFixTaskRow20End};

void MapSprites() {
  FixTaskAddList20(kOneShots);
  for (uint32_t i = 0; i < kMap19Drifts; ++i) {
    if (SlgEffectTask* task = FixTaskAdd(3, 114, &DriftingSprite, 0, 0); task != nullptr) {
      FixTaskWorkOf(task)->step_words[0] = i;
    }
  }
}

}  // namespace

const MapSetup kMap19Setup{.bgm = MapBgm::ByStoryFlag(), .table = kTable.data(), .anm_table = kAnm,
                           .deferred = &MapSprites};
