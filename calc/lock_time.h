// How long the linear loop takes to settle after a frequency step.
//
// A step of `jump` at the RF output leaves a frequency error whose Laplace
// transform is jump (1 - CL(s)) / s = jump / (s (1 + G(s)/N)), with G/N the
// open-loop gain of loop_filter.h. Written over the common denominator
//
//   D(s) = T1 T3 s^4 + (T1 + T3) s^3 + s^2 + K T2 s + K,   K = Icp Kvco / (N A0)
//
// (a cubic in second order, T3 = 0), the error is a sum of residues,
// e(t) = jump * sum of r_i exp(p_i t) over the roots p_i of D. The lock time
// is the last time |e(t)| exceeds the tolerance: found by scanning back from
// where the residues' envelope falls below the tolerance in steps of a
// sixteenth of the fastest ringing, and bisecting the crossing.
//
// Not modelled: cycle slips (a large step slews the phase detector beyond
// its linear range, which takes longer), the charge pump's current limits,
// and the time a part spends calibrating its VCO band before the loop
// closes.
#pragma once

#include "loop_filter.h"

namespace synthfactors::loop {

struct LockTime {
  enum class Outcome {
    kSettles,    // seconds holds the lock time
    kUnstable,   // a closed-loop pole lies in the right half-plane
    kTooLong,    // the loop rings beyond what the scan can follow
  };
  Outcome outcome = Outcome::kSettles;
  double seconds = 0;
};

// The lock time after `jump` (Hz) with the error held within `tolerance`
// (Hz, above 0), for a loop with this filter and Icp Kvco / N. A jump
// within the tolerance settles at once (0 s).
LockTime LockTimeAfter(const FilterTimes& times, double k_over_n, double jump, double tolerance);

}  // namespace synthfactors::loop
