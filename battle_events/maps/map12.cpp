#include "battle_events/maps/map12.h"

#include <array>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_sound.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_movie.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_units.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/generic_rows.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/maps/map12_generic.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "battle_events/runtime/event_script_helpers.h"
#include "battle_events/runtime/generic_scenes.h"
#include "engine/core/debug_trace.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

Map12Words& Map12State() { return Battle().Extension<Map12Words>(); }

namespace {

namespace S = EventSeq;

constexpr int32_t kFullZoom = 65536;
constexpr int16_t kFigureDepth = -1099;

// ---- 12100: the opening ----

// The party's second stat triple's attack and defence := 2; the first four guards at life 500 of
// 500 with attack 13 and defence 25. Totals recomputed.
void Strengthen() {
  for (int32_t c = 0; c < kMap12Characters; ++c) {
    SlgUnit* unit = LivePartyUnit(c);
    if (unit == nullptr) continue;
    unit->stats.extra_attack = 2;
    unit->stats.extra_defence = 2;
    Slg::RecalcUnitStats(*unit);
  }
  int guards = 0;
  for (int i = 0; i < Battle().state.unit_count && guards < kMap12Guards; ++i) {
    SlgUnit& unit = Battle().state.units[static_cast<size_t>(i)];
    if (unit.kind != kMap12GuardKind || !SlgUnitLive(unit)) continue;
    ++guards;
    unit.stats.life = 500;
    unit.stats.max_life = 500;
    unit.stats.attack = 13;
    unit.stats.defence = 25;
    Slg::RecalcUnitStats(unit);
  }
  if (guards < kMap12Guards) {
    DebugPrint("map 12 opening: %d of %d guards (kind %d) on the map\n", guards, kMap12Guards,
               kMap12GuardKind);
  }
}

// The arrival figures (80-86) and the vanishing ones (87-90), in the script's order.
constexpr std::array<int32_t, 7> kArrivalKinds = {80, 81, 82, 83, 84, 86, 85};
constexpr std::array<int32_t, 4> kFigureKinds = {87, 88, 89, 90};

void HideParty() {
  EventLoadSeBank("SEBE08.ALL");
  EventLoadBin("EVS12100.BIN", kEventBinAddress);
  for (int32_t c = 0; c < kMap12Characters; ++c) EventClearKindFlag(c, kShowFlag);
  for (int32_t k : kArrivalKinds) EventDeployKind(k);
  for (int32_t k : kFigureKinds) EventDeployKind(k);
}

// The opening list [face:3146], its face by the favourite (IMR 0-6).
constexpr std::array<std::array<EventMessageRef, 2>, kMap12Characters> kOpeningLists = {
    TalkList({{2, 3146}}),   TalkList({{56, 3146}}),  TalkList({{65, 3146}}),
    TalkList({{101, 3146}}), TalkList({{146, 3146}}), TalkList({{200, 3146}}),
    TalkList({{128, 3146}})};

size_t Favourite() {
  const int32_t f = CondIMR();
  return f >= 0 && f < kMap12Characters ? static_cast<size_t>(f) : 0;
}

int OpeningList() { return EventMessageList(kOpeningLists[Favourite()]); }

void FiguresResumed() {
  for (int32_t k : kArrivalKinds) EventResumeKindAnm(k);
  SlgSePlay(131);
}

// The figure of (kind, character) raised one phase: it starts vanishing.
template <int32_t kKind, int32_t kCharacter>
void Vanish() {
  SlgUnit* figure = FindUnitByKindChara(kKind, kCharacter);
  if (figure == nullptr) {
    DebugPrint("map 12 opening: no figure of kind %d character %d\n", kKind, kCharacter);
  } else {
    SetUnitState(*figure, static_cast<uint8_t>(figure->state + 1));
  }
  SlgSePlay(270);
}

void PartyShown() {
  for (int32_t c = 0; c < kMap12Characters; ++c) EventSetKindFlag(c, kShowFlag);
  for (int32_t k : kArrivalKinds) EventUndeployKind(k);
  for (int32_t k : kFigureKinds) EventUndeployKind(k);
}

constexpr auto kVisit1 = TalkList({{294, 10040}, {292, 10041}});
constexpr auto kVisit2 = TalkList({{299, 10042}});
constexpr auto kVisit3 = TalkList({{304, 10043}, {304, 10044}});
constexpr auto kVisit4 = TalkList({{262, 10045}, {262, 10046}});
constexpr auto kOpeningEnd = TalkList({{239, 3147}, {2, 10001}});

constexpr S::Op kOpening[] = {
    S::Do(&Strengthen),
    S::Do(&HideParty),
    S::FadeIn(),
    S::Custom(&OpeningList),
    S::Do(&FiguresResumed),
    S::Wait(90),
    S::ScrollPx(878, 72, 8),
    S::Messages(kVisit1),
    S::Do(&Vanish<88, 1>),
    S::Wait(32),
    S::ScrollPx(926, 96, 8),
    S::Messages(kVisit2),
    S::Do(&Vanish<89, 2>),
    S::Wait(32),
    S::ScrollPx(970, 118, 8),
    S::Messages(kVisit3),
    S::Do(&Vanish<90, 3>),
    S::Wait(32),
    S::ScrollPx(830, 48, 8),
    S::Messages(kVisit4),
    S::Do(&Vanish<87, 0>),
    S::Wait(32),
    S::ScrollPx(590, 408, 16),
    S::Messages(kOpeningEnd),
    S::Do(&PartyShown),
    S::End(),
};
static_assert(S::Valid(kOpening));
constexpr SeqArgs kOpeningArgs{kOpening};

// ---- 12199, 12102, 12103 ----

// Its row's set flag (99) is its only effect.
constexpr S::Op kMarkOnly[] = {S::End()};
static_assert(S::Valid(kMarkOnly));
constexpr SeqArgs kMarkOnlyArgs{kMarkOnly};

// The favourite's line by IMR 1-6 (none for 0).
constexpr std::array<std::array<EventMessageRef, 3>, 6> kFavouriteLines = {
    TalkList({{60, 10002}, {6, 10008}}),  TalkList({{69, 10003}, {6, 10008}}),
    TalkList({{105, 10004}, {6, 10008}}), TalkList({{150, 10006}, {6, 10008}}),
    TalkList({{204, 10007}, {6, 10008}}), TalkList({{132, 10005}, {6, 10008}})};

int FavouriteLine() {
  const size_t f = Favourite();
  if (f == 0) return 1;
  return EventMessageList(kFavouriteLines[f - 1]);
}

constexpr S::Op kFavourite[] = {S::Custom(&FavouriteLine), S::End()};
static_assert(S::Valid(kFavourite));
constexpr SeqArgs kFavouriteArgs{kFavourite};

constexpr auto kPhaseTalk =
    TalkList({{6, 10009}, {60, 10010}, {239, 10016}, {235, 10017}, {2, 10018}});
constexpr S::Op kPhase[] = {S::Messages(kPhaseTalk), S::End()};
static_assert(S::Valid(kPhase));
constexpr SeqArgs kPhaseArgs{kPhase};

// ---- 12104: the escape ----

// Each character's life and kiai into the story variables; an absent one's both 0.
void WriteEscape() {
  for (int32_t c = 0; c < kMap12Characters; ++c) {
    const auto i = static_cast<size_t>(c);
    const SlgUnit* unit = CondNP(c) != 0 ? nullptr : FindUnitByGroupKind(0, c);
    const uint16_t life = unit != nullptr ? static_cast<uint16_t>(unit->stats.life) : 0;
    const uint16_t kiai = unit != nullptr ? unit->stats.kiai : 0;
    SlgSetMacroP(kMap12LifeVar[i], life);
    SlgSetMacroP(kMap12KiaiVar[i], kiai);
  }
}

int Movie() { return EventMoviePlay(1, 18); }

constexpr auto kEscape1 = TalkList({{2, 10019}});
constexpr auto kEscape2 = TalkList({{239, 10020}, {239, 10021}});

constexpr S::Op kEscape[] = {
    S::FadeOutMusic(),
    S::Do(&WriteEscape),
    S::Messages(kEscape1),
    S::Messages(kEscape2),
    S::FadeOut(),
    S::Custom(&Movie),
    S::SwitchStage(12),
    S::End(),
};
static_assert(S::Valid(kEscape));
constexpr SeqArgs kEscapeArgs{kEscape};

// ---- 12106, 12107, 12200-12202: the lines of the mark MAD ----

constexpr auto kMad1 = TalkList({{239, 10031}});
constexpr auto kMad2 = TalkList({{239, 10032}});
constexpr TalkListArgs kMad1Args{kMad1};
constexpr TalkListArgs kMad2Args{kMad2};

// The partner heroine's list (EventPartnerChara: heroine 1-6).
constexpr std::array<std::array<EventMessageRef, 2>, 6> kPartnerLists = {
    TalkList({{239, 15000}}), TalkList({{239, 15001}}), TalkList({{239, 15002}}),
    TalkList({{239, 15003}}), TalkList({{239, 15005}}), TalkList({{239, 15004}})};

void PartnerTalkRow(const SlgEventEntry& row) {
  int32_t h = EventPartnerChara();
  if (h < 1 || h > 6) h = 1;
  EventTalkList(row, kPartnerLists[static_cast<size_t>(h - 1)]);
}

constexpr const char* kAnyMa =
    "(PP(IKD)&M(MA))|(PP(ITV)&M(MA))|(PP(IDV)&M(MA))|(PP(ILN)&M(MA))|(PP(IYS)&M(MA))|"
    "(PP(ITZ)&M(MA))|(PP(IBS)&M(MA));";
constexpr const char* kAllBeyondLine =
    "(LP(IKD,1,1200,480)>0)&(LP(ITV,1,1200,480)>0|NP(ITV))&(LP(IDV,1,1200,480)>0|NP(IDV))&"
    "(LP(ILN,1,1200,480)>0|NP(ILN))&(LP(IYS,1,1200,480)>0|NP(IYS))&"
    "(LP(ITZ,1,1200,480)>0|NP(ITZ))&(LP(IBS,1,1200,480)>0|NP(IBS));";

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 12100, .timing = 0x8000, .guard = {100, 0}, .set = {100, 0}, .handler = &SeqRow,
     .arg = &kOpeningArgs},
    {.id = 12199, .timing = 0x2, .b = kAnyMa, .guard = {99, 0}, .set = {99, 0},
     .handler = &SeqRow, .arg = &kMarkOnlyArgs},
    {.id = 12102, .timing = 0x4, .a = "F(99);", .guard = {102, 0}, .set = {102, 0},
     .handler = &SeqRow, .arg = &kFavouriteArgs},
    {.id = 12103, .timing = 0x1, .a = "F(102);", .b = "T()>1;", .guard = {103, 0},
     .set = {103, 0}, .handler = &SeqRow, .arg = &kPhaseArgs},
    {.id = 12104, .timing = 0x4, .a = "F(103);", .b = kAllBeyondLine, .guard = {104, 0},
     .set = {104, 0}, .handler = &SeqRow, .arg = &kEscapeArgs},
    {.id = 12106, .timing = 0x2, .a = "F(200);", .b = "M(MAD);", .guard = {103, 0},
     .handler = &TalkListRow, .arg = &kMad1Args},
    {.id = 12107, .timing = 0x2, .a = "F(103)|F(201);", .b = "M(MAD);", .guard = {104, 0},
     .handler = &TalkListRow, .arg = &kMad2Args},
    {.id = 12200, .timing = 0x2, .b = "M(MAD);", .guard = {200, 0}, .set = {200, 0},
     .handler = &PartnerTalkRow, .arg = &kMad1Args},
    {.id = 12201, .timing = 0x2, .a = "F(103);", .b = "M(MAD);", .guard = {201, 0},
     .set = {201, 0}, .handler = &PartnerTalkRow, .arg = &kMad1Args},
    {.id = 12202, .timing = 0x2, .a = "F(104);", .b = "M(MAD);", .guard = {202, 0},
     .set = {202, 0}, .handler = &PartnerTalkRow, .arg = &kMad1Args},
});

