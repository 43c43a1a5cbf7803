#include "tiff_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "voxa/exceptions.h"

namespace voxa::tiff {

namespace {
// libtiff's own allocations (strip tables, directory arrays) are bounded so that a forged
// header cannot make it reserve gigabytes.
constexpr tmsize_t kMaxLibtiffAllocation = tmsize_t(1) << 30;
// A broken file can make libtiff report an error for every row; the first ones tell the cause.
constexpr size_t kMaxErrorText = 1024;

struct OptionsDeleter {
  void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};
}  // namespace

int TiffFile::OnError(TIFF*, void* self, const char* module, const char* fmt, va_list args) {
  char text[512];
  vsnprintf(text, sizeof text, fmt, args);
  std::string& errors = *static_cast<std::string*>(self);
  if (errors.size() >= kMaxErrorText) {
    if (!errors.ends_with("...")) errors += "; ...";
    return 1;
  }
  if (!errors.empty()) errors += "; ";
  if (module && *module && std::strcmp(module, "TIFFOpen") != 0)
    errors += std::string(module) + ": ";
  errors += text;
  return 1;  // handled: nothing reaches the console
}

void TiffFile::Open(const char* mode, int fd) {
  std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxLibtiffAllocation);
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &TiffFile::OnError, errors_.get());
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &TiffFile::OnWarning, nullptr);
  tif_ = fd < 0 ? TIFFOpenExt(path_.c_str(), mode, options.get())
                : TIFFFdOpenExt(fd, path_.c_str(), mode, options.get());
}

TiffFile TiffFile::OpenForReading(const char* path) {
  // The system's own words for a missing or unreadable file, rather than libtiff's.
  if (access(path, R_OK) != 0)
    throw IOException(std::string("Cannot open file '") + path + "' (" + std::strerror(errno) +
                      ")");
  TiffFile file;
  file.path_ = path;
  file.Open("r", -1);
  if (!file.tif_) file.Fail("Cannot open file");
  return file;
}

TiffFile TiffFile::OpenForWriting(int fd, const char* path, const char* mode) {
  TiffFile file;
  file.path_ = path;
  errno = 0;
  file.Open(mode, fd);
  if (!file.tif_) {
    const int error = errno;
    close(fd);  // libtiff owns the descriptor only once it has opened it
    file.Fail("Cannot create file", error);
  }
  return file;
}

TiffFile::TiffFile(TiffFile&& other) noexcept
    : tif_(std::exchange(other.tif_, nullptr)),
      path_(std::move(other.path_)),
      errors_(std::move(other.errors_)) {}

TiffFile::~TiffFile() {
  if (tif_) TIFFClose(tif_);
}

std::string TiffFile::TakeErrors() {
  std::string e = errors_->empty() ? std::string("unknown cause") : std::move(*errors_);
  errors_->clear();
  return e;
}

void TiffFile::Fail(const std::string& what, int system_error) {
  std::string cause = TakeErrors();
  if (system_error != 0) cause += std::string(": ") + std::strerror(system_error);
  throw IOException(what + " '" + path_ + "' (" + cause + ")");
}

void TiffFile::Close() {
  if (!tif_) return;
  errno = 0;
  const bool flushed = TIFFFlush(tif_) == 1;
  const int error = errno;
  TIFFClose(std::exchange(tif_, nullptr));
  if (!flushed) Fail("Cannot finish writing file", error);
}

}  // namespace voxa::tiff
