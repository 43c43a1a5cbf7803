// EdgeLevel: breadth-first layers on both sides of every outline, the levels from two rings of
// those layers, then a flood from each label's core through the shell voxels at or above its
// level.
#include "outlines/edge_level.h"

#include <algorithm>
#include <climits>

namespace voxa::algo {

namespace {

constexpr size_t kLabels = size_t(USHRT_MAX) + 1;
// Depth codes beside the layer numbers 1..reach (0: not in a shell).
constexpr uint8_t kContested = 126;  // background reached from two labels: stays background
constexpr uint8_t kPadding = 127;
constexpr uint8_t kReached = 128;  // flag: the flood has reached the voxel
// Rings with fewer voxels than this measure nothing: the label is left as it is.
constexpr uint64_t kMinRing = 8;

}  // namespace

EdgeLevel::EdgeLevel(const PaddedGrid& grid, int reach, int ring_from, float level)
    : grid_(grid),
      reach_(static_cast<uint8_t>(std::clamp(reach, 0, 100))),
      ring_from_(static_cast<uint8_t>(std::clamp(ring_from, 1, 100))),
      level_(level),
      face_(grid.Offsets(grid.FaceNeighbourhood())),
      full_(grid.Offsets(grid.FullNeighbourhood())) {}

EdgeLevel::Shell EdgeLevel::FindShell(const std::vector<unsigned short>& labels) const {
  Shell shell;
  shell.depth.assign(labels.size(), kPadding);
  shell.owner.assign(labels.size(), 0);
  grid_.ForEachVoxel([&](size_t, size_t p) { shell.depth[p] = 0; });
  auto is_background = [&](size_t q) { return labels[q] == 0 && shell.depth[q] != kPadding; };
  // Inside: labelled voxels with a background face neighbour first (the image's edge is not an
  // outline), then inwards through the same label.
  grid_.ForEachVoxel([&](size_t, size_t p) {
    if (labels[p] == 0) return;
    for (const ptrdiff_t o : face_)
      if (is_background(p + o)) {
        shell.depth[p] = 1;
        shell.voxels.push_back(p);
        return;
      }
  });
  for (size_t head = 0; head < shell.voxels.size(); ++head) {
    const size_t p = shell.voxels[head];
    if (shell.depth[p] >= reach_) continue;
    for (const ptrdiff_t o : face_) {
      const size_t q = p + o;
      if (labels[q] == labels[p] && shell.depth[q] == 0) {
        shell.depth[q] = static_cast<uint8_t>(shell.depth[p] + 1);
        shell.voxels.push_back(q);
      }
    }
  }
  // Outside: layer by layer from the labels; a voxel that two labels reach belongs to neither.
  const size_t inside = shell.voxels.size();
  for (size_t k = 0; k < inside; ++k) {
    const size_t p = shell.voxels[k];
    if (shell.depth[p] != 1) continue;
    for (const ptrdiff_t o : face_) {
      const size_t q = p + o;
      if (!is_background(q) || shell.depth[q] == kContested) continue;
      if (shell.depth[q] == 0) {
        shell.depth[q] = 1;
        shell.owner[q] = labels[p];
        shell.voxels.push_back(q);
      } else if (shell.owner[q] != labels[p]) {
        shell.depth[q] = kContested;
      }
    }
  }
  for (size_t head = inside; head < shell.voxels.size(); ++head) {
    const size_t p = shell.voxels[head];
    if (shell.depth[p] >= reach_) continue;  // also skips the contested ones
    for (const ptrdiff_t o : face_) {
      const size_t q = p + o;
      if (!is_background(q) || shell.depth[q] == kContested) continue;
      if (shell.depth[q] == 0) {
        shell.depth[q] = static_cast<uint8_t>(shell.depth[p] + 1);
        shell.owner[q] = shell.owner[p];
        shell.voxels.push_back(q);
      } else if (shell.owner[q] != shell.owner[p] && shell.depth[q] > shell.depth[p]) {
        shell.depth[q] = kContested;
      }
    }
  }
  return shell;
}

EdgeLevel::Levels EdgeLevel::MeasureLevels(const std::vector<unsigned short>& labels,
                                           const std::vector<float>& values, const Shell& shell,
                                           float min_step) const {
  std::vector<double> in_sum(kLabels, 0.0), out_sum(kLabels, 0.0);
  std::vector<uint64_t> in_count(kLabels, 0), out_count(kLabels, 0);
  for (const size_t p : shell.voxels) {
    const uint8_t d = shell.depth[p];
    if (d < ring_from_ || d > reach_) continue;
    if (labels[p] != 0) {
      in_sum[labels[p]] += values[p];
      ++in_count[labels[p]];
    } else {
      out_sum[shell.owner[p]] += values[p];
      ++out_count[shell.owner[p]];
    }
  }
  Levels levels;
  levels.level.assign(kLabels, 0.0f);
  levels.usable.assign(kLabels, 0);
  // A label grows from its core, the voxels deeper than the shell; one without a core stays.
  // The core touches the shell's deepest inside layer, so that layer tells which labels have one.
  std::vector<uint8_t> has_core(kLabels, 0);
  for (const size_t p : shell.voxels) {
    if (labels[p] == 0 || shell.depth[p] != reach_) continue;
    for (const ptrdiff_t o : face_)
      if (labels[p + o] == labels[p] && shell.depth[p + o] == 0) has_core[labels[p]] = 1;
  }
  for (size_t l = 1; l < kLabels; ++l) {
    if (!has_core[l] || in_count[l] < kMinRing || out_count[l] < kMinRing) continue;
    const double in = in_sum[l] / double(in_count[l]), out = out_sum[l] / double(out_count[l]);
    if (!(in - out > min_step)) continue;
    levels.level[l] = static_cast<float>(out + level_ * (in - out));
    levels.usable[l] = 1;
  }
  return levels;
}

bool EdgeLevel::TouchesOther(const std::vector<unsigned short>& labels, const Shell& shell,
                             size_t p, unsigned short label) const {
  for (const ptrdiff_t o : full_) {
    const size_t q = p + o;
    if (labels[q] != 0 && labels[q] != label) return true;
    if (labels[q] == 0 && (shell.depth[q] & ~kReached) == kContested) return true;
    if (labels[q] == 0 && shell.owner[q] != 0 && shell.owner[q] != label) return true;
  }
  return false;
}

std::vector<std::pair<size_t, unsigned short>> EdgeLevel::Relabel(
    const std::vector<unsigned short>& labels, const std::vector<float>& values,
    float min_step) const {
  std::vector<std::pair<size_t, unsigned short>> changes;
  if (reach_ == 0) return changes;
  Shell shell = FindShell(labels);
  const Levels levels = MeasureLevels(labels, values, shell, min_step);
  auto label_of = [&](size_t p) { return labels[p] != 0 ? labels[p] : shell.owner[p]; };
  auto open = [&](size_t p, unsigned short l) {
    const uint8_t d = shell.depth[p];
    if (d == 0 || d > reach_ || label_of(p) != l || values[p] < levels.level[l]) return false;
    return labels[p] != 0 || !TouchesOther(labels, shell, p, l);
  };
  // The flood starts at the shell voxels that touch their label's core.
  std::vector<size_t> queue;
  for (const size_t p : shell.voxels) {
    const unsigned short l = label_of(p);
    if (!levels.usable[l] || !open(p, l)) continue;
    for (const ptrdiff_t o : face_)
      if (labels[p + o] == l && shell.depth[p + o] == 0) {
        shell.depth[p] |= kReached;
        queue.push_back(p);
        break;
      }
  }
  for (size_t head = 0; head < queue.size(); ++head) {
    const size_t p = queue[head];
    const unsigned short l = label_of(p);
    for (const ptrdiff_t o : face_) {
      const size_t q = p + o;
      if (!(shell.depth[q] & kReached) && open(q, l)) {
        shell.depth[q] |= kReached;
        queue.push_back(q);
      }
    }
  }
  for (const size_t p : shell.voxels) {
    const unsigned short l = label_of(p);
    if (!levels.usable[l]) continue;
    const bool reached = shell.depth[p] & kReached;
    if (labels[p] != 0 && !reached) changes.push_back({p, 0});
    if (labels[p] == 0 && reached) changes.push_back({p, l});
  }
  return changes;
}

}  // namespace voxa::algo
