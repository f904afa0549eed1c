#pragma once
// The battle's text tables in "tamvik2\": SE.TAB (effect numbers to wave files), VOICE.TAB (voice
// numbers to wave files, and per unit kind and situation the voices that may be played),
// UnitAnm.TAB (per unit kind and animation slot a sprite file) and EventAnm.TAB (per battle map
// and event character a sprite file). LoadSlgTables reads all four once per battle,
// FreeSlgTables frees them; the look-ups below load the sprite files they name.
//
// Every file is read line by line (at most 255 characters a line). A bad line stops the reading
// of that file (with its message) and keeps what was read before it; a number outside a table is
// refused with a trace, when read and when looked up.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "battle/slg_stage_table.h"
#include "engine/gfx/gfx_types.h"

struct SprAnm;
struct SlgUnit;

constexpr int kSlgAnmSlots = 23;
constexpr int kSlgSituations = 6;
constexpr int kSlgSeCount = 512;
constexpr int kSlgVoiceCount = 5000;
// Event character numbers 80-143 (the event-object kinds) are event entries 0-63.
constexpr int kSlgEventAnmCount = kSlgEventObjKinds;
constexpr int kSlgEventNpcBase = kSlgEventObjKindFirst;

// Load modes of SE.TAB.
enum SlgSeMode : int32_t { kSlgSeStreaming = 0, kSlgSeStatic = 1 };
// Situations of VOICE.TAB.
enum SlgSituation : int32_t {
  kSlgVoiceAttack = 0,
  kSlgVoiceDamage,
  kSlgVoiceCritical,
  kSlgVoiceKaihi,
  kSlgVoiceSpecial,
  kSlgVoiceGattai
};
// Animation slots of UnitAnm.TAB (kSlgAnmSlotNames in this order).
enum SlgAnmSlot : int32_t {
  kAnmBaseBody = 0,
  kAnmBaseBody2,
  kAnmBaseBody3,
  kAnmBaseBody4,
  kAnmBaseEffect,
  kAnmAttackBody,
  kAnmAttackEffect,
  kAnmSpecialBody,
  kAnmSpecialEffect,
  kAnmSpecialEffect2,
  kAnmSpecialBg,
  kAnmGattaiBody,
  kAnmGattaiEffect,
  kAnmGattaiExtEffect,
  kAnmGattaiExtEffect2,
  kAnmGattaiExtEffect3,
  kAnmGattaiExtEffect4,
  kAnmGattaiBg,
  kAnmTeleportBody,
  kAnmTeleportEffect,
  kAnmZoomBody,
  kAnmDeadEffect,
  kAnmAbilityEffect
};

// The keyword tables.
extern const std::array<const char*, 2> kSlgLoadModeNames;
extern const std::array<const char*, kSlgSituations> kSlgSituationNames;
extern const std::array<const char*, kSlgAnmSlots> kSlgAnmSlotNames;
extern const std::array<const char*, kSlgUnitKinds> kSlgUnitIdNames;
// Voice character names 0-34 (empty where none).
extern const std::array<const char*, 35> kSlgVoiceCharaNames;

// The keyword's number: whole token, case-sensitive; -1 when none matches.
int SlgKeyword(const char* const* table, int count, const char* token);
template <size_t N>
int SlgKeyword(const std::array<const char*, N>& table, const char* token) {
  return SlgKeyword(table.data(), static_cast<int>(N), token);
}
// Load mode: "STREAMING" 0 (also the empty token), "STATIC" 1, else -1.
int SlgLoadModeKeyword(const char* token);
// Shade: "Night" 0, anything else -1.
int SlgShadeKeyword(const char* token);

// A sprite file named by table cells: one record per file name within a table, counted by the
// cells that point to it.
struct AnmFileRec {
  std::string name;  // upper-cased, relative to "tamvik2\"
  uint32_t count = 0;
  int32_t shade = -1;  // 0 "Night": darkened in night mode
  std::string path;    // "tamvik2\" + name, made once: loading the record builds no string
};

struct SlgSeEntry {
  std::string path;  // "TAMVIK2\SE\..." upper-cased; empty: no file
  int32_t static_index = -1;
  int32_t mode = kSlgSeStreaming;
};

// The four tables. Zero (empty) until loaded; freed with the context when still loaded.
class SlgTextTables {
 public:
  SlgTextTables();
  ~SlgTextTables();
  SlgTextTables(const SlgTextTables&) = delete;
  SlgTextTables& operator=(const SlgTextTables&) = delete;

  uint32_t loaded = 0;
  std::array<SlgSeEntry, kSlgSeCount> se;   // SeTable
  std::vector<std::string> se_static;       // SeStaticList: distinct static paths, in order
  std::vector<std::string> voice_files;     // VoiceFileTable (kSlgVoiceCount names)
  std::array<std::array<std::vector<uint16_t>, kSlgSituations>, kSlgUnitKinds> unit_voices{};
  std::array<AnmFileRec*, kSlgUnitKinds * kSlgAnmSlots> unit_anm{};  // kind x 23 + slot
  std::array<AnmFileRec*, kSlgEventAnmCount> event_anm{};

  // Drops every cell's reference (a record goes with its last cell) and empties the tables.
  void DropEventAnm();
  void DropUnitAnm();
  void ClearVoices();
  void ClearSe();
};

// Unless loaded: SE.TAB, VOICE.TAB, UnitAnm.TAB, EventAnm.TAB, then the loaded flag. After
// SE.TAB, while no battle runs (Battle().running 0), the static effects are loaded as the
// engine's static bank (static index i = static sound i).
void LoadSlgTables();
// When loaded: frees EventAnm, UnitAnm, the voice tables and the SE table and clears the flag;
// the static bank is released only while no battle runs (a stage switch keeps it).
void FreeSlgTables();

// The sprite file of (kind, slot), loaded at brightness 256, or 204 in night mode for a "Night"
// record; 0 (traced) for an empty cell, a kind above 51 or a slot above 22.
SprAnm* GetUnitAnm(int kind, int slot);
void ReleaseUnitAnm(SprAnm** record);
// Picture `picture` of the cell's file onto a surface at (0, 0). 1 or 0.
int LoadUnitAnmToSurface(int kind, int slot, int picture, SurfaceId surface, int color_key);
// The unit's attack background (type 1 "SPECIAL_BG", type 5 "GATTAI_BG"; other types 0); with a
// rectangle the loaded picture's rectangle is written there.
int LoadAttackBg(const SlgUnit& unit, int picture, SurfaceId surface, Rect* rect);
int LoadAttackBgSimple(const SlgUnit& unit, int picture, SurfaceId surface);
// The background, its (0, 0, w, h) part repeated over a layer surface resized to w x cols by
// h x rows (at least the screen; the picture is loaded after the resize, so a tile larger than
// the screen is whole). 0 when the picture or the tile cannot be had: the surface is then back at
// the screen's size, cleared.
int LoadAttackBgTiled(const SlgUnit& unit, int picture, SurfaceId surface, int w, int h, int cols,
                      int rows);
// The body / effect slot of an attack type (0 and 2 ATTACK, 1 SPECIAL, 5 GATTAI); 0 (traced)
// for any other type.
int GetAtkBodyUnitAnmfromAtkType(int type);
int GetAtkEffectUnitAnmfromAtkType(int type);
// Event character npc (80-143) of the battle map; 0 for an empty entry or, traced, another npc.
SprAnm* GetEventAnm(int npc);
void ReleaseEventAnm(SprAnm** record);
// The voice character of a unit kind, -1 when none.
int GetKindVoiceChara(int kind);
