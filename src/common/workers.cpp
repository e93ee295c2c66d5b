// The worker pool: its threads, the job they share, and the hand-over. A job
// is a range cut into blocks that every thread, the caller's included, takes
// one at a time from a shared counter until none is left.
#include "common/workers.h"

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Job {
  WorkerBlock work;
  void* context;
  int count;
  int block;
  std::atomic<int> next;  // first item of the next block to hand out
};

// Polls of a flag before a thread sleeps on the lock: about 50 microseconds,
// longer than the gaps between a frame's jobs, so a helper that has just
// finished is still awake for the next job and the caller sees the end of a
// job without a sleep and a wake-up between them.
constexpr int kSpinPolls = 4000;

inline void spin_pause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Polls until done() holds; false when the polls ran out first.
template <typename Done>
bool spin_until(Done done) {
  for (int k = 0; k < kSpinPolls; ++k) {
    if (done()) return true;
    spin_pause();
  }
  return false;
}

struct Pool {
  int wanted = 0;  // 0: one thread per core
  std::vector<std::thread> threads;
  std::mutex lock;
  std::condition_variable wake;  // a new job, or time to stop
  std::condition_variable idle;  // the last helper finished its part
  std::atomic<unsigned> generation{0};  // counts jobs, so a helper takes each once
  std::atomic<int> busy{0};             // helpers still working on the job
  std::atomic<bool> stopping{false};
  Job job;

  ~Pool() { stop(); }

  void stop() {
    {
      std::lock_guard<std::mutex> hold(lock);
      stopping = true;
    }
    wake.notify_all();
    for (std::thread& t : threads) t.join();
    threads.clear();
    stopping = false;
  }

  // Helpers are started between jobs, so each begins waiting for the next.
  void start(int helpers) {
    unsigned g = generation.load();
    for (int k = 0; k < helpers; ++k) threads.emplace_back([this, g] { help(g); });
  }

  bool job_after(unsigned seen) const { return stopping || generation.load() != seen; }

  void help(unsigned seen) {
    for (;;) {
      if (!spin_until([&] { return job_after(seen); })) {
        std::unique_lock<std::mutex> hold(lock);
        wake.wait(hold, [&] { return job_after(seen); });
      }
      if (stopping) return;
      seen = generation.load();
      take_blocks();
      if (busy.fetch_sub(1) == 1) {
        std::lock_guard<std::mutex> hold(lock);
        idle.notify_one();
      }
    }
  }

  void take_blocks() {
    for (;;) {
      int first = job.next.fetch_add(job.block, std::memory_order_relaxed);
      if (first >= job.count) return;
      int end = first + job.block < job.count ? first + job.block : job.count;
      job.work(first, end, job.context);
    }
  }

  // The job is written while no helper reads it: every helper has finished
  // the last one, and each reads the job only once the generation moves on.
  void run(int helpers, int count, int block, WorkerBlock work, void* context) {
    job.work = work;
    job.context = context;
    job.count = count;
    job.block = block;
    job.next.store(0, std::memory_order_relaxed);
    busy = helpers;
    {
      std::lock_guard<std::mutex> hold(lock);
      ++generation;
    }
    wake.notify_all();
    take_blocks();
    if (spin_until([&] { return busy.load() == 0; })) return;
    std::unique_lock<std::mutex> hold(lock);
    idle.wait(hold, [&] { return busy.load() == 0; });
  }
};

Pool& pool() {
  static Pool p;
  return p;
}

// A browser build without threads has the calling thread alone.
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
constexpr bool kCanStartThreads = false;
#else
constexpr bool kCanStartThreads = true;
#endif

int machine_threads() {
  unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? int(n) : 1;
}

int threads_for(int wanted) {
  if (!kCanStartThreads) return 1;
  return wanted > 0 ? wanted : machine_threads();
}

double clock_ms(clockid_t clock) {
  timespec ts;
  if (clock_gettime(clock, &ts) != 0) return 0;
  return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

}  // namespace

int workers_threads() { return threads_for(pool().wanted); }

void workers_set_threads(int threads) {
  Pool& p = pool();
  p.stop();
  p.wanted = threads > 0 ? threads : 0;
}

double workers_cpu_ms() {
  double ms = clock_ms(CLOCK_THREAD_CPUTIME_ID);
  for (std::thread& t : pool().threads) {
    clockid_t clock;
    if (pthread_getcpuclockid(t.native_handle(), &clock) == 0) ms += clock_ms(clock);
  }
  return ms;
}

void workers_run(int count, int block, WorkerBlock work, void* context) {
  Pool& p = pool();
  int helpers = workers_threads() - 1;
  if (helpers == 0 || count <= block) {
    for (int first = 0; first < count; first += block)
      work(first, first + block < count ? first + block : count, context);
    return;
  }
  if (int(p.threads.size()) != helpers) {
    p.stop();
    p.start(helpers);
  }
  p.run(helpers, count, block, work, context);
}
