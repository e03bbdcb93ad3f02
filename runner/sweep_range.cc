#include "sweep_range.h"

#include <algorithm>
#include <array>

namespace synthfactors::runner {
namespace {

constexpr int kMaxDigits = 30;

struct Decimal {
  bool negative = false;
  std::string digits;  // without the point, leading zeros kept
  int scale = 0;       // digits after the point
};

std::optional<Decimal> ReadDecimal(std::string_view text) {
  Decimal d;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    d.negative = text[i] == '-';
    ++i;
  }
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      d.digits += c;
      if (point) ++d.scale;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return std::nullopt;
    }
  }
  if (d.digits.empty()) return std::nullopt;
  return d;
}

// The value in units of 10^-scale, or nullopt when it has too many digits.
std::optional<Int128> Scaled(const Decimal& d, int scale) {
  std::string digits = d.digits + std::string(scale - d.scale, '0');
  const auto first = digits.find_first_not_of('0');
  digits.erase(0, std::min(first, digits.size()));
  if (digits.size() > kMaxDigits) return std::nullopt;
  Int128 value = 0;
  for (const char c : digits) value = value * 10 + (c - '0');
  return d.negative ? -value : value;
}

}  // namespace

std::optional<SweepRange> SweepRange::Parse(std::string_view text,
                                            std::string& error) {
  const auto first = text.find(':');
  const auto second =
      first == std::string_view::npos ? first : text.find(':', first + 1);
  if (second == std::string_view::npos ||
      text.find(':', second + 1) != std::string_view::npos) {
    error = kSweepOptionWords.usage;
    return std::nullopt;
  }
  return FromParts(text.substr(0, first), text.substr(first + 1, second - first - 1),
                   text.substr(second + 1), kSweepOptionWords, error);
}

std::optional<SweepRange> SweepRange::FromParts(std::string_view from_text,
                                                std::string_view to_text,
                                                std::string_view step_text,
                                                const GridWords& words, std::string& error,
                                                GridPart* part) {
  const std::array<std::optional<Decimal>, 3> parts = {
      ReadDecimal(from_text), ReadDecimal(to_text), ReadDecimal(step_text)};
  auto fail_at = [&](GridPart at, const std::string& message) {
    if (part != nullptr) *part = at;
    error = message;
    return std::nullopt;
  };
  for (const GridPart at : {GridPart::kFrom, GridPart::kTo, GridPart::kStep}) {
    if (!parts[static_cast<int>(at)]) return fail_at(at, std::string(words.usage));
  }
  auto fail = [&](GridPart at, const std::string& reason) {
    return fail_at(at, std::string(words.prefix) + reason);
  };
  const std::string from_word(words.from), to_word(words.to), step_word(words.step);

  const int scale = std::max({parts[0]->scale, parts[1]->scale, parts[2]->scale});
  const auto from = Scaled(*parts[0], scale);
  const auto to = Scaled(*parts[1], scale);
  const auto step = Scaled(*parts[2], scale);
  if (!from || !to || !step) {
    return fail(!from ? GridPart::kFrom : !to ? GridPart::kTo : GridPart::kStep,
                from_word + ", " + to_word + " and " + step_word +
                    " may have at most 30 digits each");
  }
  if (*step <= 0) return fail(GridPart::kStep, step_word + " must be greater than 0");
  if (*to < *from) return fail(GridPart::kTo, to_word + " must not be below " + from_word);
  const Int128 steps = (*to - *from) / *step;
  if (steps >= kMaxSweepPoints) {
    return fail(GridPart::kStep, "the range has more than 10000000 points; use a larger " +
                                     step_word + " or a shorter range");
  }

  SweepRange range;
  range.from_ = *from;
  range.step_ = *step;
  range.scale_ = scale;
  range.count_ = static_cast<std::int64_t>(steps) + 1;
  return range;
}

std::string SweepRange::PointText(std::int64_t index) const {
  const Int128 value = from_ + step_ * index;
  UInt128 magnitude =
      value < 0 ? -static_cast<UInt128>(value) : value;
  std::string digits;  // least significant first
  do {
    digits += static_cast<char>('0' + static_cast<int>(magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  while (digits.size() <= static_cast<std::size_t>(scale_)) digits += '0';
  std::reverse(digits.begin(), digits.end());

  std::string text = value < 0 ? "-" : "";
  const std::size_t whole = digits.size() - scale_;
  text.append(digits, 0, whole);
  std::string fraction = digits.substr(whole);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) text += '.' + fraction;
  return text;
}

}  // namespace synthfactors::runner
