// Whole battles from the mode manager on the battle rig: the builder's install, the real manager
// entering mode 26 and starting the battle through its sequence entry, an event table installed
// at each set-up (the victory table: an opening that shows the map, the victory once no enemy is
// left; the lone-unit, switch, summoner and bosses rows have tables of their own), the clock
// stepped one frame at a time until the manager leaves its battle modes. Each row asserts the
// outcome (modes, the lost-battle word, the round variable, traces, exactly its own victories and
// game overs begun and none after the hand-back), and runs the same way twice.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/battle_extension.h"
#include "battle/slg_attack.h"
#include "battle/slg_boss_exit.h"
#include "battle/slg_enemy.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_geometry.h"
#include "battle/slg_objects_state.h"
#include "battle/slg_player.h"
#include "battle/slg_task.h"
#include "battle/slg_player.h"
#include "battle/slg_start.h"
#include "battle/slg_summon.h"
#include "battle/slg_turn.h"
#include "battle_effects/attack_dispatch.h"
#include "battle_effects/effects_install.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/game_task.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "flow/tamvik_general.h"
#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "platform/sound_buffer.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_rig.h"
#include "testsupport/battle_script.h"
#include "testsupport/event_tables.h"
#include "testsupport/game_over_pictures.h"
#include "testsupport/program_driver.h"
#include "testsupport/stage_writer.h"
#include "testsupport/system_sprites.h"
#include "testsupport/unit_anm_writer.h"

namespace {

using testsupport::BattleInstall;
using testsupport::BattleRig;
using testsupport::kOpeningRow;
using testsupport::kVictoryRow;

// The attack type a critical strike leaves in the striker's stats.
constexpr uint8_t kCriticalAttack = 2;

bool TaskExists(const char* name) { return Ctx().game_task.FindTask(name) != nullptr; }

// ---- Pixel probes of the presented frame ----

// Whether a frame's COLORREF shows this 5-bit colour: the top five bits of each 8-bit channel, as
// both the 5:6:5 and the 5:5:5 frame keep them.
bool Shows(uint32_t ref, testsupport::SprRgb c) {
  return (ref >> 3 & 31) == c.r && (ref >> 11 & 31) == c.g && (ref >> 19 & 31) == c.b;
}

// The 5-bit colours the latest frame holds, as a set of 15-bit words (r | g << 5 | b << 10).
std::vector<bool> FrameColours(const BattleRig& rig) {
  std::vector<bool> seen(1 << 15);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const uint32_t ref = rig.PixelAt(x, y);
      seen[(ref >> 3 & 31) | (ref >> 11 & 31) << 5 | (ref >> 19 & 31) << 10] = true;
    }
  }
  return seen;
}
bool Holds(const std::vector<bool>& seen, testsupport::SprRgb c) {
  return seen[static_cast<size_t>(c.r | c.g << 5 | c.b << 10)];
}
// Whether the frame holds any frame colour of a system sprite slot.
bool HoldsSystemSprite(const std::vector<bool>& seen, int slot) {
  for (int f = 0; f < testsupport::SystemSpriteSet::Frames(slot); ++f) {
    if (Holds(seen, testsupport::SystemSpriteSet::Colour(slot, f))) return true;
  }
  return false;
}

// Expects the unit drawn where it stands: its sprite of the unit animation writer (16 wide,
// centred on the unit's x, a white strip on one side, mirrored or not) with the body in a colour
// of its body slot (slot 0, any pattern), in some row within a cell height of the unit's y (the
// probe does not fix the vertical anchor).
void ExpectUnitShown(const BattleRig& rig, const SlgUnit& u, const char* what) {
  using testsupport::UnitAnmWriter;
  const SlgBattleState& s = Battle().state;
  const int x = (u.x >> 16) - s.scroll_x - s.scroll_offset_x;
  const int y = ((u.y - u.lift) >> 16) - s.scroll_y - s.scroll_offset_y;
  const int left = x - UnitAnmWriter::kWidth / 2;
  const int right = left + UnitAnmWriter::kWidth - 1;
  int found = 0;
  for (int row = y - UnitAnmWriter::kHeight; row < y + UnitAnmWriter::kHeight && found == 0; ++row) {
    const bool marker = Shows(rig.PixelAt(left, row), UnitAnmWriter::kMarker) ||
                        Shows(rig.PixelAt(right, row), UnitAnmWriter::kMarker);
    for (int p = 0; p < 8 && marker && found == 0; ++p) {
      if (Shows(rig.PixelAt(x, row), UnitAnmWriter::Colour(0, p))) found = 1;
    }
  }
  EXPECT_EQ(found, 1) << what << ": no white strip beside a body colour at " << left << "-" << right
                      << ", rows " << y - UnitAnmWriter::kHeight << "-" << y + UnitAnmWriter::kHeight;
}

// One row's battle: the rig with the real manager in mode 26, the install laid, the voices off,
// `events` installed at each build of the battle; the manager's modes recorded as they change.
class BattleRun {
 public:
  static constexpr int kFrameLimit = 5000;

