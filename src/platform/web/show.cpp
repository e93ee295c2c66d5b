// The show in a browser page. The page cannot be held in a loop, so after
// start-up in the shell's order the page's animation frames each run one
// frame of the loop. Also the page's test hook, which draws frames on the
// virtual clock as the offline renderer does and prints their hashes and
// the time each took.
#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "common/framebuffer.h"
#include "common/numeric.h"
#include "common/timeline.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/music.h"
#include "shell/shell.h"

namespace {

struct ShowState {
  bool running = false;
};
ShowState show;

// A browser's first touch of fresh memory is slow (over 50 ms for the 5.76 MB
// of the framebuffer here): touched once at start-up, not in the first frame.
uint32_t* touched_framebuffer() {
  frame_pixels = static_cast<uint32_t*>(std::malloc(kFrameBytes));
  if (frame_pixels) framebuffer_clear();
  return frame_pixels;
}

EM_JS(void, page_show_ended, (), { Module.showEnded(); });
EM_JS(void, page_frame_done, (float t, double draw_ms, double present_ms), {
  Module.frameDone(t, draw_ms, present_ms);
});

void shut_down() {
  free_images();
  std::free(frame_pixels);
  frame_pixels = nullptr;
  platform_close();
}

// One pass of the frame loop, timed for the page; an Escape still completes
// its frame.
void play_frame() {
  if (platform_poll_quit()) show.running = false;
  double started = emscripten_get_now();
  float t = draw_frame();
  double drawn = emscripten_get_now();
  platform_present(frame_pixels);
  page_frame_done(t, drawn - started, emscripten_get_now() - drawn);
  if (show.running && !(t > kTimelineEnd)) return;
  emscripten_cancel_main_loop();
  shut_down();
  page_show_ended();
}

// FNV-1a, 64 bits, over the pixel bytes, as the offline renderer hashes.
uint64_t frame_hash(const uint32_t* pixels) {
  uint64_t hash = 0xcbf29ce484222325ull;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(pixels);
  for (size_t i = 0; i < kFrameBytes; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ull;
  return hash;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* web_image_name(int slot) { return image_file_names[slot]; }
EMSCRIPTEN_KEEPALIVE int web_image_count() { return kImageSlots; }
EMSCRIPTEN_KEEPALIVE const char* web_music_name() { return music_file_name; }

// Start-up as on the desktop, then one frame per animation frame.
EMSCRIPTEN_KEEPALIVE int web_start() {
  if (!platform_init() || !platform_open_window() || !platform_open_renderer()) return -1;
  if (!touched_framebuffer()) return -1;
  platform_create_texture();
  show.running = true;
  platform_hide_cursor();
  music_start(music_file_name);
  load_images();
  emscripten_set_main_loop(play_frame, 0, false);
  return 0;
}

// Frame n is drawn at n / fps seconds, or when the previous frame's pacing
// ends if that is later; with at_ms at or above 0 the last frame is drawn at
// that moment. Prints one line a frame: the offline renderer's hash line
// (hash 0 unless hashes is set), then the milliseconds the drawing took and
// the scene the frame belongs to.
// With present set every frame is also presented on the canvas.
EMSCRIPTEN_KEEPALIVE void web_capture(int fps, double at_ms, int hashes, int present) {
  if (!touched_framebuffer()) return;
  if (present) platform_create_texture();
  clock_use_virtual(0);
  load_images();
  uint32_t now = 0;
  for (int n = 0;; ++n) {
    double due = double(n) * 1000.0 / fps;
    bool last = at_ms >= 0 && due >= at_ms;
    clock_set(std::max(static_cast<uint32_t>(to_int32(last ? at_ms : due)), now));
    double before = emscripten_get_now();
    float t = draw_frame();
    double spent = emscripten_get_now() - before;
    now = clock_ticks();
    if (present) platform_present(frame_pixels);
    std::printf("frame %d ms %u t %.4f hash %016llx took %.3f in %s\n", n, now, double(t),
                static_cast<unsigned long long>(hashes ? frame_hash(frame_pixels) : 0), spent,
                kSceneTimings[scene_at(t)].name);
    if (last || t > kTimelineEnd) break;
  }
  std::fflush(stdout);
  shut_down();
}

}  // extern "C"
