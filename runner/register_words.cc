#include "register_words.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "number_text.h"
#include "register_layouts/layout_parts.h"

namespace synthfactors::runner {
namespace {

// The layouts, in name order.
constexpr std::array<const RegisterLayout*, 5> kLayouts = {
    &layouts::kAdf4106, &layouts::kAdf4351, &layouts::kAdf5356, &layouts::kLmx2594,
    &layouts::kMax2870};

std::uint32_t Mask(int width) { return width >= 32 ? 0xFFFFFFFFU : (1U << width) - 1; }

// A word in hexadecimal with all its digits but the leading zeros.
std::string WideHex(std::uint32_t word) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (int shift = 28; shift >= 0; shift -= 4) {
    const char digit = kHex[(word >> shift) & 0xF];
    if (text.empty() && digit == '0' && shift > 0) continue;
    text += digit;
  }
  return text;
}

// The band-select divider: the comparison frequency over the part's largest
// band-select clock, rounded up, within 1 ... the divider's largest value.
std::int64_t BandSelectDivider(const RegisterLayout& layout, double comparison_khz) {
  if (layout.band_select_max_khz <= 0) return 1;
  const double divider = std::ceil(comparison_khz / layout.band_select_max_khz);
  if (!(divider >= 1)) return 1;
  return static_cast<std::int64_t>(std::min<double>(divider, layout.band_select_max_divider));
}

// The value the run gives a field it sets: the layout's own fields first,
// then those every layout sets alike.
std::int64_t RunValue(const RegisterLayout& layout, std::string_view name, const RegisterRun& run) {
  if (const std::optional<std::int64_t> own = layout.run_value(name, run)) return *own;
  const std::int64_t band = BandSelectDivider(layout, run.comparison_khz);
  if (name == "r_counter") return run.r;
  if (name == "int") return run.n;
  if (name == "frac") return run.frac;
  if (name == "mod") return run.frac == 0 ? 2 : run.mod;
  if (name == "a_counter") return run.a;
  if (name == "b_counter") return run.b;
  if (name == "feedback_select") return run.feedback == FeedbackMode::kFundamental ? 1 : 0;
  if (name == "rf_divider_select") return layouts::Log2(run.output_divider);
  if (name == "band_select_clock_div") return band & 0xFF;
  if (name == "bs_msb") return band >> 8;
  if (name == "ref_doubler") return run.path.doubled ? 1 : 0;
  if (name == "ref_div2") return run.path.halved ? 1 : 0;
  return 0;
}

}  // namespace

const RegisterLayout* LayoutNamed(std::string_view name) {
  for (const RegisterLayout* layout : kLayouts) {
    if (layout->name == name) return layout;
  }
  return nullptr;
}

std::span<const RegisterLayout* const> Layouts() { return kLayouts; }

std::string LayoutNames() {
  std::string names;
  for (std::size_t i = 0; i < kLayouts.size(); ++i) {
    if (i > 0) names += i + 1 == kLayouts.size() ? " or " : ", ";
    names += kLayouts[i]->name;
  }
  return names;
}

std::string WordText(const RegisterLayout& layout, std::uint32_t word) {
  return WordText(layout.word_bits, word);
}

std::string WordText(int word_bits, std::uint32_t word) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (int shift = word_bits - 4; shift >= 0; shift -= 4) text += kHex[(word >> shift) & 0xF];
  return text;
}

std::string CheckOverride(const RegisterLayout& layout, std::string_view field,
                          std::int64_t value) {
  for (const RegisterField& f : layout.fields) {
    if (f.name != field) continue;
    if (f.source == FieldSource::kRun) return "is set by each run";
    if (f.source == FieldSource::kFixed) return "is a reserved field";
    if (value < 0 || value > std::int64_t{Mask(f.width)}) {
      return "must be a whole number from 0 to " + std::to_string(Mask(f.width)) + " (" +
             std::to_string(f.width) + " bits)";
    }
    return "";
  }
  return "is no field of the " + std::string(layout.name) + " layout";
}

