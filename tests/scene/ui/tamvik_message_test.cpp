// The message window: one window at a time, its frame picture, closing, the window shade in its
// styles and the screen shade (on composed pixels), the typed text's buffer, its end and its stop,
// the window's characters; and a whole message scene (window, blinking face, talking character,
// typing) that a person can look at in captured frames.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/files/random.h"
#include "engine/gfx/text/text_big5.h"
#include "tests/engine/gfx/display_test_support.h"
#include "tests/scene/sprite/portrait_rig.h"
#include "testsupport/trace_capture.h"

namespace {

using namespace testsupport;
using platform::PixelLayout;
using portrait_test::PortraitRig;

constexpr const char* kFrameFile = "tamvik1\\system\\window\\window_b.spr";
constexpr const char* kWindowShadeFile = "tamvik1\\system\\window\\shade_wb.spr";
constexpr const char* kScreenShadeFile = "tamvik1\\system\\window\\shade_wa.spr";
constexpr uint8_t kFrameValue = 40;
constexpr uint8_t kShadeValue = 50;
constexpr uint8_t kScreenShadeValue = 60;
// Big5 of the fixture font's first glyph, every pixel at full coverage.
constexpr const char* kFullGlyph = "\xA4\x40";
constexpr ColorRef kInk = 0x0F0F0F;
// Where the window's text starts in its sprites (text rectangle - frame corner).
constexpr int kTextX = 124 - 16;
constexpr int kTextY = 366 - 338;

class MessageTest : public PortraitRig {
 protected:
  void PutWindowPictures() {
    Put(kFrameFile, PlainPictureFile(608, 128, 0, 8, kFrameValue));
    Put(kWindowShadeFile, PlainPictureFile(608, 128, kShadeValue));
    Put(kScreenShadeFile, PlainPictureFile(576, 320, kScreenShadeValue));
  }
  WindowRec* Window() { return state().message_window; }
  const platform::Surface* TextSurface() { return spr().GetSpriteSurface(Window()->text_sprite); }
  uint16_t TextPixel(int x, int y) { return TextSurface()->Row(y)[x]; }
  // The pixel a fully covered glyph in message ink leaves in the window's text sprite (drawn at
  // the far end of the text area and cleared again).
  uint16_t Ink() {
    CDdrawWindow& windows = ctx().ddraw_window;
    EXPECT_GT(windows.DrawText(Window(), CDdrawWindow::kTextSprite, kFullGlyph, 440, 40, kInk), 0);
    const uint16_t ink = TextPixel(kTextX + 441, kTextY + 41);
    windows.ClearTextPiece(Window(), CDdrawWindow::kTextSprite);
    EXPECT_NE(ink, Key());
    return ink;
  }
  // Runs frames of `ms` until the typing ends (at most `limit`); the frames it took.
  int TypeOut(uint32_t ms, int limit = 50) {
    for (int i = 1; i <= limit; ++i) {
      Frame(ms);
      if (TamvikFunc::IsMessageDone()) return i;
    }
    return -1;
  }
  // The blend of one pixel as the blend blitters define it.
  uint16_t Blend(uint16_t s, uint16_t d, unsigned a) const {
    return display_test::BlendPixel(s, d, a, GetParam());
  }
};

TEST_P(MessageTest, OneWindowAtATimeWithItsFramePictureAndShade) {
  PutWindowPictures();
  TraceCapture trace;
  ASSERT_EQ(ADVShowWindow(), 1);
  EXPECT_TRUE(trace.Contains("ADVShowWindow"));
  WindowRec* window = Window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->surface_id, SURFACE_TEXT);
  EXPECT_EQ(window->style, 3);
  EXPECT_EQ(window->base_color, 0xFFFFFFu);
  EXPECT_EQ(window->frame.left, 16);
  EXPECT_EQ(window->inner.top, 354);
  EXPECT_EQ(window->text.right, 596);
  // The frame picture in the text sprite: its border, and its keyed inside left transparent.
  EXPECT_EQ(TextPixel(0, 0), Portrait(kFrameValue));
  EXPECT_EQ(TextPixel(607, 127), Portrait(kFrameValue));
  EXPECT_EQ(TextPixel(300, 64), Key());

