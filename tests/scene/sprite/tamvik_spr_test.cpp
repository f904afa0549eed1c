// Unit, animation-list and battle-map records; units on screen; the pools.

#include <gtest/gtest.h>

#include <cstring>

#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "tests/scene/sprite/spr_test_support.h"
#include "testsupport/counting_new/counting_new.h"

namespace {

using namespace testsupport;

// Two 2x2 images, so sprites exist to be placed.
std::vector<SprImage> TwoImages() {
  return {{2, 2, kSprDepth8, 0, {1, 1, 1, 1}}, {2, 2, kSprDepth8, 0, {2, 2, 2, 2}}};
}
const std::vector<SprRgb> kColours = {{31, 0, 0}, {0, 31, 0}, {0, 0, 31}};

class TamvikSprTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fx.OpenDisplay()); }
  CTamvikSpr& spr() { return fx.scene.scene().tamvik_spr; }
  CDdrawSpr& sprites() { return fx.scene.engine().ctx().ddraw_spr; }
  std::string File(const std::string& name, const std::vector<std::vector<SprUnitEntry>>& units,
                   const std::vector<std::vector<SprFrameSpec>>& animations = {},
                   uint16_t scale = 1) {
    return fx.Write(name, AnimationFile(kColours, TwoImages(), units, animations, scale));
  }
  int LiveEntries() { return CDdrawSpr::kEntryCount - sprites().FreeEntryCount(); }

  spr_test::SprFixture fx;
  TraceCapture trace;
};

TEST_F(TamvikSprTest, RecordsAreSharedByNameAndFreedWithTheirSprites) {
  File("unit.spr", {{BoxEntry(0, 0, 0, 2, 2), BoxEntry(1, 2, 0, 2, 2)}});
  SprUnit* a = TamvikFunc::LoadUnitFile("unit.spr");
  ASSERT_NE(a, nullptr);
  SprUnit* b = TamvikFunc::LoadUnitFile("UNIT.Spr");
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->ref, 2);
  EXPECT_EQ(a->name, "UNIT.SPR");
  // Names are compared whole, whatever the case of a-z; nothing else matches.
  for (const char* other : {"unit.sp", "unit.sprx", "", "unit_spr", "xunit.spr"}) {
    EXPECT_EQ(spr().FindUnit(other), nullptr) << other;
  }
  EXPECT_EQ(spr().FindUnit(nullptr), nullptr);
  EXPECT_EQ(a->ref, 2);
  const std::vector<SprRec*> made = a->sprites;
  ASSERT_EQ(made.size(), 2u);
  for (SprRec* s : made) EXPECT_EQ(sprites().IsSprite(s), 1);

  EXPECT_EQ(TamvikFunc::ReleaseUnitFile(b), 1);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(spr().units(), a);
  EXPECT_EQ(TamvikFunc::ReleaseUnitFile(a), 1);
  EXPECT_EQ(spr().units(), nullptr);
  for (SprRec* s : made) EXPECT_EQ(sprites().IsSprite(s), 0);
  SprUnit* none = nullptr;
  EXPECT_EQ(TamvikFunc::ReleaseUnitFile(none), 0);
}

TEST_F(TamvikSprTest, AListKeepsItsUnitAndMask54ReusesALoadedUnit) {
  File("anim.spr", {{BoxEntry(0, 0, 0, 2, 2)}}, {{{0, 6}}});
  SprUnit* unit = TamvikFunc::LoadUnitFile("anim.spr");
  ASSERT_NE(unit, nullptr);
  const std::vector<SprRec*> made = unit->sprites;
  SprAnm* anm = TamvikFunc::LoadAnmFile("ANIM.SPR");
  ASSERT_NE(anm, nullptr);
  // Only the list was built: the unit is the same record, one reference more.
  EXPECT_EQ(anm->unit, unit);
  EXPECT_EQ(unit->ref, 2);
  EXPECT_EQ(unit->next, nullptr);

  TamvikFunc::ReleaseUnitFile(unit);
  ASSERT_NE(spr().units(), nullptr);  // the list's reference keeps it
  EXPECT_EQ(sprites().IsSprite(made[0]), 1);
  EXPECT_EQ(spr().GetAnmUnitSprID(anm, 0), made[0]);
  TamvikFunc::ReleaseAnmFile(anm);
  EXPECT_EQ(spr().anms(), nullptr);
  EXPECT_EQ(spr().units(), nullptr);
  EXPECT_EQ(sprites().IsSprite(made[0]), 0);
}