std::optional<std::vector<RegisterWord>> ComposeWords(
    const RegisterLayout& layout, const RegisterRun& run,
    std::span<const std::pair<std::string, std::int64_t>> overrides, std::string& error) {
  std::vector<RegisterWord> words;
  for (const RegisterName& reg : layout.registers) {
    words.push_back({reg.name, reg.control << layout.address_lsb});
  }
  for (const RegisterField& field : layout.fields) {
    std::int64_t value = field.start;
    if (field.source == FieldSource::kRun) {
      value = RunValue(layout, field.name, run);
    } else if (field.source == FieldSource::kDefault) {
      for (const auto& [name, given] : overrides) {
        if (name == field.name) value = given;
      }
    }
    if (value < 0 || value > std::int64_t{Mask(field.width)}) {
      error = std::string(field.name) + " " + std::to_string(value) + " does not fit its " +
              std::to_string(field.width) + " bits in " +
              std::string(layout.registers[static_cast<std::size_t>(field.reg)].name);
      return std::nullopt;
    }
    words[static_cast<std::size_t>(field.reg)].word |=
        (static_cast<std::uint32_t>(value) & Mask(field.width)) << field.lsb;
  }
  return words;
}

std::vector<RegisterWord> PowerUpWrites(const RegisterLayout& layout,
                                        std::span<const RegisterWord> words) {
  if (layout.sequence == nullptr) return {words.begin(), words.end()};
  return layout.sequence(words);
}

namespace {

// The bits of a register's word that the power-up sequence changes.
std::uint32_t SequenceBits(const RegisterLayout& layout, std::size_t reg) {
  std::uint32_t bits = 0;
  for (const RegisterField& field : layout.fields) {
    if (static_cast<std::size_t>(field.reg) != reg) continue;
    for (const std::string_view name : layout.sequence_fields) {
      if (field.name == name) bits |= Mask(field.width) << field.lsb;
    }
  }
  return bits;
}

}  // namespace

