// The stop signals' handler: records the signal on the main thread and hands
// it on to the main thread from any other, so that it interrupts the main
// thread's blocked call and honours the main thread's holding.
#include "platform/stop_signals.h"

#include <pthread.h>
#include <signal.h>

namespace {

volatile sig_atomic_t caught = 0;
pthread_t main_thread;

void on_stop_signal(int signal_number) {
  if (!pthread_equal(pthread_self(), main_thread)) {
    pthread_kill(main_thread, signal_number);
    return;
  }
  caught = signal_number;
}

void stop_signal_set(sigset_t* set) {
  sigemptyset(set);
  sigaddset(set, SIGINT);
  sigaddset(set, SIGTERM);
}

}  // namespace

void catch_stop_signals() {
  main_thread = pthread_self();
  struct sigaction action = {};
  action.sa_handler = on_stop_signal;
  stop_signal_set(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a read, wait or open in progress ends with EINTR
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int stop_signal() { return caught; }

void hold_stop_signals(bool held) {
  sigset_t set;
  stop_signal_set(&set);
  pthread_sigmask(held ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}
