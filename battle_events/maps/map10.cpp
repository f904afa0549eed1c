#include "battle_events/maps/map10.h"

#include <array>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_events.h"
#include "battle/slg_sound.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_units.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "battle_events/runtime/event_walks.h"
#include "engine/core/debug_trace.h"

Map10Words& Map10State() { return Battle().Extension<Map10Words>(); }

namespace {

namespace S = EventSeq;

// Player characters 0-6; kind 80 + c is character c's arrival figure, 87 + c its standing one.
constexpr int32_t kCharacters = 7;
constexpr int32_t kArrivalKind = 80;
constexpr int32_t kFigureKind = 87;
// The standing figure's attribute word: mirrored.
constexpr uint16_t kMirrored = 16;
// How far the walkers go from where they stand (map pixels).
constexpr SlgPoint kWalkOff = {192, -96};

// Per character 0-6: the face of message 3088 (the heroine placed first) and the farewell line.
constexpr std::array<uint16_t, kCharacters> kLeaderFace = {0, 29, 74, 110, 155, 209, 137};
constexpr std::array<EventMessageRef, kCharacters> kFarewell = {
    {{11, 3095}, {29, 3095}, {74, 3096}, {110, 3100}, {155, 3099}, {209, 3098}, {137, 3097}}};

bool Talked(const Map10Words& w, int32_t h) { return w.talked[static_cast<size_t>(h)] != 0; }

void Append(std::array<uint16_t, kMap10Heroines>& group, int32_t& count, int32_t h) {
  if (count >= kMap10Heroines) return;
  group[static_cast<size_t>(count++)] = static_cast<uint16_t>(h);
}

// ---- 10110 and 10120: the arrival ----

void HoldCamera() { Battle().camera.lock = 1; }
void ReleaseCamera() { Battle().camera.lock = 0; }

void HideParty() {
  EventLoadBin("EVS10120.BIN", kEventBinAddress);
  for (int32_t c = 0; c < kCharacters; ++c) EventClearKindFlag(c, kShowFlag);
}
void ArrivalFigures() {
  SlgSePlay(134);
  for (int32_t c = kCharacters - 1; c >= 0; --c) EventDeployKind(kArrivalKind + c);
}
void StandingFigures() {
  for (int32_t c = kCharacters - 1; c >= 0; --c) EventDeployKind(kFigureKind + c);
}
void ArrivalFiguresGone() {
  for (int32_t c = kCharacters - 1; c >= 0; --c) EventUndeployKind(kArrivalKind + c);
}
void FiguresStart() {
  for (int32_t c = kCharacters - 1; c >= 0; --c) EventResumeKindAnm(kFigureKind + c);
  SlgSePlay(130);
}
void PartyShown() {
  for (int32_t c = kCharacters - 1; c >= 0; --c) EventSetKindFlag(c, kShowFlag);
  for (int32_t c = kCharacters - 1; c >= 0; --c) EventUndeployKind(kFigureKind + c);
}

constexpr S::Op kOpening[] = {
    S::FadeIn(),
    S::Do(&HoldCamera),
    S::End(),
};
static_assert(S::Valid(kOpening));
constexpr SeqArgs kOpeningArgs{kOpening};

constexpr S::Op kArrival[] = {
    S::Do(&ReleaseCamera),
    S::Do(&HideParty),
    S::Scroll(0x2e80000, 0xa00000, 0x80000),
    S::Do(&ArrivalFigures),
    S::Wait(15),
    S::Do(&StandingFigures),
    S::Wait(75),
    S::Do(&ArrivalFiguresGone),
    S::Message(11, 3000),
    S::Wait(60),
    S::Do(&FiguresStart),
    S::Wait(120),
    S::Do(&PartyShown),
    S::Wait(60),
    S::Message(110, 3090),
    S::Wait(60),
    S::Message(11, 10000),
    S::End(),
};
static_assert(S::Valid(kArrival));
constexpr SeqArgs kArrivalArgs{kArrival};

// ---- 10130: the order of the talks ----

// Heroines 1-6 by their second variable, highest first. Neighbours are exchanged only when the
// earlier value is strictly smaller, so heroines of equal value keep their number order.
void OrderHeroines() {
  Map10Words& w = Map10State();
  w = Map10Words{};
  std::array<int32_t, kMap10Heroines + 1> value{};
  for (int32_t h = 1; h <= kMap10Heroines; ++h) {
    value[static_cast<size_t>(h)] = GetHeroineVar2(h);
    w.order[static_cast<size_t>(h - 1)] = h;
  }
  for (int pass = 0; pass < kMap10Heroines - 1; ++pass) {
    for (size_t i = 0; i + 1 < w.order.size(); ++i) {
      if (value[static_cast<size_t>(w.order[i])] < value[static_cast<size_t>(w.order[i + 1])]) {
        std::swap(w.order[i], w.order[i + 1]);
      }
    }
  }
  for (size_t p = 0; p < w.order.size(); ++p) {
    w.place[static_cast<size_t>(w.order[p])] = static_cast<int32_t>(p + 1);
  }
}

constexpr S::Op kOrder[] = {
    S::Do(&OrderHeroines),
    S::End(),
};
static_assert(S::Valid(kOrder));
constexpr SeqArgs kOrderArgs{kOrder};

// ---- The map task: the talks released in order ----

bool GroupFull(const Map10Words& w) {
  return w.going_count >= kMap10GroupFull || w.staying_count >= kMap10GroupFull;
}

// Whether heroine h may talk now: not yet talked and every heroine placed above her has. Once a
// group is full no heroine may, and the talks are closed.
bool Eligible(int32_t h) {
  const Map10Words& w = Map10State();
  if (GroupFull(w)) {
    SetEventFlag(kMap10ClosedFlag);
    return false;
  }
  if (Talked(w, h)) return false;
  const int32_t place = w.place[static_cast<size_t>(h)];
  for (int32_t p = 1; p < place; ++p) {
    if (!Talked(w, w.order[static_cast<size_t>(p - 1)])) return false;
  }
  return true;
}

void ReleaseTalks(SlgEffectTask* task) {
  if (CheckEventFlag(kMap10ClosedFlag) != 0) {
    SlgTaskEnd(task);
    return;
  }
  if (Battle().event_busy != 0 || CheckEventFlag(130) == 0) return;
  for (int32_t h = 1; h <= kMap10Heroines; ++h) {
    if (Eligible(h)) {
      SetEventFlag(static_cast<uint32_t>(kMap10ReleaseFlag + h));
      return;
    }
  }
}

// ---- 10131-10136: a heroine's talk ----

void MarkTalked(int32_t h) {
  Map10State().talked[static_cast<size_t>(h)] = 1;
  SetEventFlag(static_cast<uint32_t>(kMap10ClosedFlag + h));
}
void JoinGoing(int32_t h) {
  Map10Words& w = Map10State();
  Append(w.going, w.going_count, h);
}
void JoinStaying(int32_t h) {
  Map10Words& w = Map10State();
  Append(w.staying, w.staying_count, h);
}

struct TalkData {
  int32_t heroine;
  EventMessageRef opening;
  int32_t scene;
  EventMessageRef yes_line;
  std::span<const EventMessageRef> yes_list;
  std::span<const EventMessageRef> no_line;  // heroine 6 answers with a list
  std::span<const EventMessageRef> no_list;
  std::span<const EventMessageRef> other;
};

// The choice: answer 1 joins the going group, answer 2 the staying one, any other (the time-out)
// the going one.
constexpr std::array<S::Op, 23> TalkProgram(const TalkData& t) {
  const int32_t h = t.heroine;
  return {
      S::Do(&MarkTalked, h),
      S::Message(t.opening.face, t.opening.message),
      S::TimedChoice(t.scene, 120),
      S::Branch({{1, 1}, {2, 2}}, 3),
      S::Label(1),
      S::Message(t.yes_line.face, t.yes_line.message),
      S::Se(20),
      S::AddHeroineParam(h, 2),
      S::Messages(t.yes_list),
      S::Do(&JoinGoing, h),
      S::Goto(9),
      S::Label(2),
      S::Messages(t.no_line),
      S::Se(20),
      S::AddHeroineParam(h, 1),
      S::Messages(t.no_list),
      S::Do(&JoinStaying, h),
      S::Goto(9),
      S::Label(3),
      S::Messages(t.other),
      S::Do(&JoinGoing, h),
      S::Label(9),
      S::End(),
  };
}

constexpr auto k1Yes = TalkList({{30, 10003}, {30, 10004}});
constexpr auto k1NoLine = TalkList({{11, 10005}});
constexpr auto k1No = TalkList({{32, 10007}, {30, 10008}});
constexpr auto k1Other = TalkList({{29, 10009}, {29, 10010}});
constexpr auto k2Yes = TalkList({{75, 10015}});
constexpr auto k2NoLine = TalkList({{11, 10016}});
constexpr auto k2No = TalkList({{74, 10017}});
constexpr auto k2Other = TalkList({{76, 10018}, {76, 10019}});
constexpr auto k3Yes = TalkList({{110, 10036}});
constexpr auto k3NoLine = TalkList({{11, 10038}});
constexpr auto k3No = TalkList({{110, 10039}, {110, 10040}});
constexpr auto k3Other = TalkList({{110, 10041}, {110, 10042}});
constexpr auto k4Yes = TalkList({{156, 10047}});
constexpr auto k4NoLine = TalkList({{11, 10049}});
constexpr auto k4No = TalkList({{155, 10050}, {155, 10052}, {155, 10053}});
constexpr auto k4Other = TalkList({{155, 10055}, {155, 10056}});
constexpr auto k5Yes = TalkList({{210, 10024}, {210, 10025}});
constexpr auto k5NoLine = TalkList({{11, 10026}});
constexpr auto k5No = TalkList({{209, 10028}, {209, 10029}});
constexpr auto k5Other = TalkList({{209, 10030}, {209, 10031}});
constexpr auto k6Yes = TalkList({{137, 10061}});
constexpr auto k6NoLine = TalkList({{11, 10062}, {11, 10063}});
constexpr auto k6No = TalkList({{137, 10064}, {137, 10065}});
constexpr auto k6Other = TalkList({{138, 10066}});

constexpr std::array<TalkData, kMap10Heroines> kTalkData = {{
    {1, {29, 10001}, 20000, {11, 10002}, k1Yes, k1NoLine, k1No, k1Other},
    {2, {74, 10013}, 20001, {12, 10014}, k2Yes, k2NoLine, k2No, k2Other},
    {3, {110, 10034}, 20003, {11, 10035}, k3Yes, k3NoLine, k3No, k3Other},
    {4, {155, 10045}, 20004, {12, 10046}, k4Yes, k4NoLine, k4No, k4Other},
    {5, {209, 10022}, 20002, {12, 10023}, k5Yes, k5NoLine, k5No, k5Other},
    {6, {137, 10059}, 20005, {12, 10060}, k6Yes, k6NoLine, k6No, k6Other},
}};

constexpr std::array<std::array<S::Op, 23>, kMap10Heroines> kTalks = {
    TalkProgram(kTalkData[0]), TalkProgram(kTalkData[1]), TalkProgram(kTalkData[2]),
    TalkProgram(kTalkData[3]), TalkProgram(kTalkData[4]), TalkProgram(kTalkData[5])};
static_assert([] {
  for (const auto& program : kTalks) {
    if (!S::Valid(program)) return false;
  }
  return true;
}());
constexpr std::array<SeqArgs, kMap10Heroines> kTalkArgs = {
    SeqArgs{kTalks[0]}, SeqArgs{kTalks[1]}, SeqArgs{kTalks[2]},
    SeqArgs{kTalks[3]}, SeqArgs{kTalks[4]}, SeqArgs{kTalks[5]}};

// ---- 10140: the split ----

// The heroines who did not talk join the going group in number order while it holds fewer than
// three, the staying group after that.
void FillGroups() {
  Map10Words& w = Map10State();
  for (int32_t h = 1; h <= kMap10Heroines; ++h) {
    if (Talked(w, h)) continue;
    if (w.going_count < kMap10GroupFull) {
      Append(w.going, w.going_count, h);
    } else {
      Append(w.staying, w.staying_count, h);
    }
  }
  EventLoadBin("EVS10120.BIN", kEventBinAddress);
}

int LeaderLine() {
  const int32_t first = Map10State().order[0];
  const uint16_t face = first >= 1 && first <= kMap10Heroines ? kLeaderFace[static_cast<size_t>(first)] : 0;
  return EventMessage(face, 3088);
}

// The staying heroines' units hidden and their standing figures shown in their place, mirrored.
void StayingFigures() {
  Map10Words& w = Map10State();
  for (int32_t n = 0; n < w.staying_count; ++n) {
    const int32_t s = w.staying[static_cast<size_t>(n)];
    EventClearKindFlag(s, kShowFlag);
    EventDeployKind(kFigureKind + s);
    SlgUnit* figure = FindUnitByKind(kFigureKind + s);
    if (figure == nullptr || figure->anm == nullptr) continue;
    figure->anm->attr = kMirrored;
    ChangeUnitAnm(*figure, 4);
  }
  w.farewell = 0;
}

bool FarewellsDone() {
  const Map10Words& w = Map10State();
  return w.farewell >= w.staying_count;
}
int32_t FarewellHeroine() {
  const Map10Words& w = Map10State();
  return w.staying[static_cast<size_t>(w.farewell)];
}
void FarewellFigure() {
  SlgSePlay(130);
  EventResumeKindAnm(kFigureKind + FarewellHeroine());
}
int FarewellLine() {
  const EventMessageRef line = kFarewell[static_cast<size_t>(FarewellHeroine())];
  return EventMessage(line.face, line.message);
}
void NextFarewell() { ++Map10State().farewell; }

// The hero and the going heroines walk off toward their own position moved by (192, -96).
void PrepareWalks() {
  Map10Words& w = Map10State();
  w.walkers = 0;
  w.arrived = 0;
  w.walks = {};
  auto add = [&](int32_t character) {
    if (w.walkers >= kMap10Walkers) return;
    const auto n = static_cast<size_t>(w.walkers++);
    w.walker[n] = character;
    const SlgUnit* unit = FindUnitByGroupKind(0, character);
    if (unit == nullptr) {
      DebugPrint("map 10 split: character %d is not on the map: it does not walk\n", character);
      w.arrived |= 1 << n;
      return;
    }
    w.target[n] = {(unit->x >> 16) + kWalkOff.x, (unit->y >> 16) + kWalkOff.y};
  };
  add(0);
  for (int32_t n = 0; n < w.going_count; ++n) add(w.going[static_cast<size_t>(n)]);
}

// Each walker is driven until it has arrived once, while the screen fades to black; the step
// ends with the fade.
int WalkUnderFade() {
  Map10Words& w = Map10State();
  for (int32_t n = 0; n < w.walkers; ++n) {
    const int32_t bit = 1 << n;
    if ((w.arrived & bit) != 0) continue;
    const auto i = static_cast<size_t>(n);
    if (EventWalkUnit(&w.walks[i], 0, w.walker[i], w.target[i].x, w.target[i].y, 1) != 0) {
      w.arrived |= bit;
    }
  }
  return EventFadeOut();
}

// The split written into the story's variables.
void WriteSplit() {
  const Map10Words& w = Map10State();
  for (int32_t n = 0; n < w.going_count; ++n) {
    SlgSetMacroP(kMap10GoingVar[static_cast<size_t>(w.going[static_cast<size_t>(n)] - 1)], 1);
  }
  for (int32_t n = 0; n < w.staying_count; ++n) {
    SlgSetMacroP(kMap10GoingVar[static_cast<size_t>(w.staying[static_cast<size_t>(n)] - 1)], 0);
  }
}

constexpr auto kSplitLines = TalkList({{11, 10069}, {11, 10070}});

constexpr S::Op kSplit[] = {
    S::Do(&FillGroups),
    S::Messages(kSplitLines),
    S::Custom(&LeaderLine),
    S::Do(&StayingFigures),
    S::Label(1),
    S::If(&FarewellsDone, 2),
    S::Wait(30),
    S::Do(&FarewellFigure),
    S::Wait(30),
    S::Custom(&FarewellLine),
    S::Do(&NextFarewell),
    S::Goto(1),
    S::Label(2),
    S::Do(&PrepareWalks),
    S::Custom(&WalkUnderFade),
    S::Do(&WriteSplit),
    S::SwitchStage(10),
    S::End(),
};
static_assert(S::Valid(kSplit));
constexpr SeqArgs kSplitArgs{kSplit};

// ---- The table ----

constexpr SlgEventEntry TalkRow(int32_t h, const char* b) {
  const auto held = static_cast<int16_t>(kMap10ClosedFlag + h);
  return {.id = static_cast<uint16_t>(10130 + h), .timing = 0x8000, .b = b,
          .guard = {held, kMap10ClosedFlag}, .set = {held, 0}, .handler = &SeqRow,
          .arg = &kTalkArgs[static_cast<size_t>(h - 1)]};
}

// Row 10140 waits for the talks to close: "F(420);" with its ";" (a condition without it holds
// whatever the flag).
constexpr auto kTable = std::to_array<SlgEventEntry>({
    {.id = 10110, .timing = 0x8000, .guard = {110, 0}, .set = {110, 0}, .handler = &SeqRow,
     .arg = &kOpeningArgs},
    {.id = 10120, .timing = 0x8000, .b = "F(110);", .guard = {120, 0}, .set = {120, 0},
     .handler = &SeqRow, .arg = &kArrivalArgs},
    {.id = 10130, .timing = 0x8000, .b = "F(120);", .guard = {130, 0}, .set = {130, 0},
     .handler = &SeqRow, .arg = &kOrderArgs},
    TalkRow(1, "F(130)&F(411);"),
    TalkRow(2, "F(130)&F(412);"),
    TalkRow(3, "F(130)&F(413);"),
    TalkRow(4, "F(130)&F(414);"),
    TalkRow(5, "F(130)&F(415);"),
    TalkRow(6, "F(130)&F(416);"),
    {.id = 10140, .timing = 0x8000, .b = "F(420);", .guard = {140, 0}, .set = {140, 0},
     .handler = &SeqRow, .arg = &kSplitArgs},
    kEventTableEnd,
});

// ---- The map's objects and sprites ----

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap10ObjectKinds> t{};
  for (size_t k = 0; k <= 6; ++k) t[k] = EventAnmOnceSnapFore;
  for (size_t k = 7; k <= 13; ++k) t[k] = EventAnmHoldSnapHeldShadow;
  t[14] = EventAnmFixedDepth259;
  return t;
}();

constexpr FixTaskRow kFixedSprites[] = {{1, 94, -176, 672}, {1, 94, -848, 816}, kFixTaskRowEnd};
void Map10Sprites() { FixTaskAddList(kFixedSprites); }

constexpr MapTaskSpec kTasks[] = {MapTask<&ReleaseTalks>("Slg::Map10::lips_exeflag_cntrl")};

}  // namespace

const MapSetup kMap10Setup{.bgm = MapBgm::Play(6),
                           .table = kTable.data(),
                           .anm_table = kAnm,
                           .deferred = &Map10Sprites,
                           .tasks = kTasks};
