#include "battle_effects/spawner.h"

#include <algorithm>
#include <cstdio>

int32_t SpawnDue(Spawner& spawner, const SpawnRule& rule, int32_t frames) {
  const int32_t interval = std::max(rule.interval, int32_t{1});
  const int32_t first = rule.first < 0 ? interval : rule.first;
  const int32_t f = std::max(frames, int32_t{0});
  if (f < first) return -1;
  // In 64 bits: a first of 0 with an interval of 1 reaches the top of the range.
  const int64_t q = int64_t{f - first} / interval + 1;
  if (q <= spawner.count) return -1;
  if (rule.limit > 0 && spawner.started >= rule.limit) return -1;
  const int32_t before = spawner.count;
  const int32_t running = spawner.started;
  spawner.count = static_cast<int32_t>(std::min<int64_t>(q, INT32_MAX));
  ++spawner.started;
  switch (rule.number) {
    case SpawnNumber::kBefore: return before;
    case SpawnNumber::kRunning: return running;
    case SpawnNumber::kRaised: break;
  }
  return spawner.count;
}

SlgEffectTask* SpawnTask(Spawner& spawner, const SpawnRule& rule, int32_t frames,
                         GameTaskRec* owner, SlgBody body, const char* base) {
  const int32_t number = SpawnDue(spawner, rule, frames);
  if (number < 0 || base == nullptr) return nullptr;
  char name[128];
  std::snprintf(name, sizeof name, "%s%d", base, number);
  return SlgTaskCreate(owner, body, name);
}
