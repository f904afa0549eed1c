// The drawing layer on the rig: polygons and sprite-file animations placed by battle positions
// in captured frames (both layouts), the animation wrappers' conversions and switches, the
// effect-task spawners, input rows and a run-twice check.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_spawn.h"
#include "engine/anime/anime.h"
#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "engine/app/doors.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/input/dinput.h"
#include "platform/surface.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/battle_rig.h"
#include "testsupport/spr_writer.h"

namespace {

using platform::PixelLayout;
using testsupport::BattleRig;

enum Animation : uint32_t {
  kLooping,  // red, waits 6, 6
  kShort,    // red, one frame of 2
  kGreen,    // green, waits 6
};

// A 4 x 4 red unit (unit 0) and a 4 x 4 green one (unit 1).
std::vector<uint8_t> EffectFile() {
  using namespace testsupport;
  return AnimationFile({{0, 0, 0}, {31, 0, 0}, {0, 31, 0}},
                       {{4, 4, kSprDepth8, 0, std::vector<uint8_t>(16, 1)},
                        {4, 4, kSprDepth8, 0, std::vector<uint8_t>(16, 2)}},
                       {{BoxEntry(0, 0, 0, 4, 4)}, {BoxEntry(1, 0, 0, 4, 4)}},
                       {{{0, 6}, {0, 6}}, {{0, 2}}, {{1, 6}}});
}

SlgPair At(int px, int py) { return {(px - 320) * 65536, (py - 240) * 65536}; }

class DrawRig {
 public:
  explicit DrawRig(PixelLayout layout = PixelLayout::kRgb565) : rig(Options(layout)) {
    rig.WriteFile("fx.spr", EffectFile());
    anm = TamvikFunc::LoadAnmFile("fx.spr");
    // The battle's screen: layer 4 shown opaque and cleared black, the others hidden.
    for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
    SlgSetLayer(SURFACE_ROOT, 1);
    SlgClearLayer(SURFACE_ROOT);
  }
  ~DrawRig() { TamvikFunc::ReleaseAnmFile(anm); }

  static BattleRig::Options Options(PixelLayout layout) {
    BattleRig::Options o;
    o.layout = layout;
    return o;
  }
  SpxAnimeKind& spx() { return *Scene().tamvik_spr.spx(); }
  SpxAnimeBlock* Block(AnimeHandle h) { return spx().Block(h); }
  // A colour as the frame shows it in the rig's layout.
  uint32_t Shown(ColorRef c) {
    const PixelLayout layout = rig.driver().host().display.layout();
    return platform::UnpackToColorRef(platform::PackColorRef(c, layout), layout);
  }

