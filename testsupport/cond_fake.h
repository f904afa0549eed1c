#pragma once
// A fake of the condition language's 25 query functions for tests, fuzz entries and benchmarks:
// each call is recorded, and each function answers its first argument (0 when it takes none)
// unless an answer was set for it. The table holds plain function pointers, so the record is one
// for the whole process: make one CondFake at a time.

#include <array>
#include <cstdint>
#include <vector>

#include "battle_events/core/cond_functions.h"

namespace testsupport {

struct CondCall {
  int32_t function = 0;  // CondFunctionId
  int argc = 0;
  std::array<int32_t, 4> args{};  // the unused ones 0

  bool operator==(const CondCall&) const = default;
};

class CondFake {
 public:
  // Starts with an empty record and no answers set.
  CondFake();
  ~CondFake();
  CondFake(const CondFake&) = delete;
  CondFake& operator=(const CondFake&) = delete;

  // The table of fake functions.
  const CondFunctions& functions() const;
  // From now on `id` answers `value` whatever its arguments.
  void SetAnswer(CondFunctionId id, int32_t value);
  // The calls made since the start or the last Clear, in order.
  const std::vector<CondCall>& calls() const;
  // Forgets the calls (their room is kept, so a loop of evaluations allocates nothing).
  void Clear();
};

}  // namespace testsupport
