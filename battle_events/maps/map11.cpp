#include "battle_events/maps/map11.h"

#include <array>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_sound.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_units.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/generic_rows.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/maps/map10.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "engine/core/debug_trace.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

Map11Words& Map11State() { return Battle().Extension<Map11Words>(); }

namespace {

namespace S = EventSeq;

bool Present(int32_t h) { return CheckEventFlag(kMap11PresentFlag + h) != 0; }

// ---- 11110: the present heroines placed ----

// Each heroine's presence flag follows her going variable. The first three present heroines are
// placed on the three cells facing direction 2; a fourth or later one (the variables come from
// the story and the save files) has no cell: her presence flag is cleared, so her rows stay
// silent.
void PlaceHeroines() {
  EventDeployKind(kMap11GlowKind);
  for (int32_t h = 1; h <= kMap10Heroines; ++h) {
    const auto flag = static_cast<uint32_t>(kMap11PresentFlag + h);
    if (SlgGetMacroP(kMap10GoingVar[static_cast<size_t>(h - 1)]) != 0) {
      SetEventFlag(flag);
    } else {
      ClearEventFlag(flag);
    }
  }
  size_t cell = 0;
  for (int32_t h = 1; h <= kMap10Heroines; ++h) {
    if (!Present(h)) continue;
    if (cell == kMap11PlaceCells.size()) {
      DebugPrint("map 11: heroine %d has no placement cell left: not present\n", h);
      ClearEventFlag(static_cast<uint32_t>(kMap11PresentFlag + h));
      continue;
    }
    const Map11Cell at = kMap11PlaceCells[cell++];
    EventSetKindPlaceCell(h, at.x, at.y);
    EventRedeployKind(h);
    EventSetCharaDir(h, 2);
  }
}

constexpr S::Op kPlacement[] = {
    S::Do(&PlaceHeroines),
    S::FadeIn(),
    S::End(),
};
static_assert(S::Valid(kPlacement));
constexpr SeqArgs kPlacementArgs{kPlacement};

// ---- 11130, 11140, 11150: the opening talk, the tour and the last briefing ----

// Per heroine 1-6 (index h - 1): the opening line, and the leader's lines: the lead line, the
// four tour lines and message 3094 with her face.
constexpr std::array<EventMessageRef, kMap10Heroines> kOpeningLine = {
    {{29, 10001}, {74, 10002}, {110, 10003}, {155, 10004}, {209, 10005}, {137, 10006}}};
enum LeaderColumn { kLead, kTour1, kTour2, kTour3, kTour4, kLastWord, kLeaderColumns };
constexpr std::array<std::array<EventMessageRef, kLeaderColumns>, kMap10Heroines> kLeaderLines = {{
    {{{29, 10007}, {29, 20000}, {29, 10020}, {29, 10026}, {29, 10032}, {29, 3094}}},
    {{{74, 10008}, {74, 10015}, {74, 10021}, {74, 10027}, {74, 10033}, {74, 3094}}},
    {{{110, 10009}, {110, 10016}, {110, 10022}, {110, 10028}, {110, 10034}, {110, 3094}}},
    {{{155, 10010}, {155, 10017}, {155, 10023}, {155, 10029}, {155, 10035}, {155, 3094}}},
    {{{209, 10011}, {209, 10018}, {209, 10024}, {209, 10030}, {209, 10036}, {209, 3094}}},
    {{{137, 10012}, {137, 10019}, {137, 10025}, {137, 10031}, {137, 10037}, {137, 3094}}},
}};

void FirstOpeningLine() { Map11State().next_line = 1; }

// The opening lines of the present heroines in number order, one message after another.
int OpeningLines() {
  Map11Words& w = Map11State();
  while (w.next_line <= kMap10Heroines && !Present(w.next_line)) ++w.next_line;
  if (w.next_line > kMap10Heroines) return 1;
  const EventMessageRef line = kOpeningLine[static_cast<size_t>(w.next_line - 1)];
  if (EventMessage(line.face, line.message) != 0) ++w.next_line;
  return 0;
}

// The leader: the present heroine with the highest second variable, the lower number on equal
// values, heroine 1 when none is present.
void ChooseLeader() {
  std::array<int32_t, kHeroineCount> values{};
  uint32_t present = 0;
  for (int32_t h = 1; h <= kHeroineCount; ++h) {
    values[static_cast<size_t>(h - 1)] = GetHeroineVar2(h);
    if (Present(h)) present |= 1u << (h - 1);
  }
  Map11State().leader = TopHeroine(values, present);
}

template <LeaderColumn kColumn>
int LeaderLine() {
  const int32_t leader = Map11State().leader;
  const int32_t h = leader >= 1 && leader <= kMap10Heroines ? leader : 1;
  const EventMessageRef line = kLeaderLines[static_cast<size_t>(h - 1)][kColumn];
  return EventMessage(line.face, line.message);
}

void HoldCamera() { Battle().camera.lock = 1; }
void ReleaseCamera() { Battle().camera.lock = 0; }

constexpr auto kOpeningEnd = TalkList({{11, 10013}, {11, 10014}});

constexpr S::Op kOpening[] = {
    S::Message(11, 10000),
    S::Do(&FirstOpeningLine),
    S::Custom(&OpeningLines),
    S::Do(&ChooseLeader),
    S::Custom(&LeaderLine<kLead>),
    S::Scroll(0x780000, 0x4f80000, 0x80000),
    S::Messages(kOpeningEnd),
    S::Do(&HoldCamera),
    S::End(),
};
static_assert(S::Valid(kOpening));
constexpr SeqArgs kOpeningArgs{kOpening};

constexpr S::Op kTour[] = {
    S::Custom(&LeaderLine<kTour1>),
    S::ScrollPx(592, 1440, 8),
    S::Custom(&LeaderLine<kTour2>),
    S::ScrollPx(1080, 1136, 8),
    S::Custom(&LeaderLine<kTour3>),
    S::ScrollPx(256, 368, 8),
    S::Custom(&LeaderLine<kTour4>),
    S::Do(&ReleaseCamera),
    S::End(),
};
static_assert(S::Valid(kTour));
constexpr SeqArgs kTourArgs{kTour};

constexpr S::Op kBriefing[] = {
    S::ScrollPx(1296, 56, 8),
    S::Message(11, 10038),
    S::Custom(&LeaderLine<kLastWord>),
    S::End(),
};
static_assert(S::Valid(kBriefing));
constexpr SeqArgs kBriefingArgs{kBriefing};

// ---- 11160, 11170, 11180: a target destroyed ----

// The line of the character who destroyed the target (the recorded byte & 7), per event.
constexpr int kTargetLineRows = 8;
constexpr std::array<std::array<EventMessageRef, kTargetLineRows>, 3> kTargetLines = {{
    {{{11, 10046}, {29, 10040}, {74, 10041}, {110, 10042}, {155, 10043}, {209, 10044},
      {137, 10045}, {11, 10046}}},
    {{{11, 10053}, {29, 10047}, {74, 10048}, {110, 10049}, {155, 10050}, {209, 10051},
      {137, 10052}, {11, 10053}}},
    {{{11, 10060}, {29, 10054}, {74, 10055}, {110, 10056}, {155, 10057}, {209, 10058},
      {137, 10059}, {11, 10060}}},
}};

template <size_t kTarget>
int TargetLine() {
  const EventMessageRef line = kTargetLines[kTarget][Battle().factory_destroyer & 7u];
  return EventMessage(line.face, line.message);
}
void ClearTargetFlags() {
  for (uint32_t flag : {427u, 428u, 429u}) ClearEventFlag(flag);
}

template <size_t kTarget>
constexpr std::array<S::Op, 3> TargetProgram() {
  return {S::Custom(&TargetLine<kTarget>), S::Do(&ClearTargetFlags), S::End()};
}
constexpr auto kTarget1 = TargetProgram<0>();
constexpr auto kTarget2 = TargetProgram<1>();
constexpr auto kTarget3 = TargetProgram<2>();
static_assert(S::Valid(kTarget1) && S::Valid(kTarget2) && S::Valid(kTarget3));
constexpr SeqArgs kTarget1Args{kTarget1};
constexpr SeqArgs kTarget2Args{kTarget2};
constexpr SeqArgs kTarget3Args{kTarget3};

// ---- 11190: the finale ----

SlgUnit* Glow() {
  SlgUnit* glow = FindUnitByKind(kMap11GlowKind);
  return glow != nullptr && SlgUnitLive(*glow) ? glow : nullptr;
}
void BreakGlow() {
  if (SlgUnit* glow = Glow(); glow != nullptr) SetUnitState(*glow, kMap11GlowBreak);
}
bool GlowBroken() {
  const SlgUnit* glow = Glow();
  return glow == nullptr || glow->state == kMap11GlowBroken;
}
int DestroyEnemies() { return EventDestroyEnemies(); }

constexpr S::Op kFinale[] = {
    S::FadeOutMusic(),
    S::Se(269),
    S::WhiteFlash(),
    S::Se(269),
    S::WhiteFlash(),
    S::Message(15, 10061),
    S::Se(269),
    S::WhiteFlash(),
    S::Se(269),
    S::WhiteFlash(),
    S::Do(&EventDestroyEnemiesReset),
    S::Custom(&DestroyEnemies),
    S::Scroll(0x780000, 0x4f80000, 0x80000),
    S::Do(&BreakGlow),
    S::HoldUntil(&GlowBroken, {kMap11GlowKind}),
    S::Wait(120),
    S::FocusUnit(0, 0),
    S::Message(11, 10062),
    S::FadeOut(),
    S::SwitchStage(21),
    S::End(),
};
static_assert(S::Valid(kFinale));
constexpr SeqArgs kFinaleArgs{kFinale};

// ---- The table ----

constexpr auto kMad1 = TalkList({{239, 10063}});
constexpr auto kMad2 = TalkList({{239, 10064}});
constexpr TalkListArgs kMad1Args{kMad1};
constexpr TalkListArgs kMad2Args{kMad2};

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 11110, .timing = 0x8000, .guard = {110, 0}, .set = {110, 0}, .handler = &SeqRow,
     .arg = &kPlacementArgs},
    {.id = 11130, .timing = 0x8000, .guard = {130, 0}, .set = {130, 0}, .handler = &SeqRow,
     .arg = &kOpeningArgs},
    {.id = 11140, .timing = 0x8000, .b = "F(130);", .guard = {140, 0}, .set = {140, 0},
     .handler = &SeqRow, .arg = &kTourArgs},
    {.id = 11150, .timing = 0x8000, .b = "F(140);", .guard = {150, 0}, .set = {150, 0},
     .handler = &SeqRow, .arg = &kBriefingArgs},
    {.id = 11190, .timing = 0x8000, .a = "F(180);", .guard = {190, 0}, .set = {190, 0},
     .handler = &SeqRow, .arg = &kFinaleArgs},
    {.id = 11210, .timing = 0x2, .b = "M(MAD);", .guard = {210, 0}, .set = {210, 0},
     .clear = {211, 0}, .handler = &TalkListRow, .arg = &kMad1Args},
    {.id = 11211, .timing = 0x2, .b = "M(MAD);", .guard = {211, 0}, .set = {211, 0},
     .clear = {210, 0}, .handler = &TalkListRow, .arg = &kMad2Args},
});

