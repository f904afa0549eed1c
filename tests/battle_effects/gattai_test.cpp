// The combination attack on the attack rig with a stub heroine routine on the shared frame: the
// openings by character, the closing's rings and flash, the letterbox window, the frame's ends,
// character bytes outside the tables and both roads for every combination kind.

#include "battle_effects/gattai.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_screen.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle_effects/effect_family.h"
#include "battle_effects/step_timeline.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/gfx/sprite/sprite.h"
#include "testsupport/attack_rig.h"
#include "tests/battle_effects/effect_test_support.h"

namespace {

using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;

constexpr uint8_t kStateAfterAttack = 7;
constexpr int32_t kPx = 65536;

// ---- The stub heroine routine ----

// How long the stub's states last (frames on the sub-state clock).
int g_stub_frames = 30;

// A task that ends only on its family's stop word.
void StopWatcher(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w != nullptr && t->phase == 0) t->phase = 1;
}

void StubStart(SlgEffectTask* task, EffectWork&, GattaiFrame&) {
  EffectCreate(task, &StopWatcher, "GattaiStub::Wave");
}

bool StubStates(SlgEffectTask* task, EffectWork& w, GattaiFrame&) {
  return GattaiSubFrames(task, w) >= g_stub_frames;
}

constexpr GattaiCharacter kStub{.name = "GattaiStub",
                                .family = kGattaiFamilies - 1,
                                .window = "Gattai::Tamvik::Window",
                                .slots = {kAnmGattaiExtEffect, -1, -1, -1},
                                .pictures = 1,
                                .picture_surface = SURFACE_SCRATCH,
                                .layer_on = true,
                                .voice_at_setup = false,
                                .start = &StubStart,
                                .states = &StubStates,
                                .release = nullptr};

void Stub(SlgEffectTask* task) { GattaiCharacterStep(task, kStub); }

// GATTAI_BODY animation 1 of 8 frames of 2 ticks, GATTAI_EFFECT 0-2, slot 13, one picture.
void Sets(AttackFixtures& f) {
  f.Slot(kAnmGattaiBody, 2, {.frames = 8, .ticks = 2});
  f.Slot(kAnmGattaiEffect, 3, {.frames = 8, .ticks = 2});
  f.Slot(kAnmGattaiExtEffect, 1);
  f.Pictures(kAnmGattaiBg, {{64, 64}});
}

AttackCase Row(int kind, int character = -1) {
  AttackCase row{.name = "gattai_kind" + std::to_string(kind), .kind = kind, .type = 5,
                 .frame_limit = 900, .outlive = 90,
                 .sounds = {"bgm-volume 50 200", "bgm-volume 100 128"},
                 .prefixes = {"Gattai::", "GattaiStub::"}};
  row.fixtures = &Sets;
  row.before = [character](AttackRig& r) {
    GattaiWork& g = r.rig().battle().Extension<GattaiWork>();
    g.table.fill(&Stub);
    if (character >= 0) r.attacker().character = static_cast<uint8_t>(character);
  };
  return row;
}

bool Alive(const char* name) { return Ctx().game_task.FindTask(name) != nullptr; }

SlgEffectTask* TaskNamed(const std::string& name) {
  GameTaskRec* rec = Ctx().game_task.FindTask(name.c_str());
  return rec != nullptr ? static_cast<SlgEffectTask*>(rec->work) : nullptr;
}

// What a played attack showed, frame by frame: the game clock at the first frame each watched
// task was alive, and at the last.
struct Play {
  std::map<std::string, uint32_t> first;
  std::map<std::string, uint32_t> last;
  std::vector<std::string> failures;
  uint32_t state7 = 0;
  bool still_seen = false;
  bool fade_seen = false;   // a fade ran before the heroine routine started
  uint16_t flags_during = 0;
  uint32_t busy_during = 0;
  int max_rings_done = 0;
  int32_t flash_zoom_at_end = 0;
  uint32_t closing_ms = 0;  // the closing's clock (GattaiWork::start_ms) at the first ring
  int missing_character = -1;  // the character the program's trace names as having no routine
};

