// The selected channel's ranked alternatives (the command line's
// --alternatives ranking), with their counters (B and A in hexadecimal, as
// the registers take them) and noise. They are worked out on a worker
// thread; the panel says so meanwhile. Enter or a double click on one
// shows its report as the command line writes it (source frequency,
// report, counters and the rest), ready to copy; Ctrl+C copies the
// selected rows.
#pragma once

#include <QFutureWatcher>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <string>

#include "plan_run.h"

class QLabel;
class QTableWidget;

namespace synthfactors::planner {

// How many alternatives a channel lists.
inline constexpr int kAlternativesListed = 20;

class AlternativesPanel : public QWidget {
  Q_OBJECT

 public:
  explicit AlternativesPanel(std::string decimal_symbol, QWidget* parent = nullptr);
  ~AlternativesPanel() override;

  void Clear();
  // Lists the alternatives of `channel` of `plan`, run with the plan's
  // inputs on a worker thread; `listed()` is emitted once they are shown.
  void Show(std::shared_ptr<const PlanOutcome> plan, std::int64_t channel);

  QTableWidget* Table() const { return table_; }
  QLabel* Title() const { return title_; }
  // The report of the alternative in `row`, as the command line writes a
  // run; empty when there is none.
  QString Report(int row) const;
  // The selected rows, tab-separated, a line each, with the header first.
  QString SelectedText() const;

 signals:
  void listed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Fill(const runner::RunResult& result);
  void ShowReport(int row);

  std::string decimal_symbol_;
  QLabel* title_;
  QTableWidget* table_;
  std::optional<runner::RunResult> listed_;  // the channel's run, alternatives and all
  QFutureWatcher<runner::RunResult> watcher_;
  std::uint64_t asked_ = 0;  // counts the listings asked for; only the last is shown
};

}  // namespace synthfactors::planner
