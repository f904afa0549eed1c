// The town map's routes, node tables and places, and its puppet and floor slide on the headless
// program under a test owner task (the map sequence's place).

#include "scene/ui/tamvik_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "engine/input/dinput.h"
#include "game/system_data.h"
#include "platform/surface.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/map_files.h"
#include "testsupport/program_driver.h"
#include "testsupport/test_scene.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::ProgramDriver;
using testsupport::TraceCapture;

constexpr uint32_t kTheatre = CTamvikMap::kTheatre;
constexpr uint32_t kHaunted = CTamvikMap::kHauntedHouse;

void UseBuilding(uint32_t building) {
  GetAdvState()->setMapLevelSet(building == kHaunted ? 1 : 0);
}

// ---- The walking graph read back from the route table ----

struct Graph {
  std::vector<uint16_t> nodes;
  std::map<uint16_t, std::set<uint16_t>> edges;  // both directions
};

Graph ReadGraph(uint32_t building) {
  size_t size = 0;
  const uint8_t* table = CTamvikMap::RouteTable(building, &size);
  Graph graph;
  size_t i = 0;
  while (i < size) {
    const uint16_t node = table[i++];
    bool branch_start = true;
    for (; i < size && table[i] != 255; ++i) {
      if (table[i] == 0) {
        branch_start = true;
        continue;
      }
      if (branch_start && node != 0) {
        graph.edges[node].insert(table[i]);
        graph.edges[table[i]].insert(node);
      }
      branch_start = false;
    }
    ++i;
    if (node != 0) graph.nodes.push_back(node);
  }
  return graph;
}

// The connected parts of the graph, each in depth-first order from its lowest node.
std::vector<std::vector<uint16_t>> Parts(const Graph& graph) {
  std::vector<std::vector<uint16_t>> parts;
  std::set<uint16_t> seen;
  for (uint16_t start : graph.nodes) {
    if (seen.count(start) != 0) continue;
    std::vector<uint16_t> part;
    std::vector<uint16_t> stack{start};
    while (!stack.empty()) {
      const uint16_t node = stack.back();
      stack.pop_back();
      if (!seen.insert(node).second) continue;
      part.push_back(node);
      const auto it = graph.edges.find(node);
      if (it == graph.edges.end()) continue;
      for (auto n = it->second.rbegin(); n != it->second.rend(); ++n) {
        if (seen.count(*n) == 0) stack.push_back(*n);
      }
    }
    parts.push_back(part);
  }
  return parts;
}

// ---- Routes and tables ----

TEST(MapRoutes, NextHopCases) {
  testsupport::TestScene scene;
  struct Case {
    uint32_t building;
    uint16_t from, to, hop;
  };
  const Case cases[] = {
      {kTheatre, 3, 16, 15},    // through the second branch
      {kTheatre, 3, 8, 13},     // in no branch: the last
      {kTheatre, 3, 5, 4},      // a destination of the first branch
      {kTheatre, 3, 4, 4},      // the neighbour itself
      {kTheatre, 5, 5, 5},      // already there
      {kTheatre, 99, 3, 99},    // no group: the node itself
      {kTheatre, 259, 3, 259},  // beyond a byte: no group (not node 3)
      {kTheatre, 0, 3, 0},      // node 0 has no branch
      {kTheatre, 3, 99, 13},    // unknown target: the default branch
      {kHaunted, 102, 111, 112},  // the corrected group
      {kHaunted, 17, 9, 18},      // 9 is in another part: the default
      {kHaunted, 115, 101, 102},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
    UseBuilding(c.building);
    EXPECT_EQ(CTamvikMap::NextHopTmap(c.from, c.to), c.hop);
    EXPECT_EQ(CTamvikMap::NextHopFuka(c.from, c.to), c.hop);  // byte 21 picks the table
  }
  // Byte 21 switches the table: 3 -> 16 on the haunted house's.
  UseBuilding(kHaunted);
  EXPECT_EQ(CTamvikMap::NextHopTmap(3, 16), 16);
  UseBuilding(kTheatre);
  EXPECT_EQ(CTamvikMap::NextHopFuka(3, 16), 15);
}

