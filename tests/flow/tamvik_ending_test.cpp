// The ending on the headless program: its start and screen, the command interpreter driven by a
// small table and a fake voice clock, the openings, the ends of a table, the task's two branches
// with short songs, the command tables, and the manager's road through modes 46 and 47.

#include "flow/tamvik_ending.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <span>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "engine/sound/dsound_func.h"
#include "flow/tamvik_general.h"
#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "platform/surface.h"
#include "scene/scene_context.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/general_stand_ins.h"
#include "testsupport/program_driver.h"
#include "testsupport/spr_writer.h"
#include "testsupport/wav_writer.h"

namespace {

using testsupport::ProgramDriver;
using testsupport::SprImage;
using testsupport::SprRgb;
using E = CTamvikEnding;

constexpr const char* kOwnerTask = "Test::Owner";
void Idle(GameTaskRec*) {}

// Picture i of a file is 8 x 8 in colour (r, g, b) = kind's pattern with i in one channel, so a
// pixel read back names the file and the picture.
enum FileKind { kEnd, kStaff, kCommon };
SprRgb PictureColour(FileKind kind, uint32_t i) {
  const auto n = static_cast<uint8_t>(i);
  switch (kind) {
    case kEnd: return {31, n, 0};
    case kStaff: return {0, 31, n};
    default: return {n, 0, 31};
  }
}
// Pictures are 64 x 48, but picture 0 of the end_ files, a 640 x 96 band (so that captured frames
// show the opening from the centre column).
std::vector<uint8_t> PictureSet(FileKind kind, uint32_t count) {
  std::vector<SprRgb> colours{{0, 0, 0}};
  std::vector<SprImage> images;
  for (uint32_t i = 0; i < count; ++i) {
    colours.push_back(PictureColour(kind, i));
    const bool band = kind == kEnd && i == 0;
    const uint16_t w = band ? 640 : 64;
    const uint16_t h = band ? 96 : 48;
    images.emplace_back(w, h, testsupport::kSprDepth8, 0,
                        std::vector<uint8_t>(size_t{w} * h, static_cast<uint8_t>(i + 1)));
  }
  return testsupport::PictureFile(colours, images);
}

std::string Host(const char* game_name) {
  std::string name = std::string("install/") + game_name;
  for (char& c : name) c = c == '\\' ? '/' : c;
  return name;
}

// A pixel of a surface as 5-bit channels (r, g, b); {-1, ...} when it cannot be read.
struct Rgb5 {
  int r, g, b;
  bool operator==(const Rgb5&) const = default;
};
Rgb5 SurfacePixel(SurfaceId id, int x, int y) {
  platform::Surface* s = Ctx().ddraw.GetSurface(id);
  platform::SurfaceLock lock;
  if (s == nullptr || !s->Lock(lock)) return {-1, -1, -1};
  uint16_t pixel = 0;
  std::memcpy(&pixel, lock.bits + y * lock.pitch + 2 * x, 2);
  s->Unlock();
  const uint32_t c = platform::UnpackToColorRef(pixel, lock.layout);
  return {static_cast<int>((c & 0xFF) >> 3), static_cast<int>(((c >> 8) & 0xFF) >> 3),
          static_cast<int>(((c >> 16) & 0xFF) >> 3)};
}
Rgb5 Expect(FileKind kind, uint32_t i) {
  const SprRgb c = PictureColour(kind, i);
  return {c.r, c.g, c.b};
}
// The fill colours: black, and the transparent colour key.
bool IsBlack(SurfaceId id, int x, int y) { return SurfacePixel(id, x, y) == Rgb5{0, 0, 0}; }
bool IsTransparent(SurfaceId id, int x, int y) {
  platform::Surface* s = Ctx().ddraw.GetSurface(id);
  platform::SurfaceLock lock;
  if (s == nullptr || !s->Lock(lock)) return false;
  uint16_t pixel = 0;
  std::memcpy(&pixel, lock.bits + y * lock.pitch + 2 * x, 2);
  s->Unlock();
  return pixel == static_cast<uint16_t>(Ctx().ddraw.GetColorKey());
}

// Without the manager (the game's boot left out) unless `with_manager`.
ProgramDriver::Options RigOptions(bool with_manager) {
  ProgramDriver::Options options;
  options.wire_sequences = !with_manager;
  if (!with_manager) options.boot = [] {};
  // One game frame per driver frame.
  options.frame_ms_of = [](int frame) { return frame % 3 == 0 ? 16u : 17u; };
  return options;
}

// The program with the ending's pictures of endings 0 and 1 and the shared file, songs as asked,
// and an idle owner task.
class EndingRig {
 public:
  explicit EndingRig(bool with_manager = false) : d(RigOptions(with_manager)) {
    for (uint32_t e = 0; e < 2; ++e) {
      d.tree.Write(Host(E::EndFile(e)), PictureSet(kEnd, E::kEndPictures));
      d.tree.Write(Host(E::StaffFile(e)), PictureSet(kStaff, E::kStaffPictures));
    }
    d.tree.Write(Host(E::kCommonFile), PictureSet(kCommon, E::kCommonPictures));
  }
  bool Start() {
    if (!d.Start()) return false;
    Ctx().game_task.SetTaskSimple(nullptr, &Idle, kOwnerTask);
    owner = Ctx().game_task.FindTask(kOwnerTask);
    return owner != nullptr;
  }
  // A song of `seconds` (8-bit mono, 11025 Hz).
  void PutSong(const char* game_name, double seconds) {
    const auto frames = static_cast<size_t>(11025 * seconds);
    d.tree.Write(Host(game_name),
                 testsupport::PcmWav(1, 11025, 8, std::vector<int16_t>(frames, 3000)).Bytes());
  }
  bool Until(const std::function<bool()>& done, int limit) {
    for (int i = 0; i <= limit; ++i) {
      if (done()) return true;
      if (!d.Step()) return false;
    }
    return false;
  }
  // The order in which trace fragments first appear.
  std::vector<std::string> Order(const std::vector<std::string>& fragments) const {
    std::vector<std::pair<size_t, std::string>> found;
    const auto& lines = d.trace().lines();
    for (const auto& f : fragments) {
      for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].text.find(f) != std::string::npos) {
          found.emplace_back(i, f);
          break;
        }
      }
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> out;
    for (auto& [i, f] : found) out.push_back(f);
    return out;
  }

  ProgramDriver d;
  GameTaskRec* owner = nullptr;
};

