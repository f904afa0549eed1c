// The map planes: the plane table's commands and messages, the per-frame draw of the tiled
// planes (banks, own scroll, raster, keying, the priority plane's per-tile depth), long runs,
// negative and far views, the tone change, and a captured two-plane frame in both layouts.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_map.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_stage.h"
#include "battle/slg_task.h"
#include "battle/slg_units.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/gfx/display/ddraw_func.h"
#include "platform/display.h"
#include "platform/surface.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_map_writer.h"
#include "testsupport/stage_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/trace_capture.h"

namespace {

using platform::PixelLayout;
using testsupport::BattleRig;
using testsupport::GridBank;
using testsupport::MapBankFile;
using testsupport::MapTabWriter;
using testsupport::MapTile;
using testsupport::TraceCapture;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0 && a < 0) ? 1 : 0); }
int64_t FloorMod(int64_t a, int64_t b) { return ((a % b) + b) % b; }

// One entry of surface 4's buffer as drawn.
struct Drawn {
  SprRec* sprite;
  int x, y;
  int priority;
  uint32_t key;
  BlendWord alpha;
  bool operator<(const Drawn& o) const {
    return std::tie(priority, y, x) < std::tie(o.priority, o.y, o.x);
  }
};

class MapRig {
 public:
  explicit MapRig(PixelLayout layout = PixelLayout::kRgb565) : rig(Options(layout)) {
    Battle().flags |= 0x2;
  }
  ~MapRig() { SlgMap::FreeMap(); }

  static BattleRig::Options Options(PixelLayout layout) {
    BattleRig::Options o;
    o.layout = layout;
    return o;
  }
  testsupport::GameTree& tree() { return rig.driver().tree; }
  void Bank(const std::string& name, const std::vector<MapTile>& tiles) {
    testsupport::LayMapFile(tree(), 0, name, MapBankFile(tiles));
  }
  void Load(const MapTabWriter& tab) {
    tab.Lay(tree(), 0);
    SlgMap::LoadMapTable(0);
  }
  // The map clock put f frames (at 60 a second) behind the game clock.
  static void SetFrames(int64_t f) {
    const auto now = static_cast<uint32_t>(Ctx().frame_rate.GetTime());
    Battle().map.clock = now - static_cast<uint32_t>((f * 1000 + 59) / 60);
  }
  // Every entry of surface 4's buffer, removed from it.
  static std::vector<Drawn> Take() {
    std::vector<Drawn> out;
    CDdrawSpr& spr = Ctx().ddraw_spr;
    SprBuffer* b = spr.FindBuffer(SURFACE_ROOT, nullptr);
    if (b == nullptr) return out;
    std::vector<SprBufferEntry*> live;
    for (int p = 0; p < SprBuffer::kPriorityCount; ++p) {
      for (SprLink* l = b->head[p].next; l != nullptr && l != &b->tail[p]; l = l->next) {
        auto* e = static_cast<SprBufferEntry*>(l);
        out.push_back({e->sprite, e->x, e->y, e->priority, e->color_key, e->alpha});
        live.push_back(e);
      }
    }
    for (SprBufferEntry* e : live) spr.DeleteBuffer(&e);
    std::sort(out.begin(), out.end());
    return out;
  }
  static SlgMapPlane* Plane(int n) { return Battle().map.planes[static_cast<size_t>(n)].get(); }

  BattleRig rig;
};

// Sparse 64 x 64 grids: the columns and rows a test's views reach (0-11 and 28-31 each way), so
// that the files stay small.
std::vector<MapTile> SparseBank(int bank) {
  std::vector<MapTile> tiles;
  for (const MapTile& t : GridBank(64, 64, 32, 32, bank)) {
    const int c = t.x / 64, r = t.y / 64;
    if ((c < 12 || c >= 28) && (r < 12 || r >= 28)) tiles.push_back(t);
  }
  return tiles;
}

