#include "fuzz/entries/fuzz_seeds.h"

#include <algorithm>
#include <string>

#include "testsupport/bmp_writer.h"
#include "testsupport/glyph_font_fixture.h"
#include "testsupport/lzss_writer.h"
#include "testsupport/wav_writer.h"

namespace fuzz {

namespace {

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The first n bytes (or all when shorter).
Bytes Head(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + std::min(n, b.size())); }

Bytes Le16(int v) {
  return {static_cast<uint8_t>(v & 0xFF), static_cast<uint8_t>((v >> 8) & 0xFF)};
}

}  // namespace

std::vector<Bytes> LzssSeeds() {
  std::vector<Bytes> seeds;
  const Bytes plain = Text("the ring, the ring and the ring again; 0000000000 zeros too");
  // Round trips.
  seeds.push_back(Cat({1}, plain));
  seeds.push_back(Cat({1}, Bytes(300, 0)));
  // Streams with their exact destination length, a shorter one and a longer one.
  const Bytes packed = testsupport::LzssEncode(plain);
  const int n = static_cast<int>(plain.size());
  seeds.push_back(Cat(Cat({0}, Le16(n)), packed));
  seeds.push_back(Cat(Cat({2}, Le16(n / 2)), packed));
  seeds.push_back(Cat(Cat({4}, Le16(n + 40)), packed));
  // By hand: literals and references into the untouched ring and over what was just written.
  testsupport::LzssStreamWriter w;
  w.Literal('x');
  w.Reference(4078, 5);
  w.Reference(0, 18);
  w.Literal('y');
  w.Reference(4095, 3);
  seeds.push_back(Cat(Cat({0}, Le16(28)), w.bytes()));
  return seeds;
}

std::vector<Bytes> TextFileSeeds() {
  return {
      Cat(Le16(256), Text("first line\r\nsecond line\nthird\n\nlast without a feed")),
      Cat(Le16(8), Text("a line longer than the buffer\nshort\n")),
      Cat(Le16(2), Text("ab\ncd\n")),
      Cat(Le16(1), Text("x\n")),
      Cat(Le16(64), Text("\xA4\xA4\xA4\xE5\r\n\t1\t2\t3\r\n")),
      Cat(Le16(16), Bytes{0, '\n', 0, 0, 'z'}),
  };
}

std::vector<Bytes> GlyphFontSeeds() {
  const testsupport::GlyphFontFiles font = testsupport::MakeGlyphFont();
  // Control: flags, pen x/y, background offset x/y, size - 1, padding.
  auto control = [](uint8_t flags, int x, int y, int bx, int by, uint8_t w, uint8_t h,
                    uint8_t pad) {
    Bytes c{flags};
    for (int v : {x, y, bx, by}) c = Cat(c, Le16(v));
    c.push_back(w);
    c.push_back(h);
    c.push_back(pad);
    return c;
  };
  // "A一中b" and the missing code, then a lead byte at the very end.
  const Bytes text = {'A', 0xA4, 0x40, 0xA4, 0xA4, 'b', 0xA4, 0x48, ' ', 0xA6};
  std::vector<Bytes> seeds;
  seeds.push_back(JoinParts({control(8, 0, 0, 0, 0, 95, 23, 0), font.cht, font.cht24, font.eng12,
                             text}));
  seeds.push_back(JoinParts({control(16, -10, -5, 3, 200, 40, 30, 3), font.cht, font.cht24,
                             font.eng12, text}));
  // Short glyph files and an odd-sized code table.
  Bytes cht = font.cht;
  cht.push_back(0x41);
  seeds.push_back(JoinParts({control(24, 5, 2, 0, 0, 60, 63, 1), cht,
                             Bytes(font.cht24.begin(), font.cht24.begin() + 300),
                             Bytes(font.eng12.begin(), font.eng12.begin() + 1000), text}));
  // A file missing.
  seeds.push_back(JoinParts({control(2, 0, 0, 0, 0, 30, 30, 0), font.cht, font.cht24, font.eng12,
                             text}));
  return seeds;
}

