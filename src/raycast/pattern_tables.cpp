// The tables and the tangent memo of the generated patterns.
#include "raycast/pattern_tables.h"

#include <cmath>

PatternTables pattern_tables;

namespace {

bool tables_ready = false;

// The sky's tangents by diagonal; each slot keeps the last angle seen. A
// zeroed slot holds angle 0, whose value is 0, so the memo needs no set-up.
struct TangentMemo {
  double angle[kSkyDiagonals];
  int32_t value[kSkyDiagonals];
};
thread_local TangentMemo tangent_memo;

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

int32_t twice_tangent(double angle, int diagonal) {
  TangentMemo& memo = tangent_memo;
  if (memo.angle[diagonal] != angle) {
    memo.angle[diagonal] = angle;
    memo.value[diagonal] = to_int32(2.0 * std::tan(angle));
  }
  return memo.value[diagonal];
}
