// The range markers and the destination mark on a hand-made range result: the spreading and
// drawing back with map plane 2's alpha, the hurried three frames, a result longer than the
// markers, the animation by search mode and the destination mark's frames.

#include "battle/slg_range_markers.h"

#include <gtest/gtest.h>

#include <string>

#include "battle/battle_context.h"
#include "battle/slg_map.h"
#include "battle/slg_screen.h"
#include "battle/slg_sys_spr.h"
#include "engine/input/dinput.h"
#include "platform/surface.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_map_writer.h"
#include "testsupport/system_sprites.h"

namespace {

using platform::PixelLayout;
using testsupport::BattleRig;
using testsupport::SystemSpriteSet;

constexpr SlgRangePos kCentre{384, 456};

class MarkerRig {
 public:
  explicit MarkerRig(PixelLayout layout = PixelLayout::kRgb565) : rig(Options(layout)) {
    SystemSpriteSet().Lay(rig.driver().tree);
    LoadSystemSprites();
    testsupport::LayMapFile(rig.driver().tree, 0, "p.spr",
                            testsupport::MapBankFile(testsupport::GridBank(32, 32, 2, 2, 0)));
    testsupport::MapTabWriter().File("Priority:", {"p.spr"}).Lay(rig.driver().tree, 0);
    SlgMap::LoadMapTable(0);
  }
  ~MarkerRig() {
    Slg::ReleaseRangeMarkers();
    SlgMap::FreeMap();
    FreeSystemSprites();
  }
  static BattleRig::Options Options(PixelLayout layout) {
    BattleRig::Options o;
    o.layout = layout;
    return o;
  }
  uint32_t Colour(int slot, int frame) {
    const PixelLayout layout = rig.driver().host().display.layout();
    return platform::UnpackToColorRef(
        platform::PackColorRef(SystemSpriteSet::ColourRef(slot, frame), layout), layout);
  }
  // A result of n cells around the centre, in search mode `mode`.
  static void Result(int n, uint16_t mode = 0) {
    SlgSearchState& s = Battle().search;
    s.mode = mode;
    s.range_centre = kCentre;
    s.range_count = static_cast<uint32_t>(n);
    Battle().cmd.range_view = kSlgRangeOpen;
    for (int i = 0; i < n; ++i) {
      const int dc = i % 5 - 2;
      const int dr = i / 5 % 7 - 3;
      s.range_list[static_cast<size_t>(i)] = {static_cast<int16_t>(kCentre.x + 96 * dc),
                                              static_cast<int16_t>(kCentre.y + 24 * dr)};
    }
  }
  void Frame() {
    rig.Step();
    Slg::RangeMarkers();
  }
  static uint32_t Alpha() { return SlgMap::GetPlaneAlpha(2); }
  static SlgCommandState& C() { return Battle().cmd; }
  static int LiveMarkers() {
    int n = 0;
    for (const SlgAnmObj& m : C().markers) n += m.handle != nullptr ? 1 : 0;
    return n;
  }
  BattleRig rig;
};

// Frames since the current opening or closing started, at 60 a second.
int Elapsed(MarkerRig& m) {
  return static_cast<int>((m.rig.Now() - MarkerRig::C().range_view_start) * 60 / 1000);
}

TEST(RangeMarkers, SpreadFromTheCentreInTwelveFramesAndDrawBack) {
  MarkerRig m;
  MarkerRig::Result(8);
  const SlgSearchState& s = Battle().search;
  m.Frame();  // state 0 -> 1: every marker at the centre
  ASSERT_EQ(MarkerRig::C().range_view, kSlgRangeOpening);
  EXPECT_EQ(MarkerRig::C().range_frames, 12u);
  EXPECT_EQ(MarkerRig::LiveMarkers(), 8);
  int frames = 0;
  for (; frames < 20; ++frames) {
    m.Frame();
    const int t = Elapsed(m);
    if (t > 11) break;
    SCOPED_TRACE(t);
    for (size_t i = 0; i < 8; ++i) {
      const SlgRangePos cell = s.range_list[i];
      EXPECT_EQ(MarkerRig::C().marker_pos[i][0], kCentre.x + (cell.x - kCentre.x) / 12 * t);
      EXPECT_EQ(MarkerRig::C().marker_pos[i][1], kCentre.y + (cell.y - kCentre.y) / 12 * t);
    }
    EXPECT_EQ(MarkerRig::Alpha(), static_cast<uint32_t>(256 - t * 128 / 12));
  }
  EXPECT_GE(frames, 11);
  EXPECT_LE(frames, 12);
  EXPECT_EQ(MarkerRig::C().range_view, kSlgRangeShown);
  EXPECT_EQ(MarkerRig::Alpha(), 128u);
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(MarkerRig::C().marker_pos[i][0], s.range_list[i].x) << "on its cell";
    EXPECT_EQ(MarkerRig::C().marker_pos[i][1], s.range_list[i].y);
  }
  m.Frame();
  EXPECT_EQ(MarkerRig::C().range_view, kSlgRangeShown) << "shown stays";
  MarkerRig::C().range_view = kSlgRangeClose;
  m.Frame();
  ASSERT_EQ(MarkerRig::C().range_view, kSlgRangeClosing);
  for (frames = 0; frames < 20; ++frames) {
    m.Frame();
    const int t = Elapsed(m);
    if (t > 11) break;
    SCOPED_TRACE(t);
    const SlgRangePos cell = s.range_list[0];
    EXPECT_EQ(MarkerRig::C().marker_pos[0][0], cell.x + (kCentre.x - cell.x) / 12 * t);
    EXPECT_EQ(MarkerRig::Alpha(), static_cast<uint32_t>(256 + (t - 12) * 128 / 12));
  }
  EXPECT_GE(frames, 11);
  EXPECT_LE(frames, 12);
  EXPECT_EQ(MarkerRig::C().range_view, kSlgRangeClosed);
  EXPECT_EQ(MarkerRig::Alpha(), 256u);
  EXPECT_EQ(MarkerRig::LiveMarkers(), 0) << "released";
}