// The sprite a bank file holds for tile (c, r) of a 64 x 64 grid, through its records.
std::map<std::pair<int, int>, SprRec*> TileSprites(const SlgMapBank& bank) {
  std::map<std::pair<int, int>, SprRec*> out;
  CTamvikSpr& spr = Scene().tamvik_spr;
  for (uint32_t i = 0; i < spr.GetSlgMapDataNum(bank.file); ++i) {
    int32_t x = 0, y = 0;
    spr.GetSlgMapData(bank.file, i, &x, &y);
    out[{x / 64, y / 64}] = spr.GetSlgMapSprID(bank.file, i);
  }
  return out;
}

// What a plane of 64 x 64 tiles (32 x 32 of them) draws, from the plane's words as the draw rules
// state them, in exact arithmetic.
std::vector<Drawn> Expected(const SlgMapPlane& p, const std::map<std::pair<int, int>, SprRec*>& tiles,
                            int64_t x, int64_t y, int64_t f, int priority, uint32_t key) {
  int64_t px = p.offset_x + x, py = p.offset_y + y;
  if (p.scroll_x != 0 || p.scroll_y != 0) {
    px = FloorMod(FloorDiv(int64_t{p.scroll_x} * f + px * 65536, 65536), 2048);
    py = FloorMod(FloorDiv(int64_t{p.scroll_y} * f + py * 65536, 65536), 2048);
  }
  std::vector<Drawn> out;
  for (int64_t r = FloorDiv(py, 64); r <= FloorDiv(py + 479, 64); ++r) {
    for (int64_t c = FloorDiv(px, 64); c <= FloorDiv(px + 639, 64); ++c) {
      auto it = tiles.find({static_cast<int>(FloorMod(c, 32)), static_cast<int>(FloorMod(r, 32))});
      if (it == tiles.end()) continue;
      int64_t dx = 0, dy = 0;
      if (p.raster_w != 0 || p.raster_h != 0) {
        const int64_t phase = FloorMod((r * 64 - py) * p.line_rad + p.time_rad * f, 512);
        dx = FloorDiv(SlgSin(static_cast<int32_t>(phase)) * int64_t{p.raster_w}, 16384);
        dy = FloorDiv(SlgSin(static_cast<int32_t>(phase)) * int64_t{p.raster_h}, 16384);
      }
      out.push_back({it->second, static_cast<int>(c * 64 - px + dx),
                     static_cast<int>(r * 64 - py + dy), priority, key, p.alpha});
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

bool Same(const std::vector<Drawn>& a, const std::vector<Drawn>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].sprite != b[i].sprite || a[i].x != b[i].x || a[i].y != b[i].y ||
        a[i].priority != b[i].priority || a[i].key != b[i].key || a[i].alpha != b[i].alpha) {
      return false;
    }
  }
  return true;
}

// ---- The plane table ----

struct TabCase {
  const char* name;
  std::vector<std::string> lines;
  const char* trace;  // a fragment the load must trace ("" none)
  void (*check)();
};

void NoPlanes() {
  for (int n = 0; n < 4; ++n) EXPECT_EQ(MapRig::Plane(n), nullptr) << n;
}

std::string SixtyFiveBanks() {
  std::string line = "Ground: File:";
  for (int i = 0; i < 65; ++i) line += " a.spr";
  return line;
}

