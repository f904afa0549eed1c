// The game-over sequence on writer-made pictures and system sprites: the picture by unit slot
// 0's kind, the music by battle map, the continue menu by keys and mouse, the answers, and that
// nothing of the sequence stays behind.

#include <gtest/gtest.h>

#include <initializer_list>

#include "battle/battle_context.h"
#include "battle/slg_comm_win.h"
#include "battle/slg_game_over.h"
#include "battle/slg_screen.h"
#include "battle/slg_sys_spr.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/input/dinput.h"
#include "game/game_state.h"
#include "game/system_data.h"
#include "platform/surface.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/game_over_pictures.h"
#include "testsupport/system_sprites.h"
#include "testsupport/trace_capture.h"

namespace {

using platform::PixelLayout;
using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::GameOverPictures;
using testsupport::SystemSpriteSet;
using testsupport::TraceCapture;

BattleRig::Options Layout(PixelLayout layout) {
  BattleRig::Options o;
  o.layout = layout;
  return o;
}

class GoRig {
 public:
  explicit GoRig(PixelLayout layout = PixelLayout::kRgb565, bool pictures = true)
      : rig(Layout(layout)), board(rig.battle()) {
    SystemSpriteSet().Lay(rig.driver().tree);
    LoadSystemSprites();
    if (pictures) GameOverPictures::Lay(rig.driver().tree);
    for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
    SlgSetLayer(SURFACE_ROOT, 1);
    SlgClearLayer(SURFACE_ROOT);
    Battle().flags = 0x6;
  }
  ~GoRig() { FreeSystemSprites(); }

  // Calls the sequence once per frame until its step is `until` (or it answers); the answer.
  int RunTo(uint8_t until, int limit = 200) {
    for (int i = 0; i < limit && step != until; ++i) {
      answer = Slg::GameOverSeq(&step);
      if (answer >= 0) break;
      rig.Step();
    }
    return answer;
  }
  // One frame with the keys pressed, the sequence called in it; then the keys go up.
  void Frame(std::initializer_list<int> keys) {
    for (int k : keys) rig.Schedule({testsupport::GameKeyDown(rig.frame(), static_cast<GameKeyBits>(1u << k))});
    rig.Step();
    answer = Slg::GameOverSeq(&step);
    for (int k : keys) rig.Schedule({testsupport::GameKeyUp(rig.frame(), static_cast<GameKeyBits>(1u << k))});
    rig.Step();
  }
  static void PointAt(int x, int y) {
    Battle().pointer_mode = 1;
    Battle().state.pointer = {(x - 320) * 65536, (y - 240) * 65536};
  }
  uint32_t Shown(uint32_t colour) {
    const PixelLayout layout = rig.driver().host().display.layout();
    return platform::UnpackToColorRef(platform::PackColorRef(colour, layout), layout);
  }

