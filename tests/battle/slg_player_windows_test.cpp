// The face a unit shows (life, trust and the stage's face tables), the face and its blink, the
// status window's zoom, the cursor information panel and the face message, on the battle rig
// with writer-made system sprites and faces.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "battle/battle_context.h"
#include "battle/slg_face.h"
#include "battle/slg_message.h"
#include "battle/slg_screen.h"
#include "battle/slg_status_win.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/input/dinput.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_macro.h"
#include "game/macro_vars.h"
#include "platform/surface.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/portrait_writer.h"
#include "testsupport/script_writer.h"
#include "testsupport/system_sprites.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::BoardUnit;
using testsupport::SystemSpriteSet;
using testsupport::TraceCapture;

class WindowRig {
 public:
  WindowRig() : board(rig.battle()) {
    SystemSpriteSet().Lay(rig.driver().tree);
    LoadSystemSprites();
    for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
    SlgSetLayer(SURFACE_ROOT, 1);
    SlgClearLayer(SURFACE_ROOT);
    BattleContext& b = Battle();
    b.face_table = std::make_unique<std::array<uint8_t, kFaceTableBytes>>();
    b.face_conv = std::make_unique<std::array<uint8_t, kFaceConvBytes>>();
  }
  ~WindowRig() {
    TamvikFunc::ReleaseBlinkAnm();
    FreeSystemSprites();
  }
  // Internal face `internal` is event face `face`.
  void Convert(int face, int internal) { (*Battle().face_conv)[static_cast<size_t>(face)] = static_cast<uint8_t>(internal + 1); }
  void FaceRow(int character, int plain, int pleased, int hurt) {
    auto& t = *Battle().face_table;
    t[static_cast<size_t>(character) * 6 + 0] = static_cast<uint8_t>(plain);
    t[static_cast<size_t>(character) * 6 + 1] = static_cast<uint8_t>(pleased);
    t[static_cast<size_t>(character) * 6 + 2] = static_cast<uint8_t>(hurt);
  }
  SlgUnit& Unit(uint8_t slot) { return Battle().state.units[slot]; }
  uint32_t Packed(uint32_t colour_ref) {
    const platform::PixelLayout layout = rig.driver().host().display.layout();
    return platform::UnpackToColorRef(platform::PackColorRef(colour_ref, layout), layout);
  }
  uint32_t Sys(int slot, int frame) { return Packed(SystemSpriteSet::ColourRef(slot, frame)); }

  BattleRig rig;
  BattleBoard board;
};

// ---- The face a unit shows ----

TEST(SlgFace, ExpressionAndFaceByLifeTrustAndTables) {
  struct Case {
    const char* name;
    uint8_t side, character;
    int16_t life, max_life;
    int trust;  // the character's trust level (heroines only count)
    int expression;
    int face;
  };
  // Faces: character 0 -> 10/11/12, 1 -> 20/21/22, 2 -> 30/31/32; character 3 has a row whose
  // internal faces no conversion entry holds.
  const Case cases[] = {
      {"side 0 at 20 % is hurt", 0, 0, 20, 100, 0, 2, 12},
      {"side 0 at 21 % is plain", 0, 0, 21, 100, 0, 0, 10},
      {"side 2 at 30 % is hurt", 2, 2, 30, 100, 0, 2, 32},
      {"side 2 at 31 % is plain", 2, 2, 31, 100, 0, 0, 30},
      {"side 1 at 1 % stays plain", 1, 2, 1, 100, 0, 0, 30},
      {"heroine at trust 11 is pleased", 0, 1, 100, 100, 11, 1, 21},
      {"heroine at trust 10 is plain", 0, 1, 100, 100, 10, 0, 20},
      {"heroine at trust 11 but hurt", 0, 1, 20, 100, 11, 2, 22},
      {"hero ignores trust", 0, 0, 100, 100, 20, 0, 10},
      {"no conversion entry", 0, 3, 100, 100, 0, 0, 0},
      {"character 70 has no row", 0, 70, 100, 100, 0, 0, 0},
      {"maximum life 0", 0, 0, 0, 0, 0, 2, 12},
      {"maximum life 0 on side 2", 2, 2, 0, 0, 0, 0, 30},
  };
  WindowRig w;
  w.FaceRow(0, 1, 2, 3);
  w.FaceRow(1, 4, 5, 6);
  w.FaceRow(2, 7, 8, 9);
  w.FaceRow(3, 40, 41, 42);
  for (int c = 0; c < 3; ++c) {
    for (int e = 0; e < 3; ++e) w.Convert(10 * (c + 1) + e, 3 * c + e + 1);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const uint8_t slot = w.board.AddUnit({.side = c.side, .character = c.character, .x = 192, .y = 240});
    ASSERT_NE(slot, 255);
    SlgUnit& u = w.Unit(slot);
    u.stats.life = c.life;
    u.stats.max_life = c.max_life;
    // Heroine 1's trust variable is P[11].
    SetMacroP(11, static_cast<uint16_t>(32768 + c.trust));
    EXPECT_EQ(SlgUnitExpression(u), c.expression);
    EXPECT_EQ(SlgUnitFace(u), c.face);
  }
}

