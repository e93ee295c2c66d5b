// The arithmetic behind the generated skies and floors, made cheap: tables of
// the tangents and arctangents of whole numbers, division by a row number
// through its reciprocal, runs of rows with one quotient, a fast sine that
// leaves the close calls to the C library, and the sky's tangents remembered
// per diagonal. Each function gives exactly what its formula gives in double
// precision with the library.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>

#include "common/framebuffer.h"
#include "common/numeric.h"

constexpr int kTangentArguments = kFrameWidth;     // n = 1..1600
constexpr int kArctangentArguments = kFrameHeight;  // m = 0..899
constexpr int kSineSteps = 128;                     // steps of pi/64 around the circle
constexpr int kSineCells = 65536;                   // cells of pi/32768 around the circle
constexpr int kSmallQuotients = 4;                  // i / (j + 1) = 0..3, tangents of 1..4
constexpr int kSkyRows = 450;                       // sky indices k = 0..449
constexpr int kSkyPhases = 5;  // the sky's diagonals 5k - i by (1599 - i) mod 5
constexpr int kSkyPhaseSlots = kSkyRows + (kFrameWidth - 1) / kSkyPhases;  // k + (1599 - i) / 5

struct PatternTables {
  double tan_hundred[kTangentArguments];    // index n - 1 for n = 1..1600: tan(n) x 100
  double atan_forty[kArctangentArguments];  // index m = 0..899: atan(m) x 40
  uint64_t reciprocal[kFrameHeight];        // index j = 0..899: floor(2^32 / (j + 1)) + 1
  // index [n - 1][m] for n = 1..4, m = 0..899: tan(n) x 100 - atan(m) x 40,
  // truncated (-281 .. 155), in words that the floors' rows gather
  int32_t tan_less_atan[kSmallQuotients][kArctangentArguments];
  // index [n - 1][b] for n = 1..4, b = 0..1599: tan(n) x 100 - 5 b,
  // truncated (-8213 .. 155)
  int16_t tan_less_five[kSmallQuotients][kFrameWidth];
  double step_sine[kSineSteps];             // index n = 0..127: 50 sin(n pi/64)
  double step_cosine[kSineSteps];           // index n = 0..127: 50 cos(n pi/64)
  // index c = 0..65535: 50 sin(u) truncated, the same for every u within
  // 1e-9 radians of (c - 1/2) pi/32768 .. (c + 1/2) pi/32768, or
  // kSineUndecided where it takes several values there (about 1 cell in
  // 330; the rows of the sine patterns find their cells among these)
  int8_t sine_cell[kSineCells];
};
extern PatternTables pattern_tables;

// Fills the tables on the first call; call before drawing, from one thread.
void prepare_pattern_tables();

// tan(n) x 100, for n = 1..1600.
inline double hundred_tan(int n) { return pattern_tables.tan_hundred[n - 1]; }

// atan(m) x 40, for m = 0..899.
inline double forty_atan(int m) { return pattern_tables.atan_forty[m]; }

// i / (j + 1) for columns i = 0..1599 and rows j = 0..899, without a
// division: (i x m) >> 32 with m = floor(2^32 / (j + 1)) + 1 equals the
// quotient whenever i x (j + 1) < 2^32.
inline int column_over_row(int i, int j) {
  return int((uint64_t(i) * pattern_tables.reciprocal[j]) >> 32);
}

// i / (j + 1) for columns i = 0..1599 and rows j = 0..899 in 32-bit lanes:
// (i x m) >> 21 with m = floor(2^21 / (j + 1)) + 1 (the table's reciprocal
// shifted down, the floor of a floor) equals the quotient, as above, since
// i x (j + 1) < 2^21; and i x m stays below 2^32.
constexpr int kRowReciprocalBits = 21;
inline uint32_t row_reciprocal(int j) {
  return uint32_t((pattern_tables.reciprocal[j] - 1) >> (32 - kRowReciprocalBits)) + 1;
}

// Cuts rows first_row .. end_row - 1 of column i (0..1599) into runs over
// which i / (j + 1) holds, and calls rows(n, from, to) for each with
// n = i / (j + 1) + 1 on rows from .. to - 1. A quotient q >= 1 holds while
// j + 1 <= i / q; a quotient of 0 holds to the end.
template <typename Rows>
void quotient_runs(int i, int first_row, int end_row, Rows rows) {
  for (int j = first_row; j < end_row;) {
    int q = column_over_row(i, j);
    int to = q == 0 ? end_row : std::min(end_row, i / q);
    rows(q + 1, j, to);
    j = to;
  }
}

// tan(n) x 100 - atan(m) x 40, truncated, for n = 1..1600 and m = 0..899.
// The floors' tangents are mostly of 1..4 (all of them on rows 399..899,
// where column / (row + 1) is at most 3); those differences are read whole.
inline int32_t hundred_tan_less_forty_atan(int n, int m) {
  if (n <= kSmallQuotients) return pattern_tables.tan_less_atan[n - 1][m];
  return to_int32(hundred_tan(n) - forty_atan(m));
}

// tan(n) x 100 - 5 b, truncated, for n = 1..1600 and b = 0..1599, read whole
// for n = 1..4 as above.
inline int32_t hundred_tan_less_five_times(int n, int b) {
  if (n <= kSmallQuotients) return pattern_tables.tan_less_five[n - 1][b];
  return to_int32(hundred_tan(n) - 5.0 * double(b));
}

