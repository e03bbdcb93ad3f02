#include "decimal_symbol.h"

#include <clocale>

namespace synthfactors::cli {

std::string DecimalSymbolFromEnvironment() {
  std::string symbol = ".";
  if (std::setlocale(LC_NUMERIC, "") != nullptr) {
    const char* point = std::localeconv()->decimal_point;
    if (point != nullptr && *point != '\0') symbol = point;
  }
  std::setlocale(LC_NUMERIC, "C");
  return symbol;
}

}  // namespace synthfactors::cli
