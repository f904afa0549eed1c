// The title task: intro, music and logo, start prompt, menu, the chosen index and the end.

#include "flow/tamvik_open.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/game_task.h"
#include "engine/core/step_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/text/text_big5.h"
#include "engine/gfx/window/window.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "game/game_context.h"
#include "game/game_sequences.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"

namespace {

constexpr const char* kTitleSpr = "tamvik1\\system\\title.spr";
constexpr const char* kBackground = "tamvik1\\system\\tl_bg0.spr";
constexpr const char* kLogoPicture = "tamvik1\\system\\tl_rogo0.spr";
constexpr const char* kMenuPicture = "tamvik1\\system\\op_win.spr";
constexpr const char* kTitleMusic = "tamvik1\\bgm\\sm01.wav";

// Logical keys.
constexpr int kKeyDecide = 0;
constexpr int kKeyCancel = 1;
constexpr int kKeyStart = 3;
constexpr int kKeyUp = 5;
constexpr int kKeyDown = 6;

// System sounds.
constexpr int kSeMove = 3;
constexpr int kSeChosen = 2;
constexpr int kSeTurn = 29;
constexpr int kSeTurned = 30;
constexpr int kSeFly = 31;
constexpr int kSeLetter = 32;
constexpr int kSeStart = 35;
constexpr int kSeCancel = 36;

// Intro timing, in frames.
constexpr int32_t kBackgroundDelay = 60;
constexpr uint32_t kCrossFadePhaseMs = 62;
constexpr int32_t kAfterFadeFrames = 30;
constexpr int32_t kTurnRestFrames = 60;
constexpr int32_t kFlyRestFrames = 20;
constexpr int32_t kLetterSpacing = 4;
constexpr int32_t kLetterRestFrames = 24;

// The turn-in.
constexpr int kTurnX = 248;
constexpr int kTurnY = 231;
constexpr int kTurnPriority = 2047;
constexpr int kTurnWidth = 256;
constexpr int kTurnDistance = 512;

// The fly-in's picture and its rows.
constexpr uint32_t kFlySprite = 4;
constexpr const char* kRowEntryName = "CTamvikOpen::FlyRow";

// The letters: the animation of each entry, and the entries that bring a sound.
constexpr std::array<uint32_t, 11> kLetterAnimations = {1, 2, 3, 4, 5, 6, 6, 6, 7, 8, 9};
constexpr bool LetterSounds(int entry) { return entry == 0 || entry == 3 || entry == 8; }

// The prompt and the menu.
constexpr uint32_t kPromptAnimation = 12;
constexpr int32_t kPromptFrames = 1200;
constexpr int32_t kPromptCloseDelay = 61;
constexpr int32_t kMenuIdleFrames = 7200;
constexpr ColorRef kWindowColour = 0xFFFF00;
constexpr ColorRef kRowColour = 0x0F0F0F;
constexpr ColorRef kHighlightColour = 0x4040F0;
constexpr Rect kMenuFrame{112, 88, 528, 392};
constexpr Rect kMenuInner{168, 152, 472, 344};
constexpr Rect kMenuText{title::kMenuTextLeft, title::kMenuTextTop, title::kMenuTextRight,
                         title::kMenuTextBottom};
constexpr int kMenuStyle = 8;
constexpr Rect kFullScreen{0, 0, 640, 480};

// Windows open and close by 100 percent over 12 frames (200 ms).
constexpr int kOpenAmount = 100;
constexpr uint32_t kOpenMs = 200;
constexpr int kOpenPercentMode = 1;

// The music's fade at the end.
constexpr int kMusicFadeFrames = 20;
constexpr uint32_t kOptionReturnMode = 0x110;
constexpr int kLoadForm = 0;

struct TitleWork {
  uint8_t form;
  uint8_t step;
  uint8_t reserved[14];
};
static_assert(sizeof(TitleWork) == 16);

struct TitleExtra {
  TitleState* state;
};

TitleState& State(GameTaskRec* record) { return *static_cast<TitleExtra*>(record->extra)->state; }

CTamvikSpr& Units() { return Scene().tamvik_spr; }

int32_t Frames(AnimeHandle timer) { return std::max(Ctx().anime.GetTimer(timer, 0, 0), 0); }

void Restart(TitleState& s) {
  if (s.timer == nullptr) {
    s.timer = Ctx().anime.CreateTimer();
  } else {
    Ctx().anime.ResetTimer(s.timer);
  }
}

// ---- Releasing what the stages hold ----

void FreeRows(TitleState& s) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  for (SprBufferEntry*& entry : s.row_entries) {
    if (entry != nullptr) sprites.DeleteBuffer(&entry);
  }
  for (SprRec*& sprite : s.row_sprites) {
    if (sprite != nullptr) sprites.DeleteSprite(&sprite);
  }
  s.row_entries.clear();
  s.row_sprites.clear();
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

// Whatever of the intro remains: the turned animation, the rows, the letter, the wipe.
void ReleaseIntro(TitleState& s) {
  Units().ReleaseAnm(&s.turn);
  FreeRows(s);
  Units().ReleaseUnit(&s.letter);
  s.wipe.Release();
}

void RestoreLayers(TitleState& s) {
  if (!s.layers_saved) return;
  CDdrawFunc& ddraw = Ctx().ddraw;
  ddraw.RestoreLayerState(&s.layers);
  ddraw.SetClearFlag(s.clear_flag);
  s.layers_saved = false;
}

void DeleteWindow(WindowRec*& window) {
  if (window != nullptr) Ctx().ddraw_window.Delete(&window);
  window = nullptr;
}

void ReleaseAll(TitleState& s) {
  CDdrawAnime& anime = Ctx().anime;
  ReleaseIntro(s);
  RestoreLayers(s);
  Units().ReleaseAnm(&s.prompt);
  anime.DeleteRef(&s.window_anime);
  anime.DeleteRef(&s.fade);
  anime.DeleteRef(&s.timer);
  DeleteWindow(s.logo_window);
  DeleteWindow(s.menu_window);
  TamvikFunc::ReleaseAnmFile(s.title_anm);
}

// ---- The intro ----

SprRec* TitleSprite(const TitleState& s, uint32_t n) {
  if (s.title_anm == nullptr || s.title_anm->unit == nullptr) return nullptr;
  const SprUnit* unit = s.title_anm->unit;
  return n < unit->SprNum() ? unit->sprites[n] : nullptr;
}

AnimeHandle PlayTurn(TitleState& s) {
  if (s.title_anm == nullptr) return nullptr;
  return Units().PlayAnm(s.title_anm, 0, kTurnX, kTurnY, kTurnPriority, 1, SURFACE_ROOT, 1, 0);
}

void SetTurn(TitleState& s, int32_t c) {
  if (s.turn == nullptr || Units().spx() == nullptr) return;
  Units().spx()->SetSpxTurnY(s.turn, title::TurnValue(c), kTurnWidth, kTurnDistance);
}

// Sprite 4 drawn onto surface 12 and cut into one sprite and one entry per pixel row. A row
// whose sprite or entry is refused is skipped (and left out when the rows are freed).
void MakeRows(TitleState& s) {
  CDdrawFunc& ddraw = Ctx().ddraw;
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  SprRec* picture = TitleSprite(s, kFlySprite);
  int width = 0;
  int height = 0;
  if (picture == nullptr || sprites.GetSpriteSize(picture, &width, &height) == 0) {
    DebugPrint("CTamvikOpen: no fly-in picture\n");
    return;
  }
  ddraw.ClearSurface(SURFACE_SCRATCH, 1);
  sprites.PutSprite(picture, 0, 0, SURFACE_SCRATCH, 1);
  s.row_sprites.assign(static_cast<size_t>(height), nullptr);
  s.row_entries.assign(static_cast<size_t>(height), nullptr);
  int refused = 0;
  for (int r = 0; r < height; ++r) {
    const title::RowPlace place = title::FlyRowAt(0, r);
    SprRec* row = sprites.CreateSprite(title::kFlyRowX, r + title::kFlyRowY, SURFACE_SCRATCH, 0,
                                       r, width, r + 1);
    if (row == nullptr) {
      ++refused;
      continue;
    }
    SprBufferEntry* entry =
        sprites.SetBuffer(kRowEntryName, row, place.x, place.y, SURFACE_ROOT, 1);
    if (entry == nullptr) {
      sprites.DeleteSprite(&row);
      ++refused;
      continue;
    }
    s.row_sprites[static_cast<size_t>(r)] = row;
    s.row_entries[static_cast<size_t>(r)] = entry;
  }
  if (refused != 0) DebugPrint("CTamvikOpen: %d fly-in rows refused\n", refused);
  ddraw.SetUpdate(SURFACE_ROOT, 1);
}

void PlaceRows(TitleState& s, int32_t f) {
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  for (size_t r = 0; r < s.row_entries.size(); ++r) {
    if (s.row_entries[r] == nullptr) continue;
    const title::RowPlace place = title::FlyRowAt(f, static_cast<int>(r));
    sprites.SetBufferPos(s.row_entries[r], place.x, place.y);
  }
  Ctx().ddraw.SetUpdate(SURFACE_ROOT, 1);
}

void PutLetter(TitleState& s, int entry) {
  Units().ReleaseUnit(&s.letter);
  if (s.title_anm != nullptr && s.title_anm->unit != nullptr) {
    const uint32_t animation = kLetterAnimations[static_cast<size_t>(entry)];
    const uint16_t unit = Units().GetAnmFrameUnitNo(s.title_anm, animation, 0);
    s.letter = Units().PutUnit(s.title_anm->unit, unit, 0, 0, SURFACE_ROOT, 1);
  }
  if (LetterSounds(entry)) PlaySystemSe(kSeLetter);
}

// One frame of the intro; true once it is over.
bool Intro(TitleState& s) {
  CDdrawFunc& ddraw = Ctx().ddraw;
  const int32_t frames = s.timer != nullptr ? Frames(s.timer) : 0;
  switch (s.sub_step) {
    case CTamvikOpen::kIntroLoad:
      s.title_anm = TamvikFunc::LoadAnmFile(kTitleSpr);
      Restart(s);
      s.sub_step = CTamvikOpen::kIntroBackground;
      return false;
    case CTamvikOpen::kIntroBackground:
      if (frames < kBackgroundDelay) return false;
      ddraw.CaptureLayers(SURFACE_ALL_LAYERS, SURFACE_XFADE);
      ddraw.ClearSurface(SURFACE_ROOT, 0);
      TamvikFunc::LoadSprToSurface(kBackground, 0, 0, 0, SURFACE_ROOT, 0);
      TamvikFunc::StartCrossFade(SURFACE_TEXT, kCrossFadePhaseMs);
      Restart(s);
      s.sub_step = CTamvikOpen::kIntroCrossFade;
      return false;
    case CTamvikOpen::kIntroCrossFade:
      if (!IsScreenFadeDone()) return false;
      s.clear_flag = ddraw.GetClearFlag();
      ddraw.SetClearFlag(0);
      ddraw.SaveLayerState(&s.layers);
      s.layers_saved = true;
      ddraw.SetVisible(SURFACE_ROOT, 1);
      for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) ddraw.SetVisible(id, 0);
      s.sub_step = CTamvikOpen::kIntroAfterFade;
      return false;
    case CTamvikOpen::kIntroAfterFade:
      if (frames < kAfterFadeFrames) return false;
      PlaySystemSe(kSeTurn);
      s.turn = PlayTurn(s);
      SetTurn(s, 0);
      s.turn_previous_frames = 0;
      Restart(s);
      s.sub_step = CTamvikOpen::kIntroTurn;
      return false;
    case CTamvikOpen::kIntroTurn: {
      const int32_t c = title::TurnCount(s.turn_previous_frames);
      if (c >= title::kTurnDoneCount) {
        Units().ReleaseAnm(&s.turn);
        s.turn = PlayTurn(s);
        PlaySystemSe(kSeTurned);
        Restart(s);
        s.sub_step = CTamvikOpen::kIntroTurnRest;
        return false;
      }
      SetTurn(s, c);
      s.turn_previous_frames = frames;
      return false;
    }
    case CTamvikOpen::kIntroTurnRest:
      if (frames < kTurnRestFrames) return false;
      MakeRows(s);
      PlaySystemSe(kSeFly);
      Restart(s);
      s.sub_step = CTamvikOpen::kIntroFly;
      return false;
    case CTamvikOpen::kIntroFly:
      if (frames <= title::kFlyFrames) {
        PlaceRows(s, frames);
        return false;
      }
      PlaceRows(s, title::kFlyFrames);
      if (frames < title::kFlyFrames + kFlyRestFrames) return false;
      FreeRows(s);
      Units().ReleaseAnm(&s.turn);
      s.letter_entry = 0;
      Restart(s);
      s.sub_step = CTamvikOpen::kIntroLetters;
      return false;
    case CTamvikOpen::kIntroLetters: {
      const int last = static_cast<int>(kLetterAnimations.size());
      while (s.letter_entry < last && frames >= kLetterSpacing * s.letter_entry) {
        PutLetter(s, s.letter_entry);
        ++s.letter_entry;
      }
      if (s.letter_entry < last || frames < kLetterSpacing * (last - 1) + kLetterRestFrames) {
        return false;
      }
      s.wipe.Start(Ctx().file_io, ddraw);
      Restart(s);
      s.sub_step = CTamvikOpen::kIntroWipe;
      return false;
    }
    case CTamvikOpen::kIntroWipe:
      return s.wipe.Step(ddraw, frames);
    default:
      return true;
  }
}

