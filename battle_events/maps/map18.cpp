#include "battle_events/maps/map18.h"

#include <array>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_attack.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_sound.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/generic_rows.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/maps/kit/standard_talks.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "battle_events/runtime/event_script_helpers.h"
#include "battle_events/runtime/event_walks.h"
#include "engine/core/debug_trace.h"

Map18Words& Map18State() { return Battle().Extension<Map18Words>(); }

int32_t Map18Walker() { return Map18State().finale == 1 ? kMap18WalkerB : kMap18WalkerA; }

namespace {

namespace S = EventSeq;

constexpr uint32_t kBinAddress = 0x60C0000;
constexpr const char* kSeBank = "SEBE10.ALL";
constexpr const char* kFinaleBin = "EVS18105.BIN";
constexpr int32_t kCompanionKind = 80;
constexpr int32_t kFollowerKind = 84;

constexpr int32_t Fixed(int32_t px) { return px * 65536; }

// The progress of the running step made fresh for the next one.
int StepDone() {
  Map18Words& w = Map18State();
  w.phase = 0;
  w.frames = 0;
  return 1;
}

// ---- The route works ----

// The holder task owns the works in its first slots; its end frees them. It ends itself when
// asked to stop, forgetting itself in the map's words first.
void HoldRoutes(SlgEffectTask* t) {
  if (t->phase == kSlgPhaseStop) {
    Map18State().routes = nullptr;
    SlgTaskEnd(t);
  }
}

RouteWork* Route(int n) {
  SlgEffectTask* t = Map18State().routes;
  return t == nullptr ? nullptr : static_cast<RouteWork*>(t->owned[n]);
}

// The works made, tried again each frame until all exist (an allocation may be refused a while).
int AllocRoutes() {
  Map18Words& w = Map18State();
  if (w.routes == nullptr) {
    w.routes = SlgTaskCreate(SlgTaskOwner(), &HoldRoutes, "map 18 route works");
    if (w.routes == nullptr) return 0;
  }
  bool all = true;
  for (int n = 0; n < kMap18Routes; ++n) {
    if (w.routes->owned[n] == nullptr) w.routes->owned[n] = RouteWorkAlloc();
    all = all && w.routes->owned[n] != nullptr;
  }
  return all ? 1 : 0;
}

void FreeRoutes() {
  Map18Words& w = Map18State();
  if (w.routes == nullptr) return;
  SlgEffectTask* t = w.routes;
  w.routes = nullptr;
  SlgTaskEnd(t);
}

// ---- 18100: the opening ----

constexpr auto kOpeningTalk =
    TalkList({{11, 10000}, {11, 10001}, {137, 10002}, {74, 10003}, {209, 10004}, {155, 10005},
              {29, 10006}, {11, 10007}, {0, 10008}});
static_assert(std::tuple_size_v<decltype(kOpeningTalk)> == std::tuple_size_v<decltype(Map18Words::opening)>);
// The last entry's face by IMR (0-6); another value keeps the written face.
constexpr std::array<uint16_t, 7> kOpeningFaces = {0, 29, 74, 110, 155, 209, 137};

void OpeningDeploy() {
  EventDeployKind(kCompanionKind);
  EventDeployKind(kFollowerKind);
}
void OpeningFace() {
  Map18Words& w = Map18State();
  w.opening = kOpeningTalk;
  const int32_t f = CondIMR();
  if (f >= 0 && f < static_cast<int32_t>(kOpeningFaces.size())) {
    w.opening[w.opening.size() - 2].face = kOpeningFaces[static_cast<size_t>(f)];
  }
}
int OpeningList() { return EventMessageList(Map18State().opening); }

constexpr S::Op kOpening[] = {
    S::Do(&OpeningDeploy), S::FadeIn(),         S::Wait(90), S::ScrollPx(240, 720, 4),
    S::Wait(90),           S::Do(&OpeningFace), S::Custom(&OpeningList), S::End(),
};
static_assert(S::Valid(kOpening));
constexpr SeqArgs kOpeningArgs{kOpening};

// ---- The finale ----

SlgUnit* Walker() { return LivePartyUnit(Map18Walker()); }

void Pose(SlgUnit* unit, uint32_t dir) {
  if (unit == nullptr) return;
  Slg::SetUnitDir(*unit, dir);
  SetUnitState(*unit, 0);
}

// Step 2: the absent come back, everyone on their cell facing direction 0; the camera set.
void PlaceParty() {
  const bool swap = EventPartnerChara() == 6;
  for (int32_t c = 0; c < 7; ++c) {
    if (CondNP(c) != 0) EventRedeployKind(c + 7);
    SlgUnit* unit = LivePartyUnit(c);
    if (unit == nullptr) {
      DebugPrint("map 18 finale: character %d is not on the map: not placed\n", c);
      continue;
    }
    int32_t at = c;
    if (swap && (c == 1 || c == 6)) at = 7 - c;
    const Map18Point p = kMap18Cells[static_cast<size_t>(at)];
    EventPlaceUnitAt(unit, p.x, p.y, 0);
    Pose(unit, 0);
  }
  if (SlgUnit* w = Walker(); w != nullptr) EventLoadUnitExtraAnm(w);
  Slg::ScrollJumpTo({Fixed(1104 + 320), Fixed(344 + 240)});
}

void LoadSe() { EventLoadSeBank(kSeBank); }

// The walker's own walks on its route work; speed 0, the normal walk.
template <int X, int Y>
int WalkWalker() {
  return EventWalkObj(Route(kMap18WalkerRoute), Walker(), X, Y, 0);
}
template <uint32_t Dir>
void PoseWalker() {
  Pose(Walker(), Dir);
}

// The companion figure raised one phase.
void RaiseCompanion() {
  if (SlgUnit* u = LiveUnitOfKind(kCompanionKind); u != nullptr) {
    SetUnitState(*u, static_cast<uint8_t>(u->state + 1));
  } else {
    DebugPrint("map 18 finale: no companion figure to raise\n");
  }
}

// Step 4's end: every cell keeps its height alone (the low five bits), in both grids.
void ReduceCells() {
  for (uint32_t& c : Battle().cell_grid) c &= 0x1F;
  for (uint32_t& c : Battle().cell_grid2) c &= 0x1F;
}

// Step 5: the walk-in. The frame count starts with the step; character n of the order starts
// on frame 16 + 32 n and walks each frame on its own route work until it arrives.
int WalkIn() {
  Map18Words& w = Map18State();
  if (w.frames == 0) {
    w.started = 0;
    w.arrived = 0;
  }
  const int32_t frame = w.frames++;
  const auto count = static_cast<int32_t>(kMap18WalkOrder.size());
  while (w.started < count && frame >= kMap18WalkInFirst + kMap18WalkInGap * w.started) {
    ++w.started;
  }
  for (int32_t n = 0; n < w.started; ++n) {
    const int32_t c = kMap18WalkOrder[static_cast<size_t>(n)];
    if ((w.arrived & (1u << c)) != 0) continue;
    const Map18Point t = kMap18WalkTargets[static_cast<size_t>(c)];
    if (EventWalkObj(Route(c), LivePartyUnit(c), t.x, t.y, 0) != 0) w.arrived |= 1u << c;
  }
  if (w.started < count) return 0;
  for (int32_t c : kMap18WalkOrder) {
    if ((w.arrived & (1u << c)) == 0) return 0;
  }
  return StepDone();
}

void Figures() {
  EventLoadBin(kFinaleBin, kBinAddress);
  DeployKinds(85, 87);
  SlgSePlay(291);
}
void Standing() {
  DeployKinds(81, 83);
  for (int32_t c = 0; c < 7; ++c) Pose(LivePartyUnit(c), 2);
}
void FiguresGone() {
  UndeployKinds(85, 87);
  BGMPlayStart(29);
}
template <int N>
void ShowBg() {
  EventShowBG(N);
}
void FreeBg() { EventFreeBG(); }

// Step 8: the walker's action (state 5) after its extra animations.
void WalkerActs() {
  SlgUnit* w = Walker();
  if (w == nullptr) return;
  Pose(w, 0);
  EventLoadUnitExtraAnm(w);
  SetUnitState(*w, 5);
}
// Until the walker's state is 0 again (or it is missing, or the step's limit has passed).
int WalkerIdle() {
  SlgUnit* w = Walker();
  if (w == nullptr || w->state == 0) return StepDone();
  if (++Map18State().frames > kMap18StepLimit) {
    DebugPrint("map 18 finale: the walker's action did not end: going on\n");
    return StepDone();
  }
  return 0;
}

// Every party unit but character 6 and the walker taken off the map (the walker walks, strikes
// and is pushed back afterwards, so it stays even when it is not character 6).
void ClearParty() {
  for (int32_t c = 0; c < 7; ++c) {
    if (c == 6 || c == Map18Walker()) continue;
    if (SlgUnit* u = LivePartyUnit(c); u != nullptr) EventRemoveUnit(u);
  }
  RaiseCompanion();
}

void BossIn() {
  UndeployKinds(81, 83);
  SlgSePlay(297);
  EventLoadBin(kFinaleBin, kBinAddress);
  EventRedeployKind(kMap18BossKind);
  if (SlgUnit* b = LiveUnitOfKind(kMap18BossKind); b != nullptr) EventLoadUnitExtraAnm(b);
}

// Step 11: the walker strikes the boss (attack type 2); done once the walker's state is 0.
int WalkerStrikes() {
  Map18Words& w = Map18State();
  SlgUnit* walker = Walker();
  SlgUnit* boss = LiveUnitOfKind(kMap18BossKind);
  if (walker == nullptr || boss == nullptr) {
    if (w.phase == 1) EventAttackFinish(walker, boss);
    DebugPrint("map 18 finale: no walker or no boss: the strike is skipped\n");
    return StepDone();
  }
  if (w.phase == 0) {
    EventAttackPrepare(walker, boss, 2);
    EventLoadUnitExtraAnm(walker);
    EventAttackStart(walker, boss);
    w.phase = 1;
    return 0;
  }
  if (walker->state != 0 && ++w.frames <= kMap18StepLimit) return 0;
  EventAttackFinish(walker, boss);
  return StepDone();
}

// Step 12's start: the boss the actor, the walker its target.
void BossActs() {
  SlgUnit* boss = LiveUnitOfKind(kMap18BossKind);
  if (boss == nullptr) return;
  EventLoadUnitExtraAnm(boss);
}

int32_t Toward(int32_t from, int32_t to, int32_t v) { return to >= from ? v : -v; }

// Step 12: the boss acts on the walker; 63 frames in, the walker is pushed toward its cell
// while the camera shakes around the boss; when the boss is idle the camera rests on it.
int PushBack() {
  Map18Words& w = Map18State();
  SlgUnit* walker = Walker();
  SlgUnit* boss = LiveUnitOfKind(kMap18BossKind);
  if (walker == nullptr || boss == nullptr) {
    if (w.phase != 0) EventAttackFinish(boss, walker);
    DebugPrint("map 18 finale: no walker or no boss: the push-back is skipped\n");
    return StepDone();
  }
  if (w.phase == 0) {
    EventAttackPrepare(boss, walker, 0);
    EventAttackStart(boss, walker);
    w.phase = 1;
    w.pushed = false;
    w.shakes = 0;
    w.frames = 0;
    return 0;
  }
  const int32_t frame = ++w.frames;
  if (frame == kMap18PushSeDelay) {
    SlgSePlay(134);
    w.move_x = walker->x;
    w.move_y = walker->y;
    const int32_t tx = Fixed(kMap18PushX);
    const int32_t ty = Fixed(kMap18PushY);
    w.vel_x = Toward(w.move_x, tx, kMap18PushSpeed);
    w.vel_y = Toward(w.move_y, ty, kMap18PushSpeed);
    w.acc_x = Toward(w.move_x, tx, kMap18PushAccel);
    w.acc_y = Toward(w.move_y, ty, kMap18PushAccel);
    w.phase = 2;
  }
  if (w.phase == 2 && !w.pushed) {
    SlgPair point{w.move_x, w.move_y};
    SlgPair velocity{w.vel_x, w.vel_y};
    const SlgPair target{Fixed(kMap18PushX), Fixed(kMap18PushY)};
    const SlgPair acc{w.acc_x, w.acc_y};
    const int arrived = EventMoveToward(point, target, velocity, &acc);
    w.move_x = point.x;
    w.move_y = point.y;
    w.vel_x = velocity.x;
    w.vel_y = velocity.y;
    walker->x = point.x;
    walker->y = point.y;
    if (arrived != 0) {
      EventPlaceUnitAt(walker, kMap18PushX, kMap18PushY, walker->dir);
      SlgSePlay(135);
      w.pushed = true;
    }
  }
  const bool acting = boss->state != 0 && frame <= kMap18StepLimit;
  if (acting) {
    if (frame % kMap18ShakeEvery == 0 && w.shakes < kMap18ShakeMax) {
      const int32_t dx = (w.shakes % 2 == 0) ? kMap18ShakePx : -kMap18ShakePx;
      Slg::ScrollJumpTo({boss->x + Fixed(dx), boss->y});
      ++w.shakes;
    }
    return 0;
  }
  if (frame > kMap18StepLimit) DebugPrint("map 18 finale: the boss's action did not end: going on\n");
  Slg::ScrollJumpTo({boss->x, boss->y});
  if (!w.pushed && w.phase == 2 && frame <= kMap18StepLimit) return 0;
  if (!w.pushed) EventPlaceUnitAt(walker, kMap18PushX, kMap18PushY, walker->dir);
  EventAttackFinish(boss, walker);
  return StepDone();
}

void FiguresAround() {
  EventLoadSeBank(kSeBank);
  EventDeployKindNo(88, 1);
  EventDeployKindNo(88, 2);
}
void FigureCentre() {
  EventDeployKindNo(88, 0);
  SlgSePlay(292);
}

// Step 14: the unit (group 2, character 17) walks to the walker's old cell.
int BossWalks() {
  if (EventWalkUnit(Route(kMap18WalkerRoute), 2, kMap18BossCharacter, 1344, 664, 0) == 0) return 0;
  return 1;
}
template <int Flash>
void FlashIn() {
  EventDeployKind(Flash);
  SlgSePlay400(4);
}
template <int Flash>
void FiguresSwap() {
  for (int32_t n = 0; n <= 2; ++n) EventUndeployKindChara(88, n);
  EventUndeployKind(Flash);
  for (int32_t n = 0; n <= 2; ++n) EventDeployKindNo(90, n);
  SlgSePlay400(1);
}
void FiguresOut() {
  for (int32_t n = 0; n <= 2; ++n) EventUndeployKindChara(90, n);
}
template <int Picture>
void StillPicture() {
  LoadBG(Picture, 320, 240);
  HideUnflaggedUnits();
  EventUndeployKind(kFollowerKind);
  EventUndeployKind(kCompanionKind);
}

template <int Finale>
void Begin() {
  Map18Words& w = Map18State();
  w.finale = Finale;
  w.phase = 0;
  w.frames = 0;
}

// What the two finales do differently.
struct FinaleDesc {
  std::span<const EventMessageRef> talks[9];
  int32_t step6_wait;
};

constexpr auto kFinaleStart = TalkList({{11, 10009}, {11, 10010}});
constexpr auto k10020 = TalkList({{11, 10020}});
constexpr auto k1377 = TalkList({{292, 1377}});
constexpr auto k1378 = TalkList({{297, 1378}});
constexpr auto k1379 = TalkList({{302, 1379}});
constexpr auto k1380 = TalkList({{302, 1380}});
constexpr auto k10170 = TalkList({{295, 10170}});
constexpr auto k10175 = TalkList({{293, 10175}});
constexpr auto k3195 = TalkList({{293, 3195}});

constexpr auto kA1 = TalkList({{74, 10013}, {137, 10015}});
constexpr auto kA2 = TalkList({{114, 10045}, {78, 10050}, {294, 10055}, {299, 10060},
                               {304, 10065}, {213, 10070}, {31, 10075}, {139, 10080}});
constexpr auto kA3 = TalkList({{137, 10085}, {15, 10090}});
constexpr auto kA4 = TalkList({{139, 10095}, {139, 10100}, {139, 10105}, {11, 10110},
                               {110, 10115}, {15, 10120}, {112, 10125}, {11, 10130},
                               {138, 10135}});
constexpr auto kA5 = TalkList({{140, 10140}});
constexpr auto kA6 = TalkList({{139, 10145}, {299, 10150}, {139, 10155}, {294, 10160}});
constexpr auto kA7 = TalkList({{139, 10165}});
constexpr auto kA8 = TalkList({{144, 10180}, {144, 3193}, {144, 3194}, {144, 5000}});
constexpr auto kA9 = TalkList({{139, 3196}});

constexpr auto kB1 = TalkList({{74, 10013}, {29, 20000}});
constexpr auto kB2 = TalkList({{114, 10045}, {78, 10050}, {294, 10055}, {299, 10060},
                               {304, 10065}, {213, 10070}, {139, 20005}, {31, 20010}});
constexpr auto kB3 = TalkList({{29, 20015}, {15, 10090}});
constexpr auto kB4 = TalkList({{29, 20020}, {11, 20025}, {110, 20030}, {15, 10120},
                               {112, 10125}, {11, 20035}, {30, 20040}});
constexpr auto kB5 = TalkList({{32, 20045}});
constexpr auto kB6 = TalkList({{31, 20050}, {294, 10150}, {29, 20055}, {294, 10160}});
constexpr auto kB7 = TalkList({{31, 20060}});
constexpr auto kB8 = TalkList({{36, 20065}, {36, 3197}, {31, 3198}});
constexpr auto kB9 = TalkList({{31, 3200}});

constexpr FinaleDesc kFinaleA{{kA1, kA2, kA3, kA4, kA5, kA6, kA7, kA8, kA9}, 120};
constexpr FinaleDesc kFinaleB{{kB1, kB2, kB3, kB4, kB5, kB6, kB7, kB8, kB9}, 180};

// The finale as one program; `Finale` picks the walker, the talks, the wait, the flash kind
// and the picture.
template <int Finale>
constexpr auto MakeFinale() {
  constexpr const FinaleDesc& d = Finale == 0 ? kFinaleA : kFinaleB;
  constexpr int32_t walker = Finale == 0 ? kMap18WalkerA : kMap18WalkerB;
  constexpr int flash = Finale == 0 ? 89 : 91;
  constexpr int picture = Finale == 0 ? 242 : 238;
  return std::to_array<S::Op>({
      // 1
      S::Do(&Begin<Finale>), S::Custom(&AllocRoutes), S::Messages(kFinaleStart), S::FadeOut(),
      // 2, 3
      S::Do(&PlaceParty), S::Do(&LoadSe), S::FadeIn(), S::Messages(d.talks[0]),
      S::Custom(&WalkWalker<1640, 720>), S::Do(&PoseWalker<0>),
      // 4
      S::Wait(60), S::Se(289), S::Wait(60), S::Do(&RaiseCompanion), S::Se(301), S::Wait(120),
      S::Do(&ReduceCells),
      // 5
      S::Custom(&WalkIn),
      // 6
      S::Do(&Figures), S::Wait(60), S::Do(&Standing), S::Wait(d.step6_wait), S::Do(&FiguresGone),
      S::Wait(120),
      // 7
      S::Messages(k10020), S::Do(&ShowBg<208>), S::Messages(k1377), S::Do(&ShowBg<209>),
      S::Messages(k1378), S::Do(&ShowBg<210>), S::Messages(k1379), S::Do(&ShowBg<214>),
      S::Messages(k1380), S::Do(&FreeBg), S::Messages(d.talks[1]),
      // 8
      S::FocusUnit(0, walker), S::Do(&WalkerActs), S::Custom(&WalkerIdle), S::Se(135),
      S::Do(&LoadSe), S::Do(&RaiseCompanion), S::Se(299), S::Wait(120), S::Do(&ClearParty),
      // 9
      S::Pair(S::ScrollPx(1128, 384, 16), S::Custom(&WalkWalker<1448, 624>)),
      S::Do(&PoseWalker<2>), S::Messages(d.talks[2]), S::Wait(1), S::Se(290), S::Wait(48),
      S::Se(290), S::Wait(48), S::Se(290), S::Wait(48), S::Messages(d.talks[3]), S::Wait(240),
      S::Messages(d.talks[4]), S::Do(&BGMPlayStart, 17), S::Messages(d.talks[5]),
      // 10
      S::WhiteOut(), S::Do(&BossIn), S::WhiteIn(), S::Wait(60), S::Messages(d.talks[6]),
      // 11
      S::Pair(S::ScrollPx(1024, 424, 16), S::Custom(&WalkWalker<1344, 664>)),
      S::Custom(&WalkerStrikes), S::Wait(60), S::Messages(k10170),
      // 12
      S::Do(&BossActs), S::FocusUnit(2, kMap18BossCharacter), S::Custom(&PushBack),
      // 13
      S::Do(&FiguresAround), S::FocusUnit(0, walker), S::Se(300), S::FadeOutMusic(),
      S::Messages(k10175), S::Do(&FigureCentre), S::Wait(60), S::Messages(d.talks[7]),
      // 14
      S::Custom(&BossWalks), S::Messages(k3195), S::Do(&FlashIn<flash>), S::Custom(&SeStopped<18>),
      S::Messages(d.talks[8]),
      // 15
      S::Do(&FiguresSwap<flash>), S::Wait(60), S::WhiteOut(), S::Do(&FiguresOut),
      // 16
      S::Do(&StillPicture<picture>), S::Custom(&SeStopped<18>), S::Wait(10), S::WhiteIn(),
      S::Wait(300), S::WhiteOut(), S::Do(&FreeBg), S::WhiteIn(),
      // 17
      S::Do(&FreeRoutes), S::SwitchStage(22), S::End(),
  });
}

constexpr auto kFinaleAOps = MakeFinale<0>();
constexpr auto kFinaleBOps = MakeFinale<1>();
static_assert(S::Valid(kFinaleAOps));
static_assert(S::Valid(kFinaleBOps));
constexpr SeqArgs kFinaleAArgs{kFinaleAOps};
constexpr SeqArgs kFinaleBArgs{kFinaleBOps};

// ---- The table ----

constexpr auto kMad = TalkList({{233, 30000}});
constexpr TalkListArgs kMadArgs{kMad};

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 18100, .timing = 0x8000, .guard = {100, 0}, .set = {100, 0}, .handler = &SeqRow,
     .arg = &kOpeningArgs},
    {.id = 18105, .timing = 0x8000, .b = "NG(GZA)&(FAD(83)!=4);", .guard = {105, 0},
     .set = {105, 0}, .handler = &SeqRow, .arg = &kFinaleAArgs},
    {.id = 18106, .timing = 0x8000, .b = "NG(GZA)&(FAD(83)=4);", .guard = {105, 0},
     .set = {105, 0}, .handler = &SeqRow, .arg = &kFinaleBArgs},
    {.id = 18120, .timing = 0x2, .b = "M(MAD);", .guard = {120, 0}, .handler = &WaitTalkListRow,
     .arg = &kMadArgs},
});

