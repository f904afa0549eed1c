// The settings text: keys, values and drive lines, read the way the program reads its settings
// file.

#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "fuzz/entries/entry_support.h"
#include "fuzz/entries/fuzz_entries.h"
#include "platform/config.h"
#include "platform/files.h"
#include "testsupport/temp_tree.h"

namespace fuzz {

using detail::Check;

namespace {

bool Trimmed(const std::string& s) {
  return s.empty() || (!std::isspace(static_cast<unsigned char>(s.front())) &&
                       !std::isspace(static_cast<unsigned char>(s.back())));
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace

// The input is the settings file. Rules: every key kept is a known one, lower-cased and trimmed;
// every value is trimmed, holds no line feed and is of its key's kind (a decimal number, a switch
// word, a drive line); at most 21 notes; a byte-order mark in front and CR LF line ends change
// nothing; the file reader gives the same values (or refuses a file past its cap) and the drive
// table takes exactly the drive lines kept.
void SettingsEntry(const uint8_t* data, size_t size) {
  constexpr const char* kName = "settings";
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> notes;
  const auto values = platform::ParseConfigText(text, &notes);
  Check(notes.size() <= 21, kName, "more notes than the cap");

  int drives = 0;
  for (const auto& [key, value] : values) {
    Check(!key.empty() && Trimmed(key), kName, "a key is empty or untrimmed");
    bool lower = true;
    for (char c : key) lower = lower && !(c >= 'A' && c <= 'Z');
    Check(lower, kName, "a key is not lower-cased");
    Check(Trimmed(value) && value.find('\n') == std::string::npos, kName,
          "a value is untrimmed or holds a line feed");
    switch (platform::ConfigKeyKindOf(key)) {
      case platform::ConfigKeyKind::kUnknown:
        Check(false, kName, "an unknown key was kept");
        break;
      case platform::ConfigKeyKind::kText:
        break;
      case platform::ConfigKeyKind::kNumber: {
        long n = 0;
        Check(platform::ParseDecimal(value, &n), kName, "a number key kept a non-number");
        break;
      }
      case platform::ConfigKeyKind::kSwitch: {
        bool on = false;
        Check(platform::ParseSwitch(value, &on), kName, "a switch kept a non-switch word");
        break;
      }
      case platform::ConfigKeyKind::kDrive: {
        uint32_t type = 0;
        std::string dir;
        Check(platform::ParseDriveSetting(value, &type, &dir), kName,
              "a drive key kept a line the drive table cannot read");
        ++drives;
        break;
      }
    }
  }

  if (text.compare(0, 3, "\xEF\xBB\xBF") != 0) {
    std::vector<std::string> bom_notes;
    Check(platform::ParseConfigText("\xEF\xBB\xBF" + text, &bom_notes) == values &&
              bom_notes == notes,
          kName, "a byte-order mark changed the reading");
  }
  std::vector<std::string> crlf_notes;
  Check(platform::ParseConfigText(WithCrLf(text), &crlf_notes) == values && crlf_notes == notes,
        kName, "CR LF line ends changed the reading");

  testsupport::GameTree& tree = detail::Tree();
  const std::string path = tree.Write("cwd/tamvik.conf", text);
  const platform::FileConfig file(path);
  if (size > platform::FileConfig::kMaxSize) {
    Check(!file.Present(), kName, "a file past the cap was read");
    return;
  }
  Check(file.Present() && file.notes().size() == notes.size(), kName,
        "the file reader read otherwise");
  for (const auto& [key, value] : values) {
    Check(file.Get(key) == value, kName, "the file reader gave another value");
  }
  platform::PosixFiles files;
  Check(files.LoadDrives(file) == drives, kName, "the drive table took other lines");
}

}  // namespace fuzz
