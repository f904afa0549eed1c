// The animations of a speaking portrait: the portrait group (kind 3), the cell list of the eyes
// (kind 4), the blink loop (kind 5) and the talk mouth (kind 6). Each shows one cell of its
// caller's cell table as a persistent sprite-buffer entry, replacing the entry shown before.

#include <algorithm>
#include <string_view>

#include "engine/core/debug_trace.h"
#include "engine/files/random.h"
#include "engine/anime/anime.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/window/window.h"

namespace {

// Steps shared by the kinds.
constexpr int32_t kStepStart = 0;
constexpr int32_t kStepBegin = 1;
constexpr int32_t kStepRun = 2;

// Priorities of the entries: cells in front, the blink loop's cells at the back.
constexpr int kCellPriority = 0;
constexpr int kLoopPriority = 2047;

// A cell loop starts when a random number 0-32767 falls below this (about one step in 128).
constexpr int kLoopStartBelow = 256;
// A held cell of a cell list goes on when a random byte is at most this.
constexpr int kHoldReleaseAtMost = 3;

// Cells a late talk step chooses at most to catch up.
constexpr int kTalkCatchUpLimit = 64;

// The entry shown is removed, unless it went already (its sprite was deleted, which removes the
// entries showing it; the pool record may then serve another entry, which must not be touched).
void HideCell(CDdrawSpr& sprites, AnimeShownCell& shown) {
  SprBufferEntry* entry = shown.entry;
  const SprRec* sprite = shown.sprite;
  shown = {};
  if (entry == nullptr || !entry->in_use || entry->sprite != sprite) return;
  sprites.DeleteBufferChecked(&entry);
}

// The sprite of a cell, or null (with a trace) when the number lies outside the table or the
// table holds no live sprite there.
SprRec* CellSprite(CDdrawSpr& sprites, AnimeCellTable cells, uint32_t cell, const char* who) {
  if (cell >= cells.size()) {
    DebugPrint("%s: cell %u is outside the table of %u cells\n", who, cell,
               static_cast<unsigned>(cells.size()));
    return nullptr;
  }
  SprRec* sprite = cells[cell];
  if (sprite == nullptr || !sprites.IsSprite(sprite)) {
    DebugPrint("%s: cell %u has no sprite\n", who, cell);
    return nullptr;
  }
  return sprite;
}

// Shows the cell as a persistent entry (colour key on) in place of the one shown before. A cell
// without a sprite is skipped: what was shown stays.
void ShowCell(CDdrawSpr& sprites, AnimeShownCell& shown, AnimeCellTable cells, uint32_t cell,
              int x, int y, SurfaceId id, int priority, const char* who) {
  SprRec* sprite = CellSprite(sprites, cells, cell, who);
  if (sprite == nullptr) return;
  HideCell(sprites, shown);
  shown.entry = sprites.SetBuffer(CDdrawSpr::kBuffered, sprite, x, y, id, 1, priority);
  shown.sprite = shown.entry != nullptr ? sprite : nullptr;
}

// Moves an animation's shown entry to the newest place of its priority (drawn above the entries
// made before).
void RaiseShown(CDdrawSpr& sprites, const AnimeShownCell& shown) {
  SprBufferEntry* entry = shown.entry;
  if (entry == nullptr || !entry->in_use || entry->sprite != shown.sprite) return;
  sprites.SetBufferPriority(entry, entry->priority);
}

// The mouth letters: cell offset from the base and interval (ms).
struct MouthLetter {
  char letter;
  uint32_t offset;
  uint32_t interval;
};
constexpr MouthLetter kMouthLetters[] = {
    {'A', 1, 50},  {'I', 2, 50},  {'U', 3, 50},  {'E', 4, 50},  {'O', 5, 50},  {'N', 0, 50},
    {'a', 1, 100}, {'i', 2, 100}, {'u', 3, 100}, {'e', 4, 100}, {'o', 5, 100}, {'n', 0, 100},
};
constexpr int kMouthCells = 6;  // random mouths: offsets 0-5
constexpr uint32_t kPauseInterval = 100;

}  // namespace

// ---- Portrait group (kind 3) ----

void AnimeSprGroupBlock::CleanUp(CDdrawAnime& anime, AnimeRec& /*record*/) {
  HideCell(anime.sprites(), base_entry);
}