  // The redraw's frame sprite: the box in the inner rectangle for style 3, none for 6-9.
  const auto frame_pixel = [&](int x, int y) {
    return spr().GetSpriteSurface(Window()->frame_sprite)->Row(y)[x];
  };
  EXPECT_NE(frame_pixel(16, 16), Key());
  EXPECT_EQ(frame_pixel(15, 15), Key());
  window->style = 7;
  TamvikFunc::RedrawMessageWindow();
  EXPECT_EQ(frame_pixel(16, 16), Key());
  EXPECT_EQ(state().window_shade->alpha, 127u);
  window->style = 3;
  TamvikFunc::RedrawMessageWindow();
  EXPECT_NE(frame_pixel(16, 16), Key());

  EXPECT_EQ(ADVShowWindow(), 0);
  EXPECT_TRUE(trace.Contains("MessageWindow already Exsist!"));
  EXPECT_EQ(Windows(), 1);
  EXPECT_EQ(Window(), window);

  // The shade: one entry under the text layer's window, at the front of the layer below (the
  // compose draws a layer's windows before its entries).
  EXPECT_TRUE(Entries(SURFACE_TEXT).empty());
  auto shade = Entries(SURFACE_FC);
  ASSERT_EQ(shade.size(), 1u);
  EXPECT_EQ(shade[0]->sprite, state().window_shade);
  EXPECT_EQ(shade[0]->x, 24);
  EXPECT_EQ(shade[0]->y, 346);
  EXPECT_EQ(shade[0]->priority, 0);
  // On the root layer (at its back) for the menus that want it there.
  TamvikFunc::ShowWindowShadeOnRoot();
  EXPECT_TRUE(Entries(SURFACE_FC).empty());
  ASSERT_EQ(Entries(SURFACE_ROOT).size(), 1u);
  EXPECT_EQ(Entries(SURFACE_ROOT)[0]->priority, 2047);
  TamvikFunc::ShowWindowShadeOnText();
  EXPECT_TRUE(Entries(SURFACE_ROOT).empty());
  ASSERT_EQ(Entries(SURFACE_FC).size(), 1u);

  const SprRec* shade_sprite = state().window_shade;
  EXPECT_EQ(TamvikFunc::CloseMessageWindow(), 1);
  EXPECT_EQ(Window(), nullptr);
  EXPECT_EQ(Windows(), 0);
  EXPECT_TRUE(Entries(SURFACE_TEXT).empty());
  EXPECT_EQ(spr().IsSprite(shade_sprite), 0);
  EXPECT_EQ(TamvikFunc::CloseMessageWindow(), 1);
  // Without a window the shade and the text calls do nothing.
  TamvikFunc::ShowWindowShade(3);
  EXPECT_TRUE(Entries(SURFACE_TEXT).empty());
  EXPECT_EQ(TamvikFunc::PutMessageText("ab", "a"), 0);
  TamvikFunc::ClearMessageText();
  TamvikFunc::RedrawMessageWindow();
  EXPECT_EQ(ADVShowWindow(), 1);
  EXPECT_EQ(Windows(), 1);
}

TEST_P(MessageTest, WindowShadeStylesOnComposedPixels) {
  PutWindowPictures();
  const uint16_t shade = Portrait(kShadeValue);
  const uint16_t grey = Pack(portrait_test::kRootGrey);
  const uint16_t green = Pack(0x00C000);
  struct Case {
    int style;
    BlendWord alpha;       // of the shade sprite
    uint16_t expected;     // after the root turned green
  };
  const Case cases[] = {
      // Merged: an opaque picture of the root as it was, with the shade over it.
      {3, 256, Blend(shade, grey, 127)},
      // Translucent: the shade over whatever the root shows now.
      {7, 127, Blend(shade, green, 127)},
      // Any other: opaque.
      {1, 256, shade},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    Fill(SURFACE_ROOT, {0, 0, 640, 480}, grey);
    ASSERT_EQ(TamvikFunc::CreateMessageWindow(c.style), 1);
    ASSERT_NE(state().window_shade, nullptr);
    EXPECT_EQ(state().window_shade->alpha, c.alpha);
    Fill(SURFACE_ROOT, {0, 0, 640, 480}, green);
    ASSERT_TRUE(Compose());
    // A point of the shade beyond the window's frame (the shade is 8 pixels further).
    EXPECT_EQ(Shown(628, 470), c.expected);
    EXPECT_EQ(Shown(631, 473), c.expected);
    EXPECT_EQ(Shown(633, 470), green);
    EXPECT_EQ(TamvikFunc::CloseMessageWindow(), 1);
  }
}

