#pragma once
// Kind 12 of the animation list: one animation of an animation list (SprAnm) played frame by
// frame, each frame a unit shown for its wait (1/60 s ticks) or, for a wait word with any bit of
// 0xF000, an event passed to the sound hook instead of being shown.
//
// The kind lives in the scene layer: SpxAnimeKind registers its step into the list's step table
// when the scene context is made (and ends its animations and takes the step back when the scene
// context goes). Its operations keep the names the game calls them by (CreateSpx, SetSpxPos, ...)
// as members of SpxAnimeKind, over the list's record calls (Link, BlockOf, Delete).
//
// Steps: 0 start, 1 play, 2 ending (the drawn unit is released and the animation ends), 3 hold
// (the last frame stays shown). Time left in a frame is kept in ms x 256 and carried over, so a
// late step skips frames (still calling their events) and play keeps its rate.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "engine/anime/anime.h"
#include "engine/gfx/gfx_types.h"
#include "engine/gfx/pixels/blend_blit.h"

class CTamvikSpr;
struct SprAnm;
struct SprUnitHandle;

// The placement and play state of a kind-12 animation; also the placement of a unit draw.
struct SpxAnimeBlock final : AnimeBlock {
  int32_t x = 0, y = 0;
  uint32_t reverse = 0;  // 0x10 mirror left-right, 0x20 mirror up-down
  SurfaceId surface = 0;
  uint32_t color_key = 0;
  uint32_t loop = 0;
  uint32_t unused = 0;
  uint32_t free_at_end = 0;
  uint32_t end_reached = 0;
  int32_t frame = 0;  // -1 during a start delay
  uint32_t frame_count = 0;
  uint32_t time_left = 0;  // ms x 256
  uint32_t last = 0;
  uint32_t animation = 0;
  uint32_t start_delay = 0;  // ticks
  uint32_t speed = 256;
  int32_t priority = 0;
  int32_t zoom_x = 0x10000, zoom_y = 0x10000;
  int32_t rotation = 0;  // radians x 256
  uint32_t loop_count = 0;
  int32_t blink_period = 0;
  int32_t blink_counter = 0;
  std::optional<std::array<int32_t, 4>> corners;  // perspective factors, once set
  BlendWord alpha = 256;
  SprAnm* anm = nullptr;
  SprUnitHandle* drawn = nullptr;

  CTamvikSpr* owner = nullptr;  // the unit layer that draws the frames

  // Delete releases the drawn unit.
  void CleanUp(CDdrawAnime& anime, AnimeRec& record) override;
  // Clearing the stop field draws the current frame when nothing is drawn.
  void Resume(CDdrawAnime& anime, AnimeRec& record) override;
};

// The sound hook: called with the event frame's 16-bit wait word.
using SpxSoundHook = void (*)(uint32_t wait_word);

class SpxAnimeKind {
 public:
  // Registers the step of kind 12 into the list.
  SpxAnimeKind(CDdrawAnime& anime, CTamvikSpr& units);
  // Ends every kind-12 animation (releasing what it draws) and takes the step back.
  ~SpxAnimeKind();
  SpxAnimeKind(const SpxAnimeKind&) = delete;
  SpxAnimeKind& operator=(const SpxAnimeKind&) = delete;

