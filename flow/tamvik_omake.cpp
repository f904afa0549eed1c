// The extras' three list screens, the movie test's insert-disc prompt and caption overlay, and the
// sequence entry the script's extras command reaches them by.

#include "flow/tamvik_omake.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/text/text_big5.h"
#include "engine/gfx/text/text_draw.h"
#include "engine/gfx/window/window.h"
#include "engine/input/dinput.h"
#include "engine/movie/movie.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/game_sequences.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/movie_captions.h"
#include "scene/script/tamvik_macro.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

using omake::ListState;
using omake::Screen;

namespace {

constexpr int kKeyDecide = 0, kKeyCancel = 1, kKeyStart = 3, kKeyUp = 5, kKeyDown = 6,
              kKeyLeft = 7, kKeyRight = 8;
constexpr int kSeOpen = 1, kSeClose = 2, kSeMove = 3, kSeDecide = 4;
constexpr uint8_t kResultNone = 0, kResultChosen = 1, kResultLeave = 2;
constexpr int kMusicFadeFrames = 60;
constexpr uint32_t kBlackFadePhaseMs = 62;
constexpr const char* kWallDirectory = "tamvik1\\WALL\\";

// The 16-byte work block of every extras screen: byte 1 the step.
struct OmakeWork {
  uint8_t form;
  uint8_t step;
  uint8_t unused[14];
};
static_assert(sizeof(OmakeWork) == 16);

// A screen's extra block: the list state and what the screen holds.
struct ScreenState {
  ListState list;
  Screen screen;
  uint8_t disc;          // the disc the prompt asks for
  uint8_t retry;         // the prompt's answer: 1 try again, 0 back to the list
  uint8_t playing;       // the task started the movie that may still play
  uint8_t picture_open;  // a chosen picture is shown
  uint8_t cursor_shown;
  int16_t mouse_x, mouse_y;
  CTamvikOmake* self;
  SprAnm* window_file;
  SprAnm* icon_file;
  WindowRec* window;
  AnimeHandle window_anime;
  WindowRec* prompt;
  AnimeHandle prompt_anime;
  SprRec* picture;
  SprBufferEntry* picture_entry;
  AnimeHandle picture_anime;
  SprBufferEntry* cursor_entry;
};

inline constexpr StepTaskKind<OmakeWork> kMovieTest{CTamvikOmake::kMovieTestName,
                                                    &CTamvikOmake::MovieTest};
inline constexpr StepTaskKind<OmakeWork> kSoundTest{CTamvikOmake::kSoundTestName,
                                                    &CTamvikOmake::SoundTest};
inline constexpr StepTaskKind<OmakeWork> kPicTest{CTamvikOmake::kPicTestName,
                                                  &CTamvikOmake::PicTest};

// Steps of the screens.
enum : uint8_t {
  kStepOpen = 0,
  kStepOpening = 1,
  kStepList = 2,
  kStepPlay = 10,
  kStepPlaying = 11,
  kStepPromptOpening = 20,
  kStepPrompt = 21,
  kStepPromptClosing = 22,
  kStepMusicFade = 30,
  kStepPictureClosing = 40,
  kStepLeaveFade = 80,
  kStepClosing = 90,
  kStepBlack = 91,
};

std::string Big5(const char* utf8) { return Big5FromUtf8(utf8).value_or(std::string()); }

GameTaskRec* AppendTask(const char* name, TaskFunc function, GameTaskRec* owner,
                        CTamvikOmake* self, Screen screen) {
  OmakeWork* work = nullptr;
  ScreenState* state = nullptr;
  try {
    work = TaskNewBlock<OmakeWork>();
    state = TaskNewBlock<ScreenState>();
  } catch (const std::bad_alloc&) {
    if (work != nullptr) TaskFreeBlock(work);
    DebugPrint("%s: no memory\n", name);
    return nullptr;
  }
  state->self = self;
  state->screen = screen;
  CGameTask& list = Ctx().game_task;
  if (list.SetTask(owner, function, name, work, state) == 0) return nullptr;
  for (GameTaskRec* t = list.root()->next; t != nullptr; t = t->next) {
    if (t->work == work) return t;
  }
  return nullptr;
}

ScreenState& StateOf(GameTaskRec* record) { return *static_cast<ScreenState*>(record->extra); }

void UpdateAll() { Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1); }

// ---- What each screen shows ----

struct ScreenShape {
  const char* wall;
  const char* window_file;
  Rect frame, inner, text;
  int page_sprite_offset;
  Rect page_area;
  uint8_t last_page;
};

