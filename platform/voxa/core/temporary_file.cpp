#include "voxa/temporary_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "voxa/exceptions.h"

namespace voxa {

namespace {

constexpr int kMaxTries = 100;
constexpr mode_t kFileMode = 0666;  // narrowed by the process's umask, as for any new file
constexpr std::string_view kSuffix = ".part";

bool AllOf(std::string_view text, const char* alphabet) {
  return !text.empty() && text.find_first_not_of(alphabet) == std::string_view::npos;
}

[[noreturn]] void Fail(const char* what, const std::string& name, int error) {
  throw FileSystemError(std::string(what) + " '" + name + "' (" + std::strerror(error) + ")",
                        error);
}

}  // namespace

TemporaryFile::TemporaryFile(const std::string& final_name) : final_name_(final_name) {
  static std::atomic<unsigned> counter{0};
  const size_t slash = final_name.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : final_name.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? final_name : final_name.substr(slash + 1);
  std::random_device random;
  for (int attempt = 0; attempt < kMaxTries && fd_ < 0; ++attempt) {
    char suffix[48];
    snprintf(suffix, sizeof suffix, ".%d.%u.%08x.part", static_cast<int>(getpid()),
             counter.fetch_add(1), random());
    path_ = dir;
    path_.append(".").append(base).append(suffix);
    fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    const int error = errno;
    path_.clear();
    Fail("Cannot create file", final_name, error);
  }
}

TemporaryFile::~TemporaryFile() {
  if (fd_ >= 0) close(fd_);
  if (!path_.empty()) unlink(path_.c_str());
}

void TemporaryFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("Cannot write file", final_name_, n < 0 ? errno : ENOSPC);
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

void TemporaryFile::Commit() {
  if (fsync(fd_) != 0) Fail("Cannot write file", final_name_, errno);
  const int closed = close(fd_);
  fd_ = -1;
  if (closed != 0) Fail("Cannot write file", final_name_, errno);
  if (rename(path_.c_str(), final_name_.c_str()) != 0)
    Fail("Cannot write file", final_name_, errno);
  path_.clear();
}

bool IsTemporaryFileName(std::string_view name) {
  // "." base "." pid "." count "." 8 hex ".part"
  if (name.size() <= kSuffix.size() || name.front() != '.' ||
      name.substr(name.size() - kSuffix.size()) != kSuffix)
    return false;
  name.remove_suffix(kSuffix.size());
  for (const char* alphabet : {"0123456789abcdef", "0123456789", "0123456789"}) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || !AllOf(name.substr(dot + 1), alphabet))
      return false;
    name = name.substr(0, dot);
  }
  return true;
}

void WriteFileAtomically(const std::string& file, std::string_view bytes) {
  TemporaryFile temporary(file);
  temporary.Write(bytes);
  temporary.Commit();
}

}  // namespace voxa
