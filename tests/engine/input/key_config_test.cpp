#include <gtest/gtest.h>
#include <sys/resource.h>

#include <array>
#include <csignal>
#include <string>
#include <vector>

#include "engine/files/file_io.h"
#include "engine/app/context.h"
#include "engine/input/dinput.h"
#include "testsupport/faulty_files.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"
#include "testsupport/trace_capture.h"

namespace {

const KeyConfig kExpectedDefaults = {
    {0x1C, 0x9C, 0x2D, 0x39, 0x52, 0x2C, 0x1D, 0x9D, 0x2A, 0x36, 0, 0, 0, 0, 0, 0},
    {5, 7, 0, 6, 0, 0, 11, 12, 13, 0, 0, 0, 0, 0, 0, 0},
};

// A fresh engine with started devices and an install directory of its own holding save\.
class KeyConfigTest : public ::testing::Test {
 protected:
  KeyConfigTest() : di(Ctx().input) {
    tree.MakeDir("save");
    Ctx().file_io.SetInstallDir((tree.root() + "/").c_str());
    di.CreateDirectInput();
    di.Init();
  }

  void WriteKeyFile(const std::vector<uint8_t>& bytes) { tree.Write("save/key.dat", bytes); }
  std::vector<uint8_t> ReadKeyFile() const {
    const std::string text = tree.Read("save/key.dat");
    return std::vector<uint8_t>(text.begin(), text.end());
  }
  void ExpectConfig(const KeyConfig& expected) {
    for (uint32_t i = 0; i < 16; ++i) {
      EXPECT_EQ(di.GetKeyConfig(i), expected.keyboard[i]) << "key entry " << i;
      EXPECT_EQ(di.GetPadConfig(i), expected.pad[i]) << "pad entry " << i;
    }
  }

