// A plan's channels kept small: each channel's figures in a fixed record of
// plain numbers (about half of runner::ChannelFigures), and the register
// words as 32-bit numbers in one array, their names and width kept once for
// the plan. What is read back is the figures the run left, the same field
// for field, so the table, its copy and the export show the run's texts.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "run_types.h"

namespace synthfactors::planner {

class StoredChannels {
 public:
  // Room for `channels`, with a loop summary each where `loops`.
  void Resize(std::size_t channels, bool loops);
  std::size_t size() const { return records_.size(); }

  // Keeps a channel's figures; safe from several threads for distinct
  // channels.
  void Store(std::size_t channel, const runner::ChannelFigures& f);
  // The figures as stored, written into `f`.
  void Read(std::size_t channel, runner::ChannelFigures& f) const;

  // Cheap reads of what every row needs.
  bool HasSetting(std::size_t channel) const;
  bool HasFault(std::size_t channel) const;

  // The bytes the records and words hold (for the documentation's figures
  // and the tests).
  std::size_t Bytes() const;

 private:
  struct Record {
    std::uint32_t present = 0;  // a bit per optional field (kHas... in the .cc)
    std::uint8_t exact = 0, fault = 0, feedback = 0, mode = 0;
    bool no_setting = false;
    double r = 0, n = 0, comparison_khz = 0, error_hz = 0, error_ppb = 0, phase_noise = 0,
           vco_mhz = 0, spur_offset_khz = 0;
    std::int64_t frac = 0, mod = 0, mash_order = 0, frac1 = 0, frac2 = 0, mod2 = 0, b = 0, a = 0;
    std::int32_t prescaler = 0, output_divider = 0;
    std::string rf_source, reference_path;
  };

  bool StoreWords(std::size_t channel, const runner::NamedWords& words);

  std::vector<Record> records_;
  std::vector<runner::LoopSummary> loops_;  // with a loop: one a channel
  // Register words: the plan's names and hex digits once, each channel's
  // words in a row of `word_count` numbers (-1 before the first words).
  struct Words {
    std::atomic<int> word_count{-1};
    std::vector<std::string> names;
    int digits = 8;
    std::vector<std::uint32_t> words;
    // Words that do not fit that pattern (none are expected), kept whole.
    std::unordered_map<std::size_t, runner::NamedWords> odd;
    mutable std::mutex mutex;  // guards the first words and `odd`
  };
  std::unique_ptr<Words> words_ = std::make_unique<Words>();
};

}  // namespace synthfactors::planner
