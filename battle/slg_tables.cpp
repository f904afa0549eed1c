// The battle text tables: SE.TAB, VOICE.TAB, UnitAnm.TAB and EventAnm.TAB, their keyword tables
// and look-ups.

#include "battle/slg_tables.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>

#include "battle/battle_context.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/files/text_file.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/sound/dsound_func.h"
#include "platform/surface.h"
#include "game/system_data.h"
#include "scene/ui/tamvik_func.h"

const std::array<const char*, 2> kSlgLoadModeNames = {"STREAMING", "STATIC"};
const std::array<const char*, kSlgSituations> kSlgSituationNames = {
    "ATTACK", "DAMAGE", "CRITICAL", "KAIHI", "SPECIAL", "GATTAI"};
const std::array<const char*, kSlgAnmSlots> kSlgAnmSlotNames = {
    "BASE_BODY",         "BASE_BODY2",        "BASE_BODY3",       "BASE_BODY4",
    "BASE_EFFECT",       "ATTACK_BODY",       "ATTACK_EFFECT",    "SPECIAL_BODY",
    "SPECIAL_EFFECT",    "SPECIAL_EFFECT2",   "SPECIAL_BG",       "GATTAI_BODY",
    "GATTAI_EFFECT",     "GATTAI_EXTEFFECT",  "GATTAI_EXTEFFECT2", "GATTAI_EXTEFFECT3",
    "GATTAI_EXTEFFECT4", "GATTAI_BG",         "TELEPORT_BODY",    "TELEPORT_EFFECT",
    "ZOOM_BODY",         "DEAD_EFFECT",       "ABILITY_EFFECT"};
const std::array<const char*, kSlgUnitKinds> kSlgUnitIdNames = {
    "KADRUN",      "TAMVIK",         "DAVONE",    "LUNET",        "YSOL",
    "TEZAV",       "BRISE",          "GKADRUN",   "GTAMVIK",      "GDAVONE",
    "GLUNET",      "GYSOL",          "GTEZAV",    "GBRISE",       "ASHIGARU",
    "HINAWA",      "OOZUTU",         "KAGIZUME",  "EKISYA",       "SANDAN",
    "KAMUI",       "KAGE",           "SAMURAI",   "SOUKAKU",      "GINKAKU",
    "KUJYAKU",     "AMATERAS",       "AMATERAS2", "VEVAZ",        "DODODI",
    "SHIDEN",      "KAMUI_A",        "KAMUI2",    "SATAN",        "BENIBACHI",
    "KONOE",       "BOMB_KOUMA",     "N_KOUMA",   "JOKIDAMA",     "DRUMCAN",
    "BOX",         "JOKI_3RIN",      "FAKE_WAKIJI", "WAKIJI_FACTORY", "KOUMA_GEN",
    "DENGEKI_BAKO", "CAR2",          "ROCK",      "SEIMAJO_KAGIZUME", "SEIMAJO_EKISYA",
    "SEIMAJO_SANDAN", "JOKI_STAND"};
const std::array<const char*, 35> kSlgVoiceCharaNames = {
    "KADRUN", "TAMVIK", "DAVONE", "LUNET",  "YSOL",    "TEZAV", "BRISE",   "TENKAI", "MIROKU",
    "SETSUNA", "RASETSU", "SATAN", "WAKIJI", "WAKIJI", "WAKIJI", "SATANBG", "SATSUJO", "INO",
    "SHIKA",  "CHO",    "",       "",       "",       "ZOMBI", "HONTAIW", "",       "",
    "KOUMA",  "KOUMA",  "KOUMA",  "",       "",       "",       "",       ""};

int SlgKeyword(const char* const* table, int count, const char* token) {
  if (token == nullptr) return -1;
  for (int i = 0; i < count; ++i) {
    if (std::strcmp(table[i], token) == 0) return i;
  }
  return -1;
}

