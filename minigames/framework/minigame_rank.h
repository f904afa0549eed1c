#pragma once
// The best-three rankings of the minigames, kept in the persistent variables (save\minigame.dat).
//
// Ranking row r (0-7) holds its three best scores in variables 18 + 3r .. 20 + 3r, best first.
// The row of the running game (variable 0): rows 0-7 their own; the flower-card rows 9-15 the
// flower-card list of row 4; the hub (row 8) and anything else has no ranking, so the rank calls
// do nothing there (get gives 0) and none is shown. A garbage minigame.dat leaves any value in
// the list: it is compared and shown as it stands.

#include <cstdint>

namespace mg {
constexpr int kRankRows = 8;
constexpr int kRankEntries = 3;
constexpr int kRankFirstVar = 18;
// The ranking entries' objects and the panel they hang from.
constexpr int kObjRankFirst = 211;
constexpr int kObjRankPanel = 240;
constexpr int32_t kAnimRankEntry = 400;
}  // namespace mg

// The ranking row of a game row: 0-7, or -1 for none.
int mg_rank_row(int game);
// 1 when lower scores are better in ranking row `row` (0-7).
int mg_rank_lower_better(int row);
// The default list of ranking row `row` (0-7), entry i (0-2).
int32_t mg_rank_default(int row, int i);

// Inserts a score into the current game's list: a strictly better score moves in, equal scores
// rank below the entries already there, the worst entry drops out. 1, or 0 with no ranking.
int mg_rank_insert(int32_t score);
// Entry i (0-2) of the current game's list; 0 outside or with no ranking.
int32_t mg_rank_get(int i);
// The defaults back, then the shown list redrawn (when shown). 1, or 0 with no ranking.
int mg_rank_reset();
// Objects 211-213 at y 80, 112, 144 on layer 8 with animation 400, children of panel 240: a time
// display at x 160 for lower-is-better games, else a 5-digit number display at x 256. 1, or 0
// with no ranking (nothing shown).
int mg_rank_show();
