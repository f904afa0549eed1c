#include "battle_events/core/cond_lexer.h"

#include "battle_events/core/cond_functions.h"

using namespace cond;

constexpr CondKeyword CondKeywordTable[kCondKeywordCount + 1] = {
    {"F", FUNC1, kCondF},     {"FAD", FUNC1, kCondFAD}, {"R", FUNC1, kCondR},
    {"M", FUNC1, kCondM},     {"T", FUNC0, kCondT},     {"NG", FUNC1, kCondNG},
    {"NP", FUNC1, kCondNP},   {"NU", FUNC1, kCondNU},   {"UAJ", FUNC4, kCondUAJ},
    {"PP", FUNC1, kCondPP},   {"PFP", FUNC1, kCondPFP}, {"PGU", FUNC2, kCondPGU},
    {"FGU", FUNC2, kCondFGU}, {"HP", FUNC2, kCondHP},   {"HGU", FUNC3, kCondHGU},
    {"IMR", FUNC0, kCondIMR}, {"RI", FUNC1, kCondRI},   {"KP", FUNC1, kCondKP},
    {"KGU", FUNC2, kCondKGU}, {"CP", FUNC1, kCondCP},   {"LP", FUNC4, kCondLP},
    {"XF", FUNC2, kCondXF},   {"YF", FUNC2, kCondYF},   {"XGU", FUNC2, kCondXGU},
    {"YGU", FUNC2, kCondYGU},
    // Sides (groups) as the unit record stores them.
    {"GPL", CONST, 0},  {"GBO", CONST, 2},  {"GZA", CONST, 1},  {"GTR", CONST, 4},
    // Character numbers: the hero and the six heroines.
    {"IKD", CONST, 0},  {"ITV", CONST, 1},  {"IDV", CONST, 2},  {"ILN", CONST, 3},
    {"IYS", CONST, 4},  {"ITZ", CONST, 5},  {"IBS", CONST, 6},
    // Unit kinds: the hero's and heroines', then enemies and bosses.
    {"UKD", CONST, 0},  {"UTV", CONST, 1},  {"UDV", CONST, 2},  {"ULN", CONST, 3},
    {"UYS", CONST, 4},  {"UTZ", CONST, 5},  {"UBS", CONST, 6},  {"UKM", CONST, 20},
    {"UKT", CONST, 32}, {"UZO", CONST, 21}, {"UHW", CONST, 22}, {"USK", CONST, 23},
    {"UBE", CONST, 34}, {"UAK", CONST, 31}, {"UST", CONST, 33}, {"UHF", CONST, 29},
    {"UKF", CONST, 28}, {"USF", CONST, 30}, {"UJD", CONST, 38}, {"UGK", CONST, 24},
    {"UAM", CONST, 26}, {"UAT", CONST, 27}, {"UKJ", CONST, 25},
    // The two player-phase command numbers that M tests.
    {"MA", CONST, 2},   {"MAD", CONST, 18},
    {nullptr, 0, 0},
};

namespace {

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }

// A word of up to three letters as one number, its first letter in the low byte.
constexpr uint32_t WordKey(const char* word) {
  uint32_t key = 0;
  for (int i = 0; i < 3 && word[i] != 0; ++i) {
    key |= static_cast<uint32_t>(static_cast<unsigned char>(word[i])) << (8 * i);
  }
  return key;
}

// The rows of CondKeywordTable by the keys of their names, in an open-addressed table filled in
// table order: a probe meets the rows of one key in table order, so the first found is the first
// row of that name.
constexpr int kKeySlots = 128;
constexpr int Slot(uint32_t key) { return static_cast<int>((key * 2654435761u) >> 25); }

struct KeywordSlots {
  uint32_t key[kKeySlots] = {};
  int8_t row[kKeySlots] = {};  // -1: empty
};
constexpr KeywordSlots MakeSlots() {
  KeywordSlots s;
  for (int8_t& r : s.row) r = -1;
  for (int i = 0; i < kCondKeywordCount; ++i) {
    const uint32_t key = WordKey(CondKeywordTable[i].name);
    int at = Slot(key);
    while (s.row[at] >= 0) at = (at + 1) % kKeySlots;
    s.key[at] = key;
    s.row[at] = static_cast<int8_t>(i);
  }
  return s;
}
constexpr KeywordSlots kSlots = MakeSlots();

// The first row whose name has that key, or null.
const CondKeyword* FindKeyword(uint32_t key) {
  for (int at = Slot(key); kSlots.row[at] >= 0; at = (at + 1) % kKeySlots) {
    if (kSlots.key[at] == key) return &CondKeywordTable[kSlots.row[at]];
  }
  return nullptr;
}

}  // namespace

int CondLexer::yylex() {
  unsigned char c = *at_;
  while (c == ' ' || c == '\t' || c == '\n') c = *++at_;
  if (c == 0) return 0;
  if (IsDigit(c)) {
    // Wraps modulo 2^32 on overflow; the bits are then read as a signed value.
    uint32_t n = 0;
    while (IsDigit(*at_)) n = n * 10u + static_cast<uint32_t>(*at_++ - '0');
    yylval = static_cast<int32_t>(n);
    return NUMBER;
  }
  ++at_;
  if (IsUpper(c)) {
    uint32_t key = c;
    for (int i = 1; i < 3 && IsUpper(*at_); ++i) key |= static_cast<uint32_t>(*at_++) << (8 * i);
    const CondKeyword* k = FindKeyword(key);
    if (k == nullptr) return BADTOKEN;
    yylval = k->value;
    return k->token;
  }
  if ((c == '!' || c == '<' || c == '>') && *at_ == '=') {
    ++at_;
    return c == '!' ? NE : c == '<' ? LE : GE;
  }
  return c < 0x80 ? c : BADTOKEN;
}
