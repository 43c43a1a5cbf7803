// The lineage file of a tracking ("L B E P" per line: label, first frame, last frame, parent
// label or 0), read and written as plain text. Reading keeps every line as written, duplicates
// and contradictions included, so that the rules can report them; only lines that are not four
// non-negative integers are refused.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace trel::tool {

struct TrackLine {
  uint64_t label = 0;
  uint64_t begin = 0;
  uint64_t end = 0;
  uint64_t parent = 0;
  uint64_t line = 0;  // 1-based line number in the file, 0 for tracks not read from a file
};

// Throws ToolError: kExitNoInput when the file does not exist, kExitDataError for a malformed
// line (naming the file and line), kExitIoError when reading fails.
std::vector<TrackLine> ReadTrackFile(const std::filesystem::path& file);

// Writes one line per track in the given order; the file appears only when completely written.
// Throws ToolError(kExitCannotCreate) when it cannot be written.
void WriteTrackFile(const std::filesystem::path& file, const std::vector<TrackLine>& tracks);

// Removes the lineage file (if any) before the masks it describes are rewritten, so that a run
// stopped half-way leaves a folder visibly incomplete rather than a lineage that contradicts its
// masks. Throws ToolError(kExitCannotCreate) when it cannot be removed.
void RemoveTrackFile(const std::filesystem::path& file);

}  // namespace trel::tool
