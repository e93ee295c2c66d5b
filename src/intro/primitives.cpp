// The intro's two drawing primitives: a filled block and a one-pixel line,
// both written straight into frame_pixels. Pixels off the frame are dropped,
// so no caller can write outside it.
#include <algorithm>
#include <cmath>

#include "common/framebuffer.h"
#include "common/numeric.h"
#include "intro/intro.h"

namespace {

constexpr uint32_t kLineColour = 0xFF359434;

bool inside_frame(int64_t x, int64_t y) {
  return x >= 0 && x < kFrameWidth && y >= 0 && y < kFrameHeight;
}

}  // namespace

// Columns x to x + w and rows y to y + h, both ends included; the bounds are
// widened to 64 bits so that no sum of two ints can overflow. Every pixel
// gets the one colour, so the block is filled along its rows.
void fill_rect(int x, int y, int w, int h, uint32_t colour) {
  if (w < 0 || h < 0) return;
  int64_t first_col = std::max<int64_t>(x, 0);
  int64_t last_col = std::min<int64_t>(int64_t(x) + w, kFrameWidth - 1);
  int64_t first_row = std::max<int64_t>(y, 0);
  int64_t last_row = std::min<int64_t>(int64_t(y) + h, kFrameHeight - 1);
  if (first_col > last_col) return;
  framebuffer_settle();
  for (int64_t row = first_row; row <= last_row; ++row)
    fill_pixels(frame_pixels + row * kFrameWidth + first_col, size_t(last_col - first_col + 1),
                colour);
}

// A digital differential analyser in float: n steps of (dx / n, dy / n), each
// position rounded half away from zero; the end point itself is not drawn.
// Points off the frame cost their step but write nothing.
void draw_line(int x0, int y0, int x1, int y1) {
  int64_t dx = int64_t(x1) - x0;
  int64_t dy = int64_t(y1) - y0;
  int64_t n = std::max(dx < 0 ? -dx : dx, dy < 0 ? -dy : dy);
  if (n <= 0) return;
  float step_x = float(dx) / float(n);
  float step_y = float(dy) / float(n);
  float x = float(x0);
  float y = float(y0);
  framebuffer_settle();
  for (int64_t k = 0; k < n; ++k) {
    int32_t col = to_int32(std::round(double(x)));
    int32_t row = to_int32(std::round(double(y)));
    if (inside_frame(col, row)) frame_pixels[size_t(row) * kFrameWidth + size_t(col)] = kLineColour;
    x += step_x;
    y += step_y;
  }
}
