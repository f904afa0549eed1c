#include "engine/app/spine/engine_services.h"

#include "engine/app/context.h"
#include "engine/files/file_io.h"
#include "engine/files/random.h"
#include "engine/gfx/ddraw_func.h"
#include "engine/gfx/text_draw.h"
#include "engine/input/dinput.h"

namespace {

// Forwards every call to the current context's service objects. Services that are not part of the
// engine yet answer as a successful service would and do nothing.
class ProductionServices final : public EngineServices {
 public:
  // The display takes its owner window from the context.
  int InitDirectDraw(platform::Window*) override { return Ctx().ddraw.InitDirectDraw(); }
  uint32_t GetPrimaryColor(int index) override { return Ctx().ddraw.GetPrimaryColor(index); }
  void ReleaseDirectDraw() override { Ctx().ddraw.ReleaseDirectDraw(); }
  int ShowWindow() override { return Ctx().ddraw.ShowWindow(); }

  int LoadFont() override { return Ctx().ddraw_text.LoadFont(); }
  void SetPixelMode(int mode) override {
    Ctx().ddraw_text.SetPixelMode(static_cast<uint32_t>(mode));
  }
  void FreeFont() override { Ctx().ddraw_text.FreeFont(); }

  int SoundInit(platform::Window* window) override { return Ctx().dsound.Init(window); }
  void SoundUpdate(int32_t time) override { Ctx().dsound.Update(time); }
  void SoundRelease() override { Ctx().dsound.Release(); }

  int CreateDirectInput() override { return Ctx().input.CreateDirectInput(); }
  int InputInit() override { return Ctx().input.Init(); }
  void InputGetState() override { Ctx().input.GetState(); }

  int ScanDrives() override { return Ctx().file_io.ScanDrives(); }
  void SeedRandom() override { ::SeedRandom(); }

  void AnimeExec(int32_t time) override { Ctx().anime.Exec(static_cast<uint32_t>(time)); }

  int MovieGetState() override { return Ctx().movie.GetMovieState(); }
  void MoviePause() override { Ctx().movie.Pause(); }
  void MovieResume() override { Ctx().movie.Resume(); }
  void MovieOnGraphEvent(platform::Window* window) override { Ctx().movie.OnGraphEvent(window); }
  void MovieStopAndClose() override { Ctx().movie.StopAndClose(); }
  int MovieRenderDue() override { return Ctx().movie.RenderDue(); }
};

}  // namespace

EngineServices& Services() {
  if (Ctx().services != nullptr) return *Ctx().services;
  static ProductionServices production;
  return production;
}
