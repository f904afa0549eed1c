#pragma once
// The 25 query functions that the condition language calls, as one table of plain function
// pointers in the order of the keywords that name them (CondKeywordTable rows 1-25). The parser
// reaches them only through such a table, so it holds no battle state: the battle hands it the
// table of its real queries (BattleCondFunctions), tests and the fuzz entry a fake that records
// its calls (testsupport/cond_fake.h).

#include <cstdint>

using CondFunc0 = int32_t (*)();
using CondFunc1 = int32_t (*)(int32_t);
using CondFunc2 = int32_t (*)(int32_t, int32_t);
using CondFunc3 = int32_t (*)(int32_t, int32_t, int32_t);
using CondFunc4 = int32_t (*)(int32_t, int32_t, int32_t, int32_t);

// Index of each function in CondFunctions, which is also the value of its keyword's row.
enum CondFunctionId : int32_t {
  kCondF,
  kCondFAD,
  kCondR,
  kCondM,
  kCondT,
  kCondNG,
  kCondNP,
  kCondNU,
  kCondUAJ,
  kCondPP,
  kCondPFP,
  kCondPGU,
  kCondFGU,
  kCondHP,
  kCondHGU,
  kCondIMR,
  kCondRI,
  kCondKP,
  kCondKGU,
  kCondCP,
  kCondLP,
  kCondXF,
  kCondYF,
  kCondXGU,
  kCondYGU,
  kCondFunctionCount
};

// Members named by their keywords, in CondFunctionId order.
struct CondFunctions {
  CondFunc1 F;    // flag test
  CondFunc1 FAD;  // script variable read
  CondFunc1 R;    // random percent test
  CondFunc1 M;    // chosen-command test
  CondFunc0 T;    // turn counter
  CondFunc1 NG;   // group gone
  CondFunc1 NP;   // character absent
  CondFunc1 NU;   // unit kind gone
  CondFunc4 UAJ;  // adjacency direction
  CondFunc1 PP;   // acting character
  CondFunc1 PFP;  // acting or previous character
  CondFunc2 PGU;  // acting unit's group and kind
  CondFunc2 FGU;  // acting or previous unit's group and kind
  CondFunc2 HP;   // character's life at most a percentage
  CondFunc3 HGU;  // unit's life at most a percentage
  CondFunc0 IMR;  // heroine with the highest trust
  CondFunc1 RI;   // heroine's trust
  CondFunc1 KP;   // defeating character
  CondFunc2 KGU;  // defeating unit's group and kind
  CondFunc1 CP;   // character in the second unit slot
  CondFunc4 LP;   // side of a diagonal line
  CondFunc2 XF;   // screen x of a map point
  CondFunc2 YF;   // screen y of a map point
  CondFunc2 XGU;  // screen x of a unit
  CondFunc2 YGU;  // screen y of a unit
};

// Calls function `id` with the first arguments of `args` (as many as it takes); 0 for an id
// outside the table.
int32_t CallCondFunction(const CondFunctions& functions, int32_t id, const int32_t* args);

// The battle's table, which CondEval(text) uses: the battle queries of event_conditions.h
// (CondF .. CondYGU), which read the current battle (Battle()).
const CondFunctions& BattleCondFunctions();
