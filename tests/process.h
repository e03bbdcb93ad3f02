// Runs a program as a child process with a given standard input and
// environment, and collects what it wrote and how it ended.
#pragma once

#include <string>
#include <vector>

namespace synthfactors::child_process {

struct ProcessResult {
  std::string out;
  std::string err;
  int exit_code = -1;  // -1 when killed by a signal
  long peak_memory_kib = 0;  // the child's peak resident set
};

struct ProcessOptions {
  // Where the child's standard error (and output) goes: pipes, or one
  // pseudo-terminal, whose text is collected in `err`.
  enum class Terminal { kNone, kErrorOnly, kOutputAndError };
  Terminal terminal = Terminal::kNone;
  int interrupt_after_ms = -1;  // sends SIGINT once, this long after the start
};

// `env` entries ("NAME=value") are added to the current environment.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::string& input = "",
                         const std::vector<std::string>& env = {},
                         const ProcessOptions& options = {});

}  // namespace synthfactors::child_process
