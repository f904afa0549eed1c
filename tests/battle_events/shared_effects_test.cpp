// The shared unit effects through the core's names with the battle events installed: the two
// bursts (skip key, counts, delays, sounds, ends, allocations), the one-instance flash, the jump
// arc (phase change, landing, hold, dust), the stop dust, the walk road they lengthen, the
// faults (full pool, refused work, a unit removed or dead under its task) and a captured frame.

#include "battle_events/runtime/shared_effects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/battle_extension.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_effect_calls.h"
#include "battle/slg_geometry.h"
#include "battle/slg_screen.h"
#include "battle/slg_search.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"
#include "battle_events/events_install.h"
#include "battle_events/runtime/effect_objects.h"
#include "battle_events/runtime/event_tone.h"
#include "battle_events/runtime/shared_effects_state.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/input/dinput.h"
#include "platform/pixel_traits.h"
#include "platform/surface.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/system_sprites.h"
#include "testsupport/trace_capture.h"
#include "testsupport/unit_anm_writer.h"
#include "tests/battle/unit_state_moves.h"

namespace {

using platform::PixelLayout;
using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::BoardUnit;
using testsupport::CellPos;
using testsupport::CellWord;
using testsupport::OnCell;
using testsupport::SystemSpriteSet;
using testsupport::TraceCapture;
using testsupport::UnitAnmWriter;

constexpr int32_t kPx = 0x10000;
// The dust's one-frame patterns last 8 ticks (UnitAnmWriter).
constexpr int kDustFrames = UnitAnmWriter::kStandWait;

BattleRig::Options Layout(PixelLayout layout) {
  BattleRig::Options o;
  o.layout = layout;
  return o;
}

// A battle rig with the battle events installed (the five effect entries real), the hero
// kind's unit sprites with the dust patterns (BASE_EFFECT 4-9), the system sprites, the drawing
// layer set and a board for the units. The unit pass is not run unless a test runs it.
class EffectRig {
 public:
  explicit EffectRig(PixelLayout layout = PixelLayout::kRgb565)
      : rig(Layout(layout)), board(rig.battle()) {
    testsupport::SlgTableWriter tables;
    UnitAnmWriter(0).ExtraPatterns(6).Lay(rig.driver().tree, tables);
    tables.Lay(rig.driver().tree);
    LoadSlgTables();
    SystemSpriteSet().Lay(rig.driver().tree);
    LoadSystemSprites();
    for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
    SlgSetLayer(SURFACE_ROOT, 1);
    SlgClearLayer(SURFACE_ROOT);
    InitCategoryUpdates();
    InitDefaultUnitStates();
  }

  uint8_t Add(const BoardUnit& u) {
    const uint8_t slot = board.AddUnit(u);
    Slg::PlaceUnit(U(slot));
    return slot;
  }
  static SlgUnit& U(uint8_t slot) { return Battle().state.units[slot]; }
  static SharedEffectsState& Effects() { return Battle().Extension<SharedEffectsState>(); }
  static int Pool() { return static_cast<int>(Battle().anm_pool.in_use); }
  static int64_t Live() { return Battle().alloc.live; }
  // The colour the frame shows for a COLORREF in the rig's layout.
  uint32_t Shown(uint32_t c) {
    const PixelLayout layout = rig.driver().host().display.layout();
    return platform::UnpackToColorRef(platform::PackColorRef(c, layout), layout);
  }

