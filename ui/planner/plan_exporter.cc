#include "plan_exporter.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>

#include "plan_export.h"
#include "plan_worker.h"
#include "qt_text.h"

namespace synthfactors::planner {
namespace {

QString Channels(std::int64_t count) {
  return count == 1 ? PlanExporter::tr("1 channel")
                    : PlanExporter::tr("%1 channels").arg(QLocale().toString(qlonglong(count)));
}

}  // namespace

PlanExporter::PlanExporter(PlanWorker* worker, std::string decimal_symbol, QWidget* window)
    : QObject(window), worker_(worker), decimal_symbol_(std::move(decimal_symbol)),
      window_(window) {}

QString PlanExporter::Name(formats::SweepFormat format) const {
  QString name = QStringLiteral("plan");
  if (plan_) {
    const std::int64_t last = plan_->request.range.PointCount() - 1;
    name += QStringLiteral("-") + Text(plan_->request.range.PointText(0));
    if (last > 0) name += QStringLiteral("-") + Text(plan_->request.range.PointText(last));
  }
  return name + (format == formats::SweepFormat::kJsonLines ? QStringLiteral(".jsonl")
                                                            : QStringLiteral(".csv"));
}

void PlanExporter::Ask() {
  if (!plan_ || worker_->Busy()) return;
  QString filter;
  const QString csv = tr("CSV (*.csv)");
  const QString json = tr("JSON Lines (*.jsonl)");
  const QString proposed = QDir(folder_).filePath(Name(formats::SweepFormat::kCsv));
  QString path = QFileDialog::getSaveFileName(window_, tr("Export plan"), proposed,
                                              csv + QStringLiteral(";;") + json, &filter);
  if (path.isEmpty()) return;
  // The filter chosen gives a name without one its extension.
  const bool as_json = filter == json || path.endsWith(QStringLiteral(".jsonl"));
  if (QFileInfo(path).suffix().isEmpty()) {
    path += as_json ? QStringLiteral(".jsonl") : QStringLiteral(".csv");
  }
  folder_ = QFileInfo(path).absolutePath();
  To(path, as_json ? formats::SweepFormat::kJsonLines : formats::SweepFormat::kCsv);
}

void PlanExporter::To(const QString& path, formats::SweepFormat format) {
  if (!plan_ || worker_->Busy()) return;
  const std::int64_t channels = plan_->request.range.PointCount();
  emit status(tr("Exporting %1…").arg(Channels(channels)), false);
  emit started();
  worker_->Start([this, plan = plan_, path, format,
                  channels](runner::WorkControl* control) -> PlanWorker::Shown {
    try {
      const std::string error =
          ExportPlan(*plan, decimal_symbol_, format, path.toUtf8().toStdString(), control);
      if (!error.empty()) return [this, error = Text(error)] { emit status(error, true); };
      return [this, path, channels] {
        emit status(tr("Exported %1 to %2.").arg(Channels(channels), path), false);
      };
    } catch (const runner::WorkStopped&) {
      return [this] { emit status(tr("Export cancelled; no file was written."), false); };
    } catch (const std::exception& failure) {
      return [this, error = QString::fromUtf8(failure.what())] {
        emit status(tr("The export failed: ") + error, true);
      };
    }
  });
}

}  // namespace synthfactors::planner
