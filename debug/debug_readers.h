#pragma once
// The debug menu's readers: the name lists UnitBG.DEF and UnitAnm.DEF, the message test file
// LipSync.DEF and the scene message table the message test loads. Every reader takes any bytes:
// names, lines and texts are bounded by the buffer, and input that does not hold together is
// refused with a trace.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The longest name taken from a DEF list (a path inside the install directory).
inline constexpr size_t kDefNameMax = 255;
// The largest file the debug readers load whole.
inline constexpr size_t kDebugFileMax = 1u << 20;

// The name number `index` (from 0) of a text of names separated by white space (space, tab, CR,
// LF). False, with a trace, when the text ends first, the index is negative or the name is longer
// than kDefNameMax.
bool DefNameAt(const uint8_t* data, size_t size, int index, std::string* name);

// A message of LipSync.DEF.
struct LipSyncEntry {
  std::string text;      // the text before "\E", each line break inside it "$$"
  int32_t voice = -1;    // -1 no voice (0 in the file), 65535 in the file is voice 0
  bool has_lip = false;  // a lip line followed the voice line
  std::string lip;       // the lip line, without its line break
};

// The longest text and lip line taken from LipSync.DEF.
inline constexpr size_t kLipTextMax = 4096;
inline constexpr size_t kLipLineMax = 1024;

// Parses LipSync.DEF: lines starting with ';' are comments; the first other line starts the text,
// which runs up to "\E" (the rest of that line is ignored); after more comment lines a line with
// the decimal voice number (0-65535); then, unless the data ends or the next line starts with
// ';', the lip line. False, with a trace, when "\E" or the voice line is missing, or a text or
// line is longer than its limit.
bool ParseLipSync(const uint8_t* data, size_t size, LipSyncEntry* entry);

// Reads a whole file by the search order into `out` (at most kDebugFileMax bytes). False, with a
// trace, when it does not open, a read fails or it is larger than the limit.
bool ReadDebugFile(const char* name, std::vector<uint8_t>* out);

// The name number `index` of the DEF file `file` ("Can't open '<file>'.\n" when it does not
// open). False when there is none.
bool ReadDefName(const char* file, int index, std::string* name);
