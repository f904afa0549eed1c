// A scripted battle played whole from the mode manager: a two-map story written with the
// map-script toolkit (an opening with a background and talk, a timed choice, a movie once the
// enemy is hurt, the enemy destroyed, an ending that switches to the second map, whose opening
// wins), the player ending each turn and answering the messages and the choice through the
// input rows. The same story runs with a second map the core switches to at once and with one it
// fades to, each twice with the same frames, sounds and rows.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_turn.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/event_units.h"
#include "battle_events/runtime/event_tone.h"
#include "engine/core/debug_trace.h"
#include "flow/tamvik_general.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_rig.h"
#include "testsupport/event_anm_writer.h"
#include "testsupport/event_recorder.h"
#include "testsupport/spr_writer.h"
#include "testsupport/story_map.h"

namespace {

using testsupport::BattleInstall;
using testsupport::BattleRig;

struct StoryOutcome {
  std::vector<testsupport::EventRecord> records;
  std::vector<std::string> traces;
  std::vector<int> modes;
  int trust_gain = 0;  // heroine 1's, heroine 2's
  int trust2_gain = 0;
  uint32_t lost = 0;
  uint16_t round_var = 0;
  // The checkpoints' frames taken (the background half slid in, an event object playing, the
  // tone half way in the reveal, the map after the movie).
  bool sliding_seen = false;
  bool object_playing_seen = false;
  bool reveal_half_seen = false;
  bool map_after_movie_seen = false;
  // As the opening ended: heroine 1's cell, whether the hidden ASHIGARU shows (out of tone
  // control), the pixels of the once object's colours on screen and both objects' handler
  // phases (their state bytes).
  SlgCell heroine1_cell{};
  bool hidden_shown = false;
  int once_pixels_after = -1;
  int once_state_after = -1;
  int hold_state_after = -1;
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

// The pixels of the latest frame in either pattern colour of an event object kind.
int KindPixels(const BattleRig& rig, int kind) {
  using testsupport::EventAnmWriter;
  const uint32_t a = rig.Shown(testsupport::SprColourRef(EventAnmWriter::Colour(kind, 0)));
  const uint32_t b = rig.Shown(testsupport::SprColourRef(EventAnmWriter::Colour(kind, 1)));
  int n = 0;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const uint32_t c = rig.PixelAt(x, y);
      n += (c == a || c == b) ? 1 : 0;
    }
  }
  return n;
}

