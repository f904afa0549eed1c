#include "engine/app/context.h"

#include <cstdio>
#include <cstdlib>

namespace {
EngineContext* g_current = nullptr;
}

EngineContext& Ctx() {
  if (g_current == nullptr) {
    std::fputs("engine context used before one was made current\n", stderr);
    std::abort();
  }
  return *g_current;
}

bool HasCtx() { return g_current != nullptr; }

ContextScope::ContextScope(EngineContext& context) : previous_(g_current) { g_current = &context; }

ContextScope::~ContextScope() { g_current = previous_; }
