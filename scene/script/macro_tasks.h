#pragma once
// The interpreter's command tasks: the commands that wait run as tasks owned by the decode task.
// Each reads its operands when it starts, holds the continue flag at 0 while it runs, sets it to
// 1 when done and ends by clearing its function; when its owner is gone it ends at once without
// touching the flag.

#include "engine/core/game_task.h"

// Starts the command task of that name under the decode task. A command whose task is not built
// yet is traced and decoding stays stopped.
void StartCommandTask(GameTaskRec* owner, const char* name);

// WAIT: done when the timer has read more than n frames.
void DecodeWait(GameTaskRec* task);
// SELECT (message id) and LIPS (message id, limit in frames): the choice with the message's text
// (scene/ui/tamvik_lips.h), A[0] := its result when it has ended. A message the table does not
// hold gives A[0] = 0 (the time-out answer) at once, with a trace.
void DecodeSelect(GameTaskRec* task);
void DecodeLips(GameTaskRec* task);

// The scene ends (scene/script/macro_ends.cpp): MACROEND (end code 5 after the 3968 ms fade),
// FIGHT (6) and MINIGAME (2, the minigame number and the resume point); each ends the
// interpreter.
void DecodeMacroend(GameTaskRec* task);
void DecodeFight(GameTaskRec* task);
void DecodeMinigame(GameTaskRec* task);

// ---- The town map's commands (scene/script/macro_map.cpp) ----
// DISPMAP and MOVE (start node, floor): the map sequence started; DISPMAP answers the start node
// in A[0], MOVE the node of the place the player picks. GO (target, flag): the puppet walks
// there and the map closes. Without a map sequence each answers the start node and goes on.
void DecodeDispmap(GameTaskRec* task);
void DecodeMove(GameTaskRec* task);
void DecodeGo(GameTaskRec* task);
// Starts the map command task of that name; false for another name.
bool StartMapCommandTask(GameTaskRec* owner, const char* name);

// ---- Messages and clicks (scene/script/macro_print.cpp, macro_click.cpp) ----
// PRINT (message id): the message typed with its voice and the character's mouth, then the
// wait for a key; the menu key opens the option menu (taking an item picture away and back)
// and the message is retyped. A message the table does not hold is traced and skipped.
void DecodePrint(GameTaskRec* task);
// CLICKWAIT: the icon task, a call frame, the hit maps; a click on an active spot after the
// first 30 frames sets A[0] := its code and jumps to the spot's handler.
void DecodeClickwaitToy(GameTaskRec* task);
// The item picture "tamvik1\item\itemNN.spr" into surface 12 and the item sprite made from it
// (items 100 and up 640 x 480 at 0,0, others 224 x 224 at 208,64); a missing file leaves the
// sprite empty.
void MakeItemSprite(int item);

// ---- EYECATCH (scene/script/macro_eyecatch.cpp) ----
// The scene picture closed and silenced, the eyecatch, then the next scene of the succession
// table built and decoded from its word 0 with the stacks reset. A next scene that cannot be
// loaded is a decode error (trace, error state, decoding stopped).
void DecodeEyecatch(GameTaskRec* task);
// The scene ends' silencing (macro_ends.cpp): `first` fades a playing BGM to 0 over 60 frames;
// then, once that fade has ended, volume 100 and every channel and static effect stopped (true).
bool SilenceForSceneEnd(bool first);
