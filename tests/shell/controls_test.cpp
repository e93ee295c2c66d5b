// The viewer's controls on SDL's dummy drivers under the virtual clock: the
// command line, seeking by replay against frames drawn all the way, pausing,
// the keys, and the music following the show.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/framebuffer.h"
#include "common/timeline.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/display.h"
#include "platform/music.h"
#include "platform/present.h"
#include "raycast/camera.h"
#include "shell/shell.h"
#include "sprites/sprites.h"
#include "testkit/testkit.h"

namespace {

struct Parsed {
  bool run;
  int status;
  ShowOptions options;
  std::string err;
};

Parsed parse(std::vector<const char*> args) {
  args.insert(args.begin(), "demo");
  Parsed p = {};
  testing::internal::CaptureStderr();
  p.run = parse_show_options(int(args.size()), const_cast<char**>(args.data()), &p.options, &p.status);
  p.err = testing::internal::GetCapturedStderr();
  return p;
}

TEST(Options, ChoicesAndRefusals) {
  Parsed plain = parse({});
  EXPECT_TRUE(plain.run);
  EXPECT_EQ(plain.options.window_width, 0);
  EXPECT_FALSE(plain.options.seek_at_start || plain.options.loop || plain.options.mute);

  Parsed window = parse({"--window", "--loop"});
  EXPECT_TRUE(window.run);
  EXPECT_EQ(window.options.window_width, 1600);
  EXPECT_EQ(window.options.window_height, 900);
  EXPECT_TRUE(window.options.loop);

  Parsed all = parse({"--window", "800x450", "--start", "36.5", "--mute"});
  EXPECT_TRUE(all.run);
  EXPECT_EQ(all.options.window_width, 800);
  EXPECT_EQ(all.options.window_height, 450);
  EXPECT_TRUE(all.options.seek_at_start);
  EXPECT_EQ(all.options.start_ms, 36500u);
  EXPECT_TRUE(all.options.mute);
  EXPECT_TRUE(parse({"--start", "0"}).options.seek_at_start);
  EXPECT_EQ(parse({"--start", "126"}).options.start_ms, 126000u);
  EXPECT_EQ(plain.options.threads, 0);
  EXPECT_EQ(parse({"--threads", "3"}).options.threads, 3);
  EXPECT_TRUE(parse({"--paused"}).options.paused);

  const std::vector<std::vector<const char*>> refused = {
      {"--fast"},           {"--window", "0x10"},   {"--window", "wide"}, {"--window", "80x40x2"},
      {"--start"},          {"--start", "-1"},      {"--start", "127"},   {"--start", "soon"},
      {"--start", "nan"},   {"--loop", "extra"},    {"--threads", "0"},   {"--threads", "2.5"},
      {"--threads"},        {"--start", "0x10"},    {"--start", "1e1"},   {"--window", "+8x8"},
      {"--threads", "2junk"},
  };
  for (const auto& args : refused) {
    Parsed p = parse(args);
    EXPECT_FALSE(p.run) << args[0];
    EXPECT_EQ(p.status, 2) << args[0];
    EXPECT_NE(p.err.find(args.back()), std::string::npos) << p.err;
    EXPECT_NE(p.err.find("usage: demo"), std::string::npos) << p.err;
  }
  EXPECT_NE(parse({"--start", "127"}).err.find("from 0 to 126"), std::string::npos);

  for (const char* ending : {"--help", "--version"}) {
    StdoutCapture out;
    out.start();
    Parsed p = parse({ending});
    std::string text = out.stop();
    EXPECT_FALSE(p.run);
    EXPECT_EQ(p.status, 0);
    EXPECT_TRUE(p.err.empty());
    EXPECT_FALSE(text.empty());
  }
  char* argv[] = {const_cast<char*>("demo"), const_cast<char*>("--nope"), nullptr};
  testing::internal::CaptureStderr();
  EXPECT_EQ(demo_main(2, argv), 2);
  testing::internal::GetCapturedStderr();
}

uint64_t frame_hash() {
  uint64_t hash = 0xcbf29ce484222325ull;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(frame_pixels);
  for (size_t i = 0; i < kFrameBytes; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ull;
  return hash;
}

// Runs in the build folder, where the show's pictures and music lie.
struct InDataFolder {
  InDataFolder() : saved(std::filesystem::current_path()) { std::filesystem::current_path(DATA_DIR); }
  ~InDataFolder() { std::filesystem::current_path(saved); }
  std::filesystem::path saved;
};

// Every frame drawn as demo-capture draws it, up to and including the one at ms.
uint64_t drawn_all_the_way(uint32_t ms, int fps) {
  camera_reset();
  sprites_reset();
  clock_use_virtual(0);
  uint32_t end_ms = 0;
  for (int n = 0; double(n) * 1000.0 / fps < ms; ++n) {
    clock_set(stepped_frame_ms(n, fps, end_ms));
    draw_frame();
    end_ms = clock_ticks();
  }
  clock_set(std::max(ms, end_ms));
  draw_frame();
  return frame_hash();
}

uint64_t replayed_then_drawn(uint32_t ms, int fps) {
  camera_reset();
  clock_use_virtual(0);
  clock_set(replay_until(ms, fps));
  draw_frame();
  return frame_hash();
}

// Past the latch at 33.75 s, where the second fish steers by what the sprite
// scene saw, and in the intro's first fly-through.
TEST(Seeking, ReplayGivesTheFrameThatDrawingAllTheWayGives) {
  InDataFolder data;
  load_images();
  ScopedFramebuffer framebuffer;
  EXPECT_EQ(replayed_then_drawn(35000, 4), drawn_all_the_way(35000, 4));
  EXPECT_TRUE(sprite_fish_latch());
  EXPECT_EQ(replayed_then_drawn(61300, 2), drawn_all_the_way(61300, 2));
  EXPECT_EQ(replayed_then_drawn(9000, kSteppedFps), drawn_all_the_way(9000, kSteppedFps));
  free_images();
  clock_use_real();
}

// A run of the real program on the dummy drivers, started with these options.
struct ShowRun {
  explicit ShowRun(std::vector<const char*> args, uint32_t ms_per_reading = 0) {
    camera_reset();
    sprites_reset();
    clock_use_virtual(0, ms_per_reading);
    args.insert(args.begin(), "demo");
    int status = 0;
    EXPECT_TRUE(parse_show_options(int(args.size()), const_cast<char**>(args.data()), &options,
                                   &status));
    EXPECT_TRUE(show_start(options));
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  }
  ~ShowRun() {
    show_stop();
    clock_use_real();
  }
  uint64_t step_and_hash() {
    EXPECT_TRUE(show_step());
    return frame_hash();
  }
  ShowOptions options;
};

void press(SDL_Keycode key) {
  SDL_Event event = {};
  event.type = SDL_KEYDOWN;
  event.key.keysym.sym = key;
  ASSERT_EQ(SDL_PushEvent(&event), 1);
}

// Also begun paused, where the first frame is drawn and then held.
TEST(Controls, StartAtSecondsDrawsDemoCapturesFrame) {
  InDataFolder data;
  uint64_t from_start, held;
  {
    ShowRun run({"--start", "9", "--mute"});
    from_start = run.step_and_hash();
  }
  {
    ShowRun run({"--start", "9", "--paused", "--mute"}, 20);
    held = run.step_and_hash();
    uint32_t ms = clock_ticks();
    EXPECT_EQ(run.step_and_hash(), held);
    EXPECT_EQ(clock_ticks(), ms);
  }
  ScopedFramebuffer framebuffer;
  load_images();
  EXPECT_EQ(from_start, drawn_all_the_way(9000, kSteppedFps));
  EXPECT_EQ(held, from_start);
  free_images();
  clock_use_real();
}

TEST(Controls, SeekBackThenForwardGivesTheFrameOfGoingStraightThere) {
  InDataFolder data;
  uint64_t straight, back_and_forth;
  uint32_t shown_ms, jumped_ms;
  {
    ShowRun run({"--start", "35", "--mute"});
    straight = run.step_and_hash();
  }
  {
    ShowRun run({"--start", "50", "--mute"});
    run.step_and_hash();
    show_seek(12000);
    run.step_and_hash();
    show_seek(35000);
    back_and_forth = run.step_and_hash();
    shown_ms = clock_ticks();
    press(SDLK_RIGHT);
    run.step_and_hash();
    jumped_ms = clock_ticks();
  }
  EXPECT_EQ(back_and_forth, straight);
  // Right moves the show 5 s on from where it stood (then the frame's pacing).
  EXPECT_GE(jumped_ms, shown_ms + 5000);
  EXPECT_LT(jumped_ms, shown_ms + 5000 + 40);
}

TEST(Controls, PauseHoldsCameraSpritesAndClockButStillPresents) {
  ShowRun run({"--start", "40", "--mute"}, 20);
  run.step_and_hash();
  press(SDLK_SPACE);
  run.step_and_hash();
  Camera camera = camera_record();
  Sprite fish = sprite_table()[0];
  uint32_t ms = clock_ticks();
  uint32_t presented = platform_frames_presented();
  for (int i = 0; i < 10; ++i) run.step_and_hash();
  const Camera& now = camera_record();
  EXPECT_EQ(now.x, camera.x);
  EXPECT_EQ(now.y, camera.y);
  EXPECT_EQ(now.heading, camera.heading);
  EXPECT_EQ(now.path_progress, camera.path_progress);
  EXPECT_EQ(now.last_frame_ticks, camera.last_frame_ticks);
  EXPECT_EQ(sprite_table()[0].x, fish.x);
  EXPECT_EQ(sprite_table()[0].y, fish.y);
  EXPECT_EQ(clock_ticks(), ms);
  EXPECT_EQ(platform_frames_presented() - presented, 10u);
  press(SDLK_SPACE);
  run.step_and_hash();
  EXPECT_NE(camera_record().x, camera.x);
  EXPECT_GT(clock_ticks(), ms);
}

TEST(Controls, OverlayStaysOutOfTheFramebuffer) {
  uint64_t plain, with_overlay;
  {
    ShowRun run({"--start", "60", "--mute"});
    plain = run.step_and_hash();
  }
  {
    ShowRun run({"--start", "60", "--mute"});
    press(SDLK_F1);
    with_overlay = run.step_and_hash();
  }
  EXPECT_EQ(with_overlay, plain);
}

// 1,500 mouse movements queued before Escape: the first frame takes them all.
TEST(Controls, EveryPendingEventIsTakenEachFrame) {
  ShowRun run({"--mute"}, 20);
  for (int i = 0; i < 1500; ++i) {
    SDL_Event motion = {};
    motion.type = SDL_MOUSEMOTION;
    ASSERT_EQ(SDL_PushEvent(&motion), 1);
  }
  press(SDLK_ESCAPE);
  uint32_t presented = platform_frames_presented();
  EXPECT_FALSE(show_step());
  EXPECT_EQ(platform_frames_presented() - presented, 1u);
}

// Escape behind 2,000 queued jumps ends the show with none of them replayed;
// jumps queued together (Home, and Left at 0 s, included) make one replay
// to where they lead, with no more clock readings than one jump's.
TEST(Controls, QuitWinsAndQueuedJumpsMakeOneReplay) {
  {
    ShowRun run({"--start", "60", "--mute"});
    clock_reset_stats();
    run.step_and_hash();
    uint32_t one_frame_readings = clock_stats().readings;
    for (int i = 0; i < 1000; ++i) {
      press(SDLK_LEFT);
      press(SDLK_RIGHT);
    }
    press(SDLK_ESCAPE);
    clock_reset_stats();
    EXPECT_FALSE(show_step());
    EXPECT_LT(clock_stats().readings, 2 * one_frame_readings);
  }
  uint32_t one_jump_readings, one_jump_ms;
  {
    ShowRun run({"--start", "60", "--mute"});
    press(SDLK_RIGHT);
    clock_reset_stats();
    run.step_and_hash();
    one_jump_readings = clock_stats().readings;
    one_jump_ms = clock_ticks();
  }
  ShowRun run({"--start", "60", "--mute"});
  for (SDL_Keycode key : {SDLK_RIGHT, SDLK_RIGHT, SDLK_HOME, SDLK_LEFT}) press(key);
  for (int i = 0; i < 13; ++i) press(SDLK_RIGHT);
  clock_reset_stats();
  run.step_and_hash();
  EXPECT_LE(clock_stats().readings, one_jump_readings);
  EXPECT_EQ(clock_ticks(), one_jump_ms);
}

// Two presses of a toggle key 0 ms apart reach SDL as a press and a repeat
// (X11 takes the release between them for the key repeating); both count.
// A held key's repeats, a third of a second on, do not.
TEST(Controls, EveryTogglePressCounts) {
  ShowRun run({"--mute"});
  auto key = [](SDL_Keycode sym, Uint8 repeat) {
    SDL_Event event = {};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = sym;
    event.key.repeat = repeat;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
  };
  auto commands = [] {
    std::vector<ViewerCommand> taken;
    ViewerCommand command;
    while (platform_next_command(&command)) taken.push_back(command);
    return taken;
  };
  key(SDLK_f, 0);
  key(SDLK_f, 1);
  key(SDLK_F1, 0);
  key(SDLK_F1, 1);
  EXPECT_EQ(commands(), (std::vector<ViewerCommand>{COMMAND_FULLSCREEN, COMMAND_FULLSCREEN,
                                                    COMMAND_OVERLAY, COMMAND_OVERLAY}));
  key(SDLK_SPACE, 0);
  SDL_Delay(300);
  key(SDLK_SPACE, 1);
  key(SDLK_SPACE, 1);
  EXPECT_EQ(commands(), std::vector<ViewerCommand>{COMMAND_PAUSE});
}

// The window's pixels as SDL's renderer holds them after the last present.
std::vector<uint32_t> window_pixels() {
  SDL_Window* window = nullptr;
  for (Uint32 id = 1; !window && id < 1000; ++id) window = SDL_GetWindowFromID(id);
  std::vector<uint32_t> pixels(kFramePixelCount);
  EXPECT_EQ(SDL_RenderReadPixels(SDL_GetRenderer(window), nullptr, SDL_PIXELFORMAT_ABGR8888,
                                 pixels.data(), kFrameWidth * 4),
            0);
  return pixels;
}

int differing_colours(const std::vector<uint32_t>& a, const uint32_t* b) {
  int count = 0;
  for (size_t i = 0; i < kFramePixelCount; ++i) count += ((a[i] ^ b[i]) & 0x00FFFFFF) != 0;
  return count;
}

// The window shows each frame blended over the picture before it, as
// demo-capture presents (in scene 1, where the floors' alpha is low); the
// overlay shows on the window alone and leaves nothing behind.
TEST(Controls, WindowShowsEachFrameBlendedOverThePictureBefore) {
  ShowRun run({"--window", "1600x900", "--start", "36", "--mute"}, 20);
  std::vector<uint32_t> presented(kFramePixelCount, kFrameClearColour);
  for (SDL_Keycode key : {SDLK_UNKNOWN, SDLK_UNKNOWN, SDLK_F1, SDLK_F1}) {
    if (key != SDLK_UNKNOWN) press(key);
    run.step_and_hash();
    present_blend(presented.data(), frame_pixels, int(kFramePixelCount));
  }
  EXPECT_EQ(differing_colours(window_pixels(), presented.data()), 0);
  EXPECT_GT(differing_colours(presented, frame_pixels), 100000);
}

// The loop starts again from the beginning once the end has been drawn.
TEST(Controls, LoopStartsAgainAfterTheEnd) {
  ShowRun run({"--start", "125.99", "--loop", "--mute"});
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(show_step());
  EXPECT_LT(clock_ticks(), 1000u);
}

// On the dummy audio driver the track plays from where the show starts, and
// pausing and seeking move it with the picture.
TEST(Controls, MusicFollowsStartPauseAndSeek) {
  InDataFolder data;
  ShowRun run({"--start", "60"});
  EXPECT_GE(music_position_ms(), 60000u);
  EXPECT_LT(music_position_ms(), 61000u);
  press(SDLK_SPACE);
  run.step_and_hash();
  SDL_Delay(50);
  uint32_t held = music_position_ms();
  SDL_Delay(300);
  EXPECT_EQ(music_position_ms(), held);
  press(SDLK_HOME);
  run.step_and_hash();
  EXPECT_LT(music_position_ms(), 1000u);
}

}  // namespace
