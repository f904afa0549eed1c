#include "engine/files/file_io.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/debug_trace.h"
#include "platform/platform.h"

namespace {

// Size of the text GetFileTimeText writes, with its NUL: "YYYY/MM/DD hh:mm".
constexpr size_t kFileTimeTextSize = 17;

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

}  // namespace

FileIO::FileIO(platform::Platform& seams) : seams_(seams) {}

void FileIO::SetInstallDir(const char* dir) {
  if (dir == nullptr) return;
  install_dir_ = dir;
  has_install_dir_ = true;
}

const char* FileIO::GetInstallDir() const {
  return has_install_dir_ ? install_dir_.c_str() : nullptr;
}

void FileIO::SetInstallStyle(uint32_t style) { install_style_ = style; }

uint32_t FileIO::GetInstallStyle() const { return install_style_; }

bool FileIO::JoinPath(const char* prefix, const char* name, char* out) {
  size_t a = std::strlen(prefix);
  size_t b = std::strlen(name);
  if (a + b >= kPathMax) {
    DebugPrint("FileIO: path too long (%zu bytes): %s%s\n", a + b, prefix, name);
    return false;
  }
  std::memcpy(out, prefix, a);
  std::memcpy(out + a, name, b + 1);
  return true;
}

bool FileIO::DriveUsable(int drive) const {
  if (drive < 0 || drive >= kDriveCount) return false;
  const DriveRec& rec = drives_[drive];
  return rec.type == kDriveTypeCdrom && rec.mounted != 0 && !rec.root.empty();
}

FileHandle FileIO::FileOpen(const char* path, FileMode mode) {
  if (path == nullptr || seams_.files == nullptr) return kInvalidFile;
  const FileHandle handle = seams_.files->Open(path, mode == FileMode::kWrite);
  if (handle != kInvalidFile) {
    // A closed file's slot is taken again with its string, so a file opened in the middle of a
    // frame allocates nothing once as many have been open at a time.
    OpenName* slot = nullptr;
    for (OpenName& n : open_names_) {
      if (n.handle == handle || (slot == nullptr && n.handle == kInvalidFile)) slot = &n;
      if (n.handle == handle) break;
    }
    if (slot == nullptr) {
      slot = &open_names_.emplace_back();
      slot->name.reserve(kPathMax);
    }
    slot->handle = handle;
    slot->name.assign(path);
  }
  return handle;
}

std::string FileIO::NameOf(FileHandle handle) const {
  if (handle != kInvalidFile) {
    for (const OpenName& n : open_names_) {
      if (n.handle == handle) return n.name;
    }
  }
  return "handle " + std::to_string(handle);
}

std::string FileIO::WhyNotOpened(const char* name, uint32_t places) {
  platform::Files* files = seams_.files;
  if (files == nullptr) return "no file access";
  std::vector<std::string> paths;
  char path[kPathMax];
  if (places & kSearchSelf) paths.emplace_back(name);
  if ((places & kSearchInstall) && has_install_dir_ && JoinPath(install_dir_.c_str(), name, path)) {
    paths.emplace_back(path);
  }
  if (places & kSearchDrives) {
    for (int i = 0; i < kDriveCount; ++i) {
      if (DriveUsable(i) && JoinPath(drives_[i].root.c_str(), name, path)) paths.emplace_back(path);
    }
  }
  for (const std::string& p : paths) {
    switch (files->KindOf(p.c_str())) {
      case platform::Files::Kind::kMissing: continue;
      case platform::Files::Kind::kDirectory: return p + " is a directory";
      case platform::Files::Kind::kOther:
        return p + " is not a regular file (a pipe, socket or device)";
      case platform::Files::Kind::kFile:
        return p + " is there but cannot be opened (no permission, or the disc fails)";
    }
  }
  return "not found";
}

