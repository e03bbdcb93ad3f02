// The planner driven as a user would, headless, against the command line's
// own output for the same inputs.
#include <set>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QAbstractSeries>
#include <QChart>
#include <QValueAxis>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QLocale>
#include <QProcess>
#include <QProgressBar>
#include <QAction>
#include <QSignalSpy>
#include <QTableView>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <memory>

#include "alternatives_panel.h"
#include "noise_panel.h"
#include "plan_results.h"
#include "chip_file.h"
#include "design_file.h"
#include "json_reading.h"
#include "result_json.h"
#include "stored_channels.h"
#include "plan_form.h"
#include "plan_chart.h"
#include "loop_text.h"
#include "plan_table_model.h"
#include "planner_window.h"

using synthfactors::formats::SweepFormat;
using synthfactors::planner::FormBox;
using synthfactors::planner::PlannerWindow;

namespace {

// The example band of the README.
const QStringList kBandArguments = {"--sweep", "10368:10370:0.025", "--mult", "4"};

QByteArray RunCli(const QStringList& arguments) {
  QProcess cli;
  cli.start(QStringLiteral(SYNTHFACTORS_CLI_PATH), arguments);
  cli.waitForFinished(120000);
  return cli.readAllStandardOutput();
}

void SetBand(PlannerWindow& window, const QString& from = "10368", const QString& to = "10370",
             const QString& step = "0.025") {
  window.Box(FormBox::kFrom)->setText(from);
  window.Box(FormBox::kTo)->setText(to);
  window.Box(FormBox::kStep)->setText(step);
  window.Box(FormBox::kMult)->setText("4");
}

void ChooseChip(PlannerWindow& window, const QString& name) {
  QComboBox* chip = window.ChipChoice();
  chip->setCurrentIndex(chip->findText(name));
  emit chip->activated(chip->currentIndex());
}

// The band on the adf4106 compared at 1 ... 1000 kHz: errors of both signs
// and many sizes.
const QStringList kRoughBandArguments =
    kBandArguments + QStringList{"--chip", "adf4106", "--min-fc", "1", "--max-fc", "1000"};
void SetRoughBand(PlannerWindow& window) {
  SetBand(window);
  ChooseChip(window, "adf4106");
  window.Box(FormBox::kMinFc)->setText("1");
  window.Box(FormBox::kMaxFc)->setText("1000");
}

bool PlanAndWait(PlannerWindow& window) {
  QSignalSpy ended(&window, &PlannerWindow::workEnded);
  window.Plan();
  return window.Busy() && ended.wait(120000);
}

// A cell as a copy holds it: its exact text (B and A in hexadecimal).
QString ExactCell(const synthfactors::planner::PlanTableModel& model, int row, int column) {
  return model.ExactText(std::size_t(model.ChannelAt(row)), std::size_t(column));
}

// The command line's field as the table's exact text has it.
QString AsCopied(const QString& column, const QString& field) {
  if ((column == "b" || column == "a") && !field.isEmpty()) {
    return "0x" + QString::number(field.toLongLong(), 16).toUpper();
  }
  return field;
}

// The CLI's CSV rows without its comment line; no field here is quoted.
QList<QStringList> CsvRows(const QByteArray& csv) {
  QList<QStringList> rows;
  for (const QByteArray& line : csv.split('\n')) {
    if (!line.isEmpty() && !line.startsWith('#')) rows.push_back(QString(line).split(','));
  }
  return rows;
}

}  // namespace

class PlannerWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void tableAndChartShowTheCommandLinesPlan_data();
  void tableAndChartShowTheCommandLinesPlan();
  void exportWritesTheCommandLinesBytes_data();
  void exportWritesTheCommandLinesBytes();
  void theChartIsExportedAsAPngImage();
  void choosingAChipFillsItsRanges();
  void badInputMarksItsBoxAndRunsNothing_data();
  void badInputMarksItsBoxAndRunsNothing();
  void cancelStopsAMillionChannelPlan();
  void strangeTextsNeverCrashOrHang();
  void alternativesAreTheCommandLinesRanking_data();
  void alternativesAreTheCommandLinesRanking();
  void sortingAndCopyKeepTheCells();
  void readsTheLocalesDecimalSymbol();
  void noTextWidensTheWindow();
  void theKeyboardReachesEverything();
  void channelsWithFaultsAreCountedAndNotCharted();
  void channelsWithoutASettingAreShadedWithTheirReason();
  void theChartBreaksItsLineWhereChannelsHaveNoFigure();
  void figuresShowNineDigitsAndDividersAllTheirs();
  void aStoredChannelReadsBackAsTheRunLeftIt();
  void repeatedPlansKeepNoMemory();
  void theKeyboardSortsChoosesColumnsAndSeesTheChartsFocus();
  void theWindowFitsA1280By900ScreenAtTwiceTheScale();
  void theShownPlanStaysUntilANewOneIsComplete();
  void numbersAndNamesReadWell();
  void alternativesAreCopiedWholeAndListedOffTheWindowsThread();
  void aSavedDesignPlansTheSameAgain();
  void aBadDesignIsRefusedAndTheInputsStay();
  void theChartZoomsReadsOutAndSelects();
  void theErrorLimitCountsTheChannelsBeyondIt();
  void aFormReadsIntoTheTextsADesignKeeps();
  void theNoisePreferenceIsAChoiceOfAFractionalChip();
  void aLoopPlanHasJitterPerChannelAndTheSelectedChannelsNoise();
  void theMicrowavePartsShowTheirPathAndWordsAsTheCommandLine();
  void hexColumnsSortByValue();
  void aDesignNamesTheWindowAndIsSavedAgainInPlace();
  void theChipBoxOpensNoDialogUnderTheWheelOrTheArrows();
  void hiddenColumnsStayHiddenInTheNextPlanAndWindow();
};

void PlannerWindowTest::initTestCase() {
  // Recent designs go to a settings file of the test's own.
  QStandardPaths::setTestModeEnabled(true);
  QCoreApplication::setOrganizationName("synthfactors-test");
  QCoreApplication::setApplicationName("planner-test");
}

void PlannerWindowTest::tableAndChartShowTheCommandLinesPlan_data() {
  QTest::addColumn<QString>("to");
  QTest::addColumn<QString>("chip");
  QTest::addColumn<QString>("fom");
  QTest::addColumn<bool>("one_r");
  QTest::addColumn<QStringList>("options");
  QTest::newRow("plain") << "10370" << "none" << "" << false << kBandArguments;
  QTest::newRow("chip and noise")
      << "10370" << "adf4106" << "-220" << false
      << kBandArguments + QStringList{"--chip", "adf4106", "--fom", "-220"};
  QTest::newRow("one R") << "10370" << "none" << "" << true
                         << kBandArguments + QStringList{"--common-r"};
  QTest::newRow("one frequency") << "" << "none" << "" << false
                                 << QStringList{"--sweep", "10368:10368:1", "--mult", "4"};
}

void PlannerWindowTest::tableAndChartShowTheCommandLinesPlan() {
  QFETCH(QString, to);
  QFETCH(QString, chip);
  QFETCH(QString, fom);
  QFETCH(bool, one_r);
  QFETCH(QStringList, options);
  PlannerWindow window;
  SetBand(window, "10368", to);
  ChooseChip(window, chip);
  window.Box(FormBox::kFom)->setText(fom);
  window.OneR()->setChecked(one_r);
  QVERIFY(PlanAndWait(window));

  const QList<QStringList> expected = CsvRows(RunCli(options));
  const auto* model = window.TableModel();
  QCOMPARE(model->rowCount() + 1, expected.size());
  QCOMPARE(model->columnCount(), expected[0].size());
  int exact = 0;
  for (int column = 0; column < model->columnCount(); ++column) {
    // Captions in words; the tooltip names the exported column.
    QVERIFY(model->headerData(column, Qt::Horizontal, Qt::ToolTipRole)
                .toString()
                .startsWith(expected[0][column] + " "));
  }
  QCOMPARE(model->headerData(7, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Error (Hz)"));
  for (int row = 0; row < model->rowCount(); ++row) {
    for (int column = 0; column < model->columnCount(); ++column) {
      QCOMPARE(ExactCell(*model, row, column), AsCopied(expected[0][column], expected[row + 1][column]));
      QCOMPARE(model->index(row, column).data(Qt::ToolTipRole).toString(), ExactCell(*model, row, column));
    }
    exact += expected[row + 1][expected[0].indexOf("exact")] == "true" ? 1 : 0;
  }
  QCOMPARE(window.Chart()->PlanPointCount(), model->rowCount());
  QCOMPARE(window.Chart()->ExactPointCount(), exact);
}

void PlannerWindowTest::exportWritesTheCommandLinesBytes_data() {
  QTest::addColumn<bool>("json");
  QTest::addColumn<bool>("one_r");
  QTest::newRow("CSV") << false << false;
  QTest::newRow("JSON Lines") << true << false;
  QTest::newRow("CSV, one R") << false << true;
  QTest::newRow("JSON Lines, one R") << true << true;
  QTest::newRow("CSV, max2870 words, divided") << false << false;
  QTest::newRow("JSON Lines, max2870 words, divided") << true << false;
  QTest::newRow("CSV, max2870 fractional, spur clear") << false << false;
}

void PlannerWindowTest::exportWritesTheCommandLinesBytes() {
  QFETCH(bool, json);
  QFETCH(bool, one_r);
  const bool words = QString(QTest::currentDataTag()).contains("words");
  const bool fractional = QString(QTest::currentDataTag()).contains("fractional");
  const QString chip = words ? "max2870-int" : fractional ? "max2870" : "adf4106";
  PlannerWindow window;
  SetBand(window);
  ChooseChip(window, chip);
  window.OneR()->setChecked(one_r);
  if (words) {
    QVERIFY(window.RegisterWords()->isEnabled() && window.FeedbackChoice()->isEnabled());
    window.RegisterWords()->setChecked(true);
    window.FeedbackChoice()->setCurrentIndex(1);
  }
  if (fractional) {  // compared at 1 ... 50 MHz, where INT fits its 12 bits
    window.Box(FormBox::kSpurClear)->setText("100");
    window.Box(FormBox::kMinFc)->setText("1000");
    window.Box(FormBox::kMaxFc)->setText("50000");
  }
  QVERIFY(PlanAndWait(window));
  if (fractional) {  // the spur offsets are charted
    window.ChartFigureChoice()->setCurrentIndex(int(synthfactors::planner::ChartFigure::kSpurOffset));
    QVERIFY2(window.Chart()->PlanPointCount() > 0,
             qPrintable(QString::number(window.TableModel()->rowCount())));
  }
  QTemporaryDir folder;
  const QString path = folder.filePath("plan");
  QSignalSpy ended(&window, &PlannerWindow::workEnded);
  window.ExportTo(path, json ? SweepFormat::kJsonLines : SweepFormat::kCsv);
  QVERIFY(ended.wait(60000));
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QStringList arguments = kBandArguments + QStringList{"--chip", chip};
  if (words) arguments << "--registers" << "--feedback" << "divided";
  if (fractional) arguments << "--spur-clear" << "100" << "--min-fc" << "1000" << "--max-fc" << "50000";
  if (json) arguments << "--json";
  if (one_r) arguments << "--common-r";
  QCOMPARE(file.readAll(), RunCli(arguments));
  QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"plan"});  // no leftovers

  // A place that cannot be written is said so, and nothing is claimed.
  window.ExportTo(folder.filePath("no folder/plan"), SweepFormat::kCsv);
  QVERIFY(ended.wait(60000));
  QVERIFY2(window.Status().startsWith("Cannot write"), qPrintable(window.Status()));
}

