// The in-memory pipeline: MemoryFrames under the library's loops, and the tool's steps after
// them on the masks in memory: for the graph cut the outlines of stacks and its divisions, for
// the level set its passing divisions, and for both the lineage steps every `trel track` run has.
#include "trel/pipeline.h"

#include <string>

#include "filtering/ced_filter_frames.h"
#include "fleeting_tracks.h"
#include "foundation/memory_frames.h"
#include "graphcut/kerf_track_frames.h"
#include "levelset/fls_track_frames.h"
#include "mask_lineage.h"
#include "mask_store.h"
#include "passing_divisions.h"
#include "stack_outlines.h"
#include "tool_error.h"
#include "track_defaults.h"
#include "trel/error.h"
#include "unequal_divisions.h"

namespace trel::pipeline {

namespace {

FrameShape ShapeOf(const Shape& s) {
  return {s.frames, s.slices, s.rows, s.columns};
}

voxa::Resolution ResolutionOf(const VoxelSize& v) {
  return voxa::Resolution(voxa::Vector3d<float>(1.0f / v.x, 1.0f / v.y, 1.0f / v.z));
}

// The steps every method's lineage goes through in `trel track`: unequal divisions withdrawn and
// fleeting tracks removed.
std::vector<LineageRow> LineageSteps(tool::MaskStore& masks, std::vector<tool::TrackLine> lineage,
                                     uint64_t frames) {
  lineage = tool::WithdrawUnequalDivisions(masks, lineage, frames);
  std::vector<LineageRow> rows;
  for (const tool::TrackLine& t : tool::RemoveFleetingTracks(masks, lineage, frames))
    rows.push_back({t.label, t.begin, t.end, t.parent});
  return rows;
}

std::vector<LineageRow> GraphCutSteps(const MemoryFrames& frames, const Shape& s, uint64_t min_size,
                                      std::vector<uint16_t>& labels) {
  tool::MemoryMasks masks(labels.data(), s.slices, s.rows, s.columns);
  const tool::GreyFrames grey = [&](uint64_t t, tool::LabelImage& image) {
    frames.LoadFrame(image, t);
    return "frame " + std::to_string(t);
  };
  tool::MoveStackOutlinesToEdges(grey, masks, s.frames);
  return LineageSteps(masks, tool::SplitDivisions(masks, s.frames, min_size), s.frames);
}

}  // namespace

Parameters Defaults(Method method, uint64_t slices) {
  return tool::DefaultsFor(method == Method::kGraphCut ? "graphcut" : "levelset", slices);
}

Result Track(const uint16_t* frames, const Shape& shape, const VoxelSize& voxel, Method method,
             const Parameters& p, const ProgressCallback& progress) {
  MemoryFrames memory(frames, ShapeOf(shape), ResolutionOf(voxel));
  Result result;
  try {
    if (method == Method::kGraphCut) {
      KerfTrack(memory, shape.slices, shape.frames,
                {p.curv_weight, p.fg_weight, p.bg_weight, p.max_iter, p.min_size, p.overlap},
                progress);
      result.labels = memory.TakeOutput();
      result.lineage = GraphCutSteps(memory, shape, p.min_size, result.labels);
      return result;
    }
    FlsTrackFrames(memory, shape.slices, shape.frames,
                   {p.curv_weight, p.fg_weight, p.bg_weight, p.max_iter, p.min_size, p.overlap,
                    p.border, p.bg_factor, tool::ThreadCount(p.threads)},
                   progress);
    result.labels = memory.TakeOutput();
    std::vector<tool::TrackLine> lineage;
    for (const TrackRecord& r : memory.Lineage())
      lineage.push_back({r.label, r.first_frame, r.last_frame, r.parent, 0});
    tool::MemoryMasks masks(result.labels.data(), shape.slices, shape.rows, shape.columns);
    result.lineage = LineageSteps(
        masks, tool::WithdrawPassingDivisions(masks, lineage, shape.frames), shape.frames);
  } catch (const tool::ToolError& e) {
    throw Error("%s", e.what());
  }
  return result;
}

std::vector<uint16_t> Filter(const uint16_t* frames, const Shape& shape, const VoxelSize& voxel,
                             float sigma, float rho, float tau, uint64_t steps,
                             const ProgressCallback& progress, unsigned threads) {
  MemoryFrames memory(frames, ShapeOf(shape), ResolutionOf(voxel));
  CedFilterFrames<float>(memory, shape.frames, sigma, rho, tau, steps, progress,
                         tool::ThreadCount(threads));
  return memory.TakeOutput();
}

}  // namespace trel::pipeline