  // Builds the block, draws frame 0 at once and links the animation.
  AnimeHandle CreateSpx(SprAnm* anm, uint32_t animation, uint32_t frame_count, int x, int y,
                      uint32_t reverse, uint32_t loop, SurfaceId surface, int color_key,
                      int priority);
  int IsEnd(AnimeHandle handle) const;
  int IsSpxEnd(AnimeHandle handle) const;
  // 1 when the animation no longer advances, looping or not: it holds on a frame without a wait
  // or has ended (or the handle is none of this kind).
  int IsStopped(AnimeHandle handle) const;
  int ShowSpx(AnimeHandle handle);
  int HideSpx(AnimeHandle handle);
  int DeleteSpxRef(AnimeHandle* variable);
  // Deletes every kind-12 animation playing from the list; returns how many.
  int DeleteBySpx(const SprAnm* anm);
  // Deletes every kind-12 animation.
  void DeleteAllSpx();
  int SetSpxPos(AnimeHandle handle, int x, int y) { return SetSpxPosEx(handle, x, y, 1); }
  int SetSpxPosEx(AnimeHandle handle, int x, int y, int update);
  int GetSpxPos(AnimeHandle handle, int* x, int* y) const;
  int SetSpxZoom(AnimeHandle handle, int32_t zoom_x, int32_t zoom_y, int update = 1);
  int SetSpxCorners(AnimeHandle handle, int32_t c0, int32_t c1, int32_t c2, int32_t c3,
                    int update = 1);
  int SetSpxRot(AnimeHandle handle, int32_t rotation, int update = 1);
  int SetSpxTurnY(AnimeHandle handle, int32_t angle, int width, int distance);
  int SetSpxAlpha(AnimeHandle handle, BlendWord alpha);
  BlendWord GetSpxAlpha(AnimeHandle handle) const;
  int SetFreeAtEnd(AnimeHandle handle, uint32_t on);
  // The same as SetFreeAtEnd, same sense.
  int SetHoldEnd(AnimeHandle handle, uint32_t on) { return SetFreeAtEnd(handle, on); }
  int SetLoop(AnimeHandle handle, uint32_t on);
  int SetSpxColorKey(AnimeHandle handle, uint32_t on);
  int SetStartDelay(AnimeHandle handle, uint32_t ticks);
  int SetSpxPriority(AnimeHandle handle, int priority);
  int SetSpxRev(AnimeHandle handle, uint32_t reverse);
  int SetSpeed(AnimeHandle handle, uint32_t speed);
  int SetBlink(AnimeHandle handle, int32_t period);
  // Refused (0, trace) outside 0 .. frame count - 1.
  int SetFrame(AnimeHandle handle, int32_t frame);
  int32_t GetFrame(AnimeHandle handle) const;
  uint32_t GetSeqNo(AnimeHandle handle) const;
  uint32_t GetSpxRev(AnimeHandle handle) const;
  uint32_t GetLoopCount(AnimeHandle handle) const;
  void SetSoundHook(SpxSoundHook hook) { hook_ = hook; }
  SpxSoundHook sound_hook() const { return hook_; }
  SpxAnimeBlock* Block(AnimeHandle handle) const;
  // Sets one field of a live animation's block: 1, or 0 when the handle is not one of this kind.
  template <class Field, class Value>
  int SetField(AnimeHandle handle, Field SpxAnimeBlock::*field, Value value) const {
    SpxAnimeBlock* block = Block(handle);
    if (block == nullptr) return 0;
    block->*field = static_cast<Field>(value);
    return 1;
  }

  // Releases the drawn unit and draws the current frame again (unless blinking), then requests
  // an update of the surface with the flag.
  void RebuildSpx(SpxAnimeBlock& block, int update);
  void StepSpx(AnimeRec* record, uint32_t now);
  void StepBlink(SpxAnimeBlock& block);

 private:
  // A setter's block: null for null handles and, when `refuse_ending`, in step 2.
  SpxAnimeBlock* Settable(AnimeHandle handle, bool refuse_ending) const;
  void Event(uint16_t wait);
  void Update(const SpxAnimeBlock& block);

  CDdrawAnime& anime_;
  CTamvikSpr& units_;
  SpxSoundHook hook_ = nullptr;
  // The handle list DeleteBySpx walks, kept so that giving back a set allocates nothing.
  std::vector<AnimeHandle> handles_;
};

// The time of a wait word: wait x 1000 / 60 x 256 (ms x 256).
constexpr uint32_t SpxWaitTime(uint16_t wait) { return uint32_t{wait} * 1000 / 60 * 256; }
