#pragma once
// A files seam that passes every call to a real one and fails the ones a test picks: a full disc
// (writes fail, or write only part of what they were given and then fail), reads that start
// failing after a number of good ones (a disc taken out while a file streams), opens for reading
// or writing refused, copies refused, the last step of a whole-file save (the rename over the old
// file) refused, directories that cannot be made or read, and no host paths.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/files.h"

namespace testsupport {

class FaultyFiles final : public platform::Files {
 public:
  explicit FaultyFiles(platform::Files& real) : real_(real) {}

  // What tests set.
  bool write_open_fails = false;
  // Opens for reading refused (a file that is there but cannot be opened).
  bool read_open_fails = false;
  // A full disc: every write stores at most `disk_room` more bytes in total, then fails.
  bool disk_full = false;
  uint64_t disk_room = 0;
  // Reads fail once this many have succeeded (-1: never).
  int reads_before_failure = -1;
  bool copy_fails = false;
  // A whole-file save whose rename is refused: its temporary file is dropped, the old file stays.
  bool rename_fails = false;
  bool make_directory_fails = false;
  bool no_host_paths = false;
  // Directories exist but cannot be listed or entered (as for another user's private folder).
  bool directories_unreadable = false;

  // What tests read.
  int writes = 0;
  int failed_writes = 0;
  int failed_reads = 0;
  // Every path opened, in order (a log of what the program read and wrote, and when).
  std::vector<std::string> opened;

  uint32_t LogicalDrives() override { return real_.LogicalDrives(); }
  uint32_t DriveType(int index) override { return real_.DriveType(index); }
  intptr_t Open(const char* path, bool write) override {
    opened.push_back(path != nullptr ? path : "");
    if (write ? write_open_fails : read_open_fails) return -1;
    return real_.Open(path, write);
  }
  bool Close(intptr_t handle) override { return real_.Close(handle); }
  int64_t Size(intptr_t handle) override { return real_.Size(handle); }
  bool Read(intptr_t handle, void* buffer, uint32_t count, uint32_t* bytes_read) override {
    if (reads_before_failure == 0) {
      ++failed_reads;
      if (bytes_read != nullptr) *bytes_read = 0;
      return false;
    }
    if (reads_before_failure > 0) --reads_before_failure;
    return real_.Read(handle, buffer, count, bytes_read);
  }
  bool Write(intptr_t handle, const void* buffer, uint32_t count) override {
    ++writes;
    if (!disk_full) return real_.Write(handle, buffer, count);
    const auto part = static_cast<uint32_t>(std::min<uint64_t>(count, disk_room));
    disk_room -= part;
    if (part > 0) real_.Write(handle, buffer, part);
    if (part == count) return true;
    ++failed_writes;
    return false;
  }
  int64_t Seek(intptr_t handle, int64_t distance, int method) override {
    return real_.Seek(handle, distance, method);
  }
  bool LastWriteTime(intptr_t handle, platform::LocalTime* out) override {
    return real_.LastWriteTime(handle, out);
  }
  bool IsFile(const char* path) override { return real_.IsFile(path); }
  Kind KindOf(const char* path) override { return real_.KindOf(path); }
  bool DirectoryReadable(const char* path) override {
    return !directories_unreadable && real_.DirectoryReadable(path);
  }
  std::string WorkingDirectory() override { return real_.WorkingDirectory(); }
  bool HostPath(const char* path, std::string* out) override {
    return !no_host_paths && real_.HostPath(path, out);
  }
  bool Copy(const char* source, const char* target, bool overwrite) override {
    return !copy_fails && real_.Copy(source, target, overwrite);
  }
  bool Delete(const char* path) override { return real_.Delete(path); }
  bool MakeDirectory(const char* path) override {
    return !make_directory_fails && real_.MakeDirectory(path);
  }
  // A whole-file save needs room for all of it (its temporary file is written first).
  bool Replace(const char* path, const void* data, uint32_t size,
               std::string* warning = nullptr) override {
    ++writes;
    if (write_open_fails || rename_fails) return false;
    if (disk_full) {
      if (disk_room < size) {
        ++failed_writes;
        return false;
      }
      disk_room -= size;
    }
    return real_.Replace(path, data, size, warning);
  }

 private:
  platform::Files& real_;
};

}  // namespace testsupport
