#include "platform/config.h"

#include <gtest/gtest.h>

#include <string>

#include "testsupport/temp_tree.h"

namespace {

TEST(ConfigText, ParsesKeysCaseInsensitivelyAndIgnoresNoise) {
  const auto values = platform::ParseConfigText(
      "# settings\n"
      "Install Directory = /games/tamvik \n"
      "\n"
      "broken line\n"
      "=no key\n"
      "install style=2\r\n"
      "Install Style=1\n"
      "empty=\n");
  EXPECT_EQ(values.at("install directory"), "/games/tamvik");
  EXPECT_EQ(values.at("install style"), "1");  // the last one wins; CR is trimmed
  EXPECT_EQ(values.at("empty"), "");
  EXPECT_EQ(values.size(), 3u);
}

TEST(FileConfig, MissingFileIsAbsentAndAPresentFileAnswers) {
  testsupport::TempTree dir;
  const std::string path = dir.Path("tamvik.conf");

  platform::FileConfig missing(path);
  EXPECT_FALSE(missing.Present());
  EXPECT_FALSE(missing.Get("Install Directory").has_value());

  dir.Write("tamvik.conf", "Install Style=0x2\nWindowed=yes\n");
  platform::FileConfig present(path);
  EXPECT_TRUE(present.Present());
  EXPECT_EQ(present.GetInt("install style", -1), 2);
  EXPECT_EQ(present.GetInt("windowed", -1), -1);  // not a number
  EXPECT_EQ(present.GetInt("absent", 7), 7);
  EXPECT_FALSE(present.Get("Install Directory").has_value());
}

TEST(MemoryConfig, IsAbsentUntilSomethingIsSet) {
  platform::MemoryConfig config;
  EXPECT_FALSE(config.Present());
  config.Set("Install Directory", "/data");
  EXPECT_TRUE(config.Present());
  EXPECT_EQ(*config.Get("INSTALL DIRECTORY"), "/data");
  config.SetPresent(false);
  EXPECT_FALSE(config.Get("Install Directory").has_value());
}

}  // namespace
