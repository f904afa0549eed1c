#include "platform/config.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

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

}  // namespace

long Config::GetInt(std::string_view key, long fallback) const {
  auto value = Get(key);
  if (!value || value->empty()) return fallback;
  char* end = nullptr;
  long n = std::strtol(value->c_str(), &end, 0);
  if (end == value->c_str() || !Trim(end).empty()) return fallback;
  return n;
}

std::map<std::string, std::string> ParseConfigText(std::string_view text) {
  std::map<std::string, std::string> values;
  while (!text.empty()) {
    size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    line = Trim(line);
    if (line.empty() || line.front() == '#') continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view key = Trim(line.substr(0, eq));
    if (key.empty()) continue;
    values[Lower(key)] = std::string(Trim(line.substr(eq + 1)));
  }
  return values;
}

std::string DefaultConfigPath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/tamvik/tamvik.conf";
  const char* home = std::getenv("HOME");
  return std::string(home ? home : ".") + "/.config/tamvik/tamvik.conf";
}

FileConfig::FileConfig(std::string path) : path_(std::move(path)) {
  std::ifstream in(path_, std::ios::binary);
  if (!in) return;
  std::ostringstream text;
  text << in.rdbuf();
  present_ = true;
  values_ = ParseConfigText(text.str());
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
