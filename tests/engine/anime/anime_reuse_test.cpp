// Reuse of freed animations: an animation started again and again (a replayed stand, an idle
// effect) takes the record and the parameter block of one freed before, so steady play
// allocates nothing; the reused record and block start from their defaults, and the list keeps
// only a bounded number of spares.
//
// The program's operator new counts the allocations of the test's own thread
// (testsupport/counting_new).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <typeinfo>
#include <vector>

#include "anime_test_support.h"
#include "testsupport/trace_capture.h"
#include "testsupport/counting_new/counting_new.h"

namespace {

using anime_test::AnimeTest;

// A block of a kind registered from outside the engine, as the sprite-file kind is.
struct ReplayBlock final : AnimeBlock {
  int32_t frame = 0;
  int32_t frames = 0;  // frames until it ends by itself; 0: endless
  int32_t value = 7;
  std::unique_ptr<std::array<int32_t, 4>> extra;  // made on demand, like a kind's side table
};

constexpr int32_t kReplayKind = kAnimeSpx;

class AnimeReuseTest : public AnimeTest {
 protected:
  void SetUp() override {
    AnimeTest::SetUp();
    // The step counts the frames played and ends the animation after its frames.
    ASSERT_EQ(anime().RegisterKind(kReplayKind, [this](AnimeRec* record, uint32_t) {
      auto* block = anime().BlockOf<ReplayBlock>(CDdrawAnime::HandleOf(record));
      if (block != nullptr && ++block->frame == block->frames) record->kind = kAnimeEnded;
    }), 1);
  }

  AnimeHandle Start(int32_t frames = 0) {
    auto block = anime().NewBlock<ReplayBlock>();
    block->frames = frames;
    return anime().Link(kReplayKind, std::move(block));
  }
};

// How a running animation is replaced by a new one.
enum class Replay {
  kDeleteThenStart,     // the holder deletes it and starts the next (a stand replayed)
  kEndThenStart,        // it ends by itself, Exec frees it, the holder starts the next
  kDeleteInsideExec,    // a step of another animation deletes it and starts the next
};

struct ReplayCase {
  const char* name;
  Replay replay;
};

TEST_F(AnimeReuseTest, ReplayingAnAnimationAllocatesNothingOnceWarm) {
  static const ReplayCase kCases[] = {
      {"delete then start", Replay::kDeleteThenStart},
      {"end then start", Replay::kEndThenStart},
      {"delete inside Exec", Replay::kDeleteInsideExec},
  };
  for (const ReplayCase& c : kCases) {
    SCOPED_TRACE(c.name);
    anime().DeleteAll();
    // Sixteen animations replayed in turn, as the stands of a battle are; the list's stepping
    // timer stands in for the step of another animation that deletes and starts.
    const int32_t frames = c.replay == Replay::kEndThenStart ? 2 : 0;
    std::vector<AnimeHandle> held(16, nullptr);
    for (AnimeHandle& h : held) h = Start(frames);
    size_t turn = 0;
    AnimeHandle driver_record = nullptr;
    if (c.replay == Replay::kDeleteInsideExec) {
      ASSERT_EQ(anime().RegisterKind(kAnimeTimer, [&](AnimeRec*, uint32_t) {
        AnimeHandle& h = held[turn++ % held.size()];
        anime().Delete(h);
        h = Start();
      }), 1);
      driver_record = anime().CreateTimer();
    }
    auto replay_round = [&] {
      switch (c.replay) {
        case Replay::kDeleteThenStart: {
          AnimeHandle& h = held[turn++ % held.size()];
          anime().Delete(h);
          h = Start();
          Frame(17);
          break;
        }
        case Replay::kEndThenStart:
          Frames(2, 17);  // every animation ends; the next Exec frees them
          Frame(17);
          for (AnimeHandle& h : held) {
            if (anime().IsAnime(h) == 0) h = Start(frames);
          }
          break;
        case Replay::kDeleteInsideExec:
          Frame(17);
          break;
      }
    };
    for (int i = 0; i < 40; ++i) replay_round();  // warm: the spares are in place
    const uint64_t before = counting_new::ThreadAllocations();
    for (int i = 0; i < 200; ++i) replay_round();
    const uint64_t allocations = counting_new::ThreadAllocations() - before;
    EXPECT_EQ(allocations, 0u);
    for (AnimeHandle h : held) EXPECT_EQ(anime().IsAnime(h), 1);
    if (driver_record != nullptr) {
      anime().Delete(driver_record);
      anime().RegisterKind(kAnimeTimer, nullptr);
    }
  }
}

void NoteEnd(uintptr_t argument) { ++*reinterpret_cast<int*>(argument); }

TEST_F(AnimeReuseTest, AReusedRecordAndBlockStartFromTheirDefaults) {
  int ends = 0;
  AnimeHandle first = Start(5);
  auto* block = anime().BlockOf<ReplayBlock>(first);
  ASSERT_NE(block, nullptr);
  block->value = 99;
  block->frame = 3;
  block->extra = std::make_unique<std::array<int32_t, 4>>();
  anime().RecordOf(first)->step = 5;
  anime().RecordOf(first)->data = {1, 2, 3};
  anime().SetStopWord(first, 1);
  anime().SetCallback(first, NoteEnd, reinterpret_cast<uintptr_t>(&ends));
  anime().Delete(first);

  auto fresh = anime().NewBlock<ReplayBlock>();
  EXPECT_EQ(fresh.get(), block);  // the freed block, reused
  EXPECT_EQ(fresh->value, 7);
  EXPECT_EQ(fresh->frame, 0);
  EXPECT_EQ(fresh->frames, 0);
  EXPECT_EQ(fresh->extra, nullptr);
  fresh->frames = 2;
  AnimeHandle second = anime().Link(kReplayKind, std::move(fresh));
  const AnimeRec* record = anime().RecordOf(second);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->kind, kReplayKind);
  EXPECT_EQ(record->step, 0);
  EXPECT_EQ(record->stop, 0u);
  EXPECT_TRUE(record->data.empty());
  EXPECT_EQ(record->callback, nullptr);
  EXPECT_EQ(record->callback_argument, 0u);
  EXPECT_FALSE(record->deleted);
  // It runs as a new animation: stepped (not stopped), ended after its two frames and freed
  // without the old animation's callback.
  Frames(3, 17);
  EXPECT_EQ(anime().IsAnime(second), 0);
  EXPECT_EQ(ends, 0);
}

