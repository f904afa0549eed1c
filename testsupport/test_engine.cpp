#include "testsupport/test_engine.h"

namespace testsupport {

namespace {
platform::Platform& WithCodecs(platform::Platform& seams, platform::WaveCodecs* codecs) {
  seams.codecs = codecs;
  return seams;
}
}  // namespace

TestEngine::TestEngine()
    : context_(std::make_unique<EngineContext>(WithCodecs(host.seams(), &codecs))),
      scope_(std::make_unique<ContextScope>(*context_)) {}

TestEngine::~TestEngine() {
  scope_.reset();
  context_.reset();
}

}  // namespace testsupport
