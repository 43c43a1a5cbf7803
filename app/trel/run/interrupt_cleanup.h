// A run stopped by SIGINT, SIGTERM or SIGHUP clears its temporary files before it goes. The
// signals are taken by a watcher thread (sigwait) rather than a handler, so the clearing may use
// the file system freely. The watcher first freezes the working thread (a signal whose handler
// never returns), so that no new file is begun while it clears; the process then ends by the
// same signal, as the shell expects.
#pragma once

#include <pthread.h>
#include <signal.h>

#include <filesystem>
#include <thread>

namespace trel::tool {

class InterruptCleanup {
 public:
  // Blocks the signals in the calling thread (construct it before any other thread starts) and
  // watches for them until destroyed. `folder` must be locked by this run (see OutputLock).
  explicit InterruptCleanup(std::filesystem::path folder);
  ~InterruptCleanup();
  InterruptCleanup(const InterruptCleanup&) = delete;
  InterruptCleanup& operator=(const InterruptCleanup&) = delete;

 private:
  void Watch();

  std::filesystem::path folder_;
  pthread_t worker_;
  struct sigaction previous_freeze_ {};
  std::thread watcher_;
};

}  // namespace trel::tool
