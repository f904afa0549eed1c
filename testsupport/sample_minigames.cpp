// The sample's minigames (testsupport/sample_art.h): each row's od file with pictures that show
// what the game is about (in direct-colour sprite files beside it, which keep their size), the
// common menu's panels, items and titles in every file, the texts the games print, and the
// games' sounds.
//
// Pictures stand where the games put their objects: an object's position is a point of the
// game's own (a centre, a foot, a corner), and each animation here is one composite frame whose
// offset puts its picture about that point.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "testsupport/od_writer.h"
#include "testsupport/sample_art.h"
#include "testsupport/wav_writer.h"

namespace testsupport::sample {

namespace {

// The colours the tests know each row's background by.
constexpr SprRgb kPoolWater{6, 16, 28};
constexpr SprRgb kFloorBoards{24, 17, 9};
constexpr SprRgb kKitchenWall{26, 24, 20};
constexpr SprRgb kFelt{4, 14, 8};
constexpr SprRgb kReelPaper{31, 31, 28};
constexpr SprRgb kReelWindow{2, 2, 2};
constexpr SprRgb kParkGrass{10, 20, 8};
constexpr SprRgb kSkyTop{10, 18, 31};
constexpr SprRgb kMeadow{6, 16, 6};

// ---- An od file with its pictures ----

// Picture files several rows share (the digits, the common menu, the cards), each drawn and
// written once.
class Shelf {
 public:
  explicit Shelf(Out& out) : out_(out) {}
  // The od path of the file `name`, drawn by `draw` the first time it is asked for.
  std::string File(const std::string& name, const std::function<std::vector<Canvas>()>& draw) {
    if (written_.insert(name).second)
      out_.Write("tamvik3/od/" + name + ".spr", DirectPicturesOf(draw()));
    return "tamvik3\\od\\" + name + ".spr";
  }

 private:
  Out& out_;
  std::set<std::string> written_;
};

class OdArt {
 public:
  OdArt(std::string name, Shelf& shelf) : name_(std::move(name)), shelf_(shelf) {}

  // Pictures of a shared file into consecutive image slots from `first`.
  void Shared(int first, const std::string& file, const std::function<std::vector<Canvas>()>& draw,
              bool keyed = true) {
    od.Path(first, shelf_.File(file, draw), keyed ? 2 : 0);
  }

  // Pictures into consecutive image slots from `first` (one sprite file); keyed pictures show
  // what lies behind their colour 0.
  void Pictures(int first, const std::vector<Canvas>& frames, bool keyed = true) {
    const std::string file = name_ + "_" + std::to_string(files_.size()) + ".spr";
    files_.emplace_back(file, DirectPicturesOf(frames));
    od.Path(first, "tamvik3\\od\\" + file, keyed ? 2 : 0);
  }
  // Animation `anim`: the picture in `slot` with its top-left at (dx, dy) from the object.
  void Show(int anim, int slot, int dx = 0, int dy = 0) {
    od.Animation(anim, {OdWriter::Composite({{static_cast<uint16_t>(slot), static_cast<int16_t>(dx),
                                              static_cast<int16_t>(dy)}},
                                            60)});
  }
  // Animation `anim` through the slots in turn, `steps` each, all at (dx, dy).
  void Cycle(int anim, const std::vector<int>& slots, int steps, int dx = 0, int dy = 0) {
    std::vector<OdWriter::Frame> frames;
    for (int slot : slots) {
      frames.push_back(OdWriter::Composite(
          {{static_cast<uint16_t>(slot), static_cast<int16_t>(dx), static_cast<int16_t>(dy)}},
          static_cast<int16_t>(steps)));
    }
    od.Animation(anim, frames);
  }
  void Text(int n, const std::string& utf8) { od.Text(n, Big5(utf8)); }

  void Write(Out& out) const {
    for (const auto& [file, bytes] : files_) out.Write("tamvik3/od/" + file, bytes);
    out.Write("tamvik3/od/mg_" + name_ + ".od", od.Build());
  }

  OdWriter od;

