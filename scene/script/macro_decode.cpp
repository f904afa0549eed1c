// The decode task and the inline commands: expressions, IF chains, calls, computed jumps, scene
// changes, variable copies and the toy table. Commands that wait start command tasks
// (macro_tasks.cpp).

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/macro_tasks.h"
#include "scene/script/tamvik_macro.h"

namespace {

constexpr uint8_t kDecodeStep = 3;
constexpr uint16_t kEndWord = 0xFFFF;

bool Compare(uint16_t a, uint16_t comparator, uint16_t b) {
  switch (comparator) {
    case 0: return a == b;
    case 5: return a <= b;
    case 6: return a >= b;
    case 7: return a != b;
    case 8: return a < b;
    case 9: return a > b;
    default: return false;
  }
}

}  // namespace

void CTamvikMacro::DecodeMacro(GameTaskRec* task) {
  StepTask<TaskWork> step(Ctx().game_task, task);
  CTamvikMacro& macro = Scene().macro;
  if (step.step() < kDecodeStep) {
    macro.SceneStartStep(task);
    return;
  }
  if (step.step() != kDecodeStep) return;  // a scene that could not start
  macro.DecodePass(task);
}

GameTaskRec* CTamvikMacro::StartDecoding() {
  auto* work = TaskNewBlock<TaskWork>();
  work->bytes[1] = kDecodeStep;
  CGameTask& list = Ctx().game_task;
  if (list.SetTask(nullptr, &CTamvikMacro::DecodeMacro, kDecodeMacroName, work, nullptr) == 0) {
    return nullptr;
  }
  continue_flag = 1;
  GameTaskRec* found = nullptr;
  for (GameTaskRec* t = list.root(); t != nullptr; t = t->next) {
    if (t->work == work) found = t;
  }
  return found;
}

void CTamvikMacro::DecodePass(GameTaskRec* task) {
  if (step_mode_ != 0 && step_hold_ != 0) return;
  SceneSkipChecks();
  int decoded = 0;
  while (continue_flag == 1) {
    if (SceneSkipBeforeCommand(task)) return;
    if (decoded == kInlineLimit) {
      DebugPrint("DecodeMacro: %d commands in one frame at scene %.04x word %u; going on next "
                 "frame\n",
                 decoded, GetAdvState()->sceneCode(), position_);
      return;
    }
    ++decoded;
    if (trace_ != 0) DebugPrint("Decode Macro Address:%.08x\t", 2 * position_);
    DecodeOne(task);
    if (step_mode_ != 0) {
      step_hold_ = 1;
      return;
    }
    if (trace_ != 0) return;
  }
}

void CTamvikMacro::DecodeOne(GameTaskRec* task) {
  uint16_t word = 0;
  if (!Fetch(&word)) return;
  const uint8_t cls = static_cast<uint8_t>(word >> 8);
  const uint8_t opcode = static_cast<uint8_t>(word & 0xFF);
  if (trace_ != 0) DebugPrint("Decode Macro %.02x %.02x\n", cls, opcode);
  if (cls == 0x10 || cls == 0x20) {
    DecodeShiki(word);
    return;
  }
  if (cls != 0x00) {
    DebugPrint("Data1 Decode Error:%x\n", cls);
    DecodeError("unknown command class", cls);
    return;
  }
  if (opcode > 0x38) {
    DebugPrint("Data2 Decode Error:%x\n", opcode);
    DecodeError("unknown opcode", opcode);
    return;
  }
  DecodeCommand(task, opcode);
}

void CTamvikMacro::SkipOperands(int count) {
  uint16_t ignored = 0;
  for (int i = 0; i < count && GetOperand(&ignored); ++i) {
  }
}

