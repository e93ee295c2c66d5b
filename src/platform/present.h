// The window's presentation, modelled in software: the frame is blended over
// the previously presented picture with straight alpha, once per presented
// frame. The shell makes the window's and the browser page's picture this
// way, and the offline renderer's pictures are made with it; the picture
// starts opaque black (kFrameClearColour), as a window does.
#pragma once
#include <cstdint>

void present_blend(uint32_t* presented, const uint32_t* frame, int pixel_count);
