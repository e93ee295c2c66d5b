// The directions of the frame's 1600 rays, remembered while the heading
// stays: each screen column's normalised angle with its tangent and facing,
// and the cosine of its turn from the heading. They depend on the heading
// alone, which holds still through most of the show.
#pragma once
#include <cstdint>

// A ray's direction as the walks use it.
struct RayDirection {
  float angle;     // radians, normalised into [0, 2 pi)
  double tangent;  // tan(angle), in double
  bool up;         // ray_faces_up(angle)
  bool left;       // ray_faces_left(angle)
};

// Called once a frame before the columns' rays are cast: true when heading
// (radians) differs from the one the fan holds, and the fan then takes it;
// every column must then be refilled before it is read.
bool ray_fan_turns_to(float heading);
// Works out column 0..1599's direction for the fan's heading; columns may be
// refilled on different threads at once.
void ray_fan_refill(int column, double angle_off_heading);
const RayDirection& ray_fan_direction(int column);

// cos(turn) in double for column 0..1599's turn from the heading (radians),
// remembered per column while the turn stays; a column's memo may be used
// by one thread at a time.
double ray_fan_turn_cosine(int column, float turn);