  explicit BattleRun(BattleRig& rig, const SlgEventEntry* events = testsupport::kVictoryEvents)
      : rig(rig), effects(&InstallBattleEffects) {
    GetSystemData()->setVoiceOff(1);
    rig.InstallEventTable(events);
  }
  BattleRun(const BattleRun&) = delete;
  BattleRun& operator=(const BattleRun&) = delete;

  // Steps until the manager has left its battle modes (26-28), under the frame limit; whether it
  // did. Before each frame the row's player looks at the battle.
  bool RunToModeAfterBattle() {
    for (int f = 0; f < kFrameLimit; ++f) {
      const int mode = CTamvikGeneral::GetMode();
      if (modes.empty() || modes.back() != mode) modes.push_back(mode);
      if (f > 0 && (mode < 26 || mode > 28)) return true;
      if (on_frame && player.Ready()) on_frame();
      const size_t traced = rig.driver().trace().lines().size();
      if (!rig.Step()) break;
      NoteOutcomes();
      NoteAttacks();
      if (after_frame) {
        const std::vector<DebugTraceLine>& lines = rig.driver().trace().lines();
        std::vector<std::string> added;
        for (size_t i = std::min(traced, lines.size()); i < lines.size(); ++i) {
          added.push_back(lines[i].text);
        }
        after_frame(added);
      }
      TakeCaptures();
    }
    ADD_FAILURE() << "the battle did not hand back within " << kFrameLimit << " frames" << Describe();
    return false;
  }
  // The outcome tasks that began in the frame just run: a task present now and absent before it
  // (each takes many frames, so none starts and ends unseen), and whether the battle had already
  // handed back.
  void NoteOutcomes() {
    const bool exited = HasBattle() && Battle().control.exited != 0;
    const bool win = HasBattle() && TaskExists(kSlgGameWinTaskName);
    const bool over = HasBattle() && TaskExists(kSlgGameOverTaskName);
    if (win && !win_running) ++victories;
    if (over && !over_running) ++game_overs;
    if (exited_before && ((win && !win_running) || (over && !over_running))) ++after_exit;
    win_running = win;
    over_running = over;
    exited_before = exited;
  }
  // The attacks begun in the frame just run (a unit that entered its attack state, 6 or 19) and
  // the routine the dispatch called last.
  void NoteAttacks() {
    if (!HasBattle()) return;
    BattleContext& b = Battle();
    const SlgBattleState& s = b.state;
    for (int i = 0; i < s.unit_count && i < kSlgMaxUnits; ++i) {
      const SlgUnit& u = s.units[static_cast<size_t>(i)];
      const bool attacking = u.state == 6 || u.state == 19;
      if (attacking && !attacking_[static_cast<size_t>(i)]) {
        attacks.push_back(
            {u.kind, u.kind == kSlgKindSatan ? b.attack.attack_kind : u.stats.attack_type});
      }
      attacking_[static_cast<size_t>(i)] = attacking;
    }
    if (const char* name = AttackRoutineName(b.Extension<AttackDispatch>().last_routine)) {
      routines.insert(name);
    }
  }
  // Exactly the one outcome the row is about: `wins` victories, `overs` game overs, nothing
  // begun after the hand-back.
  void ExpectOutcomes(int wins, int overs) const {
    EXPECT_EQ(victories, wins) << "victories begun";
    EXPECT_EQ(game_overs, overs) << "game overs begun";
    EXPECT_EQ(after_exit, 0) << "outcomes begun after the battle handed back";
  }
  // Where the battle stands (for a failure's message).
  static std::string Describe() {
    if (!HasBattle()) return " (no battle)";
    const BattleContext& b = Battle();
    std::string out = " (mode " + std::to_string(CTamvikGeneral::GetMode()) + ", round " +
                      std::to_string(b.state.round) + ", acting " +
                      std::to_string(b.state.acting_unit) + ", phase state " +
                      std::to_string(b.control.main_work ? b.control.main_work->step : -1) +
                      ", sub " + std::to_string(b.phase_sub) + ", cursor " +
                      std::to_string(b.state.cursor_cell[0]) + "," +
                      std::to_string(b.state.cursor_cell[1]) + " at " +
                      std::to_string(b.state.cursor_point[0]) + "," +
                      std::to_string(b.state.cursor_point[1]);
    for (int i = 0; i < b.state.unit_count; ++i) {
      const SlgUnit& u = b.state.units[static_cast<size_t>(i)];
      const SlgCell c = PosToCell(u.x >> 16, u.y >> 16);
      out += "; unit " + std::to_string(i) + " side " + std::to_string(u.side) + " life " +
             std::to_string(u.stats.life) + " cell " + std::to_string(c.column) + "," +
             std::to_string(c.row) + " state " + std::to_string(u.state);
    }
    return out + ")";
  }
  int Count(const std::string& fragment) const {
    int n = 0;
    for (const DebugTraceLine& line : rig.driver().trace().lines()) {
      if (line.text.find(fragment) != std::string::npos) ++n;
    }
    return n;
  }

