// The worker pool that shares a frame's drawing among the machine's cores:
// threads started once and kept waiting, each handed blocks of a range
// (screen columns or rows) until the range is done. Every block is drawn
// exactly as one thread would draw it, so the frame does not depend on the
// number of threads.
#pragma once

// Threads that share the work, the calling thread included; at least 1.
int workers_threads();
// 0 (the default) uses as many threads as the machine has cores.
void workers_set_threads(int threads);

// CPU time spent so far by the calling thread and the pool's threads, in
// milliseconds. Each thread's own clock is read: it includes the time slice
// the thread is running in, where the process's clock may not have brought
// another running thread's time up to date yet. The time these readings
// take is left out.
double workers_cpu_ms();

// Calls work(first, end, context) for consecutive blocks [first, end) of
// `block` items covering 0 .. count - 1, on the calling thread and the
// pool's, and returns when every block is done. Blocks run in any order and
// at the same time, so work may write only what its block owns.
using WorkerBlock = void (*)(int first, int end, void* context);
void workers_run(int count, int block, WorkerBlock work, void* context);

template <typename Work>
void workers_for(int count, int block, Work&& work) {
  workers_run(
      count, block,
      [](int first, int end, void* context) { (*static_cast<Work*>(context))(first, end); },
      &work);
}