  BattleRig rig;
  SprAnm* anm = nullptr;
};

class SlgFrameTest : public ::testing::TestWithParam<PixelLayout> {};

// A polygon and an animation placed by battle positions show at their pixels.
TEST_P(SlgFrameTest, PolygonAndAnimationAtTheirBattlePositions) {
  DrawRig d(GetParam());
  ASSERT_NE(d.anm, nullptr);
  SlgPoly poly;
  const SlgPair origin = At(200, 150);
  poly.x = origin.x;
  poly.y = origin.y;
  poly.colour = 0x03E0;  // green
  poly.depth = 0;
  poly.corners[0] = {0, 0};
  poly.corners[1] = {20, 0};
  poly.corners[2] = {20, 10};
  poly.corners[3] = {0, 10};
  ASSERT_NE(SlgPolyCreate(CDdrawSpr::kBuffered, &poly, SURFACE_ROOT), nullptr);
  EXPECT_EQ(poly.surface, SURFACE_ROOT);
  EXPECT_EQ(poly.entry->priority, 1536);

  SlgAnmObj obj{};
  const SlgPair at = At(420, 290);
  obj.x = at.x;
  obj.y = at.y;
  obj.depth = -100;
  ASSERT_NE(SlgPlayAnm(d.anm, kLooping, &obj, SURFACE_ROOT), nullptr);

  // A unit drawn at once for this frame, in blue-free green, scaled 2x.
  SlgPutUnitSprEx(d.anm, 1, 0, At(100, 400), SURFACE_ROOT, 1, SlgPair{0x20000, 0x20000});

  const int before = d.rig.driver().presented();
  ASSERT_TRUE(d.rig.RunUntil("a frame presented",
                             [&] { return d.rig.driver().presented() > before; }, 5));
  d.rig.SaveFrame(std::string("battle_positions_") +
                  (GetParam() == PixelLayout::kRgb565 ? "565" : "555"));
  const uint32_t black = d.Shown(0), red = d.Shown(0x0000FF), green = d.Shown(0x00FF00);
  EXPECT_EQ(d.rig.PixelAt(205, 155), green);
  EXPECT_EQ(d.rig.PixelAt(200 + 18, 150 + 8), green);
  EXPECT_EQ(d.rig.PixelAt(199, 155), black);
  EXPECT_EQ(d.rig.PixelAt(205, 149), black);
  EXPECT_EQ(d.rig.PixelAt(420, 290), red);
  EXPECT_EQ(d.rig.PixelAt(423, 293), red);
  EXPECT_EQ(d.rig.PixelAt(424, 290), black);
  EXPECT_EQ(d.rig.PixelAt(419, 290), black);
  EXPECT_NE(d.rig.PixelAt(102, 402), black);  // the immediate unit, drawn for that frame

  // Moving the animation by a battle position moves it on screen; freeing the polygon clears it.
  SlgSprSetPos(obj.handle, At(500, 100));
  SlgPolyFree(&poly);
  EXPECT_EQ(poly.entry, nullptr);
  const int shown = d.rig.driver().presented();
  ASSERT_TRUE(d.rig.RunUntil("the next frame",
                             [&] { return d.rig.driver().presented() > shown; }, 5));
  EXPECT_EQ(d.rig.PixelAt(205, 155), black);
  EXPECT_EQ(d.rig.PixelAt(420, 290), black);
  EXPECT_EQ(d.rig.PixelAt(501, 101), red);
  EXPECT_EQ(d.rig.PixelAt(102, 402), black);  // one frame only
  Scene().tamvik_spr.ReleaseAnm(&obj.handle);
}

INSTANTIATE_TEST_SUITE_P(Layouts, SlgFrameTest,
                         ::testing::Values(PixelLayout::kRgb565, PixelLayout::kRgb555),
                         [](const ::testing::TestParamInfo<PixelLayout>& info) {
                           return info.param == PixelLayout::kRgb565 ? "Rgb565" : "Rgb555";
                         });

class SlgDrawTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(d.anm, nullptr); }
  DrawRig d;
};

TEST_F(SlgDrawTest, PolygonWords) {
  SlgPoly poly;
  poly.colour = 0x7C00;
  poly.depth = 511;
  SprBufferEntry* e = SlgPolyCreate(CDdrawSpr::kBuffered, &poly, SURFACE_BG);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->priority, 2047);
  EXPECT_EQ(e->polygon.x, 320);
  EXPECT_EQ(e->polygon.y, 240);
  EXPECT_EQ(e->polygon.color, Ctx().ddraw.ColorMatch(SURFACE_BACK, 0x0000FF));
  SlgPolySetRot(&poly, 2, -1);
  SlgPolySetRot(&poly, 0, 512);
  EXPECT_EQ(e->polygon.angle3, -3);
  EXPECT_EQ(e->polygon.angle1, 1608);
  SlgPolySetZoom(&poly, SlgPair{0x8000, 0x30000});
  EXPECT_EQ(e->polygon.zoom_x, 0x8000);
  EXPECT_EQ(e->polygon.zoom_y, 0x30000);
  SlgPolySetAttr(&poly, 0x10080);
  EXPECT_EQ(e->alpha, 0x10080u);
  // With a name, a new creation replaces the record's entry.
  const int free_before = Ctx().ddraw_spr.FreeEntryCount();
  SprBufferEntry* again = SlgPolyCreate(CDdrawSpr::kBuffered, &poly, SURFACE_BG);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(Ctx().ddraw_spr.FreeEntryCount(), free_before);
  SlgPolyFree(&poly);
  EXPECT_EQ(Ctx().ddraw_spr.FreeEntryCount(), free_before + 1);
  SlgPolyFree(&poly);  // nothing left to delete
  SlgPolyFree(nullptr);
}

