#include "battle_events/maps/map05.h"

#include <array>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_steps.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/generic_rows.h"
#include "battle_events/maps/kit/standard_talks.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "engine/core/debug_trace.h"

namespace {

namespace S = EventSeq;

// The boss: kind 23 of the enemy's group 2.
constexpr int32_t kBossKind = 23;
// The opponent who walks onto the field in the opening: group 2, character 9.
constexpr int32_t kOpponentGroup = 2;
constexpr int32_t kOpponentCharacter = 9;
// Heroine 3's trust at or above which the first taunt is the long one.
constexpr int kLongTauntTrust = 25;

// The first unit of the boss's kind still on the map (a removed record is not).
SlgUnit* LiveBoss() {
  BattleContext& b = Battle();
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& unit = b.state.units[i];
    if (unit.kind == kBossKind && SlgUnitLive(unit)) return &unit;
  }
  return nullptr;
}

int FadeEnded() { return SlgIsFadeEnd() != 0 ? 1 : 0; }

// ---- 5100: the opening ----

void OpeningStart() {
  SlgFadeIn(64);
  if (GetTrustVar(3) < kLongTauntTrust) SetEventFlag(kMap05ShortTauntFlag);
  Battle().Extension<EventSeqState>().walks[0] = RouteWork{};
}
// The walk leaves the opponent as the current unit: the battle's own is put back.
void OpeningEnd() {
  Battle().Extension<EventSeqState>().walks[0] = RouteWork{};
  Slg::ResetCurrentUnit();
}

constexpr auto k50000 = TalkList({{239, 50000}});

constexpr S::Op kOpening5100[] = {
    S::Do(&OpeningStart),
    S::Custom(&FadeEnded),
    S::Pair(S::WalkUnit(0, kOpponentGroup, kOpponentCharacter, 748, 808, 1),
            S::FocusUnit(kOpponentGroup, kOpponentCharacter)),
    S::ScrollPx(526, 282, 8),
    S::Wait(30),
    S::Messages(k50000),
    S::Do(&OpeningEnd),
    S::End(),
};
static_assert(S::Valid(kOpening5100));
constexpr SeqArgs kOpening5100Args{kOpening5100};

// ---- 5101, 5110-5114: heroine 3's talks ----

constexpr auto k50001 = TalkList({{103, 50001}});
constexpr TalkListArgs k5101Args{k50001};

constexpr auto k50010 = TalkList({{101, 50010}});
constexpr auto k50011 = TalkList({{15, 50011}});
constexpr S::Op kTalk5110[] = {
    S::Messages(k50010), S::AddHeroineParam(3, 1), S::Se(20), S::Messages(k50011), S::End(),
};
static_assert(S::Valid(kTalk5110));
constexpr SeqArgs kTalk5110Args{kTalk5110};

// One line of heroine 3, then her variables + 1 with SE 20.
template <uint16_t Message>
struct HeroineTalk {
  static constexpr auto kList = TalkList({{101, Message}});
  static constexpr S::Op kOps[] = {S::Messages(kList), S::AddHeroineParam(3, 1), S::Se(20),
                                   S::End()};
  static_assert(S::Valid(kOps));
  static constexpr SeqArgs kArgs{kOps};
};

// ---- 5410: the boss's power-up ----

// The camera to the boss's position less half the screen; no boss: done.
int ScrollToBoss() {
  const SlgUnit* boss = LiveBoss();
  if (boss == nullptr) {
    DebugPrint("map 5 power-up: no unit of kind %d to scroll to\n", kBossKind);
    return 1;
  }
  return EventScroll(boss->x - 320 * 65536, boss->y - 240 * 65536, 16 * 65536);
}
void PowerUp() {
  SlgUnit* boss = LiveBoss();
  if (boss == nullptr) {
    DebugPrint("map 5 power-up: no unit of kind %d to power up\n", kBossKind);
  } else {
    boss->stats.attack = 5;
    boss->stats.defence = 4;
    boss->stats.move = 5;
    Slg::RecalcUnitStats(*boss);
  }
  SlgSePlay(30);
}

constexpr auto k60020 = TalkList({{277, 60020}});
constexpr S::Op kPowerUp5410[] = {
    S::Custom(&ScrollToBoss), S::Messages(k60020), S::Do(&PowerUp), S::Wait(120), S::End(),
};
static_assert(S::Valid(kPowerUp5410));
constexpr SeqArgs kPowerUp5410Args{kPowerUp5410};

// ---- 5102: the taunt ----

constexpr auto k50002 = TalkList({{239, 50002}});
constexpr auto k35000 = TalkList({{239, 35000}, {105, 35001}, {239, 35002}});
constexpr S::Op kTaunt5102[] = {
    S::If("F(200);", 1),
    S::Messages(k35000), S::SetFlag(kMap05ShortTauntFlag), S::Goto(2),
    S::Label(1), S::Messages(k50002),
    S::Label(2), S::End(),
};
static_assert(S::Valid(kTaunt5102));
constexpr SeqArgs kTaunt5102Args{kTaunt5102};

// ---- 5103, 5104: the boss gone, the victory ----

// The battle's camera step keeps still from heroine 3's last word on the boss to the victory.
void HoldCamera() { Battle().camera.lock = 1; }
void ReleaseCamera() { Battle().camera.lock = 0; }
int SlideIn103() { return EventBgSlideIn(103); }

