// The choice window: layout, bars, gauge, input and the task that runs one choice from its opening
// animation to its closing one.

#include "scene/ui/tamvik_lips.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/step_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/text/text_big5.h"
#include "engine/gfx/window/window.h"
#include "engine/sound/dsound_func.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr const char* kWindowDirectory = "tamvik1\\system\\window\\";
constexpr const char* kSprExtension = ".spr";
constexpr const char* kBarPicture = "LipsCur";
constexpr const char* kSeDirectory = "tamvik1\\system\\SE\\";

constexpr ColorRef kWindowColor = 0xFFFFFF;
constexpr ColorRef kTimeoutColor = 0xC0C0FF;
constexpr ColorRef kGaugeColor = 0x0000FF;
constexpr BlendWord kBarAlpha = 127;
constexpr int kBarHeight = 32;
constexpr int kCharWidth = 24;
// Half the text rectangle's width: a line of n bytes (n / 2 characters of 24 pixels) starts at
// 228 - n x 6.
constexpr int kTextCentre = 228;
constexpr int kPointerX = 320;
// The needle at the timed window's frame corner; the steam from both screen edges.
constexpr int kNeedleX = 48;
constexpr int kNeedleY = 56;
constexpr int kSteamY = 24;
constexpr int kSteamRightX = 640;
constexpr uint32_t kMirror = 16;
// The window opens and closes by 12 percent per 33 ms.
constexpr int kOpenStep = 12;
constexpr uint32_t kOpenMs = 33;
constexpr int kOpenPercentMode = 1;
constexpr int kBlinkFrames = 6;
constexpr uint8_t kBlinkEnd = 9;

// The logical keys the choice reads.
constexpr int kKeyDecide = 0;
constexpr int kKeySkip = 2;
constexpr int kKeyUp = 5;
constexpr int kKeyDown = 6;

// The system sounds it plays.
constexpr int kSeStopStream = 0;
constexpr int kSeOpen = 1;
constexpr int kSeClose = 2;
constexpr int kSeMove = 3;
constexpr int kSeDecide = 4;
constexpr int kSeTimeout = 8;

const CTamvikLips::Layout kLayouts[2] = {
    {{48, 56, 592, 296}, {80, 120, 560, 264}, {92, 132, 548, 252}, "window_a", 128, 32, 72, 144},
    {{64, 88, 576, 264}, {80, 104, 560, 248}, {92, 116, 548, 236}, "window_c", 112, 16, 24, 128},
};

// Time-limit bands: the first limit of each band and its file number (-1: TE06 itself).
struct SeBand {
  uint32_t from;
  int number;
};
constexpr SeBand kSeBands[] = {{1200, 8}, {600, 7}, {420, 6}, {360, 5}, {241, -1},
                               {201, 4},  {181, 3}, {151, 2}, {121, 1}, {0, 0}};

std::string PictureName(const char* name) {
  return std::string(kWindowDirectory) + name + kSprExtension;
}

CTamvikSpr& Units() { return Scene().tamvik_spr; }

}  // namespace

const CTamvikLips::Layout& CTamvikLips::LayoutOf(int mode) { return kLayouts[mode == 0 ? 0 : 1]; }

CTamvikLips::CTamvikLips() = default;

// ---- Layout ----

int CTamvikLips::ChoiceText(const char* text) {
  for (auto& line : lines_) line.fill('\0');
  size_t line = 0;
  size_t length = 0;
  const size_t size = text != nullptr ? std::strlen(text) : 0;
  for (size_t i = 0; i < size;) {
    const bool separator = i + 1 < size && text[i] == '$' && text[i + 1] == '$';
    if (separator) {
      // A fourth line has no buffer: its separator is dropped and line 3 goes on.
      if (line + 1 < static_cast<size_t>(kMaxLines)) {
        ++line;
        length = 0;
      }
      i += 2;
      continue;
    }
    // One character whole, or nothing of it when the line is full.
    const size_t bytes = Big5CharBytes(text, size, i);
    if (length + bytes < kLineBytes) {
      for (size_t b = i; b < i + bytes; ++b) lines_[line][length++] = text[b];
    } else {
      length = kLineBytes - 1;
    }
    i += bytes;
  }
  count_ = static_cast<int>(line) + 1;
  return count_;
}

