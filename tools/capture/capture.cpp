// demo-capture: runs the show's own frame pipeline (camera step, clock, clear,
// scene dispatch) on the virtual clock without a window, at a fixed frame rate
// of show time, and writes frames, one frame, a video or frame hashes, then a
// table of the CPU time each scene window's frames took.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "common/framebuffer.h"
#include "common/plain_number.h"
#include "common/simd_target.h"
#include "common/timeline.h"
#include "common/workers.h"
#include "frame_files.h"
#include "outputs.h"
#include "platform/clock.h"
#include "platform/present.h"
#include "platform/stop_signals.h"
#include "platform/program_folder.h"
#include "shell/shell.h"

namespace {

const char kUsage[] =
    "usage: demo-capture [options]\n"
    "  --data DIR          folder holding images/ and music/ (default: the working\n"
    "                      folder, else the install's share folder, else the build's)\n"
    "  --fps N             frames per second of show time (default 60)\n"
    "  --frames DIR        write every frame as DIR/frame-NNNNN.png (the folder is\n"
    "                      made); a folder holding frames of an earlier run is refused\n"
    "  --overwrite         with --frames: remove the earlier run's frames first\n"
    "  --frame FILE        write one frame, chosen with --at-seconds or --at-t\n"
    "  --at-seconds S      the moment of --frame, in seconds from start-up\n"
    "  --at-t T            the moment of --frame, as a timeline position (5 per second)\n"
    "  --video FILE        write an H.264 MP4 video with the music (silent when the\n"
    "                      music cannot be played)\n"
    "  --size WxH          video size (default 1600x900)\n"
    "  --video-quality Q   fast (quickest to encode, largest), balanced (the\n"
    "                      default, under half the size) or small (slowest, smallest)\n"
    "  --hashes            print a hash of every frame to standard output (the\n"
    "                      timing report and messages go to standard error)\n"
    "  --until-seconds S   stop after S seconds of show time (default: the show's end)\n"
    "  --quiet             no progress bar\n"
    "  --threads N         threads that draw each frame (default: one per core)\n"
    "  --simd NAME         the vector instructions that draw (default: the best the\n"
    "                      processor runs; also the DEMO_SIMD environment variable);\n"
    "                      --simd list prints those it runs, best first\n"
    "  --version           the program's version\n"
    "With no output option the show is rendered and only timed. Numbers are plain\n"
    "decimals. A file output appears only when complete; an earlier file of that\n"
    "name stays as it was when the run fails or is interrupted.\n";

struct Options {
  std::string data_dir;  // empty: looked for
  int fps = kSteppedFps;
  std::string frames_dir;
  bool overwrite = false;
  std::string frame_file;
  double at_ms = -1;
  std::string video_file;
  int video_width = kFrameWidth;
  int video_height = kFrameHeight;
  int video_quality = kDefaultVideoQuality;
  bool hashes = false;
  double until_ms = -1;
  bool quiet = false;
  int threads = 0;  // 0: one per core
};

struct FrameTime {
  double ms;
  float t;
};

struct CaptureState {
  uint32_t* frame = nullptr;  // frame_pixels while the show is drawn
  std::vector<uint32_t> presented;
  std::vector<FrameTime> times[kSceneCount];  // by scene_at of the frame
  VideoSink video;
  int progress_decile = -1;  // last tenth of the show reported when not on a terminal
};
CaptureState cap;

// Every way out but success: ffmpeg is ended and no partial file stays behind;
// a run stopped by SIGINT or SIGTERM then ends by its signal.
[[noreturn]] void leave(int status) {
  video_discard(&cap.video);
  std::string unreported;
  frame_files_close(&unreported);
  if (const int signal_number = stop_signal()) {
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
  }
  std::exit(status);
}

// A failure while stopping (ffmpeg ended by the same Ctrl+C, a wait cut
// short) is the stop itself, and says nothing.
[[noreturn]] void die(const std::string& message) {
  if (!stop_signal()) std::fprintf(stderr, "demo-capture: %s\n", message.c_str());
  leave(1);
}

[[noreturn]] void refuse(const std::string& message) {
  std::fprintf(stderr, "demo-capture: %s\n", message.c_str());
  std::exit(2);
}

// Output lost to a full disk or a closed pipe must not pass for success.
void check_written(FILE* stream, const char* name) {
  if (std::fflush(stream) != 0 || std::ferror(stream))
    die(std::string("cannot write to ") + name + ": " + std::strerror(errno));
}

double number_argument(const char* option, const char* text) {
  double value = is_plain_decimal(text, false) ? std::strtod(text, nullptr) : -1;
  if (!std::isfinite(value) || value < 0)
    refuse(std::string(option) + " takes a number of zero or more, not '" + text + "'");
  return value;
}

// WIDTHxHEIGHT, two plain whole numbers of at most five digits.
bool parse_size(const std::string& text, int* width, int* height) {
  const size_t x = text.find('x');
  if (x == std::string::npos) return false;
  const std::string w = text.substr(0, x);
  const std::string h = text.substr(x + 1);
  if (!is_plain_decimal(w, true) || !is_plain_decimal(h, true) || w.size() > 5 || h.size() > 5)
    return false;
  *width = std::stoi(w);
  *height = std::stoi(h);
  return true;
}

std::string absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd)) die("cannot read the current folder");
  return std::string(cwd) + "/" + path;
}

