// The generated fills above and below the walls: the ripple and banded
// floors, and the tangent and sine skies and floors. Each fills a block of
// 16 neighbouring screen columns, every column its own rows: out[row x
// stride + c] is the pixel of the block's column c on that row.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/framebuffer.h"
#include "raycast/block_rows.h"

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

// The rows a block's columns fill: column c, screen column first_column + c
// (0..1599), fills rows first[c] .. end[c] - 1 (within 0..900).
struct BlockSpans {
  int first_column;
  int first[kBlockColumns];
  int end[kBlockColumns];
};

// The row sky index k of column i lands on: 2k - ((k / 2) & (i / 2)),
// between 1.5k and 2k, so the pattern is stretched over up to twice the
// sky's height; indices below 450 keep it inside the frame.
inline int sky_row(int k, int i) { return 2 * k - ((k / 2) & (i / 2)); }

using BlockPattern = void (*)(uint32_t* out, size_t stride, const BlockSpans& spans,
                              const PatternFrame& frame);

void fill_ripple_floor(uint32_t* out, size_t stride, const BlockSpans& spans,
                       const PatternFrame& frame);
void fill_quarter_ripple_floor(uint32_t* out, size_t stride, const BlockSpans& spans,
                               const PatternFrame& frame);
void fill_banded_floor(uint32_t* out, size_t stride, const BlockSpans& spans,
                       const PatternFrame& frame);
void fill_sine_floor(uint32_t* out, size_t stride, const BlockSpans& spans,
                     const PatternFrame& frame);
void fill_sine_sky(uint32_t* out, size_t stride, const BlockSpans& spans,
                   const PatternFrame& frame);
void fill_tangent_sky(uint32_t* out, size_t stride, const BlockSpans& spans,
                      const PatternFrame& frame);
void fill_masked_tangent_sky(uint32_t* out, size_t stride, const BlockSpans& spans,
                             const PatternFrame& frame);