constexpr const char* kTargetDestroyed = "F(427)|F(428)|F(429);";
constexpr SlgEventEntry TargetRow(uint16_t id, int16_t flag, const SeqArgs* args) {
  return {.id = id, .timing = 0x8000, .b = kTargetDestroyed, .guard = {flag, 0},
          .set = {flag, 0}, .handler = &SeqRow, .arg = args};
}
constexpr auto kTargetRows = std::to_array<SlgEventEntry>({
    TargetRow(11160, 160, &kTarget1Args),
    TargetRow(11170, 170, &kTarget2Args),
    TargetRow(11180, 180, &kTarget3Args),
});

// The shared lines, with heroine 4's (slot IYS) and heroine 3's joint remark of this map.
constexpr uint8_t kAll = kITV | kIDV | kILN | kIYS | kIBS | kITZ;
constexpr GenericTalkSet kTalks = [] {
  GenericTalkSet t = CommonTalks(kAll);
  t.falls[3] = {4, {{{162, 2097}, {162, 2095}, {162, 2096}}}};
  t.ref_talks[3] = {156, 3342};
  t.ref_talks2[2] = {111, 2068};
  t.ref_talks2[3] = {156, 2092};
  t.char_talks[3] = {4, {{{159, 2091}, {156, 2090}, {155, 2087}, {155, 2088}, {155, 2089}}}};
  return t;
}();

