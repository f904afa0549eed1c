#pragma once
// The script variables, saved with the game and read by every area: the interpreter's two call
// stacks with their depths, and the 356 16-bit variables A[0..255] and P[0..99] (one array; P[i]
// is word 256 + i). MacroVarBlock is their 8720-byte little-endian save image:
//
//   0     stack 1, 1000 u32        4000  depth of stack 1 (u32)
//   4004  stack 2, 1000 u32        8004  depth of stack 2 (u32)
//   8008  A[0..255], u16 each      8520  P[0..99], u16 each

#include <array>
#include <cstddef>
#include <cstdint>

constexpr size_t kMacroStackSize = 1000;
constexpr size_t kMacroACount = 256;
constexpr size_t kMacroPCount = 100;
constexpr size_t kMacroVarWords = kMacroACount + kMacroPCount;
// The whole variable space scripts can address: A[], P[] and the A backup. A P operand reaches
// word 256 + nn for nn up to 255, so P[100..255] lands in the backup (the fields lie in this
// order); the backup is not part of the save image.
constexpr size_t kMacroABackupCount = 256;
constexpr size_t kMacroVarSpace = kMacroVarWords + kMacroABackupCount;
constexpr size_t kMacroVarBlockSize = 8720;

using MacroVarBlock = std::array<uint8_t, kMacroVarBlockSize>;

struct MacroVars {
  // Offsets inside MacroVarBlock.
  static constexpr size_t kStack1At = 0;
  static constexpr size_t kDepth1At = 4000;
  static constexpr size_t kStack2At = 4004;
  static constexpr size_t kDepth2At = 8004;
  static constexpr size_t kVarsAt = 8008;
  static constexpr size_t kPAt = 8520;

  std::array<uint32_t, kMacroStackSize> stack1{};
  uint32_t depth1 = 0;
  std::array<uint32_t, kMacroStackSize> stack2{};
  uint32_t depth2 = 0;
  // A[0..255], P[0..99], then the A backup (kMacroVarSpace words).
  std::array<uint16_t, kMacroVarSpace> vars{};

  void Pack(MacroVarBlock& out) const;
  // Whether the block can be taken: both depths below the stack size (a larger depth would index
  // past a stack).
  static bool Usable(const MacroVarBlock& in);
  // Takes the block's stacks, depths and variables; false (nothing changed, with a trace) when
  // it is not usable.
  bool Unpack(const MacroVarBlock& in);
};

// The variables of the current game (Game()). An index out of range reads 0 and writes nothing,
// with a trace.
uint16_t GetMacroA(int index);
void SetMacroA(int index, uint16_t value);
uint16_t GetMacroP(int index);
void SetMacroP(int index, uint16_t value);
// A word of the whole variable space (A, P, A backup) by its index; an index past the space
// reads 0 and writes nothing, with a trace.
uint16_t GetMacroVar(int index);
void SetMacroVar(int index, uint16_t value);
