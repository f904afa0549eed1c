#include "testsupport/lips_files.h"

#include <string>

#include "testsupport/glyph_font_fixture.h"
#include "testsupport/portrait_writer.h"
#include "testsupport/script_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/wav_writer.h"

namespace testsupport {

std::vector<uint8_t> LipsWindowAPicture() {
  return PlainPictureFile(544, 240, 0, 8, kLipsWindowBorderValue);
}
std::vector<uint8_t> LipsWindowCPicture() {
  return PlainPictureFile(512, 176, 0, 8, kLipsWindowBorderValue);
}
std::vector<uint8_t> LipsBarPicture() { return PlainPictureFile(480, 32, kLipsBarValue); }

std::vector<uint8_t> NeedleSprFile() {
  return SquareAnimationFile({kNeedleColour0, kNeedleColour1}, kLipsNeedleSide, 6);
}
std::vector<uint8_t> SteamSprFile() {
  return SquareAnimationFile({kSteamColour}, kLipsSteamSide, kLipsSteamTicks);
}

std::vector<uint8_t> LipsWave(int16_t level, bool loop) {
  WavFile wav = PcmWav(1, 22050, 16, std::vector<int16_t>(4410, level));
  if (loop) wav.loop_point = 0;
  return wav.Bytes();
}

std::string InstallRel(const std::string& game_name) {
  std::string rel = "install/" + game_name;
  for (char& c : rel) c = c == '\\' ? '/' : c;
  return rel;
}

void LayLipsFiles(GameTree& tree, bool animations) {
  tree.Write(InstallRel("tamvik1\\system\\window\\window_a.spr"), LipsWindowAPicture());
  tree.Write(InstallRel("tamvik1\\system\\window\\window_c.spr"), LipsWindowCPicture());
  tree.Write(InstallRel("tamvik1\\system\\window\\LipsCur.spr"), LipsBarPicture());
  if (animations) {
    tree.Write(InstallRel("tamvik1\\system\\jyouki.spr"), SteamSprFile());
    tree.Write(InstallRel("tamvik1\\system\\R_hari.spr"), NeedleSprFile());
  }
  tree.Write(InstallRel("tamvik1\\system\\SE\\TE06.wav"), LipsWave(3000));
  for (int n = 0; n <= 8; ++n) {
    tree.Write(InstallRel("tamvik1\\system\\SE\\TE06_0" + std::to_string(n) + ".wav"),
               LipsWave(static_cast<int16_t>(3100 + n)));
  }
}

std::string ChoiceText(int lines, int chars) {
  std::string text;
  for (int l = 0; l < lines; ++l) {
    if (l > 0) text += "$$";
    // The fixture font's characters in turn, each line starting at another.
    for (int c = 0; c < chars; ++c) {
      const uint16_t code = kFixtureGlyphs[(l + c) % kFixtureGlyphCount].code;
      text += static_cast<char>(code >> 8);
      text += static_cast<char>(code & 0xFF);
    }
  }
  return text;
}

std::vector<uint8_t> ChoiceMessageTable() {
  MessageTableWriter table;
  for (int lines = 1; lines <= 4; ++lines) {
    table.Add({static_cast<uint16_t>(kChoiceMessageFirst + lines - 1), 5, "a",
               ChoiceText(lines, 4)});
  }
  table.Add({kChoiceMessageLong, 5, "a", ChoiceText(1, 150)});
  return table.Bytes();
}

}  // namespace testsupport
