#pragma once
// The final battle's shared building blocks (maps 23-26): scripted scenes in which the party is shown in a
// flash, walks, leaves or stays behind, a companion fights in scripted attacks and a still
// picture ends the map with a stage switch or the victory.
//
//   FinalRouteKind()                     the route heroine's unit kind (1-6) from P[83]
//   FinalStartCells / FinalCellRow       start cells by route kind, pairs halved ((0, 0): none)
//   PlaceFinalParty(row, dir, party)     the party on a row's cells, the others taken off
//   PoseFinalParty(party, dir)           every listed member turned, state 0
//   FinalRoutes<&Works>                  the route works, owned by a holder task
//   FinalWalkers, StepFinalWalkers       marked walkers on their own works, arrivals counted
//   FinalAttack<&Actor, &Target, type>   the scripted attack's three parts as sequence ops
//   FinalPartyBg, FinalPartyFlash, FinalPartyStands, FinalPicture<n>,
//   FinalFreeBg                          the party-shown steps and the still-picture ending
//   ListFinalParty(party)                the party on the map listed, nobody moved
//   FinalTwoPartObject                   an object's entrance played once, then its loop
//   FinalSe400<n>, JoinOps               sequence pieces
//   FinalEventTable                      a final map's four rows
//
// A map keeps a FinalParty, a FinalRouteWorks and (where it walks several units) a FinalWalkers
// in its stage words, and writes its handlers as step sequences around these blocks.

#include <array>
#include <cstdint>

#include "battle/slg_battle_state.h"
#include "battle/slg_geometry.h"
#include "battle/slg_sound.h"
#include "battle/slg_task.h"
#include "battle_events/core/event_table.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "battle_events/runtime/event_walks.h"

// The player's unit kinds of the final battle (the hero 0, the heroines 1-6).
constexpr int kFinalKinds = 7;
// The route works every final map allocates: one per kind and one more.
constexpr int kFinalRouteWorks = kFinalKinds + 1;
// The background shown behind the party's flash, and its blend word: additive at full level.
constexpr int kFinalPartyPicture = 300;
constexpr uint32_t kFinalBgBlend = 0x10000 | 256;
// The most frames a step waits on a unit's action or a sound effect before it goes on, traced.
constexpr int32_t kFinalStepLimit = 900;

// The route heroine's unit kind, 1-6 (EventPartnerChara).
int32_t FinalRouteKind();

// A cell of the tables, halved map pixels: (x * 2, y * 2) is the map point; (0, 0) none.
struct FinalCell {
  int16_t x = 0;
  int16_t y = 0;
  constexpr bool present() const { return x != 0 || y != 0; }
  constexpr int32_t px() const { return int32_t{x} * 2; }
  constexpr int32_t py() const { return int32_t{y} * 2; }
};
// One row: the cell of each unit kind 0-6.
using FinalCellRow = std::array<FinalCell, kFinalKinds>;
// Rows by route kind 0-6 (row 0 is never chosen: FinalRouteKind gives 1-6).
using FinalStartCells = std::array<FinalCellRow, kFinalKinds>;

// The party members on the map, in kind order.
struct FinalParty {
  std::array<int8_t, kFinalKinds> kinds{};
  int32_t count = 0;
};

// Each group-0 unit of kinds 0-6 with a cell in `row` moved onto it (EventPlaceUnitAt), facing
// `dir` in state 0, and listed; the others taken off the map (EventRemoveUnit). A kind with a cell
// but no unit is traced and left out of the list.
void PlaceFinalParty(const FinalCellRow& row, uint32_t dir, FinalParty& party);
// Every listed member still on the map facing `dir`, state 0.
void PoseFinalParty(const FinalParty& party, uint32_t dir);
// The unit turned and set to state 0; nothing for null.
void PoseUnit(SlgUnit* unit, uint32_t dir);

// ---- The route works ----
// The works live in the owned slots of a holder task, so a battle torn down mid-scene frees them
// with its tasks; the map keeps the holder in its stage words.
struct FinalRouteWorks {
  SlgEffectTask* holder = nullptr;
};

namespace final_kit {
bool AllocRoutes(FinalRouteWorks& works, SlgBody holder_body, int count);
RouteWork* Route(const FinalRouteWorks& works, int n);
void FreeRoutes(FinalRouteWorks& works);
void ForgetHolder(FinalRouteWorks& works, SlgEffectTask* task);
}  // namespace final_kit

// The route works of the map whose stage words give `Works()`.
template <FinalRouteWorks& (*Works)()>
struct FinalRoutes {
  // The holder ends itself when asked to stop, forgetting itself in the map's words first.
  static void Hold(SlgEffectTask* task) { final_kit::ForgetHolder(Works(), task); }
  // Works 0 .. Count - 1 made (a refused allocation is traced; a walk on a missing work ends
  // at once).
  template <int Count = kFinalRouteWorks>
  static void Alloc() {
    final_kit::AllocRoutes(Works(), &Hold, Count);
  }
  // Work n (0-7); null when none is held.
  static RouteWork* At(int n) { return final_kit::Route(Works(), n); }
  // The works freed with their holder (nothing when none is held).
  static void Free() { final_kit::FreeRoutes(Works()); }
};

