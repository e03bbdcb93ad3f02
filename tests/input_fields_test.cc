#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "chip_file.h"
#include "decoded_words.h"
#include "input_fields.h"

namespace synthfactors {
namespace {

using runner::Input;
using runner::InputTexts;
using runner::Naming;
using runner::ReadSettings;

// The faults of a reading, one "input: message" a line; "" when it passes.
std::string Faults(const InputTexts& texts, ReadSettings settings = {}) {
  if (!settings.load_chip) settings.load_chip = formats::LoadChip;
  const auto read = runner::ReadInputs(texts, settings);
  const auto* faults = std::get_if<std::vector<runner::InputFault>>(&read);
  if (faults == nullptr) return "";
  std::string all;
  for (const runner::InputFault& fault : *faults) {
    all += std::string(runner::FieldOf(fault.input).key) + ": " + fault.message + "\n";
  }
  return all;
}

TEST(ReadInputs, NothingGivenIsTheWindowsStartTexts) {
  const auto read = runner::ReadInputs(InputTexts{}, ReadSettings{});
  const auto& checked = std::get<runner::CheckedInputs>(read);
  EXPECT_EQ("", checked.inputs.rf_out);
  EXPECT_EQ("1", checked.inputs.mult);
  EXPECT_EQ("10", checked.inputs.ref);
  EXPECT_EQ("5", checked.inputs.min_fc);
  EXPECT_EQ("100", checked.inputs.max_fc);
  EXPECT_FALSE(checked.plan.fom);
  EXPECT_EQ(0, checked.plan.alternatives);
}

TEST(ReadInputs, EveryFaultAtOnceInTableOrderNamedAsTheFaceNamesIt) {
  InputTexts texts;
  texts[Input::kFom] = "x";
  texts[Input::kRRange] = "5:1";
  texts[Input::kPrescaler] = "0";
  texts[Input::kMult] = std::string("4\0x", 3);
  EXPECT_EQ("mult: --mult holds a NUL character, which no value has\n"
            "r_range: --r-range takes MIN:MAX, two whole numbers from 1 to 1000000 with MIN not "
            "above MAX: \"5:1\" is not\n"
            "fom: --fom takes the PLL's figure of merit in dBc/Hz as a decimal number such as "
            "-220, not \"x\"\n"
            "prescaler: --prescaler takes the prescaler P of P/P+1, a whole number such as 16, "
            "not \"0\"\n",
            Faults(texts));
  ReadSettings by_key;
  by_key.naming = Naming::kKey;
  texts = {};
  texts[Input::kAlternatives] = "1001";
  EXPECT_EQ("alternatives: alternatives takes a whole number from 1 to 1000, not \"1001\"\n",
            Faults(texts, by_key));
}

TEST(ReadInputs, OptionsThatNeedAnotherOrAChip) {
  const auto one = [](Input input, const char* text, const char* chip = nullptr) {
    InputTexts texts;
    texts[input] = text;
    if (chip != nullptr) texts[Input::kChip] = chip;
    return Faults(texts);
  };
  EXPECT_EQ("flicker: --flicker needs a figure of merit (--fom, or a chip profile that has one)\n",
            one(Input::kFlicker, "-260"));
  EXPECT_EQ("offset: --offset needs a flicker figure (--flicker, or a chip profile that has one)\n",
            one(Input::kOffset, "1000"));
  EXPECT_EQ("fom: --fom must be from -250 to -150 dBc/Hz, not -4000\n", one(Input::kFom, "-4000"));
  InputTexts noise;
  noise[Input::kFom] = "-221";
  noise[Input::kFlicker] = "-260";
  noise[Input::kOffset] = "1e12";  // read as its digits are
  EXPECT_EQ("", Faults(noise));
  EXPECT_EQ("feedback: --feedback needs a chip with an output divider (--chip)\n",
            one(Input::kFeedback, "divided", "adf4106"));
  EXPECT_EQ("feedback: --feedback takes fundamental or divided, not \"both\"\n",
            one(Input::kFeedback, "both", "adf4351-int"));
  EXPECT_EQ("", one(Input::kFeedback, "divided", "adf4351-int"));
  InputTexts words;
  words.Flag(Input::kRegisters) = true;
  EXPECT_EQ("registers: --registers needs a chip whose profile names its register_map (--chip)\n",
            Faults(words));
  words.Flag(Input::kRegisters) = false;  // off needs nothing
  EXPECT_EQ("", Faults(words));
  EXPECT_EQ("spur_clear: --spur-clear needs a fractional-N chip (--chip, such as adf4351 or "
            "max2870)\n",
            one(Input::kSpurClear, "100", "adf4351-int"));
  EXPECT_EQ("tolerance: --tolerance must not be below 0, not -1\n",
            one(Input::kTolerance, "-1", "adf4351"));
}

TEST(ReadInputs, TheStrictReadingRefusesWhatTheCalculationCannotUse) {
  ReadSettings strict;
  strict.reading = runner::Reading::kStrict;
  strict.naming = Naming::kNone;
  strict.decimal_symbol = ",";
  InputTexts texts;
  texts[Input::kMult] = "0";
  texts[Input::kRef] = " 10,5 ";
  texts[Input::kMinFc] = "50";
  texts[Input::kMaxFc] = "5";
  texts[Input::kFom] = "10MHz";
  EXPECT_EQ("mult: must not be 0\n"
            "max_fc: must not be below the lowest comparison frequency\n"
            "fom: \"10MHz\" is not a number; write one decimal number, such as 10,5\n",
            Faults(texts, strict));
  texts[Input::kMult] = "4";
  texts[Input::kMaxFc] = "100";
  texts[Input::kFom] = "-220";
  const auto read = runner::ReadInputs(texts, strict);
  const auto& checked = std::get<runner::CheckedInputs>(read);
  EXPECT_EQ("10.5", checked.inputs.ref);  // the point written "." for the runner
  EXPECT_EQ(-220, checked.plan.fom);
  // Unnamed, a fault that needs a chip names none: "(such as ...)", not
  // "(, such as ...)".
  for (const Input input : {Input::kTolerance, Input::kRefPath, Input::kMashOrder}) {
    InputTexts chipless = texts;
    chipless[input] = input == Input::kRefPath ? "auto" : "1";
    const std::string fault = Faults(chipless, strict);
    EXPECT_NE(std::string::npos, fault.find(" (such as ")) << fault;
    EXPECT_EQ(std::string::npos, fault.find("(,")) << fault;
  }
}

TEST(DecodedWords, WordTextsInHexadecimal) {
  EXPECT_EQ(0x00580005U, formats::ParseWord("0x00580005"));
  EXPECT_EQ(0x580005U, formats::ParseWord("580005"));
  EXPECT_EQ(0xFFFFFFFFU, formats::ParseWord("0XFFFFFFFF"));
  EXPECT_FALSE(formats::ParseWord(""));
  EXPECT_FALSE(formats::ParseWord("0x"));
  EXPECT_FALSE(formats::ParseWord("0x123456789"));  // more than 32 bits
  EXPECT_FALSE(formats::ParseWord("12 34"));
  EXPECT_FALSE(formats::ParseWord("-1"));
}

}  // namespace
}  // namespace synthfactors
