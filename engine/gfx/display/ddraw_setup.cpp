// The display object's set-up and release, the surface table, user surfaces, colour matching,
// locking and the restore of lost surfaces.

#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "platform/pixel_traits.h"

using platform::Surface;
using platform::SurfaceRole;

namespace {

constexpr const char* kErrorCaption = "ERROR";

bool IsLayerId(SurfaceId id) { return id >= SURFACE_ROOT && id <= SURFACE_TEXT; }
bool ValidUserNumber(UserSurface n) { return n >= 0 && n < kUserSurfaceCount; }

}  // namespace

CDdrawFunc::CDdrawFunc(platform::Display* display, platform::Window* window, FileIO& files)
    : display_(display), window_(window), files_(files) {
  for (auto& layer : layers_) layer = std::make_unique<LayerRec>();
}

CDdrawFunc::~CDdrawFunc() = default;

// ---- Owned surfaces ----

Surface* CDdrawFunc::Own(std::unique_ptr<Surface> surface) {
  Surface* raw = surface.get();
  if (raw != nullptr) owned_[raw] = std::move(surface);
  return raw;
}

void CDdrawFunc::Release(Surface*& slot) {
  if (slot == nullptr) return;
  if (Surface* back = slot->back_buffer(); back != nullptr) {
    // The front of the flip chain takes its back buffer with it.
    for (auto& s : surfaces_) {
      if (s == back) s = nullptr;
    }
    owned_.erase(back);
  }
  owned_.erase(slot);
  slot = nullptr;
}

Surface* CDdrawFunc::CreateSurface(int width, int height) {
  Surface* s = nullptr;
  if (display_ != nullptr && open_) s = Own(display_->CreateSurface(SurfaceRole::kSystem, width, height));
  if (s == nullptr) DebugPrint("CDdrawFunc::CreateSurface Failed\n");
  return s;
}

Surface* CDdrawFunc::CreateSurfaceVideo(int width, int height) {
  if (display_ != nullptr && open_) {
    if (Surface* s = Own(display_->CreateSurface(SurfaceRole::kVideo, width, height))) return s;
  }
  return CreateSurface(width, height);
}

void CDdrawFunc::ReleaseSurface(Surface* surface) {
  if (surface == nullptr || !open_) return;
  auto it = owned_.find(surface);
  if (it == owned_.end()) return;  // not ours, or already released
  for (auto& s : surfaces_) {
    if (s == surface) s = nullptr;
  }
  for (auto& s : user_surfaces_) {
    if (s == surface) s = nullptr;
  }
  Surface* slot = surface;
  Release(slot);
}

uint32_t CDdrawFunc::GetSurfaceCaps(const Surface* surface) const {
  return surface != nullptr && surface->video_memory() ? kSurfaceCapsVideoMemory : 0;
}

uint32_t CDdrawFunc::GetSurfaceDesc(const Surface* surface) const {
  return surface != nullptr ? static_cast<uint32_t>(surface->size_bytes()) : 0;
}

// ---- Set-up ----

int CDdrawFunc::FailInit() {
  if (window_ != nullptr) window_->MessageBox(true, kInitFailedText, kErrorCaption);
  return 0;
}

