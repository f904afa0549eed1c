#pragma once
// CDdrawAnime: the animation list. One lives in the engine context (Ctx().anime).
//
// An animation (AnimeRec) is a record of the list with a kind, a step number, a stop field, an
// owned parameter block and an end callback. The frame loop calls Exec once per frame with the
// game clock; Exec walks the list from the newest animation to the oldest and runs one step of
// each. Every kind measures game-clock milliseconds (elapsed = now - then, modulo 2^32) and
// catches up in one step after a late frame, so animations keep their speed when frames are
// dropped; frame counts are elapsed x 60 / 1000.
//
// Game code creates an animation, keeps its handle (AnimeHandle: the record and its generation),
// steers it through setters and deletes it. An animation that ends by itself sets its kind to 0; the next Exec
// calls its end callback and frees it, so its handle becomes invalid then. Holders register
// their variable with SetAutoClear (or set a callback) to learn of it.
//
// Deleting is safe at any time, also from a step or an end callback while Exec runs: the record
// is then hidden from every look-up at once and freed when Exec reaches it (or at the end of that
// Exec), so Exec never follows a freed link.
//
// Every call accepts a null handle and then does nothing and returns 0 (or null, or the value
// the call names). A handle that is not a live animation of the list (ended, deleted, or of a
// record reused since: a stale handle, traced), or that belongs to another kind, is treated as
// null.
//
// Adding a kind: derive its parameter block from AnimeBlock (overriding CleanUp, Redraw or Resume
// where the kind needs them), write its creator (it fills the block and calls Link), declare its
// step as a member `void StepXxx(AnimeRec*, uint32_t now)` and put it in the kind's row of the
// step table (kSteps in anime.cpp). Setters reach their block with BlockOf<Block>(handle).

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "engine/anime/anime_handle.h"
#include "engine/gfx/gfx_types.h"

class CDdrawFunc;
class CDdrawSpr;
class CDdrawWindow;
class CDinput;
class CFrameRate;
class GameRandom;
struct SprBufferEntry;
struct SprRec;
struct WindowRec;

class CDdrawAnime;
struct AnimeRec;

// The kinds of animation (AnimeRec::kind).
constexpr int32_t kAnimeEnded = 0;       // ended: the next Exec runs its callback and frees it
constexpr int32_t kAnimeTimer = 2;       // CreateTimer
constexpr int32_t kAnimeSprGroup = 3;    // portrait group
constexpr int32_t kAnimeCellList = 4;    // cell list
constexpr int32_t kAnimeCellLoop = 5;    // cell loop
constexpr int32_t kAnimeTalk = 6;        // talk mouth
constexpr int32_t kAnimeMessage = 7;     // message typing
constexpr int32_t kAnimeXfade = 8;       // CreateXfade
constexpr int32_t kAnimeWindow = 9;      // window move, open or turn
constexpr int32_t kAnimeSprite = 10;     // CreateSpriteAnime
constexpr int32_t kAnimeLayerScroll = 11;  // CreateLayerScroll
constexpr int32_t kAnimeSpx = 12;        // sprite-file sequence
constexpr int32_t kAnimeWave = 13;       // CreateWave
constexpr int32_t kAnimePointMove = 14;  // CreatePointMove
constexpr int32_t kAnimeFade = 15;       // CreateFade
constexpr int32_t kAnimeKindCount = 16;

// An end callback: called once with its argument when Exec finds the animation ended.
using AnimeCallback = void (*)(uintptr_t argument);

// The kind's own parameter block, owned by the record and freed with it.
class AnimeBlock {
 public:
  virtual ~AnimeBlock() = default;
  // Run by Delete and DeleteAll before the record goes (not when Exec frees an animation that
  // ended by itself): removes what the kind shows elsewhere.
  virtual void CleanUp(CDdrawAnime& /*anime*/, AnimeRec& /*record*/) {}
  // Run by RedrawText for an animation that is not stopped, after a surface restore.
  virtual void Redraw(CDdrawAnime& /*anime*/, AnimeRec& /*record*/) {}
  // Run by SetStop when it clears the stop field.
  virtual void Resume(CDdrawAnime& /*anime*/, AnimeRec& /*record*/) {}
};

