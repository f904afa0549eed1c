#pragma once
// The file layer. Every data file of the game is named by a relative path with backslashes
// (for example "save\system.dat"); the layer finds such a name in a fixed search order: the name
// itself, under the install directory, on the CD drive where the last file was found, and on
// every CD drive. It also tells which game disc sits in which drive (marker files at the disc
// root) and wraps the few file operations the rest of the program uses.
//
// Handles are the files seam's handles (platform/files.h); kInvalidFile means nothing was opened.
// Every operation on kInvalidFile (or on a handle that is not open) fails cleanly and leaves the
// caller's buffers untouched.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include <utility>

namespace platform {
struct Platform;
}

using FileHandle = intptr_t;
constexpr FileHandle kInvalidFile = -1;

// A distinct type, so that Open(path, 1) cannot compile as a write open.
enum class FileMode : int { kRead = 0, kWrite = 1 };

// Search places, bit flags.
enum FileSearchFlags : uint32_t {
  kSearchSelf = 1,     // the name itself (relative to the working directory, or absolute)
  kSearchInstall = 2,  // the install directory followed by the name
  kSearchDrives = 4,   // the previous CD drive, then every mounted CD drive
  kSearchAll = 7,
};

// Seek methods.
constexpr int kSeekStart = 0;
constexpr int kSeekCurrent = 1;
constexpr int kSeekEnd = 2;
// What Seek returns when it fails.
constexpr uint32_t kSeekFailed = 0xFFFFFFFFu;

// Full paths are built in buffers of this size: prefix and name must fit in kPathMax - 1 bytes.
constexpr size_t kPathMax = 256;

// Drive type values of the drive records (as the files seam reports them).
constexpr uint32_t kDriveTypeCdrom = 5;

class FileIO {
 public:
  // One record per drive letter A to Z.
  struct DriveRec {
    uint32_t type = 0;     // the drive's type at the last scan (kDriveTypeCdrom for a CD drive)
    uint32_t mounted = 0;  // CD drive whose letter was present at the last scan
    std::string root;      // "X:\" for a CD drive, empty otherwise
    int32_t disc = 0;      // -1 not examined, 0 no marker, 1..3 the disc whose marker is at root
  };
  static constexpr int kDriveCount = 26;

  explicit FileIO(platform::Platform& seams);
  FileIO(const FileIO&) = delete;
  FileIO& operator=(const FileIO&) = delete;

  // The install directory is used by plain concatenation, so it normally ends with a separator.
  // A null argument changes nothing.
  void SetInstallDir(const char* dir);
  const char* GetInstallDir() const;  // null when none is set
  void SetInstallStyle(uint32_t style);
  uint32_t GetInstallStyle() const;

  // Opens by the search order; with error_flag 1 a miss shows the fatal box (ShowNotFound).
  FileHandle Open(const char* name, FileMode mode = FileMode::kRead, uint32_t places = kSearchAll,
                  int error_flag = 0);
  // The short form: read, all places, with the given error flag.
  FileHandle Open(const char* name, int error_flag);
  // Open(name, kWrite, kSearchInstall, 0): save files, install directory only.
  FileHandle OpenWrite(const char* name);
  // One open attempt of exactly that path. Write mode creates a missing file and never truncates.
  FileHandle FileOpen(const char* path, FileMode mode);
  // The three search steps of an open.
  FileHandle FileOpenInst(const char* name, FileMode mode);
  FileHandle FileOpenPrev(const char* name, FileMode mode);
  FileHandle FileOpenDrive(const char* name, FileMode mode);

  // Writes the full path of the first place where the name exists into `out` (kPathMax bytes);
  // 1 found, 0 not.
  int FindFile(const char* name, char* out, uint32_t places);
  int FindFileAll(const char* name, char* out);
  int Exist(const char* name, uint32_t places = kSearchAll);
  // Whether exactly that path names an existing regular file.
  int ExistPath(const char* path);