int SlgLoadModeKeyword(const char* token) {
  if (token != nullptr && token[0] == '\0') return kSlgSeStreaming;
  return SlgKeyword(kSlgLoadModeNames, token);
}

int SlgShadeKeyword(const char* token) {
  return token != nullptr && std::strcmp(token, "Night") == 0 ? 0 : -1;
}

// ---- The tables ----

SlgTextTables::SlgTextTables() = default;

SlgTextTables::~SlgTextTables() {
  DropEventAnm();
  DropUnitAnm();
}

namespace {

void DropCell(AnmFileRec*& cell) {
  AnmFileRec* rec = cell;
  cell = nullptr;
  if (rec == nullptr) return;
  if (rec->count > 0) --rec->count;
  if (rec->count == 0) delete rec;
}

}  // namespace

void SlgTextTables::DropEventAnm() {
  for (AnmFileRec*& cell : event_anm) DropCell(cell);
}

void SlgTextTables::DropUnitAnm() {
  for (AnmFileRec*& cell : unit_anm) DropCell(cell);
}

void SlgTextTables::ClearVoices() {
  voice_files.clear();
  voice_files.shrink_to_fit();
  for (auto& kind : unit_voices) {
    for (auto& list : kind) std::vector<uint16_t>().swap(list);
  }
}

void SlgTextTables::ClearSe() {
  for (SlgSeEntry& e : se) e = SlgSeEntry{};
  se_static.clear();
}

namespace {

constexpr int kLineMax = 256;
constexpr const char* kTableDir = "tamvik2\\";

// A sscanf-like reader over one line: whitespace skipped before each field, tokens of at most
// kLineMax - 1 characters, integers saturated to the int range (so that no conversion
// overflows).
class LineScan {
 public:
  explicit LineScan(const char* line) : p_(line) {}

  void SkipSpace() {
    while (*p_ != '\0' && std::isspace(static_cast<unsigned char>(*p_))) ++p_;
  }
  bool AtEnd() {
    SkipSpace();
    return *p_ == '\0';
  }
  // %d: optional sign and decimal digits; false (nothing consumed) when no digit follows.
  bool Int(int* out) {
    SkipSpace();
    const char* q = p_;
    bool negative = false;
    if (*q == '+' || *q == '-') negative = *q++ == '-';
    if (!std::isdigit(static_cast<unsigned char>(*q))) return false;
    long long v = 0;
    while (std::isdigit(static_cast<unsigned char>(*q))) {
      if (v < 1LL << 40) v = v * 10 + (*q - '0');
      ++q;
    }
    if (negative) v = -v;
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    *out = static_cast<int>(v);
    p_ = q;
    return true;
  }
  // %s: the next run of non-space characters; false (empty) at the end.
  bool Token(std::string* out) {
    SkipSpace();
    out->clear();
    while (*p_ != '\0' && !std::isspace(static_cast<unsigned char>(*p_))) out->push_back(*p_++);
    return !out->empty();
  }
  // A literal word (after whitespace); false when it does not follow.
  bool Literal(const char* word) {
    SkipSpace();
    const size_t n = std::strlen(word);
    if (std::strncmp(p_, word, n) != 0) return false;
    p_ += n;
    return true;
  }
  // %[^\n]: the rest of the line after whitespace; false when empty.
  bool Rest(std::string* out) {
    SkipSpace();
    out->assign(p_);
    while (!out->empty() && (out->back() == '\n')) out->pop_back();
    return !out->empty();
  }