// pi/64 in two parts: the high part has 33 significant bits, so n x high is
// exact for |n| < 2^20.
constexpr double kSineStepHigh = 0x1.921fb544p-5;
constexpr double kSineStepLow = 0x1.0b4611a626331p-39;
constexpr double kSineStepsPerRadian = 0x1.45f306dc9c883p+4;  // 64/pi
constexpr double kRoundingShift = 0x1.8p52;  // adding and subtracting it rounds to an integer
constexpr double kFastSineLimit = 1e4;       // radians; beyond it the library decides
constexpr double kFastSineMargin = 1e-9;     // on 50 sin(u)
constexpr double kSineCellsPerRadian = 0x1.45f306dc9c883p+13;  // 32768/pi
constexpr double kSineCellMargin = 1e-9;                        // radians around each cell
constexpr int8_t kSineUndecided = INT8_MIN;

// 50 sin(u), truncated toward zero, for |u| below the limit. Most cells of
// u hold a single truncated value, read from the table: below the limit
// u x 32768/pi, rounded to the nearest whole number, is off by less than 1e-7
// of a cell, and its low bits (those of the rounding shift's sum) name the
// cell. Elsewhere 50 sin(n pi/64 + h), |h| <= pi/128, is put together from
// the tables and short series in h to within 1e-10; wherever that error
// could reach a truncation step (the values within the margin truncate
// differently) the library's sine decides. Below the limit n stays within
// 2^18, so it converts without the range test. sine_cell_of gives u's cell's
// entry, the value or kSineUndecided.
inline int8_t sine_cell_of(float u) {
  double rounded = double(u) * kSineCellsPerRadian + kRoundingShift;
  uint64_t cell_bits;
  std::memcpy(&cell_bits, &rounded, sizeof cell_bits);
  return pattern_tables.sine_cell[cell_bits & (kSineCells - 1)];
}

inline int32_t fifty_sine_below_limit(float u) {
  int8_t cell = sine_cell_of(u);
  if (cell != kSineUndecided) return cell;
  double x = double(u);
  double n = (x * kSineStepsPerRadian + kRoundingShift) - kRoundingShift;
  double h = (x - n * kSineStepHigh) - n * kSineStepLow;
  int step = to_int32_in_range(n) & (kSineSteps - 1);
  double h2 = h * h;
  double sin_h = h + h * h2 * (-1.0 / 6.0 + h2 * (1.0 / 120.0));
  double cos_h = 1.0 + h2 * (-0.5 + h2 * (1.0 / 24.0));
  double fifty_s =
      pattern_tables.step_sine[step] * cos_h + pattern_tables.step_cosine[step] * sin_h;
  int32_t low = to_int32_in_range(fifty_s - kFastSineMargin);
  if (low == to_int32_in_range(fifty_s + kFastSineMargin)) return low;
  return to_int32(50.0 * std::sin(x));
}

// 50 sin(u), truncated toward zero, for any u: beyond the limit the library
// decides.
inline int32_t fifty_sine(float u) {
  if (std::fabs(double(u)) < kFastSineLimit) return fifty_sine_below_limit(u);
  return to_int32(50.0 * std::sin(double(u)));
}

// The tangent skies' angle for sky index k of column i: base + swing x
// (offset x 20 / 25) with offset = 0.5 k - 0.1 i, in double precision (base
// r / 150 and swing sin(0.001 r), the frame's).
inline double sky_offset(int k, double tenth) { return 0.5 * k - tenth; }
inline double sky_angle(double base, double swing, double offset) {
  return base + swing * (offset * 20.0 / 25.0);
}

// The sky's tangents by diagonal 5k - i, one memo per thread, for one
// frame's base and swing; each slot keeps the last offset seen and its
// value, since within a frame the angle follows from the offset alone.
// Pixel (i, k) shares its diagonal with (i - 5, k - 1), whose offset is
// mostly the very same; the slots are laid out by (1599 - i) mod 5 and then
// along the diagonals, so that one column walks one stretch of memory. A
// zeroed memo belongs to base and swing 0, whose every angle is 0 and its
// value 0, so the memo needs no set-up.
struct TangentMemo {
  double base;
  double swing;
  double offset[kSkyPhases][kSkyPhaseSlots];  // [(1599 - i) mod 5][k + (1599 - i) / 5]
  int32_t value[kSkyPhases][kSkyPhaseSlots];
};
inline thread_local TangentMemo tangent_memo;

// Makes the calling thread's memo one of base and swing: a memo of other
// ones forgets its offsets (NaN, which equals none).
inline void tangent_memo_for(double base, double swing) {
  TangentMemo& memo = tangent_memo;
  if (memo.base == base && memo.swing == swing) return;
  for (double(&phase)[kSkyPhaseSlots] : memo.offset)
    std::fill(std::begin(phase), std::end(phase), std::numeric_limits<double>::quiet_NaN());
  memo.base = base;
  memo.swing = swing;
}

// Column i's memo slots, sky indices k = 0..449 side by side from these.
struct TangentColumn {
  double* offset;
  int32_t* value;
};

inline TangentColumn tangent_column(int i) {
  int phase = (kFrameWidth - 1 - i) % kSkyPhases;
  int offset = (kFrameWidth - 1 - i) / kSkyPhases;
  return {tangent_memo.offset[phase] + offset, tangent_memo.value[phase] + offset};
}

// 2 tan(sky_angle(memo's base, swing, offset)), truncated toward zero,
// remembered in the calling thread's slot for sky index k (0..449) of
// column i (0..1599).
inline int32_t twice_tangent(double offset, int k, int i) {
  TangentColumn column = tangent_column(i);
  double& seen = column.offset[k];
  int32_t& value = column.value[k];
  if (seen != offset) {
    seen = offset;
    value = to_int32(2.0 * std::tan(sky_angle(tangent_memo.base, tangent_memo.swing, offset)));
  }
  return value;
}
