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

// Set once the pool is gone at the end of the process; a block returned after that (by a
// solver that outlives it) is freed at once. Trivially destructible, so it stays readable.
bool g_pool_closed = false;

// The cached blocks, most recently returned first. The pool frees them when the process ends,
// so that nothing it holds is left unreachable.
struct Pool {
  std::mutex guard;
  std::list<Cached> blocks;
  size_t total = 0;

  ~Pool() {
    for (const Cached& c : blocks) std::free(c.block);
    g_pool_closed = true;
  }
};

Pool& ThePool() {
  static Pool pool;
  return pool;
}

}  // namespace

void BufferPool::Release() {
  if (g_pool_closed) return;
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.guard);
  for (const Cached& c : pool.blocks) std::free(c.block);
  pool.blocks.clear();
  pool.total = 0;
}

size_t BufferPool::CachedBytes() {
  if (g_pool_closed) return 0;
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.guard);
  return pool.total;
}

namespace detail {

void* TakeCachedBlock(size_t bytes) {
  if (g_pool_closed) return nullptr;
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.guard);
  for (auto it = pool.blocks.begin(); it != pool.blocks.end(); ++it) {
    if (it->bytes != bytes) continue;
    void* block = it->block;
    pool.total -= bytes;
    pool.blocks.erase(it);
    return block;
  }
  return nullptr;
}

void ReturnBlock(void* block, size_t bytes) {
  if (g_pool_closed || bytes > BufferPool::kMaxCachedBytes) return std::free(block);
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.guard);
  while (pool.total + bytes > BufferPool::kMaxCachedBytes) {
    std::free(pool.blocks.back().block);
    pool.total -= pool.blocks.back().bytes;
    pool.blocks.pop_back();
  }
  pool.blocks.push_front(Cached{block, bytes});
  pool.total += bytes;
}

}  // namespace detail

}  // namespace Kerf::System
