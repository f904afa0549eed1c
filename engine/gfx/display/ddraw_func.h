#pragma once
// The display object: the full-screen 640 x 480 16-bit display, its table of numbered surfaces
// (ids 1-13) and 1024 user surfaces, the matched colours, the compose layers with their fades and
// the flip, and the blit and fill primitives. One lives in the engine context (Ctx().ddraw).
//
// Surfaces: id 1 is the primary (front of the flip chain), 3 its back buffer; a flip exchanges
// the two buffers and then shows the new front. Id 2 is the buffer every frame is composed on; it
// resolves to id 3 while the flip mode is nonzero. Ids 4-8 are the compose layers (bottom to
// top), 9 the cross-fade picture, 10 and 11 the debug surfaces, 12 and 13 scratch surfaces.
//
// Every call returns 1 for success and 0 for failure unless it says otherwise; look-ups return
// null or -1. Failures are reported through the debug trace.
//
// Hooks: the compose draws each layer's windows and sprite buffer, and the set-up's release and
// the surface restore reach the sprite and animation services. Those services register their
// functions in hooks() (the engine context wires them when it is built); an empty hook draws
// nothing and succeeds.

#include <array>
#include <functional>
#include <memory>
#include <unordered_map>

#include "engine/gfx/pixels/blend_blit.h"
#include "engine/gfx/pixels/screen_cover.h"
#include "engine/gfx/gfx_types.h"
#include "platform/display.h"
#include "platform/window.h"

class FileIO;

struct ComposeHooks {
  // Draws the windows of a surface id onto the back buffer (the window service's Draw). 1 / 0.
  std::function<int(SurfaceId)> draw_windows;
  // Draws the sprite buffer of a surface id onto the back buffer (the sprite service's
  // DrawBuffer). 1 / 0.
  std::function<int(SurfaceId)> draw_sprites;
  // Run by RestoreAllSurfaces after the surfaces are restored: the message animation re-types
  // its text.
  std::function<void()> redraw_text;
  // Run by ReleaseDirectDraw before the surfaces go: every sprite is deleted.
  std::function<void()> delete_all_sprites;
};

class CDdrawFunc {
 public:
  // Either pointer may be null (the set-up then fails).
  // The display and window seams; `files` reads the bitmap files LoadBitmap draws.
  CDdrawFunc(platform::Display* display, platform::Window* window, FileIO& files);
  ~CDdrawFunc();
  CDdrawFunc(const CDdrawFunc&) = delete;
  CDdrawFunc& operator=(const CDdrawFunc&) = delete;

  ComposeHooks& hooks() { return hooks_; }

  // ---- Set-up and surface table ----
  // The text of the box a failed set-up shows (UTF-8).
  static constexpr const char* kInitFailedText = "DirectX 的初始化失敗了。\n結束程式。";
  // Opens the display and makes every surface; on any failure shows the error box owned by the
  // program window and returns 0, leaving the rest to ReleaseDirectDraw.
  int InitDirectDraw();
  // Releases everything made so far; safe after a partial set-up and when repeated.
  void ReleaseDirectDraw();
  // The display while it is open, else null (the movie player's way in).
  platform::Display* GetDirectDraw() const { return open_ ? display_ : nullptr; }
  int IsFullScreen() const { return full_screen_; }

  platform::Surface* GetSurface(SurfaceId id) const;
  SurfaceId GetSurfaceNo(const platform::Surface* surface) const;

  void SetFlipOneCussion() { flip_mode_ = 0; }
  void SetFlipDirect() { flip_mode_ = 1; }
  void SetFlipMode(int mode) { flip_mode_ = mode; }
  int GetFlipMode() const { return flip_mode_; }
  void SetVramToVramDirectUse(int value) { vram_to_vram_direct_use_ = value; }
  int GetVramToVramDirectUse() const { return vram_to_vram_direct_use_; }

  // Off-screen surfaces owned by this object until ReleaseSurface (or its end).
  platform::Surface* CreateSurface(int width, int height);
  // In video memory when it can be had, else in system memory.
  platform::Surface* CreateSurfaceVideo(int width, int height);
  void ReleaseSurface(platform::Surface* surface);
  uint32_t GetSurfaceCaps(const platform::Surface* surface) const;
  uint32_t GetSurfaceDesc(const platform::Surface* surface) const;

