// SDL's millisecond count, its sleep and its performance counter.
#include "platform/ticks.h"

#include <SDL.h>

uint32_t platform_ticks() { return SDL_GetTicks(); }

void platform_sleep(uint32_t ms) { SDL_Delay(ms); }

double platform_precise_ms() {
  return double(SDL_GetPerformanceCounter()) * 1000.0 / double(SDL_GetPerformanceFrequency());
}
