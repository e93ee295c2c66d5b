// The choice of vector target: Highway asks the processor what it runs;
// a chosen target is the only one Highway may dispatch to from then on.
#include "common/simd_target.h"

#include <hwy/targets.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

// Every target this build has and the processor runs, asked once: a choice
// narrows what Highway reports afterwards.
int64_t available_targets() {
  static const int64_t targets = HWY_SUPPORTED_TARGETS & HWY_TARGETS;
  return targets;
}

int64_t best_target() { return available_targets() & -available_targets(); }

int64_t chosen = 0;  // 0: the best

int64_t target_in_use() { return chosen ? chosen : best_target(); }

// Highway's name in lower case, kept per target bit.
const char* lower_case_name(int64_t target) {
  static char names[64][16];
  int bit = __builtin_ctzll(uint64_t(target));
  if (names[bit][0] == 0) {
    const char* name = hwy::TargetName(target);
    for (size_t k = 0; name[k] && k + 1 < sizeof names[bit]; ++k)
      names[bit][k] = char(std::tolower(static_cast<unsigned char>(name[k])));
  }
  return names[bit];
}

void use_target(int64_t target) {
  chosen = target;
#if (HWY_TARGETS & (HWY_TARGETS - 1)) != 0
  hwy::DisableTargets(~target);
#endif
}

}  // namespace

int simd_targets_available(const char* names[kMostSimdTargets]) {
  int count = 0;
  for (int64_t left = available_targets(); left != 0 && count < kMostSimdTargets;
       left &= left - 1)
    names[count++] = lower_case_name(left & -left);
  return count;
}

const char* simd_target_name() { return lower_case_name(target_in_use()); }

bool simd_choose(const char* name) {
  for (int64_t left = available_targets(); left != 0; left &= left - 1) {
    int64_t target = left & -left;
    if (strcasecmp(name, lower_case_name(target)) != 0) continue;
    use_target(target);
    return true;
  }
  return false;
}

bool simd_choose_from_environment() {
  const char* name = std::getenv("DEMO_SIMD");
  if (!name || simd_choose(name)) return true;
  std::fprintf(stderr, "DEMO_SIMD names no vector target this processor runs: '%s' (", name);
  const char* names[kMostSimdTargets];
  int count = simd_targets_available(names);
  for (int k = 0; k < count; ++k) std::fprintf(stderr, "%s%s", k ? ", " : "", names[k]);
  std::fprintf(stderr, ")\n");
  return false;
}
