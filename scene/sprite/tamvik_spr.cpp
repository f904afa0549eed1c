// CTamvikSpr: unit, animation-list and battle-map records, units on screen and the animation
// calls over kind 12.

#include "scene/sprite/tamvik_spr.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/sprite/spr_file.h"
#include "scene/sprite/spx_anime.h"

namespace {

int16_t I16(int32_t v) { return static_cast<int16_t>(v); }

char Raised(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether a record's name (kept as SprRecordName made it) is the name asked for, compared the
// same way without building the raised copy: a look-up allocates nothing.
bool SameRecordName(const std::string& stored, const char* name) {
  if (name == nullptr) return stored.empty();
  size_t i = 0;
  for (; name[i] != '\0'; ++i) {
    if (i >= stored.size() || stored[i] != Raised(name[i])) return false;
  }
  return i == stored.size();
}

template <class Record>
Record* FindByName(Record* head, const char* name) {
  for (Record* r = head; r != nullptr; r = r->next) {
    if (SameRecordName(r->name, name)) return r;
  }
  return nullptr;
}

template <class Record>
bool Unlink(Record** head, Record* record) {
  for (Record** link = head; *link != nullptr; link = &(*link)->next) {
    if (*link == record) {
      *link = record->next;
      return true;
    }
  }
  return false;
}

void DeleteSprites(std::vector<SprRec*>& sprites) {
  if (HasCtx()) {
    for (SprRec*& sprite : sprites) {
      if (sprite != nullptr) Ctx().ddraw_spr.DeleteSprite(&sprite);
    }
  }
  sprites.clear();
}

}  // namespace

std::string SprRecordName(const char* name) {
  std::string out = name != nullptr ? name : "";
  for (char& c : out) c = Raised(c);
  return out;
}

CTamvikSpr::CTamvikSpr() : handles_(std::make_unique<std::array<SprUnitHandle, kSprUnitHandleCount>>()) {
  for (int i = 0; i < kSprUnitHandleCount; ++i) free_[static_cast<size_t>(i)] = &(*handles_)[static_cast<size_t>(i)];
  free_top_ = kSprUnitHandleCount;
  if (HasCtx()) kind_ = std::make_unique<SpxAnimeKind>(Ctx().anime, *this);
}

CTamvikSpr::~CTamvikSpr() {
  // The animations first: they hold drawn units and lists.
  kind_.reset();
  if (!HasCtx()) return;  // nothing was put without an engine
  for (int i = 0; i < kSprUnitHandleCount; ++i) {
    if (in_use_[static_cast<size_t>(i)]) {
      SprUnitHandle* handle = &(*handles_)[static_cast<size_t>(i)];
      ReleaseUnit(&handle);
    }
  }
  DeleteAllAnm();
  DeleteAllUnit();
  DeleteAllSlgMap();
}

// ---- Records ----

SprUnit* CTamvikSpr::BuildUnit(const char* name, std::vector<SprRec*> sprites,
                               const std::vector<SprRawBlock>* blocks, uint16_t scale_flag) {
  if (blocks == nullptr) return nullptr;
  const int scale = scale_flag == 1 ? 1 : 2;
  auto* unit = new SprUnit;
  unit->name = SprRecordName(name);
  unit->sprites = std::move(sprites);
  unit->units.resize(blocks->size());
  unit->rects.resize(blocks->size());
  for (size_t j = 0; j < blocks->size(); ++j) {
    const SprRawBlock& block = (*blocks)[j];
    SprUnitComposition& comp = unit->units[j];
    const uint32_t count =
        std::min<uint32_t>(block.count, static_cast<uint32_t>(block.bytes.size() / 40));
    comp.count = count;
    comp.words.resize(size_t{count} * kSprUnitEntryWords);
    int16_t l = 0, t = 0, r = 0, b = 0;
    for (uint32_t e = 0; e < count; ++e) {
      const uint8_t* in = block.bytes.data() + size_t{e} * 40;
      uint16_t* w = comp.words.data() + size_t{e} * kSprUnitEntryWords;
      for (int k = 0; k < kSprUnitEntryWords; ++k) {
        if (k == 1) {
          std::memcpy(&w[1], in + 2, 2);  // left as stored
        } else {
          w[k] = SprBe16(in + 2 * k);
        }
      }
      w[14] = static_cast<uint16_t>(scale);
      const auto s = static_cast<int16_t>(scale);
      const int16_t px = I16(w[16]), py = I16(w[17]);
      l = std::min(l, I16(I16(px + I16(w[6])) * s));
      t = std::min(t, I16(I16(py + I16(w[7])) * s));
      r = std::max(r, I16(I16(px + I16(w[10]) + 1) * s));
      b = std::max(b, I16(I16(py + I16(w[11]) + 1) * s));
    }
    unit->rects[j] = {l, t, r, b};
  }
  unit->next = units_;
  units_ = unit;
  return unit;
}

SprAnm* CTamvikSpr::BuildAnm(const char* name, SprUnit* unit,
                             const std::vector<SprRawBlock>* blocks) {
  if (blocks == nullptr) return nullptr;
  auto* anm = new SprAnm;
  anm->name = SprRecordName(name);
  anm->unit = unit;
  anm->animations.resize(blocks->size());
  for (size_t j = 0; j < blocks->size(); ++j) {
    const SprRawBlock& block = (*blocks)[j];
    const uint32_t count =
        std::min<uint32_t>(block.count, static_cast<uint32_t>(block.bytes.size() / 4));
    auto& frames = anm->animations[j];
    frames.resize(count);
    for (uint32_t f = 0; f < count; ++f) {
      frames[f].unit = SprBe16(block.bytes.data() + 4 * size_t{f});
      frames[f].wait = SprBe16(block.bytes.data() + 4 * size_t{f} + 2);
    }
  }
  anm->next = anms_;
  anms_ = anm;
  return anm;
}

SlgMapSpr* CTamvikSpr::BuildSlgMap(const char* name, std::vector<SprRec*> sprites,
                                   uint32_t count, uint16_t scale_flag, const uint8_t* data) {
  if (data == nullptr) return nullptr;
  const int scale = scale_flag == 1 ? 1 : 2;
  auto* map = new SlgMapSpr;
  map->name = SprRecordName(name);
  map->sprites = std::move(sprites);
  map->data.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* in = data + 16 * size_t{i};
    auto& words = map->data[i];
    std::memcpy(words.data(), in, 16);  // words 1 and 4-7 as stored
    words[0] = SprBe16(in);
    words[2] = static_cast<uint16_t>(SprBe16(in + 4) * scale);
    words[3] = static_cast<uint16_t>(SprBe16(in + 6) * scale);
  }
  map->next = slg_maps_;
  slg_maps_ = map;
  return map;
}

