#pragma once
// Unit tone in story scenes: a level from 0 (normal) to 31 (invisible) given to every unit whose
// body object is under tone control (shade word kToneShade), and the event steps that fade units
// in (the reveal, one unit after another with the camera on each) and out (the vanish). The
// steps follow the event step protocol (battle_events/event_steps.h) and keep their progress in
// the event runtime's state block; their frames are counted from each fade's start on the game
// clock, so a late frame jumps ahead.

#include <cstdint>

struct SlgUnit;

// The body shade word of a tone-controlled unit; the core's cell shades are 0, 8192 and 16384.
constexpr uint16_t kToneShade = 24576;
// The tone level of an invisible unit.
constexpr int32_t kToneInvisible = 31;
// The sound of a unit appearing or vanishing.
constexpr int kToneUnitSe = 244;

// Every unit in use whose body's shade word is kToneShade gets the alpha (31 - level) x 256 / 31
// (SlgSprSetAlpha), the level held to 0 .. 31; units in other shade modes are not touched.
void EventSetTone(int32_t level);

// Takes the tone from `from` to `to`, one level each time more than `period` frames have passed
// since the last change: the first call sets `from` (0); each later call steps when due and sets
// the level; 1 on the call that reaches or passes `to` (from = to: the first step ends it).
int EventToneChange(int32_t from, int32_t to, int32_t period);

// Reveals the units of `count` byte pairs (kind as a signed byte, placement number;
// FindUnitByIndex), one after another: each under tone control at level 31 with the camera sent
// to it (Slg::ScrollToUnit); once the camera arrives (Slg::ScrollStep; at once while the camera
// is held) flag 0x80, Slg::HideUnit, its body's clock restarted and SE 244; then 31 - f for the
// frames f since, until f = 31: level 0 and out of tone control. The next unit the next call;
// 1 after the last. A missing entry is skipped, and a unit removed on the way ends its part.
int EventRevealUnits(const uint8_t* list, int32_t count);

// Fades `unit` out: SE 244, under tone control, its body's clock restarted; the level f for the
// frames f since, until f = 31: level 31, out of tone control, its body's animation released and
// flag 0x80 cleared; 1 on the next call. A null unit: 1 at once; a unit removed on the way: 1.
int EventVanishUnit(SlgUnit* unit);