// ---- Music and logo, prompt, menu ----

void OpenLogo(TitleState& s) {
  CDdrawFunc& ddraw = Ctx().ddraw;
  ddraw.SetVisible(SURFACE_TEXT, 1);
  ddraw.CaptureLayers(SURFACE_ALL_LAYERS, SURFACE_XFADE);
  ddraw.ClearSurface(SURFACE_TEXT, 1);
  DeleteWindow(s.logo_window);
  s.logo_window = Ctx().ddraw_window.Create(SURFACE_TEXT, kFullScreen, kFullScreen, kFullScreen,
                                            kWindowColour, 0);
  ddraw.ClearSurface(SURFACE_SCRATCH, 1);
  TamvikFunc::LoadSprToSurface(kLogoPicture, 0, 0, 0, SURFACE_SCRATCH, 0);
  if (s.logo_window != nullptr) {
    Ctx().ddraw_window.BltToPiece(s.logo_window, CDdrawWindow::kFrameSprite, kFullScreen,
                                  kFullScreen, SURFACE_SCRATCH, 1);
  }
  ddraw.SetUpdate(SURFACE_TEXT, 1);
}

void MusicAndLogo(TitleState& s) {
  CDdrawFunc& ddraw = Ctx().ddraw;
  RestoreLayers(s);
  for (SurfaceId id = SURFACE_BG; id <= SURFACE_FC; ++id) ddraw.ClearSurface(id, 1);
  ReleaseIntro(s);
  Ctx().dsound.PlayBGM(kTitleMusic);
  OpenLogo(s);
  s.fade = Ctx().anime.CreateFade(256, 0, 64, 1);
  Ctx().anime.SetAutoClear(&s.fade);
}

