// The battle events' condition language: any bytes as a condition string.

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "battle_events/core/cond_eval.h"
#include "battle_events/core/cond_lexer.h"
#include "fuzz/entries/entry_support.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_seeds.h"
#include "testsupport/cond_fake.h"

namespace fuzz {

using detail::Check;

namespace {
constexpr const char* kName = "condition";
}  // namespace

// Input: the condition string (it ends at its first NUL). Evaluated twice over the fake functions.
// Rules: both evaluations give the same result and the same calls; no more calls than function
// keywords in the string; the value follows the ending (0 at the end of input; 1 for an overflow
// and for a recovery cut short by the end, which follows at least one syntax error).
void ConditionEntry(const uint8_t* data, size_t size) {
  // An exactly sized, NUL-terminated copy: the address sanitizer sees a read past the end.
  std::unique_ptr<char[]> text(new char[size + 1]);
  if (size != 0) std::memcpy(text.get(), data, size);
  text[size] = 0;

  size_t functions = 0;
  CondLexer lexer(text.get());
  for (int t = lexer.yylex(); t != 0; t = lexer.yylex()) {
    if (t >= cond::FUNC0 && t <= cond::FUNC4) ++functions;
  }

  testsupport::CondFake fake;
  const CondCheck first = CondEvalChecked(text.get(), fake.functions());
  const std::vector<testsupport::CondCall> calls = fake.calls();
  fake.Clear();
  const CondCheck second = CondEvalChecked(text.get(), fake.functions());

  Check(first.value == second.value && first.errors == second.errors && first.end == second.end,
        kName, "a second evaluation gives another result");
  Check(fake.calls() == calls, kName, "a second evaluation makes other calls");
  Check(calls.size() <= functions, kName, "more calls than function keywords");
  switch (first.end) {
    case CondEnd::kStatement: break;
    case CondEnd::kEndOfInput: Check(first.value == 0, kName, "the end of input is not 0"); break;
    case CondEnd::kAbort:
      Check(first.value == 1 && first.errors >= 1, kName, "a cut-short recovery is not 1");
      break;
    case CondEnd::kOverflow: Check(first.value == 1, kName, "an overflow is not 1"); break;
  }
}

std::vector<Bytes> ConditionSeeds() {
  const char* const texts[] = {
      "F(101);",
      "PP(ITV)&R(20);",
      "NP(IMR())|HGU(GBO,UKM,0)|HP(IKD,0);",
      "PGU(GBO,UGK);",
      "LP(ITV,1,10,12)>0&T()>=5;",
      "UAJ(GPL,UKD,GBO,UKM)=3|M(MAD);",
      "XF(1,2)<XGU(GZA,UZO)&YF(3,4)>=YGU(GTR,UKT)&!NG(GBO);",
      "-LP(IKD,-1,3,4)!=0|FAD(83)<=2;",
      "KP(ILN)|KGU(GBO,UJD)|CP(IYS)|PFP(IBS)|FGU(GZA,UST)|RI(ITZ)>10|NU(USK);",
      "x;1;",
      "1 1;2;",
      "F(5)",
      "((((1))));",
      ";;\r\n;",
  };
  std::vector<Bytes> seeds;
  for (const char* t : texts) seeds.emplace_back(t, t + std::strlen(t));
  return seeds;
}

}  // namespace fuzz