void CTamvikLips::LayRows() {
  row_y_ = {0, 0, 0};
  switch (count_) {
    case 1: row_y_[0] = 48; break;
    case 2: row_y_[0] = 24; row_y_[1] = 72; break;
    default: row_y_ = {0, 48, 96}; break;
  }
}

int CTamvikLips::TextX(size_t bytes) {
  // Lines wider than the text rectangle start at its left edge; the window clips the rest.
  const int64_t x = kTextCentre - static_cast<int64_t>(bytes) * kCharWidth / 4;
  return x < 0 ? 0 : static_cast<int>(x);
}

std::string CTamvikLips::LipsSeName(uint32_t limit) {
  char name[256];
  for (const SeBand& band : kSeBands) {
    if (limit < band.from) continue;
    if (band.number < 0) {
      std::snprintf(name, sizeof name, "%s%s06%s", kSeDirectory, "TE", ".wav");
    } else {
      std::snprintf(name, sizeof name, "%s%s06_%.02d%s", kSeDirectory, "TE", band.number, ".wav");
    }
    break;
  }
  return name;
}

Rect CTamvikLips::BarRect(int i) const {
  const Layout& layout = LayoutOf(mode_);
  const int top = row_y(i) + layout.bar_top;
  return {layout.inner.left, top, layout.inner.right, top + kBarHeight};
}

// ---- Start ----

int CTamvikLips::StartLips(const char* text, int limit) {
  return StartLipsEx(text, limit, kDefaultStyle);
}

int CTamvikLips::StartLipsEx(const char* text, int limit, int style) {
  EngineContext& ctx = Ctx();
  if (!IsLipsEnd()) {
    // A second window would take over the first one's handles and leave them behind.
    DebugPrint("CTamvikLips::StartLipsEx: a choice runs already\n");
    return 0;
  }
  // A choice whose task was ended from outside (a scene torn down) left its window behind.
  ClearLeftovers();
  const uint16_t frames = static_cast<uint16_t>(std::clamp(limit, 0, 0xFFFF));
  mode_ = frames != 0 ? 0 : 1;

  ChoiceText(text);
  LayRows();
  OpenChoiceWindow(mode_, style);
  CreateCursorBars(mode_);
  ctx.ddraw_window.SetOpen(window_, 0, 0);
  for (int i = 0; i < count_; ++i) {
    text_x_[static_cast<size_t>(i)] = TextX(std::strlen(line(i)));
    TamvikFunc::DrawWindowChars(window_, line(i), text_x(i), row_y(i));
  }
  TamvikFunc::SetMouseCursorPos(kPointerX, row_y(0) + LayoutOf(mode_).pointer_top);

  auto* work = TaskNewBlock<LipsTaskWork>();
  auto* extra = TaskNewBlock<LipsWork>();
  extra->mode = static_cast<uint8_t>(mode_);
  extra->limit = frames;
  if (ctx.game_task.SetTask(nullptr, &CTamvikLips::Lips, kTaskName, work, extra) == 0) {
    DebugPrint("CTamvikLips::StartLipsEx: the task cannot be made\n");
    DeleteCursorBars();
    CloseChoiceWindow();
    return 0;
  }
  if (steam_file_ == nullptr) LoadGaugeFiles();
  return 1;
}

int TamvikFunc::StartLips(const char* text, int limit) {
  return Scene().lips.StartLips(text, limit);
}

bool CTamvikLips::IsLipsEnd() const { return Ctx().game_task.FindTask(kTaskName) == nullptr; }

void CTamvikLips::EndLips() {
  CGameTask& list = Ctx().game_task;
  if (GameTaskRec* task = list.FindTask(kTaskName)) {
    const auto& work = *static_cast<const LipsWork*>(task->extra);
    if (work.mode == 0 && TaskStep(task) == 3) {
      // The gauge's sound plays in this step only.
      Ctx().dsound.StopSE();
      Ctx().dsound.SetSEVolume(work.saved_se_volume, 0);
    }
    list.DelTask(task);
  }
  ClearLeftovers();
  FreeGaugeFiles();
}

