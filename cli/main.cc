// synthfactors-cli: the divider calculation from the command line, for
// scripts and channel plans.
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#endif

#include "cli_app.h"

namespace {

#ifdef _WIN32
// The arguments as typed, from the UTF-16 command line, in UTF-8: the ANSI
// argv loses every letter beyond the code page ("Тест" becomes "????").
std::vector<std::string> Utf8Arguments() {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 0; i < count; ++i) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string text(bytes > 0 ? static_cast<std::size_t>(bytes - 1) : 0, '\0');
    if (bytes > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), bytes, nullptr, nullptr);
    arguments.push_back(std::move(text));
  }
  LocalFree(wide);
  return arguments;
}

// Whether the program has a console of its own (opened by a double click),
// which closes as soon as it ends.
bool OwnConsole() {
  DWORD processes[2];
  return GetConsoleProcessList(processes, 2) == 1;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv, argv + argc);
#ifdef _WIN32
  // The same bytes as everywhere: line feeds, not CR LF, and a batch's
  // input read as it is; UTF-8 in and out, so that every letter of a path
  // or a message survives.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);
  if (std::vector<std::string> wide = Utf8Arguments(); !wide.empty()) arguments = std::move(wide);
  const bool double_clicked = arguments.size() == 1 && OwnConsole();
  if (double_clicked) arguments.emplace_back("--help");
#endif
  std::ios::sync_with_stdio(false);
  std::vector<const char*> pointers;
  pointers.reserve(arguments.size());
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  const int status = synthfactors::cli::RunCommandLine(static_cast<int>(pointers.size()),
                                                       pointers.data(), std::cin, std::cout,
                                                       std::cerr);
#ifdef _WIN32
  if (double_clicked) {
    // Keep the window open until the usage has been read.
    std::cout << "\nPress Enter to close this window." << std::flush;
    std::string line;
    std::getline(std::cin, line);
  }
#endif
  return status;
}
