#include "engine/files/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "engine/app/app_state.h"
#include "testsupport/faulty_files.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"
#include "testsupport/trace_capture.h"

namespace {

using platform::EventKind;

// A fresh engine whose working directory, install directory and drives stand on a temporary
// tree. Drive letters used: C fixed (not a CD), E and G CD drives.
struct Layer {
  Layer() {
    engine.host.files.SetWorkingDirectory(tree.cwd());
    io().SetInstallDir(tree.install().c_str());
    engine.host.files.SetDrive('C' - 'A', platform::kDriveFixed, tree.MakeDir("drives/c"));
  }
  FileIO& io() { return engine.ctx().file_io; }
  platform::PosixFiles& files() { return engine.host.files; }

  // Opens and reads the whole file; "" on a miss.
  std::string ReadAll(const char* name, uint32_t places) {
    FileHandle h = io().Open(name, FileMode::kRead, places);
    if (h == kInvalidFile) return "";
    std::string data(io().GetSize(h), '\0');
    uint32_t got = 0;
    EXPECT_NE(io().Read(h, data.data(), static_cast<uint32_t>(data.size()), &got), 0);
    EXPECT_EQ(got, data.size());
    io().Close(h);
    return data;
  }

  testsupport::GameTree tree;
  testsupport::TestEngine engine;
};

// Where a copy of the file lies: bit 0 working directory, 1 install, 2 drive E, 3 drive G.
enum Where : unsigned { kCwd = 1, kInst = 2, kDriveE = 4, kDriveG = 8 };

TEST(FileSearch, FirstPlaceInSearchOrderWins) {
  struct Case {
    unsigned present;
    uint32_t places;
    const char* winner;  // contents of the winning copy, "" for a miss
  };
  const Case cases[] = {
      {kCwd | kInst | kDriveE | kDriveG, 7, "cwd"},
      {kCwd | kInst | kDriveE | kDriveG, 6, "inst"},
      {kCwd | kInst | kDriveE | kDriveG, 4, "E"},
      {kCwd | kInst | kDriveE | kDriveG, 1, "cwd"},
      {kInst | kDriveG, 7, "inst"},
      {kInst | kDriveG, 5, "G"},
      {kDriveG, 7, "G"},
      {kCwd, 6, ""},
      {kInst, 1, ""},
      {kDriveE | kDriveG, 3, ""},
      {0, 7, ""},
  };
  const char* name = "Data\\Sub\\table.bin";
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "present " << c.present << " places " << c.places);
    Layer layer;
    layer.tree.MountDisc(layer.files(), 'E', "e", {1});
    layer.tree.MountDisc(layer.files(), 'G', "g", {2});
    if (c.present & kCwd) layer.tree.Write("cwd/Data/Sub/table.bin", "cwd");
    if (c.present & kInst) layer.tree.Write("install/Data/Sub/table.bin", "inst");
    if (c.present & kDriveE) layer.tree.Write("drives/e/Data/Sub/table.bin", "E");
    if (c.present & kDriveG) layer.tree.Write("drives/g/Data/Sub/table.bin", "G");

    EXPECT_EQ(layer.ReadAll(name, c.places), c.winner);

    std::string expected_path;
    if (std::string(c.winner) == "cwd") expected_path = name;
    if (std::string(c.winner) == "inst") expected_path = layer.tree.install() + name;
    if (std::string(c.winner) == "E") expected_path = std::string("E:\\") + name;
    if (std::string(c.winner) == "G") expected_path = std::string("G:\\") + name;
    char found[kPathMax] = "untouched";
    const int hit = layer.io().FindFile(name, found, c.places);
    EXPECT_EQ(hit, expected_path.empty() ? 0 : 1);
    EXPECT_EQ(std::string(found), expected_path.empty() ? "untouched" : expected_path);
    EXPECT_EQ(layer.io().Exist(name, c.places), hit);
    if (hit) {
      EXPECT_EQ(layer.io().ExistPath(found), 1);
    }
  }
}

