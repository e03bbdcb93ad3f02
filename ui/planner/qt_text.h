// The runner's UTF-8 texts as Qt strings.
#pragma once

#include <QString>

#include <string_view>

namespace synthfactors::planner {

inline QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace synthfactors::planner
