#pragma once
// TamvikFunc: the scene engine's shared helpers. So far: the install settings, read from the
// settings store that stands in for the registry (platform/config.h).

#include <cstdint>
#include <string>

class TamvikFunc {
 public:
  // Longest install directory accepted, in bytes (before the separator is appended).
  static constexpr size_t kInstallDirectoryMax = 255;

  // The value "Install Directory" with a backslash appended (the file layer joins it with names by
  // plain concatenation) into `out`, and 1. 0 (out untouched, with a trace) when the settings or
  // the value are missing, empty or longer than kInstallDirectoryMax.
  static int GetInstallDirectory(std::string& out);
  // The value "Install Style" (0 no disc needed, 1 the disc of the current chapter, 2 any game
  // disc); 0 when the settings or the value are missing or not a number.
  static uint32_t GetInstallStyle();
  // Hands the directory (when found) and the style to the file layer; returns the directory's
  // result. Called by the install check at start-up.
  static int SetInstallPaths();
};
