// The sprite buffer: draw order, priority ranges, one-frame and persistent entries, the pools,
// buffer life, deleting sprites that entries show, setters, polygon entries, mirroring, the
// compose, and the debug listings.

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "engine/files/random.h"
#include "sprite_test_support.h"
#include "testsupport/trace_capture.h"

namespace {

using platform::Surface;
using sprite_test::SpriteTest;

constexpr ColorRef kRed = 0x0000FF;
constexpr ColorRef kGreen = 0x00FF00;
constexpr ColorRef kBlue = 0xFF0000;
constexpr ColorRef kWhite = 0xFFFFFF;
constexpr const char* kKeep = CDdrawSpr::kBuffered;
constexpr SurfaceId kLayer = SURFACE_BG;

class BufferTest : public SpriteTest {
 protected:
  // A w x h sprite of one colour at home (0, 0).
  SprRec* Solid(ColorRef color, int w = 20, int h = 20) {
    const Rect corner{640 - w, 480 - h, 640, 480};
    Paint(kSource, corner, Pack(color));
    return Cut(0, 0, corner);
  }
  // Draws the layer's buffer onto a cleared target and returns the number of entries visited.
  int DrawLayer() {
    Paint(kTarget, {0, 0, 640, 480}, background);
    SprBuffer* b = spr().FindBuffer(kLayer, nullptr);
    return b != nullptr ? spr().DrawBufferList(b, 0, 0, target()) : 0;
  }
  uint16_t At(int x, int y) { return Pixel(kTarget, x, y); }
};
INSTANTIATE_FOR_BOTH_LAYOUTS(BufferTest);

// ---- Order ----

TEST_P(BufferTest, TheNewestOfAPriorityIsOnTopAndPriorityZeroInFront) {
  SprRec* red = Solid(kRed);
  SprRec* green = Solid(kGreen);
  SprRec* blue = Solid(kBlue);
  // Equal priorities at (10, 10).
  SprBufferEntry* a = spr().SetBuffer(kKeep, red, 10, 10, kLayer, 0, 7);
  SprBufferEntry* b = spr().SetBuffer(kKeep, green, 10, 10, kLayer, 0, 7);
  // Priority 0 made first at (100, 10), then the back and a middle priority over it.
  spr().SetBuffer(kKeep, blue, 100, 10, kLayer, 0, 0);
  spr().SetBuffer(kKeep, red, 100, 10, kLayer, 0, 2047);
  spr().SetBuffer(kKeep, green, 100, 10, kLayer, 0, 1);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);

  EXPECT_EQ(DrawLayer(), 5);
  EXPECT_EQ(At(15, 15), Pack(kGreen));
  EXPECT_EQ(At(105, 15), Pack(kBlue));

  // Re-prioritising to its own priority moves an entry on top of its equals.
  EXPECT_EQ(spr().SetBufferPriority(a, 7), 1);
  DrawLayer();
  EXPECT_EQ(At(15, 15), Pack(kRed));
  EXPECT_EQ(spr().SetBufferPriority(b, 8), 1);  // further back now
  DrawLayer();
  EXPECT_EQ(At(15, 15), Pack(kRed));
  EXPECT_EQ(spr().SetBufferPriority(b, 6), 1);
  DrawLayer();
  EXPECT_EQ(At(15, 15), Pack(kGreen));
}

TEST_P(BufferTest, OutOfRangePrioritiesAreTracedAndMapped) {
  struct Case {
    int given;
    int stored;
    const char* trace;  // null: nothing traced
  };
  const Case cases[] = {
      {-1, 2047, "SprBufferPriority (-1) is illegal (<0)!\n"},
      {INT_MIN, 2047, "is illegal (<0)!\n"},
      {2048, 0, "SprBufferPriority (2048) is illegal (>=2048)!\n"},
      {5000, 0, "SprBufferPriority (5000) is illegal (>=2048)!\n"},
      {0, 0, nullptr},
      {2047, 2047, nullptr},
  };
  SprRec* s = Solid(kRed);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.given);
    for (int form = 0; form < 3; ++form) {
      testsupport::TraceCapture trace;
      SprBufferEntry* e = nullptr;
      if (form == 0) {
        e = spr().SetBuffer(kKeep, s, 0, 0, kLayer, 0, c.given);
      } else if (form == 1) {
        e = spr().SetPolygonBuffer(kKeep, kLayer, c.given);
      } else {
        e = spr().SetBuffer(kKeep, s, 0, 0, kLayer, 0, 100);
        EXPECT_EQ(spr().SetBufferPriority(e, c.given), 1);
      }
      ASSERT_NE(e, nullptr);
      EXPECT_EQ(e->priority, c.stored) << "form " << form;
      if (c.trace != nullptr) {
        EXPECT_TRUE(trace.Contains(c.trace)) << "form " << form;
      } else {
        EXPECT_TRUE(trace.lines().empty()) << "form " << form;
      }
      spr().DeleteBuffer(&e);
    }
  }
  // The mapped entries take their places: -1 behind 2046, 2048 in front of 1.
  SprRec* green = Solid(kGreen);
  spr().SetBuffer(kKeep, green, 10, 10, kLayer, 0, 2046);
  spr().SetBuffer(kKeep, s, 10, 10, kLayer, 0, -1);
  spr().SetBuffer(kKeep, s, 50, 10, kLayer, 0, 1);
  spr().SetBuffer(kKeep, green, 50, 10, kLayer, 0, 2048);
  DrawLayer();
  EXPECT_EQ(At(15, 15), Pack(kGreen));
  EXPECT_EQ(At(55, 15), Pack(kGreen));
}

// ---- One-frame and persistent entries, the walk ----

