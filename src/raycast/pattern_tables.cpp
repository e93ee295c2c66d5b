// The tables of the generated patterns.
#include "raycast/pattern_tables.h"

#include <cmath>

PatternTables pattern_tables;

namespace {

bool tables_ready = false;

// The one truncated value of 50 sin(u) over cell c, whose edges have the
// values low and high, or kSineUndecided. Sin turns only in the cells of
// pi/2 and 3 pi/2; elsewhere it is monotone, and 50 sin moves by at most
// 50 times the cell's margin beyond its edges, so the truncations of the
// edge values (widened by that and by the margin that covers the library's
// rounding) bound every one inside.
int8_t sine_cell_value(int c, double low, double high) {
  if (c == kSineCells / 4 || c == 3 * kSineCells / 4) return kSineUndecided;
  double margin = kFastSineMargin + 50.0 * kSineCellMargin;
  int32_t value = to_int32(low);
  for (double edge : {low, high})
    if (to_int32(edge - margin) != value || to_int32(edge + margin) != value)
      return kSineUndecided;
  return int8_t(value);
}

}  // namespace

void prepare_pattern_tables() {
  if (tables_ready) return;
  PatternTables& t = pattern_tables;
  for (int n = 1; n <= kTangentArguments; ++n) t.tan_hundred[n - 1] = std::tan(double(n)) * 100.0;
  for (int m = 0; m < kArctangentArguments; ++m) t.atan_forty[m] = std::atan(double(m)) * 40.0;
  for (int j = 0; j < kFrameHeight; ++j)
    t.reciprocal[j] = (uint64_t(1) << 32) / uint64_t(j + 1) + 1;
  for (int n = 1; n <= kSmallQuotients; ++n) {
    for (int m = 0; m < kArctangentArguments; ++m)
      t.tan_less_atan[n - 1][m] = to_int32(hundred_tan(n) - forty_atan(m));
    for (int b = 0; b < kFrameWidth; ++b)
      t.tan_less_five[n - 1][b] = int16_t(to_int32(hundred_tan(n) - 5.0 * double(b)));
  }
  for (int n = 0; n < kSineSteps; ++n) {
    double step = n * kSineStepHigh + n * kSineStepLow;
    t.step_sine[n] = 50.0 * std::sin(step);
    t.step_cosine[n] = 50.0 * std::cos(step);
  }
  // one sine per edge: the edge (c - 1/2) pi/32768 is cell c's low one
  double low = 50.0 * std::sin(-0.5 / kSineCellsPerRadian);
  for (int c = 0; c < kSineCells; ++c) {
    double high = 50.0 * std::sin((c + 0.5) / kSineCellsPerRadian);
    t.sine_cell[c] = sine_cell_value(c, low, high);
    low = high;
  }
  tables_ready = true;
}
