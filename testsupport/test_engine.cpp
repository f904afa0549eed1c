#include "testsupport/test_engine.h"

namespace testsupport {

TestEngine::TestEngine()
    : context_(std::make_unique<EngineContext>(host.seams())),
      scope_(std::make_unique<ContextScope>(*context_)) {}

TestEngine::~TestEngine() {
  scope_.reset();
  context_.reset();
}

}  // namespace testsupport