const TabCase kTabCases[] = {
    {"unknown plane stops",
     {"Sky: File: a.spr", "Water: File: a.spr", "Ground: File: a.spr"},
     "Map01.TAB:2: Error: No match Plane 'Water:'.",
     [] {
       EXPECT_NE(MapRig::Plane(1), nullptr);
       EXPECT_EQ(MapRig::Plane(0), nullptr);
     }},
    {"unknown command stops",
     {"# a comment", "", "Ground: File: a.spr", "Ground: Zoom: 1", "Sky: File: a.spr"},
     "4 : Error: No match Command 'Zoom:'.",
     [] {
       EXPECT_NE(MapRig::Plane(0), nullptr);
       EXPECT_EQ(MapRig::Plane(1), nullptr);
     }},
    {"frame interval 0 ignored",
     {"Ground: File: a.spr", "Ground: FrameInt: 0", "Sky: File: a.spr", "Sky: FrameInt: 3"},
     "Illegal Frame Int 0 !",
     [] {
       EXPECT_EQ(MapRig::Plane(0)->frame_int, 8);
       EXPECT_EQ(MapRig::Plane(1)->frame_int, 3);
     }},
    {"65th bank refused",
     {SixtyFiveBanks()},
     "バンクの定義数（65）が多すぎます",
     [] { EXPECT_EQ(MapRig::Plane(0)->bank_count, 64); }},
    {"priority file before its plane does nothing",
     {"Priority: PrioFile: prio.bin", "Priority: File: a.spr", "Ground: PrioFile: prio.bin"},
     "",
     [] {
       EXPECT_NE(MapRig::Plane(2), nullptr);
       EXPECT_EQ(Battle().map.prio[0], 0u);
     }},
    {"priority file after its plane",
     {"Priority: File: a.spr", "Priority: PrioFile: prio.bin"},
     "SlgMap: Map Priority Data Load.",
     [] {
       EXPECT_EQ(Battle().map.prio[0], 0x01020304u);
       EXPECT_EQ(Battle().map.prio[86 * 86 - 1], 0xA0B0C0D0u);
       EXPECT_EQ(SlgMap::GetPlaneDepth(2), 65535);
     }},
    {"missing priority file",
     {"Priority: File: a.spr", "Priority: PrioFile: none.bin"},
     "Can't open priority plane data (",
     [] { EXPECT_EQ(Battle().map.prio[0], 0u); }},
    {"night mode only on the whole-map plane",
     {"Ground: File: a.spr", "Ground: NightMode", "Ground: NoZako"},
     "",
     [] {
       EXPECT_EQ(SlgMap::IsNightMode(), 0);
       EXPECT_EQ(SlgMap::IsNoZako(), 0);
     }},
    {"night mode and no common enemies",
     {"AllMapImage: NightMode", "AllMapImage: NoZako"},
     "SlgMap: Set No Zako Mode",
     [] {
       EXPECT_EQ(SlgMap::IsNightMode(), 1);
       EXPECT_EQ(Battle().night_mode, 1u);
       EXPECT_EQ(SlgMap::IsNoZako(), 1);
       NoPlanes();
     }},
    {"alpha and blend words",
     {"Ground: File: a.spr", "Ground: Alpha: 128", "Ground: AlphaMode: BlendBlack",
      "Sky: File: a.spr", "Sky: AlphaMode: Mesh", "Sky: AlphaMode: Purple"},
     "SlgMap: Illegal AlphaMode Purple!",
     [] {
       EXPECT_EQ(SlgMap::GetPlaneAlpha(0), 0x20080u);
       EXPECT_EQ(SlgMap::GetPlaneAlpha(1), 0x90100u);
       EXPECT_EQ(SlgMap::GetPlaneAlpha(3), 256u);
     }},
    {"scroll and raster words",
     {"Sky: File: a.spr", "Sky: Scroll: 1.5 -2", "Sky: Raster: Width:4 Height:-3 TimeRad: 5 LineRad: 6"},
     "SlgMap: plane1 scroll -98304 131072",
     [] {
       const SlgMapPlane* p = MapRig::Plane(1);
       EXPECT_EQ(p->scroll_x, -98304);
       EXPECT_EQ(p->scroll_y, 131072);
       EXPECT_EQ(std::tie(p->raster_w, p->raster_h, p->time_rad, p->line_rad),
                 std::make_tuple(4, -3, 5, 6));
     }},
    {"plane described twice keeps the first",
     {"Ground: File: a.spr", "Ground: File: b.spr"},
     "Map Plane Ground: is already described in '",
     [] {
       EXPECT_EQ(MapRig::Plane(0)->tile_w, 64);
       EXPECT_EQ(MapRig::Plane(0)->bank_count, 1);
     }},
    {"bank of another tile size ends the line",
     {"Ground: File: a.spr b.spr a.spr"},
     "マップの同一プレーン内での分割状態が異なっています",
     [] {
       const SlgMapPlane* p = MapRig::Plane(0);
       EXPECT_EQ(p->bank_count, 1);
       EXPECT_EQ(std::tie(p->tile_w, p->tile_h, p->cols, p->rows), std::make_tuple(64, 64, 32, 32));
     }},
    {"missing bank frees the plane",
     {"Ground: File: a.spr none.spr"},
     "マップファイルが存在しません",
     [] { NoPlanes(); }},
    {"first bank without sprites frees the plane",
     {"Ground: File: empty.spr"},
     "マップファイルが存在しません",
     [] { NoPlanes(); }},
    {"whole-map picture",
     {"AllMapImage: File: a.spr", "AllMapImage: File: a.spr"},
     "AllMapImage is allready registered.",
     [] {
       ASSERT_NE(Battle().map.all_map, nullptr);
       NoPlanes();
       SlgMap::DrawAllMap(5, 6);
       const auto drawn = MapRig::Take();
       ASSERT_EQ(drawn.size(), 1u);
       EXPECT_EQ(drawn[0].sprite, Battle().map.all_map);
       EXPECT_EQ(drawn[0].priority, SlgPriority(-1100));
       EXPECT_EQ(std::make_pair(drawn[0].x, drawn[0].y), std::make_pair(5, 6));
     }},
    {"hostile numbers",
     {"Sky: File: a.spr", "Sky: Scroll: 1e40 nan",
      "Sky: Raster: Width:2147483647 Height:-2147483648 TimeRad: 2147483647 LineRad: 2147483647",
      "Sky: Alpha: -5", "Sky: FrameInt: -2147483648", std::string(20000, 'x')},
     "Illegal Frame Int -2147483648 !",
     [] {
       const SlgMapPlane* p = MapRig::Plane(1);
       ASSERT_NE(p, nullptr);
       EXPECT_EQ(p->scroll_x, INT32_MIN);
       EXPECT_EQ(p->scroll_y, 0);
       EXPECT_EQ(p->alpha, 0xFFFBu);
       // Drawn far into a run with these words: no overflow (UBSan), one tile in view.
       MapRig::SetFrames(30000000);
       SlgMap::DrawMap(-7, 3);
       EXPECT_LE(MapRig::Take().size(), 1u);
     }},
    {"sprite outside the tiles ignored",
     {"Ground: File: out.spr"},
     "is outside the 32 x 32 tiles: ignored",
     [] {
       const SlgMapPlane* p = MapRig::Plane(0);
       ASSERT_NE(p, nullptr);
       const auto& tiles = p->banks[0].tiles;
       EXPECT_NE(tiles[0], nullptr);
       EXPECT_EQ(std::count(tiles.begin(), tiles.end(), nullptr),
                 static_cast<std::ptrdiff_t>(tiles.size() - 1));
     }},
};

