// The planner's input column: the band, the synthesiser, the chip and its
// counters, the noise figures and the fractional-N choice, a box or a
// choice each with the reason it is marked under it; and "One R for the
// whole band". It reads itself into a plan's request (plan_form.h) and
// takes a design's texts back.
#pragma once

#include <QString>
#include <QWidget>

#include <array>
#include <initializer_list>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "chip_profile.h"
#include "design_file.h"
#include "plan_form.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QLineEdit;

namespace synthfactors::planner {

class PlanFormPanel : public QWidget {
  Q_OBJECT

 public:
  explicit PlanFormPanel(std::string decimal_symbol, QWidget* parent = nullptr);

  QLineEdit* Box(FormBox box) const { return boxes_.at(IndexOf(box)); }
  QComboBox* ChipChoice() const { return chip_; }
  QComboBox* PrescalerChoice() const { return prescaler_; }
  QComboBox* FeedbackChoice() const { return feedback_; }
  QCheckBox* RegisterWords() const { return registers_; }
  QComboBox* PreferChoice() const { return prefer_; }
  QCheckBox* OneR() const { return one_r_; }
  // The reason a box is marked for, or empty.
  QString FaultOf(FormBox box) const;

  // The request, or every box at fault (in box order).
  std::variant<PlanRequest, std::vector<BoxFault>> Read() const;
  // Marks each box at fault with its reason and clears the others; false
  // when none is.
  bool MarkFaults(const std::variant<PlanRequest, std::vector<BoxFault>>& read);
  void ClearFaults();

  // Chooses the chip profile in the file `path` (listed under its name);
  // false, with the chip box marked and the chip as it was, when it cannot.
  bool OpenProfile(const QString& path);
  // A checked design's texts in the boxes and choices.
  void Apply(const formats::Design& design);

 signals:
  // An input was edited or chosen.
  void changed();
  // Enter in a box, a choice or a check box: plan.
  void planAsked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 public:
  // As wide as the boxes want, beside a scroll bar (narrower only where the
  // window must be).
  QSize sizeHint() const override;

 private:
  static constexpr int kNarrowestInputs = 180;
  int preferred_width_ = 0;

  QGroupBox* BuildBandGroup();
  QGroupBox* BuildSynthesiserGroup();
  QGroupBox* BuildCountersGroup();
  QGroupBox* BuildNoiseGroup();
  QGroupBox* BuildFractionalGroup();
  QGroupBox* BuildLoopGroup();
  QGroupBox* BoxGroup(const QString& title, std::initializer_list<FormBox> boxes);
  QLineEdit* NewBox(FormBox box);
  void AddBox(QFormLayout* form, FormBox box);
  void AddFaultRow(QFormLayout* form, const QString& input_name, FormBox box);
  void AddRow(QFormLayout* form, const QString& caption, QWidget* input, FormBox box);
  void AddRangeRow(QFormLayout* form, const QString& caption, FormBox first, FormBox last);
  void Connect();

  void ChooseChip(int index);
  bool SetChip(int index);
  void ChoosePrescaler();
  void FillRanges(bool r_too, bool keep_edited = true);
  void Edited(FormBox box);
  QWidget* InputOf(FormBox box) const;
  void ShowFault(FormBox box, const QString& reason);
  void HideFault(FormBox box);
  void SetFaultShown(FormBox box, bool shown);

  std::string decimal_symbol_;
  std::array<QLineEdit*, kFormBoxCount> boxes_{};
  std::array<QLabel*, kFormBoxCount> faults_{};
  QComboBox* chip_ = nullptr;
  QComboBox* prescaler_ = nullptr;
  QComboBox* feedback_ = nullptr;
  QCheckBox* registers_ = nullptr;
  QComboBox* prefer_ = nullptr;
  QCheckBox* one_r_ = nullptr;
  int chip_index_ = 0;  // the chip chosen before "Open profile…"
  std::shared_ptr<const runner::ChipProfile> chip_profile_;
  // The range texts the chip last filled in (R from, to; N from, to): a
  // box that still holds its text follows the next chip, an edited one
  // keeps what was typed.
  std::array<QString, 4> filled_;
};

}  // namespace synthfactors::planner
