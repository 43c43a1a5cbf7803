// Geometry, copying and slicing of Image3d; file input and output live in the TIFF files.
#include "voxa/image3d.h"

#include <algorithm>
#include <limits>
#include <new>
#include <utility>

#include "voxa/exceptions.h"

namespace voxa {

template <class T>
Image3d<T>::Image3d(const Vector3d<float>* offset, const Resolution* resolution) {
  if (offset) offset_ = *offset;
  if (resolution) resolution_ = *resolution;
}

template <class T>
Image3d<T>::Image3d(const Image3d& source, const VOI<>* region)
    : resolution_(source.resolution_), offset_(source.offset_), description_(source.description_) {
  if (!region) {
    MakeRoom(source.size_[0], source.size_[1], source.size_[2]);
    std::copy(source.begin(), source.end(), begin());
    return;
  }
  for (int k = 0; k < 3; ++k)
    if (region->offset[k] > source.size_[k] ||
        region->size[k] > source.size_[k] - region->offset[k])
      throw InternalException("Image3d: the region to copy lies outside the image");
  MakeRoom(region->size[0], region->size[1], region->size[2]);
  for (uint64_t z = 0; z < size_[2]; ++z)
    for (uint64_t y = 0; y < size_[1]; ++y) {
      const T* from = source.begin() +
                      source.Index(region->offset[0], region->offset[1] + y, region->offset[2] + z);
      std::copy(from, from + size_[0], begin() + Index(0, y, z));
    }
  for (int k = 0; k < 3; ++k)
    offset_[k] += static_cast<float>(region->offset[k]) * resolution_.Spacing(k);
}

template <class T>
Image3d<T>::Image3d(Image3d&& other) noexcept
    : size_(other.size_),
      count_(other.count_),
      data_(std::move(other.data_)),
      resolution_(other.resolution_),
      offset_(other.offset_),
      description_(std::move(other.description_)) {
  other.size_ = {0, 0, 0};
  other.count_ = 0;
}

template <class T>
Image3d<T>& Image3d<T>::operator=(const Image3d& other) {
  if (this != &other) {
    MakeRoom(other.size_[0], other.size_[1], other.size_[2]);
    std::copy(other.begin(), other.end(), begin());
    resolution_ = other.resolution_;
    offset_ = other.offset_;
    description_ = other.description_;
  }
  return *this;
}

template <class T>
Image3d<T>& Image3d<T>::operator=(Image3d&& other) noexcept {
  if (this != &other) {
    size_ = other.size_;
    count_ = other.count_;
    data_ = std::move(other.data_);
    resolution_ = other.resolution_;
    offset_ = other.offset_;
    description_ = std::move(other.description_);
    other.size_ = {0, 0, 0};
    other.count_ = 0;
  }
  return *this;
}

template <class T>
Image3d<T>::~Image3d() = default;

template <class T>
void Image3d<T>::MakeRoom(uint64_t x, uint64_t y, uint64_t z) {
  constexpr uint64_t kMaxCount = std::numeric_limits<std::ptrdiff_t>::max() / sizeof(T);
  uint64_t count = 0;
  if (x != 0 && y != 0 && z != 0) {
    if (y > kMaxCount / x || z > kMaxCount / (x * y)) throw std::bad_array_new_length();
    count = x * y * z;
  }
  if (count != count_) {
    data_.reset();
    count_ = 0;
    size_ = {0, 0, 0};
    if (count) data_ = std::make_unique_for_overwrite<T[]>(count);
  }
  size_ = {x, y, z};
  count_ = count;
}

template <class T>
void Image3d<T>::SetAllVoxels(T value) {
  std::fill(begin(), end(), value);
}

template <class T>
void Image3d<T>::GetSliceZ(Image3d& slice, uint64_t z) const {
  if (z >= size_[2]) throw InternalException("Image3d::GetSliceZ: slice index out of range");
  slice.MakeRoom(size_[0], size_[1], 1);
  const T* from = begin() + Index(0, 0, z);
  std::copy(from, from + size_[0] * size_[1], slice.begin());
  slice.resolution_ = resolution_;
  slice.offset_ = offset_;
}

template <class T>
void Image3d<T>::SetSliceZ(const Image3d& slice, uint64_t z) {
  if (z >= size_[2]) throw InternalException("Image3d::SetSliceZ: slice index out of range");
  if (slice.size_[0] != size_[0] || slice.size_[1] != size_[1] || slice.size_[2] != 1)
    throw InternalException("Image3d::SetSliceZ: the slice does not fit the image");
  std::copy(slice.begin(), slice.end(), begin() + Index(0, 0, z));
}

template class Image3d<unsigned char>;
template class Image3d<unsigned short>;
template class Image3d<bool>;
template class Image3d<float>;

}  // namespace voxa
