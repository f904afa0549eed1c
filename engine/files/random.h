#pragma once
// The program's random numbers: one linear congruential generator for the whole game (scenes,
// minigames and battles all draw from it). Its state lives in the engine context, so every test
// starts from a fresh one; game code draws from it through GetRandom (engine/app/doors.h). The C
// library's rand is never used.

#include <cstdint>

class GameRandom {
 public:
  // The state a generator has before any seeding.
  static constexpr uint32_t kInitialState = 1;

  void Seed(uint32_t seed) { state_ = seed; }
  // state := state * 214013 + 2531011 (mod 2^32); returns bits 16-30 of the new state.
  int Next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFF);
  }
  // 0..255: the exclusive-or of the two bytes of the next value.
  int NextByte() {
    const int r = Next();
    return (r ^ (r >> 8)) & 0xFF;
  }
  uint32_t state() const { return state_; }

 private:
  uint32_t state_ = kInitialState;
};

// Largest value GetRandom returns.
constexpr int kRandomMax = 32767;
