// Placeholder sprite renderers: they draw nothing yet.
#include "sprites/sprites.h"

namespace {
Sprite table[kSpriteCount] = {};
}

Sprite* sprite_table() { return table; }
void sprites_reset() {}
void draw_sprites_scene1() {}
void draw_sprites_scene2() {}
void draw_sprites_scene3() {}
void draw_sprites_scene4() {}