void StartWindowAnime(TitleState& s, WindowRec* window, int from, int to) {
  CDdrawAnime& anime = Ctx().anime;
  anime.DeleteRef(&s.window_anime);
  s.window_anime = anime.CreateWindowAnime(window, from, to, kOpenAmount, from, to, kOpenAmount,
                                           kOpenPercentMode, kOpenMs);
  anime.SetAutoClear(&s.window_anime);
}

void StartPrompt(TitleState& s) {
  Units().ReleaseAnm(&s.prompt);
  if (s.title_anm != nullptr) {
    s.prompt = Units().PlayAnm(s.title_anm, kPromptAnimation, 0, 0, 0, 1, SURFACE_TEXT, 1, 0);
  }
  Restart(s);
  s.sub_step = 0;
}

void DrawRows(TitleState& s) {
  WindowRec* window = s.menu_window;
  if (window == nullptr) return;
  CDdrawWindow& windows = Ctx().ddraw_window;
  windows.ClearTextPiece(window, CDdrawWindow::kTextSprite);
  for (int i = 0; i < title::kMenuRows; ++i) {
    const title::MenuRow& row = s.rows[static_cast<size_t>(i)];
    if (!row.visible) continue;
    const std::string& text = s.menu_texts[row.index];
    windows.DrawText(window, CDdrawWindow::kTextSprite, text.c_str(), title::kMenuTextX,
                     i * title::kMenuRowHeight, GetFontB(),
                     i == s.row ? kHighlightColour : kRowColour, kRowColour);
  }
  Ctx().ddraw.SetUpdate(window->surface_id, 1);
}

