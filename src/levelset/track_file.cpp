// The lineage file's name and its writing. The file is written under a temporary name in the
// same folder and renamed into place once complete, so that a failure (missing folder, no
// permission, full disk) leaves an earlier file as it was; every failure is a trel::Error naming
// the file and the cause.
#include "levelset/track_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "labelframe/label_frame.h"
#include "trel/error.h"

namespace trel {

namespace {

constexpr size_t kNameLimit = 1023;  // the 1024-character name buffer less its terminating zero
constexpr int kMaxTemporaryTries = 100;
constexpr mode_t kFileMode = 0666;  // narrowed by the process's umask, as for any new file

// A temporary file next to `path`, open for writing; closed and removed on destruction unless
// it was renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& path) : target_(path) {
    for (int attempt = 0; attempt < kMaxTemporaryTries && !file_; ++attempt) {
      name_ = path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
      const int fd = open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
      if (fd < 0 && errno == EEXIST) continue;
      if (fd < 0) Fail();
      file_ = fdopen(fd, "w");
      if (!file_) {
        const int cause = errno;
        close(fd);
        unlink(name_.c_str());
        Fail(cause);
      }
    }
    if (!file_) Fail(EEXIST);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (file_) fclose(file_);
    if (!renamed_) unlink(name_.c_str());
  }

  FILE* get() const { return file_; }

  // Flushes the data to the disk, closes the file and renames it to the target name.
  void Commit() {
    if (fflush(file_) != 0 || fsync(fileno(file_)) != 0) Fail();
    FILE* file = file_;
    file_ = nullptr;
    if (fclose(file) != 0) Fail();
    if (rename(name_.c_str(), target_.c_str()) != 0) Fail();
    renamed_ = true;
  }

  [[noreturn]] void Fail(int cause = errno) const {
    throw Error("Track file %s cannot be written! (%s)", target_.c_str(), std::strerror(cause));
  }

 private:
  std::string target_;
  std::string name_;
  FILE* file_ = nullptr;
  bool renamed_ = false;
};

}  // namespace

std::string TrackFileName(const FrameSequence& sequence) {
  std::string name;
  if (!FormatFileName(name, "%s/res_track.txt", sequence.out_folder))
    throw Error("Track file name is too long! (Limit=%zu characters)", kNameLimit);
  return name;
}

void LabelFrame::SaveTracks(const char* path) const {
  TemporaryFile file(path);
  for (const auto& [label, record] : tracks)
    if (fprintf(file.get(), "%u %" PRIu64 " %" PRIu64 " %u\n", static_cast<unsigned>(label),
                record.first_frame, record.last_frame, static_cast<unsigned>(record.parent)) < 0)
      file.Fail();
  file.Commit();
}

void RemoveEarlierTrackFile(const FrameSequence& sequence) {
  const std::string name = TrackFileName(sequence);
  if (std::remove(name.c_str()) == 0 || errno == ENOENT) return;
  throw Error("The earlier lineage file %s cannot be removed! (%s)", name.c_str(),
              std::strerror(errno));
}

}  // namespace trel