void PlannerWindowTest::theChartIsExportedAsAPngImage() {
  PlannerWindow window;
  window.resize(1000, 700);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  SetBand(window);
  QVERIFY(PlanAndWait(window));
  window.Chart()->setFocus();  // its focus frame is the window's, not the image's
  QTRY_VERIFY(window.Chart()->hasFocus());
  QTemporaryDir folder;
  const QString path = folder.filePath("chart.png");
  window.ExportChartTo(path);
  QCOMPARE(window.Status(), "Chart written to " + path + ".");
  const QImage image(path);
  QVERIFY(!image.isNull());
  const qreal scale = window.Chart()->devicePixelRatioF();
  QCOMPARE(image.size(), (QSizeF(window.Chart()->viewport()->size()) * scale).toSize());
  const QColor highlight = window.Chart()->palette().color(QPalette::Highlight);
  QVERIFY(image.pixelColor(1, 1) != highlight);
  QVERIFY(image.pixelColor(image.width() / 2, 1) != highlight);
  // The chart is in it: its line's colours and the axes' text, not a blank.
  QSet<QRgb> colours;
  for (int y = 0; y < image.height(); y += 3) {
    for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
  }
  QVERIFY2(colours.size() > 20, qPrintable(QString::number(colours.size())));
  // The plan just shown is laid out: the frequency axis's text (dark grey)
  // is along the bottom, as the window shows it.
  int text = 0;
  for (int y = image.height() * 3 / 4; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      text += c.red() < 110 && c.green() < 110 && c.blue() < 110;
    }
  }
  QVERIFY2(text > 50, qPrintable(QString::number(text)));

  // A place that cannot be written is said so; nothing else is written.
  window.ExportChartTo(folder.filePath("no folder/chart.png"));
  QVERIFY2(window.Status().startsWith("Cannot write"), qPrintable(window.Status()));
  QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"chart.png"});
}

void PlannerWindowTest::choosingAChipFillsItsRanges() {
  PlannerWindow window;
  ChooseChip(window, "adf4106");
  const auto text = [&](FormBox box) { return window.Box(box)->text(); };
  QCOMPARE(text(FormBox::kRFirst) + ":" + text(FormBox::kRLast), QString("1:16383"));
  // N depends on each channel's prescaler until one is chosen.
  QCOMPARE(text(FormBox::kNFirst) + ":" + text(FormBox::kNLast), QString(":"));
  QComboBox* prescaler = window.PrescalerChoice();
  QVERIFY(prescaler->isEnabled());
  prescaler->setCurrentIndex(prescaler->findText("32/33"));
  emit prescaler->activated(prescaler->currentIndex());
  QCOMPARE(text(FormBox::kNFirst) + ":" + text(FormBox::kNLast), QString("96:262143"));
  ChooseChip(window, "none");
  QVERIFY(text(FormBox::kRFirst).isEmpty() && text(FormBox::kNLast).isEmpty());
  QVERIFY(!prescaler->isEnabled());
  // A range typed stays through the next chips; the untouched one follows.
  ChooseChip(window, "adf4106");
  window.Box(FormBox::kRLast)->setText("1000");
  ChooseChip(window, "adf4351");
  QCOMPARE(text(FormBox::kRFirst) + ":" + text(FormBox::kRLast), QString("1:1000"));
  ChooseChip(window, "max2870");
  QCOMPARE(text(FormBox::kRFirst) + ":" + text(FormBox::kRLast), QString("1:1000"));
  window.Box(FormBox::kRFirst)->clear();
  window.Box(FormBox::kRLast)->clear();
  ChooseChip(window, "none");

  // A user's profile: a bad one is refused at the chip box, a good one chosen.
  QTemporaryDir folder;
  QFile bad(folder.filePath("bad.json"));
  QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("{\"name\": \"x\", \"r\": 5}") > 0);
  bad.close();
  const int choices = window.ChipChoice()->count();
  QVERIFY(!window.OpenProfile(bad.fileName()));
  QVERIFY2(window.FaultOf(FormBox::kChip).contains("bad.json"),
           qPrintable(window.FaultOf(FormBox::kChip)));
  QCOMPARE(window.ChipChoice()->currentText(), QString("none"));
  QCOMPARE(window.ChipChoice()->count(), choices);
  QVERIFY(QFile::copy(QStringLiteral(SYNTHFACTORS_CHIPS_DIR "/adf4106.json"),
                      folder.filePath("mine.json")));
  QVERIFY(window.OpenProfile(folder.filePath("mine.json")));
  QVERIFY(window.FaultOf(FormBox::kChip).isEmpty());
  // Listed under the profile's name, the file in its tooltip.
  QCOMPARE(window.ChipChoice()->currentText(), QString("adf4106 (file)"));
  QCOMPARE(window.ChipChoice()->currentData(Qt::ToolTipRole).toString(), folder.filePath("mine.json"));
  QCOMPARE(text(FormBox::kRFirst) + ":" + text(FormBox::kRLast), QString("1:16383"));
}

void PlannerWindowTest::badInputMarksItsBoxAndRunsNothing_data() {
  QTest::addColumn<int>("box");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("reason");
  const auto row = [](const char* name, FormBox box, const char* text, const char* reason) {
    QTest::newRow(name) << static_cast<int>(box) << text << reason;
  };
  row("unit", FormBox::kFrom, "10368MHz", "is not a number");
  row("decimal comma of another locale", FormBox::kMult, "1234,5", "is not a number");
  row("two points", FormBox::kRef, "1.2.3", "is not a number");
  row("empty", FormBox::kRef, " ", "needs a number");
  row("zero step", FormBox::kStep, "0", "STEP must be greater than 0");
  row("TO below FROM", FormBox::kTo, "10000", "TO must not be below FROM");
  row("too many points", FormBox::kStep, "0.0000001", "more than 10000000 points");
  row("zero multiplication", FormBox::kMult, "0", "must not be 0");
  row("zero reference", FormBox::kRef, "-0", "must be above 0");
  row("window upside down", FormBox::kMaxFc, "4", "must not be below");
  row("half a range", FormBox::kRLast, "", "both ends");
  row("R beyond the search", FormBox::kRFirst, "0", "R range");
  row("fractional N", FormBox::kNFirst, "2.5", "whole number");
  row("offset 0", FormBox::kOffset, "0", "above 0");
  row("control character", FormBox::kFom, "\x01-220", "not a number");
  // Without a chip, the reason names none: "(such as", never "(, such as".
  row("tolerance without a chip", FormBox::kTolerance, "1", "chip (such as adf4351");
  row("path without a chip", FormBox::kRefPath, "auto", "path (such as lmx2594");
}

void PlannerWindowTest::badInputMarksItsBoxAndRunsNothing() {
  QFETCH(int, box);
  QFETCH(QString, text);
  QFETCH(QString, reason);
  PlannerWindow window;
  SetBand(window);
  const auto which = static_cast<FormBox>(box);
  for (const FormBox range : {FormBox::kRFirst, FormBox::kNFirst}) window.Box(range)->setText("5");
  for (const FormBox range : {FormBox::kRLast, FormBox::kNLast}) window.Box(range)->setText("100");
  window.Box(which)->setText(text);
  window.Plan();
  QVERIFY(!window.Busy());
  QCOMPARE(window.TableModel()->rowCount(), 0);
  QVERIFY2(window.FaultOf(which).contains(reason), qPrintable(window.FaultOf(which)));
  QVERIFY(window.Status().startsWith("Nothing planned"));
  // Editing the box clears its mark.
  emit window.Box(which)->textEdited({});
  QVERIFY(window.FaultOf(which).isEmpty());
}

