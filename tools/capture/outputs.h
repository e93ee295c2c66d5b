// Where captured frames go: PNG files written with libpng, or an H.264 video
// encoded by the ffmpeg program from raw frames on a pipe.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Creates (or empties) the file, to learn early whether it can be written.
bool can_write_file(const std::string& path, std::string* error);

// Writes a 1600 x 900 picture as an RGB PNG; false with a message on failure.
bool write_frame_png(const std::string& path, const uint32_t* pixels, std::string* error);

struct VideoSink {
  FILE* pipe = nullptr;
  std::string path;
  std::vector<uint8_t> rgb;  // one frame, packed for the pipe
};

bool video_open(VideoSink* video, const std::string& path, int fps, int width, int height,
                const std::string& music_path, std::string* error);
bool video_write(VideoSink* video, const uint32_t* pixels, std::string* error);
bool video_close(VideoSink* video, std::string* error);
