#include "testsupport/event_table_lint.h"


#include "battle/slg_events.h"
#include "battle_events/core/cond_eval.h"
#include "battle_events/event_messages.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"

namespace testsupport {
namespace {

// Query functions that answer 0: the lint looks at the syntax only.
int32_t Zero0() { return 0; }
int32_t Zero1(int32_t) { return 0; }
int32_t Zero2(int32_t, int32_t) { return 0; }
int32_t Zero3(int32_t, int32_t, int32_t) { return 0; }
int32_t Zero4(int32_t, int32_t, int32_t, int32_t) { return 0; }

const CondFunctions& SyntaxOnly() {
  static const CondFunctions functions = [] {
    CondFunctions f{};
    f.F = f.FAD = f.R = f.M = f.NG = f.NP = f.NU = f.PP = f.PFP = f.RI = f.KP = f.CP = &Zero1;
    f.T = f.IMR = &Zero0;
    f.PGU = f.FGU = f.HP = f.KGU = f.XF = f.YF = f.XGU = f.YGU = &Zero2;
    f.HGU = &Zero3;
    f.UAJ = f.LP = &Zero4;
    return f;
  }();
  return functions;
}

bool IsEndRow(const SlgEventEntry& row) {
  auto empty = [](const char* c) { return c == nullptr || c[0] == '\0'; };
  return row.handler == nullptr && row.id == 0 && row.timing == 0 && empty(row.a) &&
         empty(row.b) && empty(row.c) && row.guard == std::array<int16_t, 2>{} &&
         row.set == std::array<int16_t, 2>{} && row.clear == std::array<int16_t, 2>{} &&
         row.arg == nullptr;
}

class Linter {
 public:
  Linter(int stage, std::vector<TableFault>& out) : stage_(stage), out_(out) {}

  void Fault(int row, uint16_t id, std::string field, std::string what) {
    out_.push_back({stage_, row, id, std::move(field), std::move(what)});
  }

  void Condition(int row, uint16_t id, const char* field, const char* text) {
    if (text == nullptr || text[0] == '\0') return;
    // A missing ";" is a syntax error of its own; the rest is checked as if it were there.
    std::string statement = text;
    if (statement.back() != ';') {
      Fault(row, id, field, "\"" + std::string(text) + "\" lacks its \";\"");
      statement += ';';
    }
    if (CondEvalChecked(statement.c_str(), SyntaxOnly()).errors != 0) {
      Fault(row, id, field, "\"" + std::string(text) + "\" has a syntax error");
    }
  }

  void Flags(int row, uint16_t id, const char* name, const std::array<int16_t, 2>& flags) {
    for (size_t s = 0; s < flags.size(); ++s) {
      const int16_t f = flags[s];
      if (f != 0 && (f < 1 || f >= kEventFlagCount)) {
        Fault(row, id, std::string(name) + " " + std::to_string(s + 1),
              "flag " + std::to_string(f) + " lies outside 1-2047");
      }
    }
  }

 private:
  int stage_;
  std::vector<TableFault>& out_;
};

// More rows than any map's table holds (the largest has about 60): the walk gives up there.
constexpr int kMaxRows = 1024;

}  // namespace

std::string TableFault::Text() const {
  std::string text = "map " + std::to_string(stage + 1);
  if (row >= 0) {
    text += " row " + std::to_string(row) + " (id " + std::to_string(id) + ")";
  } else {
    text += " set-up";
  }
  return text + " " + field + ": " + what;
}

std::vector<TableFault> LintMapSetup(int stage, const MapSetup& setup) {
  std::vector<TableFault> faults;
  Linter lint(stage, faults);
  if (setup.anm_table.data() != nullptr && setup.anm_table.empty()) {
    lint.Fault(-1, 0, "anm table", "an event-animation table without its length");
  }
  if (setup.table == nullptr) {
    lint.Fault(-1, 0, "table", "no event table");
    return faults;
  }
  for (int n = 0; n < kMaxRows; ++n) {
    const SlgEventEntry& row = setup.table[n];
    if (IsEndRow(row)) return faults;
    if (row.handler == nullptr) {
      lint.Fault(n, row.id, "handler", "null before the end row (the table would end here)");
    }
    lint.Condition(n, row.id, "condition A", row.a);
    lint.Condition(n, row.id, "condition B", row.b);
    lint.Condition(n, row.id, "condition C", row.c);
    lint.Flags(n, row.id, "guard flag", row.guard);
    lint.Flags(n, row.id, "set flag", row.set);
    lint.Flags(n, row.id, "clear flag", row.clear);
    ForEachRowMessageList(row, [&](std::span<const EventMessageRef> list) {
      if (!EventMessageListEnded(list)) {
        lint.Fault(n, row.id, "message list", "a list without its end marker (face 65535)");
      }
    });
    if (row.handler == &SeqRow && row.arg != nullptr) {
      const std::string_view fault = EventSeq::Fault(static_cast<const SeqArgs*>(row.arg)->ops);
      if (!fault.empty()) lint.Fault(n, row.id, "program", std::string(fault));
    }
  }
  lint.Fault(kMaxRows, 0, "table", "no end row within " + std::to_string(kMaxRows) + " rows");
  return faults;
}

std::vector<TableFault> LintMapSetups(std::span<const MapSetup* const> rows) {
  std::vector<TableFault> faults;
  for (size_t stage = 0; stage < rows.size(); ++stage) {
    if (rows[stage] == nullptr) continue;
    std::vector<TableFault> more = LintMapSetup(static_cast<int>(stage), *rows[stage]);
    faults.insert(faults.end(), more.begin(), more.end());
  }
  return faults;
}

}  // namespace testsupport
