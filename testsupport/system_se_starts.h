#pragma once
// Counts the starts of the system sounds in the static sound slots, frame by frame, for the tests
// of the screens that play them: sound n is static slot n - 1; a start is a slot that began
// playing, or whose play position went back (started again while it played).

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/app/context.h"
#include "engine/sound/dsound_func.h"

namespace testsupport {

// Sounds 1 to Last; index n counts sound n (index 0 stays 0).
template <size_t Last>
class SystemSeStarts {
 public:
  // Looks at the slots once; call after every frame.
  void Observe() {
    for (size_t n = 1; n <= Last; ++n) {
      const auto& held = Ctx().dsound.static_se.slot[n - 1];
      const bool playing = held != nullptr && held->IsPlaying();
      const uint32_t position = held != nullptr ? held->GetCurrentPosition() : 0;
      if (playing && (!was_playing_[n] || position < last_position_[n])) ++starts_[n];
      was_playing_[n] = playing;
      last_position_[n] = position;
    }
  }
  // The counts back to 0 (what is playing stays known: it does not count again).
  void ClearCounts() { starts_ = {}; }
  int operator[](size_t n) const { return starts_[n]; }

 private:
  std::array<int, Last + 1> starts_{};
  std::array<bool, Last + 1> was_playing_{};
  std::array<uint32_t, Last + 1> last_position_{};
};

}  // namespace testsupport
