// The option menu: its flags, its window and rows, the row routine and the task that runs the
// actions (the load menu, the quit confirmation and the sub-screens); the quit confirmation; and
// what the option screens share.

#include "flow/tamvik_option.h"

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/text/text_big5.h"
#include "engine/gfx/window/window.h"
#include "engine/input/dinput.h"
#include "flow/game_boot.h"
#include "flow/option_parts.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

// ---- Shared parts ----

namespace option_parts {

std::string Big5(const char* utf8) { return Big5FromUtf8(utf8).value_or(std::string()); }

WindowRec* MakeWindow(Rect frame, Rect inner, ColorRef color, int style, SprAnm* background) {
  CDdrawWindow& windows = Ctx().ddraw_window;
  WindowRec* window = windows.Create(SURFACE_TEXT, frame, inner, inner, color, style);
  if (window == nullptr) {
    DebugPrint("CTamvikOption: the window could not be made\n");
    return nullptr;
  }
  windows.SetOpen(window, 0, 0);
  SprRec* picture = Scene().tamvik_spr.GetUnitSprID(Scene().tamvik_spr.GetAnmUnit(background), 0);
  if (picture != nullptr) {
    int width = 0;
    int height = 0;
    Ctx().ddraw_spr.GetSpriteSize(picture, &width, &height);
    if (width > frame.right - frame.left) width = frame.right - frame.left;
    if (height > frame.bottom - frame.top) height = frame.bottom - frame.top;
    Ctx().ddraw_spr.PutSprite(picture, 0, 0, SURFACE_SCRATCH, 0);
    const Rect area{0, 0, width, height};
    windows.BltToPiece(window, CDdrawWindow::kFrameSprite, area, area, SURFACE_SCRATCH, 0);
  }
  return window;
}

void StartOpen(WindowRec* window, AnimeHandle* anime, bool open) {
  CDdrawAnime& list = Ctx().anime;
  if (*anime != nullptr) list.DeleteRef(anime);
  if (window == nullptr) return;
  const int from = open ? 0 : 100;
  const int to = open ? 100 : 0;
  // Amount 100 over 200 ms: 12 frames.
  *anime = list.CreateWindowAnime(window, from, to, 100, from, to, 100, 1, 200);
  list.SetAutoClear(anime);
}

void DeleteWindow(WindowRec** window, AnimeHandle* anime) {
  if (*anime != nullptr) Ctx().anime.DeleteRef(anime);
  if (*window != nullptr) Ctx().ddraw_window.Delete(window);
  UpdateAll();
}

void DrawText(WindowRec* window, const std::string& text, int x, int y, ColorRef color) {
  if (window == nullptr || text.empty()) return;
  Ctx().ddraw_window.DrawText(window, CDdrawWindow::kTextSprite, text.c_str(), x, y, GetFontA(),
                              color, 0xC0C0C0);
}

void UpdateAll() { Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1); }

// The system sounds of a window opening and closing.
constexpr int kSeWindowOpen = 1, kSeWindowClose = 2;

void OpenWithSound(WindowRec* window, AnimeHandle* anime) {
  StartOpen(window, anime, true);
  PlaySystemSe(kSeWindowOpen);
}

void CloseWithSound(WindowRec* window, AnimeHandle* anime) {
  PlaySystemSe(kSeWindowClose);
  StartOpen(window, anime, false);
}

bool OpeningDone(const AnimeHandle anime) {
  if (anime != nullptr) return false;
  UpdateAll();
  return true;
}

}  // namespace option_parts

using namespace option_parts;