struct AnimeRec {
  AnimeRec* next = nullptr;  // the next older animation
  int32_t kind = kAnimeEnded;
  int32_t step = 0;   // the kind's own step number, 0 at creation
  uint32_t stop = 0;  // nonzero: Exec skips the animation entirely
  std::unique_ptr<AnimeBlock> param;
  std::vector<uint8_t> data;  // a second owned block (a list or a text), or empty
  AnimeCallback callback = nullptr;
  uintptr_t callback_argument = 0;
  // Deleted while Exec ran: invisible to every call, freed when Exec reaches it.
  bool deleted = false;
  // Counted up each time the record is freed; handles carry the value they were made with.
  uint32_t generation = 0;
};

// A pair of values a point move reads and writes (a position, a velocity or an acceleration).
struct AnimePoint {
  int32_t x = 0;
  int32_t y = 0;
};

// ---- Parameter blocks of the kinds built here ----

struct AnimeTimerBlock final : AnimeBlock {
  uint32_t start = 0;  // game clock at creation or the last ResetTimer
};

struct AnimeXfadeBlock final : AnimeBlock {
  SurfaceId layer = 0;
  uint32_t phase_time = 0;  // ms per dissolve phase
  uint64_t total = 0;       // alpha mode: 16 x the phase time
  Rect rect;                // clamped to the screen
  int32_t mode = 0;         // 0 dissolve, 1 alpha
  int32_t phase = 0;        // dissolve phases done
  uint32_t last = 0;
  bool holds_position = false;  // the compose's cross-fade position is this animation's

  // A cross-fade deleted before its end gives the compose's cross-fade position back.
  void CleanUp(CDdrawAnime& anime, AnimeRec& record) override;
  // A dissolve starts its phases again.
  void Redraw(CDdrawAnime& anime, AnimeRec& record) override;
};

struct AnimeSpriteBlock final : AnimeBlock {
  SprRec* sprite = nullptr;
  int32_t start_a = 0, target_a = 0, step_a = 0;
  int32_t start_b = 0, target_b = 0, step_b = 0;
  int32_t a = 0, b = 0;  // the values applied last
  int32_t mode = 0;      // 0 SetSpriteRect, 1 SetSpriteScale, 2 SetSpriteTurn
  uint32_t interval = 0;
  uint32_t last = 0;
};

struct AnimeScrollBlock final : AnimeBlock {
  SurfaceId layer = 0;
  int32_t dx = 0, dy = 0;
  int32_t x_divisor = 1, y_divisor = 1;
  int32_t wrap_width = 0, wrap_height = 0;  // 0: no wrap
  int64_t x = 0, y = 0;  // scroll position times the divisors
  int64_t moves_done = 0;
  int32_t moves = 0;
  uint32_t interval = 0;
  uint32_t time_left = 0;  // of the current interval
  uint32_t last = 0;
};

struct AnimeWaveBlock final : AnimeBlock {
  Rect rect;
  int32_t phase = 0;
  int32_t band_height = 0;  // above 0
  int32_t amplitude = 0;
  int32_t period = 0;  // above 0
  SurfaceId surface = 0;
  uint32_t interval = 0;
  uint32_t last = 0;
};

struct AnimePointMoveBlock final : AnimeBlock {
  AnimePoint* point = nullptr;     // the caller's pairs; they outlive the animation
  AnimePoint* velocity = nullptr;
  const AnimePoint* acceleration = nullptr;  // or null
  AnimePoint start_point, start_velocity;    // copies taken at creation
  // Limits; a missing end is no limit on that side.
  std::optional<AnimePoint> lowest_point, highest_point;
  std::optional<AnimePoint> lowest_velocity, highest_velocity;
  int32_t frames = 0;  // 0: endless
  uint32_t start = 0;

