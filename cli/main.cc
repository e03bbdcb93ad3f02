// synthfactors-cli: the divider calculation from the command line, for
// scripts and channel plans.
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli_app.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  // The same bytes as everywhere: line feeds, not CR LF, and a batch's
  // input read as it is.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  std::ios::sync_with_stdio(false);
  return synthfactors::cli::RunCommandLine(argc, argv, std::cin, std::cout,
                                           std::cerr);
}