  static const SlgUnit* ActingUnit() { return testsupport::BattleScript::ActingUnit(); }

  // A named checkpoint: the frame after which `when` has held for `frames` frames in a row (the
  // windows and gauges draw from their second frame on) is written as <name>.png for people
  // ($TAMVIK_BATTLE_FRAMES), and its pixels probed.
  struct Capture {
    std::string name;
    std::function<bool()> when;
    std::function<void(const BattleRig&)> probe;
    int frames = 1;
    int held = 0;
    bool taken = false;
  };
  void TakeCaptures() {
    for (Capture& c : captures) {
      if (c.taken || !HasBattle()) continue;
      c.held = c.when() ? c.held + 1 : 0;
      if (c.held < c.frames) continue;
      c.taken = true;
      rig.SaveFrame(c.name);
      if (c.probe) {
        SCOPED_TRACE(c.name);
        c.probe(rig);
      }
    }
  }
  void ExpectCapturesTaken() const {
    for (const Capture& c : captures) EXPECT_TRUE(c.taken) << c.name << " never reached";
  }

  BattleRig& rig;
  // The game's attack routines in every battle the row builds, as the program installs them.
  ScopedBattleInstaller effects;
  std::vector<Capture> captures;
  testsupport::BattleScript player{rig.driver()};
  std::function<void()> on_frame;
  // Called after each frame with the trace lines that frame added.
  std::function<void(const std::vector<std::string>&)> after_frame;
  std::vector<int> modes;
  // Each attack begun: the attacker's kind and its attack type (for Satan the attack kind word
  // its program chose).
  struct Attack {
    int kind;
    int variant;
  };
  std::vector<Attack> attacks;
  // The names of the game's routines the attacks played.
  std::set<std::string> routines;
  int victories = 0;
  int game_overs = 0;
  int after_exit = 0;
  bool win_running = false;
  bool over_running = false;
  bool exited_before = false;

 private:
  std::array<bool, kSlgMaxUnits> attacking_{};
};

BattleRig::Options ManagerOptions() {
  BattleRig::Options o;
  o.manager_mode = 26;
  o.seed = 7;
  return o;
}

// ---- Victory with no enemy on the stage ----
// The hero and a heroine: the victory row starts as soon as the opening has ended, and the
// victory hands the battle back; no game over begins.
void VictoryAlone(BattleRig& rig) {
  BattleInstall install;
  install.HeroineInsteadOfEnemy();
  install.Lay(rig.driver().tree);
  BattleRun run(rig);
  ASSERT_TRUE(run.RunToModeAfterBattle());
  run.ExpectOutcomes(1, 0);
  EXPECT_EQ(run.modes, (std::vector<int>{26, 27, 28, 32}));
  EXPECT_EQ(GetSystemData()->battleLost(), 0u);
  EXPECT_GE(GetMacroP(kSlgRoundVar), 1);
  EXPECT_EQ(run.Count("SLG INIT END"), 1);
  EXPECT_EQ(run.Count("Slg::ExitSlg"), 1);
}

// ---- One unit record: the first round loses the battle ----
// The hero alone: round 1 begins with one record and starts the game over; the victory row,
// first in this table, is found in the same frame (no enemy), but the game over is under way and
// keeps the victory from starting. The player gives up.
void LoneUnit(BattleRig& rig) {
  BattleInstall install;
  install.stage.units[1].present = 0;
  install.Lay(rig.driver().tree);
  static constexpr SlgEventEntry kEvents[] = {kVictoryRow, kOpeningRow, kEventTableEnd};
  BattleRun run(rig, kEvents);
  run.on_frame = [&run] { run.player.AnswerGameOver(true); };
  ASSERT_TRUE(run.RunToModeAfterBattle());
  run.ExpectOutcomes(0, 1);
  EXPECT_EQ(run.modes, (std::vector<int>{26, 27, 28, 1}));
  EXPECT_EQ(GetSystemData()->battleLost(), 1u);
  EXPECT_EQ(GetMacroP(kSlgRoundVar), 1);
  EXPECT_GE(run.Count("Slg::GameWin: not started: a game over is under way"), 1);
  EXPECT_EQ(rig.battle().event_words.battle_end, 0u) << "the refused victory set the word";
  EXPECT_EQ(run.Count("Slg::ExitSlg"), 1);
}

// The static buffer of the dressed form's OK sound, null when it is not loaded.
platform::SoundBuffer* OkSoundBuffer() {
  const int index = Battle().tables.se[BattleInstall::kOkSe].static_index;
  if (index < 0 || static_cast<size_t>(index) >= Ctx().dsound.static_se.slot.size()) return nullptr;
  return Ctx().dsound.static_se.slot[static_cast<size_t>(index)].get();
}

