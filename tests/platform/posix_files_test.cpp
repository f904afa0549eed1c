#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <csignal>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/config.h"
#include "platform/files.h"
#include "testsupport/temp_tree.h"

namespace {

using platform::PosixFiles;

TEST(PosixFiles, TranslatesGamePathsSegmentBySegment) {
  testsupport::TempTree tree;
  tree.Write("cwd/Movie/OP.MPG", "");
  tree.Write("cwd/movie/ed.mpg", "");  // both spellings of a folder exist side by side
  tree.Write("cwd/se/SE.TAB", "");
  tree.Write("disc/Tamvik1/Voice/v1.wav", "");
  tree.Write("abs/File.Bin", "");
  PosixFiles files;
  files.SetWorkingDirectory(tree.Path("cwd"));
  files.SetDrive('E' - 'A', platform::kDriveCdrom, tree.Path("disc"));
  files.SetDrive('F' - 'A', platform::kDriveCdrom, "");

  struct Case {
    std::string asked;
    bool ok;
    std::string host;  // expected host path
  };
  const std::vector<Case> cases = {
      {"Movie\\OP.MPG", true, tree.Path("cwd/Movie/OP.MPG")},
      {"movie\\ed.mpg", true, tree.Path("cwd/movie/ed.mpg")},  // exact case wins
      {"MOVIE\\op.mpg", true, tree.Path("cwd/Movie/OP.MPG")},
      {"se\\se.tab", true, tree.Path("cwd/se/SE.TAB")},
      {"se/./SE.TAB", true, tree.Path("cwd/se/./SE.TAB")},
      {"se\\\\SE.TAB", true, tree.Path("cwd/se/SE.TAB")},
      {"E:\\TAMVIK1\\voice\\V1.WAV", true, tree.Path("disc/Tamvik1/Voice/v1.wav")},
      {"e:/tamvik1/voice/v1.wav", true, tree.Path("disc/Tamvik1/Voice/v1.wav")},
      {tree.Path("ABS/file.bin"), true, tree.Path("abs/File.Bin")},
      // A missing last segment keeps the name as given (a write creates it).
      {"se\\New.Dat", true, tree.Path("cwd/se/New.Dat")},
      {"nodir\\x.bin", false, ""},
      {"se\\", false, ""},
      {"", false, ""},
      {"F:\\x.bin", false, ""},  // a CD drive without a disc
      {"G:\\x.bin", false, ""},  // no such drive
      // A drive's root has no parent: ".." there stays on the drive, as on the system the game
      // names its paths for, so no path on a disc reaches the host's folders around it.
      {"E:\\..\\TAMVIK1\\voice\\V1.WAV", true, tree.Path("disc/Tamvik1/Voice/v1.wav")},
      {"E:..\\..\\tamvik1\\VOICE\\v1.wav", true, tree.Path("disc/Tamvik1/Voice/v1.wav")},
      {"E:\\..\\abs\\File.Bin", false, ""},
      {"E:\\Tamvik1\\..\\..\\abs\\File.Bin", false, ""},
      {"E:\\Tamvik1\\..\\Tamvik1\\voice\\v1.wav", true,
       tree.Path("disc/Tamvik1/../Tamvik1/Voice/v1.wav")},
      // Relative paths may still climb above the working directory.
      {"..\\abs\\file.bin", true, tree.Path("cwd/../abs/File.Bin")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    std::string host;
    EXPECT_EQ(files.HostPath(c.asked.c_str(), &host), c.ok);
    if (c.ok) {
      EXPECT_EQ(host, c.host);
    }
  }
}

TEST(PosixFiles, ListingsFollowNewFilesAndRemovals) {
  testsupport::TempTree tree;
  tree.MakeDir("save");
  PosixFiles files;
  files.SetWorkingDirectory(tree.root());
  EXPECT_FALSE(files.IsFile("SAVE\\SLOT1.DAT"));  // lists save/

  // Created through the layer.
  intptr_t h = files.Open("save\\slot1.dat", true);
  ASSERT_GE(h, 0);
  files.Close(h);
  EXPECT_TRUE(files.IsFile("SAVE\\SLOT1.DAT"));

  // Created and removed behind the layer's back.
  tree.Write("save/Slot2.dat", "x");
  EXPECT_TRUE(files.IsFile("save\\SLOT2.DAT"));
  tree.Remove("save/Slot2.dat");
  EXPECT_FALSE(files.IsFile("save\\SLOT2.DAT"));

  // Copied and deleted through the layer.
  EXPECT_TRUE(files.Copy("save\\slot1.dat", "save\\Slot3.dat", false));
  EXPECT_TRUE(files.IsFile("SAVE\\SLOT3.DAT"));
  EXPECT_TRUE(files.Delete("save\\SLOT3.DAT"));
  EXPECT_FALSE(files.IsFile("save\\slot3.dat"));
  EXPECT_FALSE(tree.Exists("save/Slot3.dat"));
}

TEST(PosixFiles, WriteOpenCreatesAndNeverTruncates) {
  testsupport::TempTree tree;
  tree.Write("f.bin", "0123456789abcdefghij");
  tree.MakeDir("dir");
  PosixFiles files;
  files.SetWorkingDirectory(tree.root());

  intptr_t h = files.Open("F.BIN", true);
  ASSERT_GE(h, 0);
  EXPECT_TRUE(files.Write(h, "XY", 2));
  EXPECT_EQ(files.Seek(h, 0, 2), 20);
  EXPECT_TRUE(files.Write(h, "!", 1));
  EXPECT_EQ(files.Size(h), 21);
  files.Close(h);
  EXPECT_EQ(tree.Read("f.bin"), "XY23456789abcdefghij!");

  EXPECT_LT(files.Open("dir", false), 0);  // directories are not files
  EXPECT_LT(files.Open("dir", true), 0);
  EXPECT_LT(files.Open("missing.bin", false), 0);
  EXPECT_FALSE(tree.Exists("missing.bin"));  // a read open creates nothing
  EXPECT_FALSE(files.IsFile("dir"));
}

// Opening a named pipe that has no writer would wait for one forever; a data path that names
// one (or a device) must fail at once, for reading, writing and copying alike.
TEST(PosixFiles, PipesAndDevicesAreRefusedWithoutWaiting) {
  testsupport::TempTree tree;
  tree.MakeDir("cwd/Data");
  ASSERT_EQ(::mkfifo(tree.Path("cwd/Data/Feed").c_str(), 0600), 0);
  PosixFiles files;
  files.SetWorkingDirectory(tree.Path("cwd"));

  std::promise<std::vector<bool>> results;
  std::future<std::vector<bool>> done = results.get_future();
  std::thread worker([&] {
    std::vector<bool> r;
    r.push_back(files.Open("data\\FEED", false) == -1);
    r.push_back(files.Open("Data\\Feed", true) == -1);
    r.push_back(!files.Copy("Data\\Feed", "Data\\copy.bin", true));
    r.push_back(!files.IsFile("Data\\Feed"));
    r.push_back(files.Open("/dev/null", false) == -1);
    results.set_value(r);
  });
  const bool in_time = done.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  if (!in_time) {
    // Give the blocked open its writer so that the thread can end.
    const int unblock = ::open(tree.Path("cwd/Data/Feed").c_str(), O_WRONLY | O_NONBLOCK);
    if (unblock >= 0) ::close(unblock);
  }
  worker.join();
  ASSERT_TRUE(in_time) << "an open of a named pipe waited";
  EXPECT_EQ(done.get(), std::vector<bool>(5, true));
  EXPECT_FALSE(tree.Exists("cwd/Data/copy.bin"));
}

TEST(PosixFiles, HandlesThatAreNotOpenFailWithoutTouchingBuffers) {
  testsupport::TempTree tree;
  tree.Write("f.bin", "abc");
  PosixFiles files;
  files.SetWorkingDirectory(tree.root());
  intptr_t h = files.Open("f.bin", false);
  ASSERT_GE(h, 0);
  EXPECT_TRUE(files.Close(h));

  char buffer[4] = "zzz";
  uint32_t got = 7;
  for (intptr_t bad : {h, intptr_t{-1}, intptr_t{0}, intptr_t{1}, intptr_t{2}, intptr_t{1} << 40}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(files.Read(bad, buffer, 3, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_STREQ(buffer, "zzz");
    EXPECT_FALSE(files.Write(bad, "q", 1));
    EXPECT_EQ(files.Size(bad), -1);
    EXPECT_EQ(files.Seek(bad, 0, 0), -1);
    platform::LocalTime t;
    EXPECT_FALSE(files.LastWriteTime(bad, &t));
    EXPECT_FALSE(files.Close(bad));
  }
}

TEST(PosixFiles, CopyKeepsTimeAndNeverDestroysItsSource) {
  testsupport::TempTree tree;
  tree.Write("a.dat", "source data");
  tree.SetModifiedTime("a.dat", 996710700);
  tree.Write("b.dat", "old");
  PosixFiles files;
  files.SetWorkingDirectory(tree.root());

  EXPECT_FALSE(files.Copy("a.dat", "b.dat", false));
  EXPECT_EQ(tree.Read("b.dat"), "old");
  EXPECT_TRUE(files.Copy("a.dat", "B.DAT", true));
  EXPECT_EQ(tree.Read("b.dat"), "source data");
  EXPECT_FALSE(tree.Exists("B.DAT"));  // the existing spelling was replaced
  intptr_t h = files.Open("b.dat", false);
  ASSERT_GE(h, 0);
  platform::LocalTime copied;
  ASSERT_TRUE(files.LastWriteTime(h, &copied));
  files.Close(h);
  h = files.Open("a.dat", false);
  platform::LocalTime original;
  ASSERT_TRUE(files.LastWriteTime(h, &original));
  files.Close(h);
  EXPECT_EQ(copied.year, original.year);
  EXPECT_EQ(copied.minute, original.minute);

  EXPECT_FALSE(files.Copy("a.dat", "a.dat", true));
  EXPECT_FALSE(files.Copy("a.dat", "A.DAT", true));
  EXPECT_EQ(tree.Read("a.dat"), "source data");
  EXPECT_FALSE(files.Copy("none.dat", "c.dat", true));
  EXPECT_FALSE(tree.Exists("c.dat"));

  // No temporary file is left behind.
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(tree.root())) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.dat", "b.dat"}));
}

TEST(DriveSettings, ReadFromTheSettingsFile) {
  struct Case {
    const char* text;
    bool ok;
    uint32_t type;
    const char* directory;
  };
  const Case cases[] = {
      {"cdrom /media/disc1", true, platform::kDriveCdrom, "/media/disc1"},
      {"CDROM  /path with spaces/disc ", true, platform::kDriveCdrom, "/path with spaces/disc"},
      {"cdrom", true, platform::kDriveCdrom, ""},
      {"fixed /home/me", true, platform::kDriveFixed, "/home/me"},
      {"fixed", false, 0, ""},
      {"floppy /mnt", false, 0, ""},
      {"", false, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    uint32_t type = 0;
    std::string directory;
    EXPECT_EQ(platform::ParseDriveSetting(c.text, &type, &directory), c.ok);
    if (c.ok) {
      EXPECT_EQ(type, c.type);
      EXPECT_EQ(directory, c.directory);
    }
  }

  platform::MemoryConfig config;
  config.Set("Drive E", "cdrom /media/disc1");
  config.Set("drive g", "cdrom");
  config.Set("Drive C", "fixed /");
  config.Set("Drive Q", "nonsense");
  PosixFiles files;
  EXPECT_EQ(files.LoadDrives(config), 3);
  EXPECT_EQ(files.LogicalDrives(), (1u << 2) | (1u << 4) | (1u << 6));
  EXPECT_EQ(files.DriveType(4), platform::kDriveCdrom);
  EXPECT_EQ(files.drive(4).directory, "/media/disc1");
  EXPECT_EQ(files.DriveType(6), platform::kDriveCdrom);
  EXPECT_EQ(files.DriveType(2), platform::kDriveFixed);
  EXPECT_EQ(files.DriveType(16), platform::kDriveNoRoot);
  EXPECT_EQ(files.DriveType(26), platform::kDriveNoRoot);
  EXPECT_EQ(files.DriveType(-1), platform::kDriveNoRoot);
}

}  // namespace

namespace {

TEST(PosixFiles, ReplaceWritesWholeFilesAndKeepsTheOldOneOnFailure) {
  testsupport::TempTree tree;
  tree.Write("Save/KEY.DAT", "an old, longer file");
  PosixFiles files;
  files.SetWorkingDirectory(tree.root());

  // A shorter file replaces the longer one whole (no stale tail), under the existing spelling.
  EXPECT_TRUE(files.Replace("save\\key.dat", "new", 3));
  EXPECT_EQ(tree.Read("Save/KEY.DAT"), "new");
  EXPECT_TRUE(files.Replace("save\\system.dat", "made", 4));  // a new file in an existing folder
  EXPECT_EQ(tree.Read("Save/system.dat"), "made");
  // The listing cache knows the new file at once.
  EXPECT_TRUE(files.IsFile("SAVE\\SYSTEM.DAT"));

  // No folder to hold it, or a folder in its place: refused, nothing changed.
  EXPECT_FALSE(files.Replace("nowhere\\key.dat", "x", 1));
  tree.MakeDir("Save/dir.dat");
  EXPECT_FALSE(files.Replace("save\\dir.dat", "x", 1));

  // A write that cannot finish (files may grow to 2 bytes only) leaves the old file intact.
  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  rlimit small = previous;
  small.rlim_cur = 2;
  auto* previous_handler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool replaced = files.Replace("save\\key.dat", "too long", 8);
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, previous_handler);
  EXPECT_FALSE(replaced);
  EXPECT_EQ(tree.Read("Save/KEY.DAT"), "new");

  // No temporary file is left behind.
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(tree.Path("Save"))) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"KEY.DAT", "dir.dat", "system.dat"}));
}

}  // namespace

namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// What a save leaves behind: the right mode, links kept, the temporary files of a killed process
// gone, and only those.
TEST(PosixFiles, ReplaceKeepsModesWritesThroughLinksAndClearsLeftovers) {
  testsupport::TempTree tree;
  tree.MakeDir("save");
  tree.MakeDir("elsewhere");
  PosixFiles files;
  files.SetWorkingDirectory(tree.root());

  // A new file gets 0666 less the umask, whatever the umask.
  for (mode_t mask : {mode_t{022}, mode_t{077}, mode_t{002}}) {
    SCOPED_TRACE(mask);
    const mode_t before = ::umask(mask);
    const std::string name = "new" + std::to_string(mask) + ".dat";
    EXPECT_TRUE(files.Replace(("save\\" + name).c_str(), "x", 1));
    ::umask(before);
    EXPECT_EQ(ModeOf(tree.Path("save/" + name)), 0666 & ~mask);
  }

  // A replaced file keeps its mode.
  tree.Write("save/system.dat", "old");
  ASSERT_EQ(::chmod(tree.Path("save/system.dat").c_str(), 0640), 0);
  EXPECT_TRUE(files.Replace("save\\system.dat", "newer", 5));
  EXPECT_EQ(tree.Read("save/system.dat"), "newer");
  EXPECT_EQ(ModeOf(tree.Path("save/system.dat")), 0640u);

  // A save file that is a link (relative or absolute, or a chain) is written through to its
  // target in its own directory; the links stay.
  tree.Write("elsewhere/key.dat", "old keys");
  ASSERT_EQ(::chmod(tree.Path("elsewhere/key.dat").c_str(), 0604), 0);
  ASSERT_EQ(::symlink("../elsewhere/key.dat", tree.Path("save/key.dat").c_str()), 0);
  ASSERT_EQ(::symlink(tree.Path("save/key.dat").c_str(), tree.Path("save/chain.dat").c_str()), 0);
  EXPECT_TRUE(files.Replace("save\\KEY.DAT", "new keys", 8));
  EXPECT_EQ(tree.Read("elsewhere/key.dat"), "new keys");
  EXPECT_EQ(ModeOf(tree.Path("elsewhere/key.dat")), 0604u);
  EXPECT_TRUE(std::filesystem::is_symlink(tree.Path("save/key.dat")));
  EXPECT_TRUE(files.Replace("save\\chain.dat", "third", 5));
  EXPECT_EQ(tree.Read("elsewhere/key.dat"), "third");
  EXPECT_TRUE(std::filesystem::is_symlink(tree.Path("save/chain.dat")));
  // A link to a file not made yet makes it there.
  ASSERT_EQ(::symlink("../elsewhere/album.dat", tree.Path("save/album.dat").c_str()), 0);
  EXPECT_TRUE(files.Replace("save\\album.dat", "album", 5));
  EXPECT_EQ(tree.Read("elsewhere/album.dat"), "album");
  EXPECT_TRUE(std::filesystem::is_symlink(tree.Path("save/album.dat")));
  // A loop of links is refused.
  ASSERT_EQ(::symlink("loop2.dat", tree.Path("save/loop1.dat").c_str()), 0);
  ASSERT_EQ(::symlink("loop1.dat", tree.Path("save/loop2.dat").c_str()), 0);
  EXPECT_FALSE(files.Replace("save\\loop1.dat", "x", 1));

  // A process killed before its rename left temporary files; the next save into that directory
  // removes them, and nothing of another shape.
  tree.Write("save/.save-Ab12Cd", "half a save");
  tree.Write("save/.save-zzzzzz", "another");
  tree.Write("save/.save-toolong1", "not ours");
  tree.Write("save/.copy-abcdef", "not a save");
  ASSERT_EQ(::symlink("../elsewhere/key.dat", tree.Path("save/.save-link01").c_str()), 0);
  EXPECT_TRUE(files.Replace("save\\system.dat", "fourth", 6));
  const auto names = Entries(tree.Path("save"));
  EXPECT_EQ(std::count(names.begin(), names.end(), ".save-Ab12Cd"), 0);
  EXPECT_EQ(std::count(names.begin(), names.end(), ".save-zzzzzz"), 0);
  EXPECT_EQ(std::count(names.begin(), names.end(), ".save-toolong1"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), ".copy-abcdef"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), ".save-link01"), 1);  // links are not ours
  EXPECT_EQ(tree.Read("elsewhere/key.dat"), "third");
  // The save itself leaves no temporary file.
  for (const auto& name : names) {
    if (name != ".save-link01") {
      EXPECT_FALSE(name.size() == 12 && name.rfind(".save-", 0) == 0);
    }
  }
}

