// Framed windows: composing (boxes, pieces, text, order), translucent boxes, text fitting and
// the line-break marker, moving, opening and turning, colour rebuild, pieces, the list and its
// refusals, the listing, and a frame with Big5 text written as an image.

#include "engine/gfx/window/window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/headless/frame_image.h"
#include "testsupport/stored_png.h"
#include "testsupport/trace_capture.h"
#include "window_test_support.h"

namespace {

using platform::PixelLayout;
using platform::Surface;
using testsupport::FixtureLevel12;
using testsupport::FixtureLevel24;
using window_test::kBlue;
using window_test::kBottom;
using window_test::kGreen;
using window_test::kGrey;
using window_test::kInk;
using window_test::kLayer;
using window_test::kRed;
using window_test::WindowTest;

constexpr ColorRef kYellow = 0x00FFFF;

INSTANTIATE_FOR_BOTH_LAYOUTS(WindowTest);

bool SameRect(const Rect& a, const Rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
::testing::AssertionResult RectIs(const Rect& got, Rect want) {
  if (SameRect(got, want)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << got.left << "," << got.top << "," << got.right
                                       << "," << got.bottom << ") instead of (" << want.left
                                       << "," << want.top << "," << want.right << ","
                                       << want.bottom << ")";
}

// ---- Composing ----

TEST_P(WindowTest, WindowsAreDrawnBeforeTheirLayerInCreationOrderWithPiecesBetweenFrameAndText) {
  WindowRec* w = Make(kRed, 0);
  ASSERT_NE(w, nullptr);
  // A style-0 box in the colour-key colour is invisible.
  const Rect cyan{400, 100, 500, 200};
  ASSERT_NE(win().Create(kLayer, cyan, cyan, cyan, kColorKeyColorRef, 0), nullptr);
  // A piece at 50,40 of the text sprite (screen 150,140-190,170) and a glyph over part of it
  // (pen 25,25 of the text rectangle: screen 155,145-179,169; "一" is level 15 everywhere).
  SprRec* green = Solid(kGreen, 40, 30);
  ASSERT_NE(win().AddPieceShort(w, green, 50, 40, 0, 0), nullptr);
  const std::string one = Big5("一");
  ASSERT_EQ(win().DrawText(w, 0, one.c_str(), 25, 25, kInk), (24 << 16) | 24);
  // The layer's own picture is drawn over its windows.
  Paint(kLayer, {200, 180, 202, 182}, Pack(kBlue));
  // A later window overlapping the first one.
  const Rect later{250, 150, 350, 250};
  ASSERT_NE(win().Create(kLayer, later, later, later, kYellow, 0), nullptr);
  ASSERT_TRUE(Compose());

  struct Probe {
    int x, y;
    uint16_t want;
    const char* what;
  };
  const Probe probes[] = {
      {125, 115, Pack(kRed), "box in the inner rectangle"},
      {279, 110, Pack(kRed), "box's last column"},
      {121, 199, Pack(kRed), "box's last row"},
      {110, 105, Pack(kGrey), "frame outside the inner rectangle is transparent"},
      {119, 150, Pack(kGrey), "left of the inner rectangle"},
      {152, 142, Pack(kGreen), "piece above the box"},
      {185, 165, Pack(kGreen), "piece right of the glyph"},
      {160, 150, GlyphOnGrey(kInk, 15), "text above the piece"},
      {201, 181, Pack(kBlue), "the layer's picture above the window"},
      {450, 150, Pack(kGrey), "cyan style-0 box"},
      {270, 170, Pack(kYellow), "later window on top"},
      {245, 170, Pack(kRed), "first window beside the later one"},
  };
  for (const Probe& p : probes) EXPECT_EQ(Shown(p.x, p.y), p.want) << p.what;
}

TEST_P(WindowTest, WindowsOfOtherLayersAndHiddenLayersAreNotDrawnHere) {
  ASSERT_NE(Make(kRed, 0, SURFACE_FC), nullptr);
  const Rect r{400, 300, 450, 350};
  ASSERT_NE(win().Create(SURFACE_BG, r, r, r, kBlue, 0), nullptr);
  // The layer above covers the window of the layer below.
  Paint(kLayer, {120, 110, 130, 120}, Pack(kGreen));
  ddraw().SetVisible(SURFACE_BG, 0);
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(200, 150), Pack(kRed));
  EXPECT_EQ(Shown(125, 115), Pack(kGreen));
  EXPECT_EQ(Shown(420, 320), Pack(kGrey));
  EXPECT_EQ(win().Draw(SURFACE_DEBUG), 1);  // no window there: nothing to do
}

// Styles 6-9: the box is tinted from the back buffer at compose time, shrinking toward the inner
// rectangle's horizontal centre (200) and the frame's vertical centre (180, not the inner
// rectangle's 155). The sprites and the pieces are drawn whatever the box.
TEST_P(WindowTest, TranslucentBoxesFollowTheOpenPercentagesOverTheBackBuffer) {
  struct Case {
    int open_x, open_y;
    Rect box;    // empty: no box
    int piece_x, piece_y;  // where the piece at 10,10 of the shrunk text sprite lands
  };
  const Case cases[] = {
      {100, 100, {120, 110, 280, 200}, 110, 110},
      {50, 50, {160, 145, 240, 190}, 160, 150},
      {25, 75, {180, 128, 220, 195}, 185, 130},
      {0, 100, {}, 210, 110},
      {100, 0, {}, 110, 190},
      {-20, 100, {}, 210, 110},
  };
  const unsigned levels[] = {128, 64, 32, 16};
  // A colour-key pixel in the back buffer stays as it is, whatever surface 12 held before.
  constexpr int kKeyX = 200, kKeyY = 150;
  Paint(kBottom, {kKeyX, kKeyY, kKeyX + 1, kKeyY + 1}, Key());
  SprRec* red = Solid(kRed, 8, 8);
  for (int style = 6; style <= 9; ++style) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << "style " << style << " open " << c.open_x << ","
                                        << c.open_y);
      WindowRec* w = Make(kBlue, style);
      ASSERT_NE(w, nullptr);
      ASSERT_NE(win().AddPieceShort(w, red, 10, 10, 0, 0), nullptr);
      ASSERT_EQ(win().SetOpen(w, c.open_x, c.open_y), 1);
      Paint(SURFACE_SCRATCH, {0, 0, 640, 480}, 0x1357);
      ASSERT_TRUE(Compose());
      const uint16_t tinted = Blend(Pack(kGrey), Pack(kBlue), levels[style - 6]);
      int wrong = 0;
      for (int y = 90; y < 270 && wrong == 0; ++y) {
        for (int x = 90; x < 310; ++x) {
          uint16_t want = Pack(kGrey);
          if (x >= c.box.left && x < c.box.right && y >= c.box.top && y < c.box.bottom) {
            want = tinted;
          }
          if (x == kKeyX && y == kKeyY) want = Key();
          if (x >= c.piece_x && x < c.piece_x + 8 && y >= c.piece_y && y < c.piece_y + 8) {
            want = Pack(kRed);
          }
          if (Shown(x, y) != want) {
            ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << Shown(x, y)
                          << " instead of " << want;
            ++wrong;
            break;
          }
        }
      }
      ASSERT_EQ(win().Delete(&w), 1);
    }
  }
}