TEST(SlgMapTableTest, CommandsAndMessages) {
  MapRig m;
  m.Bank("a.spr", {{64, 64, 0, 0, 0x7C00}});
  m.Bank("b.spr", {{32, 32, 0, 0, 0x03E0}});
  m.Bank("out.spr", {{64, 64, 0, 0, 0x7C00}, {64, 64, 4096, 0, 0x001F}, {64, 64, 0, 2048, 0x001F}});
  m.Bank("empty.spr", {});
  std::vector<uint32_t> heights(86 * 86, 0);
  heights[0] = 0x01020304;
  heights.back() = 0xA0B0C0D0;
  testsupport::LayMapFile(m.tree(), 0, "prio.bin", testsupport::PriorityFile(heights));
  for (const TabCase& c : kTabCases) {
    SCOPED_TRACE(c.name);
    SlgMap::FreeMap();
    Battle().night_mode = 1;  // cleared by the load
    Battle().map.prio.fill(7);
    MapTabWriter tab;
    for (const std::string& line : c.lines) tab.Raw(line);
    TraceCapture trace;
    m.Load(tab);
    if (c.trace[0] != '\0') {
      EXPECT_TRUE(trace.Contains(c.trace)) << c.trace;
    }
    c.check();
  }
}

// The stage load reads the table after the map data, from the stage's own folder.
TEST(SlgMapTableTest, StageSetupReadsTheTable) {
  MapRig m;
  testsupport::MinimalStage().Lay(m.tree());
  m.Bank("a.spr", {{64, 64, 0, 0, 0x7C00}});
  MapTabWriter().File("Ground:", {"a.spr"}).NightMode().Lay(m.tree(), 0);
  StageSetup(0);
  ASSERT_NE(MapRig::Plane(0), nullptr);
  EXPECT_EQ(MapRig::Plane(0)->depth, 357);
  EXPECT_EQ(SlgMap::IsNightMode(), 1);
  EXPECT_EQ(Battle().map.clock, static_cast<uint32_t>(Ctx().frame_rate.GetTime()));
}

