// The fifteen billboard sprites and the four scene renderers that move,
// select, sort and draw them with a per-column depth test.
#pragma once
#include <cstdint>

constexpr int kSpriteCount = 15;

struct Sprite {
  float x;          // world units
  float y;
  float distance;   // from the camera, when last visible
  float angle;      // radians off the heading, when last visible
  uint8_t visible;
  int32_t image;    // slot of image_table
  float wobble;
};

Sprite* sprite_table();
void sprites_reset();  // back to the table at load (tests and tools only)

void draw_sprites_scene1();
void draw_sprites_scene2();
void draw_sprites_scene3();
void draw_sprites_scene4();