// The standard pairs, but character 0's favourite pair 65535:0 and heroine 6's turn remarks
// with message 2134 in second place; the turn remarks run in the table's order (row 615 heroine
// 5's, row 616 heroine 6's).
constexpr GenericTalkSet kTalks = [] {
  GenericTalkSet t = StandardTalkPairs();
  t.favourite.references[0] = {65535, 0};
  t.favourite.references[1] = {65535, 0};
  t.char_talks[4].references[1] = {138, 2134};
  const CharTalkArgs slot4 = t.char_talks[4];
  t.char_talks[4] = t.char_talks[5];
  t.char_talks[5] = slot4;
  return t;
}();
constexpr uint8_t kMembers = kITV | kIDV | kILN | kIYS | kIBS | kITZ;
constexpr GenericDesc kGeneric{
    .talks = &kTalks,
    .falls = {.base = 500, .members = kMembers},
    .ref_talks = {.base = 520, .members = kMembers},
    .ref_talks2 = {.base = 530, .members = kMembers},
    .char_talks = {.base = 610,
                   .members = kMembers,
                   .b = {nullptr, nullptr, nullptr, nullptr, "PP(ITZ)&R(20);", "PP(IBS)&R(20);"}},
    .favourite_chance = 10,
    .favourite_c = "NP(IMR());"};

