#include "main_window.h"

#include <algorithm>
#include <vector>

#include <QClipboard>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app_icon.h"
#include "control_table.h"
#include "font_choice.h"
#include "fault_message.h"

namespace synthfactors::ui {

using runner::ControlEntry;
using runner::ControlKind;
using runner::kClientHeightTwips;
using runner::kClientWidthTwips;
using runner::kControls;
using runner::kFirstFocus;
using runner::kWindowTitle;
using runner::ToPixels;
namespace {

// The report's faces, those found on Linux desktops after the first, and
// the worked example's lines, which must each keep to one line of the box.
// 16 pixels is its 12 points at the 96 dpi the layout is drawn for.
const QStringList kReportFamilies = {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans",
                                     "Arimo", "DejaVu Sans Condensed", "DejaVu Sans"};
constexpr int kReportPixels = 16;
constexpr std::array<std::string_view, 4> kReportSampleLines = {
    "Comparison freq  11.37358kHz", "Error  4.024Hz        3* 10^-9", "Hex divider values ",
    "R  0x477  N  0x1A803"};

// Small sans-serif faces, metric-compatible ones first, for the captions.
const QStringList kControlFamilies = {"Liberation Sans", "Arimo", "DejaVu Sans Condensed",
                                      "DejaVu Sans"};
constexpr int kControlPixels = 10;

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The face of the report box, whose text area is `width` x `height` pixels.
QFont ReportFont(int width, int height) {
  std::vector<FittingText> lines;
  lines.reserve(kReportSampleLines.size());
  for (const std::string_view line : kReportSampleLines) {
    lines.push_back({FromUtf8(line), width, height});
  }
  return FittingFont(kReportFamilies, kReportPixels, lines);
}

// The face of the captions: each fits its label, and the button's its button.
QFont ControlFont() {
  std::vector<FittingText> captions;
  for (const ControlEntry& entry : kControls) {
    if (entry.kind == ControlKind::kLabel || entry.kind == ControlKind::kPushButton) {
      captions.push_back({FromUtf8(entry.text), ToPixels(entry.rect.width),
                          ToPixels(entry.rect.height)});
    }
  }
  return FittingFont(kControlFamilies, kControlPixels, captions);
}

// A push button that Enter and Return click as well as Space, as on the
// desktops this calculator's users come from; it is still no default button.
class PushButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      click();
      return;
    }
    QPushButton::keyPressEvent(event);
  }
};

QWidget* MakeControl(const ControlEntry& entry, QWidget* parent) {
  const QString text = FromUtf8(entry.text);
  switch (entry.kind) {
    case ControlKind::kLabel: {
      // Captions are drawn from the top of their rectangle, not centred.
      auto* label = new QLabel(text, parent);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
    case ControlKind::kTextBox:
      return new QLineEdit(text, parent);
    case ControlKind::kMultiLineTextBox: {
      auto* box = new QPlainTextEdit(text, parent);
      box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
      // A word wider than the box is broken at its edge: with no scroll
      // bars, nothing typed or reported may be hidden.
      box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
      box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      box->setTabChangesFocus(true);
      const int margins = 2 * box->frameWidth() + 2 * qRound(box->document()->documentMargin());
      box->setFont(ReportFont(ToPixels(entry.rect.width) - margins,
                              ToPixels(entry.rect.height) - margins));
      return box;
    }
    case ControlKind::kPushButton: {
      auto* button = new PushButton(text, parent);
      button->setAutoDefault(false);
      button->setDefault(false);
      return button;
    }
  }
  return nullptr;
}

// The message of a run that ended early, in a warning box whose text can be
// selected and copied: Ctrl+C copies the selection, or the whole message
// when nothing is selected.
class FaultBox : public QMessageBox {
 public:
  FaultBox(const QString& title, const QString& message, QWidget* parent)
      : QMessageBox(QMessageBox::Warning, title, message, QMessageBox::Ok, parent) {
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->matches(QKeySequence::Copy)) {
      const auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
      const bool selection = label != nullptr && label->hasSelectedText();
      QGuiApplication::clipboard()->setText(selection ? label->selectedText() : text());
      event->accept();
      return;
    }
    QMessageBox::keyPressEvent(event);
  }
};

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
  setWindowTitle(FromUtf8(kWindowTitle));
  setWindowIcon(QIcon(QPixmap::fromImage(AppIconImage())));
  resize(ToPixels(kClientWidthTwips), ToPixels(kClientHeightTwips));
  setFont(ControlFont());
  buildControls();
  setTabOrder();

  decimal_symbol_ = QLocale::system().decimalPoint().toStdString();
  present_fault_ = [this](const QString& message) {
    FaultBox(FromUtf8(kWindowTitle), message, this).exec();
  };
  connect(go_, &QPushButton::clicked, this, &MainWindow::onGoClicked);
  control(kFirstFocus)->setFocus();
}

void MainWindow::buildControls() {
  for (const ControlEntry& entry : kControls) {
    QWidget* widget = MakeControl(entry, this);
    widget->setObjectName(FromUtf8(entry.name));
    widget->setGeometry(ToPixels(entry.rect.left), ToPixels(entry.rect.top),
                        ToPixels(entry.rect.width), ToPixels(entry.rect.height));
    if (entry.box) {
      boxes_[Index(*entry.box)] = widget;
      line_boxes_[Index(*entry.box)] = qobject_cast<QLineEdit*>(widget);
      if (auto* report = qobject_cast<QPlainTextEdit*>(widget)) report_ = report;
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) go_ = button;
  }
}

// Tab follows the tab indexes of the focusable controls; labels take none.
void MainWindow::setTabOrder() const {
  std::vector<const ControlEntry*> order;
  for (const ControlEntry& entry : kControls) {
    if (entry.kind != ControlKind::kLabel) order.push_back(&entry);
  }
  std::sort(order.begin(), order.end(), [](auto* a, auto* b) {
    return a->tab_index < b->tab_index;
  });
  for (std::size_t i = 1; i < order.size(); ++i) {
    QWidget::setTabOrder(control(order[i - 1]->name), control(order[i]->name));
  }
}

void MainWindow::setFaultPresenter(FaultPresenter presenter) {
  present_fault_ = std::move(presenter);
}

QWidget* MainWindow::control(std::string_view name) const {
  return findChild<QWidget*>(FromUtf8(name), Qt::FindDirectChildrenOnly);
}

std::string MainWindow::Text(Box box) const {
  if (QLineEdit* line = line_boxes_[Index(box)]) return line->text().toStdString();
  // The report box keeps "\n" between lines; the calculation sees "\r\n".
  QString text = report_->toPlainText();
  return text.replace(QLatin1Char('\n'), QLatin1String("\r\n")).toStdString();
}

void MainWindow::SetText(Box box, std::string text) {
  QString value = QString::fromStdString(text);
  if (QLineEdit* line = line_boxes_[Index(box)]) {
    line->setText(value);
    return;
  }
  value.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  report_->setPlainText(value);
}

void MainWindow::onGoClicked() {
  try {
    OnGoClick(*this, action_);
  } catch (const ArithmeticFault& fault) {
    present_fault_(QString::fromStdString(
        FaultMessage(fault.kind(), EndStage(action_))));
  } catch (const std::bad_alloc&) {
    present_fault_(QStringLiteral("Out of memory: an input text is too long."));
  }
}

}  // namespace synthfactors::ui