// ---- Drawing ----

TEST(SlgMapDrawTest, TwoBanksCoverTheViewAndAlternate) {
  MapRig m;
  m.Bank("g0.spr", SparseBank(0));
  m.Bank("g1.spr", SparseBank(1));
  m.Bank("u.spr", {{64, 64, 0, 0, 0x001F}});
  m.Load(MapTabWriter().File("Ground:", {"g0.spr", "g1.spr"}).File("UnderGround:", {"u.spr"}));
  SlgMapPlane* ground = MapRig::Plane(0);
  ASSERT_NE(ground, nullptr);
  ASSERT_EQ(ground->bank_count, 2);
  const auto bank0 = TileSprites(ground->banks[0]);
  const auto bank1 = TileSprites(ground->banks[1]);
  const int ground_pri = SlgPriority(357);

  struct View {
    int64_t f;
    int32_t x, y, ox, oy;
    int bank;
  };
  const View views[] = {
      {0, 0, 0, 0, 0, 0},       {7, 0, 0, 0, 0, 0},      {8, 0, 0, 0, 0, 1},
      {15, 30, 20, 0, 0, 1},    {16, 30, 20, 0, 0, 0},   {24, 1800, -100, 0, 0, 1},
      {3, 100, 100, -2000, -300, 0},  // a negative plane offset: columns and rows below 0
      {5, 4000, 3936, 96, 64, 0},     // far past the plane's 2048 pixels
  };
  for (const View& v : views) {
    SCOPED_TRACE(testing::Message() << "f " << v.f << " view " << v.x << "," << v.y);
    SlgMap::SetPlaneOffset(0, v.ox, v.oy);
    MapRig::SetFrames(v.f);
    SlgMap::DrawMap(v.x, v.y);
    std::vector<Drawn> all = MapRig::Take();
    std::vector<Drawn> ground_drawn, under;
    for (const Drawn& d : all) (d.priority == ground_pri ? ground_drawn : under).push_back(d);
    const auto expected = Expected(*ground, v.bank == 0 ? bank0 : bank1, v.x, v.y, v.f,
                                   ground_pri, 1);
    EXPECT_FALSE(expected.empty());
    EXPECT_TRUE(Same(ground_drawn, expected))
        << ground_drawn.size() << " drawn, " << expected.size() << " expected";
    // UnderGround: its one tile repeats every 2048 pixels, drawn without the colour key.
    for (const Drawn& d : under) {
      EXPECT_EQ(d.priority, SlgPriority(367));
      EXPECT_EQ(d.key, 0u);
    }
  }
  // The view at (0, 0): 10 x 8 tiles, all present in the sparse grid.
  MapRig::SetFrames(0);
  SlgMap::SetPlaneOffset(0, 0, 0);
  SlgMap::DrawMap(0, 0);
  EXPECT_EQ(MapRig::Take().size(), 80u + 1u);

  // Disabled planes and a clear flag bit draw nothing.
  SlgMap::SetPlaneEnable(3, 0);
  SlgMap::DrawMap(0, 0);
  EXPECT_EQ(MapRig::Take().size(), 80u);
  Battle().flags &= static_cast<uint16_t>(~0x2);
  SlgMap::DrawMap(0, 0);
  EXPECT_TRUE(MapRig::Take().empty());
}