 private:
  const char* p_;
};

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Whether the token is a whole decimal number (optional sign), and its value (saturated).
bool DecimalToken(const std::string& token, int* out) {
  LineScan scan(token.c_str());
  return scan.Int(out) && scan.AtEnd();
}

// Reads a table file line by line: `line_fn(text, line number)` returns false to stop. False when
// the file did not open (the reader has shown its box).
template <class Fn>
bool ReadTable(const char* file, Fn line_fn) {
  const std::string path = std::string(kTableDir) + file;
  CTextFile reader(Ctx().file_io);
  if (reader.Open(path.c_str()) == 0) {
    DebugPrint("%s: not read, its table stays empty\n", path.c_str());
    return false;
  }
  char line[kLineMax];
  int number = 0;
  while (reader.IsEnd() == 0) {
    reader.GetLine(line, kLineMax);
    if (reader.IsEnd() != 0 && line[0] == '\0') break;
    ++number;
    if (!line_fn(line, number)) break;
  }
  return true;
}

// ---- SE.TAB ----

void ReadSeTable(SlgTextTables& t) {
  ReadTable("SE.TAB", [&t](const char* line, int number) {
    LineScan scan(line);
    int n = 0;
    std::string file, mode_token;
    if (!scan.Int(&n) || !scan.Token(&file)) return true;  // fewer than two fields
    scan.Token(&mode_token);
    if (n >= kSlgSeCount) {
      DebugPrint("SeTable: Se No(%d >= %d) is to large!\n", n, kSlgSeCount);
      return true;
    }
    if (n < 0) {
      DebugPrint("SeTable: Se No(%d < 0) is refused!\n", n);
      return true;
    }
    const std::string path = Upper(std::string("tamvik2\\SE\\") + file);
    const int mode = SlgLoadModeKeyword(mode_token.c_str());
    if (mode < 0) {
      DebugPrint("%s:%d: Error: No match LOADMODE '%s'.\n", "SE.TAB", number, mode_token.c_str());
      return false;
    }
    SlgSeEntry& e = t.se[n];
    e.path = path;
    e.mode = mode;
    e.static_index = -1;
    if (mode == kSlgSeStatic) {
      int index = -1;
      for (size_t i = 0; i < t.se_static.size(); ++i) {
        if (t.se_static[i] == path) {
          index = static_cast<int>(i);
          break;
        }
      }
      if (index < 0) {
        index = static_cast<int>(t.se_static.size());
        t.se_static.push_back(path);
      }
      e.static_index = index;
    }
    return true;
  });
}

void LoadStaticBank(const SlgTextTables& t) {
  const int count = static_cast<int>(t.se_static.size());
  DebugPrint("Slg::Now Loading Slg Static SE Data (Num:%d)...\n", count);
  std::vector<const char*> names;
  names.reserve(t.se_static.size());
  for (const std::string& s : t.se_static) names.push_back(s.c_str());
  Ctx().dsound.SELoadStatic(names.data(), count);
}

// ---- VOICE.TAB ----

bool SkippedLine(const std::string& first) { return first.empty() || first[0] == '#'; }

void ReadVoiceTable(SlgTextTables& t) {
  t.voice_files.assign(kSlgVoiceCount, std::string());
  ReadTable("VOICE.TAB", [&t](const char* line, int number) {
    LineScan scan(line);
    std::string first, second, rest;
    scan.Token(&first);
    if (SkippedLine(first)) return true;
    scan.Token(&second);
    scan.Rest(&rest);
    const int kind = SlgKeyword(kSlgUnitIdNames, first.c_str());
    if (kind >= 0) {
      const int situation = SlgKeyword(kSlgSituationNames, second.c_str());
      if (situation < 0) {
        DebugPrint("%s%d : Error: No match Command '%s'.\n", "VOICE.TAB", number, second.c_str());
        return false;
      }
      std::vector<uint16_t> list;
      LineScan numbers(rest.c_str());
      int v = 0;
      while (numbers.Int(&v)) list.push_back(static_cast<uint16_t>(v));
      t.unit_voices[kind][situation] = std::move(list);
      return true;
    }
    int n = 0;
    if (!DecimalToken(first, &n)) {
      DebugPrint("%s:%d: Error: No match UnitID '%s'.\n", "VOICE.TAB", number, first.c_str());
      return false;
    }
    if (n < 0 || n >= kSlgVoiceCount) {
      DebugPrint("%s:%d: Error: VoiceNo %d is Illegal.\n", "VOICE.TAB", number, n);
      return false;
    }
    if (second.empty()) {
      DebugPrint("%s:%d: VoiceNo %d names no file: skipped\n", "VOICE.TAB", number, n);
      return true;
    }
    t.voice_files[n] = second;  // a number named again keeps the later name
    return true;
  });
}

// ---- UnitAnm.TAB and EventAnm.TAB ----

// The cell takes the record of an equal name among `cells`, one more count; else a new record.
template <size_t N>
void FillCell(std::array<AnmFileRec*, N>& cells, size_t at, const std::string& name, int shade) {
  for (AnmFileRec* rec : cells) {
    if (rec != nullptr && rec->name == name) {
      ++rec->count;
      cells[at] = rec;
      return;
    }
  }
  cells[at] = new AnmFileRec{name, 1, shade, std::string(kTableDir) + name};
}

void ReadUnitAnmTable(SlgTextTables& t) {
  ReadTable("UnitAnm.TAB", [&t](const char* line, int number) {
    LineScan scan(line);
    std::string id, slot_token, file, shade;
    scan.Token(&id);
    if (SkippedLine(id)) return true;
    scan.Token(&slot_token);
    scan.Token(&file);
    if (scan.Literal("SHADE:")) scan.Token(&shade);
    const int kind = SlgKeyword(kSlgUnitIdNames, id.c_str());
    if (kind < 0) {
      DebugPrint("%s:%d: Error: No match ID '%s'.\n", "UnitAnm.TAB", number, id.c_str());
      return false;
    }
    const int slot = SlgKeyword(kSlgAnmSlotNames, slot_token.c_str());
    if (slot < 0) {
      DebugPrint("%s:%d: Error: No match Command '%s'.\n", "UnitAnm.TAB", number,
                 slot_token.c_str());
      return false;
    }
    const size_t at = static_cast<size_t>(kind) * kSlgAnmSlots + static_cast<size_t>(slot);
    if (t.unit_anm[at] != nullptr) {
      DebugPrint("%s:%d: Error: %s %s is defined multiplily.\n", "UnitAnm.TAB", number,
                 id.c_str(), slot_token.c_str());
      return false;
    }
    if (file.empty()) {
      DebugPrint("%s:%d: %s %s names no file: skipped\n", "UnitAnm.TAB", number, id.c_str(),
                 slot_token.c_str());
      return true;
    }
    FillCell(t.unit_anm, at, Upper(file), SlgShadeKeyword(shade.c_str()));
    return true;
  });
}

void ReadEventAnmTable(SlgTextTables& t) {
  const int map = static_cast<int>(GetSystemData()->battleMap());
  ReadTable("EventAnm.TAB", [&t, map](const char* line, int number) {
    LineScan scan(line);
    int line_map = 0, npc = 0;
    std::string file, shade;
    if (!scan.Literal("MAP:") || !scan.Int(&line_map) || !scan.Literal("NPCID:") ||
        !scan.Int(&npc) || !scan.Token(&file)) {
      return true;  // fewer than three fields
    }
    if (scan.Literal("SHADE:")) scan.Token(&shade);
    if (line_map != map) return true;
    if (npc < 0 || npc >= kSlgEventAnmCount) {
      DebugPrint("%s:%d: Error: Illegal NPCID %d.\n", "EventAnm.TAB", number, npc);
      return false;
    }
    if (t.event_anm[static_cast<size_t>(npc)] != nullptr) {
      DebugPrint("%s:%d: Error: NPCID %d is defined multiplily.\n", "EventAnm.TAB", number, npc);
      return false;
    }
    FillCell(t.event_anm, static_cast<size_t>(npc), Upper(file), SlgShadeKeyword(shade.c_str()));
    return true;
  });
}

// The record's file at the battle's brightness.
SprAnm* LoadRecord(const AnmFileRec& rec) {
  const int level = Battle().night_mode != 0 && rec.shade == 0 ? 204 : 256;
  return TamvikFunc::LoadAnmFile(rec.path.c_str(), 0, level);
}

const AnmFileRec* UnitCell(int kind, int slot) {
  if (kind < 0 || kind >= kSlgUnitKinds || slot < 0 || slot >= kSlgAnmSlots) return nullptr;
  return Battle().tables.unit_anm[static_cast<size_t>(kind) * kSlgAnmSlots +
                                  static_cast<size_t>(slot)];
}

void TraceNotDescribed(int kind, int slot) {
  const char* name = slot >= 0 && slot < kSlgAnmSlots ? kSlgAnmSlotNames[slot] : "(no slot)";
  DebugPrint("UID:%d %s is not described in UnitAnm Table!\n", kind, name);
}

}  // namespace