SprUnit* CTamvikSpr::FindUnit(const char* name) {
  SprUnit* unit = FindByName(units_, name);
  if (unit != nullptr) ++unit->ref;
  return unit;
}

SprAnm* CTamvikSpr::FindAnm(const char* name) {
  SprAnm* anm = FindByName(anms_, name);
  if (anm != nullptr) ++anm->ref;
  return anm;
}

SlgMapSpr* CTamvikSpr::FindSlgMap(const char* name) {
  SlgMapSpr* map = FindByName(slg_maps_, name);
  if (map != nullptr) ++map->ref;
  return map;
}

void CTamvikSpr::FreeUnit(SprUnit* unit) {
  DeleteSprites(unit->sprites);
  delete unit;
}

void CTamvikSpr::FreeAnm(SprAnm* anm) { delete anm; }

void CTamvikSpr::FreeSlgMap(SlgMapSpr* map) {
  DeleteSprites(map->sprites);
  delete map;
}

int CTamvikSpr::ReleaseUnitRec(SprUnit* unit) {
  bool listed = false;
  for (SprUnit* u = units_; u != nullptr; u = u->next) listed = listed || u == unit;
  if (!listed) return 0;
  if (--unit->ref > 0) return 1;
  Unlink(&units_, unit);
  FreeUnit(unit);
  return 1;
}

int CTamvikSpr::ReleaseAnmRec(SprAnm* anm) {
  bool listed = false;
  for (SprAnm* a = anms_; a != nullptr; a = a->next) listed = listed || a == anm;
  if (!listed) return 0;
  if (--anm->ref > 0) return 1;
  // Animations still playing from the list would be left on a freed list.
  DeleteAnmPlays(anm);
  Unlink(&anms_, anm);
  if (anm->unit != nullptr) ReleaseUnitRec(anm->unit);
  FreeAnm(anm);
  return 1;
}