// ---- Text ----

// The text rectangle is 140 x 70 (130,120-270,190 on the layer, 30,20-170,90 in the sprites).
TEST_P(WindowTest, TextMustFitTheTextRectangle) {
  WindowRec* w = Make(kRed, 0);
  ASSERT_NE(w, nullptr);
  const std::string big5 = Big5("文字");
  struct Case {
    std::string text;
    int x, y;
    int32_t want;  // -1: refused
  };
  const Case cases[] = {
      {"ABCDEFGHIJK", 8, 0, (24 << 16) | 132},  // ends exactly on the right edge
      {"ABCDEFGHIJK", 9, 0, -1},
      {"A", 0, 46, (24 << 16) | 12},  // ends exactly on the bottom edge
      {"A", 0, 47, -1},
      {"A\nB", 0, 22, (48 << 16) | 12},
      {"A\nB", 0, 23, -1},
      {big5, 92, 0, (24 << 16) | 48},
      {big5, 93, 0, -1},
      {"A", -1, 0, -1},  // a pen left of or above the text rectangle
      {"A", 0, -1, -1},
      {"A", -1000000, 5, -1},
      {"$$", 0, 0, 24 << 16},  // the line-break marker: the line height, nothing drawn
      {"$$", 500, 500, 24 << 16},
  };
  // The glyph level of the first character's pixel (1, 1).
  auto level = [&](const std::string& s) {
    return s[0] == 'A' ? FixtureLevel12('A', 1, 1) : FixtureLevel24(2, 1, 1);
  };
  constexpr uint16_t kBefore = 0x0841;
  struct Form {
    const char* name;
    Surface* surface;  // what the text lands on
    int ox, oy;        // the text rectangle's corner on it
    SurfaceId update;
    std::function<int32_t(const Case&)> draw;
    std::function<uint16_t(const Case&)> glyph;
  };
  GameFont font24;
  font24.height = 24;
  font24.width = 12;
  font24.weight = 500;
  font24.char_set = kChineseBig5Charset;
  font24.pitch_and_family = 0x31;
  GameFont font32 = font24;
  font32.height = 32;
  font32.width = 15;
  font32.weight = 600;
  font32.pitch_and_family = 0x52;
  const Form forms[] = {
      // Onto the layer, each cell repainted from the frame's picture (the red box).
      {"DrawTextWindow", ddraw().GetSurface(kLayer), 130, 120, kLayer,
       [&](const Case& c) { return win().DrawTextWindow(w, c.text.c_str(), c.x, c.y, kInk); },
       [&](const Case& c) { return Glyph(Pack(kRed), kInk, level(c.text)); }},
      // Into the text sprite, covered pixels blended with light grey.
      {"DrawText", w->text_sprite->surface, 30, 20, SURFACE_ALL_LAYERS,
       [&](const Case& c) { return win().DrawText(w, 0, c.text.c_str(), c.x, c.y, kInk); },
       [&](const Case& c) { return GlyphOnGrey(kInk, level(c.text)); }},
      // The font forms: the glyph fonts draw every font at their one size, in the first colour;
      // a 24-pixel font, a 32-pixel one and none give the same pixels.
      {"DrawText with a 24-pixel font", w->text_sprite->surface, 30, 20, SURFACE_ALL_LAYERS,
       [&](const Case& c) {
         return win().DrawText(w, 0, c.text.c_str(), c.x, c.y, &font24, kInk, 0xC0C0C0);
       },
       [&](const Case& c) { return GlyphOnGrey(kInk, level(c.text)); }},
      {"DrawText with a 32-pixel font", w->text_sprite->surface, 30, 20, SURFACE_ALL_LAYERS,
       [&](const Case& c) {
         return win().DrawText(w, 0, c.text.c_str(), c.x, c.y, &font32, kInk, 0x00FF00);
       },
       [&](const Case& c) { return GlyphOnGrey(kInk, level(c.text)); }},
      {"DrawText with no font", w->text_sprite->surface, 30, 20, SURFACE_ALL_LAYERS,
       [&](const Case& c) {
         return win().DrawText(w, 0, c.text.c_str(), c.x, c.y, nullptr, kInk, 0);
       },
       [&](const Case& c) { return GlyphOnGrey(kInk, level(c.text)); }},
  };
  for (const Form& f : forms) {
    Surface* s = f.surface;
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << f.name << " \"" << c.text << "\" at " << c.x << ","
                                        << c.y);
      // Each case starts from a known picture and no update request.
      Paint(s, {0, 0, s->width(), s->height()}, kBefore);
      ASSERT_EQ(ddraw().ShowWindow(), 1);
      ASSERT_EQ(ddraw().update_word(), 0u);
      ASSERT_EQ(f.draw(c), c.want);
      const bool drawn = c.want != -1 && c.text != "$$";
      EXPECT_EQ(ddraw().IsUpdate(f.update) != 0, drawn);
      if (drawn) {
        EXPECT_EQ(s->Row(f.oy + c.y + 1)[f.ox + c.x + 1], f.glyph(c));
        continue;
      }
      int changed = 0;
      for (int y = 0; y < s->height(); ++y) {
        for (int x = 0; x < s->width(); ++x) changed += s->Row(y)[x] != kBefore ? 1 : 0;
      }
      EXPECT_EQ(changed, 0);
    }
  }
}

