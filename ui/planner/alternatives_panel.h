// The selected channel's ranked alternatives (the command line's
// --alternatives ranking), with their counters and noise; double-clicking
// one shows its report as the classic window writes it, ready to copy.
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <string>

#include "plan_run.h"
#include "run.h"

class QLabel;
class QTableWidget;

namespace synthfactors::planner {

// How many alternatives a channel lists.
inline constexpr int kAlternativesListed = 20;

class AlternativesPanel : public QWidget {
  Q_OBJECT

 public:
  explicit AlternativesPanel(std::string decimal_symbol, QWidget* parent = nullptr);

  void Clear();
  // Lists the alternatives of `channel` of `plan`, run with the plan's inputs.
  void Show(const PlanOutcome& plan, std::int64_t channel);

  QTableWidget* Table() const { return table_; }
  // The report of the alternative in `row`; empty when there is none.
  QString Report(int row) const;

 private:
  void ShowReport(int row);

  std::string decimal_symbol_;
  QLabel* title_;
  QTableWidget* table_;
  std::optional<runner::RunResult> listed_;  // the channel's run, alternatives and all
};

}  // namespace synthfactors::planner
