// The lmx2594 and the adf5356: their words against the evaluation
// software's export and against words worked by hand, decimal channels
// checked exactly by a decoder of the test's own (written from the data
// sheets' bit positions, not from the program's layouts), the modulator's
// orders and every layout's bits.
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "chip_file.h"
#include "file_access.h"
#include "process.h"
#include "reference_path.h"
#include "register_file.h"
#include "register_words.h"
#include "run.h"

namespace synthfactors {
namespace {

__extension__ typedef __int128 Int128;
using runner::DecodeWords;
using runner::LayoutNamed;
using runner::RunInputs;
using runner::RunResult;

// R0 ... R112 of the LMX2594 as its evaluation software exports them for
// 491.52 MHz from 245.76 MHz (R 10, N 320, the VCO at 7864.32 MHz behind
// /16), as AMD/Xilinx ship the export in their RF clock driver's tables.
constexpr std::uint16_t kExport[113] = {
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

RunResult ChipRun(const char* chip, const std::string& rf, const std::string& ref,
                  const char* path = nullptr, std::optional<std::int64_t> order = std::nullopt) {
  RunInputs inputs;
  inputs.rf_out = rf;
  inputs.ref = ref;
  inputs.min_fc = "1";
  inputs.max_fc = "400000";
  inputs.chip = chip;
  std::string error;
  inputs.chip_profile = formats::LoadChip(chip, error);
  if (path != nullptr) {
    inputs.path_request = ReadPathText(*inputs.chip_profile->reference_path, path, error);
    inputs.ref_path = path;
  }
  inputs.mash_order = order;
  runner::PlanOptions plan;
  plan.registers = true;
  return runner::RunOnce(inputs, ".", plan);
}

// Each register's last word, by number.
std::map<int, std::uint32_t> LastWords(const RunResult& run) {
  std::map<int, std::uint32_t> words;
  for (const auto& [name, word] : run.registers.value_or(runner::NamedWords{})) {
    words[std::stoi(name.substr(1))] = static_cast<std::uint32_t>(std::stoul(word, nullptr, 16));
  }
  return words;
}

std::vector<std::uint32_t> Flat(const std::map<int, std::uint32_t>& words) {
  std::vector<std::uint32_t> flat;
  for (const auto& [number, word] : words) flat.push_back(word);
  return flat;
}

std::uint32_t Bits(std::uint32_t word, int high, int low) {
  return (word >> low) & ((1U << (high - low + 1)) - 1);
}

// The output of a set of words as a fraction, by the data sheets' bit
// positions: LMX2594 data, R9 bit 12 OSC_2X, R10 bits 11:7 MULT, R11 bits
// 11:4 PLL_R, R12 bits 11:0 PLL_R_PRE, R34 bits 2:0 and R36 N, R38/R39
// DEN, R42/R43 NUM, R45 bits 12:11 OUTA_MUX, R75 bits 10:6 CHDIV.
struct Fraction {
  Int128 num, den;  // MHz, with the reference read as ref_num / ref_den
};

Fraction Lmx2594Output(const std::map<int, std::uint32_t>& w, Int128 ref_num, Int128 ref_den) {
  const auto data = [&](int reg) { return w.at(reg) & 0xFFFF; };
  const Int128 doubler = Bits(data(9), 12, 12) ? 2 : 1;
  const Int128 mult = Bits(data(10), 11, 7);
  const Int128 r = Bits(data(11), 11, 4);
  const Int128 pre = Bits(data(12), 11, 0);
  const Int128 n = (Int128{Bits(data(34), 2, 0)} << 16) | data(36);
  const Int128 den = (Int128{data(38)} << 16) | data(39);
  const Int128 num = (Int128{data(42)} << 16) | data(43);
  constexpr int kDividers[] = {2, 4, 6, 8, 12, 16, 24, 32, 48, 64, 72, 96, 128, 192, 256, 384, 512, 768};
  const Int128 chdiv = Bits(data(45), 12, 11) == 1 ? 1 : kDividers[Bits(data(75), 10, 6)];
  return {ref_num * doubler * mult * (n * den + num), ref_den * pre * r * den * chdiv};
}

// ADF5356: R0 bits 19:4 INT, R1 bits 27:4 FRAC1 (over 2^24), FRAC2 and
// MOD2 in R2 bits 31:18 and 17:4 (low) and R13 (high), R4 bit 26 the
// doubler, bit 25 the divide-by-2, bits 24:15 R, R6 bits 23:21 the output
// divider's log2.
Fraction Adf5356Output(const std::map<int, std::uint32_t>& w, Int128 ref_num, Int128 ref_den) {
  const Int128 integer = Bits(w.at(0), 19, 4);
  const Int128 frac1 = Bits(w.at(1), 27, 4);
  const Int128 frac2 = (Int128{Bits(w.at(13), 31, 18)} << 14) | Bits(w.at(2), 31, 18);
  const Int128 mod2 = (Int128{Bits(w.at(13), 17, 4)} << 14) | Bits(w.at(2), 17, 4);
  const Int128 doubler = Bits(w.at(4), 26, 26) ? 2 : 1;
  const Int128 halver = Bits(w.at(4), 25, 25) ? 2 : 1;
  const Int128 r = Bits(w.at(4), 24, 15);
  const Int128 divider = Int128{1} << Bits(w.at(6), 23, 21);
  const Int128 mod1 = Int128{1} << 24;
  return {ref_num * doubler * ((integer * mod1 + frac1) * mod2 + frac2),
          ref_den * r * halver * mod1 * mod2 * divider};
}

TEST(MicrowaveChips, TheProgramsWordsForTheExportsSettingAreTheExport) {
  const RunResult run = ChipRun("lmx2594", "491.52", "245.76", "x1/1/x1/10");
  ASSERT_TRUE(run.registers) << run.message;
  const std::map<int, std::uint32_t> words = LastWords(run);
  ASSERT_EQ(113U, words.size());
  for (int reg = 0; reg < 113; ++reg) {
    SCOPED_TRACE("R" + std::to_string(reg));
    EXPECT_EQ(static_cast<std::uint32_t>(reg), words.at(reg) >> 16);
    // R14: the export runs the charge pump at 3 mA, the profile at 15 mA
    // (CPG bits 6:4, 4 and 7).
    const std::uint32_t expected = reg == 14 ? 0x1E70 : kExport[reg];
    EXPECT_EQ(expected, words.at(reg) & 0xFFFF);
  }
}

TEST(MicrowaveChips, TheDecoderReadsTheExport) {
  std::vector<std::uint32_t> words;
  for (int reg = 112; reg >= 0; --reg) words.push_back((static_cast<std::uint32_t>(reg) << 16) | kExport[reg]);
  const runner::DecodedWords d = DecodeWords(*LayoutNamed("lmx2594"), words, 245.76);
  EXPECT_EQ(10, d.r);
  EXPECT_EQ(320, d.n);
  EXPECT_EQ(16, d.output_divider);
  EXPECT_EQ(24576.0, d.comparison_khz);
  EXPECT_NEAR(7864.32, *d.vco_mhz, 1e-9);
  EXPECT_NEAR(491.52, *d.output_mhz, 1e-9);
  EXPECT_TRUE(d.notes.empty()) << d.notes.front();
}

// Worked by hand from the bit positions above.
TEST(MicrowaveChips, HandWorkedWords) {
  // 5000.0001 MHz from 122.88 MHz at R 1: 5000.0001 / 122.88 = 40 +
  // 282667/409600; x 2^24 = 11578040 + 8/25, so FRAC1 0xB0AAB8, FRAC2 8,
  // MOD2 25; the 4/5 prescaler (VCO below 6 GHz), AUTOCAL bit 21 set.
  const auto adf = LastWords(ChipRun("adf5356", "5000.0001", "122.88", "x1/1/1"));
  EXPECT_EQ(0x00200280U, adf.at(0));  // INT 40 << 4, AUTOCAL
  EXPECT_EQ(0x0B0AAB81U, adf.at(1));  // FRAC1 << 4
  EXPECT_EQ(0x00200192U, adf.at(2));  // FRAC2 8 << 18, MOD2 25 << 4
  EXPECT_EQ(0x0000000DU, adf.at(13));  // FRAC2 and MOD2 above 14 bits: 0
  EXPECT_EQ(1U, Bits(adf.at(4), 24, 15));
  // From 61.44 MHz the comparison is the same with R 1 or doubled with R
  // 2: FRAC1 stays, R4 gains the doubler (bit 26) and one more R (<< 15).
  const auto plain = LastWords(ChipRun("adf5356", "5000.0001", "61.44", "x1/1/1"));
  const auto doubled = LastWords(ChipRun("adf5356", "5000.0001", "61.44", "x2/2/1"));
  ASSERT_EQ(14U, plain.size());
  ASSERT_EQ(14U, doubled.size());
  EXPECT_EQ(plain.at(1), doubled.at(1));
  EXPECT_EQ(plain.at(4) + (1U << 26) + (1U << 15), doubled.at(4));
  // The doubler's input is at most 100 MHz: 122.88 MHz cannot be doubled.
  EXPECT_FALSE(ChipRun("adf5356", "5000.0001", "122.88", "x2/2/1").registers);

  // 10000.0001 MHz from 100 MHz: doubled, /5, x6 = 240 MHz; N 41 +
  // 1600001/2400000 in the first order.
  const RunResult lmx = ChipRun("lmx2594", "10000.0001", "100");
  EXPECT_EQ("x2/5/x6/1", lmx.reference_path);
  EXPECT_EQ(1, lmx.mash_order);
  const auto w = LastWords(lmx);
  EXPECT_EQ(0x091604U, w.at(9));   // OSC_2X bit 12 over the export's 0x0604
  EXPECT_EQ(0x0A1358U, w.at(10));  // MULT 6 << 7 over 0x10D8's other bits
  EXPECT_EQ(0x0B0018U, w.at(11));  // PLL_R 1 << 4, bits 3:0 8
  EXPECT_EQ(0x0C5005U, w.at(12));  // PLL_R_PRE 5
  EXPECT_EQ(0x220000U, w.at(34));  // N bits 18:16
  EXPECT_EQ(0x240029U, w.at(36));  // N 41
  EXPECT_EQ(0x260024U, w.at(38));  // DEN 2400000 = 0x249F00
  EXPECT_EQ(0x279F00U, w.at(39));
  EXPECT_EQ(0x2A0018U, w.at(42));  // NUM 1600001 = 0x186A01
  EXPECT_EQ(0x2B6A01U, w.at(43));
  EXPECT_EQ(0x2C1FA1U, w.at(44));  // MASH_ORDER 1 over 0x1FA0
}

// A channel of four decimals from a common reference lands exactly: the
// words, read back by the test's own decoder, give the wanted output as an
// exact fraction, and the program's decoder finds no broken rule.
TEST(MicrowaveChips, DecimalChannelsLandExactly) {
  struct Reference {
    const char* text;
    Int128 num, den;  // MHz
  };
  const Reference refs[] = {{"10", 10, 1},        {"25", 25, 1},         {"50", 50, 1},
                            {"61.44", 6144, 100}, {"100", 100, 1},       {"122.88", 12288, 100}};
  std::mt19937 random(20261210);
  int checked = 0;
  for (const char* chip : {"lmx2594", "adf5356"}) {
    const bool lmx = std::string(chip) == "lmx2594";
    for (const Reference& ref : refs) {
      for (int i = 0; i < 12; ++i) {
        // In tenths of a kHz (four decimals of MHz): lmx2594 from 40 MHz
        // (through /768 at the least) to 15 GHz, adf5356 from 60 MHz to
        // 6.8 GHz.
        const std::int64_t low = lmx ? 400000 : 600000, high = lmx ? 150000000 : 68000000;
        const std::int64_t tenths = std::uniform_int_distribution<std::int64_t>(low, high)(random);
        const std::string rf = std::to_string(tenths / 10000) + "." +
                               std::string(4 - std::to_string(tenths % 10000).size(), '0') +
                               std::to_string(tenths % 10000);
        SCOPED_TRACE(std::string(chip) + " " + rf + " MHz from " + ref.text);
        const RunResult run = ChipRun(chip, rf, ref.text);
        ASSERT_TRUE(run.registers) << run.message;
        EXPECT_EQ(true, run.exact);
        const auto words = LastWords(run);
        const Fraction out = lmx ? Lmx2594Output(words, ref.num, ref.den)
                                 : Adf5356Output(words, ref.num, ref.den);
        EXPECT_TRUE(out.num * 10000 == Int128{tenths} * out.den);
        // Inside the part's VCO range and comparison limit (the words' own
        // figures, read back).
        ASSERT_TRUE(run.vco_mhz && run.comparison_khz);
        EXPECT_GE(*run.vco_mhz, lmx ? 7500 : 3400);
        EXPECT_LE(*run.vco_mhz, lmx ? 15000 : 6800);
        EXPECT_LE(*run.comparison_khz, lmx ? (run.frac == 0 ? 400000 : 300000) : 125000);
        const runner::DecodedWords d =
            DecodeWords(*LayoutNamed(chip), Flat(words), std::stod(ref.text));
        // The one note: above 75 MHz the VCO calibrates at half the
        // comparison first, as the data sheet's sequence asks.
        const bool calibrate_halved = !lmx && *run.comparison_khz > 75000;
        EXPECT_EQ(calibrate_halved ? 1U : 0U, d.notes.size());
        if (calibrate_halved && !d.notes.empty()) {
          EXPECT_NE(std::string::npos, d.notes.front().find("calibrate with R doubled first"));
        }
        ++checked;
      }
    }
  }
  EXPECT_EQ(144, checked);
}

// Each order has its least N at the VCO and its comparison limit: the
// fourth order compares at most 240 MHz and wants N 48 above a 10 GHz VCO.
TEST(MicrowaveChips, TheModulatorsOrderKeepsItsLimits) {
  const RunResult fourth = ChipRun("lmx2594", "14000.0001", "250", nullptr, 4);
  ASSERT_TRUE(fourth.exact);
  EXPECT_EQ(4, fourth.mash_order);
  EXPECT_LE(*fourth.comparison_khz, 240000);
  EXPECT_GE(*fourth.n, 48);
  const RunResult first = ChipRun("lmx2594", "14000.0001", "250");
  EXPECT_EQ(1, first.mash_order);
  EXPECT_GE(*first.n, 36);
  const RunResult integer = ChipRun("lmx2594", "14000", "250");
  EXPECT_EQ(0, integer.mash_order);
  EXPECT_EQ(0, integer.frac);
}

TEST(RegisterFile, ALineIsAnOptionalNameAndAWord) {
  std::string error;
  EXPECT_EQ((std::vector<std::uint32_t>{0x700000, 0x241C, 0x5}),
            formats::WordsOfRegisterFile("R112\t0x700000\r\n# a comment\r\n\r\n  R0   241C \n0x5", error));
  EXPECT_FALSE(formats::WordsOfRegisterFile("R1\t0x010809\nR0\t0x0024XC\n", error));
  EXPECT_EQ("line 2 holds no word in hexadecimal: \"R0\\x090x0024XC\"", error);  // the tab shown
  EXPECT_FALSE(formats::WordsOfRegisterFile("\n# only a comment\n", error));
  EXPECT_EQ("it holds no word", error);
  EXPECT_FALSE(formats::WordsOfRegisterFile("R0 0x100000000", error));  // beyond 32 bits
}

child_process::ProcessResult Cli(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {SYNTHFACTORS_CLI_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return child_process::RunProcess(argv, "", {"LC_ALL=C"});
}

// The command line writes the export's file for the export's setting (its
// charge pump aside), and reads it back with --decode @FILE.
TEST(RegisterFile, WrittenByARunAndReadBackByTheDecoder) {
  const std::string path = ::testing::TempDir() + "lmx2594-registers.txt";
  const auto run = Cli({"--rf-out", "491.52", "--ref", "245.76", "--min-fc", "1", "--max-fc",
                        "400000", "--chip", "lmx2594", "--ref-path", "x1/1/x1/10", "--registers",
                        "--register-file", path});
  ASSERT_EQ(0, run.exit_code) << run.err;
  std::string expected;
  for (int reg = 112; reg >= 0; --reg) {
    const std::uint32_t word = (static_cast<std::uint32_t>(reg) << 16) | (reg == 14 ? 0x1E70 : kExport[reg]);
    std::string hex = "0x";
    for (int shift = 20; shift >= 0; shift -= 4) hex += "0123456789ABCDEF"[(word >> shift) & 0xF];
    expected += "R" + std::to_string(reg) + "\t" + hex + "\n";
  }
  EXPECT_EQ(expected, formats::ReadSmallFile(path, 1 << 20).text);
  const auto decoded = Cli({"--decode", "lmx2594", "--ref", "245.76", "@" + path});
  EXPECT_EQ(0, decoded.exit_code) << decoded.err;
  EXPECT_NE(std::string::npos,
            decoded.out.find("Comparison 24576 kHz  VCO 7864.32 MHz  output 491.52 MHz"));
  // No words, no file: a run without a setting leaves any earlier file.
  const auto none = Cli({"--rf-out", "491.52", "--ref", "245.76", "--min-fc", "1", "--max-fc", "2",
                         "--chip", "lmx2594", "--registers", "--register-file", path});
  EXPECT_EQ(1, none.exit_code);
  EXPECT_NE(std::string::npos, none.err.find("no register file written"));
  EXPECT_EQ(expected, formats::ReadSmallFile(path, 1 << 20).text);
  // A file that cannot be written is a failure, not a success.
  const auto unwritable = Cli({"--rf-out", "491.52", "--ref", "245.76", "--chip", "lmx2594",
                               "--registers", "--register-file", path + "/no/such/dir"});
  EXPECT_NE(0, unwritable.exit_code);
  EXPECT_NE(std::string::npos, unwritable.err.find("Cannot write"));
  const auto missing = Cli({"--decode", "lmx2594", "--ref", "245.76", "@" + path + ".none"});
  EXPECT_EQ(2, missing.exit_code);
  EXPECT_NE(std::string::npos, missing.err.find("register file"));
}

// The adf4351 keeps R alone unless asked: its doubler (inputs up to
// 30 MHz) and divide-by-2 are weighed with --ref-path auto, and the words
// (R2 bit 25 the doubler, bit 24 the divide-by-2, bits 23:14 R; R0 bits
// 30:15 INT and 14:3 FRAC; R1 bits 14:3 MOD) give the channel exactly.
TEST(ReferencePaths, TheOlderPartWeighsItsPathOnlyWhenAsked) {
  const auto plain = Cli({"--rf-out", "2400.001", "--ref", "10", "--min-fc", "1000", "--max-fc",
                          "32000", "--chip", "adf4351", "--json"});
  EXPECT_EQ(std::string::npos, plain.out.find("reference_path"));
  for (const char* path : {"auto", "x2/R/1", "x1/R/2"}) {
    SCOPED_TRACE(path);
    const RunResult run = ChipRun("adf4351", "2400.001", "10", path);
    ASSERT_TRUE(run.registers);
    ASSERT_TRUE(run.exact);
    const auto w = LastWords(run);
    const Int128 doubler = Bits(w.at(2), 25, 25) ? 2 : 1, halver = Bits(w.at(2), 24, 24) ? 2 : 1;
    const Int128 r = Bits(w.at(2), 23, 14), integer = Bits(w.at(0), 30, 15);
    const Int128 frac = Bits(w.at(0), 14, 3), mod = Bits(w.at(1), 14, 3);
    // 10 MHz x doubler / (R x halver) x (INT + FRAC/MOD) = 2400.001 MHz.
    EXPECT_TRUE(Int128{10} * doubler * (integer * mod + frac) * 1000 ==
                Int128{2400001} * r * halver * mod);
    if (std::string(path) != "auto") {
      EXPECT_EQ(std::string(path) == "x2/R/1", doubler == 2);
      EXPECT_EQ(std::string(path) == "x1/R/2", halver == 2);
    }
  }
  // The doubler takes at most 30 MHz.
  EXPECT_FALSE(ChipRun("adf4351", "2400.001", "40", "x2/R/1").registers);
}

// Every bit of every word is named once: by one field, or by the bits
// that name the register.
TEST(RegisterLayouts, EveryBitOfEveryWordBelongsToOneField) {
  for (const runner::RegisterLayout* layout : runner::Layouts()) {
    SCOPED_TRACE(std::string(layout->name));
    const std::uint32_t all =
        layout->word_bits == 32 ? 0xFFFFFFFFU : (1U << layout->word_bits) - 1;
    const std::uint32_t control = ((1U << layout->control_bits) - 1) << layout->address_lsb;
    std::vector<std::uint32_t> covered(layout->registers.size(), control);
    for (const runner::RegisterField& field : layout->fields) {
      const std::uint32_t mask =
          (field.width == 32 ? 0xFFFFFFFFU : (1U << field.width) - 1) << field.lsb;
      std::uint32_t& bits = covered.at(static_cast<std::size_t>(field.reg));
      EXPECT_EQ(0U, bits & mask) << field.name << " overlaps";
      EXPECT_EQ(0U, mask & ~all) << field.name << " lies beyond the word";
      bits |= mask;
    }
    for (std::size_t i = 0; i < covered.size(); ++i) {
      // A 24-bit word with an address byte: bit 23 is the write bit, 0.
      const std::uint32_t write_bit = layout->address_lsb > 0 ? 1U << 23 : 0;
      EXPECT_EQ(all, covered[i] | write_bit) << layout->registers[i].name;
    }
  }
}

}  // namespace
}  // namespace synthfactors
