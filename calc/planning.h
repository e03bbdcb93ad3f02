// Planning beyond one click: the pairs a search could also have chosen,
// ranked; the in-band phase noise of a pair; and one reference divider R for
// a whole channel plan. Every pair's figures come from the search's
// candidate formula and the report's pair formula (candidate.h), so a pair
// shows the same figures here as in a report.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "divider_search.h"

namespace synthfactors {

// The search's inputs as numbers: source and reference in MHz, the
// multiplication factor, and the limits in kHz.
struct PlanInputs {
  double SrcFreq = 0;
  double RefFreq = 0;
  double Mult = 1;
  double LowerKHz = 0;
  double UpperKHz = 0;
  SearchBounds Bounds;
};

// A divider pair and its figures, as the report computes them.
struct RankedPair {
  std::int32_t R = 0;
  double N = 0;
  double ComparisonKHz = 0;
  double ErrorHz = 0;
  double ErrorPpb = 0;
  bool Exact = false;
};

inline constexpr int kMaxAlternatives = 1000;

// Up to `count` admitted pairs over the whole window (an exact match does
// not end the scan; the lower limit does): exact pairs first by R ascending,
// then the others by |ErrorHz| ascending, ties by R. A candidate whose
// figures are not finite is left out.
std::vector<RankedPair> RankedAlternatives(const PlanInputs& in, int count);

// FOM + 10 log10(comparison frequency in Hz) + 20 log10(N) + 20 log10(|m|),
// in dBc/Hz at the output; empty where a logarithm has no value (N <= 0,
// m = 0, a comparison frequency <= 0) or the result is not finite.
std::optional<double> InBandPhaseNoise(double fom, double comparison_khz, double n,
                                       double mult);

// A loop's in-band noise model: the figure of merit for the flat floor, and
// the normalised 1/f noise (dBc/Hz of a 1 Hz carrier at 1 Hz offset) with
// the offset it is read at.
struct NoiseModel {
  double Fom = 0;
  std::optional<double> Flicker;
  double OffsetHz = 10000;
};

// The noise of a pair at the output, dBc/Hz: the floor (InBandPhaseNoise),
// the flicker FLICKER + 20 log10(f_src) - 10 log10(offset) + 20 log10(|m|)
// with f_src = N x the comparison frequency in Hz, and their power sum.
struct NoiseFigures {
  double Total = 0;
  double Floor = 0;
  std::optional<double> Flicker;  // with a flicker figure
};
std::optional<NoiseFigures> InBandNoise(const NoiseModel& model, double comparison_khz,
                                        double n, double mult);

// One R for every channel of a plan: among the R the window and the bounds
// admit, for which every channel's N is at least 1 and within the bounds,
// the smallest R exact on every channel; else the R whose worst |output
// error| is smallest, ties by the smallest R.
struct CommonR {
  std::int32_t R = 0;
  double ComparisonKHz = 0;
  std::int64_t ExactChannels = 0;
  std::int64_t Channels = 0;
  double WorstErrorHz = 0;
};

// An R that the window and the bounds admit, with its comparison frequency
// in MHz.
struct AdmittedR {
  std::int32_t R = 0;
  double FComp = 0;
};

// Every admitted R, in rising order: R = FirstTriedR ... until the lower
// limit stops it or the bounds end. A comparison frequency beyond the double
// range, which would end a search in a fault, is passed over.
std::vector<AdmittedR> AdmittedDividers(double ref, double lower_khz, double upper_khz,
                                        const SearchBounds& bounds);

// How one R serves the channels of a plan (source frequencies in MHz).
struct CommonRTrial {
  bool ReachesAll = false;  // every channel has an N of 1 or more within the bounds
  bool ExactAll = false;
  double WorstErrorHz = 0;  // the largest |output error|
  std::int64_t ExactChannels = 0;
};

// The trial stops early (ReachesAll false) at the first channel the R
// cannot reach, or as soon as its worst error exceeds `drop_above` while it
// is not exact on every channel so far.
CommonRTrial TryCommonR(const std::vector<double>& sources, double ref, double mult,
                        const SearchBounds& bounds, const AdmittedR& admitted,
                        double drop_above);

// Whether any of the admitted R reaches the channel.
bool SomeRReaches(double source, const std::vector<AdmittedR>& admitted,
                  const SearchBounds& bounds);

// The summary of a chosen R.
CommonR CommonRFigures(double ref, std::int32_t r, const CommonRTrial& trial,
                       std::int64_t channels);

}  // namespace synthfactors
