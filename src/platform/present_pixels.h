// The presentation blend's pixel work, a vector of the target's width at a
// time (the formula is present.cpp's).
#pragma once
#include <cstddef>
#include <cstdint>

// presented[i] becomes frame[i] blended over it, for i = 0 .. count - 1.
void blend_pixels(uint32_t* presented, const uint32_t* frame, size_t count);