void CTamvikLips::ClearLeftovers() {
  EngineContext& ctx = Ctx();
  CTamvikSpr& units = Units();
  units.ReleaseAnm(&needle_);
  units.ReleaseAnm(&steam_left_);
  units.ReleaseAnm(&steam_right_);
  if (open_anime_ != nullptr && ctx.anime.IsAnime(open_anime_) != 0) {
    ctx.anime.DeleteRef(&open_anime_);
  }
  open_anime_ = nullptr;
  if (timer_ != nullptr && ctx.anime.IsAnime(timer_) == 0) timer_ = nullptr;
  StopTimer();
  if (window_ != nullptr && ctx.ddraw_window.IsWindow(window_) == 0) window_ = nullptr;
  DeleteCursorBars();
  CloseChoiceWindow();
  saved_se_name_.clear();
}

// ---- Window, bars, files ----

int CTamvikLips::OpenChoiceWindow(int mode, int style) {
  EngineContext& ctx = Ctx();
  const Layout& layout = LayoutOf(mode);
  window_ = ctx.ddraw_window.Create(SURFACE_TEXT, layout.frame, layout.inner, layout.text,
                                    kWindowColor, style);
  if (window_ == nullptr) {
    DebugPrint("CTamvikLips::OpenChoiceWindow: the window cannot be made\n");
    return 0;
  }
  // A picture that does not load leaves surface 12 transparent rather than holding whatever the
  // last user drew there.
  ctx.ddraw.ClearSurface(SURFACE_SCRATCH, 1);
  const std::string name = PictureName(layout.background);
  if (TamvikFunc::LoadPicture(name.c_str(), 0, 0, 0, SURFACE_SCRATCH) != 1) {
    DebugPrint("CTamvikLips: picture %s cannot be loaded\n", name.c_str());
  }
  const Rect whole = {0, 0, layout.frame.right - layout.frame.left,
                      layout.frame.bottom - layout.frame.top};
  ctx.ddraw_window.BltToPiece(window_, CDdrawWindow::kTextSprite, whole, whole, SURFACE_SCRATCH,
                              1);
  return 1;
}

void CTamvikLips::CloseChoiceWindow() {
  if (window_ == nullptr) return;
  CDdrawWindow& windows = Ctx().ddraw_window;
  windows.ClearText(window_);
  windows.Delete(&window_);
  Ctx().ddraw.SetUpdate(SURFACE_TEXT, 1);
}

void CTamvikLips::CreateCursorBars(int mode) {
  EngineContext& ctx = Ctx();
  const Layout& layout = LayoutOf(mode);
  const std::string name = PictureName(kBarPicture);
  for (int i = 0; i < count_; ++i) {
    const Rect bar = BarRect(i);
    ctx.ddraw.ClearSurface(SURFACE_SCRATCH, 1);
    if (TamvikFunc::LoadPicture(name.c_str(), bar.left, bar.top, 0, SURFACE_SCRATCH) != 1) {
      DebugPrint("CTamvikLips: picture %s cannot be loaded\n", name.c_str());
    }
    SprRec* sprite = ctx.ddraw_spr.CreateSprite(layout.bar_home_x, row_y(i) + layout.bar_home_top,
                                                SURFACE_SCRATCH, bar.left, bar.top, bar.right,
                                                bar.bottom);
    if (sprite != nullptr) ctx.ddraw_spr.SetSpriteAlpha(sprite, kBarAlpha);
    bars_[static_cast<size_t>(i)] = sprite;
  }
}

void CTamvikLips::DeleteCursorBars() {
  EngineContext& ctx = Ctx();
  if (window_ != nullptr) ctx.ddraw_window.DeleteAllPiece(window_);
  highlight_ = nullptr;
  for (SprRec*& bar : bars_) {
    if (bar != nullptr) ctx.ddraw_spr.DeleteSprite(&bar);
    bar = nullptr;
  }
}

void CTamvikLips::LoadGaugeFiles() {
  if (steam_file_ != nullptr) TamvikFunc::ReleaseAnmFile(steam_file_);
  steam_file_ = TamvikFunc::LoadAnmFile(kSteamFile);
  if (needle_file_ != nullptr) TamvikFunc::ReleaseAnmFile(needle_file_);
  needle_file_ = TamvikFunc::LoadAnmFile(kNeedleFile);
  if (steam_file_ == nullptr || needle_file_ == nullptr) {
    DebugPrint("CTamvikLips: gauge animations cannot be loaded; the choice runs without them\n");
    FreeGaugeFiles();
  }
}

