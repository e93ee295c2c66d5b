// Generated patterns drawn a vector of the processor's width at a time
// (common/simd_target.h): the sine, ripple and banded patterns along a
// block's rows, each row's 16 pixels one 64-byte line, and the tangent skies
// down each column a vector of sky indices at a time.
#pragma once
#include <cstddef>
#include <cstdint>

#include "raycast/patterns.h"

// The ripple floors along the block's rows (false, and nothing drawn, where
// the target draws them faster down the columns): for each lane c (screen
// column i) and each row j of its span, writes
// hundred_tan_less_forty_atan(i / (j + 1) + 1, i & (j >> shift)) ^ key to
// out[j x stride + c].
bool ripple_rows(uint32_t* out, size_t stride, const BlockSpans& spans, int shift, uint32_t key);

// The banded floor likewise: for each lane and each row j of its span in
// turn, hundred_tan_less_five_times(i / (j + 1) + 1, (2 j) & i) & mask to
// row j & row_mask, which must clear bit 1 of every row; a row j with bit 1
// clear whose j + 2 the span holds is left out, as that row replaces it.
bool banded_rows(uint32_t* out, size_t stride, const BlockSpans& spans, uint32_t mask,
                 uint32_t row_mask);

// For each lane c of the block (screen column i = first_column + c) and each
// of its rows first[c] .. end[c] - 1, writes
// (|50 sin(u)| truncated + 4 x (row & i)) ^ keys[row] to out[row x stride + c],
// with u = 1 - (5 i) / frame.sine_depth[row] in single precision: exactly
// what fifty_sine gives, modulo 2^32. keys is indexed by row 0..899.
void sine_wave_rows(uint32_t* out, size_t stride, const BlockSpans& spans,
                    const PatternFrame& frame, const uint32_t* keys);

// The tangent skies: for each lane c (screen column i) and each sky index k
// of its span below 450, in order of k, (2 tan(sky_angle(frame.sky_base,
// frame.sky_swing, sky_offset(k, 0.1 i))), truncated, ^ flip) & keep to
// out[sky_row(k, i) x stride + c].
void tangent_sky_rows(uint32_t* out, size_t stride, const BlockSpans& spans,
                      const PatternFrame& frame, uint32_t flip, uint32_t keep);
