// `trel track IN OUT`: segments and tracks a folder of frames with the library, the frame and
// slice counts found from the folder, the parameters as named options whose defaults suit
// fluorescent nuclei, a progress line on a terminal and a JSON summary on request.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>

#include "atomic_file.h"
#include "commands.h"
#include "fleeting_tracks.h"
#include "foundation/frame_sequence.h"
#include "frame_files.h"
#include "interrupt_cleanup.h"
#include "label_image.h"
#include "levelset/fls_track_frames.h"
#include "lineage_counts.h"
#include "mask_lineage.h"
#include "option_checks.h"
#include "output_lock.h"
#include "passing_divisions.h"
#include "progress_line.h"
#include "stack_outlines.h"
#include "track_defaults.h"
#include "track_file.h"
#include "trel/error.h"
#include "trel/kerf_lab_tracking.h"
#include "unequal_divisions.h"

namespace trel::tool {

namespace {

void PrepareFolders(const TrackOptions& o) {
  std::error_code error;
  if (!std::filesystem::is_directory(o.in, error))
    throw ToolError(kExitNoInput, "input folder " + o.in.string() + " does not exist");
  std::filesystem::create_directories(o.out, error);
  if (error || !std::filesystem::is_directory(o.out))
    throw ToolError(kExitCannotCreate,
                    "cannot create folder " + o.out.string() +
                        (error ? " (" + error.message() + ")" : " (a file is in its place)"));
}

struct Sequence {
  uint64_t frames = 0;
  uint64_t slices = 1;
  uint64_t min_size = kMinSize2D;
  float fg_weight = kForegroundWeight2D;
};

Sequence FindSequence(const TrackOptions& o) {
  const FrameFiles files(o.in, "t");
  Sequence s;
  s.frames = o.frames ? *o.frames : files.CountFrames();
  if (s.frames == 0) throw ToolError(kExitNoInput, o.in.string() + " holds no t000.tif");
  const std::optional<uint64_t> last = files.LastFrame();
  if (!o.frames && last && *last >= s.frames)
    throw ToolError(kExitNoInput, files.Name(s.frames).string() + " is missing, but " +
                                      files.Name(*last).filename().string() +
                                      " is there: the frames must be numbered without a gap");
  if (o.slices) {
    s.slices = *o.slices;
  } else {
    LabelImage first;
    ReadLabelImage(files.Name(0), first, ImageKind::kFrame);
    s.slices = first.GetSizeZ();
  }
  const TrackDefaults defaults = DefaultsFor("levelset", s.slices);
  s.min_size = o.min_size ? *o.min_size : defaults.min_size;
  s.fg_weight = o.fg_weight ? *o.fg_weight : defaults.fg_weight;
  return s;
}

// The library builds every file name in a buffer of this many characters, its terminating zero
// included: longer names are refused before any work rather than at the first write.
constexpr size_t kNameBuffer = 1024;

void CheckNameLengths(const TrackOptions& o, const Sequence& s) {
  const std::filesystem::path input = FrameFiles(o.in, "t").Name(s.frames - 1);
  const std::filesystem::path mask = FrameFiles(o.out, "mask").Name(s.frames - 1);
  for (const auto& [name, code] : {std::pair{input, kExitNoInput}, {mask, kExitCannotCreate}})
    if (name.string().size() >= kNameBuffer)
      throw ToolError(code, name.string() + " is " + std::to_string(name.string().size()) +
                                " characters long; names of frames and masks must stay below " +
                                std::to_string(kNameBuffer));
}

// A folder (or anything else that is no file) where the lineage goes would be removed or leave
// the run without a lineage at its very end.
void CheckLineagePlace(const TrackOptions& o) {
  const std::filesystem::path lineage = o.out / "res_track.txt";
  std::error_code error;
  const auto type = std::filesystem::symlink_status(lineage, error).type();
  using Type = std::filesystem::file_type;
  if (type != Type::not_found && type != Type::regular && type != Type::symlink)
    throw ToolError(kExitCannotCreate,
                    lineage.string() +
                        " is not a file; move it away so that the lineage can be "
                        "written there");
}

// The library's message decides the status: a missing frame, a frame that cannot be written,
// or bad data.
ExitCode TrackErrorCode(const std::string& message, const std::filesystem::path& in) {
  if (message.find("cannot be saved") != std::string::npos ||
      message.find("cannot be written") != std::string::npos)
    return kExitIoError;
  return FilterErrorCode(message, in);
}

nlohmann::json Summary(const TrackOptions& o, const Sequence& s, uint64_t fleeting,
                       double seconds) {
  const LineageCounts counts = CountLineage(ReadTrackFile(o.out / "res_track.txt"), s.frames);
  nlohmann::json j;
  j["in"] = o.in.string();
  j["out"] = o.out.string();
  j["method"] = o.method;
  j["frames"] = s.frames;
  j["slices"] = s.slices;
  j["tracks"] = counts.tracks;
  j["divisions"] = counts.divisions;
  j["short_tracks"] = counts.short_tracks;
  j["divisions_losing_a_daughter"] = counts.divisions_losing_a_daughter;
  j["fleeting_tracks_removed"] = fleeting;
  j["seconds"] = seconds;
  j["seconds_per_frame"] = seconds / double(s.frames);
  j["parameters"] = {{"curv_weight", o.curv_weight}, {"fg_weight", s.fg_weight},
                     {"bg_weight", o.bg_weight},     {"bg_factor", o.bg_factor},
                     {"max_iter", o.max_iter},       {"min_size", s.min_size},
                     {"overlap", o.overlap},         {"border", o.border}};
  return j;
}

// An earlier, longer run's masks beyond this run's last frame would make the folder a mixture.
// Its lineage goes first, so that a run stopped at any point leaves a folder visibly incomplete.
void RemoveLaterMasks(const TrackOptions& o, const Sequence& s) {
  const FrameFiles masks(o.out, "mask");
  const std::optional<uint64_t> last = masks.LastFrame();
  if (!last || *last < s.frames) return;
  const auto remove = [](const std::filesystem::path& file) {
    std::error_code error;
    std::filesystem::remove(file, error);
    if (error)
      throw ToolError(kExitCannotCreate,
                      "cannot remove the earlier " + file.string() + " (" + error.message() + ")");
  };
  remove(o.out / "res_track.txt");
  for (uint64_t t = s.frames; t <= *last; ++t) remove(masks.Name(t));
}

// The record of the run that made the folder (its summary: input, method, parameters, counts,
// time), which `trel report` shows. An earlier run's record goes before the run starts, so that
// it never describes masks another run rewrote.
const char* const kRunRecord = "trel_run.json";

// The input as an absolute path, so that the record still finds the frames from elsewhere.
void WriteRunRecord(const TrackOptions& o, nlohmann::json record) {
  std::error_code error;
  const std::filesystem::path in = std::filesystem::absolute(o.in, error);
  if (!error) record["in"] = in.lexically_normal().string();
  WriteFileAtomically(o.out / kRunRecord, record.dump(2) + "\n");
}

void RemoveRunRecord(const TrackOptions& o) {
  std::error_code error;
  std::filesystem::remove(o.out / kRunRecord, error);
  if (error)
    throw ToolError(kExitCannotCreate, "cannot remove the earlier " +
                                           (o.out / kRunRecord).string() + " (" + error.message() +
                                           ")");
}

// Returns the number of fleeting tracks removed.
uint64_t RunMethod(const TrackOptions& o, const Sequence& s, const ProgressCallback& report) {
  if (o.method == "graphcut") {
    KerfLabTracking(o.in.c_str(), o.out.c_str(), s.slices, s.frames, o.curv_weight, s.fg_weight,
                    o.bg_weight, o.max_iter, s.min_size, o.overlap, report);
    MoveStackOutlinesToEdges(o.in, o.out, s.frames);
    SplitDivisionsAndWriteLineage(o.out, s.frames, s.min_size);
  } else {
    const FrameSequence sequence{o.in.c_str(), o.out.c_str(), s.slices, s.frames};
    FlsTrackFrames(sequence, s.slices, s.frames,
                   {o.curv_weight, s.fg_weight, o.bg_weight, o.max_iter, s.min_size, o.overlap,
                    o.border, o.bg_factor, ThreadCount(o.threads)},
                   report);
    WithdrawPassingDivisionsInFolder(o.out, s.frames);
  }
  WithdrawUnequalDivisionsInFolder(o.out, s.frames);
  return RemoveFleetingTracksInFolder(o.out, s.frames);
}

}  // namespace

int RunTrack(const TrackOptions& o, std::ostream& out, std::ostream& err, bool terminal) {
  return RunReporting("track", err, [&] {
    PrepareFolders(o);
    const Sequence s = FindSequence(o);
    CheckNameLengths(o, s);
    CheckLineagePlace(o);
    const OutputLock lock(o.out);
    RemoveStaleTemporaries(o.out);
    const InterruptCleanup cleanup(o.out);
    RemoveLaterMasks(o, s);
    RemoveRunRecord(o);
    using Style = ProgressLine::Style;
    const Style style = o.progress == "never"    ? Style::kNone
                        : terminal               ? Style::kLine
                        : o.progress == "always" ? Style::kLog
                                                 : Style::kNone;
    ProgressLine progress(err, "trel track", style);
    const ProgressCallback report = [&](uint64_t i, uint64_t n) { progress.Update(i, n); };
    uint64_t fleeting = 0;
    try {
      fleeting = RunMethod(o, s, report);
    } catch (const Error& e) {
      progress.Finish();
      throw ToolError(TrackErrorCode(e.what(), o.in), e.what());
    }
    progress.Finish();
    const nlohmann::json summary = Summary(o, s, fleeting, progress.ElapsedSeconds());
    WriteRunRecord(o, summary);
    if (o.json) {
      out << summary.dump(2) << "\n";
      return;
    }
    out << "tracked " << s.frames << " frame(s) of " << s.slices << " slice(s) in "
        << ClockText(summary["seconds"]) << ": " << summary["tracks"] << " tracks, "
        << summary["divisions"] << " divisions (" << summary["short_tracks"]
        << " tracks of one or two frames, " << summary["divisions_losing_a_daughter"]
        << " divisions losing a daughter within two frames, " << fleeting
        << " objects seen in fewer than " << kMinLastingFrames
        << " frames removed as noise); masks and res_track.txt in " << o.out.string() << "\n";
  });
}

void AddTrackCommand(CLI::App& app, CommandContext& context) {
  CLI::App* sub = app.add_subcommand(
      "track",
      "Segments and tracks the cells of IN/tTTT.tif: OUT/maskTTT.tif (16-bit, every cell "
      "carrying its track label) and the lineage file OUT/res_track.txt.");
  auto o = std::make_shared<TrackOptions>();
  auto frames = std::make_shared<uint64_t>(0);
  auto slices = std::make_shared<uint64_t>(0);
  sub->add_option("IN", o->in, "Folder of the frames t000.tif, t001.tif, ...")->required();
  sub->add_option("OUT", o->out, "Folder for the results (created when missing)")->required();
  CLI::Option* frames_option =
      sub->add_option("--frames", *frames,
                      "Number of frames [default: t000.tif, t001.tif, ... counted]")
          ->check(kCount);
  CLI::Option* slices_option =
      sub->add_option("--slices", *slices, "Slices per frame [default: those of frame 0]")
          ->check(kCount);
  sub->add_option("--method", o->method, "Segmentation method")
      ->capture_default_str()
      ->check(CLI::IsMember({"levelset", "graphcut"}));
  CLI::Option* curv_option =
      sub->add_option("--curv-weight", o->curv_weight,
                      "Weight of the boundary smoothing [graphcut: 1, the length weight]")
          ->capture_default_str()
          ->check(kFinitePositive);
  auto fg_weight = std::make_shared<float>(0.0f);
  CLI::Option* fg_option =
      sub->add_option("--fg-weight", *fg_weight,
                      "Weight of the cell (foreground) region term [default: 1 in 2D, 3 in 3D; "
                      "graphcut: 30]")
          ->check(kFinitePositive);
  CLI::Option* bg_option = sub->add_option("--bg-weight", o->bg_weight,
                                           "Weight of the background region term [graphcut: 30]")
                               ->capture_default_str()
                               ->check(kFinitePositive);
  sub->add_option("--bg-factor", o->bg_factor,
                  "Factor of the background weight in frames after the first")
      ->capture_default_str()
      ->check(kFinitePositive);
  sub->add_option("--max-iter", o->max_iter, "Iteration limit of every level-set evolution")
      ->capture_default_str()
      ->check(kFinitePositive);
  auto min_size = std::make_shared<uint64_t>(0);
  CLI::Option* min_size_option =
      sub->add_option("--min-size", *min_size,
                      "Smallest object kept, in voxels [default: 100 in 2D, 500 in 3D]")
          ->check(kCount);
  sub->add_option("--overlap", o->overlap,
                  "Fragments of at most overlap^2 (2D) or overlap^3 (3D) voxels touching a cell "
                  "join it; 0 switches merging off")
      ->capture_default_str()
      ->check(kCount);
  sub->add_option("--border", o->border,
                  "Objects within this many voxels of the left, right, top or bottom edge are "
                  "dropped; 0 keeps all")
      ->capture_default_str()
      ->check(kCount);
  AddThreadsOption(*sub, o->threads);
  sub->add_flag("--json", o->json, "Print a JSON summary of the run instead of a sentence");
  sub->add_option("--progress", o->progress,
                  "Progress on standard error: auto (a line rewritten in place on a terminal), "
                  "always (where there is no terminal, a plain line every tenth of the run), "
                  "never")
      ->capture_default_str()
      ->check(CLI::IsMember({"auto", "always", "never"}));
  sub->callback([&context, o, frames, slices, min_size, fg_weight, frames_option, slices_option,
                 min_size_option, curv_option, fg_option, bg_option] {
    TrackOptions run = *o;
    if (run.method == "graphcut") {
      if (!curv_option->count()) run.curv_weight = kGraphCutCurvWeight;
      if (!fg_option->count()) run.fg_weight = kGraphCutRegionWeight;
      if (!bg_option->count()) run.bg_weight = kGraphCutRegionWeight;
    }
    if (frames_option->count()) run.frames = *frames;
    if (slices_option->count()) run.slices = *slices;
    if (min_size_option->count()) run.min_size = *min_size;
    if (fg_option->count()) run.fg_weight = *fg_weight;
    context.exit_code = RunTrack(run, context.out, context.err, isatty(STDERR_FILENO) == 1);
  });
}

}  // namespace trel::tool