// Every pair of nodes in one connected part reaches its target by following the next hops, in
// fewer hops than the building has nodes, and every hop is a straight line between two nodes
// with positions on the building's table.
TEST(MapRoutes, EveryRouteOfBothBuildingsArrives) {
  testsupport::TestScene scene;
  struct Building {
    uint32_t kind;
    size_t nodes;
    size_t parts;
    int longest;
  };
  for (const Building& b : {Building{kTheatre, 83, 3, 19}, Building{kHaunted, 55, 3, 12}}) {
    SCOPED_TRACE(b.kind);
    UseBuilding(b.kind);
    const Graph graph = ReadGraph(b.kind);
    ASSERT_EQ(graph.nodes.size(), b.nodes);
    const auto parts = Parts(graph);
    EXPECT_EQ(parts.size(), b.parts);  // a part per floor; the haunted ground floor is two
    for (const auto& [node, neighbours] : graph.edges) {
      int x = 0, y = 0;
      ASSERT_TRUE(CTamvikMap::NodePosition(b.kind, node, &x, &y)) << node;
      for (uint16_t n : neighbours) {
        int nx = 0, ny = 0;
        ASSERT_TRUE(CTamvikMap::NodePosition(b.kind, n, &nx, &ny)) << n;
        EXPECT_TRUE(nx == x || ny == y) << node << " - " << n;
      }
    }
    int longest = 0;
    for (const auto& part : parts) {
      for (uint16_t from : part) {
        for (uint16_t to : part) {
          uint16_t at = from;
          int hops = 0;
          while (at != to && hops <= static_cast<int>(b.nodes)) {
            const uint16_t next = CTamvikMap::NextHopTmap(at, to);
            ASSERT_EQ(graph.edges.at(at).count(next), 1u) << at << " -> " << next;
            at = next;
            ++hops;
          }
          ASSERT_EQ(at, to) << "from " << from << " the route to " << to << " goes round";
          longest = std::max(longest, hops);
        }
      }
    }
    EXPECT_EQ(longest, b.longest);
  }
}

TEST(MapTables, NodePositionsStaircasesAndPlaces) {
  testsupport::TestScene scene;
  CTamvikMap& map = scene.scene().map;
  TraceCapture trace;

  // Positions are the stored values doubled; an unknown node leaves the last position.
  map.map_kind = kTheatre;
  EXPECT_TRUE(map.SetNodePos(3));
  EXPECT_EQ(map.node_x, 204);
  EXPECT_EQ(map.node_y, 194);
  EXPECT_FALSE(map.SetNodePos(99));
  EXPECT_FALSE(map.SetNodePos(0));
  EXPECT_EQ(map.node_x, 204);
  EXPECT_EQ(map.node_y, 194);
  map.map_kind = kHaunted;
  EXPECT_TRUE(map.SetNodePos(126));
  EXPECT_EQ(map.node_x, 446);
  EXPECT_EQ(map.node_y, 76);
  map.map_kind = 0;  // no map loaded: no table
  EXPECT_FALSE(map.SetNodePos(3));

  struct Stair {
    uint32_t building;
    uint16_t node, pair;
  };
  const Stair stairs[] = {
      {kTheatre, 1, 111}, {kTheatre, 111, 1}, {kTheatre, 110, 209}, {kTheatre, 210, 119},
      {kTheatre, 13, 13}, {kTheatre, 5, 5},   {kHaunted, 5, 104},   {kHaunted, 106, 9},
      {kHaunted, 1, 1},
  };
  for (const Stair& s : stairs) {
    SCOPED_TRACE(s.node);
    const uint16_t pair = s.building == kTheatre ? CTamvikMap::KaidanPairTmap(s.node)
                                                 : CTamvikMap::KaidanPairFuka(s.node);
    EXPECT_EQ(pair, s.pair);
    UseBuilding(s.building);
    trace.Clear();
    const int on = CTamvikMap::IsOnKaidan(s.node);
    EXPECT_EQ(on, s.pair != s.node ? 1 : 0);
    const char* expected = s.pair == s.node        ? "Not On Kaidan\n"
                           : s.building == kTheatre ? "OnTmapKaidan\n"
                                                    : "OnFukagawaKaidan\n";
    EXPECT_TRUE(trace.Contains(expected));
  }

  struct Place {
    uint32_t kind;
    uint16_t floor, place, node;
  };
  const Place places[] = {
      {kTheatre, 0, 11, 1},  {kTheatre, 0, 2, 2},   {kTheatre, 1, 12, 111}, {kTheatre, 1, 19, 115},
      {kTheatre, 2, 3, 209}, {kTheatre, 2, 15, 210}, {kTheatre, 0, 1, 0},   {kTheatre, 0, 13, 0},
      {kTheatre, 3, 2, 0},   {kHaunted, 0, 9, 9},   {kHaunted, 0, 12, 12}, {kHaunted, 1, 6, 106},
      {kHaunted, 1, 11, 0},  {kHaunted, 2, 1, 0},   {0, 0, 11, 0},  // no map loaded
  };
  for (const Place& p : places) {
    SCOPED_TRACE(std::to_string(p.kind) + "/" + std::to_string(p.floor) + "/" +
                 std::to_string(p.place));
    map.map_kind = p.kind;
    EXPECT_EQ(map.PlaceToNode(p.floor, p.place), p.node);
  }
  // The label and level columns.
  const CTamvikMap::PlaceRow* row = CTamvikMap::FindPlace(kHaunted, 0, 12);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->label, 82);
  EXPECT_EQ(row->level, 4);
  row = CTamvikMap::FindPlace(kTheatre, 2, 16);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->label, 85);
}

