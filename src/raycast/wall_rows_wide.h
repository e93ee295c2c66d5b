// The rows inside every wall of a block, and its solid fills, the block's
// 16 columns as one 512-bit vector, on processors that have them
// (common/wide_vectors.h).
#pragma once
#include <cstddef>
#include <cstdint>

#include "raycast/block_rows.h"

// Rows first .. end - 1 of the block, each inside every lane's wall, every
// lane's wall being drawn here: the same words block_rows gives them.
void draw_wall_rows_wide(uint32_t* out, size_t stride, const BlockLane (&lanes)[kBlockColumns],
                         int first, int end);

// Rows first .. end - 1 of the block in one colour.
void fill_rows_wide(uint32_t* out, size_t stride, int first, int end, uint32_t colour);
