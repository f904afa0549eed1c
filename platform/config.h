#pragma once
// The settings store that stands in for the registry and for the platform's own options: a small
// key=value text file in the user's configuration directory. A missing file behaves as a missing
// registry key; a missing line as a missing value.
//
// File format: one "key=value" per line; blank lines and lines starting with '#' are ignored;
// white space around key and value is dropped (so CR LF line ends read as LF); a UTF-8
// byte-order mark at the start is skipped; keys match case-insensitively; the last occurrence of
// a key wins. The keys the program knows and their kinds of value are listed in ConfigKeyKind;
// a line the reader cannot use is reported with its line number (ParseConfigText's notes) and
// ignored, so the key keeps its default:
//   - numbers are whole decimal numbers ("0555" is 555);
//   - switches are 1/0, yes/no, true/false or on/off in any case;
//   - drive lines are as ParseDriveSetting (platform/files.h) reads them;
//   - an unknown key is reported once (the commonest mistake is a misspelt key), a line without
//     '=' each time.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class Config {
 public:
  virtual ~Config() = default;
  // Whether the settings exist at all (the stand-in for "the key opens").
  virtual bool Present() const = 0;
  virtual std::optional<std::string> Get(std::string_view key) const = 0;
  // Why the settings are not present, for a person ("no settings file at ..."); empty when they
  // are.
  virtual std::string Problem() const = 0;
  // Where the settings come from, for messages (the file's path); empty when they have no place.
  virtual std::string Location() const { return {}; }
  // The value as a decimal integer, or `fallback` when missing or not a whole decimal number.
  long GetInt(std::string_view key, long fallback) const;
  // The value as a switch (1/0, yes/no, true/false, on/off in any case), or `fallback` when
  // missing or not a switch word.
  bool GetSwitch(std::string_view key, bool fallback) const;
};

// What kind of value a key takes.
enum class ConfigKeyKind { kUnknown, kText, kNumber, kSwitch, kDrive };
// The kind of a known key (any case); kUnknown for any other.
ConfigKeyKind ConfigKeyKindOf(std::string_view key);

// A switch word; false when the text is none.
bool ParseSwitch(std::string_view text, bool* value);
// A whole decimal number with an optional sign; false when the text is anything else or out of
// range.
bool ParseDecimal(std::string_view text, long* value);

// Parses the file format above into lower-cased keys. Lines that cannot be used are left out and,
// when `notes` is given, described there as "line N: ...".
std::map<std::string, std::string> ParseConfigText(std::string_view text,
                                                   std::vector<std::string>* notes = nullptr);

// The default location: $XDG_CONFIG_HOME/tamvik/tamvik.conf, else ~/.config/tamvik/tamvik.conf.
std::string DefaultConfigPath();

// Whether the engine's traces should go to stderr: the environment variable TAMVIK_TRACE when it
// holds a switch word, else the setting "Trace"; off by default. `config` may be null.
bool TraceWanted(const Config* config);

// The file-backed store, read once when made. Only a regular file is read (a named pipe, a device
// or a directory is refused without waiting on it), and at most kMaxSize bytes of it: a larger
// file is refused whole rather than read in part.
class FileConfig final : public Config {
 public:
  static constexpr size_t kMaxSize = 64 * 1024;

  explicit FileConfig(std::string path);
  bool Present() const override { return present_; }
  std::optional<std::string> Get(std::string_view key) const override;
  std::string Problem() const override { return problem_; }
  std::string Location() const override { return path_; }
  const std::string& path() const { return path_; }
  // The lines that were ignored, each as "<path>:<line>: <what>".
  const std::vector<std::string>& notes() const { return notes_; }

 private:
  std::string path_;
  bool present_ = false;
  std::string problem_;
  std::vector<std::string> notes_;
  std::map<std::string, std::string> values_;
};

// An in-memory store (tests, and the headless backend).
class MemoryConfig final : public Config {
 public:
  bool Present() const override { return present_; }
  std::optional<std::string> Get(std::string_view key) const override;
  std::string Problem() const override { return present_ ? std::string() : "no settings"; }
  // Setting a value makes the store present.
  void Set(std::string_view key, std::string value);
  void Erase(std::string_view key);
  void SetPresent(bool present) { present_ = present; }

 private:
  bool present_ = false;
  std::map<std::string, std::string> values_;
};

}  // namespace platform