constexpr auto kTable = JoinRows(kStoryRows, GenericRows<kGeneric>());
static_assert(kTable.size() == 4 + 25 + 1);

// ---- The map's objects ----

// The screen position of the unit's cell point, the body drawn there in front of its depth.
void DrawAt(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  EventObjPlace(unit);
  position = EventObjScreenPos(unit);
  SetAnmPos(body, position);
  SlgSprSetPos(body->handle, position);
  SlgSprSetPri(body->handle, body->depth);
}

// Mirrored like the player's unit of kind 7 (the hero's body).
void MirrorLikeHero(SlgUnit& unit) {
  const SlgUnit* hero = LiveUnitOfKind(7);
  if (hero != nullptr && hero->anm != nullptr && unit.anm != nullptr) {
    unit.anm->attr = hero->anm->attr;
  }
}

// The companion figure (kind 80; the state byte its phase): it stands beside the walker. Phase
// 0 takes pattern 2; each phase the event raises plays its pattern once (odd phases pattern 0,
// even ones 1) and then rests on the pattern after it (3 after 0, 2 after 1).
int Companion(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr) return 0;
  Map18Words& w = Map18State();
  if (unit.state == 0 && unit.walk_state[0] == 0) {
    SetAnmPattern(body, 2);
    MirrorLikeHero(unit);
    unit.walk_state[0] = 1;
    unit.walk_state[1] = 0;
  }
  if (unit.state != unit.walk_state[1]) {
    unit.walk_state[1] = unit.state;
    if (unit.state != 0) {
      SetAnmPattern(body, unit.state % 2 == 1 ? 0 : 1);
      EventAnmReplay(unit, kSlgAnmOnce);
      unit.walk_state[2] = 1;
    }
  } else if (unit.walk_state[2] == 1 && SlgAnmObjIsEnd(body) != 0) {
    SetAnmPattern(body, unit.state % 2 == 1 ? 3 : 2);
    unit.walk_state[2] = 0;
  }
  if (const SlgUnit* walker = LivePartyUnit(w.routes != nullptr ? Map18Walker() : kMap18WalkerA);
      walker != nullptr) {
    unit.x = walker->x + Fixed(24);
    unit.y = walker->y;
  }
  DrawAt(unit, position);
  return 0;
}

