#pragma once
// GenericRows: the generic rows of a map's event table (a heroine's fall, a unit's remark on a
// defeat and on a joint action, the heroines' turn remarks and the favourite's), built at compile
// time from a small description of the map, so that a map writes only what differs:
//
//   constexpr GenericTalkSet kMap01Talks{...};        // the message pairs, by table order
//   constexpr GenericDesc kMap01Generic{
//       .talks = &kMap01Talks,
//       .falls = {.base = 1500, .members = kITV | kIDV | kILN},
//       .ref_talks = {.base = 1520, .members = kITV | kIDV | kILN | kITZ},
//       .ref_talks2 = {.base = 1530, .members = kITV | kIDV | kILN | kITZ},
//       .char_talks = {.base = 1600, .members = kITV | kIDV | kILN},
//       .talk_c = "HGU(GBO,UKM,0)|HP(IKD,0);",
//       .favourite_c = "NP(IMR())|HGU(GBO,UKM,0)|HP(IKD,0);"};
//   constexpr auto kMap01Rows = JoinRows(kStoryRows, GenericRows<kMap01Generic>());
//
// The characters of the generic rows, in the tables' order (slot 0-5): ITV, IDV, ILN, IYS, IBS,
// ITZ, that is characters 1, 2, 3, 4, 6, 5. A family's row of slot s has id base + s (the
// character talks base + 1 + s, the favourite's row the base itself); its arguments come from the
// talk set's entry of slot s. What each family's rows hold:
//
//   falls        0x8000  B "NP(c);"           guard 500 + s (and extra)  C fall_c  set 500 + s
//                        UnitDownRow
//   ref_talks    0x4     B "KP(c);"           C ref_talk_c    RefTalkRow
//   ref_talks2   0x10    B "CP(c);"           RefTalk2Row
//   favourite    0x8     B "PP(IKD)&R(n);"    C favourite_c   FavouriteRow (with char talks)
//   char_talks   0x8     B "PP(c)&R(n);"      C talk_c        CharTalkRow
//
// The guard and set flags of the falls are 500-505 whatever the id base. Each family may add a
// condition A to all its rows, a second guard flag, and its own condition B for any slot (the
// maps that gate a row on a story flag write "F(441)&NP(ITV);"). The rows come out in the order
// falls, remarks on a defeat, remarks on a joint action, favourite, turn remarks; a map places the
// block among its story rows where its table has it (JoinRows, battle_events/maps/kit/
// event_rows.h). A map whose generic rows do not fit writes them out as rows.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "battle_events/core/event_table.h"
#include "battle_events/maps/kit/event_rows.h"

constexpr int kGenericSlots = 6;
// The characters of slots 0-5.
inline constexpr std::array<int32_t, kGenericSlots> kGenericCharacters = {1, 2, 3, 4, 6, 5};
// Member bits of the slots.
constexpr uint8_t kITV = 1 << 0;
constexpr uint8_t kIDV = 1 << 1;
constexpr uint8_t kILN = 1 << 2;
constexpr uint8_t kIYS = 1 << 3;
constexpr uint8_t kIBS = 1 << 4;
constexpr uint8_t kITZ = 1 << 5;
// The first guard and set flag of the falls (slot s: + s).
constexpr int16_t kGenericFallFlag = 500;

// The message pairs of a map's generic rows, by slot.
struct GenericTalkSet {
  std::array<UnitDownArgs, kGenericSlots> falls{};
  std::array<RefTalkArgs, kGenericSlots> ref_talks{};
  std::array<RefTalkArgs, kGenericSlots> ref_talks2{};
  std::array<CharTalkArgs, kGenericSlots> char_talks{};
  FavouriteArgs favourite{};
};

// One family of generic rows.
struct GenericFamily {
  uint16_t base = 0;    // the id of slot 0's row; 0: the family has no rows
  uint8_t members = 0;  // the slots with a row (kITV | ...)
  const char* a = kNoEventCondition;
  int16_t extra_guard = 0;  // one more guard flag of every row (0 none), in its first free slot
  std::array<const char*, kGenericSlots> b{};  // a slot's own condition B (null: the family's)
};