  testsupport::TempTree tree;
  testsupport::TestEngine engine;
  CDinput& di;
};

TEST_F(KeyConfigTest, DefaultsAfterStartUpWithoutAKeyFile) {
  testsupport::TraceCapture trace;
  EXPECT_EQ(di.LoadKeyConfig(), 0);
  ExpectConfig(kExpectedDefaults);
  EXPECT_FALSE(trace.Contains("Key Config Load"));
  for (uint32_t i = 0; i < 16; ++i) {
    EXPECT_EQ(CDinput::GetDefaultKeyConfig(i), kExpectedDefaults.keyboard[i]);
    EXPECT_EQ(CDinput::GetDefaultPadConfig(i), kExpectedDefaults.pad[i]);
  }
}

TEST_F(KeyConfigTest, OutOfRangeEntriesAndValues) {
  for (uint32_t entry : {16u, 17u, 255u, 0xFFFFFFFFu}) {
    di.SetKeyConfig(entry, 0x30);
    di.SetPadConfig(entry, 9);
    EXPECT_EQ(di.GetKeyConfig(entry), 0u);
    EXPECT_EQ(di.GetPadConfig(entry), 0u);
    EXPECT_EQ(CDinput::GetDefaultKeyConfig(entry), 0u);
    EXPECT_EQ(CDinput::GetDefaultPadConfig(entry), 0u);
  }
  ExpectConfig(kExpectedDefaults);

  // Values that would index outside the key and pad states are stored as none.
  di.SetKeyConfig(0, 256);
  di.SetPadConfig(1, 32);
  di.SetPadConfig(2, 31);  // inside the pad state (never down), kept
  EXPECT_EQ(di.GetKeyConfig(0), 0u);
  EXPECT_EQ(di.GetPadConfig(1), 0u);
  EXPECT_EQ(di.GetPadConfig(2), 31u);

  di.InitKeyConfig();
  di.InitPadConfig();
  ExpectConfig(kExpectedDefaults);
}

TEST_F(KeyConfigTest, SaveAndLoadRoundTripAll32Bytes) {
  KeyConfig chosen;
  for (uint32_t i = 0; i < 16; ++i) {
    chosen.keyboard[i] = static_cast<uint8_t>(i % 3 == 0 ? 0 : 0xF0 + i);  // zeros and high codes
    chosen.pad[i] = static_cast<uint8_t>(i % 4 == 0 ? 0 : 16 + i);
    di.SetKeyConfig(i, chosen.keyboard[i]);
    di.SetPadConfig(i, chosen.pad[i]);
  }
  testsupport::TraceCapture trace;
  ASSERT_EQ(di.SaveKeyConfig(), 1);
  EXPECT_TRUE(trace.Contains("Key Config Save\n"));
  std::vector<uint8_t> expected(chosen.keyboard.begin(), chosen.keyboard.end());
  expected.insert(expected.end(), chosen.pad.begin(), chosen.pad.end());
  EXPECT_EQ(ReadKeyFile(), expected);

  di.InitKeyConfig();
  di.InitPadConfig();
  ASSERT_EQ(di.LoadKeyConfig(), 1);
  EXPECT_TRUE(trace.Contains("Key Config Load\n"));
  ExpectConfig(chosen);
}

// A key file is taken whole or not at all: cut at any length, or failing to read, it leaves the
// assignment in force; 32 bytes or more (the rest ignored) replace it.
TEST_F(KeyConfigTest, AFileIsTakenWholeOrNotAtAll) {
  std::vector<uint8_t> record(40);
  for (size_t i = 0; i < record.size(); ++i) {
    record[i] = static_cast<uint8_t>(i < 16 ? 0x40 + i : 17 + (i - 16) % 15);  // pads 17..31
  }
  KeyConfig in_force = kExpectedDefaults;
  in_force.keyboard[3] = 0x11;
  in_force.pad[5] = 9;
  const auto set_in_force = [&] {
    for (uint32_t i = 0; i < 16; ++i) {
      di.SetKeyConfig(i, in_force.keyboard[i]);
      di.SetPadConfig(i, in_force.pad[i]);
    }
  };
  KeyConfig from_file;
  for (uint32_t i = 0; i < 16; ++i) {
    from_file.keyboard[i] = record[i];
    from_file.pad[i] = record[16 + i];
  }
  for (size_t size = 0; size <= record.size(); ++size) {
    SCOPED_TRACE(size);
    set_in_force();
    WriteKeyFile(std::vector<uint8_t>(record.begin(), record.begin() + static_cast<long>(size)));
    testsupport::TraceCapture trace;
    EXPECT_EQ(di.LoadKeyConfig(), size >= 32 ? 1 : 0);
    EXPECT_EQ(trace.Contains("is cut short (" + std::to_string(size) + " of 32 bytes)"), size < 32);
    ExpectConfig(size >= 32 ? from_file : in_force);
  }

  // A read that fails part-way: nothing of it is used.
  testsupport::FaultyFiles faulty(engine.host.files);
  engine.host.seams().files = &faulty;
  faulty.reads_before_failure = 0;
  set_in_force();
  WriteKeyFile(std::vector<uint8_t>(record.begin(), record.begin() + 32));
  testsupport::TraceCapture trace;
  EXPECT_EQ(di.LoadKeyConfig(), 0);
  EXPECT_TRUE(trace.Contains("could not be read"));
  ExpectConfig(in_force);
  engine.host.seams().files = &engine.host.files;
}

TEST_F(KeyConfigTest, PadNumbersOutsideThePadStateLoadAsNone) {
  std::vector<uint8_t> bytes(32, 0);
  bytes[0] = 0x1C;
  bytes[16] = 40;   // pad entry 0: beyond the 32 pad bytes
  bytes[17] = 255;  // pad entry 1
  bytes[18] = 14;   // pad entry 2: button 9
  WriteKeyFile(bytes);
  testsupport::TraceCapture trace;
  ASSERT_EQ(di.LoadKeyConfig(), 1);
  EXPECT_EQ(di.GetPadConfig(0), 0u);
  EXPECT_EQ(di.GetPadConfig(1), 0u);
  EXPECT_EQ(di.GetPadConfig(2), 14u);
  EXPECT_TRUE(trace.Contains("pad 40 of entry 0 read as none"));

  // Every joystick input down still feeds only what the sane entries say.
  auto& in = engine.host.input;
  in.joystick_attached = true;
  di.Init();  // brings the defaults back: load the file again over them
  ASSERT_EQ(di.LoadKeyConfig(), 1);
  in.joystick.buttons.fill(0x80);
  di.GetState();
  EXPECT_EQ(di.GetKeyHold(), kGameKey0);  // pad entry 2 (button 9) feeds bit 0
}

TEST_F(KeyConfigTest, SaveFailsWhenTheFileCannotBeWritten) {
  tree.Remove("save");
  tree.Write("save", "a file where the save folder should be");
  EXPECT_EQ(di.SaveKeyConfig(), 0);
  EXPECT_FALSE(tree.Exists("save/key.dat"));
  ExpectConfig(kExpectedDefaults);
}

TEST_F(KeyConfigTest, FailedWriteIsNotReportedAsSavedAndKeepsTheOldFile) {
  // Files may grow to 16 bytes only, as on a full disc: the new file cannot be written whole.
  const std::vector<uint8_t> old_file(32, 0x07);
  WriteKeyFile(old_file);
  di.SetKeyConfig(0, 0x1E);
  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  rlimit small = previous;
  small.rlim_cur = 16;
  auto* previous_handler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  testsupport::TraceCapture trace;
  const int saved = di.SaveKeyConfig();
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, previous_handler);

  EXPECT_EQ(saved, 0);
  EXPECT_TRUE(trace.Contains("Key Config Save Fail\n"));
  EXPECT_FALSE(trace.Contains("Key Config Save\n"));
  EXPECT_EQ(ReadKeyFile(), old_file);
}

TEST_F(KeyConfigTest, MaskKeysClearsListedCodesUpToTheEnd) {
  auto& in = engine.host.input;
  for (uint8_t code : {0x01, 0x1C, 0x39, 0xC8}) in.SetKey(code, true);
  di.GetState();
  std::array<uint8_t, 256> state{};
  di.GetKeyboardState(state);
  EXPECT_EQ(state[0x39], 0x81);
  const uint8_t reserved[] = {0x01, 0xC8, 0, 0x39};  // 0x39 lies after the end marker
  CDinput::MaskKeys(state, reserved);
  EXPECT_EQ(state[0x01], 0);
  EXPECT_EQ(state[0xC8], 0);
  EXPECT_EQ(state[0x1C], 0x81);
  EXPECT_EQ(state[0x39], 0x81);
  const uint8_t unterminated[] = {0x1C};  // the list may also end with its span
  CDinput::MaskKeys(state, unterminated);
  EXPECT_EQ(state[0x1C], 0);
}

}  // namespace
