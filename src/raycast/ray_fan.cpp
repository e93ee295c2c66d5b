// The fan of the frame's rays, refilled only when the heading changes, and
// the columns' turn cosines: the library's remainder, tangent and cosine of
// each column's angle are taken once per heading instead of once per frame.
#include "raycast/ray_fan.h"

#include <cmath>
#include <cstring>

#include "common/framebuffer.h"
#include "raycast/world.h"

namespace {

// The cosine of a column's turn from the heading, for the last turn asked.
struct TurnCosine {
  float turn = 0.0f;    // radians
  double cosine = 1.0;  // cos(turn)
};

// index column 0..1599; a column's entries are written only by the thread
// that casts or draws it
RayDirection fan[kFrameWidth];
TurnCosine turn_cosines[kFrameWidth];
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
  fan[column] = ray_direction(static_cast<float>(angle_off_heading + heading));
}

const RayDirection& ray_fan_direction(int column) { return fan[column]; }

double ray_fan_turn_cosine(int column, float turn) {
  TurnCosine& memo = turn_cosines[column];
  if (memo.turn != turn) {
    memo.turn = turn;
    memo.cosine = std::cos(double(turn));
  }
  return memo.cosine;
}
