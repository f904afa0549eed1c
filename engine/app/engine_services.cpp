#include "engine/app/engine_services.h"

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/files/file_io.h"
#include "engine/files/random.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/text/text_draw.h"
#include "engine/input/dinput.h"
#include "engine/movie/movie.h"
#include "engine/sound/dsound_func.h"
#include "platform/platform.h"

namespace {

// Forwards every call to the context's service objects.
class ProductionServices final : public EngineServices {
 public:
  explicit ProductionServices(EngineContext& context) : c_(context) {}

  // The display takes its owner window from the context.
  int InitDirectDraw(platform::Window*) override { return c_.ddraw.InitDirectDraw(); }
  uint32_t GetPrimaryColor(int index) override { return c_.ddraw.GetPrimaryColor(index); }
  void ReleaseDirectDraw() override { c_.ddraw.ReleaseDirectDraw(); }
  int ShowWindow() override { return c_.ddraw.ShowWindow(); }

  int LoadFont() override { return c_.ddraw_text.LoadFont(); }
  std::string FontFailure() override { return c_.ddraw_text.load_failure(); }
  void SetPixelMode(int mode) override {
    c_.ddraw_text.SetPixelMode(static_cast<uint32_t>(mode));
  }
  void FreeFont() override { c_.ddraw_text.FreeFont(); }

  int SoundInit(platform::Window* window) override { return c_.dsound.Init(window); }
  void SoundUpdate(int32_t time) override { c_.dsound.Update(time); }
  void SoundRelease() override { c_.dsound.Release(); }

  int CreateDirectInput() override { return c_.input.CreateDirectInput(); }
  int InputInit() override { return c_.input.Init(); }
  void InputGetState() override { c_.input.GetState(); }

  int ScanDrives() override { return c_.file_io.ScanDrives(); }
  void SeedRandom() override { c_.random.Seed(c_.platform.clock->TickCount()); }

  void AnimeExec(int32_t time) override { c_.anime.Exec(static_cast<uint32_t>(time)); }

  int MovieGetState() override { return c_.movie.GetMovieState(); }
  void MoviePause() override { c_.movie.Pause(); }
  void MovieResume() override { c_.movie.Resume(); }
  void MovieOnGraphEvent(platform::Window* window) override { c_.movie.OnGraphEvent(window); }
  void MovieStopAndClose() override { c_.movie.StopAndClose(); }
  int MovieRenderDue() override { return c_.movie.RenderDue(); }

 private:
  EngineContext& c_;
};

}  // namespace

std::unique_ptr<EngineServices> MakeProductionServices(EngineContext& context) {
  return std::make_unique<ProductionServices>(context);
}

EngineServices& Services() { return Ctx().services(); }
