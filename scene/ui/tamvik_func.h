#pragma once
// TamvikFunc: the scene engine's shared helpers. So far: the install settings, read from the
// settings store that stands in for the registry (platform/config.h), and the system sounds.

#include <cstdint>
#include <string>

class TamvikFunc {
 public:
  // The longest relative name the game builds under the install directory, in bytes
  // ("tamvik1\system\window\shade_wa.spr").
  static constexpr size_t kLongestDataName = 34;
  // Longest install directory accepted, in bytes (before the separator is appended): full paths
  // are built in 256-byte buffers, so the directory, its separator and the longest name must fit
  // in 255 bytes. A longer directory would be accepted while some of its files are never found.
  static constexpr size_t kInstallDirectoryMax = 255 - 1 - kLongestDataName;

  // The value "Install Directory" with a backslash appended (the file layer joins it with names by
  // plain concatenation) into `out`, and 1. 0 (out untouched, with a trace, and the reason for a
  // person in `cause` when given) when the settings or the value are missing, empty or longer
  // than kInstallDirectoryMax, or when the directory does not exist or is not a directory.
  static int GetInstallDirectory(std::string& out, std::string* cause = nullptr);
  // The value "Install Style" (0 no disc needed, 1 the disc of the current chapter, 2 any game
  // disc); 0 when the settings or the value are missing or not a number.
  static uint32_t GetInstallStyle();
  // Hands the directory (when found) and the style to the file layer; returns the directory's
  // result (with its reason in `cause` when 0). Called by the install check at start-up.
  static int SetInstallPaths(std::string* cause = nullptr);

  // The 17 system sound effects, in static slots 0-16.
  static constexpr int kSystemSeCount = 17;
  // The file names of the system sounds, slot by slot: "tamvik1\system\se\TE00.WAV" ..
  // "TE05.WAV", "Dummy.WAV" in slot 6, "TE07.WAV" .. "TE16.WAV".
  static const char* const* SystemSeNames();
  // Empties the static effect table, then loads the system sounds into slots 0-16 (a file that
  // does not load leaves its slot empty, with a trace). The sound layer's result: 0 without a
  // sound device.
  static int LoadSystemSe();
};
