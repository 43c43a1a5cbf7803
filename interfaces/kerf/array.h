// Array<N, T>: an N-dimensional array that owns one block of elements, x fastest (element
// (x, y, z) at x + X*y + X*Y*z), the voxel order of the image library, so that whole images move
// in and out by block copies. Sizing refuses zero axes and element counts that could not be
// addressed, and keeps the storage when the element count does not change.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <utility>

#include "kerf/exceptions.h"
#include "kerf/type_name.h"
#include "kerf/vector.h"

namespace Kerf::System::Collection {

// Lines reported by the raises of Array; they are part of the library's published error reports.
inline constexpr int kArrayResizeZeroSizeLine = 256;
inline constexpr int kArrayResizeOutOfMemoryLine = 247;
inline constexpr int kArrayCheckOverflowLine = 597;

template <size_t N, class T>
class Array {
 public:
  using Dims = Math::Algebra::Vector<N, size_t>;

  // Empty: every field zero.
  Array() = default;
  explicit Array(const Dims& dims) { Resize(dims); }
  Array(const Array& other) { CopyFrom(other); }
  Array(Array&& other) noexcept { Swap(other); }
  Array& operator=(const Array& other) {
    if (this != &other) CopyFrom(other);
    return *this;
  }
  Array& operator=(Array&& other) noexcept {
    Array moved(std::move(other));
    Swap(moved);
    return *this;
  }
  ~Array() { Release(); }

  // Sizes the array to dims. Throws ArgumentException when an axis is 0 and OverflowException
  // when the element count cannot be addressed (the array is then unchanged), and
  // OutOfMemoryException when the storage cannot be had (the array is then released and empty).
  // The storage, and with it every pointer into it, survives when the element count is unchanged;
  // new storage is not initialised.
  Array& Resize(const Dims& dims) {
    const Dims wanted = dims;  // dims may be m_dim itself, which Release clears
    for (size_t i = 0; i < N; ++i)
      if (wanted[i] == 0)
        throw ArgumentException(MethodName("Resize").c_str(), kArrayResizeZeroSizeLine,
                                "The size of the array must be non-zero in all dimensions.");
    CheckOverflow(wanted);
    const size_t elems = Product(wanted);
    if (elems != m_elems) Allocate(elems);
    m_dim = wanted;
    m_elems = elems;
    size_t stride = 1;
    for (size_t i = 0; i < N; ++i) {
      m_stride[i] = stride;
      stride *= wanted[i];
    }
    return *this;
  }

  // Throws OverflowException unless the product of dims fits in the largest size_t divided by
  // the element size; tested by successive divisions, without forming the product.
  static void CheckOverflow(const Dims& dims) {
    size_t room = SIZE_MAX / sizeof(T);
    for (size_t i = 0; i < N; ++i) room = dims[i] == 0 ? room : room / dims[i];
    if (room == 0)
      throw OverflowException(MethodName("CheckOverflow").c_str(), kArrayCheckOverflowLine,
                              "The number of elements is too large to be stored in the memory.");
  }

  // Frees the storage; afterwards every field is zero. Nothing happens to an empty array.
  void Release() {
    if (m_elems == 0) return;
    delete[] m_data;
    m_data = nullptr;
    m_dim = Dims();
    m_stride = Dims();
    m_elems = 0;
  }

  const Dims& Dim() const { return m_dim; }
  const Dims& Stride() const { return m_stride; }
  size_t Elems() const { return m_elems; }
  T* Data() { return m_data; }
  const T* Data() const { return m_data; }
  T* begin() { return m_data; }
  T* end() { return m_data + m_elems; }
  const T* begin() const { return m_data; }
  const T* end() const { return m_data + m_elems; }
  T& operator[](size_t i) { return m_data[i]; }
  const T& operator[](size_t i) const { return m_data[i]; }

  // "Kerf::System::Collection::Array<N,T>::method".
  static std::string MethodName(const char* method) {
    return TemplateName("Kerf::System::Collection::Array",
                        std::to_string(N) + "," + TypeName<T>::Get()) +
           "::" + method;
  }

 private:
  static size_t Product(const Dims& dims) {
    size_t p = 1;
    for (size_t i = 0; i < N; ++i) p *= dims[i];
    return p;
  }

  void Allocate(size_t elems) {
    Release();
    // The nothrow form lets a refused request surface as our exception rather than an abort
    // under allocators that treat a failed throwing new as fatal.
    T* data = new (std::nothrow) T[elems];
    if (data == nullptr)
      throw OutOfMemoryException(MethodName("Resize").c_str(), kArrayResizeOutOfMemoryLine);
    m_data = data;
  }

  void CopyFrom(const Array& other) {
    if (other.m_elems == 0) {
      Release();
      return;
    }
    Resize(other.m_dim);
    std::copy(other.m_data, other.m_data + other.m_elems, m_data);
  }

  void Swap(Array& other) noexcept {
    std::swap(m_dim, other.m_dim);
    std::swap(m_data, other.m_data);
    std::swap(m_stride, other.m_stride);
    std::swap(m_elems, other.m_elems);
  }

  Dims m_dim;
  T* m_data = nullptr;
  Dims m_stride;
  size_t m_elems = 0;
};

}  // namespace Kerf::System::Collection
