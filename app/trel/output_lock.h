// One run at a time in a result folder: `trel track` holds an exclusive lock on OUT/.trel-lock
// for the length of the run, so that a second run into the same folder is refused instead of
// mixing its masks with the first one's. Holding the lock, the run may also clear the temporary
// files that an earlier, interrupted run left behind.
#pragma once

#include <filesystem>

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

// Removes the temporary files of interrupted writes in `folder` (".maskTTT.tif.*.part",
// "*.part-*"); call it only while holding the folder's lock. Returns how many went.
size_t RemoveStaleTemporaries(const std::filesystem::path& folder);

}  // namespace trel::tool