void OpenMenu(TitleState& s) {
  CDdrawFunc& ddraw = Ctx().ddraw;
  DeleteWindow(s.menu_window);
  s.menu_window = Ctx().ddraw_window.Create(SURFACE_TEXT, kMenuFrame, kMenuInner, kMenuText,
                                            kWindowColour, kMenuStyle);
  ddraw.ClearSurface(SURFACE_SCRATCH, 1);
  if (s.menu_window != nullptr &&
      TamvikFunc::LoadSprToSurface(kMenuPicture, 0, 0, 0, SURFACE_SCRATCH, 0) != 0) {
    const Rect size{0, 0, kMenuFrame.right - kMenuFrame.left, kMenuFrame.bottom - kMenuFrame.top};
    Ctx().ddraw_window.BltToPiece(s.menu_window, CDdrawWindow::kFrameSprite, size, size,
                                  SURFACE_SCRATCH, 1);
  }
  const SystemData* system = GetSystemData();
  s.rows = title::BuildMenuRows(system->saveFlags(), system->endingsSeen(),
                                system->cesaMode() != 0);
  s.row = title::FirstRow(s.rows);
  DrawRows(s);
  if (s.menu_window != nullptr) {
    Ctx().ddraw_window.SetOpen(s.menu_window, 0, 0);
    StartWindowAnime(s, s.menu_window, 0, 100);
  }
  Restart(s);
}

