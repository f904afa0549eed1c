#include "engine/files/random.h"

#include "engine/app/context.h"

void SeedRandom() { Ctx().random.Seed(Ctx().platform.clock->TickCount()); }

void SeedRandom(uint32_t seed) { Ctx().random.Seed(seed); }

int GetRandom() { return Ctx().random.Next(); }

int GetRandomByte() {
  int r = GetRandom();
  return (r ^ (r >> 8)) & 0xFF;
}
