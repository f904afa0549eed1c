// Scene files: the script and its message table, the battle message file, the message look-up
// and the scene succession.

#include <cstdio>
#include <string>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/files/file_io.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_icon.h"

namespace {

// The whole file, its length rounded down to an even number of bytes; false (the file and the
// cause in `cause`, also traced) when it does not open, a read fails or it is larger than `limit`.
bool ReadEven(const char* name, uint32_t limit, std::vector<uint8_t>* out, std::string* cause) {
  const auto fail = [&](std::string why) {
    *cause = std::string(name) + " " + why;
    DebugPrint("%s\n", cause->c_str());
    return false;
  };
  FileIO& io = Ctx().file_io;
  const FileHandle h = io.Open(name, FileMode::kRead, kSearchAll, 0);
  if (h == kInvalidFile) return fail("cannot be opened");
  const uint32_t size = io.GetSize(h) & ~1u;
  if (size > limit) {
    io.Close(h);
    return fail("holds " + std::to_string(size) + " bytes, more than " + std::to_string(limit));
  }
  out->assign(size, 0);
  uint32_t got = 0;
  const bool ok = size == 0 || (io.Read(h, out->data(), size, &got) != 0 && got == size);
  io.Close(h);
  if (!ok) return fail("could be read only to byte " + std::to_string(got) + " of " + std::to_string(size));
  return true;
}

// Message tables: the directory and records must lie inside this many bytes.
constexpr uint32_t kMaxTableBytes = 2 * 65536 * 2;

// The word at `index` of a table (inside it).
uint32_t WordAt(const std::vector<uint8_t>& t, uint32_t index) {
  return static_cast<uint32_t>(t[2 * size_t{index}] << 8 | t[2 * size_t{index} + 1]);
}

// Whether a message table's head holds together: its count N (at least the head entry) and its
// directory of N two-word entries inside the table, its lip-text start T inside it. A table that
// does not would find none of its messages: the scene would run without its text.
bool TableHeadHolds(const std::vector<uint8_t>& t, std::string* cause) {
  const uint32_t words = static_cast<uint32_t>(t.size() / 2);
  if (words < 2) {
    *cause = "holds " + std::to_string(t.size()) + " bytes, less than its head";
    return false;
  }
  const uint32_t n = WordAt(t, 0);
  const uint32_t lips = WordAt(t, 1);
  if (n == 0 || 2 * n > words || lips > words) {
    *cause = "has a head that does not fit it (N " + std::to_string(n) + ", T " +
             std::to_string(lips) + ", " + std::to_string(words) + " words)";
    return false;
  }
  return true;
}

}  // namespace

std::string CTamvikMacro::ScriptFileName(uint16_t scene) {
  char name[32];
  std::snprintf(name, sizeof name, "Macro\\%.02d%.02d.bin", scene >> 8, scene & 0xFF);
  return name;
}

int CTamvikMacro::MacroLoad(uint16_t scene) {
  const std::string script_name = ScriptFileName(scene);
  char table_name[32];
  std::snprintf(table_name, sizeof table_name, "Macro\\%.02d%.02dtbl.bin", scene >> 8,
                scene & 0xFF);
  DebugPrint("MacroLoad Binary Filename %s\n", script_name.c_str());
  std::vector<uint8_t> bytes;
  if (!ReadEven(script_name.c_str(), kMaxScriptBytes, &bytes, &load_failure_)) return 0;
  DebugPrint("MacroLoad Text Filename %s\n", table_name);
  std::vector<uint8_t> table;
  // Both files or neither: a script without its table would run with the old scene's messages.
  if (!ReadEven(table_name, kMaxTableBytes, &table, &load_failure_)) return 0;
  std::string cause;
  if (!TableHeadHolds(table, &cause)) {
    load_failure_ = std::string(table_name) + " " + cause;
    DebugPrint("%s\n", load_failure_.c_str());
    return 0;
  }

  script_.resize(bytes.size() / 2);
  for (size_t i = 0; i < script_.size(); ++i) {
    script_[i] = static_cast<uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
  }
  has_script_ = true;
  script_name_ = script_name;
  script_scene_ = scene;
  table_ = std::move(table);
  position_ = 0;
  decode_error_ = false;
  failure_.clear();
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
    char text[48];
    std::snprintf(text, sizeof text, "no scene follows scene %.04x", adv.sceneCode());
    load_failure_ = text;
    DebugPrint("LoadNextScene: %s\n", text);
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
  if (!ReadEven(name, kMaxTableBytes, &table, &load_failure_)) return 0;
  table_ = std::move(table);
  return 1;
}

std::string CTamvikMacro::SavedSceneFault(const AdvState& saved) {
  const uint16_t scene = saved.sceneCode();
  const bool resume = saved.resumeInScript() != 0;
  char text[96];
  if (!resume && saved.debugRestart() == 0) {
    // The scene start loads the scene that follows the saved one; every scene the succession
    // names is one of the story's.
    if (FindSuccession(scene) != nullptr) return {};
    std::snprintf(text, sizeof text, "no scene follows the saved scene %.04x", scene);
    return text;
  }
  // A resume or a restart runs the saved scene's own script: it must be there and hold the
  // resume position. One that no place holds counts against the save only when everything is
  // installed; with discs in use it may sit on a disc not in the drive yet.
  const std::string name = ScriptFileName(scene);
  FileIO& io = Ctx().file_io;
  const FileHandle h = io.Open(name.c_str(), FileMode::kRead, kSearchAll, 0);
  if (h == kInvalidFile) {
    if (io.GetInstallStyle() != 0) return {};
    return name + " of the saved scene cannot be opened";
  }
  const uint32_t words = (io.GetSize(h) & ~1u) / 2;
  io.Close(h);
  if (resume && saved.resumePosition() >= words) {
    std::snprintf(text, sizeof text, "the resume position, word %u, lies past the %u words of ",
                  saved.resumePosition(), words);
    return text + name;
  }
  return {};
}

namespace {

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