// One frame of the menu loop: the chosen index, or nullopt (with `cancelled` on cancel).
std::optional<int> MenuLoop(TitleState& s, bool* cancelled) {
  int row = s.row;
  if (IsKeyTriggered(kKeyUp) != 0) row = title::StepRow(s.rows, row, -1);
  if (IsKeyTriggered(kKeyDown) != 0) row = title::StepRow(s.rows, row, 1);
  const CDinput& input = Ctx().input;
  if (input.IsMouseMoved() != 0) {
    const int under = title::RowAtPoint(s.rows, input.GetMouseX(), input.GetMouseY());
    if (under != title::kNoRow) row = under;
  }
  if (row != s.row && row != title::kNoRow) {
    s.row = row;
    PlaySystemSe(kSeMove);
    DrawRows(s);
    Restart(s);
  }
  if (IsKeyTriggered(kKeyDecide) != 0 || IsKeyTriggered(kKeyStart) != 0) {
    if (s.row >= 0 && s.row < title::kMenuRows) return s.rows[static_cast<size_t>(s.row)].index;
  }
  if (IsKeyTriggered(kKeyCancel) != 0) {
    *cancelled = true;
    return std::nullopt;
  }
  if (Frames(s.timer) >= kMenuIdleFrames) return title::kIdleIndex;
  return std::nullopt;
}

// Sub-steps of step 6.
enum ChosenStage : uint8_t {
  kChosenClose = 0,
  kChosenClosing,
  kChosenOptions,
  kChosenLoad,
};

}  // namespace

// ---- CTamvikOpen ----

std::array<std::string, 9> CTamvikOpen::MenuTexts() {
  static const char* const kTexts[9] = {
      "   開始新遊戲   ", "      選項      ", "   從存檔繼續   ",
      "  從中斷處繼續  ", "    附加劇情    ", "",
      "",                 " TAMVIK特別版 ",  " 迷你遊戲．花牌 ",
  };
  std::array<std::string, 9> texts;
  for (size_t i = 0; i < texts.size(); ++i) texts[i] = Big5FromUtf8(kTexts[i]).value_or("");
  return texts;
}

void CTamvikOpen::StartNewTitleMain(GameTaskRec* owner, TitleState& state) {
  DebugPrint("SetTask %s\n", kTaskName);
  state.title_result = 0;
  auto* extra = TaskNewBlock<TitleExtra>();
  extra->state = &state;
  auto* work = TaskNewBlock<TitleWork>();
  work->step = kIntro;
  state.sub_step = kIntroLoad;
  Ctx().game_task.SetTask(owner, &CTamvikOpen::NewTitleMain, kTaskName, work, extra);
}

bool CTamvikOpen::IsTitleEnd() { return Ctx().game_task.FindTask(kTaskName) == nullptr; }

