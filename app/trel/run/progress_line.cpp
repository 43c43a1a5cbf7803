#include "progress_line.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace trel::tool {

namespace {
constexpr uint64_t kLogSteps = 10;  // lines of a log: one every tenth of the run
}  // namespace

ProgressLine::ProgressLine(std::ostream& err, std::string what, Style style)
    : err_(err), what_(std::move(what)), style_(style), start_(std::chrono::steady_clock::now()) {}

double ProgressLine::ElapsedSeconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void ProgressLine::Update(uint64_t frame, uint64_t count) {
  if (style_ == Style::kNone || count == 0) return;
  const uint64_t done = frame + 1;
  const uint64_t tenths = done * kLogSteps / count;
  if (style_ == Style::kLog && tenths == logged_tenths_) return;
  logged_tenths_ = tenths;
  const double elapsed = ElapsedSeconds();
  const double left = done < count ? elapsed / double(done) * double(count - done) : 0.0;
  err_ << (style_ == Style::kLine ? "\r" : "") << what_ << ": frame " << done << "/" << count
       << ", " << ClockText(elapsed) << " elapsed, about " << ClockText(left) << " left"
       << (style_ == Style::kLine ? "   " : "\n") << std::flush;
  started_ = style_ == Style::kLine;
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
