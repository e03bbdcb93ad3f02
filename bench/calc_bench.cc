// Benchmarks of the calculation and the command line's sweep.
#include <cmath>
#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>

#include <benchmark/benchmark.h>

#include "checked_arithmetic.h"
#include "chip_file.h"
#include "common_r.h"
#include "divider_search.h"
#include "input_fields.h"
#include "memory_boxes.h"
#include "numeric_text.h"
#include "plan_options.h"
#include "planning.h"
#include "rounded_log.h"
#include "run.h"
#include "sweep_writer.h"

namespace synthfactors {
namespace {

// The worst case: all 1,000,000 candidates admitted, no exact match.
constexpr double kWorstSource = 3141592.653589793;
constexpr double kWorstReference = 1e9;

void BM_SearchWorstCase(benchmark::State& state) {
  SearchState s;
  for (auto _ : state) {
    s.SrcFreq = kWorstSource;
    s.RefFreq = kWorstReference;
    benchmark::DoNotOptimize(RunDividerSearch(s, "0", "1e15"));
  }
  state.counters["candidates"] = s.RTrial;
}
BENCHMARK(BM_SearchWorstCase)->Unit(benchmark::kMillisecond);

// The worst case within a plain N range, and within the same range counted
// by a dual-modulus prescaler (8/9, A 0 ... 63, B 3 ... 8191), whose N it
// cannot form are passed over one at a time.
SearchBounds WorstCaseRange(bool dual_modulus) {
  SearchBounds bounds = SearchBounds::Ranges(1, kLastRTrial, 24, 8 * 8191 + 63);
  if (dual_modulus) bounds.Dual = DualModulus{8, 0, 63, 3, 8191};
  return bounds;
}

void BM_SearchWorstCaseCounters(benchmark::State& state) {
  const SearchBounds bounds = WorstCaseRange(state.range(0) != 0);
  SearchState s;
  for (auto _ : state) {
    s.SrcFreq = kWorstSource;
    s.RefFreq = kWorstReference;
    benchmark::DoNotOptimize(RunDividerSearch(s, "0", "1e15", bounds));
  }
  state.SetLabel(state.range(0) != 0 ? "dual-modulus 8/9" : "plain N range");
}
BENCHMARK(BM_SearchWorstCaseCounters)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The worst case with each kernel the processor has.
void BM_SearchKernel(benchmark::State& state, SearchKernel kernel) {
  SearchState s;
  for (auto _ : state) {
    s.SrcFreq = kWorstSource;
    s.RefFreq = kWorstReference;
    benchmark::DoNotOptimize(RunDividerSearch(s, "0", "1e15", SearchBounds{}, kernel));
  }
}

// The worst case one checked operation at a time, the state written at
// every step: what the search would cost without its fast paths.
void BM_SearchCheckedOnly(benchmark::State& state) {
  SearchState s;
  for (auto _ : state) {
    s.SrcFreq = kWorstSource;
    s.RefFreq = kWorstReference;
    benchmark::DoNotOptimize(s);
    s.BestDiff = 99999999;
    for (std::int32_t r = 1; r <= kLastRTrial; ++r) {
      s.RTrial = r;
      s.FComp = Checked::Comparison(s.RefFreq, r);
      const double khz = Checked::ComparisonKiloHertz(s.FComp);
      if (khz < 0) break;
      if (!(khz <= 1e15)) continue;
      s.NTrial = Checked::Feedback(s.SrcFreq, s.FComp);
      s.FCompAct = Checked::Implied(s.SrcFreq, s.NTrial);
      s.FCompDiff = Checked::Difference(s.FCompAct, s.FComp);
      const double diff = std::fabs(s.FCompDiff);
      if (diff < s.BestDiff) {
        s.BestDiff = diff;
        s.BestR = r;
        s.BestN = s.NTrial;
      }
      if (diff < kExactBelow) break;
      benchmark::ClobberMemory();
    }
  }
}
BENCHMARK(BM_SearchCheckedOnly)->Unit(benchmark::kMillisecond);

// The same arithmetic as a bare loop: no fault checks, no state record.
// Only here to show what the divisions alone cost.
void BM_SearchFloor(benchmark::State& state) {
  for (auto _ : state) {
    const double src = kWorstSource;
    const double ref = kWorstReference;
    benchmark::DoNotOptimize(src);
    double best_diff = 99999999, best_n = 0;
    std::int32_t best_r = 0;
    for (std::int32_t r = 1; r <= 1'000'000; ++r) {
      const double fcomp = ref / r;
      const double khz = 1000 * fcomp;
      if (khz < 0) break;
      if (!(khz <= 1e15)) continue;
      const double n = Floor(src / fcomp + 0.5);
      const double act = n > 0 ? src / n : src;
      const double diff = std::fabs(act - fcomp);
      if (diff < best_diff) {
        best_diff = diff;
        best_r = r;
        best_n = n;
      }
      if (diff < 1e-15) break;
    }
    benchmark::DoNotOptimize(best_r);
    benchmark::DoNotOptimize(best_n);
  }
}
BENCHMARK(BM_SearchFloor)->Unit(benchmark::kMillisecond);

MemoryBoxes Boxes(const char* rf_out, const char* ref = "10", const char* min_fc = "5",
                  const char* max_fc = "100") {
  MemoryBoxes boxes;
  boxes.SetText(Box::RFOut, rf_out);
  boxes.SetText(Box::Ref, ref);
  boxes.SetText(Box::MinFC, min_fc);
  boxes.SetText(Box::MaxFC, max_fc);
  return boxes;
}

// A typical click: the whole action, search included.
void BM_GoActionTypical(benchmark::State& state, const char* rf_out, const char* ref,
                        const char* min_fc, const char* max_fc) {
  MemoryBoxes boxes = Boxes(rf_out, ref, min_fc, max_fc);
  for (auto _ : state) boxes.Go();
}
BENCHMARK_CAPTURE(BM_GoActionTypical, near_1000_001, "1000.001", "10", "5", "100")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_GoActionTypical, odd_1234_5678, "1234.5678", "13", "10", "200")
    ->Unit(benchmark::kMicrosecond);

// The action beyond its search: RF Output 1000 needs 100 candidates; the
// search alone is timed beside it.
void BM_GoActionExact1000(benchmark::State& state) {
  MemoryBoxes boxes = Boxes("1000");
  for (auto _ : state) boxes.Go();
}
BENCHMARK(BM_GoActionExact1000);

void BM_SearchExact1000(benchmark::State& state) {
  SearchState s;
  s.SrcFreq = 1000;
  s.RefFreq = 10;
  for (auto _ : state) benchmark::DoNotOptimize(RunDividerSearch(s, "5", "100"));
}
BENCHMARK(BM_SearchExact1000);

void BM_ParseLeadingNumber(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ParseLeadingNumber(" 1234.5678 MHz"));
}
BENCHMARK(BM_ParseLeadingNumber);

