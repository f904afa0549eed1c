#pragma once
// The display seam: the full-screen 640 x 480 16-bit display the engine draws on. The engine
// builds its surfaces through it, composes every frame itself (portable code) and hands the
// finished picture to Present. The backend decides the pixel layout when the mode is set;
// every surface it makes afterwards has that layout.
//
// Set-up runs these steps in order, each of which may fail: Open, SetExclusive, SetMode, then the
// surfaces (CreateSurface) and CreateClipper. Release runs RestoreMode and Close; both are safe
// after a partial set-up.
//
// Settings: the key "Pixel Format" in the settings file chooses the layout: "555" gives RGB555,
// anything else (or no key) RGB565.

#include <memory>

#include "platform/surface.h"

namespace platform {

class Config;

enum class SurfaceRole : uint8_t {
  kPrimary,     // the visible screen, front of the flip chain
  kFlipBuffer,  // the back buffer of the flip chain
  kSystem,      // an off-screen surface in system memory
  kVideo,       // an off-screen surface in video memory (may fail: then ask for kSystem)
};

class Display {
 public:
  virtual ~Display() = default;

  // Makes the display object.
  virtual bool Open() = 0;
  // Takes the program window for exclusive full-screen use.
  virtual bool SetExclusive() = 0;
  // Sets the display mode; afterwards layout() tells the pixel layout chosen.
  virtual bool SetMode(int width, int height, int bits_per_pixel) = 0;
  virtual PixelLayout layout() const = 0;
  // Makes a surface in the current layout; null on failure.
  virtual std::unique_ptr<Surface> CreateSurface(SurfaceRole role, int width, int height) = 0;
  // Makes the clip list (one rectangle 0, 0, width, height) of the back buffer.
  virtual bool CreateClipper(int width, int height) = 0;
  // Shows a finished picture (the new front of the flip chain). False when it cannot be shown.
  virtual bool Present(const Surface& front) = 0;
  // Makes the desktop's own drawing (message boxes) visible over the display.
  virtual bool ShowDesktop() = 0;
  // Gives the display mode back.
  virtual void RestoreMode() = 0;
  // Closes the display object.
  virtual void Close() = 0;
};

// The layout the settings ask for ("Pixel Format").
PixelLayout PixelLayoutSetting(const Config& config);

}  // namespace platform
