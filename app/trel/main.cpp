// trel: the companion tool of the tracking library (synthetic data, result checks, accuracy
// measures, filtering). All work is in the tool library; this only connects it to the process.
#include <iostream>

#include "commands.h"

int main(int argc, char** argv) {
  return trel::tool::RunTool(argc, argv, std::cout, std::cerr);
}
