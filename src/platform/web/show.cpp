// The show in a browser page, run by the page's worker (show-worker.js),
// which cannot be held in a loop: each animation frame it says which moment
// of the show it is (kept in step with the music) and the frames due by then
// are taken here, on the show's own schedule, as demo-capture steps it. Also
// the page's test hooks: frames on the virtual clock with their hashes, a few
// at a time, and the state of the frame on screen.
#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "common/framebuffer.h"
#include "common/numeric.h"
#include "common/workers.h"
#include "common/timeline.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/present.h"
#include "platform/web/web_show.h"
#include "raycast/camera.h"
#include "shell/shell.h"

namespace {

EM_JS(void, page_show_ended, (), { Module.showEnded(); });
// The picture is blended over in place: the canvas's worker must have copied
// the last one out first, or not begun (it then takes the next one instead).
EM_JS(void, page_picture_taken, (), { Module.pictureTaken(); });
// Before the pictures are freed: the last one is on its way to the canvas.
EM_JS(void, page_picture_kept, (), { Module.pictureKept(); });
EM_JS(void, page_frame_done, (float t, double step_ms, double frame_ms),
      { Module.frameDone(t, step_ms, frame_ms); });

// Frame n is due at n / 60 s of show time, or when the previous frame's
// pacing ended if that is later: the desktop's 16 ms pacing, whatever the
// display's refresh rate. Every due frame takes its camera and sprite steps;
// the latest due is drawn.
struct Pacing {
  bool running = false;
  bool paused = false;
  bool hidden_paused = false;  // paused because the page was hidden
  bool moved = false;          // the shell moved the show since the last step
  int next = 0;                // the next frame's number
  uint32_t end_ms = 0;         // where the last frame's pacing ended
  uint32_t drawn_ms = 0;       // show time of the frame on screen
};
Pacing pacing;

uint32_t next_due_ms() { return stepped_frame_ms(pacing.next, kSteppedFps, pacing.end_ms); }

// A browser's first touch of fresh memory is slow (over 50 ms for the 5.76 MB
// of the framebuffer here): done once at start-up, not in the first frame.
void touch_framebuffer() { framebuffer_clear(); }

void finish_frame() {
  pacing.end_ms = clock_ticks();
  ++pacing.next;
}

// One step of the shell (its commands, and the frame unless paused), timed
// for the page. False once the show is over.
// A move made between steps (the page's seek bar) is drawn by this step at
// the clock's moment; one made in the step (its keys) at the moment reached.
bool step_shown() {
  bool moved_before = pacing.moved;
  pacing.moved = false;
  uint32_t due = clock_ticks();
  double started = emscripten_get_now();
  page_picture_taken();
  bool going = show_step();
  bool moved_now = pacing.moved;
  pacing.moved = false;
  bool drawn = !pacing.paused || moved_before || moved_now;
  if (drawn) {
    pacing.drawn_ms = moved_now ? pacing.end_ms : due;
    page_frame_done(timeline_position(pacing.drawn_ms), emscripten_get_now() - started, pacing.drawn_ms);
    finish_frame();
  }
  if (going) return true;
  pacing.running = false;
  page_picture_kept();
  show_stop();
  page_show_ended();
  return false;
}

void catch_up(uint32_t target_ms) {
  while (stepped_frame_ms(pacing.next + 1, kSteppedFps, 0) <= target_ms) {
    clock_set(next_due_ms());
    replay_frame();
    finish_frame();
  }
}

// FNV-1a, 64 bits, over the pixel bytes, as the offline renderer hashes.
uint64_t frame_hash(const uint32_t* pixels) {
  uint64_t hash = 0xcbf29ce484222325ull;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(pixels);
  for (size_t i = 0; i < kFrameBytes; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ull;
  return hash;
}

// The test hook's run: frames at fps on the virtual clock, the last at at_ms
// when that is 0 or more.
struct Capture {
  int fps = 0;
  double at_ms = -1;
  bool hashes = false;
  bool present = false;
  int n = 0;
  uint32_t now = 0;
  uint32_t* picture = nullptr;  // what the canvas shows, with present set
};
Capture capture;

void end_capture() {
  std::fflush(stdout);
  page_picture_kept();
  free_images();
  std::free(frame_pixels);
  frame_pixels = nullptr;
  std::free(capture.picture);
  capture.picture = nullptr;
}

// Draws and prints frame n; true when it was the last.
bool capture_frame() {
  Capture& c = capture;
  bool last = c.at_ms >= 0 && double(c.n) * 1000.0 / c.fps >= c.at_ms;
  clock_set(last ? std::max(static_cast<uint32_t>(to_int32(c.at_ms)), c.now) : stepped_frame_ms(c.n, c.fps, c.now));
  double before = emscripten_get_now();
  float t = draw_frame();
  double spent = emscripten_get_now() - before;
  c.now = clock_ticks();
  if (c.picture) {
    page_picture_taken();
    present_blend(c.picture, frame_pixels, int(kFramePixelCount));
    platform_present(c.picture);
  }
  std::printf("frame %d ms %u t %.4f hash %016llx took %.3f in %s\n", c.n, c.now, double(t),
              static_cast<unsigned long long>(c.hashes ? frame_hash(frame_pixels) : 0), spent,
              kSceneTimings[scene_at(t)].name);
  ++c.n;
  return last || t > kTimelineEnd;
}

}  // namespace

void pacing_moved(uint32_t ms) {
  pacing.moved = true;
  // The first frame not replayed by the seek (replay_until's count).
  pacing.next = std::max(0, static_cast<int>(double(ms) * kSteppedFps / 1000.0) - 1);
  while (double(pacing.next) * 1000.0 / kSteppedFps < ms) ++pacing.next;
  pacing.end_ms = ms;
}

void pacing_paused(bool paused) { pacing.paused = paused; }

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* web_image_name(int slot) {
  return slot >= 0 && slot < kImageSlots ? image_file_names[slot] : "";
}
EMSCRIPTEN_KEEPALIVE int web_image_count() { return kImageSlots; }
EMSCRIPTEN_KEEPALIVE const char* web_music_name() { return music_file_name; }
// Threads that draw each frame: one per core where the page has threads.
EMSCRIPTEN_KEEPALIVE int web_threads() { return workers_threads(); }
// The start-up work (pictures, tables) a piece per call before web_start, so
// that no call takes long; 1 once all is made.
EMSCRIPTEN_KEEPALIVE int web_prepare() { return prepare_show_piece() ? 1 : 0; }

// The show from start_ms (0: from its beginning) on show time that only the
// page's frames move; then web_frame for each animation frame. Watching
// again starts anew in the same instance (its threads stay): the start is a
// seek, which sets the camera and the sprites back as they were at load.
EMSCRIPTEN_KEEPALIVE int web_start(double start_ms) {
  ShowOptions options;
  options.seek_at_start = true;
  options.start_ms = static_cast<uint32_t>(to_int32(std::min(start_ms, kShowMs)));
  pacing = Pacing{};
  clock_use_virtual(0);
  if (!show_start(options)) return -1;
  touch_framebuffer();
  pacing.running = true;
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

// The page's animation frame at show_ms of show time: the frames due by
// then. While paused each animation frame is a step (keys, and the frame
// presented again as the window does). Returns 0 once the show is over.
EMSCRIPTEN_KEEPALIVE int web_frame(double show_ms) {
  if (!pacing.running) return 0;
  clock_set(next_due_ms());
  if (pacing.paused) return step_shown();
  uint32_t target = static_cast<uint32_t>(std::max(0, to_int32(show_ms)));
  if (next_due_ms() > target) return 1;
  catch_up(target);
  clock_set(next_due_ms());
  return step_shown();
}

// A hidden page pauses the show, picture and music together, at once; shown
// again it goes on, unless the viewer paused it meanwhile.
EMSCRIPTEN_KEEPALIVE void web_hidden(int hidden) {
  if (!pacing.running) return;
  if (hidden && !pacing.paused) {
    pacing.hidden_paused = true;
    queue_command(COMMAND_PAUSE);
    step_shown();
  } else if (!hidden && pacing.hidden_paused) {
    pacing.hidden_paused = false;
    if (pacing.paused) queue_command(COMMAND_PAUSE);
  }
}

// The frame on screen for tests: its show time, its hash with hash set, and
// the camera that drew it.
EMSCRIPTEN_KEEPALIVE double web_drawn_ms() { return pacing.drawn_ms; }
EMSCRIPTEN_KEEPALIVE int web_drawn_frame() { return pacing.next - 1; }
EMSCRIPTEN_KEEPALIVE double web_camera(int field) {
  const Camera& camera = camera_record();
  return field == 0 ? camera.x : field == 1 ? camera.y : camera.heading;
}
EMSCRIPTEN_KEEPALIVE const char* web_frame_hash() {
  static char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(frame_hash(frame_pixels)));
  return text;
}

// Frames at fps as demo-capture draws them; with at_ms at or above 0 the last
// frame is drawn at that moment. Prints one line a frame: the offline
// renderer's hash line (hash 0 unless hashes is set), then the milliseconds
// the drawing took and the scene the frame belongs to. With present set
// every frame is also presented on the canvas. web_capture_run draws for
// about budget_ms at a time, so the page stays responsive between runs.
EMSCRIPTEN_KEEPALIVE int web_capture_begin(int fps, double at_ms, int hashes, int present) {
  capture = {fps, at_ms, hashes != 0, present != 0};
  frame_pixels = framebuffer_allocate();
  if (!frame_pixels) return -1;
  touch_framebuffer();
  uint32_t* picture = present ? framebuffer_allocate() : nullptr;
  if (picture) fill_pixels(picture, kFramePixelCount, kFrameClearColour);
  clock_use_virtual(0);
  prepare_show();
  capture.picture = picture;
  return 0;
}

// 1 when the capture is done.
EMSCRIPTEN_KEEPALIVE int web_capture_run(double budget_ms) {
  double until = emscripten_get_now() + budget_ms;
  while (emscripten_get_now() < until) {
    if (!capture_frame()) continue;
    end_capture();
    return 1;
  }
  return 0;
}

}  // extern "C"
