// The one failure of a calculation run: an arithmetic fault.
//
// Raised as a C++ exception by the checked arithmetic, by ParseLeadingNumber
// (a number beyond the double range) and by ToHexText (a value outside the
// signed 32-bit range). Nothing in calc/ catches it: it ends the run at the
// step that raised it, and the front end turns it into a message.
#pragma once

#include <exception>
#include <string_view>

namespace synthfactors {

enum class FaultKind {
  kDivisionByZero,    // x / 0 with x != 0
  kOverflow,          // a result outside the double range, or a whole number
                      // outside the range a conversion needs
  kInvalidOperation,  // 0 / 0
};

// "division by zero", "overflow" or "invalid operation".
std::string_view FaultKindName(FaultKind kind);

class ArithmeticFault : public std::exception {
 public:
  explicit ArithmeticFault(FaultKind kind) : kind_(kind) {}
  FaultKind kind() const { return kind_; }
  const char* what() const noexcept override;

 private:
  FaultKind kind_;
};

// Out of line and never inlined, so that the checks in hot loops stay small.
[[noreturn]] void RaiseFault(FaultKind kind);

}  // namespace synthfactors
