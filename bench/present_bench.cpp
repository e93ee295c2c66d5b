// The presentation blend of a whole frame over the picture before it: every
// pixel's alpha differs from its neighbours', as in the show's trails, and
// the picture is put back, untimed, before each blend so that every run does
// the same.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "common/framebuffer.h"
#include "platform/present.h"
#include "bench_threads.h"

namespace {

void PresentBlend(benchmark::State& state) {
  std::vector<uint32_t> frame(kFramePixelCount), picture(kFramePixelCount),
      presented(kFramePixelCount);
  uint32_t seed = 12345;
  for (size_t i = 0; i < kFramePixelCount; ++i) {
    seed = seed * 1664525u + 1013904223u;
    frame[i] = seed;
    picture[i] = seed * 2654435761u | 0xFF000000u;
  }
  BenchThreads threads(state);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(presented.data(), picture.data(), presented.size() * sizeof presented[0]);
    state.ResumeTiming();
    present_blend(presented.data(), frame.data(), int(kFramePixelCount));
    benchmark::DoNotOptimize(presented.data());
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(PresentBlend)->Apply(one_and_all_threads);