const ScreenShape& ShapeOf(Screen screen) {
  static const ScreenShape kMovie{"omake1", CTamvikOmake::kMovieWindowFile, CTamvikOmake::kMovieFrame,
                                  CTamvikOmake::kMovieInner, CTamvikOmake::kMovieInner, 0,
                                  Rect{0, 0, 500, 376}, 6};
  static const ScreenShape kSound{"omake3", CTamvikOmake::kSoundWindowFile, CTamvikOmake::kSoundFrame,
                                  CTamvikOmake::kSoundInner, CTamvikOmake::kSoundInner, 7,
                                  Rect{0, 0, 480, 376}, 4};
  static const ScreenShape kPicture{"omake2", CTamvikOmake::kPictureWindowFile,
                                    CTamvikOmake::kPictureFrame, CTamvikOmake::kPictureInner,
                                    CTamvikOmake::kPictureText, 0, Rect{0, 0, 208, 384}, 1};
  switch (screen) {
    case Screen::kMovie: return kMovie;
    case Screen::kSound: return kSound;
    default: return kPicture;
  }
}

// The title shown for list entry i of the screen (the locked title in the picture test).
const std::string* TitleOf(const ScreenState& s, int i) {
  const CTamvikOmake& o = *s.self;
  const size_t k = static_cast<size_t>(i);
  switch (s.screen) {
    case Screen::kMovie: return k < o.movies.size() ? &o.movies[k].title : nullptr;
    case Screen::kSound: return k < o.sounds.size() ? &o.sounds[k].title : nullptr;
    default: return k < o.pictures.size() ? &o.pictures[k].title : nullptr;
  }
}

const std::string* PictureFileOf(const ScreenState& s, int i) {
  const size_t k = static_cast<size_t>(i);
  return k < s.self->pictures.size() ? &s.self->pictures[k].file : nullptr;
}

omake::HasContent ContentOf(const ScreenState& s) {
  return [&s](int i) {
    const std::string* title = TitleOf(s, i);
    if (title != nullptr && !title->empty()) return true;
    if (s.screen != Screen::kPicture) return false;
    const std::string* file = PictureFileOf(s, i);
    return file != nullptr && !file->empty();
  };
}

void DrawText(ScreenState& s, const std::string& text, int x, int y, ColorRef color) {
  if (s.window == nullptr || text.empty()) return;
  Ctx().ddraw_window.DrawText(s.window, CDdrawWindow::kTextSprite, text.c_str(), x, y,
                              s.self->Font(), color, 0xC0C0C0);
}

// The page picture (and the picture test's icons) into the window's second piece.
void DrawPage(ScreenState& s) {
  if (s.window == nullptr) return;
  const ScreenShape& shape = ShapeOf(s.screen);
  CDdrawFunc& ddraw = Ctx().ddraw;
  CDdrawSpr& spr = Ctx().ddraw_spr;
  CTamvikSpr& tamvik_spr = Scene().tamvik_spr;
  Ctx().ddraw_window.ClearTextPiece(s.window, CDdrawWindow::kTextSprite);
  ddraw.ClearSurface(SURFACE_SCRATCH, 1);
  SprRec* page = tamvik_spr.GetAnmUnitSprID(
      s.window_file, static_cast<uint32_t>(s.list.page + shape.page_sprite_offset));
  if (page != nullptr) spr.PutSprite(page, 0, 0, SURFACE_SCRATCH, 0);
  if (s.screen == Screen::kPicture) {
    for (int cell = 0; cell < omake::kRowsPerPage; ++cell) {
      const int index = s.list.page * omake::kRowsPerPage + cell;
      const std::string* file = PictureFileOf(s, index);
      if (file == nullptr || file->empty()) continue;
      // Icons 1-6 for entries 0-5, 7-13 for entries 8-14; the exits have none.
      int icon = -1;
      if (index <= 5) icon = index + 1;
      if (index >= 8 && index <= 14) icon = index - 1;
      if (icon < 0) continue;
      SprRec* sprite = tamvik_spr.GetAnmUnitSprID(s.icon_file, static_cast<uint32_t>(icon));
      if (sprite != nullptr) {
        spr.PutSprite(sprite, 32 + 72 * (cell % 2), 56 + 72 * (cell / 2), SURFACE_SCRATCH, 1);
      }
    }
  }
  Ctx().ddraw_window.BltToPiece(s.window, CDdrawWindow::kFrameSprite, shape.page_area,
                                shape.page_area, SURFACE_SCRATCH, 1);
  UpdateAll();
}

