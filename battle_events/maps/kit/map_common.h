#pragma once
// What the map scripts of the story maps share beyond their rows: the addresses their data
// writes and loads name, the unit's show flag, runs of event kinds deployed, undeployed or
// stopped together, and the heroines' generic lines by slot (their falls, their remarks on a
// defeat and on a joint action, their turn remarks and the favourite's lines), which a map takes
// for its members and mends where its own lines differ:
//
//   constexpr GenericTalkSet kTalks = [] {
//     GenericTalkSet t = CommonTalks(kITV | kIDV | kILN | kITZ);
//     t.favourite.references[8] = {4, 2093};
//     return t;
//   }();

#include <cstdint>

#include "battle_events/maps/kit/generic_rows.h"
#include "battle_events/maps/kit/standard_talks.h"

// The scripts' data block address of the no-op data writes (EventNopData).
inline constexpr uint32_t kNopDataAddress = 0x4f100;
// The load address of the event data files (EventLoadBin).
inline constexpr uint32_t kEventBinAddress = 0x60c0000;
// The show flag of a unit (EventSetKindFlag / EventClearKindFlag).
inline constexpr uint32_t kShowFlag = 0x80;

// Every event kind first..last deployed, undeployed, or its animation stopped (EventNopKind).
void DeployKinds(int32_t first, int32_t last);
void UndeployKinds(int32_t first, int32_t last);
void NopKinds(int32_t first, int32_t last);

// A step (EventSeq::Custom) that completes once the screen fade has ended.
int FadeEnded();

// The frames a step waits for the sound effect to stop before it goes on without it.
inline constexpr int32_t kSeStopLimit = 900;
// A step (EventSeq::Custom) that completes once the sound effect channel has stopped, or after
// kSeStopLimit frames, traced with the map's number, so a channel that never reports stopped
// does not hold the battle for ever. One wait runs at a time; its count starts afresh each stage.
int SeStoppedOrLimit(int map);
template <int Map>
int SeStopped() {
  return SeStoppedOrLimit(Map);
}

// The shared lines of every slot (ITV, IDV, ILN, IYS, IBS, ITZ): the standard pairs, heroine 3's
// remark on a joint action with her face 110.
inline constexpr GenericTalkSet kCommonTalks = [] {
  GenericTalkSet t = StandardTalkPairs();
  t.ref_talks2[2] = {110, 2068};
  return t;
}();

// The shared lines of the slots in `members` (kITV | ...); the other slots' falls and remarks
// empty. The favourite's lines stay whole: its row picks them by the favourite's character.
constexpr GenericTalkSet CommonTalks(uint8_t members) {
  GenericTalkSet t = kCommonTalks;
  for (int s = 0; s < kGenericSlots; ++s) {
    if ((members & (1 << s)) != 0) continue;
    const auto i = static_cast<size_t>(s);
    t.falls[i] = {};
    t.ref_talks[i] = {};
    t.ref_talks2[i] = {};
    t.char_talks[i] = {};
  }
  return t;
}