void PlannerWindowTest::cancelStopsAMillionChannelPlan() {
  PlannerWindow window;
  SetBand(window, "1000", "1999.999", "0.001");
  QSignalSpy ended(&window, &PlannerWindow::workEnded);
  window.Plan();
  QTest::qWait(300);
  QVERIFY(window.Busy());
  window.Cancel();
  QVERIFY(ended.wait(5000));
  QVERIFY2(window.Status().contains(" of " + QLocale().toString(1000000) + " channels"),
           qPrintable(window.Status()));
  QVERIFY(window.Status().startsWith("Cancelled after "));
  QCOMPARE(window.TableModel()->rowCount(), 0);
  QCOMPARE(window.Chart()->PlanPointCount(), 0);

  // Editing an input stops it too.
  window.Plan();
  QTest::qWait(100);
  QVERIFY(window.Busy());
  emit window.Box(FormBox::kRef)->textEdited("10");
  QVERIFY(ended.wait(5000));
  QVERIFY(window.Status().startsWith("Cancelled after "));
}

void PlannerWindowTest::strangeTextsNeverCrashOrHang() {
  const QStringList texts = {QString(400, '9'), "1e309", "nan", "inf", "-", ".", "+.", "1,2,3",
                             QString::fromUtf8("\u0663"), "0x10", " 10368.05 ", QString(100000, '1')};
  for (int slot = 0; slot <= static_cast<int>(FormBox::kOffset); ++slot) {
    for (const QString& text : texts) {
      PlannerWindow window;
      SetBand(window, "10368", "10368.1");
      window.Box(static_cast<FormBox>(slot))->setText(text);
      QSignalSpy ended(&window, &PlannerWindow::workEnded);
      window.Plan();
      QVERIFY(!window.Busy() || ended.wait(20000));
    }
  }
  // Closing the window in the middle of a plan stops it.
  auto window = std::make_unique<PlannerWindow>();
  SetBand(*window, "1000", "1999.999", "0.001");
  window->Plan();
  QTest::qWait(100);
  window.reset();
}

void PlannerWindowTest::alternativesAreTheCommandLinesRanking_data() {
  QTest::addColumn<QString>("chip");
  QTest::addColumn<QString>("ranked");
  QTest::newRow("dual-modulus") << "adf4106" << "exact first";
  QTest::newRow("fractional-N") << "adf4351" << "the best setting of each R";
}

void PlannerWindowTest::alternativesAreTheCommandLinesRanking() {
  QFETCH(QString, chip);
  QFETCH(QString, ranked);
  PlannerWindow window;
  SetBand(window);
  ChooseChip(window, chip);
  QVERIFY(PlanAndWait(window));
  window.TableView()->selectRow(41);
  QTRY_VERIFY(window.Alternatives()->Table()->rowCount() > 1);
  QVERIFY2(window.Alternatives()->Title()->text().contains(ranked),
           qPrintable(window.Alternatives()->Title()->text()));
  const QString rf = window.TableModel()->index(41, 0).data().toString();
  const QStringList channel = {"--rf-out", rf, "--mult", "4", "--chip", chip};
  const QJsonObject result =
      QJsonDocument::fromJson(RunCli(channel + QStringList{"--alternatives", "20", "--json"}))
          .object();
  const QJsonArray expected = result["alternatives"].toArray();
  const QTableWidget* table = window.Alternatives()->Table();
  QCOMPARE(table->rowCount(), expected.size());
  for (int row = 0; row < table->rowCount(); ++row) {
    const QJsonObject alternative = expected[row].toObject();
    QCOMPARE(table->columnCount(), alternative.size());
    for (int column = 0; column < table->columnCount(); ++column) {
      // Headed in words, the column's name behind; the exact text in the
      // tooltip, and shown to nine digits, flags in words.
      const QString name = table->horizontalHeaderItem(column)->data(Qt::UserRole).toString();
      QCOMPARE(table->horizontalHeaderItem(column)->text(),
               synthfactors::planner::PlanTableModel::Caption(name.toStdString()));
      const QJsonValue value = alternative[name];
      const QString exact = table->item(row, column)->toolTip();
      const QString cell = table->item(row, column)->text();
      if (name == "b" || name == "a") {  // as the registers take them
        QCOMPARE(cell, "0x" + QString::number(value.toInteger(), 16).toUpper());
      } else if (value.isDouble()) {
        QCOMPARE(exact.toDouble(), value.toDouble());
        QCOMPARE(cell.toDouble(), QString::number(value.toDouble(), 'g', 9).toDouble());
      } else if (value.isBool()) {
        QCOMPARE(cell, value.toBool() ? "yes" : "no");
        QCOMPARE(exact, value.toBool() ? "true" : "false");
      } else if (value.isNull()) {
        QCOMPARE(cell, QString());
      } else {
        QCOMPARE(cell, value.toString());
      }
    }
  }
  // The first alternative is the chosen pair: its report is what the
  // command line writes for the channel, counters and all; the second's is
  // the channel run with its R and N.
  const QString plain = RunCli(channel);
  QCOMPARE(window.Alternatives()->Report(0), plain);
  QVERIFY(plain.startsWith("RF Source Frequency") && plain.contains("Hex divider values"));
  QVERIFY(chip != "adf4106" || plain.contains("\nCounters  P "));
  const QJsonObject second = expected[1].toObject();
  const QString r = QString::number(second["r"].toInteger()), n = QString::number(second["n"].toInteger());
  QCOMPARE(window.Alternatives()->Report(1),
           QString(RunCli(channel + QStringList{"--r-range", r + ":" + r, "--n-range", n + ":" + n})));
}

void PlannerWindowTest::sortingAndCopyKeepTheCells() {
  PlannerWindow window;
  SetRoughBand(window);
  QVERIFY(PlanAndWait(window));
  auto* model = window.TableModel();
  const int error = 7;  // error_hz
  QCOMPARE(model->headerData(error, Qt::Horizontal, Qt::DisplayRole).toString(), "Error (Hz)");
  // Errors sort by their size.
  window.TableView()->sortByColumn(error, Qt::DescendingOrder);
  bool signs_mixed = false;
  for (int row = 1; row < model->rowCount(); ++row) {
    const double before = ExactCell(*model, row - 1, error).toDouble();
    const double after = ExactCell(*model, row, error).toDouble();
    QVERIFY(std::fabs(before) >= std::fabs(after));
    signs_mixed |= before * after < 0;
  }
  QVERIFY(signs_mixed);
  // Shown to nine digits, copied exactly.
  for (int row = 0; row < model->rowCount(); ++row) {
    const QString shown = model->index(row, error).data().toString();
    const QString exact = ExactCell(*model, row, error);
    QVERIFY2(shown == exact || (exact.size() > shown.size() &&
                                 std::fabs(shown.toDouble() - exact.toDouble()) <=
                                     std::fabs(exact.toDouble()) * 1e-8),
             qPrintable(shown + " " + exact));
  }
  window.TableView()->selectionModel()->select(
      QItemSelection(model->index(0, 0), model->index(0, model->columnCount() - 1)),
      QItemSelectionModel::ClearAndSelect);
  window.TableView()->setFocus();
  QTest::keySequence(window.TableView(), QKeySequence::Copy);
  QStringList cells;
  for (int column = 0; column < model->columnCount(); ++column) cells << ExactCell(*model, 0, column);
  QCOMPARE(QGuiApplication::clipboard()->text(), cells.join('\t') + '\n');
}

// Run under a German locale by its own CTest entry.
void PlannerWindowTest::readsTheLocalesDecimalSymbol() {
  if (QLocale::system().decimalPoint() != ",") QSKIP("needs a locale with a decimal comma");
  PlannerWindow window;
  SetBand(window, "10368", "10368,1", "0,025");
  window.Box(FormBox::kRef)->setText("10.0");  // "." is read everywhere
  QVERIFY(PlanAndWait(window));
  QTemporaryDir folder;
  QSignalSpy ended(&window, &PlannerWindow::workEnded);
  window.ExportTo(folder.filePath("plan.csv"), SweepFormat::kCsv);
  QVERIFY(ended.wait(60000));
  QFile file(folder.filePath("plan.csv"));
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(file.readAll(),
           RunCli({"--sweep", "10368:10368.1:0.025", "--mult", "4", "--ref", "10.0"}));
  // The table and its copies use the locale's decimal symbol.
  const auto* model = window.TableModel();
  QCOMPARE(model->index(1, 0).data().toString(), QString("10368,025"));
  QCOMPARE(ExactCell(*model, 1, 1), QString(" 2592,00625"));
  QVERIFY(!model->index(1, 7).data().toString().contains('.'));
}

void PlannerWindowTest::noTextWidensTheWindow() {
  PlannerWindow window;
  window.resize(1000, 700);
  window.show();
  SetBand(window);
  // No R puts the comparison in a window of 0 kHz: every channel a fault,
  // with a long message.
  window.Box(FormBox::kMinFc)->setText("0");
  window.Box(FormBox::kMaxFc)->setText("0");
  QVERIFY(PlanAndWait(window));
  const int width = window.width();
  window.TableView()->selectRow(3);
  QSignalSpy listed(window.Alternatives(), &synthfactors::planner::AlternativesPanel::listed);
  QVERIFY(listed.wait(10000));
  QTest::qWait(50);
  QVERIFY2(window.Alternatives()->Title()->text().size() > 200,
           qPrintable(window.Alternatives()->Title()->text()));
  QCOMPARE(window.width(), width);
  QVERIFY(window.minimumSizeHint().width() <= width);
}

