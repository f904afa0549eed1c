#include "battle_events/maps/map20.h"

#include <array>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_movie.h"
#include "battle_events/event_sound.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/generic_rows.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/maps/kit/standard_talks.h"
#include "battle_events/maps/map15.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

Map20Words& Map20State() { return Battle().Extension<Map20Words>(); }

// The same table as map 15's.
int32_t Map20Partner(int32_t p83) { return Map15Partner(p83); }

int32_t Map20StillFrame(uint32_t character) {
  constexpr std::array<int32_t, 7> kFrames = {0, 1, 2, 3, 4, 5, 6};
  return character < kFrames.size() ? kFrames[character] : 0;
}

namespace {

namespace S = EventSeq;

constexpr const char* kSeBank = "SEBE10.ALL";
// The party's kinds.
constexpr int32_t kFirstPlayerKind = 7;
constexpr int32_t kLastPlayerKind = 13;
// The units the boss summons (removed by the victory).
constexpr int32_t kFirstSummonKind = 48;
constexpr int32_t kLastSummonKind = 50;
constexpr int32_t kVictoryObject = 94;
// The partner's face of message 3163 by partner character 1-6.
constexpr std::array<int32_t, 7> kPartnerFace = {29, 29, 74, 110, 155, 209, 137};

void PartyShown(bool shown) {
  for (int32_t k = kFirstPlayerKind; k <= kLastPlayerKind; ++k) {
    if (shown) {
      EventSetKindFlag(k, kShowFlag);
    } else {
      EventClearKindFlag(k, kShowFlag);
    }
  }
}

// ---- 20110: the opening ----

void OpeningStart() {
  Map20Words& m = Map20State();
  SlgFadeIn(64);
  m.picture = 0;
  m.jewel_frames = 0;
  PartyShown(false);
  m.partner = Map20Partner(SlgGetMacroP(kMap20PartnerVar));
  m.horns = Map20StartHorns();
  m.crackle = Map20StartCrackle();
  m.crackle_stage = 0;
  EventLoadSeBank(kSeBank);
}
void LoadOpeningData() { EventLoadBin("EVS20110.BIN", kEventBinAddress); }
int SeBankLoaded() { return EventLoadSeBank(kSeBank); }
void ArrivalFigures() {
  SlgSePlay(296);
  DeployKinds(80, 86);
}
void StandingFigures() { DeployKinds(87, 93); }
int PartnerMessage() {
  const int32_t partner = Map20State().partner;
  const int32_t face = kPartnerFace[static_cast<size_t>(partner >= 1 && partner <= 6 ? partner : 1)];
  return EventMessage(face, 3163);
}
void ArrivalFiguresGone() {
  SlgSePlay(31);
  UndeployKinds(80, 86);
}
int PlaneOut() { return EventPlaneFadeOut(120); }
int PlaneIn() { return EventPlaneFadeIn(120); }
void PictureShown() {
  Battle().flags |= kMap20PictureBit;
  Map20State().picture = 1;
}
void PictureGone() {
  Battle().flags &= static_cast<uint16_t>(~kMap20PictureBit);
  Map20State().picture = 0;
}
int PictureIn() { return EventBgFadeIn(213, 60, 70); }
int PictureOut() { return EventBgFadeOut(60, 70); }
void WeakPointRises() {
  Map20Words& m = Map20State();
  m.weak = Map20StartWeakPoint();
  m.weak_stage = 0;
}
void OpeningEnd() {
  UndeployKinds(87, 93);
  PartyShown(true);
  Slg::ResetCurrentUnit();
}

constexpr auto k3352 = TalkList({{266, 3352}});
constexpr auto k3353 = TalkList({{265, 3353}});
constexpr auto kPictureTalk = TalkList({{307, 3354},
                                        {266, 3355},
                                        {307, 3356},
                                        {307, 3357},
                                        {307, 3358},
                                        {267, 3359},
                                        {307, 3360},
                                        {266, 3361},
                                        {266, 3362}});
constexpr auto k10010 = TalkList({{307, 10010}});
constexpr auto k10020 = TalkList({{307, 10020}, {307, 10030}});

constexpr S::Op kOpening[] = {
    S::Do(&OpeningStart),
    S::Do(&LoadOpeningData),
    S::Custom(&FadeEnded),
    S::Messages(k3352),
    S::Wait(60),
    S::ScrollPx(1144, 216, 16),
    S::Custom(&SeBankLoaded),
    S::Do(&ArrivalFigures),
    S::Wait(16),
    S::Do(&StandingFigures),
    S::Wait(120),
    S::Custom(&PartnerMessage),
    S::Do(&ArrivalFiguresGone),
    S::Messages(k3353),
    S::Custom(&PlaneOut),
    S::Do(&PictureShown),
    S::Custom(&PictureIn),
    S::Messages(kPictureTalk),
    S::Custom(&PictureOut),
    S::Do(&PictureGone),
    S::Custom(&PlaneIn),
    S::Messages(k10010),
    S::Se(138),
    S::Do(&WeakPointRises),
    S::Messages(k10020),
    S::Do(&OpeningEnd),
    S::End(),
};
static_assert(S::Valid(kOpening));
constexpr SeqArgs kOpeningArgs{kOpening};

// ---- 20130, 20140, 20150: the boss at 75 %, 50 % and 25 % ----

template <uint8_t kStage>
void RaiseStage() {
  Map20Words& m = Map20State();
  m.weak_stage = kStage;
  m.crackle_stage = kStage;
  SlgSePlay400(0);
}
void JewelBreaksOut() {
  Map20Words& m = Map20State();
  EventLoadSeBank(kSeBank);
  m.jewel = Map20StartJewel();
  m.jewel_frames = 0;
}
// The 180-frame wait, with SE 291 on its 15th frame.
int JewelWait() {
  Map20Words& m = Map20State();
  if (++m.jewel_frames == 15) SlgSePlay(291);
  return m.jewel_frames >= 180 ? 1 : 0;
}
void HornsBlowOff() {
  Map20Words& m = Map20State();
  EventLoadSeBank(kSeBank);
  Map20StopTask(m.horns);
  Map20StartExplosion();
  SlgSePlay(299);
}

constexpr auto k10040 = TalkList({{269, 10040}});
constexpr auto k10050 = TalkList({{269, 10050}});
constexpr auto k10060 = TalkList({{269, 10060}});

constexpr S::Op kAt75[] = {
    S::ScrollPx(1336, 104, 32),
    S::Do(&RaiseStage<1>),
    S::Custom(&SeStopped<20>),
    S::Messages(k10040),
    S::End(),
};
static_assert(S::Valid(kAt75));
constexpr SeqArgs kAt75Args{kAt75};

constexpr S::Op kAt50[] = {
    S::ScrollPx(1336, 104, 32),
    S::Do(&RaiseStage<2>),
    S::Custom(&SeStopped<20>),
    S::Do(&JewelBreaksOut),
    S::Custom(&JewelWait),
    S::Messages(k10050),
    S::End(),
};
static_assert(S::Valid(kAt50));
constexpr SeqArgs kAt50Args{kAt50};

constexpr S::Op kAt25[] = {
    S::ScrollPx(1336, 104, 32),
    S::Do(&RaiseStage<3>),
    S::Custom(&SeStopped<20>),
    S::Do(&HornsBlowOff),
    S::Wait(120),
    S::Messages(k10060),
    S::End(),
};
static_assert(S::Valid(kAt25));
constexpr SeqArgs kAt25Args{kAt25};

// ---- 20160: the victory ----

void LoadVictoryData() { EventLoadBin("EVS20160.BIN", kEventBinAddress); }
void VictoryObject() {
  EventDeployKind(kVictoryObject);
  SlgSePlay400(5);
}
void WhiteOut() { SlgWhiteOut(32); }
void BossGone() {
  Map20Words& m = Map20State();
  RemoveUnitsOfKinds(kFirstSummonKind, kLastSummonKind);
  PartyShown(false);
  Map20StopTask(m.weak);
  Map20StopTask(m.crackle);
  Map20StopTask(m.jewel);
  EventUndeployKind(kVictoryObject);
}
void SoundsOff() {
  EventStopBgm();
  SlgStopSound();
  SlgWhiteIn(128);
}
int Movie() { return EventMoviePlayFull(1, 20); }
void MovieSeen() {
  Battle().flags |= 0xA0;
  Battle().flags &= static_cast<uint16_t>(~0x02);
}

constexpr auto k40000 = TalkList({{269, 40000}, {13, 40010}});

constexpr S::Op kVictory[] = {
    S::Do(&LoadVictoryData),
    S::ScrollPx(1336, 104, 32),
    S::Do(&VictoryObject),
    S::Custom(&SeStopped<20>),
    S::Messages(k40000),
    S::Do(&WhiteOut),
    S::Custom(&FadeEnded),
    S::Do(&BossGone),
    S::Do(&SoundsOff),
    S::Custom(&Movie),
    S::Do(&MovieSeen),
    S::StartGameWin(),
    S::End(),
};
static_assert(S::Valid(kVictory));
constexpr SeqArgs kVictoryArgs{kVictory};

// ---- The table ----

constexpr auto k10070 = TalkList({{307, 10070}});
constexpr auto k10080 = TalkList({{307, 10080}});
constexpr TalkListArgs k10070Args{k10070};
constexpr TalkListArgs k10080Args{k10080};

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = 20110, .timing = 0x8000, .guard = {110, 0}, .set = {110, 0}, .handler = &SeqRow,
     .arg = &kOpeningArgs},
    {.id = 20130, .timing = 0x8000, .b = "HGU(GBO,UST,75);", .guard = {130, 0}, .set = {130, 0},
     .handler = &SeqRow, .arg = &kAt75Args},
    {.id = 20140, .timing = 0x8000, .a = "F(130);", .b = "HGU(GBO,UST,50);", .guard = {140, 0},
     .set = {140, 0}, .handler = &SeqRow, .arg = &kAt50Args},
    {.id = 20150, .timing = 0x8000, .a = "F(140);", .b = "HGU(GBO,UST,25);", .guard = {150, 0},
     .set = {150, 0}, .handler = &SeqRow, .arg = &kAt25Args},
    {.id = 20160, .timing = 0x8000, .a = "F(150);", .b = "HGU(GBO,UST,0);", .guard = {160, 0},
     .set = {160, 0}, .handler = &SeqRow, .arg = &kVictoryArgs},
    {.id = 20170, .timing = 0x2, .b = "M(MAD);", .guard = {170, 0}, .set = {170, 0},
     .clear = {180, 0}, .handler = &TalkListRow, .arg = &k10070Args},
    {.id = 20180, .timing = 0x2, .b = "M(MAD);", .guard = {180, 0}, .set = {180, 0},
     .clear = {170, 0}, .handler = &TalkListRow, .arg = &k10080Args},
});

