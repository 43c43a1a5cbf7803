// `trel measure RES [--frames IN] [--out DIR]`: the tables of a result for pandas, R, spreadsheets
// and napari: objects.csv, tracks.csv, napari_tracks.csv and napari_graph.json.
#include <CLI/CLI.hpp>
#include <iomanip>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "atomic_file.h"
#include "commands.h"
#include "frame_files.h"
#include "label_image.h"
#include "result_tables.h"
#include "track_file.h"

namespace trel::tool {

namespace {

struct MeasureOptions {
  std::filesystem::path res, frames, out;
};

// The voxel size as the message gives it, to a few digits.
std::string Rounded(double v) {
  std::ostringstream text;
  text << std::setprecision(4) << v;
  return text.str();
}

void RunMeasure(const MeasureOptions& o, std::ostream& out) {
  FolderMasks masks(o.res);
  const uint64_t count = FrameFiles(o.res, "mask").CountFrames();
  if (count == 0) throw ToolError(kExitNoInput, o.res.string() + " holds no mask000.tif");
  const std::vector<TrackLine> lineage = ReadTrackFile(o.res / "res_track.txt");
  const FrameFiles frame_files(o.frames.empty() ? o.res : o.frames, "t");
  const GreyFrames read = [&](uint64_t t, LabelImage& grey) {
    ReadLabelImage(frame_files.Name(t), grey, ImageKind::kFrame);
    return frame_files.Name(t).string();
  };
  // The frames' voxel size where they are given, else the masks' own.
  LabelImage first;
  if (o.frames.empty())
    masks.Read(0, first);
  else
    read(0, first);
  std::array<double, 3> spacing{};
  for (int k = 0; k < 3; ++k) spacing[k] = first.GetResolution().Spacing(k);
  const ResultTables tables =
      Tabulate(masks, o.frames.empty() ? nullptr : &read, count, lineage, spacing);
  const std::filesystem::path to = o.out.empty() ? o.res : o.out;
  std::error_code error;
  std::filesystem::create_directories(to, error);
  WriteFileAtomically(to / "objects.csv", tables.objects);
  WriteFileAtomically(to / "tracks.csv", tables.tracks);
  WriteFileAtomically(to / "napari_tracks.csv", tables.napari_tracks);
  WriteFileAtomically(to / "napari_graph.json", tables.napari_graph);
  const bool stacks = first.GetSizeZ() > 1;
  out << "measured " << tables.cells << " objects (cells in every frame) of " << lineage.size()
      << " tracks in " << count << " frame(s) (voxel " << Rounded(spacing[0]) << " x "
      << Rounded(spacing[1]) << (stacks ? " x " + Rounded(spacing[2]) : std::string())
      << " um): objects.csv, tracks.csv, "
      << "napari_tracks.csv, napari_graph.json in " << to.string() << "\n";
}

}  // namespace

void AddMeasureCommand(CLI::App& app, CommandContext& context) {
  CLI::App* sub = app.add_subcommand(
      "measure",
      "Tables of a result RES (maskTTT.tif, res_track.txt): objects.csv (a row per cell and "
      "frame), tracks.csv (a row per track), napari_tracks.csv and napari_graph.json.");
  auto o = std::make_shared<MeasureOptions>();
  sub->add_option("RES", o->res, "Result folder")->required();
  sub->add_option("--frames", o->frames,
                  "Folder of the frames tTTT.tif: intensities, and the voxel size from them");
  sub->add_option("--out", o->out, "Folder for the tables [default: RES]");
  sub->callback([&context, o] {
    context.exit_code = RunReporting("measure", context.err, [&] { RunMeasure(*o, context.out); });
  });
}

}  // namespace trel::tool
