#include "scene/ui/tamvik_icon.h"

#include <algorithm>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/input/dinput.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

namespace {

// Pointer task steps.
constexpr uint8_t kPointerLoad = 0;
constexpr uint8_t kPointerPlay = 1;
constexpr uint8_t kPointerFollow = 2;
constexpr uint8_t kPointerEnd = 3;

// Icon task steps.
constexpr uint8_t kIconStart = 0;
constexpr uint8_t kIconShow = 1;
constexpr uint8_t kIconAppearing = 10;
constexpr uint8_t kIconVanishing = 20;
constexpr uint8_t kIconSwapping = 30;

// The icon is drawn with its top-left corner this far up and left of the mouse, 48 pixels wide
// and high.
constexpr int kIconOffset = 24;
constexpr int kIconSize = 48;
// The task moves the icon only after this many milliseconds of its life.
constexpr uint32_t kIconSettleMs = 16;
// The highest icon code; a larger current code means no icon at the end of every task frame.
constexpr uint8_t kLastIconCode = 21;

constexpr int kWaitIconX = 320;
constexpr int kWaitIconY = 440;

TamvikIconState& State() { return Scene().icon; }
CTamvikSpr& Units() { return Scene().tamvik_spr; }

GameTaskRec* PointerTask() { return Ctx().game_task.FindTask(CTamvikIcon::kMouseCursorTaskName); }
// The icon task that still runs. An ended one (function cleared) stays in the list until the
// next pass reaches it, and a click wait that ends and another that starts before then must get a
// task of their own, so the ended record is passed over.
GameTaskRec* IconTask() {
  for (GameTaskRec* task = Ctx().game_task.FindTask(CTamvikIcon::kIconTaskName); task != nullptr;
       task = task->next) {
    if (!task->deleted && task->function != nullptr && task->name == CTamvikIcon::kIconTaskName) {
      return task;
    }
  }
  return nullptr;
}

bool IsIconCode(uint8_t code) {
  return code == 0 || code == CTamvikIcon::kNoIcon || (code % 3 == 0 && code <= kLastIconCode);
}

// Replaces the icon animation with animation `number` of the icon file at (x, y) on surface 8.
void PlayIcon(uint32_t number, int x, int y, uint32_t loop) {
  TamvikIconState& icon = State();
  Units().ReleaseAnm(&icon.icon_anime);
  icon.icon_anime =
      Units().PlayAnmLoopFlag(icon.icon_file, number, x, y, loop, SURFACE_TEXT, 1);
}

// The icon animation has ended (also when there is none).
bool IconEnded() {
  SpxAnimeKind* kind = Units().spx();
  return kind == nullptr || kind->IsEnd(State().icon_anime) != 0;
}

}  // namespace

// ---- The pointer ----

int CTamvikIcon::StartMouseCursorSeq() {
  if (IsMouseCursorSeq()) return 0;
  Ctx().game_task.SetTaskSimple(nullptr, &CTamvikIcon::MouseCursorSeq, kMouseCursorTaskName);
  return 1;
}

void CTamvikIcon::EndMouseCursorSeq() {
  if (GameTaskRec* task = PointerTask()) TaskStep(task) = kPointerEnd;
}

bool CTamvikIcon::IsMouseCursorSeq() { return PointerTask() != nullptr; }

void CTamvikIcon::ShowMouseCursor() {
  if (PointerTask() == nullptr || !HasScene()) return;
  AppHideCursor();
  TamvikIconState& icon = State();
  if (icon.pointer_anime != nullptr) return;
  const CDinput& input = Ctx().input;
  icon.pointer_anime = Units().PlayAnm(icon.pointer_file, 0, input.GetMouseX(), input.GetMouseY(),
                                       SURFACE_BACK, 1);
}

void CTamvikIcon::HideMouseCursor() {
  DebugPrint("HideMouseCursor\n");
  if (PointerTask() == nullptr || !HasScene()) return;
  TamvikIconState& icon = State();
  if (icon.pointer_anime == nullptr) return;
  Units().ReleaseAnm(&icon.pointer_anime);
  Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
}

