// The files seam under attack while the program runs: a full disc when the key assignment is
// saved, opens for writing refused, copies refused, a save whose directory cannot be synced.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "engine/files/file_io.h"
#include "engine/input/dinput.h"
#include "tests/engine/faults/fault_rig.h"
#include "testsupport/faulty_files.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::FaultyFiles;
using faults::Program;

// The program running with the faulty files seam in place of the real one.
struct FilesProgram : Program {
  FilesProgram() {
    tree.MakeDir("install/save");
    host().seams().files = &files;
    started = Start();
  }
  ~FilesProgram() { host().seams().files = &host().files; }

  std::string KeyFile() const { return tree.Read("install/save/key.dat"); }

  FaultyFiles files{host().files};
  bool started = false;
};

TEST(FileFaults, KeyAssignmentSaveOnAFullDiscReportsFailureAndTheProgramGoesOn) {
  const struct {
    const char* name;
    uint64_t room;  // bytes the disc still takes
    bool saved;
  } cases[] = {
      {"no room at all", 0, false},
      {"room for the keys only", 16, false},
      {"room for part of the pads", 20, false},
      {"room for it all", 32, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FilesProgram p;
    ASSERT_TRUE(p.started);
    testsupport::TraceCapture trace;
    CDinput& input = Ctx().input;
    const std::string old_file(32, '\x07');
    p.tree.Write("install/save/key.dat", old_file);
    input.SetKeyConfig(0, 0x1E);
    input.SetPadConfig(0, 9);
    p.files.disk_full = true;
    p.files.disk_room = c.room;

    EXPECT_EQ(input.SaveKeyConfig(), c.saved ? 1 : 0);
    EXPECT_EQ(trace.Contains("Key Config Save Fail"), !c.saved);
    // A failed save keeps the old file whole; a good one replaces it whole.
    if (c.saved) {
      ASSERT_EQ(p.KeyFile().size(), 32u);
      EXPECT_EQ(p.KeyFile()[0], 0x1E);
      EXPECT_EQ(p.KeyFile()[16], 9);
    } else {
      EXPECT_EQ(p.KeyFile(), old_file);
    }
    // What the player chose stays in force whether or not it could be kept.
    EXPECT_EQ(input.GetKeyConfig(0), 0x1Eu);
    EXPECT_EQ(input.GetPadConfig(0), 9u);
    EXPECT_TRUE(p.Run(5));
    EXPECT_TRUE(p.host_window().boxes.empty());
  }
}

TEST(FileFaults, KeyAssignmentSaveThatCannotOpenItsFileFails) {
  FilesProgram p;
  ASSERT_TRUE(p.started);
  p.files.write_open_fails = true;
  EXPECT_EQ(Ctx().input.SaveKeyConfig(), 0);
  EXPECT_FALSE(p.tree.Exists("install/save/key.dat"));
  EXPECT_TRUE(p.Run(3));
}

TEST(FileFaults, CopyThatFailsIsReported) {
  FilesProgram p;
  ASSERT_TRUE(p.started);
  p.tree.Write("install/save/a.dat", "data");
  p.files.copy_fails = true;
  testsupport::TraceCapture trace;
  EXPECT_EQ(Ctx().file_io.CopyFile("save\\a.dat", "save\\b.dat", 1), 0);
  EXPECT_TRUE(trace.Contains("FileIO::CopyFile"));
  EXPECT_FALSE(p.tree.Exists("install/save/b.dat"));
  EXPECT_TRUE(p.Run(3));
}

// A disc that fails the sync of a directory (and only that).
int DirectorySyncFails(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = EIO;
    return -1;
  }
  return ::fsync(fd);
}

TEST(FileFaults, ASaveWhoseDirectoryCannotBeSyncedIsSavedAndTraced) {
  FilesProgram p;
  ASSERT_TRUE(p.started);
  p.host().files.SetSyncCall(&DirectorySyncFails);
  testsupport::TraceCapture trace;
  Ctx().input.SetKeyConfig(0, 0x1E);
  EXPECT_EQ(Ctx().input.SaveKeyConfig(), 1);
  p.host().files.SetSyncCall(nullptr);
  EXPECT_TRUE(trace.Contains("saved, but the directory"));
  EXPECT_FALSE(trace.Contains("Key Config Save Fail"));
  ASSERT_EQ(p.KeyFile().size(), 32u);
  EXPECT_EQ(p.KeyFile()[0], 0x1E);
}

}  // namespace
