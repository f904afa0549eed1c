// System.Tab and the system sprites, the cursors and digit strings,
// and the damage gauge (set-up, timeline on the rig's clock, drawing), on writer-made system
// sprites.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_gauge.h"
#include "battle/slg_geometry.h"
#include "battle/slg_screen.h"
#include "battle/slg_sound.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_task.h"
#include "engine/app/context.h"
#include "engine/input/dinput.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "platform/surface.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/system_sprites.h"
#include "testsupport/temp_tree.h"
#include "testsupport/trace_capture.h"

namespace {

using platform::PixelLayout;
using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::SystemSpriteSet;
using testsupport::SystemTabWriter;
using testsupport::TraceCapture;

BattleRig::Options Layout(PixelLayout layout) {
  BattleRig::Options o;
  o.layout = layout;
  return o;
}

// The battle's screen: layer 4 shown opaque and cleared black, the others hidden.
void BattleScreen() {
  for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
  SlgSetLayer(SURFACE_ROOT, 1);
  SlgClearLayer(SURFACE_ROOT);
}

// A colour as the rig's frame shows it.
uint32_t Shown(BattleRig& rig, uint32_t colour) {
  const PixelLayout layout = rig.driver().host().display.layout();
  return platform::UnpackToColorRef(platform::PackColorRef(colour, layout), layout);
}

// The frame a cycling system sprite (4 frames, 8 ticks each) shows when drawn now.
int CycleFrame(BattleRig& rig) { return static_cast<int>(uint64_t{rig.Now()} * 60 / 1000 / 8 % 4); }

// ---- System.Tab ----

TEST(SlgSystemTab, TheWriterMadeSetLoadsIntoAll23Slots) {
  BattleRig rig;
  SystemSpriteSet().Lay(rig.driver().tree);
  EXPECT_EQ(LoadSystemSprites(), kSlgSysSpriteCount);
  for (int slot = 0; slot < kSlgSysSpriteCount; ++slot) {
    SprAnm* file = SlgSysSprite(slot);
    ASSERT_NE(file, nullptr) << slot;
    EXPECT_EQ(file->unit->SprNum(), static_cast<uint32_t>(SystemSpriteSet::Frames(slot)));
  }
  // "Shadow:" animations carry the alpha word; others keep their sprites' own.
  SprRec* shadow = Scene().tamvik_spr.GetAnmUnitSprID(SlgSysSprite(kSysShadow), 0);
  SprRec* cursor = Scene().tamvik_spr.GetAnmUnitSprID(SlgSysSprite(kSysCursor), 0);
  ASSERT_NE(shadow, nullptr);
  EXPECT_EQ(shadow->alpha, kSlgShadowAlpha);
  EXPECT_NE(cursor->alpha, kSlgShadowAlpha);
  FreeSystemSprites();
  for (int slot = 0; slot < kSlgSysSpriteCount; ++slot) EXPECT_EQ(SlgSysSprite(slot), nullptr);
  EXPECT_EQ(Scene().tamvik_spr.anms(), nullptr);
}

TEST(SlgSystemTab, BadLines) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    std::vector<int> loaded;  // slots expected loaded
    const char* message;      // expected trace ("" none)
  };
  const std::string f0 = SystemSpriteSet::FileName(0), f1 = SystemSpriteSet::FileName(1),
                    f2 = SystemSpriteSet::FileName(2);
  const std::vector<Case> cases = {
      {"comments and empty lines", {"# Cursor: x.spr", "", "   ", "\t#x", "Cursor: " + f0,
                                    "  MouseCursor:\t" + f1 + "  \r"}, {0, 1}, ""},
      {"unknown ID stops", {"Cursor: " + f0, "Cursors: " + f1, "Grid: " + f2}, {0},
       "System.Tab:2: Error: No match ID 'Cursors:'."},
      {"duplicate stops", {"Cursor: " + f0, "Grid: " + f2, "Cursor: " + f1, "MouseCursor: " + f1},
       {0, 2}, "System.Tab:3: Error: 'Cursor:' is defined multiplily."},
      {"ID without colon", {"Cursor " + f0}, {}, "Error: No match ID 'Cursor'."},
      {"missing file", {"Cursor: nothere.spr", "Grid: " + f2}, {2}, "tamvik2\\NOTHERE.SPR not loaded"},
      {"lower-case file token", {"Grid: SYS_2.SPR", "Cursor: sYs_0.Spr"}, {0, 2}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BattleRig rig;
    for (int slot : {0, 1, 2}) {
      rig.driver().tree.Write(SystemTabWriter::TreeRel(SystemSpriteSet::FileName(slot)),
                              SystemSpriteSet::File(slot));
    }
    SystemTabWriter tab;
    for (const std::string& line : c.lines) tab.Raw(line);
    tab.Lay(rig.driver().tree);
    TraceCapture trace;
    EXPECT_EQ(LoadSystemSprites(), static_cast<int>(c.loaded.size()));
    for (int slot = 0; slot < kSlgSysSpriteCount; ++slot) {
      const bool expected = std::find(c.loaded.begin(), c.loaded.end(), slot) != c.loaded.end();
      EXPECT_EQ(SlgSysSprite(slot) != nullptr, expected) << slot;
    }
    if (c.message[0] != '\0') {
      EXPECT_TRUE(trace.Contains(c.message)) << c.message;
    }
    FreeSystemSprites();
  }
}

