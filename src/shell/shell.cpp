// Start-up in its fixed order, the frame loop, and shut-down. The shell owns
// the window, the framebuffer, the picture slots and the run flag; it draws
// nothing itself but the clear.
#include "shell/shell.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "common/framebuffer.h"
#include "common/timeline.h"
#include "intro/intro.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/music.h"
#include "raycast/camera.h"
#include "raycast/columns.h"
#include "sprites/sprites.h"

const char* const image_file_names[kImageSlots] = {
    "images/transparent.png", "images/orvane.png",   "images/plomet.png",
    "images/corvel.png",      "images/greetings.png", "images/windrake.png",
    "images/quarn.png",       "images/tazzle.png",    "images/you.png",
    "images/fish.png",        "images/fish2.png",     "images/octopus.png",
    "images/duck.png",        "images/donut.png",     "images/deutschprachig.png",
    "images/jubra23.png",     "images/jubra23orig.png",
};
const char* const music_file_name = "music/vondsorvane2.wav";

namespace {

struct ShellState {
  bool running = false;
};
ShellState shell;

// Each scene's renderers: its picture, then its sprites, each called within
// that scene's window of the timeline.
struct SceneRenderers {
  SceneRenderer picture;
  SceneRenderer sprites;
};
constexpr SceneRenderers scene_renderers[kSceneCount] = {
    {draw_intro, nullptr},
    {draw_columns_scene1, draw_sprites_scene1},
    {draw_columns_scene2, draw_sprites_scene2},
    {draw_columns_scene3, draw_sprites_scene3},
    {draw_columns_scene4, draw_sprites_scene4},
};

int fail_start(const char* message) {
  std::fputs(message, stderr);
  std::fputs("crash\n", stdout);
  return -1;
}

void run_frame_loop() {
  while (shell.running) {
    if (platform_poll_quit()) shell.running = false;
    float t = draw_frame();
    platform_present(frame_pixels);
    if (t > kTimelineEnd) break;
  }
}

void shut_down() {
  free_images();
  std::free(frame_pixels);
  frame_pixels = nullptr;
  platform_close();
}

}  // namespace

int scene_renderers_at(float t, SceneRenderer out[kMaxSceneRenderers]) {
  int count = 0;
  for (int scene = 0; scene < kSceneCount; ++scene) {
    const SceneTiming& timing = kSceneTimings[scene];
    const SceneRenderers& renderers = scene_renderers[scene];
    if (within_window(timing.picture, t)) out[count++] = renderers.picture;
    if (renderers.sprites && within_window(timing.sprites, t)) out[count++] = renderers.sprites;
  }
  return count;
}

void dispatch_scenes(float t) {
  SceneRenderer renderers[kMaxSceneRenderers];
  int count = scene_renderers_at(t, renderers);
  for (int i = 0; i < count; ++i) renderers[i]();
}

float draw_frame() {
  update_camera();
  uint32_t ticks = clock_ticks();
  framebuffer_clear();
  float t = timeline_position(ticks);
  dispatch_scenes(t);
  return t;
}

int demo_main() {
  if (!platform_init()) return fail_start("Error initializing SDL.\n");
  if (!platform_open_window()) return fail_start("Error creating SDL window.\n");
  if (!platform_open_renderer()) return fail_start("Error creating SDL renderer.\n");
  frame_pixels = static_cast<uint32_t*>(std::malloc(kFrameBytes));
  if (!frame_pixels) return fail_start("Error allocating the frame buffer.\n");
  platform_create_texture();
  shell.running = true;
  platform_hide_cursor();
  music_start(music_file_name);
  load_images();
  run_frame_loop();
  shut_down();
  return 0;
}
