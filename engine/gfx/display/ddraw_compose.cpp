// The compose step: layer settings, the five layers with their windows and sprites, the
// cross-fade, the screen fade, the debug surfaces, the flip and the capture of layers.

#include <algorithm>

#include "engine/core/debug_trace.h"
#include "engine/gfx/pixels/blend_blit.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/pixels/surface_pixels.h"

using platform::Surface;

namespace {

constexpr Rect kScreenRect{0, 0, kScreenWidth, kScreenHeight};

}  // namespace

// ---- Bit words ----

void CDdrawFunc::SetBit(uint32_t& word, SurfaceId id, int flag) {
  if (id < 0 || id > 31) return;
  uint32_t bit = 1u << id;
  word = flag != 0 ? word | bit : word & ~bit;
}

uint32_t CDdrawFunc::TestBit(uint32_t word, SurfaceId id) {
  if (id < 0 || id > 31) return 0;
  return word & (1u << id);
}

// ---- Layers ----

int CDdrawFunc::GetLayerIndex(SurfaceId id) const {
  for (int p = 0; p < 5; ++p) {
    if (layer_ids_[static_cast<size_t>(p)] == id) return p;
  }
  return -1;
}

LayerRec* CDdrawFunc::GetLayer(SurfaceId id) {
  int p = GetLayerIndex(id);
  return p < 0 ? nullptr : layers_[static_cast<size_t>(p)].get();
}

int CDdrawFunc::SwapLayers(SurfaceId a, SurfaceId b) {
  int pa = GetLayerIndex(a);
  int pb = GetLayerIndex(b);
  if (pa < 0 || pb < 0) return 0;
  std::swap(layer_ids_[static_cast<size_t>(pa)], layer_ids_[static_cast<size_t>(pb)]);
  std::swap(layers_[static_cast<size_t>(pa)], layers_[static_cast<size_t>(pb)]);
  return 1;
}

int CDdrawFunc::SetLayerScroll(SurfaceId id, int x, int y) {
  LayerRec* rec = GetLayer(id);
  if (rec == nullptr) return 0;
  auto clamp = [](int v, int view, int size) {
    if (v < 0) return 0;
    if (int64_t{v} + view > size) return size - view;
    return v;
  };
  rec->scroll_y = clamp(y, rec->view_height, rec->surface_height);
  rec->scroll_x = clamp(x, rec->view_width, rec->surface_width);
  return 1;
}

int CDdrawFunc::GetLayerScroll(SurfaceId id, int* x, int* y) const {
  int p = GetLayerIndex(id);
  const LayerRec* rec = p < 0 ? nullptr : layers_[static_cast<size_t>(p)].get();
  if (x != nullptr) *x = rec != nullptr ? rec->scroll_x : 0;
  if (y != nullptr) *y = rec != nullptr ? rec->scroll_y : 0;
  return rec != nullptr ? 1 : 0;
}

int CDdrawFunc::SetLayerView(SurfaceId id, int x1, int y1, int x2, int y2) {
  LayerRec* rec = GetLayer(id);
  if (rec == nullptr) return 0;
  if (!(0 <= x1 && x1 < x2 && x2 <= kScreenWidth && 0 <= y1 && y1 < y2 && y2 <= kScreenHeight)) {
    return 0;
  }
  rec->screen_x = rec->scroll_x = x1;
  rec->screen_y = rec->scroll_y = y1;
  rec->view_width = x2 - x1;
  rec->view_height = y2 - y1;
  return 1;
}

int CDdrawFunc::GiveBackLayerSurface(SurfaceId id, int fill) {
  LayerRec* rec = GetLayer(id);
  if (rec == nullptr) return 0;
  rec->scroll_x = rec->scroll_y = 0;
  if (rec->swap_surface == -1) return 1;
  UserSurface stand_in = rec->swap_surface;
  if (!AttachUserSurface(id, stand_in)) return 0;
  ClearSurface(id, fill);
  DeleteUserSurface(stand_in);
  rec->surface_width = kScreenWidth;
  rec->surface_height = kScreenHeight;
  rec->swap_surface = -1;
  return 1;
}

