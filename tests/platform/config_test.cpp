#include "platform/config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "testsupport/temp_tree.h"

namespace {

bool AnyContains(const std::vector<std::string>& lines, const std::string& fragment) {
  for (const auto& line : lines) {
    if (line.find(fragment) != std::string::npos) return true;
  }
  return false;
}

TEST(ConfigText, ParsesKeysCaseInsensitivelyAndReportsWhatItIgnores) {
  std::vector<std::string> notes;
  const auto values = platform::ParseConfigText(
      "# settings\n"
      "Install Directory = /games/tamvik \n"
      "\n"
      "broken line\n"
      "=no key\n"
      "install style=2\r\n"
      "Install Style=1\n"
      "Windowed=\n",
      &notes);
  EXPECT_EQ(values.at("install directory"), "/games/tamvik");
  EXPECT_EQ(values.at("install style"), "1");  // the last one wins; CR is trimmed
  EXPECT_EQ(values.size(), 2u);
  EXPECT_EQ(notes, (std::vector<std::string>{
                       "line 4: no '=' in \"broken line\"; ignored",
                       "line 5: no key before '='; ignored",
                       "line 8: \"Windowed\" takes 1/0, yes/no, true/false or on/off, not \"\"; "
                       "ignored",
                   }));
}

TEST(ConfigText, JunkGivesAFewNotesNotOnePerLine) {
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk += "\x01\x02 junk\n";
  std::vector<std::string> notes;
  EXPECT_TRUE(platform::ParseConfigText(junk, &notes).empty());
  EXPECT_EQ(notes.size(), 21u);
  EXPECT_EQ(notes.front(), "line 1: no '=' in \"?? junk\"; ignored");
}

TEST(ConfigValues, SwitchesAndNumbersAndTheirRefusals) {
  const struct {
    const char* text;
    bool is_switch;
    bool on;
  } switches[] = {{"1", true, true},     {"0", true, false},    {"yes", true, true},
                  {"No", true, false},   {"TRUE", true, true},  {"false", true, false},
                  {"on", true, true},    {" Off ", true, false}, {"maybe", false, false},
                  {"", false, false},    {"2", false, false},   {"y", false, false}};
  for (const auto& c : switches) {
    bool on = !c.on;
    EXPECT_EQ(platform::ParseSwitch(c.text, &on), c.is_switch) << c.text;
    if (c.is_switch) {
      EXPECT_EQ(on, c.on) << c.text;
    }
  }
  const struct {
    const char* text;
    bool ok;
    long value;
  } numbers[] = {{"0555", true, 555}, {"10", true, 10},   {"-1", true, -1},   {"+3", true, 3},
                 {"0x10", false, 0},  {"1e3", false, 0},  {"12 3", false, 0}, {"", false, 0},
                 {"-", false, 0},     {"99999999999999999999", false, 0}};
  for (const auto& c : numbers) {
    long value = 0;
    EXPECT_EQ(platform::ParseDecimal(c.text, &value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

// A settings file from a table: what the path holds, then what the reader makes of it. Every read
// runs on its own thread under a time limit, so a reader that waits for ever fails instead of
// hanging the test.
TEST(FileConfig, ReadsOnlyWhatItCanAndSaysWhyNot) {
  struct Case {
    const char* name;
    std::function<void(testsupport::TempTree&, const std::string& path)> make;
    bool present;
    std::string problem;  // fragment of Problem() when not present
    const char* key;      // a key to look up
    std::optional<std::string> value;
    const char* note;  // fragment of a note, or null for none at all
  };
  auto text = [](std::string contents) {
    return [contents](testsupport::TempTree& tree, const std::string&) {
      tree.Write("tamvik.conf", contents);
    };
  };
  const Case cases[] = {
      {"missing", [](auto&, const auto&) {}, false, "no settings file at ", "Install Directory",
       std::nullopt, nullptr},
      {"a named pipe",
       [](auto&, const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); },
       false, ": not a regular file", "Install Directory", std::nullopt, nullptr},
      {"a link to /dev/zero",
       [](auto&, const std::string& path) { ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0); },
       false, ": not a regular file", "Install Directory", std::nullopt, nullptr},
      {"a directory", [](auto& tree, const auto&) { tree.MakeDir("tamvik.conf"); }, false,
       ": not a regular file", "Install Directory", std::nullopt, nullptr},
      {"past the cap",
       text("Install Directory=/g\n# " + std::string(platform::FileConfig::kMaxSize, 'x') + "\n"),
       false, "is larger than 64 KiB; it was not read", "Install Directory", std::nullopt, nullptr},
      {"exactly at the cap",
       text("Install Directory=/g\n#" + std::string(platform::FileConfig::kMaxSize - 23, 'x') +
            "\n"),
       true, "", "Install Directory", "/g", nullptr},
      {"a link to a settings file",
       [](auto& tree, const std::string& path) {
         tree.Write("real.conf", "Install Directory=/g\n");
         ASSERT_EQ(::symlink(tree.Path("real.conf").c_str(), path.c_str()), 0);
       },
       true, "", "Install Directory", "/g", nullptr},
      {"a byte-order mark", text("\xEF\xBB\xBFInstall Directory=/g\n"), true, "",
       "Install Directory", "/g", nullptr},
      {"CRLF line ends", text("Install Directory=/g\r\nInstall Style=1\r\n"), true, "",
       "Install Style", "1", nullptr},
      {"Windowed = yes", text("Windowed = yes\n"), true, "", "Windowed", "yes", nullptr},
      {"Windowed = no", text("Windowed = no\n"), true, "", "Windowed", "no", nullptr},
      {"Windowed = maybe", text("Install Style=1\nWindowed = maybe\n"), true, "", "Windowed",
       std::nullopt,
       ", line 2: \"Windowed\" takes 1/0, yes/no, true/false or on/off, not \"maybe\"; ignored"},
      {"a leading zero", text("Pixel Format = 0555\n"), true, "", "Pixel Format", "0555",
       nullptr},
      {"a hexadecimal style", text("Install Style = 0x2\n"), true, "", "Install Style",
       std::nullopt, ", line 1: \"Install Style\" takes a whole decimal number, not \"0x2\""},
      {"a misspelt key",
       text("Instal Directory=/g\nInstal Directory=/h\nInstall Directory=/i\n"), true, "",
       "Install Directory", "/i", ", line 1: unknown key \"Instal Directory\" (misspelt?)"},
      {"a bad drive line", text("Drive E = floppy /mnt\nDrive F = cdrom\n"), true, "",
       "Drive F", "cdrom", ", line 1: \"Drive E\" takes \"cdrom <directory>\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::TempTree tree;
    const std::string path = tree.Path("tamvik.conf");
    c.make(tree, path);
    auto read = std::async(std::launch::async,
                           [path] { return std::make_unique<platform::FileConfig>(path); });
    if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      // Free the reader before failing: a writer ends its wait on a pipe.
      const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
      FAIL() << "the reader did not return";
    }
    const auto config = read.get();
    EXPECT_EQ(config->Present(), c.present);
    if (c.present) {
      EXPECT_EQ(config->Problem(), "");
    } else {
      EXPECT_NE(config->Problem().find(c.problem), std::string::npos) << config->Problem();
      EXPECT_NE(config->Problem().find(path), std::string::npos) << config->Problem();
    }
    EXPECT_EQ(config->Get(c.key), c.value);
    if (c.note == nullptr) {
      EXPECT_TRUE(config->notes().empty()) << config->notes().front();
    } else {
      ASSERT_EQ(config->notes().size(), 1u);  // a misspelt key is reported once
      EXPECT_EQ(config->notes()[0].rfind(path, 0), 0u) << config->notes()[0];
      EXPECT_TRUE(AnyContains(config->notes(), c.note)) << config->notes()[0];
    }
  }
}

TEST(FileConfig, SwitchesAndNumbersReadAsTheProgramUsesThem) {
  testsupport::TempTree tree;
  tree.Write("tamvik.conf",
             "Windowed = Yes\nTrace = off\nPixel Format = 0555\nInstall Style = 0x2\n");
  platform::FileConfig config(tree.Path("tamvik.conf"));
  EXPECT_TRUE(config.GetSwitch("windowed", false));
  EXPECT_FALSE(config.GetSwitch("trace", true));
  EXPECT_EQ(config.GetInt("pixel format", 565), 555);
  EXPECT_EQ(config.GetInt("install style", 0), 0);  // refused, so the default
  EXPECT_EQ(config.GetInt("absent", 7), 7);
}

TEST(TraceSwitch, SettingOrEnvironmentTurnsItOn) {
  const struct {
    const char* env;  // null: unset
    std::optional<std::string> setting;
    bool on;
  } cases[] = {
      {nullptr, std::nullopt, false}, {nullptr, "1", true},     {nullptr, "on", true},
      {nullptr, "maybe", false},      {"1", std::nullopt, true}, {"yes", "0", true},
      {"0", "1", false},              {"junk", "1", true},       {"", std::nullopt, false},
  };
  const char* saved = std::getenv("TAMVIK_TRACE");
  const std::string saved_value = saved != nullptr ? saved : "";
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.env ? c.env : "(unset)") + " / " + c.setting.value_or("(none)"));
    if (c.env != nullptr) {
      setenv("TAMVIK_TRACE", c.env, 1);
    } else {
      unsetenv("TAMVIK_TRACE");
    }
    platform::MemoryConfig config;
    if (c.setting) config.Set("Trace", *c.setting);
    EXPECT_EQ(platform::TraceWanted(&config), c.on);
  }
  unsetenv("TAMVIK_TRACE");
  EXPECT_FALSE(platform::TraceWanted(nullptr));
  if (saved != nullptr) setenv("TAMVIK_TRACE", saved_value.c_str(), 1);
}

TEST(MemoryConfig, IsAbsentUntilSomethingIsSet) {
  platform::MemoryConfig config;
  EXPECT_FALSE(config.Present());
  EXPECT_EQ(config.Problem(), "no settings");
  config.Set("Install Directory", "/data");
  EXPECT_TRUE(config.Present());
  EXPECT_EQ(*config.Get("INSTALL DIRECTORY"), "/data");
  config.SetPresent(false);
  EXPECT_FALSE(config.Get("Install Directory").has_value());
}

}  // namespace
