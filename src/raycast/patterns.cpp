// The generated patterns of the skies and floors, each as its formula. Their
// odd row addressing, overflowing conversions and alpha bytes are part of the
// look and are kept exactly: every pixel equals its formula evaluated in
// double precision with the C library's tan, atan and sin. The tables, the
// reciprocal division, the fast sine and the tangent memo that make them
// cheap are pattern_tables'; the vector kernels that draw them are
// pattern_rows'.
#include "raycast/patterns.h"

#include <array>
#include <cmath>
#include <limits>

#include "common/numeric.h"
#include "raycast/pattern_rows.h"
#include "raycast/pattern_tables.h"

namespace {

// Each column of the block in turn, down its rows: column(pixels, i,
// first_row, end_row) with pixels[row x stride] the pixel of screen column i.
template <typename Column>
void down_each_column(uint32_t* out, const BlockSpans& spans, Column column) {
  for (int c = 0; c < kBlockColumns; ++c)
    column(out + c, spans.first_column + c, spans.first[c], spans.end[c]);
}

// What a sine pattern's row is xored with, index row 0..899.
using RowKeys = std::array<uint32_t, kFrameHeight>;

template <typename Key>
constexpr RowKeys row_keys(Key key) {
  RowKeys keys = {};
  for (int row = 0; row < kFrameHeight; ++row) keys[size_t(row)] = key(uint32_t(row));
  return keys;
}

}  // namespace

PatternFrame pattern_frame(float r) {
  prepare_pattern_tables();
  PatternFrame frame;
  frame.r = r;
  frame.sky_base = double(r / 150.0f);
  frame.sky_swing = std::sin(0.001 * double(r));
  float zoom = r / 200.0f;
  for (int row = 0; row < kFrameHeight; ++row) frame.sine_depth[row] = float(2 * row) * zoom + 1.0f;
  frame.sine_arguments_small = zoom >= 0.0f && zoom <= std::numeric_limits<float>::max();
  return frame;
}

// (tan(i / (j + 1) + 1) x 100 - atan(i & j) x 40, truncated) ^ 0xFDC05371.
void fill_ripple_floor(uint32_t* out, size_t stride, const BlockSpans& spans,
                       const PatternFrame&) {
  if (ripple_rows(out, stride, spans, 0, 0xFDC05371u)) return;
  down_each_column(out, spans, [stride](uint32_t* pixels, int i, int first_row, int end_row) {
    quotient_runs(i, first_row, end_row, [&](int n, int from, int to) {
      for (int j = from; j < to; ++j)
        pixels[j * stride] = uint32_t(hundred_tan_less_forty_atan(n, i & j)) ^ 0xFDC05371u;
    });
  });
}

// The ripple floor with atan(i & (j / 4)).
void fill_quarter_ripple_floor(uint32_t* out, size_t stride, const BlockSpans& spans,
                               const PatternFrame&) {
  if (ripple_rows(out, stride, spans, 2, 0xFDC05371u)) return;
  down_each_column(out, spans, [stride](uint32_t* pixels, int i, int first_row, int end_row) {
    quotient_runs(i, first_row, end_row, [&](int n, int from, int to) {
      for (int j = from; j < to; ++j)
        pixels[j * stride] = uint32_t(hundred_tan_less_forty_atan(n, i & (j / 4))) ^ 0xFDC05371u;
    });
  });
}

// (tan(i / (j + 1) + 1) x 100 - 5 x ((2 j) & i), truncated) & 0xFDC05371,
// written to row j & 0xDFC053FD, which below row 1024 clears bit 1: rows 4n
// and 4n + 1 are written twice and rows 4n + 2 and 4n + 3 keep what they had.
// The row written is never below j - 2 nor above j. Row j + 2, when the fill
// reaches it, lands where row j does and replaces its value, so rows 4n and
// 4n + 1 are only worked out when the fill ends before that.
void fill_banded_floor(uint32_t* out, size_t stride, const BlockSpans& spans,
                       const PatternFrame&) {
  if (banded_rows(out, stride, spans, 0xFDC05371u, 0xDFC053FDu)) return;
  down_each_column(out, spans, [stride](uint32_t* pixels, int i, int first_row, int end_row) {
    quotient_runs(i, first_row, end_row, [&](int n, int from, int to) {
      for (int j = from; j < to; ++j) {
        if ((j & 2) == 0 && j + 2 < end_row) continue;
        pixels[(j & 0xDFC053FD) * stride] =
            uint32_t(hundred_tan_less_five_times(n, (2 * j) & i)) & 0xFDC05371u;
      }
    });
  });
}

// d = (2 j) x (r / 200) + 1, u = 1 - (5 i) / d in single precision;
// (|50 sin(u)| truncated + 4 x (j & i)) ^ (j + 0x23B0C8F).
void fill_sine_floor(uint32_t* out, size_t stride, const BlockSpans& spans,
                     const PatternFrame& frame) {
  static constexpr RowKeys keys = row_keys([](uint32_t j) { return j + 0x23B0C8Fu; });
  sine_wave_rows(out, stride, spans, frame, keys.data());
}

// d = (r / 200) x (2 k) + 1, u = 1 - (5 i) / d in single precision;
// (|50 sin(u)| truncated + 4 x (k & i)) ^ ((k / 50) x 0xFDC4F371), modulo 2^32.
void fill_sine_sky(uint32_t* out, size_t stride, const BlockSpans& spans,
                   const PatternFrame& frame) {
  static constexpr RowKeys keys = row_keys([](uint32_t k) { return (k / 50u) * 0xFDC4F371u; });
  sine_wave_rows(out, stride, spans, frame, keys.data());
}

// (2 tan(r / 150 + sin(0.001 r) x (0.5 k - 0.1 i) x 20 / 25), truncated)
// ^ 0xCAAFF9AA, for the sky indices k of column i, on row sky_row(k, i).
void fill_tangent_sky(uint32_t* out, size_t stride, const BlockSpans& spans,
                      const PatternFrame& frame) {
  tangent_sky_rows(out, stride, spans, frame, 0xCAAFF9AAu, 0xFFFFFFFFu);
}

// (2 tan(...), truncated) & 0xFAAAF900.
void fill_masked_tangent_sky(uint32_t* out, size_t stride, const BlockSpans& spans,
                             const PatternFrame& frame) {
  tangent_sky_rows(out, stride, spans, frame, 0, 0xFAAAF900u);
}
