// The scenes every battle map repeats, each played as a whole handler by the event check on the
// battle rig: a board with the hero and heroines, the battle message file (the message-table
// writer's), a face file whose conversion table opens any event face, the battle events
// installed. The faces a scene opened (the "InitFace" traces) tell which reference it chose; the
// driver's input rows answer the messages that wait for a key.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_screen.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/event_messages.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/events_install.h"
#include "battle_events/runtime/generic_scenes.h"
#include "engine/core/debug_trace.h"
#include "engine/input/dinput.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/script/tamvik_macro.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_lips.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_rig.h"
#include "testsupport/battle_script.h"
#include "testsupport/event_tables.h"
#include "testsupport/lips_files.h"
#include "testsupport/portrait_writer.h"
#include "testsupport/script_writer.h"
#include "testsupport/system_sprites.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::OnCell;
using testsupport::TraceCapture;

constexpr int kMessage = 1;

// The handler the one-row table runs.
std::function<void(const SlgEventEntry&)> g_scene;
void RunScene(const SlgEventEntry& row) { g_scene(row); }
constexpr SlgEventEntry kTable[] = {{.id = 1, .timing = 0x8000, .handler = &RunScene},
                                    kEventTableEnd};

class SceneRig {
 public:
  SceneRig() : board(rig.battle()) {
    InstallBattleEvents(rig.battle());
    testsupport::GameTree& tree = rig.driver().tree;
    testsupport::SystemSpriteSet().Lay(tree);
    LoadSystemSprites();
    testsupport::MessageTableWriter table;
    table.Add({.id = kMessage, .voice_word = 0, .lip = "", .text = "AB"});
    tree.Write(testsupport::SlgMessageRel(0), table.Bytes());
    testsupport::FaceFileContents faces;
    faces.records = {{4, 1, 32}};
    faces.images = 5;
    tree.Write("install/tamvik2/system/kaoslg.spr", testsupport::FaceFile(faces));
    testsupport::LayLipsFiles(tree);
    Scene().macro.LoadSlgMessage(0);
    GetSystemData()->setVoiceOff(1);
    BattleContext& b = Battle();
    b.face_conv = std::make_unique<std::array<uint8_t, kFaceConvBytes>>();
    b.face_conv->fill(4 + 1);  // every event face opens internal face 4
    for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
    SlgSetLayer(SURFACE_ROOT, 1);
    board.SetMapSize(2112, 2112);
    b.last_se = -1;
  }
  ~SceneRig() {
    g_scene = nullptr;
    EndEventCheck();
    Scene().lips.EndLips();
    TamvikFunc::ReleaseBlinkAnm();
    FreeSystemSprites();
  }

  // Installs the one-row table, starts its row with `scene` as the handler and steps until the
  // event has finished, pressing OK whenever a message waits for its key (each frame `each` runs
  // after the step). The frames it took, -1 when it had not finished within `limit`.
  int Play(std::function<void(const SlgEventEntry&)> scene, int limit = 400,
           const std::function<void()>& each = {}) {
    g_scene = std::move(scene);
    StartEventCheck(kTable);
    rig.Step();  // the check task's first frame: idle
    Battle().state.turn_flags = 0x8000;
    if (SlgEventCheck::CheckEvents() != 1) return -1;
    for (int f = 1; f <= limit; ++f) {
      const bool waiting = Battle().message.wait_state == 1;
      if (waiting) rig.Schedule({testsupport::GameKeyDown(rig.frame(), kGameKey0)});
      rig.Step();
      if (waiting) rig.Schedule({testsupport::GameKeyUp(rig.frame(), kGameKey0)});
      if (each) each();
      if (EventCheckState().task->phase == kEventCheckIdle) return f;
    }
    return -1;
  }

