// The defaults of a tracking run, by method and by dimension, and of diffusion filtering: those
// of `trel track`, `trel filter` and the Python module, named once here.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>

#include "trel/pipeline.h"

namespace trel::tool {

constexpr float kLevelSetCurvWeight = 0.3f;
constexpr float kBackgroundWeight = 1.0f;
constexpr float kBackgroundFactor = 1.0f;
constexpr uint64_t kMaxIterations = 50;
constexpr uint64_t kOverlap = 3;
constexpr uint64_t kBorder = 0;
constexpr uint64_t kMinSize2D = 100;  // voxels: a nucleus of about 11 voxels across
constexpr uint64_t kMinSize3D = 500;  // voxels: the same nucleus over a few slices
// The axial blur of a stack is two to three times the lateral one and spreads every nucleus
// along z; a heavier foreground weight moves its boundary up to about the half-maximum level,
// where the blurred edge lies.
constexpr float kForegroundWeight2D = 1.0f;
constexpr float kForegroundWeight3D = 3.0f;
// The graph cut weighs regions against a boundary length of weight 1 on intensities scaled to
// 0..1, so its region weights are much larger than those of the level sets.
constexpr float kGraphCutCurvWeight = 1.0f;
constexpr float kGraphCutRegionWeight = 30.0f;

// Coherence-enhancing diffusion: noise scale, integration scale, time step, steps.
constexpr float kDiffusionSigma = 1.0f;
constexpr float kDiffusionRho = 4.0f;
constexpr float kDiffusionTau = 2.0f;
constexpr uint64_t kDiffusionSteps = 5;

using TrackDefaults = pipeline::Parameters;

// Threads of a run: the count asked for, 0 for every core of the machine. The results are the
// same for any count.
inline unsigned ThreadCount(unsigned requested) {
  return requested ? requested : std::max(1u, std::thread::hardware_concurrency());
}

// The defaults of `method` ("levelset" or "graphcut") for frames of `slices` slices.
inline TrackDefaults DefaultsFor(const std::string& method, uint64_t slices) {
  const bool graph_cut = method == "graphcut";
  const bool image = slices == 1;
  return {graph_cut ? kGraphCutCurvWeight : kLevelSetCurvWeight,
          graph_cut ? kGraphCutRegionWeight : (image ? kForegroundWeight2D : kForegroundWeight3D),
          graph_cut ? kGraphCutRegionWeight : kBackgroundWeight,
          kBackgroundFactor,
          kMaxIterations,
          image ? kMinSize2D : kMinSize3D,
          kOverlap,
          kBorder};
}

}  // namespace trel::tool
