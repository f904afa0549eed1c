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
  words_ = static_cast<size_t>(surface.width() + 63) / 64 + 1;
  // The storage grows to the largest layer seen and is kept, so steady frames allocate nothing.
  bits_.resize(std::max(bits_.size(), words_ * static_cast<size_t>(surface.height())));
  built_.assign(std::max(built_.size(), static_cast<size_t>(surface.height())), 0);
  return true;
}

const uint64_t* KeyBits::Row(const platform::Surface& surface, int y) {
  uint64_t* bits = bits_.data() + words_ * static_cast<size_t>(y);
  uint8_t& built = built_[static_cast<size_t>(y)];
  if (built == kAllKey) return nullptr;
  if (built == kFound) return bits;
  const uint16_t* row = surface.Row(y);
  const int width = surface.width();
  uint64_t any = 0;
  for (size_t w = 0; w < words_; ++w) {
    uint64_t word = 0;
    const int from = static_cast<int>(w) * 64;
    const int to = std::min(from + 64, width);
    for (int x = from; x < to; ++x) word |= static_cast<uint64_t>(row[x] != key_) << (x - from);
    bits[w] = word;
    any |= word;
  }
  built = any != 0 ? kFound : kAllKey;
  return any != 0 ? bits : nullptr;
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

// Of the four 16-bit lanes of w, those that are all ones, as four bits.
inline uint64_t FullLanes(uint64_t w) {
  constexpr uint64_t kLow = 0x7FFF7FFF7FFF7FFFull, kHigh = 0x8000800080008000ull;
  const uint64_t x = ~w;
  const uint64_t nonzero = (((x & kLow) + kLow) | x) & kHigh;
  const uint64_t full = ~nonzero & kHigh;
  return (full >> 15 & 1) | (full >> 30 & 2) | (full >> 45 & 4) | (full >> 60 & 8);
}

}  // namespace

void ScreenCover::AddOpaque(Layer& l, std::array<uint64_t, kScreenHeight>& rows) {
  const Rect& s = l.screen;
  // The whole groups inside the layer's screen columns.
  const int first = (s.left + kGroup - 1) / kGroup, end = s.right / kGroup;
  if (first >= end) return;
  const uint64_t inside = GroupsOf(first * kGroup, end * kGroup);
  for (int y = std::max(s.top, 0); y < std::min(s.bottom, kScreenHeight); ++y) {
    const uint64_t* bits = l.bits->Row(*l.surface, l.source_y + (y - s.top));
    if (bits == nullptr) continue;  // all key: covers nothing
    uint64_t opaque = 0;
    for (int g = first; g < end; g += 4) {
      const int64_t at = int64_t{l.source_x} + g * kGroup - s.left;
      opaque |= FullLanes(Window(bits, at)) << g;
    }
    rows[static_cast<size_t>(y)] |= opaque & inside;
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
