#include "result_fields.h"

#include "to_hex_text.h"

namespace synthfactors::runner {

std::optional<std::string> RegisterText(double value) {
  try {
    return ToHexText(value);
  } catch (const ArithmeticFault&) {
    return std::nullopt;
  }
}

}  // namespace synthfactors::runner
