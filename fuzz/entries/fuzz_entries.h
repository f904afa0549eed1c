#pragma once
// Entry functions that drive the engine's readers of outside bytes with arbitrary input. Each
// one takes any byte string, runs one reader the way the engine uses it and checks what must
// hold for every input (bounded output, progress, paths kept inside their roots). A broken rule
// is reported through the failure handler; memory faults are left to the sanitizers.
//
// The same functions run under libFuzzer (fuzz/*_fuzz.cpp, clang builds only) and in the
// ordinary test suite (tests/fuzz_smoke), which feeds every seed and mutated variants of it.
//
// Multi-part inputs (several files, or a file and drawing parameters) are cut at kPartMark; a
// missing part is empty.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

using Bytes = std::vector<uint8_t>;
using Entry = void (*)(const uint8_t* data, size_t size);
using SeedMaker = std::vector<Bytes> (*)();
// A seed made from a row of a test table, named by the row.
struct RowSeed {
  std::string name;
  Bytes bytes;
};
using RowSeedMaker = std::vector<RowSeed> (*)();

struct Target {
  const char* name;
  Entry entry;
  SeedMaker seeds;  // a handful of small valid (and some deliberately odd) inputs
  // Mutated variants the smoke test runs besides the seeds (a whole played battle per input
  // takes far longer than one file read: such targets run a few).
  int smoke_variants = 300;
  // Seeds made from a test table's rows: written into the corpus beside the others; the smoke
  // test runs each row's seed and a variant of it as a test of its own.
  RowSeedMaker row_seeds = nullptr;
};

// Every target, in a fixed order.
std::span<const Target> Targets();
// The target of that name, or null.
const Target* FindTarget(std::string_view name);

// Separator of the parts of a multi-part input.
inline constexpr uint8_t kPartMark[4] = {'|', 0xF5, 'Z', '|'};
// Cuts the input at every kPartMark; always gives at least `parts` pieces (the rest empty), the
// last one taking everything after the (parts - 1)-th mark.
std::vector<Bytes> SplitParts(const uint8_t* data, size_t size, size_t parts);
// Joins pieces with kPartMark between them (for the seeds).
Bytes JoinParts(const std::vector<Bytes>& parts);

// Called when an entry finds a broken rule; the default prints the message and aborts, so that
// libFuzzer keeps the input. Tests install a handler that records a failure instead.
using FailureHandler = void (*)(const char* target, const char* what);
void SetFailureHandler(FailureHandler handler);

// The entries (see fuzz_entries.cpp for what each one checks).
void LzssEntry(const uint8_t* data, size_t size);
void TextFileEntry(const uint8_t* data, size_t size);
void GlyphFontEntry(const uint8_t* data, size_t size);
void KeyConfigEntry(const uint8_t* data, size_t size);
void WaveHeadEntry(const uint8_t* data, size_t size);
void WaveConvertEntry(const uint8_t* data, size_t size);
void PathEntry(const uint8_t* data, size_t size);
void SettingsEntry(const uint8_t* data, size_t size);
// Readers still being written elsewhere (bitmaps, BMX pictures, static effects).
void BmpEntry(const uint8_t* data, size_t size);
void BmxEntry(const uint8_t* data, size_t size);
void StaticSeEntry(const uint8_t* data, size_t size);
// Movie files through the FFmpeg movie source.
void MovieEntry(const uint8_t* data, size_t size);
// Scene scripts and message tables through the interpreter.
void ScriptEntry(const uint8_t* data, size_t size);
// The minigame readers: od files, sprite-file frames, save\minigame.dat.
void MinigameOdEntry(const uint8_t* data, size_t size);
void MinigameSprEntry(const uint8_t* data, size_t size);
void MinigameDatEntry(const uint8_t* data, size_t size);
// A row's procedure played over an od file, save\minigame.dat and an input per step.
void MinigamePlayEntry(const uint8_t* data, size_t size);
// The stage files of a battle map (stage table, face tables, map data, think files).
void StageEntry(const uint8_t* data, size_t size);
// ---- The scene engine's readers (scene_entries.cpp) ----
// Sprite files under every load mask; the script variables' save image and a RETURN; the town
// map's hit rows through its hit test.
void SprFileEntry(const uint8_t* data, size_t size);
void MacroVarsEntry(const uint8_t* data, size_t size);
void MapHitEntry(const uint8_t* data, size_t size);
// The save files (save\system.dat and a slot) with the scene engine's judgement of a saved story
// state; the battle message file with its look-ups.
void SaveFilesEntry(const uint8_t* data, size_t size);
void SlgMessageEntry(const uint8_t* data, size_t size);
// The title's petal wipe (flow/petal_wipe.h).
void PetalWipeEntry(const uint8_t* data, size_t size);
// A bitmap into a minigame surface slot, and drawn into an existing one.
void MinigameBmpEntry(const uint8_t* data, size_t size);
// ---- The battle's readers besides the stage files (battle_entries.cpp) ----
// The four battle text tables and System.Tab with their look-ups; Map.TAB with its priority file
// and a bank, drawn in three frames.
void SlgTablesEntry(const uint8_t* data, size_t size);
void SlgMapEntry(const uint8_t* data, size_t size);
// The enemy think files played on a fixed stage of several enemies (think_entry.cpp).
void ThinkEntry(const uint8_t* data, size_t size);
// ---- The battle events' condition language (condition_entry.cpp) ----
void ConditionEntry(const uint8_t* data, size_t size);
// ---- The battle events' route search over any cell grid (route_entry.cpp) ----
void RouteEntry(const uint8_t* data, size_t size);
// ---- The story state (variables and flags) under the test story played (story_entry.cpp) ----
void StoryStateEntry(const uint8_t* data, size_t size);
// The stage table and both cell grids under an opening that deploys event objects and walks.
void StoryStageEntry(const uint8_t* data, size_t size);
// ---- The debug menu's readers (debug_entries.cpp) ----
// The DEF name lists and LipSync.DEF.
void DefNamesEntry(const uint8_t* data, size_t size);
void LipSyncDefEntry(const uint8_t* data, size_t size);

}  // namespace fuzz
