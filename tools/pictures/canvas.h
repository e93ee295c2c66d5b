// Drawing surface of the picture generator: pixels as 32-bit words 0xAABBGGRR
// (bytes R, G, B, A in memory, the layout the show reads), colour arithmetic,
// ordered dithering and a deterministic hash for grain and stars.
#pragma once
#include <cstdint>
#include <vector>

struct Canvas {
  int width;
  int height;
  std::vector<uint32_t> pixels;  // row after row, pixel (x, y) at y * width + x
};

// The sprites' transparent key: opaque magenta, bytes FF 00 FF FF.
constexpr uint32_t KEY = 0xFFFF00FFu;

constexpr uint32_t rgba(int r, int g, int b, int a = 255) {
  return uint32_t(r & 255) | uint32_t(g & 255) << 8 | uint32_t(b & 255) << 16 |
         uint32_t(a & 255) << 24;
}
constexpr int red(uint32_t c) { return int(c & 255); }
constexpr int green(uint32_t c) { return int(c >> 8 & 255); }
constexpr int blue(uint32_t c) { return int(c >> 16 & 255); }
constexpr int alpha(uint32_t c) { return int(c >> 24); }

Canvas canvas_make(int width, int height, uint32_t fill);
bool canvas_inside(const Canvas& canvas, int x, int y);
// Reads and writes outside the canvas are ignored (reads give 0).
uint32_t canvas_get(const Canvas& canvas, int x, int y);
void canvas_put(Canvas& canvas, int x, int y, uint32_t colour);

// t from 0 (all a) to 256 (all b), every channel alpha included.
uint32_t colour_mix(uint32_t a, uint32_t b, int t);
// Scales the colour channels by percent (above 100 brightens, clamped).
uint32_t colour_shade(uint32_t c, int percent);
// Colour of a hue 0-1535 around the wheel at full saturation.
uint32_t colour_hue(int hue);

// 4x4 ordered-dither threshold, 0-15.
int bayer4(int x, int y);
// Picks a or b so that the mix from 0 (a) to 1 (b) is right on average.
uint32_t dither_pick(uint32_t a, uint32_t b, double t, int x, int y);
// Dithers along a ramp of count colours, t from 0 (first) to 1 (last).
uint32_t ramp_pick(const uint32_t* stops, int count, double t, int x, int y);
// A well-mixed 32-bit value of its inputs, for grain and stars.
uint32_t hash3(uint32_t a, uint32_t b, uint32_t c);

// Mask helpers: a mask is one byte per canvas pixel, non-zero inside.
using Mask = std::vector<uint8_t>;
bool mask_at(const Mask& mask, int width, int height, int x, int y);
// Paints every pixel inside the mask that has an outside neighbour (4-way).
void mask_outline(Canvas& canvas, const Mask& mask, uint32_t colour);
// Grows the mask by one pixel in the 8 directions.
Mask mask_grow(const Mask& mask, int width, int height);
