// Storage of the framebuffer pointer, the per-frame clear and the copies
// between column strips and the frame. The copies move four pixels at a time
// in vectors of four 32-bit words (the compilers' own vector type, which
// every target has), turning 4 x 4 squares of pixels about their diagonal.
#include "common/framebuffer.h"

#include <cstring>

#include "common/workers.h"

uint32_t* frame_pixels = nullptr;

namespace {

constexpr int kClearRows = 30;  // rows a worker clears at a time, 900 / 30 blocks

bool clear_waiting = false;  // set and cleared by the drawing thread only

typedef uint32_t Words __attribute__((vector_size(16)));

inline Words load_words(const uint32_t* p) {
  Words w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

inline void store_words(uint32_t* p, Words w) { std::memcpy(p, &w, sizeof w); }

// The square whose row k is in[k * in_step] .. + 3, written with its rows and
// columns exchanged: row k of the result goes to out[k * out_step].
inline void turn_square(const uint32_t* in, size_t in_step, uint32_t* out, size_t out_step) {
  Words a = load_words(in), b = load_words(in + in_step);
  Words c = load_words(in + 2 * in_step), d = load_words(in + 3 * in_step);
  Words ab_low = __builtin_shufflevector(a, b, 0, 4, 1, 5);
  Words ab_high = __builtin_shufflevector(a, b, 2, 6, 3, 7);
  Words cd_low = __builtin_shufflevector(c, d, 0, 4, 1, 5);
  Words cd_high = __builtin_shufflevector(c, d, 2, 6, 3, 7);
  store_words(out, __builtin_shufflevector(ab_low, cd_low, 0, 1, 4, 5));
  store_words(out + out_step, __builtin_shufflevector(ab_low, cd_low, 2, 3, 6, 7));
  store_words(out + 2 * out_step, __builtin_shufflevector(ab_high, cd_high, 0, 1, 4, 5));
  store_words(out + 3 * out_step, __builtin_shufflevector(ab_high, cd_high, 2, 3, 6, 7));
}

}  // namespace

void fill_pixels(uint32_t* p, size_t count, uint32_t colour) {
  Words w = {colour, colour, colour, colour};
  size_t k = 0;
  for (; k + 4 <= count; k += 4) store_words(p + k, w);
  for (; k < count; ++k) p[k] = colour;
}

void framebuffer_clear() { clear_waiting = true; }

void framebuffer_all_drawn() { clear_waiting = false; }

void framebuffer_settle() {
  if (!clear_waiting) return;
  clear_waiting = false;
  workers_for(kFrameHeight, kClearRows, [](int first, int end) {
    fill_pixels(frame_pixels + size_t(first) * kFrameWidth, size_t(end - first) * kFrameWidth,
                kFrameClearColour);
  });
}

// Whole squares where four columns remain (900 rows are 225 squares high),
// single pixels for the rest.
void frame_to_strips(int first, int count, ColumnStrip* strips) {
  if (clear_waiting) {
    fill_pixels(strips[0], size_t(count) * kFrameHeight, kFrameClearColour);
    return;
  }
  int whole = count - count % 4;
  for (int row = 0; row < kFrameHeight; row += 4)
    for (int c = 0; c < whole; c += 4)
      turn_square(frame_pixels + size_t(row) * kFrameWidth + first + c, kFrameWidth,
                  &strips[c][row], kFrameHeight);
  for (int c = whole; c < count; ++c)
    for (int row = 0; row < kFrameHeight; ++row)
      strips[c][row] = frame_pixels[size_t(row) * kFrameWidth + first + c];
}

void strips_to_frame(int first, int count, const ColumnStrip* strips) {
  int whole = count - count % 4;
  for (int row = 0; row < kFrameHeight; row += 4)
    for (int c = 0; c < whole; c += 4)
      turn_square(&strips[c][row], kFrameHeight,
                  frame_pixels + size_t(row) * kFrameWidth + first + c, kFrameWidth);
  for (int c = whole; c < count; ++c)
    for (int row = 0; row < kFrameHeight; ++row)
      frame_pixels[size_t(row) * kFrameWidth + first + c] = strips[c][row];
}