AnimeHandle CDdrawAnime::CreateSprGroup(SurfaceId id, uint32_t identifier, int x, int y,
                                      SprRec* base, AnimeHandle cell_anime, AnimeHandle talk_anime) {
  if (base == nullptr || !sprites_.IsSprite(base)) {
    DebugPrint("CDdrawAnime::CreateSprGroup: no base sprite\n");
    return nullptr;
  }
  auto block = std::make_unique<AnimeSprGroupBlock>();
  block->identifier = identifier;
  block->x = x;
  block->y = y;
  block->base = base;
  block->cell_anime = cell_anime;
  block->talk_anime = talk_anime;
  block->base_entry.entry =
      sprites_.SetBuffer(CDdrawSpr::kBuffered, base, 0, 0, id, 1, kCellPriority);
  if (block->base_entry.entry == nullptr) {
    DebugPrint("CDdrawAnime::CreateSprGroup: no sprite-buffer entry left\n");
    return nullptr;
  }
  block->base_entry.sprite = base;
  const AnimeHandle group = Link(kAnimeSprGroup, std::move(block));
  // The eyes and the mouth were shown before the base: they go above it.
  if (auto* cell = BlockOf<AnimeCellListBlock>(cell_anime)) RaiseShown(sprites_, cell->shown);
  if (auto* talk = BlockOf<AnimeTalkBlock>(talk_anime)) RaiseShown(sprites_, talk->shown);
  return group;
}

AnimeSprGroupBlock* CDdrawAnime::GetSprGroupParam(AnimeHandle handle) const {
  return BlockOf<AnimeSprGroupBlock>(handle);
}

AnimeHandle CDdrawAnime::GetGroupCell(AnimeHandle handle) const {
  const AnimeSprGroupBlock* block = GetSprGroupParam(handle);
  return block != nullptr ? block->cell_anime : nullptr;
}

AnimeHandle CDdrawAnime::GetGroupTalk(AnimeHandle handle) const {
  const AnimeSprGroupBlock* block = GetSprGroupParam(handle);
  return block != nullptr ? block->talk_anime : nullptr;
}

// ---- Cell list (kind 4) ----

void AnimeCellListBlock::CleanUp(CDdrawAnime& anime, AnimeRec& /*record*/) {
  HideCell(anime.sprites(), shown);
}

AnimeHandle CDdrawAnime::CreateCellAnime(SurfaceId id, std::unique_ptr<AnimeCellListBlock> block,
                                       std::vector<AnimeCellPair> pairs, int x, int y,
                                       uint32_t first, AnimeCellTable cells) {
  if (block == nullptr) {
    DebugPrint("CDdrawAnime::CreateCellAnime: no block\n");
    return nullptr;
  }
  block->surface = id;
  block->x = x;
  block->y = y;
  block->index = first;
  block->base = first;
  block->cells = cells;
  block->pairs = std::move(pairs);
  // The caller's range counts the pairs; one beyond the list would read past it.
  if (!block->pairs.empty() && block->range >= block->pairs.size()) {
    DebugPrint("CDdrawAnime::CreateCellAnime: range %u cut to %u pairs\n", block->range,
               static_cast<unsigned>(block->pairs.size()));
    block->range = static_cast<uint32_t>(block->pairs.size() - 1);
  }
  ShowCell(sprites_, block->shown, cells, first, 0, 0, id, kCellPriority,
           "CDdrawAnime::CreateCellAnime");
  return Link(kAnimeCellList, std::move(block));
}

void CDdrawAnime::StepCellAnime(AnimeRec* record, uint32_t now) {
  auto* block = static_cast<AnimeCellListBlock*>(record->param.get());
  switch (record->step) {
    case kStepStart:
      block->last = now;
      record->step = kStepBegin;
      return;
    case kStepBegin: {
      if (now - block->last < (block->duration & ~kCellHoldRandom)) return;
      if ((block->duration & kCellHoldRandom) != 0 && random_.NextByte() > kHoldReleaseAtMost) {
        block->last = now;  // held for another duration
        return;
      }
      if (block->pairs.empty()) {
        block->last = now;
        return;
      }
      const uint32_t pair_index = block->index - block->base;
      if (pair_index < block->pairs.size()) {
        const AnimeCellPair& pair = block->pairs[pair_index];
        ShowCell(sprites_, block->shown, block->cells, pair.cell, block->x, block->y,
                 block->surface, kCellPriority, "CDdrawAnime::StepCellAnime");
        block->duration = pair.duration;
      }
      block->index += 1;
      if (block->index - block->base > block->range) block->index = block->base;
      ddraw_.SetUpdate(block->surface, 1);
      block->last = now;
      return;
    }
    default:
      record->kind = kAnimeEnded;
      return;
  }
}

// ---- Cell loop (kind 5) ----

void AnimeCellLoopBlock::CleanUp(CDdrawAnime& anime, AnimeRec& /*record*/) {
  HideCell(anime.sprites(), shown);
}

