#pragma once
// The interpreter's command tasks: the commands that wait run as tasks owned by the decode task.
// Each reads its operands when it starts, holds the continue flag at 0 while it runs, sets it to
// 1 when done and ends by clearing its function; when its owner is gone it ends at once without
// touching the flag.

#include <cstdint>

#include "engine/core/game_task.h"
#include "engine/core/step_task.h"
#include "engine/gfx/gfx_types.h"

class CTamvikMacro;

// Ends a command task: its function cleared, so the list frees it on its next visit (safe from
// inside the task's own function).
inline void EndCommand(GameTaskRec* task) { task->function = nullptr; }

// The head of every command task: when its owner is gone the task ends at once (true), without
// touching the continue flag.
template <class Work>
bool EndedWithOwner(StepTask<Work>& step, GameTaskRec* task) {
  if (!step.OwnerGone()) return false;
  EndCommand(task);
  return true;
}

// The 16-byte block of the command tasks that need only their step (byte 1).
struct CommandWork {
  uint8_t form;
  uint8_t step;
  uint8_t unused[14];
};
static_assert(sizeof(CommandWork) == sizeof(TaskWork));

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
// A message command's end when the scene is stopped under it (PRINT, NoWaitPrint): the typing
// stopped, the voice stopped, the character's mouth idle, no message kept for retyping.
void EndMessageForStop();
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

// ---- Picture commands (scene/script/macro_pictures.cpp) ----
// The cross-fade convention of the picture commands: the caller captures the layers up to the
// changed layer into surface 9 (PictureCapture), makes the change, then PictureCrossFade fades the
// layer in with a phase time of 62 (pictures), 31 (character, window) or 15 (face) over the whole
// screen (null rectangle) or a rectangle. No cross-fade runs while CancelLock is 1 or while the
// screen is faded out: the change is then shown at once (an update of all layers is requested).
// Returns whether a cross-fade started.
void PictureCapture(SurfaceId up_to);
bool PictureCrossFade(SurfaceId layer, uint32_t phase_time, const Rect* rect);
inline constexpr uint32_t kPictureFadeTime = 62;
inline constexpr uint32_t kCharaFadeTime = 31;
inline constexpr uint32_t kFaceFadeTime = 15;
// The picture area, and the picture area with the screen shade's margin.
inline constexpr Rect kPictureArea{32, 16, 608, 336};
inline constexpr Rect kPictureShadeArea{32, 16, 616, 344};

// BG (n, selector, x, y): picture n on layer 5 (selector 0) or 6, scrolled to (2x, 2y) within the
// surface; n = 0 clears the layer. A missing picture leaves the layer cleared (trace) and the
// script goes on. BG does not show the layer.
void DecodeBg(GameTaskRec* task);
// BGON / BGOFF: layers 5-7 with the screen shade shown / hidden through a cross-fade of layer 7.
void DecodeBgon(GameTaskRec* task);
void DecodeBgoff(GameTaskRec* task);
// BGPRI (a, b): layer 6 on top (a nonzero) or 5, with a cross-fade when b is nonzero and the
// backgrounds are shown.
void DecodeBgpri(GameTaskRec* task);
// WALL (w): the window closed, layers 5-7 cleared, the wall of the scene (variant 1 for w = 0)
// shown, the window reopened.
void DecodeWall(GameTaskRec* task);
// CHARA (c, f, x, unused): character c with picture f - 1 at x on layer 7; c = 0 removes it.
// A missing character picture traces, leaves no character shown and the script goes on.
void DecodeChara(GameTaskRec* task);
// FACE (f): face f in the message window with its blink loop; 0 removes the face.
void DecodeFace(GameTaskRec* task);
// SCROLL (layer, direction 0-7, speed s, interval in frames, total moves, wait flag): from the
// tenth frame a layer scroll of layer 5 (layer 0) or 6 by twice the direction's step of s, every
// interval x 1000 / 60 ms; A[1] := 1 at its end. With the wait flag 0 the script goes on at
// once.
void DecodeScroll(GameTaskRec* task);
// The step of SCROLL direction d (0 down, then clockwise to 7 down-right) at speed s; (0, 0)
// for a direction outside 0-7.
void ScrollDirection(int d, int s, int* x, int* y);
// TITLE: the chapter's title card "tamvik1\TITLE\TITLE<chapter>.spr" with its intro sound, for
// 361 frames or until key 0 or 1 is pressed or key 2 held; the window reopened.
void DecodeTitle(GameTaskRec* task);
// ITEM (n, unused): "tamvik1\item\item<nn>.spr" from surface 12 as a sprite on layer 8 (items
// 100 and above the whole screen, others 224 x 224 at 208,64); below 200 it grows from 0 % with
// system sound 1. ITEM 0 removes it (below 100 shrinking, 100-199 growing to 300 %, with system
// sound 2).
void DecodeItem(GameTaskRec* task);