int CDdrawFunc::InitDirectDraw() {
  full_screen_ = 1;
  if (display_ == nullptr || !display_->Open()) return FailInit();
  open_ = true;
  if (!display_->SetExclusive()) return FailInit();
  if (!display_->SetMode(kScreenWidth, kScreenHeight, 16)) return FailInit();

  surfaces_[SURFACE_PRIMARY] =
      Own(display_->CreateSurface(SurfaceRole::kPrimary, kScreenWidth, kScreenHeight));
  if (surfaces_[SURFACE_PRIMARY] == nullptr) return FailInit();
  surfaces_[SURFACE_FLIP] =
      Own(display_->CreateSurface(SurfaceRole::kFlipBuffer, kScreenWidth, kScreenHeight));
  if (surfaces_[SURFACE_FLIP] == nullptr) return FailInit();
  surfaces_[SURFACE_PRIMARY]->AttachBackBuffer(*surfaces_[SURFACE_FLIP]);

  auto make = [&](SurfaceId id, int width, int height) {
    surfaces_[id] = Own(display_->CreateSurface(SurfaceRole::kSystem, width, height));
    return surfaces_[id] != nullptr;
  };
  for (SurfaceId id : {SURFACE_BACK, SURFACE_SCRATCH, SURFACE_SCRATCH2, SURFACE_XFADE}) {
    if (!make(id, kScreenWidth, kScreenHeight)) return FailInit();
  }
  for (int p = 0; p < 5; ++p) {
    SurfaceId id = SURFACE_ROOT + p;
    const LayerRec& rec = *layers_[static_cast<size_t>(GetLayerIndex(id))];
    if (!make(id, rec.surface_width, rec.surface_height)) return FailInit();
  }
  for (SurfaceId id : {SURFACE_DEBUG, SURFACE_DEBUG2}) {
    if (!make(id, kScreenWidth, kScreenHeight)) return FailInit();
  }
  if (!display_->CreateClipper(kScreenWidth, kScreenHeight)) return FailInit();

  if (!FlipToGDI(0) || !FlipToGDI(1) || !ClearSurface(SURFACE_BACK, 0)) return FailInit();

  color_key_ = ColorMatch(SURFACE_BACK, kColorKeyColorRef);
  primary_colors_[0] = ColorMatch(SURFACE_BACK, 0x0000FF);
  primary_colors_[1] = ColorMatch(SURFACE_BACK, 0x00FF00);
  primary_colors_[2] = ColorMatch(SURFACE_BACK, 0xFF0000);

  if (!ClearSurface(SURFACE_ROOT, 0)) return FailInit();
  for (SurfaceId id = SURFACE_BG; id <= SURFACE_DEBUG2; ++id) {
    if (!ClearSurface(id, 1)) return FailInit();
  }
  if (!ClearSurface(SURFACE_SCRATCH, 0) || !ClearSurface(SURFACE_SCRATCH2, 0)) return FailInit();

  DebugPrint("dwColorKey = %x\n", color_key_);
  return 1;
}

void CDdrawFunc::ReleaseDirectDraw() {
  if (open_ && surfaces_[SURFACE_PRIMARY] != nullptr && surfaces_[SURFACE_BACK] != nullptr &&
      surfaces_[SURFACE_FLIP] != nullptr) {
    FlipToGDI(0);
  }
  if (!open_) return;
  if (hooks_.delete_all_sprites) hooks_.delete_all_sprites();
  Release(surfaces_[SURFACE_BACK]);
  Release(surfaces_[SURFACE_PRIMARY]);
  for (SurfaceId id = SURFACE_ROOT; id <= SURFACE_SCRATCH2; ++id) Release(surfaces_[id]);
  for (auto& s : user_surfaces_) Release(s);
  display_->RestoreMode();
  display_->Close();
  open_ = false;
}

// ---- Surface table ----

Surface* CDdrawFunc::GetSurface(SurfaceId id) const {
  if (id < SURFACE_PRIMARY || id > SURFACE_SCRATCH2) return nullptr;
  if (id == SURFACE_BACK && flip_mode_ != 0) return surfaces_[SURFACE_FLIP];
  return surfaces_[static_cast<size_t>(id)];
}

SurfaceId CDdrawFunc::GetSurfaceNo(const Surface* surface) const {
  if (surface == nullptr) return 0;
  for (SurfaceId id = SURFACE_PRIMARY; id <= SURFACE_SCRATCH2; ++id) {
    if (surfaces_[static_cast<size_t>(id)] == surface) return id;
  }
  return 0;
}

// ---- User surfaces ----

