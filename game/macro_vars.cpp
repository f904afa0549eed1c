#include "game/macro_vars.h"

#include "engine/core/debug_trace.h"
#include "game/game_context.h"
#include "platform/little_endian.h"

static_assert(MacroVars::kPAt + 2 * kMacroPCount == kMacroVarBlockSize);
static_assert(MacroVars::kVarsAt + 2 * kMacroACount == MacroVars::kPAt);

void MacroVars::Pack(MacroVarBlock& out) const {
  uint8_t* b = out.data();
  for (size_t i = 0; i < kMacroStackSize; ++i) {
    platform::SetLe32(b + kStack1At + 4 * i, stack1[i]);
    platform::SetLe32(b + kStack2At + 4 * i, stack2[i]);
  }
  platform::SetLe32(b + kDepth1At, depth1);
  platform::SetLe32(b + kDepth2At, depth2);
  for (size_t i = 0; i < kMacroVarWords; ++i) platform::SetLe16(b + kVarsAt + 2 * i, vars[i]);
}

bool MacroVars::Usable(const MacroVarBlock& in) {
  return platform::GetLe32(in.data() + kDepth1At) < kMacroStackSize &&
         platform::GetLe32(in.data() + kDepth2At) < kMacroStackSize;
}

bool MacroVars::Unpack(const MacroVarBlock& in) {
  if (!Usable(in)) {
    DebugPrint("MacroVars: stack depths %u and %u out of range; variables not loaded\n",
               platform::GetLe32(in.data() + kDepth1At), platform::GetLe32(in.data() + kDepth2At));
    return false;
  }
  const uint8_t* b = in.data();
  for (size_t i = 0; i < kMacroStackSize; ++i) {
    stack1[i] = platform::GetLe32(b + kStack1At + 4 * i);
    stack2[i] = platform::GetLe32(b + kStack2At + 4 * i);
  }
  depth1 = platform::GetLe32(b + kDepth1At);
  depth2 = platform::GetLe32(b + kDepth2At);
  for (size_t i = 0; i < kMacroVarWords; ++i) vars[i] = platform::GetLe16(b + kVarsAt + 2 * i);
  return true;
}

namespace {

uint16_t* VarAt(const char* name, int index, int count, int base) {
  if (index < 0 || index >= count) {
    DebugPrint("%s: index %d out of range 0-%d\n", name, index, count - 1);
    return nullptr;
  }
  return &Game().macro.vars[static_cast<size_t>(base + index)];
}

}  // namespace

uint16_t GetMacroA(int index) {
  const uint16_t* v = VarAt("GetMacroA", index, kMacroACount, 0);
  return v != nullptr ? *v : 0;
}

void SetMacroA(int index, uint16_t value) {
  if (uint16_t* v = VarAt("SetMacroA", index, kMacroACount, 0)) *v = value;
}

uint16_t GetMacroP(int index) {
  const uint16_t* v = VarAt("GetMacroP", index, kMacroPCount, kMacroACount);
  return v != nullptr ? *v : 0;
}

void SetMacroP(int index, uint16_t value) {
  if (uint16_t* v = VarAt("SetMacroP", index, kMacroPCount, kMacroACount)) *v = value;
}

uint16_t GetMacroVar(int index) {
  const uint16_t* v = VarAt("GetMacroVar", index, kMacroVarSpace, 0);
  return v != nullptr ? *v : 0;
}

void SetMacroVar(int index, uint16_t value) {
  if (uint16_t* v = VarAt("SetMacroVar", index, kMacroVarSpace, 0)) *v = value;
}