FileHandle FileIO::FileOpenInst(const char* name, FileMode mode) {
  if (!has_install_dir_ || name == nullptr) return kInvalidFile;
  char path[kPathMax];
  if (!JoinPath(install_dir_.c_str(), name, path)) return kInvalidFile;
  return FileOpen(path, mode);
}

FileHandle FileIO::FileOpenPrev(const char* name, FileMode mode) {
  if (previous_open_drive_ == -1 || name == nullptr) return kInvalidFile;
  if (!DriveUsable(previous_open_drive_)) return kInvalidFile;
  char path[kPathMax];
  FileHandle handle = kInvalidFile;
  if (JoinPath(drives_[previous_open_drive_].root.c_str(), name, path)) {
    handle = FileOpen(path, mode);
  }
  if (handle == kInvalidFile) previous_open_drive_ = -1;
  return handle;
}

FileHandle FileIO::FileOpenDrive(const char* name, FileMode mode) {
  previous_open_drive_ = -1;
  ScanDrives();
  if (name == nullptr) return kInvalidFile;
  for (int i = 0; i < kDriveCount; ++i) {
    if (!DriveUsable(i)) continue;
    char path[kPathMax];
    if (!JoinPath(drives_[i].root.c_str(), name, path)) continue;
    FileHandle handle = FileOpen(path, mode);
    if (handle != kInvalidFile) {
      previous_open_drive_ = i;
      return handle;
    }
  }
  return kInvalidFile;
}

FileHandle FileIO::Open(const char* name, FileMode mode, uint32_t places, int error_flag) {
  if (name == nullptr) {
    DebugPrint("FileIO::Open: no name\n");
    return kInvalidFile;
  }
  FileHandle handle = kInvalidFile;
  if (places & kSearchSelf) handle = FileOpen(name, mode);
  if (handle == kInvalidFile && (places & kSearchInstall)) handle = FileOpenInst(name, mode);
  if (handle == kInvalidFile && (places & kSearchDrives)) {
    handle = FileOpenPrev(name, mode);
    if (handle == kInvalidFile) handle = FileOpenDrive(name, mode);
  }
  if (handle == kInvalidFile) {
    DebugPrint("FileIO::Open: %s: %s\n", name, WhyNotOpened(name, places).c_str());
    if (error_flag != 0) ShowNotFound(name);
  }
  return handle;
}

FileHandle FileIO::Open(const char* name, int error_flag) {
  return Open(name, FileMode::kRead, kSearchAll, error_flag);
}

FileHandle FileIO::OpenWrite(const char* name) {
  return Open(name, FileMode::kWrite, kSearchInstall, 0);
}

int FileIO::FindFile(const char* name, char* out, uint32_t places) {
  if (name == nullptr || out == nullptr) return 0;
  char path[kPathMax];
  // prefix + name exists: its path goes to `out`.
  auto found_at = [&](const char* prefix) {
    if (!JoinPath(prefix, name, path) || !ExistPath(path)) return false;
    std::memcpy(out, path, std::strlen(path) + 1);
    return true;
  };
  if ((places & kSearchSelf) && found_at("")) return 1;
  if ((places & kSearchInstall) && has_install_dir_ && found_at(install_dir_.c_str())) return 1;
  if (!(places & kSearchDrives)) return 0;
  if (previous_find_drive_ != -1 && DriveUsable(previous_find_drive_) &&
      found_at(drives_[previous_find_drive_].root.c_str())) {
    return 1;
  }
  previous_find_drive_ = -1;
  ScanDrives();
  for (int i = 0; i < kDriveCount; ++i) {
    if (DriveUsable(i) && found_at(drives_[i].root.c_str())) {
      previous_find_drive_ = i;
      return 1;
    }
  }
  return 0;
}

int FileIO::FindFileAll(const char* name, char* out) { return FindFile(name, out, kSearchAll); }

int FileIO::Exist(const char* name, uint32_t places) {
  // FindFile only answers with a path it has just seen to exist.
  char path[kPathMax];
  return FindFile(name, path, places);
}

