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

// `env` entries ("NAME=value") are added to the current environment.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::string& input = "",
                         const std::vector<std::string>& env = {});

}  // namespace synthfactors::child_process
