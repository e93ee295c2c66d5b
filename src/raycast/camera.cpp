// The scripted camera: frame pacing through the clock seam, the turn-and-move
// rule with collision against the world map, the path of the current timeline
// window, and the cast of the frame's rays.
#include "raycast/camera.h"

#include <cmath>

#include "common/numeric.h"
#include "common/timeline.h"
#include "platform/clock.h"
#include "raycast/world.h"

namespace {

constexpr float kFacingRowZero = 4.712389f;     // about 3 pi / 2, towards decreasing y
constexpr float kFacingHigherRows = 1.5707964f;  // about pi / 2, towards increasing y

constexpr Camera kCameraAtLoad = {
    600.0f, 600.0f, 0, 0, static_cast<float>(kTwoPi), 45.0f, 0.87266463f, 0.0f, true, true, true, true, 0,
};

Camera cam = kCameraAtLoad;

constexpr uint32_t kFrameMs = 16;  // shortest time from one frame to the next

// Sleeps out the rest of 16 ms since last_frame_ticks and returns the seconds
// since then; the next frame measures from a fresh reading.
float pace_frame() {
  uint32_t now = clock_ticks();
  uint32_t remaining = cam.last_frame_ticks - now + kFrameMs;  // wraps when overdue
  if (remaining >= 1 && remaining <= kFrameMs) clock_sleep(remaining);
  uint32_t elapsed_ms = clock_ticks() - cam.last_frame_ticks;
  cam.last_frame_ticks = clock_ticks();
  return static_cast<float>(elapsed_ms) / 1000.0f;
}

void turn(float dt) {
  cam.heading = static_cast<float>(cam.turn_dir) * cam.turn_speed * dt + cam.heading;
  cam.heading = normalize_angle(cam.heading);
}

// World units along the heading for this frame.
double move_step(float dt) { return static_cast<float>(cam.move_dir) * cam.move_speed * dt; }

// A path's fixed start, taken on its first frame only.
void begin_path(bool& pending, float x, float y, float heading) {
  if (!pending) return;
  pending = false;
  cam.heading = heading;
  cam.path_progress = 0.0f;
  cam.x = x;
  cam.y = y;
}

// Progress grows by dt x rate x scale (left to right, in double) until the
// cap, where it starts again from 0.
void advance_progress(float dt, double rate, double scale, float cap) {
  float& p = cam.path_progress;
  if (p < cap)
    p = static_cast<float>(p + dt * rate * scale);
  else
    p = 0.0f;
}

// Slides from (600, 600) while the heading swings round.
void follow_intro_path(float dt) {
  advance_progress(dt, 3.75, 0.03, 5.0f);
  float p = cam.path_progress;
  cam.x = static_cast<float>(cam.x + 0.025 * (p < 0.1 ? p : 0.0f));
  cam.y = static_cast<float>(cam.y - 0.025 * (p < 10 ? p : 0.0f));
  cam.heading = static_cast<float>(cam.heading - 0.002 * p +
                                   static_cast<float>(cam.turn_dir) * cam.turn_speed * dt);
}

// Paths 1 and 4 glide sideways, mostly along +x.
void glide(float dt, double per_x, double per_y) {
  advance_progress(dt, 4.75, 0.025, 15.0f);
  float p = cam.path_progress;
  float q = p < 15 ? p : 0.0f;
  cam.x = static_cast<float>(cam.x + per_x * q);
  cam.y = static_cast<float>(cam.y + per_y * q);
}

// Path 3 flies down the corridor towards increasing y.
void descend(float dt) {
  advance_progress(dt, 4.75, 0.025, 15.0f);
  float p = cam.path_progress;
  cam.y = static_cast<float>(cam.y + 0.14 * (p < 25 ? p : 0.0f));
  cam.heading = cam.heading - static_cast<float>(cam.turn_dir) * cam.turn_speed * dt;
}

// The path of the window holding t (strict bounds); between windows the
// camera stays where it is.
void follow_path(float t, float dt, double step) {
  if (t < 99) {
    follow_intro_path(dt);
  } else if (t > 100 && t < 255) {
    begin_path(cam.path1_pending, 100.0f, 400.0f, kFacingRowZero);
    glide(dt, 0.111, 0.002);
  } else if (t > 256 && t < 320) {
    begin_path(cam.path2_pending, 700.0f, 300.0f, kFacingRowZero);
    advance_progress(dt, 4.75, 0.025, 15.0f);
  } else if (t > 320 && t < 530) {
    begin_path(cam.path3_pending, 1305.0f, 15.0f, kFacingHigherRows);
    descend(dt);
  } else if (t > 531) {
    begin_path(cam.path4_pending, 100.0f, 1015.0f, kFacingRowZero);
    glide(dt, 0.131, 0.002);
  } else {
    return;
  }
  try_move(step);
}

}  // namespace

Camera& camera_record() { return cam; }

void camera_reset() { cam = kCameraAtLoad; }

void update_camera() {
  move_camera();
  cast_all_rays();
}

void move_camera() {
  float t = timeline_position(clock_ticks());
  float dt = pace_frame();
  turn(dt);
  double step = move_step(dt);
  try_move(step);
  follow_path(t, dt, step);
}

// Only the destination is tested, not the way there; the camera has no size.
void try_move(double step) {
  double heading = cam.heading;
  float x = static_cast<float>(cam.x + std::cos(heading) * step);
  float y = static_cast<float>(cam.y + std::sin(heading) * step);
  if (!within_world(x) || !within_world(y) || !cell_is_open(x, y)) return;
  cam.x = x;
  cam.y = y;
}
