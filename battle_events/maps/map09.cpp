#include "battle_events/maps/map09.h"

#include <array>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_units.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/maps/kit/replay_motion.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

Map09Words& Map09State() { return Battle().Extension<Map09Words>(); }

namespace {

namespace S = EventSeq;

constexpr const char* kSeBank = "SEBE07.ALL";
// The enemy's soldiers: kind 14, placement numbers 1-28 (x 256 in the removals).
constexpr int32_t kSoldierKind = 14;
// The speaker of message 3088 by favourite character 0-6.
constexpr std::array<int32_t, 7> kFaces = {0, 29, 74, 110, 155, 209, 137};

void LoadSeBank() { EventLoadSeBank(kSeBank); }
int LoadSeBankStep() { return EventLoadSeBank(kSeBank); }

// ---- 9120: the opening and the first arrival ----

constexpr auto k10000 = TalkList({{11, 10000}, {74, 3068}, {137, 3069}});
constexpr auto k3070 = TalkList(
    {{262, 3070}, {110, 3071}, {209, 3072}, {13, 10001}, {262, 3074}, {74, 3075}, {110, 3076}});

constexpr S::Op kOpening9120[] = {
    S::Do(&LoadSeBank), S::FadeIn(),
    S::Custom(&LoadSeBankStep),
    S::Messages(k10000), S::Wait(30),
    S::ScrollPx(160, 0, 2), S::Wait(30),
    S::DeployKind(80), S::Se(259), S::Wait(60),
    S::Messages(k3070), S::End(),
};
static_assert(S::Valid(kOpening9120));
constexpr SeqArgs kOpening9120Args{kOpening9120};

// ---- 9130: the party gathers ----

constexpr auto k3077 = TalkList({{260, 3077}, {239, 10003}});
constexpr auto k10004 = TalkList({{11, 10004}});
constexpr auto k10005 = TalkList({{262, 10005}});
constexpr auto k10006 = TalkList({{18, 10006}, {159, 10007}, {211, 10008}, {137, 10009}});

constexpr S::Op kGathering9130[] = {
    S::FadeOutMusic(), S::Wait(30), S::Messages(k3077), S::Wait(30),
    S::FocusUnit(0, 0), S::Wait(30), S::Messages(k10004), S::Wait(30),
    S::ScrollPx(160, 0, 2), S::Wait(30), S::Messages(k10005),
    S::Bgm(27), S::Wait(30), S::ScrollPx(1312, 680, 8), S::Wait(30),
    S::Messages(k10006), S::End(),
};
static_assert(S::Valid(kGathering9130));
constexpr SeqArgs kGathering9130Args{kGathering9130};

// ---- 9140: the choice ----

// The reward line of each favourite heroine and the heroine rewarded (favourite 1 takes heroine
// 2's line and reward).
struct Reward {
  std::array<EventMessageRef, 2> line;
  int32_t heroine;
};
constexpr std::array<Reward, 7> kRewards = {{
    {{{{74, 10020}, kEventMessageListEndRef}}, 2},
    {{{{74, 10020}, kEventMessageListEndRef}}, 2},
    {{{{74, 10020}, kEventMessageListEndRef}}, 2},
    {{{{110, 10021}, kEventMessageListEndRef}}, 3},
    {{{{155, 10022}, kEventMessageListEndRef}}, 4},
    {{{{209, 10023}, kEventMessageListEndRef}}, 5},
    {{{{137, 10024}, kEventMessageListEndRef}}, 6},
}};
const Reward& RewardOf(int32_t favourite) {
  return kRewards[favourite >= 0 && favourite <= 6 ? static_cast<size_t>(favourite) : 1];
}

void PickFavourite() { Map09State().favourite = GetFavouriteChara(); }
// The favourite's line, then her variables + 5 and SE 20.
int RewardLine() {
  const Reward& r = RewardOf(Map09State().favourite);
  if (EventMessageList(r.line) == 0) return 0;
  AddHeroineParam(r.heroine, 5);
  SlgSePlay(20);
  return 1;
}
bool FavouriteFive() { return Map09State().favourite == 5; }

constexpr auto k10010 = TalkList({{18, 10010}, {137, 10011}});
constexpr auto k10012 = TalkList(
    {{11, 10012}, {110, 10013}, {110, 10014}, {209, 10015}, {209, 10016}, {74, 10017}});
constexpr auto k10018 = TalkList({{11, 10018}, {11, 10019}});
constexpr auto k10025 = TalkList({{216, 10025}, {216, 10026}});
constexpr auto k10027 = TalkList({{81, 10027}, {81, 10028}});
constexpr auto k10029 = TalkList({{216, 10029}, {81, 10030}});

constexpr S::Op kChoice9140[] = {
    S::TurnPlayersTo(1000, 1000), S::Wait(30), S::FocusUnit(0, 0), S::Wait(30),
    S::Messages(k10010),
    S::TimedChoice(10110, 120),
    S::Branch({{1, 4}, {2, 5}}, 8),
    S::Label(4), S::Messages(k10012), S::Goto(9),
    S::Label(5), S::Messages(k10018), S::Do(&PickFavourite), S::Custom(&RewardLine),
    S::If(&FavouriteFive, 7),
    S::Messages(k10025), S::Goto(9),
    S::Label(7), S::Messages(k10027), S::Goto(9),
    S::Label(8), S::Messages(k10029),
    S::Label(9), S::End(),
};
static_assert(S::Valid(kChoice9140));
constexpr SeqArgs kChoice9140Args{kChoice9140};

// ---- 9160: the bombardment ----

void BombardmentStart() {
  Map09State().flash = {};
  EventLoadSeBank(kSeBank);
}
void LoadBin160() { EventLoadBin("EVS09160.BIN", kEventBinAddress); }
int LoadBin160Step() { return EventLoadBin("EVS09160.BIN", kEventBinAddress); }
void LoadShellSound() { EventLoadPcm("HOUGEKI.PCM"); }

// The flash before a volley: a white-in of 8, awaited, then one of 32, awaited. Its two phase
// bytes go back to 0 when it completes, so the second volley flashes as the first.
int Flash() {
  std::array<uint8_t, 2>& f = Map09State().flash;
  if (f[0] == 0) {
    SlgWhiteIn(256 / 32);
    f[0] = 1;
    return 0;
  }
  if (SlgIsFadeEnd() == 0) return 0;
  if (f[1] == 0) {
    SlgWhiteIn(256 / 8);
    f[1] = 1;
    return 0;
  }
  f = {};
  return 1;
}

// A volley: the shells (kind 81, character bytes first..last) with SE 135; the soldiers of those
// placement numbers removed after it.
void Shells(int32_t first, int32_t last) {
  for (int32_t n = first; n <= last; ++n) EventDeployKindNo(81, n);
  SlgSePlay(135);
}
void RemoveSoldiers(int32_t first, int32_t last) {
  for (int32_t n = first; n <= last; ++n) EventRemoveKindNo(kSoldierKind, n * 256);
}
void FirstShells() { Shells(1, 5); }
void FirstHits() { RemoveSoldiers(1, 5); }
void SecondShells() { Shells(6, 10); }
void SecondHits() { RemoveSoldiers(6, 10); }
void TheRestGone() {
  EventUndeployKind(81);
  RemoveSoldiers(11, 28);
}
void ShowBg8() { EventShowBG(8); }
void FreeBg() { EventFreeBG(); }

constexpr auto k10031 = TalkList({{78, 10031}, {15, 10032}});
constexpr auto k3086 = TalkList({{511, 3086}});
constexpr auto k10033 = TalkList({{15, 10033}});
constexpr auto k10034 = TalkList({{15, 10034}});

constexpr S::Op kBombardment9160[] = {
    S::Do(&BombardmentStart), S::Wait(30),
    S::Custom(&LoadSeBankStep), S::Se(261),
    S::Do(&LoadBin160), S::ScrollPx(1312, 680, 4), S::Custom(&LoadBin160Step),
    S::Wait(60), S::StopBgm(), S::Do(&LoadShellSound), S::EventSe(308),
    S::Custom(&Flash, 1), S::Do(&FirstShells), S::Wait(15), S::Do(&FirstHits), S::Wait(30),
    S::Messages(k10031), S::Messages(k3086),
    S::Custom(&Flash, 1), S::Do(&SecondShells), S::Wait(15), S::Do(&SecondHits),
    S::WhiteOut(), S::Do(&TheRestGone),
    S::Do(&ShowBg8), S::Bgm(16), S::WhiteIn(), S::Wait(30), S::Messages(k10033),
    S::Do(&FreeBg), S::Messages(k10034), S::End(),
};
static_assert(S::Valid(kBombardment9160));
constexpr SeqArgs kBombardment9160Args{kBombardment9160};

// ---- 9170: the second arrivals ----

int LoadBin170Step() { return EventLoadBin("EVS09170.BIN", kEventBinAddress); }
void Resume83() { EventResumeKindAnm(83); }
// The speaker of message 3088: the favourite heroine's face.
void PickFace() {
  const int32_t c = GetFavouriteChara();
  Map09State().face = kFaces[c >= 0 && c <= 6 ? static_cast<size_t>(c) : 1];
}
int Message3088() { return EventMessage(Map09State().face, 3088); }
// The seven player characters hidden, the arrivals gone.
void HideParty() {
  for (int32_t c = 0; c <= 6; ++c) EventClearKindFlag(c, kShowFlag);
  EventUndeployKind(83);
  EventUndeployKind(82);
}

constexpr auto k3081 = TalkList({{29, 3081}});
constexpr auto k3082 = TalkList({{74, 3082}, {29, 3083}, {110, 3084}, {29, 3085}});
constexpr auto k10035 = TalkList({{11, 10035}});

constexpr S::Op kArrivals9170[] = {
    S::Do(&LoadSeBank), S::Wait(30), S::Custom(&LoadSeBankStep),
    S::Custom(&LoadBin170Step), S::ScrollPx(768, 400, 4), S::Custom(&LoadBin170Step),
    S::Wait(30),
    S::DeployKind(82), S::Se(134), S::Wait(15), S::DeployKind(83), S::Wait(75),
    S::Messages(k3081), S::Wait(30), S::Se(131), S::Do(&Resume83), S::Wait(90),
    S::Messages(k3082), S::Wait(50), S::FocusUnit(0, 0), S::Wait(50),
    S::Messages(k10035), S::Do(&PickFace),
    S::Custom(&Message3088), S::FadeOutMusic(),
    S::FadeOut(), S::Do(&HideParty), S::End(),
};
static_assert(S::Valid(kArrivals9170));
constexpr SeqArgs kArrivals9170Args{kArrivals9170};

// ---- 9180: the victory ----

constexpr auto k3089 = TalkList({{262, 3089}});
constexpr S::Op kVictory9180[] = {
    S::ScrollPx(160, 0, 2), S::FadeIn(), S::Messages(k3089), S::StartGameWin(), S::End(),
};
static_assert(S::Valid(kVictory9180));
constexpr SeqArgs kVictory9180Args{kVictory9180};

// ---- The table ----

constexpr SlgEventEntry ChainRow(uint16_t id, const char* a, int16_t flag, const SeqArgs* args) {
  return {.id = id, .timing = 0x8000, .a = a, .guard = {flag, 0}, .set = {flag, 0},
          .handler = &SeqRow, .arg = args};
}

constexpr SlgEventEntry kTable[] = {
    ChainRow(9120, kNoEventCondition, 120, &kOpening9120Args),
    ChainRow(9130, "F(120);", 130, &kGathering9130Args),
    ChainRow(9140, "F(130);", 140, &kChoice9140Args),
    ChainRow(9160, "F(140);", 160, &kBombardment9160Args),
    ChainRow(9170, "F(160);", 170, &kArrivals9170Args),
    ChainRow(9180, "F(170);", 180, &kVictory9180Args),
    kEventTableEnd,
};

// ---- The warp-in (kind 80) ----

constexpr int32_t kWarpStartX = -2048;
constexpr int32_t kWarpStartY = 0x94000;
constexpr int32_t kWarpStartSpeed = 5632;
constexpr int32_t kWarpSpeedDrop = 512;

int WarpIn(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr) return 0;
  if (unit.state == 0) {
    SetAnmPattern(body, 1);
    body->mode = 0;
    ChangeUnitAnm(unit, 4);
    body->start_time = body->now;
    body->frames = 1;
    SetUnitState(unit, 1);
  }
  if (unit.state == 1) {
    const Map09Zoom zoom = Map09WarpZoom(body->frames);
    SlgPair at = position;
    at.y += SlgFxMul(zoom.y, -8 * 65536);
    unit.walk_state[0] = zoom.x;
    unit.walk_state[1] = zoom.y;
    if (body->handle != nullptr) {
      SlgSprSetPos(body->handle, at);
      SlgSprSetZoom(body->handle, {zoom.x, zoom.y});
      SlgSprSetPri(body->handle, body->depth);
    }
    if (zoom.arrived) SetUnitState(unit, 2);
    return 0;
  }
  body->attr = 0;
  if (body->handle != nullptr) SlgSprSetPos(body->handle, position);
  return 0;
}