// ---- Sound commands (scene/script/macro_sounds.cpp) ----
// MUSIC (n): the tune faded out over 60 frames, the volume back to 100, the BGM stopped, then
// "tamvik1\bgm\<name>.wav" of table entry n played; 0, the empty names 38-40 and numbers past
// the table leave silence (the last two with a trace).
void DecodeMusic(GameTaskRec* task);
// The BGM name of MUSIC n (1-41); null for 0, the empty names and numbers past the table.
const char* MusicName(int n);
// The inline sound commands, with their operands read from the script: SE (n, two unused):
// the sound effect stopped, then "tamvik1\se\<nnnn>.wav" for n nonzero; PCM (n, one unused):
// the sound effect stopped, then "tamvik1\se\<chapter, 2 digits><n, 3 digits>.wav"; TEFFECT
// (unused, b): system sound 10 when b is 1, else 11. Decoding goes on in the same pass.
void PlaySeFile(CTamvikMacro& macro);
void PlayPcmFile(CTamvikMacro& macro);
void DecodeTeffect(CTamvikMacro& macro);

// ---- SPECIAL's command tasks (scene/script/macro_sub_commands.cpp) ----
// The screen fades: faded-out flag set (out) or cleared (in), a black or white fade over A[0] &
// 255 frames.
void DecodeFadeout(GameTaskRec* task);
void DecodeFadein(GameTaskRec* task);
void DecodeWhiteout(GameTaskRec* task);
void DecodeWhitein(GameTaskRec* task);
// BGTONE (A[0] plane, A[1] tone 0-100): the plane's tone task started or retargeted.
void DecodeBgtone(GameTaskRec* task);
// BGFADETONE (A[0] layers 0/1/2, A[1] from, A[2] to, A[3] speed): a cross-fade to the new tone.
void DecodeBgFadetone(GameTaskRec* task);
// The view slides of layers 5-7 (A[0] amplitude, A[1] interval in ms, A[2] swings).
void HSlideTask(GameTaskRec* task);
void VSlideTask(GameTaskRec* task);
// A message that goes on by itself (A[0] message, A[1] wait in ms).
void NoWaitPrint(GameTaskRec* task);
// The extras: the chosen test (A[0]), the extras wall (A[0] 0-3), the CG viewer (A[0] 1-8).
void OM_TestMode(GameTaskRec* task);
void OM_WallChange(GameTaskRec* task);
void OM_HighCg(GameTaskRec* task);
// The viewer's picture n (1-8); null for another number.
const char* HighCgPictureName(int n);
// The background line scroll and the fade control; each runs until its STOP word.
void DecodeLineScroll(GameTaskRec* task);
void DecodeFadeControl(GameTaskRec* task);
// ---- MOVIE (scene/script/macro_movie.cpp) ----
// MOVIE (n): the sounds stopped and the pointer hidden; "Movie\Movie<nnn>.mpg" (n + 100 from
// chapter 8) played in the picture area with its captions (CTamvikMacro::MovieCaption) unless
// the system data's developer switch skips it; key 1 or 3 stops it. Afterwards surface 8 is
// cleared and the movie rectangle cross-faded back to the layers.
void DecodeMovie(GameTaskRec* task);
