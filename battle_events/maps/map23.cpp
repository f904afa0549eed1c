#include "battle_events/maps/map23.h"

#include <algorithm>
#include <array>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_attack.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_unit.h"
#include "battle_events/event_bg.h"
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
#include "battle_events/runtime/event_script_helpers.h"
#include "battle_events/runtime/event_walks.h"
#include "engine/core/debug_trace.h"

Map23Words& Map23State() { return Battle().Extension<Map23Words>(); }

// Rows by route kind: 1, 3, 4 and 5 alike, 2 with kinds 1 and 2 swapped, 6 with kind 6 in kind
// 1's place. Row 0 is never chosen.
const FinalStartCells kMap23StartCells = [] {
  const FinalCellRow common = {{{192, 296}, {140, 348}, {100, 320}, {240, 304}, {148, 324},
                                {192, 324}, {0, 0}}};
  FinalStartCells t{};
  t[0] = t[1] = t[3] = t[4] = t[5] = common;
  t[2] = common;
  std::swap(t[2][1], t[2][2]);
  t[6] = {{{192, 296}, {0, 0}, {100, 320}, {240, 304}, {148, 324}, {192, 324}, {140, 348}}};
  return t;
}();

const Map23Exits kMap23Exits105{
    {0, 3, 5, 4, 1, 2},
    {{{336, 224}, {380, 228}, {438, 180}, {408, 220}, {340, 228}, {384, 228}, {380, 228}}}};
const Map23Exits kMap23Exits106{
    {0, 3, 5, 4, 6, 2},
    {{{336, 224}, {438, 180}, {380, 228}, {408, 220}, {340, 228}, {384, 228}, {380, 228}}}};

