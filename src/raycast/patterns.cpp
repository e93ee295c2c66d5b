// The generated patterns of the skies and floors. Their odd row addressing,
// overflowing conversions and alpha bytes are part of the look and are kept
// exactly: every pixel equals its formula evaluated directly in double
// precision with the C library's tan, atan and sin. Tables, a remembered
// tangent per sky diagonal and a guarded fast sine only make that cheaper.
#include "raycast/patterns.h"

#include <cmath>

#include "common/numeric.h"

namespace {

constexpr int kTangentArguments = 1600;    // i / (j + 1) + 1 for columns 0..1599
constexpr int kArctangentArguments = 900;  // i & j never exceeds the row j, 0..899
constexpr int kSineSteps = 128;            // steps of pi/64 around the circle
constexpr int kSkyRows = 450;              // sky indices k = 0..449
constexpr int kSkyDiagonals = 5 * (kSkyRows - 1) + kFrameWidth;  // 5k - i + 1599

// The sky's tangents, 2 tan(angle) truncated, by the diagonal 5k - i + 1599
// of sky index k and column i, 0..3844; each slot keeps the last angle seen.
struct TangentMemo {
  double angle[kSkyDiagonals];
  int32_t value[kSkyDiagonals];
};

struct PatternState {
  bool ready;
  double tan_hundred[kTangentArguments];    // index n - 1 for n = 1..1600: tan(n) x 100
  double atan_forty[kArctangentArguments];  // index m = 0..899: atan(m) x 40
  uint64_t reciprocal[kFrameHeight];        // index j = 0..899: floor(2^32 / (j + 1)) + 1
  double step_sine[kSineSteps];             // index n = 0..127: 50 sin(n pi/64)
  double step_cosine[kSineSteps];           // index n = 0..127: 50 cos(n pi/64)
  TangentMemo tangents;
};
PatternState state;

// pi/64 in two parts: the high part has 33 significant bits, so n x high is
// exact for |n| < 2^20.
constexpr double kStepHigh = 0x1.921fb544p-5;
constexpr double kStepLow = 0x1.0b4611a626331p-39;
constexpr double kStepsPerRadian = 0x1.45f306dc9c883p+4;  // 64/pi
constexpr double kRoundingShift = 0x1.8p52;  // adding and subtracting it rounds to an integer
constexpr double kFastSineLimit = 1e4;       // radians; beyond it the library decides
constexpr double kFastSineMargin = 1e-9;     // on 50 sin(u)

void prepare_tables() {
  if (state.ready) return;
  for (int n = 1; n <= kTangentArguments; ++n)
    state.tan_hundred[n - 1] = std::tan(double(n)) * 100.0;
  for (int m = 0; m < kArctangentArguments; ++m) state.atan_forty[m] = std::atan(double(m)) * 40.0;
  for (int j = 0; j < kFrameHeight; ++j)
    state.reciprocal[j] = (uint64_t(1) << 32) / uint64_t(j + 1) + 1;
  for (int n = 0; n < kSineSteps; ++n) {
    double step = n * kStepHigh + n * kStepLow;
    state.step_sine[n] = 50.0 * std::sin(step);
    state.step_cosine[n] = 50.0 * std::cos(step);
  }
  state.ready = true;
}

inline uint32_t& pixel_at(uint32_t* column_pixels, int row) {
  return column_pixels[size_t(row) * kFrameWidth];
}

// i / (j + 1) + 1 without a division: (i x m) >> 32 with m = floor(2^32 / d) + 1
// equals i / d whenever i x d < 2^32, as it is for columns below 1600 and
// rows below 900.
inline int tangent_argument(int column, int row) {
  return int((uint64_t(column) * state.reciprocal[row]) >> 32) + 1;
}

// Truncation of v, provided every value within margin of v truncates alike;
// v and the margin are small enough to stay far inside the 32-bit range.
inline bool steady_truncation(double v, double margin, int32_t& out) {
  out = to_int32_in_range(v - margin);
  return out == to_int32_in_range(v + margin);
}

// 50 sin(u), truncated. 50 sin(n pi/64 + h), |h| <= pi/128, is put together
// from the tables and short series in h; that is within 1e-10 of the exact
// value, and so of the library's sine times 50. Wherever the error could reach
// a truncation step the library's sine decides. Below the limit n stays
// within 2^18, so it converts without the range test.
inline int32_t fifty_sine(float u) {
  double x = double(u);
  if (std::fabs(x) < kFastSineLimit) {
    double n = (x * kStepsPerRadian + kRoundingShift) - kRoundingShift;
    double h = (x - n * kStepHigh) - n * kStepLow;
    int step = to_int32_in_range(n) & (kSineSteps - 1);
    double h2 = h * h;
    double sin_h = h + h * h2 * (-1.0 / 6.0 + h2 * (1.0 / 120.0));
    double cos_h = 1.0 + h2 * (-0.5 + h2 * (1.0 / 24.0));
    double fifty_s = state.step_sine[step] * cos_h + state.step_cosine[step] * sin_h;
    int32_t out;
    if (steady_truncation(fifty_s, kFastSineMargin, out)) return out;
  }
  return to_int32(50.0 * std::sin(x));
}

// |50 sin(u)| truncated, plus four times the row and column bits in common.
inline uint32_t sine_term(float u, int row, int column) {
  int32_t wave = fifty_sine(u);
  uint32_t magnitude = wave < 0 ? 0u - uint32_t(wave) : uint32_t(wave);
  return magnitude + 4u * uint32_t(row & column);
}

// Rows whose sine arguments are worked out together, a block the compiler
// can turn into vector instructions.
constexpr int kSineBlock = 8;

// The sine term of rows first_row .. end_row - 1 of column i, with
// u = 1 - (5 i) / (the row's divisor), handed to put(row, term).
template <typename Put>
void sine_rows(int column, int first_row, int end_row, const PatternFrame& frame, Put put) {
  float stretch = float(5 * column);
  auto argument = [&](int row) { return 1.0f - stretch / frame.sine_depth[row]; };
  int row = first_row;
  for (; row + kSineBlock <= end_row; row += kSineBlock) {
    float u[kSineBlock];
    for (int l = 0; l < kSineBlock; ++l) u[l] = argument(row + l);
    for (int l = 0; l < kSineBlock; ++l) put(row + l, sine_term(u[l], row + l, column));
  }
  for (; row < end_row; ++row) put(row, sine_term(argument(row), row, column));
}

// 2 tan(angle), truncated. Sky pixels on one diagonal (equal 5k - i) have
// nearly equal angles, and mostly bit-identical ones: the remembered value is
// reused only for the very same angle. A zeroed slot holds angle 0, whose
// value is 0, so the memo needs no set-up.
inline int32_t sky_tangent(double angle, int diagonal) {
  TangentMemo& memo = state.tangents;
  if (memo.angle[diagonal] != angle) {
    memo.angle[diagonal] = angle;
    memo.value[diagonal] = to_int32(2.0 * std::tan(angle));
  }
  return memo.value[diagonal];
}

// 2 tan(r / 150 + sin(0.001 r) x (0.5 k - 0.1 i) x 20 / 25), truncated, for
// the sky indices k of column i, handed to put(row, value). Index k lands on
// row 2k - ((k / 2) & (i / 2)), between 1.5k and 2k, so the pattern is
// stretched over up to twice the sky's height; indices below 450 keep it
// inside the frame.
template <typename Put>
void tangent_sky(int column, int first_row, int end_row, const PatternFrame& frame, Put put) {
  if (end_row > kSkyRows) end_row = kSkyRows;
  double tenth = 0.1 * column;
  for (int k = first_row; k < end_row; ++k) {
    double angle = frame.sky_base + frame.sky_swing * ((0.5 * k - tenth) * 20.0 / 25.0);
    put(2 * k - ((k / 2) & (column / 2)), sky_tangent(angle, 5 * k - column + kFrameWidth - 1));
  }
}

}  // namespace