  int Close(FileHandle handle);  // nonzero on success
  uint32_t GetSize(FileHandle handle);  // 0 for an invalid handle
  // Reads up to count bytes; nonzero on success (a short read at the end of the file is a
  // success). `bytes_read`, when given, receives the number of bytes read (0 on failure).
  int Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* bytes_read = nullptr);
  // Reads until `count` bytes are in or the file ends (a file may give less per read than
  // asked): the bytes read; *failed (when given) is set when a read failed, which ends it.
  size_t ReadFully(FileHandle handle, uint8_t* buffer, size_t count, bool* failed = nullptr);
  int Write(FileHandle handle, const void* buffer, uint32_t count);  // nonzero when all written
  // New position (low 32 bits), or kSeekFailed.
  uint32_t Seek(FileHandle handle, int32_t distance, int method);

  // Rebuilds the 26 drive records and their disc numbers; returns 1.
  int ScanDrives();
  // The marker of one drive: 1..3, 0 none, -1 not a mounted CD drive.
  int GetDiscNo(int drive);
  // The disc in the first CD drive holding one (want 0), or `want` when some drive holds it;
  // -1 when none. Reports the state of the last scan.
  int FindDisc(int want);

  // "YYYY/MM/DD hh:mm" of the last-write time in local time; 1, or 0 (out untouched).
  int GetFileTimeText(FileHandle handle, char* out);
  // Copy and delete inside the install directory; nonzero on success.
  int CopyFile(const char* src, const char* dst, int overwrite);
  int DeleteFile(const char* name);
  // Writes a whole save file inside the install directory so that it is never lost: the bytes
  // replace the old file in one step, and on any failure the old file stays. Folders of the
  // name that are missing under the install directory are made first. 1 done, 0 not.
  int SaveFile(const char* name, const void* data, uint32_t size);

  // The fatal box for a missing file, then the window is asked to close. Its text (UTF-8): the
  // first line, the file's name, the last line.
  static constexpr const char* kNotFoundFirstLine = "没有找到以下的档案。";
  static constexpr const char* kNotFoundLastLine = "请重新安装游戏。";
  void ShowNotFound(const char* name);
  // Runs before the fatal box so that it shows over a full-screen display, with the cursor (the
  // engine context flips the display to the desktop and shows the cursor).
  void SetBeforeFatalBox(std::function<void()> hook) { before_fatal_box_ = std::move(hook); }

  // Observation for tests and the debug menu.
  const DriveRec& drive(int index) const { return drives_[index]; }
  int previous_open_drive() const { return previous_open_drive_; }
  int previous_find_drive() const { return previous_find_drive_; }
  uint32_t scan_count() const { return scan_count_; }

 private:
  // prefix + name into out (kPathMax bytes); false (with a trace) when it does not fit.
  static bool JoinPath(const char* prefix, const char* name, char* out);
  bool DriveUsable(int drive) const;
  // Why a name did not open in those places: what stands at the first of its paths that holds
  // something (a directory, a pipe or device, a file that cannot be opened); "not found" when
  // none does.
  std::string WhyNotOpened(const char* name, uint32_t places);
  // The path a handle was opened with, for traces ("handle N" for one not opened here).
  std::string NameOf(FileHandle handle) const;

  platform::Platform& seams_;
  std::function<void()> before_fatal_box_;
  std::string install_dir_;
  bool has_install_dir_ = false;
  uint32_t install_style_ = 0;
  int previous_open_drive_ = -1;
  int previous_find_drive_ = -1;
  uint32_t scan_count_ = 0;
  DriveRec drives_[kDriveCount];
  // The name each open file was opened by, for traces; a closed file's slot has kInvalidFile and
  // is reused.
  struct OpenName {
    FileHandle handle = kInvalidFile;
    std::string name;
  };
  std::vector<OpenName> open_names_;
};