void PlannerWindowTest::theKeyboardReachesEverything() {
  PlannerWindow window;
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  QVERIFY(!window.TableView()->tabKeyNavigation());
  QVERIFY(!window.Alternatives()->Table()->tabKeyNavigation());
  SetBand(window);
  // Enter on the chip list plans, as in a box.
  window.ChipChoice()->setFocus();
  QSignalSpy ended(&window, &PlannerWindow::workEnded);
  QTest::keyClick(window.ChipChoice(), Qt::Key_Return);
  QVERIFY(window.Busy() || ended.count() > 0);
  QVERIFY(ended.count() > 0 || ended.wait(20000));
  // Alt+P presses Plan; Escape cancels a running plan.
  SetBand(window, "1000", "1999.999", "0.001");
  window.Box(FormBox::kFrom)->setFocus();
  // (Sent through the window, as a keyboard does, so that shortcuts apply.)
  QTest::keyClick(window.windowHandle(), Qt::Key_P, Qt::AltModifier);
  QTRY_VERIFY(window.Busy());  // a mnemonic presses its button after a short flash
  QCOMPARE(window.Box(FormBox::kFrom)->text(), QString("1000"));  // no "p" typed
  QTest::qWait(100);
  QTest::keyClick(window.windowHandle(), Qt::Key_Escape);
  QVERIFY(ended.wait(5000));
  QVERIFY2(window.Status().startsWith("Cancelled after"), qPrintable(window.Status()));
  // Ctrl+Return plans from anywhere.
  SetBand(window);
  window.TableView()->setFocus();
  const qsizetype plans = ended.count();
  QTest::keyClick(window.windowHandle(), Qt::Key_Return, Qt::ControlModifier);
  QTRY_VERIFY_WITH_TIMEOUT(ended.count() > plans, 20000);
  QVERIFY2(window.Status().startsWith("Planned 81 channels"), qPrintable(window.Status()));
  // Enter on an alternative opens its report.
  window.TableView()->selectRow(2);
  QSignalSpy listed(window.Alternatives(), &synthfactors::planner::AlternativesPanel::listed);
  QVERIFY(listed.wait(10000));
  QTableWidget* alternatives = window.Alternatives()->Table();
  alternatives->setFocus();
  alternatives->setCurrentCell(0, 0);
  QTest::keyClick(alternatives, Qt::Key_Return);
  const auto dialogs = window.findChildren<QDialog*>();
  QCOMPARE(dialogs.size(), 1);
  QVERIFY(dialogs.front()->isVisible());
  dialogs.front()->close();
  // Every caption of the input column has its mnemonic.
  for (const char* name : {"from", "to", "step", "mult", "ref", "min_fc", "max_fc", "chip"}) {
    auto* box = window.findChild<QWidget*>(name);
    bool labelled = false;
    for (const QLabel* label : window.findChildren<QLabel*>()) {
      labelled |= label->buddy() == box && label->text().contains('&');
    }
    QVERIFY2(labelled, name);
  }
}

void PlannerWindowTest::channelsWithFaultsAreCountedAndNotCharted() {
  // An N beyond any register, and no R for a window of 0 kHz.
  for (const auto& [box, text] : {std::pair{FormBox::kMult, QString("0.0000000000000000000001")},
                                  {FormBox::kMaxFc, QString("0")}}) {
    PlannerWindow window;
    SetBand(window);
    if (box == FormBox::kMaxFc) window.Box(FormBox::kMinFc)->setText("0");
    window.Box(box)->setText(text);
    QVERIFY(PlanAndWait(window));
    QVERIFY2(window.Status().contains("81 of 81 channels have no setting: at 10368 MHz, "),
             qPrintable(window.Status()));
    // Without a comparison frequency, no channel has a figure to chart.
    if (box == FormBox::kMaxFc) {
      QVERIFY(window.Chart()->NothingToChart());
      QVERIFY(window.Chart()->chart()->title().startsWith("No channel to chart"));
    }
  }
  PlannerWindow window;
  SetBand(window);
  QVERIFY(PlanAndWait(window));
  QCOMPARE(window.Status(), QString("Planned 81 channels."));
  QVERIFY(!window.Chart()->NothingToChart());
}

void PlannerWindowTest::channelsWithoutASettingAreShadedWithTheirReason() {
  using synthfactors::planner::PlanTableModel;
  // Beyond the adf4351's outputs: every channel, the chip's note as reason.
  PlannerWindow window;
  SetBand(window);
  window.Box(FormBox::kMult)->setText("1");
  ChooseChip(window, "adf4351");
  QVERIFY(PlanAndWait(window));
  QCOMPARE(window.Status(),
           QString("Planned 81 channels. 81 of 81 channels have no setting: at 10368 MHz, the "
                   "source frequency 10368 MHz is outside the adf4351's range of 2200 to 4400 MHz."));
  QVERIFY(window.Chart()->NothingToChart());
  // The last two channels past N's range: shaded, the Fault column saying
  // why, the export and a copy keeping the command line's "no setting".
  SetBand(window, "2399.9", "2400.2", "0.05");
  window.Box(FormBox::kMult)->setText("1");
  window.Box(FormBox::kRFirst)->setText("100");
  window.Box(FormBox::kRLast)->setText("100");
  window.Box(FormBox::kNFirst)->setText("23999");
  window.Box(FormBox::kNLast)->setText("24000");
  QVERIFY(PlanAndWait(window));
  const PlanTableModel* model = window.TableModel();
  const int fault = int(model->Plan()->columns.size()) - 1 -
                    int(std::find(model->Plan()->columns.rbegin(), model->Plan()->columns.rend(),
                                  "fault") - model->Plan()->columns.rbegin());
  const QString why = "no divider pair fits: ";
  QVERIFY2(window.Status().startsWith("Planned 7 channels. 3 of 7 channels have no setting: at "
                                      "2400.1 MHz, " + why),
           qPrintable(window.Status()));
  for (int row = 0; row < 7; ++row) {
    const QModelIndex cell = model->index(row, fault);
    const bool without = row >= 4;
    QCOMPARE(model->data(cell, Qt::BackgroundRole).isValid(), without);
    QCOMPARE(model->data(cell, Qt::DisplayRole).toString().startsWith("no setting: " + why), without);
    QCOMPARE(model->data(model->index(row, 0), Qt::ToolTipRole).toString().startsWith(why), without);
    QCOMPARE(ExactCell(*model, row, fault), without ? QString("no setting") : QString());
  }
  QCOMPARE(window.Chart()->PlanPointCount(), 4);
}

void PlannerWindowTest::theChartBreaksItsLineWhereChannelsHaveNoFigure() {
  using synthfactors::planner::PlanChart;
  using synthfactors::planner::PlanOutcome;
  const double nan = std::nan("");
  // Ten channels, the fifth and sixth without a figure: two pieces.
  auto plan = std::make_shared<PlanOutcome>();
  plan->chart.Resize(10);
  for (std::size_t i = 0; i < 10; ++i) {
    plan->chart.rf_mhz[i] = 1000 + double(i);
    plan->chart.error_hz[i] = i == 4 || i == 5 ? nan : double(i);
  }
  PlanChart chart;
  chart.SetPlan(plan);
  QCOMPARE(chart.PlanRunCount(), 2);
  QCOMPARE(chart.PlanPointCount(), 8);
  QVERIFY(!chart.NothingToChart());
  // Every other channel without: a comb of 500 pieces is drawn as dots.
  auto comb = std::make_shared<PlanOutcome>();
  comb->chart.Resize(1000);
  for (std::size_t i = 0; i < 1000; ++i) {
    comb->chart.rf_mhz[i] = 1000 + double(i);
    comb->chart.error_hz[i] = i % 2 == 0 ? nan : 1.0;
  }
  chart.SetPlan(comb);
  QCOMPARE(chart.PlanRunCount(), 0);
  QCOMPARE(chart.PlanPointCount(), 500);
  // And back to one piece: the pieces left over are emptied.
  auto whole = std::make_shared<PlanOutcome>();
  whole->chart.Resize(3);
  for (std::size_t i = 0; i < 3; ++i) whole->chart.rf_mhz[i] = whole->chart.error_hz[i] = double(i);
  chart.SetPlan(plan);
  chart.SetPlan(whole);
  QCOMPARE(chart.PlanRunCount(), 1);
  QCOMPARE(chart.PlanPointCount(), 3);
}

void PlannerWindowTest::figuresShowNineDigitsAndDividersAllTheirs() {
  PlannerWindow window;
  SetBand(window, "7500.123456789", "7500.123456791", "0.000000001");
  window.Box(FormBox::kMult)->setText("1");
  window.Box(FormBox::kRef)->setText("100");
  ChooseChip(window, "lmx2594");
  window.Box(FormBox::kMinFc)->setText("1000");
  window.Box(FormBox::kMaxFc)->setText("200000");
  QVERIFY(PlanAndWait(window));
  const auto* model = window.TableModel();
  const auto& columns = model->Plan()->columns;
  const auto at = [&](const char* name) {
    return int(std::find(columns.begin(), columns.end(), name) - columns.begin());
  };
  const auto shown = [&](int row, const char* name) {
    return model->data(model->index(row, at(name)), Qt::DisplayRole).toString();
  };
  // A 10-digit MOD is a divider: all its digits, never "3.2e+09".
  QCOMPARE(shown(0, "mod"), QString("3200000000"));
  QCOMPARE(shown(1, "frac"), QString("2012345679"));
  // A measured figure to nine digits; the tooltip and a copy exact.
  QCOMPARE(shown(0, "vco_mhz"), QString("7500.12346"));
  QCOMPARE(model->data(model->index(0, at("vco_mhz")), Qt::ToolTipRole).toString(),
           QString("7500.123456789"));
  QCOMPARE(ExactCell(*model, 0, at("vco_mhz")), QString("7500.123456789"));
  QCOMPARE(shown(0, "exact"), QString("yes"));
  QCOMPARE(ExactCell(*model, 0, at("exact")), QString("true"));
  QCOMPARE(model->headerData(at("vco_mhz"), Qt::Horizontal, Qt::DisplayRole).toString(),
           QString("VCO (MHz)"));
}

