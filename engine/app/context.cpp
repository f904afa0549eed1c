#include "engine/app/context.h"

#include "engine/anime/anime.h"
#include "engine/app/app_state.h"
#include "engine/app/engine_services.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/files/file_io.h"
#include "engine/files/random.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/text/text_draw.h"
#include "engine/gfx/window/window.h"
#include "engine/input/dinput.h"
#include "engine/movie/movie.h"
#include "engine/sound/dsound_func.h"
#include "platform/platform.h"

struct EngineContext::Services {
  explicit Services(platform::Platform& seams)
      : frame_rate(*seams.clock),
        file_io(seams),
        input(seams.input, file_io),
        ddraw(seams.display, seams.window, file_io),
        ddraw_spr(ddraw),
        ddraw_text(seams),
        ddraw_window(ddraw, ddraw_spr, ddraw_text),
        dsound(seams, file_io, frame_rate),
        // The talk mouth follows the voice channel's clock.
        anime(frame_rate, input, ddraw, ddraw_spr, ddraw_window, random,
              [this] { return dsound.GetVoiceTime(); }),
        movie(seams, frame_rate, ddraw) {}

  CFrameRate frame_rate;
  CGameTask game_task;
  FileIO file_io;
  GameRandom random;
  CDinput input;
  CDdrawFunc ddraw;
  CDdrawSpr ddraw_spr;
  CDdrawText ddraw_text;
  CDdrawWindow ddraw_window;
  CDsoundFunc dsound;
  CDdrawAnime anime;
  CMovie movie;
};

EngineContext::EngineContext(platform::Platform& seams)
    : services_block_(std::make_unique<Services>(seams)),
      platform(seams),
      frame_rate(services_block_->frame_rate),
      game_task(services_block_->game_task),
      file_io(services_block_->file_io),
      random(services_block_->random),
      input(services_block_->input),
      ddraw(services_block_->ddraw),
      ddraw_spr(services_block_->ddraw_spr),
      ddraw_text(services_block_->ddraw_text),
      ddraw_window(services_block_->ddraw_window),
      dsound(services_block_->dsound),
      anime(services_block_->anime),
      movie(services_block_->movie),
      production_services_(MakeProductionServices(*this)),
      services_(production_services_.get()) {
  // A missing-file box shows over a full-screen display, with the cursor.
  file_io.SetBeforeFatalBox([this] {
    ddraw.FlipToGDI(1);
    AppShowCursor(*this);
  });
  // The compose draws each surface's sprite buffer; the display's release deletes the sprites.
  ddraw.hooks().draw_sprites = [this](SurfaceId id) { return ddraw_spr.DrawBuffer(id); };
  // ... and each layer's windows before the layer's own picture.
  ddraw.hooks().draw_windows = [this](SurfaceId id) { return ddraw_window.Draw(id); };
  // Windows are made of sprites, so they go first.
  ddraw.hooks().delete_all_sprites = [this] {
    ddraw_window.DeleteAll();
    ddraw_spr.DeleteAllSprite();
  };
  // A surface restore lets the animations redraw (messages re-typed, dissolves restarted).
  ddraw.hooks().redraw_text = [this] { anime.RedrawText(); };
  anime.RegisterEngineKinds();
}

EngineContext::~EngineContext() {
  // The production services forward into the block: they go first.
  services_ = nullptr;
  production_services_.reset();
  services_block_.reset();
}

void EngineContext::UseServices(EngineServices* services) {
  services_ = services != nullptr ? services : production_services_.get();
}

EngineContext& Ctx() { return Current<EngineContext>::Get("engine context"); }

bool HasCtx() { return Current<EngineContext>::Has(); }
