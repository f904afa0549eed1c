#include "battle_events/maps/map25.h"

#include <array>
#include <span>
#include <utility>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_sound.h"
#include "battle/slg_unit.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_steps.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/runtime/effect_objects.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "battle_events/runtime/event_script_helpers.h"
#include "battle_events/runtime/event_walks.h"
#include "engine/core/debug_trace.h"

Map25Words& Map25State() { return Battle().Extension<Map25Words>(); }

// Rows by route kind: 1 and 4 alike, 2 with kind 2 in kind 1's place, 3 with kinds 1 and 3 on
// each other's cells, 5 and 6 with kind 5 or 6 in kind 1's place. Row 0 is never chosen.
const FinalStartCells kMap25StartCells = [] {
  const FinalCellRow common = {{{192, 348}, {192, 320}, {0, 0}, {240, 328}, {148, 348},
                                {0, 0}, {0, 0}}};
  FinalStartCells t{};
  t[0] = t[1] = t[4] = common;
  t[2] = common;
  std::swap(t[2][1], t[2][2]);
  t[3] = common;
  t[3][1] = {240, 328};
  t[3][3] = {192, 320};
  t[5] = common;
  std::swap(t[5][1], t[5][5]);
  t[6] = common;
  std::swap(t[6][1], t[6][6]);
  return t;
}();