TEST(FileSearch, EverySegmentMatchesCaseInsensitively) {
  struct Case {
    const char* on_disc;  // under the install directory
    const char* asked;
  };
  const Case cases[] = {
      {"tamvik1/voice/V0001.WAV", "TAMVIK1\\Voice\\v0001.wav"},
      {"Movie/OP.MPG", "movie\\op.mpg"},
      {"se/SE.TAB", "SE/se.tab"},
      {"a/b/c/d.e", "A\\B/C\\D.E"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    Layer layer;
    layer.tree.Write(std::string("install/") + c.on_disc, "x");
    EXPECT_EQ(layer.ReadAll(c.asked, kSearchInstall), "x");
    EXPECT_EQ(layer.io().Exist(c.asked, kSearchInstall), 1);
    // The same tree on a CD drive.
    layer.tree.Write(std::string("drives/e/") + c.on_disc, "y");
    layer.files().SetDrive('E' - 'A', platform::kDriveCdrom, layer.tree.Path("drives/e"));
    EXPECT_EQ(layer.ReadAll(c.asked, kSearchDrives), "y");
  }
}

TEST(FileSearch, ExistPathWantsARegularFile) {
  Layer layer;
  layer.tree.Write("install/save/system.dat", "s");
  const std::string inst = layer.tree.install();
  EXPECT_EQ(layer.io().ExistPath((inst + "save\\SYSTEM.DAT").c_str()), 1);
  EXPECT_EQ(layer.io().ExistPath((inst + "save").c_str()), 0);  // a directory
  EXPECT_EQ(layer.io().ExistPath((inst + "save\\none.dat").c_str()), 0);
  EXPECT_EQ(layer.io().ExistPath(""), 0);
  // A directory never opens as a file either.
  EXPECT_EQ(layer.io().Open("save", FileMode::kRead, kSearchInstall), kInvalidFile);
}

TEST(FileSearch, RemembersTheDriveOfTheLastHitUntilItMisses) {
  Layer layer;
  layer.tree.MountDisc(layer.files(), 'E', "e", {1});
  layer.tree.MountDisc(layer.files(), 'G', "g", {2});
  layer.tree.Write("drives/g/voice/a.wav", "G");
  FileIO& io = layer.io();

  EXPECT_EQ(layer.ReadAll("voice\\a.wav", kSearchDrives), "G");
  EXPECT_EQ(io.previous_open_drive(), 'G' - 'A');
  EXPECT_EQ(io.scan_count(), 1u);

  // The remembered drive is tried first: no scan.
  EXPECT_EQ(layer.ReadAll("voice\\a.wav", kSearchAll), "G");
  EXPECT_EQ(io.scan_count(), 1u);

  // The file moved to E: the miss on G forgets it and a full scan finds E.
  layer.tree.Remove("drives/g/voice/a.wav");
  layer.tree.Write("drives/e/voice/a.wav", "E");
  EXPECT_EQ(layer.ReadAll("voice\\a.wav", kSearchDrives), "E");
  EXPECT_EQ(io.scan_count(), 2u);
  EXPECT_EQ(io.previous_open_drive(), 'E' - 'A');

  // Gone everywhere: a scan, a miss, nothing remembered.
  layer.tree.Remove("drives/e/voice/a.wav");
  EXPECT_EQ(io.Open("voice\\a.wav", FileMode::kRead, kSearchDrives), kInvalidFile);
  EXPECT_EQ(io.scan_count(), 3u);
  EXPECT_EQ(io.previous_open_drive(), -1);
  // Path finding keeps a drive of its own.
  EXPECT_EQ(io.previous_find_drive(), -1);
}

TEST(FileSearch, PathFindingRemembersItsOwnDrive) {
  Layer layer;
  layer.tree.MountDisc(layer.files(), 'E', "e", {1});
  layer.tree.MountDisc(layer.files(), 'G', "g", {2});
  layer.tree.Write("drives/g/movie/op.mpg", "G");
  FileIO& io = layer.io();
  char path[kPathMax];

  ASSERT_EQ(io.FindFileAll("movie\\op.mpg", path), 1);
  EXPECT_STREQ(path, "G:\\movie\\op.mpg");
  EXPECT_EQ(io.previous_find_drive(), 'G' - 'A');
  EXPECT_EQ(io.previous_open_drive(), -1);
  EXPECT_EQ(io.scan_count(), 1u);

  ASSERT_EQ(io.FindFileAll("movie\\op.mpg", path), 1);
  EXPECT_EQ(io.scan_count(), 1u);

  layer.tree.Remove("drives/g/movie/op.mpg");
  EXPECT_EQ(io.FindFileAll("movie\\op.mpg", path), 0);
  EXPECT_EQ(io.scan_count(), 2u);
  EXPECT_EQ(io.previous_find_drive(), -1);
}

TEST(Discs, MarkersTellWhichDiscSitsInWhichDrive) {
  struct DriveSetup {
    char letter;
    std::vector<int> markers;
    bool has_disc;
  };
  struct Case {
    const char* what;
    std::vector<DriveSetup> drives;
    std::vector<std::pair<char, int>> disc_no;   // drive -> GetDiscNo
    std::vector<std::pair<int, int>> find_disc;  // want -> FindDisc
  };
  const Case cases[] = {
      {"two markers on one disc count as the lower",
       {{'E', {3, 1}, true}},
       {{'E', 1}},
       {{0, 1}, {1, 1}, {3, -1}}},
      {"two drives: any disc is the lower letter's",
       {{'G', {1}, true}, {'E', {3}, true}},
       {{'E', 3}, {'G', 1}},
       {{0, 3}, {1, 1}, {3, 3}, {2, -1}}},
      {"a CD drive without a disc",
       {{'E', {}, false}, {'G', {2}, true}},
       {{'E', 0}, {'G', 2}, {'C', -1}, {'Z', -1}},
       {{0, 2}, {2, 2}, {1, -1}}},
      {"a disc without markers",
       {{'E', {}, true}},
       {{'E', 0}},
       {{0, -1}, {1, -1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Layer layer;
    for (const DriveSetup& d : c.drives) {
      if (d.has_disc) {
        layer.tree.MountDisc(layer.files(), d.letter, std::string(1, d.letter), d.markers);
      } else {
        layer.files().SetDrive(d.letter - 'A', platform::kDriveCdrom, "");
      }
    }
    EXPECT_EQ(layer.io().ScanDrives(), 1);
    for (auto [letter, want] : c.disc_no) {
      EXPECT_EQ(layer.io().GetDiscNo(letter - 'A'), want) << letter;
    }
    for (auto [want, result] : c.find_disc) {
      EXPECT_EQ(layer.io().FindDisc(want), result) << "FindDisc(" << want << ")";
    }
  }
}

TEST(Discs, DriveRecordsAfterAScan) {
  Layer layer;
  layer.tree.MountDisc(layer.files(), 'E', "e", {2});
  layer.files().SetDrive('F' - 'A', platform::kDriveCdrom, layer.tree.Path("no-such-dir"));
  layer.io().ScanDrives();
  const FileIO::DriveRec& c = layer.io().drive('C' - 'A');
  EXPECT_EQ(c.type, platform::kDriveFixed);
  EXPECT_EQ(c.mounted, 0u);
  EXPECT_EQ(c.root, "");
  EXPECT_EQ(c.disc, -1);
  const FileIO::DriveRec& e = layer.io().drive('E' - 'A');
  EXPECT_EQ(e.type, kDriveTypeCdrom);
  EXPECT_EQ(e.mounted, 1u);
  EXPECT_EQ(e.root, "E:\\");
  EXPECT_EQ(e.disc, 2);
  // A CD drive whose directory is missing is an empty drive: listed, disc 0.
  EXPECT_EQ(layer.io().drive('F' - 'A').mounted, 1u);
  EXPECT_EQ(layer.io().drive('F' - 'A').disc, 0);

  // A drive that stops being a CD drive is no longer searched.
  layer.tree.Write("drives/e/x.bin", "x");
  layer.files().SetDrive('E' - 'A', platform::kDriveFixed, layer.tree.Path("drives/e"));
  EXPECT_EQ(layer.io().Exist("x.bin", kSearchDrives), 0);
  EXPECT_EQ(layer.io().drive('E' - 'A').mounted, 0u);
}

TEST(Discs, WithoutCdDrivesEveryDriveStepFails) {
  Layer layer;  // only the fixed drive C
  layer.tree.Write("drives/c/x.bin", "x");
  char path[kPathMax];
  EXPECT_EQ(layer.io().Open("x.bin", FileMode::kRead, kSearchDrives), kInvalidFile);
  EXPECT_EQ(layer.io().FindFile("x.bin", path, kSearchDrives), 0);
  EXPECT_EQ(layer.io().Exist("x.bin", kSearchDrives), 0);
  EXPECT_EQ(layer.io().FindDisc(0), -1);
  // The fixed drive's files are still reachable by an explicit path.
  EXPECT_EQ(layer.io().ExistPath("C:\\X.BIN"), 1);
}

TEST(FileOpenError, MissingFileShowsTheBoxAndClosesTheWindow) {
  Layer layer;
  testsupport::TraceCapture trace;
  auto& window = layer.engine.host.window;

  // Without the error flag a miss is quiet.
  EXPECT_EQ(layer.io().Open("slg\\stage01.dat", 0), kInvalidFile);
  EXPECT_TRUE(window.boxes.empty());

  AppHideCursor();
  const FileHandle h = layer.io().Open("slg\\stage01.dat", 1);
  EXPECT_EQ(h, kInvalidFile);
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].caption, "FILE OPEN ERROR");
  EXPECT_EQ(window.boxes[0].text, "没有找到以下的档案。\nslg\\stage01.dat\n请重新安装游戏。");
  EXPECT_TRUE(window.boxes[0].owned);
  const auto pending = window.Pending();
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].kind, EventKind::kClose);
  EXPECT_TRUE(trace.Contains("slg\\stage01.dat"));
  EXPECT_TRUE(window.cursor_visible);  // the box comes with the cursor

  // The caller goes on with the invalid handle: every operation fails and touches nothing.
  char buffer[8] = "keepme!";
  uint32_t got = 99;
  EXPECT_EQ(layer.io().Read(h, buffer, sizeof buffer, &got), 0);
  EXPECT_EQ(got, 0u);
  EXPECT_STREQ(buffer, "keepme!");
  EXPECT_EQ(layer.io().GetSize(h), 0u);
  EXPECT_EQ(layer.io().Seek(h, 4, kSeekStart), kSeekFailed);
  EXPECT_EQ(layer.io().Write(h, buffer, 4), 0);
  EXPECT_EQ(layer.io().GetFileTimeText(h, buffer), 0);
  EXPECT_STREQ(buffer, "keepme!");
  EXPECT_EQ(layer.io().Close(h), 0);
}