void LoadSlgTables() {
  SlgTextTables& t = Battle().tables;
  if (t.loaded != 0) return;
  ReadSeTable(t);
  if (Battle().running == 0) LoadStaticBank(t);
  ReadVoiceTable(t);
  ReadUnitAnmTable(t);
  ReadEventAnmTable(t);
  t.loaded = 1;
}

void FreeSlgTables() {
  SlgTextTables& t = Battle().tables;
  if (t.loaded == 0) return;
  t.DropEventAnm();
  t.DropUnitAnm();
  t.ClearVoices();
  if (Battle().running == 0) {
    DebugPrint("Slg::Free Slg Static SE Data (Num:%d)...\n", static_cast<int>(t.se_static.size()));
    Ctx().dsound.SERemoveStatic();
  }
  t.ClearSe();
  t.loaded = 0;
}

SprAnm* GetUnitAnm(int kind, int slot) {
  const AnmFileRec* rec = UnitCell(kind, slot);
  if (rec == nullptr) {
    TraceNotDescribed(kind, slot);
    return nullptr;
  }
  return LoadRecord(*rec);
}

void ReleaseUnitAnm(SprAnm** record) {
  if (record != nullptr) TamvikFunc::ReleaseAnmFile(*record);
}

int LoadUnitAnmToSurface(int kind, int slot, int picture, SurfaceId surface, int color_key) {
  const AnmFileRec* rec = UnitCell(kind, slot);
  if (rec == nullptr) {
    TraceNotDescribed(kind, slot);
    return 0;
  }
  const std::string path = std::string(kTableDir) + rec->name;
  return TamvikFunc::LoadSprToSurface(path.c_str(), picture, 0, 0, surface, color_key) == 1 ? 1
                                                                                              : 0;
}

