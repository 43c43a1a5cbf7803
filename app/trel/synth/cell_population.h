// The simulated cells of a synthetic sequence and their lineage. Cells wander (a persistent
// random walk on top of a slow drift of their own), turn, grow through their cycle and divide
// into two daughters that push apart; neighbours repel, so nuclei touch but seldom overlap much.
// Cells enter through and leave by the image border. A cell becomes a track when enough of it
// lies in the image and its track ends once too little does; a daughter whose track begins in
// the frame after its mother's last one carries the mother as parent.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "nucleus.h"
#include "random_source.h"
#include "track_file.h"

namespace trel::tool {

struct SceneGeometry {
  uint64_t width = 0, height = 0, depth = 1;  // voxels; depth 1 for 2D
  double z_spacing = 1.0;                     // slice distance in x/y voxel units
  bool ThreeD() const { return depth > 1; }
  // Physical extent along z (0 in 2D).
  double PhysicalDepth() const { return ThreeD() ? (depth - 1) * z_spacing : 0.0; }
};

struct PopulationSettings {
  SceneGeometry geometry;
  uint64_t cells = 25;           // cells at frame 0
  double cell_radius = 16.0;     // mean equivalent radius at birth, x/y voxels
  double division_interval = 0;  // mean frames from birth to division; 0: no divisions
};

struct Cell {
  Nucleus nucleus;
  std::array<double, 3> drift{};
  uint16_t label = 0;        // 0 until the cell first shows in the image
  uint16_t mother = 0;       // the mother's label, for a daughter
  uint64_t birth_frame = 0;  // frame the cell was born in (or entered the scene)
  bool retired = false;      // its track has ended; removed by RemoveRetired
};

class CellPopulation {
 public:
  CellPopulation(const PopulationSettings& settings, uint64_t seed);

  // Moves the scene on to `frame`: divisions of cells at the end of their cycle, motion,
  // repulsion, cells entering at the border.
  void Advance(uint64_t frame);

  // Records which cells show in `frame`: `voxels[i]` is the number of voxels cell i owns in the
  // image. Opens or extends tracks and retires cells that no longer show enough. Returns each
  // cell's label in this frame, 0 for cells that do not show (their voxels must be cleared).
  std::vector<uint16_t> Register(uint64_t frame, const std::vector<uint64_t>& voxels);
  void RemoveRetired();

  const std::vector<Cell>& cells() const { return cells_; }
  // The lineage so far, ascending by label.
  const std::vector<TrackLine>& tracks() const { return tracks_; }
  uint64_t divisions() const { return divisions_; }

 private:
  void PlaceInitialCells();
  Cell NewCell(double size, double age_fraction);
  void Divide(uint64_t frame);
  void Move();
  void Repel();
  void Enter(uint64_t frame);
  bool Crowded() const;
  double MinimumVoxels(const Cell& cell) const;
  double CycleLength();

  PopulationSettings settings_;
  RandomSource random_;
  std::vector<Cell> cells_;
  std::vector<TrackLine> tracks_;
  uint64_t last_label_ = 0;
  uint64_t divisions_ = 0;
};

}  // namespace trel::tool
