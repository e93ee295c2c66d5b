// The sine patterns drawn along a block's rows: the 16 columns of a row
// divide, convert and find their sine cells together in vectors, and each
// row's 16 pixels go out as one 64-byte line.
#pragma once
#include <cstddef>
#include <cstdint>

#include "raycast/patterns.h"

// For each lane c of the block (screen column i = first_column + c) and each
// of its rows first[c] .. end[c] - 1, writes
// (|50 sin(u)| truncated + 4 x (row & i)) ^ keys[row] to out[row x stride + c],
// with u = 1 - (5 i) / frame.sine_depth[row] in single precision: exactly
// what fifty_sine gives, modulo 2^32. keys is indexed by row 0..899.
void sine_wave_rows(uint32_t* out, size_t stride, const BlockSpans& spans,
                    const PatternFrame& frame, const uint32_t* keys);
