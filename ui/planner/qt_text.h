// The runner's UTF-8 texts as Qt strings, and the planner's two ways of
// showing a figure that the command line writes otherwise.
#pragma once

#include <QString>

#include <string_view>

#include "arithmetic_fault.h"
#include "to_hex_text.h"

namespace synthfactors::planner {

inline QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A figure's text with the locale's decimal symbol in place of ".".
inline QString WithDecimalSymbol(std::string_view text, const QString& symbol) {
  QString shown = Text(text);
  if (symbol != QLatin1String(".")) shown.replace(QLatin1Char('.'), symbol);
  return shown;
}

// The counters B and A as the registers take them: "0x16B8"; empty where
// a value is no register's.
inline QString RegisterHex(double value) {
  try {
    return QStringLiteral("0x") + Text(ToHexText(value));
  } catch (const ArithmeticFault&) {
    return {};
  }
}

}  // namespace synthfactors::planner
