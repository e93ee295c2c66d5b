// The generated patterns of the skies and floors, pixel by pixel. Their odd
// row addressing, overflowing conversions and alpha bytes are part of the
// look and are kept exactly.
#include "raycast/patterns.h"

#include <cmath>

#include "common/numeric.h"

namespace {

inline uint32_t& pixel_at(uint32_t* column_pixels, int row) {
  return column_pixels[size_t(row) * kFrameWidth];
}

// |50 sin(u)| truncated, plus four times the row and column bits in common.
inline uint32_t sine_term(float u, int row, int column) {
  int32_t wave = to_int32(50.0 * std::sin(double(u)));
  uint32_t magnitude = wave < 0 ? 0u - uint32_t(wave) : uint32_t(wave);
  return magnitude + 4u * uint32_t(row & column);
}

// 2 tan(r / 150 + sin(0.001 r) x (0.5 k - 0.1 i) x 20 / 25), truncated; k is
// the sky row index and i the column.
inline int32_t tangent_sky_value(float r, int k, int column) {
  double swing = std::sin(0.001 * double(r));
  double angle = double(r / 150.0f) + swing * ((0.5 * k - 0.1 * column) * 20.0 / 25.0);
  return to_int32(2.0 * std::tan(angle));
}

// The sky rows are stretched: index k lands on row 2k - ((k / 2) & (i / 2)),
// which lies between 1.5k and 2k. Indices below 450 keep it inside the frame.
inline int tangent_sky_row(int k, int column) { return 2 * k - ((k / 2) & (column / 2)); }

int sky_end(int end_row) { return end_row < 450 ? end_row : 450; }

}  // namespace

void fill_ripple_floor(uint32_t* column_pixels, int column, int first_row, int end_row,
                       const PatternFrame&) {
  for (int j = first_row; j < end_row; ++j) {
    int n = column / (j + 1) + 1;
    int m = column & j;
    int32_t v = to_int32(std::tan(double(n)) * 100.0 - std::atan(double(m)) * 40.0);
    pixel_at(column_pixels, j) = uint32_t(v) ^ 0xFDC05371u;
  }
}

void fill_quarter_ripple_floor(uint32_t* column_pixels, int column, int first_row, int end_row,
                               const PatternFrame&) {
  for (int j = first_row; j < end_row; ++j) {
    int n = column / (j + 1) + 1;
    int m = column & (j / 4);
    int32_t v = to_int32(std::tan(double(n)) * 100.0 - std::atan(double(m)) * 40.0);
    pixel_at(column_pixels, j) = uint32_t(v) ^ 0xFDC05371u;
  }
}

// Row j lands on row j & 0xDFC053FD, which below row 1024 clears bit 1: rows
// 4n and 4n + 1 are written twice and rows 4n + 2 and 4n + 3 keep what they had.
void fill_banded_floor(uint32_t* column_pixels, int column, int first_row, int end_row,
                       const PatternFrame&) {
  for (int j = first_row; j < end_row; ++j) {
    int n = column / (j + 1) + 1;
    int32_t v = to_int32(std::tan(double(n)) * 100.0 - 5.0 * double((2 * j) & column));
    pixel_at(column_pixels, j & 0xDFC053FD) = uint32_t(v) & 0xFDC05371u;
  }
}

void fill_sine_floor(uint32_t* column_pixels, int column, int first_row, int end_row,
                     const PatternFrame& frame) {
  float zoom = frame.r / 200.0f;
  for (int j = first_row; j < end_row; ++j) {
    float d = float(2 * j) * zoom + 1.0f;
    float u = 1.0f - float(5 * column) / d;
    pixel_at(column_pixels, j) = sine_term(u, j, column) ^ (uint32_t(j) + 0x23B0C8Fu);
  }
}

void fill_sine_sky(uint32_t* column_pixels, int column, int first_row, int end_row,
                   const PatternFrame& frame) {
  float zoom = frame.r / 200.0f;
  for (int k = first_row; k < end_row; ++k) {
    float d = zoom * float(2 * k) + 1.0f;
    float u = 1.0f - float(5 * column) / d;
    pixel_at(column_pixels, k) = sine_term(u, k, column) ^ (uint32_t(k / 50) * 0xFDC4F371u);
  }
}

void fill_tangent_sky(uint32_t* column_pixels, int column, int first_row, int end_row,
                      const PatternFrame& frame) {
  for (int k = first_row; k < sky_end(end_row); ++k)
    pixel_at(column_pixels, tangent_sky_row(k, column)) =
        uint32_t(tangent_sky_value(frame.r, k, column)) ^ 0xCAAFF9AAu;
}

void fill_masked_tangent_sky(uint32_t* column_pixels, int column, int first_row, int end_row,
                             const PatternFrame& frame) {
  for (int k = first_row; k < sky_end(end_row); ++k)
    pixel_at(column_pixels, tangent_sky_row(k, column)) =
        uint32_t(tangent_sky_value(frame.r, k, column)) & 0xFAAAF900u;
}