namespace {

namespace S = EventSeq;

constexpr const char* kSeBank = "SEBE10.ALL";

FinalRouteWorks& Works() { return Map23State().routes; }
using Routes = FinalRoutes<&Works>;

SlgUnit* Guard() { return LiveUnitOfKind(kMap23GuardKind); }
SlgUnit* Companion() { return LivePartyUnit(Map23State().companion); }

// ---- 23105 / 23106: the party leaves ----

// What the two party scenes do differently.
struct PartyScene {
  const Map23Exits* exits;
  const char* bin;
};
constexpr PartyScene kParty105{&kMap23Exits105, "EVS23110.BIN"};
constexpr PartyScene kParty106{&kMap23Exits106, "EVS23111.BIN"};

// 23105's companion: kind 1 when the route kind is 2, else kind 2; 23106's: kind 2 when the route
// kind is 6, else kind 6 (its extra animations are kind 2's either way).
template <int Scene>
void PartyStart() {
  Map23Words& w = Map23State();
  const int32_t route = FinalRouteKind();
  int32_t extra = 0;
  if (Scene == 105) {
    w.companion = route == 2 ? 1 : 2;
    extra = w.companion;
  } else {
    w.companion = route == 6 ? 2 : 6;
    extra = 2;
  }
  EventRedeployKind(kMap23GuardKind);
  EventClearKindFlag(kMap23GuardKind, kShowFlag);
  if (SlgUnit* guard = Guard(); guard != nullptr) EventLoadUnitExtraAnm(guard);
  if (SlgUnit* c = LivePartyUnit(extra); c != nullptr) EventLoadUnitExtraAnm(c);
  EventBgmPlay(26);
  PlaceFinalParty(kMap23StartCells[static_cast<size_t>(route)], 2, w.party);
  Routes::Alloc();
  FinalPartyBg();
}

void LoadSe() { EventLoadSeBank(kSeBank); }
void PartyStands() { FinalPartyStands(Map23State().party); }
template <const PartyScene& Scene>
void LoadSceneBin() {
  EventLoadBin(Scene.bin, kEventBinAddress);
}

void ExitsBegin() {
  Map23Words& w = Map23State();
  ClearFinalWalkers(w.exits);
  w.exits.interval = kMap23ExitFirst;
  w.music_faded = 0;
}

// Step 11: when the interval's wait ends, the next kind of the order starts for its exit (the
// companion's turn only waits a frame); every walker steps and leaves the map on arrival. Done,
// with the music's fade, once the order is through and nobody walks.
template <const PartyScene& Scene>
int Exits() {
  Map23Words& w = Map23State();
  FinalWalkers& e = w.exits;
  const auto& order = Scene.exits->order;
  const auto count = static_cast<int32_t>(order.size());
  if (e.next < count && EventWait(e.interval) != 0) {
    const int32_t kind = order[static_cast<size_t>(e.next++)];
    if (kind == w.companion) {
      e.interval = kMap23ExitCompanion;
    } else {
      const FinalCell cell = Scene.exits->cells[static_cast<size_t>(kind)];
      StartFinalWalker(e, kind, cell.px(), cell.py());
      e.interval = kMap23ExitGap;
    }
  }
  const int32_t walking = StepFinalWalkers(e, w.routes, true);
  if (e.next < count || walking != 0) return 0;
  Eve::StartFadeOutMusic();
  w.music_faded = 1;
  return 1;
}

template <const PartyScene& Scene, const auto& Talk1, const auto& Talk2>
constexpr auto MakeParty() {
  return std::to_array<S::Op>({
      S::Do(Scene.exits == &kMap23Exits105 ? &PartyStart<105> : &PartyStart<106>),  // 0
      S::Do(&LoadSe), S::Do(&FinalPartyFlash),                                        // 1
      S::FadeIn(), S::WhiteOut(),                                                     // 2, 3
      S::Custom(&SeStopped<23>), S::Do(&PartyStands),                                // 4
      S::WhiteIn(), S::Do(&LoadSceneBin<Scene>), S::Wait(60),                         // 5-7
      S::Messages(Talk1), S::Wait(240), S::Messages(Talk2), S::Do(&ExitsBegin),       // 8-10
      S::Custom(&Exits<Scene>),                                                       // 11
      S::Do(&Routes::Free), S::End(),                                                 // 12
  });
}

constexpr auto k105Talk = TalkList({{14, 3201}, {158, 3202}, {32, 3203}, {113, 3204},
                                    {212, 3205}, {77, 3206}});
constexpr auto k106Talk = TalkList({{140, 3207}, {14, 3208}, {158, 3209}, {113, 3210},
                                    {213, 3211}, {77, 3212}});
constexpr auto kLeaveTalk = TalkList({{113, 40100}, {11, 40200}});

constexpr auto k105Ops = MakeParty<kParty105, k105Talk, kLeaveTalk>();
constexpr auto k106Ops = MakeParty<kParty106, k106Talk, kLeaveTalk>();
static_assert(S::Valid(k105Ops));
static_assert(S::Valid(k106Ops));
constexpr SeqArgs k105Args{k105Ops};
constexpr SeqArgs k106Args{k106Ops};

// ---- 23110 / 23111: the companion's stand ----

// What the two stands do differently.
struct StandScene {
  int32_t companion;
  const char* bin;
  int32_t figures;  // the objects around the guard (kind 80 or 86), then 81/87 and 82/88
  int32_t wall;     // the wall's first kind (83 or 89)
  int picture;
};
constexpr StandScene kStand110{2, "EVS23110.BIN", 80, 83, 239};
constexpr StandScene kStand111{1, "EVS23111.BIN", 86, 89, 238};

template <const StandScene& Scene>
void StandStart() {
  Map23State().companion = Scene.companion;
  Routes::Alloc<2>();
  EventLoadBin(Scene.bin, kEventBinAddress);
}

template <const StandScene& Scene>
int CompanionWalks() {
  return EventWalkUnit(Routes::At(0), 0, Scene.companion, 776, 384, 0);
}
void GuardShown() {
  EventSetKindFlag(kMap23GuardKind, kShowFlag);
  BGMPlayStart(17);
}
template <int X, int Y>
int WalkerWalks() {
  return EventWalkUnit(Routes::At(1), 2, kMap23WalkerCharacter, X, Y, 0);
}
void CompanionFaces() { PoseUnit(Companion(), 2); }

using CompanionStrikes = FinalAttack<&Companion, &Guard, 2>;
using GuardStrikes = FinalAttack<&Guard, &Companion, 0>;

// 23110 loads the sound bank first; 23111 does not.
template <const StandScene& Scene>
void FiguresIn() {
  if (Scene.figures == 80) LoadSe();
  for (int32_t n = 0; n <= 2; ++n) EventDeployKindNo(Scene.figures, n);
  SlgSePlay(292);
}
template <const StandScene& Scene>
void FiguresTurn() {
  for (int32_t n = 0; n <= 2; ++n) EventUndeployKindChara(Scene.figures, n);
  EventDeployKind(Scene.figures + 1);
  EventDeployKindNo(Scene.figures + 2, 0);
  EventDeployKindNo(Scene.figures + 2, 1);
  Eve::StartFadeOutMusic();
  SlgSePlay(305);
}

// The unit's show flag cleared and its sprite hidden.
void HideUnit(SlgUnit* unit) {
  if (unit == nullptr) return;
  unit->flags &= ~kShowFlag;
  if (unit->anm != nullptr) SlgAnmHide(unit->anm->handle);
}
void CompanionHidden() { HideUnit(Companion()); }

template <const StandScene& Scene>
void WallIn() {
  HideUnit(Guard());
  EventUndeployKind(Scene.figures + 1);
  EventUndeployKindChara(Scene.figures + 2, 0);
  EventUndeployKindChara(Scene.figures + 2, 1);
  for (int32_t n = 0; n < 3; ++n) EventDeployKind(Scene.wall + n);
  SlgWhiteOut(0);
  SlgSePlay(130);
}
void WhiteBack() {
  SlgWhiteIn(0);
  SlgSePlay(290);
}

// The wall's pieces (null where one is missing).
template <const StandScene& Scene>
std::array<SlgUnit*, 3> WallPieces() {
  return {LiveUnitOfKind(Scene.wall), LiveUnitOfKind(Scene.wall + 1),
          LiveUnitOfKind(Scene.wall + 2)};
}
template <const StandScene& Scene>
void StoreBases() {
  Map23Words& w = Map23State();
  const auto pieces = WallPieces<Scene>();
  for (size_t n = 0; n < pieces.size(); ++n) {
    if (pieces[n] != nullptr) w.bases[n] = {pieces[n]->x, pieces[n]->y};
  }
}
// The piece's animation clock started again (its frame count runs from 0).
void RestartClock(SlgUnit* unit) {
  if (unit != nullptr && unit->anm != nullptr) {
    unit->anm->start_time = EffectNow();
    unit->anm->frames = 0;
  }
}
int32_t PieceFrames(const SlgUnit& unit) {
  return unit.anm != nullptr ? std::max(unit.anm->frames, 0) : 0;
}

// An advance: each piece at its base + (48, 24) x its frames / 32 while the wait of 32 frames
// runs, then exactly at base + (48, 24), and the rumble stopped.
template <const StandScene& Scene>
int Advance() {
  Map23Words& w = Map23State();
  const auto pieces = WallPieces<Scene>();
  if (w.advance_phase == 0) {
    for (SlgUnit* p : pieces) RestartClock(p);
    w.advance_phase = 1;
  }
  const bool done = EventWait(kMap23AdvanceFrames) != 0;
  for (size_t n = 0; n < pieces.size(); ++n) {
    if (pieces[n] == nullptr) continue;
    const int32_t f = done ? kMap23AdvanceFrames : std::min(PieceFrames(*pieces[n]), kMap23AdvanceFrames);
    pieces[n]->x = w.bases[n].x + kMap23AdvanceX * 65536 / kMap23AdvanceFrames * f;
    pieces[n]->y = w.bases[n].y + kMap23AdvanceY * 65536 / kMap23AdvanceFrames * f;
  }
  if (!done) return 0;
  SePlay(294, 2);
  w.advance_phase = 0;
  return 1;
}
void FallBegin() { Map23State().fall_speed = kMap23FallStart; }

// The fall: the camera follows down at twice the speed; each piece back at its base, sunk by the
// speed for each frame of its animation; the speed grows by a quarter a frame up to 16 pixels.
// Once it is at 16 the white-out runs; when it has ended the wall goes and the picture shows.
template <const StandScene& Scene>
int Fall() {
  Map23Words& w = Map23State();
  const auto pieces = WallPieces<Scene>();
  if (w.fall_phase == 0) {
    for (SlgUnit* p : pieces) RestartClock(p);
    w.fall_phase = 1;
  }
  EventScroll(600 * 65536, 752 * 65536, 2 * w.fall_speed);
  for (size_t n = 0; n < pieces.size(); ++n) {
    if (pieces[n] == nullptr) continue;
    pieces[n]->x = w.bases[n].x;
    pieces[n]->y = static_cast<int32_t>(w.bases[n].y + int64_t{w.fall_speed} * PieceFrames(*pieces[n]));
  }
  if (w.fall_speed < kMap23FallMax) {
    w.fall_speed = std::min(w.fall_speed + w.fall_speed / 4, kMap23FallMax);
    return 0;
  }
  if (EventWhiteOut() == 0) return 0;
  w.fall_phase = 0;
  for (int32_t n = 0; n < 3; ++n) EventUndeployKind(Scene.wall + n);
  FinalShowPicture(Scene.picture);
  Battle().flags = (Battle().flags & ~0x02u) | 0x20u;
  HideUnflaggedUnits();
  return 1;
}

// The stand's lists, in the order the steps play them.
struct StandTalks {
  std::span<const EventMessageRef> arrival, strike, answer, figures, walker, advance1, advance2,
      advance3;
};

constexpr auto k110Arrival = TalkList({{74, 10000}});
constexpr auto k110Strike = TalkList({{299, 10010}, {76, 10020}});
constexpr auto kAnswer = TalkList({{299, 10030}});
constexpr auto k110Figures = TalkList({{81, 10040}});
constexpr auto kWalker = TalkList({{300, 10050}});
constexpr auto k110Advance1 = TalkList({{301, 3214}, {76, 3213}});
constexpr auto k110Advance2 = TalkList({{301, 3215}, {81, 3216}});
constexpr auto k110Advance3 = TalkList({{77, 3217}, {77, 3218}});
constexpr auto k111Arrival = TalkList({{31, 20000}});
constexpr auto k111Strike = TalkList({{299, 10010}, {31, 20010}});
constexpr auto k111Figures = TalkList({{36, 20020}});
constexpr auto k111Advance1 = TalkList({{301, 3214}, {31, 3219}});
constexpr auto k111Advance2 = TalkList({{301, 3215}, {31, 3222}});
constexpr auto k111Advance3 = TalkList({{32, 3223}});
constexpr StandTalks kTalks110{k110Arrival, k110Strike,   kAnswer,      k110Figures,
                               kWalker,     k110Advance1, k110Advance2, k110Advance3};
constexpr StandTalks kTalks111{k111Arrival, k111Strike,   kAnswer,      k111Figures,
                               kWalker,     k111Advance1, k111Advance2, k111Advance3};

template <const StandScene& Scene, const StandTalks& T>
constexpr auto MakeStand() {
  constexpr bool k110 = Scene.companion == 2;
  // 23111 scrolls during the wait of step 21.
  constexpr S::Op kStep21 = k110 ? S::Wait(120) : S::Pair(S::Wait(120), S::ScrollPx(452, 168, 16));
  return std::to_array<S::Op>({
      S::Do(&StandStart<Scene>),                                                     // 0, 1
      S::Pair(S::ScrollPx(480, 192, 6), S::Custom(&CompanionWalks<Scene>, 1)),       // 2
      S::Do(&GuardShown),
      S::Custom(&WalkerWalks<680, 432>, 2),                                          // 3
      S::Messages(T.arrival), S::Do(&CompanionFaces),                                // 4
      S::Wait(60),                                                                   // 5
      S::Messages(T.strike), S::Do(&CompanionStrikes::Prepare),                      // 6
      S::Do(&CompanionStrikes::LoadExtra), S::Do(&CompanionStrikes::Start),          // 7
      S::Custom(&CompanionStrikes::Finished, 3),                                     // 8
      S::Messages(T.answer), S::Do(&GuardStrikes::Prepare),                          // 9
      S::Do(&GuardStrikes::LoadExtra),                                               // 10
      S::ScrollPx(360, 192, 32), S::Do(&GuardStrikes::Start),                        // 11
      S::Custom(&GuardStrikes::Finished, 3),                                         // 12
      S::Do(&FiguresIn<Scene>),                                                      // 14
      S::Wait(60),                                                                   // 13
      S::Messages(T.figures), S::Do(&FiguresTurn<Scene>),                            // 15
      S::Wait(3), S::Do(&CompanionHidden),                                           // 16
      S::Wait(60), S::Messages(T.walker),                                            // 17, 18
      S::Pair(S::ScrollPx(456, 144, 8), S::Custom(&WalkerWalks<872, 432>, 2)),       // 19
      S::Do(&WallIn<Scene>),
      S::Wait(10), S::Do(&WhiteBack),                                                // 20
      kStep21,                                                                       // 21
      S::Messages(T.advance1), S::Se(294), S::Do(&StoreBases<Scene>),                // 22
      S::Pair(S::ScrollPx(504, 192, 2), S::Custom(&Advance<Scene>, 4)),              // 23
      S::Messages(T.advance2), S::Se(294), S::Do(&StoreBases<Scene>),                // 24
      S::Pair(S::ScrollPx(552, 216, 2), S::Custom(&Advance<Scene>, 4)),              // 25
      S::Messages(T.advance3), S::Do(&StoreBases<Scene>), S::Se(294),                // 26
      S::Pair(S::ScrollPx(600, 240, 2), S::Custom(&Advance<Scene>, 4)),              // 27
      S::Do(&FallBegin),
      S::Custom(&Fall<Scene>, 5),                                                    // 28
      S::WhiteIn(), S::Wait(300), S::WhiteOut(), S::Do(&FinalFreeBg), S::WhiteIn(),  // 29-32
      S::Do(&Routes::Free), S::SwitchStage(23), S::End(),                            // 33
  });
}

constexpr auto k110Ops = MakeStand<kStand110, kTalks110>();
constexpr auto k111Ops = MakeStand<kStand111, kTalks111>();
static_assert(S::Valid(k110Ops));
static_assert(S::Valid(k111Ops));
constexpr SeqArgs k110Args{k110Ops};
constexpr SeqArgs k111Args{k111Ops};

// ---- The table ----

constexpr auto kTable =
    FinalEventTable(23, 4, 2, {&k105Args, &k106Args, &k110Args, &k111Args});

// ---- The map's objects ----

// The companion overlay (82: 23110's companion, kind 2; 88: 23111's, kind 1): in front of the
// companion by 4 depth steps for sub-number 0, behind by 4 for sub-number 1; its pattern (the
// sub-number) played once at its position, as the shared pattern player does.
template <int32_t CompanionKind>
int Overlay(SlgUnit& unit, SlgPair& position) {
  if (unit.anm == nullptr) return 0;
  const SlgUnit* c = LivePartyUnit(CompanionKind);
  if (c != nullptr && c->anm != nullptr) {
    unit.anm->depth = static_cast<int16_t>(c->anm->depth + (unit.character == 0 ? 4 : -4));
  }
  return RunEventAnm(event_anm::kCellOnce, unit, position);
}

// A wall piece (kinds 83-85, 89-91): the two-part object at depth - its character byte + 80.
int16_t WallDepth(const SlgUnit& unit) {
  return static_cast<int16_t>(unit.anm->depth - unit.character + 80);
}
int WallPiece(SlgUnit& unit, SlgPair& position) {
  return FinalTwoPartObject(unit, position, &WallDepth);
}

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap23ObjectKinds> t{};
  for (int base : {80, 86}) {
    t[static_cast<size_t>(base - 80)] = EventAnmCellPosLoopFore;
    t[static_cast<size_t>(base - 80 + 1)] = EventAnmCellPosOnceFore;
    for (int k = base + 3; k <= base + 5; ++k) t[static_cast<size_t>(k - 80)] = &WallPiece;
  }
  t[82 - 80] = &Overlay<2>;
  t[88 - 80] = &Overlay<1>;
  return t;
}();