UserSurface CDdrawFunc::CreateUserSurfaceEx(int width, int height, int memory) {
  int n = 0;
  while (n < kUserSurfaceCount && user_surfaces_[static_cast<size_t>(n)] != nullptr) ++n;
  if (n == kUserSurfaceCount) return -1;
  Surface* s = nullptr;
  if (memory == 0) {
    s = CreateSurface(width, height);
  } else if (memory == 1) {
    s = CreateSurfaceVideo(width, height);
  }
  if (s == nullptr) return -1;
  user_surfaces_[static_cast<size_t>(n)] = s;
  ++user_surfaces_made_;
  return n;
}

int CDdrawFunc::DeleteUserSurface(UserSurface number) {
  if (!ValidUserNumber(number)) return 0;
  Release(user_surfaces_[static_cast<size_t>(number)]);
  return 1;
}

Surface* CDdrawFunc::GetUserSurface(UserSurface number) const {
  return ValidUserNumber(number) ? user_surfaces_[static_cast<size_t>(number)] : nullptr;
}

int CDdrawFunc::AttachUserSurface(SurfaceId layer_id, UserSurface number) {
  if (!IsLayerId(layer_id) || !ValidUserNumber(number)) return 0;
  Surface*& layer = surfaces_[static_cast<size_t>(layer_id)];
  Surface*& user = user_surfaces_[static_cast<size_t>(number)];
  if (layer == nullptr || user == nullptr) return 0;
  std::swap(layer, user);
  return 1;
}


// ---- Colours, locks, restore ----

void CDdrawFunc::SetColorKey(Surface* surface) {
  if (surface != nullptr) surface->SetColorKey(static_cast<uint16_t>(color_key_));
}

uint32_t CDdrawFunc::GetPrimaryColor(int index) const {
  return index >= 0 && index < 3 ? primary_colors_[static_cast<size_t>(index)] : 0;
}

platform::PixelLayout CDdrawFunc::MatchedLayout() const {
  return platform::LayoutOfFields(primary_colors_[0] | primary_colors_[1] | primary_colors_[2]);
}

uint32_t CDdrawFunc::ColorMatch(SurfaceId id, ColorRef color) {
  Surface* s = GetSurface(id);
  platform::SurfaceLock lock;
  if (s == nullptr || !s->Lock(lock)) return 0xFFFFFFFF;
  s->Unlock();
  return platform::PackColorRef(color, lock.layout);
}

int CDdrawFunc::LockSurface(Surface* surface, SurfaceDesc* desc) {
  if (surface == nullptr || desc == nullptr) return 0;
  return surface->Lock(*desc) ? 1 : 0;
}

int CDdrawFunc::RestoreAllSurfaces() {
  // Restored pictures (and the text redrawn onto them) may differ from what the compose's cover
  // was worked out from: from here on this compose draws everything.
  cover_.Stop();
  struct Check {
    SurfaceId id;
    SurfaceId clear_id;
    int fill;
  };
  // The primary's loss takes the composed picture with it: the back buffer starts black again.
  static constexpr Check kChecks[] = {
      {SURFACE_PRIMARY, SURFACE_BACK, 0}, {SURFACE_DEBUG, SURFACE_DEBUG, 1},
      {SURFACE_DEBUG2, SURFACE_DEBUG2, 1}, {SURFACE_SCRATCH, SURFACE_SCRATCH, 0},
      {SURFACE_SCRATCH2, SURFACE_SCRATCH2, 0}};
  for (const Check& c : kChecks) {
    Surface* s = surfaces_[static_cast<size_t>(c.id)];
    if (s == nullptr) continue;
    // The flip buffer is part of the primary's chain and comes back with it, also when the
    // display reports only the flip buffer lost (else every copy into it would fail for good).
    const Surface* chained = c.id == SURFACE_PRIMARY ? s->back_buffer() : nullptr;
    if (!s->IsLost() && (chained == nullptr || !chained->IsLost())) continue;
    if (!s->Restore()) return 0;
    ClearSurface(c.clear_id, c.fill);
  }
  if (hooks_.redraw_text) hooks_.redraw_text();
  return 1;
}
