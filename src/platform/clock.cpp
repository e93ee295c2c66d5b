// Real and virtual millisecond clock behind one pair of calls.
#include "platform/clock.h"

#include <SDL.h>

namespace {

struct ClockState {
  bool is_virtual = false;
  uint32_t virtual_ms = 0;
  uint32_t ms_per_reading = 0;
  ClockStats stats = {};
};
ClockState clk;

}  // namespace

uint32_t clock_ticks() {
  ++clk.stats.readings;
  if (!clk.is_virtual) return SDL_GetTicks();
  uint32_t now = clk.virtual_ms;
  clk.virtual_ms += clk.ms_per_reading;
  return now;
}

void clock_sleep(uint32_t ms) {
  ++clk.stats.sleeps;
  clk.stats.last_sleep_ms = ms;
  if (clk.is_virtual)
    clk.virtual_ms += ms;
  else
    SDL_Delay(ms);
}

void clock_use_virtual(uint32_t start_ms, uint32_t ms_per_reading) {
  clk.is_virtual = true;
  clk.virtual_ms = start_ms;
  clk.ms_per_reading = ms_per_reading;
}

void clock_set(uint32_t ms) { clk.virtual_ms = ms; }

void clock_use_real() { clk.is_virtual = false; }

ClockStats clock_stats() { return clk.stats; }

void clock_reset_stats() { clk.stats = {}; }
