#include "battle_events/maps/map24.h"

#include <algorithm>
#include <array>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_unit.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_steps.h"
#include "battle_events/event_units.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/runtime/effect_objects.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "battle_events/runtime/event_walks.h"
#include "engine/core/debug_trace.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

Map24Words& Map24State() { return Battle().Extension<Map24Words>(); }

// Rows by route kind: 1, 3 and 4 alike; 2 with kind 2 in kind 1's place; 5 with kinds 1 and 5
// swapped; 6 with kind 6 in kind 1's place. Row 0 is never chosen.
const FinalStartCells kMap24StartCells = [] {
  const FinalCellRow common = {{{192, 320}, {148, 348}, {0, 0}, {240, 328}, {192, 348},
                                {140, 372}, {0, 0}}};
  FinalStartCells t{};
  t[0] = t[1] = t[2] = t[3] = t[4] = t[5] = t[6] = common;
  std::swap(t[2][1], t[2][2]);
  std::swap(t[5][1], t[5][5]);
  std::swap(t[6][1], t[6][6]);
  return t;
}();

const std::array<FixTaskRow, kMap24FixedSprites + 1> kMap24Sprites = {{
    {3, 89, 22, 650},    {3, 89, 118, 656},   {3, 89, 132, 978},   {3, 89, 190, 406},
    {3, 89, 304, 502},   {3, 89, 382, 438},   {3, 89, 482, 264},   {3, 89, 594, 360},
    {3, 89, 532, 890},   {3, 89, 734, 700},   {3, 89, 972, 752},   {3, 89, 1232, 626},
    {3, 89, 772, 122},   {3, 89, 886, 214},   {3, 89, 978, 234},   {3, 89, 1170, 72},
    {3, 89, 1276, 92},   {3, 89, 960, 508},   {3, 89, 1042, 494},  {3, 89, 1092, 464},
    {3, 89, 1148, 428},  {3, 89, 1246, 356},  kFixTaskRowEnd,
}};

SlgPoint Map24WalkInPoint(const FinalCell& start, int32_t kind) {
  const int32_t offset = kMap24WalkOffsets[static_cast<size_t>(std::clamp(kind, 0, kFinalKinds - 1))];
  return {(start.x + kMap24WalkStepX * offset) * 2, (start.y + kMap24WalkStepY * offset) * 2};
}

