// Tear-down of the scene's face, NC set and message window when the scene context goes.

#include "scene/sprite/portrait_state.h"

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/window/window.h"

PortraitState::~PortraitState() {
  if (!HasCtx()) return;  // nothing was made without an engine
  EngineContext& ctx = Ctx();
  // The animations first: they read the cell tables below.
  for (AnimeHandle* anime : {&message_anime, &blink_anime, &nc_group, &nc_eye_anime, &nc_lip_anime}) {
    if (*anime != nullptr) ctx.anime.DeleteRef(anime);
  }
  CDdrawSpr& spr = ctx.ddraw_spr;
  // Deleting a sprite removes the entries that show it.
  for (SprRec*& sprite : blink) spr.DeleteSprite(&sprite);
  for (SprRec*& sprite : nc_eyes) spr.DeleteSprite(&sprite);
  for (SprRec*& sprite : nc_lips) spr.DeleteSprite(&sprite);
  spr.DeleteSprite(&nc_body);
  spr.DeleteSprite(&window_shade);
  spr.DeleteSprite(&screen_shade);
  if (message_window != nullptr) ctx.ddraw_window.Delete(&message_window);
}
