#pragma once
// The event harness: a map's set-up (its event table, event-animation table, deferred call and
// tasks) run headless in a real battle on the battle rig, with the battle moments a story waits
// for raised on request and what the story did recorded frame by frame.
//
//   testsupport::EventHarness h(kMap01Setup);
//   h.messages.Add({.id = 10000, .voice_word = 0, .lip = "", .text = "..."});
//   h.SetTrust(1, 12);
//   h.Start();                                   // until the battle's first main-task frame
//   ASSERT_TRUE(h.RunUntilIdle(600));
//   EXPECT_EQ(h.Records("message"), (std::vector<std::string>{"message 11:10000", ...}));
//
// The battle: the builder's dressed install (testsupport/battle_install.h) of the chosen stage,
// with the stage (`install.stage`) open to change before Start: AddObject adds event objects
// (placement entries of kinds 80 and above in category 3, their EventAnm rows and tiny sprite
// files; kind 80 keeps the install's own row and sprite); `messages` is the battle message file;
// a face file opens every event face. The set-up goes into the battle's set-up row of the stage
// (the map set-up's seam), so the real initialisation installs it at its step 5 as it installs a
// map's own.
//
// Before Start: P values and trust (set before the battle starts), the random numbers SlgRand
// answers (in turn; the last repeats), the flags the battle core would have set (198, 199,
// 427-429, ...), which the harness sets right after the set-up's install (the install clears the
// flags), attack stubs for kinds whose attacks a test does not want to see.
//
// Moments: each is applied in turn control's slot of the next frame (the phase entries
// Battle().phases are the harness's), so the event check of that frame sees it, as it sees the
// core's own. While an event holds the turn (the hold word) turn control does not run and the
// moments wait.
//   BeginTurn()       round + 1 into state.round, turn_counter and P[72]; timing bit 0x0001
//   Act(g, c)         the unit becomes the acting one (Slg::SetActingUnit with its order
//                     position): bits 0x0004 | 0x0008 and the previous actor from the core
//   Command(choice)   Battle().player.last_choice := choice (MA 2, MAD 18) for that frame (0
//                     again after it, so M(...) holds on that frame only); bit 0x0002
//   Defeat(t, by)     the target's life 0, the first event unit reference := the defeater's
//                     slot, the target removed on request (EventRemoveUnit); no bit (a KP row
//                     fires at the next 0x0004 moment)
//   Partner(a, p)     the second event unit reference := the partner's slot; bit 0x0010
//   MoveTo, SetLife   a unit placed on a pixel point / its life set
// Units are named by group and character (FindUnitByGroupKind); a missing one fails the test.
//
// Running: messages that wait for a key are answered (OK pressed for a frame) unless
// Options::answer_messages is off; timed choices take the queued answers (AnswerChoice) through
// the input rows once their window is open, or time out. RunUntilIdle runs until a frame ends with
// no event running and none started (the check task idle) and no moment waiting. A limit that
// runs out fails the test with the running row's index, id and EventStep.
//
// Records: the event recorder's list (testsupport/event_recorder.h), one in frame order for the
// whole run.
// An unexpected "trace" record fails the test when the harness goes (ExpectTrace lets one pass).

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "battle_events/map_setup.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_rig.h"
#include "testsupport/event_recorder.h"
#include "testsupport/script_writer.h"

struct SlgMainWork;
struct SlgUnit;

namespace testsupport {

class EventHarness {
 public:
  struct Options {
    BattleRig::Options rig{};
    // The battle map (stage) the set-up runs in.
    int stage = 0;
    bool answer_messages = true;
  };

  explicit EventHarness(const MapSetup& setup);
  EventHarness(const MapSetup& setup, Options options);
  ~EventHarness();
  EventHarness(const EventHarness&) = delete;
  EventHarness& operator=(const EventHarness&) = delete;