int CDdrawFunc::ResizeSurface(SurfaceId id, int fill, int width, int height) {
  LayerRec* rec = GetLayer(id);
  if (rec == nullptr) {
    DebugPrint("Surface Resize Failed\n");
    return 0;
  }
  // A layer that already stands on a larger surface gives it back first, so that its own
  // surface is not stranded in the user table when the swap number is overwritten.
  if (rec->swap_surface != -1 && !GiveBackLayerSurface(id, fill)) {
    DebugPrint("Surface Resize Failed\n");
    return 0;
  }
  width = std::max(width, kScreenWidth);
  height = std::max(height, kScreenHeight);
  UserSurface n = CreateUserSurface(width, height);
  if (n < 0) {
    DebugPrint("Surface Resize Failed\n");
    return 0;
  }
  DebugPrint("Surface Resized Width=%d Height=%d\n", width, height);
  AttachUserSurface(id, n);
  ClearSurface(id, fill);
  rec->surface_width = width;
  rec->surface_height = height;
  rec->swap_surface = n;
  rec->view_width = std::min(rec->view_width, width - rec->screen_x);
  rec->view_height = std::min(rec->view_height, height - rec->screen_y);
  return 1;
}

void CDdrawFunc::SetXfadeRect(const Rect* rect) {
  if (rect != nullptr) xfade_rect_ = *rect;
}

void CDdrawFunc::SetFadeLevel(int level) {
  fade_level_ = static_cast<uint32_t>(level) <= 256 ? level : 256;
}

int CDdrawFunc::SaveLayerState(LayerState* state) const {
  if (state == nullptr) return clear_flag_;
  for (SurfaceId id = SURFACE_ROOT; id <= SURFACE_TEXT; ++id) {
    state->visible[id] = IsVisible(id) != 0 ? 1 : 0;
    state->copy[id] = IsSurfaceBlt(id) != 0 ? 1 : 0;
  }
  state->clear_flag = clear_flag_;
  return clear_flag_;
}

void CDdrawFunc::RestoreLayerState(const LayerState* state) {
  if (state == nullptr) return;
  for (SurfaceId id = SURFACE_ROOT; id <= SURFACE_TEXT; ++id) {
    SetVisible(id, state->visible[id]);
    SetSurfaceBlt(id, state->copy[id]);
  }
  clear_flag_ = state->clear_flag;
  SetUpdate(SURFACE_ALL_LAYERS, 1);
}

// ---- Copies ----

int CDdrawFunc::CopySurface(SurfaceId source, SurfaceId destination, int color_key) {
  if (source == destination) return 0;
  return Blt(source, kScreenRect, destination, kScreenRect, color_key);
}

int CDdrawFunc::CopyLayer(SurfaceId source, SurfaceId destination, int color_key, int /*mode*/) {
  if (source == destination) return 0;
  Rect from = kScreenRect;
  Rect to = kScreenRect;
  if (const LayerRec* rec = GetLayer(source)) {
    from = {rec->scroll_x, rec->scroll_y, rec->scroll_x + rec->view_width,
            rec->scroll_y + rec->view_height};
    to = {rec->screen_x, rec->screen_y, rec->screen_x + rec->view_width,
          rec->screen_y + rec->view_height};
  }
  return BltEx(source, from, destination, to, color_key, 0, nullptr);
}

// ---- Compose ----

int CDdrawFunc::DrawLayerParts(int position, SurfaceId id) {
  if (!IsVisible(id)) return 1;
  if (hooks_.draw_windows && !hooks_.draw_windows(id)) return 0;
  if (IsSurfaceBlt(id) && !CopyLayer(id, SURFACE_BACK, position > 0 ? 1 : 0, 0)) return 0;
  if (hooks_.draw_sprites && !hooks_.draw_sprites(id)) return 0;
  return 1;
}