// What stands where a data file should be is traced as what it is, and a read that fails names
// the file it failed on.
TEST(FileOpenError, TracesWhatStandsInPlaceOfTheFileAndNamesFailedReads) {
  Layer l;
  l.tree.MakeDir("install/data/dir.bin");
  ASSERT_EQ(::mkfifo((l.tree.install() + "data/pipe.bin").c_str(), 0600), 0);
  l.tree.Write("install/data/locked.bin", "x");
  l.tree.Write("install/data/good.bin", "good");
  testsupport::FaultyFiles faulty(l.files());
  l.engine.host.seams().files = &faulty;
  const struct {
    const char* name;
    bool refuse_read_opens;
    const char* said;
  } cases[] = {
      {"data\\dir.bin", false, "data\\dir.bin is a directory"},
      {"data\\pipe.bin", false, "data\\pipe.bin is not a regular file"},
      {"data\\locked.bin", true, "data\\locked.bin is there but cannot be opened"},
      {"data\\none.bin", false, "data\\none.bin: not found"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    faulty.read_open_fails = c.refuse_read_opens;
    testsupport::TraceCapture trace;
    EXPECT_EQ(l.io().Open(c.name, FileMode::kRead, kSearchAll), kInvalidFile);
    EXPECT_TRUE(trace.Contains(c.said));
    EXPECT_EQ(trace.Contains("not found"), std::string(c.said).find("not found") != std::string::npos);
  }
  faulty.read_open_fails = false;
  const FileHandle h = l.io().Open("data\\good.bin", FileMode::kRead, kSearchInstall);
  ASSERT_NE(h, kInvalidFile);
  faulty.reads_before_failure = 0;
  testsupport::TraceCapture trace;
  char buffer[4];
  uint32_t got = 0;
  EXPECT_EQ(l.io().Read(h, buffer, 4, &got), 0);
  EXPECT_TRUE(trace.Contains("FileIO::Read: failed on " + l.tree.install() + "data\\good.bin"));
  l.io().Close(h);
  l.engine.host.seams().files = &l.engine.host.files;
}

TEST(FileHandles, ClosedHandleIsNoLongerUsable) {
  Layer layer;
  layer.tree.Write("install/a.bin", "abcdef");
  FileIO& io = layer.io();
  FileHandle h = io.Open("a.bin", FileMode::kRead, kSearchInstall);
  ASSERT_NE(h, kInvalidFile);
  EXPECT_EQ(io.GetSize(h), 6u);
  EXPECT_EQ(io.Seek(h, -2, kSeekEnd), 4u);
  char buf[4] = {};
  uint32_t got = 0;
  EXPECT_NE(io.Read(h, buf, 4, &got), 0);  // a short read at the end is a success
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(std::string(buf, 2), "ef");
  EXPECT_EQ(io.Seek(h, -1, kSeekStart), kSeekFailed);
  EXPECT_EQ(io.Seek(h, 0, 7), kSeekFailed);
  EXPECT_NE(io.Close(h), 0);
  EXPECT_EQ(io.Close(h), 0);
  EXPECT_EQ(io.GetSize(h), 0u);
  EXPECT_EQ(io.Read(h, buf, 4), 0);
}

TEST(FileWrite, WriteOpenNeverTruncatesAndWritesUnderTheInstallDirectoryOnly) {
  Layer layer;
  layer.tree.Write("install/save/system.dat", "ABCDEFGHIJKLMNOPQRST");
  layer.tree.Write("cwd/save/system.dat", "working copy");
  FileIO& io = layer.io();

  FileHandle h = io.OpenWrite("save\\system.dat");
  ASSERT_NE(h, kInvalidFile);
  EXPECT_NE(io.Write(h, "0123456789", 10), 0);
  io.Close(h);
  EXPECT_EQ(layer.tree.Read("install/save/system.dat"), "0123456789KLMNOPQRST");
  EXPECT_EQ(layer.tree.Read("cwd/save/system.dat"), "working copy");

  // A new save file is created, and is found at once by a differently cased name.
  h = io.OpenWrite("save\\Slot01.DAT");
  ASSERT_NE(h, kInvalidFile);
  EXPECT_NE(io.Write(h, "new", 3), 0);
  io.Close(h);
  EXPECT_EQ(layer.tree.Read("install/save/Slot01.DAT"), "new");
  EXPECT_EQ(io.Exist("SAVE\\slot01.dat", kSearchInstall), 1);

  // The directory must exist; nothing is created on the way.
  EXPECT_EQ(io.OpenWrite("nosave\\slot.dat"), kInvalidFile);
  EXPECT_FALSE(layer.tree.Exists("install/nosave"));
}

TEST(FileWrite, CopyAndDeleteInsideTheInstallDirectory) {
  Layer layer;
  layer.tree.Write("install/save/a.dat", "source");
  layer.tree.Write("install/save/b.dat", "target");
  FileIO& io = layer.io();

  EXPECT_EQ(io.CopyFile("save\\a.dat", "save\\b.dat", 0), 0);
  EXPECT_EQ(layer.tree.Read("install/save/b.dat"), "target");

  EXPECT_NE(io.CopyFile("save\\a.dat", "save\\b.dat", 1), 0);
  EXPECT_EQ(layer.tree.Read("install/save/b.dat"), "source");

  EXPECT_NE(io.CopyFile("save\\a.dat", "save\\c.dat", 0), 0);
  EXPECT_EQ(layer.tree.Read("install/save/c.dat"), "source");

  // Onto itself, under the same or another spelling: refused, the file stays whole.
  EXPECT_EQ(io.CopyFile("save\\a.dat", "save\\a.dat", 1), 0);
  EXPECT_EQ(io.CopyFile("save\\a.dat", "SAVE\\A.DAT", 1), 0);
  EXPECT_EQ(layer.tree.Read("install/save/a.dat"), "source");

  EXPECT_EQ(io.CopyFile("save\\none.dat", "save\\d.dat", 1), 0);
  EXPECT_FALSE(layer.tree.Exists("install/save/d.dat"));

  EXPECT_NE(io.DeleteFile("save\\C.dat"), 0);
  EXPECT_FALSE(layer.tree.Exists("install/save/c.dat"));
  EXPECT_EQ(io.DeleteFile("save\\c.dat"), 0);
  EXPECT_EQ(io.DeleteFile("save"), 0);  // never a directory
  EXPECT_TRUE(layer.tree.Exists("install/save"));
}

TEST(FileWrite, CopyAndDeleteNeedTheInstallDirectory) {
  testsupport::GameTree tree;
  testsupport::TestEngine engine;
  engine.host.files.SetWorkingDirectory(tree.cwd());
  tree.Write("cwd/a.dat", "a");
  FileIO& io = engine.ctx().file_io;
  EXPECT_EQ(io.GetInstallDir(), nullptr);
  EXPECT_EQ(io.CopyFile("a.dat", "b.dat", 1), 0);
  EXPECT_EQ(io.DeleteFile("a.dat"), 0);
  EXPECT_EQ(io.OpenWrite("a.dat"), kInvalidFile);
  EXPECT_EQ(io.SaveFile("a.dat", "x", 1), 0);
  EXPECT_TRUE(tree.Exists("cwd/a.dat"));
  EXPECT_FALSE(tree.Exists("cwd/b.dat"));
  io.SetInstallDir(nullptr);  // changes nothing
  EXPECT_EQ(io.GetInstallDir(), nullptr);
  io.SetInstallStyle(2);
  EXPECT_EQ(io.GetInstallStyle(), 2u);
}

TEST(FileWrite, SaveFileReplacesAWholeFileUnderTheInstallDirectory) {
  Layer layer;
  layer.tree.Write("install/save/data1.sav", "an older and longer save");
  layer.tree.Write("cwd/save/data1.sav", "not this one");
  EXPECT_EQ(layer.io().SaveFile("save\\DATA1.SAV", "new save", 8), 1);
  EXPECT_EQ(layer.tree.Read("install/save/data1.sav"), "new save");
  EXPECT_EQ(layer.tree.Read("cwd/save/data1.sav"), "not this one");
  // A missing folder is made first.
  EXPECT_EQ(layer.io().SaveFile("nosuch\\deeper\\data1.sav", "x", 1), 1);
  EXPECT_EQ(layer.tree.Read("install/nosuch/deeper/data1.sav"), "x");
  // A file where the folder should be: refused, with a trace.
  layer.tree.Write("install/afile", "not a folder");
  testsupport::TraceCapture trace;
  EXPECT_EQ(layer.io().SaveFile("afile\\data1.sav", "x", 1), 0);
  EXPECT_TRUE(trace.Contains("FileIO::SaveFile"));
  EXPECT_EQ(layer.tree.Read("install/afile"), "not a folder");
}

// Runs a body with TZ set, restoring the previous value afterwards.
template <typename F>
void WithTimeZone(const char* tz, F body) {
  const char* old = std::getenv("TZ");
  std::string saved = old ? old : "";
  setenv("TZ", tz, 1);
  tzset();
  body();
  if (old) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

TEST(FileTime, LastWriteTimeAsLocalText) {
  Layer layer;
  layer.tree.Write("install/save/a.dat", "x");
  std::tm utc{};
  utc.tm_year = 2001 - 1900;
  utc.tm_mon = 8 - 1;
  utc.tm_mday = 2;
  utc.tm_hour = 0;
  utc.tm_min = 5;
  layer.tree.SetModifiedTime("install/save/a.dat", timegm(&utc));  // 09:05 in UTC+9

  FileHandle h = layer.io().Open("save\\a.dat", FileMode::kRead, kSearchInstall);
  ASSERT_NE(h, kInvalidFile);
  WithTimeZone("JST-9", [&] {
    char text[32];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(layer.io().GetFileTimeText(h, text), 1);
    EXPECT_STREQ(text, "2001/08/02 09:05");
  });
  WithTimeZone("UTC0", [&] {
    char text[32];
    EXPECT_EQ(layer.io().GetFileTimeText(h, text), 1);
    EXPECT_STREQ(text, "2001/08/02 00:05");
  });
  layer.io().Close(h);
}

TEST(FilePaths, TooLongPathIsAMissNotAnOverflow) {
  Layer layer;
  testsupport::TraceCapture trace;
  const std::string dir(200, 'd');
  layer.tree.Write("install/" + dir + "/f.bin", "x");
  layer.tree.MountDisc(layer.files(), 'E', "e", {1});
  const std::string fits = dir + "/f.bin";
  EXPECT_EQ(layer.io().Exist(fits.c_str(), kSearchInstall), 1);

  // Install directory + name over 255 bytes: the file may exist, the path cannot be built.
  const std::string name(300, 'n');
  const std::string long_inst = layer.tree.install() + name;
  layer.io().SetInstallDir(long_inst.c_str());
  EXPECT_EQ(layer.io().Open("x.bin", FileMode::kRead, kSearchInstall), kInvalidFile);
  EXPECT_TRUE(trace.Contains("too long"));

  char out[kPathMax];
  std::memset(out, 0x5A, sizeof out);
  EXPECT_EQ(layer.io().FindFile(name.c_str(), out, kSearchAll), 0);
  EXPECT_EQ(out[0], 0x5A);
  EXPECT_EQ(layer.io().Exist(name.c_str()), 0);
  EXPECT_EQ(layer.io().Open(name.c_str(), 0), kInvalidFile);
  EXPECT_EQ(layer.io().CopyFile(name.c_str(), "b", 1), 0);
  EXPECT_EQ(layer.io().DeleteFile("b"), 0);
}

}  // namespace
