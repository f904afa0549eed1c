// The ending's seven command tables: six ending tables built by one programme (an opening
// head, sixteen segments of pictures and staff roll, a closing tail) and the closing part's
// table.

#include <array>
#include <cstdint>
#include <vector>

#include "flow/tamvik_ending.h"

namespace {

using E = CTamvikEnding;

// The head every ending table begins with: the first picture opened from the centre column, the
// first staff-roll picture cross-faded in, a picture on layer 7.
constexpr EndingRow kHead[] = {
    {0, E::kClear, 0, 0, 0, 0, 4},          {0, E::kOpenX, 0, 0, 48, 2, 6},
    {160, E::kDrawCg, 0, 0, 48, 0, 6},      {160, E::kClear, 0, 0, 0, 0, 4},
    {160, E::kCrossFadeIn, 100, 0, 0, 62, 4}, {300, E::kSnapScreen, 0, 0, 0, 0, 0},
    {300, E::kClear, 0, 0, 0, 0, 4},        {300, E::kDrawCg, 2, 384, 32, 2, 7},
    {300, E::kCrossFade, 0, 0, 0, 62, 0},
};

// The tail every ending table ends with: the last picture, the fade to black, the end.
constexpr EndingRow kTail[] = {
    {17918, E::kCrossFadeIn, 11, 256, 128, 124, 7},
    {18196, E::kCrossFadeOut, 0, 0, 0, 62, 4},
    {18238, E::kDecodeEnd, 0, 0, 0, 0, 0},
};

// The closing part: the shared file's pictures, one opening in each direction, a screen fade.
constexpr EndingRow kClosing[] = {
    {0, E::kSnapScreen, 0, 0, 0, 0, 0},        {0, E::kDrawCg, 201, 0, 0, 0, 5},
    {0, E::kCrossFade, 0, 0, 0, 124, 0},       {480, E::kOpenY, 202, 0, 48, 4, 6},
    {900, E::kCrossFadeOut, 0, 0, 0, 62, 6},   {960, E::kSnapScreen, 0, 0, 0, 0, 0},
    {960, E::kDrawCg, 204, 0, 0, 0, 5},        {960, E::kCrossFade, 0, 0, 0, 124, 0},
    {1500, E::kOpenX, 205, 0, 48, 4, 6},       {1900, E::kCrossFadeOut, 0, 0, 0, 62, 6},
    {2000, E::kCrossFadeIn, 202, 384, 32, 62, 7}, {2400, E::kCrossFadeOut, 0, 0, 0, 62, 7},
    {2500, E::kFadeScreenOut, 0, 0, 0, 62, 0}, {2600, E::kDrawFadeScreenIn, 201, 0, 0, 62, 4},
    {2900, E::kCrossFadeOut, 0, 0, 0, 62, 4},  {3000, E::kClear, 0, 0, 0, 0, 5},
    {3146, E::kDecodeEnd, 0, 0, 0, 0, 0},
};

constexpr uint32_t kFirstSegment = 480;
constexpr uint32_t kSegmentFrames = 1080;
constexpr uint32_t kSegments = 16;
// The segments with an opening in x, one in y, and a screen fade out and in.
constexpr uint32_t kOpenXSegment = 4;
constexpr uint32_t kOpenYSegment = 9;
constexpr uint32_t kFadeSegment = 12;

// Segment k of ending e from frame t: the old picture of layer 7 faded out and a new one faded in
// (left or right by turns), a staff-roll picture shown on layer 6 for 480 frames, and in three
// segments an opening on layer 5 or a screen fade.
void Segment(std::vector<EndingRow>& rows, uint32_t e, uint32_t k) {
  const uint32_t t = kFirstSegment + kSegmentFrames * k;
  const uint32_t picture = 3 + (k + e) % 8;  // 3-10
  const uint32_t staff = 101 + k;            // 101-116
  const uint32_t x = k % 2 == 0 ? 32 : 384;
  rows.push_back({t, E::kCrossFadeOut, 0, 0, 0, 62, 7});
  rows.push_back({t + 60, E::kCrossFadeIn, picture, x, 32, 62, 7});
  rows.push_back({t + 360, E::kSnapScreen, 0, 0, 0, 0, 0});
  rows.push_back({t + 360, E::kLoadCg, staff, 0, 400, 0, 6});
  rows.push_back({t + 360, E::kCrossFade, 0, 0, 0, 62, 0});
  const bool opens = k == kOpenXSegment || k == kOpenYSegment;
  if (opens) rows.push_back({t + 600, k == kOpenXSegment ? E::kOpenX : E::kOpenY, 1, 0, 0, 4, 5});
  if (k == kFadeSegment) {
    rows.push_back({t + 600, E::kFadeScreenOut, 0, 0, 0, 62, 0});
    rows.push_back({t + 700, E::kDrawFadeScreenIn, 1, 0, 0, 62, 4});
  }
  rows.push_back({t + 840, E::kClear, 0, 0, 0, 0, 6});
  if (opens) rows.push_back({t + 900, E::kClear, 0, 0, 0, 0, 5});
}

std::vector<EndingRow> EndingTable(uint32_t e) {
  std::vector<EndingRow> rows(std::begin(kHead), std::end(kHead));
  for (uint32_t k = 0; k < kSegments; ++k) Segment(rows, e, k);
  rows.insert(rows.end(), std::begin(kTail), std::end(kTail));
  return rows;
}

const std::array<std::vector<EndingRow>, E::kTables>& Tables() {
  static const std::array<std::vector<EndingRow>, E::kTables> tables = [] {
    std::array<std::vector<EndingRow>, E::kTables> built;
    for (uint32_t e = 0; e < E::kEndings; ++e) built[e] = EndingTable(e);
    built[E::kClosingTable].assign(std::begin(kClosing), std::end(kClosing));
    return built;
  }();
  return tables;
}

}  // namespace

std::span<const EndingRow> CTamvikEnding::Table(uint32_t t) {
  if (t >= kTables) return {};
  return Tables()[t];
}
