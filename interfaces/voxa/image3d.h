// Image3d: a dense 3D image of voxels of type T, stored contiguously with x fastest, then y, then
// z (linear index (z * Y + y) * X + x). A 2D image has z size 1. The image also carries its
// voxel resolution, its position (offset, in micrometres) and a text description (key = value
// pairs, kept through TIFF files). Instantiated for unsigned char, unsigned short, bool, float.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "voxa/export.h"
#include "voxa/resolution.h"
#include "voxa/vector3d.h"
#include "voxa/voi.h"

namespace voxa {

using Description = std::map<std::string, std::string>;

template <class T>
class VOXA_CORE_API Image3d {
 public:
  using value_type = T;

  // An empty image (0 x 0 x 0) at the given position and resolution; null means the origin and
  // a resolution of one voxel per micrometre.
  explicit Image3d(const Vector3d<float>* offset = nullptr, const Resolution* resolution = nullptr);
  // A copy of the box `region` of `source`, or of all of it when `region` is null. The copy's
  // offset is moved to the box's position. Throws InternalException when the box leaves `source`.
  Image3d(const Image3d& source, const VOI<>* region);
  Image3d(const Image3d& source) : Image3d(source, nullptr) {}
  Image3d(Image3d&& other) noexcept;
  Image3d& operator=(const Image3d& other);
  Image3d& operator=(Image3d&& other) noexcept;
  ~Image3d();

  // Sizes the image to x * y * z voxels. The buffer is kept when the voxel count does not
  // change, so that per-frame images reuse their memory; otherwise it is reallocated. The voxel
  // values are unspecified afterwards. Throws std::bad_alloc when the count overflows or memory
  // runs out.
  void MakeRoom(uint64_t x, uint64_t y, uint64_t z);

  uint64_t GetSizeX() const { return size_[0]; }
  uint64_t GetSizeY() const { return size_[1]; }
  uint64_t GetSizeZ() const { return size_[2]; }
  Vector3d<uint64_t> GetSize() const { return size_; }
  uint64_t GetImageSize() const { return count_; }
  bool IsEmpty() const { return count_ == 0; }

  T* begin() { return data_.get(); }
  T* end() { return data_.get() + count_; }
  const T* begin() const { return data_.get(); }
  const T* end() const { return data_.get() + count_; }

  T GetVoxel(uint64_t index) const { return data_[index]; }
  void SetVoxel(uint64_t index, T value) { data_[index] = value; }
  T GetVoxel(uint64_t x, uint64_t y, uint64_t z) const { return data_[Index(x, y, z)]; }
  void SetVoxel(uint64_t x, uint64_t y, uint64_t z, T value) { data_[Index(x, y, z)] = value; }
  uint64_t Index(uint64_t x, uint64_t y, uint64_t z) const {
    return (z * size_[1] + y) * size_[0] + x;
  }
  void SetAllVoxels(T value);

  const Resolution& GetResolution() const { return resolution_; }
  void SetResolution(const Resolution& r) { resolution_ = r; }
  const Vector3d<float>& GetOffset() const { return offset_; }
  void SetOffset(const Vector3d<float>& o) { offset_ = o; }
  const Description& GetDescription() const { return description_; }
  void SetDescription(const Description& d) { description_ = d; }

  // Copies z-slice `z` into `slice` (sized X x Y x 1), or `slice` into z-slice `z`. Throw
  // InternalException when z is out of range or the slice's x, y sizes differ.
  void GetSliceZ(Image3d& slice, uint64_t z) const;
  void SetSliceZ(const Image3d& slice, uint64_t z);

  // Reads a file into this image; the sizes come from the file.
  //   region         read only this box of the file (null: all of it)
  //   keep_metadata  false: take resolution, offset and description from the file;
  //                  true: keep this image's own
  //   page           -1: every z slice; k >= 0: only z slice k (a one-slice image)
  //   offset, resolution  when not null, used instead of what the file says
  // Only files whose voxel type matches T are read (bool reads 1-bit and 8-bit files, non-zero is
  // true). Throws IOException for a missing, unreadable, malformed or mismatching file; the
  // image's previous contents are then unspecified.
  void ReadImage(const char* file_name, const VOI<>* region = nullptr, bool keep_metadata = false,
                 int page = -1, const Vector3d<float>* offset = nullptr,
                 const Resolution* resolution = nullptr);

  // Writes the image (or the box `region` of it) to a file. format 0 picks the format from the
  // extension (".tif", ".tiff"); compress writes losslessly compressed data (LZW with horizontal
  // differencing). The file appears under its name only when completely written: it is written
  // under a temporary name in the same folder and renamed into place. Throws IOException.
  void SaveImage(const char* file_name, int format = 0, bool compress = true,
                 const VOI<>* region = nullptr) const;

 private:
  Vector3d<uint64_t> size_{0, 0, 0};
  uint64_t count_ = 0;
  std::unique_ptr<T[]> data_;
  Resolution resolution_;
  Vector3d<float> offset_{0.0f, 0.0f, 0.0f};
  Description description_;
};

extern template class Image3d<unsigned char>;
extern template class Image3d<unsigned short>;
extern template class Image3d<bool>;
extern template class Image3d<float>;

}  // namespace voxa