// ---- The table ----

constexpr auto kTable = JoinRows(kStoryRows, Map12GenericRows());
static_assert(kTable.size() == 35 + 1);

// ---- The map's objects and sprites ----

// The vanishing figure (kinds 87-90; its phase is the unit's state byte, its slot the character
// byte 0-3; a figure of another byte has no slot and does nothing). 0: pattern 1 for character 0,
// else 0, zoom 1.0; 1: it follows its screen position in front of the units, its clock restarted
// every frame; 2 (raised by the opening): with t its frames since then, zoom (1 - t/16, 1 + t/4),
// drawn raised by 8 x zoom y, until zoom x reaches 0: its animation released, 3.
int VanishingFigure(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr) return 0;
  const uint8_t character = unit.character;
  if (character >= kMap12FigureSlots) return 0;
  SlgPair& zoom = Map12State().zoom[character];
  if (unit.state == 0) {
    SetAnmPattern(body, character == 0 ? 1 : 0);
    ChangeUnitAnm(unit, 4);
    zoom = {kFullZoom, kFullZoom};
    SetUnitState(unit, 1);
  }
  if (unit.state == 1) {
    body->start_time = body->now;
    body->frames = 0;
    SetAnmPos(body, position);
    SlgSprSetPos(body->handle, position);
    SlgSprSetPri(body->handle, kFigureDepth);
  } else if (unit.state == kMap12FigureSqueeze) {
    const int32_t t = body->frames;
    zoom = {kFullZoom - t * kFullZoom / 16, kFullZoom + t * kFullZoom / 4};
    if (zoom.x <= 0) {
      if (HasScene()) Scene().tamvik_spr.ReleaseAnm(&body->handle);
      SetUnitState(unit, kMap12FigureGone);
      return 0;
    }
    const SlgPair raised = {position.x, position.y - 8 * zoom.y};
    SetAnmPos(body, raised);
    SlgSprSetPos(body->handle, raised);
    SlgSprSetZoom(body->handle, zoom);
    SlgSprSetPri(body->handle, kFigureDepth);
  }
  return 0;
}

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap12ObjectKinds> t{};
  for (size_t k = 0; k <= 6; ++k) t[k] = EventAnmHoldSnapHeldShadow;
  for (size_t k = 7; k <= 10; ++k) t[k] = &VanishingFigure;
  for (size_t k = 11; k <= 14; ++k) t[k] = EventAnmPattern0;
  return t;
}();

constexpr FixTaskRow kFixedSprites[] = {
    {1, 91, 720, 504},  {1, 91, 1248, 768}, {2, 92, 1054, 524}, {2, 92, 1200, 600},
    {3, 93, 1056, 480}, {3, 93, 1298, 598}, {4, 94, 766, 532},  {4, 94, 1200, 746},
    kFixTaskRowEnd};
void Map12Sprites() { FixTaskAddList(kFixedSprites); }

}  // namespace

const MapSetup kMap12Setup{.bgm = MapBgm::Play(29),
                           .table = kTable.data(),
                           .anm_table = kAnm,
                           .deferred = &Map12Sprites};
