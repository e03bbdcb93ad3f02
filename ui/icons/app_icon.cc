#include "app_icon.h"

#include "planner.xpm"
#include "synthfactors.xpm"

namespace synthfactors::ui {

QImage AppIconImage() {
  return QImage(synthfactors_xpm).convertToFormat(QImage::Format_RGB32);
}

QImage PlannerIconImage() {
  return QImage(planner_xpm).convertToFormat(QImage::Format_RGB32);
}

}  // namespace synthfactors::ui
