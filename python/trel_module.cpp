// The compiled part of the Python module `trel`: tracking and diffusion filtering of numpy arrays
// in memory, through the same loops as `trel track` and `trel filter` on folders. The package's
// __init__.py checks and converts the arguments; this file runs the loops with the interpreter's
// lock released, hands progress to a Python callable between frames and lets Ctrl-C stop a run
// there.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "eval_report.h"
#include "evaluation.h"
#include "foundation/memory_frames.h"
#include "frame_files.h"
#include "label_image.h"
#include "mask_store.h"
#include "result_tables.h"
#include "stack_outlines.h"
#include "synthetic_sequence.h"
#include "tool_error.h"
#include "track_defaults.h"
#include "track_file.h"
#include "trel/error.h"
#include "trel/pipeline.h"
#include "voxa/resolution.h"

namespace py = pybind11;

namespace {

using Frames16 = py::array_t<uint16_t, py::array::c_style>;

trel::FrameShape ShapeOf(const Frames16& frames) {
  if (frames.ndim() != 3 && frames.ndim() != 4)
    throw py::value_error("frames must be (T, Y, X) or (T, Z, Y, X)");
  trel::FrameShape s;
  s.frames = frames.shape(0);
  s.slices = frames.ndim() == 4 ? frames.shape(1) : 1;
  s.rows = frames.shape(frames.ndim() - 2);
  s.columns = frames.shape(frames.ndim() - 1);
  return s;
}

// An array of the given shape that owns `voxels` without copying them.
py::array_t<uint16_t> ArrayOf(std::vector<uint16_t>&& voxels,
                              const std::vector<py::ssize_t>& shape) {
  auto* owned = new std::vector<uint16_t>(std::move(voxels));
  py::capsule free(owned, [](void* p) { delete static_cast<std::vector<uint16_t>*>(p); });
  return py::array_t<uint16_t>(shape, owned->data(), free);
}

// The same in the shape of `like`.
py::array_t<uint16_t> ArrayOf(std::vector<uint16_t>&& voxels, const Frames16& like) {
  return ArrayOf(std::move(voxels),
                 std::vector<py::ssize_t>(like.shape(), like.shape() + like.ndim()));
}

// Called between frames with the interpreter's lock released: reports to `progress` (if any)
// and stops the run with the pending Python exception (Ctrl-C, or one the callable raised).
trel::ProgressCallback Reporter(const py::object& progress) {
  return [progress](uint64_t i, uint64_t n) {
    py::gil_scoped_acquire lock;
    if (!progress.is_none()) progress(i + 1, n);
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
  };
}

// Voxel sizes (x, y, z) in micrometres; the image library keeps their reciprocals.
voxa::Resolution ResolutionOf(const std::array<float, 3>& xyz) {
  return voxa::Resolution(voxa::Vector3d<float>(1.0f / xyz[0], 1.0f / xyz[1], 1.0f / xyz[2]));
}

py::dict Defaults(const std::string& method, uint64_t slices) {
  const trel::tool::TrackDefaults d = trel::tool::DefaultsFor(method, slices);
  py::dict out;
  out["curv_weight"] = d.curv_weight;
  out["fg_weight"] = d.fg_weight;
  out["bg_weight"] = d.bg_weight;
  out["bg_factor"] = d.bg_factor;
  out["max_iter"] = d.max_iter;
  out["min_size"] = d.min_size;
  out["overlap"] = d.overlap;
  out["border"] = d.border;
  return out;
}

// The lineage as an (N, 4) array: label, first frame, last frame, parent.
py::array_t<int64_t> LineageArray(const std::vector<trel::tool::TrackLine>& tracks) {
  py::array_t<int64_t> lineage({py::ssize_t(tracks.size()), py::ssize_t(4)});
  auto rows = lineage.mutable_unchecked<2>();
  for (size_t k = 0; k < tracks.size(); ++k) {
    rows(k, 0) = int64_t(tracks[k].label);
    rows(k, 1) = int64_t(tracks[k].begin);
    rows(k, 2) = int64_t(tracks[k].end);
    rows(k, 3) = int64_t(tracks[k].parent);
  }
  return lineage;
}

// The lineage from an (N, 4) array, checked.
std::vector<trel::tool::TrackLine> TracksOf(
    const py::array_t<int64_t, py::array::c_style | py::array::forcecast>& lineage) {
  if (lineage.ndim() != 2 || (lineage.shape(0) > 0 && lineage.shape(1) != 4))
    throw py::value_error("lineage must be an (N, 4) array of label, first, last, parent");
  std::vector<trel::tool::TrackLine> tracks;
  auto rows = lineage.unchecked<2>();
  for (py::ssize_t k = 0; k < lineage.shape(0); ++k) {
    for (py::ssize_t c = 0; c < 4; ++c)
      if (rows(k, c) < 0) throw py::value_error("lineage values must be 0 or more");
    tracks.push_back({uint64_t(rows(k, 0)), uint64_t(rows(k, 1)), uint64_t(rows(k, 2)),
                      uint64_t(rows(k, 3)), 0});
  }
  return tracks;
}

// Both methods through the in-memory pipeline, the interpreter's lock released while it runs.
py::tuple Track(const Frames16& frames, const std::string& method,
                const std::array<float, 3>& voxel_size, const py::object& progress,
                float curv_weight, float fg_weight, float bg_weight, float bg_factor,
                uint64_t max_iter, uint64_t min_size, uint64_t overlap, uint64_t border,
                unsigned threads) {
  const trel::FrameShape s = ShapeOf(frames);
  const trel::pipeline::Method m =
      method == "graphcut" ? trel::pipeline::Method::kGraphCut : trel::pipeline::Method::kLevelSet;
  trel::pipeline::Result result;
  {
    py::gil_scoped_release unlocked;
    result = trel::pipeline::Track(frames.data(), {s.frames, s.slices, s.rows, s.columns},
                                   {voxel_size[0], voxel_size[1], voxel_size[2]}, m,
                                   {curv_weight, fg_weight, bg_weight, bg_factor, max_iter,
                                    min_size, overlap, border, threads},
                                   Reporter(progress));
  }
  std::vector<trel::tool::TrackLine> tracks;
  for (const trel::pipeline::LineageRow& r : result.lineage)
    tracks.push_back({r.label, r.first, r.last, r.parent, 0});
  return py::make_tuple(ArrayOf(std::move(result.labels), frames), LineageArray(tracks));
}

py::array_t<uint16_t> Filter(const Frames16& frames, const std::array<float, 3>& voxel_size,
                             const py::object& progress, float sigma, float rho, float tau,
                             uint64_t steps, unsigned threads) {
  const trel::FrameShape s = ShapeOf(frames);
  std::vector<uint16_t> voxels;
  {
    py::gil_scoped_release unlocked;
    voxels = trel::pipeline::Filter(frames.data(), {s.frames, s.slices, s.rows, s.columns},
                                    {voxel_size[0], voxel_size[1], voxel_size[2]}, sigma, rho, tau,
                                    steps, Reporter(progress), threads);
  }
  return ArrayOf(std::move(voxels), frames);
}

// Every frame <prefix>TTT.tif of a folder from frame 0 on, as one array (T, [Z,] Y, X).
py::array_t<uint16_t> ReadFrames(const std::string& folder, const std::string& prefix) {
  const trel::tool::FrameFiles files(folder, prefix);
  const uint64_t count = files.CountFrames();
  if (count == 0)
    throw trel::tool::ToolError(trel::tool::kExitNoInput,
                                folder + " holds no " + prefix + "000.tif");
  trel::tool::LabelImage mask;
  std::vector<uint16_t> voxels;
  std::vector<py::ssize_t> shape;
  for (uint64_t t = 0; t < count; ++t) {
    trel::tool::ReadLabelImage(files.Name(t), mask);
    if (t == 0) {
      shape = {py::ssize_t(count)};
      if (mask.GetSizeZ() > 1) shape.push_back(py::ssize_t(mask.GetSizeZ()));
      shape.push_back(py::ssize_t(mask.GetSizeY()));
      shape.push_back(py::ssize_t(mask.GetSizeX()));
      voxels.reserve(count * mask.GetImageSize());
    } else if (voxels.size() != t * mask.GetImageSize()) {
      throw trel::tool::ToolError(trel::tool::kExitDataError, files.Name(t).string() + " is " +
                                                                  trel::tool::SizeText(mask) +
                                                                  ", unlike the first frame");
    }
    voxels.insert(voxels.end(), mask.begin(), mask.end());
  }
  return ArrayOf(std::move(voxels), shape);
}

// A result folder in the community's layout: maskTTT.tif from frame 0 on, and res_track.txt.
py::tuple Read(const std::string& folder) {
  py::array_t<uint16_t> labels = ReadFrames(folder, "mask");  // first: a folder without masks
  const auto tracks = trel::tool::ReadTrackFile(std::filesystem::path(folder) / "res_track.txt");
  return py::make_tuple(labels, LineageArray(tracks));
}

// A synthetic sequence as `trel synth` writes it into `folder`.
void Synth(const std::string& folder, int dim, uint64_t size, uint64_t frames, uint64_t cells,
           double divisions, double snr, int bits, double z_spacing, uint64_t seed) {
  trel::tool::SynthOptions o;
  o.dim = dim;
  o.size = size;
  o.frames = frames;
  o.cells = cells;
  o.divisions = divisions;
  o.snr = snr;
  o.bits = bits;
  o.z_spacing = z_spacing;
  o.seed = seed;
  trel::tool::WriteSyntheticSequence(o, folder, nullptr);
}

// Writes masks (uint16, T x [Z x] Y x X) and their lineage (N x 4) as a result folder.
void Write(const std::string& folder, const Frames16& labels,
           const py::array_t<int64_t, py::array::c_style | py::array::forcecast>& lineage) {
  const trel::FrameShape s = ShapeOf(labels);
  const std::vector<trel::tool::TrackLine> tracks = TracksOf(lineage);
  std::filesystem::create_directories(folder);
  const trel::tool::FrameFiles files(folder, "mask");
  trel::tool::LabelImage mask;
  mask.MakeRoom(s.columns, s.rows, s.slices);
  for (uint64_t t = 0; t < s.frames; ++t) {
    std::copy(labels.data() + t * s.FrameVoxels(), labels.data() + (t + 1) * s.FrameVoxels(),
              mask.begin());
    trel::tool::WriteLabelImage(files.Name(t), mask);
  }
  trel::tool::WriteTrackFile(files.folder() / "res_track.txt", tracks);
}

// The tables of `trel measure` for labels and lineage in memory (and the frames, if given).
py::dict Measure(const Frames16& labels,
                 const py::array_t<int64_t, py::array::c_style | py::array::forcecast>& lineage,
                 const std::optional<Frames16>& frames, const std::array<float, 3>& voxel_size) {
  const trel::FrameShape s = ShapeOf(labels);
  if (frames && (frames->ndim() != labels.ndim() ||
                 !std::equal(labels.shape(), labels.shape() + labels.ndim(), frames->shape())))
    throw py::value_error("frames and labels must have the same shape");
  const std::vector<trel::tool::TrackLine> tracks = TracksOf(lineage);
  // The masks are only read; MemoryMasks also writes, which Tabulate never asks of it.
  trel::tool::MemoryMasks masks(const_cast<uint16_t*>(labels.data()), s.slices, s.rows, s.columns);
  std::optional<trel::MemoryFrames> grey;
  if (frames) grey.emplace(frames->data(), s, ResolutionOf(voxel_size));
  const trel::tool::GreyFrames read = [&](uint64_t t, trel::tool::LabelImage& image) {
    grey->LoadFrame(image, t);
    return "frame " + std::to_string(t);
  };
  const trel::tool::ResultTables tables =
      trel::tool::Tabulate(masks, grey ? &read : nullptr, s.frames, tracks,
                           {voxel_size[0], voxel_size[1], voxel_size[2]});
  py::dict out;
  out["objects"] = tables.objects;
  out["tracks"] = tables.tracks;
  out["napari_tracks"] = tables.napari_tracks;
  out["napari_graph"] = tables.napari_graph;
  return out;
}

// Every measure of `trel eval --json`, as its JSON text.
std::string Evaluate(const std::string& gt, const std::string& res) {
  return trel::tool::ToJson(trel::tool::Evaluate(gt, res)).dump();
}

}  // namespace

