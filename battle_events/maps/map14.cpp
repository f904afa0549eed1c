#include "battle_events/maps/map14.h"

#include <algorithm>
#include <array>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_sound.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_check.h"
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
#include "battle_events/runtime/event_tone.h"
#include "battle_events/runtime/generic_scenes.h"
#include "engine/core/debug_trace.h"

Map14Words& Map14State() { return Battle().Extension<Map14Words>(); }

namespace {

namespace S = EventSeq;

constexpr int32_t kFullZoom = 0x10000;
// The party's kinds (character + 7).
constexpr int32_t kFirstPartyKind = 7;
constexpr int32_t kLastPartyKind = 13;
// The squeezing figure of the opening: kind 95, character 1.
constexpr int32_t kFigureKind = 95;
constexpr int32_t kFigureCharacter = 1;
// The zoom the figure reappears with, and the frames it is held after its fade.
constexpr SlgPair kReappearZoom = {4096, 0x50000};
constexpr int32_t kFadeHoldFrames = 3;

// ---- The squeeze-teleport figure (kinds 80 and 95) ----

void DrawFigure(SlgAnmObj* body, const SlgPair& position, const SlgPair& zoom) {
  const SlgPair raised = {position.x, position.y - 4 * zoom.y};
  SetAnmPos(body, raised);
  SlgSprSetPos(body->handle, raised);
  SlgSprSetZoom(body->handle, zoom);
}

void RestartClock(SlgAnmObj* body) {
  body->start_time = body->now;
  body->frames = 0;
}

// The phase is the unit's state byte. 0: pattern 0, standing animation; 1: follows its screen
// position. 2 (raised by the opening): squeezes (x shrinks by 1/16 a frame, y grows by 1/4) until
// x is gone, then it is put on (1408, 376) flat and tall and grows back (4) to full width and
// stands (5). 6 (raised again): under tone control, faded to level 31, held 3 frames, done (9).
int SqueezeTeleport(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr) return 0;
  Map14Words& w = Map14State();
  switch (unit.state) {
    case 0:
      SetAnmPattern(body, 0);
      body->mode = 0;
      ChangeUnitAnm(unit, 4);
      SetUnitState(unit, 1);
      [[fallthrough]];
    case 1:
      SetAnmPos(body, position);
      SlgSprSetPos(body->handle, position);
      break;
    case kMap14SqueezeStart:
      w.zoom = {kFullZoom, kFullZoom};
      w.saved = w.zoom;
      RestartClock(body);
      SlgSePlay(270);
      SetUnitState(unit, kMap14Squeezing);
      break;
    case kMap14Squeezing: {
      const int32_t t = std::max(body->frames, 0);
      w.zoom = {w.saved.x - t * 0x1000, w.saved.y + t * 0x4000};
      if (w.zoom.x < 1) {
        w.zoom = kReappearZoom;
        unit.x = kMap14TeleportX * 65536;
        unit.y = kMap14TeleportY * 65536;
        position = Slg::PosToScreen({unit.x, unit.y});
        SlgSePlay(271);
        w.saved = w.zoom;
        RestartClock(body);
        SetUnitState(unit, kMap14Growing);
      }
      DrawFigure(body, position, w.zoom);
      break;
    }
    case kMap14Growing: {
      const int32_t t = std::max(body->frames, 0);
      w.zoom = {w.saved.x + t * 0x1000, w.saved.y - t * 0x4000};
      if (w.zoom.x >= kFullZoom) {
        // A late frame (the clock jumped) does not draw it wider than it is.
        w.zoom.x = kFullZoom;
        SetAnmPattern(body, 0);
        ChangeUnitAnm(unit, 4);
        SetUnitState(unit, kMap14Standing);
      }
      DrawFigure(body, position, w.zoom);
      break;
    }
    case kMap14FadeStart:
      body->shade = kToneShade;
      SetUnitState(unit, kMap14Fading);
      [[fallthrough]];
    case kMap14Fading:
      if (EventToneChange(0, 31, 2) != 0) {
        RestartClock(body);
        SetUnitState(unit, kMap14FadeHold);
      }
      break;
    case kMap14FadeHold:
      if (body->frames >= kFadeHoldFrames) SetUnitState(unit, kMap14FadeDone);
      break;
    default: break;
  }
  return 0;
}

// ---- 14100: the opening ----

