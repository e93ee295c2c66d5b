// The host clock of a build without SDL (demo-capture alone, as the ARM64
// check builds it): the monotonic clock, counted from its first reading.
#include <time.h>

#include "common/numeric.h"
#include "platform/host_clock.h"

namespace {

double monotonic_ms() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

const double origin_ms = monotonic_ms();

}  // namespace

uint32_t host_clock_ms() { return static_cast<uint32_t>(to_int32(monotonic_ms() - origin_ms)); }

void host_clock_sleep(uint32_t ms) {
  const timespec pause = {time_t(ms / 1000), long(ms % 1000) * 1000000L};
  nanosleep(&pause, nullptr);
}

double host_clock_precise_ms() { return monotonic_ms(); }
