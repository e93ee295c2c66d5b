// The wide paths' switch: the processor is asked once.
#include "common/wide_vectors.h"

namespace {
bool allowed = true;

bool processor_has_them() {
#ifdef DEMO_WIDE_VECTORS
  static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                          __builtin_cpu_supports("avx512vl");
  return has;
#else
  return false;
#endif
}
}  // namespace

bool wide_vectors() { return allowed && processor_has_them(); }

void wide_vectors_allow(bool permitted) { allowed = permitted; }
