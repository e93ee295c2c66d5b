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
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <regex>
#include <thread>
#include <vector>

#include "common/framebuffer.h"
#include "platform/stop_signals.h"
#include "platform/wav_file.h"
#include "yuv420.h"

namespace {

// How often a wait for ffmpeg looks for a stop request.
constexpr auto kStopLookout = std::chrono::milliseconds(50);

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

std::string cannot_write(const std::string& path) {
  return "cannot write " + path + ": " + std::strerror(errno);
}

// Hidden, beside the target, this process's own, and ending in the target's name.
std::string partial_name(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t name = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(0, name) + ".partial-" + std::to_string(getpid()) + "-" + path.substr(name);
}

// A new file of this process's own, never an existing file or what a link
// planted under its name points to.
int create_partial(const std::string& partial) {
  return open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

// The rename would replace a device or a pipe itself, so only a regular file
// (or none yet) can be an output.
bool is_replaceable(const std::string& path, std::string* error) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) return true;
  *error = "cannot write " + path + ": not a regular file";
  return false;
}

// A stop request that came before the rename leaves the earlier file: the
// signals are held back from the last look for one to the rename's end.
bool put_in_place(const std::string& partial, const std::string& path, std::string* error) {
  hold_stop_signals(true);
  const bool stopping = stop_signal() != 0;
  const bool moved = !stopping && std::rename(partial.c_str(), path.c_str()) == 0;
  if (!moved) *error = stopping ? "interrupted before " + path + " was written" : cannot_write(path);
  hold_stop_signals(false);
  if (!moved) std::remove(partial.c_str());
  return moved;
}

// A copy of fd numbered above the descriptors ffmpeg is given (0, 3 and 4),
// so that putting one in its place never overwrites another.
int lift_fd(int fd) { return fcntl(fd, F_DUPFD_CLOEXEC, 10); }

