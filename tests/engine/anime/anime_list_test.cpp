// The animation list: step order, stop, ended records and their callbacks, deletion (also from
// callbacks while the list runs), auto-clear, the surface-restore redraw, and the timer.

#include <gtest/gtest.h>

#include <vector>

#include "anime_test_support.h"

namespace {

using anime_test::AnimeTest;
using anime_test::CallbackLog;
using anime_test::LogCallback;

TEST_F(AnimeTest, NewestAnimationIsSteppedFirst) {
  AnimeHandle older = anime().CreateTimer();
  AnimeHandle newer = anime().CreateTimer();
  anime().SetCallback(older, LogCallback, 1);
  anime().SetCallback(newer, LogCallback, 2);
  anime().GetTimer(older, 1, 1);
  anime().GetTimer(newer, 1, 1);
  Frame(16);
  EXPECT_EQ(CallbackLog(), (std::vector<uintptr_t>{2, 1}));
  EXPECT_EQ(anime().IsAnime(older), 0);
  EXPECT_EQ(anime().IsAnime(newer), 0);

  // Steps run in the same order: two fades started in one frame set the level in turn, so the
  // older one's value is the one left.
  anime().CreateFade(10, 10, 60, 0);
  anime().CreateFade(20, 20, 60, 0);
  Frame(16);
  EXPECT_EQ(ddraw().GetFadeLevel(), 10);
}

TEST_F(AnimeTest, StoppedAnimationIsNeitherSteppedNorFreedUntilItRunsAgain) {
  AnimeHandle timer = anime().CreateTimer();
  anime().SetCallback(timer, LogCallback, 7);
  anime().GetTimer(timer, 0, 1);
  anime().SetStop(timer, 1);
  Frames(3, 16);
  EXPECT_TRUE(CallbackLog().empty());
  EXPECT_EQ(anime().IsAnime(timer), 1);

  AnimeHandle fade = anime().CreateFade(100, 200, 60, 0);
  anime().SetStopWord(fade, 1);
  Frames(3, 100);
  EXPECT_EQ(ddraw().GetFadeLevel(), 0);  // not even its first step ran

  anime().SetStop(timer, 0);
  Frame(16);
  EXPECT_EQ(CallbackLog(), std::vector<uintptr_t>{7});
  EXPECT_EQ(anime().IsAnime(timer), 0);
}

TEST_F(AnimeTest, DeletionRunsNoCallbacksAndClearsTheVariable) {
  AnimeHandle a = anime().CreateTimer();
  AnimeHandle b = anime().CreateTimer();
  AnimeHandle c = anime().CreateTimer();
  for (AnimeHandle h : {a, b, c}) anime().SetCallback(h, LogCallback, 1);
  anime().GetTimer(c, 0, 1);  // ended, waiting for the next Exec

  EXPECT_EQ(anime().Delete(a), 1);
  EXPECT_EQ(anime().IsAnime(a), 0);
  EXPECT_EQ(anime().Delete(a), 0);  // not in the list any more
  EXPECT_EQ(anime().Delete(nullptr), 0);
  AnimeHandle variable = b;
  EXPECT_EQ(anime().DeleteRef(&variable), 1);
  EXPECT_EQ(variable, nullptr);
  EXPECT_EQ(anime().DeleteRef(&variable), 0);
  EXPECT_EQ(anime().DeleteRef(nullptr), 0);

  anime().DeleteAll();
  EXPECT_EQ(anime().IsAnime(c), 0);
  Frame(16);
  EXPECT_TRUE(CallbackLog().empty());
}

TEST_F(AnimeTest, AutoClearNullsTheHolderWhenTheAnimationEndsByItself) {
  AnimeHandle holder = anime().CreateTimer();
  ASSERT_EQ(anime().SetAutoClear(&holder), 1);
  anime().GetTimer(holder, 0, 1);
  EXPECT_NE(holder, nullptr);  // ended, but still a record until the next Exec
  Frame(16);
  EXPECT_EQ(holder, nullptr);

  // A fade tells its end in the frame it reaches its level.
  AnimeHandle fade = anime().CreateFade(0, 256, 6, 0);
  ASSERT_EQ(anime().SetAutoClear(&fade), 1);
  Frame(16);
  Frame(100);
  EXPECT_NE(fade, nullptr);
  Frame(16);
  EXPECT_EQ(fade, nullptr);

  AnimeHandle none = nullptr;
  EXPECT_EQ(anime().SetAutoClear(&none), 0);
  EXPECT_EQ(anime().SetAutoClear(nullptr), 0);
}

TEST_F(AnimeTest, NullEndedAndStaleHandlesAreRefused) {
  AnimeHandle timer = anime().CreateTimer();
  AnimeHandle gone = anime().CreateTimer();
  anime().Delete(gone);
  // Ended, and its record reused by the next animation.
  AnimeHandle stale = anime().CreateTimer();
  anime().Delete(stale);
  AnimeHandle reusing = anime().CreateTimer();
  for (AnimeHandle h : {AnimeHandle(), gone, stale}) {
    EXPECT_EQ(anime().IsAnime(h), 0);
    EXPECT_EQ(anime().GetTimer(h, 0, 0), -1);
    EXPECT_EQ(anime().ResetTimer(h), 0);
    EXPECT_EQ(anime().SetStop(h, 1), 0);
    EXPECT_EQ(anime().SetStopWord(h, 1), 0);
    EXPECT_EQ(anime().SetCallback(h, LogCallback, 0), 0);
    EXPECT_EQ(anime().SetScrollWrap(h, 1, 1), 0);
    EXPECT_EQ(anime().SetScrollPrecision(h, 2, 2), 0);
    EXPECT_EQ(anime().SetMoveCtrl(h, nullptr, nullptr), 0);
    EXPECT_EQ(anime().SetMoveCtrl2(h, nullptr, nullptr), 0);
  }
  EXPECT_EQ(anime().IsAnime(reusing), 1);
  // A live handle of another kind.
  EXPECT_EQ(anime().SetScrollWrap(timer, 1, 1), 0);
  EXPECT_EQ(anime().SetMoveCtrl(timer, nullptr, nullptr), 0);
  AnimeHandle fade = anime().CreateFade(0, 1, 5, 0);
  EXPECT_EQ(anime().GetTimer(fade, 0, 0), -1);
}

// ---- Deleting while the list runs ----

struct Victims {
  CDdrawAnime* anime = nullptr;
  AnimeHandle target = nullptr;
  AnimeHandle created = nullptr;
};

void DeleteTarget(uintptr_t argument) {
  auto* v = reinterpret_cast<Victims*>(argument);
  EXPECT_EQ(v->anime->Delete(v->target), 1);
}

void DeleteAllAndCreate(uintptr_t argument) {
  auto* v = reinterpret_cast<Victims*>(argument);
  v->anime->DeleteAll();
  v->created = v->anime->CreateTimer();
}

TEST_F(AnimeTest, EndCallbackMayDeleteAnyAnimationWhileTheListRuns) {
  struct Case {
    const char* name;
    // Three timers a, b, c (0-2, c newest and stepped first); the ended ones log their end,
    // except the deleter, whose callback deletes the target.
    bool ended[3];
    int deleter;
    int target;
    size_t logged;
  };
  const Case cases[] = {
      {"the next link the walk holds", {true, true, true}, 2, 1, 1},
      {"one further on", {true, true, true}, 2, 0, 1},
      {"a running one already passed", {true, true, false}, 0, 2, 1},
      {"itself", {true, true, true}, 1, 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    anime_test::CallbackLogClear();
    AnimeHandle records[3];
    for (int i = 0; i < 3; ++i) {
      records[i] = anime().CreateTimer();
      anime().SetCallback(records[i], LogCallback, 9);
      if (c.ended[i]) anime().GetTimer(records[i], 0, 1);
    }
    Victims v{&anime(), records[c.target], nullptr};
    anime().SetCallback(records[c.deleter], DeleteTarget, reinterpret_cast<uintptr_t>(&v));
    Frame(16);
    for (AnimeHandle r : records) EXPECT_EQ(anime().IsAnime(r), 0);
    EXPECT_EQ(CallbackLog().size(), c.logged);
    Frame(16);
    EXPECT_EQ(CallbackLog().size(), c.logged);
  }
}

TEST_F(AnimeTest, StepThatDeletesTheNextAnimationAndDeleteAllFromACallbackAreSafe) {
  // A fade reports its end from its own step; its callback deletes the running timer after it.
  AnimeHandle timer = anime().CreateTimer();
  AnimeHandle fade = anime().CreateFade(0, 256, 1, 0);
  Victims v{&anime(), timer, nullptr};
  anime().SetCallback(fade, DeleteTarget, reinterpret_cast<uintptr_t>(&v));
  Frames(3, 100);
  EXPECT_EQ(anime().IsAnime(timer), 0);
  Frame(16);
  EXPECT_EQ(anime().IsAnime(fade), 0);

  // DeleteAll from a callback: nothing else's callback runs, and what the callback creates
  // afterwards lives on.
  anime_test::CallbackLogClear();
  AnimeHandle a = anime().CreateTimer();
  AnimeHandle b = anime().CreateTimer();
  AnimeHandle c = anime().CreateTimer();
  Victims w{&anime(), nullptr, nullptr};
  anime().SetCallback(a, LogCallback, 1);
  anime().SetCallback(b, DeleteAllAndCreate, reinterpret_cast<uintptr_t>(&w));
  anime().SetCallback(c, LogCallback, 3);
  anime().GetTimer(a, 0, 1);
  anime().GetTimer(b, 0, 1);
  anime().GetTimer(c, 0, 1);
  Frame(16);
  EXPECT_EQ(CallbackLog(), std::vector<uintptr_t>{3});  // c ran before b's DeleteAll
  EXPECT_EQ(anime().IsAnime(a), 0);
  ASSERT_NE(w.created, nullptr);
  EXPECT_EQ(anime().IsAnime(w.created), 1);
  Frame(16);
  EXPECT_EQ(anime().IsAnime(w.created), 1);
}

TEST_F(AnimeTest, SurfaceRestoreRestartsARunningDissolve) {
  AnimeHandle dissolve = anime().CreateXfade(SURFACE_BG, 50, 0, 0, 640, 480, 0);
  ASSERT_NE(dissolve, nullptr);
  Frame(16);
  Frame(16);
  Frame(120);  // two phases
  auto* block = anime().BlockOf<AnimeXfadeBlock>(dissolve);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->phase, 2);
  ddraw().GetSurface(SURFACE_SCRATCH)->SetLost(true);
  ASSERT_EQ(ddraw().RestoreAllSurfaces(), 1);
  EXPECT_EQ(block->phase, 0);
}

// ---- Timer ----

TEST_F(AnimeTest, TimerReadsFramesOrMillisecondsAndResets) {
  AnimeHandle timer = anime().CreateTimer();
  Frames(5, 100);
  struct Case {
    int mode;
    int32_t expected;
  };
  for (const Case& c : {Case{0, 30}, Case{1, 500}, Case{2, -1}, Case{-1, -1}}) {
    EXPECT_EQ(anime().GetTimer(timer, c.mode, 0), c.expected) << "mode " << c.mode;
  }
  Frame(17);
  EXPECT_EQ(anime().GetTimer(timer, 0, 0), 31);  // 517 ms, truncated
  EXPECT_EQ(anime().ResetTimer(timer), 1);
  EXPECT_EQ(anime().GetTimer(timer, 1, 0), 0);
  Frame(1000);
  EXPECT_EQ(anime().GetTimer(timer, 0, 0), 60);
  EXPECT_EQ(anime().IsAnime(timer), 1);  // a timer never ends by itself
}

TEST_F(AnimeTest, KindsRegisteredFromOutsideAreSteppedAndTheTableRefusesOthers) {
  // A kind without a step stays in the list untouched; once another layer registers a step for
  // it, Exec runs that step with the record and the time.
  AnimeHandle record = anime().CreateTimer();
  Frame(17);
  std::vector<uint32_t> seen;
  ASSERT_EQ(anime().RegisterKind(kAnimeTimer, [&](AnimeRec* r, uint32_t now) {
    EXPECT_EQ(CDdrawAnime::HandleOf(r), record);
    seen.push_back(now);
    r->kind = kAnimeEnded;  // a step may end its own record
  }), 1);
  Frame(17);
  EXPECT_EQ(seen, std::vector<uint32_t>{driver.Now()});
  Frame(17);
  EXPECT_EQ(anime().IsAnime(record), 0);
  EXPECT_EQ(seen.size(), 1u);
  for (int32_t kind : {kAnimeEnded, -1, kAnimeKindCount}) {
    EXPECT_EQ(anime().RegisterKind(kind, [](AnimeRec*, uint32_t) {}), 0) << kind;
  }
}

}  // namespace