  // The motion is a pure function of the frame count, the start values, the acceleration and the
  // limits. Its last result is kept so that a step only adds the frames since the last one; it
  // is worked out again from the start when the acceleration or a limit has changed since.
  bool cached = false;
  uint32_t cached_frames = 0;
  AnimePoint cached_point, cached_velocity, cached_acceleration;
};

struct AnimeWindowBlock final : AnimeBlock {
  WindowRec* window = nullptr;
  int32_t start_a = 0, target_a = 0, amount_a = 0;
  int32_t start_b = 0, target_b = 0, amount_b = 0;
  int32_t mode = 0;  // 0 Move, 1 SetOpen, 2 SetTurn
  uint32_t duration = 0;  // ms
  uint32_t last = 0;      // when the start values were applied
};

struct AnimeFadeBlock final : AnimeBlock {
  int32_t type = 0;  // 0 toward black, 1 toward white
  int32_t start_level = 0;
  int32_t end_level = 0;
  int32_t frames = 0;
  uint32_t start = 0;
};

// ---- Portrait cells, talk mouth and message typing (kinds 3-7) ----

// A cell table: sprites indexed by cell number (a null entry is no cell). The table stays the
// caller's and must outlive the animations that read it; cell numbers outside it are skipped.
using AnimeCellTable = std::span<SprRec* const>;

// A cell an animation shows as a persistent sprite-buffer entry, and the sprite it shows (so that
// an entry already removed with its sprite is never taken for someone else's).
struct AnimeShownCell {
  SprBufferEntry* entry = nullptr;
  const SprRec* sprite = nullptr;
};

// A step of a cell list: the cell and how long it is shown (ms). Bit 31 of the duration holds the
// cell at random: at the end of each duration it goes on only when a random byte is 0-3.
struct AnimeCellPair {
  uint32_t cell = 0;
  uint32_t duration = 0;
};
constexpr uint32_t kCellHoldRandom = 0x80000000u;

// Talk modes and clocks (SetTalkMode).
constexpr int32_t kTalkIdle = 0;    // the mouth closes on its base cell
constexpr int32_t kTalkRandom = 1;  // random mouth cells
constexpr int32_t kTalkText = 2;    // cells from the mouth text
constexpr int32_t kTalkGameClock = 0;
constexpr int32_t kTalkVoiceClock = 1;  // timed by the voice channel; waits for a voice

// Portrait group (kind 3): a base picture with a cell animation and a talk animation above it.
struct AnimeSprGroupBlock final : AnimeBlock {
  uint32_t identifier = 0;  // the caller's
  int32_t x = 0, y = 0;     // the portrait position
  SprRec* base = nullptr;
  AnimeHandle cell_anime;  // kind 4, deleted by its owner
  AnimeHandle talk_anime;  // kind 6, deleted by its owner
  AnimeShownCell base_entry;

  void CleanUp(CDdrawAnime& anime, AnimeRec& record) override;
};

// Cell list (kind 4). The caller makes the block and fills `range`; the animation owns it then.
struct AnimeCellListBlock final : AnimeBlock {
  SurfaceId surface = 0;
  int32_t x = 0, y = 0;
  uint32_t duration = 0;  // of the cell shown; bit 31 = random hold
  uint32_t last = 0;
  uint32_t index = 0;
  uint32_t base = 0;
  uint32_t range = 0;  // number of pairs - 1 (cut to the pair list at creation)
  AnimeCellTable cells;
  AnimeShownCell shown;
  std::vector<AnimeCellPair> pairs;

  void CleanUp(CDdrawAnime& anime, AnimeRec& record) override;
};

// Cell loop (kind 5): idle until a random start, then the list once at the interval, ending on
// cell 0, which stays shown.
struct AnimeCellLoopBlock final : AnimeBlock {
  SurfaceId surface = 0;
  WindowRec* window = nullptr;  // non-null: cells are drawn into the window's text sprite
  int32_t x = 0, y = 0;
  uint32_t interval = 0;
  uint32_t last = 0;
  uint32_t position = 0;
  AnimeCellTable cells;
  AnimeShownCell shown;
  std::vector<uint32_t> list;  // cell numbers, ending with cell 0

