// Placeholder column renderers: they draw nothing yet.
#include "raycast/columns.h"

void draw_columns_intro1() {}
void draw_columns_intro2() {}
void draw_columns_scene1() {}
void draw_columns_scene2() {}
void draw_columns_scene3() {}
void draw_columns_scene4() {}