void CTamvikMacro::DecodeCommand(GameTaskRec* task, uint8_t opcode) {
  auto log = [this](const char* mnemonic) {
    if (trace_ != 0) DebugPrint("%s\n", mnemonic);
  };
  // A command that waits: the decode loop stops until its task sets the continue flag again.
  auto start = [&](const char* mnemonic, const char* name) {
    if (mnemonic != nullptr) log(mnemonic);
    continue_flag = 0;
    StartCommandTask(task, name);
  };
  uint16_t a = 0;
  uint16_t b = 0;
  switch (opcode) {
    case 0x00: DecodeSwitch(); break;
    case 0x01: log("BEGINCDREAD"); break;
    case 0x02: log("ENDCDREAD"); break;
    case 0x03: start("CLICKWAIT", "CTamvikMacro::DecodeClickwaitToy"); break;
    case 0x04: log("ITEMUNSET"); SkipOperands(1); break;
    case 0x05: DecodeNextScene(); break;
    case 0x06: start("MACROEND", "CTamvikMacro::DecodeMacroend"); break;
    case 0x07:
      log("BGEFFECT Not Installed");
      // Its operands are unknown, so nothing after it can be read.
      DecodeError("BGEFFECT is not installed; decoding stops", opcode);
      break;
    case 0x08: ClearToy(); break;
    case 0x09: start("EYECATCH", "CTamvikMacro::DecodeEyecatch"); break;
    case 0x0A: case 0x0B: break;
    case 0x0C: start("MINIGAME", "CTamvikMacro::DecodeMinigame"); break;
    case 0x0D: log("TEFFECT"); DecodeTeffect(*this); break;
    case 0x0E: start("DISPMAP", "CTamvikMacro::DecodeDispmap"); break;
    case 0x0F: break;
    case 0x10: log("SPANIME"); SkipOperands(2); break;
    case 0x11:
      log("SPECIAL");
      DecodeSpecial(task);  // macro_sub_commands.cpp
      break;
    case 0x12: log("BGTRANS"); SkipOperands(2); break;
    case 0x13: log("CDREAD"); SkipOperands(2); break;
    case 0x14: break;
    case 0x15: Return(); break;
    case 0x16: start("SCROLL", "CTamvikMacro::DecodeScroll"); break;
    case 0x17: start("SELECT", "CTamvikMacro::DecodeSelect"); break;
    case 0x18: break;
    case 0x19: start("MOVIE", "CTamvikMacro::DecodeMovie"); break;
    case 0x1A: start("CHARA", "CTamvikMacro::DecodeChara"); break;
    case 0x1B: SetToy(); break;
    case 0x1C: case 0x1D: break;
    case 0x1E: if_flag = MPop(); break;
    case 0x1F: start("FIGHT", "CTamvikMacro::DecodeFight"); break;
    case 0x20: {
      uint16_t target = 0;
      if (Fetch(&target)) Call(target, position_);
      break;
    }
    case 0x21: start("MUSIC", "CTamvikMacro::DecodeMusic"); break;
    case 0x22: start("PRINT", "CTamvikMacro::DecodePrint"); break;
    case 0x23: start("TITLE", "CTamvikMacro::DecodeTitle"); break;
    case 0x24:
      // The town map's route query: the first node on the way from a to b.
      if (GetOperand(&a) && GetOperand(&b)) SetMacroA(0, CTamvikMap::NextHopTmap(a, b));
      break;
    case 0x25: start("BGPRI", "CTamvikMacro::DecodeBgpri"); break;
    case 0x26: start("BGOFF", "CTamvikMacro::DecodeBgoff"); break;
    case 0x27: DecodeCopyA(); break;
    case 0x28: start("BGON", "CTamvikMacro::DecodeBgon"); break;
    case 0x29: DecodeElseIf(); break;
    case 0x2A: start(nullptr, "CTamvikMacro::DecodeWall"); break;
    case 0x2B: start("FACE", "CTamvikMacro::DecodeFace"); break;
    case 0x2C: {
      uint16_t target = 0;
      if (Fetch(&target)) Jump(target);
      break;
    }
    case 0x2D: start("ITEM", "CTamvikMacro::DecodeItem"); break;
    case 0x2E: start("LIPS", "CTamvikMacro::DecodeLips"); break;
    case 0x2F: start("MOVE", "CTamvikMacro::DecodeMove"); break;
    case 0x30: break;
    case 0x31: start("WAIT", "CTamvikMacro::DecodeWait"); break;
    case 0x32: log("PCM"); PlayPcmFile(*this); break;
    case 0x33: start("BG", "CTamvikMacro::DecodeBg"); break;
    case 0x34:
      log("ED Not Installed");
      DecodeError("ED is not installed; decoding stops", opcode);
      break;
    case 0x35: start(nullptr, "CTamvikMacro::DecodeGo"); break;
    case 0x36: DecodeIf(); break;
    case 0x37: break;
    case 0x38: log("SE"); PlaySeFile(*this); break;
    default: break;
  }
}

