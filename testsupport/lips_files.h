#pragma once
// Files of the choice window for tests: the window and bar pictures (plain colours, so a captured
// frame shows which is where), the needle and steam animation files (one-frame units, each
// animation a square of its own colour), the time-limit waves and message tables of choice
// texts.

#include <cstdint>
#include <string>
#include <vector>

#include "testsupport/spr_writer.h"

namespace testsupport {

class GameTree;

// Picture values (portrait_writer.h's PortraitColour) of the window backgrounds' borders and the
// bar picture.
constexpr uint8_t kLipsWindowBorderValue = 20;
constexpr uint8_t kLipsBarValue = 70;

// window_a (544 x 240), window_c (512 x 176): an 8-pixel border, keyed inside; LipsCur (480 x 32):
// one value.
std::vector<uint8_t> LipsWindowAPicture();
std::vector<uint8_t> LipsWindowCPicture();
std::vector<uint8_t> LipsBarPicture();

// Side of the needle's and the steam's squares; ticks each one-frame animation shows.
constexpr int kLipsNeedleSide = 16;
constexpr int kLipsSteamSide = 24;
constexpr uint16_t kLipsSteamTicks = 20;
// R_hari.spr: animations 0 and 1 (looping needles); jyouki.spr: animation 0 (the steam).
std::vector<uint8_t> NeedleSprFile();
std::vector<uint8_t> SteamSprFile();
constexpr SprRgb kNeedleColour0{31, 16, 0};
constexpr SprRgb kNeedleColour1{0, 16, 31};
constexpr SprRgb kSteamColour{20, 31, 20};

// A short PCM wave of one level (0.2 s, mono 22050 Hz), optionally with a loop point at 0.
std::vector<uint8_t> LipsWave(int16_t level, bool loop = false);

// Writes every file above into the tree's install directory (names in the case the game asks
// for, under tamvik1\system): the pictures, the animations (unless `animations` is false) and the
// waves TE06 and TE06_00 .. TE06_08.
void LayLipsFiles(GameTree& tree, bool animations = true);
// The install-relative path of a game name ("tamvik1\\system\\x.spr" -> "install/tamvik1/...").
std::string InstallRel(const std::string& game_name);

// Choice texts: the fixture font's Big5 characters with "$$" between the lines. `lines` lines of `chars`
// characters each.
std::string ChoiceText(int lines, int chars);
// A message table of choice texts: ids 11-14 hold 1-4 lines of 4 characters, id 15 one line of
// 150 characters (300 bytes).
std::vector<uint8_t> ChoiceMessageTable();
constexpr uint16_t kChoiceMessageFirst = 11;
constexpr uint16_t kChoiceMessageLong = 15;

}  // namespace testsupport
