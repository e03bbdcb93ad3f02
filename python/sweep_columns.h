// A sweep's columns as NumPy arrays, filled in place by the workers while
// the GIL is released: numbers straight into their arrays, texts into
// fixed-width byte cells that become NumPy str arrays at the end, one
// column at a time, so the peak memory stays close to the arrays returned.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "result_fields.h"

namespace synthfactors::python {

namespace py = pybind11;

class SweepColumns {
 public:
  // With the GIL: one column per sweep field that runs shaped like `shape`
  // have (ResultShape), for `points` points.
  SweepColumns(std::size_t points, const runner::RunResult& shape);

  // From any thread, without the GIL: point `index`'s fields.
  void Store(std::size_t index, const runner::RunResult& result);

  // With the GIL: the arrays by field name. Dividers are int64, or float64
  // when one is beyond the int64 range.
  py::dict Finish();

 private:
  struct Column {
    const runner::ResultField* field = nullptr;
    py::array array;            // numbers, dividers (as float64 until Finish) and flags
    void* data = nullptr;       // the array's buffer
    std::unique_ptr<char[]> cells;  // texts: `width` bytes a point, zero-padded
    std::size_t width = 0;
    std::map<std::size_t, std::string> longer;  // texts wider than a cell
  };

  void StoreText(Column& column, std::size_t index, std::string_view text);
  py::object TextArray(Column& column);

  std::size_t points_;
  std::vector<Column> columns_;
  std::mutex longer_mutex_;
  std::atomic<bool> divider_beyond_int64_{false};
};

}  // namespace synthfactors::python