PYBIND11_MODULE(_trel, m) {
  m.doc() = "The compiled part of trel; use the package `trel`.";
  static py::exception<trel::Error> error(m, "Error");
  // The steps after the graph cut report as the tool does; to Python both are trel.Error.
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const trel::Error& e) {
      error(e.what());
    } catch (const trel::tool::ToolError& e) {
      error(e.what());
    }
  });
  m.def("track", &Track, py::arg("frames"), py::arg("method"), py::arg("voxel_size"),
        py::arg("progress"), py::arg("curv_weight"), py::arg("fg_weight"), py::arg("bg_weight"),
        py::arg("bg_factor"), py::arg("max_iter"), py::arg("min_size"), py::arg("overlap"),
        py::arg("border"), py::arg("threads"));
  m.def("read", &Read, py::arg("folder"));
  m.def("read_frames", &ReadFrames, py::arg("folder"), py::arg("prefix"));
  m.def("synth", &Synth, py::arg("folder"), py::arg("dim"), py::arg("size"), py::arg("frames"),
        py::arg("cells"), py::arg("divisions"), py::arg("snr"), py::arg("bits"),
        py::arg("z_spacing"), py::arg("seed"));
  m.def("write", &Write, py::arg("folder"), py::arg("labels"), py::arg("lineage"));
  m.def("evaluate", &Evaluate, py::arg("gt"), py::arg("res"));
  m.def("measure", &Measure, py::arg("labels"), py::arg("lineage"), py::arg("frames"),
        py::arg("voxel_size"));
  m.def("defaults", &Defaults, py::arg("method"), py::arg("slices"));
  m.def("filter_defaults", [] {
    py::dict out;
    out["sigma"] = trel::tool::kDiffusionSigma;
    out["rho"] = trel::tool::kDiffusionRho;
    out["tau"] = trel::tool::kDiffusionTau;
    out["steps"] = trel::tool::kDiffusionSteps;
    return out;
  });
  m.def("filter", &Filter, py::arg("frames"), py::arg("voxel_size"), py::arg("progress"),
        py::arg("sigma"), py::arg("rho"), py::arg("tau"), py::arg("steps"), py::arg("threads"));
}
