#include "testsupport/spr_writer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace testsupport {

void PutBe16(std::vector<uint8_t>& out, size_t at, uint16_t value) {
  if (out.size() < at + 2) out.resize(at + 2);
  out[at] = static_cast<uint8_t>(value >> 8);
  out[at + 1] = static_cast<uint8_t>(value);
}

void PutBe32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  PutBe16(out, at, static_cast<uint16_t>(value >> 16));
  PutBe16(out, at + 2, static_cast<uint16_t>(value));
}

SprRecord& SprRecord::U16(int at, uint16_t value) {
  bytes[static_cast<size_t>(at)] = static_cast<uint8_t>(value >> 8);
  bytes[static_cast<size_t>(at) + 1] = static_cast<uint8_t>(value);
  return *this;
}

SprRecord& SprRecord::U32(int at, uint32_t value) {
  U16(at, static_cast<uint16_t>(value >> 16));
  return U16(at + 2, static_cast<uint16_t>(value));
}

std::vector<uint8_t> RecordPart(const std::vector<SprRecord>& records,
                                const std::vector<uint16_t>& header_words,
                                const std::vector<uint8_t>& tail, std::optional<uint16_t> count) {
  std::vector<uint8_t> out(16, 0);
  PutBe16(out, 0, count.value_or(static_cast<uint16_t>(records.size())));
  for (size_t i = 0; i < header_words.size() && i < 7; ++i) PutBe16(out, 2 + 2 * i, header_words[i]);
  for (const SprRecord& record : records) out.insert(out.end(), record.bytes.begin(), record.bytes.end());
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

std::vector<uint8_t> ColourPart(const std::vector<SprRgb>& colours, size_t palette_at) {
  std::vector<uint8_t> out(palette_at, 0);
  for (size_t i = 0; i < colours.size(); ++i) {
    const SprRgb& c = colours[i];
    PutBe16(out, palette_at + 2 * i,
            static_cast<uint16_t>((c.r & 31) | (c.g & 31) << 5 | (c.b & 31) << 10));
  }
  return out;
}

uint32_t SprColourRef(SprRgb c) {
  return uint32_t{c.r & 31u} * 8 | (uint32_t{c.g & 31u} * 8) << 8 | (uint32_t{c.b & 31u} * 8) << 16;
}

std::vector<uint8_t> Encode4Bit(int width, int height, const std::vector<uint8_t>& values) {
  const size_t row_bytes = (static_cast<size_t>(width) + 1) / 2;
  std::vector<uint8_t> out(row_bytes * static_cast<size_t>(height), 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t v = values.at(static_cast<size_t>(y) * width + x) & 0x0F;
      out[y * row_bytes + x / 2] |= (x & 1) != 0 ? v : static_cast<uint8_t>(v << 4);
    }
  }
  return out;
}

std::vector<uint8_t> Encode8Bit(const std::vector<uint8_t>& values) { return values; }

std::vector<uint8_t> EncodeGrey(const std::vector<uint8_t>& greys) {
  std::vector<uint8_t> out(greys.size());
  std::transform(greys.begin(), greys.end(), out.begin(),
                 [](uint8_t g) { return static_cast<uint8_t>(255 - g); });
  return out;
}

std::vector<uint8_t> EncodeBmx(const std::vector<uint16_t>& words) {
  std::vector<uint8_t> out;
  out.reserve(words.size() * 2);
  for (uint16_t w : words) {
    out.push_back(static_cast<uint8_t>(w));
    out.push_back(static_cast<uint8_t>(w >> 8));
  }
  return out;
}

std::vector<uint8_t> ImagePart(const std::vector<SprImage>& images, uint16_t scale_flag,
                               uint16_t decoder) {
  std::vector<SprRecord> records;
  std::vector<uint8_t> data;
  for (const SprImage& image : images) {
    SprRecord r;
    r.U16(0, image.width).U16(2, image.height).U16(4, image.format).U16(6, image.palette_base);
    r.U32(8, image.data_offset.value_or(static_cast<uint32_t>(data.size())));
    r.U32(12, image.data_size.value_or(static_cast<uint32_t>(image.data.size())));
    records.push_back(r);
    data.insert(data.end(), image.data.begin(), image.data.end());
  }
  return RecordPart(records, {scale_flag, decoder}, data);
}