// Layer text repaints every glyph cell from the frame's clean picture, so it can be drawn again
// in place without clearing; sprite text writes only covered pixels.
TEST_P(WindowTest, LayerTextRepaintsItsCellsFromTheFramePicture) {
  WindowRec* w = Make(kRed, 0);
  ASSERT_NE(w, nullptr);
  Paint(kLayer, {0, 0, 640, 480}, Pack(kGreen));
  const std::string ramp = Big5("中");  // level = column % 16
  ASSERT_EQ(win().DrawTextWindow(w, ramp.c_str(), 0, 0, kInk), (24 << 16) | 24);
  for (int col = 0; col < 24; ++col) {
    EXPECT_EQ(Pixel(kLayer, 130 + col, 125), Glyph(Pack(kRed), kInk, col % 16)) << col;
  }
  EXPECT_EQ(Pixel(kLayer, 154, 125), Pack(kGreen));  // right of the cell
  EXPECT_EQ(Pixel(kLayer, 130, 143), Pack(kRed));    // inside the cell, level 0
  EXPECT_EQ(Pixel(kLayer, 131, 144), Pack(kGreen));  // below the cell

  Surface* sprite = w->text_sprite->surface;
  ASSERT_EQ(win().DrawText(w, 0, ramp.c_str(), 0, 0, kInk), (24 << 16) | 24);
  EXPECT_EQ(sprite->Row(20)[30], Key());  // level 0: left alone
  EXPECT_EQ(sprite->Row(20)[31], GlyphOnGrey(kInk, 1));
  EXPECT_EQ(win().DrawTextWindowWhite(w, "A", 12, 0), (24 << 16) | 12);
  EXPECT_EQ(Pixel(kLayer, 143, 121), Glyph(Pack(kRed), 0xFFFFFF, FixtureLevel12('A', 1, 1)));
}