void CTamvikLips::FreeGaugeFiles() {
  if (steam_file_ != nullptr) TamvikFunc::ReleaseAnmFile(steam_file_);
  if (needle_file_ != nullptr) TamvikFunc::ReleaseAnmFile(needle_file_);
}

void CTamvikLips::SetHighlight(int row) {
  CDdrawWindow& windows = Ctx().ddraw_window;
  if (highlight_ != nullptr) {
    windows.DeletePiece(window_, highlight_);
    highlight_ = nullptr;
  }
  if (row < 0 || row >= count_) return;
  SprRec* bar = bars_[static_cast<size_t>(row)];
  if (bar != nullptr && window_ != nullptr) {
    highlight_ = windows.AddPieceShort(window_, bar, 0, 0, CDdrawWindow::kTextSprite, 1);
  }
  Ctx().ddraw.SetUpdate(SURFACE_TEXT, 1);
}

// ---- Input, gauge, sound ----

int CTamvikLips::SelectInput(LipsWork& work) {
  const int entry = work.current;
  int current = entry;
  if (IsKeyTriggered(kKeyDecide) != 0) {
    DebugPrint("Lips Selected %d\n", current);
    result_ = current;
    PlaySystemSe(kSeDecide);
    return current;
  }
  const CDinput& input = Ctx().input;
  const int x = input.GetMouseX();
  const int y = input.GetMouseY();
  if (x != input.GetOldMouseX() || y != input.GetOldMouseY()) {
    for (int i = 0; i < count_; ++i) {
      const Rect bar = BarRect(i);
      if (PointInRect(x, y, bar.left, bar.top, bar.right, bar.bottom)) {
        current = i + 1;
        if (current != entry) SetHighlight(i);
      }
    }
  } else {
    if (IsKeyTriggered(kKeyUp) != 0) {
      if (--current <= 0) current = count_;
      SetHighlight(current - 1);
    }
    if (IsKeyTriggered(kKeyDown) != 0) {
      if (++current > count_) current = 1;
      SetHighlight(current - 1);
    }
  }
  work.current = static_cast<uint16_t>(current);
  if (current != entry) PlaySystemSe(kSeMove);
  return 0;
}

void CTamvikLips::DrawGaugeSegment(Rect rect) {
  if (rect.right <= rect.left || rect.bottom <= rect.top) return;
  EngineContext& ctx = Ctx();
  ctx.ddraw.DrawBox(SURFACE_SCRATCH, kGaugeColor, rect.left, rect.top, rect.right, rect.bottom, 0);
  ctx.ddraw_window.BltToPiece(window_, CDdrawWindow::kFrameSprite, rect, rect, SURFACE_SCRATCH,
                              1);
}

bool CTamvikLips::DrawGauge(uint32_t elapsed, uint32_t limit) {
  const uint64_t length =
      limit == 0 ? kGaugeFull : uint64_t{elapsed} * kGaugeFull / limit;
  const int l = static_cast<int>(std::min<uint64_t>(length, kGaugeFull));
  // Two mirrored lines from the middle of the lower edge: outwards along it (212 pixels), up the
  // sides (166) and inwards along the upper edge (150).
  if (l < 212) {
    DrawGaugeSegment({232 - l, 214, 232, 220});
    DrawGaugeSegment({312, 214, 312 + l, 220});
  } else if (l < 378) {
    DrawGaugeSegment({20, 214, 232, 220});
    DrawGaugeSegment({20, 220 - (l - 212), 26, 220});
    DrawGaugeSegment({312, 214, 524, 220});
    DrawGaugeSegment({518, 220 - (l - 212), 524, 220});
  } else {
    DrawGaugeSegment({20, 214, 232, 220});
    DrawGaugeSegment({20, 54, 26, 220});
    DrawGaugeSegment({26, 54, 26 + (l - 378), 60});
    DrawGaugeSegment({312, 214, 524, 220});
    DrawGaugeSegment({518, 54, 524, 220});
    DrawGaugeSegment({518 - (l - 378), 54, 518, 60});
  }
  Ctx().ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
  return elapsed > limit;
}

