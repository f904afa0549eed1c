#include "game/save_files.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "game/game_context.h"
#include "platform/little_endian.h"

namespace {

constexpr uint16_t kBeforeBattleBit = 0x8000;
constexpr size_t kVarsAt = AdvState::kSize;

static_assert(kGameSaveSize == AdvState::kSize + kMacroVarBlockSize);

// Bytes 8 and 9 of the story state: the compose positions of layers 5 and 6 counted from 1
// (layer 4 is at 1), so 3, 2 with layer 5 above and 2, 3 with layer 6 above.
constexpr uint8_t kUpperPosition = 3;
constexpr uint8_t kLowerPosition = 2;

bool Layer5OnTop() {
  const CDdrawFunc& ddraw = Ctx().ddraw;
  return ddraw.GetLayerIndex(SURFACE_BG) > ddraw.GetLayerIndex(SURFACE_FG);
}

void StoreBackgroundOrder(AdvState* adv) {
  const bool five_on_top = Layer5OnTop();
  adv->setLayer5Position(five_on_top ? kUpperPosition : kLowerPosition);
  adv->setLayer6Position(five_on_top ? kLowerPosition : kUpperPosition);
}

// The saved order back into the compose. Positions of neither form give the order a scene
// starts with (layer 5 above), with a trace.
void RestoreBackgroundOrder(AdvState* adv, const std::string& name) {
  const uint8_t five = adv->layer5Position();
  const uint8_t six = adv->layer6Position();
  bool five_on_top = true;
  if (five == kLowerPosition && six == kUpperPosition) {
    five_on_top = false;
  } else if (five != kUpperPosition || six != kLowerPosition) {
    DebugPrint("GameLoad %s: compose positions %u, %u of layers 5 and 6 are neither 3, 2 nor "
               "2, 3; layer 5 goes above\n",
               name.c_str(), five, six);
    adv->setLayer5Position(kUpperPosition);
    adv->setLayer6Position(kLowerPosition);
  }
  if (Layer5OnTop() != five_on_top) Ctx().ddraw.SwapLayers(SURFACE_BG, SURFACE_FG);
}

// Reads the whole file (install directory only) when it holds at most `limit` bytes; a larger
// file gives limit + 1 bytes, so that a size check refuses it. False when it does not open or a
// read fails.
bool ReadWhole(const std::string& name, size_t limit, std::vector<uint8_t>* out) {
  FileIO& io = Ctx().file_io;
  const FileHandle h = io.Open(name.c_str(), FileMode::kRead, kSearchInstall, 0);
  if (h == kInvalidFile) return false;
  out->assign(limit + 1, 0);
  bool failed = false;
  const size_t have = io.ReadFully(h, out->data(), out->size(), &failed);
  io.Close(h);
  out->resize(have);
  return !failed;
}

// A slot's whole file when it is one LoadGameData takes: 8768 bytes, both depths below 1000.
bool ReadGameSave(int slot, std::vector<uint8_t>* bytes) {
  const std::string name = SaveSlotFileName(slot);
  if (!ReadWhole(name, kGameSaveSize, bytes)) return false;
  if (bytes->size() != kGameSaveSize) {
    DebugPrint("GameLoad %s: %zu bytes, not %zu\n", name.c_str(), bytes->size(), kGameSaveSize);
    return false;
  }
  MacroVarBlock block;
  std::memcpy(block.data(), bytes->data() + kVarsAt, block.size());
  if (!MacroVars::Usable(block)) {
    DebugPrint("GameLoad %s: stack depths out of range\n", name.c_str());
    return false;
  }
  // A scene the start cannot run (no scene after it, a resume past its script) would leave the
  // game standing still: such a save is refused as a damaged one.
  const GameSequences& sequences = Game().sequences;
  if (sequences.saved_scene_fault) {
    AdvState saved;
    std::memcpy(saved.bytes(), bytes->data(), AdvState::kSize);
    saved.setSceneCode(saved.sceneCode() & ~kBeforeBattleBit);
    const std::string fault = sequences.saved_scene_fault(saved);
    if (!fault.empty()) {
      DebugPrint("GameLoad %s: %s\n", name.c_str(), fault.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

std::string SystemDataFileName() {
  char name[kPathMax];
  std::snprintf(name, sizeof name, "%s%s%s", "save\\", "system", ".dat");
  return name;
}

std::string SaveSlotFileName(int slot) {
  char name[kPathMax];
  std::snprintf(name, sizeof name, "%s%s%.01d%s", "save\\", "data", slot, ".sav");
  return name;
}

int LoadSystemData() {
  const std::string name = SystemDataFileName();
  DebugPrint("SystemLoad Filename=%s\n", name.c_str());
  std::vector<uint8_t> bytes;
  if (!ReadWhole(name, SystemData::kSize, &bytes)) return 0;
  if (bytes.size() != SystemData::kSize) {
    DebugPrint("SystemLoad %s: %zu bytes, not %zu; kept the current data\n", name.c_str(),
               bytes.size(), SystemData::kSize);
    return 0;
  }
  std::memcpy(GetSystemData()->bytes(), bytes.data(), SystemData::kSize);
  return 1;
}

int SaveSystemData() {
  const std::string name = SystemDataFileName();
  DebugPrint("SystemSave Filename=%s\n", name.c_str());
  return Ctx().file_io.SaveFile(name.c_str(), GetSystemData()->bytes(), SystemData::kSize);
}

int LoadGameData(int slot) {
  const std::string name = SaveSlotFileName(slot);
  DebugPrint("GameLoad Filename=%s\n", name.c_str());
  std::vector<uint8_t> bytes;
  if (!ReadGameSave(slot, &bytes)) return 0;
  MacroVarBlock block;
  std::memcpy(block.data(), bytes.data() + kVarsAt, block.size());
  if (!Game().macro.Unpack(block)) return 0;
  AdvState* adv = GetAdvState();
  std::memcpy(adv->bytes(), bytes.data(), AdvState::kSize);
  const uint16_t scene = adv->sceneCode();
  GetSystemData()->setSavedBeforeBattle((scene & kBeforeBattleBit) != 0 ? 1 : 0);
  adv->setSceneCode(scene & ~kBeforeBattleBit);
  RestoreBackgroundOrder(adv, name);
  return 1;
}

int SaveGameData(int slot) {
  AdvState* adv = GetAdvState();
  StoreBackgroundOrder(adv);
  if (GetSystemData()->savedBeforeBattle() != 0) {
    adv->setSceneCode(adv->sceneCode() | kBeforeBattleBit);
  }
  std::vector<uint8_t> bytes(kGameSaveSize);
  std::memcpy(bytes.data(), adv->bytes(), AdvState::kSize);
  MacroVarBlock block;
  Game().macro.Pack(block);
  std::memcpy(bytes.data() + kVarsAt, block.data(), block.size());
  adv->setSceneCode(adv->sceneCode() & ~kBeforeBattleBit);

  const std::string name = SaveSlotFileName(slot);
  DebugPrint("GameSave Filename=%s\n", name.c_str());
  return Ctx().file_io.SaveFile(name.c_str(), bytes.data(), static_cast<uint32_t>(bytes.size()));
}

uint16_t GetSaveSceneCode(int slot) {
  std::vector<uint8_t> bytes;
  if (!ReadGameSave(slot, &bytes)) return 0;
  return static_cast<uint16_t>(platform::GetLe16(bytes.data()) & ~kBeforeBattleBit);
}

int GetSaveFileTime(int slot, char* text) {
  FileIO& io = Ctx().file_io;
  const std::string name = SaveSlotFileName(slot);
  const FileHandle h = io.Open(name.c_str(), FileMode::kRead, kSearchInstall, 0);
  if (h == kInvalidFile) return 0;
  const int result = io.GetFileTimeText(h, text);
  io.Close(h);
  return result;
}

int CopySaveFile(int from, int to) {
  const std::string source = SaveSlotFileName(from);
  if (from == to) return Ctx().file_io.Exist(source.c_str(), kSearchInstall) != 0 ? 1 : 0;
  const std::string target = SaveSlotFileName(to);
  return Ctx().file_io.CopyFile(source.c_str(), target.c_str(), 1);
}

int DeleteSaveFile(int slot) {
  const std::string name = SaveSlotFileName(slot);
  return Ctx().file_io.DeleteFile(name.c_str());
}

void AlbumModeStart(int number) { DebugPrint("Alubum mode Start No=%x\n", number); }

void AlbumModeEnd(int number) { DebugPrint("Alubum mode End No=%x\n", number); }
