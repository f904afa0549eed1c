#pragma once
// The files a scene needs besides its script, for tests: walls, the background animations of
// scenes 0x0900 and 0x0902, the town map's label file, and the scripts of the scene rig's
// standard scenes. Every picture is one plain colour of its own, so a frame shows which is up.

#include <cstdint>
#include <vector>

#include "testsupport/script_writer.h"
#include "testsupport/spr_writer.h"

namespace testsupport {

class GameTree;

// ---- Pictures ----
// The colour of wall variant `variant` of chapter 1 (Kabe0100.spr, Kabe0101.spr): a 640 x 480
// picture of one colour.
SprRgb WallColour(int variant);
std::vector<uint8_t> WallFile(int variant);
// A background animation file: one animation of one frame, a 16 x 16 square of `colour`.
std::vector<uint8_t> BgAnimeFile(SprRgb colour);
// The theatre's label file tmap2.spr: 98 sprites (4 x 4 squares), unit n showing sprite n,
// animation n playing unit n.
constexpr int kMapLabelUnits = 98;
std::vector<uint8_t> MapLabelFile();

// Lays the scene's picture files into the tree's install directory: the command icons and the
// pointer, the message window's frame, the walls Kabe0100.spr and Kabe0101.spr, the
// background animations 2093.spr and 2238.spr, and tmap2.spr.
void LaySceneFiles(GameTree& tree);

// ---- Scripts ----
// The opcodes of the scene ends and of WAIT, MINIGAME.
constexpr uint8_t kOpMacroend = 0x06;
constexpr uint8_t kOpMinigame = 0x0C;
constexpr uint8_t kOpFight = 0x1F;
ScriptWriter& Macroend(ScriptWriter& w);
ScriptWriter& Fight(ScriptWriter& w);
ScriptWriter& Minigame(ScriptWriter& w, uint16_t n);

// Scene 0x0100: A[1] := 1, WAIT 2, A[2] := 2, MACROEND.
ScriptWriter Scene0100Script();
// Scene 0x0107 and 0x0108: A[1] := 1, WAIT `frames`, A[2] := 2, WAIT 2, MACROEND (the scene's
// skip ends it earlier).
ScriptWriter SkipSceneScript(uint16_t frames);
// Scene 0x0108 with `waits` short WAITs of `frames` each, then A[3] := 3, MACROEND.
ScriptWriter ShortWaitsScript(int waits, uint16_t frames);
// Scene 0x0109: P[90] := P[81] + 1, CALL sub; sub: MINIGAME 4, A[5] := 5, RETURN; then
// A[6] := 6, MACROEND.
ScriptWriter ExtrasScript();
// A scene with MINIGAME n inside a CALL: A[1] := 1, CALL sub, A[3] := 3, MACROEND; sub: A[2] :=
// 2, MINIGAME n, A[4] := A[4] + 1, RETURN.
ScriptWriter MinigameInCallScript(uint16_t n);

}  // namespace testsupport
