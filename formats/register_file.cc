#include "register_file.h"

#include <ostream>

#include "decoded_words.h"
#include "file_access.h"
#include "input_fields.h"

namespace synthfactors::formats {
namespace {

constexpr std::size_t kMostBytes = 1 << 20;

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

std::string RegisterFileText(const runner::RegisterLayout& layout,
                             const runner::NamedWords& writes) {
  std::string text;
  for (const runner::RegisterName& reg : layout.registers) {
    const std::string* last = nullptr;
    for (const auto& [name, word] : writes) {
      if (name == reg.name) last = &word;
    }
    if (last == nullptr) return "";
    text += std::string(reg.name) + '\t' + *last + '\n';
  }
  return text;
}

std::optional<std::vector<std::uint32_t>> WordsOfRegisterFile(std::string_view text,
                                                              std::string& error) {
  std::vector<std::uint32_t> words;
  std::size_t line_number = 0;
  while (!text.empty()) {
    ++line_number;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    while (!line.empty() && Blank(line.back())) line.remove_suffix(1);
    while (!line.empty() && Blank(line.front())) line.remove_prefix(1);
    if (line.empty() || line.front() == '#') continue;
    std::size_t start = line.size();
    while (start > 0 && !Blank(line[start - 1])) --start;
    const std::optional<std::uint32_t> word = ParseWord(line.substr(start));
    if (!word) {
      error = "line " + std::to_string(line_number) + " holds no word in hexadecimal: \"" +
              runner::CutShort(Printable(line), 40) + "\"";
      return std::nullopt;
    }
    words.push_back(*word);
  }
  if (words.empty()) {
    error = "it holds no word";
    return std::nullopt;
  }
  return words;
}

std::optional<std::vector<std::uint32_t>> ReadRegisterFile(const std::string& path,
                                                           std::string& error) {
  const SmallFile file = ReadSmallFile(path, kMostBytes);
  const std::string where = "register file " + Printable(path) + ": ";
  switch (file.fault) {
    case SmallFile::Fault::kNone:
      break;
    case SmallFile::Fault::kTooLong:
      error = where + "longer than 1 MiB, more than any part's words";
      return std::nullopt;
    case SmallFile::Fault::kNotOpened:
      error = where + file.why;
      return std::nullopt;
    case SmallFile::Fault::kReadFailed:
      error = where + "the read failed";
      return std::nullopt;
  }
  std::string why;
  auto words = WordsOfRegisterFile(file.text, why);
  if (!words) error = where + why;
  return words;
}

std::string WriteRegisterFile(const std::string& path, const std::string& text) {
  return WriteReplacing(path, [&text](std::ostream& out) { out << text; });
}

}  // namespace synthfactors::formats
