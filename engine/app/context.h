#pragma once
// The engine context: the one object that holds every engine service's state. The program
// builds one at start and makes it current; a test builds a fresh one per case. Engine code
// reaches the current context through Ctx().
//
// Service headers never include this file (only .cpp files do), so that the context can hold
// every service by value without include cycles. Adding a service: include its header below and
// add a member; construct it from the platform seams if it needs them.

#include "engine/app/frame_rate.h"
#include "engine/app/game_task.h"
#include "platform/platform.h"

class EngineContext {
 public:
  explicit EngineContext(platform::Platform& seams) : platform(seams), frame_rate(*seams.clock) {}
  EngineContext(const EngineContext&) = delete;
  EngineContext& operator=(const EngineContext&) = delete;

  platform::Platform& platform;

  CFrameRate frame_rate;  // the application object: game clock, frame gate, application state
  CGameTask game_task;    // the task list
};

// The current context. Calling it with none current is a programming error and aborts.
EngineContext& Ctx();
// Whether a context is current.
bool HasCtx();

// Makes a context current for its lifetime and restores the previous one afterwards.
class ContextScope {
 public:
  explicit ContextScope(EngineContext& context);
  ~ContextScope();
  ContextScope(const ContextScope&) = delete;
  ContextScope& operator=(const ContextScope&) = delete;

 private:
  EngineContext* previous_;
};
