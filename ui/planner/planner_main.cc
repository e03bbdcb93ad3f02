// synthfactors-planner: plans a band of channels on the desktop.
#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QStringList>

#include "app_icon.h"
#include "planner_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Where the recent designs are remembered.
  QCoreApplication::setOrganizationName(QStringLiteral("synthfactors"));
  QCoreApplication::setApplicationName(QStringLiteral("synthfactors-planner"));
  // Ties the window to its desktop entry and software-centre entry.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.synthfactors.planner"));
  QApplication::setWindowIcon(QIcon(QPixmap::fromImage(synthfactors::ui::PlannerIconImage())));
  synthfactors::planner::PlannerWindow window;
  window.show();
  // synthfactors-planner FILE opens a design and plans it.
  if (const QStringList arguments = QCoreApplication::arguments(); arguments.size() > 1) {
    window.OpenDesign(arguments.at(1));
  }
  return app.exec();
}