void HideParty() {
  EventLoadBin("EVS14100.BIN", kEventBinAddress);
  for (int32_t k = kFirstPartyKind; k <= kLastPartyKind; ++k) EventClearKindFlag(k, kShowFlag);
}

void GuardAtPost() {
  EventLoadKindNoExtraAnm(17, 512);
  EventSetKindNoState(17, 512, 5);
}

int ShowBg208() {
  EventShowBG(208);
  return 1;
}

void Arrivals() {
  EventUndeployKind(80);
  EventLoadSeBank("SEBE08.ALL");
  EventLoadBin("EVS14101.BIN", kEventBinAddress);
  DeployKinds(81, 87);
  EventDeployKind(kFigureKind);
  SlgSePlay(134);
}

void HeldFigures() { DeployKinds(88, 94); }

void HeldFiguresResumed() {
  for (int32_t k = 88; k <= 94; ++k) EventResumeKindAnm(k);
  SlgSePlay(131);
}

void ArrivalsGone() { UndeployKinds(81, 87); }

// The figure raised one phase; a stage without it skips the raise.
void RaiseFigure() {
  SlgUnit* figure = FindUnitByKindChara(kFigureKind, kFigureCharacter);
  if (figure == nullptr || !SlgUnitLive(*figure)) {
    DebugPrint("map 14 opening: no figure of kind %d character %d\n", kFigureKind,
               kFigureCharacter);
    return;
  }
  SetUnitState(*figure, static_cast<uint8_t>(figure->state + 1));
}

void PartyShown() {
  UndeployKinds(88, 95);
  for (int32_t k = kFirstPartyKind; k <= kLastPartyKind; ++k) EventSetKindFlag(k, kShowFlag);
}

constexpr auto k3151 = TalkList({{295, 3151}});
constexpr auto k10000 = TalkList({{11, 10000}});
constexpr auto k3155 = TalkList({{11, 3155}});
constexpr auto k3156 = TalkList({{293, 3156}});

constexpr S::Op kOpening[] = {
    S::Do(&HideParty),
    S::FadeIn(),
    S::Do(&GuardAtPost),
    S::Wait(240),
    S::DeployKind(80),
    S::ScrollPx(1072, 240, 32),
    S::FadeOutMusic(),
    S::Wait(48),
    S::Custom(&ShowBg208),
    S::Messages(k3151),
    S::Do(&EventFreeBG),
    S::Messages(k10000),
    S::ScrollPx(974, 1412, 64),
    S::Do(&Arrivals),
    S::Wait(15),
    S::Do(&HeldFigures),
    S::Messages(k3155),
    S::Bgm(14),
    S::Do(&HeldFiguresResumed),
    S::Wait(120),
    S::Do(&ArrivalsGone),
    S::ScrollPx(1072, 240, 32),
    S::Messages(k3156),
    S::Do(&RaiseFigure),
    S::Wait(120),
    S::Do(&RaiseFigure),
    S::Wait(120),
    S::ScrollPx(974, 1412, 64),
    S::Do(&PartyShown),
    S::End(),
};
static_assert(S::Valid(kOpening));
constexpr SeqArgs kOpeningArgs{kOpening};

// ---- 14105: the boss music ----

constexpr auto k3158 = TalkList({{294, 3158}});
constexpr S::Op kBossMusic[] = {S::Bgm(17), S::Wait(120), S::Messages(k3158), S::End()};
static_assert(S::Valid(kBossMusic));
constexpr SeqArgs kBossMusicArgs{kBossMusic};

// ---- 14110: the victory ----

int DestroyEnemies() { return EventDestroyEnemies(); }
int SlideIn107() { return EventBgSlideIn(107); }

constexpr auto k1169 = TalkList({{210, 1169}});
constexpr auto k1170 = TalkList({{210, 1170}});
// The victory waits for the end of the boss's exit sequence (flag 198). A stage that held no
// boss record when the row started has no exit sequence to wait for: traced, and it goes on.
void NoteBoss() {
  Map14Words& w = Map14State();
  w.no_boss = FindUnitByKind(kMap14BossKind) == nullptr;
  if (w.no_boss) {
    DebugPrint("map 14 victory: no unit of kind %d: flag 198 not awaited\n", kMap14BossKind);
  }
}
bool BossGone() { return CheckEventFlag(198) != 0 || Map14State().no_boss; }

