// Stage timing: a stop watch measures wall-clock time from its construction and prints it to the
// standard error stream at its destruction while the process-wide switch is on.
#include "kerf/stop_watch.h"

#include <cstdio>
#include <utility>

namespace Kerf::System::Time {

bool StopWatch::ms_is_enabled = true;

StopWatch::StopWatch(std::string name)
    : m_name(std::move(name)), m_start(std::chrono::steady_clock::now()) {}

StopWatch::~StopWatch() {
  if (ms_is_enabled) std::fprintf(stderr, "%s: %.1f ms\n", m_name.c_str(), ElapsedMs());
}

double StopWatch::ElapsedMs() const {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_start)
      .count();
}

}  // namespace Kerf::System::Time
