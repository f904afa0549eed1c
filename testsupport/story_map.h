#pragma once
// A two-map story for whole battles with events, written with the map-script toolkit, and the
// player that plays it on the battle rig from the mode manager (tests/battle_events/
// scripted_battle_test.cpp; the story-road benchmark in bench/battle_run_bench.cpp).
//
// Map A (map 0, the builder's minimal stage with its story cast: two heroines, three ASHIGARU,
// the third hidden, two event objects; an event-animation table holding kind 80 and playing kind
// 81 once, two fixed sprites added by the deferred call, a map task): the opening (fade-in,
// background 1 slid in, two messages, the background faded out, a scroll, both event objects
// deployed, heroine 1's walk, the hidden ASHIGARU revealed); on round 2 a choice of three lines
// (heroine 1 + 5, heroine 2 + 5, the defeat's flag 120); once the choice is made and the
// ASHIGARU is at half life or less, Movie005 (the map drawn again, the battle faded in); from
// round 3 the enemies destroyed; with no enemy left the ending (a message, Slg::SwitchStage to
// map B); on flag 120 the game over; after the story's rows the generic rows of heroines 1 and 2.
// Map B (the builder's stage with a heroine in place of the enemy): an opening that fades in and
// wins. Each map's set-up is chosen by the battle map in the battle's setup_map_event.
//
//   testsupport::StoryMapB(17);                    // the map the ending switches to
//   testsupport::LayStoryFiles(rig);
//   testsupport::StoryBattle story(rig, 1);        // before the battle starts (manager mode 26)
//   while (...) { story.BeforeFrame(); rig.Step(); }

#include <cstdint>
#include <optional>
#include <vector>

#include "battle/battle_extension.h"
#include "testsupport/battle_script.h"

class BattleContext;
struct SlgEventEntry;

namespace testsupport {

class BattleRig;
class GameTree;

// The story's rows (their ids are their guard and set flags).
constexpr uint16_t kStoryOpening = 101;
constexpr uint16_t kStoryChoice = 102;
constexpr uint16_t kStoryMovie = 103;
constexpr uint16_t kStoryDestroy = 104;
constexpr uint16_t kStoryEnding = 110;
constexpr int kStoryLostFlag = 120;
constexpr uint16_t kStoryDefeat = 121;
constexpr uint16_t kStoryMapBOpening = 201;
constexpr int kStoryMapA = 0;
// The generic rows of heroines 1 and 2 (slot s: base + s; the turn remarks base + 1 + s, the
// favourite's row the base itself).
constexpr uint16_t kStoryFallBase = 1500;
constexpr uint16_t kStoryRefTalkBase = 1520;
constexpr uint16_t kStoryRefTalk2Base = 1530;
constexpr uint16_t kStoryCharTalkBase = 1600;
constexpr int kStoryBgm = 3;
// Where the opening walks heroine 1 (cell (3, 7), beside the second ASHIGARU at (4, 8)), and the
// name of map A's task.
constexpr int kStoryWalkX = 336;
constexpr int kStoryWalkY = 144;
constexpr const char* kStoryMapTaskName = "Slg::StoryMapA::task";

// Map A's event table (ended by kEventTableEnd).
const SlgEventEntry* StoryMapATable();

// The map the ending switches to (1 by default); given a value, it is set first.
int StoryMapB(int map = -1);

// What map A left when map B's opening started: the story's flags set, and whether an event
// background showed. (Reset by StoryBattle.)
struct StoryLeftAtMapB {
  bool reached = false;
  std::vector<int> flags;
  bool background = false;
  // The animation objects taken (Battle().anm_pool.in_use) and the SlgAlloc blocks not given back
  // (Battle().alloc.live) as each map's opening began (-1: that opening did not run). The switch
  // gave back everything map A held when map B's figures are those of a battle started on map B.
  int32_t anm_in_use_at_a = -1;
  int64_t alloc_live_at_a = -1;
  int32_t anm_in_use_at_b = -1;
  int64_t alloc_live_at_b = -1;
  // Frames map A's task ran; the fixed sprites listed and whether map A's task was there at map
  // B's opening.
  int map_task_frames = 0;
  int fixed_sprites = -1;
  bool map_task = false;
};
const StoryLeftAtMapB& StoryLeft();

// The event faces every battle with events needs (one face file whose face 0 every event face
// opens) and the lip files.
void LayEventFaces(GameTree& tree);
// A scripted headless movie of `seconds` (three solid pictures) for movie group x 100 + index.
void AddScriptedMovie(BattleRig& rig, int group, int index, double seconds);
// The dressed install of map A and StoryMapB(), their message files with the story's lines and
// the choice, every event face opening face 0, and Movie005.
void LayStoryFiles(BattleRig& rig);

// While it lives, the rig's battles install the story (map A's or map B's set-up by the battle
// map); before each frame BeforeFrame plays: the attacks of kinds 0, 1 and 14 stubbed, the hero's
// life kept at 30000, the ASHIGARU's life halved once the choice is made (on the story road,
// answer 1), messages answered with OK, the choice's line `answer` taken after 40 frames (Down,
// OK), a game over given up, and the hero's turn ended when no event runs. Voices off; heroine 1's
// trust 12 and heroine 2's 8 at the start; no wait for an event in wall time while the movie plays.
//
// On the fought road the ASHIGARU's life is kept at 1 (each hit defeats), heroine 1's like the
// hero's, and heroine 2 falls (life 0, the defeated state, as a defeating hit leaves her) on the
// hero's first turn; the hero walks beside the nearest ASHIGARU and attacks it with the real
// commands, a heroine attacks one beside her; each ends its turn after one attack, or at once
// when it has none to attack.
class StoryBattle {
 public:
  enum class Road { kStory, kFought };
  StoryBattle(BattleRig& rig, int answer, Road road = Road::kStory);
  StoryBattle(const StoryBattle&) = delete;
  StoryBattle& operator=(const StoryBattle&) = delete;

  void BeforeFrame();

 private:
  // Heroine 2 felled, on the fought road.
  void FoughtHook();
  // A free cell beside the live ASHIGARU nearest to `unit` (its own cell when it stands beside
  // one); false when none is left.
  static bool BesideAnEnemy(const SlgUnit& unit, SlgCell& to);

  int answer_;
  Road road_;
  bool felled_ = false;
  int choice_frames_ = 0;
  int downs_ = 0;
  bool halved_;
  // Made after the event table's installer, so that it runs after it at each build.
  std::optional<ScopedBattleInstaller> by_map_;
  BattleScript player_;
};

}  // namespace testsupport
