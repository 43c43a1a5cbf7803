// The subcommands of the trel tool. Each Add*Command registers its options on the command line
// and, when chosen, runs and leaves its exit status in the context; each Run* function is the
// command without the command line, printing its report on `out` and failures on `err`.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "synthetic_sequence.h"
#include "tool_error.h"
#include "track_defaults.h"

namespace CLI {
class App;
}

namespace trel::tool {

struct CommandContext {
  std::ostream& out;
  std::ostream& err;
  int exit_code = kExitOk;
};

// Runs `work`, turning every failure into a message "trel <command>: <text>" on `err` and the
// matching exit status.
int RunReporting(const char* command, std::ostream& err, const std::function<void()>& work);

// --threads of the commands that share their work out; 0 (the default) takes every core.
void AddThreadsOption(CLI::App& command, unsigned& threads);

// synth
int RunSynth(const SynthOptions& options, const std::filesystem::path& out_folder,
             const std::filesystem::path& preview, std::ostream& out, std::ostream& err);
void AddSynthCommand(CLI::App& app, CommandContext& context);

// validate
int RunValidate(const std::filesystem::path& res, const std::filesystem::path& gt,
                std::ostream& out, std::ostream& err);
void AddValidateCommand(CLI::App& app, CommandContext& context);

// eval
int RunEval(const std::filesystem::path& gt, const std::filesystem::path& res, bool json,
            std::ostream& out, std::ostream& err);
void AddEvalCommand(CLI::App& app, CommandContext& context);

// filter
struct FilterOptions {
  std::filesystem::path in, out;
  std::optional<uint64_t> frames;  // empty: count tTTT.tif from t000.tif
  std::optional<uint64_t> slices;  // empty: those of frame 0
  float sigma = kDiffusionSigma, rho = kDiffusionRho, tau = kDiffusionTau;
  uint64_t steps = kDiffusionSteps;
  unsigned threads = 0;  // 0: every core
};
int RunFilter(const FilterOptions& options, std::ostream& out, std::ostream& err);
// The exit status for a failure of the library's filtering: a frame that is missing (66), that
// cannot be read or filtered (65), or that cannot be written (74).
ExitCode FilterErrorCode(const std::string& message, const std::filesystem::path& in_folder);
void AddFilterCommand(CLI::App& app, CommandContext& context);

// track
struct TrackOptions {
  std::filesystem::path in, out;
  std::optional<uint64_t> frames;  // empty: count tTTT.tif from t000.tif
  std::optional<uint64_t> slices;  // empty: those of frame 0
  std::string method = "levelset";
  float curv_weight = kLevelSetCurvWeight, bg_weight = kBackgroundWeight,
        bg_factor = kBackgroundFactor;
  std::optional<float> fg_weight;  // empty: 1 in 2D, 3 in 3D
  uint64_t max_iter = kMaxIterations, overlap = kOverlap, border = kBorder;
  std::optional<uint64_t> min_size;  // empty: 100 voxels in 2D, 500 in 3D
  bool json = false;
  std::string progress = "auto";  // auto: on a terminal only; always: a plain line in a log too
  unsigned threads = 0;           // 0: every core
};
// `terminal`: whether `err` is a terminal, where the progress line is rewritten in place.
int RunTrack(const TrackOptions& options, std::ostream& out, std::ostream& err, bool terminal);
void AddTrackCommand(CLI::App& app, CommandContext& context);

// preview
struct PreviewOptions {
  std::filesystem::path data, png;
  uint64_t frame = 0;
  std::optional<uint64_t> slice;  // empty: the middle slice
  std::string sequence = "01";
  std::filesystem::path labels;  // a result folder; empty: the ground truth
};
int RunPreview(const PreviewOptions& options, std::ostream& out, std::ostream& err);
void AddPreviewCommand(CLI::App& app, CommandContext& context);

// measure: the tables of a result (objects.csv, tracks.csv, napari_tracks.csv, napari_graph.json)
void AddMeasureCommand(CLI::App& app, CommandContext& context);
void AddReportCommand(CLI::App& app, CommandContext& context);

// The whole tool: parses argv, runs the chosen command, returns the exit status.
int RunTool(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace trel::tool
