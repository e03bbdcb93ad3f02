#include "noise_panel.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QCoreApplication>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "loop_run.h"
#include "loop_text.h"
#include "qt_text.h"
#include "sweep.h"

namespace synthfactors::planner {
namespace {

// The sources as the legend names them, and where each row holds its level.
struct Source {
  const char* name;
  std::optional<double> (*level)(const loop::NoiseAtOffset&);
};
const Source kSources[] = {
    {QT_TRANSLATE_NOOP("NoisePanel", "total"),
     [](const loop::NoiseAtOffset& n) -> std::optional<double> { return n.total_dbc_hz; }},
    {QT_TRANSLATE_NOOP("NoisePanel", "PLL"),
     [](const loop::NoiseAtOffset& n) { return n.pll_dbc_hz; }},
    {QT_TRANSLATE_NOOP("NoisePanel", "VCO"),
     [](const loop::NoiseAtOffset& n) { return n.vco_dbc_hz; }},
    {QT_TRANSLATE_NOOP("NoisePanel", "reference"),
     [](const loop::NoiseAtOffset& n) { return n.reference_dbc_hz; }},
    {QT_TRANSLATE_NOOP("NoisePanel", "resistors"),
     [](const loop::NoiseAtOffset& n) -> std::optional<double> { return n.resistors_dbc_hz; }},
};

QString Translated(const char* text) { return QCoreApplication::translate("NoisePanel", text); }

}  // namespace

NoisePanel::NoisePanel(std::string decimal_symbol, QWidget* parent)
    : QWidget(parent),
      decimal_symbol_(std::move(decimal_symbol)),
      title_(new QLabel),
      parts_(new QLabel),
      view_(new QChartView) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  for (QLabel* label : {title_, parts_}) {
    label->setWordWrap(true);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  }
  title_->setObjectName(QStringLiteral("noise_title"));
  parts_->setObjectName(QStringLiteral("noise_parts"));
  view_->setObjectName(QStringLiteral("noise_chart"));
  view_->setRenderHint(QPainter::Antialiasing);
  view_->setMinimumHeight(110);
  view_->setAccessibleName(tr("Loop phase noise of the selected channel"));
  layout->addWidget(title_);
  layout->addWidget(parts_);
  layout->addWidget(view_, 1);
  connect(&watcher_, &QFutureWatcher<runner::RunResult>::finished, this, [this] {
    if (watcher_.property("asked").toULongLong() != asked_) return;  // a later one is coming
    Draw(watcher_.result());
    emit drawn();
  });
  Clear();
}

NoisePanel::~NoisePanel() { watcher_.waitForFinished(); }

void NoisePanel::Clear() {
  ++asked_;
  title_->setText(tr("Select a channel to draw its loop noise."));
  parts_->clear();
  auto* chart = new QChart;
  chart->legend()->hide();
  view_->setChart(chart);  // the view owns it, and deletes the one before
}

void NoisePanel::Show(std::shared_ptr<const PlanOutcome> plan, std::int64_t channel) {
  Clear();
  const QString rf =
      WithDecimalSymbol(plan->request.range.PointText(channel), Text(decimal_symbol_));
  title_->setText(tr("Drawing the loop noise at %1 MHz…").arg(rf));
  watcher_.setProperty("asked", QVariant::fromValue<qulonglong>(asked_));
  watcher_.setFuture(QtConcurrent::run([plan = std::move(plan), channel,
                                        symbol = decimal_symbol_] {
    const runner::PlanOptions curve = runner::WithNoiseOffsets(plan->plan, runner::PlotOffsets());
    return runner::RunPoint(plan->request.range, channel, plan->row_inputs, symbol, curve);
  }));
}

