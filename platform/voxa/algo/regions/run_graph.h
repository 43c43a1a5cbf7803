// The runs of an image (maximal stretches of equal value along x) and their connected sets under
// a neighbourhood: the first pass of run-based two-pass labelling. Each run is joined, by
// union-find, to the runs of equal value that overlap it in the already-built neighbour rows
// (offset rows above and before it); overlap tests walk two sorted run lists. The cost is one
// vector comparison per 64 voxels plus a few operations per run and per overlap. Runs are stored
// in raster order, hence the root of a set is its raster-first run.
#pragma once

#include <cstdint>
#include <vector>

#include "regions/neighbour_offsets.h"
#include "regions/union_find.h"
#include "voxa/image3d.h"

namespace voxa::detail {

template <class V>
class RunGraph {
 public:
  struct Run {
    uint32_t x0, x1;  // first and last voxel along x, inclusive
    V value;
  };

  // Builds the runs of every voxel whose value is not `skip` and joins the runs of equal value
  // that `offsets` connect. Afterwards Root(i) names the set of run i. Throws InternalException
  // when the image is wider than 2^32 - 1 voxels or has 2^32 - 1 runs or more.
  void Build(const Image3d<V>& image, V skip, const std::vector<FlatOffset>& offsets);

  uint64_t RowCount() const { return row_begin_.size() - 1; }
  // Runs of row r = z * Y + y are RowBegin(r) .. RowBegin(r + 1) - 1.
  uint32_t RowBegin(uint64_t row) const { return row_begin_[row]; }
  const Run& GetRun(uint32_t i) const { return runs_[i]; }
  uint32_t RunCount() const { return static_cast<uint32_t>(runs_.size()); }
  uint32_t Root(uint32_t i) const { return sets_.Root(i); }

 private:
  // The runs of one neighbour row that may touch a run: the row lies at (dy, dz) and a run
  // [a, b] reaches voxels a + lo .. b + hi of it.
  struct RowStep {
    int dy, dz;
    int lo, hi;
  };

  void PlanRowSteps(const std::vector<FlatOffset>& offsets);
  void AddRun(const V* line, uint64_t start, uint64_t end, V skip);
  void AddRuns(const V* line, uint64_t width, V skip);
  void JoinRows(uint32_t first, uint32_t end, uint32_t other_first, uint32_t other_end, int lo,
                int hi);
  void JoinWithinRow(uint32_t first, uint32_t end, int lo, int hi);

  std::vector<RowStep> steps_;
  bool runs_are_maximal_ = true;
  std::vector<Run> runs_;
  std::vector<uint32_t> row_begin_;
  UnionFind sets_;
};

extern template class RunGraph<bool>;
extern template class RunGraph<unsigned short>;

}  // namespace voxa::detail
