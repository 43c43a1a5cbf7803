// Renders one frame of a synthetic sequence: the exact label image of the cells, and the
// microscope's view of them. Emission of every nucleus is blurred by the optical point spread
// function (wider along z), a faint out-of-focus haze is added, and the photon counts over a
// background with a gentle gradient are drawn from a Poisson law, with Gaussian camera read
// noise on top, then scaled to grey values.
#pragma once

#include <cstdint>
#include <vector>

#include "cell_population.h"
#include "random_source.h"
#include "voxa/image3d.h"

namespace trel::tool {

struct ImagingSettings {
  double snr = 6.0;          // mean nucleus contrast over the background noise's standard deviation
  int bits = 16;             // 8 or 16
  double bleaching = 0.004;  // relative loss of nucleus brightness per frame
};

class SceneRenderer {
 public:
  SceneRenderer(const SceneGeometry& geometry, const ImagingSettings& imaging, uint64_t seed);

  // Assigns every voxel to the nucleus whose outline is nearest (in normalised distance) among
  // those covering it; returns the voxel count of each cell. O(voxels of the cells' boxes).
  std::vector<uint64_t> Rasterise(const std::vector<Cell>& cells);

  // Writes the labels (cells with label 0 are left out) and the simulated acquisition of frame
  // `frame`. Needs the Rasterise of the same cells just before.
  void Paint(const std::vector<Cell>& cells, const std::vector<uint16_t>& labels, uint64_t frame,
             voxa::Image3d<unsigned short>& label_image,
             voxa::Image3d<unsigned short>& frame_image);

 private:
  template <class Visit>
  void ForEachVoxel(const Nucleus& n, Visit&& visit) const;
  void Acquire(uint64_t frame, voxa::Image3d<unsigned short>& image);
  void Prepare(voxa::Image3d<unsigned short>& image) const;

  SceneGeometry geometry_;
  ImagingSettings imaging_;
  uint64_t seed_;
  double background_photons_;
  double contrast_photons_;
  double gain_;
  double offset_;
  double gradient_x_, gradient_y_;
  std::vector<int32_t> owner_;
  std::vector<float> nearness_;
  voxa::Image3d<float> emission_;
  voxa::Image3d<float> haze_;
};

}  // namespace trel::tool
