// Files and drives on POSIX calls. Game paths are translated segment by segment: an exact-case
// entry is taken when it exists, otherwise the directory's listing (cached, keyed by the
// directory's identity and change times, and dropped whenever this layer itself adds or removes
// an entry) gives the case-folded match.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/config.h"
#include "platform/files.h"

namespace platform {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool FoldedEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

std::string JoinHost(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

// Appends `name` to the host directory path in `path` (as JoinHost does), in place.
void AppendHost(std::string* path, std::string_view name) {
  if (!path->empty() && path->back() != '/') path->push_back('/');
  path->append(name);
}

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::string_view TrimSpace(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Opens with retries on interruption.
int OpenRetry(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path, flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Opens a regular file only. Anything else (a named pipe, a device, a directory) is refused
// before it is opened, since opening some of them blocks (a pipe without a writer) or acts on
// a device; the open itself does not block either, in case the entry changed in between.
int OpenRegular(const char* path, int flags, mode_t mode = 0) {
  struct stat st;
  if (::stat(path, &st) == 0 && !S_ISREG(st.st_mode)) return -1;
  int fd = OpenRetry(path, flags | O_NONBLOCK, mode);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  const int fl = ::fcntl(fd, F_GETFL);
  if (fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool WriteAll(int fd, const void* data, size_t count) {
  const char* p = static_cast<const char*>(data);
  while (count > 0) {
    ssize_t n = ::write(fd, p, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    p += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Follows `path` while it names a symbolic link, to the file (or the missing name) at the end of
// the chain. False for a loop or a link that cannot be read.
bool FollowLinks(std::string* path) {
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st;
    if (::lstat(path->c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    std::string link(PATH_MAX, '\0');
    const ssize_t n = ::readlink(path->c_str(), link.data(), link.size());
    if (n <= 0 || static_cast<size_t>(n) >= link.size()) return false;
    link.resize(static_cast<size_t>(n));
    *path = link.front() == '/' ? link : JoinHost(DirectoryOf(*path), link);
  }
  return false;
}

// Temporary save files are ".save-" and six letters or digits.
constexpr std::string_view kSaveTempPrefix = ".save-";
constexpr size_t kSaveTempSuffix = 6;

bool IsSaveTempName(std::string_view name) {
  if (name.size() != kSaveTempPrefix.size() + kSaveTempSuffix) return false;
  if (name.substr(0, kSaveTempPrefix.size()) != kSaveTempPrefix) return false;
  for (char c : name.substr(kSaveTempPrefix.size())) {
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alnum) return false;
  }
  return true;
}

// Creates a new temporary save file in `dir` with mode 0666, so that the umask applies as it
// does to any new file; never through a link, never over an existing entry.
int CreateSaveTemp(const std::string& dir, std::string* temp) {
  static std::atomic<uint64_t> counter{0};
  constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    // A unique name, not a secret one: O_EXCL refuses any entry that is already there.
    uint64_t x = (static_cast<uint64_t>(::getpid()) << 32) ^
                 static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(now.tv_sec) << 24) ^
                 (++counter * 0x9E3779B97F4A7C15ull);
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    std::string name(kSaveTempPrefix);
    for (size_t i = 0; i < kSaveTempSuffix; ++i) {
      name += kAlphabet[x % 36];
      x /= 36;
    }
    *temp = JoinHost(dir, name);
    const int fd = OpenRetry(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) return -1;
  }
  return -1;
}

// Removes the temporary save files a killed process left in `dir` (this user's regular files of
// that name shape only). One copy of the program runs at a time, so none of them is in use.
void RemoveLeftoverSaves(const std::string& dir) {
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return;
  std::vector<std::string> stale;
  while (dirent* e = ::readdir(d)) {
    if (!IsSaveTempName(e->d_name)) continue;
    struct stat st;
    if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) stale.emplace_back(e->d_name);
  }
  for (const std::string& name : stale) ::unlinkat(::dirfd(d), name.c_str(), 0);
  ::closedir(d);
}

// Puts a directory's entries on the disc. File systems that cannot sync a directory say EINVAL;
// nothing more can be done there. 0, or the error number.
int SyncDirectory(const std::string& dir, PosixFiles::SyncCall sync) {
  const int fd = OpenRetry(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return errno;
  const int error = (sync != nullptr ? sync(fd) : ::fsync(fd)) == 0 || errno == EINVAL ? 0 : errno;
  ::close(fd);
  return error;
}

}  // namespace

struct PosixFiles::Impl {
  struct Listing {
    dev_t dev = 0;
    ino_t ino = 0;
    timespec mtime{};
    timespec ctime{};
    std::vector<std::string> names;  // sorted, so that a folded match is deterministic
  };
  std::unordered_map<std::string, Listing> listings;
  // The open descriptors, sorted.
  std::vector<int> open_handles;
  Impl() {
    for (std::string* s : {&current, &exact, &key, &entry, &host, &parent}) {
      s->reserve(kScratchReserve);
    }
  }
  // The path search's working strings, kept between calls so that a path whose directories are
  // listed already is found without allocating (a sound started mid-frame opens its file); room
  // for paths of this length is made at once, so a longer name seen first mid-frame fits too.
  static constexpr size_t kScratchReserve = 1024;
  std::string current;  // the host path built so far
  std::string exact;    // a directory and a name joined, for the exact-case test
  std::string key;      // a directory's listing key
  std::string entry;    // the entry a segment matched
  std::string host;     // the host path of Open and IsFile
  std::string parent;   // the parent directory of Open
  std::vector<std::string_view> segments;
};

PosixFiles::PosixFiles() : impl_(std::make_unique<Impl>()) {}

PosixFiles::~PosixFiles() {
  for (int fd : impl_->open_handles) ::close(fd);
}

void PosixFiles::SetDrive(int index, uint32_t type, std::string directory) {
  if (index < 0 || index >= 26) return;
  drives_[index].type = type;
  drives_[index].present = type != kDriveNoRoot;
  drives_[index].directory = std::move(directory);
}

void PosixFiles::ClearDrive(int index) {
  if (index < 0 || index >= 26) return;
  drives_[index] = Drive{};
}

bool ParseDriveSetting(const std::string& text, uint32_t* type, std::string* directory) {
  std::string_view s = TrimSpace(text);
  size_t space = s.find_first_of(" \t");
  std::string_view word = s.substr(0, space);
  std::string_view rest = space == std::string_view::npos ? std::string_view() : s.substr(space);
  rest = TrimSpace(rest);
  if (FoldedEqual(word, "cdrom")) {
    *type = kDriveCdrom;
  } else if (FoldedEqual(word, "fixed")) {
    if (rest.empty()) return false;  // a hard disc always has a root
    *type = kDriveFixed;
  } else {
    return false;
  }
  *directory = std::string(rest);
  return true;
}

int PosixFiles::LoadDrives(const Config& config) {
  int count = 0;
  for (int i = 0; i < 26; ++i) {
    std::string key = "Drive ";
    key += static_cast<char>('A' + i);
    auto value = config.Get(key);
    if (!value) continue;
    uint32_t type = kDriveNoRoot;
    std::string directory;
    if (!ParseDriveSetting(*value, &type, &directory)) continue;
    SetDrive(i, type, std::move(directory));
    ++count;
  }
  return count;
}

void PosixFiles::SetWorkingDirectory(std::string directory) {
  working_directory_ = std::move(directory);
}

void PosixFiles::ForgetListings() { impl_->listings.clear(); }

bool PosixFiles::MatchEntry(std::string_view dir, std::string_view name, std::string* entry) {
  struct stat st;
  std::string& key = impl_->key;
  if (dir.empty()) {
    key.assign(".");
  } else {
    key.assign(dir);
  }
  std::string& exact = impl_->exact;
  exact.assign(key);
  AppendHost(&exact, name);
  if (::stat(exact.c_str(), &st) == 0) {
    entry->assign(name);
    return true;
  }
  struct stat dst;
  if (::stat(key.c_str(), &dst) != 0 || !S_ISDIR(dst.st_mode)) {
    impl_->listings.erase(key);
    return false;
  }
  Impl::Listing& listing = impl_->listings[key];
  bool fresh = listing.dev == dst.st_dev && listing.ino == dst.st_ino &&
               SameTime(listing.mtime, dst.st_mtim) && SameTime(listing.ctime, dst.st_ctim);
  if (!fresh) {
    listing = Impl::Listing{};
    DIR* d = ::opendir(key.c_str());
    if (d == nullptr) {
      impl_->listings.erase(key);
      return false;
    }
    while (dirent* e = ::readdir(d)) {
      std::string_view n = e->d_name;
      if (n == "." || n == "..") continue;
      listing.names.emplace_back(n);
    }
    ::closedir(d);
    std::sort(listing.names.begin(), listing.names.end());
    listing.dev = dst.st_dev;
    listing.ino = dst.st_ino;
    listing.mtime = dst.st_mtim;
    listing.ctime = dst.st_ctim;
  }
  for (const std::string& n : listing.names) {
    if (FoldedEqual(n, name)) {
      entry->assign(n);
      return true;
    }
  }
  return false;
}

bool PosixFiles::Resolve(const char* path, std::string* out, bool* found, std::string* parent) {
  if (path == nullptr || path[0] == '\0') return false;
  std::string_view p = path;
  if (IsSeparator(p.back())) return false;  // names a directory, never a file

  // The search builds the host path in place; `out` and `parent` are the caller's own strings.
  std::string& current = impl_->current;
  bool on_drive = false;
  if (p.size() >= 2 && p[1] == ':' &&
      ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'))) {
    int index = FoldAscii(p[0]) - 'a';
    const Drive& drive = drives_[index];
    if (!drive.present || drive.directory.empty()) return false;
    current.assign(drive.directory);
    on_drive = true;
    p.remove_prefix(2);
  } else if (IsSeparator(p.front())) {
    current.assign("/");
  } else {
    current.assign(working_directory_);
  }

  std::vector<std::string_view>& segments = impl_->segments;
  segments.clear();
  while (!p.empty()) {
    while (!p.empty() && IsSeparator(p.front())) p.remove_prefix(1);
    size_t end = 0;
    while (end < p.size() && !IsSeparator(p[end])) ++end;
    if (end > 0) segments.push_back(p.substr(0, end));
    p.remove_prefix(end);
  }
  if (segments.empty()) return false;

  const auto set_parent = [&] {
    if (parent == nullptr) return;
    if (current.empty()) {
      parent->assign(".");
    } else {
      parent->assign(current);
    }
  };
  // A drive's root has no parent: ".." there stays at the root, so no path on a drive leads
  // out of the directory standing for it.
  size_t depth = 0;
  std::string& entry = impl_->entry;
  for (size_t i = 0; i < segments.size(); ++i) {
    const std::string_view name = segments[i];
    bool last = i + 1 == segments.size();
    if (name == "." || name == "..") {
      if (last) return false;
      if (name == "..") {
        if (on_drive && depth == 0) continue;
        if (depth > 0) --depth;
      }
      entry.assign(name);
    } else if (!MatchEntry(current, name, &entry)) {
      if (!last) return false;
      set_parent();
      if (found) *found = false;
      out->assign(current);
      AppendHost(out, name);
      return true;
    }
    if (last) set_parent();
    if (entry != "." && entry != "..") ++depth;
    AppendHost(&current, entry);
  }
  if (found) *found = true;
  out->assign(current);
  return true;
}

bool PosixFiles::HostPath(const char* path, std::string* out) {
  return Resolve(path, out, nullptr, nullptr);
}

uint32_t PosixFiles::LogicalDrives() {
  uint32_t mask = 0;
  for (int i = 0; i < 26; ++i) {
    if (drives_[i].present) mask |= 1u << i;
  }
  return mask;
}

uint32_t PosixFiles::DriveType(int index) {
  if (index < 0 || index >= 26) return kDriveNoRoot;
  return drives_[index].type;
}

bool PosixFiles::IsOpen(intptr_t handle) const {
  return handle >= 0 && handle <= INT32_MAX &&
         std::binary_search(impl_->open_handles.begin(), impl_->open_handles.end(),
                            static_cast<int>(handle));
}

intptr_t PosixFiles::Open(const char* path, bool write) {
  std::string& host = impl_->host;
  std::string& parent = impl_->parent;
  bool found = false;
  if (!Resolve(path, &host, &found, &parent)) return -1;
  int fd = write ? OpenRegular(host.c_str(), O_WRONLY | O_CREAT, 0666)
                 : OpenRegular(host.c_str(), O_RDONLY);
  if (fd < 0) return -1;
  if (write && !found) impl_->listings.erase(parent);  // the directory gained an entry
  std::vector<int>& handles = impl_->open_handles;
  handles.insert(std::lower_bound(handles.begin(), handles.end(), fd), fd);
  return fd;
}

bool PosixFiles::Close(intptr_t handle) {
  if (!IsOpen(handle)) return false;
  int fd = static_cast<int>(handle);
  std::vector<int>& handles = impl_->open_handles;
  handles.erase(std::lower_bound(handles.begin(), handles.end(), fd));
  return ::close(fd) == 0;
}

int64_t PosixFiles::Size(intptr_t handle) {
  if (!IsOpen(handle)) return -1;
  struct stat st;
  if (::fstat(static_cast<int>(handle), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool PosixFiles::Read(intptr_t handle, void* buffer, uint32_t count, uint32_t* bytes_read) {
  if (bytes_read) *bytes_read = 0;
  if (!IsOpen(handle)) return false;
  if (count > 0 && buffer == nullptr) return false;
  char* p = static_cast<char*>(buffer);
  uint32_t total = 0;
  while (total < count) {
    ssize_t n = ::read(static_cast<int>(handle), p + total, count - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (bytes_read) *bytes_read = total;
      return false;
    }
    if (n == 0) break;  // end of file
    total += static_cast<uint32_t>(n);
  }
  if (bytes_read) *bytes_read = total;
  return true;
}

bool PosixFiles::Write(intptr_t handle, const void* buffer, uint32_t count) {
  if (!IsOpen(handle)) return false;
  if (count > 0 && buffer == nullptr) return false;
  return WriteAll(static_cast<int>(handle), buffer, count);
}

int64_t PosixFiles::Seek(intptr_t handle, int64_t distance, int method) {
  if (!IsOpen(handle)) return -1;
  int whence;
  switch (method) {
    case 0: whence = SEEK_SET; break;
    case 1: whence = SEEK_CUR; break;
    case 2: whence = SEEK_END; break;
    default: return -1;
  }
  off_t pos = ::lseek(static_cast<int>(handle), static_cast<off_t>(distance), whence);
  return pos < 0 ? -1 : static_cast<int64_t>(pos);
}

bool PosixFiles::LastWriteTime(intptr_t handle, LocalTime* out) {
  if (!IsOpen(handle) || out == nullptr) return false;
  struct stat st;
  if (::fstat(static_cast<int>(handle), &st) != 0) return false;
  tzset();
  std::tm tm{};
  time_t t = st.st_mtim.tv_sec;
  if (::localtime_r(&t, &tm) == nullptr) return false;
  out->year = tm.tm_year + 1900;
  out->month = tm.tm_mon + 1;
  out->day = tm.tm_mday;
  out->hour = tm.tm_hour;
  out->minute = tm.tm_min;
  out->second = tm.tm_sec;
  return true;
}

bool PosixFiles::IsFile(const char* path) {
  std::string& host = impl_->host;
  bool found = false;
  if (!Resolve(path, &host, &found, nullptr) || !found) return false;
  struct stat st;
  return ::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

Files::Kind PosixFiles::KindOf(const char* path) {
  std::string host;
  bool found = false;
  if (!Resolve(path, &host, &found, nullptr) || !found) return Kind::kMissing;
  struct stat st;
  if (::stat(host.c_str(), &st) != 0) return Kind::kMissing;
  if (S_ISREG(st.st_mode)) return Kind::kFile;
  if (S_ISDIR(st.st_mode)) return Kind::kDirectory;
  return Kind::kOther;
}

bool PosixFiles::DirectoryReadable(const char* path) {
  std::string host;
  bool found = false;
  if (!Resolve(path, &host, &found, nullptr) || !found) return false;
  // Listing needs read permission, opening a file in it search permission.
  if (::access(host.c_str(), R_OK | X_OK) != 0) return false;
  DIR* d = ::opendir(host.c_str());
  if (d == nullptr) return false;
  ::closedir(d);
  return true;
}

std::string PosixFiles::WorkingDirectory() {
  if (!working_directory_.empty()) return working_directory_;
  std::string dir(PATH_MAX, '\0');
  if (::getcwd(dir.data(), dir.size()) == nullptr) return {};
  dir.resize(std::strlen(dir.c_str()));
  return dir;
}

bool PosixFiles::Copy(const char* source, const char* target, bool overwrite) {
  std::string src_host;
  std::string dst_host;
  std::string dst_parent;
  bool src_found = false;
  bool dst_found = false;
  if (!Resolve(source, &src_host, &src_found, nullptr) || !src_found) return false;
  if (!Resolve(target, &dst_host, &dst_found, &dst_parent)) return false;

  int in = OpenRegular(src_host.c_str(), O_RDONLY);
  if (in < 0) return false;
  struct stat sst;
  if (::fstat(in, &sst) != 0) {
    ::close(in);
    return false;
  }
  struct stat dst;
  if (::stat(dst_host.c_str(), &dst) == 0) {
    // Onto itself (under any name), onto a non-file, or onto a kept target: refused.
    bool same = dst.st_dev == sst.st_dev && dst.st_ino == sst.st_ino;
    if (same || !S_ISREG(dst.st_mode) || !overwrite) {
      ::close(in);
      return false;
    }
  }

  // The copy goes to a temporary file beside the target and replaces it in one step, so a
  // failed copy never leaves a half-written target behind.
  std::string temp = JoinHost(dst_parent, ".copy-XXXXXX");
  int out = ::mkstemp(temp.data());  // fills in the XXXXXX
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = true;
  char block[65536];
  for (;;) {
    ssize_t n = ::read(in, block, sizeof block);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (n == 0) break;
    if (!WriteAll(out, block, static_cast<size_t>(n))) {
      ok = false;
      break;
    }
  }
  ::close(in);
  if (ok) {
    ::fchmod(out, sst.st_mode & 0777);
    const timespec times[2] = {sst.st_atim, sst.st_mtim};
    ::futimens(out, times);
  }
  if (::close(out) != 0) ok = false;
  if (ok) {
    if (overwrite) {
      ok = ::rename(temp.c_str(), dst_host.c_str()) == 0;
    } else {
      // link() refuses an existing target atomically; file systems without hard links fall back
      // to a checked rename.
      if (::link(temp.c_str(), dst_host.c_str()) == 0) {
        ::unlink(temp.c_str());
      } else if (errno == EEXIST) {
        ok = false;
      } else {
        struct stat again;
        ok = ::stat(dst_host.c_str(), &again) != 0 &&
             ::rename(temp.c_str(), dst_host.c_str()) == 0;
      }
    }
  }
  if (!ok) ::unlink(temp.c_str());
  impl_->listings.erase(dst_parent);
  return ok;
}

bool PosixFiles::Replace(const char* path, const void* data, uint32_t size, std::string* warning) {
  if (warning != nullptr) warning->clear();
  if (size > 0 && data == nullptr) return false;
  std::string host;
  std::string parent;
  bool found = false;
  if (!Resolve(path, &host, &found, &parent)) return false;
  // A save file that is a link is written through: the file it points to is replaced, in its
  // own directory, and the link stays.
  std::string target = host;
  if (!FollowLinks(&target)) return false;
  const std::string dir = target == host ? parent : DirectoryOf(target);
  struct stat st;
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) return false;

  RemoveLeftoverSaves(dir);
  std::string temp;
  int out = CreateSaveTemp(dir, &temp);
  if (out < 0) return false;
  bool ok = WriteAll(out, data, size);
  // A replaced file keeps its permission bits when they let its owner read and write it (the
  // game must read its own save again); otherwise, and for a new file, it has 0666 less the
  // umask from its creation.
  if (ok && exists && (st.st_mode & 0600) == 0600) ok = ::fchmod(out, st.st_mode & 07777) == 0;
  if (ok) ok = (sync_ != nullptr ? sync_(out) : ::fsync(out)) == 0;
  if (::close(out) != 0) ok = false;
  if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  // The rename itself is on the disc only once the directory is. When that sync fails the new
  // file is in place all the same (its data was synced before the rename): the save stands, and
  // only how durable its directory entry is remains unknown, which the warning says.
  if (ok) {
    const int error = SyncDirectory(dir, sync_);
    if (error != 0 && warning != nullptr) {
      *warning = "the directory " + dir + " could not be synced after the save (" +
                 std::strerror(error) + ")";
    }
  }
  impl_->listings.erase(parent);
  impl_->listings.erase(dir);
  return ok;
}

bool PosixFiles::MakeDirectory(const char* path) {
  std::string host;
  std::string parent;
  bool found = false;
  if (!Resolve(path, &host, &found, &parent)) return false;
  if (found) {
    struct stat st;
    return ::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  const bool made = ::mkdir(host.c_str(), 0777) == 0;
  impl_->listings.erase(parent);
  return made;
}

bool PosixFiles::Delete(const char* path) {
  std::string host;
  std::string parent;
  bool found = false;
  if (!Resolve(path, &host, &found, &parent) || !found) return false;
  struct stat st;
  if (::lstat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  bool ok = ::unlink(host.c_str()) == 0;
  impl_->listings.erase(parent);
  return ok;
}

PrivateTempDirectory::PrivateTempDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") +
                        "/tamvik-XXXXXX";
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

PrivateTempDirectory::~PrivateTempDirectory() {
  if (path_.empty()) return;
  if (DIR* d = ::opendir(path_.c_str())) {
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
      std::string_view n = e->d_name;
      if (n != "." && n != "..") names.emplace_back(n);
    }
    for (const std::string& name : names) ::unlinkat(::dirfd(d), name.c_str(), 0);
    ::closedir(d);
  }
  ::rmdir(path_.c_str());
}

}  // namespace platform