TEST_F(TamvikSprTest, EntriesAreConvertedAndUnitRectanglesUseSixteenBitArithmetic) {
  SprUnitEntry e = BoxEntry(1, -3, -5, 4, 2);
  e.left = -1;
  e.top = -2;
  e.words = {{1, 0x1234}, {2, 0xABCD}, {14, 7}};
  for (uint16_t scale : {1, 0}) {
    SCOPED_TRACE(scale);
    const std::string name = scale == 1 ? "s1.spr" : "s2.spr";
    File(name, {{e, BoxEntry(0, 10, 1, 2, 2)}}, {}, scale);
    SprUnit* unit = TamvikFunc::LoadUnitFile(name.c_str());
    ASSERT_NE(unit, nullptr);
    const int s = scale == 1 ? 1 : 2;
    const uint16_t* w = unit->units[0].Entry(0);
    EXPECT_EQ(w[2], 0xABCD);  // converted from big-endian
    const uint8_t stored[2] = {0x12, 0x34};  // word 1 as stored
    EXPECT_EQ(std::memcmp(&w[1], stored, 2), 0);
    EXPECT_EQ(w[14], s);
    EXPECT_EQ(static_cast<int16_t>(w[16]), -3);
    // Box of entry 0: (-3 - 1, -5 - 2, -3 + 3 + 1, -5 + 1 + 1) x s; entry 1: (10, 1, 12, 3) x s.
    const Rect r = unit->rects[0];
    EXPECT_EQ(r.left, -4 * s);
    EXPECT_EQ(r.top, -7 * s);
    EXPECT_EQ(r.right, 12 * s);
    EXPECT_EQ(r.bottom, 3 * s);
    Rect moved;
    EXPECT_EQ(spr().GetUnitRect(&moved, unit, 0, 100, 0x10000 + 50), 1);  // y taken as 16-bit
    EXPECT_EQ(moved.left, 100 - 4 * s);
    EXPECT_EQ(moved.top, 50 - 7 * s);
  }
}

TEST_F(TamvikSprTest, BattleMapRecordsSwapWordZeroAndScaleWordsTwoAndThree) {
  SprFileWriter w;
  w.Add(1, ColourPart(kColours));
  w.Add(2, ImagePart(TwoImages(), 0));
  w.Add(13, SlgMapPart({{0x0102, 0x0304, 10, 0xFFFE, 0x0506, 0, 0, 0x0708}}, 0));
  fx.Write("map.spr", w.Build());
  SlgMapSpr* map = TamvikFunc::LoadSlgMapFile("map.spr");
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(TamvikFunc::LoadSlgMapFile("Map.spr"), map);
  EXPECT_EQ(map->ref, 2);
  ASSERT_EQ(spr().GetSlgMapDataNum(map), 1u);
  EXPECT_EQ(spr().GetSlgMapData(map, 0), 0x0102);
  int32_t x = 0, y = 0;
  EXPECT_EQ(spr().GetSlgMapData(map, 0, &x, &y), 1);
  EXPECT_EQ(x, 20);
  EXPECT_EQ(y, -4);
  // Words 1 and 4-7 as stored (big-endian bytes).
  EXPECT_EQ(map->data[0][1], static_cast<uint16_t>(0x0403));
  EXPECT_EQ(map->data[0][7], static_cast<uint16_t>(0x0807));
  EXPECT_EQ(spr().GetSlgMapData(map, 1), 0);
  EXPECT_TRUE(trace.Contains("CTamvikSpr::GetSlgMapData: dataNo(1>=1) is too large\n"));
  EXPECT_NE(spr().GetSlgMapSprID(map, 1), nullptr);
  EXPECT_EQ(spr().GetSlgMapSprID(map, 2), nullptr);
  TamvikFunc::ReleaseSlgMapFile(map);
  EXPECT_NE(spr().slg_maps(), nullptr);
  SlgMapSpr* again = spr().slg_maps();
  TamvikFunc::ReleaseSlgMapFile(again);
  EXPECT_EQ(spr().slg_maps(), nullptr);
}

