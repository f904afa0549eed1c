#pragma once
// A running program (the program driver) with scenes laid into its install tree and the
// interpreter started on them.

#include <gtest/gtest.h>

#include <vector>

#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/program_driver.h"
#include "testsupport/script_writer.h"

namespace scripttest {

using testsupport::A;
using testsupport::Lit;
using testsupport::LongLit;
using testsupport::Num;
using testsupport::P;
using testsupport::ScriptWriter;
using testsupport::VarA;
using testsupport::VarP;

// The explicit end of a test script: a WAIT that outlasts every test, so decoding stops there
// (no error) with the read position just after it. Every waiting command is built, so none is
// left to stop at.
inline ScriptWriter& Stop(ScriptWriter& w) { return w.Wait(Lit(0xFFFF)); }

// A table with one message, for scenes whose messages do not matter.
inline std::vector<uint8_t> SmallTable() {
  return testsupport::MessageTableWriter().Add({1, 5, "a", "b"}).Bytes();
}

class ScriptRig {
 public:
  // The program without the game's own boot (whose mode manager would reach a scene of its own
  // and start the interpreter over the test's script): the system sounds only.
  ScriptRig() : d(Options()) { started_ = d.Start(); }
  // The same on a display of that pixel layout.
  explicit ScriptRig(platform::PixelLayout layout) : d(Options()) {
    if (layout == platform::PixelLayout::kRgb555) d.host().config.Set("Pixel Format", "555");
    started_ = d.Start();
  }

  // The same with the driver's options (from Options()) changed by the test.
  explicit ScriptRig(const testsupport::ProgramDriver::Options& options) : d(options) {
    started_ = d.Start();
  }

  static testsupport::ProgramDriver::Options Options() {
    testsupport::ProgramDriver::Options options;
    options.boot = [] { TamvikFunc::LoadSystemSe(); };
    return options;
  }

  CTamvikMacro& macro() { return d.scene.macro; }

  void Lay(uint16_t scene, const ScriptWriter& w,
           const std::vector<uint8_t>& table = SmallTable()) {
    testsupport::LayScene(d.tree, scene, w.Bytes(), table);
  }
  void LayBytes(uint16_t scene, const std::vector<uint8_t>& script) {
    testsupport::LayScene(d.tree, scene, script, SmallTable());
  }

  // Loads the scene and starts the decode task; the first pass runs with the next Step.
  GameTaskRec* Start(uint16_t scene) {
    EXPECT_TRUE(started_);
    GetAdvState()->setSceneCode(scene);
    EXPECT_EQ(macro().MacroLoad(scene), 1);
    decode_ = macro().StartDecoding();
    EXPECT_NE(decode_, nullptr);
    return decode_;
  }
  // Lays and starts, then runs one frame.
  void Run(const ScriptWriter& w, uint16_t scene = 0x0305) {
    Lay(scene, w);
    Start(scene);
    d.Step();
  }

  GameTaskRec* decode_task() const { return decode_; }

  testsupport::ProgramDriver d;

 private:
  bool started_ = false;
  GameTaskRec* decode_ = nullptr;
};

}  // namespace scripttest
