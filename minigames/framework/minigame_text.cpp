#include "minigames/framework/minigame_text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/text/text_big5.h"
#include "engine/gfx/text/text_draw.h"
#include "minigames/framework/minigame_draw.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_surface.h"
#include "minigames/minigame_context.h"

namespace {

constexpr uint32_t kPrintColour = 0x0F0F0F;
constexpr int32_t kCharAdvance = 28;
constexpr int32_t kLineAdvance = 32;
constexpr uint16_t kFullWidthAt = 0xA249;

MgPrinter& Printer() { return Minigame().printer; }

// The window slot overwritten by its empty background (slot + 1), whole, past the drawing clip.
void RestoreWindow(const MgPrinter& p) {
  MinigameContext& m = Minigame();
  int32_t w = 0, h = 0;
  if (mg_surf_size(p.slot, &w, &h) == 0) return;
  const Rect saved = m.screen.clip;
  m.screen.clip = Rect{0, 0, w, h};
  mg_copy_rect(p.slot, 0, 0, p.slot + 1, 0, 0, w, h, false);
  m.screen.clip = saved;
}

// New page: the pen back at its start and the window cleared, when the pen has moved.
void NewPage(MgPrinter& p) {
  if (p.pen_x == p.start_x && p.pen_y == p.start_y) return;
  p.pen_x = p.start_x;
  p.pen_y = p.start_y;
  RestoreWindow(p);
}

// The page cleared whatever the pen: used by the close and the end of a waiting text.
void ClearPage(MgPrinter& p) {
  p.pen_x = p.start_x;
  p.pen_y = p.start_y;
  if (p.open != 0) RestoreWindow(p);
}

// The full-width Big5 code a single byte is drawn as.
uint16_t FullWidth(uint8_t b) {
  if (b >= '0' && b <= '9') return static_cast<uint16_t>(0xA2AF + (b - '0'));
  if (b >= 'A' && b <= 'Z') return static_cast<uint16_t>(0xA2CF + (b - 'A'));
  if (b >= 'a' && b <= 'v') return static_cast<uint16_t>(0xA2E9 + (b - 'a'));
  if (b >= 'w' && b <= 'z') return static_cast<uint16_t>(0xA340 + (b - 'w'));
  return kFullWidthAt;
}

void DrawChar(MgPrinter& p, uint8_t lead, uint8_t trail) {
  const char pair[3] = {static_cast<char>(lead), static_cast<char>(trail), 0};
  MgSurfaceSlot* s = mg_slot(p.slot);
  if (s != nullptr && s->surface != nullptr) {
    Ctx().ddraw_text.DrawString(pair, 2, p.pen_x, p.pen_y, s->surface, s->surface, kPrintColour);
  }
  p.pen_x += kCharAdvance;
  p.counter = p.delay - 1;
}

// A waiting text gives up its marker (a new text, the close).
void EndWait(MgPrinter& p) {
  if (p.waiting != 0 && p.marker != 0) mg_obj_flag(p.marker, mg::kObjHidden, 1);
  p.waiting = 0;
}

// The end of the text: with the skip flag the marker shows and the printer waits for decide;
// else idle with the text left.
void EndText(MgPrinter& p) {
  if (Minigame().fw.message_skip != 0) {
    p.waiting = 1;
    if (p.marker != 0) mg_obj_flag(p.marker, mg::kObjHidden, 0);
  } else {
    p.text = nullptr;
  }
}

int Start(const char* text) {
  MgPrinter& p = Printer();
  if (p.open == 0) {
    DebugPrint("mg_print: no text window\n");
    return 0;
  }
  EndWait(p);
  p.text = text;
  p.delay = mg::kPrintDelay;
  p.counter = mg::kPrintDelay - 1;  // the first character after `delay` steps
  return 1;
}

// Cuts the buffer before a lead byte whose pair the buffer does not hold.
void CutHalfPair(char* text) {
  size_t i = 0;
  while (text[i] != 0) {
    if (static_cast<uint8_t>(text[i]) >= 0x80) {
      if (text[i + 1] == 0) {
        text[i] = 0;
        return;
      }
      i += 2;
    } else {
      ++i;
    }
  }
}

}  // namespace

