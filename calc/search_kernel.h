// The vector kernels of the divider search. A kernel evaluates a block of
// consecutive candidates at once with the candidate formula, in the lanes of
// a vector register: IEEE division, addition, multiplication and floor are
// correctly rounded in each lane, so every lane's values are those of the
// one-at-a-time search. It only finds where the rules need a closer look;
// the search then takes that block one candidate at a time.
//
// Like candidate_formula.h this header includes nothing: each kernel is
// compiled for its own instruction set and must share no inline code with
// the rest of the program.
#pragma once

namespace synthfactors {

struct KernelInputs {
  double src, ref;             // MHz
  double lower, upper;         // kHz
  double min_n, max_n;         // the admitted N
};

inline constexpr int kSse2Lanes = 2;
inline constexpr int kAvx2Lanes = 4;
inline constexpr int kAvx512Lanes = 8;
inline constexpr int kWasmSimd128Lanes = 2;

// The values of a block of candidates, lane by lane.
struct BlockValues {
  double khz[kAvx512Lanes], fcomp[kAvx512Lanes], n[kAvx512Lanes], act[kAvx512Lanes],
      diff[kAvx512Lanes];
};

// What a scan found.
struct ScanResult {
  int at;         // the first R it did not pass over
  bool passed;    // it passed over a block: `last` holds that block's last lane
  bool flagged;   // the block from `at` needs a closer look: `block` holds it
  BlockValues block;
  double last_fcomp, last_n, last_act, last_diff;
};

// Scans blocks of lanes R = first, first + 1, ... while a whole block lies
// within `last`, and stops at the first block in which a candidate is not
// plainly admitted and no better than `best_diff`: a lower-limit stop, an
// upper-limit skip, a non-finite value, an N outside [min_n, max_n], or
// |FCompDiff| < best_diff.
using KernelScan = void (*)(const KernelInputs& in, int first, int last, double best_diff,
                            ScanResult& result);

void ScanSse2(const KernelInputs& in, int first, int last, double best_diff,
              ScanResult& result);
void ScanAvx2(const KernelInputs& in, int first, int last, double best_diff,
              ScanResult& result);
void ScanAvx512(const KernelInputs& in, int first, int last, double best_diff,
                ScanResult& result);
void ScanWasmSimd128(const KernelInputs& in, int first, int last, double best_diff,
                     ScanResult& result);

}  // namespace synthfactors