TEST(SlgFace, InitFaceTracesDefaultFaceAndDrawsABlinkIntervalOfWholeEights) {
  WindowRig w;
  TraceCapture trace;
  for (int i = 0; i < 16; ++i) {
    InitFace(0);
    EXPECT_EQ(Battle().face.blink_interval % 8, 0u);
    EXPECT_LE(Battle().face.blink_interval, 248u);
    EXPECT_EQ(Battle().face.blink_step, 0u);
  }
  EXPECT_TRUE(trace.Contains("InitFace: No510, InternalNo"));
}

TEST(SlgFace, ShowUnitPanelStartsTheFaceAndWritesTheOrderText) {
  WindowRig w;
  const uint8_t a = w.board.AddUnit({.character = 0, .x = 192, .y = 240});
  const uint8_t b = w.board.AddUnit({.side = 1, .character = 20, .x = 384, .y = 240});
  Battle().order.count = 2;
  Battle().order.entries[0] = {b, 0};
  Battle().order.entries[1] = {a, 0};
  TraceCapture trace;
  Slg::ShowUnitPanel(a);
  EXPECT_EQ(Battle().face.panel_unit, a);
  EXPECT_STREQ(Battle().face.panel_text.data(), " 2/ 2");
  EXPECT_TRUE(trace.Contains("InitFace: No510"));
  Slg::ShowUnitPanel(40);  // not a unit: nothing
  EXPECT_EQ(Battle().face.panel_unit, a);
}

// The face blinks half-closed, closed, half-closed on three successive frames once its interval
// has passed, then shows the open eyes until the next interval.
TEST(SlgFace, BlinkFramesOneTwoOneThenOpenEyes) {
  using testsupport::FaceFileContents;
  using testsupport::FaceValue;
  WindowRig w;
  FaceFileContents contents;
  contents.records = {{0, 1, 32}};
  w.rig.driver().tree.Write("install/tamvik2/system/kaoslg.spr", testsupport::FaceFile(contents));
  Battle().face_conv.reset();  // face 1 is drawn under its own number
  InitFace(1);
  ASSERT_NE(TamvikFunc::GetBlinkSprTable()[3], nullptr);
  Battle().face.blink_interval = 0;
  const auto colour = [&](int row) {
    return w.Packed(testsupport::SprColourRef(testsupport::PortraitColour(FaceValue(0, row))));
  };
  // The face drawn at (200, 100): its eye band at row 32 of the face.
  const auto draw_and_probe = [&](int band_row) {
    DrawFaceBlink(200, 100, SURFACE_ROOT);
    w.rig.Step();
    EXPECT_EQ(w.rig.PixelAt(210, 100 + 32 + 4), colour(band_row + 4)) << band_row;
    EXPECT_EQ(w.rig.PixelAt(210, 100 + 4), colour(4));  // above the band: the whole face
  };
  for (int row : {96, 128, 96}) draw_and_probe(row);
  EXPECT_EQ(Battle().face.blink_step, 0u);
  Battle().face.blink_interval = 100;  // a new interval has begun: the open eyes
  draw_and_probe(32);
}

// ---- The status window ----