// ---- Start, numbers and files ----

TEST(EndingNumbers, EndingValueAndPictureRule) {
  const struct {
    int n;
    uint32_t e;
  } kNumbers[] = {{1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 4}, {6, 5}, {0, 0}, {7, 0}, {255, 0}, {-1, 0}};
  for (const auto& c : kNumbers) EXPECT_EQ(E::EndingNumber(c.n), c.e) << c.n;

  const struct {
    uint32_t e, picture;
    const char* file;
    int image;
  } kPictures[] = {
      {0, 0, "tamvik1\\ending\\end_qt.spr", 0},     {0, 99, "tamvik1\\ending\\end_qt.spr", 99},
      {5, 7, "tamvik1\\ending\\end_qz.spr", 7},     {3, 100, "tamvik1\\ending\\staff_qb.spr", 0},
      {4, 199, "tamvik1\\ending\\staff_qy.spr", 99}, {2, 200, "tamvik1\\ending\\end_ge.spr", 0},
      {6, 203, "tamvik1\\ending\\end_ge.spr", 3},    {6, 5, nullptr, -1},
      {6, 105, nullptr, -1},
  };
  for (const auto& c : kPictures) {
    int image = -1;
    const char* file = E::PictureFile(c.e, c.picture, &image);
    EXPECT_STREQ(file, c.file) << c.e << " " << c.picture;
    EXPECT_EQ(image, c.image) << c.e << " " << c.picture;
  }
}