struct GenericDesc {
  const GenericTalkSet* talks = nullptr;
  GenericFamily falls{};
  GenericFamily ref_talks{};
  GenericFamily ref_talks2{};
  GenericFamily char_talks{};
  // The favourite's row (id char_talks.base, with that family's A and extra guard).
  bool favourite = true;
  // The chances of R(n): 10 or 20.
  int favourite_chance = 20;
  int talk_chance = 20;
  const char* fall_c = "HP(IKD,0);";
  const char* talk_c = "HP(IKD,0);";
  const char* favourite_c = "NP(IMR())|HP(IKD,0);";
  // Condition C of the remarks on a defeat (none unless a map writes one).
  const char* ref_talk_c = kNoEventCondition;
};

namespace generic_rows_detail {

inline constexpr std::array<const char*, kGenericSlots> kNp = {
    "NP(ITV);", "NP(IDV);", "NP(ILN);", "NP(IYS);", "NP(IBS);", "NP(ITZ);"};
inline constexpr std::array<const char*, kGenericSlots> kKp = {
    "KP(ITV);", "KP(IDV);", "KP(ILN);", "KP(IYS);", "KP(IBS);", "KP(ITZ);"};
inline constexpr std::array<const char*, kGenericSlots> kCp = {
    "CP(ITV);", "CP(IDV);", "CP(ILN);", "CP(IYS);", "CP(IBS);", "CP(ITZ);"};
inline constexpr std::array<const char*, kGenericSlots> kPp20 = {
    "PP(ITV)&R(20);", "PP(IDV)&R(20);", "PP(ILN)&R(20);",
    "PP(IYS)&R(20);", "PP(IBS)&R(20);", "PP(ITZ)&R(20);"};
inline constexpr std::array<const char*, kGenericSlots> kPp10 = {
    "PP(ITV)&R(10);", "PP(IDV)&R(10);", "PP(ILN)&R(10);",
    "PP(IYS)&R(10);", "PP(IBS)&R(10);", "PP(ITZ)&R(10);"};

// Reached only in a constant evaluation of a description the builder cannot build (a chance
// other than 10 and 20): the map does not compile. (A description without its talk set does not
// compile either: its rows' arguments would be read through null.)
void UnsupportedDescription();

constexpr const std::array<const char*, kGenericSlots>& TalkConditions(int chance) {
  if (chance != 10 && chance != 20) UnsupportedDescription();
  return chance == 10 ? kPp10 : kPp20;
}
constexpr const char* FavouriteCondition(int chance) {
  if (chance != 10 && chance != 20) UnsupportedDescription();
  return chance == 10 ? "PP(IKD)&R(10);" : "PP(IKD)&R(20);";
}

// A family's second guard flag, in the row's first free guard slot.
constexpr void AddGuard(SlgEventEntry& row, int16_t flag) {
  if (flag == 0) return;
  row.guard[row.guard[0] == 0 ? 0 : 1] = flag;
}

constexpr size_t Rows(const GenericFamily& f) {
  return f.base == 0 ? 0 : static_cast<size_t>(std::popcount(static_cast<unsigned>(f.members & 0x3F)));
}

}  // namespace generic_rows_detail

constexpr size_t GenericRowCount(const GenericDesc& d) {
  using generic_rows_detail::Rows;
  return Rows(d.falls) + Rows(d.ref_talks) + Rows(d.ref_talks2) +
         (d.favourite && d.char_talks.base != 0 ? 1 : 0) + Rows(d.char_talks);
}

