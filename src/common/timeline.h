// The timeline: 5 units per second of the millisecond clock, computed in
// double and kept in float; the sprites' own clock runs at 4 units a second.
#pragma once
#include <cstdint>

inline float timeline_position(uint32_t ms) { return static_cast<float>(ms * 0.005); }
inline float sprite_clock(uint32_t ms) { return static_cast<float>(ms * 0.004); }
