// NodeBuffer<T>: an uninitialised array of trivially copyable values for per-node and per-edge
// data of the grid solvers. Sized once per grid, written completely by the solver before it is
// read. Large buffers are aligned to 2 MiB, offered to the kernel for transparent huge pages
// (which cuts the page faults of a first touch several hundredfold) and recycled through
// BufferPool, so that the next solver of the same size finds them already mapped.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>

#include "block_cache.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace Kerf::Flow::Grid::detail {

template <class T>
class NodeBuffer {
  static_assert(std::is_trivially_copyable_v<T>, "values are never constructed");

 public:
  NodeBuffer() = default;
  NodeBuffer(const NodeBuffer&) = delete;
  NodeBuffer& operator=(const NodeBuffer&) = delete;
  NodeBuffer(NodeBuffer&& other) noexcept { Swap(other); }
  NodeBuffer& operator=(NodeBuffer&& other) noexcept {
    NodeBuffer moved(std::move(other));
    Swap(moved);
    return *this;
  }
  ~NodeBuffer() { Free(); }

  // Room for n values, not initialised; the old contents are lost unless n is the present size.
  // Throws std::bad_alloc.
  void Resize(size_t n) {
    if (n == size_) return;
    Free();
    if (n == 0) return;
    const size_t bytes = n * sizeof(T);
    const bool large = bytes >= kHugePage;
    const size_t alignment = large ? kHugePage : alignof(std::max_align_t);
    const size_t rounded = (bytes + alignment - 1) / alignment * alignment;
    void* block = large ? System::detail::TakeCachedBlock(rounded) : nullptr;
    if (block == nullptr) {
      block = std::aligned_alloc(alignment, rounded);
      if (block == nullptr) throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
      if (large) madvise(block, rounded, MADV_HUGEPAGE);
#endif
    }
    data_ = static_cast<T*>(block);
    size_ = n;
    bytes_ = rounded;
  }

  void Fill(const T& value) {
    for (size_t i = 0; i < size_; ++i) data_[i] = value;
  }
  size_t size() const {
    return size_;
  }
  T* data() {
    return data_;
  }
  const T* data() const {
    return data_;
  }
  T& operator[](size_t i) {
    return data_[i];
  }
  const T& operator[](size_t i) const {
    return data_[i];
  }

 private:
  static constexpr size_t kHugePage = size_t(2) << 20;

  void Free() {
    if (data_ != nullptr && bytes_ >= kHugePage)
      System::detail::ReturnBlock(data_, bytes_);
    else
      std::free(data_);
    data_ = nullptr;
    size_ = 0;
    bytes_ = 0;
  }

  void Swap(NodeBuffer& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(bytes_, other.bytes_);
  }

  T* data_ = nullptr;
  size_t size_ = 0;
  size_t bytes_ = 0;  // size of the block, rounded to its alignment
};

}  // namespace Kerf::Flow::Grid::detail
