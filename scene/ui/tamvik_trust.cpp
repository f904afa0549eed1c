// The trust panel: the heroine rows, the card windows, the card turns and the task's steps.

#include "scene/ui/tamvik_trust.h"

#include <algorithm>
#include <utility>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/text/text_big5.h"
#include "engine/gfx/window/window.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

namespace {

// The task's 16-byte block: byte 0 the finished flag, byte 1 the step.
struct TrustWork {
  uint8_t finished;
  uint8_t step;
  uint8_t unused[14];
};
static_assert(sizeof(TrustWork) == 16);

inline constexpr StepTaskKind<TrustWork> kCheckKaoPanel{CTamvikTrust::kTaskName,
                                                        &CTamvikTrust::CheckKaoPanel};

// Heroine code -> its trust and rank variables (P[]) and its face units (mode 1 low, mode 1
// high, mode 2 low, mode 2 high).
struct Heroine {
  int trust_var;
  int rank_var;
  std::array<uint8_t, 4> faces;
};
constexpr std::array<Heroine, 6> kHeroines{{
    {11, 10, {0, 1, 12, 13}},
    {31, 30, {4, 5, 16, 17}},
    {51, 50, {8, 9, 20, 21}},
    {61, 60, {10, 11, 22, 23}},
    {21, 20, {2, 3, 14, 15}},
    {41, 40, {6, 7, 18, 19}},
}};

// Which codes fill the six panels, before sorting.
constexpr std::array<std::array<uint16_t, 6>, 10> kHeroineRows{{
    {0, 1, 2, 4, 6, 6},
    {0, 1, 2, 4, 3, 6},
    {0, 1, 2, 4, 3, 5},
    {0, 6, 6, 6, 6, 6},
    {4, 6, 6, 6, 6, 6},
    {1, 6, 6, 6, 6, 6},
    {5, 6, 6, 6, 6, 6},
    {2, 6, 6, 6, 6, 6},
    {3, 6, 6, 6, 6, 6},
    {0, 1, 2, 4, 3, 5},
}};

// Bonuses by k = trust - 0x8000, 0-24; above 24 the last column.
constexpr std::array<uint8_t, 25> kAttack{0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6,
                                          6, 7, 7, 7, 8, 8, 8, 8, 9, 9, 9, 9};
constexpr std::array<uint8_t, 25> kDefence{0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 2,
                                           3, 3, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4};

// The texts of the panel, in the game's two-byte text: the names by code, the mood pairs (high:
// strength and full; middle: ordinary and mood; low: emotion and poor) and the bonus labels.
// A card's text area is 128 pixels wide: five 24-pixel characters at most.
constexpr std::array<const char*, 6> kNames{"坦薇", "露妮", "伊索", "提莎", "達芳", "布莉"};
constexpr std::array<const char*, 6> kMoods{"元氣", "十足", "普通", "心情", "情緒", "低落"};
constexpr std::array<const char*, 3> kLabels{"攻", "防", "移"};

// The two-byte plus sign and space, kept as bytes.
constexpr char kPlus[] = "\x81\x7B";
constexpr char kSpace[] = "\x81\x40";

constexpr int kTurnStep = 11;
constexpr uint32_t kTurnInterval = 16;
constexpr uint32_t kSlideInterval = 33;
constexpr int kSlideAmount = 40;
constexpr int32_t kPageFrames = 120;
constexpr int32_t kPageSwitchFrames = 31;
constexpr int kTurnSound = 12;
constexpr int kCloseSound = 4;

std::string Big5(const char* utf8) { return Big5FromUtf8(utf8).value_or(std::string()); }

int HomeX(int i) { return 32 + (i % 2) * 288; }
int HomeY(int i) { return 48 + (i / 2) * 128; }
int32_t SlideOffX(int i) { return (i % 2) != 0 ? 640 + 40 * i : -288 - 40 * i; }
uint16_t SlideDelay(int i) { return static_cast<uint16_t>((i / 2) * 4 + 10); }

bool KeyTriggered(int a, int b) { return IsKeyTriggered(a) != 0 || IsKeyTriggered(b) != 0; }

}  // namespace

