// The best-three rankings (minigame_rank.h).

#include "minigames/framework/minigame_rank.h"

#include <array>
#include <utility>

#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_object.h"

namespace {

struct RankRow {
  int lower_better;
  std::array<int32_t, mg::kRankEntries> defaults;
};

// Order flags and default lists: test, swimming (time), cleaning, cooking, flower cards, slot,
// lost child (time), shooting. Times are in 60 Hz steps.
constexpr std::array<RankRow, mg::kRankRows> kRows{{
    {0, {0, 0, 0}},
    {1, {1200, 1500, 1800}},
    {0, {3000, 2000, 1000}},
    {0, {80, 70, 60}},
    {0, {20, 15, 10}},
    {0, {300, 200, 100}},
    {1, {3600, 5400, 7200}},
    {0, {80, 70, 60}},
}};

constexpr int kFlowerCardRow = 4;
constexpr int kFirstCardGame = 9;
constexpr int kLastCardGame = 15;

int CurrentRow() { return mg_rank_row(mg_var_get(0)); }

int VarOf(int row, int i) { return mg::kRankFirstVar + mg::kRankEntries * row + i; }

bool Better(int row, int32_t score, int32_t entry) {
  return kRows[static_cast<size_t>(row)].lower_better != 0 ? score < entry : score > entry;
}

// The list is on show while the first entry's object carries the entry animation.
bool Shown() { return mg_obj_get_anim(mg::kObjRankFirst) == mg::kAnimRankEntry; }

}  // namespace

int mg_rank_row(int game) {
  if (game >= 0 && game < mg::kRankRows) return game;
  if (game >= kFirstCardGame && game <= kLastCardGame) return kFlowerCardRow;
  return -1;
}

int mg_rank_lower_better(int row) {
  if (row < 0 || row >= mg::kRankRows) return 0;
  return kRows[static_cast<size_t>(row)].lower_better;
}

int32_t mg_rank_default(int row, int i) {
  if (row < 0 || row >= mg::kRankRows || i < 0 || i >= mg::kRankEntries) return 0;
  return kRows[static_cast<size_t>(row)].defaults[static_cast<size_t>(i)];
}

int mg_rank_insert(int32_t score) {
  const int row = CurrentRow();
  if (row < 0) return 0;
  int32_t carried = score;
  for (int i = 0; i < mg::kRankEntries; ++i) {
    const int32_t entry = mg_var_get(VarOf(row, i));
    if (Better(row, carried, entry)) {
      mg_var_set(VarOf(row, i), carried);
      carried = entry;
    }
  }
  return 1;
}

int32_t mg_rank_get(int i) {
  const int row = CurrentRow();
  if (row < 0 || i < 0 || i >= mg::kRankEntries) return 0;
  return mg_var_get(VarOf(row, i));
}

int mg_rank_reset() {
  const int row = CurrentRow();
  if (row < 0) return 0;
  for (int i = 0; i < mg::kRankEntries; ++i) mg_var_set(VarOf(row, i), mg_rank_default(row, i));
  if (Shown()) mg_rank_show();
  return 1;
}

int mg_rank_show() {
  const int row = CurrentRow();
  if (row < 0) return 0;
  const bool time = mg_rank_lower_better(row) != 0;
  for (int i = 0; i < mg::kRankEntries; ++i) {
    const int o = mg::kObjRankFirst + i;
    mg_obj_put(o, time ? 160 : 256, 80 + 32 * i, 8, mg::kAnimRankEntry,
               time ? mg::kObjTime : mg::kObjNumber);
    mg_obj_set_parent(o, mg::kObjRankPanel);
    mg_obj_set_value(o, mg_var_get(VarOf(row, i)));
    if (!time) mg_obj_set_digits(o, 5);
  }
  return 1;
}
