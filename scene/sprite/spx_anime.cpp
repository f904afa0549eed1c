// Kind 12 of the animation list: sprite-file animations (see spx_anime.h).

#include "scene/sprite/spx_anime.h"

#include <algorithm>
#include <cmath>

#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

constexpr int32_t kStepStart = 0;
constexpr int32_t kStepPlay = 1;
constexpr int32_t kStepEnding = 2;
constexpr int32_t kStepHold = 3;

}  // namespace

void SpxAnimeBlock::CleanUp(CDdrawAnime& /*anime*/, AnimeRec& /*record*/) {
  if (owner != nullptr) owner->ReleaseUnit(&drawn);
}

void SpxAnimeBlock::Resume(CDdrawAnime& /*anime*/, AnimeRec& /*record*/) {
  if (owner != nullptr && drawn == nullptr) owner->PutAnmFrame(*this);
}

SpxAnimeKind::SpxAnimeKind(CDdrawAnime& anime, CTamvikSpr& units) : anime_(anime), units_(units) {
  anime_.RegisterKind(kAnimeSpx, [this](AnimeRec* record, uint32_t now) { StepSpx(record, now); });
}

SpxAnimeKind::~SpxAnimeKind() {
  DeleteAllSpx();
  anime_.RegisterKind(kAnimeSpx, nullptr);
}

SpxAnimeBlock* SpxAnimeKind::Block(AnimeHandle handle) const {
  return anime_.BlockOf<SpxAnimeBlock>(handle);
}

SpxAnimeBlock* SpxAnimeKind::Settable(AnimeHandle handle, bool refuse_ending) const {
  SpxAnimeBlock* block = Block(handle);
  if (block == nullptr) return nullptr;
  // A block was found: the record is live.
  if (refuse_ending && anime_.RecordOf(handle)->step == kStepEnding) return nullptr;
  return block;
}

void SpxAnimeKind::Event(uint16_t wait) {
  if (hook_ != nullptr) hook_(wait);
}

void SpxAnimeKind::Update(const SpxAnimeBlock& block) { anime_.ddraw().SetUpdate(block.surface, 1); }

// ---- Creation and deletion ----

AnimeHandle SpxAnimeKind::CreateSpx(SprAnm* anm, uint32_t animation, uint32_t frame_count, int x,
                                  int y, uint32_t reverse, uint32_t loop, SurfaceId surface,
                                  int color_key, int priority) {
  // Replayed stands and effects start animations of this kind all the time: the list's
  // spare blocks make that allocation-free.
  auto block = anime_.NewBlock<SpxAnimeBlock>();
  block->anm = anm;
  block->animation = animation;
  block->frame_count = frame_count;
  block->x = x;
  block->y = y;
  block->reverse = reverse;
  block->loop = loop;
  block->surface = surface;
  block->color_key = static_cast<uint32_t>(color_key);
  block->priority = priority;
  block->owner = &units_;
  block->last = anime_.Now();
  units_.PutAnmFrame(*block);
  return anime_.Link(kAnimeSpx, std::move(block));
}

int SpxAnimeKind::DeleteSpxRef(AnimeHandle* variable) {
  if (variable == nullptr) return 0;
  AnimeHandle handle = *variable;
  *variable = nullptr;
  if (Block(handle) == nullptr) return 0;
  return anime_.Delete(handle);  // the block's clean-up releases the drawn unit
}

int SpxAnimeKind::DeleteBySpx(const SprAnm* anm) {
  int deleted = 0;
  // Taken out while it is walked: a call made from a deletion gets a list of its own.
  std::vector<AnimeHandle> handles = std::move(handles_);
  anime_.Records(kAnimeSpx, handles);
  for (AnimeHandle handle : handles) {
    SpxAnimeBlock* block = Block(handle);
    if (block != nullptr && block->anm == anm) deleted += DeleteSpxRef(&handle);
  }
  handles_ = std::move(handles);
  return deleted;
}

void SpxAnimeKind::DeleteAllSpx() {
  for (AnimeHandle handle : anime_.Records(kAnimeSpx)) DeleteSpxRef(&handle);
}

// ---- Play state ----

int SpxAnimeKind::IsEnd(AnimeHandle handle) const {
  const SpxAnimeBlock* block = Block(handle);
  if (block == nullptr) return 1;
  return block->loop != 0 ? 0 : IsStopped(handle);
}