constexpr uint8_t kAll = kITV | kIDV | kILN | kIYS | kIBS | kITZ;
constexpr GenericTalkSet kTalks = StandardTalkPairs();
constexpr GenericDesc kGeneric{
    .talks = &kTalks,
    .falls = {.base = 500, .members = kAll},
    .ref_talks = {.base = 520, .members = kAll},
    .ref_talks2 = {.base = 530, .members = kAll},
    .char_talks = {.base = 600, .members = kAll},
    .favourite_chance = 10,
    .talk_c = "HP(IKD,0)|HGU(GBO,UST,0);",
    .favourite_c = "HP(IKD,0)|HGU(GBO,UST,0)|NP(IMR());",
    .ref_talk_c = "HGU(GBO,UST,0);"};

constexpr auto kTable = JoinRows(kStoryRows, GenericRows<kGeneric>());
static_assert(kTable.size() == 32 + 1);

// ---- The map's objects ----

// The standing figures (87-93): on their cell, looping flags, held on the still frame of their
// character byte, following their position.
constexpr EventAnmDesc kStanding{.start = EventAnmStart::kLoop, .snap = EventAnmSnap::kCell};
int StandingFigure(SlgUnit& unit, SlgPair& position) {
  const bool first = unit.state == kEventAnmFirst;
  RunEventAnm(kStanding, unit, position);
  if (!first || unit.anm == nullptr || unit.anm->handle == nullptr || !HasScene()) return 0;
  if (SpxAnimeKind* spx = Scene().tamvik_spr.spx()) {
    spx->SetFrame(unit.anm->handle, Map20StillFrame(unit.character));
  }
  Ctx().anime.SetStop(unit.anm->handle, 1);
  return 0;
}

// The victory's object (94): on its cell, pattern 0 played once, then pattern 1 with its stop
// byte cleared, following its position.
constexpr EventAnmDesc kVictoryOnce{.snap = EventAnmSnap::kCell};
int VictoryFigure(SlgUnit& unit, SlgPair& position) {
  RunEventAnm(kVictoryOnce, unit, position);
  SlgAnmObj* body = unit.anm;
  if (body == nullptr || body->pattern != 0 || unit.state != kEventAnmRunning) return 0;
  if (SlgAnmObjIsEnd(body) == 0) return 0;
  SetAnmPattern(body, 1);
  EventAnmReplay(unit, 0);
  return 0;
}

constexpr auto kAnm = [] {
  std::array<SlgEventAnmHandler, kMap20ObjectKinds> t{};
  for (int k = 80; k <= 86; ++k) t[static_cast<size_t>(k - 80)] = EventAnmOnceSnapFore;
  for (int k = 87; k <= 93; ++k) t[static_cast<size_t>(k - 80)] = &StandingFigure;
  t[kVictoryObject - 80] = &VictoryFigure;
  return t;
}();

}  // namespace

const MapSetup kMap20Setup{.bgm = MapBgm::Play(15), .table = kTable.data(), .anm_table = kAnm};
