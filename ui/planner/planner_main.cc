// synthfactors-planner: plans a band of channels on the desktop.
#include <QApplication>
#include <QIcon>
#include <QPixmap>

#include "app_icon.h"
#include "planner_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Ties the window to its desktop entry and software-centre entry.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.synthfactors.planner"));
  QApplication::setWindowIcon(QIcon(QPixmap::fromImage(synthfactors::ui::PlannerIconImage())));
  synthfactors::planner::PlannerWindow window;
  window.show();
  return app.exec();
}
