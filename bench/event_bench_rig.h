// The opening the event benchmarks share: the battle rig with the battle events installed, the
// EventAnm rows of the kinds a benchmark plays laid in a game tree and loaded, and an empty event
// table running; and one frame of every fixed-sprite task's body.

#pragma once

#include <vector>

#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_table.h"
#include "battle_events/events_install.h"
#include "bench/battle_bench_rig.h"
#include "testsupport/event_anm_writer.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/temp_tree.h"

struct EventBenchRig : BattleBenchRig {
  testsupport::GameTree game;

  // Opens the display and sets the battle up; false (the benchmark should skip) when the display
  // does not open.
  bool OpenEvents(const std::vector<int>& anm_kinds) {
    if (!Open()) return false;
    UseTree(game);
    testsupport::SlgTableWriter tables;
    testsupport::EventAnmWriter::Lay(game, tables, 0, anm_kinds);
    tables.Lay(game);
    LoadSlgTables();
    InstallBattleEvents(battle);
    StartEventCheck(kNoRows);
    return true;
  }

  // One frame of every fixed-sprite task, in list order.
  void RunFixTaskBodies() {
    FixTaskList& list = battle.fix_tasks;
    for (int i = 0; i < list.count; ++i) {
      SlgEffectTask* task = list.tasks[static_cast<size_t>(i)];
      task->body(task);
    }
  }

  static constexpr SlgEventEntry kNoRows[] = {kEventTableEnd};
};