TEST_P(BufferTest, OneFrameEntriesAreDrawnOnceAndTheWalkVisitsEveryEntryOnce) {
  SprRec* red = Solid(kRed, 10, 10);
  SprRec* green = Solid(kGreen, 10, 10);
  SprBufferEntry* once_back = spr().SetBuffer(nullptr, red, 0, 0, kLayer, 0, 2047);
  spr().SetBuffer(kKeep, green, 30, 0, kLayer, 0, 1000);
  SprBufferEntry* once_mid = spr().SetBuffer(nullptr, red, 60, 0, kLayer, 0, 1000);
  spr().SetBuffer(kKeep, green, 90, 0, kLayer, 0, 0);
  SprBufferEntry* once_front = spr().SetBuffer(nullptr, red, 120, 0, kLayer, 0, 0);
  SprBuffer* buffer = spr().FindBuffer(kLayer, nullptr);
  ASSERT_NE(buffer, nullptr);
  ASSERT_EQ(buffer->count, 5u);

  EXPECT_EQ(DrawLayer(), 5);
  for (int x : {0, 60, 120}) EXPECT_EQ(At(x + 5, 5), Pack(kRed)) << x;
  for (int x : {30, 90}) EXPECT_EQ(At(x + 5, 5), Pack(kGreen)) << x;
  EXPECT_EQ(buffer->count, 2u);

  EXPECT_EQ(DrawLayer(), 2);
  for (int x : {0, 60, 120}) EXPECT_EQ(At(x + 5, 5), background) << x;
  for (int x : {30, 90}) EXPECT_EQ(At(x + 5, 5), Pack(kGreen)) << x;
  EXPECT_EQ(DrawLayer(), 2);

  // The removed one-frame entries are gone: deleting them again is refused.
  EXPECT_EQ(spr().DeleteBuffer(&once_back), 0);
  EXPECT_EQ(spr().DeleteBufferChecked(&once_mid), 0);
  EXPECT_EQ(spr().DeleteBuffer(&once_front), 0);
  EXPECT_EQ(spr().FreeEntryCount(), CDdrawSpr::kEntryCount - 2);
}

// ---- Pools ----

TEST_P(BufferTest, The1025thEntryIsRefusedUntilOneIsRemoved) {
  SprRec* s = Solid(kRed, 4, 4);
  std::vector<SprBufferEntry*> all;
  for (int i = 0; i < CDdrawSpr::kEntryCount; ++i) {
    all.push_back(i % 2 == 0 ? spr().SetBuffer(kKeep, s, i % 600, i / 600, kLayer, 0, i % 2048)
                             : spr().SetPolygonBuffer(kKeep, SURFACE_BACK, i % 3));
    ASSERT_NE(all.back(), nullptr) << i;
  }
  testsupport::TraceCapture trace;
  EXPECT_EQ(spr().SetBuffer(kKeep, s, 0, 0, kLayer, 0), nullptr);
  EXPECT_EQ(spr().SetPolygonBuffer(kKeep, kLayer, 0), nullptr);
  EXPECT_EQ(spr().SetBufferSurface(kKeep, s, 0, 0, s->surface, 0), nullptr);
  EXPECT_TRUE(trace.lines().empty());
  EXPECT_EQ(spr().DeleteBuffer(&all[500]), 1);
  SprBufferEntry* again = spr().SetBuffer(kKeep, s, 0, 0, kLayer, 0);
  EXPECT_NE(again, nullptr);
  EXPECT_EQ(spr().SetBuffer(kKeep, s, 0, 0, kLayer, 0), nullptr);
  EXPECT_EQ(DrawLayer(), 512);  // the even entries stand on the layer
}

TEST_P(BufferTest, DeletingAnEntryTwiceNeverHandsOneRecordToTwoEntries) {
  SprRec* red = Solid(kRed, 10, 10);
  SprRec* green = Solid(kGreen, 10, 10);
  SprBufferEntry* e = spr().SetBuffer(kKeep, red, 0, 0, kLayer, 0, 0, CDdrawSpr::kMirrorLeftRight);
  SprBufferEntry* alias = e;
  SprBufferEntry* alias2 = e;
  const int free_entries = spr().FreeEntryCount();
  const int free_blocks = spr().FreeMirrorBlockCount();
  EXPECT_EQ(spr().DeleteBuffer(&e), 1);
  EXPECT_EQ(e, nullptr);
  EXPECT_EQ(spr().DeleteBuffer(&alias), 0);
  EXPECT_EQ(alias, nullptr);
  EXPECT_EQ(spr().DeleteBufferChecked(&alias2), 0);
  EXPECT_EQ(spr().FreeEntryCount(), free_entries + 1);
  EXPECT_EQ(spr().FreeMirrorBlockCount(), free_blocks + 1);
  EXPECT_EQ(spr().DeleteBuffer(nullptr), 0);
  SprBufferEntry* none = nullptr;
  EXPECT_EQ(spr().DeleteBuffer(&none), 0);

  SprBufferEntry* a = spr().SetBuffer(kKeep, red, 0, 0, kLayer, 0);
  SprBufferEntry* b = spr().SetBuffer(kKeep, green, 30, 0, kLayer, 0);
  EXPECT_NE(a, b);
  EXPECT_EQ(DrawLayer(), 2);
  EXPECT_EQ(At(5, 5), Pack(kRed));
  EXPECT_EQ(At(35, 5), Pack(kGreen));
  EXPECT_EQ(spr().FreeEntryCount(), free_entries - 1);
}