  void CleanUp(CDdrawAnime& anime, AnimeRec& record) override;
};

// Talk mouth (kind 6). The mouth text is the record's data (zero-ended), or empty.
struct AnimeTalkBlock final : AnimeBlock {
  SurfaceId surface = 0;
  int32_t x = 0, y = 0;
  uint32_t current = 0;  // the cell the mouth is on
  uint32_t base = 0;     // the closed mouth
  int32_t text_position = -1;  // -1: no text runs
  uint32_t interval = 0;       // ms until the next cell
  int64_t last = 0;            // game clock or voice time of the last change
  int32_t mode = kTalkIdle;
  int32_t clock = kTalkVoiceClock;
  AnimeCellTable cells;
  AnimeShownCell shown;

  void CleanUp(CDdrawAnime& anime, AnimeRec& record) override;
};

// Message typing (kind 7). The record's data is the text block: the message (double-byte text)
// ended by a zero byte and one more byte, then the mouth text ended by a zero byte.
struct AnimeMessageBlock final : AnimeBlock {
  int32_t start_x = 0, start_y = 0;
  int32_t x = 0, y = 0;   // the typing cursor, in the window's text coordinates
  uint32_t typed = 0;     // bytes of the message typed
  uint32_t length = 0;    // bytes of the message (up to its zero byte)
  uint32_t mouth_position = 0;  // where the mouth text starts in the text block
  uint32_t interval = 0;        // ms per character
  uint32_t last = 0;
  WindowRec* window = nullptr;

  // Types the message again up to the bytes typed so far (after a surface restore).
  void Redraw(CDdrawAnime& anime, AnimeRec& record) override;
};

class CDdrawAnime {
 public:
  // The voice channel's play time in ms, -1 when no voice plays (the talk mouth's voice clock).
  using VoiceClock = std::function<int32_t()>;
  // The per-frame step of one kind of animation.
  using StepFunc = std::function<void(AnimeRec* record, uint32_t now)>;

  // The list starts with no kind registered: the engine context registers the engine's kinds
  // (RegisterEngineKinds), other layers register their own (RegisterKind).
  CDdrawAnime(CFrameRate& frame_rate, CDinput& input, CDdrawFunc& ddraw, CDdrawSpr& sprites,
              CDdrawWindow& windows, GameRandom& random, VoiceClock voice_clock);
  // Deletes every animation without end callbacks.
  ~CDdrawAnime();
  CDdrawAnime(const CDdrawAnime&) = delete;
  CDdrawAnime& operator=(const CDdrawAnime&) = delete;

