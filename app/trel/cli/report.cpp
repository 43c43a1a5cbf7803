// `trel report RES [--frames IN] [--gt GT] [--out DIR]`: one HTML page to judge a run by.
#include <CLI/CLI.hpp>
#include <iomanip>
#include <map>
#include <memory>

#include "commands.h"
#include "report_builder.h"

namespace trel::tool {

void AddReportCommand(CLI::App& app, CommandContext& context) {
  CLI::App* sub = app.add_subcommand(
      "report",
      "One self-contained HTML page RES/report.html to judge a result by: the run and its "
      "counts, plots, the lineage tree, frames with the tracks drawn over them, an overview to "
      "play, and with --gt every measure and the errors drawn in colour.");
  auto o = std::make_shared<ReportOptions>();
  sub->add_option("RES", o->res, "Result folder (maskTTT.tif, res_track.txt)")->required();
  sub->add_option("--frames", o->frames,
                  "Folder of the frames tTTT.tif [default: the run's input, when trel track "
                  "recorded it and it is still there]");
  sub->add_option("--gt", o->gt, "Ground-truth folder (TRA/, SEG/): measures and errors");
  sub->add_option("--out", o->out, "Folder for report.html [default: RES]");
  sub->add_option("--overlays", o->overlays, "Frames drawn large, evenly spaced")
      ->capture_default_str()
      ->check(CLI::Range(0u, 100u));
  const std::map<std::string, DisplayCurve> curves{{"linear", DisplayCurve::kLinear},
                                                   {"gamma", DisplayCurve::kGamma},
                                                   {"log", DisplayCurve::kLog}};
  sub->add_option("--stretch", o->curve,
                  "Display of grey levels: linear, gamma (square root) or log; the last two "
                  "show dim cells [default: gamma]")
      ->transform(CLI::CheckedTransformer(curves, CLI::ignore_case));
  sub->callback([&context, o] {
    context.exit_code = RunReporting("report", context.err, [&] {
      const ReportOutcome r = WriteReport(*o);
      context.out << "wrote " << r.page.string() << " (" << std::fixed << std::setprecision(1)
                  << double(r.bytes) / (1024 * 1024) << " MB; " << r.frames << " frame(s)"
                  << (r.with_frames ? "" : ", no frames") << (r.evaluated ? ", evaluated" : "")
                  << (r.problems ? ", " + std::to_string(r.problems) + " problem(s) listed" : "")
                  << ")\n";
    });
  });
}

}  // namespace trel::tool
