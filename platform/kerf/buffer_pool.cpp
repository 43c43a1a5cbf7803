// The cache of large solver buffers: blocks are reused only at exactly their size, and the
// least recently returned are freed first when the cache is full.
#include "kerf/buffer_pool.h"

#include <cstdlib>
#include <list>
#include <mutex>

#include "block_cache.h"

namespace Kerf::System {

namespace {

struct Cached {
  void* block;
  size_t bytes;
};

std::mutex& Guard() {
  static std::mutex guard;
  return guard;
}

// Most recently returned first.
std::list<Cached>& Blocks() {
  static std::list<Cached> blocks;
  return blocks;
}

size_t& Total() {
  static size_t total = 0;
  return total;
}

}  // namespace

void BufferPool::Release() {
  std::lock_guard<std::mutex> lock(Guard());
  for (const Cached& c : Blocks()) std::free(c.block);
  Blocks().clear();
  Total() = 0;
}

size_t BufferPool::CachedBytes() {
  std::lock_guard<std::mutex> lock(Guard());
  return Total();
}

namespace detail {

void* TakeCachedBlock(size_t bytes) {
  std::lock_guard<std::mutex> lock(Guard());
  for (auto it = Blocks().begin(); it != Blocks().end(); ++it) {
    if (it->bytes != bytes) continue;
    void* block = it->block;
    Total() -= bytes;
    Blocks().erase(it);
    return block;
  }
  return nullptr;
}

void ReturnBlock(void* block, size_t bytes) {
  if (bytes > BufferPool::kMaxCachedBytes) return std::free(block);
  std::lock_guard<std::mutex> lock(Guard());
  while (Total() + bytes > BufferPool::kMaxCachedBytes) {
    std::free(Blocks().back().block);
    Total() -= Blocks().back().bytes;
    Blocks().pop_back();
  }
  Blocks().push_front(Cached{block, bytes});
  Total() += bytes;
}

}  // namespace detail

}  // namespace Kerf::System
