// A box's number read once: what ParseLeadingNumber gives for its text, or
// the overflow that reading it raises, kept to be raised at the step that
// reads the box. A run that reads each text once (the command line, the
// planner) then faults exactly where the window, which reads a box each
// time it needs it, faults.
//
// Example: BoxNumber::Read("1e400").Value() raises ArithmeticFault
// (overflow); BoxNumber::Read("10MHz").Value() is 10.
#pragma once

#include <optional>
#include <string_view>

#include "arithmetic_fault.h"
#include "parse_leading_number.h"

namespace synthfactors {

class BoxNumber {
 public:
  BoxNumber() = default;
  // Never raises: an overflow is kept for Value.
  static BoxNumber Read(std::string_view text) {
    BoxNumber number;
    try {
      number.value_ = ParseLeadingNumber(text);
    } catch (const ArithmeticFault&) {
      number.value_.reset();
    }
    return number;
  }
  static BoxNumber Of(double value) {
    BoxNumber number;
    number.value_ = value;
    return number;
  }

  // The number, or the overflow its reading raised.
  double Value() const {
    if (!value_) RaiseFault(FaultKind::kOverflow);
    return *value_;
  }
  // The number; empty where reading it overflows.
  const std::optional<double>& IfReadable() const { return value_; }

 private:
  std::optional<double> value_ = 0.0;
};

// The five input boxes' numbers, each read once.
struct BoxNumbers {
  BoxNumber RFOut, RFMult, Ref, MinFC, MaxFC;
};

}  // namespace synthfactors