TEST(SlgSystemTab, AMissingTableLoadsNothingAndTheBattleGoesOn) {
  BattleRig rig;
  TraceCapture trace;
  EXPECT_EQ(LoadSystemSprites(), 0);
  EXPECT_TRUE(trace.Contains("Error: Can't open System.Tab."));
  for (int slot = 0; slot < kSlgSysSpriteCount; ++slot) EXPECT_EQ(SlgSysSprite(slot), nullptr);
}

// Every draw call of the system sprites, the cursors and the gauge for one frame.
void DrawEverything() {
  for (int slot = -1; slot <= kSlgSysSpriteCount; ++slot) {
    for (int frame : {-1, 0, 3, 23, 47, 48, 1000}) {
      SlgSysSprPut(slot, frame, 10, 10, 0);
      SlgSysSprPutTop(slot, frame, 10, 10);
      SlgSysSprPutSized(slot, frame, 10, 10, 40, -5);
      SlgSysSprPutRect(slot, frame, 0, 0, 20 << 16, 20 << 16);
    }
  }
  DrawDigitString("12/30 x", kSysDamageDigit, 100, 100);
  DrawDigitStringB("#A9 ~\x7f\xff", kSysMojiBDigit, 100, 140);
  Slg::SyncMouseCursor();
  Slg::DrawMapCursor();
  Slg::DrawMouseCursor(SURFACE_ROOT);
}

TEST(SlgSystemSprites, DrawsSkipWhatIsNotLoaded) {
  // No sprite at all, then a set whose gauge and digit files are missing.
  for (bool some : {false, true}) {
    SCOPED_TRACE(some);
    BattleRig rig;
    if (some) {
      SystemSpriteSet()
          .OmitFile(kSysLargeGauge)
          .OmitFile(kSysDamageDigit)
          .OmitFile(kSysCursor)
          .Lay(rig.driver().tree);
      EXPECT_EQ(LoadSystemSprites(), kSlgSysSpriteCount - 3);
    }
    BattleBoard board(rig.battle());
    board.AddUnit({.kind = 0, .x = 192, .y = 240});
    Battle().state.units[0].stats.result = 30;
    ASSERT_GE(DGaugeCreateForUnit(0, -1, 2, 0), 0);
    DrawEverything();
    EXPECT_EQ(SlgSysSprPutTop(kSysCursor, 0, 0, 0), 0);
    rig.Run(3);
    DrawEverything();
    rig.Step();
    FreeSystemSprites();
  }
}

// ---- Drawing on the writer-made set (both layouts) ----

