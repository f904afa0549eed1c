#include "battle_events/maps/map17.h"

#include <algorithm>
#include <array>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_check.h"
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
#include "battle_events/runtime/event_tone.h"
#include "engine/core/debug_trace.h"

Map17Words& Map17State() { return Battle().Extension<Map17Words>(); }

Map17Warp Map17WarpOut(Map17Warp from, int32_t frames) {
  for (int32_t n = 0; n < frames && from.zoom_x > 8192; ++n) {
    from.speed += 512;
    from.zoom_x -= 2 * from.speed;
    from.zoom_y += 16 * from.speed;
  }
  return from;
}

Map17Warp Map17WarpIn(Map17Warp from, int32_t frames) {
  for (int32_t n = 0; n < frames && from.zoom_x < 0x10000; ++n) {
    from.zoom_x += 2 * from.speed;
    from.zoom_y -= 16 * from.speed;
    from.speed -= 512;
  }
  return from;
}

int32_t Map17FadeAlpha(int32_t t) {
  if (t >= 31) return 0;
  return (31 - std::max<int32_t>(t, 0)) * 256 / 31;
}

namespace {

namespace S = EventSeq;

constexpr int32_t kPx = 65536;
constexpr const char* kSeBank = "SEBE09.ALL";
// The boss's reinforcements: kind 17, placement numbers 13-16.
constexpr int32_t kReinforcementKind = 17;
constexpr int32_t kShotKind = 89;
constexpr int32_t kFigureKind = 90;
constexpr int32_t kHitKind = 91;
constexpr int32_t kWarperKind = 87;
// The shot's flight takes 32 frames; the camera follows at 32 pixels a frame.
constexpr int32_t kFlightFrames = 32;

int32_t& Sync() { return Map17State().sync; }

// ---- The double flash: white out with SE 284, 4 frames, white in, 30 frames, then again with
// SE 288 ----

int DoubleFlash() {
  Map17Words& w = Map17State();
  switch (w.flash) {
    case 0:
    case 4:
      SlgWhiteOut(0);
      SlgSePlay(w.flash == 0 ? 284 : 288);
      w.flash_wait = 0;
      ++w.flash;
      return 0;
    case 1:
    case 5:
      if (++w.flash_wait >= 4) ++w.flash;
      return 0;
    case 2:
    case 6:
      SlgWhiteIn(0);
      w.flash_wait = 0;
      ++w.flash;
      return 0;
    case 3:
      if (++w.flash_wait >= 30) w.flash = 4;
      return 0;
    default:
      if (++w.flash_wait < 30) return 0;
      w.flash = 0;
      return 1;
  }
}

// ---- 17120: the opening ----

void OpeningStart() {
  for (int32_t k = 0; k <= 13; ++k) EventClearKindFlag(k, kShowFlag);
  DeployKinds(93, 97);
  EventLoadSeBank(kSeBank);
  EventLoadSeBank(kSeBank);
  EventLoadBin("EVS17120.BIN", kEventBinAddress);
  EventFadeIn();
}
void ShowBg210() { EventShowBG(210); }
void FreeBg() { EventFreeBG(); }
void LoadBuildingPcm() { EventLoadPcm("BUILDING.PCM"); }
void ArrivalFigures() {
  SlgSePlay(134);
  DeployKinds(80, 86);
}
// The party shows again, each member standing.
void PartyArrives() {
  for (int32_t c = 0; c <= 6; ++c) {
    EventSetKindFlag(c + 7, kShowFlag);
    if (SlgUnit* unit = FindUnitByGroupKind(0, c); unit != nullptr) SetUnitState(*unit, 0);
  }
}
void ArrivalFiguresGone() { UndeployKinds(80, 86); }

constexpr S::Op kOpening[] = {
    S::Do(&OpeningStart),
    S::Wait(60),
    S::Do(&ShowBg210),
    S::Message(305, 3173),
    S::Do(&FreeBg),
    S::Wait(30),
    // The first building.
    S::Custom(&DoubleFlash),
    S::ScrollPx(1240, 748, 16),
    S::DeployKind(98),
    S::Wait(30),
    S::DeployKind(99),
    S::Se(135),
    S::Wait(10),
    S::UndeployKind(98),
    S::UndeployKind(96),
    S::Wait(60),
    S::UndeployKind(99),
    // The second.
    S::Custom(&DoubleFlash),
    S::DeployKind(100),
    S::Wait(30),
    S::DeployKind(101),
    S::Se(135),
    S::Wait(10),
    S::UndeployKind(100),
    S::UndeployKind(97),
    S::Wait(60),
    // The third.
    S::Custom(&DoubleFlash),
    S::ScrollPx(1400, 720, 16),
    S::UndeployKind(101),
    S::DeployKind(102),
    S::Wait(30),
    S::DeployKind(103),
    S::Se(135),
    S::Wait(10),
    S::UndeployKind(102),
    S::UndeployKind(95),
    S::Wait(60),
    // The fourth, with its four bursts 8 frames apart.
    S::Custom(&DoubleFlash),
    S::Do(&LoadBuildingPcm),
    S::ScrollPx(1348, 608, 16),
    S::UndeployKind(103),
    S::DeployKind(104),
    S::Wait(30),
    S::DeployKind(105),
    S::Se(135),
    S::Wait(8),
    S::DeployKind(106),
    S::Se(135),
    S::Wait(8),
    S::DeployKind(107),
    S::Se(135),
    S::Wait(8),
    S::DeployKind(108),
    S::Se(135),
    S::Wait(10),
    S::EventSe(307),
    S::UndeployKind(104),
    S::UndeployKind(94),
    S::Wait(60),
    // The party arrives.
    S::Wait(60),
    S::ScrollPx(1408, 400, 8),
    S::UndeployKind(103),
    S::Wait(60),
    S::Do(&ArrivalFigures),
    S::Wait(15),
    S::Do(&PartyArrives),
    S::Message(11, 3163),
    S::Do(&ArrivalFiguresGone),
    S::Message(15, 10000),
    S::End(),
};
static_assert(S::Valid(kOpening));
constexpr SeqArgs kOpeningArgs{kOpening};

// ---- 17130: the warp and the shots ----

void WarpStart() {
  EventLoadBin("EVS17130.BIN", kEventBinAddress);
  Map17State().sync = kMap17Idle;
  EventDeployKind(kFigureKind);
  EventDeployKind(kWarperKind);
  EventLoadSeBank(kSeBank);
}
// The unit of kind 87 stands 192 pixels higher, once.
void RaiseWarper() {
  SlgUnit* unit = LiveUnitOfKind(kWarperKind);
  if (unit == nullptr) {
    DebugPrint("map 17 warp: no unit of kind %d to raise\n", kWarperKind);
    return;
  }
  if (unit->lift != 0) return;
  unit->lift += 192 * kPx;
  unit->y += 192 * kPx;
}
void ShowBg211() { EventShowBG(211); }
void LoadAura() { EventLoadPcm("AURA.PCM"); }
void SyncWarpOut() {
  Map17State().sync = kMap17WarpOut;
  SlgSePlay(279);
}
void SyncGoOn() {
  Map17State().sync = kMap17GoOn;
  SlgSePlay(280);
}
void SyncFade() { Map17State().sync = kMap17Fade; }
void Aura() {
  EventLoadSeBank(kSeBank);
  SlgSePlay(281);
  EventDeployKind(88);
}
// A unit's body on pattern 1, replayed.
void PatternOne(int32_t kind) {
  SlgUnit* unit = LiveUnitOfKind(kind);
  if (unit == nullptr || unit->anm == nullptr) {
    DebugPrint("map 17: no unit of kind %d to change\n", kind);
    return;
  }
  SetAnmPattern(unit->anm, 1);
  ChangeUnitAnm(*unit, 4);
}
void WarperTurns() {
  PatternOne(kWarperKind);
  EventUndeployKind(kFigureKind);
  EventUndeployKind(88);
}

SlgUnit* Shot() { return LiveUnitOfKind(kShotKind); }

void ShotAppears() {
  Map17Words& w = Map17State();
  w.shot_zoom = {};
  w.shot_frames = 0;
  EventDeployKind(kShotKind);
  EventSePlay(306);
}
void SecondShotAppears() {
  if (SlgUnit* shot = Shot(); shot != nullptr) {
    shot->x = 1008 * kPx;
    shot->y = 608 * kPx;
  }
  ShotAppears();
}
// The shot's zoom grows by 1/64 a frame up to 1.0.
int ShotGrows() {
  Map17Words& w = Map17State();
  ++w.shot_frames;
  const int32_t zoom = std::min<int32_t>(w.shot_frames << 10, 0x10000);
  w.shot_zoom = {zoom, zoom};
  return zoom >= 0x10000 ? 1 : 0;
}

// The flight's start from where the shot stands; the target, the hero 40 pixels up.
void FlightStart(bool aim) {
  Map17Words& w = Map17State();
  w.shot_frames = 0;
  if (const SlgUnit* shot = Shot(); shot != nullptr) w.shot_start = {shot->x, shot->y};
  if (!aim) return;
  const SlgUnit* hero = FindUnitByGroupKind(0, 0);
  if (hero == nullptr) {
    // No hero: the target is where the shot stands, so it hits at once.
    DebugPrint("map 17 shot: no hero to aim at: the shot hits at once\n");
    w.target = w.shot_start;
    w.velocity = {};
    return;
  }
  w.target = {hero->x, hero->y - 40 * kPx};
  w.velocity = {(w.target.x - w.shot_start.x) / kFlightFrames,
                (w.target.y - w.shot_start.y) / kFlightFrames};
  // A target a few 16.16 units to the right would give no speed and never be reached.
  if (w.velocity.x == 0 && w.target.x > w.shot_start.x) w.velocity.x = 1;
}
void AimFirstShot() { FlightStart(true); }
void AimSecondShot() { FlightStart(false); }

// Each frame the camera is sent toward the target and the shot placed along its flight; once its
// x has reached the target's, the hit (kind 91, SE 135). A second shot slower than the target's
// side never reaches it: with no speed to the right it hits at once.
int ShotFlies() {
  Map17Words& w = Map17State();
  ++w.shot_frames;
  EventScroll(w.target.x, w.target.y - 240 * kPx, 32 * kPx);
  SlgUnit* shot = Shot();
  int32_t x = w.shot_start.x + w.velocity.x * w.shot_frames;
  const int32_t y = w.shot_start.y + w.velocity.y * w.shot_frames;
  if (w.velocity.x <= 0 && x < w.target.x) x = w.target.x;
  if (shot != nullptr) {
    shot->x = x;
    shot->y = y;
  }
  if (x < w.target.x) return 0;
  EventDeployKind(kHitKind);
  SlgSePlay(135);
  return 1;
}
int ScrollToTarget() {
  const Map17Words& w = Map17State();
  return EventScroll(w.target.x, w.target.y - 240 * kPx, 16 * kPx);
}

constexpr auto k10001 = TalkList({{15, 10001}, {289, 3175}});
constexpr auto k10003 = TalkList({{18, 10003}, {33, 3179}});

constexpr S::Op kWarp[] = {
    S::Do(&WarpStart),
    S::Do(&RaiseWarper),
    S::ScrollPx(688, 384, 16),
    S::Wait(30),
    S::Do(&ShowBg211),
    S::Messages(k10001),
    S::Do(&FreeBg),
    S::ScrollPx(1408, 400, 16),
    S::Message(15, 10002),
    S::ScrollPx(688, 384, 16),
    S::Message(289, 3177),
    S::Do(&LoadAura),
    S::Do(&SyncWarpOut),
    S::HoldUntil(&Sync, kMap17WarpedOut, {kFigureKind}),
    S::Wait(30),
    S::Do(&SyncGoOn),
    S::HoldUntil(&Sync, kMap17WarpedIn, {kFigureKind}),
    S::Do(&SyncFade),
    S::HoldUntil(&Sync, kMap17Faded, {kFigureKind}),
    S::Do(&Aura),
    S::Wait(90),
    S::Do(&WarperTurns),
    // The first shot.
    S::Do(&ShotAppears),
    S::Custom(&ShotGrows),
    S::Wait(60),
    S::Do(&AimFirstShot),
    S::Custom(&ShotFlies),
    S::Wait(5),
    S::UndeployKind(kShotKind),
    S::Custom(&ScrollToTarget),
    S::Wait(60),
    S::UndeployKind(kHitKind),
    S::Messages(k10003),
    S::ScrollPx(688, 384, 16),
    S::Message(289, 3180),
    // The second, from (1008, 608) with the first one's velocity.
    S::Do(&SecondShotAppears),
    S::Custom(&ShotGrows),
    S::Wait(60),
    S::Do(&AimSecondShot),
    S::Custom(&ShotFlies),
    S::Wait(5),
    S::UndeployKind(kShotKind),
    S::Custom(&ScrollToTarget),
    S::Wait(60),
    S::UndeployKind(kHitKind),
    S::Message(18, 10004),
    S::End(),
};
static_assert(S::Valid(kWarp));
constexpr SeqArgs kWarpArgs{kWarp};

// ---- 17140: two lines ----

constexpr S::Op kLines[] = {
    S::ScrollPx(408, 88, 16),
    S::Message(304, 3182),
    S::ScrollPx(688, 384, 16),
    S::Message(289, 3183),
    S::End(),
};
static_assert(S::Valid(kLines));
constexpr SeqArgs kLinesArgs{kLines};

// ---- 17150: the reinforcements ----

void LoadSeBank() { EventLoadSeBank(kSeBank); }
// Kind 17 numbers 13-16 made again, each marked to be revealed.
void Reinforcements() {
  for (int32_t n = 13; n <= 16; ++n) {
    EventRedeployKindNo(kReinforcementKind, n << 8);
    EventMarkKindNo(kReinforcementKind, n << 8);
  }
  EventLoadSeBank(kSeBank);
}
constexpr std::array<uint8_t, 8> kRevealed = {17, 13, 17, 14, 17, 15, 17, 16};
int Reveal() { return EventRevealUnits(kRevealed.data(), 4); }
int WarperVanishes() {
  SlgUnit* unit = LiveUnitOfKind(kWarperKind);
  if (unit == nullptr) DebugPrint("map 17: no unit of kind %d to vanish\n", kWarperKind);
  return EventVanishUnit(unit);
}

constexpr S::Op kReinforcements[] = {
    S::Do(&LoadSeBank),
    S::ScrollPx(408, 88, 16),
    S::Message(303, 3184),
    S::Do(&Reinforcements),
    S::Custom(&Reveal),
    S::ScrollPx(408, 88, 16),
    S::Message(302, 3185),
    S::ScrollPx(688, 384, 16),
    S::Message(289, 3186),
    S::Custom(&WarperVanishes),
    S::UndeployKind(kWarperKind),
    S::End(),
};
static_assert(S::Valid(kReinforcements));
constexpr SeqArgs kReinforcementsArgs{kReinforcements};

// ---- 17155: the tour ----

void Bgm14() { BGMPlayStart(14); }
// The first unit of kind 7 keeps a third of its life.
void ThirdOfLife() {
  SlgUnit* unit = LiveUnitOfKind(7);
  if (unit == nullptr) {
    DebugPrint("map 17 tour: no unit of kind 7\n");
    return;
  }
  unit->stats.life = static_cast<int16_t>(unit->stats.life / 3);
}

constexpr auto k10012 = TalkList({{233, 10012}, {233, 10013}});
constexpr auto k10014 = TalkList({{233, 10014}, {11, 10015}});

constexpr S::Op kTour[] = {
    S::Do(&Bgm14),
    S::FocusUnit(0, 0),
    S::Messages(k10012),
    S::ScrollPx(1184, 368, 16),
    S::Wait(60),
    S::ScrollPx(516, 924, 16),
    S::Wait(60),
    S::ScrollPx(940, 1340, 16),
    S::Wait(60),
    S::FocusUnit(0, 0),
    S::Messages(k10014),
    S::Do(&ThirdOfLife),
    S::End(),
};
static_assert(S::Valid(kTour));
constexpr SeqArgs kTourArgs{kTour};

// ---- 17160: the figure of kind 109 ----

void Load17160() { EventLoadBin("EVS17160.BIN", kEventBinAddress); }
void Bgm16() { BGMPlayStart(16); }
void Figure109() {
  EventDeployKind(92);
  EventDeployKind(109);
  PatternOne(109);
}

constexpr S::Op kFigure[] = {
    S::FadeOutMusic(),
    S::ScrollPx(408, 88, 16),
    S::Do(&Load17160),
    S::Message(303, 3187),
    S::Do(&Bgm16),
    S::Wait(120),
    S::Se(30),
    S::Do(&Figure109),
    S::Wait(180),
    S::UndeployKind(92),
    S::UndeployKind(109),
    S::End(),
};
static_assert(S::Valid(kFigure));
constexpr SeqArgs kFigureArgs{kFigure};

// ---- 17170: the victory ----

int DestroyEnemies() { return EventDestroyEnemies(); }
constexpr auto k10006 = TalkList({{14, 10006}, {14, 10007}});

constexpr S::Op kVictory[] = {
    S::HoldUntil("F(198);", {}),
    S::Do(&EventDestroyEnemiesReset),
    S::Custom(&DestroyEnemies),
    S::FocusUnit(0, 0),
    S::FadeOutMusic(),
    S::Wait(60),
    S::Messages(k10006),
    S::StartGameWin(),
    S::End(),
};
static_assert(S::Valid(kVictory));
constexpr SeqArgs kVictoryArgs{kVictory};

// ---- 17410: the choice ----

// The first unit of kind 30 at full kiai, its attack total 17 (until the core works it out again).
void BossRestored() {
  SlgUnit* unit = LiveUnitOfKind(30);
  if (unit == nullptr) {
    DebugPrint("map 17 choice: no unit of kind 30 to restore\n");
    return;
  }
  unit->stats.kiai = static_cast<uint16_t>(unit->stats.max_kiai);
  unit->stats.total_attack = 17;
}

constexpr auto k60020 = TalkList({{11, 60020}, {303, 60030}});

constexpr S::Op kChoice[] = {
    S::Message(305, 60000),
    S::TimedChoice(60010, 120),
    S::Branch({{1, 1}}, 2),
    S::Label(1),
    S::Messages(k60020),
    S::Do(&BossRestored),
    S::Se(30),
    S::SetFlag(906),
    S::Message(303, 60040),
    S::Goto(9),
    S::Label(2),
    S::Message(304, 60050),
    S::Label(9),
    S::End(),
};
static_assert(S::Valid(kChoice));
constexpr SeqArgs kChoiceArgs{kChoice};

// ---- The table ----

constexpr auto k10009 = TalkList({{233, 10009}});
constexpr auto k10010 = TalkList({{233, 10010}});
constexpr auto k10011 = TalkList({{233, 10011}});
constexpr TalkListArgs k10009Args{k10009};
constexpr TalkListArgs k10010Args{k10010};
constexpr TalkListArgs k10011Args{k10011};

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 17120, .timing = 0x8000, .guard = {120, 0}, .set = {120, 0}, .handler = &SeqRow,
     .arg = &kOpeningArgs},
    {.id = 17130, .timing = 0x8000, .b = "F(120);", .guard = {130, 0}, .set = {130, 0},
     .handler = &SeqRow, .arg = &kWarpArgs},
    {.id = 17140, .timing = 0x8000, .b = "F(130);", .guard = {140, 0}, .set = {140, 0},
     .handler = &SeqRow, .arg = &kLinesArgs},
    {.id = 17150, .timing = 0x8000, .b = "F(140);", .guard = {150, 0}, .set = {150, 0},
     .handler = &SeqRow, .arg = &kReinforcementsArgs},
    {.id = 17155, .timing = 0x8000, .b = "F(150);", .guard = {155, 0}, .set = {155, 0},
     .handler = &SeqRow, .arg = &kTourArgs},
    {.id = 17160, .timing = 0x8000, .b = "NG(GZA)|F(199);", .guard = {160, 0}, .set = {160, 0},
     .handler = &SeqRow, .arg = &kFigureArgs},
    {.id = 17170, .timing = 0x8000, .b = "HGU(GBO,USF,0);", .guard = {170, 0}, .set = {170, 0},
     .handler = &SeqRow, .arg = &kVictoryArgs},
    {.id = 17180, .timing = 0x2, .b = "M(MAD);", .guard = {180, 160}, .set = {180, 0},
     .clear = {190, 0}, .handler = &TalkListRow, .arg = &k10009Args},
    {.id = 17190, .timing = 0x2, .b = "M(MAD);", .guard = {190, 160}, .set = {190, 0},
     .clear = {180, 0}, .handler = &TalkListRow, .arg = &k10010Args},
    {.id = 17200, .timing = 0x2, .a = "F(160);", .b = "M(MAD);", .handler = &TalkListRow,
     .arg = &k10011Args},
    {.id = 17410, .timing = 0x4, .b = "F(905);", .guard = {410, 0}, .set = {410, 0},
     .handler = &SeqRow, .arg = &kChoiceArgs},
});

