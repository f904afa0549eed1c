#pragma once
// The shared event-animation handlers: the standard ways an event object shows its EventAnm
// animation (played once, held, a still picture, at a fixed depth, a cell-placed one-shot). The
// maps' event-animation tables (battle_events/event_npc.h) point at the named handlers below and
// keep their own handlers for the special objects.
//
// Every variant is one constant descriptor read by one handler body (RunEventAnm), so a variant
// is a line of data. A handler is called once a frame with the unit and its drawing position
// (16.16 about the screen centre); the unit's state byte is its phase: 0 on the first call (the
// set-up runs, then the frame's work in the same call), 1 while running, 2 once a one-shot has
// ended and its animation was released (the object stays on the map until the script undeploys
// it). The unit update has already set the body's depth from the map position this frame; the
// descriptor's depth rule works on that value.

#include <cstdint>

#include "battle/slg_battle_state.h"
#include "battle/slg_units.h"
#include "battle_events/event_npc.h"

// How the object is put on the map on its first frame.
enum class EventAnmSnap : uint8_t {
  kNone,     // where it was placed
  kCell,     // its cell's point lifted by the cell height (CellPosLift), then EventObjPlace
  kObject,   // EventObjSnap and EventObjPlace
  kCellPos,  // EventObjCellPos of its position
};

// The first frame's animation set-up.
enum class EventAnmStart : uint8_t {
  kPlay,       // play setting: flag bit 0, the pattern replayed, played once
  kStill,      // pattern 0 shown stopped on its first frame (flag bit 1)
  kLoop,       // flags 0: the pattern replayed looping
  kCharaOnce,  // pattern := the unit's character byte, flags 1: played once
  kCharaLoop,  // pattern := the unit's character byte, flags 0: looping
};

enum class EventAnmDepth : uint8_t {
  kComputed,  // the depth the unit update computed
  kOffset,    // computed + value
  kFixed,     // value
  kHalfY,     // minus half the object's pixel y, + value
};

// What moves each frame: the animation object's position (SetAnmPos) and the sprite, or the
// sprite only.
enum class EventAnmPlace : uint8_t { kObjectAndSprite, kSprite };

struct EventAnmDesc {
  EventAnmStart start = EventAnmStart::kPlay;
  EventAnmSnap snap = EventAnmSnap::kNone;
  bool held_start = false;  // waits on its first frame until EventResumeKindAnm
  bool shade0 = false;      // the body's shade word kept at 0
  EventAnmDepth depth_rule = EventAnmDepth::kComputed;
  int16_t depth = 0;
  bool shadow = false;  // Slg::DrawUnitShadow at the position every frame
  EventAnmPlace place = EventAnmPlace::kObjectAndSprite;
  bool release_at_end = false;  // one-shot: released at the animation's end, phase 2
};

// Event-object phases (the unit's state byte).
constexpr uint8_t kEventAnmFirst = 0;
constexpr uint8_t kEventAnmRunning = 1;
constexpr uint8_t kEventAnmEnded = 2;

// Depths of the fixed forms: -1100 and -1099 in front of the map's units, 258 and 259 behind.
constexpr int16_t kEventAnmFrontDepth = -1100;
constexpr int16_t kEventAnmFixedDepth = -1099;

// The handler body every variant shares. Nothing for a unit without a body object.
int RunEventAnm(const EventAnmDesc& desc, SlgUnit& unit, SlgPair& position);

// The body's current pattern replayed from its set (ChangeUnitAnm), then the flag byte `flags`
// in force on the new animation: it loops only with flags 0 (kSlgAnmOnce plays it once), and flag
// bit 1 holds it on its first frame. For a map's own handlers that change pattern mid-way.
void EventAnmReplay(SlgUnit& unit, uint8_t flags);

template <const EventAnmDesc& kDesc>
int EventAnmHandlerOf(SlgUnit& unit, SlgPair& position) {
  return RunEventAnm(kDesc, unit, position);
}

