// The component benchmarks' entry: they draw with the vector target that
// DEMO_SIMD names (the best one by default), which the report's context names.
#include <benchmark/benchmark.h>

#include "common/simd_target.h"

int main(int argc, char** argv) {
  if (!simd_choose_from_environment()) return 2;
  benchmark::AddCustomContext("vector target", simd_target_name());
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