// ---- Clearing and copying ----

TEST_P(WindowTest, ClearCallsFillTheirAreasWithTheTransparentColour) {
  WindowRec* w = Make(kRed, 0);
  ASSERT_NE(w, nullptr);
  Paint(kLayer, {0, 0, 640, 480}, Pack(kGreen));
  ASSERT_EQ(ddraw().SetLayerScroll(kLayer, 5, 5), 1);
  ASSERT_EQ(win().ClearText(w), 1);
  EXPECT_EQ(Pixel(kLayer, 130, 120), Key());
  EXPECT_EQ(Pixel(kLayer, 269, 189), Key());
  EXPECT_EQ(Pixel(kLayer, 129, 120), Pack(kGreen));
  EXPECT_EQ(Pixel(kLayer, 270, 189), Pack(kGreen));
  int sx = -1, sy = -1;
  ASSERT_EQ(ddraw().GetLayerScroll(kLayer, &sx, &sy), 1);
  EXPECT_EQ(sx, 0);  // the fill puts the layer's scroll back
  EXPECT_EQ(sy, 0);

  // Text area of a sprite, then the whole sprite.
  Surface* frame = w->frame_sprite->surface;
  Paint(frame, {0, 0, 200, 160}, Pack(kGreen));
  ASSERT_EQ(win().ClearTextPiece(w, 1), 1);
  EXPECT_EQ(frame->Row(20)[30], Key());
  EXPECT_EQ(frame->Row(89)[169], Key());
  EXPECT_EQ(frame->Row(19)[30], Pack(kGreen));
  EXPECT_EQ(frame->Row(89)[170], Pack(kGreen));
  ASSERT_EQ(win().ClearPiece(w, 1), 1);
  EXPECT_EQ(frame->Row(0)[0], Key());
  EXPECT_EQ(frame->Row(159)[199], Key());

  // Frame graphics copied into the frame sprite show with the window.
  Paint(SURFACE_SCRATCH2, {0, 0, 10, 10}, Pack(kBlue));
  ASSERT_EQ(win().BltToPiece(w, 1, {0, 0, 10, 10}, {2, 2, 12, 12}, SURFACE_SCRATCH2, 0), 1);
  ASSERT_EQ(ddraw().ClearSurface(kLayer, 1), 1);
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(103, 103), Pack(kBlue));
  EXPECT_EQ(Shown(125, 115), Pack(kGrey));  // the box was cleared away
}

// ---- Moving, opening, turning ----

