// Feeds arbitrary option texts (one per line of the input) to `trel track` with an input folder
// that does not exist, so that every run ends before any file is touched, and to the number
// parser of flstrack. A crash, a hang or an exit status other than the usage error (64) or the
// missing input (66) is a finding.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "parse_number.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> args = {"trel", "track", "/nonexistent/trel-fuzz/in",
                                   "/nonexistent/trel-fuzz/out"};
  constexpr size_t kMaxArgs = 12;
  std::istringstream lines(input);
  for (std::string line; std::getline(lines, line) && args.size() < kMaxArgs;) {
    args.push_back(line);
    (void)trel::app::ParseInt(line.c_str());
    (void)trel::app::ParseReal(line.c_str());
  }
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const int status = trel::tool::RunTool(static_cast<int>(argv.size()), argv.data(), out, err);
  if (status != 0 && status != 64 && status != 66) std::abort();
  return 0;
}