TEST(EndingStart, StopsSoundLoadsFilesFillsAndReplacesARunningEnding) {
  EndingRig rig;
  rig.PutSong("tamvik1\\bgm\\other.wav", 2);
  ASSERT_TRUE(rig.Start());
  CDsoundFunc& sound = Ctx().dsound;
  ASSERT_NE(sound.PlayBGM("tamvik1\\bgm\\other.wav"), 0);
  ASSERT_NE(sound.PlayVoice("tamvik1\\bgm\\other.wav"), 0);
  ASSERT_NE(sound.PlaySE("tamvik1\\bgm\\other.wav"), 0);
  Ctx().ddraw.ClearSurface(SURFACE_ROOT, 1);
  Ctx().ddraw.ClearSurface(SURFACE_FC, 0);

  E::StartEndingMain(rig.owner, 2);
  EXPECT_TRUE(sound.IsBGMStop());
  EXPECT_TRUE(sound.IsVoiceStop());
  EXPECT_TRUE(sound.IsSEStop());
  EXPECT_TRUE(IsBlack(SURFACE_ROOT, 3, 3));
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC, SURFACE_TEXT}) {
    EXPECT_TRUE(IsTransparent(id, 3, 3)) << id;
  }
  EXPECT_NE(Scene().spx_cache.FindByName(E::EndFile(1)), nullptr);
  EXPECT_NE(Scene().spx_cache.FindByName(E::StaffFile(1)), nullptr);
  EXPECT_EQ(Scene().spx_cache.FindByName(E::EndFile(0)), nullptr);
  EXPECT_TRUE(rig.d.trace().Contains("Ending task seted."));
  EXPECT_FALSE(E::IsEndingEnd());
  GameTaskRec* first = kEndingMain.Find(Ctx().game_task);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->owner, rig.owner);
  EXPECT_EQ(static_cast<EndingState*>(first->extra)->ending, 1u);
  const TaskHandle first_handle = HandleOf(first);

  // A second start ends the first: one ending task, of the new ending.
  E::StartEndingMain(rig.owner, 9);
  ASSERT_TRUE(rig.d.Step());
  EXPECT_EQ(Ctx().game_task.IsTask(first_handle), 0);
  GameTaskRec* second = kEndingMain.Find(Ctx().game_task);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(static_cast<EndingState*>(second->extra)->ending, 0u);
  Ctx().game_task.DelTask(second);
  ASSERT_TRUE(rig.d.Step());
  EXPECT_TRUE(E::IsEndingEnd());
}

TEST(EndingScreen, GivesBackAnAttachedUserSurfaceAndResetsTheLayers) {
  EndingRig rig;
  ASSERT_TRUE(rig.Start());
  CDdrawFunc& ddraw = Ctx().ddraw;
  ASSERT_NE(ddraw.ResizeSurface(SURFACE_BG, 1, 1280, 960), 0);
  LayerRec* bg = ddraw.GetLayer(SURFACE_BG);
  ASSERT_NE(bg, nullptr);
  const int32_t held = bg->swap_surface;
  ASSERT_GE(held, 0);
  ASSERT_EQ(bg->surface_width, 1280);
  ddraw.SetLayerView(SURFACE_FG, 100, 50, 300, 200);
  ddraw.SetVisible(SURFACE_FC, 0);
  if (ddraw.GetLayerIndex(SURFACE_BG) < ddraw.GetLayerIndex(SURFACE_FG)) {
    ddraw.SwapLayers(SURFACE_BG, SURFACE_FG);
  }

  E::InitEndingScreen();
  bg = ddraw.GetLayer(SURFACE_BG);
  EXPECT_EQ(bg->swap_surface, -1);
  EXPECT_EQ(bg->surface_width, kScreenWidth);
  EXPECT_EQ(bg->surface_height, kScreenHeight);
  EXPECT_EQ(ddraw.GetUserSurface(held), nullptr);  // deleted, not leaked
  ASSERT_NE(ddraw.GetSurface(SURFACE_BG), nullptr);
  for (SurfaceId id : {SURFACE_BG, SURFACE_FG, SURFACE_FC}) {
    const LayerRec* layer = ddraw.GetLayer(id);
    EXPECT_EQ(layer->screen_x, 0) << id;
    EXPECT_EQ(layer->scroll_x, 0) << id;
    EXPECT_EQ(layer->view_width, kScreenWidth) << id;
    EXPECT_EQ(layer->view_height, kScreenHeight) << id;
  }
  for (SurfaceId id : {SURFACE_ROOT, SURFACE_BG, SURFACE_FG, SURFACE_FC, SURFACE_TEXT}) {
    EXPECT_NE(ddraw.IsVisible(id), 0u) << id;
  }
  EXPECT_LT(ddraw.GetLayerIndex(SURFACE_BG), ddraw.GetLayerIndex(SURFACE_FG));
  EXPECT_TRUE(IsBlack(SURFACE_ROOT, 5, 5));
  EXPECT_TRUE(IsTransparent(SURFACE_BG, 5, 5));
}

// ---- The interpreter on an injected table and a fake clock ----

class Interpreter : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(rig.Start());
    E::ClearDecode(state, 0);
  }
  // Runs the interpreter for one frame at clock `frame` (in frames); the rows taken.
  uint32_t Frame(std::span<const EndingRow> table, int32_t frame) {
    const uint32_t before = state.rowsRun;
    int calls = 0;
    while (E::DecodeEnding(state, table, frame < 0 ? -1 : frame * 1000 / 60 + 1) != 0) {
      if (++calls > 300) break;
    }
    return state.rowsRun - before;
  }
  // Frames (clock advancing one a frame, the program stepping) until the row index reaches
  // `row`; the frames it took, or -1.
  int FramesToRow(std::span<const EndingRow> table, uint32_t row, int32_t& clock, int limit) {
    for (int i = 0; i < limit; ++i) {
      Frame(table, clock);
      if (state.rowIndex >= row) return i;
      if (!rig.d.Step()) return -1;
      ++clock;
    }
    return -1;
  }

  EndingRig rig;
  EndingState state{};
};

