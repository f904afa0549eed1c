#include "minigames/slot/slot_rules.h"

#include <algorithm>

namespace slot {

namespace {

size_t Index(int32_t i) { return static_cast<size_t>(i); }

// Symbols outside 0-4 (never made by the strips) are read as 0 rather than indexing past a table.
int32_t Sym(int32_t s) { return s >= 0 && s < kSymbols ? s : 0; }

}  // namespace

int32_t ShownSymbol(int reel, int32_t position) {
  const int32_t wrapped = ((position % kStripPixels) + kStripPixels) % kStripPixels;
  return kStrips[Index(reel)][Index((wrapped / kSymbolPixels + 1) % kStripLength)];
}

bool AdvanceReel(int reel, Reel& r) {
  if (r.stop == kStopped) return false;
  const int32_t old = r.position;
  const int32_t advanced = old + kSpeeds[Index(reel)];
  if (r.stop == kStopRequested) {
    const int32_t boundary = (old / kSymbolPixels + 1) * kSymbolPixels;
    if (advanced >= boundary) {
      r.position = boundary % kStripPixels;
      r.stop = kStopped;
      return true;
    }
  }
  r.position = advanced % kStripPixels;
  return false;
}

int32_t Grade(int32_t s0, int32_t s1, int32_t s2) {
  if (s0 == s1 && s1 == s2) return s0 < 3 ? 1 : 3;
  const int32_t c = (s0 >= 3 ? 1 : 0) + (s1 >= 3 ? 1 : 0);
  if (c == 1) return 3;
  if (c == 2) return 2;
  return s2 < 3 ? 1 : 0;
}

const char* ReactionVoice(int32_t s0, int32_t s1, int32_t s2, int32_t random) {
  if (s0 == s1 && s1 == s2) return kTripleVoices[Index(Sym(s0))];
  return kGradeVoices[Index(Grade(s0, s1, s2))][Index((random >> 8) & 1)];
}

int32_t CategoryValue(int32_t s0, int32_t s1, int32_t s2, int category, int adjust) {
  int32_t value = 0;
  if (s0 == s1 && s1 == s2) {
    value = kTripleValues[Index(Sym(s0))];
  } else {
    value = kReelTerms[0][Index(Sym(s0))] + kReelTerms[1][Index(Sym(s1))] +
            kReelTerms[2][Index(Sym(s2))];
  }
  if (s0 == s1 || s1 == s2 || s0 == s2) value += 1;
  value += kAdjustments[Index(category)][Index(adjust & 7)];
  return std::clamp(value, -kValueLimit, kValueLimit);
}

int32_t ClampPlaySum(int32_t score, int32_t sum) {
  return std::clamp(score + sum, -kScoreLimit, kScoreLimit) - score;
}

int32_t TransferMove(int32_t left) {
  if (left > 1) return 2;
  if (left < -1) return -2;
  return left;
}

const char* ClosingVoice(int32_t mode, int32_t score) {
  const int32_t unit = mode == 0 ? 50 : 100;
  if (score >= 3 * unit) return kClosingVoices[0];
  if (score >= 2 * unit) return kClosingVoices[1];
  if (score >= unit) return kClosingVoices[2];
  return kClosingVoices[3];
}

int32_t ResultVar2(int32_t score) {
  if (score >= 150) return 2;
  if (score >= 50) return 1;
  return 0;
}

int32_t ResultVar9(int32_t score) { return score >= 300 ? 1 : 0; }

}  // namespace slot