// ---- Victory: the hero walks up to the ASHIGARU and attacks until it falls ----
// Between the hero's turns the ASHIGARU's think attacks back; its fall leaves no enemy, and the
// rule starts the victory. Every OK the player presses plays the OK sound (SE 15).
void Victory(BattleRig& rig) {
  BattleInstall install;
  install.Lay(rig.driver().tree);
  BattleRun run(rig);
  int enemy_attacks = 0;
  bool enemy_attacked = false;
  bool hero_critical = false;
  int oks = 0;
  std::vector<int> silent_oks;  // the OKs (by number) that played no OK sound
  run.after_frame = [&](const std::vector<std::string>& added) {
    for (const std::string& line : added) {
      if (line != "Press OK\n" && line != "Press Menu\n") continue;
      ++oks;
      const platform::SoundBuffer* ok = HasBattle() ? OkSoundBuffer() : nullptr;
      if (ok == nullptr || !ok->IsPlaying() || Battle().last_se != BattleInstall::kOkSe) {
        silent_oks.push_back(oks);
      }
    }
  };
  run.on_frame = [&] {
    const BattleContext& b = Battle();
    // A fresh frame: the OK sound has stopped, so that a press shows as its start.
    if (platform::SoundBuffer* ok = OkSoundBuffer()) ok->Stop();
    Battle().last_se = -1;
    if (b.state.units[0].stats.attack_type == kCriticalAttack) hero_critical = true;
    const SlgUnit* acting = BattleRun::ActingUnit();
    if (acting != nullptr && acting->side != 0) {
      const bool attacked = (b.control.action_done & 2) != 0;
      if (attacked && !enemy_attacked) ++enemy_attacks;
      enemy_attacked = attacked;
    } else {
      enemy_attacked = false;
    }
    run.player.HeroWalksAndAttacks({3, 9});  // beside the ASHIGARU at (4, 10)
  };
  const auto state_is = [](uint8_t state, uint32_t sub) {
    return [state, sub] {
      const BattleContext& b = Battle();
      return b.control.main_work != nullptr && b.control.main_work->step == state &&
             b.phase_sub == sub;
    };
  };
  // Both units drawn in their fixture colours at the command window and in the walk; the window
  // and the gauge in the colours of their system sprites.
  const auto units_shown = [](const BattleRig& r) {
    ExpectUnitShown(r, Battle().state.units[0], "the hero");
    ExpectUnitShown(r, Battle().state.units[1], "the ASHIGARU");
  };
  run.captures = {
      {"victory_command_window", state_is(kSlgPlayerCommand, 3),
       [&units_shown](const BattleRig& r) {
         units_shown(r);
         EXPECT_TRUE(HoldsSystemSprite(FrameColours(r), kSysCommandWindow));
       },
       4},
      {"victory_walk", state_is(kSlgPlayerMove, 2), units_shown},
      {"victory_damage_gauge",
       [] {
         for (const SlgEffectTask* t : Battle().gauge_tasks) {
           if (t != nullptr) return true;
         }
         return false;
       },
       [](const BattleRig& r) { EXPECT_TRUE(HoldsSystemSprite(FrameColours(r), kSysLifeGauge)); },
       8},
  };
  ASSERT_TRUE(run.RunToModeAfterBattle());
  run.ExpectOutcomes(1, 0);
  EXPECT_EQ(run.modes, (std::vector<int>{26, 27, 28, 32}));
  EXPECT_EQ(GetSystemData()->battleLost(), 0u);
  EXPECT_GE(GetMacroP(kSlgRoundVar), 1);
  EXPECT_EQ(run.Count("SLG INIT END"), 1);
  EXPECT_EQ(run.Count("Slg::ExitSlg"), 1);
  EXPECT_GE(enemy_attacks, 1);
  // Two strikes of the hero, or one critical one.
  EXPECT_GE(GetMacroP(kSlgRoundVar), hero_critical ? 1 : 2);
  EXPECT_GE(oks, 6);  // the walk's and the attack's choices at least
  EXPECT_TRUE(silent_oks.empty()) << silent_oks.size() << " of " << oks << " OKs played no sound";
  run.ExpectCapturesTaken();
  // The game's own attacks played: the hero's (normal or critical) and the ASHIGARU's.
  EXPECT_TRUE(run.routines.contains("KadrunNormal") || run.routines.contains("KadrunCritical"));
  EXPECT_TRUE(run.routines.contains("EnemyNormalAttack"));
}

// ---- Switch: map 1 at once, then map 17 with its fade, in round 1 of each ----
// Every map's init reaches its end; the system sprites stay loaded across the switches (the
// same files), and only the exit deletes them. The switches are an event row of their own.
struct SwitchNotes {
  std::vector<SprAnm*> cursor_files;   // at each map's switch row
  std::vector<std::string> exchanges;  // the switch task each switch started
};
SwitchNotes g_switch;

