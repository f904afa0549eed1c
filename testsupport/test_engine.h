#pragma once
// A fresh engine for one test: the headless platform, an engine context built on it and made
// current, all torn down with the object.

#include <memory>

#include "engine/app/context.h"
#include "platform/ffmpeg/ffmpeg_wave_codecs.h"
#include "platform/headless/headless_platform.h"

namespace testsupport {

class TestEngine {
 public:
  TestEngine();
  ~TestEngine();

  platform::headless::HeadlessPlatform host;
  // The real wave codecs (pure software), plugged into host.seams().codecs.
  platform::ffmpeg::FfmpegWaveCodecs codecs;
  EngineContext& ctx() { return *context_; }

 private:
  std::unique_ptr<EngineContext> context_;
  std::unique_ptr<ContextScope> scope_;
};

}  // namespace testsupport
