#include "common/exit_cleanup.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace o3 {
namespace {

constexpr int slot_count = 8;
constexpr std::size_t path_capacity = 4096;
// Every signal whose default ends the process and that a user, a batch
// system or a resource limit sends (SIGXCPU: a CPU-time limit, SIGXFSZ: a
// file-size limit); not SIGPROF and SIGVTALRM, which profilers own.
constexpr int cleanup_signals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGPIPE, SIGQUIT,
                                   SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ};

// Static storage only: the signal handler may read it at any moment, and
// may call nothing but async-signal-safe functions.
char paths[slot_count][path_capacity];
volatile sig_atomic_t in_use[slot_count];
bool installed = false;

void remove_registered() {
  for (int s = 0; s < slot_count; ++s) {
    if (in_use[s] != 0) unlink(paths[s]);
  }
}

void on_signal(int sig) {
  remove_registered();
  // The default action, delivered as soon as the signal is unblocked again:
  // the process ends as that signal, as if nothing had caught it.
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(sig, &action, nullptr);
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, sig);
  sigprocmask(SIG_UNBLOCK, &mask, nullptr);
  raise(sig);
}

void install() {
  installed = true;
  std::atexit(remove_registered);
  for (const int sig : cleanup_signals) {
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) {
      continue;  // nohup and background jobs: the caller chose to ignore it
    }
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    // All of them blocked while one is handled, so that the handler's
    // unlink is not cut short by another.
    for (const int other : cleanup_signals) sigaddset(&action.sa_mask, other);
    action.sa_flags = SA_RESTART;
    sigaction(sig, &action, nullptr);
  }
}

}  // namespace

int remove_at_exit(const char* path) {
  if (std::strlen(path) >= path_capacity) return -1;
  if (!installed) install();
  for (int s = 0; s < slot_count; ++s) {
    if (in_use[s] != 0) continue;
    std::strcpy(paths[s], path);
    // The path is complete before the handler may look at it.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    in_use[s] = 1;
    return s;
  }
  return -1;
}

void hold_signals_to_exit() {
  sigset_t held;
  sigemptyset(&held);
  for (const int sig : cleanup_signals) sigaddset(&held, sig);
  sigprocmask(SIG_BLOCK, &held, nullptr);
}

void keep_at_exit(int slot) {
  if (slot >= 0 && slot < slot_count) in_use[slot] = 0;
}

}  // namespace o3
