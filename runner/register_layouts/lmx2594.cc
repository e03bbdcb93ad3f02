// The LMX2594's 113 registers: 24-bit words, an address byte (bit 23 0: a
// write) over 16 data bits, written after a reset from R112 down to R0,
// then R0 once more to calibrate the VCO.
//
// Sources: the LMX2594 data sheet (SNAS696): the programming sequence
// (RESET set and cleared in R0, R112 ... R0, 10 ms, R0 again with FCAL_EN),
// the field table (FCAL_HPFD_ADJ by 37.5, 75 and 100 MHz comparison,
// FCAL_LPFD_ADJ by 10, 5 and 2.5 MHz, CAL_CLK_DIV keeping the calibration
// clock at most 200 MHz, CHDIV's eighteen values with CHDIV_DIV2 above /2,
// OUTx_MUX), and its VCO-core table for the calibration's start values
// (VCO_SEL, VCO_CAPCTRL_STRT and VCO_DACISET_STRT interpolated across each
// core, VCO4 with 0 and 100 from 11900 to 12100 MHz); the register image TI's
// evaluation software exports (as shipped in AMD/Xilinx's RF clock driver,
// xrfclk LMX2594 tables) for every bit this layout does not name, which its
// words match bit for bit for the same setting; the field positions of the
// QuEL LMX2594 driver (quel_ic_config) and the pi-radio driver, which
// agree. One public driver sets FCAL_HPFD_ADJ at 100, 150 and 200 MHz,
// the LMX2820's steps; the data sheet's are followed. ACAL_CMP_DLY is the
// calibration clock over 10 MHz (at least 10), as the evaluation software
// writes it.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "layout_parts.h"

#include "number_text.h"