TEST_P(BufferTest, AnExhaustedMirrorPoolRefusesTheEntry) {
  CDdrawSpr small(ddraw(), 2);
  Paint(kSource, {0, 0, 8, 8}, Pack(kRed));
  SprRec* s = small.CreateSprite(0, 0, kSource, 0, 0, 8, 8);
  SprBufferEntry* m1 = small.SetBuffer(kKeep, s, 0, 0, kLayer, 0, 0, CDdrawSpr::kMirrorLeftRight);
  SprBufferEntry* m2 = small.SetBuffer(kKeep, s, 0, 0, kLayer, 0, 0, CDdrawSpr::kMirrorUpDown);
  ASSERT_NE(m1, nullptr);
  ASSERT_NE(m2, nullptr);
  const int free_entries = small.FreeEntryCount();
  testsupport::TraceCapture trace;
  EXPECT_EQ(small.SetBuffer(kKeep, s, 0, 0, kLayer, 0, 0, CDdrawSpr::kMirrorLeftRight), nullptr);
  EXPECT_EQ(small.SetBufferSurfaceEx(kKeep, s, 0, 0, target(), 0, 0, CDdrawSpr::kMirrorUpDown),
            nullptr);
  EXPECT_TRUE(trace.Contains("mirroring block"));
  EXPECT_EQ(small.FreeEntryCount(), free_entries);  // the refused entries went back
  EXPECT_NE(small.SetBuffer(kKeep, s, 0, 0, kLayer, 0), nullptr);  // unmirrored still fine
  EXPECT_EQ(small.DeleteBuffer(&m1), 1);
  EXPECT_NE(small.SetBuffer(kKeep, s, 0, 0, kLayer, 0, 0, CDdrawSpr::kMirrorUpDown), nullptr);
}

// A draw that meets a lost surface restores the surfaces, which runs the redraw hook; whatever
// that hook removes from the buffer, the walk goes on with the entries still there.
TEST_P(BufferTest, TheWalkSurvivesEntriesRemovedDuringADraw) {
  SprRec* lost = Solid(kRed, 10, 10);
  SprRec* green = Solid(kGreen, 10, 10);
  spr().SetBuffer(kKeep, lost, 0, 0, kLayer, 0, 5);
  SprBufferEntry* victim = spr().SetBuffer(kKeep, green, 20, 0, kLayer, 0, 5);
  spr().SetBuffer(kKeep, green, 40, 0, kLayer, 0, 0);
  lost->surface->SetLost(true);
  int hook_runs = 0;
  ddraw().hooks().redraw_text = [&] {
    ++hook_runs;
    spr().DeleteBuffer(&victim);
  };
  EXPECT_EQ(DrawLayer(), 2);
  EXPECT_GT(hook_runs, 0);
  EXPECT_EQ(victim, nullptr);
  EXPECT_EQ(At(25, 5), background);
  EXPECT_EQ(At(45, 5), Pack(kGreen));
  EXPECT_EQ(spr().FindBuffer(kLayer, nullptr)->count, 2u);
}

// ---- Buffer life ----

TEST_P(BufferTest, PointerKeyedBuffersGoWithTheirLastEntryIdKeyedOnesStay) {
  SprRec* window = Cut(200, 100, {0, 0, 64, 32});
  SprRec* piece = Solid(kGreen, 8, 8);
  Surface* own = window->surface;
  SprBufferEntry* e1 = spr().SetBufferSurface(kKeep, piece, 4, 4, own, 0);
  SprBufferEntry* e2 = spr().SetBufferSurfaceEx(kKeep, piece, 20, 4, own, 0, 3, 0);
  ASSERT_NE(e1, nullptr);
  EXPECT_EQ(e1->surface_id, 0);
  EXPECT_EQ(e1->surface, own);
  ASSERT_NE(spr().FindBuffer(0, own), nullptr);
  EXPECT_EQ(spr().FindBuffer(0, own)->count, 2u);

  // Drawn onto the back buffer at the window sprite's drawing rectangle.
  Paint(SURFACE_BACK, {0, 0, 640, 480}, background);
  EXPECT_EQ(spr().DrawSpriteBuffer(window), 1);
  EXPECT_EQ(Pixel(SURFACE_BACK, 205, 105), Pack(kGreen));
  EXPECT_EQ(Pixel(SURFACE_BACK, 221, 105), Pack(kGreen));
  EXPECT_EQ(Pixel(SURFACE_BACK, 215, 105), background);

  EXPECT_EQ(spr().DeleteBuffer(&e1), 1);
  EXPECT_NE(spr().FindBuffer(0, own), nullptr);
  EXPECT_EQ(spr().DeleteBuffer(&e2), 1);
  EXPECT_EQ(spr().FindBuffer(0, own), nullptr);
  EXPECT_EQ(spr().DrawSpriteBuffer(window), 1);  // no buffer: nothing to draw
  EXPECT_EQ(spr().DrawSpriteBuffer(nullptr), 0);

  // A one-frame entry's draw frees the buffer after the walk.
  spr().SetBufferSurface(nullptr, piece, 0, 0, own, 0);
  EXPECT_EQ(spr().DrawSpriteBuffer(window), 1);
  EXPECT_EQ(spr().FindBuffer(0, own), nullptr);

  // A numbered surface given by pointer uses its id's buffer, which stays when empty.
  SprBufferEntry* by_id = spr().SetBuffer(kKeep, piece, 0, 0, SURFACE_FC, 0);
  SprBufferEntry* by_pointer =
      spr().SetBufferSurface(kKeep, piece, 0, 0, ddraw().GetSurface(SURFACE_FC), 0);
  ASSERT_NE(by_pointer, nullptr);
  EXPECT_EQ(by_pointer->surface_id, SURFACE_FC);
  EXPECT_EQ(spr().FindBuffer(SURFACE_FC, nullptr)->count, 2u);
  spr().DeleteBuffer(&by_id);
  spr().DeleteBuffer(&by_pointer);
  ASSERT_NE(spr().FindBuffer(SURFACE_FC, nullptr), nullptr);
  EXPECT_EQ(spr().FindBuffer(SURFACE_FC, nullptr)->count, 0u);
  spr().DeleteAllBuffer();
  EXPECT_EQ(spr().FindBuffer(SURFACE_FC, nullptr), nullptr);
  EXPECT_EQ(spr().FreeEntryCount(), CDdrawSpr::kEntryCount);

  EXPECT_EQ(spr().SetBufferSurface(kKeep, piece, 0, 0, nullptr, 0), nullptr);
  EXPECT_EQ(spr().SetBuffer(kKeep, nullptr, 0, 0, kLayer, 0), nullptr);
}