// ---- The puppet and the slide on the headless program ----

// Whether the puppet's layer was asked to update when the last task of the pass ran (the owner
// clears the bit before the puppet runs).
bool g_fg_update = false;

void TestOwner(GameTaskRec*) {
  Scene().map.SaveMousePos();
  Ctx().ddraw.SetUpdate(SURFACE_FG, 0);
}

void TestObserver(GameTaskRec*) { g_fg_update = Ctx().ddraw.IsUpdate(SURFACE_FG) != 0; }

// The program with a test owner task in place of the map sequence, the label files in its
// install tree, the map object set for a building and the puppet started on a node.
class MapRig {
 public:
  explicit MapRig(uint32_t building, uint16_t node, uint32_t frame_ms = 17) : d(Options(frame_ms)) {
    d.tree.Write("install/Tamvik1/Map/TMAP2.SPR", testsupport::MapLabelSprFile(kTheatre));
    d.tree.Write("install/Tamvik1/Map/Fukagawa.spr", testsupport::MapLabelSprFile(kHaunted));
    started = d.Start();
    if (!started) return;
    UseBuilding(building);
    map().map_kind = building;
    map().label_file = TamvikFunc::LoadAnmFile(building == kTheatre ? "Tamvik1\\map\\tmap2.spr"
                                                                    : "Tamvik1\\map\\fukagawa.spr");
    map().current_node = node;
    // Only the puppet's layer composes: each frame of a walk is a compose.
    for (SurfaceId layer = SURFACE_ROOT; layer <= SURFACE_TEXT; ++layer) {
      Ctx().ddraw.SetVisible(layer, layer == SURFACE_FG ? 1 : 0);
    }
    Ctx().game_task.SetTaskSimple(nullptr, &TestOwner, "MapTestOwner");
    owner = Ctx().game_task.FindTask("MapTestOwner");
    CTamvikMap::StartPapetSeq(owner, "KadrunPapet");
    Ctx().game_task.SetTaskSimple(nullptr, &TestObserver, "MapTestObserver");
  }

  static ProgramDriver::Options Options(uint32_t frame_ms) {
    ProgramDriver::Options options;
    options.boot = [] {};
    options.frame_ms = frame_ms;
    options.pump_audio = false;  // no sound here: the device need not mix
    return options;
  }

