// The command-line program's options and modes, apart from main() so that
// tests and benchmarks can drive it.
#pragma once

#include <iosfwd>

namespace synthfactors::cli {

// Exit codes.
inline constexpr int kExitComplete = 0;  // every report complete
inline constexpr int kExitIncomplete = 1;  // a run ended early, or a batch
                                           // line could not be read
inline constexpr int kExitUsage = 2;     // the command line is wrong
inline constexpr int kExitWriteFailed = 3;  // the output could not be written
inline constexpr int kExitReadFailed = 4;   // standard input could not be read
inline constexpr int kExitInterrupted = 130;  // Ctrl+C: stopped after whole rows

int RunCommandLine(int argc, const char* const* argv, std::istream& in,
                   std::ostream& out, std::ostream& err);

}  // namespace synthfactors::cli
