// Plain wall pictures: the see-through glass blocks of the outer walls and the
// corridor's striped panels, both repeating across neighbouring cells.
#include <algorithm>
#include <cmath>

#include "pictures.h"

namespace {

// One 16 x 16 glass block: a solid bevelled rim and a tinted pane whose alpha
// falls towards the middle, with a diagonal glint; alpha stays well below
// opaque in the pane so older pictures show through it.
uint32_t glass_pixel(int x, int y) {
  int bx = x & 15, by = y & 15;
  int rim = std::min(std::min(bx, 15 - bx), std::min(by, 15 - by));
  if (rim == 0) return (bx == 0 || by == 0) ? rgba(200, 240, 255, 255) : rgba(20, 40, 70, 255);
  if (rim == 1) return (bx == 1 || by == 1) ? rgba(120, 190, 230, 240) : rgba(40, 80, 120, 240);
  double dx = bx - 7.5, dy = by - 7.5;
  double r = std::sqrt(dx * dx + dy * dy) / 8.5;
  if (bx + by == 9 || bx + by == 10) return rgba(230, 250, 255, 176);
  // block tint changes from block to block across the 4 x 4 blocks of the picture
  int hue = 560 + ((x / 16 + y / 16) & 3) * 90;
  uint32_t tint = colour_mix(colour_hue(hue), rgba(10, 20, 60), 110);
  int a = 24 + int(r * r * 120.0);
  // ordered dither between two alpha steps gives the pane a fine screen
  a += bayer4(x, y) * 3;
  return (tint & 0x00FFFFFFu) | uint32_t(a) << 24;
}

}  // namespace

Canvas draw_glass_wall() {
  Canvas canvas = canvas_make(64, 64, 0);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) canvas_put(canvas, x, y, glass_pixel(x, y));
  return canvas;
}

// Black, red and gold bands crossed by bold chevrons, two per cell, pointing
// the same way along the corridor, and dark seams with rivets between panels:
// seen edge-on they still read as a hard rhythm.
Canvas draw_corridor_wall() {
  constexpr uint32_t bands[3][2] = {{rgba(24, 24, 30), rgba(70, 70, 80)},
                                    {rgba(150, 10, 16), rgba(235, 40, 36)},
                                    {rgba(220, 150, 0), rgba(255, 220, 60)}};
  Canvas canvas = canvas_make(64, 128, 0);
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 64; ++x) {
      double vy = y / 2.0;
      int band = vy < 21.5 ? 0 : vy < 42.5 ? 1 : 2;
      int u = x & 31;
      double v = std::fabs(vy - 31.75);
      bool lit = std::fmod(u + v * 0.6, 16.0) < 7.0;
      uint32_t c = bands[band][lit ? 1 : 0];
      if (y == 43 || y == 86) c = rgba(10, 10, 10);
      else if (y == 42 || y == 85) c = colour_shade(c, 150);
      if (u == 0 || u == 31) c = rgba(12, 12, 14);
      else if (u == 1) c = colour_shade(c, 140);
      else if (u == 30) c = colour_shade(c, 55);
      bool rivet = (u == 3 || u == 28) && (y % 16) >= 6 && (y % 16) < 10;
      if (rivet) c = (y % 16) < 8 ? rgba(250, 250, 240) : rgba(90, 90, 90);
      canvas_put(canvas, x, y, c);
    }
  return canvas;
}
