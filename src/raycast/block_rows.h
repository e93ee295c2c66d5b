// A block of 16 neighbouring screen columns drawn along the frame's rows:
// each row's 16 pixels are one 64-byte line, so the stores walk the frame in
// row order. The walls' picture indices are worked out for the 16 columns of
// a row together, in vectors; the solid fills are plain row fills.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int kBlockColumns = 16;
constexpr float kCentreRow = 450.0f;  // the screen row at the eye's height

// One column's wall as the block draws it. Rows top .. bottom - 1 show the
// picture word column + width x texture row, clamped to words 0 .. last, with
// texture row = ((row + half - 450, truncated) x scale, truncated), all single
// precision; the caller has shown both conversions and the index to stay in
// the signed 32-bit range on every such row. top == bottom: no wall rows in
// this column.
struct WallLane {
  const uint8_t* pixels;  // 32-bit words
  int32_t last;           // the last word of the pixel buffer
  int32_t column;         // texture column
  int32_t width;          // picture words per picture row
  float half;             // half the unclipped wall height, pixels
  float scale;            // picture rows per screen pixel
  int top;                // screen rows
  int bottom;
  bool dark;     // each colour byte halved, rounded down, alpha kept
  bool clamped;  // some row's index lies outside 0 .. last
};

// Column c of the block is out[row x stride + c].
void draw_wall_lanes(uint32_t* out, size_t stride, const WallLane (&lanes)[kBlockColumns]);

// Column c of the block gets colour on rows from[c] .. to[c] - 1 (within 0..900).
void fill_lane_rows(uint32_t* out, size_t stride, const int (&from)[kBlockColumns],
                    const int (&to)[kBlockColumns], uint32_t colour);

// Alpha kept, each colour byte halved and rounded down.
inline uint32_t darken(uint32_t p) { return (p & 0xFF000000u) | ((p >> 1) & 0x007F7F7Fu); }