void DrawTitles(ScreenState& s) {
  if (s.window == nullptr) return;
  Ctx().ddraw_window.ClearTextPiece(s.window, CDdrawWindow::kTextSprite);
  for (int row = 0; row < omake::kRowsPerPage; ++row) {
    const std::string* title = TitleOf(s, s.list.page * omake::kRowsPerPage + row);
    if (title == nullptr) continue;
    if (s.screen == Screen::kPicture) {
      DrawText(s, *title, 12 + 72 * (row % 2), 28 + 72 * (row / 2), CTamvikOmake::kTextColor);
    } else {
      DrawText(s, *title, 12, 12 + 34 * row, CTamvikOmake::kTextColor);
    }
  }
  if (s.screen != Screen::kPicture) {
    if (s.list.highlighted != 0) {
      const std::string* title = TitleOf(s, s.list.Index());
      if (title != nullptr) DrawText(s, *title, 12, 12 + 34 * s.list.row, CTamvikOmake::kChosenColor);
    }
  } else {
    CDdrawSpr& spr = Ctx().ddraw_spr;
    if (s.cursor_entry != nullptr) spr.DeleteBuffer(&s.cursor_entry);
    if (s.list.highlighted != 0 && ContentOf(s)(s.list.Index())) {
      SprRec* cursor = Scene().tamvik_spr.GetAnmUnitSprID(s.icon_file, 0);
      const Rect& frame = CTamvikOmake::kPictureFrame;
      if (cursor != nullptr) {
        s.cursor_entry = spr.SetBuffer(CDdrawSpr::kBuffered, cursor,
                                       frame.left + 32 + 72 * (s.list.row % 2),
                                       frame.top + 56 + 72 * (s.list.row / 2), SURFACE_TEXT, 1,
                                       CTamvikOmake::kCursorPriority);
      }
    }
  }
  UpdateAll();
}

void Redraw(ScreenState& s) {
  if (s.list.page_changed != 0) DrawPage(s);
  if (s.list.page_changed != 0 || s.list.redraw != 0) DrawTitles(s);
  s.list.page_changed = 0;
  s.list.redraw = 0;
}

void StartWindowAnime(WindowRec* window, AnimeHandle* anime, bool open) {
  CDdrawAnime& list = Ctx().anime;
  if (*anime != nullptr) list.DeleteRef(anime);
  if (window == nullptr) return;
  const int from = open ? 0 : 100;
  const int to = open ? 100 : 0;
  // 100 percent over 200 ms: 12 frames.
  *anime = list.CreateWindowAnime(window, from, to, 100, from, to, 100, 1, 200);
  if (*anime != nullptr) list.SetAutoClear(anime);
}

void DeleteWindow(WindowRec** window, AnimeHandle* anime) {
  if (*anime != nullptr) Ctx().anime.DeleteRef(anime);
  if (*window != nullptr) Ctx().ddraw_window.Delete(window);
  UpdateAll();
}

WindowRec* MakeWindow(Rect frame, Rect inner, Rect text) {
  WindowRec* window = Ctx().ddraw_window.Create(SURFACE_TEXT, frame, inner, text,
                                                CTamvikOmake::kWindowColor,
                                                CTamvikOmake::kWindowStyle);
  if (window == nullptr) {
    DebugPrint("CTamvikOmake: the window could not be made\n");
    return nullptr;
  }
  Ctx().ddraw_window.SetOpen(window, 0, 0);
  return window;
}

void ClosePicture(ScreenState& s, bool animated) {
  CDdrawAnime& anime = Ctx().anime;
  if (s.picture_anime != nullptr) anime.DeleteRef(&s.picture_anime);
  if (animated && s.picture != nullptr) {
    // 100 -> 0 percent, one step a frame: 12 frames.
    s.picture_anime = anime.CreateSpriteAnime(s.picture, 100, 0, 9, 100, 0, 9, 1, 16);
    if (s.picture_anime != nullptr) anime.SetAutoClear(&s.picture_anime);
    PlaySystemSe(kSeClose);
    return;
  }
  CDdrawSpr& spr = Ctx().ddraw_spr;
  if (s.picture_entry != nullptr) spr.DeleteBuffer(&s.picture_entry);
  if (s.picture != nullptr) spr.DeleteSprite(&s.picture);
  s.picture_open = 0;
  UpdateAll();
}