// A record that was never made (freed as part of a clean-up) asks no update: surface 0 is the
// update word's hold bit, which would stop every compose and the drawing of one-frame entries.
TEST_F(SlgDrawTest, FreeingARecordNeverMadeLeavesTheScreenComposing) {
  SlgPoly never;
  SlgPolyFree(&never);
  EXPECT_EQ(Ctx().ddraw.IsUpdate(0), 0u);
  SlgPoly once;
  once.corners[2] = {4, 4};
  SprBufferEntry* entry = SlgPolyCreate(nullptr, &once, SURFACE_ROOT);
  ASSERT_NE(entry, nullptr);
  const int shown = d.rig.driver().presented();
  ASSERT_TRUE(d.rig.RunUntil("drawn", [&] { return d.rig.driver().presented() > shown; }, 5));
  EXPECT_FALSE(entry->in_use) << "the one-frame entry is drawn and removed";
  // A record that was made still asks its surface to update when freed.
  SlgPoly kept;
  SlgPolyCreate(CDdrawSpr::kBuffered, &kept, SURFACE_BG);
  Ctx().ddraw.SetUpdate(SURFACE_BG, 0);
  SlgPolyFree(&kept);
  EXPECT_NE(Ctx().ddraw.IsUpdate(SURFACE_BG), 0u);
}

// A one-frame polygon's entry is removed by the engine after its draw and its pool slot handed
// on: freeing (or re-making with a name) the record afterwards leaves the new owner's entry alone.
TEST_F(SlgDrawTest, AOneFramePolygonNeverDeletesTheEntryThatTookItsSlot) {
  SlgPoly once;
  once.corners[2] = {4, 4};
  SprBufferEntry* first = SlgPolyCreate(nullptr, &once, SURFACE_ROOT);
  ASSERT_NE(first, nullptr);
  SlgPolySetRot(&once, 2, 64);  // this frame's setters reach it
  EXPECT_EQ(first->polygon.angle3, 64 * 804 / 256);
  const int shown = d.rig.driver().presented();
  ASSERT_TRUE(d.rig.RunUntil("drawn", [&] { return d.rig.driver().presented() > shown; }, 5));
  ASSERT_FALSE(first->in_use);  // drawn once and removed

  SlgPoly kept;
  SprBufferEntry* other = SlgPolyCreate(CDdrawSpr::kBuffered, &kept, SURFACE_ROOT);
  ASSERT_EQ(other, first);  // the pool handed the slot on
  SlgPolyFree(&once);
  EXPECT_TRUE(other->in_use);
  EXPECT_EQ(once.entry, nullptr);
  SlgPolyCreate(nullptr, &once, SURFACE_ROOT);
  ASSERT_TRUE(d.rig.Run(1));
  SlgPolyCreate(CDdrawSpr::kBuffered, &once, SURFACE_ROOT);
  EXPECT_TRUE(other->in_use);
  SlgPolyFree(&once);
  SlgPolyFree(&kept);
  EXPECT_FALSE(other->in_use);
}

TEST_F(SlgDrawTest, SpriteEntryAtDepthPriority) {
  SprRec* sprite = Ctx().ddraw_spr.CreateSprite(0, 0, SURFACE_ROOT, 0, 0, 8, 8);
  ASSERT_NE(sprite, nullptr);
  Ctx().ddraw.SetUpdate(SURFACE_FG, 0);
  SprBufferEntry* e = SlgSprCreate(CDdrawSpr::kBuffered, sprite, 12, 34, SURFACE_FG, 1, -1536,
                                   CDdrawSpr::kMirrorLeftRight);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->priority, 0);
  EXPECT_EQ(e->x, 12);
  EXPECT_EQ(e->y, 34);
  EXPECT_NE(e->blt_flags, 0u);
  EXPECT_NE(Ctx().ddraw.IsUpdate(SURFACE_FG), 0u);
  Ctx().ddraw_spr.DeleteSprite(&sprite);
}