const std::vector<std::string> kWatched = {
    "Gattai::EachCharacter", "Gattai::Donuts1", "Gattai::Donut2", "Gattai::Akira",
    "Gattai::Tamvik::Window", "GattaiStub::Wave", "Gattai::KiraKira1", "Gattai::KiraKira2",
    "Gattai::KiraKira3"};

Play PlayRow(const AttackCase& row, const std::function<void(AttackRig&)>& each = {}) {
  Play p;
  AttackRig r(row);
  r.Start();
  uint32_t now = 0;
  auto watch = [&] {
    now = TimelineNow();
    for (const std::string& name : kWatched) {
      if (!Alive(name.c_str())) continue;
      if (p.first.count(name) == 0) p.first[name] = now;
      p.last[name] = now;
    }
    const GattaiWork& g = Gattai();
    if (g.still_spr != nullptr) p.still_seen = true;
    if (!Alive("Gattai::EachCharacter") && p.first.count("Gattai::EachCharacter") == 0 &&
        SlgIsFadeEnd() == 0) {
      p.fade_seen = true;
    }
    if (r.attacker().state == 19) {
      p.flags_during |= Battle().flags;
      p.busy_during = Battle().cmd_busy;
    }
    p.max_rings_done = std::max<int>(p.max_rings_done, g.rings_done);
    if (SlgEffectTask* t = TaskNamed("Gattai::Akira")) p.flash_zoom_at_end = EffectWorkOf(t)->zoom;
    if (p.closing_ms == 0 && Alive("Gattai::Donuts1")) p.closing_ms = g.start_ms;
    if (each) each(r);
  };
  while (r.attacker().state != kStateAfterAttack && r.frames() < row.frame_limit) {
    r.Step();
    watch();
  }
  p.state7 = now;
  if (r.attacker().state != kStateAfterAttack) p.failures.push_back("state 7 not reached");
  for (int n = 0; !r.Ended() && n < AttackRig::kEndLimit; ++n) r.Step();
  for (int i = 0; i < row.outlive; ++i) {
    r.Step();
    watch();
  }
  r.CheckEnd(row, p.failures);
  for (int c : {7, 200}) {
    const std::string line = "character " + std::to_string(c) + " has no combination part";
    if (r.rig().driver().trace().Contains(line)) p.missing_character = c;
  }
  return p;
}


int Frames(const Play& p, const std::string& from, const std::string& to) {
  return FramesBetween(p.first.at(from), p.first.at(to));
}

std::string Failures(const Play& p) {
  std::string out;
  for (const std::string& f : p.failures) out += f + "\n";
  return out;
}

// ---- Openings ----

TEST(Gattai, OpeningsByCharacterFadeOrMakeTheStillAndSparkle) {
  for (int character = 0; character < kGattaiCharacters; ++character) {
    SCOPED_TRACE(character);
    const Play p = PlayRow(Row(1, character));
    EXPECT_TRUE(p.failures.empty()) << Failures(p);
    ASSERT_EQ(p.first.count("Gattai::EachCharacter"), 1u);
    EXPECT_NE(p.flags_during & 0x80, 0) << "bit 7 held during the attack";
    EXPECT_EQ(p.busy_during, 1u);
    if (character == 3 || character == 6) {
      EXPECT_TRUE(p.fade_seen);
      EXPECT_FALSE(p.still_seen);
      EXPECT_EQ(p.first.count("Gattai::KiraKira1"), 0u);
    } else {
      EXPECT_FALSE(p.fade_seen);
      EXPECT_TRUE(p.still_seen);
      ASSERT_EQ(p.first.count("Gattai::KiraKira2"), 1u);
      EXPECT_NEAR(Frames(p, "Gattai::EachCharacter", "Gattai::KiraKira1"), 8, 1);
      EXPECT_NEAR(Frames(p, "Gattai::KiraKira1", "Gattai::KiraKira2"), 8, 1);
    }
  }
}

// ---- Closing ----

