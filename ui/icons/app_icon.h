// The programs' icons, 32 x 32 pixel maps kept as text: synthfactors.xpm
// for the classic window, planner.xpm for the planner.
#pragma once

#include <QImage>

namespace synthfactors::ui {

QImage AppIconImage();
QImage PlannerIconImage();

}  // namespace synthfactors::ui
