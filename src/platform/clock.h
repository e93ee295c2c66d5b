// The clock seam: every millisecond reading and every sleep of the system
// goes through here. The show uses the platform's clock, which can be held
// (pause) and moved (seeking); tests and the offline renderer install a
// virtual one whose sleeps advance its time.
#pragma once
#include <cstdint>

uint32_t clock_ticks();           // milliseconds of show time, since platform initialisation
void clock_sleep(uint32_t ms);    // a held clock sleeps without moving

// Virtual time starts at start_ms; each reading then advances it by
// ms_per_reading (0 keeps time still between sleeps and sets).
void clock_use_virtual(uint32_t start_ms, uint32_t ms_per_reading = 0);
void clock_use_real();            // the platform's count, neither moved nor held

// The next reading gives ms; real time runs on from there.
void clock_set(uint32_t ms);
// While held, readings stand still; on release time runs on from where it stood.
void clock_hold(bool held);
// A replay reads a still virtual clock that it sets itself; at its end the
// clock is put back as it was (real or virtual, held or not), moved to ms.
void clock_replay_begin();
void clock_replay_end(uint32_t ms);

// Real milliseconds with a fraction, for measuring work; never show time.
double clock_wall_ms();

struct ClockStats {
  uint32_t readings;
  uint32_t sleeps;
  uint32_t last_sleep_ms;
  double slept_ms;  // real time spent asleep
};
ClockStats clock_stats();
void clock_reset_stats();