// ffmpeg is a child of its own, reading frames on its standard input, the
// music (when there is one) as descriptor 4 and writing the partial file as
// descriptor 3, both opened here, so that it never opens a name itself.
// Whether it started is learnt from a pipe that its start closes.
bool start_encoder(VideoSink* video, const std::vector<std::string>& args, int out, int music,
                   std::string* error) {
  int ends[2], started[2];
  if (pipe2(ends, O_CLOEXEC) != 0 || pipe2(started, O_CLOEXEC) != 0) {
    *error = "cannot start ffmpeg: " + std::string(std::strerror(errno));
    return false;
  }
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int frames = lift_fd(ends[0]), file = lift_fd(out), sound = music >= 0 ? lift_fd(music) : -1;
    dup2(frames, STDIN_FILENO);
    dup2(file, 3);
    if (sound >= 0) dup2(sound, 4);
    execvp(argv[0], argv.data());
    const int reason = errno;
    [[maybe_unused]] const ssize_t told = write(started[1], &reason, sizeof reason);
    _exit(127);
  }
  close(ends[0]);
  close(started[1]);
  int reason = 0;
  ssize_t heard;
  while ((heard = read(started[0], &reason, sizeof reason)) < 0 && errno == EINTR) {
  }
  close(started[0]);
  if (pid < 0 || heard > 0) {
    if (pid > 0) waitpid(pid, nullptr, 0);
    close(ends[1]);
    *error = pid < 0 ? "cannot start ffmpeg: " + std::string(std::strerror(errno))
             : reason == ENOENT
                 ? "the ffmpeg program was not found; install it (apt-get install ffmpeg) to capture video"
                 : "cannot start ffmpeg: " + std::string(std::strerror(reason));
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
// stopped taking frames or a stop is asked for first.
bool wait_until_sent(VideoSink* video, std::unique_lock<std::mutex>& hold) {
  while (!video->changed.wait_for(hold, kStopLookout, [&] { return !video->sending; }))
    if (stop_signal()) return false;
  return !video->failed;
}

// ffmpeg's end, or false when it failed or a stop is asked for first (then
// it still runs, for video_discard to end).
bool encoder_succeeded(VideoSink* video) {
  int status = 0;
  pid_t ended;
  while ((ended = waitpid(video->encoder, &status, 0)) < 0 && errno == EINTR)
    if (stop_signal()) return false;
  video->encoder = 0;
  return ended > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The music as descriptor 4 of ffmpeg's, padded with silence to the video's
// length; a file the live show cannot play gives a silent video and a line.
void add_music(const WavFile& music, const std::string& music_path, std::vector<std::string>* args) {
  if (music.fd < 0) {
    std::fprintf(stderr, "demo-capture: cannot play %s; the video has no sound\n", music_path.c_str());
    return;
  }
  for (const char* arg : {"-f", "wav", "-i", "pipe:4", "-af", "apad", "-c:a", "aac", "-b:a", "192k"})
    args->push_back(arg);
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

void remove_stale_partials(const std::string& dir) {
  static const std::regex partial("\\.partial-([0-9]{1,9})-.*");
  std::smatch found;
  std::error_code unreadable;
  for (const auto& entry : std::filesystem::directory_iterator(dir, unreadable)) {
    const std::string name = entry.path().filename().string();
    if (!std::regex_match(name, found, partial)) continue;
    struct stat info;
    if (lstat(entry.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid())
      continue;
    if (kill(pid_t(std::stol(found[1].str())), 0) == 0 || errno != ESRCH) continue;
    unlink(entry.path().c_str());
  }
}

bool can_write_file(const std::string& path, std::string* error) {
  if (!is_replaceable(path, error)) return false;
  const std::string partial = partial_name(path);
  const int probe = create_partial(partial);
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
  const int fd = create_partial(partial);
  FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
  if (!file) {
    *error = cannot_write(path);
    if (fd < 0) return false;
    close(fd);
    std::remove(partial.c_str());
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
  // The frames of a whole show are many: every row Sub-filtered and zlib's
  // fastest level cost a third of libpng's default adaptive filtering at
  // level 3, for files about 40% larger (docs/capture.md).
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_compression_level(png, 1);
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
                const VideoQuality& quality, const std::string& music_path, std::string* error) {
  if (!is_replaceable(path, error)) return false;
  const std::string partial = partial_name(path);
  const int out = create_partial(partial);
  if (out < 0) {
    *error = cannot_write(path);
    return false;
  }
  std::vector<std::string> args = {"ffmpeg", "-loglevel", "error", "-y", "-f", "rawvideo",
                                   "-pix_fmt", "yuv420p", "-s", "1600x900",
                                   "-r", std::to_string(fps), "-i", "pipe:0"};
  WavFile music;
  wav_open(music_path.c_str(), &music);
  add_music(music, music_path, &args);
  for (const char* arg : {"-c:v", "libx264", "-preset", quality.preset, "-crf", quality.crf})
    args.push_back(arg);
  if (quality.animation) args.insert(args.end(), {"-tune", "animation"});
  if (width != kFrameWidth || height != kFrameHeight) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    args.insert(args.end(), {"-filter_threads", std::to_string(cores), "-vf",
                             "scale=" + std::to_string(width) + ":" + std::to_string(height)});
  }
  // The video's frames decide its length: the music ends with them.
  for (const char* arg : {"-shortest", "-movflags", "+faststart", "-f", "mp4", "/proc/self/fd/3"})
    args.push_back(arg);
  const bool started = start_encoder(video, args, out, music.fd, error);
  close(out);
  wav_close(&music);
  if (!started) {
    std::remove(partial.c_str());
    return false;
  }
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
  video->pipe = -1;
  if (!sent || !encoder_succeeded(video)) {
    *error = "ffmpeg failed to write " + video->path;
    return false;
  }
  const std::string partial = video->partial;
  video->partial.clear();
  return put_in_place(partial, video->path, error);
}

void video_discard(VideoSink* video) {
  // SIGKILL ends even a stopped ffmpeg at once; its file is removed anyway.
  if (video->encoder > 0) kill(video->encoder, SIGKILL);
  stop_writer(video);
  if (video->pipe >= 0) close(video->pipe);
  if (video->encoder > 0) waitpid(video->encoder, nullptr, 0);
  if (!video->partial.empty()) std::remove(video->partial.c_str());
  video->pipe = -1;
  video->encoder = 0;
  video->partial.clear();
}