// The switch row's handler, once in round 1 of each map: map 0 switches to map 1 at once, map 1
// to map 17 with its fade; map 17 stays.
void SwitchStageRow(const SlgEventEntry& /*row*/) {
  const BattleContext& b = Battle();
  const uint32_t map = GetSystemData()->battleMap();
  g_switch.cursor_files.push_back(b.sys_sprites[0].file);
  if (map == 0 || map == 1) {
    Slg::SwitchStage(map == 0 ? 1 : 17);
    for (const char* name : {kSlgExchangeNofadeTaskName, kSlgExchangeTaskName}) {
      if (TaskExists(name)) g_switch.exchanges.emplace_back(name);
    }
  }
  EventEnd();
}

void SwitchTwice(BattleRig& rig) {
  for (const int map : {0, 1, 17}) {
    BattleInstall install;
    install.stage.map = map;
    if (map == 17) install.HeroineInsteadOfEnemy();  // the last map is won at once
    install.Lay(rig.driver().tree);
  }
  static constexpr SlgEventEntry kEvents[] = {
      kOpeningRow,
      {.id = 3, .timing = 0x8000, .guard = {3, 0}, .set = {3, 0}, .handler = &SwitchStageRow},
      kVictoryRow,
      kEventTableEnd};
  g_switch = {};
  BattleRun run(rig, kEvents);
  ASSERT_TRUE(run.RunToModeAfterBattle());
  run.ExpectOutcomes(1, 0);
  EXPECT_EQ(run.modes, (std::vector<int>{26, 27, 28, 32}));
  EXPECT_EQ(run.Count("SLG INIT END"), 3);
  EXPECT_EQ(run.Count("StageSetup StageNo=1\n"), 1);
  EXPECT_EQ(run.Count("StageSetup StageNo=17\n"), 1);
  EXPECT_EQ(g_switch.exchanges, (std::vector<std::string>{kSlgExchangeNofadeTaskName,
                                                          kSlgExchangeTaskName}));
  EXPECT_EQ(run.Count("Slg::Delete System Sprite"), 1);  // at the exit only
  ASSERT_EQ(g_switch.cursor_files.size(), 3u);  // one switch row a map
  for (SprAnm* f : g_switch.cursor_files) EXPECT_EQ(f, g_switch.cursor_files.front());
  EXPECT_NE(g_switch.cursor_files.front(), nullptr);
}

// ---- Defeat: the hero at life 10 ends each turn; the ASHIGARU comes and strikes it down ----
// The first game over continues (the same stage again, the trust variables as at the start); the
// second gives up: the battle is lost and the manager goes back to mode 1.
void Defeat(BattleRig& rig) {
  BattleInstall install;
  install.Lay(rig.driver().tree);
  BattleRun run(rig);
  const int trust = kTrustSaveVars[0];
  SetMacroP(trust, 32800);  // a trust variable the retry puts back
  std::vector<int> trust_at_start;  // at each initialisation's first round
  bool lowered = false;
  int answered = 0;
  run.on_frame = [&] {
    BattleContext& b = Battle();
    if (b.state.round == 0) lowered = false;
    if (b.state.round >= 1 && !lowered) {
      lowered = true;  // after each initialisation
      b.state.units[0].stats.life = 10;
      trust_at_start.push_back(GetMacroP(trust));
      SetMacroP(trust, 40000);  // changed during the battle
    }
    if (run.player.AnswerGameOver(answered >= 1)) {
      if (b.game_over.choice == 0 || answered == 0) ++answered;
      return;
    }
    run.player.EndHeroTurn();
  };
  // The hero (kind 0) falls: its game-over picture with the menu on it.
  run.captures = {{"defeat_game_over",
                   [] {
                     return TaskExists(kSlgGameOverTaskName) && Battle().turn.game_over_step == 5;
                   },
                   [](const BattleRig& r) {
                     // The hero's picture over the whole screen, the other one nowhere.
                     using testsupport::GameOverPictures;
                     EXPECT_TRUE(Shows(r.PixelAt(4, 4), GameOverPictures::kVarno));
                     EXPECT_TRUE(Shows(r.PixelAt(635, 475), GameOverPictures::kVarno));
                     EXPECT_FALSE(Holds(FrameColours(r), GameOverPictures::kTelka));
                   }}};
  ASSERT_TRUE(run.RunToModeAfterBattle());
  run.ExpectOutcomes(0, 2);
  run.ExpectCapturesTaken();
  EXPECT_EQ(run.modes, (std::vector<int>{26, 27, 28, 1}));
  EXPECT_EQ(GetSystemData()->battleLost(), 1u);
  EXPECT_EQ(run.Count("SLG INIT END"), 2);
  EXPECT_EQ(run.Count("Slg::ExitSlg"), 1);
  EXPECT_EQ(trust_at_start, (std::vector<int>{32800, 32800}));  // restored by the retry
}