  CTamvikMap& map() { return d.scene.map; }
  PapetWork* work() {
    GameTaskRec* task = Ctx().game_task.FindTask(CTamvikMap::kPapetTaskName);
    return task != nullptr ? TaskWorkAs<PapetWork>(task) : nullptr;
  }
  int state() { return CTamvikMap::GetPapetState(); }
  // The puppet's animation and loop flag; (-1, -1) without one.
  std::pair<int, int> Playing() {
    SpxAnimeBlock* block = d.scene.tamvik_spr.spx()->Block(map().puppet);
    if (block == nullptr) return {-1, -1};
    return {static_cast<int>(block->animation), static_cast<int>(block->loop)};
  }
  std::pair<int, int> PuppetPos() {
    int x = -1, y = -1;
    d.scene.tamvik_spr.spx()->GetSpxPos(map().puppet, &x, &y);
    return {x, y};
  }
  std::pair<int, int> NodePos(uint16_t node) {
    int x = -1, y = -1;
    CTamvikMap::NodePosition(map().map_kind, node, &x, &y);
    return {x, y};
  }
  // Frames until the puppet's state satisfies the test; -1 when the limit runs out.
  template <class Test>
  int StepUntil(Test test, int limit) {
    for (int i = 1; i <= limit; ++i) {
      if (!d.Step()) return -1;
      if (test(state())) return i;
    }
    return -1;
  }
  void Walk(uint16_t target, uint16_t flag) {
    map().go_target = target;
    map().go_flag = flag;
    CTamvikMap::SetPapetState(CTamvikMap::kPapetWalk);
  }

  ProgramDriver d;
  GameTaskRec* owner = nullptr;
  bool started = false;
};

TEST(MapPuppet, IdlesOnItsNodeAndTurnsAfterThreeHundredStillFrames) {
  MapRig rig(kTheatre, 3);
  ASSERT_TRUE(rig.started);
  rig.d.Schedule(testsupport::PointerMove(1, 10, 10));
  ASSERT_TRUE(rig.d.Step());
  // State 0: the system pointer on the node, the puppet standing there.
  EXPECT_EQ(rig.d.host().input.cursor_x, 204);
  EXPECT_EQ(rig.d.host().input.cursor_y, 194);
  EXPECT_EQ(rig.state(), CTamvikMap::kPapetIdle);
  EXPECT_EQ(rig.Playing(), std::make_pair(5, 1));
  EXPECT_EQ(rig.PuppetPos(), std::make_pair(204, 194));

  // Still from the next frame on: 6 once after 300 frames, then 7 looping.
  std::vector<std::pair<int, int>> seen{rig.Playing()};
  int turned_at = -1;
  for (int i = 1; i <= 340; ++i) {
    ASSERT_TRUE(rig.d.Step());
    if (rig.Playing() != seen.back()) {
      seen.push_back(rig.Playing());
      if (turned_at < 0) turned_at = i;
    }
  }
  const std::vector<std::pair<int, int>> expected{{5, 1}, {6, 0}, {7, 1}};
  EXPECT_EQ(seen, expected);
  EXPECT_GE(turned_at, 299);
  EXPECT_LE(turned_at, 301);
  EXPECT_EQ(rig.state(), CTamvikMap::kPapetIdleLoop);

  // A pointer move brings the standing puppet back, and the count starts again.
  rig.d.Schedule(testsupport::PointerMove(rig.d.frame() + 1, 300, 200));
  ASSERT_TRUE(rig.d.Step());
  EXPECT_EQ(rig.Playing(), std::make_pair(5, 1));
  EXPECT_EQ(rig.state(), CTamvikMap::kPapetIdle);
  ASSERT_TRUE(rig.d.Run(10));
  EXPECT_EQ(rig.Playing(), std::make_pair(5, 1));
}

