#include "testsupport/script_writer.h"

#include <cstdio>
#include <cstdlib>

#include "testsupport/temp_tree.h"

namespace testsupport {

ScriptOperand A(uint8_t n) { return {{static_cast<uint16_t>(0x1000 | n)}}; }
ScriptOperand P(uint8_t n) { return {{static_cast<uint16_t>(0x2000 | n)}}; }
ScriptOperand Lit(uint16_t value) {
  const uint16_t high = value & 0xFF00;
  if (high == 0x1000 || high == 0x2000 || high == 0x8000) return LongLit(value);
  return {{value}};
}
ScriptOperand LongLit(uint16_t value) { return {{0x8000, value}}; }

ExprTerm VarA(uint8_t n) { return {static_cast<uint16_t>(0x1000 | n), false}; }
ExprTerm VarP(uint8_t n) { return {static_cast<uint16_t>(0x2000 | n), false}; }
ExprTerm Num(uint16_t value) { return {value, true}; }

ScriptLabel ScriptWriter::NewLabel() {
  bound_.push_back(-1);
  return ScriptLabel{static_cast<int>(bound_.size()) - 1};
}

ScriptWriter& ScriptWriter::Bind(ScriptLabel label) {
  bound_.at(static_cast<size_t>(label.id)) = here();
  return *this;
}

ScriptWriter& ScriptWriter::Word(uint16_t word) {
  words_.push_back(word);
  return *this;
}

ScriptWriter& ScriptWriter::Words(const std::vector<uint16_t>& words) {
  words_.insert(words_.end(), words.begin(), words.end());
  return *this;
}

ScriptWriter& ScriptWriter::Operand(const ScriptOperand& operand) { return Words(operand.words); }

ScriptWriter& ScriptWriter::Target(ScriptTarget target) {
  if (target.label >= 0) fixups_.emplace_back(words_.size(), target.label);
  return Word(target.index);
}

ScriptWriter& ScriptWriter::Command(uint8_t opcode, const std::vector<ScriptOperand>& operands) {
  Word(opcode);
  for (const ScriptOperand& operand : operands) Operand(operand);
  return *this;
}

namespace {

void PutTerm(ScriptWriter& w, ExprTerm term) {
  if (term.literal) {
    w.Word(0x8000).Word(term.word);
  } else {
    w.Word(term.word);
  }
}

uint16_t OperatorWord(char op) {
  switch (op) {
    case '+': return 0x4001;
    case '-': return 0x4002;
    case '/': return 0x4003;
    case '*': return 0x4004;
    default: std::abort();
  }
}

}  // namespace

ScriptWriter& ScriptWriter::Assign(ExprTerm target, ExprTerm first,
                                   const std::vector<std::pair<char, ExprTerm>>& rest) {
  Word(target.word);
  PutTerm(*this, first);
  for (const auto& [op, term] : rest) {
    Word(OperatorWord(op));
    PutTerm(*this, term);
  }
  return Word(0xFFFF);
}

ScriptWriter& ScriptWriter::If(const ScriptOperand& a, uint16_t comparator, const ScriptOperand& b,
                               ScriptTarget skip) {
  Word(0x36).Target(skip).Operand(a).Word(comparator).Operand(b);
  return Word(kOpening);
}

ScriptWriter& ScriptWriter::ElseIf(const ScriptOperand& a, uint16_t comparator,
                                   const ScriptOperand& b, ScriptTarget skip) {
  Word(0x29).Target(skip).Word(0x36).Operand(a).Word(comparator).Operand(b);
  return Word(kOpening);
}

ScriptWriter& ScriptWriter::Else(ScriptTarget skip) {
  return Word(0x29).Target(skip).Word(kOpening);
}

ScriptWriter& ScriptWriter::Goto(ScriptTarget target) { return Word(0x2C).Target(target); }
ScriptWriter& ScriptWriter::Call(ScriptTarget target) { return Word(0x20).Target(target); }

ScriptWriter& ScriptWriter::Switch(uint16_t sub, const ScriptOperand& k,
                                   const std::vector<ScriptTarget>& list) {
  Word(0x00).Word(sub).Operand(k);
  for (const ScriptTarget& target : list) Target(target);
  return Word(0xFFFF);
}

ScriptWriter& ScriptWriter::NextScene(uint16_t chapter_scene_decimal) {
  return Command(0x05, {Lit(chapter_scene_decimal)});
}

ScriptWriter& ScriptWriter::CopyA(const ScriptOperand& s, const ScriptOperand& d) {
  return Command(0x27, {s, d});
}

ScriptWriter& ScriptWriter::SetToy(const ScriptOperand& i, ScriptTarget target,
                                   const ScriptOperand& kind) {
  return Word(0x1B).Operand(i).Target(target).Operand(kind);
}

std::vector<uint16_t> ScriptWriter::words() const {
  std::vector<uint16_t> out = words_;
  for (const auto& [at, label] : fixups_) {
    const int index = bound_.at(static_cast<size_t>(label));
    if (index < 0) {
      std::fprintf(stderr, "ScriptWriter: label %d used but never bound\n", label);
      std::abort();
    }
    out[at] = static_cast<uint16_t>(index);
  }
  return out;
}

std::vector<uint8_t> ScriptWriter::Bytes() const {
  std::vector<uint8_t> out;
  for (uint16_t w : words()) {
    out.push_back(static_cast<uint8_t>(w >> 8));
    out.push_back(static_cast<uint8_t>(w));
  }
  return out;
}

// ---- Message tables ----

MessageTableWriter& MessageTableWriter::Add(const MessageEntry& entry) {
  entries_.push_back(entry);
  return *this;
}

namespace {

// The string's bytes, a zero and padding to an even count, as words.
std::vector<uint16_t> StringWords(const std::string& s) {
  std::vector<uint8_t> bytes(s.begin(), s.end());
  bytes.push_back(0);
  if (bytes.size() % 2 != 0) bytes.push_back(0);
  std::vector<uint16_t> words;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    words.push_back(static_cast<uint16_t>(bytes[i] << 8 | bytes[i + 1]));
  }
  return words;
}

}  // namespace

