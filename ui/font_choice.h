// Choosing the window's faces from those the system has: the layout is
// drawn in pixels for one family of faces, and on a desktop without them
// the first face at hand may be wider, cutting captions off or wrapping
// report lines. So a face is taken only where every text that must fit
// does.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include <vector>

namespace synthfactors::ui {

// A text that must show whole on one line of this many pixels.
struct FittingText {
  QString text;
  int width = 0;
  int height = 0;
};

// The first of `families` that the system has in which every text fits at
// `pixels`. When none does, the first of them the system has (else its
// default sans-serif face) at the largest smaller size, down to 6 pixels,
// at which they fit.
QFont FittingFont(const QStringList& families, int pixels, const std::vector<FittingText>& texts);

}  // namespace synthfactors::ui
