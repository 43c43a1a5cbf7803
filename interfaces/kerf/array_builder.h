// ArrayBuilder<T>: an append buffer of trivially copyable elements that grows by half its
// capacity at a time (at least 10 elements), so that n appends cost O(n) copies. Storage comes
// from the C allocator's realloc, which keeps the elements in use when the block moves.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <utility>

#include "kerf/exceptions.h"
#include "kerf/type_name.h"

namespace Kerf::System::Collection {

// Lines reported by the raises of ArrayBuilder; part of the library's published error reports.
inline constexpr int kBuilderEnlargeOutOfMemoryLine = 274;
inline constexpr int kBuilderCapacityOverflowLine = 292;

template <class T>
class ArrayBuilder {
  static_assert(std::is_trivially_copyable_v<T>, "realloc moves elements bytewise");

 public:
  // The smallest capacity the builder grows to.
  static constexpr size_t kMinimumCapacity = 10;
  // The largest element count whose size in bytes is a size_t.
  static constexpr size_t kMaxElements = SIZE_MAX / sizeof(T);

  ArrayBuilder() = default;
  ArrayBuilder(const ArrayBuilder&) = delete;
  ArrayBuilder& operator=(const ArrayBuilder&) = delete;
  ArrayBuilder(ArrayBuilder&& other) noexcept { Swap(other); }
  ArrayBuilder& operator=(ArrayBuilder&& other) noexcept {
    ArrayBuilder moved(std::move(other));
    Swap(moved);
    return *this;
  }
  ~ArrayBuilder() { Release(); }

  // The capacity to grow to for `requested` elements: half as much again as now (or the maximum
  // when that would pass it), at least 10 and at least `requested`. Throws OverflowException when
  // `requested` exceeds the maximum.
  size_t OptimalCapacityIncrease(size_t requested) const {
    if (requested > kMaxElements)
      throw OverflowException(MethodName("OptimalCapacityIncrease").c_str(),
                              kBuilderCapacityOverflowLine,
                              "Requested number of elements exceeds the maximum possible.");
    size_t grown = m_capacity + m_capacity / 2;
    if (kMaxElements - m_capacity < m_capacity / 2) grown = kMaxElements;
    if (requested <= kMinimumCapacity) return std::max(kMinimumCapacity, grown);
    return std::max(requested, grown);
  }

  // Grows the storage to OptimalCapacityIncrease(requested) elements, keeping the elements in
  // use. Throws OutOfMemoryException and leaves the builder unchanged when the block cannot be
  // had. Invalidates every pointer into the storage.
  void Enlarge(size_t requested) {
    const size_t capacity = OptimalCapacityIncrease(requested);
    void* block = std::realloc(m_data, capacity * sizeof(T));
    if (block == nullptr)
      throw OutOfMemoryException(MethodName("Enlarge").c_str(), kBuilderEnlargeOutOfMemoryLine);
    m_data = static_cast<T*>(block);
    m_capacity = capacity;
  }

  // Appends one element, enlarging first when the storage is full.
  void Add(const T& value) {
    if (m_count + 1 > m_capacity) Enlarge(m_count + 1);
    m_data[m_count++] = value;
  }

  // Frees the storage; afterwards every field is zero.
  void Release() {
    if (m_capacity != 0) std::free(m_data);
    m_count = 0;
    m_capacity = 0;
    m_data = nullptr;
  }

  size_t Count() const { return m_count; }
  size_t Capacity() const { return m_capacity; }
  T* Data() { return m_data; }
  const T* Data() const { return m_data; }
  const T& operator[](size_t i) const { return m_data[i]; }

  // "Kerf::System::Collection::ArrayBuilder<T>::method".
  static std::string MethodName(const char* method) {
    return TemplateName("Kerf::System::Collection::ArrayBuilder", TypeName<T>::Get()) +
           "::" + method;
  }

 private:
  void Swap(ArrayBuilder& other) noexcept {
    std::swap(m_count, other.m_count);
    std::swap(m_capacity, other.m_capacity);
    std::swap(m_data, other.m_data);
  }

  size_t m_count = 0;
  size_t m_capacity = 0;
  T* m_data = nullptr;
};

}  // namespace Kerf::System::Collection