TEST_F(Interpreter, RowsOfOneTimeRunInOneFrameWithTheirEffects) {
  const std::vector<EndingRow> table = {
      {0, E::kClear, 0, 0, 0, 0, 4},        {0, E::kClear, 0, 0, 0, 0, 6},
      {0, E::kDrawCg, 3, 16, 24, 0, 7},     {0, E::kLoadCg, 105, 40, 8, 0, 6},
      {0, E::kClear, 0, 0, 0, 0, 40},       {0, E::kDrawCg, 4, 0, 0, 0, SURFACE_BACK},
      {5, E::kDrawCg, 202, 64, 64, 0, 4},   {5, E::kSnapScreen, 0, 0, 0, 0, 0},
      {9, E::kDecodeEnd, 0, 0, 0, 0, 0},    {9, E::kClear, 0, 0, 0, 0, 7},
  };
  Ctx().ddraw.ClearSurface(SURFACE_ROOT, 1);
  Ctx().ddraw.ClearSurface(SURFACE_FG, 0);
  EXPECT_EQ(Frame(table, 0), 6u);
  EXPECT_EQ(state.rowIndex, 6u);
  // Rows naming a surface that is not a layer are passed over.
  EXPECT_TRUE(rig.d.trace().Contains("surface 40 is not a layer"));
  EXPECT_TRUE(rig.d.trace().Contains("surface 2 is not a layer"));
  EXPECT_TRUE(IsBlack(SURFACE_ROOT, 0, 0));
  EXPECT_TRUE(IsTransparent(SURFACE_FG, 0, 0));
  EXPECT_EQ(SurfacePixel(SURFACE_FC, 17, 25), Expect(kEnd, 3));
  EXPECT_TRUE(IsTransparent(SURFACE_FC, 15, 25));
  EXPECT_EQ(SurfacePixel(SURFACE_FG, 41, 9), Expect(kStaff, 5));
  EXPECT_EQ(Frame(table, 4), 0u);  // not yet
  EXPECT_EQ(Frame(table, 5), 2u);
  EXPECT_EQ(SurfacePixel(SURFACE_ROOT, 65, 65), Expect(kCommon, 2));
  EXPECT_EQ(Frame(table, 30), 1u);  // command 9 stays: the row after it never runs
  EXPECT_EQ(state.endFlag, 1u);
  EXPECT_EQ(Frame(table, 40), 0u);
  EXPECT_EQ(SurfacePixel(SURFACE_FC, 17, 25), Expect(kEnd, 3));
  EXPECT_EQ(rig.Order({"COMMAND:0 Clear", "COMMAND:1 Draw Cg", "COMMAND:6 Load Cg",
                       "COMMAND:7 Snap Screen", "COMMAND:9 Decode End"}),
            (std::vector<std::string>{"COMMAND:0 Clear", "COMMAND:1 Draw Cg", "COMMAND:6 Load Cg",
                                      "COMMAND:7 Snap Screen", "COMMAND:9 Decode End"}));
}