AnimeHandle CDdrawAnime::CreateCellLoopEx(SurfaceId id, WindowRec* window,
                                        std::vector<uint32_t> list, int x, int y,
                                        uint32_t interval, AnimeCellTable cells) {
  auto block = std::make_unique<AnimeCellLoopBlock>();
  block->surface = id;
  block->window = window;
  block->x = x;
  block->y = y;
  block->interval = interval;
  block->cells = cells;
  // The list is read up to its cell 0; a list without one ends there as if it had it.
  const auto end = std::find(list.begin(), list.end(), 0u);
  if (end == list.end()) {
    DebugPrint("CDdrawAnime::CreateCellLoop: cell list without its end, 0 added\n");
    list.push_back(0);
  } else {
    list.erase(end + 1, list.end());
  }
  block->list = std::move(list);
  return Link(kAnimeCellLoop, std::move(block));
}

AnimeHandle CDdrawAnime::CreateCellLoop(SurfaceId id, std::vector<uint32_t> list, int x, int y,
                                      uint32_t interval, AnimeCellTable cells) {
  return CreateCellLoopEx(id, nullptr, std::move(list), x, y, interval, cells);
}

int CDdrawAnime::HideCellLoop(AnimeHandle handle) {
  auto* block = BlockOf<AnimeCellLoopBlock>(handle);
  if (block == nullptr) return 0;
  HideCell(sprites_, block->shown);
  return 1;
}

void CDdrawAnime::StepCellLoop(AnimeRec* record, uint32_t now) {
  auto* block = static_cast<AnimeCellLoopBlock*>(record->param.get());
  switch (record->step) {
    case kStepStart:
      if (random_.Next() < kLoopStartBelow) {
        block->last = now;
        record->step = kStepBegin;
      }
      return;
    case kStepBegin: {
      if (now - block->last < block->interval) return;
      if (block->position >= block->list.size()) block->position = 0;
      const uint32_t cell = block->list[block->position];
      HideCell(sprites_, block->shown);
      if (block->window != nullptr) {
        CDdrawWindow& windows = windows_;
        SprRec* sprite = CellSprite(sprites_, block->cells, cell, "CDdrawAnime::StepCellLoop");
        if (!windows.IsWindow(block->window)) {
          DebugPrint("CDdrawAnime::StepCellLoop: the window is gone\n");
        } else if (sprite != nullptr && block->window->text_sprite != nullptr) {
          sprites_.PutSpriteToSurface(sprite, block->x, block->y,
                                      block->window->text_sprite->surface, 1);
        }
      } else {
        ShowCell(sprites_, block->shown, block->cells, cell, block->x, block->y, block->surface,
                 kLoopPriority, "CDdrawAnime::StepCellLoop");
      }
      block->position += 1;
      if (cell == 0) {
        block->position = 0;
        record->step = kStepStart;
      }
      ddraw_.SetUpdate(SURFACE_ALL_LAYERS, 1);
      block->last = now;
      return;
    }
    default:
      record->kind = kAnimeEnded;
      return;
  }
}

// ---- Talk mouth (kind 6) ----

void AnimeTalkBlock::CleanUp(CDdrawAnime& anime, AnimeRec& /*record*/) {
  HideCell(anime.sprites(), shown);
}

AnimeHandle CDdrawAnime::SetTalkSurface(SurfaceId id, std::unique_ptr<AnimeTalkBlock> block, int x,
                                      int y, uint32_t base, AnimeCellTable cells) {
  DebugPrint("Set Talk Surface %d\n", id);
  if (block == nullptr) {
    DebugPrint("CDdrawAnime::SetTalkSurface: no block\n");
    return nullptr;
  }
  block->surface = id;
  block->x = x;
  block->y = y;
  block->current = base;
  block->base = base;
  block->text_position = -1;
  block->interval = 0;
  block->mode = kTalkIdle;
  block->clock = kTalkVoiceClock;
  block->cells = cells;
  ShowCell(sprites_, block->shown, cells, base, 0, 0, id, kCellPriority,
           "CDdrawAnime::SetTalkSurface");
  return Link(kAnimeTalk, std::move(block));
}

int CDdrawAnime::SetTalkMode(AnimeHandle handle, int32_t mode, int32_t clock) {
  auto* block = BlockOf<AnimeTalkBlock>(handle);
  if (block == nullptr) return 0;
  block->mode = mode;
  block->clock = clock;
  return 1;
}

int CDdrawAnime::SetText(AnimeHandle handle, const char* text) {
  if (BlockOf<AnimeTalkBlock>(handle) == nullptr) return 0;
  std::vector<uint8_t>& data = handle.record_->data;
  data.clear();
  if (text != nullptr) {
    const std::string_view copy(text);
    data.assign(copy.begin(), copy.end());
    data.push_back(0);
  }
  return 1;
}

