#pragma once
// The battle words the battle events write and the core keeps for them (battle/slg_events.h).
// Data only; BattleContext holds one (event_words), zero when the context is made and again at
// each build of a stage.

#include <array>
#include <cstdint>

struct SlgEventWords {
  // The battle-end word: 1 once the events' victory call has started the win; cleared when a
  // map's event table is installed.
  uint32_t battle_end = 0;
  // EventActingMode: the pair of scripted-attack words. The map scripts set the first to 1
  // while they drive units through scripted states and clear both at the end; no core routine
  // reads them.
  std::array<uint32_t, 2> acting_mode{};
  // SlgDemoCursor: while 1 the battle cursor ignores the real mouse (Slg::SyncMouseCursor keeps
  // the pointer, SlgMouseFlag reports no movement unless pointer mode is on); the pointer is
  // then the battle's 16.16 pointer pair, which a demonstration's glide writes.
  uint32_t demo_cursor = 0;
};
