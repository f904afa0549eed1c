// Fuzz entries of the minigame readers: od files (mg_obj_create), sprite-file frames
// (mg_load_spr) and save\minigame.dat (read by mg_start).

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/pixels/bmp_reader.h"
#include "fuzz/entries/entry_support.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_seeds.h"
#include "minigames/framework/minigame_draw.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_od.h"
#include "minigames/framework/minigame_rank.h"
#include "minigames/framework/minigame_save.h"
#include "minigames/framework/minigame_surface.h"
#include "minigames/framework/minigame_text.h"
#include "minigames/minigame_context.h"
#include "platform/ffmpeg/ffmpeg_wave_codecs.h"
#include "platform/headless/headless_platform.h"
#include "platform/little_endian.h"
#include "platform/surface.h"
#include "testsupport/od_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"

namespace fuzz {

using detail::Check;
using detail::DisplayRig;
using detail::Rig;

namespace {

// The rig's engine current with a fresh minigame context and its screen open for one call.
struct MinigameRig {
  explicit MinigameRig(bool rgb555) : rig(Rig(rgb555)), engine_scope(*rig.context) {
    ready = rig.ready && mg_screen_open() == 1;
  }
  ~MinigameRig() { mg_screen_close(); }

  DisplayRig& rig;
  ContextScope engine_scope;
  MinigameContext minigame;
  MinigameScope scope{minigame};
  bool ready = false;
};

// A minigame screen opened once per layout and kept open, on a display of its own (so the
// shared rigs' layers stay as the other entries expect them): opening and closing the screen
// fills it whole each time, which was most of a small input's time. An input makes the engine
// and minigame contexts current (`Use`) and frees the slots it fills.
struct KeptMinigameScreen {
  explicit KeptMinigameScreen(bool rgb555) : rig(rgb555) {
    ContextScope engine_scope(*rig.context);
    MinigameScope scope(minigame);
    ready = rig.ready && mg_screen_open() == 1;
  }

  struct Use {
    explicit Use(KeptMinigameScreen& kept) : engine_scope(*kept.rig.context), scope(kept.minigame) {}
    ContextScope engine_scope;
    MinigameScope scope;
  };

