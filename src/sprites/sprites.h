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
  float wobble;     // scene 3's width modulation, frame-local copies only
};

Sprite* sprite_table();
bool sprite_fish_latch();
void sprites_reset();  // back to the table at load (tests and tools only)

// Writes the billboards' set-up (their drawn columns, 384 KB) once before
// the first frame: the first frame to draw many billboards would otherwise
// take the memory's first-use faults (about 14 microseconds a page on the
// development machine; 0.6 ms at the start of scene 3).
void prepare_sprites();

void draw_sprites_scene1();
void draw_sprites_scene2();
void draw_sprites_scene3();
void draw_sprites_scene4();
// What a frame of the sprite scenes leaves in the table, nothing drawn: scene
// 1 moves its two fish and every scene records what it sees.
void step_sprites_scene1();
void step_sprites();

// The steps the four renderers share. sprite_time is the renderers' own
// clock, 4 units a second.
void animate_scene1_sprites(float sprite_time);
int collect_visible_sprites(Sprite visible[kSpriteCount]);
void sort_far_to_near(Sprite* list, int n);

// How a scene draws one billboard: its drawn width and texture scale, and
// the word it writes for an image word p (mask OR p, mask per screen column).
enum BillboardWidth { WIDTH_PLAIN, WIDTH_STRETCHED, WIDTH_PULSING };
struct BillboardStyle {
  BillboardWidth width;
  float sprite_time;
  const uint32_t* column_masks;  // 1600 masks, or null for words unchanged
};
// Draws the listed billboards in list order (farthest first).
void draw_billboards(const Sprite* list, int n, const BillboardStyle& style);
