// Storage of the framebuffer pointer, the per-frame clear and the row fill,
// which stores four pixels at a time in vectors of four 32-bit words (the
// compilers' own vector type, which every target has).
#include "common/framebuffer.h"

#include <cstdlib>

#include "common/vector_words.h"
#include "common/workers.h"

uint32_t* frame_pixels = nullptr;

namespace {

constexpr int kClearRows = 30;  // rows a worker clears at a time, 900 / 30 blocks

bool clear_waiting = false;  // set and cleared by the drawing thread only

}  // namespace

static_assert(kFrameBytes % kFrameAlignment == 0);

uint32_t* framebuffer_allocate() {
  return static_cast<uint32_t*>(std::aligned_alloc(kFrameAlignment, kFrameBytes));
}

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

void framebuffer_settle_area(int first_column, int columns, int first_row, int end_row) {
  if (!clear_waiting) return;
  for (int row = first_row; row < end_row; ++row)
    fill_pixels(frame_pixels + size_t(row) * kFrameWidth + first_column, size_t(columns),
                kFrameClearColour);
}
