#pragma once
// The drawing, text and file tools the sample install's writers share (testsupport/sample_data.h):
// 8-bit canvases with shapes and words in the sample's own glyphs, the picture, animation and
// direct-colour sprite files made of them, tones, and the output directory.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "testsupport/sample_data.h"
#include "testsupport/spr_writer.h"

namespace testsupport::sample {

// ---- Text ----

// The code points of a UTF-8 string (bytes that do not decode are skipped).
std::vector<uint32_t> CodePoints(const std::string& utf8);
// Big5 bytes of a UTF-8 text ("" when a character has no Big5 code).
std::string Big5(const std::string& utf8);
// The Big5 code of one character beyond ASCII, 0 when Big5 has none.
uint16_t Big5Code(uint32_t code_point);

// ---- Glyphs ----

// The glyphs of the sample's fonts: the rasteriser's, or a box where it has none.
class Glyphs {
 public:
  explicit Glyphs(GlyphRaster raster) : raster_(std::move(raster)) {}
  // Coverage levels 0-15 of a `width` x 24 cell.
  const std::vector<uint8_t>& Of(uint32_t code_point, int width);

 private:
  GlyphRaster raster_;
  std::map<std::pair<uint32_t, int>, std::vector<uint8_t>> cache_;
};

// ---- Canvases ----

constexpr SprRgb kWhite{31, 31, 31};
constexpr SprRgb kInk{2, 2, 4};

// An 8-bit picture with its colour table; colour 0 is black, transparent in sprites.
class Canvas {
 public:
  Canvas(int w, int h, std::vector<SprRgb> colours);

  int width() const { return w_; }
  int height() const { return h_; }
  const std::vector<SprRgb>& colours() const { return colours_; }
  uint8_t At(int x, int y) const;

  // The index of a colour, added when the table lacks it (never 0, the key).
  uint8_t Colour(SprRgb c);
  // A ramp of `steps` colours from a to b; the first index.
  uint8_t Ramp(SprRgb a, SprRgb b, int steps);

  void Put(int x, int y, uint8_t v);
  void Fill(uint8_t v);
  void Rect(int x0, int y0, int x1, int y1, uint8_t v);
  void Frame(int x0, int y0, int x1, int y1, int t, uint8_t v);
  // Top to bottom through the ramp at `first` of `steps` colours.
  void Gradient(int y0, int y1, uint8_t first, int steps);
  void Disc(int cx, int cy, int r, uint8_t v);
  void Ellipse(int cx, int cy, int rx, int ry, uint8_t v);
  // A line `t` pixels thick.
  void Line(int x0, int y0, int x1, int y1, int t, uint8_t v);
  // A filled polygon (even-odd rule over pixel centres).
  void Polygon(const std::vector<std::pair<int, int>>& points, uint8_t v);
  // A diamond of half-sizes rx, ry about (cx, cy), filled or as an outline `t` thick (t 0: filled).
  void Diamond(int cx, int cy, int rx, int ry, uint8_t v, int t = 0);
  // Every colour of the table moved toward white by `percent` (a pale picture for words to stand
  // on).
  void Lighten(int percent);

  // UTF-8 text with the glyphs, each pixel `scale` times; a pixel is ink from level 8.
  static int TextWidth(const std::string& utf8, int scale = 1);
  void Text(Glyphs& glyphs, int x, int y, const std::string& utf8, uint8_t v, int scale = 1);
  void CentredText(Glyphs& glyphs, int y, const std::string& utf8, uint8_t v, int scale = 1);
  // Text at half size (12 pixels high, 12 wide a wide character, 6 a narrow one).
  static int HalfTextWidth(const std::string& utf8) { return TextWidth(utf8) / 2; }
  void HalfText(Glyphs& glyphs, int x, int y, const std::string& utf8, uint8_t v);
  // Text squeezed into `h` rows (glyphs of any width keep their width), for digits in small
  // cells.
  void ShortText(Glyphs& glyphs, int x, int y, int h, const std::string& utf8, uint8_t v);
  // Text with a one-pixel outline of colour `edge` around it.
  void OutlinedText(Glyphs& glyphs, int x, int y, const std::string& utf8, uint8_t v, uint8_t edge,
                    int scale = 1);

  SprImage Image() const;
  // The picture as RGB555 pixels, colour 0 as the colour key (cyan).
  std::vector<uint16_t> Rgb555() const;

