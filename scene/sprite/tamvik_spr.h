#pragma once
// CTamvikSpr: what the sprite files build from their unit, animation and battle-map parts.
//
// - Unit records (SprUnit): a file's sprites and its units, each unit a composition of placed
//   sprites (20-word entries, converted from big-endian once, at build time).
// - Animation lists (SprAnm): animations of (unit number, wait word) frames over one unit record;
//   a list holds one reference of its unit record.
// - Battle-map records (SlgMapSpr): a file's sprites and 16-byte data records.
//
// Records are shared by their upper-cased (ASCII) file name and reference-counted: a find adds
// one, a release takes one and the record goes at 0 with its sprites.
//
// A unit is put on screen as sprite-buffer entries held by a SprUnitHandle from a fixed pool of
// 256 (at most 300 entries each). Animations of a list play as kind 12 of the animation list
// (spx_anime.h), which draws its frames through PutAnmFrame.
//
// One lives in the scene context (Scene().tamvik_spr). Its destruction ends the kind-12
// animations first, then frees the lists, the units and the battle-map records.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/anime/anime_handle.h"
#include "engine/gfx/gfx_types.h"
#include "engine/gfx/pixels/blend_blit.h"

struct SprBufferEntry;
struct SprRec;
struct SpxAnimeBlock;
class SpxAnimeKind;

constexpr int kSprUnitHandleCount = 256;
constexpr uint32_t kSprUnitEntryLimit = 300;
constexpr int kSprUnitEntryWords = 20;

// The sprite-buffer entries of one unit on screen.
struct SprUnitHandle {
  uint32_t count = 0;
  std::array<SprBufferEntry*, kSprUnitEntryLimit> entries{};
};

// One unit: its entries, 20 host-order words each (word 1 as stored, word 14 the scale).
struct SprUnitComposition {
  uint32_t count = 0;
  std::vector<uint16_t> words;  // count x 20
  const uint16_t* Entry(uint32_t i) const { return words.data() + size_t{i} * kSprUnitEntryWords; }
};

struct SprUnit {
  std::string name;  // upper-cased
  int32_t ref = 1;
  SprUnit* next = nullptr;
  std::vector<SprRec*> sprites;  // owned: deleted with the record; an entry may be null
  std::vector<SprUnitComposition> units;
  std::vector<Rect> rects;  // per unit
  uint32_t SprNum() const { return static_cast<uint32_t>(sprites.size()); }
  uint32_t UnitNum() const { return static_cast<uint32_t>(units.size()); }
};

struct SprAnmFrame {
  uint16_t unit = 0;
  uint16_t wait = 0;  // 1/60 s ticks, or an event code when any bit of 0xF000 is set
};

struct SprAnm {
  std::string name;
  int32_t ref = 1;
  SprAnm* next = nullptr;
  std::vector<std::vector<SprAnmFrame>> animations;
  SprUnit* unit = nullptr;  // one reference held
  uint32_t AnmDataNum() const { return static_cast<uint32_t>(animations.size()); }
};

struct SlgMapSpr {
  std::string name;
  int32_t ref = 1;
  SlgMapSpr* next = nullptr;
  std::vector<SprRec*> sprites;
  std::vector<std::array<uint16_t, 8>> data;
};

// A raw block as a sprite file stores it: the count (host order) and the bytes of its entries
// (unit: count x 40, animation: count x 4) exactly as stored.
struct SprRawBlock {
  uint16_t count = 0;
  std::vector<uint8_t> bytes;
};

constexpr bool IsSpxEvent(uint16_t wait) { return (wait & 0xF000) != 0; }

class CTamvikSpr {
 public:
  CTamvikSpr();
  // Ends the kind-12 animations, then frees the lists, the units and the battle-map records.
  ~CTamvikSpr();
  CTamvikSpr(const CTamvikSpr&) = delete;
  CTamvikSpr& operator=(const CTamvikSpr&) = delete;

  // The rectangle of the last sprite-file image decoded (also of the last that failed).
  static void GetSprRect(Rect* rect);