void CTamvikLips::PlayLipsSe(uint32_t limit) {
  const std::string name = LipsSeName(limit);
  DebugPrint("Play LipsTEFFECT File = %s\n", name.c_str());
  Ctx().dsound.PlaySE(name.c_str());
}

void CTamvikLips::SaveSound(LipsWork& work) {
  CDsoundFunc& sound = Ctx().dsound;
  work.saved_se_volume = sound.GetSEVolume();
  if (work.saved_se_volume < 0) {
    // No effect buffer to read: the channel's own volume is what later effects play at.
    work.saved_se_volume = static_cast<int32_t>(sound.channels[kChannelSe].volume);
  }
  const char* playing = sound.GetPlayFileName(kChannelSe);
  if (playing != nullptr && sound.GetLoopFlag(kChannelSe) != 0) {
    DebugPrint("Now SE %s\n", playing);
    saved_se_name_ = std::string(playing).substr(0, 255);
  }
  sound.SetSEVolume(100, 0);
}

void CTamvikLips::RestoreSound(LipsWork& work) {
  CDsoundFunc& sound = Ctx().dsound;
  PlaySystemSe(kSeStopStream);
  sound.SetSEVolume(work.saved_se_volume, 0);
  if (!saved_se_name_.empty()) {
    sound.PlaySE(saved_se_name_.c_str());
    saved_se_name_.clear();
  }
}

// ---- Timer and animations ----

void CTamvikLips::RestartTimer() {
  CDdrawAnime& anime = Ctx().anime;
  if (timer_ != nullptr && anime.IsAnime(timer_) != 0) {
    anime.ResetTimer(timer_);
  } else {
    timer_ = anime.CreateTimer();
  }
}

void CTamvikLips::StopTimer() {
  if (timer_ != nullptr) Ctx().anime.GetTimer(timer_, 0, 1);
  timer_ = nullptr;
}

int32_t CTamvikLips::TimerFrames() const {
  if (timer_ == nullptr) return 0;
  return std::max(Ctx().anime.GetTimer(timer_, 0, 0), 0);
}

void CTamvikLips::PlayNeedle(uint32_t animation) {
  Units().ReleaseAnm(&needle_);
  if (needle_file_ != nullptr) {
    needle_ = Units().PlayAnmLoopFlag(needle_file_, animation, kNeedleX, kNeedleY, 1,
                                      SURFACE_TEXT, 1);
  }
}

void CTamvikLips::StartClose() {
  CDdrawAnime& anime = Ctx().anime;
  Units().ReleaseAnm(&needle_);
  open_anime_ = anime.CreateWindowAnime(window_, 100, 0, kOpenStep, 100, 0, kOpenStep,
                                        kOpenPercentMode, kOpenMs);
  anime.SetAutoClear(&open_anime_);
}

// ---- The task ----