// Everything the screen holds (the list, the files, the windows, the sprites).
void Release(ScreenState& s) {
  CMovie& movie = Ctx().movie;
  if (s.playing != 0) {
    if (movie.GetMovieState() != kMovieNone) movie.Stop();
    movie.SetOverlayCallback(nullptr);
    s.playing = 0;
  }
  ClosePicture(s, false);
  if (s.cursor_entry != nullptr) Ctx().ddraw_spr.DeleteBuffer(&s.cursor_entry);
  DeleteWindow(&s.prompt, &s.prompt_anime);
  DeleteWindow(&s.window, &s.window_anime);
  if (s.window_file != nullptr) TamvikFunc::ReleaseAnmFile(s.window_file);
  if (s.icon_file != nullptr) TamvikFunc::ReleaseAnmFile(s.icon_file);
  CTamvikOmake& o = *s.self;
  switch (s.screen) {
    case Screen::kMovie: o.movies = {}; break;
    case Screen::kSound: o.sounds = {}; break;
    default: o.pictures = {}; break;
  }
}

// The list built, the wall and the window files loaded, the window made with its first page and
// opening (sound 1).
void OpenScreen(ScreenState& s) {
  CTamvikOmake& o = *s.self;
  const SystemData& system = *GetSystemData();
  switch (s.screen) {
    case Screen::kMovie: o.movies = omake::BuildMovieList(system.endingsSeen()); break;
    case Screen::kSound: o.sounds = omake::BuildSoundList(); break;
    default: o.pictures = omake::BuildPictureList(system.picturesSeen()); break;
  }
  const ScreenShape& shape = ShapeOf(s.screen);
  char wall[64];
  std::snprintf(wall, sizeof wall, "%s%s%s", kWallDirectory, shape.wall, ".spr");
  if (TamvikFunc::LoadPicture(wall, 0, 0, 0, SURFACE_ROOT) == 0) {
    DebugPrint("CTamvikOmake: no %s\n", wall);
  }
  s.window_file = TamvikFunc::LoadAnmFile(shape.window_file);
  if (s.window_file == nullptr) DebugPrint("CTamvikOmake: no %s\n", shape.window_file);
  if (s.screen == Screen::kPicture) {
    s.icon_file = TamvikFunc::LoadAnmFile(CTamvikOmake::kPictureIconFile);
    if (s.icon_file == nullptr) DebugPrint("CTamvikOmake: no %s\n", CTamvikOmake::kPictureIconFile);
  }
  s.list = ListState{};
  s.list.last_page = shape.last_page;
  s.list.page_changed = 1;
  s.list.redraw = 1;
  s.mouse_x = static_cast<int16_t>(Ctx().input.GetMouseX());
  s.mouse_y = static_cast<int16_t>(Ctx().input.GetMouseY());
  s.window = MakeWindow(shape.frame, shape.inner, shape.text);
  Redraw(s);
  StartWindowAnime(s.window, &s.window_anime, true);
  PlaySystemSe(kSeOpen);
  UpdateAll();
}

