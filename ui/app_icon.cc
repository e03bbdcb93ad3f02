#include "app_icon.h"

#include "synthfactors.xpm"

namespace synthfactors::ui {

QImage AppIconImage() {
  return QImage(synthfactors_xpm).convertToFormat(QImage::Format_RGB32);
}

}  // namespace synthfactors::ui
