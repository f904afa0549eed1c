#include "engine/app/doors.h"

#include "engine/app/context.h"
#include "engine/files/random.h"
#include "engine/gfx/display/ddraw_func.h"
#include "platform/platform.h"

void SeedRandom() { Ctx().random.Seed(Ctx().platform.clock->TickCount()); }

void SeedRandom(uint32_t seed) { Ctx().random.Seed(seed); }

int GetRandom() { return Ctx().random.Next(); }

int GetRandomByte() { return Ctx().random.NextByte(); }

UserSurface CreateUserSurface(int width, int height) {
  return Ctx().ddraw.CreateUserSurfaceEx(width, height, 0);
}

int DeleteUserSurface(UserSurface number) { return Ctx().ddraw.DeleteUserSurface(number); }