// One frame of a list screen: the mouse, then the keys; the result lands in s.list.result.
void ListFrame(ScreenState& s) {
  ListState& list = s.list;
  const omake::HasContent has = ContentOf(s);
  const CDinput& input = Ctx().input;
  const int mx = input.GetMouseX();
  const int my = input.GetMouseY();
  const bool moved = mx != s.mouse_x || my != s.mouse_y;
  s.mouse_x = static_cast<int16_t>(mx);
  s.mouse_y = static_cast<int16_t>(my);
  const bool decide = IsKeyTriggered(kKeyDecide) != 0;
  list.result = kResultNone;

  // The mouse: a tab by decide while no row is highlighted, then the rows when the pointer moved.
  if (decide && list.highlighted == 0) {
    const int tab = omake::TabAt(s.screen, mx, my, list.last_page);
    if (tab >= 0) {
      list.page = static_cast<uint8_t>(tab);
      list.page_changed = 1;
      list.redraw = 1;
      list.force_mouse = 1;
      PlaySystemSe(kSeDecide);
      Redraw(s);
      return;
    }
  }
  if (moved || list.force_mouse != 0) {
    list.force_mouse = 0;
    const uint8_t was_highlighted = list.highlighted;
    const uint8_t was_row = list.row;
    std::vector<std::string> titles;
    for (int row = 0; row < omake::kRowsPerPage; ++row) {
      const std::string* title = TitleOf(s, list.page * omake::kRowsPerPage + row);
      titles.push_back(title != nullptr ? *title : std::string());
    }
    list.highlighted = 0;
    const int row = omake::RowAt(s.screen, mx, my, titles);
    if (row >= 0) {
      list.highlighted = 1;
      list.row = static_cast<uint8_t>(row);
    }
    if (list.highlighted != was_highlighted || (list.highlighted != 0 && list.row != was_row)) {
      PlaySystemSe(kSeMove);
      list.redraw = 1;
    }
  }

  // The keys.
  bool moved_cursor = false;
  if (s.screen == Screen::kPicture) {
    if (IsKeyTriggered(kKeyUp) != 0) moved_cursor = omake::GridUp(list, has);
    else if (IsKeyTriggered(kKeyDown) != 0) moved_cursor = omake::GridDown(list, has);
    else if (IsKeyTriggered(kKeyLeft) != 0) moved_cursor = omake::GridLeft(list, has);
    else if (IsKeyTriggered(kKeyRight) != 0) moved_cursor = omake::GridRight(list, has);
  } else {
    if (IsKeyTriggered(kKeyUp) != 0) moved_cursor = omake::RowUp(list, has);
    else if (IsKeyTriggered(kKeyDown) != 0) moved_cursor = omake::RowDown(list, has);
    else if (IsKeyTriggered(kKeyLeft) != 0) moved_cursor = omake::PageLeft(list, has);
    else if (IsKeyTriggered(kKeyRight) != 0) moved_cursor = omake::PageRight(list, has);
  }
  if (moved_cursor) {
    list.highlighted = 1;
    list.redraw = 1;
    PlaySystemSe(kSeMove);
  }

  if (IsKeyTriggered(kKeyCancel) != 0) {
    list.result = kResultLeave;
  } else if (decide && list.highlighted != 0) {
    if (list.row == list.last_row) {
      PlaySystemSe(kSeDecide);
      list.result = kResultLeave;
    } else if (s.screen == Screen::kPicture) {
      const std::string* file = PictureFileOf(s, list.Index());
      if (file != nullptr && !file->empty()) {
        PlaySystemSe(kSeDecide);
        list.result = kResultChosen;
      }
    } else if (has(list.Index())) {
      PlaySystemSe(kSeDecide);
      list.result = kResultChosen;
    }
  }
  Redraw(s);
}

// Starts closing the screen's window (sound 2).
void StartClosing(ScreenState& s) {
  StartWindowAnime(s.window, &s.window_anime, false);
  PlaySystemSe(kSeClose);
}

// ---- The movie test ----

bool MoviesSkipped() { return GetSystemData()->skipMovie() != 0; }

// The movie of the highlighted row looked for and played; false when it is not found (the prompt
// then asks for its disc).
bool TryMovie(ScreenState& s) {
  CTamvikOmake& o = *s.self;
  const omake::MovieEntry& entry = o.movies[static_cast<size_t>(s.list.Index())];
  CDsoundFunc& sound = Ctx().dsound;
  sound.StopStaticSE(-1);
  sound.StopSE();
  sound.StopBGM();
  o.ResetCaptions(entry.file.c_str());
  char name[64];
  std::snprintf(name, sizeof name, "%s%s%s", "Movie\\", entry.file.c_str(), ".mpg");
  char path[kPathMax] = {};
  if (Ctx().file_io.FindFileAll(name, path) == 0) {
    DebugPrint("%s is not Found Please Insert CD%d\n", name, entry.disc);
    s.disc = entry.disc;
    return false;
  }
  CMovie& movie = Ctx().movie;
  CTamvikOmake* self = s.self;
  movie.SetOverlayCallback([self] { self->CaptionOverlay(); });
  DebugPrint("Play Movie %s\n", name);
  if (TamvikFunc::PlayMovie(name) != 0) {
    s.playing = 1;
  } else {
    // Found but refused by the player: counts as played.
    movie.SetOverlayCallback(nullptr);
  }
  return true;
}

void OpenPrompt(ScreenState& s) {
  s.prompt = MakeWindow(CTamvikOmake::kPromptFrame, CTamvikOmake::kPromptInner,
                        CTamvikOmake::kPromptInner);
  const char* text = "";
  switch (s.disc) {
    case 1: text = "請放入『TAMVIK』ＣＤ壹"; break;
    case 2: text = "請放入『TAMVIK』ＣＤ貳"; break;
    case 3: text = "請放入『TAMVIK』ＣＤ參"; break;
    default: break;
  }
  const std::string big5 = Big5(text);
  if (s.prompt != nullptr && !big5.empty()) {
    Ctx().ddraw_window.DrawText(s.prompt, CDdrawWindow::kTextSprite, big5.c_str(), 8, 3,
                                s.self->Font(), CTamvikOmake::kChosenColor, 0xC0C0C0);
  }
  StartWindowAnime(s.prompt, &s.prompt_anime, true);
  PlaySystemSe(kSeOpen);
}

