// StopWatch: wall-clock timing of the library's stages. A stop watch prints "name: t ms" to the
// standard error stream when it is destroyed, but only while the process-wide switch
// ms_is_enabled is true.
#pragma once

#include <chrono>
#include <string>

#include "kerf/export.h"

namespace Kerf::System::Time {

class KERF_API StopWatch {
 public:
  // Whether stop watches print; shared by the whole process.
  static bool ms_is_enabled;

  explicit StopWatch(std::string name);
  ~StopWatch();
  StopWatch(const StopWatch&) = delete;
  StopWatch& operator=(const StopWatch&) = delete;

  // Milliseconds since construction.
  double ElapsedMs() const;

 private:
  std::string m_name;
  std::chrono::steady_clock::time_point m_start;
};

}  // namespace Kerf::System::Time
