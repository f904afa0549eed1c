// The animation list: creation, the per-frame walk, deletion, stop, callbacks, the restore
// redraw, the debug listing and the timer.

#include "engine/anime/anime.h"

#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"
#include "engine/input/dinput.h"

CDdrawAnime::CDdrawAnime(CFrameRate& frame_rate, CDinput& input, CDdrawFunc& ddraw,
                         CDdrawSpr& sprites, CDdrawWindow& windows, GameRandom& random,
                         VoiceClock voice_clock)
    : frame_rate_(frame_rate), input_(input), ddraw_(ddraw), sprites_(sprites),
      windows_(windows), random_(random), voice_clock_(std::move(voice_clock)) {}

int CDdrawAnime::RegisterKind(int32_t kind, StepFunc step) {
  if (kind <= kAnimeEnded || kind >= kAnimeKindCount) return 0;
  steps_[static_cast<size_t>(kind)] = std::move(step);
  return 1;
}

void CDdrawAnime::RegisterEngineKinds() {
  // Kinds 2 (timer) and 3 (portrait group) have no step; 0 is handled by Exec itself and 12 (the
  // sprite-file sequence) belongs to the layer that reads sprite files.
  using Member = void (CDdrawAnime::*)(AnimeRec*, uint32_t);
  static constexpr struct {
    int32_t kind;
    Member step;
  } kEngineKinds[] = {
      {kAnimeCellList, &CDdrawAnime::StepCellAnime},   {kAnimeCellLoop, &CDdrawAnime::StepCellLoop},
      {kAnimeTalk, &CDdrawAnime::StepTalk},            {kAnimeMessage, &CDdrawAnime::StepMessage},
      {kAnimeXfade, &CDdrawAnime::StepXfade},          {kAnimeWindow, &CDdrawAnime::StepWindowAnime},
      {kAnimeSprite, &CDdrawAnime::StepSpriteAnime},   {kAnimeLayerScroll, &CDdrawAnime::StepLayerScroll},
      {kAnimeWave, &CDdrawAnime::StepWave},            {kAnimePointMove, &CDdrawAnime::StepPointMove},
      {kAnimeFade, &CDdrawAnime::StepFade},
  };
  for (const auto& entry : kEngineKinds) {
    RegisterKind(entry.kind, [this, step = entry.step](AnimeRec* record, uint32_t now) {
      (this->*step)(record, now);
    });
  }
}

CDdrawAnime::~CDdrawAnime() {
  exec_depth_ = 0;
  DeleteAll();
  while (spare_records_ != nullptr) {
    AnimeRec* next = spare_records_->next;
    delete spare_records_;
    spare_records_ = next;
  }
}

bool CDdrawAnime::SkipHeld() const { return (input_.GetKeyHold() & kGameKey2) != 0; }

uint32_t CDdrawAnime::Now() const { return static_cast<uint32_t>(frame_rate_.GetTime()); }

// ---- The list ----

AnimeHandle CDdrawAnime::Link(int32_t kind, std::unique_ptr<AnimeBlock> param) {
  return HandleOf(LinkRecord(kind, std::move(param)));
}

AnimeRec* CDdrawAnime::LinkRecord(int32_t kind, std::unique_ptr<AnimeBlock> param) {
  if (spare_records_ == nullptr) MakeSpareRecords();
  AnimeRec* record = spare_records_;
  spare_records_ = record->next;
  --spare_record_count_;
  ++live_record_count_;
  record->kind = kind;
  record->param = std::move(param);
  record->next = head_;
  head_ = record;
  return record;
}

void CDdrawAnime::MakeSpareRecords() {
  const size_t batch = GrowthBatch(live_record_count_, kSpareRecords);
  for (size_t i = 0; i < batch; ++i) {
    auto* record = new AnimeRec;
    record->next = spare_records_;
    spare_records_ = record;
  }
  spare_record_count_ += batch;
}

void CDdrawAnime::Free(AnimeRec* record) {
  for (AnimeRec** link = &head_; *link != nullptr; link = &(*link)->next) {
    if (*link == record) {
      *link = record->next;
      Release(record);
      return;
    }
  }
}