TEST_P(WindowTest, MoveResetsTheDrawingRectanglesAndKeepsTheOpenPercentages) {
  WindowRec* w = Make(kRed, 0);
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(win().SetOpen(w, 50, 50), 1);
  EXPECT_TRUE(RectIs(w->text_sprite->rect, {150, 140, 250, 220}));
  EXPECT_TRUE(RectIs(w->frame_sprite->rect, {150, 140, 250, 220}));

  ASSERT_EQ(win().Move(w, 10, 20), 1);
  EXPECT_TRUE(RectIs(w->frame, {10, 20, 210, 180}));
  EXPECT_TRUE(RectIs(w->inner, {30, 30, 190, 120}));
  EXPECT_TRUE(RectIs(w->text, {40, 40, 180, 110}));
  EXPECT_TRUE(RectIs(w->text_sprite->rect, {10, 20, 210, 180}));
  EXPECT_TRUE(RectIs(w->frame_sprite->rect, {10, 20, 210, 180}));
  EXPECT_EQ(w->open_x, 50);
  EXPECT_EQ(w->open_y, 50);
  Rect text_rect;
  EXPECT_EQ(win().GetTextRect(&text_rect, w), &text_rect);
  EXPECT_TRUE(RectIs(text_rect, {40, 40, 180, 110}));
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(30, 30), Pack(kRed));
  EXPECT_EQ(Shown(250, 190), Pack(kGrey));  // where the box was

  // Opening, turning and resetting work about where the window now is.
  struct Step {
    const char* what;
    std::function<int()> call;
    Rect rect;
  };
  const Step steps[] = {
      {"open 50 %", [&] { return win().SetOpen(w, 50, 50); }, {60, 60, 160, 140}},
      {"turn 60 degrees (height)", [&] { return win().SetTurn(w, 60, 0); }, {10, 60, 210, 140}},
      {"turn 60 degrees (width)", [&] { return win().SetTurn(w, 0, 60); }, {60, 20, 160, 180}},
      {"reset", [&] { return win().ResetRect(w); }, {10, 20, 210, 180}},
      {"closed", [&] { return win().SetOpen(w, -5, 0); }, {110, 100, 111, 101}},
  };
  for (const Step& s : steps) {
    ASSERT_EQ(s.call(), 1) << s.what;
    EXPECT_TRUE(RectIs(w->text_sprite->rect, s.rect)) << s.what;
    EXPECT_TRUE(RectIs(w->frame_sprite->rect, s.rect)) << s.what;
  }
  EXPECT_EQ(w->open_x, -5);  // stored as given; turning left them alone before
  EXPECT_EQ(w->open_y, 0);

  // Text follows the moved text rectangle.
  ASSERT_EQ(win().ResetRect(w), 1);
  ASSERT_EQ(win().DrawTextWindow(w, "A", 0, 0, kInk), (24 << 16) | 12);
  EXPECT_EQ(Pixel(kLayer, 41, 41), Glyph(Pack(kRed), kInk, FixtureLevel12('A', 1, 1)));
}

// ---- Colour ----

TEST_P(WindowTest, SetColorRebuildsTheFrameSpriteBelowStyleSix) {
  WindowRec* w = Make(kRed, 0);
  ASSERT_NE(w, nullptr);
  Paint(SURFACE_SCRATCH2, {0, 0, 10, 10}, Pack(kGreen));
  ASSERT_EQ(win().BltToPiece(w, 1, {0, 0, 10, 10}, {2, 2, 12, 12}, SURFACE_SCRATCH2, 0), 1);
  ASSERT_TRUE(Compose());
  ASSERT_EQ(Shown(105, 105), Pack(kGreen));
  ASSERT_EQ(win().SetOpen(w, 50, 50), 1);

  ASSERT_EQ(win().SetColor(w, kBlue), 1);
  EXPECT_EQ(w->base_color, kBlue);
  // The new frame sprite holds only the box, at full size; the text sprite keeps its rectangle.
  EXPECT_TRUE(RectIs(w->frame_sprite->rect, {100, 100, 300, 260}));
  EXPECT_TRUE(RectIs(w->text_sprite->rect, {150, 140, 250, 220}));
  EXPECT_EQ(Pixel(SURFACE_SCRATCH, 125, 115), Pack(kBlue));  // surface 12 holds the new frame
  EXPECT_EQ(Pixel(SURFACE_SCRATCH, 105, 105), Key());
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(125, 115), Pack(kBlue));
  EXPECT_EQ(Shown(105, 105), Pack(kGrey));

  // Translucent styles only take the colour: the box is drawn in it at the next compose.
  const Rect r{400, 300, 500, 400};
  WindowRec* t = win().Create(kLayer, r, r, r, kRed, 7);
  ASSERT_NE(t, nullptr);
  const SprRec* frame = t->frame_sprite;
  ASSERT_EQ(win().SetColor(t, kBlue), 1);
  EXPECT_EQ(t->frame_sprite, frame);
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(450, 350), Blend(Pack(kGrey), Pack(kBlue), 64));
}

// ---- Pieces ----

