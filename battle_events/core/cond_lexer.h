#pragma once
// The lexer of the condition language and its keyword table. A condition string is read byte by
// byte up to its NUL, never past it; each call of yylex gives the next token and leaves the value
// it carries in yylval.

#include <cstdint>

// Token numbers. A character the grammar uses ( ) , ; | & = < > ! - is its own token, and so is
// any other ASCII character (no rule takes those); 0 is the end of the string.
namespace cond {
inline constexpr int NUMBER = 257;  // a run of decimal digits; value: the number
inline constexpr int GE = 258;      // ">="
inline constexpr int LE = 259;      // "<="
inline constexpr int NE = 260;      // "!="
// An upper-case word that is no keyword, or a byte of 0x80 or more: no rule takes it, so its
// statement is a syntax error.
inline constexpr int BADTOKEN = 261;
inline constexpr int CONST = 262;  // a named constant; value: the constant
inline constexpr int FUNC0 = 263;  // a query function of 0-4 arguments; value: its CondFunctionId
inline constexpr int FUNC1 = 264;
inline constexpr int FUNC2 = 265;
inline constexpr int FUNC3 = 266;
inline constexpr int FUNC4 = 267;
}  // namespace cond

struct CondKeyword {
  const char* name;  // 1-3 upper-case letters; null in the row that ends the table
  int token;         // cond::CONST or cond::FUNC0-FUNC4
  int32_t value;     // the constant, or the function's CondFunctionId
};

// The 61 keywords (25 functions, then 36 constants) and the ending row.
inline constexpr int kCondKeywordCount = 61;
extern const CondKeyword CondKeywordTable[kCondKeywordCount + 1];

class CondLexer {
 public:
  explicit CondLexer(const char* text) : at_(reinterpret_cast<const unsigned char*>(text)) {}

  // The next token; after the end of the string, 0 again (the parser does not ask).
  int yylex();

  // The value of the last NUMBER, CONST or FUNCn token.
  int32_t yylval = 0;

 private:
  const unsigned char* at_;
};
