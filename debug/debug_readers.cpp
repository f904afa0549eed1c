#include "debug/debug_readers.h"

#include <cstring>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/files/file_io.h"

namespace {

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A cursor over the bytes that hands out lines without their CR LF or LF.
class LineReader {
 public:
  LineReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool AtEnd() const { return pos_ >= size_; }
  // The first byte of the next line (0 at the end).
  uint8_t Peek() const { return AtEnd() ? 0 : data_[pos_]; }
  // The next line (start and length, line break excluded); the cursor moves past its break.
  void Next(const uint8_t** start, size_t* length) {
    const size_t begin = pos_;
    while (pos_ < size_ && data_[pos_] != '\n') ++pos_;
    size_t end = pos_;
    if (pos_ < size_) ++pos_;  // the LF
    if (end > begin && data_[end - 1] == '\r') --end;
    *start = data_ + begin;
    *length = end - begin;
  }
  // Skips the lines starting with ';'.
  void SkipComments() {
    const uint8_t* start;
    size_t length;
    while (!AtEnd() && Peek() == ';') Next(&start, &length);
  }
  size_t pos() const { return pos_; }
  void set_pos(size_t pos) { pos_ = pos; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace

bool DefNameAt(const uint8_t* data, size_t size, int index, std::string* name) {
  if (index < 0 || (data == nullptr && size != 0)) {
    DebugPrint("DEF: name %d is not there\n", index);
    return false;
  }
  size_t pos = 0;
  for (int n = 0;; ++n) {
    while (pos < size && IsSpace(data[pos])) ++pos;
    if (pos >= size) {
      DebugPrint("DEF: name %d is past the last (%d names)\n", index, n);
      return false;
    }
    const size_t begin = pos;
    while (pos < size && !IsSpace(data[pos])) ++pos;
    if (n == index) {
      if (pos - begin > kDefNameMax) {
        DebugPrint("DEF: name %d is longer than %zu bytes\n", index, kDefNameMax);
        return false;
      }
      name->assign(reinterpret_cast<const char*>(data + begin), pos - begin);
      return true;
    }
  }
}

bool ParseLipSync(const uint8_t* data, size_t size, LipSyncEntry* entry) {
  if (data == nullptr) size = 0;
  LipSyncEntry result;
  LineReader lines(data, size);
  lines.SkipComments();
  if (lines.AtEnd()) {
    DebugPrint("LipSync: no text\n");
    return false;
  }
  // The text: bytes up to "\E", line breaks (CR LF or LF) becoming "$$".
  size_t pos = lines.pos();
  bool ended = false;
  while (pos < size) {
    const uint8_t c = data[pos];
    if (c == '\\' && pos + 1 < size && data[pos + 1] == 'E') {
      ended = true;
      pos += 2;
      break;
    }
    size_t used = 1;
    if (c == '\n' || (c == '\r' && pos + 1 < size && data[pos + 1] == '\n')) {
      result.text += "$$";
      used = c == '\r' ? 2 : 1;
    } else {
      result.text += static_cast<char>(c);
    }
    if (result.text.size() > kLipTextMax) {
      DebugPrint("LipSync: text longer than %zu bytes\n", kLipTextMax);
      return false;
    }
    pos += used;
  }
  if (!ended) {
    DebugPrint("LipSync: the text has no end mark\n");
    return false;
  }
  // The rest of the end mark's line.
  lines.set_pos(pos);
  const uint8_t* start;
  size_t length;
  lines.Next(&start, &length);
  lines.SkipComments();
  if (lines.AtEnd()) {
    DebugPrint("LipSync: no voice line\n");
    return false;
  }
  lines.Next(&start, &length);
  size_t i = 0;
  while (i < length && (start[i] == ' ' || start[i] == '\t')) ++i;
  uint32_t voice = 0;
  size_t digits = 0;
  for (; i < length && start[i] >= '0' && start[i] <= '9'; ++i, ++digits) {
    voice = voice * 10 + static_cast<uint32_t>(start[i] - '0');
    if (voice > 65535) break;
  }
  if (digits == 0 || voice > 65535) {
    DebugPrint("LipSync: the voice line is not a number 0-65535\n");
    return false;
  }
  result.voice = voice == 0 ? -1 : (voice == 65535 ? 0 : static_cast<int32_t>(voice));
  if (!lines.AtEnd() && lines.Peek() != ';') {
    lines.Next(&start, &length);
    if (length > kLipLineMax) {
      DebugPrint("LipSync: lip line longer than %zu bytes\n", kLipLineMax);
      return false;
    }
    result.has_lip = true;
    result.lip.assign(reinterpret_cast<const char*>(start), length);
  }
  *entry = std::move(result);
  return true;
}

bool ReadDebugFile(const char* name, std::vector<uint8_t>* out) {
  FileIO& files = Ctx().file_io;
  const FileHandle handle = files.Open(name, 0);
  if (handle == kInvalidFile) return false;
  const uint32_t size = files.GetSize(handle);
  if (size > kDebugFileMax) {
    DebugPrint("%s: %u bytes, more than the debug readers take\n", name, size);
    files.Close(handle);
    return false;
  }
  std::vector<uint8_t> bytes(size);
  bool failed = false;
  const size_t got = files.ReadFully(handle, bytes.data(), bytes.size(), &failed);
  files.Close(handle);
  if (failed) {
    DebugPrint("%s: read failed\n", name);
    return false;
  }
  bytes.resize(got);
  *out = std::move(bytes);
  return true;
}

bool ReadDefName(const char* file, int index, std::string* name) {
  std::vector<uint8_t> bytes;
  if (!ReadDebugFile(file, &bytes)) {
    DebugPrint("Can't open '%s'.\n", file);
    return false;
  }
  return DefNameAt(bytes.data(), bytes.size(), index, name);
}
