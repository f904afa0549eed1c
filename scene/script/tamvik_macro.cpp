#include "scene/script/tamvik_macro.h"

#include <cstdio>
#include <string>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "platform/little_endian.h"

CTamvikMacro::CTamvikMacro() = default;

// ---- Variables ----

void CTamvikMacro::SaveVars(MacroVarBlock& block) { Game().macro.Pack(block); }

int CTamvikMacro::LoadVars(const MacroVarBlock& block) {
  // A depth of 1000 or more would index past its stack: reduce it into range.
  MacroVarBlock copy = block;
  for (size_t at : {MacroVars::kDepth1At, MacroVars::kDepth2At}) {
    const uint32_t depth = platform::GetLe32(copy.data() + at);
    if (depth >= kMacroStackSize) {
      DebugPrint("LoadVars: stack depth %u reduced to %u\n", depth,
                 static_cast<uint32_t>(depth % kMacroStackSize));
      platform::SetLe32(copy.data() + at, static_cast<uint32_t>(depth % kMacroStackSize));
    }
  }
  return Game().macro.Unpack(copy) ? 1 : 0;
}

namespace {

void PushOn(std::array<uint32_t, kMacroStackSize>& stack, uint32_t& depth, uint32_t value) {
  depth %= kMacroStackSize;
  stack[depth] = value;
  depth = (depth + 1) % kMacroStackSize;
}

uint32_t PopOff(std::array<uint32_t, kMacroStackSize>& stack, uint32_t& depth) {
  depth %= kMacroStackSize;
  depth = depth == 0 ? kMacroStackSize - 1 : depth - 1;
  return stack[depth];
}

}  // namespace

void CTamvikMacro::MPush(uint32_t value) {
  MacroVars& v = Game().macro;
  if (trace_ != 0) DebugPrint("MPush (0x%.08x) <- 0x%.08x\n", v.depth1, value);
  PushOn(v.stack1, v.depth1, value);
}

uint32_t CTamvikMacro::MPop() {
  MacroVars& v = Game().macro;
  const uint32_t value = PopOff(v.stack1, v.depth1);
  if (trace_ != 0) DebugPrint("MPop (0x%.08x) -> 0x%.08x\n", v.depth1, value);
  return value;
}

void CTamvikMacro::Push2(uint32_t value) {
  MacroVars& v = Game().macro;
  PushOn(v.stack2, v.depth2, value);
}

uint32_t CTamvikMacro::Pop2() {
  MacroVars& v = Game().macro;
  return PopOff(v.stack2, v.depth2);
}

// ---- Items ----

int CTamvikMacro::GetItemNum() {
  int n = 0;
  while (n < 10 && GetMacroP(n) != 0) ++n;
  return n;
}

uint16_t CTamvikMacro::GetItem(int n) {
  // P[10] and on are not item slots (P[10] is a trust rank).
  if (n < 0 || n >= 10) return 0;
  return GetMacroP(n);
}

// ---- Read position ----

void CTamvikMacro::DecodeError(const char* what, uint32_t value) {
  DebugPrint("Decode Error: scene %.04x word %u: %s (%u)\n", GetAdvState()->sceneCode(), position_,
             what, value);
  char text[160];
  std::snprintf(text, sizeof text, "%s word %u: %s (%u)",
                has_script_ ? script_name_.c_str() : "no script", position_, what, value);
  failure_ = text;
  continue_flag = 0;
  decode_error_ = true;
}

void CTamvikMacro::LoadFailed(const char* during) {
  failure_ = std::string(during) + ": " + load_failure_;
  DebugPrint("Decode Error: scene %.04x: %s\n", GetAdvState()->sceneCode(), failure_.c_str());
  continue_flag = 0;
  decode_error_ = true;
}

bool CTamvikMacro::Fetch(uint16_t* word) {
  if (!has_script_ || position_ >= script_.size()) {
    *word = 0;
    if (!decode_error_) DecodeError("read past the end of the script", script_.size());
    return false;
  }
  *word = script_[position_++];
  return true;
}

bool CTamvikMacro::GetOperand(uint16_t* value) {
  uint16_t word = 0;
  if (!Fetch(&word)) {
    *value = 0;
    return false;
  }
  switch (word & 0xFF00) {
    case 0x1000: *value = GetMacroVar(word & 0xFF); return true;
    case 0x2000: *value = GetMacroVar(static_cast<int>(kMacroACount) + (word & 0xFF)); return true;
    case 0x8000: return Fetch(value);
    default: *value = word; return true;
  }
}

int CTamvikMacro::Jump(uint32_t index) {
  if (!has_script_ || index >= script_.size()) {
    DecodeError("jump target past the end", index);
    return 0;
  }
  position_ = index;
  if (trace_ != 0) DebugPrint("Jump Address to 0x%.08x\n", 2 * index);
  return 1;
}

void CTamvikMacro::Call(uint32_t target, uint32_t return_to) {
  MPush(if_flag);
  Push2(return_to);
  Push2(Game().macro.depth1);
  Jump(target);
}

int CTamvikMacro::Return() {
  uint32_t depth = Pop2();
  const uint32_t back = Pop2();
  if (depth >= kMacroStackSize) {
    DebugPrint("Return: stack depth %u reduced to %u\n", depth,
               static_cast<uint32_t>(depth % kMacroStackSize));
    depth %= kMacroStackSize;
  }
  Game().macro.depth1 = depth;
  if_flag = MPop();
  if (!has_script_ || back >= script_.size()) {
    DecodeError("return position past the end", back);
    return 0;
  }
  position_ = back;
  if (trace_ != 0) DebugPrint("Return to 0x%.08x\n", 2 * back);
  return 1;
}

void CTamvikMacro::RestoreLayers() {
  CDdrawFunc& ddraw = Ctx().ddraw;
  ddraw.SetVisible(SURFACE_BG, backgrounds_shown != 0);
  ddraw.SetVisible(SURFACE_FG, backgrounds_shown != 0);
  ddraw.SetVisible(SURFACE_FC, chara_shown != 0);
  continue_flag = 1;
}