TEST_F(Interpreter, CrossFadesAndScreenFadesWaitTheirTime) {
  // Cross-fade phases of param / 2 ms (16 phases): 62 -> about 30 frames, 124 -> about 60; screen
  // fades of (param / 2) frames.
  const std::vector<EndingRow> table = {
      {0, E::kCrossFadeIn, 4, 0, 0, 62, 7},     {0, E::kCrossFadeOut, 0, 0, 0, 124, 7},
      {0, E::kFadeScreenOut, 0, 0, 0, 60, 0},   {0, E::kDrawFadeScreenIn, 1, 8, 8, 30, 4},
      {0, E::kFadeScreenIn, 0, 0, 0, 0, 0},     {0, E::kDecodeEnd, 0, 0, 0, 0, 0},
  };
  int32_t clock = 0;
  const int cross_in = FramesToRow(table, 1, clock, 200);
  EXPECT_TRUE(rig.d.trace().Contains("COMMAND:2 CrossFade In"));
  EXPECT_GE(cross_in, 25);
  EXPECT_LE(cross_in, 40);
  Ctx().ddraw.ClearSurface(SURFACE_FC, 1);
  const int cross_out = FramesToRow(table, 2, clock, 200);
  EXPECT_GE(cross_out, 55);
  EXPECT_LE(cross_out, 75);
  Ctx().ddraw.ClearSurface(SURFACE_BG, 0);  // the fade-out's fills make it transparent again
  const int fade_out = FramesToRow(table, 3, clock, 200);
  EXPECT_GE(fade_out, 28);
  EXPECT_LE(fade_out, 34);
  EXPECT_TRUE(IsTransparent(SURFACE_BG, 0, 0));
  EXPECT_TRUE(IsBlack(SURFACE_ROOT, 0, 0));
  const int fade_in = FramesToRow(table, 4, clock, 200);
  EXPECT_EQ(SurfacePixel(SURFACE_ROOT, 9, 9), Expect(kEnd, 1));
  EXPECT_GE(fade_in, 13);
  EXPECT_LE(fade_in, 19);
  // A fade of 0 frames is done at once: the rows after it run in the same frame.
  EXPECT_EQ(FramesToRow(table, 5, clock, 5), 0);
  EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), 0);
}

TEST_F(Interpreter, OpeningsWidenAtTheirSpeedFromTheCentreLine) {
  CDdrawFunc& ddraw = Ctx().ddraw;
  const std::vector<EndingRow> table = {
      {10, E::kOpenX, 2, 0, 0, 4, 5}, {10, E::kOpenY, 3, 0, 0, 4, 6}, {10, E::kDecodeEnd, 0, 0, 0, 0, 0}};
  const auto view = [&](SurfaceId id) {
    const LayerRec* l = ddraw.GetLayer(id);
    return std::vector<int>{l->screen_x, l->screen_y, l->screen_x + l->view_width,
                            l->screen_y + l->view_height};
  };
  // Open X: the first frame keeps the one-pixel column; then 4 pixels a frame each side.
  EXPECT_EQ(Frame(table, 10), 1u);
  EXPECT_EQ(view(SURFACE_BG), (std::vector<int>{319, 0, 320, 480}));
  EXPECT_EQ(SurfacePixel(SURFACE_BG, 3, 3), Expect(kEnd, 2));
  Frame(table, 11);
  EXPECT_EQ(view(SURFACE_BG), (std::vector<int>{316, 0, 324, 480}));
  Frame(table, 12);
  EXPECT_EQ(view(SURFACE_BG), (std::vector<int>{312, 0, 328, 480}));
  Frame(table, 90);  // w = 320: still opening
  EXPECT_EQ(view(SURFACE_BG), (std::vector<int>{0, 0, 640, 480}));
  EXPECT_EQ(state.wait, static_cast<uint32_t>(E::kOpeningX));
  // w > 320: the whole view, and the Open Y row runs in the same frame.
  EXPECT_EQ(Frame(table, 91), 1u);
  EXPECT_EQ(state.wait, static_cast<uint32_t>(E::kOpeningY));
  EXPECT_EQ(view(SURFACE_FG), (std::vector<int>{0, 239, 640, 240}));
  Frame(table, 92);
  EXPECT_EQ(view(SURFACE_FG), (std::vector<int>{0, 208, 640, 216}));
  Frame(table, 131);  // h = 160
  EXPECT_EQ(view(SURFACE_FG), (std::vector<int>{0, 52, 640, 372}));
  EXPECT_EQ(Frame(table, 132), 1u);  // h > 160: whole, then command 9
  EXPECT_EQ(view(SURFACE_FG), (std::vector<int>{0, 0, 640, 480}));
  EXPECT_EQ(state.endFlag, 1u);
}

TEST_F(Interpreter, EndsWhenTheVoiceStopsOrTheTableRunsOut) {
  const std::vector<EndingRow> no_end = {{0, E::kClear, 0, 0, 0, 0, 5},
                                         {3, E::kClear, 0, 0, 0, 0, 6}};
  // The voice stopping after the first row: the end flag at once.
  EXPECT_EQ(Frame(no_end, 0), 1u);
  EXPECT_EQ(Frame(no_end, -1), 0u);
  EXPECT_EQ(state.endFlag, 1u);
  EXPECT_EQ(state.rowIndex, 1u);

  // A table without command 9: done after its last row.
  E::ClearDecode(state, 0);
  EXPECT_EQ(Frame(no_end, 5), 2u);
  EXPECT_EQ(state.endFlag, 1u);

  // A song that never started (clock -1 before any row): the table ends at once.
  E::ClearDecode(state, 0);
  EXPECT_EQ(Frame(no_end, -1), 0u);
  EXPECT_EQ(state.endFlag, 1u);
  EXPECT_EQ(state.rowsRun, 0u);

  // Clearing keeps the closing flag.
  state.closing = 1;
  E::ClearDecode(state, 6);
  EXPECT_EQ(state.closing, 1u);
  EXPECT_EQ(state.ending, 6u);
  EXPECT_EQ(state.endFlag, 0u);
}