class SpriteRig {
 public:
  explicit SpriteRig(PixelLayout layout) : rig(Layout(layout)) {
    SystemSpriteSet().Lay(rig.driver().tree);
    LoadSystemSprites();
    BattleScreen();
  }
  ~SpriteRig() { FreeSystemSprites(); }
  uint32_t Colour(int slot, int frame) { return Shown(rig, SystemSpriteSet::ColourRef(slot, frame)); }
  BattleRig rig;
};

TEST(SlgSystemSprites, DigitStringAndMapCursorInCapturedFrames) {
  for (PixelLayout layout : {PixelLayout::kRgb565, PixelLayout::kRgb555}) {
    SCOPED_TRACE(static_cast<int>(layout));
    SpriteRig s(layout);
    DrawDigitString("12/30", kSysDamageDigit, 100, 200);
    // The cursor point on cell (3, 5): its centre at ((2 x 3 + 1) x 48, 24 x 5) = (336, 120).
    Battle().state.cursor_point = {336, 120};
    const int first = CycleFrame(s.rig);
    Slg::DrawMapCursor();
    s.rig.Step();
    s.rig.SaveFrame("digits_cursor");
    const int frames[] = {1, 2, 11, 3, 0};
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(s.rig.PixelAt(100 + 16 * i + 1, 201), s.Colour(kSysDamageDigit, frames[i])) << i;
    }
    EXPECT_EQ(s.rig.PixelAt(100 + 16 * 5 + 1, 201), Shown(s.rig, 0));
    // The cursor's current frame at the cell's centre pixel.
    EXPECT_EQ(s.rig.PixelAt(337, 121), s.Colour(kSysCursor, first));
    EXPECT_EQ(s.rig.PixelAt(335, 121), Shown(s.rig, 0));
    // Sixteen frames on, the cursor shows another frame.
    s.rig.Run(16);
    const int next = CycleFrame(s.rig);
    EXPECT_NE(next, first);
    Slg::DrawMapCursor();
    s.rig.Step();
    EXPECT_EQ(s.rig.PixelAt(337, 121), s.Colour(kSysCursor, next));
  }
}

TEST(SlgSystemSprites, SizedAndRectPutsStretchTheFrame) {
  SpriteRig s(PixelLayout::kRgb565);
  SlgSysSprPutSized(kSysLifeGauge, 0, 50, 60, 100, 3);
  SlgSysSprPutRect(kSysKiaiGauge, 0, 200 << 16, 300 << 16, 260 << 16, 310 << 16);
  SlgSysSprPutRect(kSysGrid, 0, 400 << 16, 300 << 16, 400 << 16, 310 << 16);  // empty
  s.rig.Step();
  EXPECT_EQ(s.rig.PixelAt(50, 60), s.Colour(kSysLifeGauge, 0));
  EXPECT_EQ(s.rig.PixelAt(149, 62), s.Colour(kSysLifeGauge, 0));
  EXPECT_EQ(s.rig.PixelAt(150, 62), Shown(s.rig, 0));
  EXPECT_EQ(s.rig.PixelAt(50, 63), Shown(s.rig, 0));
  EXPECT_EQ(s.rig.PixelAt(259, 309), s.Colour(kSysKiaiGauge, 0));
  EXPECT_EQ(s.rig.PixelAt(260, 309), Shown(s.rig, 0));
  EXPECT_EQ(s.rig.PixelAt(400, 305), Shown(s.rig, 0));
}

TEST(SlgSystemSprites, MouseCursorFollowsThePointer) {
  SpriteRig s(PixelLayout::kRgb565);
  Battle().pointer_mode = 1;
  Battle().state.pointer = {-100 << 16, 50 << 16};
  Slg::SyncMouseCursor();
  EXPECT_EQ(Battle().state.pointer.x, -100 << 16);
  const int frame = CycleFrame(s.rig);
  Slg::DrawMouseCursor(SURFACE_ROOT);
  s.rig.Step();
  EXPECT_EQ(s.rig.PixelAt(221, 291), s.Colour(kSysMouseCursor, frame));
}

