// The threads that write --frames: a few frame copies go round between the
// capture, which fills a free one, and the threads, which each take the
// oldest filled one, write it and give it back.
#include "frame_files.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "common/framebuffer.h"
#include "outputs.h"
#include "platform/stop_signals.h"

namespace {

// How often a wait for a free copy looks for a stop request.
constexpr auto kStopLookout = std::chrono::milliseconds(50);

struct Queued {
  std::string path;
  std::vector<uint32_t>* pixels;
};

struct FrameFiles {
  std::vector<std::thread> threads;
  std::vector<std::vector<uint32_t>> copies;
  std::vector<std::vector<uint32_t>*> free;
  std::deque<Queued> queued;
  std::mutex lock;
  std::condition_variable changed;
  bool ending = false;
  std::string error;  // the first failure
};
FrameFiles files;

// The signals are the main thread's alone; writing a frame lets them through
// for its rename, so they are held back again after each.
void write_frames() {
  hold_stop_signals(true);
  std::unique_lock<std::mutex> hold(files.lock);
  for (;;) {
    files.changed.wait(hold, [] { return !files.queued.empty() || files.ending; });
    if (files.queued.empty() || !files.error.empty()) return;
    Queued frame = files.queued.front();
    files.queued.pop_front();
    hold.unlock();
    std::string error;
    const bool written = write_frame_png(frame.path, frame.pixels->data(), &error);
    hold_stop_signals(true);
    hold.lock();
    if (!written && files.error.empty()) files.error = error;
    files.free.push_back(frame.pixels);
    files.changed.notify_all();
  }
}

}  // namespace

void frame_files_open() {
  const int threads = int(std::max(1u, std::thread::hardware_concurrency()));
  files.copies.assign(size_t(threads) + 1, std::vector<uint32_t>(kFramePixelCount));
  for (std::vector<uint32_t>& copy : files.copies) files.free.push_back(&copy);
  for (int i = 0; i < threads; ++i) files.threads.emplace_back(write_frames);
}

bool frame_files_write(const std::string& path, const uint32_t* pixels, std::string* error) {
  std::unique_lock<std::mutex> hold(files.lock);
  while (files.free.empty() && files.error.empty() && !stop_signal())
    files.changed.wait_for(hold, kStopLookout);
  if (!files.error.empty() || stop_signal()) {
    *error = files.error.empty() ? "interrupted" : files.error;
    return false;
  }
  std::vector<uint32_t>* copy = files.free.back();
  files.free.pop_back();
  hold.unlock();
  std::copy(pixels, pixels + kFramePixelCount, copy->data());
  hold.lock();
  files.queued.push_back({path, copy});
  files.changed.notify_all();
  return true;
}

bool frame_files_close(std::string* error) {
  {
    std::unique_lock<std::mutex> hold(files.lock);
    if (stop_signal() || !files.error.empty()) files.queued.clear();
    files.ending = true;
    files.changed.notify_all();
  }
  for (std::thread& thread : files.threads) thread.join();
  files.threads.clear();
  *error = files.error;
  return files.error.empty();
}
