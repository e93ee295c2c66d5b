// The opening: two block-letter words, a pulsing square with its outline,
// then the two intro fly-throughs, all on the intro's own timetable.
#pragma once
#include <cstdint>

void draw_intro();
// The part of an intro frame that outlives it: the camera's pacing measures
// from now.
void step_intro();
void fill_rect(int x, int y, int w, int h, uint32_t colour);
void draw_line(int x0, int y0, int x1, int y1);
void draw_hello_word();
void draw_slanted_word();