TEST_P(MessageTest, ScreenShadeInFrontOnTheBackgroundLayer) {
  TraceCapture trace;
  EXPECT_EQ(TamvikFunc::ShowScreenShade(), 0);  // no picture: nothing shown
  EXPECT_TRUE(Entries(SURFACE_BG).empty());
  EXPECT_EQ(state().screen_shade, nullptr);

  PutWindowPictures();
  const uint16_t shade = Portrait(kScreenShadeValue);
  const uint16_t grey = Pack(portrait_test::kRootGrey);
  ASSERT_EQ(TamvikFunc::ShowScreenShade(1), 1);
  auto entries = Entries(SURFACE_BG);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0]->x, 8);
  EXPECT_EQ(entries[0]->y, 8);
  EXPECT_EQ(entries[0]->priority, 0);
  EXPECT_EQ(entries[0]->sprite->width, 576);
  EXPECT_EQ(entries[0]->sprite->height, 320);
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(8, 8), shade);
  EXPECT_EQ(Shown(583, 327), shade);
  EXPECT_EQ(Shown(584, 328), grey);
  EXPECT_EQ(Shown(7, 7), grey);

  // Translucent.
  ASSERT_EQ(TamvikFunc::ShowScreenShade(8), 1);
  EXPECT_EQ(Entries(SURFACE_BG).size(), 1u);  // the old one went
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(8, 8), Blend(shade, grey, 127));

  // The drop shadow: only its strips beyond the hole stay.
  ASSERT_EQ(TamvikFunc::ShowScreenShade(3), 1);
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(8, 8), grey);  // the hole
  EXPECT_EQ(Shown(583, 327), Blend(shade, grey, 127));
  EXPECT_EQ(Shown(300, 327), Blend(shade, grey, 127));

  TamvikFunc::ReleaseScreenShade();
  EXPECT_TRUE(Entries(SURFACE_BG).empty());
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(583, 327), grey);
}

TEST_P(MessageTest, TypedTextBufferHoldsBothTextsSeparatedByTwoZeros) {
  ASSERT_EQ(ADVShowWindow(), 1);
  struct Case {
    const char* text;
    const char* mouth;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"ab", "ka.N", {'a', 'b', 0, 0, 'k', 'a', '.', 'N', 0}},
      {"ab", nullptr, {'a', 'b', 0, 0, 0}},
      {nullptr, "a", {0, 0, 'a', 0}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(TamvikFunc::PutMessageText(c.text, c.mouth), 1);
    ASSERT_NE(state().message_anime, nullptr);
    EXPECT_EQ(Ctx().anime.RecordOf(state().message_anime)->data, c.bytes);
    EXPECT_EQ(anime().BlockOf<AnimeMessageBlock>(state().message_anime)->interval, 100u);
  }
  // The speed form; a new text replaces the typing still running (the list may hand the old
  // record to the new typing, so the check is that only the new one is left).
  ASSERT_EQ(anime().Records(kAnimeMessage).size(), 1u);
  ASSERT_EQ(TamvikFunc::PutMessageText("ab", 30), 1);
  EXPECT_EQ(anime().Records(kAnimeMessage), std::vector<AnimeHandle>{state().message_anime});
  EXPECT_EQ(Ctx().anime.RecordOf(state().message_anime)->data, (std::vector<uint8_t>{'a', 'b', 0, 0, 0}));
  EXPECT_EQ(anime().BlockOf<AnimeMessageBlock>(state().message_anime)->interval, 30u);
}

