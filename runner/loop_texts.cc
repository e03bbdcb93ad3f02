#include "loop_texts.h"

#include <cmath>

#include "input_fields.h"
#include "number_chars.h"
#include "number_text.h"

namespace synthfactors::runner {
namespace {

std::string Quote(std::string_view text) { return "\"" + CutShort(text, 60) + "\""; }

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    parts.push_back(Trim(text.substr(0, at)));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

// A finite decimal, the whole text.
std::optional<double> Number(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = FromChars(text.data(), end, value, std::chars_format::general);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

std::optional<double> PartValue(std::string_view text) {
  struct Prefix {
    std::string_view symbol;
    std::string_view exponent;
  };
  static constexpr Prefix kPrefixes[] = {{"f", "e-15"}, {"p", "e-12"}, {"n", "e-9"},
                                         {"u", "e-6"},  {"\xC2\xB5", "e-6"},  // micro sign
                                         {"\xCE\xBC", "e-6"},                 // Greek mu
                                         {"m", "e-3"},  {"k", "e3"},  {"M", "e6"}, {"G", "e9"}};
  text = Trim(text);
  for (const Prefix& prefix : kPrefixes) {
    if (text.size() <= prefix.symbol.size() || !text.ends_with(prefix.symbol)) continue;
    const std::string_view mantissa = text.substr(0, text.size() - prefix.symbol.size());
    // Read as one decimal with the prefix's exponent, so "6.58n" is the
    // double nearest 6.58e-9; a mantissa with an exponent of its own has
    // none to add.
    if (mantissa.find_first_of("eE") != std::string_view::npos) return std::nullopt;
    return Number(std::string(mantissa) + std::string(prefix.exponent));
  }
  return Number(text);
}

std::optional<loop::LoopFilter> ParseFilterParts(std::string_view text, std::string_view name,
                                                 std::string& error) {
  const std::vector<std::string_view> parts = Split(text, ',');
  const std::string usage =
      std::string(name) +
      " takes C1,C2,R2 (second order) or C1,C2,R2,C3,R3 (third order) in farads and ohms, "
      "with p n u m k M allowed, such as 6.58n,85.6n,2.58k,466p,33.9k";
  if (parts.size() != 3 && parts.size() != 5) {
    error = usage + ", not " + std::to_string(parts.size()) + (parts.size() == 1 ? " part" : " parts");
    return std::nullopt;
  }
  std::vector<double> values;
  for (const std::string_view part : parts) {
    const std::optional<double> value = PartValue(part);
    if (!value || !(*value > 0)) {
      error = usage + "; each part above 0, not " + Quote(part);
      return std::nullopt;
    }
    values.push_back(*value);
  }
  loop::LoopFilter filter;
  filter.order = parts.size() == 3 ? 2 : 3;
  filter.c1 = values[0];
  filter.c2 = values[1];
  filter.r2 = values[2];
  if (filter.order == 3) {
    filter.c3 = values[3];
    filter.r3 = values[4];
  }
  return filter;
}

std::optional<std::vector<loop::NoisePoint>> ParseNoisePoints(std::string_view text,
                                                              std::string_view name,
                                                              std::string& error) {
  const std::string usage = std::string(name) +
                            " takes OFFSET:DBC points, offsets in Hz rising, such as "
                            "1000:-80,10000:-105,100000:-128";
  std::vector<loop::NoisePoint> points;
  for (const std::string_view item : Split(text, ',')) {
    const std::vector<std::string_view> pair = Split(item, ':');
    const std::optional<double> offset = pair.size() == 2 ? Number(pair[0]) : std::nullopt;
    const std::optional<double> dbc = pair.size() == 2 ? Number(pair[1]) : std::nullopt;
    if (!offset || !dbc) {
      error = usage + ", not " + Quote(item);
      return std::nullopt;
    }
    if (!(*offset > 0)) {
      error = std::string(name) + ": an offset must be above 0 Hz, not " + Quote(pair[0]);
      return std::nullopt;
    }
    if (*dbc < -400 || *dbc > 100) {
      error = std::string(name) + ": a noise level must be from -400 to 100 dBc/Hz, not " +
              Quote(pair[1]);
      return std::nullopt;
    }
    if (!points.empty() && !(*offset > points.back().offset_hz)) {
      error = std::string(name) + ": the offsets must rise, and " + ShortestText(*offset) +
              " Hz follows " + ShortestText(points.back().offset_hz) + " Hz";
      return std::nullopt;
    }
    points.push_back({*offset, *dbc});
  }
  return points;
}

std::optional<std::vector<double>> ParseOffsets(std::string_view text, std::string_view name,
                                                std::string& error) {
  std::vector<double> offsets;
  for (const std::string_view item : Split(text, ',')) {
    const std::optional<double> offset = Number(item);
    if (!offset || !(*offset > 0)) {
      error = std::string(name) +
              " takes offsets in Hz above 0, rising, such as 1000,10000,100000, not " + Quote(item);
      return std::nullopt;
    }
    if (!offsets.empty() && !(*offset > offsets.back())) {
      error = std::string(name) + ": the offsets must rise, and " + ShortestText(*offset) +
              " Hz follows " + ShortestText(offsets.back()) + " Hz";
      return std::nullopt;
    }
    if (offsets.size() == kMostNoiseOffsets) {
      error = std::string(name) + " takes at most " + std::to_string(kMostNoiseOffsets) + " offsets";
      return std::nullopt;
    }
    offsets.push_back(*offset);
  }
  return offsets;
}

std::optional<std::pair<double, double>> ParseBand(std::string_view text, std::string_view name,
                                                   std::string& error) {
  const std::vector<std::string_view> ends = Split(text, ':');
  const std::optional<double> from = ends.size() == 2 ? Number(ends[0]) : std::nullopt;
  const std::optional<double> to = ends.size() == 2 ? Number(ends[1]) : std::nullopt;
  if (!from || !to || !(*from > 0) || !(*to > *from)) {
    error = std::string(name) + " takes FROM:TO in Hz, 0 < FROM < TO, such as 1000:10000000, not " +
            Quote(text);
    return std::nullopt;
  }
  return std::pair{*from, *to};
}

}  // namespace synthfactors::runner
