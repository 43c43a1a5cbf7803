#include "interrupt_cleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <string_view>

#include "output_lock.h"

namespace trel::tool {

namespace {

// SIGUSR2 only ends the watch when the run is over; it never reaches the watcher from outside
// while the run lasts, since the run's threads block it.
constexpr int kStopWatching = SIGUSR2;
// Sent by the watcher to the working thread, whose handler holds it until the process ends.
constexpr int kFreeze = SIGUSR1;
// How long the watcher waits for the working thread to stop before it clears all the same.
constexpr int kFreezeWaitMs = 1000;

volatile sig_atomic_t frozen = 0;

void Freeze(int) {
  frozen = 1;
  for (;;) pause();
}

sigset_t WatchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int s : {SIGINT, SIGTERM, SIGHUP, kStopWatching}) sigaddset(&set, s);
  return set;
}

void Say(std::string_view text) {
  if (write(STDERR_FILENO, text.data(), text.size()) < 0) {
    // Nowhere left to report to; the run ends all the same.
  }
}

// Removes the temporaries in the open folder `dir` with nothing but system calls: the frozen
// thread may hold any lock, the allocator's included.
void RemoveTemporariesAt(int dir) {
  alignas(8) char buffer[4096];
  lseek(dir, 0, SEEK_SET);
  for (;;) {
    const long n = syscall(SYS_getdents64, dir, buffer, sizeof buffer);
    if (n <= 0) return;
    for (long at = 0; at < n;) {
      const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
      if (IsTemporary(entry->d_name)) unlinkat(dir, entry->d_name, 0);
      at += entry->d_reclen;
    }
  }
}

}  // namespace

InterruptCleanup::InterruptCleanup(std::filesystem::path folder)
    : folder_(std::move(folder)), worker_(pthread_self()) {
  struct sigaction freeze {};
  freeze.sa_handler = Freeze;
  sigemptyset(&freeze.sa_mask);
  sigaction(kFreeze, &freeze, &previous_freeze_);
  const sigset_t set = WatchedSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  watcher_ = std::thread([this] { Watch(); });
}

InterruptCleanup::~InterruptCleanup() {
  pthread_kill(watcher_.native_handle(), kStopWatching);
  watcher_.join();
  const sigset_t set = WatchedSignals();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  sigaction(kFreeze, &previous_freeze_, nullptr);
}

void InterruptCleanup::Watch() {
  const sigset_t set = WatchedSignals();
  const int dir = open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  int signal = 0;
  if (sigwait(&set, &signal) != 0 || signal == kStopWatching) {
    if (dir >= 0) close(dir);
    return;
  }
  pthread_kill(worker_, kFreeze);
  for (int waited = 0; !frozen && waited < kFreezeWaitMs; ++waited) usleep(1000);
  if (dir >= 0) RemoveTemporariesAt(dir);
  Say("trel track: stopped by a signal; its temporary files are removed\n");
  // End by the signal itself: the default action, unblocked in this thread only.
  ::signal(signal, SIG_DFL);
  sigset_t one;
  sigemptyset(&one);
  sigaddset(&one, signal);
  pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
  raise(signal);
  _exit(128 + signal);  // only if the default action did not end the process
}

}  // namespace trel::tool
