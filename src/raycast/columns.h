// The six column renderers: wall slices from column_hits, with the fills
// and generated patterns above and below them.
#pragma once

// Fills the tables behind the generated patterns (a few milliseconds); the
// show calls it at start-up so that no frame pays for it. The first frame
// that draws a pattern fills them otherwise.
void prepare_column_renderers();

void draw_columns_intro1();
void draw_columns_intro2();
void draw_columns_scene1();
void draw_columns_scene2();
void draw_columns_scene3();
void draw_columns_scene4();
