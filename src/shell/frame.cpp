// One frame of the show, drawn or replayed: the camera step, the clock
// reading, and each scene's renderers within its windows. A replayed frame
// keeps only what outlives the frame (camera, pacing, sprite table).
#include <algorithm>

#include "common/framebuffer.h"
#include "common/timeline.h"
#include "intro/intro.h"
#include "platform/clock.h"
#include "raycast/camera.h"
#include "raycast/columns.h"
#include "shell/shell.h"
#include "sprites/sprites.h"

namespace {

// Each scene's calls: its picture, then its sprites, drawn; and what each of
// them leaves behind when the frame is only replayed (none for most pictures).
struct SceneCalls {
  SceneRenderer picture;
  SceneRenderer sprites;
  SceneRenderer picture_step;
  SceneRenderer sprites_step;
};
constexpr SceneCalls scene_calls[kSceneCount] = {
    {draw_intro, nullptr, step_intro, nullptr},
    {draw_columns_scene1, draw_sprites_scene1, nullptr, step_sprites_scene1},
    {draw_columns_scene2, draw_sprites_scene2, nullptr, step_sprites},
    {draw_columns_scene3, draw_sprites_scene3, nullptr, step_sprites},
    {draw_columns_scene4, draw_sprites_scene4, nullptr, step_sprites},
};

int calls_at(float t, bool drawn, SceneRenderer out[kMaxSceneRenderers]) {
  int count = 0;
  for (int scene = 0; scene < kSceneCount; ++scene) {
    const SceneTiming& timing = kSceneTimings[scene];
    const SceneCalls& calls = scene_calls[scene];
    SceneRenderer picture = drawn ? calls.picture : calls.picture_step;
    SceneRenderer sprites = drawn ? calls.sprites : calls.sprites_step;
    if (picture && within_window(timing.picture, t)) out[count++] = picture;
    if (sprites && within_window(timing.sprites, t)) out[count++] = sprites;
  }
  return count;
}

}  // namespace

void replay_frame() {
  move_camera();
  float t = timeline_position(clock_ticks());
  SceneRenderer steps[kMaxSceneRenderers];
  int count = calls_at(t, false, steps);
  for (int i = 0; i < count; ++i) steps[i]();
}

int scene_renderers_at(float t, SceneRenderer out[kMaxSceneRenderers]) {
  return calls_at(t, true, out);
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
  framebuffer_settle();
  return t;
}

uint32_t stepped_frame_ms(int n, int fps, uint32_t end_ms) {
  return std::max(uint32_t(double(n) * 1000.0 / fps), end_ms);
}

uint32_t replay_until(uint32_t ms, int fps) {
  camera_reset();
  sprites_reset();
  uint32_t end_ms = 0;
  for (int n = 0; double(n) * 1000.0 / fps < ms; ++n) {
    clock_set(stepped_frame_ms(n, fps, end_ms));
    replay_frame();
    end_ms = clock_ticks();
  }
  return std::max(ms, end_ms);
}