  BattleRig rig;
  BattleBoard board;
  uint8_t step = 0;
  int answer = -1;
};

TEST(SlgGameOver, PictureMusicMenuAndContinue) {
  struct Case {
    const char* name;
    PixelLayout layout;
    uint8_t kind;
    int map;
    testsupport::SprRgb colour;
    int music;
  };
  for (const Case& c : {Case{"kind 14, map 3", PixelLayout::kRgb565, 14, 3, GameOverPictures::kTelka, 19},
                        Case{"kind 0, map 19", PixelLayout::kRgb555, 0, 19, GameOverPictures::kVarno, 15}}) {
    SCOPED_TRACE(c.name);
    GoRig g(c.layout);
    g.board.AddUnit({.kind = c.kind, .x = 192, .y = 240});
    GetSystemData()->setBattleMap(static_cast<uint32_t>(c.map));
    const int free_entries = Ctx().ddraw_spr.FreeEntryCount();
    EXPECT_EQ(g.RunTo(1), -1);
    EXPECT_EQ(Battle().flags, 0x2 | 0xA0);
    EXPECT_EQ(Battle().game_over.choice, 1);
    EXPECT_EQ(g.RunTo(2), -1);
    EXPECT_EQ(Battle().flags & 6, 0);
    EXPECT_EQ(Battle().game_over.input_lock, 0xFF01);
    ASSERT_NE(Battle().game_over.picture, nullptr);
    EXPECT_EQ(Battle().bgm_number, c.music);
    EXPECT_EQ(g.RunTo(5), -1);
    g.Frame({});  // step 5 asks layer 4 to be composed again
    g.rig.SaveFrame(c.layout == PixelLayout::kRgb565 ? "game_over_565" : "game_over_555");
    // The picture fills the screen; the menu shows item 1 (animation 1: frame 0) at (232, 184).
    EXPECT_EQ(g.rig.PixelAt(5, 5), g.Shown(testsupport::SprColourRef(c.colour)));
    EXPECT_EQ(g.rig.PixelAt(600, 400), g.Shown(testsupport::SprColourRef(c.colour)));
    EXPECT_EQ(g.rig.PixelAt(233, 185), g.Shown(SystemSpriteSet::ColourRef(kSysContinue, 0)));
    SprRec* picture = Battle().game_over.picture;
    TraceCapture trace;
    g.Frame({0});
    EXPECT_EQ(g.step, 6);
    EXPECT_TRUE(trace.Contains("SeNo 15"));
    EXPECT_EQ(Battle().sys_sprites[kSysContinue].obj.handle, nullptr);
    EXPECT_EQ(g.RunTo(100), -1);
    EXPECT_EQ(g.RunTo(255), 1);
    EXPECT_EQ(Battle().game_over.picture, nullptr);
    EXPECT_EQ(Battle().game_over.entry, nullptr);
    EXPECT_EQ(Ctx().ddraw_spr.IsSprite(picture), 0);
    EXPECT_EQ(Ctx().ddraw_spr.FreeEntryCount(), free_entries);
  }
}

TEST(SlgGameOver, MenuAnswers) {
  enum Input { kLeftOk, kMouseOutsideOk, kMouseItem0Ok, kUpDownTogether };
  struct Case {
    const char* name;
    Input input;
    int answer;
  };
  for (const Case& c : {Case{"item 0 and OK gives up", kLeftOk, 0},
                        Case{"the mouse outside both keeps the item", kMouseOutsideOk, 1},
                        Case{"the mouse on item 0 gives up", kMouseItem0Ok, 0},
                        Case{"keys 7 and 5 together keep the item", kUpDownTogether, 1}}) {
    SCOPED_TRACE(c.name);
    GoRig g;
    g.board.AddUnit({.kind = 3, .x = 192, .y = 240});
    Battle().game_over.choice = 1;
    g.step = 4;  // the menu appears
    g.RunTo(5);
    switch (c.input) {
      case kLeftOk:
        g.Frame({8});
        EXPECT_EQ(Battle().game_over.shown, 0);
        EXPECT_EQ(Battle().sys_sprites[kSysContinue].obj.pattern, 0);
        break;
      case kMouseOutsideOk:
        GoRig::PointAt(232 + 170, 184 + 20);
        g.Frame({});
        GoRig::PointAt(232 + 50, 184 + 56);  // between the items
        g.Frame({});
        break;
      case kMouseItem0Ok:
        GoRig::PointAt(232 + 162, 184 + 48);  // the corner, inclusive
        g.Frame({});
        break;
      case kUpDownTogether:
        g.Frame({7, 5});
        break;
    }
    EXPECT_EQ(g.step, 5);
    g.Frame({0});
    EXPECT_EQ(g.RunTo(255), c.answer);
  }
}

TEST(SlgGameOver, AMissingPictureStillAnswers) {
  GoRig g(PixelLayout::kRgb565, false);
  g.board.AddUnit({.kind = 3, .x = 192, .y = 240});
  const int free_entries = Ctx().ddraw_spr.FreeEntryCount();
  TraceCapture trace;
  g.RunTo(5);
  EXPECT_TRUE(trace.Contains("GO_Telka.spr not loaded"));
  EXPECT_EQ(Battle().game_over.picture, nullptr);
  EXPECT_EQ(Battle().game_over.entry, nullptr);
  g.Frame({0});
  EXPECT_EQ(g.RunTo(255), 1);
  EXPECT_EQ(Ctx().ddraw_spr.FreeEntryCount(), free_entries);
}

}  // namespace
