#include "battle_events/maps/map27.h"

#include <array>
#include <span>

#include "battle/slg_anm_obj.h"
#include "battle/slg_sound.h"
#include "battle/slg_units.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_steps.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/commander_scenes.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/generic_rows.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/maps/kit/standard_talks.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "battle_events/runtime/event_script_helpers.h"

std::array<SlgPoint, 4> Map27GatePoints() {
  std::array<SlgPoint, 4> points{};
  for (size_t n = 0; n < points.size(); ++n) {
    const SlgPoint half = kMap27GateHalves[n];
    points[n] = CellToPosHeight(half.x * 2, half.y * 2);
  }
  return points;
}

namespace {

namespace S = EventSeq;

// The load addresses of the event data files and of the gate's map part.
constexpr uint32_t kArrivalBinAddress = 0x60c3000;
constexpr uint32_t kSceneBinAddress = 0x60d0000;
constexpr uint32_t kMapPartAddress = 0x60c0000;
constexpr const char* kSeBank = "SEBE04.ALL";
constexpr const char* kMapPart = "MPK06_01.BIN";
// YSOL, the heroine who opens the way.
constexpr int32_t kYsol = 4;
// The shell and the volley of the gate's fall.
constexpr int32_t kShellKind = 93;
constexpr int32_t kVolleyFirst = 87;
constexpr int32_t kVolleyLast = 91;
// The victory: the boss's exit flag, the group whose units fall and its frame limit.
constexpr int32_t kBossDownFlag = 198;
constexpr int32_t kEnemyGroup = 1;
constexpr int32_t kEnemyWaitFrames = 300;

// ---- 27150: the arrival ----

// The characters who look round on arriving.
constexpr std::array<int32_t, 4> kLookers = {2, 3, 5, 6};

void ArrivalStart() {
  AddFixedSprite(kMap27FixedBefore, kMap27FixedX, kMap27FixedY);
  EventFadeIn();
}
void ArrivalLoad() { EventLoadBin("EVS27150.BIN", kArrivalBinAddress); }
template <uint32_t Dir>
void LookersTo() {
  for (int32_t c : kLookers) EventSetCharaDir(c, Dir);
}
void ArrivalObjects() { DeployKinds(80, 86); }
void HideParty() {
  for (int32_t k = 0; k <= 6; ++k) EventClearKindFlag(k, kShowFlag);
}
void ArrivalPlays() {
  for (int32_t k = 80; k <= 86; ++k) EventResumeKindAnm(k);
  SlgSePlay(130);
}
// Each member of the party shows in the place of its arrival object.
void PartyArrived() {
  for (int32_t k = 0; k <= 6; ++k) {
    EventSetKindFlag(k, kShowFlag);
    EventUndeployKind(80 + k);
  }
}

constexpr auto k10135 = TalkList({{12, 10135}, {147, 10140}, {111, 10145}, {75, 10150},
                                  {138, 10155}, {210, 10160}, {12, 10165}});

constexpr S::Op kArrival27150[] = {
    S::Do(&ArrivalStart),
    S::Do(&ArrivalLoad),
    S::Messages(k10135),
    S::FadeIn(),
    S::Do(&LookersTo<2>),
    S::Wait(4),
    S::Do(&LookersTo<1>),
    S::Wait(40),
    S::Do(&ArrivalObjects),
    S::Do(&HideParty),
    S::Wait(60),
    S::Message(147, 3004),
    S::Do(&ArrivalPlays),
    S::Wait(120),
    S::Do(&PartyArrived),
    S::End(),
};
static_assert(S::Valid(kArrival27150));
constexpr SeqArgs kArrival27150Args{kArrival27150};

// ---- 27151: the heroine menu ----

constexpr auto k60090 = TalkList(
    {{282, 60090}, {282, 60100}, {282, 60110}, {282, 60120}, {282, 60125}});
constexpr auto kNone = TalkList({{13, 60270}, {284, 60271}});
// Heroine c's answer: her question 60210 + 10 (c - 1), then her face's reply and the boss's.
constexpr std::array<int32_t, 6> kFaces = {30, 75, 111, 147, 210, 138};
template <int C>
constexpr auto kAsk = TalkList({{13, static_cast<uint16_t>(60210 + 10 * (C - 1))}});
template <int C>
constexpr auto kReply = TalkList({{static_cast<uint16_t>(kFaces[C - 1]),
                                   static_cast<uint16_t>(60211 + 10 * (C - 1))},
                                  {283, static_cast<uint16_t>(60212 + 10 * (C - 1))}});
template <int C>
constexpr CommanderAnswer Heroine() {
  return {kAsk<C>, static_cast<int16_t>(430 + C), static_cast<int8_t>(C), kReply<C>};
}

// Answers: 0 none, c heroine c. Page 1 names heroines 1 and 2, page 2 heroines 3 and 4, page 3
// heroines 5 and 6 (its third line is no answer).
constexpr CommanderMenuDesc kMenu{
    .scroll = {1288, 88},
    .scroll_speed = 12,
    .intro = k60090,
    .choices = {60130, 60131, 60132},
    .limit = 240,
    .lines = {{{1, 2, kCommanderNextLevel}, {3, 4, kCommanderNextLevel}, {5, 6, 0}}},
    .answers = {{{{}, 430, 0, kNone},
                 Heroine<1>(),
                 Heroine<2>(),
                 Heroine<3>(),
                 Heroine<4>(),
                 Heroine<5>(),
                 Heroine<6>(),
                 {}}},
    .none = 0};
constexpr auto kMenuOps = CommanderMenuOps<kMenu>();
static_assert(S::Valid(kMenuOps));
constexpr SeqArgs kMenuArgs{kMenuOps};

// ---- 27152 and 27155: the way opened ----

void LoadSeBank() { EventLoadSeBank(kSeBank); }
void YsolTurns() {
  EventLoadSeBank(kSeBank);
  EventSetCharaDir(kYsol, 3);
}
void YsolLoad() { EventLoadBin("EVS27152.BIN", kSceneBinAddress); }
void YsolShell() {
  EventLoadBin(kMapPart, kMapPartAddress);
  SlgSePlay(233);
  EventDeployKind(kShellKind);
}
template <int Speed>
int FollowShell() {
  return ScrollWhileKindPlays(330, 192, Speed, kShellKind);
}
void ShellGone() { EventUndeployKind(kShellKind); }
constexpr VolleyDesc kVolley{.first_kind = kVolleyFirst};
int Volley() {
  EventScroll(660 * 65536, 384 * 65536, 8 * 65536);
  return VolleyStep(kVolley);
}
void Ruins() {
  EventLoadBin(kMapPart, kMapPartAddress);
  ExchangeFixedSprite(kMap27FixedAfter, kMap27FixedX, kMap27FixedY);
}
void OpenTheGate() {
  UndeployKinds(kVolleyFirst, kVolleyLast);
  const std::array<SlgPoint, 4> points = Map27GatePoints();
  OpenCells(points);
}

constexpr S::Op kYsol27152[] = {
    S::Do(&YsolLoad),
    S::FocusUnit(0, kYsol),
    S::Do(&YsolTurns),
    S::Do(&LoadSeBank),
    S::Message(147, 10175),
    S::Do(&YsolShell),
    S::Custom(&FollowShell<3>),
    S::Do(&ShellGone),
    S::Custom(&Volley),
    S::WhiteOut(),
    S::ScrollPx(660, 384, 8),
    S::Do(&Ruins),
    S::Do(&OpenTheGate),
    S::WhiteIn(),
    S::Message(11, 10180),
    S::End(),
};
static_assert(S::Valid(kYsol27152));
constexpr SeqArgs kYsol27152Args{kYsol27152};

void BombardmentLoad() {
  EventLoadBin("EVS27155.BIN", kSceneBinAddress);
  EventNopLoad("BBG002.BIN");
  EventLoadPcm("HOUGEKI.PCM");
}
void Cannon() {
  EventLoadPcm("HOUGEKI.PCM");
  EventDeployKind(92);
  EventSePlay(308);
  EventLoadBin(kMapPart, kMapPartAddress);
}
// The bombardment shows the ruined gate as the object of kind 94 in place of kind 95's; the
// arrival's fixed sprite stays.
void RuinsObject() {
  EventLoadBin(kMapPart, kMapPartAddress);
  EventUndeployKind(95);
  EventDeployKind(94);
}

constexpr auto k10205 = TalkList({{239, 10205}, {239, 10210}});

constexpr S::Op kBombardment27155[] = {
    S::Do(&BombardmentLoad),
    S::Wait(1),
    S::Messages(k10205),
    S::ScrollPx(1212, 554, 8),
    S::Do(&Cannon),
    S::Wait(60),
    S::DeployKind(kShellKind),
    S::Custom(&FollowShell<6>),
    S::Do(&ShellGone),
    S::Custom(&Volley),
    S::WhiteOut(),
    S::ScrollPx(660, 384, 8),
    S::Do(&RuinsObject),
    S::Do(&OpenTheGate),
    S::WhiteIn(),
    S::Message(11, 10180),
    S::End(),
};
static_assert(S::Valid(kBombardment27155));
constexpr SeqArgs kBombardment27155Args{kBombardment27155};

// ---- 27153, 27157: the first lines and the way open ----

constexpr auto k60000 = TalkList({{110, 60000}, {209, 60010}, {11, 60020}, {209, 60030},
                                  {209, 60040}, {15, 60050}, {209, 60060}});
constexpr auto k60070 = TalkList({{11, 60070}, {147, 60080}});
constexpr S::Op kFirstLines27153[] = {
    S::Messages(k60000),
    S::ScrollPx(1256, 536, 8),
    S::Messages(k60070),
    S::ScrollPx(264, 648, 16),
    S::End(),
};
static_assert(S::Valid(kFirstLines27153));
constexpr SeqArgs kFirstLines27153Args{kFirstLines27153};

void Bgm16() { BGMPlayStart(16); }
constexpr S::Op kWayOpen27157[] = {
    S::Message(282, 3038),
    S::Wait(30),
    S::Do(&Bgm16),
    S::End(),
};
static_assert(S::Valid(kWayOpen27157));
constexpr SeqArgs kWayOpen27157Args{kWayOpen27157};

// ---- 27185: the victory ----

int EnemiesFall() { return FellGroupWhenFlag(kBossDownFlag, kEnemyGroup); }
int EnemiesGone() { return WaitGroupGone(kEnemyGroup, kEnemyWaitFrames); }
void VictoryMusic() {
  EventNopLoad("BBG104.BIN");
  BGMPlayStart(18);
}
void ShowBg104() { EventShowBG(104); }
void FreeBg() { EventFreeBG(); }

constexpr S::Op kVictory27185[] = {
    S::Custom(&EnemiesFall),
    S::Custom(&EnemiesGone),
    S::Do(&VictoryMusic),
    S::Wait(60),
    S::Message(147, 586),
    S::Do(&ShowBg104),
    S::Message(147, 587),
    S::Do(&FreeBg),
    S::StartGameWin(),
    S::End(),
};
static_assert(S::Valid(kVictory27185));
constexpr SeqArgs kVictory27185Args{kVictory27185};

// ---- The talks ----

constexpr auto k10255 = TalkList({{284, 10255}, {282, 10260}, {239, 10265}, {11, 10270}});
constexpr auto k35000 = TalkList({{239, 35000}, {147, 35001}, {147, 35002}, {240, 35004}});
constexpr auto k40000 = TalkList({{239, 40000}});
constexpr auto k10330 = TalkList({{239, 10330}});
constexpr TalkListArgs k27165Args{k10255};
constexpr TalkListArgs k27170Args{k35000};
constexpr TalkListArgs k27195Args{k40000};
constexpr TalkListArgs k27196Args{k10330};

constexpr ReactionArgs kReactions{
    .first_flag = 400,
    .lines = {{{15, 10220}, {33, 10225}, {78, 10230}, {114, 10235}, {150, 10250}, {213, 10245},
               {141, 10240}}}};

// ---- The table ----

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 27150, .timing = 0x8000, .guard = {150, 0}, .set = {150, 0}, .handler = &SeqRow,
     .arg = &kArrival27150Args},
    {.id = 27151, .timing = 0x8, .b = "PGU(GBO,UGK);", .guard = {151, 0}, .set = {151, 0},
     .handler = &SeqRow, .arg = &kMenuArgs},
    {.id = 27152, .timing = 0x4,
     .b = "(XGU(GPL,UYS) = XF(1584,792))&(YGU(GPL,UYS) = YF(1584,792));", .guard = {159, 0},
     .set = {159, 0}, .handler = &SeqRow, .arg = &kYsol27152Args},
    {.id = 27153, .timing = 0x8000, .a = "F(150);", .guard = {153, 0}, .set = {153, 0},
     .handler = &SeqRow, .arg = &kFirstLines27153Args},
    {.id = 27157, .timing = 0x8000, .b = "F(159);", .guard = {157, 0}, .set = {157, 0},
     .handler = &SeqRow, .arg = &kWayOpen27157Args},
    {.id = 27160, .timing = 0x8000, .b = "F(400)|F(401)|F(402)|F(403)|F(404)|F(405)|F(406);",
     .set = {160, 0}, .handler = &ReactionRow, .arg = &kReactions},
    {.id = 27165, .timing = 0x8000, .b = "F(409);", .guard = {165, 159}, .set = {165, 0},
     .handler = &TalkListRow, .arg = &k27165Args},
    {.id = 27170, .timing = 0x2, .a = "!F(170);", .b = "PP(IYS)&M(MAD)&(RI(IYS) >= 25);",
     .guard = {159, 165}, .set = {170, 0}, .handler = &TalkListRow, .arg = &k27170Args},
    {.id = 27185, .timing = 0x8000, .b = "HGU(GBO,UGK,0) & !F(407);", .set = {185, 0},
     .handler = &SeqRow, .arg = &kVictory27185Args},
    {.id = 27195, .timing = 0x2, .b = "M(MAD);", .guard = {157, 0}, .handler = &TalkListRow,
     .arg = &k27195Args},
    {.id = 27196, .timing = 0x2, .b = "F(157)&M(MAD);", .handler = &TalkListRow,
     .arg = &k27196Args},
});

