#include "engine/files/text_file.h"

#include "engine/core/debug_trace.h"
#include "engine/files/file_io.h"

void CTextFile::Reset() {
  text_.clear();
  text_.shrink_to_fit();
  position_ = 0;
  open_ = false;
  failed_ = false;
}

int CTextFile::Open(const char* name) {
  Reset();
  FileIO& io = files_;
  const FileHandle handle = io.Open(name, FileMode::kRead, kSearchAll, 1);
  if (handle == kInvalidFile) return 0;
  uint32_t size = io.GetSize(handle);
  text_.resize(size);
  uint32_t got = 0;
  if (size > 0 && !io.Read(handle, text_.data(), size, &got)) got = 0;
  // The whole text is in memory now: the file is not needed any more.
  io.Close(handle);
  if (got != size) {
    // The text is built over the bytes that were actually read.
    DebugPrint("CTextFile::Open: %s: read %u of %u bytes\n", name, got, size);
    text_.resize(got);
  }
  position_ = 0;
  open_ = true;
  failed_ = false;
  return 1;
}

int CTextFile::IsEnd() const { return (!open_ || failed_) ? 1 : 0; }

char* CTextFile::GetLine(char* buffer, int maximum) {
  if (buffer == nullptr || maximum <= 0) {
    failed_ = true;
    return buffer;
  }
  buffer[0] = '\0';
  if (!open_ || failed_) {
    failed_ = true;
    return buffer;
  }
  if (maximum == 1 || position_ >= text_.size()) {
    // Nothing left (or no room for even one character, which would never make progress).
    failed_ = true;
    return buffer;
  }
  int stored = 0;
  while (stored < maximum - 1 && position_ < text_.size()) {
    char c = text_[position_];
    if (c == '\n') break;
    buffer[stored++] = c;
    ++position_;
  }
  buffer[stored] = '\0';
  if (stored < maximum - 1 && position_ < text_.size()) ++position_;  // the line feed
  return buffer;
}