CTamvikTrust::CTamvikTrust() {
  for (size_t i = 0; i < kNames.size(); ++i) names_[i] = Big5(kNames[i]);
  for (size_t i = 0; i < kMoods.size(); ++i) moods_[i] = Big5(kMoods[i]);
  for (size_t i = 0; i < kLabels.size(); ++i) labels_[i] = Big5(kLabels[i]);
  // The full-width digits 0-9 are the codes 0xA2AF-0xA2B8.
  for (int d = 0; d < 10; ++d) {
    digits_[d] = {static_cast<char>(0xA2), static_cast<char>(0xAF + d)};
  }
}

CTamvikTrust::~CTamvikTrust() = default;

int CTamvikTrust::StartCheckKaoPanel(GameTaskRec* owner) {
  return kCheckKaoPanel.Start(Ctx().game_task, owner) != nullptr ? 1 : 0;
}

bool CTamvikTrust::IsCheckKaoPanelRunning() { return kCheckKaoPanel.IsRunning(Ctx().game_task); }

int CTamvikTrust::PanelRowFor(uint16_t scene_code, uint16_t saved_before_battle, uint16_t p83) {
  const int chapter = scene_code >> 8;
  const int by_choice = 2 + p83 % 8;
  switch (chapter) {
    case 1:
      return 0;
    case 2:
      return 1;
    case 10:
      switch (scene_code) {
        case 0x0A01:
          return saved_before_battle == 0 ? by_choice : 2;
        case 0x0A02:
          return by_choice;
        case 0x0A03:
          return saved_before_battle == 1 ? by_choice : 2;
        default:
          // The other scenes of the chapter show the whole cast, as every other chapter does
          // (choosing no row would show six trustless panels of the first heroine).
          return 2;
      }
    default:
      return 2;
  }
}

int CTamvikTrust::Chapter() const { return GetAdvState()->sceneCode() >> 8; }

void CTamvikTrust::SetupPanelList() {
  rows_ = {};
  const int row = PanelRowFor(GetAdvState()->sceneCode(), GetSystemData()->savedBeforeBattle(),
                              GetMacroP(83));
  int count = 0;
  for (int i = 0; i < kPanels; ++i) {
    const uint16_t code = kHeroineRows[row][i];
    rows_[i].code = code;
    if (code == kEmpty) continue;
    rows_[i].trust = GetMacroP(kHeroines[code].trust_var);
    rows_[i].rank = GetMacroP(kHeroines[code].rank_var);
    ++count;
  }
  SortPanelList(count);
}

void CTamvikTrust::SortPanelList(int count) {
  // Neighbours swap only when the later rank is strictly greater, so equal ranks keep their
  // order.
  count = std::clamp(count, 0, kPanels);
  for (int end = count; end > 1;) {
    int last_swap = 0;
    for (int i = 1; i < end; ++i) {
      if (rows_[i].rank > rows_[i - 1].rank) {
        std::swap(rows_[i], rows_[i - 1]);
        last_swap = i;
      }
    }
    end = last_swap;
  }
}

uint8_t CTamvikTrust::ChooseFace(uint16_t code, int face_mode, uint16_t trust,
                                 int chapter) const {
  if (code >= kEmpty || (face_mode != 1 && face_mode != 2)) return kBlankUnit;
  if (chapter >= 9) trust = kTrustHigh;
  const bool high = trust >= kTrustHigh;
  return kHeroines[code].faces[(face_mode - 1) * 2 + (high ? 1 : 0)];
}

CTamvikTrust::Bonus CTamvikTrust::BonusFor(uint16_t trust) {
  if (trust < kTrustZero) return {};
  const int k = std::min(trust - kTrustZero, 35);
  Bonus bonus;
  bonus.attack = k < 25 ? kAttack[k] : 10;
  bonus.defence = k < 25 ? kDefence[k] : 5;
  bonus.move = k <= 10 ? 0 : (k <= 24 ? 1 : 2);
  return bonus;
}

std::string CTamvikTrust::FormatBonusLine(int label, int value) const {
  if (value <= 0 || label < 0 || label >= static_cast<int>(labels_.size())) return {};
  const int tens = (value / 10) % 10;
  const int units = value % 10;
  std::string line = labels_[label] + kPlus;
  line += tens != 0 ? digits_[tens] : std::string(kSpace);
  line += digits_[units];
  return line;
}

