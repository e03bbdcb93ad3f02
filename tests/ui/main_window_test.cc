// The window driven as a user would, headless (QT_QPA_PLATFORM=offscreen).
#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

#include <memory>

#include "app_icon.h"
#include "main_window.h"

using synthfactors::Box;
using synthfactors::ui::MainWindow;

namespace {

const char* const kWorkedReport =
    "Reference / 100\r\nRF   / 10000\r\nComparison freq  100.kHz\r\nNo Error\r\n"
    "\r\nHex divider values \r\nR  0x64  N  0x2710";

struct Rect {
  const char* name;
  int left, top, width, height;  // twips
};

// The layout as drawn up for the window, in twips.
const Rect kLayout[] = {
    {"Label1", 1920, 480, 1335, 255},  {"RFOut", 240, 480, 1575, 285},
    {"Label4", 3480, 600, 1695, 255},  {"Label2", 1920, 840, 1575, 255},
    {"RFMult", 240, 840, 1575, 285},   {"RFund", 3360, 840, 1815, 285},
    {"Label5", 1920, 1200, 1695, 255}, {"Ref", 240, 1200, 1575, 285},
    {"Label6", 1920, 1560, 1695, 255}, {"MinFC", 240, 1560, 1575, 285},
    {"Label7", 1920, 1920, 1575, 255}, {"MaxFC", 240, 1920, 1575, 285},
    {"DivDisp", 240, 2280, 3735, 2655}, {"GO", 4200, 2280, 975, 735},
};

struct Pixels {
  int row, first, last;
  QRgb color;
};

// The icon: black runs and three shaded pixels on pale green.
const QRgb kBlack = qRgb(0, 0, 0);
const Pixels kIconInk[] = {
    {3, 14, 15, kBlack},  {3, 18, 18, kBlack},  {4, 14, 15, kBlack},
    {4, 18, 18, kBlack},  {5, 14, 16, kBlack},  {5, 18, 18, kBlack},
    {6, 14, 14, kBlack},  {6, 16, 16, kBlack},  {6, 18, 18, kBlack},
    {6, 17, 17, qRgb(83, 104, 83)},             {7, 14, 14, kBlack},
    {7, 17, 18, kBlack},  {7, 16, 16, qRgb(159, 199, 159)},
    {8, 14, 14, kBlack},  {8, 17, 18, kBlack},  {9, 14, 14, kBlack},
    {9, 18, 18, kBlack},  {18, 7, 8, kBlack},   {18, 10, 11, kBlack},
    {18, 13, 20, kBlack}, {18, 22, 26, kBlack}, {24, 14, 16, kBlack},
    {24, 17, 17, qRgb(133, 167, 133)},          {25, 14, 18, kBlack},
    {26, 14, 14, kBlack}, {26, 18, 19, kBlack}, {27, 14, 18, kBlack},
    {28, 14, 17, kBlack}, {29, 14, 14, kBlack}, {29, 17, 18, kBlack},
    {30, 14, 14, kBlack}, {30, 18, 18, kBlack}, {31, 14, 14, kBlack},
    {31, 18, 19, kBlack},
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<MainWindow> window_;
  QStringList faults_;

  QLineEdit* box(const char* name) {
    return qobject_cast<QLineEdit*>(window_->control(name));
  }
  QPlainTextEdit* report() {
    return qobject_cast<QPlainTextEdit*>(window_->control("DivDisp"));
  }
  QPushButton* go() { return qobject_cast<QPushButton*>(window_->control("GO")); }
  void type(const char* name, const QString& text) {
    box(name)->clear();
    QTest::keyClicks(box(name), text);
  }

 private slots:
  void init() {
    window_ = std::make_unique<MainWindow>();
    faults_.clear();
    window_->setFaultPresenter([this](const QString& m) { faults_ << m; });
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  }
  void cleanup() { window_.reset(); }

  void startTextsCaptionsAndTitle() {
    QCOMPARE(window_->windowTitle(), QString("uWave Frequency Synthesis Factors"));
    QCOMPARE(window_->size(), QSize(352, 341));
    const std::pair<Box, const char*> start_texts[] = {
        {Box::RFOut, ""},  {Box::RFMult, "1"}, {Box::Ref, "10"},  {Box::MinFC, "5"},
        {Box::MaxFC, "100"}, {Box::RFund, ""}, {Box::DivDisp, ""}};
    for (const auto& [b, text] : start_texts) QCOMPARE(window_->Text(b), std::string(text));
    QCOMPARE(go()->text(), QString("GO !"));
    const std::pair<const char*, const char*> captions[] = {
        {"Label1", "RF Output  MHz"},     {"Label2", "RF Multiplication"},
        {"Label4", "RF Source Frequency"}, {"Label5", "Ref. Input   MHz"},
        {"Label6", "Minimum Fcomp  kHz"}, {"Label7", "Maximum Fcomp kHz"}};
    for (const auto& [name, caption] : captions) {
      QCOMPARE(qobject_cast<QLabel*>(window_->control(name))->text(), QString(caption));
    }
  }

  void controlsSitAtTheirRectangles() {
    for (const Rect& r : kLayout) {
      QCOMPARE(window_->control(r.name)->geometry(),
               QRect(r.left / 15, r.top / 15, r.width / 15, r.height / 15));
    }
    window_->resize(700, 600);  // resizing moves nothing
    QCOMPARE(window_->control("GO")->geometry(), QRect(280, 152, 65, 49));
  }

  void captionsShowWhole() {
    for (const Rect& r : kLayout) {
      auto* label = qobject_cast<QLabel*>(window_->control(r.name));
      if (label == nullptr) continue;
      const QFontMetrics metrics(label->font());
      QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->contentsRect().width(),
               r.name);
      QVERIFY2(metrics.height() <= label->contentsRect().height(), r.name);
    }
    const QFontMetrics button(go()->font());
    QVERIFY(button.horizontalAdvance(go()->text()) < go()->width());
  }

