#pragma once
// Sprite files (".spr") for tests: the 256-byte header ("ZEVA SPRED" and a directory of 15
// entries of big-endian offset, size and kind) and parts of every kind, written the way the game
// reads them, plus the means to damage them (stored values overridden, raw part bytes, the file
// cut short).
//
// Parts: kind 1 from 5-bit RGB triples (any count, at any place in the part), kind 2 from image
// records with encoders for every depth, kind 12 from hit rows, and kinds 4-10 and 13 (and any
// other) from plain 16-byte records, part header words and the bytes after the records. The
// directory order and the order of the parts in the file are the writer's to choose.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// ---- Part bytes ----

void PutBe16(std::vector<uint8_t>& out, size_t at, uint16_t value);
void PutBe32(std::vector<uint8_t>& out, size_t at, uint32_t value);

// One 16-byte record, filled field by field (big-endian).
struct SprRecord {
  std::array<uint8_t, 16> bytes{};
  SprRecord& U16(int at, uint16_t value);
  SprRecord& U32(int at, uint32_t value);
};

// A part with records: a 16-byte header whose first u16 is the record count (overridable) and
// whose further words are `header_words` (word 1 at byte 2, ...), the records, then `tail`.
std::vector<uint8_t> RecordPart(const std::vector<SprRecord>& records,
                                const std::vector<uint16_t>& header_words = {},
                                const std::vector<uint8_t>& tail = {},
                                std::optional<uint16_t> count = std::nullopt);

// ---- Colour table (kind 1) ----

struct SprRgb {
  uint8_t r = 0, g = 0, b = 0;  // 5 bits each
};
// The colours as big-endian 5-5-5 words (red in the low bits) from byte `palette_at` (16 as the
// game reads them); the part holds exactly the colours given.
std::vector<uint8_t> ColourPart(const std::vector<SprRgb>& colours, size_t palette_at = 16);
// The COLORREF (0x00BBGGRR) a colour-table colour stands for: each channel x 8.
uint32_t SprColourRef(SprRgb colour);

// ---- Image table (kind 2) ----

// Depth codes of the format word.
constexpr uint16_t kSprDepth4 = 0;
constexpr uint16_t kSprDepth8 = 2;
constexpr uint16_t kSprDepth16 = 5;
constexpr uint16_t kSprDepthGrey = 7;  // any code above 4 reads as grey with decoder word 0
constexpr uint16_t kSprPacked = 0x10;  // LZSS packing, with decoder word 1

// Encoders: pixel values row by row from the top.
std::vector<uint8_t> Encode4Bit(int width, int height, const std::vector<uint8_t>& values);
std::vector<uint8_t> Encode8Bit(const std::vector<uint8_t>& values);
// Grey levels g stored as the bytes 255 - g.
std::vector<uint8_t> EncodeGrey(const std::vector<uint8_t>& greys);
// BMX words (bit 15 transparent, bits 14-10 red, 9-5 green, 4-0 blue) as little-endian bytes.
std::vector<uint8_t> EncodeBmx(const std::vector<uint16_t>& words);

struct SprImage {
  SprImage() = default;
  SprImage(uint16_t w, uint16_t h, uint16_t fmt, uint16_t base, std::vector<uint8_t> bytes,
           std::optional<uint32_t> offset = std::nullopt, std::optional<uint32_t> size = std::nullopt)
      : width(w), height(h), format(fmt), palette_base(base), data(std::move(bytes)),
        data_offset(offset), data_size(size) {}

  uint16_t width = 0;
  uint16_t height = 0;
  uint16_t format = 0;  // depth code | packing << 4
  uint16_t palette_base = 0;
  std::vector<uint8_t> data;  // as stored (packed data already packed)
  // Stored values instead of the true ones.
  std::optional<uint32_t> data_offset;
  std::optional<uint32_t> data_size;
};

// Records, then the data of every image in order.
std::vector<uint8_t> ImagePart(const std::vector<SprImage>& images, uint16_t scale_flag = 1,
                               uint16_t decoder = 0);

// ---- Hit table (kind 12) ----

