#pragma once
// What the rest of a compose will cover. The compose draws the five layers bottom to top, each
// with its windows and sprites; a keyed layer copy then overwrites every back-buffer pixel where
// its picture is not the colour key, whatever was drawn there before. So whatever a lower layer,
// its windows, its sprites or the cross-fade would put on a pixel that an upper layer's opaque
// pixel overwrites later in the same compose can never be seen, and the drawing code skips it.
//
// The cover is kept per back-buffer row as one bit per group of 16 pixels (640 pixels: 40 bits),
// set where every pixel of the group will be overwritten; a draw skips whole groups, rows or
// rectangles that are covered and draws everything else as before, so no visible pixel changes.
//
// Which pixels of a layer are opaque comes from `KeyBits`, kept per layer surface and found
// again only when the surface's pixels change (its change stamp). A layer whose pixels changed
// since the last compose covers nothing in this one: a picture redrawn every frame is not
// scanned every frame. The same scan finds the groups of a layer that are all key, which the
// layer's own keyed copy would leave as they are: that copy skips them with the covered ones,
// without loading their pixels.

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "engine/gfx/gfx_types.h"

namespace platform {
class Surface;
}

// The groups of 16 pixels of a surface that hold no key pixel, and those that hold nothing but
// the key, per row and per phase: for phase p (0-15), bit j % 64 of word j / 64 is set when the
// pixels p + 16j to p + 16j + 15 are all other than the key (all the key). A layer's view may
// start at any column, so its screen groups may start at any phase of its rows; one word of the
// right phase then gives 64 groups at once.
class KeyBits {
 public:
  static constexpr int kGroupPixels = 16;
  static constexpr int kPhases = kGroupPixels;
  // What Row tells of a found row: it has groups without the key, groups of nothing but the key.
  static constexpr uint8_t kOpaque = 2, kAllKey = 4;

  // Readies the bits for `surface` and `key`. False when the surface's pixels changed since the
  // previous call (nothing is scanned then).
  bool Prepare(const platform::Surface& surface, uint16_t key);
  // True when the bits describe `surface`'s pixels as they are now, with `key`.
  bool Describes(const platform::Surface& surface, uint16_t key) const;
  // Finds row y's groups on first use and tells which kinds it has (kOpaque, kAllKey).
  uint8_t Row(const platform::Surface& surface, int y) {
    const uint8_t state = state_[static_cast<size_t>(y)];
    return state == kUnknown ? Find(surface, y) : state;
  }
  // Row y's groups without the key at `phase` (the row found by Row), followed by a zero word.
  // The rows of one phase lie one after another, so a compose reading every row at one phase
  // reads memory in order.
  const uint64_t* Groups(int phase, int y) const { return bits_.data() + At(phase, y); }
  // The same for row y's groups of nothing but the key.
  const uint64_t* AllKeyGroups(int phase, int y) const {
    return bits_.data() + At(phase, y) + words_;
  }
  // The groups a row holds at phase 0 (at least as many as at the other phases).
  int64_t Groups() const { return groups_; }

 private:
  static constexpr uint8_t kUnknown = 0, kFound = 1;  // a row's state, with kOpaque and kAllKey
  // A row's words at one phase: its groups without the key, then those of only the key, side by
  // side so that a compose reads both from the same memory lines.
  size_t At(int phase, int y) const {
    return (static_cast<size_t>(phase) * height_ + static_cast<size_t>(y)) * 2 * words_;
  }
  uint8_t Find(const platform::Surface& surface, int y);
  const platform::Surface* surface_ = nullptr;
  uint64_t stamp_ = ~uint64_t{0};       // the pixels the bits describe
  uint64_t seen_stamp_ = ~uint64_t{0};  // the stamp at the previous Prepare
  uint16_t key_ = 0;
  int64_t groups_ = 0;
  size_t height_ = 0;
  size_t words_ = 0;  // words of a row at one phase, the spare zero word included
  std::vector<uint64_t> bits_;     // per phase and row: groups without the key, only the key
  std::vector<uint8_t> state_;     // per row: kUnknown, or kFound with kOpaque and kAllKey
  std::vector<uint64_t> maps_;     // the row being found, a bit a pixel (Find's work space)
};

class ScreenCover {
 public:
  static constexpr int kGroup = KeyBits::kGroupPixels;
  static constexpr int kGroups = kScreenWidth / kGroup;
  static_assert(kScreenWidth % kGroup == 0 && kGroups <= 64);
  static constexpr int kPositions = 5;

  // One layer as the compose will copy it: its opaque pixels (null: it covers nothing), its
  // surface, and the part of it that lands on the screen (source corner, screen rectangle).
  struct Layer {
    KeyBits* bits = nullptr;
    const platform::Surface* surface = nullptr;
    int32_t source_x = 0, source_y = 0;
    Rect screen;
  };