// ---- The task ----

TEST(EndingTask, FewerThanSixEndingsPlaysTheVoiceAndCloses) {
  EndingRig rig;
  rig.PutSong(E::kSong, 0.3);
  rig.PutSong(E::kVoice6002, 0.2);
  ASSERT_TRUE(rig.Start());
  GetSystemData()->setEndingsSeen(0x80 | 0x1F);
  E::StartEndingMain(rig.owner, 1);
  ASSERT_TRUE(rig.Until([] { return E::IsEndingEnd(); }, 1300));
  EXPECT_EQ(rig.Order({"Ending task seted.", "COMMAND:0 Clear", "COMMAND:4 Open X",
                       "Ending task cleared."}),
            (std::vector<std::string>{"Ending task seted.", "COMMAND:0 Clear", "COMMAND:4 Open X",
                                      "Ending task cleared."}));
  EXPECT_FALSE(rig.d.trace().Contains("COMMAND:9"));  // the song's end ended the table
  EXPECT_FALSE(rig.d.trace().Contains("6003"));
  EXPECT_TRUE(IsBlack(SURFACE_ROOT, 3, 3));
  EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), 0);
}

// All six endings seen, and the ending song missing: its table ends at once (it would wait for
// a row that never comes), and the closing part follows with its own song.
TEST(EndingTask, AllSixEndingsPlayTheClosingPartAlsoWithoutTheSong) {
  EndingRig rig;
  rig.PutSong(E::kVoice6003, 0.2);
  ASSERT_TRUE(rig.Start());
  GetSystemData()->setEndingsSeen(0x80 | 63);
  E::StartEndingMain(rig.owner, 2);
  GameTaskRec* task = kEndingMain.Find(Ctx().game_task);
  ASSERT_NE(task, nullptr);
  const auto* state = static_cast<const EndingState*>(task->extra);
  ASSERT_TRUE(rig.d.Run(2));
  EXPECT_TRUE(rig.d.trace().Contains("tamvik1\\bgm\\otome.wav does not play"));
  EXPECT_EQ(state->endFlag, 1u);
  EXPECT_EQ(state->closing, 1u);
  // 960 frames; the fade to black; end_ge picture 0; the closing table with 6003.wav.
  ASSERT_TRUE(rig.d.Run(950));
  EXPECT_NE(state->ending, 6u);
  ASSERT_TRUE(rig.Until([&] { return state->ending == 6; }, 250));
  EXPECT_EQ(SurfacePixel(SURFACE_ROOT, 3, 3), Expect(kCommon, 0));
  ASSERT_TRUE(rig.d.Step());
  EXPECT_TRUE(rig.d.trace().Contains("COMMAND:7 Snap Screen"));
  // The closing voice's end, 120 frames, end_ge picture 3 cross-faded in, 664 frames, the close.
  ASSERT_TRUE(rig.Until([&] { return SurfacePixel(SURFACE_ROOT, 3, 3) == Expect(kCommon, 3); },
                        300));
  EXPECT_FALSE(E::IsEndingEnd());
  ASSERT_TRUE(rig.d.Run(600));
  EXPECT_FALSE(E::IsEndingEnd());
  ASSERT_TRUE(rig.Until([] { return E::IsEndingEnd(); }, 300));
  EXPECT_TRUE(rig.d.trace().Contains("Ending task cleared."));
  EXPECT_FALSE(rig.d.trace().Contains("6003.wav does not play"));
}

// No song and no voice at all: the ending still reaches its close in bounded time.
TEST(EndingTask, MissingSongsEndTheTableAtOnceAndTheTaskCloses) {
  EndingRig rig;
  ASSERT_TRUE(rig.Start());
  GetSystemData()->setEndingsSeen(0x80 | 0x21);
  E::StartEndingMain(rig.owner, 3);
  // 960 frames after the missing voice, then the close's 2 s fade.
  ASSERT_TRUE(rig.Until([] { return E::IsEndingEnd(); }, 1150));
  EXPECT_TRUE(rig.d.trace().Contains("tamvik1\\bgm\\otome.wav does not play"));
  EXPECT_FALSE(rig.d.trace().Contains("COMMAND:"));
  EXPECT_TRUE(rig.d.trace().Contains("Ending task cleared."));
}

