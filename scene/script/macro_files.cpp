// Scene files: the script and its message table, the battle message file, the message look-up
// and the scene succession.

#include <cstdio>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/files/file_io.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_icon.h"

namespace {

// The whole file, its length rounded down to an even number of bytes; false when it does not
// open, a read fails or it is larger than `limit`.
bool ReadEven(const char* name, uint32_t limit, std::vector<uint8_t>* out) {
  FileIO& io = Ctx().file_io;
  const FileHandle h = io.Open(name, FileMode::kRead, kSearchAll, 0);
  if (h == kInvalidFile) {
    DebugPrint("%s cannot be opened\n", name);
    return false;
  }
  const uint32_t size = io.GetSize(h) & ~1u;
  if (size > limit) {
    DebugPrint("%s: %u bytes, more than %u\n", name, size, limit);
    io.Close(h);
    return false;
  }
  out->assign(size, 0);
  uint32_t got = 0;
  const bool ok = size == 0 || (io.Read(h, out->data(), size, &got) != 0 && got == size);
  io.Close(h);
  if (!ok) DebugPrint("%s: read %u of %u bytes\n", name, got, size);
  return ok;
}

// Message tables: the directory and records must lie inside this many bytes.
constexpr uint32_t kMaxTableBytes = 2 * 65536 * 2;

}  // namespace

int CTamvikMacro::MacroLoad(uint16_t scene) {
  char script_name[32];
  char table_name[32];
  std::snprintf(script_name, sizeof script_name, "Macro\\%.02d%.02d.bin", scene >> 8, scene & 0xFF);
  std::snprintf(table_name, sizeof table_name, "Macro\\%.02d%.02dtbl.bin", scene >> 8,
                scene & 0xFF);
  DebugPrint("MacroLoad Binary Filename %s\n", script_name);
  std::vector<uint8_t> bytes;
  if (!ReadEven(script_name, kMaxScriptBytes, &bytes)) return 0;
  DebugPrint("MacroLoad Text Filename %s\n", table_name);
  std::vector<uint8_t> table;
  // Both files or neither: a script without its table would run with the old scene's messages.
  if (!ReadEven(table_name, kMaxTableBytes, &table)) return 0;

  script_.resize(bytes.size() / 2);
  for (size_t i = 0; i < script_.size(); ++i) {
    script_[i] = static_cast<uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
  }
  has_script_ = true;
  table_ = std::move(table);
  position_ = 0;
  decode_error_ = false;
  CTamvikIcon::ShowMouseCursor();
  return 1;
}

int CTamvikMacro::LoadNextScene() {
  AdvState& adv = *GetAdvState();
  if (adv.debugRestart() != 0) {
    adv.setDebugRestart(0);
    return MacroLoad(adv.sceneCode());
  }
  const SceneSuccessionRow* row = FindSuccession(adv.sceneCode());
  if (row == nullptr) {
    DebugPrint("LoadNextScene: scene %.04x has no successor\n", adv.sceneCode());
    return 0;
  }
  adv.setSceneCode(row->next);
  adv.setWallPicture(row->wall);
  DebugPrint("scene=%.04x next=%.04x\n", row->scene, row->next);
  return MacroLoad(row->next);
}

int CTamvikMacro::LoadSlgMessage(int map) {
  char name[40];
  std::snprintf(name, sizeof name, "%sM%02dMES.BIN", "Tamvik2\\Macro\\", map);
  DebugPrint("MacroLoad Text Filename %s\n", name);
  std::vector<uint8_t> table;
  if (!ReadEven(name, kMaxTableBytes, &table)) return 0;
  table_ = std::move(table);
  return 1;
}

namespace {

uint32_t WordAt(const std::vector<uint8_t>& t, uint32_t index) {
  return static_cast<uint32_t>(t[2 * size_t{index}] << 8 | t[2 * size_t{index} + 1]);
}

// Whether a zero byte ends the string that starts at byte `at` inside the table.
bool Terminated(const std::vector<uint8_t>& t, size_t at) {
  for (size_t i = at; i < t.size(); ++i) {
    if (t[i] == 0) return true;
  }
  return false;
}

}  // namespace

int CTamvikMacro::FindMessageData(MessageData* out, uint16_t id) const {
  return FindMessageDataIn(table_, out, id);
}

int CTamvikMacro::FindMessageDataIn(const std::vector<uint8_t>& t, MessageData* out, uint16_t id) {
  const uint32_t words = static_cast<uint32_t>(t.size() / 2);
  if (words < 2) return 0;
  const uint32_t n = WordAt(t, 0);
  const uint32_t lips = WordAt(t, 1);
  if (n == 0 || n > words || lips > words) {
    DebugPrint("FindMessageData: table of %u words with N %u, T %u\n", words, n, lips);
    return 0;
  }
  uint32_t record = 0;
  bool found = false;
  for (uint32_t i = 1; i < n; ++i) {
    if (2 * i + 1 >= words) {
      DebugPrint("FindMessageData: directory entry %u past the table\n", i);
      return 0;
    }
    if (WordAt(t, 2 * i) == id) {
      record = n + WordAt(t, 2 * i + 1);
      found = true;
      break;
    }
  }
  if (!found) return 0;
  if (record + 2 >= words || !Terminated(t, 2 * size_t{record + 2})) {
    DebugPrint("FindMessageData: record of id %u at word %u does not fit the table\n", id, record);
    return 0;
  }
  const uint32_t voice = WordAt(t, record);
  MessageData result;
  result.text = t.data() + 2 * size_t{record + 2};
  if (voice == 0) {
    result.voice = -1;
    result.lip = nullptr;
  } else {
    const uint32_t lip = lips + WordAt(t, record + 1);
    if (lip >= words || !Terminated(t, 2 * size_t{lip})) {
      DebugPrint("FindMessageData: lip text of id %u at word %u does not fit the table\n", id, lip);
      return 0;
    }
    result.voice = voice == 0xFFFF ? 0 : static_cast<int32_t>(voice);
    result.lip = t.data() + 2 * size_t{lip};
  }
  *out = result;
  return 1;
}

int CTamvikMacro::GetMessageData(MessageData* out, uint16_t id) const {
  return GetMessageDataIn(table_, out, id);
}

int CTamvikMacro::GetMessageDataIn(const std::vector<uint8_t>& t, MessageData* out, uint16_t id) {
  if (FindMessageDataIn(t, out, id) == 0) return 0;
  if (out->voice != -1 && (GetAdvState()->sceneCode() & 0xFF00) >= 0x0800) out->voice += 1000;
  return 1;
}

std::string CTamvikMacro::VoiceFileName(int32_t voice) {
  char name[40];
  std::snprintf(name, sizeof name, "tamvik1\\voice\\%.04d.wav", static_cast<int>(voice));
  return name;
}
