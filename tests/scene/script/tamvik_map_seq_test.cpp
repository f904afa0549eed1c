// The town map's sequence: the set-up, hit tests, labels and stairs on the headless program under
// a test owner, and DISPMAP, MOVE and GO through the scene rig.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "platform/surface.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_map.h"
#include "testsupport/map_files.h"
#include "testsupport/map_pictures.h"
#include "testsupport/program_driver.h"
#include "testsupport/scene_files.h"
#include "testsupport/scene_rig.h"
#include "testsupport/script_writer.h"

namespace scenetest {
namespace {

using testsupport::A;
using testsupport::Lit;
using testsupport::ProgramDriver;
using testsupport::SceneRig;
using testsupport::ScriptWriter;

constexpr uint32_t kTheatre = CTamvikMap::kTheatre;
constexpr uint32_t kHaunted = CTamvikMap::kHauntedHouse;
constexpr uint32_t kDecide = 0x0001;  // logical key 0

int TraceCount(const ProgramDriver& d, const std::string& fragment) {
  int n = 0;
  for (const auto& line : d.trace().lines()) n += line.text.find(fragment) != std::string::npos;
  return n;
}

void UseBuilding(uint32_t building) { GetAdvState()->setMapLevelSet(building == kHaunted ? 1 : 0); }

void MapTestOwner(GameTaskRec*) {}

// The program with the label files and every floor picture laid, a test owner in place of the
// decode task, scene 0x0200 (chapter 2).
class MapSeqRig {
 public:
  MapSeqRig() : d(Options()) {
    d.tree.Write("install/Tamvik1/Map/TMAP2.SPR", testsupport::MapLabelSprFile(kTheatre));
    d.tree.Write("install/Tamvik1/Map/Fukagawa.spr", testsupport::MapLabelSprFile(kHaunted));
    testsupport::LayMapPictures(d.tree, kTheatre);
    testsupport::LayMapPictures(d.tree, kHaunted);
    started = d.Start();
    if (!started) return;
    GetAdvState()->setSceneCode(0x0200);
    Ctx().game_task.SetTaskSimple(nullptr, &MapTestOwner, "MapTestOwner");
    owner = Ctx().game_task.FindTask("MapTestOwner");
  }

  static ProgramDriver::Options Options() {
    ProgramDriver::Options options;
    options.boot = [] {};
    options.pump_audio = false;
    return options;
  }

  CTamvikMap& map() { return d.scene.map; }
  bool Setup(uint16_t floor) {
    MapSeqWork work;
    work.floor = floor;
    return map().SetupMap(work);
  }
  int ViewY() {
    int x = 0, y = 0;
    Ctx().ddraw.GetLayerScroll(SURFACE_BG, &x, &y);
    return y;
  }
  // A pixel of layer 5's surface.
  uint16_t Layer5Pixel(int x, int y) {
    platform::Surface* surface = Ctx().ddraw.GetSurface(SURFACE_BG);
    platform::SurfaceLock lock;
    if (surface == nullptr || !surface->Lock(lock)) return 0;
    uint16_t value = 0;
    if (x < surface->width() && y < surface->height()) {
      std::memcpy(&value, lock.bits + y * lock.pitch + 2 * x, 2);
    }
    surface->Unlock();
    return value;
  }
  // Runs until the map state is `state`; false when the limit runs out.
  bool RunToState(int state, int limit) {
    for (int i = 0; i < limit; ++i) {
      if (CTamvikMap::GetMapSeqState() == state) return true;
      if (!d.Step()) return false;
    }
    return CTamvikMap::GetMapSeqState() == state;
  }
  // Points at a place of the shown floor and presses decide.
  void Pick(uint32_t building, uint16_t floor, uint8_t place) {
    const auto [x, y] = testsupport::MapPlaceCentre(building, floor, place);
    const int f = d.frame();
    d.Schedule({testsupport::PointerMove(f + 1, x, y), testsupport::GameKeyDown(f + 2, kDecide),
                testsupport::GameKeyUp(f + 3, kDecide)});
  }

