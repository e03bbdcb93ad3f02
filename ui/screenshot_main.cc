// Renders the window after a run of the worked example (RF Output 1000) to a
// PNG, for the README. Runs headless with QT_QPA_PLATFORM=offscreen.
#include <cstdio>

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>

#include "main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  synthfactors::ui::MainWindow window;
  window.show();
  static_cast<QLineEdit*>(window.control("RFOut"))->setText("1000");
  static_cast<QPushButton*>(window.control("GO"))->click();
  QApplication::processEvents();
  return window.grab().save(argv[2 - 1], "PNG") ? 0 : 1;
}
