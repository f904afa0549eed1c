#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "engine/app/context.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/test_engine.h"
#include "testsupport/trace_capture.h"

namespace {

TEST(InstallSettings, DirectoryIsReadWithABackslashOrRefusedAsMissing) {
  const std::string longest(255, 'd');
  const struct {
    const char* name;
    bool present;
    std::optional<std::string> value;
    int result;
    std::string directory;  // expected output when found
    const char* trace;      // expected trace fragment when refused
  } cases[] = {
      {"no settings file", false, std::nullopt, 0, "", "no settings"},
      {"no value", true, std::nullopt, 0, "", "no value"},
      {"empty value", true, "", 0, "", "no value"},
      {"a directory", true, "/games/tamvik", 1, "/games/tamvik\\", nullptr},
      {"255 bytes", true, longest, 1, longest + "\\", nullptr},
      {"256 bytes", true, longest + "d", 0, "", "too long (256 bytes)"},
      {"far too long", true, std::string(4000, 'x'), 0, "", "too long (4000 bytes)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::TestEngine engine;
    testsupport::TraceCapture trace;
    if (c.present) engine.host.config.Set("Other", "1");
    if (c.value) engine.host.config.Set("Install Directory", *c.value);
    std::string out = "untouched";
    EXPECT_EQ(TamvikFunc::GetInstallDirectory(out), c.result);
    EXPECT_EQ(out, c.result ? c.directory : "untouched");
    if (c.trace != nullptr) {
      EXPECT_TRUE(trace.Contains(c.trace));
    }
  }
}

TEST(InstallSettings, StyleIsANumberOrZero) {
  const struct {
    std::optional<std::string> value;
    uint32_t style;
  } cases[] = {{std::nullopt, 0}, {"0", 0},    {"1", 1}, {"2", 2},
               {"0x2", 2},        {"disc", 0}, {"", 0},  {"-1", 0xFFFFFFFFu}};
  for (const auto& c : cases) {
    testsupport::TestEngine engine;
    engine.host.config.Set("Install Directory", "/g");
    if (c.value) engine.host.config.Set("Install Style", *c.value);
    EXPECT_EQ(TamvikFunc::GetInstallStyle(), c.style) << c.value.value_or("(none)");
  }
  testsupport::TestEngine absent;
  EXPECT_EQ(TamvikFunc::GetInstallStyle(), 0u);
}

TEST(InstallSettings, SetInstallPathsHandsBothToTheFileLayer) {
  {
    testsupport::TestEngine engine;
    engine.host.config.Set("Install Directory", "/games/tamvik");
    engine.host.config.Set("Install Style", "1");
    EXPECT_EQ(TamvikFunc::SetInstallPaths(), 1);
    ASSERT_NE(Ctx().file_io.GetInstallDir(), nullptr);
    EXPECT_STREQ(Ctx().file_io.GetInstallDir(), "/games/tamvik\\");
    EXPECT_EQ(Ctx().file_io.GetInstallStyle(), 1u);
  }
  {
    // Without a directory the style is still handed over; the directory stays unset.
    testsupport::TestEngine engine;
    engine.host.config.Set("Install Style", "2");
    EXPECT_EQ(TamvikFunc::SetInstallPaths(), 0);
    EXPECT_EQ(Ctx().file_io.GetInstallDir(), nullptr);
    EXPECT_EQ(Ctx().file_io.GetInstallStyle(), 2u);
  }
}

}  // namespace
