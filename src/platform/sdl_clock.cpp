// SDL's millisecond clock, counting from SDL_Init, and its sleep.
#include <SDL.h>

#include "platform/host_clock.h"

uint32_t host_clock_ms() { return SDL_GetTicks(); }

void host_clock_sleep(uint32_t ms) { SDL_Delay(ms); }

double host_clock_precise_ms() {
  return double(SDL_GetPerformanceCounter()) * 1000.0 / double(SDL_GetPerformanceFrequency());
}