int SpxAnimeKind::IsStopped(AnimeHandle handle) const {
  if (Block(handle) == nullptr) return 1;
  const int32_t step = anime_.RecordOf(handle)->step;
  return step == kStepHold || step == kStepEnding ? 1 : 0;
}

int SpxAnimeKind::IsSpxEnd(AnimeHandle handle) const {
  const SpxAnimeBlock* block = Block(handle);
  return block == nullptr ? 1 : static_cast<int>(block->end_reached);
}

int SpxAnimeKind::ShowSpx(AnimeHandle handle) {
  SpxAnimeBlock* block = Block(handle);
  if (block == nullptr || block->drawn != nullptr) return 0;
  units_.PutAnmFrame(*block);
  return 1;
}

int SpxAnimeKind::HideSpx(AnimeHandle handle) {
  SpxAnimeBlock* block = Block(handle);
  if (block == nullptr) return 0;
  units_.ReleaseUnit(&block->drawn);
  return 1;
}

void SpxAnimeKind::RebuildSpx(SpxAnimeBlock& block, int update) {
  if (block.blink_period == 0) units_.PutAnmFrame(block);  // releases what was drawn first
  if (update != 0) Update(block);
}

// ---- Setters and getters ----

int SpxAnimeKind::SetSpxPosEx(AnimeHandle handle, int x, int y, int update) {
  SpxAnimeBlock* block = Settable(handle, true);
  if (block == nullptr) return 0;
  const int dx = x - block->x, dy = y - block->y;
  block->x = x;
  block->y = y;
  if (block->drawn != nullptr) {
    units_.MoveUnit(block->drawn, dx, dy);
  } else {
    units_.PutAnmFrame(*block);
  }
  if (update != 0) Update(*block);
  return 1;
}

int SpxAnimeKind::GetSpxPos(AnimeHandle handle, int* x, int* y) const {
  const SpxAnimeBlock* block = Block(handle);
  if (block == nullptr) return 0;
  if (x != nullptr) *x = block->x;
  if (y != nullptr) *y = block->y;
  return 1;
}

int SpxAnimeKind::SetSpxZoom(AnimeHandle handle, int32_t zoom_x, int32_t zoom_y, int update) {
  SpxAnimeBlock* block = Settable(handle, true);
  if (block == nullptr) return 0;
  block->zoom_x = zoom_x;
  block->zoom_y = zoom_y;
  RebuildSpx(*block, update);
  return 1;
}

int SpxAnimeKind::SetSpxCorners(AnimeHandle handle, int32_t c0, int32_t c1, int32_t c2, int32_t c3,
                                int update) {
  SpxAnimeBlock* block = Settable(handle, true);
  if (block == nullptr) return 0;
  block->corners = std::array<int32_t, 4>{c0, c1, c2, c3};
  RebuildSpx(*block, update);
  return 1;
}

int SpxAnimeKind::SetSpxRot(AnimeHandle handle, int32_t rotation, int update) {
  SpxAnimeBlock* block = Settable(handle, true);
  if (block == nullptr) return 0;
  block->rotation = rotation;
  RebuildSpx(*block, update);
  return 1;
}

int SpxAnimeKind::SetSpxTurnY(AnimeHandle handle, int32_t angle, int width, int distance) {
  if (angle == 0) return SetSpxCorners(handle, 0x10000, 0x10000, 0x10000, 0x10000, 1);
  if (angle == 256) return SetSpxCorners(handle, -0x10000, 0x10000, -0x10000, 0x10000, 1);
  if (width == 0 || distance == 0) {
    DebugPrint("SetSpxTurnY: width %d, distance %d: no turn\n", width, distance);
    return 0;
  }
  const double a = angle / 256.0;
  const double h = width / 2;
  const double c = std::cos(a) * h;
  const double s = std::sin(a) * h;
  const double d = distance;
  const double left_x = -c * (d - s) / d;
  const double right_x = c * (d + s) / d;
  const double left_h = s == 0.0 ? 1.0 : (d - s) / d;
  const double right_h = s == 0.0 ? 1.0 : (d + s) / d;
  const double turn = (right_x - left_x) * 65536.0 / width;
  const auto corner = static_cast<int32_t>(turn);
  return SetSpxCorners(handle, corner, static_cast<int32_t>(left_h * 65536.0), corner,
                       static_cast<int32_t>(right_h * 65536.0), 1);
}

