// The tables of the generated patterns.
#include "raycast/pattern_tables.h"

#include <cmath>

PatternTables pattern_tables;

namespace {

bool tables_ready = false;

}  // namespace

void prepare_pattern_tables() {
  if (tables_ready) return;
  PatternTables& t = pattern_tables;
  for (int n = 1; n <= kTangentArguments; ++n) t.tan_hundred[n - 1] = std::tan(double(n)) * 100.0;
  for (int m = 0; m < kArctangentArguments; ++m) t.atan_forty[m] = std::atan(double(m)) * 40.0;
  for (int j = 0; j < kFrameHeight; ++j)
    t.reciprocal[j] = (uint64_t(1) << 32) / uint64_t(j + 1) + 1;
  for (int n = 0; n < kSineSteps; ++n) {
    double step = n * kSineStepHigh + n * kSineStepLow;
    t.step_sine[n] = 50.0 * std::sin(step);
    t.step_cosine[n] = 50.0 * std::cos(step);
  }
  tables_ready = true;
}
