// The divider search: chooses the reference divider R and the feedback
// divider N of an integer-N synthesiser.
//
// Candidates R = 1, 2, ... 1,000,000 are tried in order. A candidate is
// admitted while its comparison frequency FComp = RefFreq / R (in kHz,
// 1000 x FComp) is not above the upper limit; the first one below the lower
// limit ends the search. For an admitted candidate N is SrcFreq / FComp
// rounded (halves up), and the pair is judged by how far the comparison
// frequency that N implies, SrcFreq / N, lies from FComp. The best pair
// wins, the smallest R on ties, and a difference below 1e-15 MHz stops the
// search as an exact match.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <string_view>
#include <vector>

#include "box_number.h"
#include "candidate.h"

namespace synthfactors {

// Which part of the search is running; the GO action reads it to tell where
// a fault inside the search arose.
enum class SearchPhase {
  kReadLowerLimit,  // reading Minimum Fcomp, at the first candidate
  kReadUpperLimit,  // reading Maximum Fcomp, at the first candidate admitted
                    // by the lower limit
  kCandidates,      // the arithmetic of the candidates
};

// The working values of a run. Owned by the window and kept from one run to
// the next; a fault leaves them as far as the run got.
struct SearchState {
  double SrcFreq = 0;    // MHz: RF output / multiplication factor
  double RefFreq = 0;    // MHz: reference input
  std::int32_t RTrial = 0;  // candidate reference divider
  double FComp = 0;      // MHz: RefFreq / RTrial
  double NTrial = 0;     // candidate feedback divider, whole
  double FCompAct = 0;   // MHz: comparison frequency that NTrial implies
  double FCompDiff = 0;  // MHz: FCompAct - FComp of the latest candidate
  double BestDiff = 0;   // MHz: smallest |FCompDiff| so far
  std::int32_t BestR = 0;  // chosen R; 0 while no pair is chosen
  double BestN = 0;      // chosen N, whole
  double FreqErr = 0;    // MHz: synthesised minus wanted output frequency
  double RelErr = 0;     // FreqErr relative to the output frequency
  SearchPhase Phase = SearchPhase::kCandidates;
};

inline constexpr std::int32_t kLastRTrial = 1'000'000;

// The feedback counter of a dual-modulus prescaler P/P+1: N = P x B + A,
// with A = N mod P and B = N div P, the A and B counters within their
// ranges, and B not below A (the prescaler divides by P+1 for A cycles of
// B). Some N cannot be formed at all: with P = 8, 28 ... 31 (B 3 < A 4 ... 7).
struct DualModulus {
  std::int32_t P = 0;
  std::int64_t MinA = 0, MaxA = 0;
  std::int64_t MinB = 0, MaxB = 0;

  // Whether the counters can form `n`, a whole number within
  // P x MinB + MinA ... P x MaxB + MaxA.
  bool Forms(double n) const {
    const auto whole = static_cast<std::int64_t>(n);
    const std::int64_t b = whole / P, a = whole % P;
    return a >= MinA && a <= MaxA && b >= MinB && b <= MaxB && b >= a;
  }
  bool operator==(const DualModulus&) const = default;
};

// Which candidates a search may take, for synthesisers with finite counters:
// only R from FirstR to LastR are tried (within 1 ... kLastRTrial), and a
// candidate whose N lies outside MinN ... MaxN, or that a dual-modulus
// counter cannot form, is not admitted: it neither becomes the best pair nor
// stops the search as exact. A chip's comparison limits narrow the window
// the user gives. The defaults leave the search as the window runs it.
struct SearchBounds {
  std::int32_t FirstR = 1;
  std::int32_t LastR = kLastRTrial;
  double MinN = -std::numeric_limits<double>::infinity();
  double MaxN = std::numeric_limits<double>::infinity();
  // The N range as the user wrote it, for messages: MinN and MaxN are the
  // doubles that admit the same whole N, and may read differently.
  std::optional<std::pair<std::int64_t, std::int64_t>> GivenN;
  // A dual-modulus counter's rule on top of MinN ... MaxN.
  std::optional<DualModulus> Dual;
  // The prescaler P/P+1 that sets a plain counter's MinN, for messages; 0
  // for none.
  std::int32_t PlainPrescaler = 0;
  // A chip's comparison limits in kHz: the window is the overlap of these
  // and the limits the user gives.
  double LowestKHz = -std::numeric_limits<double>::infinity();
  double HighestKHz = std::numeric_limits<double>::infinity();

  // Plain ranges of R and N.
  static SearchBounds Ranges(std::int32_t first_r, std::int32_t last_r, double min_n,
                             double max_n) {
    SearchBounds bounds;
    bounds.FirstR = first_r;
    bounds.LastR = last_r;
    bounds.MinN = min_n;
    bounds.MaxN = max_n;
    return bounds;
  }

  bool Admits(double n) const { return n >= MinN && n <= MaxN && (!Dual || Dual->Forms(n)); }
  // The R actually tried: FirstR ... LastR within 1 ... kLastRTrial.
  std::int32_t FirstTriedR() const { return FirstR < 1 ? 1 : FirstR; }
  std::int32_t LastTriedR() const { return LastR > kLastRTrial ? kLastRTrial : LastR; }
  bool operator==(const SearchBounds&) const = default;
};

// Whether the last search stopped on an exact match: only then is BestDiff
// below kExactBelow.
inline bool IsExactMatch(const SearchState& state) {
  return state.BestDiff < kExactBelow;
}

// Runs the search on `state`, whose SrcFreq and RefFreq are set. The limits
// are in kHz, read with ParseLeadingNumber from the two texts: the lower one
// at the first candidate, the upper one at the first candidate that passes
// the lower test. Returns true when it stopped on an exact match. May raise
// ArithmeticFault; the state is then left as far as the search got.
bool RunDividerSearch(SearchState& state, std::string_view min_fc_text,
                      std::string_view max_fc_text,
                      const SearchBounds& bounds = SearchBounds{});

// The same with the limits' numbers read beforehand: an overflow kept in one
// is raised where the search would have read its text.
bool RunDividerSearch(SearchState& state, const BoxNumber& lower_khz, const BoxNumber& upper_khz,
                      const SearchBounds& bounds);

// How the candidates after the first are evaluated: one at a time on plain
// doubles, or a block at a time in vector lanes. Every kernel gives the same
// result and leaves the same state; the fastest the processor has is the
// default.
enum class SearchKernel { kScalar, kSse2, kAvx2, kAvx512, kWasmSimd128 };

// The kernels this processor can run, kScalar first, the fastest last.
std::vector<SearchKernel> AvailableSearchKernels();

// "scalar", "sse2", "avx2", "avx512" or "wasm-simd128".
std::string_view SearchKernelName(SearchKernel kernel);

// The same search with a chosen kernel, which must be available.
bool RunDividerSearch(SearchState& state, std::string_view min_fc_text,
                      std::string_view max_fc_text, const SearchBounds& bounds,
                      SearchKernel kernel);
bool RunDividerSearch(SearchState& state, const BoxNumber& lower_khz, const BoxNumber& upper_khz,
                      const SearchBounds& bounds, SearchKernel kernel);

}  // namespace synthfactors