  // ---- Records ----
  // Null for null blocks. The sprite table is taken over.
  SprUnit* BuildUnit(const char* name, std::vector<SprRec*> sprites,
                     const std::vector<SprRawBlock>* blocks, uint16_t scale_flag);
  // Takes over one reference of the unit record.
  SprAnm* BuildAnm(const char* name, SprUnit* unit, const std::vector<SprRawBlock>* blocks);
  // `data` holds count x 16 bytes as stored.
  SlgMapSpr* BuildSlgMap(const char* name, std::vector<SprRec*> sprites, uint32_t count,
                         uint16_t scale_flag, const uint8_t* data);
  SprUnit* FindUnit(const char* name);
  SprAnm* FindAnm(const char* name);
  SlgMapSpr* FindSlgMap(const char* name);
  int ReleaseUnitRec(SprUnit* unit);
  // At 0 the animations still playing from the list are deleted first.
  int ReleaseAnmRec(SprAnm* anm);
  int ReleaseSlgMap(SlgMapSpr* map);
  void DeleteAllUnit();
  void DeleteAllAnm();
  void DeleteAllSlgMap();

  // ---- Units on screen ----
  // Places the unit's entries (name null: one-frame entries, count 0 in the returned handle).
  SprUnitHandle* PutUnitWork(SprUnit* unit, uint32_t n, const SpxAnimeBlock& place,
                             const char* name);
  int IsUnitOnScreen(SprUnit* unit, uint32_t n, const SpxAnimeBlock& place) const;
  SprUnitHandle* PutUnitChecked(SprUnit* unit, uint32_t n, const SpxAnimeBlock& place);
  SprUnitHandle* PutUnit(SprUnit* unit, uint32_t n, int x, int y, SurfaceId surface,
                         int color_key);
  int DrawUnit(SprUnit* unit, uint32_t n, int x, int y, SurfaceId surface, int color_key,
               uint32_t reverse = 0, int priority = 0, int32_t zoom_x = 0x10000,
               int32_t zoom_y = 0x10000);
  int ReleaseUnit(SprUnitHandle** handle);
  // The same call under its second name.
  int ReleaseUnitFwd(SprUnitHandle** handle) { return ReleaseUnit(handle); }
  int MoveUnit(SprUnitHandle* handle, int dx, int dy);
  int SetUnitPriority(SprUnitHandle* handle, int priority);
  SprRec* GetUnitSprID(const SprUnit* unit, uint32_t n) const;
  int GetUnitRect(Rect* out, const SprUnit* unit, uint32_t n, int x, int y) const;
  int SetUnitAlpha(SprUnit* unit, uint32_t n, BlendWord alpha);
  void Enum(int first) const;

