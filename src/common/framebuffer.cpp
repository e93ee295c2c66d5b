// Storage of the framebuffer pointer and the per-frame clear, waiting until
// it is needed (the fills are common/pixel_fill's).
#include "common/framebuffer.h"

#include <cstdlib>

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
  if (!clear_waiting || first_row >= end_row) return;
  fill_area(frame_pixels + size_t(first_row) * kFrameWidth + first_column, kFrameWidth,
            size_t(columns), size_t(end_row - first_row), kFrameClearColour);
}