int CTamvikSpr::ReleaseSlgMap(SlgMapSpr* map) {
  bool listed = false;
  for (SlgMapSpr* m = slg_maps_; m != nullptr; m = m->next) listed = listed || m == map;
  if (!listed) return 0;
  if (--map->ref > 0) return 1;
  Unlink(&slg_maps_, map);
  FreeSlgMap(map);
  return 1;
}

void CTamvikSpr::DeleteAllUnit() {
  // Lists still held lose their unit rather than keep a freed one: their frames draw nothing.
  for (SprAnm* anm = anms_; anm != nullptr; anm = anm->next) anm->unit = nullptr;
  while (units_ != nullptr) {
    SprUnit* unit = units_;
    units_ = unit->next;
    FreeUnit(unit);
  }
}

void CTamvikSpr::DeleteAllAnm() {
  while (anms_ != nullptr) {
    SprAnm* anm = anms_;
    DeleteAnmPlays(anm);
    anms_ = anm->next;
    FreeAnm(anm);
  }
}

void CTamvikSpr::DeleteAllSlgMap() {
  while (slg_maps_ != nullptr) {
    SlgMapSpr* map = slg_maps_;
    slg_maps_ = map->next;
    FreeSlgMap(map);
  }
}

// ---- Units on screen ----

SprUnitHandle* CTamvikSpr::TakeHandle() {
  if (free_top_ == 0) return nullptr;
  SprUnitHandle* handle = free_[static_cast<size_t>(--free_top_)];
  in_use_[static_cast<size_t>(handle - handles_->data())] = true;
  handle->count = 0;
  return handle;
}

void CTamvikSpr::GiveHandle(SprUnitHandle* handle) {
  handle->count = 0;
  in_use_[static_cast<size_t>(handle - handles_->data())] = false;
  free_[static_cast<size_t>(free_top_++)] = handle;
}

const SprUnitComposition* CTamvikSpr::Composition(const SprUnit* unit, uint32_t n,
                                                  const char* caller) const {
  if (unit == nullptr) return nullptr;
  if (n >= unit->UnitNum()) {
    DebugPrint("%s: %s unitNo(%u>=%u) is too large\n", caller, unit->name.c_str(), n,
               unit->UnitNum());
    return nullptr;
  }
  return &unit->units[n];
}