TEST_F(SlgDrawTest, PlayAnmHandsOnConvertedPlacementAndMode) {
  struct Case {
    uint8_t mode;
    uint16_t attr;
    uint32_t loop;
    bool stopped;
  };
  SlgAnmObj obj{};
  const SlgPair at = At(100, 60);
  obj.x = at.x;
  obj.y = at.y;
  obj.depth = -1536;
  for (const Case c : {Case{0, 0, 1, false}, Case{1, 16, 0, false}, Case{2, 0, 0, true},
                       Case{3, 16, 0, true}}) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    obj.mode = c.mode;
    AnimeHandle previous = obj.handle;
    AnimeHandle h = SlgPlayAnmAttr(d.anm, kGreen, &obj, SURFACE_FC, c.attr);
    ASSERT_NE(h, nullptr);
    if (previous != nullptr && previous != h) {
      EXPECT_EQ(Ctx().anime.IsAnime(previous), 0);
    }
    EXPECT_EQ(obj.handle, h);
    EXPECT_EQ(obj.anims, d.anm);
    EXPECT_EQ(obj.pattern, kGreen);
    EXPECT_EQ(obj.attr, c.attr);
    SpxAnimeBlock* b = d.Block(h);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->x, 100);
    EXPECT_EQ(b->y, 60);
    EXPECT_EQ(b->priority, 0);
    EXPECT_EQ(b->loop, c.loop);
    EXPECT_EQ(b->surface, SURFACE_FC);
    EXPECT_EQ(b->color_key, 1u);
    EXPECT_EQ(b->reverse, c.attr);
    EXPECT_EQ(Ctx().anime.RecordOf(h)->stop != 0, c.stopped);
  }
  // Nothing to play: the old animation is released all the same.
  AnimeHandle last = obj.handle;
  EXPECT_EQ(SlgPlayAnm(d.anm, 99, &obj, SURFACE_FC), nullptr);
  EXPECT_EQ(obj.handle, nullptr);
  EXPECT_EQ(Ctx().anime.IsAnime(last), 0);
  EXPECT_EQ(SlgPlayAnm(d.anm, 0, nullptr, SURFACE_FC), nullptr);
}

TEST_F(SlgDrawTest, AnimationSetters) {
  SlgAnmObj obj{};
  AnimeHandle h = SlgPlayAnm(d.anm, kLooping, &obj, SURFACE_ROOT);
  ASSERT_NE(h, nullptr);
  SpxAnimeBlock* b = d.Block(h);
  EXPECT_EQ(SlgSprSetPri(h, 511), 1);
  EXPECT_EQ(b->priority, 2047);
  EXPECT_EQ(SlgSprSetPos(h, At(7, 9)), 1);
  EXPECT_EQ(b->x, 7);
  EXPECT_EQ(b->y, 9);
  EXPECT_EQ(SlgSprSetZoom(h, SlgPair{0x18000, 0x8000}), 1);
  EXPECT_EQ(b->zoom_x, 0x18000);
  EXPECT_EQ(b->zoom_y, 0x8000);
  EXPECT_EQ(SlgSprSetRot(h, -1), 1);
  EXPECT_EQ(b->rotation, 511 * 804 / 256);
  EXPECT_EQ(SlgSprSetRot(h, 640), 1);
  EXPECT_EQ(b->rotation, 128 * 804 / 256);
  EXPECT_EQ(SlgSprSetCorners(h, nullptr), 0);
  EXPECT_FALSE(b->corners.has_value());
  const int32_t factors[4] = {0x10000, 0x8000, 0x20000, 0x4000};
  EXPECT_EQ(SlgSprSetCorners(h, factors), 1);
  ASSERT_TRUE(b->corners.has_value());
  EXPECT_EQ((*b->corners)[3], 0x4000);

  SlgAnmObj none{};
  EXPECT_EQ(SlgSprGetAlpha(&none), 256u);
  EXPECT_EQ(SlgSprGetAlpha(nullptr), 256u);
  EXPECT_EQ(SlgSprSetAlpha(&obj, 0x40080), 1);
  EXPECT_EQ(SlgSprGetAlpha(&obj), 0x40080u);

  // Hide stops it and frees its drawn sprite; show clears the stop and draws again.
  ASSERT_NE(b->drawn, nullptr);
  EXPECT_EQ(SlgAnmHide(h), 1);
  EXPECT_NE(Ctx().anime.RecordOf(h)->stop, 0u);
  EXPECT_EQ(b->drawn, nullptr);
  EXPECT_EQ(SlgAnmShow(h), 1);
  EXPECT_EQ(Ctx().anime.RecordOf(h)->stop, 0u);
  EXPECT_NE(b->drawn, nullptr);
  // A start-stopped object is rebuilt when shown, and stays stopped.
  obj.mode = kSlgAnmStartStopped;
  SlgAnmHide(h);
  EXPECT_EQ(SlgAnmObjShow(&obj), 1);
  EXPECT_NE(b->drawn, nullptr);
  EXPECT_NE(Ctx().anime.RecordOf(h)->stop, 0u);
  EXPECT_EQ(SlgAnmObjShow(nullptr), 0);
  EXPECT_EQ(SlgAnmHide(nullptr), 0);
  Scene().tamvik_spr.ReleaseAnm(&obj.handle);
}