  // User surfaces 0-1023. Numbers outside that range are refused (null / 0).
  UserSurface CreateUserSurfaceEx(int width, int height, int memory);
  UserSurface CreateUserSurface(int width, int height) { return CreateUserSurfaceEx(width, height, 0); }
  int DeleteUserSurface(UserSurface number);
  platform::Surface* GetUserSurface(UserSurface number) const;
  int AttachUserSurface(SurfaceId layer_id, UserSurface number);
  // User surfaces made since this object was made: work surfaces, the surface a picture is read
  // into (LoadBitmap), a layer's larger stand-in (ResizeSurface). Each is a frame's set-up work:
  // the frame benchmarks tell such frames from those that only draw what is there.
  uint64_t user_surfaces_made() const { return user_surfaces_made_; }

  void SetColorKey(platform::Surface* surface);
  uint32_t GetColorKey() const { return color_key_; }
  // 0 red, 1 green, 2 blue.
  uint32_t GetPrimaryColor(int index) const;
  // The pixel of a COLORREF on the surface of that id; 0xFFFFFFFF when it cannot be locked.
  uint32_t ColorMatch(SurfaceId id, ColorRef color);
  int LockSurface(platform::Surface* surface, SurfaceDesc* desc);
  int RestoreAllSurfaces();
  // The display's pixel layout, as the matched colours give it (RGB555 when red | green | blue
  // are exactly its fields, RGB565 otherwise, also before a display is open). Everything in the
  // display object that depends on the layout asks here.
  platform::PixelLayout MatchedLayout() const;

  // ---- Compose layers, fades and flip ----
  void SetVisible(SurfaceId id, int flag) { SetBit(visible_, id, flag); }
  uint32_t IsVisible(SurfaceId id) const { return TestBit(visible_, id); }
  void SetSurfaceBlt(SurfaceId id, int flag) { SetBit(copy_, id, flag); }
  uint32_t IsSurfaceBlt(SurfaceId id) const { return TestBit(copy_, id); }
  void SetUpdate(SurfaceId id, int flag) { SetBit(update_, id, flag); }
  uint32_t IsUpdate(SurfaceId id) const { return TestBit(update_, id); }
  uint32_t update_word() const { return update_; }
  void SetClearFlag(int value) { clear_flag_ = value; }
  int GetClearFlag() const { return clear_flag_; }

  int GetLayerIndex(SurfaceId id) const;
  LayerRec* GetLayer(SurfaceId id);
  int SwapLayers(SurfaceId a, SurfaceId b);
  int SetLayerScroll(SurfaceId id, int x, int y);
  int GetLayerScroll(SurfaceId id, int* x, int* y) const;
  int SetLayerView(SurfaceId id, int x1, int y1, int x2, int y2);
  int ResizeSurface(SurfaceId id, int fill, int width, int height);
  // Gives a layer its own 640 x 480 surface back from a larger (or toned) stand-in: scroll
  // (0, 0); when a swap surface is held, exchange back, clear with the fill flag, delete the
  // stand-in, size 640 x 480, swap -1. 0 when the id is not a layer or a step fails.
  int GiveBackLayerSurface(SurfaceId id, int fill);

  void SetXfadeLayer(int position) { xfade_position_ = position; }
  int GetXfadeLayer() const { return xfade_position_; }
  void SetXfadeAlpha(int alpha) { xfade_alpha_ = alpha; }
  void SetXfadeRect(const Rect* rect);
  void SetFadeLevel(int level);
  int GetFadeLevel() const { return fade_level_; }
  void SetFadeType(int type) { fade_type_ = type; }
  int GetFadeType() const { return fade_type_; }

  int CopySurface(SurfaceId source, SurfaceId destination, int color_key);
  int CopyLayer(SurfaceId source, SurfaceId destination, int color_key, int mode);
  int ShowWindow();
  // Whether the compose leaves undrawn what a layer above will overwrite (on unless turned off;
  // the pictures are the same either way, which the tests check by turning it off).
  void SetComposeCover(bool on) { use_cover_ = on; }
  // True while a compose runs and a layer still to be copied will overwrite every pixel of the
  // rectangle of `destination` (the back buffer): a draw there can be left out.
  bool HiddenInCompose(const platform::Surface* destination, const Rect& rect) const {
    const ScreenCover* cover = CoverFor(destination);
    return cover != nullptr && cover->Hidden(rect);
  }
  int Flip();
  int FlipToGDI(int mode);
  int CaptureLayers(SurfaceId id, SurfaceId destination);
  int CaptureLayer(SurfaceId id, SurfaceId destination, int add);
  int SaveLayerState(LayerState* state) const;
  void RestoreLayerState(const LayerState* state);

