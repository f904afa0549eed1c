#pragma once
// Sprite files (".spr"): a 256-byte header with the magic "ZEVA SPRED" and a directory of 15
// parts, each part a typed block of big-endian records. This header holds the container's types,
// the parts as read (SprParts: read-only views, SprPartStore: their owner) and the load request
// (SprLoadParam). The reader, the builder dispatch and the loads are TamvikFunc's
// (scene/ui/tamvik_func.h); the image decoder is in spr_image.h; the cache in spx_cache.h.
//
// Every number in a part stays big-endian: the parts are kept exactly as stored and builders read
// them through SprBe16 / SprBe32, never converting a part in place (cached parts are built from
// again and again).

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

struct SprRec;

// ---- The container ----

constexpr int kSprHeaderSize = 256;
constexpr int kSprDirEntries = 15;
constexpr uint32_t kSprMaxKind = 13;           // kinds above are skipped
constexpr int kSprPartSlots = kSprMaxKind + 1;  // slot 0 stays empty

// Part kinds.
constexpr uint32_t kSprColourTable = 1;
constexpr uint32_t kSprImageTable = 2;
constexpr uint32_t kSprUnitTable = 4;
constexpr uint32_t kSprAnimationTable = 5;
constexpr uint32_t kSprNcPictureTable = 6;
constexpr uint32_t kSprNcBodyTable = 7;
constexpr uint32_t kSprNcEyeCells = 8;
constexpr uint32_t kSprNcLipCells = 9;
constexpr uint32_t kSprFaceTable = 10;
constexpr uint32_t kSprHitTable = 12;
constexpr uint32_t kSprSlgMapData = 13;

// Load masks (bit k = part kind k).
constexpr uint32_t kSprMaskPicture = 6;
constexpr uint32_t kSprMaskUnit = 22;
constexpr uint32_t kSprMaskAnimation = 54;
constexpr uint32_t kSprMaskNcSet = 966;
constexpr uint32_t kSprMaskFace = 1030;
constexpr uint32_t kSprMaskSlgMap = 8198;

// A directory entry, in host order once the header is checked.
struct SprDirEntry {
  uint32_t offset = 0;  // from the start of the file
  uint32_t size = 0;
  uint32_t kind = 0;  // 0 unused, 1..13 the part kind; above 13 skipped
  uint32_t unused = 0;
};

// The 256 bytes of the header: raw after the read, entries in host order after CheckSprHeader.
struct SprFileHeader {
  uint8_t magic[10] = {};
  uint8_t unread[6] = {};
  SprDirEntry entries[kSprDirEntries] = {};
};
static_assert(sizeof(SprFileHeader) == kSprHeaderSize);

// Big-endian reads from part bytes (the caller has checked the bounds).
inline uint16_t SprBe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t SprBe32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// ---- Parts ----

// One part exactly as stored: read-only bytes and their count; data is null when absent.
struct SprPart {
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  bool present() const { return data != nullptr; }
};

// Every part of a load by kind (slot 0 empty). Views only: the bytes belong to a SprPartStore
// (a load's own, or the cache's entry).
struct SprParts {
  std::array<SprPart, kSprPartSlots> part{};
  const SprPart& operator[](uint32_t kind) const { return part[kind < kSprPartSlots ? kind : 0]; }
  // Bit k set for each part kind k present.
  uint32_t PresentMask() const;
};

// The owner of the parts one read made.
class SprPartStore {
 public:
  // Takes a part's bytes (replacing a part of the same kind); kinds outside 1..13 are ignored.
  void Set(uint32_t kind, std::vector<uint8_t> bytes);
  SprParts View() const;
  void Clear();

 private:
  std::array<std::unique_ptr<std::vector<uint8_t>>, kSprPartSlots> parts_{};
};

// The record table of a part: every kind with records starts with a 16-byte header whose first
// u16 is the record count N, the N records of 16 bytes following. The records (from byte 16) and
// N, or null (with a trace naming `what`) when the part is absent or 16 + 16N passes its end.
const uint8_t* SprRecordTable(const SprPart& part, uint32_t* count, const char* what);

// ---- The load request ----

struct SprUnit;
struct SprAnm;
struct SlgMapSpr;

// Eighteen words, all zero at construction but the draw level.
struct SprLoadParam {
  int32_t surface = 0;         // 0: target surface of a picture load
  int32_t second_surface = 0;  // 1: face copy / NC sprites surface
  int32_t color_key = 0;       // 2: nonzero draws with the transparent colour
  int32_t x = 0;               // 3
  int32_t y = 0;               // 4
  int32_t image = 0;           // 5: image number in; face / NC result out
  int32_t nc_body = 0;         // 6
  int32_t nc_picture = 0;      // 7
  int32_t sprite_memory = 0;   // 8: memory flag of every sprite made
  int32_t level = 256;         // 9: draw level
  int32_t message_window = 0;  // 10
  SprUnit* unit = nullptr;     // 11: out
  SprAnm* anm = nullptr;       // 12: out
  SlgMapSpr* slg_map = nullptr;  // 13: out
  std::vector<SprRec*> sprites;  // 14: out, one handle per image (null for an empty image)
  int32_t sprite_count = 0;      // 15: out, sprites.size()
  const char* file_name = nullptr;  // 16
  int32_t use_cache = 0;            // 17
};