 private:
  int w_;
  int h_;
  std::vector<uint8_t> pixels_;
  std::vector<SprRgb> colours_;
};

// A full-screen card: a gradient, a disc and a ring of shapes, a large title and a line of text.
Canvas Card(Glyphs& glyphs, SprRgb top, SprRgb bottom, const std::string& title,
            const std::string& line, int seed);
// The colour table every labelled sprite of a file shares: 0 key, 1 white, 2 ink, 3 paper, 4 gold.
std::vector<SprRgb> LabelColours(SprRgb paper);
// A sprite of `w` x `h`: paper with a frame and centred text (colour indexes of LabelColours).
Canvas Label(Glyphs& glyphs, int w, int h, SprRgb paper, const std::string& text, int scale = 1);

// What a person looks like: hair, skin and clothes.
struct Look {
  SprRgb hair;
  SprRgb skin{31, 24, 19};
  SprRgb clothes;
};
// A face filling the box (x, y, w, h): hair, skin, eyes open (eyes 0), half shut (1) or shut
// (2), and a smile (mouth 0) or an open mouth (1).
void DrawFace(Canvas& c, int x, int y, int w, int h, const Look& look, int eyes = 0, int mouth = 0);
// A person from head to feet in the box, seen from the front (back false) or from behind, with
// the right arm raised (a pointer of which way the picture is turned when it is mirrored).
void DrawPerson(Canvas& c, int x, int y, int w, int h, const Look& look, bool back = false,
                bool arm_raised = false);

// ---- Files of canvases ----

// A face file of the scene's and the battle's kind: one 80 x 160 image a look (the face in rows
// 0-95, then the half-shut and the shut eye bands that the blink puts over rows 32-63) and the
// face table's records: (face number - 1, the image it shows).
std::vector<uint8_t> FaceFileOf(const std::vector<Look>& looks,
                                const std::vector<std::pair<uint16_t, uint16_t>>& records);

// Pictures of their own colour tables put on one table, as a sprite file holds them.
struct OneTable {
  std::vector<SprRgb> colours;
  std::vector<SprImage> images;
};
OneTable OnOneTable(const std::vector<Canvas>& pictures);

std::vector<uint8_t> PictureOf(const Canvas& c);
// Several pictures of one colour table (the canvases' tables must be equal).
std::vector<uint8_t> PicturesOf(const std::vector<Canvas>& cs);
// An animation file: one unit and one one-frame animation per canvas, each unit at its canvas's
// place (0, 0 unless given).
std::vector<uint8_t> AnimationsOf(const std::vector<Canvas>& cs, uint16_t ticks = 30,
                                  const std::vector<std::pair<int, int>>& places = {});
// A file of frames: images 0..n-1, unit i showing image i at `offsets[i]` (0, 0 past the end),
// with the animations given.
std::vector<uint8_t> FramesFileWith(const std::vector<Canvas>& frames,
                                    const std::vector<std::pair<int, int>>& offsets,
                                    const std::vector<std::vector<SprFrameSpec>>& animations);
// A direct-colour sprite file of the canvases (the minigames' loader keeps their size; colour
// 0 becomes the colour key).
std::vector<uint8_t> DirectPicturesOf(const std::vector<Canvas>& cs);

// ---- Sounds ----

// Notes of `each` samples, each faded in and out.
std::vector<int16_t> Notes(const std::vector<double>& hz, uint32_t rate, uint32_t each,
                           int16_t amplitude);
// A voice: a warbling tone of about `frames` sixtieths of a second.
std::vector<uint8_t> SampleVoice(int n, int frames);
// A looping tune (MS ADPCM, the first driver's format; the "loop" marker outside the data size).
std::vector<uint8_t> SampleTune(const std::vector<double>& hz, uint32_t note_samples);

// ---- Files ----

// The directory being written; the first failure is kept.
class Out {
 public:
  Out(std::filesystem::path root, std::string* error) : root_(std::move(root)), error_(error) {}

  void Write(const std::string& rel, const std::vector<uint8_t>& bytes);
  void Fail(const std::string& why);
  void SetTime(const std::string& rel, int64_t seconds);
  std::filesystem::path Path(const std::string& rel) const { return root_ / rel; }
  bool ok() const { return ok_; }

 private:
  std::filesystem::path root_;
  std::string* error_;
  bool ok_ = true;
};

// The writers of the sample's parts (sample_battle.cpp, sample_minigames.cpp).
void WriteBattle(Out& out, Glyphs& glyphs);
void WriteMinigames(Out& out, Glyphs& glyphs);
// Their own texts, for the font, and those of them the game prints.
std::vector<std::string> BattleTexts();
std::vector<std::string> MinigameTexts();
std::vector<std::string> BattlePrintedTexts();
std::vector<std::string> MinigamePrintedTexts();

}  // namespace testsupport::sample