TEST_F(TamvikSprTest, SumsPastThePartAndMissingPartsRefuseTheLoad) {
  const std::vector<std::vector<SprUnitEntry>> units = {{BoxEntry(0, 0, 0, 2, 2)}};
  struct Case {
    const char* what;
    std::vector<uint8_t> unit_part, anim_part;
  };
  const Case cases[] = {
      {"entries past the unit part", UnitPart(units, 1, {uint16_t{2}}), AnimationPart({{{0, 6}}})},
      {"frames past the animation part", UnitPart(units), AnimationPart({{{0, 6}}}, {uint16_t{3}})},
      {"a unit count past the part", UnitPart(units, 1, {uint16_t{0xFFFF}}), AnimationPart({{{0, 6}}})},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string name = "bad" + std::to_string(n++) + ".spr";  // the cache keeps parts by name
    SprFileWriter w;
    w.Add(1, ColourPart(kColours));
    w.Add(2, ImagePart(TwoImages()));
    w.Add(4, c.unit_part);
    w.Add(5, c.anim_part);
    fx.Write(name, w.Build());
    EXPECT_EQ(TamvikFunc::LoadUnitFile(name.c_str()) == nullptr,
              std::string(c.what) != "frames past the animation part");
    EXPECT_EQ(TamvikFunc::LoadAnmFile(name.c_str()), nullptr);
    EXPECT_TRUE(trace.Contains("pass the part's end"));
    spr().DeleteAllAnm();
    spr().DeleteAllUnit();
  }
  // A file without its unit table.
  SprFileWriter w;
  w.Add(2, ImagePart(TwoImages()));
  fx.Write("nounits.spr", w.Build());
  EXPECT_EQ(TamvikFunc::LoadUnitFile("nounits.spr"), nullptr);
  EXPECT_TRUE(trace.Contains("nounits.spr: ALL Anm Param is not Exist\n"));
  EXPECT_EQ(TamvikFunc::LoadSlgMapFile("nounits.spr"), nullptr);
  EXPECT_TRUE(trace.Contains("ALL SlgMap Param is not Exist\n"));
  EXPECT_EQ(CDdrawSpr::kEntryCount, sprites().FreeEntryCount());
}

// ---- Placement ----

struct PlaceCase {
  const char* what;
  uint32_t reverse;
  uint16_t entry_flags;
  int32_t zoom;
  bool corners;
  int32_t rotation;
  uint16_t entry_rotation;
  // Expected entry.
  int x, y, center_x, center_y;
  uint32_t mirror;
  int32_t entry_rotation_field;
};