TEST(SlgSystemSprites, ADemonstrationCursorIgnoresTheMouse) {
  SpriteRig s(PixelLayout::kRgb565);
  BattleContext& b = Battle();
  const SlgPair demo = {-100 << 16, 50 << 16};
  b.state.pointer = demo;
  b.event_words.demo_cursor = 1;
  auto move_mouse = [&](int32_t x, int32_t y) {
    s.rig.Schedule({testsupport::PointerMove(s.rig.frame(), x, y)});
    s.rig.Step();
  };
  move_mouse(500, 400);
  EXPECT_EQ(SlgMouseFlag(), 0u);
  Slg::SyncMouseCursor();
  EXPECT_EQ(b.state.pointer.x, demo.x);
  EXPECT_EQ(b.state.pointer.y, demo.y);
  const int frame = CycleFrame(s.rig);
  Slg::DrawMouseCursor(SURFACE_ROOT);
  s.rig.Step();
  EXPECT_EQ(s.rig.PixelAt(221, 291), s.Colour(kSysMouseCursor, frame));

  // Pointer mode still answers as the pointer; without the demonstration the mouse leads again.
  b.pointer_mode = 1;
  EXPECT_EQ(SlgMouseFlag(), 1u);
  b.pointer_mode = 0;
  b.event_words.demo_cursor = 0;
  move_mouse(300, 200);
  EXPECT_NE(SlgMouseFlag(), 0u);
  Slg::SyncMouseCursor();
  EXPECT_NE(b.state.pointer.x, demo.x);
}

// ---- The damage gauge ----

struct SetUpCase {
  const char* name;
  DGaugeValues values;
  int32_t life_change, kiai_change;
  int kiai_mode;
  std::array<uint8_t, 6> digits;
  int16_t life_start, life_target, life_steps, life_step;
  int16_t kiai_start, kiai_target, kiai_steps, kiai_step;
};

TEST(SlgGauge, SetUpTable) {
  auto v = [](int16_t life, int16_t max_life, int16_t kiai, int16_t max_kiai, uint16_t form) {
    DGaugeValues d;
    d.life = life;
    d.max_life = max_life;
    d.kiai = kiai;
    d.max_kiai = max_kiai;
    d.form = form;
    return d;
  };
  constexpr uint8_t B = 255;
  const std::vector<SetUpCase> cases = {
      {"-58 on 80/80, form 2", v(80, 80, 0, 100, 2), -58, 0, 0, {B, B, B, B, 17, 20},
       128, 35, 46, -2, 0, 0, 0, 4},
      {"zero change", v(40, 80, 0, 100, 2), 0, 0, 0, {B, B, B, B, B, 0}, 64, 64, 1, 0, 0, 0, 0, 4},
      {"damage beyond the life", v(30, 80, 0, 100, 2), -58, 0, 0, {B, B, B, B, 17, 20},
       48, 0, 24, -2, 0, 0, 0, 4},
      {"recovery, form 3", v(10, 80, 0, 100, 3), 25, 0, 0, {B, B, B, B, 2, 5}, 16, 56, 10, 4,
       0, 0, 0, 8},
      {"kiai already full", v(80, 80, 50, 50, 2), 0, 20, 0, {B, B, B, B, B, 0}, 128, 128, 1, 0,
       -1, -1, 0, 4},
      {"kiai mode", v(80, 80, 10, 100, 2), 0, 20, 1, {B, B, B, B, 2, 0}, 128, 128, 1, 0,
       13, 38, 6, 4},
      {"kiai filled up", v(80, 80, 50, 100, 2), 0, 80, 1, {B, B, B, B, 8, 0}, 128, 128, 1, 0,
       64, -1, 16, 4},
      {"a million and more", v(80, 80, 0, 100, 2), 1234567, 0, 0, {9, 9, 9, 9, 9, 9}, 128, 128,
       1, 0, 0, 0, 0, 4},
      {"minus a million", v(80, 80, 0, 100, 2), -1234567, 0, 0, {21, 21, 21, 21, 21, 21}, 128, 0,
       64, -2, 0, 0, 0, 4},
      // Life 5 and 5 - 1 both clip to the maximum 1: nothing moves.
      {"maxima below 1", v(5, 0, 5, -3, 2), -1, 0, 0, {B, B, B, B, B, 13}, 128, 128, 1, 0,
       -1, -1, 0, 4},
  };
  BattleRig rig;
  for (const SetUpCase& c : cases) {
    SCOPED_TRACE(c.name);
    const int slot = DGaugeTask(c.values, c.life_change, c.kiai_change, 0, c.kiai_mode);
    ASSERT_GE(slot, 0);
    const DGauge& g = *Battle().gauges[static_cast<size_t>(slot)];
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(g.digit_frame[i], c.digits[i]) << i;
      EXPECT_EQ(g.digit_size[i], -1);
    }
    EXPECT_EQ(g.life_start, c.life_start);
    EXPECT_EQ(g.life_len, c.life_start);
    EXPECT_EQ(g.life_target, c.life_target);
    EXPECT_EQ(g.life_steps, c.life_steps);
    EXPECT_EQ(g.life_step, c.life_step);
    EXPECT_EQ(g.kiai_start, c.kiai_start);
    EXPECT_EQ(g.kiai_target, c.kiai_target);
    EXPECT_EQ(g.kiai_steps, c.kiai_steps);
    EXPECT_EQ(g.kiai_step, c.kiai_step);
    EXPECT_EQ(g.scale, 0u);
    EXPECT_EQ(g.bar_dx, -80);
    EXPECT_EQ(g.digit_time, 10);
    SlgTaskEndAll();
  }
}