// A target by name, or the list of those the processor runs.
void choose_simd(const char* name) {
  const char* names[kMostSimdTargets];
  int count = simd_targets_available(names);
  if (std::strcmp(name, "list") == 0) {
    for (int k = 0; k < count; ++k) std::printf("%s\n", names[k]);
    check_written(stdout, "standard output");
    std::exit(0);
  }
  if (simd_choose(name)) return;
  std::string available;
  for (int k = 0; k < count; ++k) available += std::string(k ? ", " : "") + names[k];
  refuse(std::string("--simd takes one of the targets this processor runs (") + available +
      ") or list, not '" + name + "'");
}

Options parse_options(int argc, char** argv) {
  if (!simd_choose_from_environment()) std::exit(2);
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) refuse(arg + " needs a value\n" + kUsage);
      return argv[++i];
    };
    if (arg == "--data") o.data_dir = value();
    else if (arg == "--fps") {
      double fps = number_argument("--fps", value());
      if (fps < 1 || fps > 1000 || fps != std::floor(fps))
        refuse("--fps takes a whole number from 1 to 1000");
      o.fps = int(fps);
    } else if (arg == "--frames") o.frames_dir = absolute(value());
    else if (arg == "--frame") o.frame_file = absolute(value());
    else if (arg == "--at-seconds") o.at_ms = number_argument("--at-seconds", value()) * 1000.0;
    else if (arg == "--at-t") o.at_ms = timeline_ms(number_argument("--at-t", value()));
    else if (arg == "--video") o.video_file = absolute(value());
    else if (arg == "--size") {
      const char* text = value();
      if (!parse_size(text, &o.video_width, &o.video_height) || o.video_width < 16 ||
          o.video_height < 16 || o.video_width > 7680 || o.video_height > 4320 ||
          o.video_width % 2 || o.video_height % 2)
        refuse(std::string("--size takes WIDTHxHEIGHT, even numbers from 16x16 to 7680x4320, not '") +
               text + "'");
    } else if (arg == "--video-quality") {
      const std::string name = value();
      o.video_quality = -1;
      for (int q = 0; q < int(std::size(kVideoQualities)); ++q)
        if (name == kVideoQualities[q].name) o.video_quality = q;
      if (o.video_quality < 0)
        refuse("--video-quality takes fast, balanced or small, not '" + name + "'");
    } else if (arg == "--overwrite") o.overwrite = true;
    else if (arg == "--hashes") o.hashes = true;
    else if (arg == "--until-seconds") o.until_ms = number_argument("--until-seconds", value()) * 1000.0;
    else if (arg == "--quiet") o.quiet = true;
    else if (arg == "--threads") {
      double threads = number_argument("--threads", value());
      if (threads < 1 || threads > 256 || threads != std::floor(threads))
        refuse("--threads takes a whole number from 1 to 256");
      o.threads = int(threads);
    }
    else if (arg == "--simd") choose_simd(value());
    else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::fputs(data_search_report(data_folders(program_folder())).c_str(), stdout);
      check_written(stdout, "standard output");
      std::exit(0);
    } else if (arg == "--version") {
      std::printf("demo-capture (JUBRA demo) %s, vector target %s\n", show_version,
                  simd_target_name());
      check_written(stdout, "standard output");
      std::exit(0);
    } else refuse("unknown option '" + arg + "'\n" + kUsage);
  }
  if (!o.frame_file.empty() && o.at_ms < 0) refuse("--frame needs --at-seconds or --at-t");
  if (o.frame_file.empty() && o.at_ms >= 0) refuse("--at-seconds and --at-t go with --frame");
  if (o.overwrite && o.frames_dir.empty()) refuse("--overwrite goes with --frames");
  if (o.at_ms > kShowMs) refuse("--at-seconds and --at-t must lie within the show (126 s, t 630)");
  if (o.until_ms > kShowMs) o.until_ms = -1;
  return o;
}