constexpr S::Op kVictory[] = {
    S::Do(&NoteBoss),
    S::HoldUntil(&BossGone, {}),
    S::Do(&EventDestroyEnemiesReset),
    S::Custom(&DestroyEnemies),
    S::FadeOutMusic(),
    S::Messages(k1169),
    S::Bgm(18),
    S::Wait(60),
    S::Custom(&SlideIn107),
    S::Messages(k1170),
    S::StartGameWin(),
    S::End(),
};
static_assert(S::Valid(kVictory));
constexpr SeqArgs kVictoryArgs{kVictory};

// ---- 14115-14121: each character's first action ----

template <uint16_t Face, uint16_t Message>
struct ActionLine {
  static constexpr auto kList = TalkList({{Face, Message}});
  static constexpr TalkListArgs kArgs{kList};
};

// ---- 14125, 14128: the favourite's and the partner heroine's lines ----

constexpr std::array<std::array<EventMessageRef, 2>, 6> kFavouriteLists = {
    TalkList({{33, 10020}}),  TalkList({{78, 10021}}),  TalkList({{114, 10022}}),
    TalkList({{157, 10023}}), TalkList({{213, 10025}}), TalkList({{141, 10024}})};

void FavouriteRow14125(const SlgEventEntry& row) {
  const int32_t f = CondIMR();
  if (f < 1 || f > 6) {
    DebugPrint("map 14 favourite line: no line for IMR %d\n", f);
    EventEnd();
    return;
  }
  EventWaitTalkList(row, kFavouriteLists[static_cast<size_t>(f - 1)]);
}

constexpr std::array<std::array<EventMessageRef, 2>, 6> kPartnerLists = {
    TalkList({{239, 15000}}), TalkList({{239, 15001}}), TalkList({{239, 15002}}),
    TalkList({{239, 15003}}), TalkList({{239, 15005}}), TalkList({{239, 15004}})};

void PartnerRow14128(const SlgEventEntry& row) {
  int32_t h = EventPartnerChara();
  if (h < 1 || h > 6) h = 1;
  EventWaitTalkList(row, kPartnerLists[static_cast<size_t>(h - 1)]);
}

constexpr auto k10010 = TalkList({{239, 10010}});
constexpr TalkListArgs k10010Args{k10010};
constexpr auto k10011 = TalkList({{239, 10011}});
constexpr TalkListArgs k10011Args{k10011};

// ---- 14400: the choice and the boss's stats ----

constexpr auto k60000 = TalkList({{295, 60000}});
constexpr auto kAnswer0 = TalkList({{295, 60080}, {239, 60090}});
constexpr auto kAnswer1 = TalkList({{18, 60020}, {295, 60030}, {239, 60040}});
constexpr auto kAnswer2 = TalkList({{12, 60050}, {293, 60060}, {239, 60070}});

// The first boss on the map; a stage without one keeps its stats (traced).
SlgUnit* Boss(const char* what) {
  SlgUnit* boss = LiveUnitOfKind(kMap14BossKind);
  if (boss == nullptr) {
    DebugPrint("map 14 choice: no unit of kind %d to %s\n", kMap14BossKind, what);
  }
  return boss;
}

void WeakerDefence() {
  if (SlgUnit* boss = Boss("weaken"); boss != nullptr) {
    boss->stats.defence = 2;
    CalcStatTotals(boss->stats);
  }
}

void StrongerAttack() {
  if (SlgUnit* boss = Boss("strengthen"); boss != nullptr) {
    boss->stats.attack = 17;
    CalcStatTotals(boss->stats);
  }
  SetEventFlag(kMap14FollowFlag);
  SlgSePlay(30);
}

// Answers 0-2 have their lists; any other answer shows nothing and changes nothing.
constexpr S::Op kChoice[] = {
    S::Messages(k60000),
    S::TimedChoice(60010, 120),
    S::Branch({{0, 10}, {1, 11}, {2, 12}}, 20),
    S::Label(10), S::Messages(kAnswer0), S::Do(&WeakerDefence), S::Goto(20),
    S::Label(11), S::Messages(kAnswer1), S::Do(&WeakerDefence), S::Goto(20),
    S::Label(12), S::Messages(kAnswer2), S::Do(&StrongerAttack),
    S::Label(20), S::End(),
};
static_assert(S::Valid(kChoice));
constexpr SeqArgs kChoiceArgs{kChoice};

// ---- The table ----