// Entries that show a deleted sprite, or stand on its surface, are removed with it (the
// sanitizer build catches any draw of a freed picture).
TEST_P(BufferTest, DeletingASpriteRemovesTheEntriesThatStillShowIt) {
  SprRec* s = Solid(kRed, 10, 10);
  SprRec* other = Solid(kGreen, 10, 10);
  SprRec* window = Cut(300, 300, {0, 0, 40, 40});
  SprBufferEntry* on_layer = spr().SetBuffer(kKeep, s, 0, 0, kLayer, 0, 5);
  SprBufferEntry* one_frame = spr().SetBuffer(nullptr, s, 0, 0, SURFACE_BACK, 0);
  SprBufferEntry* mirrored = spr().SetBuffer(kKeep, s, 20, 0, kLayer, 0, 5, CDdrawSpr::kMirrorUpDown);
  SprBufferEntry* piece = spr().SetBufferSurface(kKeep, s, 0, 0, window->surface, 0);
  SprBufferEntry* on_its_surface = spr().SetBufferSurface(kKeep, other, 0, 0, s->surface, 0);
  SprBufferEntry* survivor = spr().SetBuffer(kKeep, other, 40, 0, kLayer, 0, 5);
  const Surface* freed_surface = s->surface;
  const int free_entries = spr().FreeEntryCount();
  const int free_blocks = spr().FreeMirrorBlockCount();

  testsupport::TraceCapture trace;
  EXPECT_EQ(spr().DeleteSprite(&s), 1);
  EXPECT_TRUE(trace.Contains("removed 5 sprite-buffer entries"));
  EXPECT_EQ(spr().FreeEntryCount(), free_entries + 5);
  EXPECT_EQ(spr().FreeMirrorBlockCount(), free_blocks + 1);
  EXPECT_EQ(spr().FindBuffer(0, freed_surface), nullptr);
  EXPECT_EQ(spr().FindBuffer(0, window->surface), nullptr);
  EXPECT_EQ(spr().FindBuffer(kLayer, nullptr)->count, 1u);
  // The holders' handles are stale and harmless.
  EXPECT_EQ(spr().SetBufferPos(on_layer, 1, 1), 0);
  EXPECT_EQ(spr().SetBufferPriority(one_frame, 3), 0);
  EXPECT_EQ(spr().DeleteBuffer(&mirrored), 0);
  EXPECT_EQ(spr().DeleteBufferChecked(&piece), 0);
  EXPECT_EQ(spr().DeleteBuffer(&on_its_surface), 0);

  EXPECT_EQ(DrawLayer(), 1);
  EXPECT_EQ(At(45, 5), Pack(kGreen));
  EXPECT_EQ(At(5, 5), background);
  ddraw().SetUpdate(SURFACE_ALL_LAYERS, 1);
  EXPECT_EQ(ddraw().ShowWindow(), 1);
  EXPECT_EQ(spr().DrawSpriteBuffer(window), 1);
  EXPECT_EQ(spr().DeleteBuffer(&survivor), 1);
}

TEST_P(BufferTest, ReleasingTheDisplayDeletesEverySprite) {
  SprRec* s = Solid(kRed, 10, 10);
  SprBufferEntry* e = spr().SetBuffer(kKeep, s, 0, 0, kLayer, 0);
  ASSERT_NE(e, nullptr);
  ddraw().ReleaseDirectDraw();
  EXPECT_EQ(spr().IsSprite(s), 0);
  EXPECT_EQ(spr().DeleteBuffer(&e), 0);
  EXPECT_EQ(spr().FreeEntryCount(), CDdrawSpr::kEntryCount);
}

// ---- Setters ----