int mg_textwin_open(int32_t x, int32_t y, int32_t layer, int32_t slot, int32_t left, int32_t top) {
  mg_textwin_close();
  if (slot < 0 || slot > mg::kSlotCount - 2) {
    DebugPrint("mg_textwin_open: slot %d refused (0-1022)\n", slot);
    return 0;
  }
  MgPrinter& p = Printer();
  mg_obj_put(mg::kObjTextWindow, x, y, layer, slot, 0);
  p.open = 1;
  p.slot = slot;
  p.start_x = left + 1;
  p.start_y = top + 1;
  p.pen_x = p.start_x;
  p.pen_y = p.start_y;
  p.marker = 0;
  return 1;
}

int mg_textwin_close() {
  MgPrinter& p = Printer();
  EndWait(p);
  ClearPage(p);
  mg_obj_anim(mg::kObjTextWindow, 0);
  p.open = 0;
  p.slot = 0;
  p.text = nullptr;
  return 1;
}

int mg_print(const char* format, ...) {
  MgPrinter& p = Printer();
  if (p.open == 0) return Start(nullptr);
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(p.buffer.data(), p.buffer.size(), format, args);
  va_end(args);
  if (n < 0) p.buffer[0] = 0;
  p.buffer.back() = 0;
  CutHalfPair(p.buffer.data());
  return Start(p.buffer.data());
}

int mg_print_text(const char* text) { return Start(text != nullptr ? text : ""); }

const char* mg_print_test_text() {
  static const std::string line = Big5FromUtf8("中文字測試一行").value_or("");
  return line.c_str();
}

int mg_print_test() { return Start(mg_print_test_text()); }

int mg_print_skip(int on) {
  Minigame().fw.message_skip = on != 0 ? 1 : 0;
  return 1;
}

int mg_print_marker(int32_t object) {
  Printer().marker = object >= 1 && object < mg::kObjectCount ? object : 0;
  return 1;
}

int mg_print_busy() { return Printer().text != nullptr ? 1 : 0; }

void mg_print_step() {
  MgPrinter& p = Printer();
  if (p.text == nullptr) return;
  if (p.waiting != 0) {
    if (mg_key_take(kMgKeyDecide) == 0) return;
    EndWait(p);
    ClearPage(p);
    p.text = nullptr;
    return;
  }
  if (Minigame().fw.message_skip != 0 && mg_key_take(kMgKeyDecide | kMgKeyCancel) != 0) {
    p.delay = 0;
    p.counter = 0;
  }
  --p.counter;
  while (p.counter < 0) {
    const auto b = static_cast<uint8_t>(*p.text);
    if (b == 0) {
      EndText(p);
      return;
    }
    if (b >= 0x80) {
      const auto trail = static_cast<uint8_t>(p.text[1]);
      if (trail == 0) {  // a lead byte without its pair ends the text
        ++p.text;
        EndText(p);
        return;
      }
      DrawChar(p, b, trail);
      p.text += 2;
      continue;
    }
    ++p.text;
    if (b == 9) {
      p.delay = 0;
    } else if (b == 10) {
      p.pen_x = p.start_x;
      p.pen_y += kLineAdvance;
    } else if (b == 13) {
      NewPage(p);
    } else if (b >= 32) {
      const uint16_t code = FullWidth(b);
      DrawChar(p, static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code & 0xFF));
    }
  }
}

void mg_text_remove() {
  mg_textwin_close();
  Minigame().fw.message_skip = 0;
  Printer().marker = 0;
}

int mg_text_blit(int32_t slot, int32_t x, int32_t y, uint32_t colour, const char* text) {
  MgSurfaceSlot* s = mg_slot(slot);
  if (s == nullptr || s->surface == nullptr || text == nullptr) return 0;
  const size_t length = std::strlen(text);
  Ctx().ddraw_text.DrawString(text, static_cast<int>(std::min<size_t>(length, 1 << 20)), x, y,
                              s->surface, s->surface, colour);
  return 1;
}