bool OwnerGoneEnds(StepTask<OmakeWork>& task, ScreenState& s) {
  if (!task.OwnerGone()) return false;
  Release(s);
  task.End();
  return true;
}

// The steps every screen begins with: the screen opened, then its window's opening waited out
// before the list. True when this frame's step was one of them (or the owner was gone).
bool OpeningSteps(StepTask<OmakeWork>& task, ScreenState& s) {
  if (OwnerGoneEnds(task, s)) return true;
  switch (task.step()) {
    case kStepOpen:
      OpenScreen(s);
      task.GoTo(kStepOpening);
      return true;
    case kStepOpening:
      if (s.window_anime != nullptr) return true;
      UpdateAll();
      task.GoTo(kStepList);
      return true;
    default:
      return false;
  }
}

// The closing step of the movie and picture tests: once the window has shut, the trace, the
// screen released and the task ended.
void CloseWhenShut(StepTask<OmakeWork>& task, ScreenState& s, const char* trace) {
  if (s.window_anime != nullptr) return;
  DebugPrint("%s\n", trace);
  Release(s);
  task.End();
}

}  // namespace

// ---- The object ----

CTamvikOmake::CTamvikOmake() = default;
CTamvikOmake::~CTamvikOmake() = default;

int CTamvikOmake::StartMovieTest(GameTaskRec* owner) {
  DebugPrint("SetTask %s\n", kMovieTestName);
  return AppendTask(kMovieTestName, &MovieTest, owner, this, Screen::kMovie) != nullptr ? 1 : 0;
}

int CTamvikOmake::StartSoundTest(GameTaskRec* owner) {
  DebugPrint("SetTask %s\n", kSoundTestName);
  return AppendTask(kSoundTestName, &SoundTest, owner, this, Screen::kSound) != nullptr ? 1 : 0;
}

int CTamvikOmake::StartPicTest(GameTaskRec* owner) {
  DebugPrint("SetTask %s\n", kPicTestName);
  return AppendTask(kPicTestName, &PicTest, owner, this, Screen::kPicture) != nullptr ? 1 : 0;
}

bool CTamvikOmake::IsMovieTestEnd() { return !kMovieTest.IsRunning(Ctx().game_task); }
bool CTamvikOmake::IsSoundTestEnd() { return !kSoundTest.IsRunning(Ctx().game_task); }
bool CTamvikOmake::IsPicTestEnd() { return !kPicTest.IsRunning(Ctx().game_task); }

const GameFont* CTamvikOmake::Font() {
  if (font_ == nullptr) {
    font_ = std::make_unique<GameFont>();
    font_->height = 32;
    font_->width = 16;
    font_->weight = 500;
    font_->char_set = 128;
    font_->pitch_and_family = 0x31;
    font_->face_name = Big5("標楷體");
  }
  return font_.get();
}

void CTamvikOmake::ResetCaptions(const char* file) {
  caption_index = 0;
  caption_shown = 0;
  caption_series = 0;
  caption_number = -1;
  // "MOVIE" + series digit + two-digit number; anything else has no captions.
  if (file == nullptr || std::strlen(file) != 8 || std::strncmp(file, "MOVIE", 5) != 0) return;
  const char s = file[5];
  const char a = file[6];
  const char b = file[7];
  if ((s != '0' && s != '1') || a < '0' || a > '9' || b < '0' || b > '9') return;
  const int number = (a - '0') * 10 + (b - '0');
  if (number >= kMovieCaptionColumns) return;
  caption_series = s - '0';
  caption_number = number;
}

void CTamvikOmake::CaptionOverlay() {
  if (!HasScene() || Scene().macro.movie_captions == nullptr) return;
  const MovieCaptionCell* cell =
      FindMovieCaptions(*Scene().macro.movie_captions, caption_series, caption_number);
  if (cell == nullptr || cell->entries == nullptr || caption_index >= cell->count) return;
  const MovieCaptionEntry& entry = cell->entries[caption_index];
  const double now_ms = Ctx().movie.GetPos() * 1000.0;
  CDdrawFunc& ddraw = Ctx().ddraw;
  const Rect area = kCaptionArea;
  if (caption_shown == 0) {
    if (now_ms < entry.start * kMovieCaptionUnitMs) return;
    if (entry.text != nullptr) {
      const int length = static_cast<int>(std::strlen(entry.text));
      // The low 16 bits are the width (the height stands above them).
      const int width = static_cast<int>(CDdrawText::GetTextWidth(entry.text, length) & 0xFFFF);
      Ctx().ddraw_text.DrawTextToSurface(entry.text, length, omake::CaptionX(width), kCaptionY, 0,
                                         0, ddraw.GetSurface(SURFACE_TEXT),
                                         ddraw.GetSurface(SURFACE_BACK), kCaptionColor);
    }
    ddraw.Blt(SURFACE_TEXT, area, SURFACE_PRIMARY, area, 1);
    caption_shown = 1;
    return;
  }
  if (now_ms < entry.end * kMovieCaptionUnitMs) return;
  caption_shown = 0;
  ddraw.Blt(SURFACE_BACK, area, SURFACE_TEXT, area, 1);
  ddraw.Blt(SURFACE_TEXT, area, SURFACE_PRIMARY, area, 1);
  ++caption_index;
}

