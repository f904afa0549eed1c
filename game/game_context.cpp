#include "game/game_context.h"

GameContext& Game() { return Current<GameContext>::Get("game context"); }

bool HasGame() { return Current<GameContext>::Has(); }