constexpr SlgEventEntry ActionRow(uint16_t id, const char* a, int16_t flag,
                                  const TalkListArgs* args) {
  return {.id = id, .timing = 0x4, .a = a, .guard = {flag, 105}, .set = {flag, 0},
          .handler = &WaitTalkListRow, .arg = args};
}

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 14100, .timing = 0x8000, .guard = {100, 0}, .set = {100, 101}, .handler = &SeqRow,
     .arg = &kOpeningArgs},
    {.id = 14105, .timing = 0x8, .a = "F(199);", .b = "PGU(GBO,UKF);", .guard = {105, 0},
     .set = {105, 0}, .handler = &SeqRow, .arg = &kBossMusicArgs},
    {.id = 14105, .timing = 0x8, .b = "NG(GZA)&PGU(GBO,UKF);", .guard = {105, 0},
     .set = {105, 0}, .handler = &SeqRow, .arg = &kBossMusicArgs},
    {.id = 14110, .timing = 0x8000, .b = "HGU(GBO,UKF,0);", .guard = {110, 0}, .set = {110, 0},
     .handler = &SeqRow, .arg = &kVictoryArgs},
    ActionRow(14115, "F(951);", 115, &ActionLine<12, 10001>::kArgs),
    ActionRow(14116, "F(952);", 116, &ActionLine<30, 10002>::kArgs),
    ActionRow(14117, "F(953);", 117, &ActionLine<75, 10003>::kArgs),
    ActionRow(14118, "F(954);", 118, &ActionLine<111, 10004>::kArgs),
    ActionRow(14119, "F(955);", 119, &ActionLine<156, 10005>::kArgs),
    ActionRow(14120, "F(957);", 120, &ActionLine<138, 10006>::kArgs),
    ActionRow(14121, "F(956);", 121, &ActionLine<210, 10007>::kArgs),
    {.id = 14125, .timing = 0x4, .a = "F(901);", .guard = {125, 0}, .set = {125, 0},
     .handler = &FavouriteRow14125},
    {.id = 14128, .timing = 0x2, .b = "M(MAD);", .guard = {128, 0}, .set = {128, 0},
     .handler = &PartnerRow14128},
    {.id = 14130, .timing = 0x2, .a = "F(128);", .b = "M(MAD);", .guard = {105, 0},
     .handler = &WaitTalkListRow, .arg = &k10010Args},
    {.id = 14135, .timing = 0x2, .a = "F(105);", .b = "M(MAD);", .set = {130, 0},
     .handler = &WaitTalkListRow, .arg = &k10011Args},
    {.id = 14400, .timing = 0x8000, .a = "F(910);", .guard = {400, 0}, .set = {400, 0},
     .handler = &SeqRow, .arg = &kChoiceArgs},
});

// The standard pairs with this map's two differences: character 0's favourite pair is
// (65535, 0), and heroine 6's second turn remark repeats 2134.
constexpr GenericTalkSet kTalks = [] {
  GenericTalkSet t = StandardTalkPairs();
  t.favourite.references[0] = {65535, 0};
  t.favourite.references[1] = {65535, 0};
  t.char_talks[4].references[1] = {138, 2134};
  return t;
}();

constexpr uint8_t kAll = kITV | kIDV | kILN | kIYS | kIBS | kITZ;
constexpr GenericDesc kGeneric{.talks = &kTalks,
                               .falls = {.base = 500, .members = kAll},
                               .ref_talks = {.base = 520, .members = kAll},
                               .ref_talks2 = {.base = 530, .members = kAll},
                               .char_talks = {.base = 610, .members = kAll},
                               .favourite_chance = 10,
                               .favourite_c = "NP(IMR());"};

// The remarks (520-535) are each guarded by their own id; the turn talks are numbered by heroine.
constexpr auto GenericRows14() {
  return TurnTalksByHeroine(GuardedByOwnId(GenericRows<kGeneric>(), 520, 535));
}

constexpr auto kTable = JoinRows(kStoryRows, GenericRows14());
static_assert(kTable.size() == 41 + 1);

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap14ObjectKinds> t{};
  t[0] = &SqueezeTeleport;
  for (size_t k = 1; k <= 7; ++k) t[k] = EventAnmOnceSnapFore;
  for (size_t k = 8; k <= 14; ++k) t[k] = EventAnmHoldSnapHeldShadow;
  t[15] = &SqueezeTeleport;
  return t;
}();

}  // namespace

const MapSetup kMap14Setup{.bgm = MapBgm::Play(27), .table = kTable.data(), .anm_table = kAnm};