void BM_ParseLeadingNumber1MB(benchmark::State& state) {
  std::string text(1 << 20, ' ');
  text += "1000";
  for (auto _ : state) benchmark::DoNotOptimize(ParseLeadingNumber(text));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ParseLeadingNumber1MB)->Unit(benchmark::kMicrosecond);

void BM_NumberToSignedText(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(NumberToSignedText(1234.5678));
}
BENCHMARK(BM_NumberToSignedText);

void BM_FormatDigitMask(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatDigitMask(11.373578302712161, "#####.#####", "."));
  }
}
BENCHMARK(BM_FormatDigitMask);

void BM_ToHexText(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ToHexText(108547));
}
BENCHMARK(BM_ToHexText);

// The noise figures' logarithm and power of ten, correctly rounded (the
// program's own), against the C library's: Arg 0 the library's, 1 ours.
void BM_Log10(benchmark::State& state) {
  const bool own = state.range(0) == 1;
  double x = 2592.00625e6;
  for (auto _ : state) {
    benchmark::DoNotOptimize(own ? Log10(x) : std::log10(x));
    x += 1.0;
  }
}
BENCHMARK(BM_Log10)->Arg(0)->Arg(1);

void BM_Exp10(benchmark::State& state) {
  const bool own = state.range(0) == 1;
  double y = -7.5;
  for (auto _ : state) {
    benchmark::DoNotOptimize(own ? Exp10(y) : std::pow(10.0, y));
    y += 1e-9;
  }
}
BENCHMARK(BM_Exp10)->Arg(0)->Arg(1);

