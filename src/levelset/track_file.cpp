// The lineage file's name and its writing, through the image library's temporary file: a failure
// (missing folder, no permission, full disk) leaves an earlier file as it was; every failure is a
// trel::Error naming the file and the cause.
#include "levelset/track_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "labelframe/label_frame.h"
#include "trel/error.h"
#include "voxa/temporary_file.h"

namespace trel {

namespace {

constexpr size_t kNameLimit = 1023;  // the 1024-character name buffer less its terminating zero

}  // namespace

std::string TrackFileName(const FrameSequence& sequence) {
  std::string name;
  if (!FormatFileName(name, "%s/res_track.txt", sequence.out_folder))
    throw Error("Track file name is too long! (Limit=%zu characters)", kNameLimit);
  return name;
}

namespace {

void WriteTrackFile(const char* path, const std::map<uint16_t, TrackRecord>& tracks) {
  std::string text;
  for (const auto& [label, record] : tracks)
    text += std::to_string(label) + ' ' + std::to_string(record.first_frame) + ' ' +
            std::to_string(record.last_frame) + ' ' + std::to_string(record.parent) + '\n';
  try {
    voxa::WriteFileAtomically(path, text);
  } catch (const voxa::FileSystemError& e) {
    throw Error("Track file %s cannot be written! (%s)", path, std::strerror(e.error()));
  }
}

}  // namespace

void LabelFrame::SaveTracks(const char* path) const {
  WriteTrackFile(path, tracks);
}

// The folder's side of Frames lives beside the lineage file's format.
void FrameSequence::ForgetEarlierLineage() const {
  RemoveEarlierTrackFile(*this);
}

void FrameSequence::SaveLineage(const std::map<uint16_t, TrackRecord>& tracks) const {
  WriteTrackFile(TrackFileName(*this).c_str(), tracks);
}

void RemoveEarlierTrackFile(const FrameSequence& sequence) {
  const std::string name = TrackFileName(sequence);
  if (std::remove(name.c_str()) == 0 || errno == ENOENT) return;
  throw Error("The earlier lineage file %s cannot be removed! (%s)", name.c_str(),
              std::strerror(errno));
}

}  // namespace trel
