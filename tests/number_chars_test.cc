// The portable number text against the standard library's, which it stands
// in for where a C++ library has none: the same bytes for every form the
// program writes, and the same reading of every text, on a few hundred
// thousand numbers of every size.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "number_chars.h"

namespace synthfactors {
namespace {

class Numbers {
 public:
  std::uint64_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  // Any finite double, by its bits: subnormals, huge and tiny values.
  double AnyBits() {
    for (;;) {
      std::uint64_t bits = Next();
      double value = 0;
      std::memcpy(&value, &bits, sizeof value);
      if (std::isfinite(value)) return value;
    }
  }
  // A figure as the program meets them: a few decimals, around 1e-6 ... 1e12.
  double Figure() {
    const double digits = static_cast<double>(Next() % 100000000);
    return digits / std::pow(10.0, static_cast<double>(Next() % 14)) *
           (Next() % 2 == 0 ? 1 : -1) * std::pow(10.0, static_cast<double>(Next() % 7) - 2);
  }

 private:
  std::uint64_t state_ = 0x9E3779B97F4A7C15ULL;
};

using Writer = std::to_chars_result (*)(char*, char*, double);

std::string Text(std::to_chars_result (*write)(char*, char*, double, std::chars_format, int),
                 double value, std::chars_format format, int precision) {
  char buffer[1200];
  const auto result = write(buffer, buffer + sizeof buffer, value, format, precision);
  return result.ec == std::errc() ? std::string(buffer, result.ptr) : "error";
}

std::string Shortest(bool portable, double value, std::optional<std::chars_format> format) {
  char buffer[400];
  const auto result =
      !format ? (portable ? portable::ToChars(buffer, buffer + sizeof buffer, value)
                          : std::to_chars(buffer, buffer + sizeof buffer, value))
              : (portable ? portable::ToChars(buffer, buffer + sizeof buffer, value, *format)
                          : std::to_chars(buffer, buffer + sizeof buffer, value, *format));
  return result.ec == std::errc() ? std::string(buffer, result.ptr) : "error";
}

std::to_chars_result StandardWithPrecision(char* first, char* last, double value,
                                           std::chars_format format, int precision) {
  return std::to_chars(first, last, value, format, precision);
}
std::to_chars_result PortableWithPrecision(char* first, char* last, double value,
                                           std::chars_format format, int precision) {
  return portable::ToChars(first, last, value, format, precision);
}

std::vector<double> Values(int count) {
  Numbers numbers;
  std::vector<double> values = {0.0, -0.0, 0.1, 0.125, 2.5, 0.5, 1.5, 9.5, 99.5, 1e21, 1e22,
                                123456.0, 1234567.0, 1e-4, 1e-5, 5e-324, 2.2250738585072014e-308,
                                std::numeric_limits<double>::max(), 2592.00625, 10368.025,
                                1.8189894035458565e-06, 0.30000000000000004};
  for (int i = 0; i < count; ++i) values.push_back(i % 2 == 0 ? numbers.AnyBits() : numbers.Figure());
  return values;
}

TEST(NumberChars, ShortestTextsAreTheStandardLibrarys) {
  for (const double value : Values(150000)) {
    for (const auto format : {std::optional<std::chars_format>(), std::optional(std::chars_format::fixed),
                              std::optional(std::chars_format::scientific),
                              std::optional(std::chars_format::general)}) {
      ASSERT_EQ(Shortest(false, value, format), Shortest(true, value, format))
          << value << " format " << (format ? int(*format) : 0);
    }
  }
}

TEST(NumberChars, TextsWithAPrecisionAreExactlyRounded) {
  EXPECT_EQ("0.12", Text(PortableWithPrecision, 0.125, std::chars_format::fixed, 2));  // a tie: even
  EXPECT_EQ("2e+00", Text(PortableWithPrecision, 2.5, std::chars_format::scientific, 0));
  EXPECT_EQ("1.0e+01", Text(PortableWithPrecision, 9.96, std::chars_format::scientific, 1));
  EXPECT_EQ("-0.0", Text(PortableWithPrecision, -0.0, std::chars_format::fixed, 1));
  const struct {
    std::chars_format format;
    int precision;
  } forms[] = {{std::chars_format::fixed, 0},      {std::chars_format::fixed, 1},
               {std::chars_format::fixed, 2},      {std::chars_format::fixed, 17},
               {std::chars_format::scientific, 0}, {std::chars_format::scientific, 5},
               {std::chars_format::scientific, 16}, {std::chars_format::scientific, 40},
               {std::chars_format::general, 1},    {std::chars_format::general, 6},
               {std::chars_format::general, 9},    {std::chars_format::general, 17}};
  for (const double value : Values(8000)) {
    for (const auto& form : forms) {
      ASSERT_EQ(Text(StandardWithPrecision, value, form.format, form.precision),
                Text(PortableWithPrecision, value, form.format, form.precision))
          << value << " format " << int(form.format) << " precision " << form.precision;
    }
  }
  // Every digit of the smallest double, as the sign test of a tie needs.
  for (const double value : {5e-324, -4.9406564584124654e-324, 1e-300}) {
    EXPECT_EQ(Text(StandardWithPrecision, value, std::chars_format::scientific, 780),
              Text(PortableWithPrecision, value, std::chars_format::scientific, 780));
  }
}

TEST(NumberChars, SpecialValuesAndShortBuffers) {
  for (const double value : {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_EQ(Shortest(false, value, {}), Shortest(true, value, {}));
    EXPECT_EQ(Text(StandardWithPrecision, value, std::chars_format::fixed, 3),
              Text(PortableWithPrecision, value, std::chars_format::fixed, 3));
  }
  char small[4];
  const auto result = portable::ToChars(small, small + sizeof small, 12345.0);
  EXPECT_EQ(std::errc::value_too_large, result.ec);
  EXPECT_EQ(small + sizeof small, result.ptr);
}

// The result of reading `text`: its value's bits (or "unchanged"), the
// characters read and the error.
std::string Reading(bool portable, const std::string& text) {
  double value = 7.0;
  const char* end = text.data() + text.size();
  const auto result = portable ? portable::FromChars(text.data(), end, value)
                               : std::from_chars(text.data(), end, value);
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return std::to_string(bits) + " read " + std::to_string(result.ptr - text.data()) + " error " +
         std::to_string(static_cast<int>(result.ec));
}

TEST(NumberChars, ReadingIsTheStandardLibrarys) {
  std::vector<std::string> texts = {"0", "-0", "1e400", "-1e400", "1e-400", "2e-324", "3e-324",
                                    "4.9e-324", "1e-310", "inf", "-infinity", "nan", "1.5x", "x",
                                    "", "-", ".5", "5.", "0e999", "0.0000", "1e", "1e+",
                                    "2.2250738585072011e-308", "179769313486231580793728971405303415079934132710037826936173778980444968292764750946649017977587207096330286416692887910946555547851940402630657488671505820681908902000708383676273854845817711531764475730270069855571366959622842914819860834936475292719074168444365510704342711559699508093042880177904174497791.9999999"};
  Numbers numbers;
  for (int i = 0; i < 100000; ++i) {
    char buffer[64];
    const double value = i % 2 == 0 ? numbers.AnyBits() : numbers.Figure();
    texts.emplace_back(buffer, std::to_chars(buffer, buffer + sizeof buffer, value,
                                             std::chars_format::scientific, 1 + int(numbers.Next() % 20))
                                   .ptr);
    // Decimals with many digits and an exponent anywhere.
    std::string digits = std::to_string(numbers.Next()) + "." + std::to_string(numbers.Next());
    texts.push_back(digits + "e" + std::to_string(int(numbers.Next() % 700) - 350));
  }
  for (const std::string& text : texts) {
    ASSERT_EQ(Reading(false, text), Reading(true, text)) << "\"" << text << "\"";
  }
}

}  // namespace
}  // namespace synthfactors
