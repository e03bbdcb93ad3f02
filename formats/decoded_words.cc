#include "decoded_words.h"

#include <charconv>

#include "number_text.h"

namespace synthfactors::formats {
namespace {

using Json = nlohmann::ordered_json;

template <typename T>
Json OrNull(const std::optional<T>& value) {
  if (!value) return nullptr;
  return *value;
}

std::string OptionalFigure(const std::optional<double>& value) {
  return value ? runner::ShortestText(*value) : std::string("none");
}

}  // namespace

std::optional<std::uint32_t> ParseWord(std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
  if (text.empty() || text.size() > 8) return std::nullopt;
  std::uint32_t word = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), word, 16);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return word;
}

Json DecodedToJson(const runner::RegisterLayout& layout, const runner::DecodedWords& decoded,
                   const ReferencePath* path) {
  Json object;
  object["r"] = OrNull(decoded.r);
  if (layout.name == "adf4106") {
    object["n"] = OrNull(decoded.n);
    object["b"] = OrNull(decoded.b);
    object["a"] = OrNull(decoded.a);
  } else {
    object["int"] = OrNull(decoded.n);
    object["frac"] = OrNull(decoded.frac);
    object["mod"] = OrNull(decoded.mod);
    if (decoded.frac2 || decoded.mod2) {
      object["frac2"] = OrNull(decoded.frac2);
      object["mod2"] = OrNull(decoded.mod2);
    }
  }
  object["prescaler"] = OrNull(decoded.prescaler);
  object["output_divider"] = OrNull(decoded.output_divider);
  object["feedback"] = decoded.feedback
                           ? Json(runner::NameOf(*decoded.feedback))
                           : Json(nullptr);
  if (decoded.path && path != nullptr) {
    object["reference_path"] = PathText(*path, *decoded.path, decoded.r);
  }
  if (decoded.mash_order) object["mash_order"] = *decoded.mash_order;
  object["comparison_khz"] = OrNull(decoded.comparison_khz);
  object["vco_mhz"] = OrNull(decoded.vco_mhz);
  object["output_mhz"] = OrNull(decoded.output_mhz);
  Json fields = Json::object();
  for (const auto& [name, value] : decoded.fields) fields[name] = value;
  object["fields"] = std::move(fields);
  object["notes"] = decoded.notes;
  return object;
}

std::string DecodedText(const runner::RegisterLayout& layout, const runner::DecodedWords& decoded,
                        const ReferencePath* path) {
  std::string text;
  for (const auto& [name, value] : decoded.fields) {
    text += name + "  " + std::to_string(value) + "\n";
  }
  const auto number = [](const std::optional<std::int64_t>& v) {
    return v ? std::to_string(*v) : std::string("none");
  };
  text += "R " + number(decoded.r);
  if (layout.name == "adf4106") {
    text += "  N " + number(decoded.n) + "  B " + number(decoded.b) + "  A " + number(decoded.a);
  } else {
    if (decoded.frac2 || decoded.mod2) {
      text += "  INT " + number(decoded.n) + "  FRAC1 " + number(decoded.frac) + "  FRAC2 " +
              number(decoded.frac2) + "  MOD2 " + number(decoded.mod2);
    } else {
      text += "  INT " + number(decoded.n) + "  FRAC " + number(decoded.frac) + "  MOD " +
              number(decoded.mod);
    }
  }
  if (decoded.prescaler) {
    text += "  prescaler " + std::to_string(*decoded.prescaler) + "/" +
            std::to_string(*decoded.prescaler + 1);
  }
  if (decoded.output_divider) {
    text += "  output divider /" + std::to_string(*decoded.output_divider) + "  " +
            std::string(runner::NameOf(decoded.feedback.value_or(runner::FeedbackMode::kFundamental))) +
            " feedback";
  }
  std::string path_line;
  if (decoded.path && path != nullptr) {
    path_line = "Reference path  " + PathText(*path, *decoded.path, decoded.r);
  }
  if (decoded.mash_order) {
    path_line += (path_line.empty() ? "" : "  ") + std::string("MASH order  ") +
                 std::to_string(*decoded.mash_order);
  }
  if (!path_line.empty()) text += "\n" + path_line;
  text += "\nComparison " + OptionalFigure(decoded.comparison_khz) + " kHz  VCO " +
          OptionalFigure(decoded.vco_mhz) + " MHz  output " + OptionalFigure(decoded.output_mhz) + " MHz\n";
  for (const std::string& note : decoded.notes) text += "Note: " + note + "\n";
  return text;
}

}  // namespace synthfactors::formats