// A handle kept past its animation's end: once the record serves a new animation, every call
// through the old handle is refused (traced) and leaves the new animation as it is.
TEST_F(AnimeReuseTest, AStaleHandleNeverReachesTheAnimationThatReusesItsRecord) {
  int ends = 0;
  AnimeHandle old = Start();
  const AnimeRec* record = anime().RecordOf(old);
  anime().Delete(old);
  AnimeHandle now = Start();
  ASSERT_EQ(anime().RecordOf(now), record);  // the record reused
  EXPECT_NE(old, now);
  testsupport::TraceCapture trace;
  AnimeHandle copy = old;
  EXPECT_EQ(anime().IsAnime(old), 0);
  EXPECT_EQ(anime().BlockOf<ReplayBlock>(old), nullptr);
  EXPECT_EQ(anime().RecordOf(old), nullptr);
  EXPECT_EQ(anime().SetStop(old, 1), 0);
  EXPECT_EQ(anime().SetCallback(old, NoteEnd, reinterpret_cast<uintptr_t>(&ends)), 0);
  EXPECT_EQ(anime().SetAutoClear(&copy), 0);
  EXPECT_EQ(anime().Delete(old), 0);
  EXPECT_EQ(anime().DeleteRef(&copy), 0);
  EXPECT_EQ(copy, nullptr);
  EXPECT_TRUE(trace.Contains("stale handle refused"));
  ASSERT_EQ(anime().IsAnime(now), 1);
  EXPECT_EQ(record->stop, 0u);
  EXPECT_EQ(record->callback, nullptr);
  Frames(3, 17);
  EXPECT_EQ(anime().BlockOf<ReplayBlock>(now)->frame, 3);
  EXPECT_EQ(ends, 0);
}