int LoadAttackBg(const SlgUnit& unit, int picture, SurfaceId surface, Rect* rect) {
  int slot = -1;
  if (unit.stats.attack_type == 1) slot = kAnmSpecialBg;
  if (unit.stats.attack_type == 5) slot = kAnmGattaiBg;
  if (slot < 0) return 0;
  if (LoadUnitAnmToSurface(unit.kind, slot, picture, surface, 0) == 0) return 0;
  if (rect != nullptr) TamvikFunc::GetPictureRect(rect);
  return 1;
}

int LoadAttackBgSimple(const SlgUnit& unit, int picture, SurfaceId surface) {
  return LoadAttackBg(unit, picture, surface, nullptr);
}

int LoadAttackBgTiled(const SlgUnit& unit, int picture, SurfaceId surface, int w, int h, int cols,
                      int rows) {
  // The tiled size must be a surface's: no product overflows and no side passes the limit.
  const int64_t width = int64_t{w} * cols;
  const int64_t height = int64_t{h} * rows;
  if (w <= 0 || h <= 0 || cols <= 0 || rows <= 0 || width > platform::Surface::kMaxSide ||
      height > platform::Surface::kMaxSide) {
    DebugPrint("LoadAttackBgTiled: %d x %d tiles of %dx%d refused\n", cols, rows, w, h);
    return 0;
  }
  // The surface takes the tiled size before the picture comes, so that a tile wider or taller
  // than the screen is cut from the whole picture (a screen-sized surface would crop it). What
  // fails after the resize gives the surface back at the screen's size, cleared.
  CDdrawFunc& ddraw = Ctx().ddraw;
  if (ddraw.ResizeSurface(surface, 0, static_cast<int>(width), static_cast<int>(height)) == 0) {
    return 0;
  }
  CDdrawSpr& spr = Ctx().ddraw_spr;
  SprRec* tile = nullptr;
  if (LoadAttackBg(unit, picture, surface, nullptr) != 0) {
    tile = spr.CreateSprite(0, 0, surface, 0, 0, w, h);
    if (tile == nullptr) DebugPrint("LoadAttackBgTiled: no tile of %dx%d\n", w, h);
  }
  if (tile == nullptr) {
    ddraw.GiveBackLayerSurface(surface, 0);
    return 0;
  }
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) spr.PutSprite(tile, c * w, r * h, surface, 0);
  }
  spr.DeleteSprite(&tile);
  return 1;
}

