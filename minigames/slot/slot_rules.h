#pragma once
// The slot machine's tables and rules, plain functions with no screen: the reel strips and their
// stop at a symbol boundary, the reaction grade and voices, the category values, the score's
// clamp and transfer moves, and the closing voice and results. slot_proc drives them a step at a
// time; tests call them directly.

#include <array>
#include <cstdint>

#include "minigames/slot/slot_state.h"

namespace slot {

constexpr int kStripLength = 16;
constexpr int32_t kSymbolPixels = 64;
constexpr int32_t kStripPixels = kStripLength * kSymbolPixels;
constexpr int32_t kStartPosition = 32;
constexpr int kSymbols = 5;

constexpr std::array<std::array<int32_t, kStripLength>, kReels> kStrips = {{
    {1, 4, 0, 3, 2, 1, 3, 4, 0, 2, 3, 1, 2, 0, 4, 3},
    {4, 1, 0, 2, 3, 4, 1, 2, 3, 0, 4, 2, 0, 3, 1, 2},
    {3, 2, 0, 4, 1, 3, 0, 4, 3, 1, 2, 4, 1, 3, 0, 2},
}};
// Pixels a reel advances per step.
constexpr std::array<int32_t, kReels> kSpeeds = {4, 5, 6};

// Value of a triple by its symbol, and each reel's term by its symbol (reel 2's symbol 3 is 0).
constexpr std::array<int32_t, kSymbols> kTripleValues = {10, 9, 9, 5, 5};
constexpr std::array<std::array<int32_t, kSymbols>, kReels> kReelTerms = {{
    {2, 2, 2, -2, -2},
    {2, 2, 2, -2, -2},
    {2, 2, 2, 0, -2},
}};
// Adjustment of each category, indexed by a random number & 7.
constexpr std::array<std::array<int32_t, 8>, kCategories> kAdjustments = {{
    {1, 1, 0, 0, 0, 0, -1, -1},
    {2, 1, 1, 1, 0, -1, -1, -1},
    {2, 1, 1, 1, 0, 0, 0, -1},
    {1, 0, 0, -1, -1, -1, -2, -2},
    {1, 1, 0, 0, 0, 0, -1, -1},
    {2, 2, 1, 1, 1, 0, 0, -1},
}};
constexpr int32_t kValueLimit = 10;
constexpr int32_t kScoreLimit = 999;

// Pictures: category i's plate, the hostess's reaction by grade.
constexpr std::array<int32_t, kCategories> kPlatePictures = {100, 103, 101, 104, 102, 105};
constexpr std::array<int32_t, 4> kGradePictures = {72, 71, 73, 74};

// Voices: the triples of symbols 0-4, the two of each grade (0-3), greeting, closing, the gag.
constexpr std::array<const char*, kSymbols> kTripleVoices = {
    "tamvik3\\voice\\2443.wav", "tamvik3\\voice\\2444.wav", "tamvik3\\voice\\2445.wav",
    "tamvik3\\voice\\2446.wav", "tamvik3\\voice\\2447.wav"};
constexpr std::array<std::array<const char*, 2>, 4> kGradeVoices = {{
    {"tamvik3\\voice\\2450.wav", "tamvik3\\voice\\2451.wav"},
    {"tamvik3\\voice\\2448.wav", "tamvik3\\voice\\2449.wav"},
    {"tamvik3\\voice\\2452.wav", "tamvik3\\voice\\2453.wav"},
    {"tamvik3\\voice\\2454.wav", "tamvik3\\voice\\2455.wav"},
}};
constexpr const char* kGreetingVoice = "tamvik3\\voice\\2442.wav";
// Closing voices from the best score band down (2451 is also a grade-0 voice).
constexpr std::array<const char*, 4> kClosingVoices = {
    "tamvik3\\voice\\2456.wav", "tamvik3\\voice\\2451.wav", "tamvik3\\voice\\2458.wav",
    "tamvik3\\voice\\2459.wav"};
constexpr const char* kGagVoice = "tamvik3\\voice\\2084.wav";

// Sounds: the static list (null-terminated) and the music.
constexpr const char* kSeSystem00 = "tamvik3\\se\\system00.wav";
constexpr const char* kSeSpin = "tamvik3\\se\\slot07.wav";
constexpr const char* kSeReelStop = "tamvik3\\se\\slot08.wav";
constexpr const char* kSePanel = "tamvik3\\se\\slot09.wav";
constexpr const char* const kStaticSounds[] = {
    "tamvik3\\se\\system00.wav", "tamvik3\\se\\system01.wav", "tamvik3\\se\\system02.wav",
    "tamvik3\\se\\system03.wav", "tamvik3\\se\\slot07.wav",   "tamvik3\\se\\slot08.wav",
    "tamvik3\\se\\slot09.wav",   nullptr};
constexpr const char* kMusic = "tamvik1\\bgm\\ysol.wav";

// The symbol a reel shows in its middle row at a position.
int32_t ShownSymbol(int reel, int32_t position);

// One step of a reel that has not stopped: it advances by its speed; with a stop requested it
// stops when the advance crosses the next symbol boundary b (old < b <= new), snapped to b.
// The position wraps at the strip's end, so it never grows without bound. True when it stopped
// in this step.
bool AdvanceReel(int reel, Reel& r);

// The reaction grade (0-3) of a result.
int32_t Grade(int32_t s0, int32_t s1, int32_t s2);
// The reaction voice: the triple's voice, else one of the grade's two by bit 8 of `random`.
const char* ReactionVoice(int32_t s0, int32_t s1, int32_t s2, int32_t random);

// The value of category 0-5 for the symbols with adjustment entry `adjust` (0-7), in -10..10.
int32_t CategoryValue(int32_t s0, int32_t s1, int32_t s2, int category, int adjust);

// The play's sum cut so that score + sum stays within -999..999.
int32_t ClampPlaySum(int32_t score, int32_t sum);
// The points one transfer move takes from what is left: 2 while more than 1 is left, else 1
// (negative likewise), 0 when nothing is left.
int32_t TransferMove(int32_t left);

// The closing voice by the fortune score and the mode (thresholds 150/100/50 in mode 0, else
// 300/200/100).
const char* ClosingVoice(int32_t mode, int32_t score);
// Minigame variable 2 by the score: 2 from 150, 1 from 50, else 0; variable 9: 1 from 300.
int32_t ResultVar2(int32_t score);
int32_t ResultVar9(int32_t score);

}  // namespace slot