TEST_P(MessageTest, TypingEndsByItselfOrWhenStopped) {
  ASSERT_EQ(ADVShowWindow(), 1);
  const uint16_t ink = Ink();
  const std::string two = std::string(kFullGlyph) + kFullGlyph;
  ASSERT_EQ(TamvikFunc::PutMessageText(two.c_str(), 50), 1);
  EXPECT_FALSE(TamvikFunc::IsMessageDone());
  Frame(16);
  Frame(16);
  Frame(51);  // the first character
  EXPECT_FALSE(TamvikFunc::IsMessageDone());
  EXPECT_EQ(TextPixel(kTextX + 1, kTextY + 1), ink);
  EXPECT_EQ(TextPixel(kTextX + 24 + 1, kTextY + 1), Key());
  EXPECT_GT(TypeOut(20), 0);
  EXPECT_EQ(TextPixel(kTextX + 24 + 1, kTextY + 1), ink);

  TamvikFunc::ClearMessageText();
  EXPECT_EQ(TextPixel(kTextX + 1, kTextY + 1), Key());
  EXPECT_EQ(TextPixel(0, 0), Key());  // no frame picture was there: its pixels stay

  // Speed 0: the whole text in the first typing step.
  ASSERT_EQ(TamvikFunc::PutMessageText(two.c_str(), 0), 1);
  Frame(1);
  Frame(1);
  Frame(1);
  EXPECT_EQ(TextPixel(kTextX + 24 + 1, kTextY + 1), ink);
  Frame(1);
  EXPECT_TRUE(TamvikFunc::IsMessageDone());

  // Stopped: done at once, nothing more typed.
  TamvikFunc::ClearMessageText();
  ASSERT_EQ(TamvikFunc::PutMessageText(two.c_str(), 50), 1);
  TamvikFunc::StopMessageText();
  EXPECT_TRUE(TamvikFunc::IsMessageDone());
  for (int i = 0; i < 5; ++i) Frame(100);
  EXPECT_EQ(TextPixel(kTextX + 1, kTextY + 1), Key());
  TamvikFunc::StopMessageText();
  EXPECT_TRUE(TamvikFunc::IsMessageDone());
}

TEST_P(MessageTest, WindowCharsAreDrawnOneCharacterAtATime) {
  ASSERT_EQ(ADVShowWindow(), 1);
  const uint16_t ink = Ink();
  const std::string text = std::string(kFullGlyph) + "\xA4\x40";
  EXPECT_EQ(TamvikFunc::DrawWindowChars(Window(), text.c_str(), 24, 0), 1);
  EXPECT_EQ(TextPixel(kTextX + 1, kTextY + 1), Key());
  EXPECT_EQ(TextPixel(kTextX + 24 + 1, kTextY + 1), ink);
  EXPECT_EQ(TextPixel(kTextX + 48 + 23, kTextY + 23), ink);
  EXPECT_EQ(TextPixel(kTextX + 72 + 1, kTextY + 1), Key());
  // A single-byte character takes 12 pixels and keeps the double-byte one after it in step.
  ASSERT_EQ(TamvikFunc::DrawWindowChars(Window(), (std::string("a") + kFullGlyph).c_str(), 0, 30), 1);
  EXPECT_EQ(TextPixel(kTextX + 12 + 1, kTextY + 30 + 1), ink);
  EXPECT_EQ(TextPixel(kTextX + 12 + 23, kTextY + 30 + 23), ink);
  EXPECT_EQ(TextPixel(kTextX + 36 + 1, kTextY + 30 + 1), Key());
  // A lone lead byte at the end draws nothing and is never read past.
  EXPECT_EQ(TamvikFunc::DrawWindowChars(Window(), "\xA4", 0, 60), 1);
  EXPECT_EQ(TextPixel(kTextX + 1, kTextY + 60 + 1), Key());
  EXPECT_EQ(TamvikFunc::DrawWindowChars(nullptr, "ab", 0, 0), 1);
}

