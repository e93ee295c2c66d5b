// Each sprite renderer on its busiest frame: the camera at the start of the
// corridor flight, looking down the row of donuts with the second fish still
// at its start, no wall hiding anything, and a 128 x 128 ring with the
// transparent key around and inside it in every sprite slot.
#include <benchmark/benchmark.h>

#include <vector>

#include "common/framebuffer.h"
#include "common/image_table.h"
#include "platform/clock.h"
#include "png/image.h"
#include "raycast/camera.h"
#include "raycast/world.h"
#include "sprites/sprites.h"
#include "bench_threads.h"

namespace {

struct SpritePictures {
  SpritePictures() : words(128 * 128) {
    for (uint32_t y = 0; y < 128; ++y)
      for (uint32_t x = 0; x < 128; ++x) {
        int dx = int(x) - 64, dy = int(y) - 64;
        bool ring = dx * dx + dy * dy < 60 * 60 && dx * dx + dy * dy >= 20 * 20;
        words[y * 128 + x] = ring ? 0xFF000000u | (x * 0x020301u + y * 0x010102u) : 0xFFFF00FFu;
      }
    image = {};
    image.width = 128;
    image.height = 128;
    image.color_type = 6;
    image.bit_depth = 8;
    image.format = IMAGE_FMT_RGBA8;
    image.pixels = reinterpret_cast<uint8_t*>(words.data());
    image.pixels_size = uint32_t(words.size() * 4);
    for (int slot = 9; slot <= 13; ++slot) image_table[slot] = &image;
  }
  ~SpritePictures() {
    for (int slot = 9; slot <= 13; ++slot) image_table[slot] = nullptr;
  }
  std::vector<uint32_t> words;
  Image image;
};

void Sprites(benchmark::State& state, void (*draw)(), uint32_t ms) {
  BenchFrame frame;
  SpritePictures pictures;
  camera_reset();
  camera_record().x = 1305;
  camera_record().y = 15;
  camera_record().heading = 1.5707964f;
  for (ColumnHit& hit : column_hits) hit.distance = kNoHitDistance;
  clock_use_virtual(ms);
  int drawn = 0;
  BenchThreads threads(state);
  for (auto _ : state) {
    sprites_reset();  // scene 1 moves the fish; start each frame from the same table
    draw();
    benchmark::DoNotOptimize(frame.pixels);
    benchmark::ClobberMemory();
  }
  for (int k = 0; k < kSpriteCount; ++k) drawn += sprite_table()[k].visible;
  state.counters["sprites"] = drawn;
  clock_use_real();
  sprites_reset();
  frame_pixels = nullptr;
}

}  // namespace

// Sprite times: 130 (scene 1, before the second fish leaves its start), 230
// (scene 2 with its band tint), 400 (scene 3) and 500 (scene 4).
BENCHMARK_CAPTURE(Sprites, scene1, draw_sprites_scene1, 32500)->Apply(one_and_all_threads);
BENCHMARK_CAPTURE(Sprites, scene2, draw_sprites_scene2, 57500)->Apply(one_and_all_threads);
BENCHMARK_CAPTURE(Sprites, scene3, draw_sprites_scene3, 100000)->Apply(one_and_all_threads);
BENCHMARK_CAPTURE(Sprites, scene4, draw_sprites_scene4, 125000)->Apply(one_and_all_threads);
