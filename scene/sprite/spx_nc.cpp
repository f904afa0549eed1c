// Character picture sets (NC sets): the NC builder (mask 966), the set's release and the calls
// that steer its eye and lip animations.
//
// Parts: 6 pictures (picture number, result word, eye image bound, lip image bound, eye record
// count, first eye record, lip record count, first lip record), 7 bodies (header: default x, y;
// records: image, x offset, y offset), 8 eye cells (image, x offset, y offset, duration), 9 lip
// cells (image, x offset, y offset). A sprite stands at (offset x scale + 2 x X, offset x scale
// + 2 x Y) for the set's position (X, Y), the position always doubled.

#include <algorithm>
#include <memory>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/portrait_state.h"
#include "scene/sprite/spr_file.h"
#include "scene/sprite/spr_image.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr int kFilePosition = 0xFFFF;

// A picture record of part 6.
struct NcPicture {
  uint16_t number = 0;
  uint16_t result = 0;
  uint16_t eye_bound = 0;
  uint16_t lip_bound = 0;
  uint16_t eye_count = 0;
  uint16_t eye_first = 0;
  uint16_t lip_count = 0;
  uint16_t lip_first = 0;
};

NcPicture ReadPicture(const uint8_t* record) {
  NcPicture p;
  p.number = SprBe16(record + 0);
  p.result = SprBe16(record + 2);
  p.eye_bound = SprBe16(record + 4);
  p.lip_bound = SprBe16(record + 6);
  p.eye_count = SprBe16(record + 8);
  p.eye_first = SprBe16(record + 10);
  p.lip_count = SprBe16(record + 12);
  p.lip_first = SprBe16(record + 14);
  return p;
}

// A cell record of parts 7, 8 and 9: image number and offsets (and part 8's duration).
struct NcCell {
  uint16_t image = 0;
  int16_t x = 0;
  int16_t y = 0;
  uint32_t duration = 0;
};

NcCell ReadCell(const uint8_t* record) {
  NcCell c;
  c.image = SprBe16(record + 0);
  c.x = static_cast<int16_t>(SprBe16(record + 4));
  c.y = static_cast<int16_t>(SprBe16(record + 6));
  c.duration = SprBe32(record + 12);
  return c;
}

struct NcTables {
  const uint8_t* pictures = nullptr;
  const uint8_t* bodies = nullptr;
  const uint8_t* eyes = nullptr;
  const uint8_t* lips = nullptr;
  uint32_t picture_count = 0, body_count = 0, eye_count = 0, lip_count = 0;
};

// The records [first, first + count) of a part with `total` records: false (trace) when the
// range passes the part.
bool RangeInside(uint32_t first, uint32_t count, uint32_t total, const char* what) {
  if (uint64_t{first} + count <= total) return true;
  DebugPrint("BuildNcSpx: %s records %u..%u pass the part's %u records\n", what, first,
             first + count, total);
  return false;
}

// The sprite of image `image` decoded into the work surface, cut at its scaled size and placed
// at (x, y); null for an empty image or one that does not decode.
SprRec* NcSprite(const SprParts& parts, const SprLoadParam& param, uint32_t image, int scale,
                 int x, int y) {
  SprImageRecord record;
  if (!GetSprImageRecord(parts[kSprImageTable], image, &record, nullptr, nullptr, nullptr) ||
      record.width == 0 || record.height == 0) {
    DebugPrint("BuildNcSpx: image %u is missing or empty\n", image);
    return nullptr;
  }
  EngineContext& ctx = Ctx();
  if (DrawSprImage(parts[kSprColourTable], parts[kSprImageTable], image, 0, 0, param.level, 0,
                   ctx.ddraw.GetSurface(SURFACE_SCRATCH)) != 1) {
    DebugPrint("BuildNcSpx: image %u cannot be decoded\n", image);
    return nullptr;
  }
  return ctx.ddraw_spr.CreateSprite(x, y, SURFACE_SCRATCH, 0, 0, record.width * scale,
                                    record.height * scale, param.sprite_memory);
}

// Deletes whatever a failed build made.
void DropSet(PortraitState& state) {
  EngineContext& ctx = Ctx();
  for (AnimeHandle* anime : {&state.nc_group, &state.nc_eye_anime, &state.nc_lip_anime}) {
    if (*anime != nullptr) ctx.anime.DeleteRef(anime);
  }
  ctx.ddraw_spr.DeleteSprite(&state.nc_body);
  for (SprRec*& sprite : state.nc_eyes) ctx.ddraw_spr.DeleteSprite(&sprite);
  for (SprRec*& sprite : state.nc_lips) ctx.ddraw_spr.DeleteSprite(&sprite);
  state.nc_eyes.clear();
  state.nc_lips.clear();
}

}  // namespace

