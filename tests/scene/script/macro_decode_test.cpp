// The decode loop and the inline commands, run frame by frame on the program driver.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/anime/anime.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "script_rig.h"

namespace scripttest {
namespace {

TEST(Expressions, EvaluateLeftToRightWithWrapAndSafeDivision) {
  struct Case {
    const char* name;
    std::function<void(ScriptWriter&)> write;
    int variable;  // index in the variable space
    uint16_t expected;
  } cases[] = {
      {"A[5] = 7", [](ScriptWriter& w) { w.Assign(VarA(5), Num(7)); }, 5, 7},
      {"A[3] = A[1] + 2 * A[2] is (A[1] + 2) x A[2]",
       [](ScriptWriter& w) { w.Assign(VarA(3), VarA(1), {{'+', Num(2)}, {'*', VarA(2)}}); }, 3,
       (3 + 2) * 4},
      {"65535 + 2 wraps", [](ScriptWriter& w) { w.Assign(VarA(6), Num(65535), {{'+', Num(2)}}); },
       6, 1},
      {"0 - 1 wraps", [](ScriptWriter& w) { w.Assign(VarA(6), Num(0), {{'-', Num(1)}}); }, 6,
       65535},
      {"a P target; division by 0 keeps A[1]",
       [](ScriptWriter& w) { w.Assign(VarP(3), VarA(1), {{'/', VarA(9)}}); }, 256 + 3, 3},
      {"unsigned division", [](ScriptWriter& w) { w.Assign(VarA(7), Num(65535), {{'/', Num(2)}}); },
       7, 32767},
      {"P[150] lands in the A backup",
       [](ScriptWriter& w) { w.Assign(VarP(150), Num(9)); }, 256 + 150, 9},
      {"a plain word and an unknown operator are ignored",
       [](ScriptWriter& w) { w.Word(0x1008).Word(0x0005).Word(0x8000).Word(4).Word(0x4009)
                                 .Word(0x8000).Word(3).Word(0xFFFF); },
       8, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptRig rig;
    SetMacroA(1, 3);
    SetMacroA(2, 4);
    ScriptWriter w;
    c.write(w);
    Stop(w);
    rig.Run(w);
    rig.d.Step();  // the stop (a WAIT) reads its operand when its task first runs
    EXPECT_EQ(GetMacroVar(c.variable), c.expected);
    EXPECT_FALSE(rig.macro().HasDecodeError());
    EXPECT_EQ(rig.macro().position(), w.here());  // stopped just after the stop command
  }
}

// IF a cmp b -> A[10] = 1, ELSE -> A[10] = 2, END IF; A[11] = 1 after it.
ScriptWriter IfElse(uint16_t comparator, uint16_t a, uint16_t b) {
  ScriptWriter w;
  auto else_label = w.NewLabel();
  auto end = w.NewLabel();
  w.If(Lit(a), comparator, Lit(b), else_label).Assign(VarA(10), Num(1));
  w.Bind(else_label).Else(end).Assign(VarA(10), Num(2));
  w.Bind(end).EndIf().Assign(VarA(11), Num(1));
  Stop(w);
  return w;
}

TEST(ControlFlow, IfComparesUnsignedAndElseRunsOtherwise) {
  struct Case {
    uint16_t comparator, a, b;
    bool taken;
  } cases[] = {
      {0, 4, 4, true},  {0, 4, 5, false},      {5, 4, 4, true},  {5, 5, 4, false},
      {6, 4, 4, true},  {6, 4, 5, false},      {7, 4, 5, true},  {7, 4, 4, false},
      {8, 4, 5, true},  {8, 0xFFFF, 1, false}, {9, 0xFFFF, 1, true}, {9, 4, 4, false},
      {3, 4, 4, false}, {0x0100, 4, 4, true},  // only the low byte is the comparator
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a << " cmp " << c.comparator << " " << c.b);
    ScriptRig rig;
    rig.Run(IfElse(c.comparator, c.a, c.b));
    EXPECT_EQ(GetMacroA(10), c.taken ? 1 : 2);
    EXPECT_EQ(GetMacroA(11), 1);
    EXPECT_EQ(Game().macro.depth1, 0u);
    EXPECT_FALSE(rig.macro().HasDecodeError());
  }
}

TEST(ControlFlow, ElseIfChainTakesTheFirstTrueBranchOnly) {
  for (uint16_t value : {1, 2, 3}) {
    SCOPED_TRACE(value);
    ScriptRig rig;
    SetMacroA(1, value);
    ScriptWriter w;
    auto second = w.NewLabel();
    auto third = w.NewLabel();
    auto end = w.NewLabel();
    w.If(A(1), 0, Lit(1), second).Assign(VarA(10), VarA(10), {{'+', Num(1)}});
    w.Bind(second).ElseIf(A(1), 0, Lit(2), third).Assign(VarA(10), VarA(10), {{'+', Num(2)}});
    w.Bind(third).Else(end).Assign(VarA(10), VarA(10), {{'+', Num(3)}});
    w.Bind(end).EndIf();
    Stop(w);
    rig.Run(w);
    EXPECT_EQ(GetMacroA(10), value);
    EXPECT_EQ(rig.macro().if_flag, 0u);
  }
}

TEST(ControlFlow, CallReturnsWithTheCallersIfStateThoughAnIfWasLeftOpen) {
  ScriptRig rig;
  ScriptWriter w;
  auto sub = w.NewLabel();
  auto end = w.NewLabel();
  w.If(Lit(1), 0, Lit(1), end).Call(sub).Assign(VarA(20), Num(1)).Bind(end).EndIf();
  Stop(w);
  auto r1 = w.NewLabel();
  auto r2 = w.NewLabel();
  w.Bind(sub).If(Lit(1), 0, Lit(1), r1).Bind(r1).If(Lit(1), 0, Lit(2), r2).Bind(r2).Return();
  rig.Run(w);
  EXPECT_EQ(GetMacroA(20), 1);
  EXPECT_EQ(Game().macro.depth1, 0u);
  EXPECT_EQ(Game().macro.depth2, 0u);
  EXPECT_FALSE(rig.macro().HasDecodeError());
}

TEST(ControlFlow, ComputedGotoAndGosub) {
  struct Case {
    uint16_t sub, k;
    uint16_t a30;  // which entry ran (0: none; the script went on after the list)
    uint16_t a31;  // the word after the list ran
  } cases[] = {
      {0x2C, 0, 1, 0}, {0x2C, 2, 3, 0}, {0x2C, 3, 0, 1}, {0x2C, 200, 0, 1},
      {0x20, 1, 2, 1}, {0x20, 3, 0, 1}, {0x13, 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.sub << " k " << std::dec << c.k);
    ScriptRig rig;
    SetMacroA(2, c.k);
    ScriptWriter w;
    auto e0 = w.NewLabel();
    auto e1 = w.NewLabel();
    auto e2 = w.NewLabel();
    if (c.sub == 0x13) {
      w.Word(0x0000).Word(0x0013);  // no more words are read; the next command follows
    } else {
      w.Switch(c.sub, A(2), {e0, e1, e2});
    }
    w.Assign(VarA(31), Num(1));
    Stop(w);
    w.Bind(e0).Assign(VarA(30), Num(1));
    Stop(w);
    w.Bind(e1).Assign(VarA(30), Num(2)).Return();
    w.Bind(e2).Assign(VarA(30), Num(3));
    Stop(w);
    rig.Run(w);
    EXPECT_EQ(GetMacroA(30), c.a30);
    EXPECT_EQ(GetMacroA(31), c.a31);
    EXPECT_FALSE(rig.macro().HasDecodeError());
  }
}

TEST(ControlFlow, NextSceneGoesOnInTheNewScriptInTheSameFrame) {
  {
  ScriptRig rig;
  ScriptWriter first;
  first.NextScene(1001);
  ScriptWriter second;
  second.Assign(VarA(7), Num(9));
  Stop(second);
  rig.Lay(0x0A01, second);
  rig.macro().backgrounds_shown = 1;
  rig.macro().chara_shown = 0;
  rig.Run(first);
  EXPECT_EQ(GetAdvState()->sceneCode(), 0x0A01);
  EXPECT_EQ(GetMacroA(7), 9);
  EXPECT_TRUE(Ctx().ddraw.IsVisible(SURFACE_BG));
  EXPECT_TRUE(Ctx().ddraw.IsVisible(SURFACE_FG));
  EXPECT_FALSE(Ctx().ddraw.IsVisible(SURFACE_FC));
  }

  // A scene whose files are missing stops decoding.
  ScriptRig missing;
  ScriptWriter w;
  w.NextScene(902).Assign(VarA(7), Num(1));
  missing.Run(w);
  EXPECT_EQ(GetAdvState()->sceneCode(), 0x0902);
  EXPECT_EQ(missing.macro().continue_flag, 0u);
  EXPECT_EQ(GetMacroA(7), 0);
}

TEST(InlineCommands, CopyToysNoOpsAndLaterCommandsReadExactlyTheirOperands) {
  ScriptRig rig;
  SetMacroA(1, 0x1234);
  ScriptWriter w;
  auto handler = w.NewLabel();
  w.CopyA(Lit(1), Lit(511));  // into word 511 of the variable space (P[255])
  w.CopyA(Lit(1), Lit(700));         // past the space: refused
  w.SetToy(Lit(3), handler, Lit(4)).SetToy(Lit(5), handler, LongLit(0x8001));
  w.SetToy(Lit(0), handler, LongLit(0x8000)).SetToy(Lit(7), handler, Lit(2));
  w.SetToy(Lit(150), handler, Lit(1)).ClearToy(Lit(200));
  w.Command(0x01).Command(0x02).Command(0x04, {Lit(1)}).Command(0x0A).Command(0x0B);
  w.Command(0x0F).Command(0x10, {Lit(1), A(2)}).Command(0x12, {Lit(1), Lit(2)});
  w.Command(0x13, {Lit(1), Lit(2)}).Command(0x14).Command(0x18).Command(0x1C).Command(0x1D);
  w.Command(0x30).Command(0x37).Se(3).Pcm(4).Teffect(0, 1).Special(Lit(99));
  w.MapQuery(Lit(3), Lit(16));
  w.Assign(VarA(9), Num(1));
  Stop(w);
  const uint16_t handler_at = w.here();
  w.Bind(handler);
  Stop(w);
  rig.Run(w);
  EXPECT_FALSE(rig.macro().HasDecodeError());
  EXPECT_EQ(GetMacroA(9), 1);
  EXPECT_EQ(GetMacroVar(511), 0x1234);
  EXPECT_EQ(GetMacroA(0), 15);  // the map query: theatre node 3 toward 16 goes by 15
  EXPECT_EQ(rig.macro().toys[3].icon, 0);  // cleared by SetToy 0
  EXPECT_EQ(rig.macro().toys[7].icon, 6);
  EXPECT_EQ(rig.macro().toys[7].target, handler_at);
  EXPECT_TRUE(rig.d.trace().Contains("SetToy: toy 150"));
  EXPECT_TRUE(rig.d.trace().Contains("DecodeCopyA: variable 1 or 700"));
}

TEST(DecodeLoop, WaitResumesAfterMoreThanNFrames) {
  for (uint16_t n : {0, 3}) {
    SCOPED_TRACE(n);
    ScriptRig rig;
    ScriptWriter w;
    w.Assign(VarA(1), Num(1)).Wait(Lit(n)).Assign(VarA(2), Num(1));
    Stop(w);
    GameTaskRec* decode = nullptr;
    rig.Lay(0x0305, w);
    decode = rig.Start(0x0305);
    rig.d.Step();
    EXPECT_EQ(GetMacroA(1), 1);
    EXPECT_EQ(GetMacroA(2), 0);
    GameTaskRec* wait = Ctx().game_task.FindTask("CTamvikMacro::DecodeWait");
    ASSERT_NE(wait, nullptr);
    EXPECT_EQ(wait->owner, decode);
    for (int i = 0; i < n; ++i) {
      rig.d.Step();
      EXPECT_EQ(GetMacroA(2), 0) << "frame " << i;
    }
    int frames = 0;
    while (GetMacroA(2) == 0 && frames < 20) {
      rig.d.Step();
      ++frames;
    }
    EXPECT_EQ(GetMacroA(2), 1);
    EXPECT_LE(frames, 4);
    // The WAIT that ran is gone; the one waiting now is the script's end (the rig's Stop, a
    // WAIT too), which read its operand and started its own timer.
    int waits = 0;
    for (GameTaskRec* t = Ctx().game_task.root(); t != nullptr; t = t->next) {
      waits += t->function != nullptr && !t->deleted && t->name == "CTamvikMacro::DecodeWait";
    }
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(rig.macro().position(), w.here());
    ASSERT_NE(rig.macro().wait_timer, nullptr);
    EXPECT_LE(Ctx().anime.GetTimer(rig.macro().wait_timer, 0, 0), 1);
  }
}

TEST(DecodeLoop, WaitEndsWithoutTheFlagWhenTheInterpreterIsGone) {
  ScriptRig rig;
  ScriptWriter w;
  w.Wait(Lit(2)).Assign(VarA(2), Num(1));
  rig.Lay(0x0305, w);
  GameTaskRec* decode = rig.Start(0x0305);
  rig.d.Step();
  ASSERT_NE(Ctx().game_task.FindTask("CTamvikMacro::DecodeWait"), nullptr);
  Ctx().game_task.DelTask(decode);
  for (int i = 0; i < 10; ++i) rig.d.Step();
  EXPECT_EQ(Ctx().game_task.FindTask("CTamvikMacro::DecodeWait"), nullptr);
  EXPECT_EQ(rig.macro().continue_flag, 0u);
  EXPECT_EQ(rig.macro().wait_timer, nullptr);
  EXPECT_EQ(GetMacroA(2), 0);
}

TEST(DecodeLoop, TraceAndStepFlagsDecodeOneCommandPerFrame) {
  ScriptRig rig;
  ScriptWriter w;
  w.Assign(VarA(1), Num(1)).Assign(VarA(2), Num(1)).Assign(VarA(3), Num(1));
  Stop(w);
  rig.macro().SetDebugTrace(1);
  rig.Run(w);
  EXPECT_EQ(GetMacroA(1), 1);
  EXPECT_EQ(GetMacroA(2), 0);
  EXPECT_TRUE(rig.d.trace().Contains("DecodeShiki A[001] = 1"));
  rig.d.Step();
  EXPECT_EQ(GetMacroA(2), 1);
  EXPECT_EQ(GetMacroA(3), 0);

  rig.macro().SetDebugTrace(0);
  rig.macro().SetStepMode(1);
  rig.d.Step();
  EXPECT_EQ(GetMacroA(3), 1);
  EXPECT_EQ(rig.macro().step_hold(), 1u);
  const uint32_t at = rig.macro().position();
  rig.d.Step();
  EXPECT_EQ(rig.macro().position(), at);  // held
  rig.macro().SetDebugKeyWait(0);
  rig.d.Step();
  EXPECT_GT(rig.macro().position(), at);
}

TEST(DecodeLoop, AGotoToItselfYieldsEveryFrame) {
  ScriptRig rig;
  ScriptWriter w;
  auto loop = w.NewLabel();
  w.Bind(loop).Goto(loop);
  rig.Run(w);
  rig.d.Step();
  EXPECT_TRUE(rig.d.trace().Contains("commands in one frame"));
  EXPECT_EQ(rig.macro().continue_flag, 1u);
  EXPECT_FALSE(rig.macro().HasDecodeError());
}

TEST(CorruptScripts, FailWithAnErrorStateAndATrace) {
  struct Case {
    const char* name;
    std::vector<uint16_t> words;
  } cases[] = {
      {"class 0x30", {0x3000}},
      {"opcode 0x39", {0x0039}},
      {"0x8000 last", {0x0004, 0x8000}},
      {"operand missing", {0x0027, 0x0001}},
      {"expression without 0xFFFF", {0x1005, 0x8000, 0x0007}},
      {"expression literal missing", {0x1005, 0x8000}},
      {"jump past the end", {0x002C, 0x0100}},
      {"call past the end", {0x0020, 0x0100}},
      {"IF skip past the end", {0x0036, 0x0100, 0x0001, 0x0000, 0x0002, 0x000A}},
      {"IF cut short", {0x0036, 0x0100, 0x0001}},
      {"switch list without 0xFFFF", {0x0000, 0x002C, 0x0000, 0x0000}},
      {"toy with kind missing", {0x001B, 0x0000, 0x0000, 0x8000}},
      {"return to an empty stack", {0x0015}},
      {"opcode 07", {0x0007, 0x1234}},
      {"opcode 34", {0x0034}},
      {"runs off the end", {0x0001}},
      {"empty script", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptRig rig;
    Game().macro.stack2.fill(0xFFFFFFF0u);  // what an empty stack returns points past the end
    ScriptWriter w;
    w.Words(c.words);
    rig.Run(w);
    rig.d.Step();
    EXPECT_TRUE(rig.macro().HasDecodeError());
    EXPECT_EQ(rig.macro().continue_flag, 0u);
    EXPECT_TRUE(rig.d.trace().Contains("Decode Error: scene 0305 word"));
  }
}

TEST(SavedVars, CallFramesReturnInAFreshInterpreterAfterAReload) {
  ScriptWriter w;
  auto sub = w.NewLabel();
  w.Call(sub).Assign(VarA(40), Num(1));
  Stop(w);
  w.Bind(sub).Wait(Lit(100));
  const uint16_t resume = w.here();
  w.Return();
  MacroVarBlock block{};
  {
    ScriptRig first;
    first.Run(w);
    ASSERT_NE(Ctx().game_task.FindTask("CTamvikMacro::DecodeWait"), nullptr);
    CTamvikMacro::SaveVars(block);
  }
  ScriptRig second;
  second.Lay(0x0305, w);
  ASSERT_EQ(CTamvikMacro::LoadVars(block), 1);
  second.Start(0x0305);
  ASSERT_EQ(second.macro().Jump(resume), 1);
  second.d.Step();
  EXPECT_EQ(GetMacroA(40), 1);
  EXPECT_FALSE(second.macro().HasDecodeError());
  EXPECT_EQ(Game().macro.depth2, 0u);
}

}  // namespace
}  // namespace scripttest