int FileIO::ExistPath(const char* path) {
  if (path == nullptr || seams_.files == nullptr) return 0;
  return seams_.files->IsFile(path) ? 1 : 0;
}

int FileIO::Close(FileHandle handle) {
  if (handle == kInvalidFile || seams_.files == nullptr) return 0;
  for (OpenName& n : open_names_) {
    if (n.handle == handle) n.handle = kInvalidFile;
  }
  return seams_.files->Close(handle) ? 1 : 0;
}

uint32_t FileIO::GetSize(FileHandle handle) {
  int64_t size = seams_.files == nullptr ? -1 : seams_.files->Size(handle);
  if (size < 0) {
    DebugPrint("FileIO::GetSize: no size for %s\n", NameOf(handle).c_str());
    return 0;
  }
  return static_cast<uint32_t>(size);
}

size_t FileIO::ReadFully(FileHandle handle, uint8_t* buffer, size_t count, bool* failed) {
  if (failed != nullptr) *failed = false;
  size_t have = 0;
  while (have < count) {
    uint32_t got = 0;
    const size_t want = std::min<size_t>(count - have, UINT32_MAX);
    if (Read(handle, buffer + have, static_cast<uint32_t>(want), &got) == 0) {
      if (failed != nullptr) *failed = true;
      break;
    }
    if (got == 0) break;
    have += got;
  }
  return have;
}

int FileIO::Read(FileHandle handle, void* buffer, uint32_t count, uint32_t* bytes_read) {
  uint32_t done = 0;
  bool ok = seams_.files != nullptr && seams_.files->Read(handle, buffer, count, &done);
  if (bytes_read) *bytes_read = done;
  if (!ok) {
    DebugPrint("FileIO::Read: failed on %s\n", NameOf(handle).c_str());
    return 0;
  }
  return 1;
}

int FileIO::Write(FileHandle handle, const void* buffer, uint32_t count) {
  if (seams_.files == nullptr || !seams_.files->Write(handle, buffer, count)) {
    DebugPrint("FileIO::Write: failed on %s\n", NameOf(handle).c_str());
    return 0;
  }
  return 1;
}

uint32_t FileIO::Seek(FileHandle handle, int32_t distance, int method) {
  int64_t pos = seams_.files == nullptr ? -1 : seams_.files->Seek(handle, distance, method);
  if (pos < 0) {
    DebugPrint("FileIO::Seek: failed on %s\n", NameOf(handle).c_str());
    return kSeekFailed;
  }
  return static_cast<uint32_t>(pos);
}

int FileIO::ScanDrives() {
  ++scan_count_;
  platform::Files* files = seams_.files;
  uint32_t mask = files == nullptr ? 0 : files->LogicalDrives();
  for (int i = 0; i < kDriveCount; ++i) {
    DriveRec& rec = drives_[i];
    rec.type = files == nullptr ? platform::kDriveNoRoot : files->DriveType(i);
    rec.root.clear();
    rec.disc = -1;
    // A drive that is no longer a CD drive must not stay marked as a mounted one.
    rec.mounted = 0;
    if (rec.type == kDriveTypeCdrom) {
      rec.mounted = (mask >> i) & 1u;
      rec.root = std::string(1, static_cast<char>('A' + i)) + ":\\";
      if (rec.mounted) GetDiscNo(i);
    }
  }
  return 1;
}

int FileIO::GetDiscNo(int drive) {
  if (!DriveUsable(drive)) return -1;
  DriveRec& rec = drives_[drive];
  for (int n = 1; n <= 3; ++n) {
    char path[kPathMax];
    std::snprintf(path, sizeof path, "%sDisk%.01d.id", rec.root.c_str(), n);
    if (ExistPath(path)) {
      rec.disc = n;
      return n;
    }
  }
  rec.disc = 0;
  return 0;
}