  // ---- Blits and fills ----
  int Blt(SurfaceId source, Rect source_rect, SurfaceId destination, Rect destination_rect,
          int color_key);
  int BltEx(SurfaceId source, Rect source_rect, SurfaceId destination, Rect destination_rect,
            int color_key, uint32_t flags, const BltFx* fx);
  int BltFromSurface(platform::Surface* source, Rect source_rect, SurfaceId destination,
                     Rect destination_rect, int color_key);
  int BltFromSurfaceEx(platform::Surface* source, Rect source_rect, SurfaceId destination,
                       Rect destination_rect, int color_key, uint32_t flags, const BltFx* fx);
  int BltToSurface(SurfaceId source, Rect source_rect, platform::Surface* destination,
                   Rect destination_rect, int color_key);
  int BltToSurfaceEx(SurfaceId source, Rect source_rect, platform::Surface* destination,
                     Rect destination_rect, int color_key, uint32_t flags, const BltFx* fx);
  int BltPtr(platform::Surface* source, Rect source_rect, platform::Surface* destination,
             Rect destination_rect, int color_key);
  // The blit worker.
  int BltSurface(platform::Surface* source, Rect source_rect, platform::Surface* destination,
                 Rect destination_rect, int color_key, uint32_t flags, const BltFx* fx);
  // 1 = nothing to draw, 0 = draw with the clipped rectangles.
  int ClipBltRect(const platform::Surface* source, Rect* source_rect,
                  const platform::Surface* destination, Rect* destination_rect, uint32_t flags,
                  const BltFx* fx) const;
  // A plain copy (stretching, mirroring and keying by the flags) without clipping or update bit;
  // a null rectangle means the whole surface.
  int BltWait(platform::Surface* destination, const Rect* destination_rect,
              platform::Surface* source, const Rect* source_rect, uint32_t flags,
              const BltFx* fx);

  int ClearSurface(SurfaceId id, int fill);
  int ClearLayer(SurfaceId id, int fill);
  int FillSurfaceRect(SurfaceId id, int left, int top, int right, int bottom, int fill);
  int BltColorFill(platform::Surface* surface, Rect rect, int fill);

  // ---- Alpha blits, transform and polygon ----
  // Software blend of the source rectangle onto the destination rectangle (no stretching; the
  // two are clipped against the destination as a blit is). The alpha word's low half is the
  // level (above 256 counts as 256), its high half the blend mode. A surface that cannot be
  // locked draws nothing and the call still returns 1. No update bit is set.
  int BltAlpha(platform::Surface* source, Rect source_rect, platform::Surface* destination,
               Rect destination_rect, int color_key, BlendWord alpha);
  // The same with the tint colour (a pixel) that blend mode 7 mixes with the source.
  int BltAlphaWork(platform::Surface* source, Rect source_rect, platform::Surface* destination,
                   Rect destination_rect, int color_key, BlendWord alpha, uint16_t tint);
  // The blend on locked memory: picks the blitter by the display layout and the colour-key flag.
  // Areas must lie inside their pictures; the blended area is the smaller of the two sizes. With
  // the compose's cover (the destination is then the back buffer) covered pixels are skipped.
  void BltAlphaSoft(const void* source, int32_t source_pitch, int32_t source_x, int32_t source_y,
                    int32_t source_width, int32_t source_height, void* destination,
                    int32_t destination_pitch, int32_t destination_x, int32_t destination_y,
                    int32_t destination_width, int32_t destination_height, int color_key,
                    uint32_t level, uint32_t mode, uint16_t tint,
                    const ScreenCover* cover = nullptr);
  // Rotated / zoomed sprite draw through the quad rasterizer. `corners` is the four-corner block
  // (four 16.16 factors: top width, right height, bottom width, left height) or null; left,
  // right, top and bottom are the zoomed picture's edges relative to its centre (left and top
  // are 0 or negative). Rotation is radians x 256. 1, or 0 when a surface cannot be locked.
  int PutTransform(platform::Surface* source, const Rect* source_rect,
                   platform::Surface* destination, const Rect* destination_rect, int color_key,
                   uint32_t flags, const BltFx* fx, int32_t rotation, const int32_t* corners,
                   int32_t left, int32_t right, int32_t top, int32_t bottom);
  // A solid quadrilateral (a polygon entry of the sprite buffer). 1, or 0 when the destination
  // cannot be locked.
  int DrawPolygon(platform::Surface* destination, const PolygonBlock* polygon);

  // ---- Boxes and text size ----
  // Boxes: style 0 solid, 1 checker, 2-9 tinted over the read surface, above 9 nothing.
  // DrawBox reads from the primary (id 1).
  int DrawBox(SurfaceId id, ColorRef color, int left, int top, int right, int bottom, int style);
  int DrawBoxEx(SurfaceId id, ColorRef color, Rect rect, int style, SurfaceId read_id);
  int DrawBoxWork(platform::Surface* surface, ColorRef color, Rect rect, int style,
                  SurfaceId read_id);
  // CDdrawText::GetTextWidth of the whole string ((height << 16) | width); 0 when the surface is
  // missing or lost and cannot be restored. The three middle arguments are not read.
  uint32_t GetTextSize(const char* text, int32_t unused1, int32_t unused2, int32_t unused3,
                       SurfaceId id);