// ---- Swarm: the hero ending each turn against two ASHIGARU, a HINAWA and an OOZUTU ----
// Each enemy follows a think of its own (types 0, 2 and 4, all engaging a player in reach); they
// walk, attack and strike the hero down within a few rounds. Every enemy action ends through
// think step 18.
void Swarm(BattleRig& rig) {
  BattleInstall install;
  testsupport::StageWriter& st = install.stage;
  st.classes[2] = {15, 1, 0, 0};  // HINAWA
  st.classes[3] = {16, 1, 0, 0};  // OOZUTU
  const struct {
    int column, row;
    uint8_t class_index, think_row;
  } enemies[] = {{4, 10, 1, 0}, {4, 12, 1, 1}, {5, 10, 2, 2}, {6, 10, 3, 1}};
  int n = 1;
  for (const auto& e : enemies) {
    StageUnitEntry& u = st.units[static_cast<size_t>(n++)];
    u = st.units[1];
    u.class_index = e.class_index;
    u.think_row = e.think_row;
    u.x = static_cast<int16_t>((2 * e.column + (e.row & 1)) * 48);
    u.y = static_cast<int16_t>(24 * e.row);
  }
  st.header.num_unit = static_cast<uint16_t>(n);
  testsupport::LaySwarmThinks(st);
  install.Lay(rig.driver().tree);
  BattleRun run(rig);
  int last_enemy = -1;
  int enemy_actions = 0;
  std::vector<int> unended;  // enemies whose action ended elsewhere than in step 18
  run.on_frame = [&] {
    const BattleContext& b = Battle();
    const SlgUnit* acting = BattleRun::ActingUnit();
    const int now = acting != nullptr && acting->side != 0 ? b.state.acting_unit : -1;
    // The frame the turn passed on still shows the step the last action ended in.
    if (last_enemy >= 0 && now != last_enemy) {
      ++enemy_actions;
      if (b.enemy.think_step != kThinkStepEnd) unended.push_back(last_enemy);
    }
    last_enemy = now;
    if (run.player.AnswerGameOver(true)) return;
    run.player.EndHeroTurn();
  };
  ASSERT_TRUE(run.RunToModeAfterBattle());
  run.ExpectOutcomes(0, 1);
  EXPECT_EQ(run.modes, (std::vector<int>{26, 27, 28, 1}));
  EXPECT_EQ(GetSystemData()->battleLost(), 1u);
  EXPECT_LE(GetMacroP(kSlgRoundVar), 6);
  EXPECT_GE(enemy_actions, 4);
  EXPECT_TRUE(unended.empty()) << unended.size() << " enemy actions not ended in step 18";
  // The three enemy kinds' own attacks played.
  EXPECT_EQ(run.routines,
            (std::set<std::string>{"EnemyNormalAttack", "WakijiM::Attack", "WakijiF::Attack"}));
}

