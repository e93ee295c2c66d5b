// The picture generator's drawings, one function per picture group; each
// returns the finished picture.
#pragma once
#include "canvas.h"

// Name plates, index 0-7: ORVANE, PLOMET, CORVEL, GREETINGS, WINDRAKE, QUARN, TAZZLE, YOU.
Canvas draw_plate(int index);

Canvas draw_glass_wall();
Canvas draw_corridor_wall();
Canvas draw_logo();
Canvas draw_logo_sketch();

Canvas draw_fish();
Canvas draw_fish2();
Canvas draw_octopus();
Canvas draw_duck();
Canvas draw_donut();
