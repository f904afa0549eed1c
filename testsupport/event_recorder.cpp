#include "testsupport/event_recorder.h"

#include <algorithm>
#include <string_view>

#include "battle/battle_context.h"
#include "battle/slg_start.h"
#include "battle/slg_task.h"
#include "battle/slg_test_hooks.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle_events/event_movie.h"
#include "battle_events/event_sound.h"
#include "engine/core/debug_trace.h"
#include "testsupport/event_tables.h"
#include "testsupport/program_driver.h"

namespace testsupport {
namespace {

// The traces that name a script's missing piece.
constexpr const char* kFaultTraces[] = {"not described", "out of table"};

}  // namespace

struct EventRecorder::Hooks {
  static void OnTask(void* user, SlgTaskEvent event, const SlgEffectTask& task) {
    if (event != SlgTaskEvent::kCreated || task.name == nullptr) return;
    static constexpr const char* kStory[] = {kSlgGameWinTaskName, kSlgGameOverTaskName,
                                             kSlgExchangeTaskName, kSlgExchangeNofadeTaskName,
                                             Eve::kFadeOutMusicTask};
    for (const char* name : kStory) {
      if (std::string_view(task.name) == name) {
        static_cast<EventRecorder*>(user)->Record(std::string("task ") + task.name);
      }
    }
  }
  static void OnSound(void* user, SlgSoundCall call, int value, int /*frames*/) {
    if (call == SlgSoundCall::kEffect) {
      static_cast<EventRecorder*>(user)->Record("se " + std::to_string(value));
    } else if (call == SlgSoundCall::kEffectStop) {
      static_cast<EventRecorder*>(user)->Record("stop se " + std::to_string(value));
    }
  }
  static void OnShow(void* user, SlgShowCall call, int a, int b) {
    auto* h = static_cast<EventRecorder*>(user);
    switch (call) {
      case SlgShowCall::kMessage:
        h->Record("message " + std::to_string(a) + ":" + std::to_string(b));
        break;
      case SlgShowCall::kFade:
        h->Record("fade " + std::to_string(a) + (b == 1 ? " white" : " black"));
        break;
      case SlgShowCall::kBgm:
        h->Record("bgm " + std::to_string(a));
        break;
      case SlgShowCall::kBgShown:
        h->Record("bg show " + std::to_string(a));
        break;
      case SlgShowCall::kBgSlid:
        h->Record("bg slide " + std::to_string(a));
        break;
      case SlgShowCall::kBgFadedIn:
        h->Record("bg fade-in " + std::to_string(a));
        break;
      case SlgShowCall::kBgFadedOut:
        h->Record("bg fade-out " + std::to_string(a));
        break;
      case SlgShowCall::kBgFreed:
        h->Record("bg free " + std::to_string(a));
        break;
      case SlgShowCall::kMovieStarted:
        h->Record("movie " + MovieFileName(a, b));
        break;
      case SlgShowCall::kMovieEnded:
        h->Record("movie end");
        break;
    }
  }
};

void EventRecorder::Attach(BattleContext& battle) {
  battle.test_hooks = {this, &Hooks::OnTask, &Hooks::OnSound, &Hooks::OnShow};
}

void EventRecorder::Detach(BattleContext& battle) {
  if (battle.test_hooks.user == this) battle.test_hooks = {};
}

void EventRecorder::AfterFrame(const std::vector<EventNote>& notes) {
  // Rows started and finished, from the event check's observer.
  for (; notes_seen_ < notes.size(); ++notes_seen_) {
    const EventNote& n = notes[notes_seen_];
    records_.push_back(
        {n.frame, std::string(n.moment == SlgEventMoment::kStarted ? "start " : "end ") +
                      std::to_string(n.id)});
  }
  // Units made and removed: by their placement entry (slots move when a record goes); all gone
  // once the battle has handed back.
  std::vector<std::pair<int, int>> live;
  if (HasBattle()) {
    const SlgBattleState& s = Battle().state;
    for (uint32_t slot = 0; slot < s.unit_count && slot < s.units.size(); ++slot) {
      const SlgUnit& u = s.units[slot];
      if (SlgUnitLive(u)) live.emplace_back(u.entry, u.kind);
    }
  }
  std::sort(live.begin(), live.end());
  for (const auto& [entry, kind] : live) {
    if (!std::binary_search(live_.begin(), live_.end(), std::make_pair(entry, kind))) {
      Record("deploy " + std::to_string(kind) + " entry " + std::to_string(entry));
    }
  }
  for (const auto& [entry, kind] : live_) {
    if (!std::binary_search(live.begin(), live.end(), std::make_pair(entry, kind))) {
      Record("remove " + std::to_string(kind) + " entry " + std::to_string(entry));
    }
  }
  live_ = std::move(live);
  // The traces that name a missing piece of a script.
  const std::vector<DebugTraceLine>& lines = driver_.trace().lines();
  for (; trace_seen_ < lines.size(); ++trace_seen_) {
    const std::string& text = lines[trace_seen_].text;
    for (const char* fault : kFaultTraces) {
      if (text.find(fault) != std::string::npos) {
        std::string line = text;
        while (!line.empty() && line.back() == '\n') line.pop_back();
        Record("trace " + line);
        break;
      }
    }
  }
}

void EventRecorder::Record(std::string what) {
  records_.push_back({driver_.frame(), std::move(what)});
}

void EventRecorder::Drop(const std::string& prefix) {
  std::erase_if(records_, [&prefix](const EventRecord& r) { return r.what.rfind(prefix, 0) == 0; });
}

std::vector<std::string> EventRecorder::Records(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const EventRecord& r : records_) {
    if (r.what.rfind(prefix, 0) == 0) out.push_back(r.what);
  }
  return out;
}

int EventRecorder::FrameOf(const std::string& what) const {
  for (const EventRecord& r : records_) {
    if (r.what == what) return r.frame;
  }
  return -1;
}

}  // namespace testsupport