// ---- Summoner: the hero and two heroines against a Satan that summons kinds 48-50 ----
// Event flags 110 (it acts) and 150 (it summons) are set by an event row at the start. The
// Satan, last in the order, opens with its attack (variant 2) in round 1 and summons in round 2;
// the three units, appended to the order, act after it in that round and again in the next,
// walking and striking through the generic program, while the Satan, its kiai kept full, strikes
// with its special attack; once they have acted, the test's rule wins.
void Summoner(BattleRig& rig) {
  BattleInstall install;
  testsupport::StageWriter& st = install.stage;
  st.header.width = 2112;  // the summons' rectangle lies inside the map
  st.header.height = 1100;
  const auto entry = [&st](int n, uint8_t side, uint8_t character, int column, int row,
                           uint8_t kind, uint8_t category, uint8_t present) {
    StageUnitEntry& u = st.units[static_cast<size_t>(n)];
    u = st.units[0];
    u.side = side;
    u.character = character;
    u.class_index = static_cast<uint8_t>(n);
    u.x = static_cast<int16_t>((2 * column + (row & 1)) * 48);
    u.y = static_cast<int16_t>(24 * row);
    u.facing = 2;
    u.think_row = 0;
    u.present = present;
    st.classes[static_cast<size_t>(n)] = {kind, category, 0, 0};
  };
  entry(1, 1, 30, 6, 10, kSlgKindSatan, 1, 1);
  entry(2, 0, 1, 2, 12, 1, 0, 1);
  entry(3, 0, 2, 2, 14, 2, 0, 1);
  for (int n = 0; n < 3; ++n) entry(4 + n, 1, 40, 0, 0, static_cast<uint8_t>(48 + n), 1, 0);
  st.header.num_unit = 7;
  install.AddSpriteKinds({1, 2, kSlgKindSatan, 48, 49, 50});
  install.Lay(rig.driver().tree);
  static constexpr SlgEventEntry kEvents[] = {
      kOpeningRow,
      {.id = kSatanActsFlag,
       .timing = 0x8000,
       .guard = {kSatanActsFlag, 0},
       .set = {kSatanActsFlag, kSatanSummonsFlag},
       .handler = &testsupport::EventEndAtOnce},
      kVictoryRow,
      kEventTableEnd};
  BattleRun run(rig, kEvents);
  int summon_round = 0;
  std::vector<std::pair<int, int>> summoned_acts;  // (round, kind) of each summoned unit's turn
  int last_acting = -1;
  bool sturdy = false;
  run.on_frame = [&] {
    const BattleContext& b = Battle();
    const SlgBattleState& s = b.state;
    for (int i = 0; i < s.unit_count && summon_round == 0; ++i) {
      if (s.units[static_cast<size_t>(i)].kind >= 48) summon_round = s.round;
    }
    // The player's units outlive every strike of the row.
    if (s.round >= 1 && !sturdy) {
      sturdy = true;
      for (int i = 0; i < s.unit_count; ++i) {
        SlgUnit& u = Battle().state.units[static_cast<size_t>(i)];
        if (u.side == 0) u.stats.life = u.stats.max_life = 30000;
      }
    }
    // After the summon its kiai is kept full: its next choice is the special attack.
    if (summon_round > 0) {
      for (int i = 0; i < s.unit_count; ++i) {
        SlgUnit& u = Battle().state.units[static_cast<size_t>(i)];
        if (u.kind == kSlgKindSatan) u.stats.kiai = static_cast<uint16_t>(u.stats.max_kiai);
      }
    }
    const SlgUnit* acting = BattleRun::ActingUnit();
    const int now = acting != nullptr ? s.acting_unit : -1;
    if (now != last_acting && acting != nullptr && acting->kind >= 48 && acting->kind <= 50) {
      summoned_acts.push_back({s.round, acting->kind});
    }
    last_acting = now;
    // Once the three have had their turns in the next round the test's rule wins the battle.
    int next_round_acts = 0;
    for (const auto& act : summoned_acts) next_round_acts += act.first == summon_round + 1;
    const bool summoned_acting = acting != nullptr && acting->kind >= 48 && acting->kind <= 50;
    if (summon_round > 0 && next_round_acts >= 3 && !summoned_acting &&
        !TaskExists(kSlgGameWinTaskName)) {
      Slg::StartGameWin();
      return;
    }
    if (run.player.AnswerGameOver(true)) return;
    run.player.EndHeroTurn();
  };
  ASSERT_TRUE(run.RunToModeAfterBattle());
  run.ExpectOutcomes(1, 0);
  EXPECT_EQ(run.modes, (std::vector<int>{26, 27, 28, 32}));
  // The opening attack in round 1, the summon in round 2, the special attack in round 3.
  std::vector<int> satan_variants;  // the variant of each Satan attack, in order
  for (const BattleRun::Attack& a : run.attacks) {
    if (a.kind == kSlgKindSatan) satan_variants.push_back(a.variant);
  }
  EXPECT_EQ(satan_variants, (std::vector<int>{kSatanCritical2, kSatanCritical}));
  EXPECT_EQ(run.routines,
            (std::set<std::string>{"Satan::Critical2Attack", "Satan::CriticalAttack"}));
  EXPECT_EQ(summon_round, 2);
  // In the summon's round in the order they were appended; in the next by the rebuilt order.
  for (const int round : {summon_round, summon_round + 1}) {
    std::vector<int> kinds;
    for (const auto& [r, kind] : summoned_acts) {
      if (r == round) kinds.push_back(kind);
    }
    if (round > summon_round) std::sort(kinds.begin(), kinds.end());
    EXPECT_EQ(kinds, (std::vector<int>{48, 49, 50})) << "round " << round;
  }
}

// ---- Bosses: the hero and two heroines against a kind-29 and a kind-24 boss ----
// Kind 29's gate (event flag 170) is set by an event row at the start; both bosses act by their
// step lists. Once each has attacked, charged or guarded, the kind-24 boss's life is lowered to 1
// and the hero, beside it, strikes it down: it leaves through its exit sequence, which sets
// event flag 198, on which a victory row of its own waits (kind 29 still stands).
std::vector<int> g_standing_at_exit;  // the bosses standing (kinds 29, 24) when the row fired
bool g_boss_gone_seen = false;

void BossGoneWin(const SlgEventEntry& /*row*/) {
  g_boss_gone_seen = true;
  const SlgBattleState& s = Battle().state;
  for (int i = 0; i < s.unit_count; ++i) {
    const SlgUnit& u = s.units[static_cast<size_t>(i)];
    if ((u.kind == 29 || u.kind == 24) && u.step != kSlgDeadStep) {
      g_standing_at_exit.push_back(u.kind);
    }
  }
  StartGameWin();
  EventEnd();
}