constexpr uint8_t kAll = kITV | kIDV | kILN | kIYS | kIBS | kITZ;
// The standard pairs; the turn remarks list ITZ before IBS (slot 4's row is character 5's).
constexpr GenericTalkSet kTalks = [] {
  GenericTalkSet t = StandardTalkPairs();
  const CharTalkArgs slot4 = t.char_talks[4];
  t.char_talks[4] = t.char_talks[5];
  t.char_talks[5] = slot4;
  return t;
}();
constexpr GenericDesc kGeneric{
    .talks = &kTalks,
    .falls = {.base = 17500, .members = kAll},
    .ref_talks = {.base = 17520, .members = kAll},
    .ref_talks2 = {.base = 17530, .members = kAll},
    .char_talks = {.base = 17610,
                   .members = kAll,
                   .b = {nullptr, nullptr, nullptr, nullptr, "PP(ITZ)&R(20);", "PP(IBS)&R(20);"}},
    .favourite_c = "HP(IKD,0)|NP(IMR());"};

constexpr auto kTable = JoinRows(kStoryRows, GenericRows<kGeneric>());
static_assert(kTable.size() == 11 + 6 + 6 + 6 + 1 + 6 + 1);

// ---- The map's objects ----

// The shot: its body replayed each frame, drawn at its screen position with the scene's zoom
// pair, at its depth, half blended.
constexpr BlendWord kShotBlend = 0x10100;
int ShotObject(SlgUnit& unit, SlgPair& position) {
  if (unit.anm == nullptr) return 0;
  ChangeUnitAnm(unit, 4);
  if (unit.anm == nullptr || unit.anm->handle == nullptr) return 0;
  SlgSprSetPos(unit.anm->handle, position);
  SlgSprSetZoom(unit.anm->handle, Map17State().shot_zoom);
  SlgSprSetPri(unit.anm->handle, unit.anm->depth);
  SlgSprSetAlpha(unit.anm, kShotBlend);
  return 0;
}