int GetAtkBodyUnitAnmfromAtkType(int type) {
  switch (type) {
    case 0:
    case 2:
      return kAnmAttackBody;
    case 1:
      return kAnmSpecialBody;
    case 5:
      return kAnmGattaiBody;
    default:
      DebugPrint("GetAtkBodyUnitAnmfromAtkType: ATK TYPE %d is not installed!\n", type);
      return 0;
  }
}

int GetAtkEffectUnitAnmfromAtkType(int type) {
  switch (type) {
    case 0:
    case 2:
      return kAnmAttackEffect;
    case 1:
      return kAnmSpecialEffect;
    case 5:
      return kAnmGattaiEffect;
    default:
      DebugPrint("GetAtkEffectUnitAnmfromAtkType: ATK TYPE %d is not installed!\n", type);
      return 0;
  }
}

SprAnm* GetEventAnm(int npc) {
  if (npc < kSlgEventNpcBase || npc >= kSlgEventNpcBase + kSlgEventAnmCount) {
    DebugPrint("GetEventAnm: NPC %d is not an event character (80-143)\n", npc);
    return nullptr;
  }
  const AnmFileRec* rec = Battle().tables.event_anm[static_cast<size_t>(npc - kSlgEventNpcBase)];
  return rec != nullptr ? LoadRecord(*rec) : nullptr;
}

void ReleaseEventAnm(SprAnm** record) {
  if (record != nullptr) TamvikFunc::ReleaseAnmFile(*record);
}

int GetKindVoiceChara(int kind) {
  // (kind, voice character) searched from the start; kinds not listed have none.
  static constexpr int kPairs[][2] = {
      {0, 0},   {1, 1},   {2, 2},   {3, 3},   {4, 4},   {5, 5},   {6, 6},   {7, 0},
      {8, 1},   {9, 2},   {10, 3},  {11, 4},  {12, 5},  {13, 6},  {14, 12}, {15, 13},
      {16, 14}, {17, 28}, {18, 29}, {19, 30}, {20, 11}, {21, 24}, {22, 25}, {23, 9},
      {24, 10}, {25, 8},  {26, 7},  {27, 7},  {28, 17}, {29, 18}, {30, 19}, {31, 16},
      {32, 11}, {33, 15}, {34, 22}, {35, 23}, {36, 31}, {37, 28}, {38, -1}, {39, -1},
      {40, -1}, {41, -1}, {42, -1}, {43, -1}, {44, 32}, {45, -1}, {46, -1}, {47, -1},
      {48, 28}, {50, 29}, {51, -1}};
  for (const auto& pair : kPairs) {
    if (pair[0] == kind) return pair[1];
  }
  return -1;
}
