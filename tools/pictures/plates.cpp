// Name plates: a word in the bold font with outline and shadow on a band,
// over a patterned background that tiles across neighbouring wall cells.
#include <cmath>

#include "font.h"
#include "pictures.h"

namespace {

enum Pattern { STRIPES, DOTS, BRICKS, SPARKLES, WAVES, SCALES, CHEVRONS, RINGS };

struct Plate {
  const char* lines[2];  // second line may be empty
  int height;            // 64 or 128 rows; a wall shows any height over the same square
  int sx, sy, gap;       // font cell in pixels, pixels between glyphs
  Pattern pattern;
  uint32_t back_dark, back_light;
  uint32_t band;
  uint32_t text_top, text_bottom;  // fill gradient, top to bottom of a line
  uint32_t outline;
};

// Index 0-7 as draw_plate's; sy counts image rows, so a 128-row plate uses twice the rows.
constexpr Plate plates[] = {
    {{"ORVANE", ""}, 64, 2, 3, 1, STRIPES, rgba(8, 58, 72), rgba(20, 110, 120), rgba(4, 24, 36),
     rgba(255, 236, 120), rgba(230, 130, 20), rgba(10, 10, 16)},
    {{"PLOMET", ""}, 128, 2, 6, 1, DOTS, rgba(70, 20, 100), rgba(150, 60, 180), rgba(34, 8, 52),
     rgba(200, 255, 230), rgba(60, 210, 170), rgba(16, 4, 24)},
    {{"CORVEL", ""}, 64, 2, 3, 1, BRICKS, rgba(120, 20, 24), rgba(176, 52, 44), rgba(40, 6, 10),
     rgba(255, 255, 255), rgba(150, 200, 255), rgba(20, 4, 8)},
    {{"GREET", "INGS"}, 128, 2, 5, 2, SPARKLES, rgba(10, 14, 48), rgba(40, 50, 120),
     rgba(4, 6, 22), 0, 0, rgba(255, 255, 255)},
    {{"WIND", "RAKE"}, 128, 3, 5, 1, WAVES, rgba(30, 90, 170), rgba(110, 190, 240),
     rgba(10, 30, 80), rgba(255, 255, 255), rgba(170, 230, 255), rgba(6, 14, 50)},
    {{"QUARN", ""}, 64, 2, 3, 2, SCALES, rgba(20, 80, 30), rgba(80, 160, 60), rgba(6, 30, 10),
     rgba(255, 220, 90), rgba(255, 110, 20), rgba(10, 16, 4)},
    {{"TAZZLE", ""}, 128, 2, 6, 1, CHEVRONS, rgba(230, 110, 10), rgba(255, 210, 40),
     rgba(70, 20, 60), rgba(255, 140, 240), rgba(160, 40, 200), rgba(30, 4, 30)},
    {{"YOU", ""}, 64, 3, 5, 3, RINGS, rgba(150, 10, 30), rgba(240, 240, 230), rgba(20, 10, 30),
     rgba(255, 250, 120), rgba(255, 190, 0), rgba(10, 4, 10)},
};

// How much of the light background colour shows at (x, vy), 0-1; vy counts
// rows of a 64-row plate, so patterns keep their shape on 128-row plates.
// Every pattern repeats within 64 columns, so neighbouring cells join.
double pattern_light(Pattern pattern, int x, double vy) {
  int y = int(vy);
  switch (pattern) {
    case STRIPES: return ((x + y) & 15) < 6 ? 1.0 : 0.15;
    case DOTS: {
      int cx = (y / 8 % 2) ? 4 : 0;
      double dx = ((x + cx) & 7) - 3.5, dy = (y & 7) - 3.5;
      double r = std::sqrt(dx * dx + dy * dy);
      return r < 2.2 ? 1.0 : r < 3.2 ? 0.45 : 0.0;
    }
    case BRICKS: {
      int row = y / 8;
      int bx = (x + (row % 2) * 8) & 15;
      if ((y & 7) == 7 || bx == 15) return 0.0;
      return (y & 7) == 0 || bx == 0 ? 1.0 : 0.55;
    }
    case SPARKLES: {
      uint32_t h = hash3(uint32_t(x), uint32_t(y), 4);
      if (h % 97 == 0) return 1.0;
      return ((x / 8 + y / 8) % 2) ? 0.25 : 0.05;
    }
    case WAVES: {
      double wave = vy + 3.0 * std::sin(x * 6.283185307179586 / 32.0);
      int band = int(std::floor(wave / 5.0));
      double phase = wave / 5.0 - band;
      return phase < 0.3 ? 1.0 : (band % 2 ? 0.55 : 0.2);
    }
    case SCALES: {
      // overlapping half-discs, each row a half step across from the last,
      // the lower row lying on top
      for (int row = y / 4 + 1; row >= y / 4; --row) {
        double dx = ((x + (row % 2) * 4) & 7) - 3.5, dy = vy - (4.0 * row + 4.0);
        double r = std::sqrt(dx * dx + dy * dy) / 5.4;
        if (r <= 1.0) return r > 0.8 ? 0.0 : 1.0 - 0.7 * r;
      }
      return 0.0;
    }
    case CHEVRONS: {
      int zig = std::abs((x & 15) - 8);
      return ((y + zig) / 5) % 2 ? 1.0 : 0.0;
    }
    case RINGS: {
      double dx = x - 31.5, dy = vy - 31.5;
      return int(std::sqrt(dx * dx + dy * dy) / 5.0) % 2 ? 1.0 : 0.0;
    }
  }
  return 0.0;
}

void draw_background(Canvas& canvas, const Plate& plate) {
  double rows_per_unit = canvas.height / 64.0;
  for (int y = 0; y < canvas.height; ++y)
    for (int x = 0; x < canvas.width; ++x) {
      double vy = y / rows_per_unit;
      // darker towards top and bottom, like a lit sign
      double light = pattern_light(plate.pattern, x, vy) * (0.75 + 0.25 * std::sin(vy * 3.14159 / 64));
      canvas_put(canvas, x, y, dither_pick(plate.back_dark, plate.back_light, light, x, y));
    }
}

// The plate's rim: bevelled strips along top and bottom and a dark seam at each side.
void draw_frame(Canvas& canvas, const Plate& plate) {
  int unit = canvas.height / 64;
  uint32_t metal = colour_mix(plate.back_light, rgba(255, 255, 255), 100);
  for (int x = 0; x < canvas.width; ++x) {
    for (int y = 0; y < 3 * unit; ++y) {
      uint32_t top = y < unit ? colour_shade(metal, 125) : y < 2 * unit ? metal : colour_shade(metal, 60);
      uint32_t bottom = y < unit ? colour_shade(metal, 40) : y < 2 * unit ? colour_shade(metal, 75)
                                                                          : colour_shade(metal, 110);
      canvas_put(canvas, x, y, top);
      canvas_put(canvas, x, canvas.height - 3 * unit + y, bottom);
    }
  }
  for (int y = 3 * unit; y < canvas.height - 3 * unit; ++y) {
    canvas_put(canvas, 0, y, colour_shade(canvas_get(canvas, 0, y), 45));
    canvas_put(canvas, canvas.width - 1, y, colour_shade(canvas_get(canvas, canvas.width - 1, y), 45));
  }
}

uint32_t text_fill(const Plate& plate, double t, int x) {
  int step = int(t * 3.99);  // four flat steps down a line, like a painted sign
  if (plate.text_top == 0 && plate.text_bottom == 0)
    return colour_mix(colour_hue(step * 300 + x * 10), rgba(255, 255, 255), 70);  // rainbow letters
  return colour_mix(plate.text_top, plate.text_bottom, step * 256 / 3);
}

void draw_words(Canvas& canvas, const Plate& plate) {
  int w = canvas.width, h = canvas.height;
  int unit = h / 64;
  int lines = plate.lines[1][0] ? 2 : 1;
  int line_height = FONT_ROWS * plate.sy;
  int spacing = 5 * unit;
  int block = lines * line_height + (lines - 1) * spacing;
  int top = (h - block) / 2;

  Mask mask(size_t(w) * h, 0);
  for (int line = 0; line < lines; ++line) {
    const char* text = plate.lines[line];
    int x = (w - text_width(text, plate.sx, plate.gap) + 1) / 2;
    text_mask(mask, w, h, text, x, top + line * (line_height + spacing), plate.sx, plate.sy, plate.gap);
  }

  // band behind the words, with a light edge above and a dark one below
  int band_top = top - 4 * unit, band_bottom = top + block + 4 * unit;
  for (int y = band_top; y < band_bottom; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t c = colour_mix(canvas_get(canvas, x, y), plate.band, 200);
      if (y < band_top + unit) c = colour_mix(plate.band, plate.back_light, 150);
      if (y >= band_bottom - unit) c = colour_shade(plate.band, 50);
      canvas_put(canvas, x, y, c);
    }

  // drop shadow one pixel right and one plate unit down, then the outline ring
  Mask grown = mask_grow(mask, w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (mask_at(grown, w, h, x - 1, y - unit) && y < band_bottom - unit)
        canvas_put(canvas, x, y, colour_shade(plate.band, 40));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (mask_at(grown, w, h, x, y)) canvas_put(canvas, x, y, plate.outline);

  for (int line = 0; line < lines; ++line) {
    int line_top = top + line * (line_height + spacing);
    for (int y = line_top; y < line_top + line_height; ++y)
      for (int x = 0; x < w; ++x) {
        if (!mask_at(mask, w, h, x, y)) continue;
        double t = double(y - line_top) / (line_height - 1);
        uint32_t c = text_fill(plate, t, x);
        // a lit upper edge on every stroke gives the letters some relief
        if (!mask_at(mask, w, h, x, y - unit)) c = colour_mix(c, rgba(255, 255, 255), 150);
        else if (!mask_at(mask, w, h, x, y + unit)) c = colour_shade(c, 70);
        canvas_put(canvas, x, y, c);
      }
  }
}

}  // namespace

Canvas draw_plate(int index) {
  const Plate& plate = plates[index];
  Canvas canvas = canvas_make(64, plate.height, plate.back_dark);
  draw_background(canvas, plate);
  draw_words(canvas, plate);
  draw_frame(canvas, plate);
  return canvas;
}
