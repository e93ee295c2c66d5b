// One representative frame of each column renderer's window: the camera where
// its path is then, the frame's rays cast, the clock held at that moment, and
// a 64 x 64 picture in every wall slot. Each frame is cleared first, as the
// show's frames are.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "common/framebuffer.h"
#include "common/image_table.h"
#include "platform/clock.h"
#include "png/image.h"
#include "raycast/camera.h"
#include "raycast/columns.h"
#include "raycast/world.h"
#include "bench_threads.h"

namespace {

struct WallPictures {
  WallPictures() : bytes(64 * 64 * 4) {
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 37 + 11);
    image = {};
    image.width = 64;
    image.height = 64;
    image.color_type = 6;
    image.bit_depth = 8;
    image.format = IMAGE_FMT_RGBA8;
    image.pixels = bytes.data();
    image.pixels_size = uint32_t(bytes.size());
    for (Image*& slot : image_table) slot = &image;
  }
  ~WallPictures() {
    for (Image*& slot : image_table) slot = nullptr;
  }
  std::vector<uint8_t> bytes;
  Image image;
};

void Columns(benchmark::State& state, void (*draw)(), uint32_t ms, float x, float y,
             float heading) {
  BenchFrame frame;
  WallPictures pictures;
  camera_reset();
  camera_record().x = x;
  camera_record().y = y;
  camera_record().heading = heading;
  cast_all_rays();
  clock_use_virtual(ms);
  BenchThreads threads(state);
  for (auto _ : state) {
    framebuffer_clear();
    draw();
    framebuffer_settle();
    benchmark::DoNotOptimize(frame.pixels);
    benchmark::ClobberMemory();
  }
  clock_use_real();
  frame_pixels = nullptr;
}

constexpr float kFacingRowZero = 4.712389f;
constexpr float kFacingDown = 1.5707964f;

}  // namespace

// Positions follow the paths at 62.5 frames a second. Intro: t = 60 and
// t = 90, the camera sliding from (600, 600) and turning.
BENCHMARK_CAPTURE(Columns, intro1, draw_columns_intro1, 12000, 600, 587, 5.27f)
    ->Apply(one_and_all_threads);
BENCHMARK_CAPTURE(Columns, intro2, draw_columns_intro2, 18000, 600, 571.5f, 4.0f)
    ->Apply(one_and_all_threads);
// Scene 1 along path 1: tangent sky (t = 120), masked tangent sky (t = 143),
// then walls with the sine sky and the banded floor (t = 200).
BENCHMARK_CAPTURE(Columns, scene1_tangent_sky, draw_columns_scene1, 24000, 106.6f, 400,
                  kFacingRowZero)
    ->Apply(one_and_all_threads);
BENCHMARK_CAPTURE(Columns, scene1_masked_sky, draw_columns_scene1, 28600, 130.5f, 400.1f,
                  kFacingRowZero)
    ->Apply(one_and_all_threads);
BENCHMARK_CAPTURE(Columns, scene1_walls, draw_columns_scene1, 40000, 265, 403, kFacingRowZero)
    ->Apply(one_and_all_threads);
// Scene 2 standing at (700, 300); scene 3 down the corridor while the clock is
// read per horizontal column (t = 450) and after (t = 510); scene 4 on path 4.
BENCHMARK_CAPTURE(Columns, scene2, draw_columns_scene2, 60000, 700, 300, kFacingRowZero)
    ->Apply(one_and_all_threads);
BENCHMARK_CAPTURE(Columns, scene3_sliding, draw_columns_scene3, 90000, 1305, 366, kFacingDown)
    ->Apply(one_and_all_threads);
BENCHMARK_CAPTURE(Columns, scene3_swinging, draw_columns_scene3, 102000, 1305, 765, kFacingDown)
    ->Apply(one_and_all_threads);
BENCHMARK_CAPTURE(Columns, scene4, draw_columns_scene4, 116000, 147, 1015.7f, kFacingRowZero)
    ->Apply(one_and_all_threads);