namespace event_anm {
using enum EventAnmSnap;
using enum EventAnmStart;
using enum EventAnmDepth;
using enum EventAnmPlace;

// ---- Played once, released at its end ----
inline constexpr EventAnmDesc kOnce{.release_at_end = true};
inline constexpr EventAnmDesc kOnceCellShade0{.snap = kCell, .shade0 = true, .release_at_end = true};
inline constexpr EventAnmDesc kOnceFront{.shade0 = true, .depth_rule = kFixed,
                                         .depth = kEventAnmFrontDepth, .release_at_end = true};
inline constexpr EventAnmDesc kOnceCellHeld{.snap = kCell, .held_start = true,
                                            .release_at_end = true};
inline constexpr EventAnmDesc kOnceSnap{.snap = kObject, .depth_rule = kOffset,
                                        .release_at_end = true};
inline constexpr EventAnmDesc kOnceSnapFore{.snap = kObject, .depth_rule = kOffset, .depth = -1,
                                            .release_at_end = true};
inline constexpr EventAnmDesc kOnceSnapBack{.snap = kObject, .depth_rule = kOffset, .depth = 1,
                                            .release_at_end = true};
inline constexpr EventAnmDesc kOnceSnapHalfYFore{.snap = kObject, .depth_rule = kHalfY,
                                                  .depth = -1, .release_at_end = true};
inline constexpr EventAnmDesc kOnceSnapHeld{.snap = kObject, .held_start = true,
                                            .depth_rule = kOffset, .release_at_end = true};

// ---- Played and held on its last frame, never released ----
inline constexpr EventAnmDesc kHold{};
inline constexpr EventAnmDesc kHoldShade0{.shade0 = true};
inline constexpr EventAnmDesc kHoldShade0Held{.held_start = true, .shade0 = true};
inline constexpr EventAnmDesc kHoldSnap{.snap = kObject, .depth_rule = kOffset};
inline constexpr EventAnmDesc kHoldSnapFore{.snap = kObject, .depth_rule = kOffset, .depth = -1};
inline constexpr EventAnmDesc kHoldSnapBack{.snap = kObject, .depth_rule = kOffset, .depth = 1};
inline constexpr EventAnmDesc kHoldSnapShadow{.snap = kObject, .depth_rule = kOffset,
                                              .shadow = true};
inline constexpr EventAnmDesc kHoldSnapHeld{.snap = kObject, .held_start = true,
                                            .depth_rule = kOffset};
inline constexpr EventAnmDesc kHoldSnapHeldFore{.snap = kObject, .held_start = true,
                                                .depth_rule = kOffset, .depth = -1};
inline constexpr EventAnmDesc kHoldSnapHeldBack{.snap = kObject, .held_start = true,
                                                .depth_rule = kOffset, .depth = 1};
inline constexpr EventAnmDesc kHoldSnapHeldShadow{.snap = kObject, .held_start = true,
                                                  .depth_rule = kOffset, .shadow = true};

// ---- Pattern 0 as a still picture ----
inline constexpr EventAnmDesc kPattern0{.start = kStill};
inline constexpr EventAnmDesc kPattern0CellShade0{.start = kStill, .snap = kCell, .shade0 = true};
inline constexpr EventAnmDesc kPattern0Snap{.start = kStill, .snap = kObject};

// ---- Looping at a fixed depth or on its cell ----
inline constexpr EventAnmDesc kFixedDepth{.start = kLoop, .shade0 = true, .depth_rule = kFixed,
                                          .depth = kEventAnmFixedDepth};
inline constexpr EventAnmDesc kFixedDepth259{.start = kLoop, .depth_rule = kFixed, .depth = 259,
                                             .place = kSprite};
inline constexpr EventAnmDesc kFixedDepth258{.start = kLoop, .depth_rule = kFixed, .depth = 258,
                                             .place = kSprite};
inline constexpr EventAnmDesc kCellLoop{.start = kLoop, .snap = kCell, .shade0 = true};
inline constexpr EventAnmDesc kCellLoopFore{.start = kLoop, .snap = kCell, .shade0 = true,
                                            .depth_rule = kOffset, .depth = -1};

// ---- The pattern of the character byte ----
inline constexpr EventAnmDesc kCellOnce{.start = kCharaOnce, .place = kSprite};
inline constexpr EventAnmDesc kCellPosOnceFore{.start = kCharaOnce, .snap = kCellPos,
                                               .depth_rule = kOffset, .depth = -1};
inline constexpr EventAnmDesc kCellPosOnceFore2{.start = kCharaOnce, .snap = kCellPos,
                                                .depth_rule = kOffset, .depth = -2};
inline constexpr EventAnmDesc kCellPosLoopFore{.start = kCharaLoop, .snap = kCellPos,
                                               .depth_rule = kOffset, .depth = -1};
inline constexpr EventAnmDesc kCellPosLoopFore2{.start = kCharaLoop, .snap = kCellPos,
                                                .depth_rule = kOffset, .depth = -2};
}  // namespace event_anm

