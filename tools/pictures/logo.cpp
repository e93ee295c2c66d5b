// The group's logo JUBRA 23, the last picture of the show, and the rough
// pencil sketch it grew from.
#include <algorithm>
#include <cmath>

#include "font.h"
#include "pictures.h"

namespace {

// Logo layout in rows of the 64 x 128 picture; a wall shows it square, so
// two rows make one column's worth of height. The end of the corridor shows
// about rows 22 to 106, so everything that matters lies in there.
constexpr int LOGO_W = 64, LOGO_H = 128;
constexpr int WORD_TOP = 23, WORD_SX = 2, WORD_SY = 6, WORD_GAP = 2, WORD_BOLD = 1;
constexpr int NUMBER_TOP = 69, NUMBER_SX = 3, NUMBER_SY = 5, NUMBER_GAP = 3, NUMBER_BOLD = 0;
constexpr int HORIZON = 104;
constexpr int SUN_X = 32, SUN_R = 24;  // centre column on the horizon, radius in columns
// The corridor's end is a face seen from the north, where a wall's columns
// run from right to left across the screen, and the last scene slides the
// picture along by its clock (column hit_x + 0.8 t - 1.82, the face starting
// at a multiple of 64); at t = 527, just before that scene ends, the slide is
// 36 columns. The file holds the logo mirrored and turned by that much so it
// reads JUBRA 23, centred, as the camera comes to rest.
constexpr int END_SLIDE = 36;

// Chrome of the word, top to bottom of a letter: a cold sky above a hard
// horizon, warm ground below. Index 0-7 over the letter's height.
constexpr uint32_t chrome[8] = {rgba(70, 110, 230), rgba(120, 170, 255), rgba(190, 225, 255),
                                rgba(255, 255, 255), rgba(90, 30, 90), rgba(190, 70, 60),
                                rgba(250, 150, 50), rgba(255, 230, 120)};
// Neon of the number, index 0-5 over a digit's height.
constexpr uint32_t neon[6] = {rgba(255, 255, 255), rgba(200, 250, 255), rgba(120, 230, 255),
                              rgba(60, 170, 255), rgba(140, 90, 255), rgba(220, 70, 230)};

uint32_t sky_pixel(int x, int y) {
  // night at the top through violet to a rose haze at the horizon
  static constexpr uint32_t sky[7] = {rgba(4, 2, 20),    rgba(12, 6, 40),   rgba(26, 10, 60),
                                      rgba(44, 14, 80),  rgba(70, 18, 100), rgba(110, 26, 116),
                                      rgba(160, 40, 130)};
  uint32_t c = ramp_pick(sky, 7, double(y) / HORIZON, x, y);
  uint32_t h = hash3(uint32_t(x), uint32_t(y / 2), 23);
  if (y < HORIZON - 30 && h % 53 == 0) c = colour_mix(c, rgba(255, 255, 255), 150 + int(h >> 24) % 100);
  return c;
}

// A setting sun on the horizon behind the number: flat bands from yellow to
// pink, cut by gaps that widen towards the ground.
void draw_sun(Canvas& canvas) {
  static constexpr uint32_t bands[5] = {rgba(255, 240, 110), rgba(255, 200, 70), rgba(255, 150, 60),
                                        rgba(255, 95, 100), rgba(250, 50, 150)};
  for (int y = 0; y < HORIZON; ++y)
    for (int x = 0; x < LOGO_W; ++x) {
      double dx = x - SUN_X + 0.5, dy = (HORIZON - y) / 2.0;
      if (dx * dx + dy * dy > SUN_R * SUN_R) continue;
      double t = 1.0 - dy / SUN_R;
      int from_bottom = HORIZON - y;
      if (t > 0.45 && from_bottom % 6 < 1 + int((t - 0.45) * 5)) continue;
      canvas_put(canvas, x, y, bands[std::min(4, int(t * 5))]);
    }
}

// Perspective ground lines under the sun, closer together towards the horizon.
void draw_ground(Canvas& canvas) {
  constexpr int horizon = HORIZON;
  for (int y = horizon; y < LOGO_H; ++y)
    for (int x = 0; x < LOGO_W; ++x) {
      double depth = double(y - horizon + 1) / (LOGO_H - horizon);
      uint32_t c = dither_pick(rgba(26, 2, 44), rgba(60, 8, 80), depth, x, y);
      double line = std::sqrt(depth * 24.0);
      if (y == horizon || std::fmod(line, 1.0) < 0.12 || ((x + 2) & 7) == 0)
        c = colour_mix(rgba(255, 60, 200), c, int(128 * (1.0 - depth)));
      canvas_put(canvas, x, y, c);
    }
}

// Soft light around the letters: strongest next to the outline, gone
// radius columns away (rows count half).
void draw_glow(Canvas& canvas, const Mask& mask, uint32_t colour, double radius) {
  int reach = int(radius) + 1;
  for (int y = 0; y < LOGO_H; ++y)
    for (int x = 0; x < LOGO_W; ++x) {
      double best = radius;
      for (int dy = -2 * reach; dy <= 2 * reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx)
          if (mask_at(mask, LOGO_W, LOGO_H, x + dx, y + dy))
            best = std::min(best, std::sqrt(dx * dx + dy * dy / 4.0));
      if (best >= radius) continue;
      double k = 1.0 - best / radius;
      canvas_put(canvas, x, y, colour_mix(canvas_get(canvas, x, y), colour, int(200 * k * k)));
    }
}

// Fills a line of text with a stepped gradient and bevels every stroke: lit
// from the upper left, shaded on the lower right.
void draw_bevelled(Canvas& canvas, const Mask& mask, int top, int rows, const uint32_t* ramp,
                   int steps) {
  for (int y = top; y < top + rows; ++y)
    for (int x = 0; x < LOGO_W; ++x) {
      if (!mask_at(mask, LOGO_W, LOGO_H, x, y)) continue;
      uint32_t c = ramp[std::min(steps - 1, (y - top) * steps / rows)];
      bool lit = !mask_at(mask, LOGO_W, LOGO_H, x - 1, y) || !mask_at(mask, LOGO_W, LOGO_H, x, y - 2);
      bool shaded = !mask_at(mask, LOGO_W, LOGO_H, x + 1, y) || !mask_at(mask, LOGO_W, LOGO_H, x, y + 2);
      if (lit && !shaded) c = colour_mix(c, rgba(255, 255, 255), 140);
      else if (shaded && !lit) c = colour_shade(c, 55);
      canvas_put(canvas, x, y, c);
    }
}

// bold widens every stroke to the right by that many columns
void draw_text_layer(Canvas& canvas, const char* text, int top, int sx, int sy, int gap, int bold,
                     const uint32_t* ramp, int steps, uint32_t glow, double glow_radius,
                     uint32_t outline) {
  Mask mask(size_t(LOGO_W) * LOGO_H, 0);
  int x = (LOGO_W - text_width(text, sx, gap) - bold + 1) / 2;
  for (int shift = 0; shift <= bold; ++shift)
    text_mask(mask, LOGO_W, LOGO_H, text, x + shift, top, sx, sy, gap);
  Mask ring = mask_grow(mask, LOGO_W, LOGO_H);
  draw_glow(canvas, ring, glow, glow_radius);
  for (int y = 0; y < LOGO_H; ++y)
    for (int px = 0; px < LOGO_W; ++px)
      if (mask_at(ring, LOGO_W, LOGO_H, px, y)) canvas_put(canvas, px, y, outline);
  draw_bevelled(canvas, mask, top, FONT_ROWS * sy, ramp, steps);
}

}  // namespace

