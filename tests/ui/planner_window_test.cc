// The planner driven as a user would, headless, against the command line's
// own output for the same inputs.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "alternatives_panel.h"
#include "plan_chart.h"
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

bool PlanAndWait(PlannerWindow& window) {
  QSignalSpy ended(&window, &PlannerWindow::workEnded);
  window.Plan();
  return window.Busy() && ended.wait(120000);
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
  void tableAndChartShowTheCommandLinesPlan_data();
  void tableAndChartShowTheCommandLinesPlan();
  void exportWritesTheCommandLinesBytes_data();
  void exportWritesTheCommandLinesBytes();
  void choosingAChipFillsItsRanges();
  void badInputMarksItsBoxAndRunsNothing_data();
  void badInputMarksItsBoxAndRunsNothing();
  void cancelStopsAMillionChannelPlan();
  void strangeTextsNeverCrashOrHang();
  void alternativesAreTheCommandLinesRanking();
  void sortingAndCopyKeepTheCells();
  void readsTheLocalesDecimalSymbol();
};

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
    QCOMPARE(model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(),
             expected[0][column]);
  }
  for (int row = 0; row < model->rowCount(); ++row) {
    for (int column = 0; column < model->columnCount(); ++column) {
      QCOMPARE(model->index(row, column).data().toString(), expected[row + 1][column]);
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
  QCOMPARE(window.ChipChoice()->currentText(), QString("mine.json"));
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
  QVERIFY2(window.Status().contains(" of 1000000 channels"), qPrintable(window.Status()));
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

void PlannerWindowTest::alternativesAreTheCommandLinesRanking() {
  PlannerWindow window;
  SetBand(window);
  ChooseChip(window, "adf4106");
  QVERIFY(PlanAndWait(window));
  window.TableView()->selectRow(41);
  QTRY_VERIFY(window.Alternatives()->Table()->rowCount() > 0);
  const QString rf = window.TableModel()->index(41, 0).data().toString();
  const QJsonObject result =
      QJsonDocument::fromJson(RunCli({"--rf-out", rf, "--mult", "4", "--chip", "adf4106",
                                      "--alternatives", "20", "--json"}))
          .object();
  const QJsonArray expected = result["alternatives"].toArray();
  const QTableWidget* table = window.Alternatives()->Table();
  QCOMPARE(table->rowCount(), expected.size());
  for (int row = 0; row < table->rowCount(); ++row) {
    const QJsonObject alternative = expected[row].toObject();
    QCOMPARE(table->columnCount(), alternative.size());
    for (int column = 0; column < table->columnCount(); ++column) {
      const QJsonValue value = alternative[table->horizontalHeaderItem(column)->text()];
      const QString cell = table->item(row, column)->text();
      if (value.isDouble()) {
        QCOMPARE(cell.toDouble(), value.toDouble());
      } else {
        QCOMPARE(cell, value.isBool() ? (value.toBool() ? "true" : "false") : value.toString());
      }
    }
  }
  // The first alternative is the chosen pair: its report is the channel's.
  QCOMPARE(window.Alternatives()->Report(0), result["report"].toString());
}

void PlannerWindowTest::sortingAndCopyKeepTheCells() {
  PlannerWindow window;
  SetBand(window);
  QVERIFY(PlanAndWait(window));
  auto* model = window.TableModel();
  const int error = 7;  // error_hz
  QCOMPARE(model->headerData(error, Qt::Horizontal, Qt::DisplayRole).toString(), "error_hz");
  window.TableView()->sortByColumn(error, Qt::DescendingOrder);
  for (int row = 1; row < model->rowCount(); ++row) {
    QVERIFY(model->index(row - 1, error).data().toString().toDouble() >=
            model->index(row, error).data().toString().toDouble());
  }
  window.TableView()->selectionModel()->select(
      QItemSelection(model->index(0, 0), model->index(0, model->columnCount() - 1)),
      QItemSelectionModel::ClearAndSelect);
  window.TableView()->setFocus();
  QTest::keySequence(window.TableView(), QKeySequence::Copy);
  QStringList cells;
  for (int column = 0; column < model->columnCount(); ++column) {
    cells << model->index(0, column).data().toString();
  }
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
}

QTEST_MAIN(PlannerWindowTest)
#include "planner_window_test.moc"
