// The window's presentation, modelled in software: the frame is blended over
// the previously presented picture with straight alpha, as the streaming
// texture's default blend mode does on screen. The browser page presents this
// way, and the offline renderer's pictures are made with it.
#pragma once
#include <cstdint>

void present_blend(uint32_t* presented, const uint32_t* frame, int pixel_count);
