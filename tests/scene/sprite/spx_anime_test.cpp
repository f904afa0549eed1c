// Kind 12: sprite-file animations on the game clock, their setters and bad data.

#include <gtest/gtest.h>

#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "platform/surface.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "tests/scene/sprite/spr_test_support.h"

namespace {

using namespace testsupport;

std::vector<uint32_t> g_events;
void RecordEvent(uint32_t wait) { g_events.push_back(wait); }

enum Animation : uint32_t {
  kTwoFrames,     // waits 6, 6
  kWithEvent,     // 6, event 0x1001, 6
  kEventsOnly,    // events 0x1000, 0x1002
  kZeroWaits,     // 0, 0
  kUnitPast,      // a unit past the unit count
  kSkippable,     // 6, event 0x1003, 6, 6
  kNoFrames,      // no frame at all
};

class SpxAnimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fx.OpenDisplay());
    g_events.clear();
    // Image values 1 and 2 are colours 1 (red) and 2 (green) of the table.
    fx.Write("a.spr", AnimationFile({{0, 0, 0}, {31, 0, 0}, {0, 31, 0}},
                                    {{2, 2, kSprDepth8, 0, {1, 1, 1, 1}},
                                     {2, 2, kSprDepth8, 0, {2, 2, 2, 2}}},
                                    {{BoxEntry(0, 0, 0, 2, 2)}, {BoxEntry(1, 10, 0, 2, 2)}},
                                    {{{0, 6}, {1, 6}},
                                     {{0, 6}, {1, 0x1001}, {1, 6}},
                                     {{0, 0x1000}, {1, 0x1002}},
                                     {{0, 0}, {1, 0}},
                                     {{7, 6}},
                                     {{0, 6}, {0, 0x1003}, {1, 6}, {0, 6}},
                                     {}}));
    anm = TamvikFunc::LoadAnmFile("a.spr");
    ASSERT_NE(anm, nullptr);
    kind().SetSoundHook(&RecordEvent);
  }
  void TearDown() override { kind().SetSoundHook(nullptr); }

  CTamvikSpr& spr() { return fx.scene.scene().tamvik_spr; }
  SpxAnimeKind& kind() { return *spr().spx(); }
  CDdrawAnime& anime() { return fx.scene.engine().ctx().anime; }
  int LiveEntries() {
    return CDdrawSpr::kEntryCount - fx.scene.engine().ctx().ddraw_spr.FreeEntryCount();
  }
  AnimeHandle Play(uint32_t n, uint32_t loop = 0) {
    return spr().PlayAnmLoopFlag(anm, n, 100, 100, loop, SURFACE_ROOT, 1);
  }
  // The x of the drawn unit's first entry (110 for unit 1, 100 for unit 0), -1 when none.
  int DrawnX(AnimeHandle h) {
    SpxAnimeBlock* b = kind().Block(h);
    return b != nullptr && b->drawn != nullptr && b->drawn->count > 0 ? b->drawn->entries[0]->x : -1;
  }

  spr_test::SprFixture fx;
  TraceCapture trace;
  SprAnm* anm = nullptr;
};

struct TimingCase {
  const char* what;
  Animation animation;
  uint32_t loop;
  uint32_t speed;
  // Per game-clock time: the frame, the drawn x, IsEnd, IsSpxEnd, the loop count.
  struct Row {
    uint32_t t;
    int32_t frame;
    int x;
    int end, spx_end;
    uint32_t loops;
  };
  std::vector<Row> rows;
  std::vector<uint32_t> events;
};

