#pragma once
// The attack recorder: while it lives, one line per change of what an attack may touch, each with
// the rig frame it happened in, so that a test asserts filtered sub-sequences of it.
//
// Told as it happens (the battle's test hooks, battle/slg_test_hooks.h), also within a frame:
//   "task+ <name> <owner>"   an effect task made, under the engine task named <owner>
//   "task- <name>"           an effect task ended
//   "voice <n>", "se <n>", "se-stop <n>", "bgm-volume <v> <frames>"   the battle's sound calls
// Sampled after every frame (EndFrame), a line when it changed:
//   "routine <name>"         the routine the dispatch called last (AttackRoutineName; "(other)"
//                            for a test's double)
//   "unit <u> state <s>"     u: the unit's slot, or "A" for the battle action task's attacker
//   "unit <u> hit on|off"    flag 0x4, the hit signal (also caught before each unit's update:
//                            BeforeUnitUpdate, so a signal its update consumes is seen)
//   "unit <u> shown on|off"  flag 0x80
//   "battle-flags 0x<hex>"   Battle().flags
//   "event <n> on|off"       an event flag
//   "scroll <x> <y>", "plane <n> <x> <y>"   the battle scroll, the map planes' offsets
//   "fade <level> <running>" the screen fade level and whether a battle fade runs (0 / 1)
//   "layers <v> <c> clear <f>"   layers 4-8: visible and copy bits as five digits, the clear flag
//   "entries <n>", "polygons <n>"   sprite-buffer entries and polygon entries drawn in the frame
//                            (counted just before the compose, one-frame entries included)
//   "anims <n>"              live engine animations
//   "alloc <n>"              SlgAlloc blocks not given back (Battle().alloc.live)
//
// The recorder sets the battle context's test hooks and wraps the engine services (to count
// before the compose); its end puts both back.

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "battle/slg_test_hooks.h"
#include "engine/gfx/gfx_types.h"

class BattleContext;
class EngineServices;
struct SlgEffectTask;
struct SlgUnit;

namespace testsupport {

struct AttackTraceLine {
  int frame = 0;    // the rig frame (AttackRig: frames since the attack's start)
  uint32_t ms = 0;  // the game clock when it was recorded
  std::string text;
};

class AttackTrace {
 public:
  explicit AttackTrace(BattleContext& battle);
  ~AttackTrace();
  AttackTrace(const AttackTrace&) = delete;
  AttackTrace& operator=(const AttackTrace&) = delete;

  // The frame lines are filed under (the rig sets it before each step).
  void SetFrame(int frame) { frame_ = frame; }
  // Watches the battle action task's private attacker too (as unit "A").
  void WatchActionAttacker(bool on) { watch_action_ = on; }
  // Notes a hit signal the unit carries before its update consumes it.
  void BeforeUnitUpdate(const SlgUnit& unit);
  // Samples every watched value; one line per change.
  void EndFrame();
  // While paused the recorder is out of the game's way: the battle's test hooks and the engine
  // services are what they were before it, so it is told nothing and counts no compose (a
  // benchmark times and counts the game's own work); resumed, it records again.
  void Pause(bool paused);

  const std::vector<AttackTraceLine>& lines() const { return lines_; }
  // The texts of the lines that start with one of the prefixes, in order.
  std::vector<std::string> Filter(const std::vector<std::string>& prefixes) const;
  // The texts of every line, "frame: text" (for a failure's message and run-twice).
  std::vector<std::string> Texts() const;
  // The first line whose text contains the fragment (null when none), and its frame (-1).
  const AttackTraceLine* Find(const std::string& fragment) const;
  int FrameOf(const std::string& fragment) const;

  // Unit slots that carried the hit signal at any time (the action attacker never counts).
  const std::set<int>& hit_signalled() const { return hit_signalled_; }
  // The sound calls in order (the "voice", "se", "se-stop" and "bgm-volume" lines).
  std::vector<std::string> SoundCalls() const;
  // The music volume as the last call left it (100 before any).
  int bgm_volume() const { return bgm_volume_; }
  int peak_entries() const { return peak_entries_; }
  int peak_polygons() const { return peak_polygons_; }
  // Called just before each compose, while the frame's one-frame entries are still in the
  // buffers (a test reads them there); empty: nothing.
  void SetComposeProbe(std::function<void()> probe) { compose_probe_ = std::move(probe); }
  // The counts the last compose saw.
  int entries() const { return entries_; }
  int polygons() const { return polygons_; }

  // What the recorder samples, as now: live animations, UnitAnm references (the sum over the
  // loaded animation sets), the layer state.
  static int LiveAnimations();
  static int AnimationSetReferences();
  static LayerState Layers();

 private:
  class Services;
  struct Sample;

  void Add(std::string text);
  void Compose();
  static void OnTask(void* user, SlgTaskEvent event, const SlgEffectTask& task);
  static void OnSound(void* user, SlgSoundCall call, int value, int frames);

  BattleContext& battle_;
  SlgTestHooks saved_hooks_;
  SlgTestHooks own_hooks_;  // the recorder's hooks while it is paused
  bool paused_ = false;
  std::unique_ptr<Services> services_;
  std::unique_ptr<Sample> last_;
  std::vector<AttackTraceLine> lines_;
  std::set<int> hit_signalled_;
  int frame_ = 0;
  bool watch_action_ = false;
  uint32_t routine_calls_ = 0;
  const void* routine_ = nullptr;
  int bgm_volume_ = 100;
  int entries_ = 0;
  int polygons_ = 0;
  int peak_entries_ = 0;
  int peak_polygons_ = 0;
  std::function<void()> compose_probe_;
};

// Whether `want` is a sub-sequence of `got` (in order, gaps allowed); when not, `why` names the
// first element missing and what came instead.
bool IsSubsequence(const std::vector<std::string>& got, const std::vector<std::string>& want,
                   std::string* why = nullptr);

}  // namespace testsupport
