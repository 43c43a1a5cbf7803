// Run extraction and run joining of two-pass labelling (see run_graph.h). Runs are found 64
// voxels at a time: one vector comparison of the line with itself shifted by one voxel gives a
// bit per voxel that differs from its left neighbour, and the runs start at the set bits, so the
// cost per run is a few instructions rather than a mispredicted branch per run end.
#include "regions/run_graph.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <limits>
#include <map>
#include <utility>

#include "voxa/exceptions.h"

namespace voxa::detail {

namespace {

constexpr uint64_t kMaxIndex = std::numeric_limits<uint32_t>::max();
constexpr uint64_t kVoxelsPerRunGuess = 32;
constexpr uint64_t kChunk = 64;  // voxels per change word
constexpr uint32_t kNoRoot = std::numeric_limits<uint32_t>::max();

[[noreturn]] void TooManyRuns() {
  throw InternalException("Region labelling: the image has too many runs of voxels");
}

// Bit k set when at[k] != at[k - 1], for k = 0 .. 63 (at[-1] must be readable).
template <class V>
uint64_t ChangeBits(const V* at) {
  uint64_t bits = 0;
  for (uint64_t k = 0; k < kChunk; ++k) bits |= uint64_t{at[k] != at[k - 1]} << k;
  return bits;
}

#if defined(__SSE2__)
template <>
uint64_t ChangeBits<bool>(const bool* at) {
  uint64_t same = 0;
  for (uint64_t k = 0; k < kChunk; k += 16) {
    const __m128i cur = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + k));
    const __m128i prev = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + k - 1));
    same |= uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(cur, prev)))) << k;
  }
  return ~same;
}

template <>
uint64_t ChangeBits<unsigned short>(const unsigned short* at) {
  uint64_t same = 0;
  for (uint64_t k = 0; k < kChunk; k += 16) {
    const auto load = [](const unsigned short* p) {
      return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    };
    const __m128i low = _mm_cmpeq_epi16(load(at + k), load(at + k - 1));
    const __m128i high = _mm_cmpeq_epi16(load(at + k + 8), load(at + k + 7));
    same |= uint64_t(unsigned(_mm_movemask_epi8(_mm_packs_epi16(low, high)))) << k;
  }
  return ~same;
}
#endif

bool IsBackward(const FlatOffset& o) {
  return o.dz < 0 || (o.dz == 0 && o.dy < 0) || (o.dz == 0 && o.dy == 0 && o.dx < 0);
}

}  // namespace

template <class V>
void RunGraph<V>::PlanRowSteps(const std::vector<FlatOffset>& offsets) {
  std::map<std::pair<int, int>, std::vector<int>> dx_of_row;
  runs_are_maximal_ = false;
  for (const FlatOffset& o : offsets) {
    if (o.dx == -1 && o.dy == 0 && o.dz == 0) runs_are_maximal_ = true;
    if (IsBackward(o)) dx_of_row[{o.dz, o.dy}].push_back(o.dx);
  }
  // Split each row's dx values into contiguous intervals, so that one overlap test per interval
  // covers them.
  steps_.clear();
  for (auto& [row, dxs] : dx_of_row) {
    std::sort(dxs.begin(), dxs.end());
    for (size_t k = 0; k < dxs.size();) {
      size_t e = k + 1;
      while (e < dxs.size() && dxs[e] == dxs[e - 1] + 1) ++e;
      steps_.push_back({row.second, row.first, dxs[k], dxs[e - 1]});
      k = e;
    }
  }
}

template <class V>
void RunGraph<V>::AddRun(const V* line, uint64_t start, uint64_t end, V skip) {
  if (line[start] == skip) return;
  if (runs_.size() >= kMaxIndex) [[unlikely]]
    TooManyRuns();
  runs_.push_back({static_cast<uint32_t>(start), static_cast<uint32_t>(end - 1), line[start]});
  sets_.Add();
}

