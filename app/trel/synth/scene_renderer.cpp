// Frame rendering in three passes: ownership by nearest normalised distance (touching nuclei meet
// along a line between them, as annotators draw them), emission of owned voxels in each
// nucleus' frame, then the optics and the camera. Contrast follows from the wanted SNR:
// C = snr * sqrt(B + r^2) photons for background B and read noise r.
#include "scene_renderer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "voxa/filters.h"

namespace trel::tool {

namespace {

constexpr double kBackgroundPhotons = 8.0;
constexpr double kReadNoisePhotons = 2.0;
// Nuclei lose some contrast to the dome profile and to the blur at their rims; this factor,
// measured on generated sequences, makes the measured SNR match the one asked for.
constexpr double kContrastCalibration = 1.1;
constexpr double kPsfSigma = 1.2;      // lateral blur, x/y voxels
constexpr double kAxialStretch = 2.5;  // the blur is this much wider along z (physical units)
constexpr double kHazeSigma = 12.0;    // out-of-focus light, x/y voxels
constexpr double kHazeFraction = 0.12;
constexpr double kGradient = 0.35;     // background change across the image, relative
constexpr double kWideGain = 3.0;      // grey values per photon, 16-bit
constexpr double kWideOffset = 100.0;  // camera offset, 16-bit
constexpr double kNarrowOffset = 4.0;
constexpr double kNarrowTop = 230.0;  // 8-bit grey value that bright nuclei should reach
constexpr double kBrightPeak = 3.0;   // bright nuclei reach this many contrasts
constexpr double kMaxNarrowGain = 2.0;
constexpr float kOutside = std::numeric_limits<float>::max();
constexpr uint64_t kNoiseStream = 1000;

}  // namespace

SceneRenderer::SceneRenderer(const SceneGeometry& geometry, const ImagingSettings& imaging,
                             uint64_t seed)
    : geometry_(geometry), imaging_(imaging), seed_(seed) {
  background_photons_ = kBackgroundPhotons;
  contrast_photons_ = kContrastCalibration * imaging.snr *
                      std::sqrt(kBackgroundPhotons + kReadNoisePhotons * kReadNoisePhotons);
  if (imaging.bits == 8) {
    offset_ = kNarrowOffset;
    gain_ = std::min(kMaxNarrowGain, (kNarrowTop - kNarrowOffset) /
                                         (kBackgroundPhotons + kBrightPeak * contrast_photons_));
  } else {
    offset_ = kWideOffset;
    gain_ = kWideGain;
  }
  RandomSource random(MixSeed(seed, 0));
  const double heading = random.Uniform(0.0, 2.0 * std::numbers::pi);
  gradient_x_ = kGradient * std::cos(heading);
  gradient_y_ = kGradient * std::sin(heading);
  const uint64_t voxels = geometry.width * geometry.height * geometry.depth;
  owner_.resize(voxels);
  nearness_.resize(voxels);
  emission_.MakeRoom(geometry.width, geometry.height, geometry.depth);
}

template <class Visit>
void SceneRenderer::ForEachVoxel(const Nucleus& n, Visit&& visit) const {
  const SceneGeometry& g = geometry_;
  const NucleusFrame frame(n);
  const double reach = ReachXY(n);
  auto range = [](double centre, double half, double spacing, uint64_t size, int64_t& lo,
                  int64_t& hi) {
    lo = std::max<int64_t>(0, static_cast<int64_t>(std::floor((centre - half) / spacing)));
    hi = std::min<int64_t>(static_cast<int64_t>(size) - 1,
                           static_cast<int64_t>(std::ceil((centre + half) / spacing)));
  };
  int64_t x0, x1, y0, y1, z0 = 0, z1 = 0;
  range(n.centre[0], reach, 1.0, g.width, x0, x1);
  range(n.centre[1], reach, 1.0, g.height, y0, y1);
  if (g.ThreeD()) range(n.centre[2], ReachZ(n), g.z_spacing, g.depth, z0, z1);
  for (int64_t z = z0; z <= z1; ++z) {
    const double dz = g.ThreeD() ? static_cast<double>(z) * g.z_spacing - n.centre[2] : 0.0;
    for (int64_t y = y0; y <= y1; ++y) {
      const uint64_t row =
          (static_cast<uint64_t>(z) * g.height + static_cast<uint64_t>(y)) * g.width;
      for (int64_t x = x0; x <= x1; ++x) {
        const LocalPoint p = ToLocal(frame, static_cast<double>(x) - n.centre[0],
                                     static_cast<double>(y) - n.centre[1], dz);
        if (p.rho <= 1.0) visit(row + static_cast<uint64_t>(x), p);
      }
    }
  }
}

std::vector<uint64_t> SceneRenderer::Rasterise(const std::vector<Cell>& cells) {
  std::fill(owner_.begin(), owner_.end(), -1);
  std::fill(nearness_.begin(), nearness_.end(), kOutside);
  for (size_t i = 0; i < cells.size(); ++i)
    ForEachVoxel(cells[i].nucleus, [&](uint64_t k, const LocalPoint& p) {
      if (static_cast<float>(p.rho) < nearness_[k]) {
        nearness_[k] = static_cast<float>(p.rho);
        owner_[k] = static_cast<int32_t>(i);
      }
    });
  std::vector<uint64_t> counts(cells.size(), 0);
  for (int32_t o : owner_)
    if (o >= 0) ++counts[static_cast<size_t>(o)];
  return counts;
}

void SceneRenderer::Prepare(voxa::Image3d<unsigned short>& image) const {
  image.MakeRoom(geometry_.width, geometry_.height, geometry_.depth);
  const float z_resolution = static_cast<float>(1.0 / geometry_.z_spacing);
  image.SetResolution(voxa::Resolution({1.0f, 1.0f, geometry_.ThreeD() ? z_resolution : 1.0f}));
}

void SceneRenderer::Paint(const std::vector<Cell>& cells, const std::vector<uint16_t>& labels,
                          uint64_t frame, voxa::Image3d<unsigned short>& label_image,
                          voxa::Image3d<unsigned short>& frame_image) {
  Prepare(label_image);
  std::fill(label_image.begin(), label_image.end(), 0);
  emission_.SetAllVoxels(0.0f);
  const double fading = std::exp(-imaging_.bleaching * static_cast<double>(frame));
  unsigned short* out = label_image.begin();
  for (size_t i = 0; i < cells.size(); ++i) {
    if (labels[i] == 0) continue;
    const Nucleus& n = cells[i].nucleus;
    const auto self = static_cast<int32_t>(i);
    ForEachVoxel(n, [&](uint64_t k, const LocalPoint& p) {
      if (owner_[k] != self) return;
      out[k] = labels[i];
      emission_.begin()[k] = static_cast<float>(contrast_photons_ * fading * Emission(n, p));
    });
  }
  Acquire(frame, frame_image);
}

void SceneRenderer::Acquire(uint64_t frame, voxa::Image3d<unsigned short>& image) {
  const SceneGeometry& g = geometry_;
  const double z_sigma = g.ThreeD() ? kAxialStretch * kPsfSigma / g.z_spacing : 0.0;
  voxa::FloatGaussIIR(emission_, kPsfSigma, kPsfSigma, z_sigma);
  haze_ = emission_;
  voxa::FloatGaussIIR(haze_, kHazeSigma, kHazeSigma, g.ThreeD() ? kHazeSigma / g.z_spacing : 0.0);

  Prepare(image);
  RandomSource noise(MixSeed(seed_, kNoiseStream + frame));
  const double top = imaging_.bits == 8 ? 255.0 : 65535.0;
  unsigned short* out = image.begin();
  for (uint64_t z = 0, k = 0; z < g.depth; ++z)
    for (uint64_t y = 0; y < g.height; ++y) {
      const double v = static_cast<double>(y) / static_cast<double>(g.height) - 0.5;
      for (uint64_t x = 0; x < g.width; ++x, ++k) {
        const double u = static_cast<double>(x) / static_cast<double>(g.width) - 0.5;
        const double background = background_photons_ * (1.0 + gradient_x_ * u + gradient_y_ * v);
        const double mean = background + emission_.begin()[k] + kHazeFraction * haze_.begin()[k];
        const double photons =
            static_cast<double>(noise.Poisson(mean)) + kReadNoisePhotons * noise.Normal();
        out[k] = static_cast<unsigned short>(
            std::clamp(std::round(offset_ + gain_ * photons), 0.0, top));
      }
    }
}

}  // namespace trel::tool