double wall_seconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

uint64_t frame_hash(const uint32_t* pixels) {
  uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a, 64 bits, over the pixel bytes
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(pixels);
  for (size_t i = 0; i < kFrameBytes; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ull;
  return hash;
}

void record_time(double ms, float t) {
  cap.times[scene_at(t)].push_back({ms, t});
}

void show_progress(const Options& o, int n, uint32_t ms, float t, double last_ms, double started) {
  if (o.quiet) return;
  bool tty = isatty(STDERR_FILENO);
  double done = std::min(1.0, ms / last_ms);
  if (!tty && int(done * 10) == cap.progress_decile) return;
  cap.progress_decile = int(done * 10);
  double elapsed = wall_seconds() - started;
  double rate = elapsed > 0 ? (n + 1) / elapsed : 0;
  double left = done > 0 ? elapsed * (1 - done) / done : 0;
  constexpr int kBarWidth = 30;
  int filled = int(done * kBarWidth);
  std::fprintf(stderr, "%s[%.*s%*s] frame %d  t %.1f  %.1f fps  %.0f s left%s",
               tty ? "\r" : "", filled, "##############################", kBarWidth - filled, "",
               n, double(t), rate, left, tty ? "  " : "\n");
}

// One frame as the live show makes it, then presented as the window would
// when a picture output needs the presented frames.
float capture_frame(uint32_t target_ms, bool present) {
  clock_set(target_ms);
  double before = workers_cpu_ms();
  float t = draw_frame();
  double spent = workers_cpu_ms() - before;
  record_time(spent, t);
  if (present) present_blend(cap.presented.data(), cap.frame, int(kFramePixelCount));
  return t;
}

void write_outputs(const Options& o, int n, uint32_t ms, float t) {
  std::string error;
  if (o.hashes) {
    std::printf("frame %d ms %u t %.4f hash %016llx\n", n, ms, double(t),
                static_cast<unsigned long long>(frame_hash(cap.frame)));
    check_written(stdout, "standard output");
  }
  if (!o.frames_dir.empty() &&
      !frame_files_write(frame_path(o.frames_dir, n), cap.presented.data(), &error))
    die(error);
  if (!o.video_file.empty() && !video_write(&cap.video, cap.presented.data(), &error)) die(error);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void print_report(FILE* out, double wall, double show_seconds) {
  std::fprintf(out, "\nvector target %s\n", simd_target_name());
  std::fprintf(out, "%-8s %7s %7s %8s %10s %8s   %s\n", "window", "threads", "frames", "min ms",
               "median ms", "max ms", "slowest frame at t");
  FrameTime slowest_all = {0, 0};
  int total = 0;
  for (int w = 0; w < kSceneCount; ++w) {
    const auto& times = cap.times[w];
    if (times.empty()) {
      std::fprintf(out, "%-8s %7d %7d %8s %10s %8s   %s\n", kSceneTimings[w].name, workers_threads(),
                   0, "-", "-", "-", "-");
      continue;
    }
    std::vector<double> ms;
    FrameTime slowest = times[0];
    for (const FrameTime& f : times) {
      ms.push_back(f.ms);
      if (f.ms > slowest.ms) slowest = f;
    }
    if (slowest.ms > slowest_all.ms) slowest_all = slowest;
    total += int(times.size());
    std::fprintf(out, "%-8s %7d %7zu %8.2f %10.2f %8.2f   %.2f\n", kSceneTimings[w].name,
                 workers_threads(), times.size(),
                 *std::min_element(ms.begin(), ms.end()), median(ms), slowest.ms, double(slowest.t));
  }
  std::fprintf(out, "%d frames, %.1f s of show in %.1f s (%.2fx real time); slowest frame %.2f ms at t %.2f\n",
               total, show_seconds, wall, wall > 0 ? show_seconds / wall : 0.0, slowest_all.ms,
               double(slowest_all.t));
}

// The folder is made when missing. Frames of an earlier run would mix with
// this run's: they are removed with --overwrite and refused otherwise.
void prepare_frames_dir(const Options& o) {
  std::error_code failed;
  std::filesystem::create_directories(o.frames_dir, failed);
  if (failed) die("cannot make the folder '" + o.frames_dir + "': " + failed.message());
  if (access(o.frames_dir.c_str(), W_OK | X_OK) != 0)
    die("cannot write frames into the folder '" + o.frames_dir + "': " + std::strerror(errno));
  const std::vector<std::string> earlier = earlier_frames(o.frames_dir);
  if (!earlier.empty() && !o.overwrite)
    die("the folder '" + o.frames_dir + "' holds " + std::to_string(earlier.size()) +
        " frames of an earlier run; add --overwrite to replace them");
  for (const std::string& frame : earlier)
    if (std::remove(frame.c_str()) != 0)
      die("cannot remove " + frame + ": " + std::strerror(errno));
  remove_stale_partials(o.frames_dir);
}

// The loader reports on standard output; here its lines go to standard error,
// so that standard output carries only the hashes or the report.
void prepare_show_reporting_to_stderr() {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  dup2(STDERR_FILENO, STDOUT_FILENO);
  prepare_show();
  dup2(saved, STDOUT_FILENO);
  close(saved);
}

}  // namespace

int main(int argc, char** argv) {
  Options o = parse_options(argc, argv);
  signal(SIGPIPE, SIG_IGN);
  catch_stop_signals();
  if (o.data_dir.empty()) {
    if (!enter_data_folder(data_folders(program_folder()), "demo-capture")) leave(1);
  } else if (chdir(o.data_dir.c_str()) != 0) {
    die("cannot enter the data folder '" + o.data_dir + "'");
  }
  for (const std::string& file : {o.frame_file, o.video_file})
    if (!file.empty()) remove_stale_partials(file.substr(0, file.rfind('/') + 1));
  std::string error;
  if (!o.frame_file.empty() && !can_write_file(o.frame_file, &error)) die(error);
  if (!o.frames_dir.empty()) {
    prepare_frames_dir(o);
    frame_files_open();
  }
  if (!o.video_file.empty() &&
      !video_open(&cap.video, o.video_file, o.fps, o.video_width, o.video_height,
                  kVideoQualities[o.video_quality],
                  absolute(music_file_name), &error))
    die(error);

  cap.frame = framebuffer_allocate();
  if (!cap.frame) die("cannot allocate the frame");
  fill_pixels(cap.frame, kFramePixelCount, kFrameClearColour);
  cap.presented.assign(kFramePixelCount, kFrameClearColour);
  frame_pixels = cap.frame;
  clock_use_virtual(0);
  workers_set_threads(o.threads);
  prepare_show_reporting_to_stderr();
  if (stop_signal()) leave(1);

  bool single = !o.frame_file.empty();
  bool present = single || !o.frames_dir.empty() || !o.video_file.empty();
  double last_ms = single ? o.at_ms : o.until_ms >= 0 ? o.until_ms : kShowMs;
  double started = wall_seconds();
  uint32_t now = 0;
  float t = 0;
  int n = 0;
  for (;; ++n) {
    // A frame cannot begin before the previous frame's pacing has ended.
    bool last = single && double(n) * 1000.0 / o.fps >= last_ms;
    t = capture_frame(last ? std::max(uint32_t(last_ms), now) : stepped_frame_ms(n, o.fps, now),
                      present);
    now = clock_ticks();
    if (!single) write_outputs(o, n, now, t);
    show_progress(o, n, now, t, std::max(last_ms, 1.0), started);
    if (stop_signal()) leave(1);
    if (last || t > kTimelineEnd || (!single && o.until_ms >= 0 && now >= o.until_ms)) break;
  }
  if (single && !write_frame_png(o.frame_file, cap.presented.data(), &error)) die(error);
  if (!o.video_file.empty() && !video_close(&cap.video, &error)) die(error);
  if (!o.frames_dir.empty() && !frame_files_close(&error)) die(error);
  double wall = wall_seconds() - started;
  if (!o.quiet) std::fputc('\n', stderr);
  FILE* report = o.hashes ? stderr : stdout;
  print_report(report, wall, now / 1000.0);
  check_written(report, o.hashes ? "standard error" : "standard output");
  if (!o.video_file.empty()) std::printf("video written to %s\n", o.video_file.c_str());
  if (single) std::printf("frame written to %s\n", o.frame_file.c_str());
  check_written(stdout, "standard output");
  free_images();
  frame_pixels = nullptr;
  std::free(cap.frame);
  return 0;
}
