// Scene scripts and message tables: a scene's two files loaded and decoded for a few frames, and
// the message look-up over every id the table names.

#include <cstring>
#include <vector>

#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/files/file_io.h"
#include "fuzz/entries/entry_support.h"
#include "fuzz/entries/fuzz_entries.h"
#include "game/system_data.h"
#include "scene/script/tamvik_macro.h"
#include "testsupport/script_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_scene.h"

namespace fuzz {

using detail::Check;

namespace {

constexpr const char* kName = "script";

// Whether the pointer lies inside the table with a zero byte after it inside the table.
bool InsideTerminated(const std::vector<uint8_t>& table, const uint8_t* p) {
  if (p < table.data() || p >= table.data() + table.size()) return false;
  return std::memchr(p, 0, static_cast<size_t>(table.data() + table.size() - p)) != nullptr;
}

}  // namespace

std::vector<uint16_t> detail::CheckMessages(const CTamvikMacro& macro, const char* target) {
  const std::vector<uint8_t>& table = macro.table();
  std::vector<uint16_t> ids = {0, 1, 0xFFFF};
  for (size_t i = 4; i + 1 < table.size() && ids.size() < 64; i += 4) {
    ids.push_back(static_cast<uint16_t>(table[i] << 8 | table[i + 1]));
  }
  std::vector<uint16_t> found;
  for (uint16_t id : ids) {
    MessageData m;
    if (macro.FindMessageData(&m, id) == 0) continue;
    found.push_back(id);
    Check(InsideTerminated(table, m.text), target, "message text outside the table");
    if (m.voice == -1) {
      Check(m.lip == nullptr, target, "an empty entry has lip text");
    } else {
      Check(InsideTerminated(table, m.lip), target, "lip text outside the table");
    }
  }
  return found;
}

// Input: the script, then the message table. Rules: the scene loads exactly when the table's
// head holds together (a refused load says why); the read position never passes the script;
// the decode task ends a pass in bounded work (a runaway script yields); every message found
// has its text and lip text inside the table and terminated there; an empty entry has voice -1
// and no lip text.
void ScriptEntry(const uint8_t* data, size_t size) {
  const std::vector<Bytes> parts = SplitParts(data, size, 2);
  testsupport::GameTree& tree = detail::Tree();
  testsupport::TestScene scene;
  Ctx().file_io.SetInstallDir(tree.install().c_str());
  // Exact case: the shared tree may hold other folders of this name in another case.
  tree.Write("install/Macro/0305.bin", parts[0]);
  tree.Write("install/Macro/0305tbl.bin", parts[1]);
  GetAdvState()->setSceneCode(0x0305);
  CTamvikMacro& macro = scene.scene().macro;
  // A table loads when its head holds together: N (1 or more) with its 2N directory words and T
  // inside the table's whole words; the script and the table within their limits.
  const Bytes& t = parts[1];
  const size_t words = t.size() / 2;
  const size_t n = words >= 2 ? size_t{t[0]} << 8 | t[1] : 0;
  const size_t lips = words >= 2 ? size_t{t[2]} << 8 | t[3] : 0;
  const bool loads = parts[0].size() <= CTamvikMacro::kMaxScriptBytes + 1 &&
                     t.size() <= 4 * 65536 + 1 && words >= 2 && n >= 1 && 2 * n <= words &&
                     lips <= words;
  if (macro.MacroLoad(0x0305) != (loads ? 1 : 0)) {
    Check(false, kName, loads ? "a scene whose files hold together does not load"
                              : "a table whose head does not hold together loads");
    return;
  }
  if (!loads) {
    Check(!macro.load_failure().empty(), kName, "a refused load names no cause");
    return;
  }
  macro.StartDecoding();
  for (int frame = 0; frame < 3; ++frame) {
    Ctx().game_task.ExecTask();
    Check(macro.position() <= macro.script().size(), kName, "the read position passed the script");
  }
  detail::CheckMessages(macro, kName);
}

std::vector<Bytes> ScriptSeeds() {
  using namespace testsupport;
  ScriptWriter w;
  auto end = w.NewLabel();
  auto sub = w.NewLabel();
  w.Assign(VarA(1), VarA(2), {{'+', Num(3)}, {'*', Num(2)}});
  w.If(A(1), 8, Lit(10), end).Call(sub).Bind(end).EndIf();
  w.Switch(0x2C, A(1), {end, sub}).SetToy(Lit(1), sub, Lit(2)).Wait(Lit(0));
  w.Bind(sub).CopyA(Lit(1), Lit(300)).Return();
  const Bytes table = MessageTableWriter()
                          .Add({1, 5, "ka", "Text"})
                          .Add({2, 0xFFFF, "o", "Zero"})
                          .Add({3, 0, "", "Empty"})
                          .Bytes();
  ScriptWriter loop;
  auto self = loop.NewLabel();
  loop.Bind(self).Goto(self);
  return {JoinParts({w.Bytes(), table}), JoinParts({loop.Bytes(), table}),
          JoinParts({Bytes{0x30, 0x00}, Bytes{0x00}})};
}

}  // namespace fuzz
