// Frame outputs: PNG through libpng, video through an ffmpeg child process.
#include "outputs.h"

#include <fcntl.h>
#ifndef DEMO_NO_PNG_FRAMES
#include <png.h>
#endif
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <regex>
#include <thread>
#include <vector>

#include "common/framebuffer.h"
#include "yuv420.h"

namespace {

// One frame as packed RGB bytes; the alpha byte is not part of a picture on screen.
[[maybe_unused]] void frame_to_rgb(const uint32_t* pixels, std::vector<uint8_t>* rgb) {
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

std::string cannot_write(const std::string& path) {
  return "cannot write " + path + ": " + std::strerror(errno);
}

// Hidden, beside the target, this process's own, and ending in the target's
// name so that ffmpeg still chooses the container by the extension.
std::string partial_name(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t name = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(0, name) + ".partial-" + std::to_string(getpid()) + "-" + path.substr(name);
}

// The rename would replace a device or a pipe itself, so only a regular file
// (or none yet) can be an output.
bool is_replaceable(const std::string& path, std::string* error) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) return true;
  *error = "cannot write " + path + ": not a regular file";
  return false;
}

bool put_in_place(const std::string& partial, const std::string& path, std::string* error) {
  if (std::rename(partial.c_str(), path.c_str()) == 0) return true;
  *error = cannot_write(path);
  std::remove(partial.c_str());
  return false;
}

// ffmpeg is a child of its own, reading frames on its standard input, so that
// it can be ended with the capture.
bool start_encoder(VideoSink* video, const std::string& command, std::string* error) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) {
    *error = "cannot start ffmpeg: " + std::string(std::strerror(errno));
    return false;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(ends[0], STDIN_FILENO);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(ends[0]);
  if (pid < 0) {
    close(ends[1]);
    *error = "cannot start ffmpeg: " + std::string(std::strerror(errno));
    return false;
  }
  video->encoder = pid;
  video->pipe = ends[1];
  return true;
}

bool write_all(int fd, const uint8_t* bytes, size_t size) {
  while (size > 0) {
    const ssize_t sent = write(fd, bytes, size);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes += sent;
    size -= size_t(sent);
  }
  return true;
}

// The writer thread: sends each frame handed over until the capture ends or
// ffmpeg stops reading.
void send_frames(VideoSink* video) {
  std::unique_lock<std::mutex> hold(video->lock);
  for (;;) {
    video->changed.wait(hold, [&] { return video->sending || video->ending; });
    if (!video->sending) return;
    const std::vector<uint8_t>& frame = video->frames[1 - video->filling];
    hold.unlock();
    const bool sent = write_all(video->pipe, frame.data(), frame.size());
    hold.lock();
    video->sending = false;
    video->failed = !sent;
    video->changed.notify_all();
    if (!sent) return;
  }
}

// Waits until the writer has sent the frame it holds; false when ffmpeg has
// stopped taking frames.
bool wait_until_sent(VideoSink* video, std::unique_lock<std::mutex>& hold) {
  video->changed.wait(hold, [&] { return !video->sending; });
  return !video->failed;
}

// After the pipe breaks or ffmpeg is ended, the writer has nothing more to wait for.
void stop_writer(VideoSink* video) {
  if (!video->writer.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(video->lock);
    video->ending = true;
  }
  video->changed.notify_all();
  video->writer.join();
}

}  // namespace

bool can_write_file(const std::string& path, std::string* error) {
  if (!is_replaceable(path, error)) return false;
  const std::string partial = partial_name(path);
  const int probe = open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (probe < 0) {
    *error = cannot_write(path);
    return false;
  }
  close(probe);
  std::remove(partial.c_str());
  return true;
}

#ifdef DEMO_NO_PNG_FRAMES
bool write_frame_png(const std::string& path, const uint32_t*, std::string* error) {
  *error = "cannot write " + path + ": this demo-capture is built without libpng";
  return false;
}
#else
bool write_frame_png(const std::string& path, const uint32_t* pixels, std::string* error) {
  if (!is_replaceable(path, error)) return false;
  const std::string partial = partial_name(path);
  FILE* file = std::fopen(partial.c_str(), "wb");
  if (!file) {
    *error = cannot_write(path);
    return false;
  }
  std::vector<uint8_t> rgb;
  frame_to_rgb(pixels, &rgb);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    std::remove(partial.c_str());
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
  if (std::fclose(file) != 0) {
    *error = "cannot finish writing " + path + ": " + std::strerror(errno);
    std::remove(partial.c_str());
    return false;
  }
  return put_in_place(partial, path, error);
}
#endif

