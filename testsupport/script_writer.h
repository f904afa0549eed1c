#pragma once
// Scene scripts and message tables for tests, written the way the interpreter reads them.
//
// ScriptWriter: big-endian 16-bit words; jump targets are word indexes, given as labels (bound
// where the writer stands) or plain indexes. Operands: A(n) is 0x10nn, P(n) 0x20nn, Lit(v) the
// plain word unless its high byte is 0x10, 0x20 or 0x80, which would read as a variable or a
// literal marker: those are written 0x8000, v. Every literal in an expression is 0x8000, v. IF,
// ELSEIF and ELSE carry the neutral opening word 0x000A.
//
// MessageTableWriter: N (entries + 1), T and every offset computed; the stored N and T can be
// overridden and the bytes damaged afterwards for corrupt tables.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class GameTree;

// ---- Scripts ----

// An operand: the words it is written as.
struct ScriptOperand {
  std::vector<uint16_t> words;
};
ScriptOperand A(uint8_t n);
ScriptOperand P(uint8_t n);
ScriptOperand Lit(uint16_t value);
// A literal always written 0x8000, v.
ScriptOperand LongLit(uint16_t value);

// An element of an expression: a variable or a number.
struct ExprTerm {
  uint16_t word;
  bool literal;
};
ExprTerm VarA(uint8_t n);
ExprTerm VarP(uint8_t n);
ExprTerm Num(uint16_t value);

// A jump target: a label of the writer or a plain word index.
struct ScriptLabel {
  int id = -1;
};
struct ScriptTarget {
  ScriptTarget(ScriptLabel label) : label(label.id) {}  // NOLINT: a label stands for its target
  ScriptTarget(uint16_t word_index) : index(word_index) {}  // NOLINT
  ScriptTarget(int word_index) : index(static_cast<uint16_t>(word_index)) {}  // NOLINT
  int label = -1;
  uint16_t index = 0;
};

class ScriptWriter {
 public:
  static constexpr uint16_t kOpening = 0x000A;

  // The word index the next word gets.
  uint16_t here() const { return static_cast<uint16_t>(words_.size()); }
  ScriptLabel NewLabel();
  // Binds the label to here().
  ScriptWriter& Bind(ScriptLabel label);

  ScriptWriter& Word(uint16_t word);
  ScriptWriter& Words(const std::vector<uint16_t>& words);
  ScriptWriter& Operand(const ScriptOperand& operand);
  ScriptWriter& Target(ScriptTarget target);
  // A command word with `operands` after it.
  ScriptWriter& Command(uint8_t opcode, const std::vector<ScriptOperand>& operands = {});

  // target = first op term op term ... ('+', '-', '/', '*'), left to right.
  ScriptWriter& Assign(ExprTerm target, ExprTerm first,
                       const std::vector<std::pair<char, ExprTerm>>& rest = {});
  ScriptWriter& If(const ScriptOperand& a, uint16_t comparator, const ScriptOperand& b,
                   ScriptTarget skip);
  ScriptWriter& ElseIf(const ScriptOperand& a, uint16_t comparator, const ScriptOperand& b,
                       ScriptTarget skip);
  ScriptWriter& Else(ScriptTarget skip);
  ScriptWriter& EndIf() { return Command(0x1E); }
  ScriptWriter& Goto(ScriptTarget target);
  ScriptWriter& Call(ScriptTarget target);
  ScriptWriter& Return() { return Command(0x15); }
  // Computed jump: sub-word 0x2C (GOTO) or 0x20 (GOSUB), index operand, targets, 0xFFFF.
  ScriptWriter& Switch(uint16_t sub, const ScriptOperand& k, const std::vector<ScriptTarget>& list);
  ScriptWriter& NextScene(uint16_t chapter_scene_decimal);
  ScriptWriter& CopyA(const ScriptOperand& s, const ScriptOperand& d);
  ScriptWriter& SetToy(const ScriptOperand& i, ScriptTarget target, const ScriptOperand& kind);
  ScriptWriter& ClearToy(const ScriptOperand& i) { return Command(0x08, {i}); }
  ScriptWriter& Wait(const ScriptOperand& frames) { return Command(0x31, {frames}); }
  ScriptWriter& Special(const ScriptOperand& word) { return Command(0x11, {word}); }
  ScriptWriter& Se(uint16_t n) { return Command(0x38, {Lit(n), Lit(0), Lit(0)}); }
  ScriptWriter& Pcm(uint16_t n) { return Command(0x32, {Lit(n), Lit(0)}); }
  ScriptWriter& Teffect(uint16_t a, uint16_t b) { return Command(0x0D, {Lit(a), Lit(b)}); }
  ScriptWriter& MapQuery(const ScriptOperand& a, const ScriptOperand& b) {
    return Command(0x24, {a, b});
  }

  // The words with every label patched (an unbound label aborts the test program).
  std::vector<uint16_t> words() const;
  std::vector<uint8_t> Bytes() const;

 private:
  std::vector<uint16_t> words_;
  std::vector<int> bound_;                      // label id -> word index, -1 unbound
  std::vector<std::pair<size_t, int>> fixups_;  // word index -> label id
};

// ---- Message tables ----

struct MessageEntry {
  uint16_t id = 0;
  uint16_t voice_word = 0;  // 0 empty, 0xFFFF voice 0
  std::string lip;          // stored for a non-empty entry
  std::string text;         // bytes of the displayed text, terminated by the writer
};

class MessageTableWriter {
 public:
  MessageTableWriter& Add(const MessageEntry& entry);
  // Stored values in place of the computed ones.
  std::optional<uint16_t> n;
  std::optional<uint16_t> t;
  std::vector<uint8_t> Bytes() const;

 private:
  std::vector<MessageEntry> entries_;
};

// ---- Laying scenes into a game tree ----

// "install/MaCrO/CCSS.bin" and "install/MaCrO/CCSStbl.bin" (mixed case, as the file layer must
// find "Macro\CCSS.bin" whatever the case on disc); the install directory of the tree.
std::string SceneScriptRel(uint16_t scene);
std::string SceneTableRel(uint16_t scene);
void LayScene(GameTree& tree, uint16_t scene, const std::vector<uint8_t>& script,
              const std::vector<uint8_t>& table);
// "install/TaMvIk2/mAcRo/M<nn>MES.BIN".
std::string SlgMessageRel(int map);

}  // namespace testsupport