// Steps the rig until the gauge's phase passes `phase` (or it ends); returns the steps taken.
int StepsUntilPhaseAfter(BattleRig& rig, int slot, int phase, int limit) {
  for (int n = 1; n <= limit; ++n) {
    rig.Step();
    if (DGaugeRunning(slot) == 0) return n;
    if (Battle().gauges[static_cast<size_t>(slot)]->phase > phase) return n;
  }
  return -1;
}

TEST(SlgGauge, TimelineOnTheClock) {
  struct Case {
    const char* name;
    uint16_t form;
    int16_t life, max_life;
    int32_t change;
    int hold_before, count, close_at;  // phase-1-relative: counting starts, closing starts
  };
  // Form 2: -58 on 80/80 holds 30, counts 46 frames (the digits 20), longer than the hold
  // after (40): closing starts in the frame after the last step. Form 3: -6 on 16/16 counts 12 frames
  // (the one digit 10): closing starts 30 frames after the hold began.
  for (const Case& c : {Case{"form 2", 2, 80, 80, -58, 30, 46, 30 + 46 + 1},
                        Case{"form 3", 3, 16, 16, -6, 5, 12, 30}}) {
    SCOPED_TRACE(c.name);
    BattleRig rig;
    DGaugeValues v;
    v.life = c.life;
    v.max_life = c.max_life;
    v.kiai = 10;
    v.max_kiai = 100;
    v.form = c.form;
    const int slot = DGaugeTask(v, c.change, 0, 0, 0);
    ASSERT_GE(slot, 0);
    const DGauge* g = Battle().gauges[static_cast<size_t>(slot)];
    rig.Step();
    EXPECT_EQ(g->scale, 8192u);
    EXPECT_EQ(g->bar_dy, -4);
    EXPECT_EQ(StepsUntilPhaseAfter(rig, slot, 0, 20), 7);  // open after 8 frames
    EXPECT_EQ(g->scale, 65536u);
    EXPECT_EQ(g->bar_dy, -32);
    const int to_count = StepsUntilPhaseAfter(rig, slot, 1, 100);
    EXPECT_NEAR(to_count, c.hold_before, 1);
    EXPECT_EQ(g->life_len, g->life_start);
    const int to_close = StepsUntilPhaseAfter(rig, slot, 2, 200);
    EXPECT_NEAR(to_count + to_close, c.close_at, 1);
    EXPECT_EQ(g->life_len, g->life_target);
    EXPECT_EQ(g->digits_left, 0);
    EXPECT_EQ(g->digit_size[5], 16);
    EXPECT_EQ(DGaugeRunning(slot), 1);
    EXPECT_NEAR(StepsUntilPhaseAfter(rig, slot, 3, 20), 8, 1);  // closes in 8 frames
    EXPECT_EQ(DGaugeRunning(slot), 0);
    EXPECT_EQ(Battle().gauges[static_cast<size_t>(slot)], nullptr);
  }
}

