// Alpha blending of a frame over the last presented picture:
// out = src x a + dst x (1 - a) per colour channel, a = src alpha / 255,
// rounded to nearest; out alpha = a + dst alpha x (1 - a). With a = 255 the
// formula gives the frame's own pixel, so every pixel takes it, in blocks of
// eight that the compiler turns into vector instructions, and blocks of rows
// are shared among the worker pool.
#include "platform/present.h"

#include "common/framebuffer.h"
#include "common/workers.h"

namespace {

constexpr int kPixelBlock = 8;
constexpr int kRowsPerJob = 30;  // rows a worker blends at a time

// v / 255 for v = 0..65534, without a division.
inline uint32_t over_255(uint32_t v) { return (v + 1 + (v >> 8)) >> 8; }

inline uint32_t blend_channel(uint32_t src, uint32_t dst, uint32_t a) {
  return over_255(src * a + dst * (255 - a) + 127);
}

inline uint32_t blend_pixel(uint32_t src, uint32_t dst) {
  uint32_t a = src >> 24;
  return blend_channel(src & 0xFF, dst & 0xFF, a) |
         blend_channel((src >> 8) & 0xFF, (dst >> 8) & 0xFF, a) << 8 |
         blend_channel((src >> 16) & 0xFF, (dst >> 16) & 0xFF, a) << 16 |
         blend_channel(0xFF, dst >> 24, a) << 24;
}

void blend_span(uint32_t* presented, const uint32_t* frame, int count) {
  int i = 0;
  for (; i + kPixelBlock <= count; i += kPixelBlock)
    for (int l = 0; l < kPixelBlock; ++l)
      presented[i + l] = blend_pixel(frame[i + l], presented[i + l]);
  for (; i < count; ++i) presented[i] = blend_pixel(frame[i], presented[i]);
}

}  // namespace

void present_blend(uint32_t* presented, const uint32_t* frame, int pixel_count) {
  int rows = pixel_count / kFrameWidth;
  workers_for(rows, kRowsPerJob, [=](int first, int end) {
    blend_span(presented + size_t(first) * kFrameWidth, frame + size_t(first) * kFrameWidth,
               (end - first) * kFrameWidth);
  });
  int done = rows * kFrameWidth;
  blend_span(presented + done, frame + done, pixel_count - done);
}