namespace {

namespace S = EventSeq;

constexpr const char* kSeBank = "SEBE10.ALL";

FinalRouteWorks& Works() { return Map24State().routes; }
using Routes = FinalRoutes<&Works>;

const FinalCellRow& RouteRow() { return kMap24StartCells[static_cast<size_t>(FinalRouteKind())]; }
SlgUnit* Companion() { return LivePartyUnit(Map24State().companion); }

// The enemy of group 1 with that character byte, if it is on the map.
template <int32_t Character>
SlgUnit* Attacker() {
  SlgUnit* unit = FindUnitByGroupKind(1, Character);
  return unit != nullptr && SlgUnitLive(*unit) ? unit : nullptr;
}

// Which of a scene's three route lists plays: route kinds 1, 3, 4 and 5 the first, 2 the second,
// 6 the third.
int RouteList() {
  const int32_t kind = FinalRouteKind();
  return kind == 2 ? 1 : kind == 6 ? 2 : 0;
}
using RouteTalks = std::array<std::span<const EventMessageRef>, 3>;

void LoadSe() { EventLoadSeBank(kSeBank); }
void Se400(int32_t n) { SlgSePlay400(n); }

// ---- 24105 / 24106: the party shown ----

struct PartyScene {
  bool davone;  // 24106: the route heroine is DAVONE
  std::span<const EventMessageRef> opening;
  RouteTalks route;
  std::span<const EventMessageRef> closing;
};

// The companion's extra animations (24105: kind 1 when the route kind is 5, else kind 5; 24106:
// kind 5), the music, the party on its route's cells facing 0.
template <const PartyScene& Scene>
void PartyStart() {
  const int32_t companion = !Scene.davone && FinalRouteKind() == 5 ? 1 : 5;
  if (SlgUnit* c = LivePartyUnit(companion); c != nullptr) EventLoadUnitExtraAnm(c);
  EventBgmPlay(26);
  PlaceFinalParty(RouteRow(), 0, Map24State().party);
}
void PartyStands() { FinalPartyStands(Map24State().party); }
template <const PartyScene& Scene>
int PartyRouteTalk() {
  return EventMessageList(Scene.route[static_cast<size_t>(RouteList())]);
}

template <const PartyScene& Scene>
constexpr auto MakeParty() {
  return std::to_array<S::Op>({
      S::Do(&PartyStart<Scene>),                                  // 0
      S::Do(&LoadSe),                                             // 1
      S::FadeIn(), S::Messages(Scene.opening),                    // 2, 3
      S::FadeOut(), S::Do(&FinalPartyBg),                         // 4
      S::FadeIn(), S::Do(&FinalPartyFlash),                       // 5
      S::WhiteOut(),                                              // 6
      S::Custom(&SeStopped<24>), S::Do(&PartyStands),            // 7
      S::WhiteIn(), S::Wait(60),                                  // 8, 9
      S::Custom(&PartyRouteTalk<Scene>),                          // 10
      S::Wait(240), S::Messages(Scene.closing), S::FadeOutMusic(),  // 11, 12
      S::End(),                                                   // 13
  });
}

constexpr auto k105Opening = TalkList({{15, 10000}});
constexpr auto k106Opening = TalkList({{15, 10001}});
constexpr auto k105Route = TalkList({{14, 3224}, {212, 3225}, {158, 3226}, {113, 3227}, {32, 3228}});
constexpr auto k105Route2 = TalkList({{14, 3224}, {212, 3225}, {158, 3226}, {113, 3227}});
constexpr auto k105Route6 =
    TalkList({{14, 3224}, {212, 3225}, {158, 3226}, {113, 3227}, {140, 3230}});
constexpr auto k106Route = TalkList({{14, 3208}, {158, 3209}, {113, 3210}, {212, 3211}, {77, 3229}});
constexpr auto k105Closing = TalkList({{113, 40100}, {14, 40200}});
constexpr auto k106Closing = TalkList({{113, 40100}, {11, 40200}});

constexpr PartyScene kParty105{false, k105Opening, {k105Route, k105Route2, k105Route6}, k105Closing};
constexpr PartyScene kParty106{true, k106Opening, {k106Route, k106Route, k106Route}, k106Closing};

constexpr auto k105Ops = MakeParty<kParty105>();
constexpr auto k106Ops = MakeParty<kParty106>();
static_assert(S::Valid(k105Ops));
static_assert(S::Valid(k106Ops));
constexpr SeqArgs k105Args{k105Ops};
constexpr SeqArgs k106Args{k106Ops};

// ---- 24110 / 24111: the companion's stand ----

struct StandScene {
  int32_t companion;  // 5 (TEZAVI) or 1 (TAMVIK)
  const char* bin;
  bool se_on_white_in;      // 24110: the flashes' sound with each white-in, else each white-out
  bool attacker_extra;      // 24110: the first group's extra animations loaded
  std::span<const EventMessageRef> leave, objects;
  RouteTalks route;
  std::span<const EventMessageRef> cornered, strike, last_strike;
};

// Steps 0 and 1: the listed kinds (those with a start cell in the route's row), the route works,
// the scene's data, and every listed kind but the companion walking to its walk-in point; the
// companion's start waits out the interval.
template <const StandScene& Scene>
void StandStart() {
  Map24Words& w = Map24State();
  w.companion = Scene.companion;
  w.companion_started = 0;
  w.party = {};
  const FinalCellRow& row = RouteRow();
  for (int32_t kind = 0; kind < kFinalKinds; ++kind) {
    if (row[static_cast<size_t>(kind)].present()) {
      w.party.kinds[static_cast<size_t>(w.party.count++)] = static_cast<int8_t>(kind);
    }
  }
  Routes::Alloc();
  EventLoadBin(Scene.bin, kEventBinAddress);
  ClearFinalWalkers(w.walkers);
  for (int32_t n = 0; n < w.party.count; ++n) {
    const int32_t kind = w.party.kinds[static_cast<size_t>(n)];
    if (kind == w.companion) continue;
    const SlgPoint p = Map24WalkInPoint(row[static_cast<size_t>(kind)], kind);
    StartFinalWalker(w.walkers, kind, p.x, p.y);
  }
  w.walkers.interval = kMap24CompanionDelay;
}

// Every listed member but the companion turned to `dir`, state 0.
void PoseOthers(uint32_t dir) {
  const Map24Words& w = Map24State();
  for (int32_t n = 0; n < w.party.count; ++n) {
    const int32_t kind = w.party.kinds[static_cast<size_t>(n)];
    if (kind != w.companion) PoseUnit(LivePartyUnit(kind), dir);
  }
}

// Step 2: the camera pulled up while the companion stands low; the companion set off once the
// interval has run out (at once when she is missing); every marked walker steps, a walk that
// cannot start counting as arrived. Done when every listed member has arrived: the others face 2.
int WalkIn() {
  Map24Words& w = Map24State();
  FinalWalkers& e = w.walkers;
  const SlgUnit* c = Companion();
  if (c != nullptr && (c->y >> 16) >= kMap24ScrollBelowY) {
    EventScroll(392 * 65536, 288 * 65536, 4 * 65536);
  }
  if (w.companion_started == 0 && (c == nullptr || EventWait(e.interval) != 0)) {
    e.interval = 0;
    w.companion_started = 1;
    const SlgPoint p = Map24WalkInPoint(RouteRow()[static_cast<size_t>(w.companion)], w.companion);
    StartFinalWalker(e, w.companion, p.x, p.y);
  }
  StepFinalWalkers(e, w.routes, false);
  if (w.companion_started == 0 || e.arrived < w.party.count) return 0;
  PoseOthers(2);
  return 1;
}

// Step 3: every member but the companion on to (+192, -120) pixels from where it stands.
void OthersOn() {
  Map24Words& w = Map24State();
  ClearFinalWalkers(w.walkers);
  for (int32_t n = 0; n < w.party.count; ++n) {
    const int32_t kind = w.party.kinds[static_cast<size_t>(n)];
    if (kind == w.companion) continue;
    const SlgUnit* unit = LivePartyUnit(kind);
    // A missing member's walk cannot start: it counts as arrived on the next step.
    const SlgPoint p = unit != nullptr
                           ? SlgPoint{(unit->x >> 16) + kMap24OnX, (unit->y >> 16) + kMap24OnY}
                           : SlgPoint{0, 0};
    StartFinalWalker(w.walkers, kind, p.x, p.y);
  }
}
// Step 4: until all the others (four on a whole party) have arrived.
int OthersWalk() {
  Map24Words& w = Map24State();
  StepFinalWalkers(w.walkers, w.routes, false);
  return w.walkers.arrived >= w.party.count - 1 ? 1 : 0;
}

// Step 5: the companion to her stand, then facing 0.
int CompanionToStand() {
  const Map24Words& w = Map24State();
  return EventWalkUnit(Routes::At(w.companion), 0, w.companion, kMap24StandX, kMap24StandY, 0);
}
void CompanionFaces0() { PoseUnit(Companion(), 0); }
void CompanionFaces2() { PoseUnit(Companion(), 2); }
void Music17() { BGMPlayStart(17); }

template <const StandScene& Scene>
int StandRouteTalk() {
  return EventMessageList(Scene.route[static_cast<size_t>(RouteList())]);
}

// The staged object (kind 82) on to its next state.
void StagedAdvance() {
  if (SlgUnit* staged = LiveUnitOfKind(82); staged != nullptr) {
    SetUnitState(*staged, static_cast<uint8_t>(staged->state + 1));
  }
}
// The companion's act on the staged object: attack type 2, aimed at its point (the target
// position the attack effects read).
void CompanionAims() {
  Map24State().act_frames = 0;
  if (SlgUnit* c = Companion(); c != nullptr) c->stats.attack_type = 2;
  Battle().cmd.target_pos[0] = kMap24AimX;
  Battle().cmd.target_pos[1] = kMap24AimY;
}
void CompanionLoadExtra() {
  if (SlgUnit* c = Companion(); c != nullptr) EventLoadUnitExtraAnm(c);
}
void CompanionActs() {
  if (SlgUnit* c = Companion(); c != nullptr) SetUnitState(*c, 5);
}
// Step 13: once the companion is back in state 0 (or missing, or after the kit's limit, traced)
// the staged object advances again.
int CompanionBack() {
  Map24Words& w = Map24State();
  const SlgUnit* c = Companion();
  if (c != nullptr && c->state != 0 && ++w.act_frames <= kFinalStepLimit) return 0;
  if (c != nullptr && c->state != 0) {
    DebugPrint("map 24: the companion's act did not end: going on\n");
  }
  w.act_frames = 0;
  StagedAdvance();
  return 1;
}

// The white flashes: the screen turned white, a group brought in under it, the screen cleared,
// with the flash's sound on the white-in (24110) or the white-out (24111).
template <const StandScene& Scene>
void FlashOut() {
  SlgWhiteOut(0);
  if (!Scene.se_on_white_in) SlgSePlay(291);
}
template <const StandScene& Scene, int Group>
void FlashIn() {
  EventRedeployKind(kMap24FlashKinds[Group]);
  if (Group == 0 && Scene.attacker_extra) {
    if (SlgUnit* first = Attacker<0>(); first != nullptr) EventLoadUnitExtraAnm(first);
  }
  if (Scene.se_on_white_in) SlgSePlay(291);
  SlgWhiteIn(0);
}

using Strike1 = FinalAttack<&Attacker<0>, &Companion, 0>;
using Strike2 = FinalAttack<&Attacker<1>, &Companion, 0>;
using Strike3 = FinalAttack<&Attacker<2>, &Companion, 0>;
using Strike4 = FinalAttack<&Attacker<0>, &Companion, 2>;

// Steps 0-32, which both stands share but for their words.
template <const StandScene& Scene>
constexpr auto MakeStand() {
  return std::to_array<S::Op>({
      S::Do(&StandStart<Scene>),                                                   // 0, 1
      S::Custom(&WalkIn, 1),                                                       // 2
      S::Messages(Scene.leave), S::Do(&OthersOn),                                  // 3
      S::Custom(&OthersWalk, 1),                                                   // 4
      S::Custom(&CompanionToStand, 2), S::Do(&CompanionFaces0),                    // 5
      S::Messages(Scene.objects), S::DeployKind(80), S::Do(&Music17), S::Se(297),  // 6
      S::Wait(80), S::DeployKind(81),                                              // 7
      S::Wait(160), S::DeployKind(82),                                             // 8
      S::Wait(80),                                                                 // 9
      S::Custom(&StandRouteTalk<Scene>), S::Do(&StagedAdvance), S::Do(&CompanionAims),  // 10
      S::Do(&CompanionLoadExtra),                                                  // 11
      S::ScrollPx(276, 300, 16), S::Do(&CompanionActs),                            // 12
      S::Custom(&CompanionBack, 3),                                                // 13
      S::Messages(Scene.cornered),                                                 // 14
      S::Wait(30), S::Do(&FlashOut<Scene>),                                        // 15
      S::Wait(10), S::Do(&FlashIn<Scene, 0>),                                      // 16
      S::Wait(50), S::Do(&FlashOut<Scene>),                                        // 17
      S::Wait(10), S::Do(&FlashIn<Scene, 1>),                                      // 18
      S::Wait(50), S::Do(&FlashOut<Scene>),                                        // 19
      S::Wait(10), S::Do(&FlashIn<Scene, 2>),                                      // 20
      S::Wait(50),                                                                 // 21
      S::Messages(Scene.strike), S::Do(&Strike1::Prepare),                         // 22
      S::Do(&Strike1::LoadExtra), S::Do(&Strike1::Start),                          // 23
      S::Custom(&Strike1::Finished, 4), S::Do(&Strike2::Prepare),                  // 24
      S::Do(&Strike2::LoadExtra), S::Do(&Strike2::Start),                          // 25
      S::Custom(&Strike2::Finished, 4), S::Do(&Strike3::Prepare),                  // 26
      S::Do(&Strike3::LoadExtra), S::Do(&Strike3::Start),                          // 27
      S::Custom(&Strike3::Finished, 4),                                            // 28
      S::Messages(Scene.last_strike), S::Do(&Strike4::Prepare),                    // 29
      S::Do(&Strike4::LoadExtra), S::Do(&Strike4::Start),                          // 30
      S::Custom(&Strike4::Finished, 4),                                            // 31
      S::Do(&LoadSe),                                                              // 32
  });
}

// The still picture and the switch to map 25, after the white-out that shows it.
constexpr auto kPictureEnd = std::to_array<S::Op>({
    S::Custom(&SeStopped<24>), S::Wait(10),                                        // 39 / 40
    S::WhiteIn(), S::Wait(300), S::WhiteOut(), S::Do(&FinalFreeBg), S::WhiteIn(),  // 40-43 / 41-44
    S::Do(&Routes::Free), S::SwitchStage(24), S::End(),                             // 44 / 45
});

template <size_t N, size_t M, size_t K>
constexpr std::array<S::Op, N + M + K> Join(const std::array<S::Op, N>& a,
                                            const std::array<S::Op, M>& b,
                                            const std::array<S::Op, K>& c) {
  std::array<S::Op, N + M + K> out{};
  size_t n = 0;
  for (const S::Op& op : a) out[n++] = op;
  for (const S::Op& op : b) out[n++] = op;
  for (const S::Op& op : c) out[n++] = op;
  return out;
}

constexpr auto k110Leave = TalkList({{11, 10005}, {209, 10010}, {210, 10020}, {210, 10030},
                                     {11, 10040}, {210, 10050}, {11, 10060}, {210, 10070}});
constexpr auto k110Objects = TalkList({{209, 10080}});
constexpr auto k110Route = TalkList({{213, 40000}, {213, 10090}, {212, 10100}, {211, 10130}});
constexpr auto k110Route2 = TalkList({{213, 40000}, {213, 10090}, {212, 10120}, {211, 10130}});
constexpr auto k110Route6 = TalkList({{213, 40000}, {213, 10090}, {212, 10110}, {211, 10130}});
constexpr auto k110Cornered = TalkList({{213, 10140}});
constexpr auto k110Strike = TalkList({{213, 10150}});
constexpr auto k110LastStrike = TalkList({{212, 10160}});
constexpr auto k110Light = TalkList({{216, 3231}});
constexpr auto k110Farewell =
    TalkList({{216, 3232}, {216, 3233}, {216, 3000}, {211, 3234}, {211, 3235}});

constexpr auto k111Leave =
    TalkList({{11, 20000}, {29, 20010}, {30, 20020}, {11, 20030}, {30, 20040}});
constexpr auto k111Objects = TalkList({{29, 20050}});
constexpr auto k111Route = TalkList({{33, 40001}, {33, 20060}, {32, 20070}, {31, 20080}});
constexpr auto k111Cornered = TalkList({{33, 20090}});
constexpr auto k111Strike = TalkList({{33, 20100}});
constexpr auto k111LastStrike = TalkList({{32, 3197}});
constexpr auto k111Light = TalkList({{36, 3236}});
constexpr auto k111Farewell = TalkList({{36, 3237}, {36, 3005}});
constexpr auto k111Last = TalkList({{31, 3200}});

constexpr StandScene kStand110{5,           "EVS24110.BIN", true,         true,
                               k110Leave,   k110Objects,    {k110Route, k110Route2, k110Route6},
                               k110Cornered, k110Strike,    k110LastStrike};
constexpr StandScene kStand111{1,           "EVS24111.BIN", false,        false,
                               k111Leave,   k111Objects,    {k111Route, k111Route, k111Route},
                               k111Cornered, k111Strike,    k111LastStrike};

// 24110's ending: the light (83), the farewell, the glow (84) and the burst (85), the picture 241.
constexpr auto k110Ending = std::to_array<S::Op>({
    S::Messages(k110Light), S::DeployKind(83), S::Se(302),                           // 33
    S::Wait(64), S::Se(292),                                                         // 34
    S::Messages(k110Farewell), S::UndeployKind(83), S::Do(&CompanionFaces2),
    S::DeployKind(84),                                                               // 35
    S::Wait(90), S::DeployKind(85), S::Do(&Se400, 1),                                // 36
    S::Wait(30),                                                                     // 37
    S::WhiteOut(), S::UndeployKind(84), S::UndeployKind(85), S::Do(&FinalPicture<241>),  // 38
});
// 24111's: the light (86), the farewell with the glow (87) and its sound waited out, the last
// word with the burst (88), the picture 238.
constexpr auto k111Ending = std::to_array<S::Op>({
    S::Messages(k111Light), S::DeployKind(86), S::Se(302),                           // 33
    S::Wait(64), S::Se(292),                                                         // 34
    S::Messages(k111Farewell), S::UndeployKind(86), S::Do(&CompanionFaces2),
    S::DeployKind(87), S::Do(&Se400, 4),                                             // 35
    S::Custom(&SeStopped<24>),                                                      // 36
    S::Messages(k111Last), S::DeployKind(88), S::Do(&Se400, 1),                      // 37
    S::Wait(30),                                                                     // 38
    S::WhiteOut(), S::UndeployKind(87), S::UndeployKind(88), S::Do(&FinalPicture<238>),  // 39
});

constexpr auto k110Ops = Join(MakeStand<kStand110>(), k110Ending, kPictureEnd);
constexpr auto k111Ops = Join(MakeStand<kStand111>(), k111Ending, kPictureEnd);
static_assert(S::Valid(k110Ops));
static_assert(S::Valid(k111Ops));
constexpr SeqArgs k110Args{k110Ops};
constexpr SeqArgs k111Args{k111Ops};

// ---- The table ----

constexpr auto kTable = std::to_array<SlgEventEntry>({
    {.id = 24105, .timing = 0x8000, .b = "FAD(83)!=2;", .guard = {105, 0}, .set = {105, 0},
     .handler = &SeqRow, .arg = &k105Args},
    {.id = 24106, .timing = 0x8000, .b = "FAD(83)=2;", .guard = {106, 0}, .set = {106, 0},
     .handler = &SeqRow, .arg = &k106Args},
    {.id = 24110, .timing = 0x8000, .b = "FAD(83)!=6;", .guard = {110, 0}, .set = {110, 0},
     .handler = &SeqRow, .arg = &k110Args},
    {.id = 24111, .timing = 0x8000, .b = "FAD(83)=6;", .guard = {111, 0}, .set = {111, 0},
     .handler = &SeqRow, .arg = &k111Args},
    {},
});

// ---- The map's objects ----

// The animation released (the object stays on the map until the script undeploys it).
void Release(SlgAnmObj* body) {
  if (HasScene()) Scene().tamvik_spr.ReleaseAnm(&body->handle);
}
// The body's pattern `n` put in force with the flag byte `flags`.
void PlayPattern(SlgUnit& unit, uint8_t n, uint8_t flags) {
  SetAnmPattern(unit.anm, n);
  EventAnmReplay(unit, flags);
}
// The animation at the object's position, at its depth.
void Follow(SlgAnmObj* body, const SlgPair& position) {
  SetAnmPos(body, position);
  SlgSprSetPos(body->handle, position);
  SlgSprSetPri(body->handle, body->depth);
}

// A growing object (80: zoom pair 0, 81: pair 1), its phase the state byte: 0 pattern 0 looping,
// its clock restarted and its zoom 1/64; 1 following its position four depth steps behind, the
// zoom 1/64 more for each frame of its clock until it is whole; 2 its animation released.
template <int Pair>
int Growing(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr || unit.state > 2) return 0;
  SlgPair& zoom = Map24State().zoom[Pair];
  if (unit.state == 2) {
    Release(body);
    SetUnitState(unit, 3);
    return 0;
  }
  if (unit.state == 0) {
    PlayPattern(unit, 0, 0);
    body->start_time = EffectNow();
    body->frames = 0;
    zoom = {kMap24ZoomStart, kMap24ZoomStart};
    SetUnitState(unit, 1);
  }
  if (zoom.x < kMap24ZoomFull) {
    // A late frame may step past the whole size: it stops there.
    const int32_t grown = kMap24ZoomStart + std::max(body->frames, 0) * (kMap24ZoomFull / 64);
    const int32_t z = std::min(grown, kMap24ZoomFull);
    zoom = {z, z};
  }
  body->depth = static_cast<int16_t>(body->depth + 4);
  Follow(body, position);
  SlgSprSetZoom(body->handle, zoom);
  return 0;
}