// A plan keeps each channel small; what it reads back is what the run left,
// field for field: the JSON of every field, words, loop and all, is the
// run's own.
void PlannerWindowTest::aStoredChannelReadsBackAsTheRunLeftIt() {
  using synthfactors::planner::StoredChannels;
  const char* const lines[] = {
      R"({"rf_out": "10368.025", "mult": "4"})",
      R"({"rf_out": "10368.025", "mult": "4", "chip": "adf4106", "registers": true, "fom": "-220"})",
      R"({"rf_out": "2400.1234", "chip": "adf4351", "registers": true, "feedback": "divided"})",
      R"({"rf_out": "2400.001", "chip": "max2870", "registers": true, "tolerance": "100", "spur_clear": "10"})",
      R"({"rf_out": "7500.123456789", "chip": "lmx2594", "ref": "100", "min_fc": "1000", "max_fc": "200000", "registers": true})",
      R"({"rf_out": "5000.5", "chip": "adf5356", "ref": "122.88", "min_fc": "1000", "max_fc": "125000", "registers": true})",
      R"({"rf_out": "2400.5", "chip": "adf4351", "ref": "25", "min_fc": "10000", "max_fc": "25000", "fom": "-220", "loop_bandwidth": "50", "kvco": "40", "lock_jump": "5"})",
      R"({"rf_out": "10368", "chip": "adf4351"})",
      R"({"rf_out": "1000", "mult": "0.0000000000000000000001"})",
  };
  StoredChannels stored;
  stored.Resize(std::size(lines), true);
  std::vector<synthfactors::runner::RunResult> runs;
  for (const char* line : lines) {
    std::string error;
    const auto checked = synthfactors::formats::ReadRunLine(line, synthfactors::formats::LoadChip, error);
    QVERIFY2(checked, error.c_str());
    runs.push_back(synthfactors::runner::RunOnce(checked->inputs, ".", checked->plan));
    stored.Store(runs.size() - 1, runs.back());
  }
  for (std::size_t i = 0; i < runs.size(); ++i) {
    synthfactors::runner::RunResult back = runs[i];
    static_cast<synthfactors::runner::ChannelFigures&>(back) = {};
    stored.Read(i, back);
    QCOMPARE(QString::fromStdString(synthfactors::formats::ResultToJson(back).dump()),
             QString::fromStdString(synthfactors::formats::ResultToJson(runs[i]).dump()));
    QCOMPARE(stored.HasSetting(i), !runs[i].fault && !runs[i].no_setting);
  }
  QVERIFY(runs[4].registers && runs[4].registers->size() > 100);  // the lmx2594's 113 words
  QVERIFY(runs[6].loop.has_value());
  QVERIFY(runs[7].no_setting && runs[8].fault);
}

// The resident memory of this process, bytes.
std::int64_t ResidentBytes() {
  QFile statm("/proc/self/statm");
  if (!statm.open(QIODevice::ReadOnly)) return -1;
  const QList<QByteArray> fields = statm.readAll().split(' ');
  return fields.size() > 1 ? fields[1].toLongLong() * 4096 : -1;
}

// A big plan with words holds what the documentation says, and planning
// again and again, big and small, does not grow the memory kept.
void PlannerWindowTest::repeatedPlansKeepNoMemory() {
  if (ResidentBytes() < 0) QSKIP("no /proc/self/statm here");
  PlannerWindow window;
  ChooseChip(window, "adf4351");
  window.Box(FormBox::kFom)->setText("-220");
  window.RegisterWords()->setChecked(true);
  std::vector<std::int64_t> after_small;
  for (int cycle = 0; cycle < 6; ++cycle) {
    SetBand(window, "2400", "2599.999", "0.001");  // 200,000 channels
    window.Box(FormBox::kMult)->setText("1");
    const std::int64_t before = ResidentBytes();
    QVERIFY(PlanAndWait(window));
    QCOMPARE(window.TableModel()->rowCount(), 200000);
    const std::int64_t held = ResidentBytes() - before;
    qInfo("cycle %d: 200,000 channels hold %lld MB", cycle, static_cast<long long>(held >> 20));
    // About 400 bytes a channel (docs/planner.md): words as numbers.
    QVERIFY2(held < 110 << 20, "a plan holds more than its figures");
    SetBand(window, "2400", "2402", "0.025");  // 81 channels
    window.Box(FormBox::kMult)->setText("1");
    QVERIFY(PlanAndWait(window));
    after_small.push_back(ResidentBytes());
    qInfo("cycle %d: after 81 channels %lld MB", cycle, static_cast<long long>(after_small.back() >> 20));
  }
  // Settled after two cycles; a few megabytes either way are the heap's.
  const auto [low, high] = std::minmax_element(after_small.begin() + 2, after_small.end());
  QVERIFY2(*high - *low < 12 << 20, "the memory grows plan by plan");
}

void PlannerWindowTest::theKeyboardSortsChoosesColumnsAndSeesTheChartsFocus() {
  PlannerWindow window;
  window.show();
  window.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  SetRoughBand(window);
  QVERIFY(PlanAndWait(window));
  const auto* model = window.TableModel();
  const auto& columns = model->Plan()->columns;
  const int error = int(std::find(columns.begin(), columns.end(), "error_hz") - columns.begin());
  QTableView* table = window.TableView();
  table->setFocus();
  table->setCurrentIndex(model->index(3, error));
  // The Menu key (a keyboard context-menu event) opens the table's menu:
  // sort by the current column, choose the columns.
  QStringList seen;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    for (QAction* action : menu->actions()) {
      seen << action->text();
      if (action->text() == "Sort by Error (Hz), &descending") action->trigger();
      if (action->menu() != nullptr) {
        for (QAction* column : action->menu()->actions()) {
          if (column->text() == "Error (ppb)") column->trigger();  // hides it
        }
      }
    }
    menu->close();
  });
  QContextMenuEvent menu_key(QContextMenuEvent::Keyboard, QPoint(4, 4),
                             table->viewport()->mapToGlobal(QPoint(4, 4)));
  QApplication::sendEvent(table->viewport(), &menu_key);
  QVERIFY2(seen.contains("Sort by Error (Hz), &ascending"), qPrintable(seen.join(" | ")));
  QCOMPARE(table->horizontalHeader()->sortIndicatorSection(), error);
  QCOMPARE(table->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
  const auto size = [&](int row) { return std::fabs(model->index(row, error).data(Qt::ToolTipRole).toString().toDouble()); };
  for (int row = 1; row < model->rowCount(); ++row) QVERIFY(size(row - 1) >= size(row) || size(row) == 0);
  const int ppb = int(std::find(columns.begin(), columns.end(), "error_ppb") - columns.begin());
  QVERIFY(table->horizontalHeader()->isSectionHidden(ppb));
  window.Results()->SetColumnShown(ppb, true);
  // The chart with the focus is framed in the highlight colour.
  auto* chart = window.Chart();
  const QPoint corner = chart->viewport()->mapTo(chart, QPoint(1, 1));
  const QColor highlight = chart->palette().color(QPalette::Highlight);
  window.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  chart->setFocus(Qt::TabFocusReason);
  QTRY_VERIFY(chart->hasFocus());
  QCOMPARE(chart->grab().toImage().pixelColor(corner), highlight);
  table->setFocus();
  QTRY_VERIFY(!chart->hasFocus());
  QVERIFY(chart->grab().toImage().pixelColor(corner) != highlight);
}

// At twice the scale a 1280 x 900 screen is 640 x 450 of the window's own
// pixels: the whole window fits there, the form and results scrolling or
// sharing the room, nothing cut off.
void PlannerWindowTest::theWindowFitsA1280By900ScreenAtTwiceTheScale() {
  PlannerWindow window;
  window.show();
  const QSize least = window.minimumSizeHint().expandedTo(window.minimumSize());
  qInfo("least size %dx%d", least.width(), least.height());
  QVERIFY2(least.width() <= 640 && least.height() <= 450,
           qPrintable(QString("%1 x %2").arg(least.width()).arg(least.height())));
  // At that size the chart's frequency labels thin out rather than run
  // into each other.
  window.resize(least);
  SetBand(window);
  QVERIFY(PlanAndWait(window));
  QCoreApplication::processEvents();
  auto* chart = window.Chart();
  const auto* axis = qobject_cast<QValueAxis*>(chart->chart()->axes(Qt::Horizontal).front());
  const int label = QFontMetrics(axis->labelsFont()).horizontalAdvance("10369.95") + 8;
  QVERIFY2(chart->XTickCount() * label <= chart->chart()->plotArea().width(),
           qPrintable(QString("%1 labels on %2 pixels").arg(chart->XTickCount())
                          .arg(chart->chart()->plotArea().width())));
  QVERIFY(chart->XTickCount() >= 2);
}