constexpr auto kBombardmentRow = std::to_array<SlgEventEntry>({
    {.id = 27155, .timing = 0x8000, .b = "NG(GZA)|(NP(IYS)&(T()>15));", .guard = {159, 0},
     .set = {159, 0}, .handler = &SeqRow, .arg = &kBombardment27155Args},
});

constexpr uint8_t kAll = kITV | kIDV | kILN | kIYS | kIBS | kITZ;
// The standard pairs, but YSOL's two remarks with her face 147, and the turn remarks by
// character: slot 4's row is character 5's, slot 5's character 6's.
constexpr GenericTalkSet kTalks = [] {
  GenericTalkSet t = StandardTalkPairs();
  t.ref_talks[3].face = 147;
  t.ref_talks2[3].face = 147;
  const CharTalkArgs slot4 = t.char_talks[4];
  t.char_talks[4] = t.char_talks[5];
  t.char_talks[5] = slot4;
  return t;
}();
constexpr GenericDesc kFalls{.talks = &kTalks, .falls = {.base = 27500, .members = kAll}};
constexpr GenericDesc kRemarksAndTalks{
    .talks = &kTalks,
    .ref_talks = {.base = 27520, .members = kAll},
    .ref_talks2 = {.base = 27530, .members = kAll},
    .char_talks = {.base = 27610,
                   .members = kAll,
                   .b = {nullptr, nullptr, nullptr, nullptr, "PP(ITZ)&R(20);", "PP(IBS)&R(20);"}},
    .favourite_c = "HP(IKD,0)|NP(IMR());"};

