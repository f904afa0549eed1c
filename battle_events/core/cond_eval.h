#pragma once
// Evaluation of a condition string: an LALR(1) parse (tables in cond_tables.h, grammar in
// cond_grammar.y) whose reductions compute the value as they go, with no tree and nothing kept
// between calls. Every function call in the string is made, in the order of its text, whatever
// the operators around it ("&" and "|" do not short-circuit).
//
// The value of a parse:
//   - the first statement `expr ;` gives its value at once; nothing after it is read;
//   - empty statements ";" are skipped;
//   - a syntax error is recovered from in yacc's way: states are popped down to one that takes
//     the error symbol, then tokens are dropped until a ";" can follow, and the parse goes on
//     with the next statement ("x;1;" gives 1); a further error counts only after three tokens
//     were shifted since the last one;
//   - the end of the string with no statement open and no recovery under way gives 0 ("", ";",
//     or statements that all failed);
//   - the end of the string during a recovery gives 1 (so "F(5)" without its ";" is true);
//   - more than 100 entries on the parser's stack give 1.
// No heap memory is used; the stacks live in the call.

#include <cstdint>

#include "battle_events/core/cond_functions.h"

// How a parse ended.
enum class CondEnd {
  kStatement,   // on the first `expr ;` statement, with its value
  kEndOfInput,  // at the end of the string, no statement open: 0
  kAbort,       // at the end of the string while recovering from a syntax error: 1
  kOverflow,    // the parser's stack would pass 100 entries: 1
};

struct CondCheck {
  int32_t value = 0;
  int errors = 0;  // syntax errors counted (the first of each recovery)
  CondEnd end = CondEnd::kEndOfInput;
};

// The value of `text` with the battle's condition functions (BattleCondFunctions), which read
// the current battle; a null text reads as an empty one.
int32_t CondEval(const char* text);
// The same with the given functions.
int32_t CondEval(const char* text, const CondFunctions& functions);
// The checked form, for tools and tests: the value, the syntax errors and how the parse ended.
CondCheck CondEvalChecked(const char* text, const CondFunctions& functions);
