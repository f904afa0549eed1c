#pragma once
// What the option screens share: their windows on layer 8 (made with a background picture from a
// sprite file, opened and closed over 12 frames), their texts in font A, and the release of
// everything a screen holds; their work block, how their tasks are appended and the steps that
// wait for a window's opening or closing.

#include <cstdint>
#include <new>
#include <string>

#include "engine/anime/anime_handle.h"
#include "engine/core/debug_trace.h"
#include "engine/core/game_task.h"
#include "engine/gfx/gfx_types.h"

struct SprAnm;
struct WindowRec;

namespace option_parts {

// The UTF-8 text in the game's two-byte text.
std::string Big5(const char* utf8);

// A window on layer 8 with the text rectangle the inner one, shut (open 0 %), with picture 0 of
// the file (when given and present) as its background. Null, with a trace, when it cannot be made.
WindowRec* MakeWindow(Rect frame, Rect inner, ColorRef color, int style, SprAnm* background);
// Starts opening (true) or closing the window over 12 frames; the handle clears itself at the end.
void StartOpen(WindowRec* window, AnimeHandle* anime, bool open);
// Deletes the animation and the window (either may be null).
void DeleteWindow(WindowRec** window, AnimeHandle* anime);
// Text in font A into the window's text sprite at (x, y) of its text rectangle.
void DrawText(WindowRec* window, const std::string& text, int x, int y, ColorRef color);
// Marks every layer for the next compose.
void UpdateAll();

// The 16-byte work block of the option screens that keep nothing of their own in it: byte 0 the
// form, byte 1 the step.
struct ScreenWork {
  uint8_t form;
  uint8_t step;
  uint8_t unused[14];
};
static_assert(sizeof(ScreenWork) == 16);

// Appends a screen's task under the owner with a zeroed work block and extra block (State); the
// record, or null when the list refuses it or memory runs out (traced "<name>: no memory").
template <class Work, class State>
GameTaskRec* AppendScreenTask(CGameTask& list, const char* name, TaskFunc function,
                              GameTaskRec* owner) {
  Work* work = nullptr;
  State* state = nullptr;
  try {
    work = TaskNewBlock<Work>();
    state = TaskNewBlock<State>();
  } catch (const std::bad_alloc&) {
    if (work != nullptr) TaskFreeBlock(work);
    DebugPrint("%s: no memory\n", name);
    return nullptr;
  }
  if (list.SetTask(owner, function, name, work, state) == 0) return nullptr;
  for (GameTaskRec* t = list.root()->next; t != nullptr; t = t->next) {
    if (t->work == work) return t;
  }
  return nullptr;
}

// Starts opening the window with the open sound (1).
void OpenWithSound(WindowRec* window, AnimeHandle* anime);
// Starts closing the window with the close sound (2).
void CloseWithSound(WindowRec* window, AnimeHandle* anime);
// The wait for a window's opening: false while it runs; once it has ended, every layer is marked
// for the next compose and true is returned (the caller moves on).
bool OpeningDone(const AnimeHandle anime);

}  // namespace option_parts
