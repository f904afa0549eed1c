#pragma once
// The files-and-drives seam: opening, reading, writing and querying files named the way the game
// names them, and the table of 26 drive letters that stands for the machine's drives.
//
// Paths: both backslash and slash separate segments. "X:\rest" starts at the directory that
// stands for drive X; "/rest" is an absolute host path; anything else is relative to the working
// directory (the process's current directory unless one is set). Every segment matches the
// directory's entries case-insensitively (ASCII letters): the data mixes "Movie\" and "movie\",
// "SE.TAB" and "se.tab". An exact-case entry always wins over a folded match. A ".." at a
// drive's root stays at the root, so a path on a drive never leads out of its directory. Only
// regular files open (a named pipe or a device is refused without being opened).
//
// Drive table: each of the 26 entries has a type (the system's drive-type values: 1 no drive,
// 3 fixed, 5 CD-ROM), a present bit (the letter is in the logical-drives mask) and a host
// directory standing for the drive's root. A present CD entry whose directory is empty or missing
// is a CD drive without a disc: it is listed, but nothing opens on it.
//
// Handles are small non-negative integers; -1 means none. Operations on a handle that is not
// open fail without touching the caller's buffers.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

class Config;

constexpr uint32_t kDriveNoRoot = 1;   // no such drive
constexpr uint32_t kDriveFixed = 3;    // a hard disc
constexpr uint32_t kDriveCdrom = 5;    // a CD-ROM drive

// Calendar fields of a time, in local time.
struct LocalTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

class Files {
 public:
  virtual ~Files() = default;

  // Bit i set when drive letter 'A' + i is present.
  virtual uint32_t LogicalDrives() = 0;
  // The type of drive index 0..25 (kDriveNoRoot for an unknown letter).
  virtual uint32_t DriveType(int index) = 0;

  // Read: the file must exist and be a regular file. Write: the file is created when missing
  // (its directory must exist) and never truncated; writing starts at the beginning.
  virtual intptr_t Open(const char* path, bool write) = 0;
  virtual bool Close(intptr_t handle) = 0;
  // Size in bytes, or -1.
  virtual int64_t Size(intptr_t handle) = 0;
  // Reads up to count bytes; false on error. A read at the end of the file reads fewer (or 0).
  virtual bool Read(intptr_t handle, void* buffer, uint32_t count, uint32_t* bytes_read) = 0;
  // Writes all count bytes; false when not all could be written.
  virtual bool Write(intptr_t handle, const void* buffer, uint32_t count) = 0;
  // Moves the position (method 0 from start, 1 from current, 2 from end); the new position, or
  // -1 (a position before the start is refused).
  virtual int64_t Seek(intptr_t handle, int64_t distance, int method) = 0;
  // Last-write time of an open file, in local time.
  virtual bool LastWriteTime(intptr_t handle, LocalTime* out) = 0;

  // Whether the path names an existing regular file.
  virtual bool IsFile(const char* path) = 0;
  // What the path names (links followed); kMissing also when a directory on the way is missing.
  enum class Kind { kMissing, kFile, kDirectory, kOther };
  virtual Kind KindOf(const char* path) { return IsFile(path) ? Kind::kFile : Kind::kMissing; }
  // Whether the directory the path names can be listed and entered by this program.
  virtual bool DirectoryReadable(const char* path) { return KindOf(path) == Kind::kDirectory; }
  // The host directory relative paths resolve in, for messages; empty when unknown.
  virtual std::string WorkingDirectory() { return {}; }
  // The host path a game path stands for (for services that open files themselves, such as the
  // movie decoder). When the last segment does not exist the result ends with the name as given.
  // False when a directory on the way is missing, the drive has no directory, or the path is
  // empty or ends with a separator. A service without host paths answers false.
  virtual bool HostPath(const char* /*path*/, std::string* /*out*/) { return false; }
  // Copies a regular file. With overwrite false an existing target makes it fail. Copying a
  // file onto itself fails and leaves it intact. The target keeps the source's last-write time.
  virtual bool Copy(const char* source, const char* target, bool overwrite) = 0;
  // Deletes a regular file.
  virtual bool Delete(const char* path) = 0;
  // Makes the directory the path names (its parent must exist). True when it was made or
  // already is a directory; false when something else stands there or it cannot be made.
  virtual bool MakeDirectory(const char* path) = 0;
  // Replaces a whole file with `size` bytes: they go to a temporary file beside it, which then
  // takes the file's place in one step, so on any failure the old file stays as it was. The new
  // contents are on the disc, and the directory entry too, before it returns true. A file that
  // is a symbolic link is written through to the file it points to (the link stays); a replaced
  // file keeps its permission bits; a new one gets 0666 less the umask. Temporary files that a
  // killed process left in that directory are removed. A replaced file whose mode denies its
  // owner reading or writing gets the new-file mode instead. When everything but the final sync
  // of the directory succeeded the save stands (true) and `warning` (when given) says what
  // failed; otherwise it is left empty.
  virtual bool Replace(const char* path, const void* data, uint32_t size,
                       std::string* warning = nullptr) = 0;
};