DecodedWords DecodeWords(const RegisterLayout& layout, std::span<const std::uint32_t> given,
                         double ref_mhz) {
  DecodedWords out;
  const std::size_t count = layout.registers.size();
  std::vector<std::optional<std::uint32_t>> words(count);
  const std::uint32_t control_mask = Mask(layout.control_bits);
  for (const std::uint32_t given_word : given) {
    std::uint32_t word = given_word;
    if (layout.word_bits < 32 && (word >> layout.word_bits) != 0) {
      // The whole word in the note; its low bits read as the word.
      out.notes.push_back("0x" + WideHex(word) + " has more than " +
                          std::to_string(layout.word_bits) + " bits; its low " +
                          std::to_string(layout.word_bits) + " are read");
      word &= Mask(layout.word_bits);
    }
    const std::uint32_t control = (word >> layout.address_lsb) & control_mask;
    std::optional<std::size_t> which;
    for (std::size_t i = 0; i < count; ++i) {
      if (layout.registers[i].control == control) which = i;
    }
    for (const RegisterAlias& alias : layout.aliases) {
      if (alias.control == control) which = alias.register_index;
    }
    if (!which) {
      out.notes.push_back(WordText(layout, word) + " names no register (" +
                          (layout.address_lsb > 0 ? "address byte " : "control bits ") +
                          std::to_string(control) + ")");
      continue;
    }
    // A part written in a sequence (reset, then calibrate) takes one
    // register more than once; only a change outside the sequence's own
    // bits is a second setting. Elsewhere any repeat is one.
    const std::uint32_t sequenced = SequenceBits(layout, *which);
    const bool repeat_allowed = layout.sequence != nullptr && words[*which] &&
                                (*words[*which] & ~sequenced) == (word & ~sequenced);
    if (words[*which] && !repeat_allowed) {
      out.notes.push_back(std::string(layout.registers[*which].name) +
                          " is given twice; the last one counts");
    }
    words[*which] = word;
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (!words[i]) out.notes.push_back(std::string(layout.registers[i].name) + " is missing");
  }
  const FieldLookup value = [&](std::string_view name) -> std::optional<std::int64_t> {
    for (const auto& [field, v] : out.fields) {
      if (field == name) return v;
    }
    return std::nullopt;
  };
  for (const RegisterField& field : layout.fields) {
    const auto& word = words[static_cast<std::size_t>(field.reg)];
    if (!word) continue;
    const std::uint32_t v = (*word >> field.lsb) & Mask(field.width);
    if (field.source == FieldSource::kFixed) {
      if (v != field.start) {
        out.notes.push_back(std::string(field.name) + " in " +
                            std::string(layout.registers[static_cast<std::size_t>(field.reg)].name) +
                            " is " + std::to_string(v) + "; the part wants " +
                            std::to_string(field.start));
      }
      continue;
    }
    out.fields.emplace_back(std::string(field.name), v);
  }

  // The counters and the frequencies they set.
  out.r = value("r_counter");
  layout.read_counters(value, out);
  if (out.r && *out.r < 1) out.notes.push_back("R is 0");
  if (out.r && *out.r >= 1 && ref_mhz > 0) {
    double comparison_mhz = 0;
    if (out.path) {
      const PathSetting& p = *out.path;
      comparison_mhz = ref_mhz * (p.doubled ? 2.0 : 1.0) / static_cast<double>(p.pre) *
                       static_cast<double>(p.mult) /
                       (static_cast<double>(*out.r) * (p.halved ? 2.0 : 1.0));
    } else {
      const double doubler = value("ref_doubler").value_or(0) != 0 ? 2.0 : 1.0;
      const double half = value("ref_div2").value_or(0) != 0 ? 2.0 : 1.0;
      comparison_mhz = ref_mhz * doubler / (static_cast<double>(*out.r) * half);
    }
    out.comparison_khz = comparison_mhz * 1000;
    if (out.n) {
      double n = static_cast<double>(*out.n);
      if (!out.integer_mode && out.frac && out.mod && *out.mod > 0) {
        double fraction = static_cast<double>(*out.frac);
        if (out.frac2 && out.mod2 && *out.mod2 > 0) {
          fraction += static_cast<double>(*out.frac2) / static_cast<double>(*out.mod2);
        }
        n += fraction / static_cast<double>(*out.mod);
      }
      const double loop_mhz = n * comparison_mhz;
      const int divider = out.output_divider.value_or(1);
      const bool fundamental = out.feedback.value_or(FeedbackMode::kFundamental) == FeedbackMode::kFundamental;
      // With divided feedback the N divider counts the VCO over the part of
      // the divider inside the loop.
      out.vco_mhz = fundamental ? loop_mhz
                                : loop_mhz * std::min(divider, std::max(layout.feedback_divider_max, 1));
      out.output_mhz = *out.vco_mhz / divider;
      layout.check_loop(out, loop_mhz, out.notes);
    }
    if (layout.band_select_max_khz > 0) {
      std::int64_t band = value("band_select_clock_div").value_or(0);
      band |= value("bs_msb").value_or(0) << 8;
      if (band < 1) {
        out.notes.push_back("the band-select clock divider is 0");
      } else if (*out.comparison_khz / static_cast<double>(band) > layout.band_select_max_khz) {
        out.notes.push_back("the band-select clock " +
                            ShortestText(*out.comparison_khz / static_cast<double>(band)) +
                            " kHz is above the part's " + ShortestText(layout.band_select_max_khz) +
                            " kHz");
      }
    }
  }
  if (layout.check_words != nullptr) layout.check_words(value, out, ref_mhz, out.notes);
  return out;
}

}  // namespace synthfactors::runner