TEST_F(TamvikSprTest, PutUnitWorkPlacesEveryEntry) {
  // Entry: box (-1, -2, 5, 6), centre x word 8 = 4, at (10, 20) in the unit; unit at (100, 200).
  const PlaceCase cases[] = {
      {"plain", 0, 0, 0x10000, false, 0, 0, 110, 220, 1, 2, 0, 0},
      {"mirror left-right", 0x10, 0, 0x10000, false, 0, 0, 90, 220, 4, 2, 0x10, 0},
      {"mirror up-down", 0x20, 0, 0x10000, false, 0, 0, 110, 180, 1, 6, 0x20, 0},
      {"own flag cancels", 0x10, 0x10, 0x10000, false, 0, 0, 90, 220, 4, 2, 0, 0},
      {"own flag alone", 0, 0x30, 0x10000, false, 0, 0, 110, 220, 1, 2, 0x30, 0},
      {"zoom 2.0", 0, 0, 0x20000, false, 0, 0, 120, 240, 1, 2, 0, 0},
      // Corners (0.5, 1.5, 1.5, 0.5): x factor (0.5 + 1.5) / 2 = 1, y (1.5 + 0.5) / 2 = 1.
      {"corners", 0, 0, 0x10000, true, 0, 0, 110, 220, 1, 2, 0, 0},
      {"entry rotation 16384", 0, 0, 0x10000, false, 0, 16384, 110, 220, 1, 2, 0, 402},
      // Rotation by 402 / 256 rad (about 90 degrees): (10, 20) -> (cos a x 10 - sin a x 20,
      // cos a x 20 + sin a x 10) = (-19.99..., 10.01...) truncated to (-19, 10).
      {"placement rotation", 0, 0, 0x10000, false, 402, 16384, 81, 210, 1, 2, 0, 804},
  };
  for (const PlaceCase& c : cases) {
    SCOPED_TRACE(c.what);
    SprUnitEntry e = BoxEntry(0, 10, 20, 7, 9);
    e.left = -1;
    e.top = -2;
    e.right = 5;
    e.bottom = 6;
    e.centre_x = 4;
    e.flags = c.entry_flags;
    e.rotation = c.entry_rotation;
    File("place.spr", {{e}});
    SprUnit* unit = TamvikFunc::LoadUnitFile("place.spr");
    ASSERT_NE(unit, nullptr);
    SpxAnimeBlock place;
    place.x = 100;
    place.y = 200;
    place.surface = SURFACE_ROOT;
    place.reverse = c.reverse;
    place.zoom_x = place.zoom_y = c.zoom;
    place.rotation = c.rotation;
    if (c.corners) place.corners = std::array<int32_t, 4>{0x8000, 0x18000, 0x18000, 0x8000};
    SprUnitHandle* handle = spr().PutUnitWork(unit, 0, place, CDdrawSpr::kBuffered);
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(handle->count, 1u);
    const SprBufferEntry* entry = handle->entries[0];
    EXPECT_EQ(entry->x, c.x);
    EXPECT_EQ(entry->y, c.y);
    EXPECT_EQ(entry->center_x, c.center_x);
    EXPECT_EQ(entry->center_y, c.center_y);
    EXPECT_EQ(entry->blt_flags != 0, c.mirror != 0);
    EXPECT_EQ(entry->zoom_x, c.zoom);
    EXPECT_EQ(entry->rotation, c.entry_rotation_field);
    EXPECT_EQ(entry->has_zoom4, c.corners);
    spr().ReleaseUnit(&handle);
    TamvikFunc::ReleaseUnitFile(unit);
  }
  EXPECT_EQ(LiveEntries(), 0);
}

TEST_F(TamvikSprTest, OffScreenUnitsAreNotPutButDrawUnitQueues) {
  File("u.spr", {{BoxEntry(0, 0, 0, 2, 2), BoxEntry(1, 2, 0, 2, 2)}});
  SprUnit* unit = TamvikFunc::LoadUnitFile("u.spr");
  ASSERT_NE(unit, nullptr);
  EXPECT_EQ(spr().PutUnit(unit, 0, 800, 0, SURFACE_ROOT, 1), nullptr);
  EXPECT_EQ(LiveEntries(), 0);
  EXPECT_EQ(spr().DrawUnit(unit, 0, 800, 0, SURFACE_ROOT, 1), 1);
  EXPECT_EQ(LiveEntries(), 2);
  EXPECT_EQ(spr().LiveHandles(), 0);  // no handle is held for one-frame entries
  // The next draw of the buffer removes them.
  fx.scene.engine().ctx().ddraw_spr.DrawBuffer(SURFACE_ROOT);
  EXPECT_EQ(LiveEntries(), 0);

  SprUnitHandle* on = spr().PutUnit(unit, 0, 700, 0, SURFACE_ROOT, 1);
  ASSERT_NE(on, nullptr);
  spr().MoveUnit(on, 5, 7);
  EXPECT_EQ(on->entries[1]->x, 707);
  EXPECT_EQ(on->entries[1]->y, 7);
  spr().ReleaseUnit(&on);
  EXPECT_EQ(on, nullptr);
  EXPECT_EQ(LiveEntries(), 0);
}

TEST_F(TamvikSprTest, BadUnitAndSpriteNumbersDrawNothing) {
  SprUnitEntry past = BoxEntry(9, 0, 0, 2, 2);  // sprite 9 of 2
  File("bad.spr", {{past, BoxEntry(0, 2, 0, 2, 2)}});
  SprUnit* unit = TamvikFunc::LoadUnitFile("bad.spr");
  ASSERT_NE(unit, nullptr);
  SprUnitHandle* handle = spr().PutUnit(unit, 0, 0, 0, SURFACE_ROOT, 1);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(handle->count, 1u);  // the entry past the table is skipped
  EXPECT_TRUE(trace.Contains("sprNo(9>=2) is too large"));
  spr().ReleaseUnit(&handle);

  EXPECT_EQ(spr().PutUnit(unit, 1, 0, 0, SURFACE_ROOT, 1), nullptr);
  EXPECT_EQ(spr().DrawUnit(unit, 5, 0, 0, SURFACE_ROOT, 1), 0);
  Rect r{1, 1, 1, 1};
  EXPECT_EQ(spr().GetUnitRect(&r, unit, 1, 0, 0), 0);
  EXPECT_EQ(r.right, 0);
  EXPECT_EQ(spr().SetUnitAlpha(unit, 1, 128), 0);
  EXPECT_TRUE(trace.Contains("unitNo(1>=1) is too large"));
  EXPECT_EQ(LiveEntries(), 0);
  EXPECT_EQ(spr().GetUnitSprID(nullptr, 0), nullptr);
}

