// `trel validate RES [--gt GT]`: lists every broken consistency rule of a result folder; the
// exit status is 65 when there is any.
#include <CLI/CLI.hpp>
#include <memory>

#include "commands.h"
#include "result_check.h"

namespace trel::tool {

int RunValidate(const std::filesystem::path& res, const std::filesystem::path& gt,
                std::ostream& out, std::ostream& err) {
  bool broken = false;
  const int code = RunReporting("validate", err, [&] {
    const std::vector<Violation> violations = CheckResultFolder(res, gt);
    for (const Violation& v : violations) out << FormatViolation(v) << "\n";
    broken = !violations.empty();
    if (broken)
      out << violations.size() << " violation(s) in " << res.string() << "\n";
    else
      out << res.string() << " is consistent\n";
  });
  return code == kExitOk && broken ? kExitDataError : code;
}

void AddValidateCommand(CLI::App& app, CommandContext& context) {
  CLI::App* sub = app.add_subcommand(
      "validate",
      "Check a result folder (maskTTT.tif, res_track.txt): unique positive labels, B <= E, "
      "parents that exist and end before their daughters begin, mask labels equal to the tracks "
      "alive in every frame, 16-bit masks of one size. Exits with 65 when a rule is broken.");
  auto res = std::make_shared<std::string>();
  auto gt = std::make_shared<std::string>();
  sub->add_option("RES", *res, "Result folder")->required();
  sub->add_option("--gt", *gt,
                  "Ground-truth folder: the result must match its frame count and "
                  "image size");
  sub->callback([&context, res, gt] {
    context.exit_code = RunValidate(*res, *gt, context.out, context.err);
  });
}

}  // namespace trel::tool
