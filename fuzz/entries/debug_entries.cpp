// The debug menu's readers: the DEF name lists and LipSync.DEF.

#include <string>
#include <vector>

#include "debug/debug_readers.h"
#include "fuzz/entries/entry_support.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_seeds.h"
#include "testsupport/debug_files.h"

namespace fuzz {

using detail::ByteAt;
using detail::Check;

namespace {
constexpr const char* kDefName = "def_names";
constexpr const char* kLipName = "lip_sync";

bool Space(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

// Input: control (byte 0: the index), then the DEF text. Rules: the name is the index-th word of
// a plain split at white space when that exists and fits kDefNameMax; refused otherwise.
void DefNamesEntry(const uint8_t* data, size_t size) {
  const std::vector<Bytes> parts = SplitParts(data, size, 2);
  const int index = ByteAt(parts[0], 0);
  const Bytes& text = parts[1];
  std::vector<std::string> words;
  std::string word;
  for (uint8_t c : text) {
    if (Space(c)) {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += static_cast<char>(c);
    }
  }
  if (!word.empty()) words.push_back(word);
  std::string name = "unset";
  const bool ok = DefNameAt(text.data(), text.size(), index, &name);
  const bool expected =
      static_cast<size_t>(index) < words.size() && words[static_cast<size_t>(index)].size() <= kDefNameMax;
  Check(ok == expected, kDefName, "found a name the split does not give, or missed one");
  if (ok && expected) Check(name == words[static_cast<size_t>(index)], kDefName, "another name");
  if (!ok) Check(name == "unset", kDefName, "a refused look-up changed the name");
}

// Input: the LipSync.DEF text. Rules for a message read: text and lip line within their limits
// and without line breaks, the voice -1 to 65534.
void LipSyncDefEntry(const uint8_t* data, size_t size) {
  ::LipSyncEntry entry;
  if (!ParseLipSync(data, size, &entry)) return;
  Check(entry.text.size() <= kLipTextMax, kLipName, "text past its limit");
  Check(entry.lip.size() <= kLipLineMax, kLipName, "lip line past its limit");
  Check(entry.text.find('\n') == std::string::npos, kLipName, "a line break in the text");
  Check(entry.lip.find('\n') == std::string::npos, kLipName, "a line break in the lip line");
  Check(entry.voice >= -1 && entry.voice <= 65534, kLipName, "voice out of range");
  Check(entry.has_lip || entry.lip.empty(), kLipName, "lip text without a lip line");
}

std::vector<Bytes> DefNamesSeeds() {
  const Bytes names = testsupport::DefFile({"a.spr", "tamvik1\\unit\\b.spr", "c", "d", "e", "f",
                                            "g", "h", "i", "tenth.spr"});
  return {JoinParts({{9}, names}), JoinParts({{0}, testsupport::DefFile({"x"}, " ")}),
          JoinParts({{3}, Bytes{' ', '\t', 'a'}})};
}

std::vector<Bytes> LipSyncSeeds() {
  const std::string lip = "012345";
  return {testsupport::LipSyncFile({"line one", "line two"}, 12, &lip),
          testsupport::LipSyncFile({"one"}, 65535, nullptr, ";end\r\n"),
          testsupport::LipSyncFile({"one"}, 0, &lip)};
}

}  // namespace fuzz
