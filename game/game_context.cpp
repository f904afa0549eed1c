#include "game/game_context.h"

#include <cstdio>
#include <cstdlib>

namespace {
GameContext* g_current = nullptr;
}

GameContext& Game() {
  if (g_current == nullptr) {
    std::fputs("game context used before one was made current\n", stderr);
    std::abort();
  }
  return *g_current;
}

bool HasGame() { return g_current != nullptr; }

GameScope::GameScope(GameContext& context) : previous_(g_current) { g_current = &context; }

GameScope::~GameScope() { g_current = previous_; }