void CDdrawAnime::Sweep() {
  AnimeRec** link = &head_;
  while (*link != nullptr) {
    AnimeRec* record = *link;
    if (record->deleted) {
      *link = record->next;
      Release(record);
    } else {
      link = &record->next;
    }
  }
}

void CDdrawAnime::Release(AnimeRec* record) {
  std::unique_ptr<AnimeBlock> param = std::move(record->param);
  // Its data goes now, as with the record; the next animation on it has a generation of its own.
  const uint32_t generation = record->generation + 1;
  *record = AnimeRec{};
  record->generation = generation;
  --live_record_count_;
  if (param != nullptr) {
    const std::type_info& type = typeid(*param);
    for (SpareBlocks& spare : spare_blocks_) {
      if (*spare.type == type) {
        // One fewer out (a block its creator made itself, never counted, is kept all the same).
        if (spare.out > 0) --spare.out;
        if (spare.blocks.size() < kSpareBlocks) spare.blocks.push_back(std::move(param));
        break;
      }
    }
    param.reset();  // a block not kept is freed with its record
  }
  if (spare_record_count_ < kSpareRecords) {
    record->next = spare_records_;
    spare_records_ = record;
    ++spare_record_count_;
  } else {
    delete record;
  }
}

CDdrawAnime::SpareBlocks& CDdrawAnime::SpareBlocksOf(const std::type_info& type) {
  for (SpareBlocks& spare : spare_blocks_) {
    if (*spare.type == type) return spare;
  }
  SpareBlocks& spare = spare_blocks_.emplace_back();
  spare.type = &type;
  spare.blocks.reserve(kSpareBlocks);
  return spare;
}

size_t CDdrawAnime::SpareBlockCount(const std::type_info& type) const {
  for (const SpareBlocks& spare : spare_blocks_) {
    if (*spare.type == type) return spare.blocks.size();
  }
  return 0;
}

void CDdrawAnime::Remove(AnimeRec* record) {
  // Hidden first, so that a clean-up that reaches the list again does not find it.
  record->deleted = true;
  if (record->param) record->param->CleanUp(*this, *record);
  if (exec_depth_ == 0) Free(record);
}

int CDdrawAnime::Exec(uint32_t now) {
  ++exec_depth_;
  AnimeRec* record = head_;
  while (record != nullptr) {
    // Read before the step: a step or a callback may end or delete any record, but a record
    // deleted during Exec stays linked (only marked) until Exec frees it, so this link holds.
    AnimeRec* next = record->next;
    if (!record->deleted && record->stop == 0) {
      if (record->kind == kAnimeEnded) {
        if (record->callback != nullptr) record->callback(record->callback_argument);
        // Ended by itself: freed without the kind's clean-up (unless the callback deleted it).
        record->deleted = true;
      } else if (record->kind > 0 && record->kind < kAnimeKindCount) {
        if (const StepFunc& step = steps_[static_cast<size_t>(record->kind)]) step(record, now);
      }
    }
    if (record->deleted && exec_depth_ == 1) Free(record);
    record = next;
  }
  --exec_depth_;
  // Records deleted behind the walk (and during a nested Exec) go now.
  if (exec_depth_ == 0) Sweep();
  return 1;
}

AnimeRec* CDdrawAnime::RecordOf(AnimeHandle handle) const {
  if (handle.record_ == nullptr) return nullptr;
  for (AnimeRec* record = head_; record != nullptr; record = record->next) {
    if (record != handle.record_) continue;
    if (record->deleted) return nullptr;
    if (record->generation != handle.generation_) {
      // The handle's animation ended and another one took its record since.
      DebugPrint("CDdrawAnime: stale handle refused (generation %u, the record's is %u)\n",
                 handle.generation_, record->generation);
      return nullptr;
    }
    return record;
  }
  return nullptr;
}

int CDdrawAnime::IsAnime(AnimeHandle handle) const { return RecordOf(handle) != nullptr ? 1 : 0; }

std::vector<AnimeHandle> CDdrawAnime::Records(int32_t kind) const {
  std::vector<AnimeHandle> out;
  Records(kind, out);
  return out;
}

