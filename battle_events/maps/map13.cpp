#include "battle_events/maps/map13.h"

#include <algorithm>
#include <array>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_math.h"
#include "battle/slg_sound.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_sound.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/maps/map12.h"
#include "battle_events/maps/map12_generic.h"
#include "engine/core/debug_trace.h"

Map13Words& Map13State() { return Battle().Extension<Map13Words>(); }

namespace {

namespace S = EventSeq;

constexpr int kPurgeLimit = 100;

// ---- 13104: the party restored, the opening ----

// A character whose life variable is 0 is taken off the map (the records purged until she is
// absent) and her fall's flag set, whether she was on the map or not. The others get their life
// (1 .. maximum) and kiai (0 .. maximum) from the story variables, which the save files carry,
// and attack and defence 2 in their second triple. The purge moves records, so each unit is
// looked up again after it.
void RestoreParty() {
  int32_t x = 0;
  int32_t y = 0;
  EventGetPlaneOffset(&x, &y);
  EventSetPlaneOffset(kMap13PlaneX, y);
  for (int32_t c = 0; c < kMap12Characters; ++c) {
    const auto i = static_cast<size_t>(c);
    const int32_t life = SlgGetMacroP(kMap12LifeVar[i]);
    const int32_t kiai = SlgGetMacroP(kMap12KiaiVar[i]);
    if (life == 0) {
      if (SlgUnit* unit = LivePartyUnit(c); unit != nullptr) EventRemoveUnit(unit);
      for (int n = 0; n < kPurgeLimit && CondNP(c) == 0; ++n) Slg::PurgeDeadUnits();
      SetEventFlag(static_cast<uint32_t>(kMap13DownFlag[i]));
      continue;
    }
    SlgUnit* unit = LivePartyUnit(c);
    if (unit == nullptr) {
      DebugPrint("map 13 restore: character %d is not on the map: skipped\n", c);
      continue;
    }
    const int32_t max_life = std::max<int32_t>(unit->stats.max_life, 1);
    const int32_t max_kiai = std::max<int32_t>(unit->stats.max_kiai, 0);
    unit->stats.life = static_cast<int16_t>(std::clamp(life, 1, max_life));
    unit->stats.kiai = static_cast<uint16_t>(std::clamp(kiai, 0, max_kiai));
    unit->stats.extra_attack = 2;
    unit->stats.extra_defence = 2;
    Slg::RecalcUnitStats(*unit);
  }
  Slg::ResetCurrentUnit();
}

int PlaneFade() { return EventPlaneFadeOut(120); }

constexpr auto kOpeningTalk = TalkList({{239, 10022}, {239, 10023}});

constexpr S::Op kOpening[] = {
    S::Do(&RestoreParty),
    S::FadeIn(),
    S::WhiteOut(),
    S::WhiteIn(),
    S::SetFlag(900),
    S::Custom(&PlaneFade),
    S::Messages(kOpeningTalk),
    S::End(),
};
static_assert(S::Valid(kOpening));
constexpr SeqArgs kOpeningArgs{kOpening};

// ---- 13105: the victory ----

void LoadSe() { EventLoadSeBank("SEBE08.ALL"); }

// The favourite's victory line by IMR 1-6 (none for another value).
constexpr std::array<std::array<EventMessageRef, 2>, 6> kVictoryLines = {
    TalkList({{60, 10025}}),  TalkList({{69, 10026}}),  TalkList({{105, 10027}}),
    TalkList({{150, 10029}}), TalkList({{204, 10030}}), TalkList({{132, 10028}})};

int VictoryLine() {
  const int32_t f = CondIMR();
  if (f < 1 || f > 6) return 1;
  return EventMessageList(kVictoryLines[static_cast<size_t>(f - 1)]);
}

void DrawDelay() {
  Map13Words& w = Map13State();
  w.delay = kMap13SeInterval + (SlgRand() & 63);
  w.waited = 0;
}

void HeroUp() {
  if (SlgUnit* hero = FindUnitByGroupKind(0, 0); hero != nullptr) {
    hero->stats.life = 1;
    SetUnitState(*hero, 0);
  } else {
    DebugPrint("map 13 victory: the hero is not on the map\n");
  }
  DrawDelay();
}

constexpr auto kClosingTalk = TalkList({{6, 3148}, {203, 3149}});

// The closing talk; while it runs, SE 277 each time the interval has passed, and a new interval.
int ClosingTalk() {
  if (EventMessageList(kClosingTalk) != 0) return 1;
  Map13Words& w = Map13State();
  if (++w.waited >= w.delay) {
    SlgSePlay(kMap13ClosingSe);
    DrawDelay();
  }
  return 0;
}

constexpr auto kVictoryTalk = TalkList({{4, 10024}});

constexpr S::Op kVictory[] = {
    S::FadeOutMusic(),
    S::Do(&LoadSe),
    S::Messages(kVictoryTalk),
    S::Custom(&VictoryLine),
    S::FocusUnit(0, 0),
    S::Do(&HeroUp),
    S::Custom(&ClosingTalk),
    S::StartGameWin(),
    S::End(),
};
static_assert(S::Valid(kVictory));
constexpr SeqArgs kVictoryArgs{kVictory};

// ---- The table ----

constexpr auto kMad = TalkList({{239, 10033}});
constexpr TalkListArgs kMadArgs{kMad};

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 13104, .timing = 0x1, .guard = {104, 0}, .set = {104, 0}, .handler = &SeqRow,
     .arg = &kOpeningArgs},
    {.id = 13105, .timing = 0x8000, .b = "NG(GZA);", .guard = {105, 0}, .set = {105, 0},
     .handler = &SeqRow, .arg = &kVictoryArgs},
    {.id = 13108, .timing = 0x2, .a = "F(104)|F(202);", .b = "M(MAD);", .handler = &TalkListRow,
     .arg = &kMadArgs},
});

constexpr auto kTable = JoinRows(kStoryRows, Map12GenericRows());
static_assert(kTable.size() == 28 + 1);

}  // namespace

const MapSetup kMap13Setup{.bgm = MapBgm::Play(14), .table = kTable.data()};