// Played once: loop off, held at its end, and the caller's variable cleared when it ends.
TEST_F(SlgDrawTest, PlayOnceAndTheEndTests) {
  SlgAnmObj once{};
  once.mode = kSlgAnmOnce;
  EXPECT_EQ(SlgAnmObjIsEnd(&once), 1);  // no animation
  EXPECT_EQ(SlgAnmObjIsEnd(nullptr), 1);
  ASSERT_NE(SlgPlayAnm(d.anm, kShort, &once, SURFACE_ROOT), nullptr);
  EXPECT_EQ(SlgAnmObjIsEnd(&once), 0);
  ASSERT_TRUE(d.rig.RunUntil("the last frame passed", [&] { return SlgAnmObjIsEnd(&once) == 1; },
                             10));

  AnimeHandle handle = nullptr;
  SlgAnmObj looped{};
  handle = SlgPlayAnm(d.anm, kShort, &looped, SURFACE_ROOT);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(d.Block(handle)->loop, 1u);
  looped.handle = nullptr;  // the variable below holds it now
  EXPECT_EQ(SlgAnmPlayOnce(&handle), 1);
  EXPECT_EQ(d.Block(handle)->loop, 0u);
  EXPECT_EQ(d.Block(handle)->free_at_end, 1u);
  ASSERT_TRUE(d.rig.RunUntil("the variable cleared", [&] { return handle == nullptr; }, 20));
  EXPECT_EQ(SlgAnmPlayOnce(&handle), 0);
  EXPECT_EQ(SlgAnmPlayOnce(nullptr), 0);
  Scene().tamvik_spr.ReleaseAnm(&once.handle);
}

// ---- Spawners ----

void Idle(SlgEffectTask*) {}

