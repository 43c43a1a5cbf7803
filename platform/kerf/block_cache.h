// The library's side of BufferPool: take a cached block of exactly `bytes`, or give one back.
// Blocks are those of std::aligned_alloc and are released with std::free.
#pragma once

#include <cstddef>

namespace Kerf::System::detail {

// A cached block of exactly `bytes`, or null.
void* TakeCachedBlock(size_t bytes);
// Keeps `block` for a later TakeCachedBlock, or frees it when the cache is full.
void ReturnBlock(void* block, size_t bytes);

}  // namespace Kerf::System::detail