TEST(EndingTask, EndsWithItsOwner) {
  EndingRig rig;
  ASSERT_TRUE(rig.Start());
  E::StartEndingMain(rig.owner, 1);
  ASSERT_TRUE(rig.d.Run(3));
  Ctx().game_task.DelTask(rig.owner);
  ASSERT_TRUE(rig.d.Run(2));
  EXPECT_TRUE(E::IsEndingEnd());
}

// ---- The tables ----

TEST(EndingTables, ShapeTimesCommandsSurfacesAndPictures) {
  for (uint32_t t = 0; t < E::kTables; ++t) {
    SCOPED_TRACE(t);
    const auto table = E::Table(t);
    ASSERT_FALSE(table.empty());
    EXPECT_LE(table.size(), E::kMaxRows);
    EXPECT_EQ(table.front().time, 0u);
    EXPECT_EQ(table.back().command, static_cast<uint32_t>(E::kDecodeEnd));
    EXPECT_EQ(table.back().time, t == E::kClosingTable ? 3146u : 18238u);
    std::set<uint32_t> commands;
    for (size_t i = 0; i < table.size(); ++i) {
      const EndingRow& row = table[i];
      SCOPED_TRACE(i);
      if (i > 0) {
        EXPECT_GE(row.time, table[i - 1].time);
      }
      ASSERT_LT(row.command, static_cast<uint32_t>(E::kCommandCount));
      commands.insert(row.command);
      if (row.command == E::kDecodeEnd) {
        EXPECT_EQ(i + 1, table.size());
      }
      const bool uses_surface = row.command <= E::kLoadCg || row.command == E::kDrawFadeScreenIn;
      if (uses_surface) {
        EXPECT_GE(row.surface, 4u);
        EXPECT_LE(row.surface, 8u);
      }
      const bool draws = row.command == E::kDrawCg || row.command == E::kCrossFadeIn ||
                         row.command == E::kOpenX || row.command == E::kOpenY ||
                         row.command == E::kLoadCg || row.command == E::kDrawFadeScreenIn;
      if (draws) {
        int image = -1;
        const char* file = E::PictureFile(t, row.picture, &image);
        ASSERT_NE(file, nullptr);
        const uint32_t count = row.picture >= 200   ? E::kCommonPictures
                               : row.picture >= 100 ? E::kStaffPictures
                                                    : E::kEndPictures;
        EXPECT_LT(static_cast<uint32_t>(image), count);
      }
      if (row.command == E::kOpenX || row.command == E::kOpenY) {
        EXPECT_GT(row.param, 0u);
      }
    }
    if (t == E::kClosingTable) {
      EXPECT_EQ(table.size(), 17u);
    } else {
      // Pictures cross-faded in, staff-roll pictures, an opening each way and a screen fade.
      for (uint32_t c : {E::kCrossFadeIn, E::kOpenX, E::kOpenY, E::kFadeScreenOut,
                         E::kDrawFadeScreenIn, E::kLoadCg}) {
        EXPECT_TRUE(commands.count(c)) << c;
      }
    }
  }
  // Table 0's given first and last rows.
  const auto t0 = E::Table(0);
  const std::vector<std::vector<uint32_t>> head = {
      {0, 0, 0, 0, 0, 0, 4},   {0, 4, 0, 0, 48, 2, 6},   {160, 1, 0, 0, 48, 0, 6},
      {160, 0, 0, 0, 0, 0, 4}, {160, 2, 100, 0, 0, 62, 4}, {300, 7, 0, 0, 0, 0, 0},
      {300, 0, 0, 0, 0, 0, 4}, {300, 1, 2, 384, 32, 2, 7}, {300, 8, 0, 0, 0, 62, 0}};
  const std::vector<std::vector<uint32_t>> tail = {
      {17918, 2, 11, 256, 128, 124, 7}, {18196, 3, 0, 0, 0, 62, 4}, {18238, 9, 0, 0, 0, 0, 0}};
  const auto values = [](const EndingRow& r) {
    return std::vector<uint32_t>{r.time, r.command, r.picture, r.x, r.y, r.param, r.surface};
  };
  for (size_t i = 0; i < head.size(); ++i) EXPECT_EQ(values(t0[i]), head[i]) << i;
  for (size_t i = 0; i < tail.size(); ++i) {
    EXPECT_EQ(values(t0[t0.size() - tail.size() + i]), tail[i]) << i;
  }
}