struct SprHitRow {
  uint16_t code = 0;
  std::array<uint16_t, 4> values{};
};
// One record per table; the rows of every table after the records.
std::vector<uint8_t> HitPart(const std::vector<std::vector<SprHitRow>>& tables);

// ---- Unit table (kind 4), animation table (kind 5), battle-map data (kind 13) ----

// One unit entry (20 words, big-endian in the part); the named words, the others zero unless
// set through `words`.
struct SprUnitEntry {
  uint16_t flags = 0;   // word 0: 0x10 / 0x20 mirroring
  int16_t left = 0;     // word 6
  int16_t top = 0;      // word 7
  int16_t centre_x = 0; // word 8
  int16_t right = 0;    // word 10 (inclusive)
  int16_t bottom = 0;   // word 11 (inclusive)
  uint16_t sprite = 0;  // word 15
  int16_t x = 0;        // word 16
  int16_t y = 0;        // word 17
  uint16_t rotation = 0;  // word 18
  std::vector<std::pair<int, uint16_t>> words;  // further (word, value) pairs, applied last
};
// A unit of one entry: sprite `sprite` with its box (0, 0, w - 1, h - 1) at (x, y).
SprUnitEntry BoxEntry(uint16_t sprite, int16_t x, int16_t y, int16_t w, int16_t h);

// Records (u16 count at byte 4), then the entries of every unit in order. `stated` overrides the
// counts the records give (a sum passing the part's end).
std::vector<uint8_t> UnitPart(const std::vector<std::vector<SprUnitEntry>>& units,
                              uint16_t scale_flag = 1,
                              const std::vector<std::optional<uint16_t>>& stated = {});

struct SprFrameSpec {
  uint16_t unit = 0;
  uint16_t wait = 0;  // ticks, or an event code with any bit of 0xF000
};
std::vector<uint8_t> AnimationPart(const std::vector<std::vector<SprFrameSpec>>& animations,
                                   const std::vector<std::optional<uint16_t>>& stated = {});

// Kind 13: header (count, scale flag), then the 16-byte records as 8 big-endian words.
std::vector<uint8_t> SlgMapPart(const std::vector<std::array<uint16_t, 8>>& rows,
                                uint16_t scale_flag = 1);

// ---- The file ----

class SprFileWriter {
 public:
  struct Entry {
    uint32_t kind = 0;
    std::vector<uint8_t> bytes;
    int slot = -1;  // directory entry 0..14; -1 = the next free one
    // Stored values instead of the true ones.
    std::optional<uint32_t> offset;
    std::optional<uint32_t> size;
  };

  // Adds a part; returns it for overrides.
  Entry& Add(uint32_t kind, std::vector<uint8_t> bytes, int slot = -1);
  // Parts are stored in the file in reverse order of adding instead of in order.
  void ReverseData() { reverse_data_ = true; }
  void SetMagic(const std::string& magic) { magic_ = magic; }

  std::vector<uint8_t> Build() const;

 private:
  std::vector<Entry> entries_;
  std::string magic_ = "ZEVA SPRED";
  bool reverse_data_ = false;
};

// A file with colours, images, units and (when any) animations.
std::vector<uint8_t> AnimationFile(const std::vector<SprRgb>& colours,
                                   const std::vector<SprImage>& images,
                                   const std::vector<std::vector<SprUnitEntry>>& units,
                                   const std::vector<std::vector<SprFrameSpec>>& animations,
                                   uint16_t scale_flag = 1);

// A file whose animation n shows, for `ticks`, unit n: a `side` x `side` square of colour n
// (image n, colour-table entry n + 1), so that a frame shows which animation plays.
std::vector<uint8_t> SquareAnimationFile(const std::vector<SprRgb>& colours, int side,
                                         uint16_t ticks);

// A file with a colour table and an image table: the common picture file.
std::vector<uint8_t> PictureFile(const std::vector<SprRgb>& colours,
                                 const std::vector<SprImage>& images, uint16_t scale_flag = 1,
                                 uint16_t decoder = 0);

}  // namespace testsupport
