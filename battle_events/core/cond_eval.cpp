#include "battle_events/core/cond_eval.h"

#include "battle_events/core/cond_lexer.h"
#include "battle_events/core/cond_tables.h"

namespace {

using namespace cond_tables;

// The rules of cond_grammar.y, by number.
enum Rule {
  kListEmpty = 1,
  kListSkip,
  kListStatement,
  kListError,
  kNumber,
  kConst,
  kCall0,
  kCall1,
  kCall2,
  kCall3,
  kCall4,
  kOr,
  kAnd,
  kEqual,
  kLess,
  kGreater,
  kGreaterEqual,
  kLessEqual,
  kNotEqual,
  kNot,
  kParen,
  kNegate,
  kRuleCount
};
static_assert(sizeof(kRuleLength) / sizeof(kRuleLength[0]) == kRuleCount);
static_assert(kRuleLength[kListStatement] == 3 && kRuleLength[kCall4] == 10 &&
              kRuleLength[kNegate] == 2);

constexpr int kNoToken = -1;
// Entries of the state stack and of the value stack beside it.
constexpr int kStackSize = 100;
// Error recovery lasts until this many tokens have been shifted after an error.
constexpr int kRecoveryShifts = 3;

// The entry of kTable for `key` in the row starting at `base`; -1 when the row has none.
int Packed(int base, int key) {
  if (base == 0) return -1;
  const int at = base + key;
  if (at < 0 || at > kTableLast || kCheck[at] != key) return -1;
  return kTable[at];
}

int32_t Truth(bool b) { return b ? 1 : 0; }

class CondParser {
 public:
  CondParser(const char* text, const CondFunctions& functions)
      : lexer_(text), functions_(functions) {}

  CondCheck yyparse();

 private:
  // Pushes a state and its value. The two stacks move together, so one bound keeps both within
  // their entries; false (nothing pushed) when they are full.
  bool Push(int state, int32_t value) {
    if (top_ >= kStackSize - 1) return false;
    ++top_;
    states_[top_] = static_cast<int16_t>(state);
    values_[top_] = value;
    return true;
  }
  void ReadToken() {
    if (token_ == kNoToken) token_ = lexer_.yylex();
  }
  // The value of `rule` over the top entries of the value stack (not yet popped).
  int32_t Reduce(int rule) const;
  CondCheck End(CondEnd end, int32_t value) const { return {value, errors_, end}; }

  CondLexer lexer_;
  const CondFunctions& functions_;
  int16_t states_[kStackSize];
  int32_t values_[kStackSize];
  int top_ = -1;  // index of the top entry of both stacks
  int token_ = kNoToken;  // the look-ahead
  int errors_ = 0;
};

int32_t CondParser::Reduce(int rule) const {
  // v[1] is the value of the rule's first symbol, v[2] of the second, ...
  const int32_t* v = values_ + top_ - kRuleLength[rule];
  switch (rule) {
    case kCall0:
    case kCall1:
    case kCall2:
    case kCall3:
    case kCall4: {
      // FUNCn ( e , e ... ): the arguments are the 3rd, 5th, 7th and 9th symbols.
      int32_t args[4] = {};
      for (int i = 0; i < rule - kCall0; ++i) args[i] = v[3 + 2 * i];
      return CallCondFunction(functions_, v[1], args);
    }
    case kOr: return Truth(v[1] != 0 || v[3] != 0);
    case kAnd: return Truth(v[1] != 0 && v[3] != 0);
    case kEqual: return Truth(v[1] == v[3]);
    case kLess: return Truth(v[1] < v[3]);
    case kGreater: return Truth(v[1] > v[3]);
    case kGreaterEqual: return Truth(v[1] >= v[3]);
    case kLessEqual: return Truth(v[1] <= v[3]);
    case kNotEqual: return Truth(v[1] != v[3]);
    case kNot: return Truth(v[2] == 0);
    case kParen: return v[2];
    // Wraps: the negation of the smallest value is itself.
    case kNegate: return static_cast<int32_t>(0u - static_cast<uint32_t>(v[2]));
    case kNumber:
    case kConst: return v[1];
    default: return 0;  // the list rules carry no value
  }
}

CondCheck CondParser::yyparse() {
  int state = 0;
  Push(state, 0);
  int recovering = 0;  // kRecoveryShifts after an error, one less per token shifted
  for (;;) {
    int rule = kDefaultReduce[state];
    if (rule == 0) {
      ReadToken();
      const int shift = Packed(kShiftBase[state], token_);
      if (shift >= 0) {
        if (!Push(shift, lexer_.yylval)) return End(CondEnd::kOverflow, 1);
        state = shift;
        token_ = kNoToken;
        if (recovering > 0) --recovering;
        continue;
      }
      rule = Packed(kReduceBase[state], token_);
      if (rule < 0) {
        // A syntax error.
        if (recovering == 0) ++errors_;
        if (recovering < kRecoveryShifts) {
          // Pop down to a state that shifts the error symbol, and shift it.
          recovering = kRecoveryShifts;
          int to;
          while ((to = Packed(kShiftBase[states_[top_]], kErrorToken)) < 0) {
            if (top_ == 0) return End(CondEnd::kAbort, 1);
            --top_;
          }
          if (!Push(to, lexer_.yylval)) return End(CondEnd::kOverflow, 1);
          state = to;
        } else {
          // Still recovering: drop the look-ahead, unless it is the end of the string.
          if (token_ == 0) return End(CondEnd::kAbort, 1);
          token_ = kNoToken;
        }
        continue;
      }
    }
    // list: list expr ";" ends the parse with the expression's value.
    if (rule == kListStatement) return End(CondEnd::kStatement, values_[top_ - 1]);
    const int32_t value = Reduce(rule);
    top_ -= kRuleLength[rule];
    state = states_[top_];
    const int lhs = kRuleLhs[rule];
    if (state == 0 && lhs == 0) {
      // A list from the bottom state: the final state, where the end of the string accepts.
      state = kFinalState;
      Push(state, value);
      ReadToken();
      if (token_ == 0) return End(CondEnd::kEndOfInput, 0);
      continue;
    }
    const int go = Packed(kGotoBase[lhs], state);
    state = go >= 0 ? go : kDefaultGoto[lhs];
    if (!Push(state, value)) return End(CondEnd::kOverflow, 1);
  }
}

}  // namespace

CondCheck CondEvalChecked(const char* text, const CondFunctions& functions) {
  CondParser parser(text != nullptr ? text : "", functions);
  return parser.yyparse();
}

int32_t CondEval(const char* text, const CondFunctions& functions) {
  return CondEvalChecked(text, functions).value;
}

int32_t CondEval(const char* text) { return CondEval(text, BattleCondFunctions()); }
