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
  bits_.resize(std::max(bits_.size(), 2 * words_ * kPhases * height_));
  maps_.resize(std::max(maps_.size(), 2 * ((static_cast<size_t>(surface.width()) + 63) / 64 + 1)));
  state_.assign(std::max(state_.size(), static_cast<size_t>(surface.height())), kUnknown);
  return true;
}

bool KeyBits::Describes(const platform::Surface& surface, uint16_t key) const {
  return &surface == surface_ && surface.stamp() == stamp_ && key == key_;
}

namespace {

// Keeps in `map` (a bit a pixel, the word after the row's last zero) only the pixels that start a
// run of 16 set bits.
void KeepRunStarts(uint64_t* map, size_t words) {
  for (const int k : {1, 2, 4, 8}) {
    for (size_t i = 0; i < words; ++i) map[i] &= map[i] >> k | map[i + 1] << (64 - k);
  }
}

// Ors the groups whose run starts `map` holds into the rows of every phase: the start s is the
// group s / 16 of phase s % 16. Returns whether there was any.
bool AddRunStarts(const uint64_t* map, size_t words, uint64_t* phase_rows, size_t phase_stride) {
  uint64_t any = 0;
  for (size_t i = 0; i < words; ++i) {
    const uint64_t starts = map[i];
    if (starts == 0) continue;
    any |= starts;
    // Word i holds the groups 4i to 4i + 3 of every phase, one 16-bit lane each: a multiply
    // gathers the phase's bit of the four lanes into bits 48-51.
    const size_t word = i / 16;
    const auto shift = static_cast<int>(4 * (i % 16));
    for (size_t phase = 0; phase < KeyBits::kPhases; ++phase) {
      const uint64_t lanes = starts >> phase & 0x0001000100010001u;
      const uint64_t groups = lanes * 0x0001000200040008u >> 48;
      phase_rows[phase * phase_stride + word] |= groups << shift;
    }
  }
  return any != 0;
}

}  // namespace

uint8_t KeyBits::Find(const platform::Surface& surface, int y) {
  for (int phase = 0; phase < kPhases; ++phase) {
    std::fill_n(bits_.data() + At(phase, y), 2 * words_, 0);
  }
  const uint16_t* row = surface.Row(y);
  const auto width = static_cast<size_t>(surface.width());
  // A bit a pixel: set where it is the key, and where it is not; the bits past the row clear.
  const size_t words = (width + 63) / 64;
  uint64_t* keys = maps_.data();
  uint64_t* opaque = keys + words + 1;
  for (size_t i = 0; i < words; ++i) {
    const size_t from = i * 64, count = std::min<size_t>(64, width - from);
    uint64_t map = 0;
    for (size_t b = 0; b < count; ++b) map |= uint64_t{row[from + b] == key_} << b;
    const uint64_t inside = count == 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
    keys[i] = map;
    opaque[i] = ~map & inside;
  }
  keys[words] = opaque[words] = 0;
  KeepRunStarts(keys, words);
  KeepRunStarts(opaque, words);
  const size_t stride = At(1, y) - At(0, y);
  uint8_t state = kFound;
  if (AddRunStarts(opaque, words, bits_.data() + At(0, y), stride)) state |= kOpaque;
  if (AddRunStarts(keys, words, bits_.data() + At(0, y) + words_, stride)) state |= kAllKey;
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
