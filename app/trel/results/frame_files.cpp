// Frame file naming and discovery: names are formatted with a fixed minimum digit count, and the
// SEG folder is scanned once with a strict pattern so that unrelated files are ignored.
#include "frame_files.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <system_error>

namespace trel::tool {

namespace {

constexpr int kShortDigits = 3;
constexpr int kLongDigits = 4;
constexpr const char* kImageExtension = ".tif";

std::string Numbered(const std::string& prefix, uint64_t number, int digits) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*llu", digits, static_cast<unsigned long long>(number));
  return prefix + text + kImageExtension;
}

// Parses a run of decimal digits from `text` at `pos`; false when there is none.
bool ParseNumber(const std::string& text, size_t& pos, uint64_t& value) {
  const char* begin = text.data() + pos;
  const char* end = text.data() + text.size();
  const auto [next, error] = std::from_chars(begin, end, value);
  if (error != std::errc() || next == begin || *begin == '+' || *begin == '-') return false;
  pos += static_cast<size_t>(next - begin);
  return true;
}

bool ParseSegName(const std::string& name, SegFile& file) {
  const std::string prefix = "man_seg";
  if (name.rfind(prefix, 0) != 0 || name.size() < prefix.size() + 4 ||
      name.compare(name.size() - 4, 4, kImageExtension) != 0)
    return false;
  const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - 4);
  size_t pos = 0;
  if (!middle.empty() && middle[0] == '_') {
    pos = 1;
    if (!ParseNumber(middle, pos, file.frame) || pos >= middle.size() || middle[pos] != '_')
      return false;
    ++pos;
    if (!ParseNumber(middle, pos, file.slice)) return false;
    file.single_slice = true;
  } else if (!ParseNumber(middle, pos, file.frame)) {
    return false;
  }
  return pos == middle.size();
}

}  // namespace

FrameFiles::FrameFiles(std::filesystem::path folder, std::string prefix)
    : folder_(std::move(folder)), prefix_(std::move(prefix)), digits_(kShortDigits) {
  std::error_code ignored;
  if (!std::filesystem::exists(folder_ / Numbered(prefix_, 0, kShortDigits), ignored) &&
      std::filesystem::exists(folder_ / Numbered(prefix_, 0, kLongDigits), ignored))
    digits_ = kLongDigits;
}

std::filesystem::path FrameFiles::Name(uint64_t frame) const {
  return folder_ / Numbered(prefix_, frame, digits_);
}

uint64_t FrameFiles::CountFrames() const {
  std::error_code ignored;
  uint64_t count = 0;
  while (std::filesystem::exists(Name(count), ignored)) ++count;
  return count;
}

std::optional<uint64_t> FrameFiles::LastFrame() const {
  std::optional<uint64_t> last;
  std::error_code error;
  if (!std::filesystem::is_directory(folder_, error)) return last;
  for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix_, 0) != 0) continue;
    size_t pos = prefix_.size();
    uint64_t frame = 0;
    if (!ParseNumber(name, pos, frame) || name != Numbered(prefix_, frame, digits_)) continue;
    if (!last || frame > *last) last = frame;
  }
  return last;
}

std::vector<SegFile> ListSegFiles(const std::filesystem::path& folder) {
  std::vector<SegFile> files;
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) return files;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    SegFile file;
    if (!ParseSegName(entry.path().filename().string(), file)) continue;
    file.path = entry.path();
    files.push_back(file);
  }
  std::sort(files.begin(), files.end(), [](const SegFile& a, const SegFile& b) {
    if (a.frame != b.frame) return a.frame < b.frame;
    if (a.single_slice != b.single_slice) return !a.single_slice;
    return a.slice < b.slice;
  });
  return files;
}

GroundTruthLayout::GroundTruthLayout(const std::filesystem::path& gt)
    : tra_folder(gt / "TRA"),
      seg_folder(gt / "SEG"),
      track_file(gt / "TRA" / "man_track.txt"),
      markers(gt / "TRA", "man_track") {}

ResultLayout::ResultLayout(const std::filesystem::path& res)
    : track_file(res / "res_track.txt"), masks(res, "mask") {}

}  // namespace trel::tool
