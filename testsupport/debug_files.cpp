#include "testsupport/debug_files.h"

namespace testsupport {

std::vector<uint8_t> DefFile(const std::vector<std::string>& names, const std::string& separator) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i != 0) text += separator;
    text += names[i];
  }
  text += "\r\n";
  return {text.begin(), text.end()};
}

std::vector<uint8_t> LipSyncFile(const std::vector<std::string>& text_lines, int voice,
                                 const std::string* lip, const std::string& trailer) {
  std::string text = ";message test\r\n";
  for (size_t i = 0; i < text_lines.size(); ++i) {
    if (i != 0) text += "\r\n";
    text += text_lines[i];
  }
  text += "\\E\r\n;voice\r\n" + std::to_string(voice) + "\r\n";
  if (lip != nullptr) text += *lip + "\r\n";
  text += trailer;
  return {text.begin(), text.end()};
}

}  // namespace testsupport
