// POSIX implementation of the fault guard: SIGBUS is what a mapped page that cannot be read or
// backed raises, delivered to the thread that touched it.
#include "fault_guard.h"

#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace lzpack::fault_guard {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Filled before g_armed is set and never changed after, so a handler that sees g_armed reads a
// whole path. open() refuses a path of PATH_MAX bytes or more, so every created output fits.
char g_output_path[PATH_MAX];
std::atomic<bool> g_armed{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read from signal handlers");

sigset_t stop_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal_number : kStopSignals) sigaddset(&set, signal_number);
  return set;
}

// Only async-signal-safe calls from here on: the handlers may interrupt anything, the codec
// library's allocator included.
void remove_output() {
  if (g_armed.load()) (void)::unlink(g_output_path);
}

void on_fault(int) {
  remove_output();
  _exit(1);
}

void on_stop(int signal_number) {
  remove_output();
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  sigemptyset(&default_action.sa_mask);
  (void)::sigaction(signal_number, &default_action, nullptr);
  // The signal is blocked while its handler runs: it lands with its default action as soon as the
  // handler returns, so the parent sees the run ended by it.
  (void)::raise(signal_number);
}

}  // namespace

void install() {
  const sigset_t held = stop_signals();
  (void)::pthread_sigmask(SIG_BLOCK, &held, nullptr);

  // A stop request arriving while a handler runs would only remove the output a second time.
  struct sigaction action {};
  action.sa_mask = held;
  action.sa_handler = on_fault;
  (void)::sigaction(SIGBUS, &action, nullptr);

  action.sa_handler = on_stop;
  for (const int signal_number : kStopSignals) {
    struct sigaction inherited {};
    if (::sigaction(signal_number, nullptr, &inherited) != 0 || inherited.sa_handler == SIG_IGN) continue;
    (void)::sigaction(signal_number, &action, nullptr);
  }
}

void arm_output_removal(const char* path) {
  const std::size_t length = std::strlen(path);
  if (length < sizeof g_output_path) {
    std::memcpy(g_output_path, path, length + 1);
    g_armed.store(true);
  }
  const sigset_t held = stop_signals();
  (void)::pthread_sigmask(SIG_UNBLOCK, &held, nullptr);
}

}  // namespace lzpack::fault_guard