// Every heroine row begins with her presence flag (slots ITV IDV ILN IYS IBS ITZ: heroines 1, 2,
// 3, 4, 6, 5).
constexpr GenericDesc kFallsAndRemarks{
    .talks = &kTalks,
    .falls = {.base = 11500, .members = kAll,
              .b = {"F(441)&NP(ITV);", "F(442)&NP(IDV);", "F(443)&NP(ILN);", "F(444)&NP(IYS);",
                    "F(446)&NP(IBS);", "F(445)&NP(ITZ);"}},
    .ref_talks = {.base = 11520, .members = kAll,
                  .b = {"F(441)&KP(ITV);", "F(442)&KP(IDV);", "F(443)&KP(ILN);",
                        "F(444)&KP(IYS);", "F(446)&KP(IBS);", "F(445)&KP(ITZ);"}}};
constexpr GenericDesc kJointAndTurnTalks{
    .talks = &kTalks,
    .ref_talks2 = {.base = 11530, .members = kAll,
                   .b = {"F(441)&CP(ITV);", "F(442)&CP(IDV);", "F(443)&CP(ILN);",
                         "F(444)&CP(IYS);", "F(446)&CP(IBS);", "F(445)&CP(ITZ);"}},
    .char_talks = {.base = 11610, .members = kAll,
                   .b = {"F(441)&PP(ITV)&R(20);", "F(442)&PP(IDV)&R(20);",
                         "F(443)&PP(ILN)&R(20);", "F(444)&PP(IYS)&R(20);",
                         "F(446)&PP(IBS)&R(20);", "F(445)&PP(ITZ)&R(20);"}},
    .favourite_c = "HP(IKD,0)|NP(IMR());"};

