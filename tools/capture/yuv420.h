// The presented picture as the video encoder takes it: planar YUV 4:2:0 in
// limited range with BT.601 weights, made the way ffmpeg's default conversion
// of the RGB frame makes it, on the worker pool.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/framebuffer.h"

// Bytes of one converted frame: the full-size Y plane, then U and V at half
// the width and half the height.
constexpr size_t kYuv420Bytes = kFramePixelCount * 3 / 2;

// pixels: 1600 x 900 frame pixels (the alpha byte is not part of the picture);
// yuv: kYuv420Bytes.
void frame_to_yuv420(const uint32_t* pixels, uint8_t* yuv);
