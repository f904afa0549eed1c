#pragma once
// An engine-services stand-in that writes every call into a log, with settable answers.

#include <functional>
#include <string>
#include <vector>

#include "engine/app/engine_services.h"

class RecordingServices final : public EngineServices {
 public:
  std::vector<std::string> log;
  // Called after each entry is logged, with that entry (for checks of the state at that moment).
  std::function<void(const std::string&)> probe;

  // Answers.
  int init_direct_draw = 1;
  uint32_t green = 0x7E0;
  int show_window = 1;
  int movie_state = 0;

  int InitDirectDraw(platform::Window*) override {
    return Note("InitDirectDraw", init_direct_draw);
  }
  uint32_t GetPrimaryColor(int index) override {
    Record("GetPrimaryColor(" + std::to_string(index) + ")");
    return index == 1 ? green : 0;
  }
  void ReleaseDirectDraw() override { Record("ReleaseDirectDraw"); }
  int ShowWindow() override { return Note("ShowWindow", show_window); }
  int LoadFont() override { return Note("LoadFont", 1); }
  void SetPixelMode(int mode) override { Record("SetPixelMode(" + std::to_string(mode) + ")"); }
  void FreeFont() override { Record("FreeFont"); }
  int SoundInit(platform::Window*) override { return Note("SoundInit", 1); }
  void SoundUpdate(int32_t time) override { Record("SoundUpdate(" + std::to_string(time) + ")"); }
  void SoundRelease() override { Record("SoundRelease"); }
  int CreateDirectInput() override { return Note("CreateDirectInput", 1); }
  int InputInit() override { return Note("InputInit", 1); }
  void InputGetState() override { Record("InputGetState"); }
  int ScanDrives() override { return Note("ScanDrives", 1); }
  void SeedRandom() override { Record("SeedRandom"); }
  void AnimeExec(int32_t time) override { Record("AnimeExec(" + std::to_string(time) + ")"); }
  int MovieGetState() override { return movie_state; }
  void MoviePause() override { Record("MoviePause"); }
  void MovieResume() override { Record("MovieResume"); }
  void MovieOnGraphEvent(platform::Window*) override { Record("MovieOnGraphEvent"); }
  void MovieStopAndClose() override {
    Record("MovieStopAndClose");
    movie_state = 0;
  }

  void Record(const std::string& entry) {
    log.push_back(entry);
    if (probe) probe(entry);
  }

 private:
  int Note(const std::string& entry, int result) {
    Record(entry);
    return result;
  }
};