// Discards what is written, as fast as it can.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// 100,000 channels from 10 GHz in 25 kHz steps, multiplier 4, typical limits.
void BM_Sweep100k(benchmark::State& state) {
  std::string error;
  const auto range = runner::SweepRange::Parse("10000:12499.975:0.025", error);
  runner::RunInputs others;
  others.mult.assign(1, '4');
  NullBuffer null;
  std::ostream out(&null);
  const int threads = static_cast<int>(state.range(0));
  for (auto _ : state) {
    formats::WriteSweep(*range, others, {}, ".", formats::SweepFormat::kCsv, out, threads);
  }
  state.counters["points/s"] = benchmark::Counter(
      static_cast<double>(range->PointCount()) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Sweep100k)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// 100,001 channels from 10 GHz in 25 kHz steps, multiplier 4, a figure of
// merit: without a loop (Arg 0) and with a designed third-order loop, the
// VCO's and reference's noise, and the jitter of every channel (Arg 1),
// side by side on one thread.
void BM_LoopSweep(benchmark::State& state) {
  std::string error;
  const auto range = runner::SweepRange::Parse("10000:12500:0.025", error);
  runner::InputTexts texts;
  auto set = [&texts](runner::Input input, std::string_view text) { texts[input].emplace(text); };
  set(runner::Input::kMult, "4");
  set(runner::Input::kFom, "-220");
  if (state.range(0) == 1) {
    set(runner::Input::kLoopBandwidth, "5");
    set(runner::Input::kCpCurrent, "5");
    set(runner::Input::kKvco, "30");
    set(runner::Input::kVcoNoise, "1000:-70,10000:-95,100000:-118,1000000:-138,10000000:-152");
    set(runner::Input::kRefNoise, "10:-110,100:-135,1000:-148,10000:-155");
  }
  runner::ReadSettings settings;
  settings.grid = &*range;
  const auto read = runner::ReadInputs(texts, settings);
  const auto& checked = std::get<runner::CheckedInputs>(read);
  NullBuffer null;
  std::ostream out(&null);
  for (auto _ : state) {
    formats::WriteSweep(*range, checked.inputs, checked.plan, ".", formats::SweepFormat::kCsv,
                        out, 1);
  }
  state.counters["points/s"] = benchmark::Counter(
      static_cast<double>(range->PointCount()) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoopSweep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same 20,001 mostly inexact channels (10 kHz steps, window 1 ... 1000
// kHz) without a chip (Arg 0) and on an adf4106 (Arg 1), side by side: a
// chip's search ends once N passes the largest N its prescaler forms.
void BM_ChipSweep(benchmark::State& state) {
  std::string error;
  const auto range = runner::SweepRange::Parse("10000:10200:0.01", error);
  runner::RunInputs others;
  others.min_fc.assign(1, '1');
  others.max_fc = "1000";
  if (state.range(0) == 1) {
    others.chip = "adf4106";
    others.chip_profile = formats::LoadChip("adf4106", error);
  }
  NullBuffer null;
  std::ostream out(&null);
  for (auto _ : state) {
    formats::WriteSweep(*range, others, {}, ".", formats::SweepFormat::kCsv, out, 2);
  }
}
BENCHMARK(BM_ChipSweep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// 200,001 channels of 10 Hz from 10368 MHz x 4 on the max2870, side by
// side: integer mode (first argument 0, max2870-int) against planned
// fractional-N (1). The second argument picks the inputs: 0 a 10 MHz
// reference and 1 ... 50 MHz comparisons; 1 a 19.2 MHz reference and
// 100 kHz comparisons, where few channels are exact at any R and every R's
// best fraction is worked out.
void BM_FractionalSweep(benchmark::State& state) {
  std::string error;
  const auto range = runner::SweepRange::Parse("10368:10370:0.00001", error);
  const bool fractional = state.range(0) == 1, hard = state.range(1) == 1;
  runner::RunInputs others;
  others.mult.assign(1, '4');
  others.min_fc = hard ? "100" : "1000";
  others.max_fc = "50000";
  if (hard) others.ref = "19.2";
  const char* chip = fractional ? "max2870" : "max2870-int";
  others.chip = chip;
  others.chip_profile = formats::LoadChip(chip, error);
  NullBuffer null;
  std::ostream out(&null);
  for (auto _ : state) {
    formats::WriteSweep(*range, others, {}, ".", formats::SweepFormat::kCsv, out, 2);
  }
}
BENCHMARK(BM_FractionalSweep)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// 200,001 channels of 100 Hz from 2400 MHz on the adf4351 (Arg 0) and the
// lmx2594 (Arg 1), both from 100 MHz with 1 MHz ... 400 MHz allowed: the
// lmx2594's VCO at 9.6 GHz behind /4 and every setting of its reference
// path weighed (doubler, pre-divider, multiplier, R) against R alone.
void BM_ReferencePathSweep(benchmark::State& state) {
  std::string error;
  const auto range = runner::SweepRange::Parse("2400:2420:0.0001", error);
  runner::RunInputs others;
  others.ref = "100";
  others.min_fc = "1000";
  others.max_fc = "400000";
  const char* chip = state.range(0) == 1 ? "lmx2594" : "adf4351";
  others.chip = chip;
  others.chip_profile = formats::LoadChip(chip, error);
  NullBuffer null;
  std::ostream out(&null);
  for (auto _ : state) {
    formats::WriteSweep(*range, others, {}, ".", formats::SweepFormat::kCsv, out, 2);
  }
}
BENCHMARK(BM_ReferencePathSweep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// A fractional channel's alternatives over the widest window a shipped chip
// gives: the lmx2594 from 100 MHz compared at 0.1 ... 50 kHz, R folded with
// its pre-divider (about a million R, each one's best setting worked out),
// the run alone (Arg 0) against the run with 1,000 alternatives (Arg 1).
void BM_FractionalAlternatives(benchmark::State& state) {
  std::string error;
  runner::RunInputs inputs;
  inputs.rf_out = "10000.0125";
  inputs.ref = "100";
  inputs.min_fc = "0.1";
  inputs.max_fc = "50";
  inputs.chip = "lmx2594";
  inputs.chip_profile = formats::LoadChip("lmx2594", error);
  runner::PlanOptions plan;
  plan.alternatives = state.range(0) == 1 ? 1000 : 0;
  for (auto _ : state) benchmark::DoNotOptimize(runner::RunOnce(inputs, ".", plan));
}
BENCHMARK(BM_FractionalAlternatives)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One R for a plan of 10,000 channels (10 kHz apart) against about 20,000
// admitted R, none exact on every channel: the pruned choice.
void BM_CommonR(benchmark::State& state) {
  std::vector<double> sources;
  for (int i = 0; i < 10000; ++i) sources.push_back(10000 + i * 0.01);
  const int threads = static_cast<int>(state.range(0));
  std::int32_t chosen = 0;
  for (auto _ : state) {
    const runner::CommonRChoice choice =
        runner::ChooseCommonR(sources, 10.0000013, 1, 0.5, 100, SearchBounds{}, threads);
    chosen = choice.Choice ? choice.Choice->R : 0;
  }
  state.counters["R"] = chosen;
}
BENCHMARK(BM_CommonR)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The worst plan that --common-r accepts: 50,000 channels against 1,000,000
// admitted R (the bound, 5e10 trials), each channel reached only by R near
// the end, so that no R serves them all and every channel is checked
// against nearly every R to name one. About a minute on two processors.
void BM_CommonRWorstAccepted(benchmark::State& state) {
  std::string error;
  const auto range = runner::SweepRange::Parse("1000:1000.49999:0.00001", error);
  runner::RunInputs others;
  others.min_fc = "0.00001";
  others.max_fc = "1e9";
  others.n_range = "99999950:100000050";
  runner::ReadCounterRanges(others, "n", "n", error);
  for (auto _ : state) {
    const runner::PlanR plan = runner::ChoosePlanR(*range, others, runner::PlanOptions{});
    benchmark::DoNotOptimize(plan.error);
  }
}
BENCHMARK(BM_CommonRWorstAccepted)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace synthfactors

int main(int argc, char** argv) {
  for (const synthfactors::SearchKernel kernel : synthfactors::AvailableSearchKernels()) {
    benchmark::RegisterBenchmark(
        ("BM_SearchKernel/" + std::string(synthfactors::SearchKernelName(kernel))).c_str(),
        synthfactors::BM_SearchKernel, kernel)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
