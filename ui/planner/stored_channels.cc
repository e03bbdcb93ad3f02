#include "stored_channels.h"

#include <limits>
#include <optional>

#include "decoded_words.h"
#include "register_words.h"

namespace synthfactors::planner {
namespace {

// Which optional fields a record holds.
enum : std::uint32_t {
  kHasRfSource = 1U << 0, kHasR = 1U << 1, kHasN = 1U << 2, kHasComparison = 1U << 3,
  kHasErrorHz = 1U << 4, kHasErrorPpb = 1U << 5, kHasPhaseNoise = 1U << 6,
  kHasPrescaler = 1U << 7, kHasCounts = 1U << 8, kHasOutputDivider = 1U << 9,
  kHasVco = 1U << 10, kHasFrac = 1U << 11, kHasMod = 1U << 12, kHasSpur = 1U << 13,
  kHasPath = 1U << 14, kHasMashOrder = 1U << 15, kHasFrac1 = 1U << 16, kHasFrac2 = 1U << 17,
  kHasMod2 = 1U << 18, kHasLoop = 1U << 19, kHasWords = 1U << 20,
};

template <typename T, typename U>
void Put(const std::optional<T>& from, U& to, std::uint32_t bit, std::uint32_t& present) {
  if (!from) return;
  to = static_cast<U>(*from);
  present |= bit;
}

template <typename T, typename U>
void Get(std::optional<T>& to, const U& from, std::uint32_t bit, std::uint32_t present) {
  if (present & bit) {
    to = static_cast<T>(from);
  } else {
    to.reset();
  }
}

// An enum's value + 1, 0 for none.
template <typename E>
std::uint8_t Code(const std::optional<E>& value) {
  return value ? static_cast<std::uint8_t>(static_cast<int>(*value) + 1) : 0;
}
template <typename E>
std::optional<E> Decode(std::uint8_t code) {
  if (code == 0) return std::nullopt;
  return static_cast<E>(code - 1);
}

// A word's text read back: the number and its hex digits, by the reader
// the decoder uses; none where the text is no "0x" word.
std::optional<std::pair<std::uint32_t, int>> WordOf(const std::string& text) {
  if (!text.starts_with("0x")) return std::nullopt;
  const std::optional<std::uint32_t> word = formats::ParseWord(text);
  if (!word) return std::nullopt;
  return std::pair(*word, static_cast<int>(text.size() - 2));
}

}  // namespace

void StoredChannels::Resize(std::size_t channels, bool loops) {
  records_.assign(channels, Record{});
  loops_.assign(loops ? channels : 0, runner::LoopSummary{});
  words_ = std::make_unique<Words>();
}

bool StoredChannels::StoreWords(std::size_t channel, const runner::NamedWords& words) {
  Words& w = *words_;
  int count = w.word_count.load(std::memory_order_acquire);
  if (count < 0) {
    const std::lock_guard lock(w.mutex);
    count = w.word_count.load(std::memory_order_relaxed);
    if (count < 0) {
      const auto first = words.empty() ? std::nullopt : WordOf(words.front().second);
      w.digits = first ? first->second : 8;
      for (const auto& [name, text] : words) w.names.push_back(name);
      w.words.assign(records_.size() * words.size(), 0);
      count = static_cast<int>(words.size());
      w.word_count.store(count, std::memory_order_release);
    }
  }
  if (static_cast<std::size_t>(count) != words.size()) return false;
  const std::size_t row = channel * words.size();
  for (std::size_t i = 0; i < words.size(); ++i) {
    const auto word = WordOf(words[i].second);
    // Kept as a number only where it reads back as the very same text.
    if (!word || word->second != w.digits || words[i].first != w.names[i] ||
        runner::WordText(4 * w.digits, word->first) != words[i].second) {
      return false;
    }
    w.words[row + i] = word->first;
  }
  return true;
}

void StoredChannels::Store(std::size_t channel, const runner::ChannelFigures& f) {
  Record& r = records_[channel];
  r = Record{};
  Put(f.rf_source, r.rf_source, kHasRfSource, r.present);
  Put(f.r, r.r, kHasR, r.present);
  Put(f.n, r.n, kHasN, r.present);
  Put(f.comparison_khz, r.comparison_khz, kHasComparison, r.present);
  Put(f.error_hz, r.error_hz, kHasErrorHz, r.present);
  Put(f.error_ppb, r.error_ppb, kHasErrorPpb, r.present);
  r.exact = f.exact ? (*f.exact ? 2 : 1) : 0;
  r.fault = Code(f.fault);
  r.no_setting = f.no_setting;
  Put(f.phase_noise, r.phase_noise, kHasPhaseNoise, r.present);
  Put(f.prescaler, r.prescaler, kHasPrescaler, r.present);
  if (f.counts) {
    r.b = f.counts->B;
    r.a = f.counts->A;
    r.present |= kHasCounts;
  }
  Put(f.output_divider, r.output_divider, kHasOutputDivider, r.present);
  r.feedback = Code(f.feedback);
  Put(f.vco_mhz, r.vco_mhz, kHasVco, r.present);
  r.mode = Code(f.mode);
  Put(f.frac, r.frac, kHasFrac, r.present);
  Put(f.mod, r.mod, kHasMod, r.present);
  Put(f.spur_offset_khz, r.spur_offset_khz, kHasSpur, r.present);
  Put(f.reference_path, r.reference_path, kHasPath, r.present);
  Put(f.mash_order, r.mash_order, kHasMashOrder, r.present);
  Put(f.frac1, r.frac1, kHasFrac1, r.present);
  Put(f.frac2, r.frac2, kHasFrac2, r.present);
  Put(f.mod2, r.mod2, kHasMod2, r.present);
  if (f.loop && !loops_.empty()) {  // sized by Resize for a plan with a loop
    loops_[channel] = *f.loop;
    r.present |= kHasLoop;
  }
  if (f.registers) {
    r.present |= kHasWords;
    if (!StoreWords(channel, *f.registers)) {
      const std::lock_guard lock(words_->mutex);
      words_->odd[channel] = *f.registers;
    }
  }
}

void StoredChannels::Read(std::size_t channel, runner::ChannelFigures& f) const {
  const Record& r = records_[channel];
  Get(f.rf_source, r.rf_source, kHasRfSource, r.present);
  Get(f.r, r.r, kHasR, r.present);
  Get(f.n, r.n, kHasN, r.present);
  Get(f.comparison_khz, r.comparison_khz, kHasComparison, r.present);
  Get(f.error_hz, r.error_hz, kHasErrorHz, r.present);
  Get(f.error_ppb, r.error_ppb, kHasErrorPpb, r.present);
  f.exact = r.exact == 0 ? std::nullopt : std::optional<bool>(r.exact == 2);
  f.fault = Decode<FaultKind>(r.fault);
  f.no_setting = r.no_setting;
  Get(f.phase_noise, r.phase_noise, kHasPhaseNoise, r.present);
  Get(f.prescaler, r.prescaler, kHasPrescaler, r.present);
  if (r.present & kHasCounts) {
    f.counts = PrescalerCounts{r.b, r.a};
  } else {
    f.counts.reset();
  }
  Get(f.output_divider, r.output_divider, kHasOutputDivider, r.present);
  f.feedback = Decode<runner::FeedbackMode>(r.feedback);
  Get(f.vco_mhz, r.vco_mhz, kHasVco, r.present);
  f.mode = Decode<runner::SettingMode>(r.mode);
  Get(f.frac, r.frac, kHasFrac, r.present);
  Get(f.mod, r.mod, kHasMod, r.present);
  Get(f.spur_offset_khz, r.spur_offset_khz, kHasSpur, r.present);
  Get(f.reference_path, r.reference_path, kHasPath, r.present);
  Get(f.mash_order, r.mash_order, kHasMashOrder, r.present);
  Get(f.frac1, r.frac1, kHasFrac1, r.present);
  Get(f.frac2, r.frac2, kHasFrac2, r.present);
  Get(f.mod2, r.mod2, kHasMod2, r.present);
  if (r.present & kHasLoop) {
    f.loop = loops_[channel];
  } else {
    f.loop.reset();
  }
  f.registers.reset();
  if (r.present & kHasWords) {
    const Words& w = *words_;
    {
      const std::lock_guard lock(w.mutex);
      if (const auto odd = w.odd.find(channel); odd != w.odd.end()) {
        f.registers = odd->second;
        return;
      }
    }
    runner::NamedWords named;
    const std::size_t count = w.names.size();
    named.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      named.emplace_back(w.names[i], runner::WordText(4 * w.digits, w.words[channel * count + i]));
    }
    f.registers = std::move(named);
  }
}

bool StoredChannels::HasSetting(std::size_t channel) const {
  return records_[channel].fault == 0 && !records_[channel].no_setting;
}

bool StoredChannels::HasFault(std::size_t channel) const { return records_[channel].fault != 0; }

std::size_t StoredChannels::Bytes() const {
  std::size_t bytes = records_.capacity() * sizeof(Record) +
                      loops_.capacity() * sizeof(runner::LoopSummary) +
                      words_->words.capacity() * sizeof(std::uint32_t);
  for (const Record& r : records_) {
    if (r.rf_source.capacity() > 15) bytes += r.rf_source.capacity() + 1;
    if (r.reference_path.capacity() > 15) bytes += r.reference_path.capacity() + 1;
  }
  return bytes;
}

}  // namespace synthfactors::planner