namespace {

inline constexpr StepTaskKind<ScreenWork> kOptionMenu{CTamvikOption::kOptionMenuName,
                                                      &CTamvikOption::OptionMenu};
inline constexpr StepTaskKind<ScreenWork> kExitSeq{CTamvikOption::kExitSeqName,
                                                   &CTamvikOption::ExitSeq};

constexpr int kKeyDecide = 0, kKeyCancel = 1, kKeyLeave = 4, kKeyUp = 5, kKeyDown = 6,
              kKeyLeft = 7, kKeyRight = 8;
constexpr int kSeMove = 3, kSeDecide = 4;

// Steps of the option menu.
enum : uint8_t {
  kStepOpen = 0,
  kStepOpening = 1,
  kStepRows = 2,
  kStepClosing = 3,
  kStepLoadMenu = 10,
  kStepSubScreen = 11,
  kStepReopen = 20,
  kStepEnd = 90,
};

// Layout of the rows in the text area (the background picture carries the rest).
constexpr int kMarkX = 0;
constexpr int kLabelX = 28;
constexpr int kChoiceX = 178;
constexpr int kChoicePitch = 150;

const char* const kFileTexts[3] = {"   載入   ", "   跳出   ", " 遊戲結束 "};
const char* const kVoiceTexts[2] = {"  開  ", "  關  "};
const char* const kButtonTexts[2] = {"   鍵盤   ", "    搖桿    "};

CTamvikOption::OptionState& OptionOf(GameTaskRec* record) {
  return *static_cast<CTamvikOption::OptionState*>(record->extra);
}

void DrawOptionWindow(CTamvikOption::OptionState& s) {
  WindowRec* window = s.window;
  if (window == nullptr) return;
  Ctx().ddraw_window.ClearTextPiece(window, CDdrawWindow::kTextSprite);
  const uint32_t flags = CTamvikOption::GetReturnMode();
  const int rows = CTamvikOption::RowCount(flags);
  const std::string mark = Big5("＊");
  auto y_of = [](int row) { return CTamvikOption::kRowTop + CTamvikOption::kRowPitch * row; };
  auto colour = [](bool chosen) {
    return chosen ? CTamvikOption::kChosenColor : CTamvikOption::kTextColor;
  };
  DrawText(window, mark, kMarkX, y_of(s.row), CTamvikOption::kChosenColor);
  // Row 0: the offered choices.
  for (int c = CTamvikOption::LowestFileChoice(flags); c <= CTamvikOption::HighestFileChoice(flags);
       ++c) {
    DrawText(window, Big5(kFileTexts[c]), kLabelX + kChoicePitch * c, y_of(0),
             colour(c == s.fileChoice));
  }
  // Row 1: the scale with the chosen dot.
  DrawText(window, Big5("游標速度"), kLabelX, y_of(1), colour(s.row == 1));
  DrawText(window, Big5("   慢．．．．．快"), kChoiceX, y_of(1), CTamvikOption::kTextColor);
  DrawText(window, Big5("．"), kChoiceX + 36 + 24 + 24 * s.speedChoice, y_of(1),
           CTamvikOption::kChosenColor);
  // Row 2: the voice.
  DrawText(window, Big5("  聲音  "), kLabelX, y_of(2), colour(s.row == 2));
  for (int c = 0; c < 2; ++c) {
    DrawText(window, Big5(kVoiceTexts[c]), kChoiceX + kChoicePitch * c, y_of(2),
             colour(c == s.voiceChoice));
  }
  // Row 3: the button settings.
  DrawText(window, Big5("按鈕設定"), kLabelX, y_of(3), colour(s.row == 3));
  for (int c = 0; c < 2; ++c) {
    DrawText(window, Big5(kButtonTexts[c]), kChoiceX + kChoicePitch * c, y_of(3),
             colour(c == s.buttonChoice));
  }
  // Row 4: the items.
  if (rows > 4) DrawText(window, Big5("   道具   "), kLabelX, y_of(4), colour(s.row == 4));
  UpdateAll();
}

// One frame of the rows' input.
void RowRoutine(CTamvikOption::OptionState& s) {
  if (IsKeyTriggered(kKeyCancel) != 0 || IsKeyTriggered(kKeyLeave) != 0) {
    s.action = CTamvikOption::kLeave;
    return;
  }
  const uint32_t flags = CTamvikOption::GetReturnMode();
  const int rows = CTamvikOption::RowCount(flags);
  if (s.row >= rows) s.row = 0;
  if (IsKeyTriggered(kKeyUp) != 0) {
    s.row = static_cast<uint8_t>(s.row == 0 ? rows - 1 : s.row - 1);
    PlaySystemSe(kSeMove);
    s.redraw = 1;
  } else if (IsKeyTriggered(kKeyDown) != 0) {
    s.row = static_cast<uint8_t>(s.row + 1 >= rows ? 0 : s.row + 1);
    PlaySystemSe(kSeMove);
    s.redraw = 1;
  }
  const bool left = IsKeyTriggered(kKeyLeft) != 0;
  const bool right = !left && IsKeyTriggered(kKeyRight) != 0;
  const bool decide = IsKeyTriggered(kKeyDecide) != 0;
  SystemData& system = *GetSystemData();
  switch (s.row) {
    case 0: {
      const int low = CTamvikOption::LowestFileChoice(flags);
      const int high = CTamvikOption::HighestFileChoice(flags);
      int choice = s.fileChoice < low || s.fileChoice > high ? low : s.fileChoice;
      if ((left || right) && low < high) {
        if (left) choice = choice <= low ? high : choice - 1;
        if (right) choice = choice >= high ? low : choice + 1;
        PlaySystemSe(kSeMove);
        s.redraw = 1;
      }
      s.fileChoice = static_cast<uint8_t>(choice);
      if (decide) {
        PlaySystemSe(kSeDecide);
        s.action = static_cast<uint8_t>(CTamvikOption::kLoad + s.fileChoice);
      }
      break;
    }
    case 1:
      if (left || right) {
        if (s.speedChoice > 4) s.speedChoice = 2;
        if (left) s.speedChoice = static_cast<uint8_t>(s.speedChoice == 0 ? 4 : s.speedChoice - 1);
        if (right) s.speedChoice = static_cast<uint8_t>(s.speedChoice >= 4 ? 0 : s.speedChoice + 1);
        system.setCursorSpeed(s.speedChoice);
        PlaySystemSe(kSeMove);
        s.redraw = 1;
      }
      if (decide) {
        system.setCursorSpeed(s.speedChoice);
        PlaySystemSe(kSeDecide);
      }
      break;
    case 2:
      if (left || right) {
        s.voiceChoice = s.voiceChoice != 0 ? 0 : 1;
        system.setVoiceOff(s.voiceChoice);
        PlaySystemSe(kSeMove);
        s.redraw = 1;
      }
      if (decide) {
        system.setVoiceOff(s.voiceChoice);
        PlaySystemSe(kSeDecide);
      }
      break;
    case 3:
      if (left || right) {
        s.buttonChoice = s.buttonChoice != 0 ? 0 : 1;
        PlaySystemSe(kSeMove);
        s.redraw = 1;
      }
      if (decide) {
        PlaySystemSe(kSeDecide);
        s.action = s.buttonChoice == 0 ? CTamvikOption::kKeyboard : CTamvikOption::kJoystick;
      }
      break;
    default:
      if (decide) {
        PlaySystemSe(kSeDecide);
        s.action = CTamvikOption::kItems;
      }
      break;
  }
}

void ReleaseOption(CTamvikOption::OptionState& s) {
  DeleteWindow(&s.window, &s.window_anime);
  if (s.option_file != nullptr) TamvikFunc::ReleaseAnmFile(s.option_file);
  if (s.icon_file != nullptr) TamvikFunc::ReleaseAnmFile(s.icon_file);
}

void OpenOptionWindow(CTamvikOption::OptionState& s) {
  if (s.window == nullptr) {
    s.window = MakeWindow(CTamvikOption::kOptionFrame, CTamvikOption::kOptionInner,
                          CTamvikOption::kOptionColor, CTamvikOption::kOptionStyle, s.option_file);
  }
  DrawOptionWindow(s);
  s.redraw = 0;
  OpenWithSound(s.window, &s.window_anime);
}

bool SubScreenEnded(uint8_t action) {
  switch (action) {
    case CTamvikOption::kQuit:
      return CTamvikOption::IsExitSeqEnd();
    case CTamvikOption::kKeyboard:
      return CTamvikOption::IsKeyMenuEnd();
    case CTamvikOption::kJoystick:
      return CTamvikOption::IsPadMenuEnd();
    default:
      return CTamvikOption::IsItemMenuEnd();
  }
}

// ---- The quit confirmation ----

CTamvikOption::ExitState& ExitOf(GameTaskRec* record) {
  return *static_cast<CTamvikOption::ExitState*>(record->extra);
}

void DrawExitWindow(const CTamvikOption::ExitState& s) {
  if (s.window == nullptr) return;
  Ctx().ddraw_window.ClearTextPiece(s.window, CDdrawWindow::kTextSprite);
  DrawText(s.window, Big5("要結束遊戲嗎？"), 16, 2, CTamvikOption::kTextColor);
  auto colour = [&](uint8_t answer) {
    return s.answer == answer ? CTamvikOption::kChosenColor : CTamvikOption::kTextColor;
  };
  DrawText(s.window, Big5("是"), 328, 2, colour(CTamvikOption::kYes));
  DrawText(s.window, Big5("否"), 400, 2, colour(CTamvikOption::kNo));
  UpdateAll();
}

void ReleaseExit(CTamvikOption::ExitState& s) {
  DeleteWindow(&s.window, &s.window_anime);
  if (s.exit_file != nullptr) TamvikFunc::ReleaseAnmFile(s.exit_file);
}

bool Inside(int x, int y, Rect r) { return PointInRect(x, y, r.left, r.top, r.right, r.bottom); }

}  // namespace