  // ---- Animations ----
  AnimeHandle PlayAnm(SprAnm* anm, uint32_t n, int x, int y, int priority, uint32_t loop,
                    SurfaceId surface, int color_key, uint32_t reverse);
  AnimeHandle PlayAnm(SprAnm* anm, uint32_t n, int x, int y, SurfaceId surface, int color_key) {
    return PlayAnm(anm, n, x, y, 0, 1, surface, color_key, 0);
  }
  AnimeHandle PlayAnm(SprAnm* anm, uint32_t n, int x, int y, SurfaceId surface, int color_key,
                    uint32_t reverse) {
    return PlayAnm(anm, n, x, y, 0, 1, surface, color_key, reverse);
  }
  AnimeHandle PlayAnmLoopFlag(SprAnm* anm, uint32_t n, int x, int y, uint32_t loop,
                            SurfaceId surface, int color_key) {
    return PlayAnm(anm, n, x, y, 0, loop, surface, color_key, 0);
  }
  AnimeHandle PlayAnmLoopFlag(SprAnm* anm, uint32_t n, int x, int y, uint32_t loop,
                            SurfaceId surface, int color_key, uint32_t reverse) {
    return PlayAnm(anm, n, x, y, 0, loop, surface, color_key, reverse);
  }
  int ReleaseAnm(AnimeHandle* handle);
  int DeleteAnmPlays(SprAnm* anm);
  // Draws the block's current frame into its drawn unit (nothing during a start delay).
  int PutAnmFrame(SpxAnimeBlock& block);
  uint32_t GetAnmDataNum(const SprAnm* anm) const { return anm != nullptr ? anm->AnmDataNum() : 0; }
  SprUnit* GetAnmUnit(const SprAnm* anm) const { return anm != nullptr ? anm->unit : nullptr; }
  uint32_t GetAnmFrameNum(const SprAnm* anm, uint32_t n) const;
  const SprAnmFrame* GetAnmFrame(const SprAnm* anm, uint32_t n, uint32_t m) const;
  // 0 for a missing frame.
  uint16_t GetAnmFrameWait(const SprAnm* anm, uint32_t n, uint32_t m) const;
  // The same call under its second name.
  uint16_t GetAnmFrameWaitFwd(const SprAnm* anm, uint32_t n, uint32_t m) const {
    return GetAnmFrameWait(anm, n, m);
  }
  uint16_t GetAnmFrameUnitNo(const SprAnm* anm, uint32_t n, uint32_t m) const;
  SprRec* GetAnmUnitSprID(const SprAnm* anm, uint32_t n) const;
  // The sprites of every entry of the frame's unit; returns their count.
  uint32_t GetAnmFrameSprites(const SprAnm* anm, uint32_t n, uint32_t m,
                              std::vector<SprRec*>* out) const;
  int32_t GetAnmFrameNo(AnimeHandle handle) const;
  int SetAnmAlpha(SprAnm* anm, uint32_t n, BlendWord alpha);
  int BakeAnmAlpha(SprAnm* anm, uint32_t n, int32_t alpha);
  void EnumAnime(int first) const;

  // ---- Battle-map records ----
  SprRec* GetSlgMapSprID(const SlgMapSpr* map, uint32_t n) const;
  uint32_t GetSlgMapDataNum(const SlgMapSpr* map) const;
  int32_t GetSlgMapData(const SlgMapSpr* map, uint32_t n) const;
  int32_t GetSlgMapData(const SlgMapSpr* map, uint32_t n, int32_t* word2, int32_t* word3) const;

  // Kind 12 of the animation list, registered while this object lives (null without an engine
  // context).
  SpxAnimeKind* spx() const { return kind_.get(); }

  // Live handles (for tests and the debug listing).
  int LiveHandles() const { return kSprUnitHandleCount - free_top_; }
  SprUnit* units() const { return units_; }
  SprAnm* anms() const { return anms_; }
  SlgMapSpr* slg_maps() const { return slg_maps_; }

 private:
  const SprUnitComposition* Composition(const SprUnit* unit, uint32_t n, const char* caller) const;
  SprUnitHandle* TakeHandle();
  void GiveHandle(SprUnitHandle* handle);
  void FreeUnit(SprUnit* unit);
  void FreeAnm(SprAnm* anm);
  void FreeSlgMap(SlgMapSpr* map);

  std::unique_ptr<SpxAnimeKind> kind_;
  SprUnit* units_ = nullptr;
  SprAnm* anms_ = nullptr;
  SlgMapSpr* slg_maps_ = nullptr;
  // The pool (on the heap: 256 x 300 entry pointers).
  std::unique_ptr<std::array<SprUnitHandle, kSprUnitHandleCount>> handles_;
  std::array<SprUnitHandle*, kSprUnitHandleCount> free_{};
  std::array<bool, kSprUnitHandleCount> in_use_{};
  int free_top_ = 0;
  // BakeAnmAlpha's lists, kept so that an attack that bakes in the middle of its frames
  // allocates nothing for them.
  std::vector<SprRec*> bake_frame_sprites_;
  std::vector<SprRec*> bake_done_;
};

// The upper-cased (ASCII only) file name records are found by.
std::string SprRecordName(const char* name);
