#pragma once
// Event rows as data: what lets a map's event table be a constant array of SlgEventEntry in which
// the rows of the shared scenes need no handler code. Each shared scene of
// battle_events/runtime/generic_scenes.h has a row adapter, a handler that reads the scene's
// arguments from the row's argument block (SlgEventEntry::arg):
//
//   constexpr UnitDownArgs kFall1{1, {{{36, 2029}, {36, 2027}, {31, 2028}}}};
//   constexpr auto kGuide = TalkList({{110, 10100}});
//   constexpr TalkListArgs kGuideArgs{kGuide};
//   constexpr SlgEventEntry kMap01Events[] = {
//       ...
//       {.id = 119, .timing = 0x2, .b = "M(MAD);", .guard = {116, 0},
//        .handler = &TalkListRow, .arg = &kGuideArgs},
//       {.id = 1500, .timing = 0x8000, .b = "NP(ITV);", .guard = {500, 0}, .c = "HP(IKD,0);",
//        .set = {500, 0}, .handler = &UnitDownRow, .arg = &kFall1},
//       kEventTableEnd,
//   };
//
// A row whose argument block is missing (a null arg) traces the row's id and ends its event at
// once: a broken table costs the scene, never the battle.
//
// Message lists are written through TalkList, which appends the end marker itself, so no list
// constant can lack it. JoinRows puts a map's blocks of rows together (its story rows and the
// generic rows of battle_events/maps/kit/generic_rows.h, in the map's own order) and ends the
// table.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "battle_events/core/event_table.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_runtime_state.h"

// ---- Argument blocks of the shared scenes ----

// A heroine's fall: EventUnitDownScene(character, references).
struct UnitDownArgs {
  int32_t character = 0;
  std::array<EventMessageRef, 3> references{};
};
// A unit's remark on a defeat or a joint action: EventRefUnitTalk / EventRefUnitTalk2.
struct RefTalkArgs {
  uint16_t face = 0;
  uint16_t message = 0;
};
// A heroine's turn remark: EventCharTalk(character, references).
struct CharTalkArgs {
  int32_t character = 0;
  std::array<EventMessageRef, 5> references{};
};
// The favourite heroine's remark: EventFavouriteTalk(references), index character x 2 + 0 or 1.
struct FavouriteArgs {
  std::array<EventMessageRef, 14> references{};
};
// A plain message list (ended by its marker: write it with TalkList).
struct TalkListArgs {
  std::span<const EventMessageRef> list{};
};

// ---- Row adapters (handlers whose row's arg is the block named) ----
void UnitDownRow(const SlgEventEntry& row);      // UnitDownArgs
void RefTalkRow(const SlgEventEntry& row);       // RefTalkArgs, EventRefUnitTalk
void RefTalk2Row(const SlgEventEntry& row);      // RefTalkArgs, EventRefUnitTalk2
void CharTalkRow(const SlgEventEntry& row);      // CharTalkArgs
void FavouriteRow(const SlgEventEntry& row);     // FavouriteArgs
void TalkListRow(const SlgEventEntry& row);      // TalkListArgs, EventTalkList
void WaitTalkListRow(const SlgEventEntry& row);  // TalkListArgs, EventWaitTalkList

// The message lists a row plays, for tools that check tables: a talk-list row's list, and every
// list of a step sequence's ops (battle_events/maps/kit/event_seq.h). Nothing for other rows.
void ForEachRowMessageList(const SlgEventEntry& row,
                           const std::function<void(std::span<const EventMessageRef>)>& visit);

// ---- The message-list constant form ----

// The references in order followed by the end marker (face 65535):
//   constexpr auto kTalk = TalkList({{11, 10000}, {74, 3068}});  // 3 references
// (constexpr, not consteval: clang refuses a consteval call whose arguments name a template's
// parameter, as the maps' talk templates write them; a constexpr variable is still evaluated at
// compile time.)
template <size_t N>
constexpr std::array<EventMessageRef, N + 1> TalkList(const EventMessageRef (&refs)[N]) {
  std::array<EventMessageRef, N + 1> list{};
  for (size_t i = 0; i < N; ++i) list[i] = refs[i];
  list[N] = kEventMessageListEndRef;
  return list;
}

// ---- Joining blocks of rows ----

// The rows of every block in order, then the end row (kEventTableEnd). Blocks are written without
// an end row of their own (one would end the table there: the table lint reports a row after it).
template <size_t... N>
constexpr auto JoinRows(const std::array<SlgEventEntry, N>&... blocks) {
  std::array<SlgEventEntry, (N + ... + 0) + 1> rows{};
  size_t at = 0;
  auto append = [&](const auto& block) {
    for (const SlgEventEntry& row : block) rows[at++] = row;
  };
  (append(blocks), ...);
  rows[at] = kEventTableEnd;
  return rows;
}
