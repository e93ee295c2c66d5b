// The scripted camera: frame pacing through the clock seam, the paths of the
// timeline windows, and the cast of the frame's rays.
#pragma once
#include <cstdint>

struct Camera {
  float x;              // world units
  float y;
  int32_t turn_dir;
  int32_t move_dir;
  float heading;        // radians
  float move_speed;     // world units per second per unit of move_dir
  float turn_speed;     // radians per second per unit of turn_dir
  float path_progress;
  bool path1_pending;
  bool path2_pending;
  bool path3_pending;
  bool path4_pending;
  uint32_t last_frame_ticks;  // milliseconds the pacing measures from
};

Camera& camera_record();
void camera_reset();  // back to the values at load (tests and tools only)
void update_camera();  // move_camera, then the cast of the frame's rays
void move_camera();    // pacing, turn, move and path, without the cast
void try_move(double step);