std::string frame_path(const std::string& dir, int n) {
  char name[32];
  std::snprintf(name, sizeof name, "/frame-%05d.png", n);
  return dir + name;
}

std::vector<std::string> earlier_frames(const std::string& dir) {
  static const std::regex frame_name("frame-[0-9]{5,}\\.png");
  std::vector<std::string> found;
  std::error_code unreadable;
  for (const auto& entry : std::filesystem::directory_iterator(dir, unreadable))
    if (std::regex_match(entry.path().filename().string(), frame_name))
      found.push_back(entry.path().string());
  return found;
}

bool video_open(VideoSink* video, const std::string& path, int fps, int width, int height,
                const std::string& music_path, std::string* error) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) {
    *error = "the ffmpeg program was not found; install it (apt-get install ffmpeg) to capture video";
    return false;
  }
  if (!can_write_file(path, error)) return false;
  const std::string partial = partial_name(path);
  std::string command =
      "exec ffmpeg -loglevel error -y -f rawvideo -pix_fmt yuv420p -s 1600x900 -r " +
      std::to_string(fps) + " -i -";
  FILE* music = std::fopen(music_path.c_str(), "rb");
  if (music) {
    std::fclose(music);
    command += " -i " + quoted(music_path) + " -c:a aac -b:a 192k";
  } else {
    std::fprintf(stderr, "demo-capture: %s not found; the video has no sound\n", music_path.c_str());
  }
  // ultrafast at CRF 18 encodes about a third faster than veryfast and, on
  // the show, comes closer to a lossless encoding (PSNR 49 dB against 44 dB),
  // at about three times the file size.
  command += " -c:v libx264 -preset ultrafast -crf 18";
  if (width != kFrameWidth || height != kFrameHeight) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    command += " -filter_threads " + std::to_string(cores) + " -vf scale=" +
               std::to_string(width) + ":" + std::to_string(height);
  }
  command += " -shortest -movflags +faststart " + quoted(partial);
  if (!start_encoder(video, command, error)) return false;
  // A pipe that holds a whole frame, or failing that (above the system's
  // limit for a process that is not root) a megabyte rather than 64 KiB:
  // fewer switches between the two processes per frame.
  if (fcntl(video->pipe, F_SETPIPE_SZ, int(kYuv420Bytes)) < 0) fcntl(video->pipe, F_SETPIPE_SZ, 1 << 20);
  video->path = path;
  video->partial = partial;
  for (std::vector<uint8_t>& frame : video->frames) frame.resize(kYuv420Bytes);
  video->writer = std::thread(send_frames, video);
  return true;
}

bool video_write(VideoSink* video, const uint32_t* pixels, std::string* error) {
  frame_to_yuv420(pixels, video->frames[video->filling].data());
  std::unique_lock<std::mutex> hold(video->lock);
  if (!wait_until_sent(video, hold)) {
    *error = "ffmpeg stopped taking frames (see its message above)";
    return false;
  }
  video->filling = 1 - video->filling;
  video->sending = true;
  video->changed.notify_all();
  return true;
}

bool video_close(VideoSink* video, std::string* error) {
  bool sent;
  {
    std::unique_lock<std::mutex> hold(video->lock);
    sent = wait_until_sent(video, hold);
  }
  stop_writer(video);
  sent = close(video->pipe) == 0 && sent;
  int status = 0;
  const bool encoded = waitpid(video->encoder, &status, 0) == video->encoder &&
                       WIFEXITED(status) && WEXITSTATUS(status) == 0;
  const std::string partial = video->partial;
  video->pipe = -1;
  video->encoder = 0;
  video->partial.clear();
  if (!sent || !encoded) {
    std::remove(partial.c_str());
    *error = "ffmpeg failed to write " + video->path;
    return false;
  }
  return put_in_place(partial, video->path, error);
}

void video_discard(VideoSink* video) {
  if (video->encoder > 0) kill(video->encoder, SIGTERM);
  stop_writer(video);
  if (video->pipe >= 0) close(video->pipe);
  if (video->encoder > 0) waitpid(video->encoder, nullptr, 0);
  if (!video->partial.empty()) std::remove(video->partial.c_str());
  video->pipe = -1;
  video->encoder = 0;
  video->partial.clear();
}
