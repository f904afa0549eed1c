#include "platform/sdl/sdl_display.h"

#include <SDL.h>

#include <cstdio>

#include "platform/sdl/sdl_window.h"

namespace platform::sdl {

SdlDisplay::SdlDisplay(SdlWindow& window, const Config& config)
    : window_(window), config_(config) {}

SdlDisplay::~SdlDisplay() { RestoreMode(); }

bool SdlDisplay::Open() {
  open_ = window_.renderer() != nullptr;
  return open_;
}

bool SdlDisplay::SetExclusive() { return open_; }

bool SdlDisplay::MakeTexture() {
  RestoreMode();
  texture_renderer_ = window_.renderer();
  const Uint32 format =
      layout_ == PixelLayout::kRgb565 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB555;
  texture_ = SDL_CreateTexture(window_.renderer(), format, SDL_TEXTUREACCESS_STREAMING, width_,
                               height_);
  if (texture_ == nullptr) {
    std::fprintf(stderr, "tamvik: cannot create the screen texture: %s\n", SDL_GetError());
  }
  return texture_ != nullptr;
}

bool SdlDisplay::SetMode(int width, int height, int bits_per_pixel) {
  if (!open_ || bits_per_pixel != 16 || width <= 0 || height <= 0) return false;
  layout_ = PixelLayoutSetting(config_);
  width_ = width;
  height_ = height;
  return MakeTexture();
}

std::unique_ptr<Surface> SdlDisplay::CreateSurface(SurfaceRole role, int width, int height) {
  SurfaceOptions options;
  options.video_memory = role != SurfaceRole::kSystem;
  return Surface::Create(width, height, layout_, options);
}

bool SdlDisplay::CreateClipper(int, int) { return open_; }

bool SdlDisplay::Present(const Surface& front) {
  SDL_Renderer* renderer = window_.renderer();
  if (!open_ || renderer == nullptr || front.width() != width_ || front.height() != height_ ||
      front.layout() != layout_) {
    return false;
  }
  // A lost render device takes the texture with it: make it again once.
  if (texture_renderer_ != renderer) texture_ = nullptr;  // the window made a new renderer
  if ((texture_ == nullptr || SDL_UpdateTexture(texture_, nullptr, front.Row(0), front.pitch()) != 0) &&
      (!MakeTexture() || SDL_UpdateTexture(texture_, nullptr, front.Row(0), front.pitch()) != 0)) {
    return false;
  }
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
  if (SDL_RenderClear(renderer) != 0 || SDL_RenderCopy(renderer, texture_, nullptr, nullptr) != 0) {
    return false;
  }
  SDL_RenderPresent(renderer);
  return true;
}

void SdlDisplay::RestoreMode() {
  // A texture goes with its renderer: once the window has let go of that one, it is gone already.
  if (texture_ != nullptr && texture_renderer_ == window_.renderer()) SDL_DestroyTexture(texture_);
  texture_ = nullptr;
  texture_renderer_ = nullptr;
}

void SdlDisplay::Close() {
  RestoreMode();
  open_ = false;
}

}  // namespace platform::sdl