// ---- The drifting particles ----

// The visible area's top-left corner in map pixels, as the fixed sprites place themselves.
SlgPoint VisibleCorner() {
  const SlgBattleState& s = Battle().state;
  return {s.scroll_x + s.scroll_offset_x, s.scroll_y + s.scroll_offset_y};
}

void ReleaseParticle(SlgAnmObj& obj) {
  if (HasScene() && obj.handle != nullptr) Scene().tamvik_spr.ReleaseAnm(&obj.handle);
}

// A particle of twin A (0) or B (1); its index is the task's first work word.
template <int Twin>
void Particle(SlgEffectTask* task) {
  FixTaskWork* work = FixTaskWorkOf(task);
  if (work == nullptr || FixTaskIsShown(*work) == 0) return;
  SlgAnmObj* obj = work->obj;
  if (obj == nullptr || work->anm == nullptr) return;
  Map09Words& w = Map09State();
  Map09Particle& p = w.particles[Twin][work->step_words[0] % kMap09Particles];
  const SlgPoint corner = VisibleCorner();
  if (p.running == 0) {
    p.history.Clear();
    p.start_x = (corner.x + SlgRand() % kMap09FieldWidth) * 65536;
    p.start_y = (corner.y + SlgRand() % kMap09FieldHeight) * 65536;
    p.speed = -4 * 65536 - SlgRand() % (4 * 65536);
    p.age = 0;
    p.running = 1;
    SlgPlayAnm(work->anm, obj->pattern, obj, 4);
  } else {
    ++p.age;
  }
  work->x = p.start_x + p.history.Replay(p.age, -2 * 65536, w.drift.value);
  work->y = p.start_y + p.speed * p.age;
  const int32_t x = work->x >> 16;
  const int32_t y = work->y >> 16;
  if (p.age >= kMap09ParticleLife || x < corner.x || x >= corner.x + kMap09FieldWidth ||
      y < corner.y || y >= corner.y + kMap09FieldHeight) {
    ReleaseParticle(*obj);
    p.running = 0;
    return;
  }
  obj->depth = kMap09ParticleDepth[Twin];
  if (obj->handle == nullptr) return;
  SlgSprSetPri(obj->handle, obj->depth);
  SlgSprSetPos(obj->handle, {work->x - (corner.x + 320) * 65536,
                             work->y - (corner.y + 240) * 65536});
}