// ---- The option menu ----

void CTamvikOption::SetReturnMode(uint32_t flags) { Game().option_flags = flags; }
uint32_t CTamvikOption::GetReturnMode() { return Game().option_flags; }

int CTamvikOption::StartOptionMenu(GameTaskRec* owner) {
  if ((GetReturnMode() & kNoOpen) != 0) return 1;
  DebugPrint("SetTask %s\n", kOptionMenuName);
  return AppendScreenTask<ScreenWork, OptionState>(Ctx().game_task, kOptionMenuName, &OptionMenu, owner) != nullptr ? 0 : 1;
}

bool CTamvikOption::IsOptionMenuEnd() { return !kOptionMenu.IsRunning(Ctx().game_task); }

void CTamvikOption::OptionMenu(GameTaskRec* record) {
  StepTask<ScreenWork> task(Ctx().game_task, record);
  OptionState& s = OptionOf(record);
  if (task.OwnerGone()) {
    ReleaseOption(s);
    task.End();
    return;
  }
  switch (task.step()) {
    case kStepOpen: {
      if (s.option_file == nullptr) s.option_file = TamvikFunc::LoadAnmFile(kOptionFile);
      if (s.option_file == nullptr) DebugPrint("CTamvikOption: no %s\n", kOptionFile);
      if (s.icon_file == nullptr) s.icon_file = TamvikFunc::LoadAnmFile(kItemIconFile);
      const SystemData& system = *GetSystemData();
      s.redraw = 1;
      s.row = 0;
      s.fileChoice = 1;
      s.speedChoice = static_cast<uint8_t>(system.cursorSpeed() > 4 ? 2 : system.cursorSpeed());
      s.voiceChoice = system.voiceOff() != 0 ? 1 : 0;
      OpenOptionWindow(s);
      task.GoTo(kStepOpening);
      break;
    }
    case kStepOpening:
      if (OpeningDone(s.window_anime)) task.GoTo(kStepRows);
      break;
    case kStepRows:
      RowRoutine(s);
      if (s.action != kNone) {
        CloseWithSound(s.window, &s.window_anime);
        task.GoTo(kStepClosing);
        break;
      }
      if (s.redraw != 0) {
        DrawOptionWindow(s);
        s.redraw = 0;
      }
      break;
    case kStepClosing:
      if (s.window_anime != nullptr) break;
      DeleteWindow(&s.window, &s.window_anime);
      switch (s.action) {
        case kLoad:
          Game().sequences.save_menu.Start(record, 0);
          task.GoTo(kStepLoadMenu);
          break;
        case kQuit:
          StartExitSeq();
          task.GoTo(kStepSubScreen);
          break;
        case kKeyboard:
          StartKeyMenu(record);
          task.GoTo(kStepSubScreen);
          break;
        case kJoystick:
          StartPadMenu(record);
          task.GoTo(kStepSubScreen);
          break;
        case kItems:
          StartItemMenu(record);
          task.GoTo(kStepSubScreen);
          break;
        default:
          task.GoTo(kStepEnd);
          break;
      }
      break;
    case kStepLoadMenu: {
      GameSequences& sequences = Game().sequences;
      if (sequences.save_menu.IsRunning()) break;
      if (sequences.save_menu_loaded && sequences.save_menu_loaded()) {
        // The load menu has handed the game to the mode manager: the menu ends here.
        if (sequences.save_menu_clear_loaded) sequences.save_menu_clear_loaded();
        task.GoTo(kStepEnd);
        break;
      }
      task.GoTo(kStepReopen);
      break;
    }
    case kStepSubScreen:
      if (!SubScreenEnded(s.action)) break;
      task.GoTo(kStepReopen);
      break;
    case kStepReopen:
      s.action = kNone;
      OpenOptionWindow(s);
      task.GoTo(kStepOpening);
      break;
    case kStepEnd:
      DebugPrint("OptionMenuSeq Terminated\n");
      ReleaseOption(s);
      task.End();
      break;
    default:
      DebugPrint("%s: no step %d\n", kOptionMenuName, task.step());
      ReleaseOption(s);
      task.End();
      break;
  }
}

