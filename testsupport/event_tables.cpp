#include "testsupport/event_tables.h"

#include <cstring>

#include "battle/battle_context.h"
#include "battle/slg_screen.h"
#include "battle_events/events_install.h"
#include "testsupport/program_driver.h"

namespace testsupport {

namespace {

ScopedEventTable* g_current = nullptr;

}  // namespace

void OpeningFadeIn(const SlgEventEntry& /*row*/) {
  SlgFadeIn(0);
  EventEnd();
}

void VictoryWin(const SlgEventEntry& /*row*/) {
  StartGameWin();
  EventEnd();
}

void EventEndAtOnce(const SlgEventEntry& /*row*/) { EventEnd(); }

ScopedEventTable::ScopedEventTable(const SlgEventEntry* table, const ProgramDriver* driver)
    : table_(table), driver_(driver), previous_(g_current) {
  g_current = this;
}

ScopedEventTable::~ScopedEventTable() { g_current = previous_; }

void ScopedEventTable::Installer(BattleContext& battle) {
  if (g_current != nullptr) g_current->InstallOn(battle);
}

void ScopedEventTable::InstallOn(BattleContext& battle) {
  InstallBattleEvents(battle);
  battle.event_stand_ins.on_call = [](const char* call) {
    if (g_current != nullptr && std::strcmp(call, "Slg::SetupMapEvent") == 0) {
      StartEventCheck(g_current->table_);
      // A map without event objects installs none (and calls nothing).
      if (!g_current->anm_table_.empty()) SetEventAnmTable(g_current->anm_table_);
    }
  };
  battle.Extension<SlgEventCheckState>().observer = [](const SlgEventEntry& row,
                                                       SlgEventMoment moment) {
    if (g_current == nullptr) return;
    const int frame = g_current->driver_ != nullptr ? g_current->driver_->frame() : -1;
    g_current->notes_.push_back({row.id, moment, frame});
  };
}

std::vector<int> NoteFrames(const std::vector<EventNote>& notes, uint16_t id,
                            SlgEventMoment moment) {
  std::vector<int> frames;
  for (const EventNote& n : notes) {
    if (n.id == id && n.moment == moment) frames.push_back(n.frame);
  }
  return frames;
}

}  // namespace testsupport
