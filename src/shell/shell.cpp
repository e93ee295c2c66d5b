// Start-up in its fixed order, the per-frame step, and shut-down. The shell
// owns the window, the framebuffer, the picture slots and the run flag; it
// draws nothing into the framebuffer itself but the clear.
#include "shell/shell.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/framebuffer.h"
#include "common/workers.h"
#include "common/timeline.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/display.h"
#include "platform/music.h"
#include "platform/present.h"
#include "platform/stop_signals.h"
#include "platform/program_folder.h"
#include "shell/overlay.h"

namespace {

constexpr int64_t kJumpMs = 5000;       // Left and Right
constexpr uint32_t kPausedFrameMs = 16;  // a paused show looks for keys and presents this often

// Work and rate of the drawn frames, for the overlay.
struct FrameMeter {
  double work_ms = 0;            // the last drawn frame, its pacing sleep left out
  double fps = 0;                // frames presented over the last whole second
  double second_started_ms = 0;  // wall time
  int frames_this_second = 0;
};

struct ShellState {
  bool running = false;
  ShowOptions options;
  bool paused = false;
  bool overlay = false;
  bool redraw = false;  // a frame to draw although paused: the show was moved
  float t = 0;          // of the last drawn frame
  uint32_t* picture = nullptr;    // the window's: every presented frame blended over the last
  uint32_t* overlaid = nullptr;   // the picture with the overlay, made when first shown
  FrameMeter meter;
};
ShellState shell;

bool fail_start(const char* message) {
  std::fputs(message, stderr);
  std::fputs("crash\n", stdout);
  return false;
}

void set_paused(bool paused) {
  shell.paused = paused;
  clock_hold(paused);
  music_pause(paused);
}

// Where the jumps taken so far lead, each from where the one before led.
struct PendingSeek {
  bool pending = false;
  int64_t ms = 0;
};

int64_t aimed_from(const PendingSeek& seek) {
  return seek.pending ? seek.ms : int64_t(clock_ticks());
}

void aim(PendingSeek* seek, int64_t ms) {
  seek->ms = std::clamp(ms, int64_t(0), int64_t(kShowMs));
  seek->pending = true;
}

// Every pending command, so a burst of other events never delays a key.
// Quitting (or a stop signal before) ends the taking, with nothing after it
// obeyed and no jump made; the jumps among the commands make one replay, to
// where they lead.
void take_commands() {
  PendingSeek seek;
  ViewerCommand command;
  while (shell.running && platform_next_command(&command)) {
    switch (command) {
      case COMMAND_QUIT: shell.running = false; return;
      case COMMAND_PAUSE: set_paused(!shell.paused); break;
      case COMMAND_BACK: aim(&seek, aimed_from(seek) - kJumpMs); break;
      case COMMAND_FORWARD: aim(&seek, aimed_from(seek) + kJumpMs); break;
      case COMMAND_RESTART: aim(&seek, 0); break;
      case COMMAND_FULLSCREEN: platform_toggle_fullscreen(); break;
      case COMMAND_OVERLAY: shell.overlay = !shell.overlay; break;
    }
  }
  if (seek.pending) show_seek(uint32_t(seek.ms));
}

void draw_measured_frame() {
  double started = clock_wall_ms();
  double slept_before = clock_stats().slept_ms;
  shell.t = draw_frame();
  double slept = clock_stats().slept_ms - slept_before;
  shell.meter.work_ms = clock_wall_ms() - started - slept;
}

void count_presented_frame() {
  FrameMeter& meter = shell.meter;
  double now = clock_wall_ms();
  if (meter.second_started_ms == 0) meter.second_started_ms = now;
  ++meter.frames_this_second;
  if (now - meter.second_started_ms < 1000) return;
  meter.fps = meter.frames_this_second * 1000.0 / (now - meter.second_started_ms);
  meter.frames_this_second = 0;
  meter.second_started_ms = now;
}

// A paused show presents its held frame again and again, so pixels with
// alpha below 0xFF settle over their own trails. The overlay goes on a copy:
// the next frame is blended over the picture without it.
void present_frame() {
  count_presented_frame();
  present_blend(shell.picture, frame_pixels, int(kFramePixelCount));
  if (!shell.overlay) return platform_present(shell.picture);
  if (!shell.overlaid) shell.overlaid = static_cast<uint32_t*>(std::malloc(kFrameBytes));
  if (!shell.overlaid) return platform_present(shell.picture);
  std::memcpy(shell.overlaid, shell.picture, kFrameBytes);
  draw_overlay(shell.overlaid, {shell.t, shell.meter.work_ms, shell.meter.fps, shell.paused});
  platform_present(shell.overlaid);
}

}  // namespace

uint32_t show_seek(uint32_t ms) {
  clock_replay_begin();
  uint32_t reached = replay_until(ms, kSteppedFps);
  clock_replay_end(reached);
  music_seek(reached);
  shell.redraw = true;
  return reached;
}

bool show_paused() { return shell.paused; }

bool show_start(const ShowOptions& options) {
  shell.options = options;
  workers_set_threads(options.threads);
  if (!platform_init()) return fail_start("Error initializing SDL.\n");
  if (!platform_open_window(options.window_width, options.window_height))
    return fail_start("Error creating SDL window.\n");
  if (!platform_open_renderer()) return fail_start("Error creating SDL renderer.\n");
  frame_pixels = framebuffer_allocate();
  shell.picture = framebuffer_allocate();
  if (!frame_pixels || !shell.picture) return fail_start("Error allocating the frame buffer.\n");
  fill_pixels(shell.picture, kFramePixelCount, kFrameClearColour);
  platform_create_texture();
  shell.running = true;
  platform_hide_cursor();
  bool music = !options.mute;
  if (music && !options.seek_at_start) music_start(music_file_name, 0);
  prepare_show();
  if (options.seek_at_start) {
    uint32_t reached = show_seek(options.start_ms);
    if (music) music_start(music_file_name, reached);
  }
  if (options.paused) set_paused(true);
  shell.redraw = true;  // the first frame is drawn, also when held
  return true;
}

bool show_step() {
  if (stop_signal()) shell.running = false;
  take_commands();
  if (!shell.paused || shell.redraw) draw_measured_frame();
  shell.redraw = false;
  present_frame();
  if (shell.paused) clock_sleep(kPausedFrameMs);
  if (shell.paused || !(shell.t > kTimelineEnd)) return shell.running;
  if (!shell.options.loop) return false;
  show_seek(0);
  return shell.running;
}

void show_stop() {
  free_images();
  std::free(frame_pixels);
  frame_pixels = nullptr;
  std::free(shell.picture);
  std::free(shell.overlaid);
  shell = ShellState{};
  platform_close();
}

int demo_main(int argc, char** argv) {
  ShowOptions options;
  int exit_status = 0;
  if (!parse_show_options(argc, argv, &options, &exit_status)) return exit_status;
  // SIGINT and SIGTERM are a quit request, heard also while the pictures load.
  catch_stop_signals();
  enter_data_folder(data_folders(program_folder()), "demo");
  if (!show_start(options)) return -1;
  while (show_step()) {
  }
  show_stop();
  return 0;
}
