#include "battle_events/maps/map26.h"

#include <array>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_screen.h"
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
#include "battle_events/runtime/event_walks.h"

Map26Words& Map26State() { return Battle().Extension<Map26Words>(); }

// Rows by route kind: the hero, the route heroine and kind 4; on route 4 (YSOL the route
// heroine) kind 4 takes the route heroine's cell and kind 1 the other member's. Row 0 is never
// chosen.
const FinalStartCells kMap26StartCells = [] {
  FinalStartCells t{};
  for (size_t route = 0; route < t.size(); ++route) {
    const size_t heroine = route == 0 ? 1 : route;
    t[route][0] = {548, 144};
    t[route][heroine] = {508, 148};
    t[route][4] = {556, 168};
  }
  t[4][4] = {508, 148};
  t[4][1] = {556, 168};
  return t;
}();

namespace {

namespace S = EventSeq;

constexpr const char* kSeBank = "SEBE10.ALL";

Map26Words& W() { return Map26State(); }
FinalRouteWorks& Works() { return W().routes; }
using Routes = FinalRoutes<&Works>;

SlgUnit* Boss() { return LiveUnitOfKind(kMap26BossKind); }


// ---- 26105 / 26106: the party shown ----

void PartyStart() {
  PlaceFinalParty(kMap26StartCells[static_cast<size_t>(FinalRouteKind())], 0, W().party);
}
void PartyBg() {
  EventLoadSeBank(kSeBank);
  FinalPartyBg();
}
void PartyStands() { FinalPartyStands(W().party); }

constexpr auto kTalk14 = TalkList({{14, 30000}, {32, 30010}, {158, 3226}});
constexpr auto kTalk2 = TalkList({{14, 30000}, {74, 30030}, {158, 3226}});
constexpr auto kTalk3 = TalkList({{14, 30000}, {158, 3226}});
constexpr auto kTalk5 = TalkList({{14, 30000}, {212, 30040}, {158, 3226}});
constexpr auto kTalk6 = TalkList({{14, 30000}, {140, 30020}, {158, 3226}});
constexpr auto kTalk106 = TalkList({{14, 30050}, {113, 30060}, {158, 3209}, {158, 3240}});

// Step 7 of 26105: the list of the route kind.
int RouteTalk() {
  switch (FinalRouteKind()) {
    case 2: return EventMessageList(kTalk2);
    case 3: return EventMessageList(kTalk3);
    case 5: return EventMessageList(kTalk5);
    case 6: return EventMessageList(kTalk6);
    default: return EventMessageList(kTalk14);
  }
}
int Talk106() { return EventMessageList(kTalk106); }

template <int (*Talk)()>
constexpr auto MakeParty() {
  return std::to_array<S::Op>({
      S::Do(&PartyStart),                                // 0
      S::Do(&PartyBg),                                   // 1
      S::FadeIn(), S::Do(&FinalPartyFlash),              // 2
      S::WhiteOut(),                                     // 3
      S::Custom(&SeStopped<26>), S::Do(&PartyStands),   // 4
      S::WhiteIn(), S::Wait(120),                        // 5, 6
      S::Custom(Talk, 1), S::FadeOutMusic(), S::End(),   // 7, 8
  });
}

constexpr auto k105Ops = MakeParty<&RouteTalk>();
constexpr auto k106Ops = MakeParty<&Talk106>();
static_assert(S::Valid(k105Ops));
static_assert(S::Valid(k106Ops));
constexpr SeqArgs k105Args{k105Ops};
constexpr SeqArgs k106Args{k106Ops};

// ---- 26110 / 26111: the final scene ----

// What the two scenes share up to the pusher's walk.
struct FinalScene {
  int32_t pusher;  // the unit kind that walks up to the boss (4, or 1 in 26111)
  const char* bin;
  int32_t overlay;  // the boss overlay deployed (80 or 81)
  int32_t walk;     // the pusher's walk argument
};
constexpr FinalScene kScene110{4, "EVS26110.BIN", 80, 0};
constexpr FinalScene kScene111{1, "EVS26111.BIN", 81, 1};

template <const FinalScene& Scene>
void SceneStart() {
  ListFinalParty(W().party);
  Routes::Alloc();
  EventLoadBin(Scene.bin, kEventBinAddress);
}
void PartyFaces0() { PoseFinalParty(W().party, 0); }
void BossBack() {
  PoseFinalParty(W().party, 2);
  EventRedeployKind(kMap26BossKind);
  BGMPlayStart(19);
}
// Step 5: the escort walks in (work 7, the one beyond the kinds').
int EscortWalks() {
  return EventWalkUnit(Routes::At(kFinalKinds), 2, kMap26EscortCharacter, kMap26EscortCell.x,
                       kMap26EscortCell.y, 0);
}
void Bgm17() { BGMPlayStart(17); }

// Step 9: the pusher to the boss, then facing 2.
template <const FinalScene& Scene>
int PusherWalks() {
  if (EventWalkUnit(Routes::At(Scene.pusher), 0, Scene.pusher, kMap26PushCell.x,
                    kMap26PushCell.y, Scene.walk) == 0) {
    return 0;
  }
  PoseUnit(LivePartyUnit(Scene.pusher), 2);
  return 1;
}

constexpr auto kArrival = TalkList({{11, 10000}});
constexpr auto kEscortTalk = TalkList({{306, 10010}, {306, 10020}, {306, 10030}});
constexpr auto kBossTalk = TalkList({{303, 10040}});
constexpr auto kYsolTalk = TalkList({{15, 10050}});

// Steps 0-9 of both scenes.
template <const FinalScene& Scene>
constexpr auto MakeSceneOpening() {
  return std::to_array<S::Op>({
      S::Do(&SceneStart<Scene>),                                            // 0, 1
      S::Wait(240), S::Do(&PartyFaces0),                                    // 2
      S::Messages(kArrival),                                                // 3
      S::ScrollPx(768, 128, 4), S::Do(&BossBack),                           // 4
      S::Pair(S::Custom(&EscortWalks, 1), S::Messages(kEscortTalk)),        // 5
      S::Do(&Bgm17),
      S::Messages(kBossTalk), S::DeployKind(Scene.overlay),                 // 6
      S::Wait(120),                                                         // 7
      S::Messages(kYsolTalk),                                               // 8
      S::Custom(&PusherWalks<Scene>, 1),                                    // 9
  });
}

// ---- 26110: the pushes ----

SlgUnit* Pusher() { return LivePartyUnit(kScene110.pusher); }

void PushesBegin() {
  W().pushes = 0;
  W().push_interval = kMap26FirstPush;
}
// Step 11: each time the interval's wait ends the pusher and the boss move by (-2, +1) pixels and
// are placed again; done after the eighth. Without the pusher or the boss there is nothing to
// push: done at once.
int Pushes() {
  Map26Words& w = W();
  SlgUnit* pusher = Pusher();
  SlgUnit* boss = Boss();
  if (pusher == nullptr || boss == nullptr) return 1;
  if (EventWait(w.push_interval) == 0) return 0;
  for (SlgUnit* unit : {pusher, boss}) {
    unit->x += kMap26PushX * 65536;
    unit->y += kMap26PushY * 65536;
    EventObjPlace(*unit);
  }
  w.push_interval = kMap26PushGap;
  return ++w.pushes >= kMap26Pushes ? 1 : 0;
}
void BossGone() {
  EventClearKindFlag(kMap26BossKind, kShowFlag);
  EventUndeployKind(80);
}
int PusherLeaves() {
  return EventWalkUnit(Routes::At(kScene110.pusher), 0, kScene110.pusher, kMap26PusherAway.x,
                       kMap26PusherAway.y, 0);
}

constexpr auto kPushTalk = TalkList({{15, 45110}, {305, 10060}, {162, 10070}, {13, 45120}});
constexpr auto kPushedTalk = TalkList({{162, 3245}, {162, 3246}, {306, 3247}});
constexpr auto kLastTalk = TalkList({{156, 10080}});

// The picture's wait, its 300 frames and the victory (the last steps of both scenes).
constexpr auto kEnding = std::to_array<S::Op>({
    S::Custom(&SeStopped<26>, 2), S::Wait(180),
    S::WhiteIn(), S::Wait(300), S::WhiteOut(), S::Do(&FinalFreeBg), S::WhiteIn(),
    S::Do(&Routes::Free), S::StartGameWin(), S::End(),
});

// 26110's steps 10-15: the pushes, the pusher away, the music's fade, picture 243.
constexpr auto k110Ending = std::to_array<S::Op>({
    S::Messages(kPushTalk), S::Do(&PushesBegin),                     // 10
    S::Custom(&Pushes, 2),                                           // 11
    S::Messages(kPushedTalk),                                        // 12
    S::Wait(24), S::Do(&BossGone), S::Custom(&PusherLeaves, 1),      // 13
    S::Messages(kLastTalk), S::FadeOutMusic(), S::Do(&FinalSe400<2>),  // 14
    S::WhiteOut(), S::Do(&FinalPicture<243>),                        // 15
});
constexpr auto k110Ops = JoinOps(JoinOps(MakeSceneOpening<kScene110>(), k110Ending), kEnding);

// ---- 26111: the fly-off ----

void TamvikAndBossGone() {
  if (SlgUnit* unit = LivePartyUnit(kScene111.pusher); unit != nullptr) EventRemoveUnit(unit);
  if (SlgUnit* boss = Boss(); boss != nullptr) EventRemoveUnit(boss);
  EventUndeployKind(81);
  for (int32_t kind = 82; kind <= 84; ++kind) EventDeployKind(kind);
  SlgWhiteOut(0);
}
void WhiteBack() { SlgWhiteIn(0); }

// Step 13: the objects' positions become their bases.
void FlyBases() {
  Map26Words& w = W();
  for (int32_t n = 0; n < 3; ++n) {
    if (const SlgUnit* u = LiveUnitOfKind(82 + n); u != nullptr) {
      w.bases[static_cast<size_t>(n)] = {u->x, u->y};
    }
  }
  w.fly_from = EffectFrames(0);
}
// Step 14: every object at its base moved by the displacement of the frames flown (on the game
// clock); when the wait of 60 frames ends they are taken off.
int FlyOff() {
  Map26Words& w = W();
  const SlgPair d = Map26FlyOffset(EffectFrames(0) - w.fly_from);
  for (int32_t n = 0; n < 3; ++n) {
    if (SlgUnit* u = LiveUnitOfKind(82 + n); u != nullptr) {
      u->x = w.bases[static_cast<size_t>(n)].x + d.x;
      u->y = w.bases[static_cast<size_t>(n)].y + d.y;
    }
  }
  if (EventWait(kMap26FlyFrames) == 0) return 0;
  for (int32_t kind = 82; kind <= 84; ++kind) EventUndeployKind(kind);
  return 1;
}

constexpr auto kTamvikTalk = TalkList({{15, 45140}, {305, 10060}, {36, 20000}, {13, 45150}});
constexpr auto kFlyTalk = TalkList({{36, 3253}, {31, 3254}, {306, 3247}});
constexpr auto kAfterFly = TalkList({{32, 3223}});

// 26111's steps 10-16: the white flash, the fly-off, picture 238.
constexpr auto k111Ending = std::to_array<S::Op>({
    S::Messages(kTamvikTalk), S::Do(&TamvikAndBossGone),                 // 10
    S::ScrollPx(576, 224, 256), S::Wait(10), S::Do(&WhiteBack),          // 11
    S::Wait(180),                                                        // 12
    S::Messages(kFlyTalk), S::Do(&FlyBases),                             // 13
    S::Custom(&FlyOff, 2),                                               // 14
    S::Messages(kAfterFly), S::Do(&FinalSe400<2>),                       // 15
    S::WhiteOut(), S::Do(&FinalPicture<238>),                            // 16
});
constexpr auto k111Ops = JoinOps(JoinOps(MakeSceneOpening<kScene111>(), k111Ending), kEnding);

static_assert(S::Valid(k110Ops));
static_assert(S::Valid(k111Ops));
constexpr SeqArgs k110Args{k110Ops};
constexpr SeqArgs k111Args{k111Ops};

// ---- The table ----

constexpr auto kTable =
    FinalEventTable(26, 3, 5, {&k105Args, &k106Args, &k110Args, &k111Args});

// ---- The map's objects ----

// Kinds 80 and 81: the object's pattern (its character byte) looping, drawn where the boss
// stands (its map point as drawn on the ground) 8 depth steps in front of it.
constexpr EventAnmDesc kBossOverlayPlay{.start = EventAnmStart::kCharaLoop};
int BossOverlay(SlgUnit& unit, SlgPair& position) {
  if (unit.anm == nullptr) return 0;
  if (const SlgUnit* boss = Boss(); boss != nullptr) {
    position = Slg::PosToScreen({boss->x, boss->y});
    if (boss->anm != nullptr) unit.anm->depth = static_cast<int16_t>(boss->anm->depth - 8);
  }
  return RunEventAnm(kBossOverlayPlay, unit, position);
}
// Kinds 82-84: the entrance played once, then looping, following the object's position.
int FlyingObject(SlgUnit& unit, SlgPair& position) {
  return FinalTwoPartObject(unit, position);
}

constexpr std::array<SlgEventAnmHandler, kMap26ObjectKinds> kAnm = {
    &BossOverlay, &BossOverlay, &FlyingObject, &FlyingObject, &FlyingObject,
};

}  // namespace

const MapSetup kMap26Setup{.bgm = MapBgm::Play(26), .table = kTable.data(), .anm_table = kAnm};