constexpr auto kTable = JoinRows(kStoryRows, GenericRows<kFallsAndRemarks>(), kTargetRows,
                                 TurnTalksByHeroine(GenericRows<kJointAndTurnTalks>()));
static_assert(kTable.size() == 35 + 1);

// ---- The map's objects and sprites ----

// The glowing object's alpha level at its frame count t: v = t mod 32, mirrored (32 - v) in every
// odd block of 32 frames, level ((v / 2 + 16) x 256) / 32: 128 up to 256 and back.
uint32_t GlowAlpha(int32_t t) {
  int32_t v = t % 32;
  if ((t / 32) % 2 != 0) v = 32 - v;
  return 0x20000u + static_cast<uint32_t>(((v / 2 + 16) * 256) / 32);
}

// The glowing object (the unit's state byte is its phase): 0 snapped to its cell with pattern 0,
// 1; 1 and 3 drawn at its position; 2 (the finale) pattern 1 played once, 3; at the end of that
// its animation released, 4. Its alpha pulses unless the battle's bit 0x20 holds the map's
// sprites.
int GlowingObject(SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr) return 0;
  if (unit.state == 0) {
    EventObjSnap(unit);
    EventObjPlace(unit);
    position = EventObjScreenPos(unit);
    SetAnmPattern(body, 0);
    ChangeUnitAnm(unit, 4);
    SetUnitState(unit, 1);
  } else if (unit.state == kMap11GlowBreak) {
    SetAnmPattern(body, 1);
    EventAnmReplay(unit, kSlgAnmOnce);
    SetUnitState(unit, 3);
  }
  if (unit.state == 1 || unit.state == 3) {
    body->attr = 0;
    SetAnmPos(body, position);
    SlgSprSetPos(body->handle, position);
    SlgSprSetPri(body->handle, body->depth);
  }
  if (unit.state == 3 && SlgAnmObjIsEnd(body) != 0) {
    if (HasScene()) Scene().tamvik_spr.ReleaseAnm(&body->handle);
    SetUnitState(unit, kMap11GlowBroken);
  }
  if ((Battle().flags & kMap11GlowHeldBit) == 0 && body->handle != nullptr) {
    SlgSprSetAlpha(body, GlowAlpha(body->frames));
  }
  return 0;
}

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap11ObjectKinds> t{};
  for (size_t k = 0; k <= 6; ++k) t[k] = EventAnmOnceSnapFore;
  t[kMap11GlowKind - 80] = &GlowingObject;
  for (size_t k = 8; k <= 11; ++k) t[k] = EventAnmPattern0;
  for (size_t k = 12; k <= 14; ++k) t[k] = EventAnmFixedDepth259;
  return t;
}();

constexpr FixTaskRow kFixedSprites[] = {
    {1, 88, 1728, 816},  {2, 89, 1872, 744},  {2, 89, 1488, 360},  {3, 90, 1152, 480},
    {4, 91, 720, 456},   {4, 91, 1056, 1008}, {5, 92, 1824, 1584}, {5, 92, 1872, 848},
    {5, 92, 1824, 960},  {5, 92, 1776, 1696}, {5, 92, 1984, 800},  {5, 92, 1680, 944},
    {5, 92, 1632, 1680}, {6, 93, 1616, 1152}, {6, 93, 1568, 1888}, {7, 94, 224, 1904},
    {7, 94, 416, 2000},  {7, 94, 304, 1968},  kFixTaskRowEnd};
void Map11Sprites() { FixTaskAddList(kFixedSprites); }

}  // namespace

const MapSetup kMap11Setup{.bgm = MapBgm::Play(30),
                           .table = kTable.data(),
                           .anm_table = kAnm,
                           .deferred = &Map11Sprites};