void DriftController(SlgEffectTask* /*task*/) { StepDrift(Map09State().drift); }

void AddParticles() {
  for (int twin = 0; twin < 2; ++twin) {
    for (uint32_t i = 0; i < kMap09Particles; ++i) {
      SlgEffectTask* task = FixTaskAdd(static_cast<uint32_t>(2 + twin), kMap09ParticleAnm[twin],
                                       twin == 0 ? &Particle<0> : &Particle<1>, 0, 0);
      if (FixTaskWork* work = FixTaskWorkOf(task)) work->step_words[0] = i;
    }
  }
  FixTaskAdd(2, kMap09ParticleAnm[0], &DriftController, 0, 0);
}

constexpr std::array<SlgEventAnmHandler, kMap09ObjectKinds> kAnm = {
    &WarpIn, EventAnmOnceSnap, EventAnmOnceSnapFore, EventAnmHoldSnapHeldShadow};

}  // namespace

Map09Zoom Map09WarpZoom(int32_t frames) {
  struct Motion {
    int32_t x, y, speed;
  };
  Motion m{};
  const bool arrived =
      ReplayMotion(m, Motion{kWarpStartX, kWarpStartY, kWarpStartSpeed}, frames, [](Motion& s) {
        s.x += 2 * s.speed;
        s.y -= 16 * s.speed;
        s.speed -= kWarpSpeedDrop;
        return s.x >= 0x10000;
      });
  return {m.x, m.y, arrived};
}

const MapSetup kMap09Setup{.bgm = MapBgm::Play(5),
                           .table = kTable,
                           .anm_table = kAnm,
                           .deferred = &AddParticles};