TEST_F(SpxAnimeTest, FramesFollowTheGameClock) {
  const TimingCase cases[] = {
      {"waits 6, 6", kTwoFrames, 0, 256,
       {{0, 0, 100, 0, 0, 0}, {99, 0, 100, 0, 0, 0}, {100, 1, 110, 0, 0, 0},
        {199, 1, 110, 0, 0, 0}, {200, 1, 110, 1, 1, 0}, {400, 1, 110, 1, 1, 0}},
       {}},
      {"loop", kTwoFrames, 1, 256,
       {{0, 0, 100, 0, 0, 0}, {100, 1, 110, 0, 0, 0}, {200, 0, 100, 0, 1, 1},
        {300, 1, 110, 0, 1, 1}, {400, 0, 100, 0, 1, 2}},
       {}},
      {"speed 512", kTwoFrames, 0, 512,
       {{0, 0, 100, 0, 0, 0}, {49, 0, 100, 0, 0, 0}, {50, 1, 110, 0, 0, 0}, {100, 1, 110, 1, 1, 0}},
       {}},
      {"an event between two frames", kWithEvent, 0, 256,
       {{0, 0, 100, 0, 0, 0}, {50, 0, 100, 0, 0, 0}, {100, 2, 110, 0, 0, 0},
        {150, 2, 110, 0, 0, 0}, {200, 2, 110, 1, 1, 0}},
       {0x1001}},
      // 2^31 ms is 10737418 passes of 200 ms and 48 ms more: caught up in bounded work.
      {"a long stall", kTwoFrames, 1, 256,
       {{0, 0, 100, 0, 0, 0}, {2147483648u, 0, 100, 0, 1, 10737418}, {2147483748u, 1, 110, 0, 1, 10737418}},
       {}},
      {"a late step skips frames and still calls their events", kSkippable, 0, 256,
       {{0, 0, 100, 0, 0, 0}, {250, 3, 100, 0, 0, 0}, {300, 3, 100, 1, 1, 0}},
       {0x1003}},
  };
  for (const TimingCase& c : cases) {
    SCOPED_TRACE(c.what);
    g_events.clear();
    AnimeHandle h = Play(c.animation, c.loop);
    ASSERT_NE(h, nullptr);
    kind().SetSpeed(h, c.speed);
    for (const auto& row : c.rows) {
      SCOPED_TRACE(row.t);
      anime().Exec(row.t);
      EXPECT_EQ(kind().GetFrame(h), row.frame);
      EXPECT_EQ(DrawnX(h), row.x);
      EXPECT_EQ(kind().IsEnd(h), row.end);
      EXPECT_EQ(kind().IsSpxEnd(h), row.spx_end);
      EXPECT_EQ(kind().GetLoopCount(h), row.loops);
    }
    EXPECT_EQ(g_events, c.events);
    spr().ReleaseAnm(&h);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(LiveEntries(), 0);
  }
}

TEST_F(SpxAnimeTest, CreateDrawsFrameZeroAndAStartDelayHidesIt) {
  AnimeHandle h = Play(kTwoFrames);
  EXPECT_EQ(DrawnX(h), 100);  // at once, before any step
  kind().SetStartDelay(h, 30);
  anime().Exec(0);
  EXPECT_EQ(kind().GetFrame(h), -1);
  EXPECT_EQ(spr().GetAnmFrameNo(h), -1);
  EXPECT_EQ(LiveEntries(), 0);
  anime().Exec(499);
  EXPECT_EQ(LiveEntries(), 0);
  anime().Exec(500);
  EXPECT_EQ(kind().GetFrame(h), 0);
  EXPECT_EQ(DrawnX(h), 100);
  anime().Exec(600);
  EXPECT_EQ(spr().GetAnmFrameNo(h), 0);  // frame 1, reported minus one
}

TEST_F(SpxAnimeTest, FreeAtEndAndHoldEndRemoveTheEntriesAndClearTheHandle) {
  for (int hold_end : {0, 1}) {
    SCOPED_TRACE(hold_end);
    AnimeHandle h = Play(kTwoFrames);
    if (hold_end != 0) {
      kind().SetHoldEnd(h, 1);
    } else {
      kind().SetFreeAtEnd(h, 1);
    }
    ASSERT_EQ(anime().SetAutoClear(&h), 1);
    const uint32_t base = static_cast<uint32_t>(hold_end) * 1000;
    anime().Exec(base);
    anime().Exec(base + 100);
    anime().Exec(base + 200);  // past the last frame: ending
    EXPECT_EQ(kind().IsSpxEnd(h), 1);
    anime().Exec(base + 216);  // the ending step releases the unit
    EXPECT_EQ(LiveEntries(), 0);
    EXPECT_NE(h, nullptr);
    anime().Exec(base + 233);  // the end callback clears the variable
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(kind().IsEnd(h), 1);
  }
}

TEST_F(SpxAnimeTest, BlinkShowsEveryPeriodStep) {
  AnimeHandle h = Play(kZeroWaits);  // wait 0: holds frame 0
  anime().Exec(0);
  EXPECT_EQ(DrawnX(h), 100);
  EXPECT_EQ(kind().SetBlink(h, 1), 0);
  for (uint32_t t = 1; t <= 3; ++t) {
    anime().Exec(t * 17);
    EXPECT_EQ(DrawnX(h), 100);
  }
  kind().SetBlink(h, 3);
  std::vector<int> shown;
  for (uint32_t t = 4; t <= 9; ++t) {
    anime().Exec(t * 17);
    shown.push_back(DrawnX(h) == 100 ? 1 : 0);
  }
  EXPECT_EQ(shown, (std::vector<int>{0, 0, 1, 0, 0, 1}));
}