// ---- The ambient drift (fixed sprites) ----

constexpr uint32_t kDriftId = 1;
constexpr uint32_t kDriftAnm = 92;
constexpr int32_t kSqrt3 = 113511;  // the square root of 3, 16.16

SlgPoint VisibleCorner() {
  const SlgBattleState& s = Battle().state;
  return {s.scroll_x + s.scroll_offset_x, s.scroll_y + s.scroll_offset_y};
}
int32_t ClockFrame() { return EffectFrames(0); }

void WindTask(SlgEffectTask* /*task*/) { Map23WindStep(Map23State().wind); }

// Particle n (the task's first work word): stepped, (re)played on a restart, and drawn at its
// point less the visible area's centre.
void ParticleTask(SlgEffectTask* task) {
  FixTaskWork* work = FixTaskWorkOf(task);
  if (work == nullptr || FixTaskIsShown(*work) == 0) return;
  SlgAnmObj* obj = work->obj;
  if (obj == nullptr) return;
  Map23Words& w = Map23State();
  Map23Particle& p = w.particles[work->step_words[0] % kMap23Particles];
  const SlgPoint corner = VisibleCorner();
  if (Map23ParticleStep(p, w.wind, corner, ClockFrame()) && work->anm != nullptr) {
    obj->depth = kMap23ParticleDepth;
    SlgPlayAnm(work->anm, obj->pattern, obj, 4);
  }
  work->x = p.x;
  work->y = p.y;
  if (obj->handle == nullptr) return;
  SlgSprSetPri(obj->handle, obj->depth);
  SlgSprSetPos(obj->handle, {p.x - (corner.x + 320) * 65536, p.y - (corner.y + 240) * 65536});
}