  const ScopedBattleInstaller installer{&InstallBattleEvents};
  BattleRig rig;
  BattleBoard board;
};

// The work of a live effect task, null when no task of that name runs.
template <class Work>
Work* TaskWork(const std::string& name) {
  GameTaskRec* t = Ctx().game_task.FindTask(name.c_str());
  if (t == nullptr) return nullptr;
  return static_cast<Work*>(static_cast<SlgEffectTask*>(t->work)->owned[0]);
}

using EffectStep = int (*)(SlgUnit&, const SlgPair&);

// Steps a per-frame effect once a frame until it answers 0 (at most `limit` frames), checking
// on the way that it answers 1 exactly while some object of it is left in the pool. The frames
// it answered 1 on, or -1 at the limit.
int RunToEnd(EffectRig& r, EffectStep step, SlgUnit& u, const SlgPair& pos, int pool_before,
             int limit, const std::function<void(int)>& each = nullptr) {
  for (int frame = 0; frame < limit; ++frame) {
    r.rig.Step();
    const int answer = step(u, pos);
    if (each) each(frame);
    if (answer == 0) {
      EXPECT_EQ(EffectRig::Pool(), pool_before) << "frame " << frame;
      return frame;
    }
    EXPECT_GT(EffectRig::Pool(), pool_before) << "running without an object, frame " << frame;
  }
  return -1;
}

// ---- Installation ----

TEST(SharedEffectsInstall, TheCoreNamesReachTheBodiesOnlyWhenInstalled) {
  {
    BattleRig plain;
    BattleBoard board(plain.battle());
    SlgUnit& u = Battle().state.units[board.AddUnit(OnCell(4, 10))];
    const int64_t live = Battle().alloc.live;
    EXPECT_EQ(SlgFallEffect(u, {}), 0) << "the stand-in";
    EXPECT_EQ(SlgFallEffect2(u, {}), 0);
    EXPECT_EQ(SlgFlashEffect(u, {}), 0);
    EXPECT_EQ(Battle().alloc.live, live);
  }
  EffectRig r;
  const SlgEventEntries& e = Battle().events;
  EXPECT_EQ(e.ctrl_stop_effect, &SharedEffects::CtrlStopEffect);
  EXPECT_EQ(e.ctrl_jump_effect, &SharedEffects::CtrlJumpEffect);
  EXPECT_EQ(e.fall_effect, &SharedEffects::SlgFallEffect);
  EXPECT_EQ(e.fall_effect2, &SharedEffects::SlgFallEffect2);
  EXPECT_EQ(e.flash_effect, &SharedEffects::SlgFlashEffect);
}

// ---- The bursts ----

// Key 2 held on the first call, a refused work block or a full pool: 0 and nothing taken.
TEST(SharedBursts, SkippedOrRefusedAtTheStartTakeNothing) {
  enum class How { kKeyHeld, kWorkRefused, kPoolFull };
  for (const How how : {How::kKeyHeld, How::kWorkRefused, How::kPoolFull}) {
    for (const EffectStep step : {&SlgFallEffect, &SlgFallEffect2}) {
      SCOPED_TRACE(testing::Message() << "case " << static_cast<int>(how)
                                      << (step == &SlgFallEffect ? " first" : " second"));
      EffectRig r;
      SlgUnit& u = r.U(r.Add(OnCell(6, 20)));
      if (how == How::kKeyHeld) r.rig.Schedule({testsupport::GameKeyDown(r.rig.frame(), kGameKey2)});
      if (how == How::kPoolFull) {
        while (alloc_anime() != nullptr) {
        }
      }
      r.rig.Step();
      if (how == How::kWorkRefused) Battle().alloc.refuse = [](uint32_t, size_t) { return true; };
      const uint32_t calls = Battle().alloc.calls;
      const int64_t live = r.Live();
      const int pool = r.Pool();
      TraceCapture trace;
      EXPECT_EQ(step(u, {}), 0);
      EXPECT_EQ(r.Live(), live);
      EXPECT_EQ(r.Pool(), pool);
      if (how == How::kKeyHeld) {
        EXPECT_EQ(Battle().alloc.calls, calls) << "not even asked";
      }
      EXPECT_EQ(r.Effects().fall, nullptr);
      EXPECT_EQ(r.Effects().fall2, nullptr);
      EXPECT_FALSE(trace.Contains("SePlay")) << "no sound";
    }
  }
}

TEST(SharedBursts, FirstBurstCountsDelaysSoundAndItsEnd) {
  EffectRig r;
  SlgUnit& u = r.U(r.Add(OnCell(6, 20)));
  const SlgPair pos = SlgMapToScreen(u);
  r.rig.Step();
  const int pool = r.Pool();
  const int64_t live = r.Live();
  TraceCapture trace;
  ASSERT_EQ(SlgFallEffect(u, pos), 1);
  EXPECT_EQ(r.Pool(), pool + 1 + kFallParticles);
  EXPECT_EQ(Battle().last_se, 30);
  const FallWork& w = *r.Effects().fall;
  ASSERT_NE(w.main, nullptr);
  EXPECT_EQ(w.main->depth, u.anm->depth - 2);
  std::vector<int32_t> delays, starts;
  for (int i = 0; i < kFallParticles; ++i) {
    const FallParticle& p = w.particles[static_cast<size_t>(i)];
    ASSERT_NE(p.obj, nullptr);
    EXPECT_EQ(p.obj->depth, u.anm->depth - 1);
    EXPECT_EQ(p.obj->attr, kBurstAttr);
    EXPECT_EQ(p.obj->mode, kSlgAnmOnce);
    EXPECT_GE(p.delay, 0);
    EXPECT_LE(p.delay, 40);
    EXPECT_GE(p.start, 32 * kPx);
    EXPECT_LT(p.start, 112 * kPx);
    const int32_t v = -p.speed / kPx - 10;
    EXPECT_EQ(v & ~21, 0) << "speed " << p.speed;
    if (i % 5 != 0) {
      EXPECT_EQ(p.angle, (w.particles[static_cast<size_t>(i - 1)].angle + 102) & 511) << i;
    }
    delays.push_back(p.delay);
    starts.push_back(p.start);
  }
  // Random values: they vary.
  EXPECT_GT(std::set<int32_t>(delays.begin(), delays.end()).size(), 5u);
  EXPECT_GT(std::set<int32_t>(starts.begin(), starts.end()).size(), 5u);
  const int32_t last_delay = *std::max_element(delays.begin(), delays.end());

  const int frames = RunToEnd(r, &SlgFallEffect, u, pos, pool, 200);
  ASSERT_GT(frames, last_delay) << "every particle started before the end";
  EXPECT_EQ(r.Live(), live) << "the work given back";
  EXPECT_EQ(r.Effects().fall, nullptr);
  EXPECT_EQ(trace.Count("SeNo 30 "), 1) << "one sound";
}

TEST(SharedBursts, SecondBurstLoopsItsMainsFourTimesAndEndsOnceItsParticlesHaveLeft) {
  EffectRig r;
  SlgUnit& u = r.U(r.Add(OnCell(6, 20)));
  const SlgPair pos = SlgMapToScreen(u);
  r.rig.Step();
  const int pool = r.Pool();
  const int64_t live = r.Live();
  TraceCapture trace;
  ASSERT_EQ(SlgFallEffect2(u, pos), 1);
  EXPECT_EQ(r.Pool(), pool + 2 + kFall2Particles);
  EXPECT_EQ(Battle().last_se, 32);
  const Fall2Work& w = *r.Effects().fall2;
  EXPECT_EQ(w.main[0]->depth, u.anm->depth + 1);
  EXPECT_EQ(w.main[1]->depth, u.anm->depth - 1);
  std::vector<int32_t> delays, turns;
  for (const Fall2Particle& p : w.particles) {
    EXPECT_GE(p.delay, 0);
    EXPECT_LE(p.delay, 40);
    EXPECT_GE(std::abs(p.angular_speed), 8);
    EXPECT_LE(std::abs(p.angular_speed), 23);
    EXPECT_GE(-p.rise_speed, 6 * kPx);
    EXPECT_LE(-p.rise_speed, 13 * kPx);
    delays.push_back(p.delay);
    turns.push_back(p.angular_speed);
  }
  EXPECT_GT(std::set<int32_t>(delays.begin(), delays.end()).size(), 5u);
  EXPECT_TRUE(std::any_of(turns.begin(), turns.end(), [](int32_t v) { return v < 0; }) &&
              std::any_of(turns.begin(), turns.end(), [](int32_t v) { return v > 0; }))
      << "both senses";
  const int32_t last_delay = *std::max_element(delays.begin(), delays.end());

  // Each main animation (one frame of 8 ticks) loops every 8 frames: gone after its fourth.
  int mains_gone = -1;
  int32_t highest = pos.y;
  const int frames = RunToEnd(r, &SlgFallEffect2, u, pos, pool, 400, [&](int frame) {
    const Fall2Work* now = r.Effects().fall2;
    if (now == nullptr) return;
    if (mains_gone < 0 && now->main[0] == nullptr && now->main[1] == nullptr) mains_gone = frame;
    for (const Fall2Particle& p : now->particles)
      if (p.obj != nullptr) highest = std::min(highest, p.obj->y);
  });
  EXPECT_GE(mains_gone, 4 * 8 - 1);
  EXPECT_LE(mains_gone, 4 * 8 + 2);
  // The particles rise at 13 pixels a frame at most and go only once out of the view's top.
  const int32_t climb = (pos.y >> 16) + 287;
  EXPECT_GT(frames, last_delay + climb / 13);
  EXPECT_LT(highest >> 16, -287 + 13 + 32) << "a particle rose to the view's top";
  EXPECT_EQ(r.Live(), live);
  EXPECT_EQ(trace.Count("SeNo 32 "), 1);
}

// A pool with room for ten: the burst goes on with the main object and nine particles.
TEST(SharedBursts, ParticlesWithoutAnObjectAreDroppedAndTheOthersGoOn) {
  EffectRig r;
  SlgUnit& u = r.U(r.Add(OnCell(6, 20)));
  std::vector<SlgAnmObj*> held;
  while (SlgAnmObj* o = alloc_anime()) held.push_back(o);
  for (int i = 0; i < 10; ++i) {
    FreeAnmObj(held.back());
    held.pop_back();
  }
  r.rig.Step();
  const int pool = r.Pool();
  const int64_t live = r.Live();
  ASSERT_EQ(SlgFallEffect(u, {}), 1);
  EXPECT_EQ(r.Pool(), pool + 10);
  const FallWork& w = *r.Effects().fall;
  EXPECT_NE(w.main, nullptr);
  const auto with = std::count_if(w.particles.begin(), w.particles.end(),
                                  [](const FallParticle& p) { return p.obj != nullptr; });
  EXPECT_EQ(with, 9);
  EXPECT_GT(RunToEnd(r, &SlgFallEffect, u, {}, pool, 200), 0);
  EXPECT_EQ(r.Live(), live);
}

// ---- The flash ----

TEST(SharedFlash, ASecondCallerDrivesTheRunningFlash) {
  EffectRig r;
  SlgUnit& a = r.U(r.Add(OnCell(6, 20)));
  SlgUnit& b = r.U(r.Add(OnCell(10, 20, {.character = 1})));
  r.rig.Step();
  const int pool = r.Pool();
  TraceCapture trace;
  const SlgPair pa{-10 * kPx, 0}, pb{30 * kPx, 5 * kPx};
  ASSERT_EQ(SlgFlashEffect(a, pa), 1);
  const SlgAnmObj* flash = r.Effects().flash;
  ASSERT_NE(flash, nullptr);
  EXPECT_EQ(flash->depth, a.anm->depth - 1);
  EXPECT_EQ(Battle().last_se, 31);
  int frames = 0;
  for (; frames < 60; ++frames) {
    ASSERT_EQ(SlgFlashEffect(b, pb), 1) << "the same flash, frame " << frames;
    EXPECT_EQ(r.Effects().flash, flash);
    EXPECT_EQ(r.Pool(), pool + 1);
    EXPECT_EQ(flash->x, pb.x) << "placed at the caller's position";
    r.rig.Step();
    if (SlgFlashEffect(a, pa) == 0) break;
  }
  EXPECT_GE(frames, 3) << "it played (4 frames of 8 ticks)";
  EXPECT_LT(frames, 60);
  EXPECT_EQ(r.Pool(), pool);
  EXPECT_EQ(r.Effects().flash, nullptr);
  EXPECT_EQ(trace.Count("SeNo 31 "), 1);
}

// ---- The jump ----

TEST(SharedJump, ArcPhaseChangeLandingHoldAndDust) {
  struct Case {
    const char* what;
    int start, floor;  // lifts in pixels
    uint8_t dir;
    int walked;        // pixels walked before the first frame
    int landing;       // the frame it lands on
  };
  // 6 pixels a frame less a quarter each frame: the speed falls below 1 at frame 24, 69 pixels
  // up; from there it falls 0.125 x n x (n + 1) pixels in n frames.
  constexpr int kRise = 69;
  const Case cases[] = {
      {"climb facing 1", 0, 48, 1, 0, 24 + 13},
      {"drop facing 2, walked past the hold", 48, 0, 2, 60, 24 + 31},
      {"level facing 0, walked past the hold", 0, 0, 0, 60, 24 + 23},
      {"level facing 3, short of the hold", 0, 0, 3, 20, 24 + 23},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EffectRig r;
    SlgUnit& u = r.U(r.Add(OnCell(8, 24, {.facing = c.dir})));
    const std::string name = "CtrlJumpEffect" + std::to_string(u.entry);
    SetUnitState(u, kUnitStateHeightChange);
    u.anm->state = 1;  // where the height change waits for the landing
    u.lift = c.start * kPx;
    const int pool = r.Pool();
    const int32_t x0 = u.x;
    const int side = c.dir <= 1 ? 1 : -1;
    ASSERT_EQ(CtrlJumpEffect(u, c.floor * kPx, kSlgJumpSpeed, kSlgJumpGravity), 1);
    u.x = x0 + side * c.walked * kPx;

    int32_t highest = u.lift;
    bool landed = false;
    for (int f = 0; f < 120 && TaskWork<JumpWork>(name) != nullptr; ++f) {
      r.rig.Step();
      ASSERT_LE(u.anm->state, 2) << "stepped more than once";
      highest = std::max(highest, u.lift);
      if (landed || u.anm->state != 2) continue;
      landed = true;
      const JumpWork& w = *TaskWork<JumpWork>(name);
      EXPECT_EQ(w.peak_frame, 24);
      EXPECT_EQ(w.peak_lift, (c.start + kRise) * int64_t{kPx});
      EXPECT_EQ(w.frames, c.landing);
      EXPECT_EQ(u.lift, c.floor * kPx);
      for (size_t i = 0; i < 2; ++i) {
        ASSERT_NE(w.dust[i], nullptr);
        EXPECT_EQ(w.dust[i]->pattern, i == 0 ? 9 : 8);
        EXPECT_EQ(w.dust[i]->attr, c.dir == 0 || c.dir == 2 ? 16 : 0);
        EXPECT_EQ(w.dust[i]->depth, u.anm->depth + (i == 0 ? 1 : -1));
        EXPECT_EQ(w.dust[i]->y, SlgMapToScreen(u).y) << "at the feet";
      }
      EXPECT_EQ(r.Pool(), pool + 2);
    }
    EXPECT_TRUE(landed);
    EXPECT_EQ(TaskWork<JumpWork>(name), nullptr) << "ended with its dust";
    EXPECT_EQ(u.anm->state, 2);
    EXPECT_EQ(u.lift, c.floor * kPx);
    EXPECT_EQ(highest, (c.start + kRise) * kPx) << "it rose";
    EXPECT_EQ(r.Pool(), pool);
    const bool held = c.walked >= 48;
    EXPECT_EQ((u.flags & kUnitJumpClamp) != 0, held);
    EXPECT_EQ(u.x, x0 + side * (held ? 48 : c.walked) * kPx);
  }
}

// ---- The stop ----

TEST(SharedStop, EndsAtOnceOutsideState2AndStepsOnceAfterItsDust) {
  EffectRig r;
  SlgUnit& u = r.U(r.Add(OnCell(8, 24, {.facing = 1})));
  const std::string name = "CtrlStopEffect" + std::to_string(u.entry);
  const int pool = r.Pool();

  SetUnitState(u, kUnitStateReady);
  u.anm->state = 1;
  ASSERT_EQ(CtrlStopEffect(u), 1);
  r.rig.Step();
  EXPECT_EQ(TaskWork<StopWork>(name), nullptr) << "ended on its first frame";
  EXPECT_EQ(r.Pool(), pool) << "nothing drawn";
  EXPECT_EQ(u.anm->state, 1);

  for (const uint8_t dir : {0, 1, 2, 3}) {
    SCOPED_TRACE(testing::Message() << "direction " << int{dir});
    Slg::SetUnitDir(u, dir);
    SetUnitState(u, kUnitStateWalkEnd);
    u.anm->state = 1;
    ASSERT_EQ(CtrlStopEffect(u), 1);
    r.rig.Step();
    const StopWork* w = TaskWork<StopWork>(name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(r.Pool(), pool + 2);
    const uint16_t attr = dir == 0 || dir == 2 ? 16 : 0;
    for (size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(w->dust[i]->pattern, i == 0 ? 4 : 5);
      EXPECT_EQ(w->dust[i]->attr, attr);
      EXPECT_EQ(w->dust[i]->mode, 0);
      EXPECT_EQ(w->dust[i]->depth, u.anm->depth + (i == 0 ? -1 : 1));
    }
    int frames = 1;
    for (; frames < 60 && TaskWork<StopWork>(name) != nullptr; ++frames) {
      EXPECT_EQ(u.anm->state, 1) << "not before the dust has ended";
      r.rig.Step();
    }
    EXPECT_EQ(TaskWork<StopWork>(name), nullptr);
    EXPECT_GE(frames, kDustFrames);
    EXPECT_EQ(u.anm->state, 2) << "stepped once";
    EXPECT_EQ(r.Pool(), pool);
  }
}

// ---- The walk road ----

// A hero at (2, 8) facing 1, walking three cells right-down (c1 .. c3) of the given levels.
struct Road {
  explicit Road(EffectRig& r, std::array<int, 3> levels = {0, 1, 1}) {
    c0 = CellPos(2, 8);
    c1 = {static_cast<int16_t>(c0.x + 48), static_cast<int16_t>(c0.y + 24)};
    c2 = {static_cast<int16_t>(c1.x + 48), static_cast<int16_t>(c1.y + 24)};
    c3 = {static_cast<int16_t>(c2.x + 48), static_cast<int16_t>(c2.y + 24)};
    const SlgRangePos cells[3] = {c1, c2, c3};
    for (size_t i = 0; i < 3; ++i) {
      const SlgCell c = PosToCell(cells[i].x, cells[i].y);
      r.board.SetCell(c.column, c.row, CellWord(static_cast<uint32_t>(levels[i])));
    }
    slot = r.Add(OnCell(2, 8, {.facing = 1}));
    Battle().state.acting_unit = slot;
    Slg::MoveSearch(0, c0, 4);
  }
  // The states passed through; the frames spent in each, the highest lift and the x travelled
  // during each height change.
  std::vector<int> Walk(EffectRig& r) {
    SlgUnit& u = EffectRig::U(slot);
    frames_in.assign(32, 0);
    highest = u.lift;
    if (Slg::BuildPath(u, c3.x, c3.y) != 1) return {};
    int previous = u.state;
    int32_t x_then = u.x;
    return unit_state_moves::WalkRoad(u, 400, [&r] { r.rig.Step(); }, [&] {
      ++frames_in[u.state % 32];
      highest = std::max(highest, u.lift);
      if (u.state == kUnitStateHeightChange && previous != u.state) x_then = u.x;
      if (previous == kUnitStateHeightChange && u.state != previous) {
        arc_travel.push_back((u.x - x_then) / kPx);
      }
      previous = u.state;
    });
  }
  uint8_t slot = 0;
  SlgRangePos c0, c1, c2, c3;
  std::vector<int> frames_in;
  int32_t highest = 0;
  std::vector<int32_t> arc_travel;
};

TEST(SharedEffectsOnTheWalk, TheClimbJumpsAndTheStopWaitsForItsDust) {
  EffectRig r;
  Road road(r);
  SlgUnit& u = r.U(road.slot);
  EXPECT_EQ(road.Walk(r), (std::vector<int>{3, 1, 10, 1, 4, 2, 8}));
  EXPECT_GE(road.frames_in[10], 24 + 13) << "the arc's length";
  EXPECT_LE(road.frames_in[10], 24 + 13 + 3);
  EXPECT_GE(road.frames_in[2], kDustFrames) << "the stop dust's length";
  EXPECT_EQ(road.highest, 69 * kPx) << "the jump rose above the goal's level";
  EXPECT_EQ(road.arc_travel, std::vector<int32_t>{48}) << "walked its cell during the arc";
  EXPECT_EQ(u.lift, 48 * kPx);
  EXPECT_EQ(u.x, road.c3.x * kPx);
  EXPECT_EQ(u.y, road.c3.y * kPx);
}

// Two climbs in a row: the hold the first jump set is its own, so the second arc still carries
// the unit across its cell (rather than straight up, then a cell at once).
TEST(SharedEffectsOnTheWalk, EveryClimbCarriesTheUnitAcrossItsCell) {
  EffectRig r;
  Road road(r, {1, 2, 2});
  SlgUnit& u = r.U(road.slot);
  EXPECT_EQ(road.Walk(r), (std::vector<int>{3, 10, 1, 10, 1, 4, 2, 8}));
  EXPECT_EQ(road.arc_travel, (std::vector<int32_t>{48, 48}));
  EXPECT_EQ(u.lift, 96 * kPx);
  EXPECT_EQ(u.x, road.c3.x * kPx);
}

// ---- Faults ----

TEST(SharedEffectFaults, AFullPoolAtTheLandingEndsTheJumpAndTheWalkFinishes) {
  {
    EffectRig r;
    SlgUnit& u = r.U(r.Add(OnCell(8, 24, {.facing = 1})));
    const std::string name = "CtrlJumpEffect" + std::to_string(u.entry);
    SetUnitState(u, kUnitStateHeightChange);
    u.anm->state = 1;
    ASSERT_EQ(CtrlJumpEffect(u, 48 * kPx, kSlgJumpSpeed, kSlgJumpGravity), 1);
    while (alloc_anime() != nullptr) {
    }
    for (int f = 0; f < 80 && TaskWork<JumpWork>(name) != nullptr; ++f) r.rig.Step();
    EXPECT_EQ(TaskWork<JumpWork>(name), nullptr) << "no dust: it has ended";
    EXPECT_EQ(u.anm->state, 2) << "the handler goes on";
    EXPECT_EQ(u.lift, 48 * kPx);
  }
  EffectRig r;
  Road road(r);
  while (alloc_anime() != nullptr) {
  }
  EXPECT_EQ(road.Walk(r), (std::vector<int>{3, 1, 10, 1, 4, 2, 8}));
  EXPECT_EQ(r.U(road.slot).lift, 48 * kPx);
}

// A unit removed (the records move down: its slot now holds another) or dead while its jump or
// stop runs: the task ends and leaves the other unit as it was.
TEST(SharedEffectFaults, ARemovedOrDeadUnitEndsItsTaskWithoutTouchingAnother) {
  for (const bool jump : {true, false}) {
    for (const bool removed : {true, false}) {
      SCOPED_TRACE(testing::Message() << (jump ? "jump" : "stop")
                                      << (removed ? ", removed" : ", dead"));
      EffectRig r;
      const uint8_t a = r.Add(OnCell(4, 20, {.character = 0}));
      const uint8_t b = r.Add(OnCell(10, 20, {.character = 1}));
      const std::string name =
          std::string(jump ? "CtrlJumpEffect" : "CtrlStopEffect") + std::to_string(r.U(a).entry);
      // Both in the state the effect serves, waiting in step 1.
      for (const uint8_t s : {a, b}) {
        SetUnitState(r.U(s), jump ? kUnitStateHeightChange : kUnitStateWalkEnd);
        r.U(s).anm->state = 1;
      }
      ASSERT_EQ(jump ? CtrlJumpEffect(r.U(a), 48 * kPx, kSlgJumpSpeed, kSlgJumpGravity)
                     : CtrlStopEffect(r.U(a)),
                1);
      r.rig.Step();
      const uint8_t entry_b = r.U(b).entry;
      uint8_t other = b;
      if (removed) {
        Slg::RemoveUnit(a);
        other = a;  // b moved down into a's slot
        ASSERT_EQ(r.U(other).entry, entry_b);
      } else {
        r.U(a).step = kSlgDeadStep;
      }
      SlgUnit& o = r.U(other);
      const SlgUnit before = o;
      const uint8_t byte = o.anm->state;
      const int32_t dead_lift = r.U(a).lift;
      for (int f = 0; f < 80 && Ctx().game_task.FindTask(name.c_str()) != nullptr; ++f)
        r.rig.Step();
      EXPECT_EQ(Ctx().game_task.FindTask(name.c_str()), nullptr);
      EXPECT_EQ(o.anm->state, byte);
      EXPECT_EQ(o.lift, before.lift);
      EXPECT_EQ(o.x, before.x);
      EXPECT_EQ(o.flags, before.flags);
      if (!removed) {
        EXPECT_EQ(r.U(a).lift, dead_lift) << "the dead unit is left alone too";
      }
    }
  }
}

// ---- A burst beside a reveal ----

// A story opening plays the first burst on one unit while it reveals another, both stepped in
// the same frames: the reveal's tone reaches the revealed body only (never the burst's objects
// or the other unit), both sounds play once, and each ends whole: the unit shown out of tone
// control, the burst's objects and work given back.
TEST(SharedBursts, ABurstBesideARevealKeepsItsObjectsOutOfTheTone) {
  EffectRig r;
  SlgUnit& a = r.U(r.Add(OnCell(6, 20)));
  const uint8_t hidden_slot = r.Add(OnCell(9, 20, {.flags = 0xB100, .number = 2}));
  for (SlgUnit* u : {&a, &r.U(hidden_slot)}) Slg::SetUnitDir(*u, u->dir);  // bodies playing
  SlgUnit& hidden = r.U(hidden_slot);
  ASSERT_NE(hidden.anm, nullptr);
  r.rig.Step();
  const int pool = r.Pool();
  const int64_t live = r.Live();
  TraceCapture trace;
  const uint8_t list[] = {0, 2};
  bool revealing = true, bursting = true;
  std::set<BlendWord> levels;
  int frames = 0;
  int burst_objects_seen = 0;
  for (; frames < 300 && (revealing || bursting); ++frames) {
    if (revealing) revealing = EventRevealUnits(list, 1) == 0;
    if (bursting) bursting = SlgFallEffect(a, SlgMapToScreen(a)) != 0;
    if (revealing && hidden.anm->shade == kToneShade) levels.insert(SlgSprGetAlpha(hidden.anm));
    EXPECT_EQ(SlgSprGetAlpha(a.anm), 256u) << "frame " << frames;
    if (const FallWork* w = r.Effects().fall) {
      std::vector<const SlgAnmObj*> objs{w->main};
      for (const FallParticle& p : w->particles) objs.push_back(p.obj);
      for (const SlgAnmObj* o : objs) {
        if (o != nullptr && o->handle != nullptr) {
          ++burst_objects_seen;
          ASSERT_EQ(SlgSprGetAlpha(o), 256u) << "a burst object toned, frame " << frames;
        }
      }
    }
    r.rig.Step();
  }
  ASSERT_FALSE(revealing || bursting) << "both end";
  EXPECT_GT(burst_objects_seen, 100) << "the burst's objects played beside the fade";
  EXPECT_GT(levels.size(), 20u) << "the revealed body faded in level by level";
  EXPECT_NE(hidden.flags & kUnitShown, 0u);
  EXPECT_EQ(hidden.anm->shade, 0);
  EXPECT_EQ(SlgSprGetAlpha(hidden.anm), 256u);
  EXPECT_EQ(r.Pool(), pool);
  EXPECT_EQ(r.Live(), live);
  EXPECT_EQ(r.Effects().fall, nullptr);
  EXPECT_EQ(trace.Count("SeNo 30 "), 1);
  EXPECT_EQ(trace.Count("SeNo 244 "), 1);
}

// ---- A captured frame ----

// The first burst with every random value 0: particle 0 (angle 0, radius 32, speed -10, delay
// 0) is 22 pixels right of the point 32 pixels above the position on frame 1, stretched to
// 1.625 in x and drawn mirrored top to bottom (the attribute word 1504 has bit 0x20): its block
// hangs above its anchor. The main object stands at the position, also mirrored.
TEST(SharedBurstFrame, AParticleWhereItsCurvePutsIt) {
  for (const PixelLayout layout : {PixelLayout::kRgb565, PixelLayout::kRgb555}) {
    SCOPED_TRACE(layout == PixelLayout::kRgb565 ? "565" : "555");
    EffectRig r(layout);
    SlgUnit& u = r.U(r.Add(OnCell(2, 40)));  // off the screen: only the effect is drawn there
    Battle().rand_seam.script = [] { return 0; };
    const SlgPair pos{};  // the screen centre, (320, 240)
    r.rig.Step();
    ASSERT_EQ(SlgFallEffect(u, pos), 1);
    const uint32_t start = r.Effects().fall->start;
    for (int i = 0; i < 3 && EffectFrames(start) < 1; ++i) r.rig.Step();
    ASSERT_EQ(EffectFrames(start), 1);
    ASSERT_EQ(SlgFallEffect(u, pos), 1);
    r.rig.Step();  // drawn
    r.rig.SaveFrame(std::string("shared_burst_") + (layout == PixelLayout::kRgb565 ? "565" : "555"));
    const uint32_t frame0 = r.Shown(SystemSpriteSet::ColourRef(kSysTameEffect, 0));
    const int w = SystemSpriteSet::Width(kSysTameEffect, 0);   // 16
    const int h = SystemSpriteSet::Height(kSysTameEffect, 0);  // 10
    EXPECT_EQ(r.rig.PixelAt(320 + 22 + w, 240 - 32 - h / 2), frame0) << "the particle, stretched";
    EXPECT_NE(r.rig.PixelAt(320 + 22 + w, 240 - 32 + h / 2), frame0) << "not below its anchor";
    EXPECT_EQ(r.rig.PixelAt(320 + 2, 240 - 2), frame0) << "the main object above the position";
    EXPECT_NE(r.rig.PixelAt(320 + 2, 240 + 2), frame0);
  }
}

}  // namespace
