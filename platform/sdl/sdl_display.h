#pragma once
// The real display on SDL2: every presented picture is uploaded into a streaming texture in the
// display's pixel layout (SDL_PIXELFORMAT_RGB565 or RGB555, chosen by "Pixel Format") and drawn
// through the window's renderer, whose logical size keeps the 4:3 shape at any window size.
// Surfaces are the portable ones in system memory; the "video memory" flag is only recorded.
//
// Present runs on the thread that owns the window (the main thread).
//
// This header includes no SDL header: the SDL types are only declared.

#include "platform/display.h"

struct SDL_Renderer;
struct SDL_Texture;

namespace platform::sdl {

class SdlWindow;

class SdlDisplay final : public Display {
 public:
  SdlDisplay(SdlWindow& window, const Config& config);
  ~SdlDisplay() override;
  SdlDisplay(const SdlDisplay&) = delete;
  SdlDisplay& operator=(const SdlDisplay&) = delete;

  // Needs the window's renderer: false before the window exists.
  bool Open() override;
  bool SetExclusive() override;
  // 16 bits only; makes the texture.
  bool SetMode(int width, int height, int bits_per_pixel) override;
  PixelLayout layout() const override { return layout_; }
  std::unique_ptr<Surface> CreateSurface(SurfaceRole role, int width, int height) override;
  bool CreateClipper(int width, int height) override;
  bool Present(const Surface& front) override;
  // Message boxes are windows of their own here: nothing to do.
  bool ShowDesktop() override { return open_; }
  void RestoreMode() override;
  void Close() override;

 private:
  bool MakeTexture();

  SdlWindow& window_;
  const Config& config_;
  bool open_ = false;
  PixelLayout layout_ = PixelLayout::kRgb565;
  int width_ = 0;
  int height_ = 0;
  SDL_Texture* texture_ = nullptr;
  SDL_Renderer* texture_renderer_ = nullptr;  // the renderer the texture belongs to
};

}  // namespace platform::sdl