  // ---- Kinds ----
  // Sets the step of a kind (1 .. kAnimeKindCount - 1); records of a kind without a step stay
  // in the list untouched until they are deleted. 0 for a kind outside the table.
  int RegisterKind(int32_t kind, StepFunc step);
  // Registers the steps of the kinds the engine itself builds (all but the sprite-file kind 12).
  void RegisterEngineKinds();
  // A new record of the kind with its block, linked at the head (stepped first): the creators
  // of every kind, also those registered from outside the engine, make their records here.
  // The record is a spare one (of an animation freed before, or of the last batch made).
  AnimeHandle Link(int32_t kind, std::unique_ptr<AnimeBlock> param);
  // The handle of a record the list hands a kind's step (or its block's clean-up).
  static AnimeHandle HandleOf(AnimeRec* record) {
    return record != nullptr ? AnimeHandle(record, record->generation) : AnimeHandle();
  }
  // A parameter block with its default values for a creator: the block of a freed animation of
  // the same type when the list kept one, else a new one. Once a type has been asked for here,
  // the list keeps the blocks of that type its freed animations leave (up to kSpareBlocks), so
  // kinds that are started again and again allocate nothing in steady play. When none is kept,
  // a batch is made at once (GrowthBatch of the blocks of the type out now) and the rest kept.
  template <class Block>
  std::unique_ptr<Block> NewBlock() {
    static_assert(std::is_base_of_v<AnimeBlock, Block>);
    SpareBlocks& spare = SpareBlocksOf(typeid(Block));
    const size_t out = spare.out++;
    if (spare.blocks.empty()) {
      for (size_t i = 1; i < GrowthBatch(out, kSpareBlocks); ++i) {
        spare.blocks.push_back(std::make_unique<Block>());
      }
      return std::make_unique<Block>();
    }
    std::unique_ptr<Block> block(static_cast<Block*>(spare.blocks.back().release()));
    spare.blocks.pop_back();
    *block = Block{};
    return block;
  }
  // At most this many freed records, and freed blocks of each type asked for through NewBlock,
  // are kept for reuse; the rest are freed, so a list that once held many animations gives the
  // memory back. As many as the sprite buffer has entries: an attack's effects that fill it
  // start again without allocating.
  static constexpr size_t kSpareRecords = 1024;
  static constexpr size_t kSpareBlocks = 1024;
  // Records and blocks are made in batches: when none is kept, as many as are out at that
  // moment (at least kMinBatch, at most the spare limit), so the list's room doubles as it grows.
  // An animation count that passes its earlier peak by a few (a stand replayed at an attack's
  // end while its effects still play) then takes records and blocks made before, not new ones.
  static constexpr size_t kMinBatch = 32;
  static constexpr size_t GrowthBatch(size_t out, size_t limit) {
    return out < kMinBatch ? kMinBatch : out < limit ? out : limit;
  }
  // The records kept for reuse, and the blocks of a type (0 for a type never asked for).
  size_t SpareRecordCount() const { return spare_record_count_; }
  size_t SpareBlockCount(const std::type_info& type) const;

  // ---- The list ----
  // One step of every animation at game-clock time `now` (ms), newest first; returns 1.
  int Exec(uint32_t now);
  // Unlinks and frees the animation after its kind's clean-up, without the end callback: 1, or
  // 0 when it is not in the list.
  int Delete(AnimeHandle handle);
  // Clears the variable, then Delete.
  int DeleteRef(AnimeHandle* variable);
  // Deletes every animation, newest first, without end callbacks.
  void DeleteAll();
  // 1 when the handle is a live animation of the list.
  int IsAnime(AnimeHandle handle) const;
  // The live record of the handle (for a kind registered from outside, and for tests); null for
  // a null handle, one that is not in the list or deleted, and a stale one (its record freed and
  // reused since: traced).
  AnimeRec* RecordOf(AnimeHandle handle) const;
  // The live animations of a kind, newest first (for a layer that deletes its kind's records
  // by what they play).
  std::vector<AnimeHandle> Records(int32_t kind) const;
  // The same into `out` (cleared first), whose storage a caller that asks often keeps.
  void Records(int32_t kind, std::vector<AnimeHandle>& out) const;
  int SetStopWord(AnimeHandle handle, uint32_t value);
  // The same; clearing it also lets the kind redraw what it shows (Resume).
  int SetStop(AnimeHandle handle, uint32_t value);
  int SetCallback(AnimeHandle handle, AnimeCallback callback, uintptr_t argument);
  // When the variable holds an animation, its end callback becomes ClearOwnerPtr with the
  // variable's address: the variable is cleared when the animation ends by itself. 1 / 0.
  int SetAutoClear(AnimeHandle* variable);
  // Writes null into the handle variable at that address.
  static void ClearOwnerPtr(uintptr_t address);
  // After a surface restore: every animation that is not stopped redraws (message typing types
  // its text again, a dissolve starts its phases again).
  void RedrawText();
  // Debug listing of the list (trace only).
  void Enum() const;

