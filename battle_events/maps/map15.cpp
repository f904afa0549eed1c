#include "battle_events/maps/map15.h"

#include <array>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_sound.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "battle_events/runtime/event_script_helpers.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"

Map15Words& Map15State() { return Battle().Extension<Map15Words>(); }

int32_t Map15Partner(int32_t p83) {
  constexpr std::array<int32_t, 7> kHeroine = {1, 1, 2, 3, 6, 4, 5};
  if (p83 < 0 || p83 > 6) return 1;
  return kHeroine[static_cast<size_t>(p83)];
}

namespace {

namespace S = EventSeq;

constexpr int32_t kFirstPartyKind = 7;
constexpr int32_t kLastPartyKind = 13;
constexpr int32_t kTimerFrames = 60;

// ---- The local frame timer ----

uint32_t Clock() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }

void SetTimer() {
  Map15Words& w = Map15State();
  w.timer_frames = kTimerFrames;
  w.timer_start = Clock();
}

// Whole 60 Hz frames since the start (a clock that went back counts as none).
bool TimerPassed() {
  const Map15Words& w = Map15State();
  const int64_t ms = static_cast<int32_t>(Clock() - w.timer_start);
  return ms * 60 / 1000 >= w.timer_frames;
}

// ---- 15102: the opening talk and the arrivals ----

int PlaneOff() { return EventPlaneFadeOut(1); }
int ShowBg209() {
  EventShowBG(209);
  return 1;
}
void MusicAndBgGone() {
  EventBgmPlay(14);
  EventFreeBG();
}
void LoadScene() { EventLoadBin("EVS15102.BIN", kEventBinAddress); }

void Arrivals() {
  for (int32_t k = kFirstPartyKind; k <= kLastPartyKind; ++k) EventClearKindFlag(k, kShowFlag);
  DeployKinds(80, 86);
  SlgSePlay(131);
}
void ArrivalsGone() {
  UndeployKinds(80, 86);
  for (int32_t k = kFirstPartyKind; k <= kLastPartyKind; ++k) EventSetKindFlag(k, kShowFlag);
}

void TakePartner() { Map15State().partner = Map15Partner(SlgGetMacroP(kPartnerVar)); }

template <int32_t kSkipped>
bool PartnerIs() {
  return Map15State().partner == kSkipped;
}

constexpr auto kBgTalk = TalkList({{297, 3160}, {297, 3161}});
constexpr auto k3162 = TalkList({{29, 3162}});
constexpr auto k3163 = TalkList({{29, 3163}});
constexpr auto kClosingStart = TalkList({{299, 3164}, {233, 3165}});

constexpr S::Op kOpening[] = {
    S::Do(&SetTimer),
    S::Custom(&PlaneOff),
    S::FadeIn(),
    S::Wait(40),
    S::Custom(&ShowBg209),
    S::Messages(kBgTalk),
    S::Do(&MusicAndBgGone),
    S::Wait(90),
    S::Do(&LoadScene),
    S::Do(&SetTimer),
    S::HoldUntil(&TimerPassed, {}),
    S::Messages(k3162),
    S::Scroll(0x4080000, 0x2A80000, 0x80000),
    S::Messages(k3163),
    S::Do(&Arrivals),
    S::Wait(120),
    S::Do(&ArrivalsGone),
    S::Messages(kClosingStart),
    S::Do(&TakePartner),
    // The closing lines, each left out when its speaker is the partner heroine.
    S::If(&PartnerIs<3>, 1), S::Message(114, 3166), S::Label(1),
    S::If(&PartnerIs<2>, 2), S::Message(74, 3167), S::Label(2),
    S::Message(233, 3168),
    S::If(&PartnerIs<6>, 3), S::Message(137, 3169), S::Label(3),
    S::If(&PartnerIs<5>, 4), S::Message(209, 3170), S::Label(4),
    S::End(),
};
static_assert(S::Valid(kOpening));
constexpr SeqArgs kOpeningArgs{kOpening};

// ---- 15103: plane 1 back, the stage switch ----

void LoadSe() { EventLoadSeBank("SEBE09.ALL"); }
int PlaneBack() { return EventPlaneFadeInFull(120); }

constexpr auto kReturnTalk = TalkList({{299, 10000}, {299, 10001}});
constexpr auto k10002 = TalkList({{300, 10002}});

constexpr S::Op kReturn[] = {
    S::Do(&LoadSe),
    S::ScrollPx(1360, 112, 8),
    S::Messages(kReturnTalk),
    S::Se(286),
    S::Custom(&PlaneBack),
    S::Se(283),
    S::Messages(k10002),
    S::FadeOut(),
    S::SwitchStage(15),
    S::End(),
};
static_assert(S::Valid(kReturn));
constexpr SeqArgs kReturnArgs{kReturn};

constexpr S::Op kFocus[] = {S::FocusUnit(2, 18), S::End()};
static_assert(S::Valid(kFocus));
constexpr SeqArgs kFocusArgs{kFocus};

constexpr auto kTable = JoinRows(std::to_array<SlgEventEntry>({
    {.id = 15101, .timing = 0x8000, .guard = {101, 0}, .set = {101, 0}, .handler = &SeqRow,
     .arg = &kFocusArgs},
    {.id = 15102, .timing = 0x8000, .a = "F(101);", .guard = {102, 0}, .set = {102, 0},
     .handler = &SeqRow, .arg = &kOpeningArgs},
    {.id = 15103, .timing = 0x8000, .a = "F(102);", .guard = {103, 0}, .set = {103, 0},
     .handler = &SeqRow, .arg = &kReturnArgs},
}));
static_assert(kTable.size() == 3 + 1);

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, 7> t{};
  for (auto& h : t) h = EventAnmHoldSnapHeldShadow;
  return t;
}();

}  // namespace

const MapSetup kMap15Setup{.bgm = MapBgm::Play(29), .table = kTable.data(), .anm_table = kAnm};