  // The first painted row of each caption is where the text's capitals
  // begin when it is drawn from the top of the rectangle; centred text in
  // the 17-pixel labels would start two or three rows lower.
  void captionsAreDrawnFromTheTopOfTheirRectangles() {
    for (const Rect& r : kLayout) {
      auto* label = qobject_cast<QLabel*>(window_->control(r.name));
      if (label == nullptr) continue;
      const QImage image = label->grab().toImage();
      int top = -1;
      for (int y = 0; y < image.height() && top < 0; ++y) {
        for (int x = 0; x < image.width(); ++x) {
          if (qGray(image.pixel(x, y)) < 128) {
            top = y;
            break;
          }
        }
      }
      const QFontMetrics metrics(label->font());
      QVERIFY2(top >= 0, r.name);
      QVERIFY2(top <= metrics.ascent() - metrics.capHeight() + 1,
               qPrintable(QString("%1: first painted row %2").arg(r.name).arg(top)));
    }
  }

  void reportBoxWrapsWithoutScrollBars() {
    QCOMPARE(report()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(report()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(report()->font().weight(), QFont::Normal);
  }

  // A word wider than the box is broken at its edge, so all of it shows.
  void aLongWordIsBrokenNotCutOff() {
    report()->setFocus();
    QTest::keyClicks(report(), "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdef");
    QApplication::processEvents();
    const QTextLayout* layout = report()->document()->firstBlock().layout();
    QVERIFY(layout->lineCount() >= 2);
    const int width = report()->viewport()->width();
    for (int i = 0; i < layout->lineCount(); ++i) {
      QVERIFY2(layout->lineAt(i).naturalTextWidth() <= width,
               qPrintable(QString("line %1 is wider than the box").arg(i)));
    }
  }

  // The message box the window shows by default: Ctrl+C copies its message.
  void theFaultMessageCanBeCopied() {
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    qobject_cast<QLineEdit*>(window.control("RFOut"))->setText("1000");
    qobject_cast<QLineEdit*>(window.control("MinFC"))->setText("100");
    qobject_cast<QLineEdit*>(window.control("MaxFC"))->setText("5");
    QApplication::clipboard()->clear();
    QString shown;
    QTimer::singleShot(0, [&shown] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      shown = box->text();
      QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
      box->accept();
    });
    qobject_cast<QPushButton*>(window.control("GO"))->click();
    QVERIFY(shown.startsWith("Division by zero: no divider pair fits"));
    QCOMPARE(QApplication::clipboard()->text(), shown);
  }

  void focusStartsInRFMultAndTabFollowsTheTabIndexes() {
    QCOMPARE(QApplication::focusWidget(), window_->control("RFMult"));
    const QStringList expected = {"RFund", "Ref",   "DivDisp", "GO",
                                  "MinFC", "RFOut", "MaxFC",   "RFMult"};
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);
  }

  void mouseClickOnGoRunsTheWorkedExample() {
    type("RFOut", "1000");
    QTest::mouseClick(go(), Qt::LeftButton);
    QCOMPARE(box("RFund")->text(), QString(" 1000"));
    QCOMPARE(window_->Text(Box::DivDisp), std::string(kWorkedReport));
    QCOMPARE(report()->document()->blockCount(), 7);
    QVERIFY(faults_.isEmpty());
  }

  void spaceAndEnterOnGoRunIt() {
    type("RFOut", "1000.001");
    go()->setFocus();
    QTest::keyClick(go(), Qt::Key_Space);
    QCOMPARE(box("RFund")->text(), QString(" 1000.001"));
    QVERIFY(window_->Text(Box::DivDisp).ends_with("R  0x7D0  N  0x30D40"));

    type("RFOut", "1234.5678");
    type("Ref", "13");
    type("MinFC", "10");
    type("MaxFC", "200");
    go()->setFocus();
    QTest::keyClick(go(), Qt::Key_Return);
    QCOMPARE(report()->toPlainText(),
             QString("Reference / 1143\nRF   / 108547\nComparison freq  11.37358kHz\n"
                     "Error  4.024Hz        3* 10^-9\n\nHex divider values \n"
                     "R  0x477  N  0x1A803"));
  }