// The portable implementation on POSIX calls, used by the headless backend and the real program.
class PosixFiles final : public Files {
 public:
  struct Drive {
    uint32_t type = kDriveNoRoot;
    bool present = false;
    std::string directory;  // host directory standing for the root; may be empty
  };

  PosixFiles();
  ~PosixFiles() override;
  PosixFiles(const PosixFiles&) = delete;
  PosixFiles& operator=(const PosixFiles&) = delete;

  // Sets one drive entry (index 0..25). Setting a type other than kDriveNoRoot makes it present.
  void SetDrive(int index, uint32_t type, std::string directory);
  void ClearDrive(int index);
  const Drive& drive(int index) const { return drives_[index]; }
  // Fills the table from the settings keys "Drive A" .. "Drive Z" (values as ParseDriveSetting
  // reads them). Letters without a key are left as they are; a key that cannot be read is
  // skipped. Returns the number of drives set.
  int LoadDrives(const Config& config);
  // Relative paths resolve under this directory; empty: the process's current directory.
  void SetWorkingDirectory(std::string directory);
  // Drops every cached directory listing.
  void ForgetListings();

  uint32_t LogicalDrives() override;
  uint32_t DriveType(int index) override;
  intptr_t Open(const char* path, bool write) override;
  bool Close(intptr_t handle) override;
  int64_t Size(intptr_t handle) override;
  bool Read(intptr_t handle, void* buffer, uint32_t count, uint32_t* bytes_read) override;
  bool Write(intptr_t handle, const void* buffer, uint32_t count) override;
  int64_t Seek(intptr_t handle, int64_t distance, int method) override;
  bool LastWriteTime(intptr_t handle, LocalTime* out) override;
  bool IsFile(const char* path) override;
  Kind KindOf(const char* path) override;
  bool DirectoryReadable(const char* path) override;
  std::string WorkingDirectory() override;
  bool HostPath(const char* path, std::string* out) override;
  bool Copy(const char* source, const char* target, bool overwrite) override;
  bool Delete(const char* path) override;
  bool MakeDirectory(const char* path) override;
  bool Replace(const char* path, const void* data, uint32_t size,
               std::string* warning = nullptr) override;

  // The call that puts a file's or a directory's data on the disc (fsync); tests put one in its
  // place that fails as a faulty disc would. Null restores fsync.
  using SyncCall = int (*)(int fd);
  void SetSyncCall(SyncCall call) { sync_ = call; }

 private:
  struct Impl;
  // Resolves like HostPath; `found` tells whether the last segment exists, `parent` receives
  // the host directory holding it.
  bool Resolve(const char* path, std::string* out, bool* found, std::string* parent);
  // The entry of `dir` matching `name`: exact first, then case-folded through the listing cache.
  bool MatchEntry(std::string_view dir, std::string_view name, std::string* entry);
  bool IsOpen(intptr_t handle) const;

  Drive drives_[26];
  std::string working_directory_;
  SyncCall sync_ = nullptr;  // null: fsync
  std::unique_ptr<Impl> impl_;
};

// A fresh directory of this user's own (mode 0700, a new name made by mkdtemp) under $TMPDIR,
// else /tmp, for files a program writes for itself: no other user can put a link or a file of the
// same name there first. Removed, with the files in it, when the object dies.
class PrivateTempDirectory {
 public:
  PrivateTempDirectory();
  ~PrivateTempDirectory();
  PrivateTempDirectory(const PrivateTempDirectory&) = delete;
  PrivateTempDirectory& operator=(const PrivateTempDirectory&) = delete;
  // Empty when it could not be made.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The settings text of one drive key, "cdrom <dir>", "fixed <dir>" or "cdrom" (a CD drive
// without a disc); false when it is not one of these.
bool ParseDriveSetting(const std::string& text, uint32_t* type, std::string* directory);

}  // namespace platform
