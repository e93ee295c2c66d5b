// The fan of the frame's rays, refilled only when the heading changes: the
// library's remainder, tangent and cosine of each column's angle are then
// taken once per heading instead of once per frame.
#include "raycast/ray_fan.h"

#include <cmath>
#include <cstring>

#include "common/framebuffer.h"
#include "raycast/world.h"

namespace {

struct FanColumn {
  RayDirection direction;
  float turn = 0.0f;     // the normalised angle less the heading, radians
  double cosine = 1.0;   // cos(turn): a fan never filled holds turn 0
};

// index column 0..1599, written for a column only by the thread that casts it
FanColumn fan[kFrameWidth];
bool fan_filled = false;
uint32_t fan_heading = 0;  // the heading's bits: -0 and NaNs stay apart

uint32_t bits_of(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

}  // namespace

bool ray_fan_turns_to(float heading) {
  if (fan_filled && bits_of(heading) == fan_heading) return false;
  fan_filled = true;
  fan_heading = bits_of(heading);
  return true;
}

void ray_fan_refill(int column, double angle_off_heading) {
  float heading;
  std::memcpy(&heading, &fan_heading, sizeof heading);
  FanColumn& f = fan[column];
  f.direction = ray_direction(static_cast<float>(angle_off_heading + heading));
  f.turn = f.direction.angle - heading;
  f.cosine = std::cos(double(f.turn));
}

const RayDirection& ray_fan_direction(int column) { return fan[column].direction; }

double ray_fan_turn_cosine(int column, float turn) {
  const FanColumn& f = fan[column];
  return f.turn == turn ? f.cosine : std::cos(double(turn));
}
