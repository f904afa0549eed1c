#pragma once
// Temporary directory trees for file-layer tests: a fresh directory under the system's temporary
// folder, removed with everything in it when the object dies. Relative names given here use '/'.
//
// GameTree adds the shapes the file layer searches: a working directory, an install directory
// (its path ends with '/', as the install-directory value does) and disc roots carrying the
// "Disk<n>.id" marker files.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {
class PosixFiles;
}

namespace testsupport {

class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::string& root() const { return root_; }
  // root + "/" + rel.
  std::string Path(const std::string& rel) const;
  // Creates the directory and its parents; returns its host path.
  std::string MakeDir(const std::string& rel);
  // Writes a file (creating parent directories); returns its host path.
  std::string Write(const std::string& rel, const std::string& contents);
  std::string Write(const std::string& rel, const std::vector<uint8_t>& contents);
  // The contents of a file, empty when it cannot be read.
  std::string Read(const std::string& rel) const;
  bool Exists(const std::string& rel) const;
  void Remove(const std::string& rel);
  // Sets a file's last-write time (seconds since 1970 UTC).
  void SetModifiedTime(const std::string& rel, int64_t seconds);

 private:
  std::string root_;
};

class GameTree : public TempTree {
 public:
  // Makes "cwd" and "install" under the root.
  GameTree();
  const std::string& cwd() const { return cwd_; }
  // The install directory's host path, ending with '/'.
  const std::string& install() const { return install_; }
  // Makes the directory "drives/<name>" holding a marker for each disc number given; returns its
  // host path (without a trailing separator).
  std::string Disc(const std::string& name, const std::vector<int>& markers);
  // Makes the disc and sets drive `letter` of `files` as a CD drive standing on it.
  std::string MountDisc(platform::PosixFiles& files, char letter, const std::string& name,
                        const std::vector<int>& markers);

 private:
  std::string cwd_;
  std::string install_;
};

}  // namespace testsupport
