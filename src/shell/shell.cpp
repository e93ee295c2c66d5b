// Start-up in its fixed order, the frame loop, and shut-down. The shell owns
// the window, the framebuffer, the picture slots and the run flag; it draws
// nothing itself but the clear.
#include "shell/shell.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "common/framebuffer.h"
#include "common/timeline.h"
#include "intro/intro.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/music.h"
#include "png/image.h"
#include "raycast/camera.h"
#include "raycast/columns.h"
#include "sprites/sprites.h"

const char* const image_file_names[kImageSlots] = {
    "images/transparent.png", "images/orvane.png",   "images/plomet.png",
    "images/corvel.png",      "images/greetings.png", "images/windrake.png",
    "images/quarn.png",       "images/tazzle.png",    "images/you.png",
    "images/fish.png",        "images/fish2.png",     "images/octopus.png",
    "images/duck.png",        "images/donut.png",     "images/deutschprachig.png",
    "images/jubra23.png",     "images/jubra23orig.png",
};
const char* const music_file_name = "music/vondsorvane2.wav";

namespace {

struct ShellState {
  bool running = false;
};
ShellState shell;

// A renderer runs when lower < t < upper, strictly, in row order.
struct SceneRow {
  float lower;
  float upper;
  SceneRenderer draw;
};
constexpr float kBefore = -INFINITY;
constexpr float kAfter = INFINITY;
constexpr SceneRow scene_table[] = {
    {kBefore, 100, draw_intro},
    {101, 255, draw_columns_scene1},
    {151, 255, draw_sprites_scene1},
    {255, 340, draw_columns_scene2},
    {267, 320, draw_sprites_scene2},
    {320, 530, draw_columns_scene3},
    {320, 530, draw_sprites_scene3},
    {530, kAfter, draw_columns_scene4},
    {530, kAfter, draw_sprites_scene4},
};

constexpr float kTimelineEnd = 630;

int fail_start(const char* message) {
  std::fputs(message, stderr);
  std::fputs("crash\n", stdout);
  return -1;
}

// The loader's own failures, each with the line of its check as the site.
void fail_read(Image* image, ImageError code, uint32_t site) {
  image->error = code;
  image->error_site = site;
}

// Reads the whole file into the record's source. A short read keeps only the
// bytes that arrived, so the decoder never sees uninitialised memory.
void read_image_file(Image* image, const char* name) {
  FILE* file = std::fopen(name, "rb");
  if (!file) return fail_read(image, IMAGE_ERR_FILE_OPEN, __LINE__);
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  std::rewind(file);
  if (size < 0 || static_cast<unsigned long>(size) > UINT32_MAX) {
    std::fclose(file);
    return fail_read(image, IMAGE_ERR_FILE_OPEN, __LINE__);
  }
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(size > 0 ? size_t(size) : 1));
  if (!buffer) {
    std::fclose(file);
    return fail_read(image, IMAGE_ERR_OUT_OF_MEMORY, __LINE__);
  }
  size_t got = std::fread(buffer, 1, size_t(size), file);
  std::fclose(file);
  image->source = buffer;
  image->source_size = static_cast<uint32_t>(got);
  image->source_owned = 1;
}

void run_frame_loop() {
  while (shell.running) {
    if (platform_poll_quit()) shell.running = false;
    float t = draw_frame();
    platform_present(frame_pixels);
    if (t > kTimelineEnd) break;
  }
}

void shut_down() {
  free_images();
  std::free(frame_pixels);
  frame_pixels = nullptr;
  platform_close();
}

}  // namespace

int scene_renderers_at(float t, SceneRenderer out[kMaxSceneRenderers]) {
  int count = 0;
  for (const SceneRow& row : scene_table)
    if (row.lower < t && t < row.upper && count < kMaxSceneRenderers) out[count++] = row.draw;
  return count;
}

void dispatch_scenes(float t) {
  SceneRenderer renderers[kMaxSceneRenderers];
  int count = scene_renderers_at(t, renderers);
  for (int i = 0; i < count; ++i) renderers[i]();
}

void load_images() {
  for (int slot = 0; slot < kImageSlots; ++slot) {
    const char* name = image_file_names[slot];
    Image* image = image_create();
    if (!image) {
      std::printf("Error loading loading texture %s \n", name);
      continue;
    }
    read_image_file(image, name);
    image_decode(image);
    if (image->error == IMAGE_OK) {
      image_table[slot] = image;
    } else {
      std::printf("Error decoding texture file %s \n", name);
      image_free(image);
    }
  }
  std::fflush(stdout);
}

void free_images() {
  for (Image*& image : image_table) {
    image_free(image);
    image = nullptr;
  }
}

float draw_frame() {
  update_camera();
  uint32_t ticks = clock_ticks();
  framebuffer_clear();
  float t = timeline_position(ticks);
  dispatch_scenes(t);
  return t;
}

int demo_main() {
  if (!platform_init()) return fail_start("Error initializing SDL.\n");
  if (!platform_open_window()) return fail_start("Error creating SDL window.\n");
  if (!platform_open_renderer()) return fail_start("Error creating SDL renderer.\n");
  frame_pixels = static_cast<uint32_t*>(std::malloc(kFrameBytes));
  if (!frame_pixels) return fail_start("Error allocating the frame buffer.\n");
  platform_create_texture();
  shell.running = true;
  platform_hide_cursor();
  music_start(music_file_name);
  load_images();
  run_frame_loop();
  shut_down();
  return 0;
}
