// The worker pool: its threads, the job they share, and the hand-over. A job
// is a range cut into blocks, and each thread drawing it, the caller's
// included, owns a run of neighbouring blocks that it draws from the front;
// a thread whose run is done takes blocks from the back of the others' runs.
// Neighbouring blocks on one core keep two cores from writing alternate
// stretches of each row, which measured slower than one core alone for the
// same work. No more threads draw a job than the machine has cores: the
// helpers take turns at the seats a job offers, and the others sleep.
#include "common/workers.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// A thread's run of blocks: those from front to back - 1 are still to be
// drawn. Both ends share one word, so taking from either end is one
// compare-and-swap.
struct alignas(64) Run {
  std::atomic<uint64_t> ends;
};

constexpr uint64_t run_ends(uint32_t front, uint32_t back) { return uint64_t(back) << 32 | front; }

// The block taken from the front (or the back) of a run; -1 when it is empty.
int take_from(Run& run, bool front) {
  uint64_t ends = run.ends.load(std::memory_order_relaxed);
  for (;;) {
    uint32_t first = uint32_t(ends), back = uint32_t(ends >> 32);
    if (first >= back) return -1;
    uint64_t rest = front ? run_ends(first + 1, back) : run_ends(first, back - 1);
    if (run.ends.compare_exchange_weak(ends, rest, std::memory_order_relaxed))
      return int(front ? first : back - 1);
  }
}

struct Job {
  WorkerBlock work;
  void* context;
  int count;
  int block;
  int threads;                  // drawing it: the caller and the seated helpers
  std::unique_ptr<Run[]> runs;  // one per seat, the caller's first
};

// Polls of a flag before a thread sleeps on the lock: about 50 microseconds,
// longer than the gaps between a frame's jobs, so a helper that has just
// finished is still awake for the next job and the caller sees the end of a
// job without a sleep and a wake-up between them. WebAssembly has no pause
// instruction: there a poll takes about 2.5 ns, not 12.
#if defined(__EMSCRIPTEN__)
constexpr int kSpinPolls = 20000;
#else
constexpr int kSpinPolls = 4000;
#endif

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

// A helper beyond the cores would draw nothing faster, only take turns on
// them: woken for every job, 255 helpers on 2 cores cost about eight times
// the frame's drawing in sleeps and wake-ups alone. So each job offers one
// seat fewer than the cores; helpers awake take them first, and only the
// seats left over wake a sleeping one.
struct Pool {
  int wanted = 0;  // 0: one thread per core
  std::vector<std::thread> threads;
  std::mutex lock;
  std::condition_variable wake;   // a seat to take, or time to stop
  std::condition_variable idle;   // the last seated helper finished its part
  std::atomic<int> free_seats{0};  // of the current job; the last one is seat 1
  std::atomic<int> busy{0};        // seats whose helper has not finished, free ones included
  std::atomic<bool> stopping{false};
  int seats = 0;  // each job offers, at most one fewer than the cores
  int awake = 0;  // helpers not asleep on wake, under the lock: they take seats unasked
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

  // Helpers are started between jobs, so each begins waiting for a seat.
  void start(int helpers, int cores) {
    seats = std::min(helpers, cores - 1);
    job.runs = std::make_unique<Run[]>(seats + 1);
    awake = helpers;
    for (int k = 0; k < helpers; ++k) threads.emplace_back([this] { help(); });
  }

  // A free seat of the current job, which names the run its helper draws;
  // 0 when none is left.
  int take_seat() {
    int free = free_seats.load();
    while (free > 0 && !free_seats.compare_exchange_weak(free, free - 1)) {
    }
    return free > 0 ? free : 0;
  }

  void help() {
    for (;;) {
      int seat = 0;
      auto seated = [&] { return stopping || (seat = take_seat()) > 0; };
      if (!spin_until(seated)) {
        std::unique_lock<std::mutex> hold(lock);
        --awake;
        wake.wait(hold, seated);
        ++awake;
      }
      if (stopping) return;
      take_blocks(seat);
      if (busy.fetch_sub(1) == 1) {
        std::lock_guard<std::mutex> hold(lock);
        idle.notify_one();
      }
    }
  }

  void draw_block(int b) {
    int first = b * job.block;
    int end = first + job.block < job.count ? first + job.block : job.count;
    job.work(first, end, job.context);
  }

  void take_blocks(int own) {
    for (int b; (b = take_from(job.runs[own], true)) >= 0;) draw_block(b);
    for (int k = 1; k < job.threads; ++k) {
      Run& other = job.runs[(own + k) % job.threads];
      for (int b; (b = take_from(other, false)) >= 0;) draw_block(b);
    }
  }

  // The job is written while no helper reads it: every seated helper has
  // finished the last one, and a helper reads the job only once it has a
  // seat. Seats nobody took by the time the caller's blocks are done are
  // withdrawn: the blocks are drawn, and a helper still waking finds none.
  void run(int count, int block, WorkerBlock work, void* context) {
    job.work = work;
    job.context = context;
    job.count = count;
    job.block = block;
    job.threads = seats + 1;
    int64_t blocks = (int64_t(count) + block - 1) / block;
    for (int k = 0; k < job.threads; ++k)
      job.runs[k].ends.store(
          run_ends(uint32_t(blocks * k / job.threads), uint32_t(blocks * (k + 1) / job.threads)),
          std::memory_order_relaxed);
    busy = seats;
    int asleep_to_wake;
    {
      std::lock_guard<std::mutex> hold(lock);
      free_seats = seats;
      asleep_to_wake = seats - awake;
    }
    for (int k = 0; k < asleep_to_wake; ++k) wake.notify_one();
    take_blocks(0);
    int withdrawn = free_seats.exchange(0);
    if (withdrawn > 0 && busy.fetch_sub(withdrawn) == withdrawn) return;
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

// Reading another thread's clock is a system call: with 255 helpers the
// readings alone cost the caller about a quarter of a millisecond, which is
// left out, so that a frame measured between two readings is the frame.
double workers_cpu_ms() {
  static double reading_ms = 0;  // the caller's own time spent in here so far
  double entered = clock_ms(CLOCK_THREAD_CPUTIME_ID);
  double helpers = 0;
  for (std::thread& t : pool().threads) {
    clockid_t clock;
    if (pthread_getcpuclockid(t.native_handle(), &clock) == 0) helpers += clock_ms(clock);
  }
  double left = clock_ms(CLOCK_THREAD_CPUTIME_ID);
  reading_ms += left - entered;
  return left - reading_ms + helpers;
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
    p.start(helpers, machine_threads());
  }
  p.run(count, block, work, context);
}