std::array<std::string, 3> CTamvikTrust::PageLines(const PanelRow& row, int page,
                                                   int chapter) const {
  if (row.code >= kEmpty) return {};
  if (page == 1) {
    // High band from 0x800B (always from chapter 9), middle from 0x8000, low below.
    const int band = (chapter >= 9 || row.trust >= kTrustHigh) ? 0
                     : row.trust >= kTrustZero                  ? 1
                                                                : 2;
    return {names_[row.code], moods_[band * 2], moods_[band * 2 + 1]};
  }
  if (page == 2) {
    const Bonus bonus = BonusFor(row.trust);
    return {FormatBonusLine(0, bonus.attack), FormatBonusLine(1, bonus.defence),
            FormatBonusLine(2, bonus.move)};
  }
  return {};
}

bool CTamvikTrust::HoldsAnything() const {
  const auto any = [](const auto& list) {
    return std::any_of(list.begin(), list.end(), [](const auto& p) { return p != nullptr; });
  };
  return face_file_ != nullptr || page_timer_ != nullptr || any(face_sprites_) ||
         any(face_pieces_) || any(panel_timers_) || any(flips_) || any(slides_) ||
         any(windows_);
}

void CTamvikTrust::CreatePanels() {
  CDdrawWindow& windows = Ctx().ddraw_window;
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  if (face_file_ == nullptr) face_file_ = TamvikFunc::LoadUnitFile(kFaceFile);
  if (face_file_ == nullptr) DebugPrint("CTamvikTrust: no face file %s\n", kFaceFile);
  for (int i = 0; i < kPanels; ++i) {
    const int x = HomeX(i);
    const int y = HomeY(i);
    if (windows_[i] == nullptr) {
      windows_[i] = windows.Create(SURFACE_TEXT, {x, y, x + 288, y + 128},
                                   {x + 48, y + 16, x + 272, y + 112},
                                   {x + 144, y + 16, x + 272, y + 112}, 0xFFFFFF, 0);
    }
    if (windows_[i] == nullptr) continue;
    if (TamvikFunc::LoadSprToSurfaceNoPos(kCardFile, i, SURFACE_SCRATCH, 0) == 1) {
      windows.BltToPiece(windows_[i], CDdrawWindow::kFrameSprite, {0, 0, 288, 128},
                         {0, 0, 288, 128}, SURFACE_SCRATCH, 1);
    }
    const SprRec* blank =
        face_file_ != nullptr ? Scene().tamvik_spr.GetUnitSprID(face_file_, kBlankUnit) : nullptr;
    if (face_sprites_[i] == nullptr && blank != nullptr) {
      face_sprites_[i] = sprites.CopySprite(blank, nullptr);
    }
    if (face_sprites_[i] != nullptr && face_pieces_[i] == nullptr) {
      face_pieces_[i] = windows.AddPieceShort(windows_[i], face_sprites_[i], 48, 16, 0, 1);
    }
  }
}

void CTamvikTrust::DeletePanels() {
  CDdrawAnime& anime = Ctx().anime;
  CDdrawWindow& windows = Ctx().ddraw_window;
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  StopTimer(page_timer_);
  for (int i = 0; i < kPanels; ++i) {
    StopTimer(panel_timers_[i]);
    if (flips_[i] != nullptr) anime.DeleteRef(&flips_[i]);
    if (slides_[i] != nullptr) anime.DeleteRef(&slides_[i]);
    if (windows_[i] != nullptr) {
      windows.DeleteAllPiece(windows_[i]);
      windows.Delete(&windows_[i]);
    }
    face_pieces_[i] = nullptr;
    if (face_sprites_[i] != nullptr) sprites.DeleteSprite(&face_sprites_[i]);
  }
  if (face_file_ != nullptr) TamvikFunc::ReleaseUnitFile(face_file_);
}

void CTamvikTrust::StopTimer(AnimeHandle& timer) {
  if (timer != nullptr) Ctx().anime.DeleteRef(&timer);
}

void CTamvikTrust::NewPanelTimer(int i) {
  StopTimer(panel_timers_[i]);
  panel_timers_[i] = Ctx().anime.CreateTimer();
}

void CTamvikTrust::PutFace(int i) {
  PanelRec& panel = panels_[i];
  panel.face_unit = ChooseFace(rows_[i].code, panel.face_mode, rows_[i].trust, Chapter());
  if (face_file_ == nullptr || face_sprites_[i] == nullptr || windows_[i] == nullptr) return;
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  const SprRec* source = Scene().tamvik_spr.GetUnitSprID(face_file_, panel.face_unit);
  if (source == nullptr) return;
  SprRec* copy = sprites.CopySprite(source, face_sprites_[i]);
  if (copy == nullptr) return;
  CDdrawWindow& windows = Ctx().ddraw_window;
  if (face_pieces_[i] != nullptr) windows.DeletePiece(windows_[i], face_pieces_[i]);
  if (copy != face_sprites_[i]) {
    // A face of another size came as a new sprite: it replaces the panel's.
    sprites.DeleteSprite(&face_sprites_[i]);
    face_sprites_[i] = copy;
  }
  face_pieces_[i] = windows.AddPieceShort(windows_[i], face_sprites_[i], 48, 16, 0, 1);
}