void CTamvikIcon::MouseCursorSeq(GameTaskRec* task) {
  // Without a scene there is nothing to draw with (a game-only test).
  if (!HasScene()) return;
  TamvikIconState& icon = State();
  const CDinput& input = Ctx().input;
  const int x = input.GetMouseX();
  const int y = input.GetMouseY();
  switch (TaskStep(task)) {
    case kPointerLoad:
      if (icon.pointer_file == nullptr) icon.pointer_file = TamvikFunc::LoadAnmFile(kPointerFile);
      AppHideCursor();
      TaskStep(task) = kPointerPlay;
      break;
    case kPointerPlay:
      Units().ReleaseAnm(&icon.pointer_anime);
      icon.pointer_anime = Units().PlayAnm(icon.pointer_file, 0, x, y, SURFACE_BACK, 1);
      TaskStep(task) = kPointerFollow;
      break;
    case kPointerFollow:
      // Moved without a compose request: the pointer shows wherever the next picture is built.
      if (icon.pointer_anime != nullptr && Units().spx() != nullptr) {
        Units().spx()->SetSpxPosEx(icon.pointer_anime, x, y, 0);
      }
      break;
    case kPointerEnd:
      task->function = nullptr;
      Units().ReleaseAnm(&icon.pointer_anime);
      Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
      AppShowCursor();
      break;
    default:
      break;
  }
}

// ---- The command icons ----

int CTamvikIcon::LoadIconSpr() {
  TamvikIconState& icon = State();
  if (icon.icon_file != nullptr) ReleaseIcon();
  icon.icon_file = TamvikFunc::LoadAnmFile(kIconFile);
  return icon.icon_file != nullptr ? 1 : 0;
}

void CTamvikIcon::ReleaseIcon() {
  TamvikIconState& icon = State();
  // The file's animations go with it: their handles must not outlive them.
  Units().ReleaseAnm(&icon.icon_anime);
  Units().ReleaseAnm(&icon.wait_icon);
  TamvikFunc::ReleaseAnmFile(icon.icon_file);
}

bool CTamvikIcon::IsIconSeq() { return IconTask() != nullptr; }

int CTamvikIcon::StartIconSeq() {
  if (IconTask() != nullptr) {
    DebugPrint("IconSeq Alreadt Stayed\n");
    return 0;
  }
  auto* work = TaskNewBlock<IconSeqWork>();
  work->step = kIconStart;
  work->shown = kNoIcon;
  work->next = kNoIcon;
  work->start = static_cast<uint32_t>(Ctx().frame_rate.GetTime());
  if (Ctx().game_task.SetTask(nullptr, &CTamvikIcon::IconSeq, kIconTaskName, work, nullptr) == 0) {
    return 0;
  }
  State().code = kNoIcon;
  TamvikFunc::SetKeyMouse(1);
  AppHideCursor();
  HideMouseCursor();
  return 1;
}

void CTamvikIcon::EndIconSeq() {
  GameTaskRec* task = IconTask();
  if (task == nullptr) return;
  task->function = nullptr;
  Units().ReleaseAnm(&State().icon_anime);
  TamvikFunc::SetKeyMouse(0);
  AppShowCursor();
  ShowMouseCursor();
}

void CTamvikIcon::SetIcon(uint8_t code) {
  GameTaskRec* task = IconTask();
  if (task == nullptr) return;
  TamvikIconState& icon = State();
  IconSeqWork& work = *TaskWorkAs<IconSeqWork>(task);
  const CDinput& input = Ctx().input;
  int x = std::max(input.GetMouseX() - kIconOffset, 0);
  int y = std::max(input.GetMouseY() - kIconOffset, 0);
  if (x + kIconSize > kScreenWidth) x = kScreenWidth - kIconSize;
  if (y + kIconSize > kScreenHeight) y = kScreenHeight - kIconSize;
  auto play_current = [&] { PlayIcon(icon.code, x, y, 0); };
  switch (work.step) {
    case kIconStart:
    case kIconShow:
      icon.code = code;
      break;
    case kIconAppearing:
      if (code == 0) {
        work.step = kIconVanishing;
        play_current();
      } else if (static_cast<uint8_t>(code - 2) != icon.code) {
        icon.code = static_cast<uint8_t>(code - 2);
        play_current();
      }
      break;
    case kIconVanishing:
      if (code != 0) {
        icon.code = static_cast<uint8_t>(code - 2);
        work.step = kIconAppearing;
        play_current();
      }
      break;
    case kIconSwapping:
      if (code != 0) {
        work.next = code;
      } else {
        work.step = kIconVanishing;
        play_current();
      }
      break;
    default:
      break;
  }
}

