// Evaluation of condition strings: values, statements and recovery, call order, stack depth.
#include "battle_events/core/cond_eval.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "testsupport/cond_fake.h"

namespace {

using testsupport::CondCall;
using testsupport::CondFake;

const char* EndName(CondEnd end) {
  switch (end) {
    case CondEnd::kStatement: return "statement";
    case CondEnd::kEndOfInput: return "end of input";
    case CondEnd::kAbort: return "abort";
    case CondEnd::kOverflow: return "overflow";
  }
  return "?";
}

// Evaluates an exactly sized copy of `text`, so that the address sanitizer sees any read past
// its NUL.
CondCheck Check(const CondFake& fake, const std::string& text) {
  auto copy = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  return CondEvalChecked(copy.get(), fake.functions());
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

CondCall Call(CondFunctionId id, std::vector<int32_t> args) {
  CondCall c{id, static_cast<int>(args.size()), {}};
  for (size_t i = 0; i < args.size(); ++i) c.args[i] = args[i];
  return c;
}

// Value, syntax errors and ending of each string, with the fake functions answering their first
// argument.
TEST(CondEval, Results) {
  constexpr CondEnd kStatement = CondEnd::kStatement;
  constexpr CondEnd kEnd = CondEnd::kEndOfInput;
  constexpr CondEnd kAbort = CondEnd::kAbort;
  struct Case {
    const char* text;
    int32_t value;
    int errors;
    CondEnd end;
  };
  const Case cases[] = {
      // Precedence and grouping.
      {"1|0&0;", 1, 0, kStatement},
      {"!0<2;", 1, 0, kStatement},
      {"-1<0;", 1, 0, kStatement},
      {"1=1&0;", 0, 0, kStatement},
      {"3>2>1;", 0, 0, kStatement},
      {"0=0=0;", 0, 0, kStatement},
      {"!!5;", 1, 0, kStatement},
      {"--7;", 7, 0, kStatement},
      {"-(2>=2);", -1, 0, kStatement},
      {"2<=1|1!=1;", 0, 0, kStatement},
      {"-3<-2&-2>-3;", 1, 0, kStatement},
      {"NP(IMR());", 0, 0, kStatement},
      {"HGU(GBO,UKM,0)|HP(IKD,0);", 1, 0, kStatement},
      {"UAJ(1,2,3,4)=1 & LP(ITV,-1,5,6)=1;", 1, 0, kStatement},
      // Statements.
      {"5;0;", 5, 0, kStatement},
      {";", 0, 0, kEnd},
      {"", 0, 0, kEnd},
      {";;7;", 7, 0, kStatement},
      {"x;1;", 1, 1, kStatement},
      {"1 1;2;", 2, 1, kStatement},
      {"1==1;", 0, 1, kEnd},
      {"(1;", 0, 1, kEnd},
      {"1);2;", 2, 1, kStatement},
      {"F(1));", 0, 1, kEnd},
      {"F(5)", 1, 1, kAbort},
      {"1 2", 1, 1, kAbort},
      {"1-1;", 0, 1, kEnd},
      {"F(1,2);", 0, 1, kEnd},
      {"T(1);", 0, 1, kEnd},
      {"GPL();", 0, 1, kEnd},
      // A new error counts only after three tokens were shifted since the last one.
      {"x;y;", 0, 1, kEnd},
      {"x;;y;", 0, 1, kEnd},
      {"x;;;y;", 0, 2, kEnd},
      {"x;;;y", 1, 2, kAbort},
      // Words and bytes.
      {"FOO(1);", 0, 1, kEnd},
      {"FOO(1);2;", 2, 1, kStatement},
      {"FADX(1);", 0, 1, kEnd},
      {"f(1);", 0, 1, kEnd},
      {"\r1;", 0, 1, kEnd},
      {" \t\n1;", 1, 0, kStatement},
      {"\x80" "1;", 0, 1, kEnd},
      {"1\xff", 1, 1, kAbort},
      // Numbers wrap modulo 2^32; negation wraps too.
      {"99999999999;", 1215752191, 0, kStatement},
      {"4294967295;", -1, 0, kStatement},
      {"-2147483648;", INT32_MIN, 0, kStatement},
  };
  CondFake fake;
  for (const Case& c : cases) {
    const CondCheck r = Check(fake, c.text);
    EXPECT_EQ(r.value, c.value) << c.text;
    EXPECT_EQ(r.errors, c.errors) << c.text;
    EXPECT_STREQ(EndName(r.end), EndName(c.end)) << c.text;
  }
}

TEST(CondEval, NegatingTheSmallestAnswerWraps) {
  CondFake fake;
  fake.SetAnswer(kCondLP, INT32_MIN);
  EXPECT_EQ(CondEval("-LP(1,1,0,0);", fake.functions()), INT32_MIN);
  EXPECT_EQ(CondEval("-LP(1,1,0,0)<0;", fake.functions()), 1);
}

TEST(CondEval, ComparisonsAreSigned) {
  CondFake fake;
  fake.SetAnswer(kCondXF, -5);
  EXPECT_EQ(CondEval("XF(0,0)<3;", fake.functions()), 1);
  EXPECT_EQ(CondEval("XF(0,0)>=0;", fake.functions()), 0);
  EXPECT_EQ(CondEval("4294967295<0;", fake.functions()), 1);
}

// Every call is made, in the order of the text, whatever the operators.
TEST(CondEval, EveryCallInTextOrder) {
  struct Case {
    const char* text;
    int32_t value;
    std::vector<CondCall> calls;
  };
  const std::vector<Case> cases = {
      {"0&R(50);", 0, {Call(kCondR, {50})}},
      {"PP(IKD)&R(20);", 0, {Call(kCondPP, {0}), Call(kCondR, {20})}},
      {"1|R(20);", 1, {Call(kCondR, {20})}},
      {"F(1)|F(2)&F(3);", 1, {Call(kCondF, {1}), Call(kCondF, {2}), Call(kCondF, {3})}},
      {"NP(IMR());", 4, {Call(kCondIMR, {}), Call(kCondNP, {4})}},
      {"HGU(T(),F(8),-F(9));", 3,
       {Call(kCondT, {}), Call(kCondF, {8}), Call(kCondF, {9}), Call(kCondHGU, {3, 8, -9})}},
      // Nothing after the first statement is read.
      {"F(1);F(2);", 1, {Call(kCondF, {1})}},
      // The call is made before the missing ";" is found.
      {"F(5)", 1, {Call(kCondF, {5})}},
      // A statement that fails after a call keeps the call; the next statement runs.
      {"F(1) F(2);F(3);", 3, {Call(kCondF, {1}), Call(kCondF, {3})}},
  };
  CondFake fake;
  fake.SetAnswer(kCondIMR, 4);
  fake.SetAnswer(kCondT, 3);
  for (const Case& c : cases) {
    fake.Clear();
    EXPECT_EQ(Check(fake, c.text).value, c.value) << c.text;
    EXPECT_EQ(fake.calls(), c.calls) << c.text;
  }
}

// The parser's stack holds 100 entries: deep nesting overflows to 1, long flat chains do not.
TEST(CondEval, StackDepth) {
  CondFake fake;
  const auto nested = [](int n) { return Repeat("(", n) + "0" + Repeat(")", n) + ";"; };
  EXPECT_EQ(Check(fake, nested(40)).value, 0);
  const CondCheck deep = Check(fake, nested(150));
  EXPECT_EQ(deep.value, 1);
  EXPECT_STREQ(EndName(deep.end), "overflow");
  EXPECT_EQ(deep.errors, 0);
  // The last depth that fits, and the first that does not: the bottom state, the list, the open
  // parentheses, the innermost expression and its closing parenthesis.
  EXPECT_STREQ(EndName(Check(fake, nested(96)).end), "statement");
  EXPECT_STREQ(EndName(Check(fake, nested(97)).end), "overflow");

  EXPECT_EQ(Check(fake, Repeat("!", 40) + "0;").value, 0);
  EXPECT_EQ(Check(fake, Repeat("!", 41) + "0;").value, 1);
  EXPECT_STREQ(EndName(Check(fake, Repeat("!", 150) + "0;").end), "overflow");
  EXPECT_EQ(Check(fake, Repeat("-", 150) + "0;").value, 1);

  // Calls nested past the limit overflow before any of them is made.
  fake.Clear();
  EXPECT_EQ(Check(fake, Repeat("F(", 60) + "0" + Repeat(")", 60) + ";").value, 1);
  EXPECT_TRUE(fake.calls().empty());

  std::string flat = "0";
  for (int i = 1; i < 10000; ++i) flat += "|0";
  const CondCheck r = Check(fake, flat + ";");
  EXPECT_EQ(r.value, 0);
  EXPECT_STREQ(EndName(r.end), "statement");
  std::string chain = "1";
  for (int i = 1; i < 10000; ++i) chain += i % 2 ? "&F(1)" : "=1";
  EXPECT_EQ(Check(fake, chain + ";").value, 1);
}

TEST(CondEval, NullTextIsEmpty) {
  CondFake fake;
  EXPECT_EQ(CondEval(nullptr, fake.functions()), 0);
}

}  // namespace
