#pragma once
// The handle of an animation of the animation list (engine/anime/anime.h), on its own so that
// the holders of handles need not include the list.

#include <cstddef>
#include <cstdint>

class CDdrawAnime;
struct AnimeRec;

// A handle of an animation, as the list hands it out: the record and the generation the record
// had when the animation was made. The list keeps freed records for later animations (Link) and
// counts a record's generation up when it frees it, so a handle kept past its animation's end
// never reaches the animation that reuses the record: every call refuses it (with a trace) and
// treats it as null. A plain value (nothing is allocated for it); a default handle is null.
class AnimeHandle {
 public:
  constexpr AnimeHandle() = default;
  constexpr AnimeHandle(std::nullptr_t) {}  // NOLINT: null stands for no animation
  explicit operator bool() const { return record_ != nullptr; }
  friend bool operator==(const AnimeHandle&, const AnimeHandle&) = default;
  friend bool operator==(const AnimeHandle& handle, std::nullptr_t) {
    return handle.record_ == nullptr;
  }
  uint32_t generation() const { return generation_; }

 private:
  friend class CDdrawAnime;
  constexpr AnimeHandle(AnimeRec* record, uint32_t generation)
      : record_(record), generation_(generation) {}

  AnimeRec* record_ = nullptr;
  uint32_t generation_ = 0;
};
