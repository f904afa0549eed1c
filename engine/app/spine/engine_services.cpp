#include "engine/app/spine/engine_services.h"

#include "engine/app/context.h"
#include "engine/files/file_io.h"
#include "engine/files/random.h"
#include "engine/input/dinput.h"

namespace {

// Forwards every call to the current context's service objects. Services that are not part of the
// engine yet answer as a successful service would and do nothing.
class ProductionServices final : public EngineServices {
 public:
  int InitDirectDraw(platform::Window*) override { return 1; }
  uint32_t GetPrimaryColor(int index) override {
    // Pure red, green and blue of the 16-bit display.
    static constexpr uint32_t kRgb565[3] = {0xF800, 0x07E0, 0x001F};
    return index >= 0 && index < 3 ? kRgb565[index] : 0;
  }
  void ReleaseDirectDraw() override {}
  int ShowWindow() override { return 1; }

  int LoadFont() override { return 1; }
  void SetPixelMode(int) override {}
  void FreeFont() override {}

  int SoundInit(platform::Window*) override { return 1; }
  void SoundUpdate(int32_t) override {}
  void SoundRelease() override {}

  int CreateDirectInput() override { return Ctx().input.CreateDirectInput(); }
  int InputInit() override { return Ctx().input.Init(); }
  void InputGetState() override { Ctx().input.GetState(); }

  int ScanDrives() override { return Ctx().file_io.ScanDrives(); }
  void SeedRandom() override { ::SeedRandom(); }

  void AnimeExec(int32_t) override {}

  int MovieGetState() override { return 0; }
  void MoviePause() override {}
  void MovieResume() override {}
  void MovieOnGraphEvent(platform::Window*) override {}
  void MovieStopAndClose() override {}
};

}  // namespace

EngineServices& Services() {
  if (Ctx().services != nullptr) return *Ctx().services;
  static ProductionServices production;
  return production;
}
