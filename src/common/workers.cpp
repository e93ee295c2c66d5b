// The worker pool: its threads, the job they share, and the hand-over. A job
// is a range cut into blocks that every thread, the caller's included, takes
// one at a time from a shared counter until none is left.
#include "common/workers.h"

#include <atomic>
#include <condition_variable>
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

struct Pool {
  int wanted = 0;  // 0: one thread per core
  std::vector<std::thread> threads;
  std::mutex lock;
  std::condition_variable wake;  // a new job, or time to stop
  std::condition_variable idle;  // the last helper finished its part
  unsigned generation = 0;       // counts jobs, so a helper takes each once
  int busy = 0;                  // helpers still working on the job
  bool stopping = false;
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
    for (int k = 0; k < helpers; ++k) threads.emplace_back([this, g = generation] { help(g); });
  }

  void help(unsigned seen) {
    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
      wake.wait(hold, [&] { return stopping || generation != seen; });
      if (stopping) return;
      seen = generation;
      hold.unlock();
      take_blocks();
      hold.lock();
      if (--busy == 0) idle.notify_one();
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

}  // namespace

int workers_threads() { return threads_for(pool().wanted); }

void workers_set_threads(int threads) {
  Pool& p = pool();
  p.stop();
  p.wanted = threads > 0 ? threads : 0;
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
  {
    std::lock_guard<std::mutex> hold(p.lock);
    p.job.work = work;
    p.job.context = context;
    p.job.count = count;
    p.job.block = block;
    p.job.next.store(0, std::memory_order_relaxed);
    p.busy = helpers;
    ++p.generation;
  }
  p.wake.notify_all();
  p.take_blocks();
  std::unique_lock<std::mutex> hold(p.lock);
  p.idle.wait(hold, [&] { return p.busy == 0; });
}