// The staged object (82), its phase the state byte, which the script advances: 0 pattern 0,
// 2 pattern 1, 4 pattern 2 (each looping), 6 pattern 3 played once, 7 pattern 4 looping once its
// frame counter reaches 128 (8), 9 its animation released. Each pattern puts it four depth steps
// further in front (the steps so far kept in its first walk word); it follows its position.
int Staged(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr || unit.state > 9) return 0;
  int32_t& lowered = unit.walk_state[0];
  auto pattern = [&](uint8_t n, uint8_t flags, uint8_t next) {
    PlayPattern(unit, n, flags);
    lowered -= 4;
    SetUnitState(unit, next);
  };
  switch (unit.state) {
    case 0:
      lowered = 0;
      pattern(0, 0, 1);
      break;
    case 2: pattern(1, 0, 3); break;
    case 4: pattern(2, 0, 5); break;
    case 6: pattern(3, kSlgAnmOnce, 7); break;
    case 7:
      if (++body->frame >= kMap24StagedHold) pattern(4, 0, 8);
      break;
    case 9:
      Release(body);
      SetUnitState(unit, 10);
      return 0;
    default: break;
  }
  body->depth = static_cast<int16_t>(body->depth + lowered);
  Follow(body, position);
  return 0;
}

constexpr auto kAnm = std::to_array<SlgEventAnmHandler>({
    &Growing<0>,               // 80
    &Growing<1>,               // 81
    &Staged,                   // 82
    EventAnmCellPosLoopFore,   // 83: the light
    EventAnmCellPosLoopFore,   // 84: the glow
    EventAnmCellOnce,          // 85: the burst
    EventAnmCellPosLoopFore,   // 86
    EventAnmCellPosLoopFore2,  // 87
    EventAnmCellOnce,          // 88
});
static_assert(kAnm.size() == kMap24ObjectKinds);

void Sprites() { FixTaskAddList(kMap24Sprites); }

}  // namespace

const MapSetup kMap24Setup{.bgm = MapBgm::None(),
                           .table = kTable.data(),
                           .anm_table = kAnm,
                           .deferred = &Sprites};