int FileIO::FindDisc(int want) {
  for (const DriveRec& rec : drives_) {
    // Only drives holding a disc count (0 is no disc, -1 was never examined).
    if (rec.type != kDriveTypeCdrom || rec.disc <= 0) continue;
    if (want == 0 || rec.disc == want) return rec.disc;
  }
  return -1;
}

int FileIO::GetFileTimeText(FileHandle handle, char* out) {
  platform::LocalTime t;
  if (out == nullptr || seams_.files == nullptr || !seams_.files->LastWriteTime(handle, &t)) {
    DebugPrint("FileIO::GetFileTimeText: no time for %s\n", NameOf(handle).c_str());
    return 0;
  }
  std::snprintf(out, kFileTimeTextSize, "%.04d/%.02d/%.02d %.02d:%.02d", Clamp(t.year, 0, 9999),
                Clamp(t.month, 0, 99), Clamp(t.day, 0, 99), Clamp(t.hour, 0, 99),
                Clamp(t.minute, 0, 99));
  return 1;
}

int FileIO::CopyFile(const char* src, const char* dst, int overwrite) {
  if (!has_install_dir_ || src == nullptr || dst == nullptr || seams_.files == nullptr) {
    DebugPrint("FileIO::CopyFile: no install directory\n");
    return 0;
  }
  char from[kPathMax];
  char to[kPathMax];
  if (!JoinPath(install_dir_.c_str(), src, from) || !JoinPath(install_dir_.c_str(), dst, to)) {
    return 0;
  }
  if (!seams_.files->Copy(from, to, overwrite != 0)) {
    DebugPrint("FileIO::CopyFile: %s -> %s failed\n", from, to);
    return 0;
  }
  return 1;
}

int FileIO::SaveFile(const char* name, const void* data, uint32_t size) {
  if (!has_install_dir_ || name == nullptr || seams_.files == nullptr) {
    DebugPrint("FileIO::SaveFile: no install directory\n");
    return 0;
  }
  char path[kPathMax];
  if (!JoinPath(install_dir_.c_str(), name, path)) return 0;
  // The folders of the name are made when missing (data copied from a disc has no save
  // folder); the install directory itself must exist.
  const size_t base = install_dir_.size();
  for (size_t i = base; path[i] != '\0'; ++i) {
    if ((path[i] != '\\' && path[i] != '/') || i == base) continue;
    const std::string folder(path, i);
    if (seams_.files->KindOf(folder.c_str()) != platform::Files::Kind::kMissing) continue;
    if (!seams_.files->MakeDirectory(folder.c_str())) {
      DebugPrint("FileIO::SaveFile: cannot make the folder %s\n", folder.c_str());
      return 0;
    }
  }
  std::string warning;
  if (!seams_.files->Replace(path, data, size, &warning)) {
    DebugPrint("FileIO::SaveFile: %s failed\n", path);
    return 0;
  }
  if (!warning.empty()) DebugPrint("FileIO::SaveFile: %s saved, but %s\n", path, warning.c_str());
  return 1;
}

int FileIO::DeleteFile(const char* name) {
  if (!has_install_dir_ || name == nullptr || seams_.files == nullptr) {
    DebugPrint("FileIO::DeleteFile: no install directory\n");
    return 0;
  }
  char path[kPathMax];
  if (!JoinPath(install_dir_.c_str(), name, path)) return 0;
  return seams_.files->Delete(path) ? 1 : 0;
}

void FileIO::ShowNotFound(const char* name) {
  if (name == nullptr) name = "";
  DebugPrint("FileIO: file not found: %s\n", name);
  // The box must show over a full-screen display, with the cursor.
  if (before_fatal_box_) before_fatal_box_();
  std::string text = std::string(kNotFoundFirstLine) + "\n" + name + "\n" + kNotFoundLastLine;
  if (seams_.window != nullptr) {
    seams_.window->MessageBox(true, text, "FILE OPEN ERROR");
    seams_.window->PostEvent({platform::EventKind::kClose, 0});
  }
}