void CTamvikLips::Lips(GameTaskRec* record) {
  StepTask<LipsTaskWork> task(Ctx().game_task, record);
  CTamvikLips& lips = Scene().lips;
  LipsTaskWork& w = task.work();
  LipsWork& work = *static_cast<LipsWork*>(record->extra);
  EngineContext& ctx = Ctx();
  const auto clear_counters = [&w] {
    w.timer_copy = 0;
    w.steam_left_done = 0;
    w.steam_right_done = 0;
    w.phase = 0;
  };
  switch (task.step()) {
    case 0:
      work.elapsed = 0;
      task.GoTo(1);
      break;
    case 1:
      work.current = 0;
      work.elapsed = 0;
      PlaySystemSe(kSeOpen);
      lips.open_anime_ = ctx.anime.CreateWindowAnime(lips.window_, 0, 100, kOpenStep, 0, 100,
                                                     kOpenStep, kOpenPercentMode, kOpenMs);
      ctx.anime.SetAutoClear(&lips.open_anime_);
      task.GoTo(work.mode == 0 ? 2 : 9);
      break;
    case 2:
      if (lips.open_anime_ != nullptr) break;
      lips.PlayNeedle(0);
      lips.SaveSound(work);
      PlayLipsSe(work.limit);
      work.current = 1;
      lips.SetHighlight(0);
      lips.StopTimer();
      task.GoTo(3);
      break;
    case 3:
      if (lips.timer_ == nullptr) lips.timer_ = ctx.anime.CreateTimer();
      work.elapsed = static_cast<uint32_t>(lips.TimerFrames());
      if (lips.SelectInput(work) != 0) {
        clear_counters();
        lips.RestartTimer();
        lips.RestoreSound(work);
        task.GoTo(11);
      } else if (lips.DrawGauge(work.elapsed, work.limit)) {
        lips.RestoreSound(work);
        task.GoTo(6);
      }
      break;
    case 6: {
      DebugPrint("LIPS_TIMEOUT\n");
      lips.result_ = 0;
      lips.SetHighlight(-1);
      ctx.ddraw_window.SetColor(lips.window_, kTimeoutColor);
      lips.PlayNeedle(1);
      lips.RestartTimer();
      PlaySystemSe(kSeTimeout);
      CTamvikSpr& units = Units();
      units.ReleaseAnm(&lips.steam_left_);
      units.ReleaseAnm(&lips.steam_right_);
      if (lips.steam_file_ != nullptr) {
        lips.steam_left_ =
            units.PlayAnm(lips.steam_file_, 0, 0, kSteamY, 0, 0, SURFACE_TEXT, 1, 0);
        lips.steam_right_ =
            units.PlayAnm(lips.steam_file_, 0, kSteamRightX, kSteamY, 0, 0, SURFACE_TEXT, 1,
                          kMirror);
      }
      w.steam_left_done = 0;
      w.steam_right_done = 0;
      ctx.ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
      task.GoTo(7);
      break;
    }
    case 7: {
      CTamvikSpr& units = Units();
      SpxAnimeKind* kind = units.spx();
      const auto ended = [kind](AnimeHandle handle) {
        return kind == nullptr || kind->IsEnd(handle) != 0;
      };
      if (w.steam_left_done == 0 && ended(lips.steam_left_)) {
        units.ReleaseAnm(&lips.steam_left_);
        w.steam_left_done = 1;
        ctx.ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
      }
      if (w.steam_right_done == 0 && ended(lips.steam_right_)) {
        units.ReleaseAnm(&lips.steam_right_);
        w.steam_right_done = 1;
        ctx.ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
      }
      if (lips.TimerFrames() > kTimeoutFrames) {
        lips.StopTimer();
        PlaySystemSe(kSeClose);
        task.GoTo(8);
      }
      break;
    }
    case 8:
    case 13:
      lips.StartClose();
      task.GoTo(14);
      break;
    case 9:
      if (lips.open_anime_ != nullptr) break;
      work.current = 1;
      lips.SetHighlight(0);
      task.GoTo(10);
      break;
    case 10:
      if (lips.SelectInput(work) != 0) {
        clear_counters();
        lips.RestartTimer();
        task.GoTo(11);
      }
      break;
    case 11: {
      uint8_t phase = static_cast<uint8_t>(
          std::min<int32_t>(lips.TimerFrames() / kBlinkFrames, kBlinkEnd));
      if (IsKeyHeld(kKeySkip) != 0) phase = kBlinkEnd;
      if ((phase & 1) != (w.phase & 1)) {
        lips.SetHighlight((phase & 1) != 0 ? work.current - 1 : -1);
        ctx.ddraw.SetUpdate(SURFACE_ALL_LAYERS, 1);
        w.phase = phase;
      }
      if (phase >= kBlinkEnd) {
        clear_counters();
        lips.RestartTimer();
        task.GoTo(12);
      }
      break;
    }
    case 12:
      if (lips.TimerFrames() >= kConfirmHoldFrames) {
        lips.SetHighlight(-1);
        lips.StopTimer();
        PlaySystemSe(kSeClose);
        task.GoTo(13);
      }
      break;
    case 14:
      if (lips.open_anime_ != nullptr) break;
      lips.DeleteCursorBars();
      lips.CloseChoiceWindow();
      lips.FreeGaugeFiles();
      task.End();
      break;
    default:
      task.End();
      break;
  }
}
