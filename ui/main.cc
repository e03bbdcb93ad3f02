// synthfactors: the divider calculator's window.
#include <QApplication>

#include "main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Ties the window to its desktop entry and software-centre entry.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.synthfactors.synthfactors"));
  synthfactors::ui::MainWindow window;
  window.show();
  return app.exec();
}
