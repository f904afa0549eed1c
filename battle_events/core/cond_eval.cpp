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
constexpr int Packed(int base, int key) {
  if (base == 0) return -1;
  const int at = base + key;
  if (at < 0 || at > kTableLast || kCheck[at] != key) return -1;
  return kTable[at];
}

// The packed tables unfolded, once, at compile time, into one row per state with a column per
// terminal, so that each step of the parse is one look-up.
constexpr int kStateCount = sizeof(kDefaultReduce) / sizeof(kDefaultReduce[0]);
// Every token the lexer gives lies below this.
constexpr int kTokenLimit = cond::FUNC4 + 1;
// The terminals of the grammar, a column each; every other token shares column 0, for which no
// state has an action (so it is always a syntax error).
constexpr int kTerminals[] = {cond::BADTOKEN, 0, kErrorToken, cond::NUMBER, cond::GE,
                              cond::LE, cond::NE, cond::CONST, cond::FUNC0, cond::FUNC1,
                              cond::FUNC2, cond::FUNC3, cond::FUNC4, '(', ')', ',', ';', '|',
                              '&', '=', '<', '>', '!', '-'};
constexpr int kColumnCount = sizeof(kTerminals) / sizeof(kTerminals[0]);
constexpr int kErrorColumn = 2;
static_assert(kTerminals[kErrorColumn] == kErrorToken);

struct Unfolded {
  uint8_t column[kTokenLimit] = {};  // per token
  // Per state and column: s > 0 shifts to state s, -r reduces rule r, 0 is a syntax error.
  int8_t action[kStateCount][kColumnCount] = {};
  uint8_t go[2][kStateCount] = {};  // per left-hand symbol and uncovered state
};

constexpr Unfolded Unfold() {
  Unfolded u;
  for (int c = 1; c < kColumnCount; ++c) {
    if (kTerminals[c] < kTokenLimit) u.column[kTerminals[c]] = static_cast<uint8_t>(c);
  }
  for (int s = 0; s < kStateCount; ++s) {
    for (int c = 0; c < kColumnCount; ++c) {
      const int shift = Packed(kShiftBase[s], kTerminals[c]);
      const int reduce = Packed(kReduceBase[s], kTerminals[c]);
      u.action[s][c] = static_cast<int8_t>(shift > 0 ? shift : reduce > 0 ? -reduce : 0);
    }
    for (int lhs = 0; lhs < 2; ++lhs) {
      const int go = Packed(kGotoBase[lhs], s);
      u.go[lhs][s] = static_cast<uint8_t>(go >= 0 ? go : kDefaultGoto[lhs]);
    }
  }
  return u;
}

constexpr Unfolded kParse = Unfold();
static_assert(kStateCount < 128 && kRuleCount < 128, "the unfolded actions are 8-bit");

constexpr bool NoActionOnOtherTokens() {
  for (const auto& row : kParse.action) {
    if (row[0] != 0) return false;
  }
  return true;
}
static_assert(NoActionOnOtherTokens(), "a token outside the grammar has an action");

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
      const int action = kParse.action[state][kParse.column[token_]];
      if (action > 0) {
        if (!Push(action, lexer_.yylval)) return End(CondEnd::kOverflow, 1);
        state = action;
        token_ = kNoToken;
        if (recovering > 0) --recovering;
        continue;
      }
      rule = -action;
      if (rule == 0) {
        // A syntax error.
        if (recovering == 0) ++errors_;
        if (recovering < kRecoveryShifts) {
          // Pop down to a state that shifts the error symbol, and shift it.
          recovering = kRecoveryShifts;
          int to;
          while ((to = kParse.action[states_[top_]][kErrorColumn]) <= 0) {
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
    state = kParse.go[lhs][state];
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
