#include "report_builder.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iomanip>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>

#include "atomic_file.h"
#include "cell_table.h"
#include "eval_report.h"
#include "evaluation.h"
#include "frame_errors.h"
#include "frame_files.h"
#include "label_image.h"
#include "lineage_counts.h"
#include "lineage_tree.h"
#include "mask_store.h"
#include "overlap_table.h"
#include "report_page.h"
#include "result_check.h"
#include "result_rules.h"
#include "svg_plot.h"
#include "tool_error.h"
#include "track_file.h"

namespace trel::tool {

namespace {

constexpr uint32_t kOverlaySide = 640;   // overlay pictures at most this wide or high
constexpr uint32_t kPlayerSide = 320;    // the overview's frames likewise
constexpr uint64_t kPlayerFrames = 100;  // longer runs are subsampled in the overview
constexpr uint64_t kTrailFrames = 5;
constexpr double kFillOpacity = 0.35;
constexpr size_t kProblemsShown = 20;
const char* const kRunRecord = "trel_run.json";

// The error colours: green matched, red false, orange merged, blue wrong link, yellow missed.
constexpr Rgb kMatchedColour{60, 200, 60}, kFalseColour{235, 40, 40}, kMergedColour{255, 150, 0},
    kLinkColour{60, 120, 255}, kMissedColour{255, 240, 0};

std::string Text(double v, int digits = 4) {
  std::ostringstream text;
  text << std::setprecision(digits) << v;
  return text.str();
}

std::string JsonText(const nlohmann::json& value) {
  if (value.is_null()) return "n/a";
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number()) return Text(value.get<double>(), 6);
  return value.dump();
}

// The shrink factor that brings the longer side to `side` at most, never the shorter one below 1.
uint32_t FactorFor(uint64_t width, uint64_t height, uint32_t side) {
  const uint64_t factor = (std::max(width, height) + side - 1) / side;
  return static_cast<uint32_t>(
      std::clamp<uint64_t>(factor, 1, std::max<uint64_t>(1, std::min(width, height))));
}

// Evenly spaced frames, first and last included.
std::set<uint64_t> ChosenFrames(uint64_t count, uint32_t wanted) {
  std::set<uint64_t> chosen;
  if (wanted == 0 || count == 0) return chosen;
  if (wanted == 1 || count == 1) return {0};
  for (uint32_t k = 0; k < wanted; ++k)
    chosen.insert(
        static_cast<uint64_t>(std::llround(double(k) * double(count - 1) / (wanted - 1))));
  return chosen;
}

// What the page shows of one frame: its grey plane and labels in two dimensions.
struct Planes {
  Plane grey, labels, reference;
};

Planes Project(const LabelImage& mask, const LabelImage* grey, const LabelImage* markers) {
  Planes p;
  p.labels = ProjectLabels(mask, grey);
  p.grey = grey ? MaxProjection(*grey)
                : Plane{p.labels.width, p.labels.height,
                        std::vector<uint16_t>(p.labels.values.size(), 0)};
  if (markers) p.reference = ProjectLabels(*markers, grey);
  return p;
}

RgbPicture Draw(const Planes& p, uint32_t factor, DisplayCurve curve, const Colouring& colouring,
                const std::optional<Rgb>& reference_colour) {
  const Plane grey = ShrinkGrey(p.grey, factor);
  RgbPicture picture = GreyPicture(grey, FindStretch(grey, curve));
  DrawFilled(picture, ShrinkLabels(p.labels, factor), kFillOpacity, colouring);
  if (reference_colour && !p.reference.values.empty())
    DrawFilled(picture, ShrinkLabels(p.reference, factor), kFillOpacity,
               [&](uint16_t) { return reference_colour; });
  return picture;
}

std::optional<Rgb> TrackColour(uint16_t label) {
  return LabelColour(label);
}

class ReportPass {
 public:
  ReportPass(const ReportOptions& o, ReportContent& content) : o_(o), content_(content) {}

  void Run();
  uint64_t frames() const { return count_; }
  bool with_frames() const { return frame_files_.has_value(); }

 private:
  void ReadRecord();
  size_t CheckRules();
  void Evaluate();
  void ReadFrame(uint64_t t);
  void ReadGrey(uint64_t t);
  void JudgeFrame(uint64_t t);
  void DrawFrame(uint64_t t);
  Overlay MakeOverlay(uint64_t t, const RgbPicture& picture, bool with_trails) const;
  void Summarise();