  // The event faces opened since `trace` began, in order.
  static std::vector<int> FacesOpened(const TraceCapture& trace) {
    std::vector<int> faces;
    const std::string key = "InitFace: No";
    for (const DebugTraceLine& line : trace.lines()) {
      const size_t at = line.text.find(key);
      if (at != std::string::npos) faces.push_back(std::atoi(line.text.c_str() + at + key.size()));
    }
    return faces;
  }
  static SlgEventRuntimeState& State() { return Battle().Extension<SlgEventRuntimeState>(); }

  BattleRig rig;
  BattleBoard board;
};

// The hero at the top left, heroines far down the map (so the camera has to travel to them).
void AddHero(SceneRig& s) { s.board.AddUnit({.side = 0, .character = 0, .kind = 0, .x = 192, .y = 240}); }
uint8_t AddHeroine(SceneRig& s, int h) {
  return s.board.AddUnit(OnCell(15, 40 + h, {.side = 0, .character = static_cast<uint8_t>(h),
                                             .kind = static_cast<uint8_t>(h)}));
}

// ---- AddHeroineParam ----

TEST(GenericScenes, AddHeroineParamMovesBothVariablesHeldTo16BitsAndRecomputesAPresentUnit) {
  SceneRig s;
  const uint8_t three = AddHeroine(s, 3);
  struct Case {
    int32_t heroine, delta, trust, var2;  // before
    int32_t want_trust, want_var2;
  } cases[] = {
      {3, -10, 20, 7, 10, -3},
      {3, 250, 0, 0, -6, -6},  // a signed byte
      {3, -10, -32760, 32767, -32768, 32757},
      {3, 1, 32767, 32767, 32767, 32767},
      {5, 1, 0, 0, 1, 1},  // absent: the variables still change
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.heroine << " " << c.delta << " " << c.trust);
    SetTrustVar(c.heroine, c.trust);
    SetHeroineVar2(c.heroine, c.var2);
    Battle().state.units[three].stats.trust_attack = 99;
    AddHeroineParam(c.heroine, c.delta);
    EXPECT_EQ(GetTrustVar(c.heroine), c.want_trust);
    EXPECT_EQ(GetHeroineVar2(c.heroine), c.want_var2);
    EXPECT_EQ(Battle().state.units[three].stats.trust_attack != 99, c.heroine == 3)
        << "her unit's stats recomputed only when it is hers";
  }
  // Numbers that are not heroines change nothing.
  std::array<uint16_t, 100> before{};
  for (int n = 0; n < 100; ++n) before[static_cast<size_t>(n)] = SlgGetMacroP(n);
  AddHeroineParam(0, 5);
  AddHeroineParam(7, 5);
  AddHeroineParam(-1, 5);
  for (int n = 0; n < 100; ++n) EXPECT_EQ(SlgGetMacroP(n), before[static_cast<size_t>(n)]) << n;
}

// ---- A heroine's fall ----

