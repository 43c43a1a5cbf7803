#include "progress_line.h"

#include <cmath>
#include <cstdio>

namespace trel::tool {

ProgressLine::ProgressLine(std::ostream& err, std::string what)
    : err_(err), what_(std::move(what)), start_(std::chrono::steady_clock::now()) {}

double ProgressLine::ElapsedSeconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void ProgressLine::Update(uint64_t frame, uint64_t count) {
  const double elapsed = ElapsedSeconds();
  const uint64_t done = frame + 1;
  const double left = done < count ? elapsed / double(done) * double(count - done) : 0.0;
  err_ << "\r" << what_ << ": frame " << done << "/" << count << ", " << ClockText(elapsed)
       << " elapsed, about " << ClockText(left) << " left   " << std::flush;
  started_ = true;
}

void ProgressLine::Finish() {
  if (started_) err_ << "\n";
  started_ = false;
}

std::string ClockText(double seconds) {
  const long total = std::lround(std::max(0.0, seconds));
  char text[32];
  if (total >= 3600)
    snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  else
    snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
  return text;
}

}  // namespace trel::tool