 private:
  std::string name_;
  Shelf& shelf_;
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files_;
};

// ---- Shared pictures ----

constexpr SprRgb kGold{31, 24, 8};
constexpr SprRgb kNavy{4, 6, 16};
constexpr SprRgb kPaper{30, 29, 25};
constexpr SprRgb kRed{28, 6, 6};

// A plate: paper, an edge, and words centred on it (24-pixel glyphs, or twice that).
Canvas Plate(Glyphs& g, int w, int h, const std::string& words, SprRgb paper, SprRgb ink,
             SprRgb edge = kGold, int scale = 1) {
  Canvas c(w, h, {{0, 0, 0}});
  c.Fill(c.Colour(paper));
  c.Frame(0, 0, w, h, 2, c.Colour(edge));
  c.CentredText(g, (h - 24 * scale) / 2, words, c.Colour(ink), scale);
  return c;
}

// Words alone, light with a dark edge, for any background.
Canvas Words(Glyphs& g, const std::string& words, SprRgb colour = kWhite, int scale = 1) {
  Canvas c(Canvas::TextWidth(words, scale) + 4, 24 * scale + 4, {{0, 0, 0}});
  c.OutlinedText(g, 2, 2, words, c.Colour(colour), c.Colour(kInk), scale);
  return c;
}

// The digits every number display of a file draws: slots 400-409 "0"-"9", 412 the minus, 413
// and 414 the time display's separators; 16 x 24, white with a dark edge.
constexpr int kDigitSlot = 400;
void AddDigits(OdArt& art, Glyphs& g) {
  art.Shared(kDigitSlot, "digits", [&g] {
    std::vector<Canvas> digits;
    const char* const kGlyphs[15] = {"0", "1", "2", "3", "4", "5", "6", "7",
                                     "8", "9", " ", " ", "-", ":", "."};
    for (const char* d : kGlyphs) {
      Canvas c(16, 24, {{0, 0, 0}});
      c.OutlinedText(g, 2, 0, d, c.Colour(kWhite), c.Colour(kInk));
      digits.push_back(c);
    }
    return digits;
  });
}

// A text window's page and its empty background (the slot after it): paper in a frame.
std::vector<Canvas> TextWindow(int w, int h, SprRgb edge) {
  Canvas window(w, h, {{0, 0, 0}});
  window.Fill(window.Colour(kPaper));
  window.Frame(0, 0, w, h, 3, window.Colour(edge));
  return {window, window};
}

// A person standing in a box of w x h, its feet at the bottom centre.
Canvas Person(int w, int h, const Look& look, bool back = false, bool raised = false) {
  Canvas c(w, h, {{0, 0, 0}});
  DrawPerson(c, 0, 0, w, h, look, back, raised);
  return c;
}

// The heroines who run the games (hair, skin, clothes).
const Look kSwimHost{{20, 6, 4}, {31, 24, 19}, {28, 10, 20}};
const Look kCookHost{{26, 22, 10}, {31, 25, 20}, {30, 30, 30}};
const Look kSlotHost{{4, 4, 8}, {30, 23, 18}, {24, 4, 10}};
const Look kMaigoHost{{14, 8, 4}, {31, 24, 19}, {8, 20, 12}};
const Look kSoujiHost{{10, 4, 2}, {31, 24, 19}, {6, 10, 24}};

// ---- The common menu ----

// The slots of the menu's pictures.
constexpr int kMenuSlot = 440;
// The top panel's title place by game row (the menu puts the title's corner there; the frame's
// offset centres it on the panel).
constexpr int kTitleX[16] = {224, 208, 192, 208, 176, 224, 192, 208,
                             176, 176, 176, 176, 176, 176, 176, 176};

// The common menu of a row: the three panels, the choice items and their cursor, the ranking's
// labels, the title, the game's picture on the right panel, the result screen, the
// demonstration's banner and, when given, the help pages.
void AddMenu(OdArt& art, Glyphs& g, int row, const std::string& title, const Canvas& picture,
             const std::vector<std::string>& help = {}) {
  // The pictures every row shares: 0-2 the panels, 3-8 the items, 9 the cursor, 10-12 the
  // ranking's labels, 13 the result screen, 14 the demonstration's banner.
  art.Shared(kMenuSlot, "menu", [&g] {
    std::vector<Canvas> p;
    const auto panel = [](int w, int h) {
      Canvas c(w, h, {{0, 0, 0}});
      c.Fill(c.Colour(kNavy));
      c.Frame(0, 0, w, h, 3, c.Colour({24, 26, 31}));
      c.Frame(6, 6, w - 6, h - 6, 1, c.Colour(kGold));
      return c;
    };
    p.push_back(panel(448, 208));  // top
    p.push_back(panel(320, 176));  // left (the items)
    p.push_back(panel(208, 176));  // right (the picture)
    const char* const kItems[6] = {"開始／繼續", "重來", "示範", "結束", "重設排行", "說明"};
    for (const char* item : kItems) {
      p.push_back(Plate(g, 144, 28, item, {8, 10, 24}, kWhite, {12, 14, 28}));
    }
    Canvas cursor(28, 28, {{0, 0, 0}});  // an arrow left of the item
    cursor.Polygon({{2, 2}, {26, 14}, {2, 26}}, cursor.Colour(kGold));
    p.push_back(cursor);
    const char* const kLabels[3] = {"第一名", "第二名", "第三名"};
    for (const char* label : kLabels) p.push_back(Words(g, label, kGold));
    Canvas result(640, 480, {{0, 0, 0}});  // the result screen behind the panels
    const uint8_t ramp = result.Ramp({4, 6, 18}, {12, 4, 16}, 32);
    result.Gradient(0, 480, ramp, 32);
    result.OutlinedText(g, 320 - Canvas::TextWidth("結果", 3) / 2, 8, "結果", result.Colour(kGold),
                        result.Colour(kInk), 3);
    p.push_back(result);
    Canvas banner(896, 32, {{0, 0, 0}});  // the demonstration's banner
    banner.Fill(banner.Colour({4, 4, 10}));
    for (int x = 16; x < 896; x += 224) banner.Text(g, x, 4, "示範中 DEMO", banner.Colour(kGold));
    p.push_back(banner);
    return p;
  });
  art.Show(450, kMenuSlot + 0);
  art.Show(451, kMenuSlot + 1);
  art.Show(452, kMenuSlot + 2);
  for (int i = 0; i < 6; ++i) art.Show(401 + i, kMenuSlot + 3 + i);
  art.Show(474, kMenuSlot + 9, -34, 0);
  for (int i = 0; i < 3; ++i) art.Show(446 + i, kMenuSlot + 10 + i);
  art.Show(479, kMenuSlot + 13);
  art.Show(453, kMenuSlot + 14);
  art.Show(400, kDigitSlot);  // the ranking's numbers
  // The row's own: its title on the top panel and its picture on the right one.
  const Canvas heading = Words(g, title, kWhite, 2);
  Canvas shown(208, 176, {{0, 0, 0}});
  for (int y = 0; y < std::min(176, picture.height()); ++y) {
    for (int x = 0; x < std::min(208, picture.width()); ++x) {
      const uint8_t v = picture.At(x, y);
      if (v != 0) shown.Put(x, y, shown.Colour(picture.colours()[v]));
    }
  }
  shown.Frame(0, 0, 208, 176, 3, shown.Colour(kGold));
  art.Pictures(kMenuSlot + 15, {heading, shown});
  art.Show(430 + row, kMenuSlot + 15, 224 - kTitleX[row] - heading.width() / 2, -4);
  art.Show(420, kMenuSlot + 16);
  if (!help.empty()) {
    std::vector<Canvas> pages;
    for (const std::string& text : help) {
      Canvas page(288, 144, {{0, 0, 0}});
      const uint8_t ink = page.Colour(kWhite);
      int y = 0;
      size_t from = 0;
      while (from <= text.size() && y < 144) {
        const size_t nl = text.find('\n', from);
        page.Text(g, 0, y,
                  text.substr(from, nl == std::string::npos ? std::string::npos : nl - from), ink);
        y += 28;
        if (nl == std::string::npos) break;
        from = nl + 1;
      }
      pages.push_back(page);
    }
    art.Pictures(kMenuSlot + 20, pages);
    for (size_t i = 0; i < pages.size(); ++i) {
      art.Show(460 + static_cast<int>(i), kMenuSlot + 20 + static_cast<int>(i));
    }
  }
}

// A small picture of a game for the menu's right panel (208 x 176): a backdrop and words.
Canvas MenuPicture(Glyphs& g, SprRgb top, SprRgb bottom, const std::string& words) {
  Canvas c(208, 176, {{0, 0, 0}});
  const uint8_t ramp = c.Ramp(top, bottom, 16);
  c.Gradient(0, 176, ramp, 16);
  c.OutlinedText(g, (208 - Canvas::TextWidth(words, 2)) / 2, 64, words, c.Colour(kWhite),
                 c.Colour(kInk), 2);
  return c;
}

// ---- Swimming (row 1) ----

// The pool, seen from above, as long as the swim: picture row p is the course's y p - 2000; the
// start's edge at the bottom (the swimmer walks in from y 504 to 384), the far wall where the
// heroine waits (y -1760), three lanes between ropes of floats.
Canvas PoolPicture(Glyphs& g) {
  Canvas c(640, 2480, {{0, 0, 0}});
  const uint8_t deck = c.Colour({26, 24, 20});
  const uint8_t tile = c.Colour({22, 20, 16});
  const uint8_t water[2] = {c.Colour(kPoolWater), c.Colour({8, 19, 30})};
  const uint8_t line = c.Colour({3, 8, 20});
  const uint8_t rope_red = c.Colour({28, 6, 6});
  const uint8_t rope_white = c.Colour({31, 31, 31});
  const uint8_t ink = c.Colour(kInk);
  c.Fill(deck);
  for (int y = 0; y < 2480; y += 32) c.Rect(0, y, 640, y + 1, tile);
  const int top = 150;      // the far wall (y -1850)
  const int bottom = 2400;  // the start's edge (y 400)
  for (int y = top; y < bottom; ++y) c.Rect(16, y, 624, y + 1, water[(y / 24) % 2]);
  for (int lane = 0; lane < 3; ++lane)
    c.Rect(160 * (lane + 1) - 4, top + 16, 160 * (lane + 1) + 4, bottom - 16, line);
  for (int x : {240, 400}) {
    for (int y = top; y < bottom; y += 12)
      c.Disc(x, y + 6, 5, (y / 12) % 4 < 2 ? rope_red : rope_white);
  }
  for (int k = 1; k < 8; ++k) {  // distance marks on the deck, every 25 m-ish
    const int y = top + k * (bottom - top) / 8;
    c.Rect(0, y - 1, 16, y + 1, ink);
    c.Rect(624, y - 1, 640, y + 1, ink);
  }
  c.Rect(16, top - 4, 624, top, ink);
  c.Rect(16, bottom, 624, bottom + 4, ink);
  c.CentredText(g, bottom + 24, "起點 START", ink);
  c.CentredText(g, top - 40, "終點 GOAL", ink);
  return c;
}

// The swimmer from above: head, arms in a stroke or gliding forward, legs kicking.
Canvas Swimmer(int pose) {
  Canvas c(48, 64, {{0, 0, 0}});
  const uint8_t skin = c.Colour({31, 24, 19});
  const uint8_t cap = c.Colour({6, 10, 28});
  const uint8_t suit = c.Colour({4, 4, 12});
  const uint8_t foam = c.Colour({28, 30, 31});
  c.Ellipse(24, 36, 9, 16, suit);
  c.Rect(18, 48, 22, 62, skin);
  c.Rect(26, 48, 30, 60, skin);
  if (pose == 0) {  // gliding: both arms ahead
    c.Line(20, 22, 18, 2, 4, skin);
    c.Line(28, 22, 30, 2, 4, skin);
  } else if (pose == 1) {  // a stroke: one arm ahead, one back
    c.Line(20, 24, 14, 4, 4, skin);
    c.Line(28, 28, 40, 40, 4, skin);
    c.Disc(12, 6, 4, foam);
  } else {  // knocked back: arms out
    c.Line(18, 26, 4, 20, 4, skin);
    c.Line(30, 26, 44, 20, 4, skin);
    c.Disc(8, 10, 5, foam);
    c.Disc(40, 10, 5, foam);
  }
  c.Disc(24, 20, 7, cap);
  return c;
}

void WriteSwim(Out& out, Shelf& shelf, Glyphs& g) {
  OdArt art("swim", shelf);
  AddDigits(art, g);
  art.Pictures(1, {PoolPicture(g)}, false);
  art.Show(1, 1);
  std::vector<Canvas> p;
  p.push_back(Swimmer(0));                              // 10 glide
  p.push_back(Swimmer(1));                              // 11 stroke
  p.push_back(Swimmer(2));                              // 12 knocked back
  p.push_back(Person(40, 64, kSwimHost));               // 13 the heroine waiting
  p.push_back(Person(40, 64, kSwimHost, false, true));  // 14 turned, waving
  Canvas ball(40, 40, {{0, 0, 0}});                     // 15 kind 1: a beach ball
  ball.Disc(20, 20, 18, ball.Colour({30, 30, 30}));
  ball.Polygon({{20, 20}, {20, 2}, {36, 12}}, ball.Colour(kRed));
  ball.Polygon({{20, 20}, {36, 28}, {20, 38}}, ball.Colour({6, 12, 30}));
  ball.Polygon({{20, 20}, {4, 28}, {4, 12}}, ball.Colour({30, 26, 4}));
  p.push_back(ball);
  const auto octopus = [](bool raised) {  // kind 2: an octopus
    Canvas o(48, 48, {{0, 0, 0}});
    const uint8_t body = o.Colour({28, 10, 16});
    o.Ellipse(24, 18, 14, 14, body);
    for (int k = 0; k < 4; ++k) {
      const int x = 12 + 8 * k;
      o.Line(x, 26, x + (k - 2) * 4, raised ? 8 : 46, 4, body);
    }
    o.Disc(18, 16, 3, o.Colour(kWhite));
    o.Disc(30, 16, 3, o.Colour(kWhite));
    o.Disc(18, 16, 1, o.Colour(kInk));
    o.Disc(30, 16, 1, o.Colour(kInk));
    return o;
  };
  p.push_back(octopus(false));       // 16
  Canvas buoy(40, 40, {{0, 0, 0}});  // 17 kind 3: a float
  buoy.Disc(20, 20, 18, buoy.Colour({30, 18, 4}));
  buoy.Disc(20, 20, 9, 0);
  p.push_back(buoy);
  Canvas duck(40, 40, {{0, 0, 0}});  // 18 kind 4: a rubber duck
  duck.Ellipse(20, 26, 16, 11, duck.Colour({31, 28, 4}));
  duck.Disc(14, 12, 9, duck.Colour({31, 28, 4}));
  duck.Polygon({{2, 12}, {8, 9}, {8, 15}}, duck.Colour({31, 16, 2}));
  duck.Disc(12, 10, 2, duck.Colour(kInk));
  p.push_back(duck);
  p.push_back(octopus(true));          // 19 kind 2 on the watch
  Canvas splash(64, 64, {{0, 0, 0}});  // 20 struck: a splash
  const uint8_t white = splash.Colour(kWhite);
  for (int a = 0; a < 360; a += 30) {
    const double r = a * 3.14159265358979 / 180;
    splash.Line(32, 32, 32 + static_cast<int>(28 * std::cos(r)),
                32 + static_cast<int>(28 * std::sin(r)), 4, white);
  }
  splash.Disc(32, 32, 10, white);
  p.push_back(splash);
  art.Pictures(10, p);
  art.Show(110, 10, -24, -32);
  art.Show(99, 11, -24, -32);
  art.Show(192, 12, -24, -32);
  art.Show(2, 13, -20, -56);
  art.Show(3, 14, -20, -56);
  art.Show(41, 15, -20, -20);
  art.Show(42, 16, -24, -24);
  art.Show(43, 17, -20, -20);
  art.Show(44, 18, -20, -20);
  art.Show(45, 19, -24, -24);
  art.Show(50, 20, -32, -32);
  art.Show(400, kDigitSlot);  // the time
  AddMenu(art, g, 1, "游泳", MenuPicture(g, {6, 16, 28}, {2, 6, 16}, "游泳"));
  art.Write(out);
}

// ---- Cleaning (row 2) ----

void WriteCleaning(Out& out, Shelf& shelf, Glyphs& g) {
  OdArt art("souji", shelf);
  AddDigits(art, g);
  // Tiles 1-4 (64 x 96; the map draws slot = tile number): the floor's boards, a cabinet seen
  // from above (a wall), a low table the two pass under (in front), the room's wall.
  std::vector<Canvas> tiles;
  Canvas floor(64, 96, {{0, 0, 0}});
  floor.Fill(floor.Colour(kFloorBoards));
  for (int x = 0; x < 64; x += 16) floor.Rect(x, 0, x + 1, 96, floor.Colour({18, 12, 6}));
  floor.Rect(8, 40, 9, 41, floor.Colour({18, 12, 6}));
  tiles.push_back(floor);
  Canvas cabinet(64, 96, {{0, 0, 0}});
  cabinet.Fill(cabinet.Colour({12, 8, 4}));
  cabinet.Frame(2, 2, 62, 94, 3, cabinet.Colour({20, 14, 7}));
  cabinet.Disc(32, 48, 4, cabinet.Colour(kGold));
  tiles.push_back(cabinet);
  // The table's cell draws only in front: it holds the floor under the table too.
  Canvas table = floor;
  table.Rect(4, 8, 60, 56, table.Colour({26, 22, 16}));
  table.Frame(4, 8, 60, 56, 2, table.Colour({14, 10, 6}));
  tiles.push_back(table);
  Canvas wall(64, 96, {{0, 0, 0}});
  wall.Fill(wall.Colour({20, 22, 26}));
  for (int y = 0; y < 96; y += 24) wall.Rect(0, y, 64, y + 2, wall.Colour({14, 16, 20}));
  tiles.push_back(wall);
  art.Pictures(1, tiles);
  // The two: the cleaning robot in the lead (round, brushes), the heroine with her broom behind.
  const auto robot = [](int pose) {
    Canvas c(48, 48, {{0, 0, 0}});
    c.Disc(24, 24, 22, c.Colour({10, 10, 12}));
    c.Disc(24, 24, 19, c.Colour(pose == 2 ? SprRgb{28, 8, 6} : SprRgb{26, 26, 28}));
    c.Disc(24, 24, 7, c.Colour(pose == 1 ? SprRgb{6, 28, 8} : SprRgb{6, 14, 28}));
    for (int k = 0; k < 2; ++k) {  // the brushes at the front
      const int x = k == 0 ? 8 : 40;
      for (int a = 0; a < 6; ++a) c.Line(x, 6, x + (a - 3) * 2, 0, 1, c.Colour({30, 28, 10}));
    }
    return c;
  };
  std::vector<Canvas> p{robot(0), robot(1), robot(2), robot(1)};  // 10-13: play, cheer, crash, goal
  for (int pose = 0; pose < 4; ++pose) {  // 14-17 the heroine from behind (she faces the floor)
    Canvas h = Person(40, 64, kSoujiHost, pose != 1 && pose != 3, pose == 1 || pose == 3);
    h.Line(34, 30, 38, 62, 2, h.Colour({16, 10, 4}));  // the broom
    if (pose == 2) h.Disc(20, 8, 4, h.Colour({31, 31, 31}));
    p.push_back(h);
  }
  Canvas dust(40, 32, {{0, 0, 0}});  // 18 the drifter: a rolling dust ball
  dust.Disc(20, 16, 14, dust.Colour({16, 16, 16}));
  for (int a = 0; a < 12; ++a)
    dust.Line(20, 16, 20 + (a % 4 - 2) * 8, 2 + (a / 4) * 12, 1, dust.Colour({22, 22, 22}));
  dust.Disc(14, 12, 2, dust.Colour(kWhite));
  dust.Disc(24, 12, 2, dust.Colour(kWhite));
  p.push_back(dust);
  Canvas mouse(40, 32, {{0, 0, 0}});  // 19 the runner: a mouse
  mouse.Ellipse(20, 18, 12, 9, mouse.Colour({18, 18, 20}));
  mouse.Disc(14, 8, 4, mouse.Colour({24, 20, 20}));
  mouse.Disc(26, 8, 4, mouse.Colour({24, 20, 20}));
  mouse.Line(20, 27, 24, 31, 1, mouse.Colour({10, 10, 10}));
  p.push_back(mouse);
  Canvas dirt(32, 24, {{0, 0, 0}});  // 20 decorations: dirt on the floor
  dirt.Ellipse(16, 12, 14, 9, dirt.Colour({10, 7, 3}));
  dirt.Ellipse(22, 10, 6, 5, dirt.Colour({7, 5, 2}));
  p.push_back(dirt);
  Canvas goal(640, 192, {{0, 0, 0}});  // 21 the goal, coming down the floor
  goal.Rect(0, 120, 640, 160, goal.Colour(kWhite));
  for (int x = 0; x < 640; x += 40)
    goal.Rect(x, 120 + (x / 40 % 2) * 20, x + 20, 140 + (x / 40 % 2) * 20, goal.Colour(kInk));
  goal.OutlinedText(g, 320 - Canvas::TextWidth("打掃完成！", 2) / 2, 40, "打掃完成！",
                    goal.Colour(kGold), goal.Colour(kInk), 2);
  p.push_back(goal);
  art.Pictures(10, p);
  const int kRobot[4] = {301, 306, 310, 304};
  const int kGirl[4] = {201, 206, 210, 205};
  for (int i = 0; i < 4; ++i) {
    art.Show(kRobot[i], 10 + i, -24, -40);
    art.Show(kGirl[i], 14 + i, -20, -56);
  }
  art.Show(100, 18, -20, -24);
  art.Show(102, 19, -20, -24);
  art.Show(110, 20, -16, -12);
  art.Show(5, 21);
  Canvas pointer(20, 20, {{0, 0, 0}});
  pointer.Polygon({{0, 0}, {18, 9}, {9, 10}, {8, 18}}, pointer.Colour(kWhite));
  art.Pictures(30, {pointer});
  art.Show(495, 30);
  art.Show(400, kDigitSlot);  // the score
  AddMenu(art, g, 2, "打掃", MenuPicture(g, {24, 17, 9}, {12, 8, 4}, "打掃"));
  art.Write(out);
}

// ---- Cooking (row 3) ----

void WriteCooking(Out& out, Shelf& shelf, Glyphs& g) {
  OdArt art("cook", shelf);
  AddDigits(art, g);
  // The kitchen behind everything, with the cutting board and the cucumber where the work panel
  // (448 x 288 at (96, 64)) leaves its middle open in the cutting test: the panel is drawn over
  // its children (the knife, the cuts, the pan, the gauge), so what they move over lies behind.
  Canvas kitchen(640, 480, {{0, 0, 0}});
  kitchen.Fill(kitchen.Colour(kKitchenWall));
  for (int x = 0; x < 640; x += 32) {
    for (int y = 0; y < 352; y += 32)
      kitchen.Frame(x, y, x + 32, y + 32, 1, kitchen.Colour({22, 20, 16}));
  }
  kitchen.Rect(0, 300, 640, 352, kitchen.Colour({16, 10, 6}));
  kitchen.Text(g, 560, 8, "廚房", kitchen.Colour(kInk));
  kitchen.Rect(96, 64, 544, 352, kitchen.Colour({28, 28, 26}));
  kitchen.Rect(96, 204, 416, 274, kitchen.Colour({26, 20, 12}));   // the board
  kitchen.Ellipse(246, 234, 140, 18, kitchen.Colour({8, 24, 6}));  // a long cucumber
  kitchen.Ellipse(246, 230, 130, 8, kitchen.Colour({14, 28, 10}));
  art.Pictures(1, {kitchen}, false);
  art.Show(1, 1);
  // The panel's three faces: a frame for the cutting; the shelf with an opening for the
  // ingredient's jar; the stove with openings for the pan, the gauge's marker beside the heat
  // scale (the good band 160-192 pixels up its 256) and the timer.
  std::vector<Canvas> panels;
  const auto panel = [&g](const std::string& words, bool open) {
    Canvas c(448, 288, {{0, 0, 0}});
    if (!open) c.Fill(c.Colour({28, 28, 26}));
    c.Frame(0, 0, 448, 288, 4, c.Colour({14, 10, 6}));
    c.Text(g, 300, 256, words, c.Colour(kInk));
    return c;
  };
  panels.push_back(panel("切菜", true));
  Canvas seasoning = panel("調味", false);
  seasoning.Rect(0, 140, 448, 146, seasoning.Colour({14, 10, 6}));
  seasoning.Rect(96, 32, 192, 136, 0);  // the jar
  panels.push_back(seasoning);
  Canvas heat = panel("火候", false);
  heat.Rect(96, 48, 288, 208, 0);  // the pan
  heat.Rect(316, 0, 344, 264, 0);  // the gauge's marker
  heat.Rect(352, 0, 384, 24, 0);   // the timer
  heat.Rect(344, 0, 360, 256, heat.Colour({10, 10, 12}));
  heat.Rect(344, 256 - 192, 360, 256 - 160, heat.Colour({6, 26, 8}));
  heat.Text(g, 364, 256 - 196, "剛好", heat.Colour({4, 18, 6}));
  heat.Text(g, 364, 30, "太大", heat.Colour(kRed));
  heat.Text(g, 364, 200, "太小", heat.Colour({6, 10, 26}));
  panels.push_back(heat);
  art.Pictures(2, panels);
  for (int i = 0; i < 3; ++i) art.Show(10 + i, 2 + i);
  std::vector<Canvas> p;
  Canvas knife(24, 96, {{0, 0, 0}});  // 10 the knife, its edge at the bottom
  knife.Rect(6, 0, 18, 40, knife.Colour({12, 6, 2}));
  knife.Polygon({{2, 40}, {22, 40}, {22, 90}, {12, 96}, {2, 90}}, knife.Colour({26, 27, 30}));
  knife.Rect(2, 40, 22, 44, knife.Colour({18, 18, 20}));
  p.push_back(knife);
  Canvas cut(4, 40, {{0, 0, 0}});  // 11 a cut in the cucumber
  cut.Fill(cut.Colour({2, 10, 2}));
  p.push_back(cut);
  const auto pan = [](SprRgb flame, int flames) {  // 12-14 the pan over small, good, big flames
    Canvas c(192, 160, {{0, 0, 0}});
    c.Fill(c.Colour({6, 6, 8}));
    c.Ellipse(96, 60, 90, 30, c.Colour({8, 8, 10}));
    c.Ellipse(96, 56, 80, 22, c.Colour({16, 16, 18}));
    c.Rect(180, 52, 192, 60, c.Colour({8, 4, 2}));
    for (int k = 0; k < flames; ++k) {
      const int x = 40 + k * 112 / std::max(flames - 1, 1);
      c.Polygon({{x - 8, 150}, {x, 150 - 10 * flames}, {x + 8, 150}}, c.Colour(flame));
    }
    return c;
  };
  p.push_back(pan({10, 14, 31}, 2));
  p.push_back(pan({31, 22, 4}, 4));
  p.push_back(pan({31, 6, 2}, 7));
  Canvas needle(24, 12, {{0, 0, 0}});  // 15 the heat gauge's marker, pointing at the scale
  needle.Polygon({{0, 0}, {14, 0}, {24, 6}, {14, 12}, {0, 12}}, needle.Colour(kRed));
  p.push_back(needle);
  const char* const kCount[4] = {"開始！", "１", "２", "３"};
  for (const char* c : kCount) p.push_back(Words(g, c, kGold, 2));  // 16-19
  for (int face = 0; face < 3; ++face) {  // 20-22 her face: glad, calm, sad
    Canvas f(96, 128, {{0, 0, 0}});
    f.Fill(f.Colour({20, 24, 30}));
    DrawFace(f, 8, 8, 80, 112, kCookHost, face == 2 ? 1 : 0, face == 0 ? 1 : 0);
    f.Frame(0, 0, 96, 128, 3, f.Colour(kGold));
    p.push_back(f);
  }
  const char* const kGrades[4] = {"很好！", "再加油", "合格", "不合格"};
  for (int i = 0; i < 4; ++i) {  // 23-26 the grade plates
    p.push_back(Plate(g, 160, 64, kGrades[i], i % 2 == 0 ? SprRgb{31, 28, 20} : SprRgb{24, 24, 28},
                      i % 2 == 0 ? kRed : kNavy, kGold, 1));
  }
  const char* const kItems[6] = {"一匙", "二匙", "三匙", "一杯", "二杯", "三杯"};
  for (const char* item : kItems) p.push_back(Plate(g, 80, 40, item, kPaper, kInk));  // 27-32
  Canvas frame(88, 48, {{0, 0, 0}});  // 33 the cursor round an item
  frame.Frame(0, 0, 88, 48, 4, frame.Colour(kRed));
  p.push_back(frame);
  const char* const kIngredients[5] = {"鹽", "糖", "醬油", "醋", "酒"};
  const SprRgb kJar[5] = {{30, 30, 30}, {31, 28, 24}, {10, 4, 2}, {24, 20, 8}, {22, 26, 30}};
  for (int i = 0; i < 5; ++i) {  // 34-38 the ingredients' jars
    Canvas j(96, 104, {{0, 0, 0}});
    j.Rect(16, 24, 80, 104, j.Colour({18, 20, 24}));
    j.Rect(20, 40, 76, 100, j.Colour(kJar[i]));
    j.Rect(24, 12, 72, 24, j.Colour({12, 6, 2}));
    j.Rect(22, 56, 74, 84, j.Colour(kPaper));
    j.Text(g, 48 - Canvas::TextWidth(kIngredients[i]) / 2, 58, kIngredients[i], j.Colour(kInk));
    p.push_back(j);
  }
  // The text window (slot 100) and its empty page (101): 640 x 128 at (0, 352).
  art.Pictures(10, p);
  art.Show(20, 10, 0, 14);
  art.Show(21, 11, 10, 70);
  for (int band = 0; band < 3; ++band) art.Show(30 + band, 12 + band);
  art.Show(33, 15, 0, -6);
  for (int i = 0; i < 4; ++i) art.Show(60 + i, 16 + i, i == 0 ? -40 : 8, 0);
  for (int i = 0; i < 3; ++i) art.Show(70 + i, 20 + i);
  for (int i = 0; i < 4; ++i) art.Show(75 + i, 23 + i);
  for (int i = 0; i < 6; ++i) art.Show(80 + i, 27 + i);
  art.Show(86, 33, -4, -4);
  for (int i = 0; i < 5; ++i) art.Show(90 + i, 34 + i);
  art.Show(40, kDigitSlot);  // the heat test's timer
  art.Pictures(100, TextWindow(640, 128, {14, 10, 6}), false);
  AddMenu(art, g, 3, "料理", MenuPicture(g, {28, 22, 12}, {16, 10, 6}, "料理"));
  art.Write(out);
}

// ---- Flower cards (rows 4, 9-15) and the hub (row 8) ----

// The months' plants and colours, and the cards' kinds.
const char* const kMonthNames[12] = {"一月", "二月", "三月", "四月", "五月", "六月",
                                     "七月", "八月", "九月", "十月", "十一", "十二"};
const char* const kPlants[12] = {"松", "梅", "櫻", "藤", "菖", "牡",
                                 "萩", "芒", "菊", "楓", "柳", "桐"};
const SprRgb kPlantColour[12] = {{4, 18, 6},  {28, 8, 14}, {31, 20, 24}, {20, 10, 26},
                                 {10, 8, 26}, {30, 6, 12}, {26, 12, 18}, {24, 22, 10},
                                 {30, 26, 4}, {30, 10, 2}, {8, 20, 8},   {18, 12, 24}};

// Card n (1-48): month (n + 3) / 4, its class by the deck's table: 20 bright, 10 animal, 5
// ribbon, 1 plain; red and blue ribbons told apart.
int CardClass(int n) {
  static const int kClass[48] = {20, 5, 1, 1, 10, 5, 1, 1, 20, 5,  1, 1, 10, 5,  1, 1,
                                 10, 5, 1, 1, 10, 5, 1, 1, 10, 5,  1, 1, 20, 10, 1, 1,
                                 10, 5, 1, 1, 10, 5, 1, 1, 20, 10, 5, 1, 20, 1,  1, 1};
  return kClass[n - 1];
}
bool RedRibbon(int n) { return n == 2 || n == 6 || n == 10; }
bool BlueRibbon(int n) { return n == 22 || n == 34 || n == 38; }

// A card face (40 x 64): the month and the plant on top (the part that shows when cards
// overlap), the kind's mark below: a sun for a bright, a bird for an animal, a ribbon, or the
// plant again for a plain.
Canvas CardFace(Glyphs& g, int n) {
  const int month = (n + 3) / 4;
  const int klass = CardClass(n);
  Canvas c(40, 64, {{0, 0, 0}});
  c.Fill(c.Colour({30, 29, 24}));
  c.Frame(0, 0, 40, 64, 2, c.Colour({20, 6, 4}));
  const uint8_t plant = c.Colour(kPlantColour[month - 1]);
  c.HalfText(g, 2, 2, kMonthNames[month - 1], c.Colour(kInk));
  c.Text(g, 14, 0, kPlants[month - 1], plant);
  c.Rect(2, 24, 38, 25, c.Colour({20, 6, 4}));
  if (klass == 20) {
    c.Disc(20, 44, 12, c.Colour({31, 6, 4}));
    c.HalfText(g, 14, 38, "光", c.Colour(kWhite));
  } else if (klass == 10) {
    c.Ellipse(20, 46, 11, 7, c.Colour({10, 8, 4}));
    c.Disc(28, 40, 5, c.Colour({10, 8, 4}));
    c.HalfText(g, 14, 50, "種", c.Colour(kGold));
  } else if (klass == 5) {
    const SprRgb ribbon = BlueRibbon(n) ? SprRgb{4, 8, 28} : SprRgb{28, 4, 4};
    c.Polygon({{12, 28}, {28, 28}, {24, 60}, {16, 60}}, c.Colour(ribbon));
    if (RedRibbon(n)) c.HalfText(g, 14, 36, "赤", c.Colour(kWhite));
    if (BlueRibbon(n)) c.HalfText(g, 14, 36, "青", c.Colour(kWhite));
    if (!RedRibbon(n) && !BlueRibbon(n)) c.HalfText(g, 14, 36, "短", c.Colour(kWhite));
  } else {
    c.Text(g, 8, 32, kPlants[month - 1], plant);
  }
  return c;
}

Canvas CardBack() {
  Canvas c(40, 64, {{0, 0, 0}});
  c.Fill(c.Colour({20, 4, 4}));
  c.Frame(3, 3, 37, 61, 2, c.Colour({8, 2, 2}));
  c.Diamond(20, 32, 12, 20, c.Colour({26, 10, 6}));
  return c;
}

// Cards 1-48 in slots and animations 1-48 (card n shows picture n), the back in 49 (and the
// deck's animation 49, the taken cards' picture 50).
void AddCards(OdArt& art, Glyphs& g) {
  art.Shared(1, "cards", [&g] {
    std::vector<Canvas> cards;
    for (int n = 1; n <= 48; ++n) cards.push_back(CardFace(g, n));
    cards.push_back(CardBack());
    cards.push_back(CardBack());
    return cards;
  });
  for (int n = 1; n <= 50; ++n) art.Show(n, n);
}

// The combinations' names (labels 0-14) and the flower-card game's texts.
const char* const kComboNames[15] = {"素十",   "短冊",   "種",   "月見酒", "花見酒",
                                     "豬鹿蝶", "赤短",   "青短", "五光",   "三光",
                                     "四光",   "雨四光", "",     "",       "親權"};
const char* const kHanaLines[25] = {
    "我贏了！",
    "唉，輸給你了。",
    "這一局我停在這裡。",
    "就到此為止吧。",
    "還沒完呢！",
    "輪到我了。",
    "你還要繼續嗎？",
    "膽子真大。",
    "運氣不錯。",
    "好厲害的牌！",
    "這一局是你的。",
    "算你贏吧。",
    "這局我贏了！",
    "看我的大牌！",
    "請多指教。",
    "你先請。",
    "原來如此。",
    "那就結算吧。",
    "我還要繼續！",
    "再來一張！",
    "太強了……",
    "這次我先。",
    "該我先出了。",
    "同月四張，重新發牌。",
    "場上有兩張同月的牌。",
};
const char* const kTutorialTexts[8] = {
    "選一張手牌，和場上同月的牌配對。", "沒有能配對的牌時，手牌放到場上。",
    "牌堆快用完了，再努力湊役吧！",     "湊成役了！可以繼續或停止。",
    "繼續的話，可以湊更大的役。",       "選擇停止就結算。",
    "對手湊成役了，要小心。",           "教學結束，點數已經結算。",
};

// The flower-card game's pictures and texts (rows 4 and 9-15 read the same file).
void AddHanaGame(OdArt& art, Glyphs& g) {
  AddCards(art, g);
  art.Shared(60, "hana_board", [&g] {
    std::vector<Canvas> p;
    Canvas table(640, 480, {{0, 0, 0}});  // 0 the table's felt
    table.Fill(table.Colour(kFelt));
    table.Frame(8, 8, 632, 472, 2, table.Colour({10, 20, 12}));
    table.Rect(80, 132, 540, 220, table.Colour({5, 16, 9}));
    table.Text(g, 470, 40, "對手",
               table.Colour(kGold));  // the banks' numbers at (560, 40), (560, 440)
    table.Text(g, 470, 440, "點數", table.Colour(kGold));
    p.push_back(table);
    Canvas mark(40, 64, {{0, 0, 0}});  // 1 a field card's mark: a gold frame
    mark.Frame(0, 0, 40, 64, 3, mark.Colour(kGold));
    p.push_back(mark);
    Canvas cursor(44, 68, {{0, 0, 0}});  // 2 the cursor round a hand card
    cursor.Frame(0, 0, 44, 68, 3, cursor.Colour({31, 6, 6}));
    p.push_back(cursor);
    p.push_back(Plate(g, 160, 48, "繼續！", {31, 28, 20}, kRed));   // 3
    p.push_back(Plate(g, 160, 48, "停止", {24, 24, 28}, kNavy));    // 4
    p.push_back(Plate(g, 120, 40, "繼續", kPaper, kRed));           // 5
    p.push_back(Plate(g, 120, 40, "停止", kPaper, kNavy));          // 6
    p.push_back(Plate(g, 200, 48, "示範對局", {4, 4, 10}, kGold));  // 7
    p.push_back(Words(g, "回合", kGold));                           // 8
    p.push_back(Words(g, "▲", kGold));                              // 9 the turn marker
    p.push_back(Words(g, "花牌對決！", kGold, 2));                  // 10, 11 the banners
    p.push_back(Words(g, "ＶＳ", kWhite, 2));
    p.push_back(Plate(g, 200, 48, "繼續嗎？", {4, 4, 10}, kGold));  // 12 the countdown's plate
    Canvas closing(640, 480, {{0, 0, 0}});                          // 13 the closing picture
    closing.Fill(closing.Colour({2, 2, 6}));
    closing.OutlinedText(g, 320 - Canvas::TextWidth("勝負已分", 2) / 2, 200, "勝負已分",
                         closing.Colour(kGold), closing.Colour(kInk), 2);
    p.push_back(closing);
    for (int k = 0; k < 8; ++k) {  // 14-21 the opponents' name plates
      p.push_back(Plate(g, 240, 48, "對手 " + std::to_string(k + 1), {4, 4, 10}, kGold));
    }
    for (int label = 0; label < 15; ++label) {  // 22-36 the combination plates
      p.push_back(Plate(g, 144, 32, kComboNames[label], {28, 24, 14}, kInk));
    }
    return p;
  });
  // The text window (slots 500, 501): one line at (16, 352), clear of the hand below it.
  art.Shared(
      500, "hana_window",
      [] {
        return TextWindow(608, 40, {20, 6, 4});
      },
      false);
  art.Show(56, 61);
  art.Show(57, 62, -2, -2);
  art.Show(201, 63, -80, -24);
  art.Show(202, 64, -80, -24);
  art.Show(203, 65, -60, 0);
  art.Show(204, 66, -60, 0);
  art.Show(205, 67, -100, -24);
  art.Show(206, 68, -24, 0);  // "回合" left of the round's number
  art.Show(207, 69);
  art.Show(208, 70, -140, -28);
  art.Show(209, 71, -50, -28);
  art.Show(210, 72, -100, -24);
  art.Show(90, 73);
  art.Show(91, 73);
  art.Show(92, 73);
  for (int k = 0; k < 8; ++k) art.Show(80 + k, 74 + k, -120, -24);
  for (int label = 0; label < 15; ++label) art.Show(160 + label, 82 + label);
  art.Show(400, kDigitSlot);  // banks, counters, round, values
  // Each on a page of its own (13 starts a new page).
  for (int i = 0; i < 25; ++i) art.Text(i, std::string("\r") + kHanaLines[i]);
  for (int i = 0; i < 8; ++i) art.Text(150 + i, std::string("\r") + kTutorialTexts[i]);
  art.Text(30, "tamvik1\\bgm\\tamvik.wav");
  // The table's picture as the background (animation 100 of the hub too).
  art.Show(100, 60);
}

void WriteHana(Out& out, Shelf& shelf, Glyphs& g) {
  const std::vector<std::string> help = {
      "花牌有十二個月份，\n每月四張。",
      "選一張手牌，\n和場上同月的牌配對，\n就能取走兩張。",
      "沒有同月的牌時，\n手牌留在場上。",
      "接著翻開牌堆的\n一張，同樣配對。",
      "取得的牌湊成役，\n就能得分。",
      "役成立後，\n可以選擇繼續或停止。",
      "停止就結算點數。",
      "繼續的話，\n對手也可能湊役。",
      "五光：光牌五張。",
      "豬鹿蝶：豬、鹿、蝶。",
      "赤短、青短：\n各三張短冊。",
      "素十：素牌十張。",
  };
  // One file of pictures for the eight rows: each opponent's od file is the same.
  OdArt art("hana", shelf);
  AddDigits(art, g);
  AddHanaGame(art, g);
  AddMenu(art, g, 4, "花牌", MenuPicture(g, {4, 14, 8}, {2, 6, 4}, "花牌"), help);
  art.Write(out);
  for (const char* name : {"aysol", "brise", "lunet", "davon", "tamvi", "zuqel", "zuq2"}) {
    out.Write("tamvik3/od/mg_" + std::string(name) + ".od", art.od.Build());
  }
}

// The hub: its title, menu, the combination list's plates, the rules' switches and the free
// match's portraits.
void WriteHub(Out& out, Shelf& shelf, Glyphs& g) {
  OdArt art("koi", shelf);
  AddDigits(art, g);
  AddHanaGame(art, g);
  std::vector<Canvas> p;
  p.push_back(Plate(g, 400, 96, "花牌大廳", {20, 4, 4}, kGold, kGold, 2));  // 0 the title
  Canvas panel(640, 480, {{0, 0, 0}});                                      // 1 the menu's panel
  for (int y = 0; y < 480; ++y) {
    for (int x = (y % 2); x < 640; x += 2) panel.Put(x, y, panel.Colour({2, 3, 8}));
  }
  p.push_back(panel);
  const char* const kItems[6] = {"挑戰賽", "離開", "教學", "役一覽", "規則", "自由對局"};
  for (const char* item : kItems) p.push_back(Plate(g, 192, 64, item, {28, 24, 14}, kInk));  // 2-7
  p.push_back(Plate(g, 192, 64, "？？？", {14, 14, 14}, {6, 6, 6}));                         // 8
  Canvas arrow(32, 32, {{0, 0, 0}});                                                         // 9
  arrow.Polygon({{2, 4}, {30, 16}, {2, 28}}, arrow.Colour(kGold));
  p.push_back(arrow);
  p.push_back(Plate(g, 160, 32, "返回", kPaper, kInk));  // 10 the back items
  const char* const kSwitches[3] = {"花見月見酒", "酒杯當素牌", "雨光當素牌"};
  for (const char* s : kSwitches) {  // 11-16 each switch off and on
    p.push_back(Plate(g, 320, 48, std::string(s) + "：關", {20, 20, 22}, kInk));
    p.push_back(Plate(g, 320, 48, std::string(s) + "：開", {30, 26, 12}, kInk));
  }
  for (int lit = 0; lit < 2; ++lit) {  // 17-24 and 25-32: the portraits, dim and lit
    for (int code = 0; code < 8; ++code) {
      Canvas c(128, 176, {{0, 0, 0}});
      c.Fill(c.Colour(lit != 0 ? SprRgb{30, 26, 12} : SprRgb{8, 8, 12}));
      if (code < 7) {
        const Look look{
            {static_cast<uint8_t>(4 + 4 * code), 6, static_cast<uint8_t>(20 - 2 * code)},
            {31, 24, 19},
            {static_cast<uint8_t>(20 - 2 * code), 8, static_cast<uint8_t>(8 + 3 * code)}};
        DrawFace(c, 16, 16, 96, 120, look);
        c.CentredText(g, 144, "對手 " + std::to_string(code + 1), c.Colour(kInk));
      } else {
        c.CentredText(g, 76, "返回", c.Colour(lit != 0 ? kInk : kWhite));
      }
      c.Frame(0, 0, 128, 176, 3, c.Colour(kGold));
      p.push_back(c);
    }
  }
  art.Pictures(200, p);
  art.Show(101, 200, -200, -48);
  art.Show(102, 201);
  for (int i = 0; i < 6; ++i) art.Show(110 + i, 202 + i);
  art.Show(116, 208);
  art.Show(117, 209);
  art.Show(118, 210);
  for (int i = 0; i < 6; ++i) art.Show(120 + i, 211 + i);
  for (int code = 0; code < 8; ++code) {
    art.Show(140 + code, 217 + code);
    art.Show(130 + code, 225 + code);
  }
  // The list: names 0-11 (plates), points 12-17, the back caption 18, captions 19-30.
  const char* const kListNames[12] = {"五光",   "四光", "雨四光", "三光", "月見酒", "花見酒",
                                      "豬鹿蝶", "種",   "赤短",   "青短", "短冊",   "素十"};
  const char* const kPoints[6] = {"15點", "10點", "8點", "6點", "3點", "1點"};
  const char* const kCaptions[12] = {
      "五張光牌全部取得。", "雨以外的四張光牌。", "含雨的四張光牌。",       "雨以外的三張光牌。",
      "芒上月與菊上杯。",   "櫻上幕與菊上杯。",   "萩豬、紅葉鹿、牡丹蝶。", "種牌五張以上。",
      "松梅櫻的赤短三張。", "牡丹菊紅葉的青短。", "短冊五張以上。",         "素牌十張以上。",
  };
  std::vector<Canvas> list;
  for (const char* name : kListNames) list.push_back(Plate(g, 144, 32, name, kPaper, kInk));
  for (const char* points : kPoints) list.push_back(Words(g, points, kGold));
  list.push_back(Words(g, "回到選單。", kWhite));
  for (const char* caption : kCaptions) list.push_back(Words(g, caption, kWhite));
  art.Pictures(240, list);
  for (int i = 0; i < 12; ++i) art.Show(200 + i, 240 + i, 0, 0);
  for (int i = 0; i < 6; ++i) art.Show(212 + i, 252 + i, -40, 0);
  art.Show(218, 258, -Canvas::TextWidth("回到選單。") / 2, 0);
  for (int i = 0; i < 12; ++i) {
    art.Show(219 + i, 259 + i, -Canvas::TextWidth(kCaptions[i]) / 2 - 2, 0);
  }
  art.Write(out);
}

// ---- Slot machine (row 5) ----

void WriteSlot(Out& out, Shelf& shelf, Glyphs& g) {
  OdArt art("slot", shelf);
  AddDigits(art, g);
  // The machine: a dark red cabinet, a gold frame round the reels' window (x 128-512, y 96-288),
  // the coins' and the score's boxes.
  Canvas bg(640, 480, {{0, 0, 0}});
  const uint8_t ramp = bg.Ramp({16, 2, 4}, {6, 0, 2}, 32);
  bg.Gradient(0, 480, ramp, 32);
  bg.Rect(112, 80, 528, 304, bg.Colour(kGold));
  bg.Rect(120, 88, 520, 296, bg.Colour(kReelWindow));
  bg.Frame(16, 408, 128, 452, 2, bg.Colour(kGold));
  bg.Frame(464, 408, 560, 452, 2, bg.Colour(kGold));
  bg.Text(g, 20, 380, "硬幣", bg.Colour(kGold));
  bg.Text(g, 468, 380, "分數", bg.Colour(kGold));
  bg.OutlinedText(g, 128, 16, "幸運拉霸", bg.Colour(kGold), bg.Colour(kInk), 2);
  art.Pictures(1, {bg}, false);
  art.Show(1, 1);
  // The five symbols on the reels (64 x 64): seven, star, bell, cherry, melon.
  std::vector<Canvas> symbols;
  const auto face = [](SprRgb paper) {
    Canvas c(64, 64, {{0, 0, 0}});
    c.Fill(c.Colour(paper));
    c.Rect(0, 62, 64, 64, c.Colour({20, 20, 20}));
    return c;
  };
  Canvas seven = face(kReelPaper);
  seven.OutlinedText(g, 20, 8, "7", seven.Colour(kRed), seven.Colour(kInk), 2);
  symbols.push_back(seven);
  Canvas star = face(kReelPaper);
  const uint8_t yellow = star.Colour({31, 26, 2});
  std::vector<std::pair<int, int>> points;
  for (int k = 0; k < 10; ++k) {
    const double a = -3.14159265358979 / 2 + k * 3.14159265358979 / 5;
    const int r = k % 2 == 0 ? 28 : 12;
    points.emplace_back(32 + static_cast<int>(r * std::cos(a)),
                        34 + static_cast<int>(r * std::sin(a)));
  }
  star.Polygon(points, yellow);
  symbols.push_back(star);
  Canvas bell = face(kReelPaper);
  bell.Polygon({{18, 48}, {22, 20}, {32, 10}, {42, 20}, {46, 48}}, bell.Colour({30, 22, 4}));
  bell.Rect(14, 48, 50, 54, bell.Colour({24, 16, 2}));
  bell.Disc(32, 56, 4, bell.Colour({24, 16, 2}));
  symbols.push_back(bell);
  Canvas cherry = face(kReelPaper);
  cherry.Line(24, 40, 36, 10, 2, cherry.Colour({4, 18, 4}));
  cherry.Line(42, 42, 36, 10, 2, cherry.Colour({4, 18, 4}));
  cherry.Disc(22, 44, 10, cherry.Colour({28, 2, 4}));
  cherry.Disc(42, 46, 10, cherry.Colour({28, 2, 4}));
  symbols.push_back(cherry);
  Canvas melon = face(kReelPaper);
  melon.Disc(32, 34, 24, melon.Colour({6, 22, 6}));
  for (int k = 0; k < 4; ++k)
    melon.Line(12 + 12 * k, 14, 12 + 12 * k, 54, 2, melon.Colour({2, 12, 2}));
  symbols.push_back(melon);
  art.Pictures(20, symbols, false);
  for (int s = 0; s < 5; ++s) art.Show(20 + s, 20 + s);
  std::vector<Canvas> p;
  p.push_back(Plate(g, 64, 40, "停", {30, 6, 6}, kWhite));        // 30 the stop button lit
  p.push_back(Plate(g, 64, 40, "停", {10, 4, 4}, {18, 12, 12}));  // 31 dark
  p.push_back(Plate(g, 64, 40, "停", {31, 26, 4}, kInk));         // 32 pressed
  Canvas cursor(72, 48, {{0, 0, 0}});                             // 33 the cursor
  cursor.Frame(0, 0, 72, 48, 3, cursor.Colour(kWhite));
  p.push_back(cursor);
  Canvas panel(480, 320, {{0, 0, 0}});  // 34 the result panel
  panel.Fill(panel.Colour(kNavy));
  panel.Frame(0, 0, 480, 320, 4, panel.Colour(kGold));
  panel.Text(g, 320, 280, "今日運勢", panel.Colour(kGold));
  p.push_back(panel);
  const char* const kCategories[6] = {"戀愛運", "金錢運", "健康運", "工作運", "學業運", "人緣運"};
  for (const char* c : kCategories) p.push_back(Words(g, c, kWhite));  // 35-40
  for (int pose = 0; pose < 5; ++pose) {  // 41-45 the hostess: calm, then grades 1, 0, 2, 3
    Canvas h = Person(96, 200, kSlotHost, false, pose == 1 || pose == 2);
    if (pose == 4) h.Disc(30, 30, 4, h.Colour({20, 24, 31}));  // a tear at the worst grade
    p.push_back(h);
  }
  Canvas gag(128, 128, {{0, 0, 0}});  // 46 the hidden gag
  gag.Disc(64, 64, 60, gag.Colour({31, 26, 4}));
  gag.OutlinedText(g, 64 - Canvas::TextWidth("大獎？", 1) / 2, 52, "大獎？", gag.Colour(kRed),
                   gag.Colour(kInk));
  p.push_back(gag);
  art.Pictures(30, p);
  art.Show(30, 30);
  art.Show(31, 31);
  art.Show(32, 32);
  art.Show(34, 33, -4, -4);
  art.Show(60, 34);
  const int kPlates[6] = {100, 103, 101, 104, 102, 105};
  for (int i = 0; i < 6; ++i) art.Show(kPlates[i], 35 + i);
  art.Show(70, 41, -8, -60);
  const int kGrades[4] = {72, 71, 73, 74};
  for (int i = 0; i < 4; ++i) art.Show(kGrades[i], 42 + i, -8, -60);
  art.Show(95, 46);
  art.Show(110, kDigitSlot);  // coins, score, values
  AddMenu(art, g, 5, "拉霸", MenuPicture(g, {16, 2, 4}, {6, 0, 2}, "拉霸"));
  art.Write(out);
}

// ---- Lost child (row 6) ----

// The fifteen children: seven girls, eight boys, each in hair and clothes of their own.
Look ChildLook(int kind) {
  const SprRgb hair[5] = {{4, 3, 2}, {16, 8, 2}, {24, 18, 6}, {8, 4, 2}, {2, 2, 4}};
  const SprRgb clothes[15] = {{30, 10, 16}, {28, 20, 4}, {10, 20, 30}, {24, 8, 28}, {6, 24, 10},
                              {30, 16, 4},  {28, 28, 6}, {4, 10, 28},  {20, 4, 4},  {6, 20, 20},
                              {18, 18, 18}, {2, 14, 4},  {26, 8, 2},   {12, 6, 20}, {16, 24, 6}};
  return {hair[kind % 5], {31, 24, 19}, clothes[kind]};
}

void WriteMaigo(Out& out, Shelf& shelf, Glyphs& g) {
  OdArt art("maigo", shelf);
  AddDigits(art, g);
  // The park: grass, a path, trees at the edges.
  Canvas park(640, 480, {{0, 0, 0}});
  park.Fill(park.Colour(kParkGrass));
  park.Rect(0, 96, 640, 352, park.Colour({24, 21, 14}));
  for (int x = 16; x < 640; x += 96) {
    park.Disc(x, 40, 26, park.Colour({4, 14, 4}));
    park.Rect(x - 4, 56, x + 4, 90, park.Colour({12, 8, 4}));
  }
  park.OutlinedText(g, 240, 8, "迷路的孩子", park.Colour(kWhite), park.Colour(kInk));
  art.Pictures(1, {park}, false);
  art.Show(1, 1);
  // Children: kind k's pictures in slots 10 + 4k (normal, happy, sad, leaving).
  std::vector<Canvas> children;
  for (int kind = 0; kind < 15; ++kind) {
    const Look look = ChildLook(kind);
    const bool girl = kind < 7;
    for (int pose = 0; pose < 4; ++pose) {
      Canvas c = Person(40, 48, look, pose == 3, pose == 1);
      if (girl) c.Disc(8, 6, 4, c.Colour({31, 10, 16}));         // a ribbon
      if (pose == 2) c.Disc(14, 14, 2, c.Colour({16, 24, 31}));  // a tear
      children.push_back(c);
    }
  }
  art.Pictures(10, children);
  for (int kind = 0; kind < 15; ++kind) {
    for (int pose = 0; pose < 4; ++pose)
      art.Show(kind * 17 + 20 + pose, 10 + 4 * kind + pose, -20, -40);
  }
  // Name labels 300-314 (the names as the game holds them), the heroine, lives, the cursor.
  const char* const kNames[15] = {"小花", "小梅", "小雪", "小玉", "小蘭", "小琴", "小鈴", "阿明",
                                  "阿強", "阿志", "阿德", "阿勇", "阿山", "阿平", "阿福"};
  std::vector<Canvas> p;
  for (const char* name : kNames) p.push_back(Plate(g, 60, 24, name, kPaper, kInk));  // 0-14
  p.push_back(Person(48, 72, kMaigoHost));                                            // 15 waiting
  p.push_back(Person(48, 72, kMaigoHost, false, true));  // 16 searching
  Canvas sad = Person(48, 72, kMaigoHost);               // 17 sad
  sad.Disc(18, 16, 2, sad.Colour({16, 24, 31}));
  p.push_back(sad);
  for (int lives = 3; lives >= 1; --lives) {  // 18-20 hearts
    Canvas heart(28, 24, {{0, 0, 0}});
    heart.Disc(8, 8, 7, heart.Colour(kRed));
    heart.Disc(20, 8, 7, heart.Colour(kRed));
    heart.Polygon({{1, 10}, {27, 10}, {14, 24}}, heart.Colour(kRed));
    p.push_back(heart);
  }
  Canvas arrow(24, 20, {{0, 0, 0}});  // 21 the cursor over a child
  arrow.Polygon({{0, 0}, {24, 0}, {12, 20}}, arrow.Colour(kGold));
  p.push_back(arrow);
  art.Pictures(300, p);
  for (int i = 0; i < 15; ++i) art.Show(300 + i, 300 + i, -30, -28);
  art.Show(276, 315, -24, -64);
  art.Show(277, 316, -24, -64);
  art.Show(282, 317, -24, -64);
  for (int i = 0; i < 3; ++i) art.Show(330 + i, 318 + i);
  art.Show(335, 321, -12, -64);
  art.Show(340, kDigitSlot);  // the timer
  art.Pictures(500, TextWindow(576, 88, {8, 14, 6}), false);
  AddMenu(art, g, 6, "迷路", MenuPicture(g, {10, 20, 8}, {4, 10, 4}, "迷路"));
  art.Write(out);
}

// ---- Shooting (row 7) ----

void WriteShot(Out& out, Shelf& shelf, Glyphs& g) {
  OdArt art("shot", shelf);
  AddDigits(art, g);
  // The booth's front (layer 128): curtains left and right (0-160 and 576-640) and a counter
  // along the bottom, over the scene.
  std::vector<Canvas> front;
  const auto curtain = [](int w, int h) {
    Canvas c(w, h, {{0, 0, 0}});
    for (int x = 0; x < w; ++x)
      c.Rect(x, 0, x + 1, h, c.Colour({static_cast<uint8_t>(20 + (x / 6) % 2 * 6), 2, 4}));
    return c;
  };
  front.push_back(curtain(64, 384));     // 0: objects 4 and 20 (left)
  Canvas counter(640, 64, {{0, 0, 0}});  // 1: object 5 (the counter)
  counter.Fill(counter.Colour({14, 8, 4}));
  counter.Rect(0, 0, 640, 6, counter.Colour(kGold));
  counter.Text(g, 24, 20, "射擊遊戲", counter.Colour(kGold));
  front.push_back(counter);
  front.push_back(curtain(64, 384));     // 2: object 6 (right)
  Canvas valance(256, 24, {{0, 0, 0}});  // 3: objects 22, 23 (top)
  for (int x = 0; x < 256; x += 32)
    valance.Polygon({{x, 0}, {x + 32, 0}, {x + 16, 24}}, valance.Colour(kRed));
  front.push_back(valance);
  front.push_back(Canvas(1, 1, {{0, 0, 0}}));  // 4: object 21 (nothing)
  art.Pictures(1, front);
  art.Show(1, 1);
  art.Show(2, 2);
  art.Show(3, 3);
  art.Show(20, 1);
  art.Show(21, 5);
  art.Show(22, 4);
  art.Show(23, 4);
  // The scene (layer 512): the sky in four pieces behind, the strip of 3 x 1024 in front of it
  // (hills and a fence), and the blocking pieces (bushes, rocks) at their own layers.
  std::vector<Canvas> sky;
  for (int k = 0; k < 4; ++k) {
    Canvas c(160, 448, {{0, 0, 0}});
    const uint8_t ramp = c.Ramp(kSkyTop, {24, 28, 31}, 32);
    c.Gradient(0, 448, ramp, 32);
    if (k == 1) c.Disc(80, 60, 24, c.Colour({31, 30, 20}));
    sky.push_back(c);
  }
  art.Pictures(30, sky, false);
  for (int k = 0; k < 4; ++k) art.Show(24 + k, 30 + k);
  std::vector<Canvas> strip;
  for (int part = 0; part < 3; ++part) {
    Canvas c(1024, 448, {{0, 0, 0}});
    const uint8_t hill = c.Colour({static_cast<uint8_t>(8 + 2 * part), 20, 8});
    const uint8_t grass = c.Colour(kMeadow);
    for (int x = 0; x < 1024; ++x) {
      const int top = 200 + static_cast<int>(24 * std::sin((x + 1024 * part) / 90.0));
      c.Rect(x, top, x + 1, 448, hill);
    }
    c.Rect(0, 296, 1024, 448, grass);
    for (int x = 0; x < 1024; x += 40) c.Rect(x, 264, x + 6, 304, c.Colour({20, 14, 6}));
    c.Rect(0, 268, 1024, 274, c.Colour({20, 14, 6}));
    strip.push_back(c);
  }
  art.Pictures(40, strip);
  for (int part = 0; part < 3; ++part) art.Show(10 + part, 40 + part);
  std::vector<Canvas> pieces;
  for (int k = 13; k <= 19; ++k) {
    Canvas c(160, 160, {{0, 0, 0}});
    if (k % 2 == 0) {  // a bush
      c.Disc(50, 110, 46, c.Colour({4, 16, 4}));
      c.Disc(110, 110, 46, c.Colour({6, 18, 6}));
      c.Disc(80, 80, 46, c.Colour({5, 20, 5}));
    } else {  // a rock
      c.Ellipse(80, 110, 74, 48, c.Colour({16, 16, 16}));
      c.Ellipse(70, 100, 50, 30, c.Colour({20, 20, 20}));
    }
    pieces.push_back(c);
  }
  art.Pictures(50, pieces);
  for (int k = 13; k <= 19; ++k) art.Show(k, 50 + (k - 13));
  // The targets: four kinds (a tin duck, a bear, a bird, a ghost) at four depths, their foot at
  // the object's point; the hit box of each depth is the picture's size.
  struct Depth {
    int w, h, dx;
  };
  const Depth kDepths[4] = {{64, 48, -40}, {96, 80, -56}, {128, 128, -64}, {192, 224, -96}};
  const auto target = [](int kind, int w, int h) {
    Canvas c(w, h, {{0, 0, 0}});
    const int cx = w / 2;
    if (kind == 0) {  // a tin duck
      c.Ellipse(cx, h * 2 / 3, w * 2 / 5, h / 4, c.Colour({30, 26, 4}));
      c.Disc(cx + w / 4, h / 3, std::min(w, h) / 6, c.Colour({30, 26, 4}));
      c.Polygon({{cx + w / 3, h / 3}, {w - 1, h / 3 + 2}, {cx + w / 3, h / 3 + 6}},
                c.Colour({31, 14, 2}));
      c.Rect(cx - w / 3, h - 6, cx + w / 3, h, c.Colour({18, 18, 18}));
    } else if (kind == 1) {  // a bear
      c.Ellipse(cx, h * 2 / 3, w / 3, h / 3 - 1, c.Colour({16, 9, 4}));
      c.Disc(cx, h / 4 + 2, std::min(w, h) / 5, c.Colour({16, 9, 4}));
      c.Disc(cx - w / 8, h / 8 + 2, std::min(w, h) / 14 + 1, c.Colour({16, 9, 4}));
      c.Disc(cx + w / 8, h / 8 + 2, std::min(w, h) / 14 + 1, c.Colour({16, 9, 4}));
      c.Disc(cx, h / 4 + 6, std::min(w, h) / 14 + 1, c.Colour({26, 20, 14}));
    } else if (kind == 2) {  // a bird
      c.Ellipse(cx, h / 2, w / 3, h / 4, c.Colour({6, 14, 30}));
      c.Polygon({{cx - w / 6, h / 2}, {cx, 2}, {cx + w / 6, h / 2}}, c.Colour({10, 20, 31}));
      c.Polygon({{cx + w / 3, h / 2 - 2}, {w - 1, h / 2}, {cx + w / 3, h / 2 + 4}},
                c.Colour({31, 22, 2}));
      c.Disc(cx + w / 5, h / 2 - h / 10, std::max(1, w / 24), c.Colour(kInk));
    } else {  // a ghost
      c.Ellipse(cx, h / 2, w / 3, h / 2 - 2, c.Colour({28, 28, 31}));
      c.Rect(cx - w / 3, h / 2, cx + w / 3 + 1, h - 2, c.Colour({28, 28, 31}));
      c.Disc(cx - w / 8, h / 3, std::max(2, w / 16), c.Colour(kInk));
      c.Disc(cx + w / 8, h / 3, std::max(2, w / 16), c.Colour(kInk));
    }
    return c;
  };
  std::vector<Canvas> targets;
  for (int d = 0; d < 4; ++d) {
    for (int kind = 0; kind < 4; ++kind)
      targets.push_back(target(kind, kDepths[d].w, kDepths[d].h));
  }
  art.Pictures(60, targets);
  const int kBase[4] = {0, 10, 20, 30};
  for (int d = 0; d < 4; ++d) {
    for (int kind = 0; kind < 4; ++kind) {
      art.Show(kBase[d] + 40 * (1 + kind), 60 + 4 * d + kind, kDepths[d].dx, -kDepths[d].h);
    }
  }
  std::vector<Canvas> p;
  Canvas cross(40, 40, {{0, 0, 0}});  // 0 the crosshair
  const uint8_t red = cross.Colour(kRed);
  for (int r = 16; r <= 18; ++r) {
    for (int a = 0; a < 360; a += 2) {
      const double t = a * 3.14159265358979 / 180;
      cross.Put(20 + static_cast<int>(r * std::cos(t)), 20 + static_cast<int>(r * std::sin(t)),
                red);
    }
  }
  cross.Rect(19, 0, 21, 40, red);
  cross.Rect(0, 19, 40, 21, red);
  p.push_back(cross);
  Canvas shadow(64, 16, {{0, 0, 0}});  // 1 a flyer's shadow
  shadow.Ellipse(32, 8, 28, 6, shadow.Colour({2, 4, 2}));
  p.push_back(shadow);
  for (int rank = 0; rank < 4; ++rank) {  // 2-5 the hit effect by depth
    const int size = 48 + 32 * rank;
    Canvas hit(size, size, {{0, 0, 0}});
    const uint8_t yellow = hit.Colour({31, 28, 6});
    std::vector<std::pair<int, int>> star;
    for (int k = 0; k < 16; ++k) {
      const double a = k * 3.14159265358979 / 8;
      const int r = k % 2 == 0 ? size / 2 - 1 : size / 5;
      star.emplace_back(size / 2 + static_cast<int>(r * std::cos(a)),
                        size / 2 + static_cast<int>(r * std::sin(a)));
    }
    hit.Polygon(star, yellow);
    hit.Text(g, size / 2 - 24, size / 2 - 12, "命中", hit.Colour(kRed));
    p.push_back(hit);
  }
  Canvas pointer(20, 20, {{0, 0, 0}});  // 6 the menu's pointer
  pointer.Polygon({{0, 0}, {18, 9}, {9, 10}, {8, 18}}, pointer.Colour(kWhite));
  p.push_back(pointer);
  art.Pictures(120, p);
  art.Show(5, 120, -20, -20);
  art.Show(9, 121, -32, 8);
  for (int rank = 0; rank < 4; ++rank) {
    const int size = 48 + 32 * rank;
    art.Show(240 + rank, 122 + rank, -size / 2, -size);
  }
  art.Show(495, 126);
  art.Show(400, kDigitSlot);  // the hits
  AddMenu(art, g, 7, "射擊", MenuPicture(g, {10, 18, 31}, {6, 16, 6}, "射擊"));
  art.Write(out);
}

// ---- Sounds ----

void WriteSounds(Out& out) {
  const uint32_t rate = 22050;
  const char* const kEffects[] = {
      "cook07",  "cook08",   "hana07",   "hana08",   "hana10",   "hana11",  "hana13", "hana14",
      "maigo07", "maigo09",  "maigo10",  "maigo11",  "maigo12",  "shot07",  "shot08", "shot10",
      "shot11",  "slot07",   "slot08",   "slot09",   "souji08",  "souji09", "swim07", "swim08",
      "swim09",  "system00", "system01", "system02", "system03",
  };
  int n = 0;
  for (const char* name : kEffects) {
    ++n;
    out.Write(
        "tamvik3/se/" + std::string(name) + ".wav",
        PcmWav(1, rate, 16, Notes({700.0 + 20.0 * n, 520.0 + 20.0 * n}, rate, rate / 20, 7000))
            .Bytes());
  }
  const char* const kVoices[] = {
      "2084",  "2331",  "2332",  "2333",  "2334",  "2335",  "2336",  "2337",  "2338",  "2357",
      "2358a", "2358b", "2358c", "2358d", "2358e", "2358f", "2358g", "2358h", "2359",  "2360",
      "2361",  "2362",  "2363",  "2364",  "2385",  "2386",  "2411",  "2412",  "2413a", "2413b",
      "2413c", "2414a", "2414b", "2414c", "2415",  "2416",  "2418",  "2419",  "2420",  "2421",
      "2442",  "2443",  "2444",  "2445",  "2446",  "2447",  "2448",  "2449",  "2450",  "2451",
      "2452",  "2453",  "2454",  "2455",  "2456",  "2458",  "2459",  "2504",
  };
  n = 0;
  for (const char* name : kVoices) {
    out.Write("tamvik3/voice/" + std::string(name) + ".wav", SampleVoice(++n, 30));
  }
  const std::vector<double> tune = {440.0, 523.3, 659.3, 523.3, 587.3, 698.5, 587.3, 493.9};
  for (const char* name : {"brise", "davone", "lunet", "minigame", "tamvik", "ysol", "tezavi"}) {
    out.Write("tamvik1/bgm/" + std::string(name) + ".wav", SampleTune(tune, rate / 4));
  }
}

}  // namespace

std::vector<std::string> MinigameTexts() {
  std::vector<std::string> texts = {
      "開始／繼續",
      "重來",
      "示範",
      "結束",
      "重設排行",
      "說明",
      "第一名",
      "第二名",
      "第三名",
      "結果",
      "示範中",
      "游泳",
      "起點",
      "終點",
      "打掃",
      "打掃完成！",
      "料理",
      "廚房",
      "切菜",
      "調味",
      "火候",
      "剛好",
      "太大",
      "太小",
      "開始！",
      "１２３",
      "很好！",
      "再加油",
      "合格",
      "不合格",
      "一匙二匙三匙一杯二杯三杯",
      "鹽糖醬油醋酒",
      "花牌",
      "繼續！停止",
      "示範對局",
      "回合▲",
      "花牌對決！",
      "ＶＳ",
      "繼續嗎？",
      "勝負已分",
      "對手",
      "花牌大廳",
      "挑戰賽",
      "離開",
      "教學",
      "役一覽",
      "規則",
      "自由對局",
      "？？？",
      "返回",
      "花見月見酒：關開",
      "酒杯當素牌",
      "雨光當素牌",
      "點",
      "回到選單。",
      "拉霸",
      "硬幣",
      "分數",
      "幸運拉霸",
      "停",
      "今日運勢",
      "戀愛運金錢運健康運工作運學業運人緣運",
      "大獎？",
      "迷路",
      "迷路的孩子",
      "小花小梅小雪小玉小蘭小琴小鈴阿明阿強阿志阿德阿勇阿山阿平阿福",
      "射擊",
      "射擊遊戲",
      "命中",
      "光種短赤青",
  };
  for (const char* t : kMonthNames) texts.emplace_back(t);
  for (const char* t : kPlants) texts.emplace_back(t);
  for (const char* t : kComboNames) texts.emplace_back(t);
  for (const char* t : kHanaLines) texts.emplace_back(t);
  for (const char* t : kTutorialTexts) texts.emplace_back(t);
  texts.emplace_back("五光四光雨四光三光月見酒花見酒豬鹿蝶種赤短青短短冊素十");
  texts.emplace_back("五張光牌全部取得。雨以外的四張光牌。含雨的四張光牌。雨以外的三張光牌。");
  texts.emplace_back("芒上月與菊上杯。櫻上幕與菊上杯。萩豬、紅葉鹿、牡丹蝶。種牌五張以上。");
  texts.emplace_back("松梅櫻的赤短三張。牡丹菊紅葉的青短。短冊五張以上。素牌十張以上。");
  texts.emplace_back("花牌有十二個月份，每月四張。選一張手牌，和場上同月的牌配對，就能取走兩張。");
  texts.emplace_back("沒有同月的牌時，手牌留在場上。接著翻開牌堆的一張，同樣配對。");
  texts.emplace_back("取得的牌湊成役，就能得分。役成立後，可以選擇繼續或停止。停止就結算點數。");
  texts.emplace_back("繼續的話，對手也可能湊役。五光：光牌五張。豬鹿蝶：豬、鹿、蝶。");
  texts.emplace_back("赤短、青短：各三張短冊。素十：素牌十張。");
  return texts;
}

std::vector<std::string> MinigamePrintedTexts() {
  std::vector<std::string> texts;
  for (const char* t : kHanaLines) texts.push_back(std::string("\r") + t);
  for (const char* t : kTutorialTexts) texts.push_back(std::string("\r") + t);
  return texts;
}

void WriteMinigames(Out& out, Glyphs& glyphs) {
  // The test entry (row 0) is offered to nobody: its od file is the plain one the tests use.
  out.Write("tamvik3/od/mg_test.od", UniversalOd({200}).Build());
  Shelf shelf(out);
  WriteSwim(out, shelf, glyphs);
  WriteCleaning(out, shelf, glyphs);
  WriteCooking(out, shelf, glyphs);
  WriteHana(out, shelf, glyphs);
  WriteHub(out, shelf, glyphs);
  WriteSlot(out, shelf, glyphs);
  WriteMaigo(out, shelf, glyphs);
  WriteShot(out, shelf, glyphs);
  WriteSounds(out);
}

}  // namespace testsupport::sample

namespace testsupport {

uint32_t SampleMinigameColour(int row) {
  using namespace sample;
  switch (row) {
    case 1: return SprColourRef(kPoolWater);
    case 2: return SprColourRef(kFloorBoards);
    case 3: return SprColourRef(kKitchenWall);
    case 5: return SprColourRef(kReelWindow);
    case 6: return SprColourRef(kParkGrass);
    case 7: return SprColourRef(kMeadow);
    default: return SprColourRef(kFelt);
  }
}

}  // namespace testsupport
