// The tables of the generated patterns.
#include "raycast/pattern_tables.h"

#include <cmath>

PatternTables pattern_tables;

namespace {

bool tables_ready = false;

// The one truncated value of 50 sin(u) over the cell's angles a .. b, or
// kSineUndecided. Where sin is monotone, the truncations at the ends (each
// widened by the margin that covers the library's rounding) bound every one
// between them.
int8_t sine_cell_value(double a, double b) {
  if (!(std::cos(a) * std::cos(b) > 0.0)) return kSineUndecided;
  double ends[] = {50.0 * std::sin(a), 50.0 * std::sin(b)};
  int32_t value = to_int32(ends[0]);
  for (double end : ends)
    if (to_int32(end - kFastSineMargin) != value || to_int32(end + kFastSineMargin) != value)
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
      t.tan_less_atan[n - 1][m] = int16_t(to_int32(hundred_tan(n) - forty_atan(m)));
    for (int b = 0; b < kFrameWidth; ++b)
      t.tan_less_five[n - 1][b] = int16_t(to_int32(hundred_tan(n) - 5.0 * double(b)));
  }
  for (int n = 0; n < kSineSteps; ++n) {
    double step = n * kSineStepHigh + n * kSineStepLow;
    t.step_sine[n] = 50.0 * std::sin(step);
    t.step_cosine[n] = 50.0 * std::cos(step);
  }
  for (int c = 0; c < kSineCells; ++c) {
    double from = (c - 0.5) / kSineCellsPerRadian - kSineCellMargin;
    double to = (c + 0.5) / kSineCellsPerRadian + kSineCellMargin;
    t.sine_cell[c] = sine_cell_value(from, to);
  }
  tables_ready = true;
}