TEST_P(WindowTest, PiecesBelongToTheirWindow) {
  WindowRec* w = Make(kRed, 0);
  ASSERT_NE(w, nullptr);
  const int free_entries = spr().FreeEntryCount();
  SprRec* s = Solid(kGreen, 8, 8);
  SprBufferEntry* a = win().AddPieceShort(w, s, 0, 0, 0, 0);
  SprBufferEntry* b = win().AddPiece(w, s, 20, 0, 0, 1, 3, CDdrawSpr::kMirrorLeftRight);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(w->pieces->entry, b);  // newest first
  EXPECT_STREQ(b->name, CDdrawSpr::kBuffered);
  EXPECT_EQ(b->priority, 3);
  EXPECT_EQ(b->surface, w->text_sprite->surface);
  EXPECT_EQ(spr().FreeEntryCount(), free_entries - 2);

  EXPECT_EQ(win().DeletePiece(w, a), 1);
  EXPECT_EQ(win().DeletePiece(w, a), 0);  // no longer a piece of the window
  EXPECT_EQ(spr().FreeEntryCount(), free_entries - 1);
  EXPECT_EQ(w->pieces->entry, b);
  EXPECT_EQ(w->pieces->next, nullptr);

  // The piece's picture is deleted by its owner (which removes the entry) and the pool record is
  // handed to another holder: the window's deletion must leave that holder's entry alone.
  ASSERT_EQ(spr().DeleteSprite(&s), 1);
  SprRec* other_sprite = Solid(kBlue, 4, 4);
  SprBufferEntry* other =
      spr().SetBuffer(CDdrawSpr::kBuffered, other_sprite, 0, 0, SURFACE_BG, 0);
  ASSERT_EQ(other, b);  // the same pool record
  ASSERT_EQ(win().Delete(&w), 1);
  EXPECT_EQ(w, nullptr);
  EXPECT_TRUE(other->in_use);
  EXPECT_EQ(other->sprite, other_sprite);

  // Deleting a window gives all its pieces back.
  WindowRec* v = Make(kRed, 0);
  ASSERT_NE(v, nullptr);
  const int before = spr().FreeEntryCount();
  for (int i = 0; i < 3; ++i) ASSERT_NE(win().AddPieceShort(v, other_sprite, i, i, i % 2, 0), nullptr);
  EXPECT_EQ(spr().FreeEntryCount(), before - 3);
  EXPECT_EQ(win().DeleteAllPiece(v), 1);
  EXPECT_EQ(v->pieces, nullptr);
  EXPECT_EQ(spr().FreeEntryCount(), before);
  for (int i = 0; i < 3; ++i) ASSERT_NE(win().AddPieceShort(v, other_sprite, i, i, 0, 0), nullptr);
  ASSERT_EQ(win().Delete(&v), 1);
  EXPECT_EQ(spr().FreeEntryCount(), before);
}

// ---- The list and refusals ----

TEST_P(WindowTest, CreateRefusesFramesThatAreEmptyOrNotInsideTheScreen) {
  const Rect frames[] = {
      {-1, 0, 100, 100}, {0, -1, 100, 100}, {540, 380, 641, 480}, {540, 380, 640, 481},
      {10, 10, 10, 50},  {10, 50, 60, 50},  {60, 10, 50, 50},     {-2000, -2000, -1000, -1000},
  };
  for (const Rect& f : frames) {
    testsupport::TraceCapture trace;
    EXPECT_EQ(win().Create(kLayer, f, f, f, kRed, 0), nullptr)
        << f.left << "," << f.top << "," << f.right << "," << f.bottom;
    EXPECT_TRUE(trace.Contains("CDdrawWindow::Create"));
  }
  EXPECT_EQ(win().head(), nullptr);
  const Rect screen{0, 0, 640, 480};
  WindowRec* w = win().Create(kLayer, screen, screen, screen, kRed, 0);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->open_x, 100);
  EXPECT_EQ(w->open_y, 100);
  EXPECT_EQ(w->style, 0);
  EXPECT_EQ(w->surface_id, kLayer);
}