TEST(GenericScenes, AFallSceneChoosesItsLineByTrustThenLowersItWithTheFallSound) {
  static constexpr EventMessageRef kRefs[] = {{31, kMessage}, {32, kMessage}, {33, kMessage}};
  struct Case {
    const char* name;
    int32_t trust;
    bool present;
    std::vector<int> faces;
    int32_t want_trust;
  } cases[] = {
      {"trust 10", 10, false, {31}, 0},
      {"trust 9", 9, false, {32}, -1},
      {"trust 6", 6, false, {32}, -4},
      {"trust 5", 5, false, {33}, -5},
      {"held at the bottom", -32760, false, {33}, -32768},
      {"still present", 30, true, {}, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SceneRig s;
    AddHero(s);
    const uint8_t two = AddHeroine(s, 2);
    if (!c.present) EventRemoveUnit(&Battle().state.units[two]);  // she has left: step 255
    SetTrustVar(2, c.trust);
    SetHeroineVar2(2, 0);
    TraceCapture trace;
    ASSERT_GT(s.Play([](const SlgEventEntry& row) { EventUnitDownScene(row, 2, kRefs); }), 0);
    EXPECT_EQ(SceneRig::FacesOpened(trace), c.faces);
    EXPECT_EQ(GetTrustVar(2), c.want_trust);
    EXPECT_EQ(GetHeroineVar2(2), -10);
    EXPECT_EQ(Battle().last_se, 21);
  }
}

// ---- A heroine's remark on a joint action ----

TEST(GenericScenes, AJointActionRemarkRaisesTheTrustOfTheHeroineOfItsFace) {
  const struct {
    int face;
    int32_t heroine;  // 0: nobody
  } cases[] = {{63, 1},  {64, 2},  {90, 2},  {91, 3},  {117, 3},  {118, 6},  {144, 6},
               {145, 4}, {162, 4}, {163, 5}, {216, 5}, {217, 0},  {65535, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.face);
    EXPECT_EQ(HeroineOfFace(c.face), c.heroine);
  }
  // Through the whole handler: the wait, the message (no key), +1 on both variables, SE 20, the
  // second reference cleared.
  for (const auto& c : {cases[0], cases[5], cases[11]}) {
    SCOPED_TRACE(c.face);
    SceneRig s;
    AddHero(s);
    for (int h = 1; h <= 6; ++h) {
      SetTrustVar(h, 3);
      SetHeroineVar2(h, -7);
    }
    Battle().event_unit_ref = {kSlgNoUnit, 1};
    TraceCapture trace;
    const int face = c.face;
    const int frames =
        s.Play([face](const SlgEventEntry& row) { EventRefUnitTalk2(row, face, kMessage); });
    ASSERT_GT(frames, 30) << "the 30-frame wait first";
    EXPECT_EQ(SceneRig::FacesOpened(trace), std::vector<int>{c.face});
    for (int h = 1; h <= 6; ++h) {
      EXPECT_EQ(GetTrustVar(h), h == c.heroine ? 4 : 3) << h;
      EXPECT_EQ(GetHeroineVar2(h), h == c.heroine ? -6 : -7) << h;
    }
    EXPECT_EQ(Battle().last_se, c.heroine != 0 ? 20 : -1);
    EXPECT_EQ(Battle().event_unit_ref[1], kSlgNoUnit);
  }
}

// ---- Character talks ----

TEST(GenericScenes, ACharacterTalkPicksItsLineByLifeTrustAndTheGeneratorAfterTheCamera) {
  static constexpr EventMessageRef kRefs[] = {
      {40, kMessage}, {41, kMessage}, {42, kMessage}, {43, kMessage}, {44, kMessage}};
  struct Case {
    const char* name;
    int16_t life;  // of 100
    int32_t trust;
    int32_t rand;
    int face;  // -1: nothing shown
  } cases[] = {
      {"a fifth of her life", 20, 40, 0, 40},
      {"trust 25", 21, 25, 0, 41},
      {"trust 6, bit 16 clear", 100, 6, 0x0FFEFFFF, 43},
      {"trust 6, bit 16 set", 100, 6, 0x00010000, 44},
      {"trust 5", 100, 5, 0x00010000, 42},
      {"absent", 100, 40, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SceneRig s;
    AddHero(s);
    if (c.face >= 0) {
      SlgUnit& u = Battle().state.units[AddHeroine(s, 4)];
      u.stats.max_life = 100;
      u.stats.life = c.life;
    }
    SetTrustVar(4, c.trust);
    const int32_t r = c.rand;
    Battle().rand_seam.script = [r] { return r; };
    TraceCapture trace;
    // The pick phase of each frame, and the scroll when the wait began.
    std::vector<int> phases;
    int scroll_at_wait = -1;
    const int frames = s.Play(
        [](const SlgEventEntry& row) { EventCharTalk(row, 4, kRefs); }, 400, [&] {
          const int phase = SceneRig::State().talk_pick_phase;
          if (phase == 2 && (phases.empty() || phases.back() != 2)) {
            scroll_at_wait = Battle().state.scroll_y;
          }
          phases.push_back(phase);
        });
    ASSERT_GT(frames, 0);
    if (c.face < 0) {
      EXPECT_TRUE(SceneRig::FacesOpened(trace).empty());
      EXPECT_LE(frames, 3) << "ends at once";
      continue;
    }
    EXPECT_EQ(SceneRig::FacesOpened(trace), std::vector<int>{c.face});
    EXPECT_GT(scroll_at_wait, 0) << "the camera went to her before the wait";
    EXPECT_GE(std::count(phases.begin(), phases.end(), 2), 30);
    EXPECT_EQ(SceneRig::State().talk_pick_phase, 0);
  }
}

TEST(GenericScenes, TheFavouriteSpeaksAfterTheCameraGoesToTheHeroAndIsSilentWhenAbsent) {
  static constexpr EventMessageRef kRefs[] = {
      {0, 0},         {0, 0},         {50, kMessage}, {51, kMessage}, {52, kMessage},
      {53, kMessage}, {54, kMessage}, {55, kMessage}, {56, kMessage}, {57, kMessage},
      {58, kMessage}, {59, kMessage}, {60, kMessage}, {61, kMessage}};
  for (const int32_t bit : {0, 1}) {
    for (const bool present : {true, false}) {
      SCOPED_TRACE(testing::Message() << "bit " << bit << (present ? " present" : " absent"));
      SceneRig s;
      // The hero far down the map, heroine 5 the favourite.
      s.board.AddUnit(OnCell(15, 60, {.side = 0, .character = 0, .kind = 0}));
      if (present) AddHeroine(s, 5);
      AddHeroine(s, 2);
      for (int h = 1; h <= 6; ++h) SetTrustVar(h, h == 5 ? 50 : 10);
      Battle().rand_seam.script = [bit] { return bit << 16; };
      TraceCapture trace;
      const int frames = s.Play([](const SlgEventEntry& row) { EventFavouriteTalk(row, kRefs); });
      ASSERT_GT(frames, 0);
      if (!present) {
        EXPECT_TRUE(SceneRig::FacesOpened(trace).empty());
        EXPECT_LE(frames, 3);
        continue;
      }
      EXPECT_EQ(SceneRig::FacesOpened(trace), std::vector<int>{50 + 8 + bit});  // refs[5 x 2 + bit]
      EXPECT_GT(Battle().state.scroll_y, 0) << "the camera went to the hero";
      EXPECT_GT(frames, 30);
    }
  }
}

TEST(GenericScenes, TalkListsPlayTheirMessagesAndTheSecondWaitsFirst) {
  static constexpr EventMessageRef kList[] = {{70, kMessage}, {71, kMessage},
                                              kEventMessageListEndRef};
  static_assert(EventMessageListEnded(kList));
  int plain = 0;
  for (const bool wait : {false, true}) {
    SCOPED_TRACE(wait);
    SceneRig s;
    AddHero(s);
    TraceCapture trace;
    int first_open = -1;
    int frame = 0;
    const int frames = s.Play(
        [wait](const SlgEventEntry& row) {
          if (wait) {
            EventWaitTalkList(row, kList);
          } else {
            EventTalkList(row, kList);
          }
        },
        400, [&] {
          ++frame;
          if (first_open < 0 && !SceneRig::FacesOpened(trace).empty()) first_open = frame;
        });
    ASSERT_GT(frames, 0);
    EXPECT_EQ(SceneRig::FacesOpened(trace), (std::vector<int>{70, 71}));
    if (wait) {
      EXPECT_GE(first_open - plain, 30);
    } else {
      plain = first_open;
    }
  }
}

// ---- A unit's talk after its defeat of another ----

TEST(GenericScenes, AUnitTalkWaitsForItsUnitWithTheBattleRunningThenSpeaks) {
  SceneRig s;
  AddHero(s);
  const uint8_t two = AddHeroine(s, 2);
  SetUnitState(Battle().state.units[two], 5);  // still acting
  Battle().event_unit_ref[0] = two;
  TraceCapture trace;
  int frame = 0;
  int busy_lowered = 0;
  const int frames = s.Play(
      [](const SlgEventEntry& row) { EventRefUnitTalk(row, 75, kMessage); }, 400, [&] {
        if (++frame <= 20) {
          if (Battle().event_busy == 0) ++busy_lowered;
          EXPECT_EQ(EventStep(), 0) << "waits while the state is neither 0 nor 8";
        }
        if (frame == 20) SetUnitState(Battle().state.units[two], 8);
      });
  ASSERT_GT(frames, 50) << "20 frames of waiting, 30 more, the message";
  EXPECT_EQ(busy_lowered, 20) << "the battle runs while the handler waits";
  EXPECT_EQ(SceneRig::FacesOpened(trace), std::vector<int>{75});
  EXPECT_EQ(Battle().event_unit_ref[0], kSlgNoUnit);
}

TEST(GenericScenes, AUnitTalkWhoseUnitIsGoneEndsWithoutAMessage) {
  struct Case {
    const char* name;
    std::function<void(uint8_t two)> before;  // before the event
    std::function<void(uint8_t two)> midway;  // on the fifth frame of the wait
  } cases[] = {
      {"no unit", [](uint8_t) { Battle().event_unit_ref[0] = kSlgNoUnit; }, {}},
      {"slot 64 and above", [](uint8_t) { Battle().event_unit_ref[0] = 64; }, {}},
      {"stale: beyond the unit count", [](uint8_t) { Battle().event_unit_ref[0] = 5; }, {}},
      {"a removed unit",
       [](uint8_t two) { EventRemoveUnit(&Battle().state.units[two]); }, {}},
      {"removed while waited for", {},
       [](uint8_t two) { EventRemoveUnit(&Battle().state.units[two]); }},
      {"taken from the list while waited for", {},
       [](uint8_t two) { Slg::RemoveUnit(two); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SceneRig s;
    AddHero(s);
    const uint8_t two = AddHeroine(s, 2);
    SetUnitState(Battle().state.units[two], 5);
    Battle().event_unit_ref[0] = two;
    if (c.before) c.before(two);
    TraceCapture trace;
    int frame = 0;
    const int frames =
        s.Play([](const SlgEventEntry& row) { EventRefUnitTalk(row, 75, kMessage); }, 200, [&] {
          if (++frame == 5 && c.midway) c.midway(two);
        });
    ASSERT_GT(frames, 0) << "no hang";
    EXPECT_LE(frames, 10);
    EXPECT_TRUE(SceneRig::FacesOpened(trace).empty());
    EXPECT_EQ(Battle().event_unit_ref[0], kSlgNoUnit);
    EXPECT_EQ(Battle().event_busy, 0u) << "finished";
  }
}

// A real defeat on the minimal stage, the mode manager running the battle: the hero walks up to
// the ASHIGARU and attacks (the attack routines stubbed) until it falls; the row "KP(IKD);"
// starts at the next unit-ready moment and the hero speaks once his action has ended.
struct HeroTalkFrame {
  int32_t step;
  uint8_t hero_state;
};
std::vector<HeroTalkFrame> g_hero_talk;
void HeroTalk(const SlgEventEntry& row) {
  g_hero_talk.push_back({EventStep(), Battle().state.units[0].state});
  EventRefUnitTalk(row, 1, testsupport::BattleInstall::kMessageIds[0]);
}

TEST(GenericScenes, TheUnitThatMadeADefeatSpeaksOnceItsActionHasEnded) {
  static constexpr SlgEventEntry kEvents[] = {
      {.id = 1520, .timing = 0x4, .a = "KP(IKD);", .handler = &HeroTalk}, kEventTableEnd};
  BattleRig::Options options;
  options.manager_mode = 26;
  options.seed = 7;
  BattleRig rig(options);
  testsupport::BattleInstall install;
  install.Lay(rig.driver().tree);
  GetSystemData()->setVoiceOff(1);
  rig.InstallEventTable(kEvents);
  g_hero_talk.clear();
  testsupport::BattleScript player(rig.driver());
  TraceCapture trace;
  bool finished = false;
  for (int f = 0; f < 3000 && !finished; ++f) {
    if (HasBattle()) {
      testsupport::BattleScript::InstallAttackStubs({0, 14});
      const bool enemy_alive = Battle().state.unit_count > 1 && SlgUnitLive(Battle().state.units[1]);
      if (enemy_alive && g_hero_talk.empty() && player.Ready()) player.HeroWalksAndAttacks({3, 9});
    }
    ASSERT_TRUE(rig.Step());
    finished = !testsupport::NoteFrames(rig.event_notes(), 1520, SlgEventMoment::kFinished).empty();
  }
  ASSERT_TRUE(finished) << "the talk ran to its end";
  ASSERT_FALSE(g_hero_talk.empty());
  for (int i = 0; i < Battle().state.unit_count; ++i) {
    const SlgUnit& u = Battle().state.units[static_cast<size_t>(i)];
    EXPECT_TRUE(u.side == 0 || !SlgUnitLive(u) || u.stats.life < 1) << "the ASHIGARU fell";
  }
  // The step left 0 only with the hero in state 0 or 8.
  const auto waited = std::find_if(g_hero_talk.begin(), g_hero_talk.end(),
                                   [](const HeroTalkFrame& h) { return h.step != 0; });
  ASSERT_NE(waited, g_hero_talk.begin());
  const uint8_t state = std::prev(waited)->hero_state;
  EXPECT_TRUE(state == 0 || state == 8) << int{state};
  EXPECT_GE(std::count_if(g_hero_talk.begin(), g_hero_talk.end(),
                          [](const HeroTalkFrame& h) { return h.step == 1; }),
            30);
  EXPECT_EQ(SceneRig::FacesOpened(trace), std::vector<int>{1});
  EXPECT_EQ(Battle().event_unit_ref[0], kSlgNoUnit);
}

// ---- The destruction of the enemies ----

TEST(GenericScenes, TheEnemiesAreDestroyedAsAStepAndASecondRowCanDoItAgain) {
  SceneRig s;
  AddHero(s);
  std::vector<uint8_t> enemies;
  std::vector<uint8_t> others;
  const auto add = [&s](uint8_t side, int row) {
    return s.board.AddUnit(OnCell(5, row, {.side = side, .character = 20, .kind = 20}));
  };
  enemies.push_back(add(1, 10));
  enemies.push_back(add(1, 12));
  others.push_back(add(2, 14));
  others.push_back(add(4, 16));
  const auto destroy = [](const SlgEventEntry&) {
    int32_t& step = EventStep();
    if (step == 0) {
      EventDestroyEnemiesReset();
      step = 1;
    }
    if (step == 1) {
      if (EventDestroyEnemies() == 0) return;
      step = 2;
      return;
    }
    EventEnd();
  };
  // Half way through a first destruction (as the debug destroyer may leave it), a row resets it
  // and waits for all 30 blinks.
  Battle().destroy_phase = 1;
  Battle().destroy_counter = 3;
  const int frames = s.Play(destroy);
  ASSERT_GT(frames, 60) << "30 blinks of two frames";
  for (uint8_t e : enemies) EXPECT_FALSE(SlgUnitLive(Battle().state.units[e])) << int{e};
  for (uint8_t o : others) EXPECT_TRUE(SlgUnitLive(Battle().state.units[o])) << int{o};

  // New enemies, a second row: the same again.
  const uint8_t late = add(1, 18);
  ASSERT_GT(s.Play(destroy), 60);
  EXPECT_FALSE(SlgUnitLive(Battle().state.units[late]));
  for (uint8_t o : others) EXPECT_TRUE(SlgUnitLive(Battle().state.units[o])) << int{o};
}

}  // namespace
