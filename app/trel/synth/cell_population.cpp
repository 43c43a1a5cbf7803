// Cell motion is an Ornstein–Uhlenbeck-like walk (velocity kept with a persistence factor plus
// Gaussian kicks) added to a constant drift per cell; overlap of the equivalent discs of two
// neighbours is reduced by a fixed fraction per frame. Size follows exponential growth, doubling
// the area (2D) or volume (3D) over one cycle; crowding halts the cycle (contact inhibition).
#include "cell_population.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tool_error.h"

namespace trel::tool {

namespace {

constexpr int kPlacementAttempts = 200;
constexpr double kClusterChance = 0.35;     // new cells placed next to an existing one
constexpr Range kClusterGap = {1.0, 1.15};  // their centre distance over the sum of radii
constexpr double kStartGap = 0.95;          // minimum centre distance over the sum of radii
constexpr double kSizeSpread = 0.15;        // relative spread of cell sizes
constexpr double kCycleSpread = 0.25;       // relative spread of cycle lengths
constexpr double kPersistence = 0.8;        // fraction of the velocity kept per frame
constexpr double kWalk = 0.7;               // velocity kick per frame, voxels
constexpr double kWalkZ = 0.25;             // the same along z, physical units
constexpr double kMaxDrift = 0.6;           // largest steady drift, voxels per frame
constexpr double kSpinKeep = 0.9;
constexpr double kSpinKick = 0.01;        // radians per frame
constexpr double kBendDrift = 0.05;       // radians per frame
constexpr double kContact = 1.0;          // equivalent discs start repelling when touching
constexpr double kRepulsion = 0.3;        // fraction of the overlap removed per frame
constexpr double kDaughterSpread = 0.5;   // daughter centres at +-this times the long axis
constexpr double kSeparationSpeed = 1.0;  // daughters' initial speed apart, voxels per frame
constexpr double kEntryRatePerCell = 0.006;
constexpr Range kEntrySpeed = {0.8, 1.4};  // inward drift of entering cells, voxels per frame
constexpr double kEntrySideways = 0.3;     // their sideways drift (standard deviation)
constexpr double kSisterBrightness = 0.1;  // standard deviation of a daughter's log brightness
constexpr int kSides = 4;
constexpr double kLayerMargin = 0.5;  // a nucleus may stick out of the stack by half
constexpr double kMaxEntryChance = 0.5;
constexpr double kEntryDepth = 0.5;          // entering centres start this many reaches outside
constexpr double kMaxCoverage = 0.3;         // image fraction covered at which cycles halt
constexpr double kMaxVolumeFraction = 0.15;  // the same for the volume of a stack
constexpr double kMinVisibleFraction = 0.2;
constexpr double kMinVisibleVoxels = 12.0;
constexpr double kLostReaches = 3.0;  // cells this many reaches outside are dropped
constexpr uint64_t kMaxLabel = 65535;

double Dimensions(const SceneGeometry& g) {
  return g.ThreeD() ? 3.0 : 2.0;
}

}  // namespace

CellPopulation::CellPopulation(const PopulationSettings& settings, uint64_t seed)
    : settings_(settings), random_(seed) {
  PlaceInitialCells();
}

double CellPopulation::CycleLength() {
  if (settings_.division_interval <= 0.0) return 0.0;
  return settings_.division_interval * random_.Uniform(1.0 - kCycleSpread, 1.0 + kCycleSpread);
}

Cell CellPopulation::NewCell(double size, double age_fraction) {
  Cell cell;
  const double radius = size * random_.Uniform(1.0 - kSizeSpread, 1.0 + kSizeSpread);
  cell.nucleus = MakeNucleus(random_, radius, settings_.geometry.ThreeD());
  cell.nucleus.cycle = CycleLength();
  cell.nucleus.age = age_fraction * cell.nucleus.cycle;
  if (cell.nucleus.cycle > 0.0)
    cell.nucleus.size = radius * std::pow(2.0, age_fraction / Dimensions(settings_.geometry));
  const double heading = random_.Uniform(0.0, 2.0 * std::numbers::pi);
  const double speed = random_.Uniform(0.0, kMaxDrift);
  cell.drift = {speed * std::cos(heading), speed * std::sin(heading), 0.0};
  return cell;
}

void CellPopulation::PlaceInitialCells() {
  const SceneGeometry& g = settings_.geometry;
  for (uint64_t i = 0; i < settings_.cells; ++i) {
    for (int attempt = 0; attempt < kPlacementAttempts; ++attempt) {
      Cell cell = NewCell(settings_.cell_radius, random_.Uniform());
      Nucleus& n = cell.nucleus;
      const double reach_z = ReachZ(n);
      const double low_z = std::min(reach_z, g.PhysicalDepth() / 2);
      const double z = random_.Uniform(low_z, std::max(g.PhysicalDepth() - reach_z, low_z));
      if (!cells_.empty() && random_.Chance(kClusterChance)) {
        const Nucleus& other = cells_[random_.Bits() % cells_.size()].nucleus;
        const double a = random_.Uniform(0.0, 2.0 * std::numbers::pi);
        const double d = (n.size + other.size) * random_.Uniform(kClusterGap);
        n.centre = {other.centre[0] + d * std::cos(a), other.centre[1] + d * std::sin(a), z};
      } else {
        n.centre = {random_.Uniform(0.0, g.width), random_.Uniform(0.0, g.height), z};
      }
      const bool free = std::none_of(cells_.begin(), cells_.end(), [&](const Cell& c) {
        const double dx = c.nucleus.centre[0] - n.centre[0], dy = c.nucleus.centre[1] - n.centre[1];
        return std::hypot(dx, dy) < kStartGap * (c.nucleus.size + n.size);
      });
      if (free) {
        cells_.push_back(cell);
        break;
      }
    }
  }
}

bool CellPopulation::Crowded() const {
  const SceneGeometry& g = settings_.geometry;
  const double area = static_cast<double>(g.width * g.height);
  double covered = 0.0;
  for (const Cell& c : cells_) {
    const double disc = std::numbers::pi * c.nucleus.size * c.nucleus.size;
    // In a stack nuclei lie at different depths: count the volume they fill.
    covered += g.ThreeD() ? 4.0 / 3.0 * disc * c.nucleus.size * c.nucleus.flatness : disc;
  }
  return g.ThreeD() ? covered > kMaxVolumeFraction * area * g.PhysicalDepth()
                    : covered > kMaxCoverage * area;
}

void CellPopulation::Divide(uint64_t frame) {
  std::vector<Cell> next;
  for (const Cell& mother : cells_) {
    const Nucleus& m = mother.nucleus;
    if (m.cycle <= 0.0 || m.age < m.cycle) {
      next.push_back(mother);
      continue;
    }
    ++divisions_;
    const double long_axis = SemiAxes(m)[0];
    const std::array<double, 3> axis = {std::cos(m.angle), std::sin(m.angle), 0.0};
    for (int side = -1; side <= 1; side += 2) {
      Cell d = NewCell(m.birth_size, 0.0);
      d.nucleus.brightness = m.brightness * std::exp(random_.Normal(0.0, kSisterBrightness));
      for (int k = 0; k < 3; ++k) {
        d.nucleus.centre[k] = m.centre[k] + side * kDaughterSpread * long_axis * axis[k];
        d.nucleus.velocity[k] = m.velocity[k] + side * kSeparationSpeed * axis[k];
      }
      d.drift = mother.drift;
      d.mother = mother.label;
      d.birth_frame = frame;
      next.push_back(d);
    }
  }
  cells_.swap(next);
}

void CellPopulation::Move() {
  const SceneGeometry& g = settings_.geometry;
  const double dims = Dimensions(g);
  for (Cell& cell : cells_) {
    Nucleus& n = cell.nucleus;
    for (int k = 0; k < 3; ++k) {
      const double kick = k < 2 ? kWalk : (g.ThreeD() ? kWalkZ : 0.0);
      n.velocity[k] = kPersistence * n.velocity[k] + kick * random_.Normal();
      n.centre[k] += n.velocity[k] + cell.drift[k];
    }
    if (g.ThreeD()) {
      // Cells lie in a layer: the stack's top and bottom reflect them.
      const double low = std::min(ReachZ(n) * kLayerMargin, g.PhysicalDepth() / 2);
      const double high = std::max(g.PhysicalDepth() - low, low);
      if (n.centre[2] < low) n.velocity[2] = std::abs(n.velocity[2]);
      if (n.centre[2] > high) n.velocity[2] = -std::abs(n.velocity[2]);
      n.centre[2] = std::clamp(n.centre[2], low, high);
    }
    n.angle += n.spin;
    n.spin = kSpinKeep * n.spin + kSpinKick * random_.Normal();
    for (double& phase : n.bend_phase) phase += kBendDrift * random_.Normal();
    if (n.cycle > 0.0) n.size = n.birth_size * std::pow(2.0, std::min(n.age / n.cycle, 1.0) / dims);
  }
}

void CellPopulation::Repel() {
  for (size_t i = 0; i < cells_.size(); ++i)
    for (size_t j = i + 1; j < cells_.size(); ++j) {
      Nucleus& a = cells_[i].nucleus;
      Nucleus& b = cells_[j].nucleus;
      double d[3], distance2 = 0.0;
      for (int k = 0; k < 3; ++k) {
        d[k] = b.centre[k] - a.centre[k];
        distance2 += d[k] * d[k];
      }
      const double distance = std::sqrt(distance2);
      const double contact = kContact * (a.size + b.size);
      if (distance >= contact || distance == 0.0) continue;
      const double push = 0.5 * kRepulsion * (contact - distance) / distance;
      for (int k = 0; k < 3; ++k) {
        a.centre[k] -= push * d[k];
        b.centre[k] += push * d[k];
      }
    }
}

void CellPopulation::Enter(uint64_t frame) {
  const SceneGeometry& g = settings_.geometry;
  const double chance =
      std::min(kMaxEntryChance, kEntryRatePerCell * static_cast<double>(settings_.cells));
  if (!random_.Chance(chance)) return;
  Cell cell = NewCell(settings_.cell_radius, random_.Uniform());
  Nucleus& n = cell.nucleus;
  const double outside = kEntryDepth * ReachXY(n);
  const double w = static_cast<double>(g.width), h = static_cast<double>(g.height);
  const double speed = random_.Uniform(kEntrySpeed), across = random_.Normal(0.0, kEntrySideways);
  const int side = static_cast<int>(random_.Uniform(0.0, kSides));
  const double along_x = random_.Uniform(0.0, w), along_y = random_.Uniform(0.0, h);
  const std::array<std::array<double, 4>, kSides> placement = {{
      {-outside, along_y, speed, across},      // from the left
      {w + outside, along_y, -speed, across},  // from the right
      {along_x, -outside, across, speed},      // from the top
      {along_x, h + outside, across, -speed},  // from the bottom
  }};
  const auto& p = placement[side];
  n.centre = {p[0], p[1], g.PhysicalDepth() / 2};
  cell.drift = {p[2], p[3], 0.0};
  cell.birth_frame = frame;
  cells_.push_back(cell);
}

void CellPopulation::Advance(uint64_t frame) {
  if (!Crowded())
    for (Cell& cell : cells_) cell.nucleus.age += 1.0;
  Divide(frame);
  Move();
  Repel();
  Enter(frame);
}

double CellPopulation::MinimumVoxels(const Cell& cell) const {
  const std::array<double, 3> axes = SemiAxes(cell.nucleus);
  const SceneGeometry& g = settings_.geometry;
  const double nominal =
      g.ThreeD() ? 4.0 / 3.0 * std::numbers::pi * axes[0] * axes[1] * axes[2] / g.z_spacing
                 : std::numbers::pi * axes[0] * axes[1];
  return std::max(kMinVisibleVoxels, kMinVisibleFraction * nominal);
}

std::vector<uint16_t> CellPopulation::Register(uint64_t frame,
                                               const std::vector<uint64_t>& voxels) {
  const SceneGeometry& g = settings_.geometry;
  std::vector<uint16_t> labels(cells_.size(), 0);
  for (size_t i = 0; i < cells_.size(); ++i) {
    Cell& cell = cells_[i];
    if (static_cast<double>(voxels[i]) >= MinimumVoxels(cell)) {
      if (cell.label == 0) {
        if (last_label_ >= kMaxLabel)
          throw ToolError(kExitUsage,
                          "the scene needs more than 65535 track labels; use fewer "
                          "cells or frames");
        cell.label = static_cast<uint16_t>(++last_label_);
        const uint16_t parent = (cell.mother != 0 && cell.birth_frame == frame) ? cell.mother : 0;
        tracks_.push_back({cell.label, frame, frame, parent, 0});
      }
      tracks_[cell.label - 1].end = frame;
      labels[i] = cell.label;
      continue;
    }
    const Nucleus& n = cell.nucleus;
    const double lost = kLostReaches * ReachXY(n);
    const bool far = n.centre[0] < -lost || n.centre[1] < -lost ||
                     n.centre[0] > static_cast<double>(g.width) + lost ||
                     n.centre[1] > static_cast<double>(g.height) + lost;
    if (cell.label != 0 || far) cell.retired = true;
  }
  return labels;
}

void CellPopulation::RemoveRetired() {
  std::erase_if(cells_, [](const Cell& c) { return c.retired; });
}

}  // namespace trel::tool
