#pragma once
// The sample install directory: a complete small set of the game's files, made only by the
// fixture writers and drawn, synthesised and encoded by this code, so that the program runs from
// boot through its scenes, its battle and every minigame without any other data.
// tools/make_sample_data writes it at build time (with glyphs rasterised from a system font when
// one is there); the whole-program tests copy it.
//
// Layout (one spelling per directory on disk; the game asks for several spellings):
//   SAMPLE.TXT                           what the directory is (an earlier sample is replaced)
//   CHT.DAT CHT24.DAT ENG12.DAT          glyph fonts (opened by bare name from the working dir)
//   save/system.dat save/data1.sav       the extra scenario offered; slot 1 holds scene 0x0109
//   tamvik1/system/...                   logo, staff card, opening captions, title, menus, sounds
//   tamvik1/bgm/ tamvik1/voice/          music (MS ADPCM, "loop" marker) and the voices
//   tamvik1/WALL/ tamvik1/bg/ tamvik1/item/ tamvik1/icatch/
//   Movie/Movie000.mpg Movie/Vexlogo.mpg
//   Macro/0100, 0101, 0109 (.bin, tbl.bin)  the new game, after the battle, the extra scenario
//   TaMvIk2/...                          the battle (testsupport/battle_install.h, dressed)
//   tamvik3/od/ tamvik3/se/ tamvik3/voice/  the minigames

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// Coverage levels (0-15) of one glyph, `width` x 24 pixels row by row, for a Unicode code point;
// false when the rasteriser has no glyph for it (a box stands in).
using GlyphRaster =
    std::function<bool(uint32_t code_point, int width, std::vector<uint8_t>& levels)>;

// The box that stands in for a glyph: a frame one pixel inside the cell (empty for a space).
std::vector<uint8_t> BoxGlyph(uint32_t code_point, int width);

// The UTF-8 string literals with characters beyond ASCII in the program's sources under `root`
// (engine/, game/ and the areas; tests and fixtures left out), each literal once, in file order.
std::vector<std::string> GatherSourceTexts(const std::string& root);

// The texts the sample itself shows (pictures, messages), UTF-8.
std::vector<std::string> SampleTexts();
// Those the game prints with the glyph fonts (the scenes' messages and choices, the battle's
// messages, the card game's lines), UTF-8: full width as the game's own, "$$" between a
// choice's lines and "\r" or "\n" in the card game's lines the only single-byte characters.
std::vector<std::string> SamplePrintedTexts();

// The sample's scenes.
constexpr uint16_t kSampleExtraScene = 0x0109;
constexpr uint16_t kSampleNewGameScene = 0x0100;
// The scene after the new game's battle: it goes on to the extras scene, which ends at the title.
constexpr uint16_t kSampleAfterBattleScene = 0x0101;
// Messages of the scenes: 0x0109 has two (voices 1 and 2), 0x0100 two (the second repeats),
// 0x0101 two (voices 5 and 6).
constexpr int kSampleVoices = 6;
// Save file time: 2001-08-02 09:05 UTC.
constexpr int64_t kSampleSaveTime = 996743100;

// Colours (COLORREF 0x00BBGGRR of the 5-bit colour-table entries) the sample's pictures are
// known by: the maker logo card's top, the title background's top, the title menu's background
// (op_win) at its top, the message window frame's body, the opening captions' strip, the title's
// start prompt and the logo's frame.
uint32_t SampleLogoColour();
uint32_t SampleTitleColour();
uint32_t SampleMenuColour();
uint32_t SampleWindowColour();
uint32_t SampleCaptionColour();
uint32_t SamplePromptColour();
uint32_t SampleLogoFrameColour();

// Where the title shows its start prompt (animation 12 of title.spr, played at the screen's
// origin, so its unit carries the place) and its logo (in the whole-screen tl_rogo0.spr).
struct SampleBox {
  int x, y, w, h;
};
constexpr SampleBox kSamplePromptBox{192, 392, 256, 40};
constexpr SampleBox kSampleLogoBox{120, 72, 400, 160};

// The colour each minigame row's own background is known by, over a large part of the screen
// (the pool's water, the floor, the kitchen, the card table's felt, the reels' window, the park's
// grass, the meadow, the felt again).
uint32_t SampleMinigameColour(int row);

// The opening movie's length: its captions run to frame 4620 (77 s) of the game's clock.
constexpr int kSampleOpeningSeconds = 78;

struct SampleOptions {
  // Glyphs; boxes when empty or when it fails for a character.
  GlyphRaster raster;
  // Texts whose characters the font must hold besides the sample's own (the sources' literals).
  std::vector<std::string> extra_texts;
  // Movie length in pictures (25 a second) of the opening; the logo movie is 2 seconds.
  int opening_pictures = kSampleOpeningSeconds * 25;
};

// Writes the sample into `dir`: made beside it under a temporary name and renamed into place, so
// an interrupted run leaves no half sample; an earlier sample there is replaced. False with the
// reason in `error` when `dir` exists and is neither an earlier sample nor empty (nothing is
// touched then), or when a file cannot be written or a movie cannot be encoded.
bool WriteSampleData(const std::string& dir, const SampleOptions& options, std::string* error);

// The double-byte codes of the sample's font (ascending, at most 3000): the program's own messages
// first (ProgramMessageTexts), then the sample's texts, then the extra texts, as long as room is
// left.
std::vector<uint16_t> SampleFontCodes(const std::vector<std::string>& extra_texts);

}  // namespace testsupport