void Drift() {
  for (uint32_t n = 0; n < kMap23Particles; ++n) {
    SlgEffectTask* task = FixTaskAdd(kDriftId, kDriftAnm, &ParticleTask, 0, 0);
    if (FixTaskWork* work = FixTaskWorkOf(task)) work->step_words[0] = n;
  }
  FixTaskAdd(kDriftId, kDriftAnm, &WindTask, 0, 0);
}

}  // namespace

void Map23WindStep(Map23Wind& wind) {
  switch (wind.state) {
    case 0:
      wind.speed = kMap23WindLow;
      wind.state = 3;
      break;
    case 1:
      wind.speed += kMap23WindStep;
      if (wind.speed >= kMap23WindHigh) {
        wind.speed = kMap23WindHigh;
        wind.hold = SlgRand() % 128;
        wind.state = 2;
      }
      break;
    case 2:
      if (--wind.hold < 0) wind.state = 3;
      break;
    case 3:
      wind.speed -= kMap23WindStep;
      if (wind.speed <= kMap23WindLow) {
        wind.speed = kMap23WindLow;
        wind.hold = SlgRand() % 16;
        wind.state = 4;
      }
      break;
    default:
      if (--wind.hold < 0) wind.state = 1;
      break;
  }
  const int32_t half = wind.speed / 2;
  wind.vector = {static_cast<int32_t>(int64_t{half} * kSqrt3 / 65536), half};
}

