// Line-by-line parsing of the lineage file with strict integer fields, and writing through a
// temporary file that is renamed into place so that no partial file is left under the name.
#include "track_file.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <string>

#include "atomic_file.h"
#include "tool_error.h"

namespace trel::tool {

namespace {

constexpr int kFieldsPerLine = 4;

bool ParseLine(const std::string& text, uint64_t (&fields)[kFieldsPerLine], bool& blank) {
  const char* p = text.data();
  const char* const end = p + text.size();
  auto skip_space = [&] {
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r')) ++p;
  };
  skip_space();
  blank = (p == end);
  if (blank) return true;
  for (int k = 0; k < kFieldsPerLine; ++k) {
    skip_space();
    const auto [next, error] = std::from_chars(p, end, fields[k]);
    if (error != std::errc() || next == p) return false;
    p = next;
    if (p < end && *p != ' ' && *p != '\t' && *p != '\r') return false;
  }
  skip_space();
  return p == end;
}

}  // namespace

std::vector<TrackLine> ReadTrackFile(const std::filesystem::path& file) {
  if (!std::filesystem::exists(file))
    throw ToolError(kExitNoInput, "cannot read " + file.string() + " (no such file)");
  std::ifstream in(file);
  if (!in) throw ToolError(kExitNoInput, "cannot open " + file.string());
  std::vector<TrackLine> tracks;
  std::string text;
  uint64_t number = 0;
  while (std::getline(in, text)) {
    ++number;
    uint64_t fields[kFieldsPerLine] = {};
    bool blank = false;
    if (!ParseLine(text, fields, blank))
      throw ToolError(kExitDataError, file.string() + " line " + std::to_string(number) +
                                          ": expected four non-negative integers 'L B E P', "
                                          "found '" +
                                          text + "'");
    if (!blank) tracks.push_back({fields[0], fields[1], fields[2], fields[3], number});
  }
  if (in.bad()) throw ToolError(kExitIoError, "reading " + file.string() + " failed");
  return tracks;
}

void WriteTrackFile(const std::filesystem::path& file, const std::vector<TrackLine>& tracks) {
  std::ostringstream text;
  for (const TrackLine& t : tracks)
    text << t.label << ' ' << t.begin << ' ' << t.end << ' ' << t.parent << '\n';
  WriteFileAtomically(file, text.str());
}

void RemoveTrackFile(const std::filesystem::path& file) {
  std::error_code error;
  std::filesystem::remove(file, error);
  if (error)
    throw ToolError(kExitCannotCreate,
                    "cannot remove the old " + file.string() + " (" + error.message() + ")");
}

}  // namespace trel::tool