// ---- Walkers ----
// Kinds marked walking, each toward its own map point on its own route work.
struct FinalWalkers {
  std::array<uint8_t, kFinalKinds> walking{};
  std::array<SlgPoint, kFinalKinds> target{};
  int32_t arrived = 0;  // arrivals since the marks were cleared
  int32_t next = 0;     // the next entry of a start order
  int32_t interval = 0;
};
// Marks cleared, counts 0.
void ClearFinalWalkers(FinalWalkers& w);
// Marks `kind` walking to map point (x, y).
void StartFinalWalker(FinalWalkers& w, int32_t kind, int32_t x, int32_t y);
// One frame of every marked walker: EventWalkUnit(routes[kind], group 0, kind, target, speed);
// on arrival (or at once when the unit or its route is missing) unmarked and counted, and with
// `remove` taken off the map. The number still walking.
int32_t StepFinalWalkers(FinalWalkers& w, const FinalRouteWorks& routes, bool remove,
                         int32_t speed = 0);
int32_t FinalWalkersWalking(const FinalWalkers& w);

// ---- Scripted attacks ----
namespace final_kit {
void AttackPrepare(SlgUnit* actor, SlgUnit* target, int32_t type);
void AttackLoadExtra(SlgUnit* actor);
void AttackStart(SlgUnit* actor, SlgUnit* target);
// A step: 1 once the actor is missing or back in state 0 (EventAttackFinish then), or after
// kFinalStepLimit frames (traced).
int AttackFinished(SlgUnit* actor, SlgUnit* target);
}  // namespace final_kit

// The parts of a scripted attack of Actor() on Target(), as sequence ops: Prepare (both
// scripted-attack words 1, the attack type, everyone frozen), LoadExtra (the actor's extra
// animations), Start (actor state 5, target state 9), Finished (a step: once the actor's state is 0,
// EventAttackFinish). A missing actor or target makes each part complete at once.
template <SlgUnit* (*Actor)(), SlgUnit* (*Target)(), int32_t Type>
struct FinalAttack {
  static void Prepare() { final_kit::AttackPrepare(Actor(), Target(), Type); }
  static void LoadExtra() { final_kit::AttackLoadExtra(Actor()); }
  static void Start() { final_kit::AttackStart(Actor(), Target()); }
  static int Finished() { return final_kit::AttackFinished(Actor(), Target()); }
};

// ---- The party's flash and the still picture ----
// LoadBG(300, 320, 240) and the additive blend word.
void FinalPartyBg();
// SlgSePlay(291), SlgSePlay400(2).
void FinalPartyFlash();
// EventFreeBG and every listed member facing 2 in state 0.
void FinalPartyStands(const FinalParty& party);
// LoadBG(picture, 320, 240), as a sequence op (FinalPicture<n>) or a call.
void FinalShowPicture(int picture);
template <int Picture>
void FinalPicture() {
  FinalShowPicture(Picture);
}
// EventFreeBG.
void FinalFreeBg();

// ---- The party as it stands ----
// The group-0 units of kinds 0-6 on the map listed in kind order (nobody moved).
void ListFinalParty(FinalParty& party);

// ---- Objects played in two parts ----
// An event object whose pattern 0 is played once as its entrance and pattern 1 then loops, the
// phase its state byte: 0 put on its cell's point, pattern 0 once; 1 following its position
// until the animation has ended, then pattern 1 looping (2); 2 following; 3 its animation
// released. `depth`, when given, gives the body's depth each frame before the sprite is placed.
int FinalTwoPartObject(SlgUnit& unit, SlgPair& position,
                       int16_t (*depth)(const SlgUnit& unit) = nullptr);

// ---- Sequence pieces ----
// SlgSePlay400(n) as an immediate op.
template <int N>
void FinalSe400() {
  SlgSePlay400(N);
}
// Two op lists one after the other (a scene's shared opening and its own ending).
template <class Op, size_t A, size_t B>
constexpr std::array<Op, A + B> JoinOps(const std::array<Op, A>& a, const std::array<Op, B>& b) {
  std::array<Op, A + B> out{};
  for (size_t n = 0; n < A; ++n) out[n] = a[n];
  for (size_t n = 0; n < B; ++n) out[A + n] = b[n];
  return out;
}

// ---- The event table ----
// The conditions that tell the two rows of a pair apart: P[83] other than n, and P[83] n.
inline constexpr std::array<const char*, 7> kFinalNotPartner = {
    "", "FAD(83)!=1;", "FAD(83)!=2;", "FAD(83)!=3;", "FAD(83)!=4;", "FAD(83)!=5;", "FAD(83)!=6;"};
inline constexpr std::array<const char*, 7> kFinalPartner = {
    "", "FAD(83)=1;", "FAD(83)=2;", "FAD(83)=3;", "FAD(83)=4;", "FAD(83)=5;", "FAD(83)=6;"};
// A final map's four rows and the end row: the party scenes (map x 1000 + 105 while P[83] is not
// `party_partner`, + 106 when it is) and the main scenes (+ 110 and + 111 the same with
// `scene_partner`), each at timing 0x8000 with its own last three digits as guard and set flag,
// run by SeqRow on the programs given in that order.
constexpr std::array<SlgEventEntry, 5> FinalEventTable(
    int32_t map, int32_t party_partner, int32_t scene_partner,
    const std::array<const EventSeq::ProgramArgs*, 4>& programs) {
  constexpr std::array<int16_t, 4> kRows = {105, 106, 110, 111};
  std::array<SlgEventEntry, 5> t{};
  for (size_t n = 0; n < kRows.size(); ++n) {
    const auto partner = static_cast<size_t>(n < 2 ? party_partner : scene_partner);
    t[n] = {.id = static_cast<uint16_t>(map * 1000 + kRows[n]),
            .timing = 0x8000,
            .b = n % 2 == 0 ? kFinalNotPartner.at(partner) : kFinalPartner.at(partner),
            .guard = {kRows[n], 0},
            .set = {kRows[n], 0},
            .handler = &SeqRow,
            .arg = programs[n]};
  }
  return t;
}

