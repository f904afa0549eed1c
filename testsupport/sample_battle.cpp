// The sample's battle (testsupport/sample_art.h): the battle builder's dressed form on a stage
// with two hills, laid with the sample's own pictures over the builder's plain blocks: the map's
// diamond cells with their heights, the two units as figures of their kind and side, the
// command window's icons with their words, the status window and the information panel with
// their labels, digits, gauges, names and faces, the cursors, the two-choice windows and the
// battle's messages; and every sound the battle asks for on the sample's road.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "battle/slg_sys_spr.h"
#include "battle/slg_tables.h"
#include "testsupport/battle_install.h"
#include "testsupport/event_anm_writer.h"
#include "testsupport/lzss_writer.h"
#include "testsupport/sample_art.h"
#include "testsupport/script_writer.h"
#include "testsupport/slg_map_writer.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/spr_writer.h"
#include "testsupport/system_sprites.h"
#include "testsupport/temp_tree.h"
#include "testsupport/unit_anm_writer.h"
#include "testsupport/wav_writer.h"

namespace testsupport::sample {

namespace fs = std::filesystem;

namespace {

// ---- Colours ----

constexpr SprRgb kPanel{4, 6, 14};  // window bodies
constexpr SprRgb kPanelEdge{24, 26, 31};
constexpr SprRgb kGold{31, 24, 8};
constexpr SprRgb kGrey{14, 14, 15};
constexpr SprRgb kSideColour[2] = {{6, 12, 28}, {26, 6, 6}};  // the player's blue, the enemy's red

// The battle's texts (the font holds their characters).
const char* const kCommandWords[] = {"移動", "攻擊", "必殺", "合體", "指令", "治療",
                                     "防禦", "蓄氣", "情報", "其他", "全圖", "部隊",
                                     "結束", "回合", "掩護", "返回"};
const char* const kStatusWords[] = {
    "體力",   "氣力", "攻擊", "防禦",     "移動",           "基本", "追加", "信賴",     "合計",
    "必殺技", "狀態", "選項", "重新開始", "要重新開始嗎？", "是",   "否",   "繼續嗎？", "全圖"};
const char* const kNames[2] = {"卡德倫", "足輕"};
const char* const kSpecials[2] = {"疾風斬", "長槍突"};
const char* const kMessages[2] = {"全軍前進！", "暫且撤退！"};

// Map 1's lines: the opening, the offer of the demonstration and its lessons, the heroine's talk,
// the generic lines of the first three heroines, the soldiers gone, the boss down, the victory.
// A choice's answers are split by "$$".
struct BattleLine {
  uint16_t id;
  const char* text;
};
const BattleLine kMap1Lines[] = {
    {182, "城鎮的北門已經被攻破了！"},
    {183, "敵軍的足輕正從街道兩側湧來。"},
    {184, "居民們還來不及逃走……"},
    {185, "我們一定要守住這座城鎮！"},
    {186, "我們守住城鎮了！"},
    {187, "這一仗，是我們的勝利！"},
    {3000, "城鎮遭到敵軍突襲，居民四處逃散。"},
    {3001, "士兵來了！大家快逃！"},
    {3002, "往廣場那邊跑，別回頭！"},
    {3003, "第二隊人馬也從東邊過來了！"},
    {3004, "可惡，數量比想像中還多。"},
    {3005, "全軍，進攻！"},
    {3006, "把這座城鎮拿下！"},
    {3007, "一個都別放過！"},
    {3008, "……來了嗎。大家，準備迎戰！"},
    {3009, "足輕們撤退了！"},
    {3010, "城鎮的街道總算安靜下來了。"},
    {3012, "敵方的首領倒下了！"},
    {10007, "卡德倫，要先熟悉一下作戰的方法嗎？"},
    {10008, "第一次上戰場，還是先看看比較好。"},
    {20000, "由我來示範移動和攻擊的方法。"},
    {10009, "要看示範嗎？"},
    {20005, "好，請示範一次$$……好吧，就看看吧$$不用了，直接開戰"},
    {20015, "什麼嘛，那種不情願的樣子……"},
    {20016, "算了，好好看著吧。"},
    {20010, "是嗎，那就全靠你了。"},
    {10010, "首先，點選要行動的隊員。"},
    {10014, "移動之後，再選擇攻擊或其他指令。"},
    {10015, "不需要行動的時候，就選擇結束。"},
    {10016, "原來如此，我明白了。"},
    {10018, "每位隊員都行動過後，就輪到下一位。"},
    {20017, "注意敵人的位置，別讓自己被包圍。"},
    {20020, "接下來換下一位。"},
    {20025, "攻擊時，選擇相鄰的敵人就可以了。"},
    {20035, "受傷的隊員要及早退到後方。"},
    {20030, "然後，就輪到敵人行動了。"},
    {10021, "敵人開始移動了！"},
    {10022, "他們朝我們這邊過來了。"},
    {20040, "別慌，敵人行動完就又輪到我們。"},
    {20045, "知道了，下次換我來。"},
    {20050, "大家小心！"},
    {10039, "示範就到這裡。"},
    {10040, "記住：選隊員、移動、下指令。"},
    {20055, "地形的高低會影響攻擊的效果。"},
    {20060, "信賴越高，合體攻擊就越強。"},
    {20065, "氣力足夠時，就可以使用必殺技。"},
    {20070, "打倒敵方的首領，戰鬥就會結束。"},
    {20075, "要是卡德倫倒下，我們就輸了。"},
    {20080, "所以千萬別勉強自己。"},
    {20085, "有不明白的地方，隨時可以問我。"},
    {10060, "那麼，開始吧！"},
    {10100, "打開全圖，就能看清整個戰場的情勢。"},
    {10200, "剩下的只有敵方首領了，用全圖找出他的位置吧。"},
    {30000, "……結束了嗎？"},
    {30001, "嗯，剩下的士兵也都逃走了。"},
    {30002, "大家都平安無事，太好了。"},
    {60000, "卡德倫，我有話想問你。"},
    {60010, "什麼事？"},
    {60020, "你覺得……我在戰鬥中幫得上忙嗎？"},
    {60030, "老實說，還差得遠$$當然，多虧有你$$現在不是說這個的時候"},
    {60040, "……是嗎。"},
    {60050, "我會更加努力的。"},
    {60060, "真的嗎？太好了！"},
    {60070, "那我會繼續加油的！"},
    {60080, "說得也是，先打贏這一仗吧。"},
    {60090, "大家，專心作戰！"},
    {60100, "……不回答嗎。"},
    {60110, "算了，當我沒問。"},
    {2019, "這裡交給我吧。"},
    {2020, "我會保護大家的。"},
    {2021, "一起加油吧！"},
    {2022, "卡德倫，背後就交給我了。"},
    {2023, "我來掩護你！"},
    {2024, "能和你並肩作戰，我很高興。"},
    {2025, "有你在，我就安心了。"},
    {2027, "我……還能戰鬥……"},
    {2028, "不要勉強，快退下！"},
    {2029, "對不起……我先退下了……"},
    {2041, "這裡交給我吧。"},
    {2042, "我會保護大家的。"},
    {2043, "一起加油吧！"},
    {2044, "卡德倫，背後就交給我了。"},
    {2045, "我來掩護你！"},
    {2046, "能和你並肩作戰，我很高興。"},
    {2047, "有你在，我就安心了。"},
    {2049, "我……還能戰鬥……"},
    {2050, "不要勉強，快退下！"},
    {2051, "對不起……我先退下了……"},
    {2063, "這裡交給我吧。"},
    {2064, "我會保護大家的。"},
    {2065, "一起加油吧！"},
    {2066, "卡德倫，背後就交給我了。"},
    {2067, "我來掩護你！"},
    {2068, "能和你並肩作戰，我很高興。"},
    {2069, "有你在，我就安心了。"},
    {2071, "我……還能戰鬥……"},
    {2072, "不要勉強，快退下！"},
    {2073, "對不起……我先退下了……"},
    {2093, "有你在，我就安心了。"},
    {2094, "能和你並肩作戰，我很高興。"},
    {2114, "我來掩護你！"},
    {2115, "有你在，我就安心了。"},
    {2116, "能和你並肩作戰，我很高興。"},
    {2138, "有你在，我就安心了。"},
    {2139, "能和你並肩作戰，我很高興。"},
    {3338, "打倒一個了！"},
    {3339, "這點程度難不倒我！"},
    {3340, "下一個是誰？"},
    {3341, "還差得遠呢！"},
};

// ---- The stage and its map ----

constexpr int kMap = 0;
constexpr int kColumns = 7;
constexpr int kRows = 22;

// The minimal stage with two hills of height 1, away from the units and their road.
StageWriter SampleStage() {
  StageWriter stage = MinimalStage();
  const std::pair<int, int> kHill[] = {{5, 2},  {5, 3},  {5, 4},  {6, 3}, {5, 5},
                                       {0, 15}, {0, 16}, {1, 16}, {0, 17}};
  for (const auto& [column, row] : kHill) {
    stage.grid1[static_cast<size_t>(row * 22 + column)] = CellWord(1);
  }
  return stage;
}

int HeightOf(const StageWriter& stage, int column, int row) {
  return static_cast<int>(stage.grid1[static_cast<size_t>(row * 22 + column)] & 31);
}

// The map as one 640 x 512 picture (whole tiles): diamond cells 96 x 48 in staggered rows (the
// centre of cell (c, r) at (96 c + 48 (r odd), 24 r - 6)), alternate rows in two tones of grass,
// raised cells lifted 48 pixels a level with their sides in earth.
Canvas MapPicture(const StageWriter& stage) {
  Canvas c(640, 512, {{0, 0, 0}});
  const uint8_t grass[2] = {c.Colour({9, 18, 7}), c.Colour({11, 21, 8})};
  const uint8_t hill[2] = {c.Colour({15, 21, 9}), c.Colour({17, 24, 10})};
  const uint8_t line = c.Colour({5, 11, 4});
  const uint8_t side_left = c.Colour({16, 11, 6});
  const uint8_t side_right = c.Colour({11, 7, 4});
  const uint8_t edge = c.Colour({6, 4, 2});
  c.Fill(grass[0]);
  for (int row = 0; row <= kRows + 1; ++row) {
    for (int column = -1; column <= kColumns; ++column) {
      const int cx = 96 * column + 48 * (row & 1);
      const int cy = 24 * row - 6;
      const bool inside = column >= 0 && column < 22 && row < 88;
      const int h = inside ? HeightOf(stage, column, row) : 0;
      const int top = cy - 48 * h;
      if (h > 0) {
        c.Polygon({{cx - 48, top}, {cx, top + 24}, {cx, cy + 24}, {cx - 48, cy}}, side_left);
        c.Polygon({{cx, top + 24}, {cx + 48, top}, {cx + 48, cy}, {cx, cy + 24}}, side_right);
        c.Line(cx, top + 24, cx, cy + 24, 1, edge);
      }
      c.Diamond(cx, top, 48, 24, h > 0 ? hill[row & 1] : grass[row & 1]);
      c.Diamond(cx, top, 48, 24, h > 0 ? edge : line, 1);
    }
  }
  return c;
}

// The map picture cut into the ground plane's bank: 64 x 64 tiles of 16-bit pixels, each with
// its battle-map record.
std::vector<uint8_t> MapBank(const Canvas& picture) {
  std::vector<SprImage> images;
  std::vector<std::array<uint16_t, 8>> rows;
  const std::vector<uint16_t> pixels = picture.Rgb555();
  for (int ty = 0; ty < BattleInstall::kTileRows; ++ty) {
    for (int tx = 0; tx < BattleInstall::kTileCols; ++tx) {
      std::vector<uint16_t> tile;
      for (int y = 0; y < BattleInstall::kTile; ++y) {
        for (int x = 0; x < BattleInstall::kTile; ++x) {
          tile.push_back(pixels[static_cast<size_t>((ty * 64 + y) * 640 + tx * 64 + x)]);
        }
      }
      images.emplace_back(64, 64, kSprDepth16, 0, EncodeBmx(tile));
      rows.push_back(
          {0, 0, static_cast<uint16_t>(tx * 64), static_cast<uint16_t>(ty * 64), 0, 0, 0, 0});
    }
  }
  SprFileWriter w;
  w.Add(2, ImagePart(images, 1, 1));  // decoder word 1: 16-bit BMX pictures
  w.Add(13, SlgMapPart(rows, 1));
  return w.Build();
}

// ---- Units ----

constexpr int kUnitW = 40;
constexpr int kUnitH = 52;

// One picture of a unit: the hero (kind 0) a swordsman with a cape, the ASHIGARU (kind 14) a foot
// soldier with a spear and a straw hat; clothes in its side's colour; turned to the left (the
// right is the mirror), from the front or from behind; the weapon raised when attacking; the
// legs apart in the second walking picture.
Canvas UnitPicture(int kind, int side, bool back, bool raised, bool stride) {
  Canvas c(kUnitW, kUnitH, {{0, 0, 0}});
  const bool hero = kind == 0;
  const Look look{hero ? SprRgb{20, 12, 4} : SprRgb{4, 4, 4}, {31, 24, 19}, kSideColour[side]};
  const uint8_t metal = c.Colour({26, 27, 30});
  const uint8_t wood = c.Colour({14, 9, 4});
  const uint8_t straw = c.Colour({27, 23, 12});
  const uint8_t cape = c.Colour(hero ? SprRgb{24, 4, 6} : SprRgb{16, 14, 8});
  if (hero) {  // the cape behind
    c.Polygon({{10, 14}, {30, 14}, {34, back ? 46 : 40}, {6, back ? 46 : 40}}, cape);
  }
  DrawPerson(c, 4, 0, 32, kUnitH, look, back, raised);
  if (stride) {  // the legs apart: the gap between them filled, the outer edges cut
    c.Rect(4, 40, 12, kUnitH, 0);
    c.Rect(28, 40, 36, kUnitH, 0);
    c.Line(12, 36, 8, kUnitH - 2, 4,
           c.Colour({static_cast<uint8_t>(look.clothes.r * 2 / 3),
                     static_cast<uint8_t>(look.clothes.g * 2 / 3),
                     static_cast<uint8_t>(look.clothes.b * 2 / 3)}));
  }
  if (!hero) {  // the straw hat
    c.Polygon({{4, 9}, {20, 0}, {36, 9}}, straw);
  }
  // The weapon in the left hand (the picture's left): raised above the head when attacking.
  if (hero) {
    if (raised) {
      c.Line(6, 2, 6, 26, 3, metal);
    } else {
      c.Line(4, 26, 0, 44, 3, metal);
    }
    c.Line(2, 27, 9, 27, 2, wood);
  } else {
    if (raised) {
      c.Line(8, 30, 0, 0, 2, wood);
      c.Polygon({{0, 0}, {3, 6}, {-2, 5}}, metal);
    } else {
      c.Line(5, kUnitH - 1, 5, 2, 2, wood);
      c.Polygon({{5, 0}, {8, 7}, {2, 7}}, metal);
    }
  }
  return c;
}

// A unit's sprite file in the form the battle plays: patterns 0 and 1 walking (16 frames each,
// from behind and from the front), 2 and 3 standing (behind, front); each picture hangs from the
// unit's anchor (its feet at the anchor).
std::vector<uint8_t> UnitFile(int kind, int side, bool raised) {
  std::vector<Canvas> pictures;
  for (int pattern = 0; pattern < 4; ++pattern) {
    const bool back = pattern == 0 || pattern == 2;
    pictures.push_back(UnitPicture(kind, side, back, raised, false));
    if (pattern < 2) pictures.push_back(UnitPicture(kind, side, back, raised, true));
  }
  const OneTable shared = OnOneTable(pictures);
  const std::vector<SprImage>& images = shared.images;
  std::vector<std::vector<SprUnitEntry>> units;
  for (size_t i = 0; i < images.size(); ++i) {
    units.push_back({BoxEntry(static_cast<uint16_t>(i), -kUnitW / 2, -kUnitH, kUnitW, kUnitH)});
  }
  // Images: 0, 1 walking from behind; 2, 3 walking from the front; 4 standing behind; 5 front.
  std::vector<std::vector<SprFrameSpec>> animations(4);
  for (int f = 0; f < UnitAnmWriter::kWalkFrames; ++f) {
    const auto step = static_cast<uint16_t>((f / 4) % 2);
    animations[0].push_back({step, 1});
    animations[1].push_back({static_cast<uint16_t>(2 + step), 1});
  }
  animations[2] = {{4, UnitAnmWriter::kStandWait}};
  animations[3] = {{5, UnitAnmWriter::kStandWait}};
  return AnimationFile(shared.colours, images, units, animations);
}

// The body's second layer drawn with it: nothing to add (a fully keyed picture).
std::vector<uint8_t> EmptyUnitFile() {
  std::vector<SprImage> images{Canvas(8, 8, {{0, 0, 0}}).Image()};
  std::vector<std::vector<SprUnitEntry>> units{{BoxEntry(0, -4, -8, 8, 8)}};
  std::vector<std::vector<SprFrameSpec>> animations(4, {{0, 8}});
  return AnimationFile({{0, 0, 0}}, images, units, animations);
}

// ---- Attack sets ----

// The attack sets' animation and picture slots (the battle's UnitAnm slots).
constexpr int kAttackBodySlot = 5;
constexpr int kAttackEffectSlot = 6;
constexpr int kSpecialBodySlot = 7;
constexpr int kSpecialEffectSlot = 8;
constexpr int kSpecialBgSlot = 10;
constexpr int kEffectBox = 96;  // the effect pictures' side
constexpr SprRgb kSlashCore{31, 31, 30};
constexpr SprRgb kSlashEdge{31, 27, 6};
constexpr SprRgb kCriticalEdge{31, 9, 4};
constexpr SprRgb kSpark{31, 22, 2};

// Packed images: the effect pictures are mostly the key and shrink to a tenth.
SprImage Packed(const SprImage& image) {
  return SprImage(image.width, image.height, kSprDepth8 | kSprPacked, 0,
                  LzssEncode(image.data.data(), image.data.size()));
}

// A slash: the arc swept so far (`progress` of it, from the upper left down to the lower right,
// or mirrored), a wide coloured edge under a white core, thinning toward its start.
Canvas SlashPicture(double progress, SprRgb edge, bool mirror, bool big) {
  Canvas c(kEffectBox, kEffectBox, {{0, 0, 0}});
  const uint8_t e = c.Colour(edge);
  const uint8_t core = c.Colour(kSlashCore);
  const double r = big ? 42.0 : 36.0;
  const double from = -2.4;
  const double sweep = 2.6;
  const int steps = 24;
  const int shown = std::max(1, static_cast<int>(steps * progress));
  const auto at = [&](int i) {
    const double a = from + sweep * i / steps;
    int x = static_cast<int>(std::lround(kEffectBox / 2 + r * std::cos(a)));
    const int y = static_cast<int>(std::lround(kEffectBox / 2 + r * std::sin(a) * 0.8 + 8));
    if (mirror) x = kEffectBox - 1 - x;
    return std::pair<int, int>{x, y};
  };
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = std::max(0, shown - 16); i < shown; ++i) {
      const auto [x0, y0] = at(i);
      const auto [x1, y1] = at(i + 1);
      const int age = shown - i;  // 1 at the tip
      const int width = std::max(2, (big ? 12 : 9) - age / 2);
      c.Line(x0, y0, x1, y1, pass == 0 ? width : std::max(1, width / 2), pass == 0 ? e : core);
    }
  }
  return c;
}