// Runs the rig until its step count is a multiple of 3, where the rig's clock is on a whole
// frame, so a window started there counts its frames exactly.
void AlignClock(BattleRig& rig) {
  while (rig.steps() % 3 != 0) rig.Step();
}

TEST(SlgStatusWindow, OpensIn16FramesShowsItsContentsOnlyWhenOpenAndClosesIn16) {
  WindowRig w;
  const uint8_t u = w.board.AddUnit({.character = 0, .x = 192, .y = 240});
  w.Unit(u).stats.life = 50;
  w.Unit(u).stats.max_life = 100;
  // The window's point (pos + (16, 32)) at the screen centre.
  const SlgPair pos{-16 * 65536, -32 * 65536};
  const int gauge_x = 304 + 2 * 64 + 1, gauge_y = 208 + 2 * 52 + 1;
  const uint32_t gauge = w.Sys(kSysLifeGauge, 0);
  TraceCapture trace;
  AlignClock(w.rig);
  int step = Slg::StatusWindow(u, pos, 0);
  EXPECT_EQ(step, 1);
  EXPECT_EQ(Battle().player.status.open, 1u);
  for (int k = 1; k <= 16; ++k) {
    w.rig.Step();
    step = Slg::StatusWindow(u, pos, step);
    ASSERT_EQ(step, k < 16 ? 1 : 2) << k;
    if (k == 8) {
      w.rig.Step();  // composes the zoom drawn at frame 8: 76 x 100 pixels about the centre
      EXPECT_EQ(w.rig.PixelAt(320 + 70, 240 + 95), w.Sys(kSysInfoWindow, 1));
      EXPECT_NE(w.rig.PixelAt(320 + 80, 240), w.Sys(kSysInfoWindow, 1));
      EXPECT_NE(w.rig.PixelAt(gauge_x, gauge_y), gauge);
      ++k;
      step = Slg::StatusWindow(u, pos, step);
    }
  }
  const SlgStatusZoom& z = Battle().player.status;
  EXPECT_EQ(z.right - z.left, 304 * 65536);
  EXPECT_EQ(z.bottom - z.top, 400 * 65536);
  EXPECT_TRUE(trace.Contains("Zooming In left:"));
  EXPECT_EQ(Slg::StatusWindow(u, pos, 2), 2);
  w.rig.Step();
  EXPECT_EQ(w.rig.PixelAt(gauge_x, gauge_y), gauge);  // half of 128 pixels of life
  EXPECT_NE(w.rig.PixelAt(gauge_x + 64, gauge_y), gauge);

  AlignClock(w.rig);
  step = Slg::StatusWindow(u, pos, 3);
  EXPECT_EQ(step, 4);
  for (int k = 1; k <= 16; ++k) {
    w.rig.Step();
    step = Slg::StatusWindow(u, pos, step);
    ASSERT_EQ(step, k < 16 ? 4 : 5) << k;
  }
  EXPECT_EQ(Battle().player.status.open, 0u);
  EXPECT_TRUE(trace.Contains("Zooming Out left:"));
  EXPECT_EQ(Slg::StatusWindow(u, pos, 5), 5);
}

// ---- The information panel ----

TEST(SlgInfoPanel, ShowsAfter12FramesOnAFlaggedUnitAndClosesWhenTheCursorLeaves) {
  WindowRig w;
  const uint8_t u = w.board.AddUnit(testsupport::OnCell(4, 10));
  const uint8_t hidden = w.board.AddUnit(testsupport::OnCell(8, 10, {.flags = 0xA180}));
  SlgBattleState& s = Battle().state;
  SlgInfoPanel& panel = Battle().player.panel;
  AlignClock(w.rig);
  s.cursor_cell = {8, 10};  // a unit without flag 0x1000: never a panel
  for (int k = 0; k < 20; ++k) {
    Slg::InfoPanel(panel);
    w.rig.Step();
  }
  EXPECT_EQ(Battle().face.panel_unit, kSlgNoUnit);
  EXPECT_EQ(Slg::PanelUnitAtCursor(), kSlgNoUnit);
  (void)hidden;

  AlignClock(w.rig);
  s.cursor_cell = {4, 10};
  for (int k = 0; k <= 12; ++k) {
    Slg::InfoPanel(panel);
    EXPECT_EQ(Battle().face.panel_unit, k < 12 ? kSlgNoUnit : u) << k;
    w.rig.Step();
  }
  // The panel (frame 0 of "InfoWindow:") drawn beside the unit.
  int32_t px = 0, py = 0;
  const SlgPair screen = SlgMapToScreen(w.Unit(u));
  Slg::PanelPosition(screen.x >> 16, screen.y >> 16, SystemSpriteSet::Width(kSysInfoWindow, 0),
                     SystemSpriteSet::Height(kSysInfoWindow, 0), &px, &py);
  EXPECT_EQ(w.rig.PixelAt(px + 320 + 1, py + 240 + 1), w.Sys(kSysInfoWindow, 0));

  s.cursor_cell = {5, 10};
  Slg::InfoPanel(panel);
  EXPECT_EQ(Battle().face.panel_unit, kSlgNoUnit);
  EXPECT_EQ(panel.step, 0);
}

