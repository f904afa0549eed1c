// Writes a small data tree for watching the maker logo, the staff card and the opening in the
// game's window (tools/logo_demo): full-screen pictures of plain colour bands for every picture
// of the sequence, caption sprites (bars of their own widths) and the generated test movie as
// the logo movie and both openings, and the title's pictures, animation set and petal wipe.
// Nothing in it comes from anywhere else.
//
//   tamvik_logo_demo_data <install directory> <working directory>
//
// The working directory gets the test glyph fonts the program needs to start.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ffmpeg/test_movie.h"
#include "testsupport/glyph_font_fixture.h"
#include "testsupport/petal_wipe_writer.h"
#include "testsupport/spr_writer.h"

namespace {

using testsupport::SprImage;
using testsupport::SprRgb;

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// A 640 x 480 picture of horizontal bands in the colours given.
SprImage Bands(uint8_t first_index, int count) {
  std::vector<uint8_t> pixels(640 * 480);
  for (int y = 0; y < 480; ++y) {
    const auto value = static_cast<uint8_t>(first_index + y * count / 480);
    for (int x = 0; x < 640; ++x) pixels[static_cast<size_t>(y) * 640 + x] = value;
  }
  return SprImage(640, 480, testsupport::kSprDepth8, 0, pixels);
}

std::vector<uint8_t> PictureOf(const std::vector<SprRgb>& bands) {
  std::vector<SprRgb> colours{{0, 0, 0}};
  colours.insert(colours.end(), bands.begin(), bands.end());
  return testsupport::PictureFile(colours, {Bands(1, static_cast<int>(bands.size()))});
}

// One run of a width, split into pieces of at most 254 with empty runs of the other kind between.
void AddRun(testsupport::PetalLine& line, int length) {
  while (length > 254) {
    line.push_back(254);
    line.push_back(0);
    length -= 254;
  }
  line.push_back(static_cast<uint8_t>(length));
}

// 45 frames: pink growing from the left on every line, 15 pixels wider each frame.
std::vector<uint8_t> PetalFrames() {
  std::vector<testsupport::PetalFrame> frames;
  for (int n = 0; n < 45; ++n) {
    const int painted = std::min(640, 15 * (n + 1));
    testsupport::PetalLine line{0};  // no skipped run first
    AddRun(line, painted);
    if (painted < 640) AddRun(line, 640 - painted);
    frames.emplace_back(480, line);
  }
  return testsupport::PetalWipeFile(frames);
}

// The title's animation set: animations 0-12, each one unit of one 128 x 128 square in its own
// colour (sprite 4, the fly-in picture, among them).
std::vector<uint8_t> TitleAnimations() {
  std::vector<SprRgb> colours;
  for (int i = 0; i < 13; ++i) {
    colours.push_back({static_cast<uint8_t>(31 - 2 * i), static_cast<uint8_t>(8 + i),
                       static_cast<uint8_t>(2 * i)});
  }
  return testsupport::SquareAnimationFile(colours, 128, 30);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tamvik_logo_demo_data <install directory> <working directory>\n");
    return 2;
  }
  const std::filesystem::path root(argv[1]);
  const std::filesystem::path cwd(argv[2]);
  const std::filesystem::path system = root / "tamvik1" / "system";
  bool ok = true;
  const testsupport::GlyphFontFiles font = testsupport::MakeGlyphFont();
  ok &= WriteFile(cwd / "CHT.DAT", font.cht);
  ok &= WriteFile(cwd / "CHT24.DAT", font.cht24);
  ok &= WriteFile(cwd / "ENG12.DAT", font.eng12);
  ok &= WriteFile(system / "zevalogo.spr", PictureOf({{31, 8, 8}, {24, 4, 4}}));
  // LOGO.spr: pictures 0-3 (2 is never shown).
  std::vector<SprRgb> colours{{0, 0, 0}, {8, 31, 8}, {8, 8, 31}, {31, 31, 31}, {31, 31, 8}};
  ok &= WriteFile(system / "LOGO.spr",
                  testsupport::PictureFile(colours, {Bands(1, 1), Bands(2, 1), Bands(3, 1),
                                                     Bands(4, 1)}));
  ok &= WriteFile(system / "mstaff.spr", PictureOf({{8, 31, 31}, {4, 20, 20}, {2, 10, 10}}));
  ok &= WriteFile(system / "minitamv.spr", PictureOf({{31, 8, 31}, {20, 4, 20}}));
  ok &= WriteFile(system / "sis_bg2.spr", PictureOf({{16, 12, 8}, {12, 8, 4}}));
  ok &= WriteFile(system / "sis_bg3.spr", PictureOf({{8, 12, 16}, {4, 8, 12}}));

  // Caption sprites 0-16: bars 24 pixels high, ending 40 pixels before the caption area's edge.
  static constexpr int kHalfX[17] = {104, 80, 96, 88, 104, 104, 96, 88, 72,
                                     89,  88, 80, 96, 88, 104, 96, 104};
  std::vector<SprRgb> caption_colours{{0, 0, 0}};
  std::vector<SprImage> images;
  std::vector<std::vector<testsupport::SprUnitEntry>> units;
  for (int s = 0; s < 17; ++s) {
    const auto width = static_cast<uint16_t>(608 - 2 * kHalfX[s] - 40);
    caption_colours.push_back({static_cast<uint8_t>(31 - s), 31, static_cast<uint8_t>(8 + s)});
    images.emplace_back(width, 24, testsupport::kSprDepth8, 0,
                        std::vector<uint8_t>(static_cast<size_t>(width) * 24,
                                             static_cast<uint8_t>(s + 1)));
    units.push_back({testsupport::BoxEntry(static_cast<uint16_t>(s), 0, 0,
                                           static_cast<int16_t>(width), 24)});
  }
  ok &= WriteFile(system / "karaoke.spr",
                  testsupport::AnimationFile(caption_colours, images, units, {}));

  // The title.
  ok &= WriteFile(system / "title.spr", TitleAnimations());
  ok &= WriteFile(system / "tl_bg0.spr", PictureOf({{4, 8, 20}, {8, 12, 24}, {12, 16, 28}}));
  ok &= WriteFile(system / "tl_rogo0.spr", PictureOf({{31, 28, 20}, {1, 1, 1}}));
  ok &= WriteFile(system / "op_win.spr", PictureOf({{20, 24, 31}, {16, 20, 28}}));
  ok &= WriteFile(system / "hana.bin", PetalFrames());

  // The movies: the generated test movie (the openings long enough for a few captions).
  std::filesystem::create_directories(root / "Movie");
  std::string error;
  platform::ffmpeg::TestMovieOptions logo;
  logo.width = 320;
  logo.height = 240;
  logo.frames = 75;
  ok &= platform::ffmpeg::WriteTestMovie((root / "Movie" / "Vexlogo.mpg").string(), logo, &error);
  platform::ffmpeg::TestMovieOptions opening = logo;
  opening.frames = 25 * 30;
  opening.tone_start = 1.0;
  for (const char* name : {"Movie000.mpg", "Movie100.mpg"}) {
    ok &= platform::ffmpeg::WriteTestMovie((root / "Movie" / name).string(), opening, &error);
  }
  if (!ok) {
    std::fprintf(stderr, "tamvik_logo_demo_data: writing failed %s\n", error.c_str());
    return 1;
  }
  return 0;
}
