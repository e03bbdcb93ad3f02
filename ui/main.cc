// synthfactors: the divider calculator's window.
#include <QApplication>

#include "main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  synthfactors::ui::MainWindow window;
  window.show();
  return app.exec();
}
