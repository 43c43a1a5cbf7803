// One run at a time in a result folder: `trel track` holds an exclusive lock on OUT/.trel-lock
// for the length of the run, so that a second run into the same folder is refused instead of
// mixing its masks with the first one's. Holding the lock, the run may also clear the temporary
// files that an earlier, interrupted run left behind.
#pragma once

#include <filesystem>
#include <string_view>

namespace trel::tool {

class OutputLock {
 public:
  // Takes the lock, writing this process's id into the lock file. Throws
  // ToolError(kExitCannotCreate), naming the holder's process when another run holds the lock,
  // or the cause when the lock file cannot be made.
  explicit OutputLock(const std::filesystem::path& folder);
  ~OutputLock();
  OutputLock(const OutputLock&) = delete;
  OutputLock& operator=(const OutputLock&) = delete;

 private:
  int fd_ = -1;
};

// Whether a file name is that of a temporary file of an interrupted write (the image library's
// temporary files, and the tool's own of earlier versions). Allocates nothing.
bool IsTemporary(std::string_view name);

// Removes the temporary files of interrupted writes in `folder` (see IsTemporary); call it only
// while holding the folder's lock. Returns how many went.
size_t RemoveStaleTemporaries(const std::filesystem::path& folder);

}  // namespace trel::tool
