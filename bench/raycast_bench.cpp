// Casting the frame's 1600 rays with the camera where each path of the show
// starts, on one thread and on all.
#include <benchmark/benchmark.h>

#include "bench_threads.h"
#include "raycast/camera.h"
#include "raycast/world.h"

namespace {

void BM_CastAllRays(benchmark::State& state, float x, float y, float heading) {
  BenchThreads threads(state);
  camera_reset();
  Camera& cam = camera_record();
  cam.x = x;
  cam.y = y;
  cam.heading = heading;
  for (auto _ : state) {
    cast_all_rays();
    benchmark::DoNotOptimize(column_hits);
    benchmark::ClobberMemory();
  }
  camera_reset();
}

// The intro's heading turns a little every frame, so each frame works out
// the rays' directions afresh: the intro capture's view, swinging by 0.002.
void BM_CastAllRaysTurning(benchmark::State& state) {
  BenchThreads threads(state);
  camera_reset();
  Camera& cam = camera_record();
  const float kStart = cam.heading;
  for (auto _ : state) {
    cam.heading = cam.heading == kStart ? kStart - 0.002f : kStart;
    cast_all_rays();
    benchmark::DoNotOptimize(column_hits);
    benchmark::ClobberMemory();
  }
  camera_reset();
}

// One thread and all; microseconds.
void cast_runs(benchmark::internal::Benchmark* b) {
  b->Apply(one_and_all_threads)->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_CastAllRaysTurning)->Apply(cast_runs);
BENCHMARK_CAPTURE(BM_CastAllRays, intro, 600.0f, 600.0f, 6.2831855f)->Apply(cast_runs);
BENCHMARK_CAPTURE(BM_CastAllRays, path1, 100.0f, 400.0f, 4.712389f)->Apply(cast_runs);
BENCHMARK_CAPTURE(BM_CastAllRays, path2, 700.0f, 300.0f, 4.712389f)->Apply(cast_runs);
BENCHMARK_CAPTURE(BM_CastAllRays, path3, 1305.0f, 15.0f, 1.5707964f)->Apply(cast_runs);
BENCHMARK_CAPTURE(BM_CastAllRays, path4, 100.0f, 1015.0f, 4.712389f)->Apply(cast_runs);

}  // namespace