TEST_F(TamvikSprTest, PoolsRefuseWithTheirLimitsAndGiveBackReleasedHandles) {
  std::vector<SprUnitEntry> many(299, BoxEntry(0, 0, 0, 2, 2));
  std::vector<SprUnitEntry> too_many(300, BoxEntry(0, 0, 0, 2, 2));
  File("pool.spr", {many, too_many, {BoxEntry(1, 0, 0, 2, 2)}});
  SprUnit* unit = TamvikFunc::LoadUnitFile("pool.spr");
  ASSERT_NE(unit, nullptr);
  SprUnitHandle* big = spr().PutUnit(unit, 0, 0, 0, SURFACE_ROOT, 1);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big->count, 299u);
  EXPECT_EQ(spr().PutUnit(unit, 1, 0, 0, SURFACE_ROOT, 1), nullptr);
  EXPECT_TRUE(trace.Contains("Unit Spr Num is too small!(300)\n"));
  spr().ReleaseUnit(&big);

  std::vector<SprUnitHandle*> handles;
  for (int i = 0; i < 256; ++i) {
    handles.push_back(spr().PutUnit(unit, 2, 0, 0, SURFACE_ROOT, 1));
    ASSERT_NE(handles.back(), nullptr) << i;
  }
  EXPECT_EQ(spr().PutUnit(unit, 2, 0, 0, SURFACE_ROOT, 1), nullptr);
  EXPECT_TRUE(trace.Contains("Unit Buffer is too small!(256)\n"));
  SprUnitHandle* given_back = handles[17];
  spr().ReleaseUnit(&handles[17]);
  SprUnitHandle* again = spr().PutUnit(unit, 2, 0, 0, SURFACE_ROOT, 1);
  EXPECT_EQ(again, given_back);
  // A handle released twice is refused the second time (the pool stays whole).
  SprUnitHandle* stale = given_back;
  spr().ReleaseUnit(&again);
  EXPECT_EQ(spr().ReleaseUnit(&stale), 0);
  for (SprUnitHandle*& h : handles) spr().ReleaseUnit(&h);
  EXPECT_EQ(spr().LiveHandles(), 0);
  EXPECT_EQ(LiveEntries(), 0);
}

