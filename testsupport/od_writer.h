#pragma once
// Minigame data files for tests: od files (OdWriter, UniversalOd), sprite files of minigame
// frames (on the scene engine's sprite-file writer), tile grids, and save\minigame.dat images.
//
// od layout (little-endian): 512 image offsets, 512 animation offsets, 256 script offsets, 256
// text offsets, then the records from byte 6144 in the order they were added.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "testsupport/spr_writer.h"

namespace testsupport {

class OdWriter {
 public:
  // Tables, by their byte offset in the file.
  static constexpr uint32_t kImages = 0;
  static constexpr uint32_t kAnimations = 2048;
  static constexpr uint32_t kScripts = 4096;
  static constexpr uint32_t kTexts = 5120;
  static constexpr uint32_t kRecords = 6144;

  // Image records: a solid rectangle (flag 8 added) or a picture file's path.
  OdWriter& Solid(int slot, int16_t width, int16_t height, uint8_t red, uint8_t green,
                  uint8_t blue, uint16_t flags = 0);
  OdWriter& Path(int slot, const std::string& path, uint16_t flags = 0);

  // Animations from frames: simple (image, steps) and composite (parts, steps); ended by -1.
  struct Part {
    uint16_t image = 0;  // low 12 bits; 0x1000 mirror left-right, 0x2000 up-down
    int16_t x = 0;
    int16_t y = 0;
  };
  struct Frame {
    std::vector<Part> parts;  // one part without offsets: a simple frame
    int16_t steps = 1;
    bool composite = false;
  };
  static Frame Simple(uint16_t image, int16_t steps);
  static Frame Composite(std::vector<Part> parts, int16_t steps);
  OdWriter& Animation(int n, const std::vector<Frame>& frames);

  // Motion-script opcodes.
  struct Op {
    uint16_t code = 0;
    std::vector<int16_t> args;
  };
  static Op End() { return {0, {}}; }
  static Op SetPos(int16_t x, int16_t y) { return {1, {x, y}}; }
  static Op SetAnim(int16_t n) { return {2, {n}}; }
  static Op MoveTo(int16_t x, int16_t y, int16_t speed) { return {3, {x, y, speed}}; }
  static Op Wait(int16_t n) { return {4, {n}}; }
  static Op WaitMove() { return {5, {}}; }
  static Op WaitAnim() { return {6, {}}; }
  static Op Flag(int16_t bit, int16_t on) { return {7, {bit, on}}; }
  static Op Sound(int16_t n) { return {8, {n}}; }
  OdWriter& Script(int n, const std::vector<Op>& ops);

  // A zero-terminated text (Big5 bytes as given).
  OdWriter& Text(int n, const std::string& text);

  // Raw bytes as a record; returns its offset. Entry: any table entry set to any offset.
  uint32_t Raw(const std::vector<uint8_t>& bytes);
  OdWriter& Entry(uint32_t table, int index, uint32_t offset);

  std::vector<uint8_t> Build() const;

 private:
  uint32_t Add(const std::vector<uint8_t>& bytes);
  std::map<uint32_t, uint32_t> entries_;  // table byte position -> offset
  std::vector<uint8_t> records_;
};

// The colour of slot i in UniversalOd: distinct for every slot in both pixel layouts.
uint32_t UniversalColour(int slot);
// Slot i a 16 x 16 solid rectangle of UniversalColour(i), animation n a one-frame loop of image
// n mod 512, text n "T<n>" except the numbers in `empty_texts` (the voice and music texts of a
// game), which stay empty unless set.
OdWriter UniversalOd(const std::vector<int>& empty_texts = {});

// ---- Sprite files of minigame frames ----

// Paletted frames (colour table in directory entry 0, frame table in 1, word 2 = 0): format 0
// for 4-bit frames (Encode4Bit), kSprDepth8 for 8-bit ones (Encode8Bit).
std::vector<uint8_t> MgPalettedSpr(const std::vector<SprRgb>& colours,
                                   const std::vector<SprImage>& frames);
// A direct-colour frame: RGB555 pixels row by row, LZSS-packed.
SprImage MgDirectFrame(uint16_t width, uint16_t height, const std::vector<uint16_t>& rgb555);
// Direct-colour frames (word 2 = 1, the decoder word of packed 16-bit pixels).
std::vector<uint8_t> MgDirectSpr(const std::vector<SprImage>& frames);

// ---- Tile maps ----

constexpr uint16_t kTileSolid = 0x4000;
constexpr uint16_t kTileFront = 0x8000;
// u16 cells from rows of characters: each character's cell from the legend (tile number with
// kTileSolid / kTileFront); characters missing from it give 0.
struct TileGrid {
  TileGrid(const std::vector<std::string>& rows, const std::map<char, uint16_t>& legend);
  int width = 0;
  int height = 0;
  std::vector<uint16_t> cells;
  std::vector<uint8_t> Bytes() const;  // little-endian
};

// ---- save\minigame.dat ----

// 128 bytes: variables 16-47 as little-endian 32-bit values (the map by variable number).
std::vector<uint8_t> MinigameDat(const std::map<int, int32_t>& values);
// Variable 16 + i of a minigame.dat image (0 past its end).
int32_t MinigameDatValue(const std::string& bytes, int var);

}  // namespace testsupport
