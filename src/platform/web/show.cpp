// The show in a browser page. The page cannot be held in a loop, so the
// shell's per-frame step runs once per animation frame of the page. Also the
// page's test hook, which draws frames on the virtual clock as the offline
// renderer does and prints their hashes and the time each took.
#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "common/framebuffer.h"
#include "common/numeric.h"
#include "common/timeline.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/present.h"
#include "shell/shell.h"

namespace {

EM_JS(void, page_show_ended, (), { Module.showEnded(); });
EM_JS(void, page_frame_done, (float t, double step_ms), { Module.frameDone(t, step_ms); });

// A browser's first touch of fresh memory is slow (over 50 ms for the 5.76 MB
// of the framebuffer here): done once at start-up, not in the first frame.
void touch_framebuffer() { framebuffer_clear(); }

// One step of the show, timed for the page.
void play_frame() {
  double started = emscripten_get_now();
  bool going = show_step();
  page_frame_done(timeline_position(clock_ticks()), emscripten_get_now() - started);
  if (going) return;
  emscripten_cancel_main_loop();
  show_stop();
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

EMSCRIPTEN_KEEPALIVE const char* web_image_name(int slot) {
  return slot >= 0 && slot < kImageSlots ? image_file_names[slot] : "";
}
EMSCRIPTEN_KEEPALIVE int web_image_count() { return kImageSlots; }
EMSCRIPTEN_KEEPALIVE const char* web_music_name() { return music_file_name; }

// The show from start_ms (0: from its beginning), then a step per animation frame.
EMSCRIPTEN_KEEPALIVE int web_start(double start_ms) {
  ShowOptions options;
  options.seek_at_start = start_ms > 0;
  options.start_ms = static_cast<uint32_t>(to_int32(std::min(start_ms, kShowMs)));
  if (!show_start(options)) return -1;
  touch_framebuffer();
  emscripten_set_main_loop(play_frame, 0, false);
  return 0;
}

// The page's player controls: the show's length and scenes for its seek bar,
// whether it is paused, and a move to any moment (replayed, as Left and Right do).
EMSCRIPTEN_KEEPALIVE double web_show_ms() { return kShowMs; }
EMSCRIPTEN_KEEPALIVE int web_scene_count() { return kSceneCount; }
EMSCRIPTEN_KEEPALIVE const char* web_scene_name(int scene) {
  return scene >= 0 && scene < kSceneCount ? kSceneTimings[scene].name : "";
}
// Where the scene's picture begins, in ms of show time (0 for the intro).
EMSCRIPTEN_KEEPALIVE double web_scene_start_ms(int scene) {
  if (scene <= SCENE_INTRO || scene >= kSceneCount) return 0;
  return timeline_ms(kSceneTimings[scene].picture.after);
}
EMSCRIPTEN_KEEPALIVE int web_paused() { return show_paused() ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE double web_seek(double ms) {
  double within = ms > 0 ? std::min(ms, kShowMs) : 0;  // NaN too goes to the start
  return show_seek(static_cast<uint32_t>(to_int32(within)));
}

// Frames at fps as demo-capture draws them; with at_ms at or above 0 the last
// frame is drawn at that moment. Prints one line a frame: the offline
// renderer's hash line (hash 0 unless hashes is set), then the milliseconds
// the drawing took and the scene the frame belongs to. With present set
// every frame is also presented on the canvas.
EMSCRIPTEN_KEEPALIVE void web_capture(int fps, double at_ms, int hashes, int present) {
  frame_pixels = framebuffer_allocate();
  if (!frame_pixels) return;
  touch_framebuffer();
  uint32_t* picture = present ? framebuffer_allocate() : nullptr;
  if (picture) fill_pixels(picture, kFramePixelCount, kFrameClearColour);
  clock_use_virtual(0);
  prepare_show();
  uint32_t now = 0;
  for (int n = 0;; ++n) {
    bool last = at_ms >= 0 && double(n) * 1000.0 / fps >= at_ms;
    clock_set(last ? std::max(static_cast<uint32_t>(to_int32(at_ms)), now) : stepped_frame_ms(n, fps, now));
    double before = emscripten_get_now();
    float t = draw_frame();
    double spent = emscripten_get_now() - before;
    now = clock_ticks();
    if (picture) {
      present_blend(picture, frame_pixels, int(kFramePixelCount));
      platform_present(picture);
    }
    std::printf("frame %d ms %u t %.4f hash %016llx took %.3f in %s\n", n, now, double(t),
                static_cast<unsigned long long>(hashes ? frame_hash(frame_pixels) : 0), spent,
                kSceneTimings[scene_at(t)].name);
    if (last || t > kTimelineEnd) break;
  }
  std::fflush(stdout);
  free_images();
  std::free(frame_pixels);
  frame_pixels = nullptr;
  std::free(picture);
}

}  // extern "C"
