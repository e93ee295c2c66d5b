// The worker pool: every item of a range is handed out exactly once, in
// blocks of the size asked for, whatever the number of threads, also when
// the caller is held up in its first block and the others take the rest of
// its run; and no more threads draw at once than the cores.
#include "common/workers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

TEST(Workers, EveryItemOnceInBlocksForAnyThreadCount) {
  struct Case {
    int count, block;
  };
  for (int threads : {1, 2, 3, 7}) {
    workers_set_threads(threads);
    EXPECT_EQ(workers_threads(), threads);
    for (Case c : {Case{1600, 16}, Case{900, 30}, Case{10, 64}, Case{0, 8}, Case{101, 4}}) {
      std::vector<std::atomic<int>> seen(size_t(c.count));
      std::atomic<int> wrong_blocks{0};
      workers_for(c.count, c.block, [&](int first, int end) {
        if (first == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (first % c.block != 0 || end - first > c.block || end > c.count) ++wrong_blocks;
        for (int i = first; i < end; ++i) ++seen[size_t(i)];
      });
      for (int i = 0; i < c.count; ++i)
        ASSERT_EQ(seen[size_t(i)], 1) << threads << " threads, item " << i << " of " << c.count;
      EXPECT_EQ(wrong_blocks, 0);
    }
  }
  workers_set_threads(0);
  EXPECT_GE(workers_threads(), 1);
}

// Threads beyond the cores would only take turns on them, at the cost of a
// sleep and a wake-up each for every job: however many are asked for, no
// more than the cores draw a job at once.
TEST(Workers, NoMoreThreadsDrawAtOnceThanTheCores) {
  int cores = int(std::max(std::thread::hardware_concurrency(), 1u));
  workers_set_threads(4 * cores + 1);
  std::atomic<int> drawing{0}, most{0};
  workers_for(64, 1, [&](int, int) {
    int now = ++drawing;
    for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    --drawing;
  });
  EXPECT_LE(most, cores);
  workers_set_threads(0);
}

}  // namespace