TEST_F(SlgDrawTest, SpawnersRoundAndZeroTheirWork) {
  std::vector<size_t> sizes;
  Battle().alloc.refuse = [&sizes](uint32_t, size_t bytes) {
    sizes.push_back(bytes);
    return false;
  };
  struct Case {
    size_t asked, made;
  };
  for (const Case c : {Case{1, 4}, Case{4, 4}, Case{5, 8}, Case{13, 16}, Case{0, 0}}) {
    sizes.clear();
    SlgEffectTask* t = SlgTaskCreateWork(&Idle, c.asked, "Work");
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(sizes.size(), 2u);  // the area, then the name
    EXPECT_EQ(sizes[0], c.made) << c.asked;
    ASSERT_NE(t->owned[0], nullptr);
    const auto* bytes = static_cast<const uint8_t*>(t->owned[0]);
    for (size_t i = 0; i < c.made; ++i) EXPECT_EQ(bytes[i], 0) << i;
    SlgTaskEndPlain(t);
  }
  sizes.clear();
  SlgEffectTask* a = SlgTaskCreateAnm(&Idle, "Anm");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(sizes[0], sizeof(SlgAnmObj));
  SlgAnmObj blank{};
  EXPECT_EQ(std::memcmp(a->owned[0], &blank, sizeof blank), 0);

  sizes.clear();
  SlgEffectTask* w = SlgTaskCreateAnmWork(&Idle, 10, "AnmWork");
  ASSERT_NE(w, nullptr);
  ASSERT_GE(sizes.size(), 2u);
  EXPECT_EQ(sizes[0], 12u);
  EXPECT_EQ(sizes[1], sizeof(SlgAnmObj));
  SlgAnmObj* obj = SlgWorkAnmObj(w->owned[0]);
  ASSERT_NE(obj, nullptr);
  EXPECT_EQ(std::memcmp(obj, &blank, sizeof blank), 0);
  // A work area too small for the pointer is made large enough for it.
  sizes.clear();
  SlgEffectTask* tiny = SlgTaskCreateAnmWork(&Idle, 1, "Tiny");
  ASSERT_NE(tiny, nullptr);
  EXPECT_EQ(sizes[0], sizeof(SlgAnmObj*));
  Battle().alloc.refuse = nullptr;
  SlgTaskEndAnm(a);
  SlgTaskEndAnmWork(w);
  SlgTaskEndAnmWork(tiny);
  EXPECT_EQ(Battle().alloc.live, 0);
}

TEST_F(SlgDrawTest, AWorkAreaTasksObjectGoesWithATaskEndedPlainly) {
  // The battle's teardown ends tasks with SlgTaskEnd: the object goes with the work area.
  SlgEffectTask* w = SlgTaskCreateAnmWork(&Idle, 16, "AnmWork");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->owned[kSlgAnmWorkObjSlot], SlgWorkAnmObj(w->owned[0]));
  SlgTaskEnd(w);
  EXPECT_EQ(Battle().alloc.live, 0);
  // The end form frees it once.
  SlgEffectTask* e = SlgTaskCreateAnmWork(&Idle, 16, "AnmWork2");
  ASSERT_NE(e, nullptr);
  SlgTaskEndAnmWork(e);
  EXPECT_EQ(Battle().alloc.live, 0);
}

TEST_F(SlgDrawTest, AFailedSpawnLeavesNothingAllocated) {
  struct Case {
    const char* what;
    SlgEffectTask* (*spawn)(const char* name);
    uint32_t allocations;
  };
  const Case cases[] = {
      {"work", [](const char* n) { return SlgTaskCreateWork(&Idle, 32, n); }, 2},
      {"anm", [](const char* n) { return SlgTaskCreateAnm(&Idle, n); }, 2},
      {"anm work", [](const char* n) { return SlgTaskCreateAnmWork(&Idle, 32, n); }, 3},
  };
  for (const Case& c : cases) {
    for (uint32_t refused = 0; refused < c.allocations; ++refused) {
      SCOPED_TRACE(testing::Message() << c.what << ", allocation " << refused << " refused");
      const uint32_t base = Battle().alloc.calls;
      Battle().alloc.refuse = [base, refused](uint32_t call, size_t) {
        return call == base + refused;
      };
      EXPECT_EQ(c.spawn("Refused"), nullptr);
      Battle().alloc.refuse = nullptr;
      EXPECT_EQ(Battle().alloc.live, 0);
      EXPECT_EQ(Ctx().game_task.FindTask("Refused"), nullptr);
    }
    // No body: no task, nothing allocated.
    EXPECT_EQ(SlgTaskCreateWork(nullptr, 8, "NoBody"), nullptr);
    EXPECT_EQ(Battle().alloc.live, 0);
  }
}

