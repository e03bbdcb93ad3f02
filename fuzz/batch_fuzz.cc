// The batch reader on arbitrary bytes: one answer per non-blank input line,
// each a JSON object, an error object for every line that cannot be read.
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "batch.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::istringstream in(input);
  std::ostringstream out;
  const bool all_read = synthfactors::cli::RunBatch(in, out, ".");

  std::size_t expected = 0;
  std::istringstream lines(input);
  for (std::string line; std::getline(lines, line);) {
    if (line.find_first_not_of(" \t\r\n") != std::string::npos) ++expected;
  }

  std::istringstream answers(out.str());
  std::size_t count = 0;
  bool any_error = false;
  for (std::string line; std::getline(answers, line); ++count) {
    const auto answer = nlohmann::json::parse(line, nullptr, false);
    FUZZ_CHECK(answer.is_object(), "answer is not an object: %s", line.c_str());
    if (answer.contains("error")) {
      any_error = true;
      FUZZ_CHECK(answer["line"].is_number_integer() && answer["error"].is_string(),
                 "error answer %s", line.c_str());
    } else {
      FUZZ_CHECK(answer.contains("report") && answer.contains("fault"), "result %s",
                 line.c_str());
    }
  }
  FUZZ_CHECK(count == expected, "%zu answers for %zu lines", count, expected);
  FUZZ_CHECK(all_read == !any_error, "exit status");
  return 0;
}