  // Starts a compose onto `target` with the layers at positions 0-4 (bottom to top): position p
  // is covered by the opaque pixels of the layers above it. Draws at no position yet.
  void Begin(const platform::Surface* target, std::array<Layer, kPositions>& layers);
  // The layer position being drawn, whose cover applies from now on.
  void SetPosition(int position) { position_ = position; }
  // Nothing is covered any more (the compose ended, or pictures were restored under it).
  void Stop() {
    target_ = nullptr;
    position_ = -1;
    for (LayerCopy& c : copies_) c.surface = nullptr;
  }

  // True when draws onto `surface` are to consult the cover: the compose's target, at a
  // position with anything covered.
  bool Applies(const platform::Surface* surface) const {
    return surface != nullptr && surface == target_ && position_ >= 0 &&
           any_[static_cast<size_t>(position_)];
  }
  // The covered groups of row y (0 outside the screen).
  uint64_t Row(int y) const {
    return y >= 0 && y < kScreenHeight && position_ >= 0
               ? rows_[static_cast<size_t>(position_)][static_cast<size_t>(y)]
               : 0;
  }
  // True when every pixel of [left, right) of row y is covered.
  bool RowHidden(int y, int left, int right) const {
    if (left >= right) return true;
    if (left < 0 || right > kScreenWidth) return false;
    const uint64_t groups = GroupsOf(left, right);
    return (Row(y) & groups) == groups;
  }
  // True when every pixel of the rectangle is covered.
  bool Hidden(const Rect& r) const;
  // Calls f(from, to) for each run of columns of [left, right) that is not covered, in a row
  // whose covered groups are `covered` (whole groups; the run's ends cut to [left, right)).
  template <class F>
  static void OpenRuns(uint64_t covered, int left, int right, F f);
  // The covered groups of the rows at the current position, indexed by screen row.
  const uint64_t* Rows() const { return rows_[static_cast<size_t>(position_)].data(); }
  // True when a keyed copy of `source` onto `surface` has groups to skip: those covered, or
  // those of the current position's layer that hold nothing but the key.
  bool AppliesToKeyedCopy(const platform::Surface* source, const platform::Surface* surface) const {
    return Applies(surface) || (surface != nullptr && surface == target_ && position_ >= 0 &&
                                source == copies_[static_cast<size_t>(position_)].surface);
  }
  // The groups a keyed copy of `source` with `key` onto the target may leave as they are,
  // indexed by screen row, the copy's destination lying (dx, dy) from its source: the covered
  // groups and, when it is the current position's layer as Begin found it (the same pixels and
  // key, the same offset), that layer's groups of nothing but the key as well.
  const uint64_t* KeyedCopyRows(const platform::Surface& source, uint16_t key, int dx,
                                int dy) const;

  // Bits of the groups of [left, right) (groups partly outside count), 0 <= left < right <= 640.
  static uint64_t GroupsOf(int left, int right) {
    const int first = left / kGroup, count = (right - 1) / kGroup - first + 1;
    return (count >= 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1) << first;
  }

 private:
  using ScreenRows = std::array<uint64_t, kScreenHeight>;
  // A layer's own keyed copy: its covered groups and its groups of nothing but the key.
  struct LayerCopy {
    const KeyBits* bits = nullptr;
    const platform::Surface* surface = nullptr;  // null: nothing of the layer's own to skip
    int dx = 0, dy = 0;                           // screen position minus layer position
    ScreenRows rows{};
  };
  // Adds the groups layer `l` covers to `covered` and those that are all key to `all_key`;
  // false when it has none of the latter on the screen.
  static bool AddLayer(Layer& l, ScreenRows& covered, ScreenRows& all_key);

  const platform::Surface* target_ = nullptr;
  int position_ = -1;
  std::array<ScreenRows, kPositions> rows_{};
  std::array<bool, kPositions> any_{};  // whether anything at a position is covered
  std::array<LayerCopy, kPositions> copies_{};
};

template <class F>
void ScreenCover::OpenRuns(uint64_t covered, int left, int right, F f) {
  if (left >= right) return;
  if (covered == 0 || left < 0 || right > kScreenWidth) {
    f(left, right);
    return;
  }
  uint64_t open = ~covered & GroupsOf(left, right);
  while (open != 0) {
    const int first = std::countr_zero(open);
    const uint64_t rest = ~(open >> first);
    const int count = rest == 0 ? 64 - first : std::countr_zero(rest);
    const int from = first * kGroup, to = (first + count) * kGroup;
    f(from < left ? left : from, to > right ? right : to);
    if (first + count >= 64) break;
    open &= ~((count == 64 ? ~uint64_t{0} : ((uint64_t{1} << count) - 1)) << first);
  }
}
