// The frame loop of the generator: advance the cell population, rasterise it, register which
// cells show, paint labels and acquisition, write the three images of the frame; the lineage
// file is written last, once every frame is on disk.
#include "synthetic_sequence.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "cell_population.h"
#include "frame_files.h"
#include "label_image.h"
#include "scene_renderer.h"
#include "tool_error.h"
#include "track_file.h"
#include "voxa/exceptions.h"

namespace trel::tool {

namespace {

// Mean nucleus radius relative to the image size: stacks are smaller, so nuclei take more of them.
constexpr double kRadiusPerSize2D = 1.0 / 32.0;
constexpr double kRadiusPerSize3D = 1.0 / 20.0;
constexpr double kMinRadius = 5.0;
constexpr uint64_t kMinSize = 16;
constexpr uint64_t kPopulationStream = 1;
constexpr uint64_t kCameraStream = 2;

void CheckOptions(const SynthOptions& o) {
  auto fail = [](const std::string& text) { throw ToolError(kExitUsage, text); };
  if (o.dim != 2 && o.dim != 3) fail("--dim must be 2 or 3");
  if (o.bits != 8 && o.bits != 16) fail("--bits must be 8 or 16");
  if (o.Size() < kMinSize) fail("--size must be at least " + std::to_string(kMinSize));
  if (o.dim == 3 && o.Depth() < 2) fail("--depth must be at least 2 for a 3D sequence");
  if (o.dim == 2 && o.depth > 1) fail("--depth applies to 3D sequences only (use --dim 3)");
  if (o.frames == 0) fail("--frames must be at least 1");
  if (!(o.divisions >= 0.0) || !std::isfinite(o.divisions)) fail("--divisions must be >= 0");
  if (!(o.snr > 0.0) || !std::isfinite(o.snr)) fail("--snr must be > 0");
  if (!(o.z_spacing > 0.0) || !std::isfinite(o.z_spacing)) fail("--z-spacing must be > 0");
}

void MakeFolder(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder))
    throw ToolError(kExitCannotCreate,
                    "cannot create folder " + folder.string() + " (" + error.message() + ")");
}

void WriteFrame(const std::filesystem::path& file, const voxa::Image3d<unsigned short>& image,
                int bits) {
  if (bits == 16) return WriteLabelImage(file, image);
  voxa::Image3d<unsigned char> narrow;
  narrow.SetResolution(image.GetResolution());
  narrow.MakeRoom(image.GetSizeX(), image.GetSizeY(), image.GetSizeZ());
  std::copy(image.begin(), image.end(), narrow.begin());
  try {
    narrow.SaveImage(file.c_str());
  } catch (const voxa::IOException& e) {
    throw ToolError(kExitIoError, "cannot write " + file.string() + " (" + e.what() + ")");
  }
}

// Removes frames numbered from `first` on that an earlier, longer run left in the folder, so
// that the folder holds one consistent sequence.
void RemoveStaleFrames(const FrameFiles& files, uint64_t first) {
  std::error_code error;
  for (uint64_t t = first; std::filesystem::exists(files.Name(t), error); ++t)
    if (!std::filesystem::remove(files.Name(t), error))
      throw ToolError(kExitIoError, "cannot remove the stale frame " + files.Name(t).string());
}

uint64_t CountDivisions(const std::vector<TrackLine>& tracks) {
  std::map<uint64_t, int> daughters;
  for (const TrackLine& t : tracks)
    if (t.parent) ++daughters[t.parent];
  return static_cast<uint64_t>(std::count_if(daughters.begin(), daughters.end(),
                                             [](const auto& d) { return d.second >= 2; }));
}

}  // namespace

SynthSummary WriteSyntheticSequence(const SynthOptions& options, const std::filesystem::path& out,
                                    std::ostream* log) {
  CheckOptions(options);
  const std::filesystem::path raw = out / "01", seg = out / "01_GT" / "SEG",
                              tra = out / "01_GT" / "TRA";
  for (const auto& folder : {raw, seg, tra}) MakeFolder(folder);

  PopulationSettings population;
  population.geometry = {options.Size(), options.Size(), options.Depth(),
                         options.dim == 3 ? options.z_spacing : 1.0};
  population.cells = options.cells;
  population.cell_radius =
      std::max(kMinRadius, (options.dim == 3 ? kRadiusPerSize3D : kRadiusPerSize2D) *
                               static_cast<double>(options.Size()));
  population.division_interval = options.divisions;
  CellPopulation cells(population, MixSeed(options.seed, kPopulationStream));
  SceneRenderer renderer(population.geometry, {options.snr, options.bits},
                         MixSeed(options.seed, kCameraStream));

  SynthSummary summary;
  voxa::Image3d<unsigned short> labels, frame_image;
  const FrameFiles raw_files(raw, "t"), seg_files(seg, "man_seg"), tra_files(tra, "man_track");
  for (uint64_t t = 0; t < options.frames; ++t) {
    if (t > 0) cells.Advance(t);
    const std::vector<uint64_t> voxels = renderer.Rasterise(cells.cells());
    const std::vector<uint16_t> shown = cells.Register(t, voxels);
    renderer.Paint(cells.cells(), shown, t, labels, frame_image);
    cells.RemoveRetired();
    summary.objects += static_cast<uint64_t>(
        std::count_if(shown.begin(), shown.end(), [](uint16_t l) { return l != 0; }));
    WriteFrame(raw_files.Name(t), frame_image, options.bits);
    WriteLabelImage(seg_files.Name(t), labels);
    WriteLabelImage(tra_files.Name(t), labels);
    if (log) *log << "\rframe " << t + 1 << "/" << options.frames << std::flush;
  }
  if (log) *log << "\n";
  for (const FrameFiles* files : {&raw_files, &seg_files, &tra_files})
    RemoveStaleFrames(*files, options.frames);
  WriteTrackFile(tra / "man_track.txt", cells.tracks());
  summary.tracks = cells.tracks().size();
  summary.divisions = CountDivisions(cells.tracks());
  return summary;
}

}  // namespace trel::tool
