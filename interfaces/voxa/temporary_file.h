// Whole files or none: a file is written under a temporary name beside its final one and renamed
// into place once complete and on disk, so that a reader never sees a partial file under the
// name. The temporary ("." + name + ".<process>.<count>.<random>.part") is created exclusively and
// never through a link: a link planted where a file is written cannot send its bytes elsewhere.
// The TIFF writer and every other writer of the programs go through it.
#pragma once

#include <string>
#include <string_view>

#include "voxa/exceptions.h"
#include "voxa/export.h"

namespace voxa {

// A failure of the file system (no folder, no permission, a full disk), with the system's error
// number, so that a caller can word the cause its own way.
class VOXA_CORE_API FileSystemError : public IOException {
 public:
  FileSystemError(const std::string& what, int error) : IOException(what), error_(error) {}
  int error() const { return error_; }

 private:
  int error_;
};

class VOXA_CORE_API TemporaryFile {
 public:
  // Creates the temporary beside `final_name`. Throws FileSystemError "Cannot create file
  // '<final_name>' (<system cause>)".
  explicit TemporaryFile(const std::string& final_name);
  // Removes the temporary unless it was committed.
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  // Writes all of `bytes`. Throws FileSystemError "Cannot write file '<final_name>' (<cause>)".
  void Write(std::string_view bytes);
  // Syncs, closes and renames the temporary to the final name. Throws FileSystemError "Cannot
  // write file '<final_name>' (<cause>)".
  void Commit();

 private:
  std::string final_name_;
  std::string path_;
  int fd_ = -1;
};

// Whether `name` (a file name without folder) is that of a TemporaryFile. Allocates nothing.
VOXA_CORE_API bool IsTemporaryFileName(std::string_view name);

// A TemporaryFile written with `bytes` and committed.
VOXA_CORE_API void WriteFileAtomically(const std::string& file, std::string_view bytes);

}  // namespace voxa
