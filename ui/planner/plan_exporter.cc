#include "plan_exporter.h"

#include <QBuffer>
#include <QChart>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLocale>
#include <QPainter>

#include "file_access.h"
#include "plan_chart.h"
#include "plan_export.h"
#include "plan_worker.h"
#include "qt_text.h"

namespace synthfactors::planner {
namespace {

QString Channels(std::int64_t count) {
  return count == 1 ? PlanExporter::tr("1 channel")
                    : PlanExporter::tr("%1 channels").arg(QLocale().toString(qlonglong(count)));
}

// The chart as it is drawn (without the keyboard's focus frame, which the
// view paints over the scene), at the screen's pixel ratio, as PNG bytes;
// empty where it cannot be encoded.
QByteArray PngImage(PlanChart* view) {
  // The chart lays itself out on the next turn of the event loop: a plan
  // just shown is laid out first, or the image would show the one before.
  QCoreApplication::sendPostedEvents(view->chart(), QEvent::LayoutRequest);
  const qreal scale = view->devicePixelRatioF();
  const QSize size = view->viewport()->size();
  QImage image((QSizeF(size) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(scale);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    view->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)), view->viewport()->rect());
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return {};
  return bytes;
}

}  // namespace

PlanExporter::PlanExporter(PlanWorker* worker, std::string decimal_symbol, QWidget* window)
    : QObject(window), worker_(worker), decimal_symbol_(std::move(decimal_symbol)),
      window_(window) {}

// The band in a file's name: "-10368-10370" (empty without a plan).
QString PlanExporter::Band() const {
  QString band;
  if (plan_) {
    const std::int64_t last = plan_->request.range.PointCount() - 1;
    band += QStringLiteral("-") + Text(plan_->request.range.PointText(0));
    if (last > 0) band += QStringLiteral("-") + Text(plan_->request.range.PointText(last));
  }
  return band;
}

QString PlanExporter::Name(formats::SweepFormat format) const {
  return QStringLiteral("plan") + Band() +
         (format == formats::SweepFormat::kJsonLines ? QStringLiteral(".jsonl")
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

void PlanExporter::AskChart(PlanChart* chart) {
  if (!plan_) return;
  const QString name = QStringLiteral("chart") + Band() + QStringLiteral(".png");
  QString path = QFileDialog::getSaveFileName(window_, tr("Export chart"),
                                              QDir(folder_).filePath(name),
                                              tr("PNG image (*.png)"));
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".png");
  folder_ = QFileInfo(path).absolutePath();
  ChartTo(path, chart);
}

void PlanExporter::ChartTo(const QString& path, PlanChart* chart) {
  const QByteArray image = PngImage(chart);
  if (image.isEmpty()) {
    emit status(tr("The chart could not be drawn as an image; no file was written."), true);
    return;
  }
  const std::string error =
      formats::WriteReplacing(path.toUtf8().toStdString(), [&image](std::ostream& out) {
        out.write(image.constData(), image.size());
      });
  if (!error.empty()) {
    emit status(Text(error), true);
    return;
  }
  emit status(tr("Chart written to %1.").arg(path), false);
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
