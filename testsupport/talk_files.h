#pragma once
// Files of a talking, clickable scene for tests: voice waves, a character picture set with a
// mouth and a hit map, background pictures with hit maps, and item pictures. A picture number
// names two files: "5.spr" (the picture) and "05.spr" (its hit map); both carry both parts.

#include <cstdint>
#include <string>
#include <vector>

#include "testsupport/spr_writer.h"

namespace testsupport {

class GameTree;

// A voice wave of `frames` sixtieths of a second (a 22050 Hz mono tone).
std::vector<uint8_t> VoiceWave(int frames);
// "install/tamvik1/voice/NNNN.wav" for a voice number.
void LayVoice(GameTree& tree, int voice, int frames);

// The 17 system sounds (each 12 frames long) under the names the bank loads.
void LaySystemSounds(GameTree& tree);

// A 576 x 320 picture of one colour with a hit table of the rows (record 0).
std::vector<uint8_t> HitPictureFile(SprRgb colour, const std::vector<SprHitRow>& rows);
// Background `n` under both its names: "tamvik1/bg/<n>.spr" and "tamvik1/bg/<nn>.spr".
void LayBackground(GameTree& tree, int n, SprRgb colour, const std::vector<SprHitRow>& rows);

// A character picture set (picture 0, body 0: a 120 x 200 body, two eye cells and six mouth
// cells) with a hit table of the rows.
std::vector<uint8_t> TalkingCharaFile(const std::vector<SprHitRow>& rows);
// Character `n` under both names in "tamvik1/nc/" (the picture loaded as "<n>.spr", the hit map
// from "<nn>.spr").
void LayTalkingChara(GameTree& tree, int n, const std::vector<SprHitRow>& rows);

// Item picture `n`: "tamvik1/item/item<nn>.spr", one colour, 640 x 480 for items 100 and up,
// else 224 x 224.
std::vector<uint8_t> ItemFile(int n);
void LayItem(GameTree& tree, int n);

// A hit row: code and the corners in half pixels from the map's origin.
SprHitRow HitRow(uint16_t code, uint16_t x1, uint16_t y1, uint16_t x2, uint16_t y2);

}  // namespace testsupport