constexpr auto kTable = JoinRows(kStoryRows, GenericRows<kFalls>(), kBombardmentRow,
                                 GenericRows<kRemarksAndTalks>());
static_assert(kTable.size() == 37 + 1);

// ---- The map's objects ----

// The cannon's flash: shade mode 24576 on its body, then played once at the front depth.
constexpr EventAnmDesc kFrontOnce{.depth_rule = EventAnmDepth::kFixed,
                                  .depth = kEventAnmFrontDepth, .release_at_end = true};
int CannonFlash(SlgUnit& unit, SlgPair& position) {
  if (unit.anm != nullptr) unit.anm->shade = 24576;
  return RunEventAnm(kFrontOnce, unit, position);
}

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap27ObjectKinds> t{};
  auto set = [&](int first, int last, SlgEventAnmHandler h) {
    for (int k = first; k <= last; ++k) t[static_cast<size_t>(k - 80)] = h;
  };
  set(80, 86, EventAnmOnceCellHeld);
  set(87, 91, EventAnmFixedDepth);
  set(92, 92, &CannonFlash);
  set(93, 93, EventAnmOnce);
  set(94, 95, EventAnmFixedDepth259);
  return t;
}();

}  // namespace

const MapSetup kMap27Setup{.bgm = MapBgm::Play(13), .table = kTable.data(), .anm_table = kAnm};
