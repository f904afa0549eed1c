#pragma once
// The shooting game's od file for tests, the benchmark and the sample install: the universal od
// (text 200 left empty, so the result plays no voice) with pictures the size the game shows them:
// the three 1024-pixel strip parts and the seven 160 x 160 scenery pieces.

#include "testsupport/od_writer.h"

namespace testsupport {

constexpr const char* kShotOdPath = "tamvik3\\od\\mg_shot.od";
constexpr int kShotPieceSide = 160;

OdWriter ShotOd();

}  // namespace testsupport
