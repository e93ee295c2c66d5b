// The command line of demo: no option is the plain show; the others choose a
// window, a starting moment, a paused start, looping, silence, the drawing
// threads and the vector instructions. A refusal names what was wrong and
// shows the usage.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "common/framebuffer.h"
#include "common/plain_number.h"
#include "common/simd_target.h"
#include "platform/program_folder.h"
#include "shell/shell.h"

namespace {

constexpr int kLargestWindowSide = 16384;
constexpr double kShowSeconds = kShowMs / 1000;
constexpr int kMostThreads = 256;

int print_usage(FILE* out) {
  return std::fprintf(out,
                      "usage: demo [options]\n"
                      "  --window [WxH]    a resizable window (default %dx%d) instead of the whole desktop\n"
                      "  --start SECONDS   begin at that moment of the show (0 to %g)\n"
                      "  --paused          begin paused on the first frame (Space plays on)\n"
                      "  --loop            start again after the end\n"
                      "  --mute            no music\n"
                      "  --threads N       threads that draw each frame (1 to %d; default one per core)\n"
                      "  --simd NAME       the vector instructions that draw (default the best the\n"
                      "                    processor runs; also DEMO_SIMD); --simd list names them\n"
                      "  --help            this text\n"
                      "  --version         the program's version\n"
                      "keys: Space pause, Left/Right 5 s back/forward, Home restart,\n"
                      "      F or Alt+Enter fullscreen, F1 overlay, Escape quit\n",
                      kFrameWidth, kFrameHeight, kShowSeconds, kMostThreads);
}

// Says what was wrong, with the value when there is one, then the usage.
bool refuse(const char* what, const char* value, int* exit_status) {
  if (value)
    std::fprintf(stderr, "demo: %s '%s'\n", what, value);
  else
    std::fprintf(stderr, "demo: %s\n", what);
  print_usage(stderr);
  *exit_status = 2;
  return false;
}

// A plain whole number from 1 to most.
bool read_count(std::string_view text, int most, int* count) {
  if (!is_plain_decimal(text, true) || text.size() > 9) return false;
  int value = 0;
  for (char c : text) value = value * 10 + (c - '0');
  if (value < 1 || value > most) return false;
  *count = value;
  return true;
}

// WIDTHxHEIGHT, each side 1 to kLargestWindowSide pixels.
bool read_size(const char* text, ShowOptions* options) {
  std::string_view size = text;
  size_t x = size.find('x');
  if (x == std::string_view::npos) return false;
  int width = 0, height = 0;
  if (!read_count(size.substr(0, x), kLargestWindowSide, &width) ||
      !read_count(size.substr(x + 1), kLargestWindowSide, &height))
    return false;
  options->window_width = width;
  options->window_height = height;
  return true;
}

bool read_start(const char* text, ShowOptions* options) {
  if (!is_plain_decimal(text, false)) return false;
  double seconds = std::strtod(text, nullptr);
  if (seconds > kShowSeconds) return false;
  options->seek_at_start = true;
  options->start_ms = static_cast<uint32_t>(seconds * 1000);
  return true;
}

bool read_threads(const char* text, ShowOptions* options) {
  return read_count(text, kMostThreads, &options->threads);
}

// The help or the version, which fails (status 1) when it could not be written.
bool answer(bool written, int* exit_status) {
  written = std::fflush(stdout) == 0 && written && !std::ferror(stdout);
  if (!written) std::fprintf(stderr, "demo: cannot write to standard output: %s\n", std::strerror(errno));
  *exit_status = written ? 0 : 1;
  return false;
}

// The targets the processor runs, one a line, best first.
int print_simd_targets() {
  const char* names[kMostSimdTargets];
  int count = simd_targets_available(names);
  int written = 0;
  for (int k = 0; k < count && written >= 0; ++k) written = std::printf("%s\n", names[k]);
  return written;
}

}  // namespace

bool parse_show_options(int argc, char** argv, ShowOptions* options, int* exit_status) {
  *exit_status = 0;
  if (!simd_choose_from_environment()) {
    *exit_status = 2;
    return false;
  }
  char wanted[96];
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
    bool next_is_value = next && std::strncmp(next, "--", 2) != 0;
    if (std::strcmp(arg, "--window") == 0) {
      options->window_width = kFrameWidth;
      options->window_height = kFrameHeight;
      if (!next_is_value) continue;
      ++i;
      std::snprintf(wanted, sizeof wanted, "--window takes WIDTHxHEIGHT, each 1 to %d, not",
                    kLargestWindowSide);
      if (!read_size(next, options)) return refuse(wanted, next, exit_status);
    } else if (std::strcmp(arg, "--start") == 0) {
      if (!next) return refuse("--start needs a number of seconds", nullptr, exit_status);
      ++i;
      std::snprintf(wanted, sizeof wanted, "--start takes seconds from 0 to %g, not", kShowSeconds);
      if (!read_start(next, options)) return refuse(wanted, next, exit_status);
    } else if (std::strcmp(arg, "--threads") == 0) {
      if (!next) return refuse("--threads needs a number", nullptr, exit_status);
      ++i;
      std::snprintf(wanted, sizeof wanted, "--threads takes a whole number from 1 to %d, not",
                    kMostThreads);
      if (!read_threads(next, options)) return refuse(wanted, next, exit_status);
    } else if (std::strcmp(arg, "--simd") == 0) {
      if (!next) return refuse("--simd needs a target's name or list", nullptr, exit_status);
      ++i;
      if (std::strcmp(next, "list") == 0) return answer(print_simd_targets() >= 0, exit_status);
      if (!simd_choose(next))
        return refuse("--simd takes a target that --simd list names, not", next, exit_status);
    } else if (std::strcmp(arg, "--paused") == 0) {
      options->paused = true;
    } else if (std::strcmp(arg, "--loop") == 0) {
      options->loop = true;
    } else if (std::strcmp(arg, "--mute") == 0) {
      options->mute = true;
    } else if (std::strcmp(arg, "--help") == 0) {
      return answer(print_usage(stdout) >= 0 &&
                        std::fputs(data_search_report(data_folders(program_folder())).c_str(), stdout) >= 0,
                    exit_status);
    } else if (std::strcmp(arg, "--version") == 0) {
      return answer(std::printf("demo (JUBRA demo) %s, vector target %s\n", show_version,
                                simd_target_name()) >= 0,
                    exit_status);
    } else {
      return refuse("unknown option", arg, exit_status);
    }
  }
  return true;
}
