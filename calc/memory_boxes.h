// TextBoxes kept in memory: the seven boxes without a window, for the runs
// without one, the tests and the benchmarks, with the action's state beside
// them. A box that the run never wrote can be told from one it wrote.
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
  std::string_view DecimalSymbol() const override { return decimal_symbol_; }

  // Runs the GO action on these boxes and their state.
  void Go(const SearchBounds& bounds = SearchBounds{}) { OnGoClick(*this, action_, bounds); }

  bool Written(Box box) const { return written_[Index(box)]; }
  const SearchState& State() const { return action_.Search; }
  const RunRecord& Record() const { return action_.Record; }
  RunStage EndStage() const { return synthfactors::EndStage(action_); }

 private:
  static std::size_t Index(Box box) { return static_cast<std::size_t>(box); }
  std::array<std::string, kAllBoxes.size()> texts_;
  std::array<bool, kAllBoxes.size()> written_{};
  GoActionState action_;
  std::string decimal_symbol_ = ".";
};

}  // namespace synthfactors