SprUnitEntry BoxEntry(uint16_t sprite, int16_t x, int16_t y, int16_t w, int16_t h) {
  SprUnitEntry e;
  e.sprite = sprite;
  e.x = x;
  e.y = y;
  e.right = static_cast<int16_t>(w - 1);
  e.bottom = static_cast<int16_t>(h - 1);
  e.centre_x = static_cast<int16_t>(w - 1);
  return e;
}

std::vector<uint8_t> UnitPart(const std::vector<std::vector<SprUnitEntry>>& units,
                              uint16_t scale_flag,
                              const std::vector<std::optional<uint16_t>>& stated) {
  std::vector<SprRecord> records;
  std::vector<uint8_t> entries;
  for (size_t j = 0; j < units.size(); ++j) {
    const uint16_t count = j < stated.size() && stated[j] ? *stated[j]
                                                          : static_cast<uint16_t>(units[j].size());
    records.push_back(SprRecord{}.U16(4, count));
    for (const SprUnitEntry& e : units[j]) {
      std::array<uint16_t, 20> w{};
      w[0] = e.flags;
      w[6] = static_cast<uint16_t>(e.left);
      w[7] = static_cast<uint16_t>(e.top);
      w[8] = static_cast<uint16_t>(e.centre_x);
      w[10] = static_cast<uint16_t>(e.right);
      w[11] = static_cast<uint16_t>(e.bottom);
      w[15] = e.sprite;
      w[16] = static_cast<uint16_t>(e.x);
      w[17] = static_cast<uint16_t>(e.y);
      w[18] = e.rotation;
      for (const auto& [k, v] : e.words) {
        if (k >= 0 && k < 20) w[static_cast<size_t>(k)] = v;
      }
      const size_t at = entries.size();
      entries.resize(at + 40);
      for (size_t k = 0; k < 20; ++k) PutBe16(entries, at + 2 * k, w[k]);
    }
  }
  return RecordPart(records, {scale_flag}, entries);
}

std::vector<uint8_t> AnimationPart(const std::vector<std::vector<SprFrameSpec>>& animations,
                                   const std::vector<std::optional<uint16_t>>& stated) {
  std::vector<SprRecord> records;
  std::vector<uint8_t> frames;
  for (size_t j = 0; j < animations.size(); ++j) {
    const uint16_t count = j < stated.size() && stated[j]
                               ? *stated[j]
                               : static_cast<uint16_t>(animations[j].size());
    records.push_back(SprRecord{}.U16(4, count));
    for (const SprFrameSpec& f : animations[j]) {
      const size_t at = frames.size();
      frames.resize(at + 4);
      PutBe16(frames, at, f.unit);
      PutBe16(frames, at + 2, f.wait);
    }
  }
  return RecordPart(records, {}, frames);
}

std::vector<uint8_t> SlgMapPart(const std::vector<std::array<uint16_t, 8>>& rows,
                                uint16_t scale_flag) {
  std::vector<SprRecord> records;
  for (const auto& row : rows) {
    SprRecord r;
    for (int k = 0; k < 8; ++k) r.U16(2 * k, row[static_cast<size_t>(k)]);
    records.push_back(r);
  }
  return RecordPart(records, {scale_flag});
}

std::vector<uint8_t> AnimationFile(const std::vector<SprRgb>& colours,
                                   const std::vector<SprImage>& images,
                                   const std::vector<std::vector<SprUnitEntry>>& units,
                                   const std::vector<std::vector<SprFrameSpec>>& animations,
                                   uint16_t scale_flag) {
  SprFileWriter w;
  w.Add(1, ColourPart(colours));
  w.Add(2, ImagePart(images, scale_flag));
  w.Add(4, UnitPart(units, scale_flag));
  if (!animations.empty()) w.Add(5, AnimationPart(animations));
  return w.Build();
}

