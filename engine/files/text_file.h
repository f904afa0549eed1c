#pragma once
// Whole-file text reader: reads a file found by the full search order into memory and hands it
// out one line at a time (the battle text tables).

#include <cstddef>
#include <cstdint>
#include <string>

class FileIO;

class CTextFile {
 public:
  // The text is read through `files`.
  explicit CTextFile(FileIO& files) : files_(files) {}
  ~CTextFile() = default;
  CTextFile(const CTextFile&) = delete;
  CTextFile& operator=(const CTextFile&) = delete;

  // Reads the whole file (all places, error flag 1: a miss shows the fatal box). 1 or 0.
  int Open(const char* name);
  // 1 when nothing is open or a read has failed.
  int IsEnd() const;
  // Reads the next line into buffer (maximum bytes including the NUL). The line feed is consumed
  // and not stored; a carriage return stays. When maximum - 1 bytes are stored before a line
  // feed, the read stops there and the rest of the line is what the next call returns. When
  // nothing is left, the buffer is empty and IsEnd becomes 1. Returns buffer.
  char* GetLine(char* buffer, int maximum);

 private:
  void Reset();

  FileIO& files_;
  std::string text_;    // the bytes actually read
  size_t position_ = 0;
  bool open_ = false;   // a file was read
  bool failed_ = false;
};
