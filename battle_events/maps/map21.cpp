#include "battle_events/maps/map21.h"

#include <array>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_sound.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/event_movie.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_steps.h"
#include "battle_events/event_units.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/runtime/effect_objects.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "engine/core/debug_trace.h"

Map21Words& Map21State() { return Battle().Extension<Map21Words>(); }

int32_t Map21NextFacing(int32_t facing, int32_t toward) {
  // Row: the unit's direction; column: the direction of its target.
  static constexpr std::array<std::array<int32_t, 4>, 4> kTurns = {{
      {0, 1, 1, 3},
      {0, 1, 2, 2},
      {1, 1, 2, 3},
      {0, 0, 2, 3},
  }};
  // UAJ answers 4 for two units that are not neighbours: there is no column for it, and the
  // unit stays as it is (so does one facing outside the table).
  if (facing < 0 || facing > 3 || toward < 0 || toward > 3) return facing;
  return kTurns[static_cast<size_t>(facing)][static_cast<size_t>(toward)];
}

namespace {

namespace S = EventSeq;

constexpr int32_t Fixed(int32_t px) { return px * 65536; }

// The load address of the openings' event data.
constexpr uint32_t kOpeningBinAddress = 0x60d0000;
// The hero, character 1 and character 4 (their kinds on this map are their numbers).
constexpr int32_t kHero = 0;
constexpr int32_t kChara1 = 1;
constexpr int32_t kChara4 = 4;
constexpr std::array<int32_t, 3> kCast = {kHero, kChara1, kChara4};
// The aura (kind 92) and the objects of the fixed sprites' two places.
constexpr int32_t kAuraKind = 92;
constexpr SlgPoint kSpriteAt[2] = {{-256, 0}, {-240, 480}};
// The objects each opening lights (five from the first: 80-84 for 21105, 85-89 for 21106),
// the frames between two lights and the aura's frames before the first.
constexpr int32_t kLights = 5;
constexpr int32_t kLightFrames = 8;
constexpr int32_t kAuraFrames = 180;
// The turning: the frames before each turn and once facing the target.
constexpr int32_t kTurnFrames = 4;
constexpr int32_t kFacedFrames = 30;
// The stage the decisive scene switches to.
constexpr int32_t kNextStage = 26;

// ---- 21105 and 21106: the openings ----

struct OpeningDesc {
  std::array<uint32_t, 2> sprites;  // the animations of fixed sprites A and B
  int32_t k1;                       // the object deployed first
  bool placed;                      // 21106: the cast's cells, directions and the camera set
  int32_t first_lit;                // the first of the five objects lit
};
constexpr OpeningDesc kOpeningSet{.sprites = {93, 96}, .k1 = 90, .placed = false, .first_lit = 80};
constexpr OpeningDesc kOpeningZero{.sprites = {95, 94}, .k1 = 91, .placed = true, .first_lit = 85};

void AddSprite(int n, uint32_t anm) {
  const SlgPoint at = kSpriteAt[n];
  const auto i = static_cast<size_t>(n);
  Map21Words& w = Map21State();
  w.sprites[i] = FixTaskAddOne(0, anm, Fixed(at.x), Fixed(at.y));
  w.sprite_anm[i] = w.sprites[i] != nullptr ? anm : 0;
}
// Sprite n removed (one the list no longer holds is left alone) and one of `anm` in its place.
void ExchangeSprite(int n, uint32_t anm) {
  SlgEffectTask*& kept = Map21State().sprites[static_cast<size_t>(n)];
  if (kept != nullptr) FixTaskRemove(kept);
  kept = nullptr;
  AddSprite(n, anm);
}

// 21106's placement: the cells the cast (and the aura) are made on, their directions and the
// camera's scroll position (20, 98).
void PlaceCast() {
  EventSetKindPlaceCell(kHero, 520, 408);
  EventSetKindPlaceCell(kChara1, 592, 424);
  EventSetKindPlaceCell(kChara4, 432, 304);
  EventSetKindPlaceCell(kAuraKind, 432, 304);
  for (int32_t c : kCast) EventRedeployKind(c);
  EventSetCharaDir(kHero, 3);
  EventSetCharaDir(kChara1, 3);
  EventSetCharaDir(kChara4, 1);
  Slg::ScrollJumpTo({Fixed(20 + 320), Fixed(98 + 240)});
}

template <const OpeningDesc& D>
void OpeningSetUp() {
  EventLoadBin("EVS21105.BIN", kOpeningBinAddress);
  AddSprite(0, D.sprites[0]);
  AddSprite(1, D.sprites[1]);
  EventDeployKind(D.k1);
  if (D.placed) {
    PlaceCast();
  } else {
    for (int32_t c : kCast) EventRedeployKind(c);
  }
  Slg::ResetCurrentUnit();
  EventLoadPcm("AURA.PCM");
}
// The sound is there at once (the loader loads nothing), so the aura follows on the same frame.
void AuraOn() {
  EventLoadPcm("AURA.PCM");
  EventSePlay(306);
  EventDeployKind(kAuraKind);
}
template <const OpeningDesc& D>
void AuraOff() {
  EventUndeployKind(kAuraKind);
  if (D.placed) EventLoadPcm("BUILDING.PCM");
  Map21Words& w = Map21State();
  w.lit = 0;
  w.lit_start = EffectNow();
}
// One object lit each time the frames since the aura ended, in eighths, pass the count lit
// (a late frame catches up one object a frame); done on the frame of the fifth.
template <const OpeningDesc& D>
int LightObjects() {
  Map21Words& w = Map21State();
  if (w.lit < kLights && EffectFrames(w.lit_start) / kLightFrames > w.lit) {
    SlgSePlay(135);
    EventDeployKind(D.first_lit + w.lit);
    ++w.lit;
  }
  return w.lit >= kLights ? 1 : 0;
}
// 21105: sprite B becomes 94 and the first object 90 gives way to 91.
void ExchangeSet() {
  ExchangeSprite(1, 94);
  EventUndeployKind(90);
  EventDeployKind(91);
}
// 21106: once "BUILDING.PCM" is there (at once), its sound and sprite A becomes 93.
void ExchangeZero() {
  EventLoadPcm("BUILDING.PCM");
  EventSePlay(307);
  ExchangeSprite(0, 93);
}
// The lit objects taken off, the last first.
template <const OpeningDesc& D>
void LitGone() {
  for (int32_t k = D.first_lit + kLights - 1; k >= D.first_lit; --k) EventUndeployKind(k);
}

constexpr auto kOpeningFirst = TalkList({{11, 10005}, {148, 10010}});
constexpr auto kOpeningLast = TalkList({{11, 10015}, {29, 10020}});

template <const OpeningDesc& D, void (*Exchange)()>
constexpr std::array<S::Op, 11> OpeningOps() {
  return {
      S::Do(&OpeningSetUp<D>),
      S::FadeIn(),
      S::Messages(kOpeningFirst),
      S::Do(&AuraOn),
      S::Wait(kAuraFrames),
      S::Do(&AuraOff<D>),
      S::Custom(&LightObjects<D>),
      S::Do(Exchange),
      S::Messages(kOpeningLast),
      S::Do(&LitGone<D>),
      S::End(),
  };
}
constexpr auto kOpening21105 = OpeningOps<kOpeningSet, &ExchangeSet>();
constexpr auto kOpening21106 = OpeningOps<kOpeningZero, &ExchangeZero>();
static_assert(S::Valid(kOpening21105));
static_assert(S::Valid(kOpening21106));
constexpr SeqArgs kOpening21105Args{kOpening21105};
constexpr SeqArgs kOpening21106Args{kOpening21106};

// ---- 21130: the decisive scene ----

// Who turns toward whom, in turn.
struct Turner {
  int32_t kind;
  int32_t target;
};
constexpr std::array<Turner, 3> kTurners = {{{kChara1, kChara4}, {kChara4, kHero}, {kHero, kChara4}}};

// Each unit looks at its target's direction (UAJ) and turns one step of the turn table at a time,
// 4 frames before each, then waits 30 frames once it faces the target. A target that is not a
// neighbour (UAJ 4: it moved or went between the check and this step) leaves the unit as it is,
// with the 30 frames only; a unit that is not on the map is passed over.
int TurnToFace() {
  Map21Words& w = Map21State();
  while (w.turner < static_cast<int32_t>(kTurners.size())) {
    const Turner& t = kTurners[static_cast<size_t>(w.turner)];
    switch (w.turn_phase) {
      case 0: {
        // The unit EventSetCharaDir turns: the player's unit of that character.
        const SlgUnit* unit = FindUnitByGroupKind(0, t.kind);
        if (unit == nullptr || !SlgUnitLive(*unit)) {
          DebugPrint("map 21: character %d is not on the map: it does not turn\n", t.kind);
          ++w.turner;
          continue;
        }
        const int32_t facing = unit->dir;
        w.turn_to = Map21NextFacing(facing, CondUAJ(0, t.kind, 0, t.target));
        w.turn_phase = w.turn_to != facing ? 1 : 2;
        continue;
      }
      case 1:
        if (EventWait(kTurnFrames) == 0) return 0;
        EventSetCharaDir(t.kind, static_cast<uint32_t>(w.turn_to));
        w.turn_phase = 0;
        continue;
      default:
        if (EventWait(kFacedFrames) == 0) return 0;
        w.turn_phase = 0;
        ++w.turner;
        continue;
    }
  }
  w.turner = 0;
  w.turn_phase = 0;
  return 1;
}

bool P80Positive() { return SlgGetMacroP(80) > 0; }
// SE 11 stopped.
void StopSe11() { SePlay(11, 2); }
int Movie() { return EventMoviePlay(0, 14); }
// The penalty of turning back, the first time only.
void PenaltyOnce() {
  Map21Words& w = Map21State();
  if (w.penalised != 0) return;
  w.penalised = 1;
  AddHeroineParam(kChara4, -5);
  SlgSePlay(21);
}

constexpr auto k10120 = TalkList({{29, 10120}, {29, 10125}, {153, 10130}});
constexpr auto k10150 = TalkList({{11, 10150}, {11, 10155}, {149, 10160}});
constexpr auto k10200 =
    TalkList({{13, 10200}, {150, 10205}, {11, 10210}, {149, 10215}, {149, 10220}});
constexpr auto k10235 = TalkList({{12, 10235}, {150, 10240}});
constexpr auto k10255 =
    TalkList({{12, 10255}, {30, 10260}, {30, 10265}, {149, 10270}, {11, 10275}});

enum Label : int32_t {
  kAccept = 4,
  kP80Set,
  kP80Said,
  kMovie,
  kHesitate,
  kTurnBack,
  kComeRound,
  kSilence,
  kDone,
};

constexpr S::Op kScene21130[] = {
    S::Custom(&TurnToFace),
    S::Messages(k10120),
    S::Custom(&EventReady),
    S::TimedChoice(10135, 180),
    S::Branch({{1, kAccept}, {2, kHesitate}}, kSilence),
    // She goes with the hero.
    S::Label(kAccept),
    S::Messages(k10150),
    S::If(&P80Positive, kP80Set),
    S::Message(11, 10170),
    S::Goto(kP80Said),
    S::Label(kP80Set),
    S::Message(11, 10165),
    S::Label(kP80Said),
    S::Message(150, 10180),
    S::AddHeroineParam(kChara4, 6),
    S::Se(20),
    S::Message(12, 10185),
    S::Message(147, 10190),
    S::AddHeroineParam(kChara4, 34),
    S::Se(20),
    S::FadeOutMusic(),
    S::Message(12, 10195),
    // The movie and the next stage.
    S::Label(kMovie),
    S::FadeOut(),
    S::Do(&StopSe11),
    S::Custom(&Movie),
    S::SwitchStage(kNextStage),
    S::Goto(kDone),
    // She hesitates: the second choice.
    S::Label(kHesitate),
    S::Messages(k10200),
    S::TimedChoice(10225, 180),
    S::Branch({{1, kTurnBack}, {2, kComeRound}}, kSilence),
    S::Label(kTurnBack),
    S::Messages(k10235),
    S::Message(148, 10245),
    S::Do(&PenaltyOnce),
    S::Message(15, 10250),
    S::Goto(kDone),
    S::Label(kComeRound),
    S::Messages(k10255),
    S::Message(147, 10280),
    S::AddHeroineParam(kChara4, 40),
    S::Se(20),
    S::FadeOutMusic(),
    S::Message(12, 10285),
    S::Goto(kMovie),
    S::Label(kSilence),
    S::Message(148, 10290),
    S::Label(kDone),
    S::End(),
};
static_assert(S::Valid(kScene21130));
constexpr SeqArgs kScene21130Args{kScene21130};

// ---- The small events ----

constexpr auto k10025 = TalkList({{148, 10025}});
constexpr auto k10030 = TalkList({{29, 10030}, {148, 10035}});
constexpr auto k10040 = TalkList({{11, 10040}, {148, 10045}});
constexpr auto k10050 = TalkList({{239, 10050}, {15, 10055}, {239, 10060}, {239, 10065},
                                  {239, 10070}, {239, 10075}, {14, 10080}, {239, 10095},
                                  {240, 10100}});
constexpr auto k10105 = TalkList({{11, 10105}, {29, 10110}});
constexpr auto k10115 = TalkList({{29, 10115}});
constexpr auto k10295 = TalkList({{239, 10295}});
constexpr auto k10300 = TalkList({{239, 10300}});
constexpr TalkListArgs k21107Args{k10025};
constexpr TalkListArgs k21110Args{k10030};
constexpr TalkListArgs k21115Args{k10040};
constexpr TalkListArgs k21125Args{k10050};
constexpr TalkListArgs k21127Args{k10105};
constexpr TalkListArgs k21128Args{k10115};
constexpr TalkListArgs k21135Args{k10295};
constexpr TalkListArgs k21136Args{k10300};

// ---- The table ----

// The hero and character 1 diagonally next to character 4 on opposite sides.
constexpr const char* kOppositeSides =
    "(((UAJ(GPL,UKD,GPL,UYS)=0)&(UAJ(GPL,UTV,GPL,UYS)=2))|"
    "((UAJ(GPL,UKD,GPL,UYS)=1)&(UAJ(GPL,UTV,GPL,UYS)=3))|"
    "((UAJ(GPL,UKD,GPL,UYS)=2)&(UAJ(GPL,UTV,GPL,UYS)=0))|"
    "((UAJ(GPL,UKD,GPL,UYS)=3)&(UAJ(GPL,UTV,GPL,UYS)=1)));";

constexpr SlgEventEntry kTable[] = {
    {.id = 21105, .timing = 0x8000, .b = "FAD(80) != 0;", .guard = {105, 0}, .set = {105, 0},
     .handler = &SeqRow, .arg = &kOpening21105Args},
    {.id = 21106, .timing = 0x8000, .b = "FAD(80) = 0;", .guard = {106, 0}, .set = {106, 0},
     .handler = &SeqRow, .arg = &kOpening21106Args},
    {.id = 21110, .timing = 0x4, .b = "PP(ITV)&(UAJ(GPL,UTV,GPL,UYS) != 4);", .guard = {125, 0},
     .set = {110, 0}, .handler = &TalkListRow, .arg = &k21110Args},
    {.id = 21115, .timing = 0x4, .b = "PP(IKD)&(UAJ(GPL,UKD,GPL,UYS) != 4);", .guard = {125, 0},
     .set = {115, 0}, .handler = &TalkListRow, .arg = &k21115Args},
    {.id = 21125, .timing = 0x8000, .a = "F(110)&F(115);", .c = "F(125);", .set = {125, 0},
     .handler = &TalkListRow, .arg = &k21125Args},
    {.id = 21127, .timing = 0x4, .a = "F(125);", .b = "PP(IKD)&(UAJ(GPL,UTV,GPL,UYS)=4);",
     .guard = {127, 0}, .set = {127, 0}, .handler = &TalkListRow, .arg = &k21127Args},
    {.id = 21128, .timing = 0x4, .a = "F(127);", .b = "PP(ITV)&(UAJ(GPL,UTV,GPL,UYS) != 4);",
     .handler = &TalkListRow, .arg = &k21128Args},
    {.id = 21130, .timing = 0x4, .a = "F(125);", .b = kOppositeSides, .handler = &SeqRow,
     .arg = &kScene21130Args},
    {.id = 21135, .timing = 0x2, .b = "M(MAD);", .guard = {125, 0}, .handler = &TalkListRow,
     .arg = &k21135Args},
    {.id = 21136, .timing = 0x2, .a = "F(125);", .b = "M(MAD);", .handler = &TalkListRow,
     .arg = &k21136Args},
    {.id = 21107, .timing = 0x8, .a = "(F(106)|F(105))&R(25);", .b = "PP(IYS);",
     .set = {107, 0}, .handler = &TalkListRow, .arg = &k21107Args},
    kEventTableEnd,
};

// ---- The map's objects ----

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap21ObjectKinds> t{};
  auto set = [&](int first, int last, SlgEventAnmHandler h) {
    for (int k = first; k <= last; ++k) t[static_cast<size_t>(k - 80)] = h;
  };
  set(80, 89, EventAnmHoldSnap);
  set(90, 91, EventAnmFixedDepth258);
  set(92, 92, EventAnmFixedDepth);
  set(93, 96, EventAnmFixedDepth259);
  return t;
}();

}  // namespace

const MapSetup kMap21Setup{.bgm = MapBgm::Play(12), .table = kTable, .anm_table = kAnm};