TEST(SlgMapDrawTest, OwnScrollWrapsAndLongRunsStayExact) {
  MapRig m;
  m.Bank("s.spr", SparseBank(0));
  m.Load(MapTabWriter()
             .File("Sky:", {"s.spr"})
             .Scroll("Sky:", 1, 0.5)
             .Raster("Sky:", 4, 2, 3, 2)
             .Alpha("Sky:", 200)
             .AlphaMode("Sky:", "Add"));
  SlgMapPlane* sky = MapRig::Plane(1);
  ASSERT_NE(sky, nullptr);
  const auto tiles = TileSprites(sky->banks[0]);
  const int pri = SlgPriority(-1099);
  // Frames 10 and 4096 + 10 (x moves 1 a frame, y 1/2) wrap to the same view; frames past 2^31 /
  // 65536 (32768) would overflow a 32-bit product.
  for (int64_t f : {int64_t{0}, int64_t{10}, int64_t{4106}, int64_t{1000000}, int64_t{1000001},
                    int64_t{1} << 25}) {
    SCOPED_TRACE(testing::Message() << "frame " << f);
    MapRig::SetFrames(f);
    SlgMap::DrawMap(37, 11);
    const auto drawn = MapRig::Take();
    const auto expected = Expected(*sky, tiles, 37, 11, f, pri, 1);
    EXPECT_FALSE(drawn.empty());
    EXPECT_TRUE(Same(drawn, expected)) << drawn.size() << " drawn, " << expected.size();
    for (const Drawn& d : drawn) EXPECT_EQ(d.alpha, 0x100C8u);
  }
}

TEST(SlgMapDrawTest, PriorityTilesTakeTheirSquaresDepth) {
  MapRig m;
  m.Bank("p.spr", SparseBank(0));
  std::vector<uint32_t> heights(86 * 86);
  for (size_t i = 0; i < heights.size(); ++i) heights[i] = static_cast<uint32_t>(i * 7 % 23);
  heights[5] = 0xFFFFFFFFu;  // a huge height sorts to the back, no overflow
  testsupport::LayMapFile(m.tree(), 0, "prio.bin", testsupport::PriorityFile(heights));
  testsupport::LayMapFile(m.tree(), 0, "short.bin", testsupport::PriorityFile(heights, 1000));
  m.Load(MapTabWriter().File("Priority:", {"p.spr"}).PrioFile("Priority:", "prio.bin"));
  ASSERT_NE(MapRig::Plane(2), nullptr);
  const auto tiles = TileSprites(MapRig::Plane(2)->banks[0]);

  auto check = [&](int32_t x, int32_t y, int32_t ox, int32_t oy) {
    SCOPED_TRACE(testing::Message() << "view " << x << "," << y << " offset " << ox << "," << oy);
    SlgMap::SetPlaneOffset(2, ox, oy);
    SlgMap::DrawMap(x, y);
    const auto drawn = MapRig::Take();
    EXPECT_FALSE(drawn.empty());
    const int64_t px = int64_t{ox} + x, py = int64_t{oy} + y;
    for (const Drawn& d : drawn) {
      const int64_t c = FloorDiv(d.x + px, 64), r = FloorDiv(d.y + py, 64);
      ASSERT_EQ(c * 64 - px, d.x);
      ASSERT_EQ(r * 64 - py, d.y);
      EXPECT_EQ(d.sprite, tiles.at({static_cast<int>(FloorMod(c, 32)), static_cast<int>(FloorMod(r, 32))}));
      const size_t square = static_cast<size_t>(FloorMod(r * 64, 2048) / 24 * 86 +
                                                FloorMod(c * 64, 2048) / 24);
      const int64_t v = int64_t{Battle().map.prio[square]} * 24 - 32 + r * 64 - 24;
      const int64_t depth = std::clamp<int64_t>(-(v / 2), -1536, 511);
      EXPECT_EQ(d.priority, depth + 1536) << "tile " << c << "," << r;
    }
  };
  check(0, 0, 0, 0);
  check(1700, 1900, 300, 200);  // past 2048 with the offset
  check(-130, -70, -64, 0);     // negative coordinates
  // A short priority file: what it holds, the rest zero.
  m.Load(MapTabWriter().File("Priority:", {"p.spr"}).PrioFile("Priority:", "short.bin"));
  EXPECT_EQ(Battle().map.prio[249], heights[249]);
  EXPECT_EQ(Battle().map.prio[250], 0u);
  check(0, 0, 0, 0);
}