// The cross-fade: the cross-fade rectangle of surface 9 blended onto the same rectangle of the
// back buffer with the cross-fade alpha, colour key on. As with every alpha blit, a surface that
// cannot be locked draws nothing and the step still succeeds.
int CDdrawFunc::XfadeBlend() {
  return BltAlpha(GetSurface(SURFACE_XFADE), xfade_rect_, GetSurface(SURFACE_BACK), xfade_rect_, 1,
                  static_cast<BlendWord>(xfade_alpha_));
}

CDdrawFunc::FlipResult CDdrawFunc::ApplyFade() {
  // In flip mode the back buffer is the flip buffer; it is faded in place all the same (there is
  // no slow video memory to avoid here).
  Surface* back = GetSurface(SURFACE_BACK);
  platform::SurfaceLock lock;
  if (back == nullptr) return FlipResult::kFailed;
  if (!LockSurface(back, &lock)) {
    // In flip mode 1 the back buffer goes with the screen: a screen lost after the layers were
    // drawn takes the composed picture along. Once it is restored the frame is skipped, as a
    // flip that meets a lost screen skips it, and the next frame composes again.
    if (!back->IsLost() || !RestoreAllSurfaces() || back->IsLost()) return FlipResult::kFailed;
    DebugPrint("CDdrawFunc::ShowWindow: screen restored under the fade, frame skipped\n");
    return FlipResult::kSkipped;
  }
  FadePixels(lock.bits, lock.pitch, std::min(lock.width, kScreenWidth),
             std::min(lock.height, kScreenHeight), MatchedLayout(), fade_level_, fade_type_);
  back->Unlock();
  return FlipResult::kShown;
}

void CDdrawFunc::BeginCover() {
  const Surface* back = GetSurface(SURFACE_BACK);
  std::array<ScreenCover::Layer, ScreenCover::kPositions> layers{};
  const auto key = static_cast<uint16_t>(color_key_);
  bool any = false;
  for (int p = 1; p < ScreenCover::kPositions; ++p) {
    const SurfaceId id = layer_ids_[static_cast<size_t>(p)];
    const LayerRec* rec = layers_[static_cast<size_t>(p)].get();
    const Surface* surface = GetSurface(id);
    KeyBits& bits = layer_key_bits_[static_cast<size_t>(id - SURFACE_ROOT)];
    // A layer covers what its keyed copy will surely overwrite: it must be shown and copied,
    // its pictures whole, and its view inside both its surface and the screen.
    if (!IsVisible(id) || !IsSurfaceBlt(id) || rec == nullptr || surface == nullptr ||
        back == nullptr || surface->IsLost() || back->IsLost() || surface->SamePixels(*back) ||
        rec->scroll_x < 0 || rec->scroll_y < 0 ||
        rec->scroll_x + rec->view_width > surface->width() ||
        rec->scroll_y + rec->view_height > surface->height() || rec->screen_x < 0 ||
        rec->screen_y < 0 || rec->screen_x + rec->view_width > kScreenWidth ||
        rec->screen_y + rec->view_height > kScreenHeight || !bits.Prepare(*surface, key)) {
      continue;
    }
    ScreenCover::Layer& l = layers[static_cast<size_t>(p)];
    l.bits = &bits;
    l.surface = surface;
    l.source_x = rec->scroll_x;
    l.source_y = rec->scroll_y;
    l.screen = {rec->screen_x, rec->screen_y, rec->screen_x + rec->view_width,
                rec->screen_y + rec->view_height};
    any = true;
  }
  if (any) {
    cover_.Begin(back, layers);
  } else {
    cover_.Stop();  // no layer covers anything: the compose draws as it always did
  }
}

