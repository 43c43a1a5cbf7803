// The masks of a run, frame by frame: a result folder's maskTTT.tif files or an array in memory,
// so that the graph cut's steps after the library (outlines of stacks, divisions and lineage) are
// the same code for `trel track` and for the Python module.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "frame_files.h"
#include "label_image.h"

namespace trel::tool {

class MaskStore {
 public:
  virtual ~MaskStore() = default;
  virtual void Read(uint64_t t, LabelImage& mask) const = 0;
  virtual void Write(uint64_t t, const LabelImage& mask) = 0;
  // What messages call frame t's mask (its file).
  virtual std::filesystem::path Name(uint64_t t) const = 0;
  // What messages call the whole (its folder).
  virtual std::string Where() const = 0;
};

class FolderMasks : public MaskStore {
 public:
  explicit FolderMasks(const std::filesystem::path& folder) : files_(folder, "mask") {}
  void Read(uint64_t t, LabelImage& mask) const override { ReadLabelImage(files_.Name(t), mask); }
  void Write(uint64_t t, const LabelImage& mask) override { WriteLabelImage(files_.Name(t), mask); }
  std::filesystem::path Name(uint64_t t) const override { return files_.Name(t); }
  std::string Where() const override { return files_.folder().string(); }

 private:
  FrameFiles files_;
};

// Frames of `slices` x `rows` x `columns` voxels, one after another (x fastest), in memory that
// outlives the store.
class MemoryMasks : public MaskStore {
 public:
  MemoryMasks(uint16_t* voxels, uint64_t slices, uint64_t rows, uint64_t columns)
      : voxels_(voxels), slices_(slices), rows_(rows), columns_(columns) {}
  void Read(uint64_t t, LabelImage& mask) const override;
  void Write(uint64_t t, const LabelImage& mask) override;
  std::filesystem::path Name(uint64_t t) const override { return "mask " + std::to_string(t); }
  std::string Where() const override { return "the masks in memory"; }

 private:
  uint64_t FrameVoxels() const { return slices_ * rows_ * columns_; }

  uint16_t* voxels_;
  uint64_t slices_, rows_, columns_;
};

}  // namespace trel::tool