void CDdrawAnime::Records(int32_t kind, std::vector<AnimeHandle>& out) const {
  out.clear();
  for (AnimeRec* record = head_; record != nullptr; record = record->next) {
    if (!record->deleted && record->kind == kind) out.push_back(HandleOf(record));
  }
}

int CDdrawAnime::Delete(AnimeHandle handle) {
  AnimeRec* record = RecordOf(handle);
  if (record == nullptr) return 0;
  Remove(record);
  return 1;
}

int CDdrawAnime::DeleteRef(AnimeHandle* variable) {
  if (variable == nullptr) return 0;
  const AnimeHandle handle = *variable;
  *variable = nullptr;
  return Delete(handle);
}

void CDdrawAnime::DeleteAll() {
  AnimeRec* record = head_;
  while (record != nullptr) {
    AnimeRec* next = record->next;
    if (!record->deleted) Remove(record);
    record = next;
  }
  if (exec_depth_ == 0) Sweep();
}

int CDdrawAnime::SetStopWord(AnimeHandle handle, uint32_t value) {
  AnimeRec* record = RecordOf(handle);
  if (record == nullptr) return 0;
  record->stop = value;
  return 1;
}

int CDdrawAnime::SetStop(AnimeHandle handle, uint32_t value) {
  AnimeRec* record = RecordOf(handle);
  if (record == nullptr) return 0;
  record->stop = value;
  if (value == 0 && record->param) record->param->Resume(*this, *record);
  return 1;
}

int CDdrawAnime::SetCallback(AnimeHandle handle, AnimeCallback callback, uintptr_t argument) {
  AnimeRec* record = RecordOf(handle);
  if (record == nullptr) return 0;
  record->callback = callback;
  record->callback_argument = argument;
  return 1;
}

int CDdrawAnime::SetAutoClear(AnimeHandle* variable) {
  if (variable == nullptr || !IsAnime(*variable)) return 0;
  return SetCallback(*variable, &CDdrawAnime::ClearOwnerPtr, reinterpret_cast<uintptr_t>(variable));
}

void CDdrawAnime::ClearOwnerPtr(uintptr_t address) {
  if (address != 0) *reinterpret_cast<AnimeHandle*>(address) = nullptr;
}

void CDdrawAnime::RedrawText() {
  for (AnimeRec* record = head_; record != nullptr; record = record->next) {
    if (record->deleted || record->stop != 0 || !record->param) continue;
    record->param->Redraw(*this, *record);
  }
}

void CDdrawAnime::Enum() const {
  auto address = [](const void* p) {
    return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p));
  };
  DebugPrint("CDdrawAnime::Enum Anime Playlist\n");
  int index = 0;
  for (const AnimeRec* record = head_; record != nullptr; record = record->next, ++index) {
    if (record->deleted) continue;
    DebugPrint("\tNo%3d Commnad:%.02d ", index, record->kind);
    DebugPrint("Next:%.08lx ", address(record->next));
    DebugPrint("Param:%.08lx Data:%.08lx\n", address(record->param.get()),
               address(record->data.empty() ? nullptr : record->data.data()));
  }
  DebugPrint("CDdrawAnime::Enum Anime Playlist End.\n");
}

// ---- Timer ----

AnimeHandle CDdrawAnime::CreateTimer() {
  auto block = NewBlock<AnimeTimerBlock>();
  block->start = Now();
  return Link(kAnimeTimer, std::move(block));
}

int32_t CDdrawAnime::GetTimer(AnimeHandle handle, int mode, int end) {
  auto* block = BlockOf<AnimeTimerBlock>(handle);
  if (block == nullptr) return -1;
  const uint32_t elapsed = Now() - block->start;
  if (end != 0) handle.record_->kind = kAnimeEnded;
  switch (mode) {
    case 0:
      return static_cast<int32_t>(uint64_t{elapsed} * 60 / 1000);
    case 1:
      return static_cast<int32_t>(elapsed);
    default:
      return -1;
  }
}

int CDdrawAnime::ResetTimer(AnimeHandle handle) {
  auto* block = BlockOf<AnimeTimerBlock>(handle);
  if (block == nullptr) return 0;
  block->start = Now();
  return 1;
}
