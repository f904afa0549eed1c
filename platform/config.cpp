#include "platform/config.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <set>

#include "platform/files.h"

namespace platform {

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A value quoted back in a message: at most 40 bytes, control bytes shown as '?'.
std::string Quote(std::string_view s) {
  const bool cut = s.size() > 40;
  std::string out = "\"";
  for (char c : s.substr(0, 40)) {
    out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
  }
  out += cut ? "...\"" : "\"";
  return out;
}

std::string LineNote(size_t line, const std::string& text) {
  return "line " + std::to_string(line) + ": " + text;
}

}  // namespace

ConfigKeyKind ConfigKeyKindOf(std::string_view key) {
  const std::string k = Lower(key);
  if (k == "install directory") return ConfigKeyKind::kText;
  if (k == "install style" || k == "pixel format") return ConfigKeyKind::kNumber;
  if (k == "windowed" || k == "trace") return ConfigKeyKind::kSwitch;
  if (k.size() == 7 && k.compare(0, 6, "drive ") == 0 && k[6] >= 'a' && k[6] <= 'z') {
    return ConfigKeyKind::kDrive;
  }
  return ConfigKeyKind::kUnknown;
}

bool ParseSwitch(std::string_view text, bool* value) {
  const std::string word = Lower(Trim(text));
  if (word == "1" || word == "yes" || word == "true" || word == "on") {
    *value = true;
    return true;
  }
  if (word == "0" || word == "no" || word == "false" || word == "off") {
    *value = false;
    return true;
  }
  return false;
}

bool ParseDecimal(std::string_view text, long* value) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  long n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    const int digit = c - '0';
    if (n > (LONG_MAX - digit) / 10) return false;
    n = n * 10 + digit;
  }
  *value = negative ? -n : n;
  return true;
}

long Config::GetInt(std::string_view key, long fallback) const {
  auto value = Get(key);
  long n = 0;
  if (!value || !ParseDecimal(*value, &n)) return fallback;
  return n;
}

bool Config::GetSwitch(std::string_view key, bool fallback) const {
  auto value = Get(key);
  bool on = false;
  if (!value || !ParseSwitch(*value, &on)) return fallback;
  return on;
}

std::map<std::string, std::string> ParseConfigText(std::string_view text,
                                                   std::vector<std::string>* notes) {
  std::map<std::string, std::string> values;
  std::set<std::string> unknown_reported;
  // A file of junk would give a note per line; the first few tell the user enough.
  constexpr size_t kMaxNotes = 20;
  size_t noted = 0;
  auto note = [&](size_t line, const std::string& what) {
    if (notes == nullptr) return;
    if (noted < kMaxNotes) notes->push_back(LineNote(line, what));
    if (noted == kMaxNotes) notes->push_back("more lines ignored; the rest are not listed");
    ++noted;
  };
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    text.remove_prefix(kByteOrderMark.size());
  }
  size_t line_number = 0;
  while (!text.empty()) {
    ++line_number;
    size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    line = Trim(line);
    if (line.empty() || line.front() == '#') continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      note(line_number, "no '=' in " + Quote(line) + "; ignored");
      continue;
    }
    std::string_view key = Trim(line.substr(0, eq));
    std::string_view value = Trim(line.substr(eq + 1));
    if (key.empty()) {
      note(line_number, "no key before '='; ignored");
      continue;
    }
    std::string lower = Lower(key);
    switch (ConfigKeyKindOf(lower)) {
      case ConfigKeyKind::kUnknown:
        if (unknown_reported.insert(lower).second) {
          note(line_number, "unknown key " + Quote(key) + " (misspelt?); ignored");
        }
        continue;
      case ConfigKeyKind::kText:
        break;
      case ConfigKeyKind::kNumber: {
        long n = 0;
        if (!ParseDecimal(value, &n)) {
          note(line_number, Quote(key) + " takes a whole decimal number, not " + Quote(value) +
                                "; ignored");
          continue;
        }
        break;
      }
      case ConfigKeyKind::kSwitch: {
        bool on = false;
        if (!ParseSwitch(value, &on)) {
          note(line_number, Quote(key) + " takes 1/0, yes/no, true/false or on/off, not " +
                                Quote(value) + "; ignored");
          continue;
        }
        break;
      }
      case ConfigKeyKind::kDrive: {
        uint32_t type = 0;
        std::string directory;
        if (!ParseDriveSetting(std::string(value), &type, &directory)) {
          note(line_number, Quote(key) + " takes \"cdrom <directory>\", \"cdrom\" or " +
                                "\"fixed <directory>\", not " + Quote(value) + "; ignored");
          continue;
        }
        break;
      }
    }
    values[std::move(lower)] = std::string(value);
  }
  return values;
}

std::string DefaultConfigPath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/tamvik/tamvik.conf";
  const char* home = std::getenv("HOME");
  return std::string(home ? home : ".") + "/.config/tamvik/tamvik.conf";
}

bool TraceWanted(const Config* config) {
  bool on = false;
  const char* env = std::getenv("TAMVIK_TRACE");
  if (env != nullptr && ParseSwitch(env, &on)) return on;
  return config != nullptr && config->GetSwitch("Trace", false);
}

FileConfig::FileConfig(std::string path) : path_(std::move(path)) {
  // Whatever is not a regular file is refused before it is opened (opening a device may act on
  // it); the open is non-blocking too, so that a named pipe put there in between cannot hold the
  // start-up, and the opened file is checked again.
  struct stat st;
  if (::stat(path_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    problem_ = "cannot read the settings file " + path_ + ": not a regular file";
    return;
  }
  int fd;
  do {
    fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int open_errno = errno;
    if (open_errno == ENOENT || open_errno == ENOTDIR) {
      problem_ = "no settings file at " + path_;
    } else {
      problem_ = "cannot read the settings file " + path_ + ": " + std::strerror(open_errno);
    }
    return;
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    problem_ = "cannot read the settings file " + path_ + ": not a regular file";
    ::close(fd);
    return;
  }
  std::string text;
  text.resize(kMaxSize + 1);
  size_t got = 0;
  bool failed = false;
  int read_errno = 0;
  while (got < text.size()) {
    ssize_t n = ::read(fd, text.data() + got, text.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      failed = true;
      read_errno = errno;
      break;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  if (failed) {
    problem_ = "cannot read the settings file " + path_ + ": " + std::strerror(read_errno);
    return;
  }
  if (got > kMaxSize) {
    problem_ = "the settings file " + path_ + " is larger than " +
               std::to_string(kMaxSize / 1024) + " KiB; it was not read";
    return;
  }
  text.resize(got);
  present_ = true;
  std::vector<std::string> notes;
  values_ = ParseConfigText(text, &notes);
  for (std::string& n : notes) notes_.push_back(path_ + ", " + n);
}

std::optional<std::string> FileConfig::Get(std::string_view key) const {
  auto it = values_.find(Lower(key));
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> MemoryConfig::Get(std::string_view key) const {
  if (!present_) return std::nullopt;
  auto it = values_.find(Lower(key));
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void MemoryConfig::Set(std::string_view key, std::string value) {
  values_[Lower(key)] = std::move(value);
  present_ = true;
}

void MemoryConfig::Erase(std::string_view key) { values_.erase(Lower(key)); }

}  // namespace platform
