#include "testsupport/temp_tree.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/files.h"

namespace testsupport {

namespace fs = std::filesystem;

TempTree::TempTree() {
  std::string pattern = (fs::temp_directory_path() / "tamvik-files-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
}

TempTree::~TempTree() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

std::string TempTree::Path(const std::string& rel) const { return root_ + "/" + rel; }

std::string TempTree::MakeDir(const std::string& rel) {
  fs::create_directories(Path(rel));
  return Path(rel);
}

namespace {

// The bytes as they stand (no copy: the fuzz entries write files of hundreds of kilobytes for
// every input).
std::string WriteBytes(const fs::path& p, const char* data, size_t size) {
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(data, static_cast<std::streamsize>(size));
  if (!out) throw std::runtime_error("cannot write " + p.string());
  return p.string();
}

}  // namespace

std::string TempTree::Write(const std::string& rel, const std::string& contents) {
  return WriteBytes(Path(rel), contents.data(), contents.size());
}

std::string TempTree::Write(const std::string& rel, const std::vector<uint8_t>& contents) {
  return WriteBytes(Path(rel), reinterpret_cast<const char*>(contents.data()), contents.size());
}

std::string TempTree::Read(const std::string& rel) const {
  std::ifstream in(Path(rel), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool TempTree::Exists(const std::string& rel) const { return fs::exists(Path(rel)); }

void TempTree::Remove(const std::string& rel) {
  std::error_code ec;
  fs::remove_all(Path(rel), ec);
}

void TempTree::SetModifiedTime(const std::string& rel, int64_t seconds) {
  const timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
  if (::utimensat(AT_FDCWD, Path(rel).c_str(), times, 0) != 0) {
    throw std::runtime_error("cannot set the time of " + rel);
  }
}

GameTree::GameTree() {
  cwd_ = MakeDir("cwd");
  install_ = MakeDir("install") + "/";
}

std::string GameTree::Disc(const std::string& name, const std::vector<int>& markers) {
  std::string dir = MakeDir("drives/" + name);
  for (int n : markers) Write("drives/" + name + "/Disk" + std::to_string(n) + ".id", "");
  return dir;
}

std::string GameTree::MountDisc(platform::PosixFiles& files, char letter, const std::string& name,
                                const std::vector<int>& markers) {
  std::string dir = Disc(name, markers);
  files.SetDrive(letter - 'A', platform::kDriveCdrom, dir);
  return dir;
}

}  // namespace testsupport
