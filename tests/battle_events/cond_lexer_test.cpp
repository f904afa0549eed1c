// The condition lexer's token streams and its keyword table.
#include "battle_events/core/cond_lexer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "battle_events/core/cond_eval.h"
#include "battle_events/core/cond_functions.h"
#include "testsupport/cond_fake.h"

namespace {

using namespace cond;
using Token = std::pair<int, int32_t>;  // kind, value (0 for tokens without one)

// Every token up to and including the end (0), read from an exactly sized copy of `text`, so that
// the address sanitizer sees any read past its NUL.
std::vector<Token> Lex(const std::string& text) {
  auto copy = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  CondLexer lexer(copy.get());
  std::vector<Token> tokens;
  for (;;) {
    const int t = lexer.yylex();
    const bool valued = t == NUMBER || t == CONST || (t >= FUNC0 && t <= FUNC4);
    tokens.push_back({t, valued ? lexer.yylval : 0});
    if (t == 0) break;
  }
  return tokens;
}

TEST(CondLexer, TokenStreams) {
  struct Case {
    const char* text;
    std::vector<Token> tokens;
  };
  const Case cases[] = {
      {"NP(ITV);", {{FUNC1, kCondNP}, {'(', 0}, {CONST, 1}, {')', 0}, {';', 0}, {0, 0}}},
      {"T()>=5", {{FUNC0, kCondT}, {'(', 0}, {')', 0}, {GE, 0}, {NUMBER, 5}, {0, 0}}},
      {"12 34", {{NUMBER, 12}, {NUMBER, 34}, {0, 0}}},
      {"==", {{'=', 0}, {'=', 0}, {0, 0}}},
      {"<=!=><!", {{LE, 0}, {NE, 0}, {'>', 0}, {'<', 0}, {'!', 0}, {0, 0}}},
      // Blanks, tabs and line feeds are skipped; a carriage return is a token.
      {" \t\n7\r", {{NUMBER, 7}, {'\r', 0}, {0, 0}}},
      // A word of four letters: the first three, then a word starting with the fourth.
      {"FADF(", {{FUNC1, kCondFAD}, {FUNC1, kCondF}, {'(', 0}, {0, 0}}},
      {"UKMA", {{CONST, 20}, {BADTOKEN, 0}, {0, 0}}},
      // Unknown words and bytes past ASCII are the bad token; lower case is its own code.
      {"FOO(", {{BADTOKEN, 0}, {'(', 0}, {0, 0}}},
      {"f\x80\xff", {{'f', 0}, {BADTOKEN, 0}, {BADTOKEN, 0}, {0, 0}}},
      // Digit runs wrap modulo 2^32 and read as signed.
      {"4294967295 4294967296 2147483648",
       {{NUMBER, -1}, {NUMBER, 0}, {NUMBER, INT32_MIN}, {0, 0}}},
  };
  for (const Case& c : cases) EXPECT_EQ(Lex(c.text), c.tokens) << c.text;
}

TEST(CondLexer, EndStaysTheEnd) {
  auto copy = std::make_unique<char[]>(2);
  std::memcpy(copy.get(), "1", 2);
  CondLexer lexer(copy.get());
  EXPECT_EQ(lexer.yylex(), NUMBER);
  EXPECT_EQ(lexer.yylex(), 0);
  EXPECT_EQ(lexer.yylex(), 0);
}

TEST(CondKeywords, TableShape) {
  std::set<std::string> names;
  int functions = 0;
  for (int i = 0; i < kCondKeywordCount; ++i) {
    const CondKeyword& k = CondKeywordTable[i];
    ASSERT_NE(k.name, nullptr) << i;
    const std::string name = k.name;
    EXPECT_TRUE(name.size() >= 1 && name.size() <= 3) << name;
    for (char c : name) EXPECT_TRUE(c >= 'A' && c <= 'Z') << name;
    EXPECT_TRUE(names.insert(name).second) << name << " twice";
    // The lexer finds each row by its name.
    EXPECT_EQ(Lex(name), (std::vector<Token>{{k.token, k.value}, {0, 0}})) << name;
    if (k.token != CONST) {
      // The functions come first, each row's value its own index.
      EXPECT_EQ(k.value, i) << name;
      ++functions;
    }
  }
  EXPECT_EQ(functions, kCondFunctionCount);
  EXPECT_EQ(CondKeywordTable[kCondKeywordCount].name, nullptr);
}

// Each function keyword, called with as many arguments as its token says, reaches its own entry
// of the function table with those arguments.
TEST(CondKeywords, FunctionsReachTheirEntries) {
  testsupport::CondFake fake;
  for (int i = 0; i < kCondFunctionCount; ++i) {
    const CondKeyword& k = CondKeywordTable[i];
    const int argc = k.token - FUNC0;
    std::string text = std::string(k.name) + "(";
    testsupport::CondCall expected{k.value, argc, {}};
    for (int a = 0; a < argc; ++a) {
      text += (a ? "," : "") + std::to_string(10 + a);
      expected.args[static_cast<size_t>(a)] = 10 + a;
    }
    text += ");";
    fake.Clear();
    EXPECT_EQ(CondEval(text.c_str(), fake.functions()), argc ? 10 : 0) << text;
    ASSERT_EQ(fake.calls().size(), 1u) << text;
    EXPECT_EQ(fake.calls()[0], expected) << text;
  }
}

TEST(CondKeywords, Constants) {
  const std::pair<const char*, int32_t> cases[] = {
      {"GPL", 0}, {"GBO", 2},  {"GZA", 1},  {"GTR", 4},  {"IKD", 0}, {"IBS", 6},
      {"UKD", 0}, {"UBS", 6},  {"UKM", 20}, {"UKT", 32}, {"UBE", 34}, {"UJD", 38},
      {"UKJ", 25}, {"MA", 2}, {"MAD", 18},
  };
  for (const auto& [name, value] : cases) {
    const std::vector<Token> tokens = Lex(name);
    ASSERT_EQ(tokens.size(), 2u) << name;
    EXPECT_EQ(tokens[0], Token(CONST, value)) << name;
  }
}

}  // namespace