// A message scene as the story shows it: the window with its shade, a blinking face in the
// window, a character set on layer 7 whose mouth follows the line, and the line typed. With
// TAMVIK_MESSAGE_FRAMES=<folder> every composed frame is written there as a PNG to look at.
TEST_P(MessageTest, MessageSceneWithFaceAndTalkingCharacter) {
  PutWindowPictures();
  Put("tamvik1\\system\\kao.spr", FaceFile(FaceFileContents{{{0, 3, 24}}, 1, std::nullopt}));
  NcFileContents nc;
  nc.image_sizes = {{120, 200}, {40, 12}, {40, 12}, {16, 8}, {16, 10}, {16, 12}, {16, 14},
                    {16, 16}, {16, 18}};
  nc.pictures = {{0, 1, 2, 8, 2, 0, 6, 0}};
  nc.default_x = 200;
  nc.default_y = 40;
  nc.bodies = {{0, 0, 0}};
  nc.eyes = {{1, 40, 40, 1500}, {2, 40, 40, 120}};
  for (uint16_t i = 3; i <= 8; ++i) nc.lips.push_back({i, 52, 120, 0});
  Put("tamvik1\\chara\\scene.spr", NcFile(nc));
  SeedRandom(1);

  ASSERT_EQ(ADVShowWindow(), 1);
  const uint16_t ink = Ink();
  ASSERT_EQ(TamvikFunc::PutAdvKao(1), 3);
  ASSERT_EQ(TamvikFunc::CreateBlinkAnmOnWindow({1, 2, 1, 0}, 0, 0, 50), 1);
  ASSERT_EQ(TamvikFunc::LoadNcSpxFilePos("tamvik1\\chara\\scene.spr", 0, 0, SURFACE_FC), 1);
  const std::string line = Big5FromUtf8("一中文字的一中文字的").value_or("");
  ASSERT_EQ(TamvikFunc::PutMessageText(line.c_str(), "aiueoaiueo"), 1);
  TamvikFunc::SetNcTalk(0, "aiueoaiueo", kTalkGameClock);

  const char* folder = std::getenv("TAMVIK_MESSAGE_FRAMES");
  const std::string layout = GetParam() == PixelLayout::kRgb565 ? "565" : "555";
  int typed_frames = -1;
  for (int i = 0; i < 40; ++i) {
    Frame(50);
    ASSERT_TRUE(Compose());
    if (folder != nullptr) {
      const std::string name = std::string(folder) + "/message_" + layout + "_" +
                               (i < 10 ? "0" : "") + std::to_string(i) + ".png";
      EXPECT_TRUE(engine().host.display.SaveFramePng(name)) << name;
    }
    if (typed_frames < 0 && TamvikFunc::IsMessageDone()) typed_frames = i;
  }
  // Ten characters at 100 ms (two 50 ms frames each), after the typing's two start steps.
  EXPECT_GE(typed_frames, 20);
  EXPECT_LE(typed_frames, 26);
  // The face in the window, the character on layer 7, the line in the window: the window and
  // what it holds lie over its shade.
  EXPECT_EQ(Shown(16 + 16, 338 + 16), Portrait(FaceValue(0, 0)));
  EXPECT_EQ(Shown(400 + 2, 80 + 2), Portrait(NcValue(0)));
  EXPECT_EQ(Shown(124 + 1, 366 + 1), ink);

  // The story screen torn down.
  EXPECT_EQ(TamvikFunc::ReleaseBlinkAnm(), 1);
  EXPECT_EQ(TamvikFunc::ReleaseNcSpx(), 1);
  EXPECT_EQ(TamvikFunc::CloseMessageWindow(), 1);
  EXPECT_EQ(Windows(), 0);
  EXPECT_TRUE(Entries(SURFACE_FC).empty());
  EXPECT_TRUE(Entries(SURFACE_TEXT).empty());
  EXPECT_TRUE(Entries(SURFACE_ROOT).empty());
}

INSTANTIATE_PORTRAIT_LAYOUTS(MessageTest);

}  // namespace