// The warping figure's phases (its state byte).
enum FigurePhase : uint8_t {
  kFigureSetUp = 0,
  kFigureStands = 1,
  kFigureWarpsOut = 2,
  kFigureWaits = 3,
  kFigureMoves = 4,
  kFigureWarpsIn = 5,
  kFigureShown = 6,
  kFigureFadeStart = 7,
  kFigureFading = 8,
  kFigureFaded = 9,
  kFigureEnded = 10,
};
constexpr uint16_t kFigureShade = 24576;

// Frames since the figure's run began, on its body's clock (a figure without a body runs each
// phase to its end at once, so the scene waiting on it goes on).
int32_t FigureFrames(const SlgUnit& unit) {
  if (unit.anm == nullptr) return 1 << 16;
  return unit.anm->frames - Map17State().figure_start;
}
void FigureSave(const SlgUnit& unit) {
  Map17Words& w = Map17State();
  w.figure_saved = w.figure;
  w.figure_start = unit.anm != nullptr ? unit.anm->frames : 0;
}

int WarpingFigure(SlgUnit& unit, SlgPair& position) {
  Map17Words& w = Map17State();
  switch (unit.state) {
    case kFigureSetUp:
      if (unit.anm != nullptr) SetAnmPattern(unit.anm, 0);
      unit.lift += 288 * kPx;
      unit.y += 288 * kPx;
      ChangeUnitAnm(unit, 4);
      w.figure = {};
      unit.state = kFigureStands;
      break;
    case kFigureStands:
      if (w.sync == kMap17WarpOut) {
        FigureSave(unit);
        unit.state = kFigureWarpsOut;
      }
      break;
    case kFigureWarpsOut:
      w.figure = Map17WarpOut(w.figure_saved, FigureFrames(unit));
      if (w.figure.zoom_x <= 8192) {
        w.sync = kMap17WarpedOut;
        unit.state = kFigureWaits;
      }
      break;
    case kFigureWaits:
      if (w.sync == kMap17GoOn) unit.state = kFigureMoves;
      break;
    case kFigureMoves:
      unit.x = 960 * kPx;
      unit.y = unit.lift + 504 * kPx;
      FigureSave(unit);
      unit.state = kFigureWarpsIn;
      break;
    case kFigureWarpsIn:
      w.figure = Map17WarpIn(w.figure_saved, FigureFrames(unit));
      if (w.figure.zoom_x >= 0x10000) {
        w.sync = kMap17WarpedIn;
        unit.state = kFigureShown;
      }
      break;
    case kFigureShown:
      if (unit.anm != nullptr) unit.anm->shade = w.sync == kMap17Fade ? kFigureShade : 0;
      if (w.sync == kMap17Fade) unit.state = kFigureFadeStart;
      break;
    case kFigureFadeStart:
      if (unit.anm != nullptr) unit.anm->shade = kFigureShade;
      FigureSave(unit);
      unit.state = kFigureFading;
      break;
    case kFigureFading: {
      const int32_t t = FigureFrames(unit);
      if (unit.anm != nullptr) SlgSprSetAlpha(unit.anm, static_cast<BlendWord>(Map17FadeAlpha(t)));
      if (t >= 31) unit.state = kFigureFaded;
      break;
    }
    case kFigureFaded:
      if (unit.anm != nullptr) unit.anm->shade = 0;
      w.sync = kMap17Faded;
      unit.state = kFigureEnded;
      break;
    default:
      break;
  }
  if (unit.anm == nullptr || unit.anm->handle == nullptr || unit.state >= kFigureEnded) return 0;
  const SlgPair at{position.x, position.y + SlgFxMul(w.figure.zoom_y, -8 * kPx)};
  SlgSprSetPos(unit.anm->handle, at);
  SlgSprSetZoom(unit.anm->handle, SlgPair{w.figure.zoom_x, w.figure.zoom_y});
  SlgSprSetPri(unit.anm->handle, unit.anm->depth);
  return 0;
}