TEST_P(BufferTest, SettersChangeOnlyFieldsOfTheirOwnEntryType) {
  SprRec* s = Solid(kRed);
  SprBufferEntry* e = spr().SetBuffer(kKeep, s, 5, 6, kLayer, 1, 9);
  SprBufferEntry* p = spr().SetPolygonBuffer(kKeep, kLayer, 9);
  ASSERT_NE(e, nullptr);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(e->type, kSprEntrySprite);
  EXPECT_EQ(e->zoom_x, 0x10000);
  EXPECT_EQ(e->alpha, 256u);
  EXPECT_EQ(e->color_key, 1u);
  EXPECT_EQ(p->type, kSprEntryPolygon);
  EXPECT_EQ(p->polygon.zoom_x, 0x10000);
  EXPECT_EQ(p->polygon.color, 0u);

  int x = 0;
  int y = 0;
  EXPECT_EQ(spr().GetBufferPos(e, &x, &y), 1);
  EXPECT_EQ(x, 5);
  EXPECT_EQ(y, 6);
  EXPECT_EQ(spr().SetBufferPosPt(e, {7, 8}), 1);
  EXPECT_EQ(e->x, 7);
  EXPECT_EQ(spr().SetBufferPos(p, 70, 80), 1);
  EXPECT_EQ(p->polygon.x, 70);
  EXPECT_EQ(p->polygon.y, 80);
  EXPECT_EQ(spr().GetBufferPos(p, &x, &y), 0);
  EXPECT_EQ(spr().SetBufferZoom(e, -5, 0x20000), 1);
  EXPECT_EQ(e->zoom_x, 0);
  EXPECT_EQ(e->zoom_y, 0x20000);
  EXPECT_EQ(spr().SetBufferZoom(p, 0x8000, -1), 1);
  EXPECT_EQ(p->polygon.zoom_x, 0x8000);
  EXPECT_EQ(p->polygon.zoom_y, 0);

  const int32_t words[4] = {1, 2, 3, 4};
  struct Refused {
    const char* name;
    int result;
  };
  const Refused refused[] = {
      {"centre on a polygon", spr().SetBufferCenter(p, 1, 1)},
      {"rotation on a polygon", spr().SetBufferRotZ(p, 1)},
      {"zoom4 on a polygon", spr().SetBufferZoom4(p, words)},
      {"alpha on a polygon", spr().SetBufferAlpha(p, 1)},
      {"point on a sprite", spr().SetPolygonPoint(e, 0, {1, 1})},
      {"word on a sprite", spr().SetPolygonWord(e, 0, 1)},
      {"colour on a sprite", spr().SetPolygonColor(e, kRed)},
      {"distance on a sprite", spr().SetPolygonDistance(e, 1)},
      {"corner 4", spr().SetPolygonPoint(p, 4, {1, 1})},
      {"corner -1", spr().SetPolygonPoint(p, -1, {1, 1})},
      {"word 3", spr().SetPolygonWord(p, 3, 1)},
      {"null entry", spr().SetBufferPos(nullptr, 1, 1)},
      {"null words", spr().SetBufferZoom4(e, nullptr)},
  };
  for (const Refused& r : refused) EXPECT_EQ(r.result, 0) << r.name;
  EXPECT_EQ(e->rotation, 0);
  EXPECT_FALSE(e->has_zoom4);
  EXPECT_EQ(p->polygon.corner[0].x, 0);
  EXPECT_EQ(p->polygon.angle3, 0);

  EXPECT_EQ(spr().SetBufferCenter(e, 3, 4), 1);
  EXPECT_EQ(spr().SetBufferRotZ(e, 804), 1);
  EXPECT_EQ(spr().SetBufferZoom4(e, words), 1);
  EXPECT_EQ(spr().SetBufferAlpha(e, 0x10080), 1);
  EXPECT_EQ(e->center_x, 3);
  EXPECT_EQ(e->rotation, 804);
  EXPECT_TRUE(e->has_zoom4);
  EXPECT_EQ(e->zoom4[3], 4);
  EXPECT_EQ(e->alpha, 0x10080u);
  EXPECT_EQ(spr().SetPolygonPoint(p, 3, {-5, 9}), 1);
  EXPECT_EQ(spr().SetPolygonWord(p, 0, 11), 1);
  EXPECT_EQ(spr().SetPolygonWord(p, 1, 22), 1);
  EXPECT_EQ(spr().SetPolygonWord(p, 2, 33), 1);
  EXPECT_EQ(spr().SetPolygonColor(p, kBlue), 1);
  EXPECT_EQ(spr().SetPolygonDistance(p, 500), 1);
  EXPECT_EQ(p->polygon.corner[3].x, -5);
  EXPECT_EQ(p->polygon.corner[3].y, 9);
  EXPECT_EQ(p->polygon.angle1, 11);
  EXPECT_EQ(p->polygon.angle2, 22);
  EXPECT_EQ(p->polygon.angle3, 33);
  EXPECT_EQ(p->polygon.color, Pack(kBlue));
  EXPECT_EQ(p->polygon.distance, 500);
}

// ---- Drawing entries ----

TEST_P(BufferTest, MirrorFlagsTakeABlockAndMirrorTheDraw) {
  SprRec* s = Cut(0, 0, {0, 0, 12, 8});
  SprBufferEntry* both = spr().SetBuffer(kKeep, s, 10, 10, kLayer, 0, 0,
                                         CDdrawSpr::kMirrorLeftRight | CDdrawSpr::kMirrorUpDown | 0x40);
  SprBufferEntry* other_bits = spr().SetBuffer(kKeep, s, 40, 10, kLayer, 0, 0, 0x40 | 0x1);
  ASSERT_NE(both, nullptr);
  ASSERT_NE(both->mirror, nullptr);
  EXPECT_EQ(both->blt_flags, kBltDdFx);
  EXPECT_EQ(both->mirror->size, 100u);
  EXPECT_EQ(both->mirror->ddfx, kBltFxMirrorLeftRight | kBltFxMirrorUpDown);
  EXPECT_EQ(other_bits->mirror, nullptr);
  EXPECT_EQ(other_bits->blt_flags, 0u);

  testpix::Picture want = Grab(target());
  DrawOpaque(want, {10, 10, 22, 18}, Stretched(0, 0, 12, 8, 12, 8, true, true), 0);
  DrawOpaque(want, {40, 10, 52, 18}, Stretched(0, 0, 12, 8, 12, 8), 0);
  EXPECT_EQ(DrawLayer(), 2);
  ExpectPicture(target(), want);
}

