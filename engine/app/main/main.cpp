// The program's entry: builds the real platform seams and an engine context on them.

#include "engine/app/context.h"
#include "platform/clock.h"
#include "platform/platform.h"

int main() {
  platform::SystemClock clock;
  platform::Platform seams;
  seams.clock = &clock;
  EngineContext context(seams);
  ContextScope scope(context);
  return 0;
}
