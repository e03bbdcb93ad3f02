// The best `count` of the values offered one at a time, by a strict order
// `better(a, b)` ("a ranks before b"), without keeping the others: a heap
// with the worst kept on top, so each offer costs O(log count).
//
//   BestKept<int, std::less<>> kept(2, {});   // the two smallest
//   for (int v : {5, 1, 4, 2}) kept.Offer(v);
//   kept.Take();                              // {1, 2}
//
// Offers that rank equal to the worst kept are not taken (the earlier one
// stays); with a total order this never arises.
#pragma once

#include <algorithm>
#include <queue>
#include <utility>
#include <vector>

namespace synthfactors {

template <typename T, typename Better>
class BestKept {
 public:
  BestKept(int count, Better better) : count_(std::max(count, 0)), better_(better), kept_(better) {}

  void Offer(const T& value) {
    if (static_cast<int>(kept_.size()) < count_) {
      kept_.push(value);
    } else if (count_ > 0 && better_(value, kept_.top())) {
      kept_.pop();
      kept_.push(value);
    }
  }

  // The values kept, best first; the keeper is empty afterwards.
  std::vector<T> Take() {
    std::vector<T> ranked;
    ranked.reserve(kept_.size());
    for (; !kept_.empty(); kept_.pop()) ranked.push_back(kept_.top());
    std::reverse(ranked.begin(), ranked.end());
    return ranked;
  }

 private:
  int count_;
  Better better_;
  std::priority_queue<T, std::vector<T>, Better> kept_;
};

}  // namespace synthfactors