void Bosses(BattleRig& rig) {
  BattleInstall install;
  testsupport::StageWriter& st = install.stage;
  const auto entry = [&st](int n, uint8_t side, uint8_t character, int column, int row,
                           uint8_t kind, uint8_t category) {
    StageUnitEntry& u = st.units[static_cast<size_t>(n)];
    u = st.units[0];
    u.side = side;
    u.character = character;
    u.class_index = static_cast<uint8_t>(n);
    u.x = static_cast<int16_t>((2 * column + (row & 1)) * 48);
    u.y = static_cast<int16_t>(24 * row);
    u.facing = side == 0 ? 1 : 2;
    st.classes[static_cast<size_t>(n)] = {kind, category, 0, 0};
  };
  entry(1, 1, 30, 5, 4, 29, 1);   // kind 29, away from the others
  entry(2, 0, 1, 1, 9, 1, 0);     // the heroines
  entry(3, 0, 2, 1, 11, 2, 0);
  entry(4, 1, 31, 4, 10, 24, 1);  // kind 24 where the ASHIGARU stood
  st.header.num_unit = 5;
  install.AddSpriteKinds({1, 2, 24, 29});
  install.Lay(rig.driver().tree);
  static constexpr SlgEventEntry kEvents[] = {
      kOpeningRow,
      {.id = 170, .timing = 0x8000, .guard = {170, 0}, .set = {170, 0},
       .handler = &testsupport::EventEndAtOnce},
      {.id = kSlgFlagBossGone,
       .timing = 0x8000,
       .a = "F(198);",
       .guard = {4, 0},
       .set = {4, 0},
       .handler = &BossGoneWin},
      kVictoryRow,
      kEventTableEnd};
  g_standing_at_exit.clear();
  g_boss_gone_seen = false;
  BattleRun run(rig, kEvents);
  std::array<uint8_t, 2> acted{};  // the action bits each boss showed on its turns: 29, 24
  bool sturdy = false;
  bool lowered = false;
  run.on_frame = [&] {
    BattleContext& b = Battle();
    SlgBattleState& s = b.state;
    // The player's units outlive every strike of the row.
    if (s.round >= 1 && !sturdy) {
      sturdy = true;
      for (int i = 0; i < s.unit_count; ++i) {
        SlgUnit& u = s.units[static_cast<size_t>(i)];
        if (u.side == 0) u.stats.life = u.stats.max_life = 30000;
      }
    }
    const SlgUnit* acting = BattleRun::ActingUnit();
    if (acting != nullptr && (acting->kind == 29 || acting->kind == 24)) {
      acted[acting->kind == 29 ? 0 : 1] |= b.control.action_done;
    }
    // Once both bosses have acted, the kind-24 boss falls to the hero's next strike.
    if (!lowered && (acted[0] & 6) != 0 && (acted[1] & 6) != 0) {
      lowered = true;
      for (int i = 0; i < s.unit_count; ++i) {
        SlgUnit& u = s.units[static_cast<size_t>(i)];
        if (u.kind == 24) u.stats.life = 1;
      }
    }
    if (run.player.AnswerGameOver(true)) return;
    if (acting == nullptr || acting->side != 0) return;
    if (acting->kind == 0 && lowered) {
      run.player.HeroWalksAndAttacks({3, 9});  // beside the kind-24 boss at (4, 10)
    } else {
      run.player.EndHeroTurn();
    }
  };
  ASSERT_TRUE(run.RunToModeAfterBattle());
  run.ExpectOutcomes(1, 0);
  EXPECT_EQ(run.modes, (std::vector<int>{26, 27, 28, 32}));
  EXPECT_EQ(GetSystemData()->battleLost(), 0u);
  EXPECT_NE(acted[0] & 6, 0) << "kind 29 attacked, charged or guarded";
  EXPECT_NE(acted[1] & 6, 0) << "kind 24 attacked, charged or guarded";
  EXPECT_TRUE(g_boss_gone_seen);
  EXPECT_EQ(g_standing_at_exit, std::vector<int>{29}) << "the kind-24 boss left, kind 29 stands";
  EXPECT_EQ(run.Count("outside its list"), 0);
  // The kind-24 boss's normal attack, kind 29's special, the hero's last strike.
  EXPECT_EQ(run.routines, (std::set<std::string>{"Boss24::NormalAttack", "Dododi::SpecialAttack",
                                                 "KadrunNormal"}));
}

struct Row {
  const char* name;
  void (*scenario)(BattleRig&);
};

class BattleRunTable : public ::testing::TestWithParam<Row> {};

TEST_P(BattleRunTable, EndsAsTheModesSayTheSameWayTwice) {
  std::vector<std::vector<std::string>> traces;
  const auto scenario = [&traces](BattleRig& rig) {
    GetParam().scenario(rig);
    std::vector<std::string> lines;
    for (const DebugTraceLine& line : rig.driver().trace().lines()) lines.push_back(line.text);
    traces.push_back(std::move(lines));
  };
  EXPECT_TRUE(testsupport::RunBattleTwice(scenario, ManagerOptions()));
  ASSERT_EQ(traces.size(), 2u);
  EXPECT_EQ(traces[0], traces[1]);
}

INSTANTIATE_TEST_SUITE_P(Rows, BattleRunTable,
                         ::testing::Values(Row{"victory_alone", &VictoryAlone},
                                           Row{"lone_unit", &LoneUnit},
                                           Row{"victory", &Victory},
                                           Row{"defeat", &Defeat}, Row{"swarm", &Swarm},
                                           Row{"summoner", &Summoner},
                                           Row{"bosses", &Bosses},
                                           Row{"switch", &SwitchTwice}),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
