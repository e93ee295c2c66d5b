// Placeholder intro: draws nothing yet.
#include "intro/intro.h"

void draw_intro() {}
void fill_rect(int, int, int, int, uint32_t) {}
void draw_line(int, int, int, int) {}
void draw_hello_word() {}
void draw_slanted_word() {}