TEST_F(SpxAnimeTest, SetSpxTurnYSetsTheCorners) {
  AnimeHandle h = Play(kTwoFrames);
  SpxAnimeBlock* b = kind().Block(h);
  const struct {
    int32_t angle;
    std::array<int32_t, 4> corners;
  } cases[] = {
      {0, {0x10000, 0x10000, 0x10000, 0x10000}},
      {256, {-0x10000, 0x10000, -0x10000, 0x10000}},
      // Angle 0.5 rad, width 100, distance 200: h = 50, s = 50 sin 0.5 = 23.97; the width factor
      // is (right - left) / w = cos 0.5 = 0.87758 (57513), the heights 1 -/+ s / 200 (0.88014,
      // 1.11986).
      {128, {57513, 57681, 57513, 73390}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.angle);
    EXPECT_EQ(kind().SetSpxTurnY(h, c.angle, 100, 200), 1);
    ASSERT_TRUE(b->corners);
    EXPECT_EQ(*b->corners, c.corners);
    ASSERT_NE(b->drawn, nullptr);
    EXPECT_TRUE(b->drawn->entries[0]->has_zoom4);
    EXPECT_EQ(b->drawn->entries[0]->zoom4, c.corners);
  }
}

TEST_F(SpxAnimeTest, SettersRefuseNullAndTheEndingStep) {
  AnimeHandle h = Play(kTwoFrames);
  anime().Exec(0);
  // Position moves the drawn unit by the difference; priority re-links the entries.
  EXPECT_EQ(kind().SetSpxPos(h, 130, 90), 1);
  EXPECT_EQ(DrawnX(h), 130);
  EXPECT_EQ(kind().Block(h)->drawn->entries[0]->y, 90);
  EXPECT_EQ(kind().SetSpxPriority(h, 7), 1);
  EXPECT_EQ(kind().Block(h)->drawn->entries[0]->priority, 7);
  EXPECT_EQ(kind().SetFrame(h, 2), 0);
  EXPECT_TRUE(trace.Contains("SetFrame: frame 2 outside"));
  EXPECT_EQ(kind().GetFrame(h), 0);
  EXPECT_EQ(kind().SetFrame(h, -1), 0);

  AnimeHandle ending = Play(kTwoFrames);
  kind().SetFreeAtEnd(ending, 1);
  anime().Exec(1000);
  anime().Exec(1100);
  anime().Exec(1200);
  ASSERT_EQ(anime().RecordOf(ending)->step, 2);
  for (AnimeHandle handle : {static_cast<AnimeHandle>(nullptr), ending}) {
    const bool null = handle == nullptr;
    SCOPED_TRACE(null ? "null" : "ending");
    EXPECT_EQ(kind().SetSpxPos(handle, 1, 1), 0);
    EXPECT_EQ(kind().SetSpxZoom(handle, 0x20000, 0x20000), 0);
    EXPECT_EQ(kind().SetSpxCorners(handle, 1, 1, 1, 1), 0);
    EXPECT_EQ(kind().SetSpxRot(handle, 100), 0);
    EXPECT_EQ(kind().SetSpxAlpha(handle, 128), null ? 0 : 1);
  }
  EXPECT_EQ(kind().GetSpxAlpha(nullptr), 256u);
  EXPECT_EQ(kind().GetFrame(nullptr), 0);
  EXPECT_EQ(kind().IsEnd(nullptr), 1);
  EXPECT_EQ(kind().IsSpxEnd(nullptr), 1);

  // Stopped and hidden, then resumed: the frame (frame 1 by now: unit 1, 10 to the right) is
  // drawn again.
  anime().SetStop(h, 1);
  kind().HideSpx(h);
  EXPECT_EQ(DrawnX(h), -1);
  anime().SetStop(h, 0);
  EXPECT_EQ(DrawnX(h), 140);
}

