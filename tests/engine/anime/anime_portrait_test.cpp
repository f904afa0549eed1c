// The portrait animations: the cell list with its random hold, the blink loop with its random
// start, the talk mouth (mouth text, random cells, voice clock, PutCell), the portrait group, and
// the sprite-buffer entries they show and remove.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "anime_test_support.h"
#include "engine/app/context.h"
#include "engine/app/doors.h"
#include "engine/files/random.h"
#include "engine/gfx/sprite/sprite.h"
#include "engine/sound/dsound_func.h"
#include "testsupport/trace_capture.h"

namespace {

using anime_test::AnimeTest;

constexpr SurfaceId kSurface = SURFACE_FG;

// What one sprite-buffer entry shows.
struct Shown {
  const SprRec* sprite;
  int x, y, priority;
};

class PortraitTest : public AnimeTest {
 protected:
  void SetUp() override {
    AnimeTest::SetUp();
    if (HasFatalFailure()) return;
    for (int i = 0; i < static_cast<int>(cells.size()); ++i) {
      cells[static_cast<size_t>(i)] =
          spr().CreateSprite(0, 0, SURFACE_ROOT, i * 8, 0, i * 8 + 8, 8);
      ASSERT_NE(cells[static_cast<size_t>(i)], nullptr);
    }
  }
  void TearDown() override { SetVoiceTime(-1); }

  CDdrawSpr& spr() { return engine.ctx().ddraw_spr; }

  // The entries of the surface's buffer in drawing order (back to front).
  std::vector<Shown> Entries(SurfaceId id = kSurface) {
    std::vector<Shown> out;
    const SprBuffer* b = spr().FindBuffer(id, nullptr);
    if (b == nullptr) return out;
    for (int p = SprBuffer::kPriorityCount - 1; p >= 0; --p) {
      const auto i = static_cast<size_t>(p);
      for (const SprLink* n = b->head[i].next; n != &b->tail[i]; n = n->next) {
        const auto* e = static_cast<const SprBufferEntry*>(n);
        out.push_back({e->sprite, e->x, e->y, e->priority});
      }
    }
    return out;
  }
  // The cell number the surface's only entry shows, -1 for none (a second entry fails).
  int ShownCell(SurfaceId id = kSurface) {
    const std::vector<Shown> e = Entries(id);
    if (e.empty()) return -1;
    EXPECT_EQ(e.size(), 1u) << "more than one entry shown";
    for (size_t i = 0; i < cells.size(); ++i) {
      if (cells[i] == e[0].sprite) return static_cast<int>(i);
    }
    return -2;
  }
  Shown Only(SurfaceId id = kSurface) {
    const std::vector<Shown> e = Entries(id);
    EXPECT_EQ(e.size(), 1u);
    return e.empty() ? Shown{nullptr, 0, 0, 0} : e[0];
  }

  // Fakes the voice channel's clock: -1 stops the channel, other values play at that time.
  void SetVoiceTime(int32_t ms) {
    SoundChannel& voice = engine.ctx().dsound.channels[kChannelVoice];
    voice.status = ms < 0 ? 0 : 2;
    voice.time_played = ms < 0 ? 0 : static_cast<uint32_t>(ms);
  }

  void ClearUpdates() { ASSERT_EQ(ddraw().ShowWindow(), 1); }
  uint32_t RandomState() { return engine.ctx().random.state(); }

  AnimeHandle MakeTalk(uint32_t base, int x = 5, int y = 7) {
    return anime().SetTalkSurface(kSurface, std::make_unique<AnimeTalkBlock>(), x, y, base,
                                  cells);
  }