// A burst: a star of `points` rays about the centre, grown to `size` of the box, over a white
// disc.
Canvas BurstPicture(double size, SprRgb ray, int points) {
  Canvas c(kEffectBox, kEffectBox, {{0, 0, 0}});
  const uint8_t rays = c.Colour(ray);
  const uint8_t core = c.Colour(kSlashCore);
  const int cx = kEffectBox / 2;
  const int cy = kEffectBox / 2;
  const double outer = (kEffectBox / 2 - 2) * size;
  std::vector<std::pair<int, int>> star;
  for (int i = 0; i < 2 * points; ++i) {
    const double a = 3.14159265 * i / points;
    const double rr = i % 2 == 0 ? outer : outer * 0.4;
    star.emplace_back(static_cast<int>(std::lround(cx + rr * std::cos(a))),
                      static_cast<int>(std::lround(cy + rr * std::sin(a))));
  }
  c.Polygon(star, rays);
  c.Disc(cx, cy, std::max(2, static_cast<int>(outer * 0.3)), core);
  return c;
}

// A ring on the ground: a diamond outline grown to `size` of the box.
Canvas RingPicture(double size, SprRgb colour) {
  Canvas c(kEffectBox, kEffectBox, {{0, 0, 0}});
  const int r = std::max(4, static_cast<int>((kEffectBox / 2 - 3) * size));
  c.Diamond(kEffectBox / 2, kEffectBox / 2, r, r / 2, c.Colour(colour), 4);
  c.Diamond(kEffectBox / 2, kEffectBox / 2, r, r / 2, c.Colour(kSlashCore), 1);
  return c;
}