Canvas draw_logo() {
  Canvas canvas = canvas_make(LOGO_W, LOGO_H, 0);
  for (int y = 0; y < LOGO_H; ++y)
    for (int x = 0; x < LOGO_W; ++x) canvas_put(canvas, x, y, sky_pixel(x, y));
  draw_sun(canvas);
  draw_ground(canvas);
  draw_text_layer(canvas, "JUBRA", WORD_TOP, WORD_SX, WORD_SY, WORD_GAP, WORD_BOLD, chrome, 8,
                  rgba(60, 190, 255), 4.0, rgba(10, 6, 30));
  // the number sits on the sun; a dark halo keeps it apart
  draw_text_layer(canvas, "23", NUMBER_TOP, NUMBER_SX, NUMBER_SY, NUMBER_GAP, NUMBER_BOLD, neon, 6,
                  rgba(30, 0, 50), 3.0, rgba(20, 0, 40));
  Canvas stored = canvas;
  for (int y = 0; y < LOGO_H; ++y)
    for (int x = 0; x < LOGO_W; ++x)
      canvas_put(stored, x, y, canvas_get(canvas, (LOGO_W - 1 - x + END_SLIDE) % LOGO_W, y));
  return stored;
}

namespace {

constexpr uint32_t PAPER = rgba(238, 232, 214);

void sketch_dot(Canvas& canvas, int x, int y, uint32_t ink, uint32_t seed) {
  // pencil leaves grain: some dots come out lighter
  uint32_t h = hash3(uint32_t(x), uint32_t(y), seed);
  canvas_put(canvas, x, y, h % 5 == 0 ? colour_mix(ink, PAPER, 110) : ink);
}

// A hand-drawn stroke: straight from (x0, y0) to (x1, y1) with a little sway.
void sketch_line(Canvas& canvas, int x0, int y0, int x1, int y1, uint32_t ink, uint32_t seed) {
  int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0)) * 2 + 1;
  for (int i = 0; i <= steps; ++i) {
    double t = double(i) / steps;
    double sway = std::sin(t * 3.14159 + seed) * 0.7;
    int x = int(std::lround(x0 + (x1 - x0) * t + sway * (y1 != y0)));
    int y = int(std::lround(y0 + (y1 - y0) * t + sway * (x1 != x0)));
    sketch_dot(canvas, x, y, ink, seed);
  }
}

