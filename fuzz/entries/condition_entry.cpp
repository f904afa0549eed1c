// The battle events' condition language: any bytes as a condition string, over the counting fake
// of the functions and over the battle's own queries on a fixed board.

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_unit.h"
#include "engine/app/context.h"
#include "engine/files/random.h"
#include "battle_events/core/cond_eval.h"
#include "battle_events/core/cond_functions.h"
#include "battle_events/core/cond_lexer.h"
#include "fuzz/entries/entry_support.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_seeds.h"
#include "game/game_context.h"
#include "testsupport/battle_board.h"
#include "testsupport/cond_fake.h"

namespace fuzz {

using detail::Check;

namespace {
constexpr const char* kName = "condition";

// The board the real queries read, made once per process: the hero and heroine 1 of side 0, two
// ASHIGARU of side 1 (one of them at half life), an event object; round 2, heroine 1 acting. The
// queries only read the battle: each input checks that its words are still those of the board.
struct CondBoard {
  CondBoard() {
    BattleScope scope(battle);
    board = std::make_unique<testsupport::BattleBoard>(battle);
    using testsupport::OnCell;
    board->AddUnit(OnCell(2, 10, {.side = 0, .character = 0, .kind = 0, .category = 0}));
    board->AddUnit(OnCell(3, 10, {.side = 0, .character = 1, .kind = 1, .category = 0}));
    const uint8_t foe =
        board->AddUnit(OnCell(5, 10, {.side = 1, .character = 14, .kind = 14, .category = 1}));
    board->AddUnit(OnCell(6, 12, {.side = 1, .character = 14, .kind = 14, .category = 1}));
    board->AddUnit(OnCell(4, 14, {.kind = 80, .category = 3, .flags = 0x80}));
    if (foe < kSlgMaxUnits) {
      battle.state.units[foe].stats.max_life = 100;
      battle.state.units[foe].stats.life = 50;
    }
    battle.state.round = 2;
    battle.state.turn_counter = 2;
    battle.state.acting_unit = 1;
    state = battle.state;
  }
  // Whether the battle's units and turn words are still the board's.
  bool Unchanged() const {
    const SlgBattleState& s = battle.state;
    if (s.unit_count != state.unit_count || s.round != state.round ||
        s.turn_counter != state.turn_counter || s.acting_unit != state.acting_unit) {
      return false;
    }
    for (uint32_t i = 0; i < s.unit_count && i < kSlgMaxUnits; ++i) {
      const SlgUnit& a = s.units[i];
      const SlgUnit& b = state.units[i];
      if (a.kind != b.kind || a.side != b.side || a.stats.life != b.stats.life ||
          a.x != b.x || a.y != b.y) {
        return false;
      }
    }
    return true;
  }

  BattleContext battle;
  std::unique_ptr<testsupport::BattleBoard> board;
  SlgBattleState state{};
};

CondBoard& SharedCondBoard() {
  static CondBoard* board = new CondBoard;  // lives as long as the process
  return *board;
}
}  // namespace

// Input: the condition string (it ends at its first NUL). Evaluated twice over the fake functions.
// Rules: both evaluations give the same result and the same calls; no more calls than function
// keywords in the string; the value follows the ending (0 at the end of input; 1 for an overflow
// and for a recovery cut short by the end, which follows at least one syntax error). Then twice
// over the battle's queries on the board from one seed: the same result both times, the same
// parse as over the fake, the same ending rule, and the board's units and turn untouched.
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

  // The battle's own queries on the board, twice from the same seed of the generator.
  detail::DisplayRig& rig = detail::Rig(false);
  if (!rig.ready) return;
  ContextScope engine_scope(*rig.context);
  GameContext game;
  GameScope game_scope(game);
  CondBoard& board = SharedCondBoard();
  BattleScope battle_scope(board.battle);
  CondCheck real[2];
  for (CondCheck& r : real) {
    Ctx().random.Seed(7);
    r = CondEvalChecked(text.get(), BattleCondFunctions());
  }
  Check(real[0].value == real[1].value && real[0].errors == real[1].errors &&
            real[0].end == real[1].end,
        kName, "the battle's queries give another result from the same seed");
  Check(real[0].errors == first.errors && real[0].end == first.end, kName,
        "the battle's queries change how the string parses");
  if (real[0].end == CondEnd::kEndOfInput) {
    Check(real[0].value == 0, kName, "the end of input is not 0 over the battle's queries");
  }
  if (real[0].end == CondEnd::kAbort || real[0].end == CondEnd::kOverflow) {
    Check(real[0].value == 1, kName, "a cut-short or overflowed evaluation is not 1");
  }
  Check(board.Unchanged(), kName, "a condition changed the battle's units or turn");
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
      // Queries the board answers: the half-life ASHIGARU, the acting heroine, chances.
      "HGU(GZA,14,50)&PP(1)&T()>=2&!NU(14)&NU(15);",
      "R(20)|R(80)&(RI(1)>=0)&NG(2);",
  };
  std::vector<Bytes> seeds;
  for (const char* t : texts) seeds.emplace_back(t, t + std::strlen(t));
  return seeds;
}

}  // namespace fuzz
