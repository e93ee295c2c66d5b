// Seeking: the show replayed from its start to a moment, camera and sprite
// steps only, as Left, Right, Home and --start do it.
#include <benchmark/benchmark.h>

#include "platform/clock.h"
#include "shell/shell.h"

namespace {

void BM_ReplayUntil(benchmark::State& state) {
  uint32_t ms = uint32_t(state.range(0));
  clock_use_virtual(0);
  for (auto _ : state) benchmark::DoNotOptimize(replay_until(ms, kSteppedFps));
  clock_use_real();
}

BENCHMARK(BM_ReplayUntil)->Arg(30000)->Arg(120000)->Unit(benchmark::kMillisecond);

}  // namespace
