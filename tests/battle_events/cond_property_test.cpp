// Random expression trees, printed as condition strings: the parser's value and calls equal the
// tree's own.
#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "battle_events/core/cond_eval.h"
#include "battle_events/core/cond_lexer.h"
#include "engine/files/random.h"
#include "testsupport/cond_fake.h"

namespace {

using testsupport::CondCall;

enum class Kind { kNumber, kConst, kCall, kBinary, kNot, kNegate, kParen };

// Binding levels: "|" 1, "&" 2, the comparisons 3, the prefix operators 4, operands 5.
struct BinaryOp {
  const char* text;
  int level;
};
constexpr BinaryOp kBinary[] = {{"|", 1},  {"&", 2},  {"=", 3},  {"<", 3},
                                {">", 3},  {">=", 3}, {"<=", 3}, {"!=", 3}};
constexpr int kOperandLevel = 5;

struct Node {
  Kind kind = Kind::kNumber;
  uint32_t number = 0;  // kNumber: as written (read modulo 2^32)
  int keyword = 0;      // kConst, kCall: the row of CondKeywordTable
  int op = 0;           // kBinary: index in kBinary
  std::vector<std::unique_ptr<Node>> kids;
};

class TreeMaker {
 public:
  explicit TreeMaker(uint32_t seed) { random_.Seed(seed); }

  std::unique_ptr<Node> Make(int depth) {
    auto n = std::make_unique<Node>();
    const int pick = depth == 0 ? Below(3) : Below(10);
    if (pick == 0) {
      n->kind = Kind::kNumber;
      // Mostly small numbers, so that comparisons go both ways; now and then any 32 bits.
      n->number = Below(4) == 0 ? Bits32() : static_cast<uint32_t>(Below(6));
    } else if (pick == 1) {
      n->kind = Kind::kConst;
      n->keyword = kCondFunctionCount + Below(kCondKeywordCount - kCondFunctionCount);
    } else if (pick == 2 || pick == 3) {
      n->kind = Kind::kCall;
      n->keyword = Below(kCondFunctionCount);
      const int argc = CondKeywordTable[n->keyword].token - cond::FUNC0;
      for (int i = 0; i < argc; ++i) n->kids.push_back(Make(depth > 0 ? depth - 1 : 0));
    } else if (pick <= 6) {
      n->kind = Kind::kBinary;
      n->op = Below(static_cast<int>(std::size(kBinary)));
      n->kids.push_back(Make(depth - 1));
      n->kids.push_back(Make(depth - 1));
    } else {
      n->kind = pick == 7 ? Kind::kNot : pick == 8 ? Kind::kNegate : Kind::kParen;
      n->kids.push_back(Make(depth - 1));
    }
    return n;
  }

  // Blanks the lexer skips, now and then, between tokens.
  std::string Gap() {
    static const char* const kGaps[] = {" ", "\t", "\n", "  "};
    return Below(4) == 0 ? kGaps[Below(4)] : "";
  }

  int Below(int n) { return random_.Next() % n; }
  uint32_t Bits32() {
    return (static_cast<uint32_t>(random_.Next()) << 17) ^
           (static_cast<uint32_t>(random_.Next()) << 2) ^ static_cast<uint32_t>(random_.Next());
  }

 private:
  GameRandom random_;
};

int Level(const Node& n) {
  switch (n.kind) {
    case Kind::kBinary: return kBinary[n.op].level;
    case Kind::kNot:
    case Kind::kNegate: return 4;
    default: return kOperandLevel;
  }
}

// Prints with the fewest parentheses the grammar needs (besides the tree's own kParen nodes):
// an operand binding more loosely than its operator, or as loosely on the right of a binary one
// (which groups from the left), is put in parentheses.
std::string Print(const Node& n, TreeMaker& gaps) {
  const auto operand = [&](const Node& kid, int min_level) {
    const std::string s = Print(kid, gaps);
    return Level(kid) >= min_level ? s : "(" + gaps.Gap() + s + gaps.Gap() + ")";
  };
  switch (n.kind) {
    case Kind::kNumber: return std::to_string(n.number);
    case Kind::kConst: return CondKeywordTable[n.keyword].name;
    case Kind::kCall: {
      std::string s = std::string(CondKeywordTable[n.keyword].name) + gaps.Gap() + "(";
      for (size_t i = 0; i < n.kids.size(); ++i) {
        s += (i ? "," : "") + gaps.Gap() + Print(*n.kids[i], gaps) + gaps.Gap();
      }
      return s + ")";
    }
    case Kind::kBinary: {
      const int level = kBinary[n.op].level;
      return operand(*n.kids[0], level) + gaps.Gap() + kBinary[n.op].text + gaps.Gap() +
             operand(*n.kids[1], level + 1);
    }
    case Kind::kNot: return "!" + gaps.Gap() + operand(*n.kids[0], 4);
    case Kind::kNegate: return "-" + gaps.Gap() + operand(*n.kids[0], 4);
    case Kind::kParen: return "(" + gaps.Gap() + Print(*n.kids[0], gaps) + gaps.Gap() + ")";
  }
  return "";
}

// The tree's own value; its calls go to `calls`, answered as the fake answers (the first
// argument, 0 without one).
int32_t Evaluate(const Node& n, std::vector<CondCall>& calls) {
  switch (n.kind) {
    case Kind::kNumber: return static_cast<int32_t>(n.number);
    case Kind::kConst: return CondKeywordTable[n.keyword].value;
    case Kind::kCall: {
      CondCall call{CondKeywordTable[n.keyword].value, static_cast<int>(n.kids.size()), {}};
      for (size_t i = 0; i < n.kids.size(); ++i) call.args[i] = Evaluate(*n.kids[i], calls);
      calls.push_back(call);
      return call.args[0];
    }
    case Kind::kBinary: {
      const int64_t a = Evaluate(*n.kids[0], calls);
      const int64_t b = Evaluate(*n.kids[1], calls);
      switch (n.op) {
        case 0: return a != 0 || b != 0;
        case 1: return a != 0 && b != 0;
        case 2: return a == b;
        case 3: return a < b;
        case 4: return a > b;
        case 5: return a >= b;
        case 6: return a <= b;
        default: return a != b;
      }
    }
    case Kind::kNot: return Evaluate(*n.kids[0], calls) == 0;
    case Kind::kNegate: return static_cast<int32_t>(-static_cast<int64_t>(Evaluate(*n.kids[0], calls)));
    case Kind::kParen: return Evaluate(*n.kids[0], calls);
  }
  return 0;
}

TEST(CondProperty, RandomTreesEvaluateAsTheirText) {
  testsupport::CondFake fake;
  TreeMaker maker(20240611);
  int trues = 0;
  for (int i = 0; i < 3000; ++i) {
    const std::unique_ptr<Node> tree = maker.Make(1 + maker.Below(6));
    const std::string text = Print(*tree, maker) + maker.Gap() + ";";
    std::vector<CondCall> calls;
    const int32_t expected = Evaluate(*tree, calls);
    fake.Clear();
    const CondCheck r = CondEvalChecked(text.c_str(), fake.functions());
    ASSERT_EQ(r.value, expected) << text;
    ASSERT_EQ(r.errors, 0) << text;
    ASSERT_EQ(r.end, CondEnd::kStatement) << text;
    ASSERT_EQ(fake.calls(), calls) << text;
    trues += expected != 0;
  }
  // Both outcomes come up often enough for the comparison to mean something.
  EXPECT_GT(trues, 300);
  EXPECT_LT(trues, 2700);
}

}  // namespace