// Frames of one animation: pictures and the ticks each shows.
struct EffectAnim {
  std::vector<Canvas> frames;
  uint16_t ticks = 3;
};

EffectAnim Slash(SprRgb edge, bool mirror, bool big) {
  EffectAnim a;
  for (const double p : {0.25, 0.5, 0.75, 1.0, 1.0}) a.frames.push_back(SlashPicture(p, edge, mirror, big));
  return a;
}
EffectAnim Burst(SprRgb ray, int points) {
  EffectAnim a;
  for (const double s : {0.3, 0.6, 0.9, 1.0, 0.7}) a.frames.push_back(BurstPicture(s, ray, points));
  return a;
}
EffectAnim Ring(SprRgb colour) {
  EffectAnim a;
  for (const double s : {0.3, 0.55, 0.8, 1.0}) a.frames.push_back(RingPicture(s, colour));
  return a;
}

// An effect file: every frame a packed picture centred at the unit's middle (the anchor at the
// feet), animation n playing its frames once each.
std::vector<uint8_t> EffectFile(const std::vector<EffectAnim>& anims) {
  std::vector<Canvas> pictures;
  for (const EffectAnim& a : anims) pictures.insert(pictures.end(), a.frames.begin(), a.frames.end());
  OneTable shared = OnOneTable(pictures);
  std::vector<std::vector<SprUnitEntry>> units;
  for (size_t i = 0; i < shared.images.size(); ++i) {
    shared.images[i] = Packed(shared.images[i]);
    units.push_back({BoxEntry(static_cast<uint16_t>(i), -kEffectBox / 2,
                              -kUnitH / 2 - kEffectBox / 2, kEffectBox, kEffectBox)});
  }
  std::vector<std::vector<SprFrameSpec>> animations;
  uint16_t next = 0;
  for (const EffectAnim& a : anims) {
    std::vector<SprFrameSpec> frames;
    for (size_t f = 0; f < a.frames.size(); ++f) frames.push_back({next++, a.ticks});
    animations.push_back(std::move(frames));
  }
  return AnimationFile(shared.colours, shared.images, units, animations);
}

