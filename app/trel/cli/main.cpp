// trel: the companion tool of the tracking library (synthetic data, result checks, accuracy
// measures, filtering). All work is in the tool library; this only connects it to the process.
#include <csignal>
#include <iostream>

#include "commands.h"

int main(int argc, char** argv) {
  // Past the file-size limit a write then fails with its own message instead of killing the
  // process half-way through a file.
  std::signal(SIGXFSZ, SIG_IGN);
  return trel::tool::RunTool(argc, argv, std::cout, std::cerr);
}