void PlannerWindowTest::theShownPlanStaysUntilANewOneIsComplete() {
  PlannerWindow window;
  SetBand(window);
  QVERIFY(PlanAndWait(window));
  QCOMPARE(window.TableModel()->rowCount(), 81);
  SetBand(window, "1000", "1999.999", "0.001");
  QSignalSpy ended(&window, &PlannerWindow::workEnded);
  window.Plan();
  QCOMPARE(window.TableModel()->rowCount(), 81);  // still shown while planning
  QTest::qWait(200);
  window.Cancel();
  QVERIFY(ended.wait(5000));
  QCOMPARE(window.TableModel()->rowCount(), 81);
  QCOMPARE(window.Chart()->PlanPointCount(), 81);
  QVERIFY2(window.Status().endsWith("the plan shown is the earlier one."), qPrintable(window.Status()));
  QVERIFY(window.PlanAction()->isEnabled() && !window.CancelAction()->isEnabled());
}

void PlannerWindowTest::numbersAndNamesReadWell() {
  PlannerWindow window;
  window.show();
  SetBand(window, "10368", "");
  QVERIFY(PlanAndWait(window));
  QCOMPARE(window.Status(), QString("Planned 1 channel."));
  QCOMPARE(window.ExportName(SweepFormat::kCsv), QString("plan-10368.csv"));
  SetBand(window);
  // The progress bar's place is kept while hidden: nothing moves when it shows.
  const QPoint plan_button = window.findChild<QPushButton*>("plan")->mapTo(&window, QPoint());
  const int bar_width = window.ProgressBar()->width();
  SetBand(window, "1000", "1999.999", "0.001");
  QSignalSpy ended(&window, &PlannerWindow::workEnded);
  window.Plan();
  QTRY_VERIFY(window.ProgressBar()->isTextVisible());
  QCOMPARE(window.findChild<QPushButton*>("plan")->mapTo(&window, QPoint()), plan_button);
  QCOMPARE(window.ProgressBar()->width(), bar_width);
  const QString progress = window.ProgressBar()->text();
  QVERIFY2(progress.endsWith(" of " + QLocale().toString(1000000) + " channels"), qPrintable(progress));
  const QFontMetrics metrics(window.ProgressBar()->font());
  QVERIFY(metrics.horizontalAdvance(progress) < bar_width);
  window.Cancel();
  QVERIFY(ended.wait(5000));
  SetBand(window);
  QVERIFY(PlanAndWait(window));
  QCOMPARE(window.ExportName(SweepFormat::kJsonLines), QString("plan-10368-10370.jsonl"));
}

void PlannerWindowTest::alternativesAreCopiedWholeAndListedOffTheWindowsThread() {
  PlannerWindow window;
  SetBand(window);
  ChooseChip(window, "adf4106");
  QVERIFY(PlanAndWait(window));
  auto* panel = window.Alternatives();
  QSignalSpy listed(panel, &synthfactors::planner::AlternativesPanel::listed);
  window.TableView()->selectRow(5);
  // Asked for, then worked out on a worker: the panel says so meanwhile.
  // (Read just after the panel starts the worker: a zero timer set now runs
  // after the one the selection set, and before the worker's answer.)
  QString meanwhile;
  QTimer::singleShot(0, panel, [&] { meanwhile = panel->Title()->text(); });
  QVERIFY(listed.wait(10000));
  QVERIFY2(meanwhile.startsWith("Listing the alternatives"), qPrintable(meanwhile));
  QTableWidget* table = panel->Table();
  table->setFocus();
  table->selectAll();
  QTest::keySequence(table, QKeySequence::Copy);
  const QStringList lines = QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
  QCOMPARE(lines.size(), table->rowCount() + 1);
  QVERIFY(lines[0].startsWith("Rank\tR\tN\tComparison (kHz)\t"));
  QCOMPARE(lines[1].split('\t').size(), table->columnCount());
}

void PlannerWindowTest::aSavedDesignPlansTheSameAgain() {
  QTemporaryDir folder;
  const QString design = folder.filePath("band.json");
  QByteArray exported;
  {
    PlannerWindow window;
    SetBand(window, "10368", "10369", "0.025");
    ChooseChip(window, "adf4106");
    window.Box(FormBox::kRLast)->setText("1000");  // narrower than the chip's
    window.Box(FormBox::kFom)->setText("-220");
    window.OneR()->setChecked(true);
    QVERIFY(window.SaveDesign(design));
    QVERIFY2(window.Status().startsWith("Saved the design"), qPrintable(window.Status()));
    QVERIFY(PlanAndWait(window));
    QSignalSpy ended(&window, &PlannerWindow::workEnded);
    window.ExportTo(folder.filePath("first.csv"), SweepFormat::kCsv);
    QVERIFY(ended.wait(60000));
    QFile file(folder.filePath("first.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    exported = file.readAll();
  }
  PlannerWindow window;
  QSignalSpy ended(&window, &PlannerWindow::workEnded);
  QVERIFY(window.OpenDesign(design));
  QVERIFY(ended.wait(60000));
  QCOMPARE(window.ChipChoice()->currentText(), QString("adf4106"));
  QCOMPARE(window.Box(FormBox::kRLast)->text(), QString("1000"));
  QVERIFY(window.OneR()->isChecked());
  window.ExportTo(folder.filePath("again.csv"), SweepFormat::kCsv);
  QVERIFY(ended.wait(60000));
  QFile again(folder.filePath("again.csv"));
  QVERIFY(again.open(QIODevice::ReadOnly));
  QCOMPARE(again.readAll(), exported);
  // The command line runs the design with the export's bytes.
  QCOMPARE(RunCli({"--plan", design}), exported);
  // And remembers it among the recent designs.
  QCOMPARE(QSettings().value("recent_designs").toStringList().value(0), design);
}

// The title names the design; Ctrl+S saves to it without asking; Open
// recent tells same-named designs apart by their folders and forgets the
// ones gone.
void PlannerWindowTest::aDesignNamesTheWindowAndIsSavedAgainInPlace() {
  QTemporaryDir folder;
  QVERIFY(QDir(folder.path()).mkdir("a") && QDir(folder.path()).mkdir("b"));
  const QString first = folder.filePath("a/band.json"), second = folder.filePath("b/band.json");
  PlannerWindow window;
  SetBand(window);
  QVERIFY(!window.windowTitle().contains("band.json"));
  QVERIFY(window.SaveDesign(first));
  QCOMPARE(window.windowTitle().remove("[*]"), QString("band.json — synthfactors planner"));
  QVERIFY(!window.isWindowModified());
  window.Box(FormBox::kMult)->clear();
  QTest::keyClicks(window.Box(FormBox::kMult), "2");  // typed, as a user edits
  QVERIFY(window.isWindowModified());
  // Closing asks first: Cancel stays, Discard closes.
  for (const QMessageBox::StandardButton button : {QMessageBox::Cancel, QMessageBox::Discard}) {
    bool asked = false;
    QTimer::singleShot(50, [&asked, button] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        asked = true;
        box->button(button)->click();
      }
    });
    const bool closed = window.close();
    QVERIFY(asked);
    QCOMPARE(closed, button == QMessageBox::Discard);
  }
  window.SaveDesignShortcut();  // no dialog: the design's own file
  QVERIFY(!window.isWindowModified());
  QVERIFY(window.close());  // nothing left to save: no question
  std::string error;
  const auto saved = synthfactors::formats::ReadDesign(first.toStdString(), error);
  QVERIFY2(saved.has_value(), error.c_str());
  QCOMPARE(QString::fromStdString(saved->texts[synthfactors::runner::Input::kMult].value_or("")),
           QString("2"));
  QVERIFY(window.SaveDesign(second));
  QVERIFY(window.SaveDesign(folder.filePath("gone.json")));
  QVERIFY(QFile::remove(folder.filePath("gone.json")));
  emit window.RecentMenu()->aboutToShow();
  QStringList entries;
  for (const QAction* action : window.RecentMenu()->actions()) entries << action->text();
  QCOMPARE(entries.size(), 2);
  QVERIFY2(entries[0].contains("band.json (in ") && entries[0].endsWith("/b)"),
           qPrintable(entries.join(" | ")));
  QVERIFY2(entries[1].endsWith("/a)"), qPrintable(entries.join(" | ")));
  QVERIFY(!QSettings().value("recent_designs").toStringList().join(" ").contains("gone.json"));
}

void PlannerWindowTest::aBadDesignIsRefusedAndTheInputsStay() {
  QTemporaryDir folder;
  PlannerWindow window;
  SetBand(window);
  ChooseChip(window, "adf4106");
  const auto refused = [&](const QByteArray& text, const QString& reason) {
    QFile file(folder.filePath("bad.json"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) >= 0);
    file.close();
    QVERIFY(!window.OpenDesign(file.fileName()));
    QVERIFY2(window.Status().contains(reason), qPrintable(window.Status()));
    QVERIFY(window.Status().endsWith("the inputs are as they were."));
    QVERIFY(!window.Busy());
    QCOMPARE(window.Box(FormBox::kFrom)->text(), QString("10368"));
    QCOMPARE(window.Box(FormBox::kMult)->text(), QString("4"));
    QCOMPARE(window.ChipChoice()->currentText(), QString("adf4106"));
  };
  refused(R"({"sweep": "1:2:1", "fom": "x"})", "fom \"x\" is not a number");
  refused(R"({"sweep": "1:2:1", "colour": "red"})", "unknown member \"colour\"");
  refused(R"({"sweep": "1:2:1", "chip": "nosuchchip"})", "no chip profile");
  refused(R"({"mult": "4"})", "member \"sweep\" is missing");
  refused("not json", "not valid JSON");
  QVERIFY(!window.OpenDesign(folder.path()));
  QVERIFY(window.Status().contains("a directory"));
  // A form with a fault is not saved.
  window.Box(FormBox::kRef)->setText("x");
  QVERIFY(!window.SaveDesign(folder.filePath("never.json")));
  QVERIFY(window.Status().startsWith("Nothing saved"));
  QVERIFY(!QFile::exists(folder.filePath("never.json")));
}