std::vector<uint8_t> MessageTableWriter::Bytes() const {
  const size_t n_count = entries_.size() + 1;
  std::vector<uint16_t> words(2 * n_count, 0);
  std::vector<uint16_t> lips;
  for (size_t i = 0; i < entries_.size(); ++i) {
    const MessageEntry& e = entries_[i];
    words[2 * (i + 1)] = e.id;
    words[2 * (i + 1) + 1] = static_cast<uint16_t>(words.size() - n_count);
    uint16_t lip_offset = 0;
    if (e.voice_word != 0) {
      lip_offset = static_cast<uint16_t>(lips.size());
      const std::vector<uint16_t> lip = StringWords(e.lip);
      lips.insert(lips.end(), lip.begin(), lip.end());
    }
    words.push_back(e.voice_word);
    words.push_back(lip_offset);
    const std::vector<uint16_t> text = StringWords(e.text);
    words.insert(words.end(), text.begin(), text.end());
  }
  words[0] = n.value_or(static_cast<uint16_t>(n_count));
  words[1] = t.value_or(static_cast<uint16_t>(words.size()));
  words.insert(words.end(), lips.begin(), lips.end());
  std::vector<uint8_t> out;
  for (uint16_t w : words) {
    out.push_back(static_cast<uint8_t>(w >> 8));
    out.push_back(static_cast<uint8_t>(w));
  }
  return out;
}

// ---- Laying scenes ----

namespace {

std::string SceneDigits(uint16_t scene) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%.02d%.02d", scene >> 8, scene & 0xFF);
  return digits;
}

}  // namespace

std::string SceneScriptRel(uint16_t scene) { return "install/MaCrO/" + SceneDigits(scene) + ".bin"; }
std::string SceneTableRel(uint16_t scene) {
  return "install/MaCrO/" + SceneDigits(scene) + "TBL.bin";
}

void LayScene(GameTree& tree, uint16_t scene, const std::vector<uint8_t>& script,
              const std::vector<uint8_t>& table) {
  tree.Write(SceneScriptRel(scene), script);
  tree.Write(SceneTableRel(scene), table);
}

std::string SlgMessageRel(int map) {
  char name[32];
  std::snprintf(name, sizeof name, "m%02dmes.bin", map);
  return std::string("install/TaMvIk2/mAcRo/") + name;
}

}  // namespace testsupport