// The attack's body: the unit's figure, its weapon down, then raised and struck down again
// (`frames` frames, the last ones the stroke held); animation 0 and 2 from behind, 1 and 3 from
// the front.
std::vector<uint8_t> AttackBodyFile(int kind, int side, int frames) {
  std::vector<Canvas> pictures;
  for (const bool back : {true, false}) {
    pictures.push_back(UnitPicture(kind, side, back, false, false));
    pictures.push_back(UnitPicture(kind, side, back, true, false));
    pictures.push_back(UnitPicture(kind, side, back, false, true));
  }
  const OneTable shared = OnOneTable(pictures);
  std::vector<std::vector<SprUnitEntry>> units;
  for (size_t i = 0; i < shared.images.size(); ++i) {
    units.push_back({BoxEntry(static_cast<uint16_t>(i), -kUnitW / 2, -kUnitH, kUnitW, kUnitH)});
  }
  std::vector<std::vector<SprFrameSpec>> animations;
  for (int n = 0; n < 4; ++n) {
    const auto base = static_cast<uint16_t>(n % 2 == 0 ? 0 : 3);
    std::vector<SprFrameSpec> anim;
    for (int f = 0; f < frames; ++f) {
      // Down, raised for a third, then the stroke (legs apart).
      const int third = f * 3 / frames;
      anim.push_back({static_cast<uint16_t>(base + (third == 0 ? 0 : third == 1 ? 1 : 2)), 2});
    }
    animations.push_back(std::move(anim));
  }
  return AnimationFile(shared.colours, shared.images, units, animations);
}

// The normal and critical attacks' effects: 0, 1 the slash (one way and mirrored); 2, 3 the
// critical slash; 4, 5 the hit's burst; 6, 7 the flash; 8, 9 the critical ring on the ground.
std::vector<uint8_t> AttackEffectFile() {
  return EffectFile({Slash(kSlashEdge, false, false), Slash(kSlashEdge, true, false),
                     Slash(kCriticalEdge, false, true), Slash(kCriticalEdge, true, true),
                     Burst(kSpark, 8), Burst(kSpark, 8), Burst(kSlashEdge, 6),
                     Burst(kSlashEdge, 6), Ring(kCriticalEdge), Ring(kCriticalEdge)});
}

// The special's effects: 0 the wind of slashes that loops round the dash, 1 the sparks, 2 the
// after-image, 3 and 4 the hit marks; 5-7 the target's bursts.
std::vector<uint8_t> SpecialEffectFile(int kind, int side) {
  EffectAnim wind;
  for (int f = 0; f < 6; ++f) wind.frames.push_back(SlashPicture(1.0, kSlashEdge, f % 2 == 1, true));
  EffectAnim ghost;
  Canvas figure(kEffectBox, kEffectBox, {{0, 0, 0}});
  const Canvas body = UnitPicture(kind, side, false, true, true);
  for (int y = 0; y < body.height(); ++y) {
    for (int x = 0; x < body.width(); ++x) {
      if (body.At(x, y) == 0) continue;
      figure.Put(kEffectBox / 2 - kUnitW / 2 + x, kEffectBox / 2 - kUnitH / 2 + y + 8,
                 figure.Colour({20, 26, 31}));
    }
  }
  ghost.frames = {figure, figure};
  ghost.ticks = 4;
  return EffectFile({wind, Burst(kSpark, 10), ghost, Burst(kCriticalEdge, 8), Burst(kSlashEdge, 12),
                     Burst(kSpark, 8), Burst(kSpark, 8), Burst(kSpark, 8)});
}

// The special's pictures: 0 the lightning's flash over the whole screen, 1 the background tile
// that scrolls behind the dash, with the special's name.
std::vector<uint8_t> SpecialBgFile(Glyphs& glyphs, const std::string& name) {
  Canvas flash(640, 480, {{0, 0, 0}});
  flash.Fill(flash.Colour({31, 31, 24}));
  const uint8_t bolt = flash.Colour({31, 24, 4});
  flash.Line(360, 0, 280, 200, 14, bolt);
  flash.Line(280, 200, 380, 230, 14, bolt);
  flash.Line(380, 230, 260, 480, 14, bolt);
  Canvas tile(1024, 512, {{0, 0, 0}});
  tile.Gradient(0, 512, tile.Ramp({2, 4, 14}, {10, 14, 28}, 8), 8);
  const uint8_t line = tile.Colour({20, 24, 31});
  for (int i = 0; i < 24; ++i) {
    const int y = 12 + i * 21;
    const int x = (i * 397) % 1024;
    tile.Line(x, y, std::min(1023, x + 160 + (i % 3) * 60), y, 2, line);
  }
  for (int i = 0; i < 2; ++i) {
    tile.OutlinedText(glyphs, 80 + i * 512, 200 + i * 40, name, tile.Colour(kGold),
                      tile.Colour(kInk), 3);
  }
  std::vector<SprImage> images;
  const OneTable shared = OnOneTable({flash, tile});
  for (const SprImage& image : shared.images) images.push_back(Packed(image));
  return PictureFile(shared.colours, images);
}

// ---- Map 1's event objects ----

// The opening's people of the town (kinds 81-86: the crowd that watches and flees when the
// soldiers strike) and the soldiers of its second wave (kinds 101-104), each at a pixel of the
// map away from the hills and from the road between the hero and the ASHIGARU.
struct EventObject {
  int kind;
  int x;
  int y;
};
constexpr EventObject kCrowd[] = {{81, 96, 144},  {82, 288, 144}, {83, 432, 168},
                                  {84, 144, 312}, {85, 336, 312}, {86, 192, 336}};