  DisplayRig rig;
  MinigameContext minigame;
  bool ready = false;
};

KeptMinigameScreen& KeptScreen(bool rgb555) {
  if (rgb555) {
    static KeptMinigameScreen* const kept555 = new KeptMinigameScreen(true);
    return *kept555;
  }
  static KeptMinigameScreen* const kept565 = new KeptMinigameScreen(false);
  return *kept565;
}

// Whether a solid record of the od asks for a surface of more than a million pixels (such
// pictures only cost the harness time and memory; the size checks are the same for small ones).
bool HasHugeSolid(const Bytes& od) {
  for (uint32_t i = 0; i < 512; ++i) {
    if (4 * i + 4 > od.size()) break;
    const uint32_t at = platform::GetLe32(od.data() + 4 * i);
    if (at == 0 || at >= od.size() || od.size() - at < 6) continue;
    const int32_t w = static_cast<int16_t>(platform::GetLe16(od.data() + at + 2));
    const int32_t h = static_cast<int16_t>(platform::GetLe16(od.data() + at + 4));
    if ((platform::GetLe16(od.data() + at) & 8) != 0 && w > 0 && h > 0 && w * h > (1 << 20)) {
      return true;
    }
  }
  return false;
}

// Every published table entry lies inside the data; every text ends inside the buffer.
void CheckTables(const char* name) {
  const MgOdFile& od = Minigame().od;
  Check(od.size <= mg::kOdMaxBytes, name, "more than 64 KB read");
  for (int n = 0; n < 512; ++n) {
    const MgOdWords w = mg_od_animation(n);
    Check(w.count == 0 || w.at + 2 * w.count <= od.buffer.data() + od.size, name,
          "animation words past the data");
  }
  for (int n = 0; n < 256; ++n) {
    const char* t = mg_text(n);
    const bool inside = t >= reinterpret_cast<const char*>(od.buffer.data()) &&
                        t < reinterpret_cast<const char*>(od.buffer.data() + od.buffer.size());
    if (inside) {
      Check(std::memchr(t, 0, static_cast<size_t>(
                                  reinterpret_cast<const char*>(od.buffer.data() + od.buffer.size()) - t)) != nullptr,
            name, "text not terminated inside the buffer");
    }
  }
}

// Every animation (0-511) and motion script (0-255) of the file on the objects 1-255, four rounds
// of 200 steps, with end flags that hold, delete, pause or switch to a next animation. After
// each round every object shows an image slot or none, points inside the data, and the layer
// lists end within the table.
void RunObjects(const char* name) {
  const MgOdFile& od = Minigame().od;
  static constexpr uint32_t kEnds[] = {0, mg::kObjHoldLast, mg::kObjDeleteAtEnd,
                                       mg::kObjHoldLast | mg::kObjDeleteAtEnd, mg::kObjAnimPaused};
  for (int round = 0; round < 4; ++round) {
    mg_obj_clear_all();
    for (int o = 1; o < mg::kObjectCount; ++o) {
      const int n = round * (mg::kObjectCount - 1) + o - 1;
      if (n < 512) {
        mg_obj_put(o, o, o, o % 8, n, kEnds[o % 5] | (o % 3 == 0 ? mg::kObjSpin : 0u));
        if (o % 4 == 0) mg_obj_set_next_anim(o, (n * 7) % 512);
        if (o % 6 == 0) mg_obj_flip(o, n / 2);
        if (o % 5 == 0) mg_obj_set_parent(o, o - 1);
      } else if (n < 512 + 256) {
        mg_obj_script(o, n - 512, o % 8);
      }
    }
    for (int step = 0; step < 200; ++step) mg_obj_update();
    for (int o = 0; o < mg::kObjectCount; ++o) {
      const MgObject& obj = *mg_obj(o);
      Check(obj.image >= mg::kNoImage && obj.image < mg::kImageSlotCount, name,
            "object image outside the slots");
      Check(obj.anim_pos <= od.size && obj.script_pos <= od.size && obj.parts <= od.size, name,
            "object position past the data");
      Check(obj.frame_timer >= 0 && obj.frame_timer <= 32768, name, "frame timer out of its range");
    }
    for (int layer = 0; layer < mg::kLayerCount; ++layer) {
      int count = 0;
      for (int32_t o = Minigame().layer_heads[static_cast<size_t>(layer)]; o != 0;
           o = mg_obj(o)->link) {
        Check(o > 0 && o < mg::kObjectCount && ++count < mg::kObjectCount, name,
              "layer list out of the table");
        if (o <= 0 || o >= mg::kObjectCount || count >= mg::kObjectCount) break;
      }
    }
    // The drawing reads the composite frames' parts from the data.
    mg_draw(mg::kSlotScreen);
  }
}

// One drawing into a small target slot (the objects lie mostly outside it), then every text of
// the file typed through the printer into a small window, each for at most a bounded number of
// steps (six a character and a margin): the printer reads the text only up to its end.
void DrawAndPrint(const char* name) {
  constexpr int32_t kTarget = 900;
  constexpr int32_t kWindow = 902;  // its empty background in 903
  if (mg_surf_create(kTarget, 24, 16, 0) == 1) mg_draw(kTarget);
  mg_surf_create(kWindow, 96, 64, 0);
  mg_surf_create(kWindow + 1, 96, 64, 0);
  if (mg_textwin_open(0, 0, 1, kWindow, 0, 0) != 1) return;
  for (int n = 0; n < 256; ++n) {
    const char* text = mg_text(n);
    if (*text == 0) continue;
    const size_t length = std::strlen(text);  // ends inside the buffer (CheckTables)
    if (mg_print_text(text) != 1) continue;
    const size_t bound = 6 * (length < 200 ? length : 200) + 16;
    for (size_t step = 0; step < bound && mg_print_busy() == 1; ++step) mg_print_step();
  }
  mg_textwin_close();
  Check(mg_print_busy() == 0, name, "the printer busy after its window closed");
}

}  // namespace

// Parts: control, od file, sprite file. Control byte 0: bit 0 RGB555. The od file loads (its
// paths may name the sprite file "p\f.spr"); on success every table entry lies inside the data.
void MinigameOdEntry(const uint8_t* data, size_t size) {
  constexpr const char* kName = "minigame_od";
  const std::vector<Bytes> parts = SplitParts(data, size, 3);
  if (HasHugeSolid(parts[1])) return;
  testsupport::GameTree& tree = detail::Tree();
  tree.Write("install/od/fuzz.od", parts[1]);
  tree.Write("install/p/f.spr", parts[2]);
  MinigameRig rig((detail::ByteAt(parts[0], 0) & 1) != 0);
  Check(rig.ready, kName, "display set-up failed");
  if (mg_obj_create("od\\fuzz.od") == 1) {
    CheckTables(kName);
    RunObjects(kName);
    DrawAndPrint(kName);
  }
  // A second load over the first frees its slots.
  mg_obj_create("od\\fuzz.od");
}

// Parts: control, sprite file. Control bytes: 0 bit 0 RGB555, 1 the frame, 2 the slot (low
// bits). A loaded frame's surface has sides within the surface limit; a refused one leaves the
// slot empty.
void MinigameSprEntry(const uint8_t* data, size_t size) {
  constexpr const char* kName = "minigame_spr";
  const std::vector<Bytes> parts = SplitParts(data, size, 2);
  testsupport::GameTree& tree = detail::Tree();
  tree.Write("install/p/s.spr", parts[1]);
  MinigameRig rig((detail::ByteAt(parts[0], 0) & 1) != 0);
  Check(rig.ready, kName, "display set-up failed");
  const int32_t slot = detail::ByteAt(parts[0], 2);
  const int32_t frame = detail::ByteAt(parts[0], 1);
  if (mg_load_spr(slot, "p\\s.spr", frame, 0) == 1) {
    int32_t w = 0, h = 0;
    Check(mg_surf_size(slot, &w, &h) == 1 && w > 0 && h > 0 &&
              w <= platform::Surface::kMaxSide && h <= platform::Surface::kMaxSide,
          kName, "a loaded frame without a usable surface");
  } else {
    Check(mg_surf_exists(slot) == 0, kName, "a refused frame left a surface");
  }
}

// Input: the file. A file of 128 bytes or more sets variables 16-47 to the little-endian values
// of its first 128 bytes; a shorter one leaves them as they were.
void MinigameDatEntry(const uint8_t* data, size_t size) {
  constexpr const char* kName = "minigame_dat";
  testsupport::GameTree& tree = detail::Tree();
  tree.Write("install/save/minigame.dat", Bytes(data, data + size));
  testsupport::TestEngine engine;
  Ctx().file_io.SetInstallDir(tree.install().c_str());
  MinigameContext minigame;
  MinigameScope scope(minigame);
  // Values the variables hold before the read: a damaged file must leave them so.
  const auto before = [](int i) { return 0x5A000000 + i; };
  for (int i = 0; i < 32; ++i) minigame.vars[static_cast<size_t>(16 + i)] = before(i);
  const bool whole = size >= 128;
  Check(mg_save_read() == (whole ? 1 : 0), kName, "a file read other than exactly when whole");
  for (int i = 0; i < 32; ++i) {
    const int32_t expected =
        whole ? static_cast<int32_t>(platform::GetLe32(data + 4 * i)) : before(i);
    Check(minigame.vars[static_cast<size_t>(16 + i)] == expected, kName,
          whole ? "a variable differs from the file" : "a damaged file changed a variable");
  }
  // The common menu's ranking display of a row picked by the input's size shows the list as read.
  const int game = static_cast<int>(size % mg::kGameCount);
  minigame.vars[0] = game;
  const int shown = mg_rank_show();
  Check(shown == (mg_rank_row(game) >= 0 ? 1 : 0), kName, "ranking shown for a row without one");
  for (int i = 0; shown == 1 && i < mg::kRankEntries; ++i) {
    Check(mg_obj(mg::kObjRankFirst + i)->value == mg_rank_get(i), kName,
          "a ranking entry shows another value than the list");
  }
}

std::vector<Bytes> MinigameOdSeeds() {
  using testsupport::OdWriter;
  const Bytes frames = testsupport::MgPalettedSpr(
      {testsupport::SprRgb{}, testsupport::SprRgb{31, 0, 0}},
      {testsupport::SprImage(2, 2, 0, 0, testsupport::Encode4Bit(2, 2, {1, 0, 1, 1})),
       testsupport::SprImage(3, 1, testsupport::kSprDepth8, 0, {1, 1, 0})});
  OdWriter small;
  small.Solid(0, 4, 4, 255, 0, 255).Path(1, "p\\f.spr").Text(0, "x");
  small.Animation(2, {OdWriter::Simple(0, 2), OdWriter::Composite({{1, 1, 1}, {2, -1, 0}}, 1)});
  small.Script(0, {OdWriter::SetPos(1, 2), OdWriter::End()});
  OdWriter edge;
  edge.Path(510, "P\\F.SPR").Path(3, "p\\none.bmp");
  // Animations and scripts of every kind for the objects, the last record cut by the end.
  OdWriter motion;
  motion.Solid(0, 2, 2, 1, 2, 3).Solid(1, 3, 3, 4, 5, 6, 2);
  motion.Animation(1, {OdWriter::Simple(0, 2), OdWriter::Simple(1, 0)})
      .Animation(2, {OdWriter::Composite({{0x1000 | 1, 2, 3}, {0x2000, -4, 5}}, 3)})
      .Animation(3, {})
      .Animation(4, {OdWriter::Simple(700, 1), OdWriter::Simple(1, -2)});
  motion.Script(0, {OdWriter::SetPos(5, 6), OdWriter::SetAnim(2), OdWriter::MoveTo(40, 50, 8),
                    OdWriter::WaitMove(), OdWriter::WaitAnim(), OdWriter::Flag(20, 1),
                    OdWriter::Flag(40, 1), OdWriter::Sound(3), {9, {}}, OdWriter::Wait(3),
                    OdWriter::MoveTo(0, 0, 0), OdWriter::End()});
  motion.Entry(OdWriter::kAnimations, 5, motion.Raw({0, 0, 1, 0, 0xFD, 0xFF, 1, 0}));
  return {JoinParts({{0}, small.Build(), frames}), JoinParts({{1}, small.Build(), frames}),
          JoinParts({{0}, edge.Build(), frames}), JoinParts({{0}, Bytes(6144, 0), {}}),
          JoinParts({{0}, motion.Build(), {}})};
}

std::vector<Bytes> MinigameSprSeeds() {
  const Bytes paletted = testsupport::MgPalettedSpr(
      {testsupport::SprRgb{}, testsupport::SprRgb{1, 2, 3}},
      {testsupport::SprImage(3, 2, 0, 0, testsupport::Encode4Bit(3, 2, {1, 2, 0, 1, 1, 1}))});
  const Bytes direct = testsupport::MgDirectSpr(
      {testsupport::MgDirectFrame(2, 2, {0x7FFF, 0x001F, 0x03E0, 0x8000})});
  return {JoinParts({{0, 0, 5}, paletted}), JoinParts({{1, 0, 5}, direct}),
          JoinParts({{0, 1, 5}, paletted})};
}

std::vector<Bytes> MinigameDatSeeds() {
  return {testsupport::MinigameDat({{16, 1}, {47, -1}}), Bytes(60, 0x11), Bytes(200, 0xFF), {}};
}

// Parts: control, bitmap file. Control bytes: 0 bit 0 RGB555, bit 1 the video-memory option; 1
// the slot (1-255 from its value); 2-3 and 4-5 the position (signed) of the draw into an existing
// 24 x 16 slot. A bitmap of more than a million pixels is passed over (its surface only costs the
// harness time; the checks are the same for small ones). Rules: mg_load_bmp takes the file exactly
// when its headers pass (ParseBmpHeader on the whole file) and its sides are surface sides; the
// slot then holds a surface of the bitmap's size, else it is empty; mg_load_bmp_at draws only
// inside the bitmap's rectangle at the position: every other pixel of the 24 x 16 slot keeps its
// value.
void MinigameBmpEntry(const uint8_t* data, size_t size) {
  constexpr const char* kName = "minigame_bmp";
  constexpr int32_t kDrawSlot = 300;
  constexpr int32_t kDrawW = 24;
  constexpr int32_t kDrawH = 16;
  const std::vector<Bytes> parts = SplitParts(data, size, 2);
  const Bytes& control = parts[0];
  const Bytes& file = parts[1];
  BmpInfo info;
  const bool parsed = ParseBmpHeader(file.data(), file.size(), file.size(), &info);
  if (parsed && int64_t{info.width} * info.height > (int64_t{1} << 20)) return;
  testsupport::GameTree& tree = detail::Tree();
  tree.Write("install/p/b.bmp", file);
  const uint8_t flags = detail::ByteAt(control, 0);
  KeptMinigameScreen& kept = KeptScreen((flags & 1) != 0);
  KeptMinigameScreen::Use use(kept);
  Check(kept.ready, kName, "display set-up failed");
  const int32_t slot = 1 + detail::ByteAt(control, 1) % 255;
  const bool takes = parsed && info.width <= platform::Surface::kMaxSide &&
                     info.height <= platform::Surface::kMaxSide;
  Check(mg_load_bmp(slot, "p\\b.bmp", (flags >> 1) & 1) == (takes ? 1 : 0), kName,
        "a bitmap loaded other than exactly when its headers pass");
  int32_t w = 0, h = 0;
  if (takes) {
    Check(mg_surf_size(slot, &w, &h) == 1 && w == info.width && h == info.height, kName,
          "a loaded bitmap's surface is not the bitmap's size");
  } else {
    Check(mg_surf_exists(slot) == 0, kName, "a refused bitmap left a surface");
  }

  const auto x = static_cast<int16_t>(detail::Le16(control, 2));
  const auto y = static_cast<int16_t>(detail::Le16(control, 4));
  if (mg_surf_create(kDrawSlot, kDrawW, kDrawH, 0) != 1) {
    Check(false, kName, "a 24 x 16 slot could not be made");
    mg_surf_free(slot);
    return;
  }
  for (int32_t py = 0; py < kDrawH; ++py) {
    for (int32_t px = 0; px < kDrawW; ++px) {
      mg_pixel_set(kDrawSlot, px, py, static_cast<ColorRef>(0x10203 * (px + 7 * py)));
    }
  }
  std::vector<uint32_t> before;
  for (int32_t py = 0; py < kDrawH; ++py) {
    for (int32_t px = 0; px < kDrawW; ++px) before.push_back(mg_pixel_get(kDrawSlot, px, py));
  }
  Check(mg_load_bmp_at(kDrawSlot, x, y, "p\\b.bmp") == (parsed ? 1 : 0), kName,
        "a bitmap drawn other than exactly when its headers pass");
  for (int32_t py = 0; py < kDrawH; ++py) {
    for (int32_t px = 0; px < kDrawW; ++px) {
      const bool inside = parsed && px >= x && px < x + info.width && py >= y && py < y + info.height;
      if (inside) continue;
      Check(mg_pixel_get(kDrawSlot, px, py) == before[static_cast<size_t>(py * kDrawW + px)], kName,
            "a pixel outside the bitmap's rectangle changed");
    }
  }
  mg_surf_free(kDrawSlot);
  mg_surf_free(slot);
}

std::vector<Bytes> MinigameBmpSeeds() {
  std::vector<Bytes> seeds;
  uint8_t n = 0;
  for (const Bytes& file : SmallBitmaps()) {
    const Bytes control = {static_cast<uint8_t>(n & 3), static_cast<uint8_t>(10 + n),
                           static_cast<uint8_t>(n * 5), 0, static_cast<uint8_t>(n * 2), 0};
    seeds.push_back(JoinParts({control, file}));
    ++n;
  }
  // Partly off the slot's top left, and a file cut inside its rows.
  seeds.push_back(JoinParts({{0, 3, 0xFE, 0xFF, 0xFF, 0xFF}, SmallBitmaps()[5]}));
  seeds.push_back(JoinParts({{1, 4, 2, 0, 2, 0}, SmallBitmaps(70)[5]}));
  return seeds;
}

}  // namespace fuzz
