// The program's one window: five input boxes, the GO button, the RF source
// box and the report box. A click of GO runs the GO action on the window's
// boxes; nothing else is wired.
#pragma once

#include <array>
#include <functional>

#include <QWidget>

#include "go_action.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace synthfactors::ui {

class MainWindow : public QWidget, public TextBoxes {
  Q_OBJECT

 public:
  // Shows the message of a run that ended in a fault.
  using FaultPresenter = std::function<void(const QString& message)>;

  explicit MainWindow(QWidget* parent = nullptr);

  // By default a warning box titled like the window; tests observe it here.
  void setFaultPresenter(FaultPresenter presenter);

  // The control of the given name (as in the control table), or nullptr.
  QWidget* control(std::string_view name) const;
  QWidget* control(Box box) const { return boxes_[Index(box)]; }

  // TextBoxes: the GO action's view of the window.
  std::string Text(Box box) const override;
  void SetText(Box box, std::string text) override;
  std::string_view DecimalSymbol() const override { return decimal_symbol_; }

 private slots:
  void onGoClicked();

 private:
  static std::size_t Index(Box box) { return static_cast<std::size_t>(box); }
  void buildControls();
  void setTabOrder() const;

  // The GO action's boxes: one-line boxes, and the report box.
  std::array<QWidget*, kAllBoxes.size()> boxes_{};
  std::array<QLineEdit*, kAllBoxes.size()> line_boxes_{};
  QPlainTextEdit* report_ = nullptr;
  QPushButton* go_ = nullptr;
  GoActionState action_;  // the search state and record, kept between clicks
  std::string decimal_symbol_;
  FaultPresenter present_fault_;
};

}  // namespace synthfactors::ui