constexpr EventObject kSecondWave[] = {
    {101, 576, 192}, {102, 528, 216}, {103, 528, 264}, {104, 576, 288}};
// The crowd's second sprite (the EventAnm the map reads for it): a soft shadow at its feet.
constexpr int kCrowdShadowKind = 109;

constexpr int kPersonW = 32;
constexpr int kPersonH = 46;

// One file of an event object: pattern 0 from the front, standing and raising an arm in turn
// (the crowd watching, the soldiers shouting), pattern 1 walking away from behind; each picture
// hangs from the object's anchor by its feet.
std::vector<uint8_t> EventObjectFile(const std::vector<Canvas>& front,
                                     const std::vector<Canvas>& away) {
  std::vector<Canvas> pictures(front);
  pictures.insert(pictures.end(), away.begin(), away.end());
  const OneTable shared = OnOneTable(pictures);
  std::vector<std::vector<SprUnitEntry>> units;
  for (size_t i = 0; i < shared.images.size(); ++i) {
    const int w = pictures[i].width();
    const int h = pictures[i].height();
    units.push_back({BoxEntry(static_cast<uint16_t>(i), -w / 2, -h, w, h)});
  }
  std::vector<std::vector<SprFrameSpec>> animations(2);
  for (size_t i = 0; i < front.size(); ++i) animations[0].push_back({static_cast<uint16_t>(i), 20});
  for (size_t i = 0; i < away.size(); ++i) {
    animations[1].push_back({static_cast<uint16_t>(front.size() + i), 8});
  }
  return AnimationFile(shared.colours, shared.images, units, animations);
}

// A person of the town: hair and clothes vary with the kind.
std::vector<uint8_t> TownsfolkFile(int kind) {
  const SprRgb hair[3] = {{4, 3, 2}, {18, 10, 4}, {22, 22, 22}};
  const SprRgb clothes[4] = {{22, 18, 10}, {10, 20, 12}, {24, 12, 16}, {12, 14, 22}};
  const Look look{hair[kind % 3], {31, 24, 19}, clothes[kind % 4]};
  const auto person = [&look](bool back, bool raised, bool stride) {
    Canvas c(kPersonW, kPersonH, {{0, 0, 0}});
    DrawPerson(c, 2, 0, kPersonW - 4, kPersonH, look, back, raised);
    if (stride) {  // the legs apart
      c.Rect(2, 36, 9, kPersonH, 0);
      c.Rect(23, 36, kPersonW, kPersonH, 0);
    }
    return c;
  };
  return EventObjectFile({person(false, false, false), person(false, true, false)},
                         {person(true, false, false), person(true, false, true)});
}

// A soldier of the second wave: the ASHIGARU's own figure, its spear down and raised in turn.
std::vector<uint8_t> SoldierFile() {
  return EventObjectFile({UnitPicture(14, 1, false, false, false),
                          UnitPicture(14, 1, false, true, false)},
                         {UnitPicture(14, 1, true, false, false),
                          UnitPicture(14, 1, true, false, true)});
}

std::vector<uint8_t> CrowdShadowFile() {
  Canvas c(32, 12, {{0, 0, 0}});
  c.Ellipse(16, 6, 14, 5, c.Colour({2, 3, 2}));
  return EventObjectFile({c}, {c});
}

// ---- System sprites ----

// The same with the system sprites' animations: 0 cycling through the `cycle` first frames (all
// when 0), then one one-frame animation per frame.
std::vector<uint8_t> FramesFile(const std::vector<Canvas>& frames, int cycle = 0,
                                const std::vector<std::pair<int, int>>& offsets = {}) {
  std::vector<std::vector<SprFrameSpec>> animations(1);
  const size_t cycled = cycle > 0 ? static_cast<size_t>(cycle) : frames.size();
  for (size_t i = 0; i < cycled && i < frames.size(); ++i) {
    animations[0].push_back({static_cast<uint16_t>(i), 8});
  }
  for (size_t i = 0; i < frames.size(); ++i) animations.push_back({{static_cast<uint16_t>(i), 8}});
  return FramesFileWith(frames, offsets, animations);
}

// A window body: dark panel, light edge, gold inner line.
Canvas Panel(int w, int h) {
  Canvas c(w, h, {{0, 0, 0}});
  c.Fill(c.Colour(kPanel));
  c.Frame(0, 0, w, h, 3, c.Colour(kPanelEdge));
  c.Frame(5, 5, w - 5, h - 5, 1, c.Colour(kGold));
  return c;
}

// An arrow whose tip is the picture's top-left corner (a pointer), in `colour`.
Canvas Pointer(SprRgb colour, int size) {
  Canvas c(size, size, {{0, 0, 0}});
  const uint8_t ink = c.Colour(kInk);
  const uint8_t fill = c.Colour(colour);
  c.Polygon({{0, 0}, {size - 2, size / 2}, {size / 2 + 1, size / 2 + 1}, {size / 2, size - 2}},
            ink);
  c.Polygon(
      {{2, 2}, {size - 6, size / 2 - 1}, {size / 2 - 1, size / 2 - 1}, {size / 2 - 1, size - 6}},
      fill);
  c.Line(size / 2, size / 2, size - 2, size - 2, 3, ink);
  return c;
}

std::vector<uint8_t> CursorFile() {
  std::vector<Canvas> frames;
  for (int k = 0; k < 4; ++k)
    frames.push_back(Pointer({31, static_cast<uint8_t>(20 + 3 * k), 4}, 28));
  return FramesFile(frames);
}

std::vector<uint8_t> MouseCursorFile() {
  std::vector<Canvas> frames;
  for (int k = 0; k < 4; ++k) frames.push_back(Pointer(kWhite, 20));
  return FramesFile(frames);
}

// The range marks: a translucent-looking diamond over a cell (a ring of the colour with a mesh
// inside), centred on the cell by its unit's offset.
std::vector<uint8_t> GridFile() {
  const SprRgb kinds[6] = {{30, 30, 30}, {24, 8, 28}, {31, 20, 4},
                           {31, 6, 6},   {6, 28, 8},  {6, 16, 31}};
  std::vector<Canvas> frames;
  for (const SprRgb& colour : kinds) {
    Canvas c(88, 44, {{0, 0, 0}});
    const uint8_t v = c.Colour(colour);
    for (int y = 0; y < 44; ++y) {
      for (int x = (y % 2); x < 88; x += 2) {
        if (std::abs(x - 44) * 22 + std::abs(y - 22) * 44 <= 44 * 22) c.Put(x, y, v);
      }
    }
    c.Diamond(44, 22, 43, 21, v, 2);
    frames.push_back(c);
  }
  return FramesFile(frames, 0, std::vector<std::pair<int, int>>(6, {-44, -22}));
}

