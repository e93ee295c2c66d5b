// The clock seam: every millisecond reading and every sleep of the system
// goes through here. The show uses the platform's clock; tests and the
// offline renderer install a virtual one whose sleeps advance its time.
#pragma once
#include <cstdint>

uint32_t clock_ticks();           // milliseconds since platform initialisation
void clock_sleep(uint32_t ms);

// Virtual time starts at start_ms; each reading then advances it by
// ms_per_reading (0 keeps time still between sleeps and sets).
void clock_use_virtual(uint32_t start_ms, uint32_t ms_per_reading = 0);
void clock_set(uint32_t ms);      // virtual clock only
void clock_use_real();

struct ClockStats {
  uint32_t readings;
  uint32_t sleeps;
  uint32_t last_sleep_ms;
};
ClockStats clock_stats();
void clock_reset_stats();
