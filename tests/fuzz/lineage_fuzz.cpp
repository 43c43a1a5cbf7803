// Feeds arbitrary bytes to the lineage-file reader and the rules `trel validate` applies to the
// table it gives. Any outcome but a ToolError (or a table and its list of broken rules) is a
// finding.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "result_rules.h"
#include "tool_error.h"
#include "track_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int fd = memfd_create("lineage", 0);
  if (fd < 0) return 0;
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  try {
    const auto tracks = trel::tool::ReadTrackFile(path);
    constexpr uint64_t kFrames = 100;
    for (const auto& v : trel::tool::CheckTrackTable(tracks, kFrames))
      (void)trel::tool::FormatViolation(v);
  } catch (const trel::tool::ToolError&) {
  }
  return 0;
}