TEST(SlgInfoPanel, PanelStaysInsideTheScreenAtEachEdge) {
  struct Case {
    const char* name;
    int32_t ux, uy;
  };
  const Case cases[] = {
      {"left edge", -320, 0},   {"right edge", 319, 0},   {"top edge", 0, -240},
      {"bottom edge", 0, 239},  {"top left", -320, -240}, {"bottom right", 319, 239},
      {"centre", 0, 0},
  };
  const int32_t w = 120, h = 80;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int32_t x = 0, y = 0;
    Slg::PanelPosition(c.ux, c.uy, w, h, &x, &y);
    EXPECT_GE(x, -320);
    EXPECT_LE(x + w, 320);
    EXPECT_GE(y, -240);
    EXPECT_LE(y + h, 240);
    // Beside the unit, not over it.
    EXPECT_TRUE(x >= c.ux || x + w <= c.ux || c.ux <= -320 + w || c.ux >= 320 - w);
  }
}

// ---- The face message ----

// The face beside a battle message: the window opens with the face, the message waits for OK,
// then the window closes, the layers come back and the blink is released.
TEST(SlgFaceMessage, OpensTypesWaitsForOkAndCloses) {
  using testsupport::FaceFileContents;
  WindowRig w;
  testsupport::MessageTableWriter table;
  table.Add({.id = 1, .voice_word = 0xFFFF, .lip = "aa", .text = "AB"});
  w.rig.driver().tree.Write(testsupport::SlgMessageRel(0), table.Bytes());
  FaceFileContents contents;
  contents.records = {{4, 1, 32}};
  contents.images = 5;
  w.rig.driver().tree.Write("install/tamvik2/system/kaoslg.spr", testsupport::FaceFile(contents));
  Scene().macro.LoadSlgMessage(0);
  Battle().face_conv.reset();
  ASSERT_EQ(Ctx().ddraw.IsVisible(SURFACE_TEXT), 0u);

  EXPECT_EQ(Slg::FaceMessage(5, 1), 0);
  EXPECT_EQ(Battle().face.current, 5);
  EXPECT_NE(Ctx().ddraw.IsVisible(SURFACE_TEXT), 0u);
  EXPECT_NE(TamvikFunc::GetBlinkSprTable()[3], nullptr);
  int result = 0;
  int frames = 0;
  for (; frames < 300 && result == 0; ++frames) {
    const bool waiting = Battle().message.wait_state == 1;
    if (waiting) w.rig.Schedule({testsupport::GameKeyDown(w.rig.frame(), kGameKey0)});
    w.rig.Step();
    result = Slg::FaceMessage(5, 1);
    if (waiting) w.rig.Schedule({testsupport::GameKeyUp(w.rig.frame(), kGameKey0)});
  }
  EXPECT_EQ(result, 1) << "ended within the frame limit";
  EXPECT_EQ(Battle().player.face_message_step, 0);
  EXPECT_EQ(Ctx().ddraw.IsVisible(SURFACE_TEXT), 0u) << "the layers put back";
  EXPECT_EQ(TamvikFunc::GetBlinkSprTable()[3], nullptr) << "the blink released";
}

}  // namespace
