// The demo shell: start-up, picture loading, the per-frame step with its
// scene table, seeking, and shut-down.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "common/image_table.h"
#include "common/timeline.h"

extern const char* const image_file_names[kImageSlots];
extern const char* const music_file_name;

using SceneRenderer = void (*)();
constexpr int kMaxSceneRenderers = 2 * kSceneCount;  // a picture and sprites each

// The renderers whose windows contain t, in the order they are called.
int scene_renderers_at(float t, SceneRenderer out[kMaxSceneRenderers]);
void dispatch_scenes(float t);

// The folders looked in for images/ and music/, in order: the working
// folder, the share folder beside the installed program, the build folder
// (an empty entry where there is none).
constexpr int kDataFolders = 3;
using DataFolders = std::array<std::string, kDataFolders>;
DataFolders data_folders(const std::string& program_folder);
// The first folder holding any of the show's files; -1 when none does.
int first_data_folder(const DataFolders& folders);
// The folders with what each one is, for messages and the usage.
std::string data_search_text(const DataFolders& folders);
// Those folders and which one holds the files, a line for the usage.
std::string data_search_report(const DataFolders& folders);
// Makes the first folder holding the show's files the working folder, so the
// files are read by their plain names; false, saying where it looked, when
// none holds them.
bool enter_data_folder(const DataFolders& folders, const char* program);
// The program's name, its version and the commit it was built from.
extern const char* const show_version;

void load_images();
// The pictures and the renderers' tables, made before the first frame.
void prepare_show();
// The same a piece at a time (one picture, or the tables), for a browser that
// does it before the show is asked for; true once all is made. prepare_show
// makes what is left.
bool prepare_show_piece();
// One file into the record's source, or the reason it cannot be read.
void read_image_file(Image* image, const char* name);
void free_images();

// One frame's drawing: camera step, clock reading, clear, scene dispatch.
// Returns the frame's timeline position.
float draw_frame();

// Show time stepped at a fixed rate, as demo-capture draws it and seeking
// replays it: frame n is due n / fps seconds after start-up, or when the
// previous frame's pacing ended (end_ms) if that is later.
constexpr int kSteppedFps = 60;
uint32_t stepped_frame_ms(int n, int fps, uint32_t end_ms);
// Replays the show from its start up to ms on the current (virtual) clock,
// stepping the camera and the sprites as draw_frame would at fps, drawing
// nothing; returns the moment of the next frame, ms or later.
uint32_t replay_until(uint32_t ms, int fps);
// One frame at the clock's moment with nothing drawn: the camera and sprite
// steps that draw_frame would take (a browser catching up on frames due).
void replay_frame();

// How the show is run; all defaults are the plain show.
struct ShowOptions {
  int window_width = 0;  // 0 x 0: borderless over the whole desktop
  int window_height = 0;
  bool seek_at_start = false;
  uint32_t start_ms = 0;
  bool paused = false;  // the first frame held until Space
  bool loop = false;
  bool mute = false;
  int threads = 0;  // threads that draw each frame; 0: one per core
};
// Reads the command line; false when the program is to end at once with
// *exit_status (after --help, --version, or a refusal with the usage).
bool parse_show_options(int argc, char** argv, ShowOptions* options, int* exit_status);

// The show as a step a frame, for a native loop or a browser's animation
// frames: show_start sets everything up (false: it failed and said so),
// show_step runs one frame and returns false once the show is over, and
// show_stop releases everything.
bool show_start(const ShowOptions& options);
bool show_step();
void show_stop();
// Moves the running show to ms (replayed from its start, nothing drawn), the
// clock and the music with it; the next step draws there even when paused.
// Returns the moment reached: ms, or the end of the last replayed frame's
// pacing when that is later.
uint32_t show_seek(uint32_t ms);
// True while the viewer holds the show (Space).
bool show_paused();

int demo_main(int argc, char** argv);
