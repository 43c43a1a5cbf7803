// `trel filter IN OUT`: coherence-enhancing diffusion of every frame of a folder through the
// library's CEDFiltering, with the frame and slice counts found from the folder itself.
#include <CLI/CLI.hpp>
#include <cinttypes>
#include <cstdio>
#include <memory>

#include "commands.h"
#include "filtering/ced_filter_frames.h"
#include "foundation/frame_sequence.h"
#include "frame_files.h"
#include "label_image.h"
#include "option_checks.h"
#include "track_defaults.h"
#include "trel/error.h"

namespace trel::tool {

namespace {

// The frame number of a library message "Frame i=N: ...", or false.
bool FrameOfMessage(const std::string& message, uint64_t& frame) {
  return std::sscanf(message.c_str(), "Frame i=%" SCNu64 ":", &frame) == 1;
}

void PrepareOutput(const FilterOptions& o) {
  std::error_code error;
  if (!std::filesystem::is_directory(o.in, error))
    throw ToolError(kExitNoInput, "input folder " + o.in.string() + " does not exist");
  if (std::filesystem::exists(o.out, error) && std::filesystem::equivalent(o.in, o.out, error))
    throw ToolError(kExitUsage,
                    "OUT must differ from IN: the filtered frames would replace the "
                    "input frames");
  std::filesystem::create_directories(o.out, error);
  if (error || !std::filesystem::is_directory(o.out))
    throw ToolError(kExitCannotCreate, "cannot create folder " + o.out.string());
}

}  // namespace

ExitCode FilterErrorCode(const std::string& message, const std::filesystem::path& in_folder) {
  if (message.find("cannot be saved") != std::string::npos) return kExitIoError;
  uint64_t frame = 0;
  if (message.find("cannot be loaded") != std::string::npos && FrameOfMessage(message, frame) &&
      !std::filesystem::exists(FrameFiles(in_folder, "t").Name(frame)))
    return kExitNoInput;
  return kExitDataError;
}

int RunFilter(const FilterOptions& o, std::ostream& out, std::ostream& err) {
  return RunReporting("filter", err, [&] {
    PrepareOutput(o);
    const FrameFiles frames(o.in, "t");
    const uint64_t count = o.frames ? *o.frames : frames.CountFrames();
    if (count == 0 && !o.frames)
      throw ToolError(kExitNoInput, o.in.string() + " holds no t000.tif");
    uint64_t slices = 1;
    if (o.slices) {
      slices = *o.slices;
    } else if (count > 0) {
      LabelImage first;
      ReadLabelImage(frames.Name(0), first, ImageKind::kFrame);
      slices = first.GetSizeZ();
    }
    try {
      const FrameSequence sequence{o.in.c_str(), o.out.c_str(), slices, count};
      CedFilterFrames<float>(sequence, count, o.sigma, o.rho, o.tau, o.steps, {},
                             ThreadCount(o.threads));
    } catch (const Error& e) {
      throw ToolError(FilterErrorCode(e.what(), o.in), e.what());
    }
    out << "filtered " << count << " frame(s) of " << slices << " slice(s) into " << o.out.string()
        << "\n";
  });
}

void AddFilterCommand(CLI::App& app, CommandContext& context) {
  CLI::App* sub = app.add_subcommand(
      "filter",
      "Coherence-enhancing diffusion (Weickert) of every frame IN/tTTT.tif, written as 16-bit "
      "OUT/tTTT.tif so that OUT can be tracked like IN.");
  auto o = std::make_shared<FilterOptions>();
  auto frames = std::make_shared<uint64_t>(0);
  auto slices = std::make_shared<uint64_t>(0);
  sub->add_option("IN", o->in, "Folder of the frames t000.tif, t001.tif, ...")->required();
  sub->add_option("OUT", o->out, "Folder for the filtered frames (created when missing)")
      ->required();
  CLI::Option* frames_option =
      sub->add_option("--frames", *frames,
                      "Number of frames [default: t000.tif, t001.tif, ... counted]")
          ->check(kCount);
  CLI::Option* slices_option =
      sub->add_option("--slices", *slices, "Slices per frame [default: those of frame 0]")
          ->check(kCount);
  sub->add_option("--sigma", o->sigma,
                  "Noise scale: Gaussian pre-smoothing before the gradients "
                  "are taken, in voxels")
      ->capture_default_str()
      ->check(kFiniteNonNegative);
  sub->add_option("--rho", o->rho,
                  "Integration scale: Gaussian averaging of the structure "
                  "tensor, in voxels")
      ->capture_default_str()
      ->check(kFiniteNonNegative);
  sub->add_option("--tau", o->tau, "Time step (longer steps run as stable sub-steps)")
      ->capture_default_str()
      ->check(kFiniteNonNegative);
  sub->add_option("--steps", o->steps, "Number of time steps (diffusion time = steps * tau)")
      ->capture_default_str()
      ->check(kCount);
  AddThreadsOption(*sub, o->threads);
  sub->callback([&context, o, frames, slices, frames_option, slices_option] {
    FilterOptions run = *o;
    if (frames_option->count()) run.frames = *frames;
    if (slices_option->count()) run.slices = *slices;
    context.exit_code = RunFilter(run, context.out, context.err);
  });
}

}  // namespace trel::tool