  ProgramDriver d;
  bool started = false;
  GameTaskRec* owner = nullptr;
};

uint16_t Colour(testsupport::SprRgb rgb) {
  return platform::PackColorRef(testsupport::SprColourRef(rgb), platform::PixelLayout::kRgb565);
}

// ---- Set-up ----

TEST(MapSetup, FloorPictureNamesFollowTheLevelsAndWalls) {
  MapSeqRig rig;
  ASSERT_TRUE(rig.started);
  struct Case {
    uint8_t haunted, level20, wall, level22;
    std::vector<std::string> names;  // floors 0, 1, 2
  };
  const Case cases[] = {
      {0, 0, 0, 0, {"TMAP0", "TMAP1h", "TMAP2ah"}}, {0, 1, 0, 0, {"TMAP0", "TMAP1h", "TMAP2bh"}},
      {0, 2, 0, 0, {"TMAP0", "TMAP1h", "TMAP2ch"}}, {0, 0, 1, 0, {"TMAP0", "TMAP1y", "TMAP2ay"}},
      {0, 1, 1, 0, {"TMAP0", "TMAP1y", "TMAP2by"}}, {0, 2, 1, 0, {"TMAP0", "TMAP1y", "TMAP2cy"}},
      {0, 7, 0, 0, {"TMAP0", "TMAP1h", "TMAP2ch"}},  // above 2 counts as 2
      {1, 0, 0, 1, {"FUKA1F1", "FUKA2F1", ""}},     {1, 0, 0, 2, {"FUKA1F2", "FUKA2F2", ""}},
      {1, 0, 0, 3, {"FUKA1F2", "FUKA2F3", ""}},     {1, 0, 0, 4, {"FUKA1F3", "FUKA2F3", ""}},
      {1, 0, 0, 9, {"FUKA1F3", "FUKA2F3", ""}},  // above 4 counts as 4
  };
  for (const Case& c : cases) {
    AdvState* adv = GetAdvState();
    adv->setMapLevelSet(c.haunted);
    adv->setSpecialValue(c.level20);
    adv->setWallPicture(c.wall);
    adv->setMapLevel(c.level22);
    for (uint16_t floor = 0; floor < 3; ++floor) {
      const std::string want = c.names[floor].empty() ? "" : "tamvik1\\MAP\\" + c.names[floor] + ".spr";
      EXPECT_EQ(CTamvikMap::FloorPictureName(floor), want)
          << int{c.haunted} << " " << int{c.level20} << " " << int{c.wall} << " " << int{c.level22};
    }
  }
  EXPECT_GE(TraceCount(rig.d, "out of range"), 2);
}

TEST(MapSetup, KeepsTheMapSurfaceWhileTheKeyMatchesAndReloadsOnAChange) {
  MapSeqRig rig;
  ASSERT_TRUE(rig.started);
  UseBuilding(kTheatre);
  ASSERT_TRUE(rig.Setup(0));
  CTamvikMap& map = rig.map();
  EXPECT_EQ(map.map_kind, kTheatre);
  EXPECT_NE(map.map_surface, -1);
  EXPECT_NE(map.label_file, nullptr);
  for (const auto& table : map.hit_tables) EXPECT_FALSE(table.empty());
  // The floor bands: floor 0 at the bottom, floor 2 at the top; the view on the work floor.
  EXPECT_EQ(rig.Layer5Pixel(4, 960 + 4), Colour(testsupport::MapFloorColour("TMAP0.spr")));
  EXPECT_EQ(rig.Layer5Pixel(4, 480 + 4), Colour(testsupport::MapFloorColour("TMAP1h.spr")));
  EXPECT_EQ(rig.Layer5Pixel(4, 4), Colour(testsupport::MapFloorColour("TMAP2ah.spr")));
  EXPECT_EQ(rig.ViewY(), 960);
  EXPECT_EQ(TraceCount(rig.d, "maplevel="), 1);

  // A second set-up with the same key opens no picture: with the pictures gone it still works.
  CTamvikMap::CloseMapSeq();
  const int32_t kept = map.map_surface;
  for (const auto& [name, floor] : testsupport::MapFloorPictures(kTheatre)) {
    rig.d.tree.Remove("install/tamvik1/MAP/" + name);
  }
  ASSERT_TRUE(rig.Setup(2));
  EXPECT_EQ(map.map_surface, kept);
  EXPECT_EQ(rig.ViewY(), 0);
  EXPECT_EQ(TraceCount(rig.d, "maplevel="), 1);
  ASSERT_TRUE(rig.Setup(1));
  EXPECT_EQ(rig.ViewY(), 480);

  // A changed byte 20 loads the pictures again (which are gone now: the set-up fails and the
  // map surface is released).
  GetAdvState()->setSpecialValue(1);
  EXPECT_FALSE(rig.Setup(0));
  EXPECT_TRUE(rig.d.trace().Contains("BG Open Failed"));
  EXPECT_EQ(map.map_surface, -1);
  EXPECT_EQ(Ctx().ddraw.GetLayer(SURFACE_BG)->swap_surface, -1);
  testsupport::LayMapPictures(rig.d.tree, kTheatre);
  ASSERT_TRUE(rig.Setup(0));
  EXPECT_EQ(rig.Layer5Pixel(4, 4), Colour(testsupport::MapFloorColour("TMAP2bh.spr")));
  EXPECT_EQ(TraceCount(rig.d, "maplevel="), 2);
}

TEST(MapSetup, AnotherBuildingLoadsItsLabelFileAndHitTables) {
  MapSeqRig rig;
  ASSERT_TRUE(rig.started);
  UseBuilding(kTheatre);
  ASSERT_TRUE(rig.Setup(0));
  CTamvikMap& map = rig.map();
  const std::vector<uint8_t> theatre_floor0 = map.hit_tables[0];
  CTamvikMap::CloseMapSeq();
  UseBuilding(kHaunted);
  GetAdvState()->setMapLevel(1);
  ASSERT_TRUE(rig.Setup(1));
  EXPECT_EQ(map.map_kind, kHaunted);
  EXPECT_NE(map.hit_tables[0], theatre_floor0);
  EXPECT_TRUE(map.hit_tables[2].empty());
  EXPECT_EQ(rig.ViewY(), 480);
  EXPECT_TRUE(rig.d.trace().Contains("fukagawa=1"));
}

// ---- Hit tests ----

TEST(MapHitTest, RowsAndTheScenesRules) {
  MapSeqRig rig;
  ASSERT_TRUE(rig.started);
  struct Case {
    uint32_t building;
    uint16_t scene;
    uint8_t level22;
    uint16_t floor;
    int x, y;  // -1: the centre of place `place`
    uint8_t place;
    uint16_t want;
  };
  using testsupport::kMapUnlistedPlace;
  const Case cases[] = {
      // Theatre floor 0, place 2 is the first row (stored with its corners swapped): 16..96.
      {kTheatre, 0x0200, 0, 0, -1, -1, 2, 2},
      {kTheatre, 0x0200, 0, 0, 16, 24, 0, 2},    // top-left edge
      {kTheatre, 0x0200, 0, 0, 96, 104, 0, 2},   // bottom-right edge
      {kTheatre, 0x0200, 0, 0, 97, 104, 0, 0},   // just outside
      {kTheatre, 0x0200, 0, 0, 15, 24, 0, 0},
      {kTheatre, 0x0200, 0, 0, -1, -1, kMapUnlistedPlace, 0},
      {kTheatre, 0x0200, 0, 1, -1, -1, 12, 12},
      {kTheatre, 0x0100, 0, 1, -1, -1, 12, 0},   // chapter 1
      {kTheatre, 0x0108, 0, 1, -1, -1, 11, 0},
      {kTheatre, 0x0108, 0, 1, -1, -1, 16, 0},
      {kTheatre, 0x0108, 0, 1, -1, -1, 12, 0},   // 0x0108 is chapter 1 too
      {kTheatre, 0x0200, 0, 1, -1, -1, 16, 16},
      {kTheatre, 0x0109, 0, 2, -1, -1, 3, 0},
      {kTheatre, 0x0109, 0, 2, -1, -1, 15, 0},
      {kTheatre, 0x0109, 0, 2, -1, -1, 4, 4},
      {kTheatre, 0x0200, 0, 2, -1, -1, 15, 15},
      {kHaunted, 0x0200, 1, 0, -1, -1, 8, 8},
      {kHaunted, 0x0200, 1, 0, -1, -1, 9, 0},
      {kHaunted, 0x0200, 1, 0, -1, -1, 12, 0},
      {kHaunted, 0x0200, 3, 0, -1, -1, 11, 11},
      {kHaunted, 0x0200, 3, 0, -1, -1, 12, 0},
      {kHaunted, 0x0200, 4, 0, -1, -1, 12, 12},
      {kHaunted, 0x0200, 1, 1, -1, -1, 5, 5},
      {kHaunted, 0x0200, 1, 1, -1, -1, 6, 0},
      {kHaunted, 0x0200, 1, 1, -1, -1, 10, 0},
      {kHaunted, 0x0200, 2, 1, -1, -1, 8, 8},
      {kHaunted, 0x0200, 2, 1, -1, -1, 9, 0},
      {kHaunted, 0x0200, 3, 1, -1, -1, 10, 10},
  };
  for (const Case& c : cases) {
    UseBuilding(c.building);
    GetAdvState()->setMapLevel(c.level22);
    ASSERT_TRUE(rig.Setup(c.floor));
    GetAdvState()->setSceneCode(c.scene);
    int x = c.x, y = c.y;
    if (x < 0) std::tie(x, y) = testsupport::MapPlaceCentre(c.building, c.floor, c.place);
    EXPECT_EQ(rig.map().HitTest(c.floor, x, y), c.want)
        << "building " << c.building << " scene " << c.scene << " level " << int{c.level22}
        << " floor " << c.floor << " at " << x << "," << y;
    CTamvikMap::CloseMapSeq();
  }
  // A floor without a hit table hits nothing.
  rig.map().hit_tables[1].clear();
  EXPECT_EQ(rig.map().HitTest(1, 40, 40), 0);
}

// ---- Labels ----

TEST(MapLabels, TheTopFloorsReplacements) {
  MapSeqRig rig;
  ASSERT_TRUE(rig.started);
  UseBuilding(kTheatre);
  struct Case {
    uint8_t place;  // floor 2: 7 shows 74, 9 76, 4 80
    uint8_t level20;
    uint16_t scene;
    uint8_t byte40;
    uint32_t want;
  };
  const Case cases[] = {
      {7, 0, 0x0300, 0, 115}, {7, 1, 0x0300, 0, 115}, {7, 2, 0x0300, 0, 74},
      {9, 0, 0x0300, 0, 115}, {9, 1, 0x0300, 0, 76},  {4, 2, 0x0200, 0, 115},
      {4, 2, 0x0300, 0, 80},  {7, 0, 0x0100, 1, 74},  {9, 0, 0x0100, 1, 76},
      {4, 0, 0x0100, 1, 80},  {8, 0, 0x0100, 0, 75},
  };
  for (const Case& c : cases) {
    AdvState* adv = GetAdvState();
    adv->setSpecialValue(c.level20);
    adv->setSceneCode(c.scene);
    adv->setMinigameMode(c.byte40);
    EXPECT_EQ(CTamvikMap::PlaceLabel(2, c.place), c.want) << int{c.place} << " " << c.scene;
  }
  // Elsewhere the table's label stands.
  EXPECT_EQ(CTamvikMap::PlaceLabel(1, 7), 94u);
  EXPECT_EQ(CTamvikMap::PlaceLabel(2, testsupport::kMapUnlistedPlace), 0u);
}

struct LabelCall {
  uint16_t place = 0, previous = 0;
  int x = 0, y = 0;
};
LabelCall g_label;
bool g_label_update = false;  // update bit 8 just after the call
void LabelTask(GameTaskRec*) {
  Ctx().ddraw.SetUpdate(SURFACE_TEXT, 0);
  Scene().map.ShowPlaceLabel(0, g_label.place, g_label.previous, g_label.x, g_label.y);
  g_label_update = Ctx().ddraw.IsUpdate(SURFACE_TEXT) != 0;
  Ctx().ddraw.SetUpdate(SURFACE_TEXT, 1);  // compose every frame, so each frame shows the label
}

TEST(MapLabels, DrawnForTheFrameKeptLeftOf624AndUpdateOnlyOnAChange) {
  MapSeqRig rig;
  ASSERT_TRUE(rig.started);
  UseBuilding(kTheatre);
  ASSERT_TRUE(rig.Setup(0));
  for (SurfaceId id = SURFACE_ROOT; id <= SURFACE_TEXT; ++id) {
    Ctx().ddraw.SetVisible(id, id == SURFACE_TEXT ? 1 : 0);
  }
  Ctx().game_task.SetTaskSimple(nullptr, &LabelTask, "LabelTask");
  const uint16_t white = Colour({31, 31, 31});
  const int w = testsupport::kMapLabelWidth;

  g_label = {2, 2, 100, 200};  // same place: no update asked
  ASSERT_TRUE(rig.d.Step());
  EXPECT_FALSE(g_label_update);
  EXPECT_EQ(rig.d.display().FramePixel(100, 202), white);
  g_label = {2, 3, 100, 200};  // labels 104 and 105
  ASSERT_TRUE(rig.d.Step());
  EXPECT_TRUE(g_label_update);
  g_label = {3, 0, 100, 200};  // no previous place
  ASSERT_TRUE(rig.d.Step());
  EXPECT_TRUE(g_label_update);

  g_label = {2, 2, 600, 200};  // near the right edge: ends at 624
  ASSERT_TRUE(rig.d.Step());
  EXPECT_EQ(rig.d.display().FramePixel(624 - w, 202), white);
  EXPECT_EQ(rig.d.display().FramePixel(623, 202), white);
  EXPECT_NE(rig.d.display().FramePixel(624, 202), white);
  EXPECT_NE(rig.d.display().FramePixel(624 - w - 1, 202), white);

  // One frame only: without the call the label is gone.
  Ctx().game_task.DelTask(Ctx().game_task.FindTask("LabelTask"));
  Ctx().ddraw.SetUpdate(SURFACE_TEXT, 1);
  ASSERT_TRUE(rig.d.Step());
  EXPECT_NE(rig.d.display().FramePixel(623, 202), white);
}

// ---- Stairs ----

TEST(MapStairs, TheatreUpAndBackLeavesTheStackEmpty) {
  MapSeqRig rig;
  ASSERT_TRUE(rig.started);
  UseBuilding(kTheatre);
  CTamvikMap& map = rig.map();
  EXPECT_EQ(map.CheckStairs(0, 11), 1);
  EXPECT_EQ(map.stack_depth, 1);
  EXPECT_EQ(map.CheckStairs(1, 12), 0);
  EXPECT_EQ(map.stack_depth, 0);
  EXPECT_EQ(map.CheckStairs(0, 5), 0xFFFF);
  EXPECT_EQ(map.stack_depth, 0);
  // Up, up, down to 1, up again, ...: the stack never passes its three entries.
  EXPECT_EQ(map.CheckStairs(0, 11), 1);
  EXPECT_EQ(map.CheckStairs(1, 11), 2);
  EXPECT_EQ(map.stack_depth, 2);
  map.map_stack[2] = {2, 15, 1, 16};
  map.stack_depth = 3;
  EXPECT_EQ(map.CheckStairs(1, 16), 2);  // last entry's floor is 2: back
  EXPECT_EQ(map.stack_depth, 2);
  map.stack_depth = 3;
  map.map_stack[2].floor = 0;
  EXPECT_EQ(map.CheckStairs(1, 16), 2);
  EXPECT_EQ(map.stack_depth, 3);
  EXPECT_TRUE(rig.d.trace().Contains("not pushed"));
}

TEST(MapStairs, HauntedHouseCutOffPlacesFromEitherSide) {
  MapSeqRig rig;
  ASSERT_TRUE(rig.started);
  UseBuilding(kHaunted);
  CTamvikMap& map = rig.map();
  auto entry = [&](int i) {
    const MapStackEntry& e = map.map_stack[static_cast<size_t>(i)];
    return std::vector<int>{e.floor, e.place, e.destination_floor, e.destination_place};
  };
  struct Case {
    uint8_t level;
    uint16_t start_floor, current, floor, place;
    uint16_t want_result;
    uint16_t want_depth;
    std::vector<std::vector<int>> want;  // entries 0 .. depth-1
  };
  const Case cases[] = {
      // Level 1: the stairs as the table has them.
      {1, 0, 3, 0, 9, 1, 1, {{0, 9, 1, 6}}},
      // From level 2: a push on floor 0 leaves by the puppet's side.
      {2, 0, 3, 0, 9, 1, 1, {{0, 3, 1, 1}}},
      {2, 0, 10, 0, 3, 1, 1, {{0, 9, 1, 6}}},
      {2, 0, 11, 0, 9, 1, 1, {{0, 9, 1, 6}}},
      // Ground floor to the cut-off places and back out: two legs through the upper floor.
      {2, 0, 3, 0, 10, 0xFFFF, 2, {{0, 3, 1, 1}, {1, 6, 0, 9}}},
      {2, 0, 11, 0, 5, 0xFFFF, 2, {{0, 9, 1, 6}, {1, 1, 0, 3}}},
      {2, 0, 10, 0, 11, 0xFFFF, 0, {}},  // both cut off: no stairs
      {2, 0, 3, 0, 5, 0xFFFF, 0, {}},
  };
  for (const Case& c : cases) {
    GetAdvState()->setMapLevel(c.level);
    map.stack_depth = 0;
    map.start_floor = c.start_floor;
    map.current_node = c.current;
    EXPECT_EQ(map.CheckStairs(c.floor, c.place), c.want_result) << c.current << " " << c.place;
    ASSERT_EQ(map.stack_depth, c.want_depth) << c.current << " " << c.place;
    for (size_t i = 0; i < c.want.size(); ++i) EXPECT_EQ(entry(static_cast<int>(i)), c.want[i]);
    if (c.want_depth == 2) {
      EXPECT_EQ(map.map_stack[2].place, c.place);
    }
  }
  // Opened upstairs and gone down: the first leg is the stairs on the place's side.
  GetAdvState()->setMapLevel(2);
  map.stack_depth = 0;
  map.start_floor = 1;
  map.current_node = 104;
  EXPECT_EQ(map.CheckStairs(1, 1), 0);
  EXPECT_EQ(map.CheckStairs(0, 10), 0xFFFF);
  ASSERT_EQ(map.stack_depth, 1);
  EXPECT_EQ(entry(0), (std::vector<int>{1, 6, 0, 9}));
  EXPECT_EQ(map.CheckStairs(0, 5), 0xFFFF);
  EXPECT_EQ(entry(0), (std::vector<int>{1, 1, 0, 3}));
}

// ---- The sequence under a test owner ----

TEST(MapSeq, APickTwoFloorsUpHandsOverEachLegAndThenThePlace) {
  MapSeqRig rig;
  ASSERT_TRUE(rig.started);
  UseBuilding(kTheatre);
  CTamvikMap& map = rig.map();
  ASSERT_EQ(CTamvikMap::StartMapSeq(rig.owner, 2, 0), 1);
  ASSERT_TRUE(rig.RunToState(4, 200));
  EXPECT_NE(Ctx().ddraw.IsVisible(SURFACE_BG), 0u);
  CTamvikMap::SetMapSeqState(7);
  ASSERT_TRUE(rig.RunToState(8, 5));
  rig.Pick(kTheatre, 0, 11);  // stairs up
  ASSERT_TRUE(rig.RunToState(11, 10));
  ASSERT_TRUE(rig.RunToState(8, 100));
  EXPECT_EQ(rig.ViewY(), 480);
  rig.Pick(kTheatre, 1, 11);  // stairs up
  ASSERT_TRUE(rig.RunToState(11, 10));
  ASSERT_TRUE(rig.RunToState(8, 100));
  EXPECT_EQ(rig.ViewY(), 0);
  rig.Pick(kTheatre, 2, 5);  // node 213
  ASSERT_TRUE(rig.RunToState(9, 100));
  EXPECT_EQ(CTamvikMap::GetMapSeqWork()->picked, 1);  // the ground floor's stairs
  EXPECT_EQ(map.stack_depth, 2);
  EXPECT_EQ(rig.ViewY(), 960);  // slid back to the floor where the trip starts

  // The close keeps the legs: only layer 8 goes.
  CTamvikMap::CloseMapSeq();
  EXPECT_EQ(CTamvikMap::GetMapSeqState(), -1);
  EXPECT_EQ(Ctx().ddraw.IsVisible(SURFACE_TEXT), 0u);
  const uint16_t want[] = {110, 213};  // the first floor's stairs, then the place
  const uint16_t floors[] = {1, 2};
  const uint16_t starts[] = {111, 209};  // where each leg comes out
  for (int leg = 0; leg < 2; ++leg) {
    ASSERT_EQ(CTamvikMap::StartMapSeq(rig.owner, starts[leg], floors[leg]), 1);
    ASSERT_TRUE(rig.RunToState(6, 5));  // slides to the leg's floor
    ASSERT_TRUE(rig.RunToState(4, 100));
    EXPECT_EQ(rig.ViewY(), (2 - floors[leg]) * 480);
    CTamvikMap::SetMapSeqState(7);
    ASSERT_TRUE(rig.RunToState(9, 5));
    EXPECT_EQ(CTamvikMap::GetMapSeqWork()->picked, want[leg]);
    EXPECT_EQ(map.stack_depth, 1 - leg);
    CTamvikMap::CloseMapSeq();
  }
}

TEST(MapSeq, AMissingFloorPictureClosesTheSequenceAndTheOwnerGoneClosesIt) {
  MapSeqRig rig;
  ASSERT_TRUE(rig.started);
  UseBuilding(kTheatre);
  rig.d.tree.Remove("install/tamvik1/MAP/TMAP1h.spr");
  ASSERT_EQ(CTamvikMap::StartMapSeq(rig.owner, 2, 0), 1);
  ASSERT_TRUE(rig.d.Run(3));
  EXPECT_EQ(CTamvikMap::GetMapSeqState(), -1);
  EXPECT_TRUE(rig.d.trace().Contains("BG Open Failed"));
  EXPECT_TRUE(rig.d.trace().Contains("CloseMapSeq (0)"));
  EXPECT_EQ(rig.map().map_surface, -1);
  EXPECT_EQ(Ctx().ddraw.GetLayer(SURFACE_BG)->swap_surface, -1);

  testsupport::LayMapPictures(rig.d.tree, kTheatre);
  ASSERT_EQ(CTamvikMap::StartMapSeq(rig.owner, 2, 0), 1);
  ASSERT_TRUE(rig.RunToState(4, 200));
  EXPECT_NE(Ctx().game_task.FindTask(CTamvikMap::kPapetTaskName), nullptr);
  Ctx().game_task.DelTask(rig.owner);
  ASSERT_TRUE(rig.d.Run(3));
  EXPECT_EQ(CTamvikMap::GetMapSeqState(), -1);
  EXPECT_EQ(Ctx().game_task.FindTask(CTamvikMap::kPapetTaskName), nullptr);
  EXPECT_NE(rig.map().map_surface, -1);  // kept for the next sequence
  EXPECT_EQ(Ctx().ddraw.GetLayer(SURFACE_BG)->swap_surface, -1);
}

// ---- The commands through the scene rig ----

constexpr uint8_t kOpDispmap = 0x0E;
constexpr uint8_t kOpMove = 0x2F;
constexpr uint8_t kOpGo = 0x35;
constexpr int kStartFrames = 160;

// The rig with the map's files; the script is laid by the test.
class CommandRig : public SceneRig {
 public:
  CommandRig() {
    d.tree.Write("install/Tamvik1/Map/TMAP2.SPR", testsupport::MapLabelSprFile(kTheatre));
    testsupport::LayMapPictures(d.tree, kTheatre);
  }
  bool RunToMapState(int state, int limit) {
    for (int i = 0; i < limit; ++i) {
      if (CTamvikMap::GetMapSeqState() == state) return true;
      if (!d.Step()) return false;
    }
    return CTamvikMap::GetMapSeqState() == state;
  }
  bool RunUntilA1(uint16_t value, int limit) {
    return d.RunUntil("A[1]", [value](const auto&) { return GetMacroA(1) == value; }, limit);
  }
  void Pick(uint16_t floor, uint8_t place) {
    const auto [x, y] = testsupport::MapPlaceCentre(kTheatre, floor, place);
    const int f = d.frame();
    d.Schedule({testsupport::PointerMove(f + 1, x, y), testsupport::GameKeyDown(f + 2, kDecide),
                testsupport::GameKeyUp(f + 3, kDecide)});
  }
};

TEST(MapCommands, DispmapAnswersTheStartNodeAndLeavesTheMapOpen) {
  CommandRig rig;
  ScriptWriter w;
  w.Command(kOpDispmap, {Lit(12), Lit(0)});
  w.Assign(testsupport::VarA(1), testsupport::Num(1));
  w.Wait(Lit(1000));
  rig.Lay(0x0100, w);
  ASSERT_TRUE(rig.StartScene(0x0000));
  ASSERT_TRUE(rig.RunUntilA1(1, kStartFrames + 200));
  EXPECT_EQ(GetMacroA(0), 12);
  EXPECT_EQ(CTamvikMap::GetMapSeqState(), 9);
  EXPECT_TRUE(rig.d.trace().Contains("Set MapSeq no:12 floor:0"));
  EXPECT_EQ(rig.d.scene.macro.scene_ready, 0u);
}

TEST(MapCommands, MoveThenGoOnTheCurrentNodeClosesWithoutAWalk) {
  CommandRig rig;
  ScriptWriter w;
  w.Command(kOpMove, {Lit(2), Lit(0)});
  w.Assign(testsupport::VarA(1), testsupport::Num(1));
  w.Command(kOpGo, {A(0), Lit(0)});
  w.Assign(testsupport::VarA(1), testsupport::Num(2));
  w.Wait(Lit(1000));
  rig.Lay(0x0100, w);
  ASSERT_TRUE(rig.StartScene(0x0000));
  ASSERT_TRUE(rig.RunToMapState(8, kStartFrames + 200));
  rig.Pick(0, 2);  // the place the puppet stands on: node 2
  ASSERT_TRUE(rig.RunUntilA1(1, 60));
  EXPECT_EQ(GetMacroA(0), 2);
  // No walk: the fade-out (about 60 frames) and GO closes the map at state 21.
  ASSERT_TRUE(rig.RunUntilA1(2, 100));
  EXPECT_FALSE(rig.d.trace().Contains("PapetSeq:"));
  EXPECT_EQ(rig.d.scene.map.current_node, 2);
  EXPECT_TRUE(rig.d.trace().Contains("CloseMapSeq (0)"));
  EXPECT_EQ(CTamvikMap::GetMapSeqState(), -1);
  EXPECT_NE(Ctx().ddraw.IsVisible(SURFACE_TEXT), 0u);
  EXPECT_EQ(Ctx().ddraw.IsVisible(SURFACE_BG), 0u);
  EXPECT_TRUE(TamvikFunc::HasMessageWindow());
  EXPECT_EQ(rig.d.scene.macro.scene_ready, 1u);
  EXPECT_EQ(rig.d.scene.macro.shown_chara, 99);
  EXPECT_TRUE(rig.d.trace().Contains("DecodeGo MapTargetNo = 2 MapFlag = 0"));
}

// The writer-made trip: the map opened on the ground floor, a place two floors up picked, the
// puppet walking each leg, the map closing; TAMVIK_SCENE_FRAMES=<dir> keeps the frames.
TEST(MapCommands, AStairsTripWalksEachLegAndClosesTheMap) {
  CommandRig rig;
  ScriptWriter w;
  w.Command(kOpMove, {Lit(2), Lit(0)});
  w.Assign(testsupport::VarA(2), testsupport::VarA(0));
  w.Command(kOpGo, {A(0), Lit(0)});
  w.Command(kOpMove, {Lit(111), Lit(1)});  // the puppet comes out at the stairs' other end
  w.Assign(testsupport::VarA(3), testsupport::VarA(0));
  w.Command(kOpGo, {A(0), Lit(0)});
  w.Command(kOpMove, {Lit(210), Lit(2)});
  w.Assign(testsupport::VarA(4), testsupport::VarA(0));
  w.Command(kOpGo, {A(0), Lit(1)});
  w.Assign(testsupport::VarA(1), testsupport::Num(1));
  w.Wait(Lit(1000));
  rig.Lay(0x0100, w);
  ASSERT_TRUE(rig.StartScene(0x0000));
  ASSERT_TRUE(rig.RunToMapState(8, kStartFrames + 200));
  rig.Pick(0, 11);
  ASSERT_TRUE(rig.RunToMapState(11, 10));  // sliding up
  ASSERT_TRUE(rig.RunToMapState(8, 100));
  rig.Pick(1, 16);
  ASSERT_TRUE(rig.RunToMapState(11, 10));
  ASSERT_TRUE(rig.RunToMapState(8, 100));
  rig.Pick(2, 7);  // node 215
  ASSERT_TRUE(rig.RunUntilA1(1, 3000));
  EXPECT_EQ(GetMacroA(2), 1);
  EXPECT_EQ(GetMacroA(3), 119);
  EXPECT_EQ(GetMacroA(4), 215);
  EXPECT_EQ(rig.d.scene.map.current_node, 215);
  EXPECT_EQ(rig.d.scene.map.stack_depth, 0);
  EXPECT_EQ(CTamvikMap::GetMapSeqState(), -1);
  EXPECT_NE(Ctx().ddraw.IsVisible(SURFACE_TEXT), 0u);
  EXPECT_TRUE(TamvikFunc::HasMessageWindow());
}

TEST(MapCommands, WithoutAMapSequenceTheCommandsGoOnWithTheStartNode) {
  CommandRig rig;
  rig.d.tree.Remove("install/tamvik1/MAP/TMAP0.spr");
  ScriptWriter w;
  w.Command(kOpMove, {Lit(5), Lit(0)});
  w.Assign(testsupport::VarA(2), testsupport::VarA(0));
  w.Command(kOpGo, {Lit(7), Lit(0)});
  w.Assign(testsupport::VarA(1), testsupport::Num(1));
  w.Wait(Lit(1000));
  rig.Lay(0x0100, w);
  ASSERT_TRUE(rig.StartScene(0x0000));
  ASSERT_TRUE(rig.RunUntilA1(1, kStartFrames + 60));
  EXPECT_EQ(GetMacroA(2), 5);
  EXPECT_TRUE(rig.d.trace().Contains("MOVE: no map sequence; A[0] := 5"));
  EXPECT_TRUE(rig.d.trace().Contains("GO: no map sequence"));
  EXPECT_NE(Ctx().ddraw.IsVisible(SURFACE_TEXT), 0u);
}

TEST(MapCommands, TheSkipOf0108EndsAWaitingMove) {
  CommandRig rig;
  ScriptWriter w;
  w.Command(kOpMove, {Lit(2), Lit(0)});
  w.Assign(testsupport::VarA(1), testsupport::Num(1));
  w.Wait(Lit(1000));
  rig.Lay(0x0108, w);
  ASSERT_TRUE(rig.StartScene(0x0108));
  ASSERT_TRUE(rig.RunToMapState(8, kStartFrames + 200));
  GetAdvState()->setSceneSkip(1);
  ASSERT_TRUE(rig.d.Run(2));
  EXPECT_EQ(Ctx().game_task.FindTask("CTamvikMacro::DecodeMove"), nullptr);
}

}  // namespace
}  // namespace scenetest
