// The intro at its busiest: both words, the pulsing square and all four sides
// of its outline (t' = 35).
#include <benchmark/benchmark.h>


#include "common/framebuffer.h"
#include "intro/intro.h"
#include "platform/clock.h"
#include "raycast/camera.h"
#include "bench_threads.h"

namespace {

void Intro(benchmark::State& state) {
  BenchFrame frame;
  clock_use_virtual(7000);
  BenchThreads threads(state);
  for (auto _ : state) {
    draw_intro();
    benchmark::DoNotOptimize(frame.pixels);
    benchmark::ClobberMemory();
  }
  clock_use_real();
  camera_reset();
  frame_pixels = nullptr;
}

}  // namespace

BENCHMARK(Intro)->Apply(one_and_all_threads);