  const ReportOptions& o_;
  ReportContent& content_;
  FolderMasks masks_{o_.res};
  uint64_t count_ = 0;
  std::vector<TrackLine> lineage_;
  nlohmann::json record_;
  std::filesystem::path frames_folder_;
  std::optional<FrameFiles> frame_files_, marker_files_;
  uint64_t marker_frames_ = 0;
  std::optional<Links> result_links_, reference_links_;
  std::set<uint64_t> overlay_frames_;
  uint64_t player_step_ = 1;
  LabelImage mask_, grey_, markers_;
  bool has_markers_now_ = false;
  OverlapCounter counter_;
  std::optional<FrameMatching> previous_;
  FrameErrors errors_;
  std::vector<std::vector<CellRow>> cells_;
  std::map<uint64_t, uint64_t> parents_;
  std::vector<double> reference_counts_, false_counts_, missed_counts_, merged_counts_,
      link_counts_;
};

void ReportPass::ReadRecord() {
  const std::filesystem::path file = o_.res / kRunRecord;
  std::ifstream in(file);
  if (!in) return;
  try {
    record_ = nlohmann::json::parse(in);
  } catch (const nlohmann::json::exception&) {
    content_.problems.push_back(file.string() + " is not readable JSON; the run is not described");
    record_ = nlohmann::json();
  }
}

size_t ReportPass::CheckRules() {
  const std::vector<Violation> violations = CheckResultFolder(o_.res, o_.gt, Lineage::kOptional);
  for (size_t k = 0; k < std::min(violations.size(), kProblemsShown); ++k)
    content_.problems.push_back(FormatViolation(violations[k]));
  if (violations.size() > kProblemsShown)
    content_.problems.push_back(std::to_string(violations.size() - kProblemsShown) +
                                " more broken rules (trel validate lists them all)");
  return violations.size();
}

// The headline measures first, then every other one in the evaluator's names.
void ReportPass::Evaluate() {
  // CheckRules has just found the result valid against this ground truth.
  nlohmann::json j = ToJson(tool::Evaluate(o_.gt, o_.res, ResultCheck::kAlreadyValid));
  for (const char* key : {"SEG", "DET", "TRA", "OP_CSB", "OP_CTB", "CT", "TF", "BC(0)", "CCA"})
    if (j.contains(key)) {
      content_.evaluation.emplace_back(key, JsonText(j[key]));
      j.erase(key);
    }
  for (const auto& [key, value] : j.items()) content_.evaluation.emplace_back(key, JsonText(value));
}

void ReportPass::ReadFrame(uint64_t t) {
  masks_.Read(t, mask_);
  if (frame_files_) ReadGrey(t);
  has_markers_now_ = marker_files_ && t < marker_frames_;
  if (has_markers_now_) {
    ReadLabelImage(marker_files_->Name(t), markers_);
    if (!SameSize(markers_, mask_))
      throw ToolError(kExitDataError, marker_files_->Name(t).string() + " is " +
                                          SizeText(markers_) + ", but its mask is " +
                                          SizeText(mask_));
  }
  cells_.push_back(MeasureCells(mask_, nullptr, t, parents_));
}

// Frames the user named must fit; frames found through the run record are only a help: when
// they no longer fit, the rest is drawn on black and the page says why.
void ReportPass::ReadGrey(uint64_t t) {
  const std::filesystem::path file = frame_files_->Name(t);
  try {
    ReadLabelImage(file, grey_, ImageKind::kFrame);
    if (!SameSize(grey_, mask_))
      throw ToolError(kExitDataError, file.string() + " is " + SizeText(grey_) +
                                          ", but its mask is " + SizeText(mask_));
  } catch (const ToolError& e) {
    if (!o_.frames.empty()) throw;
    content_.problems.push_back(std::string(e.what()) +
                                ": the recorded frames are not shown from frame " +
                                std::to_string(t) + " on");
    frame_files_.reset();
  }
}

void ReportPass::JudgeFrame(uint64_t t) {
  if (!has_markers_now_) return;
  const FrameMatching now =
      MatchObjects(counter_.Count(markers_.begin(), mask_.begin(), mask_.GetImageSize()));
  errors_ = tool::JudgeFrame(now, previous_ ? &*previous_ : nullptr, t, *result_links_,
                             *reference_links_);
  previous_ = now;
  reference_counts_.push_back(double(now.reference.size()));
  false_counts_.push_back(double(errors_.Count(Verdict::kFalse)));
  merged_counts_.push_back(double(errors_.Count(Verdict::kMerged)));
  link_counts_.push_back(double(errors_.Count(Verdict::kWrongLink)));
  missed_counts_.push_back(double(errors_.missed.size()));
}

Overlay ReportPass::MakeOverlay(uint64_t t, const RgbPicture& picture, bool with_trails) const {
  Overlay overlay{t,
                  static_cast<uint32_t>(mask_.GetSizeX()),
                  static_cast<uint32_t>(mask_.GetSizeY()),
                  EncodePng(picture),
                  {},
                  {}};
  for (const CellRow& c : cells_[t]) {
    const std::string colour = ColourText(LabelColour(c.label));
    overlay.marks.push_back({c.centroid[0], c.centroid[1], c.label, colour});
    if (!with_trails) continue;
    Overlay::Trail trail{colour, {}};
    for (uint64_t f = t - std::min(t, kTrailFrames); f <= t; ++f)
      for (const CellRow& earlier : cells_[f])
        if (earlier.label == c.label)
          trail.points.emplace_back(earlier.centroid[0], earlier.centroid[1]);
    if (trail.points.size() > 1) overlay.trails.push_back(std::move(trail));
  }
  return overlay;
}

void ReportPass::DrawFrame(uint64_t t) {
  const bool overlay = overlay_frames_.count(t) > 0, player = t % player_step_ == 0;
  if (!overlay && !player) return;
  const Planes planes =
      Project(mask_, frame_files_ ? &grey_ : nullptr, has_markers_now_ ? &markers_ : nullptr);
  const uint64_t w = mask_.GetSizeX(), h = mask_.GetSizeY();
  if (overlay) {
    const uint32_t factor = FactorFor(w, h, kOverlaySide);
    content_.overlays.push_back(
        MakeOverlay(t, Draw(planes, factor, o_.curve, TrackColour, std::nullopt), true));
    if (has_markers_now_) {
      const auto verdict_colour = [&](uint16_t label) -> std::optional<Rgb> {
        switch (errors_.result.at(label)) {
          case Verdict::kFalse:
            return kFalseColour;
          case Verdict::kMerged:
            return kMergedColour;
          case Verdict::kWrongLink:
            return kLinkColour;
          default:
            return kMatchedColour;
        }
      };
      const std::set<uint16_t> missed(errors_.missed.begin(), errors_.missed.end());
      Planes shown = planes;
      for (uint16_t& v : shown.reference.values)
        if (!missed.count(v)) v = 0;
      Overlay errors =
          MakeOverlay(t, Draw(shown, factor, o_.curve, verdict_colour, kMissedColour), false);
      errors.marks.clear();
      content_.error_overlays.push_back(std::move(errors));
    }
  }
  if (player) {
    const RgbPicture picture =
        Draw(planes, FactorFor(w, h, kPlayerSide), o_.curve, TrackColour, std::nullopt);
    content_.player.push_back(EncodePng(picture));
    content_.player_frames.push_back(t);
    content_.player_width = picture.width;
    content_.player_height = picture.height;
  }
}

void ReportPass::Run() {
  const FrameFiles mask_files(o_.res, "mask");
  count_ = mask_files.CountFrames();
  if (count_ == 0) throw ToolError(kExitNoInput, o_.res.string() + " holds no mask000.tif");
  const bool has_lineage = std::filesystem::exists(o_.res / "res_track.txt");
  if (has_lineage)
    lineage_ = ReadTrackFile(o_.res / "res_track.txt");
  else
    content_.problems.push_back("there is no res_track.txt: no lineage to show");
  for (const TrackLine& t : lineage_) parents_[t.label] = t.parent;
  ReadRecord();

  frames_folder_ = o_.frames;
  if (frames_folder_.empty() && record_.contains("in") && record_["in"].is_string() &&
      std::filesystem::exists(FrameFiles(record_["in"].get<std::string>(), "t").Name(0)))
    frames_folder_ = record_["in"].get<std::string>();
  if (!frames_folder_.empty()) frame_files_.emplace(frames_folder_, "t");

  const bool valid = CheckRules() == 0;
  if (!o_.gt.empty()) {
    if (valid) {
      Evaluate();
      const GroundTruthLayout gt(o_.gt);
      marker_frames_ = gt.markers.CountFrames();
      if (marker_frames_ > 0) {
        marker_files_.emplace(gt.markers);
        result_links_.emplace(lineage_);
        reference_links_.emplace(ReadTrackFile(gt.track_file));
      }
    } else {
      content_.problems.push_back("not evaluated against the ground truth: see the problems above");
    }
  }
  overlay_frames_ = ChosenFrames(count_, o_.overlays);
  player_step_ = (count_ + kPlayerFrames - 1) / kPlayerFrames;
  for (uint64_t t = 0; t < count_; ++t) {
    ReadFrame(t);
    JudgeFrame(t);
    DrawFrame(t);
  }
  Summarise();
}

void ReportPass::Summarise() {
  content_.title = "trel report: " + o_.res.string();
  const std::string size = SizeText(mask_);
  content_.run = {{"result", o_.res.string()},
                  {"frames shown",
                   frames_folder_.empty() ? "none (labels on black)" : frames_folder_.string()}};
  // The record's counts are the Counts section's; its parameters get a row each.
  for (const char* key : {"in", "method", "slices", "seconds", "seconds_per_frame"})
    if (record_.is_object() && record_.contains(key))
      content_.run.emplace_back(key, JsonText(record_[key]));
  if (record_.is_object() && record_.contains("parameters") && record_["parameters"].is_object())
    for (const auto& [key, value] : record_["parameters"].items())
      content_.run.emplace_back(key, JsonText(value));
  std::array<double, 3> spacing{};
  for (int k = 0; k < 3; ++k)
    spacing[k] = (frame_files_ ? grey_ : mask_).GetResolution().Spacing(k);

  std::vector<CellRow> all;
  std::vector<double> frames, cells;
  for (uint64_t t = 0; t < count_; ++t) {
    all.insert(all.end(), cells_[t].begin(), cells_[t].end());
    frames.push_back(double(t));
    cells.push_back(double(cells_[t].size()));
  }
  const std::vector<TrackRow> tracks = MeasureTracks(lineage_, all, spacing, count_);
  const LineageCounts counts = CountLineage(lineage_, count_);
  content_.counts = {
      {"frames", std::to_string(count_) + " of " + size},
      {"voxel size (µm)", Text(spacing[0]) + " × " + Text(spacing[1]) +
                              (mask_.GetSizeZ() > 1 ? " × " + Text(spacing[2]) : "")},
      {"cells (objects in all frames)", std::to_string(all.size())},
      {"tracks", std::to_string(counts.tracks)},
      {"divisions", std::to_string(counts.divisions)},
      {"tracks of one or two frames", std::to_string(counts.short_tracks)},
      {"divisions losing a daughter within two frames",
       std::to_string(counts.divisions_losing_a_daughter)}};

  std::vector<Series> per_frame{{"result", "#1f77b4", frames, cells}};
  if (!reference_counts_.empty()) {
    const std::vector<double> marked(frames.begin(),
                                     frames.begin() + long(reference_counts_.size()));
    per_frame.push_back({"ground truth", "#2ca02c", marked, reference_counts_});
    content_.plots.push_back(LinePlot("Errors per frame", "frame", "objects",
                                      {{"false", "#eb2828", marked, false_counts_},
                                       {"missed", "#c8b400", marked, missed_counts_},
                                       {"merged", "#ff9600", marked, merged_counts_},
                                       {"wrong link", "#3c78ff", marked, link_counts_}}));
  }
  content_.plots.insert(content_.plots.begin(),
                        LinePlot("Cells per frame", "frame", "cells", per_frame));
  std::vector<double> lengths, speeds;
  for (const TrackRow& t : tracks) {
    lengths.push_back(double(t.length));
    if (t.length > 1) speeds.push_back(t.speed);
  }
  content_.plots.push_back(Histogram("Track length", "frames", lengths, 20));
  content_.plots.push_back(Histogram("Mean speed", "µm per frame", speeds, 20));
  content_.lineage = LineageSvg(lineage_, count_);
  content_.legend = "<span style='background:" + ColourText(kMatchedColour) + "'></span>matched" +
                    "<span style='background:" + ColourText(kFalseColour) + "'></span>false" +
                    "<span style='background:" + ColourText(kMergedColour) + "'></span>merged" +
                    "<span style='background:" + ColourText(kLinkColour) + "'></span>wrong link" +
                    "<span style='background:" + ColourText(kMissedColour) +
                    "'></span>missed (reference marker)";
}

}  // namespace

ReportOutcome WriteReport(const ReportOptions& o) {
  for (const auto& [folder, what] :
       {std::pair{o.res, "result"}, {o.frames, "frames"}, {o.gt, "ground-truth"}})
    if (!folder.empty() && !std::filesystem::is_directory(folder))
      throw ToolError(kExitNoInput,
                      std::string(what) + " folder " + folder.string() + " does not exist");
  ReportContent content;
  ReportPass pass(o, content);
  pass.Run();
  const std::string page = RenderReportPage(content);
  const std::filesystem::path to = o.out.empty() ? o.res : o.out;
  std::error_code error;
  std::filesystem::create_directories(to, error);
  WriteFileAtomically(to / "report.html", page);
  ReportOutcome outcome;
  outcome.page = to / "report.html";
  outcome.bytes = page.size();
  outcome.frames = pass.frames();
  outcome.problems = content.problems.size();
  outcome.with_frames = pass.with_frames();
  outcome.evaluated = !content.evaluation.empty();
  return outcome;
}

}  // namespace trel::tool
