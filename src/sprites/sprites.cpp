// The sprite table with scene 1's latch, and the four scene renderers: read
// the sprites' own clock once, move (scene 1), collect what lies in the cone
// around the heading, sort far to near and draw each as a billboard.
#include "sprites/sprites.h"

#include <cmath>
#include <utility>

#include "common/framebuffer.h"
#include "common/numeric.h"
#include "common/timeline.h"
#include "platform/clock.h"
#include "raycast/camera.h"

namespace {

struct SpriteState {
  Sprite table[kSpriteCount];
  bool fish_latch;  // set on scene 1's first frame past 135, never cleared
};

// Sprites 0 to 14 at load: x, y in world units, then the picture's slot.
constexpr SpriteState kStateAtLoad = {
    {
        {311, 140, 0, 0, 0, 9, 0},   // fish
        {1272, 137, 0, 0, 0, 10, 0}, // second fish, starting inside a wall cell
        {700, 170, 0, 0, 0, 11, 0},  // octopus
        {201, 970, 0, 0, 0, 12, 0},  // duck
        {1305, 200, 0, 0, 0, 13, 0}, // donuts down the corridor
        {1306, 240, 0, 0, 0, 13, 0},
        {1307, 270, 0, 0, 0, 13, 0},
        {1322, 300, 0, 0, 0, 13, 0},
        {1329, 320, 0, 0, 0, 13, 0},
        {1320, 340, 0, 0, 0, 13, 0},
        {1314, 390, 0, 0, 0, 13, 0},
        {1310, 420, 0, 0, 0, 13, 0},
        {1301, 460, 0, 0, 0, 13, 0},
        {1340, 490, 0, 0, 0, 13, 0},
        {1310, 520, 0, 0, 0, 13, 0},
    },
    false,
};

SpriteState sprites = kStateAtLoad;

// Half-angle of the cone in radians, wider than the 30 degrees each side of
// the view so that sprites centred off screen still show their near edge.
constexpr double kConeHalfAngle = 0.7235987779802323;

constexpr float kLatchTime = 135;
constexpr float kBandTime = 225;  // scene 2 tints its bands after this

float read_sprite_time() { return scene_clock(clock_ticks()); }

int visible_far_to_near(Sprite list[kSpriteCount]) {
  int n = collect_visible_sprites(list);
  sort_far_to_near(list, n);
  return n;
}

// Scene 2's tint per screen column: bands of 20 columns, band k masking with
// 0xFF3315A9 / k less a slow flicker; band 1 overflows the 32-bit range and
// so masks with 0x80000000. Band 0 has no quotient and leaves words as read.
void fill_band_masks(float sprite_time, uint32_t masks[kFrameWidth]) {
  float e = sprite_time - 220;
  double flicker = 20 * std::cos(0.1 * double(e));
  for (int c = 0; c < kFrameWidth; ++c) {
    uint32_t band = uint32_t(c / 20);
    masks[c] = band == 0 ? 0u : uint32_t(to_int32(double(0xFF3315A9u / band) - flicker));
  }
}

}  // namespace

Sprite* sprite_table() { return sprites.table; }
bool sprite_fish_latch() { return sprites.fish_latch; }
void sprites_reset() { sprites = kStateAtLoad; }

// The fish move once per call, not per elapsed time. Sprite 1 stays at its
// start until the latch is set, then follows a path near the western wall
// that feeds back its own last angle off the heading.
void animate_scene1_sprites(float sprite_time) {
  Sprite& fish = sprites.table[0];
  Sprite& fish2 = sprites.table[1];
  double d = double(sprite_time) * 0.00065;
  fish.y = static_cast<float>(double(fish.y) + d - std::cos(0.1 * double(fish2.y)));
  fish.x = static_cast<float>(double(fish.x) - d);
  if (sprite_time > kLatchTime) sprites.fish_latch = true;
  if (!sprites.fish_latch) return;
  double a1 = fish2.angle;
  double t = sprite_time;
  fish2.x = static_cast<float>(std::cos(t) + (to_int32(fish.y) * 0.01 + 100) + std::tan(a1));
  fish2.y = static_cast<float>((std::sin(t) * 5 + 167) + std::atan(a1) * 4);
}

// Updates every sprite's visible flag, and the distance and angle of those in
// the cone, and copies those into the list in table order.
int collect_visible_sprites(Sprite visible[kSpriteCount]) {
  const Camera& cam = camera_record();
  int n = 0;
  for (Sprite& s : sprites.table) {
    float dx = s.x - cam.x;
    float dy = s.y - cam.y;
    double direction = std::atan2(double(dy), double(dx));
    float r = static_cast<float>(double(cam.heading) - direction);
    if (r > kPi) r = static_cast<float>(double(r) - kTwoPi);
    if (r < -kPi) r = static_cast<float>(double(r) + kTwoPi);
    r = std::fabs(r);
    if (!(double(r) < kConeHalfAngle)) {
      s.visible = 0;
      continue;
    }
    s.angle = r;
    s.visible = 1;
    float ey = cam.y - s.y;
    float ex = cam.x - s.x;
    s.distance = static_cast<float>(std::sqrt(double(ey * ey + ex * ex)));
    visible[n++] = s;
  }
  return n;
}

// An exchange sort: every later entry strictly farther than entry i trades
// places with it. Equal distances never trade, but the result is not stable.
void sort_far_to_near(Sprite* list, int n) {
  for (int i = 0; i < n - 1; ++i)
    for (int j = i + 1; j < n; ++j)
      if (list[j].distance > list[i].distance) std::swap(list[i], list[j]);
}

namespace {

// Scene 1's frame up to the drawing; returns the sprite clock it read.
float move_and_collect_scene1(Sprite list[kSpriteCount], int* n) {
  float t = read_sprite_time();
  animate_scene1_sprites(t);
  *n = visible_far_to_near(list);
  return t;
}

}  // namespace

void draw_sprites_scene1() {
  Sprite list[kSpriteCount];
  int n = 0;
  float t = move_and_collect_scene1(list, &n);
  draw_billboards(list, n, {WIDTH_PLAIN, t, nullptr});
}

void step_sprites_scene1() {
  Sprite list[kSpriteCount];
  int n = 0;
  move_and_collect_scene1(list, &n);
}

void step_sprites() {
  Sprite list[kSpriteCount];
  visible_far_to_near(list);
}

// Drawn 2.25 times as wide with a wobbling texture scale; past 225 each
// band of columns is tinted, and at exactly 225 no sprite pixel is written.
void draw_sprites_scene2() {
  float t = read_sprite_time();
  Sprite list[kSpriteCount];
  int n = visible_far_to_near(list);
  if (t == kBandTime) return;
  uint32_t masks[kFrameWidth];
  if (t > kBandTime) fill_band_masks(t, masks);
  draw_billboards(list, n, {WIDTH_STRETCHED, t, t > kBandTime ? masks : nullptr});
}

// Narrow billboards whose width swings with each sprite's own phase, its y.
void draw_sprites_scene3() {
  float t = read_sprite_time();
  Sprite list[kSpriteCount];
  int n = visible_far_to_near(list);
  for (int k = 0; k < n; ++k)
    list[k].wobble = static_cast<float>(std::cos(double(list[k].y + t)) * 7.3);
  draw_billboards(list, n, {WIDTH_PULSING, t, nullptr});
}

void draw_sprites_scene4() {
  float t = read_sprite_time();
  Sprite list[kSpriteCount];
  int n = visible_far_to_near(list);
  draw_billboards(list, n, {WIDTH_PLAIN, t, nullptr});
}