// ---- The screens ----

void CTamvikOmake::MovieTest(GameTaskRec* record) {
  StepTask<OmakeWork> task(Ctx().game_task, record);
  ScreenState& s = StateOf(record);
  if (OpeningSteps(task, s)) return;
  switch (task.step()) {
    case kStepList:
      ListFrame(s);
      if (s.list.result == kResultLeave) {
        StartClosing(s);
        task.GoTo(kStepClosing);
      } else if (s.list.result == kResultChosen && !MoviesSkipped()) {
        task.GoTo(kStepPlay);
      }
      break;
    case kStepPlay:
      if (!TryMovie(s)) {
        OpenPrompt(s);
        task.GoTo(kStepPromptOpening);
      } else {
        task.GoTo(s.playing != 0 ? kStepPlaying : kStepList);
      }
      break;
    case kStepPlaying: {
      CMovie& movie = Ctx().movie;
      if (movie.GetMovieState() != kMovieNone) {
        if (IsKeyTriggered(kKeyCancel) != 0 || IsKeyTriggered(kKeyStart) != 0) movie.Stop();
        break;
      }
      s.playing = 0;
      movie.SetOverlayCallback(nullptr);
      // The captions went into surface 8: the area back to transparent under the list.
      const Rect& a = kCaptionArea;
      Ctx().ddraw.FillSurfaceRect(SURFACE_TEXT, a.left, a.top, a.right, a.bottom, 1);
      UpdateAll();
      task.GoTo(kStepList);
      break;
    }
    case kStepPromptOpening:
      if (s.prompt_anime != nullptr) break;
      task.GoTo(kStepPrompt);
      break;
    case kStepPrompt:
      if (IsKeyTriggered(kKeyCancel) != 0) {
        s.retry = 0;
      } else if (IsKeyTriggered(kKeyDecide) != 0) {
        s.retry = 1;
      } else {
        break;
      }
      StartWindowAnime(s.prompt, &s.prompt_anime, false);
      PlaySystemSe(kSeClose);
      task.GoTo(kStepPromptClosing);
      break;
    case kStepPromptClosing:
      if (s.prompt_anime != nullptr) break;
      DeleteWindow(&s.prompt, &s.prompt_anime);
      if (s.retry != 0) {
        // A disc may have come in: the drives are read again before the search.
        Ctx().file_io.ScanDrives();
        task.GoTo(kStepPlay);
      } else {
        task.GoTo(kStepList);
      }
      break;
    case kStepClosing:
      CloseWhenShut(task, s, "MovieTestSeq Terminated");
      break;
    default:
      break;
  }
}

void CTamvikOmake::SoundTest(GameTaskRec* record) {
  StepTask<OmakeWork> task(Ctx().game_task, record);
  ScreenState& s = StateOf(record);
  if (OpeningSteps(task, s)) return;
  CDsoundFunc& sound = Ctx().dsound;
  switch (task.step()) {
    case kStepList:
      ListFrame(s);
      if (s.list.result == kResultLeave) {
        sound.SetBGMVolume(0, kMusicFadeFrames);
        task.GoTo(kStepLeaveFade);
      } else if (s.list.result == kResultChosen) {
        sound.SetBGMVolume(0, kMusicFadeFrames);
        task.GoTo(kStepMusicFade);
      }
      break;
    case kStepMusicFade: {
      if (!sound.IsBGMFadeEnd()) break;
      sound.SetBGMVolume(100, 0);
      sound.StopBGM();
      const omake::SoundEntry& entry = s.self->sounds[static_cast<size_t>(s.list.Index())];
      char name[64];
      std::snprintf(name, sizeof name, "%s%s%s", "tamvik1\\bgm\\", entry.file.c_str(), ".wav");
      if (sound.PlayBGM(name) == 0) DebugPrint("CTamvikOmake::SoundTest File Not Found %s\n", name);
      task.GoTo(kStepList);
      break;
    }
    case kStepLeaveFade:
      if (!sound.IsBGMFadeEnd()) break;
      sound.SetBGMVolume(100, 0);
      sound.StopBGM();
      StartClosing(s);
      task.GoTo(kStepClosing);
      break;
    case kStepClosing: {
      if (s.window_anime != nullptr) break;
      DeleteWindow(&s.window, &s.window_anime);
      // The screen goes to black through a cross-fade of layer 8.
      CDdrawFunc& ddraw = Ctx().ddraw;
      ddraw.CaptureLayers(SURFACE_TEXT, SURFACE_XFADE);
      ddraw.ClearSurface(SURFACE_ROOT, 0);
      ddraw.ClearSurface(SURFACE_TEXT, 1);
      TamvikFunc::StartCrossFade(SURFACE_TEXT, kBlackFadePhaseMs);
      task.GoTo(kStepBlack);
      break;
    }
    case kStepBlack:
      if (!IsScreenFadeDone()) break;
      Release(s);
      s.self->DeleteFont();
      DebugPrint("SoundTestSeq Terminated\n");
      task.End();
      break;
    default:
      break;
  }
}