// The command window: frames 0 and 1 the window (a heroine's five entries, the hero's six), 2-4 the columns'
// backgrounds (one, two, three entries), the main entries (32 x 32: a mark and a word at half
// size) and the upper entries (48 x 32: the word), greyed where the window greys them; the
// cursor is animation 23.
std::vector<uint8_t> CommandWindowFile(Glyphs& g) {
  std::vector<Canvas> frames(48, Canvas(4, 4, {{0, 0, 0}}));
  // The hero's window is wider: its sixth entry (cover) stands at x 192-224, after a divider.
  frames[0] = Panel(196, 56);
  frames[1] = Panel(240, 56);
  frames[1].Frame(8, 8, 232, 48, 1, frames[1].Colour({31, 31, 31}));
  frames[1].Rect(183, 8, 185, 48, frames[1].Colour({31, 31, 31}));
  const int heights[3] = {48, 80, 112};
  for (int k = 0; k < 3; ++k) {
    Canvas bg(80, heights[k], {{0, 0, 0}});
    bg.Fill(bg.Colour({6, 8, 18}));
    bg.Frame(0, 0, 80, heights[k], 2, bg.Colour(kPanelEdge));
    frames[static_cast<size_t>(2 + k)] = bg;
  }
  const auto main_entry = [&g](const std::string& word, SprRgb mark, bool grey) {
    Canvas c(32, 32, {{0, 0, 0}});
    c.Fill(c.Colour(grey ? SprRgb{6, 6, 7} : SprRgb{10, 12, 24}));
    c.Frame(0, 0, 32, 32, 1, c.Colour(grey ? kGrey : kPanelEdge));
    c.Disc(16, 10, 6, c.Colour(grey ? kGrey : mark));
    c.HalfText(g, (32 - Canvas::HalfTextWidth(word)) / 2, 18, word,
               c.Colour(grey ? kGrey : kWhite));
    return c;
  };
  // An upper entry is its word alone (a dark edge round it), so that the cursor, drawn between
  // the column's background and the entries, shows under the selected one.
  const auto upper_entry = [&g](const std::string& word, bool grey) {
    Canvas c(48, 32, {{0, 0, 0}});
    c.OutlinedText(g, (48 - Canvas::TextWidth(word)) / 2, 4, word, c.Colour(grey ? kGrey : kWhite),
                   c.Colour(kInk));
    return c;
  };
  const SprRgb kMarks[6] = {{6, 20, 31}, {31, 8, 8},   {8, 28, 10},
                            {28, 28, 8}, {20, 20, 22}, {28, 12, 28}};
  frames[5] = main_entry("移動", kMarks[0], false);
  frames[7] = upper_entry("移動", false);
  frames[46] = upper_entry("返回", false);
  frames[8] = main_entry("攻擊", kMarks[1], false);
  frames[9] = main_entry("攻擊", kMarks[1], true);
  frames[10] = upper_entry("攻擊", false);
  frames[12] = upper_entry("必殺", false);
  frames[13] = upper_entry("必殺", true);
  frames[14] = upper_entry("合體", false);
  frames[16] = main_entry("指令", kMarks[2], false);
  frames[17] = main_entry("指令", kMarks[2], true);
  frames[18] = upper_entry("蓄氣", false);
  frames[19] = upper_entry("蓄氣", true);
  frames[20] = upper_entry("防禦", false);
  frames[22] = upper_entry("治療", false);
  frames[23] = upper_entry("治療", true);
  frames[24] = main_entry("情報", kMarks[3], false);
  frames[25] = upper_entry("部隊", false);
  frames[26] = upper_entry("全圖", false);
  frames[27] = upper_entry("其他", false);
  frames[28] = main_entry("結束", kMarks[4], false);
  frames[29] = upper_entry("回合", false);
  frames[30] = main_entry("掩護", kMarks[5], false);
  frames[31] = main_entry("掩護", kMarks[5], true);
  frames[32] = upper_entry("掩護", false);
  // The cursor: a gold bar under the selected entry, bright and dim in turn (frames 40, 41).
  for (int k = 0; k < 2; ++k) {
    Canvas cursor(48, 32, {{0, 0, 0}});
    cursor.Fill(cursor.Colour(k == 0 ? SprRgb{26, 18, 4} : SprRgb{20, 13, 3}));
    cursor.Frame(0, 0, 48, 32, 2, cursor.Colour(kGold));
    frames[static_cast<size_t>(40 + k)] = cursor;
  }
  // Animation n shows frame n, but 23 the cursor.
  std::vector<std::vector<SprFrameSpec>> animations;
  for (uint16_t i = 0; i < 48; ++i) animations.push_back({{i, 8}});
  animations[23] = {{40, 16}, {41, 16}};
  return FramesFileWith(frames, {}, animations);
}

// A digit strip: '0'-'9' in frames 0-9 (and again, in `second`, in frames 12-21), 10 a times
// sign, 11 a slash; each `w` x `h`, light with a dark edge so it reads on any window.
std::vector<uint8_t> DigitFile(Glyphs& g, int w, int h, SprRgb colour, SprRgb second) {
  std::vector<Canvas> frames;
  const auto glyph = [&](const std::string& text, SprRgb c) {
    Canvas f(w, h, {{0, 0, 0}});
    const uint8_t edge = f.Colour(kInk);
    const int x = (w - Canvas::TextWidth(text)) / 2;
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) f.ShortText(g, x + dx, 1 + dy, h - 2, text, edge);
    }
    f.ShortText(g, x, 1, h - 2, text, f.Colour(c));
    return f;
  };
  for (int d = 0; d < 10; ++d) frames.push_back(glyph(std::to_string(d), colour));
  frames.push_back(glyph("x", colour));
  frames.push_back(glyph("/", colour));
  for (int d = 0; d < 10; ++d) frames.push_back(glyph(std::to_string(d), second));
  frames.push_back(glyph("-", second));
  frames.push_back(glyph("+", second));
  return FramesFile(frames);
}

// A gauge's bar: a band of the colour with a light line along its top.
Canvas Bar(int w, int h, SprRgb colour) {
  Canvas c(w, h, {{0, 0, 0}});
  c.Fill(c.Colour(colour));
  c.Rect(0, 0, w, std::max(1, h / 4),
         c.Colour({static_cast<uint8_t>(std::min(31, colour.r + 8)),
                   static_cast<uint8_t>(std::min(31, colour.g + 8)),
                   static_cast<uint8_t>(std::min(31, colour.b + 8))}));
  return c;
}

// The information panel (frame 0, 240 x 136), the status window (frame 1, 304 x 400), the
// marker over the acting unit (frame 2, a downward arrow) and a spare (frame 3).
std::vector<uint8_t> InfoWindowFile(Glyphs& g) {
  std::vector<Canvas> frames;
  Canvas panel = Panel(240, 136);
  const uint8_t label = panel.Colour({28, 28, 18});
  panel.Rect(14, 14, 98, 114, panel.Colour({2, 3, 8}));  // the face's box
  panel.HalfText(g, 99, 80, "體", label);
  panel.HalfText(g, 99, 96, "氣", label);
  frames.push_back(panel);
  // The status window: its contents are drawn from 2 x the layout's rows about the window's
  // position, whose own picture stands at (16, 32) from it; the labels sit beside them.
  Canvas status = Panel(304, 400);
  const uint8_t words = status.Colour({28, 28, 18});
  const uint8_t rule = status.Colour({10, 12, 24});
  status.Text(g, 16, 14, "狀態", words);  // the name at (100, 16)
  status.Rect(12, 50, 292, 52, rule);
  status.Text(g, 16, 62, "體力", words);  // gauge and text at (112, 72), (128, 68)
  status.Text(g, 16, 94, "氣力", words);  // at (112, 104), (128, 100)
  status.Rect(12, 132, 292, 134, rule);
  const char* const kColumns[3] = {"攻擊", "防禦", "移動"};
  for (int k = 0; k < 3; ++k) status.Text(g, 96 + 64 * k, 142, kColumns[k], words);
  const char* const kRows[4] = {"基本", "追加", "信賴", "合計"};
  for (int r = 0; r < 4; ++r) status.Text(g, 16, 172 + 32 * r, kRows[r], words);  // rows at 176..
  status.Rect(12, 306, 292, 308, rule);
  status.Text(g, 16, 318, "必殺技", words);  // the name at (96, 320)
  frames.push_back(status);
  Canvas marker(24, 12, {{0, 0, 0}});
  marker.Polygon({{0, 0}, {24, 0}, {12, 12}}, marker.Colour(kInk));
  marker.Polygon({{3, 1}, {21, 1}, {12, 10}}, marker.Colour(kGold));
  frames.push_back(marker);
  frames.push_back(marker);
  return FramesFile(frames);
}

