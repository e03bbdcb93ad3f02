// Writes the register tables of docs/chips.md from the register layouts
// themselves (each field's word, bits, who sets it and its `meaning`), so
// the document cannot drift from the words the program writes.
//
//   register_tables            the tables, as Markdown, on standard output
//   register_tables --check F  whether F holds them between its markers
//   register_tables --write F  puts them between F's markers
//
// The markers are the lines "<!-- register tables: begin -->" and
// "<!-- register tables: end -->".
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "register_words.h"

namespace {

using synthfactors::runner::FieldSource;
using synthfactors::runner::Layouts;
using synthfactors::runner::RegisterField;
using synthfactors::runner::RegisterLayout;

constexpr std::string_view kBegin = "<!-- register tables: begin -->\n";
constexpr std::string_view kEnd = "<!-- register tables: end -->\n";

std::string Bits(const RegisterField& field) {
  if (field.width == 1) return std::to_string(field.lsb);
  return std::to_string(field.lsb + field.width - 1) + ":" + std::to_string(field.lsb);
}

std::string_view SetBy(FieldSource source) {
  switch (source) {
    case FieldSource::kDefault: return "default";
    case FieldSource::kRun: return "the run";
    case FieldSource::kFixed: return "reserved";
  }
  return "";
}

std::string Tables() {
  std::string text;
  for (const RegisterLayout* layout : Layouts()) {
    if (!text.empty()) text += "\n";
    text += "`" + std::string(layout->name) + "`:\n\n";
    text += "| field | word | bits | set by | value |\n|---|---|---|---|---|\n";
    for (const RegisterField& field : layout->fields) {
      text += "| `" + std::string(field.name) + "` | " +
              std::string(layout->registers[static_cast<std::size_t>(field.reg)].name) + " | " +
              Bits(field) + " | " + std::string(SetBy(field.source)) + " | " +
              std::string(field.meaning) + " |\n";
    }
  }
  return text;
}

bool Read(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  text = all.str();
  return static_cast<bool>(in) || in.eof();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string tables = Tables();
  if (argc == 1) {
    std::cout << tables;
    return std::cout.flush() ? 0 : 1;
  }
  const std::string mode = argv[1];
  if (argc != 3 || (mode != "--check" && mode != "--write")) {
    std::cerr << "usage: register_tables [--check FILE | --write FILE]\n";
    return 2;
  }
  const std::string path = argv[2];
  std::string document;
  if (!Read(path, document)) {
    std::cerr << "register_tables: cannot read " << path << "\n";
    return 1;
  }
  const std::size_t begin = document.find(kBegin);
  const std::size_t end = document.find(kEnd);
  if (begin == std::string::npos || end == std::string::npos || end < begin) {
    std::cerr << "register_tables: " << path << " has no register table markers\n";
    return 1;
  }
  const std::size_t inside = begin + kBegin.size();
  const std::string wanted = "\n" + tables + "\n";
  if (mode == "--check") {
    if (document.compare(inside, end - inside, wanted) == 0) return 0;
    std::cerr << "register_tables: the register tables of " << path
              << " differ from the layouts; run scripts/register-tables\n";
    return 1;
  }
  document.replace(inside, end - inside, wanted);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << document;
  out.flush();
  if (!out) {
    std::cerr << "register_tables: cannot write " << path << "\n";
    return 1;
  }
  return 0;
}
