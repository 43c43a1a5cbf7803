// The command line of the trel tool: one CLI11 application with a subcommand per task; usage
// mistakes exit with 64, --help and --version with 0, and each command with its own status.
#include <CLI/CLI.hpp>
#include <new>

#include "commands.h"
#include "voxa/exceptions.h"

#ifndef TREL_VERSION
#define TREL_VERSION "unknown"
#endif

namespace trel::tool {

void AddThreadsOption(CLI::App& command, unsigned& threads) {
  command
      .add_option("--threads", threads,
                  "Threads the image routines share their work out on; 0: every core. The "
                  "results are the same for any number")
      ->capture_default_str();
}

int RunReporting(const char* command, std::ostream& err, const std::function<void()>& work) {
  const std::string prefix = std::string("trel ") + command + ": ";
  try {
    work();
    return kExitOk;
  } catch (const ToolError& e) {
    err << prefix << e.what() << "\n";
    return e.code();
  } catch (const voxa::IOException& e) {
    err << prefix << "voxa::IOException: " << e.what() << "\n";
    return kExitIoError;
  } catch (const std::bad_alloc&) {
    err << prefix << "not enough memory\n";
    return kExitSoftware;
  } catch (const std::exception& e) {
    err << prefix << "internal error: " << e.what() << "\n";
    return kExitSoftware;
  }
}

int RunTool(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{
      "Synthetic sequences with ground truth, result checks and the accuracy measures "
      "of cell segmentation and tracking.",
      "trel"};
  app.set_version_flag("--version", std::string("trel ") + TREL_VERSION);
  app.require_subcommand(1, 1);
  app.footer(
      "Exit status: 0 success, 64 usage, 65 bad data, 66 missing input, 73 cannot create "
      "output, 74 I/O error.");
  CommandContext context{out, err};
  AddSynthCommand(app, context);
  AddValidateCommand(app, context);
  AddEvalCommand(app, context);
  AddFilterCommand(app, context);
  AddTrackCommand(app, context);
  AddPreviewCommand(app, context);
  AddMeasureCommand(app, context);
  AddReportCommand(app, context);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e, out, err);
    return code == 0 ? kExitOk : kExitUsage;
  }
  return context.exit_code;
}

}  // namespace trel::tool