  // ---- Before Start ----
  BattleInstall install;
  MessageTableWriter messages;
  // An event object's placement entry (kind 80 or above, category 3, not made at the start) at
  // pixel (x, y) with that character byte; its EventAnm row and sprite file are laid. The entry.
  int AddObject(int kind, int character, int x, int y);
  // A unit's placement entry (made at the start; the hero's entry's flags) of that side,
  // character, kind and category. Both number the entries of a kind 1, 2, ... (placement
  // numbers).
  int AddUnit(int side, int character, int kind, int category, int x, int y);
  // A scripted movie of `seconds` (three solid pictures) for movie group x 100 + index.
  void AddMovie(int group, int index, double seconds);
  void SetP(int n, uint16_t value);
  void SetTrust(int heroine, int32_t trust);
  void SetRandom(std::vector<int32_t> values);
  void SetFlagAtInstall(int flag);
  void StubAttacks(std::initializer_list<int> kinds);
  // A trace that contains `fragment` does not fail the test.
  void ExpectTrace(std::string fragment);
  // Another map's stage in the same install, for a chain of stages played through the real
  // switch (Slg::SwitchStage): its stage files and battle message file laid beside the harness's
  // own, its event objects' rows added to the shared EventAnm table, and `setup` put into the
  // battle's set-up row of its stage (stage.stage.map) each time the battle is built, so the
  // switch's new initialisation installs it. The flags of SetFlagAtInstall are the harness's own
  // stage's only.
  void AddChainStage(const MapSetup& setup, const BattleInstall& stage,
                     const MessageTableWriter& stage_messages);
  // The story given so far (SetP, SetTrust, SetFlagAtInstall, AnswerChoice, each in order).
  struct Inputs {
    std::vector<std::pair<int, uint16_t>> p{};
    std::vector<std::pair<int, int32_t>> trust{};
    std::vector<int> flags{};
    std::vector<int> answers{};
  };
  Inputs inputs() const { return {p_values_, trusts_, install_flags_, choice_answers_}; }
  // Lays the files, starts the battle and runs until its first main-task frame (round 1).
  void Start();

  // ---- Moments ----
  void BeginTurn();
  void Act(int group, int character);
  void Command(int choice);
  void Defeat(int group, int character, int by_group, int by_character, bool remove = false);
  void Partner(int acting, int partner);
  void MoveTo(int group, int character, int x, int y);
  void SetLife(int group, int character, int life);
  // The next timed choice is answered with line 1-3.
  void AnswerChoice(int line);

  // ---- Running ----
  void RunFrames(int n);
  // Runs until `reached` (checked after each frame; it may hold already) or `limit` frames; a
  // limit run out fails the test (naming `what` and the running row).
  bool RunUntil(const std::string& what, const std::function<bool()>& reached, int limit);
  bool RunUntilIdle(int limit);
  // Whether no event runs and none started in the last frame, and no moment waits.
  bool Idle() const;

  // ---- Records ----
  const std::vector<EventRecord>& records() const { return recorder_.records(); }
  std::vector<std::string> Records(const std::string& prefix) const {
    return recorder_.Records(prefix);
  }
  int FrameOf(const std::string& what) const { return recorder_.FrameOf(what); }
  // Each set-up the battle installed, in order (the first stage's, then one per stage switch):
  // its stage, the frame, how many event flags were set right after it (before the harness's
  // install flags) and the story variables (A and P, GetMacroVar) then.
  struct StageSetUp {
    int stage = 0;
    int frame = 0;
    int flags_set = 0;
    std::vector<uint16_t> variables{};
  };
  const std::vector<StageSetUp>& setups() const { return setups_; }
  // "row 3 (id 1500) step 2", or "no event" (the running row, for failures).
  std::string RunningRow() const;

  BattleRig& rig() { return rig_; }
  // The unit of that group and character; null (and the test failed) when missing.
  SlgUnit* Unit(int group, int character);

 private:
  static void Installer(BattleContext& battle);
  static void SetupMapEvent(int stage);
  void Step();
  void AfterFrame();
  void PhaseSlot(SlgMainWork* work);

  struct ChainStage {
    MapSetup setup;
    BattleInstall install;
    MessageTableWriter messages;
  };

  Options options_;
  MapSetup setup_;
  std::vector<std::unique_ptr<ChainStage>> chain_;  // the set-up rows point into them
  BattleRig rig_;
  std::unique_ptr<ScopedEventTable> events_;
  std::unique_ptr<ScopedBattleInstaller> installer_;
  std::vector<std::pair<int, uint16_t>> p_values_;
  std::vector<std::pair<int, int32_t>> trusts_;
  std::vector<int32_t> random_;
  size_t random_at_ = 0;
  std::vector<int> install_flags_;
  std::vector<int> stub_kinds_;
  std::vector<std::string> expected_traces_;
  std::vector<std::function<void()>> moments_;
  std::vector<int> choice_answers_;
  bool clear_command_ = false;  // the command word goes back to 0 after this frame
  int choice_opened_ = -1;   // the frame the current choice window opened
  EventRecorder recorder_{rig_.driver()};
  std::vector<StageSetUp> setups_;
  bool started_ = false;
};

// Runs a scenario twice on fresh harnesses (each made by `make`) and compares their records; the
// first difference fails the test. Whether they were the same.
bool RunEventsTwice(const std::function<std::unique_ptr<EventHarness>()>& make,
                    const std::function<void(EventHarness&)>& scenario);

}  // namespace testsupport
