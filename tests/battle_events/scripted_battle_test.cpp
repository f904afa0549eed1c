// A scripted battle played whole from the mode manager: a two-map story written with the
// map-script toolkit (an opening with a background and talk, a timed choice, a movie once the
// enemy is hurt, the enemy destroyed, an ending that switches to the second map, whose opening
// wins), the player ending each turn and answering the messages and the choice through the
// input rows. The same story runs with a second map the core switches to at once and with one it
// fades to, each twice with the same frames, sounds and rows.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_start.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_movie.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/map_setup.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "engine/core/debug_trace.h"
#include "engine/input/dinput.h"
#include "flow/tamvik_general.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "platform/headless/headless_movie.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_rig.h"
#include "testsupport/battle_script.h"
#include "testsupport/event_recorder.h"
#include "testsupport/event_tables.h"
#include "testsupport/lips_files.h"
#include "testsupport/portrait_writer.h"
#include "testsupport/script_writer.h"
#include "testsupport/slg_table_writer.h"

namespace {

using testsupport::BattleInstall;
using testsupport::BattleRig;
namespace S = EventSeq;

constexpr int kMapA = 0;
constexpr uint16_t kTalkA = 10000;
constexpr uint16_t kTalkB = 10001;
constexpr uint16_t kEndTalk = 10002;
constexpr uint16_t kChoice = 10100;
constexpr int kBgm = 3;

// The story's flags (each row's guard and set flag).
constexpr int16_t kOpened = 101;
constexpr int16_t kChosen = 102;
constexpr int16_t kFilmed = 103;
constexpr int16_t kDestroyed = 104;
constexpr int16_t kEnded = 110;
constexpr int16_t kLostFlag = 120;
constexpr int16_t kLost = 121;

int SlideInBackground() { return EventBgSlideIn(BattleInstall::kBackground); }
int FadeOutBackground() { return EventBgFadeOut(10, 100); }
int PlayMovie() { return EventMoviePlay(0, 5); }
int DestroyEnemies() { return EventDestroyEnemies(); }

// Map A: the opening, the choice on round 2, the movie once the ASHIGARU is at half life, the
// enemies destroyed from round 3, the ending (no enemy left) switching to map B, and the defeat
// the choice's third answer asks for.
constexpr auto kOpeningTalk = TalkList({{11, kTalkA}, {74, kTalkB}});
constexpr S::Op kOpening[] = {
    S::FadeIn(),
    S::Custom(&SlideInBackground, 1),
    S::Messages(kOpeningTalk),
    S::Custom(&FadeOutBackground, 2),
    S::ScrollPx(32, 0, 8),
    S::End(),
};
static_assert(S::Valid(kOpening));
constexpr SeqArgs kOpeningArgs{kOpening};

constexpr S::Op kChoiceOps[] = {
    S::TimedChoice(kChoice, 0),
    S::Branch({{1, 1}, {2, 2}, {3, 3}}, 9),
    S::Label(1), S::AddHeroineParam(1, 5), S::Goto(9),
    S::Label(2), S::AddHeroineParam(2, 5), S::Goto(9),
    S::Label(3), S::SetFlag(kLostFlag),
    S::Label(9), S::End(),
};
static_assert(S::Valid(kChoiceOps));
constexpr SeqArgs kChoiceArgs{kChoiceOps};

// After the movie the handler has the map drawn again (the movie's preparation stopped it), then
// fades the battle in.
void DrawMapAgain() { Battle().flags |= 0x2; }
constexpr S::Op kMovieOps[] = {S::Custom(&PlayMovie, 3), S::Do(&DrawMapAgain), S::FadeIn(),
                               S::End()};
static_assert(S::Valid(kMovieOps));
constexpr SeqArgs kMovieArgs{kMovieOps};

constexpr S::Op kDestroyOps[] = {S::Custom(&DestroyEnemies, 4), S::End()};
static_assert(S::Valid(kDestroyOps));
constexpr SeqArgs kDestroyArgs{kDestroyOps};

constexpr S::Op kLostOps[] = {S::RequestGameOver(), S::End()};
static_assert(S::Valid(kLostOps));
constexpr SeqArgs kLostArgs{kLostOps};

// The ending's map B (set per run: the core switches to some maps at once, fades to others).
int g_map_b = 1;
void SwitchToMapB() { Slg::SwitchStage(g_map_b); }
constexpr S::Op kEndingOps[] = {S::Message(11, kEndTalk), S::Do(&SwitchToMapB), S::End()};
static_assert(S::Valid(kEndingOps));
constexpr SeqArgs kEndingArgs{kEndingOps};

constexpr SlgEventEntry kMapATable[] = {
    {.id = kOpened, .timing = 0x8000, .guard = {kOpened, 0}, .set = {kOpened, 0},
     .handler = &SeqRow, .arg = &kOpeningArgs},
    {.id = kChosen, .timing = 0x0001, .a = "F(101)&(T()>=2);", .guard = {kChosen, 0},
     .set = {kChosen, 0}, .handler = &SeqRow, .arg = &kChoiceArgs},
    {.id = kFilmed, .timing = 0x8000, .a = "F(102);", .b = "HGU(GZA,14,50);",
     .guard = {kFilmed, 0}, .set = {kFilmed, 0}, .handler = &SeqRow, .arg = &kMovieArgs},
    {.id = kDestroyed, .timing = 0x0001, .a = "F(103)&(T()>=3);", .guard = {kDestroyed, 0},
     .set = {kDestroyed, 0}, .handler = &SeqRow, .arg = &kDestroyArgs},
    {.id = kEnded, .timing = 0x8000, .a = "F(101);", .b = "NG(GZA);", .guard = {kEnded, 0},
     .set = {kEnded, 0}, .handler = &SeqRow, .arg = &kEndingArgs},
    {.id = kLost, .timing = 0x8000, .a = "F(120);", .guard = {kLost, 0}, .set = {kLost, 0},
     .handler = &SeqRow, .arg = &kLostArgs},
    kEventTableEnd};
constexpr MapSetup kMapASetup{.bgm = MapBgm::Play(kBgm), .table = kMapATable};

// What map A left when map B's opening starts: its flags set, and whether a background shows.
struct MapALeft {
  std::vector<int> flags;
  bool background = false;
};
MapALeft g_left_at_b;
void NoteWhatMapALeft() {
  g_left_at_b = {};
  for (int flag : {kOpened, kChosen, kFilmed, kDestroyed, kEnded, kLostFlag, kLost}) {
    if (CheckEventFlag(flag) != 0) g_left_at_b.flags.push_back(flag);
  }
  g_left_at_b.background = Battle().Extension<SlgEventRuntimeState>().bg_entry != nullptr;
}

// Map B: an opening that fades the map in and wins.
constexpr S::Op kMapBOpening[] = {S::Do(&NoteWhatMapALeft), S::FadeIn(), S::StartGameWin(),
                                  S::End()};
static_assert(S::Valid(kMapBOpening));
constexpr SeqArgs kMapBOpeningArgs{kMapBOpening};
constexpr uint16_t kMapBOpened = 201;
constexpr SlgEventEntry kMapBTable[] = {
    {.id = kMapBOpened, .timing = 0x8000, .guard = {kOpened, 0}, .set = {kOpened, 0},
     .handler = &SeqRow, .arg = &kMapBOpeningArgs},
    kEventTableEnd};
constexpr MapSetup kMapBSetup{.table = kMapBTable};

void SetupByMap(int stage) {
  const bool map_a = GetSystemData()->battleMap() == static_cast<uint32_t>(kMapA);
  MapSetupRows().rows[static_cast<size_t>(stage)] = map_a ? &kMapASetup : &kMapBSetup;
  SlgMapSetup::SetupMapEvent(stage);
}
void InstallSetupByMap(BattleContext& battle) { battle.events.setup_map_event = &SetupByMap; }

// The story's files beside the dressed install of both maps: the story lines and the choice in
// each map's message file, an event face for every face, the lip files and the movie.
void LayStory(BattleRig& rig) {
  testsupport::GameTree& tree = rig.driver().tree;
  for (const int map : {kMapA, g_map_b}) {
    BattleInstall install;
    install.stage.map = map;
    install.stage.face_conv.fill(1);
    if (map != kMapA) install.HeroineInsteadOfEnemy();
    install.Lay(tree);
    testsupport::MessageTableWriter messages;
    for (uint16_t id : {kTalkA, kTalkB, kEndTalk}) {
      messages.Add({.id = id, .voice_word = 0, .lip = "", .text = "AB"});
    }
    messages.Add({.id = kChoice, .voice_word = 0, .lip = "",
                  .text = testsupport::ChoiceText(3, 4)});
    tree.Write(testsupport::SlgMessageRel(map), messages.Bytes());
  }
  testsupport::FaceFileContents faces;
  faces.records = {{0, 1, 32}};
  faces.images = 1;
  tree.Write("install/TaMvIk2/system/kaoslg.spr", testsupport::FaceFile(faces));
  testsupport::LayLipsFiles(tree);
  const std::string path = tree.Write(
      testsupport::SlgTableWriter::TreeRel(MovieFileName(0, 5)), std::string("scripted"));
  platform::headless::ScriptedMovie movie;
  movie.duration = 0.3;
  movie.format.width = 64;
  movie.format.height = 48;
  for (int i = 0; i < 3; ++i) {
    movie.frames.push_back(platform::headless::HeadlessMovies::SolidFrame(
        movie.format, 0.1 * i, static_cast<uint16_t>(0x1111 * (i + 1))));
  }
  rig.driver().host().movies.Add(path, movie);
}

struct StoryOutcome {
  std::vector<testsupport::EventRecord> records;
  std::vector<int> modes;
  int trust_gain = 0;
  uint32_t lost = 0;
  uint16_t round_var = 0;
  // The checkpoints' frames taken (the background half slid in, the map after the movie).
  bool sliding_seen = false;
  bool map_after_movie_seen = false;
};

// Whether a frame's COLORREF shows the background picture's colour (5-bit green 31 alone), as
// both the 5:6:5 and the 5:5:5 frame keep the top five bits of each channel.
bool IsPictureGreen(uint32_t ref) {
  return (ref >> 3 & 31) == 0 && (ref >> 11 & 31) == 31 && (ref >> 19 & 31) == 0;
}

// Whether the latest frame shows the map's ground in its corners, where no unit stands (every
// ground tile of the install has some colour).
bool ShowsTheGround(const BattleRig& rig) {
  for (const auto& [x, y] : {std::pair{5, 5}, std::pair{634, 5}, std::pair{5, 474},
                             std::pair{634, 474}}) {
    if ((rig.PixelAt(x, y) & 0xF8F8F8) == 0) return false;
  }
  return true;
}

// Named checkpoints of the story road: each frame is written for people ($TAMVIK_BATTLE_FRAMES)
// and probed.
void TakeCheckpoints(BattleRig& rig, const testsupport::EventRecorder& recorder,
                     StoryOutcome& out) {
  if (!HasBattle()) return;
  const SlgEventRuntimeState& rt = Battle().Extension<SlgEventRuntimeState>();
  // The background on its way in from the right: its left edge at the picture's home
  // (320 - width / 2) plus the slide offset, the screen to its left not covered by it.
  if (!out.sliding_seen && rt.slide_phase == 2 && rt.bg_entry != nullptr && rt.bg_x > 16 &&
      rt.bg_x < 320) {
    out.sliding_seen = true;
    rig.SaveFrame("story_background_sliding_in");
    const int left = 320 - BattleInstall::kBackgroundWidth / 2 + rt.bg_x;
    EXPECT_TRUE(IsPictureGreen(rig.PixelAt(left + 2, 176))) << "the picture at " << left;
    EXPECT_FALSE(IsPictureGreen(rig.PixelAt(left - 4, 176))) << "nothing of it before " << left;
  }
  // The map back after the movie's fade and the handler's fade-in.
  const int movie_end = recorder.FrameOf("end 103");
  if (!out.map_after_movie_seen && movie_end >= 0 && rig.frame() >= movie_end + 30) {
    out.map_after_movie_seen = true;
    rig.SaveFrame("story_map_after_movie");
    EXPECT_TRUE(ShowsTheGround(rig)) << "the map is drawn again";
  }
}

// The player ends each turn, answers every message and takes the choice's line `answer` (1-3);
// on the story road (line 1) the ASHIGARU's life is halved once the choice is made, which brings
// the movie; a game over is given up.
void PlayStory(BattleRig& rig, int answer, StoryOutcome& out) {
  LayStory(rig);
  GetSystemData()->setVoiceOff(1);
  rig.InstallEventTable(kMapATable);
  ScopedBattleInstaller by_map(&InstallSetupByMap);
  InstallSetupByMap(rig.battle());
  SetTrustVar(1, 12);
  const int trust_before = GetTrustVar(1);
  testsupport::BattleScript player(rig.driver());
  testsupport::EventRecorder recorder(rig.driver());
  int choice_frames = 0;
  int downs = 0;  // the Down keys pressed in the choice
  bool halved = answer != 1;
  g_left_at_b = {.flags = {-1}, .background = true};
  constexpr int kFrameLimit = 6000;
  int f = 0;
  for (; f < kFrameLimit; ++f) {
    const int mode = CTamvikGeneral::GetMode();
    if (out.modes.empty() || out.modes.back() != mode) out.modes.push_back(mode);
    if (f > 0 && (mode < 26 || mode > 28)) break;
    if (HasBattle() && Battle().test_hooks.user != &recorder) recorder.Attach(Battle());
    if (HasBattle() && Battle().state.round >= 1) {
      BattleContext& b = Battle();
      testsupport::BattleScript::InstallAttackStubs({0, 1, 14});
      b.state.units[0].stats.life = b.state.units[0].stats.max_life = 30000;
      if (!halved && CheckEventFlag(kChosen) != 0) {
        halved = true;
        for (uint32_t i = 0; i < b.state.unit_count; ++i) {
          SlgUnit& u = b.state.units[i];
          if (u.kind == 14) u.stats.life = static_cast<decltype(u.stats.life)>(u.stats.max_life / 2);
        }
      }
      const SlgEventRuntimeState& rt = b.Extension<SlgEventRuntimeState>();
      choice_frames = rt.choice_phase == 1 ? choice_frames + 1 : 0;
      const SlgEventCheckState& check = b.Extension<SlgEventCheckState>();
      const bool event_running = check.task != nullptr && check.task->phase != kEventCheckIdle;
      if (player.Ready() && !player.AnswerGameOver(true)) {
        if (choice_frames >= 40 && downs < answer - 1) {
          player.Press(kGameKeyDown);
          ++downs;
        } else if (b.message.wait_state == 1 || (choice_frames >= 40 && downs == answer - 1)) {
          if (choice_frames >= 40) ++downs;
          player.Press(kGameKey0);
        } else if (!event_running) {
          const SlgUnit* acting = testsupport::BattleScript::ActingUnit();
          if (acting != nullptr && acting->side == 0) player.EndHeroTurn();
        }
      }
    }
    if (!rig.Step()) break;
    recorder.AfterFrame(rig.event_notes());
    TakeCheckpoints(rig, recorder, out);
  }
  if (HasBattle()) recorder.Detach(Battle());
  out.records = recorder.records();
  out.round_var = GetMacroP(kSlgRoundVar);
  EXPECT_LT(f, kFrameLimit) << "the battle did not hand back";
  out.trust_gain = GetTrustVar(1) - trust_before;
  out.lost = GetSystemData()->battleLost();
}

BattleRig::Options ManagerOptions() {
  BattleRig::Options o;
  o.manager_mode = 26;
  o.seed = 11;
  return o;
}

// The story's records without the screen fades and the messages' OK sound (they come with every
// message and battle start).
std::vector<std::string> Story(const std::vector<testsupport::EventRecord>& records) {
  std::vector<std::string> out;
  for (const testsupport::EventRecord& r : records) {
    if (r.what.rfind("fade ", 0) == 0 || r.what == "se 15") continue;
    out.push_back(r.what);
  }
  return out;
}

class ScriptedBattle : public ::testing::TestWithParam<int> {};

TEST_P(ScriptedBattle, TheStoryRoadPlaysFromTheOpeningToTheVictoryTheSameWayTwice) {
  g_map_b = GetParam();
  const bool faded = g_map_b == 17;
  std::vector<StoryOutcome> outcomes;
  EXPECT_TRUE(testsupport::RunBattleTwice(
      [&outcomes](BattleRig& rig) {
        StoryOutcome out;
        PlayStory(rig, 1, out);
        outcomes.push_back(std::move(out));
      },
      ManagerOptions()));
  ASSERT_EQ(outcomes.size(), 2u);
  const StoryOutcome& o = outcomes[0];
  std::vector<std::string> want = {
      "deploy 0 entry 0", "deploy 14 entry 1", "bgm 3",
      // The opening: the background slides in under the talk and fades out.
      "start 101", "bg show 1", "bg slide 1", "message 11:10000", "message 74:10001",
      "bg fade-out 1", "bg free 1", "end 101",
      // Round 2: the choice, its first line raising heroine 1's trust.
      "start 102", "end 102",
      // The ASHIGARU at half life: the movie.
      "start 103", "movie Movie\\Movie005.mpg", "movie end", "end 103",
      // Round 3: the enemies destroyed, then the ending with its switch.
      "start 104", "remove 14 entry 1", "end 104", "start 110", "message 11:10002"};
  if (faded) {
    want.insert(want.end(), {"task Slg::_exchangeStage", "end 110"});
  } else {
    // Switched at once: the stage (and the running event with it) goes in the ending's frame,
    // before the event check reports the ending finished.
    want.insert(want.end(), {"task Slg::_exchangeStageNofade"});
  }
  // Map B: the hero again and heroine 1 (whose kind has no sprite rows in the install), the
  // opening and the victory.
  want.insert(want.end(), {"remove 0 entry 0", "deploy 0 entry 0", "deploy 1 entry 1",
                           "trace UID:1 BASE_BODY is not described in UnitAnm Table!",
                           "trace UID:1 BASE_EFFECT is not described in UnitAnm Table!",
                           "start 201", "task Slg::GameWin", "end 201"});
  EXPECT_EQ(Story(o.records), want);
  EXPECT_EQ(o.modes, (std::vector<int>{26, 27, 28, 32}));
  EXPECT_EQ(o.lost, 0u);
  EXPECT_EQ(o.trust_gain, 5);
  EXPECT_EQ(o.round_var, 1) << "map B won in its first round";
  EXPECT_TRUE(g_left_at_b.flags.empty()) << "map A's flags at map B's opening";
  EXPECT_FALSE(g_left_at_b.background);
  EXPECT_TRUE(o.sliding_seen);
  EXPECT_TRUE(o.map_after_movie_seen);
  EXPECT_EQ(outcomes[1].records, o.records);
  EXPECT_EQ(outcomes[1].modes, o.modes);
}

// The choice's third line sets the defeat's flag: its row asks for the game over, which the
// player gives up; the battle is lost and the manager goes back to mode 1.
TEST(ScriptedBattleDefeat, TheThirdAnswerLosesTheBattleTheSameWayTwice) {
  g_map_b = 1;
  std::vector<StoryOutcome> outcomes;
  EXPECT_TRUE(testsupport::RunBattleTwice(
      [&outcomes](BattleRig& rig) {
        StoryOutcome out;
        PlayStory(rig, 3, out);
        outcomes.push_back(std::move(out));
      },
      ManagerOptions()));
  ASSERT_EQ(outcomes.size(), 2u);
  const StoryOutcome& o = outcomes[0];
  const std::vector<std::string> story = Story(o.records);
  const auto after_opening = std::find(story.begin(), story.end(), "end 101");
  ASSERT_NE(after_opening, story.end());
  // No movie (the enemy keeps its life), no ending: the defeat's row and the game over with its
  // music.
  EXPECT_EQ(std::vector<std::string>(after_opening + 1, story.end()),
            (std::vector<std::string>{"start 102", "end 102", "start 121", "task Slg::GameOver",
                                      "end 121", "bgm 19"}));
  EXPECT_EQ(o.modes, (std::vector<int>{26, 27, 28, 1}));
  EXPECT_EQ(o.lost, 1u);
  EXPECT_EQ(o.trust_gain, 0);
  EXPECT_EQ(outcomes[1].records, o.records);
}

INSTANTIATE_TEST_SUITE_P(SwitchForms, ScriptedBattle, ::testing::Values(1, 17),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return info.param == 17 ? std::string("faded") : std::string("at_once");
                         });

}  // namespace
