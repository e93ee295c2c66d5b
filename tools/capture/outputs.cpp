// Frame outputs: PNG through libpng, video through an ffmpeg child process.
#include "outputs.h"

#include <png.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "common/framebuffer.h"

namespace {

// One frame as packed RGB bytes; the alpha byte is not part of a picture on screen.
void frame_to_rgb(const uint32_t* pixels, std::vector<uint8_t>* rgb) {
  rgb->resize(kFramePixelCount * 3);
  uint8_t* out = rgb->data();
  for (size_t i = 0; i < kFramePixelCount; ++i) {
    out[i * 3 + 0] = uint8_t(pixels[i]);
    out[i * 3 + 1] = uint8_t(pixels[i] >> 8);
    out[i * 3 + 2] = uint8_t(pixels[i] >> 16);
  }
}

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace

bool can_write_file(const std::string& path, std::string* error) {
  FILE* probe = std::fopen(path.c_str(), "wb");
  if (!probe) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  std::fclose(probe);
  return true;
}

bool write_frame_png(const std::string& path, const uint32_t* pixels, std::string* error) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<uint8_t> rgb;
  frame_to_rgb(pixels, &rgb);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    *error = "libpng failed to write " + path;
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, kFrameWidth, kFrameHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 3);
  png_write_info(png, info);
  for (int y = 0; y < kFrameHeight; ++y) png_write_row(png, rgb.data() + size_t(y) * kFrameWidth * 3);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  bool closed = std::fclose(file) == 0;
  if (!closed) *error = "cannot finish writing " + path + ": " + std::strerror(errno);
  return closed;
}

bool video_open(VideoSink* video, const std::string& path, int fps, int width, int height,
                const std::string& music_path, std::string* error) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) {
    *error = "the ffmpeg program was not found; install it (apt-get install ffmpeg) to capture video";
    return false;
  }
  if (!can_write_file(path, error)) return false;
  std::string command = "ffmpeg -loglevel error -y -f rawvideo -pix_fmt rgb24 -s 1600x900 -r " +
                        std::to_string(fps) + " -i -";
  FILE* music = std::fopen(music_path.c_str(), "rb");
  if (music) {
    std::fclose(music);
    command += " -i " + quoted(music_path) + " -c:a aac -b:a 192k";
  } else {
    std::fprintf(stderr, "demo-capture: %s not found; the video has no sound\n", music_path.c_str());
  }
  command += " -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p";
  if (width != kFrameWidth || height != kFrameHeight)
    command += " -vf scale=" + std::to_string(width) + ":" + std::to_string(height);
  command += " -shortest -movflags +faststart " + quoted(path);
  video->pipe = popen(command.c_str(), "w");
  if (!video->pipe) {
    *error = "cannot start ffmpeg: " + std::string(std::strerror(errno));
    return false;
  }
  video->path = path;
  return true;
}

bool video_write(VideoSink* video, const uint32_t* pixels, std::string* error) {
  frame_to_rgb(pixels, &video->rgb);
  if (std::fwrite(video->rgb.data(), 1, video->rgb.size(), video->pipe) != video->rgb.size()) {
    *error = "ffmpeg stopped taking frames (see its message above)";
    return false;
  }
  return true;
}

bool video_close(VideoSink* video, std::string* error) {
  int status = pclose(video->pipe);
  video->pipe = nullptr;
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    *error = "ffmpeg failed to write " + video->path;
    return false;
  }
  return true;
}