template <class V>
void RunGraph<V>::AddRuns(const V* line, uint64_t width, V skip) {
  if (!runs_are_maximal_) {
    for (uint64_t x = 0; x < width; ++x) AddRun(line, x, x + 1, skip);
    return;
  }
  // A run starts at 0 and wherever a voxel differs from its left neighbour.
  uint64_t start = 0, x = 1;
  for (; x + kChunk <= width; x += kChunk)
    for (uint64_t bits = ChangeBits(line + x); bits; bits &= bits - 1) {
      const uint64_t change = x + static_cast<uint64_t>(std::countr_zero(bits));
      AddRun(line, start, change, skip);
      start = change;
    }
  for (; x < width; ++x)
    if (line[x] != line[x - 1]) {
      AddRun(line, start, x, skip);
      start = x;
    }
  if (width) AddRun(line, start, width, skip);
}

template <class V>
void RunGraph<V>::JoinRows(uint32_t first, uint32_t end, uint32_t other_first, uint32_t other_end,
                           int lo, int hi) {
  uint32_t j = other_first;
  for (uint32_t i = first; i < end; ++i) {
    const int64_t reach_lo = int64_t{runs_[i].x0} + lo, reach_hi = int64_t{runs_[i].x1} + hi;
    while (j < other_end && int64_t{runs_[j].x1} < reach_lo) ++j;
    uint32_t root = kNoRoot;
    for (uint32_t k = j; k < other_end && int64_t{runs_[k].x0} <= reach_hi; ++k) {
      if (runs_[k].value != runs_[i].value) continue;
      if (root == kNoRoot) root = sets_.Find(i);
      root = sets_.JoinToRoot(root, k);
    }
  }
}

template <class V>
void RunGraph<V>::JoinWithinRow(uint32_t first, uint32_t end, int lo, int hi) {
  for (uint32_t i = first + 1; i < end; ++i) {
    const int64_t reach_lo = int64_t{runs_[i].x0} + lo, reach_hi = int64_t{runs_[i].x1} + hi;
    for (int64_t k = int64_t{i} - 1; k >= first && int64_t{runs_[k].x1} >= reach_lo; --k)
      if (int64_t{runs_[k].x0} <= reach_hi && runs_[k].value == runs_[i].value)
        sets_.Join(i, static_cast<uint32_t>(k));
  }
}

template <class V>
void RunGraph<V>::Build(const Image3d<V>& image, V skip, const std::vector<FlatOffset>& offsets) {
  const uint64_t X = image.GetSizeX(), Y = image.GetSizeY(), Z = image.GetSizeZ();
  if (X > kMaxIndex) throw InternalException("Region labelling: the image is too wide");
  PlanRowSteps(offsets);
  runs_.clear();
  sets_.Clear();
  // A first guess of the run count that spares most regrowth on object-like images.
  runs_.reserve(X * Y * Z / kVoxelsPerRunGuess + 1);
  sets_.Reserve(runs_.capacity());
  row_begin_.assign(1, 0);
  row_begin_.reserve(Y * Z + 1);
  for (uint64_t z = 0; z < Z; ++z)
    for (uint64_t y = 0; y < Y; ++y) {
      const uint32_t first = static_cast<uint32_t>(runs_.size());
      AddRuns(image.begin() + (z * Y + y) * X, X, skip);
      const uint32_t end = static_cast<uint32_t>(runs_.size());
      row_begin_.push_back(end);
      for (const RowStep& s : steps_) {
        if (s.dy == 0 && s.dz == 0) {
          // Maximal runs next to each other differ in value: only longer steps can join them.
          if (!runs_are_maximal_ || s.lo < -1) JoinWithinRow(first, end, s.lo, s.hi);
          continue;
        }
        const uint64_t ny = y + static_cast<uint64_t>(s.dy), nz = z + static_cast<uint64_t>(s.dz);
        if (ny >= Y || nz >= Z) continue;
        const uint64_t other = nz * Y + ny;
        JoinRows(first, end, row_begin_[other], row_begin_[other + 1], s.lo, s.hi);
      }
    }
  sets_.Flatten();
}

template class RunGraph<bool>;
template class RunGraph<unsigned short>;

}  // namespace voxa::detail