// A 100-pixel leg (theatre 3 down to 4): 4 pixels a frame, 8 with key 2 held; the position
// follows the game time whatever frames the gate drops; the layer asked to update while walking.
TEST(MapPuppet, WalkTimingFollowsTheGameClock) {
  struct Case {
    uint32_t frame_ms;
    bool fast;
    int min_frames, max_frames;
  };
  // 17 ms frames are a little longer than 1/60 s: now and then a frame carries two.
  for (const Case& c : {Case{17, false, 24, 25}, Case{17, true, 12, 13}, Case{34, false, 12, 13},
                        Case{50, false, 8, 9}}) {
    SCOPED_TRACE(std::to_string(c.frame_ms) + (c.fast ? " fast" : ""));
    MapRig rig(kTheatre, 3, c.frame_ms);
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.d.Run(2));
    if (c.fast) rig.d.Schedule(testsupport::GameKeyDown(rig.d.frame() + 1, kGameKey2));
    rig.Walk(4, 1);
    int moving_frames = 0;
    const int start_y = rig.work()->y;
    for (int i = 0; i < 100 && rig.state() != CTamvikMap::kPapetArrive; ++i) {
      const int before = rig.work()->y;
      ASSERT_TRUE(rig.d.Step());
      if (rig.state() == CTamvikMap::kPapetMove || rig.work()->y != before) {
        const int moved = rig.work()->y - start_y;
        if (rig.work()->y != before) {
          ++moving_frames;
          EXPECT_TRUE(g_fg_update);
          EXPECT_EQ(rig.PuppetPos().second, rig.work()->y);
          EXPECT_EQ(rig.Playing(), std::make_pair(0, 1));  // down
        }
        if (rig.state() == CTamvikMap::kPapetMove) {
          // Distance = pixels a 1/60 s frame x the timer's frames, within the gate's 16 ms.
          const int ms = Ctx().anime.GetTimer(rig.map().walk_timer, 1, 0);
          const int per_frame = c.fast ? 8 : 4;
          EXPECT_NEAR(moved, per_frame * ms * 60.0 / 1000, 2 * per_frame) << ms;
        }
      }
    }
    EXPECT_EQ(rig.work()->y, 294);
    EXPECT_EQ(rig.map().current_node, 4);
    EXPECT_GE(moving_frames, c.min_frames);
    EXPECT_LE(moving_frames, c.max_frames);
  }
}

// Each leg of a bent route plays the animation of its direction; the puppet stops on each node.
TEST(MapPuppet, BentRouteTurnsOnEachNode) {
  MapRig rig(kTheatre, 3);
  ASSERT_TRUE(rig.started);
  ASSERT_TRUE(rig.d.Run(2));
  rig.Walk(16, 0);  // 3 left to 15, then down to 16
  std::vector<int> animations;
  std::vector<uint16_t> nodes{3};
  int pictures = 0;
  for (int i = 0; i < 200 && rig.state() != CTamvikMap::kPapetDone; ++i) {
    const int presented = rig.d.presented();
    ASSERT_TRUE(rig.d.Step());
    if (animations.empty() || animations.back() != rig.Playing().first) {
      animations.push_back(rig.Playing().first);
    }
    // The picture shows the square of the animation playing, where the puppet stands.
    if (rig.d.presented() != presented) {
      ++pictures;
      const auto [x, y] = rig.PuppetPos();
      const uint32_t colour = testsupport::SprColourRef(
          testsupport::MapPuppetColour(kTheatre, static_cast<uint32_t>(rig.Playing().first)));
      EXPECT_EQ(rig.d.display().FramePixel(x + 2, y + 2),
                platform::PackColorRef(colour, platform::PixelLayout::kRgb565));
    }
    if (rig.map().current_node != nodes.back()) {
      nodes.push_back(rig.map().current_node);
      EXPECT_EQ(rig.PuppetPos(), rig.NodePos(rig.map().current_node));
    }
  }
  EXPECT_EQ(rig.state(), CTamvikMap::kPapetDone);
  EXPECT_EQ(animations, (std::vector<int>{2, 0, 13}));  // left, down, arrival facing down
  EXPECT_EQ(nodes, (std::vector<uint16_t>{3, 15, 16}));
  EXPECT_GE(pictures, 10);  // each walking frame composes
}