void CTamvikMacro::DecodeShiki(uint16_t first) {
  int n = 0;
  int target = 0;
  uint16_t acc = 0;
  uint16_t rhs = 0;
  int op = 0;
  uint16_t word = first;
  while (word != kEndWord) {
    const uint16_t low = word & 0xFF;
    switch (word & 0xFF00) {
      case 0x1000:
      case 0x2000: {
        const int index = (word & 0xFF00) == 0x1000 ? low : static_cast<int>(kMacroACount) + low;
        if (n == 0) {
          target = index;
          n = 1;
        } else if (n == 1) {
          acc = GetMacroVar(index);
          n = 2;
        } else {
          rhs = GetMacroVar(index);
          n = 3;
        }
        break;
      }
      case 0x4000: op = low; break;
      case 0x8000:
        if (n == 1) {
          if (!Fetch(&acc)) return;
          n = 2;
        } else if (n == 2) {
          if (!Fetch(&rhs)) return;
          n = 3;
        }
        break;
      default: break;
    }
    if (n == 3) {
      switch (op) {
        case 1: acc = static_cast<uint16_t>(acc + rhs); break;
        case 2: acc = static_cast<uint16_t>(acc - rhs); break;
        case 3: if (rhs != 0) acc = static_cast<uint16_t>(acc / rhs); break;
        case 4: acc = static_cast<uint16_t>(acc * rhs); break;
        default: break;
      }
      n = 2;
    }
    if (!Fetch(&word)) return;
  }
  SetMacroVar(target, acc);
  if (trace_ != 0) {
    if (target < static_cast<int>(kMacroACount)) {
      DebugPrint("DecodeShiki A[%.03d] = %d\n", target, acc);
    } else {
      DebugPrint("DecodeShiki P[%.03d] = %d\n", target - static_cast<int>(kMacroACount), acc);
    }
  }
}

void CTamvikMacro::DecodeIf() {
  MPush(if_flag);
  uint16_t skip = 0;
  uint16_t a = 0;
  uint16_t comparator = 0;
  uint16_t b = 0;
  if (!Fetch(&skip) || !GetOperand(&a) || !Fetch(&comparator) || !GetOperand(&b)) return;
  Branch("DecodeIf", skip, a, comparator, b);
}

void CTamvikMacro::DecodeElseIf() {
  uint16_t skip = 0;
  if (!Fetch(&skip)) return;
  if (if_flag == 1) {
    if (trace_ != 0) DebugPrint("Skipped ELSE\n");
    Jump(skip);
    return;
  }
  uint16_t word = 0;
  if (!Fetch(&word)) return;
  if (word != 0x0036) return;  // a plain ELSE: that word was its opening word
  uint16_t a = 0;
  uint16_t comparator = 0;
  uint16_t b = 0;
  if (!GetOperand(&a) || !Fetch(&comparator) || !GetOperand(&b)) return;
  Branch("DecodeElseIf", skip, a, comparator, b);
}