int BuildNcSpx(const SprParts& parts, SprLoadParam* param) {
  NcTables t;
  t.pictures = SprRecordTable(parts[kSprNcPictureTable], &t.picture_count, "BuildNcSpx pictures");
  t.bodies = SprRecordTable(parts[kSprNcBodyTable], &t.body_count, "BuildNcSpx bodies");
  t.eyes = SprRecordTable(parts[kSprNcEyeCells], &t.eye_count, "BuildNcSpx eye cells");
  t.lips = SprRecordTable(parts[kSprNcLipCells], &t.lip_count, "BuildNcSpx lip cells");
  uint32_t image_count = 0;
  if (t.pictures == nullptr || t.bodies == nullptr || t.eyes == nullptr || t.lips == nullptr ||
      SprRecordTable(parts[kSprImageTable], &image_count, "BuildNcSpx images") == nullptr) {
    return -1;
  }
  const auto picture_number = static_cast<uint32_t>(param->nc_picture);
  const auto body_index = static_cast<uint32_t>(param->nc_body);
  if (param->nc_picture < 0 || picture_number >= t.picture_count || param->nc_body < 0 ||
      body_index >= t.body_count) {
    DebugPrint("BuildNcSpx: picture %d (of %u) or body %d (of %u) out of range\n",
               param->nc_picture, t.picture_count, param->nc_body, t.body_count);
    return -1;
  }

  // Position, scale.
  const uint8_t* body_header = parts[kSprNcBodyTable].data;
  const int x = param->x == kFilePosition ? SprBe16(body_header + 4) : param->x;
  const int y = param->y == kFilePosition ? SprBe16(body_header + 6) : param->y;
  const int scale = SprBe16(parts[kSprImageTable].data + 2) == 1 ? 1 : 2;

  // Table sizes: 1 + the highest image any picture's bound or any cell record names.
  uint32_t eye_size = 0, lip_size = 0;
  for (uint32_t i = 0; i < t.picture_count; ++i) {
    const NcPicture p = ReadPicture(t.pictures + 16 * size_t{i});
    eye_size = std::max<uint32_t>(eye_size, p.eye_bound);
    lip_size = std::max<uint32_t>(lip_size, p.lip_bound);
  }
  for (uint32_t i = 0; i < t.eye_count; ++i) {
    eye_size = std::max<uint32_t>(eye_size, ReadCell(t.eyes + 16 * size_t{i}).image);
  }
  for (uint32_t i = 0; i < t.lip_count; ++i) {
    lip_size = std::max<uint32_t>(lip_size, ReadCell(t.lips + 16 * size_t{i}).image);
  }
  eye_size += 1;
  lip_size += 1;

  // The picture asked for, else the first; its eye and lip records must lie inside their parts.
  NcPicture picture = ReadPicture(t.pictures);
  for (uint32_t i = 0; i < t.picture_count; ++i) {
    const NcPicture p = ReadPicture(t.pictures + 16 * size_t{i});
    if (p.number == picture_number) {
      picture = p;
      break;
    }
  }
  if (!RangeInside(picture.eye_first, picture.eye_count, t.eye_count, "eye") ||
      !RangeInside(picture.lip_first, picture.lip_count, t.lip_count, "lip")) {
    return -1;
  }
  const NcCell body = ReadCell(t.bodies + 16 * size_t{body_index});

  PortraitState& state = Scene().portraits;
  const auto place_x = [&](const NcCell& c) { return c.x * scale + 2 * x; };
  const auto place_y = [&](const NcCell& c) { return c.y * scale + 2 * y; };
  state.nc_body = NcSprite(parts, *param, body.image, scale, place_x(body), place_y(body));
  if (state.nc_body == nullptr) return -1;
  state.nc_eyes.assign(eye_size, nullptr);
  state.nc_lips.assign(lip_size, nullptr);
  std::vector<AnimeCellPair> pairs;
  for (uint32_t i = 0; i < picture.eye_count; ++i) {
    const NcCell c = ReadCell(t.eyes + 16 * (size_t{picture.eye_first} + i));
    pairs.push_back({c.image, c.duration});
    if (state.nc_eyes[c.image] == nullptr) {
      state.nc_eyes[c.image] = NcSprite(parts, *param, c.image, scale, place_x(c), place_y(c));
    }
  }
  uint32_t first_lip = 0;
  for (uint32_t i = 0; i < picture.lip_count; ++i) {
    const NcCell c = ReadCell(t.lips + 16 * (size_t{picture.lip_first} + i));
    if (i == 0) first_lip = c.image;
    if (state.nc_lips[c.image] == nullptr) {
      state.nc_lips[c.image] = NcSprite(parts, *param, c.image, scale, place_x(c), place_y(c));
    }
  }

  CDdrawAnime& anime = Ctx().anime;
  const SurfaceId surface = param->second_surface;
  auto eyes = std::make_unique<AnimeCellListBlock>();
  eyes->range = picture.eye_count > 0 ? picture.eye_count - 1u : 0u;
  const uint32_t first_eye = pairs.empty() ? 0 : pairs.front().cell;
  state.nc_eye_anime =
      anime.CreateCellAnime(surface, std::move(eyes), std::move(pairs), 0, 0, first_eye,
                            state.nc_eyes);
  state.nc_lip_anime = anime.SetTalkSurface(surface, std::make_unique<AnimeTalkBlock>(), 0, 0,
                                            first_lip, state.nc_lips);
  state.nc_group = anime.CreateSprGroup(surface, picture_number, place_x(body), place_y(body),
                                        state.nc_body, state.nc_eye_anime, state.nc_lip_anime);
  if (state.nc_eye_anime == nullptr || state.nc_lip_anime == nullptr ||
      state.nc_group == nullptr) {
    DebugPrint("BuildNcSpx: the set's animations cannot be made\n");
    DropSet(state);
    return -1;
  }
  return picture.result;
}

