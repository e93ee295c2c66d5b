// The shell: scene table, timeline conversion, and whole runs of the real
// program on SDL's dummy drivers under the virtual clock.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/framebuffer.h"
#include "common/image_table.h"
#include "common/timeline.h"
#include "intro/intro.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "raycast/camera.h"
#include "raycast/columns.h"
#include "shell/shell.h"
#include "sprites/sprites.h"

namespace {

std::vector<SceneRenderer> renderers_at(float t) {
  SceneRenderer out[kMaxSceneRenderers];
  int count = scene_renderers_at(t, out);
  return std::vector<SceneRenderer>(out, out + count);
}

using R = std::vector<SceneRenderer>;

TEST(SceneTable, WindowsAndOrder) {
  EXPECT_EQ(renderers_at(99.9f), R{draw_intro});
  EXPECT_EQ(renderers_at(100.0f), R{});
  EXPECT_EQ(renderers_at(100.5f), R{});
  EXPECT_EQ(renderers_at(101.0f), R{});
  EXPECT_EQ(renderers_at(151.0f), R{draw_columns_scene1});
  EXPECT_EQ(renderers_at(151.1f), (R{draw_columns_scene1, draw_sprites_scene1}));
  EXPECT_EQ(renderers_at(255.0f), R{});
  EXPECT_EQ(renderers_at(267.0f), R{draw_columns_scene2});
  EXPECT_EQ(renderers_at(267.5f), (R{draw_columns_scene2, draw_sprites_scene2}));
  EXPECT_EQ(renderers_at(320.0f), R{draw_columns_scene2});
  EXPECT_EQ(renderers_at(330.0f),
            (R{draw_columns_scene2, draw_columns_scene3, draw_sprites_scene3}));
  EXPECT_EQ(renderers_at(340.0f), (R{draw_columns_scene3, draw_sprites_scene3}));
  EXPECT_EQ(renderers_at(530.0f), R{});
  EXPECT_EQ(renderers_at(631.0f), (R{draw_columns_scene4, draw_sprites_scene4}));
}

TEST(Timeline, ExactPositions) {
  EXPECT_EQ(timeline_position(51000), 255.0f);
  EXPECT_EQ(timeline_position(20000), 100.0f);
  EXPECT_EQ(timeline_position(0), 0.0f);
  EXPECT_EQ(scene_clock(56250), 225.0f);
}

// Each run starts the subsystems' state afresh, as a new process would. The
// clock advances with every reading, so a whole show takes a few hundred frames
// (renderers that read the clock per column make their frames longer).
void prepare_run(uint32_t ms_per_reading) {
  camera_reset();
  sprites_reset();
  clock_use_virtual(0, ms_per_reading);
  clock_reset_stats();
}

// Events left over from an earlier run (window events) are dropped first, so
// the pushed event is the first one the frame loop polls.
void push_event(const SDL_Event& event) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  SDL_Event copy = event;
  ASSERT_EQ(SDL_PushEvent(&copy), 1);
}

TEST(ShellRun, WholeShowEndsAfterTimeline630AndReleasesEverything) {
  prepare_run(20);
  uint32_t frames_before = platform_frames_presented();
  EXPECT_EQ(demo_main(0, nullptr), 0);
  EXPECT_EQ(frame_pixels, nullptr);
  for (Image* image : image_table) EXPECT_EQ(image, nullptr);
  EXPECT_GT(clock_ticks() * 0.005, 630.0);
  EXPECT_GT(platform_frames_presented() - frames_before, 20u);
  clock_use_real();
}

TEST(ShellRun, QuitRequestEndsRunAfterThatFrame) {
  prepare_run(20);
  SDL_Event quit = {};
  quit.type = SDL_QUIT;
  push_event(quit);
  uint32_t frames_before = platform_frames_presented();
  EXPECT_EQ(demo_main(0, nullptr), 0);
  EXPECT_EQ(platform_frames_presented() - frames_before, 1u);
  EXPECT_EQ(frame_pixels, nullptr);
  clock_use_real();
}

TEST(ShellRun, EscapeKeyEndsRunAfterThatFrame) {
  prepare_run(20);
  SDL_Event key = {};
  key.type = SDL_KEYDOWN;
  key.key.keysym.sym = SDLK_ESCAPE;
  push_event(key);
  uint32_t frames_before = platform_frames_presented();
  EXPECT_EQ(demo_main(0, nullptr), 0);
  EXPECT_EQ(platform_frames_presented() - frames_before, 1u);
  clock_use_real();
}

TEST(ShellRunDeathTest, PlatformFailurePrintsMessageAndCrash) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
        std::exit(demo_main(0, nullptr));
      },
      testing::ExitedWithCode(255), "Error initializing SDL\\.");
}

// With no display at all and no driver chosen, SDL would fall back to a
// driver that shows nothing: the show must not play unseen.
TEST(ShellRunDeathTest, NoDisplayAndNoChosenDriverIsAFailedStart) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        for (const char* name : {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"})
          unsetenv(name);
        std::exit(demo_main(0, nullptr));
      },
      testing::ExitedWithCode(255), "scripts/play\\.sh.*Error initializing SDL\\.");
}

}  // namespace
