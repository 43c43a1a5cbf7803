// `trel eval --gt GT --res RES [--json]`: the segmentation and tracking accuracy of a result.
#include <CLI/CLI.hpp>
#include <memory>

#include "commands.h"
#include "eval_report.h"
#include "evaluation.h"

namespace trel::tool {

namespace {
constexpr int kJsonIndent = 2;
}

int RunEval(const std::filesystem::path& gt, const std::filesystem::path& res, bool json,
            std::ostream& out, std::ostream& err) {
  return RunReporting("eval", err, [&] {
    const Evaluation e = Evaluate(gt, res);
    if (json)
      out << ToJson(e).dump(kJsonIndent) << "\n";
    else
      out << FormatTable(e);
  });
}

void AddEvalCommand(CLI::App& app, CommandContext& context) {
  CLI::App* sub = app.add_subcommand(
      "eval",
      "Measure a result against the ground truth: SEG (mean Jaccard index of the reference "
      "objects), DET and TRA (normalised AOGM), CT, TF and BC(i), with the AOGM breakdown.");
  auto gt = std::make_shared<std::string>();
  auto res = std::make_shared<std::string>();
  auto json = std::make_shared<bool>(false);
  sub->add_option("--gt", *gt, "Ground-truth folder (TRA/, SEG/)")->required();
  sub->add_option("--res", *res, "Result folder (maskTTT.tif, res_track.txt)")->required();
  sub->add_flag("--json", *json, "Print one JSON object instead of the table");
  sub->callback([&context, gt, res, json] {
    context.exit_code = RunEval(*gt, *res, *json, context.out, context.err);
  });
}

}  // namespace trel::tool
