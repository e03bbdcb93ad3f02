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

// The last candidate of the blocks a scan passed over.
struct PassedCandidate {
  double fcomp, n, act, diff;
};

// Scans blocks of lanes R = first, first + 1, ... while a whole block lies
// within `last`. Returns the first R of the first block in which a
// candidate is not plainly admitted and no better than `best_diff` (a
// lower-limit stop, an upper-limit skip, a non-finite value, an N outside
// [min_n, max_n], or |FCompDiff| < best_diff), or the first R it did not
// scan. When it passed over any block, `passed` holds that block's last
// candidate.
using KernelScan = int (*)(const KernelInputs& in, int first, int last, double best_diff,
                           PassedCandidate& passed);

int ScanSse2(const KernelInputs& in, int first, int last, double best_diff,
             PassedCandidate& passed);
int ScanAvx2(const KernelInputs& in, int first, int last, double best_diff,
             PassedCandidate& passed);
int ScanAvx512(const KernelInputs& in, int first, int last, double best_diff,
               PassedCandidate& passed);

inline constexpr int kSse2Lanes = 2;
inline constexpr int kAvx2Lanes = 4;
inline constexpr int kAvx512Lanes = 8;

}  // namespace synthfactors