// Entry fields reach the draw: position, zoom about the centre, alpha and the layer's screen
// position (DrawBuffer draws onto the back buffer).
TEST_P(BufferTest, EntriesDrawWithTheirFieldsAtTheLayersScreenPosition) {
  SprRec* s = Cut(0, 0, {0, 0, 10, 8});
  SprBufferEntry* e = spr().SetBuffer(kKeep, s, 50, 40, kLayer, 0);
  SprBufferEntry* t = spr().SetBuffer(kKeep, s, 200, 40, kLayer, 0);
  spr().SetBufferZoom(e, 0x20000, 0x20000);
  spr().SetBufferCenter(e, 5, 4);
  spr().SetBufferAlpha(t, 100);
  ASSERT_EQ(ddraw().SetLayerView(kLayer, 30, 20, 640, 480), 1);
  Paint(SURFACE_BACK, {0, 0, 640, 480}, background);
  testpix::Picture want = Grab(ddraw().GetSurface(SURFACE_BACK));
  DrawOpaque(want, {30 + 50 - 10, 20 + 40 - 8, 30 + 50 + 10, 20 + 40 + 8},
             Stretched(0, 0, 10, 8, 20, 16), 0);
  DrawBlend(want, {230, 60, 240, 68}, Stretched(0, 0, 10, 8, 10, 8), 0, 100);
  EXPECT_EQ(spr().DrawBuffer(kLayer), 1);
  ExpectPicture(ddraw().GetSurface(SURFACE_BACK), want);

  EXPECT_EQ(spr().DrawBuffer(SURFACE_FC), 1);  // no buffer yet
  EXPECT_EQ(spr().DrawBuffer(99), 0);          // no surface
  EXPECT_EQ(spr().DrawBufferAt(kLayer, nullptr), 0);
}

TEST_P(BufferTest, PolygonEntriesAreDrawnThroughTheDisplaysPolygonDraw) {
  SprRec* s = Solid(kRed, 60, 60);
  spr().SetBuffer(kKeep, s, 100, 100, kLayer, 0, 1);
  SprBufferEntry* p = spr().SetPolygonBuffer(kKeep, kLayer, 0);
  ASSERT_NE(p, nullptr);
  spr().SetBufferPos(p, 110, 105);
  spr().SetPolygonPoint(p, 0, {0, 0});
  spr().SetPolygonPoint(p, 1, {40, 0});
  spr().SetPolygonPoint(p, 2, {40, 30});
  spr().SetPolygonPoint(p, 3, {0, 30});
  spr().SetPolygonWord(p, 2, 100);
  spr().SetBufferZoom(p, 0x18000, 0x10000);
  spr().SetPolygonColor(p, kWhite);

  Surface* reference = ddraw().GetSurface(SURFACE_FC);
  Paint(SURFACE_FC, {0, 0, 640, 480}, background);
  spr().PutSpriteEx(s, 100, 100, reference, 0, 0, nullptr, 0x10000, 0x10000, 0, nullptr, 0, 0, 256);
  ASSERT_EQ(ddraw().DrawPolygon(reference, &p->polygon), 1);
  EXPECT_EQ(DrawLayer(), 2);
  ExpectPicture(target(), Grab(reference));
  EXPECT_EQ(At(112, 108), Pack(kWhite));  // the polygon in front of the sprite
}

// ---- The compose ----

class ComposeSpriteTest : public BufferTest {
 protected:
  void SetUp() override {
    BufferTest::SetUp();
    ASSERT_EQ(ddraw().ShowWindow(), 1);
  }
  void Compose() {
    ddraw().SetUpdate(SURFACE_ALL_LAYERS, 1);
    ASSERT_EQ(ddraw().ShowWindow(), 1);
  }
  uint16_t Shown(int x, int y) const { return engine.host.display.FramePixel(x, y); }
};
INSTANTIATE_FOR_BOTH_LAYOUTS(ComposeSpriteTest);

TEST_P(ComposeSpriteTest, SpritesShowInTheComposedFrame) {
  SprRec* red = Solid(kRed);
  SprRec* green = Solid(kGreen);
  SprRec* blue = Solid(kBlue);
  SprRec* white = Solid(kWhite);
  // A layer's entries are drawn after its picture and under the layers above.
  spr().SetBuffer(kKeep, red, 10, 10, SURFACE_BG, 0);
  Paint(SURFACE_TEXT, {200, 200, 260, 260}, Pack(kWhite));
  spr().SetBuffer(kKeep, green, 210, 210, SURFACE_FC, 0);
  // The back buffer's entries come after every layer.
  spr().SetBuffer(kKeep, blue, 20, 20, SURFACE_BACK, 0);
  spr().SetBuffer(kKeep, blue, 230, 230, SURFACE_BACK, 0);
  // A layer shown at another screen position takes its entries with it.
  ASSERT_EQ(ddraw().SetLayerView(SURFACE_FG, 100, 50, 640, 480), 1);
  spr().SetBuffer(kKeep, green, 0, 0, SURFACE_FG, 0);
  // A one-frame entry.
  spr().SetBuffer(nullptr, white, 400, 10, SURFACE_BG, 0);

  Compose();
  EXPECT_EQ(Shown(12, 12), Pack(kRed));
  EXPECT_EQ(Shown(25, 25), Pack(kBlue));
  EXPECT_EQ(Shown(215, 215), Pack(kWhite));  // layer 8 covers layer 7's entry
  EXPECT_EQ(Shown(235, 235), Pack(kBlue));
  EXPECT_EQ(Shown(105, 55), Pack(kGreen));
  EXPECT_EQ(Shown(405, 15), Pack(kWhite));
  if (const char* path = std::getenv("TAMVIK_SPRITE_FRAME_PNG")) {
    display().SaveFramePng(path);
  }

  Compose();
  EXPECT_EQ(Shown(12, 12), Pack(kRed));
  EXPECT_EQ(Shown(105, 55), Pack(kGreen));
  EXPECT_NE(Shown(405, 15), Pack(kWhite));
}

