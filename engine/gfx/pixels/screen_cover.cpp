#include "engine/gfx/pixels/screen_cover.h"

#include <algorithm>

#include "platform/surface.h"

// ---- KeyBits ----

bool KeyBits::Prepare(const platform::Surface& surface, uint16_t key) {
  const uint64_t stamp = surface.stamp();
  const bool steady = stamp == seen_stamp_;
  seen_stamp_ = stamp;
  if (!steady) return false;
  if (&surface == surface_ && stamp == stamp_ && key == key_) return true;
  surface_ = &surface;
  stamp_ = stamp;
  key_ = key;
  groups_ = surface.width() / kGroupPixels;
  height_ = static_cast<size_t>(surface.height());
  words_ = static_cast<size_t>(groups_ + 63) / 64 + 1;
  // The storage grows to the largest layer seen and is kept, so steady frames allocate nothing.
  bits_.resize(std::max(bits_.size(), words_ * kPhases * height_));
  built_.assign(std::max(built_.size(), static_cast<size_t>(surface.height())), 0);
  return true;
}

bool KeyBits::Find(const platform::Surface& surface, int y) {
  uint8_t& built = built_[static_cast<size_t>(y)];
  for (int phase = 0; phase < kPhases; ++phase) {
    std::fill_n(bits_.data() + (static_cast<size_t>(phase) * height_ + static_cast<size_t>(y)) *
                                   words_,
                words_, 0);
  }
  const uint16_t* row = surface.Row(y);
  const int width = surface.width();
  // `run` counts the pixels other than the key ending at x; from 16 on, the group ending at x
  // holds none.
  int run = 0;
  bool any = false;
  for (int x = 0; x < width; ++x) {
    run = row[x] != key_ ? run + 1 : 0;
    if (run < kGroupPixels) continue;
    const int start = x - (kGroupPixels - 1);
    const auto j = static_cast<size_t>(start / kGroupPixels);
    const size_t at = (static_cast<size_t>(start % kGroupPixels) * height_ +
                       static_cast<size_t>(y)) * words_ + j / 64;
    bits_[at] |= uint64_t{1} << (j % 64);
    any = true;
  }
  built = any ? kFound : kAllKey;
  return any;
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

void ScreenCover::AddOpaque(Layer& l, std::array<uint64_t, kScreenHeight>& rows) {
  const Rect& s = l.screen;
  // The whole groups inside the layer's screen columns.
  const int first = (s.left + kGroup - 1) / kGroup, end = s.right / kGroup;
  if (first >= end) return;
  const uint64_t inside = GroupsOf(first * kGroup, end * kGroup);
  // The layer column under the screen group `first`: its phase picks the array of groups, its
  // group the first bit. The groups after it lie 16 columns apart, in the bits after it.
  const int64_t at = int64_t{l.source_x} + first * kGroup - s.left;
  if (at < 0 || at / kGroup >= l.bits->Groups()) return;
  const auto phase = static_cast<int>(at % kGroup);
  for (int y = std::max(s.top, 0); y < std::min(s.bottom, kScreenHeight); ++y) {
    const int source_y = l.source_y + (y - s.top);
    if (!l.bits->Row(*l.surface, source_y)) continue;  // no group without the key
    rows[static_cast<size_t>(y)] |=
        Window(l.bits->Groups(phase, source_y), at / kGroup) << first & inside;
  }
}

void ScreenCover::Begin(const platform::Surface* target, std::array<Layer, kPositions>& layers) {
  target_ = target;
  position_ = -1;
  std::array<uint64_t, kScreenHeight> above{};
  for (int p = kPositions - 1; p >= 0; --p) {
    rows_[static_cast<size_t>(p)] = above;
    uint64_t any = 0;
    for (uint64_t row : above) any |= row;
    any_[static_cast<size_t>(p)] = any != 0;
    Layer& l = layers[static_cast<size_t>(p)];
    if (p > 0 && l.bits != nullptr && l.surface != nullptr) AddOpaque(l, above);
  }
}
