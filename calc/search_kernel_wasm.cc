// The search kernel in WebAssembly SIMD lanes, two candidates a block: built
// only into the page's SIMD module (compiled with -msimd128), which a
// browser without SIMD never loads. f64x2 division, addition,
// multiplication and floor are the IEEE operations lane by lane, so no
// emulation is needed.
#include <wasm_simd128.h>

#include "search_kernel_scan.h"

namespace synthfactors {
namespace {

struct WasmLanes {
  using Value = v128_t;
  using Mask = v128_t;
  static constexpr int kCount = kWasmSimd128Lanes;
  static Value Constant(double c) { return wasm_f64x2_splat(c); }
  static Value Iota() { return wasm_f64x2_make(0, 1); }
  static Value Add(Value a, Value b) { return wasm_f64x2_add(a, b); }
  static Value Sub(Value a, Value b) { return wasm_f64x2_sub(a, b); }
  static Value Mul(Value a, Value b) { return wasm_f64x2_mul(a, b); }
  static Value Div(Value a, Value b) { return wasm_f64x2_div(a, b); }
  static Value Abs(Value x) { return wasm_f64x2_abs(x); }
  static Value Floor(Value x) { return wasm_f64x2_floor(x); }
  template <typename Divide>
  static Value IfPositive(Value n, Divide divide, Value otherwise) {
    return wasm_v128_bitselect(divide(), otherwise, wasm_f64x2_gt(n, wasm_f64x2_splat(0)));
  }
  static Mask NotAtLeast(Value a, Value b) { return wasm_v128_not(wasm_f64x2_ge(a, b)); }
  static Mask NotAtMost(Value a, Value b) { return wasm_v128_not(wasm_f64x2_le(a, b)); }
  static Mask Below(Value a, Value b) { return wasm_f64x2_lt(a, b); }
  static Mask NotFinite(Value x) {
    return wasm_v128_not(wasm_f64x2_lt(Abs(x), wasm_f64x2_splat(__builtin_inf())));
  }
  static Mask Or(Mask a, Mask b) { return wasm_v128_or(a, b); }
  static bool Any(Mask m) { return wasm_v128_any_true(m); }
  static void Store(double* to, Value x) { wasm_v128_store(to, x); }
  static double Last(Value x) { return wasm_f64x2_extract_lane(x, 1); }
};

}  // namespace

void ScanWasmSimd128(const KernelInputs& in, int first, int last, double best_diff,
                     ScanResult& result) {
  ScanLanes<WasmLanes>(in, first, last, best_diff, result);
}

}  // namespace synthfactors
