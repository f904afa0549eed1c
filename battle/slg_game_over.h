#pragma once
// The game-over sequence the battle's game-over task runs once per frame after a lost battle:
// the battle fades out, a full-screen picture (by unit slot 0's kind) fades in with the
// game-over music, and the "Continue:" menu answers 1 (fight again) or 0 (give up). Its globals
// are Battle().game_over (battle/slg_comm_win_state.h). Also the map draw it is the first to need.

#include <cstdint>

namespace Slg {

// The map planes at the battle scroll plus the stage's scroll offset (SlgMap::DrawMap).
void DrawMapNow();
// Clears SlgFlags bits 1 and 2, loads "tamvik2\BG\GO_Telka.spr" (unit slot 0 not of kind 0) or
// "tamvik2\BG\GO_Varno.spr" into surface 12 and makes a sprite of its rectangle
// (Battle().game_over.picture). A picture that does not load makes no sprite. 1 loaded, else 0.
int LoadGameOverPicture();
// One frame of the sequence; *step is the caller's step byte (0 at the start). -1 while running,
// then 1 (item 1, continue) or 0 (item 0, give up). The picture's sprite and entry are deleted
// when the final fade has ended.
int GameOverSeq(uint8_t* step);

}  // namespace Slg