constexpr EventAnmDesc kOnceFore{.depth_rule = EventAnmDepth::kOffset, .depth = -1,
                                 .release_at_end = true};
constexpr EventAnmDesc kWarperLoop{.start = EventAnmStart::kCharaLoop,
                                   .snap = EventAnmSnap::kObject};
constexpr EventAnmDesc kOnceFront{.depth_rule = EventAnmDepth::kFixed,
                                  .depth = kEventAnmFrontDepth, .release_at_end = true};
constexpr EventAnmDesc kOnceDepth112{.depth_rule = EventAnmDepth::kOffset, .depth = 112,
                                     .release_at_end = true};

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap17ObjectKinds> t{};
  auto set = [&](int first, int last, SlgEventAnmHandler h) {
    for (int k = first; k <= last; ++k) t[static_cast<size_t>(k - 80)] = h;
  };
  set(80, 86, &EventAnmHandlerOf<kOnceFore>);
  set(87, 87, &EventAnmHandlerOf<kWarperLoop>);
  set(88, 88, &EventAnmHandlerOf<kOnceFront>);
  set(89, 89, &ShotObject);
  set(90, 90, &WarpingFigure);
  set(91, 91, EventAnmOnce);
  set(92, 92, &EventAnmHandlerOf<kOnceDepth112>);
  set(93, 93, EventAnmFixedDepth259);
  set(94, 94, EventAnmFixedDepth258);
  set(95, 97, EventAnmPattern0);
  set(98, 108, EventAnmOnce);
  set(109, 109, &EventAnmHandlerOf<kOnceFore>);
  return t;
}();

}  // namespace

const MapSetup kMap17Setup{.bgm = MapBgm::Play(22), .table = kTable.data(), .anm_table = kAnm};
