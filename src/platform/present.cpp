// Alpha blending of a frame over the last presented picture:
// out = src x a + dst x (1 - a) per colour channel, a = src alpha / 255,
// rounded to nearest; out alpha = a + dst alpha x (1 - a).
#include "platform/present.h"

namespace {

uint32_t blend_channel(uint32_t src, uint32_t dst, uint32_t a) {
  return (src * a + dst * (255 - a) + 127) / 255;
}

}  // namespace

void present_blend(uint32_t* presented, const uint32_t* frame, int pixel_count) {
  for (int i = 0; i < pixel_count; ++i) {
    uint32_t src = frame[i];
    uint32_t a = src >> 24;
    if (a == 0xFF) {
      presented[i] = src;
      continue;
    }
    uint32_t dst = presented[i];
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8)
      out |= blend_channel((src >> shift) & 0xFF, (dst >> shift) & 0xFF, a) << shift;
    out |= blend_channel(0xFF, dst >> 24, a) << 24;
    presented[i] = out;
  }
}
