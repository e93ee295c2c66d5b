// Alpha blending of a frame over the last presented picture:
// out = src x a + dst x (1 - a) per colour channel, a = src alpha / 255,
// rounded to nearest; out alpha = a + dst alpha x (1 - a). With a = 255 the
// formula gives the frame's own pixel, so every pixel takes it. Blocks of
// rows are shared among the worker pool; the pixels go a vector at a time
// (present_pixels.cpp).
#include "platform/present.h"

#include "common/framebuffer.h"
#include "common/workers.h"
#include "platform/present_pixels.h"

namespace {

constexpr int kRowsPerJob = 30;  // rows a worker blends at a time

}  // namespace

void present_blend(uint32_t* presented, const uint32_t* frame, int pixel_count) {
  int rows = pixel_count / kFrameWidth;
  workers_for(rows, kRowsPerJob, [=](int first, int end) {
    blend_pixels(presented + size_t(first) * kFrameWidth, frame + size_t(first) * kFrameWidth,
                 size_t(end - first) * kFrameWidth);
  });
  int done = rows * kFrameWidth;
  blend_pixels(presented + done, frame + done, size_t(pixel_count - done));
}