uint8_t CTamvikIcon::GetIconCode() { return State().code; }

void CTamvikIcon::IconSeq(GameTaskRec* task) {
  TamvikIconState& icon = State();
  IconSeqWork& work = *TaskWorkAs<IconSeqWork>(task);
  const CDinput& input = Ctx().input;
  const int x = input.GetMouseX() - kIconOffset;
  const int y = input.GetMouseY() - kIconOffset;
  const uint32_t now = static_cast<uint32_t>(Ctx().frame_rate.GetTime());

  if (now - work.start > kIconSettleMs && icon.code != kNoIcon) {
    if (icon.icon_anime != nullptr && Units().spx() != nullptr) {
      Units().spx()->SetSpxPosEx(icon.icon_anime, x, y, 0);
    }
    Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
  }

  switch (work.step) {
    case kIconStart:
      work.step = kIconShow;
      break;
    case kIconShow: {
      if (!IsIconCode(icon.code)) icon.code = 0;
      const uint8_t asked = icon.code;
      if (asked == kNoIcon) {
        work.shown = kNoIcon;
        work.next = kNoIcon;
        Units().ReleaseAnm(&icon.icon_anime);
        break;
      }
      if (asked == work.shown || work.shown == kNoIcon) {
        if (IconEnded()) PlayIcon(asked, x, y, 1);
      } else if (asked != 0 && work.shown != 0) {
        // Another command icon: the shown one vanishes first (step 30 brings the new one in).
        work.next = asked;
        icon.code = static_cast<uint8_t>(work.shown - 1);
        PlayIcon(icon.code, x, y, 0);
        work.step = kIconSwapping;
      } else if (asked != 0) {
        icon.code = static_cast<uint8_t>(asked - 2);
        PlayIcon(icon.code, x, y, 0);
        work.step = kIconAppearing;
      } else {
        icon.code = static_cast<uint8_t>(work.shown - 1);
        PlayIcon(icon.code, x, y, 0);
        work.step = kIconVanishing;
      }
      work.shown = icon.code;
      break;
    }
    case kIconAppearing:
      if (icon.code == kNoIcon) {
        work.step = kIconShow;
      } else if (IconEnded()) {
        work.shown = static_cast<uint8_t>(icon.code + 2);
        icon.code = work.shown;
        PlayIcon(icon.code, x, y, 0);
        work.step = kIconShow;
      }
      break;
    case kIconVanishing:
      if (icon.code == kNoIcon) {
        work.step = kIconShow;
      } else if (IconEnded()) {
        work.shown = 0;
        icon.code = 0;
        PlayIcon(0, x, y, 0);
        work.step = kIconShow;
      }
      break;
    case kIconSwapping:
      if (icon.code == kNoIcon) {
        work.step = kIconShow;
      } else if (IconEnded()) {
        icon.code = static_cast<uint8_t>(work.next - 2);
        PlayIcon(icon.code, x, y, 0);
        work.step = kIconAppearing;
      }
      break;
    default:
      break;
  }

  if (icon.code > kLastIconCode) icon.code = kNoIcon;
}

void CTamvikIcon::ShowWaitIcon() {
  TamvikIconState& icon = State();
  if (icon.wait_icon != nullptr) return;
  icon.wait_icon = Units().PlayAnm(icon.icon_file, kWaitIconAnimation, kWaitIconX, kWaitIconY,
                                   SURFACE_TEXT, 1);
}

void CTamvikIcon::HideWaitIcon() { Units().ReleaseAnm(&State().wait_icon); }
