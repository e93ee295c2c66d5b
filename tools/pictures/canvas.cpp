// Drawing surface, colour arithmetic and dithering of the picture generator.
#include "canvas.h"

#include <algorithm>

Canvas canvas_make(int width, int height, uint32_t fill) {
  return Canvas{width, height, std::vector<uint32_t>(size_t(width) * size_t(height), fill)};
}

bool canvas_inside(const Canvas& canvas, int x, int y) {
  return x >= 0 && y >= 0 && x < canvas.width && y < canvas.height;
}

uint32_t canvas_get(const Canvas& canvas, int x, int y) {
  return canvas_inside(canvas, x, y) ? canvas.pixels[size_t(y) * canvas.width + x] : 0;
}

void canvas_put(Canvas& canvas, int x, int y, uint32_t colour) {
  if (canvas_inside(canvas, x, y)) canvas.pixels[size_t(y) * canvas.width + x] = colour;
}

uint32_t colour_mix(uint32_t a, uint32_t b, int t) {
  t = std::clamp(t, 0, 256);
  auto channel = [t](int u, int v) { return (u * (256 - t) + v * t + 128) >> 8; };
  return rgba(channel(red(a), red(b)), channel(green(a), green(b)), channel(blue(a), blue(b)),
              channel(alpha(a), alpha(b)));
}

uint32_t colour_shade(uint32_t c, int percent) {
  auto channel = [percent](int v) { return std::min(255, v * percent / 100); };
  return rgba(channel(red(c)), channel(green(c)), channel(blue(c)), alpha(c));
}

uint32_t colour_hue(int hue) {
  hue = ((hue % 1536) + 1536) % 1536;
  int rise = hue % 256;
  int fall = 255 - rise;
  switch (hue / 256) {
    case 0: return rgba(255, rise, 0);
    case 1: return rgba(fall, 255, 0);
    case 2: return rgba(0, 255, rise);
    case 3: return rgba(0, fall, 255);
    case 4: return rgba(rise, 0, 255);
    default: return rgba(255, 0, fall);
  }
}

int bayer4(int x, int y) {
  // Thresholds of the 4x4 Bayer matrix, index [row][column], values 0-15.
  static constexpr int matrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  return matrix[y & 3][x & 3];
}

uint32_t dither_pick(uint32_t a, uint32_t b, double t, int x, int y) {
  return t * 16.0 > bayer4(x, y) + 0.5 ? b : a;
}

uint32_t ramp_pick(const uint32_t* stops, int count, double t, int x, int y) {
  double position = std::clamp(t, 0.0, 1.0) * (count - 1);
  int i = std::min(count - 2, int(position));
  return dither_pick(stops[i], stops[i + 1], position - i, x, y);
}

uint32_t hash3(uint32_t a, uint32_t b, uint32_t c) {
  uint32_t h = a * 0x9E3779B1u ^ b * 0x85EBCA77u ^ c * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

bool mask_at(const Mask& mask, int width, int height, int x, int y) {
  return x >= 0 && y >= 0 && x < width && y < height && mask[size_t(y) * width + x] != 0;
}

void mask_outline(Canvas& canvas, const Mask& mask, uint32_t colour) {
  int w = canvas.width, h = canvas.height;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (mask_at(mask, w, h, x, y) &&
          (!mask_at(mask, w, h, x - 1, y) || !mask_at(mask, w, h, x + 1, y) ||
           !mask_at(mask, w, h, x, y - 1) || !mask_at(mask, w, h, x, y + 1)))
        canvas_put(canvas, x, y, colour);
}

Mask mask_grow(const Mask& mask, int width, int height) {
  Mask grown(mask.size(), 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int dy = -1; dy <= 1 && !grown[size_t(y) * width + x]; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
          if (mask_at(mask, width, height, x + dx, y + dy)) {
            grown[size_t(y) * width + x] = 1;
            break;
          }
  return grown;
}