// What the arrival plays, for how long, and what it does with the stairs stack.
TEST(MapPuppet, ArrivalByFlagAndStaircase) {
  struct Case {
    uint16_t from, to, flag;
    int animation, frames;
    uint16_t depth_after;
    bool forced_clear;
  };
  const Case cases[] = {
      {3, 4, 1, 9 + 0, 80, 0, false},   // the end of a trip, facing down
      {18, 1, 0, 13 + 2, 30, 2, false},  // on the way, onto a staircase end: the stack stays
      {3, 13, 0, 13 + 3, 30, 0, true},   // on the way, onto no staircase: cleared
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
    MapRig rig(kTheatre, c.from);
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.d.Run(2));
    rig.map().stack_depth = 2;
    TraceCapture trace;
    rig.Walk(c.to, c.flag);
    ASSERT_GT(rig.StepUntil([](int s) { return s == CTamvikMap::kPapetArriving; }, 100), 0);
    EXPECT_EQ(rig.Playing(), std::make_pair(c.animation, 1));
    EXPECT_EQ(rig.map().stack_depth, c.depth_after);
    EXPECT_EQ(rig.StepUntil([](int s) { return s == CTamvikMap::kPapetDone; }, 200), c.frames);
    EXPECT_EQ(rig.map().walk_timer, nullptr);
    EXPECT_EQ(rig.map().current_node, c.to);
    std::string text;
    for (const auto& line : trace.lines()) text += line.text;
    const size_t not_on = text.find("Not On Kaidan\n");
    const size_t force = text.find("MapStackPointer Force Clear\n");
    if (c.forced_clear) {
      ASSERT_NE(not_on, std::string::npos);
      ASSERT_NE(force, std::string::npos);
      EXPECT_LT(not_on, force);
    } else {
      EXPECT_EQ(force, std::string::npos);
    }
    if (c.flag == 0 && !c.forced_clear) {
      EXPECT_TRUE(trace.Contains("OnTmapKaidan\n"));
    }
  }
}

// Targets the graph cannot reach and nodes it does not know end the walk at the node reached,
// with a trace, within the building's node count of hops.
TEST(MapPuppet, UnreachableAndUnknownTargetsEndTheWalk) {
  struct Case {
    uint32_t building;
    uint16_t from, to;
    const char* trace;
  };
  const Case cases[] = {
      {kHaunted, 17, 9, "hop limit reached"},  // the other part of the ground floor
      {kHaunted, 3, 99, "hop limit reached"},  // no node (as a node of another floor)
      {kTheatre, 99, 3, "no route"},           // standing on no node
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
    // Long frames keep it short: a leg a frame.
    MapRig rig(c.building, c.from, 500);
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.d.Run(2));
    TraceCapture trace;
    rig.Walk(c.to, 1);
    int hops = 0;
    uint16_t at = c.from;
    for (int i = 0; i < 2000 && rig.state() != CTamvikMap::kPapetDone; ++i) {
      ASSERT_TRUE(rig.d.Step());
      if (rig.map().current_node != at) {
        at = rig.map().current_node;
        ++hops;
      }
    }
    ASSERT_EQ(rig.state(), CTamvikMap::kPapetDone);
    EXPECT_TRUE(trace.Contains(c.trace));
    EXPECT_LE(hops, CTamvikMap::NodeCount(c.building));
    EXPECT_NE(rig.map().current_node, c.to);
    if (c.from != 99) {
      EXPECT_EQ(rig.PuppetPos(), rig.NodePos(rig.map().current_node));
    }
  }
}