namespace {

namespace S = EventSeq;

constexpr const char* kSeBank = "SEBE10.ALL";
constexpr const char* kBin = "EVS25111.BIN";

Map25Words& W() { return Map25State(); }
FinalRouteWorks& Works() { return W().routes; }
using Routes = FinalRoutes<&Works>;

SlgUnit* Boss() { return LiveUnitOfKind(kMap25BossKind); }
SlgUnit* Companion() { return LivePartyUnit(W().companion); }
SlgUnit* Struck() { return LivePartyUnit(W().struck); }

void LoadSe() { EventLoadSeBank(kSeBank); }

// The game clock's 60 Hz frame number: the descent and the shake count the frames the clock has
// passed since their start (a stalled clock counts none, a late frame several).
int32_t ClockFrame() { return EffectFrames(0); }

// ---- 25105 / 25106: the party shown ----

// Step 0: music, the boss placed hidden with its extra animations, the party on its route's cells
// facing 0.
void PartyStart() {
  EventBgmPlay(26);
  EventRedeployKind(kMap25BossKind);
  if (SlgUnit* boss = Boss(); boss != nullptr) EventLoadUnitExtraAnm(boss);
  EventClearKindFlag(kMap25BossKind, kShowFlag);
  PlaceFinalParty(kMap25StartCells[static_cast<size_t>(FinalRouteKind())], 0, W().party);
}
void PartyBg() {
  LoadSe();
  FinalPartyBg();
}
void PartyStands() { FinalPartyStands(W().party); }

constexpr auto kTalk134 = TalkList({{14, 10002}, {113, 3239}, {158, 3240}, {32, 3241}});
constexpr auto kTalk2 = TalkList({{14, 10002}, {113, 3239}, {158, 3240}, {77, 3244}});
constexpr auto kTalk5 = TalkList({{14, 10002}, {113, 3239}, {158, 3240}});
constexpr auto kTalk6 = TalkList({{14, 10002}, {113, 3239}, {158, 3240}, {140, 3243}});
constexpr auto kTalk106 = TalkList({{14, 3208}, {113, 3239}, {158, 3209}, {212, 3211}});
constexpr auto kAfterShown = TalkList({{18, 40200}});

// Step 7 of 25105: the list of the route kind.
int RouteTalk() {
  switch (FinalRouteKind()) {
    case 2: return EventMessageList(kTalk2);
    case 5: return EventMessageList(kTalk5);
    case 6: return EventMessageList(kTalk6);
    default: return EventMessageList(kTalk134);
  }
}

template <int (*Talk)()>
constexpr auto MakeParty() {
  return std::to_array<S::Op>({
      S::Do(&PartyStart),                               // 0
      S::Do(&PartyBg),                                  // 1
      S::FadeIn(), S::Do(&FinalPartyFlash),             // 2
      S::WhiteOut(),                                    // 3
      S::Custom(&SeStopped<25>), S::Do(&PartyStands),  // 4
      S::WhiteIn(), S::Wait(60),                        // 5, 6
      S::Custom(Talk, 1),                               // 7
      S::Wait(240), S::Messages(kAfterShown), S::End(), // 8-10
  });
}
int Talk106() { return EventMessageList(kTalk106); }

constexpr auto k105Ops = MakeParty<&RouteTalk>();
constexpr auto k106Ops = MakeParty<&Talk106>();
static_assert(S::Valid(k105Ops));
static_assert(S::Valid(k106Ops));
constexpr SeqArgs k105Args{k105Ops};
constexpr SeqArgs k106Args{k106Ops};

// ---- 25110 / 25111: the boss scene ----

// Walkers that have just arrived turned to 0 in state 0; the number still walking.
int32_t StepWalkersPosed(int32_t speed) {
  FinalWalkers& e = W().walkers;
  const auto before = e.walking;
  const int32_t walking = StepFinalWalkers(e, W().routes, false, speed);
  for (int32_t k = 0; k < kFinalKinds; ++k) {
    const auto i = static_cast<size_t>(k);
    if (before[i] != 0 && e.walking[i] == 0) PoseUnit(LivePartyUnit(k), 0);
  }
  return walking;
}

// Steps 0 and 1: the present members listed, the works, the scene's data; each member but kind 4
// marked to walk to its walk-in cell (kind 4 walks on its own in step 3), all facing 0; the boss
// shown high above its cell.
template <int32_t CompanionKind>
void BossStart() {
  Map25Words& w = W();
  w.companion = CompanionKind;
  ListFinalParty(w.party);
  Routes::Alloc();
  EventLoadBin(kBin, kEventBinAddress);
  ClearFinalWalkers(w.walkers);
  const FinalCellRow& row = kMap25StartCells[static_cast<size_t>(FinalRouteKind())];
  w.kind4_cell = {};
  for (int32_t n = 0; n < w.party.count; ++n) {
    const int32_t kind = w.party.kinds[static_cast<size_t>(n)];
    const FinalCell start = row[static_cast<size_t>(kind)];
    PoseUnit(LivePartyUnit(kind), 0);
    if (!start.present()) continue;
    const FinalCell cell{static_cast<int16_t>(start.x + kMap25WalkInX),
                         static_cast<int16_t>(start.y + kMap25WalkInY)};
    if (kind == 4) {
      w.kind4_cell = {cell.px(), cell.py()};
    } else {
      StartFinalWalker(w.walkers, kind, cell.px(), cell.py());
    }
  }
  EventSetKindFlag(kMap25BossKind, kShowFlag);
  if (SlgUnit* boss = Boss(); boss != nullptr) boss->lift = kMap25BossLift;
}

// Step 2: the camera follows while the companion is still low on the map; the members walk in.
int WalkIn() {
  const SlgUnit* c = Companion();
  if (c != nullptr && (c->y >> 16) >= kMap25ScrollUntilY) {
    EventScroll(kMap25CameraX * 65536, kMap25CameraY * 65536, 2 * 65536);
  }
  return StepWalkersPosed(0) == 0 ? 1 : 0;
}

// Step 3: kind 4 to its walk-in cell (none when it has no start cell).
int Kind4WalksIn() {
  const SlgPoint cell = W().kind4_cell;
  if (cell.x == 0 && cell.y == 0) return 1;
  if (EventWalkUnit(Routes::At(4), 0, 4, cell.x, cell.y, 0) == 0) return 0;
  PoseUnit(LivePartyUnit(4), 0);
  return 1;
}

void DescentBegins() {
  Map25Words& w = W();
  BGMPlayStart(17);
  const SlgUnit* boss = Boss();
  w.lift_noted = boss != nullptr ? boss->lift : 0;
  w.descent_from = ClockFrame();
  w.landed = 0;
}

// Step 4: the lift is the noted one less 4 pixels for every frame of the game clock since the
// descent began (a stalled clock holds the boss where it is); at 0 it lands.
int Descend() {
  Map25Words& w = W();
  SlgUnit* boss = Boss();
  if (boss == nullptr) return 1;
  const int64_t lift =
      int64_t{w.lift_noted} - int64_t{kMap25DescentStep} * (ClockFrame() - w.descent_from);
  if (lift > 0) {
    boss->lift = static_cast<int32_t>(lift);
    return 0;
  }
  boss->lift = 0;
  SetUnitState(*boss, 0);
  SlgSePlay(40);
  w.landed = 1;
  return 1;
}

constexpr auto kBossArrives = TalkList({{304, 10000}});
constexpr auto kAfterStrikes = TalkList({{18, 40080}});
constexpr auto kStrikeTalks = [] {
  std::array<std::array<EventMessageRef, 2>, kFinalKinds> t{};
  for (size_t k = 0; k < t.size(); ++k) {
    t[k] = {{{kMap25StrikeLines[k][0], kMap25StrikeLines[k][1]}, kEventMessageListEndRef}};
  }
  return t;
}();

void StrikesBegin() { W().strike = 0; }
bool NoMemberLeft() { return W().strike >= W().party.count; }
void TakeMember() {
  Map25Words& w = W();
  w.struck = w.party.kinds[static_cast<size_t>(w.strike)];
  w.hit_wait = 0;
}

using StrikeMember = FinalAttack<&Boss, &Struck, 0>;
using StrikeCompanion = FinalAttack<&Boss, &Companion, 0>;

// Step 9: until the member has been hit (its flag 0x4, set by the boss's attack animation). An
// attack that never hits (no animation data, a routine without its hit frame) or a member gone
// would hold the battle for ever: the wait also ends once the boss's action is over or the member
// is missing.
int MemberHit() {
  Map25Words& w = W();
  const SlgUnit* member = Struck();
  const SlgUnit* boss = Boss();
  if (member == nullptr || boss == nullptr || (member->flags & kUnitHitNow) != 0 ||
      boss->state == 0) {
    return 1;
  }
  if (++w.hit_wait <= kFinalStepLimit) return 0;
  DebugPrint("map 25: the strike's hit did not come: going on\n");
  return 1;
}

// Step 10: the struck member's line; the index moves on.
int StruckLine() {
  Map25Words& w = W();
  const auto kind = static_cast<size_t>(w.struck);
  if (kind >= kStrikeTalks.size() || EventMessageList(kStrikeTalks[kind]) != 0) {
    ++w.strike;
    return 1;
  }
  return 0;
}

// ---- The grapple shake ----

// One frame of the shake: when the hold has run out on the game clock, the companion and the
// boss move by the next offset and its hold begins (one offset a frame at most, so every cycle
// of eight brings both back to where they stood).
void ShakeFrame() {
  Map25Shake& s = W().shake;
  if (ClockFrame() - s.from < s.hold) return;
  const Map25ShakeEntry e = kMap25Shake[static_cast<size_t>(s.index)];
  for (SlgUnit* unit : {Companion(), Boss()}) {
    if (unit == nullptr) continue;
    unit->x += e.dx * 65536;
    unit->y += e.dy * 65536;
  }
  s.hold = e.hold;
  s.from = ClockFrame();
  s.index = (s.index + 1) % static_cast<int32_t>(kMap25Shake.size());
  ++s.moves;
}

template <int32_t CompanionKind>
int CompanionToGrapple() {
  if (EventWalkUnit(Routes::At(CompanionKind), 0, CompanionKind, kMap25Grapple.x,
                    kMap25Grapple.y, 1) == 0) {
    return 0;
  }
  PoseUnit(Companion(), 0);
  return 1;
}
void ShakeBegins() { W().shake = {.index = 0, .hold = 1, .from = ClockFrame(), .moves = 0}; }

// Step 14: the shake while the list plays.
template <const std::span<const EventMessageRef>& List>
int ShakeTalk() {
  ShakeFrame();
  return EventMessageList(List);
}

// Step 15: the shake while kind 4 walks to the exit; on its arrival the run's starts are set up.
int ShakeKind4Leaves() {
  ShakeFrame();
  if (EventWalkUnit(Routes::At(4), 0, 4, kMap25Exit.x, kMap25Exit.y, 0) == 0) return 0;
  FinalWalkers& e = W().walkers;
  ClearFinalWalkers(e);
  e.interval = 1;
  return 1;
}

// Step 16: the shake; each time the interval's wait ends one more listed member starts (then
// every 32 frames); all but the companion and kind 4 run to the exit. On once every member has
// started, nobody runs any more and the shake is back at its first offset.
int ShakeRun() {
  ShakeFrame();
  Map25Words& w = W();
  FinalWalkers& e = w.walkers;
  if (e.next < w.party.count && EventWait(e.interval) != 0) {
    const int32_t kind = w.party.kinds[static_cast<size_t>(e.next++)];
    e.interval = kMap25ExitGap;
    if (kind != w.companion && kind != 4) StartFinalWalker(e, kind, kMap25Exit.x, kMap25Exit.y);
  }
  const int32_t walking = StepFinalWalkers(e, w.routes, false, 1);
  return e.next >= w.party.count && walking == 0 && w.shake.index == 0 ? 1 : 0;
}

// Step 25 (27 in 25111): the boss's attack on the companion closed once more.
void CompanionAttackClosed() { EventAttackFinish(Boss(), Companion()); }

constexpr auto kCompanionStruck = TalkList({{303, 10040}});
constexpr auto k110Grapple =
    TalkList({{112, 10010}, {15, 10020}, {112, 10030}, {113, 10035}, {11, 45000}});
constexpr auto k111Grapple =
    TalkList({{31, 20000}, {15, 20010}, {32, 20020}, {32, 10036}, {11, 45020}});
constexpr std::span<const EventMessageRef> k110GrappleList = k110Grapple;
constexpr std::span<const EventMessageRef> k111GrappleList = k111Grapple;
constexpr auto k110End = TalkList({{112, 10050}, {112, 10060}});
constexpr auto k111End1 = TalkList({{36, 3253}, {31, 3254}});
constexpr auto k111End2 = TalkList({{31, 3200}});

// Steps 0-16 of both scenes.
template <int32_t CompanionKind, const std::span<const EventMessageRef>& Grapple>
constexpr auto MakeBossOpening() {
  return std::to_array<S::Op>({
      S::Do(&BossStart<CompanionKind>),                                           // 0, 1
      S::Custom(&WalkIn, 1),                                                      // 2
      S::Pair(S::ScrollPx(kMap25CameraX, kMap25CameraY, 4), S::Custom(&Kind4WalksIn, 1)),
      S::Do(&DescentBegins),                                                      // 3
      S::Custom(&Descend, 2),                                                     // 4
      S::Wait(60),                                                                // 5
      S::Messages(kBossArrives), S::Do(&StrikesBegin),                            // 6
      S::Label(7), S::If(&NoMemberLeft, 12),
      S::Do(&TakeMember), S::Do(&StrikeMember::Prepare),                          // 7
      S::Do(&StrikeMember::LoadExtra), S::Do(&StrikeMember::Start),               // 8
      S::Custom(&MemberHit, 3),                                                   // 9
      S::Custom(&StruckLine, 4),                                                  // 10
      S::Custom(&StrikeMember::Finished, 5), S::Goto(7),                          // 11
      S::Label(12), S::Messages(kAfterStrikes),                                   // 12
      S::Pair(S::ScrollPx(kMap25CameraX, kMap25CameraY, 4),
              S::Custom(&CompanionToGrapple<CompanionKind>, 1)),
      S::Do(&ShakeBegins),                                                        // 13
      S::Custom(&ShakeTalk<Grapple>, 2),                                          // 14
      S::Custom(&ShakeKind4Leaves, 3),                                            // 15
      S::Custom(&ShakeRun, 4),                                                    // 16
  });
}

// The picture, its 300 frames and the switch to map 26 (the last steps of both scenes).
constexpr auto kEnding = std::to_array<S::Op>({
    S::Custom(&SeStopped<25>, 6), S::Wait(10), S::Do(&CompanionAttackClosed),
    S::WhiteIn(), S::Wait(300), S::WhiteOut(), S::Do(&FinalFreeBg), S::WhiteIn(),
    S::Do(&Routes::Free), S::SwitchStage(25), S::End(),
});

// 25110's steps 17-24: (303/10040) before the companion is struck; 81, then 83, picture 240.
constexpr auto k110Ending = std::to_array<S::Op>({
    S::Messages(kCompanionStruck), S::Do(&StrikeCompanion::Prepare),     // 17
    S::Do(&StrikeCompanion::LoadExtra), S::Do(&StrikeCompanion::Start),  // 18
    S::Custom(&StrikeCompanion::Finished, 5),                            // 19
    S::Do(&LoadSe), S::DeployKind(81), S::Se(302),                       // 20
    S::Wait(90), S::Se(292),                                             // 21
    S::Messages(k110End), S::UndeployKind(81), S::DeployKind(83),
    S::Do(&FinalSe400<1>),                                               // 22
    S::Wait(90),                                                         // 23
    S::WhiteOut(), S::UndeployKind(83), S::Do(&FinalPicture<240>),       // 24
});
// 25111's: the strike prepared at the end of step 16 without a message; 81, 82, 83, picture 238.
constexpr auto k111Ending = std::to_array<S::Op>({
    S::Do(&StrikeCompanion::Prepare),                                    // 16
    S::Do(&StrikeCompanion::LoadExtra), S::Do(&StrikeCompanion::Start),  // 18
    S::Custom(&StrikeCompanion::Finished, 5),                            // 19
    S::Do(&LoadSe), S::DeployKind(81), S::Se(302),                       // 20
    S::Wait(90), S::Se(292),                                             // 21
    S::Messages(k111End1), S::UndeployKind(81), S::DeployKind(82),
    S::Do(&FinalSe400<4>),                                               // 22
    S::Custom(&SeStopped<25>, 6),                                       // 23
    S::Messages(k111End2), S::DeployKind(83), S::Do(&FinalSe400<1>),     // 24
    S::Wait(90),                                                         // 25
    S::WhiteOut(), S::UndeployKind(82), S::UndeployKind(83),
    S::Do(&FinalPicture<238>),                                           // 26
});

constexpr auto k110Ops =
    JoinOps(JoinOps(MakeBossOpening<3, k110GrappleList>(), k110Ending), kEnding);
constexpr auto k111Ops =
    JoinOps(JoinOps(MakeBossOpening<1, k111GrappleList>(), k111Ending), kEnding);

static_assert(S::Valid(k110Ops));
static_assert(S::Valid(k111Ops));
constexpr SeqArgs k110Args{k110Ops};
constexpr SeqArgs k111Args{k111Ops};

// ---- The table ----

constexpr auto kTable =
    FinalEventTable(25, 6, 3, {&k105Args, &k106Args, &k110Args, &k111Args});

// ---- The map's objects ----

// 80 and 81 their pattern on their cell one depth step further in front each frame, 82 two steps,
// 83 the shared pattern player (its pattern played once).
constexpr std::array<SlgEventAnmHandler, kMap25ObjectKinds> kAnm = {
    EventAnmCellPosLoopFore, EventAnmCellPosLoopFore, EventAnmCellPosLoopFore2,
    EventAnmCellOnce,
};

}  // namespace

const MapSetup kMap25Setup{.bgm = MapBgm::None(), .table = kTable.data(), .anm_table = kAnm};