TEST(SlgGauge, CountingMovesBarsAndDigitsTogether) {
  BattleRig rig;
  DGaugeValues v;
  v.life = 80;
  v.max_life = 80;
  v.max_kiai = 100;
  v.form = 2;
  const int slot = DGaugeTask(v, -58, 0, 0, 0);
  const DGauge* g = Battle().gauges[static_cast<size_t>(slot)];
  StepsUntilPhaseAfter(rig, slot, 1, 100);  // the first counting frame has run
  rig.Run(4);
  // About 4-5 frames into counting: the bar 2 px a frame lower, the units digit growing.
  EXPECT_LE(g->life_len, 128 - 6);
  EXPECT_GE(g->life_len, 128 - 10);
  EXPECT_EQ(g->digit, 5);
  EXPECT_GE(g->digit_size[5], 3 * 3 + 16);
  EXPECT_EQ(g->digit_size[4], -1);
  rig.Run(8);
  EXPECT_EQ(g->digit_size[5], 16);
  EXPECT_EQ(g->digit, 4);
  EXPECT_GT(g->digit_size[4], 16);
}

TEST(SlgGauge, KeyTwoHeldAtSetUpHurries) {
  BattleRig rig;
  rig.Schedule({testsupport::GameKeyDown(rig.frame(), kGameKey2)});
  rig.Step();
  DGaugeValues v;
  v.life = 80;
  v.max_life = 80;
  v.kiai = 50;
  v.max_kiai = 100;
  v.form = 2;
  const int slot = DGaugeTask(v, -58, 20, 0, 0);
  const DGauge& g = *Battle().gauges[static_cast<size_t>(slot)];
  EXPECT_EQ(g.life_step, -8);
  EXPECT_EQ(g.life_steps, 11);
  EXPECT_EQ(g.hold, 7);  // 30 / 4
  EXPECT_EQ(g.digit_time, 2);
  EXPECT_EQ(g.kiai_step, 4);   // the kiai bar is not hurried
  EXPECT_EQ(g.kiai_steps, 6);  // len(20 of 100) = 26, / 4
}

TEST(SlgGauge, SlotsUnitsAndRefusals) {
  BattleRig rig;
  BattleBoard board(rig.battle());
  board.AddUnit({.kind = 0, .x = 192, .y = 240});
  SlgUnit& u = Battle().state.units[0];
  u.stats.result = 12;
  u.stats.action_bytes[1] = 7;
  u.stats.recovery = 9;
  // A slot that holds no unit.
  for (int unit : {-1, 1, 63, 64, 1000}) {
    EXPECT_EQ(DGaugeCreateForUnit(unit, -1, 2, 0), -1) << unit;
    EXPECT_EQ(DGaugeRecovery(unit, -1), -1) << unit;
    EXPECT_EQ(DGaugeKiai(unit, -1), -1) << unit;
  }
  const int hit = DGaugeCreateForUnit(0, -1, 3, 0);
  ASSERT_EQ(hit, 0);
  const DGauge& g = *Battle().gauges[0];
  EXPECT_EQ(g.digit_frame[4], 12 + 1);  // -12
  EXPECT_EQ(g.x, u.x);
  EXPECT_EQ(DGaugeRecovery(0, -1), 1);
  EXPECT_EQ(Battle().gauges[1]->digit_frame[5], 9);
  EXPECT_EQ(DGaugeKiai(0, -1), 2);
  EXPECT_EQ(Battle().gauges[2]->digit_frame[4], 2);  // the refill, 20
  for (int i = 3; i < kDGaugeSlots; ++i) EXPECT_EQ(DGaugeRecovery(0, -1), i);
  EXPECT_EQ(DGaugeRecovery(0, -1), -1);  // the seventeenth
  EXPECT_EQ(DGaugeRunning(-1), 0);
  EXPECT_EQ(DGaugeRunning(16), 0);
  EXPECT_EQ(DGaugeRunning(15), 1);
  // A teardown that ends every task frees the slots.
  SlgTaskEndAll();
  EXPECT_EQ(DGaugeRunning(0), 0);
  EXPECT_EQ(DGaugeRecovery(0, -1), 0);
}