TEST_F(TamvikSprTest, FrameQueriesAlphaAndListings) {
  // Animation 0: unit 0 (sprites 0 and 1) for 6 ticks, then unit 1 (sprite 1) for 3.
  File("q.spr", {{BoxEntry(0, 0, 0, 2, 2), BoxEntry(1, 2, 0, 2, 2)}, {BoxEntry(1, 0, 0, 2, 2)}},
       {{{0, 6}, {1, 3}}});
  SprAnm* anm = TamvikFunc::LoadAnmFile("q.spr");
  ASSERT_NE(anm, nullptr);
  EXPECT_EQ(spr().GetAnmDataNum(anm), 1u);
  EXPECT_EQ(spr().GetAnmFrameNum(anm, 0), 2u);
  EXPECT_EQ(spr().GetAnmFrameWait(anm, 0, 1), 3);
  EXPECT_EQ(spr().GetAnmFrameUnitNo(anm, 0, 1), 1);
  EXPECT_EQ(spr().GetAnmFrame(anm, 0, 2), nullptr);
  std::vector<SprRec*> frame_sprites;
  EXPECT_EQ(spr().GetAnmFrameSprites(anm, 0, 0, &frame_sprites), 2u);
  EXPECT_EQ(frame_sprites, (std::vector<SprRec*>{anm->unit->sprites[0], anm->unit->sprites[1]}));
  EXPECT_EQ(spr().GetAnmUnitSprID(anm, 2), nullptr);
  EXPECT_TRUE(trace.Contains("CTamvikSpr::GetUnitSprID: Q.SPR sprNo(2>=2) is too large\n"));

  EXPECT_EQ(spr().SetAnmAlpha(anm, 0, 100), 1);
  EXPECT_EQ(anm->unit->sprites[0]->alpha, 100u);
  EXPECT_EQ(anm->unit->sprites[1]->alpha, 100u);
  EXPECT_EQ(spr().PlayAnm(anm, 1, 0, 0, SURFACE_ROOT, 1), nullptr);
  EXPECT_TRUE(trace.Contains(" PlayAnm Q.SPR: AnmNo(1) is too large\n"));
  // Baking leaves no sprite or surface behind.
  const int surfaces = fx.LiveUserSurfaces();
  EXPECT_EQ(spr().BakeAnmAlpha(anm, 0, 128), 1);
  EXPECT_EQ(fx.LiveUserSurfaces(), surfaces);

  trace.Clear();
  spr().Enum(0);
  spr().EnumAnime(0);
  EXPECT_TRUE(trace.Contains("No  0 Ref: 1 UnitNum:  2 SprNum:2 "));
  EXPECT_TRUE(trace.Contains("Q.SPR\n"));
  EXPECT_TRUE(trace.Contains("No  0 Ref: 1 AnmDataNum:  1 Q.SPR\n"));
  EXPECT_TRUE(trace.Contains("CtamvikSpr::Enum Anime List End.\n"));
}

// An attack bakes its cards to half strength in the middle of its frames: each picture the
// animation shows is blended onto itself once (one its frames show twice is not halved twice),
// as the display's blend of a copy would leave it, and a bake made again allocates nothing.
TEST_F(TamvikSprTest, BakingBlendsEachPictureOnceAndAllocatesNothingWhenRepeated) {
  // Animation 0 shows sprite 1 in both of its frames.
  File("bake.spr", {{BoxEntry(0, 0, 0, 2, 2), BoxEntry(1, 2, 0, 2, 2)}, {BoxEntry(1, 0, 0, 2, 2)}},
       {{{0, 6}, {1, 3}}});
  SprAnm* anm = TamvikFunc::LoadAnmFile("bake.spr");
  ASSERT_NE(anm, nullptr);
  ASSERT_EQ(anm->unit->sprites.size(), 2u);
  CDdrawFunc& ddraw = fx.scene.engine().ctx().ddraw;
  constexpr int32_t kAlpha = 128;
  // The expected pictures: each sprite's picture blended once by the display from a copy.
  std::vector<SprRec*> want;
  for (SprRec* s : anm->unit->sprites) {
    SprRec* source = sprites().CopySprite(s, nullptr);
    SprRec* blended = sprites().CopySprite(s, nullptr);
    ASSERT_NE(source, nullptr);
    ASSERT_NE(blended, nullptr);
    const Rect whole{0, 0, s->width, s->height};
    ASSERT_EQ(ddraw.BltAlpha(source->surface, whole, blended->surface, whole, 1,
                             static_cast<BlendWord>(kAlpha + 0x20000)),
              1);
    EXPECT_NE(blended->surface->Row(0)[0], source->surface->Row(0)[0]);  // halved
    sprites().DeleteSprite(&source);
    want.push_back(blended);
  }
  EXPECT_EQ(spr().BakeAnmAlpha(anm, 0, kAlpha), 1);
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    const platform::Surface* got = anm->unit->sprites[i]->surface;
    const platform::Surface* expected = want[i]->surface;
    int differ = 0;
    for (int y = 0; y < got->height(); ++y) {
      for (int x = 0; x < got->width(); ++x) differ += got->Row(y)[x] != expected->Row(y)[x] ? 1 : 0;
    }
    EXPECT_EQ(differ, 0);
    sprites().DeleteSprite(&want[i]);
  }
  const uint64_t before = counting_new::ThreadAllocations();
  EXPECT_EQ(spr().BakeAnmAlpha(anm, 0, kAlpha), 1);
  EXPECT_EQ(counting_new::ThreadAllocations() - before, 0u);
  EXPECT_EQ(TamvikFunc::ReleaseAnmFile(anm), 1);
}

}  // namespace
