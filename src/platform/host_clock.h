// The platform's own millisecond clock and sleep, under the clock seam:
// SDL's on the desktop, the page's performance clock in a browser, the
// monotonic clock in demo-capture built without SDL.
#pragma once
#include <cstdint>

uint32_t host_clock_ms();  // milliseconds since platform initialisation
void host_clock_sleep(uint32_t ms);
double host_clock_precise_ms();  // with a fraction, for measuring work
