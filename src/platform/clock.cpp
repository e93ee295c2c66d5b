// Real and virtual millisecond clock behind one pair of calls. The real one
// is the platform's count plus an offset (moved by seeking) unless held.
#include "platform/clock.h"

#include "platform/host_clock.h"

namespace {

struct ClockMode {
  bool is_virtual;
  uint32_t ms_per_reading;
  bool held;
};

struct ClockState {
  ClockMode mode = {false, 0, false};
  ClockMode before_replay = {false, 0, false};
  uint32_t virtual_ms = 0;
  uint32_t real_offset = 0;  // added to the platform's count, wrapping
  uint32_t held_ms = 0;
  ClockStats stats = {};
};
ClockState clk;

// Where the clock stands, without counting or advancing a reading.
uint32_t current_ms() {
  if (clk.mode.held) return clk.held_ms;
  if (clk.mode.is_virtual) return clk.virtual_ms;
  return host_clock_ms() + clk.real_offset;
}

}  // namespace

uint32_t clock_ticks() {
  ++clk.stats.readings;
  uint32_t now = current_ms();
  if (clk.mode.is_virtual && !clk.mode.held) clk.virtual_ms += clk.mode.ms_per_reading;
  return now;
}

void clock_sleep(uint32_t ms) {
  ++clk.stats.sleeps;
  clk.stats.last_sleep_ms = ms;
  if (clk.mode.is_virtual) {
    if (!clk.mode.held) clk.virtual_ms += ms;
    return;
  }
  double before = host_clock_precise_ms();
  host_clock_sleep(ms);
  clk.stats.slept_ms += host_clock_precise_ms() - before;
}

void clock_use_virtual(uint32_t start_ms, uint32_t ms_per_reading) {
  clk.mode = {true, ms_per_reading, false};
  clk.virtual_ms = start_ms;
}

void clock_use_real() {
  clk.mode = {false, 0, false};
  clk.real_offset = 0;
}

void clock_set(uint32_t ms) {
  if (clk.mode.held)
    clk.held_ms = ms;
  else if (clk.mode.is_virtual)
    clk.virtual_ms = ms;
  else
    clk.real_offset = ms - host_clock_ms();
}

void clock_hold(bool held) {
  if (held == clk.mode.held) return;
  uint32_t now = current_ms();
  clk.mode.held = held;
  clock_set(now);
}

void clock_replay_begin() {
  clk.before_replay = clk.mode;
  clk.mode = {true, 0, false};
  clk.virtual_ms = 0;
}

void clock_replay_end(uint32_t ms) {
  clk.mode = clk.before_replay;
  clock_set(ms);
}

double clock_wall_ms() { return host_clock_precise_ms(); }

ClockStats clock_stats() { return clk.stats; }

void clock_reset_stats() { clk.stats = {}; }
