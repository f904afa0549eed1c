#pragma once
// The debug menu's text files for tests and fuzz seeds: a DEF list of names and a LipSync.DEF.

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// The names separated by `separator` (any white space), with a final line break.
std::vector<uint8_t> DefFile(const std::vector<std::string>& names, const std::string& separator = "\r\n");

// A LipSync.DEF: a comment, the text lines (joined by CR LF) ended by "\E", a comment, the voice
// number and, when `lip` is given, the lip line; `trailer` follows (e.g. a closing comment).
std::vector<uint8_t> LipSyncFile(const std::vector<std::string>& text_lines, int voice,
                                 const std::string* lip, const std::string& trailer = "");

}  // namespace testsupport
