#pragma once
// The battle message: a message of the stage's message table typed into the scene engine's
// message window with its voice, and the per-frame wait for the player that ends it. The wait
// state and auto flag live in Battle().message.

namespace Slg {

// Looks message n up in the stage's message table. Missing: "MessageData not Found!:0x%x %d\n"
// (n twice) and nothing shown. Found: the text typed (with its mouth text), the voice played
// unless the voice-off switch is set; wait state and auto flag := 0. The window words and the
// third word are not read.
void ShowMessage(int a, int b, int ignored, int n);
// One frame of the open message; 1 when it has finished.
//  0: typing -> 0; typed: 1 with the auto flag, else state 1 and 0.
//  1: the key-wait icon shown; cancel or key 2 held stop a playing voice; without them system
//     byte 104 = 1 or story-state byte 11 = 1 stop it. Without OK, cancel, key 2 held or byte 11
//     = 1, or while the voice plays: 0. Else sound effect 15, the icon hidden, the voice stopped,
//     state 2, 0.
//  2 and above: 1.
int MessageWait();
// The message window in style 0 and layer 8 shown (SlgLayerOn(8, 3)).
void OpenMessageWindow();
// The window closed and the layers put back (SlgLayerRestore).
void CloseMessageWindow();

}  // namespace Slg