TEST_F(SlgDrawTest, EndFormsReleaseTheirObjectsAnimation) {
  SlgEffectTask* w = SlgTaskCreateAnmWork(&Idle, 16, "AnmWork");
  SlgEffectTask* a = SlgTaskCreateAnm(&Idle, "Anm");
  ASSERT_NE(w, nullptr);
  ASSERT_NE(a, nullptr);
  SlgAnmObj* wobj = SlgWorkAnmObj(w->owned[0]);
  auto* aobj = static_cast<SlgAnmObj*>(a->owned[0]);
  AnimeHandle wh = SlgPlayAnm(d.anm, kLooping, wobj, SURFACE_ROOT);
  AnimeHandle ah = SlgPlayAnm(d.anm, kLooping, aobj, SURFACE_ROOT);
  ASSERT_NE(wh, nullptr);
  ASSERT_NE(ah, nullptr);
  ASSERT_TRUE(d.rig.Run(2));
  SlgTaskEndAnmWork(w);
  SlgTaskEndAnm(a);
  EXPECT_EQ(Ctx().anime.IsAnime(wh), 0);
  EXPECT_EQ(Ctx().anime.IsAnime(ah), 0);
  EXPECT_EQ(SlgTaskIsAlive(w), 0);
  EXPECT_EQ(SlgTaskIsAlive(a), 0);
  EXPECT_EQ(Battle().alloc.live, 0);
  // Ended tasks are not read again.
  SlgTaskEndAnmWork(w);
  SlgTaskEndAnm(a);
  SlgTaskEndAnm(nullptr);
  ASSERT_TRUE(d.rig.Run(2));
}

// ---- Input and determinism ----

std::vector<int> g_held;
int g_step = 0;
void WatchKey(SlgEffectTask*) {
  ++g_step;
  if ((Ctx().input.GetKeyHold() & kGameKey2) != 0) g_held.push_back(g_step);
}

TEST(SlgRig, InputRowsReachTheBattleTasks) {
  BattleRig rig;
  g_held.clear();
  g_step = 0;
  SlgTaskCreate(SlgTaskOwner(), &WatchKey, "Watch");
  const int f = rig.frame();
  rig.Schedule({testsupport::GameKeyDown(f + 3, kGameKey2), testsupport::GameKeyUp(f + 5, kGameKey2)});
  ASSERT_TRUE(rig.Run(7));
  EXPECT_EQ(g_held, (std::vector<int>{3, 4}));
}

// The rig's generator is seeded after the start, and the program reads the injected memory size.
TEST(SlgRig, SeedAndMemorySize) {
  BattleRig::Options options;
  options.seed = 1234;
  options.memory_bytes = 48ull << 20;
  int32_t first = 0;
  {
    BattleRig rig(options);
    EXPECT_EQ(AppGetMemoryStatus(0), 48ull << 20);
    first = SlgRand();
    SeedRandom(1234);
    EXPECT_EQ(SlgRand(), first);
  }
  options.seed = 1235;
  BattleRig other(options);
  EXPECT_NE(SlgRand(), first);
}

// Random polygons every frame from the battle's seeded generator: two runs show the same frames.
void RandomSquare(SlgEffectTask* t) {
  if (t->owned[0] == nullptr) t->owned[0] = SlgAlloc(sizeof(SlgPoly));
  auto* poly = static_cast<SlgPoly*>(t->owned[0]);
  poly->x = (SlgRand() & 0xFF) << 16;
  poly->y = (SlgRand() & 0x7F) << 16;
  poly->colour = static_cast<uint16_t>(SlgRand() & 0x7FFF);
  poly->corners[1] = {8, 0};
  poly->corners[2] = {8, 8};
  poly->corners[3] = {0, 8};
  SlgPolyCreate(nullptr, poly, SURFACE_ROOT);
  if (t->frames >= 6) SlgTaskEnd(t);
}

TEST(SlgRig, ASeededScenarioRunsTheSameTwice) {
  EXPECT_TRUE(testsupport::RunBattleTwice([](BattleRig& rig) {
    SlgSetLayer(SURFACE_ROOT, 1);
    SlgTaskCreate(SlgTaskOwner(), &RandomSquare, "Random");
    rig.Run(8);
  }));
}

}  // namespace
