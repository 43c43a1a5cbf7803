// The temporary's name carries the process id and a counter, and is opened with O_EXCL and
// O_NOFOLLOW; it is removed on every failure.
#include "atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "tool_error.h"

namespace trel::tool {

namespace {

constexpr int kMaxTries = 100;
constexpr mode_t kFileMode = 0666;  // narrowed by the process's umask, as for any new file

std::string Cause() {
  return std::strerror(errno);
}

// Opens a fresh temporary beside `file`; sets `name` to its path.
int OpenTemporary(const std::filesystem::path& file, std::string& name) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < kMaxTries; ++attempt) {
    name = file.string() + ".part-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    const int fd =
        open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  throw ToolError(kExitCannotCreate, "cannot create " + file.string() + " (" + Cause() + ")");
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return fsync(fd) == 0;
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& file, const std::string& bytes) {
  std::string temporary;
  const int fd = OpenTemporary(file, temporary);
  const bool written = WriteAll(fd, bytes);
  const std::string cause = written ? "" : Cause();
  const bool closed = close(fd) == 0;
  if (!written || !closed) {
    unlink(temporary.c_str());
    throw ToolError(kExitIoError,
                    "writing " + file.string() + " failed (" + (written ? Cause() : cause) + ")");
  }
  if (rename(temporary.c_str(), file.c_str()) != 0) {
    const std::string why = Cause();
    unlink(temporary.c_str());
    throw ToolError(kExitCannotCreate, "cannot create " + file.string() + " (" + why + ")");
  }
}

}  // namespace trel::tool
