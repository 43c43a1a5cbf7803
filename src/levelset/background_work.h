// Work run beside a frame's evolution, such as preparing the next frame or writing the last
// result: on a thread of its own at a lower scheduling priority, so that the evolution's threads
// keep their cores and this work fills the time they leave free.
#pragma once

#include <future>
#include <utility>

namespace trel {

// Lowers the calling thread's scheduling priority; where the system does not allow it, nothing.
void LowerThisThreadsPriority();

template <class Work>
std::future<void> InBackground(Work&& work) {
  return std::async(std::launch::async, [work = std::forward<Work>(work)]() mutable {
    LowerThisThreadsPriority();
    work();
  });
}

}  // namespace trel