int CDdrawAnime::PutCell(AnimeHandle handle, int32_t n) {
  auto* block = BlockOf<AnimeTalkBlock>(handle);
  if (block == nullptr) return 0;
  block->current = block->base + static_cast<uint32_t>(n);
  block->mode = kTalkText;
  DebugPrint("Put Cell=%d\n", static_cast<int>(block->current));
  ShowCell(sprites_, block->shown, block->cells, block->current, block->x, block->y,
           block->surface, kCellPriority, "CDdrawAnime::PutCell");
  ddraw_.SetUpdate(block->surface, 1);
  return 1;
}

void CDdrawAnime::StepTalk(AnimeRec* record, uint32_t now) {
  auto* block = static_cast<AnimeTalkBlock*>(record->param.get());
  const char* const who = "CDdrawAnime::StepTalk";
  // Puts the mouth on a cell; the picture follows only when the cell changes.
  auto move_to = [&](uint32_t cell) {
    if (cell == block->current) return;
    block->current = cell;
    ShowCell(sprites_, block->shown, block->cells, cell, block->x, block->y, block->surface,
             kCellPriority, who);
    ddraw_.SetUpdate(block->surface, 1);
  };
  const bool has_text = !record->data.empty() && record->data[0] != 0;

  switch (record->step) {
    case kStepStart:
      record->step = kStepBegin;
      return;
    case kStepBegin:
      if (block->mode == kTalkIdle) {
        move_to(block->base);
        return;
      }
      if (block->mode == kTalkText && !has_text) return;
      if (block->mode != kTalkRandom && block->mode != kTalkText) return;
      if (block->clock == kTalkVoiceClock) {
        if (VoiceTime() == -1) return;
        block->last = 0;
      } else {
        block->last = now;
      }
      // A new line starts with the mouth closed.
      move_to(block->base);
      block->text_position = 0;
      record->step = kStepRun;
      return;
    case kStepRun:
      break;
    default:
      record->kind = kAnimeEnded;
      return;
  }

  if (block->mode != kTalkRandom && block->mode != kTalkText) {
    block->text_position = -1;
    record->step = kStepStart;
    move_to(block->base);
    return;
  }
  int64_t clock_now = now;
  if (block->clock == kTalkVoiceClock) {
    const int32_t voice = VoiceTime();
    if (voice == -1) {
      // The voice has ended: the mouth closes and waits for the next voice.
      block->text_position = -1;
      record->step = kStepStart;
      move_to(block->base);
      return;
    }
    clock_now = voice;
    // A new voice started without a stop in between: its clock starts again.
    if (clock_now < block->last) block->last = 0;
  } else {
    // The game clock wraps; the time since the last change is taken modulo 2^32.
    clock_now = block->last + static_cast<uint32_t>(now - static_cast<uint32_t>(block->last));
  }

  // Each change that is due chooses the next cell; a late step goes on choosing until the cells
  // come up to the clock, a choice repeats the current cell, or the text runs out. Only the last
  // cell chosen is shown.
  uint32_t cell = block->current;
  for (int n = 0; n < kTalkCatchUpLimit; ++n) {
    if (clock_now - block->last < static_cast<int64_t>(block->interval)) break;
    block->last += block->interval;
    uint32_t offset = 0;
    if (block->mode == kTalkRandom) {
      if (punctuation_ != 0) {
        block->interval = kPauseInterval;
      } else {
        offset = static_cast<uint32_t>(random_.NextByte() % kMouthCells);
      }
    } else {
      // The next letter, full stops skipped; the end of the text closes the mouth.
      const std::vector<uint8_t>& text = record->data;
      size_t position = block->text_position < 0 ? text.size()
                                                 : static_cast<size_t>(block->text_position);
      while (position < text.size() && text[position] == '.') ++position;
      char letter = 'n';
      if (position < text.size() && text[position] != 0) {
        letter = static_cast<char>(text[position]);
        block->text_position = static_cast<int32_t>(position + 1);
      } else {
        record->data.clear();
        block->text_position = -1;
        record->step = kStepStart;
      }
      for (const MouthLetter& m : kMouthLetters) {
        if (m.letter != letter) continue;
        offset = m.offset;
        block->interval = m.interval;
        break;
      }
    }
    const uint32_t chosen = block->base + offset;
    const bool repeated = chosen == cell;
    cell = chosen;
    if (repeated || record->step != kStepRun || block->interval == 0) break;
  }
  move_to(cell);
}
