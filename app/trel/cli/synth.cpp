// `trel synth OUT`: writes a synthetic sequence with its ground truth and, on request, a preview
// picture of its middle frame with the ground truth outlined.
#include <CLI/CLI.hpp>
#include <memory>
#include <sstream>

#include "commands.h"

namespace trel::tool {

namespace {

void WriteMiddlePreview(const std::filesystem::path& out_folder, uint64_t frames,
                        const std::filesystem::path& png) {
  PreviewOptions preview;
  preview.data = out_folder;
  preview.png = png;
  preview.frame = frames / 2;
  std::ostringstream ignored;
  std::ostringstream err;
  if (RunPreview(preview, ignored, err) != kExitOk)
    throw ToolError(kExitCannotCreate, "the preview failed: " + err.str());
}

}  // namespace

int RunSynth(const SynthOptions& options, const std::filesystem::path& out_folder,
             const std::filesystem::path& preview, std::ostream& out, std::ostream& err) {
  return RunReporting("synth", err, [&] {
    const SynthSummary s = WriteSyntheticSequence(options, out_folder, nullptr);
    out << "wrote " << options.frames << " frames of " << options.Size() << "x" << options.Size();
    if (options.dim == 3) out << "x" << options.Depth();
    out << " to " << (out_folder / "01").string() << ": " << s.tracks << " tracks, " << s.divisions
        << " divisions, " << s.objects << " labelled objects\n";
    if (!preview.empty()) {
      WriteMiddlePreview(out_folder, options.frames, preview);
      out << "preview of frame " << options.frames / 2 << " in " << preview.string() << "\n";
    }
  });
}

void AddSynthCommand(CLI::App& app, CommandContext& context) {
  CLI::App* sub = app.add_subcommand(
      "synth",
      "Write a synthetic fluorescent-nuclei time-lapse with exact ground truth: OUT/01/tTTT.tif, "
      "OUT/01_GT/SEG/man_segTTT.tif, OUT/01_GT/TRA/man_trackTTT.tif and man_track.txt.");
  auto options = std::make_shared<SynthOptions>();
  auto out_folder = std::make_shared<std::string>();
  auto preview = std::make_shared<std::string>();
  sub->add_option("OUT", *out_folder, "Output folder (created when missing)")->required();
  sub->add_option("--dim", options->dim, "Dimension: 2 (images) or 3 (stacks)")
      ->capture_default_str()
      ->check(CLI::IsMember({2, 3}));
  sub->add_option("--size", options->size,
                  "Width and height in voxels [default: 512 in 2D, 256 "
                  "in 3D]");
  sub->add_option("--depth", options->depth, "Slices per stack (3D) [default: 32]");
  sub->add_option("--frames", options->frames, "Number of frames")->capture_default_str();
  sub->add_option("--cells", options->cells, "Cells in the first frame")->capture_default_str();
  sub->add_option("--divisions", options->divisions,
                  "Mean frames between divisions of a cell; 0: no divisions")
      ->capture_default_str();
  sub->add_option("--snr", options->snr,
                  "Signal-to-noise ratio: mean nucleus contrast over the background noise")
      ->capture_default_str();
  sub->add_option("--bits", options->bits, "Bits per voxel of the frames: 8 or 16")
      ->capture_default_str()
      ->check(CLI::IsMember({8, 16}));
  sub->add_option("--z-spacing", options->z_spacing,
                  "Slice distance in units of the x/y voxel size (3D); stored in the TIFF "
                  "resolution")
      ->capture_default_str();
  sub->add_option("--seed", options->seed, "Seed: the same seed gives the same files")
      ->capture_default_str();
  sub->add_option("--preview", *preview,
                  "Also write a PNG of the middle frame with the ground truth outlined");
  sub->callback([&context, options, out_folder, preview] {
    context.exit_code = RunSynth(*options, *out_folder, *preview, context.out, context.err);
  });
}

}  // namespace trel::tool