PatternFrame pattern_frame(float r) {
  prepare_tables();
  PatternFrame frame;
  frame.r = r;
  frame.sky_base = double(r / 150.0f);
  frame.sky_swing = std::sin(0.001 * double(r));
  float zoom = r / 200.0f;
  for (int row = 0; row < kFrameHeight; ++row) frame.sine_depth[row] = float(2 * row) * zoom + 1.0f;
  return frame;
}

void fill_ripple_floor(uint32_t* column_pixels, int column, int first_row, int end_row,
                       const PatternFrame&) {
  for (int j = first_row; j < end_row; ++j) {
    double v = state.tan_hundred[tangent_argument(column, j) - 1] - state.atan_forty[column & j];
    pixel_at(column_pixels, j) = uint32_t(to_int32(v)) ^ 0xFDC05371u;
  }
}

void fill_quarter_ripple_floor(uint32_t* column_pixels, int column, int first_row, int end_row,
                               const PatternFrame&) {
  for (int j = first_row; j < end_row; ++j) {
    double v =
        state.tan_hundred[tangent_argument(column, j) - 1] - state.atan_forty[column & (j / 4)];
    pixel_at(column_pixels, j) = uint32_t(to_int32(v)) ^ 0xFDC05371u;
  }
}

// Row j lands on row j & 0xDFC053FD, which below row 1024 clears bit 1: rows
// 4n and 4n + 1 are written twice and rows 4n + 2 and 4n + 3 keep what they
// had. The row written is never below j - 2 nor above j. Row j + 2, when the
// fill reaches it, lands where row j does and replaces its value, so rows 4n
// and 4n + 1 are only computed when the fill ends before that.
void fill_banded_floor(uint32_t* column_pixels, int column, int first_row, int end_row,
                       const PatternFrame&) {
  for (int j = first_row; j < end_row; ++j) {
    if ((j & 2) == 0 && j + 2 < end_row) continue;
    double v = state.tan_hundred[tangent_argument(column, j) - 1] - 5.0 * double((2 * j) & column);
    pixel_at(column_pixels, j & 0xDFC053FD) = uint32_t(to_int32(v)) & 0xFDC05371u;
  }
}

void fill_sine_floor(uint32_t* column_pixels, int column, int first_row, int end_row,
                     const PatternFrame& frame) {
  sine_rows(column, first_row, end_row, frame, [column_pixels](int j, uint32_t term) {
    pixel_at(column_pixels, j) = term ^ (uint32_t(j) + 0x23B0C8Fu);
  });
}

void fill_sine_sky(uint32_t* column_pixels, int column, int first_row, int end_row,
                   const PatternFrame& frame) {
  sine_rows(column, first_row, end_row, frame, [column_pixels](int k, uint32_t term) {
    pixel_at(column_pixels, k) = term ^ (uint32_t(k / 50) * 0xFDC4F371u);
  });
}

void fill_tangent_sky(uint32_t* column_pixels, int column, int first_row, int end_row,
                      const PatternFrame& frame) {
  tangent_sky(column, first_row, end_row, frame, [column_pixels](int row, int32_t v) {
    pixel_at(column_pixels, row) = uint32_t(v) ^ 0xCAAFF9AAu;
  });
}

void fill_masked_tangent_sky(uint32_t* column_pixels, int column, int first_row, int end_row,
                             const PatternFrame& frame) {
  tangent_sky(column, first_row, end_row, frame, [column_pixels](int row, int32_t v) {
    pixel_at(column_pixels, row) = uint32_t(v) & 0xFAAAF900u;
  });
}
