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

// ---- EYECATCH (scene/script/macro_eyecatch.cpp) ----
// The scene picture closed and silenced, the eyecatch, then the next scene of the succession
// table built and decoded from its word 0 with the stacks reset. A next scene that cannot be
// loaded is a decode error (trace, error state, decoding stopped).
void DecodeEyecatch(GameTaskRec* task);
// The scene ends' silencing (macro_ends.cpp): `first` fades a playing BGM to 0 over 60 frames;
// then, once that fade has ended, volume 100 and every channel and static effect stopped (true).
bool SilenceForSceneEnd(bool first);