int SpxAnimeKind::SetSpxAlpha(AnimeHandle handle, BlendWord alpha) {
  SpxAnimeBlock* block = Settable(handle, false);
  if (block == nullptr) return 0;
  block->alpha = alpha;
  RebuildSpx(*block, 1);
  return 1;
}

BlendWord SpxAnimeKind::GetSpxAlpha(AnimeHandle handle) const {
  const SpxAnimeBlock* block = Block(handle);
  return block != nullptr ? block->alpha : 256;
}

int SpxAnimeKind::SetFreeAtEnd(AnimeHandle handle, uint32_t on) {
  return SetField(handle, &SpxAnimeBlock::free_at_end, on);
}

int SpxAnimeKind::SetLoop(AnimeHandle handle, uint32_t on) {
  return SetField(handle, &SpxAnimeBlock::loop, on);
}

int SpxAnimeKind::SetSpxColorKey(AnimeHandle handle, uint32_t on) {
  return SetField(handle, &SpxAnimeBlock::color_key, on);
}

int SpxAnimeKind::SetStartDelay(AnimeHandle handle, uint32_t ticks) {
  return SetField(handle, &SpxAnimeBlock::start_delay, ticks);
}

int SpxAnimeKind::SetSpxPriority(AnimeHandle handle, int priority) {
  SpxAnimeBlock* block = Block(handle);
  if (block == nullptr) return 0;
  block->priority = priority;
  units_.SetUnitPriority(block->drawn, priority);
  return 1;
}

int SpxAnimeKind::SetSpxRev(AnimeHandle handle, uint32_t reverse) {
  return SetField(handle, &SpxAnimeBlock::reverse, reverse);
}

int SpxAnimeKind::SetSpeed(AnimeHandle handle, uint32_t speed) {
  return SetField(handle, &SpxAnimeBlock::speed, speed);
}

int SpxAnimeKind::SetBlink(AnimeHandle handle, int32_t period) {
  SpxAnimeBlock* block = Block(handle);
  if (block == nullptr || period < 2) return 0;
  block->blink_period = period;
  return 1;
}

int SpxAnimeKind::SetFrame(AnimeHandle handle, int32_t frame) {
  SpxAnimeBlock* block = Block(handle);
  if (block == nullptr) return 0;
  if (frame < 0 || static_cast<uint32_t>(frame) >= block->frame_count) {
    DebugPrint("SetFrame: frame %d outside 0..%u\n", frame, block->frame_count);
    return 0;
  }
  block->frame = frame;
  block->time_left = 0;
  return 1;
}

int32_t SpxAnimeKind::GetFrame(AnimeHandle handle) const {
  const SpxAnimeBlock* block = Block(handle);
  return block != nullptr ? block->frame : 0;
}

uint32_t SpxAnimeKind::GetSeqNo(AnimeHandle handle) const {
  const SpxAnimeBlock* block = Block(handle);
  return block != nullptr ? block->animation : 0;
}

uint32_t SpxAnimeKind::GetSpxRev(AnimeHandle handle) const {
  const SpxAnimeBlock* block = Block(handle);
  return block != nullptr ? block->reverse : 0;
}

uint32_t SpxAnimeKind::GetLoopCount(AnimeHandle handle) const {
  const SpxAnimeBlock* block = Block(handle);
  return block != nullptr ? block->loop_count : 0;
}

// ---- The step ----

void SpxAnimeKind::StepBlink(SpxAnimeBlock& block) {
  if (block.blink_period == 0) return;
  // Kept below the period (the same test as counting on, without overflowing).
  block.blink_counter = (block.blink_counter + 1) % block.blink_period;
  if (block.blink_counter == 0) {
    if (block.drawn == nullptr) {
      units_.PutAnmFrame(block);
      Update(block);
    }
  } else if (block.drawn != nullptr) {
    units_.ReleaseUnit(&block.drawn);
    Update(block);
  }
}

