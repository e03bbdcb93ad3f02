// TextBoxes kept in memory: the seven boxes without a window, for the command
// line, the tests and the benchmarks. A box that the run never wrote can be
// told from one it wrote.
#pragma once

#include <array>
#include <string>

#include "go_action.h"

namespace synthfactors {

class MemoryBoxes final : public TextBoxes {
 public:
  // Every box starts from its start text, with "." as the decimal symbol.
  MemoryBoxes() {
    for (const Box box : kAllBoxes) texts_[Index(box)] = StartText(box);
  }
  explicit MemoryBoxes(std::string decimal_symbol) : MemoryBoxes() {
    decimal_symbol_ = std::move(decimal_symbol);
  }

  std::string Text(Box box) const override { return texts_[Index(box)]; }
  void SetText(Box box, std::string text) override {
    texts_[Index(box)] = std::move(text);
    written_[Index(box)] = true;
  }
  SearchState& State() override { return state_; }
  RunRecord& Record() override { return record_; }
  std::string_view DecimalSymbol() const override { return decimal_symbol_; }

  bool Written(Box box) const { return written_[Index(box)]; }
  const SearchState& State() const { return state_; }
  const RunRecord& Record() const { return record_; }
  RunStage EndStage() const { return synthfactors::EndStage(record_, state_); }

 private:
  static std::size_t Index(Box box) { return static_cast<std::size_t>(box); }
  std::array<std::string, kAllBoxes.size()> texts_;
  std::array<bool, kAllBoxes.size()> written_{};
  SearchState state_;
  RunRecord record_;
  std::string decimal_symbol_ = ".";
};

}  // namespace synthfactors