int CDdrawFunc::ShowWindow() {
  if (update_ == 0 || (update_ & 1u) != 0) return 1;

  SurfaceId bottom = layer_ids_[0];
  if ((!IsVisible(bottom) || !IsSurfaceBlt(bottom)) && clear_flag_ != 0) {
    if (!ClearSurface(SURFACE_BACK, 0)) return 0;
  }
  // While the layers are drawn, what a layer above will overwrite is left undrawn.
  if (use_cover_) BeginCover();
  struct StopCover {
    ScreenCover& cover;
    ~StopCover() { cover.Stop(); }
  } stop_cover{cover_};
  for (int p = 0; p < 5; ++p) {
    cover_.SetPosition(p);
    if (!DrawLayerParts(p, layer_ids_[static_cast<size_t>(p)])) return 0;
    if (xfade_position_ == p && !XfadeBlend()) return 0;
  }
  cover_.Stop();
  if (hooks_.draw_sprites && !hooks_.draw_sprites(SURFACE_BACK)) return 0;
  if (fade_level_ != 0) {
    switch (ApplyFade()) {
      case FlipResult::kShown:
        break;
      case FlipResult::kSkipped:
        return 1;  // update word kept: the next frame composes again
      case FlipResult::kFailed:
        return 0;
    }
  }
  for (SurfaceId id : {SURFACE_DEBUG, SURFACE_DEBUG2}) {
    if (!IsVisible(id)) continue;
    if (hooks_.draw_windows && !hooks_.draw_windows(id)) return 0;
    if (!CopySurface(id, SURFACE_BACK, 1)) return 0;
    if (hooks_.draw_sprites && !hooks_.draw_sprites(id)) return 0;
  }

  switch (FlipChain(true)) {
    case FlipResult::kShown:
      update_ = 0;
      return 1;
    case FlipResult::kSkipped:
      // The screen was lost and restored: nothing was shown, so compose again next frame.
      return 1;
    case FlipResult::kFailed:
      break;
  }
  DebugPrint("Flip Fail\n");
  return 0;
}

// ---- Flip ----

CDdrawFunc::FlipResult CDdrawFunc::FlipChain(bool copy_back_buffer) {
  Surface* primary = surfaces_[SURFACE_PRIMARY];
  Surface* flip = surfaces_[SURFACE_FLIP];
  if (!open_ || primary == nullptr || flip == nullptr) return FlipResult::kFailed;
  if (copy_back_buffer && flip_mode_ == 0 &&
      !Blt(SURFACE_BACK, kScreenRect, SURFACE_FLIP, kScreenRect, 0)) {
    return FlipResult::kFailed;
  }
  if (primary->IsLost()) {
    // A screen that comes back is not a failure: this picture is skipped and the next one shows.
    if (!primary->Restore()) return FlipResult::kFailed;
    DebugPrint("CDdrawFunc::Flip: screen restored, frame skipped\n");
    return FlipResult::kSkipped;
  }
  if (!primary->ExchangePixels(*flip)) return FlipResult::kFailed;
  return display_->Present(*primary) ? FlipResult::kShown : FlipResult::kFailed;
}

int CDdrawFunc::Flip() { return FlipChain(true) != FlipResult::kFailed ? 1 : 0; }

int CDdrawFunc::FlipToGDI(int mode) {
  if (!open_ || display_ == nullptr) return 0;
  if (flip_mode_ == 0 && surfaces_[SURFACE_BACK] != nullptr && surfaces_[SURFACE_FLIP] != nullptr &&
      !Blt(SURFACE_BACK, kScreenRect, SURFACE_FLIP, kScreenRect, 0)) {
    return 0;
  }
  if (!display_->ShowDesktop()) return 0;
  if (mode == 1) return 1;
  return FlipChain(false) != FlipResult::kFailed ? 1 : 0;
}

// ---- Capture ----

int CDdrawFunc::CaptureLayers(SurfaceId id, SurfaceId destination) {
  if (xfade_position_ != -1) return 0;
  int last = id == SURFACE_ALL_LAYERS ? 4 : GetLayerIndex(id);
  if (last < 0) return 0;
  for (int p = 0; p <= last; ++p) {
    if (!CaptureLayer(layer_ids_[static_cast<size_t>(p)], destination, p > 0 ? 1 : 0)) return 0;
  }
  return 1;
}

int CDdrawFunc::CaptureLayer(SurfaceId id, SurfaceId destination, int add) {
  int p = GetLayerIndex(id);
  if (p < 0) return 0;
  if (!add && !ClearSurface(SURFACE_BACK, 1)) return 0;
  if (!DrawLayerParts(p, id)) return 0;
  return CopySurface(SURFACE_BACK, destination, add);
}