TEST(RangeMarkers, KeyTwoHeldAtTheStartTakesThreeFrames) {
  MarkerRig m;
  MarkerRig::Result(4);
  m.rig.Schedule({testsupport::GameKeyDown(m.rig.frame(), kGameKey2)});
  m.Frame();
  EXPECT_EQ(MarkerRig::C().range_frames, 3u);
  m.rig.Schedule({testsupport::GameKeyUp(m.rig.frame(), kGameKey2)});
  for (int f = 0; f < 3; ++f) m.Frame();
  EXPECT_EQ(MarkerRig::C().range_view, kSlgRangeShown);
}

TEST(RangeMarkers, ALongResultGetsTheFirst256Markers) {
  MarkerRig m;
  MarkerRig::Result(300);
  for (int f = 0; f < 14; ++f) m.Frame();
  EXPECT_EQ(MarkerRig::C().range_view, kSlgRangeShown);
  EXPECT_EQ(MarkerRig::C().marker_count, 256u);
  EXPECT_EQ(MarkerRig::LiveMarkers(), 256);
  MarkerRig::C().range_view = kSlgRangeClose;
  for (int f = 0; f < 14; ++f) m.Frame();
  EXPECT_EQ(MarkerRig::C().range_view, kSlgRangeClosed);
  EXPECT_EQ(MarkerRig::LiveMarkers(), 0);
}

TEST(RangeMarkers, AMarkerOutsideTheViewIsNotDrawn) {
  MarkerRig m;
  MarkerRig::Result(2);
  Battle().search.range_list[1] = {static_cast<int16_t>(kCentre.x + 960), kCentre.y};
  for (int f = 0; f < 14; ++f) m.Frame();
  EXPECT_NE(MarkerRig::C().markers[0].handle, nullptr);
  EXPECT_EQ(MarkerRig::C().markers[1].handle, nullptr) << "beyond the view area";
}

TEST(RangeMarkers, TheAnimationFollowsTheSearchMode) {
  const uint32_t expected[] = {0, 5, 3, 2, 2, 4, 1};
  for (uint16_t mode = 0; mode < 7; ++mode) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(SlgMarkerAnimOf(mode), expected[mode]);
    MarkerRig m;
    MarkerRig::Result(1, mode);
    m.Frame();
    ASSERT_NE(MarkerRig::C().markers[0].handle, nullptr);
    EXPECT_EQ(MarkerRig::C().markers[0].pattern, expected[mode]);
    EXPECT_EQ(MarkerRig::C().markers[0].anims, SlgSysSprite(2)) << "the \"Grid:\" sprite";
  }
}

// Captured frames: the markers drawn where they stand, half spread and fully open, in both
// pixel layouts (the grid's animation 1 is its frame 0 alone).
TEST(RangeMarkers, CapturedFramesShowTheMarkersWhereTheyStand) {
  for (PixelLayout layout : {PixelLayout::kRgb565, PixelLayout::kRgb555}) {
    for (bool full : {false, true}) {
      SCOPED_TRACE(std::string(full ? "fully open, " : "half spread, ") +
                   (layout == PixelLayout::kRgb565 ? "565" : "555"));
      MarkerRig m(layout);
      for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
      SlgSetLayer(SURFACE_ROOT, 1);
      SlgClearLayer(SURFACE_ROOT);
      MarkerRig::Result(5, 6);
      m.Frame();
      for (int f = 0; f < 20 && (full ? MarkerRig::C().range_view != kSlgRangeShown
                                      : Elapsed(m) < 6);
           ++f)
        m.Frame();
      for (int f = 0; f < 2; ++f) m.rig.Step();  // presented without moving them further
      const uint32_t grid = m.Colour(2, 0);
      for (size_t i = 0; i < 5; ++i) {
        const auto& p = MarkerRig::C().marker_pos[i];
        if (full) {
          EXPECT_EQ(p[0], Battle().search.range_list[i].x);
        } else if (Battle().search.range_list[i].x != kCentre.x) {
          EXPECT_NE(p[0], Battle().search.range_list[i].x) << "still on its way";
        }
        EXPECT_EQ(m.rig.PixelAt(p[0] - 320 + 320 + 1, p[1] - 217 + 240 + 1), grid) << i;
      }
      m.rig.SaveFrame(std::string("range_markers_") + (full ? "open_" : "half_") +
                      (layout == PixelLayout::kRgb565 ? "565" : "555"));
    }
  }
}

TEST(DrawMoveDest, TheMarkLivesOnlyInFramesThatDrawIt) {
  MarkerRig m;
  Battle().search.move_dest = kCentre;
  Battle().cmd.range_view = kSlgRangeClosed;
  m.rig.Step();
  Slg::DrawMoveDest();
  Slg::RangeMarkers();
  EXPECT_NE(Battle().cmd.dest_mark.handle, nullptr);
  m.rig.Step();
  Slg::DrawMoveDest();
  Slg::RangeMarkers();
  EXPECT_NE(Battle().cmd.dest_mark.handle, nullptr) << "drawn again this frame";
  m.Frame();  // not drawn in this one
  EXPECT_EQ(Battle().cmd.dest_mark.handle, nullptr);
  EXPECT_EQ(Battle().cmd.dest_mark_shown, 0u);
}

}  // namespace