// The generic rows of the description (see the head of this file); D must be a constant of
// static storage (the rows point at its talk set).
template <const GenericDesc& D>
consteval std::array<SlgEventEntry, GenericRowCount(D)> GenericRows() {
  namespace g = generic_rows_detail;
  using g::AddGuard;
  std::array<SlgEventEntry, GenericRowCount(D)> rows{};
  size_t at = 0;
  auto family = [&](const GenericFamily& f, auto&& make) {
    if (f.base == 0) return;
    for (int s = 0; s < kGenericSlots; ++s) {
      if ((f.members & (1 << s)) == 0) continue;
      SlgEventEntry row = make(s);
      row.a = f.a;
      if (f.b[static_cast<size_t>(s)] != nullptr) row.b = f.b[static_cast<size_t>(s)];
      AddGuard(row, f.extra_guard);
      rows[at++] = row;
    }
  };
  const GenericTalkSet& t = *D.talks;
  family(D.falls, [&](int s) {
    const auto flag = static_cast<int16_t>(kGenericFallFlag + s);
    return SlgEventEntry{.id = static_cast<uint16_t>(D.falls.base + s),
                         .timing = 0x8000,
                         .b = g::kNp[static_cast<size_t>(s)],
                         .guard = {flag, 0},
                         .c = D.fall_c,
                         .set = {flag, 0},
                         .handler = &UnitDownRow,
                         .arg = &t.falls[static_cast<size_t>(s)]};
  });
  // The two families of remarks differ only in their moment, condition and handler.
  auto remarks = [&](const GenericFamily& f, uint16_t timing,
                     const std::array<const char*, kGenericSlots>& conditions, const char* c,
                     SlgEventHandler handler, const std::array<RefTalkArgs, kGenericSlots>& args) {
    family(f, [&](int s) {
      return SlgEventEntry{.id = static_cast<uint16_t>(f.base + s),
                           .timing = timing,
                           .b = conditions[static_cast<size_t>(s)],
                           .c = c,
                           .handler = handler,
                           .arg = &args[static_cast<size_t>(s)]};
    });
  };
  remarks(D.ref_talks, 0x4, g::kKp, D.ref_talk_c, &RefTalkRow, t.ref_talks);
  remarks(D.ref_talks2, 0x10, g::kCp, kNoEventCondition, &RefTalk2Row, t.ref_talks2);
  if (D.favourite && D.char_talks.base != 0) {
    SlgEventEntry row{.id = D.char_talks.base,
                      .timing = 0x8,
                      .a = D.char_talks.a,
                      .b = g::FavouriteCondition(D.favourite_chance),
                      .c = D.favourite_c,
                      .handler = &FavouriteRow,
                      .arg = &t.favourite};
    AddGuard(row, D.char_talks.extra_guard);
    rows[at++] = row;
  }
  family(D.char_talks, [&](int s) {
    return SlgEventEntry{.id = static_cast<uint16_t>(D.char_talks.base + 1 + s),
                         .timing = 0x8,
                         .b = g::TalkConditions(D.talk_chance)[static_cast<size_t>(s)],
                         .c = D.talk_c,
                         .handler = &CharTalkRow,
                         .arg = &t.char_talks[static_cast<size_t>(s)]};
  });
  return rows;
}

// For maps that number their turn talks by heroine (heroine 5's row before heroine 6's, where the
// slot order has them the other way round): the last two rows trade places and ids.
template <size_t N>
constexpr std::array<SlgEventEntry, N> TurnTalksByHeroine(std::array<SlgEventEntry, N> rows) {
  static_assert(N >= 2);
  std::swap(rows[N - 2], rows[N - 1]);
  std::swap(rows[N - 2].id, rows[N - 1].id);
  return rows;
}

// For maps whose remarks play once each: every row with an id in first..last is guarded by its own
// id.
template <size_t N>
constexpr std::array<SlgEventEntry, N> GuardedByOwnId(std::array<SlgEventEntry, N> rows,
                                                      uint16_t first, uint16_t last) {
  for (SlgEventEntry& row : rows) {
    if (row.id >= first && row.id <= last) row.guard[0] = static_cast<int16_t>(row.id);
  }
  return rows;
}
