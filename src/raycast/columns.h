// The six column renderers: wall slices from column_hits, with the fills
// and generated patterns above and below them.
#pragma once

void draw_columns_intro1();
void draw_columns_intro2();
void draw_columns_scene1();
void draw_columns_scene2();
void draw_columns_scene3();
void draw_columns_scene4();