// The slide from floor 0 to floor 2: 32 moves of 30 pixels 16 ms apart, the puppet gone while it
// runs and then standing on the last leg's destination (mode 2) or on its node (mode 0).
TEST(MapSlide, ScrollsToTheFloorAndPutsThePuppetBack) {
  struct Case {
    uint32_t mode;
    uint16_t node;
  };
  for (const Case& c : {Case{2, 209}, Case{0, 3}}) {
    SCOPED_TRACE(c.mode);
    MapRig rig(kTheatre, 3);
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.d.Run(2));
    ASSERT_EQ(Ctx().ddraw.ResizeSurface(SURFACE_BG, 1, 640, 1440), 1);
    Ctx().ddraw.SetLayerScroll(SURFACE_BG, 0, 960);
    rig.map().stack_depth = 2;
    rig.map().map_stack[0] = {0, 11, 1, 12};
    rig.map().map_stack[1] = {1, 11, 2, 3};  // comes out on floor 2's place 3, node 209
    ASSERT_NE(CTamvikMap::StartSlideFloor(rig.owner, 2, c.mode), nullptr);
    EXPECT_FALSE(CTamvikMap::IsSlideFloorEnd());

    std::vector<int> views;
    bool puppet_gone = true;
    int frames = 0;
    while (!CTamvikMap::IsSlideFloorEnd() && frames < 100) {
      ASSERT_TRUE(rig.d.Step());
      ++frames;
      int x = 0, y = 0;
      Ctx().ddraw.GetLayerScroll(SURFACE_BG, &x, &y);
      if (views.empty() || views.back() != y) views.push_back(y);
      if (rig.map().slide_scroll != nullptr && rig.map().puppet != nullptr) puppet_gone = false;
    }
    ASSERT_TRUE(CTamvikMap::IsSlideFloorEnd());
    EXPECT_TRUE(puppet_gone);
    ASSERT_FALSE(views.empty());
    EXPECT_EQ(views.back(), 0);
    // Every change a whole number of 30-pixel moves, 32 of them in about 32 x 16 ms.
    int moves = 0;
    int last = 960;
    for (int v : views) {
      EXPECT_EQ((last - v) % 30, 0) << v;
      moves += (last - v) / 30;
      last = v;
    }
    EXPECT_EQ(moves, 32);
    EXPECT_GE(frames, 30);
    EXPECT_LE(frames, 40);
    EXPECT_EQ(rig.Playing(), std::make_pair(5, 1));
    EXPECT_EQ(rig.PuppetPos(), rig.NodePos(c.node));
    EXPECT_EQ(rig.work()->x, rig.NodePos(c.node).first);
    EXPECT_EQ(rig.map().current_node, 3);  // the node itself changes with the next sequence
  }
}

// The puppet walks every part of both buildings node by node, each walk ending on its target
// on the node's pixel. With TAMVIK_MAP_FRAMES=<folder> every presented frame is written there as
// a PNG to look at.
TEST(MapPuppet, WalksEveryPartOfBothBuildings) {
  const char* folder = std::getenv("TAMVIK_MAP_FRAMES");
  for (uint32_t building : {kTheatre, kHaunted}) {
    SCOPED_TRACE(building);
    // Long frames keep it short (a leg a frame); frames to look at are 1/30 s.
    MapRig rig(building, 0, folder != nullptr ? 34 : 500);
    ASSERT_TRUE(rig.started);
    const auto parts = Parts(ReadGraph(building));
    int picture = 0;
    int presented = rig.d.presented();
    for (const auto& part : parts) {
      rig.map().current_node = part.front();
      CTamvikMap::SetPapetState(CTamvikMap::kPapetStart);
      ASSERT_GT(rig.StepUntil([](int s) { return s != CTamvikMap::kPapetStart; }, 5), 0);
      for (uint16_t target : part) {
        rig.Walk(target, 0);
        int frames = 0;
        for (; frames < 400 && rig.state() < CTamvikMap::kPapetArrive; ++frames) {
          ASSERT_TRUE(rig.d.Step());
          if (folder != nullptr && rig.d.presented() != presented) {
            presented = rig.d.presented();
            char name[64];
            std::snprintf(name, sizeof(name), "/map_%u_%05d.png", building, picture++);
            EXPECT_TRUE(rig.d.display().SaveFramePng(std::string(folder) + name));
          }
        }
        ASSERT_LT(frames, 400) << "toward " << target;
        ASSERT_EQ(rig.map().current_node, target);
        ASSERT_EQ(rig.PuppetPos(), rig.NodePos(target));
      }
    }
  }
}

}  // namespace