// The damage gauge's parts: 0 and 1 the full kiai bar in two tones (it blinks), 2 the frame
// behind the bars, 3 the marker above it.
std::vector<uint8_t> LargeGaugeFile() {
  std::vector<Canvas> frames{Bar(128, 16, {31, 28, 6}), Bar(128, 16, {31, 18, 4})};
  frames.push_back(Panel(160, 32));
  Canvas marker(32, 12, {{0, 0, 0}});
  marker.Polygon({{0, 0}, {32, 0}, {16, 12}}, marker.Colour(kGold));
  frames.push_back(marker);
  return FramesFile(frames);
}

std::vector<uint8_t> ShadowFile() {
  Canvas c(96, 48, {{0, 0, 0}});
  c.Ellipse(48, 24, 22, 8, c.Colour({1, 2, 1}));
  return FramesFile({c, c, c, c});
}

// An effect on a unit: four pictures of a growing ring of its colour about the unit's middle.
std::vector<uint8_t> EffectFile(SprRgb colour) {
  std::vector<Canvas> frames;
  for (int k = 0; k < 4; ++k) {
    Canvas c(64, 64, {{0, 0, 0}});
    const uint8_t v = c.Colour(colour);
    const int r = 10 + 6 * k;
    for (int a = 0; a < 360; a += 4) {
      const double rad = a * 3.14159265358979 / 180;
      c.Disc(32 + static_cast<int>(r * std::cos(rad)), 32 + static_cast<int>(r * std::sin(rad) / 2),
             2, v);
    }
    frames.push_back(c);
  }
  return FramesFile(frames, 0, std::vector<std::pair<int, int>>(4, {-32, -56}));
}

// A two-choice window: its question and two items; animation n shows the window with item
// (n mod 2) lit.
std::vector<uint8_t> ChoiceFile(
    Glyphs& g, int w, int h, const std::string& question,
    const std::vector<std::pair<std::string, std::array<int, 4>>>& items, int animations) {
  std::vector<Canvas> frames;
  for (int lit = 0; lit < 2; ++lit) {
    Canvas c = Panel(w, h);
    if (!question.empty()) c.Text(g, 16, 16, question, c.Colour(kWhite));
    for (size_t i = 0; i < items.size(); ++i) {
      const auto& [word, box] = items[i];
      const bool on = static_cast<int>(i) == lit;
      c.Rect(box[0], box[1], box[2], box[3], c.Colour(on ? SprRgb{30, 24, 8} : SprRgb{8, 10, 20}));
      c.Text(g, box[0] + (box[2] - box[0] - Canvas::TextWidth(word)) / 2, box[1] + 4, word,
             c.Colour(on ? kInk : kWhite));
    }
    frames.push_back(c);
  }
  std::vector<std::vector<SprFrameSpec>> shown;
  for (int n = 0; n < animations; ++n) shown.push_back({{static_cast<uint16_t>(n % 2), 8}});
  return FramesFileWith(frames, {}, shown);
}

// The whole-map view: 0-11 the units' marks by side (blue, red, green; four pictures each), 12
// the view's backdrop, 13-15 the selected marks.
std::vector<uint8_t> AllMapFile(Glyphs& g) {
  std::vector<Canvas> frames;
  const SprRgb sides[3] = {{6, 14, 31}, {31, 6, 6}, {6, 28, 8}};
  const int order[3] = {0, 2, 1};  // frames 0-3 side 0, 4-7 side 2, 8-11 side 1
  for (int group = 0; group < 3; ++group) {
    for (int k = 0; k < 4; ++k) {
      Canvas c(16, 16, {{0, 0, 0}});
      c.Disc(8, 8, 5 + k % 2, c.Colour(sides[order[group]]));
      frames.push_back(c);
    }
  }
  Canvas backdrop(640, 480, {{0, 0, 0}});
  backdrop.Fill(backdrop.Colour({2, 3, 8}));
  backdrop.Frame(16, 40, 368, 400, 3, backdrop.Colour(kPanelEdge));
  backdrop.Text(g, 24, 8, "全圖", backdrop.Colour(kWhite));
  frames.push_back(backdrop);
  for (int s = 0; s < 3; ++s) {
    Canvas c(16, 16, {{0, 0, 0}});
    c.Disc(8, 8, 7, c.Colour(kWhite));
    c.Disc(8, 8, 5, c.Colour(sides[s]));
    frames.push_back(c);
  }
  return FramesFile(frames);
}

// Names by character (frame = character, 0-63): the hero's and the ASHIGARU's own, the others
// numbered.
std::vector<uint8_t> NameFile(Glyphs& g, const char* const (&names)[2], SprRgb colour) {
  std::vector<Canvas> frames;
  for (int character = 0; character < 64; ++character) {
    const std::string name = character == 0    ? names[0]
                             : character == 20 ? names[1]
                                               : "角色" + std::to_string(character);
    Canvas c(120, 28, {{0, 0, 0}});
    c.OutlinedText(g, 2, 2, name, c.Colour(colour), c.Colour(kInk));
    frames.push_back(c);
  }
  return FramesFile(frames);
}

// The battle's faces (kaoslg.spr, 80 x 160 images as the scene's faces: the face over rows 0-95,
// the half-shut and shut eye bands below): the hero's expressions (faces 1-4), the foot
// soldier's for any other face (510, the face when none is set).
std::vector<uint8_t> BattleFaceFile() {
  return FaceFileOf(
      {{{20, 12, 4}, {31, 24, 19}, kSideColour[0]}, {{4, 4, 4}, {29, 22, 17}, kSideColour[1]}},
      {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {509, 1}});
}