namespace synthfactors::runner::layouts {
namespace {

constexpr int kCount = 113;

// R0 ... R112 as the evaluation software exports them for a 491.52 MHz
// output from 245.76 MHz (R = 10, N = 320, /16): the bits this layout does
// not name keep these values.
constexpr std::array<std::uint16_t, kCount> kImage = {
    0x241C, 0x0809, 0x0500, 0x0642, 0x0C43, 0x00C8, 0xC802, 0x40B2, 0x2000, 0x0604,  // R0
    0x10D8, 0x00A8, 0x5001, 0x4000, 0x1E40, 0x064F, 0x0080, 0x0117, 0x0064, 0x27B7,  // R10
    0xC848, 0x0401, 0x0001, 0x007C, 0x071A, 0x0624, 0x0DB0, 0x0002, 0x0488, 0x318C,  // R20
    0x318C, 0x43EC, 0x0393, 0x1E21, 0x0000, 0x0004, 0x0140, 0x0104, 0x0000, 0x0001,  // R30
    0x0000, 0x0000, 0x0000, 0x0000, 0x1FA0, 0xC0DF, 0x07FC, 0x0300, 0x0300, 0x4180,  // R40
    0x0000, 0x0080, 0x0820, 0x0000, 0x0000, 0x0000, 0x0000, 0x0020, 0x8001, 0x0001,  // R50
    0x0000, 0x00A8, 0x0322, 0x0000, 0x1388, 0x0000, 0x01F4, 0x0000, 0x03E8, 0x0000,  // R60
    0xC350, 0x0081, 0x0001, 0x003F, 0x0000, 0x0940, 0x000C, 0x0000, 0x00E5, 0x0026,  // R70
    0x6666, 0x0000, 0x1E00, 0x0000, 0x0001, 0xD300, 0x0000, 0x0000, 0x0000, 0x0000,  // R80
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0888, 0x0200, 0x0000,  // R90
    0x0000, 0x0011, 0x3F80, 0x0000, 0x0000, 0x0021, 0x0000, 0x0000, 0x0000, 0x0000,  // R100
    0x0000, 0x0000, 0x0000};                                                         // R110

// The fields this layout names: register number, then as RegisterField.
struct Named {
  int number;
  std::string_view name;
  int lsb, width;
  std::uint32_t start;
  FieldSource source;
  std::string_view meaning;
};

constexpr auto kNamed = std::to_array<Named>({
    {0, "ramp_en", 15, 1, 0, S::kDefault, "0: off"},
    {0, "vco_phase_sync", 14, 1, 0, S::kDefault, "0: off"},
    {0, "out_mute", 9, 1, 0, S::kDefault, "0: off"},
    {0, "fcal_hpfd_adj", 7, 2, 0, S::kRun, "by the comparison: 37.5, 75, 100 MHz steps"},
    {0, "fcal_lpfd_adj", 5, 2, 0, S::kRun, "by the comparison: 10, 5, 2.5 MHz steps"},
    {0, "fcal_en", 3, 1, 1, S::kRun, "1: calibrate the VCO when R0 is written"},
    {0, "muxout_ld_sel", 2, 1, 1, S::kDefault, "1: lock detect on MUXout"},
    {0, "reset", 1, 1, 0, S::kRun, "0 (1 in the reset write)"},
    {0, "powerdown", 0, 1, 0, S::kDefault, "0: on"},
    {1, "cal_clk_div", 0, 3, 0, S::kRun, "the calibration clock at most 200 MHz"},
    {4, "acal_cmp_dly", 8, 8, 10, S::kRun, "the calibration clock over 10 MHz, at least 10"},
    {7, "out_force", 14, 1, 1, S::kDefault, "1"},
    {8, "vco_daciset_force", 14, 1, 0, S::kDefault, "0: off"},
    {8, "vco_capctrl_force", 11, 1, 0, S::kDefault, "0: off"},
    {9, "osc_2x", 12, 1, 0, S::kRun, "the reference path's doubler"},
    {10, "mult", 7, 5, 1, S::kRun, "the reference path's multiplier (1: bypassed)"},
    {11, "pll_r", 4, 8, 1, S::kRun, "R"},
    {12, "pll_r_pre", 0, 12, 1, S::kRun, "the reference path's pre-divider"},
    {14, "cpg", 4, 3, 7, S::kDefault, "7: 15 mA"},
    {16, "vco_daciset", 0, 9, 128, S::kDefault, "128"},
    {17, "vco_daciset_strt", 0, 9, 250, S::kRun, "the VCO core's start value at this VCO"},
    {19, "vco_capctrl", 0, 8, 183, S::kDefault, "183"},
    {20, "vco_sel", 11, 3, 7, S::kRun, "the VCO core of this VCO"},
    {20, "vco_sel_force", 10, 1, 0, S::kDefault, "0: off"},
    {31, "chdiv_div2", 14, 1, 0, S::kRun, "1 with a channel divider above /2"},
    {34, "pll_n_hi", 0, 3, 0, S::kRun, "N bits 18:16"},
    {36, "pll_n_lo", 0, 16, 0, S::kRun, "N bits 15:0"},
    {37, "mash_seed_en", 15, 1, 0, S::kDefault, "0: off"},
    {37, "pfd_dly_sel", 8, 6, 2, S::kRun, "by the MASH order and the VCO"},
    {38, "pll_den_hi", 0, 16, 0, S::kRun, "DEN bits 31:16"},
    {39, "pll_den_lo", 0, 16, 1, S::kRun, "DEN bits 15:0 (DEN 1 in integer mode)"},
    {40, "mash_seed_hi", 0, 16, 0, S::kDefault, "0"},
    {41, "mash_seed_lo", 0, 16, 0, S::kDefault, "0"},
    {42, "pll_num_hi", 0, 16, 0, S::kRun, "NUM bits 31:16"},
    {43, "pll_num_lo", 0, 16, 0, S::kRun, "NUM bits 15:0"},
    {44, "outa_pwr", 8, 6, 31, S::kDefault, "31"},
    {44, "outb_pd", 7, 1, 1, S::kDefault, "1: RFoutB off"},
    {44, "outa_pd", 6, 1, 0, S::kDefault, "0: RFoutA on"},
    {44, "mash_reset_n", 5, 1, 1, S::kDefault, "1: running"},
    {44, "mash_order", 0, 3, 0, S::kRun, "0 in integer mode, else the order"},
    {45, "outa_mux", 11, 2, 0, S::kRun, "0: the channel divider, 1: the VCO"},
    {45, "out_iset", 9, 2, 0, S::kDefault, "0"},
    {45, "outb_pwr", 0, 6, 31, S::kDefault, "31"},
    {46, "outb_mux", 0, 2, 0, S::kRun, "as RFoutA"},
    {58, "inpin_ignore", 15, 1, 1, S::kDefault, "1"},
    {58, "inpin_hyst", 14, 1, 0, S::kDefault, "0"},
    {58, "inpin_lvl", 12, 2, 0, S::kDefault, "0"},
    {58, "inpin_fmt", 9, 3, 0, S::kDefault, "0"},
    {59, "ld_type", 0, 1, 1, S::kDefault, "1: VCO calibration and Vtune lock detect"},
    {60, "ld_dly", 0, 16, 0, S::kDefault, "0"},
    {69, "mash_rst_count_hi", 0, 16, 0, S::kDefault, "0"},
    {70, "mash_rst_count_lo", 0, 16, 50000, S::kDefault, "50000"},
    {71, "sysref_div_pre", 5, 3, 4, S::kDefault, "4"},
    {71, "sysref_pulse", 4, 1, 0, S::kDefault, "0"},
    {71, "sysref_en", 3, 1, 0, S::kDefault, "0: off"},
    {71, "sysref_repeat", 2, 1, 0, S::kDefault, "0"},
    {72, "sysref_div", 0, 11, 1, S::kDefault, "1"},
    {73, "jesd_dac2_ctrl", 6, 6, 0, S::kDefault, "0"},
    {73, "jesd_dac1_ctrl", 0, 6, 63, S::kDefault, "63"},
    {74, "sysref_pulse_cnt", 12, 4, 0, S::kDefault, "0"},
    {74, "jesd_dac4_ctrl", 6, 6, 0, S::kDefault, "0"},
    {74, "jesd_dac3_ctrl", 0, 6, 0, S::kDefault, "0"},
    {75, "chdiv", 6, 5, 0, S::kRun, "the channel divider's code"},
    {78, "ramp_thresh_32", 11, 1, 0, S::kDefault, "0"},
    {78, "quick_recal_en", 9, 1, 0, S::kDefault, "0: off"},
    {78, "vco_capctrl_strt", 1, 8, 0, S::kRun, "the VCO core's start value at this VCO"},
});

// The channel divider's values by CHDIV code.
constexpr std::array<std::int32_t, 18> kChannelDividers = {
    2, 4, 6, 8, 12, 16, 24, 32, 48, 64, 72, 96, 128, 192, 256, 384, 512, 768};

// "R0" ... "R112" for the registers, "r0" ... "r112" for a register written
// whole, as the evaluation software exports it.
struct Names {
  char upper[kCount][5] = {};
  char lower[kCount][5] = {};
};
constexpr Names MakeNames() {
  Names names;
  for (int i = 0; i < kCount; ++i) {
    char digits[4] = {};
    int length = 0;
    for (int v = i;; v /= 10) {
      digits[length++] = static_cast<char>('0' + v % 10);
      if (v < 10) break;
    }
    names.upper[i][0] = 'R';
    names.lower[i][0] = 'r';
    for (int k = 0; k < length; ++k) {
      names.upper[i][k + 1] = digits[length - 1 - k];
      names.lower[i][k + 1] = digits[length - 1 - k];
    }
  }
  return names;
}
constexpr Names kNames = MakeNames();

// R112 ... R0, each named by its address.
constexpr std::array<RegisterName, kCount> MakeRegisters() {
  std::array<RegisterName, kCount> registers{};
  for (int i = 0; i < kCount; ++i) {
    const int number = kCount - 1 - i;
    registers[static_cast<std::size_t>(i)] = {std::string_view(kNames.upper[number]),
                                              static_cast<std::uint32_t>(number)};
  }
  return registers;
}
constexpr auto kRegisters = MakeRegisters();

// The index of register `number` in the write order.
constexpr int Index(int number) { return kCount - 1 - number; }

// Every field: the named ones, each register's remaining bits as reserved
// bits holding the image's values (a register with no named field is one
// field of 16 bits, written as the image holds it).
struct Table {
  std::array<RegisterField, 400> fields{};
  std::size_t count = 0;
};
constexpr Table MakeTable() {
  Table table;
  for (const Named& n : kNamed) {
    table.fields[table.count++] = {n.name, Index(n.number), n.lsb, n.width, n.start, n.source,
                                   n.meaning};
  }
  for (int number = 0; number < kCount; ++number) {
    std::uint32_t covered = 0;
    for (const Named& n : kNamed) {
      if (n.number == number) covered |= ((1U << n.width) - 1) << n.lsb;
    }
    const std::uint32_t image = kImage[static_cast<std::size_t>(number)];
    if (covered == 0) {
      table.fields[table.count++] = {std::string_view(kNames.lower[number]), Index(number), 0, 16,
                                     image, S::kDefault, "as the evaluation software writes it"};
      continue;
    }
    for (int bit = 0; bit < 16;) {
      if ((covered >> bit) & 1U) {
        ++bit;
        continue;
      }
      int width = 0;
      while (bit + width < 16 && !((covered >> (bit + width)) & 1U)) ++width;
      table.fields[table.count++] = {"reserved", Index(number), bit, width,
                                     (image >> bit) & ((1U << width) - 1), S::kFixed,
                                     "reserved: as the data sheet's map"};
      bit += width;
    }
  }
  return table;
}
constexpr Table kTable = MakeTable();

// The VCO cores: their ranges (MHz) and the calibration's start values at
// each end, interpolated between.
struct Core {
  double low, high;
  double capctrl_low, capctrl_high;
  double daciset_low, daciset_high;
};
constexpr std::array<Core, 7> kCores = {{{7500, 8600, 164, 12, 299, 240},
                                         {8600, 9800, 165, 16, 356, 247},
                                         {9800, 10800, 158, 19, 324, 224},
                                         {10800, 12000, 140, 0, 383, 244},
                                         {12000, 12900, 183, 36, 205, 146},
                                         {12900, 13900, 155, 6, 242, 163},
                                         {13900, 15000, 175, 19, 323, 244}}};

struct Assist {
  std::int64_t core = 7, capctrl = 183, daciset = 250;
};
Assist AssistAt(double vco_mhz) {
  if (vco_mhz >= 11900 && vco_mhz <= 12100) return {4, 0, 100};
  for (std::size_t i = 0; i < kCores.size(); ++i) {
    const Core& c = kCores[i];
    if (vco_mhz < c.low || (vco_mhz >= c.high && i + 1 < kCores.size())) continue;
    if (vco_mhz > c.high) break;
    const double t = (vco_mhz - c.low) / (c.high - c.low);
    return {static_cast<std::int64_t>(i + 1),
            static_cast<std::int64_t>(std::round(c.capctrl_low - (c.capctrl_low - c.capctrl_high) * t)),
            static_cast<std::int64_t>(std::round(c.daciset_low + (c.daciset_high - c.daciset_low) * t))};
  }
  return {};
}

std::int64_t HighPfdAdjust(double comparison_khz) {
  if (comparison_khz <= 37500) return 0;
  if (comparison_khz <= 75000) return 1;
  if (comparison_khz <= 100000) return 2;
  return 3;
}
std::int64_t LowPfdAdjust(double comparison_khz) {
  if (comparison_khz >= 10000) return 0;
  if (comparison_khz >= 5000) return 1;
  if (comparison_khz >= 2500) return 2;
  return 3;
}
std::int64_t CalibrationClockDivider(double ref_mhz) {
  std::int64_t divider = 0;
  while (divider < 3 && ref_mhz / static_cast<double>(1 << divider) > 200) ++divider;
  return divider;
}
std::int64_t CompareDelay(double ref_mhz) {
  const double clock = ref_mhz / static_cast<double>(1 << CalibrationClockDivider(ref_mhz));
  return std::clamp<std::int64_t>(static_cast<std::int64_t>(std::floor(clock / 10)), 10, 255);
}

std::optional<std::int64_t> RunValue(std::string_view field, const RegisterRun& run) {
  const bool divided = run.output_divider > 1;
  if (field == "fcal_hpfd_adj") return HighPfdAdjust(run.comparison_khz);
  if (field == "fcal_lpfd_adj") return LowPfdAdjust(run.comparison_khz);
  if (field == "fcal_en") return 1;
  if (field == "reset") return 0;
  if (field == "cal_clk_div") return CalibrationClockDivider(run.ref_mhz);
  if (field == "acal_cmp_dly") return CompareDelay(run.ref_mhz);
  if (field == "osc_2x") return run.path.doubled ? 1 : 0;
  if (field == "mult") return run.path.mult;
  if (field == "pll_r") return run.r;
  if (field == "pll_r_pre") return run.path.pre;
  if (field == "vco_sel") return AssistAt(run.vco_mhz).core;
  if (field == "vco_capctrl_strt") return AssistAt(run.vco_mhz).capctrl;
  if (field == "vco_daciset_strt") return AssistAt(run.vco_mhz).daciset;
  if (field == "chdiv_div2") return divided && run.output_divider > 2 ? 1 : 0;
  if (field == "pll_n_hi") return run.n >> 16;
  if (field == "pll_n_lo") return run.n & 0xFFFF;
  if (field == "pfd_dly_sel") return run.pfd_delay;
  const std::int64_t den = run.frac == 0 ? 1 : run.mod;
  if (field == "pll_den_hi") return den >> 16;
  if (field == "pll_den_lo") return den & 0xFFFF;
  if (field == "pll_num_hi") return run.frac >> 16;
  if (field == "pll_num_lo") return run.frac & 0xFFFF;
  if (field == "mash_order") return run.frac == 0 ? 0 : run.mash_order;
  if (field == "outa_mux" || field == "outb_mux") return divided ? 0 : 1;
  if (field == "chdiv") {
    if (!divided) return 0;
    const auto* at = std::find(kChannelDividers.begin(), kChannelDividers.end(), run.output_divider);
    return at == kChannelDividers.end() ? -1 : at - kChannelDividers.begin();
  }
  return std::nullopt;
}

void ReadCounters(const FieldLookup& value, DecodedWords& out) {
  const auto joined = [&](std::string_view high, std::string_view low, int shift)
      -> std::optional<std::int64_t> {
    const auto h = value(high), l = value(low);
    if (!h || !l) return std::nullopt;
    return (*h << shift) | *l;
  };
  out.r = value("pll_r");
  out.n = joined("pll_n_hi", "pll_n_lo", 16);
  out.mod = joined("pll_den_hi", "pll_den_lo", 16);
  out.frac = joined("pll_num_hi", "pll_num_lo", 16);
  out.mash_order = value("mash_order");
  out.integer_mode = out.mash_order.value_or(0) == 0 || out.frac.value_or(0) == 0;
  if (out.mash_order && *out.mash_order > 4) {
    out.notes.push_back("MASH_ORDER " + std::to_string(*out.mash_order) + " is no order of the part's (0 ... 4)");
  }
  if (!out.integer_mode && out.mod && *out.mod == 0) out.notes.push_back("DEN is 0");
  if (!out.integer_mode && out.mod && out.frac && *out.mod > 0 && *out.frac >= *out.mod) {
    out.notes.push_back("NUM " + std::to_string(*out.frac) + " is not below DEN " +
                        std::to_string(*out.mod));
  }
  out.feedback = FeedbackMode::kFundamental;
  const std::int64_t mux = value("outa_mux").value_or(0);
  if (mux == 1) {
    out.output_divider = 1;
  } else if (mux == 0) {
    const std::int64_t code = value("chdiv").value_or(0);
    if (code < static_cast<std::int64_t>(kChannelDividers.size())) {
      out.output_divider = kChannelDividers[static_cast<std::size_t>(code)];
    } else {
      out.notes.push_back("CHDIV " + std::to_string(code) + " is no channel divider of the part's (0 ... 17)");
    }
  } else {
    out.notes.push_back("OUTA_MUX " + std::to_string(mux) + ": RFoutA carries neither the VCO nor the channel divider");
  }
  PathSetting path;
  path.doubled = value("osc_2x").value_or(0) != 0;
  path.pre = value("pll_r_pre").value_or(1);
  path.mult = value("mult").value_or(1);
  bool sound = true;
  if (path.pre < 1) {
    out.notes.push_back("PLL_R_PRE is 0");
    sound = false;
  }
  if (path.mult != 1 && (path.mult < 3 || path.mult > 7)) {
    out.notes.push_back("MULT " + std::to_string(path.mult) + " is no multiplier setting of the part's (1: bypassed, 3 ... 7)");
    sound = false;
  }
  if (sound) out.path = path;
}

void CheckLoop(const DecodedWords&, double, std::vector<std::string>&) {}

// The settings the data sheet asks of the calibration and the channel
// divider for the decoded comparison, reference and divider.
void CheckWords(const FieldLookup& value, const DecodedWords& decoded, double ref_mhz,
                std::vector<std::string>& notes) {
  const auto expect = [&](std::string_view field, std::int64_t wanted, const std::string& why) {
    const auto given = value(field);
    if (given && *given != wanted) {
      notes.push_back(std::string(field) + " is " + std::to_string(*given) + "; " + why + " asks " +
                      std::to_string(wanted));
    }
  };
  if (decoded.comparison_khz) {
    const std::string at = "a comparison of " + FigureText(*decoded.comparison_khz) + " kHz";
    expect("fcal_hpfd_adj", HighPfdAdjust(*decoded.comparison_khz), at);
    expect("fcal_lpfd_adj", LowPfdAdjust(*decoded.comparison_khz), at);
  }
  if (ref_mhz > 0) {
    const auto given = value("cal_clk_div");
    if (given && ref_mhz / static_cast<double>(1 << std::min<std::int64_t>(*given, 3)) > 200) {
      notes.push_back("cal_clk_div " + std::to_string(*given) + " leaves the calibration clock at " +
                      FigureText(ref_mhz / static_cast<double>(1 << std::min<std::int64_t>(*given, 3))) +
                      " MHz, above 200 MHz");
    }
  }
  if (value("outa_mux").value_or(0) == 0 && decoded.output_divider) {
    expect("chdiv_div2", *decoded.output_divider > 2 ? 1 : 0,
           "a channel divider of /" + std::to_string(*decoded.output_divider));
  }
}

// The power-up writes: RESET set and cleared in R0 (calibration off), every
// register from R112 down to R0, and R0 once more.
std::vector<RegisterWord> Sequence(std::span<const RegisterWord> words) {
  const RegisterWord& r0 = words.back();  // R0 comes last in write order
  constexpr std::uint32_t kReset = 1U << 1, kCalibrate = 1U << 3;
  std::vector<RegisterWord> writes;
  writes.reserve(words.size() + 3);
  writes.push_back({r0.name, (r0.word & ~kCalibrate) | kReset});
  writes.push_back({r0.name, r0.word & ~kCalibrate & ~kReset});
  writes.insert(writes.end(), words.begin(), words.end());
  writes.push_back(r0);
  return writes;
}

constexpr std::array<std::string_view, 2> kSequenceFields = {"reset", "fcal_en"};

}  // namespace

const RegisterLayout kLmx2594 = {
    .name = "lmx2594",
    .word_bits = 24,
    .control_bits = 8,
    .registers = kRegisters,
    .fields = std::span<const RegisterField>(kTable.fields.data(), kTable.count),
    .band_select_max_khz = 0,
    .band_select_max_divider = 1,
    .feedback_divider_max = 0,
    .aliases = {},
    .power_up = "write R0 with RESET set, then cleared; R112, R111, ... R0 in that order; wait 10 ms and write R0 again: its FCAL_EN starts the VCO calibration",
    .run_value = &RunValue,
    .read_counters = &ReadCounters,
    .check_loop = &CheckLoop,
    .address_lsb = 16,
    .sequence = &Sequence,
    .sequence_fields = kSequenceFields,
    .check_words = &CheckWords};

}  // namespace synthfactors::runner::layouts