  // ---- Timer (kind 2) ----
  AnimeHandle CreateTimer();
  // Elapsed time since the start: mode 0 frames, mode 1 milliseconds, other modes -1; -1 for a
  // null handle. End flag 1 also ends the timer.
  int32_t GetTimer(AnimeHandle handle, int mode, int end);
  int ResetTimer(AnimeHandle handle);

  // ---- Portrait group (kind 3) ----
  // Shows the base sprite at (0, 0) of the surface (colour key on) and links the group; the
  // entries of the cell and talk animations are moved above the base entry. Null for a base
  // that is not a live sprite or when the entry cannot be made.
  AnimeHandle CreateSprGroup(SurfaceId id, uint32_t identifier, int x, int y, SprRec* base,
                           AnimeHandle cell_anime, AnimeHandle talk_anime);
  AnimeSprGroupBlock* GetSprGroupParam(AnimeHandle handle) const;
  AnimeHandle GetGroupCell(AnimeHandle handle) const;
  AnimeHandle GetGroupTalk(AnimeHandle handle) const;

  // ---- Cell list (kind 4) ----
  // Shows the pairs in turn at (x, y), each for its duration; index and base start at `first`,
  // whose cell is shown at (0, 0) until the first step. The block is the caller's, with `range`
  // filled (a range beyond the pair list is cut to it); the animation owns it. Null for a null
  // block.
  AnimeHandle CreateCellAnime(SurfaceId id, std::unique_ptr<AnimeCellListBlock> block,
                            std::vector<AnimeCellPair> pairs, int x, int y, uint32_t first,
                            AnimeCellTable cells);

  // ---- Cell loop (kind 5) ----
  // Waits for a random start (about one frame in 128), then shows the listed cells one per
  // interval, ending on cell 0, which stays; then waits again. A list without its 0 ends as if
  // it had one. With a window the cells are drawn into the window's text sprite at (x, y);
  // without, they are entries at priority 2047 of the surface. Nothing is shown at creation.
  AnimeHandle CreateCellLoopEx(SurfaceId id, WindowRec* window, std::vector<uint32_t> list, int x,
                             int y, uint32_t interval, AnimeCellTable cells);
  AnimeHandle CreateCellLoop(SurfaceId id, std::vector<uint32_t> list, int x, int y,
                           uint32_t interval, AnimeCellTable cells);
  // Removes the entry a cell loop shows.
  int HideCellLoop(AnimeHandle handle);

  // ---- Talk mouth (kind 6) ----
  // Shows the base cell at (0, 0) and links an idle mouth on the voice clock. The block is the
  // caller's; the animation owns it. Null for a null block.
  AnimeHandle SetTalkSurface(SurfaceId id, std::unique_ptr<AnimeTalkBlock> block, int x, int y,
                           uint32_t base, AnimeCellTable cells);
  // Mode kTalkIdle / kTalkRandom / kTalkText and clock kTalkGameClock / kTalkVoiceClock.
  int SetTalkMode(AnimeHandle handle, int32_t mode, int32_t clock);
  // The mouth text (a copy; null clears it).
  int SetText(AnimeHandle handle, const char* text);
  // Shows cell base + n at once and sets mode kTalkText (without a text the mouth stays there).
  int PutCell(AnimeHandle handle, int32_t n);

  // ---- Message typing (kind 7) ----
  // Types the message of the text block into the window's text sprite from (x, y) of its text
  // rectangle, one character (two bytes) per interval; with a mouth text, one per 100 ms. Game
  // key bit 1 or 2 types the rest at once. Ends by itself at the end of the message. Null when
  // the window is not a window of the list.
  AnimeHandle CreateMessage(WindowRec* window, int x, int y, std::vector<uint8_t> text,
                          uint32_t interval);
  int DeleteMessage(AnimeHandle handle);
  // Types the next character of the message: 1, or 0 at the end of the message (or when its
  // window is gone).
  int TypeMessageChar(AnimeMessageBlock& block, std::span<const uint8_t> text);
  // 1 while the last character typed is a pause mark.
  uint32_t punctuation() const { return punctuation_; }

