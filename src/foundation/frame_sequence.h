// FrameSequence names the frame files of a time-lapse sequence and does all file access for it:
// input frame i is in_folder/tNNN.tif, output frame i is out_folder/<prefix>NNN.tif (at least
// three digits, more for frame 1000 and later; at least four, tNNNN.tif and <prefix>NNNN.tif,
// for a folder that numbers its frames from t0000.tif and has no t000.tif). Frames are read as
// 16-bit images (8-bit files are widened without scaling) and every failure is a trel::Error naming
// the frame.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/frames.h"
#include "voxa/image3d.h"

namespace trel {

struct FrameSequence : Frames {
  FrameSequence(const char* in, const char* out, uint64_t slices, uint64_t frames)
      : in_folder(in), out_folder(out), num_slices(slices), num_frames(frames) {}

  const char* in_folder;
  const char* out_folder;
  uint64_t num_slices;
  uint64_t num_frames;

  std::string InputFrameName(uint64_t i) const;
  std::string OutputFrameName(uint64_t i, const char* prefix) const;
  // Replaces the image with frame i; checks the voxel type and the number of slices.
  void LoadFrame(voxa::Image3d<unsigned short>& image, uint64_t i) const override;
  // Writes the image as output frame i; the file appears only when completely written.
  void SaveFrame(const voxa::Image3d<unsigned short>& image, uint64_t i,
                 const char* prefix) const override;
  // Removes out_folder/res_track.txt (see RemoveEarlierTrackFile).
  void ForgetEarlierLineage() const override;
  // Writes out_folder/res_track.txt (see the lineage file).
  void SaveLineage(const std::map<uint16_t, TrackRecord>& tracks) const override;

 private:
  void CheckIndex(uint64_t i) const;
  // The least digit count of the frame numbers: 3, or 4 for a folder with t0000.tif and no
  // t000.tif.
  int Digits() const;
};

// Reads a whole file into the image; on failure stores the cause in `reason` and returns false.
// Never throws.
template <class T>
bool TryReadImage(voxa::Image3d<T>& image, const char* file_name, std::string& reason) noexcept;

// Copies an 8-bit image into a 16-bit one, values unchanged, with its geometry and description.
void WidenFrame(voxa::Image3d<unsigned short>& target, const voxa::Image3d<unsigned char>& source);

// Formats a file name into the fixed-size name buffer; false when it would not fit.
bool FormatFileName(std::string& name, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

}  // namespace trel