// ---- Tone change ----

SlgEffectTask* ToneTask() {
  GameTaskRec* t = Ctx().game_task.FindTask("SlgMap::ToneChangeTask");
  return t != nullptr ? static_cast<SlgEffectTask*>(t->work) : nullptr;
}

TEST(SlgMapToneTest, LevelsOverTheFramesAndTheEnd) {
  MapRig m;
  m.Bank("a.spr", {{64, 64, 0, 0, 0x7C00}});
  m.Load(MapTabWriter().File("Ground:", {"a.spr"}).File("Priority:", {"a.spr"}).File("UnderGround:", {"a.spr"}).File("Sky:", {"a.spr"}));
  struct Case {
    bool start;
    int n;
    std::vector<std::pair<int, BlendWord>> levels;  // frames -> word
    BlendWord last;
  };
  const Case cases[] = {
      {true, 10, {{0, 0x20100}, {5, 0x200C0}, {9, 0x2008D}}, 0x20080},
      {false, 10, {{0, 0x20080}, {5, 0x200C0}}, 256},
      {true, 0, {{0, 0x20100}}, 0x20080},  // n = 0 acts as 1
      {false, 0, {{0, 0x20080}}, 256},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.start ? "start " : "end ") << c.n);
    for (int n = 0; n < 4; ++n) SlgMap::SetPlaneAlpha(n, 7);
    c.start ? SlgMap::ToneChangeStart(c.n) : SlgMap::ToneChangeEnd(c.n);
    SlgEffectTask* t = ToneTask();
    ASSERT_NE(t, nullptr);
    for (const auto& [frames, word] : c.levels) {
      t->frames = frames;
      t->body(t);
      for (int n : {0, 2, 3}) EXPECT_EQ(SlgMap::GetPlaneAlpha(n), word) << frames;
      EXPECT_EQ(SlgMap::GetPlaneAlpha(1), 7u);  // the sky keeps its word
    }
    t->frames = std::max(c.n, 1);
    t->body(t);
    EXPECT_EQ(SlgMap::GetPlaneAlpha(0), c.last);
    EXPECT_EQ(SlgTaskIsAlive(t), 1);
    t->body(t);  // the frame after: gone
    EXPECT_EQ(ToneTask(), nullptr);
  }
  // Run on the rig's frames: over within n + 2 frames at the end level.
  SlgMap::ToneChangeStart(4);
  ASSERT_TRUE(m.rig.RunUntil("tone over", [] { return ToneTask() == nullptr; }, 8));
  EXPECT_EQ(SlgMap::GetPlaneAlpha(2), 0x20080u);
}

