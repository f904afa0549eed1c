#pragma once
// The eyecatch's files for tests: the window faces (ic01.spr), the chapters' eyecatch pictures,
// the two sub-screen backgrounds, the eyecatch music, and a pair of scenes whose first ends in
// EYECATCH. Every picture is one plain colour of its own, so a frame shows which is up.

#include <cstdint>
#include <string>
#include <vector>

#include "testsupport/script_writer.h"
#include "testsupport/spr_writer.h"

namespace testsupport {

class GameTree;

// ic01.spr: a unit file with two 224 x 256 sprites (unit n shows sprite n), 0 the closed face,
// 1 the open face, each of its own colour.
SprRgb IcatFaceColour(int face);
std::vector<uint8_t> IcatFaceFile();
// tamvik1\icatch\ic<number>.spr: a 640 x 480 picture of the number's colour.
SprRgb EyecatchPictureColour(int number);
std::vector<uint8_t> EyecatchPictureFile(int number);
// The numbers written by LayEyecatchFiles.
constexpr int kEyecatchNumbers[] = {300, 501, 502, 1003};
// The trust view's (shinrai.spr) and the save menu's (sis_bg.spr) 640 x 480 backgrounds.
SprRgb TrustBackgroundColour();
SprRgb SaveBackgroundColour();
std::vector<uint8_t> PlainScreenFile(SprRgb colour);

// Lays into the tree's install directory: ic01.spr, ic0300.spr, ic0501.spr, ic0502.spr,
// ic1003.spr, shinrai.spr, sis_bg.spr, tamvik1\bgm\sm01.wav (a one-second tone that loops), the trust
// panel's face and card files, the walls of chapter 3 (Kabe0300.spr, Kabe0301.spr) and the
// system sounds TE00-TE16 (50 ms each).
void LayEyecatchFiles(GameTree& tree);
// The colour of chapter 3's wall variant (Kabe030<variant>.spr).
SprRgb Chapter3WallColour(int variant);

// The pair of scenes: 0x0303 sets A[1] := 1, P[0] := 2 and calls a sub that holds EYECATCH (so
// a call frame is open at the break; the succession table follows 0x0303 with 0x0304, wall 1);
// after the call A[9] := 9 and MACROEND, never reached. 0x0304 sets A[2] := 2, WAIT 2, then
// MACROEND.
constexpr uint8_t kOpEyecatch = 0x09;
constexpr uint16_t kEyecatchScene = 0x0303;
constexpr uint16_t kAfterEyecatchScene = 0x0304;
// The scene code from which the scene rig starts kEyecatchScene (its row in the table).
constexpr uint16_t kBeforeEyecatchScene = 0x0306;
ScriptWriter& Eyecatch(ScriptWriter& w);
ScriptWriter EyecatchSceneScript();
ScriptWriter AfterEyecatchSceneScript();

}  // namespace testsupport
