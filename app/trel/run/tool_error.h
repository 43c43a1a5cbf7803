// Failures of the trel tool carry the process exit status that reports them, in the sysexits
// convention, so that a script can tell a usage mistake from bad data or a failing disk.
#pragma once

#include <stdexcept>
#include <string>

namespace trel::tool {

enum ExitCode : int {
  kExitOk = 0,
  kExitUsage = 64,         // the command line is wrong
  kExitDataError = 65,     // an input exists but its content is wrong
  kExitNoInput = 66,       // an input file or folder does not exist
  kExitSoftware = 70,      // an internal failure of the tool itself
  kExitCannotCreate = 73,  // an output file or folder cannot be created
  kExitIoError = 74,       // reading or writing failed half-way
};

class ToolError : public std::runtime_error {
 public:
  ToolError(ExitCode code, const std::string& message) : std::runtime_error(message), code_(code) {}
  ExitCode code() const { return code_; }

 private:
  ExitCode code_;
};

}  // namespace trel::tool
