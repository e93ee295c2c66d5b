// The intro sequencer: its own timetable of the two words, the pulsing square,
// the outline drawn one side after the other, and the two fly-throughs. It
// keeps no state; every frame is drawn from the clock alone.
#include "intro/intro.h"

#include <cmath>

#include "common/numeric.h"
#include "common/timeline.h"
#include "platform/clock.h"
#include "raycast/camera.h"
#include "raycast/columns.h"

namespace {

constexpr uint32_t kSquareColour = 0xFF50D0DF;

// Breathes between 36 and 46 pixels a side and wobbles about a pixel.
void draw_pulsing_square(float t) {
  double s = std::sin(double(t));
  double c = std::cos(double(t));
  fill_rect(to_int32(c + 1009), to_int32(s + 45), to_int32(40 - 5 * c), to_int32(40 - 5 * s),
            kSquareColour);
}

// One side of the outline around the square, with the position t' after which
// it appears; index 0 to 3 in drawing order, coordinates in pixels.
struct OutlineSide {
  float appears_after;
  int x0, y0, x1, y1;
};
constexpr OutlineSide outline_sides[4] = {
    {25, 995, 30, 1060, 30},  // top, left to right
    {27, 1060, 30, 1060, 92}, // right, downwards
    {29, 995, 92, 1060, 92},  // bottom, left to right
    {31, 995, 92, 995, 30},   // left, upwards
};

bool within(float t, float after, float before) { return after < t && t < before; }

}  // namespace

void step_intro() { camera_record().last_frame_ticks = clock_ticks(); }

void draw_intro() {
  step_intro();
  float t = timeline_position(clock_ticks());
  if (within(t, 5, 37)) draw_hello_word();
  if (within(t, 12, 37)) draw_slanted_word();
  if (within(t, 22, 46)) draw_pulsing_square(t);
  for (const OutlineSide& side : outline_sides)
    if (within(t, side.appears_after, 46)) draw_line(side.x0, side.y0, side.x1, side.y1);
  if (within(t, 42, 77)) draw_columns_intro1();
  if (within(t, 77, 100)) draw_columns_intro2();
}