void PlannerWindowTest::theChartZoomsReadsOutAndSelects() {
  PlannerWindow window;
  window.resize(1200, 900);
  window.show();
  SetBand(window);
  QVERIFY(PlanAndWait(window));
  auto* chart = window.Chart();
  QCOMPARE(chart->PlanPointCount(), 81);
  // Zoomed into a few channels, only they are drawn; Home shows the band.
  chart->ShowRange(10369, 10369.1);
  QCOMPARE(chart->PlanPointCount(), 5);
  chart->ResetZoom();
  QCOMPARE(chart->PlanPointCount(), 81);
  chart->ZoomAt(10369, 0.5);
  QVERIFY(chart->Shown().second - chart->Shown().first < 1.01);
  chart->ResetZoom();
  // A click on a point selects its channel in the table.
  const int channel = 20;  // 10368.5 MHz
  const double error = window.TableModel()->ExactText(channel, 7).toDouble();
  const QPoint at = chart->mapFromScene(chart->chart()->mapToPosition(
      QPointF(10368.5, error), chart->chart()->series().at(2)));
  QTest::mouseClick(chart->viewport(), Qt::LeftButton, {}, at);
  QTRY_COMPARE(window.TableModel()->ChannelAt(window.TableView()->currentIndex().row()), channel);
  QVERIFY(chart->ReadoutOf(channel).startsWith("10368.5 MHz: output error "));
  QTest::mouseMove(chart->viewport(), at + QPoint(1, 0));
  QTRY_VERIFY2(window.Readout()->text().startsWith("10368.") &&
                   window.Readout()->text().contains(" MHz: output error "),
               qPrintable(window.Readout()->text()));
}

void PlannerWindowTest::theErrorLimitCountsTheChannelsBeyondIt() {
  PlannerWindow window;
  SetRoughBand(window);
  QVERIFY(PlanAndWait(window));
  const QList<QStringList> rows = CsvRows(RunCli(kRoughBandArguments));
  const int error = rows[0].indexOf("error_hz");
  int over = 0;
  for (int row = 1; row < rows.size(); ++row) over += std::fabs(rows[row][error].toDouble()) > 100 ? 1 : 0;
  QVERIFY(over > 0 && over < 81);
  window.ErrorLimit()->setText("100");
  QCOMPARE(window.Chart()->ChannelsOverLimit(), over);
  bool named = false;
  for (QAbstractSeries* series : window.Chart()->chart()->series()) {
    named |= series->isVisible() && series->name() == QString("±100 Hz: %1 over").arg(over);
  }
  QVERIFY(named);
  window.ErrorLimit()->setText("x");
  QCOMPARE(window.Chart()->ChannelsOverLimit(), 0);
}

// What a saved design holds: the texts with "." for the point, the band as
// FROM:TO:STEP, no range the chip fills in, no empty option.
void PlannerWindowTest::aFormReadsIntoTheTextsADesignKeeps() {
  using synthfactors::planner::PlanForm;
  using synthfactors::planner::PlanRequest;
  using synthfactors::runner::Input;
  std::string error;
  PlanForm form;
  form.Text(FormBox::kFrom) = "10368";
  form.Text(FormBox::kTo) = "10370,5";
  form.Text(FormBox::kStep) = " 0,025 ";
  form.Text(FormBox::kMult) = "4";
  form.Text(FormBox::kRef) = "12,8";
  form.Text(FormBox::kMinFc) = "5";
  form.Text(FormBox::kMaxFc) = "100";
  form.Text(FormBox::kFom) = "-220,5";
  form.chip = "adf4106";
  form.chip_profile = synthfactors::formats::LoadChip("adf4106", error);
  form.Text(FormBox::kRFirst) = "1";  // as the chip fills it in
  form.Text(FormBox::kRLast) = "16383";
  form.Text(FormBox::kNFirst) = "";
  form.one_r = true;
  auto read = synthfactors::planner::ReadPlanForm(form, ",");
  QVERIFY(std::holds_alternative<PlanRequest>(read));
  const PlanRequest& request = std::get<PlanRequest>(read);
  QCOMPARE(request.sweep, std::string("10368:10370.5:0.025"));
  QCOMPARE(request.texts[Input::kRef].value_or("none"), std::string("12.8"));
  QCOMPARE(request.texts[Input::kFom].value_or("none"), std::string("-220.5"));
  QCOMPARE(request.texts[Input::kChip].value_or("none"), std::string("adf4106"));
  QVERIFY(!request.texts[Input::kRRange]);  // the chip's own
  QVERIFY(!request.texts[Input::kFlicker]);  // an empty box is no option
  form.Text(FormBox::kRLast) = "1000";
  const PlanRequest narrowed = std::get<PlanRequest>(synthfactors::planner::ReadPlanForm(form, ","));
  QCOMPARE(narrowed.texts[Input::kRRange].value_or("none"), std::string("1:1000"));
  // One frequency: the band FROM:FROM:1.
  form.Text(FormBox::kTo).clear();
  QCOMPARE(std::get<PlanRequest>(synthfactors::planner::ReadPlanForm(form, ",")).sweep,
           std::string("10368:10368:1"));
}

void PlannerWindowTest::theNoisePreferenceIsAChoiceOfAFractionalChip() {
  QTemporaryDir folder;
  PlannerWindow window;
  QComboBox* prefer = window.Form()->PreferChoice();
  QVERIFY(!prefer->isEnabled());
  ChooseChip(window, "adf4351");
  QVERIFY(prefer->isEnabled());
  window.Box(FormBox::kFrom)->setText("4800.1");
  window.Box(FormBox::kMinFc)->setText("50");
  window.Box(FormBox::kMaxFc)->setText("10000");
  window.Box(FormBox::kFom)->setText("-220");
  prefer->setCurrentIndex(prefer->findText("noise"));
  emit prefer->activated(prefer->currentIndex());
  QVERIFY(PlanAndWait(window));
  // The exact 10 MHz fractional setting, as the command line's --prefer noise.
  const QByteArray csv = RunCli({"--sweep", "4800.1:4800.1:1", "--chip", "adf4351", "--min-fc",
                                 "50", "--max-fc", "10000", "--fom", "-220", "--prefer", "noise"});
  QVERIFY(csv.contains(",1,480,"));
  const QString design = folder.filePath("noise.json");
  QVERIFY(window.SaveDesign(design));
  QCOMPARE(RunCli({"--plan", design}), csv);
  // A chip without fractional-N has no such choice.
  ChooseChip(window, "adf4351-int");
  QVERIFY(!prefer->isEnabled());
}

// The lmx2594's band: its reference path, MASH order and 113 words in the
// table and the export, as the command line gives them; one R for the band
// keeps one path.
void PlannerWindowTest::theMicrowavePartsShowTheirPathAndWordsAsTheCommandLine() {
  for (const bool one_r : {false, true}) {
    PlannerWindow window;
    SetBand(window, "2400", "2400.001", "0.0001");
    window.Box(FormBox::kMult)->setText("1");
    window.Box(FormBox::kRef)->setText("100");
    window.Box(FormBox::kMinFc)->setText("1000");
    window.Box(FormBox::kMaxFc)->setText("400000");
    ChooseChip(window, "lmx2594");
    window.RegisterWords()->setChecked(true);
    window.OneR()->setChecked(one_r);
    QVERIFY(PlanAndWait(window));
    QStringList arguments = {"--sweep", "2400:2400.001:0.0001", "--ref", "100", "--min-fc",
                             "1000", "--max-fc", "400000", "--chip", "lmx2594", "--registers"};
    if (one_r) arguments << "--common-r";
    const QList<QStringList> rows = CsvRows(RunCli(arguments));
    const qsizetype path = rows[0].indexOf("reference_path");
    const qsizetype r112 = rows[0].indexOf("R112");
    QVERIFY(path > 0 && r112 > path && rows[0].indexOf("mash_order") > path);
    auto* model = window.TableModel();
    QCOMPARE(model->headerData(int(path), Qt::Horizontal, Qt::DisplayRole).toString(),
             QString("Reference path"));
    QCOMPARE(model->columnCount(), int(rows[0].size()));
    for (int row = 0; row < 11; ++row) {
      for (const qsizetype column : {path, r112, rows[0].indexOf("R0")}) {
        QCOMPARE(ExactCell(*model, row, int(column)), rows[row + 1][column]);
      }
    }
    if (one_r) {
      for (int row = 1; row < 11; ++row) QCOMPARE(rows[row + 1][path], rows[1][path]);
    }
  }
  // A path and an order asked for in the form, as --ref-path and
  // --mash-order; a path the chip cannot read is shown at its box.
  PlannerWindow window;
  SetBand(window, "12000.0001", "12000.0003", "0.0001");
  window.Box(FormBox::kMult)->setText("1");
  window.Box(FormBox::kRef)->setText("100");
  window.Box(FormBox::kMinFc)->setText("1000");
  window.Box(FormBox::kMaxFc)->setText("400000");
  ChooseChip(window, "lmx2594");
  window.Box(FormBox::kRefPath)->setText("x3/1/x1/R");
  window.Plan();
  QVERIFY(window.FaultOf(FormBox::kRefPath).contains("doubler"));
  window.Box(FormBox::kRefPath)->setText("x2/1/x1/R");
  window.Box(FormBox::kMashOrder)->setText("3");
  QVERIFY(PlanAndWait(window));
  const QList<QStringList> rows =
      CsvRows(RunCli({"--sweep", "12000.0001:12000.0003:0.0001", "--ref", "100", "--min-fc", "1000",
                      "--max-fc", "400000", "--chip", "lmx2594", "--ref-path", "x2/1/x1/R",
                      "--mash-order", "3"}));
  const qsizetype path = rows[0].indexOf("reference_path"), order = rows[0].indexOf("mash_order");
  for (int row = 0; row < 3; ++row) {
    QCOMPARE(ExactCell(*window.TableModel(), row, int(path)), rows[row + 1][path]);
    QCOMPARE(rows[row + 1][order], QString("3"));
    QCOMPARE(ExactCell(*window.TableModel(), row, int(order)), QString("3"));
  }
}