  std::array<SprRec*, 8> cells{};
};

// ---- Cell list ----

TEST_F(PortraitTest, CellListShowsEachPairForItsDurationAndStartsAgain) {
  auto block = std::make_unique<AnimeCellListBlock>();
  block->range = 1;
  AnimeHandle eyes =
      anime().CreateCellAnime(kSurface, std::move(block), {{1, 2000}, {2, 150}}, 3, 4, 0, cells);
  ASSERT_NE(eyes, nullptr);
  // The first cell stands at (0, 0) until the list starts.
  EXPECT_EQ(ShownCell(), 0);
  EXPECT_EQ(Only().x, 0);
  EXPECT_EQ(Only().priority, 0);

  Frame(16);
  ClearUpdates();
  Frame(0);  // the first pair at once
  EXPECT_EQ(ShownCell(), 1);
  EXPECT_EQ(Only().x, 3);
  EXPECT_EQ(Only().y, 4);
  EXPECT_NE(ddraw().IsUpdate(kSurface), 0u);

  struct Step {
    uint32_t ms;
    int cell;
  };
  const Step steps[] = {{1999, 1}, {1, 2}, {149, 2}, {1, 1}, {1999, 1}, {1, 2}, {150, 1}};
  for (const Step& s : steps) {
    Frame(s.ms);
    EXPECT_EQ(ShownCell(), s.cell) << "after " << s.ms << " ms more";
  }
}

TEST_F(PortraitTest, HeldCellGoesOnOnlyWhenARandomByteIsThreeOrLess) {
  // A seed whose byte sequence holds the cell a few times first.
  uint32_t seed = 1;
  int draws = 0;
  for (;; ++seed) {
    GameRandom ref;
    ref.Seed(seed);
    draws = 0;
    int byte = 0;
    do {
      const int r = ref.Next();
      byte = (r ^ (r >> 8)) & 0xFF;
      ++draws;
    } while (byte > 3 && draws < 1000);
    if (draws >= 3 && draws < 1000) break;
  }
  SeedRandom(seed);

  auto block = std::make_unique<AnimeCellListBlock>();
  block->range = 1;
  AnimeHandle eyes = anime().CreateCellAnime(
      kSurface, std::move(block), {{1, 100 | kCellHoldRandom}, {2, 100}}, 0, 0, 0, cells);
  ASSERT_NE(eyes, nullptr);
  Frame(16);
  Frame(0);
  EXPECT_EQ(ShownCell(), 1);
  EXPECT_EQ(RandomState(), seed);  // a duration without bit 31 draws nothing

  GameRandom ref;
  ref.Seed(seed);
  for (int held = 1; held < draws; ++held) {
    Frame(99);
    EXPECT_EQ(RandomState(), ref.state());  // nothing drawn before the duration is over
    Frame(1);
    ref.Next();
    EXPECT_EQ(RandomState(), ref.state());
    EXPECT_EQ(ShownCell(), 1) << "held " << held;
  }
  Frame(100);
  ref.Next();
  EXPECT_EQ(ShownCell(), 2);
  Frame(100);  // the second pair has no hold: back to the first without a draw
  EXPECT_EQ(ShownCell(), 1);
  EXPECT_EQ(RandomState(), ref.state());
}

// ---- Cell loop ----

TEST_F(PortraitTest, CellLoopIdlesUntilARandomStartAndEndsOnCellZeroWhichStays) {
  // Draws until the start (a number below 256) for a seed, and a seed that idles a while.
  auto draws_to_start = [](uint32_t seed) {
    GameRandom ref;
    ref.Seed(seed);
    int n = 1;
    while (ref.Next() >= 256) ++n;
    return n;
  };
  uint32_t seed = 7;
  while (draws_to_start(seed) < 4) ++seed;
  const int idle = draws_to_start(seed) - 1;
  SeedRandom(seed);

  AnimeHandle blink = anime().CreateCellLoop(kSurface, {1, 2, 1, 0}, 10, 20, 50, cells);
  ASSERT_NE(blink, nullptr);
  EXPECT_EQ(ShownCell(), -1);  // nothing until it plays
  for (int i = 0; i < idle; ++i) Frame(100);
  EXPECT_EQ(ShownCell(), -1);
  Frame(100);  // the start: the first cell one interval later
  EXPECT_EQ(ShownCell(), -1);
  Frame(49);
  EXPECT_EQ(ShownCell(), -1);
  ClearUpdates();
  Frame(1);
  EXPECT_EQ(ShownCell(), 1);
  EXPECT_EQ(Only().priority, 2047);
  EXPECT_EQ(Only().x, 10);
  EXPECT_EQ(Only().y, 20);
  EXPECT_NE(ddraw().IsUpdate(SURFACE_ALL_LAYERS), 0u);
  for (int cell : {2, 1, 0}) {
    Frame(50);
    EXPECT_EQ(ShownCell(), cell);
  }
  // Idle again: cell 0 stays while the loop waits for its next start.
  const uint32_t before = RandomState();
  Frame(50);
  EXPECT_NE(RandomState(), before);
  EXPECT_EQ(ShownCell(), 0);

  EXPECT_EQ(anime().HideCellLoop(blink), 1);
  EXPECT_EQ(ShownCell(), -1);
}

// ---- Talk mouth ----

TEST_F(PortraitTest, MouthFollowsItsTextThenReturnsToTheStart) {
  testsupport::TraceCapture trace;
  AnimeHandle lips = MakeTalk(1);
  ASSERT_NE(lips, nullptr);
  EXPECT_TRUE(trace.Contains("Set Talk Surface 6"));
  EXPECT_EQ(ShownCell(), 1);
  EXPECT_EQ(Only().x, 0);  // the base stands at (0, 0) until the mouth moves

  ASSERT_EQ(anime().SetText(lips, "ka.N"), 1);
  ASSERT_EQ(anime().SetTalkMode(lips, kTalkText, kTalkGameClock), 1);
  Frame(16);  // start
  Frame(0);   // the line begins: mouth closed, clock taken
  Frame(0);   // k: no change, not even redrawn
  EXPECT_EQ(ShownCell(), 1);
  EXPECT_EQ(Only().x, 0);
  Frame(0);  // a: offset 1 for 100 ms
  EXPECT_EQ(ShownCell(), 2);
  EXPECT_EQ(Only().x, 5);
  EXPECT_EQ(Only().y, 7);
  Frame(99);
  EXPECT_EQ(ShownCell(), 2);
  Frame(1);  // the full stop is skipped; N: offset 0 for 50 ms
  EXPECT_EQ(ShownCell(), 1);
  Frame(49);
  EXPECT_EQ(ShownCell(), 1);
  Frame(1);  // the text has run out: the mouth stays closed and waits for a new text
  Frames(10, 100);
  EXPECT_EQ(ShownCell(), 1);

  // A new text starts over; its first letter waits out the interval of the last one (n, 100).
  ASSERT_EQ(anime().SetText(lips, "o"), 1);
  Frame(16);
  Frame(99);
  EXPECT_EQ(ShownCell(), 1);
  Frame(1);
  EXPECT_EQ(ShownCell(), 6);
}

TEST_F(PortraitTest, RandomMouthDrawsOneCellPerStep) {
  SeedRandom(4242);
  GameRandom ref;
  ref.Seed(4242);
  AnimeHandle lips = MakeTalk(2);
  anime().SetTalkMode(lips, kTalkRandom, kTalkGameClock);
  Frame(16);
  Frame(16);
  EXPECT_EQ(RandomState(), 4242u);
  for (int i = 0; i < 12; ++i) {
    Frame(16);
    const int r = ref.Next();
    EXPECT_EQ(ShownCell(), 2 + ((r ^ (r >> 8)) & 0xFF) % 6) << "step " << i;
  }
  // Idle: the mouth closes on its base.
  anime().SetTalkMode(lips, kTalkIdle, kTalkVoiceClock);
  Frames(3, 16);
  EXPECT_EQ(ShownCell(), 2);
  EXPECT_EQ(RandomState(), ref.state());
}

TEST_F(PortraitTest, MouthOnTheVoiceClockWaitsForTheVoiceFollowsItAndStopsWithIt) {
  AnimeHandle lips = MakeTalk(0);
  anime().SetText(lips, "aiueo");
  anime().SetTalkMode(lips, kTalkText, kTalkVoiceClock);
  SetVoiceTime(-1);
  Frames(20, 100);  // no voice: the game clock alone moves nothing
  EXPECT_EQ(ShownCell(), 0);

  struct Step {
    int32_t voice;
    int cell;
  };
  const Step steps[] = {
      {0, 0},     // the voice starts: the line begins
      {0, 1},     // a at voice time 0
      {99, 1},    // a lasts 100 ms of voice time
      {100, 2},   // i
      {250, 3},   // a jump: u was due at 200 and is shown, e not yet
      {250, 3},   // the game clock runs on while the voice holds still
      {300, 4},   // e
  };
  for (const Step& s : steps) {
    SetVoiceTime(s.voice);
    Frame(16);
    EXPECT_EQ(ShownCell(), s.cell) << "voice time " << s.voice;
  }
  SetVoiceTime(-1);  // the voice ends: the mouth closes and waits
  Frame(16);
  EXPECT_EQ(ShownCell(), 0);
  Frames(5, 100);
  EXPECT_EQ(ShownCell(), 0);
  // The next voice takes the line from its start (after the interval of the last letter, e).
  SetVoiceTime(0);
  Frame(16);
  SetVoiceTime(99);
  Frame(16);
  EXPECT_EQ(ShownCell(), 0);
  SetVoiceTime(100);
  Frame(16);
  EXPECT_EQ(ShownCell(), 1);
}

TEST_F(PortraitTest, PutCellFreezesTheMouthUntilAnotherModeIsGiven) {
  testsupport::TraceCapture trace;
  AnimeHandle lips = MakeTalk(1);
  Frame(16);
  ClearUpdates();
  ASSERT_EQ(anime().PutCell(lips, 3), 1);
  EXPECT_TRUE(trace.Contains("Put Cell=4"));
  EXPECT_EQ(ShownCell(), 4);
  EXPECT_EQ(Only().x, 5);
  EXPECT_NE(ddraw().IsUpdate(kSurface), 0u);
  Frames(10, 100);  // text mode without a text waits
  EXPECT_EQ(ShownCell(), 4);
  anime().SetTalkMode(lips, kTalkIdle, kTalkVoiceClock);
  Frame(16);
  EXPECT_EQ(ShownCell(), 1);
}

// ---- Cell tables ----

TEST_F(PortraitTest, CellsOutsideTheTableOrWithoutASpriteAreSkipped) {
  testsupport::TraceCapture trace;
  std::array<SprRec*, 3> small{cells[0], cells[1], nullptr};

  // A cell list whose range reaches past its pairs and whose first pair names cell 5.
  auto block = std::make_unique<AnimeCellListBlock>();
  block->range = 7;
  AnimeHandle eyes = anime().CreateCellAnime(kSurface, std::move(block), {{5, 100}, {1, 100}}, 0,
                                           0, 9, small);
  ASSERT_NE(eyes, nullptr);
  EXPECT_EQ(ShownCell(), -1);  // first cell 9 is outside the table
  Frame(16);
  Frame(0);  // cell 5: skipped
  EXPECT_EQ(ShownCell(), -1);
  Frame(100);
  EXPECT_EQ(ShownCell(), 1);
  for (int i = 0; i < 6; ++i) {  // the pairs alternate; 5 is skipped, 1 stays shown
    Frame(100);
    EXPECT_EQ(ShownCell(), 1);
  }
  EXPECT_TRUE(trace.Contains("cell 5 is outside the table of 3 cells"));
  anime().Delete(eyes);

  // A blink list naming cell 2 (no sprite) and 4 (outside), and one without its closing 0.
  SeedRandom(1);
  AnimeHandle blink = anime().CreateCellLoop(kSurface, {2, 4, 1}, 0, 0, 10, small);
  for (int i = 0; i < 5000 && ShownCell() != 0; ++i) Frame(20);
  EXPECT_EQ(ShownCell(), 0);  // it still ended on cell 0
  EXPECT_TRUE(trace.Contains("cell 2 has no sprite"));
  anime().Delete(blink);

  // A random mouth over a base whose offsets reach past the table.
  AnimeHandle lips = anime().SetTalkSurface(kSurface, std::make_unique<AnimeTalkBlock>(), 0, 0,
                                          1, small);
  anime().SetTalkMode(lips, kTalkRandom, kTalkGameClock);
  for (int i = 0; i < 60; ++i) {
    Frame(16);
    const int shown = ShownCell();
    EXPECT_TRUE(shown == 1 || shown == 0) << shown;
  }
}

// ---- Portrait group and the entries the kinds own ----

TEST_F(PortraitTest, GroupShowsItsBaseBelowTheEyesAndMouthAndEachKindRemovesItsOwnEntry) {
  auto block = std::make_unique<AnimeCellListBlock>();
  AnimeHandle eyes = anime().CreateCellAnime(kSurface, std::move(block), {{1, 100}}, 0, 0, 1, cells);
  AnimeHandle lips = MakeTalk(2);
  AnimeHandle group = anime().CreateSprGroup(kSurface, 77, 120, 40, cells[7], eyes, lips);
  ASSERT_NE(group, nullptr);

  std::vector<Shown> e = Entries();
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0].sprite, cells[7]);  // oldest is drawn first: the base below
  EXPECT_EQ(e[1].sprite, cells[1]);
  EXPECT_EQ(e[2].sprite, cells[2]);
  EXPECT_EQ(e[0].x, 0);

  ASSERT_NE(anime().GetSprGroupParam(group), nullptr);
  EXPECT_EQ(anime().GetSprGroupParam(group)->identifier, 77u);
  EXPECT_EQ(anime().GetSprGroupParam(group)->x, 120);
  EXPECT_EQ(anime().GetGroupCell(group), eyes);
  EXPECT_EQ(anime().GetGroupTalk(group), lips);

  // The eyes' sprite is deleted by its owner (which removes the entry), and the freed pool
  // record serves a new entry: deleting the eye animation later must leave that entry alone.
  SprRec* eye_sprite = cells[1];
  ASSERT_EQ(spr().DeleteSprite(&eye_sprite), 1);
  cells[1] = nullptr;
  SprBufferEntry* other =
      spr().SetBuffer(CDdrawSpr::kBuffered, cells[6], 0, 0, kSurface, 1);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(anime().Delete(eyes), 1);
  EXPECT_TRUE(other->in_use);
  EXPECT_EQ(Entries().size(), 3u);

  EXPECT_EQ(anime().Delete(group), 1);  // only the base goes
  e = Entries();
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].sprite, cells[2]);
  EXPECT_EQ(anime().Delete(lips), 1);
  e = Entries();
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].sprite, cells[6]);

  // A group needs a live base.
  EXPECT_EQ(anime().CreateSprGroup(kSurface, 1, 0, 0, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(PortraitTest, DeleteAllRemovesEveryShownCell) {
  anime().CreateCellAnime(kSurface, std::make_unique<AnimeCellListBlock>(), {{1, 100}}, 0, 0, 1,
                          cells);
  MakeTalk(2);
  AnimeHandle blink = anime().CreateCellLoop(kSurface, {1, 0}, 0, 0, 0, cells);
  anime().CreateSprGroup(kSurface, 0, 0, 0, cells[5], nullptr, nullptr);
  SeedRandom(1);
  for (int i = 0; i < 5000 && Entries().size() < 4; ++i) Frame(16);
  ASSERT_EQ(Entries().size(), 4u);
  EXPECT_EQ(anime().IsAnime(blink), 1);
  anime().DeleteAll();
  EXPECT_TRUE(Entries().empty());
}

TEST_F(PortraitTest, SettersRefuseNullAndForeignHandles) {
  AnimeHandle timer = anime().CreateTimer();
  AnimeHandle lips = MakeTalk(0);
  AnimeHandle eyes = anime().CreateCellAnime(kSurface, std::make_unique<AnimeCellListBlock>(),
                                           {{0, 100}}, 0, 0, 0, cells);
  for (AnimeHandle h : {static_cast<AnimeHandle>(nullptr), timer, eyes}) {
    EXPECT_EQ(anime().SetTalkMode(h, kTalkRandom, 0), 0);
    EXPECT_EQ(anime().SetText(h, "a"), 0);
    EXPECT_EQ(anime().PutCell(h, 1), 0);
    EXPECT_EQ(anime().HideCellLoop(h), 0);
    EXPECT_EQ(anime().GetSprGroupParam(h), nullptr);
    EXPECT_EQ(anime().GetGroupCell(h), nullptr);
    EXPECT_EQ(anime().GetGroupTalk(h), nullptr);
  }
  EXPECT_EQ(anime().HideCellLoop(lips), 0);
  // Creators that take the caller's block refuse a null one.
  EXPECT_EQ(anime().CreateCellAnime(kSurface, nullptr, {}, 0, 0, 0, cells), nullptr);
  EXPECT_EQ(anime().SetTalkSurface(kSurface, nullptr, 0, 0, 0, cells), nullptr);
}

}  // namespace
