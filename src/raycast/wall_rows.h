// The rows inside every wall of a block, and its solid fills, a vector of
// the processor's width at a time (common/simd_target.h).
#pragma once
#include <cstddef>
#include <cstdint>

#include "raycast/block_rows.h"

// Rows first .. end - 1 of the block, each inside every lane's wall, every
// lane's wall being drawn here: the words the column pipeline gives them,
// clamped into the pixel buffers and darkened where asked.
void draw_wall_rows(uint32_t* out, size_t stride, const BlockLane (&lanes)[kBlockColumns],
                    int first, int end);

// Rows first .. end - 1 of the block in one colour.
void fill_rows(uint32_t* out, size_t stride, int first, int end, uint32_t colour);
