// Storage of the framebuffer pointer and the per-frame clear.
#include "common/framebuffer.h"

#include <algorithm>

uint32_t* frame_pixels = nullptr;

void framebuffer_clear() { std::fill_n(frame_pixels, kFramePixelCount, kFrameClearColour); }
