#include "testsupport/busy_scene.h"

#include <array>
#include <limits>
#include <string>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/window/window.h"
#include "testsupport/glyph_font_fixture.h"

namespace testsupport {

namespace {

constexpr int kLayerWidth = 1280;
constexpr int kLayerHeight = 960;

// A pixel of the layout from 5-bit channels.
uint16_t Pixel(platform::PixelLayout layout, uint32_t r, uint32_t g, uint32_t b) {
  r &= 31;
  g &= 31;
  b &= 31;
  if (layout == platform::PixelLayout::kRgb565) {
    return static_cast<uint16_t>((r << 11) | (g << 6) | b);
  }
  return static_cast<uint16_t>((r << 10) | (g << 5) | b);
}

// Fills a surface through its lock with f(x, y).
template <class F>
void Paint(platform::Surface* s, F f) {
  platform::SurfaceLock lock;
  if (s == nullptr || !s->Lock(lock)) return;
  for (int y = 0; y < lock.height; ++y) {
    auto* row = reinterpret_cast<uint16_t*>(lock.bits + static_cast<size_t>(y) * lock.pitch);
    for (int x = 0; x < lock.width; ++x) row[x] = f(x, y);
  }
  s->Unlock();
}

// The message: six lines of sixteen characters, typed one per 16 ms (one a frame).
constexpr int kMessageLines = 6;
constexpr int kMessageColumns = 16;
constexpr uint32_t kTypingInterval = 16;

const Rect kMessageFrame{40, 300, 600, 470};
const Rect kMessageInner{48, 306, 592, 464};
const Rect kMessageText{64, 314, 480, 462};

}  // namespace

std::vector<uint8_t> BusyMessageText() {
  std::vector<uint8_t> text;
  for (int line = 0; line < kMessageLines; ++line) {
    for (int i = 0; i < kMessageColumns; ++i) {
      const uint16_t code = kFixtureGlyphs[(line + i) % kFixtureGlyphCount].code;
      text.push_back(static_cast<uint8_t>(code >> 8));
      text.push_back(static_cast<uint8_t>(code & 0xFF));
    }
    text.push_back('$');
    text.push_back('$');
  }
  text.push_back(0);
  return text;
}

bool RestartMessage(BusyScene& scene) {
  CDdrawAnime& anime = Ctx().anime;
  if (scene.message_window == nullptr ||
      anime.BlockOf<AnimeMessageBlock>(scene.message) != nullptr) {
    return false;
  }
  Ctx().ddraw_window.ClearTextPiece(scene.message_window, CDdrawWindow::kTextSprite);
  scene.message = anime.CreateMessage(scene.message_window, 0, 0, BusyMessageText(),
                                      kTypingInterval);
  return scene.message != nullptr;
}

BusyScene BuildBusyScene(const BusySceneOptions& options) {
  BusyScene scene;
  CDdrawFunc& ddraw = Ctx().ddraw;
  CDdrawSpr& spr = Ctx().ddraw_spr;
  CDdrawAnime& anime = Ctx().anime;
  const uint16_t key = static_cast<uint16_t>(ddraw.GetColorKey());

  // Five layers on 1280 x 960 surfaces: the bottom one opaque, the others with keyed holes.
  for (int p = 0; p < 5; ++p) {
    const SurfaceId id = SURFACE_ROOT + p;
    ddraw.SetVisible(id, 1);
    ddraw.SetSurfaceBlt(id, 1);
    ddraw.ResizeSurface(id, p == 0 ? 0 : 1, kLayerWidth, kLayerHeight);
    platform::Surface* s = ddraw.GetSurface(id);
    if (s == nullptr) continue;
    const platform::PixelLayout layout = s->layout();
    Paint(s, [&](int x, int y) {
      if (p > 0 && ((x / 40 + y / 24 + p) % 3) == 0) return key;
      return Pixel(layout, static_cast<uint32_t>(x / 8 + p * 6), static_cast<uint32_t>(y / 8),
                   static_cast<uint32_t>((x + y) / 16 + p));
    });
    static constexpr std::array<int, 5> kDx = {1, -2, 3, -1, 2};
    static constexpr std::array<int, 5> kDy = {0, 1, -1, 2, -2};
    scene.scroll[p] = anime.CreateLayerScroll(id, kDx[static_cast<size_t>(p)],
                                              kDy[static_cast<size_t>(p)], 16,
                                              std::numeric_limits<int32_t>::max());
    anime.SetScrollWrap(scene.scroll[p], kScreenWidth, kScreenHeight);
  }

  // Eight sprite pictures from 16 x 16 to 72 x 72, cut from scratch 13; each has a keyed corner.
  platform::Surface* scratch = ddraw.GetSurface(SURFACE_SCRATCH2);
  if (scratch != nullptr) {
    const platform::PixelLayout layout = scratch->layout();
    Paint(scratch, [&](int x, int y) {
      if ((x % 80) < 6 && (y % 80) < 6) return key;
      return Pixel(layout, static_cast<uint32_t>(x / 3), static_cast<uint32_t>(y / 5 + 7),
                   static_cast<uint32_t>(x * y / 97));
    });
  }
  for (int k = 0; k < 8; ++k) {
    const int size = 16 + 8 * k;
    const int left = (k % 4) * 80;
    const int top = (k / 4) * 80;
    SprRec* sprite = spr.CreateSprite(0, 0, SURFACE_SCRATCH2, left, top, left + size, top + size,
                                      options.video_sprites ? 1 : 0);
    if (sprite != nullptr) scene.sprites.push_back(sprite);
  }

  // The entries: a fixed spread of targets, places, priorities and kinds.
  static constexpr std::array<SurfaceId, 6> kTargets = {SURFACE_ROOT, SURFACE_BG, SURFACE_FG,
                                                        SURFACE_FC,   SURFACE_TEXT, SURFACE_BACK};
  for (int i = 0; i < options.entries && !scene.sprites.empty(); ++i) {
    SprRec* sprite = scene.sprites[static_cast<size_t>(i) % scene.sprites.size()];
    const SurfaceId target = kTargets[static_cast<size_t>(i) % kTargets.size()];
    const int x = (i * 37) % 700 - 30;
    const int y = (i * 53) % 540 - 30;
    const int priority = (i * 977) % CDdrawSpr::kPriorityCount;
    const int kind = i % 20;
    const uint32_t mirror = kind == 18 ? CDdrawSpr::kMirrorLeftRight
                            : kind == 19 ? CDdrawSpr::kMirrorUpDown
                                         : 0;
    SprBufferEntry* e =
        spr.SetBuffer(CDdrawSpr::kBuffered, sprite, x, y, target, 1, priority, mirror);
    if (e == nullptr) continue;
    scene.entries.push_back(e);
    switch (kind) {
      case 12:
      case 13:
        spr.SetBufferAlpha(e, 128);
        ++scene.translucent;
        break;
      case 14:
        spr.SetBufferAlpha(e, kBlendAdd | 160);
        ++scene.translucent;
        break;
      case 15:
        spr.SetBufferRotZ(e, (i * 97) % 1608);
        ++scene.rotated;
        break;
      case 16:
        spr.SetBufferRotZ(e, 400 + (i * 31) % 800);
        spr.SetBufferZoom(e, 0x18000, 0x18000);
        ++scene.rotated;
        break;
      case 17:
        spr.SetBufferZoom(e, 0x20000, 0x14000);
        ++scene.zoomed;
        break;
      case 18:
        ++scene.mirrored;
        break;
      case 19:
        // Translucent, zoomed and mirrored: the picture goes through the cushion surface.
        spr.SetBufferAlpha(e, kBlendTint | 96);
        spr.SetBufferZoom(e, 0x18000, 0x18000);
        ++scene.mirrored;
        ++scene.translucent;
        break;
      default:
        ++scene.opaque;
        break;
    }
  }

  // The cross-fade picture and an alpha cross-fade over the foreground layer, and a fade toward
  // black from a quarter on, both lasting options.animation_ms.
  if (platform::Surface* xfade = ddraw.GetSurface(SURFACE_XFADE)) {
    const platform::PixelLayout layout = xfade->layout();
    Paint(xfade, [&](int x, int y) {
      if (((x / 64) + (y / 64)) % 5 == 0) return key;
      return Pixel(layout, static_cast<uint32_t>(y / 16), static_cast<uint32_t>(x / 21), 20);
    });
  }
  scene.xfade = anime.CreateXfade(SURFACE_FG, options.animation_ms / 16, 0, 0, kScreenWidth,
                                  kScreenHeight, 1);
  const auto fade_frames = static_cast<int>(uint64_t{options.animation_ms} * 60 / 1000);
  scene.fade = anime.CreateFade(64, 160, fade_frames, 0);

  if (options.windows) {
    CDdrawWindow& windows = Ctx().ddraw_window;
    scene.message_window = windows.Create(SURFACE_TEXT, kMessageFrame, kMessageInner,
                                          kMessageText, 0x603018, 7);
    scene.panel = windows.Create(SURFACE_FC, {420, 20, 620, 220}, {426, 26, 614, 214},
                                 {436, 34, 604, 210}, 0x604020, 0);
    if (scene.panel != nullptr) {
      // Three lines of the fixture's characters.
      const std::vector<uint8_t> text = BusyMessageText();
      for (int line = 0; line < 3; ++line) {
        const std::string row(text.begin() + line * (kMessageColumns * 2 + 2),
                              text.begin() + line * (kMessageColumns * 2 + 2) + 12);
        windows.DrawText(scene.panel, CDdrawWindow::kTextSprite, row.c_str(), 16, 14 + 26 * line,
                         0xF0F0F0);
      }
    }
    RestartMessage(scene);
  }
  ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
  return scene;
}

}  // namespace testsupport