TEST(Gattai, TheSecondRingFollowsAfterFifteenFramesAndTheFlashAfterBothAreFull) {
  const Play p = PlayRow(Row(2));
  ASSERT_TRUE(p.failures.empty()) << Failures(p);
  // The second ring starts on the closing's clock at 15 frames; the first at once.
  EXPECT_EQ(FramesBetween(p.closing_ms, p.first.at("Gattai::Donut2")), 15);
  EXPECT_LE(FramesBetween(p.closing_ms, p.first.at("Gattai::Donuts1")), 2);
  EXPECT_EQ(p.max_rings_done, 2);
  // Both rings go in one frame, and the flash never starts before that frame.
  EXPECT_EQ(p.last.at("Gattai::Donuts1"), p.last.at("Gattai::Donut2"));
  EXPECT_GE(p.first.at("Gattai::Akira"), p.last.at("Gattai::Donut2"));
  // Full size (4.0 at 0.5 a frame from 1.0) takes 6 frames; the second ring is the later.
  EXPECT_GE(FramesBetween(p.first.at("Gattai::Donut2"), p.first.at("Gattai::Akira")), 6);
  // 0.5 + 0.05 a frame reaches 6.0 after 111 frames, and the flash ends a frame later.
  EXPECT_EQ(p.flash_zoom_at_end, 0x60000);
  EXPECT_NEAR(FramesBetween(p.first.at("Gattai::Akira"), p.last.at("Gattai::Akira")), 112, 2);
}

TEST(Gattai, AFlashThatCannotBeMadeCountsAsEndedAtOnce) {
  const Play p = PlayRow(Row(4), [](AttackRig& r) {
    const GattaiWork& g = Gattai();
    const bool refuse = r.attacker().state == 19 && g.ring_count == 2 && g.rings_done >= 1;
    if (refuse) {
      Battle().alloc.refuse = [](uint32_t, size_t) { return true; };
    } else {
      Battle().alloc.refuse = nullptr;
    }
  });
  EXPECT_TRUE(p.failures.empty()) << Failures(p);
  EXPECT_EQ(p.first.count("Gattai::Akira"), 0u);
  EXPECT_LE(FramesBetween(p.last.at("Gattai::Donut2"), p.state7), 3);
}

// ---- The end ----

TEST(Gattai, EventsHeldBeforeTheAttackAreHeldAfterIt) {
  AttackCase row = Row(5);
  row.layout = AttackLayout::kNone;
  const auto before = row.before;
  row.before = [before](AttackRig& r) {
    before(r);
    Battle().cmd_busy = 1;
  };
  const Play p = PlayRow(row);
  EXPECT_TRUE(p.failures.empty()) << Failures(p);  // the end check compares SlgCmdBusy
}

TEST(Gattai, CharacterBytesOutsideTheTablesPlayOpeningAAndTheClosing) {
  for (int character : {7, 200}) {
    SCOPED_TRACE(character);
    const Play p = PlayRow(Row(1, character));
    EXPECT_TRUE(p.failures.empty()) << Failures(p);
    EXPECT_EQ(p.first.count("Gattai::EachCharacter"), 0u);
    EXPECT_TRUE(p.still_seen);
    EXPECT_EQ(p.first.count("Gattai::Akira"), 1u);
    EXPECT_EQ(p.missing_character, character);
  }
}

// ---- The letterbox and the frame's ends ----

struct Bars {
  std::vector<std::pair<uint32_t, int>> top;  // (ms, y) while the window lives
  std::vector<int> bottom;
};

Play PlayWatchingBars(const AttackCase& row, Bars& bars) {
  return PlayRow(row, [&bars](AttackRig&) {
    const GattaiWork& g = Gattai();
    if (g.bar_top == nullptr || g.bar_bottom == nullptr) return;
    bars.top.emplace_back(TimelineNow(), g.bar_top->y);
    bars.bottom.push_back(g.bar_bottom->y);
  });
}

TEST(Gattai, TheLetterboxSlidesInOverThirtyTwoFramesAndOutAgain) {
  g_stub_frames = 60;
  Bars bars;
  const Play p = PlayWatchingBars(Row(1), bars);
  g_stub_frames = 30;
  ASSERT_TRUE(p.failures.empty()) << Failures(p);
  ASSERT_FALSE(bars.top.empty());
  const uint32_t start = p.first.at("Gattai::Tamvik::Window");
  for (size_t i = 0; i < bars.top.size(); ++i) {
    const int f = FramesBetween(start, bars.top[i].first);
    if (f < 32) {
      EXPECT_NEAR(bars.top[i].second, -64 + 2 * f, 2) << f;
    }
    // The two bars move as mirror images: rows 0-63 and 416-479 when in.
    EXPECT_EQ(bars.top[i].second + bars.bottom[i], 416);
  }
  EXPECT_EQ(*std::max_element(bars.bottom.begin(), bars.bottom.end()), 480);
  EXPECT_GT(std::count_if(bars.top.begin(), bars.top.end(), [](auto& b) { return b.second == 0; }),
            1);
}

