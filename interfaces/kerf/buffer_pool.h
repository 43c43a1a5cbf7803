// BufferPool: the solvers' large work buffers (tens to hundreds of megabytes per grid) are kept
// when a solver is destroyed and handed to the next solver that asks for the same size, as a
// tracker does frame after frame; fresh memory would otherwise be zeroed page by page by the
// system at every frame. At most kMaxCachedBytes stay cached, the least recently returned go
// first. Safe to use from several threads.
#pragma once

#include <cstddef>

#include "kerf/export.h"

namespace Kerf::System {

class KERF_API BufferPool {
 public:
  static constexpr size_t kMaxCachedBytes = size_t(512) << 20;

  // Gives every cached buffer back to the system.
  static void Release();
  // Bytes held in cached buffers now.
  static size_t CachedBytes();
};

}  // namespace Kerf::System
