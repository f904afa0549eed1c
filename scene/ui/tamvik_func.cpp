#include "scene/ui/tamvik_func.h"

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/files/file_io.h"
#include "platform/config.h"

namespace {
constexpr const char* kInstallDirectoryKey = "Install Directory";
constexpr const char* kInstallStyleKey = "Install Style";
}  // namespace

int TamvikFunc::GetInstallDirectory(std::string& out) {
  const platform::Config* config = Ctx().platform.config;
  if (config == nullptr || !config->Present()) {
    DebugPrint("TamvikFunc::GetInstallDirectory no settings\n");
    return 0;
  }
  const auto value = config->Get(kInstallDirectoryKey);
  if (!value || value->empty()) {
    DebugPrint("TamvikFunc::GetInstallDirectory no value\n");
    return 0;
  }
  if (value->size() > kInstallDirectoryMax) {
    DebugPrint("TamvikFunc::GetInstallDirectory too long (%u bytes)\n",
               static_cast<unsigned>(value->size()));
    return 0;
  }
  out = *value + "\\";
  return 1;
}

uint32_t TamvikFunc::GetInstallStyle() {
  const platform::Config* config = Ctx().platform.config;
  if (config == nullptr) return 0;
  return static_cast<uint32_t>(config->GetInt(kInstallStyleKey, 0));
}

int TamvikFunc::SetInstallPaths() {
  std::string directory;
  const int found = GetInstallDirectory(directory);
  if (found != 0) Ctx().file_io.SetInstallDir(directory.c_str());
  Ctx().file_io.SetInstallStyle(GetInstallStyle());
  return found;
}
