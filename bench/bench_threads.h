// The thread counts every frame benchmark runs with: one thread, and one
// thread per core (argument 0). Time is the wall clock's; CPU time is that of
// every thread of the process, so the two runs compare as work and as latency.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "common/framebuffer.h"
#include "common/workers.h"

inline void one_and_all_threads(benchmark::internal::Benchmark* b) {
  b->ArgName("threads")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
  b->UseRealTime()->MeasureProcessCPUTime();
}

// Sets the pool for the run's argument; restores the default when it ends.
struct BenchThreads {
  explicit BenchThreads(const benchmark::State& state) { workers_set_threads(int(state.range(0))); }
  ~BenchThreads() { workers_set_threads(0); }
};

// The frame, black, on a line's boundary as the show allocates it (threads
// drawing into a frame that is not would share lines), for the run.
struct BenchFrame {
  BenchFrame() : pixels(framebuffer_allocate()) {
    fill_pixels(pixels, kFramePixelCount, kFrameClearColour);
    frame_pixels = pixels;
  }
  ~BenchFrame() {
    frame_pixels = nullptr;
    std::free(pixels);
  }
  uint32_t* pixels;
};