  // ---- Cross-fade (kind 8) ----
  // Fades the picture of surface 9 out over the layer: mode 0 dissolves it in 16 phases of
  // `phase_time` ms, mode 1 fades its alpha over 16 x `phase_time` ms. Null when the id is not a
  // layer, while game key bit 2 is held or while a cross-fade runs.
  AnimeHandle CreateXfade(SurfaceId layer, uint32_t phase_time, int left, int top, int right,
                        int bottom, int mode);

  // ---- Sprite rectangle (kind 10) ----
  // Moves two values from their starts to their targets by their steps every `interval` ms and
  // applies them to the sprite: mode 0 SetSpriteRect (x, y), 1 SetSpriteScale (percents),
  // 2 SetSpriteTurn (degrees). Interval 0 applies the targets at once. A sprite that is not
  // live (null or deleted) fails the apply, which ends the animation.
  AnimeHandle CreateSpriteAnime(SprRec* sprite, int start_a, int target_a, int step_a, int start_b,
                              int target_b, int step_b, int mode, uint32_t interval);

  // ---- Window move, open or turn (kind 9) ----
  // Moves two values from their starts toward their targets by `amount` per `duration` ms
  // (linear in the time since the start, stopping at the targets) and applies them to the
  // window: mode 0 Move (x, y), 1 SetOpen (percents), 2 SetTurn (degrees). Duration 0 applies
  // the targets at the first step after the starts. A window that is not live (null or deleted)
  // fails the apply, which ends the animation.
  AnimeHandle CreateWindowAnime(WindowRec* window, int start_a, int target_a, int amount_a,
                              int start_b, int target_b, int amount_b, int mode,
                              uint32_t duration);

  // ---- Layer scroll (kind 11) ----
  // Scrolls the layer by (dx, dy) every `interval` ms, `moves` times. Null when the id is not a
  // layer.
  AnimeHandle CreateLayerScroll(SurfaceId layer, int dx, int dy, uint32_t interval, int32_t moves);
  // Wraps the position at the width and height (0 = no wrap).
  int SetScrollWrap(AnimeHandle handle, int width, int height);
  // Divisors above 0 are stored and multiply the current position (dx, dy count in 1/divisor
  // pixels from then on); others are ignored.
  int SetScrollPrecision(AnimeHandle handle, int x_divisor, int y_divisor);

  // ---- Wave raster (kind 13) ----
  // Every `interval` ms redraws the rectangle of the surface with its bands of rows shifted by a
  // moving triangle wave. Null when the period or the band height is not above 0.
  AnimeHandle CreateWave(int left, int top, int right, int bottom, int phase, int band_height,
                       int amplitude, int period, SurfaceId surface, uint32_t interval);

  // ---- Point move (kind 14) ----
  // Writes to *point and *velocity, every frame, where they are after the 1/60 s frames elapsed
  // since the start: per frame the point moves by the velocity and the velocity by the
  // acceleration (when one is given), each kept within its limits. `frames` 0 never ends. The
  // pairs stay the caller's and must outlive the animation. Null for a null point or velocity.
  AnimeHandle CreatePointMove(AnimePoint* point, AnimePoint* velocity,
                            const AnimePoint* acceleration, int32_t frames);
  // Position limits (copies); either end may be null (no limit on that side).
  int SetMoveCtrl(AnimeHandle handle, const AnimePoint* lowest, const AnimePoint* highest);
  // Velocity limits (copies); either end may be null.
  int SetMoveCtrl2(AnimeHandle handle, const AnimePoint* lowest, const AnimePoint* highest);

  // ---- Screen fade (kind 15) ----
  // Moves the fade level from `start_level` to `end_level` over `frames` 1/60 s frames (fade
  // type 0 toward black, 1 toward white). 0 frames sets the type and the end level at once,
  // requests a compose and returns null.
  AnimeHandle CreateFade(int start_level, int end_level, int frames, int type);