  // ---- Bitmaps and BMX pictures ----
  // Loads a Windows bitmap file (found through the file layer) with its top-left corner at
  // (x, y) of the surface id; a layer gets a larger surface when the picture needs one.
  int LoadBitmap(const char* name, int x, int y, int fill, SurfaceId id);
  // The rectangle of the last bitmap that passed the size checks.
  void GetBitmapRect(Rect* rect) const;
  // Makes room for a w x h picture at (x, y): a layer's surface (resized when needed), or the
  // surface itself when the picture fits it; null otherwise.
  platform::Surface* PrepareBmxSurface(int x, int y, int width, int height,
                                       platform::Surface* surface, int fill);
  // Draws width x height BMX words (bit 15 transparent, else 5-5-5 colour) at (x, y), darkened
  // by a level below 256.
  int DrawBmx(const uint16_t* pixels, int x, int y, int width, int height,
              platform::Surface* surface, int fill, int level);
  // Darkens one colour by its luma (level 256 = unchanged); each channel is clamped to 0..max.
  static void ScaleBrightness(int32_t level, uint32_t red, uint32_t red_max, uint32_t green,
                              uint32_t green_max, uint32_t blue, uint32_t blue_max,
                              uint32_t* out_red, uint32_t* out_green, uint32_t* out_blue);
  static int CountBits(uint32_t mask);

 private:
  enum class FlipResult { kShown, kSkipped, kFailed };

  static void SetBit(uint32_t& word, SurfaceId id, int flag);
  static uint32_t TestBit(uint32_t word, SurfaceId id);

  int FailInit();
  platform::Surface* Own(std::unique_ptr<platform::Surface> surface);
  void Release(platform::Surface*& slot);
  // Shows the back buffer: in flip mode 0 (when asked) copies id 2 into the flip buffer, then
  // exchanges the chain's buffers and presents the new front.
  FlipResult FlipChain(bool copy_back_buffer);
  // Fades the back buffer: kShown when done, kSkipped when it was lost with the screen and is
  // restored (nothing to show this frame), kFailed otherwise.
  FlipResult ApplyFade();
  int XfadeBlend();
  int DrawLayerParts(int position, SurfaceId id);
  // Works out what each layer position's draws will have covered by the layers above it.
  void BeginCover();
  // The compose's cover when draws onto `surface` are to consult it, else null.
  const ScreenCover* CoverFor(const platform::Surface* surface) const {
    return cover_.Applies(surface) ? &cover_ : nullptr;
  }
  // The same for a keyed copy of `source`, which also skips the groups of a layer it copies that
  // hold nothing but the key.
  const ScreenCover* KeyedCopyCoverFor(const platform::Surface* source,
                                       const platform::Surface* destination) const {
    return cover_.AppliesToKeyedCopy(source, destination) ? &cover_ : nullptr;
  }

  platform::Display* display_;
  platform::Window* window_;
  FileIO& files_;
  ComposeHooks hooks_;

  int full_screen_ = 0;
  bool open_ = false;
  std::array<platform::Surface*, 14> surfaces_{};  // index = id; 0 unused
  std::array<platform::Surface*, kUserSurfaceCount> user_surfaces_{};
  uint64_t user_surfaces_made_ = 0;
  std::unordered_map<const platform::Surface*, std::unique_ptr<platform::Surface>> owned_;

  uint32_t color_key_ = 0;
  std::array<uint32_t, 3> primary_colors_{};  // red, green, blue pixels

  int clear_flag_ = 1;
  int flip_mode_ = 0;
  int vram_to_vram_direct_use_ = 0;
  uint32_t visible_ = 0xFFFFFFFF;
  uint32_t copy_ = 0xFFFFFFFF;
  uint32_t update_ = 0;
  int xfade_position_ = -1;
  int xfade_alpha_ = 256;
  Rect xfade_rect_{0, 0, kScreenWidth, kScreenHeight};
  std::array<SurfaceId, 5> layer_ids_{4, 5, 6, 7, 8};
  // Records by compose position; a record moves with its id when layers are swapped.
  std::array<std::unique_ptr<LayerRec>, 5> layers_;
  int fade_level_ = 0;
  int fade_type_ = 0;
  Rect last_bitmap_rect_{};
  // What the layers still to be copied will overwrite (engine/gfx/pixels/screen_cover.h), and
  // each layer id's opaque pixels.
  ScreenCover cover_;
  std::array<KeyBits, 5> layer_key_bits_;
  bool use_cover_ = true;
};
