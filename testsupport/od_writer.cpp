#include "testsupport/od_writer.h"

#include <stdexcept>

#include "platform/little_endian.h"
#include "testsupport/lzss_writer.h"

namespace testsupport {

namespace {

void Word(std::vector<uint8_t>& out, int32_t v) { platform::PutLe16(out, static_cast<uint32_t>(v)); }

}  // namespace

uint32_t OdWriter::Add(const std::vector<uint8_t>& bytes) {
  const uint32_t at = kRecords + static_cast<uint32_t>(records_.size());
  records_.insert(records_.end(), bytes.begin(), bytes.end());
  return at;
}

OdWriter& OdWriter::Entry(uint32_t table, int index, uint32_t offset) {
  entries_[table + 4 * static_cast<uint32_t>(index)] = offset;
  return *this;
}

uint32_t OdWriter::Raw(const std::vector<uint8_t>& bytes) { return Add(bytes); }

OdWriter& OdWriter::Solid(int slot, int16_t width, int16_t height, uint8_t red, uint8_t green,
                          uint8_t blue, uint16_t flags) {
  std::vector<uint8_t> r;
  Word(r, flags | 8);
  Word(r, width);
  Word(r, height);
  Word(r, red);
  Word(r, green);
  Word(r, blue);
  return Entry(kImages, slot, Add(r));
}

OdWriter& OdWriter::Path(int slot, const std::string& path, uint16_t flags) {
  std::vector<uint8_t> r;
  Word(r, flags & ~8u);
  r.insert(r.end(), path.begin(), path.end());
  r.push_back(0);
  return Entry(kImages, slot, Add(r));
}

OdWriter::Frame OdWriter::Simple(uint16_t image, int16_t steps) {
  return Frame{{Part{image, 0, 0}}, steps, false};
}

OdWriter::Frame OdWriter::Composite(std::vector<Part> parts, int16_t steps) {
  return Frame{std::move(parts), steps, true};
}

OdWriter& OdWriter::Animation(int n, const std::vector<Frame>& frames) {
  std::vector<uint8_t> r;
  for (const Frame& f : frames) {
    if (!f.composite) {
      Word(r, f.parts.empty() ? 0 : f.parts[0].image);
    } else {
      Word(r, -2 - (static_cast<int32_t>(f.parts.size()) - 1));
      for (const Part& p : f.parts) {
        Word(r, p.image);
        Word(r, p.x);
        Word(r, p.y);
      }
    }
    Word(r, f.steps);
  }
  Word(r, -1);
  return Entry(kAnimations, n, Add(r));
}

OdWriter& OdWriter::Script(int n, const std::vector<Op>& ops) {
  std::vector<uint8_t> r;
  for (const Op& op : ops) {
    Word(r, op.code);
    for (int16_t a : op.args) Word(r, a);
  }
  return Entry(kScripts, n, Add(r));
}

OdWriter& OdWriter::Text(int n, const std::string& text) {
  std::vector<uint8_t> r(text.begin(), text.end());
  r.push_back(0);
  return Entry(kTexts, n, Add(r));
}

std::vector<uint8_t> OdWriter::Build() const {
  std::vector<uint8_t> out(kRecords, 0);
  for (const auto& [at, offset] : entries_) platform::SetLe32(out.data() + at, offset);
  out.insert(out.end(), records_.begin(), records_.end());
  return out;
}

uint32_t UniversalColour(int slot) {
  const uint32_t r = static_cast<uint32_t>(slot % 32) * 8;
  const uint32_t g = static_cast<uint32_t>(slot / 32 % 16) * 8 + 64;
  const uint32_t b = 200;
  return r | g << 8 | b << 16;
}

OdWriter UniversalOd(const std::vector<int>& empty_texts) {
  OdWriter w;
  for (int i = 0; i < 512; ++i) {
    const uint32_t c = UniversalColour(i);
    w.Solid(i, 16, 16, static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8),
            static_cast<uint8_t>(c >> 16));
    w.Animation(i, {OdWriter::Simple(static_cast<uint16_t>(i % 512), 1)});
  }
  for (int n = 0; n < 256; ++n) {
    bool empty = false;
    for (int e : empty_texts) empty = empty || e == n;
    w.Text(n, empty ? "" : "T" + std::to_string(n));
  }
  return w;
}

std::vector<uint8_t> MgPalettedSpr(const std::vector<SprRgb>& colours,
                                   const std::vector<SprImage>& frames) {
  SprFileWriter w;
  w.Add(1, ColourPart(colours), 0);
  w.Add(2, ImagePart(frames, 1, 0), 1);
  return w.Build();
}

SprImage MgDirectFrame(uint16_t width, uint16_t height, const std::vector<uint16_t>& rgb555) {
  std::vector<uint8_t> raw;
  for (uint16_t p : rgb555) platform::PutLe16(raw, p);
  return SprImage(width, height, 0, 0, LzssEncode(raw));
}

std::vector<uint8_t> MgDirectSpr(const std::vector<SprImage>& frames) {
  SprFileWriter w;
  w.Add(1, ColourPart({}), 0);
  w.Add(2, ImagePart(frames, 1, 1), 1);
  return w.Build();
}

TileGrid::TileGrid(const std::vector<std::string>& rows, const std::map<char, uint16_t>& legend) {
  height = static_cast<int>(rows.size());
  for (const std::string& row : rows) width = std::max(width, static_cast<int>(row.size()));
  cells.assign(static_cast<size_t>(width) * height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < static_cast<int>(rows[y].size()); ++x) {
      const auto it = legend.find(rows[y][x]);
      cells[static_cast<size_t>(y) * width + x] = it != legend.end() ? it->second : 0;
    }
  }
}

std::vector<uint8_t> TileGrid::Bytes() const {
  std::vector<uint8_t> out;
  for (uint16_t c : cells) platform::PutLe16(out, c);
  return out;
}

std::vector<uint8_t> MinigameDat(const std::map<int, int32_t>& values) {
  std::vector<uint8_t> out(128, 0);
  for (const auto& [var, value] : values) {
    if (var < 16 || var > 47) throw std::out_of_range("minigame.dat holds variables 16-47");
    platform::SetLe32(out.data() + 4 * (var - 16), static_cast<uint32_t>(value));
  }
  return out;
}

int32_t MinigameDatValue(const std::string& bytes, int var) {
  const size_t at = 4 * static_cast<size_t>(var - 16);
  if (var < 16 || at + 4 > bytes.size()) return 0;
  return static_cast<int32_t>(
      platform::GetLe32(reinterpret_cast<const uint8_t*>(bytes.data()) + at));
}

}  // namespace testsupport