  // The block of a live animation when it is of that type, else null.
  template <class Block>
  Block* BlockOf(AnimeHandle handle) const {
    AnimeRec* record = RecordOf(handle);
    return record != nullptr ? dynamic_cast<Block*>(record->param.get()) : nullptr;
  }

  CDdrawFunc& ddraw() const { return ddraw_; }
  CDdrawSpr& sprites() const { return sprites_; }
  // Game key bit 2 (0x0004) held this frame: skips cross-fades, speeds scrolls up.
  bool SkipHeld() const;
  // The game clock now (ms).
  uint32_t Now() const;
  // The voice clock: ms the voice has played, -1 when none plays (or no clock was given).
  int32_t VoiceTime() const { return voice_clock_ ? voice_clock_() : -1; }

 private:

  // Links a spare record at the head (a batch is made when none is left).
  AnimeRec* LinkRecord(int32_t kind, std::unique_ptr<AnimeBlock> param);
  // Unlinks and frees the record.
  void Free(AnimeRec* record);
  // Frees an unlinked record: it and its block are kept for reuse while there is room.
  void Release(AnimeRec* record);
  // A batch of records for the spare list (it is empty).
  void MakeSpareRecords();
  // Frees every record marked deleted.
  void Sweep();
  // The record, its kind clean-up run, marked or freed.
  void Remove(AnimeRec* record);

  void StepCellAnime(AnimeRec* record, uint32_t now);
  void StepCellLoop(AnimeRec* record, uint32_t now);
  void StepTalk(AnimeRec* record, uint32_t now);
  void StepMessage(AnimeRec* record, uint32_t now);
  void StepXfade(AnimeRec* record, uint32_t now);
  void StepWindowAnime(AnimeRec* record, uint32_t now);
  void StepSpriteAnime(AnimeRec* record, uint32_t now);
  void StepLayerScroll(AnimeRec* record, uint32_t now);
  void StepWave(AnimeRec* record, uint32_t now);
  void StepPointMove(AnimeRec* record, uint32_t now);
  void StepFade(AnimeRec* record, uint32_t now);

  bool ApplySprite(AnimeSpriteBlock& block, int32_t a, int32_t b);
  bool ApplyWindow(const AnimeWindowBlock& block, int32_t a, int32_t b);
  void DissolvePhases(AnimeRec* record, AnimeXfadeBlock& block, uint32_t now);
  void DrawWave(const AnimeWaveBlock& block);

  CFrameRate& frame_rate_;
  CDinput& input_;
  CDdrawFunc& ddraw_;
  CDdrawSpr& sprites_;
  CDdrawWindow& windows_;
  GameRandom& random_;
  VoiceClock voice_clock_;
  // The per-frame step of each kind, empty for kinds without one.
  std::array<StepFunc, kAnimeKindCount> steps_;

  // The pause marks of the message typing, as lead byte x 256 + trail byte.
  static const std::array<uint16_t, 9> kPunctuation;

  AnimeRec* head_ = nullptr;  // newest first

  // Freed records kept for Link (linked through `next`, each reset to its defaults), and the
  // freed blocks kept for NewBlock, one list per type asked for (capacity kSpareBlocks, reserved
  // when the type is first asked for) with the count of the type's blocks NewBlock handed out
  // that have not come back.
  struct SpareBlocks {
    const std::type_info* type = nullptr;
    std::vector<std::unique_ptr<AnimeBlock>> blocks;
    size_t out = 0;
  };
  // The kept blocks of the type, making the type one whose blocks are kept.
  SpareBlocks& SpareBlocksOf(const std::type_info& type);
  AnimeRec* spare_records_ = nullptr;
  size_t spare_record_count_ = 0;
  size_t live_record_count_ = 0;  // records linked (deleted ones not freed yet included)
  std::vector<SpareBlocks> spare_blocks_;
  uint32_t punctuation_ = 0;  // the last character typed is a pause mark
  int exec_depth_ = 0;        // Exec calls running
};
