// The page's millisecond clock: performance.now() counted from platform
// initialisation, for measuring work. The show itself runs on the virtual
// clock, which the page's frame loop sets to each frame's moment (show.cpp);
// a page's script cannot sleep, so a sleep returns at once.
#include <emscripten.h>

#include "common/numeric.h"
#include "platform/host_clock.h"
#include "platform/web/web_clock.h"

namespace {

double origin_ms = 0;

}  // namespace

void web_clock_start() { origin_ms = emscripten_get_now(); }

uint32_t host_clock_ms() { return static_cast<uint32_t>(to_int32(emscripten_get_now() - origin_ms)); }

void host_clock_sleep(uint32_t) {}

double host_clock_precise_ms() { return emscripten_get_now(); }
