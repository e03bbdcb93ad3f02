// synthfactors-cli: the divider calculation from the command line, for
// scripts and channel plans.
#include <iostream>

#include "cli_app.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  return synthfactors::cli::RunCommandLine(argc, argv, std::cin, std::cout,
                                           std::cerr);
}
