#include "design_files.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

#include <algorithm>
#include <string>

#include "design_file.h"
#include "chip_file.h"
#include "plan_form_panel.h"
#include "qt_text.h"

namespace synthfactors::planner {
namespace {

// How many designs the File menu offers again.
constexpr int kRecentDesigns = 6;
const QString kRecentKey = QStringLiteral("recent_designs");

std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

DesignFiles::DesignFiles(PlanFormPanel* form, QMenu* recent, QWidget* window)
    : QObject(window), form_(form), recent_(recent), window_(window) {
  connect(recent_, &QMenu::aboutToShow, this, &DesignFiles::FillRecent);
}

bool DesignFiles::Save(const QString& path) {
  auto read = form_->Read();
  if (form_->MarkFaults(read)) {
    const bool several = std::get<std::vector<BoxFault>>(read).size() > 1;
    emit status(several ? tr("Nothing saved: mend the marked boxes first.")
                        : tr("Nothing saved: mend the marked box first."),
                true);
    return false;
  }
  const PlanRequest& request = std::get<PlanRequest>(read);
  formats::Design design;
  design.texts = request.texts;
  design.sweep = request.sweep;
  design.common_r = request.one_r;
  const std::string error = formats::WriteDesign(Utf8(path), design);
  if (!error.empty()) {
    emit status(Text(error), true);
    return false;
  }
  Remember(path);
  emit status(tr("Saved the design to %1.").arg(path), false);
  emit saved(path);
  return true;
}

bool DesignFiles::Open(const QString& path) {
  std::string error;
  const std::optional<formats::Design> design = formats::ReadDesign(Utf8(path), error);
  if (!design) {
    emit status(Text(error) + tr("; the inputs are as they were."), true);
    return false;
  }
  // Every value is checked before any box changes.
  const auto checked = formats::CheckDesign(*design, formats::LoadChip);
  if (const auto* faults = std::get_if<std::string>(&checked)) {
    emit status(tr("design %1: %2; the inputs are as they were.")
                    .arg(path, Text(*faults).replace(QLatin1Char('\n'), QStringLiteral("; "))),
                true);
    return false;
  }
  form_->Apply(*design);
  Remember(path);
  emit opened(path);
  return true;
}

void DesignFiles::AskSave() {
  const QString current = window_->windowFilePath();
  const QString path = QFileDialog::getSaveFileName(
      window_, tr("Save design"), current.isEmpty() ? QStringLiteral("design.json") : current,
      tr("Designs (*.json);;All files (*)"));
  if (path.isEmpty()) return;
  Save(QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".json") : path);
}

void DesignFiles::AskOpen() {
  const QString path = QFileDialog::getOpenFileName(window_, tr("Open design"), QString(),
                                                    tr("Designs (*.json);;All files (*)"));
  if (!path.isEmpty()) Open(path);
}

void DesignFiles::Remember(const QString& path) {
  QSettings settings;
  QStringList recent = settings.value(kRecentKey).toStringList();
  const QString absolute = QFileInfo(path).absoluteFilePath();
  recent.removeAll(absolute);
  recent.prepend(absolute);
  while (recent.size() > kRecentDesigns) recent.removeLast();
  settings.setValue(kRecentKey, recent);
}

// The designs still there, each by its name, with its folder where
// another has the same name; the ones gone are forgotten.
void DesignFiles::FillRecent() {
  recent_->clear();
  QSettings settings;
  QStringList recent = settings.value(kRecentKey).toStringList();
  const QStringList remembered = recent;
  recent.removeIf([](const QString& path) { return !QFileInfo::exists(path); });
  if (recent != remembered) settings.setValue(kRecentKey, recent);
  for (int i = 0; i < recent.size(); ++i) {
    const QString& path = recent[i];
    const QFileInfo info(path);
    const bool shared = std::count_if(recent.begin(), recent.end(), [&](const QString& other) {
                          return QFileInfo(other).fileName() == info.fileName();
                        }) > 1;
    const QString name = shared ? tr("%1 (in %2)").arg(info.fileName(), info.absolutePath())
                                : info.fileName();
    recent_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(name), this,
                       [this, path] { Open(path); })
        ->setToolTip(path);
  }
  if (recent.isEmpty()) recent_->addAction(tr("No designs yet"))->setEnabled(false);
}

}  // namespace synthfactors::planner
