#pragma once
// The 25 query functions the condition language calls by keyword (F, FAD, R, ... YGU; event
// handlers call some directly). Each takes 0-4 signed 32-bit arguments, which come from condition
// strings and so may be anything, and answers a signed 32-bit value; truth values are 1 and 0.
// Products and coordinates wrap in 32 bits; the grids are read at clamped cells only.
//
// "Absent" units: a look-up that finds no record. An acting, previous or referenced slot counts
// as none when it names no record in use (65535, 64 or more, or at or beyond the unit count).

#include <cstdint>

// F(n): CheckEventFlag(n): 1 when flag n is set; ids outside 0-2047 give 1.
int32_t CondF(int32_t n);
// FAD(i): the script variable P[i], 0-65535; an i outside 0-99 reads 0, with a trace.
int32_t CondFAD(int32_t i);
// R(p): 1 with probability p percent: r := the low 16 bits of SlgRand(); r x 100 < p x 65536.
// R(0) is always 0, R(100) always 1.
int32_t CondR(int32_t p);
// M(x): 1 when the player phase's command word (the state number of the command chosen last,
// Battle().player.last_choice) equals x.
int32_t CondM(int32_t x);
// T(): the turn counter.
int32_t CondT();
// NG(g) / NU(k): 1 when no unit of group g / kind k with a step other than 255 remains.
int32_t CondNG(int32_t group);
int32_t CondNU(int32_t kind);
// NP(i): UnitAbsent(0, i): 1 when the player's character i is not on the map.
int32_t CondNP(int32_t character);
// UAJ(g1, k1, g2, k2): the direction between the cells of two units (UnitCellPos): with dx, dy
// the first less the second, 4 unless |dx| is 48 and |dy| is 24 (also when either is absent);
// else 3 for dx > 0, dy > 0; 0 for dx < 0, dy > 0; 2 for dx > 0, dy < 0; 1 for dx < 0, dy < 0.
int32_t CondUAJ(int32_t group1, int32_t kind1, int32_t group2, int32_t kind2);
// PP(i): 1 when the acting unit is the player's character i; 0 with no acting unit.
int32_t CondPP(int32_t character);
// PFP(i): 0 when the acting or the previous acting unit is none; else PP's test on the previous
// acting unit when the timing word has bit 0x0008 (the acting unit has just changed), else on
// the acting unit.
int32_t CondPFP(int32_t character);
// PGU(g, k) / FGU(g, k): the group-and-kind forms of PP and PFP.
int32_t CondPGU(int32_t group, int32_t kind);
int32_t CondFGU(int32_t group, int32_t kind);
// HP(i, p): 1 when the player's character i (FindUnitByGroupKind(0, i)) is absent or max life x
// p >= life x 100: its life is at most p percent of its maximum. HP(i, 0): life 0 or less.
int32_t CondHP(int32_t character, int32_t percent);
// HGU(g, k, p): the same test on FindGroupKindUnit(g, k).
int32_t CondHGU(int32_t group, int32_t kind, int32_t percent);
// IMR(): the heroine 1-6 with the highest trust, the lowest on ties (GetTopTrustHeroine).
int32_t CondIMR();
// RI(i): GetTrustVar(i).
int32_t CondRI(int32_t heroine);
// KP(i): 1 when the unit of the first event unit reference is the player's character i.
int32_t CondKP(int32_t character);
// KGU(g, k): 1 when the unit of the first event unit reference has group g and kind k.
int32_t CondKGU(int32_t group, int32_t kind);
// CP(i): KP on the second event unit reference.
int32_t CondCP(int32_t character);
// LP(i, d, x, y): the side of a line: INT32_MIN when the player's character i is absent; else
// (ux - px) - 2 x d x (uy - py) with (ux, uy) its pixel position and (px, py) :=
// CellToPosHeight(x, y). With d = 1 or -1 its sign tells the side of the diagonal through (px, py).
int32_t CondLP(int32_t character, int32_t d, int32_t x, int32_t y);
// XF(x, y) / YF(x, y): x / y of CellToPosHeight(x, y).
int32_t CondXF(int32_t x, int32_t y);
int32_t CondYF(int32_t x, int32_t y);
// XGU(g, k) / YGU(g, k): x / y of UnitCellPos(g, k); -1 when absent.
int32_t CondXGU(int32_t group, int32_t kind);
int32_t CondYGU(int32_t group, int32_t kind);
