// Each generated sky and floor over a whole frame's columns on one thread,
// drawn a block of columns at a time as the column pipeline draws them, with
// the rows above or below a wall varying from column to column as walls cut
// them.
// Every iteration draws the same frame, so the tangent skies find their memo
// as the previous iteration left it.
#include <benchmark/benchmark.h>

#include <vector>

#include "common/framebuffer.h"
#include "raycast/patterns.h"

namespace {

void Patterns(benchmark::State& state, BlockPattern fill, float r, bool sky) {
  std::vector<uint32_t> pixels(kFramePixelCount);
  PatternFrame frame = pattern_frame(r);
  for (auto _ : state) {
    for (int first = 0; first < kFrameWidth; first += kBlockColumns) {
      BlockSpans spans;
      spans.first_column = first;
      for (int c = 0; c < kBlockColumns; ++c) {
        int rows = 250 + ((first + c) * 37) % 150;
        spans.first[c] = sky ? 0 : kFrameHeight - rows;
        spans.end[c] = sky ? rows : kFrameHeight;
      }
      fill(pixels.data() + first, kFrameWidth, spans, frame);
    }
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
}

}  // namespace

// The clock r of each pattern's window: the intro's and scene 4's ripple
// floors ignore it, scene 1 shows the banded floor and sine sky at r = 160,
// the sine floor at r = 100 and the tangent skies at r = 96 and 114.
BENCHMARK_CAPTURE(Patterns, sine_sky, fill_sine_sky, 160.0f, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Patterns, sine_floor, fill_sine_floor, 100.0f, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Patterns, ripple_floor, fill_ripple_floor, 0.0f, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Patterns, quarter_ripple_floor, fill_quarter_ripple_floor, 0.0f, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Patterns, banded_floor, fill_banded_floor, 160.0f, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Patterns, tangent_sky, fill_tangent_sky, 96.0f, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Patterns, masked_tangent_sky, fill_masked_tangent_sky, 114.0f, true)
    ->Unit(benchmark::kMillisecond);