bool Map23ParticleStep(Map23Particle& p, const Map23Wind& wind, SlgPoint corner, int32_t frame) {
  const int32_t left = corner.x - kMap23FieldMargin;
  const int32_t top = corner.y - kMap23FieldMargin;
  if (p.running != 0) {
    const int32_t age = frame - p.start_frame;
    const int32_t px = p.x >> 16;
    const int32_t py = p.y >> 16;
    const bool inside = px >= left && px < corner.x + 640 + kMap23FieldMargin && py >= top &&
                        py < corner.y + 480 + kMap23FieldMargin;
    if (inside && age < kMap23History) {
      for (; p.recorded < age; ++p.recorded) {
        p.history[static_cast<size_t>(p.recorded)] = wind.vector;
        p.sum_x += wind.vector.x;
        p.sum_y += wind.vector.y;
      }
      p.x = static_cast<int32_t>(p.start_x - p.sum_x);
      p.y = static_cast<int32_t>(p.start_y - p.sum_y);
      return false;
    }
  }
  p.recorded = 0;
  p.sum_x = 0;
  p.sum_y = 0;
  p.start_x = (left + SlgRand() % kMap23StartRangeX) * 65536;
  p.start_y = (top + SlgRand() % kMap23StartRangeY) * 65536;
  p.x = p.start_x;
  p.y = p.start_y;
  p.start_frame = frame;
  p.running = 1;
  ++p.starts;
  return true;
}

const MapSetup kMap23Setup{.bgm = MapBgm::None(),
                           .table = kTable.data(),
                           .anm_table = kAnm,
                           .deferred = &Drift};
