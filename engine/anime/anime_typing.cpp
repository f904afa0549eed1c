// Message typing (kind 7): a message typed one character at a time into a window's text sprite
// (a double-byte character takes two bytes, a single-byte one one), with silent steps, "$$" line
// breaks, the pause marks that close a talking mouth, the skip keys, and the re-typing after a
// surface restore.

#include <algorithm>

#include "engine/core/debug_trace.h"
#include "engine/anime/anime.h"
#include "engine/gfx/text/text_big5.h"
#include "engine/gfx/window/window.h"
#include "engine/input/dinput.h"

namespace {

constexpr int32_t kStepStart = 0;
constexpr int32_t kStepBegin = 1;
constexpr int32_t kStepRun = 2;

// With a mouth text the message keeps pace with the mouth: one character per 100 ms.
constexpr uint32_t kMouthInterval = 100;
// The skip keys: right mouse button (bit 1) and the skip toggle (bit 2).
constexpr GameKeyBits kSkipKeys = kGameKey1 | kGameKey2;
// A first byte that types nothing for one interval.
constexpr uint8_t kSilent = 0xFF;
// The typing colours the window's text call takes (only the first is drawn).
constexpr ColorRef kTextColor = 0x0F0F0F;
constexpr ColorRef kSecondColor = 0xC0C0C0;

// The bytes of the step at `at`: a silent step and a "$$" line break take two, as a double-byte
// character does; any other byte one (Big5CharBytes).
size_t StepBytes(const char* text, size_t length, size_t at) {
  const auto first = static_cast<uint8_t>(text[at]);
  const bool pair_mark = first == kSilent || (first == '$' && at + 1 < length && text[at + 1] == '$');
  if (pair_mark) return at + 1 < length ? 2 : 1;
  return Big5CharBytes(text, length, at);
}

bool HasMouthText(const AnimeMessageBlock& block, const std::vector<uint8_t>& text) {
  return block.mouth_position < text.size() && text[block.mouth_position] != 0;
}

}  // namespace

// In text byte order: the lead byte in the high half.
const std::array<uint16_t, 9> CDdrawAnime::kPunctuation = {
    0x8141, 0x8142, 0x8163, 0x8148, 0x8149, 0x81AC, 0x81B8, 0x8177, 0x8178,
};

AnimeHandle CDdrawAnime::CreateMessage(WindowRec* window, int x, int y, std::vector<uint8_t> text,
                                     uint32_t interval) {
  if (!windows_.IsWindow(window)) {
    DebugPrint("CDdrawAnime::CreateMessage: no window\n");
    return nullptr;
  }
  auto block = std::make_unique<AnimeMessageBlock>();
  block->start_x = x;
  block->start_y = y;
  block->x = x;
  block->y = y;
  block->window = window;
  block->interval = interval;
  // Every read stays inside the block: it ends in a zero byte even when the caller's does not.
  if (text.empty() || text.back() != 0) text.push_back(0);
  block->length =
      static_cast<uint32_t>(std::find(text.begin(), text.end(), uint8_t{0}) - text.begin());
  block->mouth_position = block->length + 2;
  AnimeRec* record = LinkRecord(kAnimeMessage, std::move(block));
  record->data = std::move(text);
  return HandleOf(record);
}

int CDdrawAnime::DeleteMessage(AnimeHandle handle) { return Delete(handle); }

int CDdrawAnime::TypeMessageChar(AnimeMessageBlock& block, std::span<const uint8_t> text) {
  CDdrawWindow& windows = windows_;
  const uint32_t length = std::min<uint32_t>(block.length, static_cast<uint32_t>(text.size()));
  for (;;) {
    if (block.typed >= length) return 0;
    if (!windows.IsWindow(block.window)) {
      DebugPrint("CDdrawAnime::TypeMessageChar: the window is gone\n");
      return 0;
    }
    const uint32_t at = block.typed;
    const auto* bytes = reinterpret_cast<const char*>(text.data());
    const size_t step = StepBytes(bytes, length, at);
    block.typed += static_cast<uint32_t>(step);
    const auto lead = static_cast<uint8_t>(bytes[at]);
    if (lead == kSilent) return 1;
    // A lead byte that ends the message stands for no character: nothing is drawn for it.
    if (IsLoneBig5Lead(bytes, length, at)) return 0;
    const char pair[3] = {bytes[at], step == 2 ? bytes[at + 1] : '\0', '\0'};

    const auto code = static_cast<uint16_t>(lead << 8 | static_cast<uint8_t>(pair[1]));
    punctuation_ =
        step == 2 && std::find(kPunctuation.begin(), kPunctuation.end(), code) != kPunctuation.end()
            ? 1
            : 0;

    // The window takes a font record; its glyph text draws without one.
    const int32_t size = windows.DrawText(block.window, 0, pair, block.x, block.y, nullptr,
                                          kTextColor, kSecondColor);
    if (size <= 0) {
      // Refused (it would leave the text rectangle): the pen stays, the rest is still typed.
      DebugPrint("CDdrawAnime::TypeMessageChar: character at byte %u refused at %d,%d\n", at,
                 block.x, block.y);
      return 1;
    }
    const int32_t advance = size & 0xFFFF;
    if (advance != 0) {
      block.x += advance;
      return 1;
    }
    // A line break: its height moves the pen down and typing goes on with the next character.
    block.x = 0;
    block.y += static_cast<int32_t>(static_cast<uint32_t>(size) >> 16);
  }
}

void CDdrawAnime::StepMessage(AnimeRec* record, uint32_t now) {
  auto* block = static_cast<AnimeMessageBlock*>(record->param.get());
  switch (record->step) {
    case kStepStart:
      record->step = kStepBegin;
      return;
    case kStepBegin:
      if (HasMouthText(*block, record->data)) block->interval = kMouthInterval;
      block->last = now;
      record->step = kStepRun;
      return;
    case kStepRun:
      // A late frame types every character that is due.
      while (now - block->last > block->interval) {
        block->last += block->interval;
        if ((input_.GetKeyHold() & kSkipKeys) != 0) {
          while (TypeMessageChar(*block, record->data) != 0) {
          }
          record->kind = kAnimeEnded;
          return;
        }
        if (TypeMessageChar(*block, record->data) == 0) {
          record->kind = kAnimeEnded;
          return;
        }
      }
      return;
    default:
      record->kind = kAnimeEnded;
      return;
  }
}

void AnimeMessageBlock::Redraw(CDdrawAnime& anime, AnimeRec& record) {
  if (record.kind != kAnimeMessage) return;  // ended already
  const uint32_t target = typed;
  x = start_x;
  y = start_y;
  typed = 0;
  while (typed < target) {
    if (anime.TypeMessageChar(*this, record.data) == 0) {
      // The text (or its window) ran out on the way: the message ends, and the holder's handle
      // is cleared through its end callback.
      record.kind = kAnimeEnded;
      return;
    }
  }
}