TEST_P(WindowTest, DeleteTakesOnlyWindowsOfTheListAndNullWindowsDoNothing) {
  WindowRec* a = Make(kRed, 0);
  WindowRec* b = Make(kBlue, 1);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(win().head(), a);
  EXPECT_EQ(a->next, b);
  EXPECT_EQ(win().IsWindow(b), 1);

  WindowRec stranger;
  WindowRec* p = &stranger;
  EXPECT_EQ(win().Delete(&p), 0);
  EXPECT_EQ(p, nullptr);
  WindowRec* none = nullptr;
  EXPECT_EQ(win().Delete(&none), 0);
  EXPECT_EQ(win().Delete(nullptr), 0);
  EXPECT_EQ(win().IsWindow(&stranger), 0);
  EXPECT_EQ(win().IsWindow(nullptr), 0);

  WindowRec* first = a;
  EXPECT_EQ(win().Delete(&a), 1);
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(win().IsWindow(first), 0);
  EXPECT_EQ(win().head(), b);
  EXPECT_EQ(win().RemoveWindow(first), 0);

  // Null windows, and sprite indices other than 0 and 1.
  Rect r;
  EXPECT_EQ(win().Move(nullptr, 1, 1), 0);
  EXPECT_EQ(win().SetOpen(nullptr, 1, 1), 0);
  EXPECT_EQ(win().SetTurn(nullptr, 1, 1), 0);
  EXPECT_EQ(win().ResetRect(nullptr), 0);
  EXPECT_EQ(win().SetColor(nullptr, kRed), 0);
  EXPECT_EQ(win().ClearText(nullptr), 0);
  EXPECT_EQ(win().ClearTextPiece(nullptr, 0), 0);
  EXPECT_EQ(win().ClearPiece(nullptr, 0), 0);
  EXPECT_EQ(win().BltToPiece(nullptr, 0, r, r, SURFACE_SCRATCH2, 0), 0);
  EXPECT_EQ(win().AddPieceShort(nullptr, nullptr, 0, 0, 0, 0), nullptr);
  EXPECT_EQ(win().DeletePiece(nullptr, nullptr), 0);
  EXPECT_EQ(win().DeleteAllPiece(nullptr), 0);
  EXPECT_EQ(win().GetTextRect(&r, nullptr), nullptr);
  EXPECT_EQ(win().DrawTextWindow(nullptr, "A", 0, 0, kRed), 0);
  EXPECT_EQ(win().DrawText(nullptr, 0, "A", 0, 0, kRed), 0);
  EXPECT_EQ(win().ClearPiece(b, 2), 0);
  EXPECT_EQ(win().ClearTextPiece(b, -1), 0);
  EXPECT_EQ(win().AddPieceShort(b, b->text_sprite, 0, 0, 2, 0), nullptr);
  EXPECT_EQ(win().DrawText(b, 2, "A", 0, 0, kRed), -1);
  EXPECT_EQ(win().DrawText(b, 0, nullptr, 0, 0, kRed), -1);

  // The display's release deletes the windows with the sprites they are made of.
  EXPECT_EQ(win().DeleteAll(), 1);
  EXPECT_EQ(win().head(), nullptr);
  ASSERT_NE(Make(kRed, 0), nullptr);
  ddraw().ReleaseDirectDraw();
  EXPECT_EQ(win().head(), nullptr);
}

TEST_P(WindowTest, EnumListsWindowsAndPieces) {
  WindowRec* w = Make(kRed, 3);
  ASSERT_NE(w, nullptr);
  const Rect r{0, 0, 10, 10};
  ASSERT_NE(win().Create(SURFACE_BG, r, r, r, 0x123456, 7), nullptr);
  SprBufferEntry* e = win().AddPieceShort(w, w->text_sprite, 0, 0, 0, 0);
  ASSERT_NE(e, nullptr);
  testsupport::TraceCapture trace;
  EXPECT_EQ(win().Enum(), 1);
  char piece[64];
  std::snprintf(piece, sizeof piece, "\t\tWindowSpr: No  0 SprBuffer:%08x\n",
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(e)));
  const std::vector<std::string> want = {
      "CDdrawWindow::Enum Windowite List\n",
      "\tNo:000 Surface:08 Y:100 ",
      "BaseColer:000000ff Style:3\n",
      piece,
      "\tNo:001 Surface:05 Y:000 ",
      "BaseColer:00123456 Style:7\n",
      "CDdrawWindow::Enum Windowite List End.\n",
  };
  ASSERT_EQ(trace.lines().size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(trace.lines()[i].text, want[i]) << i;
}

// ---- A frame for a person to look at ----

