// Raster walks over a box of an image that yield linear voxel indices, x fastest, then y, then z.
// ImagePairIterator walks the same box of two images of equal size, so that one index addresses
// a voxel of a region labelling and the same voxel of the label image. Stepping is O(1).
#pragma once

#include <cstdint>

#include "trel/error.h"
#include "voxa/image3d.h"
#include "voxa/voi.h"

namespace trel {

template <class T>
class ImageIterator {
 public:
  ImageIterator(voxa::Image3d<T>& image, const voxa::VOI<uint64_t>& region)
      : data_(image.begin()),
        size_{image.GetSizeX(), image.GetSizeY(), image.GetSizeZ()},
        region_(region) {
    for (int k = 0; k < 3; ++k)
      if (region.offset[k] > size_[k] || region.size[k] > size_[k] - region.offset[k])
        throw Error("ImageIterator: Given region is out the image!");
    const uint64_t X = size_[0], Y = size_[1];
    const uint64_t w = region.size[0], h = region.size[1], d = region.size[2];
    first_ = (region.offset[2] * Y + region.offset[1]) * X + region.offset[0];
    current_ = first_;
    end_ = region.Empty() ? first_ : first_ + ((h - 1) + (d - 1) * Y) * X + w;
  }
  virtual ~ImageIterator() = default;

  bool AtEnd() const { return current_ == end_; }
  uint64_t Index() const { return current_; }
  T& Value() const { return data_[current_]; }
  // Absolute coordinates of the current voxel.
  uint64_t X() const { return region_.offset[0] + counter_[0] - 1; }
  uint64_t Y() const { return region_.offset[1] + counter_[1] - 1; }
  uint64_t Z() const { return region_.offset[2] + counter_[2] - 1; }

  ImageIterator& operator++() {
    const uint64_t X = size_[0], Y = size_[1];
    const uint64_t w = region_.size[0], h = region_.size[1], d = region_.size[2];
    if (counter_[0] < w) {
      ++current_;
      ++counter_[0];
      return *this;
    }
    counter_[0] = 1;
    if (counter_[1] < h) {
      current_ += 1 + (X - w);
      ++counter_[1];
      return *this;
    }
    counter_[1] = 1;
    if (counter_[2] < d) {
      current_ += 1 + ((Y - h + 1) * X - w);
      ++counter_[2];
      return *this;
    }
    current_ = end_;
    return *this;
  }

 protected:
  T* data_;
  uint64_t size_[3];
  voxa::VOI<uint64_t> region_;
  uint64_t first_ = 0;
  uint64_t current_ = 0;
  uint64_t end_ = 0;
  uint64_t counter_[3] = {1, 1, 1};
};

template <class T1, class T2>
class ImagePairIterator : public ImageIterator<T1> {
 public:
  ImagePairIterator(voxa::Image3d<T1>& image1, voxa::Image3d<T2>& image2,
                    const voxa::VOI<uint64_t>& region)
      : ImageIterator<T1>(image1, region) {
    if (image1.GetSizeX() != image2.GetSizeX() || image1.GetSizeY() != image2.GetSizeY() ||
        image1.GetSizeZ() != image2.GetSizeZ())
      throw Error("ImagePairIterator: Incompatible image size!");
    data2_ = image2.begin();
  }

  T2& Value2() const { return data2_[this->current_]; }

 private:
  T2* data2_ = nullptr;
};

}  // namespace trel
