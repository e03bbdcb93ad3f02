// The program's icon, a 32 x 32 pixel map kept as text in synthfactors.xpm.
#pragma once

#include <QImage>

namespace synthfactors::ui {

QImage AppIconImage();

}  // namespace synthfactors::ui
