// Three lines of small block letters on an opaque box in the top left corner,
// each glyph pixel a 3 x 3 square.
#include "shell/overlay.h"

#include <cstdio>

#include "common/framebuffer.h"
#include "common/timeline.h"

namespace {

constexpr int kGlyphColumns = 5;
constexpr int kGlyphRows = 7;
constexpr int kScale = 3;                                // picture pixels per glyph pixel
constexpr int kAdvance = (kGlyphColumns + 1) * kScale;   // one column of space between glyphs
constexpr int kLineHeight = (kGlyphRows + 3) * kScale;
constexpr int kMargin = 16;                              // box from the picture's corner
constexpr int kPadding = 12;                             // text from the box's edge
constexpr int kLineCount = 3;
constexpr int kLineLength = 26;                          // characters, the box's width
constexpr uint32_t kBoxColour = 0xFF202020;              // dark grey
constexpr uint32_t kTextColour = 0xFF80FFFF;             // pale yellow

// The glyphs of the characters the overlay writes: each row's 5 bits, the
// leftmost column in bit 4, rows top to bottom. Other characters are blank.
struct Glyph {
  char c;
  uint8_t rows[kGlyphRows];
};
constexpr Glyph glyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'a', {0x00, 0x00, 0x0E, 0x01, 0x0F, 0x11, 0x0F}},
    {'c', {0x00, 0x00, 0x0E, 0x10, 0x10, 0x11, 0x0E}},
    {'d', {0x01, 0x01, 0x0D, 0x13, 0x11, 0x11, 0x0F}},
    {'e', {0x00, 0x00, 0x0E, 0x11, 0x1F, 0x10, 0x0E}},
    {'f', {0x06, 0x09, 0x08, 0x1C, 0x08, 0x08, 0x08}},
    {'i', {0x04, 0x00, 0x0C, 0x04, 0x04, 0x04, 0x0E}},
    {'m', {0x00, 0x00, 0x1A, 0x15, 0x15, 0x11, 0x11}},
    {'n', {0x00, 0x00, 0x16, 0x19, 0x11, 0x11, 0x11}},
    {'o', {0x00, 0x00, 0x0E, 0x11, 0x11, 0x11, 0x0E}},
    {'p', {0x00, 0x00, 0x1E, 0x11, 0x1E, 0x10, 0x10}},
    {'r', {0x00, 0x00, 0x16, 0x19, 0x10, 0x10, 0x10}},
    {'s', {0x00, 0x00, 0x0E, 0x10, 0x0E, 0x01, 0x1E}},
    {'t', {0x08, 0x08, 0x1C, 0x08, 0x08, 0x09, 0x06}},
    {'u', {0x00, 0x00, 0x11, 0x11, 0x11, 0x13, 0x0D}},
};

const Glyph* glyph_of(char c) {
  for (const Glyph& glyph : glyphs)
    if (glyph.c == c) return &glyph;
  return nullptr;
}

void fill(uint32_t* picture, int x, int y, int w, int h, uint32_t colour) {
  for (int row = y; row < y + h; ++row)
    for (int column = x; column < x + w; ++column) picture[row * kFrameWidth + column] = colour;
}

// At most kLineLength characters, so the text stays inside the box.
void write_line(uint32_t* picture, int x, int y, const char* text) {
  for (int i = 0; text[i] && i < kLineLength; ++i) {
    const Glyph* glyph = glyph_of(text[i]);
    if (!glyph) continue;
    for (int row = 0; row < kGlyphRows; ++row)
      for (int column = 0; column < kGlyphColumns; ++column)
        if (glyph->rows[row] >> (kGlyphColumns - 1 - column) & 1)
          fill(picture, x + i * kAdvance + column * kScale, y + row * kScale, kScale, kScale,
               kTextColour);
  }
}

}  // namespace

void draw_overlay(uint32_t* picture, const OverlayFacts& facts) {
  char lines[kLineCount][kLineLength + 1];
  std::snprintf(lines[0], sizeof lines[0], "t %.1f   %s%s", double(facts.t),
                kSceneTimings[scene_at(facts.t)].name, facts.paused ? "   paused" : "");
  std::snprintf(lines[1], sizeof lines[1], "%.1f s of %.0f s",
                double(facts.t) / kTimelineUnitsPerSecond, kShowMs / 1000);
  std::snprintf(lines[2], sizeof lines[2], "frame %.1f ms   %.0f fps", facts.frame_ms, facts.fps);
  constexpr int kBoxWidth = kLineLength * kAdvance + 2 * kPadding;
  constexpr int kBoxHeight = kLineCount * kLineHeight + 2 * kPadding;
  static_assert(kMargin + kBoxWidth <= kFrameWidth && kMargin + kBoxHeight <= kFrameHeight);
  fill(picture, kMargin, kMargin, kBoxWidth, kBoxHeight, kBoxColour);
  for (int line = 0; line < kLineCount; ++line)
    write_line(picture, kMargin + kPadding, kMargin + kPadding + line * kLineHeight, lines[line]);
}