constexpr auto k50003 = TalkList({{103, 50003}});
constexpr S::Op kBossDown5103[] = {
    S::HoldUntil("NU(23);", {}),
    S::Messages(k50003),
    S::AddHeroineParam(3, 5),
    S::Do(&HoldCamera),
    S::End(),
};
static_assert(S::Valid(kBossDown5103));
constexpr SeqArgs kBossDown5103Args{kBossDown5103};

constexpr auto k439 = TalkList({{102, 439}});
constexpr auto k440 = TalkList({{102, 440}});
constexpr S::Op kVictory5104[] = {
    S::FadeOutMusic(),
    S::HoldUntil("NU(23);", {}),
    S::Bgm(18),
    S::Wait(120),
    S::Messages(k439),
    S::Custom(&SlideIn103),
    S::Messages(k440),
    S::Do(&ReleaseCamera),
    S::StartGameWin(),
    S::End(),
};
static_assert(S::Valid(kVictory5104));
constexpr SeqArgs kVictory5104Args{kVictory5104};

// ---- The table ----

constexpr SlgEventEntry TalkRow(uint16_t id, const char* a, int16_t flag, const SeqArgs* args) {
  return {.id = id, .timing = 0x8, .a = a, .b = "PP(ILN);", .guard = {flag, 0},
          .set = {flag, 0}, .handler = &SeqRow, .arg = args};
}

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 5100, .timing = 0x8000, .guard = {100, 0}, .set = {100, 0}, .handler = &SeqRow,
     .arg = &kOpening5100Args},
    {.id = 5101, .timing = 0x8, .b = "PP(ILN);", .guard = {101, 0}, .set = {101, 0},
     .handler = &WaitTalkListRow, .arg = &k5101Args},
    TalkRow(5110, "F(101);", 110, &kTalk5110Args),
    TalkRow(5111, "F(110);", 111, &HeroineTalk<50012>::kArgs),
    TalkRow(5112, "F(111);", 112, &HeroineTalk<50013>::kArgs),
    TalkRow(5113, "F(112);", 113, &HeroineTalk<50014>::kArgs),
    TalkRow(5114, "F(113);", 114, &HeroineTalk<50015>::kArgs),
    {.id = 5410, .timing = 0x8000, .b = "HGU(GBO,USK,30);", .guard = {410, 0},
     .c = "HGU(GBO,USK,0);", .set = {410, 0}, .handler = &SeqRow, .arg = &kPowerUp5410Args},
    {.id = 5102, .timing = 0x2, .b = "M(MAD);", .handler = &SeqRow, .arg = &kTaunt5102Args},
    {.id = 5103, .timing = 0x8000, .b = "HGU(GBO,USK,0)&KP(ILN);", .guard = {103, 0},
     .set = {103, 0}, .handler = &SeqRow, .arg = &kBossDown5103Args},
    {.id = 5104, .timing = 0x8000, .b = "HGU(GBO,USK,0);", .guard = {104, 0}, .set = {104, 0},
     .handler = &SeqRow, .arg = &kVictory5104Args},
});

// The standard pairs, but heroine 3's two remarks with her face 102.
constexpr GenericTalkSet kTalks = [] {
  GenericTalkSet t = StandardTalkPairs();
  t.ref_talks[2] = {102, 3340};
  t.ref_talks2[2] = {102, 2068};
  return t;
}();
constexpr uint8_t kMembers = kITV | kIDV | kILN | kIBS | kITZ;
// Flag 198: the boss has left the map (set at the end of its exit sequence).
constexpr int16_t kBossGoneFlag = 198;
constexpr GenericDesc kGeneric{
    .talks = &kTalks,
    .falls = {.base = 500, .members = kMembers, .extra_guard = kBossGoneFlag},
    .ref_talks = {.base = 520, .members = kMembers, .extra_guard = kBossGoneFlag},
    .ref_talks2 = {.base = 530, .members = kMembers, .extra_guard = kBossGoneFlag},
    .char_talks = {.base = 600, .members = kMembers, .extra_guard = kBossGoneFlag},
    .favourite_chance = 10,
    .talk_c = "HP(IKD,0)|HGU(GBO,USK,0);",
    .favourite_c = "HP(IKD,0)|HGU(GBO,USK,0)|NP(IMR());",
    .ref_talk_c = "HGU(GBO,USK,0);"};

constexpr auto kTable = JoinRows(kStoryRows, GenericRows<kGeneric>());
static_assert(kTable.size() == 32 + 1);

// ---- The set-up ----

constexpr FixTaskRow kSprites[] = {
    {3, 92, 625, 317}, {5, 94, 1945, 654}, {5, 95, 1626, 108}, {6, 95, 1914, 253},
    kFixTaskRowEnd};
void AddSprites() { FixTaskAddList(kSprites); }

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap05ObjectKinds> t{};
  for (int k = 80; k <= 85; ++k) t[static_cast<size_t>(k - 80)] = EventAnmOnce;
  for (int k = 86; k <= 91; ++k) t[static_cast<size_t>(k - 80)] = EventAnmHold;
  for (int k = 92; k <= 96; ++k) t[static_cast<size_t>(k - 80)] = EventAnmFixedDepth259;
  return t;
}();

}  // namespace

const MapSetup kMap05Setup{.bgm = MapBgm::Play(16),
                           .table = kTable.data(),
                           .anm_table = kAnm,
                           .deferred = &AddSprites};