TEST(Gattai, ACloseRequestDuringTheSlideInIsServedOnceTheBarsAreIn) {
  g_stub_frames = 5;
  Bars bars;
  const Play p = PlayWatchingBars(Row(1), bars);
  g_stub_frames = 30;
  ASSERT_TRUE(p.failures.empty()) << Failures(p);
  ASSERT_FALSE(bars.top.empty());
  const auto in = std::find_if(bars.top.begin(), bars.top.end(), [](auto& b) { return b.second == 0; });
  ASSERT_NE(in, bars.top.end()) << "the bars came all the way in";
  const uint32_t start = p.first.at("Gattai::Tamvik::Window");
  EXPECT_NEAR(FramesBetween(start, in->first), 32, 1);
  EXPECT_NEAR(FramesBetween(start, p.last.at("Gattai::Tamvik::Window")), 65, 2);
}

TEST(Gattai, ARoutineMissingItsSlotEndsAtOnceWithBothSignalsAndTheDriverCloses) {
  AttackCase row = Row(1);
  row.fixtures = [](AttackFixtures& f) {
    Sets(f);
    f.Omit(kAnmGattaiExtEffect);
  };
  bool both_at_once = false;
  bool seen_routine = false;
  Bars bars;
  const Play p = PlayRow(row, [&](AttackRig& r) {
    const GattaiWork& g = Gattai();
    if (Alive("Gattai::EachCharacter")) seen_routine = true;
    if (seen_routine && r.attacker().state == 19 && !Alive("Gattai::EachCharacter") &&
        g.each_done == 1 && g.window_close == 1) {
      both_at_once = true;
    }
    if (g.bar_top != nullptr) bars.top.emplace_back(TimelineNow(), g.bar_top->y);
  });
  EXPECT_TRUE(p.failures.empty()) << Failures(p);  // no window task, no wave left behind
  EXPECT_TRUE(both_at_once);
  // The routine ended in its set-up's call; the wave that ends on the stop word ends a frame
  // later; the window still came and went.
  EXPECT_LE(FramesBetween(p.last.at("Gattai::EachCharacter"), p.last.at("GattaiStub::Wave")), 1);
  ASSERT_FALSE(bars.top.empty());
  EXPECT_TRUE(std::any_of(bars.top.begin(), bars.top.end(), [](auto& b) { return b.second == 0; }));
  EXPECT_NEAR(FramesBetween(p.first.at("Gattai::Tamvik::Window"),
                            p.last.at("Gattai::Tamvik::Window")),
              65, 2);
}

// ---- Roads ----

void ExpectKinds(std::initializer_list<int> kinds) {
  for (int kind : kinds) {
    AttackCase row = Row(kind);
    row.routine = "GattaiAction";
    testsupport::ExpectAttackCase(row);
  }
}

TEST(GattaiSmoke, TheFirstFormsFromStateNineteenToStateSeven) { ExpectKinds({1, 2, 3}); }
TEST(GattaiSmoke, TheOtherFirstFormsFromStateNineteenToStateSeven) { ExpectKinds({4, 5, 6}); }
TEST(GattaiSmoke, TheSecondFormsFromStateNineteenToStateSeven) { ExpectKinds({8, 9, 10}); }
TEST(GattaiSmoke, TheOtherSecondFormsFromStateNineteenToStateSeven) {
  ExpectKinds({11, 12, 13});
}

TEST(GattaiSmoke, TheActionTaskPlaysTheCombination) {
  for (int kind : {3, 13}) {
    AttackCase row = Row(kind);
    row.name = "gattai_action" + std::to_string(kind);
    row.road = testsupport::AttackRoad::kAction;
    row.routine = "GattaiAction";
    testsupport::ExpectAttackCase(row);
  }
}

}  // namespace
