#pragma once
// The game's doors to engine services that it calls as plain functions: each works on the service
// of the current engine context (Ctx()). Engine services never call these; they are handed the
// service they need when the context builds them.

#include <cstdint>

#include "engine/gfx/gfx_types.h"

// ---- Random numbers (GameRandom of the current context) ----

// Seeds the generator from the tick count (once, at start-up).
void SeedRandom();
// Seeds the generator with a given value.
void SeedRandom(uint32_t seed);
// The next value, 0..32767 (kRandomMax).
int GetRandom();
// 0..255: the exclusive-or of the two bytes of the next GetRandom value.
int GetRandomByte();

// ---- User surfaces (CDdrawFunc of the current context) ----

UserSurface CreateUserSurface(int width, int height);
int DeleteUserSurface(UserSurface number);