void CTamvikTrust::DrawPanelText(int i) {
  CDdrawWindow& windows = Ctx().ddraw_window;
  if (windows_[i] == nullptr) return;
  windows.ClearText(windows_[i]);
  const std::array<std::string, 3> lines = PageLines(rows_[i], panels_[i].text_page, Chapter());
  for (int line = 0; line < 3; ++line) {
    if (lines[line].empty()) continue;
    windows.DrawTextWindow(windows_[i], lines[line].c_str(), 0, line * 32, kLineColor);
  }
}

void CTamvikTrust::StepPanel(int i) {
  CDdrawAnime& anime = Ctx().anime;
  PanelRec& panel = panels_[i];
  switch (panel.phase) {
    case 0: {
      if (anime.GetTimer(panel_timers_[i], 0, 0) <= panel.delay) return;
      StopTimer(panel_timers_[i]);
      if (rows_[i].code == kEmpty) {
        panel.phase = 2;
      } else {
        panel.phase = 1;
        if ((i % 2) != 0) PlaySystemSe(kTurnSound);
        flips_[i] =
            anime.CreateSpriteAnime(face_sprites_[i], 0, 0, 0, 0, 90, kTurnStep, 2, kTurnInterval);
        anime.SetAutoClear(&flips_[i]);
        panel.current_marker = panel.marker_a;
      }
      PutFace(i);
      return;
    }
    case 1: {
      if (flips_[i] != nullptr) return;
      if (panel.current_marker == panel.marker_a) {
        panel.face_mode = panel.next_face_mode;
        flips_[i] =
            anime.CreateSpriteAnime(face_sprites_[i], 0, 0, 0, 90, 0, kTurnStep, 2, kTurnInterval);
        anime.SetAutoClear(&flips_[i]);
        panel.current_marker = panel.marker_b;
      } else {
        panel.phase = 2;
      }
      PutFace(i);
      return;
    }
    case 2:
      DrawPanelText(i);
      panel.done = 1;
      panel.phase = 3;
      return;
    default:
      return;
  }
}

bool CTamvikTrust::RunPanels() {
  bool all_done = true;
  for (int i = 0; i < kPanels; ++i) {
    StepPanel(i);
    if (panels_[i].done == 0) all_done = false;
  }
  if (!all_done) return false;
  StopTimer(page_timer_);
  page_timer_ = Ctx().anime.CreateTimer();
  return true;
}

void CTamvikTrust::StartPage(int next_face_mode, int text_page, uint16_t marker_a,
                             uint16_t marker_b) {
  for (int i = 0; i < kPanels; ++i) {
    PanelRec& panel = panels_[i];
    panel.phase = 0;
    panel.done = 0;
    panel.marker_a = marker_a;
    panel.marker_b = marker_b;
    panel.current_marker = 0;
    panel.delay = static_cast<uint16_t>(10 + 2 * i);
    panel.next_face_mode = static_cast<uint8_t>(next_face_mode);
    panel.text_page = static_cast<uint8_t>(text_page);
    NewPanelTimer(i);
  }
}

void CTamvikTrust::SetSlideOut(int i) {
  panels_[i].slide_x = SlideOffX(i);
  panels_[i].delay = SlideDelay(i);
  panels_[i].slide_started = 0;
  NewPanelTimer(i);
}

void CTamvikTrust::CheckKaoPanel(GameTaskRec* task) { Scene().trust.Step(task); }

