#include "testsupport/event_table_lint.h"

#include <cstdio>
#include <string_view>

#include "battle/slg_events.h"
#include "battle_events/core/cond_eval.h"
#include "battle_events/event_messages.h"
#include "battle_events/maps/commander_scenes.h"
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

// The handlers shared by many rows, each reading its row's argument block.
bool IsSharedHandler(SlgEventHandler handler) {
  for (SlgEventHandler shared : {&UnitDownRow, &RefTalkRow, &RefTalk2Row, &CharTalkRow,
                                 &FavouriteRow, &TalkListRow, &WaitTalkListRow, &SeqRow,
                                 &ReactionRow}) {
    if (handler == shared) return true;
  }
  return false;
}

// The first event-object kind (entry 0 of an event-animation table).
constexpr int32_t kFirstEventKind = 80;

std::string Hex(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
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
    if (row.timing == 0) {
      lint.Fault(n, row.id, "timing", "0: the row never starts");
    } else if ((row.timing & ~kEventTimingBits) != 0) {
      lint.Fault(n, row.id, "timing",
                 Hex(row.timing) + " holds bits the battle never sets (" +
                     Hex(static_cast<uint16_t>(row.timing & ~kEventTimingBits)) + ")");
    }
    if (row.arg == nullptr && IsSharedHandler(row.handler)) {
      lint.Fault(n, row.id, "argument block", "a shared handler's row without its arguments");
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
      for (const EventSeq::Op& op : static_cast<const SeqArgs*>(row.arg)->ops) {
        if (op.kind != EventSeq::OpKind::kDo) continue;
        if (op.run != &EventSeq::detail::RunDeployKind &&
            op.run != &EventSeq::detail::RunDeployKindNo) {
          continue;
        }
        const int32_t kind = op.first.i[0];
        if (kind >= kFirstEventKind &&
            kind - kFirstEventKind >= static_cast<int32_t>(setup.anm_table.size())) {
          lint.Fault(n, row.id, "deploy",
                     "kind " + std::to_string(kind) + " lies beyond the event-animation table (" +
                         std::to_string(setup.anm_table.size()) + " entries)");
        }
      }
    }
  }
  lint.Fault(kMaxRows, 0, "table", "no end row within " + std::to_string(kMaxRows) + " rows");
  return faults;
}

std::vector<TableFault> CheckMapSetupShape(int stage, const MapSetup& setup,
                                           const MapSetupShape& shape) {
  std::vector<TableFault> faults;
  Linter lint(stage, faults);
  auto music = [](const MapBgm& bgm) {
    switch (bgm.kind) {
      case MapBgm::Kind::kNone: return std::string("none");
      case MapBgm::Kind::kPlay: return "BGM " + std::to_string(bgm.number);
      case MapBgm::Kind::kByStoryFlag: return std::string("by the story flag");
    }
    return std::string("?");
  };
  if (!(setup.bgm == shape.bgm)) {
    lint.Fault(-1, 0, "music", music(setup.bgm) + ", not " + music(shape.bgm));
  }
  const bool has_anm = !setup.anm_table.empty();
  if (has_anm != shape.anm_table) {
    lint.Fault(-1, 0, "anm table", has_anm ? "installed, not none" : "none, not installed");
  }
  const bool has_deferred = setup.deferred != nullptr;
  if (has_deferred != shape.deferred) {
    lint.Fault(-1, 0, "deferred set-up", has_deferred ? "given, not none" : "none, not given");
  }
  // The order RunMapSetup makes them in: those before the deferred call, then the others.
  auto text = [](std::string_view name, MapTaskOrder order) {
    return "\"" + std::string(name) + "\"" +
           (order == MapTaskOrder::kBeforeDeferred ? " before" : " after") + " the deferred call";
  };
  std::string made;
  for (MapTaskOrder order : {MapTaskOrder::kBeforeDeferred, MapTaskOrder::kAfterDeferred}) {
    for (const MapTaskSpec& task : setup.tasks) {
      if (task.order != order) continue;
      made += (made.empty() ? "" : ", ") + text(task.name == nullptr ? "" : task.name, order);
    }
  }
  std::string wanted;
  for (const MapSetupShape::Task& task : shape.tasks) {
    wanted += (wanted.empty() ? "" : ", ") + text(task.name, task.order);
  }
  if (made != wanted) {
    lint.Fault(-1, 0, "map tasks",
               (made.empty() ? "none" : made) + ", not " + (wanted.empty() ? "none" : wanted));
  }
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
