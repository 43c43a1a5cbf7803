// LowerThisThreadsPriority: on Linux a thread has a nice value of its own.
#include "levelset/background_work.h"

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#endif

namespace trel {

namespace {
// Below the frame's own threads, but not idle: background work must still advance on a machine
// whose cores are all busy, since the next frame waits for it.
constexpr int kBackgroundNice = 10;
}  // namespace

void LowerThisThreadsPriority() {
#ifdef __linux__
  // Failure leaves the thread at its priority, which is only slower.
  const auto self = static_cast<id_t>(gettid());
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, self);
  if (errno == 0) (void)setpriority(PRIO_PROCESS, self, std::min(nice + kBackgroundNice, 19));
#endif
}

}  // namespace trel