void CTamvikTrust::Step(GameTaskRec* record) {
  StepTask<TrustWork> task(Ctx().game_task, record);
  if (task.OwnerGone()) {
    // The eyecatch went away mid-showing: everything the showing holds goes with it.
    DeletePanels();
    task.End();
    return;
  }
  CDdrawAnime& anime = Ctx().anime;
  CDdrawWindow& windows = Ctx().ddraw_window;
  const auto page_frames = [&] { return anime.GetTimer(page_timer_, 0, 0); };
  const auto run_panels_then = [&](uint8_t running, uint8_t next) {
    task.GoTo(RunPanels() ? next : running);
  };
  switch (task.step()) {
    case 0:
      task.work().finished = 0;
      panels_ = {};
      task.GoTo(1);
      break;
    case 1:
      task.GoTo(7);
      break;
    case 7:
      SetupPanelList();
      task.GoTo(10);
      break;
    case 10:
      CreatePanels();
      for (int i = 0; i < kPanels; ++i) {
        PanelRec& panel = panels_[i];
        panel.slide_amount = kSlideAmount;
        panel.slide_x = SlideOffX(i);
        panel.delay = SlideDelay(i);
        panel.y = HomeY(i);
        panel.index = static_cast<uint8_t>(i);
        panel.face_mode = 0;
        panel.text_page = 1;
        if (windows_[i] != nullptr) windows.Move(windows_[i], panel.slide_x, panel.y);
      }
      task.GoTo(11);
      break;
    case 11:
      for (int i = 0; i < kPanels; ++i) {
        slides_[i] = anime.CreateWindowAnime(windows_[i], panels_[i].slide_x, HomeX(i),
                                             kSlideAmount, panels_[i].y, panels_[i].y, 0, 0,
                                             kSlideInterval);
        anime.SetAutoClear(&slides_[i]);
      }
      task.GoTo(12);
      break;
    case 12:
    case 44:
      if (std::all_of(slides_.begin(), slides_.end(), [](AnimeHandle s) { return s == nullptr; })) {
        task.GoTo(task.step() == 12 ? 20 : 45);
      }
      break;
    case 20:
    case 33:
      StartPage(1, 1, 128, 256);
      run_panels_then(task.step() + 1, task.step() + 2);
      break;
    case 21:
    case 31:
    case 34:
    case 41:
      run_panels_then(task.step(), task.step() + 1);
      break;
    case 22:
      if (GetSystemData()->savedBeforeBattle() == 0) {
        if (page_frames() > kPageFrames && KeyTriggered(0, 1)) {
          StopTimer(page_timer_);
          PlaySystemSe(kCloseSound);
          task.GoTo(40);
        }
      } else if (page_frames() > kPageFrames || KeyTriggered(7, 8)) {
        StopTimer(page_timer_);
        task.GoTo(30);
      }
      break;
    case 30: {
      StartPage(2, 2, 384, 0);
      if (Chapter() < 4) {
        for (int i = 0; i < kPanels; ++i) {
          if (rows_[i].code != kYsol) continue;
          panels_[i].next_face_mode = 0;
          panels_[i].text_page = 0;
        }
      }
      run_panels_then(31, 32);
      break;
    }
    case 32:
    case 35:
      if (page_frames() < kPageSwitchFrames) break;
      if (KeyTriggered(0, 1)) {
        StopTimer(page_timer_);
        PlaySystemSe(kCloseSound);
        task.GoTo(40);
      } else if (KeyTriggered(7, 8)) {
        StopTimer(page_timer_);
        PlaySystemSe(kCloseSound);
        task.GoTo(task.step() == 32 ? 33 : 30);
      }
      break;
    case 40:
      StartPage(0, 0, 128, 256);
      for (WindowRec* window : windows_) {
        if (window != nullptr) windows.ClearText(window);
      }
      run_panels_then(41, 42);
      break;
    case 42:
      for (int i = 0; i < kPanels; ++i) SetSlideOut(i);
      task.GoTo(43);
      break;
    case 43: {
      bool all_passed = true;
      for (int i = 0; i < kPanels; ++i) {
        PanelRec& panel = panels_[i];
        if (panel.slide_started != 0) continue;
        if (anime.GetTimer(panel_timers_[i], 0, 0) <= panel.delay) {
          all_passed = false;
          continue;
        }
        slides_[i] = anime.CreateWindowAnime(windows_[i], HomeX(i), panel.slide_x, kSlideAmount,
                                             panel.y, panel.y, 0, 0, kSlideInterval);
        anime.SetAutoClear(&slides_[i]);
        panel.slide_started = 1;
      }
      if (all_passed) {
        for (AnimeHandle& timer : panel_timers_) StopTimer(timer);
        task.GoTo(44);
      }
      break;
    }
    case 45:
      task.work().finished = 1;
      DeletePanels();
      task.End();
      break;
    default:
      DebugPrint("CTamvikTrust::CheckKaoPanel: no step %d\n", task.step());
      DeletePanels();
      task.End();
      break;
  }
}