void sketch_paper(Canvas& canvas) {
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      uint32_t c = PAPER;
      int grain = int(hash3(uint32_t(x), uint32_t(y), 7) % 3);
      c = colour_shade(c, 98 - grain * 2);
      if (y % 8 == 5) c = rgba(170, 200, 230);
      if (x == 4) c = rgba(230, 140, 140);
      canvas_put(canvas, x, y, c);
    }
}

// The word in pencil, one stroke per run of font cells, each line a little off.
void sketch_word(Canvas& canvas, const char* text, int left, int top, int sx, int sy,
                 uint32_t ink, uint32_t seed) {
  Mask mask(64 * 64, 0);
  text_mask(mask, 64, 64, text, left, top, sx, sy, 1);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      // the hand drifts a pixel now and then from one glyph row to the next
      int shift = hash3(uint32_t(y / sy), seed, 3) % 4 == 0 ? 1 : 0;
      if (mask_at(mask, 64, 64, x - shift, y) && hash3(uint32_t(x), uint32_t(y), seed) % 11 != 0)
        sketch_dot(canvas, x, y, ink, seed);
    }
}

}  // namespace

Canvas draw_logo_sketch() {
  Canvas canvas = canvas_make(64, 64, PAPER);
  sketch_paper(canvas);
  constexpr uint32_t graphite = rgba(70, 70, 84), ink = rgba(30, 50, 160), red_pen = rgba(200, 30, 40);
  // a first try, struck out
  sketch_word(canvas, "JUBA", 9, 3, 1, 1, colour_mix(graphite, PAPER, 60), 11);
  sketch_line(canvas, 8, 7, 30, 4, graphite, 12);
  // the name as it stuck, underlined
  sketch_word(canvas, "JUBRA", 7, 16, 2, 2, graphite, 21);
  sketch_line(canvas, 7, 32, 60, 31, graphite, 22);
  // 23 in ink, circled twice
  sketch_word(canvas, "23", 28, 38, 2, 2, ink, 31);
  for (int lap = 0; lap < 2; ++lap)
    for (int i = 0; i < 110; ++i) {
      double a = i * 6.283185307179586 / 100.0 + lap * 0.5;
      int x = int(std::lround(38.5 + (15 + lap) * std::cos(a)));
      int y = int(std::lround(45 + (11 - lap) * std::sin(a)));
      sketch_dot(canvas, x, y, ink, 41 + lap);
    }
  // an arrow to the number, and a tick of approval
  sketch_line(canvas, 8, 50, 19, 46, red_pen, 51);
  sketch_line(canvas, 19, 46, 15, 44, red_pen, 52);
  sketch_line(canvas, 19, 46, 16, 49, red_pen, 53);
  sketch_line(canvas, 50, 6, 52, 9, red_pen, 54);
  sketch_line(canvas, 52, 9, 58, 2, red_pen, 55);
  return canvas;
}
