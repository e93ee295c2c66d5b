// Alpha blending of a frame over the last presented picture:
// out = src x a + dst x (1 - a) per colour channel, a = src alpha / 255,
// rounded to nearest; out alpha = a + dst alpha x (1 - a). With a = 255 the
// formula gives the frame's own pixel, so every pixel takes it. Four pixels
// go at a time, each channel in a 16-bit lane of a vector (the compilers'
// own vector type, which every target has), and blocks of rows are shared
// among the worker pool.
#include "platform/present.h"

#include <cstring>

#include "common/framebuffer.h"
#include "common/vector_words.h"
#include "common/workers.h"

namespace {

constexpr int kRowsPerJob = 30;  // rows a worker blends at a time
constexpr int kPixelBlock = 4;

// Channel values 0..255 and the sums below, at most 255 x 255 + 382, fit a lane.
typedef uint16_t Lanes __attribute__((vector_size(16)));

inline Lanes as_lanes(Words p) {
  Lanes l;
  std::memcpy(&l, &p, sizeof l);
  return l;
}

inline Words as_words(Lanes l) {
  Words p;
  std::memcpy(&p, &l, sizeof p);
  return p;
}

// (src x a + dst x (255 - a) + 127) / 255 in every lane; v / 255 for
// v = 0..65534 is (v + 1 + v / 256) / 256.
inline Lanes blend_channels(Lanes src, Lanes dst, Lanes a) {
  const Lanes v = src * a + dst * (255 - a) + 127;
  return (v + 1 + (v >> 8)) >> 8;
}

// Red and blue share a pixel's word as two lanes, and so do green and alpha;
// the frame's alpha channel blends as 255.
inline void blend_four(uint32_t* presented, const uint32_t* frame) {
  const Words src = load_words(frame), dst = load_words(presented);
  const Words alpha = src >> 24;
  const Lanes a = as_lanes(alpha | alpha << 16);
  const Lanes red_blue = blend_channels(as_lanes(src & 0x00FF00FF), as_lanes(dst & 0x00FF00FF), a);
  const Lanes green_alpha = blend_channels(as_lanes(((src >> 8) & 0x00FF00FF) | 0x00FF0000),
                                           as_lanes((dst >> 8) & 0x00FF00FF), a);
  store_words(presented, as_words(red_blue) | as_words(green_alpha) << 8);
}

// The last pixels of a span not filling a block go through a block of their own.
void blend_span(uint32_t* presented, const uint32_t* frame, int count) {
  int i = 0;
  for (; i + kPixelBlock <= count; i += kPixelBlock) blend_four(presented + i, frame + i);
  if (i == count) return;
  uint32_t dst[kPixelBlock] = {}, src[kPixelBlock] = {};
  std::memcpy(dst, presented + i, (count - i) * sizeof *dst);
  std::memcpy(src, frame + i, (count - i) * sizeof *src);
  blend_four(dst, src);
  std::memcpy(presented + i, dst, (count - i) * sizeof *dst);
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
