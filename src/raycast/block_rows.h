// A block of 16 neighbouring screen columns drawn along the frame's rows:
// each row's 16 pixels are one 64-byte line, so the stores walk the frame in
// row order, four pixels a store. The walls' picture indices are worked out
// for the 16 columns of a row together, in vectors; the solid fills above
// and below them go in the same pass.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int kBlockColumns = 16;
constexpr float kCentreRow = 450.0f;  // the screen row at the eye's height

// One column of the block. Its wall lies on rows top .. bottom - 1, the
// fill above it on rows 0 .. top - 1, the fill below on bottom .. 899.
// When the wall is drawn here, row k shows the picture word column + width x
// texture row, clamped to words 0 .. last, with texture row =
// ((k + half - 450, truncated) x scale, truncated), all single precision;
// the caller has shown both conversions and the index to stay in the signed
// 32-bit range on every wall row.
struct BlockLane {
  int top;  // screen rows
  int bottom;
  bool wall;              // false: the wall rows are left as they are
  const uint8_t* pixels;  // 32-bit words
  int32_t last;           // the last word of the pixel buffer
  int32_t column;         // texture column
  int32_t width;          // picture words per picture row
  float half;             // half the unclipped wall height, pixels
  float scale;            // picture rows per screen pixel
  bool dark;              // each colour byte halved, rounded down, alpha kept
  bool clamped;           // some row's index lies outside 0 .. last
};

// A solid fill, or none (its rows are left as they are).
struct RowFill {
  bool drawn;
  uint32_t colour;
};

// Column c of the block is out[row x stride + c].
void draw_block_rows(uint32_t* out, size_t stride, const BlockLane (&lanes)[kBlockColumns],
                     RowFill above, RowFill below);

// Alpha kept, each colour byte halved and rounded down.
inline uint32_t darken(uint32_t p) { return (p & 0xFF000000u) | ((p >> 1) & 0x007F7F7Fu); }