// The third ASHIGARU (placed hidden), null when not there.
const SlgUnit* HiddenAshigaru() {
  for (uint32_t i = 0; i < Battle().state.unit_count; ++i) {
    const SlgUnit& u = Battle().state.units[i];
    if (u.entry == BattleInstall::kHiddenAshigaruEntry) return &u;
  }
  return nullptr;
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
  // Kind 81's object playing its one pass (the fixed sprites show kind 80's picture): one square
  // of its colour on screen.
  const SlgUnit* once = FindUnitByKind(BattleInstall::kObjectKinds[1]);
  if (!out.object_playing_seen && once != nullptr && once->state == 1 &&
      once->deploy_state == 2) {
    out.object_playing_seen = true;
    rig.SaveFrame("story_event_object_playing");
    const int n = KindPixels(rig, BattleInstall::kObjectKinds[1]);
    EXPECT_GT(n, 0);
    EXPECT_LE(n, testsupport::EventAnmWriter::kSide * testsupport::EventAnmWriter::kSide);
  }
  // The hidden ASHIGARU half faded in: its body's alpha that of a tone level half way.
  const SlgUnit* hidden = HiddenAshigaru();
  if (!out.reveal_half_seen && rt.reveal_phase >= 2 && hidden != nullptr &&
      hidden->anm != nullptr && hidden->anm->shade == kToneShade) {
    const int alpha = SlgSprGetAlpha(hidden->anm);
    if (alpha >= 96 && alpha <= 160) {
      out.reveal_half_seen = true;
      rig.SaveFrame("story_reveal_half_way");
      bool a_level = false;
      for (int level = 0; level <= kToneInvisible; ++level) {
        a_level = a_level || alpha == (kToneInvisible - level) * 256 / kToneInvisible;
      }
      EXPECT_TRUE(a_level) << alpha;
    }
  }
  // The opening's end: the walk done, the reveal done, the once object gone, the held one there.
  if (out.once_pixels_after < 0 && recorder.FrameOf("end 101") >= 0) {
    if (const SlgUnit* h1 = FindUnitByGroupKind(0, 1)) {
      out.heroine1_cell = PosToCell(h1->x >> 16, h1->y >> 16);
    }
    out.hidden_shown = hidden != nullptr && (hidden->flags & kUnitShown) != 0 &&
                       hidden->anm != nullptr && hidden->anm->shade != kToneShade;
    out.once_pixels_after = KindPixels(rig, BattleInstall::kObjectKinds[1]);
    out.once_state_after = once != nullptr ? once->state : -1;
    const SlgUnit* held = FindUnitByKind(BattleInstall::kObjectKinds[0]);
    out.hold_state_after = held != nullptr ? held->state : -1;
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
void PlayStory(BattleRig& rig, int answer, StoryOutcome& out,
               testsupport::StoryBattle::Road road = testsupport::StoryBattle::Road::kStory) {
  testsupport::LayStoryFiles(rig);
  testsupport::StoryBattle story(rig, answer, road);
  const int trust_before = GetTrustVar(1);
  const int trust2_before = GetTrustVar(2);
  testsupport::EventRecorder recorder(rig.driver());
  constexpr int kFrameLimit = 6000;
  int f = 0;
  for (; f < kFrameLimit; ++f) {
    const int mode = CTamvikGeneral::GetMode();
    if (out.modes.empty() || out.modes.back() != mode) out.modes.push_back(mode);
    if (f > 0 && (mode < 26 || mode > 28)) break;
    if (HasBattle() && Battle().test_hooks.user != &recorder) recorder.Attach(Battle());
    story.BeforeFrame();
    if (!rig.Step()) break;
    recorder.AfterFrame(rig.event_notes());
    TakeCheckpoints(rig, recorder, out);
  }
  if (HasBattle()) recorder.Detach(Battle());
  out.records = recorder.records();
  for (const DebugTraceLine& line : rig.driver().trace().lines()) out.traces.push_back(line.text);
  out.round_var = GetMacroP(kSlgRoundVar);
  EXPECT_LT(f, kFrameLimit) << "the battle did not hand back";
  out.trust_gain = GetTrustVar(1) - trust_before;
  out.trust2_gain = GetTrustVar(2) - trust2_before;
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

// The story's records after the opening's end (empty, and the test failed, when it did not end).
std::vector<std::string> AfterOpening(const StoryOutcome& o) {
  const std::vector<std::string> story = Story(o.records);
  const auto end = std::find(story.begin(), story.end(), "end 101");
  if (end == story.end()) {
    ADD_FAILURE() << "the opening did not end";
    return {};
  }
  return std::vector<std::string>(end + 1, story.end());
}

// The story with the choice's line `answer`, played on two fresh rigs (`RunBattleTwice`: the same
// frames and sound calls); both runs' outcomes.
std::vector<StoryOutcome> PlayTwice(
    int answer, testsupport::StoryBattle::Road road = testsupport::StoryBattle::Road::kStory) {
  std::vector<StoryOutcome> outcomes;
  EXPECT_TRUE(testsupport::RunBattleTwice(
      [&outcomes, answer, road](BattleRig& rig) {
        StoryOutcome out;
        PlayStory(rig, answer, out, road);
        outcomes.push_back(std::move(out));
      },
      ManagerOptions()));
  return outcomes;
}

// A battle started on map B itself (its opening notes what it finds and wins).
testsupport::StoryLeftAtMapB MapBAlone() {
  BattleRig rig(ManagerOptions());
  testsupport::LayStoryFiles(rig);
  testsupport::StoryBattle story(rig, 1);
  // The mode manager takes the battle map from the scene that asks for the battle.
  GetAdvState()->setSceneCode(testsupport::StoryMapB() == 17 ? 0x0A01 : 0x0204);
  for (int f = 0; f < 600 && !testsupport::StoryLeft().reached; ++f) {
    story.BeforeFrame();
    if (!rig.Step()) break;
  }
  return testsupport::StoryLeft();
}

class ScriptedBattle : public ::testing::TestWithParam<int> {};

TEST_P(ScriptedBattle, TheStoryRoadPlaysFromTheOpeningToTheVictoryTheSameWayTwice) {
  const bool faded = testsupport::StoryMapB(GetParam()) == 17;
  const std::vector<StoryOutcome> outcomes = PlayTwice(1);
  ASSERT_EQ(outcomes.size(), 2u);
  const StoryOutcome& o = outcomes[0];
  std::vector<std::string> want = {
      // The story cast: the hero, the ASHIGARU, heroines 1 and 2, the second ASHIGARU and the
      // third (present, not shown).
      "deploy 0 entry 0", "deploy 14 entry 1", "deploy 1 entry 2", "deploy 2 entry 3",
      "deploy 14 entry 4", "deploy 14 entry 5", "bgm 3",
      // The opening: the background slides in under the talk and fades out; the event objects,
      // heroine 1's walk and the reveal (its sound).
      "start 101", "bg show 1", "bg slide 1", "message 11:10000", "message 74:10001",
      "bg fade-out 1", "bg free 1", "deploy 80 entry 6", "deploy 81 entry 7", "se 244",
      "end 101",
      // Heroine 2's turn remark by the seeded chance (trust 8: its fourth or fifth line).
      "start 1602", "message 74:3029", "end 1602",
      // Round 2: the choice, its first line raising heroine 1's trust.
      "start 102", "end 102",
      // The ASHIGARU at half life: the movie.
      "start 103", "movie Movie\\Movie005.mpg", "movie end", "end 103",
      // The favourite's remark (heroine 1, whose trust is the highest) by the seeded chance.
      "start 1600", "message 30:3031", "end 1600",
      // Round 3: the enemies destroyed, then the ending with its switch.
      "start 104", "remove 14 entry 1", "remove 14 entry 4", "remove 14 entry 5", "end 104",
      "start 110", "message 11:10002"};
  if (faded) {
    want.insert(want.end(), {"task Slg::_exchangeStage", "end 110"});
  } else {
    // Switched at once: the stage (and the running event with it) goes in the ending's frame,
    // before the event check reports the ending finished.
    want.insert(want.end(), {"task Slg::_exchangeStageNofade"});
  }
  // Map A's units and objects go with its stage; map B: the hero again and heroine 1, the
  // opening and the victory.
  want.insert(want.end(), {"remove 0 entry 0", "remove 1 entry 2", "remove 2 entry 3",
                           "remove 80 entry 6", "remove 81 entry 7", "deploy 0 entry 0",
                           "deploy 1 entry 1", "start 201", "task Slg::GameWin", "end 201"});
  EXPECT_EQ(Story(o.records), want);
  EXPECT_EQ(o.modes, (std::vector<int>{26, 27, 28, 32}));
  EXPECT_EQ(o.lost, 0u);
  EXPECT_EQ(o.trust_gain, 5);
  EXPECT_EQ(o.round_var, 1) << "map B won in its first round";
  ASSERT_TRUE(testsupport::StoryLeft().reached);
  EXPECT_TRUE(testsupport::StoryLeft().flags.empty()) << "map A's flags at map B's opening";
  EXPECT_FALSE(testsupport::StoryLeft().background);
  // Map A's objects and blocks gone with its stage: map B's opening holds what it holds in a
  // battle started on map B.
  const testsupport::StoryLeftAtMapB switched = testsupport::StoryLeft();
  const testsupport::StoryLeftAtMapB alone = MapBAlone();
  ASSERT_TRUE(alone.reached);
  EXPECT_EQ(alone.anm_in_use_at_a, -1) << "map A's opening did not run";
  EXPECT_GE(switched.anm_in_use_at_a, 0);
  EXPECT_EQ(switched.anm_in_use_at_b, alone.anm_in_use_at_b);
  EXPECT_EQ(switched.alloc_live_at_b, alone.alloc_live_at_b);
  EXPECT_TRUE(o.sliding_seen);
  EXPECT_TRUE(o.object_playing_seen);
  EXPECT_TRUE(o.reveal_half_seen);
  const SlgCell walk_to = PosToCell(testsupport::kStoryWalkX, testsupport::kStoryWalkY);
  EXPECT_EQ(o.heroine1_cell.column, walk_to.column);
  EXPECT_EQ(o.heroine1_cell.row, walk_to.row);
  EXPECT_TRUE(o.hidden_shown);
  EXPECT_EQ(o.once_pixels_after, 0) << "the once object released at its end";
  EXPECT_EQ(o.once_state_after, 2);
  EXPECT_EQ(o.hold_state_after, 1) << "the held object keeps its last frame";
  EXPECT_GT(switched.map_task_frames, 0);
  EXPECT_EQ(switched.fixed_sprites, 0);
  EXPECT_FALSE(switched.map_task);
  EXPECT_TRUE(o.map_after_movie_seen);
  const auto count = [&o](const std::string& line) {
    return std::count(o.traces.begin(), o.traces.end(), line);
  };
  EXPECT_EQ(count("MoviePlay: Movie\\Movie005.mpg.\n"), 1);
  EXPECT_EQ(count("SLG INIT END\n"), 2) << "map A, then map B";
  EXPECT_EQ(outcomes[1].records, o.records);
  EXPECT_EQ(outcomes[1].traces, o.traces);
  EXPECT_EQ(outcomes[1].modes, o.modes);
}

// The choice's third line sets the defeat's flag: its row asks for the game over, which the
// player gives up; the battle is lost and the manager goes back to mode 1.
TEST(ScriptedBattleDefeat, TheThirdAnswerLosesTheBattleTheSameWayTwice) {
  testsupport::StoryMapB(1);
  const std::vector<StoryOutcome> outcomes = PlayTwice(3);
  ASSERT_EQ(outcomes.size(), 2u);
  const StoryOutcome& o = outcomes[0];
  // Heroine 2's turn remark, no movie (the enemy keeps its life), no ending: the defeat's row and
  // the game over with its music.
  EXPECT_EQ(AfterOpening(o),
            (std::vector<std::string>{"start 1602", "message 74:3029", "end 1602", "start 102",
                                      "end 102", "start 121", "task Slg::GameOver", "end 121",
                                      "bgm 19"}));
  EXPECT_EQ(o.modes, (std::vector<int>{26, 27, 28, 1}));
  EXPECT_EQ(o.lost, 1u);
  EXPECT_EQ(o.trust_gain, 0);
  EXPECT_EQ(outcomes[1].records, o.records);
  EXPECT_EQ(outcomes[1].traces, o.traces);
}

// The fought road: the hero and heroine 1 defeat the ASHIGARU with the real commands (each hit
// defeats); heroine 1's defeat brings her remark; heroine 2 falls and her fall scene runs.
TEST(ScriptedBattleFought, TheHeroAndHeroineOneDefeatTheAshigaruTheSameWayTwice) {
  testsupport::StoryMapB(1);
  const std::vector<StoryOutcome> outcomes = PlayTwice(1, testsupport::StoryBattle::Road::kFought);
  ASSERT_EQ(outcomes.size(), 2u);
  const StoryOutcome& o = outcomes[0];
  EXPECT_EQ(AfterOpening(o),
            (std::vector<std::string>{
                // Heroine 1, beside the second ASHIGARU since the opening's walk, defeats it: her
                // remark on the defeat as the next unit begins to act, while its death plays.
                "start 1520", "message 30:3013", "end 1520", "remove 14 entry 4",
                // Heroine 2 felled on the hero's turn: her death, her fall scene (trust 8: the
                // second line) with its sound.
                "remove 2 entry 3", "start 1501", "message 81:3021", "se 21", "end 1501",
                // The hero walks beside the first ASHIGARU and defeats it.
                "remove 14 entry 1",
                // Round 2: the choice, the movie (the last ASHIGARU is at 1 life), its defeat.
                "start 102", "end 102", "start 103", "movie Movie\\Movie005.mpg", "movie end",
                "end 103", "remove 14 entry 5",
                // No enemy left: the ending, the switch and map B's victory.
                "start 110", "message 11:10002", "task Slg::_exchangeStageNofade",
                "remove 0 entry 0", "remove 1 entry 2", "remove 80 entry 6", "remove 81 entry 7",
                "deploy 0 entry 0", "deploy 1 entry 1", "start 201", "task Slg::GameWin",
                "end 201"}));
  EXPECT_EQ(o.modes, (std::vector<int>{26, 27, 28, 32}));
  EXPECT_EQ(o.lost, 0u);
  EXPECT_EQ(o.trust_gain, 5);
  EXPECT_EQ(o.trust2_gain, -10) << "heroine 2's fall";
  EXPECT_EQ(o.round_var, 1) << "map B won in its first round";
  EXPECT_EQ(outcomes[1].records, o.records);
  EXPECT_EQ(outcomes[1].traces, o.traces);
  EXPECT_EQ(outcomes[1].modes, o.modes);
}

INSTANTIATE_TEST_SUITE_P(SwitchForms, ScriptedBattle, ::testing::Values(1, 17),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return info.param == 17 ? std::string("faded") : std::string("at_once");
                         });

}  // namespace