TEST_F(SpxAnimeTest, BadDataFinishesItsStep) {
  // A frame whose unit is past the unit count draws nothing.
  AnimeHandle past = Play(kUnitPast);
  EXPECT_EQ(DrawnX(past), -1);
  EXPECT_TRUE(trace.Contains("unitNo(7>=2) is too large"));
  EXPECT_EQ(spr().GetAnmFrameWait(anm, kUnitPast, 5), 0);

  // Event-only animations, looping and not; a looping one of zero waits after a start delay;
  // animations of no frame at all, played once (ended at its first step, as an event-only one:
  // a wait for its end returns) and looping (kept, drawing nothing).
  AnimeHandle events_once = Play(kEventsOnly, 0);
  AnimeHandle events_loop = Play(kEventsOnly, 1);
  AnimeHandle zero_loop = Play(kZeroWaits, 1);
  AnimeHandle empty_once = Play(kNoFrames, 0);
  AnimeHandle empty_loop = Play(kNoFrames, 1);
  kind().SetStartDelay(zero_loop, 1);
  EXPECT_EQ(kind().IsSpxEnd(empty_once), 0);
  anime().Exec(0);
  EXPECT_EQ(kind().IsSpxEnd(empty_once), 1);
  EXPECT_EQ(kind().IsSpxEnd(empty_loop), 1);
  for (uint32_t t = 0; t <= 100; t += 17) anime().Exec(t);
  EXPECT_EQ(anime().IsAnime(empty_once), 0);
  EXPECT_EQ(anime().IsAnime(empty_loop), 1);
  EXPECT_EQ(DrawnX(empty_loop), -1);
  EXPECT_EQ(anime().IsAnime(events_once), 0);  // ended
  EXPECT_EQ(anime().IsAnime(events_loop), 1);
  EXPECT_GE(kind().GetLoopCount(events_loop), 2u);
  EXPECT_EQ(anime().IsAnime(zero_loop), 1);
  EXPECT_GE(kind().GetLoopCount(zero_loop), 1u);
  EXPECT_FALSE(g_events.empty());

  // Releasing the list while its animations play deletes them first; their handles are dead.
  AnimeHandle playing = Play(kTwoFrames, 1);
  TamvikFunc::ReleaseAnmFile(anm);
  EXPECT_EQ(spr().anms(), nullptr);
  EXPECT_EQ(anime().IsAnime(playing), 0);
  EXPECT_EQ(kind().SetSpxPos(playing, 0, 0), 0);
  EXPECT_EQ(spr().ReleaseAnm(&playing), 0);
  EXPECT_EQ(kind().SetFrame(events_loop, 0), 0);
  anime().Exec(200);
  EXPECT_EQ(LiveEntries(), 0);
}

TEST_F(SpxAnimeTest, FramesReachThePresentedPicture) {
  CDdrawFunc& ddraw = fx.ddraw();
  const std::vector<uint16_t>& frame = fx.scene.engine().host.display.frame;
  const auto pixel = [&](int x, int y) { return frame[static_cast<size_t>(y) * 640 + x]; };
  const uint16_t red = platform::PackColorRef(SprColourRef({31, 0, 0}), platform::PixelLayout::kRgb565);
  const uint16_t green = platform::PackColorRef(SprColourRef({0, 31, 0}), platform::PixelLayout::kRgb565);
  AnimeHandle h = Play(kTwoFrames, 1);
  ASSERT_NE(h, nullptr);
  const struct {
    uint32_t t;
    uint16_t at_100, at_110;
  } rows[] = {{0, red, 0}, {100, 0, green}, {200, red, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.t);
    anime().Exec(row.t);
    ddraw.SetUpdate(SURFACE_ROOT, 1);
    ASSERT_EQ(ddraw.ShowWindow(), 1);
    ASSERT_EQ(frame.size(), size_t{640} * 480);
    EXPECT_EQ(pixel(100, 100), row.at_100);
    EXPECT_EQ(pixel(111, 101), row.at_110);
  }
}

TEST_F(SpxAnimeTest, TeardownWithAnimationsPlayingIsClean) {
  // Animations holding drawn units and lists when the scene goes: the fixture's teardown ends
  // them, then frees the lists and the units (LeakSanitizer and ASan watch it).
  AnimeHandle a = Play(kTwoFrames, 1);
  AnimeHandle b = Play(kWithEvent, 0);
  anime().Exec(0);
  anime().Exec(150);
  SprUnit* unit = TamvikFunc::LoadUnitFile("a.spr");
  ASSERT_NE(unit, nullptr);
  EXPECT_NE(spr().PutUnit(unit, 0, 0, 0, SURFACE_ROOT, 1), nullptr);
  EXPECT_NE(DrawnX(a), -1);
  EXPECT_NE(DrawnX(b), -1);
}

}  // namespace