int TamvikFunc::LoadNcSpx(const char* name, int body, int picture, int x, int y,
                          SurfaceId surface) {
  if (name == nullptr) return -1;
  PortraitState& state = Scene().portraits;
  // Callers release the old set first. One still held is released here: its animations read the
  // cell tables the new set is about to reuse.
  if (state.nc_body != nullptr || state.nc_group != nullptr) ReleaseNcSpx();
  state.nc_body = nullptr;
  state.nc_eyes.clear();
  state.nc_lips.clear();
  state.nc_group = state.nc_eye_anime = state.nc_lip_anime = nullptr;
  SprLoadParam param;
  param.surface = surface;
  param.second_surface = surface;
  param.color_key = 1;
  param.x = x;
  param.y = y;
  param.nc_body = body;
  param.nc_picture = picture;
  param.file_name = name;
  param.use_cache = 1;
  param.image = -1;
  if (LoadSpxSplitData(name, &param, kSprMaskNcSet) == 0) return -1;
  return param.image;
}

int TamvikFunc::LoadNcSpxFilePos(const char* name, int body, int picture, SurfaceId surface) {
  return LoadNcSpx(name, body, picture, kFilePosition, kFilePosition, surface);
}

int TamvikFunc::ReleaseNcSpx() {
  PortraitState& state = Scene().portraits;
  EngineContext& ctx = Ctx();
  CDdrawSpr& spr = ctx.ddraw_spr;
  CDdrawAnime& anime = ctx.anime;
  if (spr.DeleteSprite(&state.nc_body) == 0) return 0;
  if (anime.DeleteRef(&state.nc_eye_anime) == 0) return 0;
  if (state.nc_eyes.empty()) return 0;
  for (SprRec*& sprite : state.nc_eyes) spr.DeleteSprite(&sprite);
  state.nc_eyes.clear();
  if (anime.DeleteRef(&state.nc_lip_anime) == 0) return 0;
  if (state.nc_lips.empty()) return 0;
  for (SprRec*& sprite : state.nc_lips) spr.DeleteSprite(&sprite);
  state.nc_lips.clear();
  return anime.DeleteRef(&state.nc_group);
}

void TamvikFunc::PauseNcAnime() {
  PortraitState& state = Scene().portraits;
  CDdrawAnime& anime = Ctx().anime;
  anime.SetStopWord(state.nc_eye_anime, 1);
  anime.SetStopWord(state.nc_lip_anime, 1);
}

void TamvikFunc::ResumeNcAnime() {
  PortraitState& state = Scene().portraits;
  CDdrawAnime& anime = Ctx().anime;
  anime.SetStop(state.nc_eye_anime, 0);
  anime.SetStop(state.nc_lip_anime, 0);
}

int TamvikFunc::GetNcX() {
  const AnimeSprGroupBlock* group = Ctx().anime.GetSprGroupParam(Scene().portraits.nc_group);
  return group != nullptr ? group->x : -1;
}

int TamvikFunc::GetNcY() {
  const AnimeSprGroupBlock* group = Ctx().anime.GetSprGroupParam(Scene().portraits.nc_group);
  return group != nullptr ? group->y : -1;
}

void TamvikFunc::SetNcTalk(int /*unused*/, const char* text, int clock) {
  AnimeHandle lips = Scene().portraits.nc_lip_anime;
  CDdrawAnime& anime = Ctx().anime;
  if (text != nullptr) {
    anime.SetText(lips, text);
    anime.SetTalkMode(lips, kTalkText, clock);
  } else {
    anime.SetTalkMode(lips, kTalkRandom, clock);
  }
}

void TamvikFunc::StopNcTalk() {
  Ctx().anime.SetTalkMode(Scene().portraits.nc_lip_anime, kTalkIdle, kTalkVoiceClock);
}

void TamvikFunc::PutNcLipCell(int n) { Ctx().anime.PutCell(Scene().portraits.nc_lip_anime, n); }