// The disc faults of a save: which sync fails (fsync on the temporary file, or on the directory
// after the rename), chosen by the test.
enum class FailingSync { kNone, kFile, kDirectory };
FailingSync g_failing_sync = FailingSync::kNone;

int FaultySync(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return -1;
  const bool directory = S_ISDIR(st.st_mode);
  if ((g_failing_sync == FailingSync::kFile && !directory) ||
      (g_failing_sync == FailingSync::kDirectory && directory)) {
    errno = EIO;
    return -1;
  }
  return ::fsync(fd);
}

// A save over a file whose mode keeps its owner out, and a save whose sync fails: the result says
// whether the new file stands, and the game can read back what it reports as saved.
TEST(PosixFiles, ReplaceOnUnreadableModesAndFailingSyncs) {
  const struct {
    const char* name;
    mode_t old_mode;
    FailingSync failing;
    bool saved;
    mode_t mode_after;  // 0: the new-file mode (0666 less the umask)
    bool warned;
  } cases[] = {
      {"mode 000", 0000, FailingSync::kNone, true, 0, false},
      {"write only", 0200, FailingSync::kNone, true, 0, false},
      {"read only", 0400, FailingSync::kNone, true, 0, false},
      {"owner reads and writes", 0600, FailingSync::kNone, true, 0600, false},
      {"the file's sync fails", 0640, FailingSync::kFile, false, 0640, false},
      {"the directory's sync fails", 0640, FailingSync::kDirectory, true, 0640, true},
  };
  const mode_t mask = ::umask(022);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::TempTree tree;
    tree.Write("save/data1.sav", "old");
    ASSERT_EQ(::chmod(tree.Path("save/data1.sav").c_str(), c.old_mode), 0);
    PosixFiles files;
    files.SetWorkingDirectory(tree.root());
    g_failing_sync = c.failing;
    files.SetSyncCall(&FaultySync);
    std::string warning = "stale";
    EXPECT_EQ(files.Replace("save\\data1.sav", "new", 3, &warning), c.saved);
    g_failing_sync = FailingSync::kNone;
    EXPECT_EQ(!warning.empty(), c.warned) << warning;
    if (c.warned) {
      EXPECT_NE(warning.find(strerror(EIO)), std::string::npos) << warning;
    }
    EXPECT_EQ(ModeOf(tree.Path("save/data1.sav")), c.mode_after != 0 ? c.mode_after : 0644u);
    if (c.saved) {
      // What was reported saved opens and reads back.
      const intptr_t h = files.Open("save\\data1.sav", false);
      ASSERT_GE(h, 0);
      char buffer[8] = {};
      uint32_t got = 0;
      EXPECT_TRUE(files.Read(h, buffer, sizeof buffer, &got));
      EXPECT_EQ(std::string(buffer, got), "new");
      files.Close(h);
    } else {
      ASSERT_EQ(::chmod(tree.Path("save/data1.sav").c_str(), 0600), 0);
      EXPECT_EQ(tree.Read("save/data1.sav"), "old");
    }
    EXPECT_EQ(Entries(tree.Path("save")), std::vector<std::string>{"data1.sav"});
  }
  ::umask(mask);
}

