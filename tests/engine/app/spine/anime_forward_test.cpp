// The frame loop's animation step reaches the context's animation list.

#include <gtest/gtest.h>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/app/engine_services.h"
#include "engine/gfx/display/ddraw_func.h"
#include "testsupport/test_engine.h"

namespace {

TEST(SpineAnime, ProductionServicesStepTheAnimationList) {
  testsupport::TestEngine engine;
  AnimeHandle fade = Ctx().anime.CreateFade(0, 256, 60, 0);
  ASSERT_EQ(Ctx().anime.SetAutoClear(&fade), 1);
  Services().AnimeExec(1000);
  Services().AnimeExec(1500);  // 30 frames later
  EXPECT_EQ(Ctx().ddraw.GetFadeLevel(), 128);
  for (int32_t t = 2000; t <= 2200; t += 100) Services().AnimeExec(t);
  EXPECT_EQ(fade, nullptr);
}

}  // namespace