SprUnitHandle* CTamvikSpr::PutUnitWork(SprUnit* unit, uint32_t n, const SpxAnimeBlock& place,
                                       const char* name) {
  const SprUnitComposition* comp = Composition(unit, n, "CTamvikSpr::PutUnitWork");
  if (comp == nullptr) return nullptr;
  SprUnitHandle* handle = TakeHandle();
  if (handle == nullptr) {
    DebugPrint("Unit Buffer is too small!(%d)\n", kSprUnitHandleCount);
    return nullptr;
  }
  if (comp->count >= kSprUnitEntryLimit) {
    DebugPrint("Unit Spr Num is too small!(%d)\n", static_cast<int>(kSprUnitEntryLimit));
    GiveHandle(handle);
    return nullptr;
  }
  CDdrawSpr& spr = Ctx().ddraw_spr;
  const bool rotated = place.rotation != 0;
  double cos_a = 1.0, sin_a = 0.0;
  if (rotated) {
    const double a = place.rotation / 256.0;
    cos_a = std::cos(a);
    sin_a = std::sin(a);
  }
  const std::array<int32_t, 4>* corners = place.corners ? &*place.corners : nullptr;
  for (uint32_t e = 0; e < comp->count; ++e) {
    const uint16_t* w = comp->Entry(e);
    SprRec* sprite = GetUnitSprID(unit, w[15]);
    if (sprite == nullptr) continue;  // past the table or an empty image: nothing to show
    const int64_t s = I16(w[14]);
    int64_t ox = int64_t{I16(w[16])} * s * place.zoom_x / 65536;
    int64_t oy = int64_t{I16(w[17])} * s * place.zoom_y / 65536;
    if (corners != nullptr) {
      ox = ox * (int64_t{(*corners)[0]} + (*corners)[2]) / 2 / 65536;
      oy = oy * (int64_t{(*corners)[1]} + (*corners)[3]) / 2 / 65536;
    }
    if (rotated) {
      const double rx = cos_a * static_cast<double>(ox) - sin_a * static_cast<double>(oy);
      const double ry = cos_a * static_cast<double>(oy) + sin_a * static_cast<double>(ox);
      ox = static_cast<int64_t>(rx);
      oy = static_cast<int64_t>(ry);
    }
    int64_t cx, cy;
    if ((place.reverse & 0x10) != 0) {
      ox = -ox;
      cx = I16(w[8]) * s;
    } else {
      cx = -(I16(w[6]) * s);
    }
    if ((place.reverse & 0x20) != 0) {
      oy = -oy;
      cy = I16(w[11]) * s;
    } else {
      cy = -(I16(w[7]) * s);
    }
    const uint32_t mirror = (w[0] ^ place.reverse) & (CDdrawSpr::kMirrorLeftRight | CDdrawSpr::kMirrorUpDown);
    SprBufferEntry* entry =
        spr.SetBuffer(name, sprite, static_cast<int>(place.x + ox), static_cast<int>(place.y + oy),
                      place.surface, static_cast<int>(place.color_key), place.priority, mirror);
    if (entry == nullptr) continue;  // the sprite buffer is full: this entry is not shown
    spr.SetBufferCenter(entry, static_cast<int>(cx), static_cast<int>(cy));
    spr.SetBufferZoom(entry, place.zoom_x, place.zoom_y);
    int32_t rotation = place.rotation;
    if (w[18] != 0) rotation += static_cast<int32_t>((uint32_t{w[18]} * 804) >> 15);
    spr.SetBufferRotZ(entry, rotation);
    if (corners != nullptr) spr.SetBufferZoom4(entry, corners->data());
    spr.SetBufferAlpha(entry, place.alpha);
    handle->entries[handle->count++] = entry;
  }
  if (name == nullptr) handle->count = 0;  // one-frame entries belong to the draw walk
  return handle;
}

int CTamvikSpr::IsUnitOnScreen(SprUnit* unit, uint32_t n, const SpxAnimeBlock& place) const {
  if (Composition(unit, n, "CTamvikSpr::IsUnitOnScreen") == nullptr) return 0;
  const Rect& r = unit->rects[n];
  const int64_t x = I16(place.x), y = I16(place.y);
  if (x + int64_t{r.right} * place.zoom_x / 65536 < -128) return 0;
  if (x + int64_t{r.left} * place.zoom_x / 65536 > 768) return 0;
  if (y + int64_t{r.bottom} * place.zoom_y / 65536 < -48) return 0;
  if (y + int64_t{r.top} * place.zoom_y / 65536 > 592) return 0;
  return 1;
}

SprUnitHandle* CTamvikSpr::PutUnitChecked(SprUnit* unit, uint32_t n, const SpxAnimeBlock& place) {
  if (!IsUnitOnScreen(unit, n, place)) return nullptr;
  return PutUnitWork(unit, n, place, CDdrawSpr::kBuffered);
}

SprUnitHandle* CTamvikSpr::PutUnit(SprUnit* unit, uint32_t n, int x, int y, SurfaceId surface,
                                   int color_key) {
  SpxAnimeBlock place;
  place.x = x;
  place.y = y;
  place.surface = surface;
  place.color_key = static_cast<uint32_t>(color_key);
  return PutUnitChecked(unit, n, place);
}

int CTamvikSpr::DrawUnit(SprUnit* unit, uint32_t n, int x, int y, SurfaceId surface,
                         int color_key, uint32_t reverse, int priority, int32_t zoom_x,
                         int32_t zoom_y) {
  SpxAnimeBlock place;
  place.x = x;
  place.y = y;
  place.surface = surface;
  place.color_key = static_cast<uint32_t>(color_key);
  place.reverse = reverse;
  place.priority = priority;
  place.zoom_x = zoom_x;
  place.zoom_y = zoom_y;
  SprUnitHandle* handle = PutUnitWork(unit, n, place, nullptr);
  if (handle == nullptr) return 0;
  GiveHandle(handle);
  return 1;
}