void NoisePanel::Draw(const runner::RunResult& result) {
  const QString rf = WithDecimalSymbol(result.inputs.rf_out, Text(decimal_symbol_));
  if (!result.loop_report || !result.loop) {
    title_->setText(tr("No loop noise at %1 MHz: the channel has no setting.").arg(rf));
    return;
  }
  const runner::LoopReport& report = *result.loop_report;
  const runner::LoopSummary& loop = *result.loop;
  const std::string_view symbol = decimal_symbol_;
  title_->setText(tr("Loop noise at %1 MHz, at the RF output").arg(rf));
  const loop::LoopFilter& f = report.filter;
  QString parts = QStringLiteral("C1 %1  C2 %2  R2 %3")
                      .arg(Text(formats::EngineeringText(f.c1, "F", symbol)),
                           Text(formats::EngineeringText(f.c2, "F", symbol)),
                           Text(formats::EngineeringText(f.r2, "Ω", symbol)));
  if (f.order == 3) {
    parts += QStringLiteral("  C3 %1  R3 %2")
                 .arg(Text(formats::EngineeringText(f.c3, "F", symbol)),
                      Text(formats::EngineeringText(f.r3, "Ω", symbol)));
  }
  parts += QStringLiteral("\n") +
           tr("Bandwidth %1, phase margin %2°, jitter %3 rms (%4 to %5)")
               .arg(Text(formats::EngineeringText(loop.bandwidth_hz, "Hz", symbol)),
                    WithDecimalSymbol(QString::number(loop.phase_margin_deg, 'f', 2).toStdString(),
                                      Text(symbol)),
                    Text(formats::EngineeringText(loop.jitter_fs_rms / 1e15, "s", symbol)),
                    Text(formats::EngineeringText(report.jitter_from_hz, "Hz", symbol)),
                    Text(formats::EngineeringText(report.jitter_to_hz, "Hz", symbol)));
  parts_->setText(parts);

  // The offsets drawn at their decimal logarithm, labelled at each decade
  // ("10", "100", "1k", ... "100M").
  auto* chart = new QChart;
  auto* x = new QCategoryAxis;
  x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  x->setTitleText(tr("offset (Hz)"));
  const double first = std::floor(std::log10(report.noise.front().offset_hz));
  const double last = std::ceil(std::log10(report.noise.back().offset_hz));
  static const char* const kDecades[] = {"1", "10", "100", "1k", "10k", "100k",
                                         "1M", "10M", "100M", "1G", "10G"};
  for (double decade = first; decade <= last; ++decade) {
    const int index = static_cast<int>(decade);
    const QString label = index >= 0 && index <= 10 ? QString::fromLatin1(kDecades[index])
                                                    : QStringLiteral("1e%1").arg(index);
    x->append(label, decade);
  }
  x->setRange(first, last);
  auto* y = new QValueAxis;
  y->setTitleText(tr("dBc/Hz"));
  y->setLabelFormat(QStringLiteral("%.0f"));
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  double low = std::numeric_limits<double>::infinity(), high = -low;
  for (const Source& source : kSources) {
    if (report.noise.empty() || !source.level(report.noise.front())) continue;
    const bool total = source.level == kSources[0].level;
    auto* series = new QLineSeries;
    series->setName(Translated(source.name));
    for (const loop::NoiseAtOffset& row : report.noise) {
      const std::optional<double> level = source.level(row);
      if (!level || !std::isfinite(*level)) continue;
      series->append(std::log10(row.offset_hz), *level);
      if (total) {
        low = std::min(low, *level);
        high = std::max(high, *level);
      }
    }
    if (total) series->setPen(QPen(Qt::black, 2.5));
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
  }
  // Down to 20 dB below the lowest total: sources far below it are off the
  // chart.
  if (std::isfinite(low)) {
    low = 10 * std::floor((low - 20) / 10);
    high = 10 * std::ceil((high + 5) / 10);
    y->setRange(low, high);
  }
  // The jitter band, shaded behind the curves.
  auto* top = new QLineSeries;
  auto* bottom = new QLineSeries;
  for (const double f_hz : {report.jitter_from_hz, report.jitter_to_hz}) {
    top->append(std::log10(f_hz), high);
    bottom->append(std::log10(f_hz), low);
  }
  auto* band = new QAreaSeries(top, bottom);
  band->setName(tr("jitter band"));
  band->setColor(QColor(70, 130, 180, 40));
  band->setBorderColor(Qt::transparent);
  chart->addSeries(band);
  band->attachAxis(x);
  band->attachAxis(y);
  chart->legend()->setAlignment(Qt::AlignBottom);
  chart->setMargins(QMargins(2, 2, 20, 2));  // room for the last decade's label
  view_->setChart(chart);
}

QStringList NoisePanel::CurveNames() const {
  QStringList names;
  for (QAbstractSeries* series : view_->chart()->series()) names << series->name();
  return names;
}

}  // namespace synthfactors::planner