// ---- The quit confirmation ----

int CTamvikOption::StartExitSeq() {
  return AppendScreenTask<ScreenWork, ExitState>(Ctx().game_task, kExitSeqName, &ExitSeq, nullptr) != nullptr ? 1 : 0;
}

bool CTamvikOption::IsExitSeqEnd() { return !kExitSeq.IsRunning(Ctx().game_task); }

void CTamvikOption::ExitSeq(GameTaskRec* record) {
  StepTask<ScreenWork> task(Ctx().game_task, record);
  ExitState& s = ExitOf(record);
  switch (task.step()) {
    case 0:
      if (s.exit_file == nullptr) s.exit_file = TamvikFunc::LoadAnmFile(kExitFile);
      if (s.exit_file == nullptr) DebugPrint("CTamvikOption: no %s\n", kExitFile);
      s.answer = kNo;
      s.window = MakeWindow(kExitFrame, kExitInner, kExitColor, kOptionStyle, s.exit_file);
      DrawExitWindow(s);
      OpenWithSound(s.window, &s.window_anime);
      task.GoTo(1);
      break;
    case 1:
      if (OpeningDone(s.window_anime)) task.GoTo(2);
      break;
    case 2: {
      const uint8_t before = s.answer;
      const CDinput& input = Ctx().input;
      const int x = input.GetMouseX();
      const int y = input.GetMouseY();
      if (x != input.GetOldMouseX() || y != input.GetOldMouseY()) {
        if (Inside(x, y, kYesHit)) s.answer = kYes;
        if (Inside(x, y, kNoHit)) s.answer = kNo;
      }
      if (IsKeyTriggered(kKeyLeft) != 0) s.answer = kYes;
      if (IsKeyTriggered(kKeyRight) != 0) s.answer = kNo;
      if (s.answer != before) {
        PlaySystemSe(kSeMove);
        DrawExitWindow(s);
      }
      if (IsKeyTriggered(kKeyDecide) == 0) break;
      if (s.answer == kYes) {
        GameExit();
        task.GoTo(4);
        break;
      }
      CloseWithSound(s.window, &s.window_anime);
      task.GoTo(3);
      break;
    }
    case 3:
      if (s.window_anime != nullptr) break;
      ReleaseExit(s);
      task.End();
      break;
    case 4:
      // The program ends with the next frame.
      break;
    default:
      ReleaseExit(s);
      task.End();
      break;
  }
}
