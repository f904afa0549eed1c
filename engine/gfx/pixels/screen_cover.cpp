#include "engine/gfx/pixels/screen_cover.h"

#include <algorithm>

#include "platform/surface.h"

// ---- KeyBits ----

bool KeyBits::Prepare(const platform::Surface& surface, uint16_t key) {
  const uint64_t stamp = surface.stamp();
  const bool steady = stamp == seen_stamp_;
  seen_stamp_ = stamp;
  if (!steady) return false;
  if (Describes(surface, key)) return true;
  surface_ = &surface;
  stamp_ = stamp;
  key_ = key;
  groups_ = surface.width() / kGroupPixels;
  height_ = static_cast<size_t>(surface.height());
  words_ = static_cast<size_t>(groups_ + 63) / 64 + 1;
  // The storage grows to the largest layer seen and is kept, so steady frames allocate nothing.
  bits_.resize(std::max(bits_.size(), words_ * kPhases * height_));
  all_key_.resize(bits_.size());
  state_.assign(std::max(state_.size(), static_cast<size_t>(surface.height())), kUnknown);
  return true;
}

bool KeyBits::Describes(const platform::Surface& surface, uint16_t key) const {
  return &surface == surface_ && surface.stamp() == stamp_ && key == key_;
}

uint8_t KeyBits::Find(const platform::Surface& surface, int y) {
  for (int phase = 0; phase < kPhases; ++phase) {
    std::fill_n(bits_.data() + At(phase, y), words_, 0);
    std::fill_n(all_key_.data() + At(phase, y), words_, 0);
  }
  const uint16_t* row = surface.Row(y);
  const int width = surface.width();
  // `opaque` counts the pixels other than the key ending at x, `keys` the key pixels: from 16
  // on, the group ending at x holds none of the other kind.
  int opaque = 0, keys = 0;
  uint8_t state = kFound;
  for (int x = 0; x < width; ++x) {
    const bool key = row[x] == key_;
    opaque = key ? 0 : opaque + 1;
    keys = key ? keys + 1 : 0;
    if (opaque < kGroupPixels && keys < kGroupPixels) continue;
    const int start = x - (kGroupPixels - 1);
    const auto j = static_cast<size_t>(start / kGroupPixels);
    const size_t at = At(start % kGroupPixels, y) + j / 64;
    (key ? all_key_ : bits_)[at] |= uint64_t{1} << (j % 64);
    state |= key ? kAllKey : kOpaque;
  }
  state_[static_cast<size_t>(y)] = state;
  return state;
}

// ---- ScreenCover ----

bool ScreenCover::Hidden(const Rect& r) const {
  if (r.top < 0 || r.bottom > kScreenHeight) return false;
  for (int y = r.top; y < r.bottom; ++y) {
    if (!RowHidden(y, r.left, r.right)) return false;
  }
  return true;
}

namespace {

// 64 bits of a row's bits from bit `at` on.
inline uint64_t Window(const uint64_t* bits, int64_t at) {
  const auto word = static_cast<size_t>(at >> 6);
  const int shift = static_cast<int>(at & 63);
  if (shift == 0) return bits[word];
  return bits[word] >> shift | bits[word + 1] << (64 - shift);
}

}  // namespace

bool ScreenCover::AddLayer(Layer& l, ScreenRows& covered, ScreenRows& all_key) {
  const Rect& s = l.screen;
  // The whole groups inside the layer's screen columns.
  const int first = (s.left + kGroup - 1) / kGroup, end = s.right / kGroup;
  if (first >= end) return false;
  const uint64_t inside = GroupsOf(first * kGroup, end * kGroup);
  // The layer column under the screen group `first`: its phase picks the array of groups, its
  // group the first bit. The groups after it lie 16 columns apart, in the bits after it.
  const int64_t at = int64_t{l.source_x} + first * kGroup - s.left;
  if (at < 0 || at / kGroup >= l.bits->Groups()) return false;
  const auto phase = static_cast<int>(at % kGroup);
  bool any_key = false;
  for (int y = std::max(s.top, 0); y < std::min(s.bottom, kScreenHeight); ++y) {
    const int source_y = l.source_y + (y - s.top);
    const uint8_t kinds = l.bits->Row(*l.surface, source_y);
    if ((kinds & KeyBits::kOpaque) != 0) {
      covered[static_cast<size_t>(y)] |=
          Window(l.bits->Groups(phase, source_y), at / kGroup) << first & inside;
    }
    if ((kinds & KeyBits::kAllKey) != 0) {
      all_key[static_cast<size_t>(y)] |=
          Window(l.bits->AllKeyGroups(phase, source_y), at / kGroup) << first & inside;
      any_key = true;
    }
  }
  return any_key;
}

void ScreenCover::Begin(const platform::Surface* target, std::array<Layer, kPositions>& layers) {
  target_ = target;
  position_ = -1;
  ScreenRows above{};
  for (int p = kPositions - 1; p >= 0; --p) {
    rows_[static_cast<size_t>(p)] = above;
    uint64_t any = 0;
    for (uint64_t row : above) any |= row;
    any_[static_cast<size_t>(p)] = any != 0;
    Layer& l = layers[static_cast<size_t>(p)];
    LayerCopy& copy = copies_[static_cast<size_t>(p)];
    copy.surface = nullptr;
    if (p == 0 || l.bits == nullptr || l.surface == nullptr) continue;
    // The layer's own copy skips what is covered and what it holds only the key in.
    copy.rows = above;
    if (AddLayer(l, above, copy.rows)) {
      copy.bits = l.bits;
      copy.surface = l.surface;
      copy.dx = l.screen.left - l.source_x;
      copy.dy = l.screen.top - l.source_y;
    }
  }
}

const uint64_t* ScreenCover::KeyedCopyRows(const platform::Surface& source, uint16_t key, int dx,
                                           int dy) const {
  const LayerCopy& copy = copies_[static_cast<size_t>(position_)];
  if (&source == copy.surface && dx == copy.dx && dy == copy.dy &&
      copy.bits->Describes(source, key)) {
    return copy.rows.data();
  }
  return Rows();
}
