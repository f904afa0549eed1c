// The boot save check, the save offer, the slot list and the menus' texts.

#include "flow/tamvik_bup.h"

#include <cstdio>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/text/text_big5.h"
#include "flow/tamvik_general.h"
#include "game/game_context.h"
#include "game/save_files.h"
#include "game/system_data.h"
#include "scene/script/tamvik_adv.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"

namespace {

std::string B5(const char* utf8) { return Big5FromUtf8(utf8).value_or(std::string()); }

bool ValidSlot(int n) { return n >= 1 && n <= CTamvikBup::kCheckedSlots; }

// Ten short chapter titles of this game's own.
constexpr const char* kChapterTitles[CTamvikBup::kChapters] = {
    "旅程的開始", "森林小路", "港口之町", "沙漠的風", "古城之霧",
    "冰原之夜",   "天空之塔", "暗影之谷", "最後誓約", "黎明",
};

constexpr const char* kChapterLabels[CTamvikBup::kChapters] = {
    "第１話", "第２話", "第３話", "第４話", "第５話",
    "第６話", "第７話", "第８話", "第９話", "最終話",
};

// Bit 0 of saveFlags: no save file exists.
constexpr uint16_t kNoSaveBit = 0x0001;

bool AnySlotUsed() {
  for (int slot = 1; slot <= CTamvikBup::kCheckedSlots; ++slot) {
    if (GetSaveSceneCode(slot) != 0) return true;
  }
  return false;
}

}  // namespace

// ---- The boot save check ----

void CTamvikBup::StartBkupCheck(GameTaskRec* owner) {
  if (kBkupCheck.Start(Ctx().game_task, owner) == nullptr) {
    DebugPrint("CTamvikBup: the save check could not start\n");
  }
}

void CTamvikBup::RefreshNoSaveFlag() {
  SystemData* system = GetSystemData();
  const uint16_t flags = system->saveFlags();
  system->setSaveFlags(static_cast<uint16_t>(AnySlotUsed() ? (flags & ~kNoSaveBit)
                                                           : (flags | kNoSaveBit)));
}

void CTamvikBup::BkupCheck(GameTaskRec* record) {
  StepTask<BupWork> task(Ctx().game_task, record);
  if (task.EndIfOwnerGone()) return;
  GetSystemData()->setSaveFlags(0);
  RefreshNoSaveFlag();
  CTamvikGeneral::SetMode(15);
  task.End();
}

// ---- The save offer ----

void CTamvikBup::StartSaveMasterCtrl(GameTaskRec* owner) {
  if (kSaveMasterCtrl.Start(Ctx().game_task, owner) == nullptr) {
    DebugPrint("CTamvikBup: the save offer could not start\n");
  }
}

void CTamvikBup::SaveMasterCtrl(GameTaskRec* record) {
  StepTask<BupWork> task(Ctx().game_task, record);
  if (task.EndIfOwnerGone()) return;
  const GameSequences& seq = Game().sequences;
  switch (task.step()) {
    case 0:
      // Without an eyecatch the offer goes on as if it had ended.
      seq.eyecatch.Start();
      task.Next();
      return;
    case 1:
      if (seq.eyecatch.IsRunning()) return;
      StartScreenFade(0, 256, 1000);
      task.Next();
      return;
    case 2:
      if (!TamvikFunc::IsFadeDone()) return;
      Ctx().ddraw.ClearSurface(SURFACE_ROOT, 0);
      CTamvikAdv::InitScreen();
      CTamvikIcon::HideMouseCursor();
      task.Next();
      return;
    default:
      CTamvikGeneral::SetMode(38);
      task.End();
      StartScreenFade(256, 0, 0);
      return;
  }
}

// ---- The slot list ----

void CTamvikBup::ReadSlotList() {
  GameContext::BackupSlots& slots = Game().backup;
  for (int slot = 1; slot <= kCheckedSlots; ++slot) {
    const auto i = static_cast<size_t>(slot);
    const uint16_t code = GetSaveSceneCode(slot);
    slots.used[i] = code != 0 ? 1 : 0;
    slots.chapter[i] = code != 0 ? static_cast<uint8_t>(CTamvikMacro::GetNextScene(code) >> 8) : 0;
    slots.time[i].clear();
    char text[32] = {};
    if (code != 0 && GetSaveFileTime(slot, text) != 0) slots.time[i] = text;
  }
}

int CTamvikBup::GetSlotChapter(int n) {
  return ValidSlot(n) ? Game().backup.chapter[static_cast<size_t>(n)] : 0;
}

std::string CTamvikBup::GetSlotTime(int n) {
  return ValidSlot(n) ? Game().backup.time[static_cast<size_t>(n)] : std::string();
}

// ---- Texts ----

std::string CTamvikBup::TitleText(int state) {
  switch (state) {
    case 2: return B5("載入的資料");
    case 3: return B5("存檔的資料");
    case 4: return B5("複製的資料");
    case 5: return B5("的資料複製");
    case 6: return B5("刪除的資料");
    default: return B5("沒有動作");
  }
}

std::string CTamvikBup::QuestionText(int state) {
  switch (state) {
    case 2: return B5("要載入嗎？");
    case 3: return B5("要存檔嗎？");
    case 4:
    case 5: return B5("要複製嗎？");
    case 6: return B5("要刪除嗎？");
    default: return std::string();
  }
}

std::string CTamvikBup::MessageText(int number) {
  switch (number) {
    case 1: return B5("請置入ＣＤ－１");
    case 2: return B5("請置入ＣＤ－２");
    case 3: return B5("請置入ＣＤ－３");
    case 4: return B5("請置入ＣＤ－４");
    case kMessageSaved: return B5("存檔結束。");
    case kMessageDeleted: return B5("刪除結束。");
    case kMessageCopied: return B5("複製結束。");
    case kMessageSaveFailed: return B5("存檔失敗。");
    case kMessageLoadFailed: return B5("載入失敗。");
    case kMessageCopyFailed: return B5("複製失敗。");
    case kMessageDeleteFailed: return B5("刪除失敗。");
    default: return B5("沒有諸存的檔案。");
  }
}

std::string CTamvikBup::ChapterLabel(int chapter) {
  if (chapter < 1 || chapter > kChapters) return std::string();
  return B5(kChapterLabels[chapter - 1]);
}

std::string CTamvikBup::ChapterTitle(int chapter) {
  if (chapter < 1 || chapter > kChapters) return std::string();
  return B5(kChapterTitles[chapter - 1]);
}

std::string CTamvikBup::SlotLine(int slot) {
  char line[64];
  const bool used = ValidSlot(slot) && Game().backup.used[static_cast<size_t>(slot)] != 0;
  if (used) {
    std::snprintf(line, sizeof line, "F%.02d %s", slot, GetSlotTime(slot).c_str());
  } else {
    std::snprintf(line, sizeof line, "F%.02d ----/--/-- --:--", slot);
  }
  return line;
}

std::string CTamvikBup::EmptySlotText() { return B5("沒有記錄"); }

std::string CTamvikBup::SelectorText(bool yes_no, int entry) {
  if (yes_no) return B5(entry == 0 ? "是" : "否");
  return B5(entry == 0 ? "複製" : "刪除");
}

Rect CTamvikBup::RowLabelRect(int row) {
  const int dy = 80 * (row - 1);
  return {120, 76 + dy, 278, 112 + dy};
}

Rect CTamvikBup::RowBarRect(int row) {
  const int dy = 80 * (row - 1);
  return {120, 112 + dy, 536, 144 + dy};
}