TEST(PosixFiles, KindsAndTheWorkingDirectory) {
  testsupport::TempTree tree;
  tree.MakeDir("Dir");
  tree.Write("file", "x");
  ASSERT_EQ(::mkfifo(tree.Path("pipe").c_str(), 0600), 0);
  PosixFiles files;
  using Kind = platform::Files::Kind;
  EXPECT_EQ(files.KindOf(tree.Path("dir").c_str()), Kind::kDirectory);  // any case
  EXPECT_EQ(files.KindOf(tree.Path("file").c_str()), Kind::kFile);
  EXPECT_EQ(files.KindOf(tree.Path("pipe").c_str()), Kind::kOther);
  EXPECT_EQ(files.KindOf(tree.Path("none").c_str()), Kind::kMissing);
  EXPECT_EQ(files.KindOf(tree.Path("none/deeper").c_str()), Kind::kMissing);
  EXPECT_EQ(files.WorkingDirectory(), std::filesystem::current_path().string());
  files.SetWorkingDirectory(tree.root());
  EXPECT_EQ(files.WorkingDirectory(), tree.root());
  EXPECT_EQ(files.KindOf("DIR"), Kind::kDirectory);
}

TEST(PrivateTempDirectory, IsNewOwnAndGoneAfterwards) {
  std::string path;
  {
    platform::PrivateTempDirectory a;
    platform::PrivateTempDirectory b;
    path = a.path();
    ASSERT_FALSE(path.empty());
    EXPECT_NE(a.path(), b.path());
    EXPECT_EQ(ModeOf(path), 0700u);
    std::ofstream(path + "/movie.mpg") << "data";
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