void CTamvikOpen::NewTitleMain(GameTaskRec* record) {
  StepTask<TitleWork> task(Ctx().game_task, record);
  TitleState& s = State(record);
  if (task.OwnerGone()) {
    ReleaseAll(s);
    task.End();
    return;
  }
  GameSequences& sequences = Game().sequences;
  switch (task.step()) {
    case kIntro:
      if (s.sub_step != kIntroLoad && IsKeyTriggered(kKeyStart) != 0) {
        MusicAndLogo(s);
        task.GoTo(kMusicAndLogo);
        return;
      }
      if (Intro(s)) {
        MusicAndLogo(s);
        task.GoTo(kMusicAndLogo);
      }
      return;
    case kMusicAndLogo:
      if (s.fade != nullptr) return;
      StartPrompt(s);
      task.GoTo(kStartPrompt);
      return;
    case kStartPrompt:
      switch (s.sub_step) {
        case 0:
          if (Frames(s.timer) > kPromptFrames) {
            Units().ReleaseAnm(&s.prompt);
            s.menu_index = title::kIdleIndex;
            s.sub_step = kChosenClose;
            task.GoTo(kChosen);
            return;
          }
          if (IsKeyTriggered(kKeyStart) == 0) return;
          Units().ReleaseAnm(&s.prompt);
          Restart(s);
          PlaySystemSe(kSeStart);
          s.sub_step = 1;
          return;
        case 1:
          if (Frames(s.timer) < kPromptCloseDelay) return;
          StartWindowAnime(s, s.logo_window, 100, 0);
          s.sub_step = 2;
          return;
        default: {
          if (s.window_anime != nullptr) return;
          if (GetSystemData()->cesaMode() == 0) PlaySystemSe(kSeStart);
          const bool deleted =
              s.logo_window != nullptr && Ctx().ddraw_window.Delete(&s.logo_window) != 0;
          s.logo_window = nullptr;
          DebugPrint("%s\n", deleted ? "SUCCESS" : "FALSE");
          task.GoTo(kMenuWindow);
          return;
        }
      }
    case kMenuWindow:
      OpenMenu(s);
      task.GoTo(kMenuLoop);
      return;
    case kMenuLoop: {
      if (s.window_anime != nullptr) return;  // still opening
      bool cancelled = false;
      const std::optional<int> chosen = MenuLoop(s, &cancelled);
      if (cancelled) {
        PlaySystemSe(kSeCancel);
        DeleteWindow(s.menu_window);
        OpenLogo(s);
        StartPrompt(s);
        task.GoTo(kStartPrompt);
        return;
      }
      if (!chosen) return;
      s.menu_index = *chosen;
      s.sub_step = kChosenClose;
      task.GoTo(kChosen);
      return;
    }
    case kChosen:
      switch (s.sub_step) {
        case kChosenClose:
          if (s.menu_window != nullptr) {
            PlaySystemSe(kSeChosen);
            CTamvikIcon::HideMouseCursor();
            StartWindowAnime(s, s.menu_window, 100, 0);
          }
          s.sub_step = kChosenClosing;
          return;
        case kChosenClosing:
          if (s.window_anime != nullptr) return;
          DeleteWindow(s.menu_window);
          if (s.menu_index == 1) {
            if (sequences.option_return_mode) sequences.option_return_mode(kOptionReturnMode);
            sequences.option_menu.Start(record);
            s.sub_step = kChosenOptions;
            return;
          }
          if (s.menu_index == 2) {
            sequences.save_menu.Start(record, kLoadForm);
            s.sub_step = kChosenLoad;
            return;
          }
          s.title_result = static_cast<uint32_t>(title::ResultOfIndex(s.menu_index));
          s.sub_step = 0;
          task.GoTo(kEnd);
          return;
        case kChosenOptions:
          if (sequences.option_menu.IsRunning()) return;
          task.GoTo(kMenuWindow);
          return;
        default:  // kChosenLoad
          if (sequences.save_menu.IsRunning()) return;
          if (sequences.save_menu_loaded && sequences.save_menu_loaded()) {
            if (sequences.save_menu_clear_loaded) sequences.save_menu_clear_loaded();
            s.sub_step = 0;
            task.GoTo(kEnd);
            return;
          }
          task.GoTo(kMenuWindow);
          return;
      }
    case kEnd:
      if (s.sub_step == 0) {
        Ctx().dsound.SetBGMVolume(0, kMusicFadeFrames);
        Restart(s);
        s.sub_step = 1;
        return;
      }
      if (Frames(s.timer) < kMusicFadeFrames && Ctx().dsound.GetBGMVolume() > 0) return;
      Ctx().dsound.SetBGMVolume(100, 0);
      Ctx().dsound.StopBGM();
      Ctx().dsound.StopSE();
      Ctx().dsound.StopStaticSE(-1);
      ReleaseAll(s);
      task.End();
      return;
    default:
      return;
  }
}

void FillTitleSequence(GameSequences& sequences) {
  auto state = std::make_shared<TitleState>();
  state->menu_texts = CTamvikOpen::MenuTexts();
  sequences.title.start = [state](GameTaskRec* owner) {
    CTamvikOpen::StartNewTitleMain(owner, *state);
  };
  sequences.title.is_running = [] { return !CTamvikOpen::IsTitleEnd(); };
  sequences.title_result = [state] { return static_cast<int>(state->title_result); };
}