TEST_P(WindowTest, AWindowWithBig5TextCanBeSeenInAWrittenFrame) {
  // A message window: a dark solid box, a translucent name plate, text typed into the text
  // sprite and a line drawn onto the layer.
  constexpr ColorRef kNavy = 0x402010;
  WindowRec* w = win().Create(kLayer, {40, 300, 600, 460}, {48, 308, 592, 452},
                              {64, 320, 576, 440}, kNavy, 0);
  ASSERT_NE(w, nullptr);
  WindowRec* plate = win().Create(kLayer, {40, 260, 200, 296}, {40, 260, 200, 296},
                                  {48, 266, 192, 290}, 0xFFFFFF, 6);
  ASSERT_NE(plate, nullptr);
  const std::string line1 = Big5("文字的一中 OK");
  const std::string line2 = Big5("中文");
  ASSERT_GT(win().DrawText(w, 0, line1.c_str(), 0, 0, 0xFFFFFF), 0);
  ASSERT_GT(win().DrawTextWindow(w, line2.c_str(), 0, 48, 0x40C0FF), 0);
  ASSERT_GT(win().DrawTextWindow(plate, Big5("一").c_str(), 0, 0, kInk), 0);
  ASSERT_TRUE(Compose());

  struct Probe {
    int x, y;
    uint16_t want;
  };
  const Probe probes[] = {
      {50, 310, Pack(kNavy)},                                           // box
      {42, 302, Pack(kGrey)},                                           // frame edge
      {64 + 3, 320 + 15, GlyphOnGrey(0xFFFFFF, 15)},                    // "文", row 15
      {64 + 24 + 5, 320 + 0, GlyphOnGrey(0xFFFFFF, 15)},                // "字", its frame
      {64 + 48 + 7, 320 + 7, GlyphOnGrey(0xFFFFFF, 9)},                 // "的", the diagonal
      {64 + 1, 320 + 48, Glyph(Pack(kNavy), 0x40C0FF, 1)},              // "中" on the layer
      {64 + 0, 320 + 48 + 5, Pack(kNavy)},                              // its level-0 column
      {100, 262, Blend(Pack(kGrey), Pack(0xFFFFFF), 128)},               // name plate
      // Layer text repaints its cells from the frame picture, which a translucent window keeps
      // transparent: covered pixels blend with the colour key, uncovered ones stay see-through.
      {48 + 5, 266 + 5, Glyph(Key(), kInk, 15)},                        // "一" on the plate
  };
  for (const Probe& p : probes) EXPECT_EQ(Shown(p.x, p.y), p.want) << p.x << "," << p.y;

  const auto& d = engine.host.display;
  const std::vector<uint8_t> png =
      platform::headless::EncodePng(d.frame, d.frame_width, d.frame_height, d.frame_layout);
  testsupport::TempTree out;
  const std::string path = out.Path(GetParam() == PixelLayout::kRgb565 ? "window_565.png"
                                                                       : "window_555.png");
  ASSERT_TRUE(platform::headless::WriteFileBytes(path, png));
  if (const char* keep = std::getenv("TAMVIK_WINDOW_FRAME_PNG")) {
    platform::headless::WriteFileBytes(keep, png);
  }
  std::ifstream file(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
  const std::vector<uint8_t> rows = testsupport::ReadStoredPng(bytes).rows;
  ASSERT_EQ(rows.size(), 480u * (1 + 640 * 3));
  // The written pixels are the frame's, widened by bit replication.
  const bool rgb565 = GetParam() == PixelLayout::kRgb565;
  auto widened = [&](uint16_t v) {
    const unsigned r = rgb565 ? v >> 11 : (v >> 10) & 31;
    const unsigned g = rgb565 ? (v >> 5) & 63 : (v >> 5) & 31;
    const unsigned b = v & 31;
    return std::vector<uint8_t>{static_cast<uint8_t>(r << 3 | r >> 2),
                                static_cast<uint8_t>(rgb565 ? (g << 2 | g >> 4) : (g << 3 | g >> 2)),
                                static_cast<uint8_t>(b << 3 | b >> 2)};
  };
  for (const Probe& p : probes) {
    const size_t at = static_cast<size_t>(p.y) * (1 + 640 * 3) + 1 + static_cast<size_t>(p.x) * 3;
    EXPECT_EQ(std::vector<uint8_t>(rows.begin() + static_cast<ptrdiff_t>(at),
                                   rows.begin() + static_cast<ptrdiff_t>(at + 3)),
              widened(p.want))
        << p.x << "," << p.y;
  }
}

}  // namespace