std::vector<uint8_t> HitPart(const std::vector<std::vector<SprHitRow>>& tables) {
  std::vector<SprRecord> records;
  std::vector<uint8_t> rows;
  for (const auto& table : tables) {
    SprRecord r;
    r.U32(0, static_cast<uint32_t>(rows.size())).U16(4, static_cast<uint16_t>(table.size()));
    records.push_back(r);
    for (const SprHitRow& row : table) {
      const size_t at = rows.size();
      rows.resize(at + 16, 0);
      PutBe16(rows, at, row.code);
      for (size_t k = 0; k < 4; ++k) PutBe16(rows, at + 2 + 2 * k, row.values[k]);
    }
  }
  return RecordPart(records, {}, rows);
}

SprFileWriter::Entry& SprFileWriter::Add(uint32_t kind, std::vector<uint8_t> bytes, int slot) {
  Entry entry;
  entry.kind = kind;
  entry.bytes = std::move(bytes);
  entry.slot = slot;
  entries_.push_back(std::move(entry));
  return entries_.back();
}

std::vector<uint8_t> SprFileWriter::Build() const {
  std::vector<uint8_t> out(256, 0);
  std::memcpy(out.data(), magic_.data(), std::min<size_t>(magic_.size(), 16));
  // Directory slots: the chosen ones, then the rest in order.
  std::vector<int> slots(entries_.size(), -1);
  std::array<bool, 15> used{};
  for (size_t i = 0; i < entries_.size(); ++i) {
    const int slot = entries_[i].slot;
    if (slot < 0) continue;
    if (slot >= 15 || used[static_cast<size_t>(slot)]) throw std::invalid_argument("sprite file slot");
    used[static_cast<size_t>(slot)] = true;
    slots[i] = slot;
  }
  for (size_t i = 0, next = 0; i < entries_.size(); ++i) {
    if (slots[i] >= 0) continue;
    while (next < 15 && used[next]) ++next;
    if (next == 15) throw std::invalid_argument("more than 15 parts");
    used[next] = true;
    slots[i] = static_cast<int>(next);
  }
  std::vector<size_t> order(entries_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = reverse_data_ ? order.size() - 1 - i : i;
  for (size_t i : order) {
    const Entry& e = entries_[i];
    const size_t at = 16 + 16 * static_cast<size_t>(slots[i]);
    PutBe32(out, at, e.offset.value_or(static_cast<uint32_t>(out.size())));
    PutBe32(out, at + 4, e.size.value_or(static_cast<uint32_t>(e.bytes.size())));
    PutBe32(out, at + 8, e.kind);
    out.insert(out.end(), e.bytes.begin(), e.bytes.end());
  }
  return out;
}

std::vector<uint8_t> SquareAnimationFile(const std::vector<SprRgb>& colours, int side,
                                         uint16_t ticks) {
  std::vector<SprRgb> table{{0, 0, 0}};
  std::vector<SprImage> images;
  std::vector<std::vector<SprUnitEntry>> units;
  std::vector<std::vector<SprFrameSpec>> animations;
  const auto s = static_cast<uint16_t>(side);
  const size_t pixels = static_cast<size_t>(side) * static_cast<size_t>(side);
  for (size_t n = 0; n < colours.size(); ++n) {
    table.push_back(colours[n]);
    images.emplace_back(s, s, kSprDepth8, 0, std::vector<uint8_t>(pixels, static_cast<uint8_t>(n + 1)));
    units.push_back({BoxEntry(static_cast<uint16_t>(n), 0, 0, static_cast<int16_t>(side),
                              static_cast<int16_t>(side))});
    animations.push_back({{static_cast<uint16_t>(n), ticks}});
  }
  return AnimationFile(table, images, units, animations);
}

std::vector<uint8_t> PictureFile(const std::vector<SprRgb>& colours,
                                 const std::vector<SprImage>& images, uint16_t scale_flag,
                                 uint16_t decoder) {
  SprFileWriter writer;
  writer.Add(1, ColourPart(colours));
  writer.Add(2, ImagePart(images, scale_flag, decoder));
  return writer.Build();
}

}  // namespace testsupport
