// The key assignment of the input service: defaults, getters and setters, copies and masks of the
// state bytes for the key menus, and the file save\key.dat (16 key codes, then 16 pad numbers).

#include <algorithm>
#include <cstring>

#include "engine/core/debug_trace.h"
#include "engine/files/file_io.h"
#include "engine/input/dinput.h"

namespace {

constexpr const char* kKeyFile = "save\\key.dat";

constexpr KeyConfig kDefaults = {
    // Enter, numpad Enter, X, Space, numpad 0, Z, left Ctrl, right Ctrl, left Shift, right Shift
    {0x1C, 0x9C, 0x2D, 0x39, 0x52, 0x2C, 0x1D, 0x9D, 0x2A, 0x36, 0, 0, 0, 0, 0, 0},
    // buttons 0, 2, -, 1, -, -, 6, 7, 8
    {5, 7, 0, 6, 0, 0, 11, 12, 13, 0, 0, 0, 0, 0, 0, 0},
};

// A pad number that indexes no pad state byte means none.
uint8_t SanePad(uint32_t pad) { return pad < kPadStateSize ? static_cast<uint8_t>(pad) : kPadNone; }

}  // namespace

void CDinput::GetKeyboardState(std::span<uint8_t, platform::kKeyboardStateSize> buffer) const {
  std::copy(keyboard_state_.begin(), keyboard_state_.end(), buffer.begin());
}

void CDinput::GetPadButtons(std::span<uint8_t, kPadStateSize> buffer) const {
  std::copy(pad_state_.begin(), pad_state_.end(), buffer.begin());
}

void CDinput::MaskKeys(std::span<uint8_t, platform::kKeyboardStateSize> buffer,
                       std::span<const uint8_t> list) {
  for (uint8_t code : list) {
    if (code == 0) break;
    buffer[code] = 0;
  }
}

void CDinput::MaskPadButtons(std::span<uint8_t, kPadStateSize> buffer,
                             std::span<const uint8_t> list) {
  for (uint8_t pad : list) {
    if (pad == 0) break;
    if (pad < kPadStateSize) buffer[pad] = 0;
  }
}

void CDinput::InitKeyConfig() {
  for (uint32_t i = 0; i < kKeyConfigEntries; ++i) {
    key_config_.keyboard[i] = static_cast<uint8_t>(GetDefaultKeyConfig(i));
  }
}

void CDinput::SetKeyConfig(uint32_t entry, uint32_t code) {
  if (entry >= kKeyConfigEntries) return;
  if (code >= platform::kKeyboardStateSize) {
    DebugPrint("Key Config: key code %u of entry %u read as none\n", code, entry);
    code = 0;
  }
  key_config_.keyboard[entry] = static_cast<uint8_t>(code);
}

uint32_t CDinput::GetKeyConfig(uint32_t entry) const {
  return entry < kKeyConfigEntries ? key_config_.keyboard[entry] : 0;
}

uint32_t CDinput::GetDefaultKeyConfig(uint32_t entry) {
  return entry < kKeyConfigEntries ? kDefaults.keyboard[entry] : 0;
}

void CDinput::InitPadConfig() {
  for (uint32_t i = 0; i < kKeyConfigEntries; ++i) {
    key_config_.pad[i] = static_cast<uint8_t>(GetDefaultPadConfig(i));
  }
}

void CDinput::SetPadConfig(uint32_t entry, uint32_t pad) {
  if (entry >= kKeyConfigEntries) return;
  if (pad >= kPadStateSize) DebugPrint("Key Config: pad %u of entry %u read as none\n", pad, entry);
  key_config_.pad[entry] = SanePad(pad);
}

uint32_t CDinput::GetPadConfig(uint32_t entry) const {
  return entry < kKeyConfigEntries ? key_config_.pad[entry] : 0;
}

uint32_t CDinput::GetDefaultPadConfig(uint32_t entry) {
  return entry < kKeyConfigEntries ? kDefaults.pad[entry] : 0;
}

int CDinput::SaveKeyConfig() {
  // The whole file replaces the old one in one step, so a failed save keeps the old assignment.
  uint8_t image[2 * kKeyConfigEntries];
  std::memcpy(image, key_config_.keyboard.data(), kKeyConfigEntries);
  std::memcpy(image + kKeyConfigEntries, key_config_.pad.data(), kKeyConfigEntries);
  if (files_.SaveFile(kKeyFile, image, sizeof image) == 0) {
    // The player must not be told the assignment is kept when it is not.
    DebugPrint("Key Config Save Fail\n");
    return 0;
  }
  DebugPrint("Key Config Save\n");
  return 1;
}

int CDinput::LoadKeyConfig() {
  FileIO& io = files_;
  if (io.Exist(kKeyFile, kSearchInstall) == 0) return 0;
  const FileHandle file = io.Open(kKeyFile, FileMode::kRead, kSearchInstall, 0);
  if (file == kInvalidFile) return 0;

  // The whole record is read before any of it is used: a cut or unreadable file leaves the
  // assignment in force as it was (half of an assignment would mix two players' keys).
  uint8_t record[2 * kKeyConfigEntries];
  bool failed = false;
  const size_t got = io.ReadFully(file, record, sizeof record, &failed);
  io.Close(file);
  if (failed || got < sizeof record) {
    DebugPrint("Key Config Load: %s %s (%zu of %zu bytes); the assignment in force stays\n",
               kKeyFile, failed ? "could not be read" : "is cut short", got, sizeof record);
    return 0;
  }
  std::memcpy(key_config_.keyboard.data(), record, kKeyConfigEntries);
  for (uint32_t i = 0; i < kKeyConfigEntries; ++i) {
    const uint8_t pad = record[kKeyConfigEntries + i];
    if (pad >= kPadStateSize) {
      DebugPrint("Key Config Load: pad %u of entry %u read as none\n", pad, i);
    }
    key_config_.pad[i] = SanePad(pad);
  }
  DebugPrint("Key Config Load\n");
  return 1;
}
