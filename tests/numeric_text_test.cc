#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "checked_arithmetic.h"
#include "numeric_text.h"

namespace synthfactors {
namespace {

FaultKind FaultOf(auto&& action) {
  try {
    action();
  } catch (const ArithmeticFault& fault) {
    return fault.kind();
  }
  ADD_FAILURE() << "no fault raised";
  return FaultKind::kInvalidOperation;
}

TEST(ParseLeadingNumber, ReadsTheNumberAtTheStart) {
  EXPECT_EQ(1000, ParseLeadingNumber("1000"));
  EXPECT_EQ(1000.001, ParseLeadingNumber("1000.001"));
  EXPECT_EQ(-2.5, ParseLeadingNumber("-2.5"));
  EXPECT_EQ(2.5, ParseLeadingNumber("+2.5"));
  EXPECT_EQ(0.5, ParseLeadingNumber(".5"));
  EXPECT_EQ(-0.5, ParseLeadingNumber("-.5"));
  EXPECT_EQ(5, ParseLeadingNumber("5."));
  EXPECT_EQ(1500, ParseLeadingNumber("1.5E3"));
  EXPECT_EQ(1500, ParseLeadingNumber("1.5e3"));
  EXPECT_EQ(0.0015, ParseLeadingNumber("1.5e-3"));
  EXPECT_EQ(1500, ParseLeadingNumber("1.5e+3"));
  EXPECT_EQ(7, ParseLeadingNumber("007"));
}

TEST(ParseLeadingNumber, RemovesBlanksTabsAndLineFeedsEverywhere) {
  EXPECT_EQ(123, ParseLeadingNumber(" 1 2 3"));
  EXPECT_EQ(1000, ParseLeadingNumber("1 000"));
  EXPECT_EQ(-1500, ParseLeadingNumber("\t- 1 . 5\ne 3"));
  EXPECT_EQ(12, ParseLeadingNumber("12\r3"));  // a carriage return ends it
}

TEST(ParseLeadingNumber, StopsAtTheFirstCharacterThatCannotContinue) {
  EXPECT_EQ(12, ParseLeadingNumber("12abc"));
  EXPECT_EQ(10, ParseLeadingNumber("10MHz"));
  EXPECT_EQ(1, ParseLeadingNumber("1,5"));
  EXPECT_EQ(1.5, ParseLeadingNumber("1.5.3"));
  EXPECT_EQ(2, ParseLeadingNumber("2e"));
  EXPECT_EQ(2, ParseLeadingNumber("2e+"));
  EXPECT_EQ(2, ParseLeadingNumber("2ex5"));
  EXPECT_EQ(0, ParseLeadingNumber("0x1F"));
  EXPECT_EQ(1, ParseLeadingNumber("1inf"));
}

TEST(ParseLeadingNumber, TextWithoutANumberGivesZero) {
  for (const char* text : {"", "abc", "$5", ".", "-", "+", "e5", "-.e1",
                           "inf", "nan", " \t\n"}) {
    EXPECT_EQ(0, ParseLeadingNumber(text)) << text;
  }
}

TEST(ParseLeadingNumber, RoundsToTheNearestDouble) {
  EXPECT_EQ(0.1, ParseLeadingNumber("0.1"));
  EXPECT_EQ(1e23, ParseLeadingNumber("1e23"));
  // Halfway between 1 and the next double, then a hair above it.
  EXPECT_EQ(1.0, ParseLeadingNumber("1.00000000000000011102230246251565404236316680908203125"));
  EXPECT_EQ(std::nextafter(1.0, 2.0),
            ParseLeadingNumber("1.00000000000000011102230246251565404236316680908203125" +
                               std::string(900, '0') + "1"));
  EXPECT_EQ(1e300, ParseLeadingNumber("1" + std::string(300, '0')));
  EXPECT_EQ(0.5, ParseLeadingNumber("0." + std::string(500, '0') + "5e500"));
}

TEST(ParseLeadingNumber, OnlyMagnitudesBeyondTheDoubleRangeFault) {
  EXPECT_EQ(std::numeric_limits<double>::max(),
            ParseLeadingNumber("1.7976931348623157e308"));
  EXPECT_EQ(FaultKind::kOverflow, FaultOf([] { ParseLeadingNumber("1e309"); }));
  EXPECT_EQ(FaultKind::kOverflow, FaultOf([] { ParseLeadingNumber("-1.8e308"); }));
  EXPECT_EQ(FaultKind::kOverflow,
            FaultOf([] { ParseLeadingNumber("1e99999999999999999999"); }));
  EXPECT_EQ(FaultKind::kOverflow,
            FaultOf([] { ParseLeadingNumber(std::string(400, '9')); }));
  EXPECT_EQ(0, ParseLeadingNumber("1e-400"));
  EXPECT_EQ(0, ParseLeadingNumber("1e-99999999999999999999"));
  EXPECT_EQ(1e-310, ParseLeadingNumber("1e-310"));
  EXPECT_EQ(0, ParseLeadingNumber("0e99999"));
  EXPECT_EQ(0, ParseLeadingNumber("0." + std::string(1000, '0') + "1e500"));
}

TEST(NumberToSignedText, BlankOrMinusThenTheGeneralForm) {
  EXPECT_EQ(" 1000", NumberToSignedText(1000));
  EXPECT_EQ(" 1000.001", NumberToSignedText(1000.001));
  EXPECT_EQ(" 1234.5678", NumberToSignedText(1234.5678));
  EXPECT_EQ(" 2500", NumberToSignedText(2500));
  EXPECT_EQ("-3", NumberToSignedText(-3));
  EXPECT_EQ(" .5", NumberToSignedText(0.5));
  EXPECT_EQ("-.25", NumberToSignedText(-0.25));
  EXPECT_EQ(" 0", NumberToSignedText(0));
  EXPECT_EQ(" 0", NumberToSignedText(-0.0));
}

TEST(NumberToSignedText, FifteenSignificantDigits) {
  EXPECT_EQ(" .333333333333333", NumberToSignedText(1.0 / 3));
  EXPECT_EQ(" 666.666666666667", NumberToSignedText(2000.0 / 3));
  EXPECT_EQ(" .1", NumberToSignedText(0.1));
  EXPECT_EQ(" .3", NumberToSignedText(0.1 + 0.2));
  EXPECT_EQ(" 999999999999999", NumberToSignedText(999999999999999));
  EXPECT_EQ(" 10368.025", NumberToSignedText(10368.025));
}

TEST(NumberToSignedText, ExactHalvesRoundAwayFromZero) {
  EXPECT_EQ(" 537929379328387", NumberToSignedText(537929379328386.5));
  EXPECT_EQ("-537929379328387", NumberToSignedText(-537929379328386.5));
  EXPECT_EQ(" 537929379328386", NumberToSignedText(537929379328386.4375));
  EXPECT_EQ(" 1E+15", NumberToSignedText(999999999999999.5));  // the carry
  EXPECT_EQ(" 1.00000000000001", NumberToSignedText(1.000000000000005));  // above the tie
}

TEST(NumberToSignedText, ExponentFormOutsideTheFixedRange) {
  EXPECT_EQ(" 1E+15", NumberToSignedText(1e15));
  EXPECT_EQ(" 1E+15", NumberToSignedText(999999999999999.9));
  EXPECT_EQ("-1.5E+20", NumberToSignedText(-1.5e20));
  EXPECT_EQ(" 1.79769313486232E+308", NumberToSignedText(1.7976931348623157e308));
  EXPECT_EQ(" .0001", NumberToSignedText(0.0001));
  EXPECT_EQ(" 1.5E-05", NumberToSignedText(0.000015));
  EXPECT_EQ(" 4.94065645841247E-324", NumberToSignedText(4.9406564584124654e-324));
}

TEST(FormatDigitMask, WorkedExamples) {
  EXPECT_EQ("11.37358", FormatDigitMask(11.373578302712161, "#####.#####", "."));
  EXPECT_EQ("5.", FormatDigitMask(5, "#####.#####", "."));
  EXPECT_EQ("4.024", FormatDigitMask(4.024497002319549, "######.###", "."));
  EXPECT_EQ("-1000.", FormatDigitMask(-999.9999999763531, "######.###", "."));
  EXPECT_EQ("3", FormatDigitMask(3.2598428391859477, "########", "."));
  EXPECT_EQ("-1000", FormatDigitMask(-999.9989999773533, "########", "."));
  EXPECT_EQ("10000", FormatDigitMask(10000, "#######", "."));
}

TEST(FormatDigitMask, WholePartShowsEveryDigitAndNoLeadingZero) {
  EXPECT_EQ("12345678", FormatDigitMask(12345678, "#######", "."));
  EXPECT_EQ("100000000000000000000", FormatDigitMask(1e20, "#######", "."));
  EXPECT_EQ(".5", FormatDigitMask(0.5, "#####.#####", "."));
  EXPECT_EQ("-.25", FormatDigitMask(-0.25, "######.###", "."));
}

TEST(FormatDigitMask, ZeroAndTheDecimalSymbol) {
  EXPECT_EQ("", FormatDigitMask(0.4, "########", "."));
  EXPECT_EQ("", FormatDigitMask(0, "#######", "."));
  EXPECT_EQ("", FormatDigitMask(-0.4, "########", "."));
  EXPECT_EQ(".", FormatDigitMask(0, "######.###", "."));
  EXPECT_EQ(".", FormatDigitMask(-0.0004, "######.###", "."));
  EXPECT_EQ("100.", FormatDigitMask(100, "#####.#####", "."));
  EXPECT_EQ("100,", FormatDigitMask(100, "#####.#####", ","));
  EXPECT_EQ("-4,024", FormatDigitMask(-4.0245, "######.###", ","));
  EXPECT_EQ("3", FormatDigitMask(3.2, "########", ","));
}

TEST(FormatDigitMask, RoundsOnTheExactValueWithHalvesAwayFromZero) {
  EXPECT_EQ("1", FormatDigitMask(0.5, "########", "."));
  EXPECT_EQ("3", FormatDigitMask(2.5, "########", "."));
  EXPECT_EQ("-3", FormatDigitMask(-2.5, "########", "."));
  EXPECT_EQ(".063", FormatDigitMask(0.0625, "######.###", "."));
  EXPECT_EQ("1000.", FormatDigitMask(999.9995, "######.###", "."));  // just above
  EXPECT_EQ("1.004", FormatDigitMask(1.0045, "######.###", "."));  // stored below
  EXPECT_EQ("1.", FormatDigitMask(1.000004999, "#####.#####", "."));
  EXPECT_EQ("10.", FormatDigitMask(9.999995, "#####.#####", "."));
  EXPECT_EQ("2", FormatDigitMask(2.4999999999999996, "########", "."));
}

TEST(FormatDigitMask, RejectsWhatCannotBeShown) {
  EXPECT_EQ(FaultKind::kOverflow,
            FaultOf([] { FormatDigitMask(INFINITY, "#######", "."); }));
  EXPECT_EQ(FaultKind::kInvalidOperation,
            FaultOf([] { FormatDigitMask(NAN, "#######", "."); }));
  EXPECT_THROW(FormatDigitMask(1, "##0.00", "."), std::invalid_argument);
}

TEST(ToHexText, UpperCaseWithoutPrefixOrLeadingZeros) {
  EXPECT_EQ("64", ToHexText(100));
  EXPECT_EQ("2710", ToHexText(10000));
  EXPECT_EQ("7D0", ToHexText(2000));
  EXPECT_EQ("30D40", ToHexText(200000));
  EXPECT_EQ("1A803", ToHexText(108547));
  EXPECT_EQ("0", ToHexText(0));
  EXPECT_EQ("0", ToHexText(-0.0));
  EXPECT_EQ("7FFFFFFF", ToHexText(2147483647));
}

TEST(ToHexText, NegativesAsTwosComplement) {
  EXPECT_EQ("FFFFFFFB", ToHexText(-5));
  EXPECT_EQ("FFFFFFFF", ToHexText(-1));
  EXPECT_EQ("80000000", ToHexText(-2147483648.0));
}

TEST(ToHexText, RoundsThenChecksTheSigned32BitRange) {
  EXPECT_EQ("3", ToHexText(2.5));
  EXPECT_EQ("7FFFFFFF", ToHexText(2147483647.4));
  EXPECT_EQ(FaultKind::kOverflow, FaultOf([] { ToHexText(2147483648.0); }));
  EXPECT_EQ(FaultKind::kOverflow, FaultOf([] { ToHexText(2147483647.5); }));
  EXPECT_EQ(FaultKind::kOverflow, FaultOf([] { ToHexText(-2147483649.0); }));
  EXPECT_EQ(FaultKind::kOverflow, FaultOf([] { ToHexText(1e300); }));
  EXPECT_EQ(FaultKind::kOverflow, FaultOf([] { ToHexText(NAN); }));
}

TEST(CheckedArithmetic, FaultsInsteadOfInfinitiesAndNaNs) {
  const double max = std::numeric_limits<double>::max();
  EXPECT_EQ(FaultKind::kDivisionByZero, FaultOf([] { Div(1, 0); }));
  EXPECT_EQ(FaultKind::kDivisionByZero, FaultOf([] { Div(-1, -0.0); }));
  EXPECT_EQ(FaultKind::kInvalidOperation, FaultOf([] { Div(0, 0); }));
  EXPECT_EQ(FaultKind::kOverflow, FaultOf([&] { Mul(max, 2); }));
  EXPECT_EQ(FaultKind::kOverflow, FaultOf([&] { Add(max, max); }));
  EXPECT_EQ(FaultKind::kOverflow, FaultOf([&] { Sub(-max, max); }));
  EXPECT_EQ(FaultKind::kOverflow, FaultOf([&] { Div(max, 0.5); }));
  EXPECT_EQ(0, Mul(1e-300, 1e-300));  // underflow is no fault
}

TEST(CheckedArithmetic, FloorRoundsTowardsMinusInfinity) {
  EXPECT_EQ(2, Floor(2.5));
  EXPECT_EQ(-3, Floor(-2.5));
  EXPECT_EQ(-1, Floor(-0.5));
  EXPECT_EQ(0, Floor(0.49999999999999994));
  EXPECT_EQ(1e300, Floor(1e300));
  EXPECT_EQ(4503599627370495.0, Floor(4503599627370495.5));
  EXPECT_TRUE(std::signbit(Floor(-0.0)));
}

}  // namespace
}  // namespace synthfactors