TEST(SlgGauge, AFailedTaskGivesMinusOne) {
  BattleRig rig;
  Battle().alloc.refuse = [](uint32_t, size_t) { return true; };
  DGaugeValues v;
  v.max_life = 10;
  EXPECT_EQ(DGaugeTask(v, -1, 0, 0, 0), -1);
  EXPECT_EQ(DGaugeRunning(0), 0);
}

TEST(SlgGauge, OpeningCountingAndClosingAboveAUnitInCapturedFrames) {
  for (PixelLayout layout : {PixelLayout::kRgb565, PixelLayout::kRgb555}) {
    SCOPED_TRACE(static_cast<int>(layout));
    SpriteRig s(layout);
    BattleBoard board(s.rig.battle());
    board.AddUnit({.kind = 0, .x = 336, .y = 264});
    SlgUnit& u = Battle().state.units[0];
    u.stats.life = 80;
    u.stats.max_life = 80;
    u.stats.kiai = 100;
    u.stats.max_kiai = 100;
    u.stats.result = 58;
    const int slot = DGaugeCreateForUnit(u.slot, -1, 2, 0);
    ASSERT_EQ(slot, 0);
    const SlgPair screen = Slg::PosToScreen({u.x, u.y});
    const int sx = SlgScreenX(screen.x), sy = SlgScreenY(screen.y);
    s.rig.Run(4);  // opening: the frame half high
    s.rig.SaveFrame("gauge_opening");
    const int top = sy - 96 - 16;
    EXPECT_EQ(s.rig.PixelAt(sx - 79, top + 1), s.Colour(kSysLargeGauge, 2));
    EXPECT_EQ(s.rig.PixelAt(sx + 78, top + 1), s.Colour(kSysLargeGauge, 2));
    EXPECT_EQ(s.rig.PixelAt(sx - 63, top + 1), s.Colour(kSysLifeGauge, 0));
    StepsUntilPhaseAfter(s.rig, slot, 1, 100);
    s.rig.Run(14);  // counting: the life bar shorter, the units digit settled
    s.rig.SaveFrame("gauge_counting");
    const DGauge& g = *Battle().gauges[0];
    const int bar_y = sy - 96 - 32;
    EXPECT_EQ(s.rig.PixelAt(sx - 64 + g.life_len - 3, bar_y + 1), s.Colour(kSysLifeGauge, 0));
    EXPECT_EQ(s.rig.PixelAt(sx - 64 + g.life_len + 2, bar_y + 1), s.Colour(kSysLargeGauge, 2));
    EXPECT_EQ(s.rig.PixelAt(sx - 80 + 16 * 5 + 1, sy - 31), s.Colour(kSysDamageDigit, 20));
    // The full kiai bar: frames 0 and 1 of "LargeGauge:" in turn.
    const uint32_t kiai_a = s.rig.PixelAt(sx - 63, bar_y + 19);
    s.rig.Step();
    const uint32_t kiai_b = s.rig.PixelAt(sx - 63, bar_y + 19);
    EXPECT_NE(kiai_a, kiai_b);
    for (uint32_t c : {kiai_a, kiai_b}) {
      EXPECT_TRUE(c == s.Colour(kSysLargeGauge, 0) || c == s.Colour(kSysLargeGauge, 1));
    }
    StepsUntilPhaseAfter(s.rig, slot, 2, 200);
    s.rig.Run(4);
    s.rig.SaveFrame("gauge_closing");
    EXPECT_EQ(s.rig.PixelAt(sx - 79, bar_y + 22), s.Colour(kSysLargeGauge, 2));
    s.rig.Run(6);
    EXPECT_EQ(DGaugeRunning(slot), 0);
    EXPECT_EQ(s.rig.PixelAt(sx - 63, bar_y + 1), Shown(s.rig, 0));
  }
}

}  // namespace