// The handlers the maps' tables point at ("Fore": one or two depth steps in front of the
// computed depth; "Back": one behind; "Held": waits for EventResumeKindAnm).
inline constexpr SlgEventAnmHandler EventAnmOnce = &EventAnmHandlerOf<event_anm::kOnce>;
inline constexpr SlgEventAnmHandler EventAnmOnceCellShade0 = &EventAnmHandlerOf<event_anm::kOnceCellShade0>;
inline constexpr SlgEventAnmHandler EventAnmOnceFront = &EventAnmHandlerOf<event_anm::kOnceFront>;
inline constexpr SlgEventAnmHandler EventAnmOnceCellHeld = &EventAnmHandlerOf<event_anm::kOnceCellHeld>;
inline constexpr SlgEventAnmHandler EventAnmOnceSnap = &EventAnmHandlerOf<event_anm::kOnceSnap>;
inline constexpr SlgEventAnmHandler EventAnmOnceSnapFore = &EventAnmHandlerOf<event_anm::kOnceSnapFore>;
inline constexpr SlgEventAnmHandler EventAnmOnceSnapBack = &EventAnmHandlerOf<event_anm::kOnceSnapBack>;
inline constexpr SlgEventAnmHandler EventAnmOnceSnapHalfYFore = &EventAnmHandlerOf<event_anm::kOnceSnapHalfYFore>;
inline constexpr SlgEventAnmHandler EventAnmOnceSnapHeld = &EventAnmHandlerOf<event_anm::kOnceSnapHeld>;
inline constexpr SlgEventAnmHandler EventAnmHold = &EventAnmHandlerOf<event_anm::kHold>;
inline constexpr SlgEventAnmHandler EventAnmHoldShade0 = &EventAnmHandlerOf<event_anm::kHoldShade0>;
inline constexpr SlgEventAnmHandler EventAnmHoldShade0Held = &EventAnmHandlerOf<event_anm::kHoldShade0Held>;
inline constexpr SlgEventAnmHandler EventAnmHoldSnap = &EventAnmHandlerOf<event_anm::kHoldSnap>;
inline constexpr SlgEventAnmHandler EventAnmHoldSnapFore = &EventAnmHandlerOf<event_anm::kHoldSnapFore>;
inline constexpr SlgEventAnmHandler EventAnmHoldSnapBack = &EventAnmHandlerOf<event_anm::kHoldSnapBack>;
inline constexpr SlgEventAnmHandler EventAnmHoldSnapShadow = &EventAnmHandlerOf<event_anm::kHoldSnapShadow>;
inline constexpr SlgEventAnmHandler EventAnmHoldSnapHeld = &EventAnmHandlerOf<event_anm::kHoldSnapHeld>;
inline constexpr SlgEventAnmHandler EventAnmHoldSnapHeldFore = &EventAnmHandlerOf<event_anm::kHoldSnapHeldFore>;
inline constexpr SlgEventAnmHandler EventAnmHoldSnapHeldBack = &EventAnmHandlerOf<event_anm::kHoldSnapHeldBack>;
inline constexpr SlgEventAnmHandler EventAnmHoldSnapHeldShadow = &EventAnmHandlerOf<event_anm::kHoldSnapHeldShadow>;
inline constexpr SlgEventAnmHandler EventAnmPattern0 = &EventAnmHandlerOf<event_anm::kPattern0>;
inline constexpr SlgEventAnmHandler EventAnmPattern0CellShade0 = &EventAnmHandlerOf<event_anm::kPattern0CellShade0>;
inline constexpr SlgEventAnmHandler EventAnmPattern0Snap = &EventAnmHandlerOf<event_anm::kPattern0Snap>;
inline constexpr SlgEventAnmHandler EventAnmFixedDepth = &EventAnmHandlerOf<event_anm::kFixedDepth>;
inline constexpr SlgEventAnmHandler EventAnmFixedDepth259 = &EventAnmHandlerOf<event_anm::kFixedDepth259>;
inline constexpr SlgEventAnmHandler EventAnmFixedDepth258 = &EventAnmHandlerOf<event_anm::kFixedDepth258>;
inline constexpr SlgEventAnmHandler EventAnmFixedCellLoop = &EventAnmHandlerOf<event_anm::kCellLoop>;
inline constexpr SlgEventAnmHandler EventAnmFixedCellLoopFore = &EventAnmHandlerOf<event_anm::kCellLoopFore>;
inline constexpr SlgEventAnmHandler EventAnmCellOnce = &EventAnmHandlerOf<event_anm::kCellOnce>;
inline constexpr SlgEventAnmHandler EventAnmCellPosOnceFore = &EventAnmHandlerOf<event_anm::kCellPosOnceFore>;
inline constexpr SlgEventAnmHandler EventAnmCellPosOnceFore2 = &EventAnmHandlerOf<event_anm::kCellPosOnceFore2>;
inline constexpr SlgEventAnmHandler EventAnmCellPosLoopFore = &EventAnmHandlerOf<event_anm::kCellPosLoopFore>;
inline constexpr SlgEventAnmHandler EventAnmCellPosLoopFore2 = &EventAnmHandlerOf<event_anm::kCellPosLoopFore2>;