TEST_F(AnimeReuseTest, TheEngineKindsStartedAgainAllocateNothingOnceWarm) {
  // An attack fades the screen, scrolls a layer and starts timers in the middle of its frames.
  struct Creator {
    const char* name;
    std::function<AnimeHandle()> start;
  };
  const Creator kCreators[] = {
      {"fade", [this] { return anime().CreateFade(0, 16, 4, 0); }},
      {"timer", [this] { return anime().CreateTimer(); }},
      {"layer scroll", [this] { return anime().CreateLayerScroll(SURFACE_BG, 1, 0, 10, 3); }},
  };
  for (const Creator& c : kCreators) {
    SCOPED_TRACE(c.name);
    anime().DeleteAll();
    auto round = [&] {
      AnimeHandle h = c.start();
      ASSERT_NE(h, nullptr);
      Frame(17);
      anime().Delete(h);
    };
    round();  // warm
    const uint64_t before = counting_new::ThreadAllocations();
    for (int i = 0; i < 20; ++i) round();
    EXPECT_EQ(counting_new::ThreadAllocations() - before, 0u);
  }
}

TEST_F(AnimeReuseTest, OnlyABoundedNumberOfFreedAnimationsIsKept) {
  // Many animations at once, then all freed: the list keeps a bounded number of spares, so
  // starting as many again allocates for the rest (record and block each), in batches no larger
  // than the spare limit.
  constexpr size_t kMany = std::max(CDdrawAnime::kSpareRecords, CDdrawAnime::kSpareBlocks) + 400;
  for (size_t i = 0; i < kMany; ++i) Start();
  anime().DeleteAll();
  EXPECT_EQ(anime().SpareRecordCount(), CDdrawAnime::kSpareRecords);
  EXPECT_EQ(anime().SpareBlockCount(typeid(ReplayBlock)), CDdrawAnime::kSpareBlocks);
  const uint64_t before = counting_new::ThreadAllocations();
  for (size_t i = 0; i < kMany; ++i) Start();
  const uint64_t allocations = counting_new::ThreadAllocations() - before;
  EXPECT_GE(allocations, (kMany - CDdrawAnime::kSpareRecords) + (kMany - CDdrawAnime::kSpareBlocks));
  EXPECT_LE(allocations, CDdrawAnime::kSpareRecords + CDdrawAnime::kSpareBlocks);
  anime().DeleteAll();
  EXPECT_EQ(anime().SpareRecordCount(), CDdrawAnime::kSpareRecords);
  EXPECT_EQ(anime().SpareBlockCount(typeid(ReplayBlock)), CDdrawAnime::kSpareBlocks);
}

// At an attack's end a stand is replayed while the attack's effects still play: the list's live
// count passes the highest it reached before by a few. The room made in batches while the list
// grew to that peak serves them: no record or block is allocated then.
TEST_F(AnimeReuseTest, PassingAnEarlierPeakByAFewAllocatesNothing) {
  struct PeakCase {
    size_t peak;  // animations live at once earlier (the list's peak so far)
    size_t more;  // how many more are live at once later
  };
  // Ascending peaks: each case grows the list past the one before.
  static const PeakCase kCases[] = {{1, 3}, {20, 4}, {40, 6}, {100, 8}, {300, 12}};
  for (const PeakCase& c : kCases) {
    SCOPED_TRACE(c.peak);
    std::vector<AnimeHandle> live;
    live.reserve(c.peak + c.more);
    for (size_t i = 0; i < c.peak; ++i) live.push_back(Start());
    Frame(17);
    for (AnimeHandle h : live) anime().Delete(h);
    live.clear();
    Frame(17);
    // The same again and a few more, as the next attack's frames make them.
    const uint64_t before = counting_new::ThreadAllocations();
    for (size_t i = 0; i < c.peak + c.more; ++i) live.push_back(Start());
    Frame(17);
    EXPECT_EQ(counting_new::ThreadAllocations() - before, 0u);
    for (AnimeHandle h : live) EXPECT_EQ(anime().IsAnime(h), 1);
    anime().DeleteAll();
  }
  // A kind's first start makes a batch of its blocks: the next starts of the kind up to the
  // batch allocate nothing.
  const uint64_t before = counting_new::ThreadAllocations();
  AnimeHandle first = anime().CreateTimer();
  const uint64_t first_start = counting_new::ThreadAllocations() - before;
  EXPECT_GT(first_start, 0u);
  std::vector<AnimeHandle> timers;
  timers.reserve(CDdrawAnime::kMinBatch);
  const uint64_t later = counting_new::ThreadAllocations();
  for (size_t i = 0; i < CDdrawAnime::kMinBatch - 1; ++i) timers.push_back(anime().CreateTimer());
  EXPECT_EQ(counting_new::ThreadAllocations() - later, 0u);
  anime().Delete(first);
  for (AnimeHandle h : timers) anime().Delete(h);
}

}  // namespace
