// The platform's own time, read only by the clock seam: milliseconds since
// platform initialisation, a sleep, and a finer reading for measurements.
#pragma once
#include <cstdint>

uint32_t platform_ticks();
void platform_sleep(uint32_t ms);
double platform_precise_ms();