std::vector<Bytes> KeyConfigSeeds() {
  Bytes whole = {0x1C, 0x9C, 0x2D, 0x39, 0x52, 0x2C, 0x1D, 0x9D, 0x2A, 0x36, 0, 0, 0, 0, 0, 0,
                 5,    7,    0,    6,    0,    0,    11,   12,   13,   0,    0, 0, 0, 0, 0, 0};
  Bytes odd = whole;
  odd[16] = 32;
  odd[17] = 0xFF;
  odd[0] = 0xFF;
  return {whole, Bytes(whole.begin(), whole.begin() + 5), Bytes(whole.begin(), whole.begin() + 20),
          odd, Cat(whole, Text("trailing bytes"))};
}

namespace {

std::vector<Bytes> WaveFiles() {
  std::vector<Bytes> files;
  const std::vector<int16_t> tone8k = testsupport::Tone(1, 8000, 400, 440, 9000);
  testsupport::WavFile pcm16 = testsupport::PcmWav(1, 8000, 16, tone8k);
  files.push_back(pcm16.Bytes());
  testsupport::WavFile pcm8 = testsupport::PcmWav(2, 11025, 8, testsupport::Tone(2, 11025, 200,
                                                                                  300, 9000));
  pcm8.loop_point = 40;
  pcm8.between = testsupport::Chunk("LIST", Text("info"));
  files.push_back(pcm8.Bytes());
  if (auto ms = testsupport::EncodedWav(platform::kWaveFormatMsAdpcm, 1, 8000, tone8k, 256)) {
    ms->loop_point = 100;
    files.push_back(ms->Bytes());
  }
  if (auto ima = testsupport::EncodedWav(platform::kWaveFormatImaAdpcm, 2, 8000,
                                         testsupport::Tone(2, 8000, 400, 440, 9000), 256)) {
    ima->trailing = testsupport::Chunk("junk", Bytes(12, 7));
    files.push_back(ima->Bytes());
  }
  if (auto mp2 = testsupport::EncodedWav(platform::kWaveFormatMpeg, 1, 16000,
                                         testsupport::Tone(1, 16000, 2400, 440, 9000))) {
    files.push_back(mp2->Bytes());
  }
  return files;
}

}  // namespace

std::vector<Bytes> WaveHeadSeeds() {
  std::vector<Bytes> seeds = WaveFiles();
  testsupport::WavFile odd = testsupport::PcmWav(1, 22050, 16, {1, 2, 3, 4});
  odd.prefix = Text("garbage before the form");
  odd.short_format = true;
  odd.data_chunk_size = 0x7FFFFFF0u;
  seeds.push_back(odd.Bytes());
  return seeds;
}

std::vector<Bytes> WaveConvertSeeds() {
  std::vector<Bytes> seeds;
  for (const Bytes& file : WaveFiles()) seeds.push_back(Cat({0}, file));
  // Streams driven directly: tag index, channels, rate, block align, chunk length.
  auto control = [](uint8_t tag, uint8_t channels, uint32_t rate, int align, uint8_t chunk) {
    Bytes c{1, tag, 0, channels, static_cast<uint8_t>(rate), static_cast<uint8_t>(rate >> 8),
            static_cast<uint8_t>(rate >> 16)};
    c = Cat(c, Le16(align));
    c.push_back(chunk);
    return c;
  };
  const std::vector<int16_t> tone = testsupport::Tone(1, 8000, 1200, 440, 9000);
  if (auto ms = testsupport::EncodedWav(platform::kWaveFormatMsAdpcm, 1, 8000, tone, 256)) {
    seeds.push_back(JoinParts({control(0, 1, 8000, 256, 20), ms->format_extra,
                               Head(ms->data, 600)}));
  }
  if (auto ima = testsupport::EncodedWav(platform::kWaveFormatImaAdpcm, 1, 8000, tone, 256)) {
    seeds.push_back(JoinParts({control(1, 1, 8000, 256, 7), ima->format_extra,
                               Head(ima->data, 500)}));
  }
  if (auto mp2 = testsupport::EncodedWav(platform::kWaveFormatMpeg, 1, 16000,
                                         testsupport::Tone(1, 16000, 2400, 440, 9000))) {
    seeds.push_back(JoinParts({control(2, 1, 16000, 1, 40), mp2->format_extra, mp2->data}));
  }
  return seeds;
}

