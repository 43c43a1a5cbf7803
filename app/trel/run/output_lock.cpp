// flock(2) on a file in the folder: released by the kernel when the process ends, however it
// ends, so a killed run never leaves the folder locked.
#include "output_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "tool_error.h"
#include "voxa/temporary_file.h"

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

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// "<name><marker><pid>-<n>" with a name before the marker.
bool HasNumberedSuffix(std::string_view name, std::string_view marker) {
  const size_t at = name.rfind(marker);
  if (at == std::string_view::npos || at == 0) return false;
  const std::string_view rest = name.substr(at + marker.size());
  const size_t dash = rest.find('-');
  return dash != std::string_view::npos && AllDigits(rest.substr(0, dash)) &&
         AllDigits(rest.substr(dash + 1));
}

}  // namespace

bool IsTemporary(std::string_view name) {
  // Besides the image library's, the names earlier versions used: the tool's own
  // "<name>.part-<pid>-<n>" and the library's lineage "res_track.txt.tmp-<pid>-<n>".
  return voxa::IsTemporaryFileName(name) || HasNumberedSuffix(name, ".part-") ||
         (name.starts_with("res_track.txt.") && HasNumberedSuffix(name, ".tmp-"));
}

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
  size_t removed = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error) && !entry.is_symlink(error)) continue;
    if (!IsTemporary(entry.path().filename().string())) continue;
    if (std::filesystem::remove(entry.path(), error)) ++removed;
  }
  return removed;
}

}  // namespace trel::tool
