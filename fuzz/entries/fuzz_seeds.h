#pragma once
// Seed inputs of the fuzz entries, made by the test-fixture writers (LZSS encoder, wave writer,
// glyph font fixture): a handful of small valid inputs and a few deliberately odd ones per
// target. tools/fuzz writes them into fuzz/corpus/<target>/ before a run; the smoke test feeds
// them (and variants of them) straight to the entries.

#include <optional>
#include <vector>

#include "fuzz/entries/fuzz_entries.h"

namespace fuzz {

std::vector<Bytes> LzssSeeds();
std::vector<Bytes> TextFileSeeds();
std::vector<Bytes> GlyphFontSeeds();
std::vector<Bytes> KeyConfigSeeds();
std::vector<Bytes> WaveHeadSeeds();
std::vector<Bytes> WaveConvertSeeds();
std::vector<Bytes> PathSeeds();
std::vector<Bytes> SettingsSeeds();
std::vector<Bytes> BmpSeeds();
// A 5 x 3 two-colour bitmap in every stored form (every other one top-down), cut when asked.
std::vector<Bytes> SmallBitmaps(const std::optional<size_t>& cut_to = std::nullopt);
std::vector<Bytes> ScriptSeeds();
std::vector<Bytes> BmxSeeds();
std::vector<Bytes> StaticSeSeeds();
std::vector<Bytes> MovieSeeds();
std::vector<Bytes> MinigameOdSeeds();
std::vector<Bytes> MinigameSprSeeds();
std::vector<Bytes> MinigameDatSeeds();
std::vector<Bytes> MinigamePlaySeeds();
std::vector<Bytes> StageSeeds();
// The scene engine's readers (scene_entries.cpp).
std::vector<Bytes> SprFileSeeds();
std::vector<Bytes> MacroVarsSeeds();
std::vector<Bytes> MapHitSeeds();
std::vector<Bytes> SaveFilesSeeds();
std::vector<Bytes> SlgMessageSeeds();
std::vector<Bytes> PetalWipeSeeds();
std::vector<Bytes> MinigameBmpSeeds();
// The battle's readers besides the stage files (battle_entries.cpp).
std::vector<Bytes> SlgTablesSeeds();
std::vector<Bytes> SlgMapSeeds();
std::vector<Bytes> ThinkSeeds();
// The battle events' condition language (condition_entry.cpp).
std::vector<Bytes> ConditionSeeds();
// The battle events' route search (route_entry.cpp).
std::vector<Bytes> RouteSeeds();
// The story state and a stage under event objects and a walk (story_entry.cpp).
std::vector<Bytes> StoryStateSeeds();
std::vector<Bytes> StoryStageSeeds();
// The map scripts' run table's rows: each row's story (variables, trust, flags, answers) on its
// map; each map's small stage under its script.
std::vector<RowSeed> StoryStateRowSeeds();
std::vector<RowSeed> StoryStageRowSeeds();
// The debug menu's readers (debug_entries.cpp).
std::vector<Bytes> DefNamesSeeds();
std::vector<Bytes> LipSyncSeeds();

}  // namespace fuzz
