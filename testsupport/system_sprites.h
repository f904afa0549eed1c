#pragma once
// The battle's system sprites for tests: one sprite file per System.Tab ID, each frame (sprite
// n, shown by unit n) a filled block in a colour and size of its own, with animation 0 cycling
// through every frame (8 ticks each) and one one-frame animation per frame after it; plus a
// System.Tab writer (typed lines, raw lines for the bad cases). Lay() writes the files where
// LoadSystemSprites finds them ("tamvik2\" in mixed case under the install directory).
//
//   testsupport::SystemSpriteSet sprites;
//   sprites.Lay(rig.driver().tree);   // every file and a System.Tab naming all 23
//   LoadSystemSprites();
//
// Frame counts follow what the battle draws: the cursors 4, the grid marks 6, the command
// window 48 (its frames, icons and cursor animation), the two digit strips 24 ("0"-"9", blanks,
// the negative set, "/" at 11; the B strip from "#"), the gauges (life, kiai 1; large 4: kiai
// full A and B, frame, marker), the info window 4 and the other sprites 4 (continue, yes/no and
// the start menu 6, the whole-map frames 8).

#include <cstdint>
#include <string>
#include <vector>

#include "testsupport/spr_writer.h"

namespace testsupport {

class GameTree;

class SystemSpriteSet {
 public:
  // Frames of the slot's file.
  static int Frames(int slot);
  // The colour and size of frame n of a slot (5-bit channels; never black, never repeated
  // within the set).
  static SprRgb Colour(int slot, int frame);
  static uint32_t ColourRef(int slot, int frame) { return SprColourRef(Colour(slot, frame)); }
  static int Width(int slot, int frame);
  static int Height(int slot, int frame);
  // The file's name as System.Tab gives it ("sys_<slot>.spr") and its bytes.
  static std::string FileName(int slot);
  static std::vector<uint8_t> File(int slot);
  // Writes every slot's file (not those omitted) and System.Tab with a line per slot.
  void Lay(GameTree& tree) const;
  // The slot's file is not written (its line stays in System.Tab).
  SystemSpriteSet& OmitFile(int slot);

 private:
  std::vector<int> omitted_;
};

// System.Tab's text: typed "<ID> <file>" lines and raw lines, CR LF ended.
class SystemTabWriter {
 public:
  SystemTabWriter& Line(const std::string& id, const std::string& file);
  SystemTabWriter& Raw(const std::string& line);
  // A line per slot 0-22 naming SystemSpriteSet::FileName.
  SystemTabWriter& All();
  std::string Text() const;
  void Lay(GameTree& tree) const;
  // The tree path of a file under "tamvik2\".
  static std::string TreeRel(const std::string& file);

 private:
  std::vector<std::string> lines_;
};

}  // namespace testsupport
