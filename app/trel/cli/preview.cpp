// `trel preview DATA PNG`: a picture of one frame of a data set in the community's layout
// (DATA/01/tTTT.tif) with the objects of its ground truth, or of a result, outlined.
#include <CLI/CLI.hpp>
#include <memory>

#include "commands.h"
#include "frame_files.h"
#include "label_image.h"
#include "preview_picture.h"

namespace trel::tool {

namespace {

// The label image to outline: the result's mask, else the ground truth's full segmentation,
// else its markers; false when there is none for the frame.
bool ReadOutlines(const PreviewOptions& o, LabelImage& labels) {
  if (!o.labels.empty()) {
    ReadLabelImage(FrameFiles(o.labels, "mask").Name(o.frame), labels);
    return true;
  }
  const GroundTruthLayout gt(o.data / (o.sequence + "_GT"));
  const std::filesystem::path seg = FrameFiles(gt.seg_folder, "man_seg").Name(o.frame);
  const std::filesystem::path marker = gt.markers.Name(o.frame);
  for (const auto& file : {seg, marker})
    if (std::filesystem::exists(file)) {
      ReadLabelImage(file, labels);
      return true;
    }
  return false;
}

}  // namespace

int RunPreview(const PreviewOptions& o, std::ostream& out, std::ostream& err) {
  return RunReporting("preview", err, [&] {
    LabelImage frame, labels;
    ReadLabelImage(FrameFiles(o.data / o.sequence, "t").Name(o.frame), frame, ImageKind::kFrame);
    const bool outlined = ReadOutlines(o, labels);
    if (outlined &&
        (labels.GetSizeX() != frame.GetSizeX() || labels.GetSizeY() != frame.GetSizeY() ||
         labels.GetSizeZ() != frame.GetSizeZ()))
      throw ToolError(kExitDataError, "the labels (" + SizeText(labels) +
                                          ") do not fit the frame (" + SizeText(frame) + ")");
    const uint64_t slice = o.slice ? *o.slice : frame.GetSizeZ() / 2;
    WritePng(o.png, RenderPreview(frame, outlined ? &labels : nullptr, slice));
    out << "wrote " << o.png.string() << " (frame " << o.frame << ", slice " << slice
        << (outlined ? ", outlined" : ", no labels found") << ")\n";
  });
}

void AddPreviewCommand(CLI::App& app, CommandContext& context) {
  CLI::App* sub = app.add_subcommand(
      "preview",
      "Write a PNG of one frame of DATA/01/tTTT.tif, plain and with the ground truth (or a "
      "result) outlined, side by side.");
  auto o = std::make_shared<PreviewOptions>();
  auto slice = std::make_shared<uint64_t>(0);
  sub->add_option("DATA", o->data, "Data set folder holding 01/ and 01_GT/")->required();
  sub->add_option("PNG", o->png, "Picture to write")->required();
  sub->add_option("--frame", o->frame, "Frame to show")->capture_default_str();
  CLI::Option* slice_option =
      sub->add_option("--slice", *slice, "Slice of a stack to show [default: the middle one]");
  sub->add_option("--sequence", o->sequence, "Sequence folder name")->capture_default_str();
  sub->add_option("--labels", o->labels,
                  "Result folder whose maskTTT.tif to outline instead of the ground truth");
  sub->callback([&context, o, slice, slice_option] {
    PreviewOptions run = *o;
    if (slice_option->count()) run.slice = *slice;
    context.exit_code = RunPreview(run, context.out, context.err);
  });
}

}  // namespace trel::tool