// ---- Debug listings ----

TEST_P(BufferTest, ListingsOnlyTrace) {
  SprRec* s = Solid(kRed, 16, 8);
  spr().CreateSprite(0, 0, kSource, 0, 0, 64, 64, 1);
  SprBufferEntry* e = spr().SetBuffer(kKeep, s, 3, 4, kLayer, 0, 5, CDdrawSpr::kMirrorLeftRight);
  spr().SetBufferZoom(e, 0x20000, 0x8000);
  spr().SetBufferAlpha(e, 0x80);
  spr().SetBufferZoom4(e, std::array<int32_t, 4>{1, 1, 1, 1}.data());
  SprBufferEntry* p = spr().SetPolygonBuffer(kKeep, kLayer, 2);
  spr().SetBufferSurface(kKeep, s, 0, 0, s->surface, 0);
  const int free_entries = spr().FreeEntryCount();

  testsupport::TraceCapture trace;
  spr().EnumSpriteList(0);
  spr().EnumSpriteBuffer(0);
  for (const char* text :
       {"CDdrawSpr::Enum Sprite List\n", "\tNo:000 X:000 Y:000 ", "W:  64 H:  64 A:256 ", "=VRAM   \n",
        "=SYSTEM \n", "CDdrawSpr::Use Surface Memory: (V:1, ", "CDdrawSpr::Enum Sprite List End.\n",
        "CDdrawSpr::Enum Sprite Buffer\n", "  Surface:05\n", "  lpDDS:", " Spr:(W:  16,H:   8)",
        " XY(   3,   4)", " A:00080h", " Zoom(2.0,0.5)", " Now Zoom4", " Poly:",
        "CDdrawSpr::Enum Sprite Buffer End.\n"}) {
    EXPECT_TRUE(trace.Contains(text)) << text;
  }
  EXPECT_EQ(spr().FreeEntryCount(), free_entries);
  EXPECT_EQ(p->priority, 2);
  trace.Clear();
  spr().EnumSpriteList(100);  // past the end: header and totals only
  EXPECT_FALSE(trace.Contains("\tNo:"));
  EXPECT_TRUE(trace.Contains("CDdrawSpr::Enum Sprite List End.\n"));
}

// ---- The drawing order kept between walks ----

// One-pixel sprites of 32 distinct pixels drawn into 16 one-pixel cells of row 0: the cells
// show which entry of each was drawn last, so any change of the drawing order shows.
class OrderTest : public BufferTest {
 protected:
  static constexpr int kColours = 32;
  static constexpr int kCells = 16;

  void SetUp() override {
    BufferTest::SetUp();
    if (HasFatalFailure()) return;
    for (int x = 0; x < kColours; ++x) colours.push_back(Cut(0, 0, {x, 0, x + 1, 1}));
  }

  SprBufferEntry* Add(const char* name, int colour, int cell, int priority) {
    return spr().SetBuffer(name, colours[static_cast<size_t>(colour)], cell, 0, kLayer, 0,
                           priority);
  }

  // Row 0's cells after a walk in the lists' order, and the number of entries in the lists.
  std::vector<uint16_t> ByTheLists(int* entries) {
    std::vector<uint16_t> cells(kCells, background);
    *entries = 0;
    const SprBuffer* b = spr().FindBuffer(kLayer, nullptr);
    for (int p = SprBuffer::kPriorityCount - 1; b != nullptr && p >= 0; --p) {
      const auto i = static_cast<size_t>(p);
      for (const SprLink* n = b->head[i].next; n != &b->tail[i]; n = n->next) {
        const auto* e = static_cast<const SprBufferEntry*>(n);
        cells[static_cast<size_t>(e->x)] = e->sprite->surface->Row(0)[0];
        ++*entries;
      }
    }
    return cells;
  }

  std::vector<uint16_t> Cells() {
    std::vector<uint16_t> cells;
    for (int x = 0; x < kCells; ++x) cells.push_back(At(x, 0));
    return cells;
  }

  std::vector<SprRec*> colours;
};
INSTANTIATE_FOR_BOTH_LAYOUTS(OrderTest);

// Rounds of random changes between walks (entries added in and out of drawing order, one-frame
// and kept, deleted, moved to another priority, quiet rounds): every walk draws what a walk of
// the lists draws, whether it reads the kept order or lays it out again.
TEST_P(OrderTest, EveryWalkDrawsInTheListsOrderWhateverChangedBefore) {
  GameRandom rng;
  rng.Seed(174);
  std::vector<SprBufferEntry*> kept;
  int by_kept_order = 0;
  int by_lists = 0;
  for (int round = 0; round < 400; ++round) {
    const int style = rng.Next() % 4;  // 0: quiet, 1: adds in drawing order, 2-3: any change
    if (style != 0) {
      int priority = rng.Next() % 8;
      for (int n = rng.Next() % 6; n > 0; --n) {
        if (style == 1) {
          priority = std::max(priority - rng.Next() % 2, 0);
        } else {
          const int pick = rng.Next() % 10;
          priority = pick == 0 ? 2047 : pick == 1 ? 1000 : rng.Next() % 8;
        }
        const bool once = rng.Next() % 3 == 0;
        SprBufferEntry* e = Add(once ? nullptr : kKeep, rng.Next() % kColours,
                                rng.Next() % kCells, priority);
        ASSERT_NE(e, nullptr);
        if (!once) kept.push_back(e);
      }
    }
    if (style >= 2 && !kept.empty()) {
      const auto victim = static_cast<size_t>(rng.Next()) % kept.size();
      if (rng.Next() % 2 == 0) {
        EXPECT_EQ(spr().DeleteBuffer(&kept[victim]), 1);
        kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(victim));
      } else {
        EXPECT_EQ(spr().SetBufferPriority(kept[victim], rng.Next() % 8), 1);
      }
    }
    const SprBuffer* b = spr().FindBuffer(kLayer, nullptr);
    if (b == nullptr) continue;
    (b->order_valid ? by_kept_order : by_lists) += 1;
    int entries = 0;
    const std::vector<uint16_t> want = ByTheLists(&entries);
    ASSERT_EQ(DrawLayer(), entries) << "round " << round;
    ASSERT_EQ(Cells(), want) << "round " << round;
    ASSERT_EQ(b->count, kept.size()) << "round " << round;
  }
  // Both ways of walking were taken many times.
  EXPECT_GT(by_kept_order, 50);
  EXPECT_GT(by_lists, 50);
}