  // Run once in the C locale and once in German (see CMakeLists.txt).
  void reportTakesTheSystemDecimalSymbol() {
    const QString symbol = qEnvironmentVariable("EXPECTED_DECIMAL_SYMBOL", ".");
    type("RFOut", "1234.5678");
    type("Ref", "13");
    type("MinFC", "10");
    type("MaxFC", "200");
    go()->click();
    QCOMPARE(box("RFund")->text(), QString(" 1234.5678"));
    QCOMPARE(report()->toPlainText(),
             QString("Reference / 1143\nRF   / 108547\nComparison freq  11@37358kHz\n"
                     "Error  4@024Hz        3* 10^-9\n\nHex divider values \n"
                     "R  0x477  N  0x1A803")
                 .replace(QLatin1Char('@'), symbol));
  }

  // Each line of the report keeps to one line of the box, whatever faces
  // the system has (run again without Liberation, see CMakeLists.txt).
  void theReportsLinesAreNotWrapped() {
    type("RFOut", "1234.5678");
    type("Ref", "13");
    type("MinFC", "10");
    type("MaxFC", "200");
    go()->click();
    QApplication::processEvents();
    for (QTextBlock block = report()->document()->firstBlock(); block.isValid();
         block = block.next()) {
      QVERIFY2(block.layout()->lineCount() == 1, qPrintable(block.text()));
    }
  }

  void enterInATextBoxStartsNothing() {
    type("RFOut", "1000");
    QTest::keyClick(box("RFOut"), Qt::Key_Return);
    QTest::keyClick(box("RFOut"), Qt::Key_Enter);
    QCOMPARE(box("RFund")->text(), QString(""));
    QCOMPARE(report()->toPlainText(), QString(""));
  }

  void goBeforeAnythingIsTypedChangesNothing() {
    QTest::mouseClick(go(), Qt::LeftButton);
    QCOMPARE(box("RFund")->text(), QString(""));
    QCOMPARE(report()->toPlainText(), QString(""));
    QVERIFY(faults_.isEmpty());
  }

  void aFaultKeepsEarlierTextsAndTheWindowWorksAfterwards() {
    type("RFOut", "1000");
    go()->click();
    type("RFOut", "2000");
    type("MinFC", "100");
    type("MaxFC", "5");
    go()->click();
    QCOMPARE(faults_.size(), 1);
    QVERIFY(faults_[0].startsWith("Division by zero: no divider pair fits"));
    QCOMPARE(box("RFund")->text(), QString(" 2000"));
    QCOMPARE(window_->Text(Box::DivDisp), std::string(kWorkedReport));

    type("MinFC", "5");
    type("MaxFC", "100");
    type("RFOut", "3e8");  // N beyond 32 bits: lines 1-4 only
    go()->click();
    QCOMPARE(faults_.size(), 2);
    QVERIFY(faults_[1].startsWith("Overflow: N does not fit in 32 bits"));
    QCOMPARE(report()->document()->blockCount(), 4);

    type("RFOut", "1000");
    go()->click();
    QCOMPARE(faults_.size(), 2);
    QCOMPARE(window_->Text(Box::DivDisp), std::string(kWorkedReport));
  }

  void typedOutputTextsAreOverwrittenByTheNextRun() {
    QTest::keyClicks(box("RFund"), "typed");
    QTest::keyClicks(report(), "notes");
    QCOMPARE(box("RFund")->text(), QString("typed"));
    QCOMPARE(report()->toPlainText(), QString("notes"));
    type("RFOut", "1000");
    go()->click();
    QCOMPARE(box("RFund")->text(), QString(" 1000"));
    QCOMPARE(window_->Text(Box::DivDisp), std::string(kWorkedReport));
  }

  void iconMatchesItsPixelMap() {
    const QImage icon = synthfactors::ui::AppIconImage();
    QCOMPARE(icon.size(), QSize(32, 32));
    QImage expected(32, 32, QImage::Format_RGB32);
    expected.fill(qRgb(204, 255, 204));
    for (const Pixels& run : kIconInk) {
      for (int x = run.first; x <= run.last; ++x) expected.setPixel(x, run.row, run.color);
    }
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) {
        QVERIFY2(qAlpha(icon.pixel(x, y)) == 255, "icon must be opaque");
        QVERIFY2(icon.pixel(x, y) == expected.pixel(x, y),
                 qPrintable(QString("pixel %1,%2").arg(x).arg(y)));
      }
    }
    QVERIFY(!window_->windowIcon().isNull());
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
