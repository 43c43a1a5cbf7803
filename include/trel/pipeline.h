// The in-memory pipeline (library trelpipeline, CMake target trel::pipeline): tracking and
// diffusion filtering of frames held in memory, through the same code as `trel track` and
// `trel filter` on folders, with the same defaults. Nothing touches a file. Frames are 16-bit,
// frame after frame, each `slices` x `rows` x `columns` with x fastest.
#pragma once

#include <cstdint>
#include <vector>

#include "trel/progress.h"

#define TREL_PIPELINE_API __attribute__((visibility("default")))

namespace trel::pipeline {

struct Shape {
  uint64_t frames = 0, slices = 1, rows = 0, columns = 0;
};

// Micrometres per voxel along x, y and z.
struct VoxelSize {
  float x = 1, y = 1, z = 1;
};

enum class Method { kLevelSet, kGraphCut };

struct Parameters {
  float curv_weight, fg_weight, bg_weight, bg_factor;
  uint64_t max_iter, min_size, overlap, border;
  unsigned threads = 0;  // threads the image routines share their work out on; 0: every core
};

// One line of the lineage: label, first and last frame, parent label (0 for none).
struct LineageRow {
  uint64_t label, first, last, parent;
};

struct Result {
  std::vector<uint16_t> labels;  // the frames' shape; every cell carries its track label
  std::vector<LineageRow> lineage;
};

// The defaults of `trel track` for the method and frames of `slices` slices.
TREL_PIPELINE_API Parameters Defaults(Method method, uint64_t slices);

// Segments and tracks the cells of `frames` (shape.frames x voxels per frame values). Throws
// trel::Error with the message `trel track` gives.
TREL_PIPELINE_API Result Track(const uint16_t* frames, const Shape& shape, const VoxelSize& voxel,
                               Method method, const Parameters& parameters,
                               const ProgressCallback& progress = {});

// Coherence-enhancing diffusion of every frame with `trel filter`'s parameters.
// On `threads` threads (0: every core); the result is the same for any count.
TREL_PIPELINE_API std::vector<uint16_t> Filter(const uint16_t* frames, const Shape& shape,
                                               const VoxelSize& voxel, float sigma, float rho,
                                               float tau, uint64_t steps,
                                               const ProgressCallback& progress = {},
                                               unsigned threads = 0);

}  // namespace trel::pipeline
