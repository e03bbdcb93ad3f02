#include "arithmetic_fault.h"

namespace synthfactors {

std::string_view FaultKindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::kDivisionByZero:
      return "division by zero";
    case FaultKind::kOverflow:
      return "overflow";
    case FaultKind::kInvalidOperation:
      return "invalid operation";
  }
  return "overflow";
}

const char* ArithmeticFault::what() const noexcept {
  return FaultKindName(kind_).data();  // the names are literals, so terminated
}

[[gnu::noinline, gnu::cold]] void RaiseFault(FaultKind kind) {
  throw ArithmeticFault(kind);
}

}  // namespace synthfactors