// The follower (kind 84): pattern 0 at first, drawn where the companion figure is; its pattern
// moves on when the companion reaches phases 4 and 6.
int Follower(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr) return 0;
  if (unit.walk_state[0] == 0) {
    SetAnmPattern(body, 0);
    MirrorLikeHero(unit);
    unit.walk_state[0] = 1;
  }
  if (const SlgUnit* c = LiveUnitOfKind(kCompanionKind); c != nullptr) {
    if ((c->state == 4 || c->state == 6) && unit.state != c->state) {
      SetUnitState(unit, c->state);
      SetAnmPattern(body, static_cast<uint8_t>(c->state / 2 - 1));
    }
    unit.x = c->x;
    unit.y = c->y;
  }
  DrawAt(unit, position);
  return 0;
}

// The standing figure (kinds 81-83): phase 0 pattern 0 mirrored like the hero, its animation
// changed to 4, phase 1; phase 1 drawn at its position each frame; phase 2 releases it.
int Standing(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr) return 0;
  if (unit.state == 0) {
    SetAnmPattern(body, 0);
    MirrorLikeHero(unit);
    ChangeUnitAnm(unit, 4);
    SetUnitState(unit, 1);
  }
  if (unit.state == 1) DrawAt(unit, position);
  return 0;
}

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap18ObjectKinds> t{};
  auto set = [&](int first, int last, SlgEventAnmHandler h) {
    for (int k = first; k <= last; ++k) t[static_cast<size_t>(k - 80)] = h;
  };
  set(80, 80, &Companion);
  set(81, 83, &Standing);
  set(84, 84, &Follower);
  set(85, 87, EventAnmCellOnce);
  set(88, 88, EventAnmCellPosOnceFore);
  set(89, 89, EventAnmCellPosOnceFore2);
  set(90, 90, EventAnmCellOnce);
  set(91, 91, EventAnmCellPosOnceFore2);
  return t;
}();

}  // namespace

const MapSetup kMap18Setup{.bgm = MapBgm::Play(14), .table = kTable.data(), .anm_table = kAnm};