void SpxAnimeKind::StepSpx(AnimeRec* record, uint32_t now) {
  SpxAnimeBlock* found = Block(CDdrawAnime::HandleOf(record));
  if (found == nullptr) return;
  SpxAnimeBlock& block = *found;
  const auto wait_of = [&](int32_t frame) {
    return frame < 0 ? uint16_t{0}
                     : units_.GetAnmFrameWait(block.anm, block.animation, static_cast<uint32_t>(frame));
  };
  const auto current_is_event = [&] { return block.frame >= 0 && IsSpxEvent(wait_of(block.frame)); };
  const auto last_frame = [&] {
    return block.frame_count == 0 ? 0 : static_cast<int32_t>(block.frame_count - 1);
  };

  switch (record->step) {
    case kStepStart: {
      units_.ReleaseUnit(&block.drawn);
      uint64_t time = 0;
      if (block.start_delay != 0) {
        block.frame = -1;
        time = uint64_t{block.start_delay} * 1000 / 60 * 256;
      } else {
        uint16_t wait = wait_of(block.frame);
        // Event frames before the first shown frame, each called once, bounded by the frames.
        while (IsSpxEvent(wait) && static_cast<uint32_t>(block.frame) < block.frame_count) {
          Event(wait);
          ++block.frame;
          wait = static_cast<uint32_t>(block.frame) < block.frame_count ? wait_of(block.frame) : 0;
        }
        if (static_cast<uint32_t>(block.frame) >= block.frame_count) {
          // Only events, or no frame at all: the end of play (a play-once animation of no frames
          // ends as one of events only, rather than holding for ever unended).
          block.end_reached = 1;
          if (block.loop != 0) {
            ++block.loop_count;
            block.frame = 0;
            block.time_left = 0;
            block.last = now;
            record->step = kStepPlay;
          } else {
            block.frame = last_frame();
            record->step = kStepEnding;
          }
          return;
        }
        units_.PutAnmFrame(block);
        if (wait == 0) {
          record->step = kStepHold;
          return;
        }
        time = SpxWaitTime(wait);
      }
      block.time_left = static_cast<uint32_t>(std::min<uint64_t>(time, 0xFFFFFFFFu));
      block.last = now;
      record->step = kStepPlay;
      return;
    }
    case kStepPlay: {
      uint64_t e = uint64_t{now - block.last} * block.speed;
      if (e < block.time_left) {
        StepBlink(block);
        return;
      }
      units_.ReleaseUnit(&block.drawn);
      block.last = now;
      // A full pass of a looping animation that took no time stops the repetition until the
      // next step, so event-only or zero-wait loops cannot spin for ever.
      uint32_t timeless = 0;
      bool paused = false;
      for (;;) {
        e -= block.time_left;
        ++block.frame;
        if (block.frame < 0 || static_cast<uint32_t>(block.frame) >= block.frame_count) {
          block.end_reached = 1;
          if (block.loop == 0) {
            block.frame = last_frame();
            record->step = block.free_at_end != 0 ? kStepEnding : kStepHold;
            break;
          }
          ++block.loop_count;
          block.frame = 0;
          // After a long stall, whole passes are skipped in one go (their events are not called).
          uint64_t pass = 0;
          for (uint32_t m = 0; m < block.frame_count; ++m) {
            const uint16_t w = wait_of(static_cast<int32_t>(m));
            if (!IsSpxEvent(w)) pass += SpxWaitTime(w);
          }
          if (pass != 0 && e >= 2 * pass) {
            const uint64_t skip = e / pass - 1;
            e -= skip * pass;
            block.loop_count += static_cast<uint32_t>(skip);
          }
        }
        const uint16_t wait = wait_of(block.frame);
        if (IsSpxEvent(wait)) {
          Event(wait);
          block.time_left = 0;
        } else {
          block.time_left = SpxWaitTime(wait);
        }
        if (block.time_left == 0) {
          if (block.loop != 0 && ++timeless >= block.frame_count) {
            paused = true;
            break;
          }
          continue;
        }
        timeless = 0;
        if (block.time_left <= e) continue;
        block.time_left -= static_cast<uint32_t>(e);
        break;
      }
      if (block.time_left == 0 && !paused) record->step = kStepEnding;
      if (!current_is_event()) units_.PutAnmFrame(block);
      Update(block);
      if (record->step == kStepPlay) StepBlink(block);
      return;
    }
    case kStepEnding:
      units_.ReleaseUnit(&block.drawn);
      record->kind = kAnimeEnded;
      return;
    case kStepHold:
      StepBlink(block);
      return;
    default:
      return;
  }
}
