// The bold pixel font: one bitmap per glyph, '#' for a set cell, rows top
// down; a glyph is as wide as its rows.
#include "font.h"

#include <cstring>

namespace {

struct Glyph {
  char code;
  const char* rows[FONT_ROWS];
};

// Every glyph the pictures write: the letters of the names and of the logo, and its digits.
constexpr Glyph glyphs[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"####", "#...", "#...", "###.", "#...", "#...", "####"}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".###."}},
    {'I', {"###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"}},
    {'J', {"..###", "....#", "....#", "....#", "#...#", "#...#", ".###."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#...", "#...", "#...", "#...", "#...", "#...", "####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "##..#", "##..#", "#.#.#", "#..##", "#..##", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"####.", "....#", "....#", ".###.", "....#", "....#", "####."}},
};

const Glyph* find_glyph(char code) {
  for (const Glyph& glyph : glyphs)
    if (glyph.code == code) return &glyph;
  return nullptr;
}

int glyph_cells(const Glyph& glyph) { return int(std::strlen(glyph.rows[0])); }

}  // namespace

int text_width(const char* text, int sx, int gap) {
  int width = 0;
  int count = 0;
  for (const char* c = text; *c; ++c)
    if (const Glyph* glyph = find_glyph(*c)) {
      width += glyph_cells(*glyph) * sx;
      ++count;
    }
  return count > 0 ? width + (count - 1) * gap : 0;
}

void text_mask(Mask& mask, int width, int height, const char* text, int x, int y, int sx, int sy,
               int gap) {
  for (const char* c = text; *c; ++c) {
    const Glyph* glyph = find_glyph(*c);
    if (!glyph) continue;
    int cells = glyph_cells(*glyph);
    for (int row = 0; row < FONT_ROWS; ++row)
      for (int cell = 0; cell < cells; ++cell) {
        if (glyph->rows[row][cell] != '#') continue;
        for (int py = 0; py < sy; ++py)
          for (int px = 0; px < sx; ++px) {
            int mx = x + cell * sx + px, my = y + row * sy + py;
            if (mx >= 0 && my >= 0 && mx < width && my < height) mask[size_t(my) * width + mx] = 1;
          }
      }
    x += cells * sx + gap;
  }
}