std::vector<Bytes> PathSeeds() {
  std::vector<Bytes> seeds;
  for (const char* p : {"Data\\SE.TAB", "data\\voice\\V001.WAV", "save\\system.dat",
                        "Stage\\map01.DAT", "Disk1.id", "..\\outside.txt", "..\\..\\..\\etc",
                        "movie/open.mpg", "C:\\Macro\\0101.mac", "E:Stage\\Map01.dat",
                        "F:\\Disk1.id", "Data\\\\\\SE.TAB", ".\\Data\\.\\se.tab", "Data\\Feed",
                        "\xA4\xA4\\\xA4\xE5.dat"}) {
    seeds.push_back(Text(p));
  }
  return seeds;
}

std::vector<Bytes> SettingsSeeds() {
  return {
      Text("# settings\nInstall Directory = /home/me/games/tamvik\nInstall Style = 0\n"
           "Windowed = 1\n"),
      Text("\xEF\xBB\xBFInstall Directory=/g\r\nWindowed = yes\r\nTrace = On\r\n"),
      Text("Drive E = cdrom /media/cdrom0\nDrive F = cdrom\nDrive C = fixed /home/me\n"
           "Drive Q = floppy\n"),
      Text("Pixel Format = 0555\nInstall Style = 0x2\nWindowed = maybe\nInstal Directory = /x\n"),
      Text("broken line\n=no key\n\n   \t\nTrace=\nkey = value = more\n"),
      Text("Install Style = -99999999999999999999\nInstall Style = +3\n"),
  };
}

std::vector<Bytes> SmallBitmaps(const std::optional<size_t>& cut_to) {
  // A small two-colour picture with a cyan corner; every other form stored top-down.
  testsupport::BmpPicture picture(5, 3, 0x00336699);
  picture.at(0, 0) = 0x00FFFF00;
  std::vector<Bytes> files;
  using testsupport::BmpFormat;
  for (BmpFormat f : {BmpFormat::kPalette1, BmpFormat::kPalette4, BmpFormat::kPalette8,
                      BmpFormat::kRgb555, BmpFormat::kRgb565, BmpFormat::kRgb24,
                      BmpFormat::kRgb32}) {
    testsupport::BmpOptions o;
    o.format = f;
    o.top_down = files.size() % 2 == 1;
    o.cut_to = cut_to;
    files.push_back(testsupport::WriteBmp(picture, o));
  }
  return files;
}

std::vector<Bytes> BmpSeeds() {
  std::vector<Bytes> seeds;
  uint8_t flags = 0;
  for (const Bytes& file : SmallBitmaps()) {
    Bytes control{static_cast<uint8_t>(flags & 0x0F)};
    control = Cat(Cat(control, Le16(flags * 7)), Le16(flags * 3));
    seeds.push_back(JoinParts({control, file}));
    ++flags;
  }
  // Larger than the screen at an offset, so a layer grows.
  testsupport::BmpPicture wide(700, 2, 0x00102030);
  seeds.push_back(JoinParts({Cat(Cat({0}, Le16(30)), Le16(470)), testsupport::WriteBmp(wide)}));
  return seeds;
}

std::vector<Bytes> BmxSeeds() {
  auto control = [](uint8_t flags, int x, int y, int w, int h, int level) {
    Bytes c{flags};
    for (int v : {x, y, w, h, level}) c = Cat(c, Le16(v));
    return c;
  };
  Bytes pixels;
  for (int i = 0; i < 64; ++i) {
    const int word = (i % 5 == 0) ? 0x8000 : (i * 0x0421) & 0x7FFF;
    pixels = Cat(pixels, Le16(word));
  }
  return {Cat(control(0, 0, 0, 8, 8, 256), pixels), Cat(control(5, 10, 20, 16, 4, 128), pixels),
          Cat(control(10, -4, 470, 32, 16, 0), pixels),
          Cat(control(1, 630, 0, 20, 3, 300), pixels)};
}

std::vector<Bytes> StaticSeSeeds() {
  std::vector<Bytes> seeds = WaveFiles();
  testsupport::WavFile odd = testsupport::PcmWav(1, 11025, 8, {100, -100, 200, -200, 300});
  odd.before_format = testsupport::Chunk("fact", Bytes(5, 1));  // an odd chunk: padded
  odd.trailing = testsupport::Chunk("smpl", Bytes(9, 2));
  seeds.push_back(odd.Bytes());
  return seeds;
}

}  // namespace fuzz