void LaySystemSprites(GameTree& tree, Glyphs& g) {
  const auto lay = [&tree](int slot, const std::vector<uint8_t>& bytes) {
    tree.Write(SystemTabWriter::TreeRel(SystemSpriteSet::FileName(slot)), bytes);
  };
  lay(kSysCursor, CursorFile());
  lay(kSysMouseCursor, MouseCursorFile());
  lay(kSysGrid, GridFile());
  lay(kSysCommandWindow, CommandWindowFile(g));
  lay(kSysInfoWindow, InfoWindowFile(g));
  lay(kSysLifeGauge, FramesFile({Bar(128, 8, {6, 26, 8})}));
  lay(kSysKiaiGauge, FramesFile({Bar(128, 8, {31, 22, 4})}));
  lay(kSysMojiBDigit, DigitFile(g, 16, 16, kWhite, {31, 24, 8}));
  lay(kSysDamageDigit, DigitFile(g, 16, 32, {31, 10, 8}, {10, 31, 12}));
  lay(kSysLargeGauge, LargeGaugeFile());
  lay(kSysOkuriCursor,
      FramesFile({Pointer(kGold, 16), Pointer(kGold, 16), Pointer(kGold, 16), Pointer(kGold, 16)}));
  lay(kSysShadow, ShadowFile());
  lay(kSysBougyoEffect, EffectFile({10, 20, 31}));
  lay(kSysKaifukuEffect, EffectFile({10, 31, 12}));
  lay(kSysTameEffect, EffectFile({31, 26, 6}));
  lay(kSysPachiPachiEffect, EffectFile({31, 31, 31}));
  lay(kSysContinue, ChoiceFile(g, 176, 112, "繼續嗎？",
                               {{"是", {16, 64, 80, 96}}, {"否", {96, 64, 160, 96}}}, 2));
  lay(kSysYesNo, ChoiceFile(g, 208, 112, "要重新開始嗎？",
                            {{"是", {16, 64, 96, 96}}, {"否", {112, 64, 192, 96}}}, 4));
  lay(kSysStartMenu, ChoiceFile(g, 128, 112, "",
                                {{"重新開始", {16, 16, 112, 48}}, {"選項", {16, 64, 112, 96}}}, 2));
  lay(kSysAllMap, AllMapFile(g));
  lay(kSysNameUnit, NameFile(g, kNames, {31, 31, 24}));
  lay(kSysNameCharacter, NameFile(g, kNames, {24, 28, 31}));
  lay(kSysNameSpecialAttack, NameFile(g, kSpecials, {31, 24, 8}));
}

}  // namespace

std::vector<std::string> BattleTexts() {
  std::vector<std::string> texts(std::begin(kCommandWords), std::end(kCommandWords));
  texts.insert(texts.end(), std::begin(kStatusWords), std::end(kStatusWords));
  texts.insert(texts.end(), std::begin(kNames), std::end(kNames));
  texts.insert(texts.end(), std::begin(kSpecials), std::end(kSpecials));
  texts.insert(texts.end(), std::begin(kMessages), std::end(kMessages));
  for (const BattleLine& line : kMap1Lines) texts.emplace_back(line.text);
  texts.emplace_back("角色");
  return texts;
}

std::vector<std::string> BattlePrintedTexts() {
  std::vector<std::string> texts(std::begin(kMessages), std::end(kMessages));
  for (const BattleLine& line : kMap1Lines) texts.emplace_back(line.text);
  return texts;
}

// Every folder under "TaMvIk2", which nothing else of the sample uses; laid in a tree with the
// builder, the sample's files over the builder's, then copied file by file.
void WriteBattle(Out& out, Glyphs& glyphs) {
  GameTree tree;
  BattleInstall install(BattleInstall::Form::kDressed);
  install.stage = SampleStage();
  // Map 1's opening plays on the town's people and the soldiers' second wave.
  for (const EventObject& o : kCrowd) install.AddObject(o.kind, 0, o.x, o.y);
  for (const EventObject& o : kSecondWave) install.AddObject(o.kind, 0, o.x, o.y);
  install.Lay(tree);
  const auto event_rel = [](int kind) {
    return SlgTableWriter::TreeRel("tamvik2\\" + EventAnmWriter::FileName(kind));
  };
  for (const EventObject& o : kCrowd) tree.Write(event_rel(o.kind), TownsfolkFile(o.kind));
  for (const EventObject& o : kSecondWave) tree.Write(event_rel(o.kind), SoldierFile());
  tree.Write(event_rel(kCrowdShadowKind), CrowdShadowFile());
  // The ground plane, the units, the system sprites.
  LayMapFile(tree, kMap, BattleInstall::GroundBankName(), MapBank(MapPicture(install.stage)));
  const std::pair<int, int> kUnits[2] = {{0, 0}, {14, 1}};
  for (const auto& [kind, side] : kUnits) {
    const UnitAnmWriter set(kind);
    const auto rel = [&set](int slot) {
      return SlgTableWriter::TreeRel("tamvik2\\" + set.FileName(slot));
    };
    tree.Write(rel(0), UnitFile(kind, side, false));
    tree.Write(rel(4), EmptyUnitFile());
    tree.Write(rel(kAttackBodySlot), AttackBodyFile(kind, side, 12));
    tree.Write(rel(kAttackEffectSlot), AttackEffectFile());
    tree.Write(rel(kSpecialBodySlot), AttackBodyFile(kind, side, 36));
    tree.Write(rel(kSpecialEffectSlot), SpecialEffectFile(kind, side));
  }
  LaySystemSprites(tree, glyphs);
  // The sounds the road asks for besides the builder's: the cancel sound.
  SlgTableWriter tables = install.Tables();
  // The hero's special pictures over the builder's (which names every attack set and picture).
  const std::string bg_name = UnitAnmWriter(0).FileName(kSpecialBgSlot);
  tree.Write(SlgTableWriter::TreeRel("tamvik2\\" + bg_name), SpecialBgFile(glyphs, kSpecials[0]));
  // The event backgrounds of map 1's script: the town's situation, the soldiers gone, the victory.
  tree.Write(SlgTableWriter::TreeRel("tamvik2\\BG\\BBG001.SPR"),
             PictureOf(Card(glyphs, {20, 10, 4}, {8, 2, 2}, "BATTLE", "城鎮遇襲", 8)));
  tree.Write(SlgTableWriter::TreeRel("tamvik2\\BG\\BBG201.SPR"),
             PictureOf(Card(glyphs, {6, 10, 20}, {2, 2, 8}, "BATTLE", "士兵退去", 9)));
  tree.Write(SlgTableWriter::TreeRel("tamvik2\\BG\\BBG101.SPR"),
             PictureOf(Card(glyphs, {24, 20, 6}, {10, 6, 2}, "VICTORY", "勝利", 10)));
  EventAnmWriter::Row(tables, kMap, kCrowdShadowKind);
  tables.Se(17, "cancel.wav", "STATIC");
  tables.Lay(tree);
  SlgTableWriter::LayWave(tree, "TAMVIK2\\SE\\cancel.wav");
  // The battle's messages, full width.
  MessageTableWriter messages;
  for (int i = 0; i < 2; ++i) {
    messages.Add({.id = BattleInstall::kMessageIds[i],
                  .voice_word = 0,
                  .lip = "",
                  .text = Big5(kMessages[i])});
  }
  for (const BattleLine& line : kMap1Lines) {
    messages.Add({.id = line.id, .voice_word = 0, .lip = "", .text = Big5(line.text)});
  }
  tree.Write(SlgMessageRel(install.stage.map), messages.Bytes());

  const fs::path from(tree.install());
  std::error_code ec;
  for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    std::ifstream in(it->path(), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    out.Write(fs::relative(it->path(), from).generic_string(), bytes);
  }
  if (ec) out.Fail("cannot copy the battle: " + ec.message());
  out.Write("TaMvIk2/system/kaoslg.spr", BattleFaceFile());
}

}  // namespace testsupport::sample
