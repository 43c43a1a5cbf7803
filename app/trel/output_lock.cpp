// flock(2) on a file in the folder: released by the kernel when the process ends, however it
// ends, so a killed run never leaves the folder locked.
#include "output_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <regex>
#include <string>

#include "tool_error.h"

namespace trel::tool {

namespace {

constexpr const char* kLockName = ".trel-lock";
constexpr mode_t kFileMode = 0666;

std::string Holder(int fd) {
  char text[32] = {};
  const ssize_t n = pread(fd, text, sizeof text - 1, 0);
  std::string pid = n > 0 ? std::string(text, static_cast<size_t>(n)) : "";
  pid.erase(pid.find_last_not_of(" \n") + 1);
  return pid.empty() ? "an unknown process" : "process " + pid;
}

}  // namespace

OutputLock::OutputLock(const std::filesystem::path& folder) {
  const std::string name = (folder / kLockName).string();
  fd_ = open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, kFileMode);
  if (fd_ < 0)
    throw ToolError(kExitCannotCreate, "cannot create " + name + " (" + std::strerror(errno) + ")");
  if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    const std::string holder = Holder(fd_);
    close(fd_);
    fd_ = -1;
    throw ToolError(kExitCannotCreate, folder.string() + " is in use by another trel track run (" +
                                           holder + "); wait for it or choose another folder");
  }
  const std::string pid = std::to_string(getpid()) + "\n";
  if (ftruncate(fd_, 0) != 0 || pwrite(fd_, pid.data(), pid.size(), 0) < 0) {
    // The lock holds without the id; only the message of a refused run loses it.
  }
}

OutputLock::~OutputLock() {
  if (fd_ >= 0) close(fd_);
}

size_t RemoveStaleTemporaries(const std::filesystem::path& folder) {
  static const std::regex kTemporary(
      R"((\.mask\d+\.tif\.\d+\.\d+\.[0-9a-f]{8}\.part)|(.+\.part-\d+-\d+))");
  size_t removed = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error) && !entry.is_symlink(error)) continue;
    if (!std::regex_match(entry.path().filename().string(), kTemporary)) continue;
    if (std::filesystem::remove(entry.path(), error)) ++removed;
  }
  return removed;
}

}  // namespace trel::tool