int CTamvikSpr::ReleaseUnit(SprUnitHandle** variable) {
  if (variable == nullptr) return 0;
  SprUnitHandle* handle = *variable;
  *variable = nullptr;
  if (handle == nullptr) return 0;
  const ptrdiff_t index = handle - handles_->data();
  if (index < 0 || index >= kSprUnitHandleCount || !in_use_[static_cast<size_t>(index)]) {
    return 0;  // not a live handle of the pool
  }
  CDdrawSpr& spr = Ctx().ddraw_spr;
  for (uint32_t i = 0; i < handle->count; ++i) spr.DeleteBuffer(&handle->entries[i]);
  GiveHandle(handle);
  return 1;
}

int CTamvikSpr::MoveUnit(SprUnitHandle* handle, int dx, int dy) {
  if (handle == nullptr) return 0;
  CDdrawSpr& spr = Ctx().ddraw_spr;
  for (uint32_t i = 0; i < handle->count; ++i) {
    int x = 0, y = 0;
    if (spr.GetBufferPos(handle->entries[i], &x, &y)) spr.SetBufferPos(handle->entries[i], x + dx, y + dy);
  }
  return 1;
}

int CTamvikSpr::SetUnitPriority(SprUnitHandle* handle, int priority) {
  if (handle == nullptr) return 0;
  CDdrawSpr& spr = Ctx().ddraw_spr;
  for (uint32_t i = 0; i < handle->count; ++i) spr.SetBufferPriority(handle->entries[i], priority);
  return 1;
}

SprRec* CTamvikSpr::GetUnitSprID(const SprUnit* unit, uint32_t n) const {
  if (unit == nullptr || unit->sprites.empty()) return nullptr;
  if (n >= unit->SprNum()) {
    DebugPrint("CTamvikSpr::GetUnitSprID: %s sprNo(%d>=%d) is too large\n", unit->name.c_str(),
               static_cast<int>(n), static_cast<int>(unit->SprNum()));
    return nullptr;
  }
  return unit->sprites[n];
}

