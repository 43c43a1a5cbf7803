// A move-only owner of a libtiff handle that collects libtiff's error messages instead of letting
// them reach the console, so that every failure can be raised as an IOException with its cause.
#pragma once

#include <tiffio.h>

#include <memory>
#include <string>

namespace voxa::tiff {

class TiffFile {
 public:
  // Opens `path` for reading; throws IOException naming the file and libtiff's cause.
  static TiffFile OpenForReading(const char* path);
  // Takes over an open file descriptor for writing (mode "w" or "w8" for BigTIFF); it is closed
  // with the file, or at once when opening fails.
  static TiffFile OpenForWriting(int fd, const char* path, const char* mode);

  TiffFile(TiffFile&& other) noexcept;
  TiffFile& operator=(TiffFile&&) = delete;
  TiffFile(const TiffFile&) = delete;
  ~TiffFile();

  TIFF* get() const { return tif_; }
  const std::string& path() const { return path_; }
  // libtiff's messages since the last call, joined; "unknown cause" when there were none.
  std::string TakeErrors();
  bool HasErrors() const { return errors_ && !errors_->empty(); }
  // Throws IOException "<what> '<path>' (<libtiff errors>)", followed by the system's text for
  // `system_error` when it is not 0 (a full disk, a file-size limit).
  [[noreturn]] void Fail(const std::string& what, int system_error = 0);
  // Flushes and closes; throws IOException when the final write fails.
  void Close();

 private:
  TiffFile() = default;
  static int OnError(TIFF*, void* self, const char* module, const char* fmt, va_list args);
  static int OnWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }
  void Open(const char* mode, int fd);

  TIFF* tif_ = nullptr;
  std::string path_;
  // On the heap, so that the address given to libtiff's error handler survives a move.
  std::unique_ptr<std::string> errors_ = std::make_unique<std::string>();
};

}  // namespace voxa::tiff