void CTamvikOmake::PicTest(GameTaskRec* record) {
  StepTask<OmakeWork> task(Ctx().game_task, record);
  ScreenState& s = StateOf(record);
  if (OpeningSteps(task, s)) return;
  switch (task.step()) {
    case kStepList:
      ListFrame(s);
      if (s.list.result == kResultLeave) {
        ClosePicture(s, false);
        StartClosing(s);
        task.GoTo(kStepClosing);
      } else if (s.list.result == kResultChosen) {
        if (s.picture_open != 0) {
          ClosePicture(s, true);
          task.GoTo(kStepPictureClosing);
        } else {
          task.GoTo(kStepPlay);
        }
      }
      break;
    case kStepPictureClosing:
      if (s.picture_anime != nullptr) break;
      ClosePicture(s, false);
      task.GoTo(kStepPlay);
      break;
    case kStepPlay: {
      const std::string* file = PictureFileOf(s, s.list.Index());
      char name[64];
      std::snprintf(name, sizeof name, "%s%s%s", "tamvik1\\item\\",
                    file != nullptr ? file->c_str() : "", ".spr");
      CDdrawFunc& ddraw = Ctx().ddraw;
      CDdrawSpr& spr = Ctx().ddraw_spr;
      ddraw.ClearSurface(SURFACE_SCRATCH, 1);
      if (TamvikFunc::LoadPicture(name, 0, 0, 0, SURFACE_SCRATCH) == 0) {
        DebugPrint("CTamvikOmake::PicTest File Not Found %s\n", name);
      }
      const Rect& r = kPictureRect;
      s.picture = spr.CreateSprite(kPictureX, kPictureY, SURFACE_SCRATCH, r.left, r.top, r.right,
                                   r.bottom);
      if (s.picture != nullptr) {
        // The sprite's home is its place; the entry adds no offset.
        s.picture_entry = spr.SetBuffer(CDdrawSpr::kBuffered, s.picture, 0, 0, SURFACE_TEXT, 1);
        spr.SetSpriteScale(s.picture, 0, 0);
        CDdrawAnime& anime = Ctx().anime;
        // 0 -> 100 percent, one step a frame: 12 frames.
        s.picture_anime = anime.CreateSpriteAnime(s.picture, 0, 100, 9, 0, 100, 9, 1, 16);
        if (s.picture_anime != nullptr) anime.SetAutoClear(&s.picture_anime);
        s.picture_open = 1;
        PlaySystemSe(kSeOpen);
      }
      // The page picture on surface 12 was overwritten: the next page change draws it again.
      UpdateAll();
      task.GoTo(kStepList);
      break;
    }
    case kStepClosing:
      CloseWhenShut(task, s, "PicTestSeq Terminated");
      break;
    default:
      break;
  }
}

void FillExtrasSequence(GameSequences& sequences) {
  auto omake = std::make_shared<CTamvikOmake>();
  sequences.extras.start = [omake](GameTaskRec* owner, int which) {
    if (which == 1) {
      omake->StartMovieTest(owner);
    } else if (which == 3) {
      omake->StartPicTest(owner);
    } else {
      omake->StartSoundTest(owner);
    }
  };
  sequences.extras.is_running = [] {
    return !CTamvikOmake::IsMovieTestEnd() || !CTamvikOmake::IsSoundTestEnd() ||
           !CTamvikOmake::IsPicTestEnd();
  };
}