int CTamvikSpr::GetUnitRect(Rect* out, const SprUnit* unit, uint32_t n, int x, int y) const {
  if (out == nullptr) return 0;
  *out = {};
  if (Composition(unit, n, "CTamvikSpr::GetUnitRect") == nullptr) return 0;
  const Rect& r = unit->rects[n];
  const int32_t dx = I16(x), dy = I16(y);
  *out = {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
  return 1;
}

int CTamvikSpr::SetUnitAlpha(SprUnit* unit, uint32_t n, BlendWord alpha) {
  const SprUnitComposition* comp = Composition(unit, n, "CTamvikSpr::SetUnitAlpha");
  if (comp == nullptr) return 0;
  CDdrawSpr& spr = Ctx().ddraw_spr;
  for (uint32_t e = 0; e < comp->count; ++e) {
    SprRec* sprite = GetUnitSprID(unit, comp->Entry(e)[15]);
    if (sprite != nullptr) spr.SetSpriteAlpha(sprite, alpha);
  }
  return 1;
}

void CTamvikSpr::Enum(int first) const {
  DebugPrint("CtamvikSpr::Enum Unit List\n");
  int index = 0, shown = 0;
  for (const SprUnit* u = units_; u != nullptr && shown < 21; u = u->next, ++index) {
    if (index < first) continue;
    DebugPrint("No%3d Ref:%2d UnitNum:%3d SprNum:%d ", index, u->ref,
               static_cast<int>(u->UnitNum()), static_cast<int>(u->SprNum()));
    DebugPrint("%s\n", u->name.c_str());
    ++shown;
  }
  DebugPrint("CtamvikSpr::Enum Unit List End.\n");
}

// ---- Animations ----

AnimeHandle CTamvikSpr::PlayAnm(SprAnm* anm, uint32_t n, int x, int y, int priority, uint32_t loop,
                              SurfaceId surface, int color_key, uint32_t reverse) {
  if (anm == nullptr || kind_ == nullptr) return nullptr;
  if (n >= anm->AnmDataNum()) {
    DebugPrint(" PlayAnm %s: AnmNo(%d) is too large\n", anm->name.c_str(), static_cast<int>(n));
    return nullptr;
  }
  return kind_->CreateSpx(anm, n, static_cast<uint32_t>(anm->animations[n].size()), x, y, reverse,
                          loop, surface, color_key, priority);
}

int CTamvikSpr::ReleaseAnm(AnimeHandle* handle) {
  if (kind_ == nullptr) {
    if (handle != nullptr) *handle = nullptr;
    return 0;
  }
  return kind_->DeleteSpxRef(handle);
}

int CTamvikSpr::DeleteAnmPlays(SprAnm* anm) {
  if (anm == nullptr || kind_ == nullptr) return 0;
  return kind_->DeleteBySpx(anm);
}

int CTamvikSpr::PutAnmFrame(SpxAnimeBlock& block) {
  if (block.drawn != nullptr) ReleaseUnit(&block.drawn);
  if (block.frame < 0) return 0;
  const SprAnmFrame* frame =
      GetAnmFrame(block.anm, block.animation, static_cast<uint32_t>(block.frame));
  if (frame == nullptr) return 0;
  // A unit number past the unit count draws nothing (PutUnitChecked traces it).
  block.drawn = PutUnitChecked(block.anm->unit, frame->unit, block);
  return block.drawn != nullptr ? 1 : 0;
}

uint32_t CTamvikSpr::GetAnmFrameNum(const SprAnm* anm, uint32_t n) const {
  if (anm == nullptr || n >= anm->AnmDataNum()) return 0;
  return static_cast<uint32_t>(anm->animations[n].size());
}

const SprAnmFrame* CTamvikSpr::GetAnmFrame(const SprAnm* anm, uint32_t n, uint32_t m) const {
  if (anm == nullptr || n >= anm->AnmDataNum() || m >= anm->animations[n].size()) return nullptr;
  return &anm->animations[n][m];
}

uint16_t CTamvikSpr::GetAnmFrameWait(const SprAnm* anm, uint32_t n, uint32_t m) const {
  const SprAnmFrame* frame = GetAnmFrame(anm, n, m);
  return frame != nullptr ? frame->wait : 0;
}

uint16_t CTamvikSpr::GetAnmFrameUnitNo(const SprAnm* anm, uint32_t n, uint32_t m) const {
  const SprAnmFrame* frame = GetAnmFrame(anm, n, m);
  return frame != nullptr ? frame->unit : 0;
}

SprRec* CTamvikSpr::GetAnmUnitSprID(const SprAnm* anm, uint32_t n) const {
  return anm != nullptr ? GetUnitSprID(anm->unit, n) : nullptr;
}

uint32_t CTamvikSpr::GetAnmFrameSprites(const SprAnm* anm, uint32_t n, uint32_t m,
                                        std::vector<SprRec*>* out) const {
  if (out != nullptr) out->clear();
  const SprAnmFrame* frame = GetAnmFrame(anm, n, m);
  if (frame == nullptr) return 0;
  const SprUnitComposition* comp = Composition(anm->unit, frame->unit, "GetAnmFrameSprites");
  if (comp == nullptr) return 0;
  if (out != nullptr) {
    for (uint32_t e = 0; e < comp->count; ++e) out->push_back(GetUnitSprID(anm->unit, comp->Entry(e)[15]));
  }
  return comp->count;
}

int32_t CTamvikSpr::GetAnmFrameNo(AnimeHandle handle) const {
  const SpxAnimeBlock* block = kind_ != nullptr ? kind_->Block(handle) : nullptr;
  if (block == nullptr) return 0;
  return block->frame > 0 ? block->frame - 1 : block->frame;
}

int CTamvikSpr::SetAnmAlpha(SprAnm* anm, uint32_t n, BlendWord alpha) {
  if (anm == nullptr || n >= anm->AnmDataNum()) return 0;
  for (const SprAnmFrame& frame : anm->animations[n]) SetUnitAlpha(anm->unit, frame.unit, alpha);
  return 1;
}

int CTamvikSpr::BakeAnmAlpha(SprAnm* anm, uint32_t n, int32_t alpha) {
  if (anm == nullptr || n >= anm->AnmDataNum()) return 0;
  CDdrawSpr& spr = Ctx().ddraw_spr;
  // Each sprite once, though several frames show it: baking twice would scale it twice.
  std::vector<SprRec*>& baked = bake_done_;
  baked.clear();
  // Each picture is blended onto itself from a copy: the engine's working surface holds it (no
  // allocation in the middle of an attack); a picture too large for it gets a sprite copy, one
  // serving every sprite of its size (CopySprite fills a copy of the same size in place).
  SprRec work;
  SprRec* copy = nullptr;
  for (uint32_t m = 0; m < anm->animations[n].size(); ++m) {
    std::vector<SprRec*>& sprites = bake_frame_sprites_;
    GetAnmFrameSprites(anm, n, m, &sprites);
    for (SprRec* sprite : sprites) {
      if (sprite == nullptr || std::find(baked.begin(), baked.end(), sprite) != baked.end()) continue;
      baked.push_back(sprite);
      platform::Surface* own = spr.GetSpriteSurface(sprite);
      if (own == nullptr) continue;
      SprRec* from = &work;
      if (!spr.CopySpriteToWork(sprite, work)) {
        SprRec* made = spr.CopySprite(sprite, copy);
        if (made == nullptr) continue;
        if (made != copy) {
          spr.DeleteSprite(&copy);
          copy = made;
        }
        from = copy;
      }
      spr.SetSpriteAlpha(from, static_cast<BlendWord>(alpha + 0x20000));
      spr.PutSpriteEx(from, -from->rect.left, -from->rect.top, own, 1, 0, nullptr,
                      CDdrawSpr::kZoomOne, CDdrawSpr::kZoomOne, 0, nullptr, 0, 0,
                      CDdrawSpr::kOpaque);
    }
  }
  spr.DeleteSprite(&copy);
  baked.clear();
  return 1;
}

void CTamvikSpr::EnumAnime(int first) const {
  DebugPrint("CtamvikSpr::Enum Anime List\n");
  int index = 0, shown = 0;
  for (const SprAnm* a = anms_; a != nullptr && shown < 21; a = a->next, ++index) {
    if (index < first) continue;
    DebugPrint("No%3d Ref:%2d AnmDataNum:%3d %s\n", index, a->ref,
               static_cast<int>(a->AnmDataNum()), a->name.c_str());
    ++shown;
  }
  DebugPrint("CtamvikSpr::Enum Anime List End.\n");
}

// ---- Battle-map records ----

SprRec* CTamvikSpr::GetSlgMapSprID(const SlgMapSpr* map, uint32_t n) const {
  if (map == nullptr) return nullptr;
  if (n >= map->sprites.size()) {
    DebugPrint("CTamvikSpr::GetSlgMapSprID: sprNo(%d>=%d) is too large\n", static_cast<int>(n),
               static_cast<int>(map->sprites.size()));
    return nullptr;
  }
  return map->sprites[n];
}

uint32_t CTamvikSpr::GetSlgMapDataNum(const SlgMapSpr* map) const {
  return map != nullptr ? static_cast<uint32_t>(map->data.size()) : 0;
}

int32_t CTamvikSpr::GetSlgMapData(const SlgMapSpr* map, uint32_t n) const {
  if (map == nullptr) return 0;
  if (n >= map->data.size()) {
    DebugPrint("CTamvikSpr::GetSlgMapData: dataNo(%d>=%d) is too large\n", static_cast<int>(n),
               static_cast<int>(map->data.size()));
    return 0;
  }
  return map->data[n][0];
}

int32_t CTamvikSpr::GetSlgMapData(const SlgMapSpr* map, uint32_t n, int32_t* word2,
                                  int32_t* word3) const {
  if (map == nullptr) return 0;
  if (n >= map->data.size()) {
    DebugPrint("CTamvikSpr::GetSlgMapData: dataNo(%d>=%d) is too large\n", static_cast<int>(n),
               static_cast<int>(map->data.size()));
    return 0;
  }
  // Positions: signed 16-bit.
  if (word2 != nullptr) *word2 = static_cast<int16_t>(map->data[n][2]);
  if (word3 != nullptr) *word3 = static_cast<int16_t>(map->data[n][3]);
  return 1;
}
