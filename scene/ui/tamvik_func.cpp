#include "scene/ui/tamvik_func.h"

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/files/file_io.h"
#include "engine/sound/dsound_func.h"
#include "platform/config.h"
#include "platform/files.h"
#include "platform/platform.h"

namespace {
constexpr const char* kInstallDirectoryKey = "Install Directory";
constexpr const char* kInstallStyleKey = "Install Style";
}  // namespace

int TamvikFunc::GetInstallDirectory(std::string& out, std::string* cause) {
  std::string why;
  auto refuse = [&](const std::string& reason) {
    DebugPrint("TamvikFunc::GetInstallDirectory %s\n", reason.c_str());
    if (cause != nullptr) *cause = reason;
    return 0;
  };
  const platform::Config* config = Ctx().platform.config;
  if (config == nullptr) return refuse("no settings");
  if (!config->Present()) return refuse(config->Problem());
  const auto value = config->Get(kInstallDirectoryKey);
  if (!value || value->empty()) {
    const std::string where = config->Location();
    return refuse(std::string("no value \"") + kInstallDirectoryKey + "\" in " +
                  (where.empty() ? std::string("the settings") : where));
  }
  if (value->size() > kInstallDirectoryMax) {
    return refuse("the install directory is too long (" + std::to_string(value->size()) +
                  " bytes; at most " + std::to_string(kInstallDirectoryMax) +
                  " leave room for the game's file names)");
  }
  if (platform::Files* files = Ctx().platform.files) {
    // The directory as a path of its own: without trailing separators.
    std::string dir = *value;
    while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
    switch (files->KindOf(dir.c_str())) {
      case platform::Files::Kind::kDirectory:
        if (!files->DirectoryReadable(dir.c_str())) {
          return refuse("the install directory " + *value + " cannot be read (no permission)");
        }
        break;
      case platform::Files::Kind::kMissing:
        return refuse("the install directory " + *value + " does not exist");
      case platform::Files::Kind::kFile:
      case platform::Files::Kind::kOther:
        return refuse("the install directory " + *value + " is not a directory");
    }
  }
  out = *value + "\\";
  return 1;
}

uint32_t TamvikFunc::GetInstallStyle() {
  const platform::Config* config = Ctx().platform.config;
  if (config == nullptr) return 0;
  return static_cast<uint32_t>(config->GetInt(kInstallStyleKey, 0));
}

int TamvikFunc::SetInstallPaths(std::string* cause) {
  std::string directory;
  const int found = GetInstallDirectory(directory, cause);
  if (found != 0) Ctx().file_io.SetInstallDir(directory.c_str());
  Ctx().file_io.SetInstallStyle(GetInstallStyle());
  return found;
}

const char* const* TamvikFunc::SystemSeNames() {
  static const char* const kNames[kSystemSeCount] = {
      "tamvik1\\system\\se\\TE00.WAV", "tamvik1\\system\\se\\TE01.WAV",
      "tamvik1\\system\\se\\TE02.WAV", "tamvik1\\system\\se\\TE03.WAV",
      "tamvik1\\system\\se\\TE04.WAV", "tamvik1\\system\\se\\TE05.WAV",
      "tamvik1\\system\\se\\Dummy.WAV", "tamvik1\\system\\se\\TE07.WAV",
      "tamvik1\\system\\se\\TE08.WAV", "tamvik1\\system\\se\\TE09.WAV",
      "tamvik1\\system\\se\\TE10.WAV", "tamvik1\\system\\se\\TE11.WAV",
      "tamvik1\\system\\se\\TE12.WAV", "tamvik1\\system\\se\\TE13.WAV",
      "tamvik1\\system\\se\\TE14.WAV", "tamvik1\\system\\se\\TE15.WAV",
      "tamvik1\\system\\se\\TE16.WAV",
  };
  return kNames;
}

int TamvikFunc::LoadSystemSe() {
  CDsoundFunc& sound = Ctx().dsound;
  sound.SERemoveStatic();
  return sound.SELoadStatic(SystemSeNames(), kSystemSeCount);
}
