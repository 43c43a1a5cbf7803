// Segmentation quality of the level-set routines on a sequence with reference segmentations, for
// choosing their default weights. The frames run through the tracker's per-frame chain (Gaussian,
// initial segmentation, speed image, two-phase evolution on frame 0 and multi-label evolution from
// the previous labels after it, new objects added from the initial segmentation), with a plain
// stand-in for the label clean-up (per label, pieces under min_size go and further large pieces
// become labels of their own). Every frame with a reference is scored by the mean Jaccard index
// of its reference objects, an object counting as found when one label covers more than half of
// it (the SEG measure). Run by hand:
//   seg_quality SEQ_FOLDER [curv fg bg bg_factor max_iter min_size [frames]]
// SEG_VERBOSE=1 prints every object's score; SEG_SAVE=folder writes the labels of every frame.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "region_components.h"
#include "voxa/filters.h"
#include "voxa/fls.h"
#include "voxa/gibou_fedkiw.h"
#include "voxa/image3d.h"
#include "voxa/voxel_type.h"

namespace {

using voxa::Image3d;
using Clock = std::chrono::steady_clock;
using RoutinePtr = std::unique_ptr<voxa::fls::Routine<int>>;

constexpr int kSmoothingSweeps = 2;
constexpr size_t kGibouFedkiwRounds = 30;
constexpr size_t kLabels = 65536;

struct Params {
  float curv = 0.3f, fg = 1.0f, bg = 1.0f, bg_factor = 1.0f;
  size_t max_iter = 50, min_size = 100;
};

bool Load(const std::string& name, Image3d<unsigned short>& image) {
  if (!std::filesystem::exists(name)) return false;
  if (voxa::ReadImageType(name.c_str(), 0) == voxa::kVoxelGray8) {
    Image3d<unsigned char> bytes;
    bytes.ReadImage(name.c_str());
    image.MakeRoom(bytes.GetSizeX(), bytes.GetSizeY(), bytes.GetSizeZ());
    std::copy(bytes.begin(), bytes.end(), image.begin());
  } else {
    image.ReadImage(name.c_str());
  }
  return true;
}

template <class Member, class Visit>
void Regions(const Image3d<unsigned short>& geometry, Member member, Visit visit) {
  trel::bench::ForEachRegion(geometry.GetSizeX(), geometry.GetSizeY(), geometry.GetSizeZ(), member,
                             visit);
}

// Sum of the Jaccard indices of the reference objects; `objects` receives their number.
double Seg(const Image3d<unsigned short>& labels, const Image3d<unsigned short>& truth,
           int& objects) {
  std::vector<uint64_t> size(kLabels, 0), label_size(kLabels, 0);
  for (const unsigned short t : truth) ++size[t];
  for (const unsigned short l : labels) ++label_size[l];
  double total = 0;
  objects = 0;
  std::vector<uint64_t> overlap(kLabels);
  for (size_t t = 1; t < kLabels; ++t) {
    if (!size[t]) continue;
    ++objects;
    std::fill(overlap.begin(), overlap.end(), 0);
    for (uint64_t i = 0; i < truth.GetImageSize(); ++i)
      if (truth.GetVoxel(i) == t) ++overlap[labels.GetVoxel(i)];
    double j = 0;
    for (size_t l = 1; l < kLabels; ++l)
      if (2 * overlap[l] > size[t]) {
        j = double(overlap[l]) / double(size[t] + label_size[l] - overlap[l]);
        break;
      }
    total += j;
    if (getenv("SEG_VERBOSE")) std::printf("  object %zu size %lu J %.3f\n", t, size[t], j);
  }
  return total;
}

// Objects of the initial mask that meet no label get fresh labels.
void AddNewObjects(const Image3d<bool>& mask, size_t min_size, Image3d<unsigned short>& labels,
                   unsigned& next) {
  Regions(
      labels, [&](uint64_t v) { return mask.GetVoxel(v); },
      [&](const std::vector<uint64_t>& region) {
        if (region.size() < min_size || next >= kLabels - 1) return;
        for (const uint64_t v : region)
          if (labels.GetVoxel(v)) return;
        ++next;
        for (const uint64_t v : region) labels.SetVoxel(v, static_cast<unsigned short>(next));
      });
}

// Per label: pieces under min_size are erased, the largest piece keeps the label and every
// further large piece becomes a label of its own (a division).
void CleanUp(size_t min_size, Image3d<unsigned short>& labels, unsigned& next) {
  const Image3d<unsigned short> before = labels;
  std::vector<std::vector<uint64_t>> pieces;
  Regions(
      before, [&](uint64_t v) { return before.GetVoxel(v) != 0; },
      [&](const std::vector<uint64_t>& region) {
        std::vector<uint64_t> sorted = region;
        std::sort(sorted.begin(), sorted.end(),
                  [&](uint64_t a, uint64_t b) { return before.GetVoxel(a) < before.GetVoxel(b); });
        for (size_t start = 0; start < sorted.size();) {
          size_t end = start;
          while (end < sorted.size() &&
                 before.GetVoxel(sorted[end]) == before.GetVoxel(sorted[start]))
            ++end;
          pieces.emplace_back(sorted.begin() + start, sorted.begin() + end);
          start = end;
        }
      });
  std::sort(pieces.begin(), pieces.end(),
            [](const auto& a, const auto& b) { return a.size() > b.size(); });
  std::vector<char> kept(kLabels, 0);
  for (const auto& piece : pieces) {
    const unsigned short label = before.GetVoxel(piece[0]);
    unsigned short target = label;
    if (piece.size() < min_size)
      target = 0;
    else if (kept[label] && next < kLabels - 1)
      target = static_cast<unsigned short>(++next);
    kept[label] = 1;
    for (const uint64_t v : piece) labels.SetVoxel(v, target);
  }
}

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s SEQ [curv fg bg bg_factor max_iter min_size [frames]]\n",
                 argv[0]);
    return 1;
  }
  const std::string seq = argv[1];
  Params p;
  if (argc >= 8) {
    p.curv = std::atof(argv[2]);
    p.fg = std::atof(argv[3]);
    p.bg = std::atof(argv[4]);
    p.bg_factor = std::atof(argv[5]);
    p.max_iter = std::atoi(argv[6]);
    p.min_size = std::atoi(argv[7]);
  }
  const size_t frames = argc >= 9 ? std::atoi(argv[8]) : 100000;
  const char* save = getenv("SEG_SAVE");
  Image3d<unsigned short> frame, labels, truth;
  Image3d<bool> mask;
  Image3d<float> speed;
  unsigned next = 0;
  double seg_sum = 0, t_gauss = 0, t_gf = 0, t_speed = 0, t_evolve = 0;
  int seg_objects = 0;
  size_t iterations = 0;
  char name[1024];
  for (size_t i = 0; i < frames; ++i) {
    std::snprintf(name, sizeof name, "%s/t%03zu.tif", seq.c_str(), i);
    if (!Load(name, frame)) break;
    const auto t0 = Clock::now();
    voxa::GrayGaussIIR(frame, 1.0);
    const auto t1 = Clock::now();
    float fg_mean, bg_mean;
    voxa::GibouFedkiw(frame, mask, p.fg, p.bg, fg_mean, bg_mean, kGibouFedkiwRounds);
    const auto t2 = Clock::now();
    voxa::fls::RegionSpeedImage(frame, speed);
    const auto t3 = Clock::now();
    RoutinePtr routine;
    if (i == 0) {
      routine.reset(voxa::fls::GlobChanVeseRoutine(speed, mask, nullptr, false, kSmoothingSweeps,
                                                   p.curv, p.fg, p.bg));
      routine->Initialize();
      iterations += routine->IterateUntilConvergence(p.max_iter);
      routine->Mask(mask.begin(), voxa::fls::ResultCreator::kForeground, false);
      next = trel::bench::LabelRegions(mask, p.min_size, labels);
    } else {
      AddNewObjects(mask, p.min_size, labels, next);
      routine.reset(voxa::fls::LabGlobChanVeseRoutine(speed, labels, nullptr, kSmoothingSweeps,
                                                      p.curv, p.fg, p.bg * p.bg_factor, false));
      routine->Initialize();
      iterations += routine->IterateUntilConvergence(p.max_iter);
      routine->Labels(labels.begin(), false);
    }
    const auto t4 = Clock::now();
    if (i > 0) CleanUp(p.min_size, labels, next);
    t_gauss += Seconds(t0, t1);
    t_gf += Seconds(t1, t2);
    t_speed += Seconds(t2, t3);
    t_evolve += Seconds(t3, t4);
    std::snprintf(name, sizeof name, "%s_GT/SEG/man_seg%03zu.tif", seq.c_str(), i);
    if (Load(name, truth)) {
      int objects = 0;
      const double s = Seg(labels, truth, objects);
      seg_sum += s;
      seg_objects += objects;
      std::printf("frame %3zu  objects %3d  mean J %.3f\n", i, objects, objects ? s / objects : 0);
    }
    if (save) {
      std::snprintf(name, sizeof name, "%s/mask%03zu.tif", save, i);
      labels.SaveImage(name);
    }
  }
  std::printf("SEG %.4f over %d objects; iterations %zu\n",
              seg_objects ? seg_sum / seg_objects : 0.0, seg_objects, iterations);
  std::printf("seconds: gauss %.2f  gibou-fedkiw %.2f  speed %.2f  evolution %.2f\n", t_gauss, t_gf,
              t_speed, t_evolve);
  return 0;
}
