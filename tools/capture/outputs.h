// Where captured frames go: PNG files written with libpng, or an H.264 video
// encoded by the ffmpeg program from raw frames on a pipe.
#pragma once
#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Every output is written under a partial name beside it and renamed into
// place only when complete, so a failed or interrupted run never touches an
// earlier good file.

// Removes the partial files that runs which have ended without cleaning up
// (killed, or the machine stopped) left in a folder: this user's, named for a
// process that no longer exists.
void remove_stale_partials(const std::string& dir);

// Learns early whether the file can be written, without touching it.
bool can_write_file(const std::string& path, std::string* error);

// Writes a 1600 x 900 picture as an RGB PNG; false with a message on failure.
bool write_frame_png(const std::string& path, const uint32_t* pixels, std::string* error);

// Frame n of a --frames run, and the files of an earlier run in its folder.
std::string frame_path(const std::string& dir, int n);
std::vector<std::string> earlier_frames(const std::string& dir);

// The capture converts each frame into one of two buffers while a thread of
// the sink's own sends the other down the pipe, so that drawing the next frame
// goes on while ffmpeg reads.
struct VideoSink {
  int pipe = -1;         // ffmpeg's standard input
  pid_t encoder = 0;     // the ffmpeg process
  std::string path;
  std::string partial;   // what ffmpeg writes until it has succeeded
  std::vector<uint8_t> frames[2];  // converted frames, for the pipe
  int filling = 0;       // the frame the capture converts into next
  std::thread writer;
  std::mutex lock;
  std::condition_variable changed;  // a frame handed over or sent, or the end
  bool sending = false;  // the other frame waits for the pipe or is on its way
  bool ending = false;   // no more frames come
  bool failed = false;   // ffmpeg stopped taking frames
};

// --video-quality: x264's settings for a choice between encoding speed and
// file size, each measured on the show in docs/capture.md.
struct VideoQuality {
  const char* name;
  const char* preset;
  const char* crf;
  bool animation;  // -tune animation
};
constexpr VideoQuality kVideoQualities[] = {
    {"fast", "ultrafast", "18", false},
    {"balanced", "fast", "14", false},
    {"small", "medium", "15", true},
};
constexpr int kDefaultVideoQuality = 1;

bool video_open(VideoSink* video, const std::string& path, int fps, int width, int height,
                const VideoQuality& quality, const std::string& music_path, std::string* error);
bool video_write(VideoSink* video, const uint32_t* pixels, std::string* error);
bool video_close(VideoSink* video, std::string* error);
// Ends ffmpeg and removes its partial file; nothing when no video is open.
void video_discard(VideoSink* video);
