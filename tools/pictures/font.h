// The generator's bold pixel font: capital letters and digits on a 7-row grid,
// 3 to 5 cells wide, drawn into masks at any whole scale.
#pragma once
#include "canvas.h"

constexpr int FONT_ROWS = 7;

// Width in pixels of the text at horizontal scale sx with gap pixels between glyphs.
int text_width(const char* text, int sx, int gap);
// Sets the mask under the text, its top left corner at (x, y); each font cell
// becomes sx x sy pixels. Characters without a glyph are skipped.
void text_mask(Mask& mask, int width, int height, const char* text, int x, int y, int sx, int sy,
               int gap);
