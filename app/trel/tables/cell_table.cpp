#include "cell_table.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace trel::tool {

namespace {

constexpr size_t kLabels = 65536;

struct Sums {
  uint64_t voxels = 0;
  std::array<double, 3> position{};
  std::array<uint64_t, 3> low{}, high{};
  double intensity = 0, brightest = 0;
  bool edge = false;
};

}  // namespace

std::vector<CellRow> MeasureCells(const LabelImage& mask, const LabelImage* grey, uint64_t frame,
                                  const std::map<uint64_t, uint64_t>& parents) {
  std::vector<Sums> sums(kLabels);
  const uint64_t nx = mask.GetSizeX(), ny = mask.GetSizeY(), nz = mask.GetSizeZ();
  const unsigned short* label = mask.begin();
  const unsigned short* value = grey ? grey->begin() : nullptr;
  for (uint64_t z = 0; z < nz; ++z)
    for (uint64_t y = 0; y < ny; ++y)
      for (uint64_t x = 0; x < nx; ++x, ++label, value = value ? value + 1 : nullptr) {
        if (*label == 0) continue;
        Sums& s = sums[*label];
        const std::array<uint64_t, 3> at{x, y, z};
        for (int k = 0; k < 3; ++k) {
          s.position[k] += double(at[k]);
          s.low[k] = s.voxels ? std::min(s.low[k], at[k]) : at[k];
          s.high[k] = s.voxels ? std::max(s.high[k], at[k]) : at[k];
        }
        s.edge |= x == 0 || y == 0 || x + 1 == nx || y + 1 == ny;
        if (value) {
          s.intensity += *value;
          s.brightest = std::max<double>(s.brightest, *value);
        }
        ++s.voxels;
      }
  std::vector<CellRow> rows;
  for (size_t l = 1; l < kLabels; ++l) {
    const Sums& s = sums[l];
    if (!s.voxels) continue;
    CellRow r;
    r.label = l;
    r.frame = frame;
    const auto parent = parents.find(l);
    r.parent = parent == parents.end() ? 0 : parent->second;
    for (int k = 0; k < 3; ++k) r.centroid[k] = s.position[k] / double(s.voxels);
    r.voxels = s.voxels;
    r.low = s.low;
    r.high = s.high;
    r.touches_edge = s.edge;
    if (grey) {
      r.total = s.intensity;
      r.mean = s.intensity / double(s.voxels);
      r.max = s.brightest;
    }
    rows.push_back(r);
  }
  return rows;
}

const char* FateName(Fate fate) {
  switch (fate) {
    case Fate::kDivides:
      return "divides";
    case Fate::kLeaves:
      return "leaves";
    case Fate::kLastFrame:
      return "last_frame";
    case Fate::kStops:
      break;
  }
  return "stops";
}

std::vector<TrackRow> MeasureTracks(const std::vector<TrackLine>& lineage,
                                    const std::vector<CellRow>& cells,
                                    const std::array<double, 3>& spacing, uint64_t frames) {
  std::map<uint64_t, std::vector<const CellRow*>> course;  // label -> its cells by frame
  for (const CellRow& c : cells) course[c.label].push_back(&c);
  std::map<uint64_t, const TrackLine*> by_label;
  std::map<uint64_t, uint64_t> daughters;
  for (const TrackLine& t : lineage) {
    by_label[t.label] = &t;
    if (t.parent) ++daughters[t.parent];
  }
  auto distance = [&](const CellRow& a, const CellRow& b) {
    double d2 = 0;
    for (int k = 0; k < 3; ++k) {
      const double d = (a.centroid[k] - b.centroid[k]) * spacing[k];
      d2 += d * d;
    }
    return std::sqrt(d2);
  };
  std::vector<TrackRow> rows;
  for (const TrackLine& t : lineage) {
    TrackRow r;
    r.label = t.label;
    r.first = t.begin;
    r.last = t.end;
    r.parent = t.parent;
    r.daughters = daughters.count(t.label) ? daughters[t.label] : 0;
    r.length = t.end >= t.begin ? t.end - t.begin + 1 : 0;
    // Generations up the parents; a cycle (a broken lineage) stops at the number of tracks.
    for (uint64_t p = t.parent; p && r.generation < lineage.size(); ++r.generation) {
      const auto up = by_label.find(p);
      p = up == by_label.end() ? 0 : up->second->parent;
    }
    auto& cells_of = course[t.label];
    std::sort(cells_of.begin(), cells_of.end(),
              [](const CellRow* a, const CellRow* b) { return a->frame < b->frame; });
    for (size_t k = 1; k < cells_of.size(); ++k)
      r.path_length += distance(*cells_of[k - 1], *cells_of[k]);
    if (!cells_of.empty()) {
      r.displacement = distance(*cells_of.front(), *cells_of.back());
      const uint64_t steps = cells_of.back()->frame - cells_of.front()->frame;
      r.speed = steps ? r.path_length / double(steps) : 0.0;
    }
    if (r.daughters >= 2)
      r.fate = Fate::kDivides;
    else if (frames && t.end + 1 >= frames)
      r.fate = Fate::kLastFrame;
    else if (!cells_of.empty() && cells_of.back()->touches_edge)
      r.fate = Fate::kLeaves;
    else
      r.fate = Fate::kStops;
    rows.push_back(r);
  }
  return rows;
}

}  // namespace trel::tool