// ---- A captured frame ----

class SlgMapFrameTest : public ::testing::TestWithParam<PixelLayout> {};

uint32_t Shown(MapRig& m, uint16_t colour) {
  const PixelLayout layout = m.rig.driver().host().display.layout();
  return platform::UnpackToColorRef(platform::PackColorRef(testsupport::TileColourRef(colour), layout),
                                    layout);
}

TEST_P(SlgMapFrameTest, TwoPlanesWithARasterShowTheirTiles) {
  MapRig m(GetParam());
  for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
  SlgSetLayer(SURFACE_ROOT, 1);
  SlgClearLayer(SURFACE_ROOT);
  // Ground: 128 x 128 tiles over the whole view; Sky: one 64 x 64 tile at (128, 64) of the plane,
  // waving 8 pixels across with the line.
  std::vector<MapTile> ground;
  for (const MapTile& t : GridBank(128, 128, 6, 5, 0)) ground.push_back(t);
  m.Bank("g.spr", ground);
  m.Bank("s.spr", {{64, 64, 128, 64, 0x7FE0}});
  m.Load(MapTabWriter().File("Ground:", {"g.spr"}).File("Sky:", {"s.spr"}).Raster("Sky:", 8, 0, 0, 1));
  // A task that draws the map each frame at the view (10, 20).
  ASSERT_NE(SlgTaskCreate(SlgTaskOwner(), [](SlgEffectTask*) { SlgMap::DrawMap(10, 20); }, "Draw"),
            nullptr);
  const int before = m.rig.driver().presented();
  ASSERT_TRUE(m.rig.RunUntil("presented", [&] { return m.rig.driver().presented() > before + 1; }, 6));
  m.rig.SaveFrame(std::string("battle_map_planes_") +
                  (GetParam() == PixelLayout::kRgb565 ? "565" : "555"));
  // Ground tile (c, r) spans (c x 128 - 10, r x 128 - 20).
  EXPECT_EQ(m.rig.PixelAt(5, 5), Shown(m, testsupport::TileColour(0, 0, 0)));
  EXPECT_EQ(m.rig.PixelAt(120, 5), Shown(m, testsupport::TileColour(0, 1, 0)));
  EXPECT_EQ(m.rig.PixelAt(300, 300), Shown(m, testsupport::TileColour(0, 2, 2)));
  EXPECT_EQ(m.rig.PixelAt(630, 470), Shown(m, testsupport::TileColour(0, 5, 3)));
  // The sky tile (2, 1): its row starts at 64 - 20 = 44, phase 44 x 1 -> moved right by
  // sin(44) x 8 >> 14 (4 pixels) from 2 x 64 - 10 = 118.
  const int shift = (SlgSin(44) * 8) >> 14;
  ASSERT_EQ(shift, 4);
  const int left = 118 + shift;
  const uint32_t sky = Shown(m, 0x7FE0);
  EXPECT_EQ(m.rig.PixelAt(left, 44), sky);
  EXPECT_EQ(m.rig.PixelAt(left + 63, 107), sky);
  // Around it the ground: tile (1, 0) left and right, (1, 1) below.
  EXPECT_EQ(m.rig.PixelAt(left - 1, 50), Shown(m, testsupport::TileColour(0, 1, 0)));
  EXPECT_EQ(m.rig.PixelAt(left + 64, 50), Shown(m, testsupport::TileColour(0, 1, 0)));
  EXPECT_EQ(m.rig.PixelAt(left, 108), Shown(m, testsupport::TileColour(0, 1, 1)));
}

INSTANTIATE_TEST_SUITE_P(Layouts, SlgMapFrameTest,
                         ::testing::Values(PixelLayout::kRgb565, PixelLayout::kRgb555));

}  // namespace