// A draw may change the buffer under the walk (a lost surface restored during the draw runs the
// redraw hook). A walk over the kept order then goes on by the lists from where it stands: it
// draws, visits and leaves exactly what a walk by the lists does from the start.
TEST_P(OrderTest, ChangesUnderADrawLeaveWhatAWalkByTheListsLeaves) {
  // Before the hook: kept entries a..e and one-frame f, in drawing order
  // a (7), b (5), c (5, lost: its draw runs the hook), f (5, one-frame), d (3), e (0).
  struct Scene {
    SprBufferEntry* a;
    SprBufferEntry* b;
    SprBufferEntry* c;
    SprBufferEntry* d;
    SprBufferEntry* e;
    SprRec* lost;
  };
  using Change = std::function<void(Scene&)>;
  struct Case {
    const char* name;
    Change change;
    bool once = false;  // c, whose draw runs the hook, is a one-frame entry
  };
  const Case cases[] = {
      {"delete the next", [this](Scene& s) { spr().DeleteBuffer(&s.d); }},
      {"delete one drawn", [this](Scene& s) { spr().DeleteBuffer(&s.a); }},
      {"add behind", [this](Scene&) { Add(kKeep, 9, 4, 9); }},
      {"add at its priority", [this](Scene&) { Add(kKeep, 9, 2, 5); }},
      {"add in front", [this](Scene&) { Add(kKeep, 9, 3, 1); }},
      {"add a one-frame entry in front", [this](Scene&) { Add(nullptr, 9, 3, 1); }},
      {"move the next to the back",
       [this](Scene& s) { spr().SetBufferPriority(s.d, 2000); }},
      {"move the drawn one to the front",
       [this](Scene& s) { spr().SetBufferPriority(s.c, 0); }},
      {"move one drawn in front",
       [this](Scene& s) { spr().SetBufferPriority(s.a, 2); }},
      {"walk the buffer again",
       [this](Scene&) {
         SprBuffer* b = spr().FindBuffer(kLayer, nullptr);
         spr().DrawBufferList(b, 0, 0, target());
       }},
      {"delete the drawn entry", [this](Scene& s) { spr().DeleteBuffer(&s.c); }},
      {"delete the drawn one-frame entry", [this](Scene& s) { spr().DeleteBuffer(&s.c); }, true},
  };
  for (const Case& c : cases) {
    int kept_visited = 0;
    std::vector<uint16_t> kept_cells;
    uint32_t kept_left = 0;
    for (const bool kept_order : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (kept_order ? ", kept order" : ", by the lists"));
      spr().DeleteAllBuffer();
      // The lost sprite stands alone at cell 1 (one pixel of its own colour).
      SprRec* lost = Cut(0, 0, {20, 0, 21, 1});
      ASSERT_NE(lost, nullptr);
      Scene s{Add(kKeep, 0, 0, 7), Add(kKeep, 1, 1, 5), nullptr, nullptr, nullptr, lost};
      s.c = spr().SetBuffer(c.once ? nullptr : kKeep, lost, 1, 0, kLayer, 0, 5);
      Add(nullptr, 2, 2, 5);
      s.d = Add(kKeep, 3, 3, 3);
      s.e = Add(kKeep, 4, 4, 0);
      SprBuffer* buffer = spr().FindBuffer(kLayer, nullptr);
      ASSERT_NE(buffer, nullptr);
      ASSERT_TRUE(buffer->order_valid);  // every entry was added behind the last one
      if (!kept_order) buffer->order_valid = false;
      lost->surface->SetLost(true);
      int runs = 0;
      ddraw().hooks().redraw_text = [&] {
        if (runs++ == 0) c.change(s);
      };
      const int visited = DrawLayer();
      ddraw().hooks().redraw_text = nullptr;
      EXPECT_GT(runs, 0);
      // (A sprite's own surface stays lost: it draws nothing until found again.)
      if (s.lost != nullptr) s.lost->surface->SetLost(false);
      const std::vector<uint16_t> cells = Cells();
      const uint32_t left = buffer->count;
      // The next walk (over unchanged lists) draws what the lists hold.
      int entries = 0;
      const std::vector<uint16_t> want_next = ByTheLists(&entries);
      EXPECT_EQ(DrawLayer(), entries);
      EXPECT_EQ(Cells(), want_next);
      if (kept_order) {
        kept_visited = visited;
        kept_cells = cells;
        kept_left = left;
      } else {
        EXPECT_EQ(visited, kept_visited);
        EXPECT_EQ(cells, kept_cells);
        EXPECT_EQ(left, kept_left);
      }
      if (s.lost != nullptr) spr().DeleteSprite(&s.lost);
    }
  }
}

}  // namespace