// Scrolling over the chip box or pressing the arrows never lands on "Open
// profile…" and its dialog; the wheel leaves the chip as it is.
void PlannerWindowTest::theChipBoxOpensNoDialogUnderTheWheelOrTheArrows() {
  PlannerWindow window;
  QComboBox* chip = window.ChipChoice();
  const int last_chip = chip->count() - 2;
  ChooseChip(window, chip->itemText(last_chip));
  bool dialog = false;
  QTimer guard;  // a dialog that opened anyway is noted and closed
  connect(&guard, &QTimer::timeout, [&dialog] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      dialog = true;
      modal->close();
    }
  });
  guard.start(20);
  for (const Qt::Key key : {Qt::Key_Down, Qt::Key_End, Qt::Key_PageDown}) {
    QTest::keyClick(chip, key);
    QCOMPARE(chip->currentIndex(), last_chip);
  }
  QTest::keyClick(chip, Qt::Key_Home);
  QCOMPARE(chip->currentIndex(), 0);
  QTest::keyClick(chip, Qt::Key_End);
  QCOMPARE(chip->currentIndex(), last_chip);
  QVERIFY(!dialog);
  ChooseChip(window, "adf4106");
  const int chosen = chip->currentIndex();
  for (const int steps : {-120, 120}) {
    QWheelEvent wheel(QPointF(5, 5), chip->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, steps),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(chip, &wheel);
    QCOMPARE(chip->currentIndex(), chosen);
  }
  QVERIFY(!dialog);
}

// A column hidden from the header's menu stays hidden in the next plan and
// in the next window, by name (its place may differ between plans).
void PlannerWindowTest::hiddenColumnsStayHiddenInTheNextPlanAndWindow() {
  const auto column_named = [](PlannerWindow& window, const QString& caption) {
    for (int c = 0; c < window.TableModel()->columnCount(); ++c) {
      if (window.TableModel()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == caption) {
        return c;
      }
    }
    return -1;
  };
  {
    PlannerWindow window;
    SetBand(window);
    QVERIFY(PlanAndWait(window));
    const int error = column_named(window, "Error (ppb)");
    QVERIFY(error >= 0);
    window.Results()->SetColumnShown(error, false);
    QVERIFY(window.TableView()->horizontalHeader()->isSectionHidden(error));
  }
  PlannerWindow window;
  SetBand(window);
  ChooseChip(window, "adf4106");  // other columns, so another place
  QVERIFY(PlanAndWait(window));
  const int error = column_named(window, "Error (ppb)");
  QVERIFY(window.TableView()->horizontalHeader()->isSectionHidden(error));
  QVERIFY(!window.TableView()->horizontalHeader()->isSectionHidden(column_named(window, "R")));
  window.Results()->SetColumnShown(error, true);
  QVERIFY(!QSettings().value("hidden_columns").toStringList().contains("error_ppb"));
}

// R (hex) and the words sort as the numbers they are: "1E2" after "FF".
void PlannerWindowTest::hexColumnsSortByValue() {
  PlannerWindow window;
  SetBand(window);
  ChooseChip(window, "adf4351-int");
  window.RegisterWords()->setChecked(true);
  QVERIFY(PlanAndWait(window));
  auto* model = window.TableModel();
  for (const char* name : {"R (hex)", "R2"}) {
    int column = -1;
    for (int c = 0; c < model->columnCount(); ++c) {
      if (model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == name) column = c;
    }
    QVERIFY2(column >= 0, name);
    for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
      model->sort(column, order);
      qulonglong previous = order == Qt::AscendingOrder ? 0 : ~0ULL;
      std::set<qulonglong> seen;
      for (int row = 0; row < model->rowCount(); ++row) {
        QString text = ExactCell(*model, row, column);
        if (text.startsWith("0x")) text.remove(0, 2);
        bool ok = false;
        const qulonglong value = text.toULongLong(&ok, 16);
        QVERIFY2(ok, qPrintable(text));
        QVERIFY2(order == Qt::AscendingOrder ? value >= previous : value <= previous,
                 qPrintable(QString("%1 after %2").arg(value).arg(previous)));
        previous = value;
        seen.insert(value);
      }
      QVERIFY(seen.size() > 3);  // the band's R and words differ
    }
  }
}

void PlannerWindowTest::aLoopPlanHasJitterPerChannelAndTheSelectedChannelsNoise() {
  QTemporaryDir folder;
  PlannerWindow window;
  SetBand(window, "2400", "2410", "1");
  window.Box(FormBox::kMult)->setText("1");
  ChooseChip(window, "adf4351");
  const std::pair<FormBox, QString> inputs[] = {
      {FormBox::kRef, "25"},           {FormBox::kMinFc, "10000"},
      {FormBox::kMaxFc, "25000"},      {FormBox::kFom, "-220"},
      {FormBox::kLoopBandwidth, "50"}, {FormBox::kKvco, "40"},
      {FormBox::kVcoNoise, "1000:-75,100000:-122,10000000:-155"}};
  for (const auto& [box, text] : inputs) window.Box(box)->setText(text);
  // A margin no passive filter reaches is marked at its box.
  window.Box(FormBox::kPhaseMargin)->setText("95");
  window.Plan();
  QVERIFY(!window.Busy());
  QVERIFY2(window.FaultOf(FormBox::kPhaseMargin).contains("below 90"),
           qPrintable(window.FaultOf(FormBox::kPhaseMargin)));
  window.Box(FormBox::kPhaseMargin)->setText("");
  QVERIFY(PlanAndWait(window));

  // The table has the command line's loop columns, cell for cell.
  const QByteArray csv =
      RunCli({"--sweep", "2400:2410:1", "--chip", "adf4351", "--ref", "25", "--min-fc", "10000",
              "--max-fc", "25000", "--fom", "-220", "--loop-bandwidth", "50", "--kvco", "40",
              "--vco-noise", "1000:-75,100000:-122,10000000:-155"});
  const QList<QStringList> rows = CsvRows(csv);
  const qsizetype jitter = rows[0].indexOf("jitter_fs");
  QVERIFY(jitter > 0);
  auto* model = window.TableModel();
  QCOMPARE(model->headerData(int(jitter), Qt::Horizontal, Qt::DisplayRole).toString(),
           QString("Jitter (fs rms)"));
  for (int row = 0; row < 11; ++row) {
    QCOMPARE(ExactCell(*model, row, int(jitter)), rows[row + 1][jitter]);
  }
  // The chart draws the jitter and the phase margin.
  QComboBox* figure = window.ChartFigureChoice();
  const int jitter_figure = int(synthfactors::planner::ChartFigure::kJitter);
  QVERIFY(qobject_cast<QStandardItemModel*>(figure->model())->item(jitter_figure)->isEnabled());
  figure->setCurrentIndex(jitter_figure);
  emit figure->activated(jitter_figure);
  QVERIFY(!window.Chart()->NothingToChart());

  // The selected channel's noise: every source given, the total, the band,
  // and the jitter the table shows.
  QSignalSpy drawn(window.Noise(), &synthfactors::planner::NoisePanel::drawn);
  window.TableView()->selectRow(5);
  QVERIFY(drawn.wait(10000));
  QVERIFY(window.Results()->ChartPages()->isTabEnabled(1));
  QCOMPARE(window.Noise()->CurveNames(),
           QStringList({"total", "PLL", "VCO", "resistors", "jitter band"}));
  const QString parts = window.Noise()->Parts()->text();
  QVERIFY2(parts.startsWith("C1 ") && parts.contains("  R3 "), qPrintable(parts));
  const double table_jitter = rows[6][jitter].toDouble();
  QVERIFY2(parts.contains(QString::fromStdString(
               synthfactors::formats::EngineeringText(table_jitter / 1e15, "s", "."))),
           qPrintable(parts));

  // A design keeps the loop and plans the same.
  const QString design = folder.filePath("loop.json");
  QVERIFY(window.SaveDesign(design));
  QCOMPARE(RunCli({"--plan", design}), csv);
  // Without a loop the noise page is off.
  window.Box(FormBox::kLoopBandwidth)->setText("");
  window.Box(FormBox::kVcoNoise)->setText("");
  window.Box(FormBox::kKvco)->setText("");
  QVERIFY(PlanAndWait(window));
  QVERIFY(!window.Results()->ChartPages()->isTabEnabled(1));
}

QTEST_MAIN(PlannerWindowTest)
#include "planner_window_test.moc"
