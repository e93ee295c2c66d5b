// The generated fills above and below the walls: solid colours, the ripple
// and banded floors, and the tangent and sine skies and floors. Each fills
// rows first_row .. end_row - 1 (within 0..900) of one screen column 0..1599:
// out[row x stride] is the column's pixel on that row.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/framebuffer.h"

// The values the patterns share for a whole frame.
struct PatternFrame {
  float r;           // the scene clock, milliseconds x 0.004
  double sky_base;   // r / 150, the single-precision quotient
  double sky_swing;  // sin(0.001 r)
  // index row 0..899: (2 x row) x (r / 200) + 1, the divisor of the sine
  // patterns' argument
  float sine_depth[kFrameHeight];
  // every divisor is at least 1 (r / 200 is finite and not negative), so the
  // sine patterns' arguments 1 - (5 i) / d stay within -7994 .. 1
  bool sine_arguments_small;
};

// Also prepares the patterns' tables on the first call.
PatternFrame pattern_frame(float r);

using ColumnPattern = void (*)(uint32_t* out, size_t stride, int column, int first_row, int end_row,
                               const PatternFrame& frame);

void fill_ripple_floor(uint32_t* out, size_t stride, int column, int first_row, int end_row,
                       const PatternFrame& frame);
void fill_quarter_ripple_floor(uint32_t* out, size_t stride, int column, int first_row, int end_row,
                               const PatternFrame& frame);
void fill_banded_floor(uint32_t* out, size_t stride, int column, int first_row, int end_row,
                       const PatternFrame& frame);
void fill_sine_floor(uint32_t* out, size_t stride, int column, int first_row, int end_row,
                     const PatternFrame& frame);
void fill_sine_sky(uint32_t* out, size_t stride, int column, int first_row, int end_row,
                   const PatternFrame& frame);
void fill_tangent_sky(uint32_t* out, size_t stride, int column, int first_row, int end_row,
                      const PatternFrame& frame);
void fill_masked_tangent_sky(uint32_t* out, size_t stride, int column, int first_row, int end_row,
                             const PatternFrame& frame);