void CTamvikMacro::Branch(const char* what, uint16_t skip, uint16_t a, uint16_t comparator,
                          uint16_t b) {
  comparator &= 0xFF;
  const bool yes = Compare(a, comparator, b);
  if (trace_ != 0) DebugPrint("%s %d %d %d = %s\n", what, a, b, comparator, yes ? "TRUE" : "FALSE");
  if (yes) {
    // The condition holds: the block's opening word is passed over and its commands run.
    if_flag = 1;
    uint16_t opening = 0;
    Fetch(&opening);
  } else {
    if_flag = 0;
    Jump(skip);
  }
}

void CTamvikMacro::DecodeSwitch() {
  uint16_t sub = 0;
  if (!Fetch(&sub)) return;
  if (sub != 0x2C && sub != 0x20) return;
  uint16_t k = 0;
  if (!GetOperand(&k)) return;
  // The whole list up to its end word, so that a list running off the script is an error.
  const uint32_t list_at = position_;
  uint16_t word = 0;
  do {
    if (!Fetch(&word)) return;
  } while (word != kEndWord);
  const uint32_t count = position_ - 1 - list_at;
  if (k >= count) {
    DebugPrint("DecodeSwitch: index %u past a list of %u at word %u; going on after it\n", k,
               count, list_at);
    return;
  }
  const uint16_t target = script_[list_at + k];
  if (sub == 0x2C) {
    Jump(target);
  } else {
    Call(target, position_);
  }
}

void CTamvikMacro::DecodeNextScene() {
  uint16_t v = 0;
  if (!GetOperand(&v)) return;
  const uint16_t scene = static_cast<uint16_t>((v / 100) << 8 | (v % 100));
  GetAdvState()->setSceneCode(scene);
  if (MacroLoad(scene) != 0) {
    // Decoding goes on at word 0 of the new script in this same pass.
    RestoreLayers();
  } else {
    LoadFailed("the scene change could not load its scene");
  }
}

void CTamvikMacro::DecodeCopyA() {
  uint16_t s = 0;
  uint16_t d = 0;
  if (!GetOperand(&s) || !GetOperand(&d)) return;
  if (s >= kMacroVarSpace || d >= kMacroVarSpace) {
    DebugPrint("DecodeCopyA: variable %u or %u past the %u variables; nothing copied\n", s, d,
               static_cast<unsigned>(kMacroVarSpace));
    return;
  }
  const uint16_t value = GetMacroVar(s);
  if (trace_ != 0) {
    DebugPrint("A[%.03d](%d) <- A[%.03d](%d)\n", d, GetMacroVar(d), s, value);
  }
  SetMacroVar(d, value);
}

void CTamvikMacro::SetToy() {
  uint16_t i = 0;
  uint16_t target = 0;
  uint16_t kind = 0;
  // All three words are read whatever i is, so the next command starts where it should.
  if (!GetOperand(&i) || !Fetch(&target) || !GetOperand(&kind)) return;
  if (i == 0) {
    toys.fill(MacroToy{});
    return;
  }
  if (i >= kToyCount) {
    DebugPrint("SetToy: toy %u past the %d toys; ignored\n", i, kToyCount);
    return;
  }
  static constexpr uint16_t kIcons[8] = {0, 3, 6, 9, 15, 21, 18, 12};
  // Any word is kept: CLICKWAIT checks the target when a click takes it.
  toys[i].target = target;
  if (kind < 8) toys[i].icon = kIcons[kind];
}

void CTamvikMacro::ClearToy() {
  uint16_t i = 0;
  if (!GetOperand(&i)) return;
  if (i == 0) {
    toys.fill(MacroToy{});
  } else if (i >= kToyCount) {
    DebugPrint("ClearToy: toy %u past the %d toys; ignored\n", i, kToyCount);
  } else {
    toys[i] = MacroToy{};
  }
}