// ---- Headless frames and the manager's road ----

// The first rows of ending 0 on the screen: the opening from the centre column, the staff-roll
// picture cross-faded in, the picture at 384, 32. With TAMVIK_ENDING_FRAMES set the frames are
// written there as PNG files.
TEST(EndingFrames, FirstRowsReachTheScreen) {
  EndingRig rig;
  rig.PutSong(E::kSong, 7);
  ASSERT_TRUE(rig.Start());
  E::InitEndingScreen();
  E::StartEndingMain(rig.owner, 1);
  const auto& display = rig.d.display();
  const auto pixel = [&](int x, int y) {
    const uint32_t c = platform::UnpackToColorRef(display.FramePixel(x, y), display.frame_layout);
    return Rgb5{static_cast<int>((c & 0xFF) >> 3), static_cast<int>(((c >> 8) & 0xFF) >> 3),
                static_cast<int>(((c >> 16) & 0xFF) >> 3)};
  };
  const char* folder = std::getenv("TAMVIK_ENDING_FRAMES");
  const auto save = [&](const char* name) {
    if (folder != nullptr && *folder != '\0') {
      display.SaveFramePng(std::string(folder) + "/" + name + ".png");
    }
  };
  // Frame 60: the band at (0, 48) shows in the column opened about 2 x 60 pixels each side.
  ASSERT_TRUE(rig.d.Run(60));
  save("ending_opening");
  EXPECT_EQ(pixel(320, 60), Expect(kEnd, 0));
  EXPECT_EQ(pixel(100, 60), (Rgb5{0, 0, 0}));
  EXPECT_EQ(pixel(540, 60), (Rgb5{0, 0, 0}));
  // Frame 240: the staff picture (staff 0) cross-faded in on layer 4 at 0, 0, picture 0 on
  // layer 6 at 0, 48.
  ASSERT_TRUE(rig.Until([&] { return pixel(3, 3) == Expect(kStaff, 0); }, 200));
  EXPECT_EQ(pixel(3, 51), Expect(kEnd, 0));
  save("ending_staff");
  // After 300 plus the cross-fade: picture 2 at 384, 32 on layer 7.
  ASSERT_TRUE(rig.Until([&] { return pixel(387, 35) == Expect(kEnd, 2); }, 200));
  EXPECT_TRUE(IsBlack(SURFACE_ROOT, 3, 3));
  save("ending_picture");
}

TEST(EndingRoad, StageClearLeadsThroughTheEndingToTheMakerLogo) {
  EndingRig rig(true);
  testsupport::FillManagerStandIns(rig.d.sequences());
  GameSequences& s = rig.d.sequences();
  s.ending.start = [](GameTaskRec* owner, int n) { E::StartEndingMain(owner, n); };
  s.ending.is_running = [] { return !E::IsEndingEnd(); };
  s.ending_prepare = [] { E::InitEndingScreen(); };
  int logos = 0;
  s.logo.start = [&](GameTaskRec*, int) { ++logos; };
  s.scene.start = [](GameTaskRec*) {};
  rig.PutSong(E::kSong, 0.2);
  ASSERT_TRUE(rig.d.Start());
  ASSERT_TRUE(rig.Until([] { return CTamvikGeneral::GetMode() == 30; }, 400));
  GetAdvState()->setSceneCode(0x0A04);
  SetMacroP(83, 0x0102);
  CTamvikGeneral::SetMode(32);
  ASSERT_TRUE(rig.Until([] { return CTamvikGeneral::GetMode() == 47; }, 200));
  GameTaskRec* task = kEndingMain.Find(Ctx().game_task);
  ASSERT_NE(task, nullptr);
  EXPECT_EQ(static_cast<EndingState*>(task->extra)->ending, 1u);
  EXPECT_EQ(task->owner, Ctx().game_task.FindTask(CTamvikGeneral::kManagerTaskName));
  ASSERT_TRUE(rig.Until([] { return CTamvikGeneral::GetMode() != 47; }, 1400));
  EXPECT_TRUE(E::IsEndingEnd());
  ASSERT_TRUE(rig.Until([&] { return logos == 1; }, 5));
  EXPECT_TRUE(Ctx().dsound.IsBGMStop());
  EXPECT_TRUE(Ctx().dsound.IsVoiceStop());
  EXPECT_TRUE(Ctx().dsound.IsSEStop());
  EXPECT_TRUE(rig.d.trace().Contains("Ending task cleared."));
}

}  // namespace
