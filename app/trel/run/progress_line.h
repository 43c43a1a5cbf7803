// A progress report: frames done, elapsed time and the time left, estimated from the mean time
// per frame so far. On a terminal one line is rewritten in place with "\r"; in a log (a file, a
// cluster's job output) a plain line is added every tenth of the run.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace trel::tool {

class ProgressLine {
 public:
  enum class Style { kNone, kLine, kLog };

  ProgressLine(std::ostream& err, std::string what, Style style = Style::kLine);
  // Frame `frame` (0-based) of `count` is done.
  void Update(uint64_t frame, uint64_t count);
  // Ends the line, if one was started.
  void Finish();
  double ElapsedSeconds() const;

 private:
  std::ostream& err_;
  std::string what_;
  Style style_;
  uint64_t logged_tenths_ = 0;
  std::chrono::steady_clock::time_point start_;
  bool started_ = false;
};

// "1:05" for 65 seconds, "1:02:03" from an hour on.
std::string ClockText(double seconds);

}  // namespace trel::tool
