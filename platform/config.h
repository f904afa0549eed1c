#pragma once
// The settings store that stands in for the registry and for the platform's own options: a small
// key=value text file in the user's configuration directory. A missing file behaves as a missing
// registry key; a missing line as a missing value.
//
// File format: one "key=value" per line; blank lines and lines starting with '#' are ignored;
// white space around key and value is dropped; keys match case-insensitively; the last
// occurrence of a key wins.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class Config {
 public:
  virtual ~Config() = default;
  // Whether the settings exist at all (the stand-in for "the key opens").
  virtual bool Present() const = 0;
  virtual std::optional<std::string> Get(std::string_view key) const = 0;
  // Convenience: the value as an integer, or `fallback` when missing or not a number.
  long GetInt(std::string_view key, long fallback) const;
};

// Parses the file format above into lower-cased keys.
std::map<std::string, std::string> ParseConfigText(std::string_view text);

// The default location: $XDG_CONFIG_HOME/tamvik/tamvik.conf, else ~/.config/tamvik/tamvik.conf.
std::string DefaultConfigPath();

// The file-backed store, read once when made.
class FileConfig final : public Config {
 public:
  explicit FileConfig(std::string path);
  bool Present() const override { return present_; }
  std::optional<std::string> Get(std::string_view key) const override;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool present_ = false;
  std::map<std::string, std::string> values_;
};

// An in-memory store (tests, and the headless backend).
class MemoryConfig final : public Config {
 public:
  bool Present() const override { return present_; }
  std::optional<std::string> Get(std::string_view key) const override;
  // Setting a value makes the store present.
  void Set(std::string_view key, std::string value);
  void Erase(std::string_view key);
  void SetPresent(bool present) { present_ = present; }

 private:
  bool present_ = false;
  std::map<std::string, std::string> values_;
};

}  // namespace platform
